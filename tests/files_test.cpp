// Tests of the host layer's files, folders and drives: joined paths, file operations and their refusals,
// file information, directory scans, system folders and drive roots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "config_file.h"
#include "data_file.h"
#include "file_utils.h"
#include "files.h"
#include "image.h"
#include "style_set.h"
#include "text_file.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// A close made to fail, as a network share's delayed write or a quota fails it: the stream is closed
// all the same, and its close reports the failure.
static bool fail_next_close = false;

#ifdef _WIN32
// While watched, each close notes whether another handle of the stream's file outlived it: an open that
// shares nothing then fails.
static bool watch_closes = false;
static int closes_watched = 0, closes_not_last = 0;

static void watch_close(const WCHAR* path) {
  DWORD failure = GetLastError();
  closes_watched++;
  HANDLE alone = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (alone != INVALID_HANDLE_VALUE) CloseHandle(alone);
  else if (GetLastError() == ERROR_SHARING_VIOLATION) closes_not_last++;
  SetLastError(failure);
}
#endif

extern "C" int fclose(FILE* file) {
#ifdef _WIN32
  WCHAR path[4 * MAX_PATH] = L"";
  if (watch_closes) {
    DWORD length = GetFinalPathNameByHandleW((HANDLE)_get_osfhandle(_fileno(file)), path, 4 * MAX_PATH, 0);
    if (length == 0 || length >= 4 * MAX_PATH) path[0] = 0;
  }
#endif
  int closed = real_fclose(file);
#ifdef _WIN32
  if (path[0]) watch_close(path);
#endif
  if (!fail_next_close) return closed;
  fail_next_close = false;
  errno = EIO;
  return EOF;
}

// The rename that never replaces refused with this cause (0: not refused): EINVAL of a file system
// without it, EPERM of a filter of system calls; and a file system without hard links either (link
// refused with EPERM): Linux only.
static int refused_rename = 0;
static bool no_hard_links = false;

#ifndef _WIN32

extern "C" long syscall(long number, ...) noexcept {
  static auto next = reinterpret_cast<long (*)(long, ...)>(dlsym(RTLD_NEXT, "syscall"));
  va_list list;
  va_start(list, number);
  long arguments[6];
  for (long& argument : arguments) argument = va_arg(list, long);
  va_end(list);
  if (number == SYS_renameat2 && refused_rename) {
    errno = refused_rename;
    return -1;
  }
  return next(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4], arguments[5]);
}

extern "C" int link(const char* from, const char* to) noexcept {
  static auto next = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "link"));
  if (!no_hard_links) return next(from, to);
  errno = EPERM;
  return -1;
}
#endif

namespace {

std::string in(const std::string& folder, const std::string& name) { return folder + PATH_SEPARATOR + name; }
std::string in(const FOLDER& folder, const std::string& name) { return in(std::string(folder.path), name); }

}  // namespace

TEST(Files, EnterGoUpAndJoinedPaths) {
  FOLDER base = scratch_folder("files-enter");
  FOLDER folder = base;
  EXPECT_FALSE(folder.enter("missing"));
  EXPECT_STREQ(folder.path, base.path);
  EXPECT_FALSE(folder.enter(nullptr, true));
  ASSERT_TRUE(folder.enter("a", true));
  EXPECT_EQ(in(base, "a"), folder.path);
  ASSERT_TRUE(folder.enter("b", true));
  EXPECT_STREQ("b", folder.get_name());
  EXPECT_EQ(in(in(base, "a"), "b") + PATH_SEPARATOR + "f", folder.get_path_text("f"));
  ASSERT_TRUE(folder.go_up());
  EXPECT_EQ(in(base, "a"), folder.path);

  // A trailing separator gives the same joined paths.
  FOLDER trailing = folder;
  strcat(trailing.path, std::string(1, PATH_SEPARATOR).c_str());
  FILE* file = open_file(&trailing, "x.bin", "wb");
  ASSERT_NE(nullptr, file);
  close_file(file);
  EXPECT_TRUE(file_exists(&folder, "x.bin"));
  EXPECT_TRUE(delete_file(&trailing, "x.bin"));
  EXPECT_FALSE(file_exists(&folder, "x.bin"));
  EXPECT_FALSE(file_exists(&folder, nullptr));
  EXPECT_TRUE(FOLDER::is_folder(folder.path));
  EXPECT_FALSE(FOLDER::is_folder(in(folder, "none").c_str()));
  // Its path text has no trailing separator, and going up drops it first.
  EXPECT_STREQ(trailing.get_path_text(nullptr), folder.path);
  ASSERT_TRUE(trailing.go_up());
  EXPECT_STREQ(trailing.path, base.path);
}

TEST(Files, GoUpEndsAtTheDriveRoot) {
  FOLDER folder = scratch_folder("files-up");
  int steps = 0;
  while (folder.go_up()) steps++;
  EXPECT_GT(steps, 0);
  EXPECT_STREQ(get_drive_root_text(get_drive_index(&folder)), folder.path);
#ifdef _WIN32
  EXPECT_EQ(3u, strlen(folder.path));
  EXPECT_EQ(':', folder.path[1]);
  EXPECT_EQ('\\', folder.path[2]);
#else
  EXPECT_STREQ("/", folder.path);
#endif
  EXPECT_FALSE(folder.go_up());
  // The root keeps its separator in its path text, and a name joins it without a second one.
  EXPECT_STREQ(folder.get_path_text(nullptr), folder.path);
  EXPECT_EQ(std::string(folder.get_path_text("x")), std::string(folder.path) + "x");
}

TEST(Files, OpenFileCreatesOnlyMissingFilesForUpdate) {
  FOLDER folder = scratch_folder("files-open");
  EXPECT_EQ(nullptr, open_file(&folder, "none.bin", "rb"));
  FILE* file = open_file(&folder, "new.bin", "r+b");
  ASSERT_NE(nullptr, file);
  close_file(file);
  EXPECT_TRUE(file_exists(&folder, "new.bin"));

  // An existing file that cannot be opened for update is never recreated (truncated).
  {
    ASSERT_TRUE(write_whole_file(in(folder, "kept.bin"), {1, 2, 3}));
    ASSERT_TRUE(set_file_attributes(&folder, "kept.bin", FILE_INFO_READ_ONLY));
    // A superuser (also under Wine) may open read-only files for writing; then only the bytes count.
    FILE* probe = fopen(in(folder, "kept.bin").c_str(), "r+b");
    bool enforced = probe == nullptr;
    if (probe) fclose(probe);
    for (const char* mode : {"r+b", "r+"}) {
      FILE* update = open_file(&folder, "kept.bin", mode);
      if (enforced) {
        EXPECT_EQ(nullptr, update);
      }
      close_file(update);
    }
    EXPECT_EQ((std::vector<INT_U8>{1, 2, 3}), read_whole_file(in(folder, "kept.bin")));
    FILE_INFO info;
    ASSERT_TRUE(get_file_info(&folder, "kept.bin", &info));
    EXPECT_EQ(FILE_INFO_READ_ONLY, info.mode & ~FILE_INFO_ARCHIVE);
    ASSERT_TRUE(set_file_attributes(&folder, "kept.bin", FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE));
    ASSERT_TRUE(get_file_info(&folder, "kept.bin", &info));
    EXPECT_EQ(FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE, info.mode & ~FILE_INFO_ARCHIVE);
  }

  // Names beginning with a point are hidden once written.
  file = open_file(&folder, ".hidden", "wb");
  ASSERT_NE(nullptr, file);
  close_file(file);
  FILE_INFO info;
  ASSERT_TRUE(get_file_info(&folder, ".hidden", &info));
  EXPECT_EQ(1, info.hidden_or_system);
}

