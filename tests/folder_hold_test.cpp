// Tests of the hold of a folder (hold_folder, release_folder): one holder at a time through every path,
// what is no hold at its name, killed and stopped holders, file systems whose modes and owners the mount
// fixes or that take no lock, other users (a sticky and a group-writable folder) and the moments at which
// another process changes the name.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "files.h"
#include "host_test_seam.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

static std::string in(const FOLDER& folder, const std::string& name) {
  return std::string(folder.path) + PATH_SEPARATOR + name;
}

// The names of the folder's temporaries ("~velk…"): a hold that refuses leaves none of its own.
static std::vector<std::string> temporaries(const FOLDER& folder) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path))
    if (entry.path().filename().string().rfind("~velk", 0) == 0) found.push_back(entry.path().filename().string());
  return found;
}

// One process at a time holds a folder, whatever path leads to it: the hold is the file FOLDER_HOLD_NAME
// holding its holder's process number, which a refused hold names; the file goes with the hold, and
// the folder is free at once. A hold whose file names no running process is no installation's.
TEST(FolderHold, OneHoldAtATimeThroughEverySpellingNamingItsHolder) {
  std::string path;
  scratch_folder("hold-spellings", &path);
  std::filesystem::create_directory(path + "held");
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder((path + "held").c_str()));
  const std::string file = in(folder, FOLDER_HOLD_NAME);
#ifdef _WIN32
  std::string upper = folder.path;
  for (char& c : upper) c = (char)std::toupper((unsigned char)c);
  const std::vector<std::string> spellings = {upper, upper + "\\", std::string(folder.path) + "\\.\\"};
#else
  std::filesystem::create_directory_symlink(folder.path, path + "link");
  const std::vector<std::string> spellings = {path + "link", path + "held/./", path + "held/", path + "link/../held"};
#endif
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  ASSERT_NE(hold, nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_FREE);
#ifndef _WIN32
  // (Windows shares the file only with readers, which the test is not while it is held.)
  EXPECT_EQ(read_whole_text(file), std::to_string((INT_U32)own_process_number()) + "\n");
#endif
  for (const std::string& spelling : spellings) {
    FOLDER other;
    std::strcpy(other.path, spelling.c_str());
    FOLDER_HOLDER second;
    EXPECT_EQ(hold_folder(&other, &second), nullptr) << spelling;
    EXPECT_EQ(second.refusal, FOLDER_HOLD_HELD) << spelling;
    EXPECT_EQ(second.process, (INT_U32)own_process_number()) << spelling;
    EXPECT_FALSE(second.stopped);
    EXPECT_STREQ(second.user, "");
  }
  release_folder(hold);
  EXPECT_FALSE(std::filesystem::exists(file));
  FOLDER other;
  std::strcpy(other.path, spellings[0].c_str());
  hold = hold_folder(&other, &holder);
  EXPECT_NE(hold, nullptr);
  release_folder(hold);

  // A file at the name that something else holds, naming no running process.
#ifdef _WIN32
  HANDLE squatter = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(squatter, "squat\n", 6, &written, nullptr);
#else
  // The number of a process that has ended.
  pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string number = std::to_string(ended) + "\n";
  int squatter = open(file.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(squatter, 0);
  ASSERT_EQ(write(squatter, number.data(), number.size()), (ssize_t)number.size());
  ASSERT_EQ(flock(squatter, LOCK_EX), 0);
#endif
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
  EXPECT_EQ(holder.process, 0u);
#ifdef _WIN32
  CloseHandle(squatter);
#else
  close(squatter);
#endif
  // Held by no one any more, it gives its place to the hold, which goes with its file.
  hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr);
  release_folder(hold);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(temporaries(folder).empty());
}

