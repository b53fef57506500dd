#include "views/SpecialDeleteUnit.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/ItemList.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

const TMLStringList* SpecialDeleteTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("SpecialDelete", 0);
    t->Add255Obj("Wollen Sie wirklich alle Personen ohne Schl\xFCssel unwiederbringlich l\xF6schen?", 1);
    t->Add255Obj("Es wurden %1 Personen gel\xF6scht.", 2);
    t->Add255Obj("Wollen Sie wirklich alle %1 unwiederbringlich l\xF6schen?", 3);
    t->Add255Obj("Es wurden %1 gel\xF6scht.", 4);
    t->Add255Obj("Sollen aus den Eingaben bei den T\xFCren#13#echte Zylinder-Datens\xE4tze erzeugt werden?", 5);
    t->Add255Obj("Es wurden %1 neue Zylinder extrahiert.", 6);
    t->Add255Obj("Sollen aus Schl\xFCssel-T\xFCr-Zuordnungen echte Schl\xFCssel-Zylinder-Schlie\xDFungen "
                 "erzeugt werden?",
                 7);
    t->Add255Obj("Bei %1 Schl\xFCsseln wurden die Zuordnungen aktualisiert.", 8);
    t->Add255Obj("Wie sollen die neuen Zylinder benannt werden?", 9);
    t->Add255Obj("wie T\xFCren", 10);
    t->Add255Obj("wie Schl\xFCssel", 11);
    t->Add255Obj("F\xFChren Sie vor der Benutzung dieser Spezialfunktionen eine Datensicherung durch.", 12);
    t->Add255Obj("Es wurden %1 redundante Schl\xFCssel:T\xFCr-Schlie\xDFungen entfernt.", 13);
    t->Add255Obj("Es wurden %1 redundante Obergruppen:Zylinder-Schlie\xDFungen entfernt.", 14);
    // Beyond the dialog's first table: persons kept by the mass deletion.
    t->Add255Obj("%1 Personen besitzen noch Schl\xFCssel und wurden nicht gel\xF6scht.", 15);
    // The results of the two key-type automations, and the questions of the merges.
    t->Add255Obj("%1 zuvor undefinierte Schl\xFCssel schlie\xDF" "en nun ihre gleichnamigen Zylinder.", 16);
    t->Add255Obj("%1 zuvor undefinierte Schl\xFCssel haben den Gruppenschl\xFCssel-Status bekommen.", 17);
    t->Add255Obj("Gleiche Schl\xFCssel welcher Schlie\xDF" "anlage zusammenfassen?", 18);
    t->Add255Obj("Gleiche Zylinder welcher Schlie\xDF" "anlage zusammenfassen?", 19);
    return t;
  }();
  return table;
}
std::string SpecialDeleteText(int number) { return GetMLText(SpecialDeleteTexts(), number); }
std::string SpecialDeleteTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(SpecialDeleteTexts(), number, argument);
}

