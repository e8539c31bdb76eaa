// Grids: rows of weighted cells made on demand with their column layout and heights, placing objects into
// cells, the cell makers, deleting and clearing rows, the scroll position with the visible rows, scroll
// amounts, and moving, resizing and the area of the grid with its cells.
#include "grid.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "border.h"
#include "button.h"
#include "image.h"
#include "image_object.h"
#include "image_cache.h"
#include "script.h"

// ---------------------------------------------------------------------------------------------------
// Rows

void WM_GRID_ROW::init(WM_GRID_ROW* row, INT_S16 row_width, INT_S16 count, const INT_S16* column_weights,
                       WM_STYLE_SET* style) {
  if (row->cell_count != count) {
    clear(row);
    row->cell_count = count;
  }
  if (count < 1) return;
  if (!row->cells) {
    // The cells and the five column tables live in the record, or a wider row's in two zeroed arrays
    // (the cells, and one block of the tables).
    size_t n = (size_t)count;
    INT_S16* tables;
    if (count <= GRID_ROW_INLINE_COLUMNS) {
      std::memset(row->inline_cells, 0, sizeof row->inline_cells);
      std::memset(row->inline_tables, 0, sizeof row->inline_tables);
      row->cells = row->inline_cells;
      tables = row->inline_tables;
    } else {
      WM_SCREEN_OBJECT** cells = new (std::nothrow) WM_SCREEN_OBJECT*[n]();
      tables = new (std::nothrow) INT_S16[5 * n]();
      if (!cells || !tables) {
        delete[] cells;
        delete[] tables;
        return;
      }
      row->cells = cells;
    }
    row->left_wide = tables;
    row->left_narrow = tables + n;
    row->right_wide = tables + 2 * n;
    row->right_narrow = tables + 3 * n;
    row->weights = tables + 4 * n;
  }
  if (row->weights != column_weights)
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
  row->end += h - row->height;
  row->height = (INT_S16)h;
  row->cell_top = style->cell_top_gap;
  row->cell_bottom = (INT_S16)(h - style->cell_bottom_gap - 1);
}

bool WM_GRID_ROW::set_cell(WM_GRID_ROW* row, INT_S16 column, WM_SCREEN_OBJECT* object, bool delete_old) {
  if (!row->cells || column < 0 || column >= row->cell_count) return false;
  WM_SCREEN_OBJECT* old = row->cells[column];
  row->cells[column] = object;
  if (old && old != object) {
    old->hide(false, false);
    if (delete_old) delete old;
  }
  return true;
}

