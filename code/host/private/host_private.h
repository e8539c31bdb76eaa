// What the shared part of the host layer (code/host*.cpp) asks of the platform's own part
// (code/host/posix/, code/host/win32/), and the shared helpers the platform parts call. Not part of the host interface.
#pragma once
#include "host.h"
#include "host_test_seam.h"

// Dispatches every pending window-system message without waiting; true when there was any that can
// carry input.
bool host_dispatch_messages();
// The time-out of host_wait_for_input that never runs out.
const INT_U32 HOST_WAIT_FOREVER = 0xFFFFFFFFu;
// Sleeps until input arrives for the window or ms have passed (HOST_WAIT_FOREVER: until input).
void host_wait_for_input(INT_U32 ms);
// True while input can arrive to end a wait: the main window is open on the window system.
bool host_has_input_source();
// Whether a pass was asked for since the last pass began, with the earliest time; with forget the
// asking is forgotten (as at the start of a pass).
bool host_pass_asked(INT_U32* tick, bool forget);
// The pass so far leaves the frame loop waiting for input alone: it presented nothing, asked for no
// pass, dispatched no message, and no event or close request waits.
bool host_pass_rests();

// The size a mode asks for: -1 takes the available size, then the mode's limits apply.
void host_mode_size(const GRAPHICS_MODE* mode, INT_S32 available_width, INT_S32 available_height, INT_S32* width,
                    INT_S32* height);
// The size, once fitted to the screen, still keeps within the mode's limits and 1..0x7FFF.
bool host_mode_size_fits(const GRAPHICS_MODE* mode, INT_S32 width, INT_S32 height);

// Number of idle waits the message pump has made (a pass that slept for input).
extern INT_U32 idle_wait_count;

// The platform's own clock, desktop size, key state and present; the shared host layer answers
// get_tick_count, get_desktop_width/height, KEYBOARD_HANDLER::is_key_down and present_view with them,
// unless a test drives or watches them.
INT_U32 host_tick_count();
INT_S16 host_desktop_width();
INT_S16 host_desktop_height();
bool host_is_key_down(INT_S32 virtual_key);
// The hosts note every key press of the main window here, and drop what they noted when it loses the
// keyboard focus; is_key_down answers true for a noted key until the next input pass is done.
void host_note_key_press(INT_S32 virtual_key);
void host_drop_key_presses();
bool host_key_pressed_since_pass(INT_S32 virtual_key);
bool host_present_view(INT_S16 screen, const PIXEL_VIEW* view);

// A close request of the main window (the window's close button, or a test): asks the close callback and
// ends the loop when it agrees. A request that arrives while the application's update runs (messages
// pumped inside a pass) is only recorded and acted on before the next pass, so no callback adds or
// removes screen objects in the middle of a pass.
void host_request_close();

// Called by the frame loop after every pass; tells the test seam's pass callback, when one is set.
void host_pass_done();
// Whether a test counts the frame loop's passes (the pass callback is set).
bool host_passes_watched();
// Whether a test drives the frame loop's waits on its tick clock (test_seam_drive_waits), and such a
// wait: the clock moves on by ms (a wait for input alone, by the idle wait) and no real time passes.
bool host_waits_driven();
void host_driven_wait(INT_U32 ms);

// The keyboard presence a test asked for (-1: the host's own answer).
extern INT_S8 test_seam_keyboard;
// What a test tells the hold of a folder of the file system, and its callback at the hold's steps
// (host_test_seam.h).
extern TEST_SEAM_FILE_SYSTEM test_seam_told_file_system;
extern void (*test_seam_hold_step)(TEST_SEAM_HOLD_STEP step);
