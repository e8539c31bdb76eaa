// Style measures: the pixel sizes of a style set's gaps, font height and row spacing, so that a widget
// can be sized around its content before it is built, and the reading of column-weight lists.
#pragma once
#include "types.h"

class WM_STYLE_SET;

// Left plus right border gap; a gap of 65535 (-1) counts 1 plus the border width when the style draws
// its border, else 1.
INT_S16 style_horizontal_gaps(const WM_STYLE_SET* style);
// Top plus bottom border gap, by the same rule.
INT_S16 style_vertical_gaps(const WM_STYLE_SET* style);
// Left plus right cell gap; 65535 counts 0.
INT_S16 style_horizontal_cell_gaps(const WM_STYLE_SET* style);
// Top plus bottom cell gap; 65535 counts 0.
INT_S16 style_vertical_cell_gaps(const WM_STYLE_SET* style);
// Height of one row of text: the border gaps (65535: the border width alone, drawn or not) and font
// height (65535: the draw target's default) of border_style, or of style when it is null, plus style's
// cell gaps and its y spacing (65535: none).
INT_S16 style_row_height(const WM_STYLE_SET* style, const WM_STYLE_SET* border_style);

// Most values parse_short_list takes; a longer list is refused.
const int SHORT_LIST_CAPACITY = 64;
// Longest piece of a list, in characters; a longer piece is refused.
const int SHORT_LIST_PIECE_LIMIT = 123;

// Reads comma-separated numbers into one table shared by every call (overwritten by the next call):
// *table points at it and *count is the number of values. A null or empty text, a value that is 0 or
// not a number, an overlong piece or too many pieces give the empty result (null, 0).
void parse_short_list(const char* text, INT_S16** table, INT_S16* count);
