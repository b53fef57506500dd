#include "data/BinDatabase.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/PlatformFiles.h"

namespace {

constexpr unsigned kOwnerWrite = 0200;

std::uint32_t GetU32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
         (std::uint32_t{b[3]} << 24);
}

std::int32_t GetI32(const char* p) { return static_cast<std::int32_t>(GetU32(p)); }

void PutU32(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>((v >> 16) & 0xFF);
  out += static_cast<char>((v >> 24) & 0xFF);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash + 1);
}

std::string ErrText(const std::string& what, const std::string& path, int e) {
  return what + " " + path + " (errno " + std::to_string(e) + ")";
}

// Reads `size` bytes from the start of an open file.
int ReadWhole(int fd, std::int64_t size, std::string& out) {
  out.assign(static_cast<std::size_t>(size), '\0');
  return size == 0 ? 0 : PfReadAt(fd, 0, out.data(), out.size());
}

// The file's bytes and the stamp of exactly the version read. `limit`: larger files are
// refused before anything is allocated for them.
bool ReadFile(const std::string& path, std::int64_t limit, std::string& out, TPfFileStamp& stamp,
              std::string& error) {
  int fd = -1;
  int e = PfOpenRead(path, fd);
  if (e == 0) e = PfFdStamp(fd, stamp);
  if (e == 0 && stamp.size > limit) {
    PfClose(fd);
    error = "file too large: " + path;
    return false;
  }
  if (e == 0) e = ReadWhole(fd, stamp.size, out);
  PfClose(fd);
  if (e != 0) error = ErrText("cannot read", path, e);
  return e == 0;
}

// Replaces the file whole: a temporary file beside it is written and synced and then takes
// its place by rename, so the file exists at every moment and is never half written.
bool ReplaceWhole(const std::string& path, const std::string& bytes, std::string& error) {
  const std::string folder = FolderOf(path);
  std::string temp;
  int fd = -1;
  int e = PfCreateUnique(folder, "~", ".tmp", temp, fd);
  if (e != 0) {
    error = ErrText("cannot create a temporary file in", folder, e);
    return false;
  }
  e = PfWriteAll(fd, bytes.data(), bytes.size());
  TPfInfo info;
  if (e == 0 && PfStat(path, info) == 0 && info.kind == TPfKind::File) {
    PfFchmod(fd, info.mode | kOwnerWrite);  // the new file keeps the old one's permissions
  }
  if (e == 0) e = PfFsync(fd);
  const int closed = PfClose(fd);
  if (e == 0) e = closed;
  if (e == 0) e = PfRename(temp, path);
  if (e != 0) {
    PfUnlink(temp);
    error = ErrText("cannot write", path, e);
    return false;
  }
  PfFsyncFolder(folder.empty() ? std::string(".") : folder);
  return true;
}

bool ReadPair(const std::string& indexPath, const std::string& dataPath, bool dataInMemory,
              std::vector<TBinDbEntry>& entries, std::string& data, TPfFileStamp& indexStamp,
              TPfFileStamp& dataStamp, std::string& error) {
  // The index first: a station writes its record bytes before it puts the index that
  // references them in place, so data read after the index holds everything it names.
  std::string index;
  if (!ReadFile(indexPath, kBinDbOffsetLimit, index, indexStamp, error)) return false;
  data.clear();
  if (dataInMemory) {
    if (!ReadFile(dataPath, kBinDbOffsetLimit, data, dataStamp, error)) return false;
  } else {
    int fd = -1;
    int e = PfOpenRead(dataPath, fd);
    if (e == 0) e = PfFdStamp(fd, dataStamp);
    PfClose(fd);
    if (e != 0) {
      error = ErrText("cannot open", dataPath, e);
      return false;
    }
  }
  if (!DecodeBinDbIndex(index.data(), index.size(), dataStamp.size, entries, &error)) {
    error = indexPath + ": " + error;
    return false;
  }
  return true;
}

