// Tests of the wizard's events and page callbacks, driven through the page manager's real update: the
// navigation buttons acting once on release, the whole course from the licence to Finish with the files
// installed, the language, installation, system-path and shortcut choices, the results of the events,
// leaving the installation early, a page rebuilt after the installation, and the background.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "about.h"
#include "check_box.h"
#include "confirm.h"
#include "file_select.h"
#include "floating_menu.h"
#include "redraw.h"
#include "grid.h"
#include "host.h"
#include "image_scroller.h"
#include "menu.h"
#include "progress_bar.h"
#include "registry.h"
#include "screen_image.h"
#include "scroll_bar.h"
#include "text_draw.h"
#include "text_edit_dialog.h"
#include "wizard_test_support.h"
#include "wm_test_support.h"

namespace {

// Passes until the installation page offers the way on; false when it does not within the limit.
bool install_through(int limit) {
  for (int i = 0; i < limit; i++) {
    run_pass();
    INSTALL_DIALOG* page = live_page();
    if (page && database->stage == STAGE_INSTALLING && page->forward_button->enabled) return true;
  }
  return false;
}

}  // namespace

TEST(WizardEvents, APressDoesNothingAndTheReleaseActsOnce) {
  WIZARD_RUN run("wizard-release");
  ASSERT_TRUE(run.start());
  INSTALL_DIALOG* page = live_page();
  ASSERT_EQ(database->stage, STAGE_LICENCE);
  WM_BUTTON* agree = page->forward_button;
  INT_S16 x = (INT_S16)(agree->x + agree->width / 2), y = (INT_S16)(agree->y + agree->height / 2);
  press(x, y);
  EXPECT_EQ(database->stage, STAGE_LICENCE);
  EXPECT_EQ(live_page(), page);
  release(x, y);
  EXPECT_EQ(database->stage, STAGE_OPTIONS);
  // The page was rebuilt for the options at the old page's place.
  page = live_page();
  ASSERT_TRUE(page);
  EXPECT_EQ(std::string(page->get_title()), "Options");
  EXPECT_EQ(page->x, 70);
  EXPECT_EQ(page->y, 60);
  // Back is shut on the options page without an installation page before it.
  EXPECT_EQ(click_on(page->previous_button), 0);
  EXPECT_EQ(database->stage, STAGE_OPTIONS);
}

// A page at rest, with the pointer away, leaves the frame loop waiting for input alone.
TEST(WizardEvents, AnIdlePageAsksTheFrameLoopForNothing) {
  WIZARD_RUN run("wizard-idle");
  ASSERT_TRUE(run.start());
  let_effects_end();
  test_seam_release_input();
  run_pass();
  run_pass();
  EXPECT_EQ(pass_asked_in(), -1);
}