void WM_GRID_ROW::cell_rectangle(WM_GRID_ROW* row, INT_S16 column, bool narrow, INT_S16* x1, INT_S16* y1,
                                 INT_S16* x2, INT_S16* y2) {
  if (column < 0 || column >= row->cell_count || !row->left_wide || !row->left_narrow || !row->right_wide ||
      !row->right_narrow) {
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
    for (INT_S16 i = 0; i < row->cell_count; i++) {
      WM_SCREEN_OBJECT* object = row->cells[i];
      row->cells[i] = nullptr;
      delete object;
    }
  // The column tables live in the record with the cells, or in a block of their own that left_wide
  // begins.
  if (row->cells != row->inline_cells) {
    delete[] row->cells;
    delete[] row->left_wide;
  }
  row->cells = nullptr;
  row->left_wide = row->left_narrow = row->right_wide = row->right_narrow = row->weights = nullptr;
  row->cell_count = 0;
  row->highlighted = 0;
}

// ---------------------------------------------------------------------------------------------------
// Construction

WM_GRID::WM_GRID(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
                 WM_STYLE_SET* grid_style, WM_STYLE_SET* grid_scrollbar_style)
    : WM_SCREEN_OBJECT(grid_style ? grid_style->visible : (INT_U8)1, nullptr, 0, 0), rows(nullptr), row_count(0),
      first_visible_row(0), last_visible_row(-1), maximum_rows(1024), default_weights(nullptr),
      default_column_count(0), default_row_height(0), rows_per_page(0), two_tone_percentage(20),
      base_frame(&*image_cache), highlighted_frame(&*image_cache), alternate_frame(&*image_cache),
      keyboard_navigation(0), scrollbar(nullptr), synchronised_value(-1), synchronised_maximum(-1),
      row_capacity(0), focus_seen(nullptr) {
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
  row_capacity = 0;
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
  set_style(style.image_path, style.image_filename, &style);
  border_type = (INT_S32)style.shading_type;
  kind |= WM_KIND_GRID;
  call_screen_object_created_hook(this);
}

bool WM_GRID::is_focusable() { return false; }

// ---------------------------------------------------------------------------------------------------
// Measures

INT_S32 WM_GRID::inner_height() { return height - style.border_top_gap - style.border_bottom_gap; }

INT_S32 WM_GRID::content_height() { return row_count > 0 ? rows[row_count - 1]->end - style.y_spacing : 0; }

bool WM_GRID::overflows() { return row_count > 0 && content_height() > inner_height(); }

INT_S32 WM_GRID::row_top(INT_S32 row) { return row > 0 && row <= row_count ? rows[row - 1]->end : 0; }

INT_S32 WM_GRID::scroll_offset() {
  return scroll_position.get_int(&scroll_position.maximum) - scroll_position.get_int(&scroll_position.value);
}

INT_S16 WM_GRID::rows_for_height(INT_S16 row_height) {
  if (row_height <= 0) return 0;
  return (INT_S16)((inner_height() + style.y_spacing) / row_height);
}

INT_S32 WM_GRID::spare_rows(INT_S32 used) {
  INT_S32 pitch = default_row_height + style.y_spacing;
  if (pitch <= 0) return 0;  // a zero row height with no spacing has no spare rows
  INT_S32 s = (inner_height() - used) / pitch;
  return s > 0 ? s : 0;
}

INT_S32 WM_GRID::spare_pixels(INT_S32 used, INT_S32 spare) {
  INT_S32 taken = used;
  if (spare > 0) taken += spare * default_row_height + (spare - 1) * style.y_spacing;
  INT_S32 p = inner_height() - taken;
  return p > 0 ? p : 0;
}

void WM_GRID::default_row_layout(WM_GRID_ROW* row) {
  std::memset(row, 0, sizeof(*row));
  WM_GRID_ROW::set_height(row, (INT_S16)(default_row_height + style.y_spacing), &style);
  WM_GRID_ROW::init(row, width, default_column_count, default_weights, &style);
}

void WM_GRID::find_last_visible() {
  if (row_count < 1) {
    last_visible_row = -1;
    return;
  }
  if (first_visible_row >= row_count) first_visible_row = (INT_S16)(row_count - 1);
  if (first_visible_row < 0) first_visible_row = 0;
  bool overflow = overflows();
  INT_S32 top_first = row_top(first_visible_row);
  INT_S32 d = overflow ? top_first - scroll_offset() : 0;
  INT_S32 inner = inner_height();
  last_visible_row = first_visible_row;
  // Row tops only grow: the walk ends at the first row that starts below the inner area.
  for (INT_S32 r = first_visible_row + 1; r < row_count; r++) {
    if (row_top(r) - top_first + d > inner) break;
    last_visible_row = (INT_S16)r;
  }
}

// ---------------------------------------------------------------------------------------------------
// Cells

WM_SCREEN_OBJECT* WM_GRID::cell(INT_S32 column, INT_S32 row) {
  if (row < 0 || row >= row_count || !rows[row]) return nullptr;
  WM_GRID_ROW* r = rows[row];
  if (column < 0 || column >= r->cell_count || !r->cells) return nullptr;
  return r->cells[column];
}

void WM_GRID::set_columns(INT_S16 count, const INT_S16* weights) {
  if (count <= 0) return;
  INT_S16* table = new (std::nothrow) INT_S16[(size_t)count];
  if (!table) return;
  for (INT_S16 i = 0; i < count; i++) table[i] = weights ? weights[i] : 1;
  delete[] default_weights;
  default_weights = table;
  default_column_count = count;
}

// Makes the rows from row_count up to row; false (the grid unchanged) when memory is short.
static bool make_rows(WM_GRID* grid, INT_S16 row) {
  INT_S32 needed = row + 1;
  if (needed > grid->row_capacity) {
    INT_S32 capacity = grid->row_capacity < 16 ? 16 : grid->row_capacity * 2;
    if (capacity < needed) capacity = needed;
    WM_GRID_ROW** grown = new (std::nothrow) WM_GRID_ROW*[(size_t)capacity];
    if (!grown) return false;
    for (INT_S16 k = 0; k < grid->row_count; k++) grown[k] = grid->rows[k];
    delete[] grid->rows;
    grid->rows = grown;
    grid->row_capacity = capacity;
  }
  WM_STYLE_SET* style = &grid->style;
  INT_S16 old_count = grid->row_count;
  for (INT_S32 k = old_count; k <= row; k++) {
    WM_GRID_ROW* r = new (std::nothrow) WM_GRID_ROW();
    if (!r) {
      for (INT_S32 j = old_count; j < k; j++) {
        WM_GRID_ROW::clear(grid->rows[j]);
        delete grid->rows[j];
      }
      return false;
    }
    std::memset(r, 0, sizeof(*r));
    WM_GRID_ROW::set_height(r, (INT_S16)(grid->default_row_height + style->y_spacing), style);
    WM_GRID_ROW::init(r, grid->width, grid->default_column_count, grid->default_weights, style);
    r->end = r->height + style->y_spacing + (k > 0 ? grid->rows[k - 1]->end : 0);
    grid->rows[k] = r;
  }
  if (grid->last_visible_row == -1) grid->last_visible_row = 0;
  grid->row_count = (INT_S16)(row + 1);
  INT_S32 maximum = grid->content_height() - grid->inner_height();
  PARAMETER& scroll = grid->scroll_position;
  scroll.set_int(&scroll.maximum, maximum > 0 ? maximum : 0);
  // The value grows with the rows made, so the view keeps its distance from the top.
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) +
                                    (grid->default_row_height + style->y_spacing) * (row + 1 - old_count));
  grid->find_last_visible();
  return true;
}

