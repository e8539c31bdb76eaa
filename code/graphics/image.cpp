// IMAGE: sizing, clip and dirty rectangles, copying between images, fills, whole-image pixel
// operations, conversion into presentation buffers, rotation, the raw image stream, embedded bytes, the
// built-in logos and loading image files by name.
#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "errors.h"
#include "host.h"
#include "screen_image.h"

IMAGE* draw_target = nullptr;
INT_U8 greyscale_average = 0;

namespace {

const char RAW_MAGIC[10] = {'v', 'e', 'l', 'k', 'r', 'a', 'w', 'i', 'm', 'g'};
const INT_U8 RAW_VERSION = 1;

// The row pitch for a width under a row alignment.
INT_S32 pitch_for(INT_S32 width, INT_S8 alignment) {
  if (alignment >= 2 && width % alignment != 0) return width + (alignment - width % alignment);
  return width;
}

// A zeroed pixel block, or null when memory is short.
INT_U32* allocate_block(INT_S32 pitch, INT_S32 rows) {
  size_t count = (size_t)pitch * (size_t)rows;
  INT_U32* block = new (std::nothrow) INT_U32[count];
  if (block) std::memset(block, 0, count * sizeof(INT_U32));
  return block;
}

}  // namespace

IMAGE::IMAGE(INT_S16 new_width, INT_S16 new_height) { init(new_width, new_height); }

IMAGE::~IMAGE() {
  owner = nullptr;
  delete[] pixels;
  pixels = nullptr;
}

void IMAGE::init(INT_S16 new_width, INT_S16 new_height) {
  pixels = nullptr;
  origin_x = origin_y = 0;
  width = height = 0;
  row_pitch = 0;
  row_alignment = 0;
  size_locked = 0;
  keep_aspect = 0;
  maximum_width = maximum_height = 0;
  owner = nullptr;
  clip.x1 = clip.x2 = clip.y1 = clip.y2 = -1;
  clip_enabled = 0;
  default_font_id = 10;
  default_font_x_size = 22;
  default_font_y_size = 22;
  clear_dirty_area();
  set_size(new_width, new_height);
}

void IMAGE::set_size(INT_S16 new_width, INT_S16 new_height) {
  if (size_locked) return;
  maximum_width = maximum_height = 0;
  if (new_width == width && new_height == height && pixels) {
    extend_dirty_area(0, 0, width - 1, height - 1);
    set_clip(0, 0, width - 1, height - 1);
    return;
  }
  delete[] pixels;
  pixels = nullptr;
  if (new_width < 1 || new_height < 1) {
    row_pitch = width = height = 0;
    clear_dirty_area();
  } else {
    if (width > 0 && height > 0) extend_dirty_area(0, 0, width - 1, height - 1);
    INT_S32 pitch = pitch_for(new_width, row_alignment);
    INT_U32* block = pitch <= 0x7FFF ? allocate_block(pitch, new_height) : nullptr;
    if (!block) {
      row_pitch = width = height = 0;
      clear_dirty_area();
      raise_error(0x20);
    }
    width = new_width;
    height = new_height;
    row_pitch = (INT_S16)pitch;
    pixels = block;
  }
  set_clip(0, 0, width - 1, height - 1);
  clip_enabled = 1;
}

void IMAGE::set_clip(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  INT_S32 low_x = origin_x, high_x = origin_x + width - 1;
  INT_S32 low_y = origin_y, high_y = origin_y + height - 1;
  // Raised to the lower bound first, then lowered to the upper one: an empty image gives -1.
  auto fit = [](INT_S32 value, INT_S32 low, INT_S32 high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return (INT_S16)value;
  };
  clip.x1 = fit(x1, low_x, high_x);
  clip.x2 = fit(x2, low_x, high_x);
  clip.y1 = fit(y1, low_y, high_y);
  clip.y2 = fit(y2, low_y, high_y);
}

