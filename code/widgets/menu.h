// Menu buttons: a button that owns a floating menu and opens it when pressed, next to itself on one of
// four sides, flipped to the other side when it does not fit the work area. Menus linked in a group hand
// an open pop-up over to the member the pointer moves onto, as in a menu bar. A floating menu's sub-menu
// entries and the list box are menus too.
#pragma once
#include "types.h"
#include "button.h"
#include "dialog.h"

class WM_FLOATING_MENU;

// Sides on which a pop-up opens (WM_MENU::direction).
enum : INT_S32 { MENU_BELOW = 0, MENU_ABOVE = 1, MENU_LEFT = 2, MENU_RIGHT = 3 };

// The effects a menu's pop-up gets when the constructor is given none: slides out towards the top edge
// when closed, 100 ms.
extern WM_DIALOG_EFFECTS menu_popup_effects;

typedef int (*WM_MENU_OPEN_CALLBACK)(class WM_MENU* menu, INT_U32 user1, INT_U32 user2);

// A released button: its pressed look, press, pointer-over and repeat states cleared.
void clear_press_states(WM_BUTTON* button);

class WM_MENU : public WM_BUTTON {
public:
  WM_FLOATING_MENU* popup;         // owned
  INT_S32 direction;               // MENU_BELOW .. MENU_RIGHT; place_popup may flip it
  INT_U8 popup_open;               // opened by this menu and not yet seen closed
  WM_SCREEN_OBJECT* holder;        // for a sub-menu entry: the menu button or floating menu above it
  WM_MENU_OPEN_CALLBACK open_callback;  // called before the pop-up opens
  INT_U32 open_user1;
  INT_U32 open_user2;
  INT_S16 popup_gap_x;             // between the button and a pop-up opened left or right
  INT_S16 popup_gap_y;             // between the button and a pop-up opened below or above
  WM_MENU* next_in_group;          // not owned; both null or both set
  WM_MENU* previous_in_group;

  // The button from a style set; the pop-up from the other styles (null: the pop-up's defaults).
  WM_MENU(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const char* label, INT_S32 direction,
          WM_STYLE_SET* button_style, WM_STYLE_SET* popup_style, WM_STYLE_SET* even_entry_style,
          WM_STYLE_SET* odd_entry_style, WM_STYLE_SET* separator_style, WM_STYLE_SET* up_arrow_style,
          WM_STYLE_SET* down_arrow_style, WM_DIALOG_EFFECTS* effects, WM_STYLE_SET* submenu_style);
  // From colours: c1 background, c2 text, c3 highlight, c4 highlight text.
  WM_MENU(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* c1, const COLOUR* c2, const COLOUR* c3,
          const COLOUR* c4, const char* label, INT_U8 visible, INT_S32 direction, WM_DIALOG_EFFECTS* effects);
  ~WM_MENU() override;

  void hide(bool top_level, bool children) override;
  WM_RESULT process() override;
  WM_RESULT update(bool top_level) override;
  void move_to(INT_S16 new_x, INT_S16 new_y) override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  void set_area(INT_S16 new_area) override;
  void draw() override;
  void set_hot_key(INT_S32 key) override;

  void build_popup(INT_S32 direction, WM_STYLE_SET* popup_style, WM_STYLE_SET* even_entry_style,
                   WM_STYLE_SET* odd_entry_style, WM_STYLE_SET* separator_style, WM_STYLE_SET* up_arrow_style,
                   WM_STYLE_SET* down_arrow_style, WM_DIALOG_EFFECTS* effects, WM_STYLE_SET* submenu_style);
  // Places the pop-up on its side of the button, flipping the side when it fits only on the other.
  void place_popup();
  // The button's event callback (user1 the menu's handle): opens the pop-up, or closes it when it shows.
  static WM_RESULT on_press(WM_SCREEN_OBJECT* button, INT_U32 menu, INT_U32 user2, int value);
  // This menu joins other's group (leaving its own first).
  void join_group(WM_MENU* other);
  void leave_group();
  // The member of this menu's group that holds the point (this menu asked first); null outside a group.
  WM_MENU* find_in_group(INT_S16 px, INT_S16 py);
  // Closes the pop-up with its effects (at once when immediately).
  void close_popup(bool immediately);
};
