// Tests of text files: encodings read (UTF-16 both orders, UTF-8 with and without its mark, 8-bit
// fallback) and written, checked against iconv; line-end folding, wide-character runs, line-size edges,
// appending, and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "text_file.h"
#include "test_support.h"

namespace {

typedef std::vector<INT_U8> BYTES;

#ifdef _WIN32
const std::string NL = "\r\n";  // 8-bit text is written in the host's text mode
#else
const std::string NL = "\n";
#endif

BYTES bytes_of(const std::string& text) { return BYTES(text.begin(), text.end()); }

// The sample text as code points: "café €uro", "", "x" (ending without a line end).
const std::vector<INT_U32> SAMPLE = {0x63, 0x61, 0x66, 0xE9, 0x20, 0x20AC, 0x75, 0x72, 0x6F, 0x0A, 0x0A, 0x78};
const std::string SAMPLE_UTF8 = "caf\xC3\xA9 \xE2\x82\xACuro\n\nx";
const std::vector<std::string> SAMPLE_LINES = {"caf\xE9 \x01,20AC\x01uro", "", "x"};

BYTES utf16(const std::vector<INT_U32>& points, bool big_endian, bool crlf) {
  BYTES out;
  for (INT_U32 point : points) {
    if (crlf && point == 0x0A) {
      INT_U8 cr[2] = {0x0D, 0};
      if (big_endian) std::swap(cr[0], cr[1]);
      out.insert(out.end(), cr, cr + 2);
    }
    INT_U8 unit[2] = {static_cast<INT_U8>(point & 0xFF), static_cast<INT_U8>(point >> 8)};
    if (big_endian) std::swap(unit[0], unit[1]);
    out.insert(out.end(), unit, unit + 2);
  }
  return out;
}

BYTES prefixed(INT_U8 a, INT_U8 b, BYTES rest) {
  rest.insert(rest.begin(), {a, b});
  return rest;
}

class TextFiles : public ::testing::Test {
protected:
  FOLDER folder;
  std::string path;
  void SetUp() override {
    folder = scratch_folder("text-file", &path);
  }
  std::vector<std::string> read_lines(const BYTES& bytes, INT_S16 line_size = 256) {
    EXPECT_TRUE(write_whole_file(path + "in.txt", bytes));
    std::vector<std::string> lines;
    TEXT_FILE* file = open_text_file(&folder, "in.txt", TEXT_FILE_READ, false);
    EXPECT_NE(nullptr, file);
    if (!file) return lines;
    file->line_size = line_size;
    std::vector<char> line(static_cast<size_t>(line_size) + 8, '#');
    while (file->read_line(line.data())) {
      EXPECT_LT(strlen(line.data()), static_cast<size_t>(line_size));
      lines.push_back(line.data());
    }
    EXPECT_FALSE(file->read_line(line.data()));
    close_text_file(&file);
    EXPECT_EQ(nullptr, file);
    return lines;
  }
  BYTES written(const std::string& text, bool unicode, bool whole = false) {
    TEXT_FILE* file = open_text_file(&folder, "out.txt", TEXT_FILE_WRITE, unicode);
    EXPECT_NE(nullptr, file);
    if (!file) return {};
    EXPECT_TRUE(whole ? file->write_text_whole(text.c_str()) : file->write_text(text.c_str()));
    close_text_file(&file);
    return read_whole_file(path + "out.txt");
  }
};

#ifndef _WIN32
BYTES iconv_bytes(const std::string& utf8, const char* to) {
  std::string scratch = make_scratch_folder("text-iconv");
  write_whole_file(scratch + "in", bytes_of(utf8));
  int status = run_command(std::string("iconv -f UTF-8 -t ") + to + " " + scratch + "in > " + scratch + "out");
  EXPECT_EQ(0, status);
  return read_whole_file(scratch + "out");
}
#endif

}  // namespace

