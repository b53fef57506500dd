#pragma once
// Append-only text logs shared by all workstations of a data folder, one file per period
// (a year "2024", a month "2024-05"). Lines are only ever appended, each under the global
// write reservation, so lines of two stations never interleave within a line.
//
// A line handed to a log is never dropped while the program runs: when its file cannot be
// written (no reservation, disk full, share gone) it waits in memory and is written before
// any later line of the log, and the user is told once per failure. A file that cannot be
// read only leaves the loaded lines empty; writing goes on.
//
// Single-threaded. Messages go through UI().

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TAccessProtection;
class TAccessProtectionRegistry;

// The first bytes of every log file: a line holding only 0x01.
inline constexpr char kLogFileStart[] = "\x01\r\n";
// A buffered log writes once its buffer holds more than this many characters.
constexpr std::size_t kLogBufferLimit = 65536;

class TMLStringList;

// The message table of the log files (group "LogFilesUnit"); entry 0 is the group name.
const TMLStringList* LogFilesTexts();
constexpr int lfLoadError = 1;     // a log file could not be read
constexpr int lfWriteDelayed = 2;  // lines wait in memory for the next write
constexpr int lfWriteLost = 3;     // the last chance to write has failed
constexpr int lfWriteKept = 4;     // not written, but kept in the record store
// The text with that number in the current language; empty for unknown numbers.
std::string LogFilesText(int number);

// "yyyy-mm-dd", the byte 0xA0, "hh:nn:ss" of a local date-time.
std::string LogTimeStampOf(double localDateTime);
// The same of the current local time (the installed clock).
std::string LogTimeStamp();
// The current UTC date-time as base-32 text of its bit pattern (DoubleToHex32).
std::string UtcTimeStamp();

// Appends `text` to the file under the reservation: a missing file is created (with its
// folder) and starts with kLogFileStart. True for empty text, false for an empty name.
// False without the reservation or when the text is not completely on disk; a failed write
// leaves the file as it was. When the file's last line lacks its line end (a torn write
// of some station), CR LF is put first so the new text starts a line of its own.
bool AppendToLogFile(const std::string& fileName, const std::string& text,
                     TAccessProtection& reservation);
// The same under the program's global reservation.
bool AppendToLogFile(const std::string& fileName, const std::string& text);

// Where a text appended to the log file now would start, and what would go before it:
// kLogFileStart for a missing or empty file, CR LF or LF when the last line lacks its
// end, else nothing. False when the file exists but cannot be read.
bool LogFileEnd(const std::string& fileName, std::int64_t& size, std::string& lead);
// Makes the log file hold `bytes` from `offset` on, under the reservation: what is there
// already must be the start of `bytes`, and the rest is appended (one write, synced). A
// missing file is created (with its folder) when `offset` is 0. False, and nothing
// written, when the file holds other bytes there or ends before `offset`, without the
// reservation, or when the write fails (the file is then as it was).
bool CompleteLogFileAt(const std::string& fileName, std::int64_t offset, const std::string& bytes,
                       TAccessProtection& reservation);
// Up to `count` bytes of the file from `offset` on (fewer where it ends); false when it
// cannot be read (a missing file gives none and true).
bool ReadLogFileAt(const std::string& fileName, std::int64_t offset, std::size_t count,
                   std::string& bytes);

// Which of `lines` the log file lacks as whole lines (`missing`, one flag per line). One
// pass over the file's end (its last 256 KB and twice the lines' size), over the whole
// file only when a line is not found there. A missing file lacks them all; false when the
// file cannot be read.
bool FindMissingLogLines(const std::string& fileName, const std::vector<std::string_view>& lines,
                         std::vector<bool>& missing);

// A value that identifies one version of a file: any write changes it.
struct TLogFileTime {
  bool exists = false;
  std::int64_t mtimeNs = 0;
  std::int64_t size = 0;
  std::uint64_t inode = 0;
  bool operator==(const TLogFileTime&) const = default;
};
TLogFileTime GetLogFileTime(const std::string& fileName);

class TLogFile {
 public:
  // `registry`: whose global reservation guards the files (not owned); null means the
  // program's.
  explicit TLogFile(TAccessProtectionRegistry* registry = nullptr);
  // Writes what is still buffered (final).
  virtual ~TLogFile();
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;

