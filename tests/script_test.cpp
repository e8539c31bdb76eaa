// Tests of scripts: sizes fitted to the text and the gaps, the measures taken from a style set, set_text
// with and without fitting, frames taken from "%s" or "%s_up" (and nothing for an overlong base name),
// the owner's input first, the flash step, recolouring and the icon beside the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "button.h"
#include "folder.h"
#include "font.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "image_cache.h"
#include "screen_image.h"
#include "script.h"
#include "style_set.h"
#include "test_support.h"
#include "wm_test_support.h"

namespace {

const COLOUR BLACK = 0xFF000000, WHITE = 0xFFFFFFFF;

// A style with the given border gaps (-1 = missing) and font size.
void set_gaps(WM_STYLE_SET* style, INT_S16 left, INT_S16 right, INT_S16 top, INT_S16 bottom) {
  style->border_left_gap = left;
  style->border_right_gap = right;
  style->border_top_gap = top;
  style->border_bottom_gap = bottom;
}

class OwnerObject : public WM_SCREEN_OBJECT {
public:
  WM_RESULT answer = 0;
  int calls = 0;
  OwnerObject() : WM_SCREEN_OBJECT(1, nullptr, 0, 0) {}
  WM_RESULT process() override {
    calls++;
    return answer;
  }
};

}  // namespace

TEST(Script, MeasuresFromAStyleSet) {
  WM_TEST_SCREEN screen(320, 240, 0);
  WM_STYLE_SET style;
  style.font_x_sz = 12;
  style.font_y_sz = 20;
  style.font_id = 60;  // not loaded: a text is as wide as its bytes
  struct CASE {
    INT_S16 left, right, top, bottom, missing;
    INT_S16 horizontal, vertical;
  } cases[] = {{4, -1, -1, -1, 3, 4 + 6, 6}, {-1, -1, 2, -1, 3, 12, 5}, {3, 5, 2, 7, 9, 8, 9}, {-1, 4, 0, 0, 1, 10, 0}};
  for (const CASE& c : cases) {
    set_gaps(&style, c.left, c.right, c.top, c.bottom);
    INT_S16 h = -99, v = -99;
    WM_SCRIPT::horizontal_gaps(&style, &h);
    WM_SCRIPT::vertical_gaps(&style, c.missing, &v);
    EXPECT_EQ(h, c.horizontal) << c.left << "," << c.right;
    EXPECT_EQ(v, c.vertical) << c.top << "," << c.bottom;
  }
  // A fitted size: the text, the gaps and one pixel; a missing vertical gap counts as the border width of
  // the style's shading type (type 1 being the default type, 2 pixels).
  set_gaps(&style, 1, 2, -1, 4);
  style.shading_type = 1;
  INT_S16 w, h;
  WM_SCRIPT::size_for_text(&style, "abcde", &w, &h);
  EXPECT_EQ(w, 5 + 3 + 1);
  EXPECT_EQ(h, 20 + 2 + 4 + 1);
  style.shading_type = 9;
  WM_SCRIPT::size_for_text(&style, nullptr, &w, &h);
  EXPECT_EQ(w, 0 + 3 + 1);
  EXPECT_EQ(h, 20 + 4 + 4 + 1);
}