void IMAGE::intersect_clip(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  IMAGE_AREA old = clip;
  set_clip(x1, y1, x2, y2);
  IMAGE_AREA box = clip;
  bool unset = old.x1 == -1 || old.x2 == -1 || old.y1 == -1 || old.y2 == -1;
  if (!unset && box.x1 <= old.x2 && box.x2 >= old.x1 && box.y1 <= old.y2 && box.y2 >= old.y1) {
    clip.x1 = std::max(box.x1, old.x1);
    clip.y1 = std::max(box.y1, old.y1);
    clip.x2 = std::min(box.x2, old.x2);
    clip.y2 = std::min(box.y2, old.y2);
  } else {
    clip.x1 = clip.x2 = clip.y1 = clip.y2 = -1;
  }
}

void IMAGE::extend_dirty_area(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  INT_S32 end_x = origin_x + width, end_y = origin_y + height;
  auto fit = [](INT_S32 value, INT_S32 low, INT_S32 end) {
    if (value < low) value = low;
    if (value >= end) value = end - 1;
    return (INT_S16)value;
  };
  x1 = fit(x1, origin_x, end_x);
  x2 = fit(x2, origin_x, end_x);
  y1 = fit(y1, origin_y, end_y);
  y2 = fit(y2, origin_y, end_y);
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (dirty.x1 == -1 || x1 < dirty.x1) dirty.x1 = x1;
  if (dirty.y1 == -1 || y1 < dirty.y1) dirty.y1 = y1;
  if (dirty.x2 == -1 || x2 > dirty.x2) dirty.x2 = x2;
  if (dirty.y2 == -1 || y2 > dirty.y2) dirty.y2 = y2;
}

