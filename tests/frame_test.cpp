// Tests of nine-part frames: the form chosen by the parts found (nine parts, row, column, single image),
// overlays, incomplete forms, reference counts of copies and clearing; drawing (caps, tiles, centring,
// the composite kept at its size), overlays cut by the frame, hit testing and recolouring.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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
  // A width x height picture whose pixels come from colour_at.
  void pattern(const std::string& name, INT_S16 width, INT_S16 height, std::function<COLOUR(int, int)> colour_at) {
    IMAGE image(width, height);
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) *image.pixel_at(x, y) = colour_at(x, y);
    DATA_FILE* file = open_data_file(&folder, (name + ".png").c_str(), FILE_MODE_WRITE, 0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(save_png(&image, file));
    close_data_file(&file);
  }
  void solid(const std::string& name, INT_S16 width, INT_S16 height, COLOUR colour) {
    pattern(name, width, height, [colour](int, int) { return colour; });
  }
};

const COLOUR BACKGROUND = 0xFF101010;
const COLOUR RED = 0xFFFF0000, GREEN = 0xFF00FF00, BLUE = 0xFF0000FF, YELLOW = 0xFFFFFF00, CYAN = 0xFF00FFFF,
             MAGENTA = 0xFFFF00FF, WHITE = 0xFFFFFFFF, GREY = 0xFF808080, ORANGE = 0xFFFF8000;

// A target image of the given size filled with BACKGROUND.
struct TARGET {
  IMAGE image;
  TARGET(INT_S16 width, INT_S16 height) : image(width, height) { image.clear(&BACKGROUND, 1); }
  COLOUR at(int x, int y) { return *image.pixel_at(x, y); }
  // Every pixel of the inclusive box holds colour.
  ::testing::AssertionResult box_is(int x1, int y1, int x2, int y2, COLOUR colour) {
    for (int y = y1; y <= y2; y++)
      for (int x = x1; x <= x2; x++)
        if (at(x, y) != colour)
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << at(x, y);
    return ::testing::AssertionSuccess();
  }
  // Each box of the list holds its colour.
  struct BOX {
    int x1, y1, x2, y2;
    COLOUR colour;
  };
  ::testing::AssertionResult boxes_are(std::initializer_list<BOX> boxes) {
    for (const BOX& b : boxes) {
      ::testing::AssertionResult result = box_is(b.x1, b.y1, b.x2, b.y2, b.colour);
      if (!result) return result;
    }
    return ::testing::AssertionSuccess();
  }
};

// The nine parts of "nine": columns 10 and 30 pixels wide (centre 6), rows 4 pixels high (centre 6),
// one colour per part.
class NineFrames : public Frames {
protected:
  void SetUp() override {
    Frames::SetUp();
    solid("nine_top_left", 10, 4, RED);
    solid("nine_top_mid", 6, 4, GREEN);
    solid("nine_top_right", 30, 4, BLUE);
    solid("nine_mid_left", 10, 6, YELLOW);
    solid("nine_mid_mid", 6, 6, CYAN);
    solid("nine_mid_right", 30, 6, MAGENTA);
    solid("nine_bottom_left", 10, 4, WHITE);
    solid("nine_bottom_mid", 6, 4, GREY);
    solid("nine_bottom_right", 30, 4, ORANGE);
  }
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

TEST_F(NineFrames, CapsShrinkInProportionAndEdgesTile) {
  WM_FRAME frame(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "nine", CACHE_DROP_ON_FAILURE));

  // 20 pixels for caps of 10 and 30: 5 and 15, no middle column (no top, bottom or centre tiles).
  TARGET small(40, 40);
  frame.draw(0, 0, 19, 29, 0, &small.image, BLIT_BLEND);
  EXPECT_EQ(frame.mid_left->width, 5);
  EXPECT_EQ(frame.mid_right->width, 15);
  EXPECT_EQ(frame.top_left->width, 5);
  EXPECT_EQ(frame.top_left->height, 4);
  EXPECT_TRUE(small.boxes_are({
      {0, 0, 4, 3, RED},
      {5, 0, 19, 3, BLUE},
      {0, 4, 4, 25, YELLOW},
      {5, 4, 19, 25, MAGENTA},
      {0, 26, 4, 29, WHITE},
      {5, 26, 19, 29, ORANGE},
      {20, 0, 39, 39, BACKGROUND},
      {0, 30, 19, 39, BACKGROUND},
  }));

