// Tests of image scaling: size rules (lock, keep aspect, maxima, settling), nearest-neighbour pixels
// and the bilinear resampler's exact values on small images.
#include <gtest/gtest.h>

#include "image.h"
#include "scale.h"

namespace {

COLOUR at(const IMAGE& image, int x, int y) { return *image.pixel_at(x, y); }

void number_pixels(IMAGE& image) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) *image.pixel_at(x, y) = 0xFF000000u | (y << 8) | x;
}

}  // namespace

TEST(Scale, KeepAspectPicksTheLeadingSide) {
  IMAGE image(100, 50);
  image.keep_aspect = 1;
  image.scale(200, 0xFFFF, false);
  EXPECT_EQ(image.width, 200);
  EXPECT_EQ(image.height, 100);
  EXPECT_EQ(image.keep_aspect, 1);

  IMAGE both(100, 50);
  both.keep_aspect = 1;
  both.scale(200, 200, false);  // height ratio 4 beats width ratio 2
  EXPECT_EQ(both.width, 400);
  EXPECT_EQ(both.height, 200);

  IMAGE by_height(100, 50);
  by_height.keep_aspect = 1;
  by_height.scale(0xFFFF, 25, false);
  EXPECT_EQ(by_height.width, 50);
  EXPECT_EQ(by_height.height, 25);
}

TEST(Scale, KeepAspectSettlesWithinBothMaxima) {
  IMAGE image(100, 50);
  image.keep_aspect = 1;
  image.maximum_width = 150;
  image.maximum_height = 60;
  image.scale(300, 0xFFFF, false);  // width 150 derives height 75: pinned to 60, width 120
  EXPECT_EQ(image.width, 120);
  EXPECT_EQ(image.height, 60);
  EXPECT_EQ(image.maximum_width, 150);
  EXPECT_EQ(image.maximum_height, 60);

  IMAGE tall(50, 100);
  tall.keep_aspect = 1;
  tall.maximum_width = 40;
  tall.scale(0xFFFF, 200, false);  // height leads, width 100 pinned to 40
  EXPECT_EQ(tall.width, 40);
  EXPECT_EQ(tall.height, 80);
}

TEST(Scale, MaximaWithoutKeepAspect) {
  IMAGE image(10, 10);
  image.maximum_width = 15;
  image.scale(40, 12, false);
  EXPECT_EQ(image.width, 15);
  EXPECT_EQ(image.height, 12);
}

TEST(Scale, EmptyLockedAndNegative) {
  IMAGE empty;
  empty.keep_aspect = 1;
  empty.scale(20, 0xFFFF, true);  // no shape to keep: the missing side stays 0
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.pixels, nullptr);
  empty.scale(20, 10, true);  // the given size, nothing to copy
  EXPECT_EQ(empty.width, 20);
  EXPECT_EQ(empty.height, 10);
  EXPECT_EQ(at(empty, 19, 9), 0u);

  IMAGE locked(4, 4);
  locked.size_locked = 1;
  locked.scale(8, 8, false);
  EXPECT_EQ(locked.width, 4);

  IMAGE negative(4, 4);
  negative.scale(0x8000, 8, false);
  EXPECT_EQ(negative.width, 4);

  IMAGE to_zero(4, 4);
  to_zero.scale(0, 4, true);
  EXPECT_EQ(to_zero.width, 0);
  EXPECT_EQ(to_zero.pixels, nullptr);
}

TEST(Scale, SameSizeKeepsPixelsAndMarksDirty) {
  IMAGE image(3, 3);
  number_pixels(image);
  image.clear_dirty_area();
  image.scale(3, 3, true);
  EXPECT_EQ(at(image, 2, 1), 0xFF000102u);
  EXPECT_EQ(image.dirty.x1, 0);
  EXPECT_EQ(image.dirty.x2, 2);
  EXPECT_EQ(image.dirty.y2, 2);
}

TEST(Scale, NearestNeighbour) {
  IMAGE image(3, 2);
  number_pixels(image);
  image.scale(6, 4, false);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(image, x, y), 0xFF000000u | ((y / 2) << 8) | (x / 2));

  IMAGE big(8, 6);
  number_pixels(big);
  big.scale(4, 3, false);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(at(big, x, y), 0xFF000000u | ((2 * y) << 8) | (2 * x));
}

TEST(Scale, SmoothExactValues) {
  IMAGE image(2, 1);
  *image.pixel_at(0, 0) = 0xFF000000;
  *image.pixel_at(1, 0) = 0xFFFFFFFF;
  image.scale(4, 1, true);
  EXPECT_EQ(at(image, 0, 0), 0xFF000000u);
  EXPECT_EQ(at(image, 1, 0), 0xFE7F7F7Fu);  // each product truncated: 127 + 127 alpha
  EXPECT_EQ(at(image, 2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(at(image, 3, 0), 0xFFFFFFFFu);
}

TEST(Scale, SmoothReductionOfUniformColour) {
  IMAGE image(9, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) *image.pixel_at(x, y) = 0xC8647896;
  image.scale(4, 3, true);
  ASSERT_EQ(image.width, 4);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      COLOUR p = at(image, x, y);
      for (int shift = 0; shift < 32; shift += 8) {
        int value = (p >> shift) & 0xFF, original = (0xC8647896u >> shift) & 0xFF;
        EXPECT_LE(value, original);
        EXPECT_GE(value, original - 6);
      }
    }
}

TEST(Scale, ResamplerWithRowPitch) {
  // Source and destination pitches wider than the rows.
  INT_U32 source[2 * 3] = {0xFF0000FF, 0xFF0000FF, 0xDEADBEEF, 0xFF0000FF, 0xFF0000FF, 0xDEADBEEF};
  INT_U32 destination[3 * 4];
  for (INT_U32& p : destination) p = 0x12345678;
  C2PassScale<CBilinearFilter> resampler;
  ASSERT_EQ(resampler.Resample(source, 2, 3, 2, destination, 3, 4, 3), destination);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(destination[y * 4 + x], 0xFF0000FFu) << x << "," << y;
    EXPECT_EQ(destination[y * 4 + 3], 0x12345678u);
  }
}
