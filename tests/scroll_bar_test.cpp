// Tests of scroll bars: geometry of every type (travel, reference, slider position) with the clamps for
// bars too short and ranges that are empty or 32 bits wide, the once-per-run warnings and the fatal
// errors, then input through the page manager's passes: the held track's repeat, dragging with its grab
// offset and snapping, the wheel target, keys, reports of outside changes; and drawing with and
// without state frames.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "border.h"
#include "errors.h"
#include "folder.h"
#include "host.h"
#include "host_test_seam.h"
#include "image_cache.h"
#include "page_manager.h"
#include "parameter.h"
#include "screen_image.h"
#include "scroll_bar.h"
#include "style_set.h"
#include "test_support.h"
#include "wm_test_support.h"

namespace {

// An s32 parameter lo .. hi holding v.
struct SLEW {
  PARAMETER parameter;
  SLEW(INT_S32 lo, INT_S32 hi, INT_S32 v) {
    parameter.minimum.s32 = lo;
    parameter.maximum.s32 = hi;
    parameter.value.s32 = v;
  }
  INT_S32 value() { return parameter.value.s32; }
  void set(INT_S32 v) { parameter.set_int(&parameter.value, v); }
};

int reports = 0;
int last_report_value = -1;
WM_RESULT count_report(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int value) {
  reports++;
  last_report_value = value;
  return 0;
}

WM_SCROLLBAR* make_bar(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 slider, INT_S16 button, SLEW* slew,
                       INT_U32 type) {
  COLOUR track = 0xFF404040, knob = 0xFF00C000, face = 0xFF0000C0, arrow = 0xFFFFFFFF;
  return new WM_SCROLLBAR(x1, y1, x2, y2, slider, button, &slew->parameter, type, 0, &track, &knob, &face, &arrow, 1,
                          count_report, 0, 0);
}

// A headless screen whose current page holds the objects added to its root.
struct BAR_SCREEN {
  WM_TEST_SCREEN screen;
  BAR_SCREEN() : screen(640, 480, 1) {
    start_empty_page();
    reports = 0;
    last_report_value = -1;
  }
  void add(WM_SCREEN_OBJECT* object) { add_to_page(object); }
};

// ---------------------------------------------------------------------------------------------------
// Geometry

TEST(ScrollBarGeometry, TravelReferenceAndSliderByType) {
  WM_TEST_SCREEN screen(640, 480, 0);
  struct CASE {
    INT_S16 x1, y1, x2, y2, slider, button;
    INT_U32 type;
    INT_S32 lo, hi, v;
    INT_S16 x, y, width, height;
    INT_S32 travel, reference, position;
  } cases[] = {
      // 100 x 15, slider 10, 0..90 at 45: T 90, R = x + 10, P = x + 55 (slider x + 45 .. x + 54).
      {20, 30, 119, 44, 10, 0, SCROLLBAR_HORIZONTAL, 0, 90, 45, 20, 30, 100, 15, 90, 30, 75},
      {20, 30, 119, 44, 10, 0, SCROLLBAR_HORIZONTAL, 0, 90, 0, 20, 30, 100, 15, 90, 30, 30},
      {20, 30, 119, 44, 10, 12, SCROLLBAR_HORIZONTAL_BUTTONS, 0, 90, 90, 20, 30, 100, 15, 66, 42, 108},
      // Vertical: the maximum at the top, directly below the upper button; the minimum directly above
      // the lower one (bottom row 10 + 200 - 15 - 1).
      {10, 10, 24, 209, 20, 15, SCROLLBAR_VERTICAL_BUTTONS, 0, 100, 100, 10, 10, 15, 200, 150, 25, 25},
      {10, 10, 24, 209, 20, 15, SCROLLBAR_VERTICAL_BUTTONS, 0, 100, 0, 10, 10, 15, 200, 150, 25, 175},
      {10, 10, 24, 209, 20, 0, SCROLLBAR_VERTICAL, -50, 50, 0, 10, 10, 15, 200, 180, 10, 100},
      // Corners in either order.
      {50, 20, 10, 10, 6, 0, SCROLLBAR_HORIZONTAL, 0, 10, 0, 10, 10, 41, 11, 35, 16, 16},
      // Too short for buttons and slider: travel 0, the slider stays at the start.
      {0, 0, 29, 14, 20, 10, SCROLLBAR_HORIZONTAL_BUTTONS, 0, 10, 7, 0, 0, 30, 15, 0, 30, 30},
      {0, 0, 14, 29, 40, 0, SCROLLBAR_VERTICAL, 0, 10, 3, 0, 0, 15, 30, 0, 0, 0},
      // The whole 32-bit range needs 64-bit products.
      {20, 30, 119, 44, 10, 0, SCROLLBAR_HORIZONTAL, INT_MIN, INT_MAX, 0, 20, 30, 100, 15, 90, 30, 75},
      {20, 30, 119, 44, 10, 0, SCROLLBAR_HORIZONTAL, INT_MIN, INT_MAX, INT_MAX, 20, 30, 100, 15, 90, 30, 120},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " at " << c.x1 << ", " << c.y1 << " value " << c.v);
    SLEW slew(c.lo, c.hi, c.v);
    WM_SCROLLBAR* bar = make_bar(c.x1, c.y1, c.x2, c.y2, c.slider, c.button, &slew, c.type);
    EXPECT_EQ(bar->x, c.x);
    EXPECT_EQ(bar->y, c.y);
    EXPECT_EQ(bar->width, c.width);
    EXPECT_EQ(bar->height, c.height);
    EXPECT_EQ(bar->travel, c.travel);
    EXPECT_EQ(bar->reference_position, c.reference);
    EXPECT_EQ(bar->slider_position(), c.position);
    EXPECT_EQ(bar->reported_value, c.v);
    EXPECT_EQ(bar->kind & WM_KIND_SCROLLBAR, (INT_U32)WM_KIND_SCROLLBAR);
    delete bar;
  }
}

