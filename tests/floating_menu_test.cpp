// Tests of floating menus: the menu sized to its widest entry, title or opener, the rows that fit the work
// area with the arrow buttons standing in for the first and last visible rows, separators at the cut and
// at the top, the arrows' scrolling, entries the grid refuses, and sub-menu entries.
#include <gtest/gtest.h>

#include <cstdio>

#include "button.h"
#include "floating_menu.h"
#include "grid.h"
#include "grid_test_support.h"
#include "menu.h"
#include "page_manager.h"
#include "script.h"
#include "style_measures.h"
#include "text_draw.h"
#include "wm_test_support.h"

namespace {

class FloatingMenuTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN screen{640, 480, 1};
  WM_STYLE_SET window;
  void SetUp() override {
    load_test_font();
    window.shading_type = 4;  // one-pixel border: gaps of 1
  }
  void TearDown() override {
    for (INT_S16& setting : work_area_settings) setting = -1;
    unload_test_font();
  }
  WM_FLOATING_MENU* new_menu(const char* title = nullptr, WM_STYLE_SET* separators = nullptr) {
    return new WM_FLOATING_MENU(100, 50, title, &window, nullptr, nullptr, nullptr, 0, 0, separators, nullptr, nullptr,
                                nullptr, nullptr);
  }
  // Entries "Entry 0" .. "Entry n-1", a separator before each index listed.
  void fill(WM_FLOATING_MENU* menu, int n, std::initializer_list<int> separators_before = {}) {
    char text[32];
    for (int i = 0; i < n; i++) {
      bool separator = false;
      for (int s : separators_before) separator = separator || s == i;
      std::snprintf(text, sizeof text, "Entry %d", i);
      ASSERT_NE(menu->add_entry(text, nullptr, 0, (INT_U32)i, separator), nullptr);
    }
  }
  static INT_S32 frame_of(WM_FLOATING_MENU* menu) {
    WM_STYLE_SET& s = menu->window_style;
    return s.border_left_gap + s.border_right_gap + s.cell_left_gap + s.cell_right_gap;
  }
  static INT_S32 entry_width(WM_FLOATING_MENU* menu, const char* text) {
    WM_STYLE_SET& b = menu->button_style;
    return text_width(draw_target, b.font_id, b.font_x_sz, b.font_y_sz, text, -1, false) + b.border_left_gap +
           b.border_right_gap + style_horizontal_gaps(&menu->own_style) + frame_of(menu);
  }
  static INT_S32 chrome_height(WM_FLOATING_MENU* menu) {
    return style_vertical_gaps(&menu->own_style) + menu->client_top() + menu->window_style.border_bottom_gap;
  }
};

TEST_F(FloatingMenuTest, AllEntriesFit) {
  WM_FLOATING_MENU* menu = new_menu();
  EXPECT_TRUE(menu->kind & WM_KIND_FLOATING_MENU);
  EXPECT_EQ(menu->grid->default_row_height, draw_target->default_font_y_size + 1);  // font + y spacing
  menu->add_entry("Short", nullptr, 0, 0, false);
  menu->add_entry("A much longer entry", nullptr, 0, 1, false);
  menu->add_entry("Mid entry", nullptr, 0, 2, false);
  EXPECT_EQ(menu->entry_count, 3);
  EXPECT_EQ(menu->first_visible, 0);
  EXPECT_EQ(menu->last_visible, 2);
  EXPECT_EQ(menu->up_arrow, nullptr);
  EXPECT_EQ(menu->down_arrow, nullptr);
  EXPECT_EQ(menu->width, entry_width(menu, "A much longer entry"));
  INT_S32 pitch = menu->grid->default_row_height;
  EXPECT_EQ(menu->height, chrome_height(menu) + 3 * pitch);
  EXPECT_EQ(menu->grid->width, menu->width - frame_of(menu));
  EXPECT_FALSE(menu->grid->overflows());
  // Entries alternate between the button style and the entry style; separators do not count.
  EXPECT_EQ(menu->get_entry(1)->event_user2, 1u);
  EXPECT_EQ(menu->get_entry(3), nullptr);
  EXPECT_EQ(menu->get_menu_entry(0), nullptr);
  // The dialog's pass asks the menu whether the focus is on one of its entries.
  EXPECT_FALSE(static_cast<WM_DIALOG*>(menu)->entry_focused());
  focus_object = menu->get_entry(1);
  EXPECT_TRUE(static_cast<WM_DIALOG*>(menu)->entry_focused());
  // The opener's least width wins when it is wider.
  menu->min_client_width = 400;
  menu->layout();
  EXPECT_EQ(menu->width, frame_of(menu) + 400);
  // Never wider than the work area, and inside it.
  menu->min_client_width = 900;
  menu->layout();
  EXPECT_EQ(menu->width, 640);
  EXPECT_EQ(menu->x, 0);
  delete menu;

  WM_FLOATING_MENU* titled = new_menu("A title far wider than its entries");
  titled->add_entry("x", nullptr, 0, 0, false);
  WM_STYLE_SET& t = titled->title_style;
  EXPECT_EQ(titled->width, titled->title->left_gap + titled->title->right_gap +
                               text_width(draw_target, t.font_id, t.font_x_sz, t.font_y_sz,
                                          "A title far wider than its entries", -1, false) +
                               titled->window_style.border_left_gap + titled->window_style.border_right_gap);
  delete titled;
}

