// Tests of the install step and automatic mode: a package built from a scratch tree is installed file
// by file (byte-identical copies), "install_log.txt" holds exactly its lines, the uninstall entry and
// the shortcuts hold the right values; overwrite rules, failures, a destination that cannot be made,
// 32-bit counters, reading the log back, and the installer program's own exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

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

#ifdef _WIN32
#include <windows.h>

#include "shell_link_test_support.h"
#include "window_scenario.h"
// The Windows headers' ERROR macro would hide the database's ERROR placement.
#undef ERROR
#else
#include <cerrno>
#include <sys/stat.h>
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

namespace {

std::unique_ptr<DATABASE> load_or_fail(INSTALLER_SCRATCH& scratch) {
  if (!scratch.build()) return nullptr;
  return std::unique_ptr<DATABASE>(scratch.load());
}

// Stores the changed database as the package's "database.bin", as the packer never would (names it
// refuses), and loads the package again.
std::unique_ptr<DATABASE> store_and_load(INSTALLER_SCRATCH& scratch, DATABASE* database) {
  if (!scratch.store(database)) return nullptr;
  return std::unique_ptr<DATABASE>(scratch.load());
}

// Gives the files "more/<i>" of the installation the destination folder text and name of places[i].
void place_more_files(DATABASE* database, const std::vector<std::pair<std::string, std::string>>& places) {
  INSTALLATION* installation = &database->installations[0];
  for (INT_S16 i = 0; i < installation->file_count; i++) {
    INSTALLATION_FILE& file = installation->files[i];
    if (std::strncmp(file.packed_name, "more/", 5) != 0) continue;
    const auto& place = places[std::stoul(file.packed_name + 5)];
    std::strcpy(file.dest_path_from_inst_loc, place.first.c_str());
    std::strcpy(file.dest_name, place.second.c_str());
  }
}

std::vector<std::string> expected_log(INSTALLER_SCRATCH& scratch, const std::string& settings,
                                      const std::vector<std::string>& file_lines,
                                      const std::vector<std::string>& tail) {
  std::vector<std::string> lines = {"Installed Files", "---------------", "", "Language: English", settings,
                                    "Application: velk-test-app", "Installation: Test App", ""};
  lines.insert(lines.end(), file_lines.begin(), file_lines.end());
  lines.insert(lines.end(), tail.begin(), tail.end());
  (void)scratch;
  return lines;
}

#ifdef _WIN32
std::string link_target(const std::string& file) { return read_link(file).path; }
#else
std::string desktop_value(const std::string& path, const std::string& key) {
  for (const std::string& line : read_lines(path))
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  return std::string();
}
#endif

}  // namespace

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
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_EQ(log[12], "Skipped \"" + scratch.installed("readme.txt") + "\"");

  ASSERT_TRUE(write_whole_file(scratch.installed("bin/run.sh"), changed));
  database->time_stamp = 1;  // the file is newer than the stamp: kept
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_file(scratch.installed("bin/run.sh")), changed);
  log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_EQ(log[9], "Skipped \"" + scratch.installed("bin/run.sh") + "\"");
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
  ASSERT_GE(log.size(), 9u);
  EXPECT_EQ(log[8], "\"" + scratch.installed("bin/data.bin") + "\" failed to unpack (no-such-entry)");
  EXPECT_EQ(log[9], "Installed \"" + scratch.installed("docs/guide.txt") + "\"");
  EXPECT_EQ(log.back(), "Installation completed with 1 errors.");
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("bin/run.sh")));
}

// File names that would lead out of the destination folder (a ".." component, also one that an empty run
// hides from a check, a leading separator, a drive) or are a second spelling of a name (escaped bytes
// that form a character, or an overlong form of one), written into the package as the packer never
// writes them: each file is refused with its own line and counted; nothing is written outside.
TEST(InstallerSecurity, NamesThatLeaveTheDestinationOrHaveTwoSpellingsAreRefused) {
  INSTALLER_SCRATCH scratch("install-names");
  const std::vector<std::string> bad_names = {
      "../escape.txt", "bin/../../escape2.txt", "..\\escape3.txt", "/absolute.txt", "\\absolute2.txt",
      "C:escape4.txt", "..\x01\x01/escape5.txt", ".\x01,\x01./escape6.txt", "..\x01\x01/..\x01\x01\\escape7.txt",
      "\x01,DCC3,DCA9\x01", "\x01,DCC0,DCAF\x01" "escape8.txt"};
  // Each of its own bytes, so that each has an entry of its own.
  for (size_t i = 0; i < bad_names.size(); i++)
    scratch.add_file("more/" + std::to_string(i), text_bytes("x" + std::to_string(i)));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  INSTALLATION* installation = &database->installations[0];
  for (INT_S16 i = 0; i < installation->file_count; i++) {
    INSTALLATION_FILE& file = installation->files[i];
    if (std::strcmp(file.packed_name, "docs/guide.txt") == 0) std::strcpy(file.dest_path_from_inst_loc, "$HERE/..\x01\x01");
    if (std::strncmp(file.packed_name, "more/", 5) != 0) continue;
    std::strcpy(file.dest_name, bad_names[std::stoul(file.packed_name + 5)].c_str());
    std::strcpy(file.dest_path_from_inst_loc, "$HERE");
  }
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(database->install_state.error_count, (INT_S32)bad_names.size() + 1);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  std::string refused = "\" not installed: the name is not allowed (", dest = scratch.destination + PATH_SEPARATOR;
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.find(refused) != std::string::npos; }),
            (std::ptrdiff_t)bad_names.size() + 1);
  EXPECT_NE(std::find(log.begin(), log.end(), "\"" + dest + "..?" "?/escape5.txt" + refused + "more/6)"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "\"$HERE/..?" "?/guide.txt" + refused + "docs/guide.txt)"), log.end());
  EXPECT_EQ(database->install_state.failure_text, "\"" + dest + "?,DCC3,DCA9?\" is not installed: the name is not allowed.");
  std::string above = std::filesystem::path(scratch.root).parent_path().parent_path().string() + PATH_SEPARATOR;
  for (const char* name : {"escape.txt", "escape2.txt", "escape3.txt", "absolute.txt", "absolute2.txt", "escape5.txt",
                           "escape6.txt", "escape7.txt", "guide.txt"}) {
    EXPECT_FALSE(std::filesystem::exists(scratch.root + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(above + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(std::string("/") + name)) << name;
  }
  // In the destination only what was allowed: no escaped name, no folder made for a refused file.
  std::set<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.destination)) entries.insert(entry.path().filename().string());
  EXPECT_EQ(entries, (std::set<std::string>{"bin", "install_log.txt", "readme.txt"}));
}

