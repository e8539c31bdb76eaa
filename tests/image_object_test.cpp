// Tests of image objects driven through the page manager's pass: the sizes the object and its image take
// from each other when drawn, rescaling on resize, and the callback on press and release with the click
// point relative to the object and the value 0.
#include <gtest/gtest.h>

#include <vector>

#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "image_object.h"
#include "page_manager.h"
#include "screen_image.h"
#include "wm_test_support.h"

namespace {

struct SEEN {
  INT_S16 click_x, click_y;
  int value;
};
std::vector<SEEN> seen;

WM_RESULT record(WM_SCREEN_OBJECT* object, INT_U32, INT_U32, int value) {
  WM_IMAGE* image = static_cast<WM_IMAGE*>(object);
  seen.push_back({image->click_x, image->click_y, value});
  return 0;
}

class ImageObjectTest : public ::testing::Test {
protected:
  WM_TEST_SCREEN screen{320, 240, 1};
  void SetUp() override { seen.clear(); }
};

}  // namespace

TEST_F(ImageObjectTest, SizesFollowEachOther) {
  screen_image.set_clip(0, 0, 319, 239);
  // Made at 0 x 0, its image loaded afterwards: drawn at the image's size, which it keeps.
  WM_IMAGE icon(10, 10, 0, 0, 1, nullptr, 0, 0, 0x2);
  EXPECT_EQ(icon.image.width, 0);
  EXPECT_EQ(icon.kind & WM_KIND_IMAGE, WM_KIND_IMAGE);
  icon.image.set_size(6, 4);
  COLOUR red = 0xFFFF0000;
  icon.image.clear(&red, 1);
  icon.draw();
  EXPECT_EQ(icon.width, 6);
  EXPECT_EQ(icon.height, 4);
  EXPECT_EQ(screen_pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(screen_pixel(15, 13), 0xFFFF0000u);
  EXPECT_NE(screen_pixel(16, 13), 0xFFFF0000u);

  // An empty image takes the object's size, blank: nothing shows.
  WM_IMAGE blank(100, 100, 100, 50, 1, nullptr, 0, 0, 0x2);
  blank.image.set_size(0, 0);
  INT_U32 before = screen_pixel(150, 120);
  blank.draw();
  EXPECT_EQ(blank.image.width, 100);
  EXPECT_EQ(blank.image.height, 50);
  EXPECT_EQ(screen_pixel(150, 120), before);

  // Resizing to the current size keeps the pixels; to another size rescales them; the draw centres.
  icon.resize(6, 4, false);
  EXPECT_EQ(icon.image.width, 6);
  icon.resize(12, 8, false);
  EXPECT_EQ(icon.image.width, 12);
  EXPECT_EQ(icon.image.height, 8);
  EXPECT_EQ(*icon.image.pixel_at(11, 7), 0xFFFF0000u);
  icon.image.set_size(4, 4);
  icon.image.clear(&red, 1);
  icon.image.size_locked = 1;  // keeps 4 x 4 in a 12 x 8 object
  icon.draw();
  EXPECT_EQ(screen_pixel(10 + 4, 10 + 2), 0xFFFF0000u);
}

TEST_F(ImageObjectTest, PressAndReleaseCallTheCallback) {
  WM_IMAGE* image = new WM_IMAGE(50, 60, 40, 30, 1, record, 0, 0, 0x2);
  image->focusable = 1;
  show_as_page({image}, 2);
  press(55, 70);
  EXPECT_TRUE(seen.empty());  // the press does not fire with mask 0x2
  release(55, 70);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].click_x, 5);
  EXPECT_EQ(seen[0].click_y, 10);
  EXPECT_EQ(seen[0].value, 0);
  EXPECT_EQ(image->click_x, -1);
  EXPECT_EQ(image->click_y, -1);

  // A release over the object after a press elsewhere still counts.
  press(200, 200);
  release(60, 61);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].click_x, 10);

  // With 0x3 press and release each fire; the right button does nothing.
  image->event_mask = 0x3;
  click(89, 89);
  EXPECT_EQ(seen.size(), 4u);
  click(60, 70, 2);
  EXPECT_EQ(seen.size(), 4u);

  // The activation key on the focused object acts at its centre.
  image->take_focus();
  ASSERT_EQ(focus_object, image);
  test_seam_pointer(300, 230);
  key(VKEY_RETURN);
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[4].click_x, 20);
  EXPECT_EQ(seen[4].click_y, 15);
}
