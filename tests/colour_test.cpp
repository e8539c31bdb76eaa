// Tests of colours: the blending rule, tint and channel mapping, the AHSL and ACMYK models, darkening
// with its data-layer error, colour texts and the contrast helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "colour.h"
#include "errors.h"

TEST(Colour, InvisibleAndThreshold) {
  EXPECT_EQ(COLOUR_INVISIBLE, 0u);
  EXPECT_EQ(OPAQUE_ALPHA_THRESHOLD, 250);
}

TEST(Colour, BlendingRule) {
  COLOUR target = 0x40123456;
  blend_pixel(&target, 0xFFFFFFFF, 250);
  EXPECT_EQ(target, 0xFFFFFFFFu);
  target = 0x40000000;
  blend_pixel(&target, 0xF9FFFFFF, 250);  // 249: blended, target alpha kept
  EXPECT_EQ(target, 0x40F8F8F8u);
  target = 0x40123456;
  blend_pixel(&target, 0x00FFFFFF, 250);
  EXPECT_EQ(target, 0x40123456u);
  target = 0xFFFFFFFF;
  blend_pixel(&target, 0x80FFFFFF, 250);  // two equal channels lose one step
  EXPECT_EQ(target, 0xFFFEFEFEu);
  // Every channel pair, exactly as the per-channel formula.
  for (INT_U32 a = 1; a < 250; a += 31)
    for (INT_U32 s = 0; s < 256; s += 51)
      for (INT_U32 d = 0; d < 256; d += 17) {
        COLOUR t = 0x7F000000 | (d << 16) | (d << 8) | d;
        blend_pixel(&t, (a << 24) | (s << 16) | (s << 8) | s, 250);
        INT_U32 expected = (s * a + d * (255 - a)) >> 8;
        ASSERT_EQ(t, 0x7F000000 | (expected << 16) | (expected << 8) | expected) << a << " " << s << " " << d;
      }
}

// A row at one alpha is the blending rule on every pixel, whichever alpha and threshold, in rows longer
// than the pieces it works in, written apart or in place of either input.
TEST(Colour, BlendRowIsTheRuleAtOneAlpha) {
  const INT_S32 COUNT = 300;
  std::vector<COLOUR> under(COUNT), over(COUNT);
  for (INT_S32 i = 0; i < COUNT; i++) {
    under[i] = (COLOUR)(i * 2654435761u);
    over[i] = (COLOUR)(i * 40503u * 40503u + 0x9E3779B9u);
  }
  for (INT_U8 threshold : {250, 128}) {
    for (INT_U32 alpha = 0; alpha < 256; alpha++) {
      std::vector<COLOUR> expected = under;
      for (INT_S32 i = 0; i < COUNT; i++)
        blend_pixel(&expected[i], (over[i] & 0x00FFFFFF) | alpha << 24, threshold);
      std::vector<COLOUR> apart(COUNT), in_under = under, in_over = over;
      blend_row(apart.data(), under.data(), over.data(), COUNT, (INT_U8)alpha, threshold);
      blend_row(in_under.data(), in_under.data(), over.data(), COUNT, (INT_U8)alpha, threshold);
      blend_row(in_over.data(), under.data(), in_over.data(), COUNT, (INT_U8)alpha, threshold);
      ASSERT_EQ(apart, expected) << alpha << " " << (int)threshold;
      ASSERT_EQ(in_under, expected) << alpha << " " << (int)threshold;
      ASSERT_EQ(in_over, expected) << alpha << " " << (int)threshold;
    }
  }
  COLOUR untouched = 0x12345678;
  blend_row(&untouched, &untouched, &untouched, 0, 128, 250);
  EXPECT_EQ(untouched, 0x12345678u);
}

