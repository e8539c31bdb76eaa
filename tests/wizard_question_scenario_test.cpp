// Real-window scenarios of the wizard's questions while it installs: the installer program on a private
// display (natively, and as an .exe under Wine), driven by real clicks where its twin in this process
// shows the controls: the close button and Cancel ask the quit question while the installation waits
// for the answer, a session that ends ends the installation between two files, missing entries ask
// one copy-error question at a time, a log that cannot be made is asked about as the log and the last
// page then says all that failed, and the quit question dragged rests opaque where it was let go.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "confirm.h"
#include "progress_bar.h"
#include "redraw.h"
#include "wizard_test_support.h"
#include "wizard_scenario_support.h"

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
  ASSERT_TRUE(hold_once_logged(scenario, scratch, 1));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, &held));
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
  ASSERT_TRUE(hold_once_logged(scenario, scratch, 1));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, &held));
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
  ASSERT_TRUE(hold_once_logged(scenario, scratch, 100));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, &held));
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
      state.failures += state.failure_text + "\n";
      WM_CONFIRM* box = open_copy_error_box(database, install_dialog_event, false);
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
    INSTALL_DIALOG::show_progress(page, 100, installation_failure_text(database, true).c_str());
    database->stage = STAGE_OPTIONS;
    test_seam_pointer(-1, -1);
    settle_effects();
    failed_expected = twin_screen();
    back = spot_of(page->previous_button, page);
    state.error_count = 0;
    state.step_total = 0;
    state.failures.clear();
  }

  WINDOW_SCENARIO scenario("wizard-f-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string log = scratch.installed("install_log.txt");
  WINDOW_CAPTURE shown;
  for (int i = 0; i < 2; i++) {
    SCOPED_TRACE(i);
    std::string failed =
        "\"" + gone[i] + "\" failed to unpack (bin/" + std::to_string(i) + "-gone.bin): is missing from the package";
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
  ASSERT_TRUE(wait_for_last_line(log, "\"" + gone[0] + "\" failed to unpack (bin/0-gone.bin): is missing from the package"));
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

// Scenario W: a package entry missing and the log's place held by a folder. The question of the log
// names it, the cause and what going on means; Yes to it and to the file, and the last page says
// all that failed, whole, the bar moved down for its lines, as the twin draws it (the twin tries the log
// where the program does, so that the cause is the host's own). Kept as a picture
// ("wizard-failed-long.png"; "-wine" under Wine).
TEST(WizardScenario, AFailedInstallationWithoutItsLogSaysItAllOnTheLastPage) {
  INSTALLER_SCRATCH scratch("wizard-w", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "W", {NO_LICENCE}, "missing_file = bin/0-gone.bin\n"));
  std::filesystem::create_directories(scratch.installed("install_log.txt") + "/inside");
  SPOT install, yes, finish;
  AREA box_area, page_area;
  WINDOW_CAPTURE asked, failed_expected;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    install = spot_of(page->forward_button, page);
    page_area = area_of(page);
    page = twin_page(twin, STAGE_INSTALLING);
    database->install_step(page);
    INSTALL_STATE& state = database->install_state;
    ASSERT_TRUE(state.log_failed);
    WM_CONFIRM* box = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
    ASSERT_TRUE(box && box->text && box->buttons[0]);
    EXPECT_EQ(box->text->data_buffer[0].text, state.failure_text);
    EXPECT_EQ(std::string(box->text->data_buffer[2].text).rfind("Go on without the log?", 0), 0u);
    database->stage = STAGE_OPTIONS;
    settle_effects();
    yes = spot_of(box->buttons[0]);
    box_area = area_of(box);
    asked = twin_screen();
    page_manager->close_all_dialogs(false);
    settle_effects();
    // The page once the file was skipped.
    page = twin_page(twin, STAGE_INSTALLING);
    INT_S16 bar_y = page->progress_bar->y;
    state.interrupted = false;
    state.error_count = 1;
    state.step_total = database->get_current_installation()->file_count + 1;
    state.failure_text = "\"" + scratch.installed("bin/0-gone.bin") + "\" is missing from the package.";
    INSTALL_DIALOG::show_install_complete(page);
    INSTALL_DIALOG::show_progress(page, 100, installation_failure_text(database, true).c_str());
    ASSERT_TRUE(page->failure_window);
    EXPECT_NE(failure_shown(page).find("this installation has no log"), std::string::npos);
    EXPECT_GT(page->progress_bar->y, bar_y);
    EXPECT_EQ(page->failure_window->scrollbar, nullptr);
    finish = spot_of(page->forward_button, page);
    database->stage = STAGE_OPTIONS;
    test_seam_pointer(-1, -1);
    settle_effects();
    failed_expected = twin_screen();
    state.error_count = 0;
    state.step_total = 0;
  }

  WINDOW_SCENARIO scenario("wizard-w-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(install.x, install.y));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked, box_area), 0);
  // Yes to the log and to the file; the installation goes on to its end.
  for (int i = 0; i < 2; i++) {
    ASSERT_TRUE(scenario.click(yes.x, yes.y));
    ASSERT_TRUE(scenario.move(2, 2));
    ASSERT_TRUE(scenario.wait_until_still(&shown));
  }
  for (int waited = 0; waited < 30000 && differing_pixels(shown, failed_expected, page_area) != 0; waited += 200) {
    pause_ms(200);
    ASSERT_TRUE(scenario.wait_until_still(&shown));
  }
  EXPECT_EQ(differing_pixels(shown, failed_expected, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-failed-long").c_str()));
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.errors();
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
