// Tests of the earlier install log as an update reads it: the application and installation it names
// (both or neither), and damaged heads read within their bound.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "installer_test_support.h"

namespace {

// The scratch package made an update over the installation at its destination (which is made, empty), and
// loaded without the system folders, as the logs of these tests name none.
std::unique_ptr<DATABASE> load_update(INSTALLER_SCRATCH& scratch) {
  if (!scratch.build()) return nullptr;
  std::unique_ptr<DATABASE> database(scratch.load());
  std::filesystem::create_directories(scratch.destination);
  if (database) database->use_system_paths = 0;
  return database;
}

}  // namespace

// A log that names only one of its application and installation, or an empty one, is another
// installation's or damaged, never an earlier version's: automatic mode installs nothing, ends with 1
// and names what the log says, as it does for the lines of another product.
TEST(EarlierLog, AnUpdateGoesOnlyOverALogThatNamesBothOrNeither) {
  INSTALLER_SCRATCH scratch("earlier-identity", "patch_check = $HERE\n");
  std::unique_ptr<DATABASE> database = load_update(scratch);
  ASSERT_TRUE(database);
  const std::string log_path = scratch.installed("install_log.txt");
  const std::string head = "Installed Files\n---------------\n\nLanguage: English\nSettings: 0 0 $SCRATCH/dest\n";
  const std::string tail = "\nInstalled \"" + scratch.installed("readme.txt") + "\"\n";
  const std::string the_log = "the install log \"" + log_path + "\" ";
  const std::string this_update = " (this update is for \"Test App\" of \"velk-test-app\")";
  const std::string other_or_damaged = the_log + "is another installation's or damaged: it names ";
  struct IDENTITY {
    std::string lines;
    std::string mismatch;  // empty: the log matches
  };
  const IDENTITY cases[] = {
      {"Application: velk-test-app\nInstallation: Test App\n", ""},
      {"", ""},  // an earlier version's log
      {"Application: velk-test-app\n", other_or_damaged + "the application \"velk-test-app\" and no installation" + this_update},
      {"Installation: Test App\n", other_or_damaged + "no application and the installation \"Test App\"" + this_update},
      {"Application: \nInstallation: Test App\n",
       other_or_damaged + "an empty application name and the installation \"Test App\"" + this_update},
      {"Application: anderes-programm\nInstallation: Komplett\n",
       the_log + "is of another installation: \"Komplett\" of the application \"anderes-programm\"" + this_update}};
  for (const IDENTITY& example : cases) {
    SCOPED_TRACE(example.lines);
    ASSERT_TRUE(write_whole_file(log_path, text_bytes(head + example.lines + tail)));
    database->use_system_paths = 0;  // as automatic mode leaves it
    EARLIER_LOG earlier;
    EXPECT_EQ(database->update_target_found(&earlier), example.mismatch.empty());
    EXPECT_EQ(earlier.mismatch, example.mismatch);
    EXPECT_EQ(earlier.verdict, example.mismatch.empty() ? EARLIER_LOG_MATCHES : EARLIER_LOG_OTHER_INSTALLATION);
    if (example.mismatch.empty()) continue;
#ifndef _WIN32
    ::testing::internal::CaptureStdout();
#endif
    EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
#ifndef _WIN32
    EXPECT_EQ(captured_stdout(), "ERROR: this package is an update: it installs only over an earlier installation in \"" +
                                     scratch.destination + "\", and " + example.mismatch + "; nothing was installed\n");
#endif
    EXPECT_FALSE(std::filesystem::exists(scratch.installed("readme.txt")));
    EXPECT_EQ(read_whole_text(log_path), head + example.lines + tail);
  }
}

// Line ends that the reading drops (the other one of CR and LF than the file's first) count against the
// head's bound like every other byte: a damaged log with a run of them is named damaged once the head
// has taken its bytes, before or after its settings, and is not read to its end.
TEST(EarlierLog, ARunOfLineEndsIsReadNoFurtherThanTheHeadsBound) {
  INSTALLER_SCRATCH scratch("earlier-line-ends", "patch_check = $HERE\n");
  std::unique_ptr<DATABASE> database = load_update(scratch);
  ASSERT_TRUE(database);
  const std::string log_path = scratch.installed("install_log.txt");
  const std::string settings = "Settings: 0 0 $SCRATCH/dest";
  const std::string crs(1 << 20, '\r'), lfs(1 << 20, '\n');
  for (const std::string& text : {settings + "\n" + crs, "Installed Files\r" + settings + "\r" + lfs,
                                  "Installed Files\n" + crs + settings + "\n"}) {
    ASSERT_TRUE(write_whole_file(log_path, text_bytes(text)));
    EARLIER_LOG earlier;
    EXPECT_FALSE(database->read_install_log(&earlier));
    EXPECT_EQ(earlier.verdict, EARLIER_LOG_DAMAGED);
    EXPECT_EQ(earlier.mismatch,
              "its install log \"" + log_path + "\" is damaged: its first lines take more than 294912 bytes");
  }
  // The same head with its line ends in one run of its own kind is a log of an earlier version.
  ASSERT_TRUE(write_whole_file(log_path, text_bytes(settings + "\n" + lfs)));
  EXPECT_TRUE(database->read_install_log());
}