TEST_F(TextFiles, EncodingsMatchIconv) {
#ifdef _WIN32
  GTEST_SKIP() << "iconv is run by the Linux build; this build checks the same golden bytes";
#else
  REQUIRE_TOOL("iconv");
  EXPECT_EQ(utf16(SAMPLE, false, false), iconv_bytes(SAMPLE_UTF8, "UTF-16LE"));
  EXPECT_EQ(utf16(SAMPLE, true, false), iconv_bytes(SAMPLE_UTF8, "UTF-16BE"));
  // iconv's "UTF-16" carries its own mark in this machine's order.
  BYTES marked = iconv_bytes(SAMPLE_UTF8, "UTF-16");
  EXPECT_EQ(prefixed(0xFF, 0xFE, utf16(SAMPLE, false, false)), marked);
  EXPECT_EQ(SAMPLE_LINES, read_lines(marked));
  EXPECT_EQ(bytes_of(SAMPLE_UTF8), iconv_bytes(SAMPLE_UTF8, "UTF-8"));
  // Written UTF-16: the mark, then every line end as CR LF.
  std::string crlf_text = "caf\xC3\xA9 \xE2\x82\xACuro\r\n\r\nx";
  EXPECT_EQ(prefixed(0xFF, 0xFE, iconv_bytes(crlf_text, "UTF-16LE")),
            written("caf\xE9 \x01,20AC\x01uro\n\nx", true));
#endif
}

TEST_F(TextFiles, ReadsEveryEncoding) {
  EXPECT_EQ(SAMPLE_LINES, read_lines(prefixed(0xFF, 0xFE, utf16(SAMPLE, false, false))));
  EXPECT_EQ(SAMPLE_LINES, read_lines(prefixed(0xFE, 0xFF, utf16(SAMPLE, true, false))));
  EXPECT_EQ(SAMPLE_LINES, read_lines(prefixed(0xFF, 0xFE, utf16(SAMPLE, false, true))));
  EXPECT_EQ(SAMPLE_LINES, read_lines(prefixed(0xFE, 0xFF, utf16(SAMPLE, true, true))));
  EXPECT_EQ(SAMPLE_LINES, read_lines(bytes_of(SAMPLE_UTF8)));
  EXPECT_EQ(SAMPLE_LINES, read_lines(bytes_of("\xEF\xBB\xBF" + SAMPLE_UTF8)));
  // Without a mark, 16-bit text is not recognised: it reads as bytes.
  EXPECT_NE(SAMPLE_LINES, read_lines(utf16(SAMPLE, false, false)));
}

TEST_F(TextFiles, WritesUtf8AndUtf16) {
  EXPECT_EQ(prefixed(0xFF, 0xFE, utf16(SAMPLE, false, true)), written("caf\xE9 \x01,20AC\x01uro\n\nx", true));
  EXPECT_EQ(bytes_of("caf\xC3\xA9 \xE2\x82\xACuro" + NL + NL + "x"), written("caf\xE9 \x01,20AC\x01uro\n\nx", false));
  // A comma right after the closing mark is not written; lower-case digits count too.
  EXPECT_EQ(bytes_of("a\xE2\x82\xAC" "b"), written("a\x01,20AC\x01,b", false));
  EXPECT_EQ(bytes_of("\xE2\x82\xAC\xE2\x82\xAC"), written("\x01,20ac,20AC\x01", false));
  // Broken groups are skipped without reading past the run mark or the end.
  EXPECT_EQ(bytes_of("b"), written("\x01,2G\x01" "b", false));
  EXPECT_EQ(bytes_of(""), written("\x01,20", false));
  // A run left open ends with the text.
  EXPECT_EQ(bytes_of("\xE2\x82\xAC"), written("\x01,20AC", false));
}

// Damaged runs are written by the one rule of the text's readers: a run opened twice or left empty is
// no character, a short group goes with the byte after it but never with a mark, and the two halves
// of a character above 0xFFFF make it whenever nothing comes between them, in one run or two.
TEST_F(TextFiles, DamagedRunsAreWrittenByTheRulesOfEveryReader) {
  EXPECT_EQ(bytes_of("ab"), written("a\x01\x01" "b\x01,\x01", false));
  EXPECT_EQ(bytes_of("AB"), written("\x01,12\x01" "AB", false));
  EXPECT_EQ(bytes_of("\xE2\x82\xAC"), written("\x01,z20AC,\x01,", false));
  EXPECT_EQ(bytes_of("\xF0\x9F\x98\x80" "\xF0\x9F\x98\x80"), written("\x01,D83D\x01\x01,DE00,d83d,de00", false));
  EXPECT_EQ(bytes_of("\xED\xA0\xBD" "\xED\xB8\x80"), written("\x01,D83D,z,DE00\x01", false));
  EXPECT_EQ(bytes_of(""), written("\x01,", false));
}

