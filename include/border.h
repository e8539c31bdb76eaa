// Borders of screen objects: the shading types with their widths, the window manager's module colours
// from which border shades are taken, and the window manager's statics.
#pragma once
#include "types.h"
#include "colour.h"

// The border type that type 1 ("the object's own") means for an object whose own type is 1.
const INT_S32 DEFAULT_BORDER_TYPE = 6;

extern COLOUR border_base_colour;     // last fallback for both shades (invisible)
extern COLOUR border_outline_colour;  // single-colour outer ring of types 3, 5, 7, 9
extern COLOUR border_groove_colour;   // middle ring of type 2
extern COLOUR border_light_colour;    // light shade when the object has no colour
extern COLOUR border_dark_colour;     // dark shade when the object has no colour

// Width in pixels of a shading type; type 1 is the default type, unknown types are 0.
INT_S32 border_width_of_type(INT_S32 type);

// The window manager's statics, in this order: the image cache (empty), the five module colours at
// their initial values, the top-level list (empty) and the click sound. Built by the program's
// start-up before the application's statics; destroyed in the reverse order after them, when nothing
// that holds a picture of the cache is left.
void start_window_manager();
void stop_window_manager();
