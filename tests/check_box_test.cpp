// Tests of check boxes driven through the page manager's pass: "X" and " " in a box without frames, the
// callback's object and value (the new state) from a click on the box or the label, set_state without a
// callback, the box's size with its 10 x 10 minimum, the state shown through the box's state function
// with frames, and hiding, resizing and fitting into a width.
#include <gtest/gtest.h>

#include <vector>

#include "border.h"
#include "button.h"
#include "check_box.h"
#include "dialog.h"
#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "page_manager.h"
#include "style_set.h"
#include "test_support.h"
#include "grid_test_support.h"
#include "text_draw.h"
#include "wm_test_support.h"

namespace {

const COLOUR WHITE = 0xFFFFFFFF, BLACK = 0xFF000000;

class CheckBoxTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN screen{320, 240, 1};
  void SetUp() override {
    event_calls.clear();
    event_answer = 7;  // asks for a rebuild, which the check box does not pass on
  }
};

}  // namespace

TEST_F(CheckBoxTest, ClicksOnBoxAndLabelToggleAndReportTheNewState) {
  WM_CHECK_BOX* check = new WM_CHECK_BOX(20, 30, &WHITE, &BLACK, "Option", -1, 12, 14, record_event_call, 5, 6, 1);
  show_as_page({check}, 2);
  EXPECT_STREQ(check->box->label, "");  // empty until the first change
  EXPECT_EQ(check->state, 0);
  EXPECT_EQ(check->kind & WM_KIND_CHECK_BOX, WM_KIND_CHECK_BOX);

  click(22, 32);  // the box
  ASSERT_EQ(event_calls.size(), 1u);
  EXPECT_EQ(event_calls[0].object, check);
  EXPECT_EQ(event_calls[0].user1, 5u);
  EXPECT_EQ(event_calls[0].user2, 6u);
  EXPECT_EQ(event_calls[0].value, 1);
  EXPECT_EQ(check->state, 1);
  EXPECT_STREQ(check->box->label, "X");
  run_pass();
  EXPECT_EQ(check->box->state, 1);  // the box shows the state through its state function

  click((INT_S16)(check->label->x + 1), (INT_S16)(check->label->y + 1));  // the label toggles the same way
  ASSERT_EQ(event_calls.size(), 2u);
  EXPECT_EQ(event_calls[1].object, check);
  EXPECT_EQ(event_calls[1].value, 0);
  EXPECT_STREQ(check->box->label, " ");

  // set_state: no callback; again in the same state still no callback.
  check->set_state(1);
  check->set_state(1);
  EXPECT_STREQ(check->box->label, "X");
  EXPECT_EQ(event_calls.size(), 2u);
  check->set_state(0);
  EXPECT_STREQ(check->box->label, " ");

  // Whatever the callback answers, the toggle answers 0 to the button.
  EXPECT_EQ(WM_CHECK_BOX::toggle(check->box, object_handle(check), 0, 0), 0);
  EXPECT_EQ(check->state, 1);
  // A handle whose check box is gone finds nothing and does nothing.
  EXPECT_EQ(WM_CHECK_BOX::toggle(nullptr, 0, 0, 0), 0);

  // Only the box takes the focus (the click gave it); the check box is focusable while a child is,
  // unless a child has the focus.
  EXPECT_EQ(check->box->focusable, 1);
  EXPECT_EQ(check->label->focusable, 0);
  EXPECT_EQ(focus_object, check->box);
  EXPECT_FALSE(check->is_focusable());
  focus_object = nullptr;
  EXPECT_TRUE(check->is_focusable());
  check->box->enabled = check->label->enabled = 0;
  EXPECT_FALSE(check->is_focusable());

  // Hiding hides the children too; resizing changes nothing.
  INT_S16 w = check->width, h = check->height;
  check->resize(200, 200, true);
  EXPECT_EQ(check->width, w);
  EXPECT_EQ(check->height, h);
  // Fitting into less width narrows the label alone; a width it has already changes nothing.
  INT_S16 box_width = check->box->width, label_width = check->label->width;
  check->fit_width(w);
  EXPECT_EQ(check->label->width, label_width);
  check->fit_width((INT_S16)(w - 4));
  EXPECT_EQ(check->width, w - 4);
  EXPECT_EQ(check->label->width, label_width - 4);
  EXPECT_EQ(check->label->x + check->label->width, check->x + check->width);
  EXPECT_EQ(check->box->width, box_width);
  check->hide(false, false);
  EXPECT_EQ(check->box->visible, 0);
  EXPECT_EQ(check->label->visible, 0);
}