namespace {

bool IsGoneBuilding(const TMiniDB& db, int32_t id) {
  return db.GetClass(id) != icBuilding || !db.IsValid(id);
}
bool IsValidOf(const TMiniDB& db, int32_t id, int cls) {
  return id > 0 && db.GetClass(id) == cls && db.IsValid(id);
}
int RightOfClass(int cls) {
  switch (cls) {
    case icPerson: return rtPersons;
    case icKey: return rtKeys;
    case icDoor: return rtDoors;
    default: return rtBuildings;
  }
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

// The frame every bulk operation shares: the right (none below 0), the run (refusal told unless quiet),
// the work on the fresh data, one save. `work` gives the count, or kRefused to take the
// run back (a step that failed).
template <class Work>
int InBulkRun(TMiniDB& db, int right, bool quiet, const TBulkProgress& progress, Work work) {
  if (!quiet && right >= 0 && RightDenied(right)) return kRefused;
  TBulkWrite run(db);
  if (!run.Ok()) {
    if (!quiet) {
      if (run.Blocking().empty() || run.Blocking() == "*")
        ShowLockFailed();
      else
        db.ShowExclusiveDenied(run.Blocking());
    }
    return kRefused;
  }
  run.SetProgress(progress);
  const int count = work(run);
  if (count == kRefused) {
    run.Rollback();
    return kRefused;
  }
  if (count == 0 && !db.Modified && !db.CurrentModified) {
    run.Rollback();
    return run.Cancelled() ? kCancelled : 0;
  }
  switch (run.Commit()) {
    case TBulkResult::Saved: return count;
    case TBulkResult::Cancelled: return kCancelled;
    default: return kRefused;
  }
}

bool StepEvery(TBulkWrite& run, size_t i, size_t total, size_t every) {
  return i % every != 0 || run.Step(static_cast<int64_t>(i), static_cast<int64_t>(total));
}

// Deletes the records, queueing their history lines for after the save.
int DeleteRecords(TMiniDB& db, TBulkWrite& run, const std::vector<int32_t>& ids) {
  struct TGone {
    int cls;
    int32_t id;
    std::string name;
  };
  auto gone = std::make_shared<std::vector<TGone>>();
  gone->reserve(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    if (!StepEvery(run, i, ids.size(), 4)) return 0;
    const int32_t id = ids[i];
    const int cls = db.GetClass(id);
    std::string name = db.GetDisplayName(id);
    if (!db.MarkDeleted(id)) return kRefused;
    gone->push_back({cls, id, std::move(name)});
  }
  run.AfterSave([gone] {
    for (const TGone& g : *gone) HistoryDel(g.cls, g.id, g.name);
  });
  return static_cast<int>(gone->size());
}

// Every person named by a holder line of a key or a key bunch.
std::set<int32_t> PersonsHoldingPieces(const TMiniDB& db) {
  std::set<int32_t> holders;
  for (int cls : {icKey, icKeyBunch}) {
    TItemList items;
    db.ListClassValid(cls, items);
    for (int32_t i = 0; i < items.Count(); ++i) {
      const int32_t item = items.Get(i);
      if (db.ReadLineField(item, fkHolders).empty()) continue;
      const TItemList persons = GetHoldingPersons(db, item);
      for (int32_t j = 0; j < persons.Count(); ++j) holders.insert(persons.Get(j));
    }
  }
  return holders;
}

void ApplyLinkChanges(TMiniDB& db, const std::vector<TClosingChange>& plan) {
  for (const TClosingChange& c : plan) {
    if (c.add)
      db.AddLinkBoth(c.a, c.b, c.kindOnA, c.kindOnB);
    else
      db.RemoveLinkBoth(c.a, c.b, c.kindOnA, c.kindOnB);
  }
}

std::string NameKey(const std::string& name, TKeySystemCode code) {
  return std::to_string(code) + '\x01' + NormalizeName(name);
}

}  // namespace

// ---------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------
// Deletions

std::vector<int32_t> PlanPersonsWithoutKeys(const TMiniDB& db) {
  const std::set<int32_t> holders = PersonsHoldingPieces(db);
  std::vector<int32_t> plan;
  TItemList persons;
  db.ListClassValid(icPerson, persons);
  for (int32_t i = 0; i < persons.Count(); ++i) {
    const int32_t p = persons.Get(i);
    if (db.ReadLinkCount(p, icKey) > 0 || db.ReadLinkCount(p, icKeyBunch) > 0) continue;
    if (holders.count(p)) continue;
    plan.push_back(p);
  }
  return plan;
}

std::vector<int32_t> PlanDeleteAll(const TMiniDB& db, int cls, int* kept) {
  std::set<int32_t> holders;
  if (cls == icPerson) holders = PersonsHoldingPieces(db);
  std::vector<int32_t> plan;
  int held = 0;
  TItemList all;
  db.ListClassValid(cls, all);
  for (int32_t i = 0; i < all.Count(); ++i) {
    if (holders.count(all.Get(i))) {
      ++held;
      continue;
    }
    plan.push_back(all.Get(i));
  }
  if (kept) *kept = held;
  return plan;
}

int DeletePersonsWithoutKeys(TMiniDB& db, bool quiet, const TBulkProgress& progress) {
  return InBulkRun(db, rtPersons, quiet, progress, [&](TBulkWrite& run) {
    return DeleteRecords(db, run, PlanPersonsWithoutKeys(db));
  });
}

int DeleteAllOfClass(TMiniDB& db, int cls, bool quiet, int* kept, const TBulkProgress& progress) {
  if (kept) *kept = 0;
  return InBulkRun(db, RightOfClass(cls), quiet, progress, [&](TBulkWrite& run) {
    return DeleteRecords(db, run, PlanDeleteAll(db, cls, kept));
  });
}

// ---------------------------------------------------------------------------------------
// Cylinders from the doors' entries

std::vector<TCylinderExtraction> PlanCylinderExtraction(const TMiniDB& db) {
  std::vector<TCylinderExtraction> plan;
  TItemList doors;
  db.ListClassValid(icDoor, doors);
  for (int32_t i = 0; i < doors.Count(); ++i) {
    const int32_t door = doors.Get(i);
    if (db.ReadLinkCount(door, icCylinder) > 0) continue;
    TCylinderExtraction e;
    e.door = door;
    e.code = db.ReadKeySystem(door);
    e.name = Trim(db.ReadLineField(door, "cyl"));
    if (e.code == ksNone || e.name.empty()) continue;
    e.length = db.ReadLineField(door, fkLength);
    e.position = db.ReadLineField(door, "pos");
    e.cylinder = FindItemByNameInSystem(db, icCylinder, e.name, e.code, 0);
    if (e.cylinder > 0) {
      // Joined to a cylinder that says otherwise: the door keeps what it says.
      const std::string len = db.ReadLineField(e.cylinder, fkLength);
      const std::string pos = db.ReadLineField(e.cylinder, "pos");
      e.keepLength = !e.length.empty() && len != e.length;
      e.keepPosition = !e.position.empty() && pos != e.position;
    }
    plan.push_back(std::move(e));
  }
  return plan;
}

int ExtractCylindersFromDoors(TMiniDB& db, bool apply, bool quiet,
                              const TBulkProgress& progress) {
  if (!apply) {
    db.Load();
    return static_cast<int>(PlanCylinderExtraction(db).size());
  }
  return InBulkRun(db, rtDoors, quiet, progress, [&](TBulkWrite& run) {
    const std::vector<TCylinderExtraction> plan = PlanCylinderExtraction(db);
    std::map<std::string, int32_t> made;  // cylinders this run made, by system and name
    int count = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
      if (!StepEvery(run, i, plan.size(), 8)) return 0;
      const TCylinderExtraction& e = plan[i];
      int32_t cylinder = e.cylinder;
      if (cylinder == 0) {
        auto it = made.find(NameKey(e.name, e.code));
        if (it != made.end()) {
          cylinder = it->second;
        } else {
          cylinder = db.NewRecord(icCylinder);
          if (cylinder <= 0) return kRefused;  // not made: nothing of the run stays
          db.SetField(cylinder, fkName, e.name);
          db.SetField(cylinder, fkKeySystem, std::to_string(e.code));
          if (!e.length.empty()) db.SetField(cylinder, fkLength, e.length);
          if (!e.position.empty()) db.SetField(cylinder, "pos", e.position);
          made[NameKey(e.name, e.code)] = cylinder;
          ++count;
        }
      }
      db.AddLinkBoth(e.door, cylinder, icCylinder, icDoor);
      db.DeleteField(e.door, "cyl");
      if (!e.keepLength) db.DeleteField(e.door, fkLength);
      if (!e.keepPosition) db.DeleteField(e.door, "pos");
    }
    // Doors joined to existing cylinders are changes too: the run saves them (Modified).
    return count;
  });
}

