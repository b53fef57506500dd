#pragma once
// Reading the history for the history view, beside the writers. The view must answer at
// once over years of lines and never disturb the stations that append to the same files,
// so this reader is not THistory (the writer's, with its reservation, its loaded lines and
// its load failure that stops writing): it reads the year files itself, in blocks, without
// the reservation, and finds the lines it wants with memchr / memmem.
//
// An append of another station may be in progress while a block is read: a last line
// without its CR LF is left out (it shows at the next reading, complete). Lines end at LF;
// a CR before it is not part of the line.
//
// THistoryScan touches no program-wide state (no History(), no store, no messages): it
// runs on a worker thread with what the caller took from the history on its own thread
// (HistoryScanFiles). It stops within a block once its cancel flag is set.
//
// THistoryNameCache collects the names of a class's objects in the history (what
// HistoryCollectNames gives) and keeps them per class until a year file changes; an
// append only adds the new lines to what is kept.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "basic/SLUnit.h"
#include "data/LogFilesUnit.h"

class THistory;

// One year file of the history.
struct THistoryYearFile {
  int year = 0;
  std::string fileName;
};

// The files of Years() of a history, oldest first. On the history's own thread.
std::vector<THistoryYearFile> HistoryScanFiles(const THistory& history);

// The text of the lines of one batch in one piece of memory (a million lines are a few
// hundred pieces, not a million). Whoever keeps a line keeps its store.
class THistoryLineStore {
 public:
  explicit THistoryLineStore(size_t bytes);
  ~THistoryLineStore();
  THistoryLineStore(const THistoryLineStore&) = delete;
  THistoryLineStore& operator=(const THistoryLineStore&) = delete;
  char* Data() { return data_; }
  size_t Size() const { return size_; }

 private:
  char* data_;
  size_t size_;
};

// One line found: its year, its 0-based index in the year file (the 0x01 start line is
// index 0) and its text without CR LF, inside the store of its batch.
struct THistoryHit {
  int year = 0;
  uint32_t index = 0;
  std::string_view line;
};

// The lines found since the last batch, their text in `store`.
struct THistoryHitBatch {
  std::shared_ptr<THistoryLineStore> store;
  std::vector<THistoryHit> hits;
};

struct THistoryScanProgress {
  uint64_t bytesDone = 0;   // of all files, as read so far
  uint64_t bytesTotal = 0;  // the files' sizes when the scan began
};

struct THistoryScanResult {
  bool cancelled = false;
  // Year files that exist but could not be read (the others were still read).
  std::vector<THistoryYearFile> failed;
  uint64_t linesFound = 0;
};

// How one file was read by ScanHistoryFile.
struct THistoryFileScan {
  enum TStatus { Read, Missing, ReadError, Cancelled } status = Read;
  uint64_t endOffset = 0;  // just behind the last complete line read
  uint32_t endIndex = 0;   // index of the line that starts there
};

// Reads `fileName` from `offset` (the start of the line of index `index`) in blocks of
// `blockSize` bytes and calls `onLine(index, line)` for every complete line that holds
// `needle` (every complete line when it is empty). `onBlock(bytesRead)` follows each
// block; the lines handed over since the block before stay valid until it returns. Stops when `cancel` is set (checked per block and per line found).
THistoryFileScan ScanHistoryFile(const std::string& fileName, std::string_view needle,
                                 uint64_t offset, uint32_t index, size_t blockSize,
                                 const std::atomic<bool>* cancel,
                                 const std::function<void(uint32_t, std::string_view)>& onLine,
                                 const std::function<void(uint64_t)>& onBlock);

// The lines of one record (or of all records of a class, ID 0) in the given year files,
// in file order, handed over in batches.
class THistoryScan {
 public:
  // A batch: the lines found since the last one (the callee may take them), the progress.
  using TBatch = std::function<void(THistoryHitBatch& batch,
                                    const THistoryScanProgress& progress)>;

  THistoryScan(std::vector<THistoryYearFile> files, int cls, int32_t id);

  // Bytes read per block (at least 4 KiB; default 4 MiB).
  void SetBlockSize(size_t bytes);

  // Reads every file; `batch` is called after each block that found lines and at the end.
  THistoryScanResult Run(const std::atomic<bool>& cancel, const TBatch& batch);

 private:
  std::vector<THistoryYearFile> files_;
  int cls_;
  int32_t id_;
  size_t blockSize_ = 4 << 20;
};

// The names of a class's objects in the history, as HistoryCollectNames gives them, kept
// per class. Ask it on one thread at a time.
class THistoryNameCache {
 public:
  // `list` as HistoryCollectNames(cls, filter, list) fills it, read from `files`. Files
  // that changed since the last call are read again (an append only from where the last
  // reading ended). False when a file could not be read (`failed` lists them); what was
  // read is still given.
  bool CollectNames(const std::vector<THistoryYearFile>& files, int cls,
                    const std::string& filter, TQStringList& list,
                    std::vector<THistoryYearFile>* failed = nullptr);
  // Forgets everything.
  void Clear() { classes_.clear(); }
  // How many times a file was read from its start (tests).
  int FullReads() const { return fullReads_; }

 private:
  struct TFileState {
    TLogFileTime time;
    uint64_t endOffset = 0;
    uint32_t endIndex = 0;
    std::string tail;  // the bytes right before endOffset, to tell an append from a new file
  };
  // The objects of the class that one line names, in the order of the keys "o", "src",
  // "dest", "u", "u2": (name, ID).
  using TCandidates = std::vector<std::pair<std::string, int32_t>>;
  struct TCandidatesHash {
    size_t operator()(const TCandidates& c) const;
  };
  struct TClassState {
    std::map<std::string, TFileState> files;  // by file name
    std::vector<int> years;
    std::unordered_set<TCandidates, TCandidatesHash> lines;  // the distinct candidate lists
  };
  std::map<int, TClassState> classes_;
  int fullReads_ = 0;
};