void IMAGE::extend_dirty_in_clip(INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2) {
  if (!can_draw()) return;
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  x1 = std::max<INT_S32>(x1, clip.x1);
  y1 = std::max<INT_S32>(y1, clip.y1);
  x2 = std::min<INT_S32>(x2, clip.x2);
  y2 = std::min<INT_S32>(y2, clip.y2);
  if (x1 <= x2 && y1 <= y2) extend_dirty_area((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2);
}

bool IMAGE::box_in_clip(INT_S32 x, INT_S32 y, INT_S32 box_width, INT_S32 box_height, IMAGE_AREA* box) const {
  if (!pixels || !can_draw()) return false;
  INT_S32 x1 = std::max<INT_S32>(x, clip.x1), x2 = std::min<INT_S32>(x + box_width - 1, clip.x2);
  INT_S32 y1 = std::max<INT_S32>(y, clip.y1), y2 = std::min<INT_S32>(y + box_height - 1, clip.y2);
  if (x1 > x2 || y1 > y2) return false;
  *box = {(INT_S16)x1, (INT_S16)x2, (INT_S16)y1, (INT_S16)y2};
  return true;
}

// ----------------------------------------------------------------------------------------------------
// Copying
// ----------------------------------------------------------------------------------------------------

void IMAGE::blit(IMAGE* source, INT_S16 source_x, INT_S16 source_y, INT_S16 target_x, INT_S16 target_y,
                 INT_S16 copy_width, INT_S16 copy_height, INT_S32 mode) {
  if (!can_draw() || !source || !pixels || !source->pixels || copy_width < 1 || copy_height < 1) return;
  INT_S32 sx = source_x, sy = source_y, tx = target_x, ty = target_y, w = copy_width, h = copy_height;
  // Against the target's clip (left and top) and the target's size.
  if (tx < clip.x1) {
    sx += clip.x1 - tx;
    w -= clip.x1 - tx;
    tx = clip.x1;
  } else if (tx >= width) {
    w = 0;
  }
  if (ty < clip.y1) {
    sy += clip.y1 - ty;
    h -= clip.y1 - ty;
    ty = clip.y1;
  } else if (ty >= height) {
    h = 0;
  }
  // Against the source's left and top.
  if (sx < 0) {
    w += sx;
    tx -= sx;
    sx = 0;
  } else if (sx >= source->width) {
    w = 0;
  }
  if (sy < 0) {
    h += sy;
    ty -= sy;
    sy = 0;
  } else if (sy >= source->height) {
    h = 0;
  }
  if (w <= 0 || h <= 0) return;
  w = std::min<INT_S32>(w, source->width - sx);
  h = std::min<INT_S32>(h, source->height - sy);
  w = std::min<INT_S32>(w, clip.x2 - tx + 1);
  h = std::min<INT_S32>(h, clip.y2 - ty + 1);
  if (w <= 0 || h <= 0) return;

  extend_dirty_area(tx, ty, tx + w - 1, ty + h - 1);
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  // The source and target may be one image: rows are taken in the order that keeps unread source
  // rows intact.
  bool bottom_up = source == this && sy < ty;
  for (INT_S32 step = 0; step < h; ++step) {
    INT_S32 row = bottom_up ? h - 1 - step : step;
    const INT_U32* from = source->pixels + (sy + row) * source->row_pitch + sx;
    INT_U32* to = pixel_at(tx, ty + row);
    switch (mode) {
      case BLIT_COPY:
        std::memmove(to, from, (size_t)w * sizeof(INT_U32));
        break;
      case BLIT_ALPHA_MASK:
        for (INT_S32 i = 0; i < w; ++i)
          to[i] = (to[i] & 0x00FFFFFF) | ((from[i] >> 24) ? 0xFF000000u : 0);
        break;
      case BLIT_ALPHA_MULTIPLY:
        for (INT_S32 i = 0; i < w; ++i) {
          INT_U32 alpha = (to[i] >> 24) * (from[i] >> 24) / 255;
          to[i] = (to[i] & 0x00FFFFFF) | (alpha << 24);
        }
        break;
      default:
        if (source == this && sy == ty && sx < tx) {
          for (INT_S32 i = w - 1; i >= 0; --i) blend_pixel(&to[i], from[i], threshold);
        } else {
          for (INT_S32 i = 0; i < w; ++i) blend_pixel(&to[i], from[i], threshold);
        }
        break;
    }
  }
}

void blit_to_screen(IMAGE* source, INT_S16 target_x, INT_S16 target_y, INT_S16 source_x, INT_S16 source_y,
                    INT_S16 copy_width, INT_S16 copy_height, IMAGE* target, INT_S32 mode) {
  if (!target) target = get_screen_image(0);
  if (!target || target == source) return;
  target->blit(source, source_x, source_y, target_x, target_y, copy_width, copy_height, mode);
}

void blend_pictures(IMAGE* target, INT_S16 x, INT_S16 y, const IMAGE* under, const IMAGE* over, INT_U8 alpha) {
  const IMAGE* picture = under ? under : over;
  if (!target || !picture || (under && !under->pixels) || (over && !over->pixels)) return;
  INT_S32 w = picture->width, h = picture->height;
  if (under && over) w = std::min(under->width, over->width), h = std::min(under->height, over->height);
  IMAGE_AREA box;
  if (!target->box_in_clip(x, y, w, h, &box)) return;
  INT_S32 count = box.x2 - box.x1 + 1;
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  for (INT_S32 row = box.y1; row <= box.y2; row++) {
    COLOUR* out = target->pixel_at(box.x1, row);
    const COLOUR* from_under = under ? under->pixel_at(box.x1 - x, row - y) : out;
    const COLOUR* from_over = over ? over->pixel_at(box.x1 - x, row - y) : out;
    blend_row(out, from_under, from_over, count, alpha, threshold);
  }
  target->extend_dirty_area(box.x1, box.y1, box.x2, box.y2);
}

void IMAGE::blit_to(INT_S16 x, INT_S16 y, IMAGE* target, INT_S32 mode) {
  if (!target) target = get_screen_image(0);
  if (!target || target == this) return;
  target->blit(this, 0, 0, x, y, width, height, mode);
}

void IMAGE::grab(INT_S16 x, INT_S16 y, IMAGE* source, INT_S32 mode) {
  if (!source) source = get_screen_image(0);
  if (!source || source == this) return;
  blit(source, x, y, origin_x, origin_y, width, height, mode);
}

// ----------------------------------------------------------------------------------------------------
// Fills
// ----------------------------------------------------------------------------------------------------

void IMAGE::fill_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                           INT_U8 blend) {
  if (!can_draw() || !colour) return;
  if (!pixels) raise_error(0x02);
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x1 > clip.x2 || x2 < clip.x1 || y1 > clip.y2 || y2 < clip.y1) return;
  x1 = std::max(x1, clip.x1);
  y1 = std::max(y1, clip.y1);
  x2 = std::min(x2, clip.x2);
  y2 = std::min(y2, clip.y2);
  extend_dirty_area(x1, y1, x2, y2);
  COLOUR value = *colour;
  INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  INT_S32 count = x2 - x1 + 1;
  if (blend && (value >> 24) == 0) return;
  bool store = !blend || (value >> 24) >= threshold;
  for (INT_S32 y = y1; y <= y2; ++y) {
    INT_U32* row = pixel_at(x1, y);
    if (store) {
      for (INT_S32 i = 0; i < count; ++i) row[i] = value;
    } else {
      for (INT_S32 i = 0; i < count; ++i) blend_pixel(&row[i], value, threshold);
    }
  }
}

