// Tests of what the install step refuses and what it keeps safe: names that lead out of the destination
// or have two spellings, a package whose folders lead out, a file at the install log's place, two files
// of one installation that would land on one file, a folder reached by two paths, links and pipes at a
// file's place, the package being read, and texts of the data that would add lines to the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "files.h"
#include "installer_test_support.h"
#include "installer_install_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Folder texts of a package made otherwise than by the packer that the installer does not take refuse
// the package as it loads, naming what they are the folder of: a text without a path variable (a
// server's share above all, on either host; a drive's path; a path from the root), one that separates
// folders with '\' where the host does not, and one that leads out of its variable's folder however it
// is spelt ('\' separating folders where the host takes it). Texts that stay inside load.
TEST(InstallerSecurity, FolderTextsTheInstallerDoesNotTakeRefuseThePackageAtLoad) {
  INSTALLER_SCRATCH scratch("install-leading-out");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  INSTALLATION& installation = database->installations[0];
  const bool windows = PATH_SEPARATOR == '\\';
  const std::string here = " leads out of the install location";
  const std::string share = " is a network path, where a folder begins with a path variable";
  const std::string none = " begins with no path variable", backslash = " separates folders with '\\', which this computer does not";
  const std::string file = "the folder of the file \"" + std::string(installation.files[0].packed_name) + "\"";
  const struct {
    char* field;
    std::string what, text, said;  // said empty: it loads
  } cases[] = {
      {database->LOG.dest_path_from_inst_loc, "log's folder", "$here/..", here},
      {database->LOG.system_dest_path_from_inst_loc, "log's folder for the system folders", "$APP/../logs", here},
      {database->PATCH.dest_path_from_inst_loc, "patch_check's folder", "$Base/x/../..", here},
      {installation.uninstaller_path, "the uninstaller's folder", "$HERE/..\\logs", windows ? here : backslash},
      {installation.uninstaller_syspath, "the uninstaller's folder for the system folders", "$userdata/x/../..",
       " leads out of the folder that $USERDATA names"},
      {installation.items[0].program_path_from_inst_loc, "the program folder of the shortcut \"Test App\"",
       "$HERE/a/../b", ""},
      {installation.files[0].dest_path_from_inst_loc, file, "$HERE/./../x", here},
      {installation.default_path, "default_path of the installation \"Test App\"", "\\\\nosuchserver\\share\\x", share},
      {installation.files[0].dest_path_from_inst_loc, file, "\\\\nosuchserver\\share\\x", share},
      {installation.items[0].extra_path_from_inst_loc, "the extra folder of the shortcut \"Test App\"",
       "//nosuchserver/share/x", windows ? share : none},
      {database->PATCH.system_dest_path_from_inst_loc, "patch_check's folder for the system folders", "C:\\logs", none},
      {installation.uninstaller_path, "the uninstaller's folder", "/srv/bin", none},
      {installation.default_path, "default_path of the installation \"Test App\"", "$ROOT0\\w12\\Target",
       windows ? "" : backslash},
  };
  for (const auto& c : cases) {
    std::string kept = c.field;
    std::strcpy(c.field, c.text.c_str());
    ASSERT_TRUE(scratch.store(database.get()));
    std::strcpy(c.field, kept.c_str());
    std::unique_ptr<DATABASE> loaded(new DATABASE());
    loaded->data_folder = database->data_folder;
    EXPECT_EQ(loaded->load_package(PACKAGE_FILE_NAME), c.said.empty()) << c.text;
    EXPECT_EQ(loaded->load_failure, c.said.empty() ? "" : "the package is damaged or was not made by the packer: " +
                                                              c.what + c.said + ": " + c.text);
  }
}

// A folder of the package on a drive that this computer does not have ("$ROOT" and a number past its
// drives) would be taken for another folder: the package loads (it may be for another computer), and
// the first such folder is named, with what it is the folder of and the computer's drives, as "-x"
// names such a drive; the installer's starts refuse the package with it. Its location is no path of
// this computer (never one below the installer's folder).
TEST(InstallerSecurity, AFolderOnADriveTheComputerLacksIsNamed) {
  INSTALLER_SCRATCH scratch("install-missing-drive");
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  EXPECT_EQ(missing_drive_refusal(*database), "");
  INSTALLATION& installation = database->installations[0];
  const std::string missing = "$ROOT" + std::to_string(get_drive_count());
  std::string drives;
  for (INT_S32 i = 0; i < get_drive_count(); i++) {
    const char* root = get_drive_root_text((INT_S16)i);
    drives += std::string(drives.empty() ? "" : ", ") + "\"$ROOT" + std::to_string(i) + "\" " +
              (root[1] == ':' ? std::string(1, root[0]) + ":" : std::string(root));
  }
  const std::string file = "the folder of the file \"" + std::string(installation.files[0].packed_name) + "\"";
  const struct {
    char* field;
    std::string what;
  } cases[] = {
      {installation.default_path, "default_path of the installation \"Test App\""},
      {database->LOG.dest_path_from_inst_loc, "log's folder"},
      {database->PATCH.system_dest_path_from_inst_loc, "patch_check's folder for the system folders"},
      {installation.uninstaller_path, "the uninstaller's folder"},
      {installation.items[0].program_path_from_inst_loc, "the program folder of the shortcut \"Test App\""},
      {installation.items[0].system_extra_path_from_inst_loc, "the extra folder of the shortcut \"Test App\" for the "
                                                              "system folders"},
      {installation.files[0].dest_path_from_inst_loc, file},
      {installation.files[0].system_dest_path_from_inst_loc, file + " for the system folders"},
  };
  for (const auto& c : cases) {
    for (const std::string& drive : {missing, std::string("$root99999")}) {
      const std::string text = drive + "/w13/r5";
      std::string kept = c.field;
      std::strcpy(c.field, text.c_str());
      ASSERT_TRUE(scratch.store(database.get()));
      std::strcpy(c.field, kept.c_str());
      std::unique_ptr<DATABASE> loaded(scratch.load());
      ASSERT_TRUE(loaded) << text;
      EXPECT_EQ(missing_drive_refusal(*loaded), c.what + ": \"" + drive + "\" names a drive this computer does not "
                                                "have (its drives: " + drives + "): " + text + "; nothing was installed");
    }
  }
  EXPECT_EQ(location_path_text((missing + "/w13/r5").c_str(), ""), missing + "/w13/r5");
  EXPECT_EQ(destination_path_text((missing + "/w13").c_str(), scratch.destination, ""), "");
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
  const std::string guide = "\"" + dest + "docs/guide.txt\" failed to unpack (docs/guide.txt): is the package being installed";
  for (const std::string& line : log) guide_failed = guide_failed || line == guide;
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
