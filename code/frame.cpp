// Nine-part frames: loading the parts named after a base name from the image cache, copying references
// and giving them back. Each image pointer holds one reference in the frame's cache.
#include "frame.h"

#include <cstdio>

#include "folder.h"
#include "image.h"
#include "image_cache.h"

WM_FRAME::WM_FRAME(IMAGE_CACHE* frame_cache)
    : cache(frame_cache), mid_left(nullptr), mid_mid(nullptr), mid_right(nullptr), top_mid(nullptr),
      bottom_mid(nullptr), top_left(nullptr), top_right(nullptr), bottom_left(nullptr),
      bottom_right(nullptr), colay(nullptr), solay(nullptr), tolay(nullptr), composite(nullptr),
      overlay_x(0), overlay_y(0), composite_stale(0) {}

WM_FRAME::~WM_FRAME() {
  clear();
}

// The twelve image fields in one order for the loops below.
static IMAGE** frame_part(WM_FRAME* frame, int i) {
  IMAGE** parts[12] = {&frame->mid_left,   &frame->mid_mid,     &frame->mid_right,  &frame->top_mid,
                       &frame->bottom_mid, &frame->top_left,    &frame->top_right,  &frame->bottom_left,
                       &frame->bottom_right, &frame->colay,     &frame->solay,      &frame->tolay};
  return parts[i];
}

void WM_FRAME::clear() {
  if (!cache) return;
  for (int i = 0; i < 12; i++) {
    IMAGE** part = frame_part(this, i);
    if (*part) {
      cache->release(cache->find_entry(*part));
      *part = nullptr;
    }
  }
  delete composite;
  composite = nullptr;
}

// Fetches "<base><suffix>" at natural size into *part.
static bool load_part(WM_FRAME* frame, IMAGE** part, const char* folder_text, const char* base,
                      const char* suffix, INT_U8 flags) {
  char name[FRAME_NAME_SIZE];
  std::snprintf(name, sizeof name, "%s%s", base, suffix);
  *part = frame->cache->get(folder_text, name, -1, -1, flags);
  return *part != nullptr;
}

bool WM_FRAME::load(const char* folder_text, const char* base, INT_U8 flags) {
  if (!cache || !base) return false;
  clear();
  load_part(this, &colay, folder_text, base, "_colay", flags);
  load_part(this, &solay, folder_text, base, "_solay", flags);
  load_part(this, &tolay, folder_text, base, "_tolay", flags);
  if (load_part(this, &top_left, folder_text, base, "_top_left", flags)) {
    bool all = true;
    all &= load_part(this, &top_mid, folder_text, base, "_top_mid", flags);
    all &= load_part(this, &top_right, folder_text, base, "_top_right", flags);
    all &= load_part(this, &mid_left, folder_text, base, "_mid_left", flags);
    all &= load_part(this, &mid_mid, folder_text, base, "_mid_mid", flags);
    all &= load_part(this, &mid_right, folder_text, base, "_mid_right", flags);
    all &= load_part(this, &bottom_left, folder_text, base, "_bottom_left", flags);
    all &= load_part(this, &bottom_mid, folder_text, base, "_bottom_mid", flags);
    all &= load_part(this, &bottom_right, folder_text, base, "_bottom_right", flags);
    return all;
  }
  if (load_part(this, &mid_left, folder_text, base, "_left", flags)) {
    bool all = load_part(this, &mid_mid, folder_text, base, "_mid", flags);
    all &= load_part(this, &mid_right, folder_text, base, "_right", flags);
    return all;
  }
  if (load_part(this, &top_mid, folder_text, base, "_top", flags)) {
    bool all = load_part(this, &mid_mid, folder_text, base, "_mid", flags);
    all &= load_part(this, &bottom_mid, folder_text, base, "_bottom", flags);
    return all;
  }
  return load_part(this, &mid_mid, folder_text, base, "", flags);
}

bool WM_FRAME::load_from_path(FOLDER* folder, const char* base, INT_U8 flags) {
  if (!folder) return false;
  char text[FOLDER_PATH_SIZE];
  folder->get_portable_text(text, nullptr);
  return load(text, base, flags);
}

WM_FRAME* WM_FRAME::copy(const WM_FRAME& source) {
  if (!cache || &source == this) return this;
  clear();
  WM_FRAME* from = const_cast<WM_FRAME*>(&source);
  for (int i = 0; i < 12; i++) {
    IMAGE* image = *frame_part(from, i);
    if (image) *frame_part(this, i) = cache->add_reference(image);
  }
  return this;
}

bool WM_FRAME::is_loaded() const {
  return mid_mid != nullptr;
}
