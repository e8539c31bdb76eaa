// Tests of the redraw regions and the top-level list: the collecting rules with the merge example, the
// 128-entry limit, clipping to the display, invalidations while rendering, immediate redraw, and the
// top-level list's search and removal.
#include <gtest/gtest.h>

#include "host.h"
#include "image.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_object.h"
#include "wm_test_support.h"

namespace {

// Rectangles are given left, top, right, bottom as the examples write them.
void add(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom) {
  add_redraw_region(nullptr, left, top, right, bottom);
}

void expect_region(int index, INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom) {
  const WM_REDRAW_REGION& r = redraw_regions[index];
  EXPECT_EQ(r.left, left) << index;
  EXPECT_EQ(r.top, top) << index;
  EXPECT_EQ(r.right, right) << index;
  EXPECT_EQ(r.bottom, bottom) << index;
}

TEST(RedrawRegions, MergeExampleEndsInOneEntry) {
  WM_TEST_SCREEN screen(640, 480, 0);
  add(0, 0, 9, 9);
  add(50, 0, 59, 9);  // 50 < 9 + 32 fails: appended
  ASSERT_EQ(redraw_region_count, 2);
  add(30, 0, 39, 9);  // merges with the first, and the union then with the second
  ASSERT_EQ(redraw_region_count, 1);
  expect_region(0, 0, 0, 59, 9);
  add(10, 2, 20, 8);  // inside: the list is unchanged
  ASSERT_EQ(redraw_region_count, 1);
  expect_region(0, 0, 0, 59, 9);
}

TEST(RedrawRegions, TheEntryLimitGrowsEntryZero) {
  WM_TEST_SCREEN screen(640, 480, 0);
  for (int i = 0; i < REDRAW_REGION_LIMIT; i++) add((INT_S16)(i * 100), 0, (INT_S16)(i * 100), 0);
  ASSERT_EQ(redraw_region_count, REDRAW_REGION_LIMIT);
  add(30000, 500, 30001, 501);  // the 129th merges with nothing
  EXPECT_EQ(redraw_region_count, REDRAW_REGION_LIMIT);
  expect_region(0, 0, 0, 30001, 501);
  expect_region(127, 12700, 0, 12700, 0);
}

TEST(RedrawRegions, OtherModes) {
  WM_TEST_SCREEN screen(640, 480, 0);
  struct CASE {
    INT_S32 mode;
    INT_S16 count;
    WM_REDRAW_REGION first;  // top, left, right, bottom
  } cases[] = {
      {0, 1, {0, 0, 300, 210}},     // one union
      {1, 2, {0, 0, 9, 9}},         // a plain list
      {2, 1, {0, 0, 300, 210}},     // any grown overlap merges
      {4, 1, {0, 0, 639, 479}},     // the whole display
      {7, 0, {-1, -1, -1, -1}},     // nothing collected
  };
  for (const CASE& c : cases) {
    clear_redraw_regions();
    redraw_mode = c.mode;
    add(0, 0, 9, 9);
    add(300, 200, 300, 210);
    EXPECT_EQ(redraw_region_count, c.count) << c.mode;
    const WM_REDRAW_REGION& r = redraw_regions[0];
    EXPECT_EQ(r.top, c.first.top) << c.mode;
    EXPECT_EQ(r.left, c.first.left) << c.mode;
    EXPECT_EQ(r.right, c.first.right) << c.mode;
    EXPECT_EQ(r.bottom, c.first.bottom) << c.mode;
  }
  redraw_mode = 3;
}

TEST(RedrawRegions, InvalidationIsClippedToTheDisplay) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_SCREEN_OBJECT object(1, nullptr, 0, 0);
  object.x = object.y = -10;
  object.width = object.height = 20;
  object.invalidate();
  ASSERT_EQ(redraw_region_count, 1);
  expect_region(0, 0, 0, 9, 9);

  clear_redraw_regions();
  object.x = 630, object.y = 470;
  object.invalidate();  // beyond the right and bottom edges
  expect_region(0, 630, 470, 639, 479);

  clear_redraw_regions();
  object.x = 700;  // wholly outside: nothing
  object.invalidate();
  object.invalidate_rect(-50, -50, -5, -5);
  object.invalidate_rect(10, 10, 5, 5);  // inverted
  EXPECT_EQ(redraw_region_count, 0);
  object.invalidate_rect(-5, 470, 700, 900);
  expect_region(0, 0, 470, 639, 479);

  clear_redraw_regions();
  invalidate_display(&object);
  expect_region(0, 0, 0, 639, 479);
}

