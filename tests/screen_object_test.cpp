// Tests of screen objects: children added and removed relative to the parent, points and the object under
// them, focus with its callbacks, moves and resizes that change nothing, hiding, ownership, and the
// globals that never point at a deleted object.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "page_manager.h"
#include "redraw.h"
#include "screen_object.h"
#include "wm_test_support.h"

// While set, every nothrow allocation fails, as it would with no memory left (the lists allocate their
// nodes that way).
static bool nothrow_allocations_fail = false;

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (nothrow_allocations_fail) return nullptr;
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

WM_SCREEN_OBJECT* make(INT_S16 x, INT_S16 y, INT_S16 w, INT_S16 h, INT_U8 visible = 1) {
  WM_SCREEN_OBJECT* object = new WM_SCREEN_OBJECT(visible, nullptr, 0, 0);
  object->x = x, object->y = y, object->width = w, object->height = h;
  return object;
}

std::vector<std::pair<WM_SCREEN_OBJECT*, INT_U32>> focus_calls;
void record_focus(WM_SCREEN_OBJECT* object, INT_U32 user) { focus_calls.push_back({object, user}); }

TEST(ScreenObject, ConstructorValues) {
  WM_TEST_SCREEN screen(64, 48, 0);
  WM_SCREEN_OBJECT object(1, nullptr, 7, 8);
  EXPECT_EQ(object.area, -1);
  EXPECT_EQ(object.border_type, 1);
  EXPECT_EQ(object.click_mode, 2u);
  EXPECT_EQ(object.colour, 0u);
  EXPECT_EQ(object.needs_draw, 1);
  EXPECT_EQ(object.drawn, 0);
  EXPECT_EQ(object.event_user1, 7u);
  EXPECT_EQ(object.event_user2, 8u);
  EXPECT_FALSE(object.is_focusable());
  EXPECT_EQ(object.border_width(1), 2);  // own type 1: the default type 6
  object.border_type = 9;
  EXPECT_EQ(object.border_width(1), 4);
  EXPECT_EQ(object.border_width(3), 1);
}

TEST(ScreenObject, ChildrenRelativeAndBack) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_SCREEN_OBJECT parent(1, nullptr, 0, 0);
  parent.x = 100, parent.y = 50, parent.width = 20, parent.height = 20;
  parent.area = 3;
  WM_SCREEN_OBJECT* child = make(10, 10, 5, 5);
  parent.add_child(child, true);
  EXPECT_EQ(child->x, 110);
  EXPECT_EQ(child->y, 60);
  EXPECT_EQ(child->area, 3);
  EXPECT_EQ(parent.child_at_index(0), child);
  EXPECT_EQ(parent.child_at_index(1), nullptr);
  EXPECT_EQ(parent.child_at_index(-1), nullptr);
  parent.remove_child(child, false, true);
  EXPECT_EQ(child->x, 10);
  EXPECT_EQ(child->y, 10);
  EXPECT_EQ(child->visible, 0);  // hidden when taken out
  EXPECT_EQ(child->area, 0);
  parent.remove_child(child, true, false);  // not a child any more: not deleted
  parent.add_child(nullptr, true);
  delete child;

  // Moving the parent moves the children by the same amount.
  WM_SCREEN_OBJECT* second = make(0, 0, 5, 5);
  parent.add_child(second, true);
  parent.move_to(200, 100);
  EXPECT_EQ(second->x, 200);
  EXPECT_EQ(second->y, 100);
  parent.resize(40, 30, true);
  EXPECT_EQ(second->width, 25);
  EXPECT_EQ(second->height, 15);
}

