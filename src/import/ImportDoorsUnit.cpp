#include "import/ImportDoorsUnit.h"

#include <map>
#include <unordered_map>
#include <vector>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"

const TMLStringList* ImportDoorsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportDoors", 0);
    t->Add255Obj("T\xFCren-Tabelle importieren", 1);
    t->Add255Obj("Die Angabe \"%1\" ist kein bekanntes Geb\xE4ude.#13#Der Import wird nicht gestartet.",
                 2);
    t->Add255Obj("Die Angabe \"%1\" ist kein bekanntes Schlie\xDFsystem.#13#Der Import wird nicht "
                 "gestartet.",
                 3);
    t->Add255Obj("T\xFCr", 4);
    t->Add255Obj("Position", 5);
    t->Add255Obj("Zyl-L\xE4nge", 6);
    t->Add255Obj("Stockwerk", 7);
    t->Add255Obj("Raum", 8);
    t->Add255Obj("Die T\xFCr aus Zeile %1 konnte nicht angelegt werden.#13#Es wurde nichts "
                 "importiert.",
                 9);
    return t;
  }();
  return table;
}
std::string ImportDoorsText(int number) { return GetMLText(ImportDoorsTexts(), number); }
std::string ImportDoorsTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(ImportDoorsTexts(), number, argument);
}

namespace {

std::string RefCell(const std::string& cell) { return cell == "-" ? std::string() : cell; }

// Valid buildings by trimmed upper-case name (the first of a name counts).
class TBuildingIndex {
 public:
  explicit TBuildingIndex(const TMiniDB& db) {
    TItemList list;
    db.ListClassValid(icBuilding, list);
    for (int32_t i = 0; i < list.Count(); ++i)
      ids_.emplace(AnsiUpperCase(Trim(db.ReadLineField(list.Get(i), fkName))), list.Get(i));
  }
  // 0 for an empty cell or "-"; -1 for an unknown name.
  int32_t Find(const std::string& cell) const {
    const std::string wanted = AnsiUpperCase(Trim(RefCell(cell)));
    if (wanted.empty()) return 0;
    auto it = ids_.find(wanted);
    return it == ids_.end() ? -1 : it->second;
  }

 private:
  std::unordered_map<std::string, int32_t> ids_;
};

// Valid doors by building (0: doors without a building) and normalised name.
class TDoorIndex : public TScopedNameIndex {
 public:
  explicit TDoorIndex(const TMiniDB& db) {
    TItemList doors;
    db.ListClassValid(icDoor, doors);
    for (int32_t i = 0; i < doors.Count(); ++i) {
      const int32_t door = doors.Get(i);
      const std::string name = db.ReadLineField(door, fkName);
      TItemList buildings;
      db.ReadLinks(door, icBuilding, buildings);
      if (buildings.Count() == 0) Add(0, name, door);
      for (int32_t b = 0; b < buildings.Count(); ++b) Add(buildings.Get(b), name, door);
    }
  }
};

}  // namespace

TFixedImportCheck PlanDoorsCheck(const TMiniDB& db, const std::vector<TFixedImportRow>& rows) {
  TFixedImportCheck check;
  const TBuildingIndex buildings(db);
  const TDoorIndex doors(db);
  for (const TFixedImportRow& row : rows) {
    const std::string& name = row.Cell(0);
    if (name.empty()) continue;
    const int32_t building = buildings.Find(row.Cell(1));
    if (building < 0) {
      check.error = ImportDoorsTextFmt(2, row.Cell(1));
      return check;
    }
    bool known = true;
    ImportSystemCode(db, row.Cell(2), known);
    if (!known) {
      check.error = ImportDoorsTextFmt(3, row.Cell(2));
      return check;
    }
    if (doors.Find(building, name) > 0) {
      if (check.existing.size() < 4)
        check.existing.push_back(name);
      else if (check.existing.size() == 4)
        check.existing.push_back("...");
    }
  }
  return check;
}

