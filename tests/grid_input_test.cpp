// Tests of grid input through the page manager's passes: arrow-key focus walks past empty, hidden and
// unfocusable cells, the scroll that follows the focus, page, Home, End and Ctrl keys, keys left alone
// without navigation, the object under the pointer with a header, which cells get input, the wheel
// target, and the focus handed on when its row scrolls away.
#include <gtest/gtest.h>

#include "grid.h"
#include "grid_test_support.h"
#include "host.h"
#include "host_test_seam.h"
#include "page_manager.h"
#include "scroll_bar.h"
#include "style_set.h"
#include "wm_test_support.h"

namespace {

// A 200 x height grid at (x, 0) of rows of row_height, with the given extra style flags.
WM_GRID* new_grid(INT_S16 columns, INT_U32 extended_flags = 0, INT_S16 x = 0, INT_S16 height = 100,
                  INT_S16 row_height = 20) {
  return new_plain_grid(x, 0, (INT_S16)(x + 199), (INT_S16)(height - 1), columns, row_height, extended_flags);
}

INT_S32 offset_of(WM_GRID* grid) { return grid->scroll_offset(); }

TEST(GridInput, ArrowKeysWalkTheFocus) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(3, 0, 0, 200);
  grid->keyboard_navigation = 1;
  PROBE* p[4][3] = {};
  for (INT_S16 r = 0; r < 4; r++)
    for (INT_S16 c = 0; c < 3; c++) {
      if (r == 1 && c == 1) continue;  // an empty cell
      grid->set_cell(c, r, p[r][c] = new PROBE());
    }
  p[2][0]->visible = 0;    // hidden
  p[2][1]->focusable = 0;  // not focusable
  show_as_page({grid}, 3);
  p[0][0]->take_focus();
  struct {
    INT_S32 key;
    int row, column;
  } walk[] = {
      {VKEY_RIGHT, 0, 1}, {VKEY_RIGHT, 0, 2},
      {VKEY_RIGHT, 0, 2},  // from the last column nothing is found; the focus stays
      {VKEY_DOWN, 1, 2},
      {VKEY_LEFT, 1, 0},   // past the empty cell
      {VKEY_DOWN, 3, 0},   // past the hidden object
      {VKEY_RIGHT, 3, 1},
      {VKEY_UP, 0, 1},     // past the unfocusable object and the empty cell
      {VKEY_LEFT, 0, 0},  {VKEY_DOWN, 1, 0},
  };
  for (const auto& step : walk) {
    key(step.key);
    SCOPED_TRACE(testing::Message() << "key " << step.key);
    EXPECT_EQ(focus_object, p[step.row][step.column]);
    EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);
  }
  p[3][0]->take_focus();
  key(VKEY_DOWN);
  EXPECT_EQ(focus_object, p[3][0]);
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);

  // The walk itself: with focusable_only off an unfocusable object counts; other directions find nothing.
  INT_S16 column = -1, row = -1;
  EXPECT_EQ(grid->next_focusable_cell(GRID_UP, 1, 3, &column, &row, false), p[2][1]);
  EXPECT_EQ(grid->next_focusable_cell(GRID_UP, 1, 3, &column, &row, true), p[0][1]);
  EXPECT_EQ(grid->next_focusable_cell(GRID_LEFT, 0, 0, &column, &row, true), nullptr);
  EXPECT_EQ(grid->next_focusable_cell(7, 0, 0, &column, &row, true), nullptr);
  EXPECT_EQ(grid->next_focusable_cell(GRID_DOWN, 0, 1, &column, &row, true), p[3][0]);
  EXPECT_EQ(row, 3);  // the last cell tried
}