// What has the hold's name and is no hold is refused, named, and left as it is, and so is what it leads
// to: a folder, a file with another name (a hard link), a link (also one that leads nowhere) and natively
// a pipe.
TEST(FolderHold, WhatIsNoHoldAtItsNameIsRefusedAndLeftAsItIs) {
  std::string path;
  FOLDER folder = scratch_folder("hold-name-taken", &path);
  const std::string file = in(folder, FOLDER_HOLD_NAME), outside = path + "outside.txt";
  struct TAKEN {
    const char* cause;
    bool (*plant)(const std::string& file, const std::string& outside);
  };
  const TAKEN cases[] = {
      {"is a folder", [](const std::string& file, const std::string&) { return std::filesystem::create_directory(file); }},
      {"has other names (hard links)",
       [](const std::string& file, const std::string& outside) {
         std::error_code error;
         std::filesystem::create_hard_link(outside, file, error);
         return !error;
       }},
#ifdef _WIN32
      {"is a link",
       [](const std::string& file, const std::string& outside) {
         std::wstring link(file.begin(), file.end()), target(outside.begin(), outside.end());
         return CreateSymbolicLinkW(link.c_str(), target.c_str(), 0) != 0;
       }},
#else
      {"is a link", [](const std::string& file, const std::string& outside) { return symlink(outside.c_str(), file.c_str()) == 0; }},
      {"is a link", [](const std::string& file, const std::string&) { return symlink("nowhere", file.c_str()) == 0; }},
      {"is not a plain file", [](const std::string& file, const std::string&) { return mkfifo(file.c_str(), 0600) == 0; }},
#endif
  };
  for (const TAKEN& taken : cases) {
    SCOPED_TRACE(taken.cause);
    ASSERT_TRUE(write_whole_file(outside, {'o'}));
    ASSERT_TRUE(taken.plant(file, outside));
    std::error_code missing;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, missing))) {
      std::printf("(this system makes no such link (Wine says it did): not tried)\n");
      continue;
    }
    FOLDER_HOLDER holder;
    EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
    EXPECT_EQ(holder.refusal, FOLDER_HOLD_NAME_TAKEN);
    EXPECT_STREQ(holder.cause, taken.cause);
    EXPECT_EQ(read_whole_file(outside), std::vector<INT_U8>{'o'});
    std::error_code error;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(file, error)));  // still there
    EXPECT_TRUE(temporaries(folder).empty());
    std::filesystem::remove_all(file);
  }
}

#ifdef _WIN32
// The hold's file gives access to its user alone: its access list, which takes nothing from the folder's,
// names no other user or group (Wine, which keeps a file's access as its Unix mode, names the system too).
TEST(FolderHold, TheHoldsFileIsOpenToItsUserAlone) {
  FOLDER folder = scratch_folder("hold-access");
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  ASSERT_NE(hold, nullptr);
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  std::wstring path(file.begin(), file.end());
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                                  nullptr, &descriptor),
            (DWORD)ERROR_SUCCESS);
  ASSERT_NE(list, nullptr);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE user[256];
  DWORD size = sizeof user;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
  CloseHandle(token);
  BYTE system[SECURITY_MAX_SID_SIZE];
  size = sizeof system;
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
  int users = 0;
  for (DWORD i = 0; i < list->AceCount; i++) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    ASSERT_TRUE(GetAce(list, i, reinterpret_cast<void**>(&entry)));
    if (entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (EqualSid(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &entry->SidStart)) users++;
    else EXPECT_TRUE(EqualSid(system, &entry->SidStart)) << "an entry for another user or group";
  }
  EXPECT_EQ(users, 1);
  LocalFree(descriptor);
  release_folder(hold);
}

// A hold's number names its holder only while that process runs: the number of a process that has ended
// (whose number stays its own while a handle of it is open) names none.
TEST(FolderHold, AHoldNamesItsHolderOnlyWhileItRuns) {
  FOLDER folder = scratch_folder("hold-ended");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION ended = {};
  char command[] = "cmd.exe /c exit 3";
  ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &start, &ended));
  ASSERT_EQ(WaitForSingleObject(ended.hProcess, 60000), WAIT_OBJECT_0);
  for (DWORD number : {ended.dwProcessId, GetCurrentProcessId()}) {
    HANDLE squatter = CreateFileA(file.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
    const std::string text = std::to_string(number) + "\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(squatter, text.data(), (DWORD)text.size(), &written, nullptr));
    FOLDER_HOLDER holder;
    EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
    EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
    EXPECT_EQ(holder.process, number == ended.dwProcessId ? 0u : number);
    CloseHandle(squatter);
  }
  CloseHandle(ended.hThread);
  CloseHandle(ended.hProcess);
}

static FOLDER race_folder;
static bool denied_step_came = false;
static void come_and_go(TEST_SEAM_HOLD_STEP step) {
  const std::string file = in(race_folder, FOLDER_HOLD_NAME);
  if (step == HOLD_STEP_LOOKED && !std::filesystem::exists(file)) {
    // Something comes at the name as the hold is about to make its file, which refuses its open (access
    // denied, as a holder's file does while its deletion is pending) ...
    CreateDirectoryA(file.c_str(), nullptr);
  } else if (step == HOLD_STEP_DENIED) {
    // ... and is gone by its second look, as the file of a holder that ends.
    RemoveDirectoryA(file.c_str());
    denied_step_came = true;
    test_seam_on_hold_step(nullptr);
  }
}

// What comes at the hold's name and is gone again while the hold is made (a holder that ends) keeps no
// run from its hold: the name is looked at again, and the folder held.
TEST(FolderHold, WhatComesAndGoesAtTheNameIsLookedAtAgain) {
  race_folder = scratch_folder("hold-comes-and-goes");
  test_seam_on_hold_step(come_and_go);
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&race_folder, &holder);
  test_seam_on_hold_step(nullptr);
  EXPECT_TRUE(denied_step_came);
  EXPECT_NE(hold, nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_FREE);
  release_folder(hold);
  EXPECT_FALSE(std::filesystem::exists(in(race_folder, FOLDER_HOLD_NAME)));
  EXPECT_TRUE(temporaries(race_folder).empty());
}
#else

