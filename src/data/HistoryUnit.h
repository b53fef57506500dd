#pragma once
// The history ("Protokoll"): the customer's audit trail of notable events (record created,
// deleted, counted, renamed, login, key transfer), one comma-text line per event in one
// log file per year, "Log2024.alg" or "Log-<client> 2024.alg" in the data folder. Lines are
// only appended; the history view searches them, the backup copies the year files.
//
// Everything the program keeps about its history lives in one THistory: the log with its
// folder and prefix, the enabled and buffered modes, the logged-in user's text and the way
// to look up a record's class and name. The program uses History(), the open client's
// session's; a test installs its own with THistoryScope (two of them on one folder act as
// two workstations).
//
// The current year is taken from the installed clock whenever it is needed, so a station
// that runs across New Year writes into and searches the new year's file.
//
// Single-threaded. Messages go through UI().

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "data/LogFilesUnit.h"

// The history's message table (group "HistoryUnit"; text 1 is the log files' text 1).
const TMLStringList* HistoryTexts();
std::string HistoryText(int number);

// The file extension of the year files.
inline constexpr char kHistoryExt[] = ".alg";
// How many years before the current one the history looks for files.
constexpr int kHistoryYearsBack = 15;
// Line references: (year shl 19) or the 0-based line index of the year file.
constexpr int kHistoryLineBits = 19;
constexpr std::uint32_t kHistoryMaxLineIndex = 0x7FFFF;

// "Log", or "Log-" + client name cut to 35 characters in all, + " ".
std::string HistoryPrefixFor(const std::string& clientName);

// "c=" + class + ";i=" + ID + ";n=" + the name rotated (ScrambleStr) after every ";" in
// it became ",".
std::string HistoryObjectText(int cls, std::int32_t id, const std::string& name);
// The reverse; the name unrotated and cut to 127 characters. Fields that are missing give
// 0 / empty. False when the text holds none of "c=", "i=", "n=".
bool HistoryParseObjectText(const std::string& text, std::int32_t& id, int& cls,
                            std::string& name);

// The reference of a line, 0 when the index does not fit.
std::int32_t HistoryLineRef(int year, std::size_t index);

// Tells a record's class and display name from its ID; false when there is no such record.
using THistoryObjectLookup = std::function<bool(std::int32_t id, int& cls, std::string& name)>;

class THistory {
 public:
  // `registry`: whose global reservation guards the files; null means the program's.
  explicit THistory(TAccessProtectionRegistry* registry = nullptr);

  TLogFile& Log() { return log_; }
  const TLogFile& Log() const { return log_; }

  // Set up afresh with the folder (or prefix): no year folders, ".alg". Waiting lines are
  // written first; a load failure and the disabled state are forgotten.
  void SetFolder(const std::string& folder);
  void SetPrefix(const std::string& prefix);
  const std::string& Folder() const { return folder_; }
  const std::string& Prefix() const { return prefix_; }

  // Off in time-travel mode: nothing is written.
  void Enable(bool on) { log_.SetDisabled(!on); }
  bool Enabled() const { return !log_.Disabled(); }
  // Bulk runs (imports) collect their lines and write them in large pieces.
  void SetBuffered(bool on) { log_.SetBuffered(on); }

  // The "u" value of every line: the logged-in user's object text; empty when nobody is
  // logged in (then "u" is left out).
  void SetUserText(const std::string& text) { userText_ = text; }
  const std::string& UserText() const { return userText_; }

  // How HistoryObjectTextOf finds class and name of a record (the record store's owner
  // installs it).
  void SetObjectLookup(THistoryObjectLookup lookup) { lookup_ = std::move(lookup); }
  // The object text of a record found through the lookup; empty when there is none.
  std::string ObjectTextOf(std::int32_t id) const;

  // The year of the current local time.
  int CurrentYear() const;
  std::string FileNameOf(int year) const { return log_.GetFileName(std::to_string(year)); }

