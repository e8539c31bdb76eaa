// Text windows: a read-only multi-line text screen object that keeps the lines given to it in a ring (the
// last, or the first when it keeps its beginning), wraps them at word boundaries to its width, shows as many
// as fit with a scroll bar of its own once they overflow, and lets the user select text and click links.
// Record, rings, wrapping and files in text_win.cpp; input and drawing in text_win_draw.cpp.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "parameter.h"
#include "screen_object.h"
#include "style_set.h"
#include "text_draw.h"

#include <unordered_map>
#include <vector>

class FOLDER;
class IMAGE;
class WM_SCROLLBAR;

// One added line: owned copies of its text (no CR or LF) and its link text ("" for none).
struct TEXT_WIN_DATA_LINE {
  char* text;
  char* link;
  COLOUR colour;
};

// One wrapped display line: it points into its data line's text (which goes on to the data line's end)
// and shares its link; it owns nothing. Its bytes hold whole characters: a line that starts inside a run
// of wide characters starts at a group's digits, and says so.
struct TEXT_WIN_SCREEN_LINE {
  char* text;
  char* link;
  COLOUR colour;
  INT_S16 length;  // bytes
  INT_U8 in_run;   // the text starts inside a run of wide characters
};

// One character of a display line: its code (a surrogate pair's character above 0xFFFF), and the bytes
// where it starts and after it, each with the run state there.
struct TEXT_WIN_CHARACTER {
  INT_U32 code;
  INT_S32 start;
  bool start_in_run;
  INT_S32 end;
  bool end_in_run;
};

// WM_TEXT_WIN::drawing_flags.
enum : INT_U16 {
  TWF_INDENTED_BORDER = 0x0001,
  TWF_OUTSTANDING_BORDER = 0x0002,
  TWF_LEFT_JUSTIFY = 0x0004,
  TWF_RIGHT_JUSTIFY = 0x0008,
  TWF_TOP_ALIGN = 0x0010,
  TWF_BOTTOM_ALIGN = 0x0020,
  TWF_DARKENED_BACKGROUND = 0x0040,
  TWF_HFADING = 0x0080,
  TWF_VFADING = 0x0100,
  TWF_SHADOW_TEXT = 0x0200,
  TWF_INSET_TEXT = 0x0400,
  TWF_CHISELED_TEXT = 0x0800
};

// The most lines a text window's rings can hold (their indices are 16 bits).
const INT_S16 TEXT_WIN_MOST_LINES = 32767;

class WM_TEXT_WIN : public WM_SCREEN_OBJECT {
public:
  TEXT_WIN_DATA_LINE* data_buffer;      // ring of added lines
  TEXT_WIN_SCREEN_LINE* screen_buffer;  // ring of display lines, the same capacity
  WM_SCROLLBAR* scrollbar;              // a child; null until the lines overflow
  PARAMETER scroll_value;               // display lines scrolled back from the newest (maximum = the first)
  INT_S16 screen_next;
  INT_S16 screen_count;
  INT_S16 data_next;
  INT_S16 data_count;
  double slider_step;                   // pixels the slider shrinks per display line beyond a page
  INT_S16 page_last_row;                // display lines that fit, minus one
  INT_S16 capacity;
  char* clicked_link;                   // set only while the event callback runs for a link click
  INT_U8 show_from_start;               // every line added keeps the first line in view
  INT_U8 keeps_beginning;               // full rings take no more lines, rather than drop the oldest
  INT_U8 selectable;
  INT_U8 left_latch;
  INT_U8 right_latch;
  INT_U8 left_released;                 // which button ended the last click
  INT_U8 right_released;
  INT_S16 press_x;
  INT_S16 press_y;
  INT_S16 press_line;                   // -1 once a drag selection has begun
  INT_S16 selection_start_line;         // display-ring indices and character indices; all -1 = none
  INT_S16 selection_start_char;
  INT_S16 selection_end_line;
  INT_S16 selection_end_char;
  INT_S16 anchor_line;
  INT_S16 anchor_char;
  COLOUR background_colour;
  COLOUR gradient_colour;
  INT_S8 font_id;
  INT_S16 font_x_size;
  INT_S16 font_y_size;                  // also the line height
  INT_S16 gap_left;
  INT_S16 gap_right;
  INT_S16 gap_top;
  INT_S16 gap_bottom;
  INT_U16 drawing_flags;                // TWF_ bits
  INT_U16 shading;                      // border edges, rounded corners 0x10..0x80, 0x8000 indented
  WM_FRAME background;
  WM_STYLE_SET scrollbar_style;         // own copy; its scrollbar_button_width is the bar's width

