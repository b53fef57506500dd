// Arbitrary bytes as a year file of the history, read as the history view reads it: in
// small blocks, lines found, parsed into rows, paired and turned into cell texts. Nothing
// may crash; every row is a whole line of the file that names a key; every pair points at
// a row handed over before it names it.
// fuzz-seconds: 10

#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "data/HistoryTableUnit.h"
#include "platform/PlatformFiles.h"

namespace {

std::string FileName() {
  static const std::string name = [] {
    char tmpl[] = "/tmp/fuzz_history-XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    return std::string(tmpl);
  }();
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string file = FileName();
  {
    int fd = -1;
    PfUnlink(file);
    if (PfCreateNew(file, 0600, fd) != 0) return 0;
    PfWriteAll(fd, bytes.data(), bytes.size());
    PfClose(fd);
  }
  THistoryRowLoader loader({{2024, file}}, 4, 0, {(size & 1) != 0, size % 3 == 0 ? "7" : ""});
  loader.SetBlockSize(4096);
  std::atomic<bool> cancel{false};
  std::vector<THistoryRow> rows;
  std::vector<std::shared_ptr<THistoryLineStore>> stores;
  loader.Run(cancel, [&](THistoryRowBatch&& batch) {
    if (batch.store) stores.push_back(batch.store);
    for (THistoryRow& row : batch.rows) rows.push_back(row);
    for (auto [row, other] : batch.pairs) {
      if (row < 0 || other < 0 || static_cast<size_t>(row) >= rows.size() ||
          static_cast<size_t>(other) >= rows.size())
        std::abort();
      rows[static_cast<size_t>(row)].pair = other;
    }
  });
  for (const THistoryRow& row : rows) {
    if (row.line.find('\n') != std::string_view::npos) std::abort();
    if (row.line.find("=c=4;") == std::string_view::npos) std::abort();
    const std::string line(row.line);
    if (bytes.find(line + "\n") == std::string::npos && bytes.find(line + "\r\n") == std::string::npos)
      std::abort();
    const THistoryRow* paired = row.pair >= 0 ? &rows[static_cast<size_t>(row.pair)] : nullptr;
    HistoryRowTexts(row, paired, nullptr);
    HistoryRowUtc(row);
    HistoryRowItems(row);
  }
  return 0;
}
