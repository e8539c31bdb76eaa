// Tests of the text edit through the page manager's real pass: the character filters' accept sets, the
// box built from a style, the first character shown, clicks and drags, the editing keys with Shift and
// Ctrl, typed characters, the clipboard keys, select all and undo, Enter, the password display and the
// guards around the length and the selection. Boxes use DejaVu Sans Mono, so that every character has
// the same advance M and positions are exact; the tests of the "W" rule use the proportional face.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "folder.h"
#include "font.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "shell.h"
#include "style_set.h"
#include "test_support.h"
#include "text_draw.h"
#include "text_edit.h"
#include "text_edit_dialog.h"
#include "wm_test_support.h"

namespace {

// ---------------------------------------------------------------------------------------------------
// Character filters

std::string accepted(WM_CHAR_FILTER filter) {
  std::string out;
  for (int c = 1; c < 256; c++)
    if (filter((INT_U16)c)) out += (char)c;
  return out;
}

TEST(TextEditFilters, AcceptSets) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const std::string digits = "0123456789";
  auto sorted = [](std::string s) {
    std::sort(s.begin(), s.end(), [](char a, char b) { return (unsigned char)a < (unsigned char)b; });
    return s;
  };
  std::string latin1_upper;
  for (int c = 0xA0; c <= 0xFF; c++) latin1_upper += (char)c;
  struct ROW {
    WM_CHAR_FILTER filter;
    std::string expected;
  } rows[] = {
      {is_text_char, " !#$%()+-.:;=@[]^_`{}~" + digits + letters + latin1_upper},
      {is_numeric_char, "+-." + digits},
      {is_name_char, "'-" + letters + "\x7F"},
      {is_name_char_with_space, " '-" + letters + "\x7F"},
      {is_alnum_char_with_space, " '-" + digits + letters + "\x7F"},
  };
  for (const ROW& row : rows) EXPECT_EQ(accepted(row.filter), sorted(row.expected));
  // The characters a folder name must not hold and the upper half's control codes are refused by the
  // folder filter, which takes the Latin-1 letters and signs; the other filters refuse the upper half.
  for (char c : std::string("/\\*?\"<>|,")) EXPECT_FALSE(is_text_char((INT_U8)c)) << c;
  EXPECT_FALSE(is_numeric_char('e'));
  EXPECT_FALSE(is_name_char(' '));
  EXPECT_FALSE(is_name_char('5'));
  for (int c = 0x80; c < 0x100; c++)
    for (const ROW& row : rows) EXPECT_EQ(row.filter((INT_U16)c), row.filter == is_text_char && c >= 0xA0) << c;
}

// ---------------------------------------------------------------------------------------------------
// A page holding a focusable placeholder (which takes the focus first) and the boxes a test builds.

std::function<void(WM_MANAGER*)> page_builder;
void build_page(WM_PAGE_MANAGER* manager) {
  WM_SCREEN_OBJECT* placeholder = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  placeholder->x = 300, placeholder->y = 200, placeholder->width = placeholder->height = 5;
  placeholder->focusable = 1;
  manager->get_root()->add_child(placeholder, false);
  if (page_builder) page_builder(manager->get_root());
}

const COLOUR WHITE = 0xFFFFFFFF, BLACK = 0xFF000000, RED = 0xFFFF0000, BLUE = 0xFF0000FF;

const INT_S8 MONO = 8;  // DejaVuSansMono.ttf

class TextEditTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN* screen = nullptr;
  WM_STYLE_SET style;
  INT_S16 M = 0;  // the advance of every character

  void SetUp() override {
    REQUIRE_SYSTEM_FONTS();
    screen = new WM_TEST_SCREEN(320, 240, 1);
    FOLDER fonts;
    ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
    set_named_path("$FONTDATA", &fonts);
    start_font_system();
    ASSERT_TRUE(font_loaded(MONO));
    ASSERT_TRUE(font_loaded(DEFAULT_FONT_ID));
    M = (INT_S16)text_width(draw_target, MONO, 10, 10, "W", -1, false);
    ASSERT_GT(M, 2);
    use_on_screen_keyboard = 0;
    event_calls.clear();
    event_answer = 0;
    set_clipboard_text("");
    style.border_left_gap = style.border_right_gap = style.border_top_gap = style.border_bottom_gap = 2;
    style.font_id = MONO;
    style.font_x_sz = style.font_y_sz = 10;
    style.fg_colour = BLACK;
    style.bg_colour = WHITE;
    style.active_text_colour = RED;  // the cursor
    style.highlight_colour = BLUE;   // the selection band
    style.flags = 0;
    style.extended_flags = 0;
  }
  void TearDown() override {
    page_builder = nullptr;
    delete screen;
    use_on_screen_keyboard = 0xFF;
    stop_font_system();
    remove_named_path("$FONTDATA");
  }

  // Pointer x of the boundary before character k of a box at (10, 10) showing from its start.
  INT_S16 X(int k) const { return (INT_S16)(12 + k * M); }
  // A box at (10, 10) whose text area starts at x = 12; the default width leaves room for ten characters.
  WM_TEXT_EDIT* show_box(const char* text, INT_S16 max_length = 40, INT_S16 width = -1) {
    if (width == -1) width = (INT_S16)(10 * M + 5);
    WM_TEXT_EDIT* box = nullptr;
    page_builder = [&](WM_MANAGER* root) {
      box = new WM_TEXT_EDIT(10, 10, width, max_length, text, &style, record_event_call, 7, 8);
      root->add_child(box, false);
    };
    screen->manager->set_page(0, build_page, nullptr, 0, nullptr, 0, 0, nullptr);
    run_passes(2);
    return box;
  }
  // Focus given by a click; the click selects everything.
  WM_TEXT_EDIT* focused_box(const char* text, INT_S16 max_length = 40, INT_S16 width = -1) {
    WM_TEXT_EDIT* box = show_box(text, max_length, width);
    click(12, 12);
    return box;
  }
  static void type_with_control(const char* text) {
    test_seam_key(VKEY_LCONTROL, true);
    type_text(text);
    test_seam_key(VKEY_LCONTROL, false);
    run_pass();
  }
  static std::string text_of(WM_TEXT_EDIT* box) { return box->text.text ? box->text.text : ""; }
  static std::string clipboard() {
    char buffer[1100] = {0};
    get_clipboard_text(buffer, sizeof buffer);
    return buffer;
  }
};

TEST_F(TextEditTest, BuiltFromTheStyle) {
  style.visible = 0;  // a new edit box is visible whatever its style says
  style.shading_type = 4;
  style.flags = ssf_draw_border | ssf_indent_border | ssf_darkened_background;
  style.extended_flags = ssef_te_password;
  style.object_colour = 0xFF123456;
  test_seam_key(VKEY_RETURN, true);  // the key that led to the box is dropped
  WM_TEXT_EDIT box(5, 6, 100, 4, "abcdef", &style, nullptr, 0, 0);
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);
  EXPECT_EQ(box.visible, 1);
  EXPECT_EQ(box.kind & WM_KIND_TEXT_EDIT, (INT_U32)WM_KIND_TEXT_EDIT);
  EXPECT_EQ(box.border_type, 4);
  EXPECT_EQ(box.draw_flags, TEXT_EDIT_SUNKEN | TEXT_EDIT_PASSWORD | TEXT_EDIT_DARKENED);
  EXPECT_EQ(box.height, 2 + 2 + 10);  // the height follows from the font and the margins
  EXPECT_EQ(box.width, 100);
  EXPECT_EQ(text_of(&box), "abcd");   // cut to the maximum length
  EXPECT_EQ(box.cursor, 4);
  EXPECT_EQ(box.colour, 0xFF123456u);
  EXPECT_EQ(box.cursor_colour, RED);
  EXPECT_EQ(box.selection_colour, BLUE);
  EXPECT_EQ(box.editable, 1);
  EXPECT_TRUE(box.is_focusable());
  box.editable = 0;
  EXPECT_FALSE(box.is_focusable());

  // Defaults: -1 margins are the border width of the box's own type, colours without alpha are not taken.
  WM_STYLE_SET plain;
  plain.shading_type = 3;
  plain.border_left_gap = plain.border_right_gap = plain.border_top_gap = plain.border_bottom_gap = -1;
  plain.font_y_sz = 10;
  plain.fg_colour = BLACK;
  plain.bg_colour = BLACK;
  plain.active_text_colour = 0;
  plain.highlight_colour = 0;
  WM_TEXT_EDIT defaults(0, 0, 50, 10, nullptr, &plain, nullptr, 0, 0);
  EXPECT_EQ(defaults.border_left, 1);
  EXPECT_EQ(defaults.height, 12);
  EXPECT_EQ(defaults.cursor_colour, BLACK);              // the text colour
  EXPECT_NE(defaults.selection_colour, BLACK);           // moved away from the background
  EXPECT_EQ(text_of(&defaults), "");
}