TEST(ScrollBarGeometry, TrackLengthLayoutAfterChangesAndEmptyRange) {
  WM_TEST_SCREEN screen(640, 480, 0);
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 12, &slew, SCROLLBAR_HORIZONTAL_BUTTONS);
  EXPECT_EQ(bar->track_length(), 76);
  bar->slider_length = 30;
  bar->layout();
  EXPECT_EQ(bar->travel, 46);
  bar->move_to(0, 0);
  EXPECT_EQ(bar->reference_position, 42);
  bar->resize(200, 15, false);
  EXPECT_EQ(bar->travel, 146);
  // A range emptied after construction and a slider longer than the bar draw the slider at its start.
  slew.parameter.minimum.s32 = 45;
  slew.parameter.maximum.s32 = 45;
  EXPECT_EQ(bar->slider_position(), bar->reference_position);
  slew.parameter.minimum.s32 = 0;
  slew.parameter.maximum.s32 = 90;
  bar->slider_length = 400;
  bar->layout();
  EXPECT_EQ(bar->travel, 0);
  EXPECT_EQ(bar->slider_position(), bar->reference_position);
  // The whole 32-bit range: the products stay exact, the ends land on the track's ends.
  bar->slider_length = 30;
  bar->layout();
  slew.parameter.minimum.s32 = INT32_MIN;
  slew.parameter.maximum.s32 = INT32_MAX;
  for (auto [value, offset] : {std::pair<INT_S32, INT_S32>{INT32_MIN, 0}, {-1, 72}, {INT32_MAX, 146}}) {
    slew.parameter.value.s32 = value;
    EXPECT_EQ(bar->slider_position(), bar->reference_position + offset) << value;
  }
  delete bar;
}

// ---------------------------------------------------------------------------------------------------
// Warnings and fatal errors

std::vector<std::string> boxes;
void record_box(const char*, const char* text) { boxes.push_back(text); }

