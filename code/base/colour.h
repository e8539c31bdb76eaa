// Colours: the 32-bit 0xAARRGGBB value that every drawing call takes, the one blending rule shared by
// all blended drawing, per-pixel tint and channel mapping, colour models, contrast helpers and the
// colour texts of style-set files.
#pragma once
#include "types.h"

typedef INT_U32 COLOUR;

// Holds 0 (alpha 0) for the whole run; its address is passed wherever no colour is wanted.
extern COLOUR COLOUR_INVISIBLE;
// Alphas from this value up count as opaque in the blending rule.
extern INT_U8 OPAQUE_ALPHA_THRESHOLD;

// The blending rule: source over *target. Alpha 0 leaves the target, alpha >= threshold stores the
// source whole, anything between mixes red, green and blue (>> 8) and keeps the target's alpha.
inline void blend_pixel(COLOUR* target, COLOUR source, INT_U8 threshold) {
  INT_U32 alpha = source >> 24;
  if (alpha == 0) return;
  if (alpha >= threshold) {
    *target = source;
    return;
  }
  INT_U32 inverse = 255 - alpha;
  INT_U32 d = *target;
  INT_U32 red_blue = (((source & 0x00FF00FF) * alpha + (d & 0x00FF00FF) * inverse) >> 8) & 0x00FF00FF;
  INT_U32 green = (((source & 0x0000FF00) * alpha + (d & 0x0000FF00) * inverse) >> 8) & 0x0000FF00;
  *target = (d & 0xFF000000) | red_blue | green;
}

// blend_pixel of over[i] with its alpha replaced by one alpha onto under[i], into out[i], for a row of
// count pixels; out may be under or over (the same pixels, not a shifted overlap). One alpha for the
// whole row keeps the loops free of branches, so that the compiler can vectorise them.
void blend_row(COLOUR* out, const COLOUR* under, const COLOUR* over, INT_S32 count, INT_U8 alpha, INT_U8 threshold);

// Replaces the pixel by the tint at the pixel's brightness (alpha kept).
void tint_pixel(COLOUR* pixel, const COLOUR* tint);
// Replaces the pixel by a mix of three colours weighted by its own red, green and blue.
void map_channels_pixel(COLOUR* pixel, const COLOUR* red, const COLOUR* green, const COLOUR* blue);

// Alpha, hue (a full turn is 1), saturation and lightness, each a fraction 0 .. 1.
void colour_to_ahsl(const COLOUR* colour, double* a, double* h, double* s, double* l);
void colour_from_ahsl(COLOUR* out, double a, double h, double s, double l);
// Alpha, cyan, magenta, yellow and black, each a fraction 0 .. 1.
void colour_to_acmyk(const COLOUR* colour, double* a, double* c, double* m, double* y, double* k);
void colour_from_acmyk(COLOUR* out, double a, double c, double m, double y, double k);

// Darkens (negative: lightens) red, green and blue by percent; outside -100 .. 100 the colour stays and
// the data layer's last error becomes 0x1000, else that error is cleared.
void darken_colour(COLOUR* pixel, INT_S8 percent);

// Reads "#..." (hexadecimal), "%..." (percent), "&..." (0 .. 255) or "@..." (fractions) colour text,
// optionally in the AHSL or ACMYK model; null or unknown text leaves out unchanged.
void parse_colour(COLOUR* out, const char* text);

// True when colour lies too close to reference; unless test_only the colour's lightness is moved away.
bool ensure_colour_contrast(COLOUR* colour, const COLOUR* reference, bool test_only);
// Opaque white on dark backgrounds, opaque black on light ones.
void contrasting_text_colour(COLOUR* out, const COLOUR* background);
// out = source with its lightness moved by delta (turned back at the ends), keeping out's alpha.
void adjust_lightness(COLOUR* out, const COLOUR* source, double delta);
