// Pictures of the wizard for the README (not a test): the pages of an installation package - the licence,
// the options, installing half-way and the readme - drawn by the installer's own wizard on a screen
// without a window (the real window shows the same pixels) and written as PNG files. Installing goes into
// the run's temporary folder, without shortcuts or an uninstall entry.
// Usage: wizard_pictures <folder of installer.pkg> <output folder>
#include <cstdio>
#include <cstring>
#include <string>

#include "button.h"
#include "folder.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "program.h"
#include "progress_bar.h"
#include "wizard_headless.h"

namespace {

bool save(const std::string& folder, const char* name) {
  std::string path = folder + "/" + name;
  bool saved = test_seam_dump_png(path.c_str());
  std::printf("%s %s\n", saved ? "wrote" : "could not write", path.c_str());
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: wizard_pictures <folder of installer.pkg> <output folder>\n");
    return 2;
  }
  std::string output = argv[2];
  APPLICATION_ENTRIES none = {nullptr, nullptr, nullptr, nullptr};
  start_program(&none);
  if (!wizard_headless::load(argv[1])) {
    std::fprintf(stderr, "wizard_pictures: no installation package in %s\n", argv[1]);
    shut_down_program(false);
    return 1;
  }
  test_seam_screen(database->WINDOW.width, database->WINDOW.height);
  draw_target = &screen_image;
  test_seam_pointer(-1, -1);
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  wizard_headless::begin(manager);
  manager->update(false);

  bool ok = database->stage == STAGE_LICENCE && save(output, "wizard-licence.png");
  if (ok) wizard_headless::click(manager, live_page()->forward_button);
  ok = ok && database->stage == STAGE_OPTIONS && save(output, "wizard-options.png");

  // Installing into a folder of the run's own, with nothing left outside it.
  FOLDER temporary;
  ok = ok && temporary.set("$TEMP");
  std::snprintf(database->install_path, sizeof database->install_path, "$TEMP/installed");
  database->desktop_shortcut = 0;
  database->menu_shortcut = 0;
  database->get_current_installation()->uninstaller_name[0] = 0;
  if (ok) wizard_headless::click(manager, live_page()->forward_button);
  ok = ok && database->stage == STAGE_INSTALLING;
  while (ok && live_page()->progress_bar->value < 50 && !live_page()->forward_button->enabled) manager->update(false);
  ok = ok && save(output, "wizard-installing.png");
  while (ok && !live_page()->forward_button->enabled) manager->update(false);
  if (ok) wizard_headless::click(manager, live_page()->forward_button);
  ok = ok && database->stage == STAGE_README && save(output, "wizard-readme.png");

  delete manager;
  shut_down_program(false);
  stop_database();
  return ok ? 0 : 1;
}
