// Tests of the growable text and the text helpers: growth and emptying, search and editing, the
// stored form (golden bytes, damaged streams), base64, the scrambler round trip, folding, byte counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "errors.h"
#include "files.h"
#include "shell.h"
#include "test_support.h"
#include "velk_string.h"

namespace {

VELK_STRING make(const char* text) {
  VELK_STRING s;
  s.assign(text);
  return s;
}

std::string str(const VELK_STRING& s) {
  return s.text ? s.text : "";
}

// A device that refuses every write.
class FULL_DEVICE : public MEMORY_DEVICE {
public:
  INT_S32 write(const void*, INT_S32) override { return 0; }
};

}  // namespace

TEST(VelkStringTest, FreshStringIsEmptyEverywhere) {
  VELK_STRING s;
  VELK_STRING needle = make("a");
  EXPECT_EQ(s.text, nullptr);
  EXPECT_EQ(s.capacity, 0);
  EXPECT_EQ(s.minimum_allocation, 50);
  EXPECT_EQ(s.find(needle, 0, 1), -1);
  EXPECT_EQ(s.find_last(needle, -1, 1), -1);
  EXPECT_EQ(s.replace(needle, needle, 0), 0u);
  EXPECT_EQ(s.delete_range(0, 0), 0u);
  MEMORY_DEVICE device;
  EXPECT_TRUE(s.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, (std::vector<INT_U8>{0, 0, 0, 0}));
}

TEST(VelkStringTest, GrowthAndEmptyingRules) {
  VELK_STRING s;
  s.assign("");
  ASSERT_NE(s.text, nullptr);
  EXPECT_EQ(s.capacity, 50);
  EXPECT_STREQ(s.text, "");
  s.assign("hello");
  char* buffer = s.text;
  s.assign(nullptr);
  EXPECT_EQ(s.text, buffer);  // the buffer stays, emptied
  EXPECT_STREQ(s.text, "");

  // Long texts get exactly their size; shorter ones never shrink the buffer.
  std::string long_text(80, 'x');
  s.assign(long_text.c_str());
  EXPECT_EQ(s.capacity, 81);
  s.assign("y");
  EXPECT_EQ(s.capacity, 81);
  EXPECT_EQ(s.reserve(10), 1u);
  EXPECT_EQ(s.capacity, 81);
  EXPECT_EQ(s.reserve(200), 1u);
  EXPECT_EQ(s.capacity, 200);
  EXPECT_STREQ(s.text, "y");
  s.clear();
  EXPECT_EQ(s.text, nullptr);
  EXPECT_EQ(s.capacity, 0);

  // Without a minimum allocation, a null assignment frees the buffer.
  VELK_STRING bare;
  bare.minimum_allocation = 0;
  bare.assign("ab");
  EXPECT_EQ(bare.capacity, 3);
  bare.assign(nullptr);
  EXPECT_EQ(bare.text, nullptr);
  EXPECT_EQ(bare.capacity, 0);
}

TEST(VelkStringTest, AppendAndNumbers) {
  VELK_STRING s;
  s.append("ab").append(nullptr).append("cd");
  EXPECT_STREQ(s.text, "abcd");
  s.append(s.text + 2);  // a piece of its own text
  EXPECT_STREQ(s.text, "abcdcd");
  std::string long_text(100, 'z');
  s.append(long_text.c_str());
  s.append(s.text);  // its whole text, across a reallocation
  EXPECT_EQ(str(s), "abcdcd" + long_text + "abcdcd" + long_text);

  VELK_STRING n;
  n.append_int(-12).append_short(-32768).append_int(2147483647);
  EXPECT_STREQ(n.text, "-12-327682147483647");
  VELK_STRING m;
  m.set_int(-5);
  EXPECT_STREQ(m.text, "-5");
  EXPECT_GE(m.capacity, 50);
  m.set_short(321);
  EXPECT_STREQ(m.text, "321");

  // Copies own their text.
  VELK_STRING copy(n);
  ASSERT_NE(copy.text, n.text);
  EXPECT_STREQ(copy.text, n.text);
  copy = m;
  EXPECT_STREQ(copy.text, "321");
}

