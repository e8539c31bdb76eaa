// The shared part of keyboard and mouse input: the global keyboard state with its typed-character
// queue and line input, the global mouse state with buttons and wheel, and the typed-character rule
// that both hosts apply to what a key delivers.
#include "host.h"
#include "host_private.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

INT_S32 KEYBOARD_HANDLER::last_key = -1;
INT_U32 KEYBOARD_HANDLER::last_input_time = 0;
INT_S32 KEYBOARD_HANDLER::queue_last = -1;
INT_S32 KEYBOARD_HANDLER::queue_size = 0;
char* KEYBOARD_HANDLER::queue_buffer = nullptr;
INT_S16 KEYBOARD_HANDLER::handler_count = 0;

INT_S16 MOUSE_HANDLER::pointer_x = -1;
INT_S16 MOUSE_HANDLER::pointer_y = -1;
INT_U32 MOUSE_HANDLER::held_buttons = 0;
INT_S32 MOUSE_HANDLER::wheel_notches = 0;
INT_S32 MOUSE_HANDLER::wheel_remainder = 0;
INT_U32 MOUSE_HANDLER::last_event_time = 0;
INT_S16 MOUSE_HANDLER::button_count = 0;
INT_U8 MOUSE_HANDLER::pointer_visible = 1;
INT_U8 MOUSE_HANDLER::system_cursor_visible = 1;
INT_U32 MOUSE_HANDLER::last_press_tick = 0;
INT_U32 MOUSE_HANDLER::last_release_tick = 0;
INT_U32 MOUSE_HANDLER::press_interval = 0;
INT_U32 MOUSE_HANDLER::release_interval = 0;
INT_U8 MOUSE_HANDLER::unseen_change = 0;
INT_U8 MOUSE_HANDLER::unseen_drag = 0;
MOUSE_STATE MOUSE_HANDLER::pending[MOUSE_PENDING_SIZE];
INT_S32 MOUSE_HANDLER::pending_count = 0;
INT_U32 MOUSE_HANDLER::leave_count = 0;
INT_U32 MOUSE_HANDLER::change_time = 0;

// The global handlers: the keyboard queue (10 characters) exists for the whole run.
static MOUSE_HANDLER global_mouse_handler;
static KEYBOARD_HANDLER global_keyboard_handler;

// The character table that every queued character passes through (the identity).
static INT_U8 character_table[256];
static bool character_table_ready = false;

static INT_U32 now_seconds() { return get_calendar_seconds(); }

void KEYBOARD_HANDLER::set_key(INT_S32 key) {
  last_key = key;
  last_input_time = now_seconds();
}

// Keys pressed since the last input pass, by virtual-key code.
static INT_U8 pressed_since_pass[256];

void host_note_key_press(INT_S32 virtual_key) {
  if (virtual_key >= 0 && virtual_key < 256) pressed_since_pass[virtual_key] = 1;
}

void host_drop_key_presses() { std::memset(pressed_since_pass, 0, sizeof(pressed_since_pass)); }

bool host_key_pressed_since_pass(INT_S32 virtual_key) {
  return virtual_key >= 0 && virtual_key < 256 && pressed_since_pass[virtual_key] != 0;
}

// A key the pass saw pressed may be up already: the next pass, which is to see it up, does not sleep.
void KEYBOARD_HANDLER::input_pass_done() {
  for (INT_U8 pressed : pressed_since_pass)
    if (pressed) {
      activity_flag = 1;
      break;
    }
  host_drop_key_presses();
}

INT_S32 KEYBOARD_HANDLER::read_key() {
  INT_S32 key = last_key;
  last_key = -1;
  return key;
}

void KEYBOARD_HANDLER::push_char(INT_S32 character) {
  last_input_time = now_seconds();
  if (!character_table_ready) {
    for (int i = 0; i < 256; i++) character_table[i] = (INT_U8)i;
    character_table_ready = true;
  }
  INT_U8 value;
  if (character >= -128 && character < 0x100) value = character_table[(INT_U8)character];
  else value = '?';
  if (!queue_buffer || value == 0 || queue_last + 1 >= queue_size) return;
  queue_buffer[++queue_last] = (char)value;
}

char KEYBOARD_HANDLER::read_char() {
  if (!queue_buffer || queue_last < 0) return 0;
  char first = queue_buffer[0];
  if (queue_last > 0) std::memmove(queue_buffer, queue_buffer + 1, (size_t)queue_last);
  queue_last--;
  return first;
}

