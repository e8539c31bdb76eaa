// The progress bar widget: a bar filled in proportion to its value, in the look of a style set, that
// keeps the window alive while long work runs (tick pumps the window messages once a second).
#pragma once
#include "types.h"
#include "colour.h"
#include "screen_object.h"
#include "style_set.h"

class WM_PROGRESS_BAR : public WM_SCREEN_OBJECT {
public:
  COLOUR object_colour;      // the filled part
  COLOUR background_colour;  // the empty part
  COLOUR border_colour;
  INT_S32 mode;              // display mode; 6 after construction
  INT_S32 maximum;
  INT_S32 value;
  WM_STYLE_SET style;        // the look (a copy of the style set given)
  INT_U32 last_pump_tick;    // get_tick_count of the last message pump by tick

  // A bar in the style set's look (null: the widget's default look).
  WM_PROGRESS_BAR(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, INT_S32 value, INT_S32 maximum,
                  WM_STYLE_SET* style_set);
  ~WM_PROGRESS_BAR() override;

  // The common construction body with explicit appearance values.
  void init(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, INT_S32 maximum, const COLOUR* object,
            const COLOUR* background);
  // Value clamped to 0 .. maximum.
  void set_value(INT_S32 new_value);
  void draw() override;
  // Animates the bar and pumps the window messages once per second of wall time.
  void tick();
};
