// Real-window scenarios of the installer's wizard: the installer program (its scenario build, which
// also writes its pass count) on a private X display, driven by real clicks (natively, and as an .exe
// under Wine), with a package of the fixture builder; the installed files, "install_log.txt", the
// uninstall entry, the shortcuts and the exit status are checked afterwards. Where to click comes from the same wizard built in this process (its twin),
// which also shows what the window must show.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "about.h"
#include "check_box.h"
#include "confirm.h"
#include "file_select.h"
#include "grid.h"
#include "progress_bar.h"
#include "redraw.h"
#include "registry.h"
#include "text_draw.h"
#include "text_edit.h"
#include "text_edit_dialog.h"
#include "wizard_test_support.h"

#ifdef _WIN32
#include "shell_link_test_support.h"
#undef ERROR
#endif

namespace {

// What the program's installation left: every source file in the destination, the log's completion line,
// the uninstall entry of the tag's name naming the uninstaller, the menu shortcut, and the desktop
// shortcut when it was chosen.
void expect_installation(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, const std::string& destination,
                         const std::string& tag, bool desktop_shortcut) {
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
void expect_no_registration(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, const std::string& tag) {
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
WM_SCREEN_OBJECT* option_box(INT_U32 event) {
  for (INT_S16 row = 0; page_grid && row < page_grid->row_count; row++) {
    WM_SCREEN_OBJECT* cell = page_grid->cell(1, row);
    if (cell && (cell->kind & WM_KIND_CHECK_BOX) && cell->event_user1 == event) return cell;
  }
  return nullptr;
}

// The cell of a grid whose label is the text.
WM_SCREEN_OBJECT* cell_labelled(WM_GRID* grid, INT_S16 column, const std::string& text) {
  for (INT_S16 row = 0; grid && row < grid->row_count; row++) {
    WM_SCREEN_OBJECT* cell = grid->cell(column, row);
    if (cell && (cell->kind & WM_KIND_BUTTON) && label_of(static_cast<WM_BUTTON*>(cell)) == text) return cell;
  }
  return nullptr;
}

// The folder dialog opened in the twin from the options page by its "..." button, with where that button,
// the dialog's New Folder and OK buttons and the new-folder dialog's edit box and OK button stand (the
// new-folder dialog is opened and cancelled again); the folder dialog stays open.
WM_FILE_SELECT* twin_folder_dialog(INSTALL_DIALOG* page, SPOT* browse, SPOT* new_folder, SPOT* chosen, SPOT* name,
                                   SPOT* made) {
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
  ASSERT_EQ(log.size(), 17u);
  EXPECT_EQ(log[4], "Settings: 0 1 " + program_path_text(scratch.root) + "/dest");
  EXPECT_EQ(log[8], "Installed \"" + scratch.installed("bin/data.bin") + "\"");
  EXPECT_EQ(log[15], "RegKey \"Wizard A App\"");
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

// Scenario C: the window's close button asks the quit question; No keeps the page as it was. A close
// request while installing (the program held still at that moment) opens the question, and the
// installation waits for the answer, writing nothing; No lets it go on to its end; Yes then ends the
// program.
TEST(WizardScenario, TheCloseButtonAsksAndTheInstallationWaitsForTheAnswer) {
  INSTALLER_SCRATCH scratch("wizard-c", wizard_description_lines());
  add_many_small_files(scratch);
  ASSERT_TRUE(build_scenario_package(scratch, "C", {NO_LICENCE}));

  SPOT install, yes, no;
  AREA page_area, question_area;
  WINDOW_CAPTURE options_expected, question_expected;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    install = spot_of(page->forward_button, page);
    page_area = area_of(page);
    options_expected = twin_screen();
    open_quit_dialog(0);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->buttons[0] && question->buttons[1]);
    yes = spot_of(question->buttons[0]);
    no = spot_of(question->buttons[1]);
    question_area = area_of(question);
    question_expected = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-c-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "question.png"));
  EXPECT_EQ(differing_pixels(shown, question_expected, question_area), 0);
  ASSERT_TRUE(scenario.click(no.x, no.y));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "no.png"));
  EXPECT_EQ(differing_pixels(shown, options_expected, page_area), 0);

  // Held still once installing has begun, the program gets the close request; it answers it when it
  // goes on.
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, 1, &held));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.resume_program());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "asked.png"));
  EXPECT_EQ(differing_pixels(shown, question_expected, question_area), 0);
  size_t asked = read_lines(log).size();
  pause_ms(500);
  EXPECT_EQ(read_lines(log).size(), asked);
  ASSERT_TRUE(scenario.click(no.x, no.y));
  ASSERT_TRUE(wait_for_last_line(log, "Installation completed without any errors."));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(yes.x, yes.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_EQ(scenario.output(), "");
  expect_installation(scenario, scratch, scratch.destination, "C", true);
}

