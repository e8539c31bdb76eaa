// Tests of the alternative start: the file selector offers the configuration chosen last time, and a
// choice is remembered, takes the package of its folder and begins the wizard; a folder without a
// package, or with one for drives this computer does not have, keeps the selector open; the
// screen-too-small message's statement.
#include "config_file.h"
#include "file_select.h"
#include "redraw.h"
#include "text_edit.h"
#include "transitions.h"
#include "wizard_test_support.h"

namespace {

WM_FILE_SELECT* open_selector() {
  return static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
}

std::string remembered(const char* key) {
  FOLDER preferences;
  preferences.set("$USERPREFS");
  CONFIG_FILE settings;
  settings.init("settings.cfg", false);
  char value[256] = "";
  return settings.get_string(&preferences, key, value) ? value : "";
}

}  // namespace

TEST(ConfigurationChoice, TheLastChoiceIsOfferedAndANewOneBeginsTheWizard) {
  WIZARD_RUN run("configuration-choice");
  ASSERT_TRUE(run.scratch.build());
  stop_database();
  start_database();
  run.screen.reset(new WM_TEST_SCREEN(640, 480, 1));
  // The test's clock stands still: the wizard's fade in ends after a few frames, not after the limit's
  // hundred thousand.
  transition_frame_limit = 50;
  FOLDER empty;
  std::string empty_text = run.scratch.root + "empty";
  std::filesystem::create_directories(empty_text);
  ASSERT_TRUE(empty.set_if_folder(empty_text.c_str()));

  // Nothing remembered: the selector starts in "$APPDATA" (as the database names it) without a name.
  choose_configuration(run.screen->manager);
  WM_FILE_SELECT* selector = open_selector();
  ASSERT_NE(selector, nullptr);
  FOLDER app_data;
  app_data.set("$APPDATA");
  EXPECT_TRUE(selector->folder.equals(&app_data));
  EXPECT_EQ(selector->mode, FILE_SELECT_FILE);
  EXPECT_STREQ(selector->get_title(), "Select Installation Configuration");
  EXPECT_EQ(text_of(selector->message), "Select the XML configuration file.");
  EXPECT_EQ(configuration_chosen(selector, 0, 0, 0), WM_RESULT_REMOVE);  // cancelled: nothing taken

  // A folder without a package: remembered, reported, the selector stays.
  selector->folder = empty;
  selector->name_field->set_text("setup.xml");
  EXPECT_EQ(configuration_chosen(selector, 0, 1, 1), 0);
  EXPECT_EQ(live_page(), nullptr);

  // A package of a drive this computer does not have: said, and the selector stays.
  std::string description = read_whole_text(run.scratch.source + "description.txt");
  const std::string missing = "$ROOT" + std::to_string(get_drive_count());
  description.replace(description.find("$SCRATCH/dest"), 13, missing + "/w13/r5");
  ASSERT_TRUE(write_whole_file(run.scratch.source + "description.txt", text_bytes(description)));
  const std::string other = run.scratch.root + "other";
  std::filesystem::create_directories(other);
  std::string error;
  ASSERT_TRUE(package_builder::build_package(run.scratch.source + "description.txt",
                                             other + PATH_SEPARATOR + "installer.pkg", &error))
      << error;
  FOLDER other_folder;
  ASSERT_TRUE(other_folder.set_if_folder(other.c_str()));
  selector->folder = other_folder;
  static std::string boxes;
  boxes.clear();
  set_message_box_hook([](const char* caption, const char* text) { boxes += std::string(caption) + ": " + text + "\n"; });
  EXPECT_EQ(configuration_chosen(selector, 0, 1, 1), 0);
  set_message_box_hook(nullptr);
  EXPECT_EQ(live_page(), nullptr);
  EXPECT_EQ(boxes.rfind("Drive not found: " + other + PATH_SEPARATOR + "installer.pkg: default_path of the installation "
                        "\"Test App\": \"" + missing + "\" names a drive this computer does not have", 0), 0u)
      << boxes;
  run.screen->manager->get_root()->remove_top_level(selector, true, false);

  // The package's folder: offered next time, and the wizard begins on its first page.
  FOLDER package;
  std::string package_text = run.scratch.package.substr(0, run.scratch.package.size() - 1);
  ASSERT_TRUE(package.set_if_folder(package_text.c_str()));
  char portable[FOLDER_PATH_SIZE];
  package.get_portable_text(portable, nullptr);
  choose_configuration(run.screen->manager);
  selector = open_selector();
  ASSERT_NE(selector, nullptr);
  EXPECT_TRUE(selector->folder.equals(&other_folder));
  EXPECT_STREQ(selector->name_field->text.text, "setup.xml");
  selector->folder = package;
  EXPECT_EQ(configuration_chosen(selector, 0, 1, 1), WM_RESULT_REMOVE);
  EXPECT_EQ(remembered("last_path"), portable);
  EXPECT_EQ(remembered("last_filename"), "setup.xml");
  EXPECT_TRUE(database->data_folder.equals(&package));
  EXPECT_STREQ(database->xml_name.text, "setup.xml");
  run.screen->manager->get_root()->remove_top_level(selector, true, false);
  run_pass();
  ASSERT_NE(live_page(), nullptr);
  EXPECT_EQ(close_callback, open_quit_dialog);
  transition_frame_limit = 100000;
}

// The screen-too-small message is acknowledged only: its statement is the text without the question
// that closes it, whatever ends the sentence before it; a text that only asks says nothing.
TEST(ConfigurationChoice, AMessageWithOnlyOKKeepsTheStatementOfItsText) {
  EXPECT_EQ(statement_of("This screen is too small. Do you want to leave the installer? "),
            "This screen is too small.");
  EXPECT_EQ(statement_of("Zu klein!\nBeenden?"), "Zu klein!");
  EXPECT_EQ(statement_of("Dieser Bildschirm ist kleiner als das Fenster."), "Dieser Bildschirm ist kleiner als das Fenster.");
  EXPECT_EQ(statement_of("Leave now?"), "");
  EXPECT_EQ(statement_of(nullptr), "");
}
