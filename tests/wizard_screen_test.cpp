// The wizard as a person sees it: every page of the sample package (tools/sample) and of a package with
// long texts (the longest language's labels, a 100-character folder message, a deep destination folder,
// long installation and option names), walked through the page manager's real passes, each page and
// dialog checked from its screen objects (screen_check.h): no text cut, outside its place or over another
// object, none shortened while its row has room, every path's last folder whole (the sample's
// destination ends in a twelve-letter folder, and the options page also shows one of 70 characters),
// every text readable on its ground (a disabled one too), every check box seen.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "check_box.h"
#include "confirm.h"
#include "dialog.h"
#include "file_select.h"
#include "floating_menu.h"
#include "grid.h"
#include "menu.h"
#include "redraw.h"
#include "screen_check.h"
#include "wizard_test_support.h"

namespace {

// The texts of the long package's second language, a German wording that is the longest; its first language
// has the short English of the wizard's tests.
const char* const long_texts[][2] = {
    {"QUIT_TITLE", "Installation beenden"},
    {"QUIT_MSG", "Moechten Sie das Installationsprogramm der Beispielanwendung mit allen Handbuechern jetzt "
                 "beenden? Bereits kopierte Dateien bleiben im Zielordner erhalten und muessen von Hand entfernt "
                 "werden."},
    {"QUIT_YES", "Beenden"},
    {"QUIT_NO", "Fortsetzen"},
    {"FORWARD", "Weiter"},
    {"FORWARD_HINT", "Weiter zum naechsten Schritt"},
    {"PREVIOUS", "Zurueck"},
    {"PREVIOUS_HINT", "Zurueck zum vorherigen Schritt"},
    {"AGREE", "Lizenz akzeptieren"},
    {"AGREE_HINT", "Die Lizenzbedingungen annehmen"},
    {"DISAGREE", "Lizenz ablehnen"},
    {"DISAGREE_HINT", "Die Lizenzbedingungen ablehnen und beenden"},
    {"QUIT", "Installation abbrechen"},
    {"QUIT_HINT", "Die Installation abbrechen"},
    {"ABOUT", "Info"},
    {"ABOUT_HINT", "Ueber das Installationsprogramm"},
    {"INSTALL", "Installieren"},
    {"INSTALL_HINT", "Die Dateien jetzt kopieren"},
    {"FINISH", "Fertigstellen"},
    {"FINISH_HINT", "Das Installationsprogramm schliessen"},
    {"SELECT_LANGUAGE", "Sprache der Installation waehlen"},
    {"LICENCE_TITLE", "Lizenzvereinbarung fuer Endbenutzer"},
    {"README_TITLE", "Wichtige Hinweise vor dem ersten Start"},
    {"INSTALL_TYPE_TITLE", "Art der Installation auswaehlen"},
    {"SELECT_OPTIONS_TITLE", "Zielordner und Verknuepfungen"},
    {"SELECT_OPTIONS_LOCATION_QUESTION", "Wohin soll die Beispielanwendung mit allen Handbuechern, Beispielen "
                                         "und Werkzeugen installiert werden?"},
    {"SELECT_OPTIONS_USE_SYSTEM_PATHS", "Die Standardordner des Systems verwenden"},
    {"SELECT_OPTIONS_SHORTCUT_QUESTION", "Welche Verknuepfungen sollen angelegt werden?"},
    {"SELECT_OPTIONS_DESKTOP_SHORTCUT", "Eine Verknuepfung auf dem Schreibtisch, die die Beispielanwendung "
                                        "startet"},
    {"SELECT_OPTIONS_MENU_SHORTCUT", "Eintrag im Anwendungsmenue"},
    {"SELECT_OPTIONS_SYSPATHS_SELECTED", "(die Standardordner des Systems)"},
    {"INSTALLING_TITLE", "Die Anwendung wird installiert"},
    {"INSTALLING_STRING", "Die Installation wird vorbereitet..."},
    {"INITIALIZING_STRING", "Dateien werden kopiert..."},
    {"COMPLETE", "Alle Dateien wurden installiert."},
    {"CANCEL_BUTTON", "Abbrechen"},
    {"NEW_FOLDER_BUTTON", "Neuen Ordner anlegen"},
    {"SELECT_FOLDER_TITLE", "Zielordner waehlen"},
    // 100 characters.
    {"SELECT_FOLDER_MSG", "Waehlen Sie den Ordner, in den die Beispielanwendung mit allen Handbuechern installiert "
                          "werden soll."},
    {"SELECT_FOLDER_MENU_TITLE", "Suchen in:"},
    {"MY_COMPUTER", "Dieser Computer"},
    {"NEW_FOLDER_TITLE", "Neuer Ordner"},
    {"NEW_FOLDER_MSG", "Name des neuen Ordners:"}};

// The deep destination folder, below the scratch folder; all but its last level exist, with a few long
// folder names beside it.
const char* const deep_folder = "Programme mit einem recht langen Ordnernamen/Hersteller der Beispielanwendung/"
                                "Beispielanwendung in der Version 1.0 mit allen Erweiterungen/Daten";

// The long package's description: three installations (the first with a long name) with shortcuts, a short
// and a long language, each with a licence and a readme; the sample's page and its own question size, the
// default sizes of the about box and the folder dialog; a progress bar with a fill and a text colour.
std::string long_description() {
  std::string description =
      "title = Installationsprogramm der Beispielanwendung mit allen Handbuechern und Werkzeugen\n"
      "application = velk-long-texts\n"
      "window = 640;480\ndialog = 40;30;560;420\nexit = -1;-1;360;200\nbackground_speed = 0\n"
      "style = progress_bar;highlight_colour;#1B5E20\nstyle = progress_bar;highlight_text_colour;#FFFFFF\n"
      "log = $HERE\n";
  const char* const installations[] = {
      "Vollstaendig mit allen Handbuechern", "Standard ohne Beispiele", "Nur die Anwendung"};
  for (const char* name : installations)
    description += std::string("installation = ") + name + "\ndefault_path = $SCRATCH/" + deep_folder +
                   "\nfiles = files\ndesktop_shortcut = 1;run.sh;" + name +
                   ";$HERE/bin\nmenu_shortcut = 3;guide.txt;Handbuch;Beispielanwendung;$HERE/docs\n";
  description += "language = English;licence.txt;readme.txt\n" + wizard_text_lines();
  description += "language = Deutsch (Deutschland);licence.txt;readme.txt\n";
  for (const auto& text : long_texts) description += std::string("text = ") + text[0] + ";" + text[1] + "\n";
  return description;
}

// The sample's destination below the scratch folder: a folder whose name is twelve letters, made, where
// the folder dialog opens.
const char* const sample_destination = "Programs/Applications";

// The package of the case built into the scratch folder: the sample from its source, installing into the
// scratch folder's sample destination; or the long package, with its deep folder made.
bool build_package(const std::string& name, INSTALLER_SCRATCH* scratch) {
  std::string description;
  if (name == "sample") {
    std::filesystem::remove_all(scratch->source);
    std::filesystem::copy(environment_text("VELK_SOURCE_DIR") + "/tools/sample", scratch->source,
                          std::filesystem::copy_options::recursive);
    description = read_whole_text(scratch->source + "description.txt");
    const std::string place = "$ROOT0/tmp/velk-sample/installed";
    size_t at = description.find(place);
    if (at == std::string::npos) return false;
    description.replace(at, place.size(), std::string("$SCRATCH/") + sample_destination);
    std::filesystem::create_directories(std::filesystem::u8path(scratch->root) / sample_destination);
  } else {
    description = long_description();
    write_whole_file(scratch->source + "readme.txt",
                     text_bytes("Vor dem ersten Start lesen Sie bitte die Hinweise zur Einrichtung der "
                                "Beispielanwendung, zu den Handbuechern und zu den mitgelieferten Werkzeugen.\n"
                                "Die Beispielanwendung speichert ihre Einstellungen im Benutzerordner.\n"));
    std::filesystem::path deep = std::filesystem::u8path(scratch->root) / deep_folder;
    std::filesystem::create_directories(deep.parent_path() / "Aeltere Versionen der Beispielanwendung und ihre Daten");
    std::filesystem::create_directories(deep.parent_path() / "Gemeinsam genutzte Bibliotheken aller Anwendungen");
  }
  return write_whole_file(scratch->source + "description.txt", text_bytes(description)) && scratch->build();
}

// The index of the language with the most text.
int longest_language() {
  int longest = 0;
  size_t most = 0;
  for (int i = 0; i < database->language_count; i++) {
    size_t total = 0;
    for (int n = 0; n < LANGUAGE_TEXT_COUNT; n++) total += std::strlen(language_text(&database->languages[i], n));
    if (total > most) most = total, longest = i;
  }
  return longest;
}

// A destination of 70 characters from the drive's root ending in a twelve-letter folder, as typical ones
// are; it is only shown, never made.
std::string seventy_character_destination() {
  std::string root = expand_path_text("$ROOT0", nullptr);
  std::string rest = "Company of the Sample Application/Sample Application 1.0/Applications";
  size_t shown = root.size() + (root.empty() || root.back() == '/' || root.back() == '\\' ? 0 : 1) + rest.size();
  rest.erase(0, shown - 70);  // the first folder's name gives way
  return "$ROOT0/" + rest;
}

// Checks pages; each fault found fails the test once ("package / page: object: problem").
class SCREEN_WALK {
public:
  std::string package;