  // 60 x 20 at (2, 3): natural caps again (taken back from the scaled copies), a middle of 20 filled by
  // top_mid 6 + 6 + 6 + 2 and the centre tiled and cut to 20 x 12.
  TARGET wide(70, 30);
  frame.draw(61, 22, 2, 3, 0, &wide.image, BLIT_BLEND);  // corners in either order
  EXPECT_EQ(frame.mid_left->width, 10);
  EXPECT_EQ(frame.mid_right->width, 30);
  EXPECT_EQ(frame.top_mid->width, 6);
  EXPECT_TRUE(wide.boxes_are({
      {2, 3, 11, 6, RED},
      {12, 3, 31, 6, GREEN},
      {32, 3, 61, 6, BLUE},
      {2, 7, 11, 18, YELLOW},
      {12, 7, 31, 18, CYAN},
      {32, 7, 61, 18, MAGENTA},
      {12, 19, 31, 22, GREY},
      {62, 0, 69, 29, BACKGROUND},
      {0, 23, 69, 29, BACKGROUND},
  }));

  // A box taller than the rows: the side edges repeat mid_left's height and the last copy is cut.
  TARGET tall(40, 70);
  frame.draw(0, 0, 39, 69, 0, &tall.image, BLIT_COPY);
  EXPECT_TRUE(tall.boxes_are({
      {0, 4, 9, 65, YELLOW},
      {10, 4, 39, 65, MAGENTA},
      {0, 66, 9, 69, WHITE},
  }));
}

TEST_F(Frames, RowColumnAndSingleImage) {
  solid("row_left", 3, 5, RED);
  solid("row_mid", 4, 5, GREEN);
  solid("row_right", 2, 5, BLUE);
  solid("col_top", 5, 2, RED);
  solid("col_mid", 5, 3, GREEN);
  solid("col_bottom", 5, 1, BLUE);
  // 8 x 8 with a marked pixel at (2, 2).
  pattern("single", 8, 8, [](int x, int y) { return x == 2 && y == 2 ? RED : GREEN; });

  WM_FRAME row(&*image_cache);
  ASSERT_TRUE(row.load(folder_text, "row", CACHE_DROP_ON_FAILURE));
  TARGET r(20, 10);
  row.draw(1, 1, 14, 8, 0, &r.image, BLIT_BLEND);  // 14 x 8: caps scaled to the height
  EXPECT_EQ(row.mid_left->height, 8);
  EXPECT_EQ(row.mid_mid->width, 4);
  EXPECT_TRUE(r.boxes_are({
      {1, 1, 3, 8, RED},
      {4, 1, 12, 8, GREEN},
      {13, 1, 14, 8, BLUE},
      {15, 0, 19, 9, BACKGROUND},
  }));

  WM_FRAME column(&*image_cache);
  ASSERT_TRUE(column.load(folder_text, "col", CACHE_DROP_ON_FAILURE));
  TARGET c(10, 20);
  column.draw(0, 0, 6, 11, 0, &c.image, BLIT_BLEND);  // 7 x 12
  EXPECT_EQ(column.mid_mid->width, 7);
  EXPECT_TRUE(c.boxes_are({
      {0, 0, 6, 1, RED},
      {0, 2, 6, 10, GREEN},
      {0, 11, 6, 11, BLUE},
      {7, 0, 9, 19, BACKGROUND},
  }));
  // Caps of 2 and 1 in a box 2 high: 1 and 0 pixels, no middle.
  TARGET flat(10, 4);
  column.draw(0, 0, 6, 1, 0, &flat.image, BLIT_BLEND);
  EXPECT_TRUE(flat.box_is(0, 0, 6, 0, RED));
  EXPECT_TRUE(flat.box_is(0, 1, 6, 1, GREEN));

  // A single image larger than its box is centred at negative offsets and cut by the target.
  WM_FRAME single(&*image_cache);
  ASSERT_TRUE(single.load(folder_text, "single", CACHE_DROP_ON_FAILURE));
  TARGET s(4, 4);
  single.draw(0, 0, 3, 3, 0, &s.image, BLIT_BLEND);
  EXPECT_EQ(s.at(0, 0), RED);
  EXPECT_EQ(s.at(1, 1), GREEN);
  // With stretch it fills the box; without, it is back at its natural size.
  TARGET big(12, 12);
  single.draw(0, 0, 11, 11, 1, &big.image, BLIT_BLEND);
  EXPECT_EQ(single.mid_mid->width, 12);
  EXPECT_EQ(single.mid_mid->height, 12);
  EXPECT_NE(big.at(0, 0), BACKGROUND);
  EXPECT_NE(big.at(11, 11), BACKGROUND);
  TARGET natural(12, 12);
  single.composite_stale = 1;  // the composite of this size was drawn stretched
  single.draw(0, 0, 11, 11, 0, &natural.image, BLIT_BLEND);
  EXPECT_EQ(single.mid_mid->width, 8);
  EXPECT_EQ(natural.at(4, 4), RED);
  EXPECT_TRUE(natural.box_is(0, 0, 1, 11, BACKGROUND));

  // Boxes at the ends of the 16-bit range, or wider than an image can be, draw nothing and wrap nowhere.
  TARGET off(4, 4);
  single.draw(-32768, -32768, -32000, -32000, 0, &off.image, BLIT_BLEND);
  row.draw(32000, 0, 32767, 3, 0, &off.image, BLIT_BLEND);
  row.draw(-32768, 0, 32767, 3, 0, &off.image, BLIT_BLEND);
  column.draw(-20000, -20000, 30000, 30000, 0, &off.image, BLIT_BLEND);
  EXPECT_TRUE(off.box_is(0, 0, 3, 3, BACKGROUND));
  // A row starting far left of the target still shows its right cap where the box ends.
  row.draw(-30000, 0, 3, 3, 0, &off.image, BLIT_BLEND);
  EXPECT_TRUE(off.box_is(2, 0, 3, 3, BLUE));
  EXPECT_TRUE(off.box_is(0, 0, 1, 3, GREEN));
}

