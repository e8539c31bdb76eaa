// Tests of the text edit dialog through the page manager's real pass: the short form's edit box style,
// the layout of the buttons, the prompt and the edit box inside the client area, the fit to the screen,
// OK and Cancel reported to the owner's callback (and nothing closing the dialog by itself), and Enter
// in the edit box that does not act as OK.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "button.h"
#include "dialog.h"
#include "grid_test_support.h"
#include "test_support.h"
#include "host.h"
#include "page_manager.h"
#include "redraw.h"
#include "script.h"
#include "style_set.h"
#include "text_edit.h"
#include "text_draw.h"
#include "text_edit_dialog.h"
#include "wm_test_support.h"

namespace {

class TextEditDialogTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN* screen = nullptr;
  void SetUp() override {
    screen = new WM_TEST_SCREEN(640, 480, 1);
    use_on_screen_keyboard = 0;
    event_calls.clear();
    event_answer = 0;
  }
  void TearDown() override {
    delete screen;
    use_on_screen_keyboard = 0xFF;
  }
  WM_TEXT_EDIT_DIALOG* open(WM_TEXT_EDIT_DIALOG* dialog) {
    screen->manager->get_root()->add_top_level(dialog, false);
    settle_effects();
    return dialog;
  }
  static INT_S16 right(WM_SCREEN_OBJECT* object) { return (INT_S16)(object->x + object->width); }
  static INT_S16 bottom(WM_SCREEN_OBJECT* object) { return (INT_S16)(object->y + object->height); }
};

TEST_F(TextEditDialogTest, ShortFormEditBoxIsSunkenWithoutImage) {
  adjust_default_styles();
  default_dialog_button_style->set_image_filename("button_face");
  WM_TEXT_EDIT_DIALOG dialog(-1, -1, 1, record_event_call, 3, nullptr, nullptr, nullptr, 256);
  default_dialog_button_style->set_image_filename(nullptr);
  EXPECT_EQ(dialog.width, 450);
  EXPECT_EQ(dialog.height, 180);
  EXPECT_EQ(dialog.kind & WM_KIND_TEXT_EDIT_DIALOG, (INT_U32)WM_KIND_TEXT_EDIT_DIALOG);
  ASSERT_NE(dialog.edit, nullptr);
  EXPECT_EQ(dialog.edit->draw_flags & (TEXT_EDIT_SUNKEN | TEXT_EDIT_RAISED), TEXT_EDIT_SUNKEN);
  EXPECT_FALSE(dialog.edit->has_frame());
  EXPECT_EQ(dialog.edit->border_type, 4);
  EXPECT_EQ(dialog.edit->max_length, 256);
  EXPECT_STREQ(dialog.ok_button->label, "OK");
  EXPECT_STREQ(dialog.cancel_button->label, "Cancel");
  EXPECT_STREQ(dialog.get_title(), "");  // a null title is the empty one
  EXPECT_EQ(dialog.prompt_lines, 1);
  EXPECT_STREQ(dialog.prompt->text.value.text, "Enter Text");
  EXPECT_EQ(dialog.event_user1, 3u);
  // The dialog's own button style keeps its image name: the edit box had a copy.
  EXPECT_NE(dialog.button_style.image_filename, nullptr);
}

TEST_F(TextEditDialogTest, LayoutInTheClientArea) {
  WM_STYLE_SET edit_style;
  for (INT_S16 height : {180, 100}) {
    WM_TEXT_EDIT_DIALOG dialog(20, 30, 400, height, 2, &edit_style, 1, nullptr, 0, "Go", "Stop", "Name", 10);
    WM_MANAGER* client = dialog.client;
    const WM_STYLE_SET& w = dialog.window_style;
    INT_S16 cw = (INT_S16)(400 - w.border_left_gap - w.border_right_gap - w.cell_left_gap - w.cell_right_gap);
    INT_S16 ch = (INT_S16)(height - dialog.client_top() - w.border_bottom_gap - w.cell_bottom_gap);
    WM_BUTTON* ok = dialog.ok_button;
    WM_BUTTON* cancel = dialog.cancel_button;
    INT_S16 half = (INT_S16)(ok->height / 2);
    ASSERT_GT(half, 0);
    EXPECT_STREQ(ok->label, "Go");
    EXPECT_STREQ(cancel->label, "Stop");
    EXPECT_EQ(right(ok), client->x + cw - half);
    EXPECT_EQ(right(cancel), ok->x - half);
    EXPECT_EQ(ok->y, client->y + ch - 2 * half);
    EXPECT_EQ(cancel->y, ok->y);
    EXPECT_TRUE(ok->focusable);
    EXPECT_TRUE(cancel->focusable);
    // The prompt spans the client less half at each side, two lines high.
    WM_SCRIPT* prompt = dialog.prompt;
    EXPECT_EQ(prompt->x, client->x + half);
    EXPECT_EQ(prompt->width, cw - 2 * half + 1);
    EXPECT_EQ(prompt->height, 2 * draw_target->default_font_y_size + 1);
    EXPECT_EQ(prompt->left_gap, 0);
    EXPECT_TRUE(prompt->draw_flags & SCRIPT_LEFT_JUSTIFY);
    WM_TEXT_EDIT* edit = dialog.edit;
    EXPECT_EQ(edit->x, client->x + half);
    EXPECT_EQ(edit->width, cw - 2 * half);
    INT_S32 space = ch - 5 * half, used = prompt->height + edit->height + half;
    if (space > used) {  // the block is centred in the space above the buttons
      INT_S16 d = (INT_S16)((space - used) / 2);
      EXPECT_EQ(prompt->y, client->y + half + d) << height;
      EXPECT_EQ(edit->y, client->y + 2 * half + prompt->height + d) << height;
    } else {  // the prompt at the top, the edit box half above the buttons
      EXPECT_EQ(prompt->y, client->y + half) << height;
      EXPECT_EQ(bottom(edit), ok->y - half) << height;
    }
    // Children of the client in reading order, which Tab follows: prompt, edit box, Cancel, OK.
    EXPECT_EQ(client->child_at_index(0), prompt);
    EXPECT_EQ(client->child_at_index(1), edit);
    EXPECT_EQ(client->child_at_index(2), cancel);
    EXPECT_EQ(client->child_at_index(3), ok);
  }
}

