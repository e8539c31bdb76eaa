// Damaged packages: truncated files, looping chains, sizes and positions outside the file, and random
// byte changes give the read error (or the right data) and never change the package.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "errors.h"
#include "package.h"
#include "test_support.h"

namespace {

struct FIXTURE {
  std::string path;
  FOLDER folder;
  std::vector<std::string> names = {"alpha", "beta.bin", "gamma"};
  std::vector<std::vector<INT_U8>> contents;
  std::vector<INT_U8> good;

  explicit FIXTURE(const std::string& name) {
    folder = scratch_folder(name, &path);
    INT_U32 seed = 77;
    for (size_t count : {size_t(5), size_t(70), size_t(0)}) {
      std::vector<INT_U8> bytes(count);
      for (INT_U8& byte : bytes) byte = static_cast<INT_U8>((seed = seed * 1103515245u + 12345u) >> 24);
      contents.push_back(bytes);
    }
    for (size_t index = 0; index < names.size(); ++index)
      EXPECT_TRUE(write_whole_file(path + names[index], contents[index]));
    {
      PACKAGE package(&folder, "good.pkg", true, 16, false, false);
      for (const std::string& entry : names) EXPECT_TRUE(package.add_file(&folder, entry.c_str(), nullptr, false));
    }
    good = read_whole_file(path + "good.pkg");
  }

  // Body position of the record of entry index, and of its first block.
  INT_U32 record(size_t index) { return find(index).first; }
  INT_U32 first_block(size_t index) { return find(index).second; }
  std::pair<INT_U32, INT_U32> find(size_t index) {
    PACKAGE package(&folder, "good.pkg", false, -1, false, true);
    PACKAGE_ENTRY entry;
    EXPECT_TRUE(package.find_entry(names[index].c_str(), &entry));
    return {entry.position, entry.first_block};
  }

  // Opens bytes as a package in every mode; each entry either extracts and reads (to its contents while
  // the data are intact) or fails with the read error or as missing, leaving the file that was at the
  // destination as it was and no temporary file; the package is never changed. Returns how many opens
  // failed.
  int check(const std::vector<INT_U8>& bytes, const std::string& what, bool data_intact = true) {
    int failed_opens = 0;
    EXPECT_TRUE(write_whole_file(path + "damaged.pkg", bytes));
    for (int mode = 0; mode < 4; ++mode) {
      bool loaded = mode & 1;
      bool read_only = mode & 2;
      PACKAGE package(&folder, "damaged.pkg", false, -1, loaded, read_only);
      if (!package.file) {
        ++failed_opens;
        EXPECT_NE(get_error_code(), 0) << what;
        continue;
      }
      for (size_t index = 0; index < names.size(); ++index) {
        const std::vector<INT_U8> old = {'o', 'l', 'd'};
        EXPECT_TRUE(write_whole_file(path + "out", old));
        if (package.extract_entry(&folder, "out", names[index].c_str())) {
          if (data_intact) {
            EXPECT_EQ(read_whole_file(path + "out"), contents[index]) << what << " entry " << index;
          }
        } else {
          EXPECT_TRUE(get_error_code() == 0x1007 || get_error_code() == 0x1010) << what << " code " << get_error_code();
          EXPECT_EQ(read_whole_file(path + "out"), old) << what << " entry " << index;
        }
        for (const auto& item : std::filesystem::directory_iterator(path))
          EXPECT_NE(item.path().extension().string(), ".tmp") << what << ": " << item.path().string() << " was left";
        // Read where they lie, the data are the entry's or the read fails alike.
        std::vector<INT_U8> handed;
        if (package.read_entry(names[index].c_str(), [&handed](const INT_U8* data, INT_U32 count) {
              handed.insert(handed.end(), data, data + count);
              return true;
            })) {
          if (data_intact) {
            EXPECT_EQ(handed, contents[index]) << what << " entry " << index;
          }
        } else {
          EXPECT_TRUE(get_error_code() == 0x1007 || get_error_code() == 0x1010) << what << " code " << get_error_code();
        }
      }
    }
    EXPECT_EQ(read_whole_file(path + "damaged.pkg"), bytes) << what << ": the package was changed";
    return failed_opens;
  }
};

void put_u32(std::vector<INT_U8>& bytes, INT_U32 body_position, INT_U32 value) {
  for (int index = 0; index < 4; ++index) bytes[1 + body_position + index] = static_cast<INT_U8>(value >> (8 * index));
}

}  // namespace

TEST(PackageDamage, TruncatedPackagesGiveTheReadErrorAndStayAsTheyAre) {
  FIXTURE fixture("pkgd-cut");
  for (size_t length = 0; length < fixture.good.size(); ++length) {
    std::vector<INT_U8> cut(fixture.good.begin(), fixture.good.begin() + length);
    fixture.check(cut, "length " + std::to_string(length));
    if (testing::Test::HasFailure()) break;
  }
  // The whole file reads back completely in every mode.
  EXPECT_EQ(fixture.check(fixture.good, "whole"), 0);
}

