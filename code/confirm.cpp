// The confirmation box: the title, the message window, two
// buttons that report their result numbers and values, and a plain drawing of the box.
#include "confirm.h"

#include <cstring>

#include "dialog.h"
#include "host.h"
#include "redraw.h"

WM_CONFIRM::WM_CONFIRM(INT_S16 width_, INT_S16 height_, const char* title_, const char* first_text,
                       const char* second_text, WM_CONFIRM_CALLBACK first_callback, INT_S32 first_result,
                       INT_S32 first_value, WM_CONFIRM_CALLBACK second_callback, INT_S32 second_result,
                       INT_S32 second_value, INT_S16 x_, INT_S16 y_)
    : WM_SCREEN_OBJECT(1, nullptr, 0, 0), text_window(nullptr), can_drag(1) {
  x = x_;
  y = y_;
  width = width_ < 1 ? 300 : width_;
  height = height_ < 1 ? 200 : height_;
  kind |= WM_KIND_CONFIRM;
  if (x == -1) x = (INT_S16)((get_screen_width(0) - width) / 2);
  if (y == -1) y = (INT_S16)((get_screen_height(0) - height) / 2);
  COLOUR none = COLOUR_INVISIBLE;
  text_window = new WM_TEXT_WIN((INT_S16)(x + 8), (INT_S16)(y + 24), (INT_S16)(x + width - 9), (INT_S16)(y + height - 41),
                                2, 20, 15, &none, &none, &none, false, true, nullptr, 0, 0);
  text_window->show_from_start = 1;
  add_child(text_window, false);
  title.assign(title_ ? title_ : "");
  text_colour = default_dialog_window_style->fg_colour;
  const char* texts[2] = {first_text, second_text};
  WM_CONFIRM_CALLBACK callbacks[2] = {first_callback, second_callback};
  INT_S32 results[2] = {first_result, second_result};
  INT_S32 values[2] = {first_value, second_value};
  for (int i = 0; i < 2; i++) {
    buttons[i].text.assign(texts[i] ? texts[i] : "");
    buttons[i].callback = callbacks[i];
    buttons[i].result = results[i];
    buttons[i].value = values[i];
    buttons[i].shown = 0;
  }
}

void WM_CONFIRM::press(int button) {
  if (button < 0 || button > 1) return;
  WM_CONFIRM_BUTTON& pressed = buttons[button];
  if (pressed.callback) pressed.callback(this, pressed.result, pressed.value);
}

void WM_CONFIRM::draw() {
  IMAGE* target = draw_target;
  if (!target || !target->pixels) return;
  COLOUR face = default_dialog_window_style->bg_colour;
  COLOUR edge = 0xFF808080;
  INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);
  target->fill_rectangle(x, y, x2, y2, &face, 0);
  target->draw_rectangle(x, y, x2, y2, &edge, 1, 15);
  target->extend_dirty_area(x, y, x2, y2);
  for (int i = 0; i < 2; i++) buttons[i].shown = 1;
}
