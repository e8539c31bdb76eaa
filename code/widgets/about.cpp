// The about box: the dialog titled "About" with the logo at the left, a quarter of the free height down,
// the banner text in a text window beside it and "Close" centred at the bottom.
#include "about.h"

#include "button.h"
#include "host.h"
#include "image.h"
#include "image_object.h"
#include "shell.h"
#include "style_set.h"
#include "text_win.h"

const char* const ABOUT_WEB_ADDRESS = "https://www.velk-libraries.example/credits";

WM_ABOUT::WM_ABOUT(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* close_text)
    : WM_DIALOG(x_, y_, width_ == -1 ? (INT_S16)440 : width_, height_ == -1 ? (INT_S16)320 : height_, "About", nullptr,
                nullptr, nullptr, nullptr),
      close_button(nullptr) {
  // The text's look: the button style's colour and font, no background, left-justified lines.
  WM_STYLE_SET text_style;
  text_style.fg_colour = button_style.fg_colour;
  text_style.font_id = button_style.font_id;
  text_style.font_x_sz = button_style.font_x_sz;
  text_style.font_y_sz = button_style.font_y_sz;
  text_style.bg_colour = COLOUR_INVISIBLE;
  text_style.flags = ssf_left_justify_text;

  // The button is made with its label, so that it is as wide as the label (a label given to a button
  // laid out for "Close" is cut when it is longer); no wider than the box, where a longer label shows
  // shortened.
  close_button = new WM_BUTTON(0, 0, -1, -1, &button_style, close_text ? close_text : "Close", nullptr, on_button, 1,
                               0, BUTTON_EVENT_PRESS | BUTTON_EVENT_CLICK);
  const WM_STYLE_SET& s = window_style;
  const INT_S16 usable_width = (INT_S16)(width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap);
  const INT_S16 usable_height = (INT_S16)(height - client_top() - s.border_bottom_gap - s.cell_bottom_gap);
  if (close_button->get_width() > usable_width && usable_width > 0)
    close_button->resize(usable_width, close_button->get_height(), true);
  close_button->move_to((INT_S16)((usable_width - close_button->get_width()) / 2),
                        (INT_S16)(usable_height - close_button->get_height()));
  close_button->set_hot_key(VKEY_ESCAPE);
  close_button->focusable = 1;
  add_child(close_button, true);

  WM_IMAGE* logo = new WM_IMAGE(0, 0, 0, 0, 1, nullptr, 0, 0, 0x3);
  make_small_logo_image(&logo->image);
  logo->move_to(0, (INT_S16)((usable_height - logo->image.height) / 4));
  add_child(logo, true);

  WM_TEXT_WIN* text = new WM_TEXT_WIN(logo->image.width, 0, (INT_S16)(usable_width - 1),
                                      (INT_S16)(usable_height - close_button->get_height() - 1), &text_style,
                                      &text_style, 50, false, on_button, 2, 0);
  add_child(text, true);
  // The text opens at its first line, as every text window does.
  text->show_from_start = 1;
  text->add_text(build_library_banner(true), "credits", &window_style.fg_colour, visible != 0, true);

  kind |= WM_KIND_ABOUT;
  call_screen_object_created_hook(this);
}

WM_ABOUT::~WM_ABOUT() {}

WM_SCREEN_OBJECT* WM_ABOUT::first_focus() { return close_button; }

WM_RESULT WM_ABOUT::on_button(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32, int) {
  if (user1 == 1) return object && ((WM_BUTTON*)object)->released ? WM_RESULT_CLOSE_DIALOG : 0;
  if (user1 == 2) shell_open(ABOUT_WEB_ADDRESS);
  return 0;
}
