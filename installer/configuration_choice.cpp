// The interactive start's window and wizard, and an alternative start that the start-up does not use:
// the installation's configuration file chosen with the file selector, which remembers the last choice
// in "settings.cfg" of "$USERPREFS".
#include "engine.h"

#include <cctype>
#include <string>

#include "border.h"
#include "button.h"
#include "config_file.h"
#include "confirm.h"
#include "database.h"
#include "file_select.h"
#include "host.h"
#include "page_manager.h"
#include "program.h"
#include "screen_image.h"
#include "script.h"
#include "text_win.h"
#include "wizard.h"

static const char* const CHOICE_SETTINGS_NAME = "settings.cfg";

bool open_installer_window(bool splash_window) {
  INT_S16 width = database->WINDOW.width, height = database->WINDOW.height;
  if (splash_window && get_screen_width(0) == width && get_screen_height(0) == height) return true;
  close_main_window(0);
  LANGUAGE* language = database->get_current_language();
  GRAPHICS_MODE mode = {language ? language->INSTALLER_TITLE : "",
                        width,
                        height,
                        database->WINDOW.fullscreen,
                        database->DIALOG.width,
                        -1,
                        database->DIALOG.height,
                        -1,
                        0};
  return OpenGraphics(&mode, 0) != 0;
}

std::string statement_of(const char* text) {
  std::string statement = text ? text : "";
  while (!statement.empty() && std::isspace((unsigned char)statement.back())) statement.pop_back();
  if (statement.empty() || statement.back() != '?') return statement;
  size_t end = statement.find_last_of(".!\n", statement.size() - 1);
  statement.erase(end == std::string::npos ? 0 : end + 1);
  while (!statement.empty() && std::isspace((unsigned char)statement.back())) statement.pop_back();
  return statement;
}

// The screen-too-small message's window, until its one answer.
static bool message_answered = false;

static WM_RESULT message_answer(WM_SCREEN_OBJECT* object, INT_U32, INT_U32, int) {
  if (object && (object->kind & WM_KIND_BUTTON) && !static_cast<WM_BUTTON*>(object)->released) return 0;
  message_answered = true;
  return 0;
}

static INT_U8 message_closed(INT_S16) {
  message_answered = true;
  return 0;
}

static INT_U8 until_message_answered() {
  if (page_manager) page_manager->update(false);
  present_frame(-1);
  return message_answered ? 0 : 1;
}

// The message with OK in a window of the quit question's width (within the screen), as tall as the
// message needs within the screen; false when no such window can be had.
static bool show_message_window(WM_PAGE_MANAGER* manager, const char* title, const char* text) {
  static WM_DIALOG_EFFECTS no_effects = {0, 0, 0, 255};
  INT_S16 width = database->EXIT.width > 0 ? database->EXIT.width : 320;
  INT_S16 height = database->EXIT.height > 0 ? database->EXIT.height : 170;
  WM_CONFIRM* box = nullptr;
  for (int attempt = 0; attempt < 2; attempt++) {
    GRAPHICS_MODE mode = {title, width, height, 0, -1, -1, -1, -1, 0};
    if (!OpenGraphics(&mode, 0)) return false;
    manager->get_root()->resize(get_screen_width(0), get_screen_height(0), true);
    delete box;
    box = new WM_CONFIRM(get_screen_width(0), get_screen_height(0), title, wizard_text(&LANGUAGE::OK_BUTTON), nullptr,
                         1, message_answer, 0, 1, nullptr, 0, 0, 0, 0, 1, 100, &no_effects);
    if (!box->text) break;
    box->add_message(text);
    box->text->drawing_flags = 0;
    // A message longer than the window has room for: the window grows to it, once.
    INT_S32 wanted = box->height - box->text->height + box->text->height_for_lines();
    if (attempt > 0 || wanted <= get_screen_height(0)) break;
    height = (INT_S16)(wanted > 32767 ? 32767 : wanted);
  }
  give_button_icon(box->buttons[0], &database->skin_icons[DATABASE::yes_icon]);
  // Drawn as the wizard draws its questions.
  border_light_colour = COLOUR_INVISIBLE;
  border_dark_colour = COLOUR_INVISIBLE;
  manager->get_root()->add_top_level(box, false);
  set_close_callback(message_closed);
  message_answered = false;
  run_frame_loop(until_message_answered);
  return true;
}