TEST_F(Frames, CompositeIsReusedUntilStale) {
  solid("card", 6, 6, BLUE);
  WM_FRAME frame(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "card", CACHE_DROP_ON_FAILURE));
  TARGET first(10, 10);
  frame.draw(0, 0, 9, 9, 1, &first.image, BLIT_BLEND);
  ASSERT_NE(frame.composite, nullptr);
  EXPECT_EQ(frame.composite->width, 10);
  EXPECT_TRUE(first.box_is(0, 0, 9, 9, BLUE));

  // The same size again is one blit of the composite: a mark put into it shows.
  IMAGE* composite = frame.composite;
  *composite->pixel_at(0, 0) = RED;
  TARGET again(12, 12);
  frame.draw(2, 2, 11, 11, 1, &again.image, BLIT_BLEND);
  EXPECT_EQ(frame.composite, composite);
  EXPECT_EQ(again.at(2, 2), RED);
  EXPECT_EQ(again.at(3, 2), BLUE);

  // Stale: rebuilt at the same size, and no longer stale.
  frame.composite_stale = 1;
  TARGET rebuilt(10, 10);
  frame.draw(0, 0, 9, 9, 1, &rebuilt.image, BLIT_BLEND);
  EXPECT_EQ(rebuilt.at(0, 0), BLUE);
  EXPECT_EQ(frame.composite_stale, 0);

  // Another size rebuilds it at that size.
  *frame.composite->pixel_at(0, 0) = RED;
  TARGET other(10, 10);
  frame.draw(0, 0, 4, 4, 1, &other.image, BLIT_BLEND);
  EXPECT_EQ(frame.composite->width, 5);
  EXPECT_EQ(other.at(0, 0), BLUE);

  // Without the cache the frame draws straight and keeps no composite.
  frame_composite_caching = 0;
  WM_FRAME plain(&*image_cache);
  plain.copy(frame);
  TARGET straight(10, 10);
  plain.draw(0, 0, 9, 9, 1, &straight.image, BLIT_BLEND);
  frame_composite_caching = 1;
  EXPECT_EQ(plain.composite, nullptr);
  EXPECT_TRUE(straight.box_is(0, 0, 9, 9, BLUE));
}

