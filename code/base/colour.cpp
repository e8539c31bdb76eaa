// Colours: tinting and channel mapping of single pixels, the AHSL and ACMYK colour models, darkening,
// the colour texts of style-set files and the helpers that keep text and frames readable.
#include "colour.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "errors.h"
#include "velk_string.h"

COLOUR COLOUR_INVISIBLE = 0;
INT_U8 OPAQUE_ALPHA_THRESHOLD = 250;

void blend_row(COLOUR* out, const COLOUR* under, const COLOUR* over, INT_S32 count, INT_U8 alpha, INT_U8 threshold) {
  if (count <= 0) return;
  if (alpha == 0) {
    if (out != under) std::memmove(out, under, (size_t)count * sizeof(COLOUR));
    return;
  }
  if (alpha >= threshold) {
    COLOUR top = (COLOUR)alpha << 24;
    for (INT_S32 i = 0; i < count; i++) out[i] = (over[i] & 0x00FFFFFF) | top;
    return;
  }
  // Each of red, green and blue is (over * alpha + under * (255 - alpha)) >> 8, which fits 16 bits: so the
  // bytes are mixed alike in 16-bit lanes, and the alpha bytes of under are put back afterwards. Pieces of
  // a row small enough to stay in the first-level cache go through the three loops.
  const INT_S32 PIECE = 256;
  INT_U16 weight = alpha, rest = (INT_U16)(255 - alpha);
  COLOUR kept[PIECE];
  for (INT_S32 start = 0; start < count; start += PIECE) {
    INT_S32 n = count - start < PIECE ? count - start : PIECE;
    for (INT_S32 i = 0; i < n; i++) kept[i] = under[start + i] & 0xFF000000;
    const INT_U8* from_under = (const INT_U8*)(under + start);
    const INT_U8* from_over = (const INT_U8*)(over + start);
    INT_U8* to = (INT_U8*)(out + start);
    for (INT_S32 i = 0; i < n * 4; i++)
      to[i] = (INT_U8)((INT_U16)(from_over[i] * weight + from_under[i] * rest) >> 8);
    for (INT_S32 i = 0; i < n; i++) out[start + i] = (out[start + i] & 0x00FFFFFF) | kept[i];
  }
}

namespace {

INT_U32 channel(COLOUR colour, int shift) { return (colour >> shift) & 0xFF; }

// value truncated toward zero, kept to its low eight bits (out-of-range values stay defined).
INT_U32 low_eight_bits(double value) {
  if (!(value > -1e15 && value < 1e15)) return 0;
  return (INT_U32)(INT_S64)value & 0xFF;
}

const char* skip_spaces(const char* text) {
  while (*text == ' ') ++text;
  return text;
}

}  // namespace

void tint_pixel(COLOUR* pixel, const COLOUR* tint) {
  COLOUR p = *pixel, t = *tint;
  INT_U32 b = (channel(p, 16) + channel(p, 8) + channel(p, 0)) / 3;
  INT_U32 tb = (channel(t, 16) + channel(t, 8) + channel(t, 0)) / 3;
  INT_U32 result = p & 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    INT_U32 tc = channel(t, shift), value;
    if (b <= tb) {
      // A tint of brightness 0 (only a pixel of brightness 0 lands here then) gives black.
      value = tb == 0 ? 0 : tc * b / tb;
    } else {
      value = tc + (255 - tc) * (b - tb) / (255 - tb);
    }
    result |= (value & 0xFF) << shift;
  }
  *pixel = result;
}

void map_channels_pixel(COLOUR* pixel, const COLOUR* red, const COLOUR* green, const COLOUR* blue) {
  COLOUR p = *pixel;
  INT_U32 r = channel(p, 16), g = channel(p, 8), b = channel(p, 0);
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  bool red_visible = (*red >> 24) != 0, green_visible = (*green >> 24) != 0, blue_visible = (*blue >> 24) != 0;
  // Puts colour over result with the weight w as its alpha.
  auto put_over = [threshold](COLOUR* result, COLOUR colour, INT_U32 w) {
    if (w == 0) return;
    blend_pixel(result, (colour & 0x00FFFFFF) | (w << 24), threshold);
  };
  COLOUR result;
  INT_U32 sum;
  if (r != 0 && red_visible) {
    result = *red;
    sum = r * (*red >> 24) / 255;
    if (green_visible) {
      put_over(&result, *green, g * (*green >> 24) / 255);
      sum += g;
    }
    if (blue_visible) {
      put_over(&result, *blue, b * (*blue >> 24) / 255);
      sum += b;
    }
    if (sum > 255) sum = 255;
    result = (result & 0x00FFFFFF) | (sum << 24);
  } else if (g != 0 && green_visible) {
    result = *green;
    sum = g * (*green >> 24) / 255;
    if (blue_visible) {
      put_over(&result, *blue, b * (*blue >> 24) / 255);
      sum += b;
    }
    if (sum > 255) sum = 255;
    result = (result & 0x00FFFFFF) | (sum << 24);
  } else if (b != 0 && blue_visible) {
    result = (*blue & 0x00FFFFFF) | ((b * (*blue >> 24) / 255) << 24);
  } else {
    result = 0;
  }
  *pixel = result;
}

