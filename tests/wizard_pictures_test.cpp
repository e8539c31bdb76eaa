// The README's pictures of the wizard, taken from the real window: the installer program on a private
// X display, led by real clicks through the licence, options, installing and readme pages of the sample
// package (tools/sample); and the options page and the folder dialog of the sample with a long
// destination. Each capture must be, pixel for pixel, what the wizard built in this process (its twin)
// draws for that page, so the pictures are what the window shows. With VELK_SCREENSHOT_DIR set to a
// folder, the captures of the window's client area are also written there as PNG files; the ones in
// docs/ are made with
//   VELK_SCREENSHOT_DIR=$PWD/docs ctest --test-dir build -R WizardPictures
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "file_select.h"
#include "grid.h"
#include "image_file.h"
#include "progress_bar.h"
#include "redraw.h"
#include "screen_image.h"
#include "wizard_test_support.h"

namespace {

// The sample package built into the scratch folder from tools/sample, installing into the folder below
// the scratch folder (its "dest" unless given) instead of the sample's place under /tmp.
bool build_sample_package(const INSTALLER_SCRATCH& scratch, const std::string& destination = "dest") {
  std::string sample = scratch.root + "sample";
  std::filesystem::copy(environment_text("VELK_SOURCE_DIR") + "/tools/sample", sample,
                        std::filesystem::copy_options::recursive);
  std::string description = read_whole_text(sample + "/description.txt");
  const std::string place = "default_path = $ROOT0/tmp/velk-sample/installed";
  size_t at = description.find(place);
  if (at == std::string::npos) return false;
  description.replace(at, place.size(), "default_path = " + program_path_text(scratch.root) + "/" + destination);
  std::string error;
  return write_whole_file(sample + "/description.txt", text_bytes(description)) &&
         package_builder::build_package(sample + "/description.txt", scratch.package + "installer.pkg", &error);
}

// The installer program on the scratch folder's package in the scenario's window, with home folders of
// its own below the scratch folder (the twin made its shortcuts in this process's); their folder.
std::string start_sample_window(WINDOW_SCENARIO& scenario, const INSTALLER_SCRATCH& scratch) {
  std::string home = scratch.root + "program/";
  std::filesystem::create_directories(home + "home/Desktop");
  std::filesystem::create_directories(home + "tmp");
  bool started = scenario.start(WINDOW_SCENARIO::built_program("installer"),
                                {"-x", program_path_text(scratch.package) + "/installer.xml"},
                                program_environment(home)) &&
                 scenario.wait_for_window("Sample Application Installer", 640, 480);
  return started ? home : "";
}

// The window at rest with the pointer on its title bar, out of the client area, shows what the twin drew;
// the capture is kept under the name.
void expect_at_rest(WINDOW_SCENARIO& scenario, const WINDOW_CAPTURE& expected, const char* name) {
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.move(10, -4));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, expected, {0, 0, 640, 480}), 0) << name;
  ASSERT_TRUE(keep_picture(shown, name));
}

// Every frame the twin presents while it installs: what the real window shows at any moment of it.
std::vector<WINDOW_CAPTURE> presented;
void keep_presented() { presented.push_back(twin_screen()); }

// The twin's page with the pointer away from the window, as the real window shows it once the pointer
// has left it.
WINDOW_CAPTURE twin_page_at_rest() {
  test_seam_pointer(-1, -1);
  run_pass();
  return twin_screen();
}

}  // namespace

