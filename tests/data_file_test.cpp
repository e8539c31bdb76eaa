// Data files: the byte-order byte and swapping, positions and sizes in every mode, the buffer against a
// model of the file under mixed reads, writes and seeks, compressed files against the system's gzip,
// the buffer pool and the fatal misuse errors.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data_file.h"
#include "files.h"
#include "text_file.h"
#include "velk_string.h"
#include "test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

TEST(DataFile, ByteOrderByteLeadsTheDataAndSetsSwapping) {
  std::string path;
  FOLDER folder = scratch_folder("df-order", &path);
  DATA_FILE* file = open_data_file(&folder, "a.bin", FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->tell(), 0u);
  EXPECT_EQ(file->get_size(), 0);
  EXPECT_EQ(file->swap_bytes, 0);
  EXPECT_TRUE(file->write_u16(0x1234));
  EXPECT_TRUE(file->write_u32(0x89ABCDEF));
  EXPECT_EQ(file->tell(), 6u);
  EXPECT_EQ(file->get_size(), 6);
  EXPECT_TRUE(close_data_file(&file));
  EXPECT_EQ(file, nullptr);
  std::vector<INT_U8> stored = {0, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89};
  EXPECT_EQ(read_whole_file(path + "a.bin"), stored);

  file = open_data_file(&folder, "a.bin", FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->swap_bytes, 0);
  EXPECT_EQ(file->get_size(), 6);
  INT_U16 small = 0;
  INT_U32 large = 0;
  EXPECT_TRUE(file->read_u16(&small));
  EXPECT_TRUE(file->read_u32(&large));
  EXPECT_EQ(small, 0x1234);
  EXPECT_EQ(large, 0x89ABCDEFu);
  EXPECT_FALSE(file->read_u32(&large));
  EXPECT_TRUE(file->at_end());
  close_data_file(&file);

  // The same bytes with byte-order byte 1 read byte-reversed.
  stored[0] = 1;
  ASSERT_TRUE(write_whole_file(path + "b.bin", stored));
  file = open_data_file(&folder, "b.bin", FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->swap_bytes, 1);
  EXPECT_TRUE(file->read_u16(&small));
  EXPECT_TRUE(file->read_u32(&large));
  EXPECT_EQ(small, 0x3412);
  EXPECT_EQ(large, 0xEFCDAB89u);
  close_data_file(&file);

  // Without the byte-order byte positions count from the first byte and the order is the swap setting.
  file = open_data_file(&folder, "b.bin", FILE_MODE_READ, 1, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->swap_bytes, 1);
  EXPECT_EQ(file->get_size(), 7);
  INT_U8 first = 9;
  EXPECT_TRUE(file->read_u8(&first));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(file->tell(), 1u);
  close_data_file(&file);

  // An empty file read with the byte-order byte is empty.
  ASSERT_TRUE(write_whole_file(path + "empty.bin", {}));
  file = open_data_file(&folder, "empty.bin", FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->get_size(), 0);
  EXPECT_EQ(file->swap_bytes, 0);
  EXPECT_EQ(file->read(&first, 1), 0);
  close_data_file(&file);
}