TEST(WizardEvents, TheWholeCourseInstallsAndFinishEndsTheProgram) {
  WIZARD_RUN run("wizard-course");
  ASSERT_TRUE(run.start());
  click_on(live_page()->forward_button);  // I agree
  ASSERT_EQ(database->stage, STAGE_OPTIONS);
  database->use_system_paths = 0;
  click_on(live_page()->forward_button);  // Install
  ASSERT_EQ(database->stage, STAGE_INSTALLING);
  INSTALL_DIALOG* page = live_page();
  EXPECT_EQ(label_of(page->forward_button), "Finish");
  EXPECT_EQ(page->forward_button->enabled, 0);
  ASSERT_TRUE(install_through(50));
  page = live_page();
  EXPECT_EQ(page->progress_bar->value, 100);
  EXPECT_EQ(text_of(page->progress_text), "Complete");
  EXPECT_EQ(label_of(page->quit_button), "About");
  EXPECT_EQ(get_idle_wait(), 50u);
  for (const std::string& file : run.scratch.files)
    EXPECT_EQ(read_whole_file(run.scratch.installed(file)), read_whole_file(run.scratch.source + "files/" + file))
        << file;
  std::vector<std::string> log = read_lines(run.scratch.installed("install_log.txt"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  char display[512] = "", uninstall[512] = "";
  EXPECT_TRUE(read_uninstall_entry("Velk Test App", display, uninstall, sizeof display));
  // Finish ends the program from the last page.
  EXPECT_EQ(click_on(page->forward_button), WM_RESULT_LAST_PAGE_CLOSED);
  EXPECT_EQ(database->stage, STAGE_FINISHED);
}

TEST(WizardEvents, DisagreeEndsTheProgramAndInstallsNothing) {
  WIZARD_RUN run("wizard-disagree");
  ASSERT_TRUE(run.start());
  EXPECT_EQ(click_on(live_page()->previous_button), WM_RESULT_LAST_PAGE_CLOSED);
  EXPECT_EQ(database->stage, STAGE_FINISHED);
  EXPECT_FALSE(std::filesystem::exists(run.scratch.destination));
}

TEST(WizardEvents, TheChosenLanguageDecidesWhetherItsLicenceComes) {
  // English has a licence, Deutsch none.
  WIZARD_RUN run("wizard-language", "language = Deutsch;;\ntext = INSTALLER_TITLE;Installationsprogramm\n");
  ASSERT_TRUE(run.start());
  ASSERT_EQ(database->stage, STAGE_LANGUAGE);
  // The buttons were built with English current, whose next page is its licence: Deutsch skips it.
  WM_BUTTON* deutsch = static_cast<WM_BUTTON*>(page_grid->cell(0, 1));
  EXPECT_EQ(deutsch->event_user2, (INT_U32)STAGE_LICENCE);
  EXPECT_EQ(click_on(deutsch), 0);
  EXPECT_EQ(database->current_language, 1);
  EXPECT_EQ(database->stage, STAGE_OPTIONS);
  // Deutsch gives no texts: the packer's built-in words, not English's own.
  EXPECT_EQ(std::string(live_page()->get_title()), "Where and how");
  // From Deutsch back to the language page, English brings its licence.
  run.show_stage(STAGE_LANGUAGE);
  WM_BUTTON* english = static_cast<WM_BUTTON*>(page_grid->cell(0, 0));
  EXPECT_EQ(english->event_user2, (INT_U32)STAGE_OPTIONS);
  click_on(english);
  EXPECT_EQ(database->current_language, 0);
  EXPECT_EQ(database->stage, STAGE_LICENCE);
  EXPECT_EQ(std::string(live_page()->get_title()), "Licence");
}

TEST(WizardEvents, InstallationChoiceChecksOneBoxAndResetsTheDestination) {
  WIZARD_RUN run("wizard-installation");
  ASSERT_TRUE(run.load());
  add_second_installation();
  ASSERT_TRUE(run.begin());
  run.show_stage(STAGE_INSTALL_TYPE);
  ASSERT_TRUE(page_grid);
  WM_CHECK_BOX* first = static_cast<WM_CHECK_BOX*>(page_grid->cell(0, 0));
  WM_CHECK_BOX* second = static_cast<WM_CHECK_BOX*>(page_grid->cell(0, 1));
  ASSERT_EQ(first->state, 1);
  // The checked installation clicked again stays checked, and its destination comes back.
  std::strcpy(database->install_path, "$SCRATCH/elsewhere");
  click_on(first->label);
  EXPECT_EQ(first->state, 1);
  EXPECT_EQ(database->current_installation, 0);
  EXPECT_STREQ(database->install_path, "$SCRATCH/dest");
  // The other one takes the check and its own destination.
  click_on(second->box);
  EXPECT_EQ(first->state, 0);
  EXPECT_EQ(second->state, 1);
  EXPECT_EQ(database->current_installation, 1);
  EXPECT_STREQ(database->install_path, "$SCRATCH/minimal");
  // Next goes to the options; Back there returns to the installation page.
  click_on(live_page()->forward_button);
  ASSERT_EQ(database->stage, STAGE_OPTIONS);
  EXPECT_EQ(live_page()->previous_button->enabled, 1);
  click_on(live_page()->previous_button);
  EXPECT_EQ(database->stage, STAGE_INSTALL_TYPE);
  EXPECT_EQ(page_grid->cell(0, 1)->state, 1);
}

TEST(WizardEvents, OptionCheckBoxesSetTheChoices) {
  WIZARD_RUN run("wizard-option-choices");
  ASSERT_TRUE(run.start());
  database->system_info().has_system_paths = 1;
  database->use_system_paths = 1;
  run.show_stage(STAGE_OPTIONS);
  ASSERT_TRUE(page_grid && location_button && browse_button);
  WM_CHECK_BOX* system = static_cast<WM_CHECK_BOX*>(page_grid->cell(1, 2));
  ASSERT_TRUE(system && (system->kind & WM_KIND_CHECK_BOX));
  EXPECT_EQ(location_button->enabled, 0);
  EXPECT_EQ(label_of(location_button), "The system folders");
  click_on(system->box);
  EXPECT_EQ(database->use_system_paths, 0);
  EXPECT_EQ(location_button->enabled, 1);
  EXPECT_EQ(browse_button->enabled, 1);
  EXPECT_EQ(label_of(location_button), expand_path_text("$SCRATCH/dest", nullptr));
  click_on(system->label);
  EXPECT_EQ(database->use_system_paths, 1);
  EXPECT_EQ(location_button->enabled, 0);
  EXPECT_EQ(browse_button->enabled, 0);
  EXPECT_EQ(label_of(location_button), "The system folders");

  WM_CHECK_BOX* desktop = static_cast<WM_CHECK_BOX*>(page_grid->cell(1, 7));
  WM_CHECK_BOX* menu = static_cast<WM_CHECK_BOX*>(page_grid->cell(1, 8));
  ASSERT_TRUE(desktop && menu);
  EXPECT_EQ(desktop->event_user1, (INT_U32)WIZARD_EVENT_DESKTOP);
  EXPECT_EQ(menu->event_user1, (INT_U32)WIZARD_EVENT_MENU);
  click_on(desktop->box);
  EXPECT_EQ(database->desktop_shortcut, 0);
  EXPECT_EQ(database->menu_shortcut, 1);
  click_on(menu->box);
  EXPECT_EQ(database->menu_shortcut, 0);
  click_on(desktop->box);
  EXPECT_EQ(database->desktop_shortcut, 1);
  // The choices survive a rebuilt page.
  run.show_stage(STAGE_OPTIONS);
  EXPECT_EQ(page_grid->cell(1, 7)->state, 1);
  EXPECT_EQ(page_grid->cell(1, 8)->state, 0);
}

TEST(WizardEvents, EventResults) {
  WIZARD_RUN run("wizard-results");
  ASSERT_TRUE(run.start());
  struct RESULT_CASE {
    INT_U32 event, parameter;
    WM_RESULT result;
    INT_S32 stage;  // the stage afterwards
  };
  const RESULT_CASE cases[] = {
      {WIZARD_EVENT_STAGE, 5, WM_RESULT_REBUILD_CLEAR, 5},
      {WIZARD_EVENT_STAGE, 9, WM_RESULT_LAST_PAGE_CLOSED, 9},
      {WIZARD_EVENT_GO_ON, 0, WM_RESULT_CLOSE_DIALOG, 4},
      {102, 9, 0, 4},
      {0xFFFFFFFFu, 9, 0, 4},
      {50, 9, 0, 4},
      {WIZARD_EVENT_DESKTOP_SIZE, 1, WM_RESULT_LAST_PAGE_CLOSED, 4},
      {WIZARD_EVENT_DESKTOP_SIZE, 0, 0, 4},
      {WIZARD_EVENT_FOLDER, 0, 0, 4},
  };
  for (const RESULT_CASE& c : cases) {
    SCOPED_TRACE(c.event);
    database->stage = STAGE_LICENCE;
    EXPECT_EQ(install_dialog_event(nullptr, c.event, c.parameter, 0), c.result);
    EXPECT_EQ(database->stage, c.stage);
  }
  // A button's press call (not a release) does nothing, whatever the event.
  WM_BUTTON* forward = live_page()->forward_button;
  forward->released = 0;
  EXPECT_EQ(install_dialog_event(forward, WIZARD_EVENT_STAGE, STAGE_FINISHED, 0), 0);
  EXPECT_EQ(database->stage, STAGE_LICENCE);
}

TEST(WizardEvents, LeavingTheInstallationEarlyGivesBackTheIdleWaitAndTheBasePath) {
  WIZARD_RUN run("wizard-leave");
  ASSERT_TRUE(run.start());
  set_idle_wait(50);
  run.show_stage(STAGE_INSTALLING);
  run_pass();  // the preparation
  run_pass();  // the first file
  EXPECT_TRUE(database->install_state.running);
  EXPECT_EQ(get_idle_wait(), 0u);
  // "$BASE" names the destination while the installation runs.
  FOLDER base;
  ASSERT_TRUE(base.set("$BASE"));
  EXPECT_EQ(std::string(base.path), run.scratch.destination);
  // The copy error box's No: back to the options.
  EXPECT_EQ(install_dialog_event(nullptr, WIZARD_EVENT_STAGE, STAGE_OPTIONS, 0), WM_RESULT_REBUILD_CLEAR);
  EXPECT_FALSE(database->install_state.running);
  EXPECT_EQ(database->install_state.step_counter, 0);
  EXPECT_EQ(get_idle_wait(), 50u);
  ASSERT_TRUE(base.set("$BASE"));
  EXPECT_NE(std::string(base.path), run.scratch.destination);
}

// The system's request to end the program (Ctrl+C, a service manager's stop, a closed terminal) stops
// the installing page's installation at its next pass, as the frame loop then ends: nothing more is
// installed, and the log ends with the line saying the installation was interrupted.
TEST(WizardEventsDeathTest, ARequestToEndStopsTheInstallationAtTheNextPass) {
  EXPECT_EXIT(
      {
        WIZARD_RUN run("wizard-end-request");
        for (int i = 0; i < 20; i++) run.scratch.add_file("many/f" + std::to_string(i) + ".bin", pseudo_random_bytes(100, i));
        if (!run.start()) std::_Exit(3);
        run.show_stage(STAGE_INSTALLING);
        run_passes(4);  // four files (showing the stage prepared the installation)
        watch_end_requests();
        request_program_end();
        run_pass();
        const INSTALL_STATE& state = database->install_state;
        std::vector<std::string> log = read_lines(run.scratch.installed("install_log.txt"));
        if (!state.interrupted || state.running || log.size() != 13 || log.back() != "Installation interrupted.")
          std::_Exit(4);
        run_passes(3);
        std::_Exit(read_lines(run.scratch.installed("install_log.txt")) == log && get_idle_wait() == 50 ? 0 : 5);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(WizardEvents, APageRebuiltAfterTheInstallationKeepsTheWayOn) {
  WIZARD_RUN run("wizard-resize");
  ASSERT_TRUE(run.start());
  run.show_stage(STAGE_INSTALLING);
  ASSERT_TRUE(install_through(50));
  // The window changes size: the page manager rebuilds the page.
  INT_U32 before = object_handle(live_page());
  test_seam_screen(700, 520);
  run_pass();
  INSTALL_DIALOG* page = live_page();
  ASSERT_TRUE(page);
  EXPECT_NE(object_handle(page), before);
  EXPECT_EQ(page->forward_button->enabled, 1);
  EXPECT_EQ(label_of(page->forward_button), "Finish");
  EXPECT_EQ(label_of(page->quit_button), "About");
  EXPECT_EQ(page->quit_button->event_user1, (INT_U32)WIZARD_EVENT_ABOUT);
  EXPECT_EQ(page->progress_bar->value, 100);
  EXPECT_EQ(text_of(page->progress_text), "Complete");
  // Nothing is installed twice.
  run_passes(3);
  EXPECT_EQ(database->install_state.step_counter, database->install_state.step_total + 2);
}

// The destination cannot be made: the page says so, inside the window (no box of the system), with the
// cause; Back leads to the options, and the program's status is 1.
TEST(WizardEvents, ADestinationThatCannotBeMadeIsSaidOnThePage) {
  WIZARD_RUN run("wizard-stopped");
  ASSERT_TRUE(run.start());
  // A file stands where the destination's folder would be.
  ASSERT_TRUE(write_whole_file(run.scratch.root + "blocked", text_bytes("a file\n")));
  std::strcpy(database->install_path, "$SCRATCH/blocked/dest");
  static std::string said;
  said.clear();
  set_message_box_hook([](const char*, const char* text) { said += text; });
  INSTALL_DIALOG* page = run.show_stage(STAGE_INSTALLING);
  run_pass();
  set_message_box_hook(nullptr);
  EXPECT_EQ(said, "");
  // The message names the destination as a path of the host; the stored form stays.
  std::string shown = text_of(page->progress_text);
  EXPECT_EQ(shown, "The destination folder \"" + run.scratch.root + "blocked" + PATH_SEPARATOR + "dest\" cannot be created (" +
                      file_in_the_way_words() + ").");
  EXPECT_STREQ(database->install_path, "$SCRATCH/blocked/dest");
  EXPECT_EQ(get_idle_wait(), 50u);
  EXPECT_EQ(label_of(page->forward_button), "Finish");
  EXPECT_EQ(page->forward_button->event_user2, (INT_U32)STAGE_FINISHED);
  EXPECT_EQ(page->forward_button->enabled, 1);
  EXPECT_EQ(page->previous_button->enabled, 1);
  // Nothing was installed, and the page no longer says it is installing.
  EXPECT_EQ(page->progress_bar->value, 0);
  EXPECT_EQ(std::string(page->get_title()), "Copy error");
  EXPECT_EQ(page->quit_button->enabled, 0);
  EXPECT_EQ(click_on(page->previous_button), 0);
  EXPECT_EQ(database->stage, STAGE_OPTIONS);
  EXPECT_EQ(end_wizard(), EXIT_JOB_FAILED);
}

// A background that would drift but has no moving picture (the packer's default) is still too.
TEST(WizardEvents, AStillBackgroundIsCopiedIntoTheDisplayLayer) {
  WIZARD_RUN run("wizard-still");
  ASSERT_TRUE(run.load());
  database->BACKGROUND.speed = 600;
  database->background_image.set_size(4, 3);
  COLOUR colour = 0xFF123456;
  database->background_image.clear(&colour, 1);
  ASSERT_TRUE(run.begin());
  EXPECT_EQ(background_scroller, nullptr);
  // The picture at the top left of a layer that covers the window, opaque black beyond it.
  IMAGE& layer = run.screen->manager->display_layers[0];
  ASSERT_EQ(layer.width, 640);
  ASSERT_EQ(layer.height, 480);
  EXPECT_EQ(*layer.pixel_at(3, 2), 0xFF123456u);
  EXPECT_EQ(*layer.pixel_at(4, 2), 0xFF000000u);
  EXPECT_EQ(screen_pixel(1, 1), 0xFF123456u);
}

TEST(WizardEvents, AHintReachingPastThePageLeavesNothingBehind) {
  WIZARD_RUN run("wizard-hint-trace");
  ASSERT_TRUE(run.start());
  // The pixels of the hint's rectangle that lie outside the page show the window's background.
  auto background_around_page = [](const AREA& hint, const AREA& page) {
    int left_over = 0;
    for (int y = hint.y; y < hint.y + hint.height; y++)
      for (int x = hint.x; x < hint.x + hint.width; x++)
        if ((x >= page.x + page.width || y >= page.y + page.height) &&
            screen_pixel((INT_S16)x, (INT_S16)y) != 0xFF000000u)
          left_over++;
    return left_over;
  };
  for (bool change_page : {false, true}) {
    SCOPED_TRACE(change_page);
    INSTALL_DIALOG* page = live_page();
    WM_BUTTON* next = page->forward_button;
    // A hint stays inside the page where it fits; this one is wider than the page.
    std::string wide;
    while (text_width(draw_target, -1, -1, -1, wide.c_str(), -1, false) <= page->width) wide += "Next step. ";
    next->set_hint(wide.c_str());
    ASSERT_GT(next->hint->width, page->width);
    INT_S16 x = (INT_S16)(next->x + next->width / 2), y = (INT_S16)(next->y + next->height / 2);
    test_seam_set_seconds(5000, 0);
    move_pointer(x, y);
    test_seam_set_seconds(5002, 0);
    move_pointer(x, y);
    ASSERT_TRUE(is_top_level(next->hint));
    AREA hint = area_of(next->hint), page_area = area_of(page);
    ASSERT_GT(hint.x + hint.width, page_area.x + page_area.width);  // it reaches past the page
    if (change_page) {
      click_on(next);
      ASSERT_EQ(database->stage, STAGE_OPTIONS);
    } else {
      move_pointer(5, 5);
    }
    EXPECT_EQ(background_around_page(hint, page_area), 0);
  }
}

TEST(WizardEvents, TheBackgroundDriftsOnlyAroundASmallerPage) {
  struct DRIFT_CASE {
    INT_S16 dialog_width, dialog_height;
    bool moves;
  };
  const DRIFT_CASE cases[] = {{640, 300, false}, {500, 480, false}, {639, 479, true}};
  for (const DRIFT_CASE& c : cases) {
    SCOPED_TRACE(c.dialog_width);
    WIZARD_RUN run("wizard-drift");
    ASSERT_TRUE(run.load());
    database->BACKGROUND.speed = 4000;
    database->BACKGROUND.start_offset_ms = 500;
    const std::string folder = run.scratch.root.substr(0, run.scratch.root.size() - 1);
    FOLDER pictures;
    ASSERT_TRUE(pictures.set_if_folder(folder.c_str()));
    ASSERT_TRUE(save_solid_picture(&pictures, "drift", 64, 48, 0xFF336699));
    pictures.get_portable_text(database->BACKGROUND.path, nullptr);
    std::strcpy(database->BACKGROUND.filename, "drift.png");
    database->DIALOG.width = c.dialog_width;
    database->DIALOG.height = c.dialog_height;
    database->DIALOG.x = database->DIALOG.y = 0;
    ASSERT_TRUE(run.begin());
    ASSERT_TRUE(background_scroller);
    run_pass();
    INT_S16 x = background_scroller->offset_x;
    // Before the start offset the background stays at its start, and the loop waits for the start.
    advance_ms(400);
    run_pass();
    EXPECT_EQ(background_scroller->offset_x, 0);
    if (c.moves) {
      EXPECT_EQ(pass_asked_in(), 100);
    }
    advance_ms(1100);
    run_pass();
    EXPECT_EQ(background_scroller->offset_x != x, c.moves);
    if (c.moves) {
      EXPECT_EQ(pass_asked_in(), 0);  // it moves with the clock: the next pass at the idle wait (0 here)
    }
  }
}

// A file that fails asks the question, naming the file and the cause, and the installation waits for
// the answer with the program at rest. Yes skips the file: the page then says what failed, offers Finish
// and Back, nothing is registered and the program's status is 1. No returns to the options, the log
// saying the installation was interrupted; a try after it that succeeds ends the program with status 0.
TEST(WizardEvents, TheCopyErrorQuestionWaitsGoesOnOrReturnsToTheOptions) {
  for (bool go_on : {true, false}) {
    SCOPED_TRACE(go_on);
    WIZARD_RUN run("wizard-copy-error");
    ASSERT_TRUE(run.load());
    std::strcpy(database->languages[0].COPY_ERROR_TITLE, "Kopierfehler");
    ASSERT_TRUE(run.begin());
    const std::string packed = database->installations[0].files[1].packed_name;
    std::strcpy(database->installations[0].files[1].packed_name, "no such entry");
    database->use_system_paths = 0;
    set_idle_wait(50);
    run.show_stage(STAGE_INSTALLING);
    WM_CONFIRM* box = nullptr;
    for (int i = 0; i < 10 && !box; i++) {
      run_pass();
      box = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
    }
    ASSERT_TRUE(box && box->text);
    EXPECT_EQ(std::string(box->get_title()), "Kopierfehler");
    EXPECT_EQ(box->buttons[0]->event_user1, (INT_U32)WIZARD_EVENT_GO_ON);
    EXPECT_EQ(box->buttons[1]->event_user1, (INT_U32)WIZARD_EVENT_STAGE);
    EXPECT_EQ(box->buttons[1]->event_user2, (INT_U32)STAGE_OPTIONS);
    const std::string failure = "\"" + run.scratch.installed("bin/run.sh") + "\" is missing from the package.";
    EXPECT_EQ(box->text->data_buffer[box->text->data_count - 1].text, failure);
    INT_S32 step = database->install_state.step_counter;
    let_effects_end();
    run_passes(3);
    EXPECT_EQ(database->install_state.step_counter, step);
    EXPECT_EQ(get_idle_wait(), 50u);
    EXPECT_EQ(pass_asked_in(), -1);  // the loop waits for input alone
    std::string log = run.scratch.installed("install_log.txt");
    if (go_on) {
      click_on(box->buttons[0]);
      ASSERT_TRUE(install_through(20));
      INSTALL_DIALOG* page = live_page();
      EXPECT_EQ(text_of(page->progress_text), "1 file could not be installed: " + failure);
      // The page says what happened: the package's title for a copy error, the share of the files
      // installed on the bar (which the step's last report of 100 does not fill), nothing to cancel.
      INT_S32 files = database->installations[0].file_count;
      for (bool rebuilt : {false, true}) {
        if (rebuilt) page = run.show_stage(STAGE_INSTALLING);
        EXPECT_EQ(std::string(page->get_title()), "Kopierfehler") << rebuilt;
        EXPECT_EQ(page->progress_bar->value, (files - 1) * 100 / files) << rebuilt;
        EXPECT_EQ(page->quit_button->enabled, 0) << rebuilt;
      }
      EXPECT_EQ(label_of(page->forward_button), "Finish");
      EXPECT_EQ(page->forward_button->event_user2, (INT_U32)STAGE_FINISHED);
      EXPECT_EQ(page->previous_button->enabled, 1);
      EXPECT_EQ(page->previous_button->event_user2, (INT_U32)STAGE_OPTIONS);
      EXPECT_EQ(read_whole_text(log).find("create_"), std::string::npos);
      EXPECT_EQ(read_whole_text(log).find("RegKey"), std::string::npos);
      EXPECT_EQ(read_lines(log).back(), "Installation completed with 1 errors.");
    } else {
      EXPECT_EQ(click_on(box->buttons[1]), 0);
      EXPECT_EQ(database->stage, STAGE_OPTIONS);
      EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);
      EXPECT_FALSE(database->install_state.running);
      EXPECT_EQ(read_lines(log).back(), "Installation interrupted.");
      // Another try, the entry in its place again, installs all of it: nothing of the failed one stays.
      std::strcpy(database->installations[0].files[1].packed_name, packed.c_str());
      run.show_stage(STAGE_INSTALLING);
      ASSERT_TRUE(install_through(20));
      EXPECT_NE(read_whole_text(log).find("RegKey"), std::string::npos);
      EXPECT_EQ(read_lines(log).back(), "Installation completed without any errors.");
    }
    EXPECT_EQ(get_idle_wait(), 50u);
    EXPECT_EQ(end_wizard(), go_on ? EXIT_JOB_FAILED : EXIT_JOB_DONE);
  }
}

// A shortcut that cannot be made (its program folder names no path variable) is said on the last page,
// which offers Finish and Back with the bar full (every file is in place), and the program ends with 1.
TEST(WizardEvents, AShortcutNotMadeIsSaidOnTheLastPage) {
  WIZARD_RUN run("wizard-not-made");
  ASSERT_TRUE(run.load());
  std::strcpy(database->languages[0].COPY_ERROR_TITLE, "Kopierfehler");
  std::strcpy(database->installations[0].items[0].program_path_from_inst_loc, "bin");
  ASSERT_TRUE(run.begin());
  database->use_system_paths = 0;
  database->desktop_shortcut = 1;
  run.show_stage(STAGE_INSTALLING);
  ASSERT_TRUE(install_through(20));
  INSTALL_DIALOG* page = live_page();
  const std::string said = "Desktop shortcut \"Test App\" not made: its program folder \"bin\" begins with no path "
                           "variable.";
  for (bool rebuilt : {false, true}) {
    if (rebuilt) page = run.show_stage(STAGE_INSTALLING);
    EXPECT_EQ(text_of(page->progress_text), said) << rebuilt;
    EXPECT_EQ(std::string(page->get_title()), "Kopierfehler") << rebuilt;
    EXPECT_EQ(page->progress_bar->value, 100) << rebuilt;
  }
  EXPECT_EQ(label_of(page->forward_button), "Finish");
  EXPECT_EQ(page->previous_button->event_user2, (INT_U32)STAGE_OPTIONS);
  EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);  // nothing to answer: the files are all in place
  EXPECT_EQ(end_wizard(), EXIT_JOB_FAILED);
}

TEST(WizardEvents, TheAboutBoxOpensFromTheWizardAndOnRequest) {
  WIZARD_RUN run("wizard-about");
  ASSERT_TRUE(run.load());
  database->ABOUT.x = 30;
  database->ABOUT.y = 40;
  database->ABOUT.width = 400;
  database->ABOUT.height = 300;
  database->ABOUT.can_drag = 0;
  database->skin_icons[DATABASE::yes_icon].set_size(5, 7);
  ASSERT_TRUE(run.begin());
  INSTALL_DIALOG* page = run.show_stage(STAGE_README);
  ASSERT_EQ(page->quit_button->event_user1, (INT_U32)WIZARD_EVENT_ABOUT);
  click_on(page->quit_button);
  WM_ABOUT* about = static_cast<WM_ABOUT*>(find_top_level(WM_KIND_ABOUT));
  ASSERT_TRUE(about);
  EXPECT_EQ(about->slide_end_x, 30);
  EXPECT_EQ(about->slide_end_y, 40);
  EXPECT_EQ(about->width, 400);
  EXPECT_EQ(about->height, 300);
  EXPECT_EQ(about->draggable, 0);
  EXPECT_EQ(std::string(about->get_title()), "About");
  EXPECT_EQ(label_of(about->close_button), "OK");
  EXPECT_EQ(about->close_button->icon.width, 5);
  // Its button closes it, and the page goes on.
  let_effects_end();
  click_on(about->close_button);
  let_effects_end();
  EXPECT_EQ(find_top_level(WM_KIND_ABOUT), nullptr);
  EXPECT_EQ(live_page(), page);

  // The frame driver's request: the language's texts only where it gives them.
  std::strcpy(database->languages[0].ABOUT, "");
  std::strcpy(database->languages[0].OK_BUTTON, "");
  open_about_box(false);
  about = static_cast<WM_ABOUT*>(find_top_level(WM_KIND_ABOUT));
  ASSERT_TRUE(about);
  EXPECT_EQ(std::string(about->get_title()), "About");
  EXPECT_EQ(label_of(about->close_button), "Close");
  EXPECT_EQ(about->close_button->icon.width, 0);
  std::strcpy(database->languages[0].ABOUT, "Info");
  std::strcpy(database->languages[0].OK_BUTTON, "Fine");
  open_about_box(false);
  about = static_cast<WM_ABOUT*>(find_top_level(WM_KIND_ABOUT));
  EXPECT_EQ(std::string(about->get_title()), "Info");
  EXPECT_EQ(label_of(about->close_button), "Fine");
}

TEST(WizardEvents, TheFolderDialogChoosesTheDestination) {
  WIZARD_RUN run("wizard-folder");
  ASSERT_TRUE(run.start());
  std::filesystem::create_directories(run.scratch.root + "elsewhere/deeper");
  database->use_system_paths = 0;
  database->FILE_SELECT.can_drag = 0;
  database->FILE_SELECT.new_folder_too = 1;
  database->skin_icons[DATABASE::new_folder_icon].set_size(9, 4);
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  ASSERT_TRUE(browse_button && location_button);
  // The press does nothing; the release opens one dialog.
  INT_S16 x = (INT_S16)(browse_button->x + browse_button->width / 2), y = (INT_S16)(browse_button->y + 3);
  press(x, y);
  EXPECT_EQ(find_top_level(WM_KIND_FILE_SELECT), nullptr);
  release(x, y);
  run_pass();
  WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
  ASSERT_TRUE(selector);
  EXPECT_EQ(selector->mode, FILE_SELECT_FOLDER);
  // The destination does not exist yet: the dialog starts in the deepest of its folders that does.
  FOLDER destination;
  ASSERT_TRUE(destination.set("$SCRATCH"));
  EXPECT_TRUE(selector->folder.equals(&destination));
  EXPECT_EQ(std::string(selector->get_title()), "Choose a folder");
  EXPECT_EQ(text_of(selector->message), "The folder to install into:");
  EXPECT_EQ(text_of(selector->location_label), "Look in");
  EXPECT_EQ(label_of(selector->ok_button), "OK");
  EXPECT_EQ(label_of(selector->cancel_button), "Cancel");
  EXPECT_EQ(label_of(selector->new_folder_button), "New folder");
  EXPECT_STREQ(selector->my_computer_text.text, "Computer");
  EXPECT_STREQ(selector->new_folder_title.text, "New folder");
  EXPECT_STREQ(selector->new_folder_prompt.text, "The new folder's name:");
  EXPECT_EQ(selector->new_folder_button->icon.width, 9);
  EXPECT_EQ(selector->new_folder_at_own_position, 1);
  EXPECT_EQ(selector->draggable, 0);
  EXPECT_EQ(object_from_handle(selector->click_user1), page);
  EXPECT_EQ(find_top_level(WM_KIND_FILE_SELECT), selector);

  // Cancel changes nothing and closes it.
  let_effects_end();
  click_on(selector->cancel_button);
  let_effects_end();
  EXPECT_EQ(find_top_level(WM_KIND_FILE_SELECT), nullptr);
  EXPECT_STREQ(database->install_path, "$SCRATCH/dest");

  // A chosen folder is stored in path-variable form and shown expanded on the location button.
  click_on(location_button);
  selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
  ASSERT_TRUE(selector);
  ASSERT_TRUE(selector->folder.set("$SCRATCH/elsewhere/deeper"));
  let_effects_end();
  // The window is resized while the dialog is open: the page is rebuilt under it, and the answer goes
  // to the new page's location button.
  test_seam_screen(660, 500);
  run_pass();
  EXPECT_NE(live_page(), nullptr);
  let_effects_end();
  click_on(selector->ok_button);
  let_effects_end();
  EXPECT_EQ(find_top_level(WM_KIND_FILE_SELECT), nullptr);
  FOLDER chosen;
  ASSERT_TRUE(chosen.set(database->install_path));
  EXPECT_EQ(std::string(chosen.path), run.scratch.root + "elsewhere" + PATH_SEPARATOR + "deeper");
  EXPECT_EQ(database->install_path[0], '$');
  EXPECT_EQ(label_of(location_button), expand_path_text(database->install_path, nullptr));
}

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
  EXPECT_EQ(label_of(location_button), wizard_text(&LANGUAGE::SELECT_OPTIONS_SYSPATHS_SELECTED));
  EXPECT_EQ(live_page()->forward_button->enabled, 1);
}

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
  for (const char* folder : {"dest", "ours", "empty"}) std::filesystem::create_directories(root + folder);
  ASSERT_TRUE(write_whole_file(root + "dest/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/dest\nApplication: anderes-programm\n"
                                          "Installation: Komplett\n")));
  ASSERT_TRUE(write_whole_file(root + "ours/install_log.txt",
                               text_bytes("Installed Files\nSettings: 0 0 $SCRATCH/ours\nApplication: velk-test-app\n"
                                          "Installation: Test App\n")));
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
  auto choose = [&](const char* folder) {
    click_on(browse_button);
    WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
    ASSERT_TRUE(selector);
    ASSERT_TRUE(selector->folder.set(folder));
    let_effects_end();
    click_on(selector->ok_button);
    let_effects_end();
  };

  choose("$SCRATCH/empty");
  expect_page(false, "", "No earlier installation to update was found in this folder");
  choose("$SCRATCH/ours");
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
  remove_named_path("$FONTDATA");
}

