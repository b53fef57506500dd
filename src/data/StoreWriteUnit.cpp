#include "data/StoreWriteUnit.h"

#include <algorithm>
#include <cassert>

#include "data/ItemsLock.h"
#include "data/MiniDBUnit.h"

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

bool TStoreWrite::Commit() {
  if (!ok_ || done_) return false;
  bool saved = bulk_ ? db_.StoreCurrent() : db_.Commit();
  if (!saved) {
    Rollback();
    return false;
  }
  done_ = true;
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
  // The run's records are stored into the lines and the file is written once, still
  // under the reservation and the lock on all records.
  db_.AutoSave = true;
  const bool saved = db_.Commit();
  db_.AutoSave = false;
  if (!saved) {
    afterSave_.clear();
    db_.DiscardChangesAndReread();
    End();
    return TBulkResult::Failed;
  }
  End();
  std::vector<std::function<void()>> writes = std::move(afterSave_);
  for (auto& write : writes) write();
  return TBulkResult::Saved;
}

void TBulkWrite::Rollback() {
  if (done_) return;
  done_ = true;
  afterSave_.clear();
  if (ok_) db_.DiscardChangesAndReread();
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
