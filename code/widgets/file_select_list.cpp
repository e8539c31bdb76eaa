// File selector list: rebuilding the location menu and the rows for a folder (its parent row, folders,
// then files through the extension filter) or for the drives, the OK button's state, the new-folder
// dialog, and the events of every button, row (a double click opens one level), location entry and of
// that dialog.
#include "file_select.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "button.h"
#include "click_sound.h"
#include "confirm.h"
#include "file_utils.h"
#include "files.h"
#include "floating_menu.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "image_object.h"
#include "menu.h"
#include "page_manager.h"
#include "script.h"
#include "text_edit.h"
#include "text_edit_dialog.h"
#include "velk_string.h"

// The value an object of the list or a location entry carries (levels up, a drive, a row index).
static INT_S32 value_of(WM_SCREEN_OBJECT* object) { return (INT_S32)object->click_user1; }

// A text cell of the list: the text alone, left-justified, in the text colour of the list's style, on
// whose background it stands.
static WM_BUTTON* add_text_cell(WM_FILE_SELECT* selector, INT_S16 column, INT_S32 row, const char* text,
                                INT_U32 event) {
  COLOUR fg = selector->list->style.fg_colour;
  WM_BUTTON* cell = selector->list->add_text_button(column, (INT_S16)row, text, &fg, &COLOUR_INVISIBLE,
                                                    bf_left_justify_text, WM_FILE_SELECT::list_event, event,
                                                    object_handle(selector), BUTTON_EVENT_CLICK);
  if (cell) cell->click_user1 = (INT_U32)row;
  // A name too long for its column loses characters of its middle: names that share a long beginning
  // stay apart.
  if (cell && column == 1) cell->name_text = 1;
  return cell;
}

// An icon cell: an image object of size 0 showing a copy of the icon, keeping its aspect.
static void add_icon_cell(WM_FILE_SELECT* selector, INT_S32 row, IMAGE* icon, INT_U32 event) {
  WM_IMAGE* image = new WM_IMAGE(0, 0, 0, 0, 1, WM_FILE_SELECT::list_event, event, object_handle(selector),
                                 BUTTON_EVENT_CLICK);
  if (icon && icon->pixels && icon->width > 0) {
    image->image.set_size(icon->width, icon->height);
    image->image.blit(icon, 0, 0, 0, 0, icon->width, icon->height, BLIT_COPY);
  }
  image->image.keep_aspect = 1;
  image->click_user1 = (INT_U32)row;
  selector->list->set_cell(0, (INT_S16)row, image);
}

// Empties the location menu's pop-up.
static void empty_location_menu(WM_FILE_SELECT* selector) {
  WM_FLOATING_MENU* popup = selector->location_menu->popup;
  if (!popup) return;
  popup->clear_entries();
}

static void add_location_entry(WM_FILE_SELECT* selector, const char* text, INT_S32 value) {
  WM_FLOATING_MENU* popup = selector->location_menu->popup;
  if (!popup) return;
  WM_BUTTON* entry = popup->add_entry(text, WM_FILE_SELECT::list_event, FILE_SELECT_LOCATION,
                                      object_handle(selector), false);
  if (!entry) return;
  entry->click_user1 = (INT_U32)value;
  entry->name_text = 1;
}

void WM_FILE_SELECT::update_ok_button() {
  bool named = name_field && name_field->text.length() > 0;
  bool file_mode = mode == FILE_SELECT_FILE || mode == FILE_SELECT_NEW_FILE;
  enable_button(ok_button, !at_my_computer && (mode == FILE_SELECT_FOLDER || (file_mode && named)));
}