TEST(Script, SizesAndText) {
  WM_TEST_SCREEN screen(320, 240, 0);
  IMAGE* target = draw_target;
  INT_S8 saved_font = target->default_font_id;
  INT_S16 saved_y = target->default_font_y_size;
  target->default_font_id = 60;
  target->default_font_y_size = 16;
  WM_STYLE_SET style;
  set_gaps(&style, 3, 4, 5, 6);
  WM_SCRIPT empty(0, 0, -1, -1, &style, "");
  EXPECT_EQ(empty.width, 3 + 4);
  EXPECT_EQ(empty.height, 16 + 5 + 6);
  EXPECT_EQ(empty.kind & WM_KIND_SCRIPT, WM_KIND_SCRIPT);
  EXPECT_FALSE(empty.is_focusable());
  WM_SCRIPT fitted(10, 10, 5, 30, &style, "Hello");  // any width below 1 fits the text
  EXPECT_EQ(fitted.width, 5 + 3 + 4);
  EXPECT_EQ(fitted.height, 21);

  // Missing gaps take the border width of the style's shading type; missing spacings the left and top gaps.
  style.shading_type = 9;
  set_gaps(&style, -1, -1, -1, -1);
  style.x_spacing = style.y_spacing = -1;
  WM_SCRIPT defaults(0, 0, 99, 19, &style, "x");
  EXPECT_EQ(defaults.left_gap, 4);
  EXPECT_EQ(defaults.bottom_gap, 4);
  EXPECT_EQ(defaults.x_spacing, 4);
  EXPECT_EQ(defaults.y_spacing, 4);

  // set_text keeps the width without fit and never narrows with it.
  fitted.set_text("A much longer text", false);
  EXPECT_EQ(fitted.width, 12);
  EXPECT_STREQ(fitted.text.value.text, "A much longer text");
  fitted.set_text("A much longer text", true);
  EXPECT_EQ(fitted.width, 19);
  fitted.set_text("ab", true);
  EXPECT_EQ(fitted.width, 19);
  fitted.set_text(nullptr, false);
  EXPECT_STREQ(fitted.text.value.text, "");
  target->default_font_id = saved_font;
  target->default_font_y_size = saved_y;
}

// A text too long for its one line wraps where the script's height holds two lines (the lines taking the
// gaps they need), rather than be shortened with "..." as it is where the height holds one line.
TEST(Script, ATextTooLongForOneLineWrapsWhereTwoLinesFit) {
  REQUIRE_SYSTEM_FONTS();
  WM_TEST_SCREEN screen(320, 240, 0);
  ASSERT_TRUE(start_with_system_font(10));
  screen_image.set_clip(0, 0, 319, 239);
  for (INT_S16 height : {32, 31}) {  // two lines of 16 pixels in the script's height, or not
    COLOUR black = BLACK, white = WHITE;
    screen_image.fill_rectangle(0, 0, 319, 239, &black, 0);
    WM_SCRIPT script(1, nullptr, 0, 0);  // no border: what is drawn is the text
    script.init(10, 10, 209, (INT_S16)(10 + height - 1), "Where shall the application go on this computer?", 10, 16,
                16, &white, &COLOUR_INVISIBLE, 2, 2, 4, 4, 0, 0);
    script.draw();
    int top = 240, bottom = -1;
    for (int y = 0; y < 240; y++)
      for (int x = 0; x < 320; x++)
        if (screen_pixel((INT_S16)x, (INT_S16)y) != BLACK) top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_TRUE((bottom - top + 1 > 16) == (height == 32) && top >= 10 && bottom < 10 + height) << height;
  }
  stop_font_system();
}

TEST(Script, FramesByNameAndFromTheStyle) {
  WM_TEST_SCREEN screen(320, 240, 0);
  FOLDER folder = scratch_folder("script_frames");
  char path[FOLDER_PATH_SIZE];
  folder.get_portable_text(path, nullptr);
  image_cache->clear();
  ASSERT_TRUE(save_solid_picture(&folder, "label_up", 4, 4, 0xFF00FF00));
  ASSERT_TRUE(save_solid_picture(&folder, "label_flashing", 4, 4, 0xFFFF0000));
  {
    WM_SCRIPT script(0, 0, 39, 19, nullptr, "t");
    // "%s" is missing: "%s_up" serves, and the flash frame comes from "%s_flashing".
    EXPECT_TRUE(script.set_style(path, "label", nullptr));
    EXPECT_TRUE(script.flash_frame.is_loaded());
    // An overlong base name loads nothing and ends nothing; a null name releases both frames.
    std::string overlong(300, 'l');
    EXPECT_FALSE(script.set_style(path, overlong.c_str(), nullptr));
    EXPECT_FALSE(script.flash_frame.is_loaded());
    EXPECT_TRUE(script.set_style(&folder, "label", nullptr));
    EXPECT_FALSE(script.set_style(path, nullptr, nullptr));
    EXPECT_FALSE(script.has_frame());

    // From a style with loaded frames: its "%s_up" frame when it has no plain one.
    WM_STYLE_SET style;
    std::snprintf(style.image_path, sizeof(style.image_path), "%s", path);
    style.set_image_filename("label");
    style.load_state_frames();
    ASSERT_TRUE(style.has_frames());
    WM_SCRIPT styled(0, 0, 39, 19, &style, "s");
    EXPECT_TRUE(styled.has_frame());
    EXPECT_EQ(styled.frame.mid_mid, style.state_frames[1]->mid_mid);
    // A framed script counts only solid frame pixels, unless the whole rectangle is asked for.
    EXPECT_TRUE(styled.contains_point(20, 10));
    styled.clear_frames();
    EXPECT_FALSE(styled.has_frame());
  }
  image_cache->clear();
}

