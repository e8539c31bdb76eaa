// A program for real-window tests of the file selector: opens the main window with a page manager and a
// file selector choosing a folder from the start folder given, prints where its controls stand (and
// those of the new-folder dialog when it opens) so that a test can click them, each folder it goes to,
// and on OK the folder that get_selection returns, ending with status 0; Cancel or a close request end
// with 5. Arguments: start folder.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "button.h"
#include "file_select.h"
#include "floating_menu.h"
#include "folder.h"
#include "grid.h"
#include "host_test_seam.h"
#include "image.h"
#include "menu.h"
#include "page_manager.h"
#include "program.h"
#include "redraw.h"
#include "screen_image.h"
#include "text_edit.h"
#include "text_edit_dialog.h"

static const INT_S32 CANCELLED_STATUS = 5;
static WM_PAGE_MANAGER* manager = nullptr;
static FOLDER start_folder;
static WM_FILE_SELECT* selector = nullptr;
static WM_TEXT_EDIT_DIALOG* reported_dialog = nullptr;
static INT_S32 status = CANCELLED_STATUS;
static bool finished = false;

static void say(const char* format, ...) {
  char line[2200];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  console_print(line);
  console_flush();  // the test waits for it
}

// The centre of an object, in client coordinates.
static void say_place(const char* name, WM_SCREEN_OBJECT* object) {
  say("%s %d %d\n", name, object->x + object->width / 2, object->y + object->height / 2);
}

static WM_RESULT selector_event(WM_SCREEN_OBJECT*, INT_U32, INT_U32 result, int) {
  if (result == 1) {
    FOLDER chosen;
    selector->get_selection(&chosen, nullptr, 0);
    say("selected %s\n", chosen.path);
    status = 0;
  } else {
    say("cancelled\n");
  }
  finished = true;
  return 0;
}

static void build_page(WM_PAGE_MANAGER* page_manager) {
  selector = new WM_FILE_SELECT(-1, -1, true, selector_event, 0, nullptr, nullptr, nullptr);
  selector->set_mode(FILE_SELECT_FOLDER, &start_folder, nullptr, nullptr);
  page_manager->get_root()->add_top_level(selector, false);
}

static INT_U8 close_requested(INT_S16) {
  say("close\n");
  return 1;
}

void application_statics(bool start) {
  if (start) manager = new WM_PAGE_MANAGER(1, -1);
  else {
    delete manager;
    manager = nullptr;
  }
}

void application_main(INT_S16 argc, char** argv) {
  if (argc < 2 || !start_folder.set_if_folder(argv[1])) {
    say("usage: file_select_probe folder\n");
    exit_process(2);
  }
  if (!open_graphics_window("File selector", 640, 480, 0, 0)) exit_process(2);
  set_close_callback(close_requested);
  manager->set_page(0, build_page, nullptr, 0, nullptr, 0, 0, nullptr);
}

INT_U8 application_update() {
  static bool ready = false;
  if (finished) return 0;
  manager->update(true);
  // Once the selector rests (the pass showed nothing and asked for no further pass: the program waits
  // for input), where its controls stand; the same for the new-folder dialog.
  bool resting = test_seam_pass_rests();
  if (resting && selector && !ready) {
    ready = true;
    say_place("new_folder", selector->new_folder_button);
    say_place("ok", selector->ok_button);
    say_place("location", selector->location_menu);
    // The parent row and the first row after it (the list's rows stay where they are from folder to
    // folder).
    say_place("parent_row", selector->list->cell(1, 0));
    if (selector->list->cell(1, 1)) say_place("first_row", selector->list->cell(1, 1));
    say("ready\n");
  }
  static FOLDER shown_folder = start_folder;
  if (selector && !selector->refresh && !selector->folder.equals(&shown_folder)) {
    shown_folder = selector->folder;
    say("folder %s\n", shown_folder.path);
  }
  // The location menu's drop-down opening and closing. The pop-up is built visible long before it is
  // first opened: it shows only while it is on the top-level list.
  static INT_U8 menu_shown = 0;
  if (selector && selector->location_menu->popup) {
    WM_FLOATING_MENU* popup = selector->location_menu->popup;
    INT_U8 shown = is_top_level(popup) && popup->visible ? 1 : 0;
    if (shown != menu_shown) say(shown ? "menu shown\n" : "menu hidden\n");
    menu_shown = shown;
  }
  PTRLLIST* list = top_level_list();
  WM_SCREEN_OBJECT* last = list->tail ? static_cast<WM_SCREEN_OBJECT*>(stored_pointer(list->tail)) : nullptr;
  if (last && (last->kind & WM_KIND_TEXT_EDIT_DIALOG) && last != reported_dialog) {
    if (resting) {
      WM_TEXT_EDIT_DIALOG* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(last);
      reported_dialog = dialog;
      say_place("dialog_edit", dialog->edit);
      say_place("dialog_ok", dialog->ok_button);
      say("dialog ready\n");
    }
  }
  // A click on the dialog's edit box seen through (the press empties the typed characters, so typing
  // waits for it), with the box holding the focus.
  static INT_U8 edit_button = 0;
  if (reported_dialog && !is_top_level(reported_dialog)) {
    reported_dialog = nullptr;
    say("dialog closed %s\n", selector ? selector->folder.path : "");
  }
  if (reported_dialog) {
    INT_U8 now = reported_dialog->edit->button_down;
    if (edit_button && !now && focus_object == reported_dialog->edit) say("edit clicked\n");
    edit_button = now;
  }
  return 1;
}

void application_exit() { exit_process(status); }
