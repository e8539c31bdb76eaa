// Screen objects: the base of everything the window manager shows. Objects form trees (a parent owns the
// ordered list of its children) with absolute rectangles; dialogs and pop-ups sit on the top-level list
// instead. The record, its 25 virtual operations, the module's globals and the plain container WM_MANAGER.
#pragma once
#include "types.h"
#include "colour.h"
#include "llist.h"

class IMAGE;
class WM_SCREEN_OBJECT;

// The integer result of input handling, updates and callbacks that the page manager acts on; 0 = nothing.
typedef INT_S32 WM_RESULT;

// WM_RESULT codes the page manager acts on (WM_PAGE_MANAGER::update, page_manager.h).
enum : WM_RESULT {
  WM_RESULT_NONE = 0,
  WM_RESULT_KEEP_FOCUS = 1,
  WM_RESULT_CLOSE_DIALOG = 2,
  WM_RESULT_CLOSE_ALL_DIALOGS = 3,
  WM_RESULT_REMOVE = 4,
  WM_RESULT_REBUILD = 5,
  WM_RESULT_REBUILD_ALL = 6,
  WM_RESULT_REBUILD_CLEAR = 7,
  WM_RESULT_REBUILD_ALL_CLEAR = 8,
  WM_RESULT_REMOVE_TOP_LEVEL = 9,
  WM_RESULT_APPLY_PAGES = 10,
  WM_RESULT_CROSS_FADE = 11,
  WM_RESULT_FADE_FROM_BLACK = 12,
  WM_RESULT_FADE_FROM_GREY = 13,
  WM_RESULT_BLACK_TRANSITION = 14,
  WM_RESULT_GREY_TRANSITION = 15,
  WM_RESULT_FADE_TO_BLACK = 16,
  WM_RESULT_FADE_TO_GREY = 17,
  WM_RESULT_SLIDE_FIRST = 18,  // 18 to 32: direction (code - 18) mod 5, kind (code - 18) div 5
  WM_RESULT_SLIDE_LAST = 32,
  // The application's own: the end of the program, passed up to the frame loop.
  WM_RESULT_LAST_PAGE_CLOSED = -1
};


typedef WM_RESULT (*WM_EVENT_CALLBACK)(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int value);
// phase 0 = press (or the release in click mode 1), 1 = release in click mode 2.
typedef WM_RESULT (*WM_CLICK_CALLBACK)(WM_SCREEN_OBJECT* object, INT_U32 user1, INT_U32 user2, int phase);
typedef void (*WM_FOCUS_CALLBACK)(WM_SCREEN_OBJECT* object, INT_U32 user);
// The screen-object created and destroyed hooks.
typedef void (*WM_OBJECT_HOOK)(WM_SCREEN_OBJECT* object, INT_U32 user);
// Called by visit_focus_children with each object the walk reaches (walk: the walker's own state);
// false ends the walk.
typedef bool (*WM_FOCUS_VISIT)(WM_SCREEN_OBJECT* object, void* walk);

// Kind bits of WM_SCREEN_OBJECT::kind (one per class; containers tell their children apart by them).
enum : INT_U32 {
  WM_KIND_MANAGER = 0x1,
  WM_KIND_BUTTON = 0x2,
  WM_KIND_MENU = 0x4,
  WM_KIND_IMAGE = 0x8,
  WM_KIND_SCRIPT = 0x10,
  WM_KIND_DIALOG = 0x20,
  WM_KIND_ABOUT = 0x40,
  WM_KIND_SCROLLBAR = 0x80,
  WM_KIND_FILE_SELECT = 0x200,
  WM_KIND_GRID = 0x1000,
  WM_KIND_LIST_BOX = 0x2000,
  WM_KIND_CONFIRM = 0x4000,
  WM_KIND_TEXT_EDIT = 0x8000,
  WM_KIND_TEXT_WIN = 0x10000,
  WM_KIND_PROGRESS_BAR = 0x20000,
  WM_KIND_FLOATING_MENU = 0x400000,
  WM_KIND_KEYBOARD = 0x800000,
  WM_KIND_KEYBOARD_DIALOG = 0x1000000,
  WM_KIND_TEXT_EDIT_DIALOG = 0x4000000,
  WM_KIND_CHECK_BOX = 0x8000000
};