  bool Add(const std::string& year, const std::string& line) { return log_.Add(year, line); }
  bool Flush() { return log_.Flush(false); }

  // The event lines. Each takes "d" and "utc" from one reading of the clock and goes into
  // the file of the year in "d". True when written or waiting to be written.
  bool New(int cls, std::int32_t id, const std::string& name, const std::string& stock);
  bool Del(int cls, std::int32_t id, const std::string& name);
  bool Total(int cls, std::int32_t id, const std::string& name, const std::string& count,
             const std::string& stock);
  bool Inv(int cls, std::int32_t id, const std::string& name, const std::string& stock,
           const std::string& remark);
  bool Ren(int cls, std::int32_t id, const std::string& newName, const std::string& oldName);
  bool Login(std::int32_t userId, const std::string& userName);

  // The current year, always, and each of the kHistoryYearsBack years before it whose file
  // exists; oldest first.
  std::vector<int> Years() const;

  // Every line of every year of Years() holding the object text of class `cls` (and of ID
  // `id` when not 0), added to `list` with its line reference as object, oldest first.
  void Search(int cls, std::int32_t id, TQStringList& list);

  // The referenced line; false and empty when the reference is 0, its year is below 1900
  // or its index is beyond the file.
  bool GetLine(std::int32_t ref, std::string& line);

  // The distinct names of objects of class `cls` in the history whose name holds `filter`
  // (case-insensitive; empty = all), each with its ID as object, sorted. `list` is cleared.
  void CollectNames(int cls, const std::string& filter, TQStringList& list);

  // Copies every year file of Years() into `folder` under its own name (backups). A copy
  // of the same size counts as done; any other is written beside the target and then
  // takes its place, so a good earlier copy is never damaged. False when a file could not
  // be copied (the others are still copied) or the reservation is refused.
  bool CopyTo(const std::string& folder);

 private:
  bool AddEvent(std::vector<std::string> items, double utc);
  void ResetLog();

  TLogFile log_;
  std::string folder_;
  std::string prefix_ = "Log";
  std::string userText_;
  THistoryObjectLookup lookup_;
};

// The history in force: the one installed (SetHistory, THistoryScope), else the open
// client's session's (ClientSessionUnit.h); never null.
THistory& History();
// Installs `history` (not owned) over the session's; nullptr gives the session's back.
void SetHistory(THistory* history);
// The installed history, null when the session's is in force.
THistory* InstalledHistory();

// Installs a history for the lifetime of a scope and restores the previous one.
class THistoryScope {
 public:
  explicit THistoryScope(THistory& history);
  ~THistoryScope();
  THistoryScope(const THistoryScope&) = delete;
  THistoryScope& operator=(const THistoryScope&) = delete;

 private:
  THistory* previous_;
};

// The program's entry points, all on History().
void HistorySetFolder(const std::string& folder);
void HistorySetPrefix(const std::string& prefix);
void HistoryEnable(bool on);
void HistorySetBuffered(bool on);
bool HistoryAdd(const std::string& year, const std::string& line);
bool HistoryFlush();
bool HistoryNew(int cls, std::int32_t id, const std::string& name, const std::string& stock);
bool HistoryDel(int cls, std::int32_t id, const std::string& name);
bool HistoryTotal(int cls, std::int32_t id, const std::string& name, const std::string& count,
                  const std::string& stock);
bool HistoryInv(int cls, std::int32_t id, const std::string& name, const std::string& stock,
                const std::string& remark);
bool HistoryRen(int cls, std::int32_t id, const std::string& newName,
                const std::string& oldName);
bool HistoryLogin(std::int32_t userId, const std::string& userName);
std::string HistoryObjectTextOf(std::int32_t id);
std::vector<int> HistoryYears();
void HistorySearch(int cls, std::int32_t id, TQStringList& list);
bool HistoryGetLine(std::int32_t ref, std::string& line);
void HistoryCollectNames(int cls, const std::string& filter, TQStringList& list);
bool HistoryCopyTo(const std::string& folder);
