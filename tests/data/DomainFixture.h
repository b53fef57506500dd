#pragma once
// A record store on a temporary folder for the domain tests, with helpers that build a
// locking plan record by record.

#include <memory>
#include <set>
#include <string>

#include "data/AccessProtection.h"
#include "data/ItemList.h"
#include "data/ItemsLock.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "support/TestSupport.h"

struct TDomainStore {
  TAccessProtectionRegistry registry;
  std::unique_ptr<TMiniDB> db;

  explicit TDomainStore(const TTempDir& dir, const std::string& title = "Data",
                        const std::string& station = "tester@pc1")
      : db(std::make_unique<TMiniDB>()) {
    registry.SetSleeper([](int) {});
    db->Registry = &registry;
    db->StationKey = station;
    db->LocalNow = [] { return 46000.5; };
    db->Open(dir.Dir(), title, "Tessaro");
  }
  ~TDomainStore() { db.reset(); }
  TMiniDB& operator*() { return *db; }
  TMiniDB* operator->() { return db.get(); }

  // Bulk work as the imports do it: exclusive access, no automatic saving, one save at the
  // end.
  bool BeginBulk() {
    std::string blocking;
    if (!db->ItemsLock || !db->ItemsLock->LockAll(blocking)) return false;
    db->AutoSave = false;
    return true;
  }
  bool EndBulk() {
    db->AutoSave = true;
    bool saved = db->Commit();
    db->ItemsLock->UnlockAll();
    return saved;
  }

  int32_t Add(int cls, const std::string& name, TKeySystemCode ks = 0,
              const std::string& keyType = "") {
    int32_t id = db->NewRecord(cls);
    db->SetField(id, "n", name);
    if (ks != 0) db->SetKeySystem(id, ks);
    if (!keyType.empty()) db->SetField(id, "kt", keyType);
    if (db->AutoSave) db->Commit();
    return id;
  }
  // A link stored on both records (kind on each side = the other's class).
  void Link(int32_t a, int32_t b) {
    db->AddLinkBoth(a, b, db->GetClass(b), db->GetClass(a));
    if (db->AutoSave) db->Commit();
  }
  // A group below another: stored on the parent only.
  void Child(int32_t parent, int32_t child) {
    db->AddLink(parent, child, icGroup);
    if (db->AutoSave) db->Commit();
  }
};

inline std::set<int32_t> AsSet(const TItemList& list) {
  return std::set<int32_t>(list.Items(), list.Items() + list.Count());
}

inline bool HasRepeats(const TItemList& list) {
  return AsSet(list).size() != static_cast<size_t>(list.Count());
}