TEST(ScrollBarFailures, WarningsCorrectTheSizesAndOpenOnceEach) {
  WM_TEST_SCREEN screen(640, 480, 0);
  boxes.clear();
  scrollbar_warnings_shown = 0;
  set_message_box_hook(record_box);
  SLEW slew(0, 10, 0);
  for (int i = 0; i < 3; i++) {
    WM_SCROLLBAR* bar = make_bar(5, 5, 8, 7, 3, 0, &slew, SCROLLBAR_VERTICAL);
    EXPECT_EQ(bar->slider_length, 6);
    EXPECT_EQ(bar->width, 11);
    EXPECT_EQ(bar->height, 11);
    delete bar;
  }
  set_message_box_hook(nullptr);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "WARNING: 0020:\nScrollbar dimentions are invalid ");
  EXPECT_EQ(boxes[1], "WARNING: 0021:\nSlider bar width is invalid ");
  scrollbar_warnings_shown = 0;
}

TEST(ScrollBarFailuresDeathTest, ProgrammingErrorsEndTheProgram) {
  struct CASE {
    INT_U32 type;
    INT_U32 parameter_type;
    INT_S32 lo, hi;
    bool null_slew;
    const char* message;
  } cases[] = {
      {SCROLLBAR_VERTICAL, INT_S32_TYPE, 0, 10, true, "0072"},
      {SCROLLBAR_VERTICAL, POINTER_TYPE, 0, 10, false, "0073"},
      {SCROLLBAR_VERTICAL, INT_S32_TYPE, 5, 5, false, "0070"},
      {SCROLLBAR_VERTICAL, INT_S32_TYPE, 6, 5, false, "0070"},
      {7, INT_S32_TYPE, 0, 10, false, "0074"},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EXIT(
        {
          test_seam_screen(100, 100);
          PARAMETER parameter;
          parameter.set_type(c.parameter_type);
          parameter.set_int(&parameter.maximum, c.hi);
          parameter.set_int(&parameter.minimum, c.lo);
          COLOUR grey = 0xFF808080;
          new WM_SCROLLBAR(0, 0, 20, 20, 8, 0, c.null_slew ? nullptr : &parameter, c.type, 0, &grey, &grey, &grey,
                           &grey, 1, nullptr, 0, 0);
        },
        testing::ExitedWithCode(FATAL_EXIT_STATUS), c.message);
  }
}

// A parameter of another integer type is driven through its own range.
TEST(ScrollBarFailures, SmallParametersAreAccepted) {
  BAR_SCREEN page;
  PARAMETER small;
  small.set_type(INT_U8_TYPE);
  small.set_int(&small.maximum, 200);
  small.set_int(&small.value, 199);
  COLOUR grey = 0xFF808080;
  WM_SCROLLBAR* bar =
      new WM_SCROLLBAR(10, 10, 24, 109, 10, 0, &small, SCROLLBAR_VERTICAL, 0, &grey, &grey, &grey, &grey, 1, nullptr, 0, 0);
  page.add(bar);
  bar->wheel_step = 5;
  test_seam_wheel(1);
  run_pass();
  EXPECT_EQ(small.value.u8, 200);  // clamped by the parameter
}

// ---------------------------------------------------------------------------------------------------
// Input through the page manager's passes

