// Tests of the grid's model: column edges (weighted, fixed, wide and narrow), rows made on demand, cells
// that refuse objects, the scroll position as rows are added, scroll amounts, deleting, clearing and
// resizing rows, moving the grid with its cells.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "button.h"
#include "grid.h"
#include "data_file.h"
#include "image_file.h"
#include "image_object.h"
#include "test_support.h"
#include "grid_test_support.h"
#include "script.h"
#include "style_set.h"
#include "wm_test_support.h"

namespace {

struct EDGE_CASE {
  std::vector<INT_S16> weights;
  INT_S16 width;
  INT_S16 cell_left, cell_right, x_spacing;
  std::vector<INT_S16> left_wide, right_wide, left_narrow, right_narrow;
};

TEST(GridRow, ColumnEdges) {
  WM_TEST_SCREEN screen(640, 480, 0);
  const EDGE_CASE cases[] = {
      // Weights 1, 1, 2 share 200 pixels; the narrow edges leave the 15-pixel scroll bar column.
      {{1, 1, 2}, 200, 0, 0, 0, {0, 50, 100}, {49, 99, 199}, {0, 46, 92}, {45, 91, 183}},
      // A fixed column of 30 between its cell gaps, whatever the row's width.
      {{-30, 1}, 200, 2, 3, 4, {4, 43}, {33, 196}, {4, 43}, {33, 180}},
      {{-30, 1}, 400, 2, 3, 4, {4, 43}, {33, 396}, {4, 43}, {33, 380}},
      // Only fixed columns: no share term (no division by a total of 0).
      {{-10, -20}, 100, 0, 0, 0, {0, 10}, {9, 99}, {0, 10}, {9, 83}},
      // More columns than a row holds in itself: their cells and tables are allocated.
      {{-10, -20, -30, -40, -50}, 300, 0, 0, 0, {0, 10, 30, 60, 100}, {9, 29, 59, 99, 299}, {0, 10, 30, 60, 100},
       {9, 29, 59, 99, 283}},
  };
  for (const EDGE_CASE& c : cases) {
    WM_STYLE_SET style;
    plain_grid_style(&style);
    style.cell_left_gap = c.cell_left;
    style.cell_right_gap = c.cell_right;
    style.x_spacing = c.x_spacing;
    WM_GRID_ROW row = {};
    WM_GRID_ROW::init(&row, c.width, (INT_S16)c.weights.size(), c.weights.data(), &style);
    ASSERT_EQ(row.cell_count, (INT_S16)c.weights.size());
    for (size_t i = 0; i < c.weights.size(); i++) {
      SCOPED_TRACE(testing::Message() << "width " << c.width << " column " << i);
      EXPECT_EQ(row.left_wide[i], c.left_wide[i]);
      EXPECT_EQ(row.right_wide[i], c.right_wide[i]);
      EXPECT_EQ(row.left_narrow[i], c.left_narrow[i]);
      EXPECT_EQ(row.right_narrow[i], c.right_narrow[i]);
    }
    // A column outside the row gives zeros; the last column reaches by the extension.
    INT_S16 x1 = 1, y1 = 1, x2 = 1, y2 = 1;
    WM_GRID_ROW::cell_rectangle(&row, (INT_S16)c.weights.size(), false, &x1, &y1, &x2, &y2);
    EXPECT_EQ(x1 | y1 | x2 | y2, 0);
    row.last_cell_extension = 16;
    WM_GRID_ROW::cell_rectangle(&row, (INT_S16)(c.weights.size() - 1), true, &x1, &y1, &x2, &y2);
    EXPECT_EQ(x2, c.right_narrow.back() + 16);
    WM_GRID_ROW::clear(&row);
    EXPECT_EQ(row.cells, nullptr);
    EXPECT_EQ(row.cell_count, 0);
  }
}

TEST(GridRow, HeightNeverBelowTheCellGaps) {
  WM_STYLE_SET style;
  plain_grid_style(&style);
  style.cell_top_gap = 3;
  style.cell_bottom_gap = 4;
  WM_GRID_ROW row = {};
  WM_GRID_ROW::set_height(&row, 21, &style);  // 21 with the spacing of 1
  EXPECT_EQ(row.height, 20);
  EXPECT_EQ(row.cell_top, 3);
  EXPECT_EQ(row.cell_bottom, 15);
  EXPECT_EQ(row.end, 20);
  WM_GRID_ROW::set_height(&row, 2, &style);
  EXPECT_EQ(row.height, 9);  // 3 + 2 + 4
  EXPECT_EQ(row.end, 9);     // the end moves by the change
}

TEST(Grid, InitResolvesTheStyleAndSize) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_STYLE_SET style;  // defaults: border drawn, shading type 1 (2 pixels), gaps 65535
  style.grid_two_tone_value = 35;
  WM_GRID grid(10, 20, 10, 300, 2, nullptr, &style, nullptr);
  EXPECT_EQ(grid.width, 6);  // width 1: 6 x 6
  EXPECT_EQ(grid.height, 6);
  EXPECT_EQ(grid.style.border_left_gap, 3);
  EXPECT_EQ(grid.style.border_bottom_gap, 3);
  EXPECT_EQ(grid.style.cell_top_gap, 0);
  EXPECT_EQ(grid.style.font_id, draw_target->default_font_id);
  EXPECT_EQ(grid.style.font_y_sz, draw_target->default_font_y_size);
  EXPECT_EQ(grid.two_tone_percentage, 35);
  EXPECT_EQ(grid.default_column_count, 2);
  EXPECT_EQ(grid.default_weights[1], 1);
  EXPECT_EQ(grid.maximum_rows, 1024);
  EXPECT_EQ(grid.last_visible_row, -1);
  EXPECT_TRUE(grid.kind & WM_KIND_GRID);
  EXPECT_FALSE(grid.is_focusable());
  EXPECT_EQ(grid.rows_for_height(0), 0);
}

