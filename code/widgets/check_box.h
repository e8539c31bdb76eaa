// Check boxes: an on/off choice drawn as a small square button (the box) with a text button beside it
// (the label). A click on either toggles the state and tells the owner through the event callback.
#pragma once
#include "types.h"
#include "colour.h"
#include "screen_object.h"

class WM_BUTTON;
class WM_STYLE_SET;

// The check box keeps its on (1) / off (0) state in the screen object's state byte.
class WM_CHECK_BOX : public WM_SCREEN_OBJECT {
public:
  WM_BUTTON* box;    // child: the square
  WM_BUTTON* label;  // child: the text

  // From a style set: its colours, font and visibility; the box loads the style's frames when it names
  // an image file.
  WM_CHECK_BOX(INT_S16 x, INT_S16 y, WM_STYLE_SET* style, const char* label_text, WM_EVENT_CALLBACK callback,
               INT_U32 user1, INT_U32 user2);
  WM_CHECK_BOX(INT_S16 x, INT_S16 y, const COLOUR* background, const COLOUR* text_colour, const char* label_text,
               INT_S8 font_id, INT_S16 font_x_size, INT_S16 font_y_size, WM_EVENT_CALLBACK callback, INT_U32 user1,
               INT_U32 user2, INT_U8 visible);
  ~WM_CHECK_BOX() override;

  // Children are always hidden with it.
  void hide(bool top_level, bool children) override;
  // The size set at construction stays.
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  // A check box wider than most pixels takes that width by narrowing its label, whose text then shows
  // shortened with an ellipsis; the box keeps its size.
  void fit_width(INT_S16 most);
  // A check box wider than most pixels takes that width by wrapping its label onto the lines it needs,
  // left-justified, the box beside the first; the check box grows in height to them.
  void wrap_to_width(INT_S16 most);
  // The check box and its children are one stop of the keyboard focus, which a child holds and shows
  // (the box; the label takes it only when made focusable): focusable while a child is focusable and
  // enabled, unless a child has the focus already.
  bool is_focusable() override;
  // Gives the focus to the box (or the label).
  void take_focus() override;
  // Sets the state without a callback or sound: a box without frames shows "X" or " "; then redrawn.
  void set_state(INT_U8 on) override;

  // Builds the box and the label and the check box's rectangle; the state starts off.
  void init(INT_S16 x, INT_S16 y, const COLOUR* background, const COLOUR* text_colour, const char* label_text,
            INT_S8 font_id, INT_S16 font_x_size, INT_S16 font_y_size);
  // The box's state function: the check box's state.
  static bool get_state(WM_BUTTON* asking, void* check_box);
  // The children's event callback (user1 is the check box's handle): toggles, redraws, plays the click
  // sound and calls the check box's callback with its new state as the value; always answers 0.
  static WM_RESULT toggle(WM_SCREEN_OBJECT* button, INT_U32 user1, INT_U32 user2, int value);

private:
  void show_state_in_box();
};
