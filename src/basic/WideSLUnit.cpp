#include "basic/WideSLUnit.h"

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/UnicodeFunUnit.h"

namespace {

// Upper case of one UTF-16 unit for case-insensitive comparison: what 1252 knows through
// its own table, plus the letter blocks our language files use (Latin Extended-A, Greek,
// Cyrillic). Nothing here consults the process locale.
char16_t WideUpCase(char16_t w) {
  if (w < 0x80) return (w >= u'a' && w <= u'z') ? static_cast<char16_t>(w - 32) : w;
  if (w >= 0x100 && w <= 0x17F) {
    // Pairs of capital (even) and small (odd), except two runs that pair odd with even.
    if ((w >= 0x139 && w <= 0x148) || (w >= 0x179 && w <= 0x17E))
      return (w % 2 == 0) ? static_cast<char16_t>(w - 1) : w;
    if (w == 0x131 || w == 0x138 || w == 0x149 || w == 0x17F) return w;
    return (w % 2 == 1) ? static_cast<char16_t>(w - 1) : w;
  }
  if (w >= 0x3B1 && w <= 0x3C9 && w != 0x3C2) return static_cast<char16_t>(w - 32);
  if (w >= 0x430 && w <= 0x44F) return static_cast<char16_t>(w - 32);
  if (w >= 0x450 && w <= 0x45F) return static_cast<char16_t>(w - 80);
  int b = UnicodeToCp1252(w);
  if (b < 0) return w;
  return static_cast<char16_t>(Cp1252ToUnicode(UpCase1252(static_cast<unsigned char>(b))));
}

}  // namespace

int CompareListStrings(const std::u16string& a, const std::u16string& b, bool caseSensitive) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = caseSensitive ? a[i] : WideUpCase(a[i]);
    char16_t y = caseSensitive ? b[i] : WideUpCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void SplitWideLines(std::u16string_view text, std::vector<std::u16string>& lines) {
  lines.clear();
  const size_t n = text.size();
  size_t start = 0;
  size_t i = 0;
  while (i < n) {
    char16_t c = text[i];
    if (c != u'\n' && c != u'\r') {
      ++i;
      continue;
    }
    lines.emplace_back(text.substr(start, i - start));
    if (i + 1 < n && (text[i + 1] == u'\n' || text[i + 1] == u'\r') && text[i + 1] != c) i += 2;
    else i += 1;
    start = i;
  }
  if (start < n) lines.emplace_back(text.substr(start));
}

std::string TWStringList::Get(int index) const { return Utf16ToCp1252(At(index)); }

int TWStringList::Add(const std::string& s) { return AddObject(Cp1252ToUtf16(s), 0); }

void TWStringList::Insert(int index, const std::string& s) {
  InsertObject(index, Cp1252ToUtf16(s), 0);
}

void TWStringList::AddStrings(const TWStringList& other) {
  if (&other == this) {
    TWStringList copy(other);
    AddStrings(copy);
    return;
  }
  BeginUpdate();
  for (const auto& item : other.Items()) AddObject(item.text, item.object);
  EndUpdate();
}

std::string TWStringList::GetText() const {
  std::string out;
  for (const auto& item : items_) {
    out += Utf16ToCp1252(item.text);
    out += "\r\n";
  }
  return out;
}

void TWStringList::SetText(std::string_view text) {
  std::vector<std::u16string> lines;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* start = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    lines.push_back(Cp1252ToUtf16(std::string(start, p)));
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
  ReplaceWith(lines);
}

void TWStringList::SetWideText(std::u16string_view text) {
  if (!text.empty() && text[0] == u'\xFEFF') text.remove_prefix(1);
  std::vector<std::u16string> lines;
  SplitWideLines(text, lines);
  ReplaceWith(lines);
}

std::u16string TWStringList::GetWideText(bool withMark) const {
  std::u16string out;
  if (items_.empty()) return out;
  if (withMark) out += u'\xFEFF';
  for (const auto& item : items_) {
    out += item.text;
    out += u"\r\n";
  }
  return out;
}

bool TWStringList::LoadFromFile(const std::string& fileName) {
  Clear();
  std::string bytes;
  if (!ReadFileToString(fileName, bytes)) return false;
  int markLength = 0;
  switch (DetectTextEncoding(bytes.data(), bytes.size(), markLength)) {
    case teNone:
      SetText(bytes);
      return true;
    case teUtf16LE: {
      std::u16string text;
      BytesToWideText(bytes, text);
      std::vector<std::u16string> lines;
      SplitWideLines(text, lines);
      ReplaceWith(lines);
      return true;
    }
    default:  // UTF-8, UTF-16 BE and UTF-32 files are not ours to read
      return false;
  }
}