TEST(Script, OwnerFlashColoursAndIcon) {
  WM_TEST_SCREEN screen(320, 240, 0);
  screen_image.set_clip(0, 0, 319, 239);
  COLOUR blue = 0xFF0000FF;
  WM_SCRIPT script(true, nullptr, 0, 0);
  script.init(100, 100, 139, 119, "", -1, -1, -1, &BLACK, &blue, 6, 2, 2, 2, -1, -1);
  script.draw_background = 1;

  // The owner's input comes first; a non-zero answer is passed on unchanged.
  OwnerObject owner;
  script.owner = &owner;
  owner.answer = 9;
  EXPECT_EQ(script.process(), 9);
  owner.answer = 0;
  EXPECT_EQ(script.process(), 0);
  EXPECT_EQ(owner.calls, 2);
  script.owner = nullptr;

  // The flash look follows blink bit 0x20 only while the flash text is not empty.
  script.update(false);
  EXPECT_EQ(script.flashing, 0);
  script.flash_text.parse(&script.flash_text.value, "!");
  test_seam_set_ticks(2000, 0);  // t / 2000 odd: bit 0x20 set
  script.update(false);
  EXPECT_EQ(script.flashing, 1);
  // Another pass at that time: the flash's next change is the frame loop's due time.
  test_seam_pass_asked(nullptr, true);
  script.update(false);
  INT_U32 due = 0;
  EXPECT_TRUE(test_seam_pass_asked(&due, true));
  EXPECT_EQ(due, 4000u);
  EXPECT_EQ(blink_phase_next_change(1999, 0x21), 2000u);  // the earliest of the mask's bits
  EXPECT_EQ(blink_phase_next_change(2010, 0x21), 2050u);
  script.flash_text.parse(&script.flash_text.value, "");
  test_seam_set_ticks(4000, 0);
  script.update(false);
  EXPECT_EQ(script.flashing, 1);  // kept once the flash text is emptied
  script.flashing = 0;

  // set_colours: the new background fills the script.
  COLOUR green = 0xFF00FF00;
  script.set_colours(&green, &WHITE, nullptr, false);
  script.draw();
  EXPECT_EQ(screen_pixel(120, 110), green);

  // An icon at the left sits in the left gap's column, centred in it.
  script.icon.set_size(4, 4);
  COLOUR red = 0xFFFF0000;
  script.icon.clear(&red, 1);
  script.draw_flags |= SCRIPT_ICON_LEFT;
  script.draw();
  EXPECT_EQ(screen_pixel(101, 108), red);  // box x .. x + 6: icon at x + 1
  EXPECT_EQ(screen_pixel(104, 108), red);
  EXPECT_EQ(screen_pixel(105, 108), green);
}

namespace {

// The box the red pixels of the screen span within (x1, y1) .. (x2, y2); all -1 when there are none.
struct SPAN {
  int x1, y1, x2, y2;
  bool operator==(const SPAN& o) const { return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2; }
};
SPAN red_span(int x1, int y1, int x2, int y2) {
  SPAN span = {-1, -1, -1, -1};
  for (int y = y1; y <= y2; y++)
    for (int x = x1; x <= x2; x++)
      if (screen_pixel((INT_S16)x, (INT_S16)y) == 0xFFFF0000u) {
        if (span.x1 == -1 || x < span.x1) span.x1 = x;
        if (span.y1 == -1 || y < span.y1) span.y1 = y;
        if (x > span.x2) span.x2 = x;
        if (y > span.y2) span.y2 = y;
      }
  return span;
}

}  // namespace

