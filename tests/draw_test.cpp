// Tests of the drawing primitives: exact pixels of lines, outlines, gradients, darkened and XOR boxes,
// shaded boxes, rounded outlines and anti-aliased circles, their clipping and dirty rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "data_file.h"
#include "draw.h"
#include "errors.h"
#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_file.h"
#include "test_support.h"

namespace {

const COLOUR RED = 0xFFFF0000;
const COLOUR BLACK = 0xFF000000;

COLOUR at(const IMAGE& image, int x, int y) { return *image.pixel_at(x, y); }

// The coordinates of every pixel that is not 0.
std::set<std::pair<int, int>> set_pixels(const IMAGE& image) {
  std::set<std::pair<int, int>> result;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (at(image, x, y) != 0) result.insert({x, y});
  return result;
}

std::set<int> rows_with_pixels(const IMAGE& image) {
  std::set<int> rows;
  for (const auto& p : set_pixels(image)) rows.insert(p.second);
  return rows;
}

void expect_dirty(const IMAGE& image, int x1, int y1, int x2, int y2) {
  EXPECT_EQ(image.dirty.x1, x1);
  EXPECT_EQ(image.dirty.y1, y1);
  EXPECT_EQ(image.dirty.x2, x2);
  EXPECT_EQ(image.dirty.y2, y2);
}

}  // namespace

TEST(DrawLine, SteppingAndEnds) {
  IMAGE image(8, 8);
  image.clear_dirty_area();
  image.draw_line(0, 0, 4, 2, &RED, 1, 0);
  std::set<std::pair<int, int>> expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}};
  EXPECT_EQ(set_pixels(image), expected);
  expect_dirty(image, 0, 0, 4, 2);

  IMAGE reversed(8, 8);
  reversed.draw_line(4, 2, 0, 0, &RED, 1, 0);
  EXPECT_EQ(set_pixels(reversed), expected);

  IMAGE steep(8, 8);
  steep.draw_line(1, 0, 3, 4, &RED, 1, 0);
  std::set<std::pair<int, int>> steep_expected = {{1, 0}, {1, 1}, {2, 2}, {2, 3}, {3, 4}};
  EXPECT_EQ(set_pixels(steep), steep_expected);
}

TEST(DrawLine, ZeroLengthLineIsItsPoint) {
  IMAGE image(5, 5);
  image.draw_line(2, 2, 2, 2, &RED, 1, 0);
  std::set<std::pair<int, int>> expected = {{2, 2}};
  EXPECT_EQ(set_pixels(image), expected);
}

TEST(DrawLine, ThicknessAndClip) {
  IMAGE image(30, 30);
  image.draw_line(10, 10, 20, 10, &RED, 3, 0);
  EXPECT_EQ(rows_with_pixels(image), (std::set<int>{9, 10, 11}));
  IMAGE two(30, 30);
  two.draw_line(10, 10, 20, 10, &RED, 2, 0);
  EXPECT_EQ(rows_with_pixels(two), (std::set<int>{9, 10}));

  IMAGE clipped(10, 10);
  clipped.set_clip(2, 0, 5, 9);
  clipped.draw_line(-5, 3, 20, 3, &RED, 1, 0);
  std::set<std::pair<int, int>> expected = {{2, 3}, {3, 3}, {4, 3}, {5, 3}};
  EXPECT_EQ(set_pixels(clipped), expected);
  // Columns past both ends of the clip (one given bottom up, one blended) and a row beside the clip.
  IMAGE columns(10, 10);
  columns.set_clip(0, 2, 9, 5);
  columns.draw_line(4, 20, 4, -5, &RED, 1, 0);
  columns.draw_line(7, 0, 7, 9, &RED, 1, 1);
  columns.draw_line(0, 8, 9, 8, &RED, 1, 0);
  std::set<std::pair<int, int>> columns_expected = {{4, 2}, {4, 3}, {4, 4}, {4, 5}, {7, 2}, {7, 3}, {7, 4}, {7, 5}};
  EXPECT_EQ(set_pixels(columns), columns_expected);

  // Blended: half red over black.
  IMAGE blended(3, 1);
  COLOUR black = BLACK;
  blended.clear(&black, 1);
  COLOUR half = 0x80FF0000;
  blended.draw_line(0, 0, 2, 0, &half, 1, 1);
  EXPECT_EQ(at(blended, 1, 0), 0xFF7F0000u);
  blended.draw_line(0, 0, 2, 0, &half, 1, 0);
  EXPECT_EQ(at(blended, 1, 0), 0x80FF0000u);
}

