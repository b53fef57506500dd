// The import's text reader on arbitrary bytes: it must not crash or loop, no row may hold a
// line end or a control character other than TAB, and a row never holds more than the
// text it came from.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/ImportText.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char replacement = (data[0] & 1) ? ' ' : '\x0B';
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string text = DecodeImportBytes(bytes);
  const std::vector<std::string> rows = ReadImportText(bytes, replacement);
  size_t total = 0;
  for (const auto& row : rows) {
    total += row.size();
    for (unsigned char c : row) Check(c >= 32 || c == '\t' || c == static_cast<unsigned char>(replacement));
  }
  Check(total <= text.size());
  // Mending keeps the text's length apart from pairs of breaks inside quotes.
  std::string mended = text;
  ReplaceStrayControlChars(mended, replacement);
  Check(mended.size() <= text.size());
  Check(SplitImportRows(mended).size() == ReadImportText(bytes, replacement).size() ||
        (!text.empty() && text.back() == '\x1A'));
  return 0;
}
