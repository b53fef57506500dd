#pragma once
// TQStringList: the program's own list of byte strings (Windows-1252) with an attached
// object per line, kept sorted or in insertion order. The record store holds the record
// being edited in one (one "key=value" line per field) and reads every record line through
// its comma text; every message table is one.
//
// Nothing here throws: bad indexes read as empty and make changes do nothing.
// Comparisons go through our 1252 tables, never the process locale.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "basic/Cp1252.h"

// The object attached to a line. Mostly a record ID, a message number or a size, so it is
// a pointer-sized integer; a caller that attaches real objects casts and owns them.
using TListObject = std::intptr_t;

// What a sorted list does when the text to add is already present (unsorted lists accept
// every text). dupError raises nothing: it behaves like dupIgnore.
enum TDuplicates : unsigned char { dupIgnore = 0, dupAccept = 1, dupError = 2 };

template <class TStr>
struct TListItem {
  TStr text;
  TListObject object = 0;
};
using TStringItem = TListItem<std::string>;

using TNotifyEvent = std::function<void()>;

// Case-sensitive or case-insensitive comparison of two list texts: <0, 0, >0.
inline int CompareListStrings(const std::string& a, const std::string& b, bool caseSensitive) {
  return caseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}
int CompareListStrings(const std::u16string& a, const std::u16string& b, bool caseSensitive);

// The list mechanics that TQStringList and TWStringList share: storage, growth, sorting,
// duplicates, change notification. Not used on its own.
template <class TStr>
class TStringListBase {
 public:
  using TItem = TListItem<TStr>;

  TStringListBase() = default;
  // A copy takes the lines and the sorting settings; the change handlers stay behind.
  TStringListBase(const TStringListBase& other)
      : items_(other.items_), capacity_(static_cast<int>(other.items_.size())),
        sorted_(other.sorted_), duplicates_(other.duplicates_),
        caseSensitive_(other.caseSensitive_) {}
  TStringListBase& operator=(const TStringListBase& other) {
    if (this != &other) {
      Changing();
      items_ = other.items_;
      capacity_ = static_cast<int>(items_.size());
      sorted_ = other.sorted_;
      duplicates_ = other.duplicates_;
      caseSensitive_ = other.caseSensitive_;
      Changed();
    }
    return *this;
  }
  virtual ~TStringListBase() = default;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  const std::vector<TItem>& Items() const { return items_; }

  TListObject GetObject(int index) const { return Valid(index) ? items_[index].object : 0; }
  void PutObject(int index, TListObject object) {
    if (!Valid(index)) return;
    Changing();
    items_[index].object = object;
    Changed();
  }

  int GetCapacity() const { return capacity_; }
  // A capacity below the count is ignored.
  void SetCapacity(int capacity) {
    if (capacity < Count()) return;
    capacity_ = capacity;
    if (capacity == 0) items_.shrink_to_fit();
    else items_.reserve(static_cast<size_t>(capacity));
  }

  int CompareStrings(const TStr& a, const TStr& b) const {
    return CompareListStrings(a, b, caseSensitive_);
  }

  int AddObject(const TStr& s, TListObject object) {
    int index = Count();
    if (sorted_) {
      if (Find(s, index) && duplicates_ != dupAccept) return index;
    }
    InsertItem(index, s, object);
    return index;
  }
  // The same, taking the text over.
  int AddObject(TStr&& s, TListObject object) {
    if (sorted_) return AddObject(static_cast<const TStr&>(s), object);
    Changing();
    if (Count() == capacity_) Grow();
    items_.push_back(TItem{std::move(s), object});
    Changed();
    return Count() - 1;
  }

  // Hands the lines over and leaves the list empty: a list of a hundred thousand entries
  // goes on to its view without a copy of every text.
  std::vector<TItem> TakeItems() {
    Changing();
    std::vector<TItem> taken = std::move(items_);
    items_.clear();
    capacity_ = 0;
    Changed();
    return taken;
  }

  void Clear() {
    const bool had = !items_.empty();
    if (had) Changing();
    items_.clear();
    items_.shrink_to_fit();
    capacity_ = 0;
    if (had) Changed();
  }

  void Delete(int index) {
    if (!Valid(index)) return;
    Changing();
    items_.erase(items_.begin() + index);
    Changed();
  }

  void Exchange(int index1, int index2) {
    if (!Valid(index1) || !Valid(index2)) return;
    Changing();
    std::swap(items_[index1], items_[index2]);
    Changed();
  }

