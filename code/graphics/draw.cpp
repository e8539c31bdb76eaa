// Drawing primitives into an IMAGE: lines of any thickness, rectangle outlines, gradient fills,
// darkened and XOR boxes, corner arcs and rounded outlines, shaded boxes with round corners and an
// anti-aliased ring or disc. All clip to the image's clip rectangle and grow its dirty rectangle.
#include "draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "errors.h"
#include "image.h"

namespace {

// The mask of fill_antialiased: one byte per cell, three cells per pixel each way.
const INT_S32 MASK_BYTES = 0x300000;
INT_U8 antialias_mask[MASK_BYTES];

// The common guards: false while nothing may be drawn; an image without pixels is a fatal error.
bool may_draw(IMAGE* image) {
  if (!image || !image->can_draw()) return false;
  if (!image->pixels) raise_error(0x02);
  return true;
}

// may_draw, and an invisible colour is a fatal error.
bool may_draw_visible(IMAGE* image, const COLOUR* colour) {
  if (!image || !image->can_draw()) return false;
  if (!colour || (*colour >> 24) == 0) raise_error(0x03);
  if (!image->pixels) raise_error(0x02);
  return true;
}

bool inside_clip(const IMAGE* image, INT_S32 x, INT_S32 y) {
  return x >= image->clip.x1 && x <= image->clip.x2 && y >= image->clip.y1 && y <= image->clip.y2;
}

bool outside_clip(const IMAGE* image, INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2) {
  return x1 > image->clip.x2 || x2 < image->clip.x1 || y1 > image->clip.y2 || y2 < image->clip.y1;
}

void sort_corners(INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2) {
  if (*x2 < *x1) std::swap(*x1, *x2);
  if (*y2 < *y1) std::swap(*y1, *y2);
}

// Cuts a sorted box that meets the clip rectangle down to it and grows the dirty rectangle over it.
void clip_box(IMAGE* image, INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2) {
  *x1 = std::max(*x1, image->clip.x1);
  *y1 = std::max(*y1, image->clip.y1);
  *x2 = std::min(*x2, image->clip.x2);
  *y2 = std::min(*y2, image->clip.y2);
  image->extend_dirty_area(*x1, *y1, *x2, *y2);
}

// Darkens one pixel by a percent already known to lie in -100 .. 100 (alpha kept).
INT_U32 darken_value(INT_U32 pixel, INT_S32 percent) {
  INT_U32 result = pixel & 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    INT_S32 value = (INT_S32)((pixel >> shift) & 0xFF) * (100 - percent) / 100;
    result |= (INT_U32)std::clamp(value, 0, 255) << shift;
  }
  return result;
}

// Linear interpolation of all four channels at p of span (span 0 gives the first colour).
INT_U32 interpolate(COLOUR from, COLOUR to, INT_S32 p, INT_S32 span, bool with_alpha) {
  INT_U32 result = with_alpha ? 0 : 0xFF000000;
  for (int shift = 0; shift <= (with_alpha ? 24 : 16); shift += 8) {
    INT_S32 a = (INT_S32)((from >> shift) & 0xFF), b = (INT_S32)((to >> shift) & 0xFF);
    INT_S32 value = span == 0 ? a : a + p * (b - a) / span;
    result |= ((INT_U32)value & 0xFF) << shift;
  }
  return result;
}

}  // namespace

// ----------------------------------------------------------------------------------------------------
// Lines and outlines
// ----------------------------------------------------------------------------------------------------

