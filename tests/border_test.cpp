// Tests of the border module's data: shading-type widths and the module colours at start.
#include <gtest/gtest.h>

#include "border.h"

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

}  // namespace
