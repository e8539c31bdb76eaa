// The input and update pass of screen objects: the modal rule of the top-level list, the area filter,
// press and release with the click callback and its click mode, Ctrl + activation key on the focus
// object, the walk of the top-level list's updates, and the pass time with its blink phase.
#include "host.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_object.h"
#include "wm_private.h"

INT_U8 modal_switch = 1;
INT_U8 input_area_filter = 1;
INT_U8 update_area_filter = 1;
INT_U32 activation_key = VKEY_RETURN;
INT_U32 pass_time = 0;
INT_U8 blink_phase = 0;
INT_U8 outermost_update = 1;
INT_U8 pointer_shapes_enabled = 1;

static const INT_U32 BLINK_PERIODS[8] = {50, 125, 250, 500, 1000, 2000, 4000, 8000};

INT_U8 blink_phase_of(INT_U32 t) {
  INT_U8 phase = 0;
  for (int bit = 0; bit < 8; bit++)
    if ((t / BLINK_PERIODS[bit]) & 1) phase |= (INT_U8)(1 << bit);
  return phase;
}

INT_U32 blink_phase_next_change(INT_U32 t, INT_U8 mask) {
  INT_U32 earliest = 0;
  for (int bit = 0; bit < 8; bit++) {
    if (!(mask & (1 << bit))) continue;
    INT_U32 change = (t / BLINK_PERIODS[bit] + 1) * BLINK_PERIODS[bit];
    if (earliest == 0 || change - t < earliest - t) earliest = change;
  }
  return earliest;
}

// A child of an area that lies wholly outside the current area's root is left out while the filter is on.
static bool filtered_out(WM_SCREEN_OBJECT* child, INT_U8 filter) {
  if (child->area < 0 || !filter || !page_manager || !page_manager->current_area) return false;
  return !objects_meet(child, &page_manager->current_area->root);
}

WM_RESULT WM_SCREEN_OBJECT::process() {
  if (focus_object == this) focus_confirmed = 1;

  // Modal rule: the topmost visible top-level object alone gets the input of the pass (a hint aside).
  PTRLLIST* list = top_level_list();
  if (modal_switch && list->count > 0) {
    WM_SCREEN_OBJECT* topmost = find_input_top_level();
    if (topmost) {
      modal_switch = 0;
      if (topmost->area >= 0) topmost->set_area((INT_S16)(-(area + 2)));
      WM_DELETE_GUARD guard(this);
      WM_RESULT result = topmost->process();
      modal_switch = 1;
      if (result == WM_RESULT_REMOVE) {
        if (!guard.deleted && is_top_level(topmost)) remove_top_level(topmost, true, false);
        return 0;
      }
      return result;
    }
  }
  if (!visible) return 0;

  {
    WM_OBJECT_SNAPSHOT objects(&children);
    WM_DELETE_GUARD guard(this);
    for (INT_S32 i = 0; i < objects.count; i++) {
      WM_SCREEN_OBJECT* child = objects[i];
      if (!list_contains(&children, child) || filtered_out(child, input_area_filter)) continue;
      WM_RESULT result = child->process();
      if (result != 0) return result;
      if (guard.deleted) return 0;
    }
  }
  if (!click_callback) return 0;

  KEYBOARD_HANDLER keyboard;
  MOUSE_HANDLER mouse;
  bool pressed = (MOUSE_HANDLER::held_buttons & 0x2) != 0;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  INT_U8 enter_down = keyboard.is_key_down((INT_S32)activation_key) ? 1 : 0;
  if (focus_object == this && (enter_down || enter_was_down) &&
      (keyboard.is_key_down(VKEY_LCONTROL) || keyboard.is_key_down(VKEY_RCONTROL))) {
    px = (INT_S16)(x + width / 2);
    py = (INT_S16)(y + height / 2);
    pressed = enter_down != 0;
  }
  enter_was_down = enter_down;

  if (pressed) {
    if (!pressed_object && contains_point(px, py)) {
      pressed_object = this;
      WM_DELETE_GUARD guard(this);
      take_focus();
      if (guard.deleted) return 0;
      if (click_mode == 0 || click_mode == 2) return click_callback(this, click_user1, click_user2, 0);
    }
    return 0;
  }
  if (pressed_object == this) {
    pressed_object = nullptr;
    if (contains_point(px, py) && (click_mode == 1 || click_mode == 2))
      return click_callback(this, click_user1, click_user2, (int)click_mode - 1);
  }
  return 0;
}

// The update walk proper, inside the outermost call's pass time.
static WM_RESULT update_walk(WM_SCREEN_OBJECT* object, bool top_level) {
  if (!top_level) {
    if (!object->visible) return 0;
    WM_OBJECT_SNAPSHOT objects(&object->children);
    WM_DELETE_GUARD guard(object);
    for (INT_S32 i = 0; i < objects.count; i++) {
      WM_SCREEN_OBJECT* child = objects[i];
      if (!list_contains(&object->children, child) || filtered_out(child, update_area_filter)) continue;
      WM_RESULT result = child->update(false);
      if (result != 0) return result;
      if (guard.deleted) return 0;
    }
    return 0;
  }
  PTRLLIST* list = top_level_list();
  WM_OBJECT_SNAPSHOT objects(list);
  WM_DELETE_GUARD guard(object);
  for (INT_S32 i = 0; i < objects.count; i++) {
    WM_SCREEN_OBJECT* entry = objects[i];
    if (!list_contains(list, entry)) continue;  // taken off by an earlier object's update
    WM_RESULT result = entry->update(false);
    if (guard.deleted) return result == WM_RESULT_REMOVE ? 0 : result;
    if (result == WM_RESULT_REMOVE) {
      if (is_top_level(entry)) object->remove_top_level(entry, true, false);
      continue;
    }
    if (result != 0) return result;
  }
  return 0;
}

WM_RESULT WM_SCREEN_OBJECT::update(bool top_level) {
  INT_U8 was_outermost = outermost_update;
  if (outermost_update) {
    outermost_update = 0;
    pass_time = get_tick_count();
    blink_phase = blink_phase_of(pass_time);
  }
  WM_RESULT result = update_walk(this, top_level);
  outermost_update = was_outermost;
  return result;
}
