// Tests of list boxes through the page manager's passes: the shown text cut to the button, the first
// selection clamped and never reported, the wheel over the box, choosing in the pop-up, resizing, items
// added later, selection by value, the colour form's face and the grid's list-box cells.
#include <gtest/gtest.h>

#include <string>

#include "floating_menu.h"
#include "grid.h"
#include "grid_test_support.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "list_box.h"
#include "page_manager.h"
#include "text_draw.h"
#include "wm_test_support.h"

namespace {

const COLOUR BACK = 0xFFC0C0C0, TEXT = 0xFF000000, HIGH = 0xFF0000FF;
const char* FRUIT[] = {"Apple", "Banana", "Cherry", "Damson", "Elderberry", "Fig", "Grape"};

int reports = 0;
INT_S16 reported_selection = -1;
INT_U8 held_during_report = 0;
int on_selection(WM_LIST_BOX* box, INT_U32, INT_U32) {
  reports++;
  reported_selection = box->selected;
  held_during_report = box->armed;
  return 0;
}

class ListBoxTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN screen{640, 480, 1};
  void SetUp() override {
    ASSERT_TRUE(load_test_font());
    reports = 0;
    reported_selection = -1;
  }
  void TearDown() override { unload_test_font(); }
  WM_LIST_BOX* new_box(INT_S16 width, INT_S16 count, const char** texts, INT_S16 selected) {
    return new WM_LIST_BOX(100, 100, (INT_S16)(100 + width - 1), 119, 0, count, texts, selected, &BACK, &TEXT, &HIGH,
                           1, on_selection, 1, 2, nullptr);
  }
  static INT_S32 width_of(const char* text) {
    return text_width(draw_target, -1, -1, -1, text, -1, false);
  }
};

TEST_F(ListBoxTest, ShownTextCutToTheButton) {
  WM_LIST_BOX* box = new_box(300, 7, FRUIT, 4);
  EXPECT_STREQ(box->label, "Elderberry");  // fits whole
  EXPECT_EQ(box->button_flags, (INT_U32)(bf_left_justify_text | bf_down_arrow));
  INT_S32 room = 60 - box->left_gap - box->right_gap;
  box->resize(60, 20, false);
  box->show_selection();
  std::string shown = box->label;
  EXPECT_LT(shown.size(), std::string("Elderberry").size());
  EXPECT_EQ(std::string("Elderberry").compare(0, shown.size(), shown), 0);  // cut from its end
  EXPECT_LE(width_of(shown.c_str()), room);
  EXPECT_GT(width_of(std::string("Elderberry").substr(0, shown.size() + 1).c_str()), room);
  box->resize((INT_S16)(box->left_gap + box->right_gap + 1), 20, false);
  box->show_selection();
  EXPECT_STREQ(box->label, "");  // nothing fits
  box->set_shown_text(nullptr);
  EXPECT_STREQ(box->label, "");
  // A text of wide characters is cut between characters.
  box->resize(60, 20, false);
  const char* wide = "\x01,0416,0416,0416,0416,0416,0416,0416,0416\x01";
  box->set_shown_text(wide);
  shown = box->label;
  ASSERT_GT(shown.size(), 1u);
  EXPECT_EQ(shown.size() % 5, 1u) << shown;  // the mark and whole groups
  EXPECT_EQ(std::string(wide).compare(0, shown.size(), shown), 0);
  EXPECT_LE(width_of(shown.c_str()), room);
  EXPECT_GT(width_of(std::string(wide).substr(0, shown.size() + 5).c_str()), room);
  delete box;
}

TEST_F(ListBoxTest, FirstSelectionClampedAndQuiet) {
  struct {
    INT_S16 count, asked, selected;
  } cases[] = {{7, -5, 0}, {7, 99, 6}, {7, 3, 3}, {0, 2, -1}};
  for (const auto& c : cases) {
    WM_LIST_BOX* box = new_box(200, c.count, FRUIT, c.asked);
    EXPECT_EQ(box->selected, c.selected) << c.asked;
    EXPECT_EQ(box->entry_count, c.count);
    EXPECT_EQ(box->notify, 0);
    if (c.selected >= 0) {
      EXPECT_EQ(box->value, c.selected);
      EXPECT_STREQ(box->label, FRUIT[c.selected]);
    }
    delete box;
  }
  WM_LIST_BOX* box = new_box(200, 7, FRUIT, 99);
  show_as_page({box}, 3);
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(box->reported, 6);
}

