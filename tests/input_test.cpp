// Tests of keyboard and mouse state: the typed-character queue and line input, the character a key
// delivers (Control with letters, Enter), the wheel and buttons, and the Linux key-symbol mapping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host.h"
#include "host_test_seam.h"
#include "screen_image.h"

#ifndef _WIN32
INT_S32 key_symbol_to_virtual_key(INT_U32 key_symbol);
#endif

static void empty_queue() {
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(10);
  keyboard.set_buffer_size(10);  // the same size only empties the queue
}

TEST(Keyboard, QueueKeepsTenCharactersAndMapsOutsideValues) {
  KEYBOARD_HANDLER keyboard;
  empty_queue();
  EXPECT_EQ(KEYBOARD_HANDLER::queue_size, 10);
  for (int i = 0; i < 11; i++) keyboard.push_char('a' + i);
  std::string read;
  while (char c = keyboard.read_char()) read += c;
  EXPECT_EQ(read, "abcdefghij");  // the eleventh was dropped
  EXPECT_EQ(keyboard.read_char(), 0);

  keyboard.push_char(0x100);  // outside 8 bits
  keyboard.push_char(-23);    // a signed byte: 0xE9
  keyboard.push_char(0);      // nothing
  keyboard.push_char(0x41);
  EXPECT_EQ(keyboard.read_char(), '?');
  EXPECT_EQ((INT_U8)keyboard.read_char(), 0xE9);
  EXPECT_EQ(keyboard.read_char(), 'A');
  EXPECT_EQ(keyboard.read_char(), 0);
  EXPECT_GT(KEYBOARD_HANDLER::last_input_time, 0u);
}

TEST(Keyboard, LastKeyIsTakenOnce) {
  KEYBOARD_HANDLER keyboard;
  keyboard.read_key();
  keyboard.set_key(VKEY_RETURN);
  keyboard.set_key(VKEY_ESCAPE);  // a newer press overwrites
  EXPECT_EQ(keyboard.read_key(), VKEY_ESCAPE);
  EXPECT_EQ(keyboard.read_key(), -1);
}

TEST(Keyboard, BufferSizeRules) {
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(4);
  keyboard.push_char('x');
  keyboard.set_buffer_size(-1);  // ignored
  EXPECT_EQ(KEYBOARD_HANDLER::queue_size, 4);
  EXPECT_EQ(keyboard.read_char(), 'x');
  keyboard.set_buffer_size(0);  // freed: characters are dropped
  keyboard.push_char('y');
  EXPECT_EQ(keyboard.read_char(), 0);
  EXPECT_EQ(KEYBOARD_HANDLER::queue_buffer, nullptr);
  keyboard.set_buffer_size(10);
  {
    KEYBOARD_HANDLER second;
    EXPECT_EQ(KEYBOARD_HANDLER::handler_count, 3);  // the global one, keyboard and second
  }
  EXPECT_EQ(KEYBOARD_HANDLER::handler_count, 2);
  EXPECT_NE(KEYBOARD_HANDLER::queue_buffer, nullptr);
}

static std::string echoed;
static int echo_calls = 0;
static INT_U8 record_echo(INT_U8 changed, char* buffer, void*) {
  echo_calls++;
  if (changed) echoed = buffer;
  return 1;
}

TEST(Keyboard, ReadLineEditsTheBuffer) {
  KEYBOARD_HANDLER keyboard;
  empty_queue();
  char buffer[6] = {0};
  INT_S16 cursor = 0;
  EXPECT_EQ(keyboard.read_line(0, &cursor, buffer, sizeof(buffer), record_echo, nullptr), 3);
  for (const char* c = "abcdefg"; *c; c++) keyboard.push_char(*c);
  int result = 0;
  while ((result = keyboard.read_line(0, &cursor, buffer, sizeof(buffer), record_echo, nullptr)) == 4) {
  }
  EXPECT_EQ(result, 3);
  EXPECT_STREQ(buffer, "abcde");  // room for five characters and the terminator
  EXPECT_EQ(cursor, 5);
  keyboard.push_char(8);     // backspace
  keyboard.push_char(0x07);  // a control character is dropped
  keyboard.push_char('Z');
  keyboard.push_char(10);
  echo_calls = 0;
  while ((result = keyboard.read_line(0, &cursor, buffer, sizeof(buffer), record_echo, nullptr)) == 4) {
  }
  EXPECT_EQ(result, 2);
  EXPECT_STREQ(buffer, "abcdZ");
  EXPECT_EQ(echoed, "abcdZ");
  EXPECT_EQ(echo_calls, 3);  // backspace, Z and the line end; not the dropped character
}

