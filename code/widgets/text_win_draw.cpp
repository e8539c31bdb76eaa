// Text window input and drawing: which display line lies under the pointer, selection by dragging, link
// clicks that call the event callback, the selected text, the scrolling keys, and painting the
// background and border (rounded no more than the rows allow), lines and selection.
#include "text_win.h"

#include <cstring>
#include <string>
#include <vector>

#include "click_sound.h"
#include "draw.h"
#include "font.h"
#include "host.h"
#include "image.h"
#include "screen_object_draw.h"
#include "scroll_bar.h"
#include "text_draw.h"
#include "velk_string.h"

void WM_TEXT_WIN::clear_selection() {
  selection_start_line = selection_start_char = selection_end_line = selection_end_char = -1;
  if (visible) show();
}

// ---------------------------------------------------------------------------------------------------
// Lines of the page

void WM_TEXT_WIN::page_span(INT_S16* first, INT_S16* count) {
  INT_S32 rows = page_last_row + 1;
  INT_S32 oldest = screen_count < capacity ? 0 : screen_next;
  if (screen_count <= rows) {
    // Everything fits: from the oldest line, in ring order, each shown once.
    *first = (INT_S16)oldest;
    *count = screen_count;
    return;
  }
  INT_S32 back = scroll_value.get_int(&scroll_value.value);
  if (back < 0) back = 0;
  if (back > screen_count - rows) back = screen_count - rows;
  INT_S32 f = (screen_next - rows - back) % capacity;
  if (f < 0) f += capacity;
  *first = (INT_S16)f;
  *count = (INT_S16)rows;
}

// The rows of the page that hold a line.
static INT_S32 lines_shown(WM_TEXT_WIN* window) {
  INT_S16 first, count;
  window->page_span(&first, &count);
  INT_S32 lines = 0;
  for (INT_S32 row = 0; row < count; row++)
    if (window->screen_buffer[(first + row) % window->capacity].text) lines++;
  return lines;
}

INT_S32 WM_TEXT_WIN::offset_of_rows(INT_S32 lines) {
  if (drawing_flags & TWF_TOP_ALIGN) return 0;
  INT_S32 spare = height - (gap_top + gap_bottom) - lines * line_height();
  if (drawing_flags & TWF_BOTTOM_ALIGN) return spare;
  return spare / 2;
}

INT_S32 WM_TEXT_WIN::vertical_offset() { return offset_of_rows(lines_shown(this)); }

// ---------------------------------------------------------------------------------------------------
// Rounded corners

// The width of the border drawn around the box, 0 for none.
static INT_S32 ring_width(WM_TEXT_WIN* window) {
  if (!(window->drawing_flags & (TWF_INDENTED_BORDER | TWF_OUTSTANDING_BORDER))) return 0;
  return window->border_width(1);
}

// The corners (bits of draw_shaded_box) of the rounded box the window draws: none under a background
// frame or with nothing drawn.
static INT_U8 rounded_corners(WM_TEXT_WIN* window) {
  if (window->has_background()) return 0;
  bool drawn = (window->drawing_flags & TWF_DARKENED_BACKGROUND) || (window->background_colour >> 24) != 0 ||
               ring_width(window) > 0;
  return drawn ? (INT_U8)((window->shading >> 4) & 0x0F) : (INT_U8)0;
}

// The pixel dx, dy from a corner of radius r lies inside its arc, a pixel clear of a border of ring
// pixels.
static bool inside_arc(INT_S32 r, INT_S32 dx, INT_S32 dy, INT_S32 ring) {
  if (dx >= r || dy >= r) return true;
  INT_S32 a = r - dx, b = r - dy, c = r - ring - 1;
  return c > 0 && a * a + b * b <= c * c;
}