// Cancel clicked while files are copied opens the quit question within a few files, and the
// installation waits for the answer; after No the last file's progress and the completion show whole.
// The program is held still to take the click in the middle of its copying, and answers it when it
// goes on.
TEST(WizardScenario, CancelWhileCopyingAsksAtOnceAndTheProgressEndsWhole) {
  INSTALLER_SCRATCH scratch("wizard-cancel", wizard_description_lines());
  add_many_small_files(scratch);
  ASSERT_TRUE(build_scenario_package(scratch, "K", {NO_LICENCE}));

  SPOT install, cancel, no, finish;
  AREA question_area, progress_area;
  WINDOW_CAPTURE question_expected, complete_expected;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    install = spot_of(live_page()->forward_button, live_page());
    INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
    cancel = spot_of(page->quit_button, page);
    finish = spot_of(page->forward_button, page);
    // The page after the last file: the bar full and the completion above it.
    WM_SCRIPT* line = page->progress_text;
    progress_area = {line->x, line->y, line->width, page->progress_bar->y + page->progress_bar->height - line->y};
    INSTALL_DIALOG::show_install_complete(page);
    INSTALL_DIALOG::show_progress(page, 100, wizard_text(&LANGUAGE::COMPLETE));
    draw_all_now(0);
    complete_expected = twin_screen();
    open_quit_dialog(0);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->buttons[1]);
    no = spot_of(question->buttons[1]);
    question_area = area_of(question);
    question_expected = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-cancel-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, 1, &held));
  ASSERT_TRUE(scenario.click_now(cancel.x, cancel.y));
  ASSERT_TRUE(scenario.resume_program());
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "asked.png"));
  EXPECT_EQ(differing_pixels(shown, question_expected, question_area), 0);
  size_t asked = read_lines(log).size();
  EXPECT_LT(asked, held + 20) << "the question came " << asked - held << " lines after the click";
  pause_ms(500);
  EXPECT_EQ(read_lines(log).size(), asked);
  ASSERT_TRUE(scenario.click(no.x, no.y));
  ASSERT_TRUE(wait_for_last_line(log, "Installation completed without any errors."));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "complete.png"));
  EXPECT_EQ(differing_pixels(shown, complete_expected, progress_area), 0);
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  expect_installation(scenario, scratch, scratch.destination, "K", true);
}

#ifdef _WIN32
// Log-off or shut-down while the wizard installs, as Wine ends its session: the main window is asked and
// told, the installation ends between two files and the program with 1; the log names exactly the files
// in the destination and ends with the interrupted line, and no temporary stays. The program is held
// still meanwhile, until Wine is seen to wait for its answer.
TEST(WizardScenario, ASessionThatEndsEndsTheInstallationBetweenTwoFiles) {
  INSTALLER_SCRATCH scratch("wizard-i", wizard_description_lines());
  add_many_small_files(scratch);
  ASSERT_TRUE(build_scenario_package(scratch, "I", {NO_LICENCE}));
  SPOT install;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    install = spot_of(live_page()->forward_button, live_page());
  }
  WINDOW_SCENARIO scenario("wizard-i-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, 100, &held));
  ASSERT_TRUE(scenario.end_session());
  ASSERT_TRUE(scenario.wait_for_window("Waiting for Program"));
  ASSERT_TRUE(scenario.resume_program());
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.errors();
  std::vector<std::string> lines = read_lines(log);
  ASSERT_GT(lines.size(), 100u);
  EXPECT_EQ(lines.back(), "Installation interrupted.");
  std::set<std::string> logged, found;
  for (const std::string& line : lines)
    if (line.rfind("Installed \"", 0) == 0) logged.insert(line.substr(11, line.size() - 12));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.destination))
    if (!entry.is_directory() && entry.path().filename() != "install_log.txt") found.insert(entry.path().string());
  EXPECT_EQ(logged, found);
  EXPECT_LT(found.size(), scratch.files.size());
  for (const std::string& path : found) {
    std::string file = std::filesystem::relative(path, scratch.destination).generic_string();
    EXPECT_EQ(read_whole_file(path), read_whole_file(scratch.source + "files/" + file)) << file;
  }
}
#endif

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

// Scenario E: a desktop one pixel narrower than the package asks for. The first options page asks once
// (the warning goes into the log as its own line), No goes on, and after Back and Next the question does
// not come again.
TEST(WizardScenario, ASmallDesktopIsAskedAboutOnce) {
  INSTALLER_SCRATCH scratch("wizard-e", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "E", {NO_LICENCE},
                                     "required_desktop = 800;600\ninstallation = Other\ndefault_path = " +
                                         program_path_text(scratch.root) + "/other\n"));
  SPOT next, no, back, install, finish;
  AREA question_area;
  WINDOW_CAPTURE asked, not_asked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package, 799, 600));
    ASSERT_EQ(database->stage, STAGE_INSTALL_TYPE);
    next = spot_of(live_page()->forward_button, live_page());
    click_on(live_page()->forward_button);
    settle_effects();
    WM_CONFIRM* question = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
    ASSERT_TRUE(question && question->buttons[1]);
    no = spot_of(question->buttons[1]);
    question_area = area_of(question);
    asked = twin_screen();
    click_on(question->buttons[1]);
    settle_effects();
    INSTALL_DIALOG* page = live_page();
    back = spot_of(page->previous_button, page);
    install = spot_of(page->forward_button, page);
    click_on(page->previous_button);
    click_on(live_page()->forward_button);
    settle_effects();
    not_asked = twin_screen();
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-e-window", 799, 600);
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(click_and_settle(scenario, next));
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "asked.png"));
  EXPECT_EQ(differing_pixels(shown, asked, question_area), 0);
  for (SPOT spot : {no, back, next}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "not-asked.png"));
  EXPECT_EQ(differing_pixels(shown, not_asked, question_area), 0);
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GT(log.size(), 9u);
  EXPECT_EQ(log[7], "ERROR: screen 799x600 does not meet minimum requirement of 800x600");
  EXPECT_EQ(log[8], "");
}

