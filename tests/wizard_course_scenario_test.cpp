// Real-window scenarios of the wizard's course to an installation: the installer program (its scenario
// build, which also writes its pass count) on a private display, driven by real clicks (natively, and
// as an .exe under Wine), with a package of the fixture builder: one installation from the options to
// Finish, the packer's single-file installer, a second language and installation into a new folder, a
// folder chosen below a long path, Disagree, and the patch check. The installed files, the log, the
// uninstall entry, the shortcuts and the exit status are checked afterwards. Where to click comes from
// the same wizard built in this process (its twin), which also shows what the window must show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "about.h"
#include "check_box.h"
#include "file_select.h"
#include "grid.h"
#include "redraw.h"
#include "registry.h"
#include "text_draw.h"
#include "wizard_test_support.h"
#include "wizard_scenario_support.h"

namespace {

// The cell of a grid whose label is the text.
WM_SCREEN_OBJECT* cell_labelled(WM_GRID* grid, INT_S16 column, const std::string& text) {
  for (INT_S16 row = 0; grid && row < grid->row_count; row++) {
    WM_SCREEN_OBJECT* cell = grid->cell(column, row);
    if (cell && (cell->kind & WM_KIND_BUTTON) && label_of(static_cast<WM_BUTTON*>(cell)) == text) return cell;
  }
  return nullptr;
}

}  // namespace

// Scenario A: one language, one installation, no licence or readme. The options come first; Install,
// the progress to its end, Finish; the program ends with 0 and everything is in place.
TEST(WizardScenario, OneInstallationFromTheOptionsToFinish) {
  INSTALLER_SCRATCH scratch("wizard-a", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "A", {NO_LICENCE}));

  SPOT install, finish;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    ASSERT_EQ(label_of(page->forward_button), "Install");
    install = spot_of(page->forward_button, page);
    page = twin_page(twin, STAGE_INSTALLING);
    ASSERT_EQ(label_of(page->forward_button), "Finish");
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-a-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE options;
  ASSERT_TRUE(scenario.capture(&options, scenario.scratch() + "options.png"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE finished;
  ASSERT_TRUE(scenario.capture(&finished, scenario.scratch() + "finished.png"));
  EXPECT_NE(options.pixels, finished.pixels);
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_EQ(scenario.output(), "");

  expect_installation(scenario, scratch, scratch.destination, "A", true);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_EQ(log.size(), 18u);
  EXPECT_EQ(log[4], "Settings: 0 1 " + program_path_text(scratch.root) + "/dest");
  EXPECT_EQ(log[9], "Installed \"" + scratch.installed("bin/data.bin") + "\"");
  EXPECT_EQ(log[16], "RegKey \"Wizard A App\"");
}

// The packer's single-file installer (the installer program with its package attached, nothing beside
// it) starts without options, and its wizard installs: Install on the options page, Finish at the end.
// Without window keys in the description the window has the packer's default size, 640 x 480.
TEST(WizardScenario, TheSingleFileInstallerOfThePackerInstallsThroughItsWizard) {
  INSTALLER_SCRATCH scratch("wizard-single", wizard_text_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "S", {NO_LICENCE}));
  // Under the program's own file name, which names its settings folders natively.
  std::string program = WINDOW_SCENARIO::built_program("installer"), error;
  std::string setup = scratch.root + "single" + PATH_SEPARATOR + std::filesystem::path(program).filename().string();
  std::filesystem::create_directories(scratch.root + "single");
  ASSERT_TRUE(package_builder::build_installer(scratch.source + "description.txt", program, setup, &error)) << error;

  SPOT install, finish;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    install = spot_of(page->forward_button, page);
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-single-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(setup, {}, program_environment(scratch.root)));
  ASSERT_TRUE(scenario.wait_for_window("Test Installer", 640, 480));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  expect_installation(scenario, scratch, scratch.destination, "S", true);
}

