// The page manager's pass: the simulated click, Tab focus moves, the page timer, the areas' updates and
// first pages, input to the topmost dialog or the areas, acting on the result code, the display-size
// watch, the focus repair, drawing the redraw regions and the pointer shape; and the focus walk.
#include <cstdlib>

#include "dialog.h"
#include "host.h"
#include "image.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_image.h"
#include "transitions.h"
#include "wm_private.h"

// The pointer takes the shape, which is recorded as the current one: the shape is changed only when the
// wanted one differs from it, and a change makes its pass busy (no wait for input after it), so a shape
// left unrecorded would be set again in every pass while the pointer rests on a control.
static void change_pointer_shape(INT_S8 shape) {
  if (set_mouse_cursor(shape, 0)) current_pointer_shape = shape;
}

// Shows the busy pointer before pages are built (results 5 to 8 and 10 to 32).
static void show_busy_pointer() {
  if (cursor_management && busy_pointer && current_pointer_shape != POINTER_WAIT) change_pointer_shape(POINTER_WAIT);
}

// What a pass left to the next one: regions invalidated after its redraw, a first page that waits to
// come in, a rebuild asked for.
static bool work_left_for_next_pass(const WM_PAGE_MANAGER* manager) {
  if (redraw_region_count > 0) return true;
  for (INT_S16 i = 0; i < manager->area_count; i++) {
    const WM_AREA& area = manager->areas[i];
    if (area.rebuild_requested && area.root.visible) return true;
    if (!area.pages[area.current].build && area.pending.build) return true;
  }
  return false;
}

void WM_PAGE_MANAGER::apply_all_pages(INT_S32 first_area) {
  for (INT_S16 j = 0; j < area_count; j++) apply_page((first_area + j) % area_count);
}

void WM_PAGE_MANAGER::draw_all(INT_S32 first_area) {
  if (first_area < 0 || first_area >= area_count) first_area = 0;
  apply_all_pages(first_area);
  redraw();
}

// The object that a click at the point goes to: in the topmost dialog that takes input (the dialog itself
// when the point lies outside it), else in the areas.
static WM_SCREEN_OBJECT* object_taking_click(WM_PAGE_MANAGER* manager, INT_S16 px, INT_S16 py) {
  WM_SCREEN_OBJECT* modal = find_input_top_level();
  if (!modal) return manager->object_at(px, py);
  WM_SCREEN_OBJECT* found = modal->object_at(px, py);
  return found ? found : modal;
}

// The second click of a double click acts only on the object that took the first. A first click that
// changed what lies under the pointer (a page built anew, a question opened or going) would otherwise
// give the second to what it put there: a double click on Next went two pages on. Such a press is
// withheld, the objects seeing the left button up until its release. A quick click elsewhere, or one on
// the object of the first (a check box, a list row), acts. Only a click pressed and released on one
// object is a first click: a press after one that slid off its object, or after the pointer left the
// window (back at once, even to the same pixel), goes to what is under it.
static void watch_clicks(WM_PAGE_MANAGER* manager) {
  WM_CLICK_MEMORY& c = manager->clicks;
  bool left = (MOUSE_HANDLER::held_buttons & 1) != 0;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  // When the change shown was made: a double click shown passes later, after a slow first click, is
  // still one.
  INT_U32 now = MOUSE_HANDLER::change_time;
  bool left_window = MOUSE_HANDLER::leave_count != c.leaves;
  c.leaves = MOUSE_HANDLER::leave_count;
  if (left_window) c.clicked_on = 0;
  if (left && !c.held) {
    INT_U32 under = object_handle(object_taking_click(manager, px, py));
    c.withheld = c.clicked_on != 0 && under != c.clicked_on && now - c.release_time <= query_double_click_time() &&
                 std::abs(px - c.release_x) <= DOUBLE_CLICK_DISTANCE &&
                 std::abs(py - c.release_y) <= DOUBLE_CLICK_DISTANCE;
    c.pressed_on = under;
  } else if (!left && c.held) {
    // A withheld click keeps the first one's object: a third quick click there is withheld too. The
    // object under the release is looked at before the click acts and changes what lies there.
    INT_U32 under = object_handle(object_taking_click(manager, px, py));
    if (!c.withheld) c.clicked_on = !left_window && under == c.pressed_on ? under : 0;
    c.release_time = now;
    c.release_x = px;
    c.release_y = py;
    c.withheld = 0;
  }
  c.held = left ? 1 : 0;
}