// Drawing clipped to a part of the image marks only that part changed: a border drawn while a small
// region is redrawn does not make the whole box it belongs to dirty (which would be presented whole).
TEST(DrawLine, DirtyOnlyWhereTheClipLetsItDraw) {
  IMAGE image(40, 40);
  image.set_clip(10, 10, 19, 14);
  image.clear_dirty_area();
  image.draw_line(0, 12, 39, 12, &RED, 1, 0);
  expect_dirty(image, 10, 12, 19, 12);
  image.clear_dirty_area();
  image.draw_line(0, 0, 39, 0, &RED, 1, 0);  // wholly outside: nothing drawn, nothing dirty
  EXPECT_EQ(image.dirty.x1, -1);
  draw_shaded_box(&image, 0, 0, 39, 39, 2, CORNER_ALL, &RED, nullptr, 0, SHADE_BLEND);
  expect_dirty(image, 10, 10, 19, 14);
}

namespace {
void draw_invisible_line() {
  IMAGE image(4, 4);
  image.draw_line(0, 0, 3, 3, &COLOUR_INVISIBLE, 1, 0);
}
}  // namespace

TEST(DrawDeath, InvisibleColourIsFatal) {
  EXPECT_EXIT(draw_invisible_line(), ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "COLOUR_INVISIBLE");
}

TEST(DrawRectangle, SidesThicknessAndClip) {
  IMAGE image(10, 10);
  image.draw_rectangle(1, 1, 5, 4, &RED, 1, SIDE_TOP | SIDE_BOTTOM);
  std::set<std::pair<int, int>> expected;
  for (int x = 2; x <= 4; ++x) {
    expected.insert({x, 1});
    expected.insert({x, 4});
  }
  EXPECT_EQ(set_pixels(image), expected);

  IMAGE full(10, 10);
  full.draw_rectangle(5, 4, 1, 1, &RED, 1, SIDE_ALL);
  EXPECT_EQ(set_pixels(full).size(), 14u);  // each corner once

  IMAGE thick(30, 30);
  thick.clear_dirty_area();
  thick.draw_rectangle(10, 10, 20, 20, &RED, 2, SIDE_ALL);
  EXPECT_NE(at(thick, 9, 9), 0u);
  EXPECT_NE(at(thick, 21, 21), 0u);
  EXPECT_NE(at(thick, 10, 15), 0u);
  EXPECT_EQ(at(thick, 11, 15), 0u);
  EXPECT_EQ(at(thick, 8, 15), 0u);
  expect_dirty(thick, 9, 9, 21, 21);

  // The left side lies beyond the clip: not drawn, and the top and bottom rows run to the cut edge.
  IMAGE clipped(10, 10);
  clipped.set_clip(3, 0, 9, 9);
  clipped.draw_rectangle(1, 1, 6, 5, &RED, 1, SIDE_ALL);
  EXPECT_NE(at(clipped, 3, 1), 0u);
  EXPECT_NE(at(clipped, 3, 5), 0u);
  EXPECT_EQ(at(clipped, 3, 3), 0u);
  EXPECT_NE(at(clipped, 6, 3), 0u);
  EXPECT_EQ(at(clipped, 2, 1), 0u);
}

TEST(DrawGradient, HorizontalValuesAndClip) {
  IMAGE image(256, 2);
  COLOUR black = BLACK, white = 0xFFFFFFFF;
  image.fill_gradient_horizontal(0, 0, 255, 1, &black, &white, 0);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(at(image, x, 1), 0xFF000000u | (x << 16) | (x << 8) | x);

  IMAGE clipped(256, 1);
  clipped.set_clip(100, 0, 255, 0);
  clipped.fill_gradient_horizontal(0, 0, 255, 0, &black, &white, 0);
  EXPECT_EQ(at(clipped, 99, 0), 0u);
  EXPECT_EQ(at(clipped, 100, 0), 0xFF646464u);

  // Alpha is interpolated too, and blending uses it.
  IMAGE alpha(3, 1);
  COLOUR clear_red = 0x00FF0000, red = RED;
  alpha.fill_gradient_horizontal(0, 0, 2, 0, &clear_red, &red, 0);
  EXPECT_EQ(at(alpha, 1, 0), 0x7FFF0000u);
}

