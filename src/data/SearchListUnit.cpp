#include "data/SearchListUnit.h"

#include <algorithm>
#include <array>
#include <chrono>
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

// Texts that never move once written: the rows on screen point at them while a fill adds
// more. Written block by block, each block taken whole from the heap.
class TTextBlocks {
 public:
  std::string_view Add(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > capacity_ - used_) {
      capacity_ = std::max(kBlock, text.size());
      blocks_.emplace_back(new char[capacity_]);
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, text.data(), text.size());
    used_ += text.size();
    return {at, text.size()};
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 18;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = 0;
  size_t capacity_ = 0;
};

// When a fill asks its cancel callback: once the first 16 records are done (a refresh that
// is overtaken already stops before its real work), then whenever a few milliseconds have
// passed. Processing the window's events every few records made them a quarter of a
// keystroke; by the clock a keystroke pays for them only as often as typing can need them.
class TYield {
 public:
  TYield(const TSearchCancel& cancelled, const uint64_t& fills)
      : cancelled_(cancelled), fills_(fills), mine_(fills) {}

  // Before the record at `index` of a walk: true when the fill is to be abandoned, because
  // the callback says so or because a newer fill took over the cache while the window
  // processed its events.
  bool Abandon(size_t index) {
    justAsked_ = false;
    if (!cancelled_ || index == 0 || index % 16 != 0) return false;
    if (asked_ && (index % 64 != 0 || Clock::now() - last_ < kInterval)) return false;
    asked_ = justAsked_ = true;
    const bool stop = cancelled_() || fills_ != mine_;
    last_ = Clock::now();
    return stop;
  }
  // The last Abandon let the window process its events (which may have run other code).
  bool JustAsked() const { return justAsked_; }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kInterval{5};
  const TSearchCancel& cancelled_;
  const uint64_t& fills_;
  const uint64_t mine_;
  bool asked_ = false;
  bool justAsked_ = false;
  Clock::time_point last_;
};

// Empties the buffer and makes sure it has room for `count` entries in memory written
// before: a page the process touches for the first time costs as much as a few thousand
// comparisons, and a keystroke should not be the one that pays for it.
template <class T>
void TouchRoom(std::vector<T>& buffer, size_t count) {
  if (buffer.capacity() < count) buffer.resize(count);
  buffer.clear();
}

constexpr int32_t kUnread = -1;

// A record with a display name, as prepared for the search and the list.
struct TEntry {
  int32_t id = 0;
  uint32_t upper = 0;             // its display name upper-cased, in TState::upper
  uint32_t length = 0;            // the display name's length
  uint32_t searched = 0;          // the length of its part before the first TAB
  const char* display = nullptr;  // the display name, in TState::texts
  const char* text = nullptr;     // the list text, once keyed
  uint32_t textLength = 0;
  uint32_t key = 0;  // the sort key in TState::keys, until ordered
  uint32_t keyLength = 0;
  int32_t heading = -1;     // the heading it stands under
  int32_t ownHeading = -1;  // the heading that is this record, when it stands on its own
  int32_t keySystem = kUnread;
};

// A record that heads split records: listed above them unless it is listed itself.
struct THeading {
  int32_t id = 0;
  const char* text = nullptr;
  uint32_t textLength = 0;
  uint32_t key = 0;
  uint32_t keyLength = 0;
};

// The name beginning an entry offers to the suggestions, and the first entry offering the
// same in any case (-1: it offers none).
struct TPart {
  uint32_t start = 0;
  uint32_t length = 0;
  int32_t kind = -1;
};

}  // namespace

struct TSearchListCache::TState {
  // What the entries were prepared from; the cache serves a fill only while all of it is
  // the same.
  const TMiniDB* db = nullptr;
  uint64_t changeCount = 0;
  int itemClass = 0;
  uint8_t option = 0;
  std::array<bool, 256> naturalNames{};
  std::array<uint8_t, 256> variant{};
  std::vector<int32_t> ids;

