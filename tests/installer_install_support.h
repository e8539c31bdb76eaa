// Helpers of the install step's tests: the scratch package loaded (again after a change stored by
// hand), the extra files of the installation placed, the install log a run is expected to write, and
// the target of a shell link.
#pragma once
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "database.h"
#include "installer_test_support.h"

#ifdef _WIN32
#include "shell_link_test_support.h"
// The Windows headers' ERROR macro would hide the database's ERROR placement.
#undef ERROR
#endif

// The scratch package built and loaded; null when either fails.
inline std::unique_ptr<DATABASE> load_or_fail(INSTALLER_SCRATCH& scratch) {
  if (!scratch.build()) return nullptr;
  return std::unique_ptr<DATABASE>(scratch.load());
}

// Stores the changed database as the package's "database.bin", as the packer never would (names it
// refuses), and loads the package again.
inline std::unique_ptr<DATABASE> store_and_load(INSTALLER_SCRATCH& scratch, DATABASE* database) {
  if (!scratch.store(database)) return nullptr;
  return std::unique_ptr<DATABASE>(scratch.load());
}

// Runs the install step as the wizard does, from the preparation, until stop_after steps (-1: the end).
inline void run_steps(DATABASE* database, int stop_after = -1) {
  database->stage = STAGE_INSTALLING;
  std::strcpy(database->install_path, database->installations[0].default_path);
  for (int step = 0; step != stop_after; step++) {
    INT_S32 before = database->install_state.step_counter;
    database->install_step(nullptr);
    if (step > 0 && database->install_state.step_counter == before) break;
  }
}

// Gives the files "more/<i>" of the installation the destination folder text and name of places[i].
inline void place_more_files(DATABASE* database, const std::vector<std::pair<std::string, std::string>>& places) {
  INSTALLATION* installation = &database->installations[0];
  for (INT_S16 i = 0; i < installation->file_count; i++) {
    INSTALLATION_FILE& file = installation->files[i];
    if (std::strncmp(file.packed_name, "more/", 5) != 0) continue;
    const auto& place = places[std::stoul(file.packed_name + 5)];
    std::strcpy(file.dest_path_from_inst_loc, place.first.c_str());
    std::strcpy(file.dest_name, place.second.c_str());
  }
}

// Gives every file of the installation a destination of its own under a system folder, used with the
// system folders chosen: the variable followed by the file's folder below the install location ("$HERE/bin"
// becomes "$APPDATA/bin", "$HERE" the variable alone). The shortcuts and the uninstall entry go, as their
// programs would lie elsewhere.
inline void put_files_under_system_folder(DATABASE* database, const std::string& variable) {
  INSTALLATION* installation = &database->installations[0];
  for (INT_S16 i = 0; i < installation->file_count; i++) {
    INSTALLATION_FILE& file = installation->files[i];
    std::string text = variable + (file.dest_path_from_inst_loc + 5);
    std::strcpy(file.system_dest_path_from_inst_loc, text.c_str());
  }
  installation->item_count = 0;
  installation->uninstaller_name[0] = 0;
}

// The lines of the fixture's install log: its head with the settings line given (and the version of the
// scratch's package), then the files' lines and the tail.
inline std::vector<std::string> expected_log(INSTALLER_SCRATCH& scratch, const std::string& settings,
                                             const std::vector<std::string>& file_lines,
                                             const std::vector<std::string>& tail) {
  std::vector<std::string> lines = {"Installed Files", "---------------", "", "Language: English", settings,
                                    "Application: velk-test-app", "Installation: Test App",
                                    "Version: " + scratch.version(), ""};
  lines.insert(lines.end(), file_lines.begin(), file_lines.end());
  lines.insert(lines.end(), tail.begin(), tail.end());
  return lines;
}

#ifdef _WIN32
// The file that a shell link starts or opens.
inline std::string link_target(const std::string& file) { return read_link(file).path; }
#endif
