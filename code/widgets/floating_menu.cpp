// Floating menus: construction with the grid of entries, adding entries, sub-menu entries and separators,
// the layout that sizes the menu to its widest entry and to the rows that fit the work area, and the two
// arrow buttons that stand in for the first and last visible rows while the list is scrolled.
#include "floating_menu.h"

#include <cstring>
#include <new>

#include "border.h"
#include "button.h"
#include "grid.h"
#include "image.h"
#include "menu.h"
#include "page_manager.h"
#include "scroll_bar.h"
#include "script.h"
#include "style_measures.h"
#include "text_draw.h"

WM_DIALOG_EFFECTS floating_menu_effects = {DIALOG_FADE_IN | DIALOG_FADE_OUT | DIALOG_FADE_DOWN | DIALOG_FADE_UP, 200,
                                           200, 224};

// A copy owned by the menu, or null.
static WM_STYLE_SET* owned_copy(const WM_STYLE_SET* style) {
  if (!style) return nullptr;
  WM_STYLE_SET* copy = new (std::nothrow) WM_STYLE_SET();
  if (copy) WM_STYLE_SET::copy(copy, style);
  return copy;
}

WM_FLOATING_MENU::WM_FLOATING_MENU(INT_S16 new_x, INT_S16 new_y, const char* title_text, WM_STYLE_SET* window_style_,
                                   WM_STYLE_SET* title_style_, WM_STYLE_SET* button_style_,
                                   WM_STYLE_SET* entry_style_, INT_U8 draggable_, INT_U8 not_owned_,
                                   WM_STYLE_SET* separator_style_, WM_STYLE_SET* up_arrow_style_,
                                   WM_STYLE_SET* down_arrow_style_, WM_DIALOG_EFFECTS* effects_,
                                   WM_STYLE_SET* submenu_style_)
    : WM_DIALOG(new_x, new_y, 50, 50, title_text, window_style_, title_style_, button_style_,
                effects_ ? effects_ : &floating_menu_effects),
      grid(nullptr), entry_count(0), entry_serial(0), first_visible(0), last_visible(0), min_client_width(0),
      entry_style(entry_style_ ? entry_style_ : &button_style), separator_style(nullptr), up_arrow_style(nullptr),
      down_arrow_style(nullptr), submenu_style(nullptr), mouse_was_down(0), escape_was_down(0),
      activation_was_down(0), wait_release(1), was_shown(0), may_drag(draggable_), remove_now(0),
      displaced_top(nullptr), displaced_bottom(nullptr), up_arrow(nullptr), down_arrow(nullptr),
      displaced_top_row(0), displaced_bottom_row(0), owner(nullptr), hot_key(-1), hot_key_held(1), type_time(0) {
  type_text[0] = 0;
  restore_entries();
  not_owned = not_owned_;
  own_style.flags = 0;
  own_style.extended_flags = ssef_grid_no_scrollbar;
  own_style.bg_colour = COLOUR_INVISIBLE;
  own_style.y_spacing = 0;
  separator_style = owned_copy(separator_style_);
  up_arrow_style = owned_copy(up_arrow_style_);
  down_arrow_style = owned_copy(down_arrow_style_);
  submenu_style = owned_copy(submenu_style_);

  // Row height from the window style as given: font height, cell gaps (unset = 0) and the spacing.
  const WM_STYLE_SET* rows_from = window_style_ ? window_style_ : &window_style;
  IMAGE* target = draw_target;
  INT_S32 font = rows_from->font_y_sz != -1 ? rows_from->font_y_sz : target ? target->default_font_y_size : 0;
  INT_S32 row_height = font + (rows_from->cell_top_gap != -1 ? rows_from->cell_top_gap : 0) +
                       (rows_from->cell_bottom_gap != -1 ? rows_from->cell_bottom_gap : 0) +
                       (rows_from->y_spacing > 0 ? rows_from->y_spacing : 0);

  grid = new (std::nothrow) WM_GRID(0, 0, 49, 49, 1, nullptr, &own_style, &own_style);
  if (grid) {
    grid->rows_per_page = 0;
    INT_S32 grid_row = row_height - grid->style.y_spacing;
    if (row_height == 0) grid_row = style_row_height(&grid->style, nullptr);
    grid->default_row_height = (INT_S16)(grid_row < 1 ? 1 : grid_row);
    grid->keyboard_navigation = 0;
    WM_DIALOG::add_child(grid, true);
  }
  layout();
  kind |= WM_KIND_FLOATING_MENU;
  call_screen_object_created_hook(this);
}