// A text written whole (in one write of the system) has the bytes that write_text gives, the host's
// text-mode line ends included, after what the stream held.
TEST_F(TextFiles, TextWrittenWholeHasTheBytesOfTextWritten) {
  for (bool unicode : {false, true})
    for (const char* text : {"caf\xE9 \x01,20AC\x01uro\n\nx", "plain\nlines\n", "\x01,2G\x01" "b"})
      EXPECT_EQ(written(text, unicode, true), written(text, unicode, false)) << text;
  TEXT_FILE* file = open_text_file(&folder, "out.txt", TEXT_FILE_WRITE, false);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write_text("held\n"));
  EXPECT_TRUE(file->write_text_whole("whole\n"));
  EXPECT_TRUE(close_text_file(&file));
  EXPECT_EQ(read_whole_file(path + "out.txt"), bytes_of("held" + NL + "whole" + NL));
}

TEST_F(TextFiles, WideCharactersShareRuns) {
  BYTES line = prefixed(0xFF, 0xFE, utf16({0x61, 0x20AC, 0x62, 0x0A, 0x20AC, 0x20AC}, false, false));
  EXPECT_EQ((std::vector<std::string>{"a\x01,20AC\x01" "b", "\x01,20AC,20AC\x01"}), read_lines(line));
}

// A character above 0xFFFF reads as the two groups of its surrogate pair, and such a pair writes back
// as that one character: a name read from a log is the name that was written.
TEST_F(TextFiles, CharactersAboveTheFirstPlaneAreSurrogatePairs) {
  EXPECT_EQ((std::vector<std::string>{"a\x01,D83D,DE00\x01" "b"}), read_lines(bytes_of("a\xF0\x9F\x98\x80" "b")));
  // The pair comes whole with the next call when the line has no room for it.
  EXPECT_EQ((std::vector<std::string>{"abcde", "\x01,D83D,DE00\x01"}), read_lines(bytes_of("abcde\xF0\x9F\x98\x80"), 13));
  EXPECT_EQ((std::vector<std::string>{"?"}), read_lines(bytes_of("\xF7\xBF\xBF\xBF")));  // past 0x10FFFF
  TEXT_FILE* file = open_text_file(&folder, "pairs.txt", TEXT_FILE_WRITE, false);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->write_text("a\x01,D83D,DE00,D83D\x01" "b\x01,DE00\x01"));  // a pair, then halves alone
  close_text_file(&file);
  EXPECT_EQ(bytes_of("a\xF0\x9F\x98\x80\xED\xA0\xBD" "b\xED\xB8\x80"), read_whole_file(path + "pairs.txt"));
  file = open_text_file(&folder, "pairs16.txt", TEXT_FILE_WRITE, true);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->write_text("\x01,D83D,DE00\x01"));
  close_text_file(&file);
  EXPECT_EQ((BYTES{0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), read_whole_file(path + "pairs16.txt"));
}

// A ',' after a wide character and the mark character are groups: plain, they would be lost or open a run.
TEST_F(TextFiles, CommasAfterRunsAndMarksAreGroups) {
  const std::vector<std::string> lines = {"\x01,0100,002C\x01", "a\x01,0001,002C\x01" "b"};
  EXPECT_EQ(lines, read_lines(prefixed(0xFF, 0xFE, utf16({0x100, ',', 0x0A, 'a', 0x01, ',', 'b'}, false, false))));
  EXPECT_EQ(bytes_of("\xC4\x80," "a\x01,b"), written(lines[0] + lines[1], false));
}

