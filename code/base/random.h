// The library's Mersenne-Twister generator with its one global instance, and small helpers beside it:
// date texts, screen numbers, the two-key text scrambler and two development tools.
#pragma once
#include "types.h"

class RANDOM {
public:
  INT_S32 index;       // next state word to use; counts down; negative = block used up
  INT_U32 seed_value;  // seed of the current block, low 10 bits cleared
  INT_U32 state[624];

  // Seeded from the C library's calendar clock: time() << 10.
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

// A time (seconds since 1970) in the "Thu, 01 Jan 1970 00:00:00 GMT" form, in a static buffer.
const char* format_gmt_date(INT_U32 seconds);

// Screen numbers: each screen is a 4096-unit tile of the 16-bit coordinate space.
INT_S32 screen_number(INT_S16 x, INT_S16 y);
INT_S32 screen_origin_x(INT_S16 screen);
INT_S32 screen_origin_y(INT_S16 screen);

// The two-key scrambler: scrambled size is size + 2 (two key bytes around the data).
INT_S32 scramble_text(const INT_U8* data, INT_S32 size, INT_U8* out, INT_S32 out_size);
INT_S32 unscramble_text(const INT_U8* data, INT_U32 size, INT_U8* out, INT_S32 out_size);

// Development tools: a shuffled number table written as a source text, and a distribution report.
void create_random_table(INT_S32 max_num, INT_S32 repeats, INT_S32 shuffles, const char* file);
void random_report(INT_S32 n, const char* file);
