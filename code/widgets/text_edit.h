// Text edit: the library's single-line text entry. It holds 8-bit text up to a maximum length, shows it
// in one line scrolled to keep the cursor in view, and edits it with the keyboard (Shift selection, Ctrl
// word jumps, clipboard, select all, undo), the mouse and, on a host without a keyboard, the on-screen
// keyboard dialog. Also the five character filters that owners give it.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "screen_object.h"
#include "velk_string.h"

class FOLDER;
class WM_STYLE_SET;
class WM_KEYBOARD_DIALOG;

// Decides whether an edit box accepts a character (an unsigned 8-bit code, 0 to 255): true accepts.
typedef bool (*WM_CHAR_FILTER)(INT_U16 character);

// Letters, digits, space and ! # $ % ( ) + - . : ; = @ [ ] ^ _ ` { } ~, and the Latin-1 characters
// 0xA0 to 0xFF (names of files and folders).
bool is_text_char(INT_U16 character);
// Digits, + - .
bool is_numeric_char(INT_U16 character);
// Letters, - ' and 0x7F.
bool is_name_char(INT_U16 character);
// As is_name_char, and space.
bool is_name_char_with_space(INT_U16 character);
// Letters, digits, - ' 0x7F and space.
bool is_alnum_char_with_space(INT_U16 character);

// 0xFF until the first edit box decides it from the host's system information: 1 when the host reports
// no keyboard (every edit box then works through the on-screen keyboard dialog), else 0.
extern INT_U8 use_on_screen_keyboard;
// The keyboard dialog opened by an edit box, null when none; at most one exists at a time. Cleared when
// that dialog is closed by an edit box or destroyed in any other way.
extern WM_KEYBOARD_DIALOG* open_keyboard_dialog;

// WM_TEXT_EDIT::draw_flags.
enum : INT_U16 {
  TEXT_EDIT_SUNKEN = 0x1,
  TEXT_EDIT_RAISED = 0x2,
  TEXT_EDIT_PASSWORD = 0x4,
  TEXT_EDIT_DONT_RESIZE_FRAME = 0x80,
  TEXT_EDIT_DARKENED = 0x100
};

class WM_TEXT_EDIT : public WM_SCREEN_OBJECT {
public:
  VELK_STRING text;           // the edited text
  VELK_STRING focus_text;     // the text when the box last gained the focus (Ctrl+Z brings it back)
  INT_S16 max_length;         // most characters the text may hold
  INT_S16 cursor;             // 0 to the text's length
  WM_CHAR_FILTER char_filter; // typed and pasted characters; null accepts all (set by the owner)
  INT_U8 editable;            // 0: no input, no focus, chiseled text (set by the owner)
  COLOUR text_colour;
  COLOUR background_colour;   // fill behind the box (alpha 0 = none) and its border colour
  COLOUR cursor_colour;
  COLOUR selection_colour;
  INT_U8 button_down;         // the left button as seen in the previous pass
  INT_U8 notify_changes;      // every change calls the event callback (set by the owner)
  INT_S8 font_id;
  INT_S16 font_x_size;
  INT_S16 font_y_size;        // also the height of the cursor and of the selection band
  INT_S16 border_left;        // inner margins: the text area is the box less these
  INT_S16 border_right;
  INT_S16 border_top;
  INT_S16 border_bottom;
  INT_S16 selection_start;    // the anchor; -1 = no selection
  INT_S16 selection_end;      // the moving end; -1 = no selection
  INT_S16 drag_x;             // pointer x where the current drag began; -1 = none
  INT_U16 draw_flags;         // TEXT_EDIT_ bits
  WM_FRAME frame;             // background frame, empty unless the style names an image

  // The fourth number is the maximum length: the height follows from the font and the margins. The style
  // set must not be null.
  WM_TEXT_EDIT(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 max_length, const char* initial_text,
               WM_STYLE_SET* style, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2);
  ~WM_TEXT_EDIT() override;

  WM_RESULT process() override;
  bool is_focusable() override;
  // Gaining the focus selects the whole text, keeps it for Ctrl+Z and drops the characters queued
  // before: the box takes only what is typed while it has the focus.
  void take_focus() override;
  INT_S16 get_x() override;
  INT_S16 get_y() override;
  void draw() override;

  // The constructors' body; -1 in the font and border arguments takes the default.
  void init(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 max_length, const char* initial_text,
            const COLOUR* new_text_colour, const COLOUR* new_background_colour, INT_S8 new_font_id,
            INT_S16 new_font_x_size, INT_S16 new_font_y_size, INT_S16 new_border_left, INT_S16 new_border_right,
            INT_S16 new_border_top, INT_S16 new_border_bottom);
  // A copy of the text (null = empty), cut to max_length; the cursor at its end; redrawn (and so shown).
  void set_text(const char* new_text);
  // n < 1 does nothing; else the text is cut to n characters (cursor at its end when cut); redrawn.
  void set_max_length(INT_S16 n);
  // The frame from the style's base state frame when it has its frames, else loaded by name (null clears
  // it); true when the frame is loaded.
  bool load_frame(const char* path_text, const char* name, WM_STYLE_SET* style);
  bool load_frame(FOLDER* folder, const char* name, WM_STYLE_SET* style);
  void clear_frame();
  bool has_frame();

  // The character boundary nearest the pointer x.
  INT_S16 char_index_at(INT_S16 pointer_x);
  // The first character shown: the cursor stays in view (text_edit_draw.cpp).
  INT_S16 first_shown_char();
  // Left edge of character k on the screen, for the first shown character first.
  INT_S16 char_left_edge(INT_S16 first, INT_S16 k);

  // Opens the on-screen keyboard dialog for this box (only in on-screen keyboard mode, one at a time).
  void open_keyboard();
  // Closes open_keyboard_dialog with its closing effects and clears it.
  static void close_keyboard();
  // Event callback of the keyboard dialog's own edit box (source), user1 = the handle of the box that
  // opened the dialog: that box takes the source's text.
  static WM_RESULT on_keyboard_result(WM_SCREEN_OBJECT* source, INT_U32 user1, INT_U32 user2, int value);

  // Inner width of the text area: width less both side margins, less 1.
  INT_S16 inner_width();
  // Plays the click sound (when loaded) and calls the event callback (when set); the callback's result.
  WM_RESULT call_event();
  // Drops the selection.
  void drop_selection();
  // Puts the selected characters on the clipboard.
  void copy_selection();
  // Removes the selected characters and moves the cursor back over those before it.
  void delete_selection();
};
