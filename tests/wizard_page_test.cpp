// Tests of the wizard's page: the buttons, labels, parameters and enabled states of every stage, the
// language and installation lists, the options grid under each condition, the progress text rules and
// the way forward when the installation is complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "border.h"
#include "check_box.h"
#include "confirm.h"
#include "files.h"
#include "redraw.h"
#include "grid.h"
#include "host.h"
#include "host_test_seam.h"
#include "progress_bar.h"
#include "style_measures.h"
#include "text_draw.h"
#include "text_win.h"
#include "wizard_test_support.h"

#ifdef _WIN32
#include "shell_link_test_support.h"
// The Windows headers' ERROR macro would hide the database's ERROR placement.
#undef ERROR
#endif

namespace {

struct STAGE_CASE {
  INT_S32 stage;
  const char* title;
  // Labels, events and parameters of quit, previous and forward; enabled states.
  const char* quit;
  INT_U32 quit_event;
  bool quit_enabled;
  const char* previous;
  INT_S32 previous_parameter;  // -1: not looked at
  bool previous_enabled;
  const char* forward;
  INT_S32 forward_parameter;
  bool forward_enabled;
  bool progress;
  bool text_window;
};

// With one language that has a licence and no readme, one installation: next of 4 is 6, of 7 is 9.
const STAGE_CASE stage_cases[] = {
    {0, "Packing data", "Quit", 1, true, "Back", -1, false, "Next", 1, false, true, false},
    {1, "Packing log", "About", 8, true, "Back", -1, false, "Finish", 9, true, false, true},
    {2, "", "Quit", 1, true, "Back", 0, true, "Next", 0, true, false, false},
    {3, "Choose a language", "Quit", 1, true, "Back", -1, false, "Next", -1, false, false, false},
    {4, "Licence", "Quit", 1, true, "I do not agree", 9, true, "I agree", 6, true, false, true},
    {5, "Installation type", "Quit", 1, true, "Back", -1, false, "Next", 6, true, false, false},
    {6, "Options", "Quit", 1, true, "Back", 4, false, "Install", 7, true, false, false},
    {7, "Installing", "Quit", 1, true, "Back", -1, false, "Finish", 9, false, true, false},
    {8, "Read me", "About", 8, true, "Back", -1, false, "Finish", 9, true, false, true},
    {9, "", "Quit", 1, true, "Back", 0, true, "Next", 0, true, false, false},
};

// The label of a cell that holds a script, a button or a check box.
std::string cell_text(WM_GRID* grid, int column, int row) {
  WM_SCREEN_OBJECT* object = grid->cell(column, row);
  if (!object) return "<none>";
  if (object->kind & WM_KIND_CHECK_BOX)
    return (object->state ? "[x] " : "[ ] ") + label_of(static_cast<WM_CHECK_BOX*>(object)->label);
  if (object->kind & WM_KIND_BUTTON) return "<" + label_of(static_cast<WM_BUTTON*>(object)) + ">";
  if (object->kind & WM_KIND_SCRIPT) return text_of(static_cast<WM_SCRIPT*>(object));
  return "?";
}

// Every row of the grid, its cells' texts joined by '|'.
std::vector<std::string> grid_rows(WM_GRID* grid) {
  std::vector<std::string> rows;
  for (INT_S16 r = 0; r < grid->row_count; r++) {
    std::string row;
    for (INT_S16 c = 0; c < grid->rows[r]->cell_count; c++) {
      if (c) row += "|";
      if (grid->cell(c, r)) row += cell_text(grid, c, r);
    }
    rows.push_back(row);
  }
  return rows;
}

// show_progress drew and ran the frame loop's idle step (which clears the activity flag), a refresh of
// the screen after the progress shown before.
bool progress_acts(INSTALL_DIALOG* page, INT_S32 value, const char* text) {
  advance_ms(PROGRESS_REFRESH_MS);
  activity_flag = 1;
  INSTALL_DIALOG::show_progress(page, value, text);
  bool acted = activity_flag == 0;
  activity_flag = 0;
  return acted;
}

}  // namespace

TEST(WizardPage, EveryStageHasItsTitleButtonsAndContent) {
  WIZARD_RUN run("wizard-stages");
  ASSERT_TRUE(run.start());
  // The first page: the stage after the start with a licence and one installation is the licence.
  EXPECT_EQ(database->stage, 4);
  for (const STAGE_CASE& c : stage_cases) {
    SCOPED_TRACE(c.stage);
    INSTALL_DIALOG* page = run.show_stage(c.stage);
    ASSERT_TRUE(page);
    EXPECT_EQ(std::string(page->get_title()), c.title);
    EXPECT_EQ(label_of(page->quit_button), c.quit);
    EXPECT_EQ(page->quit_button->event_user1, c.quit_event);
    EXPECT_EQ(page->quit_button->enabled != 0, c.quit_enabled);
    EXPECT_EQ(label_of(page->previous_button), c.previous);
    EXPECT_EQ(page->previous_button->event_user1, (INT_U32)WIZARD_EVENT_STAGE);
    if (c.previous_parameter >= 0) {
      EXPECT_EQ(page->previous_button->event_user2, (INT_U32)c.previous_parameter);
    }
    EXPECT_EQ(page->previous_button->enabled != 0, c.previous_enabled);
    EXPECT_EQ(label_of(page->forward_button), c.forward);
    if (c.forward_parameter >= 0) {
      EXPECT_EQ(page->forward_button->event_user2, (INT_U32)c.forward_parameter);
    }
    EXPECT_EQ(page->forward_button->enabled != 0, c.forward_enabled);
    EXPECT_EQ(page->progress_bar != nullptr, c.progress);
    EXPECT_EQ(page->progress_text != nullptr, c.progress);
    EXPECT_EQ(text_window_of(page) != nullptr, c.text_window);
    // The hints go with the labels.
    if (std::string(c.forward) == "Finish") {
      ASSERT_TRUE(page->forward_button->hint);
      EXPECT_EQ(text_of(page->forward_button->hint), "Close the installer");
    }
  }
}

