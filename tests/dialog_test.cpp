// Tests of the dialog module's data: the default effects block, its text and stored form, and the
// one-time adjustment of the three default dialog style sets.
#include <gtest/gtest.h>

#include <vector>

#include "dialog.h"
#include "test_support.h"

namespace {

TEST(DialogEffects, DefaultsTextAndStoredForm) {
  EXPECT_EQ(default_dialog_effects.flags, 0x47Cu);
  EXPECT_EQ(default_dialog_effects.open_delay, 300u);
  EXPECT_EQ(default_dialog_effects.display_delay, 1000u);
  EXPECT_EQ(default_dialog_effects.dragging_alpha, 192u);
  EXPECT_STREQ(format_dialog_effects(&default_dialog_effects),
               "Flags: 0x047C, Open Delay: 300, Displaying Delay 1000, Alpha 0xC0");

  WM_DIALOG_EFFECTS effects = {0x1234ABCD, 0x01020304, 7, 0x1FF};
  MEMORY_DEVICE device;
  ASSERT_TRUE(effects.put_to_data_device(&device));
  // Flags as u16, the delays as u32, the alpha as u8.
  EXPECT_EQ(device.bytes, (std::vector<INT_U8>{0xCD, 0xAB, 4, 3, 2, 1, 7, 0, 0, 0, 0xFF}));
  device.position = 0;
  WM_DIALOG_EFFECTS back = {};
  ASSERT_TRUE(back.get_from_data_device(&device));
  EXPECT_EQ(back.flags, 0xABCDu);
  EXPECT_EQ(back.open_delay, 0x01020304u);
  EXPECT_EQ(back.display_delay, 7u);
  EXPECT_EQ(back.dragging_alpha, 0xFFu);

  // A short block changes nothing.
  MEMORY_DEVICE cut(std::vector<INT_U8>(device.bytes.begin(), device.bytes.end() - 1));
  WM_DIALOG_EFFECTS kept = {1, 2, 3, 4};
  EXPECT_FALSE(kept.get_from_data_device(&cut));
  EXPECT_EQ(kept.flags, 1u);
  EXPECT_EQ(kept.dragging_alpha, 4u);
}

TEST(DialogStyles, AdjustedOnce) {
  stop_global_style_sets();
  default_styles_adjusted = 0;
  adjust_default_styles();
  EXPECT_EQ(default_dialog_window_style->shading_flags, 0x000F);
  EXPECT_EQ(default_dialog_window_style->fg_colour, 0xFF0000FFu);
  EXPECT_EQ(default_dialog_window_style->bg_colour, 0xFFC0C0C0u);
  EXPECT_EQ(default_dialog_window_style->shading_type, 4u);
  EXPECT_EQ(default_dialog_title_style->bg_colour, 0xFFFF0000u);
  EXPECT_EQ(default_dialog_title_style->fg_colour, 0xFF000000u);
  EXPECT_EQ(default_dialog_title_style->shading_type, 4u);
  WM_STYLE_SET* button = default_dialog_button_style;
  EXPECT_EQ(button->shading_flags, 0x00FF);
  EXPECT_EQ(button->border_left_gap, 4);
  EXPECT_EQ(button->border_bottom_gap, 4);
  EXPECT_EQ(button->cell_left_gap, -1);
  EXPECT_EQ(button->highlight_colour, 0xFFFF0000u);
  EXPECT_EQ(button->highlight_text_colour, 0xFF000000u);
  EXPECT_EQ(button->flags, 1u);
  EXPECT_EQ(button->shading_type, 4u);

  // Later calls do nothing, so a style stored in between keeps its values.
  button->border_left_gap = 20;
  button->shading_type = 9;
  adjust_default_styles();
  EXPECT_EQ(button->border_left_gap, 20);
  EXPECT_EQ(button->shading_type, 9u);
  stop_global_style_sets();
  default_styles_adjusted = 0;
}

}  // namespace
