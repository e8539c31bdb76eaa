// Window-manager test helpers: the headless screen fixture and input driven pass by pass through the host's
// test seam and the page manager's update.
#include "screen_image.h"
#include "wm_test_support.h"

#include <string>
#include <vector>

#include "border.h"
#include "data_file.h"
#include "dialog.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "image_cache.h"
#include "image_file.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_object.h"
#include "test_support.h"
#include "transitions.h"

// Everything the window manager keeps between tests back to its start.
static void reset_window_manager() {
  clear_redraw_regions();
  stop_top_level_list();
  start_top_level_list();
  focus_object = nullptr;
  pressed_object = nullptr;
  focus_confirmed = 0;
  focus_visible = 0;
  modal_switch = 1;
  outermost_update = 1;
  screen_object_created_hook = nullptr;
  screen_object_destroyed_hook = nullptr;
  transition_rectangle[0] = transition_rectangle[1] = transition_rectangle[2] = transition_rectangle[3] = -1;
  // Tests click on a clock that stands still: two clicks at one place would make a double click.
  double_click_guard = 0;
}

WM_TEST_SCREEN::WM_TEST_SCREEN(INT_S16 width, INT_S16 height, INT_S16 areas, INT_U32 start_ms, INT_U32 step_ms)
    : manager(nullptr) {
  test_seam_reset();
  test_seam_set_ticks(start_ms, step_ms);
  test_seam_set_seconds(1000000, 0);
  test_seam_release_input();
  test_seam_screen(width, height);
  draw_target = &screen_image;
  reset_window_manager();
  if (areas > 0) manager = new WM_PAGE_MANAGER(areas, -1);
}

WM_TEST_SCREEN::~WM_TEST_SCREEN() {
  delete manager;
  reset_window_manager();
  test_seam_release_input();
  test_seam_reset();
}

static void empty_page(WM_PAGE_MANAGER*) {}

void start_empty_page() {
  if (!page_manager) return;
  page_manager->set_page(0, empty_page, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
}

void add_to_page(WM_SCREEN_OBJECT* object) {
  if (!page_manager) return;
  page_manager->get_root()->add_child(object, false);
  run_pass();
}

static std::vector<WM_SCREEN_OBJECT*> page_objects;

static void build_page_objects(WM_PAGE_MANAGER* manager) {
  for (WM_SCREEN_OBJECT* object : page_objects) manager->get_root()->add_child(object, false);
  page_objects.clear();
}

void show_as_page(std::initializer_list<WM_SCREEN_OBJECT*> objects, int passes) {
  if (!page_manager) return;
  page_objects = objects;
  page_manager->set_page(0, build_page_objects, nullptr, 0, nullptr, 0, 0, nullptr);
  run_passes(passes);
}

std::vector<EVENT_CALL> event_calls;
WM_RESULT event_answer = 0;

WM_RESULT record_event_call(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int value) {
  event_calls.push_back({object, user1, user2, value});
  return event_answer;
}

// Each pass asks the frame loop afresh, as the loop's passes do.
INT_S32 run_pass() {
  test_seam_pass_asked(nullptr, true);
  return page_manager ? page_manager->update(false) : 0;
}

INT_S32 pass_asked_in() {
  INT_U32 tick = 0;
  if (!test_seam_pass_asked(&tick, false)) return -1;
  INT_S32 in = (INT_S32)(tick - pass_time);
  return in < 0 ? 0 : in;
}

INT_S32 run_passes(int count) {
  INT_S32 last = 0;
  for (int i = 0; i < count; i++) {
    INT_S32 result = run_pass();
    if (result != 0) last = result;
  }
  return last;
}

void advance_ms(INT_U32 ms) { test_seam_advance_ticks(ms); }

INT_S32 move_pointer(INT_S16 x, INT_S16 y) {
  test_seam_pointer(x, y);
  return run_pass();
}

// The pass that shows a button change: after a move with a button held, the change waits for a pass
// that shows the move first. The change's result, or the move's when that is 0.
static INT_S32 pass_showing_change() {
  INT_S32 moved = MOUSE_HANDLER::pending_count > 0 ? run_pass() : 0;
  INT_S32 changed = run_pass();
  return changed != 0 ? changed : moved;
}

INT_S32 press(INT_S16 x, INT_S16 y, INT_S16 button) {
  test_seam_pointer(x, y);
  test_seam_button(button, true);
  return pass_showing_change();
}

INT_S32 release(INT_S16 x, INT_S16 y, INT_S16 button) {
  test_seam_pointer(x, y);
  test_seam_button(button, false);
  return pass_showing_change();
}

INT_S32 click(INT_S16 x, INT_S16 y, INT_S16 button) {
  INT_S32 pressed = press(x, y, button);
  INT_S32 released = release(x, y, button);
  return pressed != 0 ? pressed : released;
}

void settle_effects() {
  for (int i = 0; i < 4; i++) {
    run_pass();
    advance_ms(2000);
  }
  run_pass();
}

INT_S32 tap(WM_SCREEN_OBJECT* object) {
  INT_S16 cx = (INT_S16)(object->x + object->width / 2), cy = (INT_S16)(object->y + object->height / 2);
  move_pointer(cx, cy);
  return click(cx, cy);
}

INT_S32 key(INT_S32 virtual_key, INT_S32 modifier, INT_S32 second_modifier) {
  if (modifier >= 0) test_seam_key(modifier, true);
  if (second_modifier >= 0) test_seam_key(second_modifier, true);
  test_seam_key(virtual_key, true);
  INT_S32 down = run_pass();
  test_seam_key(virtual_key, false);
  INT_S32 up = run_pass();
  if (second_modifier >= 0) test_seam_key(second_modifier, false);
  if (modifier >= 0) test_seam_key(modifier, false);
  return down != 0 ? down : up;
}

INT_S32 type_text(const char* text) {
  test_seam_type(text);
  return run_pass();
}

INT_U32 screen_pixel(INT_S16 x, INT_S16 y) { return *screen_image.pixel_at(x, y); }

bool save_solid_picture(FOLDER* folder, const char* name, INT_S16 width, INT_S16 height, INT_U32 colour) {
  IMAGE image(width, height);
  COLOUR fill = colour;
  image.clear(&fill, 1);
  DATA_FILE* file = open_data_file(folder, (std::string(name) + ".png").c_str(), FILE_MODE_WRITE, 0, false);
  if (!file) return false;
  bool saved = save_png(&image, file);
  close_data_file(&file);
  return saved;
}

void PICTURE_FOLDER_TEST::SetUp() {
  folder = scratch_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  folder.get_portable_text(path, nullptr);
  image_cache->clear();
}

void PICTURE_FOLDER_TEST::TearDown() { image_cache->clear(); }
