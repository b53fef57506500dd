#include "data/ItemList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

std::vector<int32_t> Ids(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

}  // namespace

TEST(ItemList, GrowsBy16UpTo80ThenByAQuarter) {
  TItemList list;
  std::vector<int32_t> capacities;
  for (int32_t i = 0; i < 200; ++i) {
    ASSERT_EQ(list.Add(i * 10), i);
    if (capacities.empty() || capacities.back() != list.Capacity()) {
      capacities.push_back(list.Capacity());
    }
  }
  // 64 is still below 65: one more step of 16, then a quarter (80 -> 100 -> 125 -> 156...).
  EXPECT_EQ(capacities, (std::vector<int32_t>{16, 32, 48, 64, 80, 100, 125, 156, 195, 243}));
  EXPECT_EQ(list.Count(), 200);
  EXPECT_EQ(list.Get(64), 640);
  EXPECT_EQ(list.Get(199), 1990);

  TItemList big;
  ASSERT_TRUE(big.SetCapacity(8000));
  for (int32_t i = 0; i < 8000; ++i) big.Add(i);
  big.Add(8000);
  EXPECT_EQ(big.Capacity(), 9000);  // a quarter, but at most 1000
}

TEST(ItemList, OutOfRangeIndexesAreHarmless) {
  TItemList list;
  EXPECT_EQ(list.Get(0), 0);
  for (int32_t id : {5, 7, 9, 7}) list.Add(id);
  EXPECT_EQ(list.Get(-1), 0);
  EXPECT_EQ(list.Get(4), 0);
  EXPECT_EQ(list.Get(INT_MAX), 0);
  list.Delete(-1);
  list.Delete(4);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{5, 7, 9, 7}));
  list.Delete(0);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{7, 9, 7}));
  list.Delete(2);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{7, 9}));
  EXPECT_EQ(list.IndexOf(9), 1);
  EXPECT_EQ(list.IndexOf(5), -1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(ItemList, CapacityRefusals) {
  TItemList list;
  for (int32_t id : {1, 2, 3}) list.Add(id);
  EXPECT_FALSE(list.SetCapacity(2));  // below Count
  EXPECT_FALSE(list.SetCapacity(-1));
  EXPECT_FALSE(list.SetCapacity(TItemList::kMaxCapacity));  // 2^29
  EXPECT_FALSE(list.SetCapacity(INT_MAX));
  EXPECT_FALSE(list.EnsureCapacity(TItemList::kMaxCapacity));
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_TRUE(list.SetCapacity(3));
  EXPECT_TRUE(list.EnsureCapacity(2));  // never shrinks
  EXPECT_EQ(list.Capacity(), 3);
  EXPECT_TRUE(list.EnsureCapacity(40));
  EXPECT_EQ(list.Capacity(), 40);
}

TEST(ItemList, RemoveDuplicatesKeepsTheFirstOccurrenceInOrder) {
  TItemList list;
  for (int32_t id : {4, 2, 4, -1, 2, 9, -1, 4}) list.Add(id);
  list.RemoveDuplicates();
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{4, 2, -1, 9}));

  TItemList other;
  other.Add(9);
  other.Add(10);
  EXPECT_TRUE(list.AddList(other));
  EXPECT_TRUE(list.AddList(list));  // appending a list to itself doubles it
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{4, 2, -1, 9, 9, 10, 4, 2, -1, 9, 9, 10}));
  list.RemoveDuplicates();
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{4, 2, -1, 9, 10}));
}

TEST(ItemList, SortDoesNotOverflowOnIdsFarApart) {
  TItemList list;
  for (int32_t id : {1, INT_MIN, INT_MAX, -5, 0, INT_MAX, 1}) list.Add(id);
  list.Sort(CompareItemsDescending);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{INT_MAX, INT_MAX, 1, 1, 0, -5, INT_MIN}));
  list.Sort();
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{INT_MIN, -5, 0, 1, 1, INT_MAX, INT_MAX}));
  EXPECT_LT(CompareItemsAscending(INT_MIN, INT_MAX), 0);
  EXPECT_GT(CompareItemsDescending(INT_MIN, INT_MAX), 0);

  // A comparison that is no order at all leaves the same IDs, just in some order.
  TItemList many;
  for (int32_t i = 0; i < 1000; ++i) many.Add((i * 7919) % 1000);
  many.Sort([](int32_t a, int32_t b) { return (a ^ b) & 1 ? 1 : -1; });
  std::vector<int32_t> sorted = Ids(many);
  std::sort(sorted.begin(), sorted.end());
  for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
}
