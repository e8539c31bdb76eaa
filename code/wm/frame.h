// Nine-part frames: a skinnable rectangle made of images of the image cache, in full form four corners,
// four edges and a centre plus three overlays, or reduced to a row, a column or one image. Style sets keep
// one frame per widget state; dialogs keep one for their background.
#pragma once
#include "types.h"

#include "colour.h"

class IMAGE;
class IMAGE_CACHE;
class FOLDER;

// Longest base name (with its part suffix) that a frame asks the cache for, terminator included; a
// longer name loads nothing.
const int FRAME_NAME_SIZE = 256;

// Module switches, both on: a frame keeps its last drawing at its size and redraws it with one blit;
// the stretched overlay is scaled without smoothing.
extern INT_U8 frame_composite_caching;
extern INT_U8 frame_sharp_overlay_scaling;

class WM_FRAME {
public:
  IMAGE_CACHE* cache;   // where the images come from; a frame without a cache loads nothing
  IMAGE* mid_left;      // left edge, also the left cap of a row
  IMAGE* mid_mid;       // centre, also the single image and the middle of a row or column
  IMAGE* mid_right;     // right edge, also the right cap of a row
  IMAGE* top_mid;       // top edge, also the top cap of a column
  IMAGE* bottom_mid;    // bottom edge, also the bottom cap of a column
  IMAGE* top_left;
  IMAGE* top_right;
  IMAGE* bottom_left;
  IMAGE* bottom_right;
  IMAGE* colay;         // centred overlay
  IMAGE* solay;         // stretched overlay
  IMAGE* tolay;         // tiled overlay
  IMAGE* composite;     // owned: the last drawn frame at its size, null until drawn
  INT_S16 overlay_x;
  INT_S16 overlay_y;
  INT_U8 composite_stale;

  // An empty frame bound to a cache (null: the frame loads nothing).
  explicit WM_FRAME(IMAGE_CACHE* frame_cache);
  // Releases the images (clear).
  ~WM_FRAME();
  WM_FRAME(const WM_FRAME&) = delete;
  WM_FRAME& operator=(const WM_FRAME&) = delete;

  // Loads the parts named after base from the folder text; flags go to IMAGE_CACHE::get unchanged.
  // True when the form chosen (nine parts, row, column, single image) is complete; parts found stay.
  bool load(const char* folder_text, const char* base, INT_U8 flags);
  bool load_from_path(FOLDER* folder, const char* base, INT_U8 flags);
  // Gives every image back to the cache and deletes the composite.
  void clear();
  // clear, then a new reference to each image of source (own cache kept; composite and offsets not
  // copied). Nothing when this frame has no cache.
  WM_FRAME* copy(const WM_FRAME& source);
  // The centre part is present.
  bool is_loaded() const;

  // Draws the frame over the inclusive box (corners in either order) of target (null = the screen
  // image) with a blit mode; stretch scales a single-image frame to the box. Parts are scaled through
  // the cache to the box, so afterwards they have the sizes of the last box drawn.
  void draw(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_U8 stretch, IMAGE* target, INT_S32 mode);
  // Whether the frame drawn in a width x height box is solid at (x, y) relative to the box, judged on
  // the parts at their current sizes.
  bool hit_test(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height);

  // Colour operations on every image present, copy-on-write through the cache. The composite is left
  // alone: an owner that recolours a frame already drawn sets composite_stale.
  void greyscale();
  void tint(const COLOUR* tint_colour);
  void map_channels(const COLOUR* red, const COLOUR* green, const COLOUR* blue);
  void replace_colour(const COLOUR* from, const COLOUR* to);
};

// Loads frame from the name that format (printf form with one "%s") makes of base. A name that does not
// fit FRAME_NAME_SIZE loads nothing and clears the frame, rather than a cut name that may be another
// picture. True when the frame is loaded.
bool load_frame_named(WM_FRAME* frame, const char* folder_text, const char* format, const char* base,
                      INT_U8 flags);
