// Redraw regions and the top-level list: every change of a screen object invalidates a rectangle, the
// rectangles are collected (merged, at most 128) and rendered once per pass by the page manager; the
// global top-level list holds the dialogs and pop-ups served before the areas and drawn above them.
#pragma once
#include "types.h"
#include "llist.h"

class WM_SCREEN_OBJECT;

// One inclusive rectangle; -1 in a field means unset.
struct WM_REDRAW_REGION {
  INT_S16 top;
  INT_S16 left;
  INT_S16 right;
  INT_S16 bottom;
};

const INT_S16 REDRAW_REGION_LIMIT = 128;

extern WM_REDRAW_REGION redraw_regions[REDRAW_REGION_LIMIT];
extern INT_S16 redraw_region_count;
// Index of the region being rendered; -1 while collecting.
extern INT_S16 current_redraw_region;
// Collecting rule: 0 one union, 1 list, 2 merge on any grown overlap, 3 merge on all four (in use),
// 4 the whole display, other: nothing collected.
extern INT_S32 redraw_mode;
// Pixels by which rectangles are grown for the merge test of modes 2 and 3.
extern INT_S16 redraw_merge_distance;

// Collects one rectangle by the redraw mode; nothing while a region is current. The object is not used.
void add_redraw_region(WM_SCREEN_OBJECT* object, INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom);
// Collects the whole display of the object.
void invalidate_display(WM_SCREEN_OBJECT* object);
// A region is current and none of its fields is -1.
bool redraw_region_active();
// Every region empty, the count 0 and no region current.
void clear_redraw_regions();
// Renders the whole display at once, as draw_now does for one object.
void draw_all_now(INT_S16 display);

// The global top-level list: the last added is the topmost. Built with the window manager's statics
// (start_window_manager) or on first use, emptied (its objects not deleted) by stop_window_manager.
PTRLLIST* top_level_list();
void start_top_level_list();
void stop_top_level_list();
bool is_top_level(WM_SCREEN_OBJECT* object);
// The topmost visible object whose kind has all the bits (0: any); null when none.
WM_SCREEN_OBJECT* find_top_level(INT_U32 kind_bits);
// The topmost visible object that takes the input of a pass (the modal one); null when none. One marked
// takes_no_input never does (a button's hint: it is no dialog, and its button is served with the page it
// stands on), nor does a dialog on its way out (closing, fading to nothing or sliding away).
WM_SCREEN_OBJECT* find_input_top_level();
INT_S16 count_visible_top_level();
// The area field of the topmost visible object (below -1), or -1 when none is visible.
INT_S16 top_level_area();