WM_FLOATING_MENU::~WM_FLOATING_MENU() {
  WM_DIALOG::hide(false, false);
  set_entries_flag(0);
  delete separator_style;
  delete up_arrow_style;
  delete down_arrow_style;
  separator_style = up_arrow_style = down_arrow_style = nullptr;
  restore_entries();
  if (grid) grid->clear(true);
  entry_count = entry_serial = first_visible = last_visible = 0;
  mouse_was_down = escape_was_down = activation_was_down = 0;
  delete up_arrow;
  delete down_arrow;
  up_arrow = down_arrow = nullptr;
  delete submenu_style;
  submenu_style = nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Entries

// The object standing for row i: the displaced entry when an arrow covers the row, else the cell's.
static WM_SCREEN_OBJECT* row_entry(WM_FLOATING_MENU* menu, INT_S32 row) {
  if (menu->displaced_top && row == menu->displaced_top_row) return menu->displaced_top;
  if (menu->displaced_bottom && row == menu->displaced_bottom_row) return menu->displaced_bottom;
  return menu->grid ? menu->grid->cell(0, row) : nullptr;
}

void WM_FLOATING_MENU::set_entries_flag(INT_U8 value) {
  if (!grid) return;
  for (INT_S32 r = 0; r < grid->row_count; r++) {
    WM_SCREEN_OBJECT* object = grid->cell(0, r);
    if (object && (object->kind & WM_KIND_BUTTON)) object->focusable = value;
  }
  WM_SCREEN_OBJECT* extras[4] = {displaced_top, displaced_bottom, up_arrow, down_arrow};
  for (WM_SCREEN_OBJECT* object : extras)
    if (object) object->focusable = value;
  grid->keyboard_navigation = value;
}

WM_BUTTON* WM_FLOATING_MENU::get_entry(INT_S16 index) {
  if (index < 0 || index >= entry_count) return nullptr;
  WM_SCREEN_OBJECT* object = row_entry(this, index);
  return object && (object->kind & WM_KIND_BUTTON) ? static_cast<WM_BUTTON*>(object) : nullptr;
}

WM_MENU* WM_FLOATING_MENU::get_menu_entry(INT_S16 index) {
  if (index < 0 || index >= entry_count) return nullptr;
  WM_SCREEN_OBJECT* object = row_entry(this, index);
  return object && (object->kind & WM_KIND_MENU) ? static_cast<WM_MENU*>(object) : nullptr;
}

void WM_FLOATING_MENU::reset_entries() {
  for (INT_S16 i = 0; i < entry_count; i++) {
    WM_BUTTON* entry = get_entry(i);
    if (!entry) continue;
    clear_press_states(entry);
    if (entry->visible) entry->show();
  }
  wait_release = 1;
  hot_key_held = 1;
  mouse_was_down = escape_was_down = activation_was_down = 0;
  was_shown = 0;
  type_text[0] = 0;
  type_time = 0;
}

void WM_FLOATING_MENU::new_cell_rectangle(INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2) {
  *x1 = *y1 = *x2 = *y2 = 0;
  if (!grid) return;
  WM_GRID_ROW row;
  grid->default_row_layout(&row);
  WM_GRID_ROW::cell_rectangle(&row, 0, grid->scrollbar != nullptr, x1, y1, x2, y2);
  WM_GRID_ROW::clear(&row);
  *x1 = (INT_S16)(*x1 + grid->x);
  *x2 = (INT_S16)(*x2 + grid->x);
  *y1 = (INT_S16)(*y1 + grid->y);
  *y2 = (INT_S16)(*y2 + grid->y);
}

WM_BUTTON* WM_FLOATING_MENU::add_entry(const char* text, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                                       bool separator_before) {
  if (!text || !grid) return nullptr;
  if (separator_before) add_script();
  INT_S16 x1, y1, x2, y2;
  new_cell_rectangle(&x1, &y1, &x2, &y2);
  WM_STYLE_SET* style = (entry_serial & 1) ? entry_style : &button_style;
  WM_BUTTON* entry =
      new (std::nothrow) WM_BUTTON(x1, y1, x2, y2, style, text, nullptr, callback, user1, user2, BUTTON_EVENT_CLICK);
  if (!entry) return nullptr;
  entry->slide_select = 1;
  entry->focusable = 0;
  // A refused row deletes the entry: nothing is counted or returned.
  if (!grid->set_cell(0, entry_count, entry)) return nullptr;
  entry_count++;
  entry_serial++;
  layout();
  return entry;
}

WM_MENU* WM_FLOATING_MENU::add_submenu(const char* text, bool separator_before, bool arrow_mark,
                                       WM_STYLE_SET* style_a, WM_STYLE_SET* style_b) {
  if (!text || !grid) return nullptr;
  INT_S16 x1, y1, x2, y2;
  new_cell_rectangle(&x1, &y1, &x2, &y2);
  if (separator_before) add_script();
  bool odd = (entry_serial & 1) != 0;
  WM_STYLE_SET* own = odd ? entry_style : &button_style;
  WM_STYLE_SET* a = style_a ? style_a : &button_style;
  WM_STYLE_SET* b = style_b ? style_b : entry_style;
  WM_MENU* entry = new (std::nothrow)
      WM_MENU(x1, y1, x2, y2, text, MENU_RIGHT, own, submenu_style ? submenu_style : &window_style, odd ? b : a,
              odd ? a : b, separator_style, up_arrow_style, down_arrow_style, nullptr, nullptr);
  if (!entry) return nullptr;
  entry->focusable = 0;
  if (arrow_mark && !(entry->button_flags & bf_right_arrow)) {
    if (entry->visible) entry->show();
    entry->button_flags |= bf_right_arrow;
  }
  entry->holder = owner && (owner->kind & WM_KIND_MENU) ? owner : this;
  if (entry->visible) entry->show();
  entry->click_behaviour = CLICK_AUTO_ACTIVATE;
  if (!grid->set_cell(0, entry_count, entry)) return nullptr;
  entry_count++;
  entry_serial++;
  if (entry->popup) entry->popup->min_client_width = grid->width;
  entry->place_popup();
  layout();
  if (entry->popup) entry->popup->hide(false, false);
  clear_press_states(entry);
  if (entry->visible) entry->show();
  return entry;
}

void WM_FLOATING_MENU::add_script() {
  if (!grid) return;
  INT_S16 saved_height = grid->default_row_height;
  WM_SCRIPT* separator = nullptr;
  INT_S32 row_height;
  if (!separator_style) {
    row_height = 3 - grid->style.y_spacing;
    grid->default_row_height = (INT_S16)(row_height < 1 ? 1 : row_height);
    INT_S16 x1, y1, x2, y2;
    new_cell_rectangle(&x1, &y1, &x2, &y2);
    separator = new (std::nothrow) WM_SCRIPT(1, nullptr, 0, 0);
    if (separator) {
      separator->init(x1, y1, x2, y2, "", -1, -1, -1, &own_style.bg_colour, &own_style.bg_colour, -1, -1, -1, -1, -1,
                      -1);
      separator->draw_background = 1;
      separator->border_type = 4;
      separator->shading_flags = 0x00FF;
      separator->draw_flags = SCRIPT_INDENT_BORDER;
    }
  } else {
    WM_FRAME* frame = separator_style->state_frames[0];
    INT_S32 frame_height = 0;
    if (frame) {
      IMAGE* parts[3] = {frame->top_mid, frame->mid_mid, frame->bottom_mid};
      for (IMAGE* part : parts)
        if (part) frame_height += part->height;
    }
    if (frame_height == 0) frame_height = style_row_height(&grid->style, nullptr);
    row_height = frame_height - grid->style.y_spacing;
    grid->default_row_height = (INT_S16)(row_height < 1 ? 1 : row_height);
    INT_S16 x1, y1, x2, y2;
    new_cell_rectangle(&x1, &y1, &x2, &y2);
    separator = new (std::nothrow) WM_SCRIPT(x1, y1, x2, y2, separator_style, "");
  }
  if (separator && grid->set_cell(0, entry_count, separator)) entry_count++;
  grid->default_row_height = saved_height < 1 ? (INT_S16)1 : saved_height;
  if (grid->scrollbar && grid->default_row_height / 2 > 0)
    grid->scrollbar->wheel_step = (INT_S16)(grid->default_row_height / 2);
}

// ---------------------------------------------------------------------------------------------------
// Layout

static bool is_separator(WM_SCREEN_OBJECT* object) { return object && (object->kind & WM_KIND_SCRIPT); }

// The text an entry shows: a button's label, a separator's text.
static const char* entry_text(WM_SCREEN_OBJECT* object) {
  if (!object) return nullptr;
  if (object->kind & WM_KIND_BUTTON) return static_cast<WM_BUTTON*>(object)->label;
  if (object->kind & WM_KIND_SCRIPT) {
    WM_SCRIPT* script = static_cast<WM_SCRIPT*>(object);
    return script->text.type == STRING_TYPE ? script->text.value.text : nullptr;
  }
  return nullptr;
}

static INT_S32 row_pitch(WM_GRID* grid, INT_S32 row) { return grid->rows[row]->height + grid->style.y_spacing; }

void WM_FLOATING_MENU::layout() {
  IMAGE* target = draw_target;
  WM_STYLE_SET& ws = window_style;
  WM_STYLE_SET& bs = button_style;
  INT_S32 frame = ws.border_left_gap + ws.border_right_gap + ws.cell_left_gap + ws.cell_right_gap;
  INT_S32 W = 0;
  if (title) {
    W = title->left_gap + title->right_gap;
    const char* text = get_title();
    if (text) W += text_width(target, title_style.font_id, title_style.font_x_sz, title_style.font_y_sz, text, -1, false);
  }
  W += ws.border_left_gap + ws.border_right_gap;
  INT_S16 work_left, work_top, work_right, work_bottom;
  get_work_area(&work_left, &work_top, &work_right, &work_bottom);
  INT_S32 H = style_vertical_gaps(&own_style) + client_top() + ws.border_bottom_gap;
  INT_S32 scrolled = grid && grid->overflows() ? grid->scroll_offset() : 0;
  INT_S32 remaining = scrolled;

  INT_S32 entry_gaps = (bs.border_left_gap != -1 ? bs.border_left_gap : border_width_of_type((INT_S32)bs.shading_type)) +
                       (bs.border_right_gap != -1 ? bs.border_right_gap : border_width_of_type((INT_S32)bs.shading_type)) +
                       style_horizontal_gaps(&own_style) + style_horizontal_cell_gaps(&own_style) + frame;
  first_visible = 0;
  INT_S32 last = -1;
  bool cut = false;
  for (INT_S32 i = 0; grid && i < entry_count && i < grid->row_count; i++) {
    INT_S32 h = row_pitch(grid, i);
    bool scrolled_off = remaining > 0;
    if (scrolled_off) {
      first_visible++;
      remaining -= h;
    }
    const char* text = entry_text(row_entry(this, i));
    INT_S32 need = (text ? text_width(target, bs.font_id, bs.font_x_sz, bs.font_y_sz, text, -1, false) : 0) + entry_gaps;
    if (need > W) W = need;
    if (scrolled_off || cut) continue;
    if (H + h <= work_bottom - work_top) {
      H += h;
      continue;
    }
    // The first row that does not fit ends the visible run; separators just above it go with it.
    cut = true;
    last = i - 1;
    while (last >= 0 && is_separator(row_entry(this, last))) {
      H -= row_pitch(grid, last);
      last--;
    }
  }
  if (!cut) last = entry_count;
  bool arrows = first_visible > 0 || last < entry_count;
  if (last >= entry_count) last = entry_count - 1;
  last_visible = (INT_S16)(last > 0 ? last : 0);
  if (W < frame + min_client_width) W = frame + min_client_width;
  // Never wider than the work area, where all of it can be seen: an entry too long for it is shortened.
  if (W > work_right - work_left + 1) W = work_right - work_left + 1;

  if (grid && arrows && first_visible < grid->row_count && is_separator(row_entry(this, first_visible))) {
    INT_S32 h = row_pitch(grid, first_visible);
    PARAMETER& scroll = grid->scroll_position;
    scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) - h);
    if (grid->visible) grid->sync_scroll();
    first_visible++;
    H -= h;
    scrolled = grid->scroll_offset();
  }

  WM_DIALOG::resize((INT_S16)W, (INT_S16)H, true);
  if (grid) {
    grid->resize((INT_S16)(width - frame), (INT_S16)(height - client_top() - ws.border_bottom_gap - ws.cell_bottom_gap),
                 true);
    if (arrows) {
      PARAMETER& scroll = grid->scroll_position;
      scroll.set_int(&scroll.value, scroll.get_int(&scroll.maximum) - scrolled);
      if (grid->visible) grid->sync_scroll();
    }
  }

  INT_S32 nx = x > work_left ? x : work_left, ny = y > work_top ? y : work_top;
  if (nx + width - 1 > work_right) nx = work_right - width + 1;
  if (ny + height - 1 > work_bottom) ny = work_bottom - height + 1;
  if (nx != x || ny != y) move_to((INT_S16)nx, (INT_S16)ny);
  place_arrows();
}

