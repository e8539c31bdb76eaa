// The page manager: the one object that drives the window manager for an application. It divides the
// screen into display areas, each with a root WM_MANAGER under which one page of objects is built at a
// time from a WM_PAGE record of plain functions, keeps each area's page history and pending page, one
// background layer per display, the simulated click of a hot key and the pass's pointer-shape request.
// Its per-pass update, the result codes and the focus moves are in page_update.cpp; transitions in
// transitions.h.
#pragma once
#include "types.h"
#include "image.h"
#include "screen_object.h"

class WM_PAGE_MANAGER;

typedef void (*WM_PAGE_BUILD)(WM_PAGE_MANAGER* manager);
typedef void (*WM_PAGE_CLOSE)(INT_U32* user_value);
typedef WM_RESULT (*WM_PAGE_PER_PASS)();
typedef bool (*WM_PAGE_COMPARE)(INT_U32 a, INT_U32 b, INT_U32 unused1, INT_U32 unused2);
typedef void (*WM_PAGE_REFRESH)();

// One page record, copied field by field; a record without build is empty.
struct WM_PAGE {
  WM_PAGE_BUILD build;
  WM_PAGE_CLOSE close;
  WM_PAGE_PER_PASS per_pass;
  WM_PAGE_COMPARE compare;
  WM_PAGE_REFRESH refresh;
  INT_U32 user_value;
  INT_U8 keep_in_history;  // the next page applied here is pushed after this one instead of replacing it
  INT_U32 time_stamp;      // pages with equal stamps count as one step of going back and forward
};

// Every function null, user value 0, keep_in_history 0 and a fresh time stamp.
void clear_page(WM_PAGE* page);
// The same functions and stamp, and equal user values (by compare when set).
bool page_equal(const WM_PAGE* a, const WM_PAGE* b);

// The pointer may stray this many pixels between the two clicks of a double click.
const INT_S32 DOUBLE_CLICK_DISTANCE = 4;

// The left button's clicks as the page manager's passes showed them, for the second click of a double
// click: it acts only on the object that took the first.
struct WM_CLICK_MEMORY {
  INT_U8 held = 0;           // the button down in the last pass (as it really was)
  INT_U32 pressed_on = 0;    // the handle of the object that took the press shown last
  INT_U32 clicked_on = 0;    // the object pressed and released on by the last click that acted, 0 none
  INT_U32 leaves = 0;        // the pointer's leaves of the window seen by the last pass
  INT_U32 release_time = 0;  // time (MOUSE_HANDLER::change_time) and place of the last release
  INT_S16 release_x = 0, release_y = 0;
  INT_U8 withheld = 0;       // the press shown is withheld: the objects see the button up until its release
};

const int PAGE_HISTORY_SIZE = 20;
const int DISPLAY_LAYER_COUNT = 64;

struct WM_AREA {
  WM_MANAGER root;                   // root of the area's object tree; its area number is the index
  WM_PAGE pages[PAGE_HISTORY_SIZE];  // history; index 0 is the oldest
  WM_PAGE pending;                   // asked for by set_page, not yet applied (no build = none)
  INT_S32 current;                   // index of the shown page
  INT_S32 count;                     // records in use (the current one counts even while empty)
  INT_S32 requested;                 // history record asked for; -1 = none
  INT_U8 reset_requested;            // the next apply_page empties the area and its history
  INT_U8 redraw_requested;           // the next apply_page without a pending page rebuilds and redraws
  INT_U8 rebuild_requested;          // the next update rebuilds the current page

  WM_AREA();
};

class WM_PAGE_MANAGER {
public:
  WM_AREA* current_area;
  IMAGE display_layers[DISPLAY_LAYER_COUNT];  // one background per display, drawn behind its areas
  WM_AREA* areas;                             // owned
  INT_S16 area_count;
  INT_S16 current_area_index;
  INT_U8 first_page_from_black;  // an area's first page comes in with 12 instead of 10
  INT_U32 transition_ms;         // 700
  INT_S16 click_x;               // simulated click; -1 = none
  INT_S16 click_y;
  INT_U8 click_button_down;
  INT_S16 display_width;         // display size seen by the last update; 0 = not yet read
  INT_S16 display_height;
  INT_S8 cursor_request;         // pointer shape asked for during the pass; -1 = leave it
  WM_CLICK_MEMORY clicks;

