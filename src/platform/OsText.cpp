#include "platform/OsText.h"

namespace {

// 0x80..0x9F: the block where 1252 differs from Latin-1.
constexpr char32_t kHighBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

char32_t CodePointOf1252(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) return kHighBlock[c - 0x80];
  return c;
}

int Cp1252ByteOf(char32_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
  for (int i = 0; i < 32; ++i)
    if (kHighBlock[i] == u) return 0x80 + i;
  return -1;
}

void AppendUtf8CodePoint(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

std::size_t DecodeUtf8At(std::string_view s, std::size_t pos, char32_t& u) {
  const std::size_t n = s.size();
  if (pos >= n) return 0;
  const unsigned char c = static_cast<unsigned char>(s[pos]);
  std::size_t len;
  char32_t min;
  if (c < 0x80) {
    u = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    len = 2; min = 0x80; u = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3; min = 0x800; u = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4; min = 0x10000; u = c & 0x07;
  } else {
    return 0;
  }
  if (pos + len > n) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[pos + k]);
    if ((t & 0xC0) != 0x80) return 0;
    u = (u << 6) | (t & 0x3F);
  }
  if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return 0;
  return len;
}

std::string AnsiToOs(const std::string& text1252) {
  if (IsAscii(text1252)) return text1252;
  std::string out;
  out.reserve(text1252.size() + text1252.size() / 4);
  for (unsigned char c : text1252) AppendUtf8CodePoint(out, CodePointOf1252(c));
  return out;
}

std::string OsToAnsi(const std::string& osBytes) {
  if (IsAscii(osBytes)) return osBytes;
  std::string out;
  out.reserve(osBytes.size());
  std::size_t i = 0;
  while (i < osBytes.size()) {
    char32_t u = 0;
    std::size_t len = DecodeUtf8At(osBytes, i, u);
    if (len == 0) {
      out += osBytes[i++];  // no UTF-8: a 1252 byte as it is
      continue;
    }
    i += len;
    int b = Cp1252ByteOf(u);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}
