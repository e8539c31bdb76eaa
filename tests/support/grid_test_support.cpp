// Grid and menu test helpers: the plain style, the probe object, the destroyed count and the test font.
#include "grid_test_support.h"

#include <filesystem>

#include "folder.h"
#include "grid.h"
#include "font.h"
#include "image.h"
#include "test_support.h"
#include "style_set.h"
#include "wm_test_support.h"

void plain_grid_style(WM_STYLE_SET* style) {
  style->border_left_gap = style->border_right_gap = style->border_top_gap = style->border_bottom_gap = 0;
  style->cell_left_gap = style->cell_right_gap = style->cell_top_gap = style->cell_bottom_gap = 0;
  style->x_spacing = 0;
  style->y_spacing = 1;
  style->flags = 0;
  style->shading_flags = 0x000F;
  style->bg_colour = 0xFF204060;
  style->highlight_colour = 0xFFE0E000;
  style->grid_scrollbar_width = 15;
}

WM_GRID* new_plain_grid(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, INT_S16 row_height,
                        INT_U32 extended_flags) {
  WM_STYLE_SET style;
  plain_grid_style(&style);
  style.extended_flags = extended_flags;
  WM_GRID* grid = new WM_GRID(x1, y1, x2, y2, columns, nullptr, &style, nullptr);
  grid->default_row_height = row_height;
  return grid;
}

PROBE::PROBE() : WM_SCREEN_OBJECT(1, nullptr, 0, 0) { focusable = 1; }

WM_RESULT PROBE::process() {
  processed++;
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  return result != 0 ? result : answer;
}

WM_RESULT PROBE::update(bool top_level) {
  updated++;
  return WM_SCREEN_OBJECT::update(top_level);
}

int destroyed_objects = 0;

static void on_destroyed(WM_SCREEN_OBJECT*, INT_U32) { destroyed_objects++; }

void count_destroyed_objects() {
  destroyed_objects = 0;
  screen_object_destroyed_hook = on_destroyed;
}

bool load_test_font() {
  const INT_S8 sans = 10;  // the built-in slot whose file is DejaVuSans.ttf
  FOLDER fonts;
  if (!std::filesystem::exists(system_font_folder() + "/DejaVuSans.ttf") ||
      !fonts.set_if_folder(system_font_folder().c_str()))
    return false;
  disable_font_preload();
  start_font_system();
  if (load_font("DejaVuSans.ttf", nullptr, sans, &fonts) != sans) return false;
  if (draw_target) {
    draw_target->default_font_id = sans;
    draw_target->default_font_x_size = draw_target->default_font_y_size = 16;
  }
  return true;
}

void unload_test_font() { stop_font_system(); }