TEST_F(FloatingMenuTest, ArrowsStandInForTheRowsOfALongList) {
  work_area_settings[1] = 0;
  work_area_settings[3] = 200;
  WM_FLOATING_MENU* menu = new_menu();
  fill(menu, 30);
  INT_S32 pitch = menu->grid->default_row_height;
  INT_S32 fitting = (200 - chrome_height(menu)) / pitch;
  EXPECT_EQ(menu->first_visible, 0);
  EXPECT_EQ(menu->last_visible, fitting - 1);
  EXPECT_EQ(menu->height, chrome_height(menu) + fitting * pitch);
  EXPECT_LE(menu->y + menu->height - 1, 200);  // held inside the work area
  // At the top: only the lower arrow, over the last visible row; its entry is still found by index.
  EXPECT_EQ(menu->displaced_top, nullptr);
  ASSERT_NE(menu->down_arrow, nullptr);
  EXPECT_EQ(menu->grid->cell(0, menu->last_visible), menu->down_arrow);
  EXPECT_STREQ(menu->down_arrow->label, "v");
  EXPECT_EQ(menu->get_entry(menu->last_visible)->event_user2, (INT_U32)(fitting - 1));

  // The lower arrow moves the list up by one row: the upper arrow now covers row 1.
  WM_FLOATING_MENU::on_arrow(menu->down_arrow, object_handle(menu), 0, 0);
  EXPECT_EQ(menu->first_visible, 1);
  EXPECT_EQ(menu->grid->scroll_offset(), pitch);
  ASSERT_NE(menu->up_arrow, nullptr);
  EXPECT_EQ(menu->grid->cell(0, 1), menu->up_arrow);
  EXPECT_STREQ(menu->up_arrow->label, "^");
  EXPECT_EQ(menu->get_entry(1)->event_user2, 1u);
  WM_FLOATING_MENU::on_arrow(menu->up_arrow, object_handle(menu), 1, 0);
  EXPECT_EQ(menu->grid->scroll_offset(), 0);
  EXPECT_EQ(menu->displaced_top, nullptr);
  EXPECT_EQ(menu->grid->cell(0, 0)->event_user2, 0u);  // the entry is back in its row
  EXPECT_EQ(WM_FLOATING_MENU::on_arrow(nullptr, 0, 1, 0), 0);  // no menu behind the handle: nothing
  delete menu;

  WM_STYLE_SET hidden_arrows;
  hidden_arrows.extended_flags = ssef_fm_hide_scrolling_arrows;
  WM_FLOATING_MENU* quiet = new WM_FLOATING_MENU(100, 50, nullptr, &window, nullptr, nullptr, nullptr, 0, 0, nullptr,
                                                 &hidden_arrows, &hidden_arrows, nullptr, nullptr);
  fill(quiet, 30);
  ASSERT_NE(quiet->down_arrow, nullptr);
  EXPECT_STREQ(quiet->down_arrow->label, "");
  delete quiet;
}

TEST_F(FloatingMenuTest, ClearedWithItsArrowsKeptAndFilledAgain) {
  work_area_settings[1] = 0;
  work_area_settings[3] = 200;
  WM_FLOATING_MENU* menu = new_menu();
  fill(menu, 30, {3});
  WM_FLOATING_MENU::on_arrow(menu->down_arrow, object_handle(menu), 0, 0);  // both arrows stand in rows
  WM_BUTTON* up = menu->up_arrow;
  WM_BUTTON* down = menu->down_arrow;
  ASSERT_NE(up, nullptr);
  ASSERT_NE(down, nullptr);
  menu->clear_entries();
  EXPECT_EQ(menu->entry_count, 0);
  EXPECT_EQ(menu->entry_serial, 0);
  EXPECT_EQ(menu->grid->row_count, 0);
  EXPECT_EQ(menu->displaced_top, nullptr);
  EXPECT_EQ(menu->displaced_bottom, nullptr);
  EXPECT_EQ(menu->up_arrow, up);  // kept for later, not deleted with the rows
  EXPECT_EQ(menu->down_arrow, down);
  EXPECT_EQ(menu->height, chrome_height(menu));
  fill(menu, 2);
  EXPECT_EQ(menu->entry_count, 2);
  EXPECT_EQ(menu->get_entry(1)->event_user2, 1u);
  EXPECT_STREQ(menu->get_entry(0)->label, "Entry 0");
  delete menu;
}

