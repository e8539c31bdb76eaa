// The shared part of the host layer: the command-line split, the frame loop and its message pump, the
// unattended switch, the idle wait and the loop's globals.
#include "host.h"
#include "host_private.h"

#include <cstdlib>
#include <cstring>

INT_U32 idle_wait_ms = 50;
INT_U8 activity_flag = 0;
INT_U8 quit_flag = 0;
EXIT_HOOK exit_hook = nullptr;
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

// Scans one argument starting at text[*at] (not a space): the argument runs to the next space outside
// double quotes or to the end. Returns the index behind the argument.
static size_t scan_argument(const char* text, size_t at, size_t length) {
  bool quoted = false;
  while (at < length) {
    char c = text[at];
    if (c == '"') quoted = !quoted;
    else if (c == ' ' && !quoted) break;
    at++;
  }
  return at;
}

char** split_command_line(const char* command_line, const char* program_path, INT_S32* argc) {
  if (!command_line) command_line = "";
  if (!program_path) program_path = "";
  size_t length = std::strlen(command_line);
  size_t path_length = std::strlen(program_path);

  // Count first, so that the vector and both texts fit one block.
  size_t count = 0;
  for (size_t at = 0; at < length;) {
    if (command_line[at] == ' ') {
      at++;
      continue;
    }
    at = scan_argument(command_line, at, length);
    count++;
  }
  size_t vector_bytes = (count + 2) * sizeof(char*);
  char** vector = (char**)std::malloc(vector_bytes + path_length + 1 + length + 1);
  if (!vector) return nullptr;
  char* path_copy = (char*)vector + vector_bytes;
  char* copy = path_copy + path_length + 1;
  std::memcpy(path_copy, program_path, path_length + 1);
  std::memcpy(copy, command_line, length + 1);
  vector[0] = path_copy;

  // Every argument ends in place: its trailing quote, else the space (or end) behind it, becomes the
  // terminator; a leading quote is skipped. Quotes inside an argument stay.
  size_t index = 1;
  for (size_t at = 0; at < length && index <= count;) {
    if (copy[at] == ' ') {
      at++;
      continue;
    }
    size_t end = scan_argument(copy, at, length);
    char* start = copy + at;
    if (end - at >= 2 && copy[end - 1] == '"') copy[end - 1] = 0;
    else copy[end] = 0;  // a space or the final terminator
    if (*start == '"') start++;
    vector[index++] = start;
    at = end + 1;
  }
  vector[index] = nullptr;
  *argc = (INT_S32)index;
  return vector;
}

void pump_messages() {
  process_event_queue();
  host_dispatch_messages();
  if (idle_wait_ms != 0 && !activity_flag) {
    idle_wait_count++;
    host_wait_for_input(idle_wait_ms);
  }
  activity_flag = 0;
}

// Set while the application's update runs: a close request then waits for the next pass.
static INT_U8 inside_update = 0;
static INT_U8 close_pending = 0;

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
    inside_update = 1;
    INT_U8 going_on = update ? update() : 0;
    inside_update = 0;
    host_pass_done();
    if (!going_on) break;
    if (quit_flag) break;
    pump_messages();
  }
}

