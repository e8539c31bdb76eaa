// Tests of buttons driven through the page manager's pass: the hint style's one-time defaults; sizing
// from the label; press, click, repeat (300 then 30 ms) and release outside; Enter on the focused button
// and the hot key; auto-activate and slide-select; the callback's result; the hover hint after the seconds
// clock moves on and its placement; the state frame drawn in each state and the frames' click mask.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "button.h"
#include "dialog.h"
#include "data_file.h"
#include "folder.h"
#include "font.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "image_cache.h"
#include "grid_test_support.h"
#include "image_file.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_image.h"
#include "script.h"
#include "test_support.h"
#include "wm_test_support.h"

namespace {

struct EVENT_SEEN {
  WM_SCREEN_OBJECT* object;
  INT_U32 user1;
  INT_U32 user2;
  int value;
  INT_U8 released;
  INT_U32 time;
};
std::vector<EVENT_SEEN> events;
WM_RESULT answer = 0;

WM_RESULT record_event(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int value) {
  WM_BUTTON* button = static_cast<WM_BUTTON*>(object);
  events.push_back({object, user1, user2, value, button->released, pass_time});
  return answer;
}

const COLOUR GREY = 0xFF808080, BLACK = 0xFF000000;

// A plain button at (x, y), 40 x 20.
WM_BUTTON* plain_button(INT_S16 x, INT_S16 y, INT_U8 mask, INT_U32 user1 = 1) {
  return new WM_BUTTON(x, y, (INT_S16)(x + 39), (INT_S16)(y + 19), &GREY, &BLACK, "OK", 0, 0, 15, record_event, user1,
                       77, 1, mask);
}

class ButtonTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN* screen = nullptr;
  void SetUp() override {
    screen = new WM_TEST_SCREEN(320, 240, 1);
    events.clear();
    answer = 0;
  }
  void TearDown() override { delete screen; }
};

}  // namespace

TEST(ButtonHintStyle, DefaultsOnceUnlessReady) {
  stop_global_style_sets();
  button_hint_style_ready = 0;
  EXPECT_EQ(button_hint_style->shading_type, 1u);
  prepare_button_hint_style();
  EXPECT_EQ(button_hint_style_ready, 1);
  EXPECT_EQ(button_hint_style->shading_type, 3u);
  EXPECT_EQ(button_hint_style->fg_colour, 0xFF000000u);
  EXPECT_EQ(button_hint_style->bg_colour, 0xFFFFD000u);
  EXPECT_EQ(button_hint_style->fading_colour, 0xFFFF0000u);
  EXPECT_EQ(button_hint_style->shading_flags, 0x000F);
  EXPECT_EQ(button_hint_style->flags, 0x10Bu);

  // A style stored with the flag set keeps its values.
  button_hint_style->bg_colour = 0xFF123456;
  prepare_button_hint_style();
  EXPECT_EQ(button_hint_style->bg_colour, 0xFF123456u);
  stop_global_style_sets();
  button_hint_style_ready = 0;
}

