// Tests of floating menu input through the page manager's passes: the opening press kept from the entries,
// a release over an entry choosing it, releases over the title and outside, Escape and the hot key acting
// on release, Enter with and without a focused entry, navigation turned on by the first key, the page keys,
// type-ahead, a sub-menu closing the menus above it, and a focused entry that takes no pass keeping the
// focus.
#include <gtest/gtest.h>

#include <cstring>

#include "button.h"
#include "floating_menu.h"
#include "grid.h"
#include "grid_test_support.h"
#include "host.h"
#include "host_test_seam.h"
#include "menu.h"
#include "page_manager.h"
#include "redraw.h"
#include "script.h"
#include "wm_test_support.h"

namespace {

const COLOUR BACK = 0xFFC0C0C0, TEXT = 0xFF000000, HIGH = 0xFF0000FF, HIGH_TEXT = 0xFFFFFFFF;

int chosen_count = 0;
INT_U32 chosen_value = 0;
WM_RESULT on_chosen(WM_SCREEN_OBJECT*, INT_U32, INT_U32 user2, int) {
  chosen_count++;
  chosen_value = user2;
  return 0;
}

class FloatingMenuInputTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN screen{640, 480, 1};
  WM_MENU* menu = nullptr;
  void SetUp() override {
    load_test_font();
    chosen_count = 0;
    chosen_value = 0;
  }
  void TearDown() override { unload_test_font(); }
  // A menu button at (100, 100) - (199, 119) whose pop-up opens below with the given labels.
  void show_menu(std::initializer_list<const char*> labels) {
    menu = new WM_MENU(100, 100, 199, 119, &BACK, &TEXT, &HIGH, &HIGH_TEXT, "Menu", 1, MENU_BELOW, nullptr);
    INT_U32 value = 0;
    for (const char* label : labels) menu->popup->add_entry(label, on_chosen, 0, value++, false);
    show_as_page({menu}, 3);
  }
  WM_FLOATING_MENU* popup() { return menu->popup; }
  // The middle of entry i on the screen.
  INT_S16 entry_x(int i) { return (INT_S16)(popup()->get_entry((INT_S16)i)->x + 10); }
  INT_S16 entry_y(int i) {
    WM_BUTTON* entry = popup()->get_entry((INT_S16)i);
    return (INT_S16)(entry->y + entry->height / 2);
  }
  void open_menu() {
    click(150, 110);
    run_passes(2);
  }
  // The closing slide runs to its end.
  void settle() {
    run_pass();
    advance_ms(300);
    run_passes(3);
  }
  INT_S16 focused_row() {
    INT_S16 column = 0, row = -1;
    popup()->grid->find_focused_cell(&column, &row, true);
    return row;
  }
};

TEST_F(FloatingMenuInputTest, OpeningPressSwallowedAndAReleaseOverAnEntryChooses) {
  show_menu({"First", "Second", "Third"});
  press(150, 110);
  ASSERT_TRUE(is_top_level(popup()));
  move_pointer(entry_x(1), entry_y(1));  // dragged onto an entry while the opening press is held
  release(entry_x(1), entry_y(1));
  run_pass();
  EXPECT_EQ(chosen_count, 0);
  EXPECT_TRUE(popup()->visible);
  EXPECT_EQ(popup()->wait_release, 0);

  click(entry_x(2), entry_y(2));
  EXPECT_EQ(chosen_count, 1);
  EXPECT_EQ(chosen_value, 2u);
  EXPECT_FALSE(popup()->visible);  // hidden at once
  EXPECT_EQ(menu->highlighted, 0);
  run_pass();
  EXPECT_EQ(menu->popup_open, 0);
  EXPECT_FALSE(is_top_level(popup()));
}

TEST_F(FloatingMenuInputTest, ReleasesOverTheTitleAndOutside) {
  count_destroyed_objects();
  WM_STYLE_SET window;
  WM_FLOATING_MENU* owned = new WM_FLOATING_MENU(300, 100, "Title", &window, nullptr, nullptr, nullptr, 0, 0, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr);
  owned->add_entry("Only", on_chosen, 0, 7, false);
  show_as_page({new WM_SCREEN_OBJECT(1, nullptr, 0, 0)}, 3);
  screen.manager->get_root()->add_top_level(owned, false);
  settle();  // faded in
  ASSERT_EQ(owned->alpha, 255);
  click((INT_S16)(owned->title->x + 2), (INT_S16)(owned->title->y + 2));
  EXPECT_TRUE(owned->visible);
  EXPECT_EQ(owned->target_alpha, 255);
  int before = destroyed_objects;
  click(20, 400);  // outside: the owned menu fades out and is deleted
  EXPECT_EQ(owned->target_alpha, 0);
  settle();
  EXPECT_EQ(top_level_list()->count, 0);
  EXPECT_GT(destroyed_objects, before);
  EXPECT_EQ(chosen_count, 0);
}

