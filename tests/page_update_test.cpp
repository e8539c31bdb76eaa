// Tests of the page manager's pass: Tab, Shift+Tab and Ctrl+Tab focus moves with and without a dialog, the
// focus repair, result codes that rebuild pages or remove dialogs, the display-size watch, the simulated
// click, and moving a small object presenting only the rectangles it left and entered.
#include <gtest/gtest.h>

#include <vector>

#include "button.h"
#include "dialog.h"
#include "grid.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_image.h"
#include "wm_test_support.h"

namespace {

std::vector<WM_SCREEN_OBJECT*> page_objects;
int builds = 0;

WM_SCREEN_OBJECT* focusable_at(INT_S16 x, INT_S16 y) {
  WM_SCREEN_OBJECT* object = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  object->x = x, object->y = y, object->width = object->height = 10;
  object->focusable = 1;
  return object;
}

void three_focusable(WM_PAGE_MANAGER* manager) {
  builds++;
  page_objects.clear();
  for (INT_S16 i = 0; i < 3; i++) {
    page_objects.push_back(focusable_at((INT_S16)(20 * i), 0));
    manager->get_root()->add_child(page_objects.back(), false);
  }
}

WM_RESULT next_result = 0;
WM_RESULT per_pass() {
  WM_RESULT result = next_result;
  next_result = 0;
  return result;
}

TEST(PageUpdate, TabShiftTabAndCtrlTab) {
  WM_TEST_SCREEN screen(640, 480, 1);
  screen.manager->set_page(0, three_focusable, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  EXPECT_EQ(focus_object, page_objects[0]);  // the first focusable object takes the focus
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, page_objects[1]);
  key(VKEY_TAB);
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, page_objects[0]);  // wraps
  key(VKEY_TAB, VKEY_LSHIFT);
  EXPECT_EQ(focus_object, page_objects[2]);
  key(VKEY_TAB, VKEY_RSHIFT);
  EXPECT_EQ(focus_object, page_objects[1]);
  key(VKEY_TAB, VKEY_LCONTROL);  // one area: its first focusable object
  EXPECT_EQ(focus_object, page_objects[0]);
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);  // the Tab was taken

  // With a dialog open Tab cycles through the dialog's objects only, and Ctrl+Tab does nothing.
  WM_DIALOG_EFFECTS none = {0, 0, 0, 255};
  WM_DIALOG* dialog = new WM_DIALOG(300, 300, 100, 60, nullptr, nullptr, nullptr, nullptr, &none);
  WM_SCREEN_OBJECT* a = focusable_at(0, 0);
  WM_SCREEN_OBJECT* b = focusable_at(20, 0);
  dialog->add_child(a, true);
  dialog->add_child(b, true);
  screen.manager->get_root()->add_top_level(dialog, false);
  run_pass();  // the area's focus is not reached: the repair moves it into the dialog
  EXPECT_EQ(focus_object, a);
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, b);
  key(VKEY_TAB);
  EXPECT_EQ(focus_object, a);
  key(VKEY_TAB, VKEY_LCONTROL);
  EXPECT_EQ(focus_object, a);
  EXPECT_FALSE(screen.manager->focus_next_area());
}

void two_pages_area(WM_PAGE_MANAGER* manager) {
  WM_SCREEN_OBJECT* object = focusable_at((INT_S16)(manager->current_area_index * 100), 100);
  manager->get_root()->add_child(object, false);
}