TEST_F(ButtonTest, SizesAndStylesAtConstruction) {
  // Without a loaded font a text is as wide as its bytes; the default border type is 2 pixels wide.
  IMAGE saved_fonts(1, 1);
  saved_fonts.default_font_id = draw_target->default_font_id;
  saved_fonts.default_font_x_size = draw_target->default_font_x_size;
  saved_fonts.default_font_y_size = draw_target->default_font_y_size;
  draw_target->default_font_id = 50;
  draw_target->default_font_x_size = 8;
  draw_target->default_font_y_size = 12;
  WM_BUTTON sized(10, 20, 9, 19, &GREY, &BLACK, "Hello", -1, -1, -1, 0, 0, 15, nullptr, 0, 0, 1, 2);
  EXPECT_EQ(sized.width, 5 + 2 + 2);
  EXPECT_EQ(sized.height, 12 + 2 + 2);
  EXPECT_EQ(sized.font_id, 50);
  EXPECT_EQ(sized.kind & WM_KIND_BUTTON, WM_KIND_BUTTON);
  EXPECT_EQ(sized.hot_key, -1);
  EXPECT_EQ(sized.x_spacing, sized.left_gap);
  EXPECT_EQ(sized.text_colour, BLACK);
  EXPECT_EQ(sized.active_colour, GREY);
  EXPECT_EQ(sized.highlight_colour, GREY);
  EXPECT_EQ(sized.mouse_over_colour, COLOUR_INVISIBLE);

  // set_text: null changes nothing; grow only widens, measured in the default font plus 1.
  EXPECT_FALSE(sized.set_text(nullptr, true));
  EXPECT_STREQ(sized.label, "Hello");
  EXPECT_TRUE(sized.set_text("Hi", true));
  EXPECT_EQ(sized.width, 9);
  EXPECT_TRUE(sized.set_text("Much longer", true));
  EXPECT_EQ(sized.width, 12);

  // The styled form: flags, colours and the click behaviour come from the style; invisible style colours
  // keep the defaults; a disabled style gives a disabled button.
  WM_STYLE_SET style;
  style.shading_type = 3;
  style.bg_colour = 0xFF112233;
  style.active_colour = 0;
  style.fg_colour = 0xFFEEEEEE;
  style.mouse_over_colour = 0xFF445566;
  style.flags = ssf_draw_border | ssf_indent_border | ssf_left_justify_text | ssf_disabled | ssf_wrap_text;
  style.extended_flags = ssef_auto_actiavte | ssef_down_arrow | ssef_indent_when_active;
  style.shading_flags = 0x00F5;
  WM_BUTTON styled(0, 0, 29, 19, &style, "S", "", nullptr, 0, 0, 2);
  EXPECT_EQ(styled.border_type, 3);
  EXPECT_EQ(styled.left_gap, 1);  // border gaps unset: the width of shading type 3
  EXPECT_EQ(styled.active_colour, 0xFF112233u);  // no active colour: the background
  EXPECT_EQ(styled.text_colour, 0xFFEEEEEEu);
  EXPECT_EQ(styled.mouse_over_colour, 0xFF445566u);
  EXPECT_EQ(styled.disabled_colour, COLOUR_INVISIBLE);
  EXPECT_EQ(styled.button_flags, bf_draw_border | bf_left_justify_text | bf_wrap_text | bf_down_arrow);
  EXPECT_EQ(styled.shading_flags, 0x80F5);
  EXPECT_EQ(styled.click_behaviour, CLICK_AUTO_ACTIVATE);
  EXPECT_EQ(styled.enabled, 0);
  EXPECT_EQ(styled.indent_when_active, 1);
  EXPECT_EQ(styled.hint, nullptr);  // an empty hint text gives none
  EXPECT_FALSE(styled.is_focusable());

  // Without ssf_draw_border the edges are 0; auto-depress wins over auto-activate.
  style.flags = ssf_outstanding_border;
  style.extended_flags = ssef_auto_depress | ssef_auto_actiavte;
  WM_BUTTON flat(0, 0, 29, 19, &style, "F", "tip", nullptr, 0, 0, 2);
  EXPECT_EQ(flat.shading_flags, 0);
  EXPECT_EQ(flat.button_flags & bf_draw_border, 0u);
  EXPECT_EQ(flat.click_behaviour, CLICK_AUTO_DEPRESS);
  ASSERT_NE(flat.hint, nullptr);
  EXPECT_EQ(flat.hint->owner, &flat);
  EXPECT_EQ(flat.hint->takes_no_input, 1);
  EXPECT_EQ(flat.hint->not_owned, 1);
  EXPECT_EQ(flat.hint->visible, 0);
  draw_target->default_font_id = saved_fonts.default_font_id;
  draw_target->default_font_x_size = saved_fonts.default_font_x_size;
  draw_target->default_font_y_size = saved_fonts.default_font_y_size;
}

TEST_F(ButtonTest, ClickAndReleaseOutside) {
  WM_BUTTON* button = plain_button(100, 100, BUTTON_EVENT_CLICK | BUTTON_EVENT_RELEASE_OUTSIDE);
  show_as_page({button}, 2);

  press(110, 110);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(button->highlighted, 1);
  EXPECT_EQ(button->armed, 1);
  release(110, 110);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, button);
  EXPECT_EQ(events[0].user1, 1u);
  EXPECT_EQ(events[0].user2, 77u);
  EXPECT_EQ(events[0].released, 1);
  EXPECT_EQ(button->released, 0);
  EXPECT_EQ(button->highlighted, 0);

  // Pressed, moved off and let go: one release-outside event, no click.
  events.clear();
  press(110, 110);
  move_pointer(200, 200);
  release(200, 200);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].released, 1);
  EXPECT_EQ(button->armed, 0);

  // Without the release-outside bit nothing at all; a press that began elsewhere never clicks.
  button->event_mask = BUTTON_EVENT_CLICK;
  events.clear();
  press(110, 110);
  release(200, 200);
  press(200, 200);
  release(110, 110);
  EXPECT_TRUE(events.empty());

  // The right button does nothing to a button.
  click(110, 110, 2);
  EXPECT_TRUE(events.empty());
}

