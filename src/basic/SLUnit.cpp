#include "basic/SLUnit.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "basic/FileCtrl2.h"

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Where an unquoted item that starts at `p` ends: the first byte at or below the space or
// equal to the delimiter (`end` when none). Sixteen bytes at a time where SSE2 is there.
const char* UnquotedItemEnd(const char* p, const char* end, char delimiter) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i delim = _mm_set1_epi8(delimiter);
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, space), v);  // v <= ' ', unsigned
    const int mask = _mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(v, delim)));
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && static_cast<unsigned char>(*p) > ' ' && *p != delimiter) ++p;
  return p;
}

// Splits delimited text and hands each item to `emit` as a view that holds while the call
// lasts. Record lines go through here 100,000 at a time, so it scans with pointers and
// copies an item only to undo a doubled quote.
template <class Emit>
void ParseDelimitedImpl(std::string_view text, char delimiter, char quote, Emit&& emit) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // A blank is any byte at or below the space, unless it is the delimiter itself
  // (a TAB-delimited text must not lose its empty items).
  auto blank = [delimiter](char c) {
    return static_cast<unsigned char>(c) <= ' ' && c != delimiter;
  };
  std::string joined;
  while (p < end && blank(*p)) ++p;
  while (p < end) {
    if (*p == quote) {
      ++p;
      const char* q = static_cast<const char*>(std::memchr(p, quote, end - p));
      if (q == nullptr) {  // no closing quote: the item runs to the end
        emit(std::string_view(p, static_cast<size_t>(end - p)));
        p = end;
      } else if (q + 1 == end || q[1] != quote) {
        emit(std::string_view(p, static_cast<size_t>(q - p)));
        p = q + 1;
      } else {
        joined.clear();
        for (;;) {
          q = static_cast<const char*>(std::memchr(p, quote, end - p));
          if (q == nullptr) {
            joined.append(p, end);
            p = end;
            break;
          }
          joined.append(p, q);
          p = q + 1;
          if (p < end && *p == quote) {
            joined += quote;
            ++p;
          } else {
            break;
          }
        }
        emit(std::string_view(joined));
      }
    } else {
      const char* start = p;
      p = UnquotedItemEnd(p, end, delimiter);
      emit(std::string_view(start, static_cast<size_t>(p - start)));
    }
    while (p < end && blank(*p)) ++p;
    if (p < end && *p == delimiter) {
      if (p + 1 == end) emit(std::string_view());
      do ++p;
      while (p < end && blank(*p));
    }
  }
}

bool NeedsQuotes(std::string_view item, char delimiter, char quote) {
  for (char c : item)
    if (static_cast<unsigned char>(c) <= ' ' || c == quote || c == delimiter) return true;
  return false;
}

}  // namespace

void ParseDelimitedText(std::string_view text, char delimiter, char quote,
                        std::vector<std::string>& items) {
  items.clear();
  ParseDelimitedImpl(text, delimiter, quote,
                     [&items](std::string_view s) { items.emplace_back(s); });
}

void ParseCommaText(std::string_view text, std::vector<std::string>& items) {
  ParseDelimitedText(text, ',', '"', items);
}

bool CommaTextValue(std::string_view text, std::string_view key, std::string& value) {
  return CommaTextValues(text, &key, &value, 1) == 1;
}

