// Real-window scenarios of long texts in the wizard's window, each shown whole as its twin in this
// process draws it: long option texts and a long quit question, long installation names that wrap (a
// click on a name chooses it), an update's long message and a long New folder message (with a folder
// name typed on the French keyboard), what an update found where it will not install, and a licence of
// 1,000 lines from its first line to its last.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "check_box.h"
#include "confirm.h"
#include "file_select.h"
#include "grid.h"
#include "redraw.h"
#include "script_texts.h"
#include "scroll_bar.h"
#include "text_draw.h"
#include "text_edit_dialog.h"
#include "wizard_test_support.h"
#include "wizard_scenario_support.h"

// Scenario N: texts that need more room than one line, in the real window as the twin draws them. The
// options page's long location question and long desktop choice wrap onto the rows below, every row
// showing without scrolling; the two-sentence German quit question grows to its text and shows it whole,
// without a scroll bar. Both are kept as pictures ("wizard-long-options.png", "wizard-long-question.png";
// "-wine" under Wine).
TEST(WizardScenario, LongTextsShowWholeWhereTheWindowHasRoom) {
  INSTALLER_SCRATCH scratch("wizard-n", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(
      scratch, "N", {NO_LICENCE},
      "text = SELECT_OPTIONS_LOCATION_QUESTION;Where should the application with all of its handbooks, examples "
      "and tools be installed?\n"
      "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;A shortcut on the desktop that starts the application with its "
      "handbooks\n"
      "text = QUIT_TITLE;Installation abbrechen\n"
      "text = QUIT_MSG;M\xC3\xB6" "chten Sie die Installation jetzt wirklich abbrechen? Bereits kopierte Dateien "
      "bleiben im Zielordner erhalten und m\xC3\xBCssen von Hand entfernt werden.\n"
      "text = QUIT_YES;Beenden\ntext = QUIT_NO;Fortsetzen\n"));
  WINDOW_CAPTURE options, asked;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    test_seam_pointer(-1, -1);
    run_pass();
    options = twin_screen();
    ASSERT_TRUE(page_grid);
    EXPECT_FALSE(page_grid->overflows());
    WM_SCREEN_OBJECT* desktop = option_box(WIZARD_EVENT_DESKTOP);
    ASSERT_TRUE(desktop);
    EXPECT_NE(static_cast<WM_CHECK_BOX*>(desktop)->label->button_flags & bf_wrap_text, 0u);
    EXPECT_TRUE(static_cast<WM_SCRIPT*>(page_grid->cell(0, 0))->wraps_in_its_box());
    open_quit_dialog(0);
    settle_effects();
    WM_CONFIRM* question = quit_dialog();
    ASSERT_TRUE(question && question->text);
    EXPECT_EQ(question->text->scrollbar, nullptr);
    EXPECT_GE(question->text->height, question->text->height_for_lines());
    EXPECT_GT(question->height, database->EXIT.height);
    EXPECT_LE(question->y + question->height, 480);
    test_seam_pointer(-1, -1);
    run_pass();
    asked = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-n-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, options, {0, 0, 640, 480}), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-options").c_str()));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, asked, {0, 0, 640, 480}), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-question").c_str()));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