void IMAGE::clear(const COLOUR* colour, INT_U8 whole) {
  IMAGE_AREA saved_clip = clip;
  INT_U8 saved_enabled = clip_enabled;
  if (whole) {
    set_clip(0, 0, width - 1, height - 1);
    clip_enabled = 1;
  }
  fill_rectangle(0, 0, width - 1, height - 1, colour, 0);
  if (whole) {
    // The clip comes back exactly as it was (an unset clip stays unset).
    clip = saved_clip;
    clip_enabled = saved_enabled;
  }
}

// ----------------------------------------------------------------------------------------------------
// Whole-image pixel operations
// ----------------------------------------------------------------------------------------------------

namespace {

// The clip rectangle inside the image, after growing the dirty rectangle by it; false when empty.
bool clip_inside(IMAGE* image, IMAGE_AREA* box) {
  if (!image->pixels) return false;
  INT_S32 x1 = std::max<INT_S32>(image->origin_x, image->clip.x1);
  INT_S32 x2 = std::min<INT_S32>(image->width - 1, image->clip.x2);
  INT_S32 y1 = std::max<INT_S32>(image->origin_y, image->clip.y1);
  INT_S32 y2 = std::min<INT_S32>(image->height - 1, image->clip.y2);
  if (x1 > x2 || y1 > y2) return false;
  image->extend_dirty_area(x1, y1, x2, y2);
  *box = {(INT_S16)x1, (INT_S16)x2, (INT_S16)y1, (INT_S16)y2};
  return true;
}

// Runs op on every pixel of the clip rectangle inside the image, after growing the dirty rectangle.
template <typename OP>
void for_each_clip_pixel(IMAGE* image, OP op) {
  IMAGE_AREA box;
  if (!clip_inside(image, &box)) return;
  for (INT_S32 y = box.y1; y <= box.y2; ++y) {
    INT_U32* row = image->pixel_at(box.x1, y);
    for (INT_S32 i = 0; i <= box.x2 - box.x1; ++i) op(&row[i]);
  }
}

}  // namespace

void IMAGE::greyscale() {
  bool average = greyscale_average != 0;
  for_each_clip_pixel(this, [average](INT_U32* p) {
    INT_U32 r = (*p >> 16) & 0xFF, g = (*p >> 8) & 0xFF, b = *p & 0xFF;
    INT_U32 grey = average ? (r + g + b) / 3 : (30 * r + 59 * g + 11 * b) / 100;
    *p = (*p & 0xFF000000) | (grey << 16) | (grey << 8) | grey;
  });
}