TEST_F(ButtonTest, RepeatAfter300ThenEvery30Ms) {
  WM_BUTTON* button = plain_button(100, 100, BUTTON_EVENT_PRESS | BUTTON_EVENT_REPEAT | BUTTON_EVENT_CLICK);
  show_as_page({button}, 2);
  press(110, 110);
  ASSERT_EQ(events.size(), 1u);  // the press
  INT_U32 pressed_at = events[0].time;
  EXPECT_EQ(events[0].released, 0);
  EXPECT_EQ(pass_asked_in(), 301);  // the held button needs no pass before its first repeat is due

  advance_ms(300);
  run_pass();
  EXPECT_EQ(events.size(), 1u);  // not yet: more than 300 ms are needed
  EXPECT_EQ(pass_asked_in(), 1);
  advance_ms(1);
  run_pass();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].time, pressed_at + 301);
  EXPECT_EQ(pass_asked_in(), 31);
  advance_ms(30);
  run_pass();
  EXPECT_EQ(events.size(), 2u);
  advance_ms(1);
  run_pass();
  EXPECT_EQ(events.size(), 3u);
  // One repeat per pass at most, however long the pass took.
  advance_ms(500);
  run_pass();
  EXPECT_EQ(events.size(), 4u);
  // The release after a repeat is no click, and the released button asks for no pass.
  release(110, 110);
  EXPECT_EQ(events.size(), 4u);
  EXPECT_EQ(pass_asked_in(), -1);
  for (size_t i = 1; i < events.size(); i++) EXPECT_EQ(events[i].released, 0);

  // A new press starts the delay again, and a click follows when no repeat fired.
  events.clear();
  press(110, 110);
  advance_ms(100);
  run_pass();
  release(110, 110);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].released, 1);
}

TEST_F(ButtonTest, EnterOnTheFocusedButtonAndTheHotKey) {
  WM_BUTTON* focused = plain_button(10, 10, BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK, 1);
  WM_BUTTON* other = plain_button(100, 10, BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK, 2);
  focused->focusable = other->focusable = 1;
  show_as_page({focused, other}, 2);
  ASSERT_EQ(focus_object, focused);
  test_seam_pointer(300, 200);  // the pointer is elsewhere

  // The press on the pass where Enter is first seen down, the click on the first pass after it is let go.
  test_seam_key(VKEY_RETURN, true);
  run_pass();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].user1, 1u);
  EXPECT_EQ(events[0].released, 0);
  run_pass();
  EXPECT_EQ(events.size(), 1u);
  test_seam_key(VKEY_RETURN, false);
  run_pass();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].user1, 1u);
  EXPECT_EQ(events[1].released, 1);

  // A button whose hot key is held behaves the same without the focus.
  events.clear();
  other->set_hot_key('K');
  key('K');
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].user1, 2u);
  EXPECT_EQ(events[1].user1, 2u);
  EXPECT_EQ(events[1].released, 1);
  EXPECT_EQ(focus_object, other);  // the press takes the focus

  // A selected button answers Enter as if it had the focus; a disabled one gives nothing.
  events.clear();
  focused->selected = 1;
  key(VKEY_RETURN);  // the selected button's press takes the focus from the other before it sees Enter
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].user1, 1u);
  EXPECT_EQ(events[1].user1, 1u);
  EXPECT_EQ(focus_object, focused);
  events.clear();
  other->enabled = 0;
  key('K');
  EXPECT_TRUE(events.empty());
}

// The focus shows on a focused button once the keyboard moved it (Tab) or works the button (Enter): a
// dotted outline inside the border in the label's colour, on a painted face or a skin alike. A page at
// rest, a mouse press and a new page show it no more.
TEST_F(ButtonTest, TheFocusShowsOnceTheKeyboardMovesIt) {
  FOLDER folder = scratch_folder("button_focus_frames");
  image_cache->clear();
  ASSERT_TRUE(save_solid_picture(&folder, "skin", 8, 8, 0xFF00AA00));
  WM_BUTTON* painted = plain_button(10, 10, BUTTON_EVENT_CLICK, 1);
  WM_BUTTON* skinned = plain_button(100, 10, BUTTON_EVENT_CLICK, 2);
  ASSERT_TRUE(skinned->load_state_frames(&folder, "skin", nullptr));
  painted->focusable = skinned->focusable = 1;
  show_as_page({painted, skinned}, 2);
  test_seam_pointer(300, 200);
  const INT_S16 inset = (INT_S16)(painted->border_width(1) + 1);
  // The first dots of the outline, and the face between two of them.
  auto dotted = [&](WM_BUTTON* b) {
    INT_S16 x = (INT_S16)(b->x + inset), y = (INT_S16)(b->y + inset);
    return screen_pixel(x, y) == BLACK && screen_pixel((INT_S16)(x + 1), y) != BLACK &&
           screen_pixel(x, (INT_S16)(y + 2)) == BLACK;
  };
  ASSERT_EQ(focus_object, painted);
  EXPECT_FALSE(dotted(painted));
  key(VKEY_TAB);
  ASSERT_EQ(focus_object, skinned);
  EXPECT_TRUE(dotted(skinned));
  EXPECT_EQ(screen_pixel((INT_S16)(skinned->x + inset + 1), (INT_S16)(skinned->y + inset)), 0xFF00AA00u);
  key(VKEY_TAB);
  EXPECT_TRUE(dotted(painted));
  EXPECT_FALSE(dotted(skinned));
  click(300, 200);  // a press anywhere: the focus stays, its outline goes
  EXPECT_EQ(focus_object, painted);
  EXPECT_FALSE(dotted(painted));
  EXPECT_EQ(screen_pixel((INT_S16)(painted->x + inset), (INT_S16)(painted->y + inset)), GREY);
  events.clear();
  key(VKEY_RETURN);
  EXPECT_EQ(events.size(), 1u);
  EXPECT_TRUE(dotted(painted));
  screen->manager->rebuild_area(screen->manager->current_area, false);
  EXPECT_EQ(focus_visible, 0);
  image_cache->clear();
}

