// Helpers for the grid and menu tests: a plain grid style, a probe object that counts its passes, a count
// of destroyed objects, and a test font.
#pragma once
#include "types.h"
#include "screen_object.h"

class WM_STYLE_SET;

// No border or cell gaps, x spacing 0, y spacing 1, no border drawn, square corners, an opaque background
// of 0xFF204060 and a highlight colour of 0xFFE0E000; the scroll bar column 15 pixels wide.
void plain_grid_style(WM_STYLE_SET* style);

class WM_GRID;
// A grid of plain_grid_style over the corners, with columns of weight 1, rows of row_height and the extra
// ssef_ flags; the caller owns it.
WM_GRID* new_plain_grid(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 columns = 1, INT_S16 row_height = 20,
                        INT_U32 extended_flags = 0);

// A focusable screen object that counts its input and update passes.
class PROBE : public WM_SCREEN_OBJECT {
public:
  int processed = 0;
  int updated = 0;
  WM_RESULT answer = 0;  // what its input pass returns
  PROBE();
  WM_RESULT process() override;
  WM_RESULT update(bool top_level) override;
};

// Objects destroyed since the last reset (through the screen-object destroyed hook).
extern int destroyed_objects;
void count_destroyed_objects();

// Loads DejaVu Sans into font slot 10 and makes it the draw target's default at 16 pixels, so that
// labels have widths; false when the font is not installed. unload_test_font undoes it.
bool load_test_font();
void unload_test_font();