void IMAGE::draw_line(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour, INT_S16 thickness,
                      INT_U8 blend) {
  if (!may_draw_visible(this, colour)) return;
  INT_S32 dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  bool along_x = dy <= dx;
  if (thickness >= 2) {
    INT_S32 first = -(thickness / 2);
    for (INT_S32 o = first; o < first + thickness; ++o) {
      if (along_x) draw_line(x1, (INT_S16)(y1 + o), x2, (INT_S16)(y2 + o), colour, 1, blend);
      else draw_line((INT_S16)(x1 + o), y1, (INT_S16)(x2 + o), y2, colour, 1, blend);
    }
    return;
  }
  if (along_x ? x2 < x1 : y2 < y1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  extend_dirty_in_clip(x1, y1, x2, y2);
  COLOUR value = *colour;
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  auto put = [&](INT_S32 x, INT_S32 y) {
    if (!inside_clip(this, x, y)) return;
    if (blend) blend_pixel(pixel_at(x, y), value, threshold);
    else *pixel_at(x, y) = value;
  };
  if (dx == 0 && dy == 0) {
    // A line of no length is its one point.
    put(x1, y1);
    return;
  }
  // A straight line is drawn as its run inside the clip (a border around a large box is mostly outside
  // the small region being redrawn), stored whole where no pixel is blended.
  if (dx == 0 || dy == 0) {
    bool across = dy == 0;
    INT_S32 fixed = across ? y1 : x1;
    if (fixed < (across ? clip.y1 : clip.x1) || fixed > (across ? clip.y2 : clip.x2)) return;
    INT_S32 from = std::max<INT_S32>(across ? x1 : y1, across ? clip.x1 : clip.y1);
    INT_S32 last = std::min<INT_S32>(across ? x2 : y2, across ? clip.x2 : clip.y2);
    if (across && (!blend || (value >> 24) >= threshold)) {
      if (from <= last) std::fill(pixel_at(from, fixed), pixel_at(last, fixed) + 1, value);
      return;
    }
    for (INT_S32 i = from; i <= last; ++i) {
      INT_U32* pixel = across ? pixel_at(i, fixed) : pixel_at(fixed, i);
      if (blend) blend_pixel(pixel, value, threshold);
      else *pixel = value;
    }
    return;
  }
  INT_S32 error = 0;
  if (along_x) {
    INT_S32 step = y2 < y1 ? -1 : 1, y = y1;
    for (INT_S32 x = x1; x <= x2; ++x) {
      if (error >= dx) {
        error -= dx;
        y += step;
      }
      put(x, y);
      error += dy;
    }
  } else {
    INT_S32 step = x2 < x1 ? -1 : 1, x = x1;
    for (INT_S32 y = y1; y <= y2; ++y) {
      if (error >= dy) {
        error -= dy;
        x += step;
      }
      put(x, y);
      error += dx;
    }
  }
}

void IMAGE::draw_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                           INT_S16 thickness, INT_U8 sides) {
  if (!may_draw_visible(this, colour)) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (thickness >= 2) {
    INT_S32 first = -(thickness / 2);
    for (INT_S32 o = first; o < first + thickness; ++o)
      draw_rectangle((INT_S16)(x1 + o), (INT_S16)(y1 + o), (INT_S16)(x2 - o), (INT_S16)(y2 - o), colour, 1, sides);
    return;
  }
  if (outside_clip(this, x1, y1, x2, y2)) return;
  // A side beyond the clip is not drawn; a top or bottom row then runs on to the cut edge, because the
  // box goes on past it.
  bool left_cut = x1 < clip.x1, right_cut = x2 > clip.x2;
  if (left_cut) sides &= ~1;
  if (right_cut) sides &= ~2;
  if (y1 < clip.y1) sides &= ~4;
  if (y2 > clip.y2) sides &= ~8;
  clip_box(this, &x1, &y1, &x2, &y2);
  COLOUR value = *colour;
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  INT_S32 row_start = left_cut ? x1 : x1 + 1, row_end = right_cut ? x2 : x2 - 1;
  for (INT_S32 y : {(INT_S32)y1, (INT_S32)y2}) {
    if (!(sides & (y == y1 ? 4 : 8))) continue;
    if (y == y2 && y2 == y1 && (sides & 4)) continue;  // one row: drawn once
    for (INT_S32 x = row_start; x <= row_end; ++x) blend_pixel(pixel_at(x, y), value, threshold);
  }
  for (INT_S32 x : {(INT_S32)x1, (INT_S32)x2}) {
    if (!(sides & (x == x1 ? 1 : 2))) continue;
    if (x == x2 && x2 == x1 && (sides & 1)) continue;  // one column: drawn once
    for (INT_S32 y = y1; y <= y2; ++y) blend_pixel(pixel_at(x, y), value, threshold);
  }
}

