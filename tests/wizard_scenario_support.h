// Helpers of the wizard's real-window scenarios: what the program's installation left, or that one
// that did not complete registered nothing; a check box of the options grid; and the folder dialog
// opened in the twin, with where its controls stand.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "check_box.h"
#include "file_select.h"
#include "grid.h"
#include "redraw.h"
#include "registry.h"
#include "text_edit.h"
#include "text_edit_dialog.h"
#include "wizard_test_support.h"

#ifdef _WIN32
#include "shell_link_test_support.h"
// The Windows headers' ERROR macro would hide the database's ERROR placement.
#undef ERROR
#endif

// What the program's installation left: every source file in the destination, the log's completion line,
// the uninstall entry of the tag's name naming the uninstaller, the menu shortcut, and the desktop
// shortcut when it was chosen.
inline void expect_installation(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch,
                                const std::string& destination, const std::string& tag, bool desktop_shortcut) {
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(below(destination, file)), read_whole_file(scratch.source + "files/" + file)) << file;
  std::vector<std::string> log = read_lines(below(destination, "install_log.txt"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  std::string name = "Wizard " + tag + " App", group = "Wizard " + tag + " Group";
#ifdef _WIN32
  // The program wrote to its own Wine server's registry.
  std::string entry = "HKLM\\" UNINSTALL_KEY_PATH "\\" + name;
  EXPECT_EQ(scenario.registry_value(entry, "DisplayName"), name);
  EXPECT_EQ(scenario.registry_value(entry, "UninstallString"), below(destination, "bin/uninstall.sh"));
  std::string desktop_link = special_folder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk";
  if (desktop_shortcut)
    EXPECT_EQ(read_link(desktop_link).path, below(destination, "bin/run.sh"));
  else
    EXPECT_FALSE(std::filesystem::exists(desktop_link));
  EXPECT_EQ(read_link(special_folder(CSIDL_PROGRAMS) + "\\" + group + "\\Test Guide.lnk").path,
            below(destination, "docs/guide.txt"));
#else
  (void)scenario;
  std::string registry = scratch.root + "home/config/velk/registry/SOFTWARE/Microsoft/Windows/CurrentVersion/";
  EXPECT_EQ(read_lines(registry + "Uninstall/" + name + ".cfg"),
            (std::vector<std::string>{"DisplayName", "\t" + name, "UninstallString",
                                      "\t" + below(destination, "bin/uninstall.sh")}));
  EXPECT_EQ(std::filesystem::exists(scratch.root + "home/Desktop/" + name + ".desktop"), desktop_shortcut);
  EXPECT_TRUE(std::filesystem::exists(scratch.root + "home/data/applications/" + group + "/Test Guide.desktop"));
#endif
}

// An installation that did not complete is not registered: no uninstall entry of the tag's name, no
// desktop shortcut, no menu shortcut, and no line of them in the log.
inline void expect_no_registration(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch,
                                   const std::string& tag) {
  std::string name = "Wizard " + tag + " App", group = "Wizard " + tag + " Group";
  std::string log = read_whole_text(scratch.installed("install_log.txt"));
  EXPECT_EQ(log.find("create_"), std::string::npos);
  EXPECT_EQ(log.find("RegKey"), std::string::npos);
#ifdef _WIN32
  EXPECT_EQ(scenario.registry_value("HKLM\\" UNINSTALL_KEY_PATH "\\" + name, "DisplayName"), "");
  EXPECT_FALSE(std::filesystem::exists(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk"));
  EXPECT_FALSE(std::filesystem::exists(special_folder(CSIDL_PROGRAMS) + "\\" + group));
#else
  (void)scenario;
  std::string registry = scratch.root + "home/config/velk/registry/SOFTWARE/Microsoft/Windows/CurrentVersion/";
  EXPECT_FALSE(std::filesystem::exists(registry + "Uninstall/" + name + ".cfg"));
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "home/Desktop/" + name + ".desktop"));
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "home/data/applications/" + group));
#endif
}

// The check box of the options grid that sends the event.
inline WM_SCREEN_OBJECT* option_box(INT_U32 event) {
  for (INT_S16 row = 0; page_grid && row < page_grid->row_count; row++) {
    WM_SCREEN_OBJECT* cell = page_grid->cell(1, row);
    if (cell && (cell->kind & WM_KIND_CHECK_BOX) && cell->event_user1 == event) return cell;
  }
  return nullptr;
}

// The folder dialog opened in the twin from the options page by its "..." button, with where that button,
// the dialog's New Folder and OK buttons and the new-folder dialog's edit box and OK button stand (the
// new-folder dialog is opened and cancelled again); the folder dialog stays open.
inline WM_FILE_SELECT* twin_folder_dialog(INSTALL_DIALOG* page, SPOT* browse, SPOT* new_folder, SPOT* chosen,
                                          SPOT* name, SPOT* made) {
  *browse = spot_of(browse_button, page);
  click_on(browse_button);
  settle_effects();
  WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
  if (!selector) return nullptr;
  *new_folder = spot_of(selector->new_folder_button);
  *chosen = spot_of(selector->ok_button);
  click_on(selector->new_folder_button);
  settle_effects();
  WM_TEXT_EDIT_DIALOG* naming = static_cast<WM_TEXT_EDIT_DIALOG*>(find_top_level(WM_KIND_TEXT_EDIT_DIALOG));
  if (!naming) return nullptr;
  EXPECT_EQ(focus_object, naming->edit);
  *name = spot_of(naming->edit);
  *made = spot_of(naming->ok_button);
  click_on(naming->cancel_button);
  settle_effects();
  return selector;
}
