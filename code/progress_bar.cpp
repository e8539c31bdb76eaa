// The progress bar widget: construction from a style set or explicit colours, the value, drawing the
// bar into an image and the tick that keeps the window messages flowing during long work.
#include "progress_bar.h"

#include "host.h"
#include "image.h"

WM_PROGRESS_BAR::WM_PROGRESS_BAR(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, INT_S32 value_,
                                 INT_S32 maximum_, WM_STYLE_SET* style_set)
    : WM_SCREEN_OBJECT(1, nullptr, 0, 0) {
  COLOUR object = 0xFF3060C0, background = 0xFF202020;
  if (style_set) {
    WM_STYLE_SET::copy(&style, style_set);
    object = style.object_colour;
    background = style.bg_colour;
  }
  init(x_, y_, width_, height_, maximum_, &object, &background);
  set_value(value_);
}

WM_PROGRESS_BAR::~WM_PROGRESS_BAR() {}

void WM_PROGRESS_BAR::init(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, INT_S32 maximum_,
                           const COLOUR* object, const COLOUR* background) {
  x = x_;
  y = y_;
  width = width_;
  height = height_;
  maximum = maximum_;
  value = 0;
  mode = 6;
  kind |= WM_KIND_PROGRESS_BAR;
  object_colour = object ? *object : 0xFF3060C0;
  background_colour = background ? *background : 0xFF202020;
  border_colour = 0xFF808080;
  last_pump_tick = get_tick_count();
}

void WM_PROGRESS_BAR::set_value(INT_S32 new_value) {
  if (new_value < 0) new_value = 0;
  if (new_value > maximum) new_value = maximum;
  value = new_value;
}

void WM_PROGRESS_BAR::draw() {
  IMAGE* target = draw_target;
  if (!target || !target->pixels || width < 1 || height < 1) return;
  INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);
  target->fill_rectangle(x, y, x2, y2, &background_colour, 0);
  if (maximum > 0 && value > 0 && width > 2 && height > 2) {
    INT_S32 inner = width - 2;
    INT_S32 filled = (INT_S32)((INT_S64)inner * (value > maximum ? maximum : value) / maximum);
    if (filled > 0)
      target->fill_rectangle((INT_S16)(x + 1), (INT_S16)(y + 1), (INT_S16)(x + filled), (INT_S16)(y2 - 1),
                             &object_colour, 0);
  }
  target->draw_rectangle(x, y, x2, y2, &border_colour, 1, 15);
  target->extend_dirty_area(x, y, x2, y2);
}

void WM_PROGRESS_BAR::tick() {
  INT_U32 now = get_tick_count();
  if (now - last_pump_tick < 1000) return;
  last_pump_tick = now;
  pump_messages();
}
