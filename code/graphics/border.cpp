// The bevel painter: the module colours, shading-type widths, the shades taken from a control's colour,
// ring drawing in the square and the rounded form, and direction triangles.
#include "border.h"

#include <utility>

#include "draw.h"
#include "image.h"

INT_S32 default_border_type = DEFAULT_BORDER_TYPE;
COLOUR border_base_colour = 0;
COLOUR border_outline_colour = 0xFFFFFF00;
COLOUR border_groove_colour = 0xFF000000;
COLOUR border_light_colour = 0xFFFFFFFF;
COLOUR border_dark_colour = 0xFF808080;

INT_S32 border_width_of_type(INT_S32 type) {
  if (type == 1) type = default_border_type;
  static const INT_S32 widths[10] = {0, 0, 3, 1, 1, 2, 2, 3, 3, 4};
  return type >= 0 && type <= 9 ? widths[type] : 0;
}

COLOUR shade_colour(COLOUR colour, INT_S32 percent) {
  COLOUR out = colour & 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    INT_S32 channel = (INT_S32)((colour >> shift) & 0xFF) * percent / 100;
    if (channel > 255) channel = 255;
    out |= (COLOUR)channel << shift;
  }
  return out;
}

static COLOUR shade_chain(COLOUR own, const COLOUR* fallback, COLOUR module_colour, INT_S32 percent, COLOUR last) {
  if (own >> 24) return shade_colour(own, percent);
  if (module_colour >> 24) return module_colour;
  if (fallback && (*fallback >> 24)) return shade_colour(*fallback, percent);
  if (border_base_colour >> 24) return shade_colour(border_base_colour, percent);
  return last;
}

void border_shades(COLOUR own, const COLOUR* fallback, COLOUR* dark, COLOUR* light) {
  if (dark) *dark = shade_chain(own, fallback, border_dark_colour, 70, 0xFF808080);
  if (light) *light = shade_chain(own, fallback, border_light_colour, 130, 0xFFFFFFFF);
}

namespace {

// What one ring of a type looks like.
enum RING_KIND { RING_OUTLINE, RING_SHADED, RING_GROOVE, RING_DARK_FIRST };

struct RING_SET {
  INT_S32 count;
  RING_KIND rings[4];
};

bool rings_of_type(INT_S32 type, RING_SET* set) {
  switch (type) {
    case 2: *set = {3, {RING_DARK_FIRST, RING_GROOVE, RING_SHADED}}; return true;
    case 3: *set = {1, {RING_OUTLINE}}; return true;
    case 4: *set = {1, {RING_SHADED}}; return true;
    case 5: *set = {2, {RING_OUTLINE, RING_SHADED}}; return true;
    case 6: *set = {2, {RING_SHADED, RING_SHADED}}; return true;
    case 7: *set = {3, {RING_OUTLINE, RING_SHADED, RING_SHADED}}; return true;
    case 8: *set = {3, {RING_SHADED, RING_SHADED, RING_SHADED}}; return true;
    case 9: *set = {4, {RING_OUTLINE, RING_SHADED, RING_SHADED, RING_SHADED}}; return true;
    default: return false;
  }
}

// The colour of a ring on the top and left sides (upper) or the bottom and right sides.
COLOUR ring_colour(RING_KIND kind, bool upper, bool pressed, bool rounded, COLOUR dark, COLOUR light) {
  switch (kind) {
    case RING_OUTLINE: return border_outline_colour;
    case RING_GROOVE: return border_groove_colour;
    case RING_DARK_FIRST: return rounded || upper ? dark : light;
    case RING_SHADED:
    default: return (upper != pressed) ? light : dark;
  }
}

}  // namespace

