// What the window manager's modules share among themselves (not part of its interface): list walks that
// tolerate objects removed by the calls they make, the render flag of the outermost render, and the
// placing of an icon beside a label that buttons and scripts share.
#pragma once
#include <vector>

#include "llist.h"
#include "screen_object.h"

// True when the list holds the pointer.
bool list_contains(const PTRLLIST* list, const void* item);

// The pointers of a list copied before a walk that calls out, so that objects added or removed by those
// calls never break the walk; callers check list_contains before calling an object taken from it.
class WM_OBJECT_SNAPSHOT {
public:
  explicit WM_OBJECT_SNAPSHOT(const PTRLLIST* list);
  INT_S32 count;
  WM_SCREEN_OBJECT* operator[](INT_S32 i) const { return items[i]; }
  WM_OBJECT_SNAPSHOT(const WM_OBJECT_SNAPSHOT&) = delete;
  WM_OBJECT_SNAPSHOT& operator=(const WM_OBJECT_SNAPSHOT&) = delete;

private:
  WM_SCREEN_OBJECT* local[32];
  std::vector<WM_SCREEN_OBJECT*> heap;
  WM_SCREEN_OBJECT** items;
};

// Set while the outermost render of a pass has narrowed the clip to the current region.
extern INT_U8 render_clip_narrowed;

// The start of a render: the outermost one narrows the clip to the current region (true: the caller
// puts the clip back and clears render_clip_narrowed when done); the object is drawn when it meets the
// region, or only marked drawn when it was waiting to be drawn.
bool render_self(WM_SCREEN_OBJECT* object);

// The rectangles of two objects meet, edges included (the area filter of the input and update passes).
bool objects_meet(WM_SCREEN_OBJECT* child, WM_SCREEN_OBJECT* root);

// Takes the object off the top-level list when the list exists; every screen object's destructor calls
// it, so that the list never holds a freed object.
void forget_top_level(WM_SCREEN_OBJECT* object);
// The display that holds the object's top-left corner, and its size (0 for displays without a screen).
INT_S16 display_of(INT_S16 x, INT_S16 y);

// The root of the page manager's current area, null without one (slides to the area's edges).
WM_SCREEN_OBJECT* current_area_root();

// One axis of a label with an icon attached: the icon stands before the text (before) or after it
// (after), spacing pixels away. A text aligned to the icon's side (near_aligned for before, far_aligned
// for after) moves by the icon's whole room, a centred one by half, one aligned away stays. from and to
// get the icon's span, or the text's own when the icon is on neither side.
void place_icon_beside_text(bool before, bool after, bool near_aligned, bool far_aligned, INT_S32 spacing,
                            INT_S32 icon_size, INT_S32 text_size, INT_S32* text_start, INT_S32* from, INT_S32* to);
