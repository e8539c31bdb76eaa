// Tests of the about box: its default size, the logo a quarter of the free height down, the text window
// beside it holding the banner with a link on every line, "Close" centred at the bottom, closing on the
// release (not the press) and going when the fade ends, and a click on the text leaving the box open;
// a close button made with a label of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "about.h"
#include "button.h"
#include "grid_test_support.h"
#include "host_test_seam.h"
#include "image_object.h"
#include "host.h"
#include "page_manager.h"
#include "redraw.h"
#include "test_support.h"
#include "text_draw.h"
#include "text_win.h"
#include "wm_test_support.h"

namespace {

// The client's children in the order the box adds them.
struct PARTS {
  WM_BUTTON* close;
  WM_IMAGE* logo;
  WM_TEXT_WIN* text;
};
PARTS parts_of(WM_ABOUT* box) {
  return {(WM_BUTTON*)box->client->child_at_index(0), (WM_IMAGE*)box->client->child_at_index(1),
          (WM_TEXT_WIN*)box->client->child_at_index(2)};
}

TEST(AboutBox, LayoutOfLogoTextAndClose) {
  WM_TEST_SCREEN screen(640, 480, 1);
  WM_ABOUT box(10, 20, -1, -1);
  EXPECT_EQ(box.width, 440);
  EXPECT_EQ(box.height, 320);
  EXPECT_STREQ(box.get_title(), "About");
  EXPECT_EQ(box.kind & (WM_KIND_ABOUT | WM_KIND_DIALOG), (INT_U32)(WM_KIND_ABOUT | WM_KIND_DIALOG));
  PARTS p = parts_of(&box);
  ASSERT_EQ(box.client->children.count, 3);
  EXPECT_EQ(p.close, box.close_button);
  ASSERT_EQ(p.logo->kind & WM_KIND_IMAGE, (INT_U32)WM_KIND_IMAGE);
  ASSERT_EQ(p.text->kind & WM_KIND_TEXT_WIN, (INT_U32)WM_KIND_TEXT_WIN);

  const WM_STYLE_SET& s = box.window_style;
  const INT_S32 usable_width = 440 - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap;
  const INT_S32 usable_height = 320 - box.client_top() - s.border_bottom_gap - s.cell_bottom_gap;
  // The 80 x 75 logo at the left, a quarter of the free height down (50 with a usable height of 275).
  EXPECT_EQ(p.logo->image.width, 80);
  EXPECT_EQ(p.logo->image.height, 75);
  EXPECT_EQ(p.logo->x - box.client->x, 0);
  EXPECT_EQ(p.logo->y - box.client->y, (usable_height - 75) / 4);
  // "Close" sized to its text, centred at the bottom.
  EXPECT_STREQ(p.close->label, "Close");
  EXPECT_EQ(p.close->x - box.client->x, (usable_width - p.close->width) / 2);
  EXPECT_EQ(p.close->y - box.client->y + p.close->height, usable_height);
  EXPECT_EQ(p.close->event_mask, BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK);
  // The text window beside the logo, above the button, with the banner's lines linked to "credits".
  EXPECT_EQ(p.text->x - box.client->x, 80);
  EXPECT_EQ(p.text->y - box.client->y, 0);
  EXPECT_EQ(p.text->width, usable_width - 80);
  EXPECT_EQ(p.text->height, usable_height - p.close->height);
  EXPECT_EQ(p.text->capacity, 50);
  EXPECT_EQ(p.text->drawing_flags, TWF_LEFT_JUSTIFY);
  EXPECT_EQ(p.text->background_colour, COLOUR_INVISIBLE);
  ASSERT_GT(p.text->data_count, 3);
  std::string joined;
  for (INT_S16 i = 0; i < p.text->data_count; i++) {
    EXPECT_STREQ(p.text->data_buffer[i].link, "credits");
    joined += std::string(p.text->data_buffer[i].text) + "\n";
  }
  EXPECT_EQ(joined, std::string(build_library_banner(true)) + "\n");  // a trailing line end adds an empty line

  // A box too small for the whole text opens at its first line, as every text window does.
  const char* kept_title = app_descriptor.title;
  app_descriptor.title = "About test";
  WM_ABOUT small(10, 20, 360, 240);
  app_descriptor.title = kept_title;
  WM_TEXT_WIN* text = parts_of(&small).text;
  ASSERT_NE(text->scrollbar, nullptr);
  INT_S16 first = -1, count = 0;
  text->page_span(&first, &count);
  ASSERT_GE(first, 0);
  EXPECT_EQ(std::string(text->screen_buffer[first].text, (size_t)text->screen_buffer[first].length), "About test");

  // A box whose usable height is 275 has its 75-pixel logo 50 below the client's top.
  WM_ABOUT shorter(10, 20, 440, (INT_S16)(320 - (usable_height - 275)));
  PARTS q = parts_of(&shorter);
  EXPECT_EQ(q.logo->y - shorter.client->y, 50);
}

// A label of its own: the button as wide as the label needs and centred, or as wide as the box with a
// longer label.
TEST(AboutBox, TheCloseButtonTakesTheWidthOfItsLabel) {
  REQUIRE_SYSTEM_FONTS();
  WM_TEST_SCREEN screen(640, 480, 1);
  ASSERT_TRUE(load_test_font());
  for (const char* label : {"Close", "Das Installationsprogramm schliessen",
                            "Schliessen Sie dieses Fenster, um zum Installationsprogramm zurueckzukehren"}) {
    SCOPED_TRACE(label);
    WM_ABOUT box(10, 20, 360, 240, label);
    WM_BUTTON* close = box.close_button;
    EXPECT_STREQ(close->label, label);
    const WM_STYLE_SET& s = box.window_style;
    INT_S32 usable_width = 360 - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap;
    INT_S32 needs = text_width(draw_target, close->font_id, close->font_x_size, close->font_y_size, label, -1, false) +
                    close->left_gap + close->right_gap;
    EXPECT_EQ(close->width, std::min(needs, usable_width));
    EXPECT_EQ(close->x - box.client->x, (usable_width - close->width) / 2);
  }
  unload_test_font();
}

std::string clicked;
WM_RESULT record_then_answer(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int value) {
  WM_TEXT_WIN* text = (WM_TEXT_WIN*)object;
  clicked = text->clicked_link ? text->clicked_link : "";
  return WM_ABOUT::on_button(object, user1, user2, value);
}

TEST(AboutBox, CloseActsOnReleaseAndTheBoxGoesWhenItsFadeEnds) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_empty_page();
  WM_ABOUT* box = new WM_ABOUT(-1, -1, -1, -1);
  page_manager->get_root()->add_top_level(box, false);
  for (int i = 0; i < 5; i++) {
    advance_ms(500);
    run_pass();
  }
  ASSERT_TRUE(box->at_rest());
  INT_U32 handle = object_handle(box);

  // A click on the text opens the address and leaves the box open.
  PARTS p = parts_of(box);
  p.text->event_callback = record_then_answer;
  clicked.clear();
  click((INT_S16)(p.text->x + 20), (INT_S16)(p.text->y + p.text->height / 2));
  EXPECT_EQ(clicked, "credits");
  EXPECT_FALSE(box->closing);

  WM_BUTTON* close = box->close_button;
  INT_S16 cx = (INT_S16)(close->x + close->width / 2), cy = (INT_S16)(close->y + close->height / 2);
  press(cx, cy);
  EXPECT_FALSE(box->closing);  // the press alone does not close
  release(cx, cy);
  EXPECT_TRUE(box->closing);
  for (int i = 0; i < 10 && object_from_handle(handle); i++) {
    advance_ms(100);
    run_pass();
  }
  EXPECT_EQ(object_from_handle(handle), nullptr);
  EXPECT_EQ(top_level_list()->count, 0);
  // Other callers' values answer nothing.
  EXPECT_EQ(WM_ABOUT::on_button(nullptr, 3, 0, 0), 0);
}

}  // namespace