TEST_F(FloatingMenuInputTest, EscapeAndTheHotKeyActOnRelease) {
  show_menu({"First", "Second"});
  open_menu();
  test_seam_key(VKEY_ESCAPE, true);
  run_pass();
  EXPECT_EQ(popup()->target_alpha, 255);  // not on the press
  test_seam_key(VKEY_ESCAPE, false);
  run_pass();
  EXPECT_EQ(popup()->closing, 0);  // a menu's pop-up is kept: it only slides out
  settle();
  EXPECT_FALSE(popup()->visible);
  EXPECT_EQ(menu->popup_open, 0);

  // The hot key opens the menu; held on, it does not close it; a second press and release does.
  menu->set_hot_key('M');
  test_seam_key('M', true);
  run_pass();
  ASSERT_TRUE(is_top_level(popup()));
  run_passes(3);
  EXPECT_TRUE(popup()->visible);
  test_seam_key('M', false);
  run_passes(2);
  EXPECT_TRUE(popup()->visible);
  EXPECT_EQ(popup()->hot_key_held, 0);
  key('M');
  settle();
  EXPECT_FALSE(popup()->visible);
}

TEST_F(FloatingMenuInputTest, NavigationAndEnter) {
  show_menu({"First", "Second", "Third"});
  open_menu();
  key(VKEY_DOWN);  // the first key only turns navigation on
  EXPECT_EQ(popup()->grid->keyboard_navigation, 1);
  EXPECT_TRUE(popup()->get_entry(0)->is_focusable());
  run_pass();  // the page manager's repair puts the focus on the first entry
  EXPECT_EQ(focused_row(), 0);
  key(VKEY_DOWN);
  EXPECT_EQ(focused_row(), 1);
  key(VKEY_RETURN);  // Enter chooses the focused entry
  EXPECT_EQ(chosen_count, 1);
  EXPECT_EQ(chosen_value, 1u);
  EXPECT_FALSE(popup()->visible);
  EXPECT_EQ(popup()->grid->keyboard_navigation, 0);  // hiding turns navigation off

  // Enter with nothing focused dismisses.
  run_pass();
  open_menu();
  EXPECT_EQ(focused_row(), -1);
  key(VKEY_RETURN);
  EXPECT_EQ(chosen_count, 1);
  EXPECT_EQ(popup()->target_alpha, 255);
  EXPECT_NE(popup()->y, popup()->slide_end_y);  // sliding out
  settle();
  EXPECT_FALSE(popup()->visible);
}

