// Tests of the button hint style: its one-time defaults, and a stored hint style kept by the ready flag.
#include <gtest/gtest.h>

#include "button.h"

namespace {

TEST(ButtonHintStyle, DefaultsOnceUnlessReady) {
  stop_global_style_sets();
  button_hint_style_ready = 0;
  EXPECT_EQ(button_hint_style->shading_type, 1u);
  prepare_button_hint_style();
  EXPECT_EQ(button_hint_style_ready, 1);
  EXPECT_EQ(button_hint_style->shading_type, 3u);
  EXPECT_EQ(button_hint_style->fg_colour, 0xFF000000u);
  EXPECT_EQ(button_hint_style->bg_colour, 0xFFFFD000u);
  EXPECT_EQ(button_hint_style->fading_colour, 0xFFFF0000u);
  EXPECT_EQ(button_hint_style->shading_flags, 0x000F);
  EXPECT_EQ(button_hint_style->flags, 0x10Bu);

  // A style stored with the flag set keeps its values.
  button_hint_style->bg_colour = 0xFF123456;
  prepare_button_hint_style();
  EXPECT_EQ(button_hint_style->bg_colour, 0xFF123456u);
  stop_global_style_sets();
  button_hint_style_ready = 0;
}

}  // namespace