bool ReadSingle(const std::string& path, std::vector<TBinDbEntry>& entries, std::string& data,
                TPfFileStamp& stamp, std::string& error) {
  int fd = -1;
  int e = PfOpenRead(path, fd);
  if (e == 0) e = PfFdStamp(fd, stamp);
  std::string bytes;
  if (e == 0 && stamp.size >= static_cast<std::int64_t>(kBinDbHeaderSize)) {
    // The header must announce exactly the file's length before the rest is read.
    char header[kBinDbHeaderSize];
    e = PfReadAt(fd, 0, header, sizeof header);
    if (e == 0) {
      const std::int64_t expected = std::int64_t{kBinDbHeaderSize} + GetU32(header) +
                                    GetU32(header + 4);
      if (expected != stamp.size) {
        PfClose(fd);
        error = path + ": data length does not match the header";
        return false;
      }
    }
  }
  if (e == 0) e = ReadWhole(fd, stamp.size, bytes);
  PfClose(fd);
  if (e != 0) {
    error = ErrText("cannot read", path, e);
    return false;
  }
  if (!DecodeBinDbSingle(bytes, entries, data, &error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

// The program's photo keys, built at run time rather than kept as text in the program.
struct TPhotoKeys {
  std::string a, b;
};

const TPhotoKeys& PhotoKeys() {
  static const TPhotoKeys keys = [] {
    TPhotoKeys k{std::string(20, '\0'), std::string(6, '\0')};
    std::uint32_t x = 0x7E55A20u;
    auto next = [&x] {
      x = x * 1103515245u + 12345u;
      return static_cast<char>((x >> 16) & 0xFF);
    };
    for (char& c : k.a) c = next();
    for (char& c : k.b) c = next();
    return k;
  }();
  return keys;
}

}  // namespace

// ---- Index bytes ----

bool DecodeBinDbIndex(const char* bytes, std::size_t size, std::int64_t dataLength,
                      std::vector<TBinDbEntry>& entries, std::string* error) {
  entries.clear();
  auto fail = [&](const std::string& why) {
    entries.clear();
    if (error) *error = why;
    return false;
  };
  if (size % kBinDbEntrySize != 0) return fail("index length is not a multiple of 20");
  entries.reserve(size / kBinDbEntrySize);
  std::vector<std::int32_t> ids;
  std::int64_t previousEnd = 0;
  for (std::size_t pos = 0; pos < size; pos += kBinDbEntrySize) {
    const char* p = bytes + pos;
    TBinDbEntry e;
    e.id = GetI32(p);
    e.tag1 = GetU32(p + 4);
    e.tag2 = GetU32(p + 8);
    e.offset = GetI32(p + 12);
    e.size = GetI32(p + 16);
    const std::string where = "index entry " + std::to_string(pos / kBinDbEntrySize + 1);
    if (e.id < 0) return fail(where + ": negative ID");
    if (e.offset < 0 || e.size < 0) return fail(where + ": negative offset or size");
    const std::int64_t end = std::int64_t{e.offset} + e.size;
    if (end > dataLength || end > kBinDbOffsetLimit) return fail(where + ": beyond the data");
    if (e.offset < previousEnd) return fail(where + ": overlaps the entry before");
    previousEnd = end;
    if (e.id != 0) ids.push_back(e.id);
    entries.push_back(e);
  }
  std::sort(ids.begin(), ids.end());
  if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) return fail("ID used twice");
  return true;
}

std::string EncodeBinDbIndex(const std::vector<TBinDbEntry>& entries) {
  std::string out;
  out.reserve(entries.size() * kBinDbEntrySize);
  for (const TBinDbEntry& e : entries) {
    PutU32(out, static_cast<std::uint32_t>(e.id));
    PutU32(out, e.tag1);
    PutU32(out, e.tag2);
    PutU32(out, static_cast<std::uint32_t>(e.offset));
    PutU32(out, static_cast<std::uint32_t>(e.size));
  }
  return out;
}

bool DecodeBinDbSingle(const std::string& bytes, std::vector<TBinDbEntry>& entries,
                       std::string& data, std::string* error) {
  entries.clear();
  data.clear();
  if (bytes.empty()) return true;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (bytes.size() < kBinDbHeaderSize) return fail("header cut short");
  const std::uint32_t indexLength = GetU32(bytes.data());
  const std::uint32_t dataLength = GetU32(bytes.data() + 4);
  if (std::uint64_t{kBinDbHeaderSize} + indexLength + dataLength != bytes.size()) {
    return fail("data length does not match the header");
  }
  if (!DecodeBinDbIndex(bytes.data() + kBinDbHeaderSize, indexLength, dataLength, entries,
                        error)) {
    return false;
  }
  data.assign(bytes, kBinDbHeaderSize + indexLength, dataLength);
  return true;
}

std::string EncodeBinDbSingle(const std::vector<TBinDbEntry>& entries, const std::string& data) {
  std::string out;
  out.reserve(kBinDbHeaderSize + entries.size() * kBinDbEntrySize + data.size());
  PutU32(out, static_cast<std::uint32_t>(entries.size() * kBinDbEntrySize));
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  out.append(8, '\0');
  out += EncodeBinDbIndex(entries);
  out += data;
  return out;
}

void MergeFreeBinDbEntries(std::vector<TBinDbEntry>& entries) {
  // One pass that gives what absorbing each free entry into the free one before it, from
  // the end towards the front, gives: a run of free entries back to back becomes its first.
  std::vector<TBinDbEntry> merged;
  merged.reserve(entries.size());
  for (const TBinDbEntry& e : entries) {
    if (!merged.empty()) {
      TBinDbEntry& last = merged.back();
      if (last.id == 0 && e.id == 0 && std::int64_t{last.offset} + last.size == e.offset &&
          std::int64_t{last.size} + e.size <= INT32_MAX) {
        last.size += e.size;
        continue;
      }
    }
    merged.push_back(e);
  }
  entries = std::move(merged);
}

// ---- TBinDatabase ----

TBinDatabase::TBinDatabase(TAccessProtection* reservation) : reservation_(reservation) {}

TBinDatabase::~TBinDatabase() { Close(); }

TAccessProtection& TBinDatabase::Reservation() const {
  return reservation_ ? *reservation_ : AccessProtections().Default();
}

bool TBinDatabase::SetIndexExt(const std::string& ext) {
  if (ext.size() > 7) return false;
  indexExt_ = ext;
  return true;
}

bool TBinDatabase::SetDataExt(const std::string& ext) {
  if (ext.size() > 7) return false;
  dataExt_ = ext;
  return true;
}

void TBinDatabase::Clear() {
  state_ = bdbClosed;
  entries_.clear();
  data_.clear();
  data_.shrink_to_fit();
  indexStamp_ = dataStamp_ = TPfFileStamp{};
  inMemory_ = dataLoaded_ = indexModified_ = dataModified_ = false;
  maxId_ = 0;
}

bool TBinDatabase::OpenPair(const std::string& baseName, bool dataInMemory) {
  Close();
  error_.clear();
  baseName_ = baseName;
  if (baseName.empty()) {
    error_ = "no file name";
    return false;
  }
  if (int e = PfMakeFolders(FolderOf(baseName))) {
    error_ = ErrText("cannot create the folder of", baseName, e);
    return false;
  }
  for (const std::string& path : {IndexPath(), DataPath()}) {
    int fd = -1;
    const int e = PfOpenReadWrite(path, true, fd);
    PfClose(fd);
    if (e != 0) {
      error_ = ErrText("cannot open", path, e);
      return false;
    }
  }
  state_ = bdbPair;
  inMemory_ = dataInMemory;
  return Load();
}

bool TBinDatabase::OpenSingle(const std::string& fileName) {
  Close();
  error_.clear();
  baseName_ = fileName;
  if (fileName.empty()) {
    error_ = "no file name";
    return false;
  }
  if (int e = PfMakeFolders(FolderOf(fileName))) {
    error_ = ErrText("cannot create the folder of", fileName, e);
    return false;
  }
  int fd = -1;
  const int e = PfOpenReadWrite(fileName, true, fd);
  PfClose(fd);
  if (e != 0) {
    error_ = ErrText("cannot open", fileName, e);
    return false;
  }
  state_ = bdbSingle;
  inMemory_ = true;
  return Load();
}

bool TBinDatabase::Load() {
  std::vector<TBinDbEntry> entries;
  std::string data;
  TPfFileStamp indexStamp, dataStamp;
  std::string error;
  const bool ok = state_ == bdbPair
                      ? ReadPair(IndexPath(), DataPath(), inMemory_, entries, data, indexStamp,
                                 dataStamp, error)
                      : state_ == bdbSingle &&
                            ReadSingle(baseName_, entries, data, indexStamp, error);
  if (!ok) {
    error_ = error.empty() ? "store closed" : error;
    Clear();
    return false;
  }
  MergeFreeBinDbEntries(entries);
  entries_ = std::move(entries);
  data_ = std::move(data);
  indexStamp_ = indexStamp;
  dataStamp_ = dataStamp;
  dataLoaded_ = inMemory_;
  dataModified_ = false;
  // An empty single file gets its header at the first flush.
  indexModified_ = state_ == bdbSingle && indexStamp.size == 0;
  maxId_ = 0;
  for (const TBinDbEntry& e : entries_) maxId_ = std::max(maxId_, e.id);
  return true;
}

bool TBinDatabase::ChangedOnDisk() const {
  TPfFileStamp stamp;
  if (PfFileStamp(state_ == bdbPair ? IndexPath() : baseName_, stamp) != 0 ||
      stamp != indexStamp_) {
    return true;
  }
  if (state_ != bdbPair) return false;
  return PfFileStamp(DataPath(), stamp) != 0 || stamp != dataStamp_;
}

bool TBinDatabase::ReloadIfChanged() {
  if (state_ == bdbClosed) return false;
  return !ChangedOnDisk() || Load();
}

bool TBinDatabase::WriteData(std::int32_t offset, const char* bytes, std::int32_t size) {
  if (inMemory_) {
    const std::size_t end = static_cast<std::size_t>(offset) + static_cast<std::size_t>(size);
    if (data_.size() < end) data_.resize(end, '\0');
    std::copy(bytes, bytes + size, data_.begin() + offset);
    dataModified_ = true;
    return true;
  }
  int fd = -1;
  int e = PfOpenReadWrite(DataPath(), false, fd);
  if (e == 0) e = PfWriteAt(fd, offset, bytes, static_cast<std::size_t>(size));
  // On disk before the index that references them.
  if (e == 0) e = PfFsync(fd);
  const int closed = PfClose(fd);
  if (e == 0) e = closed;
  if (e != 0) error_ = ErrText("cannot write", DataPath(), e);
  return e == 0;
}

bool TBinDatabase::WriteChanges() {
  if (state_ == bdbSingle) {
    if (indexModified_ || dataModified_) {
      if (data_.size() > static_cast<std::size_t>(kBinDbOffsetLimit) ||
          entries_.size() > static_cast<std::size_t>(kBinDbOffsetLimit) / kBinDbEntrySize) {
        error_ = baseName_ + ": store too large";
        return false;
      }
      if (!ReplaceWhole(baseName_, EncodeBinDbSingle(entries_, data_), error_)) return false;
      indexModified_ = dataModified_ = false;
    }
  } else if (state_ == bdbPair) {
    // Data before index: the index on disk never names bytes that are not there yet.
    if (inMemory_ && dataModified_) {
      if (!ReplaceWhole(DataPath(), data_, error_)) return false;
      dataModified_ = false;
    }
    if (indexModified_) {
      if (!ReplaceWhole(IndexPath(), EncodeBinDbIndex(entries_), error_)) return false;
      indexModified_ = false;
    }
  } else {
    return false;
  }
  // Our own writes are no change by somebody else; we still hold the reservation.
  PfFileStamp(state_ == bdbPair ? IndexPath() : baseName_, indexStamp_);
  if (state_ == bdbPair) PfFileStamp(DataPath(), dataStamp_);
  return true;
}

template <class TChange>
bool TBinDatabase::Change(TChange&& change) {
  if (state_ == bdbClosed) return false;
  TReservation reservation(Reservation());
  if (!reservation.Held()) {
    error_ = "write reservation not available";
    return false;
  }
  // Another station may have written since we read: its records and IDs must be seen
  // before we choose ours.
  if (!ReloadIfChanged()) return false;
  error_.clear();
  if (change() && WriteChanges()) return true;
  // Forget what did not reach the disk (and what a refused change had begun), so that
  // memory shows what the files hold.
  if (indexModified_ || dataModified_ || ChangedOnDisk()) {
    const std::string why = error_;
    if (Load()) error_ = why;
  }
  return false;
}

const TBinDbEntry* TBinDatabase::Find(std::int32_t id) const {
  if (id < 1) return nullptr;
  for (const TBinDbEntry& e : entries_) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

bool TBinDatabase::Put(std::int32_t& id, std::uint32_t tag1, std::int32_t size,
                       const void* bytes, std::uint32_t tag2) {
  if (state_ == bdbClosed) return false;
  if (size <= 0 || bytes == nullptr) return Delete(id);
  const char* src = static_cast<const char*>(bytes);
  std::int32_t newId = id;
  const bool ok = Change([&] {
    newId = id;
    if (newId < 1) {
      if (maxId_ >= INT32_MAX) {
        error_ = "no ID left";
        return false;
      }
      newId = maxId_ + 1;
    }
    auto old = std::find_if(entries_.begin(), entries_.end(),
                            [newId](const TBinDbEntry& e) { return e.id == newId; });
    // The index is written even when only bytes change, so other stations see a new
    // index file and never keep stale data of a record rewritten in place.
    indexModified_ = true;
    if (old != entries_.end()) {
      if (old->size == size) {
        old->tag1 = tag1;
        old->tag2 = tag2;
        return WriteData(old->offset, src, size);
      }
      *old = TBinDbEntry{0, 0, 0, old->offset, old->size};
    }
    std::ptrdiff_t exact = -1, larger = -1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const TBinDbEntry& e = entries_[i];
      if (e.id != 0) continue;
      if (e.size == size && exact < 0) exact = static_cast<std::ptrdiff_t>(i);
      if (e.size > size) larger = static_cast<std::ptrdiff_t>(i);
    }
    TBinDbEntry record{newId, tag1, tag2, 0, size};
    if (exact >= 0) {
      record.offset = entries_[exact].offset;
      entries_[exact] = record;
    } else if (larger >= 0) {
      const TBinDbEntry gap = entries_[larger];
      record.offset = gap.offset;
      entries_[larger] = record;
      entries_.insert(entries_.begin() + larger + 1,
                      TBinDbEntry{0, 0, 0, gap.offset + size, gap.size - size});
    } else {
      const std::int64_t offset =
          entries_.empty() ? 0 : std::int64_t{entries_.back().offset} + entries_.back().size;
      if (offset >= kBinDbOffsetLimit || offset + size >= kBinDbOffsetLimit) {
        error_ = "store full";
        return false;
      }
      record.offset = static_cast<std::int32_t>(offset);
      entries_.push_back(record);
    }
    if (!WriteData(record.offset, src, size)) return false;
    maxId_ = std::max(maxId_, newId);
    return true;
  });
  if (ok) id = newId;
  return ok;
}

bool TBinDatabase::Put(std::int32_t& id, std::uint32_t tag1, const std::string& bytes,
                       std::uint32_t tag2) {
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  return Put(id, tag1, static_cast<std::int32_t>(bytes.size()), bytes.data(), tag2);
}

bool TBinDatabase::Get(std::int32_t id, std::string& bytes) {
  bytes.clear();
  if (state_ == bdbClosed || id < 1) return false;
  // Records another station stored since we read are found too.
  if (!ReloadIfChanged()) return false;
  const TBinDbEntry* e = Find(id);
  if (!e) return false;
  if (inMemory_) {
    if (std::int64_t{e->offset} + e->size > static_cast<std::int64_t>(data_.size())) return false;
    bytes.assign(data_, static_cast<std::size_t>(e->offset), static_cast<std::size_t>(e->size));
    return true;
  }
  int fd = -1;
  int err = PfOpenRead(DataPath(), fd);
  if (err == 0) {
    bytes.assign(static_cast<std::size_t>(e->size), '\0');
    err = PfReadAt(fd, e->offset, bytes.data(), bytes.size());
  }
  PfClose(fd);
  if (err != 0) {
    bytes.clear();
    error_ = ErrText("cannot read", DataPath(), err);
    return false;
  }
  return true;
}

bool TBinDatabase::Delete(std::int32_t id) {
  if (state_ == bdbClosed) return false;
  if (id < 1) return true;
  return Change([&] {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [id](const TBinDbEntry& e) { return e.id == id; });
    if (it == entries_.end()) {
      error_ = "unknown ID " + std::to_string(id);
      return false;
    }
    *it = TBinDbEntry{0, 0, 0, it->offset, it->size};
    indexModified_ = true;
    return true;
  });
}