// Scenario F: two package entries are missing. The installation asks about each in turn, the question
// naming the file and the cause, and waits for the answer; Yes skips the file. The page then says what
// failed and offers Finish and Back; nothing is registered. Back, Install again, and No on the first
// question returns to the options with nothing more written; leaving then ends with status 1. The
// question and the page are kept as pictures ("wizard-copy-error.png", "wizard-failed.png"; "-wine"
// under Wine).
TEST(WizardScenario, MissingEntriesAskOneQuestionAtATime) {
  INSTALLER_SCRATCH scratch("wizard-f", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "F", {NO_LICENCE},
                                     "missing_file = bin/0-gone.bin\nmissing_file = bin/1-gone.bin\n"));
  const std::string gone[2] = {scratch.installed("bin/0-gone.bin"), scratch.installed("bin/1-gone.bin")};
  SPOT install, yes, no, back, close_yes;
  AREA box_area, page_area;
  WINDOW_CAPTURE box_expected[2], options_expected, failed_expected;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    install = spot_of(page->forward_button, page);
    page_area = area_of(page);
    options_expected = twin_screen();
    open_quit_dialog(0);
    settle_effects();
    close_yes = spot_of(quit_dialog()->buttons[0]);
    page_manager->close_all_dialogs(false);
    // The questions over the installing page; the twin's passes install nothing (another stage).
    INSTALL_STATE& state = database->install_state;
    for (int i = 0; i < 2; i++) {
      page = twin_page(twin, STAGE_INSTALLING);
      state.failure_text = "\"" + gone[i] + "\" is missing from the package.";
      WM_CONFIRM* box = open_copy_error_box(database, install_dialog_event);
      database->stage = STAGE_OPTIONS;
      settle_effects();
      ASSERT_TRUE(box && box->buttons[0] && box->buttons[1]);
      yes = spot_of(box->buttons[0]);
      no = spot_of(box->buttons[1]);
      box_area = area_of(box);
      box_expected[i] = twin_screen();
      page_manager->close_all_dialogs(false);
      settle_effects();
    }
    // The page once both were skipped.
    page = twin_page(twin, STAGE_INSTALLING);
    state.error_count = 2;
    state.step_total = database->get_current_installation()->file_count + 1;
    INSTALL_DIALOG::show_install_complete(page);
    INSTALL_DIALOG::show_progress(page, 100, installation_failure_text(database).c_str());
    database->stage = STAGE_OPTIONS;
    test_seam_pointer(-1, -1);
    settle_effects();
    failed_expected = twin_screen();
    back = spot_of(page->previous_button, page);
    state.error_count = 0;
    state.step_total = 0;
  }

  WINDOW_SCENARIO scenario("wizard-f-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  WINDOW_CAPTURE shown;
  for (int i = 0; i < 2; i++) {
    SCOPED_TRACE(i);
    std::string failed = "\"" + gone[i] + "\" failed to unpack (bin/" + std::to_string(i) + "-gone.bin)";
    ASSERT_TRUE(wait_for_last_line(log, failed));
    ASSERT_TRUE(scenario.wait_until_still(&shown));
    EXPECT_EQ(differing_pixels(shown, box_expected[i], box_area), 0);
    if (i == 0) {
      ASSERT_TRUE(keep_picture(shown, picture_name("wizard-copy-error").c_str()));
    }
    // Held: nothing more is written while the question is shown.
    pause_ms(500);
    ASSERT_TRUE(scenario.wait_until_still());
    EXPECT_EQ(read_lines(log).back(), failed);
    ASSERT_TRUE(scenario.click(yes.x, yes.y));
  }
  ASSERT_TRUE(wait_for_last_line(log, "Installation completed with 2 errors."));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, failed_expected, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-failed").c_str()));
  expect_no_registration(scenario, scratch, "F");
  // Every file but the two was installed.
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;

  // Back to the options, Install again: No on the first question returns to the options, and the
  // installation stops there.
  ASSERT_TRUE(click_and_settle(scenario, back));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(log, "\"" + gone[0] + "\" failed to unpack (bin/0-gone.bin)"));
  ASSERT_TRUE(scenario.wait_until_still());
  size_t lines_asked = read_lines(log).size();
  ASSERT_TRUE(scenario.click(no.x, no.y));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, options_expected, page_area), 0);
  std::vector<std::string> lines = read_lines(log);
  EXPECT_EQ(lines.size(), lines_asked + 1);
  EXPECT_EQ(lines.back(), "Installation interrupted.");
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(close_yes.x, close_yes.y));
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.errors();
  expect_no_registration(scenario, scratch, "F");
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