void IMAGE::tint(const COLOUR* tint_colour) {
  if (!tint_colour) return;
  COLOUR value = *tint_colour;
  for_each_clip_pixel(this, [&value](INT_U32* p) { tint_pixel(p, &value); });
}

void IMAGE::map_channels(const COLOUR* red, const COLOUR* green, const COLOUR* blue, INT_U8 multiply_alpha) {
  if (!red || !green || !blue) return;
  for_each_clip_pixel(this, [=](INT_U32* p) {
    INT_U32 before = *p >> 24;
    map_channels_pixel(p, red, green, blue);
    if (multiply_alpha) *p = (*p & 0x00FFFFFF) | (((*p >> 24) * before / 255) << 24);
  });
}

void IMAGE::set_alpha(INT_U8 alpha, INT_U8 multiply, INT_U8 only_visible) {
  // The rule is chosen once per row, so that each loop is a plain one the compiler can vectorise.
  IMAGE_AREA box;
  if (!clip_inside(this, &box)) return;
  INT_S32 count = box.x2 - box.x1 + 1;
  INT_U32 top = (INT_U32)alpha << 24;
  for (INT_S32 y = box.y1; y <= box.y2; ++y) {
    INT_U32* row = pixel_at(box.x1, y);
    if (multiply) {
      for (INT_S32 i = 0; i < count; ++i) row[i] = (row[i] & 0x00FFFFFF) | (((row[i] >> 24) * alpha / 255) << 24);
    } else if (only_visible) {
      for (INT_S32 i = 0; i < count; ++i) row[i] = (row[i] >> 24) ? (row[i] & 0x00FFFFFF) | top : row[i];
    } else {
      for (INT_S32 i = 0; i < count; ++i) row[i] = (row[i] & 0x00FFFFFF) | top;
    }
  }
}

void IMAGE::replace_colour(const COLOUR* from, const COLOUR* to, INT_U8 rgb_only) {
  if (!from || !to) return;
  COLOUR match = *from, replacement = *to;
  for_each_clip_pixel(this, [=](INT_U32* p) {
    if (rgb_only) {
      if ((*p & 0x00FFFFFF) == (match & 0x00FFFFFF)) *p = (*p & 0xFF000000) | (replacement & 0x00FFFFFF);
    } else if (*p == match) {
      *p = replacement;
    }
  });
}

// ----------------------------------------------------------------------------------------------------
// Conversion into a presentation buffer
// ----------------------------------------------------------------------------------------------------

void IMAGE::convert_pixels(void* buffer, INT_S16 pitch, INT_S8 row_step, INT_U8 format, INT_U8 quarter_turn) {
  if (!buffer || !pixels) return;
  INT_S32 out_pitch = pitch == -1 ? width : pitch;
  bool turned = quarter_turn && (format == 1 || format == 2);
  INT_S32 out_rows = turned ? width : height;
  INT_S32 out_length = turned ? height : width;
  // Rows go top-down for a row step of 1 and bottom-up otherwise (the only two orders that stay
  // inside a buffer of out_rows rows).
  INT_S32 step = row_step == 1 ? 1 : -1;
  INT_S32 out_row = step == 1 ? 0 : out_rows - 1;
  for (INT_S32 r = 0; r < out_rows; ++r, out_row += step) {
    size_t start = (size_t)out_row * (size_t)out_pitch;
    // The pixel at position i of output row r.
    auto source = [&](INT_S32 i) -> INT_U32 {
      if (turned) return pixels[(height - 1 - i) * row_pitch + r];
      return pixels[r * row_pitch + i];
    };
    if (format == 2) {
      INT_U16* out = static_cast<INT_U16*>(buffer) + start;
      for (INT_S32 i = 0; i < out_length; ++i) {
        INT_U32 p = source(i);
        out[i] = (INT_U16)(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
      }
    } else if (format == 1) {
      INT_U32* out = static_cast<INT_U32*>(buffer) + start;
      for (INT_S32 i = 0; i < out_length; ++i) {
        INT_U32 p = source(i);
        out[i] = (p & 0xFF00FF00) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16);
      }
    } else {
      std::memcpy(static_cast<INT_U32*>(buffer) + start, pixels + r * row_pitch,
                  (size_t)out_length * sizeof(INT_U32));
    }
  }
}