TEST_F(Frames, OverlaysAreCutByTheFrame) {
  // A frame whose left half is transparent, with a centred, a stretched and a tiled overlay.
  pattern("ov", 8, 8, [](int x, int) { return x < 4 ? (COLOUR)0 : RED; });
  solid("ov_colay", 2, 2, GREEN);
  WM_FRAME frame(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "ov", CACHE_DROP_ON_FAILURE));
  TARGET t(8, 8);
  frame.draw(0, 0, 7, 7, 0, &t.image, BLIT_BLEND);
  EXPECT_TRUE(t.boxes_are({
      {3, 3, 4, 4, GREEN},
      {0, 0, 2, 7, BACKGROUND},
      {5, 0, 7, 2, RED},
  }));
  // The offsets move the centred overlay; the owner marks the composite stale.
  frame.overlay_x = 2;
  frame.overlay_y = -1;
  frame.composite_stale = 1;
  TARGET moved(8, 8);
  frame.draw(0, 0, 7, 7, 0, &moved.image, BLIT_BLEND);
  EXPECT_TRUE(moved.box_is(5, 2, 6, 3, GREEN));
  EXPECT_EQ(moved.at(3, 3), BACKGROUND);

  // Stretched overlay from the offset (2, 1) to the far edges, where the frame is solid only.
  frame.clear();
  solid("st", 8, 8, RED);
  pattern("st_solay", 2, 2, [](int, int) { return BLUE; });
  pattern("st_mid", 1, 1, [](int, int) { return RED; });
  ASSERT_TRUE(frame.load(folder_text, "ov", CACHE_DROP_ON_FAILURE));
  WM_FRAME stretched(&*image_cache);
  ASSERT_TRUE(stretched.load(folder_text, "st", CACHE_DROP_ON_FAILURE));
  ASSERT_NE(stretched.solay, nullptr);
  stretched.overlay_x = 2;
  stretched.overlay_y = 1;
  TARGET s(10, 10);
  stretched.draw(1, 1, 8, 8, 0, &s.image, BLIT_BLEND);
  EXPECT_TRUE(s.boxes_are({
      {1, 1, 8, 1, RED},
      {1, 2, 2, 8, RED},
      {3, 2, 8, 8, BLUE},
      {0, 0, 9, 0, BACKGROUND},
  }));
  // The nested draw that cut the overlay reused the composite: it is still the box's size.
  ASSERT_NE(stretched.composite, nullptr);
  EXPECT_EQ(stretched.composite->width, 8);
  EXPECT_EQ(stretched.composite->height, 8);

  // Tiled overlay: a 2 x 1 pattern laid from (-overlay_x, -overlay_y) over the frame's solid half.
  pattern("ti", 8, 4, [](int x, int) { return x < 4 ? (COLOUR)0 : RED; });
  pattern("ti_tolay", 2, 1, [](int x, int) { return x == 0 ? GREEN : BLUE; });
  WM_FRAME tiled(&*image_cache);
  ASSERT_TRUE(tiled.load(folder_text, "ti", CACHE_DROP_ON_FAILURE));
  tiled.overlay_x = 1;
  TARGET ti(8, 4);
  tiled.draw(0, 0, 7, 3, 0, &ti.image, BLIT_BLEND);
  EXPECT_TRUE(ti.box_is(0, 0, 3, 3, BACKGROUND));
  EXPECT_EQ(ti.at(4, 0), BLUE);
  EXPECT_EQ(ti.at(5, 2), GREEN);
  EXPECT_EQ(ti.at(7, 3), GREEN);
}

TEST_F(NineFrames, HitTestByPart) {
  // A rounded corner (transparent top-left pixel) and a centre whose top-left pixel is transparent.
  pattern("round_top_left", 10, 4, [](int x, int y) { return x == 0 && y == 0 ? (COLOUR)0 : RED; });
  pattern("round_mid_mid", 6, 6, [](int x, int y) { return x == 0 && y == 0 ? (COLOUR)0 : CYAN; });
  for (const char* part : {"top_mid", "top_right", "mid_left", "mid_right", "bottom_left", "bottom_mid",
                           "bottom_right"}) {
    IMAGE* image = image_cache->get(folder_text, (std::string("nine_") + part).c_str(), -1, -1, 0);
    ASSERT_NE(image, nullptr);
    DATA_FILE* file = open_data_file(&folder, (std::string("round_") + part + ".png").c_str(), FILE_MODE_WRITE, 0, false);
    ASSERT_TRUE(save_png(image, file));
    close_data_file(&file);
    image_cache->release(image_cache->find_entry(image));
  }
  WM_FRAME frame(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "round", CACHE_DROP_ON_FAILURE));
  TARGET t(60, 20);
  frame.draw(0, 0, 59, 19, 0, &t.image, BLIT_BLEND);
  struct CASE {
    INT_S16 x, y;
    bool solid;
  } cases[] = {
      {0, 0, false},   // transparent corner pixel
      {1, 0, true},    {0, 1, true},
      {20, 10, false}, // anywhere in the centre: mid_mid's pixel (0, 0)
      {11, 5, false},
      {30, 10, false}, // x = W - mid_right width still counts as the middle
      {31, 10, true},  // the right edge, tested at its local x 1
      {5, 10, true},   {20, 1, true}, {55, 18, true},
      {-1, 5, false},  {60, 5, false}, {5, 20, false}, // outside the box
  };
  for (const CASE& c : cases) EXPECT_EQ(frame.hit_test(c.x, c.y, 60, 20), c.solid) << c.x << ", " << c.y;

  // Single image: tested centred, false outside the picture.
  pattern("dot", 4, 4, [](int x, int) { return x < 2 ? (COLOUR)0 : RED; });
  WM_FRAME dot(&*image_cache);
  ASSERT_TRUE(dot.load(folder_text, "dot", CACHE_DROP_ON_FAILURE));
  EXPECT_FALSE(dot.hit_test(3, 3, 8, 8));  // picture pixel (1, 1)
  EXPECT_TRUE(dot.hit_test(4, 3, 8, 8));
  EXPECT_FALSE(dot.hit_test(7, 3, 8, 8));  // right of the picture
  WM_FRAME empty(&*image_cache);
  EXPECT_FALSE(empty.hit_test(0, 0, 8, 8));
}

