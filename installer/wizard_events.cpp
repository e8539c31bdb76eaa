// The wizard's control flow: the one event callback of every page control and wizard message box, the
// page manager's build, close and per-pass callbacks of the page with the still or drifting background,
// the about box, and the install step's reports turned into page progress and message boxes.
#include "wizard.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "about.h"
#include "button.h"
#include "check_box.h"
#include "confirm.h"
#include "database.h"
#include "engine.h"
#include "file_select.h"
#include "folder.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "image_scroller.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_image.h"
#include "script.h"

INSTALL_DIALOG* current_page = nullptr;
INT_S16 page_position_x = 0;
INT_S16 page_position_y = 0;
IMAGE_SCROLLER* background_scroller = nullptr;
INT_U32 scroller_start_time = 0;

// The handle of current_page: the page is deleted by the page manager (a rebuild, the end of the run),
// and the handle tells whether the pointer still names it.
static INT_U32 current_page_handle = 0;

INSTALL_DIALOG* live_page() {
  if (!current_page || object_from_handle(current_page_handle) != current_page) current_page = nullptr;
  return current_page;
}

// ---------------------------------------------------------------------------------------------------
// The folder dialog

// The file selector in folder mode over the destination, with the page's texts and icons.
static void open_folder_dialog(INSTALL_DIALOG* page) {
  if (!page_manager) return;
  WM_FILE_SELECT* selector = new WM_FILE_SELECT(
      database->FILE_SELECT.x, database->FILE_SELECT.y, database->FILE_SELECT.width, database->FILE_SELECT.height,
      &database->menu_button_style, &database->menu_dropdown_style, &database->text_style, &database->text_style,
      &database->scrollbar_style, true, install_dialog_event, WIZARD_EVENT_FOLDER, wizard_text(&LANGUAGE::OK_BUTTON),
      wizard_text(&LANGUAGE::CANCEL_BUTTON), wizard_text(&LANGUAGE::NEW_FOLDER_BUTTON), &database->menu_item_style,
      &database->menu_alt_item_style);
  selector->new_folder_at_own_position = database->FILE_SELECT.new_folder_too;
  // The dialog starts in the destination, or in the deepest of its folders that exists. A path variable
  // this program does not know (the destination comes from the package) starts where the dialog stands.
  FOLDER start;
  bool known = is_known_path_text(database->install_path);
  if (known) set_location_folder(&start, database->install_path, database->APPLICATION.app_string, false);
  selector->set_mode(FILE_SELECT_FOLDER, known ? &start : nullptr, nullptr, nullptr);
  selector->click_user1 = object_handle(page);
  selector->draggable = database->FILE_SELECT.can_drag;
  page_manager->get_root()->add_top_level(selector, false);
  selector->set_title(wizard_text(&LANGUAGE::SELECT_FOLDER_TITLE));
  give_button_icon(selector->ok_button, &database->skin_icons[DATABASE::yes_icon]);
  give_button_icon(selector->cancel_button, &database->skin_icons[DATABASE::no_icon]);
  give_button_icon(selector->new_folder_button, &database->skin_icons[DATABASE::new_folder_icon]);
  if (selector->message) selector->message->set_text(wizard_text(&LANGUAGE::SELECT_FOLDER_MSG), false);
  if (selector->location_label) selector->location_label->set_text(wizard_text(&LANGUAGE::SELECT_FOLDER_MENU_TITLE), false);
  selector->my_computer_text.assign(wizard_text(&LANGUAGE::MY_COMPUTER));
  selector->new_folder_title.assign(wizard_text(&LANGUAGE::NEW_FOLDER_TITLE));
  selector->new_folder_prompt.assign(wizard_text(&LANGUAGE::NEW_FOLDER_MSG));
}

// The options page shows the choice of system folders that the database holds: its check box, the
// location and browse buttons (usable only without the system folders) and the location's text. A page
// that offers no such choice shows the location alone.
static void show_system_paths_choice() {
  WM_SCREEN_OBJECT* box = nullptr;
  for (INT_S16 row = 0; page_grid && !box && row < page_grid->row_count; row++) {
    WM_SCREEN_OBJECT* cell = page_grid->cell(1, row);
    if (cell && (cell->kind & WM_KIND_CHECK_BOX) && cell->event_user1 == WIZARD_EVENT_SYSTEM_PATHS) box = cell;
  }
  bool free_choice = !box || !database->use_system_paths;
  if (box && box->state != (free_choice ? 0 : 1)) box->set_state(free_choice ? 0 : 1);
  set_button_enabled(location_button, free_choice);
  set_button_enabled(browse_button, free_choice);
  show_destination(!free_choice);
}

