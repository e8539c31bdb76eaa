// The headless screen of the widget benchmarks: a screen image without a window on a frozen tick clock,
// drawn into by the screen objects, with DejaVu Sans loaded into its built-in font slot when the font
// folder holds it.
#pragma once
#include <string>

#include "folder.h"
#include "font.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "screen_image.h"

namespace bench_screen {

const INT_S8 SANS = 10;  // the built-in slot whose file is DejaVuSans.ttf

// The screen of width x height; true when the font was loaded (text is drawn), false when every
// character measures a pixel and nothing of the text is drawn.
inline bool start(INT_S16 width, INT_S16 height, const std::string& font_folder) {
  test_seam_set_ticks(100000, 0);
  test_seam_screen(width, height);
  draw_target = &screen_image;
  FOLDER fonts;
  if (!fonts.set_if_folder(font_folder.c_str())) return false;
  disable_font_preload();
  start_font_system();
  return load_font("DejaVuSans.ttf", nullptr, SANS, &fonts) == SANS;
}

}  // namespace bench_screen