void draw_dotted_rectangle(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 corner_cut,
                           const COLOUR* colour) {
  if (!may_draw_visible(image, colour)) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (outside_clip(image, x1, y1, x2, y2)) return;
  COLOUR value = *colour;
  INT_S32 cut = corner_cut < 0 ? 0 : corner_cut;
  auto dot = [&](INT_S32 x, INT_S32 y) {
    if (inside_clip(image, x, y)) blend_pixel(image->pixel_at(x, y), value, OPAQUE_ALPHA_THRESHOLD);
  };
  for (INT_S32 x = x1 + cut; x <= x2 - cut; x += 2) {
    dot(x, y1);
    if (y2 != y1) dot(x, y2);
  }
  for (INT_S32 y = y1 + cut; y <= y2 - cut; y += 2) {
    dot(x1, y);
    if (x2 != x1) dot(x2, y);
  }
  clip_box(image, &x1, &y1, &x2, &y2);
}

// ----------------------------------------------------------------------------------------------------
// Gradients, darkening and XOR outlines
// ----------------------------------------------------------------------------------------------------

void IMAGE::fill_gradient_horizontal(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* left,
                                     const COLOUR* right, INT_U8 blend) {
  if (!may_draw(this) || !left || !right) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (outside_clip(this, x1, y1, x2, y2)) return;
  INT_S32 span = x2 - x1, offset = x1 < clip.x1 ? clip.x1 - x1 : 0;
  clip_box(this, &x1, &y1, &x2, &y2);
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  for (INT_S32 i = 0; i <= x2 - x1; ++i) {
    COLOUR value = interpolate(*left, *right, i + offset, span, true);
    for (INT_S32 y = y1; y <= y2; ++y) {
      if (blend) blend_pixel(pixel_at(x1 + i, y), value, threshold);
      else *pixel_at(x1 + i, y) = value;
    }
  }
}

void IMAGE::fill_gradient_vertical(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* top,
                                   const COLOUR* bottom, INT_U8 blend) {
  if (!may_draw(this) || !top || !bottom) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (outside_clip(this, x1, y1, x2, y2)) return;
  INT_S32 span = y2 - y1, offset = y1 < clip.y1 ? clip.y1 - y1 : 0;
  clip_box(this, &x1, &y1, &x2, &y2);
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  for (INT_S32 j = 0; j <= y2 - y1; ++j) {
    COLOUR value = interpolate(*top, *bottom, j + offset, span, true);
    INT_U32* row = pixel_at(x1, y1 + j);
    for (INT_S32 i = 0; i <= x2 - x1; ++i) {
      if (blend) blend_pixel(&row[i], value, threshold);
      else row[i] = value;
    }
  }
}

void IMAGE::darken_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 percent) {
  if (!may_draw(this)) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (outside_clip(this, x1, y1, x2, y2)) return;
  if (percent <= 0) return;
  if (percent > 100) percent = 100;
  clip_box(this, &x1, &y1, &x2, &y2);
  for (INT_S32 y = y1; y <= y2; ++y) {
    INT_U32* row = pixel_at(x1, y);
    for (INT_S32 i = 0; i <= x2 - x1; ++i) row[i] = darken_value(row[i], percent);
  }
  // Every pixel went through a successful darkening, which leaves the data layer's error cleared.
  set_error(DATA_ERROR_NONE, nullptr);
}

