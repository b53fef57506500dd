#pragma once
// Record locks: which workstation is editing which records of a store. They live in the
// shared text file title + ".wpi", one line per workstation that holds anything:
//   station key "=" comma list of record IDs   (or "all": the whole store is taken)
// A line whose value is "attend" counts as holding nothing. The file is only changed
// under the store's write reservation (TAccessProtection), and always replaced as a whole,
// so readers without the reservation see one complete version and a crash cannot leave a
// half-written file behind.
//
// The station key names this workstation in the file: login name "@" host name (see
// InitStationName). A station that crashed leaves its line behind. Whether a line's writer
// still runs is told by the liveness file beside it (title + ".wpl"): every running station
// holds a shared byte-range lock there at an offset derived from its key, and the system
// drops that lock with the process, however it ends, also on another host of the share.
// A line of a key nobody holds there belongs to nobody: the next station that meets it
// under the reservation removes it, and a station reopening under its own key after a
// crash opens normally. A live second copy under the same key still holds the lock, so its
// line is respected. When the liveness file cannot be used, every line counts as alive.

#include <cstdint>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "data/AccessProtection.h"
#include "platform/RangeLock.h"

// Actions of TItemsLock::SetDBAccess.
constexpr int dbaLock = 1;
constexpr int dbaUnlock = 2;

// Blocking-station texts that name no station: the lock file could not be used, or the
// call itself was wrong.
inline constexpr const char* kLockFileUnusable = "*";
inline constexpr const char* kInvalidLockAction = "[invalid action for setDBAccess]";
inline constexpr const char* kInvalidLockId = "[invalid ID for setDBAccess]";

class TItemsLock {
 public:
  // Waits between attempts to read the lock file.
  static constexpr int kReadAttempts = 3;
  static constexpr int kWaitMs = 300;

  // Reads this station's entry from the lock file (without the reservation). Takes one
  // reference on `accessProtection` (the store's reservation), returned on destruction.
  // An empty station key means the program's one (StationName()).
  TItemsLock(const std::string& lockFileName, TAccessProtection* accessProtection,
             const std::string& stationKey = std::string());
  // Removes whatever this station holds (UnlockMine) and returns the reference.
  ~TItemsLock();
  TItemsLock(const TItemsLock&) = delete;
  TItemsLock& operator=(const TItemsLock&) = delete;

  // Adds (dbaLock) or removes (dbaUnlock) record IDs (decimal texts) in this station's
  // entry. True on success, with `blockingStation` empty. Otherwise `blockingStation` names
  // the station that holds one of the IDs (or the whole store), or is "*" when the lock
  // file or the reservation could not be had, or one of the bracketed texts above.
  //
  // `ids` is changed so that the caller can later remove exactly what this call added:
  // IDs this station already held are dropped from it, on a refused dbaLock it is emptied,
  // and a dbaUnlock of IDs this station does not hold empties it. Nothing touches a file
  // when there is nothing to change (IDs already held, or held under "all").
  //
  // Asking for "all" is refused while any other station holds anything: the check is made
  // under the reservation, in the same step that writes "all".
  bool SetDBAccess(int action, std::vector<std::string>& ids, std::string& blockingStation);
  // The same for IDs held in a string list (one ID per line); the list is changed alike.
  bool SetDBAccess(int action, TQStringList& ids, std::string& blockingStation);

  // True when no other station holds one of the IDs or the whole store; otherwise false
  // with `blockingStation` set as SetDBAccess sets it ("*": the lock file could not be
  // read). Nothing is written. For a caller that holds the reservation from this check
  // until its change is saved: no other station can take a record lock meanwhile (that
  // needs the reservation), so an entry in the file would only cost two safe writes.
  bool CheckFree(const std::vector<std::string>& ids, std::string& blockingStation);

  // Exclusive access to the whole store ("all"), nested: the first call takes it, later
  // calls only count. False with the other station's name when it holds anything.
  bool LockAll(std::string& blockingStation);
  // Ends one level of exclusive access; the last level removes "all". When that removal
  // is refused, one level stays and the result is false.
  bool UnlockAll();