INT_S16 WM_TEXT_WIN::corner_radius_for(INT_S32 lines, bool beside_bar) {
  INT_U8 corners = rounded_corners(this);
  if (!corners) return 0;
  INT_S32 r = corner_radius(nullptr, 0, 0, (INT_S16)(width - 1), (INT_S16)(height - 1));
  if (lines < 1) return (INT_S16)r;
  INT_S32 ring = ring_width(this), top = gap_top + offset_of_rows(lines);
  INT_S32 bottom = height - 1 - (top + lines * line_height());
  INT_S32 right = gap_right + (beside_bar ? scrollbar_style.scrollbar_button_width : 0);
  const INT_S32 dx[4] = {gap_left, right, gap_left, right}, dy[4] = {top, top, bottom, bottom};
  for (int c = 0; c < 4; c++)
    while ((corners & (1 << c)) && r > 0 && !inside_arc(r, dx[c], dy[c], ring)) r--;
  return (INT_S16)r;
}

// How far the scroll bar's end stands from the top (corner 2, top right) or the bottom edge (corner 8):
// 3 pixels, or as far as keeps it inside that corner's arc.
INT_S16 WM_TEXT_WIN::scrollbar_inset(INT_S16 radius, INT_U8 corner) {
  INT_S16 inset = 3;
  if (!(rounded_corners(this) & corner)) return inset;
  while (inset < radius && !inside_arc(radius, 3, inset, ring_width(this))) inset++;
  return inset;
}

INT_S16 WM_TEXT_WIN::line_at(INT_S16 py, bool clamp) {
  INT_S16 first, count;
  page_span(&first, &count);
  if (count < 1) return -1;
  INT_S32 from_top = py - y - gap_top - vertical_offset();
  INT_S32 lh = line_height();
  INT_S32 row = from_top < 0 ? -1 - (-from_top - 1) / lh : from_top / lh;
  if (row < 0 || row >= count) {
    if (!clamp) return -1;
    row = row < 0 ? 0 : count - 1;
  }
  return (INT_S16)((first + row) % capacity);
}

INT_S16 WM_TEXT_WIN::char_index_at(INT_S16 line, INT_S16 px) {
  if (line < 0 || line >= capacity) return 0;
  const TEXT_WIN_SCREEN_LINE& shown = screen_buffer[line];
  if (!shown.text || shown.length < 1) return 0;
  INT_S32 offset = px - x - gap_left;
  INT_S32 width_so_far = 0;
  if (width_so_far > offset) return 0;
  refresh_char_widths();
  std::vector<TEXT_WIN_CHARACTER> characters = characters_of(shown);
  for (size_t i = 0; i < characters.size(); i++) {
    width_so_far += advance(characters[i].code, width_so_far);
    if (width_so_far > offset) return (INT_S16)i;
  }
  return (INT_S16)(characters.empty() ? 0 : characters.size() - 1);
}

void WM_TEXT_WIN::get_selected_text(char* out, INT_S16 size) {
  if (!out || size < 1) return;
  out[0] = 0;
  if (selection_start_line < 0 || selection_end_line < 0) return;
  // The characters chosen, written as text again: a wide one in a run, so that the text reads as shown.
  std::vector<INT_U32> chosen;
  INT_S32 line = selection_start_line;
  for (INT_S32 walked = 0; walked < capacity; walked++, line = (line + 1) % capacity) {
    const TEXT_WIN_SCREEN_LINE& shown = screen_buffer[line];
    if (shown.text) {
      std::vector<TEXT_WIN_CHARACTER> characters = characters_of(shown);
      INT_S32 from = 0, to = (INT_S32)characters.size() - 1;
      if (line == selection_start_line) from = selection_start_char;
      if (line == selection_end_line) to = selection_end_char;
      if (from < 0) from = 0;
      if (to > (INT_S32)characters.size() - 1) to = (INT_S32)characters.size() - 1;
      for (INT_S32 i = from; i <= to; i++) chosen.push_back(characters[i].code);
      chosen.push_back(' ');
    }
    if (line == selection_end_line) break;
  }
  // As many whole characters as fit in size - 1 bytes.
  for (size_t count = chosen.size();; count--) {
    WIDE_RUN_WRITER writer(out, (size_t)size);
    for (size_t i = 0; i < count; i++) writer.add(chosen[i]);
    if (writer.finish() || count == 0) return;
  }
}

// ---------------------------------------------------------------------------------------------------
// Input