TEST_F(ButtonTest, AutoActivateAndSlideSelect) {
  WM_BUTTON* hover = new WM_BUTTON(10, 10, 49, 29, &GREY, &BLACK, "A", CLICK_AUTO_ACTIVATE, 0, 15, record_event, 1, 0,
                                   1, BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK);
  show_as_page({hover}, 2);
  move_pointer(20, 20);  // entering is the press
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].value, (int)CLICK_AUTO_ACTIVATE);
  EXPECT_EQ(hover->highlighted, 1);
  move_pointer(200, 200);  // leaving is the click
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].released, 1);
  EXPECT_EQ(hover->highlighted, 0);
  // Pressing the real mouse button over it does nothing.
  events.clear();
  move_pointer(20, 20);
  events.clear();
  click(20, 20);
  EXPECT_TRUE(events.empty());
  delete screen;
  screen = new WM_TEST_SCREEN(320, 240, 1);
  events.clear();

  // Slide-select keys: the click goes to the key under the pointer when the left button is let go.
  WM_BUTTON* a = plain_button(10, 10, BUTTON_EVENT_CLICK, 1);
  WM_BUTTON* b = plain_button(60, 10, BUTTON_EVENT_CLICK, 2);
  a->slide_select = b->slide_select = 1;
  show_as_page({a, b}, 2);
  press(20, 20);
  EXPECT_EQ(a->highlighted, 1);
  move_pointer(70, 20);
  EXPECT_EQ(a->highlighted, 0);
  EXPECT_EQ(b->highlighted, 1);
  EXPECT_EQ(b->armed, 1);
  release(70, 20);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].user1, 2u);
  // With nothing held the highlight follows the pointer too, and a key the pointer rests on stays
  // highlighted without being redrawn pass after pass.
  move_pointer(20, 20);
  EXPECT_EQ(a->highlighted, 1);
  EXPECT_EQ(b->highlighted, 0);
  page_manager->update(false);
  a->process();
  EXPECT_EQ(a->highlighted, 1);
  EXPECT_EQ(redraw_region_count, 0);
}

// The button's process as the input pass of a pass runs it, taking the mouse state shown.
static WM_RESULT input_pass(WM_BUTTON* button) {
  WM_RESULT result = button->process();
  MOUSE_HANDLER::input_pass_done();
  return result;
}

TEST_F(ButtonTest, ProcessAnswersKeepFocusForACallbackThatAnswers0) {
  WM_BUTTON* button = plain_button(10, 10, BUTTON_EVENT_PRESS);
  show_as_page({button}, 2);
  test_seam_pointer(20, 20);
  test_seam_button(1, true);
  EXPECT_EQ(input_pass(button), WM_RESULT_KEEP_FOCUS);
  test_seam_button(1, false);
  input_pass(button);
  answer = 7;
  test_seam_button(1, true);
  EXPECT_EQ(input_pass(button), 7);
  // A slide-select button passes 0 on; without the event in its mask nothing is called.
  test_seam_button(1, false);
  input_pass(button);
  answer = 0;
  button->slide_select = 1;
  test_seam_button(1, true);
  EXPECT_EQ(input_pass(button), 0);
  button->slide_select = 0;
  button->event_mask = BUTTON_EVENT_CLICK;
  test_seam_button(1, false);
  input_pass(button);
  size_t seen = events.size();
  test_seam_button(1, true);
  EXPECT_EQ(input_pass(button), 0);
  EXPECT_EQ(events.size(), seen);
}

