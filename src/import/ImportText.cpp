#include "import/ImportText.h"

#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "platform/OsText.h"

namespace {

void AppendAs1252(std::string& out, char32_t u) {
  const int b = UnicodeToCp1252(u);
  out += b < 0 ? '?' : static_cast<char>(b);
}

bool IsValidUtf8(const std::string& bytes, size_t from) {
  const size_t n = bytes.size();
  size_t i = from;
  while (i < n) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t u;
    const size_t len = DecodeUtf8At(bytes, i, u);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string Utf8To1252(const std::string& bytes, size_t from) {
  std::string out;
  out.reserve(bytes.size() - from);
  const size_t n = bytes.size();
  size_t i = from;
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t u;
    const size_t len = DecodeUtf8At(bytes, i, u);
    if (len == 0) {  // only after a mark: a broken sequence is one unknown character
      out += '?';
      ++i;
      continue;
    }
    AppendAs1252(out, u);
    i += len;
  }
  return out;
}

std::string Utf16To1252(const std::string& bytes, size_t from, bool bigEndian) {
  std::string out;
  out.reserve((bytes.size() - from) / 2);
  const size_t n = bytes.size();
  auto unitAt = [&](size_t i) -> char32_t {
    const unsigned char a = static_cast<unsigned char>(bytes[i]);
    const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (char32_t(a) << 8 | b) : (char32_t(b) << 8 | a);
  };
  size_t i = from;
  while (i + 1 < n) {
    const char32_t u = unitAt(i);
    i += 2;
    if (u >= 0xD800 && u <= 0xDBFF) {
      // A pair stands for a character beyond 1252 in any case; an unpaired half too.
      if (i + 1 < n) {
        const char32_t low = unitAt(i);
        if (low >= 0xDC00 && low <= 0xDFFF) i += 2;
      }
      out += '?';
      continue;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
      out += '?';
      continue;
    }
    AppendAs1252(out, u);
  }
  if (i < n) out += '?';  // an odd last byte
  return out;
}

bool IsControl(unsigned char c) { return c < 32 && c != '\t' && c != '\r' && c != '\n'; }

}  // namespace

std::string DecodeImportBytes(const std::string& bytes) {
  const size_t n = bytes.size();
  auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (n >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return Utf8To1252(bytes, 3);
  if (n >= 2 && at(0) == 0xFF && at(1) == 0xFE) return Utf16To1252(bytes, 2, false);
  if (n >= 2 && at(0) == 0xFE && at(1) == 0xFF) return Utf16To1252(bytes, 2, true);
  if (IsValidUtf8(bytes, 0)) return Utf8To1252(bytes, 0);
  return bytes;
}

void ReplaceStrayControlChars(std::string& text, char replacement) {
  const char separator = text.find('\t') != std::string::npos ? '\t' : ';';
  const size_t n = text.size();
  std::string out;
  out.reserve(n);

  // Scanning state. `fieldStart` is true where a new field begins (after a separator or a
  // row end); `quotedFrom` is the position of the opening quote of the field being read
  // (npos outside quotes) and `quotedOut` the length of `out` there, so that a quote found
  // to be stray can be read again as plain text.
  bool fieldStart = true;
  size_t quotedFrom = std::string::npos;
  size_t quotedOut = 0;
  bool spansBreak = false;
  size_t strayQuote = std::string::npos;  // read this quote as a plain character

  auto isRowEndAt = [&](size_t k) { return k >= n || text[k] == '\r' || text[k] == '\n'; };
  auto backToStrayQuote = [&](size_t& i) {
    strayQuote = quotedFrom;
    i = quotedFrom;
    out.resize(quotedOut);
    quotedFrom = std::string::npos;
    spansBreak = false;
  };

  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (quotedFrom != std::string::npos) {
      if (c == '"') {
        if (i + 1 < n && text[i + 1] == '"') {  // a doubled quote is one quote of the text
          out += "\"\"";
          i += 2;
          continue;
        }
        const bool proper = isRowEndAt(i + 1) || text[i + 1] == separator;
        if (!proper && spansBreak) {
          backToStrayQuote(i);
          continue;
        }
        out += c;
        ++i;
        quotedFrom = std::string::npos;
        spansBreak = false;
        continue;
      }
      if (c == '\r' || c == '\n') {
        const char partner = c == '\r' ? '\n' : '\r';
        i += (i + 1 < n && text[i + 1] == partner) ? 2 : 1;
        out += replacement;
        spansBreak = true;
        continue;
      }
      out += IsControl(static_cast<unsigned char>(c)) ? replacement : c;
      ++i;
      continue;
    }

    if (c == '"' && fieldStart && i != strayQuote) {
      quotedFrom = i;
      quotedOut = out.size();
      spansBreak = false;
      fieldStart = false;
      out += c;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      out += c;
      fieldStart = true;
    } else if (c == separator) {
      out += c;
      fieldStart = true;
    } else {
      out += IsControl(static_cast<unsigned char>(c)) ? replacement : c;
      fieldStart = false;
    }
    ++i;
  }
  // The end of the text inside a quoted field: the field counts when it stayed on its row
  // (an unclosed quote on one row is the CSV reader's business), else its quote was stray.
  if (quotedFrom != std::string::npos && spansBreak) {
    backToStrayQuote(i);
    // Read the rest again with that quote as text; nothing after it can open a field that
    // spans a break and stays open to the end (its quotes pair up the same way).
    while (i < n) {
      const char c = text[i];
      if (c == '\r' || c == '\n' || c == separator) {
        out += c;
      } else {
        out += IsControl(static_cast<unsigned char>(c)) ? replacement : c;
      }
      ++i;
    }
  }
  text.swap(out);
}

std::vector<std::string> SplitImportRows(const std::string& text) {
  std::vector<std::string> rows;
  const size_t n = text.size();
  size_t start = 0;
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    rows.emplace_back(text, start, i - start);
    const char partner = c == '\r' ? '\n' : '\r';
    i += (i + 1 < n && text[i + 1] == partner) ? 2 : 1;
    start = i;
  }
  if (start < n) rows.emplace_back(text, start, n - start);
  return rows;
}

std::vector<std::string> ReadImportText(const std::string& bytes, char replacement) {
  std::string text = DecodeImportBytes(bytes);
  if (!text.empty() && text.back() == '\x1A') text.pop_back();
  ReplaceStrayControlChars(text, replacement);
  return SplitImportRows(text);
}

bool ReadImportTextFile(const std::string& fileName, std::vector<std::string>& rows,
                        char replacement) {
  rows.clear();
  std::string bytes;
  if (!ReadFileToString(fileName, bytes)) return GetFileSize64(fileName) == 0;
  rows = ReadImportText(bytes, replacement);
  return true;
}
