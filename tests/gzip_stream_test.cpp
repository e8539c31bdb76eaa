// Gzip member stream: stored bytes of a written member, both directions against the system's gzip,
// members inside other files, concatenated members, transparent input and damaged input.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gzip_stream.h"
#include "test_support.h"

namespace {

std::vector<INT_U8> sample_bytes(size_t count) {
  std::vector<INT_U8> bytes(count);
  INT_U32 state = 12345;
  for (size_t index = 0; index < count; ++index) {
    state = state * 1103515245u + 12345u;
    // Half text-like, half noise, so that deflate has both kinds of work.
    bytes[index] = (index / 4096) % 2 ? static_cast<INT_U8>(state >> 24) : static_cast<INT_U8>('a' + index % 23);
  }
  return bytes;
}

// Writes bytes as one member through the stream, in uneven pieces.
void write_member(const std::string& path, const std::vector<INT_U8>& bytes, const char* mode = "w") {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  GZ_FILE_STREAM* stream = gzopen_file(file, mode);
  ASSERT_NE(stream, nullptr);
  size_t done = 0;
  size_t piece = 1;
  while (done < bytes.size()) {
    size_t count = std::min(piece, bytes.size() - done);
    ASSERT_EQ(gzfile_write(stream, bytes.data() + done, static_cast<INT_U32>(count)), static_cast<INT_S32>(count));
    done += count;
    piece = piece * 3 + 1;
  }
  EXPECT_EQ(gzclose_keep_file(stream), 0);
  std::fclose(file);
}

// Reads everything a stream opened at offset gives, in pieces of piece bytes; the last result in status.
std::vector<INT_U8> read_all(const std::string& path, long offset = 0, size_t piece = 7000, INT_S32* status = nullptr) {
  std::vector<INT_U8> out;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return out;
  std::fseek(file, offset, SEEK_SET);
  GZ_FILE_STREAM* stream = gzopen_file(file, "r");
  if (!stream) {
    std::fclose(file);
    return out;
  }
  std::vector<INT_U8> chunk(piece);
  INT_S32 got;
  while ((got = gzfile_read(stream, chunk.data(), static_cast<INT_U32>(piece))) > 0)
    out.insert(out.end(), chunk.begin(), chunk.begin() + got);
  if (status) *status = got;
  gzclose_keep_file(stream);
  std::fclose(file);
  return out;
}

}  // namespace

TEST(GzipStream, WrittenMemberHasHeaderDataAndTrailerAndKeepsTheFileOpen) {
  std::string folder = make_scratch_folder("gzip-abc");
  std::string path = folder + "abc.gz";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  GZ_FILE_STREAM* stream = gzopen_file(file, "w");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->startpos, 10);
  EXPECT_EQ(gzfile_write(stream, "abc", 3), 3);
  EXPECT_EQ(gzfile_tell(stream), 3);
  EXPECT_EQ(gzclose_keep_file(stream), 0);
  // The file stream is still usable by its owner.
  EXPECT_EQ(std::fputc('!', file), '!');
  std::fclose(file);

  std::vector<INT_U8> bytes = read_whole_file(path);
  ASSERT_GT(bytes.size(), 19u);
  const std::vector<INT_U8> header = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x0B};
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin(), bytes.begin() + 10), header);
  // CRC-32 of "abc" and the length 3, least significant byte first, then the owner's byte.
  const std::vector<INT_U8> trailer = {0xC2, 0x41, 0x24, 0x35, 3, 0, 0, 0, '!'};
  EXPECT_EQ(std::vector<INT_U8>(bytes.end() - 9, bytes.end()), trailer);
}

TEST(GzipStream, SystemGzipDecompressesWhatTheStreamWrites) {
  REQUIRE_TOOL("gzip");
  std::string folder = make_scratch_folder("gzip-out");
  std::vector<INT_U8> data = sample_bytes(300000);
  write_member(folder + "data.gz", data);
  write_member(folder + "fast.gz", data, "w1h");
  write_member(folder + "empty.gz", {});
  ASSERT_EQ(run_command("gzip -d -c '" + folder + "data.gz' > '" + folder + "data'"), 0);
  ASSERT_EQ(run_command("gzip -d -c '" + folder + "fast.gz' > '" + folder + "fast'"), 0);
  ASSERT_EQ(run_command("gzip -d -c '" + folder + "empty.gz' > '" + folder + "empty'"), 0);
  EXPECT_EQ(read_whole_file(folder + "data"), data);
  EXPECT_EQ(read_whole_file(folder + "fast"), data);
  EXPECT_TRUE(read_whole_file(folder + "empty").empty());
}

