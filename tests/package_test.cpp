// Packages: golden bytes of new packages, entries and blocks, free-list reuse, the swapped byte order,
// the open, find, extract and add rules with their data errors, and entries opened as data and text files.
#include <gtest/gtest.h>

#include <algorithm>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "errors.h"
#include "package.h"
#include "test_support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

// Builds expected package bytes; little-endian unless big is set.
struct BYTES {
  std::vector<INT_U8> data;
  bool big = false;
  BYTES& u8(INT_U8 value) {
    data.push_back(value);
    return *this;
  }
  BYTES& u16(INT_U16 value) {
    if (big) return u8(static_cast<INT_U8>(value >> 8)).u8(static_cast<INT_U8>(value));
    return u8(static_cast<INT_U8>(value)).u8(static_cast<INT_U8>(value >> 8));
  }
  BYTES& u32(INT_U32 value) {
    for (int index = 0; index < 4; ++index) {
      int shift = big ? 24 - 8 * index : 8 * index;
      u8(static_cast<INT_U8>(value >> shift));
    }
    return *this;
  }
  BYTES& text(const std::string& value) {
    data.insert(data.end(), value.begin(), value.end());
    return *this;
  }
  BYTES& raw(const std::vector<INT_U8>& value) {
    data.insert(data.end(), value.begin(), value.end());
    return *this;
  }
  BYTES& zeros(size_t count) {
    data.insert(data.end(), count, 0);
    return *this;
  }
  // Byte-order byte, magic, version, header record and an empty-named root record at 26.
  BYTES& header(INT_U32 block_size, INT_U32 first_free, INT_U32 last_free, INT_U32 first_entry, INT_U32 last_entry) {
    u8(big ? 1 : 0).text("VELKPKG").u8(0).u16(1).u32(block_size).u32(26).u32(first_free).u32(last_free);
    return u32(4).text("root").u32(first_entry).u32(last_entry).u32(0).u32(0).u32(0);
  }
  BYTES& record(const std::string& name, INT_U32 first, INT_U32 last, INT_U32 next, INT_U32 size) {
    return u32(static_cast<INT_U32>(name.size())).text(name).u32(first).u32(last).u32(next).u32(size);
  }
  // A block of B data bytes: the used bytes, then zeros.
  BYTES& block(INT_U32 next, const std::vector<INT_U8>& used, INT_U32 block_size) {
    return u32(next).raw(used).zeros(block_size - used.size()).u32(static_cast<INT_U32>(used.size()));
  }
};

std::vector<INT_U8> slice(const std::vector<INT_U8>& bytes, size_t from, size_t count) {
  return std::vector<INT_U8>(bytes.begin() + from, bytes.begin() + from + count);
}

INT_U32 u32_at(const std::vector<INT_U8>& bytes, size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | static_cast<INT_U32>(bytes[offset + 3]) << 24;
}

struct SCRATCH {
  std::string path;  // ends with the separator
  FOLDER folder;
  explicit SCRATCH(const std::string& name) {
    folder = scratch_folder(name, &path);
  }
  void put(const std::string& name, const std::vector<INT_U8>& bytes) { ASSERT_TRUE(write_whole_file(path + name, bytes)); }
  std::vector<INT_U8> get(const std::string& name) { return read_whole_file(path + name); }
};

struct PROGRESS_LOG {
  std::vector<std::pair<INT_S32, INT_S32>> calls;
  static void record(PACKAGE*, INT_S32 done, INT_S32 total, void* user) {
    static_cast<PROGRESS_LOG*>(user)->calls.push_back({done, total});
  }
};

// The first loaded entry of the name along the chain: what a lookup finds.
const PACKAGE_ENTRY* walk_chain(const PACKAGE& package, const std::string& name) {
  for (const PACKAGE_ENTRY* entry = package.root.first_loaded; entry; entry = entry->next_loaded)
    if (name == (entry->name ? entry->name : "")) return entry;
  return nullptr;
}

void expect_found_as_walked(PACKAGE& package, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const PACKAGE_ENTRY* walked = walk_chain(package, name);
    PACKAGE_ENTRY entry;
    ASSERT_EQ(package.find_entry(name.c_str(), &entry), walked != nullptr) << "'" << name << "'";
    if (!walked) continue;
    EXPECT_EQ(entry.loaded, walked) << "'" << name << "'";
    EXPECT_EQ(entry.position, walked->position) << "'" << name << "'";
    EXPECT_EQ(entry.size, walked->size) << "'" << name << "'";
  }
}

}  // namespace