void IMAGE::xor_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour) {
  if (!may_draw_visible(this, colour)) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (outside_clip(this, x1, y1, x2, y2)) return;
  bool left = x1 >= clip.x1, right = x2 <= clip.x2, top = y1 >= clip.y1, bottom = y2 <= clip.y2;
  clip_box(this, &x1, &y1, &x2, &y2);
  COLOUR value = *colour;
  auto flip = [&](INT_S32 x, INT_S32 y) {
    INT_U32* p = pixel_at(x, y);
    *p = (*p ^ value) | 0xFF000000;
  };
  for (INT_S32 x = x1; x <= x2; ++x) {
    if (top) flip(x, y1);
    if (bottom) flip(x, y2);
  }
  for (INT_S32 y = y1; y <= y2; ++y) {
    if (left) flip(x1, y);
    if (right) flip(x2, y);
  }
}

// ----------------------------------------------------------------------------------------------------
// Round corners
// ----------------------------------------------------------------------------------------------------

INT_S16 corner_radius(IMAGE*, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  return (INT_S16)std::min((x2 - x1 + 1) / 3, (y2 - y1 + 1) / 3);
}

void draw_shaded_box(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 radius,
                     INT_U8 corners, const COLOUR* colour1, const COLOUR* colour2, INT_S8 percent,
                     INT_S32 mode) {
  if (!may_draw(image)) return;
  sort_corners(&x1, &y1, &x2, &y2);
  if (radius == -1) radius = corner_radius(image, x1, y1, x2, y2);
  if (radius <= 0) return;
  if (mode < SHADE_BLEND || mode > SHADE_DARKEN) return;
  if ((mode != SHADE_DARKEN && !colour1) || ((mode == SHADE_HORIZONTAL || mode == SHADE_VERTICAL) && !colour2))
    return;
  image->extend_dirty_in_clip(x1, y1, x2, y2);
  if (mode == SHADE_DARKEN && (percent < -100 || percent > 100)) {
    // Out of range: darken_colour reports it and changes nothing.
    COLOUR unused = 0;
    darken_colour(&unused, percent);
    return;
  }
  INT_S32 r = radius;
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  INT_S32 from_x = std::max<INT_S32>(x1, image->clip.x1), to_x = std::min<INT_S32>(x2, image->clip.x2);
  INT_S32 from_y = std::max<INT_S32>(y1, image->clip.y1), to_y = std::min<INT_S32>(y2, image->clip.y2);
  // Inside the shape: not outside the round part of a flagged corner.
  auto in_shape = [&](INT_S32 x, INT_S32 y) {
    INT_S32 cx, cy;
    if ((corners & 1) && x < x1 + r && y < y1 + r) cx = x1 + r, cy = y1 + r;
    else if ((corners & 4) && x < x1 + r && y > y2 - r) cx = x1 + r, cy = y2 - r;
    else if ((corners & 2) && x > x2 - r && y < y1 + r) cx = x2 - r, cy = y1 + r;
    else if ((corners & 8) && x > x2 - r && y > y2 - r) cx = x2 - r, cy = y2 - r;
    else return true;
    double dx = x - cx, dy = y - cy;
    return (INT_S32)std::sqrt(dx * dx + dy * dy) < r;
  };
  for (INT_S32 y = from_y; y <= to_y; ++y) {
    // A row of the shape is one run: a corner cuts only pixels at the row's ends (the farther from the
    // corner's centre, the nearer the end), so the run's ends are found from the two sides.
    INT_S32 left = from_x, right = to_x;
    while (left <= right && !in_shape(left, y)) ++left;
    while (right >= left && !in_shape(right, y)) --right;
    if (left > right) continue;
    INT_U32* row = image->pixel_at(0, y) + left;
    INT_S32 count = right - left + 1;
    switch (mode) {
      case SHADE_BLEND:
        if ((*colour1 >> 24) >= threshold) std::fill(row, row + count, *colour1);
        else for (INT_S32 i = 0; i < count; ++i) blend_pixel(&row[i], *colour1, threshold);
        break;
      case SHADE_HORIZONTAL:
        for (INT_S32 i = 0; i < count; ++i) row[i] = interpolate(*colour1, *colour2, left + i - x1, x2 - x1, false);
        break;
      case SHADE_VERTICAL:
        std::fill(row, row + count, interpolate(*colour1, *colour2, y - y1, y2 - y1, false));
        break;
      default:
        for (INT_S32 i = 0; i < count; ++i) row[i] = darken_value(row[i], percent);
        break;
    }
  }
  if (mode == SHADE_DARKEN) set_error(DATA_ERROR_NONE, nullptr);
}