// A file of the package that would land on the install log, where the log lies in the install location
// or in a folder of its own, is refused with its own line and counted as a file not installed (on
// Windows in any letter case; natively also through a linked folder, by the log's identity): the log
// stays the run's and whole, and a patch check reads its Settings line. Beside the log's folder the
// name installs as any other.
TEST(InstallerSecurity, AFileAtTheLogsPlaceIsRefusedAndTheLogStaysWhole) {
  for (const std::string& log_folder : {std::string(), std::string("logs")}) {
    INSTALLER_SCRATCH scratch("install-log-place" + log_folder);
    for (int i = 0; i < 4; i++) scratch.add_file("more/" + std::to_string(i), text_bytes("file " + std::to_string(i)));
    auto database = load_or_fail(scratch);
    ASSERT_TRUE(database);
    const std::string log_text = log_folder.empty() ? "$HERE" : "$HERE/logs";
    std::strcpy(database->LOG.dest_path_from_inst_loc, log_text.c_str());
    database->installations[0].allow_system_paths = 0;  // the Settings line a patch check takes
    place_more_files(database.get(), {{log_text, "install_log.txt"},
                                      {"$HERE", log_folder.empty() ? "other.txt" : "install_log.txt"},
                                      {log_text, "INSTALL_LOG.TXT"},
                                      {"$HERE/alias", "install_log.txt"}});
    database = store_and_load(scratch, database.get());
    ASSERT_TRUE(database);
    const std::string log_place = scratch.installed(log_folder.empty() ? "install_log.txt" : "logs/install_log.txt");
#ifdef _WIN32
    const bool case_blind = true, linked = false;
#else
    const bool case_blind = false, linked = true;
    // A folder of the destination that leads to the log's folder.
    std::filesystem::create_directories(scratch.installed(log_folder));
    std::filesystem::create_directory_symlink(scratch.installed(log_folder), scratch.installed("alias"));
#endif

    EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
    const std::string not_installed = "\" not installed: it is the install log (more/";
    std::vector<std::string> files;
    for (const char* file : {"bin/data.bin", "bin/run.sh", "bin/uninstall.sh", "docs/guide.txt"})
      files.push_back("Installed \"" + scratch.installed(file) + "\"");
    files.push_back("\"" + log_place + not_installed + "0)");
    files.push_back("Installed \"" + scratch.installed(log_folder.empty() ? "other.txt" : "install_log.txt") + "\"");
    std::string other_case = scratch.installed(log_folder.empty() ? "INSTALL_LOG.TXT" : "logs/INSTALL_LOG.TXT");
    files.push_back(case_blind ? "\"" + other_case + not_installed + "2)" : "Installed \"" + other_case + "\"");
    std::string alias = scratch.installed("alias/install_log.txt");
    files.push_back(linked ? "\"" + alias + not_installed + "3)" : "Installed \"" + alias + "\"");
    files.push_back("Installed \"" + scratch.installed("readme.txt") + "\"");
    const int errors = 1 + case_blind + linked;
    EXPECT_EQ(database->install_state.error_count, errors);
    EXPECT_EQ(read_lines(log_place),
              expected_log(scratch, "Settings: 0 0 $SCRATCH/dest", files, {"Installation completed with " + std::to_string(errors) + " errors."}));
    if (!log_folder.empty()) {
      EXPECT_EQ(read_whole_text(scratch.installed("install_log.txt")), "file 1");
    }
    std::strcpy(database->PATCH.dest_path_from_inst_loc, log_text.c_str());
    EXPECT_TRUE(database->read_install_log());
  }
}

// Two files of one installation never land on one file. Names that the host does not hold as written
// are refused (on Windows a final dot or space, a device name, in the file's name or a folder's), and a
// file whose name leads to a file this installation installed before (another letter case where the
// destination ignores case, in a folder that was there or one the installation made; natively a
// folder reached through a link) is refused naming that one. So each "Installed" line has a file of its
// own, holding its own entry's bytes.
TEST(InstallerSecurity, TwoFilesOfOneInstallationNeverLandOnOneFile) {
  INSTALLER_SCRATCH scratch("install-one-file");
  const std::vector<std::pair<std::string, std::string>> places = {
      {"$HERE", "x."},       {"$HERE", "x"},       {"$HERE", "y "},      {"$HERE", "y"},
      {"$HERE", "CASE.txt"}, {"$HERE", "case.txt"}, {"$HERE", "aux.txt"}, {"$HERE/new.", "z"},
      {"$HERE", "CON"},      {"$HERE/fresh", "Mixed.txt"}, {"$HERE/fresh", "MIXED.TXT"},
#ifdef _WIN32
      {"$HERE/BIN", "run.sh"}};
#else
      {"$HERE/linked", "run.sh"}};
  std::filesystem::create_directories(scratch.installed("bin"));
  std::filesystem::create_directory_symlink(scratch.installed("bin"), scratch.installed("linked"));
#endif
  for (size_t i = 0; i < places.size(); i++) scratch.add_file("more/" + std::to_string(i), text_bytes("file " + std::to_string(i)));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  place_more_files(database.get(), places);
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  std::set<std::string> refused;  // (the files come in the order of their entries: more/10 before more/9)
  for (const std::string& line : log)
    if (line.find("\" not installed: ") != std::string::npos) refused.insert(line);
  auto place_of = [&](size_t i) {
    return scratch.installed((places[i].first == "$HERE" ? "" : places[i].first.substr(6) + "/") + places[i].second);
  };
  auto same_as = [&](size_t i, const std::string& earlier) {
    return "\"" + place_of(i) + "\" not installed: it is the same file as \"" + earlier + "\" (more/" + std::to_string(i) + ")";
  };
#ifdef _WIN32
  auto not_allowed = [&](size_t i) {
    return "\"" + place_of(i) + "\" not installed: the name is not allowed (more/" + std::to_string(i) + ")";
  };
  EXPECT_EQ(refused, (std::set<std::string>{not_allowed(0), not_allowed(2), same_as(5, place_of(4)), not_allowed(6),
                                            "\"$HERE/new./z\" not installed: the name is not allowed (more/7)",
                                            not_allowed(8), same_as(9, place_of(10)),
                                            same_as(11, scratch.installed("bin/run.sh"))}));
#else
  EXPECT_EQ(refused, (std::set<std::string>{same_as(11, scratch.installed("bin/run.sh"))}));
#endif
  EXPECT_EQ(database->install_state.error_count, (INT_S32)refused.size());
  // Every file logged as installed holds its own bytes: none was replaced by a later one.
  size_t installed = 0;
  for (size_t i = 0; i < places.size(); i++) {
    if (std::find(log.begin(), log.end(), "Installed \"" + place_of(i) + "\"") == log.end()) continue;
    installed++;
    EXPECT_EQ(read_whole_text(place_of(i)), "file " + std::to_string(i)) << place_of(i);
  }
  EXPECT_EQ(installed + refused.size(), places.size());
  EXPECT_EQ(read_whole_text(scratch.installed("bin/run.sh")), "#!/bin/sh\necho run\n");
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
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  for (int i = 0; i < 2; i++)
    EXPECT_NE(std::find(log.begin(), log.end(), "\"" + scratch.installed(places[i].second) + "\" failed to unpack (more/" +
                                                    std::to_string(i) + ")"),
              log.end());
#ifdef _WIN32
  const std::string cause = "I/O device error";
#else
  const std::string cause = "Input/output error";
#endif
  EXPECT_EQ(database->install_state.failure_text, "\"" + scratch.installed("old.bin") + "\" cannot be created (" + cause + ").");
}

// A folder reached by two paths (a link natively, two spellings under Windows) is one folder whichever
// path was listed first: a name put there through the one path is known through the other, in a folder
// that was there and in one that the installation made, and the later file of that name is refused.
TEST(InstallerSecurity, NamesPutThroughOnePathAreKnownThroughTheOther) {
  INSTALLER_SCRATCH scratch("install-two-paths");
  std::filesystem::create_directories(scratch.installed("kept"));
#ifdef _WIN32
  const std::string kept_too = "Kept", made_too = "fresh";
#else
  const std::string kept_too = "alias", made_too = "later";
  std::filesystem::create_directory_symlink(scratch.installed("kept"), scratch.installed("alias"));
  std::filesystem::create_directory_symlink(scratch.installed("Fresh"), scratch.installed("later"));
#endif
  const std::vector<std::pair<std::string, std::string>> places = {
      {"$HERE/kept", "one"},  {"$HERE/" + kept_too, "two"}, {"$HERE/kept", "two"},
      {"$HERE/Fresh", "a"}, {"$HERE/" + made_too, "b"},   {"$HERE/Fresh", "b"}};
  for (size_t i = 0; i < places.size(); i++) scratch.add_file("more/" + std::to_string(i), text_bytes("file " + std::to_string(i)));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  place_more_files(database.get(), places);
  database = store_and_load(scratch, database.get());
  ASSERT_TRUE(database);

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  std::vector<std::string> refused;
  for (const std::string& line : read_lines(scratch.installed("install_log.txt")))
    if (line.find("\" not installed: ") != std::string::npos) refused.push_back(line);
  EXPECT_EQ(refused, (std::vector<std::string>{
                         "\"" + scratch.installed("kept/two") + "\" not installed: it is the same file as \"" +
                             scratch.installed(kept_too + "/two") + "\" (more/2)",
                         "\"" + scratch.installed("Fresh/b") + "\" not installed: it is the same file as \"" +
                             scratch.installed(made_too + "/b") + "\" (more/5)"}));
  EXPECT_EQ(read_whole_text(scratch.installed("kept/two")), "file 1");
  EXPECT_EQ(read_whole_text(scratch.installed("Fresh/b")), "file 4");
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
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  for (int i : {1, 3}) {
    const std::string line = "\"" + scratch.installed(places[i].first.substr(6) + "/" + places[i].second) +
                             "\" failed to unpack (more/" + std::to_string(i) + ")";
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  }
#ifdef _WIN32
  const std::string cause = "File already exists";
#else
  const std::string cause = "Not a directory";
#endif
  EXPECT_EQ(database->install_state.failure_text,
            "\"" + scratch.installed("blocker/four") + "\" cannot be placed: its folder cannot be created (" + cause + ").");
  EXPECT_EQ(read_whole_text(scratch.installed("open/deep/one")), "file 0");
  EXPECT_EQ(read_whole_text(scratch.installed("open/three")), "file 2");
  EXPECT_EQ(read_whole_text(scratch.installed("blocker")), "a file");
}

