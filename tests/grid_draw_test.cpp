// Tests of grid drawing on a headless screen through the page manager's passes: the spare pixels shared
// out among the rows, the empty boxes below them, rows left out when only used lines are drawn, the scroll
// bar made and dropped with the overflow, the header row over a shortened scroll bar, two-tone and
// highlighted rows, the border, and the frames.
#include <gtest/gtest.h>

#include "grid.h"
#include "grid_test_support.h"
#include "host.h"
#include "page_manager.h"
#include "scroll_bar.h"
#include "script.h"
#include "style_set.h"
#include "wm_test_support.h"

namespace {

const INT_U32 BLACK = 0xFF000000;
const INT_U32 BG = 0xFF204060;

// A grid of 200 x height at (0, 0) with rows of 20 and the given extra style flags.
WM_GRID* new_grid(INT_U32 extended_flags, INT_S16 height = 100) {
  return new_plain_grid(0, 0, 199, (INT_S16)(height - 1), 1, 20, extended_flags);
}

WM_SCRIPT* add_row(WM_GRID* grid, INT_S16 row) { return grid->add_text(0, row, "", nullptr, nullptr, 0); }

TEST(GridDraw, SparePixelsAndEmptyBoxes) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(ssef_grid_type_lines);
  WM_SCRIPT* rows[3];
  for (INT_S16 r = 0; r < 3; r++) rows[r] = add_row(grid, r);
  show_as_page({grid}, 3);
  // u = 62, s = 1, p = 100 - (62 + 20) = 18, n = 4: the rows grow by 5, 5, 4 (and the spare row by 4).
  INT_S16 tops[3] = {0, 26, 52}, heights[3] = {25, 25, 24};
  for (int r = 0; r < 3; r++) {
    EXPECT_EQ(rows[r]->y, tops[r]) << r;
    EXPECT_EQ(rows[r]->height, heights[r]) << r;
    EXPECT_EQ(rows[r]->width, 200);
  }
  EXPECT_EQ(screen_pixel(100, 10), BG);
  EXPECT_EQ(screen_pixel(100, 25), BLACK);  // the spacing between two boxes
  EXPECT_EQ(screen_pixel(100, 90), BG);     // the fourth, empty box
  EXPECT_EQ(grid->scrollbar, nullptr);
}

TEST(GridDraw, OnlyUsedLines) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(ssef_grid_type_lines | ssef_grid_only_draw_used_lines);
  add_row(grid, 0);
  grid->set_cell(0, 2, new PROBE());
  grid->set_cell(0, 3, nullptr);  // row 3 made, empty
  show_as_page({grid}, 3);
  // Row 1 is empty: left out, taking no room, so row 2 follows row 0.
  EXPECT_EQ(grid->cell(0, 2)->y, 26);  // row 0 is 20 + 5 spare pixels + 1
  EXPECT_EQ(screen_pixel(100, 90), BLACK);  // nothing below the last used row
}

TEST(GridDraw, CellBoxes) {
  WM_TEST_SCREEN cells_screen(320, 240, 1);
  WM_STYLE_SET style;
  plain_grid_style(&style);
  style.extended_flags = ssef_grid_type_cells;
  style.x_spacing = 4;  // two pixels between the cells' boxes
  INT_S16 weights[2] = {1, 1};
  WM_GRID* cells = new WM_GRID(0, 0, 199, 99, 2, weights, &style, nullptr);
  cells->default_row_height = 20;
  add_row(cells, 0);
  show_as_page({cells}, 3);
  EXPECT_EQ(screen_pixel(50, 60), BG);      // a cell box of an empty spare row
  EXPECT_EQ(screen_pixel(100, 60), BLACK);  // between the two columns' boxes
  EXPECT_EQ(screen_pixel(150, 60), BG);
}

TEST(GridDraw, ScrollBarGrowsAndGoesWithTheOverflow) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(0);
  for (INT_S16 r = 0; r < 6; r++) add_row(grid, r);
  show_as_page({grid}, 3);
  ASSERT_NE(grid->scrollbar, nullptr);
  EXPECT_EQ(grid->scrollbar->x, 200 - 15 - 1);
  EXPECT_EQ(grid->scrollbar->y, 0);
  EXPECT_EQ(grid->scrollbar->height, 100);
  EXPECT_EQ(grid->scrollbar->slew, &grid->scroll_position);
  EXPECT_EQ(grid->scrollbar->wheel_step, 10);
  EXPECT_EQ(grid->scrollbar->slider_length, 100 * 100 / 125);
  EXPECT_EQ(WM_GRID::scroll_amount_callback(grid->scrollbar, GRID_LINE_DOWN), 21);
  // With the bar the cells take their narrow edges.
  EXPECT_EQ(grid->cell(0, 0)->width, 200 - 15 - 1);
  // Fewer rows: the next drawing drops the bar and the cells are wide again.
  grid->delete_rows(3, 5);
  run_passes(2);
  EXPECT_EQ(grid->scrollbar, nullptr);
  EXPECT_EQ(grid->cell(0, 0)->width, 200);
  // A grid that never shows a bar.
  grid->style.extended_flags = ssef_grid_no_scrollbar;
  for (INT_S16 r = 3; r < 8; r++) add_row(grid, r);
  run_passes(2);
  EXPECT_EQ(grid->scrollbar, nullptr);
  // Resizing deletes the bar; the next drawing makes it again.
  grid->style.extended_flags = 0;
  grid->show();
  run_passes(2);
  ASSERT_NE(grid->scrollbar, nullptr);
  grid->resize(200, 90, false);
  EXPECT_EQ(grid->scrollbar, nullptr);
  run_passes(2);
  EXPECT_NE(grid->scrollbar, nullptr);
}