TEST(WizardPage, ButtonsSitAtTheBottomAndALongerLabelWidensItsButton) {
  WIZARD_RUN run("wizard-placement");
  ASSERT_TRUE(run.start());
  INSTALL_DIALOG* page = run.show_stage(STAGE_LICENCE);
  ASSERT_TRUE(page);
  WM_STYLE_SET& style = page->button_style;
  INT_S16 cw = page->client->width, ch = page->client->height;
  INT_S16 cx = page->client->x, cy = page->client->y;
  WM_BUTTON* quit = page->quit_button;
  WM_BUTTON* previous = page->previous_button;
  WM_BUTTON* forward = page->forward_button;
  // Quit at the client's bottom left; forward at its bottom right; previous button_gap to its left.
  EXPECT_EQ(quit->x, cx);
  EXPECT_EQ(quit->y + quit->height, cy + ch);
  EXPECT_EQ(forward->x + forward->width, cx + cw);
  EXPECT_EQ(forward->y, quit->y);
  EXPECT_EQ(previous->x + previous->width + database->DIALOG.button_gap, forward->x);
  EXPECT_EQ(previous->y, quit->y);
  // Relabelled buttons are as wide as the style's border gaps and the label.
  INT_S32 gaps = (style.border_left_gap == -1 ? border_width_of_type((INT_S32)style.shading_type) : style.border_left_gap) +
                 (style.border_right_gap == -1 ? border_width_of_type((INT_S32)style.shading_type) : style.border_right_gap);
  INT_S8 font = (INT_U8)style.font_id == 255 ? draw_target->default_font_id : (INT_S8)style.font_id;
  INT_S16 xs = style.font_x_sz == -1 ? draw_target->default_font_x_size : style.font_x_sz;
  INT_S16 ys = style.font_y_sz == -1 ? draw_target->default_font_y_size : style.font_y_sz;
  EXPECT_EQ(previous->width, gaps + text_width(draw_target, font, xs, ys, "I do not agree", -1, false));
  EXPECT_EQ(forward->width, gaps + text_width(draw_target, font, xs, ys, "I agree", -1, false));
  // The content ends button_gap above the buttons.
  WM_TEXT_WIN* licence = text_window_of(page);
  ASSERT_TRUE(licence);
  EXPECT_EQ(licence->x, cx);
  EXPECT_EQ(licence->width, cw);
  EXPECT_EQ(licence->y + licence->height - 1, cy + ch - forward->height - database->DIALOG.button_gap);
}

// The licence and readme pages hold their whole texts, wrapped lines counted (the readme's also where
// the package's line count is smaller), open at the first line and scroll to the last; a missing entry
// leaves the page empty.
TEST(WizardPage, TheLicenceAndReadmeHoldTheirWholeTextsFromTheFirstLine) {
  WIZARD_RUN run("wizard-licence", "language = Deutsch;;readme.txt\n");
  std::string text;
  for (int i = 1; i <= 1000; i++)
    text += "Licence line " + std::to_string(i) + (i % 10 ? "" : ": " + std::string(900, 'x')) + "\n";
  ASSERT_TRUE(write_whole_file(run.scratch.source + "licence.txt", text_bytes(text)));
  ASSERT_TRUE(write_whole_file(run.scratch.source + "readme.txt", text_bytes(text)));
  ASSERT_TRUE(run.start());
  EXPECT_EQ(database->stage, STAGE_LANGUAGE);
  for (INT_S32 stage : {STAGE_LICENCE, STAGE_README}) {
    SCOPED_TRACE(stage);
    for (INT_S16 stored : {(INT_S16)10, (INT_S16)30000}) {
      database->current_language = stage == STAGE_LICENCE ? 0 : 1;
      database->languages[1].README.lines = stored;
      WM_TEXT_WIN* window = text_window_of(run.show_stage(stage));
      ASSERT_TRUE(window && window->scrollbar);
      EXPECT_EQ(window->data_count, 1000);
      EXPECT_GT(window->screen_count, 1100);  // each long line takes three
      EXPECT_EQ(window->capacity, stage == STAGE_README && stored > window->screen_count ? stored : window->screen_count);
      EXPECT_EQ(window->keeps_beginning, 1);
      INT_S16 first, count;
      window->page_span(&first, &count);
      EXPECT_EQ(std::string(window->screen_buffer[first].text, (size_t)window->screen_buffer[first].length),
                "Licence line 1");
      key(VKEY_END);
      window->page_span(&first, &count);
      const TEXT_WIN_SCREEN_LINE& last = window->screen_buffer[(first + count - 1) % window->capacity];
      EXPECT_EQ(last.text + last.length, window->data_buffer[999].text + std::strlen(window->data_buffer[999].text));
      if (stage == STAGE_LICENCE) break;  // the readme's count is not the licence's
    }
  }
  // The copy in "$TEMP" is gone again.
  FOLDER temporary;
  ASSERT_TRUE(temporary.set("$TEMP"));
  EXPECT_FALSE(file_exists(&temporary, "licence-0"));
  // The second language has no licence entry: its page is empty, and still shown.
  database->current_language = 1;
  WM_TEXT_WIN* window = text_window_of(run.show_stage(STAGE_LICENCE));
  ASSERT_TRUE(window);
  EXPECT_EQ(window->data_count, 0);
}

// The entries of a list grid drawn with rounded corners (radius min(20, a third of its smaller side)) keep
// as far from each corner's arc as the first and last rows keep from the straight top and bottom edges.
static void expect_clear_of_rounded_corners(WM_GRID* grid) {
  ASSERT_TRUE((grid->style.shading_flags & 0xF0) && grid->cell(0, 0));
  double radius = std::min(20, std::min(grid->width, grid->height) / 3);
  WM_SCREEN_OBJECT* last = grid->cell(0, (INT_S16)(grid->row_count - 1));
  double margin = std::min(grid->cell(0, 0)->y - grid->y, grid->y + grid->height - (last->y + last->height));
  for (INT_S16 row = 0; row < grid->row_count; row++) {
    WM_SCREEN_OBJECT* entry = grid->cell(0, row);
    for (int corner = 0; corner < 4; corner++) {
      bool right = corner & 1, bottom = corner & 2;
      double cx = right ? grid->x + grid->width - radius : grid->x + radius;
      double cy = bottom ? grid->y + grid->height - radius : grid->y + radius;
      double px = right ? entry->x + entry->width : entry->x, py = bottom ? entry->y + entry->height : entry->y;
      bool in_corner = (right ? px > cx : px < cx) && (bottom ? py > cy : py < cy);
      EXPECT_LE(in_corner ? std::hypot(px - cx, py - cy) : 0, radius - margin) << "row " << row << ", " << corner;
    }
  }
}

