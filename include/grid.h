// Grids: screen objects arranged in rows of weighted cells inside a rectangle, rows made on demand, a
// vertical scroll position. The window manager walks a grid's cells for the keyboard focus; the widgets
// complete its drawing, input and scrolling.
#pragma once
#include "types.h"
#include "frame.h"
#include "parameter.h"
#include "screen_object.h"
#include "style_set.h"

class WM_SCROLLBAR;

// One row: its cells (owned objects) with their edges from the grid's left edge.
struct WM_GRID_ROW {
  INT_U8 highlighted;
  WM_SCREEN_OBJECT** cells;
  INT_S16 cell_count;
  INT_S16 height;        // without y_spacing
  INT_S16 cell_top;
  INT_S16 cell_bottom;
  INT_S16 end;           // end of the previous row + height + y_spacing
  INT_S16* left_wide;
  INT_S16* left_narrow;  // the narrow edges leave room for the scroll bar
  INT_S16* right_wide;
  INT_S16* right_narrow;
  INT_S16* weights;      // >= 0 a share of the free width, < 0 a fixed width of -w pixels
  INT_S16 last_cell_extension;

  static void init(WM_GRID_ROW* row, INT_S16 row_width, INT_S16 count, const INT_S16* column_weights,
                   WM_STYLE_SET* style);
  static void layout_columns(WM_GRID_ROW* row, INT_S16 row_width, WM_STYLE_SET* style);
  // height includes y_spacing.
  static void set_height(WM_GRID_ROW* row, INT_S16 new_height, WM_STYLE_SET* style);
  static bool set_cell(WM_GRID_ROW* row, INT_S16 column, WM_SCREEN_OBJECT* object, bool delete_old);
  static void cell_rectangle(WM_GRID_ROW* row, INT_S16 column, bool narrow, INT_S16* x1, INT_S16* y1, INT_S16* x2,
                             INT_S16* y2);
  static void clear(WM_GRID_ROW* row);
};

class WM_GRID : public WM_SCREEN_OBJECT {
public:
  WM_GRID_ROW** rows;
  INT_S16 row_count;
  INT_S16 first_visible_row;
  INT_S16 last_visible_row;   // -1 = none
  INT_S32 maximum_rows;       // 1024 after init; -1 = no limit
  INT_S16* default_weights;
  INT_S16 default_column_count;
  INT_S16 default_row_height; // without y_spacing
  INT_S16 rows_per_page;
  WM_STYLE_SET style;
  WM_STYLE_SET scrollbar_style;
  INT_S16 two_tone_percentage;
  WM_FRAME base_frame;
  WM_FRAME highlighted_frame;
  WM_FRAME alternate_frame;
  INT_U8 keyboard_navigation;
  PARAMETER scroll_position;  // s32; value = maximum shows the top
  WM_SCROLLBAR* scrollbar;
  INT_S32 synchronised_value;
  INT_S32 synchronised_maximum;

  WM_GRID(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
          WM_STYLE_SET* style, WM_STYLE_SET* scrollbar_style);
  ~WM_GRID() override;

  bool is_focusable() override;

  void init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
            WM_STYLE_SET* style, WM_STYLE_SET* scrollbar_style);
  // The cell's object; null outside the rows or the row's columns.
  WM_SCREEN_OBJECT* cell(INT_S32 column, INT_S32 row);
  void set_columns(INT_S16 count, const INT_S16* weights);
  // Puts the object into the cell and places it; the object, or null when refused.
  WM_SCREEN_OBJECT* set_cell(INT_S16 column, INT_S16 row, WM_SCREEN_OBJECT* object);
  bool cell_rectangle(INT_S16 column, INT_S16 row, INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2);
  void clear(bool keep_columns);
  bool row_span(INT_S16 row, INT_S32* top, INT_S32* bottom);
  bool row_fully_visible(INT_S32 row);
  // True and the cell holding the focus object (rows not wholly visible only with any_row).
  bool find_focused_cell(INT_S16* column, INT_S16* row, bool any_row);

  // Inner height, content height, scroll offset.
  INT_S32 inner_height();
  INT_S32 content_height();
  bool overflows();
};