class WM_SCREEN_OBJECT {
public:
  INT_S16 x;              // absolute left edge
  INT_S16 y;              // absolute top edge
  INT_S16 width;
  INT_S16 height;
  INT_U8 state;           // the widget's state byte (set_state)
  INT_U8 visible;         // hidden objects get no input, no update and no drawing
  INT_U8 needs_draw;      // set by show, cleared by render
  INT_U8 drawn;           // rendered since it was last hidden
  INT_U8 not_owned;       // a parent or the top-level list never deletes it; it is hidden instead
  COLOUR colour;          // base colour; drives the border colours
  PTRLLIST children;      // ordered children, owned; list order is drawing order
  INT_S16 area;           // -1 none, 0.. the page-manager area, below -1 on the top-level list for -(area + 2)
  INT_U32 kind;           // WM_KIND_ bits
  INT_S32 border_type;    // border shading type; 1 = the default type
  WM_EVENT_CALLBACK event_callback;
  WM_CLICK_CALLBACK click_callback;
  INT_U32 click_mode;     // 0 callback on press, 1 on release, 2 on both
  INT_U32 event_user1;
  INT_U32 event_user2;
  INT_U32 click_user1;
  INT_U32 click_user2;
  INT_U8 enter_was_down;  // activation key state seen at the previous input pass
  INT_U32 reserved;
  WM_FOCUS_CALLBACK focus_callback;
  INT_U32 focus_user;
  INT_U8 focusable;
  INT_U32 handle;         // the object's user-value handle (object_handle); 0 until one is asked for
  INT_U8 takes_no_input;  // on the top-level list it never takes a pass's input (a button's hint)

  WM_SCREEN_OBJECT(INT_U8 visible, WM_EVENT_CALLBACK event_callback, INT_U32 event_user1, INT_U32 event_user2);
  WM_SCREEN_OBJECT(const WM_SCREEN_OBJECT&) = delete;
  WM_SCREEN_OBJECT& operator=(const WM_SCREEN_OBJECT&) = delete;

  // The 25 virtual operations in their fixed order; derived classes keep it and append their own.
  virtual ~WM_SCREEN_OBJECT();
  virtual void show();
  virtual void hide(bool top_level, bool children);
  virtual WM_RESULT process();
  virtual WM_RESULT update(bool top_level);
  virtual bool contains_point(INT_S16 px, INT_S16 py);
  virtual bool rect_contains_point(INT_S16 px, INT_S16 py);
  virtual bool child_contains_point(INT_S16 px, INT_S16 py);
  virtual WM_SCREEN_OBJECT* object_at(INT_S16 px, INT_S16 py);
  virtual void move_to(INT_S16 new_x, INT_S16 new_y);
  virtual void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children);
  virtual void set_area(INT_S16 new_area);
  // A list node that cannot be allocated throws std::bad_alloc as a failed new does: the child is then
  // in no tree and still the caller's (the same holds for add_top_level).
  virtual void add_child(WM_SCREEN_OBJECT* child, bool relative);
  virtual void remove_child(WM_SCREEN_OBJECT* child, bool delete_child, bool make_relative);
  virtual bool is_focusable();
  virtual void take_focus();
  virtual void set_state(INT_U8 new_state);
  virtual INT_S16 get_x();
  virtual INT_S16 get_y();
  virtual INT_S16 get_width();
  virtual INT_S16 get_height();
  virtual void render();
  virtual void render_top_level();
  virtual void draw();
  // The object inside this one that takes the keyboard focus when this one opens on the top-level list;
  // null (the base) leaves the focus where it is, and the page manager's walk then finds the first in
  // reading order.
  virtual WM_SCREEN_OBJECT* first_focus();
  // The objects inside this one that the focus walk (Tab) goes on to, in reading order: visit is called
  // with each until it answers false; false when it did. The base visits its children in list order; a
  // grid adds the cells of all its rows.
  virtual bool visit_focus_children(WM_FOCUS_VISIT visit, void* walk);
  // On the top-level list, whether the object is on its way out (a dialog closing, fading to nothing or
  // sliding away), taking no more input; false in the base.
  virtual bool leaving();

  // The n-th child in list order from 0; null for n < 0 or past the end.
  WM_SCREEN_OBJECT* child_at_index(INT_S16 n);
  // Border width in pixels of a type, 1 meaning the object's own type (and that being 1, the default).
  INT_S32 border_width(INT_S32 type);
  // Empties the top-level list and / or the child list: owned objects are deleted, others hidden.
  void detach_all(bool top_level, bool ignored, bool children);

  // Redraw regions (redraw.cpp): the rectangle, or a rectangle, clipped to the object's display.
  void invalidate();
  void invalidate_rect(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom);
  // A redraw region is current and the object's rectangle meets it.
  bool meets_redraw_region();
  // Draws the object's rectangle of the screen at once (layers, areas, top-level list, then the object
  // itself when it belongs to no area); nothing without a page manager or an object.
  static void draw_now(WM_SCREEN_OBJECT* object);

  // The top-level list (redraw.cpp), called on the owner that serves it (normally an area's root). A
  // dialog added (opened) drops the characters typed before it; an object added visible gives the focus
  // to its first_focus and shows it there.
  void add_top_level(WM_SCREEN_OBJECT* object, bool relative);
  void remove_top_level(WM_SCREEN_OBJECT* object, bool delete_object, bool make_relative);
};