TEST(WizardPage, TheLanguagePageListsEveryLanguageInOrder) {
  WIZARD_RUN run("wizard-languages", "language = Deutsch;;\nlanguage = Francais;licence.txt;\n");
  ASSERT_TRUE(run.start());
  INSTALL_DIALOG* page = live_page();
  ASSERT_EQ(database->stage, STAGE_LANGUAGE);
  ASSERT_TRUE(page_grid);
  ASSERT_EQ(page_grid->row_count, 3);
  const char* names[3] = {"English", "Deutsch", "Francais"};
  INT_S32 heights = 0;
  for (int i = 0; i < 3; i++) {
    SCOPED_TRACE(i);
    WM_SCREEN_OBJECT* cell = page_grid->cell(0, i);
    ASSERT_TRUE(cell && (cell->kind & WM_KIND_BUTTON));
    WM_BUTTON* button = static_cast<WM_BUTTON*>(cell);
    EXPECT_EQ(label_of(button), names[i]);
    EXPECT_EQ(button->event_user1, (INT_U32)WIZARD_EVENT_LANGUAGE);
    EXPECT_EQ(button->click_user1, (INT_U32)i);
    EXPECT_EQ(button->event_mask, BUTTON_EVENT_CLICK);
    // The rows take the entries' heights; the buttons now fill their cells.
    heights += page_grid->rows[i]->height + database->options_style.y_spacing;
  }
  // The grid is as large as its entries, with room for its rounded corners at the sides, and sits in the
  // middle of the content.
  WM_STYLE_SET& style = database->options_style;
  WM_BUTTON widest(0, 0, -1, -1, &page->button_style, "Francais", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ(page_grid->height, style_vertical_gaps(&style) + heights);
  INT_S32 radius = std::min(20, page_grid->height / 3);
  EXPECT_EQ(page_grid->width, 2 * std::max<INT_S32>(radius, style_horizontal_gaps(&style) / 2) +
                                  style_horizontal_cell_gaps(&style) + widest.width);
  expect_clear_of_rounded_corners(page_grid);
  INT_S16 top = (INT_S16)(page->client->height - page->forward_button->height - database->DIALOG.button_gap);
  EXPECT_EQ(page_grid->x - page->client->x, (page->client->width - page_grid->width) / 2);
  EXPECT_EQ(page_grid->y - page->client->y, (top - page_grid->height + 1) / 2);
}

TEST(WizardPage, TheInstallationPageChecksOnlyTheCurrentInstallation) {
  WIZARD_RUN run("wizard-installations");
  ASSERT_TRUE(run.load());
  add_second_installation();
  database->current_installation = 1;
  ASSERT_TRUE(run.begin());
  INSTALL_DIALOG* page = run.show_stage(STAGE_INSTALL_TYPE);
  ASSERT_TRUE(page && page_grid);
  ASSERT_EQ(page_grid->row_count, 2);
  for (int i = 0; i < 2; i++) {
    WM_SCREEN_OBJECT* cell = page_grid->cell(0, i);
    ASSERT_TRUE(cell && (cell->kind & WM_KIND_CHECK_BOX));
    EXPECT_EQ(cell->state, i == 1 ? 1 : 0);
    EXPECT_EQ(cell->event_user1, (INT_U32)WIZARD_EVENT_INSTALLATION);
    EXPECT_EQ(cell->event_user2, (INT_U32)i);
  }
  EXPECT_EQ(label_of(static_cast<WM_CHECK_BOX*>(page_grid->cell(0, 0))->label), "Everything");
}

TEST(WizardPage, TheLongestInstallationNameKeepsClearOfTheRoundedCorners) {
  WIZARD_RUN run("wizard-long-installation");
  ASSERT_TRUE(run.load());
  add_second_installation();
  std::strcpy(database->languages[0].installation_strings[1], "Everything with the guide and the examples");
  ASSERT_TRUE(run.begin());
  ASSERT_TRUE(run.show_stage(STAGE_INSTALL_TYPE) && page_grid);
  ASSERT_EQ(page_grid->row_count, 2);
  expect_clear_of_rounded_corners(page_grid);
}

TEST(WizardPage, TheOptionsGridHasTheRowsItsConditionsAskFor) {
  struct OPTIONS_CASE {
    const char* name;
    bool host_system_paths;
    INT_U8 allow_system_paths;
    INT_U8 use_system_paths;
    bool shortcuts;
    INT_U8 patch;
    std::vector<std::string> rows;
  };
  // Rows made after the columns were set to 4 (2, 11, 1, 2) have four cells, the shortcut rows three.
  const OPTIONS_CASE cases[] = {
      {"system paths chosen", true, 1, 1, true, 0,
       {"Where should the application go?", "|||", "|[x] Use the system folders||", "|PATH|<...>|",
        "|||", "Which shortcuts should be made?", "||", "|[x] On the desktop|", "|[x] In the menu|"}},
      {"system paths refused", true, 1, 0, true, 0,
       {"Where should the application go?", "|||", "|[ ] Use the system folders||", "|PATH|<...>|", "|||",
        "Which shortcuts should be made?", "||", "|[x] On the desktop|", "|[x] In the menu|"}},
      {"no system paths on the host", false, 1, 1, false, 0,
       {"Where should the application go?", "|||", "|PATH|<...>|", "|||"}},
      {"installation without system paths", true, 0, 1, false, 1,
       {"Where should the application go?", "|||", "|PATH|<...>|", "|||",
        "This update needs the earlier installation in the chosen folder.", ""}},
  };
  for (const OPTIONS_CASE& c : cases) {
    SCOPED_TRACE(c.name);
    WIZARD_RUN run("wizard-options");
    ASSERT_TRUE(run.start());
    std::string path = "<" + std::string(expand_path_text("$SCRATCH/dest", nullptr)) + ">";
    database->system_info().has_system_paths = c.host_system_paths ? 1 : 0;
    database->installations[0].allow_system_paths = c.allow_system_paths;
    database->use_system_paths = c.use_system_paths;
    if (!c.shortcuts) database->installations[0].has_desktop_items = database->installations[0].has_menu_items = 0;
    database->PATCH.do_check = c.patch;
    INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
    ASSERT_TRUE(page && page_grid);
    std::vector<std::string> rows = c.rows;
    for (std::string& row : rows)
      if (row == "|PATH|<...>|") row = "|" + path + "|<...>|";
    EXPECT_EQ(grid_rows(page_grid), rows);
    ASSERT_TRUE(location_button && browse_button);
    bool free_choice = !(c.host_system_paths && c.allow_system_paths && c.use_system_paths);
    EXPECT_EQ(location_button->enabled != 0, free_choice);
    EXPECT_EQ(browse_button->enabled != 0, free_choice);
    EXPECT_EQ(location_button->event_user1, (INT_U32)WIZARD_EVENT_FOLDER);
    EXPECT_EQ(location_button->event_mask, WIZARD_BUTTON_EVENTS);
    EXPECT_EQ(object_from_handle(location_button->event_user2), page);
    // With the patch check and no earlier install log the way forward stays shut.
    EXPECT_EQ(page->forward_button->enabled != 0, c.patch == 0);
  }
}

// The destination, a path shortened in its middle, takes the empty column before its cell when it needs
// more than the cell; the system folders' text, shorter, stays in its cell, as does a short path again.
TEST(WizardPage, ALongDestinationTakesTheEmptyColumnBeforeIt) {
  WIZARD_RUN run("wizard-location");
  ASSERT_TRUE(run.start());
  database->use_system_paths = 0;
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  ASSERT_TRUE(page && location_button && browse_button);
  EXPECT_EQ(location_button->path_text, 1);
  const INT_S16 x = location_button->x, width = location_button->width, browse_x = browse_button->x;
  std::string longer = "/" + std::string((size_t)width, 'a') + "/last";
  show_location(longer.c_str(), 0);
  EXPECT_EQ(label_of(location_button), longer);
  EXPECT_LT(location_button->x, x);
  EXPECT_EQ(location_button->x + location_button->width, x + width);
  EXPECT_EQ(browse_button->x, browse_x);
  show_location("(system folders)", -1);
  EXPECT_EQ(location_button->path_text, 0);
  EXPECT_EQ(location_button->x, x);
  EXPECT_EQ(location_button->width, width);
}

// The location row names where the files go. Without the system folders, and with them while no file
// has a destination of its own there, the install folder as a path, its variable resolved also for a
// system folder not made yet. Files with destinations of their own there: the package's text and the
// folder that holds them all, the text kept whole before the path; the text alone when they share no
// folder below a drive root.
TEST(WizardPage, TheLocationRowNamesWhereTheFilesGo) {
  WIZARD_RUN run("wizard-location-row");
  ASSERT_TRUE(run.start());
#ifdef _WIN32
  const std::string user_data = special_folder(CSIDL_APPDATA), programs = special_folder(CSIDL_PROGRAM_FILES);
#else
  const std::string user_data = run.scratch.root + "home/state", programs = run.scratch.root + "home/.local/opt";
  ASSERT_FALSE(std::filesystem::exists(user_data));
#endif
  const std::string folder = below(user_data, "velk-test-app/Tools");
  database->system_info().has_system_paths = 1;
  std::strcpy(database->install_path, "$USERDATA/Tools");
  for (INT_U8 system_paths : {0, 1}) {
    database->use_system_paths = system_paths;
    run.show_stage(STAGE_OPTIONS);
    ASSERT_TRUE(location_button);
    EXPECT_EQ(label_of(location_button), folder);
    EXPECT_EQ(location_button->path_text, 1);
    EXPECT_EQ(location_button->path_start, 0);
    EXPECT_EQ(location_button->enabled, system_paths ? 0 : 1);
  }
  INSTALLATION& installation = database->installations[0];
  for (INT_S16 i = 0; i < installation.file_count; i++)
    std::strcpy(installation.files[i].system_dest_path_from_inst_loc, i % 2 ? "$SYSAPP/bin" : "$SYSAPP/docs");
  run.show_stage(STAGE_OPTIONS);
  const std::string said = "The system folders";
  EXPECT_EQ(label_of(location_button), said + " " + below(programs, "velk-test-app"));
  EXPECT_EQ(location_button->path_text, 1);
  EXPECT_EQ(location_button->path_start, said.size() + 1);
  std::strcpy(installation.files[0].system_dest_path_from_inst_loc, "$ROOT0/elsewhere");
  run.show_stage(STAGE_OPTIONS);
  EXPECT_EQ(label_of(location_button), said);
  EXPECT_EQ(location_button->path_text, 0);
}

TEST(WizardPage, OptionRowsTakeTheirHeightsFromEightEqualRows) {
  WIZARD_RUN run("wizard-option-rows");
  ASSERT_TRUE(run.start());
  INSTALL_DIALOG* page = run.show_stage(STAGE_OPTIONS);
  ASSERT_TRUE(page && page_grid);
  INT_S32 r = (page_grid->inner_height() + page_grid->style.y_spacing) / 8 - page_grid->style.y_spacing;
  INT_S32 small = r / 3, big = r + (3 * (r - small)) / 5;
  auto expected = [&](INT_S32 h) {
    INT_S32 kept = h - page_grid->style.y_spacing;
    return kept < 1 ? 1 : kept;
  };
  // Question, spacer, system paths, location, spacer, shortcut question, spacer, desktop, menu.
  INT_S32 heights[9] = {r, small, big, big, small, big, small, big, big};
  ASSERT_EQ(page_grid->row_count, 9);
  for (int i = 0; i < 9; i++) {
    SCOPED_TRACE(i);
    INT_S32 h = i == 0 ? r : expected(heights[i]);
    EXPECT_EQ(page_grid->rows[i]->height, h < page_grid->style.cell_top_gap + 2 + page_grid->style.cell_bottom_gap
                                               ? page_grid->style.cell_top_gap + 2 + page_grid->style.cell_bottom_gap
                                               : h);
  }
  EXPECT_EQ(page_grid->rows[3]->cell_count, 4);
  EXPECT_EQ(page_grid->rows[7]->cell_count, 3);
  // With the packer's gap between rows, every row shows without scrolling.
  INT_S32 total = 0;
  for (int i = 0; i < 9; i++) total += page_grid->rows[i]->height + page_grid->style.y_spacing;
  EXPECT_LE(total, page_grid->inner_height() + page_grid->style.y_spacing);
}

// The options page of the packer's default page, in the system's font, with a long location question, an
// update's message (the built-in one) and a long desktop choice: each takes the lines it needs and shows
// whole, the rows keep apart, and every row shows without scrolling. Short texts keep their rows.
TEST(WizardPage, LongOptionTextsWrapOntoTheRoomThereIs) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  const std::string long_texts =
      "text = SELECT_OPTIONS_LOCATION_QUESTION;Where should the sample application with all of its handbooks, "
      "examples and tools be installed?\n"
      "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;A shortcut on the desktop that starts the sample application with "
      "its handbooks\n"
      "text = PATCH_MSG;This update installs over the earlier installation: choose the folder it is in.\n";
  for (bool long_ones : {false, true}) {
    SCOPED_TRACE(long_ones);
    INSTALLER_SCRATCH scratch("wizard-long-options",
                              wizard_text_lines() + (long_ones ? long_texts : "") + "patch_check = $HERE\n");
    ASSERT_TRUE(scratch.build());
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    database->stage = STAGE_OPTIONS;
    twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
    run_pass();
    ASSERT_TRUE(live_page() && page_grid);
    EXPECT_FALSE(page_grid->overflows());
    INT_S32 below = 0;
    int wrapped = 0;
    for (INT_S16 r = 0; r < page_grid->row_count; r++) {
      INT_S32 top = 32767, bottom = 0;
      for (INT_S16 c = 0; c < page_grid->rows[r]->cell_count; c++) {
        WM_SCREEN_OBJECT* object = page_grid->cell(c, r);
        if (!object) continue;
        top = std::min<INT_S32>(top, object->y);
        bottom = std::max<INT_S32>(bottom, object->y + object->height);
        if (object->kind & WM_KIND_CHECK_BOX) object = static_cast<WM_CHECK_BOX*>(object)->label;
        if (!(object->kind & (WM_KIND_SCRIPT | WM_KIND_BUTTON)) || object == browse_button || object == location_button)
          continue;
        if (!label_of(object->kind & WM_KIND_BUTTON ? static_cast<WM_BUTTON*>(object) : nullptr).empty() ||
            !text_of(object->kind & WM_KIND_SCRIPT ? static_cast<WM_SCRIPT*>(object) : nullptr).empty()) {
          EXPECT_TRUE(shows_whole(object)) << r << " " << c;
          wrapped += object->height >= 2 * draw_target->default_font_y_size;
        }
      }
      if (top == 32767) continue;
      EXPECT_GE(top, below) << r;
      below = bottom;
    }
    EXPECT_LE(below, page_grid->y + page_grid->height - page_grid->style.border_bottom_gap);
    EXPECT_EQ(wrapped, long_ones ? 3 : 0);
  }
  remove_named_path("$FONTDATA");
}