TEST_F(ListBoxTest, WheelOverTheBox) {
  WM_LIST_BOX* box = new_box(200, 7, FRUIT, 5);
  show_as_page({box}, 3);
  test_seam_wheel(3);  // turned while the pointer is elsewhere
  move_pointer(150, 110);
  EXPECT_EQ(box->selected, 5);  // dropped when the pointer entered
  test_seam_wheel(2);
  run_pass();
  EXPECT_EQ(box->selected, 3);
  EXPECT_EQ(reports, 1);  // in the same pass
  EXPECT_EQ(reported_selection, 3);
  EXPECT_EQ(held_during_report, 1);
  EXPECT_EQ(box->armed, 0);  // put back
  EXPECT_STREQ(box->label, "Damson");
  run_passes(2);
  EXPECT_EQ(reports, 1);  // once per change
  test_seam_wheel(10);
  run_pass();
  EXPECT_EQ(box->selected, 0);  // stops at the first entry
  test_seam_wheel(-100);
  run_pass();
  EXPECT_EQ(box->selected, 6);
  EXPECT_EQ(reports, 3);
}

TEST_F(ListBoxTest, ChoosingInThePopup) {
  WM_LIST_BOX* box = new_box(200, 7, FRUIT, 2);
  show_as_page({box}, 3);
  click(150, 110);
  run_passes(2);
  WM_FLOATING_MENU* popup = box->popup;
  ASSERT_TRUE(popup->visible);
  WM_BUTTON* cherry = popup->get_entry(2);
  click((INT_S16)(cherry->x + 5), (INT_S16)(cherry->y + cherry->height / 2));  // already selected
  run_passes(2);
  EXPECT_EQ(reports, 0);
  EXPECT_FALSE(popup->visible);
  click(150, 110);
  run_passes(2);
  WM_BUTTON* fig = popup->get_entry(5);
  click((INT_S16)(fig->x + 5), (INT_S16)(fig->y + fig->height / 2));
  EXPECT_EQ(box->selected, 5);
  EXPECT_EQ(box->value, 5);
  EXPECT_STREQ(box->label, "Fig");
  run_pass();
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(reported_selection, 5);
  // Quiet selections change the face but report nothing.
  box->select(1, true);
  box->select_value(4, true);
  run_passes(2);
  EXPECT_EQ(box->selected, 4);
  EXPECT_EQ(reports, 1);
  box->select_value(42, false);  // no entry has it
  EXPECT_EQ(box->selected, 4);
  // A new width cuts the text again in the next pass, without a report.
  box->resize(40, 20, false);
  EXPECT_EQ(box->resized, 1);
  run_pass();
  EXPECT_EQ(box->resized, 0);
  EXPECT_LT(std::string(box->label).size(), std::string("Elderberry").size());
  EXPECT_EQ(reports, 1);
}

TEST_F(ListBoxTest, ItemsAddedLaterAndTheIcon) {
  WM_LIST_BOX* box = new_box(200, 0, nullptr, 0);
  EXPECT_EQ(box->add_item(nullptr, 0, false, false, false), nullptr);
  WM_BUTTON* first = box->add_item("One", 10, false, true, false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->event_user2, 10u);
  WM_BUTTON* second = box->add_item("Two", 0, false, false, true);  // a separator row first
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->event_user2, 2u);  // its index
  EXPECT_EQ(box->entry_count, 3);
  EXPECT_EQ(box->popup->entry_count, 3);
  box->select(2, true);
  EXPECT_EQ(box->value, 2);
  EXPECT_STREQ(box->label, "Two");
  // The selected entry's icon is copied onto the box.
  second->icon.set_size(4, 3);
  *second->icon.pixel_at(1, 1) = 0xFF123456;
  box->show_selection();
  EXPECT_EQ(box->icon.width, 4);
  EXPECT_EQ(*box->icon.pixel_at(1, 1), 0xFF123456u);
  // An entry the pop-up refuses is not counted.
  box->popup->grid->maximum_rows = 3;
  EXPECT_EQ(box->add_item("Three", 3, false, true, false), nullptr);
  EXPECT_EQ(box->entry_count, 3);
  delete box;
}

TEST_F(ListBoxTest, GridCell) {
  WM_STYLE_SET style;
  plain_grid_style(&style);
  WM_GRID* grid = new WM_GRID(10, 10, 309, 109, 1, nullptr, &style, nullptr);
  grid->default_row_height = 24;
  WM_STYLE_SET button, popup, entries;
  WM_LIST_BOX* box = grid->add_list_box(0, 1, 0, 3, FRUIT, 1, &button, nullptr, &popup, nullptr, &entries,
                                        on_selection, 0, 0, nullptr, nullptr);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(grid->cell(0, 1), box);
  EXPECT_EQ(box->x, 10);
  EXPECT_EQ(box->width, 300);
  EXPECT_TRUE(box->kind & WM_KIND_LIST_BOX);
  EXPECT_TRUE(box->kind & WM_KIND_MENU);
  EXPECT_EQ(box->selected, 1);
  EXPECT_EQ(grid->add_list_box(3, 1, 0, 3, FRUIT, 1, &button, nullptr, &popup, nullptr, &entries, on_selection, 0,
                               0, nullptr, nullptr),
            nullptr);  // no such column: refused and deleted
  delete grid;
}

}  // namespace
