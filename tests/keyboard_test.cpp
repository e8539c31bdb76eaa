// Tests of the on-screen keyboard: the built-in layout byte for byte, keys that type and record virtual
// keys in the next pass, the Shift, Caps and Ext latches and their pages, the hidden gap keys, the
// selected key moved by the real arrow keys, the keyboard dialog's Close button, and an edit box on a
// host without a keyboard that opens the dialog and takes its text back on Enter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "button.h"
#include "grid.h"
#include "host.h"
#include "host_test_seam.h"
#include "keyboard.h"
#include "page_manager.h"
#include "redraw.h"
#include "style_set.h"
#include "text_edit.h"
#include "wm_test_support.h"

namespace {

std::string row_text(int page, int row) {
  const WM_KEYBOARD_LAYOUT& layout = built_in_keyboard_layout;
  return std::string((const char*)layout.pages[page][row], (size_t)layout.rows[row].key_count);
}

TEST(KeyboardLayout, BuiltInLayoutByteForByte) {
  const WM_KEYBOARD_LAYOUT& layout = built_in_keyboard_layout;
  EXPECT_EQ(default_keyboard_layout, &built_in_keyboard_layout);
  ASSERT_EQ(layout.row_count, 5);
  const INT_S16 counts[5] = {14, 15, 13, 14, 7};
  for (int r = 0; r < 5; r++) {
    EXPECT_EQ(layout.rows[r].key_count, counts[r]);
    int sum = 0;
    for (int c = 0; c < layout.rows[r].key_count; c++) sum += layout.rows[r].weights[c];
    EXPECT_EQ(sum, 30) << r;
  }
  EXPECT_EQ(std::vector<INT_S16>(layout.rows[4].weights, layout.rows[4].weights + 7),
            (std::vector<INT_S16>{4, 4, 12, 4, 2, 2, 2}));
  EXPECT_EQ(layout.rows[1].weights[0], 3);
  EXPECT_EQ(layout.rows[1].weights[14], 1);
  EXPECT_EQ(layout.rows[3].weights[0], 5);
  const char* labels[11] = {"<-", "TAB", "SHIFT", "CAPS", "Ext", "Space", "Enter", "<-", "dn", "up", "->"};
  for (int i = 0; i < 11; i++) EXPECT_STREQ(layout.labels[i], labels[i]);

  using std::string;
  const string DE = "\x08", TA = "\x09", CA = "\x03", EN = "\x05", SH = "\x02", UP = "\x0E", GAP = string(1, '\0');
  EXPECT_EQ(row_text(0, 0), "`1234567890-=" + DE);
  EXPECT_EQ(row_text(1, 0), "`!\"\xA3$%^&*()_+" + DE);
  EXPECT_EQ(row_text(2, 0), row_text(0, 0));
  EXPECT_EQ(row_text(3, 0), row_text(1, 0));
  EXPECT_EQ(row_text(0, 1), TA + "qwertyuiop[]#" + GAP);
  EXPECT_EQ(row_text(1, 1), TA + "QWERTYUIOP{}~" + GAP);
  EXPECT_EQ(row_text(2, 1), TA + "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9[]#" + GAP);
  EXPECT_EQ(row_text(3, 1), TA + "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9{}~" + GAP);
  EXPECT_EQ(row_text(0, 2), CA + "asdfghjkl;'" + EN);
  EXPECT_EQ(row_text(1, 2), CA + "ASDFGHJKL:@" + EN);
  EXPECT_EQ(row_text(2, 2), CA + "\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1\xF2\xF3'" + EN);
  EXPECT_EQ(row_text(3, 2), CA + "\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1\xD2\xD3@" + EN);
  EXPECT_EQ(row_text(0, 3), SH + "zxcvbnm,./\\" + UP + GAP);
  EXPECT_EQ(row_text(1, 3), SH + "ZXCVBNM<>?|" + UP + GAP);
  EXPECT_EQ(row_text(2, 3), SH + "\xF4\xF5\xF6\xF8\xF9\xFA\xFB\xFC\xFD\xFE\\" + UP + GAP);
  EXPECT_EQ(row_text(3, 3), SH + "\xD4\xD5\xD6\xD8\xD9\xDA\xDB\xDC\xDD\xDE|" + UP + GAP);
  for (int p = 0; p < 4; p++)
    EXPECT_EQ(row_text(p, 4), string("\x04") + GAP + " " + GAP + "\x0C\x0D\x0F") << p;
}

// A page holding a keyboard as the snapshot of a typing session.
WM_KEYBOARD* page_keyboard = nullptr;
WM_STYLE_SET* key_style = nullptr;
void keyboard_page(WM_PAGE_MANAGER* manager) {
  page_keyboard = new WM_KEYBOARD(10, 10, 609, 259, key_style, default_keyboard_layout, 5, 0, 0);
  manager->get_root()->add_child(page_keyboard, false);
}

class KeyboardTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN* screen = nullptr;
  WM_STYLE_SET style;
  void SetUp() override {
    screen = new WM_TEST_SCREEN(640, 480, 1);
    key_style = &style;
    screen->manager->set_page(0, keyboard_page, nullptr, 0, nullptr, 0, 0, nullptr);
    run_passes(2);
    ASSERT_NE(page_keyboard, nullptr);
    drain();
  }
  void TearDown() override {
    delete screen;
    page_keyboard = nullptr;
  }
  // Press and release the key at (column, row), then one pass that delivers what it left pending.
  void hit(INT_S16 column, INT_S16 row) {
    WM_SCREEN_OBJECT* key = page_keyboard->grid->cell(column, row);
    ASSERT_NE(key, nullptr);
    tap(key);
    // A key that acts on release leaves its key pending until one more pass.
    if (page_keyboard->pending_key != -1 || page_keyboard->pending_char != 0) run_pass();
  }
  // The characters queued since the last drain, as unsigned bytes.
  static std::vector<int> drain() {
    KEYBOARD_HANDLER keyboard;
    std::vector<int> out;
    for (char c; (c = keyboard.read_char()) != 0;) out.push_back((INT_U8)c);
    return out;
  }
  static INT_S32 take_key() {
    KEYBOARD_HANDLER keyboard;
    return keyboard.read_key();
  }
  std::string label(INT_S16 column, INT_S16 row) {
    WM_BUTTON* key = page_keyboard->key_at(column, row);
    return key && key->label ? key->label : "?";
  }
};

