// Grid benchmark (not a test): a grid of 10,000 text rows scrolled by one page per pass, against drawing
// the same visible rows once without scrolling, in paired runs of the same process; the ratio shows what
// the scrolling itself adds (finding the visible rows, placing the cells, the scroll bar) to the drawing.
// Usage: bench_grid [passes] [font folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_screen.h"
#include "bench_support.h"
#include "font.h"
#include "grid.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "screen_image.h"
#include "style_set.h"

namespace {

const INT_S16 WIDTH = 800, HEIGHT = 600;
const INT_S16 ROWS = 10000;

WM_GRID* grid = nullptr;

void build_grid(WM_PAGE_MANAGER* manager) {
  WM_STYLE_SET style;
  style.extended_flags = ssef_grid_two_tone | ssef_grid_type_lines;
  style.shading_flags = 0x000F;
  style.bg_colour = 0xFF203040;
  grid = new WM_GRID(20, 20, 620, 560, 2, nullptr, &style, &style);
  grid->maximum_rows = -1;
  grid->default_row_height = 22;
  COLOUR text = 0xFFFFFFFF, none = 0;
  char label[32];
  for (INT_S16 r = 0; r < ROWS; r++) {
    std::snprintf(label, sizeof label, "Entry %d", r);
    grid->add_text(0, r, label, &text, &none, 0x4);
    grid->add_text(1, r, "file.txt", &text, &none, 0x4);
  }
  manager->get_root()->add_child(grid, false);
}

}  // namespace

int main(int argc, char** argv) {
  int passes = argc > 1 ? std::atoi(argv[1]) : 200;
  if (passes < 1) passes = 1;
  std::string font_folder = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu";
  bool with_text = bench_screen::start(WIDTH, HEIGHT, font_folder);
  if (with_text) {
    screen_image.default_font_id = bench_screen::SANS;
    screen_image.default_font_x_size = screen_image.default_font_y_size = 16;
  }
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  manager->set_page(0, build_grid, nullptr, 0, nullptr, 0, 0, nullptr);
  for (int i = 0; i < 3; i++) manager->update(false);

  bench_support::PAIRED_TIMES times;
  PARAMETER& scroll = grid->scroll_position;
  for (int round = 0; round < 9; round++) {
    // Scrolling: one page down per pass (back to the top at the end), the pass drawing the new rows.
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; i++) {
      INT_S32 value = scroll.get_int(&scroll.value) - grid->scroll_amount(GRID_PAGE_DOWN);
      if (value <= 0) value = scroll.get_int(&scroll.maximum);
      scroll.set_int(&scroll.value, value);
      manager->update(false);
    }
    double scrolled = bench_support::seconds_since(start) / passes;
    // Baseline: the same pass drawing the visible rows once where they stand.
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; i++) {
      grid->show();
      manager->update(false);
    }
    double drawn = bench_support::seconds_since(start) / passes;
    times.add(scrolled, drawn);
  }
  std::printf("grid of %d rows (%s), rows %d .. %d visible\n", ROWS, with_text ? "text drawn" : "no font: boxes only",
              grid->first_visible_row, grid->last_visible_row);
  std::printf("scroll by one page        %10.1f us\n", times.median_ours() * 1e6);
  std::printf("draw visible rows once    %10.1f us\n", times.median_baseline() * 1e6);
  std::printf("ratio                     %s (target <= 1.2)\n", times.spread().c_str());
  delete manager;
  if (with_text) stop_font_system();
  return 0;
}