// Installation names too long for the page wrap onto the lines they need, each box beside its name's
// first line and on the page (beside the scroll bar when the names outgrow the page); a click on a name
// chooses it, and Tab with Space reaches the last one, which comes into view.
TEST(WizardPage, LongInstallationNamesWrapOnThePageBesideTheirBoxes) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  const std::string names[2] = {
      "Vollst\xC3\xA4ndige Installation mit allen Beispielen, Handb\xC3\xBC" "chern und Schriftarten f\xC3\xBCr alle",
      "Complete installation with every example, handbook and font, for all users of this computer and all of "
      "their projects"};
  for (int count : {2, 8}) {
    SCOPED_TRACE(count);
    std::string extra;
    for (int i = 1; i < count; i++)
      extra += "installation = " + std::to_string(i) + " " + names[i % 2] + "\ndefault_path = $SCRATCH/type" +
               std::to_string(i) + "\n";
    INSTALLER_SCRATCH scratch("wizard-long-types", wizard_description_lines() + extra);
    ASSERT_TRUE(scratch.build());
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    database->stage = STAGE_INSTALL_TYPE;
    twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
    run_pass();
    INSTALL_DIALOG* page = live_page();
    ASSERT_TRUE(page && page_grid);
    ASSERT_EQ(page_grid->row_count, count);
    EXPECT_EQ(page_grid->scrollbar != nullptr, count == 8);
    INT_S32 right = page_grid->x + page_grid->width - page_grid->style.border_right_gap -
                    (page_grid->scrollbar ? page_grid->style.grid_scrollbar_width + 1 : 0);
    for (INT_S16 r = 0; r < count; r++) {
      WM_CHECK_BOX* box = static_cast<WM_CHECK_BOX*>(page_grid->cell(0, r));
      EXPECT_GE(box->x, page->client->x) << r;
      EXPECT_LE(box->x + box->width, right) << r;
      EXPECT_EQ(box->label->y, box->box->y) << r;
      EXPECT_TRUE(shows_whole(box->label)) << r;
      EXPECT_EQ((box->label->button_flags & bf_wrap_text) != 0, r > 0) << r;
    }
    click_on(static_cast<WM_CHECK_BOX*>(page_grid->cell(0, 1))->label);
    EXPECT_EQ(database->current_installation, 1);
    EXPECT_EQ(page_grid->cell(0, 0)->state, 0);
    EXPECT_EQ(page_grid->cell(0, 1)->state, 1);
    for (int i = 1; i < count; i++) key(VKEY_TAB);
    key(VKEY_SPACE);
    EXPECT_EQ(database->current_installation, count - 1);
    EXPECT_TRUE(page_grid->row_fully_visible(count - 1));
  }
  remove_named_path("$FONTDATA");
}