void WM_FLOATING_MENU::resize(INT_S16 new_width, INT_S16 new_height, bool) {
  if (new_width == width && new_height == height) return;
  layout();
}

void WM_FLOATING_MENU::set_title(const char* text) {
  if (title) title->set_text(text, false);
  layout();
}

// The focus object in a cell of a wholly visible row of the entry grid.
bool WM_FLOATING_MENU::entry_focused() { return grid && grid->find_focused_cell(nullptr, nullptr, false); }

// ---------------------------------------------------------------------------------------------------
// Scrolling arrows

// Empties a row's cell without deleting its object (which is hidden).
static void empty_cell(WM_GRID* grid, INT_S32 row) {
  if (row >= 0 && row < grid->row_count) WM_GRID_ROW::set_cell(grid->rows[row], 0, nullptr, false);
}

void WM_FLOATING_MENU::restore_entries() {
  if (!grid) return;
  WM_SCREEN_OBJECT** entries[2] = {&displaced_top, &displaced_bottom};
  INT_S16* rows[2] = {&displaced_top_row, &displaced_bottom_row};
  for (int k = 0; k < 2; k++) {
    WM_SCREEN_OBJECT* entry = *entries[k];
    if (!entry) continue;
    *entries[k] = nullptr;
    INT_S16 row = *rows[k];
    *rows[k] = 0;
    empty_cell(grid, row);
    if (grid->set_cell(0, row, entry)) entry->show();
  }
}

