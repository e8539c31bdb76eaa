// Shared fixture of the wizard's tests: a package with the wizard's page geometry and English page texts,
// loaded into the installer's one database, and the wizard started on a headless screen whose page
// manager runs its real update pass by pass.
#pragma once
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "border.h"
#include "button.h"
#include "data_file.h"
#include "database.h"
#include "engine.h"
#include "font.h"
#include "image_file.h"
#include "host.h"
#include "host_test_seam.h"
#include "options.h"
#include "installer_test_support.h"
#include "page_manager.h"
#include "screen_image.h"
#include "script.h"
#include "text_draw.h"
#include "text_win.h"
#include "window_scenario.h"
#include "wizard.h"
#include "wm_test_support.h"
#include "../tools/wizard_headless.h"

// Description lines with a text for every page element (of the language before them).
inline std::string wizard_text_lines() {
  static const char* const texts[][2] = {
      {"QUIT_TITLE", "Quit"},
      {"QUIT_MSG", "Do you want to quit the installation?"},
      {"QUIT_YES", "Yes"},
      {"QUIT_NO", "No"},
      {"FORWARD", "Next"},
      {"FORWARD_HINT", "The next page"},
      {"PREVIOUS", "Back"},
      {"PREVIOUS_HINT", "The page before"},
      {"AGREE", "I agree"},
      {"AGREE_HINT", "Accept the licence"},
      {"DISAGREE", "I do not agree"},
      {"DISAGREE_HINT", "Decline the licence and quit"},
      {"QUIT", "Quit"},
      {"QUIT_HINT", "Quit the installation"},
      {"ABOUT", "About"},
      {"ABOUT_HINT", "About the installer"},
      {"INSTALL", "Install"},
      {"INSTALL_HINT", "Install now"},
      {"FINISH", "Finish"},
      {"FINISH_HINT", "Close the installer"},
      {"SELECT_LANGUAGE", "Choose a language"},
      {"LICENCE_TITLE", "Licence"},
      {"README_TITLE", "Read me"},
      {"INSTALL_TYPE_TITLE", "Installation type"},
      {"SELECT_OPTIONS_TITLE", "Options"},
      {"SELECT_OPTIONS_LOCATION_QUESTION", "Where should the application go?"},
      {"SELECT_OPTIONS_USE_SYSTEM_PATHS", "Use the system folders"},
      {"SELECT_OPTIONS_SHORTCUT_QUESTION", "Which shortcuts should be made?"},
      {"SELECT_OPTIONS_DESKTOP_SHORTCUT", "On the desktop"},
      {"SELECT_OPTIONS_MENU_SHORTCUT", "In the menu"},
      {"SELECT_OPTIONS_SYSPATHS_SELECTED", "The system folders"},
      {"INSTALLING_TITLE", "Installing"},
      {"INITIALIZING_STRING", "Initializing..."},
      {"PACK_DATA_TITLE", "Packing data"},
      {"PACK_LOG_TITLE", "Packing log"},
      {"CANCEL_BUTTON", "Cancel"},
      {"NEW_FOLDER_BUTTON", "New folder"},
      {"SELECT_FOLDER_TITLE", "Choose a folder"},
      {"SELECT_FOLDER_MSG", "The folder to install into:"},
      {"SELECT_FOLDER_MENU_TITLE", "Look in"},
      {"MY_COMPUTER", "Computer"},
      {"NEW_FOLDER_TITLE", "New folder"},
      {"NEW_FOLDER_MSG", "The new folder's name:"},
      {"CHECK_DESKTOP_FAILED_TITLE", "Screen too small"},
      {"CHECK_DESKTOP_FAILED", "The screen is smaller than this application needs. Quit now?"},
      {"PATCH_MSG", "This update needs the earlier installation in the chosen folder."}};
  std::string lines;
  for (const auto& text : texts) lines += std::string("text = ") + text[0] + ";" + text[1] + "\n";
  return lines;
}

