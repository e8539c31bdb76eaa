// Buttons: the hint style shared by every button's hint pop-up and its one-time defaults.
#include "button.h"

const WM_STYLE_SET_INSTANCE button_hint_style = {3};
INT_U8 button_hint_style_ready = 0;

void prepare_button_hint_style() {
  if (button_hint_style_ready) return;
  WM_STYLE_SET* style = button_hint_style;
  style->shading_type = 3;
  style->fg_colour = 0xFF000000;
  style->bg_colour = 0xFFFFD000;
  style->fading_colour = 0xFFFF0000;
  style->shading_flags = 0x000F;
  style->flags = ssf_draw_border | ssf_indent_border | ssf_hfading | ssf_use_text_colour_for_outline;
  button_hint_style_ready = 1;
}