// ----------------------------------------------------------------------------------------------------
// Rotation
// ----------------------------------------------------------------------------------------------------

void IMAGE::rotate(float angle) {
  // A size-locked image cannot take the turned size, so it is left as it is.
  if (size_locked) return;
  float c = std::cos(angle), s = std::sin(angle);
  INT_S32 old_width = width, old_height = height, old_pitch = row_pitch;
  float xs[4] = {0.0f, (float)old_width, 0.0f, (float)old_width};
  float ys[4] = {0.0f, 0.0f, (float)old_height, (float)old_height};
  float min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  for (int i = 0; i < 4; ++i) {
    float tx = xs[i] * c - ys[i] * s, ty = xs[i] * s + ys[i] * c;
    if (i == 0 || tx < min_x) min_x = tx;
    if (i == 0 || tx > max_x) max_x = tx;
    if (i == 0 || ty < min_y) min_y = ty;
    if (i == 0 || ty > max_y) max_y = ty;
  }
  float new_width = std::ceil(max_x - min_x), new_height = std::ceil(max_y - min_y);
  if (new_width > 32767.0f || new_height > 32767.0f) return;
  INT_U32* old_pixels = pixels;
  pixels = nullptr;
  width = height = 0;
  set_size((INT_S16)new_width, (INT_S16)new_height);
  clear(&COLOUR_INVISIBLE, 0);
  if (pixels && old_pixels) {
    for (INT_S32 j = 0; j < height; ++j) {
      INT_U32* row = pixels + j * row_pitch;
      for (INT_S32 i = 0; i < width; ++i) {
        float fx = c * (i + min_x) + s * (j + min_y);
        float fy = c * (j + min_y) - s * (i + min_x);
        // Truncated toward zero; values beyond the old size are outside anyway.
        if (!(fx > -1.0f && fx < (float)old_width && fy > -1.0f && fy < (float)old_height)) continue;
        INT_S32 sx = (INT_S32)fx, sy = (INT_S32)fy;
        if (sx >= 0 && sx < old_width && sy >= 0 && sy < old_height) row[i] = old_pixels[sy * old_pitch + sx];
      }
    }
  }
  delete[] old_pixels;
}

void IMAGE::rotate_degrees(float angle) { rotate((float)(angle * 3.1415926535898 / 180)); }

// ----------------------------------------------------------------------------------------------------
// Stored forms
// ----------------------------------------------------------------------------------------------------

