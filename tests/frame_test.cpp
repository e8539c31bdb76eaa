// Tests of nine-part frames: the form chosen by the parts found (nine parts, row, column, single image),
// overlays, incomplete forms, reference counts of copies and clearing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data_file.h"
#include "folder.h"
#include "frame.h"
#include "image.h"
#include "image_cache.h"
#include "image_file.h"
#include "test_support.h"

namespace {

class Frames : public ::testing::Test {
protected:
  FOLDER folder;
  char folder_text[FOLDER_PATH_SIZE];
  void SetUp() override {
    folder = scratch_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder.get_portable_text(folder_text, nullptr);
    image_cache->clear();
  }
  void TearDown() override { image_cache->clear(); }
  void picture(const std::string& name, INT_S16 width = 4) {
    IMAGE image(width, 3);
    COLOUR blue = 0xFF0000FF;
    image.clear(&blue, 1);
    DATA_FILE* file = open_data_file(&folder, (name + ".png").c_str(), FILE_MODE_WRITE, 0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(save_png(&image, file));
    close_data_file(&file);
  }
  INT_S16 references(IMAGE* image) { return image_cache->find_entry(image)->reference_count; }
};

TEST_F(Frames, FormsByPartsFound) {
  for (const char* part : {"top_left", "top_mid", "top_right", "mid_left", "mid_mid", "mid_right", "bottom_left",
                           "bottom_mid", "bottom_right"})
    picture(std::string("nine_") + part);
  picture("nine_colay");
  for (const char* part : {"row_left", "row_mid", "row_right", "col_top", "col_mid", "col_bottom", "solo", "half_left"})
    picture(part);

  WM_FRAME frame(&*image_cache);
  EXPECT_TRUE(frame.load(folder_text, "nine", CACHE_DROP_ON_FAILURE));
  EXPECT_TRUE(frame.is_loaded());
  EXPECT_NE(frame.bottom_right, nullptr);
  EXPECT_NE(frame.colay, nullptr);
  EXPECT_EQ(frame.solay, nullptr);

  EXPECT_TRUE(frame.load(folder_text, "row", CACHE_DROP_ON_FAILURE));
  EXPECT_NE(frame.mid_left, nullptr);
  EXPECT_NE(frame.mid_right, nullptr);
  EXPECT_EQ(frame.top_left, nullptr);
  EXPECT_EQ(frame.colay, nullptr);

  EXPECT_TRUE(frame.load_from_path(&folder, "col", CACHE_DROP_ON_FAILURE));
  EXPECT_NE(frame.top_mid, nullptr);
  EXPECT_NE(frame.bottom_mid, nullptr);
  EXPECT_EQ(frame.mid_left, nullptr);

  EXPECT_TRUE(frame.load(folder_text, "solo", CACHE_DROP_ON_FAILURE));
  EXPECT_NE(frame.mid_mid, nullptr);
  EXPECT_EQ(frame.top_mid, nullptr);

  // Only "half_left" exists: false, but the part found stays.
  EXPECT_FALSE(frame.load(folder_text, "half", CACHE_DROP_ON_FAILURE));
  EXPECT_NE(frame.mid_left, nullptr);
  EXPECT_FALSE(frame.is_loaded());

  EXPECT_FALSE(frame.load(folder_text, "absent", CACHE_DROP_ON_FAILURE));
  EXPECT_EQ(frame.mid_mid, nullptr);

  // Find-only loads nothing new from disk.
  picture("fresh");
  EXPECT_FALSE(frame.load(folder_text, "fresh", CACHE_FIND_ONLY));
  EXPECT_TRUE(frame.load(folder_text, "solo", CACHE_FIND_ONLY));

  WM_FRAME no_cache(nullptr);
  EXPECT_FALSE(no_cache.load(folder_text, "solo", CACHE_DROP_ON_FAILURE));
}

TEST_F(Frames, CopiesHoldTheirOwnReferences) {
  picture("solo");
  picture("solo_tolay", 2);
  WM_FRAME frame(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "solo", CACHE_DROP_ON_FAILURE));
  IMAGE* centre = frame.mid_mid;
  EXPECT_EQ(references(centre), 1);
  {
    WM_FRAME copy(&*image_cache);
    copy.overlay_x = 5;
    EXPECT_EQ(copy.copy(frame), &copy);
    EXPECT_EQ(copy.mid_mid, centre);
    EXPECT_EQ(copy.tolay, frame.tolay);
    EXPECT_EQ(copy.overlay_x, 5);
    EXPECT_EQ(references(centre), 2);
  }
  EXPECT_EQ(references(centre), 1);
  frame.clear();
  EXPECT_EQ(frame.mid_mid, nullptr);
  EXPECT_EQ(frame.tolay, nullptr);
}

}  // namespace
