// The binary store's index reader on arbitrary bytes, as an index file of the pair form and
// as a whole single file: what is accepted must keep its promises (entries in order, inside
// the data, written back the same), and a store opened on it must read and write safely.
// fuzz-seconds: 10

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "data/BinDatabase.h"
#include "platform/PlatformFiles.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

struct TScratch {
  std::string folder;
  TAccessProtectionRegistry registry;  // no lock file: the reservation is always granted
  TScratch() {
    folder = PfTempFolder() + "/fuzz_binindex." + std::to_string(::getpid()) + "/";
    Check(PfMakeFolders(folder) == 0);
  }
  ~TScratch() { PfRemoveTree(folder); }
};

TScratch& Scratch() {
  static TScratch scratch;
  return scratch;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  PfUnlink(path);
  int fd = -1;
  Check(PfCreateNew(path, 0600, fd) == 0);
  Check(PfWriteAll(fd, bytes.data(), bytes.size()) == 0);
  PfClose(fd);
}

void CheckEntries(const std::vector<TBinDbEntry>& entries, std::int64_t dataLength) {
  std::int64_t end = 0;
  std::vector<std::int32_t> ids;
  for (const TBinDbEntry& e : entries) {
    Check(e.id >= 0 && e.offset >= end && e.size >= 0);
    end = std::int64_t{e.offset} + e.size;
    Check(end <= dataLength && end <= kBinDbOffsetLimit);
    if (e.id != 0) ids.push_back(e.id);
  }
  std::sort(ids.begin(), ids.end());
  Check(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
}

// Every record of an opened store reads back whole; one more record can be stored and read
// (only now and then: every write is synced to disk, which is slow).
void Exercise(TBinDatabase& db, bool write) {
  const std::vector<TBinDbEntry> entries = db.Entries();
  for (const TBinDbEntry& e : entries) {
    if (e.id == 0) continue;
    std::string bytes;
    Check(db.Get(e.id, bytes));
    Check(bytes.size() == static_cast<std::size_t>(e.size));
  }
  std::int32_t id = 0;
  const std::string record = "fuzz record";
  if (write && db.MaxID() < INT32_MAX && db.Put(id, 1, record, 2)) {
    std::string bytes;
    Check(db.Get(id, bytes) && bytes == record);
  }
  db.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::int64_t dataLength = (data[0] & 0x80) ? 0x7FFFFFFF : data[0];

  std::vector<TBinDbEntry> entries;
  if (DecodeBinDbIndex(bytes.data(), bytes.size(), dataLength, entries)) {
    CheckEntries(entries, dataLength);
    Check(EncodeBinDbIndex(entries) == bytes);
    MergeFreeBinDbEntries(entries);
    CheckEntries(entries, dataLength);
  } else {
    Check(entries.empty());
  }

  std::string area;
  if (DecodeBinDbSingle(bytes, entries, area)) {
    CheckEntries(entries, static_cast<std::int64_t>(area.size()));
    if (bytes.empty()) {
      Check(entries.empty() && area.empty());
    } else if (bytes.compare(8, 8, std::string(8, '\0')) == 0) {
      Check(EncodeBinDbSingle(entries, area) == bytes);
    }
  }

  TScratch& scratch = Scratch();
  const bool write = size > 1 && data[size - 1] == 0x5A;
  if (data[0] & 1) {
    const std::string file = scratch.folder + "Persons.bdb";
    WriteFile(file, bytes);
    TBinDatabase db(&scratch.registry.Default());
    if (db.OpenSingle(file)) {
      CheckEntries(db.Entries(), kBinDbOffsetLimit);
      Exercise(db, write);
    }
  } else {
    const std::string base = scratch.folder + "Sig200805";
    WriteFile(base + ".hbi", bytes);
    WriteFile(base + ".hbd", std::string(static_cast<std::size_t>(data[0] >> 1), 'd'));
    TBinDatabase db(&scratch.registry.Default());
    if (db.OpenPair(base, (data[0] & 2) != 0)) {
      CheckEntries(db.Entries(), data[0] >> 1);
      Exercise(db, write);
    }
  }
  return 0;
}
