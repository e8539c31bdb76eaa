// Real-window scenarios of the display the wizard starts on: a desktop narrower than the package asks
// for is asked about once; a window larger than the screen is told in the package's words, unattended
// and in a window of its own that fits the screen; without a display the wizard says so and ends; and a
// package refused at load is said in a box of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "confirm.h"
#include "redraw.h"
#include "wizard_test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

// Scenario E: a desktop one pixel narrower than the package asks for. The first options page asks once
// (the warning goes into the log as its own line), No goes on, and after Back and Next the question does
// not come again.
TEST(WizardScenario, ASmallDesktopIsAskedAboutOnce) {
  INSTALLER_SCRATCH scratch("wizard-e", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "E", {NO_LICENCE},
                                     "required_desktop = 800;600\ninstallation = Other\ndefault_path = " +
                                         program_path_text(scratch.root) + "/other\n"));
  SPOT next, no, back, install, finish;
  AREA question_area;
  WINDOW_CAPTURE asked, not_asked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package, 799, 600));
    ASSERT_EQ(database->stage, STAGE_INSTALL_TYPE);
    next = spot_of(live_page()->forward_button, live_page());
    click_on(live_page()->forward_button);
    settle_effects();
    WM_CONFIRM* question = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
    ASSERT_TRUE(question && question->buttons[1]);
    no = spot_of(question->buttons[1]);
    question_area = area_of(question);
    asked = twin_screen();
    click_on(question->buttons[1]);
    settle_effects();
    INSTALL_DIALOG* page = live_page();
    back = spot_of(page->previous_button, page);
    install = spot_of(page->forward_button, page);
    click_on(page->previous_button);
    click_on(live_page()->forward_button);
    settle_effects();
    not_asked = twin_screen();
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-e-window", 799, 600);
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(click_and_settle(scenario, next));
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "asked.png"));
  EXPECT_EQ(differing_pixels(shown, asked, question_area), 0);
  for (SPOT spot : {no, back, next}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "not-asked.png"));
  EXPECT_EQ(differing_pixels(shown, not_asked, question_area), 0);
  ASSERT_TRUE(scenario.click(install.x, install.y));
  ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GT(log.size(), 10u);
  EXPECT_EQ(log[8], "ERROR: screen 799x600 does not meet minimum requirement of 800x600");
  EXPECT_EQ(log[9], "");
}

namespace {

// What the program wrote to standard error, its lines ended by "\n" alone (Windows writes "\r\n").
std::string error_lines(const WINDOW_SCENARIO& scenario) {
  std::string text = scenario.errors();
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

}  // namespace

// Scenario I: a package whose window is larger than the screen (900 x 700 on 800 x 600). No wizard opens:
// one message in the package's words for it names both sizes, and the run ends as one that could not
// start, having installed nothing.
TEST(WizardScenario, AWindowLargerThanTheScreenIsToldInThePackagesWords) {
  INSTALLER_SCRATCH scratch("wizard-i", "window = 900;700\ndialog = 0;0;900;700\n"
                                        "text = CHECK_DESKTOP_FAILED_TITLE;Bildschirm zu klein\n"
                                        "text = CHECK_DESKTOP_FAILED;Dieser Bildschirm ist kleiner als das Fenster.\n");
  ASSERT_TRUE(build_scenario_package(scratch, "I", {NO_LICENCE}));
  WINDOW_SCENARIO scenario("wizard-i-window", 800, 600);
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(scratch.package) + "/installer.xml"},
                             program_environment(scratch.root)));
  EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(error_lines(scenario), "Bildschirm zu klein: Dieser Bildschirm ist kleiner als das Fenster.\n\n"
                                   "The screen is 800 x 600; the installer's window needs 900 x 700.\n");
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// Scenario J: the wizard started where no display can be had (none named, one that nobody serves, and
// natively one that takes the connection and never answers) says at once that it needs one and that "-a"
// installs without it, and ends as a run that could not start. Attended too: the box that cannot be
// shown goes to standard error alone, and nothing waits for the display that never answers.
TEST(WizardScenario, WithoutADisplayTheWizardSaysSoAndEnds) {
  INSTALLER_SCRATCH scratch("wizard-j", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "J", {NO_LICENCE}));
#ifdef _WIN32
  const std::vector<std::string> problems = {"no window can be made", "no window can be made"};
  const std::vector<std::string> displays = {"DISPLAY=", "DISPLAY=:32761"};
#else
  std::string silent = std::to_string(20000 + getpid() % 10000);
  int listener = silent_display(silent);
  ASSERT_GE(listener, 0) << std::strerror(errno);
  const std::vector<std::string> problems = {"DISPLAY is not set", "the display \":32761\" does not answer",
                                             "the display \":" + silent + "\" does not answer"};
  const std::vector<std::string> displays = {"DISPLAY=", "DISPLAY=:32761", "DISPLAY=:" + silent};
