// The page manager: its construction and end, the display areas with their page history and pending
// page, applying pages, the exit step, the object under a point, closing every dialog, the page-stack
// operations and the work area for pop-ups.
#include "page_manager.h"

#include "dialog.h"
#include "errors.h"
#include "host.h"
#include "random.h"
#include "redraw.h"
#include "screen_image.h"
#include "wm_private.h"

WM_PAGE_MANAGER* page_manager = nullptr;
INT_S16 page_timer_interval = 0;
INT_U32 page_timer_last = 0;
INT_U8 cursor_management = 1;
INT_U8 busy_pointer = 1;
INT_U8 display_size_watch = 1;
INT_U8 double_click_guard = 1;
INT_S16 work_area_settings[4] = {-1, -1, -1, -1};

void clear_page(WM_PAGE* page) {
  page->build = nullptr;
  page->close = nullptr;
  page->per_pass = nullptr;
  page->compare = nullptr;
  page->refresh = nullptr;
  page->user_value = 0;
  page->keep_in_history = 0;
  page->time_stamp = unique_time_stamp();
}

bool page_equal(const WM_PAGE* a, const WM_PAGE* b) {
  if (a->build != b->build || a->close != b->close || a->per_pass != b->per_pass || a->compare != b->compare ||
      a->refresh != b->refresh || a->time_stamp != b->time_stamp)
    return false;
  return a->compare ? a->compare(a->user_value, b->user_value, 0, 0) : a->user_value == b->user_value;
}

// The record's close function with the address of its user value, then the record cleared.
static void close_record(WM_PAGE* page) {
  if (page->close) page->close(&page->user_value);
  clear_page(page);
}

static void refresh_current(WM_AREA* area) {
  WM_PAGE& page = area->pages[area->current];
  if (page.refresh) page.refresh();
}

WM_AREA::WM_AREA()
    : root(1, nullptr, 0, 0), current(0), count(1), requested(-1), reset_requested(0), redraw_requested(0),
      rebuild_requested(0) {
  for (WM_PAGE& page : pages) clear_page(&page);
  clear_page(&pending);
}

// ---------------------------------------------------------------------------------------------------
// Construction and end

WM_PAGE_MANAGER::WM_PAGE_MANAGER(INT_S16 count, INT_S32 key_buffer_size)
    : current_area(nullptr), areas(nullptr), area_count(0), current_area_index(0), first_page_from_black(0),
      transition_ms(700), click_x(-1), click_y(-1), click_button_down(0), display_width(0), display_height(0),
      cursor_request(-1) {
  {
    KEYBOARD_HANDLER keyboard;  // makes the queue with 10 places when there is none
    keyboard.set_buffer_size(key_buffer_size);
  }
  if (count < 1)
    raise_error(0x69);
  if (page_manager) raise_error(0x6A);
  areas = new (std::nothrow) WM_AREA[(size_t)count];
  if (!areas) raise_error(0x6B);
  area_count = count;
  for (INT_S16 i = 0; i < area_count; i++) {
    WM_AREA& area = areas[i];
    call_screen_object_created_hook(&area.root);
    area.root.set_area(i);
    area.root.invalidate();
  }
  page_manager = this;
  exit_hook = page_manager_exit_hook;
  current_area = &areas[0];
  current_area_index = 0;
}

WM_PAGE_MANAGER::~WM_PAGE_MANAGER() {
  for (INT_S16 i = 0; i < area_count; i++) reset_area(&areas[i]);
  for (INT_S16 i = (INT_S16)(area_count - 1); i >= 0; i--) {
    reset_area(&areas[i]);
    areas[i].root.detach_all(true, false, true);
  }
  delete[] areas;
  areas = nullptr;
  area_count = 0;
  current_area = nullptr;
  // The global and the exit hook never point at a page manager that is gone.
  if (page_manager == this) {
    page_manager = nullptr;
    if (exit_hook == page_manager_exit_hook) exit_hook = nullptr;
  }
}

void page_manager_exit_hook() {
  if (page_manager) page_manager->close_pages();
}

WM_AREA* WM_PAGE_MANAGER::area_at(INT_S32 area) {
  if (area == -1) return current_area;
  if (area < 0 || area >= area_count) return nullptr;
  return &areas[area];
}

void WM_PAGE_MANAGER::select_area(INT_S32 area) {
  if (area < 0 || area >= area_count) return;
  current_area = &areas[area];
  current_area_index = (INT_S16)area;
}

WM_MANAGER* WM_PAGE_MANAGER::get_root() { return current_area ? &current_area->root : nullptr; }

void WM_PAGE_MANAGER::clear_root(WM_AREA* area, bool top_level) { area->root.detach_all(top_level, false, true); }

// ---------------------------------------------------------------------------------------------------
// Pages