  // Preparation goes in steps, so that a fill overtaken halfway leaves its work to the next.
  int32_t walked = 0;    // IDs looked at
  size_t keyed = 0;      // entries with their list text, sort key and heading
  bool ordered = false;  // slotAt and rankOf hold the order of every entry and heading
  bool offered = false;  // parts hold every entry's name beginning

  std::vector<TEntry> entries;
  std::vector<THeading> headings;
  std::unordered_map<int32_t, int32_t> headingOf;
  std::string upper;
  std::string keys;
  std::shared_ptr<TTextBlocks> texts = std::make_shared<TTextBlocks>();
  // Slots are the entries, then the headings; the list order is their order by rank.
  std::vector<uint32_t> slotAt;  // by rank
  std::vector<uint32_t> rankOf;  // by slot
  std::vector<TPart> parts;

  // The last search, which a narrower one searches within.
  bool searched = false;
  TSearchLikeGoogle matcher;
  int32_t systemFilter = 0;
  bool plainMatch = false;
  std::vector<uint32_t> found;  // entries it found, in walk order
  std::vector<uint32_t> scratch;

  // Buffers of every fill, kept so that a keystroke writes into memory it has had before.
  std::vector<uint64_t> bits;                   // by rank: listed
  std::vector<uint32_t> childMark, listedMark;  // by heading: the fill that saw it needed/listed
  uint32_t mark = 0;
  std::vector<uint32_t> touched;
  std::vector<int32_t> counts, firsts, kinds;

  bool SameSource(const TMiniDB& store, int cls, uint8_t opt, const TItemList& list) const {
    const TViewOptions& options = ViewOptions();
    return db == &store && changeCount == store.ChangeCount() && itemClass == cls &&
           option == opt && naturalNames == options.naturalNames && variant == options.variant &&
           ids.size() == static_cast<size_t>(list.Count()) &&
           std::equal(ids.begin(), ids.end(), list.Items());
  }

  void TakeSource(const TMiniDB& store, int cls, uint8_t opt, const TItemList& list) {
    const TViewOptions& options = ViewOptions();
    db = &store;
    changeCount = store.ChangeCount();
    itemClass = cls;
    option = opt;
    naturalNames = options.naturalNames;
    variant = options.variant;
    ids.assign(list.Items(), list.Items() + list.Count());
  }
};

TSearchListCache::TSearchListCache() = default;
TSearchListCache::~TSearchListCache() = default;