TEST(GzipStream, ReadsWhatSystemGzipWritesIncludingNamesAndJoinedMembers) {
  REQUIRE_TOOL("gzip");
  std::string folder = make_scratch_folder("gzip-in");
  std::vector<INT_U8> data = sample_bytes(200000);
  std::vector<INT_U8> second = sample_bytes(777);
  ASSERT_TRUE(write_whole_file(folder + "data", data));
  ASSERT_TRUE(write_whole_file(folder + "second", second));
  // gzip records the original name (the name flag) when compressing a named file.
  ASSERT_EQ(run_command("cd '" + folder + "' && gzip -9 -k -N data && gzip -1 -k second"), 0);
  EXPECT_EQ(read_all(folder + "data.gz"), data);
  EXPECT_EQ(read_all(folder + "data.gz", 0, 1), std::vector<INT_U8>(data.begin(), data.end()));

  ASSERT_EQ(run_command("cd '" + folder + "' && cat data.gz second.gz > joined.gz"), 0);
  std::vector<INT_U8> joined = data;
  joined.insert(joined.end(), second.begin(), second.end());
  EXPECT_EQ(read_all(folder + "joined.gz"), joined);
}

TEST(GzipStream, MemberInsideAnotherFileStartsAtTheStreamPosition) {
  std::string folder = make_scratch_folder("gzip-inside");
  std::string path = folder + "outer.bin";
  std::vector<INT_U8> data = sample_bytes(50000);
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::vector<INT_U8> prefix(1000, 0x5A);
  std::fwrite(prefix.data(), 1, prefix.size(), file);
  GZ_FILE_STREAM* writer = gzopen_file(file, "w");
  ASSERT_NE(writer, nullptr);
  gzfile_write(writer, data.data(), static_cast<INT_U32>(data.size()));
  gzclose_keep_file(writer);
  std::fclose(file);

  file = std::fopen(path.c_str(), "rb");
  std::fseek(file, 1000, SEEK_SET);
  GZ_FILE_STREAM* reader = gzopen_file(file, "r");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->startpos, 1010);
  EXPECT_EQ(reader->transparent, 0);
  std::vector<INT_U8> out(data.size() + 10);
  EXPECT_EQ(gzfile_read(reader, out.data(), static_cast<INT_U32>(out.size())), static_cast<INT_S32>(data.size()));
  out.resize(data.size());
  EXPECT_EQ(out, data);
  EXPECT_EQ(gzfile_eof(reader), 1);
  EXPECT_EQ(gzfile_read(reader, out.data(), 10), 0);

  // Seeking back rewinds to the member's first byte; forward reads and discards.
  EXPECT_EQ(gzfile_seek(reader, 40000, 0), 40000);
  INT_U8 byte = 0;
  EXPECT_EQ(gzfile_read(reader, &byte, 1), 1);
  EXPECT_EQ(byte, data[40000]);
  EXPECT_EQ(gzfile_seek(reader, -30001, 1), 10000);
  EXPECT_EQ(gzfile_getc(reader), data[10000]);
  EXPECT_EQ(gzfile_seek(reader, 0, 2), -1);
  EXPECT_EQ(gzfile_seek(reader, 60000, 0), -1);  // the data end first
  gzclose_keep_file(reader);
  std::fclose(file);
}

TEST(GzipStream, InputWithoutTheMagicPassesThroughUnchanged) {
  std::string folder = make_scratch_folder("gzip-plain");
  std::vector<INT_U8> data = sample_bytes(40000);
  ASSERT_TRUE(write_whole_file(folder + "plain", data));
  EXPECT_EQ(read_all(folder + "plain"), data);
  ASSERT_TRUE(write_whole_file(folder + "one", {0x1F}));
  EXPECT_EQ(read_all(folder + "one"), std::vector<INT_U8>{0x1F});
  ASSERT_TRUE(write_whole_file(folder + "none", {}));
  INT_S32 status = 99;
  EXPECT_TRUE(read_all(folder + "none", 0, 100, &status).empty());
  EXPECT_EQ(status, 0);

  // Seeking transparent data counts from where the data begin.
  std::vector<INT_U8> with_prefix(100 + data.size(), 0);
  std::copy(data.begin(), data.end(), with_prefix.begin() + 100);
  ASSERT_TRUE(write_whole_file(folder + "prefixed", with_prefix));
  FILE* file = std::fopen((folder + "prefixed").c_str(), "rb");
  std::fseek(file, 100, SEEK_SET);
  GZ_FILE_STREAM* stream = gzopen_file(file, "r");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->transparent, 1);
  EXPECT_EQ(gzfile_seek(stream, 30000, 0), 30000);
  EXPECT_EQ(gzfile_getc(stream), data[30000]);
  gzclose_keep_file(stream);
  std::fclose(file);
}

