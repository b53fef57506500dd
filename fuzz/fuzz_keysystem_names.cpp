// Arbitrary locking-system names (one per input line, at most 40): every set of names that
// the name check accepts must give a "KeysystemNames" line that the store never reads as a
// record line, and that reads back to the same names.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto& names = Vocabulary().keySystemNames;
  for (auto& n : names) n.clear();
  size_t start = 0;
  bool acceptable = true;
  for (int code = ksFirstNamed; code <= ksLastNamed && start <= text.size(); ++code) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string name = CleanKeySystemName(text.substr(start, end - start));
    acceptable = acceptable && KeySystemNameAcceptable(name);
    names[static_cast<size_t>(code)] = name;
    start = end + 1;
  }
  if (!acceptable) return 0;

  const std::string value = KeySystemNamesText();
  std::vector<std::string> scratch;
  TLineInfo info;
  ScanRecordLine(std::string(kKeySystemNamesHeader) + "=" + value, scratch, info);
  if (info.id >= 1) std::abort();

  std::vector<std::string> back;
  if (value != "-") ParseCommaText(value, back);
  int last = 0;
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code)
    if (!names[static_cast<size_t>(code)].empty()) last = code;
  if (back.size() != static_cast<size_t>(last)) std::abort();
  for (int code = 1; code <= last; ++code)
    if (back[static_cast<size_t>(code - 1)] != names[static_cast<size_t>(code)]) std::abort();
  return 0;
}
