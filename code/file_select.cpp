// File selector: the thirteen shared icons, the two constructors with the layout of the buttons, the
// location row, the list and the name field, the modes, and the selection read back by the owner. The
// list, the location menu and the events are in file_select_list.cpp.
#include "file_select.h"

#include <cstring>
#include <new>

#include "button.h"
#include "grid.h"
#include "image.h"
#include "menu.h"
#include "script.h"
#include "text_edit.h"

// ---------------------------------------------------------------------------------------------------
// Icons

static const char* const drive_icon_names[FILE_SELECT_DRIVE_ICON_COUNT] = {
    "disk", "disk-cdrom", "disk-floppy", "disk-network", "disk-linux",
    "disk-unix", "disk-mac", "disk-os2", "disk-dos", "disk-windows"};

// Ten drive icons, then the parent folder, the file and the folder.
static IMAGE* icons[FILE_SELECT_DRIVE_ICON_COUNT + 3];

static IMAGE* icon(int index) {
  if (!icons[index]) icons[index] = new IMAGE();
  return icons[index];
}

const char* file_select_drive_icon_name(int kind) {
  return kind >= 0 && kind < FILE_SELECT_DRIVE_ICON_COUNT ? drive_icon_names[kind] : nullptr;
}

IMAGE* file_select_drive_icon(int kind) {
  return icon(kind >= 0 && kind < FILE_SELECT_DRIVE_ICON_COUNT ? kind : 0);
}

IMAGE* file_select_parent_icon() {
  return icon(FILE_SELECT_DRIVE_ICON_COUNT);
}

IMAGE* file_select_file_icon() {
  return icon(FILE_SELECT_DRIVE_ICON_COUNT + 1);
}

IMAGE* file_select_folder_icon() {
  return icon(FILE_SELECT_DRIVE_ICON_COUNT + 2);
}

void stop_file_select_icons() {
  for (int i = FILE_SELECT_DRIVE_ICON_COUNT + 2; i >= 0; i--) {
    delete icons[i];
    icons[i] = nullptr;
  }
}

// Every icon still empty is loaded from "$ICONDATA" under its name, at its natural size.
static void load_missing_icons() {
  static const char* const other_names[3] = {"parent_folder", "file", "folder"};
  FOLDER folder;
  if (!folder.set("$ICONDATA")) return;
  for (int i = 0; i < FILE_SELECT_DRIVE_ICON_COUNT + 3; i++) {
    IMAGE* image = icon(i);
    if (image->width > 0 && image->pixels) continue;
    image->load(&folder, i < FILE_SELECT_DRIVE_ICON_COUNT ? drive_icon_names[i]
                                                          : other_names[i - FILE_SELECT_DRIVE_ICON_COUNT],
                -1, -1);
  }
}

// ---------------------------------------------------------------------------------------------------
// Construction

static INT_S16 default_size(INT_S16 value, INT_S16 fallback) { return value == -1 ? fallback : value; }

WM_FILE_SELECT::WM_FILE_SELECT(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_,
                               WM_STYLE_SET* location_button_style, WM_STYLE_SET* location_list_style,
                               WM_STYLE_SET* name_style_, WM_STYLE_SET* list_style, WM_STYLE_SET* list_scrollbar_style,
                               bool visible_, WM_EVENT_CALLBACK callback, INT_U32 user1, const char* ok_text,
                               const char* cancel_text, const char* new_folder_text, WM_STYLE_SET* menu_item_style,
                               WM_STYLE_SET* menu_alt_item_style)
    : WM_DIALOG(x_, y_, default_size(width_, FILE_SELECT_WIDTH), default_size(height_, FILE_SELECT_HEIGHT), "",
                nullptr, nullptr, nullptr, nullptr) {
  visible = needs_draw = visible_ ? 1 : 0;
  build(callback, user1, location_button_style, location_list_style, name_style_, list_style, list_scrollbar_style,
        ok_text, cancel_text, new_folder_text, menu_item_style, menu_alt_item_style);
}

