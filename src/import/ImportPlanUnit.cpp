#include "import/ImportPlanUnit.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportJournalUnit.h"
#include "import/ImportPlanRecogUnit.h"
#include "import/ImportTable.h"

const TMLStringList* ImportPlanTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportPlan", 0);
    t->Add255Obj("Es fehlt eine Spalte, die f\xFCr die gew\xFCnschte Benennung der Zylinder "
                 "erforderlich ist.",
                 1);
    t->Add255Obj("Die Angabe \"%1\" ist kein bekanntes Geb\xE4ude.#13#Soll das Geb\xE4ude jetzt "
                 "angelegt werden?",
                 2);
    t->Add255Obj("Neue T\xFCr angelegt:", 3);
    t->Add255Obj("Position:", 4);
    t->Add255Obj("Neuer Zylinder angelegt:", 5);
    t->Add255Obj("Mehrere bereits vorhandene T\xFCren mit gleicher Position %1 gefunden.", 6);
    t->Add255Obj("Mehrere bereits vorhandene Zylinder mit gleicher Position %1 gefunden.", 7);
    t->Add255Obj("Der Schlie\xDFplan wurde nicht importiert, es wurde nichts gespeichert.", 8);
    return t;
  }();
  return table;
}

std::string ImportPlanText(int number) { return GetMLText(ImportPlanTexts(), number); }

int KeyTypeFromPlanText(const std::string& text) {
  const std::string word = text.substr(0, text.find(' '));
  if (word == "E" || word == "ES") return 1;
  if (word == "GS") return 2;
  if (word == "GHS") return 5;
  if (word == "I") return 8;
  if (word == "M") return 9;
  return 0;
}

std::string PlanLengthText(bool hasA, const std::string& a, bool hasB, const std::string& b) {
  if (hasA && hasB) {
    const std::string text = (a.empty() ? "-" : a) + " / " + (b.empty() ? "-" : b);
    return text == "- / -" ? std::string() : text;
  }
  if (hasB) return b;
  return hasA ? a : std::string();
}

std::string PlanCylinderName(int mode, const std::string& schliessung, const std::string& length,
                             const std::string& door, const std::string& cylinderCell) {
  switch (mode) {
    case pnmSchliessungLength: return Trim(schliessung + "  " + length);
    case pnmDoor: return door;
    case pnmSchliessungDoor: return Trim(schliessung + "  " + door);
    case pnmCylinderColumn: return cylinderCell;
    default: return std::string();
  }
}

namespace {

std::string Upper(const std::string& s) { return AnsiUpperCase(s); }

void MakeValid(TMiniDB& db, int32_t id) {
  if (!db.IsValid(id)) db.DeleteField(id, "v");
}

// The run's view of the store: doors, cylinders, keys and groups by what the lookups seek,
// built once per run and kept up to date as records are created, so a plan of thousands
// of rows and hundreds of key columns does not walk the store per cell.
class TPlanIndex {
 public:
  TPlanIndex(TMiniDB& db, int32_t keySystem) : db_(db), ks_(keySystem) {
    TItemList list;
    db_.ListClassValid(icDoor, list);
    for (int32_t i = 0; i < list.Count(); ++i) AddDoor(list.Get(i));
    list.Clear();
    db_.ListClassValid(icCylinder, list);
    for (int32_t i = 0; i < list.Count(); ++i)
      if (db_.ReadKeySystem(list.Get(i)) == ks_) AddCylinder(list.Get(i));
    list.Clear();
    db_.ListClassValid(icKey, list);
    for (int32_t i = 0; i < list.Count(); ++i)
      if (db_.ReadKeySystem(list.Get(i)) == ks_)
        keys_.emplace(Upper(db_.ReadName(list.Get(i))), list.Get(i));
    list.Clear();
    db_.ListClass(icGroup, list);  // deleted ones too
    for (int32_t i = 0; i < list.Count(); ++i)
      if (db_.ReadKeySystem(list.Get(i)) == ks_) AddGroup(list.Get(i));
  }