TEST(VelkStringTest, Trimming) {
  VELK_STRING s = make(" \t\r\n text \v\f\r\n");
  s.trim_right();
  EXPECT_STREQ(s.text, " \t\r\n text");
  s.trim_left();
  EXPECT_STREQ(s.text, "text");
  VELK_STRING high = make(" \xA0 x \xA0 ");
  high.trim_left();
  high.trim_right();
  EXPECT_STREQ(high.text, "\xA0 x \xA0");
  VELK_STRING blank = make("   ");
  blank.trim_right();
  EXPECT_STREQ(blank.text, "");
  VELK_STRING none;
  none.trim_left();
  none.trim_right();
  EXPECT_EQ(none.text, nullptr);
}

TEST(VelkStringTest, FindForwardAndBackward) {
  VELK_STRING s = make("abqQ");
  VELK_STRING q = make("q");
  EXPECT_EQ(s.find(q, 3, 1), -1);
  EXPECT_EQ(s.find(q, 3, 0), 3);
  EXPECT_EQ(s.find(q, 0, 0), 2);
  EXPECT_EQ(s.find(q, 0, 1), 2);
  EXPECT_EQ(s.find(q, -1, 1), -1);
  EXPECT_EQ(s.find(q, 4, 1), -1);
  EXPECT_EQ(s.find(VELK_STRING(), 0, 1), -1);

  VELK_STRING abab = make("abab");
  VELK_STRING ab = make("ab");
  EXPECT_EQ(abab.find_last(ab, -1, 1), 2);
  EXPECT_EQ(abab.find_last(ab, 1, 1), 0);
  EXPECT_EQ(abab.find_last(ab, 99, 1), 2);
  EXPECT_EQ(abab.find_last(make("AB"), -1, 1), -1);
  EXPECT_EQ(abab.find_last(make("AB"), -1, 0), 2);
  EXPECT_EQ(abab.find_last(make("ababab"), -1, 1), -1);
}

TEST(VelkStringTest, ReplaceInsertDelete) {
  VELK_STRING s = make("one two two");
  EXPECT_EQ(s.replace(make("two"), make("three"), 5), 1u);
  EXPECT_STREQ(s.text, "one two three");
  EXPECT_EQ(s.replace(make("two "), VELK_STRING(), 0), 1u);
  EXPECT_STREQ(s.text, "one three");
  EXPECT_EQ(s.replace(make("one"), make("x"), 1), 0u);
  EXPECT_EQ(s.replace(make("one"), make("x"), 9), 0u);
  EXPECT_EQ(s.replace(VELK_STRING(), make("x"), 0), 0u);
  EXPECT_STREQ(s.text, "one three");
  EXPECT_GE(s.capacity, 50);
  EXPECT_EQ(s.replace(make("one"), s, 0), 1u);  // the replacement is this string's own text
  EXPECT_STREQ(s.text, "one three three");

  VELK_STRING t = make("ace");
  t.insert(make("b"), 1);
  t.insert(make("d"), 3);
  t.insert(make(">"), 0);
  t.insert(make("<"), 6);
  EXPECT_STREQ(t.text, ">abcde<");
  t.insert(make("!"), 8);
  t.insert(make("!"), -1);
  t.insert(VELK_STRING(), 2);
  EXPECT_STREQ(t.text, ">abcde<");
  VELK_STRING e;
  e.insert(make("new"), 0);
  EXPECT_STREQ(e.text, "new");

  VELK_STRING d = make("abcdef");
  EXPECT_EQ(d.delete_range(1, 2), 1u);
  EXPECT_STREQ(d.text, "adef");
  EXPECT_EQ(d.delete_range(2, 1), 0u);
  EXPECT_EQ(d.delete_range(-1, 1), 0u);
  EXPECT_EQ(d.delete_range(0, 4), 0u);
  EXPECT_EQ(d.delete_range(0, 3), 1u);
  EXPECT_STREQ(d.text, "");
}

