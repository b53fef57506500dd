#pragma once
// The two ways shared records are changed.
//
// TStoreWrite, one record set: reserve the store, reread it when another station changed
// it, make sure no other workstation holds a record lock on the records involved, change,
// save, release the reservation. Every writer of a few records goes through a TStoreWrite,
// so no code path can forget a step or do them in another order.
//
// The reservation is held without a break from the check to the save, and nobody can take
// a record lock or save without it, so the records stay this workstation's for the whole
// write without an entry in the lock file (which would cost two safe writes per change).
// Record locks that this workstation holds (a view editing one of the records) are not
// touched.
//
//   TStoreWrite write(db, {keyId, personId});
//   if (!write.Ok()) { tell the user who blocks (write.Blocking()); return false; }
//   ... check again what the caller saw on older data, then change the records ...
//   if (!write.Commit()) return false;   // not saved: the records are as before
//
// Never ask the user a modal question while a TStoreWrite is alive: the reservation blocks
// every other workstation meanwhile. Ask before, check again inside.
//
// While the write is alive the store knows it: SetLinks, ReplaceLink, UnlinkAll and
// MarkDeleted inside it save nothing of their own, and a write that is not committed (or
// whose save fails) takes back every record it changed, the ones those operations reached
// beyond the named records too.
//
// TBulkWrite, many records (bulk tools, mass rename, sample data, imports): see below.
// Inside a bulk run a TStoreWrite neither rereads nor saves: the run saves once at its end.
//
// A change and its history lines are one: a write's history lines (AddHistoryLine) are
// recorded in the store file by the same save, as the header "PendingHistory", and
// appended to the history right after it. A station killed between the two leaves the
// lines in the header; the next write with history lines, and every store opened for
// writing (SettlePendingHistory), appends those the history lacks before anything else.
// The header keeps the last lines (it is only replaced, never cleared), so a look at the
// end of the year file finds them on the usual path. So every booking on disk has its one
// history line at the latest once the next station opens the store, and no line names a
// change that is not on disk: lines are appended only after their save succeeded.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TMiniDB;

// The header line holding the history lines of the last save that had any.
inline constexpr char kPendingHistoryHeader[] = "PendingHistory";
// One history line of a change: the year of its file and the line.
struct THistoryLine {
  std::string year;
  std::string line;
  bool operator==(const THistoryLine&) const = default;
};
// The header's text for lines, and back (unreadable entries are skipped).
std::string EncodePendingHistory(const std::vector<THistoryLine>& lines);
std::vector<THistoryLine> DecodePendingHistory(const std::string& text);
// Under the store's reservation: appends to the history (History()) every line of the
// store's "PendingHistory" that the history lacks. False when one could not be written.
bool SettlePendingHistory(TMiniDB& db);
// Before the store closes: history lines that still wait in memory because the history
// file cannot be written go into the store's "PendingHistory" (saved at once), so the next
// station that opens the store writes them; the user is told so. True when nothing is left
// that could be lost; false (nothing changed) when the store could not take them.
bool KeepWaitingHistory(TMiniDB& db);

class TStoreWrite {
 public:
  TStoreWrite(TMiniDB& db, const std::vector<int32_t>& ids);
  // Gives back the reservation; a write that was not committed is taken back first.
  ~TStoreWrite();
  TStoreWrite(const TStoreWrite&) = delete;
  TStoreWrite& operator=(const TStoreWrite&) = delete;

  // Reservation held, store read, no record held by another workstation.
  bool Ok() const { return ok_; }
  // Why not: the blocking workstation's key, "*" when the reservation or the lock file
  // could not be had, empty when the store itself could not be read.
  const std::string& Blocking() const { return blocking_; }
  bool Reserved() const { return reserved_; }
  // This workstation holds the whole store: no reread before, no save after.
  bool Bulk() const { return bulk_; }

  // Stores the changes and saves them (in bulk mode: stores them for the bulk save).
  // False when they could not be saved; they are then taken back, in memory too.
  bool Commit();
  // Takes every record the write changed back to what it was when the write began.
  void Rollback();
  // Takes further records into the write: those found only on the fresh data, such as the
  // other end of a link another station added before this write reread the store. Checks,
  // under the same reservation, that no other workstation holds them, and takes them back
  // with the others when the write is not committed. False (Blocking() names the station)
  // when one is held elsewhere; nothing is taken in then, and the write stays alive for the
  // caller to give up.
  bool Include(const std::vector<int32_t>& ids);
  // A history line that belongs to this change (see the top of this file): saved with it,
  // appended after the save, dropped when the change is not saved.
  void AddHistoryLine(const std::string& year, const std::string& line);

