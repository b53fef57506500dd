// KWD files on arbitrary lines: the separator rule, the record parsing, field access by
// number and the locking-position lookups must not crash or loop; a record never holds
// more field text than its line, and a field outside a record is always empty.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/ImportKwdUnit.h"
#include "import/ImportText.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = ReadImportText(bytes);
  char separator = KwdSeparator(lines);
  if (separator == 0) separator = ';';
  std::vector<KwdRecord> records = ParseKwdRecords(lines, separator);
  for (const KwdRecord& r : records) {
    const std::string& line = lines[static_cast<size_t>(r.line)];
    size_t total = 0;
    for (int i = 1; i < kKwdFieldCount; ++i) total += r.fields[static_cast<size_t>(i)].size();
    Check(total <= line.size());
    Check(r.base == KwdFieldBase(r.letter));
    Check(KwdFieldRef(r, r.base - 1).empty());
    Check(KwdFieldRef(r, r.base + kKwdFieldCount).empty());
    Check(KwdFieldRef(r, r.base) == std::string(1, r.letter));
  }
  const TKwdPlan plan(std::move(records));
  for (const KwdRecord& r : plan.Records()) {
    for (int p : {1, 2, 3, 5, 17}) {
      const KwdPosition pos = plan.Position(r.fields[static_cast<size_t>(p)]);
      Check(!pos.known || !r.fields[static_cast<size_t>(p)].empty());
      if (pos.known && pos.kind == "I") plan.MPositionOf(r.fields[static_cast<size_t>(p)]);
    }
    plan.KwdItemsOf(r.fields[1]);
  }
  plan.AmbiguousPositions();
  return 0;
}