TEST(PackageDamage, LoopsAndPositionsOutsideTheFileAreReadErrors) {
  FIXTURE fixture("pkgd-loop");
  INT_U32 alpha = fixture.record(0), beta = fixture.record(1), gamma = fixture.record(2);
  INT_U32 beta_block = fixture.first_block(1);
  INT_U32 size = static_cast<INT_U32>(fixture.good.size() - 1);

  struct DAMAGE {
    std::string what;
    INT_U32 position;
    INT_U32 value;
    bool open_fails;  // with the directory loaded
  };
  std::vector<DAMAGE> damages = {
      {"entry chain loops", gamma + 4 + 5 + 8, alpha, true},
      {"entry links to itself", beta + 4 + 8 + 8, beta, true},
      {"entry beyond the end", alpha + 4 + 5 + 8, size - 10, true},
      {"name longer than the file", beta, 0x7FFFFFF0, true},
      {"block chain loops", beta_block, beta_block, false},
      {"block beyond the end", beta_block, size - 20, false},
      {"block inside the header", beta + 4 + 8, 5, false},
      {"used above the block size", beta_block + 4 + 16, 17, false},
      {"size above the chain's data", beta + 4 + 8 + 12, 71, false},
      {"size below the chain's data", beta + 4 + 8 + 12, 69, false},
      {"block size 0", 10, 0, true},
      {"block size beyond any buffer", 10, 0xFFFFFFFF, true},
      {"block size larger than the blocks", 10, 1000, false},
      {"root beyond the end", 14, size, true},
      {"root name longer than the file", 26, 0x10000, true},
      {"root first entry beyond the end", 26 + 8, size + 100, true},
      {"free list head outside the file", 18, size + 5, true},
      {"free list with one end only", 22, beta_block, true},
  };
  for (const DAMAGE& damage : damages) {
    std::vector<INT_U8> bytes = fixture.good;
    put_u32(bytes, damage.position, damage.value);
    fixture.check(bytes, damage.what);
    if (damage.open_fails) {
      PACKAGE package(&fixture.folder, "damaged.pkg", false, -1, true, true);
      EXPECT_EQ(package.file, nullptr) << damage.what;
      EXPECT_EQ(get_error_code(), 0x1007) << damage.what;
      EXPECT_STREQ(data_error.argument, "damaged.pkg");
    }
  }

  // An entry is extracted only when its chain holds exactly its size: a chain that loops would
  // otherwise write on and on, and one that ends early would give a short file.
  for (const DAMAGE& damage : damages) {
    if (damage.open_fails || damage.position < beta || damage.position > beta_block + 20) continue;
    std::vector<INT_U8> bytes = fixture.good;
    put_u32(bytes, damage.position, damage.value);
    ASSERT_TRUE(write_whole_file(fixture.path + "damaged.pkg", bytes));
    PACKAGE package(&fixture.folder, "damaged.pkg", false, -1, true, true);
    ASSERT_NE(package.file, nullptr) << damage.what;
    EXPECT_FALSE(package.extract_entry(&fixture.folder, "beta.out", "beta.bin")) << damage.what;
    EXPECT_EQ(get_error_code(), 0x1007) << damage.what;
    EXPECT_FALSE(std::filesystem::exists(fixture.path + "beta.out")) << damage.what;
  }

  // Without the directory, a looping chain ends the lookup with the read error, not "not found", and
  // adding to such a package changes nothing.
  std::vector<INT_U8> bytes = fixture.good;
  put_u32(bytes, gamma + 4 + 5 + 8, alpha);
  ASSERT_TRUE(write_whole_file(fixture.path + "loop.pkg", bytes));
  {
    PACKAGE package(&fixture.folder, "loop.pkg", false, -1, false, false);
    ASSERT_NE(package.file, nullptr);
    PACKAGE_ENTRY entry;
    EXPECT_FALSE(package.find_entry("missing", &entry));
    EXPECT_EQ(get_error_code(), 0x1007);
    EXPECT_FALSE(package.extract_entry(&fixture.folder, "out", "missing"));
    EXPECT_EQ(get_error_code(), 0x1007);
    EXPECT_FALSE(package.add_file(&fixture.folder, "alpha", "new", false));
    EXPECT_EQ(get_error_code(), 0x1007);
  }
  EXPECT_EQ(read_whole_file(fixture.path + "loop.pkg"), bytes);

  // A root whose last entry is not the end of the chain: the new entry goes after the real end, so
  // that no entry is cut off.
  bytes = fixture.good;
  put_u32(bytes, 26 + 12, alpha);
  ASSERT_TRUE(write_whole_file(fixture.path + "last.pkg", bytes));
  {
    PACKAGE package(&fixture.folder, "last.pkg", false, -1, false, false);
    ASSERT_NE(package.file, nullptr);
    EXPECT_TRUE(package.add_file(&fixture.folder, "alpha", "new", false));
    PACKAGE_ENTRY entry;
    EXPECT_TRUE(package.find_entry("gamma", &entry));
    EXPECT_EQ(entry.next_entry, package.root.last_entry);
    EXPECT_TRUE(package.find_entry("new", &entry));
  }

  // A free list that leaves the file, loops, or ends elsewhere than its stated tail would hand out
  // blocks in use: the package opens for reading only. Replacing an entry whose chain loops is refused
  // before the chain reaches the free list.
  struct FREE_DAMAGE {
    const char* what;
    INT_U32 next;
    INT_U32 last;
  };
  INT_U32 gamma_block = fixture.first_block(2);
  for (const FREE_DAMAGE& damage : {FREE_DAMAGE{"next outside the file", size + 64, beta_block},
                                    FREE_DAMAGE{"loops", beta_block, beta_block},
                                    FREE_DAMAGE{"ends before its tail", 0, gamma_block}}) {
    bytes = fixture.good;
    put_u32(bytes, 18, beta_block);
    put_u32(bytes, 22, damage.last);
    put_u32(bytes, beta_block, damage.next);
    ASSERT_TRUE(write_whole_file(fixture.path + "free.pkg", bytes));
    for (bool loaded : {false, true}) {
      PACKAGE package(&fixture.folder, "free.pkg", false, -1, loaded, false);
      EXPECT_EQ(package.file, nullptr) << damage.what;
      EXPECT_EQ(get_error_code(), 0x1007) << damage.what;
    }
    EXPECT_NE(PACKAGE(&fixture.folder, "free.pkg", false, -1, false, true).file, nullptr) << damage.what;
    EXPECT_EQ(read_whole_file(fixture.path + "free.pkg"), bytes) << damage.what;
  }
  bytes = fixture.good;
  put_u32(bytes, beta_block, beta_block);
  ASSERT_TRUE(write_whole_file(fixture.path + "chain.pkg", bytes));
  {
    PACKAGE package(&fixture.folder, "chain.pkg", false, -1, false, false);
    ASSERT_NE(package.file, nullptr);
    EXPECT_FALSE(package.add_file(&fixture.folder, "alpha", "beta.bin", true));
    EXPECT_EQ(get_error_code(), 0x1007);
  }
  EXPECT_EQ(read_whole_file(fixture.path + "chain.pkg"), bytes);
}