TEST(VelkStringTest, Substring) {
  VELK_STRING s = make("abcdef");
  EXPECT_EQ(str(s.substring(2, -1)), "cdef");
  EXPECT_EQ(str(s.substring(3, 3)), "d");
  EXPECT_EQ(str(s.substring(4, 2)), "");
  EXPECT_EQ(str(s.substring(0, 6)), "");
  EXPECT_EQ(str(s.substring(-1, 2)), "");
  EXPECT_EQ(str(s.substring(6, -1)), "");
  EXPECT_EQ(str(VELK_STRING().substring(0, -1)), "");
}

TEST(VelkStringTest, StoredFormGoldenBytes) {
  VELK_STRING s = make("abc");
  MEMORY_DEVICE device;
  ASSERT_TRUE(s.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, (std::vector<INT_U8>{3, 0, 0, 0, 'a', 'b', 'c'}));
  device.position = 0;
  VELK_STRING back = make("old text");
  ASSERT_TRUE(back.get_from_data_device(&device));
  EXPECT_STREQ(back.text, "abc");
  EXPECT_EQ(device.bytes_left(), 0u);

  MEMORY_DEVICE swapped;
  swapped.swap_bytes = 1;
  ASSERT_TRUE(s.put_to_data_device(&swapped));
  EXPECT_EQ(swapped.bytes, (std::vector<INT_U8>{0, 0, 0, 3, 'a', 'b', 'c'}));
  swapped.position = 0;
  ASSERT_TRUE(back.get_from_data_device(&swapped));
  EXPECT_STREQ(back.text, "abc");

  MEMORY_DEVICE empty({0, 0, 0, 0});
  ASSERT_TRUE(back.get_from_data_device(&empty));
  EXPECT_STREQ(back.text, "");

  FULL_DEVICE full;
  EXPECT_FALSE(s.put_to_data_device(&full));
  EXPECT_TRUE(full.failed);
}

TEST(VelkStringTest, DamagedStoredFormFailsWithoutLargeAllocation) {
  // Negative length.
  MEMORY_DEVICE negative({0xFF, 0xFF, 0xFF, 0xFF, 'a'});
  VELK_STRING s = make("before");
  EXPECT_FALSE(s.get_from_data_device(&negative));
  EXPECT_STREQ(s.text, "");

  // A length beyond the bytes that follow: truncated text, or a corrupted length field.
  set_error(0, nullptr);
  MEMORY_DEVICE truncated({5, 0, 0, 0, 'a', 'b'});
  EXPECT_FALSE(s.get_from_data_device(&truncated));
  EXPECT_TRUE(truncated.failed);
  EXPECT_EQ(get_error_code(), DATA_ERROR_READ);
  EXPECT_STREQ(s.text, "");
  EXPECT_LE(s.capacity, 50);

  set_error(0, nullptr);
  MEMORY_DEVICE corrupted({0x00, 0x00, 0x00, 0x70, 'x', 'y', 'z'});
  VELK_STRING fresh;
  EXPECT_FALSE(fresh.get_from_data_device(&corrupted));
  EXPECT_EQ(get_error_code(), DATA_ERROR_READ);
  EXPECT_EQ(fresh.capacity, 0);

  // A length field cut short.
  MEMORY_DEVICE short_length({3, 0});
  EXPECT_FALSE(fresh.get_from_data_device(&short_length));
  EXPECT_TRUE(short_length.failed);

  // Every cut of a good stream fails cleanly; the whole stream reads.
  MEMORY_DEVICE whole;
  make("stored text").put_to_data_device(&whole);
  for (size_t cut = 0; cut < whole.bytes.size(); ++cut) {
    MEMORY_DEVICE part(std::vector<INT_U8>(whole.bytes.begin(), whole.bytes.begin() + cut));
    VELK_STRING target;
    EXPECT_FALSE(target.get_from_data_device(&part)) << "cut at " << cut;
    EXPECT_EQ(str(target), "");
  }
  whole.position = 0;
  EXPECT_TRUE(fresh.get_from_data_device(&whole));
  EXPECT_STREQ(fresh.text, "stored text");
}