void KEYBOARD_HANDLER::release_queue() {
  delete[] queue_buffer;
  queue_buffer = nullptr;
  queue_size = 0;
  queue_last = -1;
}

void KEYBOARD_HANDLER::set_buffer_size(INT_S32 size) {
  if (size < 0) return;
  if (size == queue_size) {
    queue_last = -1;
    return;
  }
  release_queue();
  if (size > 0) {
    queue_buffer = new (std::nothrow) char[size];
    if (queue_buffer) queue_size = size;
  }
}

INT_S32 KEYBOARD_HANDLER::read_line(INT_U8 wait, INT_S16* cursor, char* buffer, INT_S16 size,
                                    LINE_ECHO_CALLBACK echo, void* user) {
  if (!cursor || !buffer || size <= 0) return 3;
  for (;;) {
    INT_U8 c = (INT_U8)read_char();
    if (c == 0) {
      if (!wait) return 3;
      pump_messages();
      if (echo && !echo(0, buffer, user)) return 1;
      continue;
    }
    bool changed = false;
    if (c == 10) {
      if (*cursor >= 0 && *cursor < size && buffer[*cursor] != 0) {
        buffer[*cursor] = 0;
        (*cursor)++;
      }
      if (echo && !echo(1, buffer, user)) return 1;
      return 2;
    } else if (c == 8) {
      if (*cursor > 0) {
        if (*cursor > size) *cursor = size;
        (*cursor)--;
        buffer[*cursor] = 0;
      }
      changed = true;
    } else if (c > 0x1F && *cursor >= 0 && *cursor < size - 1) {
      buffer[(*cursor)++] = (char)c;
      buffer[*cursor] = 0;
      changed = true;
    }
    if (changed && echo && !echo(1, buffer, user)) return 1;
    if (!wait) return 4;
  }
}

INT_S32 translate_typed_character(INT_U32 character, INT_S32 virtual_key, INT_U8 control_down,
                                  INT_U8 alt_down) {
  // The "do you take Unicode characters" probe, and characters beyond the system's 8-bit text (a
  // half of a UTF-16 pair among them), which a text field cannot hold: nothing is queued, rather
  // than a '?' that the person did not type.
  if (character > 0xFF) return -1;
  // Control turns a letter into its control code; give back the letter, but only for letter keys:
  // Control+Enter also delivers 10 and must stay a line feed.
  if (control_down && !alt_down && virtual_key >= 'A' && virtual_key <= 'Z' && character >= 1 &&
      character <= 26)
    character += 0x60;
  if (character == 13) character = 10;
  return (INT_S32)character;
}

// The newest state recorded: the last one waiting, else the one shown.
static MOUSE_STATE newest_state() {
  if (MOUSE_HANDLER::pending_count > 0) return MOUSE_HANDLER::pending[MOUSE_HANDLER::pending_count - 1];
  return {MOUSE_HANDLER::pointer_x, MOUSE_HANDLER::pointer_y,   MOUSE_HANDLER::held_buttons, 0,
          MOUSE_HANDLER::leave_count, MOUSE_HANDLER::change_time};
}

// Shows a recorded state to the input pass.
static void show_state(const MOUSE_STATE& state) {
  MOUSE_HANDLER::pointer_x = state.x;
  MOUSE_HANDLER::pointer_y = state.y;
  MOUSE_HANDLER::held_buttons = state.held;
  MOUSE_HANDLER::leave_count = state.leaves;
  MOUSE_HANDLER::change_time = state.time;
}

// Records a new state. It is shown at once unless the state shown holds a button change that no input
// pass has taken, or others wait before it, or it is a button change after a drag's move that no input
// pass has taken; then it waits in order. A move after a move that waits replaces it; when no room is
// left, the newest waiting state takes the change.
static void record_state(const MOUSE_STATE& state) {
  if (!MOUSE_HANDLER::unseen_change && MOUSE_HANDLER::pending_count == 0 &&
      !(state.button && MOUSE_HANDLER::unseen_drag)) {
    bool moved = state.x != MOUSE_HANDLER::pointer_x || state.y != MOUSE_HANDLER::pointer_y;
    show_state(state);
    if (state.button) MOUSE_HANDLER::unseen_change = 1;
    else if (moved) MOUSE_HANDLER::unseen_drag = state.held != 0 ? 1 : 0;
    return;
  }
  INT_S32& count = MOUSE_HANDLER::pending_count;
  if (count > 0 && (count == MOUSE_PENDING_SIZE || (!state.button && !MOUSE_HANDLER::pending[count - 1].button))) {
    MOUSE_STATE& last = MOUSE_HANDLER::pending[count - 1];
    INT_U8 button = (INT_U8)(last.button || state.button);
    last = state;
    last.button = button;
    return;
  }
  MOUSE_HANDLER::pending[count++] = state;
}