// Page Up and Down, Home, End and the arrows (with Ctrl a page) scroll the window while its scroll bar
// takes the wheel, as they scroll a grid.
void WM_TEXT_WIN::scroll_by_keys() {
  if (!scrollbar || scroll_wheel_target != scrollbar) return;
  KEYBOARD_HANDLER keyboard;
  bool control = keyboard.is_key_down(VKEY_LCONTROL) || keyboard.is_key_down(VKEY_RCONTROL);
  INT_S32 value = scroll_value.get_int(&scroll_value.value);
  INT_S32 page = page_last_row > 0 ? page_last_row : 1;  // a page less one line, which stays in view
  switch (KEYBOARD_HANDLER::last_key) {
    case VKEY_PRIOR: value += page; break;
    case VKEY_NEXT: value -= page; break;
    case VKEY_HOME: value = scroll_value.get_int(&scroll_value.maximum); break;
    case VKEY_END: value = scroll_value.get_int(&scroll_value.minimum); break;
    case VKEY_UP: value += control ? page : 1; break;
    case VKEY_DOWN: value -= control ? page : 1; break;
    default: return;
  }
  keyboard.read_key();
  scroll_value.set_int(&scroll_value.value, value);
  show();
}

WM_RESULT WM_TEXT_WIN::process() {
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (result != 0) return result;
  if (!visible) return 0;
  scroll_by_keys();
  bool has_selection = selection_start_line != selection_end_line || selection_start_char != selection_end_char;
  if (!selectable && has_selection) clear_selection();

  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  bool left = (MOUSE_HANDLER::held_buttons & 0x1) != 0;
  bool right = (MOUSE_HANDLER::held_buttons & 0x2) != 0;
  if (right) right_latch = 1;
  INT_S32 right_edge = x + width - 1 - (scrollbar ? scrollbar_style.scrollbar_button_width : 0);
  bool in_area = x < px && px < right_edge && y < py && py < y + height - 1;

  if (left && in_area) {
    INT_S16 line = line_at(py, true);
    if (!left_latch) {
      if (selectable) {
        press_x = px;
        press_y = py;
        press_line = line;
      }
      left_latch = 1;
    } else if (selectable && (px != press_x || py != press_y) && line >= 0) {
      if (press_line != -1) {
        INT_S16 c = char_index_at(press_line, press_x);
        anchor_line = selection_start_line = selection_end_line = press_line;
        anchor_char = selection_start_char = selection_end_char = c;
        press_line = -1;
      }
      INT_S16 c = char_index_at(line, px);
      if (line < anchor_line || (line == anchor_line && c < anchor_char)) {
        selection_start_line = line;
        selection_start_char = c;
        selection_end_line = anchor_line;
        selection_end_char = anchor_char;
      } else {
        selection_start_line = anchor_line;
        selection_start_char = anchor_char;
        selection_end_line = line;
        selection_end_char = c;
      }
      // Dragging over the first or last row scrolls one line.
      INT_S32 lh = line_height(), value = scroll_value.get_int(&scroll_value.value);
      if (py < y + gap_top + lh) scroll_value.set_int(&scroll_value.value, value + 1);
      if (py > y + height - 1 - gap_bottom - lh) scroll_value.set_int(&scroll_value.value, value - 1);
      show();
    }
  }

  bool left_release = !left && left_latch;
  bool right_release = !right && right_latch;
  if ((left_release || right_release) && in_area) {
    left_released = left_release ? 1 : 0;
    right_released = right_release ? 1 : 0;
    if (selectable && left_released && (px != press_x || py != press_y)) {
      left_latch = 0;  // a drag selection ended; it stays
      return 0;
    }
    clear_selection();
    INT_S16 line = line_at(py, false);
    if (line >= 0 && screen_buffer[line].text && screen_buffer[line].link && screen_buffer[line].link[0]) {
      clicked_link = screen_buffer[line].link;
      play_click_sound();
      if (event_callback) {
        WM_DELETE_GUARD guard(this);
        result = event_callback(this, event_user1, event_user2, 0);
        if (guard.deleted) return result;
      }
      clicked_link = nullptr;
    }
    left_latch = left ? 1 : 0;
    right_latch = right ? 1 : 0;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Drawing

// The selection holds the display line (ring order, also when it wraps past the ring's end).
static bool in_selection(INT_S32 line, INT_S32 start, INT_S32 end) {
  if (start < 0 || end < 0) return false;
  if (start <= end) return start <= line && line <= end;
  return line >= start || line <= end;
}

// A display line in its row box, aligned by the flags as draw_text_in_box aligns one line. A line is cut
// to fit the window when it is wrapped, so it is drawn at once from its measured width (read from its run
// state, wide characters as the glyphs they are); only a line wider than its box (a window narrower than
// a character) goes through draw_text_in_box's own layout.
void WM_TEXT_WIN::draw_row(IMAGE* target, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* ink,
                           const COLOUR* paper, const char* text, INT_S16 length, bool in_run, TEXT_FLAGS flags) {
  COLOUR none = COLOUR_INVISIBLE;
  INT_S32 line_width = measure(text, length, in_run);
  if (length < 1 || line_width > x2 - x1 + 1 || font_y_size > y2 - y1 + 1) {
    // A line that starts inside a run is the text of its own that opens the run again.
    std::string own = std::string(in_run ? "\x01" : "") + text;
    draw_text_in_box(target, x1, y1, x2, y2, ink, paper, &none, font_id, font_x_size, font_y_size, own.c_str(), flags);
    return;
  }
  INT_S32 left;
  if (flags & TEXT_LEFT_JUSTIFY) left = x1;
  else if (flags & TEXT_RIGHT_JUSTIFY) left = x2 - line_width;
  else left = x1 + ((x2 - x1) - line_width + 1) / 2;
  INT_S32 top;
  if (flags & TEXT_TOP_ALIGN) top = y1;
  else if (flags & TEXT_BOTTOM_ALIGN) top = y2 - font_y_size;
  else top = y1 + ((y2 - y1) - font_y_size + 1) / 2;
  if (!font_loaded(font_id)) return;
  target->extend_dirty_in_clip(x1, y1, x2, y2);
  draw_text(target, (INT_S16)left, (INT_S16)top, ink, paper, &none, font_id, font_x_size, font_y_size, text, flags, -1,
            in_run);
}

void WM_TEXT_WIN::draw() {
  IMAGE* target = draw_target;
  if (!target) return;
  IMAGE_AREA saved = target->clip;
  INT_S16 right = (INT_S16)(x + width - 1), bottom = (INT_S16)(y + height - 1);
  target->intersect_clip(x, y, right, bottom);

  INT_S32 lines = lines_shown(this);
  if (background.is_loaded()) {
    background.draw(x, y, right, bottom, 1, target, BLIT_BLEND);
  } else {
    // Corners no rounder than the text allows: a radius of 0 draws them square.
    INT_S16 radius = corner_radius_for(lines, scrollbar != nullptr);
    INT_U16 edges = radius > 0 ? shading : (INT_U16)(shading & ~0x00F0);
    INT_U8 corners = (INT_U8)((edges >> 4) & 0x0F);
    COLOUR black = 0xFF000000;
    if (drawing_flags & TWF_DARKENED_BACKGROUND) {
      if (!corners) target->darken_rectangle(x, y, right, bottom, 50);
      else draw_shaded_box(target, x, y, right, bottom, radius, corners, &black, &black, 50, SHADE_DARKEN);
    } else if ((background_colour >> 24) != 0) {
      if (!corners) {
        if (drawing_flags & TWF_HFADING)
          target->fill_gradient_horizontal(x, y, right, bottom, &background_colour, &gradient_colour, 1);
        else if (drawing_flags & TWF_VFADING)
          target->fill_gradient_vertical(x, y, right, bottom, &background_colour, &gradient_colour, 1);
        else
          target->fill_rectangle(x, y, right, bottom, &background_colour, 1);
      } else if (drawing_flags & TWF_HFADING) {
        draw_shaded_box(target, x, y, right, bottom, radius, corners, &background_colour, &gradient_colour, 0,
                        SHADE_HORIZONTAL);
      } else if (drawing_flags & TWF_VFADING) {
        draw_shaded_box(target, x, y, right, bottom, radius, corners, &background_colour, &gradient_colour, 0,
                        SHADE_VERTICAL);
      } else {
        draw_shaded_box(target, x, y, right, bottom, radius, corners, &background_colour, &black, 0, SHADE_BLEND);
      }
    }
    if (drawing_flags & TWF_INDENTED_BORDER)
      draw_border(this, x, y, right, bottom, (INT_U16)(edges | 0x8000), &background_colour, 1, radius);
    else if (drawing_flags & TWF_OUTSTANDING_BORDER)
      draw_border(this, x, y, right, bottom, (INT_U16)(edges & 0x7FFF), &background_colour, 1, radius);
  }

  TEXT_FLAGS flags = 0;
  const struct {
    INT_U16 window_flag;
    TEXT_FLAGS text_flag;
  } table[] = {{TWF_LEFT_JUSTIFY, TEXT_LEFT_JUSTIFY}, {TWF_RIGHT_JUSTIFY, TEXT_RIGHT_JUSTIFY},
               {TWF_TOP_ALIGN, TEXT_TOP_ALIGN},       {TWF_BOTTOM_ALIGN, TEXT_BOTTOM_ALIGN},
               {TWF_SHADOW_TEXT, TEXT_SHADOW},        {TWF_INSET_TEXT, TEXT_INSET},
               {TWF_CHISELED_TEXT, TEXT_CHISELED}};
  for (const auto& entry : table)
    if (drawing_flags & entry.window_flag) flags |= entry.text_flag;
  const TEXT_FLAGS effects = flags & (TEXT_SHADOW | TEXT_INSET | TEXT_CHISELED);

  INT_S16 first, count;
  page_span(&first, &count);
  refresh_char_widths();
  INT_S32 lh = line_height(), offset = offset_of_rows(lines);
  COLOUR none = COLOUR_INVISIBLE;
  // The rows lie left of the scroll bar, as they are wrapped.
  INT_S16 x1 = (INT_S16)(x + gap_left),
          x2 = (INT_S16)(right - gap_right - (scrollbar ? scrollbar_style.scrollbar_button_width : 0));
  for (INT_S32 row = 0; row < count; row++) {
    INT_S32 slot = (first + row) % capacity;
    TEXT_WIN_SCREEN_LINE& line = screen_buffer[slot];
    if (!line.text) continue;
    INT_S32 top = y + gap_top + offset + row * lh;
    INT_S16 y1 = (INT_S16)top, y2 = (INT_S16)(top + lh);
    // The display line is terminated at its length in place while it is drawn.
    char kept = line.text[line.length];
    line.text[line.length] = 0;
    bool selected = in_selection(slot, selection_start_line, selection_end_line);
    if (!selected) {
      draw_row(target, x1, y1, x2, y2, &line.colour, &none, line.text, line.length, line.in_run != 0, flags);
    } else if (slot != selection_start_line && slot != selection_end_line) {
      // Selected text shows as solid blocks of the line's colour.
      draw_row(target, x1, y1, x2, y2, &none, &line.colour, line.text, line.length, line.in_run != 0, flags);
    } else {
      INT_S32 pen = x1;
      std::vector<TEXT_WIN_CHARACTER> characters = characters_of(line);
      for (INT_S32 i = 0; i < (INT_S32)characters.size(); i++) {
        const TEXT_WIN_CHARACTER& character = characters[i];
        bool chosen = !(slot == selection_start_line && i < selection_start_char) &&
                      !(slot == selection_end_line && i > selection_end_char);
        INT_S32 w = advance(character.code, pen - x1);
        // A tab alone would reach its stop from where it is drawn: it is blank, chosen as a block.
        if (character.code == '\t' && chosen)
          target->fill_rectangle((INT_S16)pen, y1, (INT_S16)(pen + w), (INT_S16)(y1 + font_y_size), &line.colour, 1);
        else if (character.code != '\t')
          draw_text(target, (INT_S16)pen, y1, chosen ? &none : &line.colour, chosen ? &line.colour : &none, &none,
                    font_id, font_x_size, font_y_size, line.text + character.start, effects, 1, character.start_in_run);
        pen += w;
      }
    }
    line.text[line.length] = kept;
  }
  // The scroll bar is shown again so that it lies on top of the rows (and shows with the window).
  if (scrollbar) scrollbar->show();
  target->clip = saved;
}