// The object takes the cell's rectangle: resized (children too), then moved to its top-left corner.
static void place(WM_GRID* grid, WM_SCREEN_OBJECT* object, INT_S16 column, INT_S16 row) {
  INT_S16 x1, y1, x2, y2;
  grid->cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  object->resize((INT_S16)(x2 - x1 + 1), (INT_S16)(y2 - y1 + 1), true);
  object->move_to(x1, y1);
}

// set_cell. placed: the object (one that resizing and moving to its own rectangle leaves alone) stands
// at the rectangle cell_rectangle gave for the cell just before; while the row already exists, putting
// the object in moves no cell, so it is not measured and placed a second time.
static WM_SCREEN_OBJECT* put_in_cell(WM_GRID* grid, INT_S16 column, INT_S16 row, WM_SCREEN_OBJECT* object,
                                     bool placed) {
  // The row count is 16 bits: the last index it can count is 32766.
  bool refused = row < 0 || row >= 32767 || (grid->maximum_rows != -1 && row >= grid->maximum_rows);
  bool overflowed = grid->overflows();
  bool row_made = row < grid->row_count;
  if (!refused && !row_made && !make_rows(grid, row)) refused = true;
  if (refused) {
    delete object;
    return nullptr;
  }
  // The rows above lose their spare pixels once the grid overflows.
  if (!overflowed && grid->overflows())
    for (INT_S16 r = 0; r < row; r++)
      for (INT_S16 c = 0; c < grid->rows[r]->cell_count; c++)
        if (grid->rows[r]->cells && grid->rows[r]->cells[c]) place(grid, grid->rows[r]->cells[c], c, r);
  if (object) {
    object->set_area(grid->area);
    if (grid->visible) grid->show();
    if (!(placed && row_made)) place(grid, object, column, row);
  }
  if (grid->scrollbar) grid->size_scrollbar();
  if (!WM_GRID_ROW::set_cell(grid->rows[row], column, object, true)) {
    delete object;
    return nullptr;
  }
  return object;
}

WM_SCREEN_OBJECT* WM_GRID::set_cell(INT_S16 column, INT_S16 row, WM_SCREEN_OBJECT* object) {
  return put_in_cell(this, column, row, object, false);
}

// A button built at a cell's rectangle stands there unless it sized itself to its label.
static bool stands_at(WM_BUTTON* button, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  return button->x == x1 && button->y == y1 && button->width == x2 - x1 + 1 && button->height == y2 - y1 + 1;
}

