#include "basic/ValueString.h"

#include <array>

#include "basic/BasicsUnit.h"

namespace {

constexpr uint32_t kNumberMask = 0x6B2D94E3u;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// The rotation classes: first code, size, and the mask applied to the position.
struct TRotClass {
  unsigned char first;
  int size;
  unsigned mask;
};

constexpr TRotClass kSymbols{32, 16, 7};
constexpr TRotClass kDigits{'0', 10, 7};
constexpr TRotClass kUpper{'A', 26, 15};
constexpr TRotClass kLower{'a', 26, 15};

constexpr const TRotClass* RotClassOf(unsigned char b) {
  if (b >= 32 && b <= 47) return &kSymbols;
  if (b >= '0' && b <= '9') return &kDigits;
  if (b >= 'A' && b <= 'Z') return &kUpper;
  if (b >= 'a' && b <= 'z') return &kLower;
  return nullptr;
}

// Every byte rotated for each of the 16 positions a mask can tell apart (the 1-based
// position's low four bits), one table per direction: the names of a whole store pass
// through here when it is opened.
using TRotTable = std::array<std::array<unsigned char, 256>, 16>;

constexpr TRotTable MakeRotTable(int direction) {
  TRotTable table{};
  for (unsigned slot = 0; slot < 16; ++slot) {
    for (int b = 0; b < 256; ++b) {
      const TRotClass* c = RotClassOf(static_cast<unsigned char>(b));
      if (!c) {
        table[slot][b] = static_cast<unsigned char>(b);
        continue;
      }
      const int shift = static_cast<int>(slot & c->mask);
      int offset = (b - c->first + direction * shift) % c->size;
      if (offset < 0) offset += c->size;
      table[slot][b] = static_cast<unsigned char>(c->first + offset);
    }
  }
  return table;
}

constexpr TRotTable kScramble = MakeRotTable(+1);
constexpr TRotTable kUnscramble = MakeRotTable(-1);

std::string Rotate(const std::string& text, const TRotTable& table) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(table[(i + 1) & 15][static_cast<unsigned char>(out[i])]);
  return out;
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

unsigned char ChecksumOf(const std::string& text, size_t length) {
  unsigned s = 27;
  for (size_t i = 0; i < length; ++i) s += static_cast<unsigned char>(text[i]);
  return static_cast<unsigned char>((s & 0xFF) ^ 0x55);
}

void AppendHexByte(std::string& out, unsigned char b) {
  out += kHexDigits[b >> 4];
  out += kHexDigits[b & 15];
}

// Items are short strings: lists written by earlier versions hold at most 255 characters an
// item, so a longer one is compared, added and removed as its first 255.
std::string ShortItem(const std::string& item) { return item.substr(0, 255); }

// The item as a ValueList can hold it: without leading ";", cut before its next ";".
std::string NormalisedItem(const std::string& item) {
  size_t b = item.find_first_not_of(';');
  if (b == std::string::npos) return std::string();
  size_t e = item.find(';', b);
  return item.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

}  // namespace

std::string ScrambleStr(const std::string& text) { return Rotate(text, kScramble); }
std::string UnscrambleStr(const std::string& text) { return Rotate(text, kUnscramble); }

std::string StrToHexStr(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (unsigned char b : text) AppendHexByte(out, b);
  return out;
}

std::string HexStrToStr(const std::string& hex) {
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    out += (hi < 0 || lo < 0) ? '\0' : static_cast<char>(hi * 16 + lo);
  }
  return out;
}

std::string AddChecksum(const std::string& text) {
  std::string out(text);
  AppendHexByte(out, ChecksumOf(text, text.size()));
  return out;
}

bool CheckChecksum(std::string& text) {
  if (text.size() < 2) return false;
  const size_t n = text.size() - 2;
  const int hi = HexValue(text[n]), lo = HexValue(text[n + 1]);
  const bool ok = hi >= 0 && lo >= 0 && (hi * 16 + lo) == ChecksumOf(text, n);
  text.resize(n);
  return ok;
}

std::string EncodeNumberedStr(int32_t number, const std::string& payload, bool rotate) {
  const uint32_t masked = static_cast<uint32_t>(number) ^ kNumberMask;
  std::string out;
  for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(masked >> shift) & 15];
  out += StrToHexStr(payload);
  out = AddChecksum(out);
  return rotate ? ScrambleStr(out) : out;
}

bool DecodeNumberedStr(int32_t expected, std::string& text, bool rotate) {
  if (text.size() < 10) return false;
  std::string s = rotate ? UnscrambleStr(text) : text;
  if (!CheckChecksum(s)) return false;
  if (expected != 0) {
    int32_t stored;
    if (!TryStrToInt("$" + s.substr(0, 8), stored)) stored = -1;
    if ((static_cast<uint32_t>(stored) ^ kNumberMask) != static_cast<uint32_t>(expected)) return false;
  }
  text = HexStrToStr(s.substr(8));
  return true;
}

bool InValueList(const std::string& item, const std::string& list) {
  const std::string cut = ShortItem(item);
  if (cut.empty()) return false;
  return (";" + list + ";").find(";" + cut + ";") != std::string::npos;
}

