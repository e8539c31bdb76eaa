// Tests of the install step and automatic mode: a package built from a scratch tree is installed file
// by file (byte-identical copies), "install_log.txt" holds exactly its lines, the uninstall entry and
// the shortcuts hold the right values; overwrite rules, failures (a close that fails, a folder or a
// destination that cannot be made, shortcuts and the entry not made), 32-bit counters, locations under
// the system folders, programs installed executable, the copy-error box, and the package's index,
// fonts and cache size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "button.h"
#include "confirm.h"
#include "errors.h"
#include "text_win.h"
#include "installer_test_support.h"
#include "page_manager.h"
#include "redraw.h"
#include "files.h"
#include "font.h"
#include "package.h"
#include "host.h"
#include "registry.h"
#include "installer_install_support.h"
#include "window_scenario.h"

#ifdef _WIN32
#include <windows.h>

#include "shell_link_test_support.h"
// The Windows headers' ERROR macro would hide the database's ERROR placement.
#undef ERROR
#else
#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// A close made to fail, as a network share's delayed write or a quota fails it: the close of every
// stream of a file of that size (0: none) is carried out all the same, and reports an input/output
// error.
static INT_U64 fail_close_of_size = 0;

extern "C" int fclose(FILE* file) {
  bool fail = fail_close_of_size && stream_size(file) == fail_close_of_size;
  int closed = real_fclose(file);
  if (!fail) return closed;
#ifdef _WIN32
  SetLastError(ERROR_IO_DEVICE);
#else
  errno = EIO;
#endif
  return EOF;
}

#ifndef _WIN32
namespace {

std::string desktop_value(const std::string& path, const std::string& key) {
  for (const std::string& line : read_lines(path))
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  return std::string();
}

}  // namespace
#endif

TEST(InstallerInstall, AutomaticInstallCopiesEveryFileLogsAndRegisters) {
  INSTALLER_SCRATCH scratch("install-all");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  EXPECT_EQ(database->total_file_count, 5);
  EXPECT_EQ(database->installations[0].has_desktop_items, 1);
  EXPECT_EQ(database->installations[0].has_menu_items, 1);
  EXPECT_STREQ(database->install_path, "$SCRATCH/dest");

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(database->install_state.error_count, 0);
  EXPECT_EQ(database->install_state.step_counter, 0);  // the stage moved on: the counter starts afresh next time

  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;

  const int system = database->use_system_paths;
  std::vector<std::string> installed;
  for (const char* file : {"bin/data.bin", "bin/run.sh", "bin/uninstall.sh", "docs/guide.txt", "readme.txt"})
    installed.push_back("Installed \"" + scratch.installed(file) + "\"");
  std::string bin = scratch.installed("bin"), docs = scratch.installed("docs");
  std::vector<std::string> tail = {
      "create_desktop_shortcut( 1, \"run.sh\", \"\", \"Test App\", \"null\", \"\", \"" + bin + "\" );",
      "create_os_menu_shortcut( 3, \"guide.txt\", \"\", \"Test Guide\", \"Velk Test Group\", \"null\", \"\", \"" + docs +
          "\" );",
      "RegKey \"Velk Test App\"", "Installation completed without any errors."};
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")),
            expected_log(scratch, "Settings: 0 " + std::to_string(system) + " $SCRATCH/dest", installed, tail));

  char display[512] = "", uninstall[512] = "";
  ASSERT_TRUE(read_uninstall_entry("Velk Test App", display, uninstall, sizeof display));
  EXPECT_STREQ(display, "Velk Test App");
  EXPECT_EQ(std::string(uninstall), scratch.installed("bin/uninstall.sh"));

#ifdef _WIN32
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH "\\Velk Test App", 0, KEY_READ, &key), ERROR_SUCCESS);
  char value[512] = "";
  DWORD type = 0, size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "UninstallString", nullptr, &type, (BYTE*)value, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, (DWORD)REG_SZ);
  EXPECT_EQ(size, (DWORD)(std::strlen(value) + 1));  // the size counts the terminating zero
  EXPECT_EQ(std::string(value), scratch.installed("bin/uninstall.sh"));
  size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "DisplayName", nullptr, &type, (BYTE*)value, &size), ERROR_SUCCESS);
  EXPECT_STREQ(value, "Velk Test App");
  RegCloseKey(key);

  std::string desktop_link = special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Test App.lnk";
  std::string menu_link = special_folder(CSIDL_PROGRAMS) + "\\Velk Test Group\\Test Guide.lnk";
  EXPECT_EQ(link_target(desktop_link), scratch.installed("bin/run.sh"));
  EXPECT_EQ(link_target(menu_link), scratch.installed("docs/guide.txt"));
#else
  std::string desktop = scratch.root + "home/Desktop/Test App.desktop";
  EXPECT_EQ(desktop_value(desktop, "Name"), "Test App");
  EXPECT_EQ(desktop_value(desktop, "Exec"), scratch.installed("bin/run.sh"));
  std::string menu = scratch.root + "home/data/applications/Velk Test Group/Test Guide.desktop";
  EXPECT_EQ(desktop_value(menu, "Name"), "Test Guide");
  EXPECT_EQ(desktop_value(menu, "URL"), "file://" + scratch.installed("docs/guide.txt"));
  // The stand-in registry file is a settings file in the registry's one folder of the configuration folder.
  std::string registry = scratch.root + "home/config/velk/registry/SOFTWARE/Microsoft/Windows/"
                                        "CurrentVersion/Uninstall/Velk Test App.cfg";
  EXPECT_EQ(read_lines(registry), (std::vector<std::string>{"DisplayName", "\tVelk Test App", "UninstallString",
                                                            "\t" + scratch.installed("bin/uninstall.sh")}));
#endif

  // The log is read back: the same install location matches.
  database->use_system_paths = 0;
  std::strcpy(database->PATCH.dest_path_from_inst_loc, "$HERE");
  EXPECT_EQ(database->read_install_log(), system == 0);
}

// A tree named in UTF-8 is packed under the system's names (Latin-1, runs above 0xFF) and installed
// under the file system's own: the files, their folder, the log's lines (UTF-8 once, never the UTF-8
// bytes encoded again), the shortcut and the uninstall entry.
TEST(InstallerInstall, NamesOutsideAsciiArriveUnderTheirOwnNamesAndAreLoggedOnce) {
  const std::string latin = "Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt", accents = "caf\xC3\xA9/\xC3\xBF.txt",
                    wide = "\xE4\xB8\xAD\xE6\x96\x87.txt", beyond = "\xF0\x9F\x98\x80.txt";
  INSTALLER_SCRATCH scratch("install-names", "uninstaller = Gr\xC3\xBC\xC3\x9F" "e App;uninstall.sh;$HERE/bin\n"
                                             "desktop_shortcut = 3;" + latin + ";Gr\xC3\xBC\xC3\x9F" "e Link;$HERE\n");
  for (const std::string& name : {latin, accents, wide, beyond}) scratch.add_file(name, text_bytes(name));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  std::set<std::string> packed;
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++)
    packed.insert(database->installations[0].files[i].packed_name);
  EXPECT_EQ(packed.count("Gr\xFC\xDF" "e-\xF1.txt"), 1u);
  EXPECT_EQ(packed.count("caf\xE9/\xFF.txt"), 1u);
  EXPECT_EQ(packed.count("\x01,4E2D,6587\x01.txt"), 1u);
  EXPECT_EQ(packed.count("\x01,D83D,DE00\x01.txt"), 1u);

#ifndef _WIN32
  testing::internal::CaptureStdout();
#endif
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
#ifndef _WIN32
  EXPECT_NE(captured_stdout().find("% /" + latin + "\n"), std::string::npos);  // a terminal's UTF-8
#endif
  std::string log = read_whole_text(scratch.installed("install_log.txt"));
  for (const std::string& name : {latin, accents, wide, beyond}) {
    EXPECT_EQ(read_whole_file(scratch.installed(name)), text_bytes(name)) << name;
    std::string line = "Installed \"" + scratch.installed(name) + "\"";
    size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << line;
  }
  EXPECT_EQ(log.find("\xC3\x83"), std::string::npos);  // U+00C3 starts every doubly encoded Latin-1 letter
  EXPECT_NE(log.find("create_desktop_shortcut( 3, \"" + latin + "\", \"\", \"Gr\xC3\xBC\xC3\x9F" "e Link\""),
            std::string::npos);
  EXPECT_NE(log.find("RegKey \"Gr\xC3\xBC\xC3\x9F" "e App\""), std::string::npos);

  char display[512] = "", uninstall[512] = "";
  ASSERT_TRUE(read_uninstall_entry("Gr\xFC\xDF" "e App", display, uninstall, sizeof display));
  EXPECT_STREQ(display, "Gr\xFC\xDF" "e App");