// Wrapped into less width, the label keeps its words whole on the lines it needs, left-justified, and the
// check box grows in height to them; the box keeps its size, beside the first line.
TEST_F(CheckBoxTest, WrappedIntoLessWidthTheLabelTakesTheLinesItNeeds) {
  ASSERT_TRUE(load_test_font());
  WM_CHECK_BOX check(20, 30, &WHITE, &BLACK, "A shortcut on the desktop for the application", -1, -1, -1, nullptr, 0,
                     0, 1);
  INT_S16 w = check.width, h = check.height, box_height = check.box->height;
  check.wrap_to_width(w);
  EXPECT_EQ(check.height, h);
  EXPECT_EQ(check.label->button_flags & bf_wrap_text, 0u);
  check.wrap_to_width((INT_S16)(w / 2));
  EXPECT_EQ(check.width, w / 2);
  EXPECT_EQ(check.label->x + check.label->width, check.x + check.width);
  EXPECT_EQ(check.label->button_flags & (bf_wrap_text | bf_left_justify_text), (INT_U32)(bf_wrap_text | bf_left_justify_text));
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, check.label->width - check.label->left_gap - check.label->right_gap,
                                     TEXT_MAX_LINES, draw_target->default_font_id, draw_target->default_font_x_size,
                                     draw_target->default_font_y_size, check.label->label, lines);
  EXPECT_GE(count, 2);
  for (INT_S32 i = 0; i < count; i++) EXPECT_EQ(lines[i].flags & TEXT_LINE_ELLIPSIS, 0) << i;
  EXPECT_EQ(check.label->height, count * draw_target->default_font_y_size + check.label->top_gap +
                                     check.label->bottom_gap);
  EXPECT_EQ(check.height, check.label->height);
  EXPECT_EQ(check.box->height, box_height);
  EXPECT_EQ(check.box->y, check.y);
  unload_test_font();
}

// The default look (a style set's black face and white text, no frames) on a black page, with the
// borders' module shades off as the installer has them: every side of the box stands out from the page,
// ticked and unticked (a luminance difference of at least 100).
TEST_F(CheckBoxTest, TheBoxWithoutFramesShowsInBothStates) {
  COLOUR saved_light = border_light_colour, saved_dark = border_dark_colour;
  border_light_colour = border_dark_colour = COLOUR_INVISIBLE;
  WM_STYLE_SET style;
  WM_CHECK_BOX* check = new WM_CHECK_BOX(40, 40, &style, "Option", record_event_call, 1, 2);
  show_as_page({check}, 2);
  const WM_BUTTON* box = check->box;
  auto side_stands_out = [&](int x, int y, int dx, int dy) {
    for (int i = 2; i < (dx ? box->width : box->height) - 2; i++) {
      INT_U32 p = screen_pixel((INT_S16)(x + i * dx), (INT_S16)(y + i * dy));
      if (((p >> 16 & 0xFF) * 299 + (p >> 8 & 0xFF) * 587 + (p & 0xFF) * 114) / 1000 >= 100) return true;
    }
    return false;
  };
  for (int state = 0; state < 2; state++) {
    check->set_state((INT_U8)state);
    run_pass();
    int right = box->x + box->width - 1, bottom = box->y + box->height - 1;
    EXPECT_TRUE(side_stands_out(box->x, box->y, 1, 0) && side_stands_out(box->x, bottom, 1, 0) &&
                side_stands_out(box->x, box->y, 0, 1) && side_stands_out(right, box->y, 0, 1))
        << "state " << state;
  }
  border_light_colour = saved_light;
  border_dark_colour = saved_dark;
}