TEST(DataFile, OpenRefusesBadArgumentsAndMissingFiles) {
  FOLDER folder = scratch_folder("df-open");
  EXPECT_EQ(open_data_file(&folder, "missing.bin", FILE_MODE_READ, 0, false), nullptr);
  EXPECT_EQ(open_data_file(&folder, "", FILE_MODE_WRITE, 0, false), nullptr);
  EXPECT_EQ(open_data_file(&folder, nullptr, FILE_MODE_WRITE, 0, false), nullptr);
  EXPECT_EQ(open_data_file(&folder, "x.bin", 4, 0, false), nullptr);
  EXPECT_EQ(open_data_file(&folder, "x.bin", -1, 0, false), nullptr);
  // A gzip stream cannot be updated: the open fails instead of every write.
  EXPECT_EQ(open_data_file(&folder, "x.bin", FILE_MODE_UPDATE, BYTE_ORDER_HEADER, true), nullptr);
  // A folder is no data file, on every host; the check for a file that opens says the same.
  ASSERT_TRUE(FOLDER(folder).enter("sub", true));
  EXPECT_EQ(open_data_file(&folder, "sub", FILE_MODE_READ, 0, false), nullptr);
  EXPECT_FALSE(data_file_opens(&folder, "sub"));
  EXPECT_FALSE(data_file_opens(&folder, "missing.bin"));
  ASSERT_TRUE(write_whole_file(folder.get_path_text("present.bin"), {1}));
  EXPECT_TRUE(data_file_opens(&folder, "present.bin"));
  DATA_FILE* none = nullptr;
  EXPECT_TRUE(close_data_file(&none));
  EXPECT_TRUE(close_data_file(nullptr));
}

// Write-new only writes a file it has created: nothing of the name may exist, and a name that is taken
// is left exactly as it was.
TEST(DataFile, WriteNewCreatesOnlyFilesThatDoNotExist) {
  std::string path;
  FOLDER folder = scratch_folder("df-new", &path);
  DATA_FILE* file = open_data_file(&folder, "new.bin", FILE_MODE_WRITE_NEW, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->mode, FILE_MODE_WRITE);
  EXPECT_TRUE(file->write_u32(0x01020304));
  EXPECT_TRUE(close_data_file(&file));
  EXPECT_EQ(read_whole_file(path + "new.bin"), (std::vector<INT_U8>{0, 4, 3, 2, 1}));
  EXPECT_EQ(open_data_file(&folder, "new.bin", FILE_MODE_WRITE_NEW, 0, false), nullptr);
  EXPECT_EQ(read_whole_file(path + "new.bin"), (std::vector<INT_U8>{0, 4, 3, 2, 1}));
  std::filesystem::create_directory(path + "folder");
  EXPECT_EQ(open_data_file(&folder, "folder", FILE_MODE_WRITE_NEW, 0, false), nullptr);
#ifndef _WIN32
  // A link is never followed, whether its target exists or not.
  ASSERT_EQ(symlink((path + "target.bin").c_str(), (path + "dangling").c_str()), 0);
  EXPECT_EQ(open_data_file(&folder, "dangling", FILE_MODE_WRITE_NEW, 0, false), nullptr);
  EXPECT_FALSE(std::filesystem::exists(path + "target.bin"));
  ASSERT_EQ(symlink((path + "new.bin").c_str(), (path + "link").c_str()), 0);
  EXPECT_EQ(open_data_file(&folder, "link", FILE_MODE_WRITE_NEW, 0, false), nullptr);
  EXPECT_EQ(read_whole_file(path + "new.bin"), (std::vector<INT_U8>{0, 4, 3, 2, 1}));
#endif

  // Unique names pass over every name that is taken; a suffix that leaves no room is refused.
  char name[32];
  std::vector<std::string> names;
  for (int i = 0; i < 3; i++) {
    DATA_FILE* unique = create_unique_data_file(&folder, name, sizeof name, ".tmp", 0);
    ASSERT_NE(unique, nullptr);
    EXPECT_EQ(std::strlen(name), 12u);
    EXPECT_STREQ(name + 8, ".tmp");
    EXPECT_EQ(std::string(name).find_first_not_of("0123456789ABCDEF"), 8u);
    names.push_back(name);
    close_data_file(&unique);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
  EXPECT_EQ(create_unique_data_file(&folder, name, 12, ".tmp", 0), nullptr);
  EXPECT_STREQ(name, "");
}

#ifndef _WIN32
// A write that only fails when the file is closed (the device is full when the stream writes back what
// it holds) is reported by the close itself: for data files, text files and plain streams alike.
TEST(DataFile, ClosingReportsAWriteBackThatFails) {
  FOLDER devices;
  ASSERT_TRUE(devices.set_if_folder("/dev"));
  DATA_FILE* data = open_data_file(&devices, "full", FILE_MODE_WRITE, 0, false);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->write_u32(7));  // only buffered so far
  EXPECT_FALSE(close_data_file(&data));
  EXPECT_EQ(data, nullptr);
  TEXT_FILE* text = open_text_file(&devices, "full", TEXT_FILE_WRITE, false);
  ASSERT_NE(text, nullptr);
  text->write_text("a line\n");
  EXPECT_FALSE(close_text_file(&text));
  EXPECT_EQ(text, nullptr);
  FILE* plain = open_file(&devices, "full", "wb");
  ASSERT_NE(plain, nullptr);
  std::fputs("x", plain);
  EXPECT_FALSE(close_file(plain));
  // Files that could write everything close without complaint, and reading never fails a close.
  std::string path;
  FOLDER folder = scratch_folder("df-close", &path);
  data = open_data_file(&folder, "fine.bin", FILE_MODE_WRITE, 0, false);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->write_u32(7));
  EXPECT_TRUE(close_data_file(&data));
  data = open_data_file(&folder, "fine.bin", FILE_MODE_READ, 0, false);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(close_data_file(&data));
}
#endif

