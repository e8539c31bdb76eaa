// The page manager and the screen-object base: areas with their root objects and pages, top-level
// objects, drawing into the screen image and the exit hook that closes every page.
#include "page_manager.h"

#include "host.h"

WM_PAGE_MANAGER* page_manager = nullptr;

// ---------------------------------------------------------------------------------------------------
// Screen objects

WM_SCREEN_OBJECT::WM_SCREEN_OBJECT(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_)
    : x(x_), y(y_), width(width_), height(height_), parent(nullptr) {}

WM_SCREEN_OBJECT::~WM_SCREEN_OBJECT() {}

void WM_SCREEN_OBJECT::resize(INT_S16 new_width, INT_S16 new_height, INT_U8) {
  width = new_width;
  height = new_height;
}

void WM_SCREEN_OBJECT::draw(IMAGE*) {}

void WM_SCREEN_OBJECT::add_top_level(WM_MANAGER* root, WM_SCREEN_OBJECT* object, INT_S32) {
  if (!root || !object) return;
  object->parent = root;
  root->top_level.push_back(object);
  invalidate_display(root);
}

void WM_SCREEN_OBJECT::draw_now(WM_SCREEN_OBJECT* object) {
  if (!object || !screen_image.pixels) return;
  screen_image.set_clip(0, 0, (INT_S16)(screen_image.width - 1), (INT_S16)(screen_image.height - 1));
  object->draw(&screen_image);
}

WM_MANAGER::WM_MANAGER(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_)
    : WM_SCREEN_OBJECT(x_, y_, width_, height_) {}

WM_MANAGER::~WM_MANAGER() {
  close_all();
}

void WM_MANAGER::resize(INT_S16 new_width, INT_S16 new_height, INT_U8 children_too) {
  WM_SCREEN_OBJECT::resize(new_width, new_height, children_too);
  if (!children_too) return;
  for (WM_SCREEN_OBJECT* child : children) child->resize(new_width, new_height, 1);
}

void WM_MANAGER::draw(IMAGE* target) {
  for (WM_SCREEN_OBJECT* child : children) child->draw(target);
  for (WM_SCREEN_OBJECT* object : top_level) object->draw(target);
}

bool WM_MANAGER::close_top_level(WM_SCREEN_OBJECT* object) {
  for (size_t i = 0; i < top_level.size(); i++) {
    if (top_level[i] != object) continue;
    top_level.erase(top_level.begin() + (long)i);
    delete object;
    invalidate_display(this);
    return true;
  }
  return false;
}

void WM_MANAGER::close_all() {
  for (WM_SCREEN_OBJECT* object : top_level) delete object;
  top_level.clear();
  for (WM_SCREEN_OBJECT* child : children) delete child;
  children.clear();
}

// ---------------------------------------------------------------------------------------------------
// The page manager

static void close_every_page() {
  if (page_manager) page_manager->close_pages();
}

WM_PAGE_MANAGER::WM_PAGE_MANAGER(INT_S16 areas, INT_S32 key_buffer)
    : area_count(areas < 1 ? 1 : areas), current_area(0), page_change(0), display_changed(0),
      key_buffer_size(key_buffer) {
  for (INT_S16 i = 0; i < area_count; i++) {
    roots.push_back(new WM_MANAGER(0, 0, 0, 0));
    pages.push_back(nullptr);
  }
  if (key_buffer_size > 0) {
    KEYBOARD_HANDLER keyboard;
    keyboard.set_buffer_size(key_buffer_size);
  }
  page_manager = this;
  exit_hook = close_every_page;
}

WM_PAGE_MANAGER::~WM_PAGE_MANAGER() {
  close_pages();
  for (WM_MANAGER* root : roots) delete root;
  roots.clear();
  if (page_manager == this) {
    page_manager = nullptr;
    if (exit_hook == close_every_page) exit_hook = nullptr;
  }
}

WM_MANAGER* WM_PAGE_MANAGER::get_root() {
  return roots[(size_t)current_area];
}

void WM_PAGE_MANAGER::set_page(WM_SCREEN_OBJECT* page) {
  WM_SCREEN_OBJECT*& slot = pages[(size_t)current_area];
  if (slot && slot != page) delete slot;
  slot = page;
  if (page) page->parent = get_root();
  display_changed = 1;
}

void WM_PAGE_MANAGER::close_pages() {
  for (size_t i = 0; i < pages.size(); i++) {
    delete pages[i];
    pages[i] = nullptr;
    roots[i]->close_all();
  }
}

WM_RESULT WM_PAGE_MANAGER::update() {
  bool any_page = false;
  for (WM_SCREEN_OBJECT* page : pages) any_page = any_page || page;
  if (!any_page) return WM_RESULT_LAST_PAGE_CLOSED;
  if (display_changed && screen_image.pixels) {
    display_changed = 0;
    screen_image.set_clip(0, 0, (INT_S16)(screen_image.width - 1), (INT_S16)(screen_image.height - 1));
    if (first_layer.pixels) first_layer.blit_to(0, 0, &screen_image, BLIT_COPY);
    for (size_t i = 0; i < pages.size(); i++) {
      if (pages[i]) pages[i]->draw(&screen_image);
      roots[i]->draw(&screen_image);
    }
    screen_image.extend_dirty_area(0, 0, (INT_S16)(screen_image.width - 1), (INT_S16)(screen_image.height - 1));
  }
  return WM_RESULT_NONE;
}

void invalidate_display(WM_SCREEN_OBJECT*) {
  if (page_manager) page_manager->display_changed = 1;
}