TEST_F(KeyboardTest, KeysTypeAndRecordInTheNextPass) {
  EXPECT_EQ(label(1, 2), "a");
  EXPECT_EQ(label(13, 0), "<-");
  hit(1, 2);  // a
  EXPECT_EQ(drain(), std::vector<int>{'a'});
  hit(13, 0);  // delete: the virtual key and the character
  EXPECT_EQ(take_key(), VKEY_BACK);
  EXPECT_EQ(drain(), std::vector<int>{0x08});
  hit(0, 1);  // Tab
  EXPECT_EQ(take_key(), VKEY_TAB);
  EXPECT_EQ(drain(), std::vector<int>{0x09});
  hit(12, 2);  // Enter: virtual key 0x0D, character LF
  EXPECT_EQ(take_key(), VKEY_RETURN);
  EXPECT_EQ(drain(), std::vector<int>{0x0A});
  const struct {
    INT_S16 column, row;
    INT_S32 key;
  } arrows[] = {{4, 4, VKEY_LEFT}, {5, 4, VKEY_DOWN}, {6, 4, VKEY_RIGHT}, {12, 3, VKEY_UP}};
  for (const auto& arrow : arrows) {
    hit(arrow.column, arrow.row);
    EXPECT_EQ(take_key(), arrow.key);
    EXPECT_TRUE(drain().empty());
  }
  hit(2, 4);  // space
  EXPECT_EQ(drain(), std::vector<int>{' '});
  EXPECT_EQ(label(2, 4), "Space");
}

TEST_F(KeyboardTest, ShiftCapsAndExtLatches) {
  hit(0, 3);  // Shift: records 0xA0, types nothing, shows the shifted page
  EXPECT_EQ(take_key(), VKEY_LSHIFT);
  EXPECT_TRUE(drain().empty());
  EXPECT_EQ(page_keyboard->shift, 1);
  EXPECT_EQ(label(1, 2), "A");
  EXPECT_EQ(page_keyboard->key_at(0, 3)->state_function(page_keyboard->key_at(0, 3), page_keyboard), true);
  hit(1, 2);
  EXPECT_EQ(drain(), std::vector<int>{'A'});
  EXPECT_EQ(page_keyboard->shift, 0);  // released by the character
  EXPECT_EQ(label(1, 2), "a");

  hit(0, 2);  // Caps: 0x14, stays
  EXPECT_EQ(take_key(), VKEY_CAPITAL);
  hit(1, 2);
  hit(2, 2);
  EXPECT_EQ(drain(), (std::vector<int>{'A', 'S'}));
  EXPECT_EQ(page_keyboard->caps, 1);
  hit(0, 3);  // Caps and Shift together: the plain page
  EXPECT_EQ(label(1, 2), "a");
  hit(1, 2);
  EXPECT_EQ(drain(), std::vector<int>{'a'});
  hit(0, 2);  // Caps off
  EXPECT_EQ(take_key(), VKEY_CAPITAL);
  EXPECT_EQ(page_keyboard->caps, 0);

  hit(0, 4);  // Ext: records and types nothing
  EXPECT_EQ(take_key(), -1);
  EXPECT_TRUE(drain().empty());
  hit(1, 1);
  EXPECT_EQ(drain(), std::vector<int>{0xE0});  // arrives as 0xE0, not as a negative value
  hit(0, 3);
  hit(1, 1);
  EXPECT_EQ(drain(), std::vector<int>{0xC0});
  hit(0, 3);
  hit(10, 3);
  EXPECT_EQ(drain(), std::vector<int>{0xDE});
  EXPECT_EQ(label(10, 3), "\xFE");  // Ext stays, Shift went
}