#ifndef _WIN32
// What is already at an installed file's place or the log's (a link, a pipe) is replaced by the new
// regular file, never written through and never waited on; a file that is the package being read (by
// identity, under any name) is never installed over.
TEST(InstallerSecurity, LinksAndPipesAtTheirPlaceAreReplacedAndThePackageIsKept) {
  INSTALLER_SCRATCH scratch("install-places");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  // "docs" is reached through a folder that the installation makes and then leaves: not a new folder.
  INSTALLATION* installation = &database->installations[0];
  for (INT_S16 i = 0; i < installation->file_count; i++)
    if (std::strcmp(installation->files[i].dest_path_from_inst_loc, "$HERE/docs") == 0)
      std::strcpy(installation->files[i].dest_path_from_inst_loc, "$HERE/made/../docs");
  std::string dest = scratch.destination + "/";
  std::filesystem::create_directories(dest + "bin");
  ASSERT_TRUE(write_whole_file(scratch.root + "theirs.txt", text_bytes("theirs")));
  ASSERT_EQ(symlink((scratch.root + "theirs.txt").c_str(), (dest + "readme.txt").c_str()), 0);
  ASSERT_EQ(symlink((scratch.root + "missing-target").c_str(), (dest + "bin/uninstall.sh").c_str()), 0);
  ASSERT_EQ(mkfifo((dest + "bin/run.sh").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dest + "install_log.txt").c_str(), 0600), 0);
  // "docs/guide.txt" is the package itself under another name.
  std::filesystem::create_directories(dest + "docs");
  ASSERT_EQ(link((scratch.package + "installer.pkg").c_str(), (dest + "docs/guide.txt").c_str()), 0);
  std::vector<INT_U8> package_bytes = read_whole_file(scratch.package + "installer.pkg");

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(database->install_state.error_count, 1);
  for (const char* file : {"readme.txt", "bin/run.sh", "bin/uninstall.sh", "install_log.txt"})
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dest + file))) << file;
  for (const char* file : {"readme.txt", "bin/run.sh", "bin/uninstall.sh"})
    EXPECT_EQ(read_whole_file(dest + file), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_EQ(read_whole_text(scratch.root + "theirs.txt"), "theirs");
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "missing-target"));
  EXPECT_EQ(read_whole_file(scratch.package + "installer.pkg"), package_bytes);
  std::vector<std::string> log = read_lines(dest + "install_log.txt");
  ASSERT_GT(log.size(), 6u);
  EXPECT_EQ(log[1], "---------------");
  bool guide_failed = false;
  for (const std::string& line : log) guide_failed = guide_failed || line == "\"" + dest + "docs/guide.txt\" failed to unpack (docs/guide.txt)";
  EXPECT_TRUE(guide_failed);
}

// Files whose folders alternate between one the installation makes and one that was there: each file's
// folder is told apart, and the package, at a file's place in the folder that was there, is never
// written, whether that folder's text comes again at once or after the other one.
TEST(InstallerSecurity, PackageIsKeptWhateverFolderCameBefore) {
  INSTALLER_SCRATCH scratch("install-alternate");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  INSTALLATION& installation = database->installations[0];
  ASSERT_EQ(installation.file_count, 5);
  const char* folders[] = {"$HERE/fresh", "$HERE/kept", "$HERE/fresh", "$HERE/kept", "$HERE/kept"};
  const char* names[] = {"one", "package.bin", "two", "three", "package2.bin"};
  for (int i = 0; i < 5; i++) {
    std::strcpy(installation.files[i].dest_path_from_inst_loc, folders[i]);
    std::strcpy(installation.files[i].dest_name, names[i]);
  }
  std::string kept = scratch.destination + "/kept/";
  std::filesystem::create_directories(kept);
  for (const char* name : {"package.bin", "package2.bin"})
    ASSERT_EQ(link((scratch.package + "installer.pkg").c_str(), (kept + name).c_str()), 0);
  std::vector<INT_U8> package_bytes = read_whole_file(scratch.package + "installer.pkg");

  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(database->install_state.error_count, 2);
  EXPECT_EQ(read_whole_file(scratch.package + "installer.pkg"), package_bytes);
  for (int i : {0, 2, 3}) {
    std::string installed = scratch.destination + "/" + (folders[i] + 6) + "/" + names[i];
    EXPECT_EQ(read_whole_file(installed), read_whole_file(scratch.source + "files/" + installation.files[i].packed_name))
        << installed;
  }
}
#endif

// Texts of the data written to the log cannot add lines: a language name with a line break (and a
// forged "Settings: " line after it), also one hidden in a wide-character run, stays on its own line.
TEST(InstallerSecurity, DataTextsCannotAddLogLines) {
  INSTALLER_SCRATCH scratch("install-forged");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  std::strcpy(database->languages[0].name, "English\nSettings: 9 1 $ROOT0/elsewhere\r\x1b[2J");
#ifndef _WIN32
  // (Windows refuses a line break in a file name.)
  std::strcpy(database->installations[0].files[0].dest_name, "read\nme.txt");
#endif
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GT(log.size(), 5u);
  EXPECT_EQ(log[3], "Language: English?Settings: 9 1 $ROOT0/elsewhere??[2J");
  int settings_lines = 0;
  for (const std::string& line : log) settings_lines += line.rfind("Settings: ", 0) == 0;
  EXPECT_EQ(settings_lines, 1);
  EXPECT_EQ(log[4].rfind("Settings: 0 ", 0), 0u);
#ifndef _WIN32
  bool joined = false;
  for (const std::string& line : log) joined = joined || line.find("read?me.txt\"") != std::string::npos;
  EXPECT_TRUE(joined);
#endif

  // The same for every kind of text, wide-character runs included.
  struct CASE {
    std::string text, printable;
  } cases[] = {{"plain", "plain"},
               {"tab\there", "tab?here"},
               {"del\x7f", "del?"},
               {"utf-8 \xc3\xa9\xe2\x80\x94", "utf-8 \xc3\xa9\xe2\x80\x94"},
               {"run \x01,0041,000A,2028,00E9\x01 end", "run A??\xE9 end"},
               {"\x01,0100,002C,0085,0101\x01", "\x01,0100,002C\x01?\x01,0101\x01"},
               {"broken \x01,00\x0a\x01", "broken ?"},
               {"\x1b[2J first", "?[2J first"},
               {"\x01,000A\x01 then a control\x7f", "? then a control?"}};
  for (const CASE& c : cases) EXPECT_EQ(printable_text(c.text.c_str()), c.printable) << c.text;
  char utf8[64];
  for (const CASE& c : cases) EXPECT_TRUE(text_to_utf8(c.printable.c_str(), utf8, sizeof utf8)) << c.text;
  EXPECT_EQ(printable_text(nullptr), "");
}

// A log line reads damaged runs by the one rule of every reader of the text, each broken step a '?'.
TEST(InstallerLog, DamagedRunsArePrintableByTheRulesOfEveryReader) {
  EXPECT_EQ(printable_text("\x01,12\x01" "AB"), "?AB");
  EXPECT_EQ(printable_text("a\x01\x01" "b\x01,\x01"), "ab");
  EXPECT_EQ(printable_text("\x01,z0041,\x01,x"), "?Ax");
  EXPECT_EQ(printable_text("\x01,0100\x01\x01,0101\x01"), "\x01,0100,0101\x01");
  EXPECT_EQ(printable_text("x\x01,20A"), "x?");
}

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
    void copy_error(DATABASE*, const char*, const char*) override {}
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
  EXPECT_EQ(log.back(), "Installation completed with 1 errors.");
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