TEST_F(ButtonTest, HoverHintAfterTheSecondsClockMovesOn) {
  WM_BUTTON* button = plain_button(100, 100, BUTTON_EVENT_CLICK);
  WM_BUTTON* neighbour = plain_button(140, 100, BUTTON_EVENT_CLICK);
  button->set_hint("Tip");
  neighbour->set_hint("Other");
  show_as_page({button, neighbour}, 2);
  WM_SCRIPT* hint = button->hint;
  ASSERT_NE(hint, nullptr);

  test_seam_set_seconds(5000, 0);
  move_pointer(110, 110);
  EXPECT_EQ(button->hint_x, 110);
  // The wait counts calendar seconds, which the loop cannot wait for: it looks again now and then.
  EXPECT_EQ(pass_asked_in(), (INT_S32)HINT_LOOK_INTERVAL);
  test_seam_set_seconds(5001, 0);
  run_pass();
  EXPECT_FALSE(is_top_level(hint));
  test_seam_set_seconds(5002, 0);
  run_pass();
  ASSERT_TRUE(is_top_level(hint));
  run_pass();
  EXPECT_EQ(pass_asked_in(), -1);  // shown: nothing is due
  EXPECT_EQ(hint->visible, 1);
  EXPECT_EQ(hint->x, 110);
  EXPECT_EQ(hint->y, 100 - hint->height);  // above the button, whose row it leaves free
  // It follows the pointer across while shown.
  move_pointer(112, 105);
  EXPECT_EQ(hint->x, 112);
  EXPECT_EQ(hint->y, 100 - hint->height);

  // Pressing hides it and starts the wait again; no hint while the button is held.
  press(112, 105);
  EXPECT_FALSE(is_top_level(hint));
  test_seam_set_seconds(5010, 0);
  run_pass();
  EXPECT_FALSE(is_top_level(hint));
  release(112, 105);
  test_seam_set_seconds(5012, 0);
  run_pass();
  EXPECT_TRUE(is_top_level(hint));

  // Moving onto the neighbour hides it; the neighbour takes over the wait and shows its hint at once.
  move_pointer(150, 110);
  EXPECT_FALSE(is_top_level(hint));
  EXPECT_EQ(hint->visible, 0);
  EXPECT_EQ(button->hint_x, -1);
  EXPECT_EQ(neighbour->hint_x, 100);  // the corner of the button whose hint was shown
  run_pass();
  EXPECT_TRUE(is_top_level(neighbour->hint));
  move_pointer(300, 10);
  EXPECT_FALSE(is_top_level(neighbour->hint));

  // Never beyond the right or bottom edge of the screen.
  button->move_to(290, 225);
  move_pointer(318, 238);
  test_seam_set_seconds(5020, 0);
  run_pass();
  test_seam_set_seconds(5030, 0);
  run_pass();
  ASSERT_TRUE(is_top_level(hint));
  EXPECT_EQ(hint->x + hint->width, 320);
  EXPECT_LE(hint->y + hint->height, 240);
  EXPECT_GE(hint->x, 0);

  // Hiding the button takes its hint off; replacing the hint deletes the old one.
  button->hide(false, false);
  EXPECT_FALSE(is_top_level(hint));
  button->set_hint("New");
  EXPECT_NE(button->hint, nullptr);
  button->set_hint(nullptr);
  EXPECT_EQ(button->hint, nullptr);
}

// A hint stays inside the dialog that holds its button: above the button, short of the dialog's edge,
// and below the button when there is no room above it.
TEST_F(ButtonTest, HintsStayInsideTheDialogThatHoldsTheButton) {
  static WM_DIALOG_EFFECTS no_effects = {0, 0, 0, 255};
  WM_DIALOG* dialog = new WM_DIALOG(60, 40, 200, 150, nullptr, nullptr, nullptr, nullptr, &no_effects);
  WM_BUTTON* corner = plain_button(215, 165, BUTTON_EVENT_CLICK);  // a neighbour sits at its left
  WM_BUTTON* top = plain_button(70, 42, BUTTON_EVENT_CLICK);
  for (WM_BUTTON* button : {corner, plain_button(170, 165, BUTTON_EVENT_CLICK), top}) {
    button->set_hint("A hint wider than the button");
    dialog->add_child(button, false);
  }
  show_as_page({dialog}, 2);
  for (WM_BUTTON* button : {corner, top}) {
    WM_SCRIPT* hint = button->hint;
    test_seam_set_seconds(6000, 0);
    move_pointer((INT_S16)(button->x + 30), (INT_S16)(button->y + 15));
    test_seam_set_seconds(6010, 0);
    run_pass();
    ASSERT_TRUE(is_top_level(hint) && hint->height > 2);
    EXPECT_TRUE(hint->x >= dialog->x && hint->x + hint->width <= dialog->x + dialog->width);
    EXPECT_TRUE(hint->y >= dialog->y && hint->y + hint->height <= dialog->y + dialog->height);
    // Above the button's row (below it where there is no room above): the button and its neighbour
    // stay uncovered.
    EXPECT_EQ(button == corner ? hint->y + hint->height : hint->y, button == corner ? button->y : button->y + 20);
    move_pointer(5, 5);
  }
}