void tell_screen_too_small(WM_PAGE_MANAGER* manager) {
  const char* title = wizard_text(&LANGUAGE::CHECK_DESKTOP_FAILED_TITLE);
  if (!title[0]) title = "Screen too small";
  std::string statement = statement_of(wizard_text(&LANGUAGE::CHECK_DESKTOP_FAILED));
  if (!statement.empty()) statement += "\n\n";
  // times: what stands between a width and a height.
  auto text = [&](const char* times) {
    return statement + format_text("The screen is %d%s%d; the installer's window needs %d%s%d.", (int)get_desktop_width(),
                                   times, (int)get_desktop_height(), (int)database->DIALOG.width, times,
                                   (int)database->DIALOG.height);
  };
  if (!running_unattended() && manager) {
    database->load_package_fonts();
    // In the window a size keeps to one line: no break beside its "x".
    if (show_message_window(manager, title, text("\xA0x\xA0").c_str())) return;
  }
  show_message_box(title, text(" x ").c_str());
}

void begin_wizard(WM_PAGE_MANAGER* manager) {
  if (!manager) return;
  database->load_package_fonts();
  manager->get_root()->resize(get_screen_width(0), get_screen_height(0), true);
  start_wizard(manager);
  manager->first_page_from_black = 1;
  set_close_callback(open_quit_dialog);
}

void choose_configuration(WM_PAGE_MANAGER* manager) {
  if (!manager) return;
  FOLDER preferences, start;
  bool remembered = preferences.set("$USERPREFS");
  CONFIG_FILE settings;
  settings.init(CHOICE_SETTINGS_NAME, false);
  char path[256] = "", name[256] = "";
  if (!(remembered && settings.get_string(&preferences, "last_path", path) && set_known_folder(&start, path, false)))
    start.set("$APPDATA");
  if (!(remembered && settings.get_string(&preferences, "last_filename", name))) name[0] = 0;
  WM_FILE_SELECT* selector = new WM_FILE_SELECT(-1, -1, true, configuration_chosen, 0, nullptr, nullptr, nullptr);
  selector->set_mode(FILE_SELECT_FILE, &start, name, nullptr);
  selector->set_title("Select Installation Configuration");
  if (selector->message) selector->message->set_text("Select the XML configuration file.", false);
  manager->get_root()->add_top_level(selector, false);
}

WM_RESULT configuration_chosen(WM_SCREEN_OBJECT* object, INT_U32, INT_U32 result, int) {
  if (!object || !(object->kind & WM_KIND_FILE_SELECT)) return 0;
  if (result == 0) return WM_RESULT_REMOVE;
  FOLDER folder;
  char name[256];
  if (!static_cast<WM_FILE_SELECT*>(object)->get_selection(&folder, name, sizeof name) || !name[0]) return 0;
  database->data_folder = folder;
  database->xml_name.assign(name);
  FOLDER preferences;
  if (preferences.set("$USERPREFS", false, nullptr, true)) {
    CONFIG_FILE settings;
    settings.init(CHOICE_SETTINGS_NAME, false);
    char path[FOLDER_PATH_SIZE];
    folder.get_portable_text(path, nullptr);
    settings.set_string(&preferences, "last_path", path);
    settings.set_string(&preferences, "last_filename", name);
  }
  // Without a package there the selector stays open, so that another folder can be chosen.
  if (!database->load_package(PACKAGE_FILE_NAME)) {
    if (database->load_refused)
      show_message_box(PACKAGE_DAMAGED_CAPTION, package_damaged_text(*database).c_str());
    else
      show_message_box(PACKAGE_NOT_FOUND_CAPTION,
                       (package_not_found_text(*database) + "\n" + PACKAGE_NOT_FOUND_ADVICE).c_str());
    return 0;
  }
  std::string missing_drive = missing_drive_refusal(*database);
  if (!missing_drive.empty()) {
    show_message_box(MISSING_DRIVE_CAPTION, package_refusal_text(*database, missing_drive).c_str());
    return 0;
  }
  if (!open_installer_window(false)) {
    tell_screen_too_small(nullptr);  // inside a pass: a message box, no frame loop of its own
    end_program(EXIT_JOB_NOT_STARTED);
  }
  begin_wizard(page_manager);
  return WM_RESULT_REMOVE;
}
