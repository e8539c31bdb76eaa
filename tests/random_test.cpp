// Tests of the generator (against the standard library's MT19937), the time and screen helpers,
// random strings, the scrambler and the table and report tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host.h"
#include "random.h"
#include "shell.h"
#include "test_support.h"

namespace {

// The standard generator's outputs for a block seed (untempered state is not exposed, so the
// draws are compared with its tempered outputs).
std::vector<INT_U32> reference_block(INT_U32 block_seed) {
  std::mt19937 reference(block_seed);
  std::vector<INT_U32> outputs;
  for (int i = 0; i < 624; ++i) outputs.push_back(static_cast<INT_U32>(reference()));
  return outputs;
}

INT_U32 untemper(INT_U32 y) {
  y ^= y >> 18;
  y ^= (y << 15) & 0xEFC60000u;
  INT_U32 x = y;
  for (int i = 0; i < 5; ++i) x = y ^ ((x << 7) & 0x9D2C5680u);
  y = x;
  x = y;
  for (int i = 0; i < 3; ++i) x = y ^ (x >> 11);
  return x;
}

}  // namespace

TEST(Random, DrawsTheBlockFromTheTopDownwards) {
  RANDOM generator;
  generator.seed(0x12345400u | 1000);  // low bits 1000: index 623
  EXPECT_EQ(generator.index, 623);
  EXPECT_EQ(generator.seed_value, 0x12345400u);
  std::vector<INT_U32> outputs = reference_block(0x12345400u);
  for (int draw = 0; draw < 624; ++draw)
    ASSERT_EQ(generator.next(), outputs[623 - draw] & 0x7FFFFFFFu) << "draw " << draw;
  EXPECT_LT(generator.index, 0);

  // The 625th draw re-seeds from state word 397 with its low 10 bits cleared.
  INT_U32 next_seed = untemper(outputs[397]) & 0xFFFFFC00u;
  std::vector<INT_U32> next_outputs = reference_block(next_seed);
  EXPECT_EQ(generator.next(), next_outputs[623] & 0x7FFFFFFFu);
  EXPECT_EQ(generator.seed_value, next_seed);
}

TEST(Random, LowSeedBitsPickTheStartingWord) {
  RANDOM generator;
  generator.seed(0xABCDE000u | 5);
  EXPECT_EQ(generator.index, 5);
  std::vector<INT_U32> outputs = reference_block(0xABCDE000u);
  for (int draw = 0; draw < 6; ++draw) EXPECT_EQ(generator.next(), outputs[5 - draw] & 0x7FFFFFFFu);
  EXPECT_EQ(generator.index, -1);

  // get_seed hands back the position: seeding with it continues the same sequence.
  generator.seed(0x00077000u | 300);
  generator.next();
  INT_U32 position = generator.get_seed();
  EXPECT_EQ(position, 0x00077000u | 299);
  RANDOM copy;
  copy.seed(position);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(copy.next(), generator.next());
}

TEST(Random, RangesConsumeOnlyWhenTheyDraw) {
  random_seed(0x5000u | 623);
  INT_U32 before = random_get_seed();
  EXPECT_EQ(random_range(5, 5), 0);
  EXPECT_EQ(random_range(7, 3), 0);
  EXPECT_EQ(random_below(0), 0);
  EXPECT_EQ(random_get_seed(), before);
  EXPECT_EQ(random_below(1), 0);
  EXPECT_EQ(random_get_seed(), before - 1);

  for (int i = 0; i < 2000; ++i) {
    INT_S32 value = random_range(-3, 4);
    EXPECT_GE(value, -3);
    EXPECT_LT(value, 4);
    INT_S32 wide = random_range(-2147483647 - 1, 2147483647);  // a range that needs 64 bits
    EXPECT_LT(wide, 2147483647);
    EXPECT_LT(random_below(10), 10);
    double fraction = random_double(2.0);
    EXPECT_GE(fraction, 0.0);
    EXPECT_LE(fraction, 2.0);
    double between = random_double_range(-1.0, 1.0);
    EXPECT_GE(between, -1.0);
    EXPECT_LE(between, 1.0);
  }
  // Both halves of the widest range are reached.
  bool negative = false, positive = false;
  for (int i = 0; i < 100; ++i) {
    INT_S32 wide = random_range(-2147483647 - 1, 2147483647);
    negative = negative || wide < 0;
    positive = positive || wide > 0;
  }
  EXPECT_TRUE(negative && positive);
}