static INT_U8 refuse_echo(INT_U8, char*, void*) { return 0; }

TEST(Keyboard, ReadLineStopsWhenTheCallbackRefuses) {
  KEYBOARD_HANDLER keyboard;
  empty_queue();
  char buffer[8] = {0};
  INT_S16 cursor = 0;
  keyboard.push_char('q');
  EXPECT_EQ(keyboard.read_line(0, &cursor, buffer, sizeof(buffer), refuse_echo, nullptr), 1);
  // Waiting with nothing queued: the callback is asked once per pump pass.
  set_idle_wait(0);
  EXPECT_EQ(keyboard.read_line(1, &cursor, buffer, sizeof(buffer), refuse_echo, nullptr), 1);
  set_idle_wait(50);
}

TEST(Keyboard, TypedCharacterRules) {
  // Control with a letter key gives the letter, not the control code.
  EXPECT_EQ(translate_typed_character(3, 'C', 1, 0), 'c');
  EXPECT_EQ(translate_typed_character(10, 'J', 1, 0), 'j');
  // Control+Enter delivers 10 too, but from the Enter key: it stays a line feed.
  EXPECT_EQ(translate_typed_character(10, VKEY_RETURN, 1, 0), 10);
  EXPECT_EQ(translate_typed_character(13, VKEY_RETURN, 0, 0), 10);  // Enter queues a line feed
  // Control with Alt (AltGr) leaves the character alone.
  EXPECT_EQ(translate_typed_character('@', 'Q', 1, 1), '@');
  EXPECT_EQ(translate_typed_character(3, 'C', 1, 1), 3);
  // Control with a key that is not a letter: unchanged.
  EXPECT_EQ(translate_typed_character(0x1B, VKEY_OEM_4, 1, 0), 0x1B);
  EXPECT_EQ(translate_typed_character(0xE9, VKEY_OEM_1, 1, 0), 0xE9);
  // The Unicode probe queues nothing, nor does a character beyond Latin-1 (a UTF-16 half included).
  EXPECT_EQ(translate_typed_character(0xFFFF, 0, 0, 0), -1);
  EXPECT_EQ(translate_typed_character(0x20AC, 0, 0, 0), -1);
  EXPECT_EQ(translate_typed_character(0xD83D, 0, 0, 0), -1);
}

TEST(Mouse, WheelNotchesAndRemainder) {
  MOUSE_HANDLER::wheel_notches = MOUSE_HANDLER::wheel_remainder = 0;
  MOUSE_HANDLER::add_wheel_delta(60);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 0);
  MOUSE_HANDLER::add_wheel_delta(60);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);
  EXPECT_EQ(MOUSE_HANDLER::wheel_remainder, 0);
  MOUSE_HANDLER::wheel_notches = 0;
  MOUSE_HANDLER::add_wheel_delta(-120);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, -1);
  MOUSE_HANDLER::wheel_notches = 0;
  MOUSE_HANDLER::add_wheel_delta(200);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);
  EXPECT_EQ(MOUSE_HANDLER::wheel_remainder, 80);
  MOUSE_HANDLER::add_wheel_delta(-250);  // -170: one notch back, -50 left
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 0);
  EXPECT_EQ(MOUSE_HANDLER::wheel_remainder, -50);
  MOUSE_HANDLER::wheel_remainder = 0;
}