TEST(Package, NameIndexFindsWhatTheChainWalkFinds) {
  SCRATCH scratch("pkg-index");
  // Names twice on disk ("a" and the empty name): the first along the chain is the one found.
  BYTES bytes;
  bytes.header(16, 0, 0, 54, 137)
      .record("a", 0, 0, 75, 1)
      .record("b", 0, 0, 96, 2)
      .record("a", 0, 0, 117, 3)
      .record("", 0, 0, 137, 4)
      .record("", 0, 0, 0, 5);
  scratch.put("dup.pkg", bytes.data);
  const std::vector<std::string> names = {"a", "b", "", "A", "c", "new", "b "};
  {
    PACKAGE loaded(&scratch.folder, "dup.pkg", false, -1, true, true);
    PACKAGE on_disk(&scratch.folder, "dup.pkg", false, -1, false, true);
    expect_found_as_walked(loaded, names);
    for (const std::string& name : names) {
      PACKAGE_ENTRY from_index, from_disk;
      bool found = loaded.find_entry(name.c_str(), &from_index);
      ASSERT_EQ(on_disk.find_entry(name.c_str(), &from_disk), found) << "'" << name << "'";
      EXPECT_EQ(from_disk.position, from_index.position) << "'" << name << "'";
    }
    PACKAGE_ENTRY entry;
    ASSERT_TRUE(loaded.find_entry("a", &entry));
    EXPECT_EQ(entry.size, 1u);
    ASSERT_TRUE(loaded.find_entry("", &entry));
    EXPECT_EQ(entry.size, 4u);
  }
  {
    // Changes after the load: an added entry is found, a replaced one keeps its place (the first "a"),
    // a second "b" created behind the first leaves the first found.
    PACKAGE writer(&scratch.folder, "dup.pkg", false, -1, true, false);
    std::vector<INT_U8> data = pseudo_random_bytes(40, 3);
    scratch.put("f", data);
    ASSERT_TRUE(writer.add_file(&scratch.folder, "f", "new", false));
    ASSERT_TRUE(writer.add_file(&scratch.folder, "f", "a", true));
    PACKAGE_ENTRY second_b;
    ASSERT_TRUE(writer.create_entry("b", &second_b));
    expect_found_as_walked(writer, names);
    PACKAGE_ENTRY entry;
    ASSERT_TRUE(writer.find_entry("a", &entry));
    EXPECT_EQ(entry.position, 54u);
    EXPECT_EQ(entry.size, 40u);
    ASSERT_TRUE(writer.find_entry("b", &entry));
    EXPECT_EQ(entry.position, 75u);
    ASSERT_TRUE(writer.extract_entry(&scratch.folder, "out", "a"));
    EXPECT_EQ(scratch.get("out"), data);

    // The directory removed: nothing is found; loaded again from the flushed file: all as before.
    ASSERT_TRUE(writer.flush());
    writer.free_directory();
    for (const std::string& name : names) EXPECT_FALSE(writer.find_entry(name.c_str(), &entry)) << "'" << name << "'";
    ASSERT_TRUE(writer.load_directory());
    expect_found_as_walked(writer, names);
    ASSERT_TRUE(writer.find_entry("new", &entry));
    ASSERT_TRUE(writer.find_entry("b", &entry));
    EXPECT_EQ(entry.position, 75u);
  }
  {
    // Thousands of entries: the index grows and keeps every one, in either package mode.
    PACKAGE many(&scratch.folder, "many.pkg", true, 16, true, false);
    PACKAGE_ENTRY entry;
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(many.create_entry(("n" + std::to_string(i)).c_str(), &entry));
    for (int i = 0; i < 5000; i += 7) {
      ASSERT_TRUE(many.find_entry(("n" + std::to_string(i)).c_str(), &entry)) << i;
      EXPECT_EQ(entry.loaded, many.entries.items[i]);
    }
    EXPECT_FALSE(many.find_entry("n5000", &entry));
  }
  PACKAGE reopened(&scratch.folder, "many.pkg", false, -1, true, true);
  PACKAGE_ENTRY entry;
  ASSERT_TRUE(reopened.find_entry("n4999", &entry));
  EXPECT_EQ(entry.loaded, reopened.entries.items[4999]);
}

TEST(Package, ExtractionInAnyOrderGivesTheFirstEntryOfTheName) {
  SCRATCH scratch("pkg-extract-order");
  PACKAGE package(&scratch.folder, "order.pkg", true, 16, true, false);
  std::vector<std::vector<INT_U8>> data;
  for (int i = 0; i < 6; ++i) {
    data.push_back(pseudo_random_bytes(10 + 9 * i, i + 1));
    scratch.put("in", data.back());
    ASSERT_TRUE(package.add_file(&scratch.folder, "in", ("e" + std::to_string(i)).c_str(), false));
  }
  // In order, backwards, skipping, and again after the directory is read anew.
  auto extract_all = [&](const std::vector<int>& order) {
    for (int i : order) {
      ASSERT_TRUE(package.extract_entry(&scratch.folder, "out", ("e" + std::to_string(i)).c_str())) << i;
      EXPECT_EQ(scratch.get("out"), data[i]) << i;
    }
  };
  extract_all({0, 1, 2, 3, 4, 5, 5, 4, 3, 0, 2, 4});
  ASSERT_TRUE(package.flush());
  package.free_directory();
  ASSERT_TRUE(package.load_directory());
  extract_all({3, 4, 5, 0, 1});
  // A second, empty "e2" right behind "e5" in the chain: extracting "e5" and then "e2" still gives the
  // first "e2".
  PACKAGE_ENTRY second;
  ASSERT_TRUE(package.create_entry("e2", &second));
  extract_all({5, 2, 1, 2});
}

// Entries around and past the default file-cache size, in blocks smaller and larger than it: every byte
// comes out, in order, whichever way the data reach the file.
TEST(Package, EntriesLargerThanTheCacheSizeComeOutWhole) {
  SCRATCH scratch("pkg-extract-large");
  INT_U32 saved = default_file_cache_size;
  default_file_cache_size = 4096;
  std::vector<size_t> sizes = {0, 1, 4095, 4096, 4097, 10000, 20000};
  for (INT_S32 block : {1000, 8192}) {
    std::string name = "b" + std::to_string(block) + ".pkg";
    {
      PACKAGE package(&scratch.folder, name.c_str(), true, block, false, false);
      for (size_t size : sizes) {
        scratch.put("in", pseudo_random_bytes(size, static_cast<INT_U32>(size)));
        ASSERT_TRUE(package.add_file(&scratch.folder, "in", std::to_string(size).c_str(), false));
      }
    }
    PACKAGE package(&scratch.folder, name.c_str(), false, -1, true, true);
    for (size_t size : sizes) {
      ASSERT_TRUE(package.extract_entry(&scratch.folder, "out", std::to_string(size).c_str())) << block << " " << size;
      EXPECT_EQ(scratch.get("out"), pseudo_random_bytes(size, static_cast<INT_U32>(size))) << block << " " << size;
    }
  }
  default_file_cache_size = saved;
}

