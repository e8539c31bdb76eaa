// Grid input and focus: each pass's input and update handed to the cell objects of the visible rows (the
// header first), the object under the pointer, the scroll bar taking the wheel while the pointer is over
// the grid, the arrow keys moving the focus from cell to cell and the page keys scrolling.
#include "grid.h"

#include "host.h"
#include "scroll_bar.h"

// ---------------------------------------------------------------------------------------------------
// Focus

// The object is the focus object or holds it among its children.
static bool holds_focus(WM_SCREEN_OBJECT* object) {
  if (object == focus_object) return true;
  for (LLIST_NODE* node = object->children.head; node; node = node->next)
    if (holds_focus(static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node)))) return true;
  return false;
}

bool WM_GRID::find_focused_cell(INT_S16* column, INT_S16* row, bool any_row) {
  if (!focus_object) return false;
  for (INT_S32 r = 0; r < row_count; r++) {
    WM_GRID_ROW* record = rows[r];
    if (!record->cells) continue;
    for (INT_S16 c = 0; c < record->cell_count; c++) {
      if (!record->cells[c] || !holds_focus(record->cells[c])) continue;
      // An object sits in one cell only: a row not wholly visible ends the search.
      if (!any_row && !row_fully_visible(r)) return false;
      if (column) *column = c;
      if (row) *row = (INT_S16)r;
      return true;
    }
  }
  return false;
}

WM_SCREEN_OBJECT* WM_GRID::next_focusable_cell(INT_U8 direction, INT_S16 column, INT_S16 row, INT_S16* out_column,
                                               INT_S16* out_row, bool focusable_only) {
  if (direction > GRID_DOWN) return nullptr;
  INT_S32 c = column, r = row;
  for (;;) {
    switch (direction) {
      case GRID_RIGHT:
        if (r < 0 || r >= row_count || c + 1 >= rows[r]->cell_count) return nullptr;
        c++;
        break;
      case GRID_LEFT:
        if (c <= 0) return nullptr;
        c--;
        break;
      case GRID_UP:
        if (r <= 0) return nullptr;
        r--;
        break;
      default:
        if (r + 1 >= row_count) return nullptr;
        r++;
        break;
    }
    if (out_column) *out_column = (INT_S16)c;
    if (out_row) *out_row = (INT_S16)r;
    WM_SCREEN_OBJECT* object = cell(c, r);
    if (object && object->visible && (!focusable_only || object->is_focusable())) return object;
  }
}

void WM_GRID::focus_cell(INT_S16 column, INT_S16 row) {
  WM_SCREEN_OBJECT* object = cell(column, row);
  if (!object || !object->is_focusable()) return;
  INT_S16 reference = first_visible_row;
  INT_S16 focused_column = 0, focused_row = 0;
  if (find_focused_cell(&focused_column, &focused_row, false)) reference = focused_row;
  object->take_focus();
  if (!row_fully_visible(row)) {
    if (row > 0 && reference == 0) reference = 1;
    if (reference >= row_count) reference = (INT_S16)(row_count - 1);
    PARAMETER& scroll = scroll_position;
    scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) - (rows[row]->end - rows[reference]->end));
  }
}

void WM_GRID::bring_row_into_view(INT_S16 row) {
  if (row < 0 || row >= row_count || row_fully_visible(row) || !overflows()) return;
  // In content coordinates the view shows o + header to o + inner - 1, below a header that stays.
  INT_S32 header = (style.extended_flags & ssef_grid_fix_top_row) ? rows[0]->height : 0;
  INT_S32 o = scroll_offset(), top = row_top(row), bottom = top + rows[row]->height - 1;
  if (bottom - inner_height() + 1 > o) o = bottom - inner_height() + 1;
  if (top - header < o) o = top - header;
  PARAMETER& scroll = scroll_position;
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.maximum) - o);
  sync_scroll();
}

// ---------------------------------------------------------------------------------------------------
// Input