#ifdef _WIN32
  EXPECT_EQ(link_target(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Gr\xC3\xBC\xC3\x9F" "e Link.lnk"),
            scratch.installed(latin));
#else
  std::string desktop = scratch.root + "home/Desktop/Gr\xC3\xBC\xC3\x9F" "e Link.desktop";
  EXPECT_EQ(desktop_value(desktop, "Name"), "Gr\xC3\xBC\xC3\x9F" "e Link");
  EXPECT_EQ(desktop_value(desktop, "URL"), "file://" + scratch.installed("Gr%C3%BC%C3%9Fe-%C3%B1.txt"));
  std::string registry = scratch.root + "home/config/velk/registry/SOFTWARE/Microsoft/Windows/"
                                        "CurrentVersion/Uninstall/Gr\xC3\xBC\xC3\x9F" "e App.cfg";
  EXPECT_EQ(read_lines(registry)[1], "\tGr\xC3\xBC\xC3\x9F" "e App");
#endif
}

TEST(InstallerInstall, OverwriteRulesKeepOrReplaceExistingFiles) {
  INSTALLER_SCRATCH scratch("install-overwrite");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  std::vector<INT_U8> changed = text_bytes("changed by the user\n");
  ASSERT_TRUE(write_whole_file(scratch.installed("readme.txt"), changed));
  ASSERT_TRUE(write_whole_file(scratch.installed("docs/guide.txt"), changed));
  ASSERT_TRUE(write_whole_file(scratch.installed("bin/run.sh"), changed));

  INSTALLATION& installation = database->installations[0];
  for (INT_S16 i = 0; i < installation.file_count; i++) {
    std::string name = installation.files[i].src_name;
    if (name == "readme.txt") installation.files[i].overwrite = 2;   // only when absent
    if (name == "guide.txt") installation.files[i].overwrite = 1;    // when absent or older
    if (name == "run.sh") installation.files[i].overwrite = 1;
  }
  // Older than the stamp: replaced; the guide's rule sees a stamp from 1970 and keeps it.
  database->time_stamp = 0xFFFFFFF0u;
  for (INT_S16 i = 0; i < installation.file_count; i++)
    if (std::string(installation.files[i].src_name) == "guide.txt") installation.files[i].overwrite = 3;
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_file(scratch.installed("readme.txt")), changed);  // kept: it exists
  EXPECT_EQ(read_whole_file(scratch.installed("bin/run.sh")), read_whole_file(scratch.source + "files/bin/run.sh"));
  // Each run keeps the log of the run before under the next free number.
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_EQ(log[9], "Kept the earlier install log as \"" + scratch.installed("install_log-1.txt") + "\"");
  EXPECT_EQ(log[14], "Skipped \"" + scratch.installed("readme.txt") + "\"");

  ASSERT_TRUE(write_whole_file(scratch.installed("bin/run.sh"), changed));
  database->time_stamp = 1;  // the file is newer than the stamp: kept
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_file(scratch.installed("bin/run.sh")), changed);
  log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_EQ(log[9], "Kept the earlier install log as \"" + scratch.installed("install_log-2.txt") + "\"");
  EXPECT_EQ(log[11], "Skipped \"" + scratch.installed("bin/run.sh") + "\"");
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
}

TEST(InstallerInstall, FailedEntriesAreLoggedCountedAndEndWithStatusOne) {
  INSTALLER_SCRATCH scratch("install-fail");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  INSTALLATION& installation = database->installations[0];
  std::strcpy(installation.files[0].packed_name, "no-such-entry");
  // Other platforms and files without a packed name are passed over without a line.
  installation.files[1].platform = PLATFORM_PSP;
  installation.files[2].packed_name[0] = 0;
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(database->install_state.error_count, 1);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GE(log.size(), 11u);
  EXPECT_EQ(log[9], "\"" + scratch.installed("bin/data.bin") +
                        "\" failed to unpack (no-such-entry): is missing from the package");
  EXPECT_EQ(log[10], "Installed \"" + scratch.installed("docs/guide.txt") + "\"");
  EXPECT_EQ(log.back(), "Installation completed with 1 error.");
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("bin/run.sh")));
}

// Two entries of one destination (a package made without the packer) are one file installed twice:
// the second follows the overwrite rules over the first (kept when only absent, replaced always,
// replaced when older than the stamp), and the run completes with its shortcuts and uninstall entry.
TEST(InstallerInstall, TwoEntriesOfOneDestinationFollowTheOverwriteRules) {
  INSTALLER_SCRATCH scratch("install-twice");
  const std::vector<std::pair<std::string, std::string>> places = {
      {"$HERE/dup", "kept.txt"},     {"$HERE/dup/", "kept.txt"},     {"$HERE/dup", "replaced.txt"},
      {"$HERE/dup", "replaced.txt"}, {"$HERE/dup", "stamped.txt"}, {"$HERE/dup", "stamped.txt"}};
  const INT_U8 overwrite[] = {0, 2, 0, 0, 0, 1};
  for (size_t i = 0; i < places.size(); i++) scratch.add_file("more/" + std::to_string(i), text_bytes("entry " + std::to_string(i)));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  place_more_files(database.get(), places);
  INSTALLATION& installation = database->installations[0];
  for (INT_S16 i = 0; i < installation.file_count; i++)
    if (std::strncmp(installation.files[i].packed_name, "more/", 5) == 0)
      installation.files[i].overwrite = overwrite[std::stoul(installation.files[i].packed_name + 5)];
  std::strcpy(installation.uninstaller_name, "Velk Twice App");
  std::strcpy(installation.items[0].link_name, "Twice App");
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);
  database->time_stamp = 0xFFFFFFF0u;  // newer than any file

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_text(scratch.installed("dup/kept.txt")), "entry 0");
  EXPECT_EQ(read_whole_text(scratch.installed("dup/replaced.txt")), "entry 3");
  EXPECT_EQ(read_whole_text(scratch.installed("dup/stamped.txt")), "entry 5");
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  std::vector<std::string> dup_lines;
  for (const std::string& line : log)
    if (line.find(scratch.installed("dup")) != std::string::npos) dup_lines.push_back(line);
  auto line = [&](const char* how, const char* name) { return std::string(how) + " \"" + scratch.installed(std::string("dup/") + name) + "\""; };
  EXPECT_EQ(dup_lines, (std::vector<std::string>{line("Installed", "kept.txt"), line("Skipped", "kept.txt"),
                                                 line("Installed", "replaced.txt"), line("Installed", "replaced.txt"),
                                                 line("Installed", "stamped.txt"), line("Installed", "stamped.txt")}));
  EXPECT_EQ(log[log.size() - 2], "RegKey \"Velk Twice App\"");
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  char display[512] = "", uninstall[512] = "";
  EXPECT_TRUE(read_uninstall_entry("Velk Twice App", display, uninstall, sizeof display));
#ifdef _WIN32
  EXPECT_EQ(link_target(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Twice App.lnk"), scratch.installed("bin/run.sh"));
#else
  EXPECT_EQ(desktop_value(scratch.root + "home/Desktop/Twice App.desktop", "Exec"), scratch.installed("bin/run.sh"));
#endif
}

// A file whose close fails after everything was written is not installed: nothing is left at its name
// (its bytes may have lost a write), an earlier file of that name stays as it was, and the log and the
// failure say so with the system's cause.
TEST(InstallerInstall, AFileWhoseCloseFailsIsNotInstalled) {
  INSTALLER_SCRATCH scratch("install-failed-close");
  const std::vector<std::pair<std::string, std::string>> places = {{"$HERE", "new.bin"}, {"$HERE", "old.bin"}};
  for (size_t i = 0; i < places.size(); i++)
    scratch.add_file("more/" + std::to_string(i), std::vector<INT_U8>(3333, (INT_U8)('m' + i)));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  place_more_files(database.get(), places);
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);
  std::filesystem::create_directories(scratch.destination);
  ASSERT_TRUE(write_whole_file(scratch.installed("old.bin"), text_bytes("old")));

  fail_close_of_size = 3333;
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  fail_close_of_size = 0;
  EXPECT_EQ(database->install_state.error_count, 2);
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("new.bin")));
  EXPECT_EQ(read_whole_text(scratch.installed("old.bin")), "old");
  for (const auto& entry : std::filesystem::directory_iterator(scratch.destination))
    EXPECT_NE(entry.path().filename().string().compare(0, 5, "~velk"), 0) << entry.path();
#ifdef _WIN32
  const std::string cause = "I/O device error";
#else
  const std::string cause = "Input/output error";
#endif
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  for (int i = 0; i < 2; i++)
    EXPECT_NE(std::find(log.begin(), log.end(), "\"" + scratch.installed(places[i].second) + "\" failed to unpack (more/" +
                                                    std::to_string(i) + "): cannot be created (" + cause + ")"),
              log.end());
  EXPECT_EQ(database->install_state.failure_text, "\"" + scratch.installed("old.bin") + "\" cannot be created (" + cause + ").");
}

