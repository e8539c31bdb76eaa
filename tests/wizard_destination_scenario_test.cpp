// Real-window scenarios of where the files go: an OK in the folder dialog that chose nothing keeps the
// destination, and the options page names the folder the files go to with "Use the system folders"
// ticked and unticked. The installer program runs on a private display (natively, and as an .exe under
// Wine); where to click and what the window must show come from the same wizard built in this process
// (its twin).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "file_select.h"
#include "text_draw.h"
#include "wizard_test_support.h"
#include "wizard_scenario_support.h"

namespace {

// Install, the installation to its end in the destination, Finish: the program ends with 0 and everything
// of the installation is in place there.
void install_to_the_end(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch, SPOT install, SPOT finish,
                        const std::string& destination, const std::string& tag) {
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(below(destination, "install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  expect_installation(scenario, scratch, destination, tag, true);
}

}  // namespace

// Scenario U: the destination "apps/Sample App" does not exist yet, beside another product's
// "apps/Other". The folder dialog opens at "apps", the deepest of its folders that exists; an OK there with
// nothing chosen keeps the destination whole, as the options page still says, and the files land in it,
// none in "apps".
TEST(WizardScenario, AnOkWithNothingChosenKeepsTheDestination) {
  INSTALLER_SCRATCH scratch("wizard-u", wizard_description_lines());
  const std::string apps = scratch.root + "apps", destination = below(apps, "Sample App");
  std::filesystem::create_directories(below(apps, "Other"));
  ASSERT_TRUE(build_scenario_package(
      scratch, "U", {NO_LICENCE, {program_path_text(scratch.root) + "/dest", program_path_text(apps) + "/Sample App"}}));

  SPOT system_paths, browse, ok, install, finish;
  AREA location;
  WINDOW_CAPTURE kept;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    install = spot_of(page->forward_button, page);
    WM_SCREEN_OBJECT* box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    ASSERT_TRUE(box && location_button && browse_button);
    system_paths = spot_of(box, page);
    click_on(box);
    EXPECT_EQ(label_of(location_button), destination);
    browse = spot_of(browse_button, page);
    click_on(browse_button);
    settle_effects();
    WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
    ASSERT_TRUE(selector);
    FOLDER opened_at;
    ASSERT_TRUE(opened_at.set_if_folder(apps.c_str()));
    EXPECT_TRUE(selector->folder.equals(&opened_at)) << selector->folder.path;
    ok = spot_of(selector->ok_button);
    click_on(selector->ok_button);
    settle_effects();
    EXPECT_EQ(label_of(location_button), destination);
    location = area_of(location_button);
    test_seam_pointer(-1, -1);
    run_pass();
    kept = twin_screen();
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-u-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  for (SPOT spot : {system_paths, browse, ok}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.move(2, 2));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, kept, location), 0);
  ASSERT_NO_FATAL_FAILURE(install_to_the_end(scenario, scratch, install, finish, destination, "U"));
  std::vector<std::string> in_apps;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(apps)))
    in_apps.push_back(entry.path().filename().u8string());
  std::sort(in_apps.begin(), in_apps.end());
  EXPECT_EQ(in_apps, (std::vector<std::string>{"Other", "Sample App"}));
}

// Scenario V: the options page names the folder the files go to, for a destination under "$APPDATA":
// the path of that folder, never the variable's text, with "Use the system folders" ticked (greyed: none
// of the files has a destination of its own under the system folders, so they go there too) and
// unticked, shortened in its middle with the ellipsis where the row is too narrow, keeping the root and
// the product's folder, as the twin draws it. The files then land there. Kept as pictures
// ("wizard-options-ticked.png", "wizard-options-unticked.png"; "-wine" under Wine).
TEST(WizardScenario, TheOptionsPageNamesTheFolderTheFilesGoTo) {
  INSTALLER_SCRATCH scratch("wizard-v", wizard_description_lines());
  // Named after the scratch folder, which no other test shares: under Wine "$APPDATA" is the folder of all
  // users of the prefix, which other tests share.
  const std::string unique = std::filesystem::u8path(scratch.root).parent_path().filename().u8string();
#ifdef _WIN32
  const std::string shared_data = special_folder(CSIDL_COMMON_APPDATA);
#else
  const std::string shared_data = scratch.root + "home/data";
#endif
  const std::string product = below(shared_data, "velk-test-app/" + unique);
  const std::string destination = below(product, "JS Tools");
  ASSERT_TRUE(build_scenario_package(
      scratch, "V", {NO_LICENCE, {program_path_text(scratch.root) + "/dest", "$APPDATA/" + unique + "/JS Tools"}}));

  SPOT system_paths, install, finish;
  AREA page_area;
  WINDOW_CAPTURE ticked, unticked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    page_area = area_of(page);
    install = spot_of(page->forward_button, page);
    WM_SCREEN_OBJECT* box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    ASSERT_TRUE(box && location_button);
    system_paths = spot_of(box, page);
    for (int untick = 0; untick < 2; untick++) {
      SCOPED_TRACE(untick ? "unticked" : "ticked");
      EXPECT_EQ(box->state, untick ? 0 : 1);
      EXPECT_EQ(location_button->enabled, untick ? 1 : 0);
      EXPECT_EQ(label_of(location_button), destination);
      ASSERT_TRUE(location_button->path_text);
      std::string shown = path_in_room(draw_target, location_button->font_id, location_button->font_x_size,
                                       location_button->font_y_size, location_button->label,
                                       location_button->width - location_button->left_gap - location_button->right_gap);
      if (shown != destination) {
        EXPECT_NE(shown.find(PATH_ELLIPSIS), std::string::npos) << shown;
        EXPECT_EQ(shown.substr(0, 1), destination.substr(0, 1)) << shown;
      }
      EXPECT_EQ(shown.substr(shown.size() - 9), std::string(1, PATH_SEPARATOR) + "JS Tools") << shown;
      test_seam_pointer(-1, -1);
      run_pass();
      (untick ? unticked : ticked) = twin_screen();
      if (!untick) click_on(box);
    }
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-v-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, ticked, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-options-ticked").c_str()));
  ASSERT_TRUE(click_and_settle(scenario, system_paths));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, unticked, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-options-unticked").c_str()));
  // Ticked again, the files go where the page said.
  ASSERT_TRUE(click_and_settle(scenario, system_paths));
  ASSERT_NO_FATAL_FAILURE(install_to_the_end(scenario, scratch, install, finish, destination, "V"));
  std::vector<std::string> log = read_lines(below(destination, "install_log.txt"));
  ASSERT_GT(log.size(), 4u);
  EXPECT_EQ(log[4], "Settings: 0 1 $APPDATA/" + unique + "/JS Tools");
  std::filesystem::remove_all(std::filesystem::u8path(product));
}