namespace {

using TState = TSearchListCache::TState;

struct TFill {
  const TMiniDB& db;
  int itemClass;
  const TItemList& ids;
  TQStringList* suggestions;
  int32_t systemFilter;
  uint8_t option;
  bool plainMatch;
  const TListTextFormatter& formatter;
  TSearchLikeGoogle matcher;
  bool searching = false;
};

std::string_view SearchedOf(const TState& st, const TEntry& e, bool plainMatch) {
  return std::string_view(st.upper).substr(e.upper, plainMatch ? e.length : e.searched);
}

bool InSystem(const TMiniDB& db, TEntry& e, int32_t systemFilter) {
  if (systemFilter == ksAll) return true;
  if (e.keySystem == kUnread) e.keySystem = db.ReadKeySystem(e.id);
  return e.keySystem == systemFilter;
}

int32_t HeadingFor(TState& st, const TFill& f, int32_t group) {
  const auto [it, added] =
      st.headingOf.try_emplace(group, static_cast<int32_t>(st.headings.size()));
  if (!added) return it->second;
  THeading heading;
  heading.id = group;
  heading.key = static_cast<uint32_t>(st.keys.size());
  std::string text;
  if (f.formatter) {
    TListEntryText entry = f.formatter(group, f.option);
    text = std::move(entry.text);
    st.keys += entry.sortKey;
  } else {
    text = f.db.GetValidDisplayName(group);
    int32_t mother = 0;
    AppendItemSortKey(f.db, group, st.keys, mother);
  }
  heading.keyLength = static_cast<uint32_t>(st.keys.size() - heading.key);
  const std::string_view stored = st.texts->Add(text);
  heading.text = stored.data();
  heading.textLength = static_cast<uint32_t>(stored.size());
  st.headings.push_back(heading);
  return it->second;
}

// The entry's list text, sort key and heading: the display name, the installed formatter's
// key and the mother of a split record as the heading, or what the formatter gives.
void KeyEntry(TState& st, const TFill& f, TEntry& e) {
  int32_t group = 0;
  e.key = static_cast<uint32_t>(st.keys.size());
  std::string formatted;
  if (f.formatter) {
    TListEntryText entry = f.formatter(e.id, f.option);
    st.keys += entry.sortKey;
    formatted = std::move(entry.text);
    group = entry.group;
  } else {
    AppendItemSortKey(f.db, e.id, st.keys, group);
  }
  e.keyLength = static_cast<uint32_t>(st.keys.size() - e.key);
  std::string_view text =
      f.formatter ? std::string_view(formatted) : std::string_view(e.display, e.length);
  if (group != 0 && group != e.id) {
    e.heading = HeadingFor(st, f, group);
    text = st.texts->Add(" \xBB " + std::string(text));
  } else if (f.formatter) {
    text = st.texts->Add(text);
  }
  e.text = text.data();
  e.textLength = static_cast<uint32_t>(text.size());
}

// Orders every entry and heading once: an entry under a heading by the heading's key, then
// after the heading, then by its own key; the first key bytes held inline, the whole keys
// compared only on a tie; the walk's order last (the headings after the entries), so equal
// entries stay as they came.
void Order(TState& st) {
  for (TEntry& e : st.entries) {
    if (e.heading >= 0 || st.headingOf.empty()) continue;
    const auto it = st.headingOf.find(e.id);
    if (it != st.headingOf.end()) e.ownHeading = it->second;
  }
  const size_t n = st.entries.size();
  const size_t slots = n + st.headings.size();
  const std::string_view keys = st.keys;
  auto ownKey = [&](uint32_t slot) {
    return slot < n ? keys.substr(st.entries[slot].key, st.entries[slot].keyLength)
                    : keys.substr(st.headings[slot - n].key, st.headings[slot - n].keyLength);
  };
  auto level = [&](uint32_t slot) { return slot < n && st.entries[slot].heading >= 0 ? 1 : 0; };
  auto orderKey = [&](uint32_t slot) {
    return level(slot) != 0 ? ownKey(static_cast<uint32_t>(n + st.entries[slot].heading))
                            : ownKey(slot);
  };
  struct TOrder {
    TKeyHead head;
    uint32_t slot;
  };
  std::vector<TOrder> order(slots);
  for (uint32_t slot = 0; slot < slots; ++slot) order[slot] = {HeadOf(orderKey(slot)), slot};
  std::sort(order.begin(), order.end(), [&](const TOrder& a, const TOrder& b) {
    if (a.head.high != b.head.high) return a.head.high < b.head.high;
    if (a.head.low != b.head.low) return a.head.low < b.head.low;
    if (int c = CompareSortKeys(orderKey(a.slot), orderKey(b.slot))) return c < 0;
    if (level(a.slot) != level(b.slot)) return level(a.slot) < level(b.slot);
    if (int c = CompareSortKeys(ownKey(a.slot), ownKey(b.slot))) return c < 0;
    return a.slot < b.slot;
  });
  st.slotAt.resize(slots);
  st.rankOf.resize(slots);
  for (size_t rank = 0; rank < slots; ++rank) {
    st.slotAt[rank] = order[rank].slot;
    st.rankOf[order[rank].slot] = static_cast<uint32_t>(rank);
  }
  // The order is all the keys were for.
  std::string().swap(st.keys);
}

// Each entry's name beginning (the part before the last blank of the part before the last
// TAB, trimmed), told apart from the others in one pass over an open-addressing table of
// the upper-cased beginnings, looking ahead so that the table's memory is on its way
// before it is needed.
void TellPartsApart(TState& st) {
  const size_t n = st.entries.size();
  st.parts.assign(n, TPart());
  std::vector<size_t> hashes(n, 0);
  auto upperOf = [&](size_t k) {
    return std::string_view(st.upper).substr(st.entries[k].upper + st.parts[k].start,
                                             st.parts[k].length);
  };
  for (size_t k = 0; k < n; ++k) {
    const TEntry& e = st.entries[k];
    const std::string_view text(e.display, e.length);
    const size_t tab = text.rfind('\t');
    const std::string_view head = tab == std::string_view::npos ? text : text.substr(0, tab);
    const size_t blank = head.rfind(' ');
    if (blank == std::string_view::npos) continue;
    const std::string_view part = TrimView(head.substr(0, blank));
    if (part.empty()) continue;
    st.parts[k].start = static_cast<uint32_t>(part.data() - text.data());
    st.parts[k].length = static_cast<uint32_t>(part.size());
    st.parts[k].kind = 0;
    hashes[k] = std::hash<std::string_view>()(upperOf(k));
  }
  size_t size = 64;
  while (size < n * 2) size *= 2;
  // A slot holds the upper half of the hash and the first entry's index + 1 (0: free).
  std::vector<uint64_t> table(size, 0);
  const size_t mask = size - 1;
  constexpr size_t kAhead = 16;
  for (size_t k = 0; k < n; ++k) {
    if (k + kAhead < n) __builtin_prefetch(&table[hashes[k + kAhead] & mask]);
    if (st.parts[k].kind < 0) continue;
    const uint64_t tag = static_cast<uint64_t>(hashes[k]) >> 32 << 32;
    for (size_t slot = hashes[k] & mask;; slot = (slot + 1) & mask) {
      const uint64_t entry = table[slot];
      if (entry == 0) {
        table[slot] = tag | (k + 1);
        st.parts[k].kind = static_cast<int32_t>(k);
        break;
      }
      if ((entry & 0xFFFFFFFF00000000u) != tag) continue;
      const size_t first = (entry & 0xFFFFFFFFu) - 1;
      if (hashes[first] == hashes[k] && upperOf(first) == upperOf(k)) {
        st.parts[k].kind = static_cast<int32_t>(first);
        break;
      }
    }
  }
}

bool Fill(TState& st, bool keep, TFill& f, const TSearchCancel& cancelled, const uint64_t& fills,
          TSearchListRows& rows) {
  TYield yield(cancelled, fills);

  // The records with a display name; without keeping, only those the filters keep.
  const int32_t count = f.ids.Count();
  for (int32_t i = st.walked; i < count; ++i) {
    if (yield.Abandon(static_cast<size_t>(i))) return false;
    if (i + 8 < count) f.db.PrefetchRecord(f.ids.Get(i + 8));
    st.walked = i + 1;
    const int32_t id = f.ids.Get(i);
    if (!f.db.IsValid(id)) continue;
    const std::string& display = f.db.DisplayNameOf(id);
    if (display.empty()) continue;
    TEntry e;
    e.id = id;
    e.upper = static_cast<uint32_t>(st.upper.size());
    e.length = static_cast<uint32_t>(display.size());
    e.searched = static_cast<uint32_t>(std::min(display.find('\t'), display.size()));
    st.upper += display;
    AnsiUpperCaseInPlace(st.upper.data() + e.upper, e.length);
    if (!keep && ((f.searching && !f.matcher.MatchesUpper(SearchedOf(st, e, f.plainMatch))) ||
                  !InSystem(f.db, e, f.systemFilter))) {
      st.upper.resize(e.upper);
      continue;
    }
    e.display = st.texts->Add(display).data();
    st.entries.push_back(e);
  }

  // Their list texts, sort keys and headings.
  const size_t n = st.entries.size();
  for (size_t k = st.keyed; k < n; ++k) {
    if (yield.Abandon(k)) return false;
    // Another list filled meanwhile may have installed the formatter of its class.
    if (yield.JustAsked()) SelectItemFormatter(f.itemClass);
    if (k + 8 < n) f.db.PrefetchRecord(st.entries[k + 8].id);
    KeyEntry(st, f, st.entries[k]);
    st.keyed = k + 1;
  }
  if (!st.ordered) {
    Order(st);
    st.ordered = true;
  }
  if (f.suggestions && !st.offered) {
    TellPartsApart(st);
    st.offered = true;
  }

  // This search: within what the last one found when it only narrows that one.
  if (keep) {
    const bool narrowing = st.searched && st.systemFilter == f.systemFilter &&
                           st.plainMatch == f.plainMatch && f.matcher.Narrows(st.matcher);
    const size_t candidates = narrowing ? st.found.size() : n;
    TouchRoom(st.scratch, n);
    if (!st.searched) TouchRoom(st.found, n);  // the two swap places after each search
    for (size_t c = 0; c < candidates; ++c) {
      if (yield.Abandon(c)) return false;
      const uint32_t k = narrowing ? st.found[c] : static_cast<uint32_t>(c);
      TEntry& e = st.entries[k];
      if (f.searching && !f.matcher.MatchesUpper(SearchedOf(st, e, f.plainMatch))) continue;
      if (!InSystem(f.db, e, f.systemFilter)) continue;
      st.scratch.push_back(k);
    }
    st.found.swap(st.scratch);
    st.searched = true;
    st.matcher = f.matcher;
    st.systemFilter = f.systemFilter;
    st.plainMatch = f.plainMatch;
  } else {
    st.found.resize(n);
    for (size_t k = 0; k < n; ++k) st.found[k] = static_cast<uint32_t>(k);
  }

  // The rows: the entries found, and the headings of entries found whose record is not
  // listed on its own, picked in order by their rank.
  const size_t slots = n + st.headings.size();
  st.bits.assign((slots + 63) / 64, 0);
  if (++st.mark == 0) {
    st.childMark.assign(st.childMark.size(), 0);
    st.listedMark.assign(st.listedMark.size(), 0);
    st.mark = 1;
  }
  st.childMark.resize(st.headings.size(), 0);
  st.listedMark.resize(st.headings.size(), 0);
  st.touched.clear();
  auto list = [&](uint32_t slot) {
    const uint32_t rank = st.rankOf[slot];
    st.bits[rank / 64] |= uint64_t{1} << (rank % 64);
  };
  for (const uint32_t k : st.found) {
    const TEntry& e = st.entries[k];
    list(k);
    if (e.heading >= 0 && st.childMark[e.heading] != st.mark) {
      st.childMark[e.heading] = st.mark;
      st.touched.push_back(static_cast<uint32_t>(e.heading));
    }
    if (e.ownHeading >= 0) st.listedMark[e.ownHeading] = st.mark;
  }
  for (const uint32_t h : st.touched)
    if (st.listedMark[h] != st.mark) list(static_cast<uint32_t>(n + h));
  // A kept listing's buffer gets room for every row it may ever show at once; the list
  // a single fill makes gets what it needs.
  if (keep)
    TouchRoom(rows.rows, slots);
  else
    rows.rows.clear();
  rows.rows.reserve(st.found.size() + st.touched.size());
  for (size_t word = 0; word < st.bits.size(); ++word) {
    for (uint64_t bits = st.bits[word]; bits != 0; bits &= bits - 1) {
      const uint32_t slot = st.slotAt[word * 64 + static_cast<size_t>(__builtin_ctzll(bits))];
      if (slot < n) {
        const TEntry& e = st.entries[slot];
        rows.rows.push_back({e.text, e.textLength, e.id});
      } else {
        const THeading& h = st.headings[slot - n];
        rows.rows.push_back({h.text, h.textLength, h.id});
      }
    }
  }
  rows.texts = st.texts;

  // The name beginnings offered at least twice, in the order first offered, with their
  // first spelling, after the "all" text.
  if (f.suggestions) {
    st.counts.resize(n, 0);
    st.firsts.resize(n, 0);
    TouchRoom(st.kinds, n);
    for (const uint32_t k : st.found) {
      const int32_t kind = st.parts[k].kind;
      if (kind < 0) continue;
      if (st.counts[kind]++ == 0) {
        st.firsts[kind] = static_cast<int32_t>(k);
        st.kinds.push_back(kind);
      }
    }
    TQStringList& list = *f.suggestions;
    list.Clear();
    list.SetSorted(false);
    list.AddObject(ShowAllText(), 0);
    for (const int32_t kind : st.kinds) {
      if (st.counts[kind] > 1) {
        const TEntry& e = st.entries[st.firsts[kind]];
        const TPart& part = st.parts[st.firsts[kind]];
        list.AddObject(std::string(e.display + part.start, part.length), st.counts[kind] - 1);
      }
      st.counts[kind] = 0;
    }
  }
  return true;
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

bool FillSearchRows(TSearchListCache* cache, const TMiniDB& db, int itemClass, const TItemList& ids,
                    const std::string& searchText, TQStringList* suggestions,
                    const TSearchCancel& cancelled, int32_t systemFilter, uint8_t option,
                    bool plainMatch, const TListTextFormatter& formatter, TSearchListRows& rows) {
  SelectItemFormatter(itemClass);
  TFill f{db, itemClass, ids, suggestions, systemFilter, option, plainMatch, formatter, {}, false};
  std::string search = AnsiUpperCase(Trim(searchText));
  if (search == ShowAllTextUpper()) search.clear();
  if (!search.empty()) f.matcher.SetSearchText(search);
  f.searching = f.matcher.Count > 0;

  if (!cache || formatter) {
    TState state;
    state.entries.reserve(static_cast<size_t>(std::max(ids.Count(), 0)));
    const uint64_t fills = 0;
    return Fill(state, false, f, cancelled, fills, rows);
  }
  // A fill that let the window process its events may find the cache taken over by a
  // newer one: it then leaves the cache alone (TYield tells it by the count of fills).
  ++cache->fills_;
  std::unique_ptr<TSearchListCache::TState>& st = cache->state_;
  if (!st || !st->SameSource(db, itemClass, option, ids)) {
    st = std::make_unique<TSearchListCache::TState>();
    st->TakeSource(db, itemClass, option, ids);
    st->entries.reserve(st->ids.size());
    st->upper.reserve(st->ids.size() * 32);
    st->keys.reserve(st->ids.size() * 48);
  }
  return Fill(*st, true, f, cancelled, cache->fills_, rows);
}

std::unique_ptr<TQStringList> FillSearchList(const TMiniDB& db, int itemClass,
                                             const TItemList& ids,
                                             const std::string& searchText,
                                             TQStringList* suggestions,
                                             const TSearchCancel& cancelled,
                                             int32_t systemFilter, uint8_t option,
                                             bool plainMatch,
                                             const TListTextFormatter& formatter) {
  TSearchListRows rows;
  if (!FillSearchRows(nullptr, db, itemClass, ids, searchText, suggestions, cancelled, systemFilter,
                      option, plainMatch, formatter, rows))
    return nullptr;
  auto result = std::make_unique<TQStringList>();
  result->SetCapacity(static_cast<int>(rows.rows.size()));
  for (const TListedRow& row : rows.rows) result->AddObject(std::string(row.Text()), row.id);
  return result;
}