WM_SCRIPT* WM_GRID::add_script(INT_S16 column, INT_S16 row, const char* text, WM_STYLE_SET* script_style) {
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  WM_SCRIPT* script = new (std::nothrow) WM_SCRIPT(x1, y1, x2, y2, script_style, text);
  if (!script) return nullptr;
  return static_cast<WM_SCRIPT*>(set_cell(column, row, script));
}

WM_BUTTON* WM_GRID::add_button(INT_S16 column, INT_S16 row, const char* text, WM_STYLE_SET* button_style,
                               WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2, INT_U8 flags) {
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  WM_BUTTON* button =
      new (std::nothrow) WM_BUTTON(x1, y1, x2, y2, button_style, text, nullptr, callback, user1, user2, flags);
  if (!button) return nullptr;
  return static_cast<WM_BUTTON*>(put_in_cell(this, column, row, button, stands_at(button, x1, y1, x2, y2)));
}

WM_BUTTON* WM_GRID::add_text_button(INT_S16 column, INT_S16 row, const char* text, const COLOUR* c1,
                                    const COLOUR* c2, INT_U32 drawing_flags, WM_EVENT_CALLBACK callback,
                                    INT_U32 user1, INT_U32 user2, INT_U8 flags) {
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  WM_BUTTON* button = new (std::nothrow) WM_BUTTON(x1, y1, x2, y2, c2, c1, text, style.font_id, style.font_x_sz,
                                                   style.font_y_sz, CLICK_NORMAL, drawing_flags, 0, callback, user1,
                                                   user2, 1, BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK);
  if (!button) return nullptr;
  // Only the text shows: the face is left undrawn.
  button->background_colour = COLOUR_INVISIBLE;
  button->event_mask = flags;
  return static_cast<WM_BUTTON*>(put_in_cell(this, column, row, button, stands_at(button, x1, y1, x2, y2)));
}

WM_IMAGE* WM_GRID::add_image(INT_S16 column, INT_S16 row, FOLDER* folder, const char* file_name,
                             WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2) {
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  INT_S16 w = (INT_S16)(x2 - x1 + 1), h = (INT_S16)(y2 - y1 + 1);
  WM_IMAGE* picture = new (std::nothrow) WM_IMAGE(x1, y1, w, h, 1, callback, user1, user2, 0x3);
  if (!picture) return nullptr;
  picture->image.load(folder, file_name, w, h);
  return static_cast<WM_IMAGE*>(set_cell(column, row, picture));
}

WM_SCRIPT* WM_GRID::add_text(INT_S16 column, INT_S16 row, const char* text, const COLOUR* fg, const COLOUR* bg,
                             INT_U32 value) {
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  WM_SCRIPT* script = new (std::nothrow) WM_SCRIPT(1, nullptr, 0, 0);
  if (!script) return nullptr;
  script->draw_flags = value;
  script->init(x1, y1, x2, y2, text, style.font_id, style.font_x_sz, style.font_y_sz, fg, bg, -1, -1, -1, -1, -1, -1);
  return static_cast<WM_SCRIPT*>(set_cell(column, row, script));
}

