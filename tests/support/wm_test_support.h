// Helpers for window-manager tests: a headless screen with a driven clock and a page manager, and input
// given pass by pass through the page manager's real update.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "folder.h"
#include "screen_object.h"
#include "types.h"

class WM_PAGE_MANAGER;
class WM_SCREEN_OBJECT;

// A fresh window-manager state for one test: a width x height screen image without a window, the tick
// clock at start_ms advancing step_ms on every read, no input, empty redraw regions and top-level list, no
// focus, and (with areas > 0) a page manager of that many areas. Everything is undone on destruction.
class WM_TEST_SCREEN {
public:
  WM_PAGE_MANAGER* manager;

  explicit WM_TEST_SCREEN(INT_S16 width = 640, INT_S16 height = 480, INT_S16 areas = 1, INT_U32 start_ms = 10000,
                          INT_U32 step_ms = 0);
  ~WM_TEST_SCREEN();
  WM_TEST_SCREEN(const WM_TEST_SCREEN&) = delete;
  WM_TEST_SCREEN& operator=(const WM_TEST_SCREEN&) = delete;
};

// Gives the page manager's area 0 an empty page and applies it (one pass).
void start_empty_page();
// Adds the object to the current area's root (absolute position), then one pass.
void add_to_page(WM_SCREEN_OBJECT* object);
// Gives area 0 a page that adds the objects to its root (absolute positions, in order; the root owns them
// then, and a rebuilt page starts empty), then passes passes.
void show_as_page(std::initializer_list<WM_SCREEN_OBJECT*> objects, int passes);

// One pass of the page manager's update; the result it returned.
INT_S32 run_pass();
// What the last pass asked of the frame loop: the ms from its pass time to the pass it asked for (0 =
// at once), or -1 when it asked for none (the loop then waits for input alone, unless it presented).
INT_S32 pass_asked_in();
// count passes; the last non-zero result, or 0.
INT_S32 run_passes(int count);
// The tick clock moves on by ms (between passes).
void advance_ms(INT_U32 ms);
// Pointer to (x, y), then button down in one pass and up in the next (1 left, 2 right); the result of the
// release pass, or of the press pass when that was not 0.
INT_S32 click(INT_S16 x, INT_S16 y, INT_S16 button = 1);
// The pointer moved to (x, y) and the button pressed or released, followed by the pass that shows it
// (two passes when a button was held and the pointer moved: the move is shown first).
INT_S32 press(INT_S16 x, INT_S16 y, INT_S16 button = 1);
INT_S32 release(INT_S16 x, INT_S16 y, INT_S16 button = 1);
INT_S32 move_pointer(INT_S16 x, INT_S16 y);
// A key pressed (one pass) and let go (one pass), with optional modifier keys held through both.
INT_S32 key(INT_S32 virtual_key, INT_S32 modifier = -1, INT_S32 second_modifier = -1);
// Passes with the clock moved on 2 s between them, so that every dialog's fade and slide (and those of
// dialogs that wait for it) come to their end.
void settle_effects();
// A pass with the pointer over the object's centre and no button held (so that every button has seen
// the button up), then a click there; the result of click.
INT_S32 tap(WM_SCREEN_OBJECT* object);
// The characters queued as typed, then one pass.
INT_S32 type_text(const char* text);
// The colour of a screen pixel.
INT_U32 screen_pixel(INT_S16 x, INT_S16 y);

// One call of an event callback as record_event_call saw it.
struct EVENT_CALL {
  WM_SCREEN_OBJECT* object;
  INT_U32 user1, user2;
  int value;
};
// The calls record_event_call has seen, and what it answers them; each test sets both up.
extern std::vector<EVENT_CALL> event_calls;
extern WM_RESULT event_answer;
// An event callback that records its calls.
WM_RESULT record_event_call(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int value);

// A test whose pictures (frame parts) live in its own scratch folder: folder and its portable text
// path; the image cache is emptied before and after.
class PICTURE_FOLDER_TEST : public ::testing::Test {
protected:
  FOLDER folder;
  char path[FOLDER_PATH_SIZE];
  void SetUp() override;
  void TearDown() override;
};

// Writes a width x height PNG of one colour as folder/name.png (a single-image frame part); false when
// it cannot be written.
bool save_solid_picture(FOLDER* folder, const char* name, INT_S16 width, INT_S16 height, INT_U32 colour);
