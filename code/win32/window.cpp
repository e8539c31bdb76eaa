// Windows host layer: the main window of class "main", its display modes and the presentation of the
// screen image with GDI (or OpenGL when a context exists).
#include "host.h"

#include <windows.h>

void close_main_window(INT_S16 screen) {
  (void)screen;
}
