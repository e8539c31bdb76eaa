// The screen image and the main window's operations that size, show or empty it: the host opens,
// closes and presents the window, and sees the image only as a view of its pixels.
#include "screen_image.h"

IMAGE screen_image;
[[maybe_unused]] static INT_U8 screen_image_locked = (screen_image.size_locked = 1);

// Sizes the screen image (cleared to black) unless it has that size already.
static void fit_screen_image(INT_S32 width, INT_S32 height) {
  if (screen_image.width == width && screen_image.height == height) return;
  screen_image.size_locked = 0;
  screen_image.set_size((INT_S16)width, (INT_S16)height);
  screen_image.size_locked = 1;
  COLOUR black = 0xFF000000;
  screen_image.clear(&black, 1);
  MOUSE_HANDLER::settle();
}

// The window system lost part of the window's picture: it is presented again.
static void repaint_screen(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom) {
  screen_image.extend_dirty_area(left, top, right, bottom);
  present_frame(0);
}

INT_U8 OpenGraphics(const GRAPHICS_MODE* mode, INT_S16 screen) {
  repaint_hook = repaint_screen;
  INT_S16 width = 0, height = 0;
  if (!open_window(mode, screen, &width, &height)) return 0;
  fit_screen_image(width, height);
  return 1;
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

void close_main_window(INT_S16 screen) {
  bool open = (screen == 0 || screen == -1) && has_main_window();
  close_window(screen);
  if (!open) return;
  screen_image.size_locked = 0;
  screen_image.set_size(-1, -1);
  screen_image.size_locked = 1;
}

void present_frame(INT_S16 screen) {
  const IMAGE_AREA& dirty = screen_image.dirty;
  PIXEL_VIEW view = {screen_image.pixels, screen_image.width, screen_image.height, screen_image.row_pitch,
                     dirty.x1, dirty.y1, dirty.x2, dirty.y2};
  if (present_view(screen, &view)) screen_image.clear_dirty_area();
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

void test_seam_screen(INT_S16 width, INT_S16 height) {
  fit_screen_image(width, height);
  COLOUR black = 0xFF000000;
  screen_image.clear(&black, 1);
  screen_image.set_clip(0, 0, (INT_S16)(width - 1), (INT_S16)(height - 1));
  screen_image.clear_dirty_area();
}
