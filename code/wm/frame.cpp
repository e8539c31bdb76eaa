// Nine-part frames: loading the parts named after a base name from the image cache, copying references
// and giving them back, drawing (caps, tiles, overlays and the composite kept at the last size), hit
// testing and recolouring. Each image pointer holds one reference in the frame's cache.
#include "frame.h"

#include <cstdio>
#include <utility>

#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "screen_image.h"

INT_U8 frame_composite_caching = 1;
INT_U8 frame_sharp_overlay_scaling = 1;

WM_FRAME::WM_FRAME(IMAGE_CACHE* frame_cache)
    : cache(frame_cache), mid_left(nullptr), mid_mid(nullptr), mid_right(nullptr), top_mid(nullptr),
      bottom_mid(nullptr), top_left(nullptr), top_right(nullptr), bottom_left(nullptr),
      bottom_right(nullptr), colay(nullptr), solay(nullptr), tolay(nullptr), composite(nullptr),
      overlay_x(0), overlay_y(0), composite_stale(0) {}

WM_FRAME::~WM_FRAME() {
  clear();
  delete composite;  // also when the frame has no cache, which clear leaves alone
}

// The twelve image fields in one order for the loops below (a constant table: clearing the many empty
// frames of plain buttons stays a few loads).
static IMAGE* WM_FRAME::*const frame_parts[12] = {
    &WM_FRAME::mid_left,    &WM_FRAME::mid_mid,      &WM_FRAME::mid_right,   &WM_FRAME::top_mid,
    &WM_FRAME::bottom_mid,  &WM_FRAME::top_left,     &WM_FRAME::top_right,   &WM_FRAME::bottom_left,
    &WM_FRAME::bottom_right, &WM_FRAME::colay,       &WM_FRAME::solay,       &WM_FRAME::tolay};

static IMAGE** frame_part(WM_FRAME* frame, int i) { return &(frame->*frame_parts[i]); }

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