void draw_border_rings(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_U16 flags, COLOUR dark, COLOUR light,
                       INT_S32 type, INT_S16 radius) {
  if (type == 1) type = default_border_type;
  RING_SET set;
  if (!rings_of_type(type, &set) || !draw_target) return;
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  IMAGE* target = draw_target;
  bool pressed = (flags & BORDER_PRESSED) != 0;
  bool rounded = (flags & 0x00F0) != 0;
  INT_S32 r = 0;
  if (rounded) r = radius == -1 ? corner_radius(target, x1, y1, x2, y2) : radius;
  bool round_tl = (flags & BORDER_ROUND_TOP_LEFT) != 0, round_tr = (flags & BORDER_ROUND_TOP_RIGHT) != 0;
  bool round_bl = (flags & BORDER_ROUND_BOTTOM_LEFT) != 0, round_br = (flags & BORDER_ROUND_BOTTOM_RIGHT) != 0;

  // One side with all its rings from the outside in; a rounded end is shortened by r.
  auto side = [&](INT_U16 bit) {
    if (!(flags & bit)) return;
    bool upper = bit == BORDER_TOP || bit == BORDER_LEFT;
    for (INT_S32 k = 0; k < set.count; k++) {
      COLOUR c = ring_colour(set.rings[k], upper, pressed, rounded, dark, light);
      INT_S32 ax, ay, bx, by;
      switch (bit) {
        case BORDER_TOP:
          ax = x1 + k + (round_tl ? r : 0), ay = y1 + k, bx = x2 - k - (round_tr ? r : 0), by = y1 + k;
          break;
        case BORDER_LEFT:
          ax = x1 + k, ay = y1 + k + (round_tl ? r : 0), bx = x1 + k, by = y2 - k - (round_bl ? r : 0);
          break;
        case BORDER_BOTTOM:
          ax = x1 + k + (round_bl ? r : 0), ay = y2 - k, bx = x2 - k - (round_br ? r : 0), by = y2 - k;
          break;
        default:
          ax = x2 - k, ay = y1 + k + (round_tr ? r : 0), bx = x2 - k, by = y2 - k - (round_br ? r : 0);
          break;
      }
      target->draw_line((INT_S16)ax, (INT_S16)ay, (INT_S16)bx, (INT_S16)by, &c, 1, 1);
    }
  };
  // One rounded corner: an arc per ring at the ring's corner point.
  auto arc = [&](bool round, INT_U8 code) {
    if (!round) return;
    bool upper = code == 1 || code == 2;
    for (INT_S32 k = 0; k < set.count; k++) {
      COLOUR c = ring_colour(set.rings[k], upper, pressed, rounded, dark, light);
      INT_S32 px = (code == 1 || code == 4) ? x1 + k : x2 - k;
      INT_S32 py = upper ? y1 + k : y2 - k;
      target->draw_corner_arc((INT_S16)px, (INT_S16)py, (INT_S16)r, code, &c);
    }
  };

  if (!rounded) {
    side(BORDER_TOP);
    side(BORDER_LEFT);
    side(BORDER_BOTTOM);
    side(BORDER_RIGHT);
    return;
  }
  side(BORDER_TOP);
  side(BORDER_LEFT);
  arc(round_tl, 1);
  arc(round_tr, 2);
  side(BORDER_RIGHT);
  side(BORDER_BOTTOM);
  arc(round_bl, 4);
  arc(round_br, 8);
}

void draw_arrow_triangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour, INT_S32 direction,
                         INT_S16 inset_x, INT_S16 inset_y) {
  if (!draw_target || !colour || direction < 0 || direction > 3) return;
  INT_S32 ix = inset_x == -1 ? (x2 - x1 + 1) / 3 : inset_x;
  INT_S32 iy = inset_y == -1 ? (y2 - y1 + 1) / 3 : inset_y;
  INT_S32 mx = x1 + (x2 - x1 + 1) / 2, my = y1 + (y2 - y1 + 1) / 2;
  IMAGE* target = draw_target;
  auto line = [&](INT_S32 ax, INT_S32 ay, INT_S32 bx, INT_S32 by) {
    target->draw_line((INT_S16)ax, (INT_S16)ay, (INT_S16)bx, (INT_S16)by, colour, 1, 1);
  };
  if (direction <= 1) {
    for (INT_S32 c = x1 + ix; c <= x2 - ix; c++) {
      if (direction == 0) line(c, y2 - iy, mx, y1 + iy);
      else line(mx, y2 - iy, c, y1 + iy);
    }
  } else {
    for (INT_S32 w = y1 + iy; w <= y2 - iy; w++) {
      if (direction == 2) line(x1 + ix, my, x2 - ix, w);
      else line(x1 + ix, w, x2 - ix, my);
    }
  }
}