// Sizes are kept in 64 bits: a file past 2 GiB has its size, a seek its signed 32-bit positions
// cannot reach is refused with the failed flag (never ignored), and a file past 4 GiB is not opened.
// The files are sparse: they take no room on disk.
TEST(DataFile, FilesPastTwoGigabytesKeepTheirSizeAndRefuseUnreachableSeeks) {
  std::string path;
  FOLDER folder = scratch_folder("df-large", &path);
  ASSERT_TRUE(write_whole_file(path + "large.bin", {0, 1, 2, 3}));
  std::filesystem::resize_file(path + "large.bin", 0x80000010ull);
  DATA_FILE* file = open_data_file(&folder, "large.bin", FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->whole_size(), 0x8000000Full);
  EXPECT_EQ(file->get_size(), 0x7FFFFFFF);
  INT_U8 byte = 0;
  EXPECT_EQ(file->read(&byte, 1), 1);
  EXPECT_EQ(byte, 1);
  EXPECT_EQ(file->failed, 0);
  file->seek(0x7FFFFFF0, false);  // reachable
  EXPECT_EQ(file->tell(), 0x7FFFFFF0u);
  EXPECT_EQ(file->failed, 0);
  file->seek(-5, true);  // 2 GiB + 10: beyond the positions
  EXPECT_EQ(file->failed, 1);
  EXPECT_EQ(file->tell(), 0x7FFFFFF0u);  // nothing moved
  file->failed = 0;
  file->seek(-1, false);
  EXPECT_EQ(file->failed, 1);
  close_data_file(&file);

  std::filesystem::resize_file(path + "large.bin", 0x100000010ull);
  EXPECT_EQ(open_data_file(&folder, "large.bin", FILE_MODE_READ, 0, false), nullptr);
  EXPECT_EQ(stream_size(nullptr), 0u);
  FILE* stream = open_file(&folder, "large.bin", "rb");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream_size(stream), 0x100000010ull);
  close_file(stream);
}

