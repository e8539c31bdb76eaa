// Command-line options: the library's own "--velk" options, taken out of the arguments before the
// application sees them, the application's single-letter options (get_option), the library's about
// text and its two built-in logos.
#pragma once
#include "types.h"

// The application's descriptor, read by the host layer. The library keeps the one instance with
// empty defaults; the application fills it in before the program entry reads it.
struct APP_DESCRIPTOR {
  const char* title;       // the application's title (first line of the library banner)
  INT_U8 banner_at_exit;   // non-zero: the host shows the library banner after the run
  INT_U16 icon_resource;   // resource number of the window icon
};
extern APP_DESCRIPTOR app_descriptor;

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

// The library's about text in a static buffer (overwritten by each call).
const char* build_library_banner(bool name_maker);

// The two logos as built-in pixel blocks (the form IMAGE::from_bytes reads): the small one 80 x 75,
// the large one 195 x 80 pixels. The images are made from them by make_small_logo_image and
// make_large_logo_image (image.h). *size receives the block's length in bytes.
const INT_U8* small_logo_block(INT_S32* size);
const INT_U8* large_logo_block(INT_S32* size);
