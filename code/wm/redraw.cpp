// Redraw regions and the top-level list: the 128-entry region table with its collecting rules, the
// invalidation operations clipped to the display, the immediate redraw of one object or a whole
// display, and the global list of dialogs and pop-ups above the areas.
#include "redraw.h"

#include <new>

#include "host.h"
#include "image.h"
#include "page_manager.h"
#include "random.h"
#include "screen_image.h"
#include "screen_object.h"
#include "wm_private.h"

WM_REDRAW_REGION redraw_regions[REDRAW_REGION_LIMIT] = {};
INT_S16 redraw_region_count = 0;
INT_S16 current_redraw_region = -1;
INT_S32 redraw_mode = 3;
INT_S16 redraw_merge_distance = 32;

static PTRLLIST* top_level = nullptr;
static bool regions_ready = false;

// All entries -1 before the first use (the table's initial state).
static void prepare_regions() {
  if (regions_ready) return;
  regions_ready = true;
  for (WM_REDRAW_REGION& region : redraw_regions) region = {-1, -1, -1, -1};
}

void clear_redraw_regions() {
  regions_ready = false;
  prepare_regions();
  redraw_region_count = 0;
  current_redraw_region = -1;
}

INT_S16 display_of(INT_S16 x, INT_S16 y) { return (INT_S16)screen_number(x, y); }

// Side by side growth of an entry by a rectangle; -1 fields take the new value.
static void grow_entry(WM_REDRAW_REGION* entry, INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom) {
  if (entry->left == -1 || left < entry->left) entry->left = left;
  if (entry->top == -1 || top < entry->top) entry->top = top;
  if (entry->right == -1 || right > entry->right) entry->right = right;
  if (entry->bottom == -1 || bottom > entry->bottom) entry->bottom = bottom;
}

void add_redraw_region(WM_SCREEN_OBJECT*, INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom) {
  prepare_regions();
  if (current_redraw_region != -1) return;  // invalidations made while rendering are dropped
  if (redraw_mode == 0) {
    if (redraw_region_count == 0) {
      redraw_region_count = 1;
      redraw_regions[0] = {-1, -1, -1, -1};
    }
    grow_entry(&redraw_regions[0], left, top, right, bottom);
    return;
  }
  if (redraw_mode == 4) {
    if (redraw_region_count == 0) redraw_region_count = 1;
    INT_S16 display = display_of(left, top);
    redraw_regions[0] = {0, 0, (INT_S16)(get_screen_width(display) - 1), (INT_S16)(get_screen_height(display) - 1)};
    return;
  }
  if (redraw_mode < 1 || redraw_mode > 3) return;
  INT_S32 d = redraw_merge_distance;
  for (;;) {
    for (INT_S16 i = 0; i < redraw_region_count; i++) {
      const WM_REDRAW_REGION& entry = redraw_regions[i];
      if (entry.left <= left && right <= entry.right && entry.top <= top && bottom <= entry.bottom) return;
    }
    if (redraw_mode == 1) break;
    INT_S16 merged = -1;
    for (INT_S16 i = 0; i < redraw_region_count && merged < 0; i++) {
      const WM_REDRAW_REGION& entry = redraw_regions[i];
      bool c1 = left < entry.right + d, c2 = right > entry.left - d;
      bool c3 = top < entry.bottom + d, c4 = bottom > entry.top - d;
      if (redraw_mode == 2 ? (c1 || c2 || c3 || c4) : (c1 && c2 && c3 && c4)) merged = i;
    }
    if (merged < 0) break;
    // The union replaces the rectangle; the entry gives its place to the last one and the union is
    // added again, so it can absorb further entries.
    const WM_REDRAW_REGION entry = redraw_regions[merged];
    if (entry.left < left) left = entry.left;
    if (entry.top < top) top = entry.top;
    if (entry.right > right) right = entry.right;
    if (entry.bottom > bottom) bottom = entry.bottom;
    redraw_regions[merged] = redraw_regions[redraw_region_count - 1];
    redraw_regions[redraw_region_count - 1] = {-1, -1, -1, -1};
    redraw_region_count--;
  }
  if (redraw_region_count < REDRAW_REGION_LIMIT) {
    redraw_regions[redraw_region_count++] = {top, left, right, bottom};
    return;
  }
  grow_entry(&redraw_regions[0], left, top, right, bottom);
}