// Labels too long for the row are shortened (drawn with an ellipsis): both buttons stay inside the
// dialog, half a button apart and from its edges; labels that fit keep their widths.
TEST_F(TextEditDialogTest, LongButtonLabelsStayInsideTheDialog) {
  WM_STYLE_SET edit_style;
  const std::string cancel_label(500, 'c');  // one pixel a character
  for (const char* ok_label : {"OK", "A much longer label for making the folder"}) {
    WM_TEXT_EDIT_DIALOG dialog(20, 30, 400, 180, 1, &edit_style, 1, nullptr, 0, ok_label, cancel_label.c_str(),
                               "Name", 10);
    WM_BUTTON* ok = dialog.ok_button;
    WM_BUTTON* cancel = dialog.cancel_button;
    INT_S16 half = (INT_S16)(ok->height / 2);
    const WM_STYLE_SET& w = dialog.window_style;
    INT_S16 cw = (INT_S16)(400 - w.border_left_gap - w.border_right_gap - w.cell_left_gap - w.cell_right_gap);
    EXPECT_EQ(cancel->x, dialog.client->x + half) << ok_label;
    EXPECT_EQ(right(cancel), ok->x - half);
    EXPECT_EQ(right(ok), dialog.client->x + cw - half);
    EXPECT_EQ(ok->width, (INT_S16)std::strlen(ok_label) + ok->left_gap + ok->right_gap);
  }
}

TEST_F(TextEditDialogTest, WiderThanTheScreenIsFitted) {
  WM_STYLE_SET edit_style;
  WM_TEXT_EDIT_DIALOG wide(100, 50, 900, -1, &edit_style, 1, nullptr, 0, nullptr, nullptr, "T", 20);
  EXPECT_EQ(wide.width, 640);
  EXPECT_EQ(wide.get_x(), 0);
  EXPECT_EQ(wide.height, 180);
  EXPECT_EQ(wide.get_y(), 50);
  WM_TEXT_EDIT_DIALOG tall(100, 50, -1, 700, &edit_style, 1, nullptr, 0, nullptr, nullptr, "T", 20);
  EXPECT_EQ(tall.width, 450);
  EXPECT_EQ(tall.get_x(), 100);
  EXPECT_EQ(tall.height, 480);
  EXPECT_EQ(tall.get_y(), 0);
  // Everything inside lies within the fitted dialog.
  EXPECT_LE(right(wide.ok_button), wide.x + wide.width);
  EXPECT_LE(bottom(tall.ok_button), tall.y + tall.height);
}

