// Floating menus: the pop-up list that menu buttons and list boxes open and that the file selector fills.
// A dialog whose client holds a one-column grid with one entry per row (a text button, a sub-menu entry or
// a separator), sized to its widest entry and to the rows that fit the work area, with two arrow buttons
// that scroll a list too long to show whole. Construction, rows, layout and the arrows are in
// floating_menu.cpp; the input, choosing and closing in floating_menu_input.cpp.
#pragma once
#include "types.h"
#include "dialog.h"
#include "screen_object.h"
#include "style_set.h"

class WM_BUTTON;
class WM_GRID;
class WM_MENU;

// The effects a floating menu built without its own block gets: fades in and out, down and up, 200 ms.
extern WM_DIALOG_EFFECTS floating_menu_effects;

// Type-ahead: characters typed within this many milliseconds of the last one extend the search text.
const INT_U32 TYPE_AHEAD_MS = 400;
// Characters the search text holds.
const int TYPE_AHEAD_LENGTH = 5;

class WM_FLOATING_MENU : public WM_DIALOG {
public:
  WM_GRID* grid;                   // the entries, one per row; a child of the client
  INT_S16 entry_count;             // rows in use: entries and separators
  INT_S16 entry_serial;            // entries added (separators not counted); its parity picks the style
  INT_S16 first_visible;
  INT_S16 last_visible;
  INT_S16 min_client_width;        // set by the opener
  WM_STYLE_SET own_style;          // the grid's style
  WM_STYLE_SET* entry_style;       // odd entries; not owned (the dialog's button style by default)
  WM_STYLE_SET* separator_style;   // owned copies or null
  WM_STYLE_SET* up_arrow_style;
  WM_STYLE_SET* down_arrow_style;
  WM_STYLE_SET* submenu_style;
  INT_U8 mouse_was_down;           // left or right held at the end of the last pass
  INT_U8 escape_was_down;          // Escape (or the hot key) held at the end of the last pass
  INT_U8 activation_was_down;      // the activation key held at the end of the last pass
  INT_U8 wait_release;             // the press that opened the menu is still held: entries must not see it
  INT_U8 was_shown;
  INT_U8 may_drag;                 // the menu may be dragged by its title
  INT_U8 remove_now;               // the next pass answers 4
  WM_SCREEN_OBJECT* displaced_top;     // the entry the upper arrow stands in for, or null
  WM_SCREEN_OBJECT* displaced_bottom;
  WM_BUTTON* up_arrow;             // owned, made on first need
  WM_BUTTON* down_arrow;
  INT_S16 displaced_top_row;
  INT_S16 displaced_bottom_row;
  WM_SCREEN_OBJECT* owner;         // the menu button or list box that opened it; not owned
  INT_S32 hot_key;                 // closes the menu like Escape; -1 none
  INT_U8 hot_key_held;             // the hot key that opened the menu has not been seen released yet
  INT_U32 type_time;               // tick of the last typed character
  char type_text[TYPE_AHEAD_LENGTH + 1];

  // window_style must be given; the other styles may be null. Null effects: floating_menu_effects.
  WM_FLOATING_MENU(INT_S16 x, INT_S16 y, const char* title, WM_STYLE_SET* window_style, WM_STYLE_SET* title_style,
                   WM_STYLE_SET* button_style, WM_STYLE_SET* entry_style, INT_U8 draggable, INT_U8 not_owned,
                   WM_STYLE_SET* separator_style, WM_STYLE_SET* up_arrow_style, WM_STYLE_SET* down_arrow_style,
                   WM_DIALOG_EFFECTS* effects, WM_STYLE_SET* submenu_style);
  ~WM_FLOATING_MENU() override;

  void hide(bool top_level, bool children) override;
  WM_RESULT process() override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  void set_title(const char* text) override;
  bool entry_focused() override;

  // The focusable byte of every button entry and of the arrows and displaced entries, and the grid's
  // keyboard navigation: 1 on, 0 off.
  void set_entries_flag(INT_U8 value);
  // Entry i as a button (also when an arrow stands in its row); null outside the entries or for a
  // separator.
  WM_BUTTON* get_entry(INT_S16 index);
  // Entry i when it is a sub-menu entry, else null.
  WM_MENU* get_menu_entry(INT_S16 index);
  // Every entry released, the input state as at the first opening.
  void reset_entries();
  // Sizes and places the menu (widest entry, rows that fit the work area, the arrows).
  void layout();
  // A text entry calling the callback with the user values on release; null (nothing added) for a null
  // text, without a grid, or when the grid refuses the row.
  WM_BUTTON* add_entry(const char* text, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                       bool separator_before);
  // A sub-menu entry opening a further floating menu to the right; null as add_entry.
  WM_MENU* add_submenu(const char* text, bool separator_before, bool arrow_mark, WM_STYLE_SET* style_a,
                       WM_STYLE_SET* style_b);
  // A separator row.
  void add_script();
  // Puts the displaced entries back in their rows (the arrows stay made for later).
  void restore_entries();
  // Removes and deletes every entry and separator (the arrows stay made for later); the menu is laid
  // out again, empty.
  void clear_entries();
  // Puts the arrows over the first and last visible rows while the list is scrolled away from its ends.
  void place_arrows();
  // The arrows' event callback: user1 the menu's handle, user2 1 for the upper arrow, 0 for the lower.
  static WM_RESULT on_arrow(WM_SCREEN_OBJECT* button, INT_U32 menu, INT_U32 direction, int value);

  // Input and closing (floating_menu_input.cpp).
  // The menu or an entry, or an open sub-menu below one, holds the point.
  bool contains_point_deep(INT_S16 px, INT_S16 py);
  // Hides this menu and every open sub-menu pop-up below it.
  void hide_all();
  // Closes (fade and slide) or hides at once the menus this one was opened from.
  void close_parents(bool recursive);
  void hide_parents(bool recursive);
  // An entry was chosen: the menu and those above it hide at once, the opener is released.
  void choose();
  // The menu closes with its effects, with those above it.
  void dismiss();

  // The geometry of a new row's cell, on the screen.
  void new_cell_rectangle(INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2);
};