void WM_PAGE_MANAGER::set_page(INT_S32 area, WM_PAGE_BUILD build, WM_PAGE_CLOSE close, INT_U32 user_value,
                               WM_PAGE_PER_PASS per_pass, INT_U8 keep_in_history, INT_U32 time_stamp,
                               WM_PAGE_REFRESH refresh) {
  if (!build || area < 0 || area >= area_count) return;
  select_area(area);
  WM_AREA* a = current_area;
  if (a->pending.user_value != 0) close_record(&a->pending);
  a->pending.build = build;
  a->pending.close = close;
  a->pending.per_pass = per_pass;
  a->pending.user_value = user_value;
  a->pending.keep_in_history = keep_in_history;
  a->pending.refresh = refresh;
  if (a->pending.time_stamp != 0) a->pending.time_stamp = time_stamp;
  a->requested = -1;
}

void WM_PAGE_MANAGER::reset_area(WM_AREA* area) {
  if (!area) return;
  refresh_current(area);
  clear_root(area, false);
  for (WM_PAGE& page : area->pages) close_record(&page);
  close_record(&area->pending);
  area->current = 0;
  area->count = 1;
  area->requested = -1;
  area->reset_requested = area->redraw_requested = area->rebuild_requested = 0;
  area->root.invalidate();
}

// Builds the current page into the emptied root and gives the focus to the first object when none has it.
// Characters typed before the page came are no one's: they are dropped; the page starts at rest, the
// focus not shown.
static void build_current(WM_PAGE_MANAGER* manager, WM_AREA* area) {
  KEYBOARD_HANDLER::empty_queue();
  set_focus_visible(false);
  WM_PAGE& page = area->pages[area->current];
  if (page.build) page.build(manager);
  if (!focus_object) manager->focus_next();
}

void WM_PAGE_MANAGER::rebuild_area(WM_AREA* area, bool top_level) {
  refresh_current(area);
  clear_root(area, top_level);
  build_current(this, area);
}

void WM_PAGE_MANAGER::apply_page(INT_S32 index) {
  WM_AREA* area = area_at(index);
  if (!area || index < 0) return;
  bool was_visible = area->root.visible != 0;
  select_area(index);

  if (area->reset_requested) {
    refresh_current(area);
    clear_root(area, false);
    area->root.invalidate();
    for (WM_PAGE& page : area->pages) close_record(&page);
    close_record(&area->pending);
    area->reset_requested = area->redraw_requested = area->rebuild_requested = 0;
    area->current = 0;
    area->count = 1;
    area->requested = -1;
    return;
  }
  if (!area->pending.build && area->requested == -1) {
    if (area->redraw_requested && area->root.visible) {
      area->redraw_requested = 0;
      refresh_current(area);
      clear_root(area, false);
      area->root.invalidate();
      build_current(this, area);
      redraw();
    }
    return;
  }

  area->root.hide(false, true);
  refresh_current(area);
  clear_root(area, false);
  if (area->requested == -1) {
    WM_PAGE* current = &area->pages[area->current];
    if (page_equal(current, &area->pending)) current->keep_in_history = 0;
    if (!current->keep_in_history) {
      close_record(current);
    } else {
      area->current++;
      if (area->current >= PAGE_HISTORY_SIZE) {
        close_record(&area->pages[0]);
        for (int i = 1; i < PAGE_HISTORY_SIZE; i++) area->pages[i - 1] = area->pages[i];
        clear_page(&area->pages[PAGE_HISTORY_SIZE - 1]);
        area->current = PAGE_HISTORY_SIZE - 1;
        area->count = PAGE_HISTORY_SIZE;
      }
    }
    for (INT_S32 i = area->current + 1; i < area->count; i++) close_record(&area->pages[i]);
    area->count = area->current + 1;
    area->pages[area->current] = area->pending;
  } else {
    // The dropped record leaves the history: the later ones move down, so the list stays whole and the
    // current index stays below the count.
    INT_S32 requested = area->requested;
    WM_PAGE* current = &area->pages[area->current];
    if (!current->keep_in_history && area->current != requested) {
      close_record(current);
      for (INT_S32 i = area->current + 1; i < area->count; i++) area->pages[i - 1] = area->pages[i];
      clear_page(&area->pages[area->count - 1]);
      if (requested > area->current) requested--;
      area->count--;
    }
    area->current = requested < area->count ? requested : area->count - 1;
  }
  clear_page(&area->pending);
  area->requested = -1;

  // The root's visibility comes back before the page is built, so the focus can go to its first
  // focusable object (a hidden root offers none).
  area->root.visible = was_visible ? 1 : 0;
  area->root.needs_draw = was_visible ? 1 : 0;
  build_current(this, area);
  area->root.invalidate();
  area->redraw_requested = area->rebuild_requested = 0;
}

void WM_PAGE_MANAGER::close_pages() {
  IMAGE* screen = get_screen_image(0);
  if (screen && screen->pixels) screen->set_clip(0, 0, (INT_S16)(screen->width - 1), (INT_S16)(screen->height - 1));
  for (INT_S16 display = 0; display < DISPLAY_LAYER_COUNT; display++) {
    IMAGE* image = get_screen_image(display);
    if (!is_screen_open(display) || !image || !image->pixels) continue;
    IMAGE& layer = display_layers[display];
    layer.set_size(image->width, image->height);
    layer.set_clip(0, 0, (INT_S16)(image->width - 1), (INT_S16)(image->height - 1));
    layer.grab(0, 0, image, BLIT_COPY);
  }
  for (INT_S16 i = 0; i < area_count; i++) {
    WM_AREA* area = &areas[i];
    select_area(i);
    area->root.hide(false, true);
    refresh_current(area);
    clear_root(area, false);
    close_record(&area->pages[area->current]);
  }
  if (area_count > 0) areas[0].root.detach_all(true, false, false);
}