TEST(Package, NewPackageIsFiftyFiveBytesAndWritable) {
  SCRATCH scratch("pkg-new");
  {
    PACKAGE package(&scratch.folder, "new.pkg", true, 1024, false, true);
    ASSERT_NE(package.file, nullptr);
    EXPECT_EQ(get_error_code(), 0);
    EXPECT_EQ(package.read_only, 0);
    EXPECT_EQ(package.block_size, 1024u);
  }
  EXPECT_EQ(scratch.get("new.pkg"), BYTES().header(1024, 0, 0, 0, 0).data);

  // Less than 1 takes the default file-cache size; a block size far beyond any buffer is cut.
  { PACKAGE package(&scratch.folder, "default.pkg", true, 0, true, false); }
  EXPECT_EQ(scratch.get("default.pkg"), BYTES().header(default_file_cache_size, 0, 0, 0, 0).data);
  {
    PACKAGE package(&scratch.folder, "huge.pkg", true, 0x7FFFFFFF, false, false);
    EXPECT_EQ(package.block_size, PACKAGE_LARGEST_BLOCK_SIZE);
  }
  PACKAGE reopened(&scratch.folder, "huge.pkg", false, 16, false, true);
  EXPECT_NE(reopened.file, nullptr);
  EXPECT_EQ(reopened.block_size, PACKAGE_LARGEST_BLOCK_SIZE);
}

TEST(Package, EntriesAndBlocksAreLaidOutInOrderWithZeroTails) {
  SCRATCH scratch("pkg-layout");
  scratch.put("a.txt", {'a', 'b', 'c'});
  std::vector<INT_U8> second = pseudo_random_bytes(40, 1);
  scratch.put("second.bin", second);
  // The same additions give the same bytes whether the directory is loaded or not.
  for (bool loaded : {false, true}) {
    std::string name = loaded ? "loaded.pkg" : "plain.pkg";
    {
      PACKAGE package(&scratch.folder, name.c_str(), true, 16, loaded, false);
      ASSERT_TRUE(package.add_file(&scratch.folder, "a.txt", nullptr, false));
      ASSERT_TRUE(package.add_file(&scratch.folder, "second.bin", "two", false));
      EXPECT_EQ(get_error_code(), 0);
    }
    // First record at body 54 (file offset 55), its block at 74 + 5; the next record after that block.
    BYTES expected;
    expected.header(16, 0, 0, 54, 103);
    expected.record("a.txt", 79, 79, 103, 3).block(0, {'a', 'b', 'c'}, 16);
    expected.record("two", 126, 174, 0, 40)
        .block(150, slice(second, 0, 16), 16)
        .block(174, slice(second, 16, 16), 16)
        .block(0, slice(second, 32, 8), 16);
    EXPECT_EQ(scratch.get(name), expected.data) << name;
  }
}

TEST(Package, FilesOfOneAndTwoBlocksAndTheEmptyFile) {
  SCRATCH scratch("pkg-blocks");
  std::vector<INT_U8> odd = pseudo_random_bytes(1025, 2);
  std::vector<INT_U8> even = pseudo_random_bytes(2048, 3);
  scratch.put("odd", odd);
  scratch.put("even", even);
  scratch.put("empty", {});
  {
    PACKAGE package(&scratch.folder, "b.pkg", true, 1024, false, false);
    ASSERT_TRUE(package.add_file(&scratch.folder, "odd", nullptr, false));
    ASSERT_TRUE(package.add_file(&scratch.folder, "even", nullptr, false));
    ASSERT_TRUE(package.add_file(&scratch.folder, "empty", nullptr, false));
  }
  BYTES expected;
  expected.header(1024, 0, 0, 54, 54 + 23 + 2 * 1032 + 24 + 2 * 1032);
  INT_U32 odd_block = 54 + 23;
  expected.record("odd", odd_block, odd_block + 1032, odd_block + 2064, 1025)
      .block(odd_block + 1032, slice(odd, 0, 1024), 1024)
      .block(0, slice(odd, 1024, 1), 1024);
  INT_U32 even_record = odd_block + 2064;
  INT_U32 even_block = even_record + 24;
  INT_U32 empty_record = even_block + 2064;
  expected.record("even", even_block, even_block + 1032, empty_record, 2048)
      .block(even_block + 1032, slice(even, 0, 1024), 1024)
      .block(0, slice(even, 1024, 1024), 1024);
  // The empty file: size 0 and one block of used 0 whose bytes are all zero.
  expected.record("empty", empty_record + 25, empty_record + 25, 0, 0).block(0, {}, 1024);
  EXPECT_EQ(scratch.get("b.pkg"), expected.data);

  PACKAGE package(&scratch.folder, "b.pkg", false, -1, true, true);
  ASSERT_NE(package.file, nullptr);
  PROGRESS_LOG log;
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "out-empty", "empty", PROGRESS_LOG::record, &log));
  EXPECT_TRUE(log.calls.empty());
  EXPECT_TRUE(scratch.get("out-empty").empty());
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "out-odd", "odd"));
  EXPECT_EQ(scratch.get("out-odd"), odd);
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "out-even", "even"));
  EXPECT_EQ(scratch.get("out-even"), even);
}