TEST(DataFile, UpdateModePositionsAndMixesReadsAndWrites) {
  std::string path;
  FOLDER folder = scratch_folder("df-update", &path);
  // An empty file receives the byte-order byte and stands at logical 0.
  DATA_FILE* file = open_data_file(&folder, "new.bin", FILE_MODE_UPDATE, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->tell(), 0u);
  EXPECT_EQ(file->get_size(), 0);
  close_data_file(&file);
  EXPECT_EQ(read_whole_file(path + "new.bin"), std::vector<INT_U8>{0});

  std::vector<INT_U8> original = pseudo_random_bytes(101, 7);
  original[0] = 0;
  ASSERT_TRUE(write_whole_file(path + "u.bin", original));
  file = open_data_file(&folder, "u.bin", FILE_MODE_UPDATE, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->tell(), 100u);
  file->seek(-4, true);
  EXPECT_EQ(file->tell(), 96u);
  file->seek(-1, false);
  EXPECT_EQ(file->tell(), 96u);  // below 0: refused
  file->seek(-200, true);
  EXPECT_EQ(file->tell(), 96u);

  // Write 10, go back 5, read 8: the last 5 written, then what the file holds after the 10.
  file->seek(20, false);
  std::vector<INT_U8> written = pseudo_random_bytes(10, 99);
  EXPECT_EQ(file->write(written.data(), 10), 10);
  file->seek(-5 + 30, false);
  INT_U8 got[8];
  EXPECT_EQ(file->read(got, 8), 8);
  EXPECT_EQ(std::vector<INT_U8>(got, got + 5), std::vector<INT_U8>(written.begin() + 5, written.end()));
  EXPECT_EQ(std::vector<INT_U8>(got + 5, got + 8), std::vector<INT_U8>(original.begin() + 31, original.begin() + 34));
  EXPECT_TRUE(close_data_file(&file));
  std::vector<INT_U8> expected = original;
  std::copy(written.begin(), written.end(), expected.begin() + 21);
  EXPECT_EQ(read_whole_file(path + "u.bin"), expected);
}

// A repeatable sequence of choices for the runs against a model of the file.
struct CHOICES {
  INT_U32 state;
  INT_U32 next(INT_U32 range) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % range;
  }
};

TEST(DataFile, BufferAgreesWithAModelOfTheFileUnderMixedTransfers) {
  std::string path;
  FOLDER folder = scratch_folder("df-model", &path);
  std::vector<INT_U8> model = pseudo_random_bytes(5000, 3);
  ASSERT_TRUE(write_whole_file(path + "m.bin", model));
  DATA_FILE* file = new DATA_FILE(1024);
  ASSERT_TRUE(file->open(&folder, "m.bin", FILE_MODE_UPDATE, 0, file, false));
  INT_U32 position = static_cast<INT_U32>(model.size());
  CHOICES choices{1};
  auto next = [&choices](INT_U32 range) { return choices.next(range); };
  for (int step = 0; step < 3000; ++step) {
    INT_U32 action = next(4);
    if (action == 3 && next(20) == 0) {
      // A new buffer size in the middle of the transfers changes nothing of the file.
      INT_S32 size = next(2) == 0 ? 1024 : 1024 + static_cast<INT_S32>(next(4000));
      ASSERT_TRUE(file->set_buffer_size(size));
      ASSERT_EQ(file->buffer_size, size);
    } else if (action == 0) {
      position = next(static_cast<INT_U32>(model.size()) + 1);
      file->seek(static_cast<INT_S32>(position), false);
    } else if (action == 1 || action == 3) {
      // Buffered and unbuffered reads give the same bytes.
      INT_U32 count = next(3) == 0 ? next(2500) : next(40);
      std::vector<INT_U8> bytes(count);
      INT_S32 got = action == 1 ? file->read(bytes.data(), static_cast<INT_S32>(count))
                                : file->read_unbuffered(bytes.data(), static_cast<INT_S32>(count));
      INT_U32 expect = position >= model.size() ? 0 : std::min<INT_U32>(count, static_cast<INT_U32>(model.size()) - position);
      ASSERT_EQ(got, static_cast<INT_S32>(expect)) << "step " << step;
      ASSERT_TRUE(std::equal(bytes.begin(), bytes.begin() + got, model.begin() + position)) << "step " << step;
      position += expect;
    } else {
      INT_U32 count = next(3) == 0 ? next(2500) + 1 : next(40) + 1;
      std::vector<INT_U8> bytes = pseudo_random_bytes(count, static_cast<INT_U32>(step));
      ASSERT_EQ(file->write(bytes.data(), static_cast<INT_S32>(count)), static_cast<INT_S32>(count));
      if (position > model.size()) model.resize(position, 0);
      if (position + count > model.size()) model.resize(position + count);
      std::copy(bytes.begin(), bytes.end(), model.begin() + position);
      position += count;
    }
    ASSERT_EQ(file->tell(), position) << "step " << step;
    ASSERT_EQ(file->get_size(), static_cast<INT_S32>(model.size())) << "step " << step;
  }
  EXPECT_TRUE(close_data_file(&file));
  EXPECT_EQ(read_whole_file(path + "m.bin"), model);
}