TEST(Files, OverLongPathsFail) {
  FOLDER folder = scratch_folder("files-long");
  std::string name(FOLDER_PATH_SIZE, 'n');
  EXPECT_EQ(nullptr, open_file(&folder, name.c_str(), "wb"));
  EXPECT_EQ(nullptr, open_file(&folder, name.c_str(), "r+b"));
  EXPECT_FALSE(file_exists(&folder, name.c_str()));
  EXPECT_FALSE(delete_file(&folder, name.c_str()));
  FILE_INFO info;
  EXPECT_FALSE(get_file_info(&folder, name.c_str(), &info));
  FOLDER before = folder;
  EXPECT_FALSE(folder.enter(name.c_str(), true));
  EXPECT_STREQ(before.path, folder.path);
  EXPECT_EQ(nullptr, folder.get_path_text(name.c_str()));
  EXPECT_FALSE(rename_file(&folder, "a", &folder, name.c_str()));
  EXPECT_FALSE(copy_file(&folder, name.c_str(), &folder, "b"));
}

TEST(Files, RenameMovesButNeverReplacesAndCopyReplaces) {
  FOLDER folder = scratch_folder("files-rename");
  FOLDER sub = folder;
  ASSERT_TRUE(sub.enter("sub", true));
  ASSERT_TRUE(write_whole_file(in(folder, "a.txt"), {'a'}));
  ASSERT_TRUE(write_whole_file(in(folder, "b.txt"), {'b'}));
  EXPECT_FALSE(rename_file(&folder, "a.txt", &folder, "b.txt"));
  EXPECT_EQ((std::vector<INT_U8>{'b'}), read_whole_file(in(folder, "b.txt")));
  EXPECT_TRUE(rename_file(&folder, "a.txt", &sub, "moved.txt"));
  EXPECT_FALSE(file_exists(&folder, "a.txt"));
  EXPECT_EQ((std::vector<INT_U8>{'a'}), read_whole_file(in(sub, "moved.txt")));
  EXPECT_TRUE(copy_file(&sub, "moved.txt", &folder, "b.txt"));
  EXPECT_EQ((std::vector<INT_U8>{'a'}), read_whole_file(in(folder, "b.txt")));
  EXPECT_FALSE(copy_file(&folder, "none", &folder, "c.txt"));

  EXPECT_FALSE(remove_folder(&folder, "sub", 0));  // not empty
  EXPECT_TRUE(remove_folder(&folder, "sub", 1));
  EXPECT_FALSE(FOLDER::is_folder(in(folder, "sub").c_str()));
  EXPECT_FALSE(remove_folder(&folder, nullptr, 0));
}

// A temporary takes its target's name whole when closed; a file renamed while open keeps taking
// writes under its new name (and can be read meanwhile); same_file tells two names of one file from
// two files.
TEST(Files, TemporariesTakeTheirNamesAndSameFileKnowsAFileByItsIdentity) {
  FOLDER folder = scratch_folder("files-temporaries");
  ASSERT_TRUE(write_whole_file(in(folder, "target.txt"), {'o', 'l', 'd'}));
  char name[TEMPORARY_NAME_SIZE];
  next_temporary_name(name);
  FILE* file = create_temporary_file(&folder, name);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(create_temporary_file(&folder, name), nullptr);  // never one that exists
  ASSERT_EQ(std::fwrite("new", 1, 3, file), 3u);
  EXPECT_TRUE(close_file_as(file, &folder, name, "target.txt"));
  EXPECT_EQ((std::vector<INT_U8>{'n', 'e', 'w'}), read_whole_file(in(folder, "target.txt")));
  EXPECT_FALSE(file_exists(&folder, name));

  file = create_new_file(&folder, "log.tmp");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite("a", 1, 1, file), 1u);
  EXPECT_TRUE(rename_open_file(file, &folder, "log.tmp", "target.txt"));
  ASSERT_EQ(std::fwrite("b", 1, 1, file), 1u);
  ASSERT_EQ(std::fflush(file), 0);
  EXPECT_EQ((std::vector<INT_U8>{'a', 'b'}), read_whole_file(in(folder, "target.txt")));
  EXPECT_TRUE(close_file(file));
  EXPECT_FALSE(file_exists(&folder, "log.tmp"));

  ASSERT_TRUE(write_whole_file(in(folder, "other.txt"), {'a', 'b'}));
#ifdef _WIN32
  ASSERT_TRUE(CreateHardLinkA(in(folder, "second.txt").c_str(), in(folder, "target.txt").c_str(), nullptr));
#else
  ASSERT_EQ(link(in(folder, "target.txt").c_str(), in(folder, "second.txt").c_str()), 0);
#endif
  EXPECT_TRUE(same_file(&folder, "target.txt", &folder, "second.txt"));
  EXPECT_FALSE(same_file(&folder, "target.txt", &folder, "other.txt"));
  EXPECT_FALSE(same_file(&folder, "target.txt", &folder, "missing.txt"));
}

// A close that fails (a network share's delayed write, a quota) leaves the name to the file that had
// it: the temporary never takes it.
TEST(Files, AFailedCloseNeverGivesTheName) {
  FOLDER folder = scratch_folder("files-close");
  ASSERT_TRUE(write_whole_file(in(folder, "data.bin"), {'o', 'l', 'd'}));
  char name[TEMPORARY_NAME_SIZE];
  FILE* file = create_next_temporary_file(&folder, name);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite("new bytes", 1, 9, file), 9u);
  fail_next_close = true;
  EXPECT_FALSE(close_file_as(file, &folder, name, "data.bin"));
  fail_next_close = false;
  EXPECT_EQ(read_whole_file(in(folder, "data.bin")), (std::vector<INT_U8>{'o', 'l', 'd'}));
}