TEST(RedrawRegions, InvalidationsWhileRenderingAreDropped) {
  WM_TEST_SCREEN screen(640, 480, 0);
  add(0, 0, 9, 9);
  current_redraw_region = 0;
  EXPECT_TRUE(redraw_region_active());
  add(100, 100, 200, 200);
  EXPECT_EQ(redraw_region_count, 1);
  WM_SCREEN_OBJECT inside(1, nullptr, 0, 0), outside(1, nullptr, 0, 0);
  inside.x = 9, inside.y = 9, inside.width = inside.height = 5;
  outside.x = 10, outside.y = 0, outside.width = outside.height = 5;
  EXPECT_TRUE(inside.meets_redraw_region());
  EXPECT_FALSE(outside.meets_redraw_region());
  current_redraw_region = -1;
  EXPECT_FALSE(redraw_region_active());
  EXPECT_FALSE(inside.meets_redraw_region());
}

// Paints its rectangle in its colour.
class PAINTED : public WM_SCREEN_OBJECT {
public:
  PAINTED(INT_S16 x_, INT_S16 y_, INT_S16 w, INT_S16 h, COLOUR c) : WM_SCREEN_OBJECT(1, nullptr, 0, 0) {
    x = x_, y = y_, width = w, height = h, colour = c;
  }
  void draw() override { draw_target->fill_rectangle(x, y, (INT_S16)(x + width - 1), (INT_S16)(y + height - 1), &colour, 0); }
};

TEST(RedrawRegions, DrawNowPaintsOnlyTheObjectsRectangleAndKeepsEntryZero) {
  WM_TEST_SCREEN screen(100, 80, 1);
  PAINTED* under = new PAINTED(0, 0, 100, 80, 0xFF0000FF);
  screen.manager->get_root()->add_child(under, false);
  PAINTED loose(10, 10, 5, 5, 0xFFFF0000);  // belongs to no area
  clear_redraw_regions();
  add(50, 50, 60, 60);
  WM_SCREEN_OBJECT::draw_now(&loose);
  EXPECT_EQ(screen_pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(screen_pixel(14, 14), 0xFFFF0000u);
  EXPECT_EQ(screen_pixel(15, 15), 0xFF000000u);  // outside the object's rectangle nothing changed
  EXPECT_EQ(redraw_region_count, 1);
  expect_region(0, 50, 50, 60, 60);
  EXPECT_EQ(current_redraw_region, -1);
  WM_SCREEN_OBJECT::draw_now(nullptr);  // nothing
  draw_all_now(0);
  EXPECT_EQ(screen_pixel(70, 70), 0xFF0000FFu);
}

TEST(TopLevelList, FindCountAreaAndRemoval) {
  WM_TEST_SCREEN screen(640, 480, 1);
  WM_SCREEN_OBJECT* root = screen.manager->get_root();
  WM_SCREEN_OBJECT* dialog = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  dialog->kind = WM_KIND_DIALOG;
  WM_SCREEN_OBJECT* hidden = new WM_SCREEN_OBJECT(0, nullptr, 0, 0);
  hidden->kind = WM_KIND_DIALOG | WM_KIND_CONFIRM;
  WM_SCREEN_OBJECT* loose = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  loose->not_owned = 1;
  root->add_top_level(dialog, false);
  root->add_top_level(hidden, false);
  EXPECT_EQ(find_top_level(WM_KIND_DIALOG), dialog);  // the hidden one above is skipped
  EXPECT_EQ(find_top_level(WM_KIND_CONFIRM), nullptr);
  EXPECT_EQ(count_visible_top_level(), 1);
  EXPECT_EQ(top_level_area(), -2);
  EXPECT_EQ(dialog->area, -2);
  root->add_top_level(loose, false);
  EXPECT_EQ(find_top_level(0), loose);
  // One that takes no input (a button's hint) stands above without taking the pass's input.
  EXPECT_EQ(find_input_top_level(), loose);
  loose->takes_no_input = 1;
  EXPECT_EQ(find_input_top_level(), dialog);

  root->remove_top_level(loose, true, false);  // not owned: alive, area 0
  EXPECT_FALSE(is_top_level(loose));
  EXPECT_EQ(loose->area, 0);
  delete loose;
  WM_SCREEN_OBJECT stranger(1, nullptr, 0, 0);
  root->remove_top_level(&stranger, true, false);  // not on the list: not deleted
  root->remove_top_level(nullptr, true, false);

  // An object deleted while on the list takes itself off.
  delete hidden;
  EXPECT_FALSE(is_top_level(hidden));
  EXPECT_EQ(top_level_list()->count, 1);
  root->remove_top_level(dialog, true, false);
  EXPECT_EQ(top_level_list()->count, 0);
  EXPECT_EQ(top_level_area(), -1);
}

}  // namespace