// Entry records are read whatever their names' length (a record is first read at the size of one with
// a short name), and blocks whether the package's buffer holds a block, holds one at a time, or is
// smaller than one.
// Records of small entries are loaded through a window of the file: names of every length, records that
// cross the window's end and entries far apart load as the chain walk on disk finds them; a package cut
// among them fails to load with the read error.
TEST(Package, DirectoryOfManySmallEntriesLoadsAsTheChainOnDisk) {
  SCRATCH scratch("pkg-window");
  std::vector<std::string> names;
  {
    PACKAGE package(&scratch.folder, "w.pkg", true, 512, false, false);
    for (INT_U32 index = 0; index < 1500; ++index) {
      names.push_back(std::string(index % 97 == 0 ? 250 : 1 + index % 40, static_cast<char>('a' + index % 26)) +
                      std::to_string(index));
      scratch.put("in", pseudo_random_bytes(index % 300 == 0 ? 40000 : (index * 37) % 3000, index));
      ASSERT_TRUE(package.add_file(&scratch.folder, "in", names.back().c_str(), false));
    }
  }
  PACKAGE loaded(&scratch.folder, "w.pkg", false, -1, true, true);
  PACKAGE on_disk(&scratch.folder, "w.pkg", false, -1, false, true);
  ASSERT_EQ(loaded.entries.count, static_cast<INT_S32>(names.size())) << get_error_text();
  for (INT_S32 index = 0; index < loaded.entries.count; ++index) {
    const PACKAGE_ENTRY* entry = static_cast<const PACKAGE_ENTRY*>(loaded.entries.items[index]);
    PACKAGE_ENTRY walked;
    ASSERT_TRUE(on_disk.find_entry(names[index].c_str(), &walked)) << index;
    EXPECT_STREQ(entry->name, names[index].c_str());
    EXPECT_EQ(entry->position, walked.position) << index;
    EXPECT_EQ(entry->first_block, walked.first_block) << index;
    EXPECT_EQ(entry->size, walked.size) << index;
  }
  std::vector<INT_U8> bytes = scratch.get("w.pkg");
  bytes.resize(bytes.size() / 2);
  scratch.put("cut.pkg", bytes);
  PACKAGE cut(&scratch.folder, "cut.pkg", false, -1, true, true);
  EXPECT_EQ(get_error_code(), 0x1007);
  EXPECT_EQ(cut.entries.count, 0);
}

TEST(Package, LongNamesAndBlocksOfAnySizeAgainstTheBufferReadWhole) {
  SCRATCH scratch("pkg-read-sizes");
  std::vector<std::string> names = {std::string(107, 'a'), std::string(108, 'b'), std::string(109, 'c'),
                                    std::string(300, 'd') + "/e", "f"};
  std::vector<std::vector<INT_U8>> contents;
  {
    PACKAGE package(&scratch.folder, "s.pkg", true, 2048, false, false);
    for (size_t index = 0; index < names.size(); ++index) {
      contents.push_back(pseudo_random_bytes(1000 + 1500 * index, static_cast<INT_U32>(index)));
      scratch.put("in", contents.back());
      ASSERT_TRUE(package.add_file(&scratch.folder, "in", names[index].c_str(), false));
    }
  }
  for (INT_S32 buffer : {1024, 2056, 3000, -1}) {
    PACKAGE package(&scratch.folder, "s.pkg", false, -1, true, true);
    ASSERT_NE(package.file, nullptr) << get_error_text();
    ASSERT_EQ(package.entries.count, static_cast<INT_S32>(names.size()));
    ASSERT_TRUE(package.file->set_buffer_size(buffer));
    // Backwards, so that every entry starts away from what the buffer holds.
    for (size_t index = names.size(); index-- > 0;) {
      ASSERT_TRUE(package.extract_entry(&scratch.folder, "out", names[index].c_str())) << buffer << " " << index;
      EXPECT_EQ(scratch.get("out"), contents[index]) << buffer << " " << index;
      // Read where they lie: the same bytes, in blocks of at most the package's block size.
      std::vector<INT_U8> handed;
      EXPECT_TRUE(package.read_entry(names[index].c_str(), [&handed](const INT_U8* data, INT_U32 count) {
        EXPECT_LE(count, 2048u);
        handed.insert(handed.end(), data, data + count);
        return true;
      }));
      EXPECT_EQ(handed, contents[index]) << buffer << " " << index;
    }
    // A reader that stops ends the read, which then fails; a name without an entry is missing.
    int blocks = 0;
    EXPECT_FALSE(package.read_entry(names[4].c_str(), [&blocks](const INT_U8*, INT_U32) { return ++blocks < 2; }));
    EXPECT_EQ(blocks, 2);
    EXPECT_FALSE(package.read_entry("none", [](const INT_U8*, INT_U32) { return true; }));
    EXPECT_EQ(get_error_code(), 0x1010);
  }
  // A cut package ends the data of its last entry in the middle of a block: the read error, no file.
  std::vector<INT_U8> bytes = scratch.get("s.pkg");
  bytes.resize(bytes.size() - 100);
  scratch.put("cut.pkg", bytes);
  for (INT_S32 buffer : {1024, -1}) {
    PACKAGE package(&scratch.folder, "cut.pkg", false, -1, true, true);
    ASSERT_NE(package.file, nullptr) << get_error_text();
    ASSERT_TRUE(package.file->set_buffer_size(buffer));
    EXPECT_FALSE(package.extract_entry(&scratch.folder, "cut-out", "f"));
    EXPECT_EQ(get_error_code(), 0x1007);
    EXPECT_FALSE(package.read_entry("f", [](const INT_U8*, INT_U32) { return true; }));
    EXPECT_EQ(get_error_code(), 0x1007);
    for (const auto& item : std::filesystem::directory_iterator(scratch.path))
      EXPECT_TRUE(item.path().filename() != "cut-out" && item.path().filename().string()[0] != '~') << item.path();
    EXPECT_TRUE(package.extract_entry(&scratch.folder, "out", names[0].c_str()));
  }
}

