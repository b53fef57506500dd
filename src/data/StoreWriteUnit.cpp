#include "data/StoreWriteUnit.h"

#include <algorithm>
#include <cassert>
#include <string_view>
#include <unordered_set>

#include <cerrno>
#include <cstdint>

#include "basic/FileCtrl2.h"
#include "basic/UserInteraction.h"
#include "data/HistoryUnit.h"
#include "data/ItemsLock.h"
#include "data/LogFilesUnit.h"
#include "data/MiniDBUnit.h"
#include "platform/PlatformFiles.h"

// =======================================================================================
// History lines saved with their change

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The lines of `wanted` that the file does not hold as whole lines; none when the file
// cannot be read (appending blindly could double a line).
std::vector<const THistoryLine*> MissingLines(const std::string& fileName,
                                              const std::vector<const THistoryLine*>& wanted) {
  std::vector<std::string_view> lines;
  lines.reserve(wanted.size());
  for (const THistoryLine* l : wanted) lines.push_back(l->line);
  std::vector<bool> missing;
  if (!FindMissingLogLines(fileName, lines, missing)) return {};
  std::vector<const THistoryLine*> result;
  for (std::size_t i = 0; i < wanted.size(); ++i)
    if (missing[i]) result.push_back(wanted[i]);
  return result;
}

// The header's lines for a save with history lines, right after the settle: those of
// earlier saves that still wait in this station's log (the history file could not be
// written), then the save's own. Replacing the header must lose no line that is not yet in
// the history: the store keeps them until a station writes them.
std::vector<THistoryLine> StillPending(const TMiniDB& db, const std::vector<THistoryLine>& own) {
  std::vector<THistoryLine> lines;
  const std::string text = db.GetHeaderValue(kPendingHistoryHeader);
  if (!text.empty() && text != db.SettledHistoryHeader)
    for (THistoryLine& l : DecodePendingHistory(text))
      if (History().Log().Waits(l.year, l.line)) lines.push_back(std::move(l));
  lines.insert(lines.end(), own.begin(), own.end());
  return lines;
}

}  // namespace

std::string EncodePendingHistory(const std::vector<THistoryLine>& lines) {
  std::string text;
  for (const THistoryLine& l : lines) {
    if (!text.empty()) text += ',';
    text += l.year;
    text += ':';
    for (unsigned char c : l.line) {
      text += kHexDigits[c >> 4];
      text += kHexDigits[c & 15];
    }
  }
  return text;
}

std::vector<THistoryLine> DecodePendingHistory(const std::string& text) {
  std::vector<THistoryLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos || colon == 0 || (entry.size() - colon - 1) % 2 != 0)
      continue;
    THistoryLine l;
    l.year = entry.substr(0, colon);
    bool ok = true;
    for (std::size_t i = colon + 1; ok && i < entry.size(); i += 2) {
      const int hi = HexValue(entry[i]), lo = HexValue(entry[i + 1]);
      ok = hi >= 0 && lo >= 0;
      l.line += static_cast<char>(hi * 16 + lo);
    }
    if (ok && !l.line.empty()) lines.push_back(std::move(l));
  }
  return lines;
}

bool SettlePendingHistory(TMiniDB& db) {
  const std::string text = db.GetHeaderValue(kPendingHistoryHeader);
  // This station's own last lines, known to be in the file: nothing to look for.
  if (text.empty() || text == db.SettledHistoryHeader) return true;
  const std::vector<THistoryLine> pending = DecodePendingHistory(text);
  if (pending.empty() || !History().Enabled()) return true;
  bool ok = true;
  // A header of a killed bulk run may miss thousands of lines: appended in large pieces,
  // not one synced append each.
  THistory& history = History();
  const bool buffered = history.Log().Buffered();
  history.SetBuffered(true);
  int appended = 0;
  std::vector<std::string> years;
  for (const THistoryLine& l : pending)
    if (std::find(years.begin(), years.end(), l.year) == years.end()) years.push_back(l.year);
  for (const std::string& year : years) {
    const std::string file = History().Log().GetFileName(year);
    if (file.empty()) continue;
    std::vector<const THistoryLine*> wanted;
    // A line still waiting in this station's log is written by it: adding it again would
    // write it twice.
    for (const THistoryLine& l : pending)
      if (l.year == year && !History().Log().Waits(year, l.line)) wanted.push_back(&l);
    if (wanted.empty()) continue;
    for (const THistoryLine* l : MissingLines(file, wanted)) {
      ok = history.Add(year, l->line) && ok;
      ++appended;
    }
  }
  // A log that was buffered already is flushed by whoever buffered it.
  if (!buffered && appended > 0) ok = history.Flush() && ok;
  history.SetBuffered(buffered);
  if (ok && history.Log().NothingWaits()) db.SettledHistoryHeader = text;
  return ok;
}