TEST_F(TextEditTest, SetTextAndMaxLength) {
  WM_TEXT_EDIT box(0, 0, 50, 10, "hello", &style, nullptr, 0, 0);
  box.hide(false, false);
  box.set_text("abcdefghijklmno");  // cut to 10, cursor at the end, visible again
  EXPECT_EQ(text_of(&box), "abcdefghij");
  EXPECT_EQ(box.cursor, 10);
  EXPECT_EQ(box.visible, 1);
  box.set_text(nullptr);
  EXPECT_EQ(text_of(&box), "");
  EXPECT_EQ(box.cursor, 0);

  box.set_text("abcde");
  box.cursor = 1;
  box.set_max_length(0);  // nothing
  EXPECT_EQ(box.max_length, 10);
  box.set_max_length(3);  // cut, cursor at the new end wherever it was
  EXPECT_EQ(text_of(&box), "abc");
  EXPECT_EQ(box.cursor, 3);
  box.cursor = 1;
  box.set_max_length(8);  // longer: text and cursor stay
  EXPECT_EQ(box.cursor, 1);
  EXPECT_EQ(box.max_length, 8);

  // A selection never reaches past a text that became shorter.
  box.set_text("abcdefgh");
  box.selection_start = 2;
  box.selection_end = 8;
  box.set_max_length(4);
  EXPECT_EQ(box.selection_start, 2);
  EXPECT_EQ(box.selection_end, 4);
  box.set_text("ab");
  EXPECT_EQ(box.selection_start, -1);
  EXPECT_EQ(box.selection_end, -1);
}

TEST_F(TextEditTest, FirstShownCharacterKeepsTheCursorInView) {
  WM_TEXT_EDIT* box = focused_box("abcdefghijklmnopqrstuvwxyz0123");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->cursor, 30);
  EXPECT_EQ(box->first_shown_char(), 20);
  key(VKEY_HOME);
  EXPECT_EQ(box->cursor, 0);
  EXPECT_EQ(box->first_shown_char(), 0);
  box->cursor = 15;
  EXPECT_EQ(box->first_shown_char(), 5);
  key(VKEY_END);
  EXPECT_EQ(box->first_shown_char(), 20);
  EXPECT_EQ(box->char_left_edge(20, 25), X(5));
  // Pointer positions map to the shown characters; left and right of the text area to 0 and the end.
  EXPECT_EQ(box->char_index_at(X(3)), 23);
  EXPECT_EQ(box->char_index_at((INT_S16)(X(3) + M / 2 + 1)), 24);  // right of a character's middle: after it
  EXPECT_EQ(box->char_index_at(11), 0);
  EXPECT_EQ(box->char_index_at((INT_S16)(10 + box->width - 2)), 30);

  // A box narrower than its margins shows from the cursor on and never past the text.
  WM_TEXT_EDIT narrow(0, 0, 3, 40, "abcdef", &style, nullptr, 0, 0);
  EXPECT_EQ(narrow.inner_width(), -2);
  EXPECT_EQ(narrow.first_shown_char(), 6);
  narrow.cursor = 2;
  EXPECT_EQ(narrow.first_shown_char(), 2);
}