// An update's message keeps the lines it needs when the options page scrolls, whatever its length: its
// row is measured at the width beside the scroll bar, where it is drawn. The folder's buttons, squeezed by
// the eleven rows, keep the line of their label.
TEST(WizardPage, AnUpdatesMessageShowsWholeBesideTheScrollBar) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  const std::string long_choices =
      "text = SELECT_OPTIONS_DESKTOP_SHORTCUT;A shortcut on the desktop that starts the sample application with "
      "all of its handbooks, examples and tools\n"
      "text = SELECT_OPTIONS_MENU_SHORTCUT;A shortcut in the applications menu that starts the sample application "
      "with all of its handbooks\n"
      "patch_check = $HERE\n";
  const std::string message =
      "This update installs over the earlier installation and needs it: choose the folder that the earlier "
      "installation went into. The update replaces the files that changed and adds the new ones; it removes "
      "no file, and leaves everything else as it was.";
  int scrolled = 0;
  for (size_t length = 100; length <= message.size(); length += 7) {
    SCOPED_TRACE(length);
    INSTALLER_SCRATCH scratch("wizard-long-update",
                              wizard_text_lines() + long_choices + "text = PATCH_MSG;" + message.substr(0, length) + "\n");
    ASSERT_TRUE(scratch.build());
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    database->stage = STAGE_OPTIONS;
    twin.screen->manager->rebuild_area(twin.screen->manager->current_area, true);
    run_pass();
    ASSERT_TRUE(page_grid);
    WM_SCRIPT* shown = nullptr;
    for (INT_S16 r = 0; r < page_grid->row_count; r++)
      if (cell_text(page_grid, 0, r).rfind("This update", 0) == 0) shown = static_cast<WM_SCRIPT*>(page_grid->cell(0, r));
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shows_whole(shown));
    for (WM_BUTTON* button : {location_button, browse_button})
      EXPECT_GE(button->height - button->top_gap - button->bottom_gap, shown->font_y_size) << button->label;
    scrolled += page_grid->scrollbar != nullptr;
  }
  EXPECT_GT(scrolled, 0);
  remove_named_path("$FONTDATA");
}

