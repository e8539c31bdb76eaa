// IMAGE_SCROLLER: a view onto a larger image whose visible part drifts back and forth over time (the
// horizontal and vertical offsets each follow a triangle wave, the vertical a quarter period ahead),
// used as an animated background. It owns its image or borrows it from an image cache.
#pragma once
#include "types.h"

class FOLDER;
class IMAGE;
class IMAGE_CACHE;

class IMAGE_SCROLLER {
public:
  INT_S16 x;              // where the view is drawn on the screen
  INT_S16 y;
  INT_S16 view_width;
  INT_S16 view_height;
  INT_S16 offset_x;       // top-left corner of the view inside the image
  INT_S16 offset_y;
  INT_S16 image_width;    // size at which the image is loaded (twice the view when not given)
  INT_S16 image_height;
  INT_U32 period_ms;      // one full back-and-forth cycle; 0 = still
  INT_U32 start_tick;     // clock value at which the current cycle began
  IMAGE* image;
  IMAGE_CACHE* cache;     // holds image; null = the scroller owns it

  // Own image, loaded from the folder (null = the program's folder).
  IMAGE_SCROLLER(INT_S16 x, INT_S16 y, const FOLDER* folder, const char* file_name, INT_S16 view_width,
                 INT_S16 view_height, INT_U32 period_ms, INT_S16 image_width = -1, INT_S16 image_height = -1);
  // Image taken from the cache by folder path text and name.
  IMAGE_SCROLLER(INT_S16 x, INT_S16 y, IMAGE_CACHE* cache, const char* folder_path, const char* file_name,
                 INT_S16 view_width, INT_S16 view_height, INT_U32 period_ms, INT_S16 image_width = -1,
                 INT_S16 image_height = -1);
  ~IMAGE_SCROLLER();
  IMAGE_SCROLLER(const IMAGE_SCROLLER&) = delete;
  IMAGE_SCROLLER& operator=(const IMAGE_SCROLLER&) = delete;

  // Moves the offsets by the millisecond clock; true when either changed.
  bool update();
  // The same at a given clock value.
  bool update_at(INT_U32 now);
  // Blends the view's part of the image onto the screen image at (x, y).
  void draw();
  // Restarts the cycle now at offset (0, vertical range / 2).
  void reset();

  INT_S16 horizontal_range() const { return (INT_S16)(image_width - view_width); }
  INT_S16 vertical_range() const { return (INT_S16)(image_height - view_height); }

private:
  void set_sizes(INT_S16 x, INT_S16 y, INT_S16 view_width, INT_S16 view_height, INT_U32 period_ms,
                 INT_S16 image_width, INT_S16 image_height);
};
