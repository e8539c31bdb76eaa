// Tests of screen transitions: every code from 11 to 32 (and the fades 16 and 17 before a plain apply)
// ends on exactly the new page, on a clock that moves and on one that does not; the two-halves kinds
// give each half half the time and put the time back; the first page can come in from black.
#include <gtest/gtest.h>

#include "host.h"
#include "image.h"
#include "page_manager.h"
#include "transitions.h"
#include "wm_test_support.h"

namespace {

// A page filling the screen with the colour its user value names.
COLOUR page_colour = 0;
class FILL : public WM_SCREEN_OBJECT {
public:
  COLOUR fill;
  explicit FILL(COLOUR c) : WM_SCREEN_OBJECT(1, nullptr, 0, 0), fill(c) { width = 160, height = 120; }
  void draw() override { draw_target->fill_rectangle(0, 0, 159, 119, &fill, 0); }
};
void build_fill(WM_PAGE_MANAGER* manager) { manager->get_root()->add_child(new FILL(page_colour), false); }
WM_RESULT next_result = 0;
WM_RESULT per_pass() {
  WM_RESULT result = next_result;
  next_result = 0;
  return result;
}

bool screen_is(COLOUR colour) {
  for (INT_S16 y = 0; y < 120; y += 7)
    for (INT_S16 x = 0; x < 160; x += 7)
      if (screen_pixel(x, y) != colour) return false;
  return screen_pixel(159, 119) == colour;
}

TEST(Transitions, EveryCodeEndsOnExactlyTheNewPage) {
  for (INT_U32 step : {3u, 0u}) {  // a clock that moves 3 ms a read, and one that is frozen
    for (WM_RESULT code = 11; code <= 32; code++) {
      WM_TEST_SCREEN screen(160, 120, 1, 5000, step);
      transition_frame_limit = 50;
      page_colour = 0xFFFF0000;
      screen.manager->set_page(0, build_fill, nullptr, 0, per_pass, 0, 0, nullptr);
      run_pass();
      ASSERT_TRUE(screen_is(0xFFFF0000)) << code;
      page_colour = 0xFF0000FF;
      screen.manager->set_page(0, build_fill, nullptr, 0, per_pass, 0, 0, nullptr);
      next_result = code;
      EXPECT_EQ(run_pass(), code);
      EXPECT_TRUE(screen_is(0xFF0000FF)) << code << " step " << step;
      EXPECT_GE(transition_frames_drawn, 2u) << code;
      EXPECT_LE(transition_frames_drawn, 50u) << code;
      EXPECT_EQ(screen.manager->transition_ms, 700u);
      transition_frame_limit = 100000;
    }
  }
}

TEST(Transitions, HalvesTakeHalfTheTimeEach) {
  WM_TEST_SCREEN screen(160, 120, 1, 5000, 10);
  page_colour = 0xFFFF0000;
  screen.manager->set_page(0, build_fill, nullptr, 0, per_pass, 0, 0, nullptr);
  run_pass();
  page_colour = 0xFF00FF00;
  screen.manager->set_page(0, build_fill, nullptr, 0, per_pass, 0, 0, nullptr);
  INT_U32 before = get_tick_count();
  black_transition(screen.manager, 0);
  INT_U32 spent = get_tick_count() - before;
  // Two halves of 350 ms at 10 ms a read of the clock, and a few reads around them.
  EXPECT_GE(spent, 700u);
  EXPECT_LT(spent, 1200u);
  EXPECT_EQ(screen.manager->transition_ms, 700u);
  EXPECT_TRUE(screen_is(0xFF00FF00));
}

TEST(Transitions, FirstPageFromBlack) {
  WM_TEST_SCREEN screen(160, 120, 1, 5000, 5);
  screen.manager->first_page_from_black = 1;
  page_colour = 0xFF808080;
  screen.manager->set_page(0, build_fill, nullptr, 0, nullptr, 0, 0, nullptr);
  EXPECT_EQ(run_pass(), WM_RESULT_FADE_FROM_BLACK);
  EXPECT_TRUE(screen_is(0xFF808080));
  EXPECT_GE(transition_frames_drawn, 2u);
}

TEST(Transitions, AClockThatStepsBackEndsToo) {
  WM_TEST_SCREEN screen(160, 120, 1, 0xFFFFFF00u, 7);  // the counter wraps during the transition
  page_colour = 0xFFFF0000;
  screen.manager->set_page(0, build_fill, nullptr, 0, per_pass, 0, 0, nullptr);
  run_pass();
  page_colour = 0xFF00FFFF;
  screen.manager->set_page(0, build_fill, nullptr, 0, per_pass, 0, 0, nullptr);
  next_result = WM_RESULT_CROSS_FADE;
  run_pass();
  EXPECT_TRUE(screen_is(0xFF00FFFF));
  EXPECT_LT(transition_frames_drawn, 200u);
}

}  // namespace
