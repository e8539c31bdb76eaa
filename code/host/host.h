// The host interface: everything the library and the application ask of the operating system's side —
// program entry and frame loop, clock and sleeping, console and message boxes, the main window and its
// presentation, keyboard and mouse input, and the platform event queue. One header for both host layers.
#pragma once
#include "types.h"
#include "errors.h"

// ---------------------------------------------------------------------------------------------------
// Unattended runs, console and message boxes
// ---------------------------------------------------------------------------------------------------

// Name of the environment variable that marks an unattended run (tests, CI): when it is set to anything
// but "" or "0", message boxes and the fatal-exit box write their text to standard error and never wait.
#define UNATTENDED_VARIABLE "VELK_UNATTENDED"

// True when the process runs unattended (read once from the environment).
bool running_unattended();

// Writes the text to the standard output the process inherited; a Windows program without one opens a
// console on first use (freed again at shut-down). A terminal or console gets each text at once; a file
// or a pipe gets them gathered in large writes: console_flush writes what is held, as does every way
// the process ends (a process killed from outside loses the held tail) and every message box.
void console_print(const char* text);
void console_flush();

// Shows a message box with an OK button and waits for it to be closed; unattended the caption and text go
// to standard error instead ("caption: text") and nothing waits, as they do when no box can be shown (no
// display). On Linux standard error gets them also when the box shows.
void show_message_box(const char* caption, const char* text);

// From now on no message box waits on a window of the program's own: on Linux a box, the fatal end's
// too, goes to standard error alone, as when unattended, whatever the display (an automatic run waits on
// no window). The Windows host goes on showing its boxes, which are the system's.
void keep_boxes_off_display();

// Optional observer of every message box (tests read the texts); null = none.
typedef void (*MESSAGE_BOX_HOOK)(const char* caption, const char* text);
void set_message_box_hook(MESSAGE_BOX_HOOK hook);

// Makes the numbered errors and the debugging aids (errors.h) report through the host: boxes by
// show_message_box, the console by console_print, the data errors to the "VELK Platform" debug stream
// when any of its outputs is on, and the end by fatal_exit. The program's start does this first.
void report_errors_through_host();

// ---------------------------------------------------------------------------------------------------
// Clock, sleeping and ending the process
// ---------------------------------------------------------------------------------------------------

// The library's millisecond clock: milliseconds since the system started; wraps after 49.7 days.
INT_U32 get_tick_count();
// The calendar clock: seconds since 1970 (the last input times and the time stamps).
INT_U32 get_calendar_seconds();

// The calendar clock's seconds, but always above the previous result.
INT_U32 unique_time_stamp();

// Frame rate: counts one frame; returns last second's count. Each output may be null.
INT_U32 count_frame(INT_U32* minimum, INT_U32* maximum, INT_U32* average);
// Sets *text to the counter's text, counts a frame and remakes the text when last second's count
// changed ("Frame Rate" when name is null); 1 when it was remade.
INT_U32 update_frame_rate_text(const char** text, const char* name);
const char* frame_rate_text(const char* name);

void sleep_milliseconds(INT_U32 ms);
void sleep_seconds(INT_U32 s);

// Closes the main window and ends the process with the text shown in the fatal-exit box (standard error
// when unattended), with the status (FATAL_EXIT_STATUS unless a fatal error of the command line gives
// another). Does not return. A null or empty text shows no box.
[[noreturn]] void fatal_exit(const char* text, INT_S32 status = FATAL_EXIT_STATUS);

// A normal end of the process from anywhere (the one-shot command-line ends): closes the main window,
// gives back the console and ends the process with the status (0 success, 1 the job failed, 2 it could
// not start). Does not return.
[[noreturn]] void exit_process(INT_S32 status);