void colour_to_ahsl(const COLOUR* colour, double* a, double* h, double* s, double* l) {
  float fa = channel(*colour, 24) / 255.0f;
  float r = channel(*colour, 16) / 255.0f, g = channel(*colour, 8) / 255.0f, b = channel(*colour, 0) / 255.0f;
  float max = std::fmax(r, std::fmax(g, b)), min = std::fmin(r, std::fmin(g, b));
  float delta = max - min;
  float fl = (max + min) * 0.5f;
  float fs;
  if (fl <= 0.0f || fl >= 1.0f) fs = 0.0f;
  else if (fl >= 0.5f) fs = delta / (2.0f - 2.0f * fl);
  else fs = delta / (2.0f * fl);
  float fh = 0.0f;
  if (delta > 0.0f) {
    if (max == r) fh = (g - b) / delta;
    else if (max == g) fh = 2.0f + (b - r) / delta;
    else fh = 4.0f + (r - g) / delta;
    fh /= 6.0f;
    if (fh < 0.0f) fh += 1.0f;
  }
  *a = fa;
  *h = fh;
  *s = fs;
  *l = fl;
}

void colour_from_ahsl(COLOUR* out, double a, double h, double s, double l) {
  h = std::fmin(std::fmax(h, 0.0), 1.0);
  s = std::fmin(std::fmax(s, 0.0), 1.0);
  l = std::fmin(std::fmax(l, 0.0), 1.0);
  double hue = h * 360.0, c[3];
  if (hue < 120.0) {
    c[0] = (120.0 - hue) / 60.0;
    c[1] = hue / 60.0;
    c[2] = 0.0;
  } else if (hue < 240.0) {
    c[0] = 0.0;
    c[1] = (240.0 - hue) / 60.0;
    c[2] = (hue - 120.0) / 60.0;
  } else {
    c[0] = (hue - 240.0) / 60.0;
    c[1] = 0.0;
    c[2] = (360.0 - hue) / 60.0;
  }
  for (double& value : c) {
    if (value > 1.0) value = 1.0;
    value = 2.0 * s * value + (1.0 - s);
    value = l >= 0.5 ? (1.0 - l) * value + 2.0 * l - 1.0 : value * l;
  }
  *out = (low_eight_bits(a * 255.0) << 24) | (low_eight_bits(c[0] * 255.0) << 16) |
         (low_eight_bits(c[1] * 255.0) << 8) | low_eight_bits(c[2] * 255.0);
}

void colour_to_acmyk(const COLOUR* colour, double* a, double* c, double* m, double* y, double* k) {
  float fa = channel(*colour, 24) / 255.0f;
  float r = channel(*colour, 16) / 255.0f, g = channel(*colour, 8) / 255.0f, b = channel(*colour, 0) / 255.0f;
  float fk = std::fmin(1.0f - r, std::fmin(1.0f - g, 1.0f - b));
  *a = fa;
  *k = fk;
  if (fk >= 1.0f) {
    // Black: no colour is left to describe.
    *c = *m = *y = 0.0;
    return;
  }
  *c = (1.0f - r - fk) / (1.0f - fk);
  *m = (1.0f - g - fk) / (1.0f - fk);
  *y = (1.0f - b - fk) / (1.0f - fk);
}

void colour_from_acmyk(COLOUR* out, double a, double c, double m, double y, double k) {
  *out = (low_eight_bits(a * 255.0) << 24) | (low_eight_bits((1.0 - c) * (1.0 - k) * 255.0) << 16) |
         (low_eight_bits((1.0 - m) * (1.0 - k) * 255.0) << 8) | low_eight_bits((1.0 - y) * (1.0 - k) * 255.0);
}

void darken_colour(COLOUR* pixel, INT_S8 percent) {
  if (percent < -100 || percent > 100) {
    set_error(DATA_ERROR_DARKEN_PERCENTAGE, nullptr);
    log_data_error(nullptr, "include/colour", 214);
    return;
  }
  COLOUR p = *pixel;
  COLOUR result = p & 0xFF000000;
  for (int shift = 0; shift <= 16; shift += 8) {
    INT_S32 value = (INT_S32)channel(p, shift) * (100 - percent) / 100;
    if (value < 0) value = 0;
    if (value > 255) value = 255;
    result |= (INT_U32)value << shift;
  }
  *pixel = result;
  set_error(DATA_ERROR_NONE, nullptr);
}

