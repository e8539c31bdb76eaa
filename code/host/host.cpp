// The shared part of the host layer: the command-line split, the frame loop and its message pump, the
// unattended switch, the idle wait and the loop's globals, the frame-rate counter, unique time stamps,
// the application's descriptor with the library banner and the error reports through the host.
#include "host.h"
#include "host_private.h"
#include "debug_stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

INT_U32 idle_wait_ms = 50;
INT_U8 activity_flag = 0;
INT_U8 quit_flag = 0;
EXIT_HOOK exit_hook = nullptr;
EXIT_HOOK session_end_hook = nullptr;
INT_S8 current_pointer_shape = -1;
INT_U8 about_request_flag = 0;
INT_U32 idle_wait_count = 0;

// The switch is read once: a value other than empty or "0" makes the run unattended.
bool running_unattended() {
  static int state = -1;
  if (state < 0) {
    const char* value = std::getenv(UNATTENDED_VARIABLE);
    state = (value && value[0] && std::strcmp(value, "0") != 0) ? 1 : 0;
  }
  return state == 1;
}

INT_U32 get_idle_wait() { return idle_wait_ms; }
void set_idle_wait(INT_U32 ms) { idle_wait_ms = ms; }

const char* skip_program_name(const char* command_line) {
  if (!command_line) return nullptr;
  // A quoted part holds blanks; the quotes say nothing else, since a path holds no quote.
  bool quoted = false;
  while (*command_line && (quoted || (*command_line != ' ' && *command_line != '\t'))) {
    if (*command_line == '"') quoted = !quoted;
    command_line++;
  }
  while (*command_line == ' ' || *command_line == '\t') command_line++;
  return command_line;
}

// Reads the arguments of the text as Windows programs split them: blanks (spaces and tabs) outside
// quotes separate; a double quote opens or closes a quoted part and is dropped, and inside one a doubled
// quote is a quote; backslashes are kept as they are unless a quote follows them, where each pair gives
// one backslash and an odd one left makes the quote a plain character. Each argument goes to out with
// its terminator and starts[] gets where it begins; with out null they are only counted. The count.
static size_t read_arguments(const char* text, char* out, char** starts) {
  size_t count = 0;
  for (;;) {
    while (*text == ' ' || *text == '\t') text++;
    if (!*text) return count;
    if (out) starts[count] = out;
    count++;
    bool quoted = false;
    while (*text && (quoted || (*text != ' ' && *text != '\t'))) {
      if (*text == '\\') {
        size_t backslashes = 0;
        while (text[backslashes] == '\\') backslashes++;
        bool before_quote = text[backslashes] == '"';
        size_t kept = before_quote ? backslashes / 2 : backslashes;
        if (out) out = (char*)std::memset(out, '\\', kept) + kept;
        text += backslashes;
        if (before_quote && backslashes % 2) {
          if (out) *out++ = '"';
          text++;
        }
      } else if (*text == '"') {
        if (quoted && text[1] == '"') {
          if (out) *out++ = '"';
          text += 2;
        } else {
          quoted = !quoted;
          text++;
        }
      } else {
        if (out) *out++ = *text;
        text++;
      }
    }
    if (out) *out++ = 0;
  }
}

char** split_command_line(const char* command_line, const char* program_path, INT_S32* argc) {
  if (!command_line) command_line = "";
  if (!program_path) program_path = "";
  size_t length = std::strlen(command_line);
  size_t path_length = std::strlen(program_path);

  // Count first, so that the vector and both texts fit one block. An argument is never longer than
  // its text, and each but the last has a blank behind it for its terminator.
  size_t count = read_arguments(command_line, nullptr, nullptr);
  size_t vector_bytes = (count + 2) * sizeof(char*);
  char** vector = (char**)std::malloc(vector_bytes + path_length + 1 + length + 1);
  if (!vector) return nullptr;
  char* path_copy = (char*)vector + vector_bytes;
  std::memcpy(path_copy, program_path, path_length + 1);
  vector[0] = path_copy;
  read_arguments(command_line, path_copy + path_length + 1, vector + 1);
  vector[count + 1] = nullptr;
  *argc = (INT_S32)(count + 1);
  return vector;
}

// Messages dispatched since the application's update last began, by the loop or by a pump inside the
// pass: the input they recorded waits for the next update.
static bool dispatched_since_update = false;
// The pass was busy, as a pump inside it saw before it cleared activity_flag.
static bool busy_since_update = false;