bool TBinDatabase::Flush() {
  if (state_ == bdbClosed) return false;
  if (!indexModified_ && !dataModified_) return true;
  TReservation reservation(Reservation());
  if (!reservation.Held()) {
    error_ = "write reservation not available";
    return false;
  }
  // What we held back was read from files that another station has replaced since; its
  // version is the one that counts.
  if (ChangedOnDisk()) return Load();
  return WriteChanges();
}

bool TBinDatabase::Close() {
  if (state_ == bdbClosed) return true;
  const bool ok = Flush();
  Clear();
  return ok;
}

// ---- Photo scrambling ----

void ScrambleBytesWith(char* buffer, std::size_t length, std::int64_t startPosition,
                       const std::string& keyA, const std::string& keyB) {
  if (buffer == nullptr || length == 0) return;
  const std::int64_t lenA = static_cast<std::int64_t>(keyA.size());
  const std::int64_t lenB = static_cast<std::int64_t>(keyB.size());
  // Positions before the stream's start count backwards like any other.
  std::int64_t i = lenA > 0 ? ((startPosition % lenA) + lenA) % lenA : 0;
  std::int64_t j = lenB > 0 ? ((startPosition % lenB) + lenB) % lenB : 0;
  for (std::size_t k = 0; k < length; ++k) {
    unsigned char mask = 0;
    if (lenA > 0) mask ^= static_cast<unsigned char>(keyA[static_cast<std::size_t>(i)]);
    if (lenB > 0) mask ^= static_cast<unsigned char>(keyB[static_cast<std::size_t>(j)]);
    buffer[k] = static_cast<char>(static_cast<unsigned char>(buffer[k]) ^ mask);
    if (lenA > 0 && ++i >= lenA) i = 0;
    if (lenB > 0 && --j < 0) j = lenB - 1;
  }
}

void ScrambleBytes(char* buffer, std::size_t length, std::int64_t startPosition) {
  const TPhotoKeys& keys = PhotoKeys();
  ScrambleBytesWith(buffer, length, startPosition, keys.a, keys.b);
}
