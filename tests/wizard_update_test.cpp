// Tests of the wizard's options page for an update, driven through the page manager's real update: the
// chosen folder deciding with the patch check whether Install opens, an installation made with the
// system folders, the choice of system folders the earlier installation was made with, and what the
// page says it found where it keeps Install shut, and why.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "check_box.h"
#include "file_select.h"
#include "grid.h"
#include "host.h"
#include "redraw.h"
#include "wizard_test_support.h"
#include "wm_test_support.h"

TEST(WizardEvents, WithThePatchCheckTheChosenFolderDecidesWhetherInstallOpens) {
  WIZARD_RUN run("wizard-folder-patch");
  ASSERT_TRUE(run.start());
  // An earlier installation's log in one folder, none in the other. The scratch folder lies below the
  // test program's folder, so the dialog gives the destination as "$APP/...", which must still match.
  std::filesystem::create_directories(run.scratch.root + "earlier");
  std::filesystem::create_directories(run.scratch.root + "empty");
  ASSERT_TRUE(write_whole_file(run.scratch.root + "earlier/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/earlier\n")));
  database->PATCH.do_check = 1;
  database->use_system_paths = 0;
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  EXPECT_EQ(page->forward_button->enabled, 0);
  const char* folders[2] = {"$SCRATCH/earlier", "$SCRATCH/empty"};
  for (int i = 0; i < 2; i++) {
    SCOPED_TRACE(folders[i]);
    click_on(browse_button);
    WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
    ASSERT_TRUE(selector);
    ASSERT_TRUE(selector->folder.set(folders[i]));
    let_effects_end();
    click_on(selector->ok_button);
    let_effects_end();
    EXPECT_EQ(live_page()->forward_button->enabled, i == 0 ? 1 : 0);
  }
}

// An update over an installation made with the default choices (the system folders, logged as 1): its
// Install opens while the system folders stay chosen, and shuts when they are not.
TEST(WizardEvents, AnUpdateOpensInstallOverAnInstallationMadeWithTheSystemFolders) {
  WIZARD_RUN run("wizard-update-system");
  ASSERT_TRUE(run.start());
  std::filesystem::create_directories(run.scratch.root + "dest");
  ASSERT_TRUE(write_whole_file(run.scratch.root + "dest/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 1 $SCRATCH/dest\n")));
  std::strcpy(database->PATCH.dest_path_from_inst_loc, "$HERE");
  database->PATCH.do_check = 1;
  database->system_info().has_system_paths = 1;
  database->use_system_paths = 1;
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  EXPECT_EQ(page->forward_button->enabled, 1);
  WM_CHECK_BOX* system = static_cast<WM_CHECK_BOX*>(page_grid->cell(1, 2));
  ASSERT_TRUE(system && (system->kind & WM_KIND_CHECK_BOX));
  click_on(system->box);
  EXPECT_EQ(live_page()->forward_button->enabled, 0);
  click_on(system->box);
  EXPECT_EQ(live_page()->forward_button->enabled, 1);
}

