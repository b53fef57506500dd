#include "data/HistoryScanUnit.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "data/HistoryUnit.h"
#include "platform/LargeMemory.h"
#include "platform/PlatformFiles.h"

std::vector<THistoryYearFile> HistoryScanFiles(const THistory& history) {
  std::vector<THistoryYearFile> files;
  for (int year : history.Years()) files.push_back({year, history.FileNameOf(year)});
  return files;
}

namespace {

std::string ObjectHead(int cls, int32_t id) {
  std::string head = "c=" + std::to_string(cls) + ";";
  if (id != 0) head += "i=" + std::to_string(id) + ";";
  return head;
}

// Hands each item of a comma text, cut as ParseCommaText cuts it, to `take` until it says
// true; only a quoted item with doubled quotes is put together in `joined`. Every line of a
// year goes through here, so it allocates nothing else.
template <class Take>
bool WalkCommaItems(std::string_view text, std::string& joined, Take&& take) {
  constexpr char kQuote = '"';
  const char* p = text.data();
  const char* const end = p + text.size();
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' && c != ','; };
  while (p < end && blank(*p)) ++p;
  while (p < end) {
    std::string_view item;
    if (*p == kQuote) {
      ++p;
      const char* q = static_cast<const char*>(std::memchr(p, kQuote, end - p));
      if (q == nullptr) {
        item = std::string_view(p, static_cast<size_t>(end - p));
        p = end;
      } else if (q + 1 == end || q[1] != kQuote) {
        item = std::string_view(p, static_cast<size_t>(q - p));
        p = q + 1;
      } else {
        joined.clear();
        for (;;) {
          q = static_cast<const char*>(std::memchr(p, kQuote, end - p));
          if (q == nullptr) {
            joined.append(p, end);
            p = end;
            break;
          }
          joined.append(p, q);
          p = q + 1;
          if (p < end && *p == kQuote) {
            joined += kQuote;
            ++p;
          } else {
            break;
          }
        }
        item = joined;
      }
    } else {
      const char* start = p;
      while (p < end && static_cast<unsigned char>(*p) > ' ' && *p != ',') ++p;
      item = std::string_view(start, static_cast<size_t>(p - start));
    }
    if (take(item)) return true;
    while (p < end && blank(*p)) ++p;
    if (p < end && *p == ',') {
      do ++p;
      while (p < end && blank(*p));
    }
  }
  return false;
}

bool ItemsNameObject(std::string_view line, const std::string& head, std::string& joined) {
  return WalkCommaItems(line, joined, [&](std::string_view item) {
    const size_t eq = item.find('=');
    return eq != std::string_view::npos && item.substr(eq + 1, head.size()) == head;
  });
}

size_t CountNewlines(const char* p, const char* end) {
  size_t n = 0;
  while (p < end) {
    const void* q = std::memchr(p, '\n', static_cast<size_t>(end - p));
    if (q == nullptr) break;
    ++n;
    p = static_cast<const char*>(q) + 1;
  }
  return n;
}

const char* LastNewline(const char* begin, const char* end) {
  if (end <= begin) return nullptr;
  return static_cast<const char*>(memrchr(begin, '\n', static_cast<size_t>(end - begin)));
}

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace

THistoryFileScan ScanHistoryFile(const std::string& fileName, std::string_view needle,
                                 uint64_t offset, uint32_t index, size_t blockSize,
                                 const std::atomic<bool>* cancel,
                                 const std::function<void(uint32_t, std::string_view)>& onLine,
                                 const std::function<void(uint64_t)>& onBlock) {
  THistoryFileScan result;
  result.endOffset = offset;
  result.endIndex = index;
  TPfInfo info;
  if (PfStat(fileName, info) != 0 || info.kind == TPfKind::Missing) {
    result.status = THistoryFileScan::Missing;
    return result;
  }
  int fd = -1;
  if (info.kind != TPfKind::File || PfOpenRead(fileName, fd) != 0) {
    result.status = THistoryFileScan::ReadError;
    return result;
  }
  blockSize = std::max<size_t>(blockSize, 4096);
  // `buffer` holds the rest of the last block that is not yet a complete line, then the
  // new block. Its first byte starts a line (of index `lineNo`, at file offset `base`).
  std::string buffer;
  uint64_t base = offset;
  uint64_t readAt = offset;
  uint32_t lineNo = index;
  for (;;) {
    if (Cancelled(cancel)) {
      result.status = THistoryFileScan::Cancelled;
      break;
    }
    const size_t kept = buffer.size();
    buffer.resize(kept + blockSize);
    size_t got = 0;
    if (PfReadAt(fd, buffer.data() + kept, blockSize, static_cast<int64_t>(readAt), got) != 0) {
      buffer.resize(kept);
      result.status = THistoryFileScan::ReadError;
      break;
    }
    buffer.resize(kept + got);
    readAt += got;
    if (got == 0) break;  // the end: what is left has no line end yet (an append going on)

    const char* const begin = buffer.data();
    const char* const last = LastNewline(begin, begin + buffer.size());
    if (last == nullptr) {  // one line longer than the buffer: read on
      if (onBlock) onBlock(got);
      continue;
    }
    const char* const complete = last + 1;
    const char* cur = begin;  // start of line `lineNo`
    bool stop = false;
    if (needle.empty()) {
      while (cur < complete) {
        const char* nl = static_cast<const char*>(std::memchr(cur, '\n', complete - cur));
        const char* le = (nl > cur && nl[-1] == '\r') ? nl - 1 : nl;
        onLine(lineNo, std::string_view(cur, static_cast<size_t>(le - cur)));
        ++lineNo;
        cur = nl + 1;
        if (Cancelled(cancel)) {
          stop = true;
          break;
        }
      }
    } else {
      const char* p = cur;
      while (p < complete) {
        const char* hit = static_cast<const char*>(
            memmem(p, static_cast<size_t>(complete - p), needle.data(), needle.size()));
        if (hit == nullptr) break;
        const char* prev = LastNewline(cur, hit);
        const char* ls = prev == nullptr ? cur : prev + 1;
        lineNo += static_cast<uint32_t>(CountNewlines(cur, ls));
        const char* nl = static_cast<const char*>(std::memchr(hit, '\n', complete - hit));
        if (nl == nullptr) break;  // the needle crosses the last line end: not a line's
        const char* le = (nl > ls && nl[-1] == '\r') ? nl - 1 : nl;
        onLine(lineNo, std::string_view(ls, static_cast<size_t>(le - ls)));
        ++lineNo;
        cur = p = nl + 1;
        if (Cancelled(cancel)) {
          stop = true;
          break;
        }
      }
      if (!stop) {
        lineNo += static_cast<uint32_t>(CountNewlines(cur, complete));
        cur = complete;
      }
    }
    const size_t consumed = static_cast<size_t>(cur - begin);
    base += consumed;
    result.endOffset = base;
    result.endIndex = lineNo;
    if (onBlock) onBlock(got);  // the lines handed over still point into the buffer
    buffer.erase(0, consumed);
    if (stop) {
      result.status = THistoryFileScan::Cancelled;
      break;
    }
  }
  PfClose(fd);
  return result;
}

// ---------------------------------------------------------------------------------------
// THistoryScan

THistoryLineStore::THistoryLineStore(size_t bytes) : data_(PfAllocLarge(bytes)), size_(bytes) {}
THistoryLineStore::~THistoryLineStore() { PfFreeLarge(data_); }

THistoryScan::THistoryScan(std::vector<THistoryYearFile> files, int cls, int32_t id)
    : files_(std::move(files)), cls_(cls), id_(id) {}

void THistoryScan::SetBlockSize(size_t bytes) { blockSize_ = std::max<size_t>(bytes, 4096); }

THistoryScanResult THistoryScan::Run(const std::atomic<bool>& cancel, const TBatch& batch) {
  THistoryScanResult result;
  THistoryScanProgress progress;
  for (const THistoryYearFile& file : files_) {
    std::int64_t size = GetFileSize64(file.fileName);
    if (size > 0) progress.bytesTotal += static_cast<uint64_t>(size);
  }
  const std::string head = ObjectHead(cls_, id_);
  const std::string needle = "=" + head;
  THistoryHitBatch found;
  size_t foundBytes = 0;
  std::string joined;
  // The lines of a block point into the read buffer until the block is done; then they
  // move into one store of their own and go out as a batch.
  auto handOver = [&] {
    if (found.hits.empty()) return;
    found.store = std::make_shared<THistoryLineStore>(foundBytes);
    char* at = found.store->Data();
    for (THistoryHit& hit : found.hits) {
      std::memcpy(at, hit.line.data(), hit.line.size());
      hit.line = std::string_view(at, hit.line.size());
      at += hit.line.size();
    }
    batch(found, progress);
    found = THistoryHitBatch{};
    foundBytes = 0;
  };
  for (const THistoryYearFile& file : files_) {
    if (cancel.load(std::memory_order_relaxed)) break;
    const int year = file.year;
    THistoryFileScan scan = ScanHistoryFile(
        file.fileName, needle, 0, 0, blockSize_, &cancel,
        [&](uint32_t index, std::string_view line) {
          if (!ItemsNameObject(line, head, joined)) return;
          found.hits.push_back({year, index, line});
          foundBytes += line.size();
          ++result.linesFound;
        },
        [&](uint64_t bytes) {
          progress.bytesDone += bytes;
          handOver();
        });
    if (scan.status == THistoryFileScan::ReadError) result.failed.push_back(file);
    if (scan.status == THistoryFileScan::Cancelled) break;
  }
  result.cancelled = cancel.load(std::memory_order_relaxed);
  if (!result.cancelled) progress.bytesDone = std::max(progress.bytesDone, progress.bytesTotal);
  THistoryHitBatch last;
  batch(last, progress);
  return result;
}

// ---------------------------------------------------------------------------------------
// THistoryNameCache

namespace {

std::string HexUpper(int32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(value);
  std::string text;
  do {
    text.insert(text.begin(), kDigits[v & 15]);
    v >>= 4;
  } while (v != 0);
  return text;
}

constexpr size_t kTailBytes = 64;

// The `count` bytes before `end` of the file; empty when they cannot be read.
std::string BytesBefore(const std::string& fileName, uint64_t end, size_t count) {
  const uint64_t start = end > count ? end - count : 0;
  std::string bytes(static_cast<size_t>(end - start), '\0');
  if (bytes.empty()) return bytes;
  int fd = -1;
  if (PfOpenRead(fileName, fd) != 0) return std::string();
  size_t got = 0;
  if (PfReadAt(fd, bytes.data(), bytes.size(), static_cast<int64_t>(start), got) != 0) got = 0;
  PfClose(fd);
  bytes.resize(got);
  return bytes;
}

}  // namespace

size_t THistoryNameCache::TCandidatesHash::operator()(const TCandidates& c) const {
  size_t h = c.size();
  for (const auto& [name, id] : c)
    h = h * 1000003u ^ (std::hash<std::string>()(name) + static_cast<size_t>(id) * 31u);
  return h;
}

bool THistoryNameCache::CollectNames(const std::vector<THistoryYearFile>& files, int cls,
                                     const std::string& filter, TQStringList& list,
                                     std::vector<THistoryYearFile>* failed) {
  static const std::string_view kKeys[] = {"o", "src", "dest", "u", "u2"};
  TClassState& state = classes_[cls];
  std::vector<int> years;
  for (const THistoryYearFile& f : files) years.push_back(f.year);
  bool rebuild = years != state.years;
  std::vector<TLogFileTime> times;
  for (const THistoryYearFile& f : files) {
    TLogFileTime t = GetLogFileTime(f.fileName);
    times.push_back(t);
    auto it = state.files.find(f.fileName);
    if (it == state.files.end()) {
      rebuild = true;
      continue;
    }
    const TFileState& known = it->second;
    // Lines are only appended: the same file grown keeps what was read. Anything else (a
    // file replaced, shortened or gone) is read again from the start, all files with it,
    // since the kept lists do not tell which file a name came from. A new file may get
    // the inode of the one it replaced: the bytes before the end of the last reading
    // must still be those read.
    if (t == known.time) continue;
    if (!t.exists || t.inode != known.time.inode ||
        static_cast<uint64_t>(t.size) < known.endOffset ||
        BytesBefore(f.fileName, known.endOffset, kTailBytes) != known.tail)
      rebuild = true;
  }
  if (rebuild) {
    state = TClassState{};
    state.years = years;
  }

  const std::string needle = "=c=" + std::to_string(cls) + ";";
  std::string values[5];
  bool ok = true;
  for (size_t i = 0; i < files.size(); ++i) {
    const THistoryYearFile& f = files[i];
    TFileState& known = state.files[f.fileName];
    if (!rebuild && times[i] == known.time) continue;
    if (known.endOffset == 0) ++fullReads_;
    TCandidates candidates;
    THistoryFileScan scan = ScanHistoryFile(
        f.fileName, needle, known.endOffset, known.endIndex, 1 << 20, nullptr,
        [&](uint32_t, std::string_view line) {
          candidates.clear();
          CommaTextValues(line, kKeys, values, 5);
          for (const std::string& text : values) {
            if (text.empty()) continue;
            int32_t oid = 0;
            int ocls = 0;
            std::string name;
            if (!HistoryParseObjectText(text, oid, ocls, name) || ocls != cls) continue;
            candidates.emplace_back(std::move(name), oid);
          }
          if (!candidates.empty()) state.lines.insert(candidates);
        },
        nullptr);
    if (scan.status == THistoryFileScan::ReadError) {
      ok = false;
      if (failed) failed->push_back(f);
      // Not remembered as read: the next call tries again.
      state.files.erase(f.fileName);
      state.years.clear();
      continue;
    }
    known.time = times[i];
    known.endOffset = scan.endOffset;
    known.endIndex = scan.endIndex;
    known.tail = BytesBefore(f.fileName, known.endOffset, kTailBytes);
  }

  // The names as HistoryCollectNames lists them: per line the first object of the class
  // whose name holds the filter; name + 0x01 + hex ID, sorted, without repeats.
  const std::string wanted = AnsiUpperCase(filter);
  TQStringList found;
  found.SetSorted(true);
  found.SetDuplicates(dupIgnore);
  for (const TCandidates& candidates : state.lines) {
    for (const auto& [name, oid] : candidates) {
      if (!wanted.empty() && AnsiUpperCase(name).find(wanted) == std::string::npos) continue;
      found.Add(name + '\x01' + HexUpper(oid));
      break;
    }
  }
  bool sorted = list.Sorted();
  list.SetSorted(false);
  list.Clear();
  for (int i = 0; i < found.Count(); ++i) {
    const std::string& entry = found[i];
    std::string::size_type sep = entry.rfind('\x01');
    int32_t oid = StrToIntZero("$" + entry.substr(sep + 1));
    if (oid == 0) list.Add(entry);
    else list.AddObject(entry.substr(0, sep), oid);
  }
  list.SetSorted(sorted);
  return ok;
}