void WM_FLOATING_MENU::clear_entries() {
  restore_entries();
  if (grid) grid->clear(true);
  entry_count = entry_serial = 0;
  first_visible = last_visible = 0;
  layout();
}

// The arrow button over a row: made on first need, then put into the row in place of its entry.
static void cover_row(WM_FLOATING_MENU* menu, INT_S16 row, bool upper) {
  WM_GRID* grid = menu->grid;
  WM_BUTTON** arrow = upper ? &menu->up_arrow : &menu->down_arrow;
  // With one row in view the upper arrow already stands there: the lower one does not replace it.
  WM_SCREEN_OBJECT* there = grid->cell(0, row);
  if (there && (there == menu->up_arrow || there == menu->down_arrow)) return;
  if (upper) {
    menu->displaced_top = grid->cell(0, row);
    menu->displaced_top_row = row;
  } else {
    menu->displaced_bottom = grid->cell(0, row);
    menu->displaced_bottom_row = row;
  }
  empty_cell(grid, row);
  if (!*arrow) {
    INT_S16 x1, y1, x2, y2;
    menu->new_cell_rectangle(&x1, &y1, &x2, &y2);
    WM_STYLE_SET* style = upper ? menu->up_arrow_style : menu->down_arrow_style;
    if (!style) style = &menu->button_style;
    const char* text = (style->extended_flags & ssef_fm_hide_scrolling_arrows) ? "" : upper ? "^" : "v";
    *arrow = new (std::nothrow) WM_BUTTON(x1, y1, x2, y2, style, text, nullptr, WM_FLOATING_MENU::on_arrow,
                                          object_handle(menu), upper ? 1 : 0,
                                          BUTTON_EVENT_PRESS | BUTTON_EVENT_REPEAT);
    if (!*arrow) return;
    if ((*arrow)->visible) (*arrow)->show();
    (*arrow)->click_behaviour = CLICK_AUTO_ACTIVATE;
    (*arrow)->focusable = grid->keyboard_navigation;
  }
  WM_BUTTON* button = *arrow;
  // The cell is empty and the row exists: the grid takes the arrow. Should it refuse, the arrow (deleted
  // by the grid) is forgotten here.
  if (!grid->set_cell(0, row, button)) {
    *arrow = nullptr;
    return;
  }
  button->show();
}