// ---------------------------------------------------------------------------------------------------
// The pointer resting on a control

namespace resting {

INT_S16 pointer_x = -1, pointer_y = -1;
INT_U32 first_tick = 0, end_tick = 0;
int passes = 0;
// A loop that never waits never moves the test clock on: it ends here.
const int PASS_LIMIT = 2000;

// The installer's per-pass update: the page manager's pass, then the frame presented. The pointer is
// put back each pass, as the real window's own pointer (under Wine) may be reported meanwhile.
INT_U8 update() {
  test_seam_pointer(pointer_x, pointer_y);
  if (++passes >= PASS_LIMIT) quit_flag = 1;
  page_manager->update(false);
  present_frame(-1);
  return 1;
}

// After every pass and every round of the loop's wait: the seconds clock follows the tick clock (a
// hint's wait counts seconds), and the loop ends once the stretch has passed.
void after_pass() {
  INT_U32 now = get_tick_count();
  test_seam_set_seconds(1000000 + (now - first_tick) / 1000, 0);
  if ((INT_S32)(now - end_tick) >= 0) quit_flag = 1;
}

// The frame loop's passes over ms of the test clock with the pointer at (x, y).
int passes_over(INT_S16 x, INT_S16 y, INT_U32 ms) {
  pointer_x = x;
  pointer_y = y;
  passes = 0;
  end_tick = get_tick_count() + ms;
  test_seam_on_pass(after_pass);
  run_frame_loop(update);
  test_seam_on_pass(nullptr);
  quit_flag = 0;
  return passes;
}

// The main window the program has (under Wine a real one, natively a screen without X), so that the
// pointer shapes are taken; closed at the end.
struct MAIN_WINDOW_OPEN {
  bool open;
  MAIN_WINDOW_OPEN() {
#ifndef _WIN32
    setenv(HEADLESS_VARIABLE, "1", 1);
#endif
    open = open_graphics_window("Resting pointer", 640, 480, 0, 0) == 1;
  }
  ~MAIN_WINDOW_OPEN() { close_main_window(-1); }
};

enum DIALOG { NO_DIALOG, QUIT_QUESTION, FOLDER_DIALOG, LOCATION_MENU, NEW_FOLDER_DIALOG, ABOUT_BOX };

WM_FILE_SELECT* folder_dialog() { return static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT)); }
WM_TEXT_EDIT_DIALOG* new_folder_dialog() {
  return static_cast<WM_TEXT_EDIT_DIALOG*>(find_top_level(WM_KIND_TEXT_EDIT_DIALOG));
}