TEST(PageUpdate, CtrlTabMovesBetweenAreas) {
  WM_TEST_SCREEN screen(640, 480, 2);
  screen.manager->set_page(0, two_pages_area, nullptr, 0, nullptr, 0, 0, nullptr);
  screen.manager->set_page(1, two_pages_area, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  ASSERT_NE(focus_object, nullptr);
  INT_S16 first_area = focus_object->area;
  // Ctrl+Tab starts with the focus object's own area, so it stays there.
  key(VKEY_TAB, VKEY_LCONTROL);
  EXPECT_EQ(focus_object->area, first_area);
  screen.manager->areas[first_area].root.hide(false, false);  // a hidden area is passed over
  key(VKEY_TAB, VKEY_LCONTROL);
  EXPECT_EQ(focus_object->area, 1 - first_area);
}

int focus_lost = 0;
void lost(WM_SCREEN_OBJECT*, INT_U32) { focus_lost++; }

void nothing_focusable(WM_PAGE_MANAGER*) {}

TEST(PageUpdate, FocusRepairDropsAnUnreachedFocus) {
  WM_TEST_SCREEN screen(640, 480, 1);
  screen.manager->set_page(0, nothing_focusable, nullptr, 0, per_pass, 0, 0, nullptr);
  run_pass();
  WM_SCREEN_OBJECT outsider(1, nullptr, 0, 0);  // focusable but in no area: input never reaches it
  outsider.focusable = 1;
  outsider.focus_callback = lost;
  outsider.take_focus();
  focus_lost = 0;
  next_result = WM_RESULT_KEEP_FOCUS;  // 1 keeps it for this pass
  run_pass();
  EXPECT_EQ(focus_object, &outsider);
  key(VKEY_TAB);  // nothing focusable anywhere: Tab changes nothing, the repair drops it
  EXPECT_EQ(focus_object, nullptr);
  EXPECT_EQ(focus_lost, 1);
}

void page_with_dialog(WM_PAGE_MANAGER* manager) {
  builds++;
  WM_DIALOG_EFFECTS none = {0, 0, 0, 255};
  manager->get_root()->add_top_level(new WM_DIALOG(10, 10, 50, 50, nullptr, nullptr, nullptr, nullptr, &none), false);
}

void hide_dialogs() {
  while (WM_SCREEN_OBJECT* shown = find_top_level(0)) shown->hide(false, false);
}

TEST(PageUpdate, ResultsThatRebuildOrRemove) {
  WM_TEST_SCREEN screen(640, 480, 1);
  builds = 0;
  screen.manager->set_page(0, page_with_dialog, nullptr, 0, per_pass, 0, 0, nullptr);
  run_pass();
  EXPECT_EQ(builds, 1);
  EXPECT_EQ(top_level_list()->count, 1);
  // 5 rebuilds and keeps the top-level objects; the dialog's pass time comes first, so per_pass only
  // runs with no dialog visible: hide it.
  hide_dialogs();
  next_result = WM_RESULT_REBUILD;
  EXPECT_EQ(run_pass(), 0);
  EXPECT_EQ(builds, 2);
  EXPECT_EQ(top_level_list()->count, 2);
  hide_dialogs();
  next_result = WM_RESULT_REBUILD_CLEAR;  // 7 removes them as well
  EXPECT_EQ(run_pass(), 0);
  EXPECT_EQ(builds, 3);
  EXPECT_EQ(top_level_list()->count, 1);
  hide_dialogs();
  next_result = WM_RESULT_REMOVE_TOP_LEVEL;
  EXPECT_EQ(run_pass(), 0);
  EXPECT_EQ(top_level_list()->count, 0);
  next_result = -1;  // the application's own codes are passed up
  EXPECT_EQ(run_pass(), -1);
}

TEST(PageUpdate, DisplaySizeChangeRebuildsInTheSamePass) {
  WM_TEST_SCREEN screen(640, 480, 1);
  builds = 0;
  screen.manager->set_page(0, three_focusable, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  EXPECT_EQ(builds, 1);
  test_seam_screen(800, 600);
  run_pass();
  EXPECT_EQ(builds, 2);
  EXPECT_EQ(screen.manager->display_width, 800);
  EXPECT_EQ(screen.manager->display_height, 600);
}

TEST(PageUpdate, SimulatedClickLeavesTheRealPointer) {
  WM_TEST_SCREEN screen(640, 480, 1);
  screen.manager->set_page(0, nothing_focusable, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  test_seam_pointer(7, 9);
  screen.manager->click_x = 100;
  screen.manager->click_y = 120;
  screen.manager->click_button_down = 1;
  run_pass();
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 7);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 9);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons & 1, 0u);
}