void WM_FLOATING_MENU::place_arrows() {
  if (!grid) return;
  if (grid->row_count < 1 || !grid->overflows()) {
    restore_entries();
    return;
  }
  PARAMETER& scroll = grid->scroll_position;
  INT_S32 value = scroll.get_int(&scroll.value);
  if (!displaced_top && value != scroll.get_int(&scroll.maximum)) cover_row(this, first_visible, true);
  if (!displaced_bottom && value != 0) cover_row(this, last_visible, false);
}

WM_RESULT WM_FLOATING_MENU::on_arrow(WM_SCREEN_OBJECT*, INT_U32 menu_handle, INT_U32 direction, int) {
  WM_SCREEN_OBJECT* object = object_from_handle(menu_handle);
  if (!object || !(object->kind & WM_KIND_FLOATING_MENU)) return 0;
  WM_FLOATING_MENU* menu = static_cast<WM_FLOATING_MENU*>(object);
  WM_GRID* grid = menu->grid;
  if (!grid) return 0;
  menu->restore_entries();
  PARAMETER& scroll = grid->scroll_position;
  if (direction == 0) {
    if (menu->first_visible < grid->row_count) {
      scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) - row_pitch(grid, menu->first_visible));
      if (grid->visible) grid->sync_scroll();
    }
  } else {
    // Up by one entry: separators above it are passed in the same step; never above row 0.
    for (INT_S32 row = menu->first_visible - 1; row >= 0 && row < grid->row_count; row--) {
      scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) + row_pitch(grid, row));
      if (grid->visible) grid->sync_scroll();
      if (!is_separator(grid->cell(0, row))) break;
    }
  }
  menu->layout();
  if (scroll.get_int(&scroll.value) == scroll.get_int(&scroll.maximum) && menu->up_arrow) {
    clear_press_states(menu->up_arrow);
    menu->up_arrow->show();
  }
  if (scroll.get_int(&scroll.value) == 0 && menu->down_arrow) {
    clear_press_states(menu->down_arrow);
    menu->down_arrow->show();
  }
  return 0;
}