  // Style form: look from the text style, the scroll bar from the second style.
  WM_TEXT_WIN(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, WM_STYLE_SET* style, WM_STYLE_SET* scrollbar_style,
              INT_S16 capacity, bool selectable, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2);
  // Colour form: no background, an indented border, left-justified text, margins of border width + gap,
  // and a scroll bar scrollbar_width wide in the given colours.
  WM_TEXT_WIN(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 gap, INT_S16 capacity, INT_S16 scrollbar_width,
              const COLOUR* active, const COLOUR* background, const COLOUR* foreground, bool selectable, bool visible,
              WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2);
  ~WM_TEXT_WIN() override;

  WM_RESULT process() override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  bool is_focusable() override;
  void draw() override;

  // The common body: -1 fonts take the draw target's, -1 gaps the border width + 5.
  void init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 capacity, bool selectable, const COLOUR* background,
            const COLOUR* gradient, INT_S8 font_id, INT_S16 font_x_size, INT_S16 font_y_size, INT_U16 drawing_flags,
            INT_U16 shading, WM_STYLE_SET* scrollbar_style, INT_S16 gap_left, INT_S16 gap_right, INT_S16 gap_top,
            INT_S16 gap_bottom);

  // Adds the text as lines (split at LF, CR and CR LF), each with the link text (null = "") and colour;
  // false for a null text, or when the lines overflow and may_add_scrollbar forbids the scroll bar.
  bool add_text(const char* text, const char* link, const COLOUR* colour, bool redraw, bool may_add_scrollbar);
  // Adds every line of a text file; true when at least one line was added.
  bool load_text_file(FOLDER* folder, const char* name, const COLOUR* colour);
  // Removes all lines, the selection and the scroll bar.
  void clear();
  // Rings of the new capacity (at least 1): the lines added stay, as many as it holds (the first ones
  // with keeps_beginning, else the newest), wrapped again.
  void set_capacity(INT_S16 new_capacity);
  bool set_background(const char* path_text, const char* name, WM_STYLE_SET* style);
  bool set_background(FOLDER* folder, const char* name, WM_STYLE_SET* style);
  void clear_background();
  bool has_background();
  // Rebuilds every display line from the data ring.
  void rewrap();
  // The height that shows every display line, as they are wrapped now, without a scroll bar.
  INT_S32 height_for_lines();
  // The scroll bar's event callback: redraws the window (user1 is the window's handle).
  static WM_RESULT on_scrollbar(WM_SCREEN_OBJECT* scrollbar, INT_U32 window, INT_U32 unused, int value);

  // Input and drawing (text_win_draw.cpp).
  void clear_selection();
  // The selected lines joined by single spaces, with a trailing space, at most size - 1 characters;
  // nothing is written for a null out or a size below 1.
  void get_selected_text(char* out, INT_S16 size);
  // Index of the character of the display line under the pixel column px.
  INT_S16 char_index_at(INT_S16 line, INT_S16 px);
  // The first display-ring slot shown and the number of slots the page shows.
  void page_span(INT_S16* first, INT_S16* count);
  // The display-ring slot of the row under py; -1 outside the shown lines unless clamp asks for the
  // nearest shown line.
  INT_S16 line_at(INT_S16 py, bool clamp);
  // Pixels the page's lines are moved down by their vertical alignment.
  INT_S32 vertical_offset();
  // The radius of the rounded box drawn with lines rows of text (beside the scroll bar or not): a third
  // of the smaller side, as boxes are drawn, no more than keeps the rows inside its arcs, clear of the
  // border; 0 when no rounded box is drawn.
  INT_S16 corner_radius_for(INT_S32 lines, bool beside_bar);

  // Width of the characters of a display line's first length bytes (read from in_run) in the window's font.
  INT_S32 measure(const char* text, INT_S32 length, bool in_run = false);
  // The advance of a character offset pixels from its display line's start (a tab's up to its stop).
  INT_S32 advance(INT_U32 code, INT_S32 offset);
  // The characters of a display line, in order.
  static std::vector<TEXT_WIN_CHARACTER> characters_of(const TEXT_WIN_SCREEN_LINE& line);

private:
  INT_S32 offset_of_rows(INT_S32 lines);
  INT_S16 scrollbar_inset(INT_S16 radius, INT_U8 corner);
  void scroll_by_keys();
  bool wrap_line(char* text, char* link, COLOUR colour, bool may_add_scrollbar);
  void draw_row(IMAGE* target, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* ink, const COLOUR* paper,
                const char* text, INT_S16 length, bool in_run, TEXT_FLAGS flags);
  void update_page_rows();
  INT_S16 line_height();
  INT_S32 available_width();
  void refresh_char_widths();
  INT_S32 measure_plain(const char* text, INT_S32 at, INT_S32 avail, INT_S32* width) const;
  INT_S16 char_widths[256];   // advance of each byte in the window's font, for wrapping and hit tests
  std::unordered_map<INT_U32, INT_S16> wide_widths;  // and of each wide character met
  const void* widths_font;    // the font slot and sizes the table was made for
  INT_S16 widths_x;
  INT_S16 widths_y;
  INT_U8 widths_ready;
};
