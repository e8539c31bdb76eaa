// Menu buttons: construction with the pop-up, placing the pop-up beside the button with the flip against
// the work area, opening and closing it on a press, the hand-over between the members of a group, and
// the slots that keep the pop-up with the button.
#include "menu.h"

#include <new>

#include "floating_menu.h"
#include "grid.h"
#include "host.h"
#include "page_manager.h"
#include "redraw.h"

WM_DIALOG_EFFECTS menu_popup_effects = {DIALOG_SLIDE_OUT | DIALOG_EDGE_TOP, 100, 200, 224};

void clear_press_states(WM_BUTTON* button) {
  button->highlighted = 0;
  button->armed = 0;
  button->pointer_over = 0;
  button->repeating = 0;
  button->repeat_time = 0;
}

// Released and redrawn when visible.
static void release(WM_BUTTON* button) {
  clear_press_states(button);
  if (button->visible) button->show();
}

WM_MENU::WM_MENU(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const char* label, INT_S32 new_direction,
                 WM_STYLE_SET* button_style, WM_STYLE_SET* popup_style, WM_STYLE_SET* even_entry_style,
                 WM_STYLE_SET* odd_entry_style, WM_STYLE_SET* separator_style, WM_STYLE_SET* up_arrow_style,
                 WM_STYLE_SET* down_arrow_style, WM_DIALOG_EFFECTS* effects, WM_STYLE_SET* submenu_style)
    : WM_BUTTON(x1, y1, x2, y2, button_style, label, nullptr, on_press, 0, 0, BUTTON_EVENT_PRESS), popup(nullptr) {
  event_user1 = object_handle(this);
  build_popup(new_direction, popup_style, even_entry_style, odd_entry_style, separator_style, up_arrow_style,
              down_arrow_style, effects, submenu_style);
  if (button_style) {
    popup_gap_x = button_style->x_spacing;
    popup_gap_y = button_style->y_spacing;
  }
}

WM_MENU::WM_MENU(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* c1, const COLOUR* c2,
                 const COLOUR* c3, const COLOUR* c4, const char* label, INT_U8 new_visible, INT_S32 new_direction,
                 WM_DIALOG_EFFECTS* effects)
    : WM_BUTTON(x1, y1, x2, y2, c1, c2, label, CLICK_NORMAL, 0, 15, on_press, 0, 0, new_visible, BUTTON_EVENT_PRESS),
      popup(nullptr) {
  event_user1 = object_handle(this);
  WM_STYLE_SET colours;
  if (c2) colours.fg_colour = *c2;
  if (c1) colours.bg_colour = *c1;
  if (c3) colours.highlight_colour = *c3;
  if (c4) colours.highlight_text_colour = *c4;
  colours.visible = new_visible;
  colours.shading_flags = 15;
  colours.flags = ssf_draw_border | ssf_outstanding_border;
  build_popup(new_direction, &colours, nullptr, nullptr, nullptr, nullptr, nullptr, effects, nullptr);
}

WM_MENU::~WM_MENU() {
  leave_group();
  if (popup) {
    if (popup_open) remove_top_level(popup, true, false);
    WM_FLOATING_MENU* gone = popup;
    popup = nullptr;
    delete gone;
  }
}

// The least width the pop-up's client keeps so that the pop-up is as wide as the button.
static INT_S16 popup_client_width(WM_MENU* menu) {
  WM_STYLE_SET& s = menu->popup->window_style;
  INT_S32 frame = s.border_left_gap + s.border_right_gap + s.cell_left_gap + s.cell_right_gap;
  return (INT_S16)(menu->get_width() - frame);
}

