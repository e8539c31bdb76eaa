// Linux host layer: the requests of the system to end the program (SIGINT, SIGTERM): the first one is
// noted for the program's next safe point, a second one ends the process at once. A console that goes
// away (SIGPIPE, SIGHUP) is no such request: its writes fail and the run goes on.
#include "host.h"
#include "files_host.h"
#include "x11_host.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

// The handler only notes the request and wakes the frame loop's wait through the pipe; the program
// reads the note at its next safe point.
static volatile sig_atomic_t end_request = 0;
static int end_request_pipe[2] = {-1, -1};

static void on_end_request(int number) {
  if (end_request) {
    // A second request while the program ends: the process ends at once, as the system would end it,
    // with what it can take away safely (the files noted for it).
    host_immediate_end();
    signal(number, SIG_DFL);
    raise(number);
    return;
  }
  end_request = 1;
  int saved = errno;
  char byte = 1;
  if (end_request_pipe[1] >= 0) {
    ssize_t written = write(end_request_pipe[1], &byte, 1);
    (void)written;  // a full pipe has woken the wait already
  }
  errno = saved;
}

// The reader of standard output closed its end (a pipe to "head"), or the terminal closed: the writes
// fail from now on and are dropped. A handler rather than ignoring the signal, so that programs this one
// starts get the default again.
static void on_console_gone(int) {}

static void take_signal(int number, void (*handler)(int), const sigset_t* mask) {
  struct sigaction before;
  // A signal that the process was started to ignore (nohup) stays ignored.
  if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) return;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  action.sa_mask = *mask;
  sigaction(number, &action, nullptr);
}

void watch_end_requests() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  if (pipe2(end_request_pipe, O_CLOEXEC | O_NONBLOCK) != 0) end_request_pipe[0] = end_request_pipe[1] = -1;
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  take_signal(SIGINT, on_end_request, &mask);
  take_signal(SIGTERM, on_end_request, &mask);
  sigemptyset(&mask);
  take_signal(SIGPIPE, on_console_gone, &mask);
  take_signal(SIGHUP, on_console_gone, &mask);
}

void watch_session_end() {}

bool end_requested() { return end_request != 0; }

// While requests are held back their signals are blocked: the kernel keeps them pending and hands them
// to the handler as soon as they are let through.
static int end_requests_held = 0;
static sigset_t mask_before_hold;

void hold_end_requests() {
  if (end_requests_held++ > 0) return;
  sigset_t requests;
  sigemptyset(&requests);
  sigaddset(&requests, SIGINT);
  sigaddset(&requests, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &requests, &mask_before_hold);
}

void release_end_requests() {
  if (end_requests_held == 0 || --end_requests_held > 0) return;
  pthread_sigmask(SIG_SETMASK, &mask_before_hold, nullptr);
}

int end_request_descriptor() { return end_request_pipe[0]; }