// A hint wider than the window wraps at the window's width onto the lines it needs, and stays inside it.
TEST_F(ButtonTest, AHintWiderThanTheWindowWrapsInsideIt) {
  REQUIRE_SYSTEM_FONTS();
  ASSERT_TRUE(load_test_font());
  WM_BUTTON* button = plain_button(140, 120, BUTTON_EVENT_CLICK);
  std::string text;
  for (int i = 0; i < 40; i++) text += "word ";
  button->set_hint(text.c_str());
  show_as_page({button}, 2);
  test_seam_set_seconds(7000, 0);
  move_pointer(150, 130);
  test_seam_set_seconds(7010, 0);
  run_pass();
  WM_SCRIPT* hint = button->hint;
  ASSERT_TRUE(is_top_level(hint));
  EXPECT_EQ(hint->x, 0);
  EXPECT_EQ(hint->width, 320);
  EXPECT_TRUE(hint->wraps_in_its_box());
  EXPECT_GT(hint->height, hint->top_gap + hint->bottom_gap + 2 * hint->font_y_size);
  EXPECT_EQ(hint->y + hint->height, 120);  // above the button
  unload_test_font();
}

TEST_F(ButtonTest, HighlightHintAboveTheButton) {
  WM_BUTTON* button = plain_button(100, 100, BUTTON_EVENT_CLICK);
  WM_BUTTON* other = plain_button(10, 10, BUTTON_EVENT_CLICK);
  other->focusable = 1;
  button->set_hint("Up");
  button->hint_mode = 1;
  show_as_page({other, button}, 2);
  ASSERT_EQ(focus_object, other);
  WM_SCRIPT* hint = button->hint;
  press(110, 110);  // highlighted by this pass's press: the hint comes on the next
  EXPECT_FALSE(is_top_level(hint));
  run_pass();
  ASSERT_TRUE(is_top_level(hint));
  EXPECT_EQ(hint->x, 100 + (40 - hint->width) / 2);
  EXPECT_EQ(hint->y, 100 - hint->height);
  release(110, 110);
  run_pass();
  EXPECT_FALSE(is_top_level(hint));
  EXPECT_EQ(focus_object, other);  // the saved focus is put back
}

namespace {

// Writes a solid 8 x 8 picture as a PNG file.
void write_picture(FOLDER* folder, const std::string& name, COLOUR colour) {
  ASSERT_TRUE(save_solid_picture(folder, name.c_str(), 8, 8, colour));
}

const char* const frame_suffixes[BUTTON_FRAME_COUNT] = {"_up",          "_down",          "_disabled",
                                                        "_over",        "_active_up",     "_active_down",
                                                        "_active_disabled", "_active_over", "_highlighted",
                                                        "_flashing",    "_dragging"};

}  // namespace

