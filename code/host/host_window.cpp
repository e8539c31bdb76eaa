// The main window, the part both hosts share: the window's globals, the size a mode asks for, the close
// callback and the full-screen query. The pixels it shows are the screen image's (screen_image.cpp).
#include "host.h"
#include "host_private.h"

INT_U8 full_screen_active = 0;
INT_U8 full_redraw_flag = 0;
CLOSE_CALLBACK close_callback = nullptr;
REPAINT_HOOK repaint_hook = nullptr;

void host_mode_size(const GRAPHICS_MODE* mode, INT_S32 available_width, INT_S32 available_height, INT_S32* width,
                    INT_S32* height) {
  *width = mode->width == -1 ? available_width : mode->width;
  *height = mode->height == -1 ? available_height : mode->height;
  if (mode->min_width != -1 && *width < mode->min_width) *width = mode->min_width;
  if (mode->max_width != -1 && *width > mode->max_width) *width = mode->max_width;
  if (mode->min_height != -1 && *height < mode->min_height) *height = mode->min_height;
  if (mode->max_height != -1 && *height > mode->max_height) *height = mode->max_height;
}

bool host_mode_size_fits(const GRAPHICS_MODE* mode, INT_S32 width, INT_S32 height) {
  return (mode->min_width == -1 || width >= mode->min_width) && (mode->max_width == -1 || width <= mode->max_width) &&
         (mode->min_height == -1 || height >= mode->min_height) &&
         (mode->max_height == -1 || height <= mode->max_height) && width >= 1 && height >= 1 && width <= 0x7FFF &&
         height <= 0x7FFF;
}

void set_close_callback(CLOSE_CALLBACK callback) { close_callback = callback; }

INT_U8 allow_close(INT_S16 screen) {
  (void)screen;
  return 1;
}

INT_U8 is_full_screen() { return full_screen_active; }