TEST_F(TextEditTest, ClicksFocusThenPlaceTheCursor) {
  WM_TEXT_EDIT* box = show_box("hello");
  EXPECT_NE(focus_object, box);
  click(X(2), 12);  // the first click only gives the focus and selects all
  EXPECT_EQ(focus_object, box);
  EXPECT_EQ(box->selection_start, 0);
  EXPECT_EQ(box->selection_end, 5);
  EXPECT_EQ(box->cursor, 5);
  EXPECT_EQ(text_of(box), "hello");
  click(X(2), 12);  // a click on the focused box drops the selection and places the cursor
  EXPECT_EQ(box->selection_start, -1);
  EXPECT_EQ(box->cursor, 2);
  // Typed characters queued before a press are dropped by it.
  test_seam_type("zz");
  click(X(4), 12);
  EXPECT_EQ(text_of(box), "hello");
  EXPECT_EQ(box->cursor, 4);
  // Losing the focus drops the selection on the next pass.
  box->selection_start = 0, box->selection_end = 2;
  key(VKEY_TAB);
  EXPECT_NE(focus_object, box);
  EXPECT_EQ(box->selection_start, -1);
}

TEST_F(TextEditTest, DragSelects) {
  WM_TEXT_EDIT* box = focused_box("abcdefgh");
  click(X(1), 12);  // cursor 1, no selection
  press(X(1), 12);
  move_pointer(X(3), 12);
  move_pointer(X(6), 12);
  EXPECT_EQ(box->selection_start, 1);
  EXPECT_EQ(box->selection_end, 6);
  EXPECT_EQ(box->cursor, 6);
  move_pointer((INT_S16)(X(1) + 1), 12);  // back by the anchor: equal ends are no selection
  EXPECT_EQ(box->cursor, 1);
  EXPECT_EQ(box->selection_start, -1);
  release(X(1), 12);
  EXPECT_EQ(box->drag_x, -1);
}

TEST_F(TextEditTest, CursorKeysWithShiftAndCtrl) {
  WM_TEXT_EDIT* box = focused_box("ab cd");
  key(VKEY_END);  // End without Shift drops the selection from the focus
  EXPECT_EQ(box->selection_start, -1);
  EXPECT_EQ(box->cursor, 5);
  key(VKEY_LEFT, VKEY_LCONTROL);  // just before the space
  EXPECT_EQ(box->cursor, 2);
  key(VKEY_LEFT, VKEY_RCONTROL);
  EXPECT_EQ(box->cursor, 0);
  key(VKEY_LEFT);  // never below 0
  EXPECT_EQ(box->cursor, 0);
  key(VKEY_RIGHT, VKEY_LCONTROL);
  EXPECT_EQ(box->cursor, 2);
  key(VKEY_RIGHT, VKEY_LCONTROL);
  EXPECT_EQ(box->cursor, 5);
  key(VKEY_RIGHT);  // never beyond the end
  EXPECT_EQ(box->cursor, 5);

  key(VKEY_HOME);
  key(VKEY_RIGHT, VKEY_LSHIFT);  // Shift+Right then Shift+Left: back at the anchor, no selection
  EXPECT_EQ(box->selection_start, 0);
  EXPECT_EQ(box->selection_end, 1);
  key(VKEY_LEFT, VKEY_RSHIFT);
  EXPECT_EQ(box->cursor, 0);
  EXPECT_EQ(box->selection_start, -1);
  key(VKEY_END, VKEY_LSHIFT);  // Shift+End selects to the end, Ctrl+Shift+Left shrinks it
  EXPECT_EQ(box->selection_start, 0);
  EXPECT_EQ(box->selection_end, 5);
  key(VKEY_LEFT, VKEY_LSHIFT, VKEY_LCONTROL);
  EXPECT_EQ(box->selection_end, 2);
  key(VKEY_RIGHT);  // a move without Shift drops it
  EXPECT_EQ(box->selection_start, -1);
  EXPECT_EQ(box->cursor, 3);

  // Up and Down are not the box's: they stay pending for other objects.
  test_seam_key(VKEY_UP, true);
  run_pass();
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, VKEY_UP);
  test_seam_key(VKEY_UP, false);
}