TEST(VelkStringTest, Base64) {
  char out[16];
  EXPECT_EQ(base64_encode(reinterpret_cast<const INT_U8*>("abc"), 3, out, sizeof out), 4);
  EXPECT_STREQ(out, "YWJj");
  EXPECT_EQ(base64_encode(reinterpret_cast<const INT_U8*>("ab"), 2, out, sizeof out), 4);
  EXPECT_STREQ(out, "YWI=");
  EXPECT_EQ(base64_encode(reinterpret_cast<const INT_U8*>("a"), 1, out, sizeof out), 4);
  EXPECT_STREQ(out, "YQ==");
  std::strcpy(out, "untouched");
  EXPECT_EQ(base64_encode(reinterpret_cast<const INT_U8*>("abcd"), 4, out, 8), 8);  // no room for the NUL
  EXPECT_STREQ(out, "untouched");

  INT_U8 one = 0;
  EXPECT_EQ(base64_decode("YQ==", &one, 1), 1);
  EXPECT_EQ(one, 0x61);
  EXPECT_EQ(base64_decode("YQ=", &one, 1), -1);
  EXPECT_EQ(base64_decode(nullptr, &one, 1), -1);
  EXPECT_EQ(base64_decode("", &one, 1), 0);
  EXPECT_EQ(base64_decode("YWI=", nullptr, 0), 2);
  EXPECT_EQ(base64_decode("YWJj", nullptr, 0), 3);
  INT_U8 three[3];
  EXPECT_EQ(base64_decode("YW*j", three, 3), -1);
  EXPECT_EQ(base64_decode("YWJ\xC3", three, 3), -1);
  EXPECT_EQ(base64_decode("YWJj", three, 2), 3);  // too small: only the size

  std::vector<INT_U8> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<INT_U8>(i);
  for (int size : {1, 2, 3, 4, 5, 256}) {
    VELK_STRING s;
    s.set_base64(all.data(), size);
    EXPECT_EQ(s.length(), 4 * ((size + 2) / 3));
    std::vector<INT_U8> back(size + 1, 0xEE);
    EXPECT_EQ(s.decode_base64(nullptr, 0), size);
    ASSERT_EQ(s.decode_base64(back.data(), size), size);
    EXPECT_TRUE(std::equal(all.begin(), all.begin() + size, back.begin()));
    EXPECT_EQ(back[size], 0xEE);
  }
  VELK_STRING keep = make("same");
  keep.set_base64(nullptr, 3);
  keep.set_base64(all.data(), 0);
  EXPECT_STREQ(keep.text, "same");
  EXPECT_EQ(VELK_STRING().decode_base64(nullptr, 0), 0);
}

TEST(VelkStringTest, ScrambleRoundTrip) {
  for (const char* text : {"x", "secret password", "\xE9t\xE9 \x01\x7F"}) {
    VELK_STRING s = make(text);
    s.scramble();
    EXPECT_NE(str(s), text);
    EXPECT_EQ(base64_decode(s.text, nullptr, 0), static_cast<INT_S32>(std::strlen(text)) + 2);
    s.unscramble();
    EXPECT_STREQ(s.text, text);
  }
  // Texts too short to hold the two key bytes, or not base64 at all, stay as they are.
  for (const char* text : {"YQ==", "AAA=", "abc", "!!!!"}) {
    VELK_STRING s = make(text);
    s.unscramble();
    EXPECT_STREQ(s.text, text);
  }
  VELK_STRING empty;
  empty.scramble();
  empty.unscramble();
  EXPECT_EQ(empty.text, nullptr);
}

TEST(VelkStringTest, Clipboard) {
  copy_to_clipboard(make("copied text"));
  VELK_STRING s = make("old");
  paste_from_clipboard(&s);
  EXPECT_STREQ(s.text, "copied text");

  std::string long_text(2000, 'c');
  copy_to_clipboard(make(long_text.c_str()));
  paste_from_clipboard(&s);
  EXPECT_EQ(str(s), std::string(1023, 'c'));
}