TEST(InstallerInstall, ReadInstallLogComparesTheLoggedLocation) {
  INSTALLER_SCRATCH scratch("install-readlog");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  database->installations[0].allow_system_paths = 0;  // forces use_system_paths to 0 at the preparation
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt"))[4], "Settings: 0 0 $SCRATCH/dest");
  std::strcpy(database->PATCH.dest_path_from_inst_loc, "$HERE");
  database->use_system_paths = 0;
  EXPECT_TRUE(database->read_install_log());
#ifdef _WIN32
  std::strcpy(database->install_path, "$SCRATCH/DEST");  // letter case does not matter here
  EXPECT_TRUE(database->read_install_log());
#endif
  // Another location holds no log; looking creates no folder.
  std::strcpy(database->install_path, "$SCRATCH/elsewhere");
  EARLIER_LOG elsewhere;
  elsewhere.settings = "x";
  EXPECT_FALSE(database->read_install_log(&elsewhere));
  EXPECT_EQ(elsewhere.path, below(scratch.root + "elsewhere", "install_log.txt"));
  EXPECT_EQ(elsewhere.settings, "");
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "elsewhere"));
  // A log that says system paths were used does not match a choice without them.
  std::string log_path = scratch.installed("install_log.txt");
  std::string text = read_whole_text(log_path);
  text.replace(text.find("Settings: 0 0"), 13, "Settings: 0 1");
  ASSERT_TRUE(write_whole_file(log_path, text_bytes(text)));
  std::strcpy(database->install_path, "$SCRATCH/dest");
  EXPECT_FALSE(database->read_install_log());
  // With the system folders chosen where the package names no folder of them for the log, the log at
  // the location must say they were chosen; a choice the installation does not allow counts as none.
  database->installations[0].allow_system_paths = 1;
  database->use_system_paths = 1;
  EARLIER_LOG earlier;
  EXPECT_TRUE(database->read_install_log(&earlier));
  EXPECT_EQ(earlier.path + " " + earlier.settings, log_path + " 0 1 $SCRATCH/dest");
  database->installations[0].allow_system_paths = 0;
  EXPECT_FALSE(database->read_install_log());
  database->use_system_paths = 0;
  // A very long settings line is read whole.
  std::string long_path = "$SCRATCH/dest/" + std::string(1500, 'x');
  text.replace(text.find("Settings: 0 1 $SCRATCH/dest"), 27, "Settings: 0 0 " + long_path);
  ASSERT_TRUE(write_whole_file(log_path, text_bytes(text)));
  EXPECT_FALSE(database->read_install_log());  // the long folder does not exist
  // A logged path with a path variable this program does not know matches nothing (and ends nothing).
  text.replace(text.find("Settings: 0 0 " + long_path), 14 + long_path.size(), "Settings: 0 0 $NOSUCHVARIABLE/dest");
  ASSERT_TRUE(write_whole_file(log_path, text_bytes(text)));
  EXPECT_FALSE(database->read_install_log());
  // A destination below the program's own folder, in the "$APP/..." form: the same folder on both sides
  // (the test program's folder holds the scratch folders).
  FOLDER destination;
  ASSERT_TRUE(destination.set("$SCRATCH/dest"));
  char application_text[FOLDER_PATH_SIZE];
  destination.get_portable_text(application_text, nullptr);
  ASSERT_EQ(std::string(application_text).compare(0, 5, "$APP/"), 0) << application_text;
  text.replace(text.find("Settings: 0 0 $NOSUCHVARIABLE/dest"), 34, std::string("Settings: 0 0 ") + application_text);
  ASSERT_TRUE(write_whole_file(log_path, text_bytes(text)));
  std::strcpy(database->install_path, application_text);
  EXPECT_TRUE(database->read_install_log());
}

// The log names its application and installation after the settings; an update reads them back and
// goes only over the same ones (a name outside ASCII included), and a log of an earlier version, which
// names none, is judged by its settings alone.
TEST(InstallerInstall, ReadInstallLogKnowsTheApplicationAndInstallation) {
  INSTALLER_SCRATCH scratch("install-identity");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  const std::string name = "Gr\xFC\xDF" "e App";  // Latin-1, UTF-8 in the log
  std::strcpy(database->installations[0].name, name.c_str());
  ASSERT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  std::string log_path = scratch.installed("install_log.txt");
  std::vector<std::string> log = read_lines(log_path);
  ASSERT_GT(log.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 4, log.begin() + 8),
            (std::vector<std::string>{"Settings: 0 1 $SCRATCH/dest", "Application: velk-test-app",
                                      "Installation: Gr\xC3\xBC\xC3\x9F" "e App", ""}));
  std::strcpy(database->PATCH.dest_path_from_inst_loc, "$HERE");
  database->PATCH.do_check = 1;
  EARLIER_LOG earlier;
  EXPECT_TRUE(database->update_target_found(&earlier));
  EXPECT_TRUE(earlier.identified);
  EXPECT_EQ(earlier.mismatch, "");

  // Another product, and another installation of this one, at the same place and with the same choice.
  std::strcpy(database->APPLICATION.app_string, "other-app");
  EXPECT_FALSE(database->update_target_found(&earlier));
  EXPECT_EQ(earlier.mismatch, "the install log \"" + log_path + "\" is of another installation: \"" + name +
                                  "\" of the application \"velk-test-app\" (this update is for \"" + name +
                                  "\" of \"other-app\")");
  std::strcpy(database->APPLICATION.app_string, "velk-test-app");
  std::strcpy(database->installations[0].name, "Test App");
  EXPECT_FALSE(database->update_target_found());

  // The log of an earlier version: its settings decide.
  std::string text = read_whole_text(log_path);
  size_t identity = text.find("Application: ");
  text.erase(identity, text.find("\n", text.find("Installation: ")) + 1 - identity);
  ASSERT_TRUE(write_whole_file(log_path, text_bytes(text)));
  EXPECT_TRUE(database->update_target_found(&earlier));
  EXPECT_FALSE(earlier.identified);
}

// A log that is no plain file, or damaged, is named as what it is, read in constant time and memory
// (a line is read no further than its bound, and only the first lines are looked through); a pipe is
// never waited on. Automatic mode says so and installs nothing.
TEST(InstallerInstall, AnEarlierLogThatIsNoLogIsNamedAsWhatItIs) {
  INSTALLER_SCRATCH scratch("install-bad-log", "patch_check = $HERE\n");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  std::string log_path = scratch.installed("install_log.txt");
  std::filesystem::create_directories(log_path);
  EARLIER_LOG earlier;
  EXPECT_FALSE(database->read_install_log(&earlier));
  const std::string its_log = "its install log \"" + log_path + "\" ";
  EXPECT_EQ(earlier.mismatch, its_log + "is a folder");
  std::filesystem::remove(log_path);

  const std::string settings = "Settings: 0 1 $SCRATCH/dest\n";
  const std::string long_line = "damaged: a line of more than 16384 bytes";
  const std::string no_settings = "damaged: no \"Settings: \" line among its first 5 lines";
  const std::pair<std::string, std::string> damaged[] = {
      {"", no_settings},
      {"1\n2\n3\n4\n5\n" + settings, no_settings},
      {std::string(16385, 'x') + "\n" + settings, long_line},
      {settings + std::string(20000, '\0'), long_line},  // bytes the line cannot hold count too
      {"Settings: none\n", "damaged: its settings are not the installer's (Settings: none)"}};
  for (const auto& example : damaged) {
    ASSERT_TRUE(write_whole_file(log_path, text_bytes(example.first)));
    EXPECT_FALSE(database->read_install_log(&earlier));
    EXPECT_EQ(earlier.mismatch, its_log + "is " + example.second);
  }
  // A gigabyte without a line end (sparse where the file system allows) is damaged at its first line.
  ASSERT_TRUE(write_whole_file(log_path, {}));
  std::filesystem::resize_file(log_path, 1u << 30);
  EXPECT_FALSE(database->read_install_log(&earlier));
  EXPECT_EQ(earlier.mismatch, its_log + "is " + long_line);
  std::filesystem::remove(log_path);
  // Lines the log holds are read whatever their length up to the bound.
  ASSERT_TRUE(write_whole_file(log_path, text_bytes("Language: " + std::string(16000, 'x') + "\n" + settings)));
  EXPECT_TRUE(database->read_install_log(&earlier));
  std::filesystem::remove(log_path);
#ifndef _WIN32
  ASSERT_EQ(symlink("install_log.txt", log_path.c_str()), 0);  // a link to itself
  EXPECT_FALSE(database->read_install_log(&earlier));
  EXPECT_EQ(earlier.mismatch, its_log + "cannot be read (Too many levels of symbolic links)");
  std::filesystem::remove(log_path);
  ASSERT_EQ(mkfifo(log_path.c_str(), 0600), 0);  // no writer: opening it to read would wait for one
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(captured_stdout(), "ERROR: this package is an update: it installs only over an earlier installation in \"" +
                                   scratch.destination + "\", and " + its_log + "is a pipe; nothing was installed\n");
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("readme.txt")));
#endif
}