namespace {

// A folder that can no longer be written, and can be again. Natively by its mode: the installation runs
// as a user whom the mode stops (the test's own, or "nobody" where the test runs as root). Under Wine from
// the Unix side: made immutable where the test runs as root (whom no mode stops), else by its mode.
struct FOLDER_LOCK {
  std::string folder;
#ifdef _WIN32
  WINDOW_SCENARIO shell{"install-read-only-shell"};
  std::string unix_folder;
  explicit FOLDER_LOCK(const std::string& path) : folder(path), unix_folder(shell.unix_path(path)) {}
  bool set(bool locked) {
    std::string answer;
    std::string quoted = "'" + unix_folder + "'";
    return shell.run_shell("lock", locked ? "chattr +i " + quoted + " 2>/dev/null || chmod 0555 " + quoted
                                          : "chattr -i " + quoted + " 2>/dev/null; chmod 0755 " + quoted,
                           &answer);
  }
#else
  explicit FOLDER_LOCK(const std::string& path) : folder(path) {}
  bool set(bool locked) { return chmod(folder.c_str(), locked ? 0555 : 0755) == 0; }
#endif
};

// Locks the folder while the file whose progress names `when` is written (its temporary made and partly
// written), and unlocks it once the progress names `again`.
struct READ_ONLY_TURN : INSTALL_OBSERVER {
  FOLDER_LOCK* lock = nullptr;
  std::string when, again, shown;
  bool locked = false;
  void show_progress(INSTALL_DIALOG*, const char* text, INT_S32) override {
    shown = text;
    if (locked && !again.empty() && shown.find(again) != std::string::npos) locked = !lock->set(false);
  }
  void file_going_on(INSTALL_DIALOG*) override {
    if (!locked && !when.empty() && shown.find(when) != std::string::npos) locked = lock->set(true);
  }
  void show_install_complete(INSTALL_DIALOG*) override {}
  void copy_error(DATABASE*, const char*, const char*, const char*) override {}
  void installation_stopped(DATABASE*, const char*) override {}
};

// The names of the installer's temporaries in the folder, one to a line.
std::string temporaries_in(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().compare(0, 5, "~velk") == 0) names.insert(entry.path().filename().string());
  std::string listed;
  for (const std::string& name : names) listed += name + "\n";
  return listed;
}

// The installations of the test below: each (of so many steps, or whole), the wizard then back on the
// options page, as after the copy-error box's No; each leaves its log, what failed last in the wizard's
// words and the temporaries left in the scratch folder, under its name. False when a step could not be
// taken.
bool install_with_folder_turning(INSTALLER_SCRATCH& scratch, FOLDER_LOCK* lock) {
  auto database = load_or_fail(scratch);
  if (!database) return false;
#ifndef _WIN32
  if (geteuid() == 0) {
    bool given = lchown(scratch.root.c_str(), 65534, 65534) == 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.root))
      given = given && lchown(entry.path().c_str(), 65534, 65534) == 0;
    if (!given || setgid(65534) != 0 || setuid(65534) != 0) return false;
  }
#endif
  READ_ONLY_TURN turn;
  turn.lock = lock;
  set_install_observer(&turn);
  auto install = [&](const char* name, int steps) {
    run_steps(database.get(), steps);
    database->stage = STAGE_INSTALL_TYPE;
    database->install_step(nullptr);
    std::filesystem::copy_file(scratch.installed("install_log.txt"), scratch.root + name + ".log");
    write_whole_file(scratch.root + name + ".failure", text_bytes(database->install_state.failure_text));
    write_whole_file(scratch.root + name + ".left", text_bytes(temporaries_in(lock->folder)));
  };
  turn.when = "data.bin";  // locked from then on
  install("first", -1);
  bool unlocked = lock->set(false);
  turn.locked = false;
#ifdef _WIN32
  // Wine takes a file's removal for done once it is asked for, and removes the name at the close, saying
  // nothing when that fails: a temporary that stays is not known there (Windows refuses the removal).
  set_install_observer(nullptr);
  return unlocked;
#endif
  turn.when.clear();
  install("retry", -1);
  turn.when = "data.bin";  // locked again, and unlocked from the next folder's file on
  turn.again = "guide.txt";
  install("end", -1);
  turn.again = "run.sh";  // unlocked from the next file on, and the installation ended there
  install("cut", 3);
  set_install_observer(nullptr);
  return unlocked && !turn.locked;
}

}  // namespace

// A folder that cannot be written, as an ordinary user meets it: each file says the system's cause
// ("Permission denied"; on Windows that access is denied), in its log line and in what the wizard's
// copy-error box shows, never that its folder is missing. A file whose temporary was written before its
// folder turned read-only leaves that temporary, named in the log with why it stays; the same wizard's
// next Install, the folder writable again, removes it before that folder's first file, and so does the
// installation's end (completed, or cut short) where the folder is writable by then. (Under Wine the
// causes alone.)
TEST(InstallerInstall, AFolderThatCannotBeWrittenSaysWhyAndItsLeftTemporaryGoes) {
  INSTALLER_SCRATCH scratch("install-read-only");
  const std::string bin = scratch.installed("bin");
  std::filesystem::create_directories(bin);
  FOLDER_LOCK lock(bin);
#ifdef _WIN32
  // Where nothing stops this process from writing a locked folder (no root to make it immutable, and
  // a mode that Wine does not hold to), there is nothing to show.
  if (lock.unix_folder.empty() || !lock.set(true)) GTEST_SKIP() << "no Unix side to lock a folder from; skipped";
  bool writable = write_whole_file(bin + "\\probe", {});
  ASSERT_TRUE(lock.set(false));
  std::filesystem::remove(bin + "\\probe");
  if (writable) GTEST_SKIP() << "a locked folder can still be written here; skipped";
  ASSERT_TRUE(install_with_folder_turning(scratch, &lock));
  SetLastError(ERROR_ACCESS_DENIED);
  char words[256];
  describe_file_failure(words, sizeof words);
  const std::string cause = words;
#else
  // The installation is a process of its own, which names its temporaries after itself.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(install_with_folder_turning(scratch, &lock) ? 0 : 2);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string cause = "Permission denied";
#endif
  const std::string in_bin = bin + PATH_SEPARATOR;
  auto failed = [&](const char* file) {
    return "\"" + in_bin + file + "\" failed to unpack (bin/" + file + "): cannot be created (" + cause + ")";
  };
  std::vector<std::string> log = read_lines(scratch.root + "first.log");
  std::string left = read_whole_text(scratch.root + "first.left");
  ASSERT_EQ(std::count(left.begin(), left.end(), '\n'), 1) << left;
  const std::string temporary = in_bin + left.substr(0, left.size() - 1);
  auto at = std::find(log.begin(), log.end(), failed("data.bin"));
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), failed("run.sh")), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), failed("uninstall.sh")), log.end());
  EXPECT_EQ(read_whole_text(scratch.root + "first.failure"),
            "\"" + in_bin + "uninstall.sh\" cannot be created (" + cause + ").");
  EXPECT_EQ(log.back(), "Installation completed with 3 errors.");
#ifdef _WIN32
  return;  // the temporary that stays is not known under Wine (install_with_folder_turning)
#endif
  EXPECT_EQ(at[1], "Not removed \"" + temporary + "\" (left by a file not installed): " + cause);

  // The retry: the temporary goes before the folder's first file, and everything is installed.
  log = read_lines(scratch.root + "retry.log");
  at = std::find(log.begin(), log.end(), "Removed \"" + temporary + "\" (left by a file not installed)");
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  EXPECT_EQ(at[1], "Installed \"" + in_bin + "data.bin\"");
  EXPECT_EQ(read_whole_text(scratch.root + "retry.left"), "");
  EXPECT_EQ(log.back(), "Installation completed without any errors.");

  // Left again, and gone at the end of the installation, its folder writable again by then.
  log = read_lines(scratch.root + "end.log");
  at = std::find(log.begin(), log.end(), failed("data.bin"));
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  ASSERT_EQ(at[1].rfind("Not removed \"" + in_bin + "~velk", 0), 0u) << at[1];
  const std::string second = at[1].substr(13, at[1].find('"', 13) - 13);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Removed \"" + second + "\" (left by a file not installed)");
  EXPECT_EQ(log.back(), "Installation completed with 3 errors.");
  EXPECT_EQ(read_whole_text(scratch.root + "end.left"), "");

  // And at the end of an installation cut short (the copy-error box's No).
  log = read_lines(scratch.root + "cut.log");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].rfind("Removed \"" + in_bin + "~velk", 0), 0u) << log[log.size() - 2];
  EXPECT_EQ(log.back(), "Installation interrupted.");
  EXPECT_EQ(read_whole_text(scratch.root + "cut.left"), "");
}