TEST(TextHelpersTest, ConversionsAndCase) {
  EXPECT_EQ(string_to_unsigned(nullptr, 7), 7u);
  EXPECT_EQ(string_to_unsigned("42x", 7), 42u);
  EXPECT_EQ(string_to_double(nullptr, 1.5), 1.5);
  EXPECT_EQ(string_to_double("2.25", 1.5), 2.25);
  char text[] = "MiXed 1\xE9";
  string_to_upper(text);
  EXPECT_STREQ(text, "MIXED 1\xE9");

  EXPECT_EQ(string_compare_no_case("Hello", "hELLO", 10), 0);
  EXPECT_EQ(string_compare_no_case("abcX", "ABCy", 3), 0);
  EXPECT_EQ(string_compare_no_case("abcX", "ABCy", 4), -1);
  EXPECT_EQ(string_compare_no_case("b", "A", 0), 1);  // the first pair counts even for 0
  EXPECT_EQ(string_compare_no_case("ab", "abc", 10), -1);
  EXPECT_EQ(string_compare_no_case("abc", "ab", 10), 1);

  const char* hay = "Find The needle";
  EXPECT_EQ(string_find_no_case(hay, "THE"), hay + 5);
  EXPECT_EQ(string_find_no_case(hay, "NEEDLE"), hay + 9);
  EXPECT_EQ(string_find_no_case(hay, "needles"), nullptr);
  EXPECT_EQ(string_find_no_case(hay, ""), hay);
  EXPECT_EQ(string_find_no_case("", "a"), nullptr);
}

TEST(TextHelpersTest, AccentFolding) {
  char buffer[2];
  EXPECT_STREQ(fold_accented_char(0xDD, buffer), "YSS");
  EXPECT_STREQ(fold_accented_char(0xC6, buffer), "AE");
  EXPECT_STREQ(fold_accented_char(0xE6, buffer), "ae");
  EXPECT_STREQ(fold_accented_char(0xD8, buffer), "O");
  EXPECT_STREQ(fold_accented_char(0xFE, buffer), "p");
  EXPECT_STREQ(fold_accented_char(0xFD, buffer), "y");
  for (int c : {0x80, 0xA0, 0xBF, 0xD7, 0xDE, 0xDF, 0xF7, 0xFF}) {
    EXPECT_EQ(fold_accented_char(static_cast<INT_U8>(c), buffer), buffer);
    EXPECT_STREQ(buffer, "?");
  }
  EXPECT_EQ(fold_accented_char('k', buffer), buffer);
  EXPECT_STREQ(buffer, "k");
  EXPECT_STREQ(fold_accented_char('z', nullptr), "z");

  EXPECT_EQ(compare_folded("\xE9t\xE9", "ete", 0), 0);
  EXPECT_EQ(compare_folded("ab", "abc", 0), -1);
  EXPECT_GT(compare_folded("abc", "ab", 0), 0);
  EXPECT_EQ(compare_folded("\xA0", "?", 0), 0);
  EXPECT_EQ(compare_folded(nullptr, "", 0), 0);
  EXPECT_EQ(compare_folded("", "a", 0), -1);
  EXPECT_EQ(compare_folded("a", nullptr, 0), 1);
  EXPECT_NE(compare_folded("\xC9T\xC9", "ete", 0), 0);
  EXPECT_EQ(compare_folded("\xC9T\xC9", "ete", 1), 0);

  char out[16];
  EXPECT_EQ(copy_folded("\xC6on", out, sizeof out), 3);
  EXPECT_STREQ(out, "AEon");
  EXPECT_EQ(copy_folded("abcdefgh", out, 6), 3);  // stops once 3 (size - 3) characters are out
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(copy_folded("a\xDD\xDDxyz", out, 8), 7);
  EXPECT_STREQ(out, "aYSSYSS");
  EXPECT_EQ(copy_folded("a", nullptr, 8), 1);
  std::strcpy(out, "kept");
  EXPECT_EQ(copy_folded(nullptr, out, 8), 0);
  EXPECT_STREQ(out, "kept");
}

TEST(TextHelpersTest, ByteCounts) {
  FILE_INFO info = {};
  info.size = 0;
  EXPECT_STREQ(format_byte_count(&info), "0.0 b");
  info.size = 1024;
  EXPECT_STREQ(format_byte_count(&info), "1024.0 b");
  info.size = 1536;
  EXPECT_STREQ(format_byte_count(&info), "1.5 k");
  info.size = 1048576;
  EXPECT_STREQ(format_byte_count(&info), "1024.0 k");
  info.size = 3u << 20;
  EXPECT_STREQ(format_byte_count(&info), "3.0 M");
  info.size = 0xFFFFFFFFu;
  EXPECT_STREQ(format_byte_count(&info), "4.0 G");
}