  void AddDoor(int32_t id) {
    doorsByName_[Upper(db_.ReadName(id))].push_back(id);
    doorsByPos_[db_.ReadLineField(id, "pos")].push_back(id);
  }
  void AddCylinder(int32_t id) {
    cylsByPos_[db_.ReadLineField(id, "pos")].push_back(id);
    cylsByName_.emplace(CylKey(db_.ReadName(id), db_.ReadLineField(id, fkLength),
                               db_.ReadLineField(id, "ctyp")),
                        id);
  }
  void AddKey(int32_t id, const std::string& name) { keys_.emplace(Upper(name), id); }
  void AddGroup(int32_t id) {
    groupsByK702_.emplace(db_.ReadLineField(id, "k702"), id);
    groupsByName_.emplace(Upper(db_.GetDisplayName(id)), id);
  }

  static std::string CylKey(const std::string& name, const std::string& len,
                            const std::string& type) {
    return Upper(name) + '\x01' + NormalizeSearchText(len) + '\x01' + Upper(type);
  }

  // The door of that name or position in the building (0: doors without a building); while
  // a building is given, the last such door without any building when none is in it.
  // Duplicate positions count among the doors the lookup may match.
  int32_t FindDoor(const std::string& text, bool byPosition, int32_t building,
                   std::string& error) const {
    const auto& map = byPosition ? doorsByPos_ : doorsByName_;
    auto it = map.find(byPosition ? text : Upper(text));
    if (it == map.end()) return 0;
    int32_t match = 0;
    int32_t loose = 0;
    for (int32_t door : it->second) {
      if (!db_.IsValid(door)) continue;
      const int32_t in = GetBuildingOf(db_, door);
      if (in == building) {
        if (!byPosition) return door;
        if (match) {
          error = GetMLTextFmt(ImportPlanTexts(), 6, text) + "\r" + db_.GetDisplayName(match) +
                  "\r" + db_.GetDisplayName(door);
          return 0;
        }
        match = door;
      } else if (building != 0 && in == 0) {
        loose = door;
      }
    }
    return match ? match : loose;
  }

  int32_t FindCylinderByPosition(const std::string& pos, std::string& error) const {
    auto it = cylsByPos_.find(pos);
    if (it == cylsByPos_.end()) return 0;
    int32_t match = 0;
    for (int32_t cyl : it->second) {
      if (!db_.IsValid(cyl) || db_.ReadLineField(cyl, "pos") != pos) continue;
      if (match && match != cyl) {
        error = GetMLTextFmt(ImportPlanTexts(), 7, pos) + "\r" + db_.GetDisplayName(match) +
                "\r" + db_.GetDisplayName(cyl);
        return 0;
      }
      match = cyl;
    }
    return match;
  }

  int32_t FindCylinder(const std::string& name, const std::string& len,
                       const std::string& type) const {
    auto it = cylsByName_.find(CylKey(name, len, type));
    return it == cylsByName_.end() ? 0 : it->second;
  }

  int32_t FindKey(const std::string& name) const {
    if (name.empty()) return 0;
    auto it = keys_.find(Upper(name));
    return it == keys_.end() ? 0 : it->second;
  }

  int32_t FindOrCreateGroup(const std::string& name) {
    auto a = groupsByK702_.find(name);
    auto b = groupsByName_.find(Upper(name));
    int32_t found = 0;
    if (a != groupsByK702_.end()) found = a->second;
    if (b != groupsByName_.end() && (!found || b->second < found)) found = b->second;
    if (found) {
      MakeValid(db_, found);
      return found;
    }
    const int32_t id = db_.NewNamedRecord(icGroup, name, "");
    db_.SetField(id, fkKeySystem, std::to_string(ks_));
    db_.SetField(id, "k702", name);
    AddGroup(id);
    return id;
  }

 private:
  TMiniDB& db_;
  int32_t ks_;
  // Lists in ID order (the store lists by ID; new records have higher IDs).
  std::unordered_map<std::string, std::vector<int32_t>> doorsByName_;
  std::unordered_map<std::string, std::vector<int32_t>> doorsByPos_;
  std::unordered_map<std::string, std::vector<int32_t>> cylsByPos_;
  std::unordered_map<std::string, int32_t> cylsByName_;  // the first of each
  std::unordered_map<std::string, int32_t> keys_;
  std::unordered_map<std::string, int32_t> groupsByK702_;
  std::unordered_map<std::string, int32_t> groupsByName_;
};

// What one row of the cylinder table says.
struct TPlanRow {
  std::string pos, door, room, roomNo, single, keyCount, cylinder, cylCount, type, schliessung,
      lenA, lenB, surface, building, floor, keyRemark, cylRemark, doorRemark;
};

class TPlanRun {
 public:
  TPlanRun(TMiniDB& db, const TImportTable& grid, const TPlanRecognition& rec,
           const TPlanImportOptions& o, const std::map<std::string, int32_t>& buildings,
           TPlanImportReport& report)
      : db_(db), grid_(grid), rec_(rec), o_(o), index_(db, o.keySystem), buildings_(buildings),
        report_(report) {}

