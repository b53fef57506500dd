#include "basic/Cp1252.h"

#include <array>

#include "platform/OsText.h"

namespace {

struct CaseTables {
  std::array<unsigned char, 256> up{};
  std::array<unsigned char, 256> low{};
  CaseTables() {
    for (int i = 0; i < 256; ++i) up[i] = low[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) {
      up[c] = static_cast<unsigned char>(c - 32);
      low[c - 32] = static_cast<unsigned char>(c);
    }
    for (int c = 0xE0; c <= 0xFE; ++c) {
      if (c == 0xF7) continue;  // division sign; 0xD7 is the multiplication sign
      up[c] = static_cast<unsigned char>(c - 32);
      low[c - 32] = static_cast<unsigned char>(c);
    }
    const unsigned char pairs[][2] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (auto& p : pairs) {
      up[p[0]] = p[1];
      low[p[1]] = p[0];
    }
  }
};

const CaseTables& Tables() {
  static const CaseTables t;
  return t;
}

}  // namespace

// The table itself lives with the system boundary, which needs it for file names.
char32_t Cp1252ToUnicode(unsigned char c) { return CodePointOf1252(c); }

int UnicodeToCp1252(char32_t u) { return Cp1252ByteOf(u); }

std::string Cp1252ToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (unsigned char c : s) AppendUtf8CodePoint(out, Cp1252ToUnicode(c));
  return out;
}

std::string Utf8ToCp1252(const std::string& s, char replacement) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t u;
    const size_t len = DecodeUtf8At(s, i, u);
    if (len == 0) {  // malformed, overlong or cut short: one replacement per bad byte
      out += replacement;
      ++i;
      continue;
    }
    i += len;
    const int b = UnicodeToCp1252(u);
    out += b < 0 ? replacement : static_cast<char>(b);
  }
  return out;
}

std::u16string Cp1252ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (unsigned char c : s) out += static_cast<char16_t>(Cp1252ToUnicode(c));
  return out;
}

std::string Utf16ToCp1252(const std::u16string& s, char replacement) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t w = s[i];
    if (w >= 0xD800 && w <= 0xDFFF) {  // surrogate halves never map into 1252
      if (w < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
      out += replacement;
      continue;
    }
    int b = UnicodeToCp1252(w);
    out += b < 0 ? replacement : static_cast<char>(b);
  }
  return out;
}

unsigned char UpCase1252(unsigned char c) { return Tables().up[c]; }
unsigned char LowCase1252(unsigned char c) { return Tables().low[c]; }

std::string AnsiUpperCase(const std::string& s) {
  std::string r(s);
  const auto& t = Tables().up;
  for (char& c : r) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return r;
}

void AnsiUpperCaseInPlace(char* text, size_t length) {
  const auto& t = Tables().up;
  for (size_t i = 0; i < length; ++i)
    text[i] = static_cast<char>(t[static_cast<unsigned char>(text[i])]);
}

std::string AnsiLowerCase(const std::string& s) {
  std::string r(s);
  const auto& t = Tables().low;
  for (char& c : r) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return r;
}

int AnsiCompareText(const std::string& a, const std::string& b) {
  const auto& t = Tables().up;
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = t[static_cast<unsigned char>(a[i])];
    int y = t[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int AnsiCompareStr(const std::string& a, const std::string& b) {
  int r = a.compare(b);  // std::string compares as unsigned char
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool AnsiSameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}