// Scenario H: the quit question dragged by its title, at a person's pace and then in one quick movement
// let go between two passes, each time left without motion afterwards: it rests opaque where the pointer
// let it go.
TEST(WizardScenario, TheQuitQuestionDraggedAndLeftStillIsOpaqueWhereItWasLetGo) {
  INSTALLER_SCRATCH scratch("wizard-h", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "H", {NO_LICENCE}));

  const int dx = 60, dy = 40;
  SPOT quit, title;
  AREA moved_area, twice_area;
  WINDOW_CAPTURE moved_expected, twice_expected;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    quit = spot_of(page->quit_button, page);
    open_quit_dialog(0);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->title);
    title = spot_of(question->title);
    set_focus_visible(false);  // the drag's press, as any press of the mouse, hides the focus
    question->move_to((INT_S16)(question->x + dx), (INT_S16)(question->y + dy));
    settle_effects();
    moved_area = area_of(question);
    moved_expected = twin_screen();
    question->move_to((INT_S16)(question->x - 2 * dx), (INT_S16)(question->y + dy));
    settle_effects();
    twice_area = area_of(question);
    twice_expected = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-h-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(quit.x, quit.y));
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.drag(title.x, title.y, title.x + dx, title.y + dy));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "dragged.png"));
  EXPECT_EQ(differing_pixels(shown, moved_expected, moved_area), 0);
  ASSERT_TRUE(scenario.drag_now(title.x + dx, title.y + dy, title.x - dx, title.y + 2 * dy));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "dragged-quickly.png"));
  EXPECT_EQ(differing_pixels(shown, twice_expected, twice_area), 0);
}


namespace {

// What the program wrote to standard error, its lines ended by "\n" alone (Windows writes "\r\n").
std::string error_lines(const WINDOW_SCENARIO& scenario) {
  std::string text = scenario.errors();
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

}  // namespace

// Scenario I: a package whose window is larger than the screen (900 x 700 on 800 x 600). No wizard opens:
// one message in the package's words for it names both sizes, and the run ends as one that could not
// start, having installed nothing.
TEST(WizardScenario, AWindowLargerThanTheScreenIsToldInThePackagesWords) {
  INSTALLER_SCRATCH scratch("wizard-i", "window = 900;700\ndialog = 0;0;900;700\n"
                                        "text = CHECK_DESKTOP_FAILED_TITLE;Bildschirm zu klein\n"
                                        "text = CHECK_DESKTOP_FAILED;Dieser Bildschirm ist kleiner als das Fenster.\n");
  ASSERT_TRUE(build_scenario_package(scratch, "I", {NO_LICENCE}));
  WINDOW_SCENARIO scenario("wizard-i-window", 800, 600);
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(scratch.package) + "/installer.xml"},
                             program_environment(scratch.root)));
  EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(error_lines(scenario), "Bildschirm zu klein: Dieser Bildschirm ist kleiner als das Fenster.\n\n"
                                   "The screen is 800 x 600; the installer's window needs 900 x 700.\n");
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// Scenario J: the wizard started where no display can be had (none named, and one that nobody serves)
// says at once that it needs one and that "-a" installs without it, and ends as a run that could not
// start. Attended too: under Wine the box that cannot be shown goes to standard error.
TEST(WizardScenario, WithoutADisplayTheWizardSaysSoAndEnds) {
  INSTALLER_SCRATCH scratch("wizard-j", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "J", {NO_LICENCE}));
#ifdef _WIN32
  const std::vector<std::string> problems = {"no window can be made", "no window can be made"};
#else
  const std::vector<std::string> problems = {"DISPLAY is not set", "the display \":32761\" does not answer"};
#endif
  const std::vector<std::string> displays = {"DISPLAY=", "DISPLAY=:32761"};
  for (size_t i = 0; i < displays.size(); i++) {
    WINDOW_SCENARIO scenario("wizard-j-window");
    START_WINDOW_SCENARIO(scenario);
    std::vector<std::string> environment = program_environment(scratch.root);
    environment.push_back(displays[i]);
    environment.push_back("VELK_UNATTENDED=0");
    ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                               {"-x", program_path_text(scratch.package) + "/installer.xml"}, environment));
    EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED) << displays[i];
    EXPECT_EQ(error_lines(scenario),
              "No display: The installer's wizard needs a display: " + problems[i] + ". \"-a\" installs without one.\n");
  }
}

