// Linux host layer: the requests of the system to end the program (SIGINT, SIGTERM): the first one is
// noted for the program's next safe point, a second one ends the process at once. A console that goes
// away (SIGPIPE, SIGHUP) is no such request: its writes fail and the run goes on.
#include "host.h"
#include "files_host.h"
#include "x11_host.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

// The handler only notes the request and wakes the frame loop's wait through the pipe; the program
// reads the note at its next safe point.
static volatile sig_atomic_t end_request = 0;
static int end_request_pipe[2] = {-1, -1};

// While requests are held back the handler only counts them, and keeps the last one's signal: the
// signals stay open, as two equal ones that wait blocked would merge into one. Released, the requests
// are taken as they would have been at once.
static volatile sig_atomic_t end_requests_held = 0;
static volatile sig_atomic_t requests_while_held = 0;
static volatile sig_atomic_t signal_while_held = 0;

static void take_end_request(int number) {
  if (end_request) {
    // A second request while the program ends: the process ends at once, as the system would end it,
    // with what it can take away safely (the files noted for it).
    host_immediate_end();
    signal(number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
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

static void on_end_request(int number) {
  if (end_requests_held) {
    if (requests_while_held < 2) requests_while_held = requests_while_held + 1;
    signal_while_held = number;
    return;
  }
  take_end_request(number);
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

void hold_end_requests() { end_requests_held = end_requests_held + 1; }

void release_end_requests() {
  if (end_requests_held == 0) return;
  if (end_requests_held > 1) {
    end_requests_held = end_requests_held - 1;
    return;
  }
  // The last release takes what came meanwhile, with the signals blocked so that none comes between.
  sigset_t requests, before;
  sigemptyset(&requests);
  sigaddset(&requests, SIGINT);
  sigaddset(&requests, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &requests, &before);
  end_requests_held = 0;
  int count = requests_while_held, number = signal_while_held;
  requests_while_held = 0;
  for (int i = 0; i < count; i++) take_end_request(number);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

bool wait_for_display_or_end_request(Display* display, int timeout_ms) {
  struct pollfd sources[2];
  sources[0].fd = ConnectionNumber(display);
  sources[1].fd = end_request_pipe[0];  // readable once an end request comes; -1 while none is watched
  for (struct pollfd& source : sources) {
    source.events = POLLIN;
    source.revents = 0;
  }
  return poll(sources, sources[1].fd >= 0 ? 2 : 1, timeout_ms) > 0 && (sources[0].revents & (POLLERR | POLLHUP));
}
