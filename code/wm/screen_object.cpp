// Screen objects: the window manager's statics, construction and destruction with the module's globals,
// the tree operations (children added, removed, cleared), geometry, visibility, focus, drawing order, and
// the plain container WM_MANAGER.
#include "screen_object.h"

#include <new>
#include <unordered_map>

#include "border.h"
#include "click_sound.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "redraw.h"
#include "screen_image.h"
#include "style_set.h"
#include "wm_private.h"

WM_SCREEN_OBJECT* focus_object = nullptr;
INT_U8 focus_confirmed = 0;
INT_U8 focus_visible = 0;
WM_SCREEN_OBJECT* pressed_object = nullptr;
WM_SCREEN_OBJECT* scroll_wheel_target = nullptr;
WM_OBJECT_HOOK screen_object_created_hook = nullptr;
INT_U32 screen_object_created_user = 0;
WM_OBJECT_HOOK screen_object_destroyed_hook = nullptr;
INT_U32 screen_object_destroyed_user = 0;
INT_U8 render_clip_narrowed = 0;

void start_window_manager() {
  start_image_cache();
  border_base_colour = 0;
  border_outline_colour = 0xFFFFFF00;
  border_groove_colour = 0xFF000000;
  border_light_colour = 0xFFFFFFFF;
  border_dark_colour = 0xFF808080;
  start_top_level_list();
  start_click_sound();
}

void stop_window_manager() {
  stop_click_sound();
  stop_top_level_list();
  // The library-wide style sets hold pictures of the cache: they go before it.
  stop_global_style_sets();
  stop_image_cache();
}

void set_focus_visible(bool visible) {
  if ((focus_visible != 0) == visible) return;
  focus_visible = visible ? 1 : 0;
  if (focus_object && focus_object->visible) focus_object->show();
}

static WM_DELETE_GUARD* delete_guards = nullptr;

WM_DELETE_GUARD::WM_DELETE_GUARD(WM_SCREEN_OBJECT* watched) : object(watched), deleted(false), next(delete_guards) {
  delete_guards = this;
}

WM_DELETE_GUARD::~WM_DELETE_GUARD() {
  for (WM_DELETE_GUARD** link = &delete_guards; *link; link = &(*link)->next)
    if (*link == this) {
      *link = next;
      break;
    }
}

bool list_contains(const PTRLLIST* list, const void* item) {
  for (LLIST_NODE* node = list->head; node; node = node->next)
    if (stored_pointer(node) == item) return true;
  return false;
}

WM_OBJECT_SNAPSHOT::WM_OBJECT_SNAPSHOT(const PTRLLIST* list) : count(0), items(local) {
  if (list->count > 32) {
    heap.resize((size_t)list->count);
    items = heap.data();
  }
  for (LLIST_NODE* node = list->head; node && count < list->count; node = node->next)
    items[count++] = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
}

bool objects_meet(WM_SCREEN_OBJECT* child, WM_SCREEN_OBJECT* root) {
  INT_S32 cx = child->get_x(), cy = child->get_y(), rx = root->get_x(), ry = root->get_y();
  return cx <= rx + root->get_width() && cy <= ry + root->get_height() && rx <= cx + child->get_width() &&
         ry <= cy + child->get_height();
}

// Live objects by handle; the next handle to give out.
static std::unordered_map<INT_U32, WM_SCREEN_OBJECT*> handle_table;
static INT_U32 next_handle = 1;

INT_U32 object_handle(WM_SCREEN_OBJECT* object) {
  if (!object) return 0;
  if (!object->handle) {
    object->handle = next_handle++;
    if (next_handle == 0) next_handle = 1;
    handle_table[object->handle] = object;
  }
  return object->handle;
}

WM_SCREEN_OBJECT* object_from_handle(INT_U32 handle) {
  if (!handle) return nullptr;
  auto found = handle_table.find(handle);
  return found == handle_table.end() ? nullptr : found->second;
}

void call_screen_object_created_hook(WM_SCREEN_OBJECT* object) {
  if (screen_object_created_hook) screen_object_created_hook(object, screen_object_created_user);
}

