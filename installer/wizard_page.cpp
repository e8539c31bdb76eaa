// The wizard's page: one dialog built for the current stage with the three navigation buttons, the
// stage's title and content (progress bar, language or installation list, licence, readme or log text,
// options grid), the desktop-size check of the first options page, and the progress the install step
// reports to it.
#include "wizard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "border.h"
#include "button.h"
#include "check_box.h"
#include "confirm.h"
#include "database.h"
#include "engine.h"
#include "folder.h"
#include "files.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "package.h"
#include "page_manager.h"
#include "progress_bar.h"
#include "random.h"
#include "screen_image.h"
#include "script.h"
#include "style_measures.h"
#include "text_draw.h"
#include "text_win.h"

WM_DIALOG_EFFECTS page_effects = {0, 0, 0, 255};

WM_GRID* page_grid = nullptr;
WM_BUTTON* location_button = nullptr;
WM_BUTTON* browse_button = nullptr;
WM_SCRIPT* update_message = nullptr;
WM_SCRIPT* location_question = nullptr;

// ---------------------------------------------------------------------------------------------------
// Button rules

void disable_button(WM_BUTTON* button) {
  if (!button || !button->enabled) return;
  if (button->visible) button->show();
  button->armed = 0;
  button->enabled = 0;
}

void enable_button(WM_BUTTON* button) {
  if (!button) return;
  if (button->visible) button->show();
  button->enabled = 1;
}

void set_button_enabled(WM_BUTTON* button, bool enabled) {
  if (enabled)
    enable_button(button);
  else
    disable_button(button);
}

// Why Install stays shut over what the update found, for its hint.
static const char* shut_install_hint(EARLIER_LOG_VERDICT verdict) {
  switch (verdict) {
    case EARLIER_LOG_NOT_READ: return "The earlier installation's install log in this folder cannot be read";
    case EARLIER_LOG_DAMAGED: return "The earlier installation's install log in this folder is damaged";
    case EARLIER_LOG_OTHER_INSTALLATION: return "The installation in this folder is not the one this update is for";
    case EARLIER_LOG_OTHER_CHOICE:
      return "The installation in this folder was made with another choice of the system folders";
    case EARLIER_LOG_OTHER_VERSION:
      return "The installation in this folder is of another version than the one this update is for";
    default: return "No earlier installation to update was found in this folder";
  }
}

// The text of a script; "" when it holds none.
static const char* script_text(WM_SCRIPT* script) {
  return script->text.type == STRING_TYPE && script->text.value.text ? script->text.value.text : "";
}

// What an earlier log was found to be, as a sentence of the options page: named as automatic mode names
// it ("its install log" there is the earlier installation's: "The install log" here).
static std::string found_sentence(const EARLIER_LOG& earlier) {
  std::string found = earlier.mismatch;
  if (found.compare(0, 4, "its ") == 0) found.replace(0, 3, "the");
  if (!found.empty() && found[0] >= 'a' && found[0] <= 'z') found[0] = (char)(found[0] - 32);
  return found + ".";
}
// An update's message on the options page: the package's (in its language), then, when an earlier log
// was found that the update does not go over, what it is.
static std::string update_message_text(const EARLIER_LOG& earlier) {
  std::string text = wizard_text(&LANGUAGE::PATCH_MSG);
  if (earlier.verdict == EARLIER_LOG_MATCHES || earlier.verdict == EARLIER_LOG_NOT_FOUND) return text;
  if (!text.empty()) text += '\n';
  return text + found_sentence(earlier);
}

static void refit_option_rows(WM_GRID* grid);
static void show_failure_text(INSTALL_DIALOG* page, const char* text);

// A script of the options page gets the text, its rows fitted to it again where it changed.
static void show_option_text(WM_SCRIPT* script, const std::string& text) {
  if (!script || !page_grid || text == script_text(script)) return;
  script->set_text(text.c_str(), false);
  refit_option_rows(page_grid);
}

void show_update_check(INSTALL_DIALOG* page) {
  if (!page) return;
  if (!database->PATCH.do_check) {
    // A whole package names what is installed where its log goes, when that is another product or
    // installation: its log is kept there beside this one's.
    EARLIER_LOG earlier;
    std::string text = wizard_text(&LANGUAGE::SELECT_OPTIONS_LOCATION_QUESTION);
    if (database->earlier_log_of_another(&earlier))
      text += (text.empty() ? "" : "\n") + found_sentence(earlier) + " " + EARLIER_LOG_KEPT;
    show_option_text(location_question, text);
    return;
  }
  EARLIER_LOG earlier;
  bool found = database->update_target_found(&earlier);
  set_button_enabled(page->forward_button, found);
  const char* hint = found ? wizard_text(&LANGUAGE::INSTALL_HINT) : shut_install_hint(earlier.verdict);
  WM_BUTTON* install = page->forward_button;
  if (install && (!install->hint || std::strcmp(script_text(install->hint), hint) != 0)) install->set_hint(hint);
  show_option_text(update_message, update_message_text(earlier));
}

void give_button_icon(WM_BUTTON* button, IMAGE* icon) {
  if (!button || !icon || icon->width < 1 || icon->height < 1 || !icon->pixels) return;
  button->icon.set_size(icon->width, icon->height);
  if (button->icon.pixels) button->icon.blit(icon, 0, 0, 0, 0, icon->width, icon->height, BLIT_COPY);
  if (button->visible) button->show();
}

// A gap of the button style; -1 (65535) is the border width of the style's shading type.
static INT_S16 resolved_gap(const WM_STYLE_SET& style, INT_S16 gap) {
  return gap == -1 ? (INT_S16)border_width_of_type((INT_S32)style.shading_type) : gap;
}