void WM_FILE_SELECT::add_entry_row(const SCAN_ENTRY* entry) {
  // Grid rows are numbered in 16 bits: past the last one nothing more is listed.
  if (row_count >= FILE_SELECT_MAX_ROWS) return;
  const char* name = entry->name ? entry->name : "";
  const char* extension = default_extension.text ? default_extension.text : "";
  if (!entry->is_folder && *extension) {
    size_t n = std::strlen(name), m = std::strlen(extension);
    if (n < m || std::memcmp(name + n - m, extension, m) != 0) return;
  }
  INT_U32 event = entry->is_folder ? FILE_SELECT_FOLDER_ROW : FILE_SELECT_FILE_ROW;
  INT_S32 row = row_count;
  add_icon_cell(this, row, entry->is_folder ? file_select_folder_icon() : file_select_file_icon(), event);
  add_text_cell(this, 1, row, name, event);
  add_text_cell(this, 2, row, format_byte_count(entry), event);
  add_text_cell(this, 3, row, format_file_time(entry), event);
  if (!entry->is_folder && name_field->text.text && std::strcmp(name, name_field->text.text) == 0) {
    highlighted_row = row;
    if (row < list->row_count) list->rows[row]->highlighted = 1;
  }
  row_count++;
}

// Appends count bytes to a growing malloc block; false, the block unchanged, when memory is short.
static bool append_bytes(char** block, size_t* used, size_t* capacity, const void* bytes, size_t count) {
  if (*used + count > *capacity) {
    size_t wanted = *capacity < 4096 ? 4096 : *capacity * 2;
    while (wanted < *used + count) wanted *= 2;
    char* grown = static_cast<char*>(std::realloc(*block, wanted));
    if (!grown) return false;
    *block = grown;
    *capacity = wanted;
  }
  std::memcpy(*block + *used, bytes, count);
  *used += count;
  return true;
}

// One scan of the folder, the folders or the files of it, each as its FILE_INFO and its name with the
// terminator, back to back in a malloc block (*block, *used bytes). The folder is read whole before any
// row is built, so that the scan's status calls run one after the other instead of between the rows'
// allocations: a long folder lists markedly quicker. False when the scan cannot be opened; an entry that
// finds no memory ends the reading.
static bool read_folder(FOLDER* folder, INT_U8 show_hidden, bool folders, char** block, size_t* used) {
  DIRECTORY_SCAN* scan = open_directory_scan(folder, nullptr, show_hidden, SCAN_ENDS_WITH, 0);
  if (!scan) return false;
  size_t capacity = 0;
  *block = nullptr;
  *used = 0;
  SCAN_ENTRY entry;
  while (read_directory_scan(scan, &entry)) {
    // A linked folder (a mount point under Wine among them) is listed as the folder it leads to.
    if (entry.is_linked_folder) entry.is_folder = 1;
    if ((entry.is_folder != 0) != folders) continue;
    const char* name = entry.name ? entry.name : "";
    size_t start = *used;
    const FILE_INFO& info = entry;
    if (!append_bytes(block, used, &capacity, &info, sizeof info) ||
        !append_bytes(block, used, &capacity, name, std::strlen(name) + 1)) {
      *used = start;
      break;
    }
  }
  close_directory_scan(scan);
  return true;
}

// The order of the list: by name without regard to capitals, names equal so taken bytewise, as a
// Windows file system's scan gives them; the scans of Linux file systems (and of Wine on them) give an
// order of their own, by hash, which a person cannot follow.
static bool listed_before(const char* a, const char* b) {
  INT_S32 order = string_compare_no_case(a, b, 0x7FFF);
  return order != 0 ? order < 0 : std::strcmp(a, b) < 0;
}