TEST_F(TextFiles, Latin1FallsBackToBytes) {
  // After the first byte that breaks UTF-8 the rest is taken byte by byte, even valid UTF-8.
  EXPECT_EQ((std::vector<std::string>{"caf\xE9", "\xC3\xA9"}), read_lines(bytes_of("caf\xE9\n\xC3\xA9\n")));
  EXPECT_EQ((std::vector<std::string>{"\xEF" "A"}), read_lines(bytes_of("\xEF" "A")));
  EXPECT_EQ((std::vector<std::string>{"ab\xE2\x82"}), read_lines(bytes_of("ab\xE2\x82")));
  EXPECT_EQ((std::vector<std::string>{"a\xE2" "b"}), read_lines(bytes_of("a\xE2" "b")));
}

TEST_F(TextFiles, LineEnds) {
  EXPECT_EQ((std::vector<std::string>{"a", "b", "", "c"}), read_lines(bytes_of("a\r\nb\r\n\r\nc\r\n")));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), read_lines(bytes_of("a\rb\n\rc")));
  EXPECT_EQ((std::vector<std::string>{"a", "bc"}), read_lines(bytes_of("a\nb\rc\n")));
  EXPECT_EQ((std::vector<std::string>{"", "x"}), read_lines(bytes_of("\nx")));
  EXPECT_EQ((std::vector<std::string>{}), read_lines(bytes_of("")));
  EXPECT_EQ((std::vector<std::string>{}), read_lines(bytes_of("\xEF\xBB\xBF")));
}

TEST_F(TextFiles, LineSizeEdges) {
  // A line of exactly line size - 1 characters comes whole; its line end then reads as an empty line.
  EXPECT_EQ((std::vector<std::string>{"abcdefg", "", "h"}), read_lines(bytes_of("abcdefg\nh"), 8));
  EXPECT_EQ((std::vector<std::string>{"abcdefg", "hi"}), read_lines(bytes_of("abcdefghi"), 8));
  // A wide character that does not fit comes with the next call: nothing is lost.
  BYTES wide = prefixed(0xFF, 0xFE, utf16({'a', 'b', 'c', 'd', 0x20AC, 'g', 0x20AC, 0x20AC}, false, false));
  std::vector<std::string> pieces = read_lines(wide, 8);
  EXPECT_EQ((std::vector<std::string>{"abcd", "\x01,20AC\x01", "g", "\x01,20AC\x01", "\x01,20AC\x01"}), pieces);
  // Each piece written on its own (its run ends with it) gives the characters back.
  TEXT_FILE* copy = open_text_file(&folder, "copy.txt", TEXT_FILE_WRITE, false);
  ASSERT_NE(nullptr, copy);
  for (const std::string& piece : pieces) EXPECT_TRUE(copy->write_text(piece.c_str()));
  close_text_file(&copy);
  EXPECT_EQ(bytes_of("abcd\xE2\x82\xAC" "g\xE2\x82\xAC\xE2\x82\xAC"), read_whole_file(path + "copy.txt"));
  // A buffer too small for any group takes '?' instead; one without room for a character reads nothing.
  EXPECT_EQ((std::vector<std::string>{"a", "?", "b"}), read_lines(prefixed(0xFF, 0xFE, utf16({'a', 0x20AC, 'b'}, false, false)), 2));
  EXPECT_EQ((std::vector<std::string>{}), read_lines(bytes_of("abc"), 1));
  // An odd byte at the end of a UTF-16 file is the end.
  EXPECT_EQ((std::vector<std::string>{"a"}), read_lines(BYTES{0xFF, 0xFE, 'a', 0, 'b'}));
}

TEST_F(TextFiles, GetChar) {
  ASSERT_TRUE(write_whole_file(path + "in.txt", prefixed(0xFF, 0xFE, utf16({'a', 0x0D, 0x0A, 0x20AC}, false, false))));
  TEXT_FILE* file = open_text_file(&folder, "in.txt", TEXT_FILE_READ, false);
  ASSERT_NE(nullptr, file);
  char c;
  ASSERT_TRUE(file->get_char(&c));
  EXPECT_EQ('a', c);
  ASSERT_TRUE(file->get_char(&c));
  EXPECT_EQ('\n', c);
  ASSERT_TRUE(file->get_char(&c));
  EXPECT_EQ('\xAC', c);  // cut to its low byte
  EXPECT_FALSE(file->get_char(&c));
  EXPECT_FALSE(file->put_char('x'));
  EXPECT_FALSE(file->write_text("x"));
  EXPECT_FALSE(file->printf("x"));
  close_text_file(&file);
  close_text_file(&file);
}