bool CheckDoorsImport(const TMiniDB& db, const std::vector<TFixedImportRow>& rows) {
  return AskFixedImportCheck(PlanDoorsCheck(db, rows));
}

TFixedImportOutcome ImportDoorsTable(TMiniDB& db, const std::vector<TFixedImportRow>& rows,
                                     const TBulkProgress& progress,
                                     const std::function<void()>& afterSave) {
  TFixedImportOutcome out;
  db.Load();
  if (!CheckDoorsImport(db, rows)) return out;
  {
    TBulkWrite run(db);
    if (!run.Ok()) {
      TellImportRefused(db, run.Blocking());
      out.result = TFixedImportResult::Refused;
      return out;
    }
    run.SetProgress(progress);
    const TBuildingIndex buildings(db);
    TDoorIndex doors(db);
    std::unordered_map<std::string, std::pair<TKeySystemCode, bool>> systems;
    // The buildings' side of the new doors' links, written once per building at the end:
    // adding them one by one would rewrite a growing door list for every door.
    std::map<int32_t, std::vector<int32_t>> owed;
    const int64_t total = static_cast<int64_t>(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i % 8 == 0 && !run.Step(static_cast<int64_t>(i), total)) break;
      const TFixedImportRow& row = rows[i];
      const std::string& name = row.Cell(0);
      if (name.empty()) continue;
      // Judged again on the fresh data: a building or system another station removed or
      // renamed while the question stood fails the run rather than leaving doors outside it.
      auto refuse = [&](const std::string& message) {
        run.Rollback();
        UI().ShowMessage(TMsgKind::Error, message);
        out.result = TFixedImportResult::Failed;
        out.created = 0;
        out.skipped = 0;
        return out;
      };
      const int32_t building = buildings.Find(row.Cell(1));
      if (building < 0) return refuse(ImportDoorsTextFmt(2, row.Cell(1)));
      auto sys = systems.find(row.Cell(2));
      if (sys == systems.end()) {
        bool known = true;
        const TKeySystemCode code = ImportSystemCode(db, row.Cell(2), known);
        sys = systems.emplace(row.Cell(2), std::make_pair(code, known)).first;
      }
      if (!sys->second.second) return refuse(ImportDoorsTextFmt(3, row.Cell(2)));
      if (doors.Find(building, name) > 0) {
        ++out.skipped;
        continue;
      }
      const int32_t door = db.NewRecord(icDoor);
      if (door <= 0) {
        run.Rollback();
        UI().ShowMessage(TMsgKind::Error, ImportDoorsTextFmt(9, std::to_string(row.line)));
        out.result = TFixedImportResult::Failed;
        out.created = 0;
        return out;
      }
      db.SetField(door, fkName, name);
      if (sys->second.first != ksNone)
        db.SetField(door, fkKeySystem, std::to_string(sys->second.first));
      const std::pair<int, const char*> fields[] = {
          {3, "pos"}, {4, "cyl"}, {5, fkLength}, {7, "flr"}, {8, fkRoom}};
      for (const auto& [col, key] : fields)
        if (!row.Cell(col).empty()) db.SetField(door, key, row.Cell(col));
      const std::string remark = ImportRemarkText(row.Cell(6));
      if (!remark.empty()) db.SetField(door, fkRemark, remark);
      if (building > 0) {
        db.AddLink(door, building, icBuilding);
        owed[building].push_back(door);
      }
      doors.Add(building, name, door);
      ++out.created;
    }
    if (run.Cancelled()) {
      run.Rollback();
      out.result = TFixedImportResult::Cancelled;
      out.created = 0;
      return out;
    }
    for (const auto& [building, ids] : owed) db.AddNewLinks(building, ids, icDoor);
    const TBulkResult result = run.Commit();
    if (result != TBulkResult::Saved) {
      out.result = result == TBulkResult::Cancelled ? TFixedImportResult::Cancelled
                                                    : TFixedImportResult::Failed;
      out.created = 0;
      return out;
    }
  }
  out.result = TFixedImportResult::Done;
  if (afterSave) afterSave();
  return out;
}