  // Moving would break the order of a sorted list, so there it does nothing.
  void Move(int curIndex, int newIndex) {
    if (sorted_ || curIndex == newIndex || !Valid(curIndex) || !Valid(newIndex)) return;
    Changing();
    TItem item = std::move(items_[curIndex]);
    items_.erase(items_.begin() + curIndex);
    items_.insert(items_.begin() + newIndex, std::move(item));
    Changed();
  }

  // The index of the first line equal to `s` (CompareStrings), -1 when none.
  int IndexOf(const TStr& s) const {
    if (sorted_) {
      int index;
      return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
      if (CompareStrings(items_[i].text, s) == 0) return i;
    return -1;
  }

  int IndexOfObject(TListObject object) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[i].object == object) return i;
    return -1;
  }

  // A sorted list keeps its order: inserting into it does nothing. Index Count appends.
  void InsertObject(int index, const TStr& s, TListObject object) {
    if (sorted_ || index < 0 || index > Count()) return;
    InsertItem(index, s, object);
  }

  // Binary search in a sorted list. True when found; `index` is then the first equal
  // line, else the position where `s` belongs.
  bool Find(const TStr& s, int& index) const {
    int lo = 0, hi = Count();
    bool found = false;
    while (lo < hi) {
      int mid = lo + (hi - lo) / 2;
      int c = CompareStrings(items_[mid].text, s);
      if (c < 0) {
        lo = mid + 1;
      } else {
        if (c == 0) found = true;
        hi = mid;
      }
    }
    index = lo;
    return found;
  }

  // Sorts by CompareStrings; equal lines keep their order.
  void Sort() {
    if (items_.size() < 2) return;
    Changing();
    std::stable_sort(items_.begin(), items_.end(), [this](const TItem& a, const TItem& b) {
      return CompareStrings(a.text, b.text) < 0;
    });
    Changed();
  }

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) Sort();
    sorted_ = sorted;
  }
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool cs) {
    if (cs == caseSensitive_) return;
    caseSensitive_ = cs;
    if (sorted_) Sort();
  }

  // Nested updates: OnChanging fires when the first opens, OnChange when the last closes.
  void BeginUpdate() {
    if (updateCount_ == 0) SetUpdateState(true);
    ++updateCount_;
  }
  void EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) SetUpdateState(false);
  }
  int UpdateCount() const { return updateCount_; }

 protected:
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  const TStr& At(int index) const {
    static const TStr empty;
    return Valid(index) ? items_[index].text : empty;
  }
  void PutText(int index, const TStr& s) {
    if (sorted_ || !Valid(index)) return;
    Changing();
    items_[index].text = s;
    Changed();
  }

  void SetUpdateState(bool updating) {
    if (updating) Changing();
    else Changed();
  }
  void Changing() {
    if (updateCount_ == 0 && OnChanging) OnChanging();
  }
  void Changed() {
    if (updateCount_ == 0 && OnChange) OnChange();
  }

  void Grow() {
    int delta = capacity_ > 64 ? capacity_ / 4 : (capacity_ > 8 ? 16 : 4);
    SetCapacity(capacity_ + delta);
  }
  void InsertItem(int index, const TStr& s, TListObject object) {
    Changing();
    if (Count() == capacity_) Grow();
    items_.insert(items_.begin() + index, TItem{s, object});
    Changed();
  }
  // Appends without notification or duplicate checks, for the bulk readers.
  void AppendRaw(TStr&& s, TListObject object = 0) {
    if (Count() == capacity_) Grow();
    items_.push_back(TItem{std::move(s), object});
  }
  // Drops the lines but keeps the memory, for the bulk readers.
  void ClearRaw() { items_.clear(); }
  // Replaces every line by `lines` (taken over): sorted in when the list is sorted, else
  // appended as they come. One change notification.
  void ReplaceWith(std::vector<TStr>& lines) {
    BeginUpdate();
    if (sorted_) {
      Clear();
      for (auto& s : lines) AddObject(s, 0);
    } else {
      ClearRaw();
      for (auto& s : lines) AppendRaw(std::move(s));
    }
    EndUpdate();
  }

  std::vector<TItem> items_;
  int capacity_ = 0;
  bool sorted_ = false;
  TDuplicates duplicates_ = dupIgnore;
  bool caseSensitive_ = false;
  int updateCount_ = 0;
};