// Every size reads as "%.1lf" of the size in its unit: around each unit's edge, the tenths' rounding
// either side of a half, and the halves themselves.
TEST(TextHelpersTest, ByteCountsRoundAsPrintfDoes) {
  std::vector<INT_U32> sizes;
  for (INT_U32 edge : {0u, 1024u, 1048576u, 1073741824u, 0xFFFFFFFFu - 300u})
    for (INT_U32 k = 0; k < 300; k++) sizes.push_back(edge + k);
  for (INT_U32 step = 1; step < 4000000000u / 977; step += 977) sizes.push_back(step * 977);
  for (INT_U32 size : {1280u, 1331u, 1332u, 1382u, 1383u, 2662u, 5u << 19, 0x7FFFFFFFu})
    sizes.push_back(size);
  FILE_INFO info = {};
  for (INT_U32 size : sizes) {
    double bytes = size;
    const char* unit = bytes > 1073741824.0 ? "G" : bytes > 1048576.0 ? "M" : bytes > 1024.0 ? "k" : "b";
    double shown = bytes > 1073741824.0 ? bytes / 1073741824.0
                   : bytes > 1048576.0  ? bytes / 1048576.0
                   : bytes > 1024.0     ? bytes / 1024.0
                                        : bytes;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.1lf %s", shown, unit);
    info.size = size;
    ASSERT_STREQ(expected, format_byte_count(&info)) << size;
  }
}

TEST(TextHelpersTest, AccentFoldingTableRowByRow) {
  // Every byte from 0xC0 up, folded in one go.
  char source[0x41];
  for (int c = 0xC0; c <= 0xFF; ++c) source[c - 0xC0] = static_cast<char>(c);
  source[0x40] = 0;
  char out[200];
  copy_folded(source, out, static_cast<INT_S16>(sizeof out));
  EXPECT_STREQ(out,
               "AAAAAAAECEEEEIIII"   // C0-CF
               "DNOOOOO?OUUUUYSS??"  // D0-DF
               "aaaaaaaeceeeeiiii"   // E0-EF
               "dnooooo?ouuuuyp?");  // F0-FF
}

namespace {

std::string to_utf8(const std::string& text, size_t size = 256) {
  std::vector<char> out(size, 'X');
  return text_to_utf8(text.c_str(), out.data(), size) ? out.data() : "<none>";
}

std::string from_utf8(const std::string& host, size_t size = 256) {
  std::vector<char> out(size, 'X');
  return utf8_to_text(host.c_str(), out.data(), size) ? out.data() : "<none>";
}

std::u16string to_utf16(const std::string& text, size_t size = 256) {
  std::vector<INT_U16> out(size, 'X');
  if (!text_to_utf16(text.c_str(), out.data(), size)) return u"<none>";
  std::u16string wide;
  for (size_t i = 0; out[i]; i++) wide += (char16_t)out[i];
  return wide;
}

std::string from_utf16(const std::u16string& wide, size_t size = 256) {
  std::vector<INT_U16> units(wide.begin(), wide.end());
  units.push_back(0);
  std::vector<char> out(size, 'X');
  return utf16_to_text(units.data(), out.data(), size) ? out.data() : "<none>";
}

}  // namespace

TEST(HostNamesTest, LatinOneAndWideCharactersBetweenTheSystemsTextAndUtf8) {
  // The system's text is Latin-1; a run holds what lies above 0xFF.
  EXPECT_EQ(from_utf8("Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt"), "Gr\xFC\xDF" "e-\xF1.txt");
  EXPECT_EQ(to_utf8("Gr\xFC\xDF" "e-\xF1.txt"), "Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt");
  EXPECT_EQ(from_utf8("caf\xC3\xA9 \xC3\xBF"), "caf\xE9 \xFF");
  EXPECT_EQ(from_utf8("a\xE4\xB8\xAD\xE6\x96\x87" "b"), "a\x01,4E2D,6587\x01" "b");
  EXPECT_EQ(to_utf8("a\x01,4E2D,6587\x01" "b"), "a\xE4\xB8\xAD\xE6\x96\x87" "b");
  // Past 0xFFFF: a surrogate pair of groups.
  EXPECT_EQ(from_utf8("\xF0\x9F\x98\x80"), "\x01,D83D,DE00\x01");
  EXPECT_EQ(to_utf8("\x01,D83D,DE00\x01"), "\xF0\x9F\x98\x80");
  // The mark itself, and a comma that would follow a run (readers skip it), go into the run.
  EXPECT_EQ(from_utf8("\x01"), "\x01,0001\x01");
  EXPECT_EQ(from_utf8("\xE4\xB8\xAD,x"), "\x01,4E2D,002C\x01x");
  EXPECT_EQ(to_utf8("\x01,4E2D,002C\x01x"), "\xE4\xB8\xAD,x");
}