// Scenario O: installation types named with 88 and 120 characters. Each name wraps onto the lines it needs
// beside its box, on the page, as the twin draws it; a click on the second name chooses it, and the files
// go to that type's folder. Kept as a picture ("wizard-long-types.png"; "-wine" under Wine).
TEST(WizardScenario, LongInstallationNamesWrapAndAClickOnANameChoosesIt) {
  const std::string first = "Vollst\xC3\xA4ndige Installation mit allen Beispielen, Handb\xC3\xBC" "chern und Schriftarten "
                            "(empfohlen)";
  const std::string second = "Complete installation with all examples, handbooks and fonts, for every user of this "
                             "computer and all of their projects.";
  INSTALLER_SCRATCH scratch("wizard-o", wizard_description_lines());
  std::string other = scratch.root + "other";
  std::filesystem::create_directories(other);  // a path-variable text names a folder that exists
  ASSERT_TRUE(build_scenario_package(scratch, "O", {NO_LICENCE, {"installation = Test App", "installation = " + first}},
                                     "installation = " + second + "\ndefault_path = " + program_path_text(other) +
                                         "\n"));
  SPOT name, next, install, finish;
  AREA page_area;
  WINDOW_CAPTURE chosen;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_INSTALL_TYPE);
    INSTALL_DIALOG* page = live_page();
    ASSERT_TRUE(page_grid && page_grid->cell(0, 1));
    WM_CHECK_BOX* box = static_cast<WM_CHECK_BOX*>(page_grid->cell(0, 1));
    name = spot_of(box->label, page);
    click_on(box->label);
    ASSERT_EQ(database->current_installation, 1);
    test_seam_pointer(-1, -1);
    run_pass();
    page_area = area_of(page);
    chosen = twin_screen();
    next = spot_of(page->forward_button, page);
    click_on(page->forward_button);
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    install = spot_of(live_page()->forward_button, live_page());
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }

  WINDOW_SCENARIO scenario("wizard-o-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.click(name.x, name.y));
  ASSERT_TRUE(scenario.move(2, 2));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, chosen, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-types").c_str()));
  for (SPOT spot : {next, install}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(wait_for_last_line(below(other, "install_log.txt"), "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(below(other, file)), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
}

// Scenario S: an update's long message on an options page that scrolls, and a long New folder message,
// both whole as the twin draws them: the update's beside the scroll bar, the New folder dialog's over the
// lines it needs. A folder name typed on the French keyboard, its dead keys each followed by a space,
// takes "^" and "`". Kept as pictures ("wizard-long-update.png", "wizard-new-folder.png").
TEST(WizardScenario, LongMessagesShowWholeAndAFolderNameTakesTheMarks) {
  INSTALLER_SCRATCH scratch("wizard-s", wizard_description_lines());
  ASSERT_TRUE(build_scenario_package(
      scratch, "S", {NO_LICENCE},
      "patch_check = $HERE\n"
      "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;A shortcut on the desktop that starts the sample application with "
      "all of its handbooks, examples and tools\n"
      "text = SELECT_OPTIONS_MENU_SHORTCUT;A shortcut in the applications menu that starts the sample application "
      "with all of its handbooks\n"
      "text = PATCH_MSG;This update installs over the earlier installation and needs it: choose the folder that the "
      "earlier installation went into. The update replaces the files that changed and adds the new ones; it "
      "removes no file, and leaves everything else as it was.\n"
      "text = NEW_FOLDER_MSG;The name of the new folder, which is made in the folder shown above and can then be "
      "chosen as the destination of the installation:\n"));
  std::filesystem::create_directories(scratch.destination);  // where the folder dialog opens
  SPOT system_paths, browse, new_folder;
  AREA page_area, prompt_area;
  WINDOW_CAPTURE options, naming;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    test_seam_pointer(-1, -1);
    run_pass();
    ASSERT_TRUE(page_grid && page_grid->scrollbar);
    page_area = area_of(page);
    options = twin_screen();
    WM_SCREEN_OBJECT* system_box = option_box(WIZARD_EVENT_SYSTEM_PATHS);
    ASSERT_TRUE(system_box);
    system_paths = spot_of(system_box, page);
    click_on(system_box);
    browse = spot_of(browse_button, page);
    click_on(browse_button);
    settle_effects();
    WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(find_top_level(WM_KIND_FILE_SELECT));
    ASSERT_TRUE(selector);
    new_folder = spot_of(selector->new_folder_button);
    click_on(selector->new_folder_button);
    settle_effects();
    WM_TEXT_EDIT_DIALOG* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(find_top_level(WM_KIND_TEXT_EDIT_DIALOG));
    ASSERT_TRUE(dialog && dialog->prompt);
    EXPECT_GT(dialog->prompt->height, 2 * draw_target->default_font_y_size);
    prompt_area = area_of(dialog->prompt);
    naming = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-s-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.keyboard_layout("fr"));
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, options, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-long-update").c_str()));
  for (SPOT spot : {system_paths, browse, new_folder}) ASSERT_TRUE(click_and_settle(scenario, spot));
  ASSERT_TRUE(scenario.capture(&shown));
  EXPECT_EQ(differing_pixels(shown, naming, prompt_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-new-folder").c_str()));
  for (const char* keys : {"a", "dead_circumflex", "space", "b", "dead_grave", "space", "c", "Return"})
    ASSERT_TRUE(scenario.key(keys));
  std::string made = below(scratch.destination, "a^b`c");
  for (int waited = 0; waited < 30000 && !std::filesystem::is_directory(made); waited += 100) pause_ms(100);
  EXPECT_TRUE(std::filesystem::is_directory(made)) << scenario.output();
}

// Scenario U: an update whose destination holds another product's installation. The options page says
// what it found there after the package's message, and Install, kept shut, says why in its hint, in the
// real window as the twin draws them (the hint once the pointer has rested on Install). Kept as a
// picture ("wizard-update-found.png").
TEST(WizardScenario, AnUpdateSaysWhatItFoundWhereItWillNotInstall) {
  INSTALLER_SCRATCH scratch("wizard-u", wizard_description_lines());
  // As an update is made: no uninstaller and no shortcuts (the installed version made them).
  ASSERT_TRUE(build_scenario_package(scratch, "U",
                                     {NO_LICENCE,
                                      {"uninstaller = Wizard U App;uninstall.sh;$HERE/bin\n", ""},
                                      {"desktop_shortcut = 1;run.sh;Wizard U App;$HERE/bin\n", ""},
                                      {"menu_shortcut = 3;guide.txt;Test Guide;Wizard U Group;$HERE/docs\n", ""}},
                                     "patch_check = $HERE\n"));
  std::filesystem::create_directories(scratch.destination);
  ASSERT_TRUE(write_whole_file(scratch.installed("install_log.txt"),
                               text_bytes("Installed Files\n---------------\n\nLanguage: Deutsch\nSettings: 0 0 " +
                                          program_path_text(scratch.root) + "/dest\nApplication: anderes-programm\n"
                                          "Installation: Komplett\n\n")));
  SPOT install;
  AREA page_area;
  WINDOW_CAPTURE at_rest, with_hint;
  int hint_x = -1, hint_y = -1;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    EXPECT_EQ(page->forward_button->enabled, 0);
    ASSERT_TRUE(update_message);
    EXPECT_NE(text_of(update_message).find("\" is of another installation: \"Komplett\" of the application "
                                           "\"anderes-programm\""),
              std::string::npos);
    page_area = area_of(page);
    test_seam_pointer(-1, -1);
    run_pass();
    at_rest = twin_screen();
    // The hint shows once the pointer has rested on Install for more than a second of the calendar.
    install = spot_of(page->forward_button, page);
    test_seam_set_seconds(7000, 0);
    test_seam_pointer((INT_S16)install.x, (INT_S16)install.y);
    run_pass();
    test_seam_set_seconds(7002, 0);
    run_pass();
    run_pass();
    test_seam_release_clocks();
    WM_SCRIPT* hint = page->forward_button->hint;
    ASSERT_TRUE(hint && hint->visible);
    EXPECT_EQ(text_of(hint), "The installation in this folder is not the one this update is for");
    with_hint = twin_screen();
    for (int y = hint->y; hint_x < 0 && y < hint->y + hint->height; y++)
      for (int x = hint->x; hint_x < 0 && x < hint->x + hint->width; x++)
        if (with_hint.at(x, y) != at_rest.at(x, y)) hint_x = x, hint_y = y;
    ASSERT_GE(hint_x, 0);
  }

  WINDOW_SCENARIO scenario("wizard-u-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.move(10, -4));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, at_rest, page_area), 0);
  ASSERT_TRUE(scenario.move(install.x, install.y));
  ASSERT_TRUE(scenario.wait_for_pixel(hint_x, hint_y, with_hint.at(hint_x, hint_y), &shown));
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, with_hint, page_area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name("wizard-update-found").c_str()));
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("readme.txt")));
}