// What has a file's name when it is closed as a temporary, by overwrite rule (files.h's table): 0
// close_file_as, 1 close_file_as_if_free with the package's time, 2 with the earliest time. Everything
// planted is dated before the package unless said. Linux also where the rename that never replaces is
// refused (a file system, a filter of system calls), and without hard links. A close that fails gives
// nothing.
TEST(Files, WhatHasTheNameIsReplacedKeptOrFailsByTheRule) {
  FOLDER folder = scratch_folder("files-contract");
  const INT_S64 package_time = 1700000000, before = 1000000000;  // 2023, 2001
  enum OUTCOME { PLACED, KEPT, FAILED };
  enum THING { NOTHING, A_FILE, READ_ONLY, HELD, HELD_SHARED, A_FOLDER, LINK, FOLDER_LINK, DANGLING };
#ifdef _WIN32
  const OUTCOME REPLACED_IF_HELD = FAILED, REPLACED_IF_LINK_TO_FOLDER = FAILED;
  const INT_U32 IN_USE = ERROR_SHARING_VIOLATION, IS_FOLDER = 336 /* ERROR_DIRECTORY_NOT_SUPPORTED */;
#else
  const OUTCOME REPLACED_IF_HELD = PLACED, REPLACED_IF_LINK_TO_FOLDER = PLACED;
  const INT_U32 IN_USE = 0, IS_FOLDER = EISDIR;
#endif
  const char* const UNIX_LINK = "a link of Linux's file system underneath, not one of Windows";
  struct CASE {
    const char* what;
    THING thing;
    INT_S64 time;        // of the file or folder planted
    OUTCOME outcome[3];  // by rule 0, 1, 2
    INT_U32 cause;       // the system's code of a failure
    const char* wine;    // what Wine cannot show of the case (it is run all the same)
  };
  const std::vector<CASE> cases = {
      {"nothing", NOTHING, 0, {PLACED, PLACED, PLACED}, 0, nullptr},
      {"a file", A_FILE, before, {PLACED, PLACED, KEPT}, 0, nullptr},
      {"a file of 1960", A_FILE, -315619200LL, {PLACED, PLACED, KEPT}, 0, nullptr},
      {"a file of 2110", A_FILE, 4417977600LL, {PLACED, KEPT, KEPT}, 0, nullptr},
      {"a file of 2200", A_FILE, 7258118400LL, {PLACED, KEPT, KEPT}, 0, nullptr},
      {"a read-only file", READ_ONLY, before, {PLACED, PLACED, KEPT}, 0, "Wine replaces it without taking its mark off"},
      {"a held file", HELD, before, {REPLACED_IF_HELD, REPLACED_IF_HELD, KEPT}, IN_USE, nullptr},
      {"a held file shared for deletion", HELD_SHARED, before, {REPLACED_IF_HELD, REPLACED_IF_HELD, KEPT}, IN_USE,
       nullptr},
      {"a folder", A_FOLDER, before, {FAILED, FAILED, KEPT}, IS_FOLDER, nullptr},
      {"a link", LINK, before, {PLACED, PLACED, KEPT}, 0, UNIX_LINK},
      {"a link to a folder", FOLDER_LINK, before, {REPLACED_IF_LINK_TO_FOLDER, REPLACED_IF_LINK_TO_FOLDER, KEPT},
       IS_FOLDER, UNIX_LINK},
      {"a dangling link", DANGLING, 0, {PLACED, PLACED, PLACED}, 0, UNIX_LINK},
  };
  FILE* holder = nullptr;
  // Plants the thing at the name (old bytes in a file; a link's target beside it): a holder is a stream
  // of the kind a second run holds its log with (Windows: shared for deletion), or the C library's.
  auto plant = [&](const CASE& example, const std::string& name) {
    std::string path = in(folder, name), target = path + " target";
    switch (example.thing) {
      case NOTHING: return true;
      case A_FOLDER: return std::filesystem::create_directory(path) && set_file_time(path, example.time);
      case FOLDER_LINK:
        return std::filesystem::create_directory(target) && set_file_time(target, example.time) &&
               plant_unix_link(target, path);
      case LINK:
        return write_whole_file(target, {'o'}) && set_file_time(target, example.time) && plant_unix_link(target, path);
      case DANGLING:  // a link waited for by what it leads to, which then goes
        return write_whole_file(path + " nowhere", {'o'}) && plant_unix_link(path + " nowhere", path) &&
               std::remove((path + " nowhere").c_str()) == 0;
      case HELD_SHARED:
        holder = create_new_file(&folder, name.c_str());
        return holder && std::fputc('o', holder) != EOF && std::fflush(holder) == 0 && set_file_time(path, example.time);
      default: break;
    }
    if (!write_whole_file(path, {'o'}) || !set_file_time(path, example.time)) return false;
    if (example.thing == HELD) holder = open_file(&folder, name.c_str(), "rb");
    return example.thing == READ_ONLY ? set_file_attributes(&folder, name.c_str(), 0)
                                      : example.thing != HELD || holder != nullptr;
  };
#ifdef _WIN32
  const std::vector<std::pair<int, bool>> kinds = {{0, false}};
#else
  const std::vector<std::pair<int, bool>> kinds = {{0, false}, {EINVAL, false}, {EPERM, false}, {EPERM, true}};
#endif
  const std::vector<INT_U8> written = {'n', 'e', 'w'}, old = {'o'};
  for (const auto& kind : kinds) {
    refused_rename = kind.first;
    no_hard_links = kind.second;
    for (const CASE& example : cases) {
      if (example.wine == UNIX_LINK && !unix_links_possible()) continue;
      for (int rule = 0; rule < 3; rule++) {
        const std::string name = std::string(example.what) + " " + std::to_string(rule) + " " +
                                 std::to_string(kind.first) + (kind.second ? " no links" : "");
        SCOPED_TRACE(name + (example.wine ? std::string(" (under Wine: ") + example.wine + ")" : std::string()));
        ASSERT_TRUE(plant(example, name));
        char temporary[TEMPORARY_NAME_SIZE];
        FILE* file = create_next_temporary_file(&folder, temporary);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite("new", 1, 3, file), 3u);
        forget_file_failure();
        CLOSE_AS_RESULT result =
            rule == 0 ? (close_file_as(file, &folder, temporary, name.c_str()) ? CLOSE_AS_PLACED : CLOSE_AS_FAILED)
                      : close_file_as_if_free(file, &folder, temporary, name.c_str(),
                                              rule == 1 ? package_time : EARLIEST_FILE_TIME);
        INT_U32 cause = file_failure_code();
        close_file(holder);
        holder = nullptr;
        const OUTCOME outcome = example.outcome[rule];
        EXPECT_EQ(result, outcome == PLACED ? CLOSE_AS_PLACED : outcome == KEPT ? CLOSE_AS_NAME_KEPT : CLOSE_AS_FAILED);
        if (outcome == FAILED) {
          EXPECT_EQ(cause, example.cause);
        }
        // A failure may leave the temporary, for its caller to remove.
        if (result == CLOSE_AS_FAILED) delete_file(&folder, temporary);
        EXPECT_FALSE(file_exists(&folder, temporary));
        if (outcome == PLACED || !FOLDER::is_folder(in(folder, name).c_str())) {
          EXPECT_EQ(read_whole_file(in(folder, name)), outcome == PLACED ? written : old);
        }
        // What a link leads to is never written, nor made.
        if (example.thing == LINK) {
          EXPECT_EQ(read_whole_file(in(folder, name + " target")), old);
        }
        EXPECT_FALSE(file_exists(&folder, (name + " nowhere").c_str()));
        set_file_attributes(&folder, name.c_str(), FILE_INFO_WRITABLE);
      }
    }
  }
  refused_rename = 0;
  no_hard_links = false;
  // A close that fails gives no name, free or not.
  for (const char* target : {"a file 0 0", "failed.bin"}) {
    char temporary[TEMPORARY_NAME_SIZE];
    FILE* file = create_next_temporary_file(&folder, temporary);
    ASSERT_NE(file, nullptr);
    fail_next_close = true;
    EXPECT_EQ(close_file_as_if_free(file, &folder, temporary, target, 7258118400LL), CLOSE_AS_FAILED);
    fail_next_close = false;
    delete_file(&folder, temporary);
  }
  EXPECT_EQ(read_whole_file(in(folder, "a file 0 0")), written);
  EXPECT_FALSE(file_exists(&folder, "failed.bin"));
}

// A run's own temporaries are the names it gave out and made: what has this process's number but was
// not given out by this run, or was found taken when this run tried to make it, is an ended run's (under
// Wine every server's first process has the same number) and goes; this run's own stay.
TEST(Files, ARunsOwnTemporariesAreTheNamesItGaveOutAndMade) {
  FOLDER folder = scratch_folder("files-own-temporaries");
  char given[TEMPORARY_NAME_SIZE];
  next_temporary_name(given);
  unsigned process = 0, count = 0;
  ASSERT_EQ(std::sscanf(given, "~velk%08X-%08X.tmp", &process, &count), 2);
  auto named = [&](unsigned number) {
    char name[TEMPORARY_NAME_SIZE];
    std::snprintf(name, sizeof name, "~velk%08X-%08X.tmp", process, number);
    return std::string(name);
  };
  // An ended run's at the next count, which this run then finds taken; one at a count never given out.
  const std::string taken = named(count + 1), never_given = named(count + 0x40000000u);
  ASSERT_TRUE(write_whole_file(in(folder, taken), {'d'}));
  ASSERT_TRUE(write_whole_file(in(folder, never_given), {'d'}));
  ASSERT_TRUE(write_whole_file(in(folder, given), {'o'}));  // given out: this run's, whatever wrote it
  char writing[TEMPORARY_NAME_SIZE];
  FILE* file = create_next_temporary_file(&folder, writing);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::string(writing), named(count + 2));
  std::set<std::string> removed;
  auto note = [](const FOLDER*, const char* name, const char* kept_cause, void* user) {
    if (!kept_cause) static_cast<std::set<std::string>*>(user)->insert(name);
  };
  EXPECT_EQ(remove_stale_temporaries(&folder, note, &removed), 2);
  EXPECT_EQ(removed, (std::set<std::string>{taken, never_given}));
  EXPECT_TRUE(file_exists(&folder, given));
  EXPECT_TRUE(file_exists(&folder, writing));
  EXPECT_TRUE(close_file(file));
  EXPECT_EQ(remove_stale_temporaries(&folder), 0);
  EXPECT_TRUE(file_exists(&folder, writing));
}

