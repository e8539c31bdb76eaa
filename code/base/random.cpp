// The library's Mersenne-Twister generator (words used from the top of each block downwards) and the
// small helpers beside it: date texts, screen numbers, the two-key text scrambler and the table and
// report tools. Nothing here asks the host: the seed and the table's date read the C library's clock.
#include "random.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

const INT_U32 seed_mask = 0xFFFFFC00u;  // a block seed keeps only its upper 22 bits

// The calendar clock of the C library: seconds since 1970.
INT_U32 clock_seconds() { return static_cast<INT_U32>(std::time(nullptr)); }

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Generator
// ---------------------------------------------------------------------------------------------------

RANDOM::RANDOM() { seed(clock_seconds() << 10); }

void RANDOM::generate_block() {
  state[0] = seed_value;
  for (INT_U32 i = 1; i < 624; ++i) state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + i;
  for (int i = 0; i < 624; ++i) {
    INT_U32 y = (state[i] & 0x80000000u) | (state[(i + 1) % 624] & 0x7FFFFFFFu);
    state[i] = state[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFu : 0u);
  }
}

void RANDOM::seed(INT_U32 value) {
  seed_value = value & seed_mask;
  index = static_cast<INT_S32>(value & ~seed_mask);
  if (index >= 624) index = 623;
  generate_block();
}

INT_U32 RANDOM::get_seed() const { return static_cast<INT_U32>(index) | seed_value; }

INT_U32 RANDOM::next() {
  if (index < 0) {
    seed_value = state[397] & seed_mask;
    index = 623;
    generate_block();
  }
  INT_U32 y = state[index--];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y & 0x7FFFFFFFu;
}

INT_S32 RANDOM::get_int(INT_S32 minimum, INT_S32 maximum) {
  if (maximum <= minimum) return 0;
  // 2r is below 2^32 and the range below 2^32, so the product fits 64 bits.
  INT_U64 range = static_cast<INT_U64>(static_cast<INT_S64>(maximum) - minimum);
  INT_U64 offset = (static_cast<INT_U64>(next()) * 2 * range) >> 32;
  return static_cast<INT_S32>(minimum + static_cast<INT_S64>(offset));
}

namespace {

// The upper 32 bits of r * 0xFFFFFFFE.
double fraction_numerator(INT_U32 r) { return static_cast<double>(r ? r - 1 : 0); }

}  // namespace

double RANDOM::get_double(double maximum) { return fraction_numerator(next()) * maximum / 2147483647.0; }

RANDOM& global_random() {
  static RANDOM instance;
  return instance;
}

void random_seed(INT_U32 value) { global_random().seed(value); }
INT_U32 random_get_seed() { return global_random().get_seed(); }
INT_S32 random_range(INT_S32 minimum, INT_S32 maximum) { return global_random().get_int(minimum, maximum); }

INT_S32 random_below(INT_S32 n) {
  if (n < 1) return 0;
  return static_cast<INT_S32>((static_cast<INT_U64>(global_random().next()) * 2 * static_cast<INT_U64>(n)) >> 32);
}

double random_double(double maximum) { return global_random().get_double(maximum); }

double random_double_range(double minimum, double maximum) {
  return minimum + (maximum - minimum) * fraction_numerator(global_random().next()) / 2147483647.0;
}

// ---------------------------------------------------------------------------------------------------
// Dates
// ---------------------------------------------------------------------------------------------------

const char* format_gmt_date(INT_U32 seconds) {
  static const char* const day_names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const month_names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static char text[64];
  INT_S64 days = seconds / 86400;
  INT_U32 in_day = seconds % 86400;
  int weekday = static_cast<int>((days + 4) % 7);  // 1 January 1970 was a Thursday
  // Civil date from days since 1970 (proleptic Gregorian, eras of 400 years).
  INT_S64 z = days + 719468;
  INT_S64 era = z / 146097;
  INT_S64 day_of_era = z - era * 146097;
  INT_S64 year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  INT_S64 day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  INT_S64 mp = (5 * day_of_year + 2) / 153;
  int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  int year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", day_names[weekday], day,
                month_names[month - 1], year, static_cast<int>(in_day / 3600),
                static_cast<int>(in_day / 60 % 60), static_cast<int>(in_day % 60));
  return text;
}

// ---------------------------------------------------------------------------------------------------
// Screen numbers
// ---------------------------------------------------------------------------------------------------

INT_S32 screen_number(INT_S16 x, INT_S16 y) {
  if (x < 0 || y < 0) return 0;
  return (((x >> 12) & 7) << 3) | ((y >> 12) & 7);
}

INT_S32 screen_origin_x(INT_S16 screen) { return (screen & 0x38) * 512; }
INT_S32 screen_origin_y(INT_S16 screen) { return (screen & 7) * 4096; }

// ---------------------------------------------------------------------------------------------------
// Text scrambler
// ---------------------------------------------------------------------------------------------------

INT_S32 scramble_text(const INT_U8* data, INT_S32 size, INT_U8* out, INT_S32 out_size) {
  if (size < 0) return 0;
  INT_S64 scrambled_size = static_cast<INT_S64>(size) + 2;
  if (scrambled_size > 0x7FFFFFFF) return 0;
  if (!data) return static_cast<INT_S32>(scrambled_size);
  if (!out || scrambled_size > out_size) return 0;
  INT_U8 a = static_cast<INT_U8>(random_range(1, 256));
  INT_U8 b = static_cast<INT_U8>(random_range(1, 256));
  INT_U32 sum = 0;
  for (INT_U32 i = 0; i < static_cast<INT_U32>(size); ++i) {
    out[i + 1] = static_cast<INT_U8>((i * a) ^ data[i] ^ b ^ ~(sum & 0xFF));
    sum += data[i];
  }
  out[0] = a;
  out[size + 1] = b;
  return static_cast<INT_S32>(scrambled_size);
}

