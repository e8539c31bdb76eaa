// The main window, the part both hosts share: the screen image and the window's globals, opening by size
// alone, the please-wait picture, closing, and the screen's plain queries.
#include "host.h"
#include "host_private.h"

#include "image.h"

IMAGE screen_image;
[[maybe_unused]] static INT_U8 screen_image_locked = (screen_image.size_locked = 1);

INT_U8 full_screen_active = 0;
INT_U8 full_redraw_flag = 0;
CLOSE_CALLBACK close_callback = nullptr;

void host_fit_screen_image(INT_S32 width, INT_S32 height) {
  if (screen_image.width == width && screen_image.height == height) return;
  screen_image.size_locked = 0;
  screen_image.set_size((INT_S16)width, (INT_S16)height);
  screen_image.size_locked = 1;
  COLOUR black = 0xFF000000;
  screen_image.clear(&black, 1);
  host_settle_mouse_state();
}

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

INT_U8 open_graphics_window(const char* title, INT_S16 width, INT_S16 height, INT_U8 full_screen, INT_S16 screen) {
  GRAPHICS_MODE mode = {title, width, height, full_screen, -1, -1, -1, -1, 0};
  return OpenGraphics(&mode, screen);
}

void show_please_wait(IMAGE* picture) {
  if (!picture) return;
  GRAPHICS_MODE mode = {"Please Wait", picture->width, picture->height, 0, -1, -1, -1, -1, 1};
  if (!OpenGraphics(&mode, 0)) return;
  screen_image.set_clip(0, 0, screen_image.width - 1, screen_image.height - 1);
  picture->blit_to(0, 0, &screen_image, BLIT_COPY);
  present_frame(-1);
}

void set_close_callback(CLOSE_CALLBACK callback) { close_callback = callback; }

INT_U8 allow_close(INT_S16 screen) {
  (void)screen;
  return 1;
}

INT_U8 close_graphics(INT_S16 screen) {
  if (screen == 0) return 1;
  close_main_window(screen);
  return 0;
}

INT_U8 close_graphics_and_check(INT_S16 screen) {
  close_main_window(screen);
  for (INT_S16 i = 0; i < 64; i++)
    if (is_screen_open(i)) return 0;
  return 1;
}

IMAGE* get_screen_image(INT_S16 screen) { return screen == 0 ? &screen_image : nullptr; }
INT_S16 get_screen_width(INT_S16 screen) { return screen == 0 ? screen_image.width : 0; }
INT_S16 get_screen_height(INT_S16 screen) { return screen == 0 ? screen_image.height : 0; }
INT_U8 is_full_screen() { return full_screen_active; }