  std::set<int32_t> created;  // records the run made

  std::string Cell(int field, int32_t row) const {
    const int32_t c = rec_.Col(field);
    return c >= 1 ? Trim(grid_.Cell(c, row)) : std::string();
  }
  bool Has(int field) const { return rec_.Col(field) >= 1; }

  // False on an error (in report_.error).
  bool Row(int32_t row) {
    TPlanRow r;
    r.pos = Cell(pcfPosition, row);
    r.door = Cell(pcfDoor, row);
    r.room = Cell(pcfRoom, row);
    r.roomNo = Cell(pcfRoomNumber, row);
    r.single = Cell(pcfSingleKey, row);
    r.keyCount = Cell(pcfKeyCount, row);
    r.cylinder = Cell(pcfCylinder, row);
    r.cylCount = Cell(pcfCylinderCount, row);
    r.type = Cell(pcfCylinderType, row);
    r.schliessung = Cell(pcfSchliessung, row);
    r.lenA = Cell(pcfLengthA, row);
    r.lenB = Cell(pcfLengthB, row);
    r.surface = Cell(pcfSurface, row);
    r.building = Cell(pcfBuilding, row);
    r.floor = Cell(pcfFloor, row);
    r.keyRemark = Cell(pcfKeyRemark, row);
    r.cylRemark = Cell(pcfCylinderRemark, row);
    r.doorRemark = Cell(pcfDoorRemark, row);

    int32_t door = 0;
    if (Has(pcfDoor) && !r.door.empty() && !DoDoor(r, door)) return false;
    int32_t cyl = 0;
    if (!DoCylinder(r, cyl)) return false;
    int32_t key = 0;
    if (Has(pcfSingleKey) && !r.single.empty()) key = DoSingleKey(r);

    if (cyl) rowCylinder_[row] = cyl;
    if (door && cyl) ReplaceCylinderOfDoor(door, cyl);
    if (cyl && key) db_.AddLinkBoth(cyl, key, icKey, icCylinder);
    if (!cyl && door && key) db_.AddLinkBoth(door, key, icKey, icDoor);
    return true;
  }

  void KeyColumn(int32_t col, int32_t firstRow, int32_t lastRow) {
    const int32_t gkRow = rec_.Row(prfGroupKey);
    const int32_t groupRow = rec_.Row(prfGroup);
    const int32_t countRow = rec_.Row(prfGroupKeyCount);
    const int32_t typeRow = rec_.Row(prfKeyType);
    auto cell = [&](int32_t row) { return row >= 1 ? Trim(grid_.Cell(col, row)) : std::string(); };

    std::string name = cell(gkRow);
    const std::string groupCell = cell(groupRow);
    if (groupRow >= 1 && groupRow != gkRow && !groupCell.empty()) name += " - " + groupCell;
    const int32_t count = std::max(0, StrToIntZero(cell(countRow)));
    int32_t key = index_.FindKey(name);
    if (!key && !name.empty()) {
      const bool skipZero = countRow >= 1 && count == 0 && o_.ignoreZero;
      const bool skipDot = name == "." && count == 0;
      if (!skipZero && !skipDot) {
        key = db_.NewNamedRecord(icKey, name, "");
        created.insert(key);
        db_.SetField(key, fkKeySystem, std::to_string(o_.keySystem));
        index_.AddKey(key, name);
        ++report_.keys;
      }
    }
    if (key) {
      MakeValid(db_, key);
      if (count > 0) db_.SetField(key, "imptotal", std::to_string(count));
      if (db_.ReadLineField(key, fkKeyType).empty()) {
        int type = typeRow >= 1 ? KeyTypeFromPlanText(cell(typeRow)) : 0;
        if (!type) type = KeyTypeFromPlanText(Upper(name));
        if (!type) type = 2;
        db_.SetField(key, fkKeyType, std::to_string(type));
      }
    }
    std::string groupName = groupRow >= 1 ? groupCell : std::string();
    if (groupName.empty() && key && StrToIntZero(db_.ReadLineField(key, fkKeyType)) == 2)
      groupName = db_.ReadName(key);
    const int32_t group = groupName.empty() ? 0 : index_.FindOrCreateGroup(groupName);
    if (!group && !key) return;
    if (group && key) db_.AddLinkBoth(group, key, icKey, icGroup);
    if (!group && StrToIntZero(db_.ReadLineField(key, fkKeyType)) == 5) return;
    const int32_t target = group ? group : key;
    const int targetClass = group ? icGroup : icKey;
    for (int32_t row = firstRow; row <= lastRow; ++row) {
      auto it = rowCylinder_.find(row);
      if (it == rowCylinder_.end()) continue;
      if (LockMarkOf(grid_.Cell(col, row)) != 1) continue;
      db_.AddLinkBoth(it->second, target, targetClass, icCylinder);
    }
  }