TEST(DrawGradient, OnePixelBoxesTakeTheFirstColour) {
  IMAGE image(4, 4);
  COLOUR left = 0xFF112233, right = 0xFF445566;
  image.fill_gradient_horizontal(1, 0, 1, 3, &left, &right, 0);
  EXPECT_EQ(at(image, 1, 2), 0xFF112233u);
  image.fill_gradient_vertical(0, 2, 3, 2, &left, &right, 0);
  EXPECT_EQ(at(image, 3, 2), 0xFF112233u);
  image.fill_gradient_vertical(0, 0, 0, 3, &left, &right, 0);
  EXPECT_EQ(at(image, 0, 0), 0xFF112233u);
  EXPECT_EQ(at(image, 0, 3), 0xFF445566u);
}

TEST(DrawDarken, PercentRules) {
  IMAGE image(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) *image.pixel_at(x, y) = 0x80C86433;
  image.clear_dirty_area();
  image.darken_rectangle(0, 0, 3, 3, 0);
  image.darken_rectangle(0, 0, 3, 3, -20);
  EXPECT_EQ(image.dirty.x1, -1);
  EXPECT_EQ(at(image, 0, 0), 0x80C86433u);
  image.darken_rectangle(0, 0, 1, 1, 50);
  EXPECT_EQ(at(image, 1, 1), 0x80643219u);
  EXPECT_EQ(at(image, 2, 2), 0x80C86433u);
  image.darken_rectangle(2, 2, 3, 3, 150);
  EXPECT_EQ(at(image, 3, 3), 0x80000000u);
}

TEST(DrawXor, TwiceRestoresColours) {
  IMAGE image(6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) *image.pixel_at(x, y) = 0x10000000u | (y * 6 + x) * 0x010203u;
  IMAGE before(6, 6);
  before.blit(&image, 0, 0, 0, 0, 6, 6, BLIT_COPY);
  COLOUR colour = 0xFF00FFFF;
  image.xor_rectangle(1, 1, 4, 4, &colour);
  EXPECT_EQ(at(image, 2, 1), (at(before, 2, 1) ^ colour) | 0xFF000000u);
  EXPECT_EQ(at(image, 1, 1), at(before, 1, 1) | 0xFF000000u);  // corners XORed twice
  EXPECT_EQ(at(image, 2, 2), at(before, 2, 2));
  image.xor_rectangle(1, 1, 4, 4, &colour);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      bool outline = (x == 1 || x == 4 || y == 1 || y == 4) && x >= 1 && x <= 4 && y >= 1 && y <= 4;
      EXPECT_EQ(at(image, x, y), outline ? at(before, x, y) | 0xFF000000u : at(before, x, y));
    }
}

TEST(DrawShadedBox, RadiusModesAndCorners) {
  EXPECT_EQ(corner_radius(nullptr, 0, 0, 29, 8), 3);

  IMAGE image(10, 10);
  COLOUR red = RED, blue = 0xFF0000FF;
  draw_shaded_box(&image, 0, 0, 1, 1, -1, CORNER_ALL, &red, &blue, 0, SHADE_BLEND);
  EXPECT_TRUE(set_pixels(image).empty());

  draw_shaded_box(&image, 0, 0, 9, 9, 3, 0, &red, &blue, 0, SHADE_BLEND);
  EXPECT_EQ(set_pixels(image).size(), 100u);

  IMAGE round(10, 10);
  draw_shaded_box(&round, 0, 0, 9, 9, 3, CORNER_TOP_LEFT, &red, &blue, 0, SHADE_BLEND);
  EXPECT_EQ(at(round, 0, 0), 0u);
  EXPECT_EQ(at(round, 3, 0), RED);  // distance 3 from (3, 3) is not below 3
  EXPECT_EQ(at(round, 9, 0), RED);
  EXPECT_EQ(at(round, 1, 1), RED);

  IMAGE gradient(5, 3);
  COLOUR translucent_black = 0x40000000, translucent_white = 0x40FFFFFF;
  draw_shaded_box(&gradient, 0, 0, 4, 2, 1, 0, &translucent_black, &translucent_white, 0, SHADE_HORIZONTAL);
  EXPECT_EQ(at(gradient, 0, 1), 0xFF000000u);
  EXPECT_EQ(at(gradient, 2, 1), 0xFF7F7F7Fu);
  EXPECT_EQ(at(gradient, 4, 1), 0xFFFFFFFFu);
  draw_shaded_box(&gradient, 0, 0, 4, 2, 1, 0, &translucent_black, &translucent_white, 0, SHADE_VERTICAL);
  EXPECT_EQ(at(gradient, 3, 1), 0xFF7F7F7Fu);

  // A one-pixel-wide gradient box.
  IMAGE thin(3, 5);
  draw_shaded_box(&thin, 1, 0, 1, 4, 1, 0, &red, &blue, 0, SHADE_HORIZONTAL);
  EXPECT_EQ(at(thin, 1, 2), RED);

  IMAGE dark(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) *dark.pixel_at(x, y) = 0xFFC86433;
  draw_shaded_box(&dark, 0, 0, 3, 3, 1, 0, nullptr, nullptr, 50, SHADE_DARKEN);
  EXPECT_EQ(at(dark, 2, 2), 0xFF643219u);
  draw_shaded_box(&dark, 0, 0, 3, 3, 1, 0, nullptr, nullptr, 120, SHADE_DARKEN);
  EXPECT_EQ(at(dark, 2, 2), 0xFF643219u);
  EXPECT_EQ(get_error_code(), 0x1000);
}