WM_SCREEN_OBJECT::WM_SCREEN_OBJECT(INT_U8 visible_, WM_EVENT_CALLBACK event_callback_, INT_U32 event_user1_,
                                   INT_U32 event_user2_)
    : x(0), y(0), width(0), height(0), state(0), visible(visible_), needs_draw(visible_), drawn(0), not_owned(0),
      colour(0), area(-1), kind(0), border_type(1), event_callback(event_callback_), click_callback(nullptr),
      click_mode(2), event_user1(event_user1_), event_user2(event_user2_), click_user1(0), click_user2(0),
      enter_was_down(0), reserved(0), focus_callback(nullptr), focus_user(0), focusable(0), handle(0),
      takes_no_input(0) {
  if (!draw_target) draw_target = get_screen_image(0);
}

WM_SCREEN_OBJECT::~WM_SCREEN_OBJECT() {
  for (WM_DELETE_GUARD* guard = delete_guards; guard; guard = guard->next)
    if (guard->object == this) guard->deleted = true;
  if (pressed_object == this) pressed_object = nullptr;
  if (scroll_wheel_target == this) scroll_wheel_target = nullptr;
  if (focus_object == this) {
    focus_object = nullptr;
    if (focus_callback) focus_callback(this, focus_user);
  }
  if (screen_object_destroyed_hook) screen_object_destroyed_hook(this, screen_object_destroyed_user);
  if (handle) handle_table.erase(handle);
  detach_all(false, false, true);
  children.clear();
  // An object deleted while still on the top-level list takes itself off, so the list never holds a
  // freed object.
  forget_top_level(this);
}

// ---------------------------------------------------------------------------------------------------
// Visibility

void WM_SCREEN_OBJECT::show() {
  visible = 1;
  needs_draw = 1;
  invalidate();
}

void WM_SCREEN_OBJECT::hide(bool top_level, bool hide_children) {
  needs_draw = 0;
  drawn = 0;
  if (!visible) return;
  if (top_level) {
    WM_OBJECT_SNAPSHOT list(top_level_list());
    for (INT_S32 i = list.count - 1; i >= 0; i--)
      if (list_contains(top_level_list(), list[i])) list[i]->hide(false, false);
  }
  if (hide_children) {
    WM_OBJECT_SNAPSHOT list(&children);
    for (INT_S32 i = list.count - 1; i >= 0; i--)
      if (list_contains(&children, list[i])) list[i]->hide(false, false);
  }
  visible = 0;
  invalidate();
}

// ---------------------------------------------------------------------------------------------------
// Points

bool WM_SCREEN_OBJECT::contains_point(INT_S16 px, INT_S16 py) {
  return visible && (rect_contains_point(px, py) || child_contains_point(px, py));
}

bool WM_SCREEN_OBJECT::rect_contains_point(INT_S16 px, INT_S16 py) {
  return visible && x <= px && px < x + get_width() && y <= py && py < y + get_height();
}

bool WM_SCREEN_OBJECT::child_contains_point(INT_S16 px, INT_S16 py) {
  for (LLIST_NODE* node = children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (child->visible && child->contains_point(px, py)) return true;
  }
  return false;
}

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::object_at(INT_S16 px, INT_S16 py) {
  if (!visible || !contains_point(px, py)) return nullptr;
  WM_SCREEN_OBJECT* found = this;
  for (LLIST_NODE* node = children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (!child->visible) continue;
    WM_SCREEN_OBJECT* deeper = child->object_at(px, py);
    if (deeper) found = deeper;
  }
  return found;
}

// ---------------------------------------------------------------------------------------------------
// Geometry and area

void WM_SCREEN_OBJECT::move_to(INT_S16 new_x, INT_S16 new_y) {
  if (new_x == x && new_y == y) return;
  for (LLIST_NODE* node = children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    child->move_to((INT_S16)(child->x - x + new_x), (INT_S16)(child->y - y + new_y));
  }
  if (visible) invalidate();
  x = new_x;
  y = new_y;
  if (visible) invalidate();
}