// ---------------------------------------------------------------------------------------
// Key-door closings to key-cylinder closings

std::vector<TClosingChange> PlanKeyDoorsToCylinders(
    const TMiniDB& db, std::vector<int32_t>* keys,
    const std::function<bool(size_t, size_t)>& visit) {
  std::vector<TClosingChange> plan;
  TItemList all;
  db.ListClassValid(icKey, all);
  for (int32_t i = 0; i < all.Count(); ++i) {
    if (visit && !visit(static_cast<size_t>(i), static_cast<size_t>(all.Count()))) break;
    const int32_t key = all.Get(i);
    if (db.ReadLinkCount(key, icGroup) > 0) continue;
    TItemList doors;
    db.ReadLinks(key, icDoor, doors);
    const TKeySystemCode code = db.ReadKeySystem(key);
    bool changed = false;
    std::set<int32_t> linked;
    for (int32_t j = 0; j < doors.Count(); ++j) {
      const int32_t door = doors.Get(j);
      if (!IsValidOf(db, door, icDoor)) continue;
      const int32_t cylinder = db.ReadOnlyLink(door, icCylinder);
      if (!IsValidOf(db, cylinder, icCylinder) || db.ReadKeySystem(cylinder) != code) continue;
      // The cylinder's closing would open its other doors too: only when the key opens
      // all of them already.
      TItemList cylDoors;
      db.ReadLinks(cylinder, icDoor, cylDoors);
      bool all = true;
      for (int32_t k = 0; k < cylDoors.Count() && all; ++k)
        if (IsValidOf(db, cylDoors.Get(k), icDoor) && doors.IndexOf(cylDoors.Get(k)) < 0) all = false;
      if (!all) continue;
      if (!db.ReadHasLink(key, icCylinder, cylinder) && linked.insert(cylinder).second)
        plan.push_back({key, cylinder, icCylinder, icKey, true});
      plan.push_back({key, door, icDoor, icKey, false});
      changed = true;
    }
    if (changed && keys) keys->push_back(key);
  }
  return plan;
}

int ConvertKeyDoorsToCylinders(TMiniDB& db, bool quiet, const TBulkProgress& progress) {
  return InBulkRun(db, rtKeys, quiet, progress, [&](TBulkWrite& run) {
    std::vector<int32_t> keys;
    // The bar moves every 8th key visited; a cancel there changes nothing.
    const auto plan = PlanKeyDoorsToCylinders(
        db, &keys, [&](size_t i, size_t total) { return StepEvery(run, i, total, 8); });
    if (run.Cancelled()) return 0;
    ApplyLinkChanges(db, plan);
    return static_cast<int>(keys.size());
  });
}

// ---------------------------------------------------------------------------------------
// Cylinders for doors without one

std::vector<TDoorCylinder> PlanCylindersForDoors(const TMiniDB& db, bool likeKeys) {
  std::vector<TDoorCylinder> plan;
  std::set<std::string> planned;  // names this plan gives a cylinder, by system
  TItemList doors;
  db.ListClassValid(icDoor, doors);
  for (int32_t i = 0; i < doors.Count(); ++i) {
    const int32_t door = doors.Get(i);
    if (db.ReadLinkCount(door, icCylinder) > 0) continue;
    TDoorCylinder d;
    d.door = door;
    d.code = db.ReadKeySystem(door);
    if (d.code == ksNone || !Trim(db.ReadLineField(door, "cyl")).empty()) continue;
    d.name = db.ReadLineField(door, fkName);
    if (likeKeys) {
      TItemList keys;
      db.ReadLinks(door, icKey, keys);
      if (keys.Count() == 1) {
        d.name = db.ReadLineField(keys.Get(0), fkName);
        const std::string second = db.ReadLineField(keys.Get(0), fkSecondName);
        if (!second.empty()) d.name += " " + second;
      }
    }
    d.name = Trim(d.name);
    if (d.name.empty()) continue;
    if (FindItemByNameInSystem(db, icCylinder, d.name, d.code, 0) > 0) continue;
    if (!planned.insert(NameKey(d.name, d.code)).second) continue;
    d.length = db.ReadLineField(door, fkLength);
    d.position = db.ReadLineField(door, "pos");
    plan.push_back(std::move(d));
  }
  return plan;
}