void WM_FILE_SELECT::rebuild() {
  refresh = 0;
  empty_location_menu(this);
  // A row opened from the keyboard leaves the focus in the list, on its first row.
  bool list_focused = list->find_focused_cell(nullptr, nullptr, true);
  list->clear(true);
  highlighted_row = -1;
  row_count = 0;
  if (!at_my_computer) {
    enable_button(new_folder_button, mode != FILE_SELECT_FILE);
    // The location menu: this folder, each parent up to the root, then the drives.
    const char* shown = folder.get_name();
    location_menu->set_text(*shown ? shown : folder.path, false);
    FOLDER level = folder;
    for (INT_S32 up = 0;; up++) {
      const char* name = level.get_name();
      add_location_entry(this, *name ? name : level.path, up);
      if (!level.go_up()) break;
    }
    add_location_entry(this, my_computer_text.text, -1);

    // The parent row: up one level, or to the drives from a root.
    FOLDER parent = folder;
    add_icon_cell(this, 0, file_select_parent_icon(), FILE_SELECT_LOCATION);
    WM_BUTTON* up = add_text_cell(this, 1, 0, "..", FILE_SELECT_LOCATION);
    INT_S32 up_value = parent.go_up() ? 1 : -1;
    if (list->cell(0, 0)) list->cell(0, 0)->click_user1 = (INT_U32)up_value;
    if (up) up->click_user1 = (INT_U32)up_value;
    row_count = 1;

    // Folders, then (except when choosing a folder) files, each by name.
    for (int pass = 0; pass < (mode == FILE_SELECT_FOLDER ? 1 : 2); pass++) {
      char* block = nullptr;
      size_t used = 0;
      if (!read_folder(&folder, show_hidden, pass == 0, &block, &used)) break;
      std::vector<size_t> entries;
      for (size_t at = 0; at < used; at += sizeof(FILE_INFO) + std::strlen(block + at + sizeof(FILE_INFO)) + 1)
        entries.push_back(at);
      std::sort(entries.begin(), entries.end(), [block](size_t a, size_t b) {
        return listed_before(block + a + sizeof(FILE_INFO), block + b + sizeof(FILE_INFO));
      });
      SCAN_ENTRY entry;
      entry.folder = &folder;
      for (size_t at : entries) {
        FILE_INFO& info = entry;
        std::memcpy(&info, block + at, sizeof info);
        entry.name = block + at + sizeof info;
        add_entry_row(&entry);
      }
      std::free(block);
    }
  } else {
    enable_button(new_folder_button, false);
    location_menu->set_text(my_computer_text.text, false);
    add_location_entry(this, my_computer_text.text, -1);
    for (INT_S32 i = 0; i < get_drive_count(); i++) {
      const char* root = get_drive_root_text((INT_S16)i);
      if (!root) break;
      FOLDER drive;
      drive.set_to_drive_root((INT_S16)i);
      int kind = get_disk_kind(&drive);
      IMAGE* drive_icon = file_select_drive_icon(kind);
      if (!drive_icon->pixels || drive_icon->width == 0) drive_icon = file_select_drive_icon(0);
      add_icon_cell(this, i, drive_icon, FILE_SELECT_DRIVE);
      add_text_cell(this, 1, i, root, FILE_SELECT_DRIVE);
      row_count++;
    }
  }
  lay_out_location_row();
  location_menu->place_popup();
  if (list->visible) list->show();
  move_list_stop(0);
  if (list_focused) list->focus_cell(1, 0);
  update_ok_button();
}

void WM_FILE_SELECT::move_list_stop(INT_S32 row) {
  if (row < 0 || row >= list->row_count) row = 0;
  WM_SCREEN_OBJECT* name = list->cell(1, list_stop);
  if (name) name->focusable = 0;
  list_stop = row;
  name = list->cell(1, row);
  if (name) name->focusable = 1;
}

bool WM_FILE_SELECT::list_keys() {
  INT_S16 column = 0, row = 0;
  if (!list->find_focused_cell(&column, &row, true)) {
    // Elsewhere, the stop stays among the rows in view, where Tab finds it.
    for (INT_S32 r = list->first_visible_row; !list->row_fully_visible(list_stop) && r <= list->last_visible_row; r++)
      if (list->row_fully_visible(r)) move_list_stop(r);
    return false;
  }
  INT_S32 key = KEYBOARD_HANDLER::last_key;
  if (key != VKEY_UP && key != VKEY_DOWN) return false;
  KEYBOARD_HANDLER keyboard;
  keyboard.read_key();
  INT_S32 next = row + (key == VKEY_UP ? -1 : 1);
  if (next < 0 || next >= list->row_count) return true;
  move_list_stop(next);
  list->focus_cell(1, (INT_S16)next);
  set_focus_visible(true);
  return true;
}