// The description lines that give a package the wizard's geometry (a 640 x 480 window, a 500 x 360
// page at 70, 60, a still background) and a text for every page element.
inline std::string wizard_description_lines() {
  return "window = 640;480\ndialog = 70;60;500;360\nbackground_speed = 0\n" + wizard_text_lines();
}

// A package built from the scratch description plus the wizard lines (and extra), loaded into the
// installer's database; start() hands it to the wizard on a 640 x 480 headless screen and applies the
// first page. Everything goes back at the end: the page manager, the database, the skin globals.
class WIZARD_RUN {
public:
  INSTALLER_SCRATCH scratch;
  std::unique_ptr<WM_TEST_SCREEN> screen;

  explicit WIZARD_RUN(const std::string& name, const std::string& extra = "")
      : scratch(name, wizard_description_lines() + extra) {}

  ~WIZARD_RUN() {
    set_close_callback(nullptr);
    screen.reset();
    set_idle_wait(50);
    set_install_observer(nullptr);
    stop_database();
    reset_skin_globals();
  }

  // Builds the package and loads it into the database; false when either fails.
  bool load() {
    if (!scratch.build()) return false;
    stop_database();
    start_database();
    std::string folder = scratch.package.substr(0, scratch.package.size() - 1);
    database->data_folder.set_if_folder(folder.c_str());
    return database->load_package("installer.pkg");
  }

  // load, then begin.
  bool start() { return load() && begin(); }

  // The wizard started on the loaded database (which a test may have changed first): a 640 x 480 screen
  // (and a desktop of the size given), the window's close callback, and one pass that applies the first
  // page.
  bool begin(INT_S16 desktop_width = -1, INT_S16 desktop_height = -1) {
    screen.reset(new WM_TEST_SCREEN(640, 480, 1));
    test_seam_desktop(desktop_width, desktop_height);
    // The frame loop's idle steps inside a pass (the progress) never wait.
    set_idle_wait(0);
    start_wizard(screen->manager);
    set_close_callback(open_quit_dialog);
    run_pass();
    return live_page() != nullptr;
  }

  // The page rebuilt for a stage, as a navigation click does.
  INSTALL_DIALOG* show_stage(INT_S32 stage) {
    database->stage = stage;
    screen->manager->rebuild_area(screen->manager->current_area, true);
    run_pass();
    return live_page();
  }
};

// A second installation ("Minimal", into $SCRATCH/minimal) beside the package's own one ("Everything"
// in the display names), added the way the database reader makes them.
inline void add_second_installation() {
  INSTALLATION* two = new INSTALLATION[2]();
  two[0] = database->installations[0];
  std::strcpy(two[1].name, "Minimal");
  std::strcpy(two[1].default_path, "$SCRATCH/minimal");
  delete[] database->installations;
  database->installations = two;
  database->installation_count = 2;
  LANGUAGE& language = database->languages[0];
  DATABASE_TEXT* names = new DATABASE_TEXT[2]();
  std::strcpy(names[0], "Everything");
  std::strcpy(names[1], "Minimal");
  delete[] language.installation_strings;
  language.installation_strings = names;
  language.installation_string_count = 2;
}

// The text window of a page (licence, readme, log), or null.
inline WM_TEXT_WIN* text_window_of(INSTALL_DIALOG* page) {
  for (LLIST_NODE* node = page->client->children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* object = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (object->kind & WM_KIND_TEXT_WIN) return static_cast<WM_TEXT_WIN*>(object);
  }
  return nullptr;
}

// What the page of an installation that did not complete says failed: its failure window's lines.
inline std::string failure_shown(INSTALL_DIALOG* page) {
  WM_TEXT_WIN* window = page ? page->failure_window : nullptr;
  std::string text;
  for (INT_S32 k = 0; window && k < window->data_count; k++) text += (k ? "\n" : "") + std::string(window->data_buffer[k].text);
  return text;
}

