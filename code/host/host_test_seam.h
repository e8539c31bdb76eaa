// The host layer's test seam, used only by tests: a driven tick clock and calendar clock, scripted input
// (pointer, buttons, wheel, keys held, typed characters, a close request) set between passes, a chosen
// desktop size and keyboard presence, and each present seen. (A screen without a window is the screen
// image's: test_seam_screen, screen_image.h.)
// Nothing in the library or the installer calls it; until a test does, the host answers as usual.
#pragma once
#include "types.h"

#include <string>
#include <vector>

// A driven clock answers its value and then advances it by its step on every read, so code that waits
// for the clock to move always sees it move, and a frozen clock (step 0) still ends every transition.
void test_seam_set_ticks(INT_U32 value, INT_U32 step_per_read);
void test_seam_set_seconds(INT_U32 value, INT_U32 step_per_read);
// Moves a driven tick clock on by ms (nothing while the clock is not driven).
void test_seam_advance_ticks(INT_U32 ms);
// Back to the real clocks.
void test_seam_release_clocks();

// Scripted input: the keyboard state comes from the seam from the first call on (so is_key_down answers
// what the test holds down, with or without a window).
void test_seam_pointer(INT_S16 x, INT_S16 y);
void test_seam_button(INT_S16 button, bool down);  // 1 left, 2 right, 3 middle (MOUSE_HANDLER::button_event)
void test_seam_wheel(INT_S32 notches);             // positive = away from the user
void test_seam_key(INT_S32 virtual_key, bool down);  // down also makes it the last key, as a key press does
void test_seam_type(const char* text);               // queued as typed characters
void test_seam_close_request();                      // as the window's close button
// Every key up, no button held, the pointer outside the window, no key pending, no typed character, no
// wheel notch; the keyboard state stays the seam's.
void test_seam_release_input();

// The desktop size that get_desktop_width / height answer (-1, -1: the host's own) and the keyboard
// presence that get_system_information reports (-1: the host's own, else 0 or 1).
void test_seam_desktop(INT_S16 width, INT_S16 height);
void test_seam_keyboard_present(INT_S8 present);

// Called after every present (present_view), with or without a window (null: none), so that a test sees
// each frame a window would have shown, also those presented in the middle of a pass.
void test_seam_on_present(void (*callback)());

// What the screen was given to show (with or without a window): the presents it took that had a change,
// the pixels of their changed rectangles, and the last one's rectangle (inclusive; -1 before any). With
// reset the count starts again from nothing.
struct TEST_SEAM_PRESENTS {
  INT_U32 count = 0;
  INT_U64 pixels = 0;
  INT_S32 left = -1, top = -1, right = -1, bottom = -1;
};
TEST_SEAM_PRESENTS test_seam_presents(bool reset);

// Called after every pass of the frame loop (the application's update), the last one too (null: none);
// a program that real-window scenarios start counts its passes with it. While it is set, the loop's wait
// for input is cut into rounds of at most the idle time, and each round calls it too, so that a program
// standing still still counts.
void test_seam_on_pass(void (*callback)());

// While on and the tick clock is driven, the frame loop's waits pass on that clock: each moves the clock
// on to its end at once (a wait for input alone, by the idle wait) and sleeps no real time, and input
// comes from the test alone, with or without a window; so the loop runs a pass only when one is due, and
// a test counts the passes that a stretch of its clock takes. A test that runs the loop so ends it from
// its pass callback.
void test_seam_drive_waits(bool on);

// Whether work asked the frame loop for a pass (request_pass_by) since the frame loop's pass began (or
// since the asking was last forgotten), and the earliest time asked for. With forget the asking is
// forgotten, as at the start of a pass of the loop.
bool test_seam_pass_asked(INT_U32* tick, bool forget);
// The frame loop's pass so far leaves the loop waiting for input alone (unless input comes): it
// presented nothing, asked for no pass, dispatched no message, and no event or close request waits. A
// program that a test drives tells by it that it stands still.
bool test_seam_pass_rests();

// Linux: the lines in which a message box's window shows the text, at most width pixels wide where every
// character is unit_width wide; characters beyond Latin-1 as '?'.
std::vector<std::string> test_seam_message_box_lines(const char* text, INT_S32 width, INT_S32 unit_width);

// What the hold of a folder (hold_folder, Linux) is told of the file system, so that a test stands in
// for another one: the permission bits and the owner that every file and folder reports (-1: its own),
// as a file system whose modes and owners the mount fixes (vfat, exFAT, a bindfs view) reports the same
// whatever was asked; a file system that takes no lock; one that cannot exchange two names (NFS, vfat
// before Linux 6.0); a system whose list of locks leaves out other processes' (a nested process
// namespace).
struct TEST_SEAM_FILE_SYSTEM {
  INT_S32 mode = -1;
  INT_S64 owner = -1;
  bool no_locks = false;
  bool no_exchange = false;
  bool no_lock_list = false;
};
void test_seam_file_system(const TEST_SEAM_FILE_SYSTEM& told);
// The steps of hold_folder between which another process may act; the callback (null: none) is called
// at each, so that a test acts there as another process would.
enum TEST_SEAM_HOLD_STEP {
  HOLD_STEP_MADE,      // Linux: the hold's file is made where nothing had the name, not yet locked
  HOLD_STEP_OPENED,    // Linux: what was found at the name is open, not yet locked
  HOLD_STEP_EXCHANGE,  // Linux: this process's own file, locked, is about to take the name from what was found
  HOLD_STEP_LOOKED,    // Windows: nothing was found at the name, and the file is about to be made
  HOLD_STEP_DENIED,    // Windows: the file could not be opened (access denied), and is about to be looked at again
};
void test_seam_on_hold_step(void (*callback)(TEST_SEAM_HOLD_STEP step));

// Everything back to the host's own behaviour (clocks, input, desktop, keyboard, the present and pass
// callbacks, the file system and steps of the hold).
void test_seam_reset();
