// Tests of the wizard under the pointer and the keyboard, driven through the frame loop and the page
// manager's real update: the pointer resting on any control leaves the loop waiting, Tab reaches every
// option in view and Space changes it, and a click elsewhere while a hint shows is taken.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "about.h"
#include "check_box.h"
#include "confirm.h"
#include "file_select.h"
#include "floating_menu.h"
#include "redraw.h"
#include "grid.h"
#include "host.h"
#include "menu.h"
#include "screen_image.h"
#include "scroll_bar.h"
#include "text_edit_dialog.h"
#include "wizard_test_support.h"
#include "wm_test_support.h"

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