// A tap (press and release between two passes): the button sees the press in one pass and the click,
// where the tap was, in the next, even when the pointer has moved on meanwhile.
TEST(PageUpdate, ATapBetweenTwoPassesClicksTheButtonOnce) {
  WM_TEST_SCREEN screen(640, 480, 1);
  COLOUR grey = 0xFF808080, black = 0xFF000000;
  show_as_page({new WM_BUTTON(100, 100, 179, 129, &grey, &black, "Tap", CLICK_NORMAL, 0, 15, record_event_call, 4, 0, 1,
                              BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK)},
               2);
  event_calls.clear();
  event_answer = 0;
  test_seam_pointer(120, 110);
  run_pass();
  test_seam_button(1, true);
  test_seam_button(1, false);
  test_seam_pointer(400, 300);
  run_pass();
  EXPECT_EQ(event_calls.size(), 1u);  // the press
  run_passes(3);
  ASSERT_EQ(event_calls.size(), 2u);  // and the click, once
  EXPECT_EQ(event_calls[1].value, (int)CLICK_NORMAL);
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 400);
}

// A dialog on its way out takes no more input: a click on the page right after the answer that closed it
// reaches the page's button while the dialog still slides away.
TEST(PageUpdate, ADialogOnItsWayOutLeavesTheInputToThePage) {
  WM_TEST_SCREEN screen(640, 480, 1);
  COLOUR grey = 0xFF808080, black = 0xFF000000;
  show_as_page({new WM_BUTTON(100, 100, 179, 129, &grey, &black, "Page", CLICK_NORMAL, 0, 15, record_event_call, 4, 0, 1,
                              BUTTON_EVENT_CLICK)},
               2);
  WM_DIALOG* dialog = new WM_DIALOG(300, 300, 100, 80, nullptr, nullptr, nullptr, nullptr, nullptr);
  screen.manager->get_root()->add_top_level(dialog, false);
  settle_effects();
  event_calls.clear();
  event_answer = 0;
  click(120, 110);
  run_passes(2);
  EXPECT_TRUE(event_calls.empty());  // the dialog at rest is modal
  EXPECT_FALSE(dialog->leaving());
  dialog->close_with_effects(true, false);
  EXPECT_TRUE(dialog->leaving());
  click(120, 110);
  run_passes(4);  // passes in which the slide steps give no input
  EXPECT_TRUE(is_top_level(dialog));  // still sliding away
  EXPECT_EQ(event_calls.size(), 1u);
}

// Page-changing clicks: each click on "Next" builds the page again, "Stay" beside it stays.
int next_builds = 0;
WM_RESULT next_page(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) {
  next_builds++;
  return WM_RESULT_REBUILD_CLEAR;
}
void next_and_stay(WM_PAGE_MANAGER* manager) {
  COLOUR grey = 0xFF808080, black = 0xFF000000;
  manager->get_root()->add_child(new WM_BUTTON(100, 100, 179, 129, &grey, &black, "Next", CLICK_NORMAL, 0, 15, next_page,
                                               0, 0, 1, BUTTON_EVENT_CLICK),
                                 false);
  manager->get_root()->add_child(new WM_BUTTON(300, 100, 379, 129, &grey, &black, "Stay", CLICK_NORMAL, 0, 15,
                                               record_event_call, 4, 0, 1, BUTTON_EVENT_CLICK),
                                 false);
}