#ifdef _WIN32
// The close that decides whether a temporary takes its name is the file's last: no other handle of it
// outlives the stream (the file system takes in a network share's delayed writes when the last one
// closes), whether the name was free or the file replaces another.
TEST(Files, TheCheckedCloseOfATemporaryIsItsLast) {
  FOLDER folder = scratch_folder("files-last-close");
  ASSERT_TRUE(write_whole_file(in(folder, "taken.bin"), {'o', 'l', 'd'}));
  for (const char* target : {"free.bin", "taken.bin"}) {
    char name[TEMPORARY_NAME_SIZE];
    FILE* file = create_next_temporary_file(&folder, name);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite("new", 1, 3, file), 3u);
    closes_watched = closes_not_last = 0;
    watch_closes = true;
    EXPECT_TRUE(close_file_as(file, &folder, name, target));
    watch_closes = false;
    EXPECT_EQ(closes_watched, 1) << target;
    EXPECT_EQ(closes_not_last, 0) << target;
    EXPECT_EQ(read_whole_file(in(folder, target)), (std::vector<INT_U8>{'n', 'e', 'w'}));
    EXPECT_FALSE(file_exists(&folder, name));
  }
}
#endif

TEST(Files, FileInformation) {
  FOLDER folder = scratch_folder("files-info");
  ASSERT_TRUE(write_whole_file(in(folder, "five.bin"), {1, 2, 3, 4, 5}));
  FILE_INFO info;
  EXPECT_FALSE(get_file_info(&folder, "none", &info));
  ASSERT_TRUE(get_file_info(&folder, "five.bin", &info));
  EXPECT_EQ(0, info.is_folder);
  EXPECT_EQ(0, info.hidden_or_system);
  EXPECT_EQ(5u, info.size);
  EXPECT_EQ(FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE, info.mode & ~FILE_INFO_ARCHIVE);
  INT_U32 now = static_cast<INT_U32>(time(nullptr));
  EXPECT_LE(info.time, now + 5);
  EXPECT_GE(info.time + 600, now);
  FOLDER parent = folder;
  ASSERT_TRUE(parent.go_up());
  ASSERT_TRUE(get_file_info(&parent, folder.get_name(), &info));
  EXPECT_EQ(1, info.is_folder);
  // The time reads as ctime does, without the line feed.
  std::string text = format_file_time(&info);
  EXPECT_EQ(24u, text.size());
}

// Only plain files count as regular: what a program may remove again after writing it.
TEST(Files, RegularFilesAreOnlyPlainFiles) {
  FOLDER folder = scratch_folder("files-regular");
  ASSERT_TRUE(write_whole_file(in(folder, "plain.bin"), {1, 2, 3}));
  FOLDER sub = folder;
  ASSERT_TRUE(sub.enter("sub", true));
  EXPECT_TRUE(is_regular_file(&folder, "plain.bin"));
  EXPECT_FALSE(is_regular_file(&folder, "sub"));
  EXPECT_FALSE(is_regular_file(&folder, "missing"));
  EXPECT_FALSE(is_regular_file(nullptr, "plain.bin"));
#ifndef _WIN32
  ASSERT_EQ(symlink(in(folder, "plain.bin").c_str(), in(folder, "link").c_str()), 0);
  EXPECT_FALSE(is_regular_file(&folder, "link"));
  FOLDER devices;
  ASSERT_TRUE(devices.set_if_folder("/dev"));
  EXPECT_FALSE(is_regular_file(&devices, "null"));
#endif
}

TEST(Files, ScanMatchesByModeAndSkipsDotEntries) {
  FOLDER folder = scratch_folder("files-scan");
  for (const char* name : {"a.png", "B.PNG", "c.txt", "png", "image.png.txt"})
    ASSERT_TRUE(write_whole_file(in(folder, name), {0}));
  FOLDER sub = folder;
  ASSERT_TRUE(sub.enter("sub.dir", true));
  FILE* file = open_file(&folder, ".h.png", "wb");
  ASSERT_NE(nullptr, file);
  close_file(file);

  auto scan_names = [&](const char* pattern, INT_U32 mode, INT_U8 hidden, INT_U8 match_folders) {
    std::set<std::string> names;
    DIRECTORY_SCAN* scan = open_directory_scan(&folder, pattern, hidden, mode, match_folders);
    EXPECT_NE(nullptr, scan);
    if (!scan) return names;
    SCAN_ENTRY entry;
    while (read_directory_scan(scan, &entry)) {
      EXPECT_EQ(&folder, entry.folder);
      EXPECT_EQ(std::string(entry.name) == "sub.dir" ? 1 : 0, entry.is_folder);
      names.insert(entry.name);
    }
    close_directory_scan(scan);
    return names;
  };
  using NAMES = std::set<std::string>;
  EXPECT_EQ((NAMES{"a.png", "B.PNG", "sub.dir"}), scan_names(".png", SCAN_ENDS_WITH_NO_CASE, 0, 0));
  EXPECT_EQ((NAMES{"a.png"}), scan_names(".png", SCAN_ENDS_WITH, 0, 1));
  EXPECT_EQ((NAMES{"a.png", "B.PNG", ".h.png"}), scan_names(".png", SCAN_ENDS_WITH_NO_CASE, 1, 1));
  EXPECT_EQ((NAMES{"a.png", "B.PNG", "c.txt", "png", "image.png.txt", "sub.dir"}), scan_names(nullptr, 0, 0, 1));
  EXPECT_EQ((NAMES{"image.png.txt"}), scan_names("IMA", SCAN_BEGINS_WITH_NO_CASE, 0, 1));
  EXPECT_EQ((NAMES{}), scan_names("IMA", SCAN_BEGINS_WITH, 0, 1));
  EXPECT_EQ((NAMES{"a.png", "B.PNG", "png", "image.png.txt"}), scan_names("PNG", SCAN_CONTAINS_NO_CASE, 0, 1));
  EXPECT_EQ((NAMES{"png"}), scan_names("png", SCAN_EQUALS, 0, 1));
  EXPECT_EQ((NAMES{"png"}), scan_names("PNG", SCAN_EQUALS_NO_CASE, 0, 1));
  EXPECT_EQ((NAMES{"a.png"}), scan_names(".png", 99, 0, 1));  // unknown modes act as ends-with
  // A pattern longer than the name never matches the ends-with modes.
  EXPECT_EQ((NAMES{}), scan_names("xa.png", SCAN_ENDS_WITH, 0, 1));

  FOLDER missing = folder;
  strcat(missing.path, "-missing");
  EXPECT_EQ(nullptr, open_directory_scan(&missing, nullptr, 0, 0, 0));
  EXPECT_EQ(nullptr, open_directory_scan(&folder, std::string(256, 'p').c_str(), 0, 0, 0));
}

#ifndef _WIN32
// A scan reports a link as what it points to, except that a link to a folder is a file (of the link's
// own size), and a link pointing nowhere is listed with its own status.
TEST(Files, ScanReportsLinksByWhatTheyPointTo) {
  FOLDER folder = scratch_folder("files-scan-links");
  ASSERT_TRUE(write_whole_file(in(folder, "five.bin"), {1, 2, 3, 4, 5}));
  FOLDER sub = folder;
  ASSERT_TRUE(sub.enter("sub", true));
  ASSERT_EQ(symlink(in(folder, "five.bin").c_str(), in(folder, "file-link").c_str()), 0);
  ASSERT_EQ(symlink(sub.path, in(folder, "folder-link").c_str()), 0);
  ASSERT_EQ(symlink(in(folder, "none").c_str(), in(folder, "dangling").c_str()), 0);
  auto own_size = [&](const char* name) {
    struct stat own;
    return lstat(in(folder, name).c_str(), &own) == 0 ? (INT_U32)own.st_size : 0xFFFFFFFFu;
  };
  struct EXPECTED {
    INT_U8 is_folder;
    INT_U32 size;
  };
  std::map<std::string, EXPECTED> expected = {{"five.bin", {0, 5}},
                                              {"file-link", {0, 5}},
                                              {"sub", {1, 0}},
                                              {"folder-link", {0, own_size("folder-link")}},
                                              {"dangling", {0, own_size("dangling")}}};
  DIRECTORY_SCAN* scan = open_directory_scan(&folder, nullptr, 0, 0, 0);
  ASSERT_NE(nullptr, scan);
  SCAN_ENTRY entry;
  std::set<std::string> seen;
  while (read_directory_scan(scan, &entry)) {
    seen.insert(entry.name);
    auto found = expected.find(entry.name);
    ASSERT_NE(found, expected.end()) << entry.name;
    EXPECT_EQ(found->second.is_folder, entry.is_folder) << entry.name;
    if (!entry.is_folder) {
      EXPECT_EQ(found->second.size, entry.size) << entry.name;
    }
  }
  close_directory_scan(scan);
  EXPECT_EQ(seen.size(), expected.size());
}
#endif