WM_RESULT WM_FILE_SELECT::process() {
  if (refresh) rebuild();
  if (visible) list_keys();
  return WM_DIALOG::process();
}

// ---------------------------------------------------------------------------------------------------
// The new-folder dialog and the events

void WM_FILE_SELECT::open_new_folder_dialog() {
  bool own = new_folder_at_own_position != 0;
  WM_TEXT_EDIT_DIALOG* dialog = new WM_TEXT_EDIT_DIALOG(
      own ? get_x() : -1, own ? get_y() : -1, own ? width : -1, own ? height : -1, &name_style, 1, list_event,
      FILE_SELECT_NEW_FOLDER, ok_button->label, cancel_button->label, nullptr, FILE_SELECT_NAME_LENGTH);
  dialog->owner = object_handle(this);
  WM_BUTTON* own_buttons[2] = {ok_button, cancel_button};
  WM_BUTTON* its_buttons[2] = {dialog->ok_button, dialog->cancel_button};
  for (int i = 0; i < 2; i++) {
    IMAGE& from = own_buttons[i]->icon;
    if (!from.pixels || from.width < 1) continue;
    its_buttons[i]->icon.set_size(from.width, from.height);
    its_buttons[i]->icon.blit(&from, 0, 0, 0, 0, from.width, from.height, BLIT_COPY);
  }
  dialog->set_prompt(new_folder_prompt.text);
  dialog->set_title(new_folder_title.text);
  dialog->edit->char_filter = is_text_char;
  WM_SCREEN_OBJECT* root = page_manager ? page_manager->get_root() : nullptr;
  if (root) root->add_top_level(dialog, false);
  else delete dialog;
}

// The message box's one button closes it.
static WM_RESULT message_closed(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) { return WM_RESULT_CLOSE_DIALOG; }

void WM_FILE_SELECT::make_new_folder(const char* name) {
  // An empty name makes nothing; only a plain name makes a folder: never "." or "..", nor one holding
  // ':' or a separator.
  if (!name || !*name) return;
  char cause[256] = "a folder's name may not be \".\" or \"..\", nor hold \":\", \"/\" or \"\\\"";
  if (is_new_folder_name(name)) {
    forget_file_failure();
    if (folder.enter(name, true)) {
      refresh = 1;
      folder_chosen = 1;
      return;
    }
    describe_file_failure(cause, sizeof cause);  // the system's own words
  }
  std::string message =
      std::string("The folder \"") + name + "\" could not be made" + (*cause ? ": " : "") + cause + ".";
  WM_CONFIRM* box = new WM_CONFIRM(NEW_FOLDER_MESSAGE_WIDTH, NEW_FOLDER_MESSAGE_HEIGHT, new_folder_title.text,
                                   ok_button->label, nullptr, 1, message_closed, 0, 0, nullptr, 0, 0, -1, -1, 1, 20,
                                   nullptr);
  box->add_message(message.c_str());
  WM_SCREEN_OBJECT* root = page_manager ? page_manager->get_root() : nullptr;
  if (root) root->add_top_level(box, false);
  else delete box;
}

bool WM_FILE_SELECT::take_opening_click(WM_SCREEN_OBJECT* object) {
  INT_S16 row, column;
  if (!list->find_object(object, &row, &column, true)) return true;  // a location entry
  // A row opened from the keyboard is never the second click of a double click.
  if (object == focus_object && focus_visible) {
    row_opened = 0;
    return true;
  }
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  bool second = row_opened && pass_time - row_opened_time <= query_double_click_time() &&
                std::abs(px - row_opened_x) <= DOUBLE_CLICK_DISTANCE &&
                std::abs(py - row_opened_y) <= DOUBLE_CLICK_DISTANCE;
  row_opened = second ? 0 : 1;
  row_opened_time = pass_time;
  row_opened_x = px;
  row_opened_y = py;
  return !second;
}