size_t CommaTextValues(std::string_view text, const std::string_view* keys,
                       std::string* values, size_t count) {
  // The walk of ParseDelimitedImpl, looking at the items in place: only a quoted item with
  // a doubled quote inside is put together in a buffer.
  constexpr char kQuote = '"';
  const char* p = text.data();
  const char* const end = p + text.size();
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' && c != ','; };
  for (size_t i = 0; i < count; ++i) values[i].clear();
  uint64_t found = 0;  // bit i: keys[i] had its item (the first one counts)
  size_t left = std::min<size_t>(count, 64);
  auto take = [&](std::string_view item) {
    for (size_t i = 0; i < count && i < 64; ++i) {
      const std::string_view key = keys[i];
      const size_t n = key.size();
      if ((found >> i & 1) != 0 || item.size() <= n || item[n] != '=') continue;
      size_t k = 0;
      while (k < n && AsciiUpper(item[k]) == AsciiUpper(key[k])) ++k;
      if (k != n) continue;
      values[i].assign(item.substr(n + 1));
      found |= uint64_t{1} << i;
      --left;
    }
    return left == 0;
  };
  std::string joined;
  while (p < end && blank(*p)) ++p;
  while (p < end) {
    std::string_view item;
    if (*p == kQuote) {
      ++p;
      const char* q = static_cast<const char*>(std::memchr(p, kQuote, end - p));
      if (q == nullptr) {
        item = std::string_view(p, static_cast<size_t>(end - p));
        p = end;
      } else if (q + 1 == end || q[1] != kQuote) {
        item = std::string_view(p, static_cast<size_t>(q - p));
        p = q + 1;
      } else {
        joined.clear();
        for (;;) {
          q = static_cast<const char*>(std::memchr(p, kQuote, end - p));
          if (q == nullptr) {
            joined.append(p, end);
            p = end;
            break;
          }
          joined.append(p, q);
          p = q + 1;
          if (p < end && *p == kQuote) {
            joined += kQuote;
            ++p;
          } else {
            break;
          }
        }
        item = joined;
      }
    } else {
      const char* start = p;
      p = UnquotedItemEnd(p, end, ',');
      item = std::string_view(start, static_cast<size_t>(p - start));
    }
    if (take(item)) break;
    while (p < end && blank(*p)) ++p;
    if (p < end && *p == ',') {
      do ++p;
      while (p < end && blank(*p));
    }
  }
  return static_cast<size_t>(__builtin_popcountll(found));
}

void AppendCommaItem(std::string& out, std::string_view item, char delimiter, char quote) {
  if (!NeedsQuotes(item, delimiter, quote)) {
    out.append(item);
    return;
  }
  out += quote;
  for (char c : item) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
}

namespace {

template <class Items, class GetText>
std::string BuildDelimited(const Items& items, size_t count, GetText&& get, char delimiter,
                           char quote) {
  std::string out;
  if (count == 1 && get(items[0]).empty()) {
    out += quote;
    out += quote;
    return out;
  }
  size_t size = count;
  for (size_t i = 0; i < count; ++i) size += get(items[i]).size() + 2;
  out.reserve(size);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += delimiter;
    AppendCommaItem(out, get(items[i]), delimiter, quote);
  }
  return out;
}

}  // namespace

std::string BuildCommaText(const std::vector<std::string>& items) {
  return BuildDelimited(items, items.size(), [](const std::string& s) -> const std::string& { return s; },
                        ',', '"');
}

// ---------------------------------------------------------------------------------------

TQStringList::TQStringList(std::initializer_list<std::string> lines) {
  for (const auto& s : lines) Add(s);
}

void TQStringList::AddStrings(const TQStringList& other) {
  if (&other == this) {
    TQStringList copy(other);
    AddStrings(copy);
    return;
  }
  BeginUpdate();
  for (const auto& item : other.Items()) AddObject(item.text, item.object);
  EndUpdate();
}

void TQStringList::Assign(const TQStringList& other) {
  if (&other == this) return;
  BeginUpdate();
  Clear();
  AddStrings(other);
  EndUpdate();
}

bool TQStringList::Equals(const TQStringList& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (items_[i].text != other.items_[i].text) return false;
  return true;
}