WM_CHECK_BOX* first_check_box() {
  for (INT_S16 row = 0; page_grid && row < page_grid->row_count; row++) {
    WM_SCREEN_OBJECT* cell = page_grid->cell(1, row);
    if (cell && (cell->kind & WM_KIND_CHECK_BOX)) return static_cast<WM_CHECK_BOX*>(cell);
  }
  return nullptr;
}

struct CONTROL {
  const char* name;
  INT_S32 stage;
  DIALOG dialog;
  WM_SCREEN_OBJECT* (*find)();
};

const CONTROL CONTROLS[] = {
    {"button with a hint", STAGE_LICENCE, NO_DIALOG, [] { return (WM_SCREEN_OBJECT*)live_page()->forward_button; }},
    {"quit button", STAGE_LICENCE, NO_DIALOG, [] { return (WM_SCREEN_OBJECT*)live_page()->quit_button; }},
    {"check box", STAGE_OPTIONS, NO_DIALOG,
     [] { return first_check_box() ? (WM_SCREEN_OBJECT*)first_check_box()->box : nullptr; }},
    {"check box's label", STAGE_OPTIONS, NO_DIALOG,
     [] { return first_check_box() ? (WM_SCREEN_OBJECT*)first_check_box()->label : nullptr; }},
    {"location button", STAGE_OPTIONS, NO_DIALOG, [] { return (WM_SCREEN_OBJECT*)location_button; }},
    {"browse button", STAGE_OPTIONS, NO_DIALOG, [] { return (WM_SCREEN_OBJECT*)browse_button; }},
    {"quit question's Yes", STAGE_OPTIONS, QUIT_QUESTION,
     [] { return quit_dialog() ? (WM_SCREEN_OBJECT*)quit_dialog()->buttons[0] : nullptr; }},
    {"quit question's No", STAGE_OPTIONS, QUIT_QUESTION,
     [] { return quit_dialog() ? (WM_SCREEN_OBJECT*)quit_dialog()->buttons[1] : nullptr; }},
    {"folder dialog's OK", STAGE_OPTIONS, FOLDER_DIALOG,
     [] { return folder_dialog() ? (WM_SCREEN_OBJECT*)folder_dialog()->ok_button : nullptr; }},
    {"folder dialog's Cancel", STAGE_OPTIONS, FOLDER_DIALOG,
     [] { return folder_dialog() ? (WM_SCREEN_OBJECT*)folder_dialog()->cancel_button : nullptr; }},
    {"folder dialog's New folder", STAGE_OPTIONS, FOLDER_DIALOG,
     [] { return folder_dialog() ? (WM_SCREEN_OBJECT*)folder_dialog()->new_folder_button : nullptr; }},
    {"list row", STAGE_OPTIONS, FOLDER_DIALOG,
     [] { return folder_dialog() ? folder_dialog()->list->cell(1, 2) : nullptr; }},
    {"menu button", STAGE_OPTIONS, FOLDER_DIALOG,
     [] { return folder_dialog() ? (WM_SCREEN_OBJECT*)folder_dialog()->location_menu : nullptr; }},
    {"location menu's entry", STAGE_OPTIONS, LOCATION_MENU, [] {
       WM_GRID* entries = folder_dialog() ? folder_dialog()->location_menu->popup->grid : nullptr;
       return entries ? entries->cell(0, 0) : nullptr;
     }},
    {"scroll bar", STAGE_OPTIONS, FOLDER_DIALOG,
     [] { return folder_dialog() ? (WM_SCREEN_OBJECT*)folder_dialog()->list->scrollbar : nullptr; }},
    {"text field", STAGE_OPTIONS, NEW_FOLDER_DIALOG,
     [] { return new_folder_dialog() ? (WM_SCREEN_OBJECT*)new_folder_dialog()->edit : nullptr; }},
    {"new-folder dialog's OK", STAGE_OPTIONS, NEW_FOLDER_DIALOG,
     [] { return new_folder_dialog() ? (WM_SCREEN_OBJECT*)new_folder_dialog()->ok_button : nullptr; }},
    {"new-folder dialog's Cancel", STAGE_OPTIONS, NEW_FOLDER_DIALOG,
     [] { return new_folder_dialog() ? (WM_SCREEN_OBJECT*)new_folder_dialog()->cancel_button : nullptr; }},
    {"about box's button", STAGE_README, ABOUT_BOX, [] {
       WM_ABOUT* about = static_cast<WM_ABOUT*>(find_top_level(WM_KIND_ABOUT));
       return about ? (WM_SCREEN_OBJECT*)about->close_button : nullptr;
     }},
};

}  // namespace resting

