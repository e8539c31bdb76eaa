// Grids: rows of weighted cells made on demand, their column layout and heights, placing objects into
// cells, the visible rows and the focused cell that the page manager's focus walk reads.
#include "grid.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "border.h"
#include "image.h"
#include "image_cache.h"

// ---------------------------------------------------------------------------------------------------
// Rows

static INT_S16* new_table(INT_S16 count) {
  INT_S16* table = new (std::nothrow) INT_S16[(size_t)(count > 0 ? count : 1)];
  if (table) std::memset(table, 0, sizeof(INT_S16) * (size_t)(count > 0 ? count : 1));
  return table;
}

void WM_GRID_ROW::init(WM_GRID_ROW* row, INT_S16 row_width, INT_S16 count, const INT_S16* column_weights,
                       WM_STYLE_SET* style) {
  if (row->cell_count != count) {
    clear(row);
    row->cell_count = count;
  }
  if (count < 1) return;
  if (!row->cells) {
    row->cells = new (std::nothrow) WM_SCREEN_OBJECT*[(size_t)count];
    if (row->cells) std::memset(row->cells, 0, sizeof(WM_SCREEN_OBJECT*) * (size_t)count);
  }
  INT_S16** tables[5] = {&row->left_wide, &row->left_narrow, &row->right_wide, &row->right_narrow, &row->weights};
  for (INT_S16** table : tables)
    if (!*table) *table = new_table(count);
  if (row->weights)
    for (INT_S16 i = 0; i < count; i++) row->weights[i] = column_weights ? column_weights[i] : 1;
  layout_columns(row, row_width, style);
}

void WM_GRID_ROW::layout_columns(WM_GRID_ROW* row, INT_S16 row_width, WM_STYLE_SET* style) {
  if (row->cell_count < 1 || !row->weights || !row->left_wide || !row->left_narrow || !row->right_wide ||
      !row->right_narrow)
    return;
  INT_S32 L = style->border_left_gap, R = style->border_right_gap, cl = style->cell_left_gap,
          cr = style->cell_right_gap, xs = style->x_spacing, sw = style->grid_scrollbar_width;
  INT_S32 total = 0, fixed = 0;
  for (INT_S16 i = 0; i < row->cell_count; i++) {
    INT_S32 w = row->weights[i];
    if (w >= 0) total += w;
    else fixed += cr + cl + xs - w;
  }
  INT_S32 available = row_width - (L + R);
  INT_S32 weight_before = 0, fixed_before = 0;
  for (INT_S16 i = 0; i < row->cell_count; i++) {
    INT_S32 share_wide = total ? weight_before * (available - fixed) / total : 0;
    INT_S32 share_narrow = total ? weight_before * (available - fixed - sw) / total : 0;
    row->left_wide[i] = (INT_S16)(xs / 2 + fixed_before + share_wide + L + cl);
    row->left_narrow[i] = (INT_S16)(xs / 2 + fixed_before + share_narrow + L + cl);
    if (i > 0) {
      row->right_wide[i - 1] = (INT_S16)(row->left_wide[i] - (cr + cl + xs) - 1);
      row->right_narrow[i - 1] = (INT_S16)(row->left_narrow[i] - (cr + cl + xs) - 1);
    }
    INT_S32 w = row->weights[i];
    if (w >= 0) weight_before += w;
    else fixed_before += cr + cl + xs - w;
  }
  row->right_wide[row->cell_count - 1] = (INT_S16)(row_width - R - cr - 1);
  row->right_narrow[row->cell_count - 1] = (INT_S16)(row_width - R - cr - sw - 2);
}

void WM_GRID_ROW::set_height(WM_GRID_ROW* row, INT_S16 new_height, WM_STYLE_SET* style) {
  INT_S32 h = new_height - style->y_spacing;
  INT_S32 least = style->cell_top_gap + 2 + style->cell_bottom_gap;
  if (h < least) h = least;
  row->end = (INT_S16)(row->end + (h - row->height));
  row->height = (INT_S16)h;
  row->cell_top = style->cell_top_gap;
  row->cell_bottom = (INT_S16)(h - style->cell_bottom_gap - 1);
}