// A prompt longer than its line wraps: it takes the rows above the edit box, then the dialog grows at its
// bottom with its middle kept, up to the screen's height; the prompt, the edit box and the buttons stay
// apart, in the dialog.
TEST_F(TextEditDialogTest, ALongPromptTakesTheLinesItNeeds) {
  REQUIRE_SYSTEM_FONTS();
  ASSERT_TRUE(load_test_font());
  std::string words;
  for (int i = 0; i < 400; i++) words += "word ";
  struct {
    size_t length;
    bool grows, whole;
  } cases[] = {{20, false, true}, {70, false, true}, {300, true, true}, {2000, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    WM_TEXT_EDIT_DIALOG dialog(95, 150, 1, nullptr, 0, nullptr, nullptr, "T", 256);
    INT_S32 middle = dialog.get_y() + dialog.height / 2;
    INT_S16 edit_height = dialog.edit->height;
    std::string text = words.substr(0, c.length);
    dialog.set_prompt(text.c_str());
    WM_SCRIPT* prompt = dialog.prompt;
    INT_S8 font;
    INT_S16 size_x, line;
    choose_widget_font(prompt->font_id, prompt->font_x_size, prompt->font_y_size, &font, &size_x, &line);
    TEXT_LINE lines[TEXT_MAX_LINES];
    INT_S32 count = layout_text_in_box(draw_target, prompt->width, TEXT_MAX_LINES, font, size_x, line, text.c_str(), lines);
    EXPECT_EQ(count * line <= prompt->height, c.whole) << count;
    EXPECT_EQ(dialog.height > TEXT_EDIT_DIALOG_HEIGHT, c.grows);
    if (c.whole) EXPECT_LE(std::abs(dialog.get_y() + dialog.height / 2 - middle), 1);
    else EXPECT_EQ(dialog.height, 480);
    INT_S16 half = (INT_S16)(dialog.ok_button->height / 2);
    EXPECT_EQ(dialog.edit->height, edit_height);
    EXPECT_GE(dialog.edit->y, bottom(prompt) - 1 + half);
    EXPECT_LE(bottom(dialog.edit) + half, dialog.ok_button->y);
    EXPECT_LE(bottom(dialog.ok_button), dialog.y + dialog.height);
    EXPECT_GE(dialog.get_y(), 0);
  }
  unload_test_font();
}

TEST_F(TextEditDialogTest, OkAndCancelReportToTheOwner) {
  WM_TEXT_EDIT_DIALOG* dialog =
      open(new WM_TEXT_EDIT_DIALOG(-1, -1, 1, record_event_call, 3, nullptr, nullptr, "New", 50));
  dialog->edit->set_text("folder");
  WM_BUTTON* ok = dialog->ok_button;
  tap(ok);
  ASSERT_EQ(event_calls.size(), 1u);
  EXPECT_EQ(event_calls[0].object, dialog);
  EXPECT_EQ(event_calls[0].user1, 3u);
  EXPECT_EQ(event_calls[0].user2, 1u);
  EXPECT_EQ(dialog->event_user2, 1u);
  WM_BUTTON* cancel = dialog->cancel_button;
  tap(cancel);
  ASSERT_EQ(event_calls.size(), 2u);
  EXPECT_EQ(event_calls[1].user2, 0u);
  EXPECT_EQ(dialog->event_user2, 0u);
  // The dialog stays until the owner's answer closes it.
  settle_effects();
  EXPECT_TRUE(is_top_level(dialog));
  EXPECT_EQ(dialog->visible, 1);
  event_answer = WM_RESULT_REMOVE;
  tap(ok);
  EXPECT_EQ(event_calls.size(), 3u);
  EXPECT_FALSE(is_top_level(dialog));
}

TEST_F(TextEditDialogTest, WithoutCallbackTheButtonsOnlyStoreTheResult) {
  WM_TEXT_EDIT_DIALOG* dialog = open(new WM_TEXT_EDIT_DIALOG(-1, -1, 1, nullptr, 0, nullptr, nullptr, nullptr, 50));
  WM_BUTTON* cancel = dialog->cancel_button;
  dialog->event_user2 = 7;
  tap(cancel);
  EXPECT_EQ(dialog->event_user2, 0u);
  EXPECT_EQ(WM_TEXT_EDIT_DIALOG::on_button(cancel, 1, object_handle(dialog), 0), 0);
  EXPECT_EQ(dialog->event_user2, 1u);
  settle_effects();
  EXPECT_TRUE(is_top_level(dialog));
  // An unknown button number does nothing.
  EXPECT_EQ(WM_TEXT_EDIT_DIALOG::on_button(cancel, 9, object_handle(dialog), 0), 0);
  EXPECT_EQ(dialog->event_user2, 1u);
}

// Enter in the edit box answers as OK does, once it is let go, with the text typed.
TEST_F(TextEditDialogTest, EnterInTheEditBoxAnswersAsOk) {
  WM_TEXT_EDIT_DIALOG* dialog =
      open(new WM_TEXT_EDIT_DIALOG(-1, -1, 1, record_event_call, 3, nullptr, nullptr, nullptr, 50));
  WM_TEXT_EDIT* edit = dialog->edit;
  tap(edit);
  EXPECT_EQ(focus_object, edit);
  type_text("abc");  // one character per pass
  run_passes(3);
  EXPECT_TRUE(event_calls.empty());
  key(VKEY_RETURN);
  ASSERT_EQ(event_calls.size(), 1u);
  EXPECT_EQ(event_calls[0].object, dialog);
  EXPECT_EQ(event_calls[0].user1, 3u);
  EXPECT_EQ(event_calls[0].user2, 1u);
  EXPECT_EQ(dialog->event_user2, 1u);
  EXPECT_STREQ(edit->text.text, "abc");
}

}  // namespace