// With the pointer resting on any control, a pass that has nothing new to show waits for input or for
// the time its work asked for, as on an idle page: the pointer's shape, a hover look and a hint are shown
// once, and then the loop waits (a hint's wait looks at the clock a few times a second). Each control in
// turn, on its page or in its dialog, the pointer held still over a few seconds of the test clock.
TEST(WizardEvents, APointerRestingOnAControlLeavesTheLoopWaiting) {
  using namespace resting;
  MAIN_WINDOW_OPEN window;
  ASSERT_TRUE(window.open);
  WIZARD_RUN run("wizard-resting");
  ASSERT_TRUE(run.load());
  database->BACKGROUND.speed = 600;  // the default drift, with no picture to move
  ASSERT_TRUE(run.begin());
  // Enough folders where the folder dialog starts for its list to scroll.
  for (int i = 0; i < 40; i++) std::filesystem::create_directories(run.scratch.root + "folder " + std::to_string(i));
  database->use_system_paths = 0;
  database->FILE_SELECT.new_folder_too = 1;
  set_idle_wait(50);
  test_seam_drive_waits(true);
  first_tick = get_tick_count();

  // An idle page, the pointer away from every control: the loop's first and last passes, and the one
  // that shows the pointer's shape.
  const int idle = 3;
  let_effects_end();
  EXPECT_LE(passes_over(2, 2, 3000), idle);
  for (const CONTROL& control : CONTROLS) {
    SCOPED_TRACE(control.name);
    run.show_stage(control.stage);
    if (control.dialog == QUIT_QUESTION) open_quit_dialog(0);
    if (control.dialog == ABOUT_BOX) open_about_box(true);
    if (control.dialog >= FOLDER_DIALOG && control.dialog <= NEW_FOLDER_DIALOG) click_on(browse_button);
    passes_over(2, 2, 2000);  // the dialog opens to its place
    if (control.dialog == LOCATION_MENU || control.dialog == NEW_FOLDER_DIALOG) {
      ASSERT_TRUE(folder_dialog());
      if (control.dialog == LOCATION_MENU) click_on(folder_dialog()->location_menu);
      else folder_dialog()->open_new_folder_dialog();
      passes_over(2, 2, 2000);
    }
    WM_SCREEN_OBJECT* object = control.find();
    ASSERT_TRUE(object && object->visible);
    INT_S16 x = (INT_S16)(object->x + object->width / 2), y = (INT_S16)(object->y + object->height / 2);
    ASSERT_TRUE(object->contains_point(x, y));
    passes_over(x, y, 1000);  // the pointer arrives: its shape and the hover look are shown
    // Over the next seconds a hint's wait ends (within 2 s of the pointer's arrival) and it shows.
    int resting = passes_over(x, y, 4000);
    EXPECT_LE(resting, idle + (int)(1000 / HINT_LOOK_INTERVAL) + 2);
    if ((object->kind & WM_KIND_BUTTON) && static_cast<WM_BUTTON*>(object)->hint) {
      EXPECT_TRUE(is_top_level(static_cast<WM_BUTTON*>(object)->hint));
    }
  }
}