  // Writes what is buffered (final), then starts afresh with the new names: loaded lines,
  // load failure and disabled state are reset. Lines whose write failed stay queued for
  // their own files. An empty folder switches logging off.
  void Init(const std::string& folder, const std::string& prefix, bool yearFolders,
            const std::string& ext);

  // Folder (+ the period's first 4 characters + "/" with year folders) + prefix + period
  // + extension; empty when the folder is empty.
  std::string GetFileName(const std::string& period) const;

  // Adds one line to the period's file. Buffered: kept until the period changes, the buffer
  // passes kLogBufferLimit characters or Flush. Not buffered: written at once; when that
  // fails the line is kept and written before the next one. CR and LF inside the line
  // become blanks. True when the line is written or waits in memory; false when disabled,
  // logging is off or line or period is empty.
  bool Add(const std::string& period, const std::string& line);

  // Writes the waiting lines, oldest first; true when none is left. Disabled: they are
  // dropped. `final`: the caller will not come back (closing, re-initialising), so a
  // failure is always reported.
  bool Flush(bool final);
  // True when `line` of the period waits in memory, not written yet.
  bool Waits(const std::string& period, const std::string& line) const;
  // True when nothing waits in memory.
  bool NothingWaits() const { return pending_.empty(); }

  // Makes Lines() the period's lines, reading the file unless it is loaded and unchanged.
  // Waiting lines are written first. A missing file gives no lines (true); a file that
  // cannot be read gives no lines, sets LoadFailed(), shows message 1 and returns false.
  bool LoadPeriod(const std::string& period);

  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& LoadedPeriod() const { return loadedPeriod_; }
  const std::string& LoadedFile() const { return loadedFile_; }

  const std::string& Folder() const { return folder_; }
  const std::string& Prefix() const { return prefix_; }
  const std::string& Ext() const { return ext_; }
  bool YearFolders() const { return yearFolders_; }

  bool Buffered() const { return buffered_; }
  void SetBuffered(bool on) { buffered_ = on; }
  // A disabled log writes nothing and drops what waits (time-travel mode).
  bool Disabled() const { return disabled_; }
  void SetDisabled(bool on);
  // The last LoadPeriod could not read its file.
  bool LoadFailed() const { return loadFailed_; }

  // Lines waiting to be written.
  bool HasPending() const { return !pending_.empty(); }
  // The period of the oldest waiting lines; empty when none wait.
  std::string PendingPeriod() const;
  // All waiting text, oldest first, each line with its CR LF.
  std::string PendingText() const;
  std::size_t PendingChars() const;
  // The waiting lines, oldest first: period and line (without its line end).
  std::vector<std::pair<std::string, std::string>> PendingLines() const;
  // Forgets the waiting lines: somebody else has taken them to write them later.
  void DropPending() { pending_.clear(); }

  // The global reservation the log writes under.
  TAccessProtection& Reservation() const;
  TAccessProtectionRegistry* Registry() const { return registry_; }
  void SetRegistry(TAccessProtectionRegistry* registry) { registry_ = registry; }

 protected:
  // Lines of one file waiting to be written.
  struct TPendingChunk {
    std::string period;
    std::string fileName;
    std::string text;
    // A write of it failed: another station may have written some of its lines meanwhile
    // (the record store keeps the history lines of its saves, and the next station that
    // writes appends those the file lacks), so those are left out of the next attempt.
    bool retry = false;
  };

  bool WritePending(bool final);
  // Drops from a chunk to be written again the lines its file holds by now.
  void LeaveOutWritten(TPendingChunk& chunk);
  void ReportWriteFailure(const std::string& fileName, bool final);

  TAccessProtectionRegistry* registry_;
  std::string folder_, prefix_, ext_;
  std::vector<std::string> lines_;
  std::string loadedPeriod_, loadedFile_;
  std::vector<TPendingChunk> pending_;
  bool buffered_ = false;
  bool loadFailed_ = false;
  bool disabled_ = false;
  bool yearFolders_ = false;
  bool failureReported_ = false;  // the current failure has been told; reset by a success
  TLogFileTime fileTime_;
};
