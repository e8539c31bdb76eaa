// The question asked before the installer ends: the quit button and a close request of the main window
// open the same Yes/No box, and only Yes ends the program. The desktop-size question of the options page
// is the same box with its own texts and event.
#include "wizard.h"

#include "button.h"
#include "confirm.h"
#include "database.h"
#include "page_manager.h"
#include "text_win.h"

// The open question and its handle: the box is deleted by its own close, by a page rebuild and by
// close_all_dialogs, and the handle tells whether the pointer still names it.
static WM_CONFIRM* quit_box = nullptr;
static INT_U32 quit_box_handle = 0;

WM_CONFIRM* quit_dialog() {
  if (quit_box && object_from_handle(quit_box_handle) != quit_box) {
    quit_box = nullptr;
    quit_box_handle = 0;
  }
  return quit_box;
}

WM_CONFIRM* open_wizard_question(const char* title, const char* message, WM_EVENT_CALLBACK callback, INT_U32 event) {
  if (!page_manager) return nullptr;
  // The buttons are made with the language's answers, so that the box lays them out as wide as the
  // longer answer: answers given to buttons laid out for "Yes" and "No" are cut when they are longer.
  WM_CONFIRM* box = new WM_CONFIRM(database->EXIT.width, database->EXIT.height, title, wizard_text(&LANGUAGE::QUIT_YES),
                                   wizard_text(&LANGUAGE::QUIT_NO), 1, callback, event, 1, callback, event, 0,
                                   database->EXIT.x, database->EXIT.y, 0, 100, nullptr);
  if (box->text) {
    box->add_message(message);
    box->text->drawing_flags = 0;
  }
  box->draggable = database->EXIT.can_drag;
  IMAGE* icons[2] = {&database->skin_icons[DATABASE::yes_icon], &database->skin_icons[DATABASE::no_icon]};
  for (int i = 0; i < 2; i++)
    if (box->buttons[i]) give_button_icon(box->buttons[i], icons[i]);
  page_manager->get_root()->add_top_level(box, false);
  return box;
}

INT_U8 open_quit_dialog(INT_S16) {
  // A second request replaces the open question, so one question stays.
  WM_CONFIRM* open = quit_dialog();
  if (open && page_manager) {
    page_manager->get_root()->remove_top_level(open, true, false);
    quit_box = nullptr;
    quit_box_handle = 0;
  }
  quit_box = open_wizard_question(wizard_text(&LANGUAGE::QUIT_TITLE), wizard_text(&LANGUAGE::QUIT_MSG),
                                  quit_dialog_event, WIZARD_EVENT_QUIT);
  quit_box_handle = object_handle(quit_box);
  return 0;
}

WM_RESULT quit_dialog_event(WM_SCREEN_OBJECT* object, INT_U32 event, INT_U32 answer, int) {
  if (event != WIZARD_EVENT_QUIT) return 0;
  if (object && (object->kind & WM_KIND_BUTTON) && !static_cast<WM_BUTTON*>(object)->released) return 0;
  if (answer) return WM_RESULT_LAST_PAGE_CLOSED;
  WM_CONFIRM* open = quit_dialog();
  if (open) open->close_with_effects(true, false);
  quit_box = nullptr;
  quit_box_handle = 0;
  return 0;
}