TEST(GzipStream, DamagedMembersEndWithADataError) {
  std::string folder = make_scratch_folder("gzip-damage");
  std::vector<INT_U8> data = sample_bytes(20000);
  write_member(folder + "good.gz", data);
  std::vector<INT_U8> good = read_whole_file(folder + "good.gz");

  // A changed byte of the stored CRC-32: all data arrive, then the data error.
  std::vector<INT_U8> bad_crc = good;
  bad_crc[bad_crc.size() - 6] ^= 0x40;
  ASSERT_TRUE(write_whole_file(folder + "crc.gz", bad_crc));
  INT_S32 status = 0;
  EXPECT_EQ(read_all(folder + "crc.gz", 0, 7000, &status), data);
  EXPECT_EQ(status, -1);
  FILE* file = std::fopen((folder + "crc.gz").c_str(), "rb");
  GZ_FILE_STREAM* stream = gzopen_file(file, "r");
  std::vector<INT_U8> out(30000);
  EXPECT_EQ(gzfile_read(stream, out.data(), 30000), 20000);
  INT_S32 code = 0;
  gzfile_error(stream, &code);
  EXPECT_EQ(code, Z_DATA_ERROR);
  EXPECT_EQ(gzfile_eof(stream), 1);
  EXPECT_EQ(gzfile_seek(stream, 0, 0), -1);
  gzclose_keep_file(stream);
  std::fclose(file);

  // Every truncation ends without overrun and with less data or an error.
  for (size_t length = 1; length < good.size(); length += 97) {
    std::vector<INT_U8> cut(good.begin(), good.begin() + length);
    ASSERT_TRUE(write_whole_file(folder + "cut.gz", cut));
    status = 0;
    std::vector<INT_U8> got = read_all(folder + "cut.gz", 0, 5000, &status);
    if (length >= 2) {
      EXPECT_EQ(status, -1) << "length " << length;
    }
    EXPECT_LE(got.size(), data.size());
  }

  // A bad method and reserved flag bits are data errors at the header.
  std::vector<INT_U8> bad_method = good;
  bad_method[2] = 7;
  ASSERT_TRUE(write_whole_file(folder + "method.gz", bad_method));
  EXPECT_TRUE(read_all(folder + "method.gz", 0, 100, &status).empty());
  EXPECT_EQ(status, -1);
  std::vector<INT_U8> bad_flags = good;
  bad_flags[3] = 0x20;
  ASSERT_TRUE(write_whole_file(folder + "flags.gz", bad_flags));
  EXPECT_TRUE(read_all(folder + "flags.gz", 0, 100, &status).empty());
  EXPECT_EQ(status, -1);
}

