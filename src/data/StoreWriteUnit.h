#pragma once
// The one way shared records are changed: reserve the store, reread it when another
// station changed it, make sure no other workstation holds a record lock on the records
// involved, change, save, release the reservation. Every writer of records goes through a
// TStoreWrite, so no code path can forget a step or do them in another order.
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
// While this workstation holds the whole store (bulk runs: imports, special functions),
// the write neither rereads nor saves: the bulk run saves once at its end.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TMiniDB;

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
  // Takes every record of the write back to what it was when the write began.
  void Rollback();
  // Takes further records into the write: those found only on the fresh data, such as the
  // other end of a link another station added before this write reread the store. Checks,
  // under the same reservation, that no other workstation holds them, and takes them back
  // with the others when the write is not committed. False (Blocking() names the station)
  // when one is held elsewhere; nothing is taken in then, and the write stays alive for the
  // caller to give up.
  bool Include(const std::vector<int32_t>& ids);

 private:
  TMiniDB& db_;
  bool ok_ = false;
  bool reserved_ = false;
  bool bulk_ = false;
  bool done_ = false;
  bool autoSave_ = true;
  int ticket_ = 0;
  std::string blocking_;
  std::map<int32_t, std::string> before_;    // record texts when the write began
  std::vector<int32_t> unsavedAtStart_;      // of those, the ones with unsaved changes
};
