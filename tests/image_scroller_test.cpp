// Tests of the image scroller: the triangle-wave offsets over one period, still and 1 ms periods,
// clocks that wrap or run backwards, loading at twice the view size, the cache reference and drawing.
#include <gtest/gtest.h>

#include <string>

#include "data_file.h"
#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "image_scroller.h"
#include "screen_image.h"
#include "test_support.h"

namespace {

// Writes a raw image file of the given size into folder; pixel (x, y) is 0xFF000000 | y << 8 | x.
void write_picture(FOLDER& folder, const char* name, int width, int height) {
  IMAGE picture((INT_S16)width, (INT_S16)height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) *picture.pixel_at(x, y) = 0xFF000000u | (y << 8) | x;
  DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  EXPECT_NE(file, nullptr);
  if (file) {
    EXPECT_TRUE(picture.put_to_data_device(file));
    close_data_file(&file);
  }
}

void expect_offsets(IMAGE_SCROLLER& scroller, INT_U32 now, int x, int y) {
  scroller.update_at(now);
  EXPECT_EQ(scroller.offset_x, x) << "at " << now;
  EXPECT_EQ(scroller.offset_y, y) << "at " << now;
}

}  // namespace

TEST(ImageScroller, OffsetsFollowTheTriangleWaves) {
  FOLDER folder = scratch_folder("image_scroller");
  write_picture(folder, "back.raw", 40, 30);
  IMAGE_SCROLLER scroller(0, 0, &folder, "back", 200, 150, 4000, 400, 300);
  ASSERT_NE(scroller.image, nullptr);
  EXPECT_EQ(scroller.image->width, 400);
  EXPECT_EQ(scroller.image->height, 300);
  EXPECT_EQ(scroller.offset_x, 0);
  EXPECT_EQ(scroller.offset_y, 75);
  EXPECT_FALSE(scroller.update_at(0));
  expect_offsets(scroller, 1000, 100, 150);
  expect_offsets(scroller, 2000, 200, 75);
  expect_offsets(scroller, 3000, 100, 0);
  expect_offsets(scroller, 4000, 0, 75);
  EXPECT_TRUE(scroller.update_at(500));
  EXPECT_EQ(scroller.start_tick, 0u);
  expect_offsets(scroller, 4001, 0, 75);  // past the period: a new cycle
  EXPECT_EQ(scroller.start_tick, 4001u);
}

TEST(ImageScroller, StillShortAndWrappingClocks) {
  IMAGE_SCROLLER still(0, 0, static_cast<const FOLDER*>(nullptr), "no such picture", 20, 10, 0);
  EXPECT_EQ(still.image_width, 40);
  EXPECT_EQ(still.image_height, 20);
  EXPECT_EQ(still.offset_y, 5);
  EXPECT_FALSE(still.update_at(1234));
  EXPECT_EQ(still.image->width, 0);  // failed load: empty image
  still.draw();                      // draws nothing

  IMAGE_SCROLLER short_period(0, 0, static_cast<const FOLDER*>(nullptr), "none", 20, 10, 1);
  for (INT_U32 now = 0; now < 5; ++now) {
    short_period.update_at(now);
    EXPECT_EQ(short_period.offset_x, 0);
    EXPECT_EQ(short_period.offset_y, 5);
  }

  IMAGE_SCROLLER scroller(0, 0, static_cast<const FOLDER*>(nullptr), "none", 200, 150, 4000, 400, 300);
  // The clock ran backwards: the cycle restarts at (0, R / 2).
  scroller.start_tick = 5000;
  scroller.offset_x = 123;
  EXPECT_TRUE(scroller.update_at(4000));
  EXPECT_EQ(scroller.start_tick, 4000u);
  EXPECT_EQ(scroller.offset_x, 0);
  EXPECT_EQ(scroller.offset_y, 75);
  // The clock wrapped past 0xFFFFFFFF: 1000 ms went by.
  scroller.start_tick = 0xFFFFFF00u;
  expect_offsets(scroller, 1000 - 0x100, 100, 150);
  EXPECT_EQ(scroller.start_tick, 0xFFFFFF00u);
}

TEST(ImageScroller, CachedImageAndItsReference) {
  FOLDER folder = scratch_folder("image_scroller");
  write_picture(folder, "sky.raw", 8, 6);
  // The cache names folders by path text: a named path stands for the scratch folder.
  set_named_path("$SCROLLERTEST", &folder);
  std::string path = "$SCROLLERTEST";
  IMAGE_CACHE cache;
  {
    IMAGE_SCROLLER scroller(5, 6, &cache, path.c_str(), "sky", 4, 3, 1000);
    ASSERT_NE(scroller.image, nullptr);
    EXPECT_EQ(scroller.image->width, 8);
    EXPECT_EQ(scroller.image->height, 6);
    IMAGE_CACHE_ENTRY* entry = cache.find_entry(scroller.image);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->reference_count, 1);

    // Drawn onto the screen image at (5, 6) from offset (0, 1).
    INT_U8 locked = screen_image.size_locked;
    screen_image.size_locked = 0;
    screen_image.set_size(20, 20);
    COLOUR black = 0xFF000000;
    screen_image.clear(&black, 1);
    scroller.draw();
    EXPECT_EQ(*screen_image.pixel_at(5, 6), 0xFF000100u);
    EXPECT_EQ(*screen_image.pixel_at(8, 8), 0xFF000303u);
    EXPECT_EQ(*screen_image.pixel_at(9, 6), 0xFF000000u);
    screen_image.set_size(0, 0);
    screen_image.size_locked = locked;

    IMAGE_SCROLLER sized(0, 0, &cache, path.c_str(), "sky", 4, 3, 1000, 16, 12);
    ASSERT_NE(sized.image, nullptr);
    EXPECT_EQ(sized.image->width, 16);
    EXPECT_EQ(sized.image->height, 12);
  }
  // Both references were given back: a look-up finds the entry holding only its own.
  IMAGE* again = cache.get(path.c_str(), "sky", 8, 6, CACHE_FIND_ONLY);
  ASSERT_NE(again, nullptr);
  IMAGE_CACHE_ENTRY* entry = cache.find_entry(again);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->reference_count, 1);
  cache.release(entry);
  remove_named_path("$SCROLLERTEST");
}