#endif
  for (size_t i = 0; i < displays.size(); i++) {
    WINDOW_SCENARIO scenario("wizard-j-window");
    START_WINDOW_SCENARIO(scenario);
    std::vector<std::string> environment = program_environment(scratch.root);
    environment.push_back(displays[i]);
    environment.push_back("VELK_UNATTENDED=0");
    ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                               {"-x", program_path_text(scratch.package) + "/installer.xml"}, environment));
    EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED) << displays[i];
    EXPECT_EQ(error_lines(scenario),
              "No display: The installer's wizard needs a display: " + problems[i] + ". \"-a\" installs without one.\n");
  }
#ifndef _WIN32
  close(listener);
#endif
}

#ifndef _WIN32
// Scenario X: attended with a display, a start that fails says so where the person looks. A package
// refused at load shows the box "Installation data damaged" in a window of its own, its text (also on
// standard error) in lines that fit the screen, OK below; the box takes the keyboard, so that Return
// answers it though the pointer lies elsewhere, and the run then ends as one that could not start.
TEST(WizardScenario, APackageRefusedAtLoadIsSaidInABoxThatReturnAnswers) {
  INSTALLER_SCRATCH scratch("wizard-x", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(scratch, "X", {NO_LICENCE}));
  std::unique_ptr<DATABASE> loaded(scratch.load());
  ASSERT_TRUE(loaded);
  std::strcpy(loaded->LOG.dest_path_from_inst_loc, "$HERE/../logs");
  ASSERT_TRUE(scratch.store(loaded.get()));
  WINDOW_SCENARIO scenario("wizard-x-window", 800, 600);
  START_WINDOW_SCENARIO(scenario);
  std::string answer;
  ASSERT_TRUE(scenario.run_shell("pointer", "xdotool mousemove 0 0", &answer)) << answer;
  std::vector<std::string> environment = program_environment(scratch.root);
  environment.push_back("VELK_UNATTENDED=0");
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(scratch.package) + "/installer.xml"}, environment));
  ASSERT_TRUE(scenario.wait_for_window("Installation data damaged"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  ASSERT_TRUE(scenario.capture(&shown, scenario.scratch() + "box.png"));
  EXPECT_GT(shown.width, 200);
  EXPECT_LE(shown.width, 800);
  EXPECT_LE(shown.height, 600);
  std::set<INT_U32> colours(shown.pixels.begin(), shown.pixels.end());
  EXPECT_GT(colours.size(), 2u);  // drawn: the text and the button
  EXPECT_EQ(error_lines(scenario), "Installation data damaged: " + scratch.package +
                                       "installer.pkg: the package is damaged or was not made by the packer: "
                                       "log's folder leads out of the install location: $HERE/../logs.\n");
  // The key goes to whichever window has the keyboard, as a person's does.
  ASSERT_TRUE(scenario.run_shell("answer", "xdotool key Return", &answer)) << answer;
  EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED);
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}
#endif

#ifndef _WIN32
// Scenario T: automatic mode on a display, attended, waits on no window: a wrong option, read after "-a"
// or before it, is said on standard error alone (the row's detail after it, and no question), and the
// run ends at once as one that could not start.
TEST(WizardScenario, AutomaticModeOnADisplayWaitsOnNoWindow) {
  INSTALLER_SCRATCH scratch("wizard-t");
  WINDOW_SCENARIO scenario("wizard-t-window");
  START_WINDOW_SCENARIO(scenario);
  std::vector<std::string> environment = program_environment(scratch.root);
  environment.push_back("VELK_UNATTENDED=0");
  const std::string xml = program_path_text(scratch.package) + "/installer.xml";
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-x", xml, "-a", "-q"}, std::vector<std::string>{"-q", "-x", xml, "-a"}}) {
    ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"), arguments, environment));
    EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED) << arguments[0];
    EXPECT_EQ(error_lines(scenario),
              "Error: ERROR: 0042:\nUnrecognised command line option: -q\n\nCheck command line options specified\n"
              "Fatal error: Application was unable to continue\n");
  }
}
#endif

