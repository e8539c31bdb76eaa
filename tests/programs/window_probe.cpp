// A small program for real-window tests: opens the main window, marks where a mouse button went down
// (a red square) and up (a blue square), and prints every input it receives, one line each, so that a
// test driving it with real input can check what arrived. A close request ends it with status 5.
// Arguments: title, client width, client height.
#include <cstdio>
#include <cstdlib>

#include "image.h"
#include "program.h"
#include "scenario_output.h"
#include "screen_image.h"

static const INT_S32 CLOSED_STATUS = 5;
static const COLOUR BACKGROUND = 0xFF203040u;
static const COLOUR PRESS_MARK = 0xFFFF0000u;
static const COLOUR RELEASE_MARK = 0xFF0000FFu;

static INT_U32 previous_buttons = 0;

// A 10 x 10 square centred on the point.
static void mark(INT_S16 x, INT_S16 y, COLOUR colour) {
  screen_image.fill_rectangle(x - 5, y - 5, x + 4, y + 4, &colour, 0);
}

void application_main(INT_S16 argc, char** argv) {
  if (argc < 4) {
    say("usage: window_probe title width height\n");
    exit_process(2);
  }
  if (!open_graphics_window(argv[1], (INT_S16)std::atoi(argv[2]), (INT_S16)std::atoi(argv[3]), 0, 0)) exit_process(2);
  set_close_callback(say_close_and_grant);
  screen_image.clear(&BACKGROUND, 1);
  screen_image.extend_dirty_area(0, 0, screen_image.width - 1, screen_image.height - 1);
  present_frame(0);
  say("ready %d %d\n", (int)screen_image.width, (int)screen_image.height);
}

INT_U8 application_update() {
  KEYBOARD_HANDLER keyboard;
  MOUSE_HANDLER mouse;
  INT_S16 x = MOUSE_HANDLER::pointer_x, y = MOUSE_HANDLER::pointer_y;
  INT_U32 changed = MOUSE_HANDLER::held_buttons ^ previous_buttons;
  for (int button = 1; button <= 3; button++) {
    INT_U32 bit = 1u << (button - 1);
    if (!(changed & bit)) continue;
    bool down = (MOUSE_HANDLER::held_buttons & bit) != 0;
    mark(x, y, down ? PRESS_MARK : RELEASE_MARK);
    say("%s %d %d %d\n", down ? "press" : "release", button, (int)x, (int)y);
  }
  previous_buttons = MOUSE_HANDLER::held_buttons;
  MOUSE_HANDLER::input_pass_done();  // this update is the program's input pass
  if (MOUSE_HANDLER::wheel_notches) {
    say("wheel %d\n", MOUSE_HANDLER::wheel_notches);
    MOUSE_HANDLER::wheel_notches = 0;
  }
  INT_S32 key = keyboard.read_key();
  if (key >= 0)
    say("key %02X%s\n", (unsigned)key, keyboard.is_key_down(VKEY_SHIFT) ? " shift" : "");
  KEYBOARD_HANDLER::input_pass_done();
  while (char c = keyboard.read_char()) say("char %02X\n", (unsigned)(INT_U8)c);
  present_frame(0);
  return 1;
}

void application_exit() { exit_process(CLOSED_STATUS); }

void application_statics(bool) {}
