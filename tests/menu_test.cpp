// Tests of menu buttons: the pop-up placed on each side and flipped against the work area, moves and
// resizes that change nothing, opening and closing through the page manager's passes, the group ring with
// its hand-over of an open pop-up, and destroying a menu whose pop-up is open.
#include <gtest/gtest.h>

#include "floating_menu.h"
#include "grid.h"
#include "grid_test_support.h"
#include "host.h"
#include "host_test_seam.h"
#include "menu.h"
#include "page_manager.h"
#include "redraw.h"
#include "wm_test_support.h"

namespace {

const COLOUR BACK = 0xFFC0C0C0, TEXT = 0xFF000000, HIGH = 0xFF0000FF, HIGH_TEXT = 0xFFFFFFFF;

WM_MENU* new_menu(INT_S16 x, INT_S16 y, INT_S32 direction, int entries) {
  WM_MENU* menu = new WM_MENU(x, y, (INT_S16)(x + 99), (INT_S16)(y + 19), &BACK, &TEXT, &HIGH, &HIGH_TEXT, "Menu", 1,
                              direction, nullptr);
  for (int i = 0; i < entries; i++) menu->popup->add_entry("Entry", nullptr, 0, 0, false);
  menu->place_popup();
  return menu;
}

class MenuTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN screen{640, 480, 1};
  void SetUp() override { load_test_font(); }
  void TearDown() override {
    for (INT_S16& setting : work_area_settings) setting = -1;
    unload_test_font();
  }
};

TEST_F(MenuTest, PopupFlipsAgainstTheWorkArea) {
  struct {
    INT_S16 x, y;
    INT_S32 direction, expected;
    INT_S16 work_top, work_bottom, work_left, work_right;
  } cases[] = {
      {10, 200, MENU_BELOW, MENU_BELOW, -1, -1, -1, -1},   // fits below
      {10, 440, MENU_BELOW, MENU_ABOVE, -1, -1, -1, -1},   // not below, fits above
      {10, 30, MENU_ABOVE, MENU_BELOW, -1, -1, -1, -1},    // not above, fits below
      {10, 40, MENU_BELOW, MENU_BELOW, 0, 100, -1, -1},    // fits on neither side: stays below
      {10, 200, MENU_LEFT, MENU_RIGHT, -1, -1, -1, -1},    // not left of x 10, fits right
      {300, 200, MENU_LEFT, MENU_LEFT, -1, -1, 250, 420},  // fits on neither side: stays left
      {560, 200, MENU_RIGHT, MENU_LEFT, -1, -1, -1, -1},   // not right, fits left
  };
  for (const auto& c : cases) {
    work_area_settings[0] = c.work_left;
    work_area_settings[1] = c.work_top;
    work_area_settings[2] = c.work_right;
    work_area_settings[3] = c.work_bottom;
    WM_MENU* menu = new_menu(c.x, c.y, c.direction, 3);
    SCOPED_TRACE(testing::Message() << "menu at " << c.x << ", " << c.y << " direction " << c.direction);
    EXPECT_EQ(menu->direction, c.expected);
    WM_FLOATING_MENU* popup = menu->popup;
    EXPECT_EQ(popup->entry_count, 3);
    if (c.expected == MENU_BELOW && c.work_bottom == -1) { EXPECT_EQ(popup->y, c.y + 20); }
    if (c.expected == MENU_ABOVE) { EXPECT_EQ(popup->y, c.y - popup->height); }
    if (c.expected == MENU_RIGHT) { EXPECT_EQ(popup->x, c.x + 100); }
    if (c.expected == MENU_LEFT && c.work_left == -1) { EXPECT_EQ(popup->x, c.x - popup->width); }
    delete menu;
  }
}

TEST_F(MenuTest, PopupAtLeastAsWideAsTheButtonAndUnchangedMovesAndSizes) {
  WM_MENU* menu = new_menu(100, 100, MENU_BELOW, 2);
  EXPECT_GE(menu->popup->width, 100);
  EXPECT_EQ(menu->popup->x, 100);
  // The same position or size again does not place the pop-up again.
  menu->popup->move_to(5, 5);
  menu->move_to(100, 100);
  menu->resize(100, 20, false);
  EXPECT_EQ(menu->popup->x, 5);
  menu->move_to(120, 100);
  EXPECT_EQ(menu->popup->x, 120);
  EXPECT_EQ(menu->popup->y, 120);
  menu->resize(300, 20, false);
  EXPECT_GE(menu->popup->width, 300);
  menu->set_hot_key('M');
  EXPECT_EQ(menu->popup->hot_key, 'M');
  EXPECT_TRUE(menu->kind & WM_KIND_MENU);
  EXPECT_TRUE(menu->kind & WM_KIND_BUTTON);
  EXPECT_EQ(menu->popup->owner, menu);
  EXPECT_EQ(menu->popup->not_owned, 1);
  delete menu;
}