WM_RESULT WM_PAGE_MANAGER::update(bool present) {
  bool tick = page_timer_interval == 0;
  WM_RESULT result = 0;
  bool changed = false;
  MOUSE_HANDLER mouse;
  KEYBOARD_HANDLER keyboard;

  if (display_width == 0 || display_height == 0) {
    display_width = get_screen_width(0);
    display_height = get_screen_height(0);
  }
  cursor_request = cursor_management ? 0 : -1;
  focus_confirmed = 0;
  // A person who works the mouse sees the focus as before the keyboard showed it.
  if (MOUSE_HANDLER::held_buttons & 0x7) set_focus_visible(false);

  // Simulated click of a hot key: the real pointer and button state are put back after the pass. It
  // stands in for the real input of this pass, so it is shown as it is rather than recorded behind real
  // button changes still to be seen, and those wait for a pass that shows them.
  bool simulated = click_x != -1 && click_y != -1;
  INT_S16 real_x = MOUSE_HANDLER::pointer_x, real_y = MOUSE_HANDLER::pointer_y;
  INT_U32 real_held = MOUSE_HANDLER::held_buttons & 1;
  if (simulated) {
    MOUSE_HANDLER::pointer_x = click_x;
    MOUSE_HANDLER::pointer_y = click_y;
    MOUSE_HANDLER::last_event_time = get_calendar_seconds();
    MOUSE_HANDLER::held_buttons = (MOUSE_HANDLER::held_buttons & ~1u) | (click_button_down ? 1u : 0u);
  }
  bool input_given = false;
  // A withheld press is hidden from this pass and shown again after it (unless the pass took in a
  // change of the buttons), so that the host's record of the buttons goes on from the real state.
  INT_U32 masked_buttons = 0;
  bool masked = false;
  if (!simulated && double_click_guard) {
    watch_clicks(this);
    masked = clicks.withheld && (MOUSE_HANDLER::held_buttons & 1);
    if (masked) masked_buttons = MOUSE_HANDLER::held_buttons &= ~1u;
  }

  if (KEYBOARD_HANDLER::last_key == VKEY_TAB) {
    keyboard.read_key();
    bool shift = keyboard.is_key_down(VKEY_LSHIFT) || keyboard.is_key_down(VKEY_RSHIFT);
    bool control = keyboard.is_key_down(VKEY_LCONTROL) || keyboard.is_key_down(VKEY_RCONTROL);
    if (!shift && !control) focus_next();
    else if (control && !shift) focus_next_area();
    else if (shift && !control) focus_previous();
    else focus_previous_area();
    set_focus_visible(true);
  }

  if (page_timer_interval != 0) {
    INT_U32 now = get_tick_count();
    if (now >= page_timer_last + (INT_U32)page_timer_interval) {
      tick = true;
      page_timer_last = now;
    }
    request_pass_by(page_timer_last + (INT_U32)page_timer_interval);
  }

  for (INT_S16 i = (INT_S16)(area_count - 1); i >= 0; i--) {
    WM_AREA* area = &areas[i];
    select_area(i);
    if (!area->pages[area->current].build && area->pending.build) {
      result = first_page_from_black ? WM_RESULT_FADE_FROM_BLACK : WM_RESULT_APPLY_PAGES;
      area->root.visible = 1;
      area->root.needs_draw = 1;
      area->root.invalidate();
      changed = true;
    }
    if (area->rebuild_requested && area->root.visible) {
      area->rebuild_requested = 0;
      rebuild_area(area, false);
      changed = true;
    }
    if (result == 0) {
      result = area->root.update(false);
      redraw();
      if (result < 2) result = 0;
      else changed = true;
    }
  }
  if (result == 0 && area_count > 0) result = areas[0].root.update(true);

  if (!changed) {
    if (WM_SCREEN_OBJECT* modal = find_input_top_level()) {
      changed = true;
      INT_S16 encoded = modal->area;
      INT_S16 area = encoded < -1 ? (INT_S16)(-2 - encoded) : encoded;
      if (area != -1) select_area(area);
      if (tick && current_area && current_area->pages[current_area->current].per_pass)
        result = current_area->pages[current_area->current].per_pass();
      if (result == 0 && current_area) {
        input_given = true;
        result = current_area->root.process();
      }
    } else {
      for (INT_S16 i = (INT_S16)(area_count - 1); i >= 0 && result == 0; i--) {
        WM_AREA* area = &areas[i];
        select_area(i);
        WM_PAGE& page = area->pages[area->current];
        if (tick && area->root.visible && page.per_pass) result = page.per_pass();
        if (result == 0) {
          input_given = true;
          result = area->root.process();
        }
      }
    }
  }
  // The objects have had the mouse and key state of this pass: a button change recorded behind it comes
  // next, and the keys pressed since the last pass show as they are held.
  if (masked && MOUSE_HANDLER::held_buttons == masked_buttons) MOUSE_HANDLER::held_buttons |= 1u;
  if (input_given && !simulated) {
    MOUSE_HANDLER::input_pass_done();
    KEYBOARD_HANDLER::input_pass_done();
  }

  // Acting on the result, for the area that produced it.
  INT_S32 here = current_area_index;
  if ((result >= 5 && result <= 8) || (result >= 10 && result <= 32)) show_busy_pointer();
  switch (result) {
    case WM_RESULT_CLOSE_ALL_DIALOGS:
      close_all_dialogs(false);
      break;
    case WM_RESULT_REBUILD:
    case WM_RESULT_REBUILD_CLEAR:
      if (current_area) rebuild_area(current_area, result == WM_RESULT_REBUILD_CLEAR);
      result = 0;
      break;
    case WM_RESULT_REBUILD_ALL:
    case WM_RESULT_REBUILD_ALL_CLEAR: {
      // With 8 the top-level objects go with the first area rebuilt (a hidden area is not rebuilt).
      bool first = true;
      for (INT_S16 j = 0; j < area_count; j++) {
        WM_AREA* area = &areas[(here + j) % area_count];
        if (!area->root.visible) continue;
        select_area((here + j) % area_count);
        rebuild_area(area, first && result == WM_RESULT_REBUILD_ALL_CLEAR);
        first = false;
      }
      result = 0;
      break;
    }
    case WM_RESULT_REMOVE_TOP_LEVEL:
      if (area_count > 0) areas[0].root.detach_all(true, false, false);
      result = 0;
      break;
    case WM_RESULT_APPLY_PAGES:
    case WM_RESULT_FADE_TO_BLACK:
    case WM_RESULT_FADE_TO_GREY:
      focus_confirmed = 1;
      if (result == WM_RESULT_FADE_TO_BLACK) fade_to_black(this);
      if (result == WM_RESULT_FADE_TO_GREY) fade_to_grey(this);
      apply_all_pages(here);
      redraw();
      break;
    default:
      if (result >= WM_RESULT_CROSS_FADE && result <= WM_RESULT_SLIDE_LAST) {
        focus_confirmed = 1;
        switch (result) {
          case WM_RESULT_CROSS_FADE: cross_fade(this, here); break;
          case WM_RESULT_FADE_FROM_BLACK: fade_from_black(this, here); break;
          case WM_RESULT_FADE_FROM_GREY: fade_from_grey(this, here); break;
          case WM_RESULT_BLACK_TRANSITION: black_transition(this, here); break;
          case WM_RESULT_GREY_TRANSITION: grey_transition(this, here); break;
          default:
            slide_transition(this, here, (INT_U8)((result - WM_RESULT_SLIDE_FIRST) % 5),
                             (INT_U8)((result - WM_RESULT_SLIDE_FIRST) / 5));
            break;
        }
      }
      break;
  }

  if (display_size_watch && (get_screen_width(0) != display_width || get_screen_height(0) != display_height)) {
    display_width = get_screen_width(0);
    display_height = get_screen_height(0);
    if (area_count > 0) invalidate_display(&areas[0].root);
    for (INT_S16 i = (INT_S16)(area_count - 1); i >= 0; i--) {
      select_area(i);
      areas[i].rebuild_requested = 0;
      rebuild_area(&areas[i], false);
    }
  }

  if (!focus_confirmed && result != WM_RESULT_KEEP_FOCUS && !focus_next() && focus_object) {
    WM_SCREEN_OBJECT* dropped = focus_object;
    if (dropped->visible) dropped->show();
    focus_object = nullptr;
    if (dropped->focus_callback) dropped->focus_callback(dropped, dropped->focus_user);
  }

  redraw();
  if (present) present_frame(-1);

  if (simulated) {
    MOUSE_HANDLER::last_event_time = get_calendar_seconds();
    MOUSE_HANDLER::pointer_x = real_x;
    MOUSE_HANDLER::pointer_y = real_y;
    MOUSE_HANDLER::held_buttons = (MOUSE_HANDLER::held_buttons & ~1u) | real_held;
  }
  if (cursor_management && cursor_request >= 0 && cursor_request <= 6 && cursor_request != current_pointer_shape)
    change_pointer_shape(cursor_request);
  if (work_left_for_next_pass(this)) request_pass_by(get_tick_count());
  return result;
}

