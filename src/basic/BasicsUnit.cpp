#include "basic/BasicsUnit.h"

#include <limits>

namespace {

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads the magnitude and sign. Decimal magnitudes may reach 2^63 (so the smallest
// 64-bit value parses); hex magnitudes the full unsigned 64-bit range.
bool ParseMagnitude(const std::string& text, bool& negative, bool& hex, uint64_t& magnitude) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  hex = i < n && text[i] == '$';
  if (hex) ++i;
  if (i == n) return false;
  const uint64_t base = hex ? 16 : 10;
  const uint64_t limit = hex ? std::numeric_limits<uint64_t>::max() : (uint64_t{1} << 63);
  magnitude = 0;
  for (; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int d = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return false;
    if (magnitude > (limit - static_cast<uint64_t>(d)) / base) return false;
    magnitude = magnitude * base + static_cast<uint64_t>(d);
  }
  return true;
}

}  // namespace

bool TryStrToInt(const std::string& text, int32_t& value) {
  bool negative, hex;
  uint64_t m;
  if (!ParseMagnitude(text, negative, hex, m)) return false;
  if (hex) {
    // A hex value is a 32-bit pattern: "$FFFFFFFF" is -1.
    if (m > 0xFFFFFFFFu) return false;
    uint32_t bits = static_cast<uint32_t>(m);
    if (negative) bits = 0u - bits;
    value = static_cast<int32_t>(bits);
    return true;
  }
  if (negative) {
    if (m > uint64_t{1} << 31) return false;
    value = static_cast<int32_t>(-static_cast<int64_t>(m));
  } else {
    if (m > 0x7FFFFFFFu) return false;
    value = static_cast<int32_t>(m);
  }
  return true;
}

bool TryStrToInt64(const std::string& text, int64_t& value) {
  bool negative, hex;
  uint64_t m;
  if (!ParseMagnitude(text, negative, hex, m)) return false;
  if (hex) {
    uint64_t bits = negative ? 0u - m : m;
    value = static_cast<int64_t>(bits);
    return true;
  }
  if (negative) {
    value = static_cast<int64_t>(0u - m);  // m <= 2^63 by the parser's limit
  } else {
    if (m > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
    value = static_cast<int64_t>(m);
  }
  return true;
}

int32_t StrToIntZero(const std::string& text) {
  int32_t v;
  return TryStrToInt(text, v) ? v : 0;
}

int32_t StrToIntMinus1(const std::string& text) {
  int32_t v;
  return TryStrToInt(text, v) ? v : -1;
}

int32_t StrToPosInt(const std::string& text) {
  int32_t v;
  return TryStrToInt(text, v) && v >= 1 ? v : 0;
}

int32_t StrToByteZero(const std::string& text) {
  int32_t v;
  return TryStrToInt(text, v) && v >= 0 && v <= 255 ? v : 0;
}

char CharAt(const std::string& text, int pos) {
  if (pos < 1 || static_cast<size_t>(pos) > text.size()) return '\0';
  return text[static_cast<size_t>(pos) - 1];
}

char FirstChar(const std::string& text) { return text.empty() ? '\0' : text.front(); }
char LastChar(const std::string& text) { return text.empty() ? '\0' : text.back(); }

std::string CopyLeft(const std::string& text, int n) {
  if (n < 1) return std::string();
  return text.substr(0, static_cast<size_t>(n));
}

std::string CopyFrom(const std::string& text, int pos) {
  if (pos <= 1) return text;
  if (static_cast<size_t>(pos) > text.size()) return std::string();
  return text.substr(static_cast<size_t>(pos) - 1);
}

std::string CutLeft(const std::string& text, int n) {
  if (n <= 0) return text;
  if (static_cast<size_t>(n) >= text.size()) return std::string();
  return text.substr(static_cast<size_t>(n));
}

std::string DelFirstChar(const std::string& text) { return CutLeft(text, 1); }

std::string TrimEnd(const std::string& text) {
  size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32) --n;
  return text.substr(0, n);
}

std::string_view TrimView(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

int PosFrom(const std::string& sub, const std::string& text, int start) {
  if (sub.empty()) return 0;
  size_t from = start <= 1 ? 0 : static_cast<size_t>(start) - 1;
  if (from >= text.size()) return 0;
  size_t p = text.find(sub, from);
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

namespace {

bool IsWordChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128;
}

}  // namespace

int PosWord(const std::string& sub, const std::string& text) {
  if (sub.empty()) return 0;
  for (size_t p = text.find(sub); p != std::string::npos; p = text.find(sub, p + 1)) {
    const size_t end = p + sub.size();
    const bool freeBefore = p == 0 || !IsWordChar(static_cast<unsigned char>(text[p - 1]));
    const bool freeAfter = end >= text.size() || !IsWordChar(static_cast<unsigned char>(text[end]));
    if (freeBefore && freeAfter) return static_cast<int>(p) + 1;
  }
  return 0;
}

std::string NaturalSortKey(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    if (text[i] >= '0' && text[i] <= '9') {
      size_t j = i;
      while (j < n && text[j] >= '0' && text[j] <= '9') ++j;
      const size_t run = j - i;
      if (run < 7) out.append(7 - run, '0');
      out.append(text, i, run);
      i = j;
    } else {
      out += text[i++];
    }
  }
  return out;
}

void TDestroyObjectsList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

void TDestroyObjectsList::Clear() {
  // Take the objects out first, so an object whose destructor touches the list sees it
  // empty rather than half torn down.
  std::vector<TOwned> doomed;
  doomed.swap(items_);
  while (!doomed.empty()) doomed.pop_back();
}