 private:
  bool DoDoor(const TPlanRow& r, int32_t& door) {
    int32_t building = o_.building;
    if (Has(pcfBuilding) && !r.building.empty() && r.building != "-") {
      building = FindBuildingByName(db_, r.building);
      if (!building) {
        auto it = buildings_.find(Upper(Trim(r.building)));
        if (it == buildings_.end()) return false;  // asked before the run: cannot happen
        building = it->second ? it->second : Created(it->first, r.building);
      }
    }
    std::string error;
    const bool byPos = o_.seekByPosition && !r.pos.empty();
    door = index_.FindDoor(byPos ? r.pos : r.door, byPos, building, error);
    if (!error.empty()) {
      report_.error = error;
      return false;
    }
    if (!door) {
      if (Has(pcfCylinderCount) && StrToIntZero(r.cylCount) <= 0 && o_.ignoreZero) return true;
      door = db_.NewNamedRecord(icDoor, r.door, "");
      created.insert(door);
      index_.AddDoor(door);
      ++report_.doors;
      if (o_.reportNew)
        report_.news.push_back(ImportPlanText(3) + "\r" + r.door + "\r" + ImportPlanText(4) + " " +
                               r.pos);
    }
    MakeValid(db_, door);
    if (Has(pcfPosition)) db_.SetField(door, "pos", r.pos);
    db_.SetFieldIfEmpty(door, "rom", r.room);
    db_.SetFieldIfEmpty(door, "romn", r.roomNo);
    db_.SetFieldIfGiven(door, "flr", r.floor);
    if (!r.doorRemark.empty()) AddRemarkLines(db_, door, r.doorRemark);
    if (building && GetBuildingOf(db_, door) == 0) db_.AddLinkBoth(door, building, icBuilding, icDoor);
    return true;
  }

  int32_t Created(const std::string& upper, const std::string& name) {
    auto it = created_.find(upper);
    if (it != created_.end()) return it->second;
    const int32_t id = db_.NewNamedRecord(icBuilding, Trim(name), "");
    created_[upper] = id;
    return id;
  }

  bool DoCylinder(const TPlanRow& r, int32_t& cyl) {
    const std::string len = PlanLengthText(Has(pcfLengthA), r.lenA, Has(pcfLengthB), r.lenB);
    const std::string name = PlanCylinderName(o_.namingMode, r.schliessung, len, r.door, r.cylinder);
    if (name.empty()) return true;
    const int32_t count = std::max(0, StrToIntZero(r.cylCount));
    if (o_.seekByPosition && !r.pos.empty()) {
      std::string error;
      cyl = index_.FindCylinderByPosition(r.pos, error);
      if (!error.empty()) {
        report_.error = error;
        return false;
      }
    } else {
      cyl = index_.FindCylinder(name, len, r.type);
    }
    if (!cyl) {
      if (count == 0 && o_.ignoreZero) return true;
      cyl = db_.NewNamedRecord(icCylinder, name, "");
      created.insert(cyl);
      db_.SetField(cyl, fkKeySystem, std::to_string(o_.keySystem));
      ++report_.cylinders;
      if (o_.reportNew)
        report_.news.push_back(ImportPlanText(5) + "\r" + name + "\r" + ImportPlanText(4) + " " +
                               r.pos);
    }
    MakeValid(db_, cyl);
    if (Has(pcfPosition)) db_.SetField(cyl, "pos", r.pos);
    db_.SetFieldIfGiven(cyl, "ctyp", r.type);
    db_.SetFieldIfGiven(cyl, "ofl", r.surface);
    db_.SetFieldIfGiven(cyl, "k603", r.schliessung);
    db_.SetFieldIfGiven(cyl, fkLength, len);
    if (!r.cylRemark.empty()) AddRemarkLines(db_, cyl, r.cylRemark);
    if (count > 0) AddCount(cyl, count);
    index_.AddCylinder(cyl);
    return true;
  }