TEST(Random, ScreenNumbersPackTheTileBits) {
  EXPECT_EQ(screen_number(5000, 100), 8);
  EXPECT_EQ(screen_number(100, 9000), 2);
  EXPECT_EQ(screen_number(-1, 0), 0);
  EXPECT_EQ(screen_number(100, 100), 0);
  EXPECT_EQ(screen_origin_x(8), 4096);
  EXPECT_EQ(screen_origin_y(2), 8192);
  EXPECT_EQ(screen_origin_x(screen_number(30000, 0)), 28672);
}

TEST(Random, DatesAreInTheRfc1123Form) {
  EXPECT_STREQ(format_gmt_date(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_STREQ(format_gmt_date(951782400u), "Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_STREQ(format_gmt_date(1700000000u), "Tue, 14 Nov 2023 22:13:20 GMT");
  EXPECT_STREQ(format_gmt_date(0xFFFFFFFFu), "Sun, 07 Feb 2106 06:28:15 GMT");
}

TEST(Random, TimeStampsAlwaysIncrease) {
  INT_U32 first = unique_time_stamp();
  INT_U32 second = unique_time_stamp();
  INT_U32 third = unique_time_stamp();
  EXPECT_GT(second, first);
  EXPECT_GT(third, second);
}

TEST(Random, FrameRateTextIsMadeOnFirstUse) {
  EXPECT_STREQ(frame_rate_text(nullptr), "Frame Rate: 1hz (Min 1hz, Max 1hz, Avg 1hz)");
  INT_U32 minimum = 7, maximum = 7, average = 7;
  count_frame(&minimum, &maximum, &average);
  EXPECT_LE(minimum, maximum);
  count_frame(nullptr, nullptr, nullptr);
}

TEST(Random, StringsFollowTheirFlags) {
  EXPECT_EQ(make_random_string(3, 10, 0, nullptr), nullptr);
  EXPECT_EQ(make_random_string(8, 6, 0, nullptr), nullptr);
  EXPECT_EQ(make_random_string(300, 1000, 0, nullptr), nullptr);  // the cap comes first
  EXPECT_EQ(make_random_string(4, 10, RANDOM_STRING_NEED_UPPER, nullptr), nullptr);
  EXPECT_EQ(make_random_string(4, 10, RANDOM_STRING_NEED_DIGIT, nullptr), nullptr);

  char out[300];
  for (int round = 0; round < 50; ++round) {
    char* text = make_random_string(4, 1000, RANDOM_STRING_UPPER | RANDOM_STRING_NEED_UPPER |
                                                 RANDOM_STRING_DIGITS | RANDOM_STRING_NEED_DIGIT, out);
    ASSERT_EQ(text, out);
    size_t length = std::strlen(text);
    EXPECT_GE(length, 4u);
    EXPECT_LE(length, 256u);
    bool upper = false, digit = false;
    for (size_t i = 0; i < length; ++i) {
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(text[i])));
      upper = upper || std::isupper(static_cast<unsigned char>(text[i]));
      digit = digit || std::isdigit(static_cast<unsigned char>(text[i]));
    }
    EXPECT_TRUE(upper && digit);

    char* lower = make_random_string(4, 4, 0, nullptr);
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(std::strlen(lower), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::islower(static_cast<unsigned char>(lower[i])));
  }
}

TEST(Random, ScrambledTextRoundTrips) {
  INT_U8 keys[2];
  EXPECT_EQ(scramble_text(reinterpret_cast<const INT_U8*>(""), 0, keys, 2), 2);
  EXPECT_GE(keys[0], 1);
  EXPECT_GE(keys[1], 1);
  INT_U8 plain[4];
  EXPECT_EQ(unscramble_text(keys, 2, plain, 4), 0);
  EXPECT_EQ(unscramble_text(keys, 1, plain, 4), 0);
  EXPECT_EQ(unscramble_text(keys, 0, plain, 4), 0);
  EXPECT_EQ(scramble_text(nullptr, 10, nullptr, 0), 12);
  EXPECT_EQ(unscramble_text(nullptr, 12, nullptr, 0), 10);

  const char* message = "Secret text";
  INT_U8 scrambled[13];
  EXPECT_EQ(scramble_text(reinterpret_cast<const INT_U8*>(message), 11, scrambled, 12), 0);  // too small
  ASSERT_EQ(scramble_text(reinterpret_cast<const INT_U8*>(message), 11, scrambled, 13), 13);
  // First byte: position 0 and a running sum of 0, so only the second key and NOT 0 apply.
  EXPECT_EQ(scrambled[1], static_cast<INT_U8>('S' ^ scrambled[12] ^ 0xFF));
  char back[11];
  EXPECT_EQ(unscramble_text(scrambled, 13, reinterpret_cast<INT_U8*>(back), 10), 0);
  ASSERT_EQ(unscramble_text(scrambled, 13, reinterpret_cast<INT_U8*>(back), 11), 11);
  EXPECT_EQ(std::string(back, 11), message);

  // Texts beyond 32767 bytes count their positions in 32 bits.
  std::vector<INT_U8> large(70000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<INT_U8>(i * 7 + 3);
  std::vector<INT_U8> large_scrambled(large.size() + 2), large_back(large.size());
  ASSERT_EQ(scramble_text(large.data(), 70000, large_scrambled.data(), 70002), 70002);
  ASSERT_EQ(unscramble_text(large_scrambled.data(), 70002, large_back.data(), 70000), 70000);
  EXPECT_EQ(large_back, large);
}

TEST(Random, TableToolWritesAShuffledSourceTable) {
  std::string path = make_scratch_folder("random_table") + "table.h";
  create_random_table(12, 3, 50, path.c_str());
  std::string text = read_whole_text(path);
  ASSERT_FALSE(text.empty());
  std::istringstream lines(text);
  std::string line;
  int boxed = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("/*", 0) == 0 && line.size() >= 2 && line.substr(line.size() - 2) == "*/" &&
        line.find("create_random_table") == std::string::npos) {
      EXPECT_EQ(line.size(), 75u) << line;
      ++boxed;
    }
  }
  EXPECT_GE(boxed, 6);
  EXPECT_NE(text.find("PLATFORM"), std::string::npos);
  EXPECT_NE(text.find("random_table"), std::string::npos);
  EXPECT_NE(text.find("create_random_table(12, 3, 50,"), std::string::npos);

  // The entries: ten to a line, each right-aligned in three characters, every value three times.
  size_t start = text.find("{");
  size_t end = text.find("}", start);
  ASSERT_NE(start, std::string::npos);
  std::string body = text.substr(start + 1, end - start - 1);
  std::istringstream first_line(body.substr(body.find_first_not_of("\r\n")));
  std::getline(first_line, line);
  EXPECT_EQ(line.size() - (line.back() == '\r' ? 1 : 0), 10u * 3 + 10);
  std::vector<int> counts(12, 0);
  int entries = 0;
  std::istringstream numbers(body);
  std::string item;
  while (std::getline(numbers, item, ',')) {
    int value = std::stoi(item);
    ASSERT_GE(value, 0);
    ASSERT_LT(value, 12);
    counts[value] += 1;
    ++entries;
  }
  EXPECT_EQ(entries, 36);
  for (int count : counts) EXPECT_EQ(count, 3);
}

