// Tests of IMAGE: sizing, clip and dirty rectangles, blits in every mode, fills and clears, pixel
// operations, conversion, rotation, the raw image stream and embedded bytes (golden and damaged).
#include <gtest/gtest.h>

#include <vector>

#include "host.h"
#include "image.h"
#include "test_support.h"

namespace {

COLOUR at(const IMAGE& image, int x, int y) { return *image.pixel_at(x, y); }

void fill_all(IMAGE& image, COLOUR colour) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) *image.pixel_at(x, y) = colour;
}

void expect_area(const IMAGE_AREA& area, int x1, int y1, int x2, int y2) {
  EXPECT_EQ(area.x1, x1);
  EXPECT_EQ(area.y1, y1);
  EXPECT_EQ(area.x2, x2);
  EXPECT_EQ(area.y2, y2);
}

}  // namespace

TEST(Image, NewImageWithoutSizeIsEmpty) {
  IMAGE image;
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.height, 0);
  EXPECT_EQ(image.row_pitch, 0);
  EXPECT_EQ(image.pixels, nullptr);
  expect_area(image.clip, -1, -1, -1, -1);
  expect_area(image.dirty, -1, -1, -1, -1);
  EXPECT_EQ(image.clip_enabled, 1);
  EXPECT_EQ(image.default_font_id, 10);
  EXPECT_EQ(image.default_font_x_size, 22);
  EXPECT_EQ(image.default_font_y_size, 22);
  EXPECT_EQ(image.owner, nullptr);
}

TEST(Image, SizingKeepsPixelsOnlyAtTheSameSize) {
  IMAGE image(4, 3);
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_EQ(at(image, 3, 2), 0u);
  expect_area(image.clip, 0, 0, 3, 2);
  image.clear_dirty_area();
  *image.pixel_at(1, 1) = 0x12345678;
  image.set_clip(1, 1, 2, 2);
  image.set_size(4, 3);
  EXPECT_EQ(at(image, 1, 1), 0x12345678u);
  expect_area(image.dirty, 0, 0, 3, 2);
  expect_area(image.clip, 0, 0, 3, 2);

  image.clear_dirty_area();
  image.set_size(5, 5);
  EXPECT_EQ(at(image, 1, 1), 0u);
  expect_area(image.dirty, 0, 0, 3, 2);  // the area of the previous size
  image.set_size(0, 7);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);
  expect_area(image.dirty, -1, -1, -1, -1);
  expect_area(image.clip, -1, -1, -1, -1);

  image.size_locked = 1;
  image.set_size(8, 8);
  EXPECT_EQ(image.width, 0);
}

TEST(Image, RowAlignmentPadsThePitch) {
  IMAGE image;
  image.row_alignment = 4;
  image.set_size(10, 2);
  EXPECT_EQ(image.row_pitch, 12);
  image.set_size(8, 2);
  EXPECT_EQ(image.row_pitch, 8);
  image.row_alignment = 1;
  image.set_size(10, 2);
  EXPECT_EQ(image.row_pitch, 10);
}

TEST(Image, ClipIsSortedClampedAndIntersected) {
  IMAGE image(30, 30);
  image.set_clip(50, 40, -5, 10);
  expect_area(image.clip, 0, 10, 29, 29);
  image.intersect_clip(5, 0, 20, 15);
  expect_area(image.clip, 5, 10, 20, 15);
  image.intersect_clip(25, 25, 28, 28);  // no overlap: unset
  expect_area(image.clip, -1, -1, -1, -1);
  image.intersect_clip(0, 0, 29, 29);  // stays unset
  expect_area(image.clip, -1, -1, -1, -1);
  COLOUR red = 0xFFFF0000;
  image.fill_rectangle(0, 0, 29, 29, &red, 0);
  EXPECT_EQ(at(image, 10, 12), 0u);

  IMAGE empty;
  empty.set_clip(0, 0, 10, 10);
  expect_area(empty.clip, -1, -1, -1, -1);
}