TEST(Grid, RowsMadeOnDemandAndCellsThatRefuse) {
  WM_TEST_SCREEN screen(640, 480, 0);
  count_destroyed_objects();
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 99));
  PROBE* probe = new PROBE();
  EXPECT_EQ(grid->set_cell(0, 5, probe), probe);
  EXPECT_EQ(grid->row_count, 6);
  EXPECT_EQ(grid->cell(0, 3), nullptr);
  EXPECT_EQ(grid->cell(0, 5), probe);
  EXPECT_EQ(grid->cell(1, 5), nullptr);
  EXPECT_EQ(grid->cell(0, 6), nullptr);
  for (INT_S16 r = 0; r < 6; r++) EXPECT_EQ(grid->rows[r]->end, 21 * (r + 1));
  EXPECT_EQ(grid->content_height(), 125);
  EXPECT_EQ(probe->y, 105);  // placed at its cell (the view is at the top)
  EXPECT_EQ(probe->height, 20);

  // Refused: a bad column (the rows are made), a negative row, a row at the limit. The object is
  // deleted each time and null returned.
  EXPECT_EQ(grid->set_cell(1, 7, new PROBE()), nullptr);
  EXPECT_EQ(grid->row_count, 8);
  EXPECT_EQ(grid->set_cell(0, -1, new PROBE()), nullptr);
  EXPECT_EQ(grid->set_cell(0, 1024, new PROBE()), nullptr);
  EXPECT_EQ(grid->row_count, 8);
  EXPECT_EQ(destroyed_objects, 3);

  // A new object in a full cell deletes the old one.
  PROBE* second = new PROBE();
  EXPECT_EQ(grid->set_cell(0, 5, second), second);
  EXPECT_EQ(destroyed_objects, 4);

  // Without a row limit a long list passes the 16-bit row ends.
  grid->maximum_rows = -1;
  EXPECT_NE(grid->set_cell(0, 1999, new PROBE()), nullptr);
  EXPECT_EQ(grid->rows[1999]->end, 42000);
  EXPECT_EQ(grid->content_height(), 41999);
  EXPECT_EQ(grid->scroll_position.get_int(&grid->scroll_position.maximum), 41899);
  INT_S32 top = 0, bottom = 0;
  EXPECT_TRUE(grid->row_span(1999, &top, &bottom));
  EXPECT_EQ(top, 41979);  // the view is at the top
  EXPECT_EQ(grid->set_cell(0, 32767, new PROBE()), nullptr);  // past what the row count holds
}

