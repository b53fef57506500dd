#include "data/ItemList.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <unordered_set>

int CompareItemsAscending(int32_t first, int32_t second) {
  return (first > second) - (first < second);
}

int CompareItemsDescending(int32_t first, int32_t second) {
  return (second > first) - (second < first);
}

int32_t TItemList::GrownCapacity() const {
  const int32_t capacity = Capacity();
  int32_t delta = capacity < 65 ? 16 : std::min<int32_t>(capacity / 4, 1000);
  // Near the ceiling take what is left rather than refuse while there is still room.
  return static_cast<int32_t>(std::min<int64_t>(int64_t{capacity} + delta, kMaxCapacity - 1));
}

int32_t TItemList::Add(int32_t id) {
  if (count_ == Capacity()) {
    const int32_t grown = GrownCapacity();
    if (grown <= Capacity() || !SetCapacity(grown)) return -1;
  }
  items_[static_cast<size_t>(count_)] = id;
  return count_++;
}

void TItemList::Clear() {
  std::vector<int32_t>().swap(items_);
  count_ = 0;
}

void TItemList::Delete(int32_t index) {
  if (index < 0 || index >= count_) return;
  std::copy(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
  --count_;
}

int32_t TItemList::Get(int32_t index) const {
  if (index < 0 || index >= count_) return 0;
  return items_[static_cast<size_t>(index)];
}

int32_t TItemList::IndexOf(int32_t id) const {
  for (int32_t i = 0; i < count_; ++i) {
    if (items_[static_cast<size_t>(i)] == id) return i;
  }
  return -1;
}

bool TItemList::SetCapacity(int32_t capacity) {
  if (capacity < count_ || capacity >= kMaxCapacity) return false;
  if (capacity == Capacity()) return true;
  try {
    std::vector<int32_t> resized(static_cast<size_t>(capacity));
    std::copy(items_.begin(), items_.begin() + count_, resized.begin());
    items_.swap(resized);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

bool TItemList::EnsureCapacity(int32_t capacity) {
  if (capacity <= Capacity()) return true;
  return SetCapacity(capacity);
}

void TItemList::Sort(TItemCompare compare) {
  if (!compare) compare = CompareItemsAscending;
  if (count_ < 2) return;
  // A bottom-up merge sort written out with bounds on every index: it stays inside the
  // list even when a caller's comparison is not a consistent order (the library sorts
  // assume one), and equal IDs keep their order.
  const size_t n = static_cast<size_t>(count_);
  std::vector<int32_t> buffer(n);
  int32_t* from = items_.data();
  int32_t* to = buffer.data();
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t left = 0; left < n; left += 2 * width) {
      const size_t mid = std::min(left + width, n);
      const size_t right = std::min(left + 2 * width, n);
      size_t i = left, j = mid, k = left;
      while (i < mid && j < right) to[k++] = compare(from[j], from[i]) < 0 ? from[j++] : from[i++];
      while (i < mid) to[k++] = from[i++];
      while (j < right) to[k++] = from[j++];
    }
    std::swap(from, to);
  }
  if (from != items_.data()) std::copy(from, from + n, items_.data());
}

bool TItemList::AddList(const TItemList& other) {
  const int32_t added = other.count_;
  if (added == 0) return true;
  if (int64_t{count_} + added >= kMaxCapacity) return false;
  const int32_t needed = count_ + added;
  if (needed > Capacity()) {
    int32_t grown = std::max(needed, GrownCapacity());
    if (!SetCapacity(grown) && !SetCapacity(needed)) return false;
  }
  // `other` may be this list; its first `added` entries are still in place.
  std::copy(other.items_.begin(), other.items_.begin() + added, items_.begin() + count_);
  count_ = needed;
  return true;
}

void TItemList::RemoveDuplicates() {
  std::unordered_set<int32_t> seen;
  seen.reserve(static_cast<size_t>(count_));
  int32_t kept = 0;
  for (int32_t i = 0; i < count_; ++i) {
    const int32_t id = items_[static_cast<size_t>(i)];
    if (seen.insert(id).second) items_[static_cast<size_t>(kept++)] = id;
  }
  count_ = kept;
}