bool redraw_region_active() {
  if (current_redraw_region < 0 || current_redraw_region >= REDRAW_REGION_LIMIT) return false;
  const WM_REDRAW_REGION& region = redraw_regions[current_redraw_region];
  return region.top != -1 && region.left != -1 && region.right != -1 && region.bottom != -1;
}

void WM_SCREEN_OBJECT::invalidate() {
  INT_S16 display = display_of(x, y);
  INT_S32 display_width = get_screen_width(display), display_height = get_screen_height(display);
  INT_S32 w = get_width(), h = get_height();
  INT_S32 left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
  INT_S32 right = x + w > display_width ? display_width - 1 : x + w - 1;
  INT_S32 bottom = y + h > display_height ? display_height - 1 : y + h - 1;
  if (left <= right && top <= bottom)
    add_redraw_region(this, (INT_S16)left, (INT_S16)top, (INT_S16)right, (INT_S16)bottom);
}

void WM_SCREEN_OBJECT::invalidate_rect(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom) {
  if (left > right || top > bottom) return;
  INT_S16 display = display_of(x, y);
  INT_S16 display_width = get_screen_width(display), display_height = get_screen_height(display);
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right >= display_width) right = (INT_S16)(display_width - 1);
  if (bottom >= display_height) bottom = (INT_S16)(display_height - 1);
  if (left > right || top > bottom) return;  // nothing of it lies on the display
  add_redraw_region(this, left, top, right, bottom);
}

void invalidate_display(WM_SCREEN_OBJECT* object) {
  INT_S16 display = object ? display_of(object->x, object->y) : 0;
  INT_S16 w = get_screen_width(display), h = get_screen_height(display);
  if (w < 1 || h < 1) return;
  add_redraw_region(object, 0, 0, (INT_S16)(w - 1), (INT_S16)(h - 1));
}

bool WM_SCREEN_OBJECT::meets_redraw_region() {
  if (!redraw_region_active()) return false;
  const WM_REDRAW_REGION& region = redraw_regions[current_redraw_region];
  return x <= region.right && x + width - 1 >= region.left && y <= region.bottom && y + height - 1 >= region.top;
}

// ---------------------------------------------------------------------------------------------------
// Immediate redraw

// Renders the layers, the areas and the top-level list (and the object of no area) into entry 0 set to
// the rectangle, and puts entry 0, the current index and the clip back.
static void draw_rectangle_now(WM_SCREEN_OBJECT* object, INT_S16 display, INT_S16 left, INT_S16 top, INT_S16 right,
                               INT_S16 bottom) {
  IMAGE* screen = get_screen_image(display);
  if (!page_manager || !screen || !screen->pixels) return;
  prepare_regions();
  WM_REDRAW_REGION saved_entry = redraw_regions[0];
  INT_S16 saved_current = current_redraw_region;
  IMAGE_AREA saved_clip = screen->clip;
  redraw_regions[0] = {top, left, right, bottom};
  current_redraw_region = 0;
  screen->set_clip(left, top, right, bottom);
  IMAGE& layer = page_manager->display_layers[display >= 0 && display < DISPLAY_LAYER_COUNT ? display : 0];
  if (layer.pixels) layer.blit_to(0, 0, screen, BLIT_COPY);
  for (INT_S16 i = 0; i < page_manager->area_count; i++) page_manager->areas[i].root.render();
  if (page_manager->area_count > 0) page_manager->areas[0].root.render_top_level();
  if (object && object->area == -1) object->render();
  screen->clip = saved_clip;
  current_redraw_region = saved_current;
  redraw_regions[0] = saved_entry;
}

