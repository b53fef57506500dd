#include "views/SpecialDeleteUnit.h"

#include <vector>

#include "app/UnitTR100Win.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

namespace {

bool IsGoneBuilding(const TMiniDB& db, int32_t id) {
  return db.GetClass(id) != icBuilding || !db.IsValid(id);
}

// The records of the class with a link to a gone building, on the store as it is.
std::vector<int32_t> RecordsWithDanglingLinks(const TMiniDB& db, int cls) {
  std::vector<int32_t> found;
  TItemList all;
  db.ListClassValid(cls, all);
  for (int32_t i = 0; i < all.Count(); ++i) {
    TItemList buildings;
    db.ReadLinks(all.Get(i), icBuilding, buildings);
    for (int32_t j = 0; j < buildings.Count(); ++j)
      if (IsGoneBuilding(db, buildings.Get(j))) {
        found.push_back(all.Get(i));
        break;
      }
  }
  return found;
}

}  // namespace

int RemoveDanglingBuildingLinks(TMiniDB& db, int cls, bool quiet) {
  if (!quiet && RightDenied(rtBuildings)) return -1;
  db.Load();
  std::vector<int32_t> records = RecordsWithDanglingLinks(db, cls);
  if (records.empty()) return 0;
  int removed = 0;
  std::string blocking;
  {
    TStoreWrite write(db, records);
    // What the reread store adds joins the write under the same check.
    if (write.Ok() && write.Include(RecordsWithDanglingLinks(db, cls))) {
      for (int32_t id : RecordsWithDanglingLinks(db, cls)) {
        TItemList buildings;
        db.ReadLinks(id, icBuilding, buildings);
        for (int32_t j = 0; j < buildings.Count(); ++j)
          if (IsGoneBuilding(db, buildings.Get(j))) {
            // Only this side: the building is gone, its lines stay as they were.
            db.RemoveLink(id, buildings.Get(j), icBuilding);
            ++removed;
          }
      }
      if (removed == 0 || write.Commit()) return removed;
      return -1;
    }
    blocking = write.Blocking().empty() ? "*" : write.Blocking();
  }
  if (!quiet) {
    if (blocking == "*")
      ShowLockFailed();
    else
      db.ShowLockedMessage(blocking, true);
  }
  return -1;
}
