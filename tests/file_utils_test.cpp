// Tests of the file and folder utilities: folder listings (kinds, hidden entries, appending), emptying a
// folder (never through a link), free temporary names and the display form of file times.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <set>
#include <string>

#include "file_utils.h"
#include "host.h"
#include "test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

std::string in(const FOLDER& folder, const std::string& name) { return std::string(folder.path) + PATH_SEPARATOR + name; }

std::set<std::string> names_of(const DIRECTORY_ENTRY* entries, INT_S32 count) {
  std::set<std::string> names;
  for (INT_S32 i = 0; i < count; i++) names.insert(entries[i].name);
  return names;
}

typedef std::set<std::string> NAMES;

}  // namespace

TEST(FileUtils, ListsFilesOrFolders) {
  FOLDER folder = scratch_folder("utils-list");
  DIRECTORY_ENTRY* entries = reinterpret_cast<DIRECTORY_ENTRY*>(1);
  INT_S32 count = 9;
  list_directory(&folder, false, false, false, &entries, &count, nullptr, 0, 10, 5);
  EXPECT_EQ(nullptr, entries);
  EXPECT_EQ(0, count);

  ASSERT_TRUE(write_whole_file(in(folder, "a.png"), {1, 2, 3}));
  ASSERT_TRUE(write_whole_file(in(folder, "b.txt"), {}));
  FILE* hidden = open_file(&folder, ".h.png", "wb");
  ASSERT_NE(nullptr, hidden);
  close_file(hidden);
  FOLDER sub = folder;
  ASSERT_TRUE(sub.enter("sub.png", true));
  ASSERT_TRUE(set_file_attributes(&folder, "b.txt", FILE_INFO_READ_ONLY));

  list_directory(&folder, false, false, false, &entries, &count, nullptr, 0, 1, 1);
  EXPECT_EQ((NAMES{"a.png", "b.txt"}), names_of(entries, count));
  for (INT_S32 i = 0; i < count; i++) {
    EXPECT_STREQ(folder.path, entries[i].folder.path);
    EXPECT_EQ(0, entries[i].is_folder);
    bool is_a = std::string(entries[i].name) == "a.png";
    EXPECT_EQ(is_a ? 3u : 0u, entries[i].size);
#ifdef _WIN32
    EXPECT_EQ(is_a ? 0 : 1, entries[i].read_only);
#endif
    EXPECT_GT(entries[i].modified, 0);
  }
  free_directory_list(&entries);
  EXPECT_EQ(nullptr, entries);
  free_directory_list(&entries);

  list_directory(&folder, true, true, false, &entries, &count, nullptr, 0, 10, 5);
  ASSERT_EQ(1, count);
  EXPECT_STREQ("sub.png", entries[0].name);
  EXPECT_EQ(1, entries[0].is_folder);
  free_directory_list(&entries);

  // Sub-folders pass whatever the pattern; hidden files only when asked for.
  list_directory(&folder, true, false, false, &entries, &count, ".txt", SCAN_ENDS_WITH, 10, 5);
  EXPECT_EQ((NAMES{"sub.png"}), names_of(entries, count));
  free_directory_list(&entries);
  list_directory(&folder, false, true, false, &entries, &count, ".PNG", SCAN_ENDS_WITH_NO_CASE, 10, 5);
  EXPECT_EQ((NAMES{"a.png", ".h.png"}), names_of(entries, count));

  // Appending adds to the end of the caller's array.
  list_directory(&folder, true, false, true, &entries, &count, nullptr, 0, 10, 5);
  ASSERT_EQ(3, count);
  EXPECT_STREQ("sub.png", entries[2].name);
  free_directory_list(&entries);
  set_file_attributes(&folder, "b.txt", FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE);

  FOLDER missing = folder;
  strcat(missing.path, "-missing");
  list_directory(&missing, false, false, false, &entries, &count, nullptr, 0, 10, 5);
  EXPECT_EQ(nullptr, entries);
  EXPECT_EQ(0, count);
}