// Set while the application's update runs: a close request then waits for the next pass.
static INT_U8 inside_update = 0;
static INT_U8 close_pending = 0;

static void dispatch_messages() {
  if (host_dispatch_messages()) dispatched_since_update = true;
}

// The host's wait for input, or the one a test drives on its clock.
static void wait_for_input(INT_U32 ms) {
  if (host_waits_driven()) host_driven_wait(ms);
  else host_wait_for_input(ms);
}

void pump_messages() {
  process_event_queue();
  dispatch_messages();
  if (idle_wait_ms != 0 && !activity_flag) {
    idle_wait_count++;
    wait_for_input(idle_wait_ms);
  }
  if (inside_update && activity_flag) busy_since_update = true;
  activity_flag = 0;
}

// The earliest time that work of the current pass asked the next pass by.
static bool pass_due_asked = false;
static INT_U32 pass_due = 0;

void request_pass_by(INT_U32 tick) {
  if (!pass_due_asked || (INT_S32)(tick - pass_due) < 0) pass_due = tick;
  pass_due_asked = true;
}

void request_pass_soon() { request_pass_by(get_tick_count() + idle_wait_ms); }

bool host_pass_rests() {
  return !activity_flag && !busy_since_update && !dispatched_since_update && !close_pending && !pass_due_asked &&
         queued_event_count() == 0;
}

bool host_pass_asked(INT_U32* tick, bool forget) {
  bool asked = pass_due_asked;
  if (tick) *tick = pass_due;
  if (forget) pass_due_asked = false;
  return asked;
}

// Whether the next pass is due now: something happened since the update began (messages, whose input
// the next update reads; events queued; a close request), or the time asked for has come.
static bool pass_due_now() {
  if (dispatched_since_update || close_pending || quit_flag || queued_event_count() > 0 || end_requested())
    return true;
  return pass_due_asked && (INT_S32)(pass_due - get_tick_count()) <= 0;
}

// The frame loop's wait after a pass. None when the idle wait is 0, after a busy pass or when the next
// pass is due now. Otherwise until input arrives or the time the pass asked for; a pass that asked for
// none waits for input alone. What ends the wait is taken at once (events, messages): the next pass
// runs when something is due, and a wake that brought nothing (a system timer) is a round of the loop
// without a pass, after which the wait goes on (the answer is true).
// Without a window no input can come: the wait lasts the idle wait at most, as the message pump's does,
// and a pass follows (unless a test drives the waits: its input comes as a window's would). While a
// test watches the passes, a wait lasts the idle wait at most too, so that the rounds it counts as
// passes keep coming however long the program would wait, while the program runs no update that it
// would not run unwatched.
static bool wait_after_pass(bool watched) {
  if (idle_wait_ms == 0 || activity_flag || busy_since_update || pass_due_now()) return false;
  INT_U32 timeout = HOST_WAIT_FOREVER;
  if (pass_due_asked) {
    INT_S32 left = (INT_S32)(pass_due - get_tick_count());
    if (left <= 0) return false;
    timeout = (INT_U32)left;
  }
  bool window = host_has_input_source() || host_waits_driven();
  if (timeout > idle_wait_ms && (watched || !window)) timeout = idle_wait_ms;
  idle_wait_count++;
  wait_for_input(timeout);
  if (!window) return false;
  process_event_queue();
  dispatch_messages();
  return !pass_due_now();
}

void host_request_close() {
  if (inside_update) {
    close_pending = 1;
    return;
  }
  close_pending = 0;
  quit_flag = (close_callback && close_callback(0)) ? 1 : 0;
}

void run_frame_loop(APPLICATION_UPDATE update) {
  for (;;) {
    if (close_pending) {
      host_request_close();
      if (quit_flag) break;
    }
    host_pass_asked(nullptr, true);
    dispatched_since_update = false;
    busy_since_update = false;
    // An end request of the system ends the loop after a pass whose update could see it (an
    // installation stops there).
    bool ending = end_requested();
    inside_update = 1;
    INT_U8 going_on = update ? update() : 0;
    inside_update = 0;
    host_pass_done();
    if (!going_on) break;
    if (quit_flag || ending) break;
    process_event_queue();
    dispatch_messages();
    while (wait_after_pass(host_passes_watched())) host_pass_done();
    activity_flag = 0;
  }
}

// ---------------------------------------------------------------------------------------------------
// Frame rate and time stamps
// ---------------------------------------------------------------------------------------------------