// A file of an update at the name under which it kept the earlier log is refused: it would take the
// earlier log's place.
TEST(EarlierLog, AFileAtTheNameOfTheKeptLogIsRefused) {
  INSTALLER_SCRATCH scratch("earlier-kept-name", "patch_check = $HERE\nlog = $HERE/patch\n");
  scratch.add_file("patch/install_log-1.txt", text_bytes("a file of the update\n"));
  std::unique_ptr<DATABASE> database = load_update(scratch);
  ASSERT_TRUE(database);
  std::filesystem::create_directories(scratch.installed("patch"));
  const std::string kept = scratch.installed("patch/install_log-1.txt");
  ASSERT_TRUE(write_whole_file(scratch.installed("install_log.txt"),
                               text_bytes("Settings: 0 0 $SCRATCH/dest\nApplication: velk-test-app\nInstallation: Test App\n")) &&
              write_whole_file(scratch.installed("patch/install_log.txt"), text_bytes("the earlier update's log\n")));
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  EXPECT_EQ(read_whole_text(kept), "the earlier update's log\n");
  EXPECT_NE(read_whole_text(scratch.installed("patch/install_log.txt"))
                .find("\"" + kept + "\" not installed: it is an earlier install log (patch/install_log-1.txt)"),
            std::string::npos);
}

namespace {
std::string other_product_log;  // what the seam writes, and where
std::string other_product_log_path;
void other_product_installs_meanwhile(DATABASE*, bool held) {
  if (!held) write_whole_file(other_product_log_path, text_bytes(other_product_log));
}
}  // namespace

// The update's check is made again once it holds the install folder: another product installed there
// after the first check and before the hold is found then, and the run is refused as the check refuses
// it, installing nothing over the other product.
TEST(EarlierLog, AnUpdateChecksTheEarlierLogAgainOnceItHoldsTheFolder) {
  INSTALLER_SCRATCH scratch("earlier-under-hold", "patch_check = $HERE\n");
  std::unique_ptr<DATABASE> database = load_update(scratch);
  ASSERT_TRUE(database);
  other_product_log_path = scratch.installed("install_log.txt");
  const std::string head = "Installed Files\n---------------\n\nLanguage: English\nSettings: 0 0 $SCRATCH/dest\n";
  ASSERT_TRUE(write_whole_file(other_product_log_path,
                               text_bytes(head + "Application: velk-test-app\nInstallation: Test App\n\n")));
  other_product_log = head + "Application: anderes-programm\nInstallation: Komplett\n\nInstalled \"" +
                      scratch.installed("readme.txt") + "\"\n";
  ASSERT_TRUE(write_whole_file(scratch.installed("readme.txt"), text_bytes("the other product's\n")));
  set_hold_seam(other_product_installs_meanwhile);
#ifndef _WIN32
  ::testing::internal::CaptureStdout();
#endif
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  set_hold_seam(nullptr);
#ifndef _WIN32
  // After the preparation's progress line, the refusal.
  const std::string said = captured_stdout(), refusal =
            "ERROR: this package is an update: it installs only over an earlier installation in \"" + scratch.destination +
                "\", and the install log \"" + other_product_log_path +
                "\" is of another installation: \"Komplett\" of the application \"anderes-programm\" (this update is "
                "for \"Test App\" of \"velk-test-app\"); nothing was installed\n";
  ASSERT_GE(said.size(), refusal.size());
  EXPECT_EQ(said.substr(said.rfind('\n', said.size() - 2) + 1), refusal) << said;
#endif
  EXPECT_EQ(read_whole_text(scratch.installed("readme.txt")), "the other product's\n");
  EXPECT_EQ(read_whole_text(other_product_log_path), other_product_log);
  EXPECT_FALSE(std::filesystem::exists(scratch.installed(FOLDER_HOLD_NAME)));
}