TEST(ScrollBarInput, HeldTrackRepeatsAfter500ThenEvery60Ms) {
  BAR_SCREEN page;
  SLEW slew(0, 100, 50);
  WM_SCROLLBAR* bar = make_bar(100, 50, 114, 249, 10, 0, &slew, SCROLLBAR_VERTICAL);
  bar->page_amount = 10;
  page.add(bar);
  EXPECT_EQ(bar->slider_position(), 145);
  press(107, 55);  // above the slider: a page towards the maximum at once
  EXPECT_EQ(slew.value(), 60);
  EXPECT_EQ(bar->repeat_action, (INT_U32)SCROLLBAR_PAGE_FORWARD);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(last_report_value, 0);
  struct STEP {
    INT_U32 advance;
    INT_S32 value;
  } steps[] = {{500, 60}, {1, 70}, {60, 70}, {1, 80}};
  for (const STEP& step : steps) {
    advance_ms(step.advance);
    run_pass();
    EXPECT_EQ(slew.value(), step.value) << "after " << step.advance << " ms more";
  }
  // Leaving the bar with the button held ends the repeat; coming back starts a new one at once.
  move_pointer(300, 55);
  EXPECT_EQ(bar->repeat_action, (INT_U32)SCROLLBAR_NO_ACTION);
  advance_ms(1000);
  run_pass();
  EXPECT_EQ(slew.value(), 80);
  move_pointer(107, 55);
  EXPECT_EQ(slew.value(), 90);
  // The parameter stops the value at the end while the repeat goes on.
  advance_ms(501);
  run_pass();
  advance_ms(61);
  run_pass();
  advance_ms(61);
  run_pass();
  EXPECT_EQ(slew.value(), 100);
  EXPECT_EQ(reports, 5);
  release(107, 55);
  EXPECT_EQ(bar->repeat_action, (INT_U32)SCROLLBAR_NO_ACTION);
  advance_ms(1000);
  run_pass();
  EXPECT_EQ(reports, 5);
}

TEST(ScrollBarInput, ButtonsStepAndTheTrackPagesByTheAmountCallback) {
  BAR_SCREEN page;
  SLEW slew(0, 100, 50);
  // Type 1: less button 0..11, more button 88..99 along x.
  WM_SCROLLBAR* bar = make_bar(0, 0, 99, 14, 10, 12, &slew, SCROLLBAR_HORIZONTAL_BUTTONS);
  bar->step_amount = 3;
  bar->page_amount = 20;
  page.add(bar);
  struct CASE {
    INT_S16 px;
    INT_S32 value;
  } presses[] = {{5, 47}, {95, 53}, {15, 30}, {85, 70}};
  for (const CASE& c : presses) {
    slew.set(50);
    run_pass();
    click(c.px, 7);
    EXPECT_EQ(slew.value(), c.value) << "press at " << c.px;
  }
  bar->amount_callback = [](WM_SCROLLBAR*, int code) { return code * 100; };
  slew.set(50);
  run_pass();
  click(95, 7);  // code 1: +100, held at the maximum
  EXPECT_EQ(slew.value(), 100);
  click(5, 7);  // code 2: -200, held at the minimum
  EXPECT_EQ(slew.value(), 0);
}

TEST(ScrollBarInput, DraggingKeepsTheGrabOffsetAndSnapsToTheEnds) {
  BAR_SCREEN page;
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 0, &slew, SCROLLBAR_HORIZONTAL);
  page.add(bar);
  // Strictly inside the slider (65 .. 75): grab offset P - p + 1.
  press(70, 37);
  EXPECT_TRUE(bar->dragging);
  EXPECT_EQ(bar->grab_offset, 6);
  EXPECT_EQ(slew.value(), 46);
  struct MOVE {
    INT_S16 px, py;
    INT_S32 value;
  } moves[] = {
      {25, 37, 0},    // within 2 pixels of the start: the minimum
      {50, 100, 26},  // the drag follows outside the bar
      {91, 37, 67},
      {112, 37, 88},
      {113, 37, 90},  // within 2 pixels of the end: the maximum
      {600, 5, 90},
  };
  for (const MOVE& m : moves) {
    move_pointer(m.px, m.py);
    EXPECT_EQ(slew.value(), m.value) << "pointer at " << m.px;
  }
  release(600, 5);
  EXPECT_FALSE(bar->dragging);
  // On the slider's first pixel and one past its last the grab offset is 0.
  struct EDGE {
    INT_S16 px;
    INT_S32 value;
  } edges[] = {{65, 35}, {75, 45}};
  for (const EDGE& e : edges) {
    slew.set(45);
    run_pass();
    press(e.px, 37);
    EXPECT_TRUE(bar->dragging);
    EXPECT_EQ(bar->grab_offset, 0);
    EXPECT_EQ(slew.value(), e.value);
    release(e.px, 37);
  }
  // A vertical bar snaps to its maximum at the top.
  SLEW tall(0, 100, 50);
  WM_SCROLLBAR* vertical = make_bar(200, 50, 214, 249, 10, 0, &tall, SCROLLBAR_VERTICAL);
  page.add(vertical);
  press(207, 150);
  EXPECT_EQ(vertical->grab_offset, -4);
  EXPECT_EQ(tall.value(), 50);
  move_pointer(207, 52);
  EXPECT_EQ(tall.value(), 100);
  move_pointer(207, 400);
  EXPECT_EQ(tall.value(), 0);
  release(207, 400);
}

