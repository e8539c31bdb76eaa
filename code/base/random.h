// The library's Mersenne-Twister generator with its one global instance, and small stateful helpers:
// frame-rate counter, input and activity times, date texts, unique time stamps, screen numbers,
// random strings, the two-key text scrambler and two development tools.
#pragma once
#include "types.h"

class RANDOM {
public:
  INT_S32 index;       // next state word to use; counts down; negative = block used up
  INT_U32 seed_value;  // seed of the current block, low 10 bits cleared
  INT_U32 state[624];

  // Seeded from the clock: time() << 10.
  RANDOM();
  // Block seed = value with its low 10 bits cleared; index = those bits (623 when 624 or more).
  void seed(INT_U32 value);
  // index OR seed: handing it back to seed() continues at the current position of the block.
  INT_U32 get_seed() const;
  // A value in [minimum, maximum); 0 without drawing when maximum <= minimum.
  INT_S32 get_int(INT_S32 minimum, INT_S32 maximum);
  // A value in [0, maximum].
  double get_double(double maximum);
  // One 31-bit draw.
  INT_U32 next();

private:
  void generate_block();
};

// The global instance, built and seeded on first use.
RANDOM& global_random();

void random_seed(INT_U32 value);
INT_U32 random_get_seed();
INT_S32 random_range(INT_S32 minimum, INT_S32 maximum);
// A value in [0, n); 0 without drawing when n < 1.
INT_S32 random_below(INT_S32 n);
double random_double(double maximum);
double random_double_range(double minimum, double maximum);

// Frame rate: counts one frame; returns last second's count. Each output may be null.
INT_U32 count_frame(INT_U32* minimum, INT_U32* maximum, INT_U32* average);
// Sets *text to the counter's text, counts a frame and remakes the text when last second's count
// changed ("Frame Rate" when name is null); 1 when it was remade.
INT_U32 update_frame_rate_text(const char** text, const char* name);
const char* frame_rate_text(const char* name);

// Times (seconds since 1970).
INT_U32 get_last_input_time();
INT_U32 get_last_activity_time();
// "Thu, 01 Jan 1970 00:00:00 GMT" form, in a static buffer.
const char* format_gmt_date(INT_U32 seconds);
// time(), but always above the previous result.
INT_U32 unique_time_stamp();

// Screen numbers: each screen is a 4096-unit tile of the 16-bit coordinate space.
INT_S32 screen_number(INT_S16 x, INT_S16 y);
INT_S32 screen_origin_x(INT_S16 screen);
INT_S32 screen_origin_y(INT_S16 screen);

// Flags of make_random_string.
#define RANDOM_STRING_UPPER 1
#define RANDOM_STRING_NEED_UPPER 2
#define RANDOM_STRING_DIGITS 4
#define RANDOM_STRING_NEED_DIGIT 8
#define RANDOM_STRING_CLIPBOARD 16

// A random string of letters and digits of minimum_length to maximum_length (at most 256) characters
// into out (a static buffer when null); null when the arguments make no sense.
char* make_random_string(INT_S16 minimum_length, INT_S32 maximum_length, INT_U8 flags, char* out);

// The two-key scrambler: scrambled size is size + 2 (two key bytes around the data).
INT_S32 scramble_text(const INT_U8* data, INT_S32 size, INT_U8* out, INT_S32 out_size);
INT_S32 unscramble_text(const INT_U8* data, INT_U32 size, INT_U8* out, INT_S32 out_size);

// Development tools: a shuffled number table written as a source text, and a distribution report.
void create_random_table(INT_S32 max_num, INT_S32 repeats, INT_S32 shuffles, const char* file);
void random_report(INT_S32 n, const char* file);