TEST(Grid, AddingRowsKeepsTheViewAtTheTop) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 99));
  PARAMETER& scroll = grid->scroll_position;
  for (INT_S16 r = 0; r < 4; r++) grid->add_text(0, r, "", nullptr, nullptr, 0);
  EXPECT_EQ(scroll.get_int(&scroll.maximum), 0);  // 83 pixels fit
  EXPECT_EQ(scroll.get_int(&scroll.value), 0);
  EXPECT_EQ(grid->last_visible_row, 3);
  grid->add_text(0, 4, "", nullptr, nullptr, 0);  // 104 pixels: overflows by 4
  EXPECT_EQ(scroll.get_int(&scroll.maximum), 4);
  EXPECT_EQ(scroll.get_int(&scroll.value), 4);
  grid->add_text(0, 5, "", nullptr, nullptr, 0);
  EXPECT_EQ(scroll.get_int(&scroll.maximum), 25);
  EXPECT_EQ(scroll.get_int(&scroll.value), 25);
  EXPECT_EQ(grid->scroll_offset(), 0);
  EXPECT_EQ(grid->last_visible_row, 4);  // row 5 starts at 105
}

TEST(Grid, CellRectanglesShareTheSparePixels) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::unique_ptr<WM_GRID> grid(new_plain_grid(10, 20, 209, 119));
  for (INT_S16 r = 0; r < 3; r++) grid->add_text(0, r, "", nullptr, nullptr, 0);
  // u = 63 with the last spacing, s = 1, p = 100 - (63 + 20) = 17, n = 4: 5, 4, 4, 4 extra pixels.
  struct {
    INT_S16 row, y1, y2;
    bool visible;
  } expected[] = {{0, 20, 44, true}, {1, 46, 69, true}, {2, 71, 94, true}, {3, 96, 119, true}, {4, 121, 144, false}};
  for (const auto& e : expected) {
    INT_S16 x1, y1, x2, y2;
    EXPECT_EQ(grid->cell_rectangle(0, e.row, &x1, &y1, &x2, &y2), e.visible) << e.row;
    EXPECT_EQ(x1, 10);
    EXPECT_EQ(x2, 209);
    EXPECT_EQ(y1, e.y1) << e.row;
    EXPECT_EQ(y2, e.y2) << e.row;
  }
  // A zero row height without spacing gives no spare rows and no division by zero.
  WM_STYLE_SET flat;
  plain_grid_style(&flat);
  flat.y_spacing = 0;
  WM_GRID zero(0, 0, 99, 99, 1, nullptr, &flat, nullptr);
  EXPECT_EQ(zero.spare_rows(0), 0);
  INT_S16 x1, y1, x2, y2;
  EXPECT_FALSE(zero.cell_rectangle(0, 3, &x1, &y1, &x2, &y2));
}