#ifndef _WIN32
// The installer program itself: automatic mode, help and command-line errors with their statuses.
TEST(InstallerProgram, OneShotModesEndWithTheirExitStatus) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  ASSERT_TRUE(std::filesystem::exists(installer));
  INSTALLER_SCRATCH scratch("program");
  std::string environment = "HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + scratch.root +
                            "home/config' XDG_DATA_HOME='" + scratch.root + "home/data' XDG_DESKTOP_DIR='" +
                            scratch.root + "home/Desktop' TMPDIR='" + scratch.root + "tmp' ";
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command(environment + "'" + installer + "' " + arguments + " >'" + output + "' 2>&1");
  };
  // The named path of the test process means nothing to the program: absolute texts from $ROOT0.
  std::string package = "'$ROOT0" + scratch.package + "installer.xml'";

  EXPECT_EQ(run("-h"), 0);
  EXPECT_NE(read_whole_text(output).find("\t-a\t- Automatic mode (non interactive)\n"), std::string::npos);

  // The package names its destination from the drive root, which the program resolves.
  std::string description = scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  EXPECT_EQ(run("-x " + package + " -a"), 0);
  EXPECT_NE(read_whole_text(output).find("Done\n"), std::string::npos);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;

  // A folder part that does not exist is an error, never a fall-back to a parent folder.
  EXPECT_EQ(run("-x '$ROOT0" + scratch.root + "missing/installer.xml' -a"), 2);
  EXPECT_NE(read_whole_text(output).find("does not exist"), std::string::npos);
  EXPECT_EQ(run("-x '$NOSUCHVARIABLE/installer.xml' -a"), 2);  // an unknown variable names no folder
  EXPECT_NE(read_whole_text(output).find("ERROR: \"$NOSUCHVARIABLE\" is no path variable this program knows"),
            std::string::npos);
  // No package in the data folder, and a damaged package: the job cannot start.
  EXPECT_EQ(run("-x '$ROOT0" + scratch.root + "installer.xml' -a"), 2);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n"), std::string::npos);
  EXPECT_EQ(read_whole_text(output).find("Done"), std::string::npos);
  std::vector<INT_U8> bytes = read_whole_file(scratch.package + "installer.pkg");
  bytes.resize(bytes.size() / 2);
  ASSERT_TRUE(write_whole_file(scratch.package + "installer.pkg", bytes));
  EXPECT_EQ(run("-x " + package + " -a"), 2);
  // A destination naming a path variable the program does not know: the database is not loaded (no
  // fatal error), and nothing is installed. (The packer takes only variables it knows: this process
  // knows it.)
  description.replace(description.find("$ROOT0" + scratch.root + "dest"), 6 + scratch.root.size() + 4, "$NOSUCHVARIABLE/dest");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  FOLDER known;
  set_named_path("$NOSUCHVARIABLE", &known);
  ASSERT_TRUE(scratch.build());
  EXPECT_EQ(run("-x " + package + " -a"), 2);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n"), std::string::npos);
  EXPECT_NE(read_whole_text(output).find("unknown path variable in \"$NOSUCHVARIABLE/dest\""), std::string::npos);
  // "-d" without its second name.
  EXPECT_EQ(run("-d first.pkg"), 2);
  EXPECT_NE(read_whole_text(output).find("Second file was not supplied\n"), std::string::npos);
}
#endif

#ifndef _WIN32
// What the program says names what it tried: "-h" gives each option a line of what it does, a host path
// given to "-x" is answered with the form it takes, and "-d" names the package it could not load.
TEST(InstallerProgram, MessagesNameWhatTheyTriedAndTheFormsTheyTake) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-messages");
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" +
                       scratch.root + "tmp' '" + binary_dir + "/installer' " + arguments + " >'" + output + "' 2>&1");
  };
  EXPECT_EQ(run("-h"), 0);
  std::vector<std::string> help = read_lines(output);
  const char* const options[] = {"\t-h\t- Show help",  "\t-a\t- Automatic mode (non interactive)",
                                 "\t-v\t- Be verbose", "\t-s\t- Generate skin",
                                 "\t-x\t- XML File",   "\t-p\t- Platform filter",
                                 "\t-d\t- Diff files (used for patching)"};
  ASSERT_EQ(help.size(), 3 + 2 * 7 + 1);
  for (size_t i = 0; i < 7; i++) {
    EXPECT_EQ(help[3 + 2 * i], options[i]);
    EXPECT_EQ(help[4 + 2 * i].compare(0, 4, "\t\t  "), 0) << help[4 + 2 * i];
    EXPECT_GT(help[4 + 2 * i].size(), 10u);
  }
  EXPECT_EQ(help.back(), "");

  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::string folder = scratch.package.substr(0, scratch.package.size() - 1);
  EXPECT_EQ(run("-x '" + folder + "/installer.xml' -a"), 2);
  const std::string expected = "\"-x\" takes a file name in the folder that holds \"installer.pkg\" (the name itself "
                               "need not exist)\n";
  EXPECT_EQ(read_whole_text(output), "ERROR: \"" + folder + "/installer.xml\" is a path of this computer: give it from "
                                     "the drive root, as \"$ROOT0\" followed by the path: \"$ROOT0" + folder +
                                     "/installer.xml\"\n" + expected);
  // "-x" naming the package's folder itself, with or without a '/' after it: where the installer looked
  // and what it expects there.
  EXPECT_EQ(run("-x '$ROOT0" + folder + "' -a"), 2);
  EXPECT_EQ(read_whole_text(output), "Loading automatic pack...\nERROR: unable to load data\n" + scratch.root +
                                         "installer.pkg: the package \"installer.pkg\" cannot be opened (No such file "
                                         "or directory)\n\"$ROOT0" + folder + "\" is a folder: for the package in it, "
                                         "give \"$ROOT0" + folder + "/installer.xml\"\n" + expected);
  EXPECT_EQ(run("-x '$ROOT0" + folder + "/' -a"), 2);
  EXPECT_EQ(read_whole_text(output), "ERROR: \"$ROOT0" + folder + "/\" names a folder and no file in it: give a file "
                                     "name in that folder, e.g. \"$ROOT0" + folder + "/installer.xml\"\n" + expected);
  EXPECT_EQ(run("-d '$ROOT0" + folder + "/none.pkg=$ROOT0" + folder + "/installer.pkg'"), 2);
  EXPECT_NE(read_whole_text(output).find("Failed to load first database\n\t" + folder +
                                         "/none.pkg: the package \"none.pkg\" cannot be opened (No such file or "
                                         "directory)\n"),
            std::string::npos)
      << read_whole_text(output);
  EXPECT_EQ(run("-d '$ROOT0" + folder + "/installer.pkg=" + folder + "/second.pkg'"), 2);
  EXPECT_NE(read_whole_text(output).find("Failed to load second database\n\t\"" + folder + "/second.pkg\" is a path"),
            std::string::npos)
      << read_whole_text(output);
}
#endif

