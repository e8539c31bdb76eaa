// The screen image: the one 32-bit image of the main window, which the graphics layer makes and keeps at
// the window's size and hands to the host as a view of its pixels; opening and closing the window with
// it, presenting it, the please-wait picture, the screen's plain queries, and a screen without a window
// for tests.
#pragma once
#include "types.h"
#include "host.h"
#include "image.h"

// The one 32-bit image of the main window; size-locked except inside OpenGraphics, close_main_window
// and test_seam_screen.
extern IMAGE screen_image;

// Opens the main window or re-shapes the open one (open_window, host.h) and sizes screen_image to it,
// cleared to black unless it has that size already; 1 on success, 0 when open_window refuses (nothing
// changed then).
INT_U8 OpenGraphics(const GRAPHICS_MODE* mode, INT_S16 screen);
// OpenGraphics without size limits, not borderless.
INT_U8 open_graphics_window(const char* title, INT_S16 width, INT_S16 height, INT_U8 full_screen,
                            INT_S16 screen);
// A borderless "Please Wait" window of the picture's size showing the picture at once.
void show_please_wait(IMAGE* picture);
// Closes the main window for screen 0 or -1 (all screens; close_window, host.h) and empties the screen
// image. Other screen numbers and "no window" do nothing.
void close_main_window(INT_S16 screen);
// Shows the dirty rectangle of screen_image in the window (present_view, host.h: the whole image when
// it touches the last row) and empties it; screen 0 or -1 only.
void present_frame(INT_S16 screen);
INT_U8 close_graphics(INT_S16 screen);            // screen 0: nothing, 1; others: closed, 0
INT_U8 close_graphics_and_check(INT_S16 screen);  // closes, then 1 when no screen is open

IMAGE* get_screen_image(INT_S16 screen);  // screen_image for screen 0, else null
INT_S16 get_screen_width(INT_S16 screen);   // 0 for screens other than 0
INT_S16 get_screen_height(INT_S16 screen);

// For tests: gives the screen image the size (black) without opening a window, a headless screen on both
// builds; what is presented there is taken as a window would take it and shown nowhere.
void test_seam_screen(INT_S16 width, INT_S16 height);
