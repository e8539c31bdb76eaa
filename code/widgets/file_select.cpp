// File selector: the thirteen shared icons, the two constructors with the layout of the buttons, the
// location row, the list and the name field, the modes, and the selection read back by the owner. The
// list, the location menu and the events are in file_select_list.cpp.
#include "file_select.h"

#include <cstring>
#include <new>
#include <string>

#include "border.h"
#include "button.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "menu.h"
#include "screen_image.h"
#include "script.h"
#include "style_measures.h"
#include "text_draw.h"
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
// Layout

// The widest of the texts in the list's font at a size.
static const char* widest_of(const WM_GRID* grid, const char* const* texts, int count, INT_S16 size_x, INT_S16 size_y) {
  const char* widest = texts[0];
  INT_S32 most = -1;
  for (int i = 0; i < count; i++) {
    INT_S32 w = text_width(draw_target, grid->style.font_id, size_x, size_y, texts[i], -1, false);
    if (w > most) most = w, widest = texts[i];
  }
  return widest;
}

// Widths of the widest size and date texts the list can show at a font size: a size as
// format_byte_count writes one of 32 bits, a date in format_file_time's fixed form "Www Mmm dd
// hh:mm:ss yyyy" made of its widest names and its widest digit.
static void widest_values(const WM_GRID* grid, INT_S16 size_x, INT_S16 size_y, INT_S32* size_width,
                          INT_S32* date_width) {
  static const char* const sizes[] = {"1024.0 b", "1024.0 k", "1024.0 M", "4.0 G"};
  static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
  *size_width = text_width(draw_target, grid->style.font_id, size_x, size_y, widest_of(grid, sizes, 4, size_x, size_y),
                           -1, false);
  std::string date = std::string(widest_of(grid, days, 7, size_x, size_y)) + " " +
                     widest_of(grid, months, 12, size_x, size_y) + " ";
  char digit = widest_of(grid, digits, 10, size_x, size_y)[0];
  for (const char* c = "00 00:00:00 0000"; *c; c++) date += *c == '0' ? digit : *c;
  *date_width = text_width(draw_target, grid->style.font_id, size_x, size_y, date.c_str(), -1, false);
}

// The list's font and columns: the sizes and dates whole, the icons at their width, the names the rest.
static void fit_list_columns(WM_GRID* grid, INT_S16 icon_width) {
  const WM_STYLE_SET& s = grid->style;
  // A text cell's gaps; the pixels of the row that the four columns' contents share.
  INT_S32 text_gaps = 2 * border_width_of_type(1) + 1;
  INT_S32 inner = grid->width - s.border_left_gap - s.border_right_gap - s.grid_scrollbar_width - 1 -
                  4 * (s.cell_left_gap + s.cell_right_gap + s.x_spacing);
  if (icon_width < 1) icon_width = 1;
  // The font gets smaller a pixel at a time, down to half its size (8 pixels at least), while the
  // sizes and dates would leave the names less than two fifths of the row.
  INT_S16 size_x = s.font_x_sz, size_y = s.font_y_sz;
  INT_S16 least = size_y / 2 > 8 ? (INT_S16)(size_y / 2) : (INT_S16)8;
  INT_S32 size_width = 0, date_width = 0;
  for (;;) {
    widest_values(grid, size_x, size_y, &size_width, &date_width);
    if ((icon_width + size_width + date_width + 2 * text_gaps) * 5 <= inner * 3 || size_y <= least) break;
    size_y--;
    size_x = (INT_S16)(s.font_x_sz * size_y / s.font_y_sz);
  }
  if (size_y != s.font_y_sz) {
    grid->style.font_x_sz = size_x > 0 ? size_x : (INT_S16)1;
    grid->style.font_y_sz = size_y;
  }
  const INT_S16 weights[4] = {(INT_S16)-icon_width, 1, (INT_S16)-(size_width + text_gaps),
                              (INT_S16)-(date_width + text_gaps)};
  grid->set_columns(4, weights);
}

// The natural width of a script's or a button's text with its gaps.
static INT_S32 natural_width(INT_S8 font_id, INT_S16 size_x, INT_S16 size_y, const char* text, INT_S32 gaps) {
  return text_width(draw_target, font_id, size_x, size_y, text ? text : "", -1, false) + gaps + 1;
}

static const char* script_text(WM_SCRIPT* script) {
  return script && script->text.type == STRING_TYPE && script->text.value.text ? script->text.value.text : "";
}

// The list from its top down to bottom (inclusive), holding whole rows: the pixels that would show part of
// one more stay below it.
static void place_list(WM_GRID* list, INT_S16 top, INT_S16 bottom) {
  list->move_to(list->x, top);
  list->resize(list->width, (INT_S16)(bottom - top + 1), true);
  INT_S32 pitch = list->default_row_height + list->style.y_spacing;
  INT_S32 inner = list->inner_height() + list->style.y_spacing;
  if (pitch > 0 && inner >= pitch) list->resize(list->width, (INT_S16)(list->height - inner % pitch), true);
}