TEST_F(FloatingMenuInputTest, PageHomeAndEnd) {
  show_menu({"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "b0", "b1"});
  open_menu();
  key(VKEY_HOME);  // navigation on
  run_pass();
  ASSERT_EQ(focused_row(), 0);
  ASSERT_EQ(popup()->last_visible - popup()->first_visible, 11);
  key(VKEY_NEXT);
  EXPECT_EQ(focused_row(), 10);  // min(11, 0 - 1 + 11)
  key(VKEY_PRIOR);
  EXPECT_EQ(focused_row(), 0);  // max(0, 10 - 11)
  key(VKEY_END);
  EXPECT_EQ(focused_row(), 11);
  key(VKEY_NEXT);
  EXPECT_EQ(focused_row(), 11);
  key(VKEY_HOME);
  EXPECT_EQ(focused_row(), 0);
}

TEST_F(FloatingMenuInputTest, TypeAhead) {
  show_menu({"Apple", "Save", "Search", "Second", "sea", "Open"});
  open_menu();
  type_text("s");
  EXPECT_EQ(focused_row(), 1);
  EXPECT_EQ(popup()->grid->keyboard_navigation, 1);
  type_text("E");  // within 400 ms: "sE" from the row after the focused one
  EXPECT_EQ(focused_row(), 2);
  EXPECT_STREQ(popup()->type_text, "sE");
  advance_ms(401);
  type_text("o");  // after a pause: "o" alone
  EXPECT_EQ(focused_row(), 5);
  advance_ms(401);
  for (const char* c : {"s", "e", "c", "o", "n", "d"}) type_text(c);
  EXPECT_STREQ(popup()->type_text, "secon");  // a sixth quick character is dropped
  EXPECT_EQ(focused_row(), 3);
  type_text("x");  // nothing begins so: the focus stays
  EXPECT_EQ(focused_row(), 3);

  // Closed and opened again: an empty search text, navigation off, the opening press awaited.
  key(VKEY_ESCAPE);
  settle();
  open_menu();
  EXPECT_STREQ(popup()->type_text, "");
  EXPECT_EQ(popup()->grid->keyboard_navigation, 0);
}

TEST_F(FloatingMenuInputTest, SubmenuDismissedWithTheMenusAboveIt) {
  show_menu({"First"});
  WM_MENU* more = popup()->add_submenu("More", false, true, nullptr, nullptr);
  more->popup->add_entry("Inner", on_chosen, 0, 42, false);
  more->click_behaviour = CLICK_NORMAL;  // its pop-up stays open when the pointer leaves the entry
  open_menu();
  WM_MENU::on_press(more, object_handle(more), 0, 0);
  run_passes(2);
  ASSERT_TRUE(more->popup->visible);
  EXPECT_GT(more->popup->x, more->x + more->width / 2);  // opened to the right
  click(600, 450);  // outside both
  EXPECT_NE(more->popup->y, more->popup->slide_end_y);  // both slide out
  EXPECT_NE(popup()->y, popup()->slide_end_y);
  settle();  // one dialog's effects step per pass: the parent first, then the sub-menu
  settle();
  EXPECT_FALSE(more->popup->visible);
  EXPECT_FALSE(popup()->visible);
  EXPECT_EQ(menu->highlighted, 0);

  // Choosing in the sub-menu hides it and the menus above it at once.
  open_menu();
  WM_MENU::on_press(more, object_handle(more), 0, 0);
  run_passes(2);
  WM_BUTTON* inner = more->popup->get_entry(0);
  click((INT_S16)(inner->x + 5), (INT_S16)(inner->y + inner->height / 2));
  EXPECT_EQ(chosen_value, 42u);
  EXPECT_FALSE(more->popup->visible);
  EXPECT_FALSE(popup()->visible);
}

}  // namespace

TEST_F(FloatingMenuInputTest, ArrowsScrollUnderThePointerAndAClickOnOneChoosesNothing) {
  work_area_settings[1] = 0;
  work_area_settings[3] = 200;
  show_menu({"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "b0", "b1", "b2", "b3", "b4", "b5"});
  open_menu();
  settle_effects();
  WM_BUTTON* arrow = popup()->down_arrow;
  ASSERT_NE(arrow, nullptr);
  INT_S16 ax = (INT_S16)(arrow->x + 5), ay = (INT_S16)(arrow->y + arrow->height / 2);
  move_pointer(ax, ay);  // the pointer over the arrow scrolls by a row
  run_pass();
  EXPECT_EQ(popup()->first_visible, 1);
  ASSERT_EQ(popup()->grid->cell(0, popup()->last_visible), arrow);
  click(ax, ay);
  run_pass();
  EXPECT_TRUE(popup()->visible);
  EXPECT_EQ(chosen_count, 0);
  // A release over a row out of view (its object stands below the menu) dismisses the menu with its
  // slide instead of choosing that row.
  WM_SCREEN_OBJECT* below = popup()->grid->cell(0, (INT_S16)(popup()->grid->row_count - 1));
  ASSERT_GT(below->y, popup()->y + popup()->height);
  click((INT_S16)(below->x + 5), (INT_S16)(below->y + 2));
  EXPECT_TRUE(popup()->visible);  // sliding out, not hidden at once
  settle();
  EXPECT_FALSE(popup()->visible);
  EXPECT_EQ(chosen_count, 0);
  for (INT_S16& setting : work_area_settings) setting = -1;
}

TEST_F(FloatingMenuInputTest, AFocusedEntryThatTakesNoPassKeepsTheFocus) {
  show_menu({"First", "Second", "Third"});
  open_menu();
  key(VKEY_DOWN);  // navigation on; the next pass focuses the first entry
  run_pass();
  ASSERT_EQ(focused_row(), 0);
  // Hidden, the entry is left out of the passes: the menu itself holds the focus on its entry.
  popup()->get_entry(0)->visible = 0;
  run_passes(2);
  EXPECT_EQ(focused_row(), 0);
}