void WM_SCREEN_OBJECT::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  INT_S16 old_width = get_width(), old_height = get_height();
  if (new_width == old_width && new_height == old_height) return;
  if (visible) invalidate();
  if (resize_children)
    for (LLIST_NODE* node = children.head; node; node = node->next) {
      WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
      child->resize((INT_S16)(child->get_width() - old_width + new_width),
                    (INT_S16)(child->get_height() - old_height + new_height), true);
    }
  width = new_width;
  height = new_height;
  if (visible) invalidate();
}

void WM_SCREEN_OBJECT::set_area(INT_S16 new_area) {
  area = new_area;
  for (LLIST_NODE* node = children.head; node; node = node->next)
    static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node))->set_area(new_area);
}

INT_S16 WM_SCREEN_OBJECT::get_x() { return x; }
INT_S16 WM_SCREEN_OBJECT::get_y() { return y; }
INT_S16 WM_SCREEN_OBJECT::get_width() { return width; }
INT_S16 WM_SCREEN_OBJECT::get_height() { return height; }

// ---------------------------------------------------------------------------------------------------
// Children

void WM_SCREEN_OBJECT::add_child(WM_SCREEN_OBJECT* child, bool relative) {
  if (!child) return;
  if (relative) child->move_to((INT_S16)(child->x + x), (INT_S16)(child->y + y));
  child->set_area(area);
  children.cursor = nullptr;
  // No node for it: the run ends as any failed allocation ends it, rather than go on with a child
  // that is in no tree while its caller takes it as the parent's.
  if (!children.add(child)) throw std::bad_alloc();
  if (child->visible && drawn) child->invalidate();
}

void WM_SCREEN_OBJECT::remove_child(WM_SCREEN_OBJECT* child, bool delete_child, bool make_relative) {
  if (!child || !children.remove(child)) return;
  child->hide(false, false);
  if (delete_child && !child->not_owned) {
    delete child;
    return;
  }
  child->set_area(area < -1 ? (INT_S16)(-area - 2) : (INT_S16)0);
  if (make_relative) child->move_to((INT_S16)(child->x - x), (INT_S16)(child->y - y));
}

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::child_at_index(INT_S16 n) {
  if (n < 0) return nullptr;
  for (LLIST_NODE* node = children.head; node; node = node->next, n--)
    if (n == 0) return static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
  return nullptr;
}

INT_S32 WM_SCREEN_OBJECT::border_width(INT_S32 type) {
  if (type == 1) type = border_type;
  return border_width_of_type(type);
}

// Deletes an owned object, hides one that is not owned.
static void let_go(WM_SCREEN_OBJECT* object) {
  if (object->not_owned) object->hide(false, false);
  else delete object;
}

void WM_SCREEN_OBJECT::detach_all(bool top_level, bool, bool detach_children) {
  if (top_level) {
    PTRLLIST* list = top_level_list();
    WM_OBJECT_SNAPSHOT objects(list);
    for (INT_S32 i = objects.count - 1; i >= 0; i--) {
      if (!list_contains(list, objects[i])) continue;
      list->remove(objects[i]);
      let_go(objects[i]);
    }
    list->clear();
  }
  if (detach_children) {
    WM_OBJECT_SNAPSHOT objects(&children);
    for (INT_S32 i = objects.count - 1; i >= 0; i--) {
      if (!list_contains(&children, objects[i])) continue;
      children.remove(objects[i]);
      if (!top_level) top_level_list()->remove(objects[i]);
      let_go(objects[i]);
    }
    children.clear();
  }
  if (visible) invalidate();
}

// ---------------------------------------------------------------------------------------------------
// Focus and state

bool WM_SCREEN_OBJECT::is_focusable() { return focusable != 0; }

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::first_focus() { return nullptr; }

bool WM_SCREEN_OBJECT::leaving() { return false; }

bool WM_SCREEN_OBJECT::visit_focus_children(WM_FOCUS_VISIT visit, void* walk) {
  for (LLIST_NODE* node = children.head; node; node = node->next)
    if (!visit(static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node)), walk)) return false;
  return true;
}

