#pragma once
// TItemList: the ordered, growable list of record IDs that the store, the record locks and
// every query hand to one another.

#include <cstdint>
#include <vector>

// Three-way comparison of two IDs for TItemList::Sort: <0, 0, >0.
using TItemCompare = int (*)(int32_t first, int32_t second);

// Ascending and descending order. Computed as comparisons, never as a difference, which
// would overflow for IDs far apart (e.g. a negative marker against a large ID).
int CompareItemsAscending(int32_t first, int32_t second);
int CompareItemsDescending(int32_t first, int32_t second);

class TItemList {
 public:
  // Capacities of this many entries or more are refused.
  static constexpr int32_t kMaxCapacity = int32_t{1} << 29;

  TItemList() = default;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return static_cast<int32_t>(items_.size()); }
  // The first Count() entries.
  const int32_t* Items() const { return items_.data(); }

  // Appends the ID; its index, or -1 when the list cannot grow.
  int32_t Add(int32_t id);
  // Frees the storage: Count and Capacity become 0.
  void Clear();
  // Count becomes 0; the room stays for the next entries (a list filled again and again
  // reuses its memory).
  void RemoveAll() { count_ = 0; }
  // Removes the entry; the entries behind it move up. An index out of range is ignored.
  void Delete(int32_t index);
  // The ID at the index; 0 when the index is out of range.
  int32_t Get(int32_t index) const;
  // The first index of the ID, -1 when it is not in the list.
  int32_t IndexOf(int32_t id) const;
  // Sets the room for entries. False (nothing changes) for a capacity below Count, of
  // kMaxCapacity or more, or when the memory cannot be had.
  bool SetCapacity(int32_t capacity);
  // Grows the room to at least `capacity`; never shrinks. False when that is refused.
  bool EnsureCapacity(int32_t capacity);
  // Orders the entries by the comparison (equal IDs keep their order).
  void Sort(TItemCompare compare = CompareItemsAscending);
  // Appends every ID of the other list (also when it is this list). False when the list
  // could not grow; then nothing was appended.
  bool AddList(const TItemList& other);
  // Keeps the first occurrence of each ID, in order.
  void RemoveDuplicates();

 private:
  // The next capacity when the list is full: +16 while small, then a quarter, at most 1000.
  int32_t GrownCapacity() const;

  std::vector<int32_t> items_;  // size() is the capacity
  int32_t count_ = 0;
};