// Bytes read in place are the file's bytes at the position, whatever part of them the buffer held
// before; asked for more than is left or more than the buffer, nothing moves.
TEST(DataFile, ReadsInPlaceAgreeWithAModelOfTheFile) {
  std::string path;
  FOLDER folder = scratch_folder("df-in-place", &path);
  std::vector<INT_U8> model = pseudo_random_bytes(5000, 5);
  // A header byte of 0, then the model.
  std::vector<INT_U8> stored(model.size() + 1, 0);
  std::copy(model.begin(), model.end(), stored.begin() + 1);
  ASSERT_TRUE(write_whole_file(path + "p.bin", stored));
  DATA_FILE* file = new DATA_FILE(1024);
  ASSERT_TRUE(file->open(&folder, "p.bin", FILE_MODE_READ, BYTE_ORDER_HEADER, file, false));
  INT_U32 position = 0;
  CHOICES choices{7};
  auto next = [&choices](INT_U32 range) { return choices.next(range); };
  for (int step = 0; step < 3000; ++step) {
    INT_U32 action = next(4);
    if (action == 0) {
      position = next(static_cast<INT_U32>(model.size()) + 1);
      file->seek(static_cast<INT_S32>(position), false);
    } else if (action == 1) {
      INT_U32 count = next(40);
      std::vector<INT_U8> bytes(count);
      INT_S32 got = file->read(bytes.data(), static_cast<INT_S32>(count));
      ASSERT_EQ(got, static_cast<INT_S32>(std::min<INT_U32>(count, static_cast<INT_U32>(model.size()) - position)));
      position += static_cast<INT_U32>(got);
    } else {
      INT_S32 count = static_cast<INT_S32>(next(3) == 0 ? next(1100) + 1 : next(300) + 1);
      const INT_U8* bytes = file->read_in_place(count);
      if (count > file->buffer_size || position + static_cast<INT_U32>(count) > model.size()) {
        ASSERT_EQ(bytes, nullptr) << "step " << step;
      } else {
        ASSERT_NE(bytes, nullptr) << "step " << step;
        ASSERT_TRUE(std::equal(bytes, bytes + count, model.begin() + position)) << "step " << step;
        position += static_cast<INT_U32>(count);
      }
    }
    ASSERT_EQ(file->tell(), position) << "step " << step;
  }
  close_data_file(&file);
  // Only a file open for reading lends its buffer.
  file = open_data_file(&folder, "q.bin", FILE_MODE_WRITE, 0, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->write(model.data(), 100), 100);
  file->seek(0, false);
  EXPECT_EQ(file->read_in_place(10), nullptr);
  EXPECT_EQ(file->tell(), 0u);
  close_data_file(&file);
}

