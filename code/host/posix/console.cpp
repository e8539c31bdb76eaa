// Linux host layer: console output, message boxes (on standard error, and in a window where there is a display),
// the millisecond clock, sleeping and the two ways of ending the process.
#include "host.h"
#include "host_private.h"
#include "files.h"
#include "velk_string.h"
#include "x11_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cerrno>
#include <string>
#include <unistd.h>

static MESSAGE_BOX_HOOK message_box_hook = nullptr;
static bool boxes_off_display = false;

// The system's text (Latin-1 bytes, wide-character runs) as a terminal shows it: UTF-8. A text that
// has no UTF-8 form goes out as it is.
static void put_text(const char* text, FILE* stream) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
  while (*at > 0x01 && *at < 0x80) at++;
  if (!*at) {
    std::fputs(text, stream);
    return;
  }
  std::string converted(2 * std::strlen(text) + 1, '\0');
  std::fputs(text_to_utf8(text, &converted[0], converted.size()) ? converted.c_str() : text, stream);
}

// Standard output is line-buffered on a terminal and fully buffered otherwise: a terminal shows each
// line as it comes, a file or a pipe takes a write per buffer instead of one per line. Once a write
// has failed (the pipe's reader or the terminal went away), nothing more is written.
void console_print(const char* text) {
  if (!text || std::ferror(stdout)) return;
  put_text(text, stdout);
}

void console_flush() { std::fflush(stdout); }

void set_message_box_hook(MESSAGE_BOX_HOOK hook) { message_box_hook = hook; }

void keep_boxes_off_display() { boxes_off_display = true; }

// The box's text goes to standard error first, where a terminal shows it at once; attended, the box then
// shows in a window of its own where there is a display, and waits for its OK, unless boxes are kept off
// the display.
void show_message_box(const char* caption, const char* text) {
  if (!caption) caption = "";
  if (!text) text = "";
  if (message_box_hook) message_box_hook(caption, text);
  std::fflush(stdout);  // what was printed before comes before the message
  put_text((std::string(caption) + ": " + text + "\n").c_str(), stderr);
  std::fflush(stderr);
  if (!running_unattended() && !boxes_off_display) show_box_window(caption, text);
}

INT_U32 host_tick_count() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  INT_U64 ms = (INT_U64)now.tv_sec * 1000u + (INT_U64)now.tv_nsec / 1000000u;
  return (INT_U32)ms;
}

void sleep_milliseconds(INT_U32 ms) {
  struct timespec wait;
  wait.tv_sec = ms / 1000;
  wait.tv_nsec = (long)(ms % 1000) * 1000000L;
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void sleep_seconds(INT_U32 s) {
  sleep_milliseconds(s > 0xFFFFFFFFu / 1000u ? 0xFFFFFFFFu : s * 1000u);
}

// Both ways out write what every stream holds first: the console's lines, a log still open.
void fatal_exit(const char* text, INT_S32 status) {
  close_window(-1);
  std::fflush(nullptr);
  if (text && text[0]) show_message_box("Fatal error", text);
  remove_temporary_folder();
  std::_Exit(status);
}

void exit_process(INT_S32 status) {
  close_window(-1);
  std::fflush(nullptr);
  remove_temporary_folder();
  std::_Exit(status);
}