void WM_MENU::build_popup(INT_S32 new_direction, WM_STYLE_SET* popup_style, WM_STYLE_SET* even_entry_style,
                          WM_STYLE_SET* odd_entry_style, WM_STYLE_SET* separator_style, WM_STYLE_SET* up_arrow_style,
                          WM_STYLE_SET* down_arrow_style, WM_DIALOG_EFFECTS* effects, WM_STYLE_SET* submenu_style) {
  WM_STYLE_SET entries;
  popup_open = 0;
  direction = new_direction;
  next_in_group = previous_in_group = nullptr;
  holder = nullptr;
  open_callback = nullptr;
  open_user1 = open_user2 = 0;
  popup_gap_x = popup_gap_y = 0;
  if (!popup_style) {
    adjust_default_styles();
    popup_style = default_dialog_window_style;
  }
  if (even_entry_style) {
    WM_STYLE_SET::copy(&entries, even_entry_style);
  } else {
    entries.flags = ssf_left_justify_text;
    entries.extended_flags = ssef_auto_depress;
    entries.fg_colour = popup_style->fg_colour;
    entries.bg_colour = popup_style->bg_colour;
    entries.highlight_colour = popup_style->highlight_colour;
    entries.highlight_text_colour = popup_style->highlight_text_colour;
    entries.font_id = popup_style->font_id;
    entries.font_x_sz = popup_style->font_x_sz;
    entries.font_y_sz = popup_style->font_y_sz;
  }
  if (!effects) effects = &menu_popup_effects;
  popup = new (std::nothrow) WM_FLOATING_MENU(x, y, nullptr, popup_style, popup_style, &entries, odd_entry_style, 0,
                                               1, separator_style, up_arrow_style, down_arrow_style, effects,
                                               submenu_style);
  if (popup) {
    popup->min_client_width = popup_client_width(this);
    popup->owner = this;
    popup->not_owned = 1;
  }
  kind |= WM_KIND_MENU;
  call_screen_object_created_hook(this);
  place_popup();
}

void WM_MENU::place_popup() {
  if (!popup) return;
  INT_S32 mx = x, my = y, w = get_width(), h = get_height();
  INT_S32 pw = popup->get_width(), ph = popup->get_height(), gx = popup_gap_x, gy = popup_gap_y;
  switch (direction) {
    case MENU_BELOW: popup->move_to((INT_S16)mx, (INT_S16)(my + h + gy)); break;
    case MENU_ABOVE: popup->move_to((INT_S16)mx, (INT_S16)(my - ph - gy)); break;
    case MENU_LEFT: popup->move_to((INT_S16)(mx - pw - gx), (INT_S16)my); break;
    case MENU_RIGHT: popup->move_to((INT_S16)(mx + w + gx), (INT_S16)my); break;
    default: break;
  }
  popup->layout();
  pw = popup->get_width();
  ph = popup->get_height();
  INT_S16 left, top, right, bottom;
  get_work_area(&left, &top, &right, &bottom);
  INT_S32 flipped = direction;
  switch (direction) {
    case MENU_BELOW:
      if (!(my + h + gy + ph <= bottom || my - gy - ph <= top)) flipped = MENU_ABOVE;
      break;
    case MENU_ABOVE:
      if (!(my + h + gy + ph >= bottom || my - gy - ph >= top)) flipped = MENU_BELOW;
      break;
    case MENU_LEFT:
      if (!(mx - pw - gx >= left || mx + w + gx + pw >= right)) flipped = MENU_RIGHT;
      break;
    case MENU_RIGHT:
      if (!(mx - pw - gx <= left || mx + w + gx + pw <= right)) flipped = MENU_LEFT;
      break;
    default: break;
  }
  if (flipped != direction) {
    direction = flipped;
    place_popup();
  }
}

void WM_MENU::close_popup(bool immediately) {
  if (popup) popup->close_with_effects(!popup->not_owned, immediately);
}

WM_RESULT WM_MENU::on_press(WM_SCREEN_OBJECT*, INT_U32 menu_handle, INT_U32, int) {
  WM_SCREEN_OBJECT* object = object_from_handle(menu_handle);
  if (!object || !(object->kind & WM_KIND_MENU)) return 0;
  WM_MENU* menu = static_cast<WM_MENU*>(object);
  if (!menu->popup) return 0;
  WM_FLOATING_MENU* popup = menu->popup;
  if (is_top_level(popup) && popup->drawn) {
    menu->close_popup(false);
    return 0;
  }
  if (menu->open_callback) {
    WM_DELETE_GUARD guard(menu);
    menu->open_callback(menu, menu->open_user1, menu->open_user2);
    if (guard.deleted || !menu->popup) return 0;
  }
  if (!is_top_level(popup)) menu->add_top_level(popup, false);
  popup->reset_entries();
  popup->show();
  menu->place_popup();
  menu->popup_open = 1;
  return 0;
}