TEST(Random, ReportCountsEveryDraw) {
  std::string path = make_scratch_folder("random_report") + "report.txt";
  random_report(1, path.c_str());
  std::string expected =
      "\nRandom report for 1 (1966050 numbers)\nMIN - 0 was retured 1966050 times\nMAX - 0 was retured 1966050 "
      "times\nAverage times each number retuned 1966050\nUnreturned values 0\n";
  std::string text = read_whole_text(path);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(text, expected);
  random_report(0, path.c_str());  // nothing to count: nothing written
  random_report(3, path.c_str());
  text = read_whole_text(path);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_NE(text.find("Random report for 3 (1966050 numbers)"), std::string::npos);
  EXPECT_NE(text.find("Average times each number retuned 655350\nUnreturned values 0\n"), std::string::npos);
}

TEST(Random, ScrambledBytesFollowTheKeysAndTheRunningSum) {
  // Every byte, not only the round trip: texts scrambled elsewhere must unscramble here.
  const INT_U8 plain[] = {'a', 'b', 0xE9, 0, 'z', 0x80, '1'};
  const INT_S32 size = static_cast<INT_S32>(sizeof plain);
  INT_U8 scrambled[sizeof plain + 2];
  ASSERT_EQ(scramble_text(plain, size, scrambled, size + 2), size + 2);
  INT_U8 a = scrambled[0];
  INT_U8 b = scrambled[size + 1];
  INT_U32 sum = 0;
  for (INT_S32 i = 0; i < size; ++i) {
    INT_U8 expected = static_cast<INT_U8>((i * a) ^ plain[i] ^ b ^ ~(sum & 0xFF));
    EXPECT_EQ(scrambled[i + 1], expected) << "byte " << i;
    sum += plain[i];
  }

  // A scrambled text made by hand with the keys 3 and 5.
  const INT_U8 keyed[] = {3, static_cast<INT_U8>('h' ^ 5 ^ 0xFF),
                          static_cast<INT_U8>(3 ^ 'i' ^ 5 ^ static_cast<INT_U8>(~'h')), 5};
  char back[2];
  ASSERT_EQ(unscramble_text(keyed, 4, reinterpret_cast<INT_U8*>(back), 2), 2);
  EXPECT_EQ(std::string(back, 2), "hi");
}