TEST(ScreenObject, PointsAndObjectUnderThem) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_SCREEN_OBJECT parent(1, nullptr, 0, 0);
  parent.x = 0, parent.y = 0, parent.width = 10, parent.height = 10;
  WM_SCREEN_OBJECT* outside = make(50, 50, 10, 10);
  WM_SCREEN_OBJECT* low = make(2, 2, 6, 6);
  WM_SCREEN_OBJECT* high = make(4, 4, 6, 6);
  WM_SCREEN_OBJECT* hidden = make(4, 4, 6, 6, 0);
  for (WM_SCREEN_OBJECT* c : {outside, low, high, hidden}) parent.add_child(c, false);
  EXPECT_TRUE(parent.contains_point(55, 55));  // through the child outside the parent's rectangle
  EXPECT_FALSE(parent.rect_contains_point(55, 55));
  EXPECT_EQ(parent.object_at(55, 55), outside);
  EXPECT_EQ(parent.object_at(5, 5), high);  // the later of two overlapping children; the hidden one never
  EXPECT_EQ(parent.object_at(3, 3), low);
  EXPECT_EQ(parent.object_at(0, 0), &parent);
  EXPECT_EQ(parent.object_at(30, 30), nullptr);
  EXPECT_TRUE(parent.rect_contains_point(9, 9));
  EXPECT_FALSE(parent.rect_contains_point(10, 9));
  parent.visible = 0;
  EXPECT_FALSE(parent.contains_point(5, 5));
  EXPECT_EQ(parent.object_at(5, 5), nullptr);
}

TEST(ScreenObject, FocusAndItsCallbacks) {
  WM_TEST_SCREEN screen(640, 480, 0);
  focus_calls.clear();
  WM_SCREEN_OBJECT* a = make(0, 0, 5, 5);
  WM_SCREEN_OBJECT* b = make(10, 0, 5, 5);
  WM_SCREEN_OBJECT* hidden = make(20, 0, 5, 5, 0);
  for (WM_SCREEN_OBJECT* o : {a, b, hidden}) {
    o->focusable = 1;
    o->focus_callback = record_focus;
  }
  a->focus_user = 1, b->focus_user = 2;
  WM_SCREEN_OBJECT* plain = make(30, 0, 5, 5);
  plain->focus_callback = record_focus;

  plain->take_focus();   // not focusable
  hidden->take_focus();  // hidden
  EXPECT_EQ(focus_object, nullptr);
  EXPECT_TRUE(focus_calls.empty());
  a->take_focus();
  EXPECT_EQ(focus_object, a);
  EXPECT_EQ(focus_confirmed, 1);
  a->take_focus();  // already the focus: nothing
  ASSERT_EQ(focus_calls.size(), 1u);
  b->take_focus();  // the previous one's callback first, then the new one's
  ASSERT_EQ(focus_calls.size(), 3u);
  EXPECT_EQ(focus_calls[1].first, a);
  EXPECT_EQ(focus_calls[1].second, 1u);
  EXPECT_EQ(focus_calls[2].first, b);

  delete b;  // deleting the focus object calls its own callback once and leaves no focus
  EXPECT_EQ(focus_object, nullptr);
  ASSERT_EQ(focus_calls.size(), 4u);
  EXPECT_EQ(focus_calls[3].first, b);
  for (WM_SCREEN_OBJECT* o : {a, hidden, plain}) delete o;
}

TEST(ScreenObject, UnchangedGeometryInvalidatesNothing) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_SCREEN_OBJECT* object = make(10, 10, 5, 5);
  clear_redraw_regions();
  object->move_to(10, 10);
  object->resize(5, 5, true);
  EXPECT_EQ(redraw_region_count, 0);
  object->move_to(100, 10);  // old and new rectangles
  EXPECT_EQ(redraw_region_count, 2);
  WM_SCREEN_OBJECT hidden(0, nullptr, 0, 0);
  clear_redraw_regions();
  hidden.move_to(300, 300);  // a hidden object only stores the position
  EXPECT_EQ(hidden.x, 300);
  EXPECT_EQ(redraw_region_count, 0);
  delete object;
}

TEST(ScreenObject, HidingChildrenAndShowingTheParent) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_SCREEN_OBJECT parent(1, nullptr, 0, 0);
  parent.width = parent.height = 10;
  WM_SCREEN_OBJECT* a = make(0, 0, 2, 2);
  WM_SCREEN_OBJECT* b = make(2, 2, 2, 2);
  parent.add_child(a, false);
  parent.add_child(b, false);
  parent.hide(false, true);
  EXPECT_EQ(a->visible, 0);
  EXPECT_EQ(b->visible, 0);
  EXPECT_EQ(parent.visible, 0);
  parent.show();
  EXPECT_EQ(parent.visible, 1);
  EXPECT_EQ(a->visible, 0);  // the caller shows the children
  EXPECT_EQ(parent.needs_draw, 1);
  parent.set_state(5);
  EXPECT_EQ(parent.state, 5);
}