TEST(HostNamesTest, BytesThatAreNoUtf8ComeBackAsTheyWere) {
  // Each such byte is the lone low surrogate 0xDC00 plus the byte.
  const std::vector<std::string> names = {"raw\xE9.txt", "\xFF\xFE", "\xC3", "\xC3\xA9\xA9",   // cut, one too many
                                          "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8" "a"};  // surrogate, too large
  for (const std::string& name : names) {
    std::string text = from_utf8(name);
    EXPECT_NE(text, "<none>");
    EXPECT_EQ(to_utf8(text), name) << text;
  }
  EXPECT_EQ(from_utf8("raw\xE9.txt"), "raw\x01,DCE9\x01.txt");
  // A pair made of a real character and an escaped byte stays two things.
  EXPECT_EQ(to_utf8(from_utf8("\xF0\x9F\x98\x80\xFF")), "\xF0\x9F\x98\x80\xFF");
}

// Windows opens its device names in any folder, whatever their capitals and whatever follows a dot;
// a longer name or another character (a Latin-1 letter too) is a file's.
TEST(HostNamesTest, WindowsDeviceNames) {
  for (const char* device : {"CON", "con.txt", "Nul .tar.gz", "conout$", "COM1", "lpt9.log", "COM\xB9", "LPT\xB3.x"})
    EXPECT_TRUE(is_windows_device_name(device)) << device;
  for (const char* name : {"CONS", "CO", "COM", "COM10", "LPT\xB4", "CON\xE9", "\xC9" "CON", ".CON", "CONOUT$1", ""})
    EXPECT_FALSE(is_windows_device_name(name)) << name;
}

TEST(HostNamesTest, TextsNoNameMayHoldHaveNoHostForm) {
  // Separators, points and colons come only as plain bytes, where checks of names see them; a text is
  // taken only in the one spelling that the conversions back write (no empty run: "..\x01\x01").
  for (const char* text : {"\x01,002F\x01", "\x01,002E,002E\x01", "a\x01,005C\x01", "\x01,003A\x01", "\x01,0000\x01",
                           "\x01,4E2\x01", "\x01,4EZD\x01", "..\x01\x01/x", ".\x01,\x01.", "..\x01", "\x01,00FC\x01",
                           "\x01,4E2D", "\x01,4e2d\x01", "\x01,4E2D\x01\x01,4E2D\x01", "\x01,4E2D\x01,x", "\x01,4E2D,\x01",
                           "\x01" "4E2D\x01", "\x01,002C\x01", "\x01,4E2D,002E\x01"}) {
    EXPECT_EQ(to_utf8(text), "<none>") << text;
    EXPECT_EQ(to_utf16(text), u"<none>") << text;
    EXPECT_FALSE(has_host_form(text)) << text;
  }
  // A lone surrogate that stands for no byte has no UTF-8 form; Windows takes every 16-bit unit.
  for (const char* text : {"\x01,D83D\x01", "\x01,DE00\x01", "\x01,DC7F\x01"}) EXPECT_EQ(to_utf8(text), "<none>") << text;
  EXPECT_EQ(to_utf16("\x01,D83D\x01"), u"\xD83D");
}

