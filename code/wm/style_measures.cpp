// Style measures: gaps, cell gaps and row heights of a style set in pixels, each resolving a gap of
// 65535 in its own way, and parse_short_list, which reads the column weights of grids from text.
#include "style_measures.h"

#include <cstdlib>
#include <cstring>

#include "border.h"
#include "image.h"
#include "style_set.h"

// A border gap of 65535 (read as -1) stands for the fallback.
static INT_S32 gap_or(INT_S16 gap, INT_S32 fallback) {
  return gap == -1 ? fallback : gap;
}

// Width of the style's border when it draws one, else 0.
static INT_S32 drawn_border_width(const WM_STYLE_SET* style) {
  return (style->flags & ssf_draw_border) ? border_width_of_type((INT_S32)style->shading_type) : 0;
}

INT_S16 style_horizontal_gaps(const WM_STYLE_SET* style) {
  INT_S32 fallback = 1 + drawn_border_width(style);
  return (INT_S16)(gap_or(style->border_left_gap, fallback) + gap_or(style->border_right_gap, fallback));
}

INT_S16 style_vertical_gaps(const WM_STYLE_SET* style) {
  INT_S32 fallback = 1 + drawn_border_width(style);
  return (INT_S16)(gap_or(style->border_top_gap, fallback) + gap_or(style->border_bottom_gap, fallback));
}

INT_S16 style_horizontal_cell_gaps(const WM_STYLE_SET* style) {
  return (INT_S16)(gap_or(style->cell_left_gap, 0) + gap_or(style->cell_right_gap, 0));
}

INT_S16 style_vertical_cell_gaps(const WM_STYLE_SET* style) {
  return (INT_S16)(gap_or(style->cell_top_gap, 0) + gap_or(style->cell_bottom_gap, 0));
}

INT_S16 style_row_height(const WM_STYLE_SET* style, const WM_STYLE_SET* border_style) {
  const WM_STYLE_SET* b = border_style ? border_style : style;
  // Unlike the gap measures: the border width alone, whether or not the border is drawn.
  INT_S32 border = border_width_of_type((INT_S32)b->shading_type);
  INT_S32 font = gap_or(b->font_y_sz, draw_target ? draw_target->default_font_y_size : 22);
  INT_S32 height = gap_or(b->border_top_gap, border) + gap_or(b->border_bottom_gap, border) + font +
                   style_vertical_cell_gaps(style);
  if (style->y_spacing != -1) height += style->y_spacing;
  return (INT_S16)height;
}

// Reads one piece of at most SHORT_LIST_PIECE_LIMIT characters as a 16-bit number into *value; false
// for an overlong piece. A piece that is not a number reads as 0.
static bool read_piece(const char* piece, size_t length, INT_S16* value) {
  if (length > (size_t)SHORT_LIST_PIECE_LIMIT) return false;
  char buffer[SHORT_LIST_PIECE_LIMIT + 1];
  std::memcpy(buffer, piece, length);
  buffer[length] = 0;
  long number = std::strtol(buffer, nullptr, 10);
  // Kept to the low 16 bits, as a 16-bit conversion stores them.
  *value = (INT_S16)(INT_U16)((unsigned long)number & 0xFFFF);
  return true;
}

void parse_short_list(const char* text, INT_S16** table, INT_S16* count) {
  static INT_S16 values[SHORT_LIST_CAPACITY];
  *table = nullptr;
  *count = 0;
  if (!text || !text[0]) return;
  INT_S32 pieces = 0;
  const char* piece = text;
  for (;;) {
    const char* comma = std::strchr(piece, ',');
    size_t length = comma ? (size_t)(comma - piece) : std::strlen(piece);
    if (pieces == SHORT_LIST_CAPACITY || !read_piece(piece, length, &values[pieces])) return;
    if (values[pieces++] == 0) return;
    if (!comma) break;
    piece = comma + 1;
  }
  *table = values;
  *count = (INT_S16)pieces;
}