bool KeepWaitingHistory(TMiniDB& db) {
  THistory& history = History();
  if (history.Log().NothingWaits() || history.Flush()) return true;
  if (!db.Opened || db.NoSave || db.LoadErrorReadOnly) return false;
  std::vector<THistoryLine> lines;
  bool kept = false;
  {
    TStoreWrite write(db, {});
    if (!write.Ok()) return false;
    lines = DecodePendingHistory(db.GetHeaderValue(kPendingHistoryHeader));
    for (auto& [period, line] : history.Log().PendingLines()) {
      THistoryLine l{period, line};
      if (std::find(lines.begin(), lines.end(), l) == lines.end()) lines.push_back(std::move(l));
    }
    kept = db.SetHeaderValueUnsaved(kPendingHistoryHeader, EncodePendingHistory(lines)) &&
           write.Commit();
  }
  if (!kept) return false;
  // The store holds them now: the log's last flush must neither write them twice nor say
  // they are lost.
  history.Log().DropPending();
  db.SettledHistoryHeader.clear();
  UI().ShowMessage(TMsgKind::Error, LogFilesText(lfWriteKept));
  return true;
}

// =======================================================================================
// TStoreWrite

TStoreWrite::TStoreWrite(TMiniDB& db, const std::vector<int32_t>& ids) : db_(db) {
  autoSave_ = db_.AutoSave;
  if (!db_.Opened) return;
  bulk_ = db_.HoldsExclusiveAccess();
  if (!db_.Reserve(ticket_)) {
    blocking_ = "*";
    return;
  }
  reserved_ = true;
  if (!bulk_) {
    if (db_.Load() >= ldNoAccess) return;
    // The reservation is held from here until the change is saved, so no other station
    // can lock or change these records meanwhile: checking that none holds them is
    // enough, and the lock file is not written twice per change.
    if (db_.ItemsLock && !ids.empty()) {
      std::vector<std::string> wanted;
      wanted.reserve(ids.size());
      for (int32_t id : ids) wanted.push_back(std::to_string(id));
      if (!db_.ItemsLock->CheckFree(wanted, blocking_)) {
        if (blocking_.empty()) blocking_ = "*";
        return;
      }
    }
  }
  named_ = ids;
  // From here every record the write changes is noted with its text before, and the
  // store's own multi-record operations leave the saving to Commit.
  db_.EnterWrite(true);
  entered_ = true;
  // One save for the whole change, at Commit.
  db_.AutoSave = false;
  ok_ = true;
}

bool TStoreWrite::Include(const std::vector<int32_t>& ids) {
  if (!ok_ || done_) return false;
  std::vector<int32_t> added;
  for (int32_t id : ids)
    if (db_.HasRecord(id) && std::find(named_.begin(), named_.end(), id) == named_.end() &&
        std::find(added.begin(), added.end(), id) == added.end())
      added.push_back(id);
  if (added.empty()) return true;
  if (!bulk_ && db_.ItemsLock) {
    std::vector<std::string> wanted;
    wanted.reserve(added.size());
    for (int32_t id : added) wanted.push_back(std::to_string(id));
    std::string blocking;
    if (!db_.ItemsLock->CheckFree(wanted, blocking)) {
      blocking_ = blocking.empty() ? "*" : blocking;
      return false;
    }
  }
  // Taking back needs nothing more: the store's journal of the write holds every record
  // the write changes.
  named_.insert(named_.end(), added.begin(), added.end());
  return true;
}

TStoreWrite::~TStoreWrite() {
  if (ok_ && !done_) Rollback();
  if (entered_) db_.LeaveWrite();
  db_.AutoSave = autoSave_;
  if (reserved_) db_.Release(ticket_);
}

void TStoreWrite::AddHistoryLine(const std::string& year, const std::string& line) {
  if (ok_ && !done_ && !line.empty()) history_.push_back({year, line});
}

bool TStoreWrite::Commit() {
  if (!ok_ || done_) return false;
  const bool withHistory = !bulk_ && !history_.empty();
  std::string header;
  if (withHistory) {
    // The lines of an earlier save first, so that replacing them loses none.
    SettlePendingHistory(db_);
    header = EncodePendingHistory(StillPending(db_, history_));
    db_.SetHeaderValueUnsaved(kPendingHistoryHeader, header);
  }
  bool saved = bulk_ ? db_.StoreCurrent() : db_.Commit();
  if (!saved) {
    if (withHistory) db_.ForgetHeaderChange(kPendingHistoryHeader);
    history_.clear();
    Rollback();
    return false;
  }
  done_ = true;
  if (bulk_ && db_.ActiveBulk) {
    for (const THistoryLine& l : history_) db_.ActiveBulk->AddHistoryLine(l.year, l.line);
  } else {
    bool added = true;
    for (const THistoryLine& l : history_) added = History().Add(l.year, l.line) && added;
    // The next write need not look for these lines in the file: they are there.
    db_.SettledHistoryHeader = added && History().Log().NothingWaits() ? header : std::string();
  }
  history_.clear();
  return true;
}