// ---------------------------------------------------------------------------------------
// Comma text: a list of items joined by "," where an item holding a character at or below
// the space, a double quote or a comma is written in double quotes (inner quotes doubled).
// Reading skips blanks and control characters before an item; an unquoted item ends at a
// comma or at any character at or below the space (so "a=b c" is two items); a quoted item
// runs to its closing quote; a text that ends in a comma gets an empty last item.
// Record lines, history lines and the lock file all use it.

// Splits `text` into `items` (cleared first; its memory is reused).
void ParseCommaText(std::string_view text, std::vector<std::string>& items);
// The same with another delimiter and quote character.
void ParseDelimitedText(std::string_view text, char delimiter, char quote,
                        std::vector<std::string>& items);
// The value of the first "key=value" item of a comma text whose key equals `key` (ASCII
// letters in any case), as the parsed list's ValueOf gives it, read in place; false and
// empty when there is none.
bool CommaTextValue(std::string_view text, std::string_view key, std::string& value);
// The same for several keys (at most 64) in one walk: values[i] for keys[i]. Returns how
// many were found.
size_t CommaTextValues(std::string_view text, const std::string_view* keys,
                       std::string* values, size_t count);
// Appends one item to `out`, quoted when it has to be (no delimiter is added).
void AppendCommaItem(std::string& out, std::string_view item, char delimiter = ',',
                     char quote = '"');
// The comma text of `items`. A single empty item is written as "" so that it reads back.
std::string BuildCommaText(const std::vector<std::string>& items);

class TQStringList : public TStringListBase<std::string> {
 public:
  TQStringList() = default;
  TQStringList(std::initializer_list<std::string> lines);

  // An empty text for a bad index.
  const std::string& Get(int index) const { return At(index); }
  const std::string& operator[](int index) const { return At(index); }
  // Does nothing in a sorted list or for a bad index.
  void Put(int index, const std::string& s) { PutText(index, s); }

  int Add(const std::string& s) { return AddObject(s, 0); }
  void Insert(int index, const std::string& s) { InsertObject(index, s, 0); }
  void AddStrings(const TQStringList& other);
  void Assign(const TQStringList& other);  // Clear + AddStrings (keeps own settings)
  bool Equals(const TQStringList& other) const;  // same lines, byte for byte

  // Name=value lines. A name is the text before the first "="; names are compared with
  // CompareStrings.
  std::string Name(int index) const;
  std::string ValueFromIndex(int index) const;
  int IndexOfName(const std::string& name) const;
  // The value of the first line named `name`; empty when none.
  std::string Value(const std::string& name) const;
  // Sets or adds the line name=value; an empty value removes the line.
  void SetValue(const std::string& name, const std::string& value);

  // The text after "=" of the first line that starts with `key` + "=", compared ignoring
  // ASCII case; empty when none.
  std::string ValueOf(std::string_view key) const;
  // The record store's one-letter fields: the first line of at least 2 characters whose
  // first character, upper-cased (a-z only), is the upper-cased letter and whose second
  // is "="; returns the text from its third character. Empty when none.
  std::string ValueOfChar(char letter) const;

  // Every line followed by CR LF.
  std::string GetText() const;
  // Lines end at CR, LF or CR LF; text after the last end becomes a last line.
  void SetText(std::string_view text);

  std::string GetCommaText() const;
  // Replaces the lines by the items of a comma text (sorted lists sort them in).
  void SetCommaText(std::string_view text);
  std::string GetDelimitedText(char delimiter, char quote) const;
  void SetDelimitedText(std::string_view text, char delimiter, char quote);

  // The lines as a plain vector (what the text-file functions of FileCtrl2 take) and back.
  std::vector<std::string> GetLines() const;
  void SetLines(std::vector<std::string> lines);  // sorted lists sort them in

  // Replaces the lines by those of a text file (LoadTextFile: CR LF, CR or LF end a
  // line). On any failure the list keeps what it held and the result is false;
  // `loadResult` receives LoadTextFile's code (ltfRead, ltfMissing, ltfReadError).
  bool LoadFromFile(const std::string& fileName, int* loadResult = nullptr);
  // Every line followed by CR LF (SaveTextFile). True when written completely.
  bool SaveToFile(const std::string& fileName) const;
  // The same through SaveTextFileSafe: temporary file, optional ".bak", then replace.
  bool SaveToFileSafe(const std::string& fileName, bool keepBackup) const;
};