namespace {

// Gives image a new pixel block of the given size, as set_size does, without the fatal error:
// false (image unchanged) when memory is short or the image is size-locked at another size.
bool prepare_size(IMAGE* image, INT_S32 new_width, INT_S32 new_height, INT_U32** block, INT_S32* pitch) {
  *block = nullptr;
  *pitch = 0;
  if (new_width < 1 || new_height < 1) return !image->size_locked || !image->pixels;
  if (image->size_locked && (new_width != image->width || new_height != image->height || !image->pixels))
    return false;
  *pitch = pitch_for(new_width, image->row_alignment);
  if (*pitch > 0x7FFF) return false;
  *block = allocate_block(*pitch, new_height);
  return *block != nullptr;
}

// Puts a block made by prepare_size into the image (the pixels become the block's).
void adopt_block(IMAGE* image, INT_S32 new_width, INT_S32 new_height, INT_U32* block, INT_S32 pitch) {
  if (!block) {
    if (!image->size_locked) image->set_size(0, 0);
    return;
  }
  if (image->size_locked) {
    // Same size as checked: keep the block the image has, take the new contents.
    for (INT_S32 y = 0; y < new_height; ++y)
      std::memcpy(image->pixels + y * image->row_pitch, block + y * pitch, (size_t)new_width * 4);
    delete[] block;
    image->extend_dirty_area(0, 0, image->width - 1, image->height - 1);
    return;
  }
  image->maximum_width = image->maximum_height = 0;
  if (image->pixels && image->width > 0 && image->height > 0)
    image->extend_dirty_area(0, 0, image->width - 1, image->height - 1);
  delete[] image->pixels;
  image->pixels = block;
  image->width = (INT_S16)new_width;
  image->height = (INT_S16)new_height;
  image->row_pitch = (INT_S16)pitch;
  image->set_clip(0, 0, image->width - 1, image->height - 1);
  image->clip_enabled = 1;
}

}  // namespace

bool IMAGE::set_size_from_file(INT_S16 new_width, INT_S16 new_height) {
  INT_U32* block = nullptr;
  INT_S32 pitch = 0;
  if (!prepare_size(this, new_width, new_height, &block, &pitch)) return false;
  adopt_block(this, new_width, new_height, block, pitch);
  return true;
}

bool IMAGE::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  char magic[10];
  INT_U8 version = 0;
  INT_U16 stored_width = 0, stored_height = 0;
  if (device->read(magic, 10) != 10 || std::memcmp(magic, RAW_MAGIC, 10) != 0) return false;
  if (!device->read_u8(&version) || version != RAW_VERSION) return false;
  if (!device->read_u16(&stored_width) || !device->read_u16(&stored_height)) return false;
  // Sizes that the image cannot hold or the stream does not carry are refused before allocating.
  if (stored_width > 0x7FFF || stored_height > 0x7FFF) return false;
  INT_S32 w = stored_width, h = stored_height;
  if (w == 0 || h == 0) w = h = 0;
  if ((INT_U64)w * (INT_U64)h * 4 > device->bytes_left()) return false;
  INT_U32* block = nullptr;
  INT_S32 pitch = 0;
  if (!prepare_size(this, w, h, &block, &pitch)) return false;
  for (INT_S32 y = 0; y < h; ++y) {
    INT_U32* row = block + y * pitch;
    if (device->read(row, w * 4) != w * 4) {
      device->failed = 1;
      delete[] block;
      return false;
    }
    if (device->swap_bytes)
      for (INT_S32 x = 0; x < w; ++x) swap_value_bytes(&row[x], 4);
  }
  adopt_block(this, w, h, block, pitch);
  return true;
}

bool IMAGE::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  bool ok = device->write(RAW_MAGIC, 10) == 10;
  if (!ok) device->failed = 1;
  ok = device->write_u8(RAW_VERSION) && ok;
  ok = device->write_u16((INT_U16)width) && ok;
  ok = device->write_u16((INT_U16)height) && ok;
  if (!ok) return false;
  if (!pixels) return true;
  for (INT_S32 y = 0; y < height; ++y) {
    const INT_U32* row = pixels + y * row_pitch;
    if (device->swap_bytes) {
      for (INT_S32 x = 0; x < width; ++x)
        if (!device->write_u32(row[x])) return false;
    } else if (device->write(row, width * 4) != width * 4) {
      device->failed = 1;
      return false;
    }
  }
  return true;
}