void relabel_button(INSTALL_DIALOG* page, WM_BUTTON* button, const char* text, const char* hint, IMAGE* icon) {
  if (!page || !button) return;
  button->set_text(text, false);
  const WM_STYLE_SET& style = page->button_style;
  IMAGE* target = draw_target;
  INT_S8 font = (INT_U8)style.font_id == 255 && target ? target->default_font_id : (INT_S8)style.font_id;
  INT_S16 x_size = style.font_x_sz == -1 && target ? target->default_font_x_size : style.font_x_sz;
  INT_S16 y_size = style.font_y_sz == -1 && target ? target->default_font_y_size : style.font_y_sz;
  INT_S32 label_width = target ? text_width(target, font, x_size, y_size, text ? text : "", -1, false) : 0;
  INT_S32 width = resolved_gap(style, style.border_left_gap) + resolved_gap(style, style.border_right_gap) + label_width;
  button->resize((INT_S16)width, button->height, true);
  button->set_hint(hint);
  give_button_icon(button, icon);
}

// ---------------------------------------------------------------------------------------------------
// Helpers of the page

const char* wizard_text(DATABASE_TEXT LANGUAGE::*field) {
  LANGUAGE* language = database->get_current_language();
  return language ? (const char*)(language->*field) : "";
}

static IMAGE* skin_icon(int n) { return &database->skin_icons[n]; }

// A navigation button in the dialog's button style, sized by its label.
static WM_BUTTON* navigation_button(INSTALL_DIALOG* page, const char* text, const char* hint, INT_U32 event) {
  return new WM_BUTTON(0, 0, -1, -1, &page->button_style, text, hint, install_dialog_event, event, 0,
                       WIZARD_BUTTON_EVENTS);
}

// The installation has run to its completion (not stopped before its first file, nor interrupted).
static bool installation_finished() {
  const INSTALL_STATE& state = database->install_state;
  return !state.stopped && !state.interrupted && state.step_total > 0 && state.step_counter >= state.step_total + 2;
}

// The share of the installation's files in place, in percent (rounded down, so that a file missing never
// shows as all): what the bar of an installation that did not complete shows.
static INT_S32 installed_share() {
  const INSTALL_STATE& state = database->install_state;
  INT_S32 files = state.step_total - 1;
  if (state.stopped) return 0;
  if (files <= 0) return 100;
  INT_S32 installed = files - state.error_count;
  return (INT_S32)((INT_S64)(installed < 0 ? 0 : installed) * 100 / files);
}

// Rows of a grid from now on: rows to fit 0 and the row height h (0: the row height of the grid's own
// style) less the grid's y spacing, at least 1.
static void set_row_height(WM_GRID* grid, INT_S32 h) {
  grid->rows_per_page = 0;
  if (h == 0) h = style_row_height(&grid->style, nullptr);
  h -= grid->style.y_spacing;
  grid->default_row_height = (INT_S16)(h < 1 ? 1 : h);
}

// The grid divides its height into rows rows and lays out again at its own size.
static void fit_rows(WM_GRID* grid, INT_S16 rows) {
  grid->rows_per_page = rows;
  INT_S16 width = grid->width, height = grid->height;
  grid->resize((INT_S16)(width - 1), height, true);
  grid->resize(width, height, true);
}

static WM_GRID* new_page_grid(INT_S16 cw, INT_S16 top) {
  return new WM_GRID(0, 0, (INT_S16)(cw - 1), top, 1, nullptr, &database->options_style,
                     &database->options_alt_style);
}

// Quit at the client's bottom left, forward at its bottom right and previous left of forward, button_gap
// apart; when their labels need more than the row, the widest are shortened, so that none runs into
// another.
static void place_navigation_buttons(INSTALL_DIALOG* page) {
  WM_SCREEN_OBJECT* client = page->client;
  INT_S16 gap = database->DIALOG.button_gap;
  WM_BUTTON* row[3] = {page->quit_button, page->previous_button, page->forward_button};
  fit_buttons_in_row(row, 3, client->width - 2 * gap);
  INT_S16 button_y = (INT_S16)(client->y + client->height - page->quit_button->height);
  page->quit_button->move_to(client->x, button_y);
  page->forward_button->move_to((INT_S16)(client->x + client->width - page->forward_button->width), button_y);
  page->previous_button->move_to(
      (INT_S16)(page->forward_button->x - gap - page->previous_button->width), button_y);
}

// ---------------------------------------------------------------------------------------------------
// Construction

