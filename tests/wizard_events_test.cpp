// Tests of the wizard's events and page callbacks, driven through the page manager's real update: the
// navigation buttons acting once on release, the whole course from the licence to Finish with the files
// installed, the language, installation, system-path and shortcut choices, the results of the events,
// leaving the installation early, a page rebuilt after the installation, a destination that cannot be
// made, the background, the copy-error question, a shortcut not made, the About box and the folder
// dialog.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

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
  // No file has a destination of its own under the system folders: the row names the install folder.
  EXPECT_EQ(location_button->enabled, 0);
  EXPECT_EQ(label_of(location_button), expand_path_text("$SCRATCH/dest", nullptr));
  click_on(system->box);
  EXPECT_EQ(database->use_system_paths, 0);
  EXPECT_EQ(location_button->enabled, 1);
  EXPECT_EQ(browse_button->enabled, 1);
  EXPECT_EQ(label_of(location_button), expand_path_text("$SCRATCH/dest", nullptr));
  click_on(system->label);
  EXPECT_EQ(database->use_system_paths, 1);
  EXPECT_EQ(location_button->enabled, 0);
  EXPECT_EQ(browse_button->enabled, 0);
  EXPECT_EQ(label_of(location_button), expand_path_text("$SCRATCH/dest", nullptr));

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
        if (!state.interrupted || state.running || log.size() != 14 || log.back() != "Installation interrupted.")
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
  std::string shown = failure_shown(page);
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

// The copy error question, once the installation running on the page has asked it (within ten passes).
static WM_CONFIRM* copy_error_question() {
  WM_CONFIRM* box = nullptr;
  for (int i = 0; i < 10 && !box; i++) {
    run_pass();
    box = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
  }
  return box;
}

// Another run installs into the destination (here a thread holds it, through another spelling of its
// path, as another process would): Install keeps the options page, the very page the person was on, and
// a box over it says so; nothing is installed, and OK closes the box. Refused only as the installation
// begins (the other run took the folder after Install), the wizard goes back to the options page behind
// the box. Once the other run has ended, Install installs.
TEST(WizardEvents, AnotherRunInstallingThereIsSaidInABoxOverTheOptionsPage) {
  WIZARD_RUN run("wizard-held");
  ASSERT_TRUE(run.start());
  std::filesystem::create_directories(run.scratch.destination);
#ifdef _WIN32
  const std::string spelling = run.scratch.root + "DEST";
#else
  const std::string spelling = run.scratch.root + "link";
  std::filesystem::create_directory_symlink(run.scratch.destination, spelling);
#endif
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(spelling.c_str()));
  std::atomic<int> held{0};  // 1 held, then 2 to end the hold
  std::thread holder([&] {
    FOLDER_HOLDER holder;
    FOLDER_HOLD* hold = hold_folder(&folder, &holder);
    for (held = hold ? 1 : -1; held == 1;) pause_ms(1);
    release_folder(hold);
  });
  while (held == 0) pause_ms(1);
  const std::string said = "Another installation into \"" + run.scratch.destination + "\" is running (process " +
                           std::to_string(own_process_number()) + "); nothing was installed.";
  const std::string options_title = wizard_text(&LANGUAGE::SELECT_OPTIONS_TITLE);
  INSTALL_DIALOG* options = run.show_stage(STAGE_OPTIONS);
  bool pressed_shown = false, begun_shown = false;
  if (options) {
    const INT_U32 kept = object_handle(options);  // gone with the page, were it built anew
    click_on(options->forward_button);
    WM_CONFIRM* box = copy_error_question();
    pressed_shown = box && box->text;
    if (pressed_shown) {
      EXPECT_EQ(box->text->data_buffer[box->text->data_count - 1].text, said);
      EXPECT_EQ(object_from_handle(kept), live_page());
      EXPECT_EQ(database->stage, STAGE_OPTIONS);
      click_on(box->buttons[0]);
      settle_effects();
      EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);
      EXPECT_EQ(object_from_handle(kept), live_page());
    }
    run.show_stage(STAGE_INSTALLING);
    box = copy_error_question();
    begun_shown = box && box->text;
    if (begun_shown) {
      EXPECT_EQ(box->text->data_buffer[box->text->data_count - 1].text, said);
      EXPECT_EQ(database->stage, STAGE_OPTIONS);
      EXPECT_TRUE(live_page() && live_page()->get_title() == options_title);
      click_on(box->buttons[0]);
      settle_effects();
      EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);
      EXPECT_EQ(database->stage, STAGE_OPTIONS);
    }
  }
  held = 2;
  holder.join();
  ASSERT_TRUE(pressed_shown && begun_shown);
  EXPECT_TRUE(std::filesystem::is_empty(run.scratch.destination));
  ASSERT_TRUE(live_page());
  click_on(live_page()->forward_button);
  ASSERT_TRUE(install_through(20));
  EXPECT_EQ(read_lines(run.scratch.installed("install_log.txt")).back(), "Installation completed without any errors.");
}