bool WM_GRID_ROW::set_cell(WM_GRID_ROW* row, INT_S16 column, WM_SCREEN_OBJECT* object, bool delete_old) {
  if (!row->cells || column < 0 || column >= row->cell_count) return false;
  WM_SCREEN_OBJECT* old = row->cells[column];
  if (old && old != object) {
    old->hide(false, false);
    if (delete_old) delete old;
  }
  row->cells[column] = object;
  return true;
}

void WM_GRID_ROW::cell_rectangle(WM_GRID_ROW* row, INT_S16 column, bool narrow, INT_S16* x1, INT_S16* y1,
                                 INT_S16* x2, INT_S16* y2) {
  if (column < 0 || column >= row->cell_count || !row->left_wide) {
    *x1 = *y1 = *x2 = *y2 = 0;
    return;
  }
  *x1 = narrow ? row->left_narrow[column] : row->left_wide[column];
  *x2 = narrow ? row->right_narrow[column] : row->right_wide[column];
  if (column == row->cell_count - 1) *x2 = (INT_S16)(*x2 + row->last_cell_extension);
  *y1 = row->cell_top;
  *y2 = row->cell_bottom;
}

void WM_GRID_ROW::clear(WM_GRID_ROW* row) {
  if (row->cells)
    for (INT_S16 i = 0; i < row->cell_count; i++) delete row->cells[i];
  delete[] row->cells;
  row->cells = nullptr;
  INT_S16** tables[5] = {&row->left_wide, &row->left_narrow, &row->right_wide, &row->right_narrow, &row->weights};
  for (INT_S16** table : tables) {
    delete[] *table;
    *table = nullptr;
  }
  row->cell_count = 0;
  row->highlighted = 0;
}

// ---------------------------------------------------------------------------------------------------
// The grid

WM_GRID::WM_GRID(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
                 WM_STYLE_SET* grid_style, WM_STYLE_SET* grid_scrollbar_style)
    : WM_SCREEN_OBJECT(grid_style ? grid_style->visible : (INT_U8)1, nullptr, 0, 0), rows(nullptr), row_count(0),
      first_visible_row(0), last_visible_row(-1), maximum_rows(1024), default_weights(nullptr),
      default_column_count(0), default_row_height(0), rows_per_page(0), two_tone_percentage(20),
      base_frame(&*image_cache), highlighted_frame(&*image_cache), alternate_frame(&*image_cache),
      keyboard_navigation(0), scrollbar(nullptr), synchronised_value(-1), synchronised_maximum(-1) {
  init(x1, y1, x2, y2, columns, weights, grid_style, grid_scrollbar_style);
}

WM_GRID::~WM_GRID() {
  clear(false);
  base_frame.clear();
  highlighted_frame.clear();
  alternate_frame.clear();
}

void WM_GRID::init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
                   WM_STYLE_SET* grid_style, WM_STYLE_SET* grid_scrollbar_style) {
  rows = nullptr;
  default_weights = nullptr;
  scrollbar = nullptr;
  maximum_rows = 1024;
  clear(false);
  if (grid_style) WM_STYLE_SET::copy(&style, grid_style);
  IMAGE* target = draw_target;
  if ((INT_U8)style.font_id == 255 && target) style.font_id = target->default_font_id;
  if (style.font_x_sz == -1 && target) style.font_x_sz = target->default_font_x_size;
  if (style.font_y_sz == -1 && target) style.font_y_sz = target->default_font_y_size;
  INT_S16 border_gap =
      (INT_S16)(1 + ((style.flags & ssf_draw_border) ? border_width_of_type((INT_S32)style.shading_type) : 0));
  INT_S16* border_gaps[4] = {&style.border_left_gap, &style.border_right_gap, &style.border_top_gap,
                             &style.border_bottom_gap};
  for (INT_S16* gap : border_gaps)
    if (*gap == -1) *gap = border_gap;
  INT_S16* cell_gaps[4] = {&style.cell_left_gap, &style.cell_right_gap, &style.cell_top_gap, &style.cell_bottom_gap};
  for (INT_S16* gap : cell_gaps)
    if (*gap == -1) *gap = 0;
  x = x1;
  y = y1;
  width = (INT_S16)(x2 - x1 + 1);
  height = (INT_S16)(y2 - y1 + 1);
  if (grid_scrollbar_style) WM_STYLE_SET::copy(&scrollbar_style, grid_scrollbar_style);
  two_tone_percentage = grid_style ? grid_style->grid_two_tone_value : (INT_S16)20;
  keyboard_navigation = 0;
  if (width < 2 || height < 2) width = height = 6;
  if (columns > 0) set_columns(columns, weights);
  border_type = (INT_S32)style.shading_type;
  kind |= WM_KIND_GRID;
  call_screen_object_created_hook(this);
}