// Scenario B: two languages each with a licence and a readme, two installations. The second language
// changes the window's title and shows its own licence; the second installation resets the destination;
// the desktop shortcut is left out; the folder dialog browses into a folder and makes a new one there,
// where the files then land; the readme's About box opens and Escape closes it; Finish ends the program.
// Spaces typed on the licence page, where nothing takes text, never reach the new folder's name, which
// is typed into the name field that has the focus as its dialog opens. Tab in the folder dialog shows
// there, and there alone, which control has the focus.
TEST(WizardScenario, SecondLanguageSecondInstallationIntoANewFolder) {
  INSTALLER_SCRATCH scratch("wizard-b", wizard_description_lines());
  write_whole_file(scratch.source + "readme.txt", text_bytes("Read me.\n"));
  write_whole_file(scratch.source + "licence-2.txt", text_bytes("Second licence, line one.\nLine two.\n"));
  write_whole_file(scratch.source + "readme-2.txt", text_bytes("Second readme.\n"));
  std::string place = scratch.root + "place";
  std::filesystem::create_directories(below(place, "target"));
  std::string second =
      "installation = Second App\n"
      "default_path = " + program_path_text(place) + "\n"
      "uninstaller = Wizard B App;uninstall.sh;$HERE/bin\n"
      "desktop_shortcut = 1;run.sh;Wizard B App;$HERE/bin\n"
      "menu_shortcut = 3;guide.txt;Test Guide;Wizard B Group;$HERE/docs\n"
      "language = Second;licence-2.txt;readme-2.txt\n" +
      wizard_text_lines() +
      "text = INSTALLER_TITLE;Second Installer\n"
      "text = AGREE;Agreed\n"
      "text = FORWARD;Onward\n";
  ASSERT_TRUE(
      build_scenario_package(scratch, "B", {{"English;licence.txt;", "English;licence.txt;readme.txt"}}, second));

  // Every step in the twin first: where to click, and the licence the window must show.
  SPOT language, agree, installation, onward, system_paths, desktop, browse, install, target, new_folder, made,
      chosen, readme, about, finish;
  AREA licence, about_box, folder_dialog;
  WINDOW_CAPTURE licence_shown, about_expected;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LANGUAGE);
    ASSERT_TRUE(page_grid && page_grid->cell(0, 1));
    language = spot_of(page_grid->cell(0, 1), live_page());
    click_on(page_grid->cell(0, 1));
    INSTALL_DIALOG* page = live_page();
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    ASSERT_TRUE(text_window_of(page));
    licence = area_of(text_window_of(page));
    licence_shown = twin_screen();
    agree = spot_of(page->forward_button, page);
    click_on(page->forward_button);
    ASSERT_EQ(database->stage, STAGE_INSTALL_TYPE);
    page = live_page();
    installation = spot_of(page_grid->cell(0, 1), page);
    click_on(page_grid->cell(0, 1));
    onward = spot_of(page->forward_button, page);
    click_on(page->forward_button);
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    page = live_page();
    install = spot_of(page->forward_button, page);
    WM_SCREEN_OBJECT* system_box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    WM_SCREEN_OBJECT* desktop_box = option_box(WIZARD_EVENT_DESKTOP);
    ASSERT_TRUE(system_box && desktop_box);
    system_paths = spot_of(system_box, page);
    desktop = spot_of(desktop_box, page);
    click_on(system_box);
    SPOT name_field;  // not clicked: the name field has the focus as its dialog opens
    WM_FILE_SELECT* selector = twin_folder_dialog(page, &browse, &new_folder, &chosen, &name_field, &made);
    ASSERT_TRUE(selector);
    folder_dialog = area_of(selector);
    WM_SCREEN_OBJECT* target_row = cell_labelled(selector->list, 1, "target");
    ASSERT_TRUE(target_row);
    target = spot_of(target_row);
    click_on(selector->cancel_button);
    settle_effects();
    page = twin_page(twin, STAGE_INSTALLING);
    ASSERT_EQ(label_of(page->forward_button), "Onward");
    readme = spot_of(page->forward_button, page);
    page = twin_page(twin, STAGE_README);
    run_pass();
    about = spot_of(page->quit_button, page);
    finish = spot_of(page->forward_button, page);
    click_on(page->quit_button);
    settle_effects();
    WM_ABOUT* box = static_cast<WM_ABOUT*>(find_top_level(WM_KIND_ABOUT));
    ASSERT_TRUE(box && box->close_button);
    about_box = area_of(box);
    about_expected = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-b-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(language.x, language.y));
  ASSERT_TRUE(scenario.wait_for_window("Second Installer"));
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "licence.png"));
  EXPECT_EQ(differing_pixels(shown, licence_shown, licence), 0);
  ASSERT_TRUE(scenario.type("  "));
  for (SPOT spot : {agree, installation, onward, system_paths, desktop, browse})
    ASSERT_TRUE(click_and_settle(scenario, spot));
  WINDOW_CAPTURE untabbed, tabbed, tabbed_again;
  ASSERT_TRUE(scenario.capture(&untabbed, scenario.scratch() + "folder-dialog.png"));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.wait_until_still(&tabbed));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.wait_until_still(&tabbed_again));
  const AREA window = {0, 0, 640, 480};
  int changed = differing_pixels(untabbed, tabbed, folder_dialog);
  EXPECT_GT(changed, 0);
  EXPECT_EQ(differing_pixels(untabbed, tabbed, window), changed);
  EXPECT_GT(differing_pixels(tabbed, tabbed_again, folder_dialog), 0);
  for (SPOT spot : {target, new_folder}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.type("Fresh"));
  for (SPOT spot : {made, chosen, install}) ASSERT_TRUE(click_and_settle(scenario, spot));
  std::string fresh = below(place, "target/Fresh");
  ASSERT_TRUE(wait_for_last_line(below(fresh, "install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  for (SPOT spot : {readme, about}) ASSERT_TRUE(click_and_settle(scenario, spot));
  WINDOW_CAPTURE about_shown;
  ASSERT_TRUE(scenario.capture(&about_shown, scenario.scratch() + "about.png"));
  EXPECT_EQ(differing_pixels(about_shown, about_expected, about_box), 0);
  ASSERT_TRUE(scenario.key("Escape") && scenario.wait_until_still());  // Escape answers as Close
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_EQ(scenario.output(), "");
  expect_installation(scenario, scratch, fresh, "B", false);
}

// A folder made and chosen below a long path in the folder dialog: the options page shows the path
// shortened in its middle, with the chosen folder's own name whole at its end, as the twin draws it; the
// files then land there.
TEST(WizardScenario, AFolderChosenBelowALongPathShowsItsOwnNameOnTheOptions) {
  INSTALLER_SCRATCH scratch("wizard-long-path", wizard_description_lines());
  std::string start = below(scratch.root, "place/of the sample application/with rather long folder names/start");
  std::filesystem::create_directories(std::filesystem::u8path(start));
  ASSERT_TRUE(build_scenario_package(scratch, "L", {NO_LICENCE, {program_path_text(scratch.root) + "/dest",
                                                                 program_path_text(start)}}));

  SPOT system_paths, browse, new_folder, name, made, chosen, install, finish;
  AREA location;
  WINDOW_CAPTURE options_expected;
  std::string destination;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    install = spot_of(page->forward_button, page);
    WM_SCREEN_OBJECT* system_box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    ASSERT_TRUE(system_box);
    system_paths = spot_of(system_box, page);
    click_on(system_box);
    WM_FILE_SELECT* selector = twin_folder_dialog(page, &browse, &new_folder, &chosen, &name, &made);
    ASSERT_TRUE(selector);
    // The folder as the program will have made it, chosen in the twin too.
    FOLDER folder = selector->folder;
    ASSERT_TRUE(folder.enter("chosen dest", true));
    destination = folder.path;
    selector->folder = folder;
    click_on(selector->ok_button);
    settle_effects();
    ASSERT_TRUE(location_button && location_button->path_text);
    std::string shown = path_in_room(draw_target, location_button->font_id, location_button->font_x_size,
                                     location_button->font_y_size, location_button->label,
                                     location_button->width - location_button->left_gap - location_button->right_gap);
    EXPECT_NE(shown, location_button->label);
    EXPECT_EQ(shown.substr(shown.size() - 12), std::string(1, PATH_SEPARATOR) + "chosen dest") << shown;
    location = area_of(location_button);
    options_expected = twin_screen();
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }
  std::filesystem::remove(std::filesystem::u8path(destination));  // the program makes it

  WINDOW_SCENARIO scenario("wizard-long-path-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  for (SPOT spot : {system_paths, browse, new_folder, name}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.type("chosen dest"));
  for (SPOT spot : {made, chosen}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.move(2, 2));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, options_expected, location), 0);
  ASSERT_TRUE(click_and_settle(scenario, install));
  ASSERT_TRUE(wait_for_last_line(below(destination, "install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  expect_installation(scenario, scratch, destination, "L", true);
}

// Scenario D: Disagree on the licence ends the program and installs nothing.
TEST(WizardScenario, DisagreeEndsTheProgramAndInstallsNothing) {
  INSTALLER_SCRATCH scratch("wizard-d", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "D"));
  SPOT disagree;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    disagree = spot_of(live_page()->previous_button, live_page());
  }
  WINDOW_SCENARIO scenario("wizard-d-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(disagree.x, disagree.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
#ifdef _WIN32
  EXPECT_EQ(scenario.registry_value("HKLM\\" UNINSTALL_KEY_PATH "\\Wizard D App", "DisplayName"), "");
#endif
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "home/config/velk/registry"));
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "home/Desktop/Wizard D App.desktop"));
}