TEST(Colour, Tint) {
  COLOUR red = 0xFFFF0000, pixel = 0x80808080;
  tint_pixel(&pixel, &red);
  EXPECT_EQ(pixel, 0x80FF4040u);
  pixel = 0xFF000000;
  tint_pixel(&pixel, &red);
  EXPECT_EQ(pixel, 0xFF000000u);
  // Black under a black tint: no division by zero, stays black.
  COLOUR black = 0xFF000000;
  pixel = 0x20000000;
  tint_pixel(&pixel, &black);
  EXPECT_EQ(pixel, 0x20000000u);
  pixel = 0xFFFFFFFF;
  tint_pixel(&pixel, &black);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
}

TEST(Colour, MapChannels) {
  COLOUR blue = 0xFF0000FF, green = 0xFF00FF00, invisible = 0;
  COLOUR pixel = 0xFFFF0000;
  map_channels_pixel(&pixel, &blue, &invisible, &invisible);
  EXPECT_EQ(pixel, 0xFF0000FFu);
  pixel = 0xFF000080;
  map_channels_pixel(&pixel, &invisible, &invisible, &green);
  EXPECT_EQ(pixel, 0x8000FF00u);
  pixel = 0xFF000000;
  map_channels_pixel(&pixel, &blue, &green, &green);
  EXPECT_EQ(pixel, 0u);
  // Red weighted fully, green put over it at weight 128: the sum is capped at 255.
  COLOUR red = 0xFFFF0000;
  pixel = 0x00FF8000;
  map_channels_pixel(&pixel, &red, &green, &blue);
  EXPECT_EQ(pixel, 0xFF7E7F00u);
}

TEST(Colour, AhslConversions) {
  double a, h, s, l;
  COLOUR blue = 0xFF0000FF;
  colour_to_ahsl(&blue, &a, &h, &s, &l);
  EXPECT_NEAR(a, 1.0, 1e-6);
  EXPECT_NEAR(h, 4.0 / 6.0, 1e-6);
  EXPECT_NEAR(s, 1.0, 1e-6);
  EXPECT_NEAR(l, 0.5, 1e-6);
  COLOUR grey = 0xFF808080;
  colour_to_ahsl(&grey, &a, &h, &s, &l);
  EXPECT_EQ(h, 0.0);
  EXPECT_EQ(s, 0.0);

  COLOUR out = 0;
  colour_from_ahsl(&out, 1, 0, 1, 0.5);
  EXPECT_EQ(out, 0xFFFF0000u);
  colour_from_ahsl(&out, 1, 0.3, 0.7, 1);
  EXPECT_EQ(out, 0xFFFFFFFFu);
  colour_from_ahsl(&out, 0.5, 2.0, -1, 0.25);  // clamped: hue 1, saturation 0
  EXPECT_EQ(out, 0x7F3F3F3Fu);
}

TEST(Colour, AcmykConversions) {
  double a, c, m, y, k;
  COLOUR black = 0xFF000000;
  colour_to_acmyk(&black, &a, &c, &m, &y, &k);
  EXPECT_EQ(k, 1.0);
  EXPECT_FALSE(std::isnan(c) || std::isnan(m) || std::isnan(y));
  COLOUR cyan = 0xFF00FFFF;
  colour_to_acmyk(&cyan, &a, &c, &m, &y, &k);
  EXPECT_NEAR(c, 1.0, 1e-6);
  EXPECT_NEAR(m, 0.0, 1e-6);
  EXPECT_NEAR(k, 0.0, 1e-6);
  COLOUR out = 0;
  colour_from_acmyk(&out, 1, 1, 0, 0, 0);
  EXPECT_EQ(out, 0xFF00FFFFu);
}