TEST(ScreenObject, NotOwnedChildSurvivesItsParentAndGlobalsAreCleared) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_SCREEN_OBJECT* kept = make(0, 0, 5, 5);
  kept->not_owned = 1;
  WM_SCREEN_OBJECT* parent = make(0, 0, 10, 10);
  WM_SCREEN_OBJECT* owned = make(1, 1, 2, 2);
  parent->add_child(kept, false);
  parent->add_child(owned, false);
  pressed_object = owned;
  scroll_wheel_target = owned;
  delete parent;
  EXPECT_EQ(kept->visible, 0);
  EXPECT_EQ(pressed_object, nullptr);
  EXPECT_EQ(scroll_wheel_target, nullptr);
  delete kept;
}

TEST(ScreenObject, HandlesFindLiveObjectsOnly) {
  WM_TEST_SCREEN screen(640, 480, 0);
  EXPECT_EQ(object_handle(nullptr), 0u);
  EXPECT_EQ(object_from_handle(0), nullptr);
  WM_SCREEN_OBJECT* parent = make(0, 0, 10, 10);
  WM_SCREEN_OBJECT* child = make(1, 1, 2, 2);
  parent->add_child(child, false);
  INT_U32 parent_handle = object_handle(parent), child_handle = object_handle(child);
  EXPECT_NE(parent_handle, 0u);
  EXPECT_NE(parent_handle, child_handle);
  EXPECT_EQ(object_handle(parent), parent_handle);  // one handle per object
  EXPECT_EQ(object_from_handle(parent_handle), parent);
  EXPECT_EQ(object_from_handle(child_handle), child);
  // Deleting the parent deletes the child: neither handle finds anything, and a new object never
  // takes an old handle.
  delete parent;
  EXPECT_EQ(object_from_handle(parent_handle), nullptr);
  EXPECT_EQ(object_from_handle(child_handle), nullptr);
  WM_SCREEN_OBJECT* later = make(0, 0, 1, 1);
  INT_U32 later_handle = object_handle(later);
  EXPECT_NE(later_handle, parent_handle);
  EXPECT_NE(later_handle, child_handle);
  EXPECT_EQ(object_from_handle(later_handle), later);
  delete later;
}

TEST(ScreenObject, DetachAllDeletesOwnedAndHidesTheRest) {
  WM_TEST_SCREEN screen(640, 480, 1);
  WM_SCREEN_OBJECT* root = screen.manager->get_root();
  WM_SCREEN_OBJECT* kept = make(0, 0, 5, 5);
  kept->not_owned = 1;
  root->add_child(kept, false);
  root->add_child(make(0, 0, 5, 5), false);
  root->add_top_level(make(0, 0, 5, 5), false);
  WM_SCREEN_OBJECT* kept_dialog = make(0, 0, 5, 5);
  kept_dialog->not_owned = 1;
  root->add_top_level(kept_dialog, false);
  root->detach_all(false, false, true);
  EXPECT_EQ(root->children.count, 0);
  EXPECT_EQ(top_level_list()->count, 2);
  root->detach_all(true, false, false);
  EXPECT_EQ(top_level_list()->count, 0);
  EXPECT_EQ(kept->visible, 0);
  EXPECT_EQ(kept_dialog->visible, 0);
  delete kept;
  delete kept_dialog;
}

// A child or dialog that no list node can be had for ends the run as a failed allocation does; it is in
// no tree then and still the caller's (deleting it here frees it once).
TEST(ScreenObject, NoNodeForAChildThrowsAndLeavesItTheCallers) {
  WM_TEST_SCREEN screen(640, 480, 1);
  WM_SCREEN_OBJECT* root = screen.manager->get_root();
  INT_S32 children = root->children.count, top_level = top_level_list()->count;
  for (bool as_top_level : {false, true}) {
    WM_SCREEN_OBJECT* object = make(0, 0, 5, 5);
    nothrow_allocations_fail = true;
    EXPECT_THROW(as_top_level ? root->add_top_level(object, false) : root->add_child(object, false),
                 std::bad_alloc);
    nothrow_allocations_fail = false;
    EXPECT_EQ(root->children.count, children);
    EXPECT_EQ(top_level_list()->count, top_level);
    EXPECT_FALSE(is_top_level(object));
    delete object;
  }
}

}  // namespace