  // At least one area (error 0x69) and only one page manager (0x6A); installs the exit hook. A key
  // buffer size of -1 leaves the typed-character queue as it is.
  WM_PAGE_MANAGER(INT_S16 area_count, INT_S32 key_buffer_size);
  // Resets and destroys the areas; clears page_manager and the exit hook when they are its own.
  ~WM_PAGE_MANAGER();
  WM_PAGE_MANAGER(const WM_PAGE_MANAGER&) = delete;
  WM_PAGE_MANAGER& operator=(const WM_PAGE_MANAGER&) = delete;

  // Makes the area current (nothing out of range).
  void select_area(INT_S32 area);
  // The root of the current area.
  WM_MANAGER* get_root();

  // Stores the pending page of an area; the next update applies it.
  void set_page(INT_S32 area, WM_PAGE_BUILD build, WM_PAGE_CLOSE close, INT_U32 user_value, WM_PAGE_PER_PASS per_pass,
                INT_U8 keep_in_history, INT_U32 time_stamp, WM_PAGE_REFRESH refresh);
  // Applies the pending page or the requested history record of an area (the update and transitions).
  void apply_page(INT_S32 area);
  // The exit step: keeps the last picture in the layers, closes every area's page, deletes the
  // top-level objects.
  void close_pages();
  // The deepest object under the point over all areas, from the last area; a root only when nothing else.
  WM_SCREEN_OBJECT* object_at(INT_S16 px, INT_S16 py);
  // Every dialog on the top-level list closes with its effects (at once when immediately).
  void close_all_dialogs(bool immediately);

  // Page-stack operations (area -1 = the current area; nothing for a bad area or index).
  void reset_area(WM_AREA* area);
  void keep_current_page(INT_S32 area);
  void select_page(INT_S32 index, INT_S32 area);
  void remove_page(INT_S32 index, INT_S32 area);
  void go_back(INT_S32 area);
  void go_forward(INT_S32 area);
  bool can_go_back(INT_S32 area);
  bool can_go_forward(INT_S32 area);
  INT_U32 page_value(INT_S32 index, INT_S32 area);
  bool has_page(INT_U32 user_value);

  // One pass (page_update.cpp): the result after the page manager acted on it; with present the screen
  // image is presented at the end.
  WM_RESULT update(bool present);
  // Draws every pending redraw region and empties the list.
  void redraw();
  // Focus moves: Tab, Shift+Tab, Ctrl+Tab, Ctrl+Shift+Tab; true when an object took the focus.
  bool focus_next();
  bool focus_previous();
  bool focus_next_area();
  bool focus_previous_area();
  void collect_focus_candidates(WM_SCREEN_OBJECT* object, bool* seen, WM_SCREEN_OBJECT** first,
                                WM_SCREEN_OBJECT** last, WM_SCREEN_OBJECT** previous, WM_SCREEN_OBJECT** next);
  // Applies every area's page starting with first_area, then draws every region.
  void draw_all(INT_S32 first_area);

  // Internal steps shared by the update and the transitions.
  WM_AREA* area_at(INT_S32 area);  // null out of range; -1 = the current area
  void clear_root(WM_AREA* area, bool top_level);
  void rebuild_area(WM_AREA* area, bool top_level);
  void apply_all_pages(INT_S32 first_area);
};

// The application's one page manager; null before its constructor and after its destructor.
extern WM_PAGE_MANAGER* page_manager;
// The exit hook the constructor installs: close_pages of page_manager.
void page_manager_exit_hook();
// The page timer: interval in ms (0 = every pass) and the tick of the last tick.
extern INT_S16 page_timer_interval;
extern INT_U32 page_timer_last;
// Switches of the update, all on: pointer shapes asked of the host, the busy pointer while pages are
// built, following the display size, and the second click of a double click acting only on the object
// that took the first (WM_CLICK_MEMORY).
extern INT_U8 cursor_management;
extern INT_U8 busy_pointer;
extern INT_U8 display_size_watch;
extern INT_U8 double_click_guard;
// The work area for pop-ups from four settings (-1 = the screen's edge).
extern INT_S16 work_area_settings[4];
void get_work_area(INT_S16* left, INT_S16* top, INT_S16* right, INT_S16* bottom);