  // Reads the lock file without the reservation: the first other station (name trimmed)
  // that holds anything, or empty when none does. "*" when the file cannot be read,
  // because then nobody can tell.
  std::string OtherStationActive();
  // Same, the station in `station`; true when one was found.
  bool OtherStationActive(std::string& station);

  // Removes this station's whole entry (also one left by an earlier run under the same
  // station key) and ends exclusive access. False only when the lock file could not be
  // used.
  bool UnlockMine();

  // This station's entry as last read or written.
  const std::string& OwnEntry() const { return ownEntry_; }
  const std::string& StationKey() const { return stationKey_; }
  const std::string& FileName() const { return fileName_; }
  TAccessProtection* AccessProtection() const { return accessProtection_; }
  // The lock file already held an entry of this station key when this object was made:
  // with the plain key, another copy of the program runs under the same user and computer.
  bool InUseAtOpen() const { return inUseAtOpen_; }
  // The entry under this station key belongs to another running copy of the program (see
  // InUseAtOpen): from now on this object never changes it, neither when asked to lock or
  // unlock (refused, naming this station key) nor on destruction.
  void KeepEntryOfOtherCopy() { keepEntry_ = true; }
  bool KeepsEntryOfOtherCopy() const { return keepEntry_; }
  // Nesting depth of exclusive access; 0 without.
  int AllLevel() const { return allLevel_; }

  // True while some running station holds the liveness mark of that key (this object's
  // own mark does not count). Without a usable liveness file: true.
  bool StationAlive(const std::string& stationKey) const;

 private:
  enum class TReadResult { Ok, Error };
  // The lock file as lines; a missing file has none. Retries with waits.
  TReadResult ReadLines(std::vector<std::string>& lines);
  // Drops the lines of other stations whose writers are gone; true when any was dropped.
  bool DropDeadEntries(std::vector<std::string>& lines) const;
  void Wait(int milliseconds);

  TRangeLockFile live_;

  std::string ownEntry_;
  std::string stationKey_;
  std::string fileName_;
  TAccessProtection* accessProtection_ = nullptr;
  bool inUseAtOpen_ = false;
  bool keepEntry_ = false;
  int allLevel_ = 0;
};

// The liveness mark of a running station, for a station key (see the file comment); held
// while the object lives. TItemsLock holds its own; a test holds one to play a station
// that runs elsewhere.
class TStationLiveness {
 public:
  TStationLiveness() = default;
  TStationLiveness(const std::string& lockFileName, const std::string& stationKey) {
    Hold(lockFileName, stationKey);
  }
  // Takes the mark; false when the liveness file cannot be used.
  bool Hold(const std::string& lockFileName, const std::string& stationKey);
  void Drop() { file_.Close(); }

 private:
  TRangeLockFile file_;
};

// The liveness file beside a record-lock file (".wpi" becomes ".wpl").
std::string LivenessFileName(const std::string& lockFileName);
// The byte offset of a station key's mark in the liveness file (keys compared ignoring
// case give one offset).
std::int64_t LivenessOffset(const std::string& stationKey);

// ---- The station key ----

// The key of a station from its login and host names (Windows-1252): "user@host", or the
// user name alone when both are equal ignoring case or the host is unknown. "=", ",", CR
// and LF are removed from both, since they would break the lock file's lines.
std::string MakeStationKey(const std::string& userName, const std::string& hostName);

// The run number that tells two runs of one station apart: the local time counted in
// 2-millisecond steps from the start of the month's first day, as upper-case hex.
std::string MakeRunNumber(int dayOfMonth, int hour, int minute, int second, int millisecond);

// Sets the program's station key from the login and host names; with the run number
// (setting "AltBlocking") it becomes key + "@@" + the run number of the program's start.
void InitStationName(bool withRunNumber);

// The program's station key; the plain one when InitStationName has not been called.
const std::string& StationName();