std::string TQStringList::Name(int index) const {
  const std::string& s = At(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TQStringList::ValueFromIndex(int index) const {
  const std::string& s = At(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TQStringList::IndexOfName(const std::string& name) const {
  const size_t n = name.size();
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = items_[i].text;
    // Case folding in 1252 maps byte to byte, so a name of another length never matches.
    if (s.size() <= n || s[n] != '=' || s.find('=') != n) continue;
    bool same = true;
    for (size_t k = 0; k < n && same; ++k) {
      unsigned char a = static_cast<unsigned char>(s[k]);
      unsigned char b = static_cast<unsigned char>(name[k]);
      same = caseSensitive_ ? a == b : UpCase1252(a) == UpCase1252(b);
    }
    if (same) return i;
  }
  return -1;
}

std::string TQStringList::Value(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : items_[i].text.substr(name.size() + 1);
}

void TQStringList::SetValue(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  std::string line = name + "=" + value;
  if (i < 0) {
    Add(line);
  } else if (sorted_) {
    // A sorted list cannot change a line in place: take it out and sort it back in.
    TListObject object = items_[i].object;
    BeginUpdate();
    Delete(i);
    AddObject(line, object);
    EndUpdate();
  } else {
    Put(i, line);
  }
}

std::string TQStringList::ValueOf(std::string_view key) const {
  const size_t n = key.size();
  for (const auto& item : items_) {
    const std::string& s = item.text;
    if (s.size() <= n || s[n] != '=') continue;
    size_t k = 0;
    while (k < n && AsciiUpper(s[k]) == AsciiUpper(key[k])) ++k;
    if (k == n) return s.substr(n + 1);
  }
  return std::string();
}

std::string TQStringList::ValueOfChar(char letter) const {
  const char up = AsciiUpper(letter);
  for (const auto& item : items_) {
    const std::string& s = item.text;
    if (s.size() >= 2 && s[1] == '=' && AsciiUpper(s[0]) == up) return s.substr(2);
  }
  return std::string();
}

std::string TQStringList::GetText() const {
  size_t size = 0;
  for (const auto& item : items_) size += item.text.size() + 2;
  std::string out;
  out.reserve(size);
  for (const auto& item : items_) {
    out += item.text;
    out += "\r\n";
  }
  return out;
}

std::vector<std::string> TQStringList::GetLines() const {
  std::vector<std::string> lines;
  lines.reserve(items_.size());
  for (const auto& item : items_) lines.push_back(item.text);
  return lines;
}

void TQStringList::SetLines(std::vector<std::string> lines) { ReplaceWith(lines); }

void TQStringList::SetText(std::string_view text) {
  std::vector<std::string> lines;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* start = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    lines.emplace_back(start, p);
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
  ReplaceWith(lines);
}

std::string TQStringList::GetCommaText() const { return GetDelimitedText(',', '"'); }

void TQStringList::SetCommaText(std::string_view text) { SetDelimitedText(text, ',', '"'); }

std::string TQStringList::GetDelimitedText(char delimiter, char quote) const {
  return BuildDelimited(
      items_, items_.size(), [](const TStringItem& i) -> const std::string& { return i.text; },
      delimiter, quote);
}

void TQStringList::SetDelimitedText(std::string_view text, char delimiter, char quote) {
  BeginUpdate();
  if (sorted_) {
    Clear();
    ParseDelimitedImpl(text, delimiter, quote, [this](std::string_view s) { Add(std::string(s)); });
  } else {
    // The lines are refilled in place: a list that reads record after record (the store's
    // index and name passes) allocates only for an item longer than the one before it there.
    size_t count = 0;
    ParseDelimitedImpl(text, delimiter, quote, [this, &count](std::string_view s) {
      if (count < items_.size()) {
        items_[count].text.assign(s);
        items_[count].object = 0;
      } else {
        AppendRaw(std::string(s));
      }
      ++count;
    });
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(count), items_.end());
  }
  EndUpdate();
}

bool TQStringList::LoadFromFile(const std::string& fileName, int* loadResult) {
  std::vector<std::string> lines;
  const int result = LoadTextFile(fileName, lines, items_.size());
  if (loadResult != nullptr) *loadResult = result;
  // A partly read file must not replace the lines: saved back, it would lose the rest.
  if (result != ltfRead) return false;
  ReplaceWith(lines);
  return true;
}

bool TQStringList::SaveToFile(const std::string& fileName) const {
  return SaveTextFile(GetLines(), fileName);
}

bool TQStringList::SaveToFileSafe(const std::string& fileName, bool keepBackup) const {
  return SaveTextFileSafe(GetLines(), fileName, keepBackup);
}