TEST_F(TextFiles, PrintfCutsAt1023Characters) {
  TEXT_FILE* file = open_text_file(&folder, "out.txt", TEXT_FILE_WRITE, false);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->printf("%s-%d", std::string(2000, 'p').c_str(), 7));
  EXPECT_TRUE(file->printf(nullptr));
  char line[16];
  EXPECT_FALSE(file->read_line(line));
  close_text_file(&file);
  EXPECT_EQ(BYTES(1023, 'p'), read_whole_file(path + "out.txt"));
}

TEST_F(TextFiles, Appending) {
  // Big-endian UTF-16 is never appended to.
  ASSERT_TRUE(write_whole_file(path + "be.txt", {0xFE, 0xFF, 0, 'a'}));
  EXPECT_EQ(nullptr, open_text_file(&folder, "be.txt", TEXT_FILE_APPEND, true));
  EXPECT_EQ((BYTES{0xFE, 0xFF, 0, 'a'}), read_whole_file(path + "be.txt"));
  // An empty (or missing) file appended to as unicode gets the mark first.
  TEXT_FILE* file = open_text_file(&folder, "new.txt", TEXT_FILE_APPEND, true);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->write_text("a\n"));
  close_text_file(&file);
  EXPECT_EQ((BYTES{0xFF, 0xFE, 'a', 0, 0x0D, 0, 0x0A, 0}), read_whole_file(path + "new.txt"));
  // A little-endian file takes UTF-16 units whatever unicode says.
  file = open_text_file(&folder, "new.txt", TEXT_FILE_APPEND, false);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->put_char('b'));
  close_text_file(&file);
  EXPECT_EQ((BYTES{0xFF, 0xFE, 'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0}), read_whole_file(path + "new.txt"));
  // 8-bit text is appended as UTF-8 text.
  ASSERT_TRUE(write_whole_file(path + "log.txt", bytes_of("one" + NL)));
  file = open_text_file(&folder, "log.txt", TEXT_FILE_APPEND, false);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->printf("%s\xE9\n", "two"));
  close_text_file(&file);
  EXPECT_EQ(bytes_of("one" + NL + "two\xC3\xA9" + NL), read_whole_file(path + "log.txt"));
}

TEST_F(TextFiles, OpenFailures) {
  EXPECT_EQ(nullptr, open_text_file(&folder, "x.txt", 4, false));
  EXPECT_EQ(nullptr, open_text_file(&folder, "x.txt", -1, false));
  EXPECT_EQ(nullptr, open_text_file(&folder, "", TEXT_FILE_WRITE, false));
  EXPECT_EQ(nullptr, open_text_file(&folder, nullptr, TEXT_FILE_WRITE, false));
  EXPECT_EQ(nullptr, open_text_file(&folder, "missing.txt", TEXT_FILE_READ, false));
  EXPECT_FALSE(TEXT_FILE::open(&folder, "x.txt", TEXT_FILE_WRITE, false, nullptr));
  TEXT_FILE* file = open_text_file(&folder, "w.txt", TEXT_FILE_WRITE, false);
  ASSERT_NE(nullptr, file);
  char line[256];
  EXPECT_FALSE(file->read_line(line));
  char c;
  EXPECT_FALSE(file->get_char(&c));
  EXPECT_STREQ("w.txt", file->name.text);
  EXPECT_STREQ(folder.path, file->folder.path);
  close_text_file(&file);
  // Write-new writes a file it creates, never one that exists; it is then a file being written.
  EXPECT_EQ(nullptr, open_text_file(&folder, "w.txt", TEXT_FILE_WRITE_NEW, false));
  file = open_text_file(&folder, "new.txt", TEXT_FILE_WRITE_NEW, false);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(file->mode, TEXT_FILE_WRITE);
  EXPECT_TRUE(file->write_text("line\n"));
  EXPECT_TRUE(close_text_file(&file));
}
