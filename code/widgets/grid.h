// Grids: screen objects arranged in rows of weighted cells inside a rectangle, rows made on demand, a
// vertical scroll position bound to a scroll bar at the right edge, a header row that can stay in place.
// The model, layout and scrolling are in grid.cpp, the drawing in grid_draw.cpp, the input and keyboard
// focus in grid_input.cpp.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "parameter.h"
#include "screen_object.h"
#include "style_set.h"

class FOLDER;
class WM_BUTTON;
class WM_IMAGE;
class WM_LIST_BOX;
class WM_SCRIPT;
class WM_SCROLLBAR;
struct WM_DIALOG_EFFECTS;

// Columns whose cells and column tables a row keeps inside its own record.
const INT_S16 GRID_ROW_INLINE_COLUMNS = 4;

// One row: its cells (owned objects) with their edges from the grid's left edge. A plain record, made
// zero-filled; never copied (its tables may point into itself).
struct WM_GRID_ROW {
  INT_U8 highlighted;
  WM_SCREEN_OBJECT** cells;
  INT_S16 cell_count;
  INT_S16 height;        // without y_spacing
  INT_S16 cell_top;
  INT_S16 cell_bottom;
  INT_S32 end;           // end of the previous row + height + y_spacing (32 bits: long lists pass 32767)
  INT_S16* left_wide;
  INT_S16* left_narrow;  // the narrow edges leave room for the scroll bar
  INT_S16* right_wide;
  INT_S16* right_narrow;
  INT_S16* weights;      // >= 0 a share of the free width, < 0 a fixed width of -w pixels
  INT_S16 last_cell_extension;
  // The cells and the five tables of a row of up to GRID_ROW_INLINE_COLUMNS columns, so that a long
  // list's row is one allocation; a wider row takes an array of cells and one block of the tables.
  WM_SCREEN_OBJECT* inline_cells[GRID_ROW_INLINE_COLUMNS];
  INT_S16 inline_tables[5 * GRID_ROW_INLINE_COLUMNS];

  // Takes count columns (cleared first when the count differs), copies the weights (null = all 1) and
  // lays the columns out.
  static void init(WM_GRID_ROW* row, INT_S16 row_width, INT_S16 count, const INT_S16* column_weights,
                   WM_STYLE_SET* style);
  static void layout_columns(WM_GRID_ROW* row, INT_S16 row_width, WM_STYLE_SET* style);
  // height includes y_spacing; never less than the cell gaps + 2.
  static void set_height(WM_GRID_ROW* row, INT_S16 new_height, WM_STYLE_SET* style);
  // False for a column outside the cells; the old object is hidden (and deleted with delete_old).
  static bool set_cell(WM_GRID_ROW* row, INT_S16 column, WM_SCREEN_OBJECT* object, bool delete_old);
  static void cell_rectangle(WM_GRID_ROW* row, INT_S16 column, bool narrow, INT_S16* x1, INT_S16* y1, INT_S16* x2,
                             INT_S16* y2);
  // Deletes the cells' objects, frees the tables; cell count 0, not highlighted.
  static void clear(WM_GRID_ROW* row);
};

// Directions of WM_GRID::next_focusable_cell.
enum : INT_U8 { GRID_LEFT = 0, GRID_RIGHT = 1, GRID_UP = 2, GRID_DOWN = 3 };

