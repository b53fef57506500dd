#include "basic/UnicodeFunUnit.h"

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "platform/OsText.h"

namespace {

void AppendUtf16(std::u16string& out, char32_t u) {
  if (u < 0x10000) {
    out += static_cast<char16_t>(u);
  } else {
    u -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (u >> 10));
    out += static_cast<char16_t>(0xDC00 + (u & 0x3FF));
  }
}

// Malformed sequences, overlong forms and surrogates become U+FFFD, one per bad byte.
std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t u;
    const size_t len = DecodeUtf8At(s, i, u);
    if (len == 0) {
      out += u'\xFFFD';
      ++i;
      continue;
    }
    AppendUtf16(out, u);
    i += len;
  }
  return out;
}

std::u16string Utf16LEBytesToWide(std::string_view bytes) {
  std::u16string out;
  const size_t n = bytes.size() / 2;  // an odd last byte is dropped
  out.resize(n);
  for (size_t i = 0; i < n; ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

}  // namespace

int DetectTextEncoding(const char* buffer, std::size_t length, int& markLength) {
  markLength = 0;
  if (buffer == nullptr || length < 2) return teNone;
  auto b = [buffer](size_t i) { return static_cast<unsigned char>(buffer[i]); };
  if (length >= 4) {
    if (b(0) == 0xFF && b(1) == 0xFE && b(2) == 0x00 && b(3) == 0x00) {
      markLength = 4;
      return teUtf32LE;
    }
    if (b(0) == 0x00 && b(1) == 0x00 && b(2) == 0xFE && b(3) == 0xFF) {
      markLength = 4;
      return teUtf32BE;
    }
  }
  if (length >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
    markLength = 3;
    return teUtf8;
  }
  if (b(0) == 0xFF && b(1) == 0xFE) {
    markLength = 2;
    return teUtf16LE;
  }
  if (b(0) == 0xFE && b(1) == 0xFF) {
    markLength = 2;
    return teUtf16BE;
  }
  return teNone;
}

std::u16string ShortStringToWide(std::string_view text, int codePage) {
  switch (codePage) {
    case 65001:
      return Utf8ToUtf16(text);
    case 28591: {
      std::u16string out;
      out.reserve(text.size());
      for (unsigned char c : text) out += static_cast<char16_t>(c);
      return out;
    }
    default:
      return Cp1252ToUtf16(std::string(text));
  }
}

bool WideToHtmlEntities(std::u16string_view text, std::string_view escape, std::string& out) {
  out.clear();
  out.reserve(text.size());
  bool escaped = false;
  for (char16_t w : text) {
    if (w >= 32 && w <= 127 && escape.find(static_cast<char>(w)) == std::string_view::npos) {
      out += static_cast<char>(w);
    } else {
      out += "&#";
      out += std::to_string(static_cast<unsigned>(w));
      out += ';';
      escaped = true;
    }
  }
  return escaped;
}

bool HtmlEntitiesToWide(std::string_view text, std::u16string& out) {
  out.clear();
  out.reserve(text.size());
  bool found = false;
  size_t i = 0;
  const size_t n = text.size();
  if (n > 0 && text[0] == '\x1E') {
    found = true;
    i = 1;
  }
  while (i < n) {
    if (text[i] == '&' && i + 1 < n && text[i + 1] == '#') {
      size_t j = i + 2;
      bool hex = j < n && (text[j] == 'x' || text[j] == 'X');
      if (hex) ++j;
      const size_t digitsStart = j;
      unsigned long value = 0;
      for (; j < n; ++j) {
        char c = text[j];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        // Saturate: any number past 65535 is out of range anyway.
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        if (value > 0xFFFF) value = 0x10000;
      }
      if (j > digitsStart && j < n && text[j] == ';' && value <= 0xFFFF) {
        out += static_cast<char16_t>(value);
        found = true;
        i = j + 1;
        continue;
      }
    }
    // Byte text is 1252: 0x80 is the euro sign, not a C1 control.
    out += static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(text[i])));
    ++i;
  }
  return found;
}

bool BytesToWideText(std::string_view bytes, std::u16string& out) {
  out.clear();
  int markLength = 0;
  int enc = DetectTextEncoding(bytes.data(), bytes.size(), markLength);
  if (enc != teNone && enc != teUtf16LE) return false;
  out = Utf16LEBytesToWide(bytes.substr(static_cast<size_t>(markLength)));
  return true;
}

bool ReadTextFileWide(const std::string& fileName, std::u16string& text) {
  text.clear();
  std::string bytes;
  // ReadFileToString refuses an empty file too, which is readable text all the same.
  if (!ReadFileToString(fileName, bytes)) return GetFileSize64(fileName) == 0;
  int markLength = 0;
  switch (DetectTextEncoding(bytes.data(), bytes.size(), markLength)) {
    case teNone:
      text = Cp1252ToUtf16(bytes);
      return true;
    case teUtf16LE:
      return BytesToWideText(bytes, text);
    default:
      return false;
  }
}