INSTALL_DIALOG::INSTALL_DIALOG(INT_S16 x_, INT_S16 y_)
    : WM_DIALOG(x_, y_, database->DIALOG.width, database->DIALOG.height, "", nullptr, nullptr, nullptr, &page_effects),
      quit_button(nullptr),
      previous_button(nullptr),
      forward_button(nullptr),
      progress_bar(nullptr),
      progress_text(nullptr) {
  update_message = nullptr;
  location_question = nullptr;
  invalidate();
  visible = 1;
  needs_draw = 1;
  draggable = database->DIALOG.can_drag;
  INT_S16 cw = (INT_S16)(width - window_style.border_left_gap - window_style.border_right_gap -
                         window_style.cell_left_gap - window_style.cell_right_gap);
  INT_S16 ch = (INT_S16)(height - client_top() - window_style.border_bottom_gap - window_style.cell_bottom_gap);

  quit_button = navigation_button(this, wizard_text(&LANGUAGE::QUIT), wizard_text(&LANGUAGE::QUIT_HINT),
                                  WIZARD_EVENT_QUIT);
  quit_button->move_to(0, (INT_S16)(ch - quit_button->height));
  give_button_icon(quit_button, skin_icon(DATABASE::quit_icon));
  add_child(quit_button, true);
  forward_button = navigation_button(this, wizard_text(&LANGUAGE::FORWARD),
                                     wizard_text(&LANGUAGE::FORWARD_HINT), WIZARD_EVENT_STAGE);
  give_button_icon(forward_button, skin_icon(DATABASE::forw_icon));
  add_child(forward_button, true);
  previous_button = navigation_button(this, wizard_text(&LANGUAGE::PREVIOUS),
                                      wizard_text(&LANGUAGE::PREVIOUS_HINT), WIZARD_EVENT_STAGE);
  give_button_icon(previous_button, skin_icon(DATABASE::prev_icon));
  add_child(previous_button, true);

  INT_S16 top = (INT_S16)(ch - forward_button->height - database->DIALOG.button_gap);
  INT_S32 stage = database->stage;
  switch (stage) {
    case STAGE_PACK_DATA:
      set_title(wizard_text(&LANGUAGE::PACK_DATA_TITLE));
      disable_button(previous_button);
      disable_button(forward_button);
      forward_button->event_user2 = (INT_U32)database->next_stage();
      build_progress(cw, top);
      break;
    case STAGE_PACK_LOG:
      set_title(wizard_text(&LANGUAGE::PACK_LOG_TITLE));
      disable_button(previous_button);
      relabel_button(this, forward_button, wizard_text(&LANGUAGE::FINISH), wizard_text(&LANGUAGE::FINISH_HINT),
                     skin_icon(DATABASE::finish_icon));
      forward_button->event_user2 = (INT_U32)database->next_stage();
      relabel_button(this, quit_button, wizard_text(&LANGUAGE::ABOUT), wizard_text(&LANGUAGE::ABOUT_HINT),
                     skin_icon(DATABASE::about_icon));
      quit_button->event_user1 = WIZARD_EVENT_ABOUT;
      {
        INT_S32 count = database->total_file_count;
        INT_S16 capacity = count >= 16383 ? (INT_S16)32766 : (INT_S16)(2 * count < 250 ? 250 : 2 * count);
        build_text_window(cw, top, capacity, nullptr);
      }
      break;
    case STAGE_LANGUAGE:
      set_title(wizard_text(&LANGUAGE::SELECT_LANGUAGE));
      disable_button(previous_button);
      disable_button(forward_button);
      build_list(cw, top, true);
      break;
    case STAGE_LICENCE:
      build_text_window(cw, top, 1, "licence-%d");
      set_title(wizard_text(&LANGUAGE::LICENCE_TITLE));
      previous_button->event_user2 = STAGE_FINISHED;
      relabel_button(this, previous_button, wizard_text(&LANGUAGE::DISAGREE),
                     wizard_text(&LANGUAGE::DISAGREE_HINT), skin_icon(DATABASE::disagree_icon));
      forward_button->event_user2 = (INT_U32)database->next_stage();
      relabel_button(this, forward_button, wizard_text(&LANGUAGE::AGREE), wizard_text(&LANGUAGE::AGREE_HINT),
                     skin_icon(DATABASE::agree_icon));
      break;
    case STAGE_INSTALL_TYPE:
      set_title(wizard_text(&LANGUAGE::INSTALL_TYPE_TITLE));
      disable_button(previous_button);
      forward_button->event_user2 = (INT_U32)database->next_stage();
      build_list(cw, top, false);
      break;
    case STAGE_OPTIONS: {
      set_title(wizard_text(&LANGUAGE::SELECT_OPTIONS_TITLE));
      INT_S32 previous = database->previous_stage();
      previous_button->event_user2 = (INT_U32)previous;
      set_button_enabled(previous_button, previous == STAGE_INSTALL_TYPE);
      forward_button->event_user2 = (INT_U32)database->next_stage();
      relabel_button(this, forward_button, wizard_text(&LANGUAGE::INSTALL),
                     wizard_text(&LANGUAGE::INSTALL_HINT), skin_icon(DATABASE::install_icon));
      // An update offers the choice of system folders that the earlier installation was made with, and
      // says what it found where it will not install.
      database->take_earlier_choice();
      build_options(cw, top);
      show_update_check(this);
      check_desktop_size();
      break;
    }
    case STAGE_INSTALLING: {
      set_title(wizard_text(&LANGUAGE::INSTALLING_TITLE));
      disable_button(previous_button);
      disable_button(forward_button);
      INT_S32 next = database->next_stage();
      if (next == STAGE_FINISHED)
        relabel_button(this, forward_button, wizard_text(&LANGUAGE::FINISH),
                       wizard_text(&LANGUAGE::FINISH_HINT), skin_icon(DATABASE::finish_icon));
      forward_button->event_user2 = (INT_U32)next;
      build_progress(cw, top);
      // A page rebuilt after the installation finished or stopped (the window was resized) offers the way
      // on again, and says what failed; one for a new try (the counter back at 0) begins afresh.
      if (installation_finished() || (database->install_state.stopped && database->install_state.step_counter != 0)) {
        show_install_complete(this);
        bool failed = wizard_installation_failed();
        progress_bar->value = failed ? installed_share() : progress_bar->maximum;
        if (failed)
          show_failure_text(this, installation_failure_text(database, true).c_str());
        else
          progress_text->set_text(wizard_text(&LANGUAGE::COMPLETE), false);
      }
      break;
    }
    case STAGE_README:
      set_title(wizard_text(&LANGUAGE::README_TITLE));
      disable_button(previous_button);
      forward_button->event_user2 = (INT_U32)database->next_stage();
      relabel_button(this, forward_button, wizard_text(&LANGUAGE::FINISH), wizard_text(&LANGUAGE::FINISH_HINT),
                     skin_icon(DATABASE::finish_icon));
      relabel_button(this, quit_button, wizard_text(&LANGUAGE::ABOUT), wizard_text(&LANGUAGE::ABOUT_HINT),
                     skin_icon(DATABASE::about_icon));
      quit_button->event_user1 = WIZARD_EVENT_ABOUT;
      {
        LANGUAGE* language = database->get_current_language();
        build_text_window(cw, top, language ? language->README.lines : (INT_S16)0, "readme-%d");
      }
      break;
    default:
      break;
  }

  // The navigation buttons are placed after the stage code, so that relabelled buttons are placed at
  // their new widths.
  place_navigation_buttons(this);
}

INSTALL_DIALOG::~INSTALL_DIALOG() {}