// The real window once it stands still shows in the area what the twin drew; kept under the picture's
// name.
static void expect_shown(WINDOW_SCENARIO& scenario, const WINDOW_CAPTURE& expected, const AREA& area,
                         const std::string& picture) {
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.wait_until_still(&shown));
  EXPECT_EQ(differing_pixels(shown, expected, area), 0);
  ASSERT_TRUE(keep_picture(shown, picture_name(picture).c_str()));
}

// Leaves through the window's close button and the quit question's first answer; the program ends with 0.
static void leave_through_the_quit_question(WINDOW_SCENARIO& scenario) {
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.key("Return"));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

// A licence of 1,000 numbered lines of 70 to 79 columns, hard-wrapped as free-software licences are.
static std::string numbered_licence() {
  static const char* const words[] = {"the", "licensee", "may", "copy", "change", "and", "share", "the", "program",
                                      "and", "its", "sources", "under", "these", "terms", "provided", "that",
                                      "every", "copy", "keeps", "this", "notice"};
  std::string text;
  size_t w = 0;
  for (int n = 1; n <= 1000; n++) {
    char line[96];
    std::snprintf(line, sizeof line, "Line %04d:", n);
    std::string shown = line;
    while (shown.size() + 1 + std::strlen(words[w % 22]) <= (size_t)(70 + n % 10)) shown += std::string(" ") + words[w++ % 22];
    text += shown + "\n";
  }
  return text;
}