  int32_t DoSingleKey(const TPlanRow& r) {
    const int32_t count = std::max(0, StrToIntZero(r.keyCount));
    int32_t key = index_.FindKey(r.single);
    if (!key) {
      if (count == 0 && o_.ignoreZero) return 0;
      key = db_.NewNamedRecord(icKey, r.single, "");
      created.insert(key);
      db_.SetField(key, fkKeySystem, std::to_string(o_.keySystem));
      db_.SetField(key, fkKeyType, "1");
      index_.AddKey(key, r.single);
      ++report_.keys;
    }
    MakeValid(db_, key);
    if (Has(pcfPosition)) db_.SetField(key, "pos", r.pos);
    db_.SetFieldIfGiven(key, "k603", r.schliessung);
    if (!r.keyRemark.empty()) AddRemarkLines(db_, key, r.keyRemark);
    if (count > 0) AddCount(key, count);
    return key;
  }

  void AddCount(int32_t id, int32_t count) {
    const int32_t before = o_.addCounts ? StrToIntZero(db_.ReadLineField(id, "imptotal")) : 0;
    db_.SetField(id, "imptotal", std::to_string(before + count));
  }

  // The door keeps one cylinder: the row's.
  void ReplaceCylinderOfDoor(int32_t door, int32_t cyl) {
    TItemList old;
    db_.ReadLinks(door, icCylinder, old);
    for (int32_t i = 0; i < old.Count(); ++i)
      if (old.Get(i) != cyl) db_.RemoveLinkBoth(door, old.Get(i), icCylinder, icDoor);
    if (!db_.ReadHasLink(door, icCylinder, cyl)) db_.AddLinkBoth(door, cyl, icCylinder, icDoor);
  }

  TMiniDB& db_;
  const TImportTable& grid_;
  const TPlanRecognition& rec_;
  const TPlanImportOptions& o_;
  TPlanIndex index_;
  const std::map<std::string, int32_t>& buildings_;
  std::map<std::string, int32_t> created_;
  TPlanImportReport& report_;
  std::unordered_map<int32_t, int32_t> rowCylinder_;
};

}  // namespace