// A path of the progress text as the host writes paths.
static std::string host_form(std::string path) {
  std::replace(path.begin(), path.end(), '/', (char)PATH_SEPARATOR);
  return path;
}

TEST(WizardPage, ProgressTextFollowsTheFileNameSettings) {
  struct PROGRESS_CASE {
    INT_U8 filenames, filepaths;
    const char* text;
    const char* shown;
  };
  const PROGRESS_CASE cases[] = {
      {1, 1, "/bin/run.sh", "/bin/run.sh"},   {1, 0, "/bin/run.sh", "/bin/run.sh"},
      {0, 1, "/bin/run.sh", "/bin/"},          {0, 1, "/run.sh", "/"},
      {0, 0, "/bin/run.sh", "Initializing..."}, {0, 0, "Installing...", "Installing..."},
      {0, 1, "Complete", "Complete"},
  };
  WIZARD_RUN run("wizard-progress");
  ASSERT_TRUE(run.start());
  for (const PROGRESS_CASE& c : cases) {
    SCOPED_TRACE(c.text);
    INSTALL_DIALOG* page = run.show_stage(STAGE_PACK_DATA);
    ASSERT_TRUE(page && page->progress_bar && page->progress_text);
    database->show_filenames = c.filenames;
    database->show_filepaths = c.filepaths;
    char caller[64];
    std::strcpy(caller, c.text);
    INSTALL_DIALOG::show_progress(page, 40, caller);
    EXPECT_EQ(text_of(page->progress_text), c.shown[0] == '/' ? host_form(c.shown) : c.shown);
    // A path shown is shortened in its middle when too long; any other text at its end.
    EXPECT_EQ(page->progress_text->path_text, c.shown[0] == '/' ? 1 : 0);
    EXPECT_EQ(page->progress_bar->value, 40);
    EXPECT_STREQ(caller, c.text);
  }
  // A value outside 0 .. maximum leaves the bar; the text still changes.
  INSTALL_DIALOG* page = live_page();
  INSTALL_DIALOG::show_progress(page, 101, "Complete");
  EXPECT_EQ(page->progress_bar->value, 40);
  INSTALL_DIALOG::show_progress(page, -1, "Installing...");
  EXPECT_EQ(page->progress_bar->value, 40);
  EXPECT_EQ(text_of(page->progress_text), "Installing...");
  // Neither names nor folders: a path at the bar's value changes nothing at all (no drawing, no idle
  // step of the frame loop); at another value it shows the initializing text.
  database->show_filenames = database->show_filepaths = 0;
  EXPECT_FALSE(progress_acts(page, 40, "/docs/guide.txt"));
  EXPECT_EQ(text_of(page->progress_text), "Installing...");
  EXPECT_TRUE(progress_acts(page, 45, "/docs/guide.txt"));
  EXPECT_EQ(text_of(page->progress_text), "Initializing...");
  // Folders only: the same folder at the same value changes nothing; another folder or value acts.
  database->show_filepaths = 1;
  EXPECT_TRUE(progress_acts(page, 50, "/docs/guide.txt"));
  EXPECT_EQ(text_of(page->progress_text), host_form("/docs/"));
  EXPECT_FALSE(progress_acts(page, 50, "/docs/other.txt"));
  EXPECT_TRUE(progress_acts(page, 51, "/docs/other.txt"));
  EXPECT_TRUE(progress_acts(page, 51, "/bin/run.sh"));
  EXPECT_EQ(text_of(page->progress_text), host_form("/bin/"));
  // Any other text acts every time.
  EXPECT_TRUE(progress_acts(page, 51, "Installing..."));
  EXPECT_TRUE(progress_acts(page, 51, "Installing..."));
  // A null page, and a page without a bar, take nothing.
  INSTALL_DIALOG::show_progress(nullptr, 10, "Installing...");
  INSTALL_DIALOG::show_install_complete(nullptr);
  page = run.show_stage(STAGE_OPTIONS);
  INSTALL_DIALOG::show_progress(page, 10, "Installing...");
  INSTALL_DIALOG::show_install_complete(page);
  EXPECT_EQ(label_of(page->quit_button), "Quit");
}

