// The test seam of the host layer and the host entries it can stand in for: the tick and calendar
// clocks, the desktop size, the held keys and the close request, and the present it watches. Without a
// test these answer what the platform's own part says; a test drives them pass by pass.
#include "host_test_seam.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "host.h"
#include "host_private.h"

namespace {

struct DRIVEN_CLOCK {
  bool driven;
  INT_U32 value;
  INT_U32 step;
};

DRIVEN_CLOCK tick_clock = {false, 0, 0};
DRIVEN_CLOCK calendar_clock = {false, 0, 0};
bool keys_driven = false;
INT_U8 keys_held[256];
INT_S16 desktop_width = -1;
INT_S16 desktop_height = -1;
void (*present_callback)() = nullptr;
TEST_SEAM_PRESENTS presents_seen;
void (*pass_callback)() = nullptr;
bool waits_driven = false;

INT_U32 read_clock(DRIVEN_CLOCK* clock) {
  INT_U32 now = clock->value;
  clock->value += clock->step;
  return now;
}

void drive_keys() {
  if (keys_driven) return;
  keys_driven = true;
  std::memset(keys_held, 0, sizeof(keys_held));
}

}  // namespace

INT_S8 test_seam_keyboard = -1;
TEST_SEAM_FILE_SYSTEM test_seam_told_file_system;
void (*test_seam_hold_step)(TEST_SEAM_HOLD_STEP step) = nullptr;

INT_U32 get_tick_count() { return tick_clock.driven ? read_clock(&tick_clock) : host_tick_count(); }