TPlanImportReport RunPlanImportRows(TMiniDB& db, const TImportTable& grid,
                                    const TPlanRecognition& rec, const TPlanImportOptions& options,
                                    const TBulkProgress& progress) {
  TPlanImportReport report;
  // The naming mode's column.
  const int needed = options.namingMode == pnmDoor             ? pcfDoor
                     : options.namingMode == pnmCylinderColumn ? pcfCylinder
                                                               : pcfSchliessung;
  if (rec.Col(needed) < 1) {
    ShowError(ImportPlanText(1));
    report.result = TPlanSheetResult::MissingColumn;
    return report;
  }
  const int32_t firstRow = std::max(rec.firstDataRow, 1);
  const int32_t lastRow = grid.RowCount() - 1;

  // Unknown buildings are asked about now, while nobody waits for the store.
  std::map<std::string, int32_t> buildings;  // upper-case name -> 0: create in the run
  if (rec.Col(pcfBuilding) >= 1 && rec.Col(pcfDoor) >= 1) {
    for (int32_t row = firstRow; row <= lastRow; ++row) {
      const std::string name = Trim(grid.Cell(rec.Col(pcfBuilding), row));
      if (name.empty() || name == "-" || Trim(grid.Cell(rec.Col(pcfDoor), row)).empty()) continue;
      const std::string upper = Upper(name);
      if (buildings.count(upper) || FindBuildingByName(db, name)) continue;
      if (AskYesCancel(GetMLTextFmt(ImportPlanTexts(), 2, name)) != mrYes) {
        report.result = TPlanSheetResult::Refused;
        return report;
      }
      buildings[upper] = 0;
    }
  }

  TBulkWrite run(db);
  if (!run.Ok()) {
    if (run.Blocking().empty() || run.Blocking() == "*")
      ShowError(CoreText(27));
    else
      db.ShowExclusiveDenied(run.Blocking());
    report.result = TPlanSheetResult::Refused;
    return report;
  }
  run.SetProgress(progress);
  const int32_t firstKeyCol = rec.firstKeyCol;
  const int32_t lastCol = grid.ColCount() - 1;
  const int64_t total = std::max(0, lastRow - firstRow + 1) +
                        (firstKeyCol >= 1 ? std::max(0, lastCol - firstKeyCol + 1) : 0);
  int64_t done = 0;
  TPlanRun plan(db, grid, rec, options, buildings, report);
  bool ok = true;
  for (int32_t row = firstRow; row <= lastRow && ok; ++row) {
    if (++done % 8 == 0 && !run.Step(done, total)) break;
    ok = plan.Row(row);
  }
  if (ok && !run.Cancelled() && firstKeyCol >= 1) {
    for (int32_t col = firstKeyCol; col <= lastCol; ++col) {
      if (++done % 8 == 0 && !run.Step(done, total)) break;
      plan.KeyColumn(col, firstRow, lastRow);
    }
  }
  if (!ok) {
    // A plan arrives whole or not at all.
    run.Rollback();
    ShowError(report.error + "\r\r" + ImportPlanText(8));
    report.news.clear();
    report.result = TPlanSheetResult::Failed;
    return report;
  }
  if (run.Cancelled()) {
    run.Rollback();
    report.news.clear();
    report.result = TPlanSheetResult::Cancelled;
    return report;
  }
  TImportImportantList journal;
  JournalImportedTotals(db, plan.created, journal);
  ApplyImportedKeyTotals(db);
  ApplyImportedCylinderTotals(db);
  if (run.Commit() != TBulkResult::Saved) {
    ShowError(ImportPlanText(8));
    report.news.clear();
    report.result = TPlanSheetResult::Failed;
    return report;
  }
  report.result = TPlanSheetResult::Done;
  if (options.writeJournal && !journal.Empty())
    report.journalFile = WriteImportJournal(ImportSummaryTable(journal), options.journalFolder);
  db.RefreshAllNames();
  if (!report.news.empty()) {
    std::string text;
    for (const std::string& n : report.news) text += (text.empty() ? "" : "\r\r") + n;
    ShowInfo(text);
  }
  ShowImportDoneNote();
  return report;
}

void JournalImportedTotals(TMiniDB& db, const std::set<int32_t>& created,
                           TImportImportantList& list) {
  for (int cls : {icKey, icCylinder}) {
    TItemList items;
    db.ListClass(cls, items);
    for (int32_t i = 0; i < items.Count(); ++i) {
      const int32_t id = items.Get(i);
      const std::string imported = db.ReadLineField(id, "imptotal");
      if (imported.empty()) continue;
      TQStringList entry;
      ImportRowQuery(entry, cls, db.ReadName(id), db.ReadLineField(id, "pos"));
      if (created.count(id)) {
        SetAbsCount(entry, imported);
      } else {
        const std::string old =
            db.ReadLineField(id, cls == icKey ? fkTotal : fkCylinderCount);
        const int32_t diff = StrToIntZero(imported) - StrToIntZero(old);
        if (diff == 0) continue;
        entry.SetValue("AbsCnt", imported);
        entry.SetValue("CntDiff", std::to_string(diff));
        entry.SetValue("Important", "1");
      }
      MarkImportant(entry, list);
    }
  }
}

int32_t FindPlanDoor(TMiniDB& db, const std::string& nameOrPosition, bool byPosition,
                     int32_t building, std::string& error) {
  TPlanIndex index(db, 0);
  return index.FindDoor(nameOrPosition, byPosition, building, error);
}

int32_t FindPlanKeyByName(const TMiniDB& db, int32_t keySystem, const std::string& name) {
  if (name.empty()) return 0;
  const std::string upper = Upper(name);
  TItemList keys;
  db.ListClassValid(icKey, keys);
  for (int32_t i = 0; i < keys.Count(); ++i)
    if (db.ReadKeySystem(keys.Get(i)) == keySystem && Upper(db.ReadName(keys.Get(i))) == upper)
      return keys.Get(i);
  return 0;
}

int32_t FindOrCreatePlanGroup(TMiniDB& db, int32_t keySystem, const std::string& name) {
  TPlanIndex index(db, keySystem);
  return index.FindOrCreateGroup(name);
}
