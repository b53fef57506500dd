#include "data/SearchListUnit.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/SearchLikeGoogleUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/ViewOptionsUnit.h"

// ---------------------------------------------------------------------------------------
// Suggestions

void TSuggestionCounter::Into(TQStringList& list) {
  Count();
  list.Clear();
  list.SetSorted(false);
  list.AddObject(ShowAllText(), 0);
  for (const TOffer& offer : offers_)
    if (offer.count > 0) list.AddObject(arena_.substr(offer.offset, offer.length), offer.count);
}

void TSuggestionCounter::Count() {
  size_t size = 64;
  while (size < offers_.size() * 2) size *= 2;
  // A slot holds the upper half of the hash and the first offer's index + 1 (0: free).
  std::vector<uint64_t> table(size, 0);
  const size_t mask = size - 1;
  constexpr size_t kAhead = 16;
  for (size_t i = 0; i < offers_.size(); ++i) {
    if (i + kAhead < offers_.size()) __builtin_prefetch(&table[offers_[i + kAhead].hash & mask]);
    TOffer& offer = offers_[i];
    const uint64_t tag = static_cast<uint64_t>(offer.hash) >> 32 << 32;
    for (size_t slot = offer.hash & mask;; slot = (slot + 1) & mask) {
      const uint64_t entry = table[slot];
      if (entry == 0) {
        table[slot] = tag | (i + 1);
        offer.count = 0;
        break;
      }
      if ((entry & 0xFFFFFFFF00000000u) != tag) continue;
      TOffer& first = offers_[(entry & 0xFFFFFFFFu) - 1];
      if (first.hash == offer.hash && UpperOf(first) == UpperOf(offer)) {
        ++first.count;
        break;
      }
    }
  }
}

