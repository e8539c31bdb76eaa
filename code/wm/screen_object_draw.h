// How screen objects draw their bevel, arrows and keyboard focus: the border type and shades taken from
// the object, painted by the bevel painter (border.h), and the focus outline shown while the keyboard
// shows the focus.
#pragma once
#include "types.h"
#include "border.h"
#include "colour.h"

class WM_SCREEN_OBJECT;

// The dark (70 %) and light (130 %) shades: the object's colour, else the module colour, else the
// fallback, else the module base colour, else grey and white.
void border_colours(WM_SCREEN_OBJECT* object, const COLOUR* fallback, COLOUR* dark, COLOUR* light);
// Draws the rings of the type (1 = the object's own) inside the inclusive rectangle into draw_target;
// radius -1 = corner_radius of the rectangle.
void draw_border(WM_SCREEN_OBJECT* object, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_U16 flags,
                 const COLOUR* colour, INT_S32 type, INT_S16 radius);
// A triangle pointing up (0), down (1), left (2) or right (3); insets -1 = a third of the box.
void draw_arrow(WM_SCREEN_OBJECT* object, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                INT_S32 direction, INT_S16 inset_x, INT_S16 inset_y);
// The keyboard focus as every control shows it, while the keyboard shows it (focus_visible): a dotted
// outline along the inside of the box, corner_cut pixels clear of each corner (for round corners), in the
// control's text colour, or where that is invisible in black or white, whichever stands out from its
// face. Nothing for a box without room inside its outline.
void draw_focus_outline(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 corner_cut, const COLOUR* text,
                        const COLOUR* face);