 private:
  TMiniDB& db_;
  bool ok_ = false;
  bool reserved_ = false;
  bool bulk_ = false;
  bool done_ = false;
  bool entered_ = false;
  bool autoSave_ = true;
  int ticket_ = 0;
  std::string blocking_;
  std::vector<int32_t> named_;  // the records checked free: those named and those included
  std::vector<THistoryLine> history_;
};

// ---------------------------------------------------------------------------------------
// The one guard of a run that changes many records: one save at its end, or none.
//
//   TBulkWrite run(db);                         // or TBulkWrite run(db, TBulkMode::Check)
//   if (!run.Ok()) { tell the user who blocks (run.Blocking()); return; }
//   run.SetProgress([&](int64_t done, int64_t total) { ...; return !userCancelled; });
//   for (i ...) {
//     if (!run.Step(i, n)) break;              // cancelled
//     ... change records, book transfers, queue history lines with run.AfterSave ...
//   }
//   if (!run.Commit()) ...                     // saved once, then the history lines
//
// - Beginning: the store's reservation, held until the run ends, and the lock on all
//   records ("all" in the lock file; refused, naming the station, while another station
//   holds any record); the file is read again (a station's own unsaved changes are saved
//   first, so the run starts from the file) and automatic saving is off: nothing is saved
//   until Commit. Multi-record operations inside save nothing of their own; a
//   TStoreWrite inside stores its records for the run's save.
// - Check mode ("Prüfen"): the run does everything in memory, and Commit refuses to save.
// - Progress: Step hands done and total to the progress callback, which answers false to
//   cancel. A cancelled run saves nothing, unless the run keeps what is done on cancel
//   (KeepDoneOnCancel): then Commit saves what was done.
// - A failed save, a check pass, a cancel, and a run that ends without Commit read the
//   untouched file again: every change of the run is forgotten in memory too.
// - History lines belong after the save: AfterSave queues them, and they are written once
//   the save succeeded (bookings inside the run queue theirs here), or dropped with the
//   run's changes.
// Never ask a modal question while a run is alive.

enum class TBulkMode { Write, Check };

// Done and total of a run; false cancels it.
using TBulkProgress = std::function<bool(int64_t done, int64_t total)>;

// TBulkWrite::Commit results.
enum class TBulkResult {
  Saved,      // the run's changes are on disk, the history lines written
  Checked,    // check mode: nothing was saved, the changes are forgotten
  Cancelled,  // cancelled and nothing kept: nothing saved, the changes forgotten
  Failed,     // the save failed (or the run never began): the changes are forgotten
};

class TBulkWrite {
 public:
  // One run at a time per store: a second one while a run is alive does not begin.
  explicit TBulkWrite(TMiniDB& db, TBulkMode mode = TBulkMode::Write);
  // A run that was not committed is taken back: the file is read again.
  ~TBulkWrite();
  TBulkWrite(const TBulkWrite&) = delete;
  TBulkWrite& operator=(const TBulkWrite&) = delete;

  // Reservation and lock on all records held, the store read.
  bool Ok() const { return ok_; }
  // Why not: the station that holds records of the store, "*" when the reservation or the
  // lock file could not be had, empty when the store could not be read or its own unsaved
  // changes could not be saved first.
  const std::string& Blocking() const { return blocking_; }
  bool CheckOnly() const { return mode_ == TBulkMode::Check; }

  void SetProgress(TBulkProgress progress) { progress_ = std::move(progress); }
  // Reports progress; false once the run is cancelled (and from then on).
  bool Step(int64_t done, int64_t total);
  bool Cancelled() const { return cancelled_; }
  // What is done stays when the run is cancelled (Commit saves it).
  void KeepDoneOnCancel(bool keep) { keepOnCancel_ = keep; }

  // Runs `write` after the run's save succeeded; never when the run saves nothing.
  void AfterSave(std::function<void()> write);
  // A history line of the run's changes: recorded with the run's save and appended after
  // it, before the AfterSave writes (see TStoreWrite::AddHistoryLine).
  void AddHistoryLine(const std::string& year, const std::string& line);

  // Ends the run: saves once (see TBulkResult), gives back the lock on all records and
  // the reservation.
  TBulkResult Commit();
  // Ends the run without saving: the file is read again.
  void Rollback();

 private:
  void End();

  TMiniDB& db_;
  TBulkMode mode_;
  bool ok_ = false;
  bool done_ = false;
  bool locked_ = false;
  bool entered_ = false;
  bool cancelled_ = false;
  bool keepOnCancel_ = false;
  bool autoSave_ = true;
  int ticket_ = -1;
  std::string blocking_;
  TBulkProgress progress_;
  std::vector<std::function<void()>> afterSave_;
  std::vector<THistoryLine> history_;
};
