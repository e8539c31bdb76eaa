// Drawing primitives beside the IMAGE members (lines, outlines, gradients, arcs: code/graphics/image.h): the
// default corner radius, the shaded box with round corners that buttons, frames and dialogs are filled
// with, and the anti-aliased ring or disc. All clip to the image's clip and grow its dirty rectangle.
#pragma once
#include "types.h"
#include "colour.h"

class IMAGE;

// Corner flags (a set bit makes that corner round).
enum {
  CORNER_TOP_LEFT = 1,
  CORNER_TOP_RIGHT = 2,
  CORNER_BOTTOM_LEFT = 4,
  CORNER_BOTTOM_RIGHT = 8,
  CORNER_ALL = 15
};

// Side flags of IMAGE::draw_rectangle (a set bit draws that side).
enum {
  SIDE_LEFT = 1,
  SIDE_RIGHT = 2,
  SIDE_TOP = 4,
  SIDE_BOTTOM = 8,
  SIDE_ALL = 15
};

// Modes of draw_shaded_box.
enum {
  SHADE_BLEND = 0,       // colour 1 over each pixel
  SHADE_HORIZONTAL = 1,  // opaque gradient from colour 1 at the left to colour 2 at the right
  SHADE_VERTICAL = 2,    // opaque gradient from colour 1 at the top to colour 2 at the bottom
  SHADE_DARKEN = 3       // each pixel darkened by the percent
};

// Styles of fill_antialiased.
enum {
  ANTIALIAS_RING = 0,
  ANTIALIAS_DISC = 1,
  ANTIALIAS_DARKENED_DISC = 2
};

// The default corner radius of a box: a third of its smaller side. The image is not read.
INT_S16 corner_radius(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2);

// The outline of a box drawn dotted, every other pixel of each side from its start (the keyboard focus
// shown on a control); corner_cut pixels at each end of every side are left out, for a box inside round
// corners.
void draw_dotted_rectangle(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 corner_cut,
                           const COLOUR* colour);

// Fills a box whose flagged corners are cut round with the radius (-1 = corner_radius) by the mode.
void draw_shaded_box(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 radius,
                     INT_U8 corners, const COLOUR* colour1, const COLOUR* colour2, INT_S8 percent,
                     INT_S32 mode);

// An anti-aliased ring (style 0), disc (1) or darkened disc (2) about (centre_x, centre_y),
// supersampled three by three.
void fill_antialiased(IMAGE* image, INT_S16 centre_x, INT_S16 centre_y, INT_S16 radius, const COLOUR* colour,
                      INT_S8 percent, INT_S32 style, INT_S16 thickness, INT_U8 antialias);
