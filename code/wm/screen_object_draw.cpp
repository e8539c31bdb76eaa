// Screen objects' bevels, arrows and focus outline: the object's colour and border type chosen here, the
// painting left to the bevel painter and the drawing primitives.
#include "screen_object_draw.h"

#include "draw.h"
#include "image.h"
#include "screen_object.h"

void border_colours(WM_SCREEN_OBJECT* object, const COLOUR* fallback, COLOUR* dark, COLOUR* light) {
  border_shades(object ? object->colour : 0, fallback, dark, light);
}

void draw_border(WM_SCREEN_OBJECT* object, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_U16 flags,
                 const COLOUR* colour, INT_S32 type, INT_S16 radius) {
  if (type == 1 && object) type = object->border_type;
  COLOUR dark, light;
  border_colours(object, colour, &dark, &light);
  draw_border_rings(x1, y1, x2, y2, flags, dark, light, type, radius);
}

void draw_arrow(WM_SCREEN_OBJECT*, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                INT_S32 direction, INT_S16 inset_x, INT_S16 inset_y) {
  draw_arrow_triangle(x1, y1, x2, y2, colour, direction, inset_x, inset_y);
}

void draw_focus_outline(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 corner_cut, const COLOUR* text,
                        const COLOUR* face) {
  if (!focus_visible || !draw_target || x2 <= x1 || y2 <= y1) return;
  COLOUR cue = *text;
  if (!(cue >> 24)) contrasting_text_colour(&cue, face);
  draw_dotted_rectangle(draw_target, x1, y1, x2, y2, corner_cut, &cue);
}