int CylindersForDoors(TMiniDB& db, bool likeKeys, bool apply, bool quiet,
                      const TBulkProgress& progress) {
  if (!apply) {
    db.Load();
    return static_cast<int>(PlanCylindersForDoors(db, likeKeys).size());
  }
  return InBulkRun(db, rtDoors, quiet, progress, [&](TBulkWrite& run) {
    const std::vector<TDoorCylinder> plan = PlanCylindersForDoors(db, likeKeys);
    for (size_t i = 0; i < plan.size(); ++i) {
      if (!StepEvery(run, i, plan.size(), 8)) return 0;
      const TDoorCylinder& d = plan[i];
      const int32_t cylinder = db.NewRecord(icCylinder);
      if (cylinder <= 0) return kRefused;  // not made: nothing of the run stays
      db.SetField(cylinder, fkName, d.name);
      db.SetField(cylinder, fkKeySystem, std::to_string(d.code));
      if (!d.length.empty()) db.SetField(cylinder, fkLength, d.length);
      if (!d.position.empty()) db.SetField(cylinder, "pos", d.position);
      db.AddLinkBoth(d.door, cylinder, icCylinder, icDoor);
      db.DeleteField(d.door, "cyl");
      db.DeleteField(d.door, fkLength);
      db.DeleteField(d.door, "pos");
    }
    return static_cast<int>(plan.size());
  });
}

// ---------------------------------------------------------------------------------------
// Redundant closings

std::vector<TClosingChange> PlanRedundantLinks(const TMiniDB& db, int* doorLinks) {
  std::vector<TClosingChange> plan;
  TItemList keys;
  db.ListClassValid(icKey, keys);
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    TItemList direct;
    db.ReadLinks(key, icDoor, direct);
    if (direct.Count() == 0) continue;
    TItemList cylinders, reached, doors;
    GetKeyGroupsAndCylinders(db, key, true, true, cylinders);
    for (int32_t j = 0; j < cylinders.Count(); ++j) {
      db.ReadLinks(cylinders.Get(j), icDoor, doors);
      reached.AddList(doors);
    }
    for (int32_t j = 0; j < direct.Count(); ++j)
      if (reached.IndexOf(direct.Get(j)) >= 0)
        plan.push_back({key, direct.Get(j), icDoor, icKey, false});
  }
  if (doorLinks) *doorLinks = static_cast<int>(plan.size());
  TItemList groups;
  db.ListClassValid(icGroup, groups);
  for (int32_t i = 0; i < groups.Count(); ++i) {
    const int32_t group = groups.Get(i);
    TItemList direct;
    db.ReadLinks(group, icCylinder, direct);
    if (direct.Count() == 0) continue;
    TItemList linked, visited, reached;
    db.ReadLinks(group, icGroup, linked);
    // A link back to the group itself must not make its own closings look reached.
    visited.Add(group);
    for (int32_t j = 0; j < linked.Count(); ++j)
      CollectGroupCylinders(db, linked.Get(j), visited, reached);
    for (int32_t j = 0; j < direct.Count(); ++j)
      if (reached.IndexOf(direct.Get(j)) >= 0)
        plan.push_back({group, direct.Get(j), icCylinder, icGroup, false});
  }
  return plan;
}

int RemoveRedundantLinks(TMiniDB& db, bool quiet, int* cylinderLinks,
                         const TBulkProgress& progress) {
  if (cylinderLinks) *cylinderLinks = 0;
  int doors = 0, cylinders = 0;
  // Key-door and group-cylinder closings together: the right for the rest.
  const int result = InBulkRun(db, rtBuildings, quiet, progress, [&](TBulkWrite& run) {
    const std::vector<TClosingChange> plan = PlanRedundantLinks(db, &doors);
    for (size_t i = 0; i < plan.size(); ++i) {
      if (!StepEvery(run, i, plan.size(), 64)) return 0;
      db.RemoveLinkBoth(plan[i].a, plan[i].b, plan[i].kindOnA, plan[i].kindOnB);
    }
    cylinders = static_cast<int>(plan.size()) - doors;
    return static_cast<int>(plan.size());
  });
  if (result < 0) return result;
  if (cylinderLinks) *cylinderLinks = cylinders;
  return result == 0 ? 0 : doors;
}

// ---------------------------------------------------------------------------------------
// Key type automations

int SingleKeyAutomation(TMiniDB& db, bool quiet, const TBulkProgress& progress) {
  return InBulkRun(db, rtKeys, quiet, progress, [&](TBulkWrite& run) {
    std::vector<std::pair<int32_t, int32_t>> plan;  // key, cylinder
    TItemList keys;
    db.ListClassValid(icKey, keys);
    for (int32_t i = 0; i < keys.Count(); ++i) {
      if (!StepEvery(run, static_cast<size_t>(i), static_cast<size_t>(keys.Count()), 8)) return 0;
      const int32_t key = keys.Get(i);
      if (StrToPosInt(db.ReadLineField(key, fkKeyType)) >= ktGroup) continue;
      if (db.ReadLinkCount(key, icCylinder) > 0 || db.ReadLinkCount(key, icGroup) > 0) continue;
      const int32_t cylinder = FindItemByNameInSystem(
          db, icCylinder, db.DisplayNameOf(key), db.ReadKeySystem(key), 0);
      if (cylinder > 0) plan.emplace_back(key, cylinder);
    }
    for (const auto& [key, cylinder] : plan) {
      db.SetField(key, fkKeyType, "1");
      db.AddLinkBoth(key, cylinder, icCylinder, icKey);
    }
    return static_cast<int>(plan.size());
  });
}