TEST(GridInput, FocusMovesScrollTheRowsIntoView) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(1);
  grid->keyboard_navigation = 1;
  PROBE* p[10];
  for (INT_S16 r = 0; r < 10; r++) grid->set_cell(0, r, p[r] = new PROBE());
  show_as_page({grid}, 3);
  p[3]->take_focus();
  key(VKEY_DOWN);  // row 4 (84 .. 103) is partly out of view: the grid scrolls by 105 - 84
  EXPECT_EQ(focus_object, p[4]);
  EXPECT_EQ(offset_of(grid), 21);
  EXPECT_EQ(grid->first_visible_row, 1);
  key(VKEY_UP);
  key(VKEY_UP);
  key(VKEY_UP);
  EXPECT_EQ(focus_object, p[1]);
  EXPECT_EQ(offset_of(grid), 21);  // rows 1 .. 3 were wholly visible
  key(VKEY_UP);
  EXPECT_EQ(focus_object, p[0]);
  EXPECT_EQ(offset_of(grid), 0);

  // focus_cell scrolls the row into view; an object that is not focusable is left alone.
  grid->focus_cell(0, 8);
  EXPECT_EQ(focus_object, p[8]);
  run_pass();
  EXPECT_TRUE(grid->row_fully_visible(8));
  p[9]->focusable = 0;
  grid->focus_cell(0, 9);
  EXPECT_EQ(focus_object, p[8]);

  // The focused row scrolled away: the nearest wholly visible row's object takes the focus.
  p[0]->take_focus();
  PARAMETER& scroll = grid->scroll_position;
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.maximum) - 42);
  run_pass();
  EXPECT_EQ(focus_object, p[2]);
}

// Tab goes through every cell in reading order, the rows scrolled out of view too, and the row of the
// cell it reaches comes into view whole; a cell holds the focus that a child of its object holds. A focus
// given while the mouse is in use (hidden) leaves the view where it is.
TEST(GridInput, TabWalksEveryCellAndBringsItIntoView) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(2);
  PROBE* p[10][2];
  for (INT_S16 r = 0; r < 10; r++)
    for (INT_S16 c = 0; c < 2; c++) grid->set_cell(c, r, p[r][c] = new PROBE());
  PROBE* inner = new PROBE();
  p[9][1]->focusable = 0;
  p[9][1]->add_child(inner, true);
  show_as_page({grid}, 3);
  p[0][0]->take_focus();
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, p[0][1]);
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, p[1][0]);
  key(VKEY_TAB, VKEY_LSHIFT);
  EXPECT_EQ(focus_object, p[0][1]);
  ASSERT_FALSE(grid->row_fully_visible(4));
  p[3][1]->take_focus();
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, p[4][0]);
  EXPECT_TRUE(grid->row_fully_visible(4));
  EXPECT_EQ(offset_of(grid), grid->row_top(4) + grid->rows[4]->height - grid->inner_height());  // the least scroll
  p[0][0]->take_focus();
  run_pass();
  EXPECT_TRUE(grid->row_fully_visible(0));
  key(VKEY_TAB, VKEY_LSHIFT);  // round to the last cell, the child of its object
  EXPECT_EQ(focus_object, inner);
  INT_S16 column = -1, row = -1;
  EXPECT_TRUE(grid->find_focused_cell(&column, &row, false));
  EXPECT_EQ(row, 9);
  EXPECT_EQ(column, 1);
  INT_S32 bottom = offset_of(grid);
  set_focus_visible(false);
  p[0][0]->take_focus();
  run_pass();
  EXPECT_EQ(offset_of(grid), bottom);
}

TEST(GridInput, PageHomeEndAndControl) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(1);
  for (INT_S16 r = 0; r < 10; r++) grid->add_text(0, r, "", nullptr, nullptr, 0);
  show_as_page({grid}, 3);
  ASSERT_NE(grid->scrollbar, nullptr);
  move_pointer(50, 50);
  EXPECT_EQ(scroll_wheel_target, grid->scrollbar);

  // Without navigation the keys stay pending for others.
  test_seam_key(VKEY_NEXT, true);
  run_pass();
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, VKEY_NEXT);
  EXPECT_EQ(offset_of(grid), 0);
  test_seam_key(VKEY_NEXT, false);
  KEYBOARD_HANDLER().read_key();

  grid->keyboard_navigation = 1;
  struct {
    INT_S32 key, modifier, offset;
  } steps[] = {
      {VKEY_NEXT, -1, 84},       {VKEY_DOWN, -1, 105},     {VKEY_PRIOR, -1, 21}, {VKEY_END, -1, 109},
      {VKEY_HOME, -1, 0},        {VKEY_DOWN, VKEY_LCONTROL, 84}, {VKEY_UP, VKEY_RCONTROL, 0},
      {VKEY_UP, -1, 0},  // at the top
  };
  for (const auto& step : steps) {
    key(step.key, step.modifier);
    EXPECT_EQ(offset_of(grid), step.offset) << step.key;
    EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);
  }
  key(VKEY_LEFT);  // not a scroll key: left pending
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, VKEY_LEFT);
}