// Scenario K: the questions answered from the keyboard alone. The desktop-size question over the first
// options page opens with the focus on No, which Space presses; the window's close button asks the quit
// question, which Space answers as Stay; asked again, Tab shows the focus on Leave and Return leaves: the
// program ends with 0. Each state of the window is the twin's after the same keys.
TEST(WizardScenario, TheQuestionsAnswerSpaceAndTabThenReturn) {
  INSTALLER_SCRATCH scratch("wizard-k", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "K", {NO_LICENCE}, "required_desktop = 800;600\n"));
  AREA page_area, question_area;
  WINDOW_CAPTURE answered, leave_focused;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package, 799, 600));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    settle_effects();
    WM_CONFIRM* question = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
    ASSERT_TRUE(question && question->buttons[1]);
    EXPECT_EQ(focus_object, question->buttons[1]);
    key(VKEY_SPACE);
    settle_effects();
    ASSERT_FALSE(find_top_level(WM_KIND_CONFIRM));
    page_area = area_of(live_page());
    answered = twin_screen();
    open_quit_dialog(0);
    settle_effects();
    key(VKEY_SPACE);
    settle_effects();
    ASSERT_FALSE(quit_dialog());
    open_quit_dialog(0);
    settle_effects();
    ASSERT_TRUE(quit_dialog());
    question_area = area_of(quit_dialog());
    key(VKEY_TAB);
    EXPECT_EQ(focus_object, quit_dialog()->buttons[0]);
    leave_focused = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-k-window", 799, 600);
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.key("space"));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, answered, page_area), 0);
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("space"));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, answered, page_area), 0);
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, leave_focused, question_area), 0);
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// The desktop-size question answered Yes from the keyboard, Tab then Return: the program ends.
TEST(WizardScenario, TheDesktopSizeQuestionTakesTabThenReturn) {
  INSTALLER_SCRATCH scratch("wizard-k2", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "K2", {NO_LICENCE}, "required_desktop = 800;600\n"));
  WINDOW_SCENARIO scenario("wizard-k2-window", 799, 600);
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// Scenario L: the copy-error questions answered from the keyboard. The first question, Tab (the focus on
// Yes, as the twin shows it) then Return, skips its file; the second, Space on No (the focus as it
// opens), returns to the options and ends the installation there. The quit question then leaves with Tab
// and Return, and the program ends with 1.
TEST(WizardScenario, TheCopyErrorQuestionsAnswerTheKeyboard) {
  INSTALLER_SCRATCH scratch("wizard-l", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "L2", {NO_LICENCE},
                                     "missing_file = bin/0-gone.bin\nmissing_file = bin/1-gone.bin\n"));
  const std::string gone[2] = {scratch.installed("bin/0-gone.bin"), scratch.installed("bin/1-gone.bin")};
  SPOT install;
  AREA box_area;
  WINDOW_CAPTURE yes_focused;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    install = spot_of(live_page()->forward_button, live_page());
    twin_page(twin, STAGE_INSTALLING);
    database->install_state.failure_text = "\"" + gone[0] + "\" is missing from the package.";
    WM_CONFIRM* box = open_copy_error_box(database, install_dialog_event);
    database->stage = STAGE_OPTIONS;  // the twin's passes install nothing
    settle_effects();
    ASSERT_TRUE(box && box->buttons[0] && box->buttons[1]);
    EXPECT_EQ(focus_object, box->buttons[1]);
    key(VKEY_TAB);
    EXPECT_EQ(focus_object, box->buttons[0]);
    box_area = area_of(box);
    yes_focused = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-l-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  ASSERT_TRUE(wait_for_last_line(log, "\"" + gone[0] + "\" failed to unpack (bin/0-gone.bin)"));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("Tab"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, yes_focused, box_area), 0);
  ASSERT_TRUE(scenario.key("Return"));
  ASSERT_TRUE(wait_for_last_line(log, "\"" + gone[1] + "\" failed to unpack (bin/1-gone.bin)"));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("space"));
  ASSERT_TRUE(wait_for_last_line(log, "Installation interrupted."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.errors();
  expect_no_registration(scenario, scratch, "L2");
}

// Scenario M: the folder dialog's New folder from the keyboard. Return in the name field makes the
// folder, as OK does, and the dialog goes into it; a name that cannot be a folder's is said so in a
// message box, which Tab then Return closes, and again Space; then a second folder is made with Return.
TEST(WizardScenario, NewFoldersAreMadeWithReturnAndTheirFailuresAnswerTheKeyboard) {
  INSTALLER_SCRATCH scratch("wizard-m", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "M", {NO_LICENCE}));
  std::filesystem::create_directories(scratch.destination);  // where the folder dialog opens
  SPOT system_paths, browse, new_folder, chosen, name, made;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    WM_SCREEN_OBJECT* system_box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    ASSERT_TRUE(system_box);
    system_paths = spot_of(system_box, page);
    click_on(system_box);
    ASSERT_TRUE(twin_folder_dialog(page, &browse, &new_folder, &chosen, &name, &made));
  }

  WINDOW_SCENARIO scenario("wizard-m-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  for (SPOT spot : {system_paths, browse, new_folder}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.type("Fresh"));
  ASSERT_TRUE(scenario.key("Return"));
  std::string fresh = below(scratch.destination, "Fresh");
  for (int waited = 0; waited < 30000 && !std::filesystem::is_directory(fresh); waited += 100) pause_ms(100);
  ASSERT_TRUE(std::filesystem::is_directory(fresh));
  ASSERT_TRUE(scenario.wait_until_still());
  // Two refused names, each message answered from the keyboard; the folder dialog then takes the mouse
  // again, and Return makes the next folder inside the first.
  const std::vector<std::vector<std::string>> answers = {{"Tab", "Return"}, {"space"}};
  for (const std::vector<std::string>& answer : answers) {
    ASSERT_TRUE(click_and_settle(scenario, new_folder));
    ASSERT_TRUE(scenario.type(".."));
    ASSERT_TRUE(scenario.key("Return"));
    ASSERT_TRUE(scenario.wait_until_still());
    for (const std::string& keys : answer) ASSERT_TRUE(scenario.key(keys));
    ASSERT_TRUE(scenario.wait_until_still());
  }
  ASSERT_TRUE(click_and_settle(scenario, new_folder));
  ASSERT_TRUE(scenario.type("Second"));
  ASSERT_TRUE(scenario.key("Return"));
  std::string second = below(fresh, "Second");
  for (int waited = 0; waited < 30000 && !std::filesystem::is_directory(second); waited += 100) pause_ms(100);
  EXPECT_TRUE(std::filesystem::is_directory(second));
  EXPECT_EQ(std::filesystem::directory_iterator(fresh)->path().filename(), "Second");  // nothing else made
}