// A file whose folder cannot be made (a file has the name of a folder on its path, below a folder that
// was there or one that was made) is not installed and says why, under its own path; the files of the
// folders beside it are installed.
TEST(InstallerInstall, AFolderThatCannotBeMadeFailsItsFilesAlone) {
  INSTALLER_SCRATCH scratch("install-blocked-folder");
  const std::vector<std::pair<std::string, std::string>> places = {
      {"$HERE/open/deep", "one"}, {"$HERE/open/blocker/deep", "two"}, {"$HERE/open", "three"}, {"$HERE/blocker", "four"}};
  for (size_t i = 0; i < places.size(); i++) scratch.add_file("more/" + std::to_string(i), text_bytes("file " + std::to_string(i)));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  place_more_files(database.get(), places);
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);
  std::filesystem::create_directories(scratch.installed("open"));
  ASSERT_TRUE(write_whole_file(scratch.installed("open/blocker"), text_bytes("a file")));
  ASSERT_TRUE(write_whole_file(scratch.installed("blocker"), text_bytes("a file")));

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(database->install_state.error_count, 2);
  // Each file's line names its cause, the first as the last.
#ifdef _WIN32
  const std::string cause = "File already exists";
#else
  const std::string cause = "Not a directory";
#endif
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  for (int i : {1, 3}) {
    const std::string line = "\"" + scratch.installed(places[i].first.substr(6) + "/" + places[i].second) +
                             "\" failed to unpack (more/" + std::to_string(i) +
                             "): cannot be placed: its folder cannot be created (" + cause + ")";
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  }
  EXPECT_EQ(database->install_state.failure_text,
            "\"" + scratch.installed("blocker/four") + "\" cannot be placed: its folder cannot be created (" + cause + ").");
  EXPECT_EQ(read_whole_text(scratch.installed("open/deep/one")), "file 0");
  EXPECT_EQ(read_whole_text(scratch.installed("open/three")), "file 2");
  EXPECT_EQ(read_whole_text(scratch.installed("blocker")), "a file");
}

// One reading of a folder text everywhere, for every kind of path variable (the install location in
// any capitals, a drive from its root, a system folder, a named path) and either separator: the packer
// packs the '/' spelling and refuses the '\' one, which Linux would take for part of a name; a package
// stored with it (made otherwise) loads where '\' separates folders (Windows) and is refused at load,
// naming the file, elsewhere; the judgement of where the loaded text leads and its resolution name the
// folder below the variable's (doubled and final separators count as one), never the variable's folder
// with the rest lost, and the file installs there.
TEST(InstallerInstall, EveryVariableReadsItsFolderTextOneWay) {
  INSTALLER_SCRATCH scratch("install-folder-texts");
  const bool windows = PATH_SEPARATOR == '\\';
  // Named after the scratch folder, which no other test shares (under Wine the system folders are the
  // prefix's own).
  const std::string unique = "velk-" + std::filesystem::u8path(scratch.root).parent_path().filename().u8string();
  const std::string top = scratch.root.substr(0, scratch.root.size() - 1);
#ifdef _WIN32
  const std::string root = root_text(top) + "/", user_data = special_folder(CSIDL_APPDATA);
#else
  const std::string root = "$ROOT0" + scratch.root, user_data = scratch.root + "home/state";
#endif
  const struct {
    std::string variable, below;  // the folders below it with '/', as the text spells them
    std::string folder;           // where they lead
  } rows[] = {
      {"$HERE", "h//x/", scratch.installed("h/x")},
      {"$app", "a", scratch.installed("a")},
      {"$Base", "b/", scratch.installed("b")},
      {root.substr(0, root.find('/')), root.substr(root.find('/') + 1) + "r", below(top, "r")},
      {"$USERDATA", "u", below(user_data, unique + "/u")},
      {"$SCRATCH", "s", below(top, "s")},
  };
  auto spelt = [&](size_t row, char separator) {
    std::string text = rows[row].variable + separator + rows[row].below;
    std::replace(text.begin(), text.end(), '/', separator);
    return text;
  };
  scratch.add_file("more/0", text_bytes("moved"));
  const std::string description = read_whole_text(scratch.source + "description.txt");
  const std::string logged = scratch.source + "logged.txt";
  for (char separator : {'/', '\\'}) {
    for (size_t i = 0; i < std::size(rows); i++) {
      const std::string text = spelt(i, separator);
      SCOPED_TRACE(text);
      // The packer, as the log's folder.
      ASSERT_TRUE(write_whole_file(logged, text_bytes(description + "log = " + text + "\n")));
      std::string error;
      EXPECT_EQ(package_builder::build_package(logged, scratch.package + "logged.pkg", &error), separator == '/');
      EXPECT_EQ(error, separator == '/' ? "" : logged + ":10: log separates folders with '\\', which Linux takes for "
                                                        "part of a name: give them with '/', as " + spelt(i, '/') + ": " + text);
      // The judgement: the variable in capitals, the folders below it with '/'.
      std::string variable = rows[i].variable, folders;
      for (char& c : variable) c = (char)std::toupper((unsigned char)c);
      for (const std::string& part : read_folder_text(spelt(i, '/').c_str()).parts) folders += (folders.empty() ? "" : "/") + part;
      FOLDER_TEXT_PLACE place = place_of_folder_text(text.c_str(), false);
      EXPECT_EQ(place.variable, variable);
      EXPECT_FALSE(place.leads_out);
      EXPECT_EQ(place_of_folder_text(text.c_str(), true).below, folders);
      // The reader and the resolution, as the folder of a file of a stored package.
      auto database = load_or_fail(scratch);
      ASSERT_TRUE(database);
      place_more_files(database.get(), {{text, "file"}});
      std::strcpy(database->APPLICATION.app_string, unique.c_str());
      database = store_and_load(scratch, database.get());
      if (!windows && separator == '\\') {
        EXPECT_FALSE(database);
        DATABASE refused;
        ASSERT_TRUE(refused.data_folder.set_if_folder(scratch.package.substr(0, scratch.package.size() - 1).c_str()));
        EXPECT_FALSE(refused.load_package(PACKAGE_FILE_NAME));
        EXPECT_EQ(refused.load_failure, "the package is damaged or was not made by the packer: the folder of the file "
                                        "\"more/0\" separates folders with '\\', which this computer does not: " + text);
        continue;
      }
      ASSERT_TRUE(database);
      EXPECT_EQ(place.below, folders);
      EXPECT_EQ(destination_path_text(text.c_str(), scratch.destination, unique.c_str()), rows[i].folder);
      EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
      EXPECT_EQ(read_whole_text(below(rows[i].folder, "file")), "moved");
      std::filesystem::remove_all(std::filesystem::u8path(rows[i].folder));
    }
  }
  std::filesystem::remove_all(std::filesystem::u8path(below(user_data, unique)));
}

// A default path whose folders '\' separates is the folder it names where '\' separates folders: the
// installation and its log go there (nothing into the drive's root), and its Settings line names it as
// the package does. (Elsewhere the package is refused at load, see InstallerSecurity.)
TEST(InstallerInstall, ADefaultPathSeparatedByBackslashesIsTheFolderItNames) {
  INSTALLER_SCRATCH scratch("install-backslash-default");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
#ifdef _WIN32
  std::string text = root_text(scratch.root) + "/w12/Lock/Target";
#else
  std::string text = "$ROOT0" + scratch.root + "w12/Lock/Target";
#endif
  std::replace(text.begin(), text.end(), '/', '\\');
  std::strcpy(database->installations[0].default_path, text.c_str());
  database = store_and_load(scratch, database.get());
  ASSERT_EQ(database != nullptr, PATH_SEPARATOR == '\\');
  if (!database) return;
  scratch.destination = scratch.root + "w12\\Lock\\Target";
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_text(scratch.installed("readme.txt")), "Read me first.\n");
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GT(log.size(), 4u);
  EXPECT_EQ(log[4], "Settings: 0 1 " + text);
}

#ifdef _WIN32
// A destination on a share that cannot be reached names the share and the system's cause: the walk
// stops at the share's root, where it went on up to "\\" and lost the cause. A file there fails alone.
TEST(InstallerInstall, AShareThatCannotBeReachedIsNamedWithTheCause) {
  INSTALLER_SCRATCH scratch("install-unreached-share");
  scratch.add_file("more/0", text_bytes("file 0"));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  const std::string share = "\\\\velk-no-such-server\\share";
  FOLDER shared;
  std::strcpy(shared.path, share.c_str());
  set_named_path("$SHARE", &shared);
  place_more_files(database.get(), {{"$SHARE/data", "one"}});
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  const std::string unreached = " (\"" + share + "\" cannot be reached: ";
  const std::string said = database->install_state.failure_text;
  EXPECT_EQ(said.rfind("\"" + share + "\\data\\one\" cannot be placed: its folder cannot be created" + unreached, 0), 0u)
      << said;
  EXPECT_GT(said.size(), said.find(unreached) + unreached.size() + 2) << said;
  EXPECT_EQ(read_whole_text(scratch.installed("readme.txt")), "Read me first.\n");
  remove_named_path("$SHARE");
}
#endif