// Bytes read in place are lent until the next operation on the file. Builds with assertions lend a copy
// that the next operation overwrites (and AddressSanitizer poisons), so that a use after it fails here
// instead of reading whatever the buffer holds by then.
TEST(DataFile, BytesReadInPlaceAreLentUntilTheNextOperation) {
#ifdef NDEBUG
  GTEST_SKIP() << "a build without assertions lends the buffer itself";
#else
  std::string path;
  FOLDER folder = scratch_folder("df-lent", &path);
  std::vector<INT_U8> model = pseudo_random_bytes(3000, 9);
  ASSERT_TRUE(write_whole_file(path + "l.bin", model));
  DATA_FILE* file = open_data_file(&folder, "l.bin", FILE_MODE_READ, 0, false);
  ASSERT_NE(file, nullptr);
  const INT_U8* lent = file->read_in_place(100);
  ASSERT_NE(lent, nullptr);
  EXPECT_TRUE(std::equal(lent, lent + 100, model.begin()));
  EXPECT_TRUE(lent < file->buffer || lent >= file->buffer + file->buffer_size);  // a copy
  file->seek(2000, false);  // the next operations take the bytes back
  INT_U8 byte = 0;
  EXPECT_EQ(file->read(&byte, 1), 1);
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_DEATH(std::printf("%d\n", lent[0]), "use-after-poison");
#else
  EXPECT_EQ(std::count(lent, lent + 100, 0xDD), 100);
#endif
  close_data_file(&file);
#endif
}

TEST(DataFile, BufferSizesAndLargeTransfers) {
  EXPECT_EQ(DATA_FILE(100).buffer_size, 1024);
  EXPECT_EQ(DATA_FILE(0x7FFFFFFF).buffer_size, 0x3200000);
  EXPECT_EQ(DATA_FILE(-1).buffer_size, static_cast<INT_S32>(default_file_cache_size));

  std::string path;
  FOLDER folder = scratch_folder("df-large", &path);
  DATA_FILE* file = new DATA_FILE(1024);
  ASSERT_TRUE(file->open(&folder, "big.bin", FILE_MODE_WRITE, BYTE_ORDER_HEADER, file, false));
  std::vector<INT_U8> data = pseudo_random_bytes(5000, 11);
  EXPECT_EQ(file->write(data.data(), 10), 10);
  // A write of at least the buffer size goes straight to the stream and raises the known size.
  EXPECT_EQ(file->write(data.data() + 10, 3000), 3000);
  EXPECT_EQ(file->known_size, 3011u);
  EXPECT_EQ(file->valid, 0);
  EXPECT_EQ(file->write(data.data() + 3010, 1990), 1990);
  EXPECT_TRUE(close_data_file(&file));
  std::vector<INT_U8> expected(data.size() + 1, 0);
  std::copy(data.begin(), data.end(), expected.begin() + 1);
  EXPECT_EQ(read_whole_file(path + "big.bin"), expected);

  file = new DATA_FILE(1024);
  ASSERT_TRUE(file->open(&folder, "big.bin", FILE_MODE_READ, BYTE_ORDER_HEADER, file, false));
  std::vector<INT_U8> back(6000);
  EXPECT_EQ(file->read(back.data(), 6000), 5000);
  back.resize(5000);
  EXPECT_EQ(back, data);
  file->seek(4990, false);
  INT_U8 byte;
  EXPECT_TRUE(file->read_u8(&byte));
  EXPECT_EQ(byte, data[4990]);

  // An unbuffered read takes what was asked and no more: the buffer stays empty and the stream stands
  // right after the bytes read (the order byte counted).
  file->seek(3000, false);
  std::vector<INT_U8> part(20);
  EXPECT_EQ(file->read_unbuffered(part.data(), 20), 20);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), data.begin() + 3000));
  EXPECT_EQ(file->valid, 0);
  EXPECT_EQ(std::ftell(file->file), 3021);
  EXPECT_EQ(file->tell(), 3020u);
  file->seek(4990, false);
  EXPECT_EQ(file->read_unbuffered(part.data(), 20), 10);
  EXPECT_TRUE(std::equal(part.begin(), part.begin() + 10, data.begin() + 4990));
  EXPECT_EQ(file->tell(), 5000u);
  close_data_file(&file);
}