int GroupKeyAutomation(TMiniDB& db, bool quiet, const TBulkProgress& progress) {
  return InBulkRun(db, rtKeys, quiet, progress, [&](TBulkWrite& run) {
    std::vector<int32_t> plan;
    TItemList keys;
    db.ListClassValid(icKey, keys);
    for (int32_t i = 0; i < keys.Count(); ++i) {
      if (!StepEvery(run, static_cast<size_t>(i), static_cast<size_t>(keys.Count()), 8)) return 0;
      const int32_t key = keys.Get(i);
      if (StrToPosInt(db.ReadLineField(key, fkKeyType)) >= ktSingle) continue;
      if (db.ReadLinkCount(key, icGroup) > 0 || db.ReadLinkCount(key, icCylinder) >= 2)
        plan.push_back(key);
    }
    for (int32_t key : plan) db.SetField(key, fkKeyType, "2");
    return static_cast<int>(plan.size());
  });
}

// ---------------------------------------------------------------------------------------
// Single links

int ConvertLinks(TMiniDB& db, int classA, int classB, bool keep, bool quiet) {
  // A repair of the settings dialog, whose caller tested its right: no right of its own.
  return InBulkRun(db, -1, quiet, {}, [&](TBulkWrite&) {
    int count = 0, withLinks = 0;
    std::vector<std::pair<int32_t, int32_t>> firsts;  // A, its remembered B
    std::vector<TClosingChange> removals;
    TItemList as;
    db.ListClass(classA, as);
    for (int32_t i = 0; i < as.Count(); ++i) {
      const int32_t a = as.Get(i);
      TItemList bs;
      db.ReadLinks(a, classB, bs);
      if (bs.Count() == 0) continue;
      ++withLinks;
      if (IsValidOf(db, bs.Get(0), classB)) firsts.emplace_back(a, bs.Get(0));
      if (!keep && bs.Count() > 1) ++count;
      for (int32_t j = 0; j < bs.Count(); ++j) removals.push_back({a, bs.Get(j), classB, classA, false});
    }
    // Links stored only on the B side go too.
    TItemList bsAll;
    db.ListClass(classB, bsAll);
    for (int32_t i = 0; i < bsAll.Count(); ++i) {
      TItemList back;
      db.ReadLinks(bsAll.Get(i), classA, back);
      for (int32_t j = 0; j < back.Count(); ++j)
        if (!db.ReadHasLink(back.Get(j), classB, bsAll.Get(i)))
          removals.push_back({back.Get(j), bsAll.Get(i), classB, classA, false});
    }
    // Each record's first link is taken off and put back: not counted.
    count += static_cast<int>(removals.size()) - withLinks;
    ApplyLinkChanges(db, removals);
    for (const auto& [a, b] : firsts) db.AddLinkBoth(a, b, classB, classA);
    return count;
  });
}

// ---------------------------------------------------------------------------------------
// Merging records with the same closing

namespace {

std::string LinkSignature(const TMiniDB& db, int32_t id, std::initializer_list<int> kinds) {
  std::string sig;
  for (int kind : kinds) {
    TItemList links;
    db.ReadLinks(id, kind, links);
    links.Sort();
    sig += std::to_string(kind) + ':';
    for (int32_t i = 0; i < links.Count(); ++i) sig += std::to_string(links.Get(i)) + ',';
    sig += ';';
  }
  return sig;
}

std::string AddCounts(const std::string& a, const std::string& b) {
  return std::to_string(static_cast<long long>(StrToPosInt(a)) + StrToPosInt(b));
}

// The absorbed key's pieces stay in the cabinets they hang in: its count and total at each
// cabinet join the survivor's there (a value neither had stays empty), and its hook number
// is taken where the survivor has none.
void MergeCabinetRows(TMiniDB& db, int32_t survivor, int32_t absorbed) {
  TItemList cabinets;
  db.ReadLinks(absorbed, icCabinet, cabinets);
  for (int32_t i = 0; i < cabinets.Count(); ++i) {
    const int32_t cabinet = cabinets.Get(i);
    if (!db.ReadHasLink(survivor, icCabinet, cabinet))
      db.AddLinkBoth(survivor, cabinet, icCabinet, icKey);
    for (const char* counter : {fkCabinetStock, fkCabinetOwned}) {
      const std::string mine = Trim(db.ReadLinkValue(survivor, cabinet, counter));
      const std::string theirs = Trim(db.ReadLinkValue(absorbed, cabinet, counter));
      if (theirs.empty()) continue;
      db.SetLinkValue(survivor, cabinet, counter, AddCounts(mine, theirs));
    }
    const std::string hook = db.ReadLinkValue(absorbed, cabinet, "po");
    if (!hook.empty() && db.ReadLinkValue(survivor, cabinet, "po").empty())
      db.SetLinkValue(survivor, cabinet, "po", hook);
  }
}

// Groups the candidates by closing and links; the first of each group (lowest ID) absorbs
// the others.
template <class Absorb>
int MergeBySignature(TMiniDB& db, TBulkWrite& run, const std::vector<int32_t>& candidates,
                     std::initializer_list<int> kinds, Absorb absorb) {
  std::map<std::string, std::vector<int32_t>> groups;
  for (int32_t id : candidates)
    groups[db.ReadLineField(id, "k603") + '\x01' + LinkSignature(db, id, kinds)].push_back(id);
  std::vector<std::pair<int32_t, std::vector<int32_t>>> plan;
  for (auto& [sig, ids] : groups) {
    if (ids.size() < 2) continue;
    std::sort(ids.begin(), ids.end());
    plan.emplace_back(ids.front(), std::vector<int32_t>(ids.begin() + 1, ids.end()));
  }
  std::vector<int32_t> gone;
  for (const auto& [survivor, absorbed] : plan) {
    for (int32_t id : absorbed) absorb(survivor, id);
    db.SetField(survivor, fkName, db.ReadLineField(survivor, "k603"));
    db.DeleteField(survivor, fkSecondName);
    gone.insert(gone.end(), absorbed.begin(), absorbed.end());
  }
  return gone.empty() ? 0 : DeleteRecords(db, run, gone);
}

}  // namespace