TEST(FileUtils, EmptyFolder) {
  FOLDER folder = scratch_folder("utils-empty");
  FOLDER inner = folder;
  ASSERT_TRUE(inner.enter("inner", true));
  FOLDER deep = inner;
  ASSERT_TRUE(deep.enter("a", true) && deep.enter("b", true));
  ASSERT_TRUE(write_whole_file(in(deep, "f"), {1}));
  ASSERT_TRUE(write_whole_file(in(inner, "g"), {1}));
  FILE* hidden = open_file(&inner, ".hidden", "wb");
  ASSERT_NE(nullptr, hidden);
  close_file(hidden);
  ASSERT_TRUE(write_whole_file(in(folder, "keep"), {1}));
  // A name whose system text passes 255 bytes (100 Cyrillic letters: five bytes each) goes too.
  std::string long_name;
  for (int i = 0; i < 100; i++) long_name += "\xD0\x96";
  ASSERT_TRUE(write_whole_file(in(inner, long_name), {2}));

  EXPECT_FALSE(empty_folder(&folder, "no-such"));
  EXPECT_TRUE(file_exists(&folder, "keep"));
  EXPECT_FALSE(empty_folder(nullptr, nullptr));

#ifndef _WIN32
  // A link to a folder elsewhere is removed, never emptied through.
  FOLDER outside = scratch_folder("utils-outside");
  ASSERT_TRUE(write_whole_file(in(outside, "precious"), {7}));
  ASSERT_EQ(0, symlink(outside.path, in(inner, "link").c_str()));
#endif

  EXPECT_TRUE(empty_folder(&folder, "inner"));
  EXPECT_TRUE(FOLDER::is_folder(inner.path));
  DIRECTORY_ENTRY* entries = nullptr;
  INT_S32 count = 0;
  list_directory(&inner, false, true, false, &entries, &count, nullptr, 0, 10, 5);
  EXPECT_EQ(0, count);
  list_directory(&inner, true, true, true, &entries, &count, nullptr, 0, 10, 5);
  EXPECT_EQ(0, count);
  free_directory_list(&entries);
  EXPECT_TRUE(file_exists(&folder, "keep"));
#ifndef _WIN32
  EXPECT_EQ((std::vector<INT_U8>{7}), read_whole_file(in(outside, "precious")));
#endif

#ifndef _WIN32
  // Named as the folder to empty or remove, a link is never followed: emptying through it is refused,
  // and removing it removes the link alone.
  ASSERT_EQ(0, symlink(outside.path, in(folder, "named-link").c_str()));
  EXPECT_TRUE(is_link(&folder, "named-link"));
  EXPECT_FALSE(is_link(&folder, "inner"));
  EXPECT_FALSE(empty_folder(&folder, "named-link"));
  EXPECT_TRUE(remove_folder(&folder, "named-link", 1));
  EXPECT_FALSE(std::filesystem::exists(in(folder, "named-link")));
  EXPECT_EQ((std::vector<INT_U8>{7}), read_whole_file(in(outside, "precious")));
#endif

  EXPECT_TRUE(empty_folder(&folder, nullptr));
  EXPECT_FALSE(file_exists(&folder, "keep"));
  EXPECT_FALSE(FOLDER::is_folder(inner.path));
  EXPECT_TRUE(FOLDER::is_folder(folder.path));
}

TEST(FileUtils, UniqueNames) {
  FOLDER folder = scratch_folder("utils-unique");
  char name[256];
  EXPECT_FALSE(folder.make_unique_name(name, 12, ".tmp"));
  EXPECT_FALSE(folder.make_unique_name(nullptr, 13, ".tmp"));
  EXPECT_FALSE(folder.make_unique_name(name, 13, nullptr));
  ASSERT_TRUE(folder.make_unique_name(name, 13, ".tmp"));
  ASSERT_EQ(12u, strlen(name));
  EXPECT_STREQ(".tmp", name + 8);
  for (int i = 0; i < 8; i++) EXPECT_TRUE(strchr("0123456789ABCDEF", name[i])) << name;

  // Names taken by files and sub-folders are passed over.
  INT_U32 now = get_tick_count();
  std::set<std::string> taken;
  for (INT_U32 n = now; n < now + 300; n++) {
    char taken_name[32];
    snprintf(taken_name, sizeof taken_name, "%08X.tmp", static_cast<unsigned>(n));
    taken.insert(taken_name);
    if (n % 7 == 0) {
      FOLDER sub = folder;
      ASSERT_TRUE(sub.enter(taken_name, true));
    } else {
      ASSERT_TRUE(write_whole_file(in(folder, taken_name), {}));
    }
  }
  ASSERT_TRUE(folder.make_unique_name(name, 13, ".tmp"));
  EXPECT_EQ(0u, taken.count(name)) << name;
  EXPECT_FALSE(file_exists(&folder, name));
  unsigned value = 0;
  ASSERT_EQ(1, sscanf(name, "%08X", &value));
  EXPECT_GE(value, now);
}

TEST(FileUtils, FileTimes) {
  FILE_INFO info = {};
#ifndef _WIN32
  set_environment("TZ", "UTC");
  tzset();
  info.time = 0;
  EXPECT_STREQ("Thu Jan  1 00:00:00 1970", format_file_time(&info));
  info.time = 1000000000;
  EXPECT_STREQ("Sun Sep  9 01:46:40 2001", format_file_time(&info));
  // A new zone counts from the next call, as with ctime, without tzset being called.
  set_environment("TZ", "XYZ-2");
  EXPECT_STREQ("Sun Sep  9 03:46:40 2001", format_file_time(&info));
  info.time = 1000000000 + 20 * 86400;
  EXPECT_STREQ("Sat Sep 29 03:46:40 2001", format_file_time(&info));
  set_environment("TZ", "UTC");
  EXPECT_STREQ("Sat Sep 29 01:46:40 2001", format_file_time(&info));
  // Times are whole: past 2106 and before 1970 too.
  info.time = 7258118400LL;
  EXPECT_STREQ("Wed Jan  1 00:00:00 2200", format_file_time(&info));
  info.time = -315619200LL;
  EXPECT_STREQ("Fri Jan  1 00:00:00 1960", format_file_time(&info));
#endif
  info.time = 4433616000LL;  // July 2110, in every zone
  EXPECT_EQ(std::string(format_file_time(&info)).substr(20), "2110");
  info.time = static_cast<INT_U32>(time(nullptr));
  EXPECT_EQ(24u, strlen(format_file_time(&info)));
  EXPECT_STREQ("", format_file_time(nullptr));
}