// An icon attached to the text stands beside it on the side asked for, the text making room for it by
// its alignment; a script and a button place it alike. Text "abcdef" is 6 pixels wide without fonts.
TEST(Script, IconAttachedToTheText) {
  WM_TEST_SCREEN screen(320, 240, 0);
  screen_image.set_clip(0, 0, 319, 239);
  COLOUR blue = 0xFF0000FF, red = 0xFFFF0000;
  struct CASE {
    INT_U32 script_flags, button_flags;
    SPAN script_icon, button_icon;  // the button's 100 pixels to the left
  } cases[] = {
      {SCRIPT_ICON_LEFT | SCRIPT_LEFT_JUSTIFY, bf_icon_left | bf_left_justify_text,
       {106, 128, 109, 130}, {102, 128, 105, 130}},
      {SCRIPT_ICON_LEFT, bf_icon_left, {134, 128, 137, 130}, {134, 128, 137, 130}},
      {SCRIPT_ICON_LEFT | SCRIPT_RIGHT_JUSTIFY, bf_icon_left | bf_right_justify_text,
       {161, 128, 164, 130}, {165, 128, 168, 130}},
      {SCRIPT_ICON_RIGHT | SCRIPT_LEFT_JUSTIFY, bf_icon_right | bf_left_justify_text,
       {117, 128, 120, 130}, {109, 128, 112, 130}},
      {SCRIPT_ICON_RIGHT, bf_icon_right, {145, 128, 148, 130}, {141, 128, 144, 130}},
      {SCRIPT_ICON_RIGHT | SCRIPT_RIGHT_JUSTIFY, bf_icon_right | bf_right_justify_text,
       {172, 128, 175, 130}, {172, 128, 175, 130}},
      {SCRIPT_ICON_TOP | SCRIPT_TOP_ALIGN, bf_icon_top | bf_top_align_text, {139, 102, 142, 104}, {137, 102, 140, 104}},
      {SCRIPT_ICON_TOP, bf_icon_top, {139, 122, 142, 124}, {137, 122, 140, 124}},
      {SCRIPT_ICON_BOTTOM | SCRIPT_BOTTOM_ALIGN, bf_icon_bottom | bf_bottom_align_text,
       {139, 153, 142, 155}, {137, 153, 140, 155}},
      {SCRIPT_ICON_BOTTOM, bf_icon_bottom, {139, 134, 142, 136}, {137, 134, 140, 136}},
      {SCRIPT_ICON_LEFT | SCRIPT_ICON_BOTTOM | SCRIPT_TOP_ALIGN, bf_icon_left | bf_icon_bottom | bf_top_align_text,
       {134, 113, 137, 115}, {134, 113, 137, 115}},
  };
  for (const CASE& c : cases) {
    WM_SCRIPT script(true, nullptr, 0, 0);
    script.init(100, 100, 179, 159, "abcdef", -1, -1, 10, &blue, &blue, 6, 2, 2, 2, -1, -1);
    script.draw_background = 1;
    script.icon.set_size(4, 3);
    script.icon.clear(&red, 1);
    script.draw_flags |= c.script_flags | SCRIPT_ICON_ATTACH_TO_TEXT;
    script.draw();
    EXPECT_EQ(red_span(100, 100, 179, 159), c.script_icon) << std::hex << c.script_flags;

    WM_BUTTON button(200, 100, 279, 159, &blue, &blue, "abcdef", -1, -1, 10, CLICK_NORMAL,
                     c.button_flags | bf_icon_attach_to_text, 0, nullptr, 0, 0, 1, 0);
    button.icon.set_size(4, 3);
    button.icon.clear(&red, 1);
    button.draw();
    SPAN icon = red_span(200, 100, 279, 159);
    icon.x1 -= 100, icon.x2 -= 100;
    EXPECT_EQ(icon, c.button_icon) << std::hex << c.button_flags;
  }
}