// The names in one folder of a scan.
static std::set<std::string> listed_names(FOLDER* folder) {
  std::set<std::string> names;
  DIRECTORY_SCAN* scan = open_directory_scan(folder, nullptr, 1, 0, 0);
  SCAN_ENTRY entry;
  while (scan && read_directory_scan(scan, &entry)) names.insert(entry.name);
  close_directory_scan(scan);
  return names;
}

// The system's names are Latin-1 with runs above 0xFF; the file system's are its own characters (UTF-8
// on Linux, UTF-16 on Windows), which the test names in UTF-8 on both.
TEST(Files, NamesOutsideAsciiAreTheFileSystemsOwnCharacters) {
  std::string base_path;
  FOLDER base = scratch_folder("files-names", &base_path);
  const std::string folder_name = "M\xFCller", latin = "Gr\xFC\xDF" "e-\xF1.txt", wide = "\x01,4E2D,6587\x01-\xE9.txt";
  const std::string host_folder = base_path + "M\xC3\xBCller" + PATH_SEPARATOR;
  const std::string host_latin = "Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt", host_wide = "\xE4\xB8\xAD\xE6\x96\x87-\xC3\xA9.txt";
  FOLDER folder = base;
  ASSERT_TRUE(folder.enter(folder_name.c_str(), true));
  EXPECT_EQ(folder.get_name(), folder_name);
  for (const std::string& name : {latin, wide}) {
    FILE* file = open_file(&folder, name.c_str(), "wb");
    ASSERT_NE(file, nullptr) << name;
    std::fputs(name.c_str(), file);
    EXPECT_TRUE(close_file(file));
  }
  EXPECT_EQ(read_whole_text(host_folder + host_latin), latin);
  EXPECT_EQ(read_whole_text(host_folder + host_wide), wide);
  EXPECT_EQ(listed_names(&base), std::set<std::string>{folder_name});
  EXPECT_EQ(listed_names(&folder), (std::set<std::string>{latin, wide}));
  FILE_INFO info;
  ASSERT_TRUE(get_file_info(&folder, latin.c_str(), &info));
  EXPECT_EQ(info.size, latin.size());
  // A name the host wrote is found by the system's form of it, and so is its folder.
  ASSERT_TRUE(write_whole_file(host_folder + "\xC3\xBF.txt", {'y'}));
  EXPECT_TRUE(file_exists(&folder, "\xFF.txt"));
  FOLDER again = base;
  EXPECT_TRUE(again.set_if_folder(base.get_path_text(folder_name.c_str())));
  ASSERT_TRUE(rename_file(&folder, latin.c_str(), &again, "\xE9.txt"));
  EXPECT_EQ(read_whole_text(host_folder + "\xC3\xA9.txt"), latin);
  TEXT_FILE* text = open_text_file(&folder, wide.c_str(), TEXT_FILE_APPEND, false);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(close_text_file(&text));
  EXPECT_TRUE(delete_file(&folder, wide.c_str()));
  EXPECT_EQ(listed_names(&folder), (std::set<std::string>{"\xE9.txt", "\xFF.txt"}));
  // Groups for characters that plain bytes hold (a separator, a point) name nothing.
  EXPECT_EQ(open_file(&folder, "\x01,002E,002E,002F\x01x", "wb"), nullptr);
  EXPECT_FALSE(again.enter("\x01,002E,002E\x01"));
  EXPECT_TRUE(remove_folder(&base, folder_name.c_str(), 1));
  EXPECT_TRUE(listed_names(&base).empty());
}

#ifndef _WIN32
// A Linux name that is no UTF-8 keeps its bytes: listed in the system's form, it opens, renames and
// deletes that very file.
TEST(Files, LinuxNamesThatAreNoUtf8KeepTheirBytes) {
  std::string base_path;
  FOLDER folder = scratch_folder("files-raw-names", &base_path);
  ASSERT_TRUE(write_whole_file(base_path + "caf\xE9.txt", {'r'}));
  EXPECT_EQ(listed_names(&folder), std::set<std::string>{"caf\x01,DCE9\x01.txt"});
  FILE* file = open_file(&folder, "caf\x01,DCE9\x01.txt", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'r');
  close_file(file);
  ASSERT_TRUE(rename_file(&folder, "caf\x01,DCE9\x01.txt", &folder, "\x01,DCFF\x01"));
  EXPECT_EQ(read_whole_text(base_path + "\xFF"), "r");
  EXPECT_TRUE(delete_file(&folder, "\x01,DCFF\x01"));
  EXPECT_TRUE(listed_names(&folder).empty());
  // Names that spell a character in an overlong form (C0 AF, a loose reading's '/') too: none that
  // comes in may hold one, but one read from the disk goes again, with its folder.
  std::filesystem::create_directories(base_path + "sub");
  ASSERT_TRUE(write_whole_file(base_path + "\xC0\xAF", {'o'}) && write_whole_file(base_path + "sub/\xE0\x80\xAF", {'o'}));
  EXPECT_EQ(listed_names(&folder), (std::set<std::string>{"\x01,DCC0,DCAF\x01", "sub"}));
  file = open_file(&folder, "\x01,DCC0,DCAF\x01", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'o');
  close_file(file);
  EXPECT_TRUE(delete_file(&folder, "\x01,DCC0,DCAF\x01"));
  EXPECT_TRUE(remove_folder(&folder, "sub", 1));
  EXPECT_TRUE(listed_names(&folder).empty());
}
#endif

TEST(Files, DriveRoots) {
  EXPECT_GE(get_drive_count(), 1);
  ASSERT_NE(nullptr, get_drive_root_text(0));
  EXPECT_EQ(nullptr, get_drive_root_text(static_cast<INT_S16>(get_drive_count())));
  EXPECT_EQ(nullptr, get_drive_root_text(-1));
  for (INT_S16 i = 0; i < get_drive_count(); i++) {
    FOLDER root;
    ASSERT_TRUE(root.set_to_drive_root(i));
    EXPECT_STREQ(get_drive_root_text(i), root.path);
    EXPECT_EQ(i, get_drive_index(&root));
    EXPECT_EQ(0, get_disk_kind(&root));
  }
  FOLDER past;
  EXPECT_FALSE(past.set_to_drive_root(static_cast<INT_S16>(get_drive_count())));
#ifdef _WIN32
  // Every root is a letter, a colon and a backslash; the floppy drives A and B come last, in that order,
  // after the others in letter order (the Wine runner gives its prefix both).
  std::string order;
  for (INT_S16 i = 0; i < get_drive_count(); i++) {
    std::string root = get_drive_root_text(i);
    ASSERT_EQ(3u, root.size());
    EXPECT_EQ(":\\", root.substr(1));
    order += static_cast<char>(toupper(static_cast<unsigned char>(root[0])));
  }
  std::string others, floppies;
  for (char letter : order) (letter == 'A' || letter == 'B' ? floppies : others) += letter;
  std::sort(others.begin(), others.end());
  std::sort(floppies.begin(), floppies.end());
  EXPECT_EQ(others + floppies, order);
  if (!others.empty()) {
    FOLDER first;
    ASSERT_TRUE(first.set("$ROOT0"));
    EXPECT_EQ(others[0], toupper(static_cast<unsigned char>(first.path[0])));
  }
#else
  EXPECT_EQ(1, get_drive_count());
  EXPECT_STREQ("/", get_drive_root_text(0));
#endif
}

