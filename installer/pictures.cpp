// The built-in pictures of the "Please Wait" window: 353 x 143 pixels with the installer's title and a
// line asking the user to be patient while the installer starts or closes.
#include "engine.h"

#include "font.h"
#include "image.h"
#include "text_draw.h"

static void make_picture(IMAGE* image, const char* line) {
  image->set_size(353, 143);
  if (!image->pixels) return;
  image->set_clip(0, 0, 352, 142);
  COLOUR face = 0xFF1C3A66, edge = 0xFFB0C4DE, text = 0xFFFFFFFF;
  image->clear(&face, 1);
  image->draw_rectangle(0, 0, 352, 142, &edge, 1, 15);
  image->draw_rectangle(3, 3, 349, 139, &edge, 1, 15);
  if (font_loaded(0)) {
    draw_text(image, 24, 40, &text, nullptr, nullptr, 0, 22, 22, "Installer 1.11", 0, -1, false);
    draw_text(image, 24, 90, &text, nullptr, nullptr, 0, 13, 13, line, 0, -1, false);
  }
  image->clear_dirty_area();
}

void make_start_image(IMAGE* image) {
  make_picture(image, "Please wait while the installer starts...");
}

void make_closing_image(IMAGE* image) {
  make_picture(image, "Please wait while the installer closes...");
}