namespace {

// The first 16 bytes of a sort key as two big-endian numbers, zero-padded: comparing them
// orders two keys as comparing the keys byte by byte would, unless both are equal.
struct TKeyHead {
  uint64_t high = 0;
  uint64_t low = 0;
};

TKeyHead HeadOf(std::string_view key) {
  unsigned char bytes[16] = {};
  std::memcpy(bytes, key.data(), std::min<size_t>(key.size(), 16));
  TKeyHead head;
  for (int i = 0; i < 8; ++i) head.high = head.high << 8 | bytes[i];
  for (int i = 8; i < 16; ++i) head.low = head.low << 8 | bytes[i];
  return head;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The standard list text

TListEntryText StandardListEntry(const TMiniDB& db, int32_t id) {
  TListEntryText entry;
  entry.text = db.GetValidDisplayName(id);
  entry.sortKey = ItemSortKey(db, id);
  entry.group = db.ReadFirstLink(id, lkMother);
  return entry;
}

// ---------------------------------------------------------------------------------------
// The search list

std::unique_ptr<TQStringList> FillSearchList(const TMiniDB& db, int itemClass,
                                             const TItemList& ids,
                                             const std::string& searchText,
                                             TQStringList* suggestions,
                                             const TSearchCancel& cancelled,
                                             int32_t systemFilter, uint8_t option,
                                             bool plainMatch,
                                             const TListTextFormatter& formatter) {
  auto result = std::make_unique<TQStringList>();
  SelectItemFormatter(itemClass);
  std::string search = AnsiUpperCase(Trim(searchText));
  if (search == ShowAllTextUpper()) search.clear();
  TSearchLikeGoogle matcher;
  if (!search.empty()) matcher.SetSearchText(search);
  const bool searching = matcher.Count > 0;

  // An entry under a heading is ordered by the heading's key, then after the heading
  // (level 1), then by its own key. The keys are kept end to end in one buffer.
  struct TRow {
    std::string text;
    uint32_t key = 0, keyLength = 0;
    uint32_t order = 0, orderLength = 0;
    int32_t id = 0;
    int32_t group = 0;  // the heading record of an entry under a heading
    int level = 0;
  };
  const size_t walked = static_cast<size_t>(std::max(ids.Count(), 0));
  std::vector<TRow> rows;
  rows.reserve(walked);
  std::string keys;
  keys.reserve(walked * 40);
  auto addKey = [&keys](TRow& row, const std::string& key) {
    row.key = static_cast<uint32_t>(keys.size());
    row.keyLength = static_cast<uint32_t>(key.size());
    keys += key;
  };
  TSuggestionCounter counter(suggestions ? walked : 0);
  bool anyGroup = false;
  std::string upper;  // the searched text, upper-cased

  for (int32_t i = 0; i < ids.Count(); ++i) {
    if (cancelled && i > 0 && i % 16 == 0 && cancelled()) return nullptr;
    if (i + 8 < ids.Count()) db.PrefetchRecord(ids.Get(i + 8));
    const int32_t id = ids.Get(i);
    if (!db.IsValid(id)) continue;
    const std::string& display = db.DisplayNameOf(id);
    if (display.empty()) continue;
    if (systemFilter != ksAll &&
        StrToPosInt(db.ReadLineField(id, fkKeySystem)) != systemFilter)
      continue;
    if (searching) {
      std::string_view searched = display;
      if (!plainMatch) searched = searched.substr(0, searched.find('\t'));
      if (!matcher.Matches(searched, upper)) continue;
    }
    if (suggestions) counter.Offer(display);
    TRow& row = rows.emplace_back();
    row.id = id;
    int32_t group = 0;
    if (formatter) {
      TListEntryText entry = formatter(id, option);
      row.text = std::move(entry.text);
      addKey(row, entry.sortKey);
      group = entry.group;
    } else {
      // The standard list text: the display text, the installed formatter's key, and the
      // mother of a split record as the heading.
      row.text = display;
      row.key = static_cast<uint32_t>(keys.size());
      AppendItemSortKey(db, id, keys, group);
      row.keyLength = static_cast<uint32_t>(keys.size() - row.key);
    }
    if (group != 0 && group != id) {
      row.text.insert(0, " \xBB ");
      row.group = group;
      row.level = 1;
      anyGroup = true;
    }
  }

  // One heading per group record, unless the record itself is listed.
  if (anyGroup) {
    std::vector<int32_t> listed;
    for (const TRow& row : rows)
      if (row.level == 0) listed.push_back(row.id);
    std::sort(listed.begin(), listed.end());
    std::unordered_map<int32_t, std::pair<uint32_t, uint32_t>> groupKeys;
    const size_t entries = rows.size();
    for (size_t r = 0; r < entries; ++r) {
      if (rows[r].level == 0) continue;
      const int32_t group = rows[r].group;
      auto it = groupKeys.find(group);
      if (it == groupKeys.end()) {
        TRow heading;
        heading.id = group;
        if (formatter) {
          TListEntryText entry = formatter(group, option);
          heading.text = std::move(entry.text);
          addKey(heading, entry.sortKey);
        } else {
          heading.text = db.GetValidDisplayName(group);
          int32_t mother = 0;
          heading.key = static_cast<uint32_t>(keys.size());
          AppendItemSortKey(db, group, keys, mother);
          heading.keyLength = static_cast<uint32_t>(keys.size() - heading.key);
        }
        it = groupKeys.emplace(group, std::make_pair(heading.key, heading.keyLength)).first;
        if (!std::binary_search(listed.begin(), listed.end(), group))
          rows.push_back(std::move(heading));
      }
      rows[r].order = it->second.first;
      rows[r].orderLength = it->second.second;
    }
  }
  for (TRow& row : rows) {
    if (row.level != 0) continue;
    row.order = row.key;
    row.orderLength = row.keyLength;
  }

  // Order by the keys' first bytes held inline, the whole keys only on a tie; the walk's
  // order last, so equal entries stay as they came.
  const std::string_view allKeys = keys;
  auto orderKey = [&](const TRow& row) { return allKeys.substr(row.order, row.orderLength); };
  auto ownKey = [&](const TRow& row) { return allKeys.substr(row.key, row.keyLength); };
  struct TOrder {
    TKeyHead head;
    uint32_t row;
  };
  std::vector<TOrder> order(rows.size());
  for (size_t r = 0; r < rows.size(); ++r)
    order[r] = {HeadOf(orderKey(rows[r])), static_cast<uint32_t>(r)};
  std::sort(order.begin(), order.end(), [&](const TOrder& a, const TOrder& b) {
    if (a.head.high != b.head.high) return a.head.high < b.head.high;
    if (a.head.low != b.head.low) return a.head.low < b.head.low;
    const TRow& x = rows[a.row];
    const TRow& y = rows[b.row];
    if (int c = CompareSortKeys(orderKey(x), orderKey(y))) return c < 0;
    if (x.level != y.level) return x.level < y.level;
    if (int c = CompareSortKeys(ownKey(x), ownKey(y))) return c < 0;
    return a.row < b.row;
  });
  assert(order.size() == rows.size());
  result->SetCapacity(static_cast<int>(rows.size()));
  for (const TOrder& o : order) result->AddObject(std::move(rows[o.row].text), rows[o.row].id);
  if (suggestions) counter.Into(*suggestions);
  return result;
}