int MergeKeys(TMiniDB& db, TKeySystemCode code, bool quiet, const TBulkProgress& progress) {
  if (code == ksNone) return 0;
  return InBulkRun(db, rtKeys, quiet, progress, [&](TBulkWrite& run) {
    TItemList keys;
    GetItemsOfClassInSystem(db, icKey, code, keys);
    std::vector<int32_t> candidates;
    for (int32_t i = 0; i < keys.Count(); ++i) {
      const int32_t key = keys.Get(i);
      if (!db.ReadLineField(key, fkHolders).empty()) continue;
      if (db.ReadLineField(key, fkTotal).empty() || db.ReadLineField(key, fkStock).empty()) continue;
      if (db.ReadLinkCount(key, 10) > 0 || db.ReadLinkCount(key, 11) > 0) continue;
      if (Trim(db.ReadLineField(key, "k603")).empty()) continue;
      candidates.push_back(key);
    }
    return MergeBySignature(db, run, candidates, {icCabinet, icCylinder, icGroup, icDoor},
                            [&](int32_t survivor, int32_t id) {
                              db.SetField(survivor, fkTotal,
                                          AddCounts(db.ReadLineField(survivor, fkTotal),
                                                    db.ReadLineField(id, fkTotal)));
                              db.SetField(survivor, fkStock,
                                          AddCounts(db.ReadLineField(survivor, fkStock),
                                                    db.ReadLineField(id, fkStock)));
                              MergeCabinetRows(db, survivor, id);
                            });
  });
}

int MergeCylinders(TMiniDB& db, TKeySystemCode code, bool quiet,
                   const TBulkProgress& progress) {
  if (code == ksNone) return 0;
  // Cylinders are neither persons, keys nor doors: the right for the rest.
  return InBulkRun(db, rtBuildings, quiet, progress, [&](TBulkWrite& run) {
    TItemList cylinders;
    GetItemsOfClassInSystem(db, icCylinder, code, cylinders);
    std::vector<int32_t> candidates;
    for (int32_t i = 0; i < cylinders.Count(); ++i) {
      const int32_t c = cylinders.Get(i);
      if (!db.ReadLineField(c, fkHolders).empty()) continue;
      if (Trim(db.ReadLineField(c, "k603")).empty()) continue;
      candidates.push_back(c);
    }
    return MergeBySignature(db, run, candidates, {icKey, icGroup},
                            [&](int32_t survivor, int32_t id) {
                              db.SetField(survivor, fkCylinderCount,
                                          AddCounts(db.ReadLineField(survivor, fkCylinderCount),
                                                    db.ReadLineField(id, fkCylinderCount)));
                              // The absorbed cylinder's doors are the survivor's now.
                              TItemList doors;
                              db.ReadLinks(id, icDoor, doors);
                              for (int32_t j = 0; j < doors.Count(); ++j)
                                if (!db.ReadHasLink(survivor, icDoor, doors.Get(j)))
                                  db.AddLinkBoth(survivor, doors.Get(j), icDoor, icCylinder);
                            });
  });
}

// ---------------------------------------------------------------------------------------
// The dialog.

namespace {

int& LastSpecialPage() {
  static int page = 0;
  return page;
}

QPushButton* SpecialButton(QWidget* parent, QVBoxLayout* layout, const char* caption,
                           const char* name) {
  auto* b = new QPushButton(ToQString(caption), parent);
  b->setObjectName(name);
  layout->addWidget(b);
  return b;
}

bool Confirmed(const std::string& question) {
  return UI().Ask(TMsgKind::Confirmation, question, TAskButtons::YesNo) == mrYes;
}

void Tell(const std::string& text) { UI().ShowMessage(TMsgKind::Info, text); }

}  // namespace

