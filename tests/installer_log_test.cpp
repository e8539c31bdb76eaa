// Tests of the install log: damaged runs of its texts printed by the one rule, the location, application
// and installation it names read back by an update, an earlier log that is no log named as what it is,
// long lines written whole, and the lines on disk once a file fails.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "folder.h"
#include "installer_test_support.h"
#include "installer_install_support.h"
#include "install_step.h"
#include "registry.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

// A log line reads damaged runs by the one rule of every reader of the text, each broken step a '?'.
TEST(InstallerLog, DamagedRunsArePrintableByTheRulesOfEveryReader) {
  EXPECT_EQ(printable_text("\x01,12\x01" "AB"), "?AB");
  EXPECT_EQ(printable_text("a\x01\x01" "b\x01,\x01"), "ab");
  EXPECT_EQ(printable_text("\x01,z0041,\x01,x"), "?Ax");
  EXPECT_EQ(printable_text("\x01,0100\x01\x01,0101\x01"), "\x01,0100,0101\x01");
  EXPECT_EQ(printable_text("x\x01,20A"), "x?");
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
  ASSERT_GT(log.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 4, log.begin() + 9),
            (std::vector<std::string>{"Settings: 0 1 $SCRATCH/dest", "Application: velk-test-app",
                                      "Installation: Gr\xC3\xBC\xC3\x9F" "e App",
                                      "Version: " + scratch.version(), ""}));
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
  ASSERT_GT(log.size(), 13u);
  EXPECT_EQ(log[13], line);
  EXPECT_EQ(read_whole_file(deep + "/readme.txt"), read_whole_file(scratch.source + "files/readme.txt"));
}
#endif

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
                                    "\"" + scratch.installed("bin/run.sh") +
                                        "\" failed to unpack (missing): is missing from the package"};
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

// A temporary name that this run gave out and found taken when it made its file is an ended run's, which
// the removal of leftovers takes: as the install log's tries at names find it, and on Linux the
// uninstall entry's (which fails at a taken name and is written again).
TEST(InstallerLog, TemporaryNamesFoundTakenAreAnEndedRunsLeftovers) {
  INSTALLER_SCRATCH scratch("log-taken-names");
  // Plants a file that a killed run of this process's number left at the name this run gives out next.
  auto plant_next_name = [](FOLDER& folder) {
    char given[TEMPORARY_NAME_SIZE];
    next_temporary_name(given);
    unsigned process = 0, count = 0;
    EXPECT_EQ(std::sscanf(given, "~velk%08X-%08X.tmp", &process, &count), 2);
    std::snprintf(given, sizeof given, "~velk%08X-%08X.tmp", process, count + 1);
    EXPECT_TRUE(write_whole_file(std::string(folder.path) + PATH_SEPARATOR + given, {'d'}));
    return std::string(given);
  };
  INSTALL_STATE state;
  state.log_folder = scratch_folder("log-taken-names-log");
  std::string taken = plant_next_name(state.log_folder);
  write_log(&state, "Installed Files\n", true);
  EXPECT_NE(state.log, nullptr);
  finish_log(&state);
  EXPECT_EQ(remove_stale_temporaries(&state.log_folder), 1);
  EXPECT_FALSE(file_exists(&state.log_folder, taken.c_str()));
#ifndef _WIN32
  const char* name = "Velk Taken Names";
  ASSERT_TRUE(write_uninstall_entry(name, name, "first-uninstall"));
  FOLDER entries;
  ASSERT_TRUE(entries.set_if_folder(
      (scratch.root + "home/config/velk/registry/SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall").c_str()));
  taken = plant_next_name(entries);
  EXPECT_FALSE(write_uninstall_entry(name, name, "second-uninstall"));
  EXPECT_EQ(remove_stale_temporaries(&entries), 1);
  EXPECT_FALSE(file_exists(&entries, taken.c_str()));
  EXPECT_TRUE(write_uninstall_entry(name, name, "second-uninstall"));
#endif
}
