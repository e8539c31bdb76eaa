// The interactive start's window and wizard, and an alternative start that the start-up does not use:
// the installation's configuration file chosen with the file selector, which remembers the last choice
// in "settings.cfg" of "$USERPREFS".
#include "engine.h"

#include "config_file.h"
#include "database.h"
#include "file_select.h"
#include "host.h"
#include "page_manager.h"
#include "program.h"
#include "screen_image.h"
#include "script.h"
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

void tell_screen_too_small() {
  const char* title = wizard_text(&LANGUAGE::CHECK_DESKTOP_FAILED_TITLE);
  const char* text = wizard_text(&LANGUAGE::CHECK_DESKTOP_FAILED);
  std::string sizes = format_text("The screen is %d x %d; the installer's window needs %d x %d.",
                                  (int)get_desktop_width(), (int)get_desktop_height(), (int)database->DIALOG.width,
                                  (int)database->DIALOG.height);
  show_message_box(title[0] ? title : "Screen too small", text[0] ? (std::string(text) + "\n\n" + sizes).c_str()
                                                                  : sizes.c_str());
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
    show_message_box("No installation data found!", "Make sure you have got all required files.");
    return 0;
  }
  if (!open_installer_window(false)) {
    tell_screen_too_small();
    end_program(EXIT_JOB_NOT_STARTED);
  }
  begin_wizard(page_manager);
  return WM_RESULT_REMOVE;
}
