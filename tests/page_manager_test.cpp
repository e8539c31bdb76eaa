// Tests of the page manager and the widgets the installer engine builds on: pages and the last-page end,
// the exit hook, top-level objects, the progress bar's value and pixels, and the confirmation box's
// text window and buttons.
#include <gtest/gtest.h>

#include "confirm.h"
#include "host.h"
#include "page_manager.h"
#include "progress_bar.h"

TEST(PageManager, EndsWhenNoPageIsShownAndClosesPagesAtExit) {
  {
    WM_PAGE_MANAGER manager(2, 16);
    EXPECT_EQ(page_manager, &manager);
    EXPECT_NE(exit_hook, nullptr);
    EXPECT_EQ(manager.page_change, 0);
    EXPECT_EQ(manager.roots.size(), 2u);
    EXPECT_EQ(manager.update(), WM_RESULT_LAST_PAGE_CLOSED);
    manager.set_page(new WM_SCREEN_OBJECT(0, 0, 10, 10));
    EXPECT_EQ(manager.update(), WM_RESULT_NONE);
    WM_SCREEN_OBJECT::add_top_level(manager.get_root(), new WM_SCREEN_OBJECT(1, 1, 2, 2), 0);
    EXPECT_EQ(manager.get_root()->top_level.size(), 1u);
    manager.get_root()->resize(320, 240, 1);
    EXPECT_EQ(manager.get_root()->width, 320);
    exit_hook();  // the host's exit hook closes every page
    EXPECT_EQ(manager.update(), WM_RESULT_LAST_PAGE_CLOSED);
    EXPECT_TRUE(manager.get_root()->top_level.empty());
  }
  EXPECT_EQ(page_manager, nullptr);
  EXPECT_EQ(exit_hook, nullptr);
}

TEST(ProgressBar, ValueStaysInRangeAndFillsInProportion) {
  WM_PROGRESS_BAR bar(2, 1, 12, 4, 150, 100, nullptr);
  EXPECT_EQ(bar.mode, 6);
  EXPECT_EQ(bar.value, 100);
  bar.set_value(-5);
  EXPECT_EQ(bar.value, 0);
  bar.set_value(50);
  bar.object_colour = 0xFF0000FF;
  IMAGE target(20, 8);
  COLOUR white = 0xFFFFFFFF;
  target.clear(&white, 1);
  target.clear_dirty_area();
  bar.draw(&target);
  // Inner width 10: half of it filled from x 3 to 7, the rest in the background colour.
  EXPECT_EQ(*target.pixel_at(3, 2), 0xFF0000FFu);
  EXPECT_EQ(*target.pixel_at(7, 2), 0xFF0000FFu);
  EXPECT_EQ(*target.pixel_at(8, 2), bar.background_colour);
  EXPECT_EQ(*target.pixel_at(2, 1), bar.border_colour);
  EXPECT_EQ(*target.pixel_at(0, 0), white);
  EXPECT_EQ(target.dirty.x1, 2);
  EXPECT_EQ(target.dirty.x2, 13);
}

namespace {
INT_S32 last_result = 0, last_value = 0;
void remember(WM_CONFIRM*, INT_S32 result, INT_S32 value) {
  last_result = result;
  last_value = value;
}
}  // namespace

TEST(Confirm, TextWindowSplitsLinesAndButtonsReportTheirValues) {
  WM_CONFIRM box(-1, -1, "Title", "Go", "Stop", remember, 7, 70, remember, 8, 80, 5, 6);
  EXPECT_EQ(box.width, 300);
  EXPECT_EQ(box.height, 200);
  EXPECT_EQ(box.x, 5);
  EXPECT_STREQ(box.title.text, "Title");
  COLOUR red = 0xFFFF0000;
  box.text_window.add_text("one\r\ntwo\nthree", "", &red, 0, 0);
  ASSERT_EQ(box.text_window.lines.size(), 3u);
  EXPECT_EQ(box.text_window.lines[1].text, "two");
  EXPECT_EQ(box.text_window.lines[2].colour, red);
  box.press(1);
  EXPECT_EQ(last_result, 8);
  EXPECT_EQ(last_value, 80);
  box.press(0);
  EXPECT_EQ(last_result, 7);
  EXPECT_EQ(last_value, 70);
  box.press(2);  // no such button: nothing
  EXPECT_EQ(last_result, 7);
}