TEST(Image, DirtyAreaIsClampedAndGrows) {
  IMAGE image(10, 10);
  image.clear_dirty_area();
  image.extend_dirty_area(8, 12, 3, -4);
  expect_area(image.dirty, 3, 0, 8, 9);
  image.extend_dirty_area(1, 5, 2, 5);
  expect_area(image.dirty, 1, 0, 8, 9);
}

TEST(Image, BlitClipsAgainstTargetAndSource) {
  IMAGE source(4, 4), target(10, 10);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) *source.pixel_at(x, y) = 0xFF000000u | (y << 8) | x;
  // Target x left of the clip shifts the source x by the same amount.
  target.set_clip(3, 0, 9, 9);
  target.clear_dirty_area();
  target.blit(&source, 0, 0, 1, 0, 4, 1, BLIT_COPY);
  EXPECT_EQ(at(target, 2, 0), 0u);
  EXPECT_EQ(at(target, 3, 0), 0xFF000002u);
  EXPECT_EQ(at(target, 4, 0), 0xFF000003u);
  EXPECT_EQ(at(target, 5, 0), 0u);
  expect_area(target.dirty, 3, 0, 4, 0);

  // A negative source x shifts the target x right.
  target.set_clip(0, 0, 9, 9);
  target.blit(&source, -2, 1, 5, 1, 4, 1, BLIT_COPY);
  EXPECT_EQ(at(target, 6, 1), 0u);
  EXPECT_EQ(at(target, 7, 1), 0xFF000100u);
  EXPECT_EQ(at(target, 8, 1), 0xFF000101u);
  EXPECT_EQ(at(target, 9, 1), 0u);

  // Cut by the right edge of the clip and by the source's size.
  target.blit(&source, 0, 0, 8, 8, 10, 10, BLIT_COPY);
  EXPECT_EQ(at(target, 9, 9), 0xFF000101u);

  // Wholly outside the source: nothing.
  target.clear_dirty_area();
  target.blit(&source, 4, 0, 0, 5, 2, 2, BLIT_COPY);
  target.blit(&source, 0, 0, 0, 5, 0, 2, BLIT_COPY);
  target.blit(nullptr, 0, 0, 0, 5, 2, 2, BLIT_COPY);
  expect_area(target.dirty, -1, -1, -1, -1);
  // Clip disabled: nothing.
  target.clip_enabled = 0;
  target.blit(&source, 0, 0, 0, 5, 2, 2, BLIT_COPY);
  EXPECT_EQ(at(target, 0, 5), 0u);
}