TEST_F(MenuTest, PressOpensAndClosesThePopup) {
  WM_MENU* menu = new_menu(100, 100, MENU_BELOW, 3);
  show_as_page({menu}, 3);
  WM_FLOATING_MENU* popup = menu->popup;
  EXPECT_FALSE(is_top_level(popup));
  press(150, 110);
  EXPECT_TRUE(is_top_level(popup));
  EXPECT_EQ(menu->popup_open, 1);
  release(150, 110);
  run_passes(3);
  EXPECT_TRUE(popup->visible);  // the opening press, released over the button, does not close it
  key(VKEY_DOWN);               // turns navigation on
  EXPECT_EQ(popup->grid->keyboard_navigation, 1);
  // A second press and release on the button: outside the pop-up, which closes with its slide.
  click(150, 110);
  run_pass();  // the slide starts at this pass's time
  advance_ms(300);
  run_passes(3);
  EXPECT_FALSE(popup->visible);
  EXPECT_FALSE(is_top_level(popup));
  EXPECT_EQ(menu->popup_open, 0);
  // Open again: the entries start released, navigation off.
  popup->get_entry(1)->highlighted = 1;
  press(150, 110);
  EXPECT_TRUE(is_top_level(popup));
  EXPECT_EQ(popup->get_entry(1)->highlighted, 0);
  EXPECT_EQ(popup->grid->keyboard_navigation, 0);
  EXPECT_EQ(popup->wait_release, 1);
  release(150, 110);
}

TEST_F(MenuTest, GroupRing) {
  WM_MENU* a = new_menu(0, 0, MENU_BELOW, 1);
  WM_MENU* b = new_menu(100, 0, MENU_BELOW, 1);
  WM_MENU* c = new_menu(200, 0, MENU_BELOW, 1);
  EXPECT_EQ(a->find_in_group(5, 5), nullptr);  // alone: in no group
  b->join_group(a);
  EXPECT_EQ(a->next_in_group, b);
  EXPECT_EQ(a->previous_in_group, b);
  EXPECT_EQ(b->next_in_group, a);
  c->join_group(a);  // inserted before a
  EXPECT_EQ(b->next_in_group, c);
  EXPECT_EQ(c->next_in_group, a);
  EXPECT_EQ(a->previous_in_group, c);
  EXPECT_EQ(a->find_in_group(205, 5), c);
  EXPECT_EQ(a->find_in_group(5, 5), a);
  EXPECT_EQ(a->find_in_group(500, 5), nullptr);
  delete c;  // leaves the ring of three
  EXPECT_EQ(b->next_in_group, a);
  EXPECT_EQ(a->previous_in_group, b);
  b->leave_group();  // a group of two: the other is left alone, both links null
  EXPECT_EQ(a->next_in_group, nullptr);
  EXPECT_EQ(a->previous_in_group, nullptr);
  b->join_group(a);
  delete a;
  EXPECT_EQ(b->next_in_group, nullptr);
  EXPECT_EQ(b->previous_in_group, nullptr);
  delete b;
}

// Two menus of a group side by side on one page.
WM_MENU* bar_menus[2];
void build_bar(WM_PAGE_MANAGER* manager) {
  for (int i = 0; i < 2; i++) {
    bar_menus[i] = new_menu((INT_S16)(10 + 110 * i), 10, MENU_BELOW, 2);
    manager->get_root()->add_child(bar_menus[i], false);
  }
  bar_menus[1]->join_group(bar_menus[0]);
}

TEST_F(MenuTest, OpenPopupHandedOverInTheGroup) {
  screen.manager->set_page(0, build_bar, nullptr, 0, nullptr, 0, 0, nullptr);
  run_passes(3);
  WM_MENU* first = bar_menus[0];
  WM_MENU* second = bar_menus[1];
  click(50, 20);
  advance_ms(500);
  run_passes(3);
  ASSERT_TRUE(first->popup->visible);
  ASSERT_TRUE(first->popup->at_rest());
  // A disabled member takes nothing over.
  second->enabled = 0;
  move_pointer(160, 20);
  EXPECT_TRUE(first->popup->visible);
  EXPECT_EQ(second->popup_open, 0);
  second->enabled = 1;
  move_pointer(161, 20);
  EXPECT_EQ(second->popup_open, 1);
  EXPECT_TRUE(second->popup->visible);
  EXPECT_TRUE(is_top_level(second->popup));
  EXPECT_EQ(second->highlighted, 1);
  EXPECT_FALSE(first->popup->visible);  // closed at once
  // The first menu takes its hidden pop-up off the list at its next input pass, once the second's
  // pop-up no longer takes all the input.
  EXPECT_EQ(first->popup_open, 1);
  key(VKEY_ESCAPE);
  run_pass();
  advance_ms(300);
  run_passes(3);
  EXPECT_FALSE(second->popup->visible);
  EXPECT_EQ(first->popup_open, 0);
  EXPECT_FALSE(is_top_level(first->popup));
  // A lone menu never hands over.
  second->leave_group();
  click(50, 20);
  advance_ms(500);
  run_passes(3);
  move_pointer(161, 20);
  EXPECT_TRUE(first->popup->visible);
  EXPECT_EQ(second->popup_open, 0);
}

TEST_F(MenuTest, DestroyedWithItsPopupOpen) {
  WM_MENU* menu = new_menu(100, 100, MENU_BELOW, 2);
  show_as_page({menu}, 3);
  press(150, 110);
  release(150, 110);
  ASSERT_TRUE(is_top_level(menu->popup));
  count_destroyed_objects();
  screen.manager->get_root()->remove_child(menu, true, false);
  EXPECT_EQ(top_level_list()->count, 0);
  EXPECT_GE(destroyed_objects, 3);  // the menu, its pop-up and their parts, each once
  run_passes(2);
}

}  // namespace