void INSTALL_DIALOG::build_progress(INT_S16 cw, INT_S16 top) {
  WM_STYLE_SET& style = database->progress_bar_style;
  IMAGE* target = draw_target;
  INT_S32 gaps = (style.border_top_gap == -1 ? border_width_of_type((INT_S32)style.shading_type) : style.border_top_gap) +
                 (style.border_bottom_gap == -1 ? border_width_of_type((INT_S32)style.shading_type)
                                                : style.border_bottom_gap);
  INT_S32 font_height = style.font_y_sz == -1 ? (target ? target->default_font_y_size : 0) : style.font_y_sz;
  INT_S16 bar_height = (INT_S16)(gaps + font_height + style.y_spacing);
  progress_bar = new WM_PROGRESS_BAR(0, (INT_S16)(top / 2), cw, bar_height, "", 100, &style);
  progress_bar->x_rate = (INT_S16)database->progress_bar_animation_x_rate;
  progress_bar->y_rate = (INT_S16)database->progress_bar_animation_y_rate;
  progress_bar->update_rate = (INT_S16)database->progress_bar_animation_update_rate;
  add_child(progress_bar, true);

  progress_text = new WM_SCRIPT(0, 0, (INT_S16)(cw - 1), -1, &database->progress_bar_script_style, "");
  progress_text->move_to(0, (INT_S16)(top / 2 - progress_text->height));
  add_child(progress_text, true);
}

// A text window over the content, opening at its first line: the error log of the package (no entry
// format), or the package entry of the current language named by entry_format, taken out into "$TEMP"
// for reading. It holds every line of the text as wrapped at its width, and at least capacity lines; of
// a text longer than a window can hold, the beginning.
void INSTALL_DIALOG::build_text_window(INT_S16 cw, INT_S16 top, INT_S16 capacity, const char* entry_format) {
  WM_TEXT_WIN* window = new WM_TEXT_WIN(0, 0, (INT_S16)(cw - 1), top, &database->text_style, &database->scrollbar_style,
                                        TEXT_WIN_MOST_LINES, false, nullptr, 0, 0);
  window->show_from_start = 1;
  window->keeps_beginning = 1;
  add_child(window, true);
  COLOUR colour = database->text_style.fg_colour;
  if (!entry_format) {
    std::string name = std::string(PACKAGE_FILE_NAME) + ".errlog";
    window->load_text_file(&database->data_folder, name.c_str(), &colour);
  } else {
    char name[64];
    std::snprintf(name, sizeof name, entry_format, (int)database->current_language);
    FOLDER temporary;
    if (temporary.set("$TEMP")) {
      if (database->package && database->package->extract_entry(&temporary, name, name))
        window->load_text_file(&temporary, name, &colour);
      delete_file(&temporary, name);
    }
  }
  // The slider measures the text against the capacity: as many lines as the text takes.
  window->set_capacity(std::max(capacity, window->screen_count));
}

// The language buttons or the installations' check boxes, one per row, in a grid as large as they need
// in the middle of the content. An installation's name too long for the content's width wraps onto the
// lines it needs, its box beside the first line; rows that the content cannot hold scroll, and the names
// then wrap beside the scroll bar.
void INSTALL_DIALOG::build_list(INT_S16 cw, INT_S16 top, bool languages) {
  WM_STYLE_SET& style = database->options_style;
  page_grid = new_page_grid(cw, top);
  WM_GRID* grid = page_grid;
  INT_S16 count = languages ? database->language_count : database->installation_count;
  fit_rows(grid, count);
  INT_S32 next = database->next_stage();
  LANGUAGE* current = database->get_current_language();
  std::vector<WM_SCREEN_OBJECT*> entries;
  for (INT_S16 i = 0; i < count; i++) {
    if (languages) {
      WM_BUTTON* button = new WM_BUTTON(0, 0, -1, -1, &button_style, database->languages[i].LANGUAGE_TITLE, nullptr,
                                        install_dialog_event, WIZARD_EVENT_LANGUAGE, (INT_U32)next, BUTTON_EVENT_CLICK);
      button->click_user1 = (INT_U32)i;
      entries.push_back(button);
    } else {
      const char* name =
          current && i < current->installation_string_count ? current->installation_strings[i] : "";
      WM_CHECK_BOX* box = new WM_CHECK_BOX(0, 0, &database->check_box_style, name, install_dialog_event,
                                           WIZARD_EVENT_INSTALLATION, (INT_U32)i);
      box->set_state(i == database->current_installation ? 1 : 0);
      entries.push_back(box);
    }
  }
  INT_S32 widest = 0, total = 0;
  auto measure = [&]() {
    widest = total = 0;
    for (WM_SCREEN_OBJECT* entry : entries) {
      if (entry->width > widest) widest = entry->width;
      total += entry->height + style.y_spacing;
    }
  };
  measure();
  const INT_S32 vertical = style_vertical_gaps(&style), content_height = top + 1;
  auto horizontal = [&]() {
    return grid->style.border_left_gap + grid->style.border_right_gap + style_horizontal_cell_gaps(&style);
  };
  grid->keep_clear_of_rounded_corners(cw, (INT_S16)std::min(vertical + total, content_height));
  INT_S32 grid_width = horizontal() + widest;
  if (!languages && grid_width > cw) {
    // The grid takes the content's width (its corners as round as they can be there), and a name wraps
    // in the width of its cell; beside the scroll bar when the rows then outgrow the content.
    grid->keep_clear_of_rounded_corners(cw, (INT_S16)content_height);
    INT_S32 room = cw - horizontal() - grid->style.x_spacing / 2;
    for (int pass = 0; pass < 2; pass++) {
      for (WM_SCREEN_OBJECT* entry : entries) static_cast<WM_CHECK_BOX*>(entry)->wrap_to_width((INT_S16)room);
      measure();
      if (vertical + total <= content_height) break;
      room -= grid->style.grid_scrollbar_width + 1;
    }
    grid_width = cw;
  }
  for (INT_S16 i = 0; i < count; i++) {
    set_row_height(grid, entries[i]->height + style.y_spacing);
    grid->set_cell(0, i, entries[i]);
  }
  INT_S16 grid_height = (INT_S16)std::min(vertical + total, content_height);
  grid->resize((INT_S16)grid_width, grid_height, true);
  grid->move_to((INT_S16)((cw - grid_width) / 2), (INT_S16)((top - grid_height + 1) / 2));
  add_child(grid, true);
}