// A check box is one stop of Tab: its box holds the focus and shows it inside the box in the text colour,
// as every button does; the label shows none.
TEST_F(CheckBoxTest, OneFocusStopShownInTheBox) {
  // On a dialog, whose painted surface is drawn again under what changes.
  WM_DIALOG_EFFECTS no_effects = {0, 300, 1000, 192};
  WM_DIALOG* surface = new WM_DIALOG(0, 0, 320, 240, nullptr, &BLACK, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, 1, &no_effects);
  WM_CHECK_BOX* check = new WM_CHECK_BOX(20, 30, &BLACK, &WHITE, "Option", -1, 12, 14, nullptr, 0, 0, 1);
  surface->add_child(check, false);
  show_as_page({surface}, 2);
  WM_BUTTON* label = check->label;
  WM_BUTTON* box = check->box;
  auto label_outlined = [&] {
    return screen_pixel(label->x, label->y) == WHITE && screen_pixel((INT_S16)(label->x + 1), label->y) == BLACK;
  };
  INT_S16 inset = (INT_S16)(box->border_width(1) + 1);
  auto box_outlined = [&] { return screen_pixel((INT_S16)(box->x + inset), (INT_S16)(box->y + inset)) == WHITE; };
  ASSERT_EQ(focus_object, box);  // the page's first focus, not shown yet
  key(VKEY_TAB);  // round to the box again: the check box is no stop of its own
  ASSERT_EQ(focus_object, box);
  EXPECT_FALSE(label_outlined());
  EXPECT_TRUE(box_outlined());
  key(VKEY_TAB, VKEY_LSHIFT);
  EXPECT_EQ(focus_object, box);
}

TEST_F(CheckBoxTest, BoxSizeAndItsMinimum) {
  IMAGE* target = draw_target;
  INT_S16 saved_x = target->default_font_x_size, saved_y = target->default_font_y_size;
  target->default_font_x_size = 9;
  target->default_font_y_size = 15;
  struct CASE {
    INT_S16 font_x, font_y;
    INT_S16 box_width, box_height, label_left;
  } cases[] = {
      {4, 4, 10, 10, 10 + 2},     // 4 + 2 * 2 = 8, raised to 10; half gap 2
      {12, 20, 16, 24, 16 + 6},   // font plus twice the border width of 2
      {-1, -1, 13, 19, 13 + 4},   // the draw target's default sizes; half of the default x size
      {30, 2, 34, 10, 34 + 15},   // each side has its own minimum
  };
  for (const CASE& c : cases) {
    WM_CHECK_BOX check(100, 50, &WHITE, &BLACK, "Label", -1, c.font_x, c.font_y, nullptr, 0, 0, 1);
    EXPECT_EQ(check.box->width, c.box_width) << c.font_x;
    EXPECT_EQ(check.box->height, c.box_height) << c.font_y;
    EXPECT_EQ(check.label->x, 100 + c.label_left) << c.font_x;
    EXPECT_EQ(check.width, c.label_left + check.label->width);
    EXPECT_EQ(check.height, std::max(c.box_height, check.label->height));
    EXPECT_EQ(check.box->shading_flags, 0x800F);
    EXPECT_EQ(check.label->shading_flags, 0);
    EXPECT_EQ(check.label->background_colour, COLOUR_INVISIBLE);
  }
  target->default_font_x_size = saved_x;
  target->default_font_y_size = saved_y;
}

TEST_F(CheckBoxTest, WithFramesTheBoxTextStaysEmpty) {
  FOLDER folder = scratch_folder("check_box_frames");
  image_cache->clear();
  ASSERT_TRUE(save_solid_picture(&folder, "tick_up", 8, 8, 0xFF00FF00));
  ASSERT_TRUE(save_solid_picture(&folder, "tick_down", 8, 8, 0xFF0000FF));
  WM_STYLE_SET style;
  style.bg_colour = WHITE;
  style.fg_colour = BLACK;
  style.flags = ssf_dont_resize_image;
  folder.get_portable_text(style.image_path, nullptr);
  style.set_image_filename("tick");
  WM_CHECK_BOX* check = new WM_CHECK_BOX(20, 30, &style, "Framed", record_event_call, 1, 2);
  EXPECT_TRUE(check->box->has_state_frames());
  EXPECT_EQ(check->box->button_flags & bf_dont_resize_image, (INT_U32)bf_dont_resize_image);
  show_as_page({check}, 2);
  // The frame keeps its natural 8 x 8 in the middle of the box: only its pixels take the click.
  INT_S16 cx = (INT_S16)(check->box->x + check->box->width / 2), cy = (INT_S16)(check->box->y + check->box->height / 2);
  click((INT_S16)(cx - 6), (INT_S16)(cy - 6));
  EXPECT_EQ(check->state, 0);
  click(cx, cy);
  EXPECT_EQ(check->state, 1);
  EXPECT_STREQ(check->box->label, "");
  run_pass();
  EXPECT_EQ(check->box->state, 1);
  check->set_state(0);
  run_pass();
  EXPECT_EQ(check->box->state, 0);
  EXPECT_STREQ(check->box->label, "");
  screen.manager->get_root()->remove_child(check, true, false);
  image_cache->clear();
}
