// Linux host layer: the main window (an X11 window when DISPLAY is set, otherwise a headless screen
// image) and the presentation of the screen image.
#include "host.h"

void close_main_window(INT_S16 screen) {
  (void)screen;
}