// A file's progress presents the bar and the line of text above it, nothing more, and the pass after it
// draws them no second time. Files that come faster than the screen refreshes show theirs once per
// refresh: one that comes sooner waits, and shows with the next that is due, after a refresh while its
// file is still being copied, or in the next pass when no file follows at once.
TEST(WizardPage, AFilesProgressPresentsOnlyTheBarAndTheLineAboveIt) {
  WIZARD_RUN run("wizard-progress-present");
  ASSERT_TRUE(run.start());
  INSTALL_DIALOG* page = run.show_stage(STAGE_PACK_DATA);
  ASSERT_TRUE(page && page->progress_bar && page->progress_text);
  WM_PROGRESS_BAR* bar = page->progress_bar;
  WM_SCRIPT* line = page->progress_text;
  ASSERT_EQ(line->y + line->height, bar->y);
  ASSERT_EQ(line->x, bar->x);
  ASSERT_EQ(line->width, bar->width);
  database->show_filenames = 1;
  present_frame(-1);  // the page as built
  advance_ms(PROGRESS_REFRESH_MS);
  test_seam_presents(true);
  INSTALL_DIALOG::show_progress(page, 10, "/bin/run.sh");
  run_pass();
  TEST_SEAM_PRESENTS seen = test_seam_presents(true);
  EXPECT_EQ(seen.count, 1u);
  EXPECT_EQ(std::vector<INT_S32>({seen.left, seen.top, seen.right, seen.bottom}),
            std::vector<INT_S32>({bar->x, line->y, bar->x + bar->width - 1, bar->y + bar->height - 1}));
  EXPECT_EQ(seen.pixels, (INT_U64)bar->width * (INT_U64)(bar->height + line->height));
  EXPECT_EQ(page->progress_waiting, 0);

  // Within the same refresh the next file's value and text are taken but wait; the one after them too.
  INSTALL_DIALOG::show_progress(page, 11, "/bin/other.sh");
  INSTALL_DIALOG::show_progress(page, 12, "/docs/guide.txt");
  EXPECT_EQ(test_seam_presents(false).count, 0u);
  EXPECT_EQ(page->progress_waiting, 1);
  EXPECT_EQ(bar->value, 12);
  EXPECT_EQ(text_of(line), host_form("/docs/guide.txt"));
  // Copying goes on within the refresh: nothing; past it, the waiting progress shows.
  INSTALL_OBSERVER* observer = get_install_observer();
  ASSERT_TRUE(observer);
  observer->file_going_on(page);
  EXPECT_EQ(test_seam_presents(false).count, 0u);
  advance_ms(PROGRESS_REFRESH_MS);
  observer->file_going_on(page);
  EXPECT_EQ(test_seam_presents(true).count, 1u);
  EXPECT_EQ(page->progress_waiting, 0);
  // A file due after a refresh shows at once; a text that is no file's shows at once whenever it comes.
  advance_ms(PROGRESS_REFRESH_MS);
  INSTALL_DIALOG::show_progress(page, 13, "/readme.txt");
  EXPECT_EQ(test_seam_presents(true).count, 1u);
  INSTALL_DIALOG::show_progress(page, 100, "Complete");
  EXPECT_EQ(test_seam_presents(true).count, 1u);
  // No file follows at once (this stage installs none): the next pass shows what waits.
  INSTALL_DIALOG::show_progress(page, 14, "/bin/run.sh");
  EXPECT_EQ(test_seam_presents(false).count, 0u);
  run_pass();
  EXPECT_EQ(test_seam_presents(true).count, 1u);
  EXPECT_EQ(page->progress_waiting, 0);
}

TEST(WizardPage, TheCompleteInstallationOpensTheWayOn) {
  WIZARD_RUN run("wizard-complete", "language = Deutsch;;readme.txt\n");
  ASSERT_TRUE(write_whole_file(run.scratch.source + "readme.txt", text_bytes("one\ntwo\n")));
  ASSERT_TRUE(run.start());
  // Stage 7 with a readme next: quit is disabled, forward enabled with its label.
  database->current_language = 1;
  INSTALL_DIALOG* page = run.show_stage(STAGE_INSTALLING);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->forward_button->event_user2, (INT_U32)STAGE_README);
  EXPECT_EQ(page->forward_button->enabled, 0);
  INSTALL_DIALOG::show_install_complete(page);
  EXPECT_EQ(page->forward_button->enabled, 1);
  EXPECT_EQ(page->quit_button->enabled, 0);
  // Stage 7 with the end next: quit becomes About, and stays enabled.
  database->current_language = 0;
  page = run.show_stage(STAGE_INSTALLING);
  EXPECT_EQ(label_of(page->forward_button), "Finish");
  INSTALL_DIALOG::show_install_complete(page);
  EXPECT_EQ(page->forward_button->enabled, 1);
  EXPECT_EQ(label_of(page->quit_button), "About");
  EXPECT_EQ(page->quit_button->event_user1, (INT_U32)WIZARD_EVENT_ABOUT);
  EXPECT_EQ(page->quit_button->enabled, 1);
  // Stage 0: quit disabled, forward enabled. Other stages: nothing.
  page = run.show_stage(STAGE_PACK_DATA);
  INSTALL_DIALOG::show_install_complete(page);
  EXPECT_EQ(page->quit_button->enabled, 0);
  EXPECT_EQ(page->forward_button->enabled, 1);
  page = run.show_stage(STAGE_README);
  page->forward_button->enabled = 0;
  INSTALL_DIALOG::show_install_complete(page);
  EXPECT_EQ(page->forward_button->enabled, 0);
}

// The text of a complete installation shows whole above the bar: a long one takes the lines it needs
// there, a short one keeps its one line; either stands on the bar.
TEST(WizardPage, ALongCompleteTextShowsWholeAboveTheBar) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  for (bool long_one : {false, true}) {
    SCOPED_TRACE(long_one);
    INSTALLER_SCRATCH scratch(
        "wizard-long-complete",
        wizard_text_lines() + (long_one ? "text = COMPLETE;Die Installation ist abgeschlossen. Alle Dateien, "
                                          "Verkn\xC3\xBCpfungen und der Eintrag zum Entfernen sind jetzt an ihrem "
                                          "Platz; das Programm startet aus dem Startmen\xC3\xBC.\n"
                                        : "text = COMPLETE;Done.\n"));
    ASSERT_TRUE(scratch.build());
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
    ASSERT_TRUE(page && page->progress_text && page->progress_bar);
    INT_S16 one_line = page->progress_text->height;
    INSTALL_DIALOG::show_install_complete(page);
    INSTALL_DIALOG::show_progress(page, 100, wizard_text(&LANGUAGE::COMPLETE));
    EXPECT_TRUE(shows_whole(page->progress_text));
    EXPECT_EQ(page->progress_text->y + page->progress_text->height, page->progress_bar->y);
    EXPECT_EQ(page->progress_text->height > one_line, long_one);
    EXPECT_GE(page->progress_text->y, page->client->y);
  }
  remove_named_path("$FONTDATA");
}