inline std::string label_of(WM_BUTTON* button) { return button && button->label ? button->label : ""; }
inline std::string text_of(WM_SCRIPT* script) {
  return script && script->text.type == STRING_TYPE && script->text.value.text ? script->text.value.text : "";
}

// The object's text shows whole: on one line within its room's width, or wrapped (a script that wraps in
// its box, a button that wraps its label) onto lines that its room's height holds.
inline bool shows_whole(WM_SCREEN_OBJECT* object) {
  const char* text;
  INT_S8 font_id;
  INT_S16 x_size, y_size, width, top, bottom;
  bool wraps;
  if (object->kind & WM_KIND_SCRIPT) {
    WM_SCRIPT* s = static_cast<WM_SCRIPT*>(object);
    text = s->text.value.text;
    choose_widget_font(s->font_id, s->font_x_size, s->font_y_size, &font_id, &x_size, &y_size);
    width = (INT_S16)(s->width - s->left_gap - s->right_gap);
    wraps = s->wraps_in_its_box(&top, &bottom);
  } else {
    WM_BUTTON* b = static_cast<WM_BUTTON*>(object);
    text = b->label;
    choose_widget_font(b->font_id, b->font_x_size, b->font_y_size, &font_id, &x_size, &y_size);
    width = (INT_S16)(b->width - b->left_gap - b->right_gap);
    wraps = (b->button_flags & bf_wrap_text) != 0;
    top = (INT_S16)(b->y + b->top_gap);
    bottom = (INT_S16)(b->y + b->height - b->bottom_gap - 1);
  }
  if (!wraps) return text_width(draw_target, font_id, x_size, y_size, text, -1, false) <= width;
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, width, TEXT_MAX_LINES, font_id, x_size, y_size, text, lines);
  return count * y_size <= bottom - top + 1;
}

// Dialogs end their fades and slides (they step every second pass, by the clock).
inline void let_effects_end() {
  for (int i = 0; i < 4; i++) {
    advance_ms(1000);
    run_pass();
  }
}