TEST(WizardPictures, TheSamplePagesAreWhatTheRealWindowShows) {
#ifdef _WIN32
  GTEST_SKIP() << "the README's pictures are taken from the native window";
#endif
  INSTALLER_SCRATCH scratch("wizard-pictures");
  ASSERT_TRUE(build_sample_package(scratch));

  // The twin's pages, and where the real window is clicked. Installing goes into a folder of the twin's
  // own, with every frame it presents kept (some are presented within a pass), as the real program is
  // held at one of them.
  SPOT agree, install, next, done;
  WINDOW_CAPTURE licence, options, readme;
  presented.clear();
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    licence = twin_page_at_rest();
    agree = spot_of(live_page()->forward_button, live_page());
    click_on(live_page()->forward_button);
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    options = twin_page_at_rest();
    // Every option fits the grid: no scroll bar.
    ASSERT_TRUE(page_grid);
    EXPECT_FALSE(page_grid->overflows());
    EXPECT_EQ(page_grid->scrollbar, nullptr);
    install = spot_of(live_page()->forward_button, live_page());
    std::snprintf(database->install_path, sizeof database->install_path, "%s/twin",
                  program_path_text(scratch.root).c_str());
    // Passes as the program's update runs them, each ending with a present, until the page has shown
    // the installation complete.
    auto program_pass = [] {
      run_pass();
      present_frame(-1);
    };
    test_seam_on_present(keep_presented);
    test_seam_pointer((INT_S16)install.x, (INT_S16)install.y);
    test_seam_button(1, true);
    program_pass();
    test_seam_button(1, false);
    program_pass();
    ASSERT_EQ(database->stage, STAGE_INSTALLING);
    // The percentage on the bar is written in a colour that stands out from the bar's fill.
    WM_PROGRESS_BAR* bar = live_page()->progress_bar;
    ASSERT_TRUE(bar);
    auto luminance = [](COLOUR c) {
      return (((c >> 16) & 0xFF) * 299 + ((c >> 8) & 0xFF) * 587 + (c & 0xFF) * 114) / 1000;
    };
    EXPECT_EQ(bar->text_colour >> 24, 0xFFu);
    EXPECT_GE(std::abs((int)luminance(bar->text_colour) - (int)luminance(bar->fill_colour)), 100);
    INSTALL_STATE* state = &database->install_state;
    for (int pass = 0; pass < 100 && (state->running || state->step_counter == 0); pass++) program_pass();
    program_pass();
    program_pass();
    test_seam_on_present(nullptr);
    ASSERT_TRUE(live_page()->forward_button->enabled);
    next = spot_of(live_page()->forward_button, live_page());
    click_on(live_page()->forward_button);
    ASSERT_EQ(database->stage, STAGE_README);
    readme = twin_page_at_rest();
    done = spot_of(live_page()->forward_button, live_page());
  }

  WINDOW_SCENARIO scenario("wizard-pictures-window");
  START_WINDOW_SCENARIO(scenario);
  std::string home = start_sample_window(scenario, scratch);
  ASSERT_FALSE(home.empty());
  // The pointer rests on the title bar, out of the client area, for every page but installing's (on
  // which it stays where Install was, as in the twin).
  const AREA whole = {0, 0, 640, 480};
  WINDOW_CAPTURE shown;
  ASSERT_NO_FATAL_FAILURE(expect_at_rest(scenario, licence, "wizard-licence.png"));
  ASSERT_TRUE(scenario.click(agree.x, agree.y));
  ASSERT_NO_FATAL_FAILURE(expect_at_rest(scenario, options, "wizard-options.png"));

  // The program is held still in the middle of installing: its desktop shortcut's file is a named pipe
  // that nothing reads yet, so writing it waits, with the page showing that step. The window must then
  // show one of the frames the twin presented. Reading the pipe lets the program go on. (The click on
  // Install is not paced: the program may stop making passes before the next two are seen.)
  std::string shortcut = home + "home/Desktop/Sample Application.desktop";
  ASSERT_EQ(run_command("mkfifo '" + shortcut + "'"), 0);
  ASSERT_TRUE(scenario.click_now(install.x, install.y));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  size_t frame = 0;
  while (frame < presented.size() && differing_pixels(shown, presented[frame], whole) != 0) frame++;
  EXPECT_LT(frame, presented.size()) << "the window shows no frame of the twin's installation";
  ASSERT_TRUE(keep_picture(shown, "wizard-installing.png"));
  // The pointer leaves while the program waits, so that Next, enabled beneath it at the end, never
  // shows its hint.
  ASSERT_TRUE(scenario.move_now(10, -4));
  ASSERT_EQ(run_command("timeout 30 cat '" + shortcut + "' >'" + home + "shortcut.txt'"), 0);
  EXPECT_EQ(read_whole_text(home + "shortcut.txt").compare(0, 16, "[Desktop Entry]\n"), 0);
  std::string log = scratch.root + "dest/install_log.txt";
  ASSERT_TRUE(wait_for_last_line(log, "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(next.x, next.y));
  ASSERT_NO_FATAL_FAILURE(expect_at_rest(scenario, readme, "wizard-readme.png"));

  ASSERT_TRUE(scenario.click(done.x, done.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

// The options page with a long destination and the folder dialog in a folder with a long name, in the
// real window, each what the twin draws (written as "wizard-options-long-destination.png" and
// "folder-dialog-long-name.png"): the destination shortened in its middle with its last folder whole,
// the dialog's message and the folder's name whole.
TEST(WizardPictures, ALongDestinationAndALongFolderName) {
#ifdef _WIN32
  GTEST_SKIP() << "the pictures are taken from the native window";
#endif
  INSTALLER_SCRATCH scratch("wizard-pictures-long");
  const std::string destination = "Programs/Sample Company/Sample Application Manuals";
  for (const char* inside : {"bin", "docs", "Manuals and guides"})
    std::filesystem::create_directories(std::filesystem::u8path(below(scratch.root, destination + "/" + inside)));
  ASSERT_TRUE(build_sample_package(scratch, destination));

  SPOT agree, system_paths, browse, cancel;
  WINDOW_CAPTURE options, folder_dialog;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    agree = spot_of(live_page()->forward_button, live_page());
    click_on(live_page()->forward_button);
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    ASSERT_TRUE(page_grid && page_grid->cell(1, 2) && (page_grid->cell(1, 2)->kind & WM_KIND_CHECK_BOX));
    system_paths = spot_of(page_grid->cell(1, 2), live_page());
    click_on(page_grid->cell(1, 2));
    options = twin_page_at_rest();
    ASSERT_TRUE(browse_button);
    browse = spot_of(browse_button, live_page());
    click_on(browse_button);
    let_effects_end();
    WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
    ASSERT_TRUE(selector);
    cancel = spot_of(selector->cancel_button);
    folder_dialog = twin_page_at_rest();
  }

  WINDOW_SCENARIO scenario("wizard-pictures-long-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_FALSE(start_sample_window(scenario, scratch).empty());
  for (SPOT spot : {agree, system_paths}) ASSERT_TRUE(scenario.click(spot.x, spot.y));
  ASSERT_NO_FATAL_FAILURE(expect_at_rest(scenario, options, "wizard-options-long-destination.png"));
  ASSERT_TRUE(scenario.click(browse.x, browse.y));
  ASSERT_NO_FATAL_FAILURE(expect_at_rest(scenario, folder_dialog, "folder-dialog-long-name.png"));
  ASSERT_TRUE(scenario.click(cancel.x, cancel.y));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
}