// A file that fails asks the question, naming the file and the cause, and the installation waits for
// the answer with the program at rest. Yes skips the file: the page then lists every file that failed
// with its cause, offers Finish and Back, nothing is registered and the program's status is 1. No returns to the options, the log
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
    WM_CONFIRM* box = copy_error_question();
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
      // A second file fails too.
      std::strcpy(database->installations[0].files[2].packed_name, "no such entry");
      click_on(box->buttons[0]);
      box = copy_error_question();
      ASSERT_TRUE(box);
      let_effects_end();
      click_on(box->buttons[0]);
      ASSERT_TRUE(install_through(20));
      INSTALL_DIALOG* page = live_page();
      const std::string listed = "2 files could not be installed:\n" + failure + "\n" + database->install_state.failure_text;
      EXPECT_EQ(failure_shown(page), listed);
      // The page says what happened: the package's title for a copy error, the share of the files
      // installed on the bar (which the step's last report of 100 does not fill), nothing to cancel.
      INT_S32 files = database->installations[0].file_count;
      for (bool rebuilt : {false, true}) {
        if (rebuilt) page = run.show_stage(STAGE_INSTALLING);
        EXPECT_EQ(std::string(page->get_title()), "Kopierfehler") << rebuilt;
        EXPECT_EQ(failure_shown(page), listed) << rebuilt;
        EXPECT_EQ(page->progress_bar->value, (files - 2) * 100 / files) << rebuilt;
        EXPECT_EQ(page->quit_button->enabled, 0) << rebuilt;
      }
      EXPECT_EQ(label_of(page->forward_button), "Finish");
      EXPECT_EQ(page->forward_button->event_user2, (INT_U32)STAGE_FINISHED);
      EXPECT_EQ(page->previous_button->enabled, 1);
      EXPECT_EQ(page->previous_button->event_user2, (INT_U32)STAGE_OPTIONS);
      EXPECT_EQ(read_whole_text(log).find("create_"), std::string::npos);
      EXPECT_EQ(read_whole_text(log).find("RegKey"), std::string::npos);
      EXPECT_EQ(read_lines(log).back(), "Installation completed with 2 errors.");
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
    EXPECT_EQ(failure_shown(page), said) << rebuilt;
    EXPECT_EQ(std::string(page->get_title()), "Kopierfehler") << rebuilt;
    EXPECT_EQ(page->progress_bar->value, 100) << rebuilt;
  }
  EXPECT_EQ(label_of(page->forward_button), "Finish");
  EXPECT_EQ(page->previous_button->event_user2, (INT_U32)STAGE_OPTIONS);
  EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);  // nothing to answer: the files are all in place
  EXPECT_EQ(end_wizard(), EXIT_JOB_FAILED);
}

// A log that cannot be made (its place is held) asks whether to go on without it, naming the log and
// the cause and what going on means (not the package's question of a file); going on installs every
// file, and the last page says that this installation has no log.
TEST(WizardEvents, AnInstallationWithoutItsLogSaysSoOnTheLastPage) {
  WIZARD_RUN run("wizard-no-log");
  ASSERT_TRUE(run.load());
  std::strcpy(database->languages[0].COPY_ERROR_TITLE, "Kopierfehler");
  ASSERT_TRUE(run.begin());
  database->use_system_paths = 0;
  std::string log = run.scratch.installed("install_log.txt");
  std::filesystem::create_directories(log + "/inside");  // takes the log's place on both hosts
  run.show_stage(STAGE_INSTALLING);
  WM_CONFIRM* box = copy_error_question();
  ASSERT_TRUE(box && box->text);
  const std::string failure = database->install_state.failure_text;
  EXPECT_EQ(failure.rfind("The install log \"" + log + "\" cannot be created (", 0), 0u) << failure;
  ASSERT_EQ(box->text->data_count, 3);
  EXPECT_EQ(box->text->data_buffer[0].text, failure);
  EXPECT_STREQ(box->text->data_buffer[2].text,
               "Go on without the log? The files are installed all the same, and the log is tried again as they "
               "are; if it cannot be made, a later update or check cannot rely on this installation.");
  let_effects_end();
  click_on(box->buttons[0]);
  ASSERT_TRUE(install_through(20));
  INSTALL_DIALOG* page = live_page();
  std::string said = failure.substr(0, failure.size() - 1) +
                     ": this installation has no log, so a later update or check cannot rely on it.";
  for (bool rebuilt : {false, true}) {
    if (rebuilt) page = run.show_stage(STAGE_INSTALLING);
    EXPECT_EQ(failure_shown(page), said) << rebuilt;
    EXPECT_EQ(std::string(page->get_title()), "Kopierfehler") << rebuilt;
  }
  EXPECT_EQ(label_of(page->forward_button), "Finish");
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