// The keyboard of a grid with navigation on: arrows move the focus between cells; page, Home, End and
// the arrows scroll while the grid's scroll bar takes the wheel.
static void handle_keys(WM_GRID* grid) {
  KEYBOARD_HANDLER keyboard;
  INT_S32 key = KEYBOARD_HANDLER::last_key;
  INT_S16 column = 0, row = 0;
  if (key >= VKEY_LEFT && key <= VKEY_DOWN && grid->find_focused_cell(&column, &row, false)) {
    keyboard.read_key();
    static const INT_U8 directions[4] = {GRID_LEFT, GRID_UP, GRID_RIGHT, GRID_DOWN};
    INT_S16 new_column = column, new_row = row;
    WM_SCREEN_OBJECT* found =
        grid->next_focusable_cell(directions[key - VKEY_LEFT], column, row, &new_column, &new_row, true);
    if (found) {
      found->take_focus();
      if (!grid->row_fully_visible(new_row)) {
        PARAMETER& scroll = grid->scroll_position;
        scroll.set_int(&scroll.value,
                       scroll.get_int(&scroll.value) - (grid->rows[new_row]->end - grid->rows[row]->end));
      }
    }
    return;
  }
  if (!grid->scrollbar || scroll_wheel_target != grid->scrollbar) return;
  PARAMETER& scroll = grid->scroll_position;
  INT_S32 value = scroll.get_int(&scroll.value);
  bool control = keyboard.is_key_down(VKEY_LCONTROL) || keyboard.is_key_down(VKEY_RCONTROL);
  switch (key) {
    case VKEY_PRIOR: value += grid->scroll_amount(GRID_PAGE_UP); break;
    case VKEY_NEXT: value -= grid->scroll_amount(GRID_PAGE_DOWN); break;
    case VKEY_END: value = scroll.get_int(&scroll.minimum); break;
    case VKEY_HOME: value = scroll.get_int(&scroll.maximum); break;
    case VKEY_UP: value += grid->scroll_amount(control ? GRID_PAGE_UP : GRID_LINE_UP); break;
    case VKEY_DOWN: value -= grid->scroll_amount(control ? GRID_PAGE_DOWN : GRID_LINE_DOWN); break;
    default: return;
  }
  keyboard.read_key();
  scroll.set_int(&scroll.value, value);
  if (grid->visible) grid->show();
}

// Columns of a row, 0 for a row that is gone (a callback may have emptied the grid meanwhile).
static INT_S16 columns_of(WM_GRID* grid, INT_S32 row) {
  return row >= 0 && row < grid->row_count && grid->rows[row]->cells ? grid->rows[row]->cell_count : 0;
}

// An object asked for input unless its middle lies at or below the inner bottom edge (a cell taller than
// the inner height is always asked).
static bool takes_input(WM_GRID* grid, WM_SCREEN_OBJECT* object) {
  if (!object->visible) return false;
  INT_S32 bottom = grid->y + grid->height - grid->style.border_bottom_gap - 1;
  if (object->y + object->height / 2 < bottom) return true;
  return object->height > grid->inner_height();
}

// Asks the cells a pass reaches for input (input) or their update: the fixed top row while the grid is
// scrolled away from it, then the visible rows, until one answers or a callback deletes the grid. Input
// skips the cells that do not take it.
static WM_RESULT serve_cells(WM_GRID* grid, const WM_DELETE_GUARD& guard, bool input) {
  WM_RESULT result = 0;
  if ((grid->style.extended_flags & ssef_grid_fix_top_row) && grid->first_visible_row != 0 && grid->row_count > 0) {
    for (INT_S16 c = 0; result == 0 && c < columns_of(grid, 0); c++) {
      WM_SCREEN_OBJECT* object = grid->cell(c, 0);
      if (!object) continue;
      result = input ? object->process() : object->update(false);
      if (guard.deleted) return result;
    }
  }
  for (INT_S32 r = grid->first_visible_row; result == 0 && r <= grid->last_visible_row && r < grid->row_count; r++) {
    for (INT_S16 c = 0; result == 0 && c < columns_of(grid, r); c++) {
      WM_SCREEN_OBJECT* object = grid->cell(c, r);
      if (!object || (input && !takes_input(grid, object))) continue;
      result = input ? object->process() : object->update(false);
      if (guard.deleted) return result;
    }
  }
  return result;
}