static INT_S16 clamp16(INT_S32 v) { return (INT_S16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

bool WM_GRID::cell_rectangle(INT_S16 column, INT_S16 row, INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2) {
  if (row < 0) {
    *x1 = *y1 = *x2 = *y2 = 0;
    return false;
  }
  bool made = row < row_count;
  WM_GRID_ROW layout;
  WM_GRID_ROW* r = rows && made ? rows[row] : &layout;
  if (!made) default_row_layout(&layout);
  INT_S16 cx1, cy1, cx2, cy2;
  WM_GRID_ROW::cell_rectangle(r, column, scrollbar != nullptr, &cx1, &cy1, &cx2, &cy2);
  if (!made) WM_GRID_ROW::clear(&layout);

  INT_S32 pitch = default_row_height + style.y_spacing;
  INT_S32 top_first = row_top(first_visible_row);
  INT_S32 offset;
  if (made) offset = row_top(row) - top_first;
  else if (last_visible_row >= 0) offset = rows[last_visible_row]->end - top_first + (row - last_visible_row - 1) * pitch;
  else offset = row * pitch;

  // Spare rows and pixels while the grid does not overflow.
  INT_S32 extra_height = 0, spare = 0;
  if (!overflows()) {
    INT_S32 v = last_visible_row >= 0 ? last_visible_row - first_visible_row + 1 : 0;
    INT_S32 used = last_visible_row >= 0 ? rows[last_visible_row]->end - top_first : 0;
    spare = spare_rows(used);
    INT_S32 p = spare_pixels(used, spare);
    INT_S32 n = v + spare > 1 ? v + spare : 1;
    INT_S32 i = row - first_visible_row;
    if (i >= 0) {
      extra_height = p / n + (i < p % n ? 1 : 0);
      offset += p / n * i + (i < p % n ? i : p % n);
    }
  }
  *x1 = clamp16(cx1 + x);
  *x2 = clamp16(cx2 + x);
  *y1 = clamp16(cy1 + y + offset);
  *y2 = clamp16(cy2 + y + offset + extra_height);
  if (made) return row >= first_visible_row && row <= last_visible_row;
  return !overflows() && row <= last_visible_row + spare;
}

bool WM_GRID::find_object(WM_SCREEN_OBJECT* object, INT_S16* row, INT_S16* column, bool from_top) {
  if (!object) return false;
  for (INT_S32 i = 0; i < row_count; i++) {
    INT_S32 r = from_top ? i : row_count - 1 - i;
    WM_GRID_ROW* record = rows[r];
    if (!record->cells) continue;
    for (INT_S16 c = 0; c < record->cell_count; c++)
      if (record->cells[c] == object) {
        if (row) *row = (INT_S16)r;
        if (column) *column = c;
        return true;
      }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Deleting and clearing rows

void WM_GRID::delete_rows(INT_S16 first, INT_S16 last) {
  if (first < 0 || first > last || last >= row_count) return;
  WM_GRID_ROW** old_rows = rows;
  INT_S16 old_count = row_count;
  INT_S16 saved_row_height = default_row_height;
  // Taken out of the grid, so that clearing the grid leaves the old rows alone.
  rows = nullptr;
  row_count = 0;
  row_capacity = 0;
  clear(true);
  INT_S16 n = 0;
  for (INT_S16 k = 0; k < old_count; k++) {
    if (k >= first && k <= last) continue;
    WM_GRID_ROW* old = old_rows[k];
    if (old->cells) set_columns(old->cell_count, old->weights);
    default_row_height = old->height;
    for (INT_S16 c = 0; c < old->cell_count && old->cells; c++) {
      WM_SCREEN_OBJECT* object = old->cells[c];
      if (!object) continue;
      old->cells[c] = nullptr;
      set_cell(c, n, object);
    }
    n++;
  }
  for (INT_S16 k = 0; k < old_count; k++) {
    WM_GRID_ROW::clear(old_rows[k]);
    delete old_rows[k];
  }
  default_row_height = saved_row_height;
  delete[] old_rows;
  if (visible) show();
}

void WM_GRID::clear_rows(INT_S16 first, INT_S16 last) {
  for (INT_S32 r = first; r >= 0 && r < row_count && r <= last; r++) {
    WM_GRID_ROW::clear(rows[r]);
    WM_GRID_ROW::init(rows[r], width, default_column_count, default_weights, &style);
  }
  if (visible) show();
}

void WM_GRID::clear(bool keep_columns) {
  for (INT_S32 i = 0; i < row_count; i++) {
    WM_GRID_ROW::clear(rows[i]);
    delete rows[i];
  }
  delete[] rows;
  rows = nullptr;
  row_capacity = 0;
  row_count = 0;
  delete_scrollbar();
  if (!keep_columns) {
    delete[] default_weights;
    default_weights = nullptr;
    default_column_count = 0;
    default_row_height = 0;
    rows_per_page = 0;
  }
  first_visible_row = 0;
  last_visible_row = -1;
  scroll_position.set_int(&scroll_position.maximum, 0);
  scroll_position.set_int(&scroll_position.value, 0);
  synchronised_value = synchronised_maximum = 0;
  if (visible) show();
}

// ---------------------------------------------------------------------------------------------------
// Visible rows and scrolling

bool WM_GRID::row_span(INT_S16 row, INT_S32* top, INT_S32* bottom) {
  if (row < 0 || row >= row_count) return false;
  INT_S32 t = y + style.border_top_gap + row_top(row);
  if (overflows()) t -= scroll_offset();
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

// The scroll value changed by delta (the parameter keeps it within its limits).
static void change_scroll_value(WM_GRID* grid, INT_S32 delta) {
  PARAMETER& scroll = grid->scroll_position;
  scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) + delta);
}

void WM_GRID::make_row_visible(INT_S16 row) {
  if (row < 0 || row >= row_count) return;
  INT_S16 reference = row < first_visible_row ? first_visible_row : last_visible_row;
  if (reference < 0 || reference >= row_count) reference = 0;
  if (!row_fully_visible(row)) {
    change_scroll_value(this, -(rows[row]->end - rows[reference]->end));
    if (!row_fully_visible(row)) change_scroll_value(this, -rows[row]->height);
  }
  if (visible) sync_scroll();
}

// The scroll range after the rows changed their heights or spacing; the view keeps its distance from the
// top, and the grid is shown again.
static void follow_content(WM_GRID* grid) {
  PARAMETER& scroll = grid->scroll_position;
  INT_S32 old_maximum = scroll.get_int(&scroll.maximum);
  INT_S32 maximum = grid->content_height() - grid->inner_height();
  if (maximum < 0) maximum = 0;
  scroll.set_int(&scroll.maximum, maximum);
  change_scroll_value(grid, maximum - old_maximum);
  grid->synchronised_value = grid->synchronised_maximum = -1;
  grid->sync_scroll();
  if (grid->visible) grid->show();
}

void WM_GRID::resize_row(INT_S16 row, INT_S16 new_height) {
  if (row < 0 || row >= row_count) return;
  INT_S32 before = rows[row]->height;
  WM_GRID_ROW::set_height(rows[row], (INT_S16)(new_height + style.y_spacing), &style);
  INT_S32 delta = rows[row]->height - before;
  if (delta == 0) return;
  for (INT_S32 r = row + 1; r < row_count; r++) {
    rows[r]->end += delta;
    for (INT_S16 c = 0; rows[r]->cells && c < rows[r]->cell_count; c++)
      if (WM_SCREEN_OBJECT* object = rows[r]->cells[c]) object->move_to(object->x, (INT_S16)(object->y + delta));
  }
  follow_content(this);
}

void WM_GRID::set_row_spacing(INT_S16 spacing) {
  if (spacing == style.y_spacing) return;
  style.y_spacing = spacing;
  INT_S32 end = 0;
  for (INT_S32 r = 0; r < row_count; r++) rows[r]->end = end += rows[r]->height + spacing;
  follow_content(this);
}

void WM_GRID::sync_scroll() {
  if (row_count < 1) return;
  INT_S32 value = scroll_position.get_int(&scroll_position.value);
  INT_S32 maximum = scroll_position.get_int(&scroll_position.maximum);
  if (value == synchronised_value && maximum == synchronised_maximum) return;
  INT_S16 focus_column = 0, focus_row = 0;
  bool focused = find_focused_cell(&focus_column, &focus_row, true);
  synchronised_value = value;
  synchronised_maximum = maximum;
  INT_S32 o = maximum - value;
  INT_S32 f = first_visible_row;
  if (f >= row_count) f = row_count - 1;
  if (f < 0) f = 0;
  if (f >= 1 && rows[f - 1]->end > o) {
    while (f >= 1 && rows[f - 1]->end > o) f--;
  } else {
    // A row that ends at the offset is wholly scrolled away: the next one is the first visible.
    while (f < row_count - 1 && rows[f]->end <= o) f++;
  }
  first_visible_row = (INT_S16)f;
  find_last_visible();
  // A focused cell scrolled out of view hands the focus to the nearest wholly visible row's cell.
  if (focused && visible && !row_fully_visible(focus_row)) {
    INT_S32 first = first_visible_row, last = last_visible_row;
    bool upper_half = focus_row <= first + (last - first) / 2;
    INT_S32 step = upper_half ? 1 : -1;
    for (INT_S32 r = focus_row + step; r >= 0 && r < row_count; r += step) {
      if (!row_fully_visible(r)) continue;
      WM_SCREEN_OBJECT* object = cell(focus_column, r);
      if (object) object->take_focus();
      break;
    }
  }
  if (visible) show();
}

INT_S32 WM_GRID::scroll_amount(INT_S32 code) {
  if (row_count < 1) return 0;
  INT_S32 o = scroll_offset();
  INT_S32 f = first_visible_row < row_count ? (first_visible_row > 0 ? first_visible_row : 0) : row_count - 1;
  while (f < row_count - 1 && rows[f]->end <= o) f++;
  INT_S32 E = rows[f]->end, H = rows[f]->height, ysp = style.y_spacing;
  INT_S32 d = o - (E - H - ysp);
  INT_S32 inner = inner_height();
  switch (code) {
    case GRID_LINE_UP:
      if (d != 0) return d;
      return f > 0 ? rows[f - 1]->height + ysp : 0;
    case GRID_LINE_DOWN:
      return H + ysp - d;
    case GRID_PAGE_UP: {
      INT_S32 k = f;
      while (k > 0 && rows[k - 1]->end >= E - inner + 1) k--;
      return E - rows[k]->end + d;
    }
    case GRID_PAGE_DOWN: {
      INT_S32 k = f;
      while (k < row_count && rows[k]->end < E - 1 + inner) k++;
      if (k == row_count) k = row_count - 1;
      return row_top(k) - E - d;
    }
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------------------------
// Geometry, area and children

void WM_GRID::move_to(INT_S16 new_x, INT_S16 new_y) {
  if (new_x == x && new_y == y) return;
  INT_S32 dx = new_x - x, dy = new_y - y;
  for (INT_S32 r = 0; r < row_count; r++)
    for (INT_S16 c = 0; c < rows[r]->cell_count && rows[r]->cells; c++) {
      WM_SCREEN_OBJECT* object = rows[r]->cells[c];
      if (object) object->move_to((INT_S16)(object->x + dx), (INT_S16)(object->y + dy));
    }
  for (LLIST_NODE* node = children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    child->move_to((INT_S16)(child->x + dx), (INT_S16)(child->y + dy));
  }
  if (visible) invalidate();
  x = new_x;
  y = new_y;
  if (visible) invalidate();
}

void WM_GRID::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  if (new_width == width && new_height == height) return;
  WM_SCREEN_OBJECT::resize(new_width, new_height, resize_children);
  delete_scrollbar();
  if (rows_per_page != 0) {
    INT_S32 h = (inner_height() + style.y_spacing) / rows_per_page - style.y_spacing;
    default_row_height = (INT_S16)(h < 1 ? 1 : h);
  }
  // The rows take their new heights and columns before the scroll range is measured, so that the
  // maximum matches the content the rows now make.
  for (INT_S32 r = 0; r < row_count; r++) {
    WM_GRID_ROW* row = rows[r];
    if (rows_per_page != 0) {
      WM_GRID_ROW::set_height(row, (INT_S16)(default_row_height + style.y_spacing), &style);
      row->end = row_top(r) + row->height + style.y_spacing;
    }
    WM_GRID_ROW::layout_columns(row, width, &style);
  }
  if (row_count > 0) {
    INT_S32 old_maximum = scroll_position.get_int(&scroll_position.maximum);
    INT_S32 maximum = content_height() - inner_height();
    scroll_position.set_int(&scroll_position.maximum, maximum > 0 ? maximum : 0);
    if (old_maximum != scroll_position.get_int(&scroll_position.maximum) && visible) show();
    synchronised_value = synchronised_maximum = -1;
    sync_scroll();
  }
  find_last_visible();
}

void WM_GRID::add_child(WM_SCREEN_OBJECT* child, bool relative) { WM_SCREEN_OBJECT::add_child(child, relative); }

void WM_GRID::remove_child(WM_SCREEN_OBJECT* child, bool delete_child, bool make_relative) {
  INT_S16 row = 0, column = 0;
  if (child && find_object(child, &row, &column, true)) {
    rows[row]->cells[column] = nullptr;
    child->hide(false, false);
    if (delete_child) delete child;
    return;
  }
  WM_SCREEN_OBJECT::remove_child(child, delete_child, make_relative);
}