TEST(Grid, ScrollAmounts) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 99));
  for (INT_S16 r = 0; r < 10; r++) grid->add_text(0, r, "", nullptr, nullptr, 0);
  PARAMETER& scroll = grid->scroll_position;
  ASSERT_EQ(scroll.get_int(&scroll.maximum), 109);
  struct {
    INT_S32 offset, line_up, line_down, page_up, page_down;
  } cases[] = {
      {0, 0, 21, 0, 84},    // at the top
      {21, 21, 21, 21, 84}, // exactly at row 1's top: a line up is row 0's pitch
      {30, 9, 12, 30, 75},  // 9 pixels into row 1
      {105, 21, 21, 84, 63},  // the last page stops at the last row
  };
  for (const auto& c : cases) {
    scroll.set_int(&scroll.value, 109 - c.offset);
    grid->sync_scroll();
    SCOPED_TRACE(testing::Message() << "offset " << c.offset);
    EXPECT_EQ(grid->scroll_amount(GRID_LINE_UP), c.line_up);
    EXPECT_EQ(grid->scroll_amount(GRID_LINE_DOWN), c.line_down);
    EXPECT_EQ(grid->scroll_amount(GRID_PAGE_UP), c.page_up);
    EXPECT_EQ(grid->scroll_amount(GRID_PAGE_DOWN), c.page_down);
    EXPECT_EQ(grid->scroll_amount(5), 0);
  }
  scroll.set_int(&scroll.value, 109 - 105);
  grid->sync_scroll();
  EXPECT_EQ(grid->first_visible_row, 5);
  EXPECT_EQ(grid->last_visible_row, 9);
  // Scrolling back shows row 2 again.
  grid->make_row_visible(2);
  EXPECT_EQ(grid->scroll_offset(), 42);
  EXPECT_EQ(grid->first_visible_row, 2);
  EXPECT_TRUE(grid->row_fully_visible(2));
  EXPECT_TRUE(grid->row_fully_visible(5));
  EXPECT_FALSE(grid->row_fully_visible(6));  // 105 - 42 = 63 .. 82 fits; row 6: 84 .. 103 does not
  grid->make_row_visible(9);
  EXPECT_TRUE(grid->row_fully_visible(9));
  EXPECT_EQ(grid->scroll_offset(), 109);
}

TEST(Grid, DeleteClearAndRemoveRows) {
  WM_TEST_SCREEN screen(640, 480, 0);
  count_destroyed_objects();
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 299, 2));
  PROBE* objects[5];
  for (INT_S16 r = 0; r < 5; r++) grid->set_cell(1, r, objects[r] = new PROBE());
  grid->delete_rows(1, 2);
  EXPECT_EQ(grid->row_count, 3);
  EXPECT_EQ(destroyed_objects, 2);
  EXPECT_EQ(grid->cell(1, 0), objects[0]);
  EXPECT_EQ(grid->cell(1, 1), objects[3]);
  EXPECT_EQ(grid->cell(1, 2), objects[4]);
  EXPECT_EQ(objects[4]->y, 44);  // placed in its new row, 2 of the 7 spare pixels above it
  grid->delete_rows(2, 1);        // first after last: nothing
  grid->delete_rows(0, 3);        // past the last row: nothing
  EXPECT_EQ(grid->row_count, 3);

  INT_S16 row = -1, column = -1;
  EXPECT_TRUE(grid->find_object(objects[3], &row, &column, true));
  EXPECT_EQ(row, 1);
  EXPECT_EQ(column, 1);
  EXPECT_TRUE(grid->find_object(objects[4], &row, &column, false));
  EXPECT_EQ(row, 2);
  EXPECT_FALSE(grid->find_object(grid.get(), &row, &column, true));

  // remove_child without delete leaves the object alive and the cell empty.
  grid->remove_child(objects[3], false, false);
  EXPECT_EQ(grid->cell(1, 1), nullptr);
  EXPECT_EQ(destroyed_objects, 2);
  EXPECT_FALSE(objects[3]->visible);
  delete objects[3];
  grid->remove_child(objects[4], true, false);
  EXPECT_EQ(destroyed_objects, 4);

  grid->clear_rows(0, 5);  // beyond the last row: up to it
  EXPECT_EQ(destroyed_objects, 5);
  EXPECT_EQ(grid->row_count, 3);
  EXPECT_EQ(grid->rows[0]->cell_count, 2);

  grid->set_cell(0, 0, new PROBE());
  grid->clear(true);
  EXPECT_EQ(destroyed_objects, 6);
  EXPECT_EQ(grid->row_count, 0);
  EXPECT_EQ(grid->default_column_count, 2);
  EXPECT_EQ(grid->default_row_height, 20);
  grid->clear(false);
  EXPECT_EQ(grid->default_column_count, 0);
  EXPECT_EQ(grid->default_row_height, 0);
}