INT_U32 get_calendar_seconds() {
  if (calendar_clock.driven) return read_clock(&calendar_clock);
  // The system clock, not time(): the C runtime of the Windows build reads the time zone at every call
  // of time(), which under Wine is several calls to its server, and a pass asks for the seconds often.
  return (INT_U32)std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

INT_S16 get_desktop_width() { return desktop_width >= 0 ? desktop_width : host_desktop_width(); }
INT_S16 get_desktop_height() { return desktop_height >= 0 ? desktop_height : host_desktop_height(); }

// The host is given the changed area cut to the view; what it took is counted.
bool present_view(INT_S16 screen, const PIXEL_VIEW* view) {
  PIXEL_VIEW shown = *view;
  bool changed = view->changed_left != -1 && view->changed_top != -1 && view->changed_right != -1 &&
                 view->changed_bottom != -1;
  if (changed) {
    shown.changed_left = std::max<INT_S32>(view->changed_left, 0);
    shown.changed_top = std::max<INT_S32>(view->changed_top, 0);
    shown.changed_right = std::min<INT_S32>(view->changed_right, view->width - 1);
    shown.changed_bottom = std::min<INT_S32>(view->changed_bottom, view->height - 1);
    if (shown.changed_left > shown.changed_right || shown.changed_top > shown.changed_bottom)
      shown.changed_left = shown.changed_top = shown.changed_right = shown.changed_bottom = -1;
  }
  bool taken = host_present_view(screen, &shown);
  if (taken && shown.changed_left != -1) {
    presents_seen.count++;
    presents_seen.pixels += (INT_U64)(shown.changed_right - shown.changed_left + 1) *
                            (INT_U64)(shown.changed_bottom - shown.changed_top + 1);
    presents_seen.left = shown.changed_left;
    presents_seen.top = shown.changed_top;
    presents_seen.right = shown.changed_right;
    presents_seen.bottom = shown.changed_bottom;
  }
  if (present_callback) present_callback();
  return taken;
}

TEST_SEAM_PRESENTS test_seam_presents(bool reset) {
  TEST_SEAM_PRESENTS seen = presents_seen;
  if (reset) presents_seen = TEST_SEAM_PRESENTS();
  return seen;
}

bool KEYBOARD_HANDLER::is_key_down(INT_S32 virtual_key) {
  if (!keys_driven) return host_is_key_down(virtual_key) || host_key_pressed_since_pass(virtual_key);
  return virtual_key >= 0 && virtual_key < 256 && keys_held[virtual_key] != 0;
}

void test_seam_set_ticks(INT_U32 value, INT_U32 step_per_read) { tick_clock = {true, value, step_per_read}; }
void test_seam_set_seconds(INT_U32 value, INT_U32 step_per_read) { calendar_clock = {true, value, step_per_read}; }

void test_seam_advance_ticks(INT_U32 ms) {
  if (tick_clock.driven) tick_clock.value += ms;
}

void test_seam_release_clocks() {
  tick_clock.driven = false;
  calendar_clock.driven = false;
}

void test_seam_pointer(INT_S16 x, INT_S16 y) {
  drive_keys();
  MOUSE_HANDLER::pointer_event(x, y);
}

void test_seam_button(INT_S16 button, bool down) {
  drive_keys();
  MOUSE_HANDLER mouse;
  mouse.button_event(button, down ? 1 : 0);
}

void test_seam_wheel(INT_S32 notches) {
  drive_keys();
  MOUSE_HANDLER::add_wheel_delta(notches * 120);
}

void test_seam_key(INT_S32 virtual_key, bool down) {
  drive_keys();
  if (virtual_key < 0 || virtual_key > 255) return;
  keys_held[virtual_key] = down ? 1 : 0;
  if (down) {
    KEYBOARD_HANDLER keyboard;
    keyboard.set_key(virtual_key);
  }
}

void test_seam_type(const char* text) {
  drive_keys();
  if (!text) return;
  KEYBOARD_HANDLER keyboard;
  for (const char* c = text; *c; c++) keyboard.push_char((INT_S32)(INT_U8)*c);
}

void test_seam_close_request() { host_request_close(); }

void test_seam_release_input() {
  drive_keys();
  std::memset(keys_held, 0, sizeof(keys_held));
  MOUSE_HANDLER::pointer_x = MOUSE_HANDLER::pointer_y = -1;
  MOUSE_HANDLER::held_buttons = 0;
  MOUSE_HANDLER::unseen_change = 0;
  MOUSE_HANDLER::unseen_drag = 0;
  MOUSE_HANDLER::pending_count = 0;
  MOUSE_HANDLER::wheel_notches = 0;
  MOUSE_HANDLER::wheel_remainder = 0;
  KEYBOARD_HANDLER::last_key = -1;
  KEYBOARD_HANDLER::queue_last = -1;
}

void test_seam_desktop(INT_S16 width, INT_S16 height) {
  desktop_width = width;
  desktop_height = height;
}

void test_seam_keyboard_present(INT_S8 present) { test_seam_keyboard = present; }

void test_seam_on_present(void (*callback)()) { present_callback = callback; }

void test_seam_file_system(const TEST_SEAM_FILE_SYSTEM& told) { test_seam_told_file_system = told; }

void test_seam_on_hold_step(void (*callback)(TEST_SEAM_HOLD_STEP step)) { test_seam_hold_step = callback; }

void test_seam_on_pass(void (*callback)()) { pass_callback = callback; }

void host_pass_done() {
  if (pass_callback) pass_callback();
}

bool host_passes_watched() { return pass_callback != nullptr; }

void test_seam_drive_waits(bool on) { waits_driven = on; }
bool host_waits_driven() { return waits_driven && tick_clock.driven; }
void host_driven_wait(INT_U32 ms) { tick_clock.value += ms == HOST_WAIT_FOREVER ? idle_wait_ms : ms; }

bool test_seam_pass_asked(INT_U32* tick, bool forget) { return host_pass_asked(tick, forget); }
bool test_seam_pass_rests() { return host_pass_rests(); }

void test_seam_reset() {
  test_seam_release_clocks();
  present_callback = nullptr;
  presents_seen = TEST_SEAM_PRESENTS();
  pass_callback = nullptr;
  waits_driven = false;
  keys_driven = false;
  desktop_width = desktop_height = -1;
  test_seam_keyboard = -1;
  test_seam_told_file_system = TEST_SEAM_FILE_SYSTEM();
  test_seam_hold_step = nullptr;
}