// Scenario R: attended, a package whose window is larger than the screen (900 x 700 on 800 x 600) says so
// in a window of its own that fits the screen, drawn by the installer, with OK as its one answer; Return
// answers it and the run ends as one that could not start, having installed nothing. Kept as a picture
// ("wizard-screen-too-small.png").
TEST(WizardScenario, AWindowLargerThanTheScreenSaysSoInAWindowThatFits) {
  INSTALLER_SCRATCH scratch("wizard-r", "window = 900;700\ndialog = 0;0;900;700\n");
  ASSERT_TRUE(build_scenario_package(scratch, "R", {NO_LICENCE}));
  WINDOW_SCENARIO scenario("wizard-r-window", 800, 600);
  START_WINDOW_SCENARIO(scenario);
  std::vector<std::string> environment = program_environment(scratch.root);
  environment.push_back("VELK_UNATTENDED=0");
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(scratch.package) + "/installer.xml"}, environment));
  ASSERT_TRUE(scenario.wait_for_window("Screen too small"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_GT(shown.width, 0);
  EXPECT_LE(shown.width, 800);
  EXPECT_LE(shown.height, 600);
  std::set<INT_U32> colours(shown.pixels.begin(), shown.pixels.end());
  EXPECT_GT(colours.size(), 3u);  // drawn: the title, the message and the button
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-screen-too-small").c_str()));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), EXIT_JOB_NOT_STARTED);
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

#ifdef _WIN32
// Scenario S: on a display scaled to 150 % and to 200 % (Wine's LogPixels at 144 and 192) the wizard's
// window is its size times the scale in the display's pixels, showing the page whole, each pixel of the
// wizard's own drawing as 2 x 2 at 200 %; clicks at the scaled places of its controls reach them: Next
// (pressed, moved along and released), Install and Finish install the package. Kept as a picture at 200 % ("wizard-scaled-wine.png").
TEST(WizardScenario, AScaledDisplayShowsTheWizardAtItsSize) {
  for (int dpi : {144, 192}) {
    std::string tag = "S" + std::to_string(dpi);
    INSTALLER_SCRATCH scratch("wizard-s" + std::to_string(dpi), wizard_description_lines());
    ASSERT_TRUE(build_scenario_package(scratch, tag, {NO_LICENCE},
                                       "installation = Other\ndefault_path = " + program_path_text(scratch.root) +
                                           "/other\n"));
    SPOT next, install, finish;
    WINDOW_CAPTURE first;
    {
      WIZARD_TWIN twin;
      ASSERT_TRUE(twin.start(scratch.package));
      ASSERT_EQ(database->stage, STAGE_INSTALL_TYPE);
      first = twin_screen();
      next = spot_of(live_page()->forward_button, live_page());
      click_on(live_page()->forward_button);
      settle_effects();
      install = spot_of(live_page()->forward_button, live_page());
      INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
      finish = spot_of(page->forward_button, page);
    }
    // The first pixel of the display's that shows the wizard's pixel.
    auto scaled = [dpi](SPOT spot) { return SPOT{(spot.x * dpi + 95) / 96, (spot.y * dpi + 95) / 96}; };

    WINDOW_SCENARIO scenario("wizard-s-window" + std::to_string(dpi), 1600, 1200);
    START_WINDOW_SCENARIO(scenario);
    ASSERT_TRUE(scenario.set_registry_number("HKCU\\Control Panel\\Desktop", "LogPixels", (unsigned long)dpi));
    ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                               {"-x", program_path_text(scratch.package) + "/installer.xml"},
                               program_environment(scratch.root)));
    ASSERT_TRUE(scenario.wait_for_window("Test Installer", 640 * dpi / 96, 480 * dpi / 96)) << dpi;
    WINDOW_CAPTURE shown;
    ASSERT_TRUE(scenario.wait_until_still(&shown));
    if (dpi == 192) {
      int differing = 0;
      for (int y = 0; y < shown.height; y++)
        for (int x = 0; x < shown.width; x++) differing += shown.at(x, y) != first.at(x / 2, y / 2);
      EXPECT_EQ(differing, 0);
      ASSERT_TRUE(keep_picture(shown, "wizard-scaled-wine.png"));
    }
    // Next pressed, the pointer moved along it (beyond the wizard's own size in the display's pixels) and
    // released: the pointer's path and the button's point are taken in one system, so it never left.
    SPOT at = scaled(next);
    ASSERT_TRUE(scenario.move(at.x, at.y));
    ASSERT_TRUE(scenario.press());
    ASSERT_TRUE(scenario.move(at.x + 2, at.y + 1));
    ASSERT_TRUE(scenario.release());
    ASSERT_TRUE(scenario.wait_until_still());
    ASSERT_TRUE(scenario.click(scaled(install).x, scaled(install).y));
    ASSERT_TRUE(wait_for_last_line(scratch.installed("install_log.txt"), "Installation completed without any errors."))
        << dpi;
    ASSERT_TRUE(scenario.wait_until_still());
    ASSERT_TRUE(scenario.click(scaled(finish).x, scaled(finish).y));
    EXPECT_EQ(scenario.wait_for_exit(), 0) << dpi << scenario.errors();
  }
}
#endif