// The weights of the options grid's location row: the destination between two empty columns, then "...".
static const INT_S16 location_weights[4] = {2, 11, 1, 2};

// The room on the screen of the object of cell c in its row: from its cell's left edge to the right edge
// of the empty cells after it, less the scroll bar's column when the rows overflow the grid. An object
// that needs more takes the empty cells before it too: their weights join its cell's and the row is laid
// out again.
static void room_in_row(WM_GRID* grid, WM_GRID_ROW* cells, INT_S16 c, INT_S32 need, INT_S16* x1, INT_S16* x2) {
  bool narrow = grid->overflows();
  INT_S16 first = c, last = c, unused1, unused2, unused3;
  while (first > 0 && !cells->cells[first - 1]) first--;
  while (last + 1 < cells->cell_count && !cells->cells[last + 1]) last++;
  WM_GRID_ROW::cell_rectangle(cells, c, narrow, x1, &unused1, &unused2, &unused3);
  WM_GRID_ROW::cell_rectangle(cells, last, narrow, &unused1, &unused2, x2, &unused3);
  if (need > *x2 - *x1 + 1 && first < c && cells->weights) {
    std::vector<INT_S16> weights(cells->weights, cells->weights + cells->cell_count);
    for (INT_S16 e = first; e < c; e++) weights[c] = (INT_S16)(weights[c] + weights[e]), weights[e] = 0;
    WM_GRID_ROW::init(cells, grid->width, cells->cell_count, weights.data(), &grid->style);
    WM_GRID_ROW::cell_rectangle(cells, c, narrow, x1, &unused1, &unused2, &unused3);
  }
  *x1 = (INT_S16)(*x1 + grid->x);
  *x2 = (INT_S16)(*x2 + grid->x);
}

void show_location(const char* text, INT_S32 path_start) {
  WM_BUTTON* button = location_button;
  if (!button) return;
  button->set_text(text, false);
  button->path_text = path_start >= 0 ? 1 : 0;
  button->path_start = (INT_U16)(path_start > 0 ? path_start : 0);
  INT_S16 row, column;
  if (!page_grid || !page_grid->find_object(button, &row, &column, true)) return;
  WM_GRID_ROW* cells = page_grid->rows[row];
  if (cells->cell_count != 4) return;
  WM_GRID_ROW::init(cells, page_grid->width, 4, location_weights, &page_grid->style);
  INT_S32 need = text_width(draw_target, button->font_id, button->font_x_size, button->font_y_size,
                            button->label ? button->label : "", -1, false) +
                 button->left_gap + button->right_gap;
  INT_S16 x1, x2;
  room_in_row(page_grid, cells, column, need, &x1, &x2);
  button->resize((INT_S16)(x2 - x1 + 1), button->height, true);
  button->move_to(x1, button->y);
}

void show_destination(bool system_paths) {
  std::string location = location_path_text(database->install_path, database->APPLICATION.app_string);
  std::string folder;
  if (!system_paths || !system_destination_folder(database, &folder)) {
    show_location(location.c_str(), 0);
    return;
  }
  const char* said = wizard_text(&LANGUAGE::SELECT_OPTIONS_SYSPATHS_SELECTED);
  if (folder.empty() || !said[0]) {
    show_location(folder.empty() ? said : folder.c_str(), folder.empty() ? -1 : 0);
    return;
  }
  show_location((std::string(said) + " " + folder).c_str(), (INT_S32)std::strlen(said) + 1);
}

INT_S32 option_spacer_height(INT_S32 row) { return row / 3; }

INT_S32 option_tall_height(INT_S32 row) { return row + (3 * (row - option_spacer_height(row))) / 5; }

INT_S16 option_row_gap(INT_S32 height, bool patch) {
  for (INT_S32 gap = 1; gap < height / 8; gap++) {
    INT_S32 row = (height + gap) / 8 - gap;
    INT_S32 total = row + gap + (patch ? 4 : 3) * option_spacer_height(row) + (patch ? 6 : 5) * option_tall_height(row);
    if (total <= height) return (INT_S16)gap;
  }
  return 1;
}

// The height a script needs to show its text whole at its cell's width: one line, or the lines the text
// wraps onto, within its gaps.
static INT_S32 script_height_for(WM_SCRIPT* script, INT_S32 cell_width) {
  INT_S8 font;
  INT_S16 size_x, line;
  choose_widget_font(script->font_id, script->font_x_size, script->font_y_size, &font, &size_x, &line);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, cell_width - script->left_gap - script->right_gap, TEXT_MAX_LINES,
                                     font, size_x, line, script_text(script), lines);
  return (count > 1 ? count : 1) * line + script->top_gap + script->bottom_gap;
}

