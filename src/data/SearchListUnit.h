#pragma once
// The search-list builder: the entries of a record listing as the user types into its
// search box. It filters the records by locking system and search text, makes each kept
// record's list text and sort key, puts entries of a split record under their heading,
// orders them and counts the name beginnings the search box suggests. It reads the store
// only through the reads without side effects, so building a list never stores or saves
// the record being edited, and it knows no window: a long walk asks its cancel callback
// whether a newer request has overtaken it, once the first 16 records are done and then
// every few milliseconds.
//
// A listing that refills as the user types keeps a TSearchListCache: the records' names
// upper-cased for the search, their list texts, headings and order, and the name
// beginnings they offer stay prepared while the store is unchanged (its ChangeCount), the
// records asked for are the same and so are the view options; a keystroke then only looks
// for the term and picks the prepared rows in order, and a term that only grew is looked
// for among the records the last one found.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/SLUnit.h"
#include "data/ItemList.h"

class TMiniDB;

// What the list-text formatter gives for a record: the entry text, the key the entries are
// ordered by, and the record under whose heading the entry stands (0: none).
struct TListEntryText {
  std::string text;
  std::string sortKey;
  int32_t group = 0;
};
using TListTextFormatter = std::function<TListEntryText(int32_t id, uint8_t option)>;

// The standard list text: the record's valid display name, the sort key of the formatter
// that SelectItemFormatter installed, and the mother of a split record as its heading.
TListEntryText StandardListEntry(const TMiniDB& db, int32_t id);

// Asked while a list is built; true abandons it.
using TSearchCancel = std::function<bool()>;

// One row of a filled list: its text, kept where the list's `texts` keep it, and its record.
struct TListedRow {
  const char* text = nullptr;
  uint32_t length = 0;
  int32_t id = 0;
  std::string_view Text() const { return {text, length}; }
};

// The rows of a list in order. The texts stay alive with `texts`, so a list on screen stays
// readable while its filler moves on; the row buffer is filled again and again (a listing
// passes it back and forth with its model, so a keystroke writes into memory it had before).
struct TSearchListRows {
  std::vector<TListedRow> rows;
  std::shared_ptr<const void> texts;
};

// What a listing keeps between its fills (see above). One per listing; it is used by one
// fill at a time, and a fill that finds the cache used by a newer one meanwhile (while it
// let the window process events) abandons its work, which the newer one goes on with.
class TSearchListCache {
 public:
  TSearchListCache();
  ~TSearchListCache();
  TSearchListCache(const TSearchListCache&) = delete;
  TSearchListCache& operator=(const TSearchListCache&) = delete;

  struct TState;  // what is kept, known to the builder only

 private:
  friend bool FillSearchRows(TSearchListCache* cache, const TMiniDB& db, int itemClass,
                             const TItemList& ids, const std::string& searchText,
                             TQStringList* suggestions, const TSearchCancel& cancelled,
                             int32_t systemFilter, uint8_t option, bool plainMatch,
                             const TListTextFormatter& formatter, TSearchListRows& rows);
  std::unique_ptr<TState> state_;
  uint64_t fills_ = 0;  // fills begun, to tell an abandoned fill that a newer one took over
};

// The entries of a listing: records of `ids` with a display text that pass the locking
// system filter (ksAll: all) and the search (on the part before a TAB unless
// `plainMatch`), each with its record ID, in list order, into `rows` (its buffer reused).
// The texts of the kept records offer their name beginnings to `suggestions` (null: none).
// Without a formatter the standard list text is used. With `cache`, what it keeps is used
// and kept; with a formatter (whose texts may follow more than the store) or without a
// cache, nothing is kept and only the records kept by the filters are prepared. False,
// `rows` and `suggestions` untouched, when `cancelled` answered true.
bool FillSearchRows(TSearchListCache* cache, const TMiniDB& db, int itemClass, const TItemList& ids,
                    const std::string& searchText, TQStringList* suggestions,
                    const TSearchCancel& cancelled, int32_t systemFilter, uint8_t option,
                    bool plainMatch, const TListTextFormatter& formatter, TSearchListRows& rows);

// The same as a string list (texts with record IDs as objects), nothing kept. Null when
// `cancelled` answered true.
std::unique_ptr<TQStringList> FillSearchList(const TMiniDB& db, int itemClass,
                                             const TItemList& ids,
                                             const std::string& searchText,
                                             TQStringList* suggestions,
                                             const TSearchCancel& cancelled,
                                             int32_t systemFilter, uint8_t option,
                                             bool plainMatch,
                                             const TListTextFormatter& formatter = {});

// Counts the name beginnings offered by the kept records of a listing, for the suggestions
// of its search box. A listing offers one per record, mostly all different. Offering only
// appends the part and its upper-case form to one buffer; the parts are told apart
// afterwards in one pass over an open-addressing table, looking ahead so that the table's
// memory is on its way before it is needed.
class TSuggestionCounter {
 public:
  explicit TSuggestionCounter(size_t expected = 0) {
    offers_.reserve(expected);
    arena_.reserve(expected * 48);
  }

  // Offers the part of the text before its last blank (of the part before a TAB).
  void Offer(std::string_view text) {
    const size_t tab = text.rfind('\t');
    const std::string_view head = tab == std::string_view::npos ? text : text.substr(0, tab);
    const size_t blank = head.rfind(' ');
    if (blank == std::string_view::npos) return;
    const std::string_view part = TrimView(head.substr(0, blank));
    if (part.empty()) return;
    TOffer offer;
    offer.offset = arena_.size();
    offer.length = part.size();
    arena_.append(part);
    arena_.append(part);
    AnsiUpperCaseInPlace(arena_.data() + offer.offset + offer.length, offer.length);
    offer.hash = std::hash<std::string_view>()(UpperOf(offer));
    offers_.push_back(offer);
  }

  // The parts offered at least twice, in the order first offered, after the "all" text.
  void Into(TQStringList& list);

 private:
  struct TOffer {
    size_t hash = 0;
    size_t offset = 0;  // the part as offered, then its upper-case form
    size_t length = 0;
    int count = -1;     // times offered again; -1 for a repeated offer
  };

  std::string_view UpperOf(const TOffer& offer) const {
    return std::string_view(arena_).substr(offer.offset + offer.length, offer.length);
  }
  void Count();

  std::vector<TOffer> offers_;
  std::string arena_;
};