WM_FILE_SELECT::WM_FILE_SELECT(INT_S16 x_, INT_S16 y_, bool visible_, WM_EVENT_CALLBACK callback, INT_U32 user1,
                               const char* ok_text, const char* cancel_text, const char* new_folder_text)
    : WM_DIALOG(x_, y_, FILE_SELECT_WIDTH, FILE_SELECT_HEIGHT, "", nullptr, nullptr, nullptr, nullptr) {
  visible = needs_draw = visible_ ? 1 : 0;
  // Every style derived from the dialog's own button style.
  WM_STYLE_SET location_button, location_list, name, list_style, list_bar;
  WM_STYLE_SET::copy(&location_button, &button_style);
  location_button.flags |= ssf_left_justify_text;
  location_button.extended_flags |= ssef_down_arrow;
  WM_STYLE_SET::copy(&location_list, &button_style);
  location_list.flags |= ssf_draw_border | ssf_outstanding_border;
  location_list.shading_flags &= (INT_U16)~0x00F0;
  WM_STYLE_SET::copy(&name, &button_style);
  name.flags |= ssf_draw_border | ssf_indent_border;
  WM_STYLE_SET::copy(&list_style, &name);
  list_style.shading_flags &= (INT_U16)~0x00F0;
  WM_STYLE_SET::copy(&list_bar, &button_style);
  build(callback, user1, &location_button, &location_list, &name, &list_style, &list_bar, ok_text, cancel_text,
        new_folder_text, nullptr, nullptr);
}

WM_FILE_SELECT::~WM_FILE_SELECT() {}

void WM_FILE_SELECT::build(WM_EVENT_CALLBACK callback, INT_U32 user1, WM_STYLE_SET* location_button_style,
                           WM_STYLE_SET* location_list_style, WM_STYLE_SET* new_name_style, WM_STYLE_SET* list_style,
                           WM_STYLE_SET* list_scrollbar_style, const char* ok_text, const char* cancel_text,
                           const char* new_folder_text, WM_STYLE_SET* menu_item_style,
                           WM_STYLE_SET* menu_alt_item_style) {
  load_missing_icons();
  fit_to_screen();

  event_callback = callback;
  event_user1 = user1;
  mode = FILE_SELECT_NONE;
  show_hidden = 0;
  at_my_computer = 0;
  my_computer_text.assign("My Computer");
  new_folder_title.assign("New Folder");
  new_folder_prompt.assign("Enter new folder name");
  refresh = 0;
  highlighted_row = -1;
  row_count = 0;
  if (new_name_style) WM_STYLE_SET::copy(&name_style, new_name_style);
  new_folder_at_own_position = 0;

  // Positions from here on are relative to the client area.
  INT_U32 self = object_handle(this);
  new_folder_button = new WM_BUTTON(0, 0, -1, -1, &button_style, new_folder_text ? new_folder_text : "New Folder",
                                    nullptr, list_event, FILE_SELECT_NEW_FOLDER, self, BUTTON_EVENT_CLICK);
  ok_button = new WM_BUTTON(0, 0, -1, -1, &button_style, ok_text ? ok_text : "OK", nullptr, list_event,
                            FILE_SELECT_OK, self, BUTTON_EVENT_CLICK);
  cancel_button = new WM_BUTTON(0, 0, -1, -1, &button_style, cancel_text ? cancel_text : "Cancel", nullptr,
                                list_event, FILE_SELECT_CANCEL, self, BUTTON_EVENT_CLICK);
  new_folder_button->focusable = ok_button->focusable = cancel_button->focusable = 1;
  const WM_STYLE_SET& s = window_style;
  INT_S16 cw = (INT_S16)(width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap);
  INT_S16 ch = (INT_S16)(height - client_top() - s.border_bottom_gap - s.cell_bottom_gap);
  INT_S16 half = (INT_S16)(new_folder_button->get_height() / 2);
  INT_S16 button_top = (INT_S16)(ch - 2 * half);
  new_folder_button->move_to(half, button_top);
  ok_button->move_to((INT_S16)(cw - ok_button->get_width() - half), button_top);
  cancel_button->move_to((INT_S16)(ok_button->x - half - cancel_button->get_width()), button_top);

  // The location row: the mode's message, "Location:" and the location menu.
  IMAGE* target = draw_target;
  INT_S16 font_height = target ? target->default_font_y_size : 22;
  location_menu = new WM_MENU(0, 0, -1, -1, "", 0, location_button_style, location_list_style, menu_item_style,
                              menu_alt_item_style, nullptr, nullptr, nullptr, nullptr, nullptr);
  INT_S16 row_height = location_menu->get_height() > font_height ? location_menu->get_height() : font_height;
  static const INT_S16 location_weights[3] = {8, 3, 4};
  location_row = new WM_GRID(half, half, (INT_S16)(cw - half), (INT_S16)(half + row_height), 3, location_weights,
                             list_style, list_scrollbar_style);
  location_row->default_row_height = row_height;
  COLOUR text_colour = window_style.fg_colour;
  message = location_row->add_text(0, 0, "", &text_colour, &COLOUR_INVISIBLE, 0);
  location_label = location_row->add_text(1, 0, "Location:", &text_colour, &COLOUR_INVISIBLE, 0);
  // The row refuses the menu (and deletes it) only when memory is short; the selector cannot go on
  // without it, so this ends the run as a failed allocation does.
  if (!location_row->set_cell(2, 0, location_menu)) throw std::bad_alloc();

  // The name field above the buttons, the list between it and the location row.
  name_field = new WM_TEXT_EDIT(half, 0, (INT_S16)(cw - 2 * half), FILE_SELECT_NAME_LENGTH, "", &name_style, list_event,
                                FILE_SELECT_NAME_ENTER, self);
  name_field->notify_changes = 1;
  name_field->move_to(half, (INT_S16)(button_top - 2 * half - name_field->get_height()));
  static const INT_S16 list_weights[4] = {1, 5, 1, 3};
  INT_S16 list_top = (INT_S16)(half + row_height + half);
  INT_S16 list_bottom = (INT_S16)(name_field->y - half);
  list = new WM_GRID(half, list_top, (INT_S16)(cw - half), list_bottom, 4, list_weights, list_style,
                     list_scrollbar_style);
  list->maximum_rows = -1;  // every entry of a large folder gets its row
  INT_S16 icon_height = 0;
  for (int i = 0; i < FILE_SELECT_DRIVE_ICON_COUNT + 3; i++)
    if (icon(i)->height > icon_height) icon_height = icon(i)->height;
  list->default_row_height = icon_height > font_height ? icon_height : font_height;

  add_child(location_row, true);
  add_child(list, true);
  add_child(name_field, true);
  add_child(new_folder_button, true);
  add_child(ok_button, true);
  add_child(cancel_button, true);
  kind |= WM_KIND_FILE_SELECT;
  call_screen_object_created_hook(this);
}

