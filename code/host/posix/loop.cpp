// Linux host layer: start-up and the message pump's two platform steps — dispatching pending X
// events, and the idle wait that blocks on the X connection with a time-out.
#include "x11_host.h"
#include "host_private.h"

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

void start_host() {
  // Rebuilding a long list (the file selector's rows) frees tens of thousands of objects and makes as
  // many again at once. The C library would hand the freed heap back to the system at once and fault
  // the same memory in again page by page, which costs more than the rebuild itself; up to 64 MB of
  // freed heap stays for reuse instead.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

bool host_dispatch_messages() {
  bool any = false;
  while (x_display && XPending(x_display) > 0) {
    XEvent event;
    XNextEvent(x_display, &event);
    if (take_present_event(&event)) continue;
    handle_x_event(&event);
    any = true;
  }
  return any;
}

void host_wait_for_input(INT_U32 ms) {
  if (end_requested()) return;
  if (!x_display) {
    if (ms != HOST_WAIT_FOREVER) sleep_milliseconds(ms);
    return;
  }
  XFlush(x_display);
  if (XPending(x_display) > 0) return;
  // An end request wakes the wait too.
  wait_for_display_or_end_request(x_display, ms == HOST_WAIT_FOREVER ? -1 : ms > 0x7FFFFFFFu ? 0x7FFFFFFF : (int)ms);
}

bool host_has_input_source() { return x_display && x_window && window_open; }

void release_console() {}

void show_banner_box(const char* caption, const char* text) { show_message_box(caption, text); }