TEST(Random, ActivityIsTheLaterOfKeyboardAndMouse) {
  INT_U32 keys = KEYBOARD_HANDLER::last_input_time;
  INT_U32 mouse = MOUSE_HANDLER::last_event_time;
  KEYBOARD_HANDLER::last_input_time = 1000;
  MOUSE_HANDLER::last_event_time = 2000;
  EXPECT_EQ(get_last_input_time(), 1000u);
  EXPECT_EQ(get_last_activity_time(), 2000u);
  KEYBOARD_HANDLER::last_input_time = 3000;
  EXPECT_EQ(get_last_activity_time(), 3000u);
  KEYBOARD_HANDLER::last_input_time = keys;
  MOUSE_HANDLER::last_event_time = mouse;
}

TEST(Random, RangesScaleTheDrawByItsUpperBits) {
  random_seed(0x12345u << 10);
  for (int i = 0; i < 50; ++i) {
    RANDOM ahead = global_random();  // the same state: its next draw is the one the helpers take
    INT_U64 r = ahead.next();
    EXPECT_EQ(random_range(10, 1000), static_cast<INT_S32>(10 + ((r * 2 * 990) >> 32)));
    r = ahead.next();
    EXPECT_EQ(random_below(7), static_cast<INT_S32>((r * 2 * 7) >> 32));
    r = ahead.next();
    EXPECT_DOUBLE_EQ(random_double(3.0), (r ? r - 1 : 0) * 3.0 / 2147483647.0);
  }
}
