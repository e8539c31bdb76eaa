// Tests of where the install step's files land: the overwrite rules judge a name as it is when its file
// comes, whatever the folder held when it was listed, and a file whose folder cannot be made is named by
// the path it would have had.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "installer_test_support.h"

namespace {

// The index of the installation's file packed under that name; -1 when there is none.
INT_S32 file_index(DATABASE* database, const std::string& packed_name) {
  INSTALLATION* installation = &database->installations[0];
  for (INT_S16 i = 0; i < installation->file_count; i++)
    if (packed_name == installation->files[i].packed_name) return i;
  return -1;
}

}  // namespace

// Another program (or a person, while a question waits) puts files at the names of later files after
// their folder was listed, and after this installation made their folder: a file of rule 2 ("only when
// absent") is then kept and logged "Skipped", one of rule 1 ("when absent or older") kept when it is
// newer than the package's stamp and replaced when it is older; rule 0 replaces.
TEST(InstallLocations, OverwriteRulesJudgeTheNameWhenItsFileComes) {
  INSTALLER_SCRATCH scratch("locations-late");
  struct LATE {
    const char* folder;
    const char* name;
    INT_U8 overwrite;
    bool put;     // another file is put at the name before this file comes
    bool older;   // and given a time before the stamp
    bool kept;
  };
  const LATE files[] = {{"$HERE/found", "first.txt", 0, false, false, false},
                        {"$HERE/found", "absent.txt", 2, true, false, true},
                        {"$HERE/found", "newer.txt", 1, true, false, true},
                        {"$HERE/found", "older.txt", 1, true, true, false},
                        {"$HERE/found", "always.txt", 0, true, false, false},
                        {"$HERE/made", "first.txt", 0, false, false, false},
                        {"$HERE/made", "late.txt", 2, true, false, true}};
  const size_t count = sizeof files / sizeof files[0];
  for (size_t i = 0; i < count; i++) scratch.add_file("late/" + std::to_string(i), text_bytes("package " + std::to_string(i)));
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  INSTALLATION* installation = &database->installations[0];
  std::vector<INT_S32> index(count);
  for (size_t i = 0; i < count; i++) {
    index[i] = file_index(database.get(), "late/" + std::to_string(i));
    ASSERT_GE(index[i], 0);
    // In the order given: each folder's first file lists it, or makes it.
    if (i > 0) {
      ASSERT_GT(index[i], index[i - 1]);
    }
    INSTALLATION_FILE& file = installation->files[index[i]];
    std::strcpy(file.dest_path_from_inst_loc, files[i].folder);
    std::strcpy(file.dest_name, files[i].name);
    file.overwrite = files[i].overwrite;
  }
  std::filesystem::create_directories(scratch.installed("found"));
  database->time_stamp = (INT_U32)std::time(nullptr) - 3600;
  const std::vector<INT_U8> other = text_bytes("put there by another program\n");

  database->stage = STAGE_INSTALLING;
  const INSTALL_STATE& state = database->install_state;
  for (int steps = 0; steps < 1000 && state.step_counter < state.step_total + 2; steps++) {
    for (size_t i = 0; i < count; i++) {
      if (!files[i].put || state.step_counter == 0 || state.step_counter - 1 != index[i]) continue;
      std::string path = scratch.installed(std::string(files[i].folder + 6) + "/" + files[i].name);
      ASSERT_TRUE(write_whole_file(path, other));
      if (files[i].older)
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(24 * 365));
    }
    database->install_step(nullptr);
  }
  database->stage = STAGE_FINISHED;
  database->install_step(nullptr);

  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  for (size_t i = 0; i < count; i++) {
    SCOPED_TRACE(std::string(files[i].folder) + "/" + files[i].name);
    std::string path = scratch.installed(std::string(files[i].folder + 6) + "/" + files[i].name);
    EXPECT_EQ(read_whole_file(path), files[i].kept ? other : text_bytes("package " + std::to_string(i)));
    std::string line = std::string(files[i].kept ? "Skipped" : "Installed") + " \"" + path + "\"";
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  }
}

// A file whose folder cannot be made is named by the path it would have had, whatever variable its
// folder text begins with: "$APP" and "$BASE" name the destination while it installs, as "$HERE" does.
TEST(InstallLocations, AFileThatCannotBePlacedIsNamedByItsOwnPath) {
  INSTALLER_SCRATCH scratch("locations-unplaced");
  const char* const texts[] = {"$APP/blocker", "$BASE/blocker/deeper", "$HERE/blocker", "$NOSUCHVARIABLE/d"};
  const size_t count = sizeof texts / sizeof texts[0];
  for (size_t i = 0; i < count; i++) scratch.add_file("unplaced/" + std::to_string(i), text_bytes("file " + std::to_string(i)));
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  for (size_t i = 0; i < count; i++) {
    INT_S32 index = file_index(database.get(), "unplaced/" + std::to_string(i));
    ASSERT_GE(index, 0);
    INSTALLATION_FILE& file = database->installations[0].files[index];
    std::strcpy(file.dest_path_from_inst_loc, texts[i]);
    std::strcpy(file.dest_name, ("x" + std::to_string(i) + ".txt").c_str());
  }
  std::filesystem::create_directories(scratch.destination);
  ASSERT_TRUE(write_whole_file(scratch.installed("blocker"), text_bytes("a file, not a folder")));
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  const std::string paths[] = {scratch.installed("blocker/x0.txt"), scratch.installed("blocker/deeper/x1.txt"),
                               scratch.installed("blocker/x2.txt"), "$NOSUCHVARIABLE/d/x3.txt"};
  // Each line names its cause, the system's words where it gave them.
  const std::string blocked = ": cannot be placed: its folder cannot be created (" + file_in_the_way_words() + ")";
  const std::string causes[] = {blocked, blocked, blocked, ": cannot be placed: its folder cannot be created"};
  for (size_t i = 0; i < count; i++) {
    std::string line = "\"" + paths[i] + "\" failed to unpack (unplaced/" + std::to_string(i) + ")" + causes[i];
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  }
  EXPECT_EQ(database->install_state.failure_text,
            "\"$NOSUCHVARIABLE/d/x3.txt\" cannot be placed: its folder cannot be created.");
}