TEST(Files, SystemFolders) {
  FOLDER program;
  ASSERT_TRUE(get_system_folder(&program, SYSTEM_FOLDER_PROGRAM, nullptr, 0));
  EXPECT_TRUE(FOLDER::is_folder(program.path));
  FOLDER unchanged = program;
  EXPECT_FALSE(get_system_folder(&unchanged, 7, nullptr, 1));
  EXPECT_STREQ(program.path, unchanged.path);

#ifndef _WIN32
  std::string home = make_scratch_folder("files-home");
  set_environment("HOME", home + "home");
  set_environment("XDG_DATA_HOME", home + "data");
  set_environment("XDG_CONFIG_HOME", home + "config");
  set_environment("XDG_STATE_HOME", home + "state");
  set_environment("TMPDIR", home + "tmp");
  // Without create a missing system folder fails and leaves the folder as it was.
  FOLDER folder = program;
  EXPECT_FALSE(get_system_folder(&folder, SYSTEM_FOLDER_COMMON_DATA, "app", 0));
  EXPECT_STREQ(program.path, folder.path);
  struct {
    INT_S32 kind;
    std::string path;
  } expected[] = {{SYSTEM_FOLDER_PROGRAMS, home + "home/.local/opt/app"},
                  {SYSTEM_FOLDER_INSTALL_DATA, home + "data/app"},
                  {SYSTEM_FOLDER_COMMON_DATA, home + "data/app"},
                  {SYSTEM_FOLDER_USER_DATA, home + "state/app"},
                  {SYSTEM_FOLDER_USER_PREFS, home + "config/app"}};
  for (const auto& want : expected) {
    ASSERT_TRUE(get_system_folder(&folder, want.kind, "app", 1)) << want.kind;
    EXPECT_EQ(want.path, folder.path);
    EXPECT_TRUE(FOLDER::is_folder(folder.path));
  }
  // The default application name is the program file's name.
  ASSERT_TRUE(get_system_folder(&folder, SYSTEM_FOLDER_USER_PREFS, nullptr, 1));
  EXPECT_EQ(home + "config/files_test", folder.path);
#else
  FOLDER folder;
  ASSERT_TRUE(get_system_folder(&folder, SYSTEM_FOLDER_USER_PREFS, nullptr, 1));
  EXPECT_STREQ("files_test", folder.get_name());
  // Both program-files kinds name one folder; every kind ends in the application sub-folder.
  FOLDER programs, install;
  ASSERT_TRUE(get_system_folder(&programs, SYSTEM_FOLDER_PROGRAMS, "velk files test", 1));
  ASSERT_TRUE(get_system_folder(&install, SYSTEM_FOLDER_INSTALL_DATA, "velk files test", 1));
  EXPECT_STREQ(programs.path, install.path);
  // The programs folder of the program's width: a 32-bit program's on 64-bit Windows is the one kept
  // for 32-bit programs.
  BOOL emulated = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &emulated));
  EXPECT_STREQ(programs.path, sizeof(void*) == 4 && emulated ? "C:\\Program Files (x86)\\velk files test"
                                                             : "C:\\Program Files\\velk files test");
  for (INT_S32 kind = SYSTEM_FOLDER_PROGRAMS; kind <= SYSTEM_FOLDER_USER_PREFS; kind++) {
    ASSERT_TRUE(get_system_folder(&folder, kind, "velk files test", 1));
    EXPECT_STREQ("velk files test", folder.get_name());
    EXPECT_EQ(':', folder.path[1]);
    EXPECT_TRUE(FOLDER::is_folder(folder.path));
  }
#endif
}

namespace {

// The variable that names the system's temporary folder.
#ifdef _WIN32
const char* const TEMP_VARIABLE = "TMP";
#else
const char* const TEMP_VARIABLE = "TMPDIR";
#endif

// The base of the private folders in a test: the scratch's "tmp", which the system's temporary folder
// is set to; no private folder of this run is made yet.
std::string private_folder_base(const std::string& scratch) {
  remove_temporary_folder();
  std::string base = scratch + "tmp";
  std::filesystem::create_directories(base);
  set_environment(TEMP_VARIABLE, base);
  return base;
}

// A private folder of the kind an ended run leaves (mode 0700, its lock file) named name in base; false
// when it cannot be made.
bool make_ended_run_folder(const std::string& base, const std::string& name) {
  std::string folder = in(base, name);
  std::filesystem::create_directories(folder);
#ifndef _WIN32
  if (chmod(folder.c_str(), 0700) != 0) return false;
#endif
  return write_whole_file(in(folder, "velk-run.lock"), {});
}

// Makes levels folders "d" below folder, each in the one before, and the file "bottom.txt" in the last;
// false when they cannot be made. On Windows the long paths go in their "\\?\" form.
bool make_deep_tree(const std::string& folder, int levels) {
#ifdef _WIN32
  std::wstring path = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());  // the scratch's path is ASCII
  for (int level = 0; level < levels; level++) {
    path += L"\\d";
    if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
  }
  HANDLE file = CreateFileW((path + L"\\bottom.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
#else
  int at = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < levels && at >= 0; level++) {
    int inner = mkdirat(at, "d", 0700) == 0 ? openat(at, "d", O_RDONLY | O_DIRECTORY) : -1;
    close(at);
    at = inner;
  }
  int file = at >= 0 ? openat(at, "bottom.txt", O_WRONLY | O_CREAT | O_EXCL, 0600) : -1;
  if (at >= 0) close(at);
  if (file < 0) return false;
  close(file);
  return true;
#endif
}

// What the sweeps report as kept: path and cause.
std::vector<std::pair<std::string, std::string>> kept_folders;
void note_kept_folder(const char* path, const char* cause) { kept_folders.emplace_back(path, cause); }

// Makes this run's private folder, which sweeps base, and removes it again; the folders kept are
// reported to kept_folders.
void sweep_private_folders() {
  kept_folders.clear();
  set_folder_kept_report(note_kept_folder);
  FOLDER own;
  EXPECT_TRUE(get_system_folder(&own, SYSTEM_FOLDER_TEMP, nullptr, 0));
  remove_temporary_folder();
  set_folder_kept_report(nullptr);
  EXPECT_FALSE(FOLDER::is_folder(own.path));
}

}  // namespace