TEST(GzipStream, WritingStreamsOnlySeekForwardWithZeros) {
  std::string folder = make_scratch_folder("gzip-seek");
  std::string path = folder + "seek.gz";
  FILE* file = std::fopen(path.c_str(), "wb");
  GZ_FILE_STREAM* stream = gzopen_file(file, "w");
  ASSERT_NE(stream, nullptr);
  std::vector<INT_U8> data = sample_bytes(100);
  gzfile_write(stream, data.data(), 100);
  EXPECT_EQ(gzfile_seek(stream, 50, 0), -1);
  EXPECT_EQ(gzfile_seek(stream, 0, 2), -1);
  EXPECT_EQ(gzfile_seek(stream, 150, 0), 150);
  EXPECT_EQ(gzfile_seek(stream, 5, 1), 155);
  EXPECT_EQ(gzfile_puts(stream, "line one\n"), 9);
  EXPECT_EQ(gzfile_printf(stream, "%d-%s\n", 42, "x"), 5);
  EXPECT_EQ(gzfile_putc(stream, 'z'), 'z');
  EXPECT_EQ(gzfile_read(stream, data.data(), 1), -2);
  gzclose_keep_file(stream);
  std::fclose(file);

  GZ_FILE_STREAM* reader = gzfile_open(path.c_str(), "rb");
  ASSERT_NE(reader, nullptr);
  std::vector<INT_U8> out(155);
  ASSERT_EQ(gzfile_read(reader, out.data(), 155), 155);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_EQ(std::vector<INT_U8>(out.begin() + 100, out.end()), std::vector<INT_U8>(55, 0));
  char line[64];
  ASSERT_NE(gzfile_gets(reader, line, sizeof line), nullptr);
  EXPECT_STREQ(line, "line one\n");
  ASSERT_NE(gzfile_gets(reader, line, 4), nullptr);
  EXPECT_STREQ(line, "42-");
  ASSERT_NE(gzfile_gets(reader, line, sizeof line), nullptr);
  EXPECT_STREQ(line, "x\n");
  EXPECT_EQ(gzfile_getc(reader), 'z');
  EXPECT_EQ(gzfile_getc(reader), -1);
  EXPECT_EQ(gzfile_gets(reader, line, sizeof line), nullptr);
  EXPECT_EQ(gzfile_rewind(reader), 0);
  EXPECT_EQ(gzfile_getc(reader), data[0]);
  EXPECT_EQ(gzfile_write(reader, "a", 1), -2);
  EXPECT_EQ(gzfile_close(reader), 0);
  EXPECT_EQ(gzopen_file(nullptr, "r"), nullptr);
  EXPECT_EQ(gzfile_open(path.c_str(), "b"), nullptr);
}

TEST(GzipStream, StreamsOpenedByPathAreByteExact) {
  std::string folder = make_scratch_folder("gzip-path");
  // Made by the system's gzip and kept as bytes, so that every host reads the same input: a member with
  // the original name and a second member joined to it. Its time field holds CR, LF and 0x1A, which a
  // stream in a host's text mode would change or stop at.
  static const INT_U8 joined[] = {
      0x1f, 0x8b, 0x08, 0x08, 0x0d, 0x0a, 0x1a, 0x5e, 0x02, 0x03, 0x6e, 0x6f, 0x74, 0x65, 0x2e, 0x74, 0x78, 0x74, 0x00, 0xcb,
      0xc9, 0xcc, 0x4b, 0x55, 0xc8, 0xcf, 0x4b, 0xe5, 0xe5, 0xca, 0x01, 0xb1, 0x4a, 0xca, 0xf3, 0xb9, 0xa4, 0x14, 0x52, 0xf3,
      0x52, 0xb8, 0x00, 0xf0, 0xb4, 0x58, 0x6e, 0x19, 0x00, 0x00, 0x00, 0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04,
      0x03, 0x2b, 0x4e, 0x4d, 0xce, 0xcf, 0x4b, 0xe1, 0x02, 0x00, 0x7e, 0xc0, 0x0f, 0x06, 0x07, 0x00, 0x00, 0x00};
  const std::string text = "line one\r\nline two\n\x1a end\nsecond\n";
  ASSERT_TRUE(write_whole_file(folder + "joined.gz", std::vector<INT_U8>(joined, joined + sizeof joined)));
  GZ_FILE_STREAM* reader = gzfile_open((folder + "joined.gz").c_str(), "r");
  ASSERT_NE(reader, nullptr);
  char out[100];
  EXPECT_EQ(gzfile_read(reader, out, sizeof out), static_cast<INT_S32>(text.size()));
  EXPECT_EQ(std::string(out, text.size()), text);
  EXPECT_EQ(gzfile_close(reader), 0);

  // Written by path with "w", the member gives zlib's own gzip reader the same bytes back (compressed
  // noise holds every byte value).
  std::vector<INT_U8> data = sample_bytes(20000);
  std::string path = folder + "written.gz";
  GZ_FILE_STREAM* writer = gzfile_open(path.c_str(), "w");
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(gzfile_write(writer, data.data(), static_cast<INT_U32>(data.size())), static_cast<INT_S32>(data.size()));
  EXPECT_EQ(gzfile_close(writer), 0);
  gzFile check = gzopen(path.c_str(), "rb");
  ASSERT_NE(check, nullptr);
  std::vector<INT_U8> back(data.size() + 1);
  EXPECT_EQ(gzread(check, back.data(), static_cast<unsigned>(back.size())), static_cast<int>(data.size()));
  back.resize(data.size());
  EXPECT_EQ(back, data);
  EXPECT_EQ(gzclose(check), Z_OK);
}
