// Real-window scenarios of the wizard's answers: quick clicks (press and release at once, as xdotool click
// and a touchpad's tap give them) on the licence page's buttons and the quit question's answers, and
// questions whose answers are long, each answer in a place of its own where a click on it gives it. The
// installer program runs on a private display (natively, and as an .exe under Wine); where to click and
// what the window must show come from the same wizard built in this process (its twin).
#include <gtest/gtest.h>

#include <filesystem>

#include "confirm.h"
#include "wizard_test_support.h"

namespace {

// The area inside a question's border, which shows the same over any page.
AREA inside_of(WM_CONFIRM* question) {
  return {question->client->x, question->client->y, question->client_width(), question->client->height};
}

// A package of the scenario's tag without a licence, with many files (installing takes many passes) and
// the description lines.
bool build_installing_package(INSTALLER_SCRATCH& scratch, const std::string& tag, const std::string& lines) {
  add_many_small_files(scratch);
  return build_scenario_package(scratch, tag, {NO_LICENCE}, lines);
}

// The quit question of the twin over its installing page, at rest: its answers' places and its look.
struct ASKED {
  SPOT quit;            // Cancel on the installing page
  AREA leave, stay;     // the answers
  AREA inside;          // the question inside its border
  WINDOW_CAPTURE look;  // the window with the question
};
bool ask_in_twin(WIZARD_TWIN& twin, ASKED* asked) {
  INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
  if (!page) return false;
  database->stage = STAGE_OPTIONS;  // the twin's passes install nothing
  asked->quit = spot_of(page->quit_button, page);
  open_quit_dialog(0);
  settle_effects();
  WM_CONFIRM* question = quit_dialog();
  if (!question || !question->buttons[0] || !question->buttons[1]) return false;
  asked->leave = area_of(question->buttons[0]);
  asked->stay = area_of(question->buttons[1]);
  asked->inside = inside_of(question);
  test_seam_pointer(-1, -1);
  run_pass();
  asked->look = twin_screen();
  page_manager->close_all_dialogs(true);
  return true;
}

// The installer started on the package, Install clicked, and once installing has begun the program held
// still, Cancel clicked and the program let go, so that it takes the press and the release at once. The
// question at rest shows inside its border as the twin draws it; the window is kept as the picture.
bool ask_while_installing(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, SPOT install,
                          const ASKED& asked, const std::string& picture) {
  if (!start_installer(scenario, scratch, "Test Installer") || !hold_once_logged(scenario, scratch, 1) ||
      !scenario.click(install.x, install.y))
    return false;
  size_t held = 0;
  if (!hold_while_copying(scenario, scratch, &held)) return false;
  WINDOW_CAPTURE shown;
  if (!scenario.click_now(asked.quit.x, asked.quit.y) || !scenario.resume_program() ||
      !scenario.wait_until_still() || !scenario.capture(&shown))
    return false;
  EXPECT_EQ(differing_pixels(shown, asked.look, asked.inside), 0);
  return keep_picture(shown, picture_name(picture).c_str());
}

}  // namespace