TEST(Image, BlitModes) {
  IMAGE source(4, 1), target(4, 1);
  *source.pixel_at(0, 0) = 0xFFFFFFFF;  // opaque: stored whole
  *source.pixel_at(1, 0) = 0x00FFFFFF;  // invisible: target unchanged
  *source.pixel_at(2, 0) = 0x80FFFFFF;  // half white over black
  *source.pixel_at(3, 0) = 0xFBFF0000;  // above the threshold: stored whole
  fill_all(target, 0x40000000);
  target.blit(&source, 0, 0, 0, 0, 4, 1, BLIT_BLEND);
  EXPECT_EQ(at(target, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(at(target, 1, 0), 0x40000000u);
  EXPECT_EQ(at(target, 2, 0), 0x407F7F7Fu);  // (255 * 128) >> 8 = 127, target alpha kept
  EXPECT_EQ(at(target, 3, 0), 0xFBFF0000u);

  fill_all(target, 0x80123456);
  target.blit(&source, 0, 0, 0, 0, 4, 1, BLIT_ALPHA_MASK);
  EXPECT_EQ(at(target, 0, 0), 0xFF123456u);
  EXPECT_EQ(at(target, 1, 0), 0x00123456u);
  EXPECT_EQ(at(target, 2, 0), 0xFF123456u);

  fill_all(target, 0x80123456);
  target.blit(&source, 0, 0, 0, 0, 4, 1, BLIT_ALPHA_MULTIPLY);
  EXPECT_EQ(at(target, 0, 0), 0x80123456u);
  EXPECT_EQ(at(target, 1, 0), 0x00123456u);
  EXPECT_EQ(at(target, 2, 0), 0x40123456u);  // 128 * 128 / 255 = 64

  fill_all(target, 0x80123456);
  target.blit(&source, 0, 0, 0, 0, 4, 1, 77);  // unknown modes blend
  EXPECT_EQ(at(target, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(at(target, 1, 0), 0x80123456u);
}

TEST(Image, BlitWithinOneImageOverlapping) {
  IMAGE image(5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) *image.pixel_at(x, y) = 0xFF000000u | (y * 16 + x);
  image.blit(&image, 0, 0, 1, 1, 4, 4, BLIT_COPY);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) EXPECT_EQ(at(image, x, y), 0xFF000000u | ((y - 1) * 16 + x - 1));
}

TEST(Image, BlitToAndGrab) {
  IMAGE small(2, 2), big(6, 6);
  fill_all(small, 0xFF00FF00);
  small.blit_to(3, 4, &big, BLIT_COPY);
  EXPECT_EQ(at(big, 3, 4), 0xFF00FF00u);
  EXPECT_EQ(at(big, 4, 5), 0xFF00FF00u);
  EXPECT_EQ(at(big, 2, 4), 0u);
  small.blit_to(0, 0, &small, BLIT_COPY);  // onto itself: nothing

  IMAGE piece(2, 2);
  piece.grab(3, 3, &big, BLIT_COPY);
  EXPECT_EQ(at(piece, 0, 0), 0u);
  EXPECT_EQ(at(piece, 0, 1), 0xFF00FF00u);
  EXPECT_EQ(at(piece, 1, 1), 0xFF00FF00u);

  IMAGE other(6, 6);
  blit_to_screen(&small, 1, 1, 0, 0, 2, 2, &other, BLIT_COPY);
  EXPECT_EQ(at(other, 1, 1), 0xFF00FF00u);
  EXPECT_EQ(at(other, 3, 3), 0u);
}

// A fade frame in one pass gives what copying the under picture and blending the over picture with its
// alpha set over it gives, inside the target's clip only, and grows the dirty rectangle by the same box.
TEST(Image, BlendPicturesIsCopyThenBlendAtOneAlpha) {
  struct {
    INT_S16 x, y;
    bool with_under, with_over;
    INT_U8 alpha;
  } cases[] = {{3, 2, true, true, 100},  {-2, -1, true, true, 77}, {7, 5, true, true, 200}, {3, 2, true, false, 128},
               {3, 2, false, true, 128}, {3, 2, true, true, 0},    {3, 2, true, true, 255}, {3, 2, true, true, 252},
               {12, 2, true, true, 100}};  // wholly outside the target
  for (const auto& c : cases) {
    IMAGE target(10, 8), reference(10, 8), under(5, 4), over(5, 4);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 10; x++)
        *target.pixel_at(x, y) = *reference.pixel_at(x, y) = 0x30000000u * (x & 3) + (COLOUR)(x * 0x1F0D07 + y * 0x0B1305);
    for (int y = 0; y < 4; y++)
      for (int x = 0; x < 5; x++) {
        *under.pixel_at(x, y) = 0x11000000u * (y + 1) + (COLOUR)(x * 0x332211 + y * 0x050A0F);
        *over.pixel_at(x, y) = 0x80000000u + (COLOUR)(x * 0x0F1E2D + y * 0x2D1E0F);
      }
    target.set_clip(1, 1, 8, 6);
    reference.set_clip(1, 1, 8, 6);
    target.clear_dirty_area();
    reference.clear_dirty_area();

    IMAGE over_copy(5, 4);
    if (c.with_over) over.blit_to(0, 0, &over_copy, BLIT_COPY);
    else over_copy.grab(c.x, c.y, &reference, BLIT_COPY);
    if (c.with_under) under.blit_to(c.x, c.y, &reference, BLIT_COPY);
    over_copy.set_alpha(c.alpha, 0, 0);
    over_copy.blit_to(c.x, c.y, &reference, BLIT_BLEND);

    blend_pictures(&target, c.x, c.y, c.with_under ? &under : nullptr, c.with_over ? &over : nullptr, c.alpha);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 10; x++)
        ASSERT_EQ(at(target, x, y), at(reference, x, y)) << x << "," << y << " for " << c.x << "," << c.y << " alpha "
                                                          << (int)c.alpha;
    expect_area(target.dirty, reference.dirty.x1, reference.dirty.y1, reference.dirty.x2, reference.dirty.y2);
  }
  // Nothing without a clip.
  IMAGE target(4, 4), picture(2, 2);
  fill_all(picture, 0xFFFFFFFF);
  target.clip.x1 = -1;  // unset
  target.clear_dirty_area();
  blend_pictures(&target, 0, 0, &picture, &picture, 128);
  EXPECT_EQ(at(target, 0, 0), 0u);
  expect_area(target.dirty, -1, -1, -1, -1);
}

TEST(Image, FillRectangleStoresOrBlends) {
  IMAGE image(8, 8);
  fill_all(image, 0xFF204060);
  image.clear_dirty_area();
  COLOUR clear_colour = 0x00FFFFFF;
  image.fill_rectangle(6, 6, 1, 1, &clear_colour, 1);  // alpha 0 blended changes nothing
  EXPECT_EQ(at(image, 3, 3), 0xFF204060u);
  image.fill_rectangle(6, 6, 1, 1, &clear_colour, 0);  // stored: transparent
  EXPECT_EQ(at(image, 3, 3), 0x00FFFFFFu);
  EXPECT_EQ(at(image, 0, 0), 0xFF204060u);
  expect_area(image.dirty, 1, 1, 6, 6);

  COLOUR half = 0x80FFFFFF;
  image.set_clip(0, 0, 3, 3);
  image.fill_rectangle(-10, -10, 100, 100, &half, 1);
  EXPECT_EQ(at(image, 0, 0), 0xFF8F9FAFu);  // (255*128 + c*127) >> 8
  EXPECT_EQ(at(image, 4, 4), 0x00FFFFFFu);
  image.fill_rectangle(5, 5, 7, 7, &half, 0);  // outside the clip
  EXPECT_EQ(at(image, 6, 6), 0x00FFFFFFu);
}

TEST(Image, ClearWholeRestoresTheClipItHad) {
  IMAGE image(6, 6);
  COLOUR blue = 0xFF0000FF, red = 0xFFFF0000;
  image.set_clip(2, 2, 3, 3);
  image.clear(&blue, 1);
  EXPECT_EQ(at(image, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(at(image, 5, 5), 0xFF0000FFu);
  expect_area(image.clip, 2, 2, 3, 3);
  image.clear(&red, 0);
  EXPECT_EQ(at(image, 2, 2), 0xFFFF0000u);
  EXPECT_EQ(at(image, 1, 1), 0xFF0000FFu);

  // An unset clip stays unset, and a disabled one stays disabled.
  image.intersect_clip(100, 100, 100, 100);
  image.clip_enabled = 0;
  image.clear(&red, 1);
  EXPECT_EQ(at(image, 0, 0), 0xFFFF0000u);
  expect_area(image.clip, -1, -1, -1, -1);
  EXPECT_EQ(image.clip_enabled, 0);

  IMAGE empty;
  empty.clear(&red, 1);  // nothing to fill, no error
  EXPECT_EQ(empty.pixels, nullptr);
}

namespace {

void fill_image_without_pixels() {
  IMAGE image;
  image.clip.x1 = image.clip.x2 = image.clip.y1 = image.clip.y2 = 0;
  COLOUR red = 0xFFFF0000;
  image.fill_rectangle(0, 0, 1, 1, &red, 0);
}

}  // namespace

TEST(ImageDeath, FillWithoutPixelsIsFatal) {
  EXPECT_EXIT(fill_image_without_pixels(), ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "OpenGraphics");
}

TEST(Image, PixelOperations) {
  IMAGE image(3, 1);
  *image.pixel_at(0, 0) = 0x80FF0000;
  *image.pixel_at(1, 0) = 0xFF808080;
  *image.pixel_at(2, 0) = 0x00000000;
  image.clear_dirty_area();
  image.greyscale();
  EXPECT_EQ(at(image, 0, 0), 0x804C4C4Cu);  // 30 * 255 / 100 = 76
  expect_area(image.dirty, 0, 0, 2, 0);
  greyscale_average = 1;
  *image.pixel_at(0, 0) = 0x80FF0000;
  image.greyscale();
  greyscale_average = 0;
  EXPECT_EQ(at(image, 0, 0), 0x80555555u);

  COLOUR red = 0xFFFF0000;
  image.tint(&red);
  EXPECT_EQ(at(image, 1, 0), 0xFFFF4040u);  // grey 128 under red: 255, 64, 64

  *image.pixel_at(0, 0) = 0xFF00FF00;
  *image.pixel_at(1, 0) = 0x80FF0000;
  *image.pixel_at(2, 0) = 0x00000000;
  image.set_alpha(0, 0, 1);
  EXPECT_EQ(at(image, 0, 0), 0x0000FF00u);
  EXPECT_EQ(at(image, 2, 0), 0x00000000u);
  *image.pixel_at(0, 0) = 0xFF00FF00;
  image.set_alpha(128, 1, 0);
  EXPECT_EQ(at(image, 0, 0) >> 24, 128u);
  image.set_alpha(200, 0, 0);
  EXPECT_EQ(at(image, 2, 0), 0xC8000000u);

  *image.pixel_at(0, 0) = 0x10112233;
  *image.pixel_at(1, 0) = 0xFF112233;
  COLOUR from = 0xFF112233, to = 0xFFAABBCC;
  image.replace_colour(&from, &to, 0);
  EXPECT_EQ(at(image, 0, 0), 0x10112233u);
  EXPECT_EQ(at(image, 1, 0), 0xFFAABBCCu);
  image.replace_colour(&from, &to, 1);
  EXPECT_EQ(at(image, 0, 0), 0x10AABBCCu);

  // Only the clip rectangle is touched.
  image.set_clip(1, 0, 1, 0);
  *image.pixel_at(0, 0) = 0xFFFF0000;
  *image.pixel_at(1, 0) = 0xFFFF0000;
  image.greyscale();
  EXPECT_EQ(at(image, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(at(image, 1, 0), 0xFF4C4C4Cu);
}

TEST(Image, MapChannelsMultipliesAlpha) {
  IMAGE image(1, 1);
  COLOUR red = 0xFF0000FF, green = 0xFF00FF00, blue = 0xFFFF0000;
  *image.pixel_at(0, 0) = 0x80FF0000;
  image.map_channels(&red, &green, &blue, 1);
  EXPECT_EQ(at(image, 0, 0), 0x800000FFu);
  *image.pixel_at(0, 0) = 0x80FF0000;
  image.map_channels(&red, &green, &blue, 0);
  EXPECT_EQ(at(image, 0, 0), 0xFF0000FFu);
}

TEST(Image, ConvertPixels) {
  IMAGE image(2, 2);
  *image.pixel_at(0, 0) = 0xFFFFFFFF;
  *image.pixel_at(1, 0) = 0xFFFF0000;
  *image.pixel_at(0, 1) = 0x8000FF00;
  *image.pixel_at(1, 1) = 0x11223344;

  std::vector<INT_U16> short_buffer(4);
  image.convert_pixels(short_buffer.data(), -1, 1, 2, 0);
  EXPECT_EQ(short_buffer[0], 0xFFFF);
  EXPECT_EQ(short_buffer[1], 0xF800);
  EXPECT_EQ(short_buffer[2], 0x07E0);

  std::vector<INT_U32> buffer(4);
  image.convert_pixels(buffer.data(), -1, -1, 0, 0);  // bottom-up rows, as presentation asks
  EXPECT_EQ(buffer[0], 0x8000FF00u);
  EXPECT_EQ(buffer[1], 0x11223344u);
  EXPECT_EQ(buffer[2], 0xFFFFFFFFu);
  EXPECT_EQ(buffer[3], 0xFFFF0000u);

  image.convert_pixels(buffer.data(), -1, 1, 1, 0);  // red and blue exchanged
  EXPECT_EQ(buffer[1], 0xFF0000FFu);
  EXPECT_EQ(buffer[3], 0x11443322u);

  // A quarter turn clockwise: output row i is column i read from the bottom up.
  std::vector<INT_U32> wide(3 * 4, 0);
  IMAGE tall(2, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) *tall.pixel_at(x, y) = (INT_U32)(y * 2 + x);
  tall.convert_pixels(wide.data(), 4, 1, 1, 1);
  EXPECT_EQ(wide[0], 4u << 16);  // red and blue exchanged
  EXPECT_EQ(wide[1], 2u << 16);
  EXPECT_EQ(wide[2], 0u);
  EXPECT_EQ(wide[4], 5u << 16);
  EXPECT_EQ(wide[5], 3u << 16);
  EXPECT_EQ(wide[6], 1u << 16);
  EXPECT_EQ(wide[3], 0u);  // beyond the row: untouched
}

TEST(Image, Rotation) {
  IMAGE image(20, 10);
  *image.pixel_at(3, 2) = 0xFFFF0000;
  image.rotate_degrees(0);
  EXPECT_EQ(image.width, 20);
  EXPECT_EQ(image.height, 10);
  EXPECT_EQ(at(image, 3, 2), 0xFFFF0000u);

  image.rotate_degrees(90);
  EXPECT_GE(image.width, 10);
  EXPECT_LE(image.width, 11);
  EXPECT_GE(image.height, 20);
  EXPECT_LE(image.height, 21);
  int found = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) found += at(image, x, y) == 0xFFFF0000u;
  EXPECT_EQ(found, 1);

  IMAGE locked(4, 4);
  locked.size_locked = 1;
  locked.rotate_degrees(45);
  EXPECT_EQ(locked.width, 4);
  ASSERT_NE(locked.pixels, nullptr);
}

// ---------------------------------------------------------------------------------------------------
// The raw image stream
// ---------------------------------------------------------------------------------------------------

namespace {

const std::vector<INT_U8> RAW_GOLDEN = {'v', 'e', 'l', 'k', 'r', 'a', 'w', 'i', 'm', 'g', 1, 2, 0, 1, 0,
                                        0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA};

std::vector<INT_U8> raw_header(INT_U16 width, INT_U16 height, INT_U8 version = 1) {
  std::vector<INT_U8> bytes = {'v', 'e', 'l', 'k', 'r', 'a', 'w', 'i', 'm', 'g', version};
  bytes.push_back(width & 0xFF);
  bytes.push_back(width >> 8);
  bytes.push_back(height & 0xFF);
  bytes.push_back(height >> 8);
  return bytes;
}

// An image that must come through a failed read unchanged.
void expect_untouched(const IMAGE& image) {
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(at(image, 2, 1), 0xCAFEF00Du);
}

}  // namespace

TEST(ImageRawStream, WritesGoldenBytesAndReadsThemBack) {
  IMAGE image(2, 1);
  *image.pixel_at(0, 0) = 0x11223344;
  *image.pixel_at(1, 0) = 0xAABBCCDD;
  MEMORY_DEVICE device;
  ASSERT_TRUE(image.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, RAW_GOLDEN);

  IMAGE back;
  device.seek(0, false);
  ASSERT_TRUE(back.get_from_data_device(&device));
  EXPECT_EQ(back.width, 2);
  EXPECT_EQ(back.height, 1);
  EXPECT_EQ(at(back, 0, 0), 0x11223344u);
  EXPECT_EQ(at(back, 1, 0), 0xAABBCCDDu);
}

TEST(ImageRawStream, SwappedByteOrder) {
  IMAGE image(2, 1);
  *image.pixel_at(0, 0) = 0x11223344;
  *image.pixel_at(1, 0) = 0xAABBCCDD;
  MEMORY_DEVICE device;
  device.swap_bytes = 1;
  ASSERT_TRUE(image.put_to_data_device(&device));
  std::vector<INT_U8> expected = {'v', 'e', 'l', 'k', 'r', 'a', 'w', 'i', 'm', 'g', 1, 0, 2, 0, 1,
                                  0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB, 0xCC, 0xDD};
  EXPECT_EQ(device.bytes, expected);
  IMAGE back;
  device.seek(0, false);
  ASSERT_TRUE(back.get_from_data_device(&device));
  EXPECT_EQ(at(back, 1, 0), 0xAABBCCDDu);
}

TEST(ImageRawStream, EmptyImage) {
  IMAGE empty;
  MEMORY_DEVICE device;
  ASSERT_TRUE(empty.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, raw_header(0, 0));

  MEMORY_DEVICE zero_width(raw_header(0, 5));
  IMAGE image(3, 3);
  ASSERT_TRUE(image.get_from_data_device(&zero_width));
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.pixels, nullptr);
}

TEST(ImageRawStream, DamagedStreamsAreRefusedAndChangeNothing) {
  IMAGE image(3, 2);
  *image.pixel_at(2, 1) = 0xCAFEF00D;

  std::vector<INT_U8> bad_magic = RAW_GOLDEN;
  bad_magic[0] = 'V';
  std::vector<INT_U8> version_two = RAW_GOLDEN;
  version_two[10] = 2;
  std::vector<INT_U8> truncated = RAW_GOLDEN;
  truncated.resize(truncated.size() - 1);
  std::vector<INT_U8> short_header(RAW_GOLDEN.begin(), RAW_GOLDEN.begin() + 13);
  std::vector<INT_U8> too_wide = raw_header(0xFFFF, 1);
  too_wide.resize(too_wide.size() + 0xFFFF * 4, 0);
  std::vector<INT_U8> claims_more = raw_header(1000, 1000);  // 4 MB promised, 8 bytes given
  claims_more.resize(claims_more.size() + 8, 0);

  for (const auto& bytes : {bad_magic, version_two, truncated, short_header, too_wide, claims_more}) {
    MEMORY_DEVICE device(bytes);
    EXPECT_FALSE(image.get_from_data_device(&device));
    expect_untouched(image);
  }
  EXPECT_FALSE(image.get_from_data_device(nullptr));
}

TEST(ImageRawStream, SizeLockedImageTakesOnlyItsOwnSize) {
  IMAGE image(2, 1);
  image.size_locked = 1;
  MEMORY_DEVICE same(RAW_GOLDEN);
  ASSERT_TRUE(image.get_from_data_device(&same));
  EXPECT_EQ(at(image, 1, 0), 0xAABBCCDDu);

  std::vector<INT_U8> other = raw_header(3, 1);
  other.resize(other.size() + 12, 0x55);
  MEMORY_DEVICE device(other);
  EXPECT_FALSE(image.get_from_data_device(&device));
  EXPECT_EQ(image.width, 2);
}

TEST(ImageRawStream, WriteFailureIsReported) {
  // A device that takes nothing.
  struct FULL_DEVICE : MEMORY_DEVICE {
    INT_S32 write(const void*, INT_S32) override { return 0; }
  } device;
  IMAGE image(1, 1);
  EXPECT_FALSE(image.put_to_data_device(&device));
  EXPECT_EQ(device.failed, 1);
}

TEST(ImageEmbeddedBytes, ReadsTheLayout) {
  const INT_U8 bytes[] = {1, 0, 2, 0, 1, 0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA};
  IMAGE image;
  ASSERT_TRUE(image.from_bytes(bytes));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 1);
  EXPECT_EQ(at(image, 0, 0), 0x11223344u);
  EXPECT_EQ(at(image, 1, 0), 0xAABBCCDDu);

  IMAGE sized;
  ASSERT_TRUE(sized.from_bytes(bytes, sizeof bytes));
  EXPECT_EQ(at(sized, 1, 0), 0xAABBCCDDu);
}

TEST(ImageEmbeddedBytes, RefusesBadSizes) {
  IMAGE image(3, 2);
  *image.pixel_at(2, 1) = 0xCAFEF00D;
  const INT_U8 short_block[] = {1, 0, 2, 0, 1, 0x44, 0x33, 0x22, 0x11};
  const INT_U8 too_wide[] = {1, 0x80, 0x00, 0, 1};
  EXPECT_FALSE(image.from_bytes(nullptr));
  EXPECT_FALSE(image.from_bytes(short_block, sizeof short_block));
  EXPECT_FALSE(image.from_bytes(short_block, 3));
  EXPECT_FALSE(image.from_bytes(too_wide));
  expect_untouched(image);
}