// The folder dialog's answer: a folder the person chose becomes the destination, shown on the current
// page's location button (the page may have been rebuilt since the dialog opened: never the one it
// opened from); an update takes the choice of system folders that the earlier installation there was
// made with. An OK with no folder chosen keeps the destination whole: the dialog opened at the deepest
// existing folder of a destination not made yet, which the person never chose. The dialog then closes
// with its effects.
static void take_chosen_folder(WM_FILE_SELECT* selector, bool chosen) {
  if (chosen && selector->chose_folder()) {
    FOLDER folder;
    selector->get_selection(&folder, nullptr, 0);
    std::snprintf(database->install_path, sizeof database->install_path, "%s", chosen_location_text(folder).c_str());
    database->take_earlier_choice();
    show_system_paths_choice();
    show_update_check(live_page());
  }
  selector->close_with_effects(true, false);
}

// ---------------------------------------------------------------------------------------------------
// Events

// A stage chosen: -1 ends the program at the finished stage, 7 rebuilds the page for the new one.
// Leaving the installing stage before its end (the copy error box's No) ends the installation at once:
// the idle wait and the base path come back and the next installation starts afresh.
static WM_RESULT go_to_stage(INT_S32 stage) {
  bool leaving_installation = database->stage == STAGE_INSTALLING && stage != STAGE_INSTALLING;
  database->stage = stage;
  if (leaving_installation) database->install_step(nullptr);
  return stage == STAGE_FINISHED ? WM_RESULT_LAST_PAGE_CLOSED : WM_RESULT_REBUILD_CLEAR;
}

// Another run installs into the destination: a box says so over the options page, which stays, to try
// again once that run has ended or to choose another folder; its OK closes the box.
static void open_refusal_box(DATABASE* base) {
  if (!page_manager) return;
  WM_CONFIRM* box = new WM_CONFIRM(base->ERROR.width, base->ERROR.height, wizard_text(&LANGUAGE::INSTALLING_TITLE),
                                   wizard_text(&LANGUAGE::OK_BUTTON), nullptr, 1, install_dialog_event,
                                   WIZARD_EVENT_GO_ON, 0, nullptr, 0, 0, base->ERROR.x, base->ERROR.y, 1,
                                   COPY_ERROR_LINES, nullptr);
  box->add_message(base->install_state.failure_text.c_str());
  box->draggable = base->ERROR.can_drag;
  give_button_icon(box->buttons[0], &base->skin_icons[DATABASE::yes_icon]);
  page_manager->get_root()->add_top_level(box, false);
}

// The installation was refused as it began, past the hold that Install took (another run made the folder
// and took it meanwhile): the wizard goes back to the options page, behind the box.
static bool refused_at_start = false;

// The check box (or other object) that sent an event reports its state.
static INT_U8 sender_state(WM_SCREEN_OBJECT* object) { return object && object->state ? 1 : 0; }