TEST(Mouse, ButtonsSetAndClearTheirBits) {
  MOUSE_HANDLER mouse;
  MOUSE_HANDLER::held_buttons = 0;
  mouse.button_event(MOUSE_LEFT, 1);
  MOUSE_HANDLER::input_pass_done();
  mouse.button_event(MOUSE_RIGHT, 1);
  MOUSE_HANDLER::input_pass_done();
  mouse.button_event(MOUSE_X2, 1);
  MOUSE_HANDLER::input_pass_done();
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x1u | 0x2u | (1u << 10));
  mouse.button_event(MOUSE_LEFT, 0);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x2u | (1u << 10));
  MOUSE_HANDLER::input_pass_done();
  mouse.button_event(0, 1);   // outside 1..32: no bit
  mouse.button_event(33, 1);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x2u | (1u << 10));
  EXPECT_EQ(MOUSE_HANDLER::pending_count, 0);
  MOUSE_HANDLER::held_buttons = 0;
  EXPECT_GT(MOUSE_HANDLER::button_count, 0);
  EXPECT_GT(MOUSE_HANDLER::last_event_time, 0u);
}

// What the input pass sees pass by pass (input_pass_done between): the pointer and the held buttons.
static std::string seen_by_passes(int passes) {
  std::string seen;
  for (int i = 0; i < passes; i++) {
    seen += std::to_string(MOUSE_HANDLER::pointer_x) + "," + std::to_string(MOUSE_HANDLER::pointer_y) + ":" +
            std::to_string(MOUSE_HANDLER::held_buttons) + " ";
    MOUSE_HANDLER::input_pass_done();
  }
  return seen;
}

// Button changes that arrive between two passes are shown one per pass, in order, with the moves after
// them; changes slower than the passes are shown at once, as they come.
TEST(Mouse, ButtonChangesBetweenPassesAreShownInOrder) {
  MOUSE_HANDLER mouse;
  MOUSE_HANDLER::held_buttons = 0;
  MOUSE_HANDLER::pointer_event(10, 10);
  MOUSE_HANDLER::input_pass_done();
  activity_flag = 0;

  // A tap: press and release before the next pass, then the pointer moves on twice.
  mouse.button_event(MOUSE_LEFT, 1);
  mouse.button_event(MOUSE_LEFT, 0);
  EXPECT_EQ(activity_flag, 1);  // the passes that are to see them do not sleep
  MOUSE_HANDLER::pointer_event(50, 60);
  MOUSE_HANDLER::pointer_event(55, 66);
  EXPECT_EQ(seen_by_passes(4), "10,10:1 10,10:0 55,66:0 55,66:0 ");

  // A slow click: each change is shown at once.
  mouse.button_event(MOUSE_RIGHT, 1);
  EXPECT_EQ(seen_by_passes(1), "55,66:2 ");
  MOUSE_HANDLER::pointer_event(55, 66);  // no move
  mouse.button_event(MOUSE_RIGHT, 0);
  EXPECT_EQ(seen_by_passes(1), "55,66:0 ");

  // A drag let go before the next pass: its moves are shown at once, the last one before the release.
  mouse.button_event(MOUSE_RIGHT, 1);
  EXPECT_EQ(seen_by_passes(1), "55,66:2 ");
  MOUSE_HANDLER::pointer_event(30, 30);
  MOUSE_HANDLER::pointer_event(20, 20);
  mouse.button_event(MOUSE_RIGHT, 0);
  EXPECT_EQ(seen_by_passes(2), "20,20:2 20,20:0 ");

  // A press and the pointer leaving the window at once: the press, then outside with nothing held.
  mouse.button_event(MOUSE_LEFT, 1);
  MOUSE_HANDLER::pointer_left();
  EXPECT_EQ(seen_by_passes(3), "20,20:1 -1,-1:0 -1,-1:0 ");

  // A tap, then the pointer out of the window and back to the same pixel before a pass saw it out: the
  // pass that shows it back counts the leave all the same.
  MOUSE_HANDLER::pointer_event(20, 20);
  EXPECT_EQ(seen_by_passes(1), "20,20:0 ");
  INT_U32 leaves = MOUSE_HANDLER::leave_count;
  mouse.button_event(MOUSE_LEFT, 1);
  mouse.button_event(MOUSE_LEFT, 0);
  MOUSE_HANDLER::pointer_left();
  MOUSE_HANDLER::pointer_event(20, 20);
  EXPECT_EQ(seen_by_passes(1), "20,20:1 ");
  EXPECT_EQ(MOUSE_HANDLER::leave_count, leaves);  // the release shown next, before the leave
  EXPECT_EQ(seen_by_passes(1), "20,20:0 ");
  EXPECT_EQ(MOUSE_HANDLER::leave_count, leaves + 1);  // back, having left
  EXPECT_EQ(seen_by_passes(1), "20,20:0 ");

  // A tap made on a picture the window no longer shows (its screen image took a new size) is not
  // replayed on the new one: the newest state stands.
  mouse.button_event(MOUSE_LEFT, 1);
  mouse.button_event(MOUSE_LEFT, 0);
  MOUSE_HANDLER::pointer_event(7, 8);
  test_seam_screen(90, 70);
  EXPECT_EQ(seen_by_passes(2), "7,8:0 7,8:0 ");
  activity_flag = 0;
}