// ---------------------------------------------------------------------------------------------------
// Modes and the selection

void WM_FILE_SELECT::enable_button(WM_BUTTON* button, bool on) {
  INT_U8 value = on ? 1 : 0;
  if (!button || button->enabled == value) return;
  if (button->visible) button->show();
  button->enabled = value;
  if (!value) button->armed = 0;
}

void WM_FILE_SELECT::set_mode(INT_U8 new_mode, FOLDER* start, const char* file_name, const char* extension) {
  refresh = 1;
  if (new_mode < FILE_SELECT_FILE || new_mode > FILE_SELECT_FOLDER) return;
  mode = new_mode;
  default_extension.assign(extension);
  at_my_computer = 0;
  if (start) folder = *start;
  const char* title_text;
  const char* message_text;
  if (mode == FILE_SELECT_FILE) {
    name_field->set_text(file_name);
    name_field->editable = 0;
    enable_button(new_folder_button, false);
    title_text = "Select a File";
    message_text = "Select an exsiting file.";
  } else if (mode == FILE_SELECT_NEW_FILE) {
    name_field->set_text(file_name);
    name_field->editable = 1;
    enable_button(new_folder_button, true);
    title_text = "Select a New File";
    message_text = "Select a new or exsiting file.";
  } else {
    name_field->set_text(nullptr);
    name_field->editable = 0;
    enable_button(new_folder_button, true);
    title_text = "Select a Folder";
    message_text = "Select an exsiting folder.";
  }
  set_title(title_text);
  if (message) message->set_text(message_text, false);
}

// The text ends with the suffix (case-sensitive).
static bool ends_with(const char* text, const char* suffix) {
  size_t n = std::strlen(text), m = std::strlen(suffix);
  return n >= m && std::memcmp(text + n - m, suffix, m) == 0;
}

bool WM_FILE_SELECT::get_selection(FOLDER* out_folder, char* out_name, INT_S32 name_size) {
  if (out_name && name_size > 0) out_name[0] = 0;
  if (mode < FILE_SELECT_FILE || mode > FILE_SELECT_FOLDER) return false;
  const char* name = name_field && name_field->text.text ? name_field->text.text : "";
  if (out_folder) *out_folder = folder;
  if (mode == FILE_SELECT_FOLDER) {
    if (*name && out_folder) out_folder->enter(name, false);
    return true;
  }
  if (!out_name) return mode == FILE_SELECT_FILE;
  const char* extension = mode == FILE_SELECT_NEW_FILE && default_extension.text ? default_extension.text : "";
  const char* added = *extension && !ends_with(name, extension) ? extension : "";
  size_t total = std::strlen(name) + std::strlen(added);
  if (name_size < 1 || total >= (size_t)name_size) return false;
  std::memcpy(out_name, name, std::strlen(name));
  std::memcpy(out_name + std::strlen(name), added, std::strlen(added) + 1);
  return true;
}

bool is_new_folder_name(const char* name) {
  if (!name || !*name || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
  return std::strpbrk(name, ":/\\") == nullptr;
}