// An installation left before its completion (back to the options page, or the database cleared) gives
// back the idle wait and the base path: "$APP" names the program's folder again.
TEST(InstallerInstall, LeavingTheInstallingStageEarlyRestoresIdleWaitAndBasePath) {
  INSTALLER_SCRATCH scratch("install-leave");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  FOLDER program;
  program.set("$APP");
  std::filesystem::create_directories(scratch.destination);
  FOLDER destination;
  ASSERT_TRUE(destination.set_if_folder(scratch.destination.c_str()));
  for (int way = 0; way < 2; way++) {
    database->stage = STAGE_INSTALLING;
    database->install_step(nullptr);  // the preparation
    database->install_step(nullptr);  // the first file
    EXPECT_EQ(get_idle_wait(), 0u);
    FOLDER app;
    app.set("$APP");
    EXPECT_TRUE(app.equals(&destination)) << app.path;
    EXPECT_EQ(database->install_state.step_counter, 2);
    if (way == 0) {
      database->stage = STAGE_OPTIONS;
      database->install_step(nullptr);
    } else {
      database->clear();
    }
    EXPECT_EQ(get_idle_wait(), 50u) << way;
    app.set("$APP");
    EXPECT_TRUE(app.equals(&program)) << way << ": " << app.path;
    EXPECT_EQ(database->install_state.step_counter, 0);
    EXPECT_FALSE(database->install_state.running);
    if (way == 0) {
      ASSERT_TRUE(database->load_package("installer.pkg"));
    }
  }
}

// A file being copied is reported after each block of it, while it has not yet taken its name, so that
// the wizard can show its progress meanwhile.
TEST(InstallerInstall, AFileBeingCopiedIsReportedAfterEachBlock) {
  INSTALLER_SCRATCH scratch("install-copying");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  struct COPYING : INSTALL_OBSERVER {
    std::string file, watched;
    std::map<std::string, int> blocks;
    bool named_early = false;
    void show_progress(INSTALL_DIALOG*, const char* text, INT_S32) override { file = text; }
    void show_install_complete(INSTALL_DIALOG*) override {}
    void copy_error(DATABASE*, const char*, const char*, const char*) override {}
    void installation_stopped(DATABASE*, const char*) override {}
    void file_going_on(INSTALL_DIALOG*) override {
      blocks[file]++;
      if (file == "/bin/data.bin" && std::filesystem::exists(watched)) named_early = true;
    }
  } copying;
  copying.watched = scratch.installed("bin/data.bin");
  set_install_observer(&copying);
  database->stage = STAGE_INSTALLING;
  for (int step = 0; step < 20 && (step == 0 || database->install_state.running); step++) database->install_step(nullptr);
  set_install_observer(nullptr);
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")).back(), "Installation completed without any errors.");
  EXPECT_EQ(copying.blocks["/bin/data.bin"], 3);  // 10 KiB in blocks of 4 KiB
  EXPECT_EQ(copying.blocks["/readme.txt"], 1);
  EXPECT_FALSE(copying.named_early);
}

// A rule holds until the file has its name, and compares file times whole. What is at the name before
// the run, or is put there while the file is written, is kept by "only when absent" (also dated before
// 1970), and by "when absent or older" when it is newer than the package (also dated past 2106), and
// replaced when older (also before 1970), as by the rule that always replaces.
TEST(InstallerInstall, WhatIsAtTheNameBeforeOrWhileTheFileIsWrittenIsJudgedByTheRule) {
  INSTALLER_SCRATCH scratch("install-put-meanwhile");
  const INT_S64 now = (INT_S64)std::time(nullptr), older = now - 7300 * 86400LL;
  const INT_S64 in_2110 = 4417977600LL, in_2200 = 7258118400LL, in_1960 = -315619200LL;
  struct PLACE {
    const char* name;
    INT_U8 overwrite;
    bool before_the_run;
    INT_S64 time;
    bool kept;
  };
  const std::vector<PLACE> places = {
      {"absent.bin", 2, false, now, true},       {"newer.bin", 1, false, now, true},
      {"older.bin", 1, false, older, false},     {"always.bin", 0, false, now, false},
      {"put-2110.bin", 1, false, in_2110, true}, {"put-2200.bin", 1, false, in_2200, true},
      {"put-1960.bin", 1, false, in_1960, false}, {"was-2110.bin", 1, true, in_2110, true},
      {"was-2200.bin", 1, true, in_2200, true},  {"was-1960.bin", 1, true, in_1960, false},
      {"absent-1960.bin", 2, false, in_1960, true}};
  std::vector<std::pair<std::string, std::string>> destinations;
  for (size_t i = 0; i < places.size(); i++) {
    scratch.add_file("more/" + std::to_string(i), pseudo_random_bytes(10000, (INT_U32)i));
    destinations.push_back({"$HERE", places[i].name});
  }
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  place_more_files(database.get(), destinations);
  INSTALLATION& installation = database->installations[0];
  for (INT_S16 i = 0; i < installation.file_count; i++)
    if (std::strncmp(installation.files[i].packed_name, "more/", 5) == 0)
      installation.files[i].overwrite = places[std::stoul(installation.files[i].packed_name + 5)].overwrite;
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);
  database->time_stamp = (INT_U32)(now - 3650 * 86400LL);
  const std::vector<INT_U8> users = text_bytes("the user's");
  std::filesystem::create_directories(scratch.destination);
  for (const PLACE& place : places) {
    if (!place.before_the_run) continue;
    ASSERT_TRUE(write_whole_file(scratch.installed(place.name), users));
    ASSERT_TRUE(set_file_time(scratch.installed(place.name), place.time));
  }
  // At the first block of each of the other files, someone puts a file of the time given at its name.
  struct PUTTING : INSTALL_OBSERVER {
    INSTALLER_SCRATCH* scratch = nullptr;
    const std::vector<PLACE>* places = nullptr;
    std::string file;
    std::set<std::string> put;
    int errors = 0;
    void show_progress(INSTALL_DIALOG*, const char* text, INT_S32) override { file = text; }
    void show_install_complete(INSTALL_DIALOG*) override {}
    void copy_error(DATABASE*, const char*, const char*, const char*) override { errors++; }
    void installation_stopped(DATABASE*, const char*) override { errors++; }
    void file_going_on(INSTALL_DIALOG*) override {
      for (const PLACE& place : *places) {
        if (place.before_the_run || file != std::string("/") + place.name || !put.insert(file).second) continue;
        std::string path = scratch->installed(place.name);
        EXPECT_TRUE(write_whole_file(path, text_bytes("the user's")) && set_file_time(path, place.time)) << path;
      }
    }
  } putting;
  putting.scratch = &scratch;
  putting.places = &places;
  set_install_observer(&putting);
  database->stage = STAGE_INSTALLING;
  for (int step = 0; step < 40 && (step == 0 || database->install_state.running); step++) database->install_step(nullptr);
  set_install_observer(nullptr);
  EXPECT_EQ(putting.put.size(), 8u);
  EXPECT_EQ(putting.errors, 0);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  for (size_t i = 0; i < places.size(); i++) {
    const std::string path = scratch.installed(places[i].name);
    // Compared whole, said by name (the bytes of the package's files would fill the failure's text).
    EXPECT_TRUE(read_whole_file(path) == (places[i].kept ? users : pseudo_random_bytes(10000, (INT_U32)i)))
        << places[i].name << (places[i].kept ? " is not the user's" : " is not the package's");
    EXPECT_EQ(std::count(log.begin(), log.end(), (places[i].kept ? "Skipped \"" : "Installed \"") + path + "\""), 1)
        << places[i].name;
  }
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.destination))
    EXPECT_NE(entry.path().filename().string().compare(0, 5, "~velk"), 0) << entry.path();
}

TEST(InstallerInstall, CountersAreWideEnoughForManyFilesAndFailures) {
  INSTALLER_SCRATCH scratch("install-many");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  INSTALLATION& installation = database->installations[0];
  // 300 failures: an 8-bit count would read 44.
  INSTALLATION_FILE* failing = new INSTALLATION_FILE[300]();
  for (int i = 0; i < 300; i++) {
    std::snprintf(failing[i].src_name, DATABASE_TEXT_SIZE, "f%d", i);
    std::strcpy(failing[i].dest_path_from_inst_loc, "$HERE");
    std::strcpy(failing[i].packed_name, "missing");
  }
  delete[] installation.files;
  installation.files = failing;
  installation.file_count = 300;
  installation.item_count = 0;
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(database->install_state.error_count, 300);
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")).back(), "Installation completed with 300 errors.");

  // 32,767 files (the largest count) run through every step: the step total passes 32,767.
  INSTALLATION_FILE* empty = new INSTALLATION_FILE[32767]();
  delete[] installation.files;
  installation.files = empty;
  installation.file_count = 32767;
  installation.uninstaller_name[0] = 0;  // its program is no longer among the files
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")).back(), "Installation completed without any errors.");
}