WM_RESULT WM_GRID::process() {
  if (!visible) return 0;
  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (guard.deleted) return result;
  if (scrollbar && contains_point(MOUSE_HANDLER::pointer_x, MOUSE_HANDLER::pointer_y) &&
      scroll_wheel_target != scrollbar) {
    MOUSE_HANDLER::wheel_notches = 0;
    scroll_wheel_target = scrollbar;
  }
  // The focus that the keyboard moved onto a cell (Tab, the arrows) comes into view, so that the person
  // sees what Space or Enter then works; one that a click gave stays where it was clicked.
  if (focus_object != focus_seen) {
    focus_seen = focus_object;
    INT_S16 column = 0, row = 0;
    if (focus_visible && find_focused_cell(&column, &row, true)) bring_row_into_view(row);
  }
  if (keyboard_navigation) handle_keys(this);
  if (result == 0 && scrollbar) {
    result = scrollbar->process();
    if (guard.deleted) return result;
  }
  if (result == 0) {
    result = serve_cells(this, guard, true);
    if (guard.deleted) return result;
  }
  sync_scroll();
  return result;
}

WM_RESULT WM_GRID::update(bool top_level) {
  if (!visible) return 0;
  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_SCREEN_OBJECT::update(top_level);
  if (guard.deleted) return result;
  if (result == 0 && scrollbar) {
    result = scrollbar->update(false);
    if (guard.deleted) return result;
  }
  if (result == 0) {
    result = serve_cells(this, guard, false);
    if (guard.deleted) return result;
  }
  sync_scroll();
  return result;
}

// The children, then the cells of every row in reading order: Tab reaches the cells scrolled out of view
// too, and process brings the one it reaches into view.
bool WM_GRID::visit_focus_children(WM_FOCUS_VISIT visit, void* walk) {
  if (!WM_SCREEN_OBJECT::visit_focus_children(visit, walk)) return false;
  for (INT_S16 row = 0; row < row_count; row++) {
    for (INT_S16 column = 0; column < rows[row]->cell_count; column++)
      if (!visit(cell(column, row), walk)) return false;
  }
  return true;
}

WM_SCREEN_OBJECT* WM_GRID::object_at(INT_S16 px, INT_S16 py) {
  if (!visible || !contains_point(px, py)) return nullptr;
  WM_SCREEN_OBJECT* found = this;
  if (scrollbar) {
    WM_SCREEN_OBJECT* deeper = scrollbar->object_at(px, py);
    if (deeper) found = deeper;
  }
  for (INT_S32 r = first_visible_row; r <= last_visible_row && r < row_count; r++) {
    for (INT_S16 c = 0; rows[r]->cells && c < rows[r]->cell_count; c++) {
      WM_SCREEN_OBJECT* object = rows[r]->cells[c];
      WM_SCREEN_OBJECT* deeper = object ? object->object_at(px, py) : nullptr;
      if (deeper) found = deeper;
    }
  }
  if ((style.extended_flags & ssef_grid_fix_top_row) && first_visible_row != 0 && row_count > 0) {
    for (INT_S16 c = 0; rows[0]->cells && c < rows[0]->cell_count; c++) {
      WM_SCREEN_OBJECT* object = rows[0]->cells[c];
      WM_SCREEN_OBJECT* deeper = object ? object->object_at(px, py) : nullptr;
      if (deeper) found = deeper;
    }
  }
  return found;
}

void WM_GRID::set_area(INT_S16 new_area) {
  WM_SCREEN_OBJECT::set_area(new_area);
  if (scrollbar) scrollbar->set_area(new_area);
  for (INT_S32 r = 0; r < row_count; r++)
    for (INT_S16 c = 0; rows[r]->cells && c < rows[r]->cell_count; c++)
      if (rows[r]->cells[c]) rows[r]->cells[c]->set_area(new_area);
}