WM_SCREEN_OBJECT* WM_PAGE_MANAGER::object_at(INT_S16 px, INT_S16 py) {
  WM_SCREEN_OBJECT* first_root = nullptr;
  for (INT_S16 i = (INT_S16)(area_count - 1); i >= 0; i--) {
    WM_SCREEN_OBJECT* root = &areas[i].root;
    WM_SCREEN_OBJECT* found = root->object_at(px, py);
    if (found && found != root) return found;
    if (found && !first_root) first_root = found;
  }
  return first_root;
}

void WM_PAGE_MANAGER::close_all_dialogs(bool immediately) {
  PTRLLIST* list = top_level_list();
  WM_OBJECT_SNAPSHOT objects(list);
  for (INT_S32 i = objects.count - 1; i >= 0; i--) {
    WM_SCREEN_OBJECT* object = objects[i];
    if (!list_contains(list, object) || !(object->kind & WM_KIND_DIALOG)) continue;
    static_cast<WM_DIALOG*>(object)->close_with_effects(true, immediately);
  }
}

// ---------------------------------------------------------------------------------------------------
// Page-stack operations

void WM_PAGE_MANAGER::keep_current_page(INT_S32 index) {
  WM_AREA* area = area_at(index);
  if (!area) return;
  // One record stays: the current page at index 0, never the same page at two places.
  for (INT_S32 i = 0; i < area->count; i++)
    if (i != area->current) close_record(&area->pages[i]);
  if (area->current != 0) {
    area->pages[0] = area->pages[area->current];
    clear_page(&area->pages[area->current]);
  }
  area->current = 0;
  area->count = 1;
}

void WM_PAGE_MANAGER::select_page(INT_S32 index, INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area || index < 0 || index >= area->count) return;
  if (index == area->current) {
    area->redraw_requested = 1;
    return;
  }
  select_area((INT_S32)(area - areas));
  area->requested = index;
  clear_page(&area->pending);
}

void WM_PAGE_MANAGER::remove_page(INT_S32 index, INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area || index < 0 || index >= area->count || index == area->current) return;
  close_record(&area->pages[index]);
  for (INT_S32 i = index + 1; i < area->count; i++) area->pages[i - 1] = area->pages[i];
  clear_page(&area->pages[area->count - 1]);
  area->count--;
  if (area->current > index) area->current--;
}

// The first record from the current one in the direction whose stamp differs from the current page's.
static INT_S32 step_record(WM_AREA* area, INT_S32 direction) {
  INT_U32 stamp = area->pages[area->current].time_stamp;
  for (INT_S32 i = area->current + direction; i >= 0 && i < area->count; i += direction)
    if (area->pages[i].time_stamp != stamp) return i;
  return -1;
}

void WM_PAGE_MANAGER::go_back(INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area) return;
  INT_S32 index = step_record(area, -1);
  if (index >= 0) select_page(index, (INT_S32)(area - areas));
}

void WM_PAGE_MANAGER::go_forward(INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area) return;
  INT_S32 index = step_record(area, 1);
  if (index >= 0) select_page(index, (INT_S32)(area - areas));
}

bool WM_PAGE_MANAGER::can_go_back(INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area) return false;
  INT_S32 index = step_record(area, -1);
  return index >= 0 && area->pages[index].build;
}

bool WM_PAGE_MANAGER::can_go_forward(INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area) return false;
  INT_S32 index = step_record(area, 1);
  return index >= 0 && area->pages[index].build;
}

INT_U32 WM_PAGE_MANAGER::page_value(INT_S32 index, INT_S32 area_index) {
  WM_AREA* area = area_at(area_index);
  if (!area || index < 0 || index >= area->count) return 0;
  return area->pages[index].user_value;
}

bool WM_PAGE_MANAGER::has_page(INT_U32 user_value) {
  for (INT_S16 i = 0; i < area_count; i++) {
    WM_AREA& area = areas[i];
    if (area.pending.user_value == user_value) return true;
    for (INT_S32 k = 0; k < area.count; k++)
      if (area.pages[k].user_value == user_value) return true;
  }
  return false;
}

void get_work_area(INT_S16* left, INT_S16* top, INT_S16* right, INT_S16* bottom) {
  INT_S16 l = work_area_settings[0], t = work_area_settings[1], r = work_area_settings[2], b = work_area_settings[3];
  INT_S16 screen = (INT_S16)screen_number(l, r);
  if (left) *left = l < 0 ? (INT_S16)0 : l;
  if (top) *top = t < 0 ? (INT_S16)0 : t;
  if (right) *right = r >= 0 ? r : (INT_S16)(get_screen_width(screen) - 1);
  if (bottom) *bottom = b >= 0 ? b : (INT_S16)(get_screen_height(screen) - 1);
}