// Scenario G: with the patch check on, Install opens only when the destination holds an earlier
// "install_log.txt" that names it: a log of another folder keeps it shut, the matching one opens it.
TEST(WizardScenario, ThePatchCheckOpensInstallForAMatchingLogOnly) {
  INSTALLER_SCRATCH scratch("wizard-g", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "G", {NO_LICENCE},
                                     "patch_check = $HERE\n"));
  std::string log = scratch.installed("install_log.txt");
  std::filesystem::create_directories(scratch.destination);
  std::string other = "Settings: 0 0 " + program_path_text(scratch.root) + "/elsewhere\n";
  ASSERT_TRUE(write_whole_file(log, text_bytes(other)));
  SPOT install, system_paths, finish;
  AREA page_area;
  WINDOW_CAPTURE shut;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    ASSERT_EQ(page->forward_button->enabled, 0);
    install = spot_of(page->forward_button, page);
    ASSERT_TRUE(option_box(WIZARD_EVENT_SYSTEM_PATHS));
    system_paths = spot_of(option_box(WIZARD_EVENT_SYSTEM_PATHS), page);
    page_area = area_of(page);
    shut = twin_screen();
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-g-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "shut.png"));
  EXPECT_EQ(differing_pixels(shown, shut, page_area), 0);
  EXPECT_EQ(read_whole_text(log), other);
  // The matching log is read again when the choice of system folders changes.
  ASSERT_TRUE(write_whole_file(log, text_bytes("Settings: 0 0 " + program_path_text(scratch.root) + "/dest\n")));
  ASSERT_TRUE(click_and_settle(scenario, system_paths));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(log, "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  std::vector<std::string> lines = read_lines(log);
  ASSERT_GT(lines.size(), 4u);
  EXPECT_EQ(lines[4], "Settings: 0 0 " + program_path_text(scratch.root) + "/dest");
}