// ---------------------------------------------------------------------------------------------------
// Linux: processes, users and file systems

// Tests of a second user run as root (as CI runs them) with "nobody" as that user: elsewhere they are
// skipped, and under CI a run without root fails.
#define REQUIRE_ROOT()                                                                       \
  do {                                                                                       \
    if (geteuid() != 0) {                                                                    \
      if (environment_text("CI") == "true") FAIL() << "a second user needs the test as root"; \
      GTEST_SKIP() << "a second user needs the test to run as root";                         \
    }                                                                                        \
  } while (0)

const uid_t NOBODY = 65534;

// Becomes the user (with its own group and no other), in a child process.
static bool become(uid_t user) {
  return user == 0 || (setgroups(0, nullptr) == 0 && setgid(NOBODY) == 0 && setuid(user) == 0);
}

// Runs work as the user in a child process, and returns what it said.
static std::string as_user(uid_t user, const std::function<std::string()>& work) {
  int told[2];
  if (pipe(told) != 0) return "no pipe";
  pid_t child = fork();
  if (child == 0) {
    close(told[0]);
    std::string said = become(user) ? work() : "not that user";
    if (write(told[1], said.data(), said.size()) < 0) _exit(1);
    _exit(0);
  }
  close(told[1]);
  std::string said;
  char buffer[512];
  for (ssize_t count; (count = read(told[0], buffer, sizeof buffer)) > 0;) said.append(buffer, (size_t)count);
  close(told[0]);
  waitpid(child, nullptr, 0);
  return said;
}

// A child process of the user that, once work has made it ready, waits until it is killed (as a run that
// holds the folder, or a process that locks a file): end() kills it, as the test's end does.
struct CHILD {
  pid_t process = -1;
  bool start(uid_t user, const std::function<bool()>& work) {
    int ready[2];
    if (pipe(ready) != 0) return false;
    process = fork();
    if (process == 0) {
      close(ready[0]);
      char done = become(user) && work() ? 1 : 0;
      if (write(ready[1], &done, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char done = 0;
    bool answered = process > 0 && read(ready[0], &done, 1) == 1 && done == 1;
    close(ready[0]);
    if (!answered) end();
    return answered;
  }
  void end() {
    if (process <= 0) return;
    kill(process, SIGKILL);
    waitpid(process, nullptr, 0);
  }
  ~CHILD() { end(); }
};

// A child that holds the folder.
static bool start_holder(CHILD* child, uid_t user, FOLDER folder) {
  return child->start(user, [folder] {
    FOLDER_HOLDER holder;
    return hold_folder(&folder, &holder) != nullptr;
  });
}

// A child that locks the file (made with the text where it is missing), as a process that is no
// installer may.
static bool start_locker(CHILD* child, uid_t user, const std::string& file, const std::string& text) {
  return child->start(user, [file, text] {
    int made = open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    return made >= 0 && write(made, text.data(), text.size()) == (ssize_t)text.size() && flock(made, LOCK_EX) == 0;
  });
}

// A hold's outcome as a child tells it: "held", or the refusal, the process, the user and the cause.
static std::string hold_said(const FOLDER& folder) {
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  if (hold) return "held";
  return std::to_string(holder.refusal) + " " + std::to_string(holder.process) + " " + holder.user + "|" + holder.cause;
}

static struct stat status_of(const std::string& path) {
  struct stat status = {};
  lstat(path.c_str(), &status);
  return status;
}

// Whether this process holds the folder with a file of the user's own ("held"; the refusal's cause
// otherwise); the hold ends.
static std::string held_as_own(const FOLDER& folder, uid_t user) {
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  std::string said = hold && status_of(in(folder, FOLDER_HOLD_NAME)).st_uid == user ? "held" : holder.cause;
  release_folder(hold);
  return said;
}

// A killed run's file at the hold's name, of the user.
static bool leave_killed_holder(uid_t user, const FOLDER& folder) {
  CHILD killed;
  if (!start_holder(&killed, user, folder)) return false;
  killed.end();
  return std::filesystem::exists(in(folder, FOLDER_HOLD_NAME));
}

// Another process's hold names it, stopped or not; once it is killed the folder is free at once. The
// file it left is harmless: the next hold takes its place and removes its own at its end.
TEST(FolderHold, AStoppedHolderIsNamedSoAndAKilledOneHoldsNothing) {
  FOLDER folder = scratch_folder("hold-killed");
  CHILD child;
  ASSERT_TRUE(start_holder(&child, 0, folder));
  FOLDER_HOLDER holder;
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
  EXPECT_EQ(holder.process, (INT_U32)child.process);
  EXPECT_FALSE(holder.stopped);
  kill(child.process, SIGSTOP);
  int status = 0;
  waitpid(child.process, &status, WUNTRACED);
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.process, (INT_U32)child.process);
  EXPECT_TRUE(holder.stopped);
  child.end();
  const struct stat left = status_of(in(folder, FOLDER_HOLD_NAME));
  EXPECT_TRUE(S_ISREG(left.st_mode));
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr);
  EXPECT_NE(status_of(in(folder, FOLDER_HOLD_NAME)).st_ino, left.st_ino);
  EXPECT_EQ(read_whole_text(in(folder, FOLDER_HOLD_NAME)), std::to_string(getpid()) + "\n");
  release_folder(hold);
  EXPECT_FALSE(file_exists(&folder, FOLDER_HOLD_NAME));
  EXPECT_TRUE(temporaries(folder).empty());
}

// On a file system whose modes and owners the mount fixes (every file and folder reports mode 0755 and
// the mount's owner, whatever was asked) the folder is held, and a killed run's file there gives its place;
// another run's hold is named. One that takes no lock is not held: the file this run made goes, and a file
// that was there stays as it was.
TEST(FolderHold, AFileSystemOfFixedModesIsHeldAndOneWithoutLocksIsNot) {
  FOLDER folder = scratch_folder("hold-fixed-modes");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  TEST_SEAM_FILE_SYSTEM told;
  told.mode = 0755;
  told.owner = geteuid() + 1000;
  test_seam_file_system(told);
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr) << holder.cause;
  EXPECT_EQ(read_whole_text(file), std::to_string(getpid()) + "\n");
  release_folder(hold);
  EXPECT_FALSE(std::filesystem::exists(file));
  CHILD other;
  ASSERT_TRUE(start_holder(&other, 0, folder));
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
  EXPECT_EQ(holder.process, (INT_U32)other.process);
  other.end();
  hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr) << holder.cause;
  release_folder(hold);
  EXPECT_FALSE(std::filesystem::exists(file));

  told = TEST_SEAM_FILE_SYSTEM();
  told.no_locks = true;
  test_seam_file_system(told);
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_FREE);
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_TRUE(write_whole_file(file, {'1', '\n'}));
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_FREE);
  EXPECT_EQ(read_whole_text(file), "1\n");
  EXPECT_TRUE(temporaries(folder).empty());
  test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
}