// Scenario V: a licence of 1,000 lines opens at its first line, whole to its last: End, dragging the
// slider to the track's end and the wheel reach line 1000, Home and the wheel line 1, in the real window
// as the twin draws them, every row inside the rounded box. Kept as pictures at its top and at its end
// ("wizard-licence-top.png", "wizard-licence-end.png"; "-wine" under Wine).
TEST(WizardScenario, ALongLicenceOpensAtItsFirstLineAndScrollsToItsLast) {
  INSTALLER_SCRATCH scratch("wizard-v", wizard_description_lines());
  const std::string licence = numbered_licence();
  ASSERT_TRUE(write_whole_file(scratch.source + "licence.txt", text_bytes(licence)));
  ASSERT_TRUE(build_scenario_package(scratch, "V"));
  SPOT slider, track_end;
  AREA text_area;
  WINDOW_CAPTURE top, end, back;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    WM_TEXT_WIN* window = text_window_of(live_page());
    ASSERT_TRUE(window && window->scrollbar);
    EXPECT_EQ(window->data_count, 1000);
    EXPECT_EQ(window->capacity, window->screen_count);
    test_seam_pointer(-1, -1);
    run_pass();
    INT_S16 first, count;
    window->page_span(&first, &count);
    EXPECT_EQ(std::string(window->screen_buffer[first].text, 10), "Line 0001:");
    text_area = area_of(window);
    top = twin_screen();
    WM_SCROLLBAR* bar = window->scrollbar;
    slider = {bar->x + bar->width / 2, bar->slider_position() + bar->slider_length / 2};
    track_end = {slider.x, bar->y + bar->height - 1};
    PARAMETER& scroll = window->scroll_value;
    scroll.set_int(&scroll.value, 0);
    run_pass();
    window->page_span(&first, &count);
    bool line_1000 = false;
    for (INT_S32 row = 0; row < count; row++)
      line_1000 = line_1000 || std::string(window->screen_buffer[(first + row) % window->capacity].text, 10) == "Line 1000:";
    EXPECT_TRUE(line_1000);
    const TEXT_WIN_SCREEN_LINE& last = window->screen_buffer[(first + count - 1) % window->capacity];
    EXPECT_STREQ(last.text + last.length, "");  // the end of the text
    end = twin_screen();
    scroll.set_int(&scroll.value, 3);
    run_pass();
    back = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-v-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  WINDOW_CAPTURE shown;
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_NO_FATAL_FAILURE(expect_shown(scenario, top, text_area, "wizard-licence-top"));
  const struct {
    const char* step;
    std::function<bool()> input;
    const WINDOW_CAPTURE* expected;
  } steps[] = {
      {"End", [&] { return scenario.key("End"); }, &end},
      {"Home", [&] { return scenario.key("Home"); }, &top},
      {"drag", [&] { return scenario.drag(slider.x, slider.y, track_end.x, track_end.y) && scenario.move(2, 2); }, &end},
      {"wheel up", [&] { return scenario.wheel(3); }, &back},
      {"wheel down", [&] { return scenario.wheel(-5); }, &end},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    ASSERT_TRUE(step.input());
    ASSERT_TRUE(scenario.wait_until_still(&shown));
    EXPECT_EQ(differing_pixels(shown, *step.expected, text_area), 0);
    if (std::string(step.step) == "End") {
      ASSERT_TRUE(keep_picture(shown, picture_name("wizard-licence-end").c_str()));
    }
  }
  leave_through_the_quit_question(scenario);
}