INT_S32 unscramble_text(const INT_U8* data, INT_U32 size, INT_U8* out, INT_S32 out_size) {
  if (size < 2) return 0;
  INT_U32 plain_size = size - 2;
  if (plain_size > 0x7FFFFFFFu) return 0;
  if (!data) return static_cast<INT_S32>(plain_size);
  if (!out || static_cast<INT_S64>(plain_size) > out_size) return 0;
  INT_U8 a = data[0];
  INT_U8 b = data[size - 1];
  INT_U32 sum = 0;
  for (INT_U32 i = 0; i < plain_size; ++i) {
    out[i] = static_cast<INT_U8>((a * i) ^ data[i + 1] ^ b ^ ~(sum & 0xFF));
    sum += out[i];
  }
  return static_cast<INT_S32>(plain_size);
}

// ---------------------------------------------------------------------------------------------------
// Development tools
// ---------------------------------------------------------------------------------------------------

namespace {

// One 75-character line of the boxed comment: "/* " text padded " */".
void write_box_line(FILE* file, const char* text) { std::fprintf(file, "/* %-69.69s */\n", text); }

}  // namespace

void create_random_table(INT_S32 max_num, INT_S32 repeats, INT_S32 shuffles, const char* file_name) {
  if (!file_name || max_num < 1 || repeats < 1) return;
  INT_S64 size = static_cast<INT_S64>(max_num) * repeats;
  if (size > 0x7FFFFFFF) return;
  std::vector<INT_S32> table;
  table.reserve(static_cast<size_t>(size));
  for (INT_S64 i = 0; i < size; ++i) table.push_back(static_cast<INT_S32>(i % max_num));
  for (INT_S32 n = 0; n < shuffles; ++n) {
    INT_U64 first = static_cast<INT_U64>(std::rand()) * static_cast<INT_U64>(std::rand()) % static_cast<INT_U64>(size);
    INT_U64 second = static_cast<INT_U64>(std::rand()) * static_cast<INT_U64>(std::rand()) % static_cast<INT_U64>(size);
    INT_S32 held = table[first];
    table[first] = table[second];
    table[second] = held;
  }

  FILE* file = std::fopen(file_name, "w");
  if (!file) return;
  char line[128];
  std::fprintf(file, "/*%s*/\n", std::string(71, '*').c_str());
  write_box_line(file, "                                PLATFORM");
  write_box_line(file, "");
  write_box_line(file, "File:        random_table");
  write_box_line(file, "Author:      generated by create_random_table");
  std::snprintf(line, sizeof line, "Date:        %s", format_gmt_date(clock_seconds()));
  write_box_line(file, line);
  write_box_line(file, "");
  write_box_line(file, "Description: a shuffled table holding every number below the maximum");
  write_box_line(file, "             the same number of times, for table-driven random draws.");
  write_box_line(file, "");
  write_box_line(file, "Change history:");
  write_box_line(file, "Date         Author       Change");
  write_box_line(file, "");
  std::fprintf(file, "/*%s*/\n\n", std::string(71, '*').c_str());
  std::fprintf(file, "#ifdef RANDOM_TABLE_MODULE\n\n");
  std::fprintf(file, "/* create_random_table(%d, %d, %d, \"%s\") */\n\n", static_cast<int>(max_num),
               static_cast<int>(repeats), static_cast<int>(shuffles), file_name);
  std::fprintf(file, "#define RANDOM_TABLE_MAX %d\n", static_cast<int>(max_num));
  std::fprintf(file, "#define RANDOM_TABLE_SIZE %lld\n\n", static_cast<long long>(size));
  std::fprintf(file, "static const int random_table[RANDOM_TABLE_SIZE] = {\n");
  int width = std::snprintf(line, sizeof line, "%d", static_cast<int>(max_num)) + 1;
  for (INT_S64 i = 0; i < size; ++i) {
    std::fprintf(file, "%*d", width, static_cast<int>(table[i]));
    if (i + 1 < size) std::fputc(',', file);
    if (i % 10 == 9 || i + 1 == size) std::fputc('\n', file);
  }
  std::fprintf(file, "};\n\n#endif\n");
  std::fclose(file);
}

void random_report(INT_S32 n, const char* file_name) {
  if (!file_name || n < 1) return;
  const INT_S32 draws = 1966050;
  std::vector<INT_S32> counts(static_cast<size_t>(n), 0);
  for (INT_S32 i = 0; i < draws; ++i) counts[random_below(n)] += 1;
  INT_S32 least = 0, most = 0, unreturned = 0;
  for (INT_S32 value = 0; value < n; ++value) {
    if (counts[value] < counts[least]) least = value;   // the first value drawn least often
    if (counts[value] >= counts[most]) most = value;    // the last value drawn most often
    if (counts[value] == 0) unreturned += 1;
  }
  FILE* file = std::fopen(file_name, "a+");
  if (!file) return;
  std::fprintf(file,
               "\nRandom report for %d (%d numbers)\nMIN - %d was retured %d times\nMAX - %d was retured %d "
               "times\nAverage times each number retuned %d\nUnreturned values %d\n",
               static_cast<int>(n), static_cast<int>(draws), static_cast<int>(least), static_cast<int>(counts[least]),
               static_cast<int>(most), static_cast<int>(counts[most]), static_cast<int>(draws / n),
               static_cast<int>(unreturned));
  std::fclose(file);
}
