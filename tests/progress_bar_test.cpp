// Tests of progress bars: the full part by value (4 columns at 0, never past the bar box at the maximum),
// the percentage texts, vertical bars, labels, framed bars with their minimum widths, bars off the screen
// drawn clipped and the fatal zero size, the style-set constructor, the overlay animation, titles and the
// once-per-second message step of tick.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "errors.h"
#include "folder.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "image_cache.h"
#include "progress_bar.h"
#include "screen_image.h"
#include "style_set.h"
#include "test_support.h"
#include "wm_test_support.h"

namespace {

const COLOUR DARK = 0xFF202020, WHITE = 0xFFFFFFFF, GREEN = 0xFF00C000, EMPTY = 0xFF800000;

// A bare bar set up by init with no gaps and unshaded parts: the bar box spans x .. x + width - 1 less
// one column, with the default inner border type 6 (2 pixels).
WM_PROGRESS_BAR* plain_bar(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, INT_U8 flags = PROGRESS_NO_SHADING,
                           const char* label = nullptr) {
  WM_PROGRESS_BAR* bar = new WM_PROGRESS_BAR();
  bar->init(x, y, width, height, label, 100, &DARK, &WHITE, &GREEN, flags, -1, -1, -1, 0, 0, 0, 0);
  return bar;
}

void draw_alone(WM_PROGRESS_BAR* bar) {
  COLOUR black = 0xFF000000;
  screen_image.clear(&black, 1);
  bar->draw();
}

// The columns of row y from x1 to x2 holding colour, as a string of '#' and '.'.
std::string row_of(INT_S16 y, INT_S16 x1, INT_S16 x2, COLOUR colour) {
  std::string row;
  for (INT_S16 x = x1; x <= x2; x++) row += screen_pixel(x, y) == colour ? '#' : '.';
  return row;
}

TEST(ProgressBarDrawing, TheFullPartByValueStaysInsideTheBarBox) {
  WM_TEST_SCREEN screen(200, 100, 0);
  WM_PROGRESS_BAR* bar = plain_bar(20, 20, 100, 20);
  struct CASE {
    INT_S32 value;
    INT_S16 first, last;  // the filled columns on row 30
  } cases[] = {
      {0, 22, 25},    // at least 2 bw + 1: bar_x + 2 .. bar_x + 5, four columns
      {50, 22, 70},   // 99 * 50 / 100 + 1 = 50
      {99, 22, 117},
      {100, 22, 117},  // never past the box's inner edge (its border is columns 118 and 119)
      {250, 22, 117},
  };
  for (const CASE& c : cases) {
    bar->value = c.value;
    draw_alone(bar);
    std::string expected;
    for (INT_S16 x = 16; x <= 124; x++) expected += (x >= c.first && x <= c.last) ? '#' : '.';
    EXPECT_EQ(row_of(30, 16, 124, GREEN), expected) << "value " << c.value;
  }
  // The empty part in its colour when one is set.
  bar->value = 50;
  bar->empty_colour = EMPTY;
  draw_alone(bar);
  EXPECT_EQ(screen_pixel(71, 30), EMPTY);
  EXPECT_EQ(screen_pixel(117, 30), EMPTY);
  EXPECT_NE(screen_pixel(118, 30), EMPTY);
  delete bar;
}

TEST(ProgressBarDrawing, PercentageTexts) {
  WM_TEST_SCREEN screen(200, 100, 0);
  WM_PROGRESS_BAR* bar = plain_bar(0, 0, 100, 20);
  struct CASE {
    INT_S32 maximum, value;
    const char *shown, *remaining;
  } cases[] = {{100, 42, "42%", "58%"}, {3, 1, "33%", "66%"}, {100, 100, "100%", "0%"},
               {0, 0, "100%", ""},      {2000000000, 1999999999, "99%", "0%"}};
  for (const CASE& c : cases) {
    bar->maximum = c.maximum;
    bar->value = c.value;
    char shown[24], remaining[24];
    bar->percentage_texts(shown, remaining);
    EXPECT_STREQ(shown, c.shown);
    EXPECT_STREQ(remaining, c.remaining);
  }
  // A maximum of 0 draws a full bar.
  bar->maximum = 0;
  draw_alone(bar);
  EXPECT_EQ(screen_pixel(97, 10), GREEN);
  delete bar;
}

TEST(ProgressBarDrawing, VerticalBarsFillFromTheBottomAndLabelsMoveTheBar) {
  WM_TEST_SCREEN screen(200, 200, 0);
  WM_PROGRESS_BAR* vertical = plain_bar(20, 20, 20, 100, PROGRESS_NO_SHADING | PROGRESS_VERTICAL, "ignored");
  EXPECT_EQ(vertical->label, nullptr);  // a vertical bar keeps no label
  vertical->value = 50;
  draw_alone(vertical);
  // bar_h 99: f = 50, e = 49: rows 69 .. 117 filled.
  EXPECT_NE(screen_pixel(30, 68), GREEN);
  EXPECT_EQ(screen_pixel(30, 69), GREEN);
  EXPECT_EQ(screen_pixel(30, 117), GREEN);
  EXPECT_NE(screen_pixel(30, 118), GREEN);
  vertical->value = 100;
  draw_alone(vertical);
  EXPECT_EQ(screen_pixel(30, 22), GREEN);
  EXPECT_NE(screen_pixel(30, 21), GREEN);
  delete vertical;

  // An empty label still moves the bar right by the left gap.
  WM_PROGRESS_BAR* labelled = new WM_PROGRESS_BAR();
  labelled->init(20, 20, 100, 20, "", 100, &DARK, &WHITE, &GREEN, PROGRESS_NO_SHADING, -1, -1, -1, 5, 0, 0, 0);
  ASSERT_NE(labelled->label, nullptr);
  draw_alone(labelled);
  // bar_x = 20 + 5 + (0 + 5) = 30: the full part starts at 32.
  EXPECT_EQ(row_of(10 + 20, 29, 36, GREEN), "...####.");
  delete labelled;
}

TEST(ProgressBarDrawing, BarsOffTheScreenAreDrawnClippedAndZeroSizesAreFatal) {
  WM_TEST_SCREEN screen(200, 100, 0);
  struct CASE {
    INT_S16 x, y, width, height;
  } cases[] = {{-1, 10, 50, 10}, {10, -1, 50, 10}, {10, 90, 50, 10}, {10, 91, 50, 10}, {180, 10, 50, 10}};
  for (const CASE& c : cases) {
    WM_PROGRESS_BAR* bar = plain_bar(c.x, c.y, c.width, c.height);
    bar->value = 100;
    draw_alone(bar);
    EXPECT_EQ(screen_image.clip.x2, 199);  // the clip comes back
    delete bar;
  }
  // Nothing beyond the bar's own rectangle is touched, even with a label wider than the bar.
  WM_PROGRESS_BAR* narrow = plain_bar(50, 50, 10, 10, PROGRESS_NO_SHADING, "a very long label");
  draw_alone(narrow);
  EXPECT_EQ(screen_pixel(60, 55), 0xFF000000u);
  EXPECT_EQ(screen_pixel(49, 55), 0xFF000000u);
  delete narrow;
  for (INT_S16 size : {0, -5}) {
    EXPECT_EXIT(
        {
          WM_PROGRESS_BAR bar;
          bar.init(10, 10, size, 10, nullptr, 100, &DARK, &WHITE, &GREEN, 0, -1, -1, -1, -1, -1, -1, -1);
        },
        testing::ExitedWithCode(FATAL_EXIT_STATUS), "0110");
  }
}

TEST(ProgressBarStyle, TheStyleSetGivesFlagsColoursFontAndGaps) {
  WM_TEST_SCREEN screen(200, 100, 0);
  WM_STYLE_SET style;
  style.flags = ssf_dont_resize_image;  // no ssf_draw_border: no outer border
  style.extended_flags = ssef_pb_only_draw_bar | ssef_pb_vertical | ssef_pb_no_shading |
                         ssef_pb_position_text_on_bar | ssef_pb_draw_alt_percentage;
  style.bg_colour = 0xFF010101;
  style.fg_colour = 0xFF020202;
  style.highlight_colour = 0xFF030303;
  style.highlight_text_colour = COLOUR_INVISIBLE;
  style.object_colour = 0xFF040404;
  style.shading_type = 7;
  style.font_x_sz = 12;
  style.font_y_sz = 14;
  style.border_left_gap = 3;
  WM_PROGRESS_BAR bar(5, 6, 50, 40, "label", 100, &style);
  EXPECT_EQ(bar.bar_flags, 0x7F);
  EXPECT_EQ(bar.background_colour, 0xFF010101u);
  EXPECT_EQ(bar.label_colour, 0xFF020202u);
  EXPECT_EQ(bar.alt_text_colour, 0xFF020202u);
  EXPECT_EQ(bar.fill_colour, 0xFF030303u);
  EXPECT_EQ(bar.text_colour, COLOUR_INVISIBLE);  // taken unchanged
  EXPECT_EQ(bar.empty_colour, COLOUR_INVISIBLE);
  EXPECT_EQ(bar.colour, 0xFF040404u);
  EXPECT_EQ(bar.border_type, 7);
  EXPECT_EQ(bar.bar_border_type, 6u);
  EXPECT_EQ(bar.update_rate, 300);
  EXPECT_EQ(bar.left_gap, 3);
  EXPECT_EQ(bar.right_gap, 6);   // font x size / 2
  EXPECT_EQ(bar.top_gap, 13);    // (40 - 14) / 2
  EXPECT_EQ(bar.bottom_gap, 13);
  EXPECT_EQ(bar.label, nullptr);  // vertical
  EXPECT_EQ(bar.kind & WM_KIND_PROGRESS_BAR, (INT_U32)WM_KIND_PROGRESS_BAR);
  EXPECT_FALSE(bar.is_focusable());
  // A font taller than the bar leaves no negative gaps.
  style.font_y_sz = 60;
  style.extended_flags = 0;
  WM_PROGRESS_BAR low(5, 6, 50, 40, nullptr, 100, &style);
  EXPECT_EQ(low.top_gap, 0);
}

TEST(ProgressBarStyle, AStyleWithoutAFillColourFillsInOneThatShowsOnTheFace) {
  WM_TEST_SCREEN screen(200, 100, 0);
  WM_STYLE_SET style;  // the defaults: white on black, no fill colour
  WM_PROGRESS_BAR bar(20, 20, 100, 20, nullptr, 100, &style);
  bar.value = 100;
  draw_alone(&bar);
  EXPECT_EQ(screen_pixel(70, 30), WHITE);
}

typedef PICTURE_FOLDER_TEST ProgressBarFrames;

TEST_F(ProgressBarFrames, FramedBarsDrawTheFullFrameAtLeastItsMinimumWidth) {
  WM_TEST_SCREEN screen(200, 100, 0);
  ASSERT_TRUE(save_solid_picture(&folder, "pb_empty", 4, 4, EMPTY));
  ASSERT_TRUE(save_solid_picture(&folder, "pb_full", 8, 4, GREEN));
  WM_PROGRESS_BAR* bar = plain_bar(20, 20, 100, 20);
  EXPECT_TRUE(bar->set_style(path, "pb", nullptr));
  EXPECT_FALSE(bar->background_frame.is_loaded());
  bar->value = 0;  // no full frame at 0
  draw_alone(bar);
  EXPECT_EQ(screen_pixel(20, 30), EMPTY);
  EXPECT_EQ(screen_pixel(119, 30), EMPTY);
  bar->value = 1;  // f = 2, raised to the frame's 8
  draw_alone(bar);
  EXPECT_EQ(row_of(30, 19, 30, GREEN), ".#########..");
  bar->value = 100;
  draw_alone(bar);
  EXPECT_EQ(screen_pixel(119, 30), GREEN);
  EXPECT_NE(screen_pixel(120, 30), GREEN);
  // No base name: the frames go and the bar is drawn with colours.
  EXPECT_FALSE(bar->set_style(path, nullptr, nullptr));
  EXPECT_FALSE(bar->has_frames());
  delete bar;
  // An overlong base name loads nothing.
  WM_PROGRESS_BAR* other = plain_bar(20, 20, 100, 20);
  EXPECT_FALSE(other->set_style(path, std::string(250, 'p').c_str(), nullptr));
  delete other;
}

TEST_F(ProgressBarFrames, OverlaysMoveByTheRateAndWrapWithinTheirWidth) {
  WM_TEST_SCREEN screen(200, 100, 0, 10000, 0);
  ASSERT_TRUE(save_solid_picture(&folder, "an_empty", 4, 4, EMPTY));
  ASSERT_TRUE(save_solid_picture(&folder, "an_full", 8, 4, GREEN));
  ASSERT_TRUE(save_solid_picture(&folder, "an_full_colay", 10, 4, WHITE));
  WM_PROGRESS_BAR* bar = plain_bar(20, 20, 100, 20);
  ASSERT_TRUE(bar->set_style(path, "an", nullptr));
  ASSERT_NE(bar->full_frame.colay, nullptr);
  bar->animate();  // no rate: nothing
  EXPECT_EQ(bar->full_frame.overlay_x, 0);
  bar->x_rate = 20;
  bar->update_rate = 0;
  bar->animate();  // the clock has not moved
  EXPECT_EQ(bar->full_frame.overlay_x, 0);
  advance_ms(40);
  bar->animate();
  EXPECT_EQ(bar->full_frame.overlay_x, 2);
  EXPECT_EQ(bar->full_frame.composite_stale, 1);
  bar->x_rate = -20;
  advance_ms(60);
  bar->animate();
  EXPECT_EQ(bar->full_frame.overlay_x, 9);  // 2 - 3, wrapped within 10
  bar->update_rate = 300;
  advance_ms(100);
  bar->animate();
  EXPECT_EQ(bar->full_frame.overlay_x, 9);  // not due yet
  advance_ms(201);
  bar->animate();
  EXPECT_EQ(bar->full_frame.overlay_x, 4);  // 301 / 20 = 15, mod 10 = 5 the other way
  // Passes faster than the rate: the time short of a whole pixel is kept, so every 20 ms makes a pixel.
  bar->x_rate = 20;
  bar->update_rate = 0;
  bar->full_frame.composite_stale = 0;
  int offsets[4];
  for (int& offset : offsets) {
    advance_ms(10);
    bar->animate();
    offset = bar->full_frame.overlay_x;
  }
  EXPECT_EQ(offsets[0], 4);  // 1 ms left over from the last step, and 10 more
  EXPECT_EQ(offsets[1], 5);
  EXPECT_EQ(offsets[2], 5);
  EXPECT_EQ(offsets[3], 6);
  delete bar;
}

int events_handled = 0;
class COUNTING_CLIENT : public EVENT_CLIENT {
public:
  INT_S32 handle_event(EVENT*) override {
    events_handled++;
    return 0;
  }
};

TEST(ProgressBarTick, TheMessageStepRunsOncePerWallClockSecond) {
  WM_TEST_SCREEN screen(200, 100, 0);
  INT_U32 idle = get_idle_wait();
  set_idle_wait(0);
  COUNTING_CLIENT client;
  events_handled = 0;
  progress_tick_second = 0;
  WM_PROGRESS_BAR* bar = plain_bar(20, 20, 100, 20);
  auto post = []() {
    EVENT* event = (EVENT*)std::malloc(sizeof(EVENT));
    event->code = 77;
    event->data = nullptr;
    event->release = nullptr;
    post_event(event, 1);
  };
  post();
  bar->tick();  // the first of the program always runs it
  EXPECT_EQ(events_handled, 1);
  for (int i = 0; i < 5; i++) {
    post();
    bar->tick();
  }
  EXPECT_EQ(events_handled, 1);  // the same second: no more steps
  test_seam_set_seconds(1000001, 0);
  bar->tick();
  EXPECT_EQ(events_handled, 6);
  // A title with draw_now draws, presents and ticks at once; null brings the percentage back.
  post();
  test_seam_set_seconds(1000002, 0);
  bar->set_title("Copying", true);
  EXPECT_STREQ(bar->title, "Copying");
  EXPECT_EQ(events_handled, 7);
  bar->set_title(nullptr, false);
  EXPECT_EQ(bar->title, nullptr);
  delete bar;
  set_idle_wait(idle);
}

}  // namespace