bool AddToValueList(std::string& list, const std::string& item) {
  const std::string n = NormalisedItem(ShortItem(item));
  if (n.empty() || InValueList(n, list)) return false;
  if (list.empty())
    list = n;
  else if (list.back() == ';')
    list += n;
  else
    list += ";" + n;
  return true;
}

void RemoveFromValueList(std::string& list, const std::string& item) {
  // Surrounding ";" are separators, not part of the item. An item with a ";" inside can
  // never be in a list, so it removes nothing rather than some other item.
  const std::string cut = ShortItem(item);
  const size_t b = cut.find_first_not_of(';');
  if (b == std::string::npos) return;
  const std::string n = cut.substr(b, cut.find_last_not_of(';') - b + 1);
  if (n.find(';') != std::string::npos || !InValueList(n, list)) return;
  std::string rest = list, out;
  bool first = true;
  for (;;) {
    const size_t p = rest.find(';');
    std::string piece = rest.substr(0, p);
    if (piece != n) {
      if (!first) out += ';';
      out += piece;
      first = false;
    }
    if (p == std::string::npos) break;
    rest.erase(0, p + 1);
  }
  list = out;
}

std::string FetchValue(std::string& list) { return FetchField(list, ';'); }

void ValueListToStrings(const std::string& list, std::vector<std::string>& lines) {
  lines.clear();
  std::string rest = list;
  while (!rest.empty()) lines.push_back(FetchValue(rest));
}

std::string StringsToValueList(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += ';';
    out += lines[i];
  }
  return out;
}

std::string FetchField(std::string& text, char separator) {
  const size_t p = text.find(separator);
  std::string field;
  if (p == std::string::npos) {
    field.swap(text);
  } else {
    field = text.substr(0, p);
    text.erase(0, p + 1);
  }
  return field;
}

std::string FetchSemicolonField(std::string& text) { return FetchField(text, ';'); }
std::string FetchTabField(std::string& text) { return FetchField(text, '\t'); }

std::string GetNthField(int n, char separator, const std::string& text) {
  if (n < 0) return std::string();
  size_t start = 0;
  for (int i = 0; i < n; ++i) {
    const size_t p = text.find(separator, start);
    if (p == std::string::npos) return std::string();
    start = p + 1;
  }
  const size_t e = text.find(separator, start);
  return text.substr(start, e == std::string::npos ? std::string::npos : e - start);
}

std::string FetchCsvFieldAt(const std::string& line, size_t& pos, char separator) {
  const size_t n = line.size();
  if (pos >= n) {
    pos = n;
    return "";
  }
  // A single quote opens quoting as a double quote does: some programs quote that way.
  const char quote = line[pos];
  if (quote != '"' && quote != '\'') {
    const size_t p = line.find(separator, pos);
    const size_t end = p == std::string::npos ? n : p;
    std::string field = line.substr(pos, end - pos);
    pos = p == std::string::npos ? n : p + 1;
    return field;
  }
  std::string field;
  size_t i = pos + 1;
  bool closed = false;
  while (i < n) {
    const char c = line[i];
    if (c == quote) {
      if (i + 1 < n && line[i + 1] == quote) {
        field += quote;
        i += 2;
        continue;
      }
      closed = true;
      ++i;
      break;
    }
    field += c;
    ++i;
  }
  if (closed) {
    // Text between the closing quote and the separator is kept rather than lost.
    while (i < n && line[i] != separator) field += line[i++];
  }
  pos = i < n ? i + 1 : n;
  return field;
}

std::string FetchCsvField(std::string& line, char separator) {
  size_t pos = 0;
  std::string field = FetchCsvFieldAt(line, pos, separator);
  line.erase(0, pos);
  return field;
}

void CsvLinesToTabLines(std::vector<std::string>& lines) {
  char separator = ';';
  for (const auto& l : lines)
    if (l.find('\t') != std::string::npos) {
      separator = '\t';
      break;
    }
  for (auto& l : lines) {
    std::string out;
    size_t pos = 0;
    bool first = true;
    // Read in place: a line of very many fields must not be shifted once per field.
    while (pos < l.size()) {
      std::string field = FetchCsvFieldAt(l, pos, separator);
      for (char& c : field)
        if (c == '\t') c = ' ';
      if (!first) out += '\t';
      out += field;
      first = false;
    }
    l = out;
  }
}

std::string SplitAtBreakChars(std::string& text, int maxLen, const std::string& firstBreaks,
                              const std::string& secondBreaks) {
  const size_t n = maxLen < 1 ? 1 : static_cast<size_t>(maxLen);
  std::string head;
  if (text.size() <= n) {
    head.swap(text);
    return head;
  }
  size_t cut = 0;
  for (const std::string* set : {&firstBreaks, &secondBreaks}) {
    for (size_t p = n; p >= 1 && cut == 0; --p)
      if (set->find(text[p - 1]) != std::string::npos) cut = p;
    if (cut) break;
  }
  if (cut == 0) cut = n;
  head = text.substr(0, cut);
  text.erase(0, cut);
  return head;
}