WM_RESULT WM_FILE_SELECT::list_event(WM_SCREEN_OBJECT* object, INT_U32 event, INT_U32 user2, int) {
  if (!object) return 0;
  // The new-folder dialog answers (dialog, 3, result); everything else (object, event, selector).
  if (event == FILE_SELECT_NEW_FOLDER && (object->kind & WM_KIND_TEXT_EDIT_DIALOG)) {
    WM_TEXT_EDIT_DIALOG* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(object);
    WM_SCREEN_OBJECT* owner = dialog->get_owner();
    if (owner && (owner->kind & WM_KIND_FILE_SELECT)) {
      WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(owner);
      dialog->close_with_effects(true, false);
      if (user2 == 1) selector->make_new_folder(dialog->edit->text.text);
      return 0;
    }
    dialog->close_with_effects(true, false);
    return 0;
  }
  WM_SCREEN_OBJECT* found = object_from_handle(user2);
  if (!found || !(found->kind & WM_KIND_FILE_SELECT)) return 0;
  WM_FILE_SELECT* selector = static_cast<WM_FILE_SELECT*>(found);
  INT_S32 value = value_of(object);
  switch (event) {
    case FILE_SELECT_OK:
    case FILE_SELECT_CANCEL: {
      INT_U32 result = event == FILE_SELECT_OK ? 1 : 0;
      selector->event_user2 = result;
      play_click_sound();
      if (!selector->event_callback) return 0;
      return selector->event_callback(selector, selector->event_user1, result, event == FILE_SELECT_OK ? 1 : 0);
    }
    case FILE_SELECT_NEW_FOLDER:
      selector->open_new_folder_dialog();
      break;
    case FILE_SELECT_LOCATION:
      if (!selector->take_opening_click(object)) break;
      selector->folder_chosen = 1;
      if (selector->mode == FILE_SELECT_FILE) selector->name_field->set_text(nullptr);
      if (value == -1) {
        selector->at_my_computer = 1;
      } else {
        for (INT_S32 i = 0; i < value; i++)
          if (!selector->folder.go_up()) break;
      }
      selector->refresh = 1;
      break;
    case FILE_SELECT_DRIVE:
      if (!selector->take_opening_click(object)) break;
      selector->folder_chosen = 1;
      if (selector->mode == FILE_SELECT_FILE) selector->name_field->set_text(nullptr);
      selector->folder.set_to_drive_root((INT_S16)value);
      selector->at_my_computer = 0;
      selector->refresh = 1;
      break;
    case FILE_SELECT_FOLDER_ROW: {
      if (!selector->take_opening_click(object)) break;
      selector->folder_chosen = 1;
      WM_SCREEN_OBJECT* name_cell = selector->list->cell(1, value);
      if (selector->mode == FILE_SELECT_FILE) selector->name_field->set_text(nullptr);
      if (name_cell && (name_cell->kind & WM_KIND_BUTTON)) {
        FOLDER next = selector->folder;
        if (next.enter(static_cast<WM_BUTTON*>(name_cell)->label, false)) selector->folder = next;
      }
      selector->refresh = 1;
      break;
    }
    case FILE_SELECT_FILE_ROW: {
      selector->move_list_stop(value);
      WM_SCREEN_OBJECT* name_cell = selector->list->cell(1, value);
      if (name_cell && (name_cell->kind & WM_KIND_BUTTON))
        selector->name_field->set_text(static_cast<WM_BUTTON*>(name_cell)->label);
      if (selector->highlighted_row != value) {
        if (selector->highlighted_row >= 0 && selector->highlighted_row < selector->list->row_count)
          selector->list->rows[selector->highlighted_row]->highlighted = 0;
        if (value >= 0 && value < selector->list->row_count) selector->list->rows[value]->highlighted = 1;
        selector->highlighted_row = value;
        if (selector->list->visible) selector->list->show();
      }
      selector->update_ok_button();
      break;
    }
    case FILE_SELECT_NAME_ENTER:
      if (selector->mode == FILE_SELECT_FILE || selector->mode == FILE_SELECT_NEW_FILE) selector->update_ok_button();
      break;
    default:
      break;
  }
  return 0;
}
