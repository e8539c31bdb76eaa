// Command-line options: the library's own "--velk" options, taken out of the arguments before the
// application sees them, and the application's single-letter options (get_option).
#pragma once
#include "types.h"

// Acts on and removes every argument beginning with "--velk". *out_argv is an array owned by the
// library until the next call; a call with argv null only releases it. "--velk" and
// "--velk-listdebug" end the process with status 0 after their output; an unknown "--velk" option or
// debug stream ends it with status 2.
void process_platform_options(INT_S32 argc, char** argv, INT_S32* out_argc, char*** out_argv);

// getopt-style reading of single-letter options: returns the letter, '?' or -1 at the end.
// Malformed, incomplete and unknown options are fatal errors 0x40, 0x41 and 0x42.
extern INT_U16 option_index;    // the argument being examined (starts at 1)
extern char* option_argument;   // the argument of the last option
INT_S32 get_option(INT_S16 argc, char** argv, const char* option_letters);