bool IMAGE::from_bytes(const INT_U8* bytes, INT_S32 byte_count) {
  if (!bytes) return false;
  if (byte_count != -1 && byte_count < 5) return false;
  INT_S32 w = (bytes[1] << 8) | bytes[2];
  INT_S32 h = (bytes[3] << 8) | bytes[4];
  if (w > 0x7FFF || h > 0x7FFF) return false;
  if (w == 0 || h == 0) w = h = 0;
  if (byte_count != -1 && (INT_S64)w * h * 4 > (INT_S64)byte_count - 5) return false;
  INT_U32* block = nullptr;
  INT_S32 pitch = 0;
  if (!prepare_size(this, w, h, &block, &pitch)) return false;
  const INT_U8* at = bytes + 5;
  for (INT_S32 y = 0; y < h; ++y) {
    INT_U32* row = block + y * pitch;
    for (INT_S32 x = 0; x < w; ++x, at += 4)
      row[x] = (INT_U32)at[0] | ((INT_U32)at[1] << 8) | ((INT_U32)at[2] << 16) | ((INT_U32)at[3] << 24);
  }
  adopt_block(this, w, h, block, pitch);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Logos
// ---------------------------------------------------------------------------------------------------

namespace {

// A built-in pixel block: version 1, u16 width and height most significant byte first, then the
// pixels as little-endian 0xAARRGGBB values, rows from the top. The logos are drawn once into
// such blocks: a blue plate with a lighter rim and a white chevron.
std::vector<INT_U8> make_logo_block(INT_S32 width, INT_S32 height) {
  std::vector<INT_U8> block;
  block.reserve(5 + static_cast<size_t>(width * height * 4));
  block.push_back(1);
  block.push_back(static_cast<INT_U8>(width >> 8));
  block.push_back(static_cast<INT_U8>(width));
  block.push_back(static_cast<INT_U8>(height >> 8));
  block.push_back(static_cast<INT_U8>(height));
  INT_S32 stroke = height / 8;
  for (INT_S32 y = 0; y < height; ++y) {
    for (INT_S32 x = 0; x < width; ++x) {
      bool rim = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
      // The chevron: two strokes from the top corners of a centred square meeting at its bottom.
      INT_S32 centre = width / 2;
      INT_S32 reach = (height - 2 * stroke) / 2;
      INT_S32 dy = y - stroke;
      INT_S32 dx = x > centre ? x - centre : centre - x;
      bool chevron = dy >= 0 && dy < height - 2 * stroke && dx <= reach && (reach - dx) * 2 >= dy &&
                     (reach - dx) * 2 < dy + 2 * stroke;
      INT_U32 shade = static_cast<INT_U32>(0x60 + 0x80 * y / height);
      INT_U32 colour = 0xFF000000u | (shade / 4) << 16 | (shade / 2) << 8 | shade;
      if (rim) colour = 0xFF90B8FFu;
      if (chevron) colour = 0xFFFFFFFFu;
      block.push_back(static_cast<INT_U8>(colour));
      block.push_back(static_cast<INT_U8>(colour >> 8));
      block.push_back(static_cast<INT_U8>(colour >> 16));
      block.push_back(static_cast<INT_U8>(colour >> 24));
    }
  }
  return block;
}

const std::vector<INT_U8>& small_logo() {
  static const std::vector<INT_U8> block = make_logo_block(80, 75);
  return block;
}

const std::vector<INT_U8>& large_logo() {
  static const std::vector<INT_U8> block = make_logo_block(195, 80);
  return block;
}

}  // namespace

const INT_U8* small_logo_block(INT_S32* size) {
  if (size) *size = static_cast<INT_S32>(small_logo().size());
  return small_logo().data();
}

const INT_U8* large_logo_block(INT_S32* size) {
  if (size) *size = static_cast<INT_S32>(large_logo().size());
  return large_logo().data();
}

void make_small_logo_image(IMAGE* image) {
  INT_S32 size = 0;
  const INT_U8* block = small_logo_block(&size);
  if (image) image->from_bytes(block, size);
}

void make_large_logo_image(IMAGE* image) {
  INT_S32 size = 0;
  const INT_U8* block = large_logo_block(&size);
  if (image) image->from_bytes(block, size);
}
