// Real-window scenarios of the wizard worked from the keyboard: the installer program on a private
// display (natively, and as an .exe under Wine), its window's states compared with its twin's in this
// process after the same keys: the questions answered with Space, Tab and Return, the copy-error
// questions, new folders made with Return, an option of a scrolling page brought into view with Tab
// and changed with Space, and a question opened by a click showing its focus at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "confirm.h"
#include "file_select.h"
#include "grid.h"
#include "redraw.h"
#include "scroll_bar.h"
#include "text_edit_dialog.h"
#include "wizard_test_support.h"
#include "wizard_scenario_support.h"

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
    WM_CONFIRM* box = open_copy_error_box(database, install_dialog_event, false);
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
  ASSERT_TRUE(wait_for_last_line(log, "\"" + gone[0] + "\" failed to unpack (bin/0-gone.bin): is missing from the package"));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("Tab"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, yes_focused, box_area), 0);
  ASSERT_TRUE(scenario.key("Return"));
  ASSERT_TRUE(wait_for_last_line(log, "\"" + gone[1] + "\" failed to unpack (bin/1-gone.bin): is missing from the package"));
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