// A shortcut or the uninstall entry that cannot be made is said, with its cause, in the log and on the
// console, and the run ends with status 1: program folders without a path variable (a package made
// otherwise) and a menu group that a file stands in the way of. The files are all installed.
TEST(InstallerInstall, ShortcutsAndTheEntryNotMadeAreSaidAndFailTheRun) {
  INSTALLER_SCRATCH scratch("install-not-made");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  // Names of their own: under Wine the registry and the desktop are the prefix's, which other tests share.
  INSTALLATION& installation = database->installations[0];
  std::strcpy(installation.uninstaller_name, "Velk Entry Not Made");
  std::strcpy(installation.uninstaller_path, "bin");
  std::strcpy(installation.items[0].link_name, "Velk Link Not Made");
  std::strcpy(installation.items[0].program_path_from_inst_loc, "bin");
  std::strcpy(installation.items[1].menu_folder, "Velk Blocked Group");
#ifdef _WIN32
  const std::string group = special_folder(CSIDL_PROGRAMS) + "\\Velk Blocked Group";
#else
  const std::string group = scratch.root + "home/data/applications/Velk Blocked Group";
  std::filesystem::create_directories(scratch.root + "home/data/applications");
  ::testing::internal::CaptureStdout();
#endif
  ASSERT_TRUE(write_whole_file(group, text_bytes("a file where the group would be")));
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  const std::vector<std::string> not_made = {
      "Desktop shortcut \"Velk Link Not Made\" not made: its program folder \"bin\" begins with no path variable",
      "Menu shortcut \"Test Guide\" in \"Velk Blocked Group\" not made: the folder \"" + group +
          "\" cannot be created (" + file_in_the_way_words() + ")",
      "Uninstall entry \"Velk Entry Not Made\" not made: its program folder \"bin\" begins with no path variable"};
#ifndef _WIN32
  std::string console = captured_stdout();
  for (const std::string& line : not_made) EXPECT_NE(console.find("ERROR: " + line + "\n"), std::string::npos) << console;
#endif
  std::remove(group.c_str());
  std::vector<std::string> installed;
  for (const char* file : {"bin/data.bin", "bin/run.sh", "bin/uninstall.sh", "docs/guide.txt", "readme.txt"})
    installed.push_back("Installed \"" + scratch.installed(file) + "\"");
  std::vector<std::string> tail = not_made;
  tail.push_back("Installation completed with 3 errors.");
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")),
            expected_log(scratch, "Settings: 0 " + std::to_string(database->use_system_paths) + " $SCRATCH/dest",
                         installed, tail));
  EXPECT_EQ(installation_failure_text(database.get()),
            "3 shortcuts and entries were not made; the last: " + not_made.back() + ".");
  char display[256], uninstall[256];
  EXPECT_FALSE(read_uninstall_entry("Velk Entry Not Made", display, uninstall, sizeof display));
#ifdef _WIN32
  EXPECT_FALSE(std::filesystem::exists(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Velk Link Not Made.lnk"));
#else
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "home/Desktop/Velk Link Not Made.desktop"));
#endif
}

#ifdef _WIN32
// The registry refusing the entry (its key denies every access) is said with the system's cause.
TEST(InstallerInstall, AnEntryTheRegistryRefusesIsSaid) {
  INSTALLER_SCRATCH scratch("install-refused");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  const std::string name = "Velk Refused " + std::filesystem::u8path(scratch.root).parent_path().filename().u8string();
  std::strcpy(database->installations[0].uninstaller_name, name.c_str());
  const std::string key_path = std::string(UNINSTALL_KEY_PATH "\\") + name;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SECURITY_DESCRIPTOR denied;
  ACL empty;
  ASSERT_TRUE(InitializeSecurityDescriptor(&denied, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&denied, TRUE, &empty, FALSE));
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &denied), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  restore_file_failure(ERROR_ACCESS_DENIED);
  char words[256];
  describe_file_failure(words, sizeof words);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GT(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Uninstall entry \"" + name + "\" not made: its key cannot be created (" + words + ")");
  EXPECT_EQ(log.back(), "Installation completed with 1 error.");
  // The key as it was: access given back, then removed.
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR open;
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_path.c_str()), ERROR_SUCCESS);
}
#endif

#ifndef _WIN32
// A location whose uninstaller path and shortcut targets pass 255 bytes still gets its uninstall entry
// and its shortcuts, whole: the only limits are those of the paths themselves.
TEST(InstallerInstall, ALongLocationGetsItsEntryAndShortcutsWhole) {
  INSTALLER_SCRATCH scratch("install-long");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  const std::string deep = std::string(120, 'l') + "/" + std::string(120, 'm');
  std::strcpy(database->installations[0].default_path, ("$SCRATCH/" + deep).c_str());
  scratch.destination = scratch.root + deep;
  ASSERT_GT(scratch.installed("bin/uninstall.sh").size(), 255u);
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GT(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "RegKey \"Velk Test App\"");
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  char display[512] = "", uninstall[512] = "";
  ASSERT_TRUE(read_uninstall_entry("Velk Test App", display, uninstall, sizeof display));
  EXPECT_EQ(std::string(uninstall), scratch.installed("bin/uninstall.sh"));
  EXPECT_EQ(desktop_value(scratch.root + "home/Desktop/Test App.desktop", "Exec"), scratch.installed("bin/run.sh"));
  // A buffer too small for the value reads nothing rather than part of it.
  EXPECT_FALSE(read_uninstall_entry("Velk Test App", display, uninstall, 256));
}
#endif

// A location under a system folder's variable installs into that folder, made as needed, with the
// application's sub-folder (none without an application name), whatever the installer's own file is
// called; the page names it before it exists, and an update finds the installation there.
TEST(InstallerInstall, LocationsUnderSystemFoldersInstallThere) {
  INSTALLER_SCRATCH scratch("install-system-folders");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  // Named after the scratch folder, which no other test shares (under Wine the system folders are the
  // prefix's own, which other tests share).
  const std::string scratch_name = std::filesystem::u8path(scratch.root).parent_path().filename().u8string();
  const std::string unique = "Velk " + scratch_name;
#ifdef _WIN32
  const std::string user_data = special_folder(CSIDL_APPDATA), shared_data = special_folder(CSIDL_COMMON_APPDATA);
#else
  const std::string user_data = scratch.root + "home/state", shared_data = scratch.root + "home/data";
  std::filesystem::create_directories(user_data);
  std::filesystem::create_directories(shared_data);
#endif
  const struct {
    std::string location, application, folder, removed;
  } cases[] = {{"$USERDATA/" + unique + "/App", "velk-test-app", below(user_data, "velk-test-app/" + unique + "/App"),
                below(user_data, "velk-test-app")},
               {"$appdata/" + unique, "", below(shared_data, unique), below(shared_data, unique)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.location);
    std::strcpy(database->installations[0].default_path, c.location.c_str());
    std::strcpy(database->APPLICATION.app_string, c.application.c_str());
    EXPECT_EQ(location_path_text(c.location.c_str(), c.application.c_str()), c.folder);
    scratch.destination = c.folder;
    EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
    for (const std::string& file : scratch.files)
      EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
    std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
    ASSERT_GT(log.size(), 5u);
    EXPECT_EQ(log[4], "Settings: 0 " + std::to_string(database->use_system_paths) + " " + c.location);
    std::strcpy(database->PATCH.dest_path_from_inst_loc, "$HERE");
    EXPECT_TRUE(database->read_install_log());
    database->PATCH.dest_path_from_inst_loc[0] = 0;
    std::filesystem::remove_all(std::filesystem::u8path(c.removed));
  }
}