// A path of the host's own form is answered with the path-variable form that names it; a folder that
// does not exist is named as the path it would be, below the folder that "$HERE" stands for; a text
// that names no file gets one to give.
TEST(InstallerProgram, HostPathsAreAnsweredWithTheDriveRootForm) {
  FOLDER here;
  std::strcpy(here.path, PATH_SEPARATOR == '/' ? "/srv/data" : "C:\\data");
  const std::string missing = PATH_SEPARATOR == '/' ? "/srv/data/missing" : "C:\\data\\missing";
  EXPECT_EQ(file_argument_problem("missing/x.skin", &here),
            "the folder \"" + missing + "\" of \"missing/x.skin\" does not exist");
  EXPECT_EQ(file_argument_problem("$HERE/missing/../missing/x.skin", &here),
            "the folder \"" + missing + "\" of \"$HERE/missing/../missing/x.skin\" does not exist");
  EXPECT_EQ(file_argument_problem("$TEMP", &here, "installer.xml"),
            "\"$TEMP\" names a folder and no file in it: give a file name in that folder, e.g. \"$TEMP/installer.xml\"");
  EXPECT_EQ(file_argument_problem("$NOWHERE/x.skin", &here), "\"$NOWHERE\" is no path variable this program knows (in "
                                                             "\"$NOWHERE/x.skin\")");
  EXPECT_EQ(file_argument_problem("/srv/package/installer.xml"),
            "\"/srv/package/installer.xml\" is a path of this computer: give it from the drive root, as \"$ROOT0\" "
            "followed by the path: \"$ROOT0/srv/package/installer.xml\"");
  std::string windows = file_argument_problem("C:\\Package\\installer.xml");
  EXPECT_NE(windows.find(" is a path of this computer: give it from the drive root, as \"$ROOT"), std::string::npos);
  EXPECT_EQ(windows.substr(windows.size() - 23), "/Package/installer.xml\"") << windows;
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

#ifndef _WIN32
// The program takes its arguments and its folders from the environment in UTF-8: a package folder, a
// destination and a home named outside ASCII.
TEST(InstallerProgram, ArgumentsAndFoldersOutsideAsciiNameTheirOwnFolders) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-names");
  const std::string packages = scratch.root + "Pakete-\xC3\xA4/", home = scratch.root + "H\xC3\xB6me/";
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, "$ROOT0" + scratch.root + "Ziel-\xC3\xBC");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::filesystem::rename(scratch.package, packages);
  std::string output = scratch.root + "output.txt";
  std::string command = "HOME='" + home + "' XDG_DATA_HOME='" + home + "data' XDG_CONFIG_HOME='" + home +
                        "config' XDG_DESKTOP_DIR='" + home + "Desktop' TMPDIR='" + home + "tmp' '" + binary_dir +
                        "/installer' -x '$ROOT0" + packages + "installer.xml' -a >'" + output + "' 2>&1";
  std::filesystem::create_directories(home + "tmp");
  EXPECT_EQ(run_command(command), 0) << read_whole_text(output);
  const std::string destination = scratch.root + "Ziel-\xC3\xBC/";
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(destination + file), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_EQ(read_lines(destination + "install_log.txt")[4], "Settings: 0 1 $ROOT0" + scratch.root + "Ziel-\xC3\xBC");
  EXPECT_TRUE(std::filesystem::exists(home + "Desktop/Test App.desktop"));
  EXPECT_TRUE(std::filesystem::exists(home + "data/applications/Velk Test Group/Test Guide.desktop"));
}
#endif

#ifndef _WIN32
// The one-time "Starting Default Paths" trace comes with the application's first folder, after the
// library has started: never lost while the debug streams are still being built, never before the
// usage that "-h" prints.
TEST(InstallerProgram, DefaultPathTraceStartsWithTheApplicationsFirstFolder) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  INSTALLER_SCRATCH scratch("program-trace");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + scratch.root +
                       "home/config' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" + scratch.root +
                       "tmp' '" + installer + "' " + arguments + " >'" + output + "' 2>/dev/null");
  };
  auto count = [](const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) found++;
    return found;
  };

  // Stream 2 is the trace: switched on by the library's option, it prints once, with the first folder
  // the application sets while loading its package.
  ASSERT_EQ(run("--velk-showdebug=2 -x '$ROOT0" + scratch.package + "installer.xml' -a"), 0);
  std::string text = read_whole_text(output);
  EXPECT_EQ(text.rfind("Enabling debug channel 2\n", 0), 0u) << text;
  EXPECT_EQ(count(text, "\nStarting Default Paths:\n\n$APP => "), 1u) << text;
  EXPECT_LT(text.find("Starting Default Paths"), text.find("Packing data...")) << text;

  // Switched on by its settings file, it does not come before the usage: "-h" sets no folder.
  std::string settings = scratch.root + "home/config/installer/debug/";
  std::filesystem::create_directories(settings);
  ASSERT_TRUE(write_whole_file(settings + "Default Path Trace_release.cfg", text_bytes("write_to_console\n\t1\n")));
  ASSERT_EQ(run("-h"), 0);
  text = read_whole_text(output);
  EXPECT_EQ(text.rfind("Usage:\n", 0), 0u) << text;
  EXPECT_EQ(text.find("Starting Default Paths"), std::string::npos) << text;
  // With "-v" first the trace is printed at once, before the usage, and once only.
  ASSERT_EQ(run("-v -h"), 0);
  text = read_whole_text(output);
  EXPECT_EQ(text.rfind("$APP => ", 0), 0u) << text;
  EXPECT_EQ(count(text, "$APP => "), 1u) << text;
  EXPECT_NE(text.find("Usage:\n"), std::string::npos) << text;
}
#endif

#ifndef _WIN32
// "-v" says where the package's locations under the system folders' variables lie: the system folder with
// the application's sub-folder, whatever the installer's file is called and whether or not they exist
// yet; a system folder that does not exist is said so (an installation there makes it).
TEST(InstallerProgram, VerboseModeSaysWhereTheLocationsLie) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-locations");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::filesystem::create_directories(scratch.root + "home/data");
  std::filesystem::create_directories(scratch.root + "home/config");
  std::filesystem::copy_file(binary_dir + "/installer", scratch.root + "setup-1.bin");
  std::string output = scratch.root + "output.txt";
  ASSERT_EQ(run_command("env -u DISPLAY HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root +
                        "home/data' XDG_STATE_HOME='" + scratch.root + "home/state' XDG_CONFIG_HOME='" + scratch.root +
                        "home/config' TMPDIR='" + scratch.root + "tmp' '" + scratch.root + "setup-1.bin' -v -x '$ROOT0" +
                        scratch.package + "installer.xml' -a >'" + output + "' 2>/dev/null"),
            0);
  std::string text = read_whole_text(output);
  const std::string missing = "(its system folder does not exist yet: an installation there makes it)";
  EXPECT_NE(text.find("Install locations of the application \"velk-test-app\":\n$SYSAPP => " + missing +
                      "\n$INSTDATA => " + scratch.root + "home/data/velk-test-app\n$APPDATA => " + scratch.root +
                      "home/data/velk-test-app\n$USERDATA => " + missing + "\n$USERPREFS => " + scratch.root +
                      "home/config/velk-test-app\n"),
            std::string::npos)
      << text;
}