// Rows of its own the list keeps when the message takes height from it.
static const INT_S32 LEAST_LIST_ROWS = 3;

// The dialog grows at its bottom: the name field and the buttons move down with it; its middle stays
// where it was, within the screen.
static void grow_dialog(WM_FILE_SELECT* selector, INT_S32 grown) {
  WM_SCREEN_OBJECT* below[4] = {selector->name_field, selector->new_folder_button, selector->cancel_button,
                                selector->ok_button};
  for (WM_SCREEN_OBJECT* object : below) object->move_to(object->x, (INT_S16)(object->y + grown));
  INT_S32 top = selector->get_y() - grown / 2;
  selector->resize(selector->width, (INT_S16)(selector->height + grown), true);
  INT_S32 screen_height = get_screen_height(0);
  if (top > screen_height - selector->height) top = screen_height - selector->height;
  if (top < 0) top = 0;
  selector->move_to(selector->get_x(), (INT_S16)top);
}

// The message's row: one line, or the lines the message needs. The list below gives up the height down to
// three of its rows (or takes it back); past that the dialog grows, up to the screen's height. Only a
// message longer than all of that is shortened, its last line ending in "...".
static void fit_message_row(WM_FILE_SELECT* selector) {
  WM_GRID* row = selector->location_row;
  WM_SCRIPT* message = selector->message;
  WM_GRID* list = selector->list;
  INT_S16 x1, y1, x2, y2;
  row->cell_rectangle(0, 0, &x1, &y1, &x2, &y2);
  INT_S8 font;
  INT_S16 size_x, line;
  choose_widget_font(message->font_id, message->font_x_size, message->font_y_size, &font, &size_x, &line);
  INT_S32 room = x2 - x1 + 1 - message->left_gap - message->right_gap;
  INT_S32 wanted = row->default_row_height;
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, room, TEXT_MAX_LINES, font, size_x, line, script_text(message), lines);
  if (count > 1 && count * line + message->top_gap + message->bottom_gap > wanted)
    wanted = count * line + message->top_gap + message->bottom_gap;
  INT_S32 change = wanted - row->rows[0]->height;
  if (change == 0) return;
  INT_S32 least_list = LEAST_LIST_ROWS * (list->default_row_height + list->style.y_spacing) - list->style.y_spacing +
                       list->style.border_top_gap + list->style.border_bottom_gap;
  INT_S32 list_gives = list->height - least_list > 0 ? list->height - least_list : 0;
  if (change > list_gives) {
    INT_S32 grown = change - list_gives, screen_room = get_screen_height(0) - selector->height;
    if (grown > screen_room) grown = screen_room > 0 ? screen_room : 0;
    if (grown > 0) grow_dialog(selector, grown);
    if (change > list_gives + grown) {
      change = list_gives + grown;
      wanted = row->rows[0]->height + change;
    }
    if (change == 0) return;
  }
  WM_GRID_ROW::set_height(row->rows[0], (INT_S16)(wanted + row->style.y_spacing), &row->style);
  row->rows[1]->end += change;
  row->resize(row->width, (INT_S16)(row->height + change), true);
  // The list keeps its place half a button's height above the name field, showing its first row.
  INT_S16 half = (INT_S16)(selector->new_folder_button->get_height() / 2);
  place_list(list, (INT_S16)(list->y + change), (INT_S16)(selector->name_field->y - half));
  list->make_row_visible(0);
}