TEST_F(KeyboardTest, GapKeysAreHiddenOnEveryPage) {
  const INT_S16 gaps[][2] = {{14, 1}, {13, 3}, {1, 4}, {3, 4}};
  for (int latch = 0; latch < 4; latch++) {
    // Pages 0, 1 (Shift), 3 (Ext with Shift) and 2 (Caps cancels Shift): Shift stays until a character.
    if (latch == 1) hit(0, 3);
    else if (latch == 2) hit(0, 4);
    else if (latch == 3) hit(0, 2);
    const int pages[4] = {0, 1, 3, 2};
    EXPECT_EQ(page_keyboard->page(), pages[latch]);
    for (const auto& gap : gaps) {
      WM_BUTTON* key = page_keyboard->key_at(gap[0], gap[1]);
      ASSERT_NE(key, nullptr);
      EXPECT_EQ(key->visible, 0) << gap[0] << "," << gap[1] << " latch " << latch;
      EXPECT_EQ(key->click_user1, 0u);
    }
  }
}

TEST_F(KeyboardTest, ArrowKeysMoveTheSelectedKey) {
  EXPECT_EQ(page_keyboard->selected_column, 12);  // the Enter key is selected first
  EXPECT_EQ(page_keyboard->selected_row, 2);
  EXPECT_EQ(page_keyboard->key_at(12, 2)->selected, 1);
  key(VKEY_LEFT);
  EXPECT_EQ(page_keyboard->selected_column, 11);
  EXPECT_EQ(page_keyboard->key_at(11, 2)->selected, 1);
  EXPECT_EQ(page_keyboard->key_at(12, 2)->selected, 0);
  key(VKEY_RIGHT);
  key(VKEY_RIGHT);  // at the row's edge the selection stays
  EXPECT_EQ(page_keyboard->selected_column, 12);
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);  // the key is still taken
  key(VKEY_UP);
  EXPECT_EQ(page_keyboard->selected_row, 1);
  key(VKEY_DOWN);
  key(VKEY_DOWN);
  // Row 3 column 12 is the Up key; the gap of row 3 is not visible and cannot be selected.
  EXPECT_EQ(page_keyboard->selected_row, 3);
  key(VKEY_RIGHT);
  EXPECT_EQ(page_keyboard->selected_column, 12);
}

TEST_F(KeyboardTest, EnterKeysEnabledAndDisabled) {
  WM_BUTTON* enter = page_keyboard->key_at(12, 2);
  ASSERT_NE(enter, nullptr);
  EXPECT_EQ(enter->event_mask, BUTTON_EVENT_CLICK);  // Enter acts on release whatever the keys' mask
  EXPECT_EQ(page_keyboard->key_at(1, 2)->event_mask, 5);
  EXPECT_TRUE(page_keyboard->enter_enabled());
  enter->armed = 1;
  page_keyboard->set_enter_enabled(false);
  EXPECT_FALSE(page_keyboard->enter_enabled());
  EXPECT_EQ(enter->enabled, 0);
  EXPECT_EQ(enter->armed, 0);  // loses its pressed look
  EXPECT_EQ(page_keyboard->key_at(1, 2)->enabled, 1);  // other keys stay
  hit(12, 2);
  EXPECT_EQ(take_key(), -1);  // a disabled Enter records nothing
  page_keyboard->set_enter_enabled(true);
  EXPECT_TRUE(page_keyboard->enter_enabled());
}

TEST_F(KeyboardTest, APassThatDeliversHandlesNoKeys) {
  // Two keys pressed before the pass that delivers: the second overwrites the first.
  page_keyboard->pending_char = 'x';
  page_keyboard->pending_key = -1;
  test_seam_key(VKEY_LEFT, true);  // not taken in the delivering pass
  run_pass();
  EXPECT_EQ(drain(), std::vector<int>{'x'});
  EXPECT_EQ(KEYBOARD_HANDLER::last_key, VKEY_LEFT);
  EXPECT_EQ(page_keyboard->selected_column, 12);
  test_seam_key(VKEY_LEFT, false);
  run_pass();
  EXPECT_EQ(page_keyboard->selected_column, 11);
}

// ---------------------------------------------------------------------------------------------------
// The dialog and the edit box on a host without a keyboard

class KeyboardDialogTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN* screen = nullptr;
  void SetUp() override {
    screen = new WM_TEST_SCREEN(640, 480, 1);
    test_seam_keyboard_present(0);
    use_on_screen_keyboard = 0xFF;
  }
  void TearDown() override {
    delete screen;
    use_on_screen_keyboard = 0xFF;
  }
  static void hit(WM_SCREEN_OBJECT* object) {
    tap(object);
    run_passes(2);
  }
};

WM_TEXT_EDIT* page_box = nullptr;
std::vector<std::string> box_events;
WM_RESULT record_box(WM_SCREEN_OBJECT* object, INT_U32, INT_U32, int) {
  box_events.push_back(static_cast<WM_TEXT_EDIT*>(object)->text.text ? static_cast<WM_TEXT_EDIT*>(object)->text.text : "");
  return 0;
}
void box_page(WM_PAGE_MANAGER* manager) {
  WM_STYLE_SET style;
  WM_SCREEN_OBJECT* placeholder = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  placeholder->x = 600, placeholder->y = 400, placeholder->width = placeholder->height = 5;
  placeholder->focusable = 1;
  manager->get_root()->add_child(placeholder, false);
  page_box = new WM_TEXT_EDIT(20, 20, 200, 12, "abc", &style, record_box, 0, 0);
  manager->get_root()->add_child(page_box, false);
}

TEST_F(KeyboardDialogTest, EditBoxOpensTheKeyboardAndTakesItsText) {
  screen->manager->set_page(0, box_page, nullptr, 0, nullptr, 0, 0, nullptr);
  run_passes(2);
  EXPECT_EQ(use_on_screen_keyboard, 1);  // decided by the first edit box from the host's answer
  EXPECT_EQ(open_keyboard_dialog, nullptr);
  // Typed characters do nothing without the dialog.
  page_box->take_focus();
  type_text("zz");
  EXPECT_STREQ(page_box->text.text, "abc");
  hit(page_box);  // a press on the box opens the dialog
  WM_KEYBOARD_DIALOG* dialog = open_keyboard_dialog;
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(is_top_level(dialog));
  EXPECT_STREQ(dialog->get_title(), "Keyboard");
  EXPECT_STREQ(dialog->edit->text.text, "abc");
  EXPECT_EQ(dialog->edit->max_length, 12);
  EXPECT_STREQ(dialog->close_button->label, "Close");
  settle_effects();
  // The keys type into the dialog's own edit box.
  hit(dialog->edit);
  hit(dialog->keyboard->grid->cell(4, 1));  // r
  EXPECT_STREQ(dialog->edit->text.text, "abcr");
  // Enter closes the dialog and hands the text back; the box reports the change.
  page_box->notify_changes = 1;
  hit(dialog->keyboard->grid->cell(12, 2));
  EXPECT_EQ(open_keyboard_dialog, nullptr);
  EXPECT_STREQ(page_box->text.text, "abcr");
  ASSERT_FALSE(box_events.empty());
  EXPECT_EQ(box_events.back(), "abcr");
  settle_effects();
  EXPECT_FALSE(is_top_level(dialog));  // removed and deleted once its fade ended
}

TEST_F(KeyboardDialogTest, TargetAndPointerClearedWhenEitherGoes) {
  screen->manager->set_page(0, box_page, nullptr, 0, nullptr, 0, 0, nullptr);
  run_passes(2);
  hit(page_box);
  WM_KEYBOARD_DIALOG* dialog = open_keyboard_dialog;
  ASSERT_NE(dialog, nullptr);
  // The box goes while its dialog is open: the dialog is closed and no longer aims at it.
  WM_TEXT_EDIT* edit = dialog->edit;
  screen->manager->get_root()->remove_child(page_box, true, false);
  page_box = nullptr;
  EXPECT_EQ(open_keyboard_dialog, nullptr);
  EXPECT_EQ(edit->event_user1, 0u);
  EXPECT_EQ(WM_TEXT_EDIT::on_keyboard_result(edit, 0, 0, 0), 0);
  // A dialog deleted in any other way clears the pointer.
  WM_STYLE_SET style;
  WM_KEYBOARD_DIALOG* second = new WM_KEYBOARD_DIALOG(-1, -1, 400, 200, "Keyboard", "", 10, nullptr, 0, 0, &style,
                                                      &style, nullptr, nullptr, nullptr, nullptr, 5, 1, 0, 0);
  open_keyboard_dialog = second;
  screen->manager->get_root()->add_top_level(second, false);
  settle_effects();
  hit(second->close_button);  // close_deletes: 4, removed and deleted at once
  EXPECT_FALSE(is_top_level(second));
  EXPECT_EQ(open_keyboard_dialog, nullptr);
}

}  // namespace
