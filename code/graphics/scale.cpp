// Image scaling: IMAGE::scale with its size rules (lock, keep aspect, maxima), nearest-neighbour
// resampling in 16.16 fixed point, and the two-pass bilinear resampler.
#include "scale.h"

#include <cmath>
#include <cstring>
#include <new>

#include "image.h"

INT_U8 smooth_scaling_off = 1;

template <class FILTER>
typename C2PassScale<FILTER>::WEIGHT_TABLE* C2PassScale<FILTER>::NewWeights(INT_U32 count, INT_U32 window_size) {
  WEIGHT_TABLE* table = new (std::nothrow) WEIGHT_TABLE;
  if (!table) return nullptr;
  table->count = count;
  table->window_size = window_size;
  table->entries = new (std::nothrow) CONTRIBUTION[count];
  double* weights = new (std::nothrow) double[(size_t)count * window_size];
  if (!table->entries || !weights) {
    delete[] table->entries;
    delete[] weights;
    delete table;
    return nullptr;
  }
  for (INT_U32 u = 0; u < count; ++u) {
    table->entries[u].weights = weights + (size_t)u * window_size;
    table->entries[u].first = 0;
    table->entries[u].last = -1;
  }
  return table;
}

template <class FILTER>
void C2PassScale<FILTER>::FreeWeights(WEIGHT_TABLE* table) {
  if (!table) return;
  if (table->count > 0) delete[] table->entries[0].weights;
  delete[] table->entries;
  delete table;
}

template <class FILTER>
typename C2PassScale<FILTER>::WEIGHT_TABLE* C2PassScale<FILTER>::BuildWeights(INT_U32 source_length,
                                                                              INT_U32 destination_length) {
  FILTER filter;
  double scale = (double)destination_length / (double)source_length;
  double w = filter.width, f = 1.0;
  if (scale < 1.0) {
    w = filter.width / scale;
    f = scale;
  }
  INT_U32 window = 2 * (INT_U32)std::ceil(w) + 2;
  WEIGHT_TABLE* table = NewWeights(destination_length, window);
  if (!table) return nullptr;
  for (INT_U32 u = 0; u < destination_length; ++u) {
    double centre = u / scale;
    INT_S32 first = (INT_S32)std::floor(centre - w), last = (INT_S32)std::ceil(centre + w);
    if (first < 0) first = 0;
    if (last > (INT_S32)source_length - 1) last = (INT_S32)source_length - 1;
    if (last - first + 1 > (INT_S32)window) {
      if (first < ((INT_S32)source_length - 1) / 2) ++first;
      else --last;
    }
    if (last - first + 1 > (INT_S32)window) last = first + (INT_S32)window - 1;
    CONTRIBUTION& entry = table->entries[u];
    entry.first = first;
    entry.last = last;
    double total = 0.0;
    for (INT_S32 i = first; i <= last; ++i) {
      double weight = filter.Weight(std::fabs(centre - i) * f) * f;
      entry.weights[i - first] = weight;
      total += weight;
    }
    if (total < 0.0) {
      FreeWeights(table);
      return nullptr;
    }
    if (total > 0.0)
      for (INT_S32 i = first; i <= last; ++i) entry.weights[i - first] /= total;
  }
  return table;
}

namespace {

// Adds each channel of pixel times weight, every product truncated toward zero.
inline void accumulate(INT_S32 sums[4], INT_U32 pixel, double weight) {
  sums[0] += (INT_S32)(((pixel >> 24) & 0xFF) * weight);
  sums[1] += (INT_S32)(((pixel >> 16) & 0xFF) * weight);
  sums[2] += (INT_S32)(((pixel >> 8) & 0xFF) * weight);
  sums[3] += (INT_S32)((pixel & 0xFF) * weight);
}

inline INT_U32 pack(const INT_S32 sums[4]) {
  INT_U32 result = 0;
  for (int i = 0; i < 4; ++i) {
    INT_S32 value = sums[i] < 0 ? 0 : (sums[i] > 255 ? 255 : sums[i]);
    result = (result << 8) | (INT_U32)value;
  }
  return result;
}

}  // namespace

template <class FILTER>
void C2PassScale<FILTER>::ResampleRow(const INT_U32* source, INT_U32* destination, INT_U32 destination_width,
                                      const WEIGHT_TABLE* table) {
  for (INT_U32 x = 0; x < destination_width; ++x) {
    const CONTRIBUTION& entry = table->entries[x];
    INT_S32 sums[4] = {0, 0, 0, 0};
    for (INT_S32 i = entry.first; i <= entry.last; ++i) accumulate(sums, source[i], entry.weights[i - entry.first]);
    destination[x] = pack(sums);
  }
}

template <class FILTER>
void C2PassScale<FILTER>::ResampleColumn(const INT_U32* source, INT_U32 source_pitch, INT_U32* destination,
                                         INT_U32 destination_pitch, INT_U32 destination_height,
                                         const WEIGHT_TABLE* table) {
  for (INT_U32 y = 0; y < destination_height; ++y) {
    const CONTRIBUTION& entry = table->entries[y];
    INT_S32 sums[4] = {0, 0, 0, 0};
    for (INT_S32 i = entry.first; i <= entry.last; ++i)
      accumulate(sums, source[(size_t)i * source_pitch], entry.weights[i - entry.first]);
    destination[(size_t)y * destination_pitch] = pack(sums);
  }
}

