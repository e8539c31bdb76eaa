// Tests of borders and arrows: shading-type widths, the module colours, shades of an object's colour, the
// ring colours of the square and pressed forms, the shortened sides of the rounded form, and arrows.
#include <gtest/gtest.h>

#include "border.h"
#include "host.h"
#include "image.h"
#include "screen_image.h"
#include "screen_object.h"
#include "screen_object_draw.h"
#include "wm_test_support.h"

namespace {

TEST(Border, WidthsAndColours) {
  INT_S32 widths[10] = {0, 2, 3, 1, 1, 2, 2, 3, 3, 4};
  for (int type = 0; type < 10; type++) EXPECT_EQ(border_width_of_type(type), widths[type]) << type;
  EXPECT_EQ(border_width_of_type(10), 0);
  EXPECT_EQ(border_width_of_type(-3), 0);
  EXPECT_EQ(border_base_colour, 0u);
  EXPECT_EQ(border_outline_colour, 0xFFFFFF00u);
  EXPECT_EQ(border_groove_colour, 0xFF000000u);
  EXPECT_EQ(border_light_colour, 0xFFFFFFFFu);
  EXPECT_EQ(border_dark_colour, 0xFF808080u);
}

TEST(Border, ShadesOfTheObjectsColour) {
  WM_TEST_SCREEN screen(64, 48, 0);
  WM_SCREEN_OBJECT object(1, nullptr, 0, 0);
  struct CASE {
    COLOUR colour, dark, light;
  } cases[] = {{0xFF404040, 0xFF2C2C2C, 0xFF535353}, {0xFFC8C8C8, 0xFF8C8C8C, 0xFFFFFFFF},
               {0, 0xFF808080, 0xFFFFFFFF}, {0x80102030, 0x800B1621, 0x8014293E}};
  for (const CASE& c : cases) {
    object.colour = c.colour;
    COLOUR dark = 0, light = 0;
    border_colours(&object, nullptr, &dark, &light);
    EXPECT_EQ(dark, c.dark) << std::hex << c.colour;
    EXPECT_EQ(light, c.light) << std::hex << c.colour;
  }
  // Without an object colour and without module shades: the fallback, then the base colour, then grey.
  object.colour = 0;
  COLOUR saved_dark = border_dark_colour, saved_light = border_light_colour;
  border_dark_colour = border_light_colour = 0;
  COLOUR fallback = 0xFF646464, dark, light;
  border_colours(&object, &fallback, &dark, &light);
  EXPECT_EQ(dark, 0xFF464646u);
  EXPECT_EQ(light, 0xFF828282u);
  border_colours(&object, nullptr, &dark, &light);
  EXPECT_EQ(dark, 0xFF808080u);
  EXPECT_EQ(light, 0xFFFFFFFFu);
  border_dark_colour = saved_dark;
  border_light_colour = saved_light;
}

TEST(Border, RingColoursSquareAndPressed) {
  WM_TEST_SCREEN screen(64, 48, 0);
  WM_SCREEN_OBJECT object(1, nullptr, 0, 0);
  COLOUR white = 0xFFFFFFFF, grey = 0xFF808080;
  // Type 6: two shaded rings, light on top and left, dark on bottom and right; swapped when pressed.
  draw_border(&object, 0, 0, 19, 9, 0x000F, nullptr, 6, -1);
  EXPECT_EQ(screen_pixel(5, 0), white);
  EXPECT_EQ(screen_pixel(5, 1), white);
  EXPECT_EQ(screen_pixel(0, 5), white);
  EXPECT_EQ(screen_pixel(5, 9), grey);
  EXPECT_EQ(screen_pixel(19, 5), grey);
  EXPECT_EQ(screen_pixel(18, 5), grey);
  EXPECT_EQ(screen_pixel(5, 2), 0xFF000000u);  // inside untouched
  draw_border(&object, 0, 0, 19, 9, 0x800F, nullptr, 6, -1);
  EXPECT_EQ(screen_pixel(5, 0), grey);
  EXPECT_EQ(screen_pixel(5, 9), white);
  // Only the flagged sides: bottom alone.
  COLOUR black = 0xFF000000;
  screen_image.clear(&black, 1);
  draw_border(&object, 0, 0, 19, 9, 0x0002, nullptr, 4, -1);
  EXPECT_EQ(screen_pixel(5, 9), grey);
  EXPECT_EQ(screen_pixel(5, 0), black);
  // Type 2 pressed: only the innermost ring changes.
  for (INT_U16 flags : {(INT_U16)0x000F, (INT_U16)0x800F}) {
    screen_image.clear(&black, 1);
    draw_border(&object, 0, 0, 19, 9, flags, nullptr, 2, -1);
    bool pressed = flags & 0x8000;
    EXPECT_EQ(screen_pixel(5, 0), grey);   // dark outside, never swapped
    EXPECT_EQ(screen_pixel(5, 9), white);
    EXPECT_EQ(screen_pixel(5, 1), border_groove_colour);
    EXPECT_EQ(screen_pixel(5, 2), pressed ? grey : white);
    EXPECT_EQ(screen_pixel(5, 7), pressed ? white : grey);
  }
  // Type 3: the outline colour; types outside 2..9 draw nothing.
  screen_image.clear(&black, 1);
  draw_border(&object, 0, 0, 19, 9, 0x000F, nullptr, 3, -1);
  EXPECT_EQ(screen_pixel(5, 9), border_outline_colour);
  screen_image.clear(&black, 1);
  draw_border(&object, 0, 0, 19, 9, 0x000F, nullptr, 10, -1);
  draw_border(&object, 0, 0, 19, 9, 0x000F, nullptr, 0, -1);
  EXPECT_EQ(screen_pixel(5, 0), black);
}

TEST(Border, ThePainterTakesTheShadesAndTypeItIsGiven) {
  WM_TEST_SCREEN screen(64, 48, 0);
  COLOUR dark = 0, light = 0;
  border_shades(0xFF404040, nullptr, &dark, &light);
  EXPECT_EQ(dark, 0xFF2C2C2Cu);
  EXPECT_EQ(light, 0xFF535353u);
  // Type 1 is the default type (6: two shaded rings), whoever draws.
  draw_border_rings(0, 0, 19, 9, 0x000F, 0xFF112233, 0xFF445566, 1, -1);
  EXPECT_EQ(screen_pixel(5, 1), 0xFF445566u);
  EXPECT_EQ(screen_pixel(18, 5), 0xFF112233u);
  EXPECT_EQ(screen_pixel(5, 2), 0xFF000000u);
}

TEST(Border, RoundedSidesAreShortenedByTheRadius) {
  WM_TEST_SCREEN screen(64, 48, 0);
  WM_SCREEN_OBJECT object(1, nullptr, 0, 0);
  COLOUR black = 0xFF000000;
  // 30 x 12 with all corners round and radius -1: r = 4; ring 0's top side runs from x1 + 4 to x2 - 4.
  draw_border(&object, 10, 10, 39, 21, 0x00FF, nullptr, 4, -1);
  EXPECT_EQ(screen_pixel(14, 10), 0xFFFFFFFFu);
  EXPECT_EQ(screen_pixel(35, 10), 0xFFFFFFFFu);
  EXPECT_EQ(screen_pixel(10, 10), black);  // the corner pixel itself lies outside the arc
  EXPECT_EQ(screen_pixel(39, 10), black);
}

TEST(Border, ArrowsFillTheirTriangle) {
  WM_TEST_SCREEN screen(64, 48, 0);
  COLOUR red = 0xFFFF0000, black = 0xFF000000;
  // A 9 x 9 box with insets -1: insets 3, apex in the middle column 4.
  draw_arrow(nullptr, 0, 0, 8, 8, &red, 0, -1, -1);
  EXPECT_EQ(screen_pixel(4, 3), red);   // apex
  EXPECT_EQ(screen_pixel(3, 5), red);   // base from column 3
  EXPECT_EQ(screen_pixel(5, 5), red);   // to column 5
  EXPECT_EQ(screen_pixel(2, 5), black);
  EXPECT_EQ(screen_pixel(6, 5), black);
  EXPECT_EQ(screen_pixel(4, 6), black);
  screen_image.clear(&black, 1);
  draw_arrow(nullptr, 0, 0, 8, 8, &red, 3, -1, -1);  // right: apex at the right inset
  EXPECT_EQ(screen_pixel(5, 4), red);
  EXPECT_EQ(screen_pixel(3, 3), red);
  EXPECT_EQ(screen_pixel(6, 4), black);
  screen_image.clear(&black, 1);
  draw_arrow(nullptr, 0, 0, 8, 8, &red, 4, -1, -1);  // no such direction
  EXPECT_EQ(screen_pixel(4, 4), black);
}

}  // namespace