// The options' rows fitted to their texts. A check box takes its room (the empty cells before it too, when
// it needs them) and wraps a label wider than that; a text that needs more than one line wraps; the
// folder's buttons need the line of their label. A row then grows to what it holds, taking the height
// from the room below the rows, then evenly from the rows of texts and check boxes that are taller than
// these need (spacers and the folder's row keep theirs),
// then from the spacing between the rows, down to a quarter of a line. Past that the grid scrolls, and
// the rows are fitted again to the room beside its scroll bar.
static void fit_option_rows(WM_GRID* grid) {
  const WM_STYLE_SET& style = grid->style;
  const INT_S32 cell_gaps = style.cell_top_gap + style.cell_bottom_gap;
  for (int pass = 0; pass < 2; pass++) {
    bool narrow = grid->overflows();
    std::vector<INT_S32> height(grid->row_count), need(grid->row_count);
    std::vector<bool> fixed(grid->row_count, false);
    INT_S32 growth = 0;
    for (INT_S16 r = 0; r < grid->row_count; r++) {
      WM_GRID_ROW* cells = grid->rows[r];
      bool texts = false;
      height[r] = cells->height;
      need[r] = 0;
      for (INT_S16 c = 0; c < cells->cell_count; c++) {
        WM_SCREEN_OBJECT* object = cells->cells[c];
        INT_S32 wanted;
        if (!object) continue;
        if (object->kind & WM_KIND_CHECK_BOX) {
          INT_S16 x1, x2;
          room_in_row(grid, cells, c, object->width, &x1, &x2);
          object->move_to(x1, object->y);
          static_cast<WM_CHECK_BOX*>(object)->wrap_to_width((INT_S16)(x2 - x1 + 1));
          wanted = object->height;
        } else if ((object->kind & WM_KIND_SCRIPT) && script_text(static_cast<WM_SCRIPT*>(object))[0]) {
          // At the width the text is drawn: beside the scroll bar once the rows overflow (the bar itself
          // comes with the first drawing).
          INT_S16 x1, y1, x2, y2;
          WM_GRID_ROW::cell_rectangle(cells, c, narrow, &x1, &y1, &x2, &y2);
          wanted = script_height_for(static_cast<WM_SCRIPT*>(object), x2 - x1 + 1);
        } else if (object->kind & WM_KIND_BUTTON) {
          // The folder's buttons give no height, but take the line of their label.
          WM_BUTTON* button = static_cast<WM_BUTTON*>(object);
          INT_S8 font;
          INT_S16 size_x, line;
          choose_widget_font(button->font_id, button->font_x_size, button->font_y_size, &font, &size_x, &line);
          fixed[r] = true;
          wanted = line + button->top_gap + button->bottom_gap;
        } else {
          fixed[r] = true;  // a spacer
          continue;
        }
        texts = true;
        if (wanted + cell_gaps > need[r]) need[r] = wanted + cell_gaps;
      }
      if (!texts) fixed[r] = true;
      if (need[r] > height[r]) growth += need[r] - height[r];
    }
    if (growth == 0) break;
    INT_S32 room = grid->inner_height() - grid->content_height();
    INT_S32 left = growth - (room > 0 ? (room < growth ? room : growth) : 0);
    while (left > 0) {
      INT_S32 givers = 0;
      for (INT_S16 r = 0; r < grid->row_count; r++)
        if (!fixed[r] && height[r] > need[r]) givers++;
      if (givers == 0) break;
      INT_S32 share = left / givers > 0 ? left / givers : 1;
      for (INT_S16 r = 0; r < grid->row_count && left > 0; r++) {
        if (fixed[r] || height[r] <= need[r]) continue;
        INT_S32 given = height[r] - need[r];
        if (given > share) given = share;
        if (given > left) given = left;
        height[r] -= given;
        left -= given;
      }
    }
    INT_S32 spaces = grid->row_count - 1, spacing = style.y_spacing;
    INT_S32 least = (draw_target ? draw_target->default_font_y_size : 22) / 4;
    if (left > 0 && spaces > 0 && spacing > least) {
      INT_S32 cut = (left + spaces - 1) / spaces;
      if (cut > spacing - least) cut = spacing - least;
      grid->set_row_spacing((INT_S16)(spacing - cut));
      left -= cut * spaces;
    }
    for (INT_S16 r = 0; r < grid->row_count; r++) {
      INT_S32 h = need[r] > height[r] ? need[r] : height[r];
      if (h != grid->rows[r]->height) grid->resize_row(r, (INT_S16)h);
    }
    // Every object to its row as the rows now lie: a text fills its cell, the others keep their width.
    for (INT_S16 r = 0; r < grid->row_count; r++) {
      WM_GRID_ROW* cells = grid->rows[r];
      for (INT_S16 c = 0; c < cells->cell_count; c++) {
        WM_SCREEN_OBJECT* object = cells->cells[c];
        if (!object) continue;
        INT_S16 x1, y1, x2, y2;
        grid->cell_rectangle(c, r, &x1, &y1, &x2, &y2);
        if (object->kind & WM_KIND_SCRIPT) {
          object->resize((INT_S16)(x2 - x1 + 1), (INT_S16)(y2 - y1 + 1), true);
          object->move_to(x1, y1);
        } else {
          if (!(object->kind & WM_KIND_CHECK_BOX)) object->resize(object->width, (INT_S16)(y2 - y1 + 1), true);
          object->move_to(object->x, y1);
        }
      }
    }
    if (narrow || !grid->overflows()) break;
  }
}

// The options' rows as they were made, before they were fitted to their texts: an update's message that
// changes is fitted again from them.
static std::vector<INT_S16> made_option_rows;
static INT_S16 made_option_spacing = 0;

static void refit_option_rows(WM_GRID* grid) {
  if (made_option_rows.size() != (size_t)grid->row_count) return;
  grid->set_row_spacing(made_option_spacing);
  for (INT_S16 r = 0; r < grid->row_count; r++) grid->resize_row(r, made_option_rows[r]);
  fit_option_rows(grid);
}

