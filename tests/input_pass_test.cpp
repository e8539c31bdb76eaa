// Tests of the input and update pass, driven through the page manager's update: the modal rule of the
// top-level list, press and release in the three click modes, Ctrl + Enter on the focus object, removal
// by result 4, the area filter, and the blink phase of the pass time.
#include <gtest/gtest.h>

#include <vector>

#include "host.h"
#include "host_test_seam.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_object.h"
#include "wm_test_support.h"

namespace {

struct CALL {
  WM_SCREEN_OBJECT* object;
  int phase;
};
std::vector<CALL> calls;

WM_RESULT record_click(WM_SCREEN_OBJECT* object, INT_U32, INT_U32, int phase) {
  calls.push_back({object, phase});
  return 0;
}

WM_SCREEN_OBJECT* clickable(INT_S16 x, INT_S16 y, INT_S16 w, INT_S16 h, INT_U32 mode) {
  WM_SCREEN_OBJECT* object = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  object->x = x, object->y = y, object->width = w, object->height = h;
  object->click_callback = record_click;
  object->click_mode = mode;
  return object;
}

// The base pass takes the press from the right button (held-button bit 0x2).
const INT_S16 RIGHT = 2;

void build_nothing(WM_PAGE_MANAGER*) {}

// A page manager whose area shows an (empty) page, so passes process input.
void start_page(WM_TEST_SCREEN& screen) {
  screen.manager->set_page(0, build_nothing, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
}

TEST(InputPass, ClickModes) {
  struct CASE {
    INT_U32 mode;
    std::vector<int> at_press, at_release;
  } cases[] = {{0, {0}, {}}, {1, {}, {0}}, {2, {0}, {1}}};
  for (const CASE& c : cases) {
    WM_TEST_SCREEN screen(640, 480, 1);
    start_page(screen);
    WM_SCREEN_OBJECT* object = clickable(10, 10, 20, 20, c.mode);
    screen.manager->get_root()->add_child(object, false);
    calls.clear();
    press(15, 15, RIGHT);
    std::vector<int> phases;
    for (const CALL& call : calls) phases.push_back(call.phase);
    EXPECT_EQ(phases, c.at_press) << c.mode;
    EXPECT_EQ(pressed_object, object);
    calls.clear();
    release(15, 15, RIGHT);
    phases.clear();
    for (const CALL& call : calls) phases.push_back(call.phase);
    EXPECT_EQ(phases, c.at_release) << c.mode;
    EXPECT_EQ(pressed_object, nullptr);
  }
}

TEST(InputPass, ReleaseOutsideGivesNoCallbackAndTheLeftButtonIsLeftToWidgets) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_SCREEN_OBJECT* object = clickable(10, 10, 20, 20, 2);
  WM_SCREEN_OBJECT* other = clickable(100, 10, 20, 20, 2);
  screen.manager->get_root()->add_child(object, false);
  screen.manager->get_root()->add_child(other, false);
  calls.clear();
  press(15, 15, RIGHT);
  move_pointer(200, 200);
  press(105, 15, RIGHT);  // still held: the press belongs to the first object
  release(200, 200, RIGHT);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(pressed_object, nullptr);
  click(105, 15, RIGHT);  // a new press elsewhere works again
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].object, other);
  calls.clear();
  click(15, 15, MOUSE_LEFT);
  EXPECT_TRUE(calls.empty());
}

TEST(InputPass, CtrlEnterPressesTheFocusObjectAtItsCentre) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_SCREEN_OBJECT* object = clickable(10, 10, 20, 20, 2);
  object->focusable = 1;
  screen.manager->get_root()->add_child(object, false);
  object->take_focus();
  calls.clear();
  test_seam_pointer(500, 400);  // far away: the centre counts
  test_seam_key(VKEY_LCONTROL, true);
  test_seam_key(VKEY_RETURN, true);
  run_pass();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].phase, 0);
  test_seam_key(VKEY_RETURN, false);  // Ctrl still held
  run_pass();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].phase, 1);
  test_seam_key(VKEY_LCONTROL, false);
  test_seam_key(VKEY_RETURN, true);  // Enter alone does nothing here
  run_pass();
  EXPECT_EQ(calls.size(), 2u);
}

// A top-level object that answers 4 on its first pass.
class SELF_REMOVING : public WM_SCREEN_OBJECT {
public:
  static int deleted;
  SELF_REMOVING() : WM_SCREEN_OBJECT(1, nullptr, 0, 0) { width = height = 10; }
  ~SELF_REMOVING() override { deleted++; }
  WM_RESULT process() override { return WM_RESULT_REMOVE; }
};
int SELF_REMOVING::deleted = 0;

TEST(InputPass, ModalRuleAndRemovalByFour) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_SCREEN_OBJECT* under = clickable(10, 10, 20, 20, 2);
  screen.manager->get_root()->add_child(under, false);
  WM_SCREEN_OBJECT* dialog = clickable(300, 300, 20, 20, 2);
  screen.manager->get_root()->add_top_level(dialog, false);
  calls.clear();
  click(15, 15, RIGHT);  // the area gets nothing while a top-level object is visible
  EXPECT_TRUE(calls.empty());
  click(305, 305, RIGHT);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].object, dialog);
  dialog->hide(false, false);  // hidden: input goes back to the area
  calls.clear();
  click(15, 15, RIGHT);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].object, under);

  SELF_REMOVING::deleted = 0;
  screen.manager->get_root()->add_top_level(new SELF_REMOVING(), false);
  EXPECT_EQ(screen.manager->get_root()->process(), 0);
  EXPECT_EQ(SELF_REMOVING::deleted, 1);
  EXPECT_FALSE(find_top_level(0));
}

TEST(InputPass, AreaFilterLeavesOutChildrenOutsideTheArea) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_SCREEN_OBJECT* root = screen.manager->get_root();
  root->resize(100, 100, false);
  WM_SCREEN_OBJECT* touching = clickable(100, 100, 10, 10, 0);  // touches the root's edge
  WM_SCREEN_OBJECT* outside = clickable(102, 50, 10, 10, 0);
  root->add_child(touching, false);
  root->add_child(outside, false);
  calls.clear();
  press(105, 105, RIGHT);
  release(105, 105, RIGHT);
  press(106, 55, RIGHT);
  release(106, 55, RIGHT);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].object, touching);
}

TEST(InputPass, BlinkPhaseOfThePassTime) {
  struct CASE {
    INT_U32 t;
    INT_U8 phase;
  } cases[] = {{0, 0x00}, {1000, 0x10}, {1050, 0x11}, {4000, 0x40}, {8125, 0x82}, {50, 0x01}};
  for (const CASE& c : cases) EXPECT_EQ(blink_phase_of(c.t), c.phase) << c.t;

  WM_TEST_SCREEN screen(640, 480, 1, 1050);
  run_pass();
  EXPECT_EQ(pass_time, 1050u);
  EXPECT_EQ(blink_phase, 0x11);
  EXPECT_EQ(outermost_update, 1);
}

}  // namespace