template <class FILTER>
bool C2PassScale<FILTER>::HorizontalPass(const INT_U32* source, INT_U32 source_width, INT_U32 source_pitch,
                                         INT_U32 source_height, INT_U32* destination, INT_U32 destination_width,
                                         INT_U32 destination_pitch) {
  WEIGHT_TABLE* table = BuildWeights(source_width, destination_width);
  if (!table) return false;
  for (INT_U32 y = 0; y < source_height; ++y) {
    if (callback && !callback()) {
      cancelled = 1;
      break;
    }
    ResampleRow(source + (size_t)y * source_pitch, destination + (size_t)y * destination_pitch, destination_width,
                table);
  }
  FreeWeights(table);
  return true;
}

template <class FILTER>
bool C2PassScale<FILTER>::VerticalPass(const INT_U32* source, INT_U32 source_width, INT_U32 source_pitch,
                                       INT_U32 source_height, INT_U32* destination, INT_U32 destination_pitch,
                                       INT_U32 destination_height) {
  WEIGHT_TABLE* table = BuildWeights(source_height, destination_height);
  if (!table) return false;
  for (INT_U32 x = 0; x < source_width; ++x) {
    if (callback && !callback()) {
      cancelled = 1;
      break;
    }
    ResampleColumn(source + x, source_pitch, destination + x, destination_pitch, destination_height, table);
  }
  FreeWeights(table);
  return true;
}

template <class FILTER>
INT_U32* C2PassScale<FILTER>::Resample(const INT_U32* source, INT_U32 source_width, INT_U32 source_pitch,
                                       INT_U32 source_height, INT_U32* destination, INT_U32 destination_width,
                                       INT_U32 destination_pitch, INT_U32 destination_height) {
  cancelled = 0;
  if (!source || !destination || source_width == 0 || source_height == 0 || destination_width == 0 ||
      destination_height == 0)
    return nullptr;
  size_t count = (size_t)source_height * destination_pitch;
  INT_U32* temporary = new (std::nothrow) INT_U32[count];
  if (!temporary) return nullptr;
  std::memset(temporary, 0, count * sizeof(INT_U32));
  bool ok = HorizontalPass(source, source_width, source_pitch, source_height, temporary, destination_width,
                           destination_pitch);
  if (ok && !cancelled)
    ok = VerticalPass(temporary, destination_width, destination_pitch, source_height, destination,
                      destination_pitch, destination_height);
  delete[] temporary;
  return ok && !cancelled ? destination : nullptr;
}

template class C2PassScale<CBilinearFilter>;

void IMAGE::scale(INT_U16 new_width, INT_U16 new_height, bool smooth) {
  if (size_locked) return;
  const INT_U16 KEEP = 0xFFFF;
  INT_S32 current_width = width, current_height = height;
  // Keep-aspect needs a shape to keep: an empty image takes the sizes as given.
  bool aspect = keep_aspect && current_width > 0 && current_height > 0 && (new_width != KEEP || new_height != KEEP);
  bool width_leads = false;
  if (aspect) {
    if (new_height == KEEP) width_leads = true;
    else if (new_width == KEEP) width_leads = false;
    else width_leads = (double)new_width / current_width > (double)new_height / current_height;
  }
  INT_S32 w = new_width == KEEP ? current_width : (INT_S16)new_width;
  INT_S32 h = new_height == KEEP ? current_height : (INT_S16)new_height;
  if (w < 0 || h < 0) return;
  if (maximum_width > 0 && w > maximum_width) w = maximum_width;
  if (maximum_height > 0 && h > maximum_height) h = maximum_height;
  if (aspect) {
    if (width_leads) {
      h = (INT_S32)((double)w * current_height / current_width);
      if (maximum_height > 0 && h > maximum_height) {
        // Settled once: the derived side is pinned to its maximum and the other derived from it.
        h = maximum_height;
        w = (INT_S32)((double)current_width * h / current_height);
        smooth = smooth_scaling_off == 0;
      }
    } else {
      w = (INT_S32)((double)current_width * h / current_height);
      if (maximum_width > 0 && w > maximum_width) {
        w = maximum_width;
        h = (INT_S32)((double)w * current_height / current_width);
        smooth = smooth_scaling_off == 0;
      }
    }
    if (w > 0x7FFF || h > 0x7FFF) return;
  }
  if (w == current_width && h == current_height) {
    if (width > 0 && height > 0) extend_dirty_area(0, 0, width - 1, height - 1);
    return;
  }

  INT_U32* old_pixels = pixels;
  INT_S32 old_width = width, old_height = height, old_pitch = row_pitch;
  INT_S16 kept_maximum_width = maximum_width, kept_maximum_height = maximum_height;
  pixels = nullptr;
  set_size((INT_S16)w, (INT_S16)h);
  maximum_width = kept_maximum_width;
  maximum_height = kept_maximum_height;
  if (!old_pixels) return;
  if (!pixels || width == 0 || height == 0) {
    delete[] old_pixels;
    return;
  }
  if (!smooth) {
    INT_U64 step_x = ((INT_U64)old_width << 16) / (INT_U64)width;
    INT_U64 step_y = ((INT_U64)old_height << 16) / (INT_U64)height;
    INT_U64 accumulator_y = 0;
    for (INT_S32 r = 0; r < height; ++r, accumulator_y += step_y) {
      const INT_U32* from = old_pixels + (size_t)(accumulator_y >> 16) * old_pitch;
      INT_U32* to = pixels + (size_t)r * row_pitch;
      INT_U64 accumulator_x = 0;
      for (INT_S32 c = 0; c < width; ++c, accumulator_x += step_x) to[c] = from[accumulator_x >> 16];
    }
  } else {
    C2PassScale<CBilinearFilter> resampler;
    resampler.Resample(old_pixels, old_width, old_pitch, old_height, pixels, width, row_pitch, height);
  }
  delete[] old_pixels;
}