// Files with destinations of their own under a system folder install there with the system folders
// chosen, where the options row says, also when the application's sub-folder and the folders below it
// (natively the system folder itself too) do not exist yet: they are made as the install folder's are. A
// folder that cannot be made (a file at its name) fails its file alone, named by its path there with the
// system's cause.
TEST(InstallerInstall, SystemDestinationsAreMadeAsNeeded) {
  INSTALLER_SCRATCH scratch("install-system-destinations");
  scratch.add_file("deep/er/nested.txt", text_bytes("nested\n"));
  // Named after the scratch folder, which no other test shares (under Wine the system folders are the
  // prefix's own, which other tests share).
  const std::string unique = "velk-" + std::filesystem::u8path(scratch.root).parent_path().filename().u8string();
#ifdef _WIN32
  const std::string shared_data = special_folder(CSIDL_COMMON_APPDATA), documents = special_folder(CSIDL_PERSONAL);
#else
  const std::string shared_data = scratch.root + "home/data", documents = scratch.root + "home/config";
  ASSERT_FALSE(std::filesystem::exists(shared_data) || std::filesystem::exists(documents));
#endif
  const struct {
    const char* variable;
    std::string folder;
    bool blocked;
  } rounds[] = {{"$APPDATA", shared_data, false}, {"$USERPREFS", documents, false}, {"$APPDATA", shared_data, true}};
  for (const auto& round : rounds) {
    SCOPED_TRACE(std::string(round.variable) + (round.blocked ? " blocked" : ""));
    auto database = load_or_fail(scratch);
    ASSERT_TRUE(database);
    std::strcpy(database->APPLICATION.app_string, unique.c_str());
    put_files_under_system_folder(database.get(), round.variable);
    database = store_and_load(scratch, database.get());
    ASSERT_TRUE(database);
    scratch.destination = below(round.folder, unique);
    ASSERT_FALSE(std::filesystem::exists(std::filesystem::u8path(scratch.destination)));
    std::string row;
    database->use_system_paths = 1;
    EXPECT_TRUE(system_destination_folder(database.get(), &row));
    EXPECT_EQ(row, scratch.destination);
    if (round.blocked) {
      std::filesystem::create_directories(std::filesystem::u8path(scratch.destination));
      ASSERT_TRUE(write_whole_file(scratch.installed("deep"), text_bytes("a file")));
    }
#ifndef _WIN32
    ::testing::internal::CaptureStdout();
#endif
    EXPECT_EQ(run_automatic_install(database.get()), round.blocked ? EXIT_JOB_FAILED : EXIT_JOB_DONE);
    const std::string nested = scratch.installed("deep/er/nested.txt");
    const std::string failed = "\"" + nested + "\" failed to unpack (deep/er/nested.txt): cannot be placed: its folder "
                               "cannot be created (" + file_in_the_way_words() + ")";
#ifndef _WIN32
    EXPECT_EQ(captured_stdout().find("ERROR: " + failed + "\n") != std::string::npos, round.blocked);
#endif
    for (const std::string& file : scratch.files) {
      if (round.blocked && file == "deep/er/nested.txt") continue;
      EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
    }
    if (round.blocked) {
      std::vector<std::string> log = read_lines(scratch.root + "dest" + PATH_SEPARATOR + "install_log.txt");
      EXPECT_EQ(std::count(log.begin(), log.end(), failed), 1);
      EXPECT_EQ(database->install_state.failure_text,
                "\"" + nested + "\" cannot be placed: its folder cannot be created (" + file_in_the_way_words() + ").");
    }
    std::filesystem::remove_all(std::filesystem::u8path(scratch.destination));
  }
}

TEST(InstallerInstall, DestinationThatCannotBeMadeStopsTheInstallation) {
  INSTALLER_SCRATCH scratch("install-blocked");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  ASSERT_TRUE(write_whole_file(scratch.root + "blocker", text_bytes("a file, not a folder")));
  std::strcpy(database->installations[0].default_path, "$SCRATCH/blocker/dest");
  std::strcpy(database->installations[0].uninstaller_name, "Velk Blocked App");
#ifndef _WIN32
  ::testing::internal::CaptureStdout();
#endif
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
#ifndef _WIN32
  // The console names the folder as a path of this computer, and the system's cause.
  EXPECT_EQ(captured_stdout(), "0% Installing...\nERROR: the destination folder \"" + scratch.root +
                                   "blocker/dest\" cannot be created (Not a directory)\n");
#endif
  EXPECT_TRUE(database->install_state.stopped);
  // Nothing went anywhere else: no log, no files beside the blocker.
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "dest"));
  FOLDER application;
  application.set("$APP");
  EXPECT_FALSE(std::filesystem::exists(std::string(application.path) + PATH_SEPARATOR + "install_log.txt"));
  char display[256], uninstall[256];
  EXPECT_FALSE(read_uninstall_entry("Velk Blocked App", display, uninstall, sizeof display));
}

#ifndef _WIN32
// On Linux a program arrives runnable: a file that a program shortcut starts, a script ("#!") and an ELF
// image get an execute bit for each read bit; every other file (a document that a shortcut opens
// included) keeps its plain mode.
TEST(InstallerInstall, ProgramsAndScriptsAreInstalledExecutable) {
  INSTALLER_SCRATCH scratch("install-programs", "desktop_shortcut = 1;tool;Tool;$HERE/bin\n");
  scratch.add_file("bin/tool", text_bytes("echo started by its shortcut\n"));
  scratch.add_file("bin/program", std::vector<INT_U8>{0x7F, 'E', 'L', 'F', 2, 1, 1, 0});
  scratch.add_file("docs/#note.txt", text_bytes("#not a script\n"));
  scratch.add_file("bin/#", text_bytes("#"));
  scratch.add_file("bin/Gr\xC3\xBC\xC3\x9F" "e.sh", text_bytes("#!/bin/sh\n"));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  const std::set<std::string> programs = {"bin/run.sh", "bin/uninstall.sh", "bin/tool", "bin/program",
                                          "bin/Gr\xC3\xBC\xC3\x9F" "e.sh"};
  for (const std::string& file : scratch.files) {
    struct stat status;
    ASSERT_EQ(stat(scratch.installed(file).c_str(), &status), 0) << file;
    mode_t read_bits = status.st_mode & 0444, run_bits = status.st_mode & 0111;
    EXPECT_EQ(run_bits, programs.count(file) ? read_bits >> 2 : 0) << file;
    EXPECT_NE(read_bits, 0u) << file;
  }
  FOLDER folder = scratch_folder("install-programs-link");
  EXPECT_FALSE(mark_program_file(&folder, "missing", true));
}
#endif

namespace {
WM_SCREEN_OBJECT* pressed_button = nullptr;
INT_S32 pressed_result = 0, pressed_value = 0;
WM_RESULT record_press(WM_SCREEN_OBJECT* button, INT_U32 result, INT_U32 value, int) {
  pressed_button = button;
  pressed_result = (INT_S32)result;
  pressed_value = (INT_S32)value;
  return 0;
}
}  // namespace

TEST(InstallerInstall, CopyErrorBoxAsksWithTheLanguagesTexts) {
  INSTALLER_SCRATCH scratch("install-box");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  EXPECT_EQ(open_copy_error_box(database.get(), record_press, false), nullptr);  // no page manager, no box

  WM_PAGE_MANAGER manager(1, -1);
  database->stage = STAGE_INSTALLING;
  database->ERROR.can_drag = 0;
  database->skin_icons[DATABASE::yes_icon].set_size(4, 3);
  WM_CONFIRM* box = open_copy_error_box(database.get(), record_press, false);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(top_level_list()->count, 1);
  EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), box);
  EXPECT_STREQ(box->get_title(), "Copy error");
  ASSERT_NE(box->buttons[0], nullptr);
  ASSERT_NE(box->buttons[1], nullptr);
  EXPECT_EQ(box->buttons[2], nullptr);
  EXPECT_STREQ(box->buttons[0]->label, "Yes");
  EXPECT_STREQ(box->buttons[1]->label, "No");
  EXPECT_EQ(box->width, 400);
  EXPECT_EQ(box->height, 300);
  EXPECT_EQ(box->draggable, 0);
  EXPECT_EQ(box->buttons[0]->icon.width, 4);  // the skin's yes icon
  EXPECT_LT(box->buttons[1]->icon.width, 1);  // no icon: none
  ASSERT_EQ(box->text->data_count, 2);  // the message, split at its line end
  EXPECT_STREQ(box->text->data_buffer[0].text, "A file could not be installed.");
  EXPECT_EQ(box->text->data_buffer[1].colour, box->window_style.fg_colour);
  EXPECT_EQ(box->text->show_from_start, 1);
  for (int i = 0; i < 2; i++) {
    WM_BUTTON* button = box->buttons[i];
    button->event_callback(button, button->event_user1, button->event_user2, 0);
  }
  EXPECT_EQ(pressed_button, box->buttons[1]);
  EXPECT_EQ(pressed_result, COPY_ERROR_NO_RESULT);
  EXPECT_EQ(pressed_value, STAGE_OPTIONS);  // the stage before installing
  WM_BUTTON* yes = box->buttons[0];
  EXPECT_EQ(yes->event_user1, (INT_U32)COPY_ERROR_YES_RESULT);
  EXPECT_EQ(yes->event_user2, 0u);
}

TEST(InstallerInstall, IndexFileKeepsTheWholeDatabase) {
  INSTALLER_SCRATCH scratch("install-index");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  EXPECT_FALSE(database->load_index());  // none yet
  ASSERT_TRUE(database->save_index());
  std::unique_ptr<DATABASE> copy(new DATABASE());
  copy->data_folder = database->data_folder;
  ASSERT_TRUE(copy->load_index());
  ASSERT_EQ(copy->installation_count, 1);
  EXPECT_EQ(copy->installations[0].file_count, 5);
  EXPECT_STREQ(copy->installations[0].uninstaller_name, "Velk Test App");
  EXPECT_STREQ(copy->languages[0].name, "English");
  std::vector<INT_U8> bytes = read_whole_file(scratch.package + "installer.idx");
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes[0], 0);  // the byte-order byte
  bytes.resize(bytes.size() / 3);
  ASSERT_TRUE(write_whole_file(scratch.package + "installer.idx", bytes));
  EXPECT_FALSE(copy->load_index());
}