void WM_SCREEN_OBJECT::draw_now(WM_SCREEN_OBJECT* object) {
  if (!object) return;
  draw_rectangle_now(object, display_of(object->x, object->y), object->x, object->y,
                     (INT_S16)(object->x + object->width - 1), (INT_S16)(object->y + object->height - 1));
}

void draw_all_now(INT_S16 display) {
  draw_rectangle_now(nullptr, display, 0, 0, (INT_S16)(get_screen_width(display) - 1),
                     (INT_S16)(get_screen_height(display) - 1));
}

// ---------------------------------------------------------------------------------------------------
// The top-level list

PTRLLIST* top_level_list() {
  if (!top_level) top_level = new PTRLLIST();
  return top_level;
}

void start_top_level_list() { top_level_list(); }

void stop_top_level_list() {
  if (!top_level) return;
  top_level->clear();  // the nodes only; objects still on it are not deleted
  delete top_level;
  top_level = nullptr;
}

void forget_top_level(WM_SCREEN_OBJECT* object) {
  if (top_level) top_level->remove(object);
}

void WM_SCREEN_OBJECT::add_top_level(WM_SCREEN_OBJECT* object, bool relative) {
  if (!object) return;
  if (relative) object->move_to((INT_S16)(object->x + x), (INT_S16)(object->y + y));
  object->set_area(area >= 0 ? (INT_S16)(-(area + 2)) : area);
  PTRLLIST* list = top_level_list();
  list->cursor = nullptr;
  // As for a child: an object the list cannot hold ends the run like any failed allocation.
  if (!list->add(object)) throw std::bad_alloc();
  if (object->visible && drawn) object->invalidate();
  // A dialog that opens (a pop-up menu too) takes only what is typed from now on, and the focus where
  // it wants it first, shown from the start however the dialog was opened: it marks the answer that
  // Enter gives.
  if (object->kind & WM_KIND_DIALOG) KEYBOARD_HANDLER::empty_queue();
  WM_SCREEN_OBJECT* first = object->visible ? object->first_focus() : nullptr;
  if (first) {
    first->take_focus();
    if (focus_object == first) set_focus_visible(true);
  }
}

void WM_SCREEN_OBJECT::remove_top_level(WM_SCREEN_OBJECT* object, bool delete_object, bool make_relative) {
  if (!object || !top_level || !top_level->remove(object)) return;
  invalidate();
  if (delete_object && !object->not_owned) {
    delete object;
    return;
  }
  object->set_area(area < -1 ? (INT_S16)(-area - 2) : (INT_S16)0);
  if (make_relative) object->move_to((INT_S16)(object->x - x), (INT_S16)(object->y - y));
}

bool is_top_level(WM_SCREEN_OBJECT* object) { return object && top_level && list_contains(top_level, object); }

WM_SCREEN_OBJECT* find_top_level(INT_U32 kind_bits) {
  if (!top_level) return nullptr;
  for (LLIST_NODE* node = top_level->tail; node; node = node->prev) {
    WM_SCREEN_OBJECT* object = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (object->visible && (object->kind & kind_bits) == kind_bits) return object;
  }
  return nullptr;
}

WM_SCREEN_OBJECT* find_input_top_level() {
  if (!top_level) return nullptr;
  for (LLIST_NODE* node = top_level->tail; node; node = node->prev) {
    WM_SCREEN_OBJECT* object = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (object->visible && !object->takes_no_input && !object->leaving()) return object;
  }
  return nullptr;
}

INT_S16 count_visible_top_level() {
  INT_S16 count = 0;
  if (top_level)
    for (LLIST_NODE* node = top_level->head; node; node = node->next)
      if ((static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node)))->visible) count++;
  return count;
}

INT_S16 top_level_area() {
  WM_SCREEN_OBJECT* topmost = find_top_level(0);
  return topmost ? topmost->area : (INT_S16)-1;
}