TEST(DataFile, CompressedFilesAreGzipMembersWithTheOrderByteFirst) {
  REQUIRE_TOOL("gzip");
  std::string path;
  FOLDER folder = scratch_folder("df-gzip", &path);
  std::vector<INT_U8> data = pseudo_random_bytes(700000, 5);
  DATA_FILE* file = open_data_file(&folder, "c.gz", FILE_MODE_WRITE, BYTE_ORDER_HEADER, true);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->write(data.data(), 100), 100);
  EXPECT_TRUE(file->write_u32(0x01020304));
  EXPECT_EQ(file->write(data.data() + 104, static_cast<INT_S32>(data.size()) - 104), static_cast<INT_S32>(data.size()) - 104);
  file->seek(50, false);  // back over compressed data: refused
  EXPECT_EQ(file->tell(), static_cast<INT_U32>(data.size()));
  EXPECT_TRUE(close_data_file(&file));
  ASSERT_EQ(run_command("gzip -d -c '" + path + "c.gz' > '" + path + "c.raw'"), 0);
  std::vector<INT_U8> expected(data.size() + 1, 0);
  std::copy(data.begin(), data.end(), expected.begin() + 1);
  const INT_U8 value_bytes[4] = {4, 3, 2, 1};
  std::copy(value_bytes, value_bytes + 4, expected.begin() + 101);
  EXPECT_EQ(read_whole_file(path + "c.raw"), expected);

  // Inside the buffer too a compressed file only moves on from its end; forward it gains zeros.
  file = open_data_file(&folder, "z.gz", FILE_MODE_WRITE, BYTE_ORDER_HEADER, true);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->write("abcdefghij", 10), 10);
  file->seek(5, false);
  EXPECT_EQ(file->tell(), 10u);
  file->seek(13, false);
  EXPECT_EQ(file->tell(), 13u);
  EXPECT_EQ(file->write("k", 1), 1);
  EXPECT_TRUE(close_data_file(&file));
  ASSERT_EQ(run_command("gzip -d -c '" + path + "z.gz' > '" + path + "z.raw'"), 0);
  EXPECT_EQ(read_whole_file(path + "z.raw"),
            (std::vector<INT_U8>{0, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 0, 0, 0, 'k'}));

  // A member made by gzip whose first byte is 1 reads back swapped, with seeks both ways.
  expected[0] = 1;
  ASSERT_TRUE(write_whole_file(path + "d.raw", expected));
  ASSERT_EQ(run_command("gzip -c '" + path + "d.raw' > '" + path + "d.gz'"), 0);
  file = open_data_file(&folder, "d.gz", FILE_MODE_READ, BYTE_ORDER_HEADER, true);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->swap_bytes, 1);
  file->seek(100, false);
  INT_U32 value = 0;
  EXPECT_TRUE(file->read_u32(&value));
  EXPECT_EQ(value, 0x04030201u);
  file->seek(600000, false);
  INT_U8 byte = 0;
  EXPECT_TRUE(file->read_u8(&byte));
  EXPECT_EQ(byte, data[600000]);
  file->seek(3, false);
  EXPECT_TRUE(file->read_u8(&byte));
  EXPECT_EQ(byte, data[3]);
  std::vector<INT_U8> rest(data.size());
  file->seek(104, false);
  EXPECT_EQ(file->read(rest.data(), static_cast<INT_S32>(rest.size())), static_cast<INT_S32>(data.size()) - 104);
  EXPECT_TRUE(std::equal(data.begin() + 104, data.end(), rest.begin()));
  EXPECT_TRUE(file->at_end());
  close_data_file(&file);

  // Damaged compressed data end the reads without overrun.
  std::vector<INT_U8> damaged = read_whole_file(path + "d.gz");
  damaged.resize(damaged.size() / 2);
  ASSERT_TRUE(write_whole_file(path + "e.gz", damaged));
  file = open_data_file(&folder, "e.gz", FILE_MODE_READ, BYTE_ORDER_HEADER, true);
  ASSERT_NE(file, nullptr);
  INT_S32 total = 0;
  std::vector<INT_U8> chunk(4096);
  INT_S32 got;
  while ((got = file->read(chunk.data(), 4096)) > 0) total += got;
  EXPECT_LT(total, static_cast<INT_S32>(data.size()));
  EXPECT_TRUE(file->at_end());
  close_data_file(&file);
}