void IMAGE::draw_corner_arc(INT_S16 x, INT_S16 y, INT_S16 radius, INT_U8 corner, const COLOUR* colour) {
  INT_S32 r = radius;
  if (r <= 0) return;
  INT_S32 base_x, base_y, sign, from;
  if (corner & 1) base_x = x + r, base_y = y + r - 1, sign = -1, from = -r;
  else if (corner & 2) base_x = x - r, base_y = y + r - 1, sign = -1, from = 0;
  else if (corner & 4) base_x = x + r, base_y = y - r + 1, sign = 1, from = -r;
  else if (corner & 8) base_x = x - r, base_y = y - r + 1, sign = 1, from = 0;
  else return;
  INT_S32 last_x = 0, last_y = 0;
  for (INT_S32 i = from; i <= from + r; ++i) {
    INT_S32 h = (INT_S32)std::sqrt((double)(r * r - i * i));
    INT_S32 px = base_x + i, py = base_y + (h - 1) * sign;
    if (i != from) draw_line((INT_S16)last_x, (INT_S16)last_y, (INT_S16)px, (INT_S16)py, colour, 1, 1);
    last_x = px;
    last_y = py;
  }
}

void IMAGE::draw_rounded_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                                   INT_S16 radius, INT_U8 corners) {
  INT_S32 r = radius == -1 ? std::min((y2 - y1 + 1) / 3, (x2 - x1 + 1) / 3) : radius;
  auto line = [&](INT_S32 ax, INT_S32 ay, INT_S32 bx, INT_S32 by) {
    draw_line((INT_S16)ax, (INT_S16)ay, (INT_S16)bx, (INT_S16)by, colour, 1, 1);
  };
  line(x1 + r, y1, x2 - r, y1);
  line(x2, y1 + r, x2, y2 - r);
  line(x2 - r, y2, x1 + r, y2);
  line(x1, y2 - r, x1, y1 + r);
  struct {
    INT_U8 flag;
    INT_S32 x, y, along_x, along_y;
  } const points[4] = {{1, x1, y1, 1, 1}, {2, x2, y1, -1, 1}, {4, x1, y2, 1, -1}, {8, x2, y2, -1, -1}};
  for (const auto& p : points) {
    if (corners & p.flag) {
      draw_corner_arc((INT_S16)p.x, (INT_S16)p.y, (INT_S16)r, p.flag, colour);
    } else {
      line(p.x, p.y, p.x + r * p.along_x, p.y);
      line(p.x, p.y, p.x, p.y + r * p.along_y);
    }
  }
}

// ----------------------------------------------------------------------------------------------------
// Anti-aliased circles
// ----------------------------------------------------------------------------------------------------

