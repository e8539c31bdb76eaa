// Windows host layer: what its source files share among themselves (not part of the host interface).
#pragma once
#include "host.h"
#include <windows.h>

extern INT_U8 console_allocated;  // console_print opened a console
extern HANDLE end_request_event;  // set when an end request comes (watch_end_requests); null before

extern HINSTANCE instance_handle;  // the program's instance (WinMain's, else the module's own)
extern HWND main_window;           // the one window of class "main"; null = none
extern INT_S16 frame_width;        // left and right border of the window (0 for a popup)
extern INT_S16 frame_height;       // bottom border (0 for a popup)
extern INT_S16 top_border;         // caption height + frame height (0 for a popup)
extern INT_U8 display_mode_bits;   // bits per pixel of the display mode OpenGraphics set

// Registers the window class "main" once; true when it is registered.
bool register_main_class();
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w_param, LPARAM l_param);
// Sets the display to width x height at bits per pixel; true on success.
bool change_display_mode(INT_S16 width, INT_S16 height, INT_U8 bits);
