// Linux host layer: the requests of the system to end the program (SIGINT, SIGTERM, SIGHUP): the
// first one is noted for the program's next safe point, a second one ends the process at once.
#include "host.h"
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
    // A second request while the program ends: the process ends at once, as the system would end it.
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

void watch_end_requests() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  if (pipe2(end_request_pipe, O_CLOEXEC | O_NONBLOCK) != 0) end_request_pipe[0] = end_request_pipe[1] = -1;
  static const int numbers[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = on_end_request;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int number : numbers) sigaddset(&action.sa_mask, number);
  for (int number : numbers) {
    struct sigaction before;
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(number, &action, nullptr);
  }
}

bool end_requested() { return end_request != 0; }

int end_request_descriptor() { return end_request_pipe[0]; }