TEST_F(FloatingMenuTest, SeparatorsAtTheCutAndAtTheTop) {
  WM_FLOATING_MENU* probe = new_menu();
  INT_S32 pitch = probe->grid->default_row_height, chrome = chrome_height(probe);
  delete probe;
  // Four entries and a separator fit; the fifth entry does not, so the separator is no visible row.
  work_area_settings[1] = 0;
  work_area_settings[3] = (INT_S16)(chrome + 4 * pitch + 3 + pitch - 1);
  WM_FLOATING_MENU* menu = new_menu();
  fill(menu, 8, {4});
  ASSERT_EQ(menu->entry_count, 9);
  EXPECT_TRUE(menu->grid->cell(0, 4)->kind & WM_KIND_SCRIPT);
  EXPECT_EQ(menu->grid->rows[4]->height, 3);
  EXPECT_EQ(menu->last_visible, 3);
  EXPECT_EQ(menu->height, chrome + 4 * pitch);
  EXPECT_EQ(menu->get_entry(4), nullptr);  // a separator is no button entry

  // Scrolled so that the separator would be the first visible row: it is passed.
  PARAMETER& scroll = menu->grid->scroll_position;
  menu->restore_entries();
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.maximum) - 4 * pitch);
  menu->grid->sync_scroll();
  menu->layout();
  EXPECT_EQ(menu->first_visible, 5);
  EXPECT_EQ(menu->grid->scroll_offset(), 4 * pitch + 3);
  // The upper arrow from row 5: past the separator to entry 3 in one step.
  WM_FLOATING_MENU::on_arrow(menu->up_arrow, object_handle(menu), 1, 0);
  EXPECT_EQ(menu->grid->scroll_offset(), 3 * pitch);
  EXPECT_EQ(menu->first_visible, 3);
  delete menu;
}

TEST_F(FloatingMenuTest, RefusedEntriesAreNeitherCountedNorKept) {
  count_destroyed_objects();
  WM_FLOATING_MENU* menu = new_menu();
  menu->grid->maximum_rows = 2;
  fill(menu, 2);
  EXPECT_EQ(menu->add_entry("third", nullptr, 0, 0, false), nullptr);
  EXPECT_EQ(menu->add_submenu("more", false, true, nullptr, nullptr), nullptr);
  EXPECT_EQ(menu->entry_count, 2);
  EXPECT_EQ(menu->entry_serial, 2);
  EXPECT_GE(destroyed_objects, 2);  // both refused entries deleted
  EXPECT_EQ(menu->add_entry(nullptr, nullptr, 0, 0, false), nullptr);
  delete menu;
}

TEST_F(FloatingMenuTest, SubmenuEntries) {
  const COLOUR back = 0xFFC0C0C0, text = 0xFF000000;
  WM_MENU* button = new WM_MENU(10, 10, 109, 29, &back, &text, &back, &text, "File", 1, MENU_BELOW, nullptr);
  WM_FLOATING_MENU* menu = button->popup;
  menu->add_entry("Open", nullptr, 0, 0, false);
  WM_MENU* more = menu->add_submenu("More", true, true, nullptr, nullptr);
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(menu->entry_count, 3);  // entry, separator, sub-menu entry
  EXPECT_EQ(menu->entry_serial, 2);
  EXPECT_EQ(menu->get_menu_entry(2), more);
  EXPECT_EQ(menu->get_entry(2), more);  // a sub-menu entry is a button too
  EXPECT_EQ(more->holder, button);      // the menu button whose pop-up holds it
  EXPECT_EQ(more->direction, MENU_RIGHT);
  EXPECT_TRUE(more->button_flags & bf_right_arrow);
  EXPECT_EQ(more->click_behaviour, CLICK_AUTO_ACTIVATE);
  EXPECT_EQ(more->popup->min_client_width, menu->grid->width);
  EXPECT_FALSE(more->popup->visible);
  // A sub-menu of a floating menu without an opener names the floating menu itself.
  WM_FLOATING_MENU* alone = new_menu();
  WM_MENU* inner = alone->add_submenu("Inner", false, false, nullptr, nullptr);
  EXPECT_EQ(inner->holder, alone);
  delete alone;
  delete button;
}

}  // namespace