// Fetches "<base><suffix>" at natural size into *part; a name too long for FRAME_NAME_SIZE loads
// nothing rather than a cut name that may be another picture.
static bool load_part(WM_FRAME* frame, IMAGE** part, const char* folder_text, const char* base,
                      const char* suffix, INT_U8 flags) {
  char name[FRAME_NAME_SIZE];
  int length = std::snprintf(name, sizeof name, "%s%s", base, suffix);
  if (length < 0 || length >= FRAME_NAME_SIZE) return false;
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

bool load_frame_named(WM_FRAME* frame, const char* folder_text, const char* format, const char* base,
                      INT_U8 flags) {
  char name[FRAME_NAME_SIZE];
  int length = std::snprintf(name, sizeof name, format, base);
  if (length >= 0 && length < FRAME_NAME_SIZE) return frame->load(folder_text, name, flags);
  frame->clear();
  return false;
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

// ---------------------------------------------------------------------------------------------------
// Drawing

// The frame whose composite is being built: a nested draw of it (an overlay cut by the frame's shape)
// must not rebuild the composite that the outer draw is filling.
static const WM_FRAME* composite_in_build = nullptr;

// Copies a width x height block of source at (source_x, source_y) to (x, y) of target. Positions are
// taken in 32 bits and the part left of or above the image is trimmed first, so that no coordinate
// wraps when it is handed on as 16 bits.
static void put(IMAGE* target, IMAGE* source, INT_S32 source_x, INT_S32 source_y, INT_S32 x, INT_S32 y,
                INT_S32 width, INT_S32 height, INT_S32 mode) {
  if (!source) return;
  if (x < 0) {
    source_x -= x;
    width += x;
    x = 0;
  }
  if (y < 0) {
    source_y -= y;
    height += y;
    y = 0;
  }
  if (width < 1 || height < 1 || x > 0x7FFF || y > 0x7FFF || source_x > 0x7FFF || source_y > 0x7FFF) return;
  if (width > 0x7FFF) width = 0x7FFF;
  if (height > 0x7FFF) height = 0x7FFF;
  target->blit(source, (INT_S16)source_x, (INT_S16)source_y, (INT_S16)x, (INT_S16)y, (INT_S16)width,
               (INT_S16)height, mode);
}

// Where two opposite parts of natural lengths *a and *b do not fit side by side into length, both
// shrink in proportion.
static void shrink_caps(INT_S32* a, INT_S32* b, INT_S32 length) {
  INT_S32 sum = *a + *b;
  if (sum < 1) {
    *a = *b = 0;
  } else if (length < sum) {
    *a = (INT_S32)((INT_S64)*a * length / sum);
    *b = (INT_S32)((INT_S64)*b * length / sum);
  }
}

static INT_S32 natural_width(IMAGE_CACHE* cache, IMAGE* image) {
  if (!image) return 0;
  return cache ? cache->natural_width(image) : image->width;
}

static INT_S32 natural_height(IMAGE_CACHE* cache, IMAGE* image) {
  if (!image) return 0;
  return cache ? cache->natural_height(image) : image->height;
}

// Gives *part the size width x height as a scaled entry of the cache. A part that was drawn at another
// size is first taken back to its natural picture (unless it was recoloured), so that it is never
// scaled from an already scaled copy. A size below 1 leaves the part: it is not drawn then.
static void fit_part(IMAGE_CACHE* cache, IMAGE** part, INT_S32 width, INT_S32 height) {
  IMAGE* image = *part;
  if (!cache || !image || width < 1 || height < 1 || width > 0x7FFF || height > 0x7FFF) return;
  if (image->width == width && image->height == height) return;
  IMAGE_CACHE_ENTRY* entry = cache->find_entry(image);
  if (!entry) return;
  if (!entry->modified && !entry->unscaled() && entry->natural_width > 0 && entry->natural_height > 0)
    cache->resize(part, entry->natural_width, entry->natural_height);
  cache->resize(part, (INT_S16)width, (INT_S16)height);
}

// Repeats part along a run of length pixels from (x, y), advancing by step (across the run the copies
// are thickness pixels); the last copy is the part's leading piece. Copies outside the target's clip
// are skipped.
static void repeat_part(IMAGE* target, IMAGE* part, INT_S32 x, INT_S32 y, INT_S32 length, INT_S32 step,
                        INT_S32 thickness, bool across, INT_S32 mode) {
  if (!part || step < 1 || length < 1 || thickness < 1) return;
  INT_S32 first = across ? target->clip.x1 : target->clip.y1;
  INT_S32 last = across ? target->clip.x2 : target->clip.y2;
  INT_S32 start = across ? x : y;
  // The first copy is the last one that starts at or before the clip.
  INT_S32 offset = start < first ? (first - start) / step * step : 0;
  for (; offset < length; offset += step) {
    INT_S32 piece = length - offset < step ? length - offset : step;
    INT_S32 at = start + offset;
    if (at > last) break;
    if (at + piece <= first) continue;
    if (across)
      put(target, part, 0, 0, at, y, piece, thickness, mode);
    else
      put(target, part, 0, 0, x, at, thickness, piece, mode);
  }
}

// Fills the box with copies of part laid from (start_x, start_y), cut to the box by the target's clip.
static void tile_box(IMAGE* target, IMAGE* part, INT_S32 start_x, INT_S32 start_y, INT_S32 x1, INT_S32 y1,
                     INT_S32 x2, INT_S32 y2, INT_S32 mode) {
  if (!part || part->width < 1 || part->height < 1) return;
  IMAGE_AREA saved = target->clip;
  target->intersect_clip((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2);
  if (target->clip.x1 != -1) {
    // The first copies are the last ones that start at or before the clip's top-left corner.
    if (start_y < target->clip.y1) start_y += (target->clip.y1 - start_y) / part->height * part->height;
    if (start_x < target->clip.x1) start_x += (target->clip.x1 - start_x) / part->width * part->width;
    for (INT_S32 y = start_y; y <= y2 && y <= target->clip.y2; y += part->height) {
      for (INT_S32 x = start_x; x <= x2 && x <= target->clip.x2; x += part->width) {
        put(target, part, 0, 0, x, y, part->width, part->height, mode);
      }
    }
  }
  target->clip = saved;
}

// Four corners, four repeated edges and a tiled centre; opposite edges shrink when they do not fit.
static void draw_nine_parts(WM_FRAME* f, IMAGE* target, INT_S32 x, INT_S32 y, INT_S32 w, INT_S32 h,
                            INT_S32 mode) {
  IMAGE_CACHE* cache = f->cache;
  INT_S32 left = natural_width(cache, f->mid_left), right = natural_width(cache, f->mid_right);
  INT_S32 top = natural_height(cache, f->top_mid), bottom = natural_height(cache, f->bottom_mid);
  shrink_caps(&left, &right, w);
  shrink_caps(&top, &bottom, h);
  INT_S32 middle_w = w - left - right, middle_h = h - top - bottom;

  fit_part(cache, &f->top_left, left, top);
  fit_part(cache, &f->mid_left, left, natural_height(cache, f->mid_left));
  fit_part(cache, &f->bottom_left, left, bottom);
  fit_part(cache, &f->top_right, right, top);
  fit_part(cache, &f->mid_right, right, natural_height(cache, f->mid_right));
  fit_part(cache, &f->bottom_right, right, bottom);
  fit_part(cache, &f->top_mid, natural_width(cache, f->top_mid), top);
  fit_part(cache, &f->bottom_mid, natural_width(cache, f->bottom_mid), bottom);

  INT_S32 right_x = x + w - right, bottom_y = y + h - bottom;
  if (left > 0 && top > 0) put(target, f->top_left, 0, 0, x, y, left, top, mode);
  if (right > 0 && top > 0) put(target, f->top_right, 0, 0, right_x, y, right, top, mode);
  if (left > 0 && bottom > 0) put(target, f->bottom_left, 0, 0, x, bottom_y, left, bottom, mode);
  if (right > 0 && bottom > 0) put(target, f->bottom_right, 0, 0, right_x, bottom_y, right, bottom, mode);
  if (middle_w > 0 && middle_h > 0)
    tile_box(target, f->mid_mid, x + left, y + top, x + left, y + top, right_x - 1, bottom_y - 1, mode);
  if (middle_w > 0) {
    repeat_part(target, f->top_mid, x + left, y, middle_w, f->top_mid->width, top, true, mode);
    repeat_part(target, f->bottom_mid, x + left, bottom_y, middle_w, f->top_mid->width, bottom, true, mode);
  }
  if (middle_h > 0) {
    repeat_part(target, f->mid_left, x, y + top, middle_h, f->mid_left->height, left, false, mode);
    repeat_part(target, f->mid_right, right_x, y + top, middle_h, f->mid_left->height, right, false, mode);
  }
}

// A row (across) or a column: two caps scaled to the box's thickness and the middle repeated between.
static void draw_three_parts(WM_FRAME* f, IMAGE** first, IMAGE** last, IMAGE* target, INT_S32 x, INT_S32 y,
                             INT_S32 w, INT_S32 h, bool across, INT_S32 mode) {
  IMAGE_CACHE* cache = f->cache;
  INT_S32 a = across ? natural_width(cache, *first) : natural_height(cache, *first);
  INT_S32 b = across ? natural_width(cache, *last) : natural_height(cache, *last);
  INT_S32 length = across ? w : h, thickness = across ? h : w;
  shrink_caps(&a, &b, length);
  if (across) {
    fit_part(cache, first, a, h);
    fit_part(cache, last, b, h);
    fit_part(cache, &f->mid_mid, natural_width(cache, f->mid_mid), h);
    if (a > 0) put(target, *first, 0, 0, x, y, a, h, mode);
    if (b > 0) put(target, *last, 0, 0, x + w - b, y, b, h, mode);
    repeat_part(target, f->mid_mid, x + a, y, length - a - b, f->mid_mid->width, thickness, true, mode);
  } else {
    fit_part(cache, first, w, a);
    fit_part(cache, last, w, b);
    fit_part(cache, &f->mid_mid, w, natural_height(cache, f->mid_mid));
    if (a > 0) put(target, *first, 0, 0, x, y, w, a, mode);
    if (b > 0) put(target, *last, 0, 0, x, y + h - b, w, b, mode);
    repeat_part(target, f->mid_mid, x, y + a, length - a - b, f->mid_mid->height, thickness, false, mode);
  }
}

// The parts by the first complete form: nine parts, row, column, then the centre alone.
static void draw_parts(WM_FRAME* f, IMAGE* target, INT_S32 x, INT_S32 y, INT_S32 w, INT_S32 h, INT_U8 stretch,
                       INT_S32 mode) {
  if (f->top_left && f->top_mid && f->top_right && f->mid_left && f->mid_mid && f->mid_right && f->bottom_left &&
      f->bottom_mid && f->bottom_right) {
    draw_nine_parts(f, target, x, y, w, h, mode);
  } else if (f->mid_left && f->mid_mid && f->mid_right) {
    draw_three_parts(f, &f->mid_left, &f->mid_right, target, x, y, w, h, true, mode);
  } else if (f->top_mid && f->mid_mid && f->bottom_mid) {
    draw_three_parts(f, &f->top_mid, &f->bottom_mid, target, x, y, w, h, false, mode);
  } else if (f->mid_mid) {
    if (stretch)
      fit_part(f->cache, &f->mid_mid, w, h);
    else
      fit_part(f->cache, &f->mid_mid, natural_width(f->cache, f->mid_mid), natural_height(f->cache, f->mid_mid));
    IMAGE* image = f->mid_mid;
    put(target, image, 0, 0, x + (w - image->width) / 2, y + (h - image->height) / 2, image->width, image->height,
        mode);
  }
}

// The three overlays over the box: colay centred, solay stretched from the offset to the box's far edges,
// tolay tiled over what the box holds; the last two cut by the frame's own shape.
static void draw_overlays(WM_FRAME* f, IMAGE* target, INT_S32 x, INT_S32 y, INT_S32 w, INT_S32 h, INT_U8 stretch) {
  if (f->colay) {
    IMAGE* c = f->colay;
    put(target, c, 0, 0, x + f->overlay_x + (w - c->width) / 2, y + f->overlay_y + (h - c->height) / 2, c->width,
        c->height, BLIT_BLEND);
  }
  IMAGE* overlays[2] = {f->solay, f->tolay};
  for (int i = 0; i < 2; i++) {
    IMAGE* overlay = overlays[i];
    if (!overlay || overlay->width < 1 || overlay->height < 1) continue;
    IMAGE work((INT_S16)w, (INT_S16)h);
    work.clear(&COLOUR_INVISIBLE, 1);
    if (overlay == f->solay) {
      INT_S32 span_w = w - f->overlay_x, span_h = h - f->overlay_y;
      if (span_w < 1 || span_h < 1 || span_w > 0x7FFF || span_h > 0x7FFF) continue;
      IMAGE scaled(overlay->width, overlay->height);
      scaled.blit(overlay, 0, 0, 0, 0, overlay->width, overlay->height, BLIT_COPY);
      scaled.scale((INT_U16)span_w, (INT_U16)span_h, frame_sharp_overlay_scaling == 0);
      put(&work, &scaled, 0, 0, f->overlay_x, f->overlay_y, scaled.width, scaled.height, BLIT_COPY);
    } else {
      put(&work, target, x, y, 0, 0, w, h, BLIT_COPY);
      INT_S32 start_x = -(f->overlay_x % overlay->width), start_y = -(f->overlay_y % overlay->height);
      if (start_x > 0) start_x -= overlay->width;
      if (start_y > 0) start_y -= overlay->height;
      tile_box(&work, overlay, start_x, start_y, 0, 0, w - 1, h - 1, BLIT_BLEND);
    }
    f->draw(0, 0, (INT_S16)(w - 1), (INT_S16)(h - 1), stretch, &work, BLIT_ALPHA_MULTIPLY);
    put(target, &work, 0, 0, x, y, w, h, BLIT_BLEND);
  }
}

void WM_FRAME::draw(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_U8 stretch, IMAGE* target, INT_S32 mode) {
  if (!target) target = get_screen_image(0);
  if (!target) return;
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  INT_S32 w = (INT_S32)x2 - x1 + 1, h = (INT_S32)y2 - y1 + 1;
  // A box wider or taller than an image can be is not drawn.
  if (w > 0x7FFF || h > 0x7FFF) return;
  bool any = false;
  for (int i = 0; i < 12; i++) any = any || *frame_part(this, i);
  if (!any) return;

  if (!frame_composite_caching) {
    draw_parts(this, target, x1, y1, w, h, stretch, mode);
    if (mode == BLIT_BLEND || mode == BLIT_COPY) draw_overlays(this, target, x1, y1, w, h, stretch);
    return;
  }
  bool same_size = composite && composite->width == w && composite->height == h;
  if (same_size && (!composite_stale || composite_in_build == this)) {
    composite->blit_to(x1, y1, target, mode);
    return;
  }
  if (composite_in_build == this) {
    // Nested at another size: drawn straight, leaving the composite being built alone.
    draw_parts(this, target, x1, y1, w, h, stretch, mode);
    return;
  }
  if (!composite) composite = new IMAGE();
  composite->set_size((INT_S16)w, (INT_S16)h);
  composite->clear(&COLOUR_INVISIBLE, 1);
  composite_stale = 0;
  const WM_FRAME* outer = composite_in_build;
  composite_in_build = this;
  draw_parts(this, composite, 0, 0, w, h, stretch, BLIT_COPY);
  draw_overlays(this, composite, 0, 0, w, h, stretch);
  composite_in_build = outer;
  composite->blit_to(x1, y1, target, mode);
}

// ---------------------------------------------------------------------------------------------------
// Hit test and colour operations

// Whether pixel (x, y) of image is inside it and its clip and has a non-zero alpha.
static bool solid_at(IMAGE* image, INT_S32 x, INT_S32 y) {
  if (!image || !image->pixels) return false;
  if (x < 0 || y < 0 || x >= image->width || y >= image->height) return false;
  if (x < image->clip.x1 || x > image->clip.x2 || y < image->clip.y1 || y > image->clip.y2) return false;
  return (*image->pixel_at(x, y) >> 24) != 0;
}

bool WM_FRAME::hit_test(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height) {
  INT_S32 w = width, h = height;
  if (top_left && top_mid && top_right && mid_left && mid_mid && mid_right && bottom_left && bottom_mid &&
      bottom_right) {
    INT_S32 left = mid_left->width, right = mid_right->width;
    INT_S32 top = top_mid->height, bottom = bottom_mid->height;
    int column = x < left ? 0 : (x > w - right ? 2 : 1);
    int row = y < top ? 0 : (y > h - bottom ? 2 : 1);
    IMAGE* parts[3][3] = {{top_left, top_mid, top_right},
                          {mid_left, mid_mid, mid_right},
                          {bottom_left, bottom_mid, bottom_right}};
    // Edges and centre repeat along their runs: they are tested at their first pixel along the run.
    INT_S32 local_x = column == 0 ? x : (column == 2 ? x - (w - right) : 0);
    INT_S32 local_y = row == 0 ? y : (row == 2 ? y - (h - bottom) : 0);
    return solid_at(parts[row][column], local_x, local_y);
  }
  if (mid_left && mid_mid && mid_right) {
    if (x < mid_left->width) return solid_at(mid_left, x, y);
    if (x > w - mid_right->width) return solid_at(mid_right, x - (w - mid_right->width), y);
    return solid_at(mid_mid, 0, y);
  }
  if (top_mid && mid_mid && bottom_mid) {
    if (y < top_mid->height) return solid_at(top_mid, x, y);
    if (y > h - bottom_mid->height) return solid_at(bottom_mid, x, y - (h - bottom_mid->height));
    return solid_at(mid_mid, x, 0);
  }
  if (mid_mid) return solid_at(mid_mid, x - (w - mid_mid->width) / 2, y - (h - mid_mid->height) / 2);
  return false;
}

void WM_FRAME::greyscale() {
  for (int i = 0; cache && i < 12; i++)
    if (*frame_part(this, i)) cache->greyscale(frame_part(this, i));
}

void WM_FRAME::tint(const COLOUR* tint_colour) {
  for (int i = 0; cache && i < 12; i++)
    if (*frame_part(this, i)) cache->tint(frame_part(this, i), tint_colour);
}

void WM_FRAME::map_channels(const COLOUR* red, const COLOUR* green, const COLOUR* blue) {
  for (int i = 0; cache && i < 12; i++)
    if (*frame_part(this, i)) cache->map_channels(frame_part(this, i), red, green, blue);
}

void WM_FRAME::replace_colour(const COLOUR* from, const COLOUR* to) {
  for (int i = 0; cache && i < 12; i++)
    if (*frame_part(this, i)) cache->replace_colour(frame_part(this, i), from, to);
}
