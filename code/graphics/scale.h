// Image scaling: IMAGE::scale (code/graphics/image.h) resizes in place by nearest neighbour or with the
// two-pass separable resampler declared here, which scales every row and then every column with a
// bilinear (tent) filter.
#pragma once
#include "types.h"

// 1 for the whole run: callers without a smoothing choice of their own pass smooth = (switch is 0).
extern INT_U8 smooth_scaling_off;

// Base of the resampling filters.
class CGenericFilter {
public:
  double width;
  explicit CGenericFilter(double filter_width) : width(filter_width) {}
  virtual ~CGenericFilter() {}
  virtual double Weight(double x) = 0;
};

// The tent filter of width 1.
class CBilinearFilter : public CGenericFilter {
public:
  CBilinearFilter() : CGenericFilter(1.0) {}
  double Weight(double x) override {
    double distance = x < 0 ? -x : x;
    return distance < width ? width - distance : 0.0;
  }
};

// Progress callback of the resampler: false cancels.
typedef bool (*SCALE_PROGRESS_CALLBACK)();

// Two-pass resampler: rows into a temporary buffer, then columns into the destination.
template <class FILTER>
class C2PassScale {
public:
  SCALE_PROGRESS_CALLBACK callback = nullptr;
  INT_U8 cancelled = 0;

  explicit C2PassScale(SCALE_PROGRESS_CALLBACK progress = nullptr) : callback(progress) {}
  virtual ~C2PassScale() {}

  // Scales source into destination (both 0xAARRGGBB, pitches in pixels); the destination, or null when
  // cancelled or memory is short.
  INT_U32* Resample(const INT_U32* source, INT_U32 source_width, INT_U32 source_pitch, INT_U32 source_height,
                    INT_U32* destination, INT_U32 destination_width, INT_U32 destination_pitch,
                    INT_U32 destination_height);

  // One weight table entry per destination pixel: window weights over source indices first .. last.
  struct CONTRIBUTION {
    double* weights;
    INT_S32 first;
    INT_S32 last;
  };
  struct WEIGHT_TABLE {
    CONTRIBUTION* entries;
    INT_U32 count;
    INT_U32 window_size;
  };

  WEIGHT_TABLE* NewWeights(INT_U32 count, INT_U32 window_size);
  void FreeWeights(WEIGHT_TABLE* table);
  WEIGHT_TABLE* BuildWeights(INT_U32 source_length, INT_U32 destination_length);
  void ResampleRow(const INT_U32* source, INT_U32* destination, INT_U32 destination_width,
                   const WEIGHT_TABLE* table);
  void ResampleColumn(const INT_U32* source, INT_U32 source_pitch, INT_U32* destination,
                      INT_U32 destination_pitch, INT_U32 destination_height, const WEIGHT_TABLE* table);
  bool HorizontalPass(const INT_U32* source, INT_U32 source_width, INT_U32 source_pitch, INT_U32 source_height,
                      INT_U32* destination, INT_U32 destination_width, INT_U32 destination_pitch);
  bool VerticalPass(const INT_U32* source, INT_U32 source_width, INT_U32 source_pitch, INT_U32 source_height,
                    INT_U32* destination, INT_U32 destination_pitch, INT_U32 destination_height);
};

// The one instantiation the library uses (defined in code/graphics/scale.cpp).
extern template class C2PassScale<CBilinearFilter>;