// The options: the destination question and folder, the use of system paths, a patch's message and the
// shortcut choices, in rows of a grid over the content.
void INSTALL_DIALOG::build_options(INT_S16 cw, INT_S16 top) {
  page_grid = new_page_grid(cw, top);
  WM_GRID* grid = page_grid;
  fit_rows(grid, 8);
  add_child(grid, true);
  INT_S32 r = grid->default_row_height;
  INT_S32 small = option_spacer_height(r);
  INT_S32 big = option_tall_height(r);
  INSTALLATION* installation = database->get_current_installation();
  const SYSTEM_INFORMATION& system = database->system_capabilities();
  INT_U32 page = object_handle(this);
  INT_S16 row = 0;
  // A short empty row between two groups; the rows after it are tall again.
  auto spacer = [&]() {
    set_row_height(grid, small);
    grid->add_script(0, row++, "", &database->text_title_style);
    set_row_height(grid, big);
  };

  // What a whole package finds installed where its log goes joins the question as show_update_check
  // looks.
  location_question =
      grid->add_script(0, row++, wizard_text(&LANGUAGE::SELECT_OPTIONS_LOCATION_QUESTION), &database->text_title_style);
  grid->set_columns(4, location_weights);
  spacer();

  bool system_paths = system.has_system_paths && installation && installation->allow_system_paths;
  if (system_paths) {
    WM_CHECK_BOX* box = new WM_CHECK_BOX(0, 0, &database->check_box_style,
                                         wizard_text(&LANGUAGE::SELECT_OPTIONS_USE_SYSTEM_PATHS),
                                         install_dialog_event, WIZARD_EVENT_SYSTEM_PATHS, page);
    box->set_state(database->use_system_paths ? 1 : 0);
    grid->set_cell(1, row++, box);
  }
  location_button = grid->add_button(1, row, "", &database->text_style, install_dialog_event, WIZARD_EVENT_FOLDER,
                                     page, WIZARD_BUTTON_EVENTS);
  browse_button = grid->add_button(2, row++, "...", &button_style, install_dialog_event, WIZARD_EVENT_FOLDER, page,
                                   WIZARD_BUTTON_EVENTS);
  if (system_paths) {
    set_button_enabled(location_button, !database->use_system_paths);
    set_button_enabled(browse_button, !database->use_system_paths);
  }
  show_destination(system_paths && database->use_system_paths);
  spacer();

  if (database->PATCH.do_check) {
    grid->set_columns(1, nullptr);
    // What the update finds in the folder joins the package's message as show_update_check looks.
    update_message = grid->add_script(0, row++, wizard_text(&LANGUAGE::PATCH_MSG), &database->text_title_style);
    spacer();
  }

  bool desktop = installation && system.has_desktop_shortcuts && installation->has_desktop_items;
  bool menu = installation && system.has_menu_shortcuts && installation->has_menu_items;
  if (desktop || menu) {
    grid->set_columns(1, nullptr);
    grid->add_script(0, row++, wizard_text(&LANGUAGE::SELECT_OPTIONS_SHORTCUT_QUESTION), &database->text_title_style);
    static const INT_S16 shortcut_weights[3] = {2, 11, 1};
    grid->set_columns(3, shortcut_weights);
    spacer();
    // A shortcut choice in column 1 of the next row.
    auto add_choice = [&](const char* text, INT_U32 event, INT_U8 chosen) {
      WM_CHECK_BOX* box = new WM_CHECK_BOX(0, 0, &database->check_box_style, text, install_dialog_event, event, 0);
      box->set_state(chosen ? 1 : 0);
      grid->set_cell(1, row++, box);
    };
    if (desktop)
      add_choice(wizard_text(&LANGUAGE::SELECT_OPTIONS_DESKTOP_SHORTCUT), WIZARD_EVENT_DESKTOP, database->desktop_shortcut);
    if (menu) add_choice(wizard_text(&LANGUAGE::SELECT_OPTIONS_MENU_SHORTCUT), WIZARD_EVENT_MENU, database->menu_shortcut);
  }

  made_option_rows.clear();
  for (INT_S16 r = 0; r < grid->row_count; r++) made_option_rows.push_back(grid->rows[r]->height);
  made_option_spacing = grid->style.y_spacing;
  fit_option_rows(grid);
}

// Once per run, on the first options page: a desktop smaller than the database asks for is written
// into the install log and asked about.
void INSTALL_DIALOG::check_desktop_size() {
  if (database->desktop_size_checked) return;
  database->desktop_size_checked = 1;
  INT_S16 required_width = database->CHECK_DESKTOP_SIZE.width, required_height = database->CHECK_DESKTOP_SIZE.height;
  if (required_width == -1 || required_height == -1) return;
  INT_S16 desktop_width = get_desktop_width(), desktop_height = get_desktop_height();
  if (desktop_width >= required_width && desktop_height >= required_height) return;
  std::snprintf(database->desktop_size_warning, sizeof database->desktop_size_warning,
                "ERROR: screen %dx%d does not meet minimum requirement of %dx%d\n", (int)desktop_width,
                (int)desktop_height, (int)required_width, (int)required_height);
  open_wizard_question(wizard_text(&LANGUAGE::CHECK_DESKTOP_FAILED_TITLE),
                       wizard_text(&LANGUAGE::CHECK_DESKTOP_FAILED), install_dialog_event,
                       WIZARD_EVENT_DESKTOP_SIZE);
}

// ---------------------------------------------------------------------------------------------------
// Progress

// When the page's progress was last drawn and presented.
static INT_U32 progress_shown_at = 0;

// Draws the bar and the text above it at once and presents what they cover, nothing more.
static void present_progress(INSTALL_DIALOG* page) {
  page->progress_waiting = 0;
  progress_shown_at = get_tick_count();
  WM_SCREEN_OBJECT::draw_now(page->progress_bar);
  if (page->progress_text && page->progress_text->visible) WM_SCREEN_OBJECT::draw_now(page->progress_text);
  if (page->failure_window) WM_SCREEN_OBJECT::draw_now(page->failure_window);
  present_frame((INT_S16)screen_number(page->progress_bar->x, page->progress_bar->y));
}

// What failed, whole, in place of the progress line: a text window in its look, its bottom on the bar,
// as tall as its lines need up to the client's top. Where the room above the bar is too small for them,
// the bar moves down as far as the content reaches; a text longer than the content then scrolls.
static void show_failure_text(INSTALL_DIALOG* page, const char* text) {
  WM_PROGRESS_BAR* bar = page->progress_bar;
  WM_SCREEN_OBJECT* client = page->client;
  if (!bar || !client) return;
  if (page->progress_text) page->progress_text->hide(false, false);
  if (page->failure_window) page->remove_child(page->failure_window, true, false);
  // The most room: from the client's top to the bar at the content's bottom.
  INT_S32 content_height = client->height - page->forward_button->height - database->DIALOG.button_gap + 1;
  INT_S32 most = std::max(content_height - bar->height, (INT_S32)(bar->y - client->y));
  WM_STYLE_SET& style = database->progress_bar_script_style;
  WM_TEXT_WIN* window = new WM_TEXT_WIN(0, 0, (INT_S16)(client->width - 1), (INT_S16)(most - 1), &style,
                                        &database->scrollbar_style, TEXT_WIN_MOST_LINES, false, nullptr, 0, 0);
  window->show_from_start = 1;
  window->keeps_beginning = 1;
  window->add_text(text, nullptr, &style.fg_colour, false, true);
  INT_S32 needed = window->scrollbar ? most : std::min((INT_S32)window->height_for_lines(), most);
  if (needed > bar->y - client->y) bar->move_to(bar->x, (INT_S16)(client->y + needed));
  page->add_child(window, true);
  window->resize(window->width, (INT_S16)needed, true);
  window->move_to(window->x, (INT_S16)(bar->y - needed));
  window->set_capacity(window->screen_count);
  page->failure_window = window;
}