// Requests of the system to end the process: on Linux SIGINT (Ctrl+C in the terminal) and SIGTERM (a
// service manager stopping it); on Windows the console's Ctrl+C, Ctrl+Break and close events, log-off
// and shut-down. Until watch_end_requests is called they end the process as the system does; the
// program's run calls it first thing. From then on the first one only sets the request that
// end_requested reads, and the program ends itself at its next safe point: the frame loop ends after
// its pass, an installation stops before its next file, a copy-out before its next record. A second
// request while it ends ends the process at once, taking with it the files noted for that
// (remove_at_immediate_end, files.h). A request that the process was started to ignore (nohup) stays
// ignored. A console that goes away is no request: on Linux SIGPIPE (the reader of a pipe closed it)
// and SIGHUP (the terminal closed) are taken from then on, console_print's writes fail and are
// dropped, and the run goes on to its end.
// A Windows program that uses the window system (every program on this library) learns of log-off and
// shut-down only from messages to its top-level windows, and the system ends the process as soon as
// they are answered: such an end cannot wait for a safe point. A program without a main window that
// works for long (automatic mode) calls watch_session_end for a hidden top-level window (nothing on
// Linux), whose messages pump_messages takes. When the session ends, the request is set,
// session_end_hook runs, and the process ends with status 1.
void watch_end_requests();
void watch_session_end();
bool end_requested();
// Holds back requests to end the process while the program makes a file that an immediate end removes
// and notes it (remove_at_immediate_end), or gives such a file its name and forgets the note: a second
// request at any moment finds every such file noted, and no note of a file that is not the program's.
// Requests that come meanwhile are taken as soon as the last release_end_requests lets them through,
// before it returns: the first is then noted (the caller looks at end_requested right after the hold,
// as at any safe point), and a second, whether it came before the hold or during it, ends the process
// there. Holds nest; each is released once. Not for long stretches.
void hold_end_requests();
void release_end_requests();

// The program's full file name (argument 0 of the argument vector), filled on first use.
const char* get_module_path();

// ---------------------------------------------------------------------------------------------------
// Program entry and frame loop
// ---------------------------------------------------------------------------------------------------

// The application's descriptor, read by the host layer. The host keeps the one instance with
// empty defaults; the application fills it in before the program entry reads it.
struct APP_DESCRIPTOR {
  const char* title;       // the application's title (first line of the library banner)
  INT_U8 banner_at_exit;   // non-zero: the host shows the library banner after the run
  INT_U16 icon_resource;   // resource number of the window icon
};
extern APP_DESCRIPTOR app_descriptor;

// The program's arguments for its run (run_program, program.h), asked for by the program's entry (main):
// argument 0 the program's full file name (get_module_path), then the command line's arguments as the
// system's text, with a run for each character it cannot hold. On Linux they are main's (UTF-8); on
// Windows the process's command line, read in UTF-16 and split by split_command_line (main's are not
// used), and the program's instance is kept. One malloc block (the vector, null-terminated, and its
// texts), which run_program frees; *count counts the arguments. Null when out of memory.
char** get_program_arguments(int argc, char** argv, INT_S32* count);

// The application's three entries, reached by the library only through the record that the program's
// entry (main) hands to run_program (program.h).
typedef void (*APPLICATION_MAIN)(INT_S16 argc, char** argv);
typedef INT_U8 (*APPLICATION_UPDATE)();  // 0 ends the loop
typedef void (*APPLICATION_EXIT)();

typedef void (*EXIT_HOOK)();

extern INT_U32 idle_wait_ms;          // 0 = the loop never sleeps; else the pump's longest sleep and the
                                      // period of request_pass_soon, in ms (50 at start)
extern INT_U8 activity_flag;          // the pass was busy: its wait is skipped; cleared after every pass
extern INT_U8 quit_flag;              // a close request of the window was granted: the loop ends
extern EXIT_HOOK exit_hook;           // run once after the loop, before the application's exit
// Set by the application: ends its work where it stands when the session ends (watch_end_requests),
// complete on disk, as the process ends right after. It runs on the program's thread from inside a
// message dispatch, between two passes or inside one (a pump), and what it leaves half done is never
// resumed. Null = none; the Linux host never runs it.
extern EXIT_HOOK session_end_hook;
extern INT_S8 current_pointer_shape;  // last shape asked of set_mouse_cursor (-1 at start)
extern INT_U8 about_request_flag;     // read and cleared by the application; the host never sets it

