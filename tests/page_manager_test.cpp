// Tests of the page manager: construction and the exit hook, pages set and applied (the first page with
// result 10), the history stack with its limit, replacement and dropped records, the page-stack
// operations, and the reduced widgets the installer engine builds on (progress bar, confirmation box).
#include <gtest/gtest.h>

#include <vector>

#include "host.h"
#include "page_manager.h"
#include "redraw.h"
#include "wm_test_support.h"

namespace {

std::vector<INT_U32> closed;
int built = 0;
void build_page(WM_PAGE_MANAGER* manager) {
  built++;
  WM_SCREEN_OBJECT* object = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  object->width = object->height = 10;
  manager->get_root()->add_child(object, false);
}
void build_other(WM_PAGE_MANAGER* manager) { build_page(manager); }
void close_page(INT_U32* user_value) { closed.push_back(*user_value); }

TEST(PageManager, ConstructionExitHookAndDestruction) {
  {
    WM_TEST_SCREEN screen(320, 240, 0);
    WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(2, 16);
    EXPECT_EQ(page_manager, manager);
    EXPECT_EQ(exit_hook, page_manager_exit_hook);
    EXPECT_EQ(manager->area_count, 2);
    EXPECT_EQ(manager->areas[1].root.area, 1);
    EXPECT_EQ(manager->areas[0].count, 1);
    EXPECT_EQ(manager->areas[0].requested, -1);
    EXPECT_EQ(manager->transition_ms, 700u);
    EXPECT_EQ(manager->click_x, -1);
    EXPECT_EQ(KEYBOARD_HANDLER::queue_size, 16);
    closed.clear();
    manager->set_page(1, build_page, close_page, 5, nullptr, 0, 0, nullptr);
    run_pass();
    manager->get_root()->add_top_level(new WM_SCREEN_OBJECT(1, nullptr, 0, 0), false);
    exit_hook();  // closes every area's page and the top-level objects
    EXPECT_EQ(closed, std::vector<INT_U32>{5});
    EXPECT_EQ(top_level_list()->count, 0);
    EXPECT_EQ(manager->areas[1].root.children.count, 0);
    delete manager;
    // The global and the hook never point at the freed manager.
    EXPECT_EQ(page_manager, nullptr);
    EXPECT_EQ(exit_hook, nullptr);
  }
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(10);
}

TEST(PageManager, FirstPageComesInWithTenAndIsBuiltThen) {
  WM_TEST_SCREEN screen(320, 240, 1);
  built = 0;
  screen.manager->set_page(0, build_page, nullptr, 0, nullptr, 0, 0, nullptr);
  screen.manager->set_page(3, build_page, nullptr, 0, nullptr, 0, 0, nullptr);  // no such area
  screen.manager->set_page(0, nullptr, nullptr, 0, nullptr, 0, 0, nullptr);     // no build function
  EXPECT_EQ(built, 0);
  EXPECT_EQ(run_pass(), WM_RESULT_APPLY_PAGES);
  EXPECT_EQ(built, 1);
  EXPECT_EQ(screen.manager->areas[0].root.children.count, 1);
  EXPECT_EQ(run_pass(), 0);
  EXPECT_EQ(built, 1);

  // From then on a page set waits for a result that applies it.
  screen.manager->set_page(0, build_other, nullptr, 0, nullptr, 0, 0, nullptr);
  EXPECT_EQ(run_pass(), 0);
  EXPECT_EQ(built, 1);
}

TEST(PageManager, HistoryKeepsTwentyRecords) {
  WM_TEST_SCREEN screen(320, 240, 1);
  closed.clear();
  WM_AREA& area = screen.manager->areas[0];
  for (INT_U32 i = 1; i <= 21; i++) {
    screen.manager->set_page(0, build_page, close_page, i, nullptr, 1, 0, nullptr);
    screen.manager->apply_page(0);
  }
  EXPECT_EQ(area.count, 20);
  EXPECT_EQ(area.current, 19);
  EXPECT_EQ(area.pages[19].user_value, 21u);
  EXPECT_EQ(area.pages[0].user_value, 2u);
  EXPECT_EQ(closed, std::vector<INT_U32>{1});  // the oldest dropped
  EXPECT_EQ(screen.manager->page_value(0, 0), 2u);
  EXPECT_EQ(screen.manager->page_value(20, 0), 0u);
  EXPECT_TRUE(screen.manager->has_page(21));
  EXPECT_FALSE(screen.manager->has_page(1));
}

TEST(PageManager, EqualPageReplacesItselfAndPendingPagesClose) {
  WM_TEST_SCREEN screen(320, 240, 1);
  closed.clear();
  WM_AREA& area = screen.manager->areas[0];
  screen.manager->set_page(0, build_page, close_page, 7, nullptr, 1, 0, nullptr);
  screen.manager->apply_page(0);
  // The same functions, stamp and value: replaced even though keep_in_history is set.
  screen.manager->set_page(0, build_page, close_page, 7, nullptr, 1, 0, nullptr);
  area.pending.time_stamp = area.pages[area.current].time_stamp;
  screen.manager->apply_page(0);
  EXPECT_EQ(area.count, 1);
  EXPECT_EQ(closed, std::vector<INT_U32>{7});

  // set_page twice: the first pending page's close runs only for a non-zero value.
  closed.clear();
  screen.manager->set_page(0, build_page, close_page, 0, nullptr, 0, 0, nullptr);
  screen.manager->set_page(0, build_page, close_page, 9, nullptr, 0, 0, nullptr);
  EXPECT_TRUE(closed.empty());
  screen.manager->set_page(0, build_other, close_page, 3, nullptr, 0, 0, nullptr);
  EXPECT_EQ(closed, std::vector<INT_U32>{9});
  EXPECT_EQ(area.pending.build, build_other);
}

TEST(PageManager, GoingBackAndDroppedRecordsKeepTheListWhole) {
  WM_TEST_SCREEN screen(320, 240, 1);
  WM_AREA& area = screen.manager->areas[0];
  for (INT_U32 i = 1; i <= 4; i++) {
    screen.manager->set_page(0, build_page, close_page, i, nullptr, 1, 0, nullptr);
    area.pending.time_stamp = 100 + i;
    screen.manager->apply_page(0);
  }
  ASSERT_EQ(area.count, 4);
  EXPECT_TRUE(screen.manager->can_go_back(0));
  EXPECT_FALSE(screen.manager->can_go_forward(0));
  screen.manager->select_page(3, 0);  // the current one: a redraw instead of a request
  EXPECT_EQ(area.redraw_requested, 1);
  EXPECT_EQ(area.requested, -1);
  area.redraw_requested = 0;

  // The current page is not kept: going back drops it, and the later records move down.
  area.pages[area.current].keep_in_history = 0;
  screen.manager->select_page(1, 0);
  screen.manager->apply_page(0);
  EXPECT_EQ(area.count, 3);
  EXPECT_EQ(area.current, 1);
  EXPECT_EQ(area.pages[1].user_value, 2u);
  EXPECT_EQ(area.pages[2].user_value, 3u);
  EXPECT_LT(area.current, area.count);

  // A page applied after going back drops the forward history.
  area.pages[area.current].keep_in_history = 1;
  screen.manager->set_page(0, build_other, close_page, 8, nullptr, 0, 0, nullptr);
  screen.manager->apply_page(0);
  EXPECT_EQ(area.count, 3);
  EXPECT_EQ(area.pages[2].user_value, 8u);
  EXPECT_FALSE(screen.manager->can_go_forward(0));

  screen.manager->remove_page(0, 0);
  EXPECT_EQ(area.count, 2);
  EXPECT_EQ(area.current, 1);
  screen.manager->remove_page(1, 0);  // the current page stays
  EXPECT_EQ(area.count, 2);

  // keep_current_page leaves one record: the current page at index 0.
  screen.manager->keep_current_page(0);
  EXPECT_EQ(area.count, 1);
  EXPECT_EQ(area.current, 0);
  EXPECT_EQ(area.pages[0].user_value, 8u);
  EXPECT_EQ(area.pages[1].build, nullptr);
}

TEST(PageManager, ObjectAtAndWorkArea) {
  WM_TEST_SCREEN screen(320, 240, 2);
  WM_SCREEN_OBJECT* object = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  object->x = 10, object->y = 10, object->width = object->height = 5;
  screen.manager->areas[0].root.add_child(object, false);
  EXPECT_EQ(screen.manager->object_at(12, 12), object);
  EXPECT_EQ(screen.manager->object_at(100, 100), &screen.manager->areas[1].root);
  INT_S16 l, t, r, b;
  get_work_area(&l, &t, &r, &b);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(t, 0);
  EXPECT_EQ(r, 319);
  EXPECT_EQ(b, 239);
}

}  // namespace