// The fonts that travel in a package come in when the wizard begins, not with the package: a job that
// draws nothing ("-a", "-d") extracts and loads none.
TEST(InstallerInstall, ThePackagesFontsComeInWithTheWizard) {
  REQUIRE_SYSTEM_FONTS();
  INSTALLER_SCRATCH scratch("install-fonts");
  ASSERT_TRUE(scratch.build());
  {
    FOLDER fonts, package_folder;
    ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
    ASSERT_TRUE(package_folder.set_if_folder(scratch.package.substr(0, scratch.package.size() - 1).c_str()));
    PACKAGE package(&package_folder, "installer.pkg", false, 1024, true, false);
    ASSERT_TRUE(package.add_file(&fonts, "DejaVuSansMono.ttf", nullptr, false));
  }
  stop_font_system();
  disable_font_preload();  // only the package's fonts
  start_font_system();
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_FALSE(font_loaded(8));
  database->load_package_fonts();
  ASSERT_TRUE(font_loaded(8));
  EXPECT_STREQ(get_font(8)->display_name, "DejaVu Sans Mono");
  stop_font_system();
}

TEST(InstallerInstall, LoadedPackageStaysOpenWithTheDatabasesCacheSize) {
  INSTALLER_SCRATCH scratch("install-cache-size");
  ASSERT_TRUE(scratch.build());
  INT_U32 saved = default_file_cache_size;
  default_file_cache_size = 0x4000;
  std::unique_ptr<DATABASE> database(scratch.load());
  INT_U32 after = default_file_cache_size;
  default_file_cache_size = saved;
  ASSERT_TRUE(database);
  // The package opened with the buffer of the time takes the database's file-cache size as its own:
  // the default of every other data file stays what it was.
  EXPECT_EQ(after, 0x4000u);
  EXPECT_NE(database->file_cache_sz, 0x4000u);
  ASSERT_TRUE(database->package && database->package->file);
  EXPECT_EQ(database->package->file->buffer_size, (INT_S32)database->file_cache_sz);
  EXPECT_EQ(get_error_code(), 0);
  PACKAGE_ENTRY entry;
  EXPECT_TRUE(database->package->find_entry("bin/data.bin", &entry));
  ASSERT_TRUE(database->package->extract_entry(&database->data_folder, "copy.bin", "bin/data.bin"));
  EXPECT_EQ(read_whole_file(scratch.package + "copy.bin"), all_byte_values(40));

  // A second database loads on its own: its failure is its own, and the first keeps its package.
  std::vector<INT_U8> bytes = read_whole_file(scratch.package + "installer.pkg");
  bytes.resize(bytes.size() / 2);
  ASSERT_TRUE(write_whole_file(scratch.package + "damaged.pkg", bytes));
  DATABASE second;
  second.data_folder = database->data_folder;
  EXPECT_FALSE(second.load_package("damaged.pkg"));
  EXPECT_FALSE(second.load_failure.empty());
  EXPECT_TRUE(database->load_failure.empty());
  EXPECT_EQ(database->package->file->buffer_size, (INT_S32)database->file_cache_sz);
  EXPECT_TRUE(database->package->extract_entry(&database->data_folder, "copy2.bin", "bin/data.bin"));
}

TEST(InstallerInstall, EachInstallationSetsItsFoldersAfresh) {
  // Folders made or found once are not asked for again within an installation; the next installation,
  // into another destination, makes its own.
  INSTALLER_SCRATCH scratch("install-twice");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  const std::unordered_map<std::string, std::string>& known = database->install_state.known_folders;
  EXPECT_EQ(known.size(), 3u);  // "$HERE", "$HERE/bin" and "$HERE/docs", each set once
  EXPECT_EQ(known.at("$HERE/bin"), scratch.installed("bin"));
  std::strcpy(database->installations[0].default_path, "$SCRATCH/second");
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  for (const std::string& file : scratch.files) {
    std::string second = scratch.root + "second" + PATH_SEPARATOR + file;
    for (char& c : second)
      if (c == '/' || c == '\\') c = PATH_SEPARATOR;
    EXPECT_EQ(read_whole_file(second), read_whole_file(scratch.source + "files/" + file)) << file;
  }
  EXPECT_EQ(read_lines(scratch.root + "second" + PATH_SEPARATOR + "install_log.txt").back(),
            "Installation completed without any errors.");
}

// Tens of thousands of files take minutes to make under Wine; the builder is the same code on both builds.
#ifndef _WIN32
TEST(InstallerInstall, FixtureBuilderRefusesMoreFilesThanAnInstallationHolds) {
  // 32,768 files do not fit the 16-bit file count: no package is written rather than a wrong count.
  INSTALLER_SCRATCH scratch("install-too-many");
  std::string folder = scratch.source + "files/many/";
  std::filesystem::create_directories(folder);
  for (size_t i = 0; i + scratch.files.size() < 32768; i++) {
    std::FILE* file = std::fopen((folder + std::to_string(i)).c_str(), "wb");
    ASSERT_TRUE(file);
    std::fclose(file);
  }
  std::string error;
  EXPECT_FALSE(package_builder::build_package(scratch.source + "description.txt", scratch.package + "installer.pkg",
                                              &error));
  EXPECT_EQ(error, scratch.source + "description.txt:3: an installation holds at most 32767 files; " + scratch.source +
                       "files holds 32768");
  EXPECT_FALSE(std::filesystem::exists(scratch.package + "installer.pkg"));
  // One file fewer is the largest installation (small blocks keep the package small).
  std::filesystem::remove(folder + "0");
  ASSERT_TRUE(package_builder::build_package(scratch.source + "description.txt", scratch.package + "installer.pkg",
                                             &error, 16))
      << error;
  auto database = std::unique_ptr<DATABASE>(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(database->installations[0].file_count, 32767);
}
#endif

TEST(InstallerInstall, FixtureBuilderSetsColoursAndSizesOfMemberStyleSets) {
  const struct {
    const char* line;
    const char* error;  // empty: built
  } cases[] = {
      {"style = progress_bar;highlight_colour;#2E7D32", ""},
      {"style = menu_alt_item ; underline_colour ; #802e7d32", ""},
      {"style = progress;highlight_colour;#2E7D32", "unknown style set progress"},
      {"style = progress_bar;highlight;#2E7D32", "unknown style colour highlight"},
      {"style = progress_bar;object_colour;#2E7D32", "unknown style colour object_colour"},
      {"style = progress_bar;highlight_colour;#2E7D3", "a style colour is #RRGGBB or #AARRGGBB: #2E7D3"},
      {"style = progress_bar;highlight_colour;%50,0,0,0", "a style colour is #RRGGBB or #AARRGGBB: %50,0,0,0"},
      {"style = progress_bar;highlight_colour;#2E7D3G", "a style colour is #RRGGBB or #AARRGGBB: #2E7D3G"},
      {"style = progress_bar;#2E7D32", "style needs a style set, a colour key and a colour: progress_bar;#2E7D32"},
      {"style = options;y_spacing;6", ""},
      {"style = options;y_spacing;6px", "a style size is a number from -1 to 32767: 6px"},
      {"style = options;border_left_gap;-2", "a style size is a number from -1 to 32767: -2"},
  };
  INSTALLER_SCRATCH scratch("install-style");
  const std::string description = read_whole_text(scratch.source + "description.txt");
  for (const auto& c : cases) {
    write_whole_file(scratch.source + "description.txt", text_bytes(description + c.line + "\n"));
    std::string error;
    bool built = package_builder::build_package(scratch.source + "description.txt", scratch.package + "installer.pkg",
                                                &error);
    // A mistake names the description and its line, the last.
    EXPECT_EQ(error, c.error[0] ? scratch.source + "description.txt:10: " + c.error : "") << c.line;
    if (!built || c.error[0]) continue;
    std::unique_ptr<DATABASE> database(scratch.load());
    ASSERT_TRUE(database) << c.line;
    bool menu = c.line[8] == 'm', options = c.line[8] == 'o';
    EXPECT_EQ(database->progress_bar_style.highlight_colour, menu || options ? COLOUR_INVISIBLE : 0xFF2E7D32u)
        << c.line;
    EXPECT_EQ(database->menu_alt_item_style.underline_colour, menu ? 0x802E7D32u : COLOUR_INVISIBLE) << c.line;
    EXPECT_EQ(database->options_style.y_spacing, options ? 6 : 7) << c.line;  // else the gap that fits the options
    EXPECT_EQ(database->progress_bar_style.fg_colour, 0xFFFFFFFFu);  // the other colours keep their defaults
  }
}