// The second click of a double click acts only on the object that took the first: on "Next", whose first
// click built the page anew, the second does nothing (one page on, not two); on "Stay", which stays,
// both act. A click after the double-click time, or a quick one elsewhere, acts.
TEST(PageUpdate, TheSecondClickOfADoubleClickActsOnlyOnTheObjectOfTheFirst) {
  WM_TEST_SCREEN screen(640, 480, 1);
  double_click_guard = 1;
  screen.manager->set_page(0, next_and_stay, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  next_builds = 0;
  event_calls.clear();
  event_answer = 0;
  auto double_click = [](INT_S16 x, INT_S16 y) {
    click(x, y);
    advance_ms(60);
    click(x, y);
    run_pass();
  };
  double_click(120, 110);
  EXPECT_EQ(next_builds, 1);
  advance_ms(query_double_click_time() + 1);
  click(120, 110);
  run_pass();
  EXPECT_EQ(next_builds, 2);
  advance_ms(60);
  click(320, 110);  // quick, but elsewhere
  EXPECT_EQ(event_calls.size(), 1u);
  advance_ms(1000);
  double_click(320, 110);
  EXPECT_EQ(event_calls.size(), 3u);
  EXPECT_EQ(next_builds, 2);
}

// Only a click pressed and released on its object is the first of a double click. A press on "Next"
// released on "Stay" clicks nothing, and a quick press on "Stay" there reaches it and clicks; a click on
// "Next" and the pointer out of the window and back to the same pixel before any pass saw it: a quick
// click there acts on the page built anew.
TEST(PageUpdate, APressAfterASlideOffOrALeaveOfTheWindowIsNoSecondClick) {
  WM_TEST_SCREEN screen(640, 480, 1);
  double_click_guard = 1;
  screen.manager->set_page(0, next_and_stay, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  next_builds = 0;
  event_calls.clear();
  event_answer = 0;
  press(120, 110);
  move_pointer(320, 110);
  release(320, 110);
  advance_ms(60);
  press(320, 110);
  WM_BUTTON* stay = (WM_BUTTON*)screen.manager->object_at(320, 110);
  ASSERT_NE(stay, nullptr);
  EXPECT_TRUE(stay->highlighted);
  release(320, 110);
  EXPECT_EQ(next_builds, 0);
  EXPECT_EQ(event_calls.size(), 1u);

  advance_ms(1000);
  click(120, 110);
  MOUSE_HANDLER::pointer_left();
  test_seam_pointer(120, 110);
  advance_ms(60);
  click(120, 110);
  EXPECT_EQ(next_builds, 2);

  // A quick double click on "Next" shown in slow passes (the page long in building) is one all the same:
  // the guard goes by the times of the presses and releases, not of the passes that show them.
  advance_ms(1000);
  move_pointer(120, 110);
  for (bool down : {true, false, true, false}) test_seam_button(1, down);
  for (int i = 0; i < 5; i++) {
    run_pass();
    advance_ms(query_double_click_time() + 1);
  }
  EXPECT_EQ(next_builds, 3);
}

// Paints itself in its colour (the moving object and the background).
class PAINTED : public WM_SCREEN_OBJECT {
public:
  PAINTED(INT_S16 x_, INT_S16 y_, INT_S16 w, INT_S16 h, COLOUR c) : WM_SCREEN_OBJECT(1, nullptr, 0, 0) {
    x = x_, y = y_, width = w, height = h, colour = c;
  }
  void draw() override { draw_target->fill_rectangle(x, y, (INT_S16)(x + width - 1), (INT_S16)(y + height - 1), &colour, 0); }
};

PAINTED* small_object = nullptr;
void background_and_small(WM_PAGE_MANAGER* manager) {
  manager->get_root()->add_child(new PAINTED(0, 0, 640, 480, 0xFF000080), false);
  small_object = new PAINTED(100, 100, 10, 10, 0xFFFF0000);
  manager->get_root()->add_child(small_object, false);
}

TEST(PageUpdate, MovingASmallObjectRedrawsOnlyWhereItWasAndIs) {
  WM_TEST_SCREEN screen(640, 480, 1);
  screen.manager->set_page(0, background_and_small, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
  screen_image.clear_dirty_area();
  run_pass();  // nothing changed: nothing drawn
  EXPECT_EQ(screen_image.dirty.x1, -1);
  small_object->move_to(300, 200);
  run_pass();
  // Two regions far apart: the dirty rectangle spans them, and only they were repainted.
  EXPECT_EQ(screen_image.dirty.x1, 100);
  EXPECT_EQ(screen_image.dirty.y1, 100);
  EXPECT_EQ(screen_image.dirty.x2, 309);
  EXPECT_EQ(screen_image.dirty.y2, 209);
  EXPECT_EQ(screen_pixel(105, 105), 0xFF000080u);
  EXPECT_EQ(screen_pixel(305, 205), 0xFFFF0000u);
  // A move of a few pixels is one region around both rectangles.
  screen_image.clear_dirty_area();
  small_object->move_to(303, 200);
  run_pass();
  EXPECT_EQ(screen_image.dirty.x1, 300);
  EXPECT_EQ(screen_image.dirty.x2, 312);
  EXPECT_EQ(screen_image.dirty.y1, 200);
  EXPECT_EQ(screen_image.dirty.y2, 209);
}

}  // namespace