TSpecialDeleteForm::TSpecialDeleteForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SpecialDeleteForm");
  setWindowTitle(ToQString("Spezialfunktionen"));
  auto* outer = new QVBoxLayout(this);
  WarnLabel = new QLabel(ToQString(SpecialDeleteText(12)), this);
  WarnLabel->setObjectName("WarnLabel");
  WarnLabel->setWordWrap(true);
  WarnLabel->setStyleSheet("color: #C00000; font-weight: bold;");
  SetNoTranslate(WarnLabel);  // from the unit's table, in the user's language already
  outer->addWidget(WarnLabel);
  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  outer->addWidget(PageControl, 1);

  auto page = [this](const char* caption, const char* name) {
    auto* w = new QWidget(PageControl);
    w->setObjectName(name);
    auto* layout = new QVBoxLayout(w);
    PageControl->addTab(w, ToQString(caption));
    return std::make_pair(w, layout);
  };
  auto [deletions, dl] = page("L\xF6schen", "DeletePage");
  DeletePersonsWithoutKeysBtn = SpecialButton(deletions, dl, "Personen ohne Schl\xFCssel l\xF6schen ...",
                                              "DeletePersonsWithoutKeysBtn");
  DeleteAllPersonsBtn = SpecialButton(deletions, dl, "Alle Personen l\xF6schen ...", "DeleteAllPersonsBtn");
  DeleteAllKeysBtn = SpecialButton(deletions, dl, "Alle Schl\xFCssel l\xF6schen ...", "DeleteAllKeysBtn");
  DeleteAllDoorsBtn = SpecialButton(deletions, dl, "Alle T\xFCren l\xF6schen ...", "DeleteAllDoorsBtn");
  dl->addStretch(1);
  auto [moves, ml] = page("Zuordnungen", "AssignPage");
  ChangeKsBtn = SpecialButton(moves, ml, "Schlie\xDF" "anlagen-Zuordnungen \xE4ndern ...", "ChangeKsBtn");
  ChangeCabBtn = SpecialButton(moves, ml, "Schl\xFCssel einem Schl\xFCsselschrank zuordnen ...",
                               "ChangeCabBtn");
  MeldKeysBtn = SpecialButton(moves, ml, "Gleiche Schl\xFCssel zusammenfassen ...", "MeldKeysBtn");
  MeldCylsBtn = SpecialButton(moves, ml, "Gleiche Zylinder zusammenfassen ...", "MeldCylsBtn");
  ml->addStretch(1);
  auto [conversions, cl] = page("Umwandlungen", "ConvertPage");
  ConvertCylsBtn = SpecialButton(conversions, cl, "Zylinder aus den Eingaben bei den T\xFCren erzeugen ...",
                                 "ConvertCylsBtn");
  DoorsToCylsBtn = SpecialButton(conversions, cl, "Zylinder f\xFCr T\xFCren ohne Zylinder anlegen ...",
                                 "DoorsToCylsBtn");
  ConvertKeysBtn = SpecialButton(conversions, cl, "Schl\xFCssel-T\xFCr- in Schl\xFCssel-Zylinder-Schlie\xDF"
                                 "ungen umwandeln ...",
                                 "ConvertKeysBtn");
  ESCylBtn = SpecialButton(conversions, cl, "Einzelschl\xFCssel-Automatik", "ESCylBtn");
  GSBtn = SpecialButton(conversions, cl, "Gruppenschl\xFCssel-Automatik", "GSBtn");
  DelRedundantLinksBtn = SpecialButton(conversions, cl, "Redundante Schlie\xDF" "ungen entfernen",
                                       "DelRedundantLinksBtn");
  cl->addStretch(1);

  auto* foot = new QHBoxLayout;
  foot->addStretch(1);
  CloseBtn = new QPushButton(ToQString("Schlie\xDF" "en"), this);
  CloseBtn->setObjectName("CloseBtn");
  foot->addWidget(CloseBtn);
  outer->addLayout(foot);
  resize(520, 400);

  const std::pair<QPushButton*, void (TSpecialDeleteForm::*)()> handlers[] = {
      {DeletePersonsWithoutKeysBtn, &TSpecialDeleteForm::DeletePersonsWithoutKeysBtnClick},
      {DeleteAllPersonsBtn, &TSpecialDeleteForm::DeleteAllPersonsBtnClick},
      {DeleteAllKeysBtn, &TSpecialDeleteForm::DeleteAllKeysBtnClick},
      {DeleteAllDoorsBtn, &TSpecialDeleteForm::DeleteAllDoorsBtnClick},
      {ChangeKsBtn, &TSpecialDeleteForm::ChangeKsBtnClick},
      {ChangeCabBtn, &TSpecialDeleteForm::ChangeCabBtnClick},
      {MeldKeysBtn, &TSpecialDeleteForm::MeldKeysBtnClick},
      {MeldCylsBtn, &TSpecialDeleteForm::MeldCylsBtnClick},
      {ConvertCylsBtn, &TSpecialDeleteForm::ConvertCylsBtnClick},
      {DoorsToCylsBtn, &TSpecialDeleteForm::DoorsToCylsBtnClick},
      {ConvertKeysBtn, &TSpecialDeleteForm::ConvertKeysBtnClick},
      {ESCylBtn, &TSpecialDeleteForm::ESCylBtnClick},
      {GSBtn, &TSpecialDeleteForm::GSBtnClick},
      {DelRedundantLinksBtn, &TSpecialDeleteForm::DelRedundantLinksBtnClick},
  };
  for (const auto& [button, handler] : handlers)
    connect(button, &QPushButton::clicked, this, [this, handler = handler] { (this->*handler)(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(PageControl, &QTabWidget::currentChanged, this, [](int index) {
    if (index >= 0) LastSpecialPage() = index;
  });
  TranslateForm(this);
}

void TSpecialDeleteForm::Done(int count) {
  if (count <= 0) return;
  changed_ = true;
  RefreshAllFrames();
}

void TSpecialDeleteForm::DeletePersonsWithoutKeysBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtPersons) || !Confirmed(SpecialDeleteText(1))) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = DeletePersonsWithoutKeys(*db, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(2, std::to_string(count)));
  Done(count);
}