TEST(ScrollBarInput, DraggingWithNoTravelOrAnEmptyRangeChangesNothing) {
  BAR_SCREEN page;
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 0, &slew, SCROLLBAR_HORIZONTAL);
  page.add(bar);
  bar->slider_length = 200;
  bar->layout();
  press(25, 37);
  move_pointer(100, 37);
  release(100, 37);
  EXPECT_EQ(slew.value(), 45);
  bar->slider_length = 10;
  bar->layout();
  slew.parameter.minimum.s32 = 45;
  slew.parameter.maximum.s32 = 45;
  press(70, 37);
  move_pointer(30, 37);
  release(30, 37);
  EXPECT_EQ(slew.value(), 45);
}

TEST(ScrollBarInput, TheWheelGoesToTheNewestBarOrTheOneUnderThePointer) {
  BAR_SCREEN page;
  SLEW first(0, 100, 50), second(0, 100, 50);
  WM_SCROLLBAR* a = make_bar(10, 10, 24, 209, 10, 0, &first, SCROLLBAR_VERTICAL);
  EXPECT_EQ(scroll_wheel_target, a);
  test_seam_wheel(3);
  WM_SCROLLBAR* b = make_bar(100, 10, 114, 209, 10, 0, &second, SCROLLBAR_VERTICAL);
  EXPECT_EQ(scroll_wheel_target, b);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 0);  // pending notches are dropped when the target changes
  page.add(a);
  page.add(b);
  b->wheel_step = 4;
  test_seam_pointer(300, 300);
  test_seam_wheel(2);
  run_pass();
  EXPECT_EQ(second.value(), 58);
  EXPECT_EQ(first.value(), 50);
  move_pointer(17, 100);
  EXPECT_EQ(scroll_wheel_target, a);
  test_seam_wheel(-5);
  run_pass();
  EXPECT_EQ(first.value(), 45);
  EXPECT_EQ(second.value(), 58);
  // A deleted target leaves no dangling pointer.
  page_manager->get_root()->remove_child(a, true, false);
  EXPECT_EQ(scroll_wheel_target, nullptr);
}

