// Arbitrary bytes as a record line: the comma-text reader must not crash or loop, whatever
// it reads must be written back as a line that reads to the same items, and a value read
// in place must be the parsed list's.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "basic/SLUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> items;
  ParseCommaText(text, items);
  TQStringList list;
  list.SetCommaText(text);
  if (list.Count() != static_cast<int>(items.size())) std::abort();
  for (size_t i = 0; i < items.size(); ++i)
    if (list[static_cast<int>(i)] != items[i]) std::abort();

  // Values read in place are those of the parsed list, for the keys the line holds.
  std::string value;
  for (size_t i = 0; i < items.size() && i < 8; ++i) {
    const size_t eq = items[i].find('=');
    if (eq == std::string::npos) continue;
    const std::string key = items[i].substr(0, eq);
    CommaTextValue(text, key, value);
    if (value != list.ValueOf(key)) std::abort();
  }

  const std::string written = BuildCommaText(items);
  if (written != list.GetCommaText()) std::abort();
  std::vector<std::string> back;
  ParseCommaText(written, back);
  if (back != items) std::abort();

  // The same bytes as a list of items, one per NUL-separated piece.
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == '\0' && pieces.size() < 16) pieces.emplace_back();
    else pieces.back() += c;
  }
  ParseCommaText(BuildCommaText(pieces), back);
  if (back != pieces) std::abort();
  return 0;
}