WM_RESULT nothing(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) { return 0; }

TEST(Grid, CellMakers) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_STYLE_SET style;
  plain_grid_style(&style);
  INT_S16 weights[2] = {1, 3};
  WM_GRID grid(10, 10, 209, 109, 2, weights, &style, nullptr);
  grid.default_row_height = 20;
  WM_STYLE_SET button_style;
  WM_BUTTON* button = grid.add_button(1, 0, "OK", &button_style, nothing, 5, 6, BUTTON_EVENT_CLICK);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(grid.cell(1, 0), button);
  EXPECT_EQ(button->x, 10 + 50);
  EXPECT_EQ(button->width, 150);
  EXPECT_STREQ(button->label, "OK");
  EXPECT_EQ(button->event_user1, 5u);
  EXPECT_EQ(button->event_user2, 6u);
  EXPECT_EQ(button->event_mask, BUTTON_EVENT_CLICK);

  COLOUR text = 0xFF112233, face = 0xFF445566;
  WM_BUTTON* label = grid.add_text_button(0, 1, "Name", &text, &face, bf_left_justify_text, nothing, 7, 8, 0x2);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text_colour, text);
  EXPECT_EQ(label->background_colour, COLOUR_INVISIBLE);
  EXPECT_EQ(label->highlight_colour, face);
  EXPECT_EQ(label->font_id, grid.style.font_id);
  EXPECT_EQ(label->button_flags, (INT_U32)bf_left_justify_text);
  EXPECT_EQ(label->event_mask, 0x2);
  EXPECT_EQ(label->event_user1, 7u);

  WM_SCRIPT* script = grid.add_text(1, 1, "Value", &text, nullptr, SCRIPT_LEFT_JUSTIFY);
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(script->draw_flags, (INT_U32)SCRIPT_LEFT_JUSTIFY);
  EXPECT_EQ(script->font_y_size, grid.style.font_y_sz);
  EXPECT_EQ(script->text_colour, text);
  WM_STYLE_SET script_style;
  EXPECT_NE(grid.add_script(0, 2, "Caption", &script_style), nullptr);
  // An image object with its picture loaded at the cell's size.
  FOLDER pictures = scratch_folder("grid_cell_images");
  IMAGE picture(8, 4);
  DATA_FILE* file = open_data_file(&pictures, "dot.png", FILE_MODE_WRITE, 0, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(save_png(&picture, file));
  ASSERT_TRUE(close_data_file(&file));
  WM_IMAGE* image = grid.add_image(1, 2, &pictures, "dot.png", nothing, 3, 4);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->event_mask, 0x3);
  EXPECT_EQ(image->width, 150);
  EXPECT_EQ(image->image.width, 150);  // the 8 x 4 picture at the cell's size
  EXPECT_EQ(image->image.height, image->height);
  EXPECT_NE(grid.add_image(0, 3, &pictures, "none.png", nothing, 0, 0), nullptr);
  // A refused cell: the made object is deleted and null returned.
  EXPECT_EQ(grid.add_button(2, 3, "x", &button_style, nothing, 0, 0, 0), nullptr);
  EXPECT_EQ(grid.add_script(0, -1, "x", &script_style), nullptr);
}