TEST(ScrollBarInput, KeysActOnlyWithTheFocus) {
  BAR_SCREEN page;
  SLEW across(0, 100, 50), down(0, 100, 50);
  WM_SCROLLBAR* h = make_bar(10, 10, 209, 24, 10, 12, &across, SCROLLBAR_HORIZONTAL_BUTTONS);
  WM_SCROLLBAR* v = make_bar(300, 10, 314, 209, 10, 12, &down, SCROLLBAR_VERTICAL_BUTTONS);
  page.add(h);
  page.add(v);
  h->page_amount = v->page_amount = 10;
  key(VKEY_HOME);
  EXPECT_EQ(across.value(), 50);  // not focusable: keys stay unread
  h->focusable = v->focusable = 1;
  h->take_focus();
  struct KEY {
    WM_SCROLLBAR* bar;
    SLEW* slew;
    INT_S32 key, modifier, value;
  } keys[] = {
      {h, &across, VKEY_HOME, -1, 0},       {h, &across, VKEY_END, -1, 100},
      {h, &across, VKEY_LEFT, -1, 99},      {h, &across, VKEY_LEFT, VKEY_LCONTROL, 89},
      {h, &across, VKEY_RIGHT, -1, 90},     {h, &across, VKEY_RIGHT, VKEY_RCONTROL, 100},
      {h, &across, VKEY_UP, -1, 100},       {h, &across, VKEY_PRIOR, -1, 100},
      {v, &down, VKEY_HOME, -1, 50},        {v, &down, VKEY_HOME, VKEY_LCONTROL, 100},
      {v, &down, VKEY_END, VKEY_LCONTROL, 0}, {v, &down, VKEY_UP, -1, 1},
      {v, &down, VKEY_UP, VKEY_LCONTROL, 11}, {v, &down, VKEY_PRIOR, -1, 21},
      {v, &down, VKEY_NEXT, -1, 11},        {v, &down, VKEY_DOWN, -1, 10},
      {v, &down, VKEY_LEFT, -1, 10},
  };
  for (const KEY& k : keys) {
    if (focus_object != k.bar) k.bar->take_focus();
    key(k.key, k.modifier);
    EXPECT_EQ(k.slew->value(), k.value) << "key " << k.key << " with " << k.modifier;
  }
  // A disabled bar takes no key and no focus.
  v->enabled = 0;
  EXPECT_FALSE(v->is_focusable());
  key(VKEY_UP);
  EXPECT_EQ(down.value(), 10);
}

TEST(ScrollBarInput, OutsideChangesAreReportedAlsoWhenDisabled) {
  BAR_SCREEN page;
  SLEW slew(0, 100, 50);
  WM_SCROLLBAR* bar = make_bar(10, 10, 24, 209, 10, 0, &slew, SCROLLBAR_VERTICAL);
  page.add(bar);
  EXPECT_EQ(reports, 0);
  slew.set(70);
  run_pass();
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(bar->reported_value, 70);
  bar->enabled = 0;
  slew.set(20);
  run_pass();
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(bar->reported_value, 20);
  // A disabled bar ignores the wheel and presses.
  test_seam_wheel(3);
  click(17, 20);
  EXPECT_EQ(slew.value(), 20);
  EXPECT_EQ(reports, 2);
}

TEST(ScrollBarInput, HoverFlagsFollowThePointer) {
  BAR_SCREEN page;
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 12, &slew, SCROLLBAR_HORIZONTAL_BUTTONS);
  page.add(bar);
  INT_S32 p = bar->slider_position();
  struct CASE {
    INT_S16 px, py;
    INT_U8 bar, slider, less, more;
  } cases[] = {
      {25, 37, 1, 0, 1, 0},                    // the less button's inset face
      {22, 37, 1, 0, 0, 0},                    // on the face's edge: not inside
      {114, 37, 1, 0, 0, 1},
      {(INT_S16)(p - 5), 37, 1, 1, 0, 0},
      {(INT_S16)(p - 5), 30, 0, 0, 0, 0},      // the bar's top row is an edge
      {300, 300, 0, 0, 0, 0},
  };
  for (const CASE& c : cases) {
    move_pointer(c.px, c.py);
    EXPECT_EQ(bar->bar_over, c.bar) << c.px << ", " << c.py;
    EXPECT_EQ(bar->slider_over, c.slider) << c.px << ", " << c.py;
    EXPECT_EQ(bar->less_over, c.less) << c.px << ", " << c.py;
    EXPECT_EQ(bar->more_over, c.more) << c.px << ", " << c.py;
  }
}

// ---------------------------------------------------------------------------------------------------
// Drawing