TEST(Package, ReplacedEntriesFeedTheFreeListFirstInFirstOut) {
  SCRATCH scratch("pkg-free");
  std::vector<INT_U8> three = pseudo_random_bytes(48, 4), two = pseudo_random_bytes(32, 5), one = pseudo_random_bytes(16, 6), later = pseudo_random_bytes(48, 7);
  scratch.put("three", three);
  scratch.put("two", two);
  scratch.put("one", one);
  scratch.put("later", later);
  for (bool loaded : {false, true}) {
    std::string name = loaded ? "loaded.pkg" : "plain.pkg";
    INT_U32 x_blocks[3], y_blocks[2];
    size_t size_before;
    {
      PACKAGE package(&scratch.folder, name.c_str(), true, 16, loaded, false);
      ASSERT_TRUE(package.add_file(&scratch.folder, "three", "x", false));
      ASSERT_TRUE(package.add_file(&scratch.folder, "two", "y", false));
      PACKAGE_ENTRY entry;
      ASSERT_TRUE(package.find_entry("x", &entry));
      for (int index = 0; index < 3; ++index) x_blocks[index] = entry.first_block + index * 24;
      ASSERT_TRUE(package.find_entry("y", &entry));
      for (int index = 0; index < 2; ++index) y_blocks[index] = entry.first_block + index * 24;
      size_before = static_cast<size_t>(package.file->get_size());

      // x's three blocks go to the free list; the new data take the first of them.
      ASSERT_TRUE(package.add_file(&scratch.folder, "one", "x", true));
      ASSERT_TRUE(package.find_entry("x", &entry));
      EXPECT_EQ(entry.first_block, x_blocks[0]);
      EXPECT_EQ(entry.size, 16u);
      EXPECT_EQ(package.first_free_block, x_blocks[1]);
      EXPECT_EQ(package.last_free_block, x_blocks[2]);
      // y's blocks join the tail; its new data take the block released earliest.
      ASSERT_TRUE(package.add_file(&scratch.folder, "one", "y", true));
      ASSERT_TRUE(package.find_entry("y", &entry));
      EXPECT_EQ(entry.first_block, x_blocks[1]);
      EXPECT_EQ(package.first_free_block, x_blocks[2]);
      EXPECT_EQ(package.last_free_block, y_blocks[1]);
      // A new entry of three blocks uses up the list in order; only its record grows the file.
      ASSERT_TRUE(package.add_file(&scratch.folder, "later", "z", false));
      ASSERT_TRUE(package.find_entry("z", &entry));
      EXPECT_EQ(entry.first_block, x_blocks[2]);
      EXPECT_EQ(entry.last_block, y_blocks[1]);
      EXPECT_EQ(package.first_free_block, 0u);
      EXPECT_EQ(package.last_free_block, 0u);
      EXPECT_EQ(static_cast<size_t>(package.file->get_size()), size_before + 21);
    }
    std::vector<INT_U8> bytes = scratch.get(name);
    EXPECT_EQ(u32_at(bytes, 1 + 18), 0u);
    // z's chain on disk: x3 -> y1 -> y2.
    EXPECT_EQ(u32_at(bytes, 1 + x_blocks[2]), y_blocks[0]);
    EXPECT_EQ(u32_at(bytes, 1 + y_blocks[0]), y_blocks[1]);
    EXPECT_EQ(u32_at(bytes, 1 + y_blocks[1]), 0u);
    PACKAGE package(&scratch.folder, name.c_str(), false, -1, !loaded, true);
    ASSERT_TRUE(package.extract_entry(&scratch.folder, "ox", "x"));
    ASSERT_TRUE(package.extract_entry(&scratch.folder, "oy", "y"));
    ASSERT_TRUE(package.extract_entry(&scratch.folder, "oz", "z"));
    EXPECT_EQ(scratch.get("ox"), one);
    EXPECT_EQ(scratch.get("oy"), one);
    EXPECT_EQ(scratch.get("oz"), later);
  }
}

