// IMAGE_SCROLLER: the drifting view onto a larger image — construction from a file or an image
// cache, the clock-driven triangle-wave offsets and drawing onto the screen image.
#include "image_scroller.h"

#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"

namespace {

// A view no larger than the image has nothing to drift over: ranges below 0 count as 0.
INT_S64 usable_range(INT_S16 range) { return range > 0 ? range : 0; }

}  // namespace

void IMAGE_SCROLLER::set_sizes(INT_S16 new_x, INT_S16 new_y, INT_S16 new_view_width, INT_S16 new_view_height,
                               INT_U32 new_period_ms, INT_S16 new_image_width, INT_S16 new_image_height) {
  x = new_x;
  y = new_y;
  view_width = new_view_width;
  view_height = new_view_height;
  period_ms = new_period_ms;
  image_width = new_image_width > 0 ? new_image_width : (INT_S16)(2 * view_width);
  image_height = new_image_height > 0 ? new_image_height : (INT_S16)(2 * view_height);
  start_tick = 0;
  offset_x = 0;
  offset_y = (INT_S16)(usable_range(vertical_range()) / 2);
  image = nullptr;
  cache = nullptr;
}

IMAGE_SCROLLER::IMAGE_SCROLLER(INT_S16 new_x, INT_S16 new_y, const FOLDER* folder, const char* file_name,
                               INT_S16 new_view_width, INT_S16 new_view_height, INT_U32 new_period_ms,
                               INT_S16 new_image_width, INT_S16 new_image_height) {
  set_sizes(new_x, new_y, new_view_width, new_view_height, new_period_ms, new_image_width, new_image_height);
  image = new IMAGE();
  // The loader takes a folder it may use freely; the caller's stays untouched.
  if (folder) {
    FOLDER copy(*folder);
    image->load(&copy, file_name, image_width, image_height);
  } else {
    image->load(nullptr, file_name, image_width, image_height);
  }
}

IMAGE_SCROLLER::IMAGE_SCROLLER(INT_S16 new_x, INT_S16 new_y, IMAGE_CACHE* image_cache_in, const char* folder_path,
                               const char* file_name, INT_S16 new_view_width, INT_S16 new_view_height,
                               INT_U32 new_period_ms, INT_S16 new_image_width, INT_S16 new_image_height) {
  set_sizes(new_x, new_y, new_view_width, new_view_height, new_period_ms, new_image_width, new_image_height);
  cache = image_cache_in;
  if (cache) image = cache->get(folder_path, file_name, image_width, image_height, 0);
}

IMAGE_SCROLLER::~IMAGE_SCROLLER() {
  if (cache) {
    if (image) {
      IMAGE_CACHE_ENTRY* entry = cache->find_entry(image);
      if (entry) cache->release(entry);
    }
  } else {
    delete image;
  }
  image = nullptr;
}

bool IMAGE_SCROLLER::update() { return update_at(get_tick_count()); }

bool IMAGE_SCROLLER::update_at(INT_U32 now) {
  INT_U32 period = period_ms;
  if (period == 0) return false;
  INT_S16 old_x = offset_x, old_y = offset_y;
  // Elapsed time by unsigned difference, which stays right across the clock's wrap; a clock that ran
  // backwards gives a huge difference and starts a new cycle.
  INT_U32 t = now - start_tick;
  if (t > period) {
    start_tick = now;
    t = 0;
  }
  INT_S64 half = period / 2;
  INT_S64 range_x = usable_range(horizontal_range()), range_y = usable_range(vertical_range());
  if (half == 0) {
    // A period of 1 ms has no half period to move over: the view stays at the cycle's start.
    offset_x = 0;
    offset_y = (INT_S16)(range_y / 2);
  } else {
    INT_S64 elapsed = t, rest = (INT_S64)period - elapsed;
    offset_x = (INT_S16)(elapsed > half ? range_x * rest / half : range_x * elapsed / half);
    INT_S64 v;
    if (elapsed <= half) {
      v = elapsed * range_y / half + range_y / 2;
      offset_y = (INT_S16)(v <= range_y ? v : 2 * range_y - v);
    } else {
      v = rest * range_y / half - range_y / 2;
      offset_y = (INT_S16)(v >= 0 ? v : -v);
    }
  }
  return offset_x != old_x || offset_y != old_y;
}

void IMAGE_SCROLLER::draw() {
  if (!image) return;
  blit_to_screen(image, x, y, offset_x, offset_y, view_width, view_height, nullptr, BLIT_BLEND);
}

void IMAGE_SCROLLER::reset() {
  start_tick = get_tick_count();
  offset_x = 0;
  offset_y = (INT_S16)(usable_range(vertical_range()) / 2);
}
