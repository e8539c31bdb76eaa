// Real-window scenario of the widgets (natively and, in the Windows build, under Wine): a page with a
// button, a check box and a text window of 60 coloured lines in a real window on a private X display.
// Real clicks open and answer a confirmation box and tick the check box, a real drag moves the text
// window's slider and a wheel notch scrolls it; each callback fires once, and the window's pixels read back
// from the X server show the lines the window scrolled to. A press right after a slide off a button goes
// to the button under it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"
#include "window_scenario.h"

namespace {

// How often text occurs in the output.
int occurrences(const std::string& output, const std::string& text) {
  int count = 0;
  for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) count++;
  return count;
}

// The two numbers after the last occurrence of prefix in the output.
bool last_pair(const std::string& output, const std::string& prefix, int* a, int* b) {
  size_t at = output.rfind(prefix);
  return at != std::string::npos && std::sscanf(output.c_str() + at + prefix.size(), "%d %d", a, b) == 2;
}

// The colour of line i as the program draws it.
unsigned line_colour(int i) { return 0xFF00FFu | (unsigned)(i * 4) << 8; }

// Pixels of exactly the colour in the client rows y1 .. y2 of the text window's columns.
int count_in_rows(const WINDOW_CAPTURE& image, int y1, int y2, unsigned colour) {
  int count = 0;
  for (int y = y1; y <= y2; y++)
    for (int x = 24; x < 430; x++)
      if (image.at(x, y) == colour) count++;
  return count;
}

TEST(WidgetPage, ClicksDragAndWheelReachTheWidgetsAndTheScrolledTextShows) {
  REQUIRE_SYSTEM_FONTS();
  WINDOW_SCENARIO scenario("widget-page");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("widget_page"), {system_font_folder()}));
  ASSERT_TRUE(scenario.wait_for_window("Velk widgets"));
  ASSERT_TRUE(scenario.wait_for_output("ready\n"));
  ASSERT_TRUE(scenario.wait_for_output("slider "));
  // Kept at its first line: line 0 on the top row.
  ASSERT_TRUE(scenario.wait_for_output("first 0\n"));

  // The button opens the confirmation box; its "Yes" answers once and the box goes.
  ASSERT_TRUE(scenario.click(70, 35));
  ASSERT_TRUE(scenario.wait_for_output("button\n"));
  ASSERT_TRUE(scenario.wait_for_output("box yes "));
  int yes_x = 0, yes_y = 0;
  ASSERT_TRUE(last_pair(scenario.output(), "box yes ", &yes_x, &yes_y));
  ASSERT_TRUE(scenario.click(yes_x, yes_y));
  ASSERT_TRUE(scenario.wait_for_output("confirm 9 1\ndialogs 0\n"));

  // The check box ticks.
  ASSERT_TRUE(scenario.click(158, 32));
  ASSERT_TRUE(scenario.wait_for_output("check 1\n"));

  // Dragging the slider down shows later lines; a wheel notch away from the user goes one line back.
  int slider_x = 0, slider_y = 0;
  ASSERT_TRUE(last_pair(scenario.output(), "slider ", &slider_x, &slider_y));
  ASSERT_TRUE(scenario.drag(slider_x, slider_y, slider_x, slider_y + 120));
  ASSERT_TRUE(scenario.wait_for_output("dragged "));
  int value = 0, first = 0;
  ASSERT_TRUE(last_pair(scenario.output(), "dragged ", &value, &first));
  ASSERT_GT(first, 10);
  ASSERT_TRUE(scenario.wheel(1));
  char expected[64];
  std::snprintf(expected, sizeof expected, "scroll %d first %d\n", value + 1, first - 1);
  ASSERT_TRUE(scenario.wait_for_output(expected)) << scenario.output();
  first -= 1;

  // The scrolled text read back from the X server: the top row holds line `first`, and line 0 is gone.
  WINDOW_CAPTURE image;
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&image, scenario.scratch() + "scrolled.png"));
  ASSERT_EQ(image.width, 480);
  ASSERT_EQ(image.height, 360);
  EXPECT_GT(count_in_rows(image, 74, 94, line_colour(first)), 10) << "line " << first;
  EXPECT_EQ(count_in_rows(image, 70, 339, line_colour(0)), 0);
  EXPECT_EQ(count_in_rows(image, 74, 94, line_colour(first + 1)), 0);

  // Each callback fired once.
  std::string output = scenario.output();
  EXPECT_EQ(occurrences(output, "button\n"), 1);
  EXPECT_EQ(occurrences(output, "confirm "), 1);
  EXPECT_EQ(occurrences(output, "check "), 1);

  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_for_output("close\n"));
  EXPECT_EQ(scenario.wait_for_exit(), 5);
}

// A press on "Ask" slid off onto "Also" and let go there clicks neither; a press on "Also" right after it,
// well within the double-click time, is its own: "Also" shows its pressed face, and its click acts.
TEST(WidgetPage, APressRightAfterASlideOffReachesTheButtonUnderIt) {
  REQUIRE_SYSTEM_FONTS();
  WINDOW_SCENARIO scenario("widget-page-slide");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("widget_page"), {system_font_folder()}));
  ASSERT_TRUE(scenario.wait_for_window("Velk widgets"));
  ASSERT_TRUE(scenario.wait_for_output("first 0\n"));
  ASSERT_TRUE(scenario.drag_now(70, 35, 390, 35));
  ASSERT_TRUE(scenario.press());
  ASSERT_TRUE(scenario.wait_for_pixel(346, 26, 0xC08020u));
  ASSERT_TRUE(scenario.release());
  ASSERT_TRUE(scenario.wait_for_output("also\n"));
  EXPECT_EQ(scenario.output().find("button\n"), std::string::npos);
  ASSERT_TRUE(scenario.close_window());
  EXPECT_EQ(scenario.wait_for_exit(), 5);
}

}  // namespace