// Quick clicks on the licence page: Cancel opens the quit question, its focus shown on Stay, as the twin
// draws it; Stay closes it and leaves the page as it was; Accept goes on to the options; Cancel there and
// Leave end the program with 0, nothing installed.
TEST(WizardAnswersScenario, QuickClicksOnTheLicencePageAndTheQuestionCount) {
  INSTALLER_SCRATCH scratch("wizard-quick", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "Q1"));
  SPOT cancel, accept, stay, leave, options_cancel;
  AREA page_area, question_area;
  WINDOW_CAPTURE licence, asked, options;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    INSTALL_DIALOG* page = live_page();
    cancel = spot_of(page->quit_button, page);
    accept = spot_of(page->forward_button, page);
    page_area = area_of(page);
    test_seam_pointer(-1, -1);
    run_pass();
    licence = twin_screen();
    click_on(page->quit_button);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->buttons[0] && question->buttons[1]);
    EXPECT_EQ(focus_object, question->buttons[1]);
    stay = spot_of(question->buttons[1]);
    leave = spot_of(question->buttons[0]);
    question_area = area_of(question);
    test_seam_pointer(-1, -1);
    run_pass();
    asked = twin_screen();
    click_on(question->buttons[1]);
    settle_effects();
    click_on(page->forward_button);
    page = live_page();
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    options_cancel = spot_of(page->quit_button, page);
    test_seam_pointer(-1, -1);
    run_pass();
    options = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-quick-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.click(cancel.x, cancel.y));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked, question_area), 0);
  ASSERT_TRUE(scenario.click(stay.x, stay.y));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, licence, page_area), 0);
  ASSERT_TRUE(scenario.click(accept.x, accept.y));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, options, page_area), 0);
  ASSERT_TRUE(scenario.click(options_cancel.x, options_cancel.y));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(leave.x, leave.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// The quit question while copying, with German answers of 45 and 41 characters, each whole in its own
// place of a question as wide as they need, as the twin draws it; a click near the left end of Stay goes
// on installing to the end, whose long text shows whole above the bar. Kept as pictures
// ("wizard-long-answers.png", "wizard-long-complete.png"; "-wine" under Wine).
TEST(WizardAnswersScenario, LongAnswersEachHaveTheirOwnPlaceAndStayGoesOn) {
  INSTALLER_SCRATCH scratch("wizard-answers", wizard_description_lines());
  ASSERT_TRUE(build_installing_package(
      scratch, "LA",
      "text = QUIT_TITLE;Installation abbrechen\n"
      "text = QUIT_MSG;M\xC3\xB6" "chten Sie das Installationsprogramm jetzt verlassen?\n"
      "text = QUIT_YES;Ja, das Installationsprogramm jetzt verlassen\n"
      "text = QUIT_NO;Nein, weiter installieren und hierbleiben\n"
      "text = COMPLETE;Die Installation ist abgeschlossen. Alle Dateien, Verkn\xC3\xBCpfungen und der Eintrag zum "
      "Entfernen sind jetzt an ihrem Platz; das Programm startet aus dem Startmen\xC3\xBC.\n"));
  SPOT install, finish;
  ASKED asked;
  AREA complete_text;
  WINDOW_CAPTURE complete;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    install = spot_of(live_page()->forward_button, live_page());
    ASSERT_TRUE(ask_in_twin(twin, &asked));
    EXPECT_LT(asked.leave.x + asked.leave.width, asked.stay.x);
    INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
    INSTALL_DIALOG::show_install_complete(page);
    INSTALL_DIALOG::show_progress(page, 100, wizard_text(&LANGUAGE::COMPLETE));
    database->stage = STAGE_OPTIONS;
    test_seam_pointer(-1, -1);
    run_pass();
    complete_text = area_of(page->progress_text);
    complete = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-answers-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(ask_while_installing(scenario, scratch, install, asked, "wizard-long-answers"));
  std::string log = scratch.installed("install_log.txt");
  size_t before = read_lines(log).size();
  ASSERT_TRUE(scenario.click(asked.stay.x + 30, asked.stay.y + asked.stay.height / 2));
  ASSERT_TRUE(wait_for_last_line(log, "Installation completed without any errors."));
  EXPECT_GT(read_lines(log).size(), before);
  ASSERT_TRUE(scenario.move(2, 2));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, complete, complete_text), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-complete").c_str()));
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

// Answers of 255 characters: the question is as wide as the window, each answer shortened with "..." in a
// place of its own, as the twin draws it; a click near the left end of Leave ends the installation there,
// with status 1. Kept as a picture ("wizard-longest-answers.png"; "-wine" under Wine).
TEST(WizardAnswersScenario, TheLongestAnswersEachHaveTheirOwnPlaceAndLeaveLeaves) {
  std::string leave = "Leave the installer now and keep what was copied", stay = "Stay and go on installing";
  while (leave.size() < 255) leave += " - leave";
  while (stay.size() < 255) stay += " - stay";
  leave.resize(255);
  stay.resize(255);
  INSTALLER_SCRATCH scratch("wizard-longest", wizard_description_lines());
  ASSERT_TRUE(build_installing_package(scratch, "LL", "text = QUIT_YES;" + leave + "\ntext = QUIT_NO;" + stay + "\n"));
  SPOT install;
  ASKED asked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    install = spot_of(live_page()->forward_button, live_page());
    ASSERT_TRUE(ask_in_twin(twin, &asked));
    EXPECT_LT(asked.leave.x + asked.leave.width, asked.stay.x);
  }

  WINDOW_SCENARIO scenario("wizard-longest-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(ask_while_installing(scenario, scratch, install, asked, "wizard-longest-answers"));
  ASSERT_TRUE(scenario.click(asked.leave.x + 2, asked.leave.y + asked.leave.height / 2));
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.errors();
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Installation interrupted.");
}

// Quick second clicks, as a person makes them: a double click on the licence's Accept goes one page on,
// to the options and not on to installing; a click on Install 0.1 s after the one on Stay that closed the
// quit question installs; while copying, a click on Cancel 0.1 s after Stay asks again, the installation
// waiting, and Leave then ends it with 1.
TEST(WizardAnswersScenario, AQuickClickRightAfterAnAnswerCountsAndADoubleClickIsOne) {
  INSTALLER_SCRATCH scratch("wizard-quick-second", wizard_description_lines());
  add_many_small_files(scratch);
  ASSERT_TRUE(build_scenario_package(scratch, "Q2"));
  SPOT accept, options_cancel, install;
  AREA page_area;
  ASKED asked;
  WINDOW_CAPTURE options;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    INSTALL_DIALOG* page = live_page();
    accept = spot_of(page->forward_button, page);
    click_on(page->forward_button);
    page = live_page();
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    options_cancel = spot_of(page->quit_button, page);
    install = spot_of(page->forward_button, page);
    page_area = area_of(page);
    test_seam_pointer(-1, -1);
    run_pass();
    options = twin_screen();
    ASSERT_TRUE(ask_in_twin(twin, &asked));
  }
  const SPOT stay = {asked.stay.x + asked.stay.width / 2, asked.stay.y + asked.stay.height / 2};
  const SPOT leave = {asked.leave.x + asked.leave.width / 2, asked.leave.y + asked.leave.height / 2};

  WINDOW_SCENARIO scenario("wizard-quick-second-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.double_click(accept.x, accept.y));
  ASSERT_TRUE(scenario.move(2, 2));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, options, page_area), 0);
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));

  ASSERT_TRUE(click_and_settle(scenario, options_cancel));
  ASSERT_TRUE(hold_once_logged(scenario, scratch, 100));
  ASSERT_TRUE(scenario.two_clicks_now(stay.x, stay.y, install.x, install.y, 100));
  size_t held = 0;
  ASSERT_TRUE(hold_while_copying(scenario, scratch, &held));
  ASSERT_TRUE(scenario.click_now(asked.quit.x, asked.quit.y));
  ASSERT_TRUE(scenario.resume_program());
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked.look, asked.inside), 0);
  ASSERT_TRUE(scenario.two_clicks_now(stay.x, stay.y, asked.quit.x, asked.quit.y, 100));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked.look, asked.inside), 0);
  // The question is open again: the installation waits.
  std::string log = scratch.installed("install_log.txt");
  size_t waiting = read_lines(log).size();
  pause_ms(500);
  EXPECT_EQ(read_lines(log).size(), waiting);
  EXPECT_LT(waiting, scratch.files.size());
  ASSERT_TRUE(scenario.click(leave.x, leave.y));
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.errors();
  std::vector<std::string> lines = read_lines(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Installation interrupted.");
}

// A click on the licence's Accept, the pointer out of the window and back to the same pixel, and a click
// there 0.2 s after the first: no second click of a double click, it reaches Install in Accept's place
// and installs.
TEST(WizardAnswersScenario, AQuickClickAfterThePointerLeftTheWindowCounts) {
  INSTALLER_SCRATCH scratch("wizard-leave-back", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "Q3"));
  SPOT accept;
  AREA install;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = live_page();
    accept = spot_of(page->forward_button, page);
    click_on(page->forward_button);
    page = live_page();
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    install = area_of(page->forward_button);
  }
  ASSERT_TRUE(accept.x >= install.x && accept.x < install.x + install.width && accept.y >= install.y &&
              accept.y < install.y + install.height);
  WINDOW_SCENARIO scenario("wizard-leave-back-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.two_clicks_leaving_now(accept.x, accept.y, 200));
  EXPECT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
}