TEST(Package, ByteOrderByteOneSwapsEveryNumberButNotNamesOrData) {
  SCRATCH scratch("pkg-swap");
  std::vector<INT_U8> data = pseudo_random_bytes(20, 8);
  BYTES swapped;
  swapped.big = true;
  swapped.header(16, 0, 0, 54, 54);
  swapped.record("be.bin", 80, 104, 0, 20).block(104, slice(data, 0, 16), 16).block(0, slice(data, 16, 4), 16);
  scratch.put("be.pkg", swapped.data);
  for (bool loaded : {false, true}) {
    PACKAGE package(&scratch.folder, "be.pkg", false, -1, loaded, true);
    ASSERT_NE(package.file, nullptr) << get_error_text();
    EXPECT_EQ(package.block_size, 16u);
    PACKAGE_ENTRY entry;
    ASSERT_TRUE(package.find_entry("be.bin", &entry));
    EXPECT_EQ(entry.size, 20u);
    ASSERT_TRUE(package.extract_entry(&scratch.folder, "out", "be.bin"));
    EXPECT_EQ(scratch.get("out"), data);
  }
  // Written to, it stays in its byte order.
  scratch.put("more", {'m'});
  {
    PACKAGE package(&scratch.folder, "be.pkg", false, -1, false, false);
    ASSERT_TRUE(package.add_file(&scratch.folder, "more", nullptr, false));
  }
  std::vector<INT_U8> bytes = scratch.get("be.pkg");
  BYTES grown;
  grown.big = true;
  grown.header(16, 0, 0, 54, 128);
  grown.record("be.bin", 80, 104, 128, 20).block(104, slice(data, 0, 16), 16).block(0, slice(data, 16, 4), 16);
  grown.record("more", 152, 152, 0, 1).block(0, {'m'}, 16);
  EXPECT_EQ(bytes, grown.data);
}

TEST(Package, OpeningRefusesWhatIsNoPackageAndNeverTruncates) {
  SCRATCH scratch("pkg-open");
  {
    PACKAGE package(&scratch.folder, "missing.pkg", false, 16, false, false);
    EXPECT_EQ(package.file, nullptr);
    EXPECT_EQ(get_error_code(), 0x100C);
    EXPECT_STREQ(data_error.argument, "missing.pkg");
    EXPECT_FALSE(package.extract_entry(&scratch.folder, "x", nullptr));
    EXPECT_EQ(get_error_code(), 0x100D);
    set_error(0, nullptr);
    EXPECT_FALSE(package.add_file(&scratch.folder, "x", nullptr, false));
    EXPECT_EQ(get_error_code(), 0x100D);
    PACKAGE_ENTRY entry;
    EXPECT_FALSE(package.find_entry("x", &entry));
  }
  EXPECT_FALSE(std::filesystem::exists(scratch.path + "missing.pkg"));

  struct CASE {
    const char* name;
    std::vector<INT_U8> bytes;
    INT_U16 code;
  };
  std::vector<INT_U8> version_two = BYTES().header(16, 0, 0, 0, 0).data;
  version_two[9] = 2;
  std::vector<INT_U8> wrong_magic = BYTES().header(16, 0, 0, 0, 0).data;
  wrong_magic[4] = 'X';
  std::vector<INT_U8> short_header = slice(BYTES().header(16, 0, 0, 0, 0).data, 0, 20);
  std::vector<CASE> cases = {{"empty.pkg", {}, 0x1007},
                             {"order-only.pkg", {0}, 0x1007},
                             {"version.pkg", version_two, 0x100A},
                             {"magic.pkg", wrong_magic, 0x1009},
                             {"short.pkg", short_header, 0x1007}};
  for (const CASE& item : cases) {
    scratch.put(item.name, item.bytes);
    for (bool read_only : {false, true}) {
      PACKAGE package(&scratch.folder, item.name, true, 16, false, read_only);
      EXPECT_EQ(package.file, nullptr) << item.name;
      EXPECT_EQ(get_error_code(), item.code) << item.name;
      EXPECT_STREQ(data_error.argument, item.name);
    }
    EXPECT_EQ(scratch.get(item.name), item.bytes) << item.name << " was changed";
  }

  // An eighth magic byte other than NUL and a version of 0 or above 0x7FFF are accepted.
  std::vector<INT_U8> lenient = BYTES().header(16, 0, 0, 0, 0).data;
  lenient[8] = 'Z';
  lenient[9] = 0;
  scratch.put("lenient.pkg", lenient);
  EXPECT_NE(PACKAGE(&scratch.folder, "lenient.pkg", false, 16, false, true).file, nullptr);
  lenient[10] = 0x80;
  scratch.put("lenient.pkg", lenient);
  EXPECT_NE(PACKAGE(&scratch.folder, "lenient.pkg", false, 16, false, true).file, nullptr);

  // A folder where the package should be is not replaced by a new package.
  std::filesystem::create_directory(scratch.path + "folder.pkg");
  PACKAGE package(&scratch.folder, "folder.pkg", true, 16, false, false);
  EXPECT_EQ(package.file, nullptr);
  EXPECT_NE(get_error_code(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(scratch.path + "folder.pkg"));
}

TEST(Package, FindExtractAndAddRules) {
  SCRATCH scratch("pkg-rules");
  std::vector<INT_U8> data = pseudo_random_bytes(2500, 9);
  scratch.put("data.bin", data);
  PACKAGE package(&scratch.folder, "r.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(&scratch.folder, "data.bin", "Data.bin", false));
  PACKAGE_ENTRY entry;
  EXPECT_TRUE(package.find_entry("Data.bin", &entry));
  EXPECT_FALSE(package.find_entry("data.bin", &entry));

  // The progress callback runs once per block with the bytes so far and the entry's size.
  scratch.put("out.bin", pseudo_random_bytes(9000, 1));
  PROGRESS_LOG log;
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "out.bin", "Data.bin", PROGRESS_LOG::record, &log));
  EXPECT_EQ(scratch.get("out.bin"), data);  // an existing file is replaced
  std::vector<std::pair<INT_S32, INT_S32>> expected = {{1024, 2500}, {2048, 2500}, {2500, 2500}};
  EXPECT_EQ(log.calls, expected);

  EXPECT_FALSE(package.extract_entry(&scratch.folder, "other.bin", "nothing"));
  EXPECT_EQ(get_error_code(), 0x1010);
  EXPECT_STREQ(data_error.argument, "other.bin");
  FOLDER missing = scratch.folder;
  std::strcat(missing.path, "/no-such-folder");
  EXPECT_FALSE(package.extract_entry(&missing, "x.bin", "Data.bin"));
  EXPECT_EQ(get_error_code(), 0x100F);
  EXPECT_STREQ(data_error.argument, "x.bin");
  EXPECT_FALSE(package.add_file(&scratch.folder, "absent.bin", nullptr, false));
  EXPECT_EQ(get_error_code(), 0x100E);
  EXPECT_STREQ(data_error.argument, "absent.bin");
  // A folder is no source, even where the host opens it like a file.
  std::filesystem::create_directory(scratch.path + "folder");
  EXPECT_FALSE(package.add_file(&scratch.folder, "folder", nullptr, false));
  EXPECT_EQ(get_error_code(), 0x100E);
  EXPECT_FALSE(package.find_entry("folder", &entry));

  // An existing entry without replace: false, nothing changed, the last error left alone.
  package.file->flush();
  std::vector<INT_U8> before = scratch.get("r.pkg");
  set_error(0x1234, "left alone");
  EXPECT_FALSE(package.add_file(&scratch.folder, "out.bin", "Data.bin", false));
  EXPECT_EQ(get_error_code(), 0x1234);
  EXPECT_STREQ(data_error.argument, "left alone");
  package.file->flush();
  EXPECT_EQ(scratch.get("r.pkg"), before);
}