INT_U32 get_idle_wait();
void set_idle_wait(INT_U32 ms);

// Splits a command line's arguments (the text after the program's name) into an argument vector as
// Windows programs split them: spaces and tabs outside double quotes separate arguments; a quote opens
// or closes a quoted part and is dropped, and a doubled quote inside one is a quote; 2n backslashes
// before a quote give n backslashes (the quote opens or closes), 2n+1 give n and a quote; backslashes
// before anything else stay as they are. Element 0 is a copy of program_path (null = ""), the last
// element is null, *argc counts the others plus 1. The vector and its texts are one malloc block:
// free() releases everything. Null when out of memory.
char** split_command_line(const char* command_line, const char* program_path, INT_S32* argc);
// The command line behind the program's name, which Windows reads by a rule of its own: the name ends
// at the first space or tab outside double quotes, and the blanks after it are skipped. Null for null.
const char* skip_program_name(const char* command_line);

// The host's part of the start-up before the application runs: the C library's heap keeping freed
// memory for reuse (Linux). The window class (Windows) is registered with the first window.
void start_host();
// Gives back the console that console_print opened (Windows; nothing on Linux).
void release_console();
// The library banner box at exit: no icon, OK only (standard error when unattended).
void show_banner_box(const char* caption, const char* text);
// The library's about text in a static buffer (overwritten by each call): the application's title and
// the library's credits.
const char* build_library_banner(bool name_maker);

// The frame loop alone: update, events, messages, then the wait (request_pass_by); ends when update
// returns 0, a close request was granted, or after the first pass whose update began after an end
// request (end_requested).
void run_frame_loop(APPLICATION_UPDATE update);

// One pass of the loop without the application: the platform event queue, every pending window
// message, then the idle wait unless it is 0 or the pass was busy.
void pump_messages();

// The frame loop waits after an idle pass until input arrives, or until the time that work of the pass
// asked the next pass by: work with a timed step ahead that shows nothing until then (a button's
// repeat, a hint, a flash, an effect between its steps, an animation) asks during the pass. A pass
// that asks for nothing and presented nothing waits for input alone; one that presented a frame does
// not wait. The earliest time asked for counts; each pass asks afresh.
void request_pass_by(INT_U32 tick);  // by get_tick_count() == tick
// A pass within the idle wait from now: for work that watches the clock every pass without knowing
// when it next changes, which the loop then serves as it serves every pass without this wait.
void request_pass_soon();

// ---------------------------------------------------------------------------------------------------
// Main window and presentation
// ---------------------------------------------------------------------------------------------------

// What an application asks of the main window.
struct GRAPHICS_MODE {
  const char* title;   // null = ""
  INT_S16 width;       // client size; -1 = the available width / height
  INT_S16 height;
  INT_U8 full_screen;  // switch the display to width x height and show a frameless window
  INT_S16 min_width;   // limits, -1 = none
  INT_S16 max_width;
  INT_S16 min_height;
  INT_S16 max_height;
  INT_U8 borderless;   // a popup window without frame and caption
};

// Asked when the user closes the window (screen is always 0); non-zero = the window may close.
typedef INT_U8 (*CLOSE_CALLBACK)(INT_S16 screen);

extern INT_U8 full_screen_active;  // the display mode was changed by open_window
extern INT_U8 full_redraw_flag;    // the next OpenGL presentation copies the whole image
extern CLOSE_CALLBACK close_callback;

// Name of the environment variable that asks for a main window without a display (Linux: a window whose
// pixels are shown nowhere, as tests use it) when it is set to anything but "" or "0"; Windows has no
// such window.
#define HEADLESS_VARIABLE "VELK_HEADLESS"