// An update's options page offers the choice of system folders that the earlier installation was made
// with, when the page opens and when a folder is chosen: Install opens over the installation it updates.
TEST(WizardEvents, AnUpdateOffersTheChoiceTheEarlierInstallationWasMadeWith) {
  WIZARD_RUN run("wizard-update-choice");
  ASSERT_TRUE(run.start());
  std::filesystem::create_directories(run.scratch.root + "dest");
  std::filesystem::create_directories(run.scratch.root + "system");
  ASSERT_TRUE(write_whole_file(run.scratch.root + "dest/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/dest\n")));
  ASSERT_TRUE(write_whole_file(run.scratch.root + "system/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 1 $SCRATCH/system\n")));
  std::strcpy(database->PATCH.dest_path_from_inst_loc, "$HERE");
  database->PATCH.do_check = 1;
  database->system_info().has_system_paths = 1;
  database->use_system_paths = 1;
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  WM_CHECK_BOX* system = static_cast<WM_CHECK_BOX*>(page_grid->cell(1, 2));
  ASSERT_TRUE(system && (system->kind & WM_KIND_CHECK_BOX));
  EXPECT_EQ(system->state, 0);
  EXPECT_EQ(database->use_system_paths, 0);
  EXPECT_EQ(location_button->enabled, 1);
  EXPECT_EQ(page->forward_button->enabled, 1);

  // The installation in the other folder was made with the system folders.
  click_on(browse_button);
  WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
  ASSERT_TRUE(selector);
  ASSERT_TRUE(selector->folder.set("$SCRATCH/system"));
  let_effects_end();
  click_on(selector->ok_button);
  let_effects_end();
  EXPECT_EQ(system->state, 1);
  EXPECT_EQ(database->use_system_paths, 1);
  EXPECT_EQ(location_button->enabled, 0);
  EXPECT_EQ(label_of(location_button), expand_path_text("$SCRATCH/system", nullptr));
  EXPECT_EQ(live_page()->forward_button->enabled, 1);
}

namespace {
// Three folders below root: "dest" with another product's install log, "ours" with the log of the
// scratch package's installation, "empty" with none.
bool make_found_folders(const std::string& root) {
  for (const char* folder : {"dest", "ours", "empty"}) std::filesystem::create_directories(root + folder);
  return write_whole_file(root + "dest/install_log.txt",
                          text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/dest\nApplication: anderes-programm\n"
                                     "Installation: Komplett\n")) &&
         write_whole_file(root + "ours/install_log.txt",
                          text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/ours\nApplication: velk-test-app\n"
                                     "Installation: Test App\n"));
}

// The folder (a path-variable text) chosen in the options page's folder dialog.
void choose_folder(const char* folder) {
  click_on(browse_button);
  WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
  ASSERT_TRUE(selector);
  ASSERT_TRUE(selector->folder.set(folder));
  let_effects_end();
  click_on(selector->ok_button);
  let_effects_end();
}
}  // namespace