TEST(ScrollBarDrawing, UnframedSliderFaceAndEdgeLines) {
  BAR_SCREEN page;
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 0, &slew, SCROLLBAR_HORIZONTAL);
  page.add(bar);
  run_pass();
  // P = 75: the face spans 67 .. 75 with its type-4 border, black lines on columns 66 and 75.
  EXPECT_EQ(screen_pixel(70, 37), 0xFF00C000u);
  EXPECT_EQ(screen_pixel(75, 37), 0xFF000000u);
  EXPECT_EQ(screen_pixel(66, 37), 0xFF000000u);
  EXPECT_EQ(screen_pixel(40, 37), 0xFF404040u);   // track
  EXPECT_EQ(screen_pixel(21, 37), 0xFF000000u);   // the outline one pixel in
  EXPECT_NE(screen_pixel(120, 37), 0xFF404040u);  // nothing past the bar
  // Focus with a highlight colour lights every part.
  bar->highlight_colour = 0xFFC0C000;
  bar->focusable = 1;
  bar->take_focus();
  run_pass();
  EXPECT_EQ(screen_pixel(40, 37), 0xFFC0C000u);
  EXPECT_EQ(screen_pixel(70, 37), 0xFFC0C000u);
  // Without a highlight colour focus changes nothing.
  bar->highlight_colour = 0;
  bar->show();
  run_pass();
  EXPECT_EQ(screen_pixel(40, 37), 0xFF404040u);
}

TEST(ScrollBarDrawing, ASliderLongerThanTheBarStaysInside) {
  BAR_SCREEN page;
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 0, &slew, SCROLLBAR_VERTICAL);
  bar->slider_length = 300;
  bar->layout();
  page.add(bar);
  run_pass();
  EXPECT_NE(screen_pixel(70, 46), 0xFF00C000u);
  EXPECT_EQ(screen_pixel(70, 40), 0xFF00C000u);
}

class ScrollBarFrames : public PICTURE_FOLDER_TEST {
protected:
  void SetUp() override {
    PICTURE_FOLDER_TEST::SetUp();
    const struct {
      const char* name;
      INT_U32 colour;
    } pictures[] = {{"sb_bar", 0xFF100000}, {"sb_slider_up", 0xFF200000}, {"sb_slider_down", 0xFF300000},
                    {"sb_slider_disabled", 0xFF400000}, {"sb_bar_over", 0xFF500000}};
    for (const auto& p : pictures) ASSERT_TRUE(save_solid_picture(&folder, p.name, 4, 4, p.colour));
  }
};

TEST_F(ScrollBarFrames, CompleteFramesByTypeAndStateChoice) {
  BAR_SCREEN page;
  SLEW slew(0, 90, 45);
  WM_SCROLLBAR* bar = make_bar(20, 30, 119, 44, 10, 0, &slew, SCROLLBAR_HORIZONTAL);
  EXPECT_TRUE(bar->load_state_frames(path, "sb", nullptr));
  page.add(bar);
  run_pass();
  EXPECT_EQ(screen_pixel(70, 37), 0xFF200000u);  // slider up over columns 65 .. 74
  EXPECT_EQ(screen_pixel(65, 37), 0xFF200000u);
  EXPECT_EQ(screen_pixel(75, 37), 0xFF100000u);
  EXPECT_EQ(screen_pixel(21, 31), 0xFF100000u);
  press(70, 37);  // dragged: the down frame
  EXPECT_EQ(screen_pixel(70, 37), 0xFF300000u);
  release(70, 37);
  move_pointer(300, 300);
  bar->enabled = 0;  // disabled: the disabled slider; the track has no disabled frame
  bar->show();
  run_pass();
  EXPECT_EQ(screen_pixel(70, 37), 0xFF400000u);
  EXPECT_EQ(screen_pixel(30, 37), 0xFF100000u);
  bar->enabled = 1;
  move_pointer(30, 37);  // over the track: its over frame
  EXPECT_EQ(screen_pixel(30, 37), 0xFF500000u);

  // The same frames do not complete a bar with buttons: it is painted with its colours.
  SLEW other(0, 10, 0);
  WM_SCROLLBAR* buttons = make_bar(20, 100, 119, 114, 10, 12, &other, SCROLLBAR_HORIZONTAL_BUTTONS);
  EXPECT_FALSE(buttons->load_state_frames(path, "sb", nullptr));
  page.add(buttons);
  run_pass();
  EXPECT_EQ(screen_pixel(80, 107), 0xFF404040u);
  page_manager->get_root()->remove_child(buttons, true, false);
  // No base name: the frames go.
  EXPECT_FALSE(bar->load_state_frames(path, nullptr, nullptr));
  EXPECT_FALSE(bar->state_frames[SCROLLBAR_FRAME_BAR]->is_loaded());
}