void WM_SCREEN_OBJECT::take_focus() {
  if (!is_focusable() || focus_object == this || !visible) return;
  WM_SCREEN_OBJECT* previous = focus_object;
  focus_object = this;
  if (previous) {
    WM_DELETE_GUARD guard(this);
    if (previous->visible) previous->show();
    if (previous->focus_callback) previous->focus_callback(previous, previous->focus_user);
    if (guard.deleted) return;
  }
  show();
  if (focus_callback) focus_callback(this, focus_user);
  focus_confirmed = 1;
}

void WM_SCREEN_OBJECT::set_state(INT_U8 new_state) {
  if (visible) show();
  state = new_state;
}

// ---------------------------------------------------------------------------------------------------
// Drawing order

bool render_self(WM_SCREEN_OBJECT* object) {
  bool outermost = !render_clip_narrowed;
  if (outermost) {
    const WM_REDRAW_REGION& region = redraw_regions[current_redraw_region];
    draw_target->intersect_clip(region.left, region.top, region.right, region.bottom);
    render_clip_narrowed = 1;
  }
  if (object->meets_redraw_region()) {
    object->draw();
    object->drawn = 1;
    object->needs_draw = 0;
  } else if (object->needs_draw) {
    object->drawn = 1;
    object->needs_draw = 0;
  }
  return outermost;
}

void WM_SCREEN_OBJECT::render() {
  if (!redraw_region_active() || !visible || !draw_target) return;
  IMAGE_AREA saved = draw_target->clip;
  bool outermost = render_self(this);
  for (LLIST_NODE* node = children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (!is_top_level(child)) child->render();
  }
  if (outermost) {
    render_clip_narrowed = 0;
    draw_target->clip = saved;  // as it was, also when it was unset
  }
}

void WM_SCREEN_OBJECT::render_top_level() {
  if (!redraw_region_active()) return;
  PTRLLIST* list = top_level_list();
  WM_OBJECT_SNAPSHOT objects(list);
  for (INT_S32 i = 0; i < objects.count; i++) {
    WM_SCREEN_OBJECT* object = objects[i];
    if (!list_contains(list, object)) continue;
    if (object->area >= 0) object->set_area((INT_S16)(-(area + 2)));
    object->render();
  }
}

void WM_SCREEN_OBJECT::draw() {}

// ---------------------------------------------------------------------------------------------------
// WM_MANAGER

WM_MANAGER::WM_MANAGER(INT_U8 visible_, WM_EVENT_CALLBACK event_callback_, INT_U32 event_user1_, INT_U32 event_user2_)
    : WM_SCREEN_OBJECT(visible_, event_callback_, event_user1_, event_user2_) {
  kind = WM_KIND_MANAGER;
}

WM_MANAGER::~WM_MANAGER() {}

// A zero size is taken from screen 0 (both fields at once).
static void fill_size_from_screen(WM_SCREEN_OBJECT* object) {
  if (object->width == 0) object->width = get_screen_width(0);
  if (object->height == 0) object->height = get_screen_height(0);
}

INT_S16 WM_MANAGER::get_width() {
  fill_size_from_screen(this);
  return width;
}

INT_S16 WM_MANAGER::get_height() {
  fill_size_from_screen(this);
  return height;
}

void WM_MANAGER::resize(INT_S16 new_width, INT_S16 new_height, bool) {
  if (new_width == width && new_height == height) return;
  width = new_width;
  height = new_height;
  if (visible) show();
}

bool WM_MANAGER::is_focusable() { return false; }

void WM_MANAGER::render() {
  fill_size_from_screen(this);
  if (!draw_target) return;
  IMAGE_AREA saved = draw_target->clip;
  draw_target->intersect_clip(x, y, (INT_S16)(x + width - 1), (INT_S16)(y + height - 1));
  WM_SCREEN_OBJECT::render();
  draw_target->clip = saved;  // as it was, also when it was unset
}

void WM_MANAGER::draw() {}