WM_RESULT install_dialog_event(WM_SCREEN_OBJECT* object, INT_U32 event, INT_U32 parameter, int) {
  // A button calls on its press and on its release: only the release acts, so each acts once.
  if (object && (object->kind & WM_KIND_BUTTON) && !static_cast<WM_BUTTON*>(object)->released) return 0;
  if (event > WIZARD_EVENT_GO_ON) return 0;
  INSTALL_DIALOG* page = live_page();
  switch (event) {
    case WIZARD_EVENT_QUIT:
      open_quit_dialog(0);
      return 0;
    case WIZARD_EVENT_INSTALLATION: {
      if ((INT_S16)parameter < 0 || (INT_S16)parameter >= database->installation_count) return 0;
      if (page_grid) {
        WM_SCREEN_OBJECT* old = page_grid->cell(0, database->current_installation);
        if (old) old->set_state(0);
      }
      database->current_installation = (INT_S16)parameter;
      std::strncpy(database->install_path, database->installations[parameter].default_path,
                   sizeof database->install_path - 1);
      database->install_path[sizeof database->install_path - 1] = 0;
      if (page_grid) {
        WM_SCREEN_OBJECT* chosen = page_grid->cell(0, (INT_S32)parameter);
        if (chosen) chosen->set_state(1);
      }
      return 0;
    }
    case WIZARD_EVENT_LANGUAGE: {
      // The chosen language is taken first, and the next stage is the one that follows with it: a
      // language with a licence never skips its licence, one without never shows an empty page.
      INT_S16 language = object ? (INT_S16)object->click_user1 : (INT_S16)-1;
      if (language >= 0 && language < database->language_count) database->current_language = language;
      set_window_title(wizard_text(&LANGUAGE::INSTALLER_TITLE), 0);
      return go_to_stage(database->next_stage());
    }
    case WIZARD_EVENT_SYSTEM_PATHS: {
      database->use_system_paths = sender_state(object);
      show_system_paths_choice();
      show_update_check(page);
      return 0;
    }
    case WIZARD_EVENT_FOLDER:
      if (object && (object->kind & WM_KIND_FILE_SELECT))
        take_chosen_folder(static_cast<WM_FILE_SELECT*>(object), parameter != 0);
      else
        open_folder_dialog(page);
      return 0;
    case WIZARD_EVENT_DESKTOP:
      database->desktop_shortcut = sender_state(object);
      return 0;
    case WIZARD_EVENT_MENU:
      database->menu_shortcut = sender_state(object);
      return 0;
    case WIZARD_EVENT_ABOUT:
      open_about_box(true);
      return 0;
    case WIZARD_EVENT_DESKTOP_SIZE:
      if (parameter) return WM_RESULT_LAST_PAGE_CLOSED;
      if (page_manager) page_manager->close_all_dialogs(false);
      return 0;
    case WIZARD_EVENT_STAGE:
      // Install: another run installing into the destination keeps the options page, with a box.
      if ((INT_S32)parameter == STAGE_INSTALLING && database->stage != STAGE_INSTALLING &&
          !database->hold_destination()) {
        open_refusal_box(database);
        return 0;
      }
      return go_to_stage((INT_S32)parameter);
    case WIZARD_EVENT_GO_ON:
      return WM_RESULT_CLOSE_DIALOG;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------------------------
// The about box

void open_about_box(bool from_wizard) {
  if (!page_manager) return;
  const char* title = wizard_text(&LANGUAGE::ABOUT);
  const char* label = wizard_text(&LANGUAGE::OK_BUTTON);
  WM_ABOUT* box = new WM_ABOUT(database->ABOUT.x, database->ABOUT.y, database->ABOUT.width, database->ABOUT.height,
                               from_wizard || label[0] ? label : nullptr);
  box->draggable = database->ABOUT.can_drag;
  page_manager->get_root()->add_top_level(box, false);
  if (from_wizard || title[0]) box->set_title(title);
  if (from_wizard) give_button_icon(box->close_button, &database->skin_icons[DATABASE::yes_icon]);
}

// ---------------------------------------------------------------------------------------------------
// The install step's reports

// The copy error question on screen (its handle), 0 when none.
static INT_U32 copy_error_handle = 0;

bool installation_waits() {
  WM_SCREEN_OBJECT* box = copy_error_handle ? object_from_handle(copy_error_handle) : nullptr;
  if (!box) copy_error_handle = 0;
  WM_CONFIRM* quit = quit_dialog();
  return (box && !static_cast<WM_DIALOG*>(box)->closing) || (quit && !quit->closing);
}

class WIZARD_INSTALL_OBSERVER : public INSTALL_OBSERVER {
public:
  // The page of an installation that failed lists every failure with its cause, where the progress
  // text names the last.
  void show_progress(INSTALL_DIALOG* page, const char* text, INT_S32 value) override {
    if (page && page->shows_failure)
      INSTALL_DIALOG::show_progress(page, value, installation_failure_text(database, true).c_str());
    else
      INSTALL_DIALOG::show_progress(page, value, text);
  }
  void show_install_complete(INSTALL_DIALOG* page) override { INSTALL_DIALOG::show_install_complete(page); }
  // A file that takes longer than a refresh of the screen to copy shows its progress meanwhile.
  void file_going_on(INSTALL_DIALOG* page) override { INSTALL_DIALOG::show_waiting_progress(page, false); }
  // One question at a time: the installation waits while it is shown (wizard_frame). A null path is the
  // install log, which cannot be created.
  void copy_error(DATABASE* base, const char* path_text, const char*, const char*) override {
    copy_error_handle = object_handle(open_copy_error_box(base, install_dialog_event, !path_text));
  }
  // The destination cannot be made: the page says so, and Back leads to the options to choose again.
  void installation_stopped(DATABASE*, const char*) override {
    INSTALL_DIALOG* page = live_page();
    INSTALL_DIALOG::show_install_complete(page);
    INSTALL_DIALOG::show_progress(page, 0, installation_failure_text(database).c_str());
  }
  void installation_refused(DATABASE* base, const char*) override {
    open_refusal_box(base);
    refused_at_start = true;
  }
};
static WIZARD_INSTALL_OBSERVER wizard_observer;

bool wizard_installation_failed() {
  const INSTALL_STATE& state = database->install_state;
  return state.stopped || state.interrupted || state.error_count > 0 || state.unmade_count > 0 || state.log_failed;
}

INT_S32 end_wizard() {
  database->end_installation(true);
  return wizard_installation_failed() ? EXIT_JOB_FAILED : EXIT_JOB_DONE;
}

// ---------------------------------------------------------------------------------------------------
// Page callbacks

void create_wizard_page(WM_PAGE_MANAGER* manager) {
  if (!manager) return;
  WM_MANAGER* root = manager->get_root();
  if (background_scroller) background_scroller->draw();
  if (database->WINDOW.show_bg_title) {
    WM_SCRIPT* title = new WM_SCRIPT(0, 0, -1, -1, &database->title_style, wizard_text(&LANGUAGE::INSTALLER_TITLE));
    root->add_child(title, true);
  }
  page_grid = nullptr;
  location_button = nullptr;
  browse_button = nullptr;
  current_page = new INSTALL_DIALOG(page_position_x, page_position_y);
  current_page_handle = object_handle(current_page);
  root->add_child(current_page, true);
}

void close_wizard(INT_U32*) {
  delete background_scroller;
  background_scroller = nullptr;
  current_page = nullptr;
  current_page_handle = 0;
}

WM_RESULT wizard_frame() {
  INSTALL_DIALOG* page = live_page();
  if (database->stage == STAGE_INSTALLING && installation_waits()) {
    // The installation waits for the answer, with the program at rest meanwhile.
    if (database->install_state.running) set_idle_wait(50);
  } else {
    if (database->install_state.running) set_idle_wait(0);
    database->install_step(page);
    if (refused_at_start) {
      refused_at_start = false;
      database->stage = STAGE_OPTIONS;
      return WM_RESULT_REBUILD;  // the box stays
    }
  }
  page = live_page();
  // The progress of the last file is shown, at once when no further file follows in the next pass.
  bool files_go_on = database->stage == STAGE_INSTALLING && database->install_state.running && !installation_waits();
  INSTALL_DIALOG::show_waiting_progress(page, !files_go_on);
  if (page) {
    page_position_x = page->x;
    page_position_y = page->y;
  }
  if (background_scroller && database->DIALOG.width < get_screen_width(0) &&
      database->DIALOG.height < get_screen_height(0)) {
    if (scroller_start_time == 0) scroller_start_time = pass_time + (INT_U32)(INT_S32)database->BACKGROUND.start_offset_ms;
    if ((INT_S32)(pass_time - scroller_start_time) < 0) {
      background_scroller->reset();
      request_pass_by(scroller_start_time);
    } else {
      if (background_scroller->update()) {
        background_scroller->draw();
        WM_MANAGER* root = page_manager ? page_manager->get_root() : nullptr;
        if (root) {
          root->visible = 1;
          root->needs_draw = 1;
          root->invalidate();
        }
      }
      request_pass_soon();  // the picture moves with the clock
    }
  }
  return 0;
}

void start_wizard(WM_PAGE_MANAGER* manager) {
  if (!manager) return;
  set_install_observer(&wizard_observer);
  copy_error_handle = 0;
  refused_at_start = false;
  current_page = nullptr;
  current_page_handle = 0;
  scroller_start_time = 0;
  manager->set_page(manager->current_area_index, create_wizard_page, close_wizard, 0, wizard_frame, 0, 0, nullptr);
  delete background_scroller;
  background_scroller = nullptr;
  // A background moves only where there is a picture to move: without one (the packer's packages, or a
  // picture that cannot be read) the window's background is still, and the program rests between events.
  if (database->BACKGROUND.speed != 0 && database->BACKGROUND.filename[0]) {
    background_scroller = new IMAGE_SCROLLER(0, 0, &*image_cache, database->BACKGROUND.path,
                                             database->BACKGROUND.filename, database->WINDOW.width,
                                             database->WINDOW.height, (INT_U32)database->BACKGROUND.speed,
                                             database->BACKGROUND.width, database->BACKGROUND.height);
    if (!background_scroller->image || !background_scroller->image->pixels) {
      delete background_scroller;
      background_scroller = nullptr;
    }
  }
  if (!background_scroller) {
    invalidate_display(manager->get_root());
    // The layer is what every redraw paints first: it covers the whole window, opaque black where the
    // picture does not reach (or when there is none), so that what a pop-up covered outside the page is
    // painted over again when it goes.
    IMAGE& layer = manager->display_layers[0];
    IMAGE& picture = database->background_image;
    INT_S16 screen_width = get_screen_width(0), screen_height = get_screen_height(0);
    layer.set_size(picture.width > screen_width ? picture.width : screen_width,
                   picture.height > screen_height ? picture.height : screen_height);
    if (layer.pixels) {
      COLOUR black = 0xFF000000;
      layer.clear(&black, 1);
      if (picture.pixels) layer.blit(&picture, 0, 0, 0, 0, picture.width, picture.height, BLIT_COPY);
    }
  }
  page_position_x = database->DIALOG.x;
  page_position_y = database->DIALOG.y;
}