// Codes of WM_GRID::scroll_amount (the scroll bar's amount codes).
enum : INT_S32 { GRID_LINE_UP = 1, GRID_LINE_DOWN = 2, GRID_PAGE_UP = 3, GRID_PAGE_DOWN = 4 };

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
  INT_S16 rows_per_page;      // 0 = rows keep their heights
  WM_STYLE_SET style;         // own copy, defaults resolved
  WM_STYLE_SET scrollbar_style;
  INT_S16 two_tone_percentage;
  WM_FRAME base_frame;
  WM_FRAME highlighted_frame;
  WM_FRAME alternate_frame;
  INT_U8 keyboard_navigation;
  PARAMETER scroll_position;  // s32; value = maximum shows the top, value = minimum the bottom
  WM_SCROLLBAR* scrollbar;    // owned; made by the first drawing of an overflowing grid
  INT_S32 synchronised_value;
  INT_S32 synchronised_maximum;
  INT_S32 row_capacity;       // entries allocated in rows
  // The focus object as process last saw it (never dereferenced): the focus that the keyboard moves onto
  // a cell is brought into view once, when it arrives.
  WM_SCREEN_OBJECT* focus_seen;

  WM_GRID(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
          WM_STYLE_SET* style, WM_STYLE_SET* scrollbar_style);
  ~WM_GRID() override;

  // Virtual operations (grid_input.cpp: process, update, object_at, visit_focus_children; grid_draw.cpp:
  // render, draw).
  WM_RESULT process() override;
  WM_RESULT update(bool top_level) override;
  WM_SCREEN_OBJECT* object_at(INT_S16 px, INT_S16 py) override;
  void move_to(INT_S16 new_x, INT_S16 new_y) override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  void set_area(INT_S16 new_area) override;
  void add_child(WM_SCREEN_OBJECT* child, bool relative) override;
  void remove_child(WM_SCREEN_OBJECT* child, bool delete_child, bool make_relative) override;
  bool is_focusable() override;
  void render() override;
  void draw() override;
  bool visit_focus_children(WM_FOCUS_VISIT visit, void* walk) override;

  void init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns, const INT_S16* weights,
            WM_STYLE_SET* style, WM_STYLE_SET* scrollbar_style);
  // The cell's object; null outside the rows or the row's columns.
  WM_SCREEN_OBJECT* cell(INT_S32 column, INT_S32 row);
  // count > 0: the weights of rows made from now on (null = all 1).
  void set_columns(INT_S16 count, const INT_S16* weights);
  // Puts the object into the cell and places it; returns it. A cell that refuses it (a row below 0 or
  // past maximum_rows, a column outside the row, no memory) deletes it and returns null.
  WM_SCREEN_OBJECT* set_cell(INT_S16 column, INT_S16 row, WM_SCREEN_OBJECT* object);
  // Cell makers: the object built at the cell's rectangle and put into the cell; null when it cannot be
  // allocated or the cell refused (and deleted) it.
  WM_SCRIPT* add_script(INT_S16 column, INT_S16 row, const char* text, WM_STYLE_SET* script_style);
  // A button from a style set; flags is its event mask.
  WM_BUTTON* add_button(INT_S16 column, INT_S16 row, const char* text, WM_STYLE_SET* button_style,
                        WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2, INT_U8 flags);
  // A button in the grid's font showing only its text in c1 (its face is invisible), with the drawing
  // flags, callback and user values given; flags is its event mask.
  WM_BUTTON* add_text_button(INT_S16 column, INT_S16 row, const char* text, const COLOUR* c1, const COLOUR* c2,
                             INT_U32 drawing_flags, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                             INT_U8 flags);
  // An image object reporting presses and releases, its picture loaded from the file at the cell's size.
  WM_IMAGE* add_image(INT_S16 column, INT_S16 row, FOLDER* folder, const char* file_name, WM_EVENT_CALLBACK callback,
                      INT_U32 user1, INT_U32 user2);
  // A list box (list_box.cpp): the list box's 18-argument constructor without the corners.
  WM_LIST_BOX* add_list_box(INT_S16 column, INT_S16 row, INT_S16 ignored1, INT_S16 count, const char** texts,
                            INT_S16 selected, WM_STYLE_SET* button_style, WM_STYLE_SET* ignored2,
                            WM_STYLE_SET* popup_style, WM_STYLE_SET* ignored3, WM_STYLE_SET* even_entry_style,
                            int (*selection_callback)(WM_LIST_BOX*, INT_U32, INT_U32), INT_U32 selection_user1,
                            INT_U32 selection_user2, WM_STYLE_SET* odd_entry_style, WM_DIALOG_EFFECTS* effects);
  // A script in the grid's font; value becomes the script's drawing flags.
  WM_SCRIPT* add_text(INT_S16 column, INT_S16 row, const char* text, const COLOUR* fg, const COLOUR* bg,
                      INT_U32 value);
  // The cell's rectangle on the screen, also for a row not made yet; true when the row is among the
  // visible rows (or, not made yet, among the spare rows).
  bool cell_rectangle(INT_S16 column, INT_S16 row, INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2);
  // True and the cell holding the object; rows from 0 down (from_top) or from the last row up.
  bool find_object(WM_SCREEN_OBJECT* object, INT_S16* row, INT_S16* column, bool from_top);
  // The row takes a new height (without y_spacing, at least its cell gaps + 2); the rows after it move
  // with their objects and the scroll range follows, the view keeping its distance from the top. The
  // row's own objects stay as they are, for the caller to fit to the row.
  void resize_row(INT_S16 row, INT_S16 new_height);
  // The space between rows (the style's y_spacing) becomes spacing; the rows keep their heights and the
  // scroll range follows. The objects stay as they are, for the caller to place again.
  void set_row_spacing(INT_S16 spacing);
  // Removes rows first to last; the rows after them move up with their objects.
  void delete_rows(INT_S16 first, INT_S16 last);
  // Deletes the objects of rows first to last; the rows stay, empty.
  void clear_rows(INT_S16 first, INT_S16 last);
  // Deletes every row and the scroll bar; without keep_columns also the default columns, row height
  // and rows per page.
  void clear(bool keep_columns);
  bool row_span(INT_S16 row, INT_S32* top, INT_S32* bottom);
  bool row_fully_visible(INT_S32 row);
  void make_row_visible(INT_S16 row);
  // Brings the first and last visible rows in line with the scroll position.
  void sync_scroll();
  // Pixels of a scroll step (GRID_LINE_UP .. GRID_PAGE_DOWN); the scroll bar's amount callback (the
  // grid is the bar's first user value).
  INT_S32 scroll_amount(INT_S32 code);
  static int scroll_amount_callback(WM_SCROLLBAR* bar, int code);
  // (inner height + y_spacing) / row height; 0 for a height of 0 or less.
  INT_S16 rows_for_height(INT_S16 row_height);

  // Frames (grid_draw.cpp): copied from a style with frames, or loaded by name ("%s", "%s_highlighted",
  // "%s_alternate") from the path; true when the base frame is loaded. Without either, all three are
  // cleared.
  bool set_style(const char* path_text, const char* base_name, WM_STYLE_SET* frame_style);
  bool set_style_from_path(FOLDER* folder, const char* base_name, WM_STYLE_SET* frame_style);
  bool has_base_frame();
  void clear_frames();
  // The radius of the rounded corners a grid draws at a size: a third of its smaller side, 2 to 20 px.
  static INT_S16 rounded_corner_radius(INT_S16 drawn_width, INT_S16 drawn_height);
  // A grid that draws rounded corners (its plain background or border, no frames) at that size keeps its
  // entries as far from their arcs as from a straight edge: a side with a rounded corner gets a border
  // gap of at least the radius. Rows laid out from now on take the gaps.
  void keep_clear_of_rounded_corners(INT_S16 drawn_width, INT_S16 drawn_height);

  // Keyboard focus (grid_input.cpp). A cell holds the focus when its object or one of that object's
  // children is the focus object (a check box's focus is its box's).
  // True and the cell holding the focus object (rows not wholly visible only with any_row).
  bool find_focused_cell(INT_S16* column, INT_S16* row, bool any_row);
  // Steps from the cell in the direction to the first cell holding a visible (and with focusable_only,
  // focusable) object; out receives the last cell tried; the object or null.
  WM_SCREEN_OBJECT* next_focusable_cell(INT_U8 direction, INT_S16 column, INT_S16 row, INT_S16* out_column,
                                        INT_S16* out_row, bool focusable_only);
  // The cell's focusable object takes the focus and is scrolled into view.
  void focus_cell(INT_S16 column, INT_S16 row);
  // Scrolls by the least that shows the row whole (a row taller than the grid shows its top); nothing
  // for a row in view or not made.
  void bring_row_into_view(INT_S16 row);

  // Measures of the grid's own style.
  INT_S32 inner_height();
  // End of the last row less y_spacing; 0 without rows.
  INT_S32 content_height();
  // Rows present and taller than the inner height.
  bool overflows();
  // Top of a row from the top of the content (the end of the row before).
  INT_S32 row_top(INT_S32 row);
  // Distance scrolled down from the top: maximum - value of the scroll position.
  INT_S32 scroll_offset();
  // The last visible row from the first visible one and the scroll position.
  void find_last_visible();
  // Spare rows below the visible ones for the used height u: (inner - u) / default pitch, at least 0
  // (0 when the pitch is 0).
  INT_S32 spare_rows(INT_S32 used);
  // Spare pixels left when u and s spare rows of the default height are in place, at least 0.
  INT_S32 spare_pixels(INT_S32 used, INT_S32 spare);
  // The layout of a row not made yet: default columns and default row height. Free it with
  // WM_GRID_ROW::clear.
  void default_row_layout(WM_GRID_ROW* row);
  // Slider length and layout of the scroll bar after the content changed; shown again when visible.
  void size_scrollbar();
  void delete_scrollbar();
};