// A left click on the middle of an object through the page manager's pass, then a pass with nothing
// held (as the frame loop runs between two clicks, so every object sees the button up): the result of
// the release.
inline INT_S32 click_on(WM_SCREEN_OBJECT* object) {
  INT_S16 x = (INT_S16)(object->x + object->width / 2), y = (INT_S16)(object->y + object->height / 2);
  press(x, y);
  INT_S32 result = release(x, y);
  if (result != WM_RESULT_LAST_PAGE_CLOSED) run_pass();
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Real-window scenarios

// The wizard that the real program shows for a package, built in this process the same way: the package
// loaded into the database, the system's fonts (or none, as the program finds them), a headless screen
// of the window's size and the page of the first stage. Its controls lie where the real window shows
// them, so a scenario clicks on them by their rectangles.
class WIZARD_TWIN {
public:
  std::unique_ptr<WM_TEST_SCREEN> screen;
  const char* kept_title = app_descriptor.title;  // given back at the end

  ~WIZARD_TWIN() {
    app_descriptor.title = kept_title;
    screen.reset();
    border_light_colour = 0xFFFFFFFF;
    border_dark_colour = 0xFF808080;
    set_install_observer(nullptr);
    stop_database();
    reset_skin_globals();
    stop_font_system();
  }

  // package_folder: the folder of "installer.pkg", in the host's form; the desktop size the program
  // meets (-1: the host's own).
  bool start(const std::string& package_folder, INT_S16 desktop_width = -1, INT_S16 desktop_height = -1) {
    // The program's title (installer/installer.cpp), which its about box shows first.
    app_descriptor.title = "Installer 1.11";
    if (!wizard_headless::load(package_folder)) return false;
    screen.reset(new WM_TEST_SCREEN(database->WINDOW.width, database->WINDOW.height, 1));
    test_seam_desktop(desktop_width, desktop_height);
    wizard_headless::begin(screen->manager);
    run_pass();
    return live_page() != nullptr;
  }
};

// Where an object of a dialog lies once the dialog's opening slide has ended: its middle point.
inline void resting_centre(WM_SCREEN_OBJECT* object, WM_DIALOG* dialog, int* x, int* y) {
  *x = object->x + object->width / 2 + (dialog && dialog->slide_end_x != -1 ? dialog->slide_end_x - dialog->x : 0);
  *y = object->y + object->height / 2 + (dialog && dialog->slide_end_y != -1 ? dialog->slide_end_y - dialog->y : 0);
}

// A point of the window, where a scenario clicks.
struct SPOT {
  int x = 0, y = 0;
};
inline SPOT spot_of(WM_SCREEN_OBJECT* object, WM_DIALOG* dialog = nullptr) {
  SPOT spot;
  resting_centre(object, dialog, &spot.x, &spot.y);
  return spot;
}

// The twin's screen as a capture of the real window shows it (0xRRGGBB).
inline WINDOW_CAPTURE twin_screen() {
  WINDOW_CAPTURE image;
  image.width = screen_image.width;
  image.height = screen_image.height;
  for (int y = 0; y < image.height; y++)
    for (int x = 0; x < image.width; x++) image.pixels.push_back(screen_pixel((INT_S16)x, (INT_S16)y) & 0xFFFFFFu);
  return image;
}

// A rectangle of the window (an object's, kept after the object has gone).
struct AREA {
  int x = 0, y = 0, width = 0, height = 0;
};
inline AREA area_of(WM_SCREEN_OBJECT* object) { return {object->x, object->y, object->width, object->height}; }

// How many pixels of the area two pictures show differently.
inline int differing_pixels(const WINDOW_CAPTURE& one, const WINDOW_CAPTURE& other, AREA area) {
  int differing = 0;
  for (int y = area.y; y < area.y + area.height; y++)
    for (int x = area.x; x < area.x + area.width; x++)
      if (one.at(x, y) != other.at(x, y)) differing++;
  return differing;
}

inline void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The capture written as a PNG file into the folder that VELK_SCREENSHOT_DIR names, when it is set.
inline bool keep_picture(const WINDOW_CAPTURE& image, const char* name) {
  std::string folder_text = environment_text("VELK_SCREENSHOT_DIR");
  if (folder_text.empty()) return true;
  IMAGE picture((INT_S16)image.width, (INT_S16)image.height);
  for (int y = 0; y < image.height; y++)
    for (int x = 0; x < image.width; x++) picture.pixels[y * picture.row_pitch + x] = 0xFF000000u | image.at(x, y);
  FOLDER folder;
  if (!folder.set_if_folder(folder_text.c_str())) return false;
  DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_WRITE, 0, false);
  if (!file) return false;
  bool saved = save_png(&picture, file);
  close_data_file(&file);
  return saved;
}

// A click on the real window, then a wait until the window stands still again (a page rebuilt, a
// dialog's effects ended).
inline bool click_and_settle(WINDOW_SCENARIO& scenario, SPOT spot) {
  return scenario.click(spot.x, spot.y) && scenario.wait_until_still();
}

// Waits until the file's last line is the text, for as long as lines keep coming: false once 30 s
// pass without a new one.
inline bool wait_for_last_line(const std::string& path, const std::string& text) {
  size_t seen = 0;
  for (int waited = 0; waited < 30000; waited += 100) {
    std::vector<std::string> lines = read_lines(path);
    if (!lines.empty() && lines.back() == text) return true;
    if (lines.size() > seen) waited = 0;
    seen = std::max(seen, lines.size());
    pause_ms(100);
  }
  return false;
}

// A path-variable text of a host folder that the installer program resolves as this process does.
inline std::string program_path_text(const std::string& path) {
#ifdef _WIN32
  return root_text(path);
#else
  std::string text = path;
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return "$ROOT0" + text;
#endif
}