// An update's options page says what it found where it keeps Install shut, after the package's message
// of the update (in the package's language) and as automatic mode names it, in lines it shows whole;
// Install's hint says why it is shut. Both follow the folder chosen and the choice of the system folders,
// the rows as the page makes them for what it shows.
TEST(WizardEvents, AnUpdateSaysWhatItFoundAndWhyInstallIsShut) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  INSTALLER_SCRATCH scratch("wizard-update-found",
                            wizard_description_lines() + "patch_check = $HERE\n"
                            "text = PATCH_MSG;Dieses Update installiert nur \xC3\xBC" "ber die fr\xC3\xBChere Installation "
                            "derselben Anwendung: w\xC3\xA4hlen Sie den Ordner, in den sie installiert wurde.\n");
  ASSERT_TRUE(scratch.build());
  const std::string root = scratch.root;
  ASSERT_TRUE(make_found_folders(root));
  WIZARD_TWIN twin;
  ASSERT_TRUE(twin.start(scratch.package));
  database->system_info().has_system_paths = 1;
  database->use_system_paths = 0;
  auto show_options = [&] {
    database->stage = STAGE_OPTIONS;
    twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
    run_pass();
  };
  show_options();
  const std::string message = wizard_text(&LANGUAGE::PATCH_MSG);
  auto expect_page = [&](bool open, const std::string& found, const std::string& hint) {
    EXPECT_EQ(live_page()->forward_button->enabled, open ? 1 : 0);
    EXPECT_EQ(text_of(live_page()->forward_button->hint), hint);
    ASSERT_TRUE(update_message);
    EXPECT_EQ(text_of(update_message), found.empty() ? message : message + "\n" + found);
    EXPECT_TRUE(shows_whole(update_message));
  };
  const std::string found_here = "The install log \"";
  expect_page(false,
              found_here + below(root + "dest", "install_log.txt") +
                  "\" is of another installation: \"Komplett\" of the application \"anderes-programm\" (this update "
                  "is for \"Test App\" of \"velk-test-app\").",
              "The installation in this folder is not the one this update is for");
  INT_S32 shut_height = update_message->height;

  choose_folder("$SCRATCH/empty");
  expect_page(false, "", "No earlier installation to update was found in this folder");
  choose_folder("$SCRATCH/ours");
  expect_page(true, "", wizard_text(&LANGUAGE::INSTALL_HINT));
  EXPECT_LT(update_message->height, shut_height);
  // Over its own installation, with the other choice of the system folders.
  WM_SCREEN_OBJECT* system = page_grid->cell(1, 2);
  ASSERT_TRUE(system && (system->kind & WM_KIND_CHECK_BOX));
  click_on(static_cast<WM_CHECK_BOX*>(system)->box);
  expect_page(false,
              found_here + below(root + "ours", "install_log.txt") +
                  "\" names another choice of the system folders (Settings: 0 0 $SCRATCH/ours).",
              "The installation in this folder was made with another choice of the system folders");
  click_on(static_cast<WM_CHECK_BOX*>(system)->box);
  // The rows are those the page makes for that folder.
  std::vector<INT_S16> heights;
  for (INT_S16 r = 0; r < page_grid->row_count; r++) heights.push_back(page_grid->rows[r]->height);
  INT_S16 spacing = page_grid->style.y_spacing;
  show_options();
  expect_page(true, "", wizard_text(&LANGUAGE::INSTALL_HINT));
  for (INT_S16 r = 0; r < page_grid->row_count; r++) EXPECT_EQ(page_grid->rows[r]->height, heights[r]) << r;
  EXPECT_EQ(page_grid->style.y_spacing, spacing);
  // An update made from a version goes over no other: a log of another version keeps Install shut, one
  // that names none is judged as before.
  std::strcpy(database->updated_version, "0123456789abcdef0123456789abcdef");
  show_options();
  expect_page(true, "", wizard_text(&LANGUAGE::INSTALL_HINT));
  ASSERT_TRUE(write_whole_file(root + "ours/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/ours\nApplication: velk-test-app\n"
                                          "Installation: Test App\nVersion: fedcba9876543210fedcba9876543210\n")));
  show_options();
  expect_page(false,
              found_here + below(root + "ours", "install_log.txt") +
                  "\" is of another version: \"fedcba9876543210fedcba9876543210\" (this update is for the version "
                  "\"0123456789abcdef0123456789abcdef\").",
              "The installation in this folder is of another version than the one this update is for");
  remove_named_path("$FONTDATA");
}

// A whole package's options page names another product's or installation's install log where its own
// log goes, after the question of the location, and says that it is kept; Install stays open. The
// note follows the folder chosen: none where no log is, nor over a log of this installation.
TEST(WizardEvents, AWholePackageNamesAnotherInstallationsLogWhereItsLogGoes) {
  WIZARD_RUN run("wizard-whole-found");
  ASSERT_TRUE(run.start());
  const std::string root = run.scratch.root;
  ASSERT_TRUE(make_found_folders(root));
  std::strcpy(database->install_path, "$SCRATCH/dest");
  database->use_system_paths = 0;
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  const std::string question = wizard_text(&LANGUAGE::SELECT_OPTIONS_LOCATION_QUESTION);
  ASSERT_TRUE(location_question);
  EXPECT_EQ(text_of(location_question),
            question + "\nThe install log \"" + below(root + "dest", "install_log.txt") +
                "\" is of another installation: \"Komplett\" of the application \"anderes-programm\" (this package "
                "installs \"Test App\" of \"velk-test-app\"). It is kept, and this installation's log goes beside it.");
  EXPECT_EQ(page->forward_button->enabled, 1);
  for (const char* folder : {"$SCRATCH/empty", "$SCRATCH/ours"}) {
    SCOPED_TRACE(folder);
    choose_folder(folder);
    EXPECT_EQ(text_of(location_question), question);
    EXPECT_EQ(live_page()->forward_button->enabled, 1);
  }
}