  // The whole screen drawn again with the pointer away, then checked.
  void check(const std::string& page) {
    test_seam_pointer(-1, -1);
    invalidate_display(page_manager->get_root());
    run_pass();
    for (const SCREEN_FAULT& fault : check_screen())
      if (seen.insert(fault.object + fault.problem).second)
        ADD_FAILURE() << package << " / " << page << ": " << fault.object << ": " << fault.problem;
  }

private:
  std::set<std::string> seen;
};

// Every page the package shows, each checked: language, licence, installation type, options (and with
// the system folders turned off), the folder dialog (in a folder and at the drives), the quit question,
// installing (at its start and end), readme and the about box; then Finish.
void walk_pages(SCREEN_WALK* walk) {
  if (database->stage == STAGE_LANGUAGE) {
    walk->check("language");
    WM_SCREEN_OBJECT* choice = page_grid->cell(0, longest_language());
    ASSERT_TRUE(choice);
    click_on(choice);
  }
  ASSERT_EQ(database->stage, STAGE_LICENCE);
  walk->check("licence");
  click_on(live_page()->forward_button);
  if (database->stage == STAGE_INSTALL_TYPE) {
    walk->check("installation type");
    click_on(live_page()->forward_button);
  }
  ASSERT_EQ(database->stage, STAGE_OPTIONS);
  walk->check("options");
  WM_SCREEN_OBJECT* system = page_grid->cell(1, 2);
  if (system && (system->kind & WM_KIND_CHECK_BOX) && system->state) {
    click_on(static_cast<WM_CHECK_BOX*>(system)->box);
    walk->check("options, own folder");
  }
  ASSERT_TRUE(location_button && location_button->enabled);
  std::string destination = database->install_path;
  std::string seventy = seventy_character_destination();
  std::snprintf(database->install_path, sizeof database->install_path, "%s", seventy.c_str());
  location_button->set_text(expand_path_text(database->install_path, nullptr), false);
  EXPECT_EQ(std::strlen(location_button->label), 70u);
  walk->check("options, a destination of 70 characters");
  std::snprintf(database->install_path, sizeof database->install_path, "%s", destination.c_str());
  location_button->set_text(expand_path_text(database->install_path, nullptr), false);
  ASSERT_TRUE(browse_button && browse_button->enabled);
  click_on(browse_button);
  let_effects_end();
  WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
  ASSERT_TRUE(selector);
  walk->check("folder dialog");
  // The drives, as the location menu's last entry shows them.
  WM_FLOATING_MENU* locations = selector->location_menu->popup;
  ASSERT_TRUE(locations && locations->get_entry((INT_S16)(locations->entry_count - 1)));
  WM_BUTTON* drives = locations->get_entry((INT_S16)(locations->entry_count - 1));
  WM_FILE_SELECT::list_event(drives, drives->event_user1, drives->event_user2, 0);
  run_pass();
  ASSERT_TRUE(selector->at_my_computer);
  walk->check("folder dialog, drives");
  // Dialogs are closed as the page manager closes them, so that a control laid out wrong cannot hold up
  // the walk.
  page_manager->close_all_dialogs(false);
  let_effects_end();

  click_on(live_page()->quit_button);
  let_effects_end();
  ASSERT_TRUE(quit_dialog() && quit_dialog()->buttons[1]);
  walk->check("quit question");
  page_manager->close_all_dialogs(false);
  let_effects_end();

  click_on(live_page()->forward_button);
  ASSERT_EQ(database->stage, STAGE_INSTALLING);
  walk->check("installing");
  for (int pass = 0; pass < 100 && !live_page()->forward_button->enabled; pass++) run_pass();
  ASSERT_TRUE(live_page()->forward_button->enabled);
  walk->check("installing, complete");
  // The quit question asked through the window's close button after installing: one text for every page,
  // it must be true here too.
  open_quit_dialog(0);
  let_effects_end();
  ASSERT_TRUE(quit_dialog() && quit_dialog()->text && quit_dialog()->text->data_buffer);
  std::string asked = quit_dialog()->text->data_buffer[0].text ? quit_dialog()->text->data_buffer[0].text : "";
  EXPECT_EQ(asked, wizard_text(&LANGUAGE::QUIT_MSG));
  EXPECT_EQ(asked.find("not installed"), std::string::npos) << asked;
  walk->check("quit question, installed");
  page_manager->close_all_dialogs(false);
  let_effects_end();
  click_on(live_page()->forward_button);
  ASSERT_EQ(database->stage, STAGE_README);
  walk->check("readme");
  click_on(live_page()->quit_button);
  let_effects_end();
  ASSERT_TRUE(find_top_level(WM_KIND_ABOUT));
  walk->check("about box");
  page_manager->close_all_dialogs(false);
  let_effects_end();
  EXPECT_EQ(click_on(live_page()->forward_button), WM_RESULT_LAST_PAGE_CLOSED);
}

}  // namespace

TEST(WizardScreen, EveryPageShowsEveryTextWholeReadableAndApart) {
  REQUIRE_SYSTEM_FONTS();
  for (const char* package : {"sample", "long texts"}) {
    SCOPED_TRACE(package);
    INSTALLER_SCRATCH scratch(std::string("wizard-screen-") + (package[0] == 's' ? "sample" : "long"));
    ASSERT_TRUE(build_package(package, &scratch));
    FOLDER fonts;
    ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
    set_named_path("$FONTDATA", &fonts);
    {
      WIZARD_TWIN twin;
      ASSERT_TRUE(twin.start(scratch.package));
      set_idle_wait(0);
      SCREEN_WALK walk;
      walk.package = package;
      walk_pages(&walk);
    }
    set_idle_wait(50);
    remove_named_path("$FONTDATA");
    if (HasFatalFailure()) return;
  }
}
