#include "data/StoreWriteUnit.h"

#include <algorithm>

#include "data/ItemsLock.h"
#include "data/MiniDBUnit.h"

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
  for (int32_t id : ids) {
    if (!db_.HasRecord(id)) continue;
    before_[id] = db_.GetRecordText(id);
    if (db_.HasUnsavedChange(id) || (db_.CurrentModified && db_.CurrentID == id))
      unsavedAtStart_.push_back(id);
  }
  // One save for the whole change, at Commit.
  db_.AutoSave = false;
  ok_ = true;
}

bool TStoreWrite::Include(const std::vector<int32_t>& ids) {
  if (!ok_ || done_) return false;
  std::vector<int32_t> added;
  for (int32_t id : ids)
    if (db_.HasRecord(id) && !before_.count(id) &&
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
  for (int32_t id : added) {
    before_[id] = db_.GetRecordText(id);
    if (db_.HasUnsavedChange(id) || (db_.CurrentModified && db_.CurrentID == id))
      unsavedAtStart_.push_back(id);
  }
  return true;
}

TStoreWrite::~TStoreWrite() {
  if (ok_ && !done_) Rollback();
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
  for (const auto& [id, text] : before_) {
    if (db_.GetRecordText(id) != text) db_.PutRecordText(id, text);
  }
  db_.StoreCurrent();
  // A record that held no unsaved change of this station is back to the file's line: it
  // must not stay marked as changed here, or a later save would put this old line over
  // what another station books once the record lock is gone.
  for (const auto& [id, text] : before_) {
    if (std::find(unsavedAtStart_.begin(), unsavedAtStart_.end(), id) == unsavedAtStart_.end())
      db_.ForgetUnsavedChange(id);
  }
  db_.AutoSave = autoSave;
}