void WM_FILE_SELECT::lay_out_location_row() {
  WM_GRID* row = location_row;
  if (!row || row->row_count < 2 || !message || !location_label || !location_menu) return;
  fit_message_row(this);
  const WM_STYLE_SET& s = row->style;
  INT_S32 room = row->width - s.border_left_gap - s.border_right_gap -
                 4 * (s.cell_left_gap + s.cell_right_gap + s.x_spacing);
  // The menu, whose text is centred in its cell, keeps half a line's height free around its text, apart
  // from the label and from the row's rounded end.
  INT_S32 space = location_label->font_y_size / 2;
  INT_S32 label = natural_width(location_label->font_id, location_label->font_x_size, location_label->font_y_size,
                                script_text(location_label), location_label->left_gap + location_label->right_gap);
  WM_MENU* menu = location_menu;
  INT_S32 arrow = (menu->button_flags & bf_down_arrow) ? menu->height : 0;
  INT_S32 shown = natural_width(menu->font_id, menu->font_x_size, menu->font_y_size, menu->label,
                                menu->left_gap + menu->right_gap + arrow + space);
  // The label whole and the menu what it needs, both in the middle of the row; the menu's name is
  // shortened only when the row cannot hold it.
  if (label > room) label = room;
  if (shown > room - label) shown = room - label;
  const INT_S16 weights[4] = {1, (INT_S16)-label, (INT_S16)-shown, 1};
  row->set_columns(4, weights);
  WM_GRID_ROW::init(row->rows[1], row->width, 4, weights, &row->style);
  WM_SCREEN_OBJECT* cells[3] = {message, location_label, location_menu};
  for (INT_S16 c = 0; c < 3; c++) {
    INT_S16 x1, y1, x2, y2;
    row->cell_rectangle(c, c == 0 ? 0 : 1, &x1, &y1, &x2, &y2);
    cells[c]->resize((INT_S16)(x2 - x1 + 1), (INT_S16)(y2 - y1 + 1), true);
    cells[c]->move_to(x1, y1);
  }
  if (row->visible) row->show();
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
  cancel_button->set_hot_key(VKEY_ESCAPE);
  const WM_STYLE_SET& s = window_style;
  INT_S16 cw = (INT_S16)(width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap);
  INT_S16 ch = (INT_S16)(height - client_top() - s.border_bottom_gap - s.cell_bottom_gap);
  INT_S16 half = (INT_S16)(new_folder_button->get_height() / 2);
  INT_S16 button_top = (INT_S16)(ch - 2 * half);
  // Half a button's height before, between and after the three; labels too long for the row are
  // shortened, so that none runs into another.
  WM_BUTTON* button_row[3] = {new_folder_button, cancel_button, ok_button};
  fit_buttons_in_row(button_row, 3, cw - 4 * half);
  new_folder_button->move_to(half, button_top);
  ok_button->move_to((INT_S16)(cw - ok_button->get_width() - half), button_top);
  cancel_button->move_to((INT_S16)(ok_button->x - half - cancel_button->get_width()), button_top);

  // The location rows: the mode's message on a row of its own, where it is never cut for a long folder
  // name, then "Location:" and the location menu.
  IMAGE* target = draw_target;
  INT_S16 font_height = target ? target->default_font_y_size : 22;
  location_menu = new WM_MENU(0, 0, -1, -1, "", 0, location_button_style, location_list_style, menu_item_style,
                              menu_alt_item_style, nullptr, nullptr, nullptr, nullptr, nullptr);
  location_menu->name_text = 1;
  INT_S16 row_height = location_menu->get_height() > font_height ? location_menu->get_height() : font_height;
  // The grid holds its rows inside its border gaps: a row taller than the inner area would run below the
  // grid, where the grid's clip cuts its objects and its redrawing does not reach.
  INT_S16 spacing = list_style ? list_style->y_spacing : 0;
  INT_S16 row_grid_height = (INT_S16)(2 * row_height + spacing + style_vertical_gaps(list_style));
  location_row = new WM_GRID(half, half, (INT_S16)(cw - half), (INT_S16)(half + row_grid_height - 1), 1, nullptr,
                             list_style, list_scrollbar_style);
  location_row->default_row_height = row_height;
  location_row->keep_clear_of_rounded_corners(location_row->width, location_row->height);
  // The texts stand on the rows' own background: they take its style's text colour.
  COLOUR text_colour = location_row->style.fg_colour;
  message = location_row->add_text(0, 0, "", &text_colour, &COLOUR_INVISIBLE, 0);
  static const INT_S16 location_weights[4] = {1, 3, 4, 1};
  location_row->set_columns(4, location_weights);
  location_label = location_row->add_text(1, 1, "Location:", &text_colour, &COLOUR_INVISIBLE, 0);
  // The row refuses the menu (and deletes it) only when memory is short; the selector cannot go on
  // without it, so this ends the run as a failed allocation does.
  if (!location_row->set_cell(2, 1, location_menu)) throw std::bad_alloc();

  // The name field above the buttons, the list between it and the location row.
  name_field = new WM_TEXT_EDIT(half, 0, (INT_S16)(cw - 2 * half), FILE_SELECT_NAME_LENGTH, "", &name_style, list_event,
                                FILE_SELECT_NAME_ENTER, self);
  name_field->notify_changes = 1;
  name_field->move_to(half, (INT_S16)(button_top - 2 * half - name_field->get_height()));
  INT_S16 list_top = (INT_S16)(half + row_grid_height + half);
  INT_S16 list_bottom = (INT_S16)(name_field->y - half);
  INT_S16 icon_width = 0, icon_height = 0;
  for (int i = 0; i < FILE_SELECT_DRIVE_ICON_COUNT + 3; i++) {
    if (icon(i)->width > icon_width) icon_width = icon(i)->width;
    if (icon(i)->height > icon_height) icon_height = icon(i)->height;
  }
  INT_S16 list_row_height = icon_height > font_height ? icon_height : font_height;
  list = new WM_GRID(half, list_top, (INT_S16)(cw - half), list_bottom, 4, nullptr, list_style,
                     list_scrollbar_style);
  list->maximum_rows = -1;  // every entry of a large folder gets its row
  list->default_row_height = list_row_height;
  place_list(list, list_top, list_bottom);
  list->keep_clear_of_rounded_corners(list->width, list->height);
  fit_list_columns(list, icon_width);

  // Tab goes in reading order: from the list down to the buttons, left to right.
  add_child(location_row, true);
  add_child(list, true);
  add_child(name_field, true);
  add_child(new_folder_button, true);
  add_child(cancel_button, true);
  add_child(ok_button, true);
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
  folder_chosen = 0;
  if (start) folder = *start;
  start_folder = folder;
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
  return is_single_name(name) && !std::strchr(name, ':');
}