TEST_F(ButtonTest, TheStateFrameDrawnByState) {
  FOLDER folder = scratch_folder("button_frames");
  char path[FOLDER_PATH_SIZE];
  folder.get_portable_text(path, nullptr);
  image_cache->clear();
  COLOUR colours[BUTTON_FRAME_COUNT];
  for (int i = 0; i < BUTTON_FRAME_COUNT; i++) {
    colours[i] = 0xFF000000u | (INT_U32)(0x101010 * (i + 1));
    write_picture(&folder, std::string("all") + frame_suffixes[i], colours[i]);
  }
  WM_BUTTON* button = plain_button(100, 100, BUTTON_EVENT_CLICK);
  ASSERT_TRUE(button->load_state_frames(path, "all", nullptr));
  for (int i = 0; i < BUTTON_FRAME_COUNT; i++) EXPECT_TRUE(button->state_frames[i].is_loaded()) << i;
  screen_image.set_clip(0, 0, 319, 239);
  // Draws the button and answers the colour at its centre.
  auto drawn_centre = [](WM_BUTTON* b) {
    b->draw();
    return screen_pixel((INT_S16)(b->x + b->width / 2), (INT_S16)(b->y + b->height / 2));
  };

  struct CASE {
    const char* name;
    INT_U8 state, enabled, highlighted, pointer_over, indented;
    int frame;
  } cases[] = {
      {"up", 0, 1, 0, 0, 0, BUTTON_FRAME_UP},
      {"down", 0, 1, 0, 0, 1, BUTTON_FRAME_DOWN},
      {"disabled", 0, 0, 0, 0, 0, BUTTON_FRAME_DISABLED},
      {"over", 0, 1, 0, 1, 0, BUTTON_FRAME_OVER},
      {"active up", 1, 1, 0, 0, 0, BUTTON_FRAME_ACTIVE_UP},
      {"active down", 1, 1, 0, 0, 1, BUTTON_FRAME_ACTIVE_DOWN},
      {"active disabled", 1, 0, 0, 0, 0, BUTTON_FRAME_ACTIVE_DISABLED},
      {"active over", 1, 1, 0, 1, 0, BUTTON_FRAME_ACTIVE_OVER},
      {"highlighted", 1, 0, 1, 1, 1, BUTTON_FRAME_HIGHLIGHTED},
      {"disabled over", 0, 0, 0, 1, 0, BUTTON_FRAME_DISABLED},
      {"down over", 0, 1, 0, 1, 1, BUTTON_FRAME_DOWN},
  };
  for (const CASE& c : cases) {
    button->state = c.state;
    button->enabled = c.enabled;
    button->highlighted = c.highlighted;
    button->pointer_over = c.pointer_over;
    // A border style keeps the indented edge bit it was given.
    button->button_flags = c.indented ? (INT_U32)bf_draw_border : 0u;
    button->shading_flags = c.indented ? 0x800F : 0x000F;
    EXPECT_EQ(drawn_centre(button), colours[c.frame]) << c.name;
  }
  // The focus and selected look like the pointer over it (the flashing and dragging frames never show).
  button->state = 0, button->enabled = 1, button->highlighted = 0, button->pointer_over = 0;
  button->button_flags = 0;
  button->selected = 1;
  EXPECT_EQ(drawn_centre(button), colours[BUTTON_FRAME_OVER]);
  button->selected = 0;
  button->focusable = 1;
  focus_object = button;
  EXPECT_EQ(drawn_centre(button), colours[BUTTON_FRAME_OVER]);
  focus_object = nullptr;
  // Without a border style a highlighted button is indented: with no highlighted frame, the down frame.
  button->state_frames[BUTTON_FRAME_HIGHLIGHTED].clear();
  button->highlighted = 1;
  EXPECT_EQ(drawn_centre(button), colours[BUTTON_FRAME_DOWN]);
  EXPECT_EQ(button->shading_flags & 0x8000, 0x8000);

  // Only up and down: the down frame while highlighted, the up frame otherwise, also disabled or pointed.
  WM_BUTTON* two = plain_button(10, 10, BUTTON_EVENT_CLICK);
  write_picture(&folder, "two_up", 0xFF00AA00);
  write_picture(&folder, "two_down", 0xFF0000AA);
  ASSERT_TRUE(two->load_state_frames(&folder, "two", nullptr));
  struct {
    INT_U8 highlighted, enabled, pointer_over;
    COLOUR expected;
  } fallbacks[] = {{1, 1, 0, 0xFF0000AA}, {0, 1, 0, 0xFF00AA00}, {0, 0, 0, 0xFF00AA00}, {0, 1, 1, 0xFF00AA00}};
  for (const auto& f : fallbacks) {
    two->highlighted = f.highlighted;
    two->enabled = f.enabled;
    two->pointer_over = f.pointer_over;
    EXPECT_EQ(drawn_centre(two), f.expected);
  }

  // Only the bare name: it serves as both up and down.
  write_picture(&folder, "bare", 0xFFAA0000);
  two->free_state_frames();
  EXPECT_FALSE(two->has_state_frames());
  EXPECT_TRUE(two->load_state_frames(&folder, "bare", nullptr));
  EXPECT_TRUE(two->state_frames[BUTTON_FRAME_DOWN].is_loaded());
  EXPECT_FALSE(two->state_frames[BUTTON_FRAME_OVER].is_loaded());

  // A base name too long for its suffixes loads nothing and ends nothing; a null name frees the frames.
  std::string overlong(300, 'n');
  EXPECT_FALSE(two->load_state_frames(path, overlong.c_str(), nullptr));
  EXPECT_FALSE(two->load_state_frames(path, nullptr, nullptr));
  EXPECT_FALSE(two->state_frames[BUTTON_FRAME_UP].is_loaded());
  delete two;
  delete button;
  image_cache->clear();
}

