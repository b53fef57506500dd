#pragma once
// Binary records (person photos, pad signatures) addressed by a 32-bit ID, each with two
// 32-bit tags. Two forms on disk:
//   pair:   base name + ".hbi" holds the index (exactly the 20-byte entries), base name +
//           ".hbd" the data area;
//   single: one file = 16-byte header {uint32 index length, uint32 data length, 8 zero
//           bytes}, the index, the data area. An empty file is an empty store.
// An index entry is {int32 ID (0 = free space), uint32 tag 1, uint32 tag 2, int32 offset,
// int32 size}, little-endian. The entries stand in the order of their data and never
// overlap; free entries mark gaps that later records reuse.
//
// Several workstations write one store (two stations signing in the same month share the
// month's pair). So every changing call (Put, Delete, Flush) takes the write reservation,
// reads the index again when another station replaced the files since, changes, writes
// and releases: the ID and the place a station hands out are never handed out twice.
// Index files and single files are replaced whole through a temporary file and rename, so
// a reader never sees half of one; new record bytes of the pair form go into space that
// the index on disk does not reference until the new index takes its place.
//
// An index read from disk is checked before anything trusts it: a damaged one leaves the
// store closed, and every call on a closed store returns false.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/AccessProtection.h"
#include "platform/PlatformFileAccess.h"

struct TBinDbEntry {
  std::int32_t id = 0;  // 0: free space
  std::uint32_t tag1 = 0;
  std::uint32_t tag2 = 0;
  std::int32_t offset = 0;  // in the data area
  std::int32_t size = 0;

  bool operator==(const TBinDbEntry&) const = default;
};

constexpr std::size_t kBinDbEntrySize = 20;
constexpr std::size_t kBinDbHeaderSize = 16;
// No record may start or end at or beyond this offset.
constexpr std::int64_t kBinDbOffsetLimit = 0x7FFFFFFF;

// TBinDatabase::State()
constexpr int bdbClosed = 0;
constexpr int bdbPair = 1;
constexpr int bdbSingle = 2;

// Decodes index bytes and checks them against the length of the data area: a whole number
// of entries, IDs not negative and each used ID once, offsets and sizes not negative, every
// entry inside the data and each one behind the end of the one before. On failure
// `entries` is empty and `error` (when given) says why.
bool DecodeBinDbIndex(const char* bytes, std::size_t size, std::int64_t dataLength,
                      std::vector<TBinDbEntry>& entries, std::string* error = nullptr);
std::string EncodeBinDbIndex(const std::vector<TBinDbEntry>& entries);

// Splits and checks the bytes of a single-file store (see DecodeBinDbIndex); an empty
// text is an empty store.
bool DecodeBinDbSingle(const std::string& bytes, std::vector<TBinDbEntry>& entries,
                       std::string& data, std::string* error = nullptr);
std::string EncodeBinDbSingle(const std::vector<TBinDbEntry>& entries, const std::string& data);

// Joins each run of free entries that lie back to back into one, from the end towards the
// front.
void MergeFreeBinDbEntries(std::vector<TBinDbEntry>& entries);

class TBinDatabase {
 public:
  // `reservation`: the write reservation every changing call holds; null means the
  // program's global one (AccessProtections().Default(), looked up at each call).
  explicit TBinDatabase(TAccessProtection* reservation = nullptr);
  // Closes (and so flushes).
  ~TBinDatabase();
  TBinDatabase(const TBinDatabase&) = delete;
  TBinDatabase& operator=(const TBinDatabase&) = delete;

  void SetReservation(TAccessProtection* reservation) { reservation_ = reservation; }

  // Extensions of the pair form's files, up to 7 characters each (".hbi" and ".hbd" until
  // set). False and no change for a longer one.
  bool SetIndexExt(const std::string& ext);
  bool SetDataExt(const std::string& ext);
  const std::string& IndexExt() const { return indexExt_; }
  const std::string& DataExt() const { return dataExt_; }
  // Kept for the callers that set it; files of this system carry no hidden attribute.
  bool Hidden = false;