TEST_F(ScrollBarFrames, StyleFormTakesTypeLookAndFrames) {
  BAR_SCREEN page;
  WM_STYLE_SET style;
  style.extended_flags = ssef_sb_horizontal | ssef_sb_with_buttons;
  style.flags = ssf_hfading | ssf_dont_resize_image | ssf_disabled;
  style.shading_flags = 0x1F;
  style.scrollbar_slider_width = 14;
  style.scrollbar_button_width = 9;
  style.bg_colour = 0xFF010203;
  style.active_colour = 0xFF040506;
  style.fg_colour = 0xFF070809;
  style.object_colour = 0xFF0A0B0C;
  style.shading_type = 5;
  SLEW slew(0, 10, 4);
  WM_SCROLLBAR bar(0, 0, 99, 14, &slew.parameter, &style, nullptr, 0, 0);
  EXPECT_EQ(bar.type, (INT_U32)SCROLLBAR_HORIZONTAL_BUTTONS);
  EXPECT_EQ(bar.draw_flags, SCROLLBAR_SHADED | SCROLLBAR_HFADING | SCROLLBAR_DONT_RESIZE);
  EXPECT_EQ(bar.slider_length, 14);
  EXPECT_EQ(bar.button_length, 9);
  EXPECT_EQ(bar.track_colour, 0xFF010203u);
  EXPECT_EQ(bar.slider_colour, 0xFF040506u);
  EXPECT_EQ(bar.button_colour, 0xFF040506u);
  EXPECT_EQ(bar.arrow_colour, 0xFF070809u);
  EXPECT_EQ(bar.colour, 0xFF0A0B0Cu);
  EXPECT_EQ(bar.border_type, 5);
  EXPECT_EQ(bar.enabled, 0);
  EXPECT_FALSE(bar.state_frames_loaded());

  // A vertical style with a file name loads the frames by that name; an overlong name loads none.
  WM_STYLE_SET framed;
  std::strcpy(framed.image_path, path);
  framed.set_image_filename("sb");
  WM_SCROLLBAR vertical(0, 0, 14, 99, &slew.parameter, &framed, nullptr, 0, 0);
  EXPECT_EQ(vertical.type, (INT_U32)SCROLLBAR_VERTICAL);
  EXPECT_TRUE(vertical.state_frames_loaded());
  std::string long_name(250, 'n');
  EXPECT_FALSE(vertical.load_state_frames(path, long_name.c_str(), nullptr));
  EXPECT_FALSE(vertical.state_frames[SCROLLBAR_FRAME_BAR]->is_loaded());

  // The full form's default look adds the axis's gradient.
  COLOUR grey = 0xFF808080;
  WM_SCROLLBAR across(0, 0, 99, 14, 8, 0, &slew.parameter, SCROLLBAR_HORIZONTAL, SCROLLBAR_DEFAULT_LOOK, &grey, &grey,
                      &grey, &grey, 1, nullptr, 0, 0);
  EXPECT_EQ(across.draw_flags, SCROLLBAR_DEFAULT_LOOK | SCROLLBAR_SHADED | SCROLLBAR_VFADING);
  WM_SCROLLBAR down(0, 0, 14, 99, 8, 0, &slew.parameter, SCROLLBAR_VERTICAL, SCROLLBAR_DEFAULT_LOOK, &grey, &grey,
                    &grey, &grey, 1, nullptr, 0, 0);
  EXPECT_EQ(down.draw_flags, SCROLLBAR_DEFAULT_LOOK | SCROLLBAR_SHADED | SCROLLBAR_HFADING);
}

}  // namespace