// Every corner set, corners that overlap on a small box, and a clip that cuts the box: the box covers
// exactly the pixels that no flagged corner's round part leaves out.
TEST(DrawShadedBox, CoversExactlyTheShapeInsideTheClip) {
  struct BOX {
    INT_S16 x1, y1, x2, y2, radius;
  };
  const BOX boxes[] = {{1, 1, 14, 10, 4}, {2, 2, 6, 5, 3}, {0, 3, 15, 4, 2}};
  for (const BOX& b : boxes)
    for (INT_U8 corners = 0; corners < 16; ++corners)
      for (bool clipped : {false, true}) {
        IMAGE image(16, 12);
        if (clipped) image.intersect_clip(3, 2, 9, 11);
        draw_shaded_box(&image, b.x1, b.y1, b.x2, b.y2, b.radius, corners, &RED, nullptr, 0, SHADE_BLEND);
        INT_S32 r = b.radius;
        for (int y = 0; y < 12; ++y)
          for (int x = 0; x < 16; ++x) {
            bool inside = x >= b.x1 && x <= b.x2 && y >= b.y1 && y <= b.y2 &&
                          (!clipped || (x >= 3 && x <= 9 && y >= 2));
            int cx = 0, cy = 0;
            bool corner = true;
            if ((corners & 1) && x < b.x1 + r && y < b.y1 + r) cx = b.x1 + r, cy = b.y1 + r;
            else if ((corners & 4) && x < b.x1 + r && y > b.y2 - r) cx = b.x1 + r, cy = b.y2 - r;
            else if ((corners & 2) && x > b.x2 - r && y < b.y1 + r) cx = b.x2 - r, cy = b.y1 + r;
            else if ((corners & 8) && x > b.x2 - r && y > b.y2 - r) cx = b.x2 - r, cy = b.y2 - r;
            else corner = false;
            if (corner) inside = inside && (int)std::sqrt(double((x - cx) * (x - cx) + (y - cy) * (y - cy))) < r;
            ASSERT_EQ(at(image, x, y), inside ? RED : 0u)
                << "box " << b.x1 << "," << b.y1 << " corners " << int(corners) << " at " << x << "," << y;
          }
      }
}

TEST(DrawRounded, SquareCornersGiveThePlainOutline) {
  IMAGE rounded(12, 12), plain(12, 12);
  rounded.draw_rounded_rectangle(1, 1, 10, 8, &RED, 3, 0);
  plain.draw_rectangle(1, 1, 10, 8, &RED, 1, SIDE_ALL);
  EXPECT_EQ(set_pixels(rounded), set_pixels(plain));

  IMAGE arcs(12, 12);
  arcs.draw_rounded_rectangle(1, 1, 10, 8, &RED, 3, CORNER_ALL);
  EXPECT_EQ(at(arcs, 1, 1), 0u);  // the corner point itself is cut away
  EXPECT_NE(at(arcs, 5, 1), 0u);
  EXPECT_NE(at(arcs, 1, 4), 0u);

  IMAGE none(6, 6);
  none.draw_corner_arc(3, 3, 0, CORNER_ALL, &RED);
  none.draw_corner_arc(3, 3, 2, 0, &RED);
  EXPECT_TRUE(set_pixels(none).empty());
}

