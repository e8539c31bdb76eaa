// The bevel painter: the shading types with their widths, the module colours from which border shades
// are taken, the ring drawing with square or rounded corners and the small direction triangles, all into
// draw_target. How a screen object chooses its type and shades is the window manager's
// (screen_object_draw.h).
#pragma once
#include "types.h"
#include "colour.h"

// The border type that type 1 ("the object's own") means for an object whose own type is 1.
extern INT_S32 default_border_type;
const INT_S32 DEFAULT_BORDER_TYPE = 6;

extern COLOUR border_base_colour;     // last fallback for both shades (invisible)
extern COLOUR border_outline_colour;  // single-colour outer ring of types 3, 5, 7, 9
extern COLOUR border_groove_colour;   // middle ring of type 2
extern COLOUR border_light_colour;    // light shade when the object has no colour
extern COLOUR border_dark_colour;     // dark shade when the object has no colour

// Flags of draw_border: the sides drawn, the corners rounded, and the pressed look.
enum : INT_U16 {
  BORDER_TOP = 0x0001,
  BORDER_BOTTOM = 0x0002,
  BORDER_LEFT = 0x0004,
  BORDER_RIGHT = 0x0008,
  BORDER_ROUND_TOP_LEFT = 0x0010,
  BORDER_ROUND_TOP_RIGHT = 0x0020,
  BORDER_ROUND_BOTTOM_LEFT = 0x0040,
  BORDER_ROUND_BOTTOM_RIGHT = 0x0080,
  BORDER_PRESSED = 0x8000
};

// Width in pixels of a shading type; type 1 is the default type, unknown types are 0.
INT_S32 border_width_of_type(INT_S32 type);
// The colour's red, green and blue times percent / 100, each at most 255; alpha kept.
COLOUR shade_colour(COLOUR colour, INT_S32 percent);
// The dark (70 %) and light (130 %) shades of a control whose own colour is own (invisible: none): own's
// shades, else the module colour, else the fallback's, else the module base colour's, else grey and white.
void border_shades(COLOUR own, const COLOUR* fallback, COLOUR* dark, COLOUR* light);
// Draws the rings of the type (1 = default_border_type) in the two shades inside the inclusive rectangle
// into draw_target; radius -1 = corner_radius of the rectangle.
void draw_border_rings(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_U16 flags, COLOUR dark, COLOUR light,
                       INT_S32 type, INT_S16 radius);
// A triangle pointing up (0), down (1), left (2) or right (3) into draw_target; insets -1 = a third of the
// box.
void draw_arrow_triangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour, INT_S32 direction,
                         INT_S16 inset_x, INT_S16 inset_y);