// Why no main window can be made, or null when one can: on Linux the X server that DISPLAY names must
// answer (within a few seconds; nothing is needed when HEADLESS_VARIABLE asks for no display), on
// Windows a window must be possible. The text lasts until the next call.
const char* display_problem();

// A view of the pixels that the main window shows, which the layer that draws them owns (the screen
// image, screen_image.h): height rows of width pixels 0xAARRGGBB (the alpha is not shown), pitch pixels
// from one row's start to the next, and the inclusive area changed since they were last shown (any -1:
// nothing changed).
struct PIXEL_VIEW {
  INT_U32* pixels;  // null: no pixels
  INT_S32 width;
  INT_S32 height;
  INT_S32 pitch;
  INT_S32 changed_left;
  INT_S32 changed_top;
  INT_S32 changed_right;
  INT_S32 changed_bottom;
};

// Opens the main window or re-shapes the open one; 1 with its client size in *width and *height, 0
// when screen is not 0 or the size cannot meet the limits (nothing changed then). A window that cannot
// be made at all (no display, see display_problem) is error 0x00 "Main window pointer invalid".
// OpenGraphics (screen_image.h) opens it with a screen image of its size.
INT_U8 open_window(const GRAPHICS_MODE* mode, INT_S16 screen, INT_S16* width, INT_S16* height);
// Closes the main window for screen 0 or -1 (all screens, the display's connection too): leaves full
// screen and destroys the window. Other screen numbers and "no window" do nothing.
void close_window(INT_S16 screen);
// Shows the view's changed area in the window, nothing more (the part of it inside the view); screen 0
// or -1 only. True when it took the frame, shown in the window or, without one, nowhere: the
// pass was busy, and the caller empties its changed area. False for another screen, no pixels or
// nothing changed.
bool present_view(INT_S16 screen, const PIXEL_VIEW* view);
// Asked when the window system has lost the inclusive rectangle of the window's picture: the layer that
// owns the pixels shows it again. Set by OpenGraphics; null = none.
typedef void (*REPAINT_HOOK)(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom);
extern REPAINT_HOOK repaint_hook;
void set_close_callback(CLOSE_CALLBACK callback);
INT_U8 allow_close(INT_S16 screen);  // a CLOSE_CALLBACK that always answers 1
void set_window_title(const char* title, INT_S16 screen);
INT_U8 is_screen_open(INT_S16 screen);
INT_U8 has_main_window();
INT_U8 is_full_screen();
INT_U8 has_gl_context();
INT_S16 get_desktop_width();
INT_S16 get_desktop_height();

// OpenGL presentation path (Windows): used by present_view while a context exists.
INT_U8 create_gl_context();
void delete_gl_context();
void set_full_redraw(INT_U8 on);

// ---------------------------------------------------------------------------------------------------
// Keyboard and mouse
// ---------------------------------------------------------------------------------------------------