WM_RESULT WM_MENU::process() {
  if (popup_open && popup && !popup->visible) {
    remove_top_level(popup, false, false);
    popup_open = 0;
  }
  return WM_BUTTON::process();
}

WM_RESULT WM_MENU::update(bool top_level) {
  if (!visible) return 0;
  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_SCREEN_OBJECT::update(top_level);
  if (result != 0 || guard.deleted) return result;
  if (!popup_open || !popup || !popup->visible || !popup->at_rest()) return 0;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  if (WM_BUTTON::contains_point(px, py) || popup->contains_point_deep(px, py)) return 0;
  WM_MENU* target = find_in_group(px, py);
  if (target && target->enabled) {
    // The open pop-up goes over to the member under the pointer, as in a menu bar.
    close_popup(true);
    release(this);
    target->place_popup();
    if (target->open_callback) {
      WM_DELETE_GUARD target_guard(target);
      target->open_callback(target, target->open_user1, target->open_user2);
      if (target_guard.deleted || guard.deleted) return 0;
    }
    if (!target->popup) return 0;
    target->popup->hide(false, false);
    target->popup->instant = 1;
    if (!is_top_level(target->popup)) target->add_top_level(target->popup, false);
    target->popup->show();
    target->popup_open = 1;
    target->highlighted = 1;
    target->show();
  } else if (!target && click_behaviour == CLICK_AUTO_ACTIVATE) {
    close_popup(false);
    release(this);
  }
  return 0;
}

void WM_MENU::hide(bool top_level, bool hide_children) {
  WM_BUTTON::hide(top_level, hide_children);
  if (popup) popup->hide_all();
}

void WM_MENU::move_to(INT_S16 new_x, INT_S16 new_y) {
  if (new_x == x && new_y == y) return;
  WM_SCREEN_OBJECT::move_to(new_x, new_y);
  place_popup();
}

void WM_MENU::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  if (new_width == width && new_height == height) return;
  bool popup_shown = popup && popup->visible;
  WM_SCREEN_OBJECT::resize(new_width, new_height, resize_children);
  if (popup) {
    popup->min_client_width = popup_client_width(this);
    popup->layout();
    if (popup_shown) popup->show();
  }
  place_popup();
}

void WM_MENU::set_area(INT_S16 new_area) {
  if (popup) popup->set_area(new_area);
  WM_SCREEN_OBJECT::set_area(new_area);
}

void WM_MENU::draw() {
  WM_FLOATING_MENU* kept = popup;
  popup = nullptr;
  WM_BUTTON::draw();
  popup = kept;
}

void WM_MENU::set_hot_key(INT_S32 key) {
  WM_BUTTON::set_hot_key(key);
  if (popup) popup->hot_key = key;
}

// ---------------------------------------------------------------------------------------------------
// Groups

void WM_MENU::leave_group() {
  if (next_in_group && previous_in_group) {
    if (next_in_group == previous_in_group) {
      next_in_group->next_in_group = next_in_group->previous_in_group = nullptr;
    } else {
      previous_in_group->next_in_group = next_in_group;
      next_in_group->previous_in_group = previous_in_group;
    }
  }
  next_in_group = previous_in_group = nullptr;
}

void WM_MENU::join_group(WM_MENU* other) {
  leave_group();
  if (!other || other == this) return;
  if (other->next_in_group && other->previous_in_group) {
    next_in_group = other;
    previous_in_group = other->previous_in_group;
    other->previous_in_group->next_in_group = this;
    other->previous_in_group = this;
  } else {
    next_in_group = previous_in_group = other;
    other->next_in_group = other->previous_in_group = this;
  }
}

WM_MENU* WM_MENU::find_in_group(INT_S16 px, INT_S16 py) {
  if (!next_in_group || !previous_in_group) return nullptr;
  WM_MENU* member = this;
  do {
    if (member->contains_point(px, py)) return member;
    member = member->next_in_group;
  } while (member && member != this);
  return nullptr;
}