// The plain container at the root of each page-manager area and inside each dialog. A zero size is
// filled from screen 0 on demand.
class WM_MANAGER : public WM_SCREEN_OBJECT {
public:
  WM_MANAGER(INT_U8 visible, WM_EVENT_CALLBACK event_callback, INT_U32 event_user1, INT_U32 event_user2);
  ~WM_MANAGER() override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  bool is_focusable() override;
  INT_S16 get_width() override;
  INT_S16 get_height() override;
  void render() override;
  void draw() override;
};

// ---------------------------------------------------------------------------------------------------
// Module globals of the screen-object layer
// ---------------------------------------------------------------------------------------------------

// The window manager's statics, in this order: the image cache (empty), the five module colours at
// their initial values, the top-level list (empty) and the click sound. Built by the program's start-up
// before the application's statics; ended in the reverse order after them: the click sound goes, the
// top-level list is emptied without deleting its objects, the library-wide style sets and the image
// cache are freed.
void start_window_manager();
void stop_window_manager();

// The image every object draws into (IMAGE, image.h): the first object built sets it to the screen image.
// The object with keyboard focus, null when none; cleared when it is destroyed.
extern WM_SCREEN_OBJECT* focus_object;
// Set by take_focus and by the input pass when it reaches the focus object; the page manager clears it
// at the start of its update and moves or drops the focus when it stays clear.
extern INT_U8 focus_confirmed;
// The focus object shows that it has the focus (a focused button or check box draws a dotted outline):
// set when the keyboard moves the focus or works the focused button and when a dialog opens with its
// first focus, cleared by a mouse press and when a page is built, so a page at rest and a person using
// the mouse see what they saw before.
extern INT_U8 focus_visible;
// Sets focus_visible; the focus object is redrawn when that changes its look.
void set_focus_visible(bool visible);
// The object that took the current press; only it can receive the release.
extern WM_SCREEN_OBJECT* pressed_object;
// The object that takes the mouse wheel (a scroll bar, which sets it); cleared when it is destroyed.
extern WM_SCREEN_OBJECT* scroll_wheel_target;
// Called (object, user value) when set: the created hook by the constructors of area roots, dialogs and
// widgets, the destroyed hook by the base destructor.
extern WM_OBJECT_HOOK screen_object_created_hook;
extern INT_U32 screen_object_created_user;
extern WM_OBJECT_HOOK screen_object_destroyed_hook;
extern INT_U32 screen_object_destroyed_user;
// Calls the created hook with the object when one is set.
void call_screen_object_created_hook(WM_SCREEN_OBJECT* object);

// Input and update pass (input_pass.cpp).
extern INT_U8 modal_switch;         // a visible top-level object takes all input of the pass
extern INT_U8 input_area_filter;    // the input pass skips area children outside the current area
extern INT_U8 update_area_filter;   // the same for the update pass
extern INT_U32 activation_key;      // with Ctrl, presses the focus object at its centre (13, Enter)
extern INT_U32 pass_time;           // get_tick_count read once per update pass
extern INT_U8 blink_phase;          // eight square-wave bits of the pass time
extern INT_U8 outermost_update;     // tells the outermost update call of a pass from nested ones
// Widgets ask the page manager for a pointer shape only while this is set (1).
extern INT_U8 pointer_shapes_enabled;

// The blink phase of a pass time: bit k is set while t / {50, 125, 250, 500, 1000, 2000, 4000, 8000}[k]
// is odd.
INT_U8 blink_phase_of(INT_U32 t);
// The first time after t at which one of the mask's bits of the blink phase changes (mask not 0).
INT_U32 blink_phase_next_change(INT_U32 t, INT_U8 mask);

// Callbacks carry 32-bit user values, and a pointer does not fit one on every build. Where an object is
// passed as a user value (a dialog to its buttons, a keyboard to its keys, an edit box to the keyboard
// dialog), its handle goes instead: a number that finds the object while it lives and finds nothing once
// it is destroyed, so a callback never reaches a deleted object. Handles are never reused in a run.
// object_handle: the object's handle (made on first use); 0 for null.
INT_U32 object_handle(WM_SCREEN_OBJECT* object);
// The object of a handle; null for 0 and for the handle of a destroyed object.
WM_SCREEN_OBJECT* object_from_handle(INT_U32 handle);

// A record on the stack that tells a caller whether the object it called out to was deleted meanwhile
// (by its own callback): the base destructor marks every guard watching it.
class WM_DELETE_GUARD {
public:
  WM_SCREEN_OBJECT* object;
  bool deleted;
  WM_DELETE_GUARD* next;

  explicit WM_DELETE_GUARD(WM_SCREEN_OBJECT* watched);
  ~WM_DELETE_GUARD();
  WM_DELETE_GUARD(const WM_DELETE_GUARD&) = delete;
  WM_DELETE_GUARD& operator=(const WM_DELETE_GUARD&) = delete;
};
