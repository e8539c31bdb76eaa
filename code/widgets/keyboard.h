// On-screen keyboard: a grid of key buttons built from a layout record whose keys type into the host's
// typed-character queue and record virtual keys as a real keyboard would, with Shift, Caps and Ext
// latches that switch between four pages; and the keyboard dialog that an edit box opens on a host
// without a keyboard (an edit box of its own, the keyboard and a "Close" button).
#pragma once
#include "types.h"
#include "dialog.h"
#include "host.h"
#include "screen_object.h"

class WM_BUTTON;
class WM_GRID;
class WM_STYLE_SET;
class WM_TEXT_EDIT;

const int KEYBOARD_MAX_ROWS = 5;
const int KEYBOARD_MAX_KEYS = 15;

// A row text is a byte array of the row's key count: byte c is the key in column c (0 = a gap).
struct WM_KEYBOARD_ROW {
  INT_S16 key_count;
  INT_S16 weights[KEYBOARD_MAX_KEYS];  // relative key widths: the row's column weights
};

struct WM_KEYBOARD_LAYOUT {
  INT_S16 row_count;
  WM_KEYBOARD_ROW rows[KEYBOARD_MAX_ROWS];
  // Labels of the control keys: delete, Tab, Shift, Caps, Ext, space, Enter, left, down, up, right.
  const char* labels[11];
  // Per page (0 plain, 1 shifted, 2 Ext, 3 Ext shifted) and row: key_count bytes.
  const INT_U8* pages[4][KEYBOARD_MAX_ROWS];
};

// Key bytes of a layout that are control keys.
enum : INT_U8 {
  KEY_BYTE_GAP = 0x00,
  KEY_BYTE_SHIFT = 0x02,
  KEY_BYTE_CAPS = 0x03,
  KEY_BYTE_EXT = 0x04,
  KEY_BYTE_ENTER = 0x05,
  KEY_BYTE_DELETE = 0x08,
  KEY_BYTE_TAB = 0x09,
  KEY_BYTE_LEFT = 0x0C,
  KEY_BYTE_DOWN = 0x0D,
  KEY_BYTE_UP = 0x0E,
  KEY_BYTE_RIGHT = 0x0F,
  KEY_BYTE_SPACE = 0x20
};

// Kinds of key (a key button's first event user value).
enum : INT_U32 {
  KEY_KIND_CHARACTER = 1,
  KEY_KIND_DELETE = 2,
  KEY_KIND_TAB = 3,
  KEY_KIND_ENTER = 4,
  KEY_KIND_LEFT = 5,
  KEY_KIND_DOWN = 6,
  KEY_KIND_UP = 7,
  KEY_KIND_RIGHT = 8,
  KEY_KIND_CAPS = 9,
  KEY_KIND_SHIFT = 10,
  KEY_KIND_EXT = 11
};

// The built-in layout; default_keyboard_layout points at it and edit boxes pass that pointer.
extern const WM_KEYBOARD_LAYOUT built_in_keyboard_layout;
extern const WM_KEYBOARD_LAYOUT* default_keyboard_layout;

class WM_KEYBOARD : public WM_SCREEN_OBJECT {
public:
  const WM_KEYBOARD_LAYOUT* layout;  // not owned
  WM_GRID* grid;                     // the key grid, a child
  KEYBOARD_HANDLER key_state;        // while a keyboard exists, the typed-character queue exists
  INT_S32 pending_key;               // virtual key to record in the next pass; -1 none
  INT_U8 pending_char;               // character to type in the next pass; 0 none
  INT_U8 shift;
  INT_U8 caps;
  INT_U8 ext;
  INT_U8 key_slide_press;            // every key's slide-press byte
  INT_S16 selected_row;              // the key that the real arrow keys move and Enter presses
  INT_S16 selected_column;
  INT_U8 key_event_mask;             // every key's event mask but Enter's (always 2)
  INT_U8 key_hints;                  // every key shows its label as hint

  // Corners both included.
  WM_KEYBOARD(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, WM_STYLE_SET* key_style, const WM_KEYBOARD_LAYOUT* layout,
              INT_U8 key_event_mask, INT_U8 key_slide_press, INT_U8 key_hints);
  ~WM_KEYBOARD() override;

  WM_RESULT process() override;

  // Labels and characters of every key for the page shown.
  void relabel();
  // The page shown: 1 or 3 when exactly one of shift and caps is set, 2 or 3 when ext is.
  int page() const;
  // The key at (column, row) when it is a button; null otherwise.
  WM_BUTTON* key_at(INT_S16 column, INT_S16 row);
  void set_enter_enabled(bool enabled);
  bool enter_enabled();

  // The event callback of every key: (key, kind, handle of the keyboard, value); 0.
  static WM_RESULT on_key(WM_SCREEN_OBJECT* key, INT_U32 kind, INT_U32 keyboard, int value);
  // The state query of every key (user value: the keyboard): the latch that a Caps, Shift or Ext key
  // shows; false for other keys.
  static bool key_state_of(WM_BUTTON* key, void* keyboard);
};

class WM_KEYBOARD_DIALOG : public WM_DIALOG {
public:
  WM_TEXT_EDIT* edit;
  WM_KEYBOARD* keyboard;
  WM_BUTTON* close_button;

  WM_KEYBOARD_DIALOG(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* title, const char* text,
                     INT_S16 max_length, WM_EVENT_CALLBACK edit_callback, INT_U32 edit_user1, INT_U32 edit_user2,
                     WM_STYLE_SET* keyboard_style, WM_STYLE_SET* edit_style, WM_STYLE_SET* window_style,
                     WM_STYLE_SET* title_style, WM_STYLE_SET* button_style, const WM_KEYBOARD_LAYOUT* layout,
                     INT_U8 key_event_mask, INT_U8 close_deletes, INT_U8 key_slide_press, INT_U8 key_hints);
  ~WM_KEYBOARD_DIALOG() override;

  // The "Close" button's event callback: its first user value (4 remove and delete, 2 close).
  static WM_RESULT on_close(WM_SCREEN_OBJECT* button, INT_U32 user1, INT_U32 user2, int value);
};