// On a file system whose modes the mount fixes every user may open the hold's file to read it: a lock of
// a user who may not write the folder holds nothing, and the file gives its place. A holder is named by
// its process's user.
TEST(FolderHold, OnFixedModesAReadersLockHoldsNothing) {
  REQUIRE_ROOT();
  FOLDER folder = scratch_folder("hold-fixed-reader");
  ASSERT_EQ(chmod(folder.path, 0755), 0);
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  ASSERT_TRUE(write_whole_file(file, {}));
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  const struct stat left = status_of(file);
  CHILD reader;
  ASSERT_TRUE(reader.start(NOBODY, [file] {
    int opened = open(file.c_str(), O_RDONLY);
    return opened >= 0 && flock(opened, LOCK_EX) == 0;
  }));
  TEST_SEAM_FILE_SYSTEM told;
  told.mode = 0755;
  told.owner = 1000;
  test_seam_file_system(told);
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
  EXPECT_NE(hold, nullptr) << holder.refusal << " " << holder.process << " " << holder.cause;
  EXPECT_NE(status_of(file).st_ino, left.st_ino);
  release_folder(hold);
  EXPECT_TRUE(temporaries(folder).empty());
  // Where all may write, a user's run holds the folder, and is named by its process's user, not by the
  // owner that the file reports.
  reader.end();
  ASSERT_EQ(chmod(folder.path, 0777), 0);
  told.mode = 0777;
  test_seam_file_system(told);
  CHILD other;
  ASSERT_TRUE(start_holder(&other, NOBODY, folder));
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
  EXPECT_EQ(holder.process, (INT_U32)other.process);
  EXPECT_STREQ(holder.user, "nobody");
}

// Where the file system exchanges no names, a killed run's file gives its place by a plain rename, as this
// run holds its lock meanwhile.
TEST(FolderHold, WithoutAnExchangeOfNamesALockedLeftoverIsReplaced) {
  FOLDER folder = scratch_folder("hold-no-exchange");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  ASSERT_TRUE(write_whole_file(file, {'1', '\n'}));
  const struct stat left = status_of(file);
  TEST_SEAM_FILE_SYSTEM told;
  told.no_exchange = true;
  test_seam_file_system(told);
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
  ASSERT_NE(hold, nullptr) << holder.cause;
  EXPECT_NE(status_of(file).st_ino, left.st_ino);
  EXPECT_EQ(read_whole_text(file), std::to_string(getpid()) + "\n");
  EXPECT_TRUE(temporaries(folder).empty());
  release_folder(hold);
}