TEST_F(TextEditTest, TypingDeletingAndTheLimit) {
  WM_TEXT_EDIT* box = focused_box("hello", 6);
  box->notify_changes = 1;
  type_text("X");  // typing into the selection replaces it
  EXPECT_EQ(text_of(box), "X");
  EXPECT_EQ(box->cursor, 1);
  ASSERT_EQ(event_calls.size(), 1u);
  EXPECT_EQ(event_calls[0].object, box);
  EXPECT_EQ(event_calls[0].user1, 7u);
  EXPECT_EQ(event_calls[0].user2, 8u);
  EXPECT_EQ(event_calls[0].value, 0);
  type_text("y");
  type_text("z");
  EXPECT_EQ(text_of(box), "Xyz");
  key(VKEY_HOME);
  key(VKEY_DELETE);
  EXPECT_EQ(text_of(box), "yz");
  type_text("\x08");  // backspace at 0 does nothing and reports nothing
  size_t before = event_calls.size();
  EXPECT_EQ(text_of(box), "yz");
  EXPECT_EQ(event_calls.size(), before);
  key(VKEY_END);
  key(VKEY_DELETE);  // Delete at the end does nothing
  EXPECT_EQ(event_calls.size(), before);
  type_text("\x08");
  EXPECT_EQ(text_of(box), "y");
  EXPECT_EQ(event_calls.size(), before + 1);
  for (const char* c : {"1", "2", "3", "4", "5", "6"}) type_text(c);  // full at 6: the last is dropped
  EXPECT_EQ(text_of(box), "y12345");
  EXPECT_EQ(box->cursor, 6);
  type_text("\x01");  // control characters and 0x7F are ignored
  type_text("\x7F");
  EXPECT_EQ(text_of(box), "y12345");
  // Shift+Home then Delete removes the selection; the cursor goes back over what was before it.
  key(VKEY_LEFT);
  key(VKEY_LEFT);
  key(VKEY_HOME, VKEY_LSHIFT);
  key(VKEY_END, VKEY_LSHIFT);
  key(VKEY_LEFT, VKEY_LSHIFT);  // anchor 4, end 5
  key(VKEY_DELETE);
  EXPECT_EQ(text_of(box), "y1235");
  EXPECT_EQ(box->cursor, 4);
  // A refused character leaves everything as it was.
  box->char_filter = is_numeric_char;
  type_text("a");
  EXPECT_EQ(text_of(box), "y1235");
  type_text("7");
  EXPECT_EQ(text_of(box), "y12375");
}

TEST_F(TextEditTest, ClipboardSelectAllAndUndo) {
  WM_TEXT_EDIT* box = focused_box("one two", 10);
  box->notify_changes = 1;
  type_with_control("c");  // the focus selected everything
  EXPECT_EQ(clipboard(), "one two");
  key(VKEY_HOME);
  key(VKEY_RIGHT, VKEY_LSHIFT, VKEY_LCONTROL);  // "one"
  type_with_control("x");
  EXPECT_EQ(clipboard(), "one");
  EXPECT_EQ(text_of(box), " two");
  EXPECT_EQ(box->cursor, 0);
  size_t before = event_calls.size();
  EXPECT_GE(before, 1u);
  type_with_control("x");  // without a selection: nothing
  EXPECT_EQ(event_calls.size(), before);
  key(VKEY_END);
  type_with_control("v");
  EXPECT_EQ(text_of(box), " twoone");
  EXPECT_EQ(box->cursor, 7);
  set_clipboard_text("0123456789");  // room for 3: the first 3
  type_with_control("v");
  EXPECT_EQ(text_of(box), " twoone012");
  EXPECT_EQ(box->cursor, 10);
  type_with_control("a");
  EXPECT_EQ(box->selection_start, 0);
  EXPECT_EQ(box->selection_end, 10);
  // Pasting letters through the numeric filter replaces the selection with nothing, and still reports.
  box->char_filter = is_numeric_char;
  set_clipboard_text("abc");
  before = event_calls.size();
  type_with_control("v");
  EXPECT_EQ(text_of(box), "");
  EXPECT_EQ(event_calls.size(), before + 1);
  set_clipboard_text("a1b2");
  type_with_control("v");
  EXPECT_EQ(text_of(box), "12");
  // Undo brings back the text the box had when it gained the focus, selected.
  type_with_control("z");
  EXPECT_EQ(text_of(box), "one two");
  EXPECT_EQ(box->selection_start, 0);
  EXPECT_EQ(box->selection_end, 7);
  // Ctrl+A on an empty box selects nothing; c, v, x, a, z without Ctrl are plain characters.
  box->char_filter = nullptr;
  box->set_text("");
  type_with_control("a");
  EXPECT_EQ(box->selection_start, -1);
  type_text("a");
  type_text("z");
  EXPECT_EQ(text_of(box), "az");
}

