// Tests of the pointer array: linear growth, ordered and unordered removal with the delete callback,
// and sorting and searching through a compare function with only its low 16 bits counting.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ptrarray.h"

namespace {

void* item(intptr_t n) {
  return reinterpret_cast<void*>(n);
}

std::vector<intptr_t> contents(const PTRARRAY& array) {
  std::vector<intptr_t> seen;
  for (INT_S32 i = 0; i < array.count; ++i) seen.push_back(reinterpret_cast<intptr_t>(array.items[i]));
  return seen;
}

std::vector<void*> dropped;
void record_drop(void* dropped_item) {
  dropped.push_back(dropped_item);
}

int compare_calls = 0;
INT_S32 compare_numbers(const void* a, const void* b, void* user) {
  ++compare_calls;
  INT_S32 order = static_cast<INT_S32>(reinterpret_cast<intptr_t>(a) - reinterpret_cast<intptr_t>(b));
  return user ? -order : order;
}

// Says "greater" with a bit above the low 16, which reads as equal.
INT_S32 compare_high_bits(const void* a, const void* b, void*) {
  return a == b ? 0 : 0x10000;
}

}  // namespace

TEST(PtrarrayTest, GrowsInStepsOfTen) {
  PTRARRAY array;
  ASSERT_EQ(array.add(item(1)), 1u);
  EXPECT_EQ(array.capacity, 10);
  EXPECT_EQ(array.items[0], item(1));
  for (int i = 1; i < 10; ++i) EXPECT_EQ(array.items[i], nullptr);
  for (int i = 2; i <= 10; ++i) array.add(item(i));
  EXPECT_EQ(array.capacity, 10);
  array.add(item(11));
  EXPECT_EQ(array.capacity, 20);
  EXPECT_EQ(array.count, 11);
  EXPECT_EQ(array.items[12], nullptr);
  array.clear();
  EXPECT_EQ(array.items, nullptr);
  EXPECT_EQ(array.capacity, 0);
}

TEST(PtrarrayTest, FirstAllocationAndZeroStep) {
  PTRARRAY big;
  big.grow_step = 4;
  big.first_allocation = 32;
  big.add(item(1));
  EXPECT_EQ(big.capacity, 32);
  for (int i = 0; i < 32; ++i) big.add(item(i));
  EXPECT_EQ(big.capacity, 36);

  // Without any step the array still makes room for the item being added.
  PTRARRAY none;
  none.grow_step = 0;
  none.first_allocation = 0;
  EXPECT_EQ(none.add(item(5)), 1u);
  EXPECT_EQ(none.add(item(6)), 1u);
  EXPECT_EQ(contents(none), (std::vector<intptr_t>{5, 6}));
}

TEST(PtrarrayTest, RemovesWithAndWithoutOrder) {
  dropped.clear();
  PTRARRAY array;
  array.delete_callback = record_drop;
  for (int i = 1; i <= 4; ++i) array.add(item(i));

  EXPECT_EQ(array.remove_at(4), 0u);
  EXPECT_EQ(array.remove_at(-1), 0u);
  EXPECT_EQ(array.remove_at_unordered(4), 0u);
  EXPECT_TRUE(dropped.empty());

  EXPECT_EQ(array.remove_at_unordered(1), 1u);
  EXPECT_EQ(contents(array), (std::vector<intptr_t>{1, 4, 3}));
  EXPECT_EQ(dropped, (std::vector<void*>{item(2)}));

  EXPECT_EQ(array.remove_at(0), 1u);
  EXPECT_EQ(contents(array), (std::vector<intptr_t>{4, 3}));

  array.remove_all();
  EXPECT_EQ(array.count, 0);
  EXPECT_EQ(array.capacity, 10);
  EXPECT_EQ(dropped, (std::vector<void*>{item(2), item(1), item(4), item(3)}));

  // Without a callback nothing is handed over.
  array.delete_callback = nullptr;
  array.add(item(9));
  array.clear();
  EXPECT_EQ(dropped.size(), 4u);
}

TEST(PtrarrayTest, SortsAndFinds) {
  PTRARRAY array;
  compare_calls = 0;
  EXPECT_EQ(array.find(item(3), compare_numbers, nullptr), -1);
  EXPECT_EQ(compare_calls, 0);

  for (int v : {5, 3, 9, 1, 7}) array.add(item(v));
  array.sort(compare_numbers, nullptr);
  EXPECT_EQ(contents(array), (std::vector<intptr_t>{1, 3, 5, 7, 9}));
  EXPECT_EQ(array.find(item(7), compare_numbers, nullptr), 3);
  EXPECT_EQ(array.find(item(1), compare_numbers, nullptr), 0);
  EXPECT_EQ(array.find(item(4), compare_numbers, nullptr), -1);

  // The user value reaches the compare function.
  array.sort(compare_numbers, item(1));
  EXPECT_EQ(contents(array), (std::vector<intptr_t>{9, 7, 5, 3, 1}));
  EXPECT_EQ(array.find(item(3), compare_numbers, item(1)), 3);

  // 0x10000 is read as equal: any item matches.
  EXPECT_GE(array.find(item(100), compare_high_bits, nullptr), 0);
  array.clear();
}