TEST_F(ButtonTest, StyleFramesAndTheClickMask) {
  FOLDER folder = scratch_folder("button_style_frames");
  image_cache->clear();
  // A skin whose up frame has transparent left half: a click there is not on the button.
  IMAGE half(8, 8);
  COLOUR clear = 0x00000000, solid = 0xFF3060C0;
  half.clear(&clear, 1);
  half.fill_rectangle(4, 0, 7, 7, &solid, 0);
  DATA_FILE* file = open_data_file(&folder, "skin_up.png", FILE_MODE_WRITE, 0, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(save_png(&half, file));
  close_data_file(&file);
  write_picture(&folder, "skin", 0xFF202020);

  WM_STYLE_SET style;
  style.bg_colour = GREY;
  folder.get_portable_text(style.image_path, nullptr);
  style.set_image_filename("skin");
  style.load_state_frames();
  ASSERT_TRUE(style.has_frames());
  WM_BUTTON* button = new WM_BUTTON(100, 100, 139, 119, &style, "OK", nullptr, record_event, 1, 0, BUTTON_EVENT_CLICK);
  // The up frame from the style, the down frame from its bare-name frame.
  EXPECT_TRUE(button->has_state_frames());
  EXPECT_EQ(button->state_frames[BUTTON_FRAME_DOWN].mid_mid, style.state_frames[0]->mid_mid);
  show_as_page({button}, 2);
  click(105, 110);
  EXPECT_TRUE(events.empty());
  click(130, 110);
  EXPECT_EQ(events.size(), 1u);
  button->button_flags |= bf_dont_mask_click;
  click(105, 110);
  EXPECT_EQ(events.size(), 2u);
  delete screen;
  screen = nullptr;
  style.free_frames();
  image_cache->clear();
  screen = new WM_TEST_SCREEN(320, 240, 1);
}

TEST_F(ButtonTest, FlashTextFollowsTheBlinkPhase) {
  WM_BUTTON* button = plain_button(10, 10, BUTTON_EVENT_CLICK);
  show_as_page({button}, 2);
  advance_ms(4000 - (pass_time % 4000) + 10);  // the first half of a 4-second cycle
  run_pass();
  EXPECT_EQ(button->flash_state, 0);
  button->flash_text.parse(&button->flash_text.value, "Flash");
  advance_ms(2000);
  run_pass();
  EXPECT_EQ(button->flash_state, 1);
  advance_ms(2000);
  run_pass();
  EXPECT_EQ(button->flash_state, 0);
  // Hidden, or with an empty flash text, the state stays.
  button->hide(false, false);
  advance_ms(2000);
  button->update(false);
  EXPECT_EQ(button->flash_state, 0);
}

// A disabled label without a colour of its own, as a person sees it: chiseled (lighter and darker edges,
// none of its ink) on a mid-tone face; greyed, its colour at half strength, on a dark face or on none,
// where chiseling would all but vanish.
TEST_F(ButtonTest, ADisabledLabelStaysReadableOnADarkFace) {
  REQUIRE_SYSTEM_FONTS();
  ASSERT_TRUE(start_with_system_font(10));
  screen_image.set_clip(0, 0, 319, 239);
  const COLOUR white = 0xFFFFFFFF, light = 0xFFC0C0C0;
  // The lightest and darkest luma inside the button, its border left out.
  auto lumas = [](WM_BUTTON* b, int* least, int* most) {
    *least = 255, *most = 0;
    for (int y = b->y + 4; y < b->y + b->height - 4; y++)
      for (int x = b->x + 4; x < b->x + b->width - 4; x++) {
        INT_U32 p = screen_pixel((INT_S16)x, (INT_S16)y);
        int l = (int)((299 * ((p >> 16) & 0xFF) + 587 * ((p >> 8) & 0xFF) + 114 * (p & 0xFF)) / 1000);
        *least = std::min(*least, l), *most = std::max(*most, l);
      }
  };
  struct CASE {
    const char* name;
    COLOUR face, text;
    int least, most;  // luma range of what the label leaves
  } cases[] = {{"black face", BLACK, white, 0, 127}, {"no face", COLOUR_INVISIBLE, white, 0, 127},
               {"light face", light, BLACK, 192 - 26, 192 + 38}};
  for (const CASE& c : cases) {
    COLOUR black = BLACK;
    screen_image.fill_rectangle(0, 0, 319, 239, &black, 0);
    WM_BUTTON button(20, 20, 219, 59, &c.face, &c.text, "Standard folders", 10, 16, 16, 0, 0, 0, nullptr, 0, 0, 1,
                     BUTTON_EVENT_CLICK);
    button.enabled = 0;
    button.draw();
    int least, most;
    lumas(&button, &least, &most);
    EXPECT_NEAR(least, c.least, 3) << c.name;
    EXPECT_NEAR(most, c.most, 3) << c.name;
  }
  stop_font_system();
}