TEST(Keyboard, KeysToCharactersAndNames) {
  KEYBOARD_HANDLER keyboard;
  EXPECT_EQ(keyboard.key_to_char('A', 0), 'a');
  EXPECT_EQ(keyboard.key_to_char('A', 1), 'A');
  EXPECT_EQ(keyboard.key_to_char('1', 0), '1');
  EXPECT_EQ(keyboard.key_to_char(VKEY_SPACE, 0), ' ');
  EXPECT_EQ(keyboard.key_to_char(VKEY_LEFT, 0), 0);
  EXPECT_FALSE(keyboard.is_key_down(VKEY_LSHIFT));  // no window, no focus
#ifndef _WIN32
  EXPECT_EQ(keyboard.key_to_char('1', 1), '!');
  EXPECT_STREQ(keyboard.get_key_name(VKEY_RETURN), "Enter");
  EXPECT_STREQ(keyboard.get_key_name(VKEY_F1 + 4), "F5");
  EXPECT_STREQ(keyboard.get_key_name('Q'), "Q");
  EXPECT_STREQ(keyboard.get_key_name(0xFF), "");
#endif
}

#ifndef _WIN32
TEST(Keyboard, KeySymbolsMapToWindowsCodes) {
  EXPECT_EQ(key_symbol_to_virtual_key(0x61), 'A');        // a
  EXPECT_EQ(key_symbol_to_virtual_key(0x5A), 'Z');        // Z
  EXPECT_EQ(key_symbol_to_virtual_key(0x37), '7');        // 7
  EXPECT_EQ(key_symbol_to_virtual_key(0x21), '1');        // ! comes from the 1 key
  EXPECT_EQ(key_symbol_to_virtual_key(0xFF0D), VKEY_RETURN);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFF8D), VKEY_RETURN);  // keypad Enter
  EXPECT_EQ(key_symbol_to_virtual_key(0xFF1B), VKEY_ESCAPE);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFF08), VKEY_BACK);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFF52), VKEY_UP);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFF55), VKEY_PRIOR);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFFE1), VKEY_LSHIFT);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFFE4), VKEY_RCONTROL);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFFE9), VKEY_LMENU);
  EXPECT_EQ(key_symbol_to_virtual_key(0xFFC2), VKEY_F1 + 4);  // F5
  EXPECT_EQ(key_symbol_to_virtual_key(0xFFB3), VKEY_NUMPAD0 + 3);
  EXPECT_EQ(key_symbol_to_virtual_key(0x5B), VKEY_OEM_4);  // [
  EXPECT_EQ(key_symbol_to_virtual_key(0x2C), VKEY_OEM_COMMA);
  EXPECT_EQ(key_symbol_to_virtual_key(0x12345), 0);
}
#endif
