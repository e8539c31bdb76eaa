// Borders of screen objects: the window manager's module colours and the widths of the shading types;
// and the window manager's statics, built and destroyed in the program's fixed start-up order.
#include "border.h"

#include "click_sound.h"
#include "image_cache.h"
#include "style_set.h"

COLOUR border_base_colour = 0;
COLOUR border_outline_colour = 0xFFFFFF00;
COLOUR border_groove_colour = 0xFF000000;
COLOUR border_light_colour = 0xFFFFFFFF;
COLOUR border_dark_colour = 0xFF808080;

INT_S32 border_width_of_type(INT_S32 type) {
  if (type == 1) type = DEFAULT_BORDER_TYPE;
  static const INT_S32 widths[10] = {0, 0, 3, 1, 1, 2, 2, 3, 3, 4};
  return type >= 0 && type <= 9 ? widths[type] : 0;
}

void start_window_manager() {
  start_image_cache();
  border_base_colour = 0;
  border_outline_colour = 0xFFFFFF00;
  border_groove_colour = 0xFF000000;
  border_light_colour = 0xFFFFFFFF;
  border_dark_colour = 0xFF808080;
  start_click_sound();
}

void stop_window_manager() {
  stop_click_sound();
  // The library-wide style sets hold pictures of the cache: they go before it.
  stop_global_style_sets();
  stop_image_cache();
}
