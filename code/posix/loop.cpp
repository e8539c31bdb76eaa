// Linux host layer: start-up and the message pump's two platform steps — dispatching pending X
// events, and the idle wait that blocks on the X connection with a time-out.
#include "x11_host.h"
#include "../host_private.h"

#include <cstdio>
#include <poll.h>
#include <unistd.h>

void start_host() {}

void host_dispatch_messages() {
  while (x_display && XPending(x_display) > 0) {
    XEvent event;
    XNextEvent(x_display, &event);
    handle_x_event(&event);
  }
}

void host_wait_for_input(INT_U32 ms) {
  if (!x_display) {
    sleep_milliseconds(ms);
    return;
  }
  XFlush(x_display);
  if (XPending(x_display) > 0) return;
  struct pollfd connection;
  connection.fd = ConnectionNumber(x_display);
  connection.events = POLLIN;
  connection.revents = 0;
  poll(&connection, 1, ms > 0x7FFFFFFFu ? 0x7FFFFFFF : (int)ms);
}

void release_console() {}

void show_banner_box(const char* caption, const char* text) { show_message_box(caption, text); }