// Scenario N: texts that need more room than one line, in the real window as the twin draws them. The
// options page's long location question and long desktop choice wrap onto the rows below, every row
// showing without scrolling; the two-sentence German quit question grows to its text and shows it whole,
// without a scroll bar. Both are kept as pictures ("wizard-long-options.png", "wizard-long-question.png";
// "-wine" under Wine).
TEST(WizardScenario, LongTextsShowWholeWhereTheWindowHasRoom) {
  INSTALLER_SCRATCH scratch("wizard-n", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(
      scratch, "N", {NO_LICENCE},
      "text = SELECT_OPTIONS_LOCATION_QUESTION;Where should the application with all of its handbooks, examples "
      "and tools be installed?\n"
      "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;A shortcut on the desktop that starts the application with its "
      "handbooks\n"
      "text = QUIT_TITLE;Installation abbrechen\n"
      "text = QUIT_MSG;M\xC3\xB6" "chten Sie die Installation jetzt wirklich abbrechen? Bereits kopierte Dateien "
      "bleiben im Zielordner erhalten und m\xC3\xBCssen von Hand entfernt werden.\n"
      "text = QUIT_YES;Beenden\ntext = QUIT_NO;Fortsetzen\n"));
  WINDOW_CAPTURE options, asked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    test_seam_pointer(-1, -1);
    run_pass();
    options = twin_screen();
    ASSERT_TRUE(page_grid);
    EXPECT_FALSE(page_grid->overflows());
    WM_SCREEN_OBJECT* desktop = option_box(WIZARD_EVENT_DESKTOP);
    ASSERT_TRUE(desktop);
    EXPECT_NE(static_cast<WM_CHECK_BOX*>(desktop)->label->button_flags & bf_wrap_text, 0u);
    EXPECT_TRUE(static_cast<WM_SCRIPT*>(page_grid->cell(0, 0))->wraps_in_its_box());
    open_quit_dialog(0);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->text);
    EXPECT_EQ(question->text->scrollbar, nullptr);
    EXPECT_GE(question->text->height, question->text->height_for_lines());
    EXPECT_GT(question->height, database->EXIT.height);
    EXPECT_LE(question->y + question->height, 480);
    test_seam_pointer(-1, -1);
    run_pass();
    asked = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-n-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, options, {0, 0, 640, 480}), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-options").c_str()));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked, {0, 0, 640, 480}), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-question").c_str()));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