namespace {

struct FRAME_RATE_COUNTER {
  INT_U32 frames = 0;            // frames counted in the current second
  INT_U32 second = 0;            // the current second
  INT_U32 last_count = 0;        // last second's count
  INT_U32 minimum = 0xFFFFFFFFu; // 0xFFFFFFFF = not set
  INT_U32 maximum = 0;
  INT_U32 sum = 0;
  INT_U32 seconds = 0;
  INT_U32 average = 0;
  char text[160] = {0};
  INT_U32 text_count = 0xFFFFFFFFu;  // the count the text was made for (none yet)
};

FRAME_RATE_COUNTER frame_counter;

void count_one_frame() {
  FRAME_RATE_COUNTER& c = frame_counter;
  c.frames += 1;
  INT_U32 now = get_calendar_seconds();
  if (now == c.second) return;
  c.second = now;
  c.last_count = c.frames;
  c.frames = 0;
  if (c.last_count < c.minimum) c.minimum = c.last_count;
  if (c.last_count > c.maximum) c.maximum = c.last_count;
  INT_U32 candidate = (c.sum + c.last_count) / (c.seconds + 1);
  if ((candidate >> 1) <= c.minimum) {
    c.average = candidate;
    c.sum += c.last_count;
    c.seconds += 1;
  } else {
    // A sudden drop below half the running average starts the statistics again.
    c.minimum = 0xFFFFFFFFu;
    c.maximum = 0;
    c.sum = 0;
    c.seconds = 0;
    c.average = 0;
  }
}

}  // namespace

INT_U32 count_frame(INT_U32* minimum, INT_U32* maximum, INT_U32* average) {
  count_one_frame();
  if (minimum) *minimum = frame_counter.minimum == 0xFFFFFFFFu ? 0 : frame_counter.minimum;
  if (maximum) *maximum = frame_counter.maximum;
  if (average) *average = frame_counter.average;
  return frame_counter.last_count;
}

INT_U32 update_frame_rate_text(const char** text, const char* name) {
  FRAME_RATE_COUNTER& c = frame_counter;
  if (text) *text = c.text;
  count_one_frame();
  if (c.last_count == c.text_count) return 0;
  c.text_count = c.last_count;
  std::snprintf(c.text, sizeof c.text, "%s: %dhz (Min %dhz, Max %dhz, Avg %dhz)", name ? name : "Frame Rate",
                static_cast<int>(c.last_count), static_cast<int>(c.minimum == 0xFFFFFFFFu ? 0 : c.minimum),
                static_cast<int>(c.maximum), static_cast<int>(c.average));
  return 1;
}

const char* frame_rate_text(const char* name) {
  const char* text = nullptr;
  update_frame_rate_text(&text, name);
  return text;
}

INT_U32 unique_time_stamp() {
  static INT_U32 last = 0;
  INT_U32 now = get_calendar_seconds();
  if (now <= last) now = last + 1;
  last = now;
  return now;
}

// ---------------------------------------------------------------------------------------------------
// Application descriptor
// ---------------------------------------------------------------------------------------------------

APP_DESCRIPTOR app_descriptor = {"", 0, 0};

// ---------------------------------------------------------------------------------------------------
// Banner
// ---------------------------------------------------------------------------------------------------

const char* build_library_banner(bool name_maker) {
  static char banner[1024];
  std::snprintf(banner, sizeof banner,
                "%s\n"
                "Built on %s at %s\n\n"
                "This program was developed%s.\n"
                "It was built with the V.E.L.K. Development Libraries.\n\n"
                "www.velk-libraries.example\n\n"
                "V.E.L.K. Development Libraries (c) Velk Software. All rights reserved.\n",
                app_descriptor.title ? app_descriptor.title : "", __DATE__, __TIME__,
                name_maker ? " by Velk Software" : "");
  return banner;
}

// ---------------------------------------------------------------------------------------------------
// Error reports
// ---------------------------------------------------------------------------------------------------

namespace {

void log_to_platform_stream(const char* source_file, INT_S32 line) {
  DEBUG_STREAM* stream = platform_debug_stream();
  if (stream && stream->flags != 0) debug_stream_write(stream, source_file, line, get_error_text(), true);
}

}  // namespace

void report_errors_through_host() {
  const ERROR_REPORTING host_reporting = {show_message_box, console_print, log_to_platform_stream, fatal_exit};
  set_error_reporting(&host_reporting);
}
