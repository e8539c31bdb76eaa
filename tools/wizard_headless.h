// The installer's wizard without a window, for the benchmark that times it and for the tests' twin
// of the real program: an installation package loaded into the installer's one database, the wizard
// begun on a page manager as the program's start leaves it, and clicks through the host's test seam.
#pragma once
#include <string>

#include "border.h"
#include "colour.h"
#include "database.h"
#include "font.h"
#include "host_test_seam.h"
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
  return database->load_package(PACKAGE_FILE_NAME);
}

// The wizard begun on the page manager (the next pass applies its first page), with the package's fonts
// and the borders that the program's start sets: borders without a colour of their own have no shades.
inline void begin(WM_PAGE_MANAGER* manager) {
  database->load_package_fonts();
  start_wizard(manager);
  border_light_colour = COLOUR_INVISIBLE;
  border_dark_colour = COLOUR_INVISIBLE;
}

// A left click on the middle of the object through the page manager's passes (pressed in one, let go
// in the next), then the pointer away from the window, so that no button shows it over itself. The
// result of the release.
inline INT_S32 click(WM_PAGE_MANAGER* manager, WM_SCREEN_OBJECT* object) {
  test_seam_pointer((INT_S16)(object->x + object->width / 2), (INT_S16)(object->y + object->height / 2));
  test_seam_button(1, true);
  manager->update(false);
  test_seam_button(1, false);
  INT_S32 result = manager->update(false);
  test_seam_pointer(-1, -1);
  if (result != WM_RESULT_LAST_PAGE_CLOSED) manager->update(false);
  return result;
}

}  // namespace wizard_headless