TEST(HostNamesTest, EscapedBytesThatSpellACharacterHaveNoUtf8Form) {
  // "\xE9" is the one spelling of that name.
  for (const char* text : {"\x01,DCC3,DCA9\x01", "a\x01,DCE2,DC82,DCAC\x01"}) {
    EXPECT_EQ(to_utf8(text), "<none>") << text;
    EXPECT_NE(to_utf16(text), u"<none>") << text;  // Windows names hold any unit
  }
  // An overlong form (C0 AF, a loose reading's '/') that the file system gave turns back into its bytes,
  // but no name that comes in may hold one.
  for (const std::string& name : {std::string("\xC0\xAF"), std::string("a\xE0\x80\xAE.txt"), std::string("\xF0\x80\x80\xAF")}) {
    std::string text = from_utf8(name);
    EXPECT_EQ(to_utf8(text), name) << text;
    EXPECT_FALSE(has_host_form(text.c_str())) << text;
    EXPECT_FALSE(is_single_name(text.c_str())) << text;
  }
  // Bytes that form no character stay: a lead cut short, a surrogate's or a too large value's form.
  for (const char* text : {"\x01,DCC3\x01" "a", "\x01,DCE2,DC82\x01", "\x01,DCED,DCA0,DC80\x01", "\x01,DCF4,DC90,DC80,DC80\x01"})
    EXPECT_EQ(from_utf8(to_utf8(text)), text) << text;
}

TEST(HostNamesTest, Utf16UnitsMapOneToOne) {
  EXPECT_EQ(from_utf16(u"Gr\u00FC\u00DF" "e-\u00F1.txt"), "Gr\xFC\xDF" "e-\xF1.txt");
  EXPECT_EQ(to_utf16("Gr\xFC\xDF" "e-\xF1.txt"), u"Gr\u00FC\u00DF" "e-\u00F1.txt");
  EXPECT_EQ(from_utf16(u"\u4E2D,\U0001F600\u0001"), "\x01,4E2D,002C,D83D,DE00,0001\x01");
  EXPECT_EQ(to_utf16("\x01,4E2D,002C,D83D,DE00,0001\x01"), u"\u4E2D,\U0001F600\u0001");
}

TEST(HostNamesTest, ResultsThatDoNotFitFail) {
  // "Gr\xFC" needs three bytes and a terminator as text, five as UTF-8.
  EXPECT_EQ(from_utf8("Gr\xC3\xBC", 4), "Gr\xFC");
  EXPECT_EQ(from_utf8("Gr\xC3\xBC", 3), "<none>");
  EXPECT_EQ(to_utf8("Gr\xFC", 5), "Gr\xC3\xBC");
  EXPECT_EQ(to_utf8("Gr\xFC", 4), "<none>");
  EXPECT_EQ(from_utf8("\xE4\xB8\xAD", 7), "<none>");  // the run's closing mark does not fit
  EXPECT_EQ(from_utf8("\xE4\xB8\xAD", 8), "\x01,4E2D\x01");
  EXPECT_EQ(to_utf16("ab", 2), u"<none>");
  EXPECT_EQ(from_utf16(u"ab", 2), "<none>");
}

// A layout reads characters: the two groups of a surrogate pair are one character above U+FFFF, which
// starts where its first group does; a half without its other half, or parted from it by a damaged
// group, stays a unit of its own.
TEST(WideRunReaderTest, ASurrogatePairIsOneCharacter) {
  struct CASE {
    const char* text;
    std::vector<INT_U32> characters;
    std::vector<INT_S32> starts;
  } cases[] = {
      {"a\x01,D835,DD38,0416\x01" "b", {'a', 0x1D538, 0x416, 'b'}, {0, 3, 13, 18}},
      {"\x01,D835\x01" "x", {0xD835, 'x'}, {2, 7}},
      {"\x01,D835,zz,DD38\x01", {0xD835, 0xDD38}, {2, 10}},
      {"\x01,DD38,D835", {0xDD38, 0xD835}, {2, 7}},
  };
  for (const CASE& c : cases) {
    WIDE_RUN_READER reader(c.text);
    std::vector<INT_U32> characters;
    std::vector<INT_S32> starts;
    INT_U32 character;
    while (reader.next_character(&character)) {
      characters.push_back(character);
      starts.push_back(reader.start_position());
    }
    EXPECT_EQ(characters, c.characters) << c.text;
    EXPECT_EQ(starts, c.starts) << c.text;
  }
}
