// The window manager's page manager and the screen objects it holds: one root object per display
// area, the page shown in each area, the top-level objects (dialogs, boxes) above it, the first
// display layer and the exit hook that closes every page at the end of the run.
#pragma once
#include <vector>

#include "types.h"
#include "image.h"

class WM_MANAGER;

// Result of a page manager pass; WM_RESULT_LAST_PAGE_CLOSED ends the run.
typedef INT_S32 WM_RESULT;
const WM_RESULT WM_RESULT_NONE = 0;
const WM_RESULT WM_RESULT_LAST_PAGE_CLOSED = -1;

// A rectangle of a display that draws itself.
class WM_SCREEN_OBJECT {
public:
  INT_S16 x, y, width, height;
  WM_SCREEN_OBJECT* parent;  // the object holding this one; null for a root

  WM_SCREEN_OBJECT(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height);
  virtual ~WM_SCREEN_OBJECT();
  WM_SCREEN_OBJECT(const WM_SCREEN_OBJECT&) = delete;
  WM_SCREEN_OBJECT& operator=(const WM_SCREEN_OBJECT&) = delete;

  // Gives the object a new size (children: the objects it holds follow).
  virtual void resize(INT_S16 new_width, INT_S16 new_height, INT_U8 children);
  // Draws the object into the image; the base draws nothing.
  virtual void draw(IMAGE* target);

  // Adds the object to the top-level list of the root's display; the root owns it from then on.
  static void add_top_level(WM_MANAGER* root, WM_SCREEN_OBJECT* object, INT_S32 flags);
  // Draws the object into the screen image at once (nothing while the screen image has no pixels).
  static void draw_now(WM_SCREEN_OBJECT* object);
};

// The root object of a display area: holds the area's children and its top-level objects.
class WM_MANAGER : public WM_SCREEN_OBJECT {
public:
  std::vector<WM_SCREEN_OBJECT*> children;   // owned
  std::vector<WM_SCREEN_OBJECT*> top_level;  // owned, drawn above the children in order

  WM_MANAGER(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height);
  ~WM_MANAGER() override;
  void resize(INT_S16 new_width, INT_S16 new_height, INT_U8 children_too) override;
  void draw(IMAGE* target) override;
  // Removes (and deletes) a top-level object; false when it is not one of this root's.
  bool close_top_level(WM_SCREEN_OBJECT* object);
  void close_all();
};

// The page manager: the library's one instance is registered by its constructor.
class WM_PAGE_MANAGER {
public:
  INT_S16 area_count;
  INT_S16 current_area;
  std::vector<WM_MANAGER*> roots;          // one per area, owned
  std::vector<WM_SCREEN_OBJECT*> pages;    // the page of each area, owned; null = none
  IMAGE first_layer;                       // the first display layer (background, splash)
  INT_U8 page_change;                      // set once the application has started its pages
  INT_U8 display_changed;                  // the display must be drawn again
  INT_S32 key_buffer_size;

  // Registers the object as the library's page manager and installs the host's exit hook. A key
  // buffer size of -1 keeps the keyboard handler's default.
  WM_PAGE_MANAGER(INT_S16 areas, INT_S32 key_buffer_size);
  ~WM_PAGE_MANAGER();
  WM_PAGE_MANAGER(const WM_PAGE_MANAGER&) = delete;
  WM_PAGE_MANAGER& operator=(const WM_PAGE_MANAGER&) = delete;

  // One pass: draws what changed into the screen image; WM_RESULT_LAST_PAGE_CLOSED when no area
  // shows a page any more.
  WM_RESULT update();
  // The root object of the current area.
  WM_MANAGER* get_root();
  // Shows the page in the current area (owned; replaces and deletes the page shown before).
  void set_page(WM_SCREEN_OBJECT* page);
  // Closes the page of every area.
  void close_pages();
};

// The registered page manager, null when there is none.
extern WM_PAGE_MANAGER* page_manager;

// Marks the whole display that holds the object for redraw.
void invalidate_display(WM_SCREEN_OBJECT* object);
