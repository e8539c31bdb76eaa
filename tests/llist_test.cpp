// Tests of the linked lists: insertion around the cursor, walks both ways, removal and the delete
// callback, and whole pointers in the pointer list.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "llist.h"

namespace {

std::vector<INT_S32> forward(LLIST& list) {
  std::vector<INT_S32> seen;
  list.cursor = list.head;
  while (void* data = list.next()) seen.push_back(*static_cast<INT_S32*>(data));
  return seen;
}

std::vector<INT_S32> backward(LLIST& list) {
  std::vector<INT_S32> seen;
  list.cursor = list.tail;
  while (void* data = list.prev()) seen.push_back(*static_cast<INT_S32*>(data));
  return seen;
}

void add_number(LLIST& list, INT_S32 value) {
  ASSERT_TRUE(list.add(&value, sizeof value));
}

std::vector<void*> dropped;
void record_drop(void* item) {
  dropped.push_back(item);
}

}  // namespace

TEST(LlistTest, AddsAtTailOrBeforeCursorAndWalksBothWays) {
  LLIST list;
  for (INT_S32 v : {1, 2, 3}) add_number(list, v);
  EXPECT_EQ(list.count, 3);
  EXPECT_EQ(forward(list), (std::vector<INT_S32>{1, 2, 3}));
  EXPECT_EQ(backward(list), (std::vector<INT_S32>{3, 2, 1}));

  // Mid-walk the new node goes before the cursor and the walk does not meet it.
  list.cursor = list.head;
  LLIST_NODE* node = nullptr;
  EXPECT_EQ(*static_cast<INT_S32*>(list.next(&node)), 1);
  EXPECT_EQ(node, list.head);
  add_number(list, 4);
  EXPECT_EQ(*static_cast<INT_S32*>(list.next()), 2);
  list.cursor = nullptr;
  EXPECT_EQ(forward(list), (std::vector<INT_S32>{1, 4, 2, 3}));
  EXPECT_EQ(backward(list), (std::vector<INT_S32>{3, 2, 4, 1}));

  // With the cursor on the head the new node becomes the head.
  list.cursor = list.head;
  add_number(list, 0);
  EXPECT_EQ(forward(list), (std::vector<INT_S32>{0, 1, 4, 2, 3}));
  EXPECT_EQ(list.count, 5);

  // A finished walk returns null and leaves node_out alone.
  node = reinterpret_cast<LLIST_NODE*>(&list);
  EXPECT_EQ(list.next(&node), nullptr);
  EXPECT_EQ(node, reinterpret_cast<LLIST_NODE*>(&list));
}

TEST(LlistTest, KeepsItsOwnCopyOfTheBytes) {
  LLIST list;
  INT_U8 source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(list.add(source, 8));
  source[0] = 99;
  source[7] = 99;
  const INT_U8* copy = static_cast<const INT_U8*>(list.head->data);
  EXPECT_NE(copy, source);
  EXPECT_EQ(copy[0], 1);
  EXPECT_EQ(copy[7], 8);
  EXPECT_FALSE(list.add(source, 0));
  EXPECT_FALSE(list.add(source, -3));
  EXPECT_EQ(list.count, 1);
}

TEST(LlistTest, RemoveUnlinksByCopyAddressAndEndsWalkAtCursor) {
  dropped.clear();
  LLIST list;
  list.delete_callback = record_drop;
  for (INT_S32 v : {1, 2, 3}) add_number(list, v);

  INT_S32 two = 2;
  EXPECT_FALSE(list.remove(&two));  // the caller's address is not the list's copy
  EXPECT_EQ(list.count, 3);

  list.cursor = list.head;
  list.next();  // cursor on 2
  void* copy_of_two = list.cursor->data;
  EXPECT_TRUE(list.remove(copy_of_two));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0], copy_of_two);
  EXPECT_EQ(list.cursor, nullptr);
  EXPECT_EQ(list.next(), nullptr);
  EXPECT_EQ(forward(list), (std::vector<INT_S32>{1, 3}));

  // Removing head and tail keeps the links sound.
  EXPECT_TRUE(list.remove(list.head->data));
  EXPECT_TRUE(list.remove(list.tail->data));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
  add_number(list, 7);
  EXPECT_EQ(forward(list), (std::vector<INT_S32>{7}));

  list.clear();
  EXPECT_EQ(dropped.size(), 4u);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
}

TEST(PtrllistTest, StoresWholePointersAndHandsThemBack) {
  dropped.clear();
  int objects[3];
  {
    PTRLLIST list;
    list.delete_callback = record_drop;
    for (int& o : objects) ASSERT_TRUE(list.add(static_cast<void*>(&o)));
    std::vector<void*> seen;
    list.cursor = list.head;
    while (void* item = list.next()) seen.push_back(item);
    EXPECT_EQ(seen, (std::vector<void*>{&objects[0], &objects[1], &objects[2]}));
    list.cursor = list.tail;
    EXPECT_EQ(list.prev(), &objects[2]);

    // A pointer with bits above the low 32 must come back whole.
    void* high = reinterpret_cast<void*>(static_cast<uintptr_t>(~static_cast<uintptr_t>(0) - 15));
    list.cursor = nullptr;
    ASSERT_TRUE(list.add(high));
    list.cursor = list.tail;
    EXPECT_EQ(list.next(), high);
    EXPECT_TRUE(list.remove(high));
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], high);

    int stranger;
    EXPECT_FALSE(list.remove(&stranger));
    EXPECT_EQ(list.count, 3);
    EXPECT_TRUE(list.remove(&objects[1]));
    EXPECT_EQ(dropped.back(), &objects[1]);

    // Only whole pointer values go in through the sized form.
    INT_U32 small = 5;
    EXPECT_FALSE(list.add(&small, 3));
    dropped.clear();
  }
  // Destruction hands the stored pointers to the callback, as removal does.
  EXPECT_EQ(dropped, (std::vector<void*>{&objects[0], &objects[2]}));
}

TEST(PtrllistTest, NullPointerEndsForwardWalk) {
  PTRLLIST list;
  int a, b;
  list.add(static_cast<void*>(&a));
  list.add(static_cast<void*>(nullptr));
  list.add(static_cast<void*>(&b));
  list.cursor = list.head;
  EXPECT_EQ(list.next(), &a);
  EXPECT_EQ(list.next(), nullptr);
  EXPECT_EQ(list.count, 3);
}