// Scenario O: installation types named with 88 and 120 characters. Each name wraps onto the lines it needs
// beside its box, on the page, as the twin draws it; a click on the second name chooses it, and the files
// go to that type's folder. Kept as a picture ("wizard-long-types.png"; "-wine" under Wine).
TEST(WizardScenario, LongInstallationNamesWrapAndAClickOnANameChoosesIt) {
  const std::string first = "Vollst\xC3\xA4ndige Installation mit allen Beispielen, Handb\xC3\xBC" "chern und Schriftarten "
                            "(empfohlen)";
  const std::string second = "Complete installation with all examples, handbooks and fonts, for every user of this "
                             "computer and all of their projects.";
  INSTALLER_SCRATCH scratch("wizard-o", wizard_description_lines());
  std::string other = scratch.root + "other";
  std::filesystem::create_directories(other);  // a path-variable text names a folder that exists
  ASSERT_TRUE(build_scenario_package(scratch, "O", {NO_LICENCE, {"installation = Test App", "installation = " + first}},
                                     "installation = " + second + "\ndefault_path = " + program_path_text(other) +
                                         "\n"));
  SPOT name, next, install, finish;
  AREA page_area;
  WINDOW_CAPTURE chosen;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_INSTALL_TYPE);
    INSTALL_DIALOG* page = live_page();
    ASSERT_TRUE(page_grid && page_grid->cell(0, 1));
    WM_CHECK_BOX* box = static_cast<WM_CHECK_BOX*>(page_grid->cell(0, 1));
    name = spot_of(box->label, page);
    click_on(box->label);
    ASSERT_EQ(database->current_installation, 1);
    test_seam_pointer(-1, -1);
    run_pass();
    page_area = area_of(page);
    chosen = twin_screen();
    next = spot_of(page->forward_button, page);
    click_on(page->forward_button);
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    install = spot_of(live_page()->forward_button, live_page());
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-o-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(name.x, name.y));
  ASSERT_TRUE(scenario.move(2, 2));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, chosen, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-types").c_str()));
  for (SPOT spot : {next, install}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(wait_for_last_line(below(other, "install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(below(other, file)), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// Scenario P: an options page that scrolls (long option texts), worked from the keyboard. Tab brings the
// desktop choice into view with its outline alone and Space unticks it, as the twin shows; the
// installation then makes no desktop shortcut. Kept as a picture ("wizard-options-keyboard.png").
TEST(WizardScenario, TabBringsAnOptionIntoViewAndSpaceChangesIt) {
  const std::string sentence =
      "Die Verkn\xC3\xBCpfung startet die Anwendung mit allen Handb\xC3\xBC" "chern, Beispielen und Schriftarten sowie "
      "den Werkzeugen, die zur Anwendung geh\xC3\xB6ren und die man immer wieder braucht, wenn man mit ihr arbeitet";
  INSTALLER_SCRATCH scratch("wizard-p", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "P", {NO_LICENCE},
                                     "text = SELECT_OPTIONS_USE_SYSTEM_PATHS;" + sentence + "\n" +
                                         "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;" + sentence + "\n" +
                                         "text = SELECT_OPTIONS_MENU_SHORTCUT;" + sentence + "\n"));
  SPOT install, finish;
  AREA page_area;
  WINDOW_CAPTURE tabbed;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    ASSERT_TRUE(page_grid && page_grid->scrollbar);
    install = spot_of(page->forward_button, page);
    key(VKEY_TAB);
    key(VKEY_SPACE);
    ASSERT_EQ(database->desktop_shortcut, 0);
    page_area = area_of(page);
    tabbed = twin_screen();
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-p-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("space"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, tabbed, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-options-keyboard").c_str()));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  expect_installation(scenario, scratch, scratch.destination, "P", false);
}

// Scenario Q: the quit question opened by a click on Quit shows the focus on Stay, the answer Enter
// gives, from the moment it opens, as the twin draws it; Tab and Return then leave.
TEST(WizardScenario, AQuestionOpenedByAClickShowsItsFocusAtOnce) {
  INSTALLER_SCRATCH scratch("wizard-q", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "Q", {NO_LICENCE}));
  SPOT quit;
  AREA question_area;
  WINDOW_CAPTURE asked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    quit = spot_of(page->quit_button, page);
    click_on(page->quit_button);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->buttons[1]);
    EXPECT_EQ(focus_object, question->buttons[1]);
    question_area = area_of(question);
    asked = twin_screen();
    set_focus_visible(false);
    run_pass();
    EXPECT_GT(differing_pixels(asked, twin_screen(), question_area), 0);  // the outline is there to see
  }

  WINDOW_SCENARIO scenario("wizard-q-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(quit.x, quit.y));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked, question_area), 0);
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

// Scenario R: attended, a package whose window is larger than the screen (900 x 700 on 800 x 600) says so
// in a window of its own that fits the screen, drawn by the installer, with OK as its one answer; Return
// answers it and the run ends as one that could not start, having installed nothing. Kept as a picture
// ("wizard-screen-too-small.png").
TEST(WizardScenario, AWindowLargerThanTheScreenSaysSoInAWindowThatFits) {
  INSTALLER_SCRATCH scratch("wizard-r", "window = 900;700\ndialog = 0;0;900;700\n");
  ASSERT_TRUE(build_scenario_package(scratch, "R", {NO_LICENCE}));
  WINDOW_SCENARIO scenario("wizard-r-window", 800, 600);
  START_WINDOW_SCENARIO(scenario);
  std::vector<std::string> environment = program_environment(scratch.root);
  environment.push_back("VELK_UNATTENDED=0");
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(scratch.package) + "/installer.xml"}, environment));
  ASSERT_TRUE(scenario.wait_for_window("Screen too small"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_GT(shown.width, 0);
  EXPECT_LE(shown.width, 800);
  EXPECT_LE(shown.height, 600);
  std::set<INT_U32> colours(shown.pixels.begin(), shown.pixels.end());
  EXPECT_GT(colours.size(), 3u);  // drawn: the title, the message and the button
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-screen-too-small").c_str()));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED);
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// Scenario S: an update's long message on an options page that scrolls, and a long New folder message,
// both whole as the twin draws them: the update's beside the scroll bar, the New folder dialog's over the
// lines it needs. A folder name typed on the French keyboard, its dead keys each followed by a space,
// takes "^" and "`". Kept as pictures ("wizard-long-update.png", "wizard-new-folder.png").
TEST(WizardScenario, LongMessagesShowWholeAndAFolderNameTakesTheMarks) {
  INSTALLER_SCRATCH scratch("wizard-s", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(
      scratch, "S", {NO_LICENCE},
      "patch_check = $HERE\n"
      "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;A shortcut on the desktop that starts the sample application with "
      "all of its handbooks, examples and tools\n"
      "text = SELECT_OPTIONS_MENU_SHORTCUT;A shortcut in the applications menu that starts the sample application "
      "with all of its handbooks\n"
      "text = PATCH_MSG;This update installs over the earlier installation and needs it: choose the folder that the "
      "earlier installation went into. The update replaces the files that changed and adds the new ones; it "
      "removes no file, and leaves everything else as it was.\n"
      "text = NEW_FOLDER_MSG;The name of the new folder, which is made in the folder shown above and can then be "
      "chosen as the destination of the installation:\n"));
  std::filesystem::create_directories(scratch.destination);  // where the folder dialog opens
  SPOT system_paths, browse, new_folder;
  AREA page_area, prompt_area;
  WINDOW_CAPTURE options, naming;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    test_seam_pointer(-1, -1);
    run_pass();
    ASSERT_TRUE(page_grid && page_grid->scrollbar);
    page_area = area_of(page);
    options = twin_screen();
    WM_SCREEN_OBJECT* system_box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    ASSERT_TRUE(system_box);
    system_paths = spot_of(system_box, page);
    click_on(system_box);
    browse = spot_of(browse_button, page);
    click_on(browse_button);
    settle_effects();
    WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
    ASSERT_TRUE(selector);
    new_folder = spot_of(selector->new_folder_button);
    click_on(selector->new_folder_button);
    settle_effects();
    WM_TEXT_EDIT_DIALOG* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(find_top_level(WM_KIND_TEXT_EDIT_DIALOG));
    ASSERT_TRUE(dialog && dialog->prompt);
    EXPECT_GT(dialog->prompt->height, 2 * draw_target->default_font_y_size);
    prompt_area = area_of(dialog->prompt);
    naming = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-s-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.keyboard_layout("fr"));
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, options, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-update").c_str()));
  for (SPOT spot : {system_paths, browse, new_folder}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, naming, prompt_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-new-folder").c_str()));
  for (const char* keys : {"a", "dead_circumflex", "space", "b", "dead_grave", "space", "c", "Return"})
    ASSERT_TRUE(scenario.key(keys));
  std::string made = below(scratch.destination, "a^b`c");
  for (int waited = 0; waited < 30000 && !std::filesystem::is_directory(made); waited += 100) pause_ms(100);
  EXPECT_TRUE(std::filesystem::is_directory(made)) << scenario.output();
}

// Scenario U: an update whose destination holds another product's installation. The options page says
// what it found there after the package's message, and Install, kept shut, says why in its hint, in the
// real window as the twin draws them (the hint once the pointer has rested on Install). Kept as a
// picture ("wizard-update-found.png").
TEST(WizardScenario, AnUpdateSaysWhatItFoundWhereItWillNotInstall) {
  INSTALLER_SCRATCH scratch("wizard-u", wizard_description_lines());
  // As an update is made: no uninstaller and no shortcuts (the installed version made them).
  ASSERT_TRUE(build_scenario_package(scratch, "U",
                                     {NO_LICENCE,
                                      {"uninstaller = Wizard U App;uninstall.sh;$HERE/bin\n", ""},
                                      {"desktop_shortcut = 1;run.sh;Wizard U App;$HERE/bin\n", ""},
                                      {"menu_shortcut = 3;guide.txt;Test Guide;Wizard U Group;$HERE/docs\n", ""}},
                                     "patch_check = $HERE\n"));
  std::filesystem::create_directories(scratch.destination);
  ASSERT_TRUE(write_whole_file(scratch.installed("install_log.txt"),
                               text_bytes("Installed Files\n---------------\n\nLanguage: Deutsch\nSettings: 0 0 " +
                                          program_path_text(scratch.root) + "/dest\nApplication: anderes-programm\n"
                                          "Installation: Komplett\n\n")));
  SPOT install;
  AREA page_area;
  WINDOW_CAPTURE at_rest, with_hint;
  int hint_x = -1, hint_y = -1;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    EXPECT_EQ(page->forward_button->enabled, 0);
    ASSERT_TRUE(update_message);
    EXPECT_NE(text_of(update_message).find("\" is of another installation: \"Komplett\" of the application "
                                           "\"anderes-programm\""),
              std::string::npos);
    page_area = area_of(page);
    test_seam_pointer(-1, -1);
    run_pass();
    at_rest = twin_screen();
    // The hint shows once the pointer has rested on Install for more than a second of the calendar.
    install = spot_of(page->forward_button, page);
    test_seam_set_seconds(7000, 0);
    test_seam_pointer((INT_S16)install.x, (INT_S16)install.y);
    run_pass();
    test_seam_set_seconds(7002, 0);
    run_pass();
    run_pass();
    test_seam_release_clocks();
    WM_SCRIPT* hint = page->forward_button->hint;
    ASSERT_TRUE(hint && hint->visible);
    EXPECT_EQ(text_of(hint), "The installation in this folder is not the one this update is for");
    with_hint = twin_screen();
    for (int y = hint->y; hint_x < 0 && y < hint->y + hint->height; y++)
      for (int x = hint->x; hint_x < 0 && x < hint->x + hint->width; x++)
        if (with_hint.at(x, y) != at_rest.at(x, y)) hint_x = x, hint_y = y;
    ASSERT_GE(hint_x, 0);
  }

  WINDOW_SCENARIO scenario("wizard-u-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.move(10, -4));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, at_rest, page_area), 0);
  ASSERT_TRUE(scenario.move(install.x, install.y));
  ASSERT_TRUE(scenario.wait_for_pixel(hint_x, hint_y, with_hint.at(hint_x, hint_y), &shown));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, with_hint, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-update-found").c_str()));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("readme.txt")));
}