// Tab goes through the options in order, on a page whose long texts fit and on one that scrolls: the
// option it reaches comes into view with its outline alone shown (the window as a full redraw draws it),
// and Space changes that option.
TEST(WizardEvents, TabReachesEveryOptionInViewAndSpaceChangesIt) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  const std::string sentence =
      "Die Verkn\xC3\xBCpfung startet die Anwendung mit allen Handb\xC3\xBC" "chern, Beispielen und Schriftarten sowie "
      "den Werkzeugen, die zur Anwendung geh\xC3\xB6ren und die man immer wieder braucht, wenn man mit ihr arbeitet";
  const std::string fitting = "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;" + sentence.substr(0, 90) +
                              "\ntext = SELECT_OPTIONS_MENU_SHORTCUT;" + sentence.substr(0, 80) + "\n";
  const std::string scrolling = "text = SELECT_OPTIONS_USE_SYSTEM_PATHS;" + sentence + "\n" +
                                "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;" + sentence + "\n" +
                                "text = SELECT_OPTIONS_MENU_SHORTCUT;" + sentence + "\n";
  const INT_U32 events[3] = {WIZARD_EVENT_SYSTEM_PATHS, WIZARD_EVENT_DESKTOP, WIZARD_EVENT_MENU};
  for (const std::string& texts : {fitting, scrolling}) {
    SCOPED_TRACE(texts == fitting ? "fitting" : "scrolling");
    INSTALLER_SCRATCH scratch("wizard-options-tab", wizard_description_lines() + texts);
    ASSERT_TRUE(scratch.build());
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    database->stage = STAGE_OPTIONS;
    twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
    run_pass();
    INT_U8* const choices[3] = {&database->use_system_paths, &database->desktop_shortcut, &database->menu_shortcut};
    // The page opens with the focus on the first option, not shown: Tab goes on to the next.
    for (int step = 1; step <= 4; step++) {
      int i = step % 3;
      key(VKEY_TAB);
      INT_S16 row = -1, column = -1;
      WM_SCREEN_OBJECT* box = nullptr;
      ASSERT_TRUE(page_grid && page_grid->find_focused_cell(&column, &row, true));
      box = page_grid->cell(column, row);
      ASSERT_TRUE(box->kind & WM_KIND_CHECK_BOX);
      EXPECT_EQ(box->event_user1, events[i]) << step;
      EXPECT_TRUE(page_grid->row_fully_visible(row)) << step;
      WINDOW_CAPTURE shown = twin_screen();
      invalidate_display(twin.screen->manager->get_root());
      run_pass();
      EXPECT_EQ(differing_pixels(shown, twin_screen(), area_of(live_page())), 0) << step;
      INT_U8 before = *choices[i];
      key(VKEY_SPACE);
      EXPECT_NE(*choices[i], before) << step;
    }
    EXPECT_EQ(page_grid->scrollbar != nullptr, texts == scrolling);
  }
  remove_named_path("$FONTDATA");
}