bool WM_GRID::is_focusable() { return false; }

WM_SCREEN_OBJECT* WM_GRID::cell(INT_S32 column, INT_S32 row) {
  if (row < 0 || row >= row_count || !rows[row]) return nullptr;
  WM_GRID_ROW* r = rows[row];
  if (column < 0 || column >= r->cell_count || !r->cells) return nullptr;
  return r->cells[column];
}

void WM_GRID::set_columns(INT_S16 count, const INT_S16* weights) {
  if (count <= 0) return;
  delete[] default_weights;
  default_weights = new_table(count);
  if (!default_weights) {
    default_column_count = 0;
    return;
  }
  for (INT_S16 i = 0; i < count; i++) default_weights[i] = weights ? weights[i] : 1;
  default_column_count = count;
}

INT_S32 WM_GRID::inner_height() { return height - style.border_top_gap - style.border_bottom_gap; }

INT_S32 WM_GRID::content_height() { return row_count > 0 ? rows[row_count - 1]->end - style.y_spacing : 0; }

bool WM_GRID::overflows() { return row_count > 0 && content_height() > inner_height(); }

// Algorithms of the visible rows: the last row from the first visible one whose top is inside.
static void find_last_visible(WM_GRID* grid) {
  if (grid->row_count < 1) {
    grid->last_visible_row = -1;
    return;
  }
  bool overflow = grid->overflows();
  INT_S32 offset = overflow ? grid->scroll_position.get_int(&grid->scroll_position.maximum) -
                                  grid->scroll_position.get_int(&grid->scroll_position.value)
                            : 0;
  INT_S16 f = grid->first_visible_row;
  INT_S32 top_f = f > 0 ? grid->rows[f - 1]->end : 0;
  INT_S32 d = overflow ? top_f - offset : 0;
  grid->last_visible_row = f;
  for (INT_S16 r = f; r < grid->row_count; r++) {
    INT_S32 top = r > 0 ? grid->rows[r - 1]->end : 0;
    if (top - top_f + d <= grid->inner_height()) grid->last_visible_row = r;
  }
}

WM_SCREEN_OBJECT* WM_GRID::set_cell(INT_S16 column, INT_S16 row, WM_SCREEN_OBJECT* object) {
  if (row < 0 || (maximum_rows != -1 && row >= maximum_rows)) return nullptr;
  if (row >= row_count) {
    WM_GRID_ROW** grown = new (std::nothrow) WM_GRID_ROW*[(size_t)row + 1];
    if (!grown) return nullptr;
    for (INT_S16 k = 0; k < row_count; k++) grown[k] = rows[k];
    INT_S16 made = 0;
    for (INT_S16 k = row_count; k <= row; k++) {
      WM_GRID_ROW* r = new (std::nothrow) WM_GRID_ROW();
      if (!r) {
        for (INT_S16 j = row_count; j < k; j++) delete grown[j];
        delete[] grown;
        return nullptr;
      }
      std::memset(r, 0, sizeof(*r));
      WM_GRID_ROW::set_height(r, (INT_S16)(default_row_height + style.y_spacing), &style);
      WM_GRID_ROW::init(r, width, default_column_count, default_weights, &style);
      r->end = (INT_S16)(r->height + style.y_spacing + (k > 0 ? grown[k - 1]->end : 0));
      grown[k] = r;
      made++;
    }
    delete[] rows;
    rows = grown;
    row_count = (INT_S16)(row + 1);
    INT_S32 maximum = content_height() - inner_height();
    scroll_position.set_int(&scroll_position.maximum, maximum > 0 ? maximum : 0);
    scroll_position.set_int(&scroll_position.value, scroll_position.get_int(&scroll_position.value) +
                                                          (default_row_height + style.y_spacing) * made);
    find_last_visible(this);
  }
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  if (object) {
    object->set_area(area);
    object->resize((INT_S16)(x2 - x1 + 1), (INT_S16)(y2 - y1 + 1), true);
    object->move_to(x1, y1);
  }
  if (visible) show();
  if (!WM_GRID_ROW::set_cell(rows[row], column, object, true)) return nullptr;
  return object;
}