void TStoreWrite::Rollback() {
  if (!ok_ || done_) return;
  done_ = true;
  const bool autoSave = db_.AutoSave;
  db_.AutoSave = false;
  // A copy: putting a record back is itself noted (by outer writes only, which have it).
  const std::map<int32_t, TMiniDB::TJournalEntry> journal = db_.WriteJournal();
  TQStringList fields;
  for (const auto& [id, entry] : journal) {
    const std::string now = db_.ReadRecord(id, fields) ? BuildRecordLine(fields) : "";
    if (now != entry.text) db_.PutRecordText(id, entry.text);
  }
  db_.StoreCurrent();
  // A record that held no unsaved change of this station is back to the file's line: it
  // must not stay marked as changed here, or a later save would put this old line over
  // what another station books once the record lock is gone.
  for (const auto& [id, entry] : journal)
    if (!entry.unsaved) db_.ForgetUnsavedChange(id);
  db_.AutoSave = autoSave;
}

// =======================================================================================
// TBulkWrite

TBulkWrite::TBulkWrite(TMiniDB& db, TBulkMode mode) : db_(db), mode_(mode) {
  autoSave_ = db_.AutoSave;
  if (!db_.Opened || db_.ActiveBulk) return;
  if (!db_.Reserve(ticket_)) {
    ticket_ = -1;
    blocking_ = "*";
    return;
  }
  // The run starts from the file: what this station had not saved yet is saved first,
  // so that taking the run back cannot lose it.
  db_.AutoSave = true;
  if (db_.Load() >= ldNoAccess || !db_.Commit()) {
    End();
    return;
  }
  if (!db_.ItemsLock || !db_.ItemsLock->LockAll(blocking_)) {
    if (blocking_.empty()) blocking_ = kLockFileUnusable;
    End();
    return;
  }
  locked_ = true;
  db_.AutoSave = false;
  db_.EnterWrite(false);
  entered_ = true;
  db_.ActiveBulk = this;
  ok_ = true;
}

TBulkWrite::~TBulkWrite() {
  if (!done_) Rollback();
  End();
}

bool TBulkWrite::Step(int64_t done, int64_t total) {
  if (cancelled_) return false;
  if (progress_ && !progress_(done, total)) cancelled_ = true;
  return !cancelled_;
}

void TBulkWrite::AfterSave(std::function<void()> write) {
  if (write) afterSave_.push_back(std::move(write));
}

void TBulkWrite::AddHistoryLine(const std::string& year, const std::string& line) {
  if (ok_ && !done_ && !line.empty()) history_.push_back({year, line});
}

TBulkResult TBulkWrite::Commit() {
  if (!ok_ || done_) return TBulkResult::Failed;
  TBulkResult result = TBulkResult::Saved;
  if (mode_ == TBulkMode::Check) result = TBulkResult::Checked;
  else if (cancelled_ && !keepOnCancel_) result = TBulkResult::Cancelled;
  if (result != TBulkResult::Saved) {
    Rollback();
    End();
    return result;
  }
  done_ = true;
  const bool withHistory = !history_.empty();
  if (withHistory) {
    SettlePendingHistory(db_);
    db_.SetHeaderValueUnsaved(kPendingHistoryHeader,
                              EncodePendingHistory(StillPending(db_, history_)));
  }
  // The run's records are stored into the lines and the file is written once, still
  // under the reservation and the lock on all records.
  db_.AutoSave = true;
  const bool saved = db_.Commit();
  db_.AutoSave = false;
  if (!saved) {
    afterSave_.clear();
    history_.clear();
    db_.DiscardChangesAndReread();
    End();
    return TBulkResult::Failed;
  }
  // A run may book thousands of changes: their lines go to the history in large pieces
  // rather than one synced append each (the store's header holds them until then). Still
  // under the run's reservation: a station that settled the header meanwhile would find
  // the lines missing and write them a second time.
  THistory& history = History();
  const bool buffered = history.Log().Buffered();
  history.SetBuffered(true);
  bool added = true;
  for (const THistoryLine& l : history_) added = history.Add(l.year, l.line) && added;
  history_.clear();
  std::vector<std::function<void()>> writes = std::move(afterSave_);
  for (auto& write : writes) write();
  const bool flushed = history.Flush();
  history.SetBuffered(buffered);
  // Lines that are in the history leave the header in the same run: left there, every
  // later open would look for each of them in the year file again.
  if (withHistory && added && flushed && history.Log().NothingWaits() &&
      db_.SetHeaderValueUnsaved(kPendingHistoryHeader, "")) {
    db_.AutoSave = true;
    db_.Commit();
    db_.AutoSave = false;
  }
  End();
  return TBulkResult::Saved;
}

void TBulkWrite::Rollback() {
  if (done_) return;
  done_ = true;
  afterSave_.clear();
  history_.clear();
  if (ok_) db_.DiscardChangesAndReread();
  // The run is over: other stations need not wait while the caller tells the user why.
  End();
}

void TBulkWrite::End() {
  assert(db_.ActiveBulk == nullptr || db_.ActiveBulk == this || !ok_);
  if (entered_) {
    db_.LeaveWrite();
    entered_ = false;
  }
  if (db_.ActiveBulk == this) db_.ActiveBulk = nullptr;
  if (locked_) {
    db_.ItemsLock->UnlockAll();
    locked_ = false;
  }
  db_.AutoSave = autoSave_;
  if (ticket_ >= 0) {
    db_.Release(ticket_);
    ticket_ = -1;
  }
}
