// Real-window scenarios of the installer's wizard: the real installer program on a private X display,
// driven by real clicks (natively, and as installer.exe under Wine), with a package of the fixture
// builder; the installed files, "install_log.txt", the uninstall entry, the shortcuts and the exit status
// are checked afterwards. Where to click comes from the same wizard built in this process.
#include <gtest/gtest.h>

#include <filesystem>

#include "registry.h"
#include "wizard_test_support.h"

#ifdef _WIN32
#include "shell_link_test_support.h"
#undef ERROR
#endif

namespace {

// Replaces every occurrence of from in the text.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

// Scenario A: one language, one installation, no licence or readme. The options come first; Install,
// the progress to its end, Finish; the program ends with 0 and everything is in place.
TEST(WizardScenario, OneInstallationFromTheOptionsToFinish) {
  INSTALLER_SCRATCH scratch("wizard-a", wizard_description_lines());
  // No licence; names of this scenario's own, so that no other test's shortcuts or entry meet them.
  std::string description = read_whole_text(scratch.source + "description.txt");
  description = replaced(description, "language = English;licence.txt;", "language = English;;");
  description = replaced(description, "Velk Test App", "Wizard A App");
  description = replaced(description, "Test App;$HERE/bin", "Wizard A App;$HERE/bin");
  description = replaced(description, "Velk Test Group", "Wizard A Group");
  description = replaced(description, "$SCRATCH/dest", program_path_text(scratch.root) + "/dest");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());

  int install_x, install_y, finish_x, finish_y;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    ASSERT_EQ(label_of(page->forward_button), "Install");
    resting_centre(page->forward_button, page, &install_x, &install_y);
    database->stage = STAGE_INSTALLING;
    twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
    page = live_page();
    ASSERT_EQ(label_of(page->forward_button), "Finish");
    resting_centre(page->forward_button, page, &finish_x, &finish_y);
  }

  WINDOW_SCENARIO scenario("wizard-a-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(scratch.package) + "/installer.xml"},
                             program_environment(scratch.root)));
  ASSERT_TRUE(scenario.wait_for_window("Test Installer", 640, 480));  // not "Please Wait" at its size
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE options;
  ASSERT_TRUE(scenario.capture(&options, scenario.scratch() + "options.png"));
  ASSERT_TRUE(scenario.click(install_x, install_y));
  ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  WINDOW_CAPTURE finished;
  ASSERT_TRUE(scenario.capture(&finished, scenario.scratch() + "finished.png"));
  EXPECT_NE(options.pixels, finished.pixels);
  ASSERT_TRUE(scenario.click(finish_x, finish_y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  EXPECT_EQ(scenario.output(), "");

  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_EQ(log.size(), 15u);
  EXPECT_EQ(log[4], "Settings: 0 1 " + program_path_text(scratch.root) + "/dest");
  EXPECT_EQ(log[6], "Installed \"" + scratch.installed("bin/data.bin") + "\"");
  EXPECT_EQ(log[13], "RegKey \"Wizard A App\"");
#ifdef _WIN32
  // The program wrote to its own Wine server's registry.
  std::string entry = "HKLM\\" UNINSTALL_KEY_PATH "\\Wizard A App";
  EXPECT_EQ(scenario.registry_value(entry, "DisplayName"), "Wizard A App");
  EXPECT_EQ(scenario.registry_value(entry, "UninstallString"), scratch.installed("bin/uninstall.sh"));
  EXPECT_EQ(read_link(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Wizard A App.lnk").path,
            scratch.installed("bin/run.sh"));
  EXPECT_EQ(read_link(special_folder(CSIDL_PROGRAMS) + "\\Wizard A Group\\Test Guide.lnk").path,
            scratch.installed("docs/guide.txt"));
#else
  std::string registry = scratch.root + "home/config/installer/registry/SOFTWARE/Microsoft/Windows/CurrentVersion/"
                                        "Uninstall/Wizard A App.cfg";
  EXPECT_EQ(read_lines(registry), (std::vector<std::string>{"DisplayName", "\tWizard A App", "UninstallString",
                                                            "\t" + scratch.installed("bin/uninstall.sh")}));
  EXPECT_TRUE(std::filesystem::exists(scratch.root + "home/Desktop/Wizard A App.desktop"));
  EXPECT_TRUE(std::filesystem::exists(scratch.root + "home/data/applications/Wizard A Group/Test Guide.desktop"));
#endif
}
