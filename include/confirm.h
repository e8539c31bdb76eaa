// The confirmation box: a dialog with a title, a text window and two buttons, each reporting its
// result number and value to a callback.
#pragma once
#include "types.h"
#include "colour.h"
#include "image.h"
#include "screen_object.h"
#include "text_win.h"
#include "velk_string.h"

class WM_CONFIRM;

// Called when a button of the box is pressed, with the button's result number and value.
typedef void (*WM_CONFIRM_CALLBACK)(WM_CONFIRM* box, INT_S32 result, INT_S32 value);

struct WM_CONFIRM_BUTTON {
  VELK_STRING text;
  WM_CONFIRM_CALLBACK callback;
  INT_S32 result;
  INT_S32 value;
  IMAGE image;  // the button's icon; empty = none
  INT_U8 shown; // the button is on screen (its image is redrawn when it changes)
};

class WM_CONFIRM : public WM_SCREEN_OBJECT {
public:
  VELK_STRING title;
  WM_TEXT_WIN* text_window;  // a child: the message
  WM_CONFIRM_BUTTON buttons[2];
  INT_U8 can_drag;     // the user may drag the box by its title
  COLOUR text_colour;  // the colour of the box's own text

  // width and height -1 take 300 x 200; x and y -1 centre the box on the screen.
  WM_CONFIRM(INT_S16 width, INT_S16 height, const char* title, const char* first_text,
             const char* second_text, WM_CONFIRM_CALLBACK first_callback, INT_S32 first_result,
             INT_S32 first_value, WM_CONFIRM_CALLBACK second_callback, INT_S32 second_result,
             INT_S32 second_value, INT_S16 x, INT_S16 y);
  // Presses button 0 or 1: its callback gets its result and value.
  void press(int button);
  void draw() override;
};