TEST_F(TextEditTest, EnterActsOnceWhenLetGo) {
  WM_TEXT_EDIT* box = focused_box("go");
  size_t before = event_calls.size();
  test_seam_key(VKEY_RETURN, true);
  run_passes(3);  // held: nothing yet, the key stays pending
  EXPECT_EQ(event_calls.size(), before);
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, VKEY_RETURN);
  test_seam_key(VKEY_RETURN, false);
  run_passes(2);
  ASSERT_EQ(event_calls.size(), before + 1);
  EXPECT_EQ(event_calls.back().object, box);
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);
  // A box that is not editable takes no input at all.
  box->editable = 0;
  type_text("x");
  key(VKEY_RETURN);
  EXPECT_EQ(event_calls.size(), before + 1);
  EXPECT_EQ(text_of(box), "go");
}

// Characters typed while no box has the focus go to no box: a box that takes the focus later (by Tab or
// as the field of a dialog that opens), a page that is built and a dialog that opens drop them.
TEST_F(TextEditTest, TakesOnlyWhatIsTypedWhileItHasTheFocus) {
  WM_TEXT_EDIT* box = show_box("");
  ASSERT_NE(focus_object, box);  // the page's placeholder has it
  type_text("  ");
  key(VKEY_TAB);
  ASSERT_EQ(focus_object, box);
  type_text("a");
  EXPECT_EQ(text_of(box), "a");

  KEYBOARD_HANDLER keyboard;
  test_seam_type("xy");
  page_builder = nullptr;  // the page built again holds its placeholder alone
  screen->manager->rebuild_area(screen->manager->current_area, false);
  EXPECT_EQ(keyboard.read_char(), 0);
  type_text(" q");
  WM_TEXT_EDIT_DIALOG* naming = new WM_TEXT_EDIT_DIALOG(-1, -1, 1, nullptr, 0, nullptr, nullptr, "Name", 256);
  test_seam_type("xy");  // after the page's pass, before the dialog opens
  screen->manager->get_root()->add_top_level(naming, false);
  EXPECT_EQ(keyboard.read_char(), 0);
  settle_effects();
  ASSERT_EQ(focus_object, naming->edit);
  type_text("F");
  EXPECT_EQ(text_of(naming->edit), "F");
}

TEST_F(TextEditTest, PasswordStyleKeepsNoSelectionAndIgnoresCursorKeys) {
  style.extended_flags = ssef_te_password;
  WM_TEXT_EDIT* box = focused_box("secret");
  run_pass();
  EXPECT_EQ(box->selection_start, -1);  // never survives a pass
  box->cursor = 3;
  for (INT_S32 k : {VKEY_HOME, VKEY_END, VKEY_LEFT, VKEY_RIGHT}) key(k);
  EXPECT_EQ(box->cursor, 3);
  type_with_control("a");
  type_with_control("c");
  EXPECT_EQ(clipboard(), "");  // nothing to copy
  type_text("X");
  EXPECT_EQ(text_of(box), "secXret");
}

TEST_F(TextEditTest, CursorLineDrawnOnlyWithTheFocus) {
  WM_TEXT_EDIT* box = show_box("abc");
  // y 10..23; the text line from y 12, 10 pixels high.
  auto red_columns = [] {
    std::vector<int> columns;
    for (INT_S16 x = 10; x < 10 + 10 * 20; x++)
      if (screen_pixel(x, 16) == RED) columns.push_back(x);
    return columns;
  };
  EXPECT_TRUE(red_columns().empty());
  EXPECT_EQ(screen_pixel(11, 11), WHITE);  // the background fill
  click(X(0), 12);
  click(X(1), 12);  // cursor 1: its line at the left edge of character 1
  EXPECT_EQ(red_columns(), std::vector<int>{X(1)});
  EXPECT_EQ(screen_pixel(X(1), 12), RED);
  EXPECT_EQ(screen_pixel(X(1), 21), RED);
  EXPECT_NE(screen_pixel(X(1), 22), RED);
  // In password style the cursor stands after `cursor` asterisks, one pixel in.
  box->draw_flags |= TEXT_EDIT_PASSWORD;
  box->cursor = 2;
  box->show();
  run_pass();
  EXPECT_EQ(red_columns(), std::vector<int>{X(2) + 1});  // M is the asterisk's advance too
}