// "$TEMP" is made fresh for each run and removed at its end: a link planted at the old fixed
// temporary folder, or at a font's name in it, is left alone with its target, and another run's
// temporary files are never touched.
TEST(InstallerProgram, TemporaryFolderIsPrivateToTheRun) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = binary_dir + "/installer";
  INSTALLER_SCRATCH scratch("program-temp");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());

  // Another user's trap: the old fixed folder is a link to a folder of theirs, with a link at a font's
  // name to a file of theirs. Another run's private folder holds its copy.
  std::string tmp = scratch.root + "tmp/";
  std::string theirs = scratch.root + "theirs/";
  std::filesystem::create_directories(theirs + "temp");
  ASSERT_TRUE(write_whole_file(theirs + "precious.txt", text_bytes("keep me")));
  ASSERT_EQ(symlink((theirs + "precious.txt").c_str(), (theirs + "temp/DejaVuSans.ttf").c_str()), 0);
  ASSERT_EQ(symlink(theirs.c_str(), (tmp + "installer").c_str()), 0);
  std::filesystem::create_directories(tmp + "installer-Other1");
  ASSERT_TRUE(write_whole_file(tmp + "installer-Other1/installer.pkg", text_bytes("another run's copy")));

  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + scratch.root +
                       "home/config' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" + tmp + "' '" +
                       installer + "' " + arguments + " >'" + output + "' 2>&1");
  };
  std::set<std::string> temps;
  for (int i = 0; i < 2; i++) {
    ASSERT_EQ(run("-v -x '$ROOT0" + scratch.package + "installer.xml' -a"), 0) << read_whole_text(output);
    std::string text = read_whole_text(output);
    size_t at = text.find("$TEMP => ");
    ASSERT_NE(at, std::string::npos) << text;
    std::string temp = text.substr(at + 9, text.find(' ', at + 9) - at - 9);
    EXPECT_EQ(temp.rfind(tmp + "installer-", 0), 0u) << temp;
    EXPECT_FALSE(std::filesystem::exists(temp)) << temp << " was left";
    temps.insert(temp);
  }
  EXPECT_EQ(temps.size(), 2u);  // a new folder for each run

  remove_temporary_folder();  // this test's own, made while the package was built
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(tmp)) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"installer", "installer-Other1"}));
  EXPECT_TRUE(std::filesystem::is_symlink(tmp + "installer"));
  EXPECT_TRUE(std::filesystem::is_symlink(theirs + "temp/DejaVuSans.ttf"));
  EXPECT_EQ(read_whole_text(theirs + "precious.txt"), "keep me");
  EXPECT_EQ(read_whole_text(tmp + "installer-Other1/installer.pkg"), "another run's copy");
}
#endif

#ifndef _WIN32
// A package just past 2 GiB (sparse: the real package and a hole) is refused with the load error: it is
// never read through positions that do not move the file, and nothing is written.
TEST(InstallerProgram, PackagePastTwoGigabytesIsRefused) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-large");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::filesystem::resize_file(scratch.package + "installer.pkg", 0x80000000ull + 44 * 1024);
  std::string output = scratch.root + "output.txt";
  EXPECT_EQ(run_command("env -u DISPLAY HOME='" + scratch.root + "home' TMPDIR='" + scratch.root + "tmp' '" +
                        binary_dir + "/installer' -x '$ROOT0" + scratch.package + "installer.xml' -a >'" + output +
                        "' 2>&1"),
            EXIT_JOB_NOT_STARTED);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n"), std::string::npos) << read_whole_text(output);
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "dest"));
  std::filesystem::remove(scratch.package + "installer.pkg");
}
#endif

#ifndef _WIN32
// A package whose stated sizes ask for more memory than the process may have (its block size: one
// 50 MiB block for "database.bin", stored sparse) gives the load error and status 2, never an abort; with
// memory enough the same package loads.
TEST(InstallerProgram, StatedSizesBeyondTheMemoryLimitGiveTheLoadError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a process under AddressSanitizer cannot run with a memory limit; the plain build runs this";
#endif
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  INSTALLER_SCRATCH scratch("program-memory");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  FOLDER folder;
  std::string package_folder = scratch.package.substr(0, scratch.package.size() - 1);
  ASSERT_TRUE(folder.set_if_folder(package_folder.c_str()));
  {
    PACKAGE package(&folder, "installer.pkg", false, -1, true, false);
    ASSERT_TRUE(package.extract_entry(&folder, "database.bin", "database.bin"));
  }
  std::vector<INT_U8> database_bytes = read_whole_file(scratch.package + "database.bin");
  ASSERT_FALSE(database_bytes.empty());

  // The package by hand: the byte-order byte, header, root record, the one entry record at 54 and its
  // block at 86, whose used field follows the block's data: the rest of the data stays a hole.
  const INT_U32 block_size = PACKAGE_LARGEST_BLOCK_SIZE;
  std::vector<INT_U8> bytes = {0, 'V', 'E', 'L', 'K', 'P', 'K', 'G', 0, 1, 0};
  auto u32 = [&bytes](INT_U32 value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back((INT_U8)(value >> shift));
  };
  for (INT_U32 value : {block_size, 26u, 0u, 0u, 4u}) u32(value);
  bytes.insert(bytes.end(), {'r', 'o', 'o', 't'});
  for (INT_U32 value : {54u, 54u, 0u, 0u, 0u, 12u}) u32(value);
  for (char c : std::string("database.bin")) bytes.push_back((INT_U8)c);
  for (INT_U32 value : {86u, 86u, 0u, (INT_U32)database_bytes.size(), 0u}) u32(value);
  bytes.insert(bytes.end(), database_bytes.begin(), database_bytes.end());
  {
    std::ofstream out(scratch.package + "installer.pkg", std::ios::binary | std::ios::trunc);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    bytes.clear();
    u32((INT_U32)database_bytes.size());
    out.seekp(1 + 86 + 4 + block_size);
    out.write((const char*)bytes.data(), 4);
  }

  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& limit) {
    return run_command("(" + limit + "env -u DISPLAY HOME='" + scratch.root + "home' TMPDIR='" + scratch.root +
                       "tmp' '" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' -a) >'" + output +
                       "' 2>&1");
  };
  EXPECT_EQ(run("ulimit -v 40000; "), EXIT_JOB_NOT_STARTED) << read_whole_text(output);
  std::string text = read_whole_text(output);
  EXPECT_NE(text.find("ERROR: unable to load data\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Packing data"), std::string::npos) << text;
  // With memory enough the database loads; the files it names are not in this package.
  EXPECT_EQ(run(""), EXIT_JOB_FAILED) << read_whole_text(output);
  EXPECT_NE(read_whole_text(output).find("Packing data...\n"), std::string::npos) << read_whole_text(output);
}
#endif

#ifndef _WIN32
// An interactive start opens the main window at the database's size: a screen smaller than the smallest
// window the installer accepts is said in one message, in the package's words with both sizes, and the
// run ends as one that could not start (here on the screen without a display, 1920 x 1080).
TEST(InstallerProgram, InteractiveStartReportsAWindowThatCannotOpen) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  INSTALLER_SCRATCH scratch("window");
  std::string output = scratch.root + "output.txt";
  std::string run = "env -u DISPLAY VELK_HEADLESS=1 VELK_UNATTENDED=1 HOME='" + scratch.root + "home' TMPDIR='" +
                    scratch.root + "tmp' '" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' >'" +
                    output + "' 2>&1";
  // The test's own named path means nothing to the program: the destination is given from the root.
  std::string description = scratch.name_destination_from_root();
  // (A start that opens its window shows the wizard, which the wizard's scenarios drive.)
  description += "minimum_size = 30000;30000\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  EXPECT_EQ(run_command(run), EXIT_JOB_NOT_STARTED);
  // The message can only be acknowledged: the default text's closing question is left out.
  EXPECT_EQ(read_whole_text(output), "Screen too small: This screen is smaller than the installer needs.\n\n"
                                     "The screen is 1920 x 1080; the installer's window needs 30000 x 30000.\n");
}
#endif

#ifndef _WIN32
// A built-in font file beside the program that FreeType refuses ends an interactive start at once, with
// the font system's message and the fatal status, before any window: before the main window too, which
// this package's size would not let open.
TEST(InstallerProgram, ADamagedBuiltInFontEndsTheStartBeforeAnyWindow) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("damaged-font");
  std::string installer = scratch.root + "bin/installer";
  std::filesystem::create_directories(scratch.root + "bin/data/fonts");
  std::filesystem::copy_file(binary_dir + "/installer", installer);
  ASSERT_TRUE(write_whole_file(scratch.root + "bin/data/fonts/DejaVuMathTeXGyre.ttf", {'n', 'o', 'n', 'e'}));
  std::string description = scratch.name_destination_from_root() + "minimum_size = 30000;30000\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  EXPECT_EQ(run_command("env -u DISPLAY VELK_HEADLESS=1 VELK_UNATTENDED=1 HOME='" + scratch.root + "home' TMPDIR='" +
                        scratch.root + "tmp' '" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' >'" +
                        output + "' 2>&1"),
            FATAL_EXIT_STATUS);
  std::string text = read_whole_text(output);
  EXPECT_NE(text.find("ERROR: 0022:\nUnable to load font from disk"), std::string::npos) << text;
  EXPECT_EQ(text.find("Unable to open screen mode"), std::string::npos) << text;
}
#endif

