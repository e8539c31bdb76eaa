// Linux host layer: the X11 connection and main-window state that its window, input and loop files
// share (not part of the host interface).
#pragma once
#include "host.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern Display* x_display;       // open while the main window is an X window
extern Window x_window;          // the main window; 0 = none (or headless)
extern INT_U8 window_open;       // the main window exists (X or headless)
extern Atom x_delete_window;     // WM_DELETE_WINDOW

// A connection of its own to the display that DISPLAY names, for a window beside the main one (a message
// box); null when none is named, or it does not answer in time (a server that takes the connection and
// never answers would hold XOpenDisplay for ever). Closed with XCloseDisplay.
Display* open_own_display();
// Shows the message box in a window of its own and waits for its answer; false, at once, without a
// display to show it on.
bool show_box_window(const char* caption, const char* text);
// Titles a window in both forms that window managers read: UTF-8 (_NET_WM_NAME), and Latin-1 (WM_NAME)
// with '?' for what Latin-1 lacks.
void set_x_window_title(Display* display, Window window, const char* title);
// Handles one X event of the main window (input, exposure, close request).
void handle_x_event(XEvent* event);
// Takes an event that concerns presentation (the server finished reading a shared segment); false for
// any other event, which is the window's.
bool take_present_event(XEvent* event);
// Forgets the loaded pointer shapes (the display is about to close).
void forget_pointer_shapes();
// The Windows virtual-key code of an X key symbol (Shift, Control and Alt as their left/right codes);
// 0 when the key has none.
INT_S32 key_symbol_to_virtual_key(INT_U32 key_symbol);
// Waits until the display has something to read or an end request comes (watch_end_requests), at most
// timeout_ms (-1: as long as it takes); true when the display's connection broke.
bool wait_for_display_or_end_request(Display* display, int timeout_ms);
