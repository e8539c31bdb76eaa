// Dialogs: the effects block with its stored form, the library's default effects, the three default
// dialog style sets and their one-time adjustment.
#include "dialog.h"

#include <cstdio>

WM_DIALOG_EFFECTS default_dialog_effects = {DEFAULT_DIALOG_EFFECT_FLAGS, DEFAULT_DIALOG_OPEN_DELAY,
                                            DEFAULT_DIALOG_DISPLAY_DELAY, DEFAULT_DIALOG_DRAGGING_ALPHA};

const WM_STYLE_SET_INSTANCE default_dialog_window_style = {0};
const WM_STYLE_SET_INSTANCE default_dialog_title_style = {1};
const WM_STYLE_SET_INSTANCE default_dialog_button_style = {2};

INT_U8 default_styles_adjusted = 0;

bool WM_DIALOG_EFFECTS::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  INT_U16 stored_flags = 0;
  INT_U32 open = 0;
  INT_U32 display = 0;
  INT_U8 alpha = 0;
  if (!device->read_u16(&stored_flags) || !device->read_u32(&open) || !device->read_u32(&display) ||
      !device->read_u8(&alpha))
    return false;
  flags = stored_flags;
  open_delay = open;
  display_delay = display;
  dragging_alpha = alpha;
  return true;
}

bool WM_DIALOG_EFFECTS::put_to_data_device(DATA_DEVICE* device) const {
  if (!device) return false;
  return device->write_u16(static_cast<INT_U16>(flags)) && device->write_u32(open_delay) &&
         device->write_u32(display_delay) && device->write_u8(static_cast<INT_U8>(dragging_alpha));
}

const char* format_dialog_effects(const WM_DIALOG_EFFECTS* effects) {
  static char text[128];
  if (!effects) effects = &default_dialog_effects;
  std::snprintf(text, sizeof text, "Flags: 0x%04X, Open Delay: %d, Displaying Delay %d, Alpha 0x%02X",
                static_cast<unsigned>(effects->flags & 0xFFFF), static_cast<int>(effects->open_delay),
                static_cast<int>(effects->display_delay), static_cast<unsigned>(effects->dragging_alpha & 0xFF));
  return text;
}

void adjust_default_styles() {
  if (default_styles_adjusted) return;
  default_styles_adjusted = 1;

  WM_STYLE_SET* window = default_dialog_window_style;
  window->shading_flags &= static_cast<INT_U16>(~0x00F0);
  window->fg_colour = 0xFF0000FF;
  window->bg_colour = 0xFFC0C0C0;
  window->shading_type = 4;

  WM_STYLE_SET* title = default_dialog_title_style;
  title->bg_colour = 0xFFFF0000;
  title->fg_colour = 0xFF000000;
  title->shading_type = 4;

  WM_STYLE_SET* button = default_dialog_button_style;
  button->shading_flags |= 0x00F0;
  // Added in 16 bits: an unset gap (-1) becomes 4.
  button->border_left_gap = static_cast<INT_S16>(button->border_left_gap + 5);
  button->border_right_gap = static_cast<INT_S16>(button->border_right_gap + 5);
  button->border_top_gap = static_cast<INT_S16>(button->border_top_gap + 5);
  button->border_bottom_gap = static_cast<INT_S16>(button->border_bottom_gap + 5);
  button->fg_colour = 0xFF000000;
  button->bg_colour = 0xFFC0C0C0;
  button->highlight_colour = 0xFFFF0000;
  button->highlight_text_colour = 0xFF000000;
  button->flags = ssf_draw_border;
  button->shading_type = 4;
}