void WM_PAGE_MANAGER::redraw() {
  IMAGE* screen = draw_target ? draw_target : get_screen_image(0);
  for (INT_S16 i = 0; i < redraw_region_count; i++) {
    current_redraw_region = i;
    if (!redraw_region_active() || !screen || !screen->pixels) continue;
    const WM_REDRAW_REGION& region = redraw_regions[i];
    screen->set_clip(region.left, region.top, region.right, region.bottom);
    for (INT_S16 display = 0; display < DISPLAY_LAYER_COUNT; display++)
      if (get_screen_width(display) != 0 && display_layers[display].pixels)
        display_layers[display].blit_to(0, 0, screen, BLIT_COPY);
    for (INT_S16 a = 0; a < area_count; a++) areas[a].root.render();
    if (area_count > 0) areas[0].root.render_top_level();
    screen->set_clip(0, 0, (INT_S16)(screen->width - 1), (INT_S16)(screen->height - 1));
  }
  clear_redraw_regions();
}

// ---------------------------------------------------------------------------------------------------
// Focus moves

namespace {

// One focus walk's state, handed through visit_focus_children.
struct FOCUS_WALK {
  WM_PAGE_MANAGER* manager;
  bool* seen;
  WM_SCREEN_OBJECT** first;
  WM_SCREEN_OBJECT** last;
  WM_SCREEN_OBJECT** previous;
  WM_SCREEN_OBJECT** next;
};

// The walk goes on into the object until both neighbours of the focus object are found.
bool visit_focus_candidate(WM_SCREEN_OBJECT* object, void* state) {
  FOCUS_WALK* walk = static_cast<FOCUS_WALK*>(state);
  if (*walk->previous && *walk->next) return false;
  walk->manager->collect_focus_candidates(object, walk->seen, walk->first, walk->last, walk->previous, walk->next);
  return true;
}

}  // namespace