// A hint is no dialog: while one shows, Tab moves the focus and a quick click elsewhere (press and
// release in two passes, as a tap or a remote pointer gives them) reaches the control under the pointer.
TEST(WizardEvents, AClickElsewhereWhileAHintShowsIsTaken) {
  WIZARD_RUN run("wizard-hint-click");
  ASSERT_TRUE(run.start());
  database->use_system_paths = 1;
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  WM_BUTTON* next = page->forward_button;
  ASSERT_TRUE(next->hint && resting::first_check_box());
  INT_S16 x = (INT_S16)(next->x + next->width / 2), y = (INT_S16)(next->y + next->height / 2);
  test_seam_set_seconds(1000, 0);
  test_seam_pointer(x, y);
  run_pass();
  test_seam_set_seconds(1003, 0);
  run_pass();
  ASSERT_TRUE(is_top_level(next->hint));
  WM_SCREEN_OBJECT* focused = focus_object;
  KEYBOARD_HANDLER().set_key(VKEY_TAB);
  run_pass();
  EXPECT_NE(focus_object, focused);  // Tab moves the focus too
  ASSERT_TRUE(is_top_level(next->hint));
  click_on(resting::first_check_box()->box);
  EXPECT_EQ(database->use_system_paths, 0);
  EXPECT_FALSE(is_top_level(next->hint));
}