#ifndef _WIN32
TEST(InstallerInstall, LongLogLinesAreWrittenWhole) {
  INSTALLER_SCRATCH scratch("install-long");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  // The install location is a named folder more than 1,000 characters deep.
  std::string deep = scratch.root + "deep";
  for (char c : std::string("abcd")) deep += "/" + std::string(250, c);
  std::filesystem::create_directories(deep);
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(deep.c_str()));
  set_named_path("$DEEP", &folder);
  std::strcpy(database->installations[0].default_path, "$DEEP");
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  std::string line = "Installed \"" + deep + "/readme.txt\"";
  ASSERT_GT(line.size(), 1023u);
  std::vector<std::string> log = read_lines(deep + "/install_log.txt");
  ASSERT_GT(log.size(), 12u);
  EXPECT_EQ(log[12], line);
  EXPECT_EQ(read_whole_file(deep + "/readme.txt"), read_whole_file(scratch.source + "files/readme.txt"));
}
#endif

#ifdef _WIN32
// installer.exe itself in automatic mode: the files, the registry values and the shell links.
TEST(InstallerProgram, AutomaticModeOfTheWindowsProgram) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(std::string(binary_dir) + "/installer.exe").string();
  ASSERT_TRUE(std::filesystem::exists(installer));
  INSTALLER_SCRATCH scratch("program-win");
  std::string description = read_whole_text(scratch.source + "description.txt");
  std::filesystem::create_directories(scratch.root + "dest");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root + "dest"));
  description.replace(description.find("Velk Test App"), 13, "Velk Program App");
  description.replace(description.find("Test Guide"), 10, "Program Guide");
  description.replace(description.find("Test App;"), 9, "Program App;");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  const std::string latin = "Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt";  // the program names it in UTF-16
  scratch.add_file(latin, text_bytes(latin));
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  std::string command = "\"\"" + installer + "\" -x \"" + root_text(scratch.package) + "/installer.xml\" -a >\"" +
                        output + "\" 2>&1\"";
  EXPECT_EQ(std::system(command.c_str()), 0) << read_whole_text(output);
  EXPECT_NE(read_whole_text(output).find("Done"), std::string::npos);
  // Output to a file is in the ANSI code page, 1252 under Wine.
  EXPECT_NE(read_whole_text(output).find("% /Gr\xFC\xDF" "e-\xF1.txt"), std::string::npos);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_EQ(std::count(log.begin(), log.end(), "Installed \"" + scratch.installed(latin) + "\""), 1);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH "\\Velk Program App", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char value[512] = "";
  DWORD type = 0, size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "DisplayName", nullptr, &type, (BYTE*)value, &size), ERROR_SUCCESS);
  EXPECT_STREQ(value, "Velk Program App");
  size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "UninstallString", nullptr, &type, (BYTE*)value, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(value), scratch.installed("bin/uninstall.sh"));
  RegCloseKey(key);
  EXPECT_EQ(link_target(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Program App.lnk"), scratch.installed("bin/run.sh"));
  EXPECT_EQ(link_target(special_folder(CSIDL_PROGRAMS) + "\\Velk Test Group\\Program Guide.lnk"),
            scratch.installed("docs/guide.txt"));
}
#endif

#ifdef _WIN32
// The Windows program reads its command line in UTF-16: a package folder named beyond the ANSI code
// page is found.
TEST(InstallerProgram, TheWindowsProgramTakesArgumentsBeyondTheCodePage) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(std::string(binary_dir) + "/installer.exe").string();
  INSTALLER_SCRATCH scratch("program-win-names");
  std::string description = read_whole_text(scratch.source + "description.txt");
  std::filesystem::create_directories(scratch.root + "dest");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root + "dest"));
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  const std::string packages = "\xE5\x8C\x85-\xC3\xA4";  // U+5305, then a Latin-1 letter
  std::filesystem::rename(scratch.package, std::filesystem::u8path(scratch.root + packages));
  std::string output = scratch.root + "output.txt";
  std::string command = "\"\"" + installer + "\" -x \"" + root_text(scratch.root) + "/" + packages +
                        "/installer.xml\" -a >\"" + output + "\" 2>&1\"";
  std::wstring wide(command.size() + 1, L'\0');
  wide.resize((size_t)MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, &wide[0], (int)wide.size()) - 1);
  EXPECT_EQ(_wsystem(wide.c_str()), 0) << read_whole_text(output);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
}
#endif

#ifdef _WIN32
// A disk that fills while a file is written: the copy-error text and the line of "-a" say why, in the
// system's words (a write that takes part of the bytes reports no failure of its own). The disk is a
// small tmpfs mounted for the test, which needs root.
TEST(InstallerProgram, AFullDiskUnderWindowsIsSaidSo) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(std::string(binary_dir) + "/installer.exe").string();
  INSTALLER_SCRATCH scratch("program-win-full");
  // The disk in the scratch folder of the scenario's Unix side, which unmounts it at the end.
  struct UNIX_SIDE : WINDOW_SCENARIO {
    UNIX_SIDE() : WINDOW_SCENARIO("program-win-full-disk") {}
    ~UNIX_SIDE() {
      std::string answer;
      run_shell("unmount", "umount -l \"$(dirname \"$OUT\")/disk\"", &answer);
    }
  } unix_side;
  std::string disk = unix_side.scratch() + "disk", mounted;
  std::filesystem::create_directories(disk);
  if (!unix_side.run_shell("mount", "mount -t tmpfs -o size=128k tmpfs \"$(dirname \"$OUT\")/disk\" && echo mounted",
                           &mounted) ||
      mounted != "mounted\n") {
    if (environment_text("CI") == "true") FAIL() << "mounting a small tmpfs needs root";
    GTEST_SKIP() << "mounting a small tmpfs needs root; skipped";
  }
  scratch.add_file("big.bin", all_byte_values(1024));  // 256 KiB
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(disk) + "/data");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  std::string command = "\"\"" + installer + "\" -x \"" + root_text(scratch.package) + "/installer.xml\" -a >\"" +
                        output + "\" 2>&1\"";
  EXPECT_EQ(std::system(command.c_str()), 1) << read_whole_text(output);
  char full[256];
  restore_file_failure(ERROR_DISK_FULL);
  describe_file_failure(full, sizeof full);
  std::string file = below(disk, "data/big.bin");
  EXPECT_NE(read_whole_text(output).find("% 1 file could not be installed: \"" + file + "\" cannot be written (" +
                                         std::string(full) + ").\n"),
            std::string::npos)
      << read_whole_text(output);
  EXPECT_FALSE(std::filesystem::exists(file));
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
  EXPECT_EQ(open_copy_error_box(database.get(), record_press), nullptr);  // no page manager, no box

  WM_PAGE_MANAGER manager(1, -1);
  database->stage = STAGE_INSTALLING;
  database->ERROR.can_drag = 0;
  database->skin_icons[DATABASE::yes_icon].set_size(4, 3);
  WM_CONFIRM* box = open_copy_error_box(database.get(), record_press);
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

TEST(InstallerInstall, LogLinesAreOnDiskOnceAFileFails) {
  // The log stays open through the installation, its lines gathered in large writes; a file that fails
  // to unpack writes them out with its own line at once: whatever happens after it (here nothing more),
  // the lines so far are in the file, not in a buffer.
  INSTALLER_SCRATCH scratch("install-log-flush");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  std::strcpy(database->installations[0].files[1].packed_name, "missing");
  std::strcpy(database->install_path, database->installations[0].default_path);
  database->stage = STAGE_INSTALLING;
  for (int step = 0; step < 3; step++) database->install_step(nullptr);  // preparation and two files
  ASSERT_NE(database->install_state.log, nullptr);
  const int system = database->use_system_paths;
  std::vector<std::string> files = {"Installed \"" + scratch.installed("bin/data.bin") + "\"",
                                    "\"" + scratch.installed("bin/run.sh") + "\" failed to unpack (missing)"};
  std::vector<std::string> expected =
      expected_log(scratch, "Settings: 0 " + std::to_string(system) + " $SCRATCH/dest", files, {});
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")), expected);
  // Leaving the stage ends the installation there, the log's last line saying it did not complete.
  database->stage = STAGE_OPTIONS;
  database->install_step(nullptr);
  EXPECT_EQ(database->install_state.log, nullptr);
  expected.push_back("Installation interrupted.");
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")), expected);
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
