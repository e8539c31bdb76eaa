// Floating menu input and closing: the pass that keeps the opening press from the entries, turns keyboard
// navigation on, moves the focus by page keys and type-ahead, chooses on Enter or a release over an entry
// and dismisses on Escape, the hot key or a release outside; and the walk up the chain of menus that a
// sub-menu was opened from.
#include "floating_menu.h"

#include <cstring>

#include "button.h"
#include "grid.h"
#include "host.h"
#include "menu.h"
#include "redraw.h"
#include "script.h"
#include "velk_string.h"

static bool is_navigation_key(INT_S32 key) {
  return key == VKEY_UP || key == VKEY_DOWN || key == VKEY_LEFT || key == VKEY_RIGHT || key == VKEY_PRIOR ||
         key == VKEY_NEXT || key == VKEY_HOME || key == VKEY_END;
}

// Page keys, a keyboard-reached arrow and type-ahead (only with a grid).
static void handle_keyboard(WM_FLOATING_MENU* menu, KEYBOARD_HANDLER& keyboard) {
  WM_GRID* grid = menu->grid;
  INT_S32 key = KEYBOARD_HANDLER::last_key;
  if (!grid->keyboard_navigation) {
    // The first navigation key only turns navigation on.
    if (is_navigation_key(key)) {
      keyboard.read_key();
      menu->set_entries_flag(1);
    }
  } else if (key == VKEY_PRIOR || key == VKEY_NEXT || key == VKEY_HOME || key == VKEY_END) {
    INT_S16 column = 0, row = 0;
    if (grid->find_focused_cell(&column, &row, false)) {
      menu->restore_entries();
      keyboard.read_key();
      INT_S32 page = menu->last_visible - menu->first_visible;
      INT_S32 target = 0;
      if (key == VKEY_NEXT) {
        target = row - 1 + page;
        if (target > menu->entry_count - 1) target = menu->entry_count - 1;
      } else if (key == VKEY_PRIOR) {
        target = row - page;
        if (target < 0) target = 0;
      } else if (key == VKEY_END) {
        target = grid->row_count - 1;
      }
      grid->focus_cell(0, (INT_S16)target);
      menu->layout();
    }
  } else {
    // An arrow button reached from the keyboard: the list moves by that row and its entry takes the focus.
    struct {
      WM_SCREEN_OBJECT* displaced;
      INT_S16 row;
      INT_S32 sign;
    } arrows[2] = {{menu->displaced_top, menu->first_visible, 1}, {menu->displaced_bottom, menu->last_visible, -1}};
    for (const auto& arrow : arrows) {
      if (!arrow.displaced || !focus_object || grid->cell(0, arrow.row) != focus_object) continue;
      menu->restore_entries();
      INT_S16 x1, y1, x2, y2;
      grid->cell_rectangle(0, arrow.row, &x1, &y1, &x2, &y2);
      PARAMETER& scroll = grid->scroll_position;
      scroll.set_int(&scroll.value, scroll.get_int(&scroll.value) + arrow.sign * (y2 - y1 + 1));
      if (grid->visible) grid->sync_scroll();
      WM_SCREEN_OBJECT* entry = grid->cell(0, arrow.row);
      if (entry) entry->take_focus();
      menu->layout();
      break;
    }
  }

  char typed = keyboard.read_char();
  if (!typed) return;
  INT_U32 now = get_tick_count();
  size_t length = std::strlen(menu->type_text);
  if (now - menu->type_time > TYPE_AHEAD_MS) {
    menu->type_text[0] = typed;
    menu->type_text[1] = 0;
  } else if (length < (size_t)TYPE_AHEAD_LENGTH) {
    menu->type_text[length] = typed;
    menu->type_text[length + 1] = 0;
  }
  menu->type_time = now;
  INT_S16 column = 0, focused = -1;
  INT_S32 start = grid->find_focused_cell(&column, &focused, true) ? focused + 1 : 0;
  INT_U16 wanted = (INT_U16)std::strlen(menu->type_text);
  for (INT_S32 k = 0; k < menu->entry_count; k++) {
    INT_S16 row = (INT_S16)((start + k) % menu->entry_count);
    WM_BUTTON* entry = menu->get_entry(row);
    if (!entry || !entry->label || string_compare_no_case(entry->label, menu->type_text, wanted) != 0) continue;
    if (!grid->keyboard_navigation) menu->set_entries_flag(1);
    menu->restore_entries();
    grid->focus_cell(0, row);
    menu->layout();
    break;
  }
}