TEST(Package, DirectoryLoadedWritesRecordsAtTheEndAndReadOnlyWritesNothing) {
  SCRATCH scratch("pkg-dir");
  scratch.put("f", pseudo_random_bytes(100, 10));
  {
    PACKAGE writer(&scratch.folder, "d.pkg", true, 64, true, false);
    ASSERT_TRUE(writer.add_file(&scratch.folder, "f", nullptr, false));
    writer.file->flush();
    // Until the package is destroyed the root on disk does not name the entry.
    PACKAGE reader(&scratch.folder, "d.pkg", false, -1, false, true);
    PACKAGE_ENTRY entry;
    EXPECT_FALSE(reader.find_entry("f", &entry));
    EXPECT_TRUE(writer.find_entry("f", &entry));
  }
  {
    PACKAGE reader(&scratch.folder, "d.pkg", false, -1, true, true);
    PACKAGE_ENTRY entry;
    ASSERT_TRUE(reader.find_entry("f", &entry));
    EXPECT_EQ(entry.size, 100u);
    EXPECT_EQ(entry.loaded->loaded, entry.loaded);
  }
  {
    PACKAGE writer(&scratch.folder, "d.pkg", false, -1, false, false);
    ASSERT_TRUE(writer.add_file(&scratch.folder, "f", "g", false));
    // Without the directory every change is on disk when the call returns.
    PACKAGE reader(&scratch.folder, "d.pkg", false, -1, false, true);
    PACKAGE_ENTRY entry;
    EXPECT_TRUE(reader.find_entry("g", &entry));
  }
  std::vector<INT_U8> before = scratch.get("d.pkg");
  {
    PACKAGE reader(&scratch.folder, "d.pkg", false, -1, true, true);
    set_error(0x1234, "kept");
    EXPECT_FALSE(reader.add_file(&scratch.folder, "f", "h", false));
    EXPECT_EQ(get_error_code(), 0x1234);
    PACKAGE_ENTRY entry;
    EXPECT_FALSE(reader.create_entry("h", &entry));
  }
  EXPECT_EQ(scratch.get("d.pkg"), before);
}

#ifndef _WIN32
static void add_with_small_file_limit(FOLDER* folder) {
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max = 100000;
  setrlimit(RLIMIT_FSIZE, &limit);
  PACKAGE package(folder, "f.pkg", false, -1, false, false);
  bool added = package.add_file(folder, "big", nullptr, false);
  std::exit(!added && get_error_code() == 0x1008 ? 0 : 1);
}

TEST(PackageDeathTest, AddReportsAFailedWriteAsADataError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SCRATCH scratch("pkg-full");
  scratch.put("big", pseudo_random_bytes(300000, 11));
  { PACKAGE package(&scratch.folder, "f.pkg", true, 4096, false, false); }
  // In a child whose files may not grow past 100000 bytes, the add meets a full disk.
  EXPECT_EXIT(add_with_small_file_limit(&scratch.folder), testing::ExitedWithCode(0), "");
}
#endif

namespace {

// Points "$TEMP" into the scratch folder (a named path comes before the built-in variable) and gives
// the temporary folder's file names.
struct TEMP_FOLDER {
  FOLDER folder;
  explicit TEMP_FOLDER(const SCRATCH& scratch) {
    folder = scratch.folder;
    EXPECT_TRUE(folder.enter("temp", true));
    set_named_path("$TEMP", &folder);
    FOLDER check;
    EXPECT_TRUE(check.set("$TEMP"));
    EXPECT_TRUE(check.equals(&folder));
  }
  ~TEMP_FOLDER() { remove_named_path("$TEMP"); }
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& item : std::filesystem::directory_iterator(folder.path)) found.push_back(item.path().filename().string());
    return found;
  }
};

}  // namespace

