// Reference pictures for a person to look at (not a test): the drawing primitives with their blends,
// a smooth enlargement, and the text effects in DejaVu Sans, written as PNG files into a folder.
// Usage: reference_pictures <folder> [font folder, default the Debian DejaVu folder]
#include <cstdio>
#include <string>

#include "data_file.h"
#include "draw.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "image_file.h"
#include "text_draw.h"

static bool save(FOLDER* folder, IMAGE* image, const char* name) {
  DATA_FILE* file = open_data_file(folder, name, FILE_MODE_WRITE, 0, false);
  bool saved = file && save_png(image, file);
  saved = close_data_file(&file) && saved;
  std::printf("%s %s\n", saved ? "wrote" : "could not write", name);
  return saved;
}

static bool primitives(FOLDER* folder) {
  IMAGE image(320, 240);
  COLOUR top = 0xFF203050, bottom = 0xFF8090C0;
  image.fill_gradient_vertical(0, 0, 319, 239, &top, &bottom, 0);
  COLOUR red = 0xFFE03030, half_green = 0x8030E030, blue = 0xC03050F0, white = 0xFFFFFFFF, yellow = 0xFFF0E040;
  image.draw_line(10, 10, 150, 60, &white, 1, 1);
  image.draw_line(10, 30, 150, 80, &yellow, 3, 1);
  image.draw_line(160, 10, 170, 110, &white, 2, 1);
  image.draw_rectangle(190, 10, 310, 60, &red, 3, SIDE_ALL);
  image.draw_rounded_rectangle(190, 70, 310, 120, &white, 12, CORNER_ALL);
  draw_shaded_box(&image, 10, 100, 150, 170, -1, CORNER_ALL, &red, &blue, 0, SHADE_HORIZONTAL);
  draw_shaded_box(&image, 40, 120, 180, 200, 20, CORNER_TOP_LEFT | CORNER_BOTTOM_RIGHT, &half_green, nullptr, 0,
                  SHADE_BLEND);
  image.darken_rectangle(200, 130, 260, 230, 40);
  fill_antialiased(&image, 280, 180, 30, &blue, 0, ANTIALIAS_DISC, 0, 1);
  fill_antialiased(&image, 280, 180, 36, &white, 0, ANTIALIAS_RING, 3, 1);
  image.xor_rectangle(195, 125, 265, 235, &white);
  bool ok = save(folder, &image, "primitives_and_blends.png");

  IMAGE scaled(64, 48);
  scaled.blit(&image, 0, 0, 0, 0, 64, 48, BLIT_COPY);
  scaled.scale(256, 192, true);
  return save(folder, &scaled, "scaled_smooth.png") && ok;
}

static bool text_effects(FOLDER* folder, FOLDER* fonts) {
  const INT_S8 sans = 10;
  set_named_path("$FONTDATA", fonts);
  disable_font_preload();
  start_font_system();
  if (load_font("DejaVuSans.ttf", nullptr, sans, fonts) != sans) {
    std::printf("DejaVuSans.ttf cannot be loaded from %s\n", fonts->path);
    stop_font_system();
    return false;
  }
  const COLOUR white = 0xFFFFFFFF, black = 0xFF000000, red = 0xFFFF0000;
  const COLOUR blue = 0xFF2040C0, pale = 0xFFE0E0FF, translucent = 0x80000000;
  IMAGE image(420, 260);
  image.fill_gradient_vertical(0, 0, 419, 259, &white, &red, 0);
  draw_text(&image, 10, 10, &blue, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, sans, 32, 32, "Plain text", 0, -1, false);
  draw_text(&image, 10, 50, &blue, &pale, &blue, sans, 32, 32, "Background, underline", 0, -1, false);
  draw_text(&image, 10, 90, &white, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, sans, 32, 32, "Shadow", TEXT_SHADOW, -1, false);
  draw_text(&image, 200, 90, &blue, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, sans, 32, 32, "Inset", TEXT_INSET, -1, false);
  draw_text(&image, 10, 130, &blue, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, sans, 40, 40, "Chiseled", TEXT_CHISELED, -1,
            false);
  draw_text(&image, 250, 130, &translucent, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, sans, 40, 40, "50%", 0, -1, false);
  image.draw_rectangle(10, 180, 409, 249, &black, 1, 0x0F);
  draw_text_in_box(&image, 11, 181, 408, 248, &black, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, sans, 18, 18,
                   "Text in a box wraps at blanks, cuts averyveryverylongwordwithhyphens and ends with an "
                   "ellipsis when the last line is full, full, full, full, full, full, full, full.",
                   0);
  bool ok = save(folder, &image, "text_effects.png");
  stop_font_system();
  return ok;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: %s <folder> [font folder]\n", argc > 0 ? argv[0] : "reference_pictures");
    return 2;
  }
  FOLDER folder, fonts;
  if (!folder.set_if_folder(argv[1])) {
    std::printf("%s is no folder\n", argv[1]);
    return 2;
  }
  const char* font_folder = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu";
  bool ok = primitives(&folder);
  if (fonts.set_if_folder(font_folder))
    ok = text_effects(&folder, &fonts) && ok;
  else
    std::printf("%s is no folder: no text pictures\n", font_folder);
  return ok ? 0 : 1;
}