void TSpecialDeleteForm::DeleteAll(int cls) {
  TMiniDB* db = SessionDB();
  const std::string caption = ClassCaption(cls, true);
  if (!db || RightDenied(RightOfClass(cls)) || !Confirmed(SpecialDeleteTextFmt(3, caption))) return;
  int count = 0, kept = 0;
  {
    TRunProgress progress(this);
    count = DeleteAllOfClass(*db, cls, false, &kept, progress.Progress());
  }
  if (count < 0) return;
  std::string text = SpecialDeleteTextFmt(4, std::to_string(count) + " " + caption);
  if (kept > 0) text += "\r" + SpecialDeleteTextFmt(15, std::to_string(kept));
  Tell(text);
  Done(count);
}

void TSpecialDeleteForm::DeleteAllPersonsBtnClick() { DeleteAll(icPerson); }
void TSpecialDeleteForm::DeleteAllKeysBtnClick() { DeleteAll(icKey); }
void TSpecialDeleteForm::DeleteAllDoorsBtnClick() { DeleteAll(icDoor); }

void TSpecialDeleteForm::ChangeKsBtnClick() {
  if (ExecuteKsTool()) Done(1);
}

void TSpecialDeleteForm::ChangeCabBtnClick() {
  if (ExecuteCabinetTool()) Done(1);
}

void TSpecialDeleteForm::ConvertCylsBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtDoors)) return;
  // Counted first, without a change: nothing to do asks nothing.
  if (ExtractCylindersFromDoors(*db, false, true) == 0) {
    Tell(SpecialDeleteTextFmt(6, "0"));
    return;
  }
  if (!Confirmed(SpecialDeleteText(5))) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = ExtractCylindersFromDoors(*db, true, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(6, std::to_string(count)));
  // Doors joined to cylinders that were there count as a change too.
  changed_ = true;
  RefreshAllFrames();
}

void TSpecialDeleteForm::ConvertKeysBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtKeys) || !Confirmed(SpecialDeleteText(7))) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = ConvertKeyDoorsToCylinders(*db, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(8, std::to_string(count)));
  Done(count);
}

void TSpecialDeleteForm::DoorsToCylsBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtDoors)) return;
  const int choice = UI().AskButtons(SpecialDeleteText(9), SpecialDeleteText(10),
                                     SpecialDeleteText(11), true, "");
  if (choice != 1 && choice != 2) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = CylindersForDoors(*db, choice == 2, true, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(6, std::to_string(count)));
  Done(count);
}

void TSpecialDeleteForm::ESCylBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtKeys)) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = SingleKeyAutomation(*db, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(16, std::to_string(count)));
  Done(count);
}

void TSpecialDeleteForm::GSBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtKeys)) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = GroupKeyAutomation(*db, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(17, std::to_string(count)));
  Done(count);
}

void TSpecialDeleteForm::DelRedundantLinksBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtBuildings)) return;
  int doors = 0, cylinders = 0;
  {
    TRunProgress progress(this);
    doors = RemoveRedundantLinks(*db, false, &cylinders, progress.Progress());
  }
  if (doors < 0) return;
  Tell(SpecialDeleteTextFmt(13, std::to_string(doors)) + "\r" +
       SpecialDeleteTextFmt(14, std::to_string(cylinders)));
  Done(doors + cylinders);
}

void TSpecialDeleteForm::MeldKeysBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtKeys)) return;
  const TKeySystemCode code = SelectKeySystem(SpecialDeleteText(18));
  if (code == ksNone) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = MergeKeys(*db, code, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(4, std::to_string(count) + " " + ClassCaption(icKey, true)));
  Done(count);
}

void TSpecialDeleteForm::MeldCylsBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db || RightDenied(rtBuildings)) return;
  const TKeySystemCode code = SelectKeySystem(SpecialDeleteText(19));
  if (code == ksNone) return;
  int count = 0;
  {
    TRunProgress progress(this);
    count = MergeCylinders(*db, code, false, progress.Progress());
  }
  if (count < 0) return;
  Tell(SpecialDeleteTextFmt(4, std::to_string(count) + " " + ClassCaption(icCylinder, true)));
  Done(count);
}

bool ShowSpecialFunctions() {
  TSpecialDeleteForm form(WinGlue().MainWindow ? WinGlue().MainWindow.data() : nullptr);
  const int page = LastSpecialPage();
  if (page >= 0 && page < form.PageControl->count()) form.PageControl->setCurrentIndex(page);
  ExecModal(form);
  return form.Changed();
}