// What a test does at a step of the hold, once.
static std::function<void(TEST_SEAM_HOLD_STEP)> at_step;
static TEST_SEAM_HOLD_STEP step_wanted;
static void act_at_step(TEST_SEAM_HOLD_STEP step) {
  if (step != step_wanted || !at_step) return;
  auto act = at_step;
  at_step = nullptr;
  act(step);
}

// The name changes between the looks of the hold: a holder that ends removes its file while it still
// holds it, or as this run opens it (and another run's hold then takes the name, where the file system
// exchanges no names); another run's hold takes the name as this run's own file is about to take it. Each
// time the name is looked at again: this run holds the folder where no one else does, and is refused
// where another run holds it, whose file stays.
TEST(FolderHold, WhereTheNameChangesMeanwhileItIsLookedAtAgain) {
  FOLDER folder = scratch_folder("hold-races");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  test_seam_on_hold_step(act_at_step);
  struct RACE {
    const char* what;
    TEST_SEAM_HOLD_STEP step;
    bool no_exchange;
    std::function<void(int)> act;  // given the other holder's descriptor
    bool held;                     // whether this run ends holding the folder
  };
  int other_hold = -1;
  // Another run's hold, made under another name and then given the hold's name.
  auto another_hold_takes_the_name = [&](int) {
    const std::string other = in(folder, "other");
    other_hold = open(other.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    flock(other_hold, LOCK_EX);
    rename(other.c_str(), file.c_str());
  };
  const RACE races[] = {
      {"another hold takes the name from the file just made", HOLD_STEP_MADE, false, another_hold_takes_the_name, false},
      {"removed while still held", HOLD_STEP_OPENED, false, [&](int) { unlink(file.c_str()); }, true},
      {"removed and released, another hold made", HOLD_STEP_OPENED, true,
       [&](int held) {
         unlink(file.c_str());
         flock(held, LOCK_UN);
         other_hold = open(file.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
         flock(other_hold, LOCK_EX);
       },
       false},
      {"another hold takes the name from the file about to take it", HOLD_STEP_EXCHANGE, false,
       another_hold_takes_the_name, false},
  };
  for (const RACE& race : races) {
    SCOPED_TRACE(race.what);
    // The other holder's file: none where this run makes the hold's file, held (by another descriptor of
    // this process) where it is opened, else a killed run's (held by no one).
    int held = race.step == HOLD_STEP_MADE ? -1 : open(file.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_TRUE(held >= 0 || race.step == HOLD_STEP_MADE);
    if (race.step == HOLD_STEP_OPENED) {
      ASSERT_EQ(flock(held, LOCK_EX), 0);
    }
    TEST_SEAM_FILE_SYSTEM told;
    told.no_exchange = race.no_exchange;
    test_seam_file_system(told);
    step_wanted = race.step;
    at_step = [&race, held](TEST_SEAM_HOLD_STEP) { race.act(held); };
    FOLDER_HOLDER holder;
    FOLDER_HOLD* hold = hold_folder(&folder, &holder);
    test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
    EXPECT_FALSE(at_step);  // the step came
    EXPECT_EQ(hold != nullptr, race.held) << holder.refusal << " " << holder.cause;
    if (hold) {
      EXPECT_EQ(read_whole_text(file), std::to_string(getpid()) + "\n");
      release_folder(hold);
    } else {
      EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
      struct stat named, other;
      EXPECT_TRUE(lstat(file.c_str(), &named) == 0 && fstat(other_hold, &other) == 0 && named.st_ino == other.st_ino);
    }
    EXPECT_TRUE(temporaries(folder).empty());
    if (other_hold >= 0) close(other_hold);
    other_hold = -1;
    if (held >= 0) close(held);
    std::filesystem::remove(file);
  }
  test_seam_on_hold_step(nullptr);
  // A hold whose name another file took meanwhile removes only its own file at its end.
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  ASSERT_NE(hold, nullptr);
  ASSERT_TRUE(write_whole_file(in(folder, "other"), {'o'}));
  ASSERT_EQ(rename(in(folder, "other").c_str(), file.c_str()), 0);
  release_folder(hold);
  EXPECT_EQ(read_whole_text(file), "o");
}

// A user who cannot write a folder that all may read (a system-wide installation's) neither takes nor
// keeps its hold from the folder's owner: not by its own hold, nor by a lock on the folder or on the file
// that a killed run of the owner left, which it cannot open. Without a hold of its own it installs
// nothing there, and leaves nothing.
TEST(FolderHold, AUserWhoCannotWriteTheFolderNeitherTakesNorKeepsIt) {
  REQUIRE_ROOT();
  FOLDER folder = scratch_folder("hold-other-user");
  ASSERT_EQ(chmod(folder.path, 0755), 0);
  ASSERT_TRUE(leave_killed_holder(0, folder));
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  CHILD other;
  std::string said;
  int told[2];
  ASSERT_EQ(pipe(told), 0);
  // What the user got: its own hold, a lock on the folder, the file opened; then it keeps them.
  ASSERT_TRUE(other.start(NOBODY, [&] {
    said = hold_said(folder);
    int on_folder = open(folder.path, O_RDONLY | O_DIRECTORY);
    said += on_folder >= 0 && flock(on_folder, LOCK_EX | LOCK_NB) == 0 ? " folder locked" : " folder not locked";
    said += open(file.c_str(), O_RDONLY | O_NOFOLLOW) >= 0 ? " file opened" : " file not opened";
    return write(told[1], said.data(), said.size()) == (ssize_t)said.size();
  }));
  close(told[1]);
  char buffer[512];
  ssize_t count = read(told[0], buffer, sizeof buffer);
  close(told[0]);
  EXPECT_EQ(std::string(buffer, count > 0 ? (size_t)count : 0), "0 0 | folder locked file not opened");
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_FREE);
  release_folder(hold);
  other.end();
  EXPECT_EQ(as_user(NOBODY, [&] { return hold_said(folder); }), "0 0 |");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(temporaries(folder).empty());
}

// In a sticky folder that all may write, another user cannot remove root's files: its file at the hold's
// name holds nothing against root's run, locked or not, whatever number it holds, and gives its place (a
// link of its own too, never what it leads to); a folder of its own, which may hold what is its own, is
// named. Root's hold is root's own file, which that user can neither take away nor replace; and that
// user's run is refused by root's, running or killed, with whose it is and who may remove it.
TEST(FolderHold, InAStickyFolderAnotherUsersFileHoldsNothingAgainstRoot) {
  REQUIRE_ROOT();
  FOLDER folder = scratch_folder("hold-sticky");
  ASSERT_EQ(chmod(folder.path, 01777), 0);
  const std::string file = in(folder, FOLDER_HOLD_NAME), outside = in(folder, "outside.txt");
  ASSERT_TRUE(write_whole_file(outside, {'o'}));
  for (const char* planted : {"locked", "unlocked", "link"}) {
    SCOPED_TRACE(planted);
    CHILD locker;
    if (std::string(planted) == "locked") {
      ASSERT_TRUE(start_locker(&locker, NOBODY, file, "1\n"));
    } else if (std::string(planted) == "unlocked") {
      ASSERT_EQ(as_user(NOBODY, [&] { return write_whole_file(file, {'1', '\n'}) ? "" : "not made"; }), "");
    } else {
      ASSERT_EQ(as_user(NOBODY, [&] { return symlink(outside.c_str(), file.c_str()) == 0 ? "" : "not made"; }), "");
    }
    ASSERT_EQ(status_of(file).st_uid, NOBODY);
    FOLDER_HOLDER holder;
    FOLDER_HOLD* hold = hold_folder(&folder, &holder);
    ASSERT_NE(hold, nullptr) << holder.refusal << " " << holder.process << " " << holder.cause;
    EXPECT_EQ(status_of(file).st_uid, 0u);
    EXPECT_TRUE(S_ISREG(status_of(file).st_mode));
    EXPECT_EQ(read_whole_text(file), std::to_string(getpid()) + "\n");
    EXPECT_EQ(read_whole_file(outside), std::vector<INT_U8>{'o'});
    EXPECT_EQ(as_user(NOBODY,
                      [&] {
                        std::string moved = rename(file.c_str(), in(folder, "moved").c_str()) == 0 ? "moved" : strerror(errno);
                        return moved + " " + hold_said(folder);
                      }),
              "Operation not permitted 1 " + std::to_string(getpid()) + " root|");
    FOLDER_HOLDER second;
    EXPECT_EQ(hold_folder(&folder, &second), nullptr);
    EXPECT_EQ(second.process, (INT_U32)getpid());
    release_folder(hold);
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  ASSERT_EQ(as_user(NOBODY, [&] { return mkdir(file.c_str(), 0755) == 0 ? "" : "not made"; }), "");
  EXPECT_EQ(hold_said(folder), "3 0 |is a folder of user nobody, who may not remove this installation's files: "
                               "its owner or root may remove it");
  ASSERT_TRUE(std::filesystem::is_directory(file));
  ASSERT_EQ(rmdir(file.c_str()), 0);
  ASSERT_TRUE(leave_killed_holder(0, folder));
  EXPECT_EQ(as_user(NOBODY, [&] { return hold_said(folder); }),
            "3 0 |is of user root, left by a run that has ended (no run holds it), and this user may not remove it "
            "(Operation not permitted): root may remove it");
  // A sticky folder of another user's: a file there may be removed by its owner, the folder's and root.
  ASSERT_EQ(chown(folder.path, NOBODY, NOBODY), 0);
  EXPECT_EQ(as_user(12345, [&] { return hold_said(folder); }),
            "3 0 |is of user root, left by a run that has ended (no run holds it), and this user may not remove it "
            "(Operation not permitted): root or the folder's owner (nobody) may remove it");
  ASSERT_TRUE(std::filesystem::remove(file));
  ASSERT_EQ(as_user(12345, [&] { return write_whole_file(file, {}) ? "" : "not made"; }), "");
  EXPECT_EQ(as_user(12346, [&] { return hold_said(folder); }),
            "3 0 |is of user 12345, who may not remove this installation's files, and this user may not remove it "
            "(Operation not permitted): its owner, the folder's owner (nobody) or root may remove it");
  EXPECT_TRUE(temporaries(folder).empty());
}

// In a folder that its group may write, a member could remove the installation's files: its run holds the
// folder against root's, named with its user, and a file of its that a process of its locks refuses root,
// though the number in it is not believed. What root's killed run left, the member's next run takes, and
// so does root's what the member's left. A user outside the group, who cannot write the folder, holds
// nothing with a file of its own there, locked or not.
TEST(FolderHold, InAGroupWritableFolderAMemberHoldsItAndAnotherUserDoesNot) {
  REQUIRE_ROOT();
  FOLDER folder = scratch_folder("hold-group");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  ASSERT_EQ(chown(folder.path, 0, NOBODY), 0);
  ASSERT_EQ(chmod(folder.path, 0775), 0);
  CHILD member;
  ASSERT_TRUE(start_holder(&member, NOBODY, folder));
  FOLDER_HOLDER holder;
  EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
  EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
  EXPECT_EQ(holder.process, (INT_U32)member.process);
  EXPECT_STREQ(holder.user, "nobody");
  member.end();
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  ASSERT_NE(hold, nullptr) << holder.cause;
  EXPECT_EQ(status_of(file).st_uid, 0u);
  release_folder(hold);

  ASSERT_TRUE(start_locker(&member, NOBODY, file, "1\n"));
  TEST_SEAM_FILE_SYSTEM no_list;
  no_list.no_lock_list = true;
  for (bool listed : {true, false}) {
    test_seam_file_system(listed ? TEST_SEAM_FILE_SYSTEM() : no_list);
    EXPECT_EQ(hold_folder(&folder, &holder), nullptr);
    EXPECT_EQ(holder.refusal, FOLDER_HOLD_HELD);
    EXPECT_EQ(holder.process, 0u) << listed;
  }
  test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
  member.end();
  std::filesystem::remove(file);

  // A file that the member may read alone is judged by its lock, with or without the list.
  ASSERT_TRUE(write_whole_file(file, {}));
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  EXPECT_EQ(as_user(NOBODY,
                    [&] {
                      TEST_SEAM_FILE_SYSTEM told;
                      told.no_lock_list = true;
                      test_seam_file_system(told);
                      FOLDER_HOLDER taken;
                      FOLDER_HOLD* own = hold_folder(&folder, &taken);
                      release_folder(own);
                      return std::string(own ? "held" : taken.cause);
                    }),
            "held");
  EXPECT_FALSE(std::filesystem::exists(file));

  ASSERT_TRUE(leave_killed_holder(0, folder));
  EXPECT_EQ(as_user(NOBODY, [&] { return held_as_own(folder, NOBODY); }), "held");
  EXPECT_FALSE(std::filesystem::exists(file));

  // Outside the group: the folder is root's group's.
  ASSERT_EQ(chown(folder.path, 0, 0), 0);
  ASSERT_TRUE(write_whole_file(file, {'1', '\n'}));
  ASSERT_EQ(chown(file.c_str(), NOBODY, NOBODY), 0);
  ASSERT_TRUE(start_locker(&member, NOBODY, file, "1\n"));
  hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr) << holder.refusal << " " << holder.cause;
  EXPECT_EQ(status_of(file).st_uid, 0u);
  release_folder(hold);
  EXPECT_TRUE(temporaries(folder).empty());
}

// A killed root run's file in a folder of another user is that user's next run's to take: it cannot open
// the file, and the system's list of locks says that no process holds it. Where the list cannot tell (it
// leaves out other process namespaces' locks), or the file system cannot exchange it for another, the run
// is refused with whose it is and what to do; while root's run holds it, with root's run named.
TEST(FolderHold, TheFoldersOwnerTakesWhatAKilledRootRunLeft) {
  REQUIRE_ROOT();
  FOLDER folder = scratch_folder("hold-owners");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  ASSERT_EQ(chown(folder.path, NOBODY, NOBODY), 0);
  ASSERT_EQ(chmod(folder.path, 0755), 0);
  CHILD root_run;
  ASSERT_TRUE(start_holder(&root_run, 0, folder));
  EXPECT_EQ(as_user(NOBODY, [&] { return hold_said(folder); }),
            "1 " + std::to_string(root_run.process) + " root|");
  root_run.end();
  auto told_as = [&](const TEST_SEAM_FILE_SYSTEM& told) {
    return as_user(NOBODY, [&] {
      test_seam_file_system(told);
      return hold_said(folder);
    });
  };
  const std::string untold = "3 0 |is of user root and cannot be opened (Permission denied), so whether a run holds it "
                             "cannot be told: where none does, whoever may write the folder may remove it";
  TEST_SEAM_FILE_SYSTEM told;
  told.no_lock_list = true;
  EXPECT_EQ(told_as(told), untold);
  // So in a process namespace of its own, whose list of locks leaves out the locks of processes outside it.
  std::string nested = as_user(0, [&] { return unshare(CLONE_NEWPID) == 0 ? as_user(NOBODY, [&] { return hold_said(folder); }) : ""; });
  if (nested.empty()) std::printf("(no process namespace of its own can be made here: not tried in one)\n");
  else EXPECT_EQ(nested, untold);
  told = TEST_SEAM_FILE_SYSTEM();
  told.no_exchange = true;
  EXPECT_EQ(told_as(told), "3 0 |is of user root, left by a run that has ended (no run holds it), and this file "
                           "system cannot exchange it for another: whoever may write the folder may remove it");
  // Where the file system takes no lock there is no hold, and nothing of the run's stays.
  told = TEST_SEAM_FILE_SYSTEM();
  told.no_locks = true;
  EXPECT_EQ(told_as(told), "0 0 |");
  EXPECT_EQ(status_of(file).st_uid, 0u);
  EXPECT_TRUE(temporaries(folder).empty());
  EXPECT_EQ(as_user(NOBODY, [&] { return held_as_own(folder, NOBODY); }), "held");
  EXPECT_FALSE(std::filesystem::exists(file));
}

// A file judged by the list of locks is judged again once it is out of the name: a root run that locks it
// meanwhile (to take it itself) keeps it, and the folder's owner's run is refused with that run named.
TEST(FolderHold, AFileLockedAsItIsTakenGoesBackToItsHolder) {
  REQUIRE_ROOT();
  FOLDER folder = scratch_folder("hold-taken-back");
  const std::string file = in(folder, FOLDER_HOLD_NAME);
  ASSERT_EQ(chown(folder.path, NOBODY, NOBODY), 0);
  ASSERT_TRUE(leave_killed_holder(0, folder));
  const ino_t left = status_of(file).st_ino;
  int asked[2], locked[2];
  ASSERT_EQ(pipe(asked), 0);
  ASSERT_EQ(pipe(locked), 0);
  static int ask = -1, answer = -1;
  ask = asked[1];
  answer = locked[0];
  pid_t child = fork();
  if (child == 0) {
    // The folder's owner's run: as its file is about to take the name, root's lock comes.
    test_seam_on_hold_step([](TEST_SEAM_HOLD_STEP step) {
      char byte = 0;
      if (step == HOLD_STEP_EXCHANGE && ask >= 0 && write(ask, "x", 1) == 1 && read(answer, &byte, 1) == 1) ask = -1;
    });
    std::string said = become(NOBODY) ? hold_said(folder) : "not nobody";
    if (write(asked[1], said.data(), said.size()) < 0) _exit(1);
    _exit(0);
  }
  close(locked[0]);
  char byte = 0;
  ASSERT_EQ(read(asked[0], &byte, 1), 1);
  int root_lock = open(file.c_str(), O_RDONLY);
  ASSERT_GE(root_lock, 0);
  ASSERT_EQ(flock(root_lock, LOCK_EX | LOCK_NB), 0);
  ASSERT_EQ(write(locked[1], "x", 1), 1);
  close(asked[1]);
  std::string said;
  char buffer[512];
  for (ssize_t count; (count = read(asked[0], buffer, sizeof buffer)) > 0;) said.append(buffer, (size_t)count);
  waitpid(child, nullptr, 0);
  close(asked[0]);
  close(locked[1]);
  EXPECT_EQ(said, "1 " + std::to_string(getpid()) + " root|");
  EXPECT_EQ(status_of(file).st_ino, left);
  EXPECT_TRUE(temporaries(folder).empty());
  close(root_lock);
}
#endif