// What failed shows whole in place of the progress line: a short text on the bar where it stands, a
// longer one with the bar moved down as far as its lines need, and one longer than the content from its
// first line, scrolling, over the bar at the content's bottom.
TEST(WizardPage, WhatFailedShowsWholeAboveTheBar) {
  REQUIRE_SYSTEM_FONTS();
  FOLDER fonts;
  ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
  set_named_path("$FONTDATA", &fonts);
  INSTALLER_SCRATCH scratch("wizard-failure-text", wizard_text_lines());
  ASSERT_TRUE(scratch.build());
  WIZARD_TWIN twin;
  ASSERT_TRUE(twin.start(scratch.package));
  const std::string sentence = "\"/home/someone/applications/sample/bin/tool.bin\" is missing from the package. ";
  INSTALL_STATE& state = database->install_state;
  for (int repeat : {1, 5, 60}) {
    SCOPED_TRACE(repeat);
    INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
    ASSERT_TRUE(page && page->progress_bar);
    WM_PROGRESS_BAR* bar = page->progress_bar;
    INT_S16 bar_y = bar->y;
    INT_S32 content_bottom = page->client->y + page->client->height - page->forward_button->height -
                             database->DIALOG.button_gap;
    state.error_count = 1;
    state.step_total = 2;
    INSTALL_DIALOG::show_install_complete(page);
    std::string text;
    for (int i = 0; i < repeat; i++) text += sentence;
    INSTALL_DIALOG::show_progress(page, 100, text.c_str());
    WM_TEXT_WIN* window = page->failure_window;
    ASSERT_TRUE(window);
    EXPECT_EQ(failure_shown(page), text);
    EXPECT_EQ(page->progress_text->visible, 0);
    EXPECT_EQ(window->y + window->height, bar->y);
    EXPECT_GE(window->y, page->client->y);
    EXPECT_LE(bar->y + bar->height - 1, content_bottom);
    EXPECT_EQ(window->capacity, window->screen_count);
    EXPECT_EQ(bar->y == bar_y, repeat == 1);
    EXPECT_EQ(window->scrollbar != nullptr, repeat == 60);
    if (!window->scrollbar) {
      EXPECT_EQ(window->height, window->height_for_lines());
    } else {
      EXPECT_EQ(bar->y + bar->height - 1, content_bottom);
      EXPECT_EQ(window->y, page->client->y);
      INT_S16 first, count;
      window->page_span(&first, &count);
      EXPECT_EQ(window->screen_buffer[first].text, window->data_buffer[0].text);
    }
  }
  state.error_count = 0;
  state.step_total = 0;
  remove_named_path("$FONTDATA");
}

TEST(WizardPage, TheDesktopSizeIsCheckedOnceOnTheFirstOptionsPage) {
  struct SIZE_CASE {
    INT_S16 desktop_width, desktop_height, required_width, required_height;
    bool asks;
  };
  const SIZE_CASE cases[] = {{800, 600, 800, 600, false}, {799, 600, 800, 600, true}, {800, 599, 800, 600, true},
                             {100, 100, -1, 600, false},  {100, 100, 800, -1, false}};
  for (const SIZE_CASE& c : cases) {
    SCOPED_TRACE(testing::Message() << c.desktop_width << "x" << c.desktop_height);
    WIZARD_RUN run("wizard-desktop");
    ASSERT_TRUE(run.load());
    database->CHECK_DESKTOP_SIZE.width = c.required_width;
    database->CHECK_DESKTOP_SIZE.height = c.required_height;
    ASSERT_TRUE(run.begin(c.desktop_width, c.desktop_height));
    EXPECT_EQ(database->desktop_size_checked, 0);  // the licence page checks nothing
    run.show_stage(STAGE_OPTIONS);
    EXPECT_EQ(database->desktop_size_checked, 1);
    WM_CONFIRM* question = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
    EXPECT_EQ(question != nullptr, c.asks);
    std::string warning = c.asks ? "ERROR: screen " + std::to_string(c.desktop_width) + "x" +
                                       std::to_string(c.desktop_height) + " does not meet minimum requirement of 800x600\n"
                                 : "";
    EXPECT_EQ(std::string(database->desktop_size_warning), warning);
    if (!question) continue;
    EXPECT_EQ(std::string(question->get_title()), "Screen too small");
    ASSERT_TRUE(question->text && question->text->data_count == 1);
    EXPECT_STREQ(question->text->data_buffer[0].text, "The screen is smaller than this application needs. Quit now?");
    EXPECT_EQ(question->buttons[0]->event_user1, (INT_U32)WIZARD_EVENT_DESKTOP_SIZE);
    EXPECT_EQ(label_of(question->buttons[0]), "Yes");
    EXPECT_EQ(label_of(question->buttons[1]), "No");
    // No goes on: the question closes and the options stay.
    let_effects_end();
    EXPECT_NE(click_on(question->buttons[1]), WM_RESULT_LAST_PAGE_CLOSED);
    let_effects_end();
    EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);
    EXPECT_EQ(database->stage, STAGE_OPTIONS);
    // Back and forward again: no second question.
    run.show_stage(STAGE_LICENCE);
    run.show_stage(STAGE_OPTIONS);
    EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);
    database->use_system_paths = 0;
    run.show_stage(STAGE_INSTALLING);
    run_pass();
    // The line goes into the install log as it stands, with its own line end after it: the line, then
    // the empty line that the log writes after the warning.
    std::vector<std::string> log = read_lines(run.scratch.installed("install_log.txt"));
    ASSERT_GE(log.size(), 10u);
    EXPECT_EQ(log[8] + "\n", warning);
    EXPECT_EQ(log[9], "");
  }
}

TEST(WizardPage, YesToTheDesktopSizeQuestionEndsTheProgram) {
  WIZARD_RUN run("wizard-desktop-yes");
  ASSERT_TRUE(run.load());
  database->CHECK_DESKTOP_SIZE.width = 2000;
  database->CHECK_DESKTOP_SIZE.height = 10;
  ASSERT_TRUE(run.begin(1024, 768));
  run.show_stage(STAGE_OPTIONS);
  WM_CONFIRM* question = static_cast<WM_CONFIRM*>(find_top_level(WM_KIND_CONFIRM));
  ASSERT_TRUE(question);
  let_effects_end();
  EXPECT_EQ(click_on(question->buttons[0]), WM_RESULT_LAST_PAGE_CLOSED);
}