bool INSTALL_DIALOG::show_waiting_progress(INSTALL_DIALOG* page, bool now) {
  if (!page || !page->progress_waiting || !page->progress_bar) return true;
  INT_U32 due = progress_shown_at + PROGRESS_REFRESH_MS;
  if (now || (INT_S32)(get_tick_count() - due) >= 0) {
    present_progress(page);
    return true;
  }
  request_pass_by(due);
  return false;
}

void INSTALL_DIALOG::show_progress(INSTALL_DIALOG* page, INT_S32 value, const char* text) {
  if (!page || !page->progress_bar) return;
  WM_PROGRESS_BAR* bar = page->progress_bar;
  std::string shown = text ? text : "";
  bool path = !shown.empty() && shown[0] == '/';
  bool file = path;
  if (path) {
    if (!database->show_filenames && !database->show_filepaths) {
      if (value == bar->value) return;
      shown = wizard_text(&LANGUAGE::INITIALIZING_STRING);
    } else if (!database->show_filenames) {
      shown = shown.substr(0, shown.find_last_of('/') + 1);
    }
    // A path is shown as the host writes paths.
    if (database->show_filenames || database->show_filepaths)
      std::replace(shown.begin(), shown.end(), '/', (char)PATH_SEPARATOR);
    if (!database->show_filenames && database->show_filepaths) {
      WM_SCRIPT* script = page->progress_text;
      const char* showing = script && script->text.type == STRING_TYPE ? script->text.value.text : nullptr;
      if (value == bar->value && showing && shown == showing) return;
    }
    path = database->show_filenames || database->show_filepaths;
  }
  if (page->shows_failure) value = installed_share();
  if (value >= 0 && value <= bar->maximum) bar->value = value;
  // The text is taken without marking the line for the next pass's redraw: it is drawn here, with the bar.
  if (page->shows_failure) {
    show_failure_text(page, shown.c_str());
  } else if (page->progress_text) {
    page->progress_text->path_text = path ? 1 : 0;
    page->progress_text->text.parse(&page->progress_text->text.value, shown.c_str());
  }
  page->progress_waiting = 1;
  // Files coming faster than the screen refreshes show their progress once per refresh: the last one
  // always, at the latest when the refresh has passed or the files stop coming (wizard_frame, and a
  // file still being copied). Any other report shows at once.
  if (!show_waiting_progress(page, !file)) return;
  bar->tick();
  pump_messages();
}

// The progress text takes the lines that the text needs at its width, up to the room above the bar,
// its bottom staying on the bar: a long text shows whole rather than cut to one line.
static void give_progress_text_lines(INSTALL_DIALOG* page, const char* shown) {
  WM_SCRIPT* script = page->progress_text;
  if (!script || !page->progress_bar || !draw_target) return;
  INT_S8 font;
  INT_S16 x_size, line;
  choose_widget_font(script->font_id, script->font_x_size, script->font_y_size, &font, &x_size, &line);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, script->width - script->left_gap - script->right_gap, TEXT_MAX_LINES,
                                     font, x_size, line, shown, lines);
  INT_S32 wanted = script->top_gap + script->bottom_gap + count * line;
  INT_S32 room = page->progress_bar->y - page->client->y;
  if (wanted > room) wanted = room;
  if (count < 2 || wanted <= script->height) return;
  INT_S16 bottom = (INT_S16)(script->y + script->height);
  script->draw_flags |= SCRIPT_WRAP_TEXT;
  script->resize(script->width, (INT_S16)wanted, true);
  script->move_to(script->x, (INT_S16)(bottom - script->height));
}

void INSTALL_DIALOG::show_install_complete(INSTALL_DIALOG* page) {
  if (!page) return;
  INT_S32 stage = database->stage;
  if (stage != STAGE_PACK_DATA && stage != STAGE_INSTALLING) return;
  if (stage == STAGE_PACK_DATA) {
    disable_button(page->quit_button);
  } else if (wizard_installation_failed()) {
    // Nothing more follows a failed installation: Finish ends the program, Back leads to the options, and
    // there is nothing left to cancel. The title says what happened, in the package's words for it, and
    // the bar how much was installed.
    page->shows_failure = 1;
    page->set_title(wizard_text(&LANGUAGE::COPY_ERROR_TITLE));
    if (page->progress_bar) {
      page->progress_bar->value = installed_share();
      if (page->progress_bar->visible) page->progress_bar->show();
    }
    disable_button(page->quit_button);
    relabel_button(page, page->forward_button, wizard_text(&LANGUAGE::FINISH), wizard_text(&LANGUAGE::FINISH_HINT),
                   skin_icon(DATABASE::finish_icon));
    page->forward_button->event_user2 = STAGE_FINISHED;
    page->previous_button->event_user2 = (INT_U32)database->previous_stage();
    enable_button(page->previous_button);
    place_navigation_buttons(page);
  } else if (database->next_stage() == STAGE_FINISHED) {
    relabel_button(page, page->quit_button, wizard_text(&LANGUAGE::ABOUT),
                   wizard_text(&LANGUAGE::ABOUT_HINT), skin_icon(DATABASE::about_icon));
    page->quit_button->event_user1 = WIZARD_EVENT_ABOUT;
    place_navigation_buttons(page);
    give_progress_text_lines(page, wizard_text(&LANGUAGE::COMPLETE));
  } else {
    disable_button(page->quit_button);
    give_progress_text_lines(page, wizard_text(&LANGUAGE::COMPLETE));
  }
  enable_button(page->forward_button);
}