// The program's environment: unattended, and natively its system folders inside the scratch folder.
inline std::vector<std::string> program_environment(const std::string& root) {
#ifdef _WIN32
  (void)root;
  return {"VELK_UNATTENDED=1"};
#else
  return {"VELK_UNATTENDED=1",
          "HOME=" + root + "home",
          "XDG_CONFIG_HOME=" + root + "home/config",
          "XDG_DATA_HOME=" + root + "home/data",
          "XDG_DESKTOP_DIR=" + root + "home/Desktop",
          "TMPDIR=" + root + "tmp"};
#endif
}

// Replaces every occurrence of from in the text.
inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The description edit of a scenario without a licence.
inline const std::pair<std::string, std::string> NO_LICENCE = {"language = English;licence.txt;", "language = English;;"};

// The scratch description made a scenario's own and built: its shortcut and uninstall names carry the
// tag (under Wine the prefix's desktop and registry are shared), the destination is named from the drive
// root (the test's own named paths mean nothing to the program), then the edits and the extra lines.
inline bool build_scenario_package(INSTALLER_SCRATCH& scratch, const std::string& tag,
                                   const std::vector<std::pair<std::string, std::string>>& edits = {},
                                   const std::string& extra = "") {
  std::string description = read_whole_text(scratch.source + "description.txt");
  description = replaced(description, "Velk Test App", "Wizard " + tag + " App");
  description = replaced(description, "Test App;$HERE/bin", "Wizard " + tag + " App;$HERE/bin");
  description = replaced(description, "Velk Test Group", "Wizard " + tag + " Group");
  description = replaced(description, "$SCRATCH/dest", program_path_text(scratch.root) + "/dest");
  for (const auto& edit : edits) description = replaced(description, edit.first, edit.second);
  return write_whole_file(scratch.source + "description.txt", text_bytes(description + extra)) && scratch.build();
}

// The name of a picture of the window: "-wine" before ".png" for the Windows program.
inline std::string picture_name(const std::string& name) {
#ifdef _WIN32
  return name + "-wine.png";
#else
  return name + ".png";
#endif
}

// Starts the real installer on the scratch package in the scenario's window and waits for its first
// page at rest.
inline bool start_installer(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, const std::string& title) {
  return scenario.start(WINDOW_SCENARIO::built_program("installer"),
                        {"-x", program_path_text(scratch.package) + "/installer.xml"},
                        program_environment(scratch.root)) &&
         scenario.wait_for_window(title, 640, 480) && scenario.wait_until_still();
}

// Files enough that copying them lasts a while, so that a scenario sees the installation in its
// middle, and that a hold at its start leaves most of it to do.
inline void add_many_small_files(INSTALLER_SCRATCH& scratch) {
#ifdef _WIN32
  const int count = 4000;
#else
  const int count = 12000;
#endif
  for (int i = 0; i < count; i++) scratch.add_file("many/file" + std::to_string(i) + ".txt", all_byte_values(1));
}

// Asks the program to hold still once the installation has logged at least `lines` lines: asked before
// the click that starts it, so that the hold comes in the middle of the copying however fast the
// program copies or slowly the test goes on.
inline bool hold_once_logged(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, size_t lines) {
  return scenario.hold_once_lines(scratch.installed("install_log.txt"), lines);
}

// Waits for that hold and says how many lines the log had (held); false, with the failure said, when
// the installation was over first.
inline bool hold_while_copying(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, size_t* held) {
  if (!scenario.wait_until_held(held)) return false;
  if (*held >= scratch.files.size()) {
    ADD_FAILURE() << "the installation was over before the program was held";
    return false;
  }
  return true;
}

// The page of a stage built in the twin without a pass (a pass at the installing stage would install).
inline INSTALL_DIALOG* twin_page(WIZARD_TWIN& twin, INT_S32 stage) {
  database->stage = stage;
  twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
  return live_page();
}
