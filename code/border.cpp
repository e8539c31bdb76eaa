// Borders of screen objects: the window manager's module colours and the widths of the shading types.
#include "border.h"

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