// ---------------------------------------------------------------------------------------------------
// Real glyph widths

// The proportional face: "W" is wider than most letters.
class TextEditFontTest : public TextEditTest {
protected:
  void SetUp() override {
    TextEditTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    style.font_id = DEFAULT_FONT_ID;
    style.font_x_sz = style.font_y_sz = 20;
  }
  static INT_S32 width_of(const char* text, INT_S32 length = -1) {
    return text_width(draw_target, DEFAULT_FONT_ID, 20, 20, text, length, false);
  }
};

TEST_F(TextEditFontTest, FirstShownCharacterByWidthOfW) {
  INT_S32 w = width_of("W");
  INT_S16 box_width = (INT_S16)(10 * w + 2 + 2 + 1);  // the inner width holds ten W
  // Thirty narrow letters fit whole: the text shows from its start with the cursor at the end.
  WM_TEXT_EDIT narrow(0, 0, box_width, 40, std::string(30, 'i').c_str(), &style, nullptr, 0, 0);
  ASSERT_LE(width_of(std::string(30, 'i').c_str()), 10 * w);
  EXPECT_EQ(narrow.first_shown_char(), 0);
  // Thirty W: the tail that fits.
  WM_TEXT_EDIT wide(0, 0, box_width, 40, std::string(30, 'W').c_str(), &style, nullptr, 0, 0);
  EXPECT_EQ(wide.first_shown_char(), 20);
  // Mixed: "W" * 15 then "i" * 15; with the cursor at 30 the rest fits from the first index where it does.
  std::string mixed = std::string(15, 'W') + std::string(15, 'i');
  WM_TEXT_EDIT both(0, 0, box_width, 40, mixed.c_str(), &style, nullptr, 0, 0);
  INT_S16 expected = 0;
  while (width_of(mixed.c_str() + expected) > 10 * w) expected++;
  EXPECT_LT(expected, 20);
  EXPECT_EQ(both.first_shown_char(), expected);
}

TEST_F(TextEditFontTest, ClickLandsOnTheNearestBoundary) {
  WM_TEXT_EDIT* box = focused_box("WiW", 10, 200);
  INT_S32 w = width_of("W"), wi = width_of("Wi");
  // Right of the middle of the second W lands after it; left of its middle, before it.
  click((INT_S16)(12 + wi + w / 2 + 2), 12);
  EXPECT_EQ(box->cursor, 3);
  click((INT_S16)(12 + wi + w / 2 - 2), 12);
  EXPECT_EQ(box->cursor, 2);
  click((INT_S16)(12 + 1), 12);
  EXPECT_EQ(box->cursor, 0);
  click((INT_S16)(12 + width_of("WiW") + 30), 12);  // beyond the text: its end
  EXPECT_EQ(box->cursor, 3);
}

TEST_F(TextEditFontTest, PasswordAsterisksStandSideBySide) {
  style.extended_flags = ssef_te_password;
  WM_TEXT_EDIT* box = focused_box("abcd", 10, 200);
  box->cursor = 1;  // a cursor in the middle: the asterisks after it still advance
  box->show();
  run_pass();
  INT_S32 sw = width_of("*");
  for (int i = 0; i < 4; i++) {
    bool inked = false;
    for (INT_S32 px = 12 + i * sw; px < 12 + (i + 1) * sw; px++)
      for (INT_S16 py = 12; py < 32; py++)
        if (screen_pixel((INT_S16)px, py) == BLACK) inked = true;
    EXPECT_TRUE(inked) << "asterisk " << i;
  }
  // Nothing is drawn past the fourth.
  for (INT_S32 px = 12 + 4 * sw + 1; px < 12 + 6 * sw; px++)
    for (INT_S16 py = 12; py < 32; py++) EXPECT_NE(screen_pixel((INT_S16)px, py), BLACK) << px;
}

}  // namespace
