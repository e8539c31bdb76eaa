// Text edit dialog: a dialog that asks for one line of text - a prompt reading "Enter Text", an edit box
// and the buttons "OK" and "Cancel". It never closes itself: either button stores its result (1 OK,
// 0 Cancel) and hands it to the owner's event callback, whose answer decides what happens next; Enter in
// the edit box answers as OK.
#pragma once
#include "types.h"
#include "dialog.h"

class WM_BUTTON;
class WM_SCRIPT;
class WM_STYLE_SET;
class WM_TEXT_EDIT;

// Width and height that -1 stands for, and the only size of the short form.
const INT_S16 TEXT_EDIT_DIALOG_WIDTH = 450;
const INT_S16 TEXT_EDIT_DIALOG_HEIGHT = 180;

class WM_TEXT_EDIT_DIALOG : public WM_DIALOG {
public:
  WM_BUTTON* ok_button;       // the four are children of the client, for access only
  WM_BUTTON* cancel_button;
  WM_SCRIPT* prompt;
  WM_TEXT_EDIT* edit;         // owners read its text and may set its filter and text
  INT_S16 prompt_lines;       // the prompt's height in text lines
  INT_U32 owner;              // handle (object_handle) of the object that opened it; 0 = none

  // Null labels are "OK" and "Cancel", a null title the empty one; a width or height of -1 is 450 or 180.
  WM_TEXT_EDIT_DIALOG(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, INT_S16 prompt_lines,
                      WM_STYLE_SET* edit_style, INT_U8 visible, WM_EVENT_CALLBACK callback, INT_U32 user1,
                      const char* ok_label, const char* cancel_label, const char* title, INT_S16 max_length);
  WM_TEXT_EDIT_DIALOG(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, WM_STYLE_SET* edit_style, INT_U8 visible,
                      WM_EVENT_CALLBACK callback, INT_U32 user1, const char* ok_label, const char* cancel_label,
                      const char* title, INT_S16 max_length);
  // 450 by 180; the edit box is styled like the dialog's buttons with a sunken border, no frame image and
  // border type 4.
  WM_TEXT_EDIT_DIALOG(INT_S16 x, INT_S16 y, INT_U8 visible, WM_EVENT_CALLBACK callback, INT_U32 user1,
                      const char* ok_label, const char* cancel_label, const char* title, INT_S16 max_length);
  ~WM_TEXT_EDIT_DIALOG() override;

  // Lays the dialog out (the constructors' common body).
  void build(WM_EVENT_CALLBACK callback, INT_U32 user1, WM_STYLE_SET* edit_style, const char* ok_label,
             const char* cancel_label, INT_S16 max_length);
  // The object that opened the dialog, null when none or when it is gone.
  WM_SCREEN_OBJECT* get_owner();
  // The prompt's text, wrapped onto the lines it needs: they take the rows above the edit box, and
  // past those the dialog grows, up to the screen's height, its middle staying where it was within the
  // screen. Only a prompt longer than all of that is shortened, its last line ending in "...".
  void set_prompt(const char* text);

  // Click callback of both buttons and the edit box's event callback: (object, 1 OK / 2 Cancel / 3 Enter
  // in the edit box, which answers as OK, handle of the dialog, phase).
  static WM_RESULT on_button(WM_SCREEN_OBJECT* button, INT_U32 user1, INT_U32 user2, int phase);
};
