// Buttons: the style with which every button builds its hint pop-up. A hint style stored before the
// first button (by the installation database or a skin) keeps its values through the ready flag.
#pragma once
#include "types.h"
#include "style_set.h"

extern const WM_STYLE_SET_INSTANCE button_hint_style;
// Set when button_hint_style holds its values; the first button built while it is clear gives the
// style its one-time defaults.
extern INT_U8 button_hint_style_ready;

// The first-button set-up: while the ready flag is clear, gives button_hint_style shading type 3, black
// text on 0xFFFFD000 fading to red, edges 0x000F and ssf_draw_border, ssf_indent_border, ssf_hfading,
// ssf_use_text_colour_for_outline; then sets the flag. Nothing once it is set.
void prepare_button_hint_style();
