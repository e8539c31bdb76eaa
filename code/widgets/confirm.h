// Confirmation boxes: the message box of the widget set, a dialog with a message (a text window that the
// caller fills, or a column of centred one-line texts that sizes the box) and one, two or three buttons
// at its bottom, each calling the caller's event callback with the caller's user values.
#pragma once
#include "types.h"
#include "button.h"
#include "dialog.h"
#include "text_win.h"

class FOLDER;

class WM_CONFIRM : public WM_DIALOG {
public:
  WM_TEXT_WIN* text;       // the message window (a child of the client); null for the text-line form
  WM_BUTTON* buttons[3];   // children of the client, left to right by their number; null when fewer

  // General form: count buttons with their labels, callbacks and user values, a text window of capacity
  // lines. x or y -1 centres the box; null effects take the default block.
  WM_CONFIRM(INT_S16 width, INT_S16 height, const char* title, const char* label1, const char* label2,
             const char* label3, INT_U8 visible, WM_EVENT_CALLBACK callback1, INT_U32 user1_1, INT_U32 user2_1,
             WM_EVENT_CALLBACK callback2, INT_U32 user1_2, INT_U32 user2_2, WM_EVENT_CALLBACK callback3,
             INT_U32 user1_3, INT_U32 user2_3, INT_S16 x, INT_S16 y, INT_S16 count, INT_S16 capacity,
             WM_DIALOG_EFFECTS* effects);
  // Two-way form: one button (label1) when one_button is set, else two.
  WM_CONFIRM(INT_S16 width, INT_S16 height, const char* title, const char* label1, const char* label2,
             INT_U8 visible, WM_EVENT_CALLBACK callback1, INT_U32 user1_1, INT_U32 user2_1,
             WM_EVENT_CALLBACK callback2, INT_U32 user1_2, INT_U32 user2_2, INT_S16 x, INT_S16 y, INT_U8 one_button,
             INT_S16 capacity, WM_DIALOG_EFFECTS* effects);
  // Yes/no form: "Yes" (user2 1) and "No" (user2 0), or one "Close" (user2 1), all calling callback with user1.
  WM_CONFIRM(INT_S16 width, INT_S16 height, const char* title, INT_U8 visible, WM_EVENT_CALLBACK callback,
             INT_U32 user1, INT_S16 x, INT_S16 y, INT_U8 one_button, INT_S16 capacity, WM_DIALOG_EFFECTS* effects);
  // Text-line form: one centred line per text, the box sized to them, buttons as the yes/no form.
  WM_CONFIRM(INT_S16 x, INT_S16 y, const char* title, const char** lines, INT_S16 line_count, INT_U8 visible,
             WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U8 one_button, WM_DIALOG_EFFECTS* effects);
  ~WM_CONFIRM() override;

  // The button that Escape answers as (No, or a box's one answer) takes the focus as the box opens, so
  // that Enter or Space answers the safe way and Tab goes on from there; a box of three answers leaves
  // the focus to the page manager's walk.
  WM_SCREEN_OBJECT* first_focus() override;

  // Adds the lines of a text file to the message window in the window style's foreground colour; false
  // without a message window or when no line was added. The box grows to them as add_message says.
  bool load_text_file(FOLDER* folder, const char* name);
  // Adds the text to the message window (its lines, split at line ends, wrapped at its width) in the
  // window style's foreground colour, drawn when the box shows; false without a message window. The box
  // grows in height as far as the message needs, up to the screen's height, its middle staying where it
  // was within the screen; only a message longer than that scrolls.
  bool add_message(const char* message);
  // Builds the message window above one button row; text_height receives the height left for text.
  void create_text(INT_S16* text_height, INT_S16 capacity);
  // Builds count buttons on the client row at y, each as wide as the widest label (and never narrower
  // than a "Close" button), each a stop of Tab in reading order. Where they do not fit, the box widens
  // for them up to the screen's width; beyond it each keeps a place of its own, the longest narrowed and
  // wrapped onto the lines it needs, the box growing for them up to the screen's height.
  void create_buttons(INT_S16 y, INT_S16 count, const char* label1, const char* label2, const char* label3,
                      WM_EVENT_CALLBACK callback1, INT_U32 user1_1, INT_U32 user2_1, WM_EVENT_CALLBACK callback2,
                      INT_U32 user1_2, INT_U32 user2_2, WM_EVENT_CALLBACK callback3, INT_U32 user1_3,
                      INT_U32 user2_3);

  // Button metrics of the button style: the horizontal and vertical gap sums and the font height.
  INT_S16 button_horizontal_gaps();
  INT_S16 button_vertical_gaps();
  INT_S16 button_font_height();
  // Width of the client: the dialog's width less the window style's border and cell gaps.
  INT_S16 client_width();

private:
  void finish();
  void grow_to_text();
  // Answers narrowed below their labels' widths wrap them onto the lines they need; the row and the box
  // grow for them.
  void wrap_answers(WM_BUTTON* const* row, INT_S16 made);
  // The box grows by wider and taller pixels, its middle staying where it was within the screen.
  void grow(INT_S32 wider, INT_S32 taller);
};