bool WM_GRID::cell_rectangle(INT_S16 column, INT_S16 row, INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2) {
  if (row < 0 || row >= row_count) {
    *x1 = *y1 = *x2 = *y2 = 0;
    return false;
  }
  WM_GRID_ROW* r = rows[row];
  WM_GRID_ROW::cell_rectangle(r, column, scrollbar != nullptr, x1, y1, x2, y2);
  INT_S32 top_first = first_visible_row > 0 ? rows[first_visible_row - 1]->end : 0;
  INT_S32 offset = (row > 0 ? rows[row - 1]->end : 0) - top_first;
  *x1 = (INT_S16)(*x1 + x);
  *x2 = (INT_S16)(*x2 + x);
  *y1 = (INT_S16)(*y1 + y + offset);
  *y2 = (INT_S16)(*y2 + y + offset);
  return row >= first_visible_row && row <= last_visible_row;
}

void WM_GRID::clear(bool keep_columns) {
  for (INT_S16 i = 0; i < row_count; i++) {
    WM_GRID_ROW::clear(rows[i]);
    delete rows[i];
  }
  delete[] rows;
  rows = nullptr;
  scrollbar = nullptr;
  if (!keep_columns) {
    delete[] default_weights;
    default_weights = nullptr;
    default_column_count = 0;
    default_row_height = 0;
    rows_per_page = 0;
  }
  row_count = 0;
  first_visible_row = 0;
  last_visible_row = -1;
  scroll_position.set_int(&scroll_position.maximum, 0);
  scroll_position.set_int(&scroll_position.value, 0);
  synchronised_value = synchronised_maximum = 0;
  if (visible) show();
}

bool WM_GRID::row_span(INT_S16 row, INT_S32* top, INT_S32* bottom) {
  if (row < 0 || row >= row_count) return false;
  INT_S32 t = y + style.border_top_gap + (row > 0 ? rows[row - 1]->end : 0);
  if (overflows())
    t -= scroll_position.get_int(&scroll_position.maximum) - scroll_position.get_int(&scroll_position.value);
  *top = t;
  *bottom = t + rows[row]->height - 1;
  return true;
}

bool WM_GRID::row_fully_visible(INT_S32 row) {
  if (!visible || row < 0 || row >= row_count) return false;
  INT_S32 top = 0, bottom = 0;
  row_span((INT_S16)row, &top, &bottom);
  INT_S32 limit = y + style.border_top_gap;
  if (style.extended_flags & ssef_grid_fix_top_row) limit += rows[0]->height;
  return top >= limit && bottom <= y + height - style.border_bottom_gap - 1;
}

bool WM_GRID::find_focused_cell(INT_S16* column, INT_S16* row, bool any_row) {
  if (!focus_object) return false;
  for (INT_S16 r = 0; r < row_count; r++) {
    if (!any_row && !row_fully_visible(r)) continue;
    for (INT_S16 c = 0; c < rows[r]->cell_count; c++)
      if (rows[r]->cells && rows[r]->cells[c] == focus_object) {
        if (column) *column = c;
        if (row) *row = r;
        return true;
      }
  }
  return false;
}