// Windows virtual-key codes that the library compares (both hosts report keys in this code).
enum VIRTUAL_KEY {
  VKEY_BACK = 0x08, VKEY_TAB = 0x09, VKEY_RETURN = 0x0D, VKEY_SHIFT = 0x10, VKEY_CONTROL = 0x11,
  VKEY_MENU = 0x12, VKEY_PAUSE = 0x13, VKEY_CAPITAL = 0x14, VKEY_ESCAPE = 0x1B, VKEY_SPACE = 0x20,
  VKEY_PRIOR = 0x21, VKEY_NEXT = 0x22, VKEY_END = 0x23, VKEY_HOME = 0x24, VKEY_LEFT = 0x25,
  VKEY_UP = 0x26, VKEY_RIGHT = 0x27, VKEY_DOWN = 0x28, VKEY_SNAPSHOT = 0x2C, VKEY_INSERT = 0x2D,
  VKEY_DELETE = 0x2E, VKEY_LWIN = 0x5B, VKEY_RWIN = 0x5C, VKEY_APPS = 0x5D, VKEY_NUMPAD0 = 0x60,
  VKEY_MULTIPLY = 0x6A, VKEY_ADD = 0x6B, VKEY_SEPARATOR = 0x6C, VKEY_SUBTRACT = 0x6D,
  VKEY_DECIMAL = 0x6E, VKEY_DIVIDE = 0x6F, VKEY_F1 = 0x70, VKEY_NUMLOCK = 0x90, VKEY_SCROLL = 0x91,
  VKEY_LSHIFT = 0xA0, VKEY_RSHIFT = 0xA1, VKEY_LCONTROL = 0xA2, VKEY_RCONTROL = 0xA3,
  VKEY_LMENU = 0xA4, VKEY_RMENU = 0xA5, VKEY_OEM_1 = 0xBA, VKEY_OEM_PLUS = 0xBB,
  VKEY_OEM_COMMA = 0xBC, VKEY_OEM_MINUS = 0xBD, VKEY_OEM_PERIOD = 0xBE, VKEY_OEM_2 = 0xBF,
  VKEY_OEM_3 = 0xC0, VKEY_OEM_4 = 0xDB, VKEY_OEM_5 = 0xDC, VKEY_OEM_6 = 0xDD, VKEY_OEM_7 = 0xDE
};

// Called by KEYBOARD_HANDLER::read_line with (0 = waiting / 1 = the line changed, buffer, user);
// answering 0 ends the reading with result 1.
typedef INT_U8 (*LINE_ECHO_CALLBACK)(INT_U8 changed, char* buffer, void* user);

// A view of the global keyboard state; any code may hold one. The state itself is shared.
class KEYBOARD_HANDLER {
public:
  static INT_S32 last_key;         // virtual-key code of the last press not yet read; -1 = none
  static INT_U32 last_input_time;  // seconds since 1970 of the last key press or typed character
  static INT_S32 queue_last;       // index of the newest queued character; -1 = empty
  static INT_S32 queue_size;       // capacity of the typed-character queue
  static char* queue_buffer;       // the typed characters, oldest at index 0
  static INT_S16 handler_count;    // live handlers; the queue goes with the last one

  KEYBOARD_HANDLER() {
    if (!queue_buffer) set_buffer_size(10);
    handler_count++;
  }
  ~KEYBOARD_HANDLER() {
    if (--handler_count <= 0) {
      handler_count = 0;
      release_queue();
    }
  }
  KEYBOARD_HANDLER(const KEYBOARD_HANDLER&) = delete;
  KEYBOARD_HANDLER& operator=(const KEYBOARD_HANDLER&) = delete;

  void set_key(INT_S32 key);
  INT_S32 read_key();
  // Queues a character: 0..255 (and -128..-1 as its byte) through the character table, others as '?';
  // dropped when the result is 0, the queue is full or has no buffer.
  void push_char(INT_S32 character);
  // The oldest queued character; 0 when the queue is empty.
  char read_char();
  // Drops every queued character: what was typed before a text field took the focus, or before a page
  // or dialog opened, was not typed into it.
  static void empty_queue() { queue_last = -1; }
  void set_buffer_size(INT_S32 size);
  // Line input from the queue into buffer (size bytes) at *cursor: 1 stopped by the callback, 2 a
  // line feed ended the line, 3 nothing queued (not waiting), 4 characters taken (not waiting).
  INT_S32 read_line(INT_U8 wait, INT_S16* cursor, char* buffer, INT_S16 size, LINE_ECHO_CALLBACK echo,
                    void* user);
  // The key is held down while the main window has the keyboard focus, or was pressed since the last
  // input pass: a press and its release that both arrive between two passes (a quick tap) show the key
  // down to one pass and up to the next, as the mouse's queue does for buttons.
  bool is_key_down(INT_S32 virtual_key);
  // Called by the input pass once its objects have seen the keys: the presses it saw are forgotten.
  static void input_pass_done();
  // The character the key types with or without Shift; 0 when none.
  char key_to_char(INT_S32 virtual_key, INT_U8 shift);
  // The key's name (static buffer); "" when none.
  const char* get_key_name(INT_S32 virtual_key);

private:
  static void release_queue();
};