// "$TEMP" is a folder of this run alone: made fresh below the system's temporary folder with a name
// no one can guess, private to the user, the same for the whole run, and removed whole at its end,
// links in it as links.
TEST(Files, PrivateTemporaryFolderIsTheRunsOwn) {
  std::string scratch = make_scratch_folder("files-private");
  std::string saved_temp = environment_text(TEMP_VARIABLE);
  std::string base = private_folder_base(scratch) + PATH_SEPARATOR;
  FOLDER first, again;
  ASSERT_TRUE(get_system_folder(&first, SYSTEM_FOLDER_TEMP, "any name", 0));
  std::string path = first.path;
  EXPECT_EQ(path.rfind(base + "files_test-", 0), 0u) << path;
  EXPECT_GT(path.size(), base.size() + std::strlen("files_test-"));
  ASSERT_TRUE(FOLDER::is_folder(first.path));
#ifndef _WIN32
  struct stat status;
  ASSERT_EQ(stat(first.path, &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
#endif
  ASSERT_TRUE(again.set("$TEMP"));
  EXPECT_STREQ(again.path, first.path);

  // Its contents go with it; what links in it point to stays. Under Wine, which shows a Unix link as
  // what it leads to, a link to a folder cannot go alone: the folder stays with its lock file, and the
  // report names it.
  FOLDER outside = scratch_folder("files-private-outside");
  ASSERT_TRUE(write_whole_file(in(outside, "kept.bin"), {7}));
  FOLDER inner = first;
  ASSERT_TRUE(inner.enter("inner", true));
  ASSERT_TRUE(write_whole_file(in(inner, "copy.tmp"), {1, 2}));
  bool links = plant_unix_link(outside.path, in(first, "folder-link")) &&
               plant_unix_link(in(outside, "kept.bin"), in(inner, "file-link"));
  ASSERT_EQ(links, unix_links_possible());
#ifdef _WIN32
  const bool folder_link_stays = links;
#else
  const bool folder_link_stays = false;
#endif
  kept_folders.clear();
  set_folder_kept_report(note_kept_folder);
  remove_temporary_folder();
  set_folder_kept_report(nullptr);
  EXPECT_EQ(std::filesystem::exists(path), folder_link_stays);
  EXPECT_EQ(read_whole_file(in(outside, "kept.bin")), (std::vector<INT_U8>{7}));
  if (folder_link_stays) {
    EXPECT_FALSE(std::filesystem::exists(in(path, "inner")));
    EXPECT_TRUE(std::filesystem::exists(in(path, "velk-run.lock")));
    EXPECT_EQ(kept_folders, (std::vector<std::pair<std::string, std::string>>{
                                {path, "it holds a link to a folder, which cannot be removed here without what it leads to"}}));
  } else {
    EXPECT_TRUE(kept_folders.empty());
  }

  // The next use makes a new folder of another name.
  FOLDER next;
  ASSERT_TRUE(next.set("$TEMP"));
  EXPECT_STRNE(next.path, path.c_str());
  remove_temporary_folder();
  EXPECT_FALSE(FOLDER::is_folder(next.path));
  set_environment(TEMP_VARIABLE, saved_temp);
}

// A run that ends without its own end (a second request to end it, a kill) leaves its private folder:
// the next run of the program removes it when it makes its own, told by its lock file, which no running
// process holds any more. A folder whose run still holds it, one without a lock file, one whose lock
// file is a link, one not named as a run's folder, a link (natively) and one that others may enter
// (natively) stay, and what the links point to.
TEST(Files, PrivateFoldersThatEndedRunsLeftGoWithTheNextRun) {
  std::string scratch = make_scratch_folder("files-abandoned");
  std::string saved_temp = environment_text(TEMP_VARIABLE);
  std::string base = private_folder_base(scratch);
  std::vector<std::string> names = {"files_test-ended1", "files_test-alive1", "files_test-nolock",
                                    "files_test-ended-long", "files_test-lnlock"};
  for (const std::string& name : names) ASSERT_TRUE(make_ended_run_folder(base, name));
  std::filesystem::rename(in(in(base, names[2]), "velk-run.lock"), in(in(base, names[2]), "other"));
  ASSERT_TRUE(write_whole_file(in(scratch, "theirs.lock"), {9}));
  std::filesystem::remove(in(in(base, names[4]), "velk-run.lock"));
  bool lock_link = plant_unix_link(in(scratch, "theirs.lock"), in(in(base, names[4]), "velk-run.lock"));
  ASSERT_EQ(lock_link, unix_links_possible());
  std::string alive = in(in(base, names[1]), "velk-run.lock");
#ifdef _WIN32
  HANDLE held = CreateFileA(alive.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
#else
  int held = open(alive.c_str(), O_RDWR);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  ASSERT_TRUE(write_whole_file(in(scratch, "velk-run.lock"), {}));
  names.push_back("files_test-link01");
  std::filesystem::create_directory_symlink(scratch, in(base, names.back()));
  names.push_back("files_test-shared");
  ASSERT_TRUE(make_ended_run_folder(base, names.back()));
  ASSERT_EQ(chmod(in(base, names.back()).c_str(), 0755), 0);
#endif
  FOLDER own;
  ASSERT_TRUE(get_system_folder(&own, SYSTEM_FOLDER_TEMP, nullptr, 0));
  EXPECT_TRUE(file_exists(&own, "velk-run.lock"));
  for (const std::string& name : names) EXPECT_EQ(std::filesystem::exists(in(base, name)), name != names[0]) << name;
  EXPECT_EQ(read_whole_file(in(scratch, "theirs.lock")), std::vector<INT_U8>{9});
  if (lock_link) {
    EXPECT_TRUE(std::filesystem::exists(in(in(base, names[4]), "velk-run.lock")));
  }
#ifdef _WIN32
  CloseHandle(held);
#else
  EXPECT_TRUE(std::filesystem::exists(in(scratch, "velk-run.lock")));
  close(held);
#endif
  set_environment(TEMP_VARIABLE, saved_temp);
  remove_temporary_folder();
  EXPECT_FALSE(FOLDER::is_folder(own.path));
}

// An ended run's folder goes as it is: links in it as links, never what they lead to (under Wine,
// which shows a Unix link as what it leads to, a link to a file goes and a link to a folder cannot: its
// folder stays with its lock file, for a later run, and the report names it); natively a tree deeper
// than any run makes and a name in no one spelling go too.
TEST(Files, SweptFoldersGoAsTheyAreNeverThroughALink) {
  std::string scratch = make_scratch_folder("files-swept");
  std::string saved_temp = environment_text(TEMP_VARIABLE);
  std::string base = private_folder_base(scratch), ended = in(base, "files_test-links01");
  ASSERT_TRUE(make_ended_run_folder(base, "files_test-links01"));
  std::filesystem::create_directories(in(ended, "inner"));
  std::filesystem::create_directories(in(scratch, "their-folder"));
  ASSERT_TRUE(write_whole_file(in(in(scratch, "their-folder"), "inside.txt"), {1}));
  ASSERT_TRUE(write_whole_file(in(scratch, "theirs.txt"), {2}));
  bool links = plant_unix_link(in(scratch, "theirs.txt"), in(ended, "file-link")) &&
               plant_unix_link(in(scratch, "theirs.txt"), in(in(ended, "inner"), "file-link")) &&
               plant_unix_link(in(scratch, "their-folder"), in(in(ended, "inner"), "folder-link"));
  ASSERT_EQ(links, unix_links_possible());
#ifndef _WIN32
  const bool folder_link_stays = false;
  // 1,500 folders deep, and a file named with an overlong form of '/'.
  ASSERT_TRUE(make_deep_tree(ended, 1500));
  ASSERT_TRUE(write_whole_file(in(ended, "\xC0\xAF"), {3}));
#else
  const bool folder_link_stays = links;
#endif
  sweep_private_folders();
  EXPECT_EQ(read_whole_file(in(scratch, "theirs.txt")), std::vector<INT_U8>{2});
  EXPECT_EQ(read_whole_file(in(in(scratch, "their-folder"), "inside.txt")), std::vector<INT_U8>{1});
  EXPECT_EQ(std::filesystem::exists(ended), folder_link_stays);
  if (folder_link_stays) {
    EXPECT_TRUE(std::filesystem::exists(in(ended, "velk-run.lock")));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(in(ended, "file-link"))));
    ASSERT_EQ(kept_folders.size(), 1u);
    EXPECT_EQ(kept_folders[0].first, ended);
    EXPECT_EQ(kept_folders[0].second,
              "it holds a link to a folder, which cannot be removed here without what it leads to");
  } else {
    EXPECT_TRUE(kept_folders.empty());
  }
  set_environment(TEMP_VARIABLE, saved_temp);
}

// An ended run's private folder whose tree is deeper than the folders a removal holds open at once
// (300 folders) goes whole, on Windows as natively (a run's own goes so too: see the installer's
// ARunTakesItsDeepTemporaryFolderWithIt). On Windows a file down there that another program holds
// keeps the folder, with its lock file, for a later run, which takes it whole once the file is let go.
TEST(Files, DeepPrivateFoldersGoWhole) {
  std::string scratch = make_scratch_folder("files-deep");
  std::string saved_temp = environment_text(TEMP_VARIABLE);
  std::string base = private_folder_base(scratch), ended = in(base, "files_test-deep01");
  ASSERT_TRUE(make_ended_run_folder(base, "files_test-deep01"));
  ASSERT_TRUE(make_deep_tree(ended, 300));
#ifdef _WIN32
  std::wstring bottom = L"\\\\?\\" + std::wstring(ended.begin(), ended.end());
  for (int level = 0; level < 300; level++) bottom += L"\\d";
  HANDLE held = CreateFileW((bottom + L"\\bottom.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  sweep_private_folders();
  CloseHandle(held);
  EXPECT_TRUE(std::filesystem::exists(in(ended, "velk-run.lock")));
  char cause[512];
  SetLastError(ERROR_SHARING_VIOLATION);
  describe_file_failure(cause, sizeof cause);
  EXPECT_EQ(kept_folders, (std::vector<std::pair<std::string, std::string>>{{ended, cause}}));
#endif
  sweep_private_folders();
  EXPECT_TRUE(kept_folders.empty());
  EXPECT_FALSE(std::filesystem::exists(ended));
  set_environment(TEMP_VARIABLE, saved_temp);
}

#ifndef _WIN32
// A folder mounted inside an ended run's folder (a bind mount of a folder of the same disk) is never
// entered: its files stay, and the ended run's folder with its lock file, for a later run; the report
// names it and why.
TEST(Files, SweepNeverEntersAnotherFileSystem) {
  std::string scratch = make_scratch_folder("files-mounted");
  std::string saved_temp = environment_text(TEMP_VARIABLE);
  std::string base = private_folder_base(scratch), ended = in(base, "files_test-mount01");
  ASSERT_TRUE(make_ended_run_folder(base, "files_test-mount01"));
  std::filesystem::create_directories(in(ended, "inner/mounted"));
  std::filesystem::create_directories(in(scratch, "outside"));
  ASSERT_TRUE(write_whole_file(in(in(scratch, "outside"), "precious.txt"), {5}));
  ASSERT_TRUE(write_whole_file(in(ended, "plain.txt"), {6}));
  std::string mounted = in(ended, "inner/mounted");
  if (run_command("mount --bind '" + in(scratch, "outside") + "' '" + mounted + "' 2>/dev/null") != 0) {
    set_environment(TEMP_VARIABLE, saved_temp);
    GTEST_SKIP() << "a bind mount cannot be made here (it needs root); skipped";
  }
  sweep_private_folders();
  EXPECT_EQ(read_whole_file(in(mounted, "precious.txt")), std::vector<INT_U8>{5});
  EXPECT_TRUE(std::filesystem::exists(in(ended, "velk-run.lock")));
  EXPECT_FALSE(std::filesystem::exists(in(ended, "plain.txt")));
  EXPECT_EQ(kept_folders, (std::vector<std::pair<std::string, std::string>>{
                              {ended, "a folder in it is the mount point of a file system"}}));
  EXPECT_EQ(run_command("umount '" + mounted + "'"), 0);
  EXPECT_EQ(read_whole_file(in(in(scratch, "outside"), "precious.txt")), std::vector<INT_U8>{5});
  // Once the mount is gone, the next run takes the folder.
  sweep_private_folders();
  EXPECT_FALSE(std::filesystem::exists(ended));
  set_environment(TEMP_VARIABLE, saved_temp);
}
#endif

#ifndef _WIN32
// Files are read only when they are regular files: a pipe (whose open would wait for a writer), a
// device or a folder gives the failure at once, through every reader.
TEST(Files, OnlyRegularFilesAreOpenedForReading) {
  FOLDER folder = scratch_folder("files-pipes");
  ASSERT_EQ(mkfifo(in(folder, "pipe.png").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(in(folder, "pipe.ss").c_str(), 0600), 0);
  FOLDER devices;
  ASSERT_TRUE(devices.set_if_folder("/dev"));
  for (const char* mode : {"rb", "r", "r+b", "r+"}) {
    EXPECT_EQ(open_file(&folder, "pipe.png", mode), nullptr) << mode;
    EXPECT_EQ(open_file(&devices, "null", mode), nullptr) << mode;
  }
  EXPECT_EQ(open_file(&devices, "", "rb"), nullptr);  // the folder itself
  EXPECT_EQ(open_data_file(&folder, "pipe.png", FILE_MODE_READ, 0, false), nullptr);
  EXPECT_EQ(open_data_file(&devices, "stdin", FILE_MODE_READ, 0, false), nullptr);
  EXPECT_EQ(open_text_file(&folder, "pipe.ss", TEXT_FILE_READ, false), nullptr);
  EXPECT_EQ(open_text_file(&folder, "pipe.ss", TEXT_FILE_APPEND, false), nullptr);
  IMAGE picture;
  EXPECT_FALSE(picture.load(&folder, "pipe.png", -1, -1));
  EXPECT_FALSE(picture.load(&folder, "pipe", -1, -1));
  // A style set named by the data at a pipe, or at "$ROOT0/dev/stdin", loads nothing.
  WM_STYLE_SET style;
  CONFIG_FILE settings;
  settings.init("pipe.ss", false);
  EXPECT_FALSE(style.read_text(&settings, nullptr, nullptr, &folder));
  FOLDER device_folder;
  ASSERT_TRUE(device_folder.set("$ROOT0/dev"));
  settings.init("stdin", false);
  EXPECT_FALSE(style.read_text(&settings, nullptr, nullptr, &device_folder));
  EXPECT_FALSE(picture.load(&device_folder, "stdin", -1, -1));
  // A link to a regular file is read as that file.
  ASSERT_TRUE(write_whole_file(in(folder, "plain.txt"), {'o', 'k'}));
  ASSERT_EQ(symlink(in(folder, "plain.txt").c_str(), in(folder, "link.txt").c_str()), 0);
  FILE* file = open_file(&folder, "link.txt", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'o');
  EXPECT_TRUE(close_file(file));
}
#endif

// Every cause of a file that cannot be written or made is said in words, on one line without a closing
// full stop: the system's own where it has them (under Wine "Disk full"), the host's where it has
// none (Wine has none for a full quota); a number only for a code that is no failure of files.
TEST(Files, EveryCauseOfAFileThatCannotBeWrittenHasWords) {
  char words[256];
  forget_file_failure();
  describe_file_failure(words, sizeof words);
  EXPECT_STREQ(words, "");
#ifdef _WIN32
  // Access denied, write-protected, sharing and lock violations, both disk-full codes, both quotas, the
  // network's write errors, device failures, too large, being removed, the file system's limit,
  // read-only, already there, too long, the network device gone, a folder where a file goes.
  for (DWORD code : {5, 19, 32, 33, 39, 112, 1295, 1816, 88, 64, 59, 29, 21, 223, 303, 665, 6009, 183, 206, 55, 336}) {
    restore_file_failure(code);
    describe_file_failure(words, sizeof words);
    std::string text = words;
    EXPECT_TRUE(!text.empty() && text.find("system error") == std::string::npos && text.back() != '.' &&
                text.find_first_of("\r\n%") == std::string::npos)
        << code << ": " << text;
  }
  WCHAR message[256];
  if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 1295, 0, message, 256, nullptr)) {
    restore_file_failure(1295);
    describe_file_failure(words, sizeof words);
    EXPECT_STREQ(words, "The disk quota is exceeded");
  }
  restore_file_failure(0x2000ABCD);
  describe_file_failure(words, sizeof words);
  EXPECT_STREQ(words, "system error 536914893");
#else
  restore_file_failure(ENOSPC);
  describe_file_failure(words, sizeof words);
  EXPECT_STREQ(words, "No space left on device");
#endif
  forget_file_failure();
}

#ifdef _WIN32
// A file made while the runtime's table of streams is full fails with that cause, not one that its
// clean-up (the file's removal) leaves behind; nothing of it stays.
TEST(Files, ANewFileWithoutARoomForItsStreamSaysSo) {
  std::string path;
  FOLDER folder = scratch_folder("files-no-stream", &path);
  ASSERT_TRUE(write_whole_file(path + "held", {}));
  std::vector<FILE*> held;
  for (FILE* file; held.size() < 5000 && (file = std::fopen((path + "held").c_str(), "rb")) != nullptr;)
    held.push_back(file);
  forget_file_failure();
  FILE* made = create_new_file(&folder, "new.bin");
  char words[256], expected[256];
  describe_file_failure(words, sizeof words);
  for (FILE* file : held) std::fclose(file);
  if (made) close_file(made);
  ASSERT_EQ(made, nullptr);
  restore_file_failure(ERROR_TOO_MANY_OPEN_FILES);
  describe_file_failure(expected, sizeof expected);
  EXPECT_STREQ(words, expected);
  EXPECT_FALSE(file_exists(&folder, "new.bin"));
}

TEST(Files, DeletingTheRunningProgramFails) {
  FOLDER program;
  ASSERT_TRUE(get_system_folder(&program, SYSTEM_FOLDER_PROGRAM, nullptr, 0));
  EXPECT_FALSE(delete_file(&program, "files_test.exe"));
  EXPECT_TRUE(file_exists(&program, "files_test.exe"));
}
#endif

