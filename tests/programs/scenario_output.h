// What a scenario program tells its test: one line of text at a time on its standard output (the
// console of the host), which the test reads back; and the close callback that says "close" and grants
// the request.
#pragma once
#include <cstdarg>
#include <cstdio>

#include "host.h"

// printf into one line of at most 159 characters, written at once (not held back, as console output
// to a pipe otherwise is).
inline void say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
inline void say(const char* format, ...) {
  char line[160];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  console_print(line);
  console_flush();  // the test waits for it
}

inline INT_U8 say_close_and_grant(INT_S16) {
  say("close\n");
  return 1;
}