// The number of mouse buttons the system reports.
INT_S32 query_mouse_button_count();
// The longest time in ms between the two clicks of a double click: the system's setting where it has one.
INT_U32 query_double_click_time();

// Mouse buttons of MOUSE_HANDLER::button_event.
enum MOUSE_BUTTON { MOUSE_LEFT = 1, MOUSE_RIGHT = 2, MOUSE_MIDDLE = 3, MOUSE_X1 = 10, MOUSE_X2 = 11 };

// A recorded mouse state that the input pass has still to see: the pointer and the held buttons,
// whether it came from a button (or the pointer leaving) rather than from a move alone, how often the
// pointer had left the window by then, and the time of the left button's last change.
struct MOUSE_STATE {
  INT_S16 x, y;
  INT_U32 held;
  INT_U8 button;
  INT_U32 leaves;
  INT_U32 time;
};
enum { MOUSE_PENDING_SIZE = 16 };

// A view of the global mouse state; any code may hold one.
class MOUSE_HANDLER {
public:
  static INT_S16 pointer_x;             // client pixels; -1 = outside the window
  static INT_S16 pointer_y;
  static INT_U32 held_buttons;          // bit (b - 1) while button b is held
  static INT_S32 wheel_notches;         // whole notches, positive = away from the user; readers reset it
  static INT_S32 wheel_remainder;       // movement short of a notch, in 1/120 notch
  static INT_U32 last_event_time;       // seconds since 1970 of the last move, button or notch
  static INT_S16 button_count;          // 0 = not yet asked
  static INT_U8 pointer_visible;
  static INT_U8 system_cursor_visible;
  static INT_U32 last_press_tick;       // get_tick_count of the last press / release of button 1
  static INT_U32 last_release_tick;
  static INT_U32 press_interval;        // ms between the last two presses / releases of button 1
  static INT_U32 release_interval;
  // The input pass reads the pointer and the held buttons once per pass, so a press and its release
  // that arrive between two passes (a quick click, a tap) would cancel out. The hosts therefore record
  // button changes in order: while the state shown (pointer_x, pointer_y, held_buttons) holds a button
  // change that no input pass has taken yet, later changes and the moves after them wait here, and each
  // input_pass_done shows the next. Input slower than the passes is shown at once, as it comes. A move
  // with a button held (a step of a drag) is shown at once too, but a button change after it waits until
  // a pass has seen it, so that a drag let go between two passes ends where it was let go.
  static INT_U8 unseen_change;          // the state shown holds a button change no input pass has taken
  static INT_U8 unseen_drag;            // the state shown is a move with a button held no input pass has taken
  static MOUSE_STATE pending[MOUSE_PENDING_SIZE];  // oldest first
  static INT_S32 pending_count;
  // How often the pointer had left the window up to the state shown: a leave whose move outside a later
  // move replaced before any pass saw it (the pointer back at once, even at the same pixel) still counts.
  static INT_U32 leave_count;
  // The time (ms) of the left button's last change up to the state shown, as the host's event gave it
  // (else when it was recorded, by get_tick_count): a change shown passes later keeps the time it was
  // made. Only differences count.
  static INT_U32 change_time;

  MOUSE_HANDLER() {
    if (button_count == 0) button_count = (INT_S16)::query_mouse_button_count();
  }
  ~MOUSE_HANDLER() {}

