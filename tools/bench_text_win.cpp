// Text window benchmark (not a test), in paired runs of the same process:
// - a 20,000-line text added to a text window in one call and wrapped, against measuring every word of
//   it once with text_width (the least any wrapping must do);
// - the window scrolled by one line through a wheel notch and a page-manager pass, against drawing its
//   window's background and its visible lines drawn once (a fill and draw_text), and against the same pass
//   redrawing the window without scrolling.
// Usage: bench_text_win [rounds] [font folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_screen.h"
#include "bench_support.h"
#include "font.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "screen_image.h"
#include "style_set.h"
#include "text_draw.h"
#include "text_win.h"

namespace {

const INT_S16 WIDTH = 800, HEIGHT = 600;
const int LINES = 20000;
const INT_S8 SANS = bench_screen::SANS;
const INT_S16 FONT_SIZE = 16;

// 20,000 lines of words of 2 to 11 letters, 2 to 13 words a line: the same text every run.
std::string make_text() {
  std::string text;
  unsigned seed = 12345;
  auto next = [&seed](unsigned range) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 16) % range;
  };
  for (int line = 0; line < LINES; line++) {
    unsigned words = 2 + next(12);
    for (unsigned w = 0; w < words; w++) {
      if (w) text += ' ';
      unsigned letters = 2 + next(10);
      for (unsigned c = 0; c < letters; c++) text += (char)('a' + next(26));
    }
    text += '\n';
  }
  text.pop_back();
  return text;
}

WM_STYLE_SET* text_style() {
  static WM_STYLE_SET style;
  style.font_id = SANS;
  style.font_x_sz = style.font_y_sz = FONT_SIZE;
  style.flags = ssf_left_justify_text | ssf_top_align_text | ssf_draw_border | ssf_indent_border;
  style.shading_flags = 0x000F;
  style.bg_colour = 0xFF182838;
  return &style;
}

WM_TEXT_WIN* window = nullptr;

void build_page(WM_PAGE_MANAGER* manager) {
  window = new WM_TEXT_WIN(100, 100, 699, 399, text_style(), text_style(), 32000, false, nullptr, 0, 0);
  manager->get_root()->add_child(window, false);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  if (rounds < 1) rounds = 1;
  std::string font_folder = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu";
  bool with_text = bench_screen::start(WIDTH, HEIGHT, font_folder);
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  manager->set_page(0, build_page, nullptr, 0, nullptr, 0, 0, nullptr);
  manager->update(false);
  const std::string text = make_text();
  COLOUR white = 0xFFFFFFFF;

  // Loading and wrapping against measuring every word once.
  bench_support::PAIRED_TIMES load;
  volatile INT_S32 sink = 0;
  INT_S16 display_lines = 0;
  for (int round = 0; round < rounds; round++) {
    window->clear();
    auto start = std::chrono::steady_clock::now();
    window->add_text(text.c_str(), nullptr, &white, false, true);
    double ours = bench_support::seconds_since(start);
    display_lines = window->screen_count;
    start = std::chrono::steady_clock::now();
    INT_S32 total = 0;
    const char* word = text.c_str();
    while (*word) {
      const char* end = word;
      while (*end && *end != ' ' && *end != '\n') end++;
      total += text_width(&screen_image, SANS, FONT_SIZE, FONT_SIZE, word, (INT_S32)(end - word), false);
      word = *end ? end + 1 : end;
    }
    sink = sink + total;
    load.add(ours, bench_support::seconds_since(start));
  }

  // Scrolling by one line against drawing the visible lines once.
  manager->update(false);
  bench_support::PAIRED_TIMES scroll, redraw;
  const int passes = 200;
  bool only_window = true;
  for (int round = 0; round < rounds; round++) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; i++) {
      screen_image.clear_dirty_area();
      test_seam_wheel(i % 2 ? -1 : 1);
      manager->update(false);
      const IMAGE_AREA& d = screen_image.dirty;
      if (d.x1 < window->x || d.y1 < window->y || d.x2 > window->x + window->width - 1 ||
          d.y2 > window->y + window->height - 1)
        only_window = false;
    }
    double scrolled = bench_support::seconds_since(start) / passes;
    INT_S16 first, count;
    window->page_span(&first, &count);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; i++) {
      screen_image.fill_rectangle(window->x, window->y, (INT_S16)(window->x + window->width - 1),
                                  (INT_S16)(window->y + window->height - 1), &window->background_colour, 1);
      for (INT_S16 row = 0; row < count; row++) {
        TEXT_WIN_SCREEN_LINE& line = window->screen_buffer[(first + row) % window->capacity];
        if (!line.text) continue;
        draw_text(&screen_image, (INT_S16)(window->x + window->gap_left),
                  (INT_S16)(window->y + window->gap_top + row * FONT_SIZE), &white, &COLOUR_INVISIBLE,
                  &COLOUR_INVISIBLE, SANS, FONT_SIZE, FONT_SIZE, line.text, 0, line.length, false);
      }
    }
    double lines_once = bench_support::seconds_since(start) / passes;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; i++) {
      window->show();
      manager->update(false);
    }
    double window_redraw = bench_support::seconds_since(start) / passes;
    scroll.add(scrolled, lines_once);
    redraw.add(scrolled, window_redraw);
  }

  std::printf("text of %d lines (%s), %d display lines in a 600 x 300 window\n", LINES,
              with_text ? "DejaVu Sans 16" : "no font: 1 pixel a character", display_lines);
  std::printf("add and wrap in one call      %10.1f ms\n", load.median_ours() * 1e3);
  std::printf("text_width of every word once %10.1f ms\n", load.median_baseline() * 1e3);
  std::printf("ratio                         %s (target <= 1.5)\n", load.spread().c_str());
  std::printf("scroll by one line            %10.1f us (only the window's rectangle presented: %s)\n",
              scroll.median_ours() * 1e6, only_window ? "yes" : "NO");
  std::printf("fill and draw visible lines   %10.1f us\n", scroll.median_baseline() * 1e6);
  std::printf("ratio                         %s (target <= 1.2)\n", scroll.spread().c_str());
  std::printf("redraw without scrolling      %10.1f us, scrolling costs %s of it\n", redraw.median_baseline() * 1e6,
              redraw.spread().c_str());
  delete manager;
  if (with_text) stop_font_system();
  return sink == 42 ? 1 : 0;
}