WM_RESULT WM_FLOATING_MENU::process() {
  if (remove_now) return WM_RESULT_REMOVE;
  if (visible != was_shown) {
    if (visible) {
      hot_key_held = 1;
      wait_release = 1;
    }
    was_shown = visible;
  }
  if (!visible) return 0;
  KEYBOARD_HANDLER keyboard;
  WM_DELETE_GUARD guard(this);
  if (grid) handle_keyboard(this, keyboard);

  bool escape_down = keyboard.is_key_down(VKEY_ESCAPE) ||
                     (!hot_key_held && hot_key != -1 && keyboard.is_key_down(hot_key));
  bool activation_down = keyboard.is_key_down((INT_S32)activation_key);
  bool left = (MOUSE_HANDLER::held_buttons & 0x1) != 0;
  bool right = (MOUSE_HANDLER::held_buttons & 0x2) != 0;

  // The press that opened the menu is hidden from the dialog and the entries until it is released.
  bool hide_press = wait_release && left;
  if (hide_press) MOUSE_HANDLER::held_buttons &= ~0x1u;
  draggable = (may_drag && !wait_release) ? 1 : 0;
  WM_RESULT result = WM_DIALOG::process();
  if (hide_press) MOUSE_HANDLER::held_buttons |= 0x1u;
  if (guard.deleted) return result;

  if (!escape_down && escape_was_down) dismiss();
  if (!activation_down && activation_was_down) {
    if (grid && grid->find_focused_cell(nullptr, nullptr, false)) choose();
    else dismiss();
  }
  if (!wait_release && !left && !right && mouse_was_down) {
    INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
    bool over_title = title && title->contains_point(px, py);
    bool over_owner_child = owner && owner->contains_point(px, py) && !owner->rect_contains_point(px, py);
    if (!over_title && !over_owner_child) {
      // Only the rows in view: the others stand outside the menu, hidden by its clip.
      for (INT_S16 i = first_visible; grid && i <= last_visible && i < entry_count; i++) {
        WM_SCREEN_OBJECT* entry = grid->cell(0, i);
        // An arrow button standing in a row is no entry: a release over it only ends its scrolling.
        if (!entry || entry == up_arrow || entry == down_arrow) continue;
        if ((entry->kind & WM_KIND_MENU) || !entry->contains_point(px, py)) continue;
        choose();
        break;
      }
      if (!contains_point_deep(px, py)) dismiss();
    }
  }
  if (wait_release && !left && !right) wait_release = 0;
  if (hot_key_held && hot_key != -1 && !keyboard.is_key_down(hot_key)) hot_key_held = 0;
  mouse_was_down = (left || right) ? 1 : 0;
  escape_was_down = escape_down ? 1 : 0;
  activation_was_down = activation_down ? 1 : 0;
  return result;
}

void WM_FLOATING_MENU::choose() {
  hide(false, false);
  hide_parents(true);
  // An owned menu goes from the top-level list once chosen, as it does once dismissed.
  if (closing || !not_owned) remove_now = 1;
  if (owner && (owner->kind & WM_KIND_BUTTON)) {
    WM_BUTTON* button = static_cast<WM_BUTTON*>(owner);
    clear_press_states(button);
    if (button->visible) button->show();
  }
}

void WM_FLOATING_MENU::dismiss() {
  close_with_effects(!not_owned, false);
  if (not_owned) reset_entries();
  close_parents(true);
}

bool WM_FLOATING_MENU::contains_point_deep(INT_S16 px, INT_S16 py) {
  if (!visible) return false;
  if (contains_point(px, py)) return true;
  for (INT_S32 i = 0; grid && i < grid->row_count; i++) {
    WM_SCREEN_OBJECT* entry = grid->cell(0, i);
    if (!entry) continue;
    // Rows out of view stand outside the menu, hidden by its clip: only their open pop-ups count.
    bool in_view = i >= first_visible && i <= last_visible;
    if (!(entry->kind & WM_KIND_MENU)) {
      if (in_view && entry->contains_point(px, py)) return true;
      continue;
    }
    WM_MENU* submenu = static_cast<WM_MENU*>(entry);
    if (in_view && submenu->WM_BUTTON::contains_point(px, py)) return true;
    if (submenu->popup && submenu->popup->contains_point_deep(px, py)) return true;
  }
  return false;
}

void WM_FLOATING_MENU::hide_all() {
  for (INT_S32 i = 0; grid && i < grid->row_count; i++) {
    WM_SCREEN_OBJECT* entry = grid->cell(0, i);
    if (entry && (entry->kind & WM_KIND_MENU) && static_cast<WM_MENU*>(entry)->popup)
      static_cast<WM_MENU*>(entry)->popup->hide_all();
  }
  hide(false, false);
}

void WM_FLOATING_MENU::hide(bool top_level, bool hide_children) {
  WM_DIALOG::hide(top_level, hide_children);
  set_entries_flag(0);
}

// Closes (with the effects) or hides one menu above this one.
static void close_or_hide(WM_FLOATING_MENU* menu, bool close) {
  if (close) menu->close_with_effects(false, false);
  else menu->hide(false, false);
}

// The walk up: nothing unless the owner is a sub-menu entry; its holder is the menu button whose pop-up
// held the entry, or the floating menu itself.
static void walk_parents(WM_FLOATING_MENU* menu, bool close, bool recursive) {
  if (!menu->owner || !(menu->owner->kind & WM_KIND_MENU)) return;
  WM_SCREEN_OBJECT* holder = static_cast<WM_MENU*>(menu->owner)->holder;
  if (!holder) return;
  if (holder->kind & WM_KIND_MENU) {
    WM_MENU* button = static_cast<WM_MENU*>(holder);
    if (button->popup) {
      close_or_hide(button->popup, close);
      if (recursive) walk_parents(button->popup, close, true);
    }
    clear_press_states(button);
    if (button->visible) button->show();
  } else if (holder->kind & WM_KIND_FLOATING_MENU) {
    WM_FLOATING_MENU* parent = static_cast<WM_FLOATING_MENU*>(holder);
    close_or_hide(parent, close);
    if (recursive) walk_parents(parent, close, false);
  }
}

void WM_FLOATING_MENU::close_parents(bool recursive) { walk_parents(this, true, recursive); }

void WM_FLOATING_MENU::hide_parents(bool recursive) { walk_parents(this, false, recursive); }
