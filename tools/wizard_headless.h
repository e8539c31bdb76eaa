// The installer's wizard without a window, for the tools that draw or time it and for the tests' twin
// of the real program: an installation package loaded into the installer's one database, and the
// wizard begun on a page manager as the program's start leaves it.
#pragma once
#include <string>

#include "border.h"
#include "colour.h"
#include "database.h"
#include "font.h"
#include "page_manager.h"
#include "wizard.h"

namespace wizard_headless {

// "installer.pkg" of the folder (the host's form) loaded into a fresh database, with the font system
// started as the program starts it; false when the package cannot be loaded.
inline bool load(const std::string& package_folder) {
  start_font_system();
  stop_database();
  start_database();
  std::string folder = package_folder;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  database->data_folder.set_if_folder(folder.c_str());
  return database->load_package("installer.pkg");
}

// The wizard begun on the page manager (the next pass applies its first page), with the borders that
// the program's start sets: borders without a colour of their own have no shades.
inline void begin(WM_PAGE_MANAGER* manager) {
  start_wizard(manager);
  border_light_colour = COLOUR_INVISIBLE;
  border_dark_colour = COLOUR_INVISIBLE;
}

}  // namespace wizard_headless