TEST(PackageDataFile, EntriesOpenAsDataFilesThroughTemporaryCopies) {
  SCRATCH scratch("pkg-entry");
  TEMP_FOLDER temp(scratch);
  std::vector<INT_U8> body = {0, 1, 2, 3, 4, 5, 6, 7};
  scratch.put("db.bin", body);
  PACKAGE package(&scratch.folder, "e.pkg", true, 16, false, false);
  ASSERT_TRUE(package.add_file(&scratch.folder, "db.bin", "database.bin", false));
  package.file->flush();
  std::vector<INT_U8> before = scratch.get("e.pkg");

  // Reading leaves the package as it was and nothing in "$TEMP".
  PACKAGE_DATA_FILE* file = open_package_file(&package, "database.bin", FILE_MODE_READ, BYTE_ORDER_HEADER);
  ASSERT_NE(file, nullptr);
  std::string name = file->temporary_name;
  ASSERT_EQ(name.size(), 12u);
  for (int index = 0; index < 8; ++index) EXPECT_TRUE(std::isxdigit(name[index]) && !std::islower(name[index])) << name;
  EXPECT_EQ(name.substr(8), ".tmp");
  EXPECT_EQ(temp.names(), std::vector<std::string>{name});
  INT_U32 value = 0;
  EXPECT_TRUE(file->read_u32(&value));
  EXPECT_EQ(value, 0x04030201u);
  close_package_file(&file);
  EXPECT_EQ(file, nullptr);
  package.file->flush();
  EXPECT_EQ(scratch.get("e.pkg"), before);
  EXPECT_TRUE(temp.names().empty());

  EXPECT_EQ(open_package_file(&package, "missing", FILE_MODE_READ, BYTE_ORDER_HEADER), nullptr);
  EXPECT_TRUE(temp.names().empty());

  // Writing a new entry: the byte-order byte and the u32.
  file = open_package_file(&package, "new", FILE_MODE_WRITE, BYTE_ORDER_HEADER);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write_u32(0xAABBCCDD));
  close_package_file(&file);
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "new.out", "new"));
  EXPECT_EQ(scratch.get("new.out"), (std::vector<INT_U8>{0, 0xDD, 0xCC, 0xBB, 0xAA}));

  // Update appends after the entry's data.
  file = open_package_file(&package, "database.bin", FILE_MODE_UPDATE, BYTE_ORDER_HEADER);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->tell(), 7u);
  EXPECT_TRUE(file->write_u32(0x11223344));
  close_package_file(&file);
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "db.out", "database.bin"));
  std::vector<INT_U8> longer = body;
  longer.insert(longer.end(), {0x44, 0x33, 0x22, 0x11});
  EXPECT_EQ(scratch.get("db.out"), longer);

  // Writing without data leaves only the byte-order byte, or nothing.
  file = open_package_file(&package, "new", FILE_MODE_WRITE, BYTE_ORDER_HEADER);
  close_package_file(&file);
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "new.out", "new"));
  EXPECT_EQ(scratch.get("new.out"), std::vector<INT_U8>{0});
  file = open_package_file(&package, "new", FILE_MODE_WRITE, 0);
  close_package_file(&file);
  ASSERT_TRUE(package.extract_entry(&scratch.folder, "new.out", "new"));
  EXPECT_TRUE(scratch.get("new.out").empty());
  EXPECT_TRUE(temp.names().empty());
}

TEST(PackageDataFile, ACopyThatCannotBeStoredBackStaysWithTheError) {
  SCRATCH scratch("pkg-keep");
  TEMP_FOLDER temp(scratch);
  scratch.put("x", {9});
  { PACKAGE package(&scratch.folder, "k.pkg", true, 16, false, false); }
  std::vector<INT_U8> before = scratch.get("k.pkg");
  PACKAGE package(&scratch.folder, "k.pkg", false, -1, false, true);
  PACKAGE_DATA_FILE* file = open_package_file(&package, "entry", FILE_MODE_WRITE, 0);
  ASSERT_NE(file, nullptr);
  std::string name = file->temporary_name;
  EXPECT_TRUE(file->write_u8(42));
  close_package_file(&file);
  EXPECT_EQ(get_error_code(), 0x1005);
  EXPECT_EQ(temp.names(), std::vector<std::string>{name});
  EXPECT_EQ(read_whole_file(std::string(temp.folder.path) + "/" + name), std::vector<INT_U8>{42});
  EXPECT_EQ(scratch.get("k.pkg"), before);
}

TEST(PackageDataFile, EntriesOpenAsTextFiles) {
  SCRATCH scratch("pkg-text");
  TEMP_FOLDER temp(scratch);
  PACKAGE package(&scratch.folder, "t.pkg", true, 16, true, false);
  PACKAGE_TEXT_FILE* text = open_package_text_file(&package, "readme", FILE_MODE_WRITE, false);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->write_text("first line\n"));
  EXPECT_TRUE(text->write_text("second\n"));
  close_package_text_file(&text);
  EXPECT_EQ(text, nullptr);
  EXPECT_TRUE(temp.names().empty());

  text = open_package_text_file(&package, "readme", FILE_MODE_READ, false);
  ASSERT_NE(text, nullptr);
  char line[256];
  ASSERT_TRUE(text->read_line(line));
  EXPECT_STREQ(line, "first line");
  ASSERT_TRUE(text->read_line(line));
  EXPECT_STREQ(line, "second");
  close_package_text_file(&text);
  EXPECT_TRUE(temp.names().empty());
  EXPECT_EQ(open_package_text_file(&package, "absent", FILE_MODE_READ, false), nullptr);
  EXPECT_TRUE(temp.names().empty());
}