// A button change, at the event's time when the host gives one (timed).
static void record_button(INT_S16 button, INT_U8 pressed, bool timed, INT_U32 event_time) {
  MOUSE_HANDLER::last_event_time = now_seconds();
  MOUSE_STATE state = newest_state();
  if (button == 1) {
    INT_U32 now = get_tick_count();
    if (pressed) {
      MOUSE_HANDLER::press_interval = now - MOUSE_HANDLER::last_press_tick;
      MOUSE_HANDLER::last_press_tick = now;
    } else {
      MOUSE_HANDLER::release_interval = now - MOUSE_HANDLER::last_release_tick;
      MOUSE_HANDLER::last_release_tick = now;
    }
    state.time = timed ? event_time : now;
  }
  if (button < 1 || button > 32) return;
  INT_U32 bit = 1u << (button - 1);
  INT_U32 held = pressed ? (state.held | bit) : (state.held & ~bit);
  if (held == state.held) return;
  state.held = held;
  state.button = 1;
  record_state(state);
  // The pass that is to see the change does not sleep first.
  activity_flag = 1;
}

void MOUSE_HANDLER::button_event(INT_S16 button, INT_U8 pressed) { record_button(button, pressed, false, 0); }

void MOUSE_HANDLER::button_event(INT_S16 button, INT_U8 pressed, INT_U32 event_time) {
  record_button(button, pressed, true, event_time);
}

void MOUSE_HANDLER::pointer_event(INT_S16 x, INT_S16 y) {
  last_event_time = now_seconds();
  MOUSE_STATE state = newest_state();
  // A move to where the pointer is (a button's own point) changes nothing: no pass of its own.
  if (state.x == x && state.y == y) return;
  state.x = x;
  state.y = y;
  state.button = 0;
  record_state(state);
}

void MOUSE_HANDLER::pointer_left() {
  MOUSE_STATE state = newest_state();
  bool any_held = state.held != 0;
  state.x = state.y = -1;
  state.held = 0;
  state.button = any_held ? 1 : 0;
  state.leaves++;
  record_state(state);
  if (any_held) activity_flag = 1;
}

void MOUSE_HANDLER::settle() {
  show_state(newest_state());
  pending_count = 0;
  unseen_change = 0;
  unseen_drag = 0;
}

void MOUSE_HANDLER::input_pass_done() {
  unseen_change = 0;
  unseen_drag = 0;
  if (pending_count == 0) return;
  MOUSE_STATE next = pending[0];
  pending_count--;
  for (INT_S32 i = 0; i < pending_count; i++) pending[i] = pending[i + 1];
  show_state(next);
  unseen_change = next.button;
  unseen_drag = !next.button && next.held != 0 ? 1 : 0;
  activity_flag = 1;
}

void MOUSE_HANDLER::add_wheel_delta(INT_S32 delta) {
  wheel_remainder += delta;
  if (wheel_remainder >= 120 || wheel_remainder <= -120) {
    wheel_notches += wheel_remainder / 120;
    wheel_remainder %= 120;
    last_event_time = now_seconds();
  }
}

void MOUSE_HANDLER::show_pointer() {
  if (!pointer_visible && show_system_cursor(1)) pointer_visible = 1;
}

void MOUSE_HANDLER::hide_pointer() {
  if (pointer_visible && show_system_cursor(0)) pointer_visible = 0;
}

INT_U32 get_last_input_time() { return KEYBOARD_HANDLER::last_input_time; }

INT_U32 get_last_activity_time() {
  INT_U32 keys = KEYBOARD_HANDLER::last_input_time;
  INT_U32 mouse = MOUSE_HANDLER::last_event_time;
  return keys > mouse ? keys : mouse;
}