TEST_F(Frames, RecolouringIsCopyOnWrite) {
  solid("strip_left", 2, 2, RED);
  solid("strip_mid", 2, 2, GREEN);
  solid("strip_right", 2, 2, BLUE);
  solid("grey", 2, 2, GREY);
  WM_FRAME frame(&*image_cache), shared(&*image_cache), grey(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "strip", CACHE_DROP_ON_FAILURE));
  shared.copy(frame);
  ASSERT_TRUE(grey.load(folder_text, "grey", CACHE_DROP_ON_FAILURE));

  // Each pure channel takes its map colour.
  COLOUR to_red = 0xFF123456, to_green = 0xFF654321, to_blue = 0xFFABCDEF;
  frame.map_channels(&to_red, &to_green, &to_blue);
  TARGET mapped(6, 2);
  frame.draw(0, 0, 5, 1, 0, &mapped.image, BLIT_BLEND);
  EXPECT_TRUE(mapped.boxes_are({
      {0, 0, 1, 1, to_red},
      {2, 0, 3, 1, to_green},
      {4, 0, 5, 1, to_blue},
  }));
  // The frame sharing the pictures keeps them.
  TARGET kept(6, 2);
  shared.draw(0, 0, 5, 1, 0, &kept.image, BLIT_BLEND);
  EXPECT_TRUE(kept.box_is(0, 0, 1, 1, RED));
  EXPECT_NE(frame.mid_left, shared.mid_left);

  // Grey 0x80 tinted red: red full, the others raised to 64 by the brightness above the tint's.
  COLOUR red = RED;
  grey.tint(&red);
  TARGET tinted(2, 2);
  grey.draw(0, 0, 1, 1, 0, &tinted.image, BLIT_BLEND);
  EXPECT_EQ(tinted.at(0, 0), 0xFFFF4040u);
  // A colour change keeps the composite until the owner marks it stale.
  COLOUR from = 0xFFFF4040, to = YELLOW;
  grey.replace_colour(&from, &to);
  TARGET old(2, 2);
  grey.draw(0, 0, 1, 1, 0, &old.image, BLIT_BLEND);
  EXPECT_EQ(old.at(0, 0), 0xFFFF4040u);
  grey.composite_stale = 1;
  grey.draw(0, 0, 1, 1, 0, &old.image, BLIT_BLEND);
  EXPECT_EQ(old.at(0, 0), YELLOW);
  grey.greyscale();
  grey.composite_stale = 1;
  grey.draw(0, 0, 1, 1, 0, &old.image, BLIT_BLEND);
  COLOUR g = old.at(0, 0);
  EXPECT_EQ((g >> 16) & 0xFF, g & 0xFF);
  EXPECT_EQ((g >> 8) & 0xFF, g & 0xFF);
}

TEST_F(Frames, OverlongNamesLoadNothing) {
  solid("solo", 2, 2, RED);
  WM_FRAME frame(&*image_cache);
  ASSERT_TRUE(frame.load(folder_text, "solo", CACHE_DROP_ON_FAILURE));
  std::string name(FRAME_NAME_SIZE, 's');
  EXPECT_FALSE(frame.load(folder_text, name.c_str(), CACHE_DROP_ON_FAILURE));
  EXPECT_EQ(frame.mid_mid, nullptr);
  // Fits alone but not with a part's suffix: only the bare name would be tried.
  std::string longest(FRAME_NAME_SIZE - 1, 's');
  EXPECT_FALSE(frame.load(folder_text, longest.c_str(), CACHE_DROP_ON_FAILURE));
}

}  // namespace