TEST(GridDraw, HeaderRunsOverTheShortenedScrollBar) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(ssef_grid_fix_top_row);
  WM_SCRIPT* rows[8];
  for (INT_S16 r = 0; r < 8; r++) rows[r] = add_row(grid, r);
  show_as_page({grid}, 3);
  ASSERT_NE(grid->scrollbar, nullptr);
  EXPECT_EQ(grid->scrollbar->y, 21);  // below row 0
  EXPECT_EQ(grid->rows[0]->last_cell_extension, 16);
  EXPECT_EQ(rows[0]->width, 200);  // its right edge + the bar's width + 1
  EXPECT_EQ(rows[1]->width, 184);
  // Scrolled down by three rows: row 0 stays at the top, row 3 shows below it.
  PARAMETER& scroll = grid->scroll_position;
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.maximum) - 63);
  run_passes(2);
  EXPECT_EQ(grid->first_visible_row, 3);
  EXPECT_EQ(rows[0]->y, 0);
  EXPECT_EQ(rows[3]->y, -20);  // the first visible row's objects wait above the header
  EXPECT_EQ(rows[4]->y, 21);
  // The header keeps the whole inner height for the bar when it must not be shortened.
  grid->style.extended_flags |= ssef_grid_dont_shorten_scrollbar;
  grid->show();
  run_passes(2);
  EXPECT_EQ(grid->scrollbar->y, 0);
  EXPECT_EQ(grid->rows[0]->last_cell_extension, 0);
}

TEST(GridDraw, TwoToneAndHighlight) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(ssef_grid_two_tone);
  grid->two_tone_percentage = 50;
  for (INT_S16 r = 0; r < 4; r++) add_row(grid, r);
  grid->rows[3]->highlighted = 1;
  show_as_page({grid}, 3);
  // 4 rows, no spare row: p = 100 - 83 = 17 over n = 4.
  EXPECT_EQ(screen_pixel(100, 10), BG);
  EXPECT_EQ(screen_pixel(100, 35), 0xFF102030u);  // the second row, darkened by half
  EXPECT_EQ(screen_pixel(100, 60), BG);
  EXPECT_EQ(screen_pixel(100, 90), 0xFFE0E000u);  // the fourth row is highlighted, never darkened
}

TEST(GridDraw, Border) {
  WM_TEST_SCREEN bordered(320, 240, 1);
  WM_STYLE_SET style;
  plain_grid_style(&style);
  style.flags = ssf_draw_border;
  style.shading_type = 3;  // a one-pixel outline
  WM_GRID* framed = new WM_GRID(10, 10, 109, 59, 1, nullptr, &style, nullptr);
  show_as_page({framed}, 3);
  EXPECT_NE(screen_pixel(10, 30), BG);  // the border
  EXPECT_EQ(screen_pixel(50, 30), BG);
}

TEST(GridDraw, ZeroRowHeightDrawsWithoutSpareRows) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_STYLE_SET style;
  plain_grid_style(&style);
  style.y_spacing = 0;
  style.extended_flags = ssef_grid_type_lines;
  WM_GRID* grid = new WM_GRID(0, 0, 99, 99, 1, nullptr, &style, nullptr);
  show_as_page({grid}, 3);  // default row height 0 and no spacing: no division by zero
  EXPECT_EQ(grid->row_count, 0);
  EXPECT_EQ(screen_pixel(50, 50), BLACK);
}

TEST(GridDraw, FramesWithoutAStyleOrNameAreCleared) {
  WM_TEST_SCREEN screen(320, 240, 0);
  WM_STYLE_SET style;
  plain_grid_style(&style);
  WM_GRID grid(0, 0, 99, 99, 1, nullptr, &style, nullptr);
  EXPECT_FALSE(grid.set_style("$TEMP", nullptr, nullptr));
  EXPECT_FALSE(grid.has_base_frame());
  EXPECT_FALSE(grid.set_style("$TEMP", "no_such_grid_frame", &style));
  EXPECT_FALSE(grid.has_base_frame());
}

}  // namespace