TEST(DrawAntialiased, DiscAndRing) {
  IMAGE disc(21, 21);
  COLOUR red = RED;
  disc.clear_dirty_area();
  fill_antialiased(&disc, 10, 10, 8, &red, 0, ANTIALIAS_DISC, 0, 1);
  EXPECT_EQ(at(disc, 10, 10), RED);
  EXPECT_EQ(at(disc, 0, 0), 0u);
  EXPECT_EQ(at(disc, 10, 1), 0u);
  EXPECT_EQ(disc.dirty.x1, 2);
  EXPECT_EQ(disc.dirty.x2, 18);
  // Edge pixels are partly covered: a reduced alpha on the transparent target leaves alpha 0 but
  // some red.
  int partial = 0;
  for (int x = 0; x < 21; ++x) {
    COLOUR p = at(disc, x, 10 - 7);
    if (p != 0 && p != RED) ++partial;
  }
  EXPECT_GT(partial, 0);

  IMAGE ring(21, 21);
  fill_antialiased(&ring, 10, 10, 8, &red, 0, ANTIALIAS_RING, 2, 1);
  EXPECT_EQ(at(ring, 10, 10), 0u);
  EXPECT_EQ(at(ring, 10, 2), RED);
  EXPECT_EQ(at(ring, 10, 4), 0u);

  IMAGE darkened(21, 21);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) *darkened.pixel_at(x, y) = 0xFFC86433;
  fill_antialiased(&darkened, 10, 10, 8, &red, 50, ANTIALIAS_DARKENED_DISC, 0, 1);
  EXPECT_EQ(at(darkened, 10, 10), 0xFF643219u);
  EXPECT_EQ(at(darkened, 0, 0), 0xFFC86433u);

  IMAGE huge(20, 20);
  fill_antialiased(&huge, 10, 10, 296, &red, 0, ANTIALIAS_DISC, 0, 1);  // mask side 1779: too big
  EXPECT_TRUE(set_pixels(huge).empty());
  fill_antialiased(&huge, 10, 10, 0, &red, 0, ANTIALIAS_DISC, 0, 1);
  EXPECT_TRUE(set_pixels(huge).empty());
}

// A photograph scaled both ways.
TEST(DrawScale, ScaledPhoto) {
  // ImageMagick's built-in photograph of a rose (70 x 46), as a JPEG file.
  REQUIRE_TOOL("/usr/bin/convert");
  std::string folder_path = make_scratch_folder("scaled-photo");
  ASSERT_EQ(run_command("/usr/bin/convert rose: -quality 95 '" + folder_path + "rose.jpg'"), 0);
  folder_path.pop_back();
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(folder_path.c_str()));
  IMAGE photo;
  ASSERT_TRUE(photo.load(&folder, "rose", -1, -1));
  ASSERT_EQ(photo.width, 70);
  ASSERT_EQ(photo.height, 46);

  // Nearest neighbour by 4 repeats every pixel in a 4 x 4 block.
  IMAGE nearest(70, 46);
  nearest.blit(&photo, 0, 0, 0, 0, 70, 46, BLIT_COPY);
  nearest.scale(280, 184, false);
  ASSERT_EQ(nearest.width, 280);
  for (int y = 0; y < 184; y++)
    for (int x = 0; x < 280; x++) ASSERT_EQ(*nearest.pixel_at(x, y), *photo.pixel_at(x / 4, y / 4)) << x << "," << y;

  // The smooth enlargement keeps the picture: each pixel lies near the source pixel it came from, and
  // the mean colour stays within a few steps.
  IMAGE smooth(70, 46);
  smooth.blit(&photo, 0, 0, 0, 0, 70, 46, BLIT_COPY);
  smooth.scale(280, 184, true);
  ASSERT_EQ(smooth.width, 280);
  ASSERT_EQ(smooth.height, 184);
  double source_sum[3] = {0, 0, 0}, smooth_sum[3] = {0, 0, 0};
  for (int y = 0; y < 46; y++)
    for (int x = 0; x < 70; x++)
      for (int c = 0; c < 3; c++) source_sum[c] += (*photo.pixel_at(x, y) >> (16 - 8 * c)) & 0xFF;
  for (int y = 0; y < 184; y++)
    for (int x = 0; x < 280; x++) {
      INT_U32 p = *smooth.pixel_at(x, y);
      ASSERT_GE(p >> 24, 250u) << x << "," << y;  // truncated weights can cost a step or two
      for (int c = 0; c < 3; c++) smooth_sum[c] += (p >> (16 - 8 * c)) & 0xFF;
    }
  for (int c = 0; c < 3; c++) EXPECT_NEAR(smooth_sum[c] / (280 * 184), source_sum[c] / (70 * 46), 4.0) << c;
}