TEST(GridInput, HeaderAnswersBeforeTheScrolledRows) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(1, ssef_grid_fix_top_row);
  PROBE* p[8];
  for (INT_S16 r = 0; r < 8; r++) grid->set_cell(0, r, p[r] = new PROBE());
  show_as_page({grid}, 3);
  PARAMETER& scroll = grid->scroll_position;
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.maximum) - 30);  // row 1 partly scrolled away
  run_passes(2);
  ASSERT_EQ(grid->first_visible_row, 1);
  EXPECT_EQ(p[2]->y, 12);  // beneath the header (0 .. 19)
  EXPECT_EQ(grid->object_at(50, 15), p[0]);
  EXPECT_EQ(grid->object_at(50, 25), p[2]);
  EXPECT_EQ(grid->object_at(190, 40), grid->scrollbar);
  EXPECT_EQ(grid->object_at(250, 40), nullptr);
  // The header's objects are asked first; the first answer ends the walk.
  p[0]->answer = 77;
  int before = p[2]->processed;
  EXPECT_EQ(grid->process(), 77);
  EXPECT_EQ(p[2]->processed, before);
  p[0]->answer = 0;
  EXPECT_EQ(grid->process(), 0);
  EXPECT_EQ(p[2]->processed, before + 1);
}

TEST(GridInput, CellsBelowTheInnerBottomGetNoInput) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_GRID* grid = new_grid(1, 0, 0, 100, 30);
  PROBE* p[5];
  for (INT_S16 r = 0; r < 5; r++) grid->set_cell(0, r, p[r] = new PROBE());
  show_as_page({grid}, 3);
  ASSERT_EQ(grid->last_visible_row, 3);
  int asked[5];
  for (int r = 0; r < 5; r++) asked[r] = p[r]->processed;
  grid->process();
  EXPECT_EQ(p[2]->processed, asked[2] + 1);
  EXPECT_EQ(p[3]->processed, asked[3]);  // its middle (93 + 15) lies below the inner bottom (99)
  EXPECT_EQ(p[4]->processed, asked[4]);  // not a visible row
  grid->update(false);
  EXPECT_GT(p[3]->updated, 0);  // updates reach every visible row

  // A cell taller than the inner height always gets input.
  WM_GRID* tall = new_grid(1, 0, 0, 100, 250);
  PROBE* big = new PROBE();
  tall->set_cell(0, 0, big);
  tall->process();
  EXPECT_EQ(big->processed, 1);
  delete tall;
}

TEST(GridInput, PointerOverAGridMakesItsBarTheWheelTarget) {
  WM_TEST_SCREEN screen(640, 240, 1);
  WM_SCREEN_OBJECT* holder = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  holder->width = 640, holder->height = 240;
  WM_GRID* second = new_grid(1, 0, 300);
  WM_GRID* first = new_grid(1, 0, 0);
  for (INT_S16 r = 0; r < 10; r++) {
    first->add_text(0, r, "", nullptr, nullptr, 0);
    second->add_text(0, r, "", nullptr, nullptr, 0);
  }
  holder->add_child(second, false);
  holder->add_child(first, false);
  show_as_page({holder}, 3);
  ASSERT_NE(first->scrollbar, nullptr);
  ASSERT_NE(second->scrollbar, nullptr);
  move_pointer(50, 50);
  EXPECT_EQ(scroll_wheel_target, first->scrollbar);
  test_seam_wheel(-2);  // turned while the pointer is about to leave: dropped when it enters the second grid
  move_pointer(350, 50);
  EXPECT_EQ(scroll_wheel_target, second->scrollbar);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 0);
  EXPECT_EQ(offset_of(second), 0);
}

}  // namespace