TEST(DataFile, StoredTextsReadBackBeyondTheFirstBuffer) {
  // Readers check stored lengths against the bytes left: that must hold for every text of a file larger
  // than its buffer, compressed (whose size is unknown until read) or not.
  FOLDER folder = scratch_folder("df-texts");
  for (bool compressed : {false, true}) {
    const char* name = compressed ? "texts.gz" : "texts.bin";
    DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_WRITE, BYTE_ORDER_HEADER, compressed);
    ASSERT_NE(file, nullptr);
    for (int index = 0; index < 40000; ++index)
      ASSERT_TRUE(file->write_string(("entry number " + std::to_string(index) + " of the list").c_str()));
    EXPECT_TRUE(close_data_file(&file));

    file = open_data_file(&folder, name, FILE_MODE_READ, BYTE_ORDER_HEADER, compressed);
    ASSERT_NE(file, nullptr);
    VELK_STRING text;
    int count = 0;
    while (count < 40000 && text.get_from_data_device(file)) ++count;
    EXPECT_EQ(count, 40000) << name;
    EXPECT_STREQ(text.text, "entry number 39999 of the list");
    if (!compressed) {
      EXPECT_EQ(file->bytes_left(), 0u);
    }
    file->seek(0, false);
    EXPECT_GT(file->bytes_left(), 1000000u);
    close_data_file(&file);
  }
}

TEST(DataFile, PoolLendsBuffersAndOutlivesItsTable) {
  FOLDER folder = scratch_folder("df-pool");
  set_file_buffer_pool(2);
  DATA_FILE* first = new DATA_FILE(2048);
  DATA_FILE* second = new DATA_FILE(1024);
  DATA_FILE* third = new DATA_FILE(1024);
  EXPECT_EQ(first->pool_slot, 0);
  EXPECT_EQ(second->pool_slot, 1);
  EXPECT_EQ(third->pool_slot, -1);
  INT_U8* lent = first->buffer;
  // A file that takes another buffer size gives its slot back and keeps a buffer of its own.
  ASSERT_TRUE(second->set_buffer_size(4096));
  EXPECT_EQ(second->pool_slot, -1);
  EXPECT_EQ(second->buffer_size, 4096);
  DATA_FILE* other = new DATA_FILE(1024);
  EXPECT_EQ(other->pool_slot, 1);
  delete other;
  delete first;
  // A freed slot lends its buffer to the next file that fits in it.
  DATA_FILE* fourth = new DATA_FILE(1500);
  EXPECT_EQ(fourth->pool_slot, 0);
  EXPECT_EQ(fourth->buffer, lent);
  // Dropping the pool leaves lent buffers with their files until they are deleted.
  set_file_buffer_pool(0);
  ASSERT_TRUE(fourth->open(&folder, "p.bin", FILE_MODE_WRITE, 0, fourth, false));
  EXPECT_TRUE(fourth->write_u32(5));
  EXPECT_TRUE(close_data_file(&fourth));
  delete second;
  delete third;
  DATA_FILE* fifth = new DATA_FILE(1024);
  EXPECT_EQ(fifth->pool_slot, -1);
  delete fifth;
}

TEST(DataFileDeathTest, ReadingAWriteFileOrWritingAReadFileIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  FOLDER folder = scratch_folder("df-fatal");
  EXPECT_DEATH(
      {
        DATA_FILE* file = open_data_file(&folder, "w.bin", FILE_MODE_WRITE, 0, false);
        INT_U8 byte;
        file->read(&byte, 1);
      },
      "000E");
  EXPECT_DEATH(
      {
        DATA_FILE* file = open_data_file(&folder, "w.bin", FILE_MODE_WRITE, 0, false);
        close_data_file(&file);
        file = open_data_file(&folder, "w.bin", FILE_MODE_READ, 0, false);
        file->write("x", 1);
      },
      "000F");
}