TEST(Grid, ResizeWithRowsPerPageMeasuresTheNewRows) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 199, 1, 0));
  grid->rows_per_page = 5;
  grid->resize(200, 201, false);  // (201 + 1) / 5 - 1 = 39
  EXPECT_EQ(grid->default_row_height, 39);
  for (INT_S16 r = 0; r < 10; r++) grid->add_text(0, r, "", nullptr, nullptr, 0);
  PARAMETER& scroll = grid->scroll_position;
  EXPECT_EQ(scroll.get_int(&scroll.maximum), 399 - 201);
  grid->resize(150, 101, false);  // rows of (101 + 1) / 5 - 1 = 19
  EXPECT_EQ(grid->default_row_height, 19);
  EXPECT_EQ(grid->rows[9]->end, 200);
  EXPECT_EQ(scroll.get_int(&scroll.maximum), 199 - 101);  // the content the rows now make
  EXPECT_EQ(grid->scroll_offset(), 0);
  EXPECT_EQ(grid->rows[0]->right_wide[0], 149);  // columns laid out for the new width
  EXPECT_EQ(grid->last_visible_row, 5);
  // The same size again changes nothing.
  grid->rows[0]->right_wide[0] = 1;
  grid->resize(150, 101, false);
  EXPECT_EQ(grid->rows[0]->right_wide[0], 1);
}

// A row made taller moves the rows below with their objects, and the spacing changed moves them again;
// the scroll range follows each time, the view staying at the top.
TEST(Grid, ARowResizedOrTheSpacingChangedMovesTheRowsBelow) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 99));
  std::vector<PROBE*> probes;
  for (INT_S16 r = 0; r < 6; r++) probes.push_back(static_cast<PROBE*>(grid->set_cell(0, r, new PROBE())));
  PARAMETER& scroll = grid->scroll_position;
  ASSERT_EQ(scroll.get_int(&scroll.maximum), 6 * 21 - 1 - 100);
  INT_S16 above = probes[0]->y, below = probes[2]->y;
  grid->resize_row(1, 30);
  EXPECT_EQ(grid->rows[1]->height, 30);
  EXPECT_EQ(grid->rows[1]->end, 21 + 31);
  EXPECT_EQ(grid->rows[5]->end, 6 * 21 + 10);
  EXPECT_EQ(probes[0]->y, above);
  EXPECT_EQ(probes[2]->y, below + 10);
  EXPECT_EQ(scroll.get_int(&scroll.maximum), 6 * 21 - 1 + 10 - 100);
  EXPECT_EQ(grid->scroll_offset(), 0);
  grid->set_row_spacing(3);
  EXPECT_EQ(grid->style.y_spacing, 3);
  EXPECT_EQ(grid->rows[0]->end, 23);
  EXPECT_EQ(grid->rows[5]->end, 5 * 20 + 30 + 6 * 3);
  EXPECT_EQ(grid->content_height(), 5 * 20 + 30 + 5 * 3);
  EXPECT_EQ(scroll.get_int(&scroll.maximum), grid->content_height() - 100);
  EXPECT_EQ(grid->scroll_offset(), 0);
  grid->resize_row(9, 40);  // no such row: nothing changes
  EXPECT_EQ(grid->content_height(), 5 * 20 + 30 + 5 * 3);
}

TEST(Grid, MoveCarriesCellsAndChildren) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::unique_ptr<WM_GRID> grid(new_plain_grid(0, 0, 199, 99));
  PROBE* cell_object = new PROBE();
  grid->set_cell(0, 1, cell_object);
  PROBE* child = new PROBE();
  child->x = 5, child->y = 6;
  grid->add_child(child, false);
  grid->move_to(30, 40);
  EXPECT_EQ(cell_object->x, 30);
  EXPECT_EQ(cell_object->y, 66);  // 21 + 5 spare pixels above it, then moved by 40
  EXPECT_EQ(child->x, 35);
  EXPECT_EQ(child->y, 46);
  grid->set_area(3);
  EXPECT_EQ(cell_object->area, 3);
  EXPECT_EQ(child->area, 3);
  EXPECT_EQ(grid->cell(0, 0), nullptr);  // a child is not a cell
}

}  // namespace