TEST(Colour, DarkenAndItsError) {
  COLOUR pixel = 0x80C86433;  // (200, 100, 51)
  darken_colour(&pixel, 50);
  EXPECT_EQ(pixel, 0x80643219u);
  EXPECT_EQ(get_error_code(), 0);
  pixel = 0x80C86433;
  darken_colour(&pixel, -50);
  EXPECT_EQ(pixel, 0x80FF964Cu);
  pixel = 0x80C86433;
  darken_colour(&pixel, 101);
  EXPECT_EQ(pixel, 0x80C86433u);
  EXPECT_EQ(get_error_code(), 0x1000);
  darken_colour(&pixel, 100);
  EXPECT_EQ(pixel, 0x80000000u);
  EXPECT_EQ(get_error_code(), 0);
}

TEST(Colour, ParseColourTexts) {
  COLOUR ahsl = 0;
  colour_from_ahsl(&ahsl, 1, 0, 1, 128 / 255.0);
  // Parsed in this order into the same colour.
  const struct {
    const char* text;
    COLOUR expected;
  } cases[] = {
      {"#FF0000", 0xFFFF0000u},
      {"#80FF0000", 0x80FF0000u},
      {"#FF0000 ", 0x00FF0000u},
      {"#  00FF00", 0xFF00FF00u},
      {"&255,0,128,255", 0xFF0080FFu},
      {"%100,0,50,100", 0xFF007FFFu},
      {"@1,0.5,0,0", 0xFF7F0000u},
      {"#ahsl FF00FF80", ahsl},
      {"@ACMYK1,0,0,0,1", 0xFF000000u},
      {"@ACMYK1,0,0,0,0", 0xFFFFFFFFu},
      {"%AHSL100,0,100,50", 0xFFFF0000u},
      {"&AHSL 255,0,255,0", 0xFF000000u},
  };
  COLOUR out = 0x12345678;
  for (const auto& item : cases) {
    parse_colour(&out, item.text);
    EXPECT_EQ(out, item.expected) << item.text;
  }

  out = 0x12345678;
  parse_colour(&out, "rgb(1,2,3)");
  parse_colour(&out, nullptr);
  parse_colour(&out, "#");
  parse_colour(&out, "#zz");
  EXPECT_EQ(out, 0x12345678u);
  parse_colour(&out, "#AHSL");  // no values: the components not given are 0
  EXPECT_EQ(out, 0u);
}

TEST(Colour, ContrastHelpers) {
  COLOUR colour = 0xFF336699, reference = 0xFF336699;
  double a, h, s, l, rl;
  colour_to_ahsl(&reference, &a, &h, &s, &rl);
  EXPECT_TRUE(ensure_colour_contrast(&colour, &reference, true));
  EXPECT_EQ(colour, 0xFF336699u);
  EXPECT_TRUE(ensure_colour_contrast(&colour, &reference, false));
  colour_to_ahsl(&colour, &a, &h, &s, &l);
  EXPECT_NEAR(l, rl + 0.2, 0.01);
  COLOUR white = 0xFFFFFFFF, black = 0xFF000000;
  EXPECT_FALSE(ensure_colour_contrast(&white, &black, false));
  EXPECT_EQ(white, 0xFFFFFFFFu);

  COLOUR out = 0;
  COLOUR dark = 0xFF80807F, light = 0xFF808080;
  contrasting_text_colour(&out, &dark);
  EXPECT_EQ(out, 0xFFFFFFFFu);
  contrasting_text_colour(&out, &light);
  EXPECT_EQ(out, 0xFF000000u);

  out = 0x80000000;
  COLOUR red = 0xFFFF0000;
  adjust_lightness(&out, &red, 0.25);  // lightness 0.5 -> 0.75, out keeps its alpha
  EXPECT_EQ(out >> 24, 0x80u);
  colour_to_ahsl(&out, &a, &h, &s, &l);
  EXPECT_NEAR(l, 0.75, 0.01);
  out = 0xFF000000;
  adjust_lightness(&out, &white, 0.3);  // 1 + 0.3 is beyond white: turned back to 0.7
  colour_to_ahsl(&out, &a, &h, &s, &l);
  EXPECT_NEAR(l, 0.7, 0.01);
}