void parse_colour(COLOUR* out, const char* text) {
  if (!text) return;
  char prefix = text[0];
  if (prefix != '#' && prefix != '%' && prefix != '&' && prefix != '@') return;

  int model = 0;  // 0 plain ARGB, 1 AHSL, 2 ACMYK
  const char* rest;
  if (std::strlen(text) >= 5 && string_compare_no_case(text + 1, "AHSL", 4) == 0) {
    model = 1;
    rest = skip_spaces(text + 5);
  } else if (std::strlen(text) >= 6 && string_compare_no_case(text + 1, "ACMYK", 5) == 0) {
    model = 2;
    rest = skip_spaces(text + 6);
  } else {
    rest = skip_spaces(text + 1);
  }
  int count = model == 2 ? 5 : 4;
  // Components that the text does not give are 0.
  double v[5] = {0, 0, 0, 0, 0};

  if (model == 0) {
    switch (prefix) {
      case '#': {
        unsigned int value = 0;
        if (std::sscanf(rest, "%x", &value) != 1) return;
        *out = value;
        if (std::strlen(rest) <= 6) *out |= 0xFF000000;
        return;
      }
      case '%': {
        short n[4] = {0, 0, 0, 0};
        std::sscanf(rest, "%hd,%hd,%hd,%hd", &n[0], &n[1], &n[2], &n[3]);
        COLOUR result = 0;
        for (int i = 0; i < 4; ++i) result = (result << 8) | low_eight_bits((float)n[i] * 255.0f / 100.0f);
        *out = result;
        return;
      }
      case '&': {
        short n[4] = {0, 0, 0, 0};
        std::sscanf(rest, "%hd,%hd,%hd,%hd", &n[0], &n[1], &n[2], &n[3]);
        *out = ((INT_U32)(n[0] & 0xFF) << 24) | ((INT_U32)(n[1] & 0xFF) << 16) | ((INT_U32)(n[2] & 0xFF) << 8) |
               (INT_U32)(n[3] & 0xFF);
        return;
      }
      default: {
        std::sscanf(rest, "%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3]);
        COLOUR result = 0;
        for (int i = 0; i < 4; ++i) result = (result << 8) | low_eight_bits(v[i] * 255.0);
        *out = result;
        return;
      }
    }
  }

  switch (prefix) {
    case '#': {
      // Pairs of hexadecimal digits written together.
      for (int i = 0; i < count; ++i) {
        char pair[3] = {0, 0, 0};
        size_t left = std::strlen(rest);
        if (left < (size_t)(2 * i + 1)) break;
        std::memcpy(pair, rest + 2 * i, left >= (size_t)(2 * i + 2) ? 2 : 1);
        unsigned short value = 0;
        if (std::sscanf(pair, "%hx", &value) == 1) v[i] = value / 255.0;
      }
      break;
    }
    case '%':
    case '&': {
      short n[5] = {0, 0, 0, 0, 0};
      if (count == 4) std::sscanf(rest, "%hd,%hd,%hd,%hd", &n[0], &n[1], &n[2], &n[3]);
      else std::sscanf(rest, "%hd,%hd,%hd,%hd,%hd", &n[0], &n[1], &n[2], &n[3], &n[4]);
      double divisor = prefix == '%' ? 100.0 : 255.0;
      for (int i = 0; i < count; ++i) v[i] = n[i] / divisor;
      break;
    }
    default:
      if (count == 4) std::sscanf(rest, "%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3]);
      else std::sscanf(rest, "%lf,%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3], &v[4]);
      break;
  }
  if (model == 1) colour_from_ahsl(out, v[0], v[1], v[2], v[3]);
  else colour_from_acmyk(out, v[0], v[1], v[2], v[3], v[4]);
}

bool ensure_colour_contrast(COLOUR* colour, const COLOUR* reference, bool test_only) {
  double a, h, s, l, ra, rh, rs, rl;
  colour_to_ahsl(colour, &a, &h, &s, &l);
  colour_to_ahsl(reference, &ra, &rh, &rs, &rl);
  if (!(std::fabs(h - rh) < 0.2 && std::fabs(s - rs) < 0.2 && std::fabs(l - rl) < 0.2)) return false;
  double lightness = rl <= 0.5 ? rl + 0.2 : rl - 0.2;
  if (!test_only) colour_from_ahsl(colour, a, h, s, lightness);
  return true;
}

void contrasting_text_colour(COLOUR* out, const COLOUR* background) {
  INT_U32 sum = channel(*background, 16) + channel(*background, 8) + channel(*background, 0);
  *out = sum < 384 ? 0xFFFFFFFFu : 0xFF000000u;
}

void adjust_lightness(COLOUR* out, const COLOUR* source, double delta) {
  double a, h, s, l;
  colour_to_ahsl(source, &a, &h, &s, &l);
  double lightness;
  if (delta >= 0) lightness = l <= 1.0 - delta ? l + delta : l - delta;
  else lightness = l >= -delta ? l + delta : l - delta;
  colour_from_ahsl(out, channel(*out, 24) / 255.0, h, s, lightness);
}
