// Windows host layer: what its source files share among themselves (not part of the host interface).
#pragma once
#include <cstddef>
#include <vector>
#include "folder.h"
#include "host.h"
#include <windows.h>

extern INT_U8 console_allocated;  // console_print opened a console
extern HANDLE end_request_event;  // set when an end request comes (watch_end_requests); null before

extern HINSTANCE instance_handle;  // the program's instance (the module's own)
extern HWND main_window;           // the one window of class "main"; null = none
// The window's pixels per pixel of the library's frame, in 96ths: the monitor's DPI (at most that which
// fits the window on its work area; 96 in full screen). The library draws and reads the pointer in the
// frame's pixels; the window shows the frame stretched, and its points (messages, the pointer's path)
// are the display's own pixels, turned into the frame's only when they reach the library.
extern INT_S32 window_scale;
// A coordinate of the client area in the frame's pixels (the frame pixel shown there), and the first
// client pixel that shows a frame pixel.
INT_S32 frame_coordinate(INT_S32 client);
INT_S32 client_coordinate(INT_S32 frame);
// The window went to a monitor of another DPI (WM_DPICHANGED): it takes that scale where it fits, at the
// place the system suggests.
void window_dpi_changed(INT_S32 dpi, const RECT* suggested);
extern INT_U8 display_mode_bits;   // bits per pixel of the display mode open_window set
extern INT_S16 display_mode_width; // and its size
extern INT_S16 display_mode_height;

// The message that the pump took from the queue and is dispatching now (null outside the pump): a
// window message that is not it was sent to the window, and carries no time or place of its own.
extern const MSG* dispatched_message;

// Registers the window class "main" once; true when it is registered.
bool register_main_class();
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w_param, LPARAM l_param);
// What GetFocus and GetKeyState answered may have changed: the thread took messages.
void host_input_taken();
// Answers the session's messages once end requests are watched (false for any other message): a
// session that ends ends the process (watch_end_requests).
bool session_message(UINT message, WPARAM w_param, LRESULT* result);
// The system's text in UTF-16 (units), for a console, a box or a title to show whatever the code page;
// false when it has none.
bool wide_text(const char* text, std::vector<WCHAR>* wide);
// Sets the display to width x height at bits per pixel; true on success.
bool change_display_mode(INT_S16 width, INT_S16 height, INT_U8 bits);

// The system's paths and names (8-bit text: Latin-1 bytes, runs above 0xFF) as the W calls take them:
// UTF-16 in FOLDER_PATH_SIZE units. The ANSI calls would pass them through the code page, where only
// part of Latin-1 is itself and nothing above it is. False when the text has no such form or the
// joined path does not fit.
bool wide_path(const char* text, WCHAR* out);
bool wide_file_path(const FOLDER* folder, const char* name, WCHAR* out);
// A path or name that a W call gave, as the system's text (size bytes); false when it does not fit.
bool system_text(const WCHAR* wide, char* out, size_t size);

// What the file sources (files.cpp, folders.cpp) share.
// Whether anything (a file, a folder, a link) has the path.
bool path_exists(const WCHAR* path);
// An existing entry opened as itself (a link as the link, never what it leads to), to be asked about
// and, with DELETE access, removed or renamed; INVALID_HANDLE_VALUE when it cannot be.
HANDLE open_entry(const WCHAR* path, DWORD access);
// Marks the entry open on the handle (with DELETE access) to be removed when the handle closes.
bool delete_on_close(HANDLE handle);
// Gives the file or folder open on the handle (with DELETE access) the full path name, replacing a file
// there when replace is set, through the handle itself.
bool rename_handle(HANDLE handle, const WCHAR* name, bool replace);
// Seconds since 1970 from a file time (100-ns units since 1601), whole (negative before 1970).
INT_S64 unix_seconds(const FILETIME& time);
// The FILE_INFO mode of a file's attributes.
INT_U16 attribute_mode(DWORD attributes);