  void button_event(INT_S16 button, INT_U8 pressed);
  // The same with the time (ms) that the host's event carries (the X server's, the message's).
  void button_event(INT_S16 button, INT_U8 pressed, INT_U32 event_time);
  // The pointer moved to a client point; the pointer left the window (outside, every button up).
  static void pointer_event(INT_S16 x, INT_S16 y);
  static void pointer_left();
  // Called by the input pass once it has given the state shown to its objects: the next recorded state,
  // if any, is shown for the next pass (which then does not sleep).
  static void input_pass_done();
  // Changes recorded for the input pass but not yet shown to it are dropped and the newest state is shown
  // as it is: a new picture in the window does not take clicks made on the old one.
  static void settle();
  // Adds raw wheel movement (120 = one notch away from the user).
  static void add_wheel_delta(INT_S32 delta);
  // Moves the pointer to a client point.
  void set_position(INT_S16 x, INT_S16 y);
  void show_pointer();
  void hide_pointer();
};

// Seconds since 1970 of the last keyboard input, and of the last input of the keyboard or the mouse.
INT_U32 get_last_input_time();
INT_U32 get_last_activity_time();

// Shows or hides the system pointer; always 1.
INT_U8 show_system_cursor(INT_U8 show);

// Pointer shapes of set_mouse_cursor; -1 = the pointer in use before the first change.
typedef INT_S8 POINTER_SHAPE;
enum { POINTER_ARROW = 0, POINTER_HAND = 1, POINTER_HAND_2 = 2, POINTER_MOVE = 3, POINTER_MOVE_2 = 4,
       POINTER_TEXT = 5, POINTER_WAIT = 6 };
// Shows the shape (load_only: only makes sure it can be shown); 1 on success, 0 when it cannot be
// loaded or there is no window (shape -1 is accepted without a window).
INT_U8 set_mouse_cursor(INT_S8 shape, INT_U8 load_only);

// The character a typed key delivers: Control (without Alt) with a letter key gives the lower-case
// letter, a carriage return becomes a line feed; a character beyond 0xFF (Latin-1) is dropped.
// -1 = nothing to queue. Used by both hosts.
INT_S32 translate_typed_character(INT_U32 character, INT_S32 virtual_key, INT_U8 control_down,
                                  INT_U8 alt_down);

// Joystick capabilities; none on Linux.
struct JOYSTICK_CAPS {
  INT_U16 button_count;
  INT_U32 x_minimum, x_maximum, y_minimum, y_maximum, z_minimum, z_maximum;
  INT_U32 r_minimum, r_maximum, u_minimum, u_maximum, v_minimum, v_maximum;
  INT_U8 has_z, has_r, has_u, has_v, has_pov;
};
// Joystick 1 or 2: 1 and the record filled, 0 for another number or no such joystick.
INT_U8 get_joystick_caps(INT_S32 joystick, JOYSTICK_CAPS* caps);

// ---------------------------------------------------------------------------------------------------
// Platform event queue
// ---------------------------------------------------------------------------------------------------

struct EVENT;
typedef void (*EVENT_RELEASE)(EVENT* event, void* data);

// A platform event, allocated by its poster with malloc.
struct EVENT {
  INT_U32 code;           // the clients' event code; the queue passes it on untouched
  void* data;
  EVENT_RELEASE release;  // called before a released event is freed; null = none
};

// A receiver of every dispatched event, registered for exactly its lifetime, in registration order.
class EVENT_CLIENT {
public:
  EVENT_CLIENT();
  virtual ~EVENT_CLIENT();
  EVENT_CLIENT(const EVENT_CLIENT&) = delete;
  EVENT_CLIENT& operator=(const EVENT_CLIENT&) = delete;
  virtual INT_S32 handle_event(EVENT* event) = 0;
};

// Hands the event to every client, then (release set, event not null) calls its release function and
// frees the record.
void dispatch_event(EVENT* event, INT_U8 release);
// Queues the event for the next process_event_queue (dispatched at once when no entry can be made).
void post_event(EVENT* event, INT_U8 release);
// Dispatches and removes the events queued when it started, oldest first.
void process_event_queue();
// Number of queued events.
INT_S32 queued_event_count();