void WM_PAGE_MANAGER::collect_focus_candidates(WM_SCREEN_OBJECT* object, bool* seen, WM_SCREEN_OBJECT** first,
                                               WM_SCREEN_OBJECT** last, WM_SCREEN_OBJECT** previous,
                                               WM_SCREEN_OBJECT** next) {
  if (!object) return;
  if (!object->visible) {
    if (object == focus_object) *seen = true;
    return;
  }
  if (*previous && *next) return;
  bool focusable = object->is_focusable();
  if (focusable) {
    if (!*first) *first = object;
    *last = object;
  }
  if (object == focus_object) *seen = true;
  else if (focusable && !*next) {
    if (!*seen && focus_object) *previous = object;
    else *next = object;
  }
  FOCUS_WALK walk = {this, seen, first, last, previous, next};
  object->visit_focus_children(visit_focus_candidate, &walk);
}

// The candidates of the topmost visible top-level object that takes input, or of every area's root.
static void collect_all(WM_PAGE_MANAGER* manager, bool* seen, WM_SCREEN_OBJECT** first, WM_SCREEN_OBJECT** last,
                        WM_SCREEN_OBJECT** previous, WM_SCREEN_OBJECT** next) {
  WM_SCREEN_OBJECT* topmost = find_input_top_level();
  if (topmost) {
    manager->collect_focus_candidates(topmost, seen, first, last, previous, next);
    return;
  }
  for (INT_S16 i = 0; i < manager->area_count; i++)
    manager->collect_focus_candidates(&manager->areas[i].root, seen, first, last, previous, next);
}

// The object takes the focus; true when it did.
static bool give_focus(WM_SCREEN_OBJECT* object) {
  if (!object) return false;
  object->take_focus();
  return true;
}

bool WM_PAGE_MANAGER::focus_next() {
  bool seen = false;
  WM_SCREEN_OBJECT *first = nullptr, *last = nullptr, *previous = nullptr, *next = nullptr;
  collect_all(this, &seen, &first, &last, &previous, &next);
  return give_focus(next ? next : first);
}

bool WM_PAGE_MANAGER::focus_previous() {
  bool seen = false;
  WM_SCREEN_OBJECT *first = nullptr, *last = nullptr, *previous = nullptr, *next = nullptr;
  collect_all(this, &seen, &first, &last, &previous, &next);
  return give_focus(previous ? previous : last);
}

// The first focusable object of the first visible area from start, stepping by step and wrapping.
static bool focus_area_from(WM_PAGE_MANAGER* manager, INT_S32 start, INT_S32 step) {
  if (find_input_top_level() || manager->area_count < 1) return false;
  for (INT_S32 j = 0; j < manager->area_count; j++) {
    INT_S32 index = ((start + step * j) % manager->area_count + manager->area_count) % manager->area_count;
    WM_AREA* area = &manager->areas[index];
    if (!area->root.visible) continue;
    bool seen = false;
    WM_SCREEN_OBJECT *first = nullptr, *last = nullptr, *previous = nullptr, *next = nullptr;
    manager->collect_focus_candidates(&area->root, &seen, &first, &last, &previous, &next);
    return give_focus(first);
  }
  return false;
}

bool WM_PAGE_MANAGER::focus_next_area() {
  INT_S32 start = focus_object && focus_object->area >= 0 ? focus_object->area : 0;
  return focus_area_from(this, start, 1);
}

bool WM_PAGE_MANAGER::focus_previous_area() {
  // Without a focus object the walk back starts at area 1 (so that area 0 comes first); a focus object
  // outside the areas counts as area 0.
  INT_S32 start = focus_object ? (focus_object->area >= 0 ? focus_object->area : 0) : (area_count > 0 ? 1 % area_count : 0);
  return focus_area_from(this, start, -1);
}