void fill_antialiased(IMAGE* image, INT_S16 centre_x, INT_S16 centre_y, INT_S16 radius, const COLOUR* colour,
                      INT_S8 percent, INT_S32 style, INT_S16 thickness, INT_U8 antialias) {
  if (!may_draw(image) || !colour) return;
  if (radius <= 0) return;
  INT_S32 big_r = radius + (thickness >> 1);
  if (big_r <= 0) return;
  INT_S32 bx1 = centre_x - big_r, by1 = centre_y - big_r, bx2 = centre_x + big_r, by2 = centre_y + big_r;
  if (outside_clip(image, bx1, by1, bx2, by2)) return;
  INT_S32 cut_left = std::max<INT_S32>(0, image->clip.x1 - bx1), cut_top = std::max<INT_S32>(0, image->clip.y1 - by1);
  bx1 += cut_left;
  by1 += cut_top;
  bx2 = std::min<INT_S32>(bx2, image->clip.x2);
  by2 = std::min<INT_S32>(by2, image->clip.y2);
  image->extend_dirty_area((INT_S16)bx1, (INT_S16)by1, (INT_S16)bx2, (INT_S16)by2);

  INT_S32 side = 6 * big_r + 3;
  if ((INT_S64)side * side >= MASK_BYTES) return;
  std::memset(antialias_mask, 0, (size_t)side * side);
  INT_S32 centre = 3 * big_r + 1;
  auto set_cell = [&](INT_S32 cx, INT_S32 cy) {
    INT_S32 mx = centre + cx, my = centre + cy;
    if (mx >= 0 && mx < side && my >= 0 && my < side) antialias_mask[my * side + mx] = 1;
  };
  auto set_row = [&](INT_S32 cy, INT_S32 from, INT_S32 to) {
    for (INT_S32 cx = from; cx <= to; ++cx) set_cell(cx, cy);
  };
  auto set_column = [&](INT_S32 cx, INT_S32 from, INT_S32 to) {
    for (INT_S32 cy = from; cy <= to; ++cy) set_cell(cx, cy);
  };
  INT_S32 run = 3 * thickness;
  // Midpoint circle of radius 3R on doubled coordinates.
  INT_S32 x = 0, y = 6 * big_r, error = -6 * big_r;
  while (x <= y) {
    INT_S32 px = x / 2, py = y / 2;
    if (style == ANTIALIAS_DISC || style == ANTIALIAS_DARKENED_DISC) {
      if (x % 2 == 0) {
        set_row(py, -px, px);
        set_row(-py, -px, px);
        set_row(px, -py, py);
        set_row(-px, -py, py);
      }
    } else if (style == ANTIALIAS_RING && run > 0) {
      // Runs from the eight points straight towards the centre.
      for (INT_S32 sx : {-1, 1}) {
        for (INT_S32 sy : {-1, 1}) {
          if (sy > 0) set_column(sx * px, py - run + 1, py);
          else set_column(sx * px, -py, -py + run - 1);
          if (sx > 0) set_row(sy * px, py - run + 1, py);
          else set_row(sy * px, -py, -py + run - 1);
        }
      }
    }
    error += x;
    ++x;
    if (error >= 0) {
      error -= y;
      --y;
    }
  }

  COLOUR value = *colour;
  INT_U32 alpha = value >> 24;
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  for (INT_S32 py = by1; py <= by2; ++py) {
    INT_U32* row = image->pixel_at(0, py);
    const INT_U8* mask_row = antialias_mask + (py - by1 + cut_top) * 3 * side;
    for (INT_S32 px = bx1; px <= bx2; ++px) {
      const INT_U8* cells = mask_row + (px - bx1 + cut_left) * 3;
      INT_U32 n = 0;
      for (INT_S32 k = 0; k < 3; ++k) n += cells[k * side] + cells[k * side + 1] + cells[k * side + 2];
      if (n == 0) continue;
      INT_U32* p = &row[px];
      if (!antialias) {
        if (style == ANTIALIAS_DARKENED_DISC) {
          if (n >= 4) blend_pixel(p, value, threshold);
        } else {
          blend_pixel(p, value, threshold);
          if (n >= 4) blend_pixel(p, value, threshold);
        }
      } else if (style == ANTIALIAS_DARKENED_DISC) {
        if (n == 9) {
          darken_colour(p, percent);
        } else {
          INT_U32 result = 0xFF000000;
          for (int shift = 0; shift <= 16; shift += 8) {
            INT_S32 c = (INT_S32)((*p >> shift) & 0xFF), d = c * (100 - percent) / 100;
            INT_S32 mixed = (d * (INT_S32)n + c * (9 - (INT_S32)n)) / 9;
            result |= (INT_U32)std::clamp(mixed, 0, 255) << shift;
          }
          *p = result;
        }
      } else {
        INT_U32 scaled = n == 9 ? alpha : n * alpha / 9;
        blend_pixel(p, (value & 0x00FFFFFF) | (scaled << 24), threshold);
      }
    }
  }
}
