// The about box: a dialog with the library's small logo, the library banner beside it (every line a link
// to the project's web address) and a "Close" button that closes the box when it is released.
#pragma once
#include "types.h"
#include "dialog.h"

class WM_BUTTON;

// The web address that a click on the about box's text opens.
extern const char* const ABOUT_WEB_ADDRESS;

class WM_ABOUT : public WM_DIALOG {
public:
  WM_BUTTON* close_button;  // a child of the client

  // width -1 is 440 and height -1 is 320; x or y -1 centres the box. The close button shows close_text
  // (null: "Close"), laid out at its width.
  WM_ABOUT(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* close_text = nullptr);
  ~WM_ABOUT() override;

  // The close button, the box's one answer, has the focus as the box opens: Enter or Space closes it.
  WM_SCREEN_OBJECT* first_focus() override;

  // The close button's callback (user1 1: 2 on its release, which closes the box) and the text
  // window's (user1 2: opens the web address); 0 otherwise.
  static WM_RESULT on_button(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int value);
};