// A package past 2 GiB (here sparse: the real package with a hole after it) cannot be reached through
// its 32-bit positions: it is refused when it opens, never read with positions that do not move the
// file, and a package never grows past that size.
TEST(PackageDamage, PackagesPastTheirAddressableSizeAreRefused) {
  FIXTURE fixture("pkgd-large");
  ASSERT_TRUE(write_whole_file(fixture.path + "large.pkg", fixture.good));
  std::filesystem::resize_file(fixture.path + "large.pkg", PACKAGE_LARGEST_SIZE + 2);  // body 2 GiB
  for (int mode = 0; mode < 4; ++mode) {
    PACKAGE package(&fixture.folder, "large.pkg", false, -1, mode & 1, mode & 2);
    EXPECT_EQ(package.file, nullptr) << mode;
    EXPECT_EQ(get_error_code(), 0x1007) << mode;
  }
  EXPECT_FALSE(std::filesystem::exists(fixture.path + "out"));
  EXPECT_EQ(std::filesystem::file_size(fixture.path + "large.pkg"), PACKAGE_LARGEST_SIZE + 2);
  // Just within the size it opens and its entries read as before.
  std::filesystem::resize_file(fixture.path + "large.pkg", PACKAGE_LARGEST_SIZE + 1);
  {
    PACKAGE package(&fixture.folder, "large.pkg", false, -1, true, true);
    ASSERT_NE(package.file, nullptr);
    ASSERT_TRUE(package.extract_entry(&fixture.folder, "out", "beta.bin"));
    EXPECT_EQ(read_whole_file(fixture.path + "out"), fixture.contents[1]);
  }
  // Adding to it would take it past the size: refused, the file as it was.
  {
    PACKAGE package(&fixture.folder, "large.pkg", false, -1, false, false);
    ASSERT_NE(package.file, nullptr);
    EXPECT_FALSE(package.add_file(&fixture.folder, "alpha", "more", false));
    EXPECT_EQ(get_error_code(), 0x1008);
  }
  EXPECT_EQ(std::filesystem::file_size(fixture.path + "large.pkg"), PACKAGE_LARGEST_SIZE + 1);
  std::filesystem::remove(fixture.path + "large.pkg");
}

TEST(PackageDamage, RandomByteChangesNeverCrashOrChangeTheFile) {
  FIXTURE fixture("pkgd-random");
  INT_U32 state = 4242;
  auto next = [&state](INT_U32 range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  for (int round = 0; round < 150; ++round) {
    std::vector<INT_U8> bytes = fixture.good;
    int changes = 1 + static_cast<int>(next(3));
    for (int change = 0; change < changes; ++change) {
      INT_U32 at = next(static_cast<INT_U32>(bytes.size()));
      bytes[at] = next(4) == 0 ? 0xFF : static_cast<INT_U8>(bytes[at] ^ (1u << next(8)));
    }
    // Changed data bytes give changed data (the format has no checksums): only the outcome is checked.
    fixture.check(bytes, "round " + std::to_string(round), false);
    if (testing::Test::HasFailure()) break;
  }
}