// Scenario W: a licence in Russian, with lines in Greek, Armenian and Georgian and letters beyond U+FFFF,
// reads as written: every display line of the twin's licence holds whole words, the lines of each
// paragraph joined again are the paragraph, and the real window shows what the twin draws, at the top
// and, after End, at the end. Kept as pictures for a person to judge ("wizard-licence-russian.png",
// "wizard-licence-russian-end.png"; "-wine" under Wine).
TEST(WizardScenario, ALicenceInRussianGreekArmenianAndGeorgianReadsAsWritten) {
  const std::vector<std::string> paragraphs = {
      "Лицензия: программа свободна, её можно копировать, менять и распространять, без гарантий.",
      "",
      "Вы можете распространять копии программы на любом носителе при условии, что каждая копия сохраняет "
      "это уведомление, а изменённые версии отмечены как изменённые.",
      "",
      "Άδεια: το πρόγραμμα είναι ελεύθερο, μπορείτε να το αντιγράψετε και να το αλλάξετε χωρίς εγγύηση.",
      "Արտոնագիր. ծրագիրը ազատ է, այն կարելի է պատճենել, փոխել և տարածել առանց երաշխիքի։",
      "ლიცენზია: პროგრამა თავისუფალია, მისი კოპირება, შეცვლა და გავრცელება შეიძლება გარანტიის გარეშე.",
      "Grüße: 𝔸𝔹 𐌀𐌁𐌂 — всё вместе.",
  };
  INSTALLER_SCRATCH scratch("wizard-w", wizard_description_lines());
  std::string licence;
  for (const std::string& paragraph : paragraphs) licence += paragraph + "\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "licence.txt", text_bytes(licence)));
  ASSERT_TRUE(build_scenario_package(scratch, "W"));
  AREA text_area;
  WINDOW_CAPTURE page, end;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    ASSERT_EQ(database->stage, STAGE_LICENCE);
    WM_TEXT_WIN* window = text_window_of(live_page());
    ASSERT_TRUE(window);
    // Each paragraph's display lines, as their characters, joined again by the spaces they broke at (a
    // paragraph's first display line starts at its data line's text).
    std::vector<std::string> joined;
    INT_S16 next_paragraph = 0;
    for (INT_S32 k = 0; k < window->screen_count; k++) {
      const TEXT_WIN_SCREEN_LINE& line = window->screen_buffer[k];
      std::u32string characters;
      for (const TEXT_WIN_CHARACTER& c : WM_TEXT_WIN::characters_of(line)) characters += (char32_t)c.code;
      if (next_paragraph < window->data_count && line.text == window->data_buffer[next_paragraph].text) {
        joined.push_back(utf8_of(characters));
        next_paragraph++;
      } else {
        ASSERT_FALSE(joined.empty());
        joined.back() += " " + utf8_of(characters);
      }
    }
    EXPECT_EQ(joined, paragraphs);
    EXPECT_GT(window->screen_count, (INT_S16)paragraphs.size() + 4);  // paragraphs wrap, several words a line
    test_seam_pointer(-1, -1);
    run_pass();
    text_area = area_of(window);
    page = twin_screen();
    ASSERT_TRUE(window->scrollbar);
    window->scroll_value.set_int(&window->scroll_value.value, 0);
    run_pass();
    end = twin_screen();
  }

  WINDOW_SCENARIO scenario("wizard-w-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(start_installer(scenario, scratch, "Test Installer"));
  ASSERT_TRUE(scenario.move(2, 2));
  ASSERT_NO_FATAL_FAILURE(expect_shown(scenario, page, text_area, "wizard-licence-russian"));
  ASSERT_TRUE(scenario.key("End"));
  ASSERT_NO_FATAL_FAILURE(expect_shown(scenario, end, text_area, "wizard-licence-russian-end"));
  leave_through_the_quit_question(scenario);
}