  // Closes, then opens the pair base name + index extension / data extension, creating
  // the files and their folder when missing. With `dataInMemory` the data area is read
  // whole and written whole. False (and closed) when a file cannot be opened or read or
  // the index is damaged.
  bool OpenPair(const std::string& baseName, bool dataInMemory);
  // Closes, then opens the single file (created with its folder when missing) and reads it
  // whole. False (and closed) on a read error or a damaged header or index.
  bool OpenSingle(const std::string& fileName);

  // Stores `size` bytes under `id`; an ID below 1 takes MaxID() + 1 and is set to it.
  // Size 0 (or below) or no bytes deletes the ID (the result is Delete's). The bytes are
  // written before the call returns. False when closed, when the reservation cannot be had,
  // when no place fits below kBinDbOffsetLimit, or when writing fails; then `id` keeps its
  // value and the store is as on disk.
  bool Put(std::int32_t& id, std::uint32_t tag1, std::int32_t size, const void* bytes,
           std::uint32_t tag2 = 0);
  bool Put(std::int32_t& id, std::uint32_t tag1, const std::string& bytes,
           std::uint32_t tag2 = 0);
  // The record's bytes. False and empty bytes when closed, for an ID below 1, an unknown
  // ID, or bytes cut short.
  bool Get(std::int32_t id, std::string& bytes);
  // Marks the ID's entry free. True for IDs below 1; false when unknown or closed, when the
  // reservation cannot be had or writing fails.
  bool Delete(std::int32_t id);
  // Writes what is not written yet (only an empty single file's header can wait here: every
  // change is written at once). A failed flush keeps it for the next one.
  bool Flush();
  // Flushes and closes; true when nothing was left unwritten.
  bool Close();

  int State() const { return state_; }
  std::int32_t MaxID() const { return maxId_; }
  bool InMemory() const { return inMemory_; }
  bool DataLoaded() const { return dataLoaded_; }
  bool IndexModified() const { return indexModified_; }
  bool DataModified() const { return dataModified_; }
  const std::string& BaseName() const { return baseName_; }
  const std::vector<TBinDbEntry>& Entries() const { return entries_; }
  // The entry of a used ID, null when there is none.
  const TBinDbEntry* Find(std::int32_t id) const;
  // Why the last open, reload or write failed (for the log; empty after success).
  const std::string& LastError() const { return error_; }

 private:
  TAccessProtection& Reservation() const;
  std::string IndexPath() const { return baseName_ + indexExt_; }
  std::string DataPath() const { return baseName_ + dataExt_; }
  // Reads the files into the store; on failure the store is left closed.
  bool Load();
  bool ChangedOnDisk() const;
  bool ReloadIfChanged();
  // Writes what changed; the caller holds the reservation.
  bool WriteChanges();
  bool WriteData(std::int32_t offset, const char* bytes, std::int32_t size);
  // Runs one change under the reservation: `change` returns false to refuse. After a
  // refused or unwritten change the store is read again, so memory matches the disk.
  template <class TChange>
  bool Change(TChange&& change);
  void Clear();

  TAccessProtection* reservation_;
  std::string indexExt_ = ".hbi";
  std::string dataExt_ = ".hbd";
  std::string baseName_;  // pair: base name; single: the file
  int state_ = bdbClosed;
  std::vector<TBinDbEntry> entries_;
  std::string data_;
  TPfFileStamp indexStamp_;  // single: the file
  TPfFileStamp dataStamp_;
  bool inMemory_ = false;
  bool dataLoaded_ = false;
  bool indexModified_ = false;
  bool dataModified_ = false;
  std::int32_t maxId_ = 0;
  std::string error_;
};

// Photo scrambling: each byte is xor-ed with one byte of key A (running forwards) and one
// of key B (running backwards), both starting where `startPosition` stands in them. The
// same call unscrambles. Uses the program's two keys (20 and 6 bytes).
void ScrambleBytes(char* buffer, std::size_t length, std::int64_t startPosition);
// The same with given keys; an empty key leaves its part out.
void ScrambleBytesWith(char* buffer, std::size_t length, std::int64_t startPosition,
                       const std::string& keyA, const std::string& keyB);
