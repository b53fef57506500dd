#include "import/ImportKeysUnit.h"

#include <unordered_map>
#include <utility>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "import/ImportEngineUnit.h"

const TMLStringList* ImportKeysTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportKeys", 0);
    t->Add255Obj("Schl\xFC" "ssel-Tabelle importieren", 1);
    t->Add255Obj("Die Angabe \"%1\" ist keine bekannte Anlage.#13#Der Import wird nicht gestartet.", 2);
    t->Add255Obj("Die Angabe \"%1\" ist kein bekannter Schl\xFC" "sseltyp (ES, GS, HGS, HS, GHS)."
                 "#13#Der Import wird nicht gestartet.",
                 3);
    t->Add255Obj("Die Angabe \"%1\" ist kein g\xFCltiger Wert f\xFCr die Anzahl.#13#Der Import wird "
                 "nicht gestartet.",
                 4);
    t->Add255Obj("Diese Namen existieren schon:%1Trotzdem starten? (Doppelte werden \xFC" "bersprungen)",
                 5);
    t->Add255Obj("Import l\xE4uft - bitte warten", 6);
    t->Add255Obj("Bezeichnung", 7);
    t->Add255Obj("Schlie\xDF" "anlage", 8);
    t->Add255Obj("Schl\xFC" "sseltyp", 9);
    t->Add255Obj("Gesamtanzahl", 10);
    t->Add255Obj("Bemerkung", 11);
    t->Add255Obj("CSV-Datei \xF6" "ffnen", 12);
    t->Add255Obj("die 1. Zeile in der Datei enth\xE4lt \xDC" "berschriften", 13);
    t->Add255Obj("Importieren", 14);
    t->Add255Obj("Die Datei konnte nicht geladen werden.", 15);
    t->Add255Obj("Der Schl\xFC" "ssel aus Zeile %1 konnte nicht angelegt werden.#13#Es wurde nichts "
                 "importiert.",
                 16);
    return t;
  }();
  return table;
}
std::string ImportKeysText(int number) { return GetMLText(ImportKeysTexts(), number); }
std::string ImportKeysTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(ImportKeysTexts(), number, argument);
}

const std::string& TFixedImportRow::Cell(int col) const {
  static const std::string empty;
  return col >= 0 && static_cast<size_t>(col) < cells.size() ? cells[static_cast<size_t>(col)]
                                                             : empty;
}

namespace {

bool EndsWithUpper(const std::string& text, const std::string& tail) {
  if (tail.size() > text.size()) return false;
  return AnsiUpperCase(text.substr(text.size() - tail.size())) == AnsiUpperCase(tail);
}

// "-" stands for an empty cell in the reference columns.
std::string RefCell(const std::string& cell) { return cell == "-" ? std::string() : cell; }

}  // namespace

std::vector<TFixedImportRow> ParseFixedColumnLines(const std::vector<std::string>& lines,
                                                   int columns, bool skipHeader,
                                                   bool stripSystemSuffix) {
  std::vector<TFixedImportRow> rows;
  char separator = ';';
  for (size_t i = skipHeader ? 1 : 0; i < lines.size(); ++i) {
    // Trimmed at the right end only: a leading TAB is an empty first field.
    std::string line = lines[i];
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.pop_back();
    if (line.find('\t') != std::string::npos) separator = '\t';
    TFixedImportRow row;
    row.line = static_cast<int>(i) + 1;
    row.cells.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) row.cells.push_back(Trim(FetchCsvField(line, separator)));
    if (row.cells.empty() || row.cells[0].empty()) continue;
    if (stripSystemSuffix && row.cells.size() > 2 && !row.cells[2].empty()) {
      const std::string tail = " (" + row.cells[2] + ")";
      if (EndsWithUpper(row.cells[0], tail))
        row.cells[0] = Trim(row.cells[0].substr(0, row.cells[0].size() - tail.size()));
      if (row.cells[0].empty()) continue;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

TKeySystemCode ImportSystemCode(const TMiniDB& db, const std::string& text, bool& known) {
  const std::string wanted = AnsiUpperCase(Trim(RefCell(Trim(text))));
  known = true;
  if (wanted.empty()) return ksNone;
  for (TKeySystemCode code = ksFirstNamed; code <= ksLastNamed; ++code)
    if (AnsiUpperCase(Trim(KeySystemTableName(code))) == wanted) return code;
  TItemList buildings;
  db.ListClassValid(icBuilding, buildings);
  for (int32_t i = 0; i < buildings.Count(); ++i) {
    const int32_t b = buildings.Get(i);
    if (Trim(db.ReadLineField(b, fkKeySystem)) != "1001") continue;
    if (AnsiUpperCase(Trim(db.GetDisplayName(b))) == wanted) return ksBuildingBase + b;
  }
  known = false;
  return ksNone;
}

bool ParseImportCount(const std::string& cell, int32_t& count) {
  count = 0;
  if (cell.empty()) return true;
  if (cell.size() > 9) return false;
  for (char ch : cell)
    if (ch < '0' || ch > '9') return false;
  count = StrToIntZero(cell);
  return true;
}

std::string ImportNameKey(const std::string& name) { return NormalizeName(name); }

namespace {

// Valid keys by locking system and normalised name.
class TKeyIndex : public TScopedNameIndex {
 public:
  explicit TKeyIndex(const TMiniDB& db) {
    TItemList keys;
    db.ListClassValid(icKey, keys);
    for (int32_t i = 0; i < keys.Count(); ++i) {
      const int32_t id = keys.Get(i);
      Add(db.ReadKeySystem(id), db.ReadLineField(id, fkName), id);
    }
  }
};

// Systems by cell text, so a run asks the table once per distinct text.
class TSystemCache {
 public:
  explicit TSystemCache(const TMiniDB& db) : db_(db) {}
  TKeySystemCode Code(const std::string& cell, bool& known) {
    auto it = codes_.find(cell);
    if (it == codes_.end())
      it = codes_.emplace(cell, std::pair<TKeySystemCode, bool>{}).first,
      it->second.first = ImportSystemCode(db_, cell, it->second.second);
    known = it->second.second;
    return it->second.first;
  }

 private:
  const TMiniDB& db_;
  std::unordered_map<std::string, std::pair<TKeySystemCode, bool>> codes_;
};

void CollectExisting(TFixedImportCheck& check, const std::string& name) {
  if (check.existing.size() > 4) return;
  if (check.existing.size() == 4) {
    check.existing.push_back("...");
    return;
  }
  check.existing.push_back(name);
}

}  // namespace

TFixedImportCheck PlanKeysCheck(const TMiniDB& db, const std::vector<TFixedImportRow>& rows) {
  TFixedImportCheck check;
  const TKeyIndex index(db);
  TSystemCache systems(db);
  for (const TFixedImportRow& row : rows) {
    const std::string& name = row.Cell(0);
    if (name.empty()) continue;
    bool known = true;
    const TKeySystemCode code = systems.Code(row.Cell(2), known);
    if (!known) {
      check.error = ImportKeysTextFmt(2, row.Cell(2));
      return check;
    }
    const std::string type = RefCell(row.Cell(3));
    if (!type.empty() && ParseKeyType(type) < 1) {
      check.error = ImportKeysTextFmt(3, row.Cell(3));
      return check;
    }
    int32_t count = 0;
    if (!ParseImportCount(row.Cell(4), count)) {
      check.error = ImportKeysTextFmt(4, row.Cell(4));
      return check;
    }
    if (index.Find(code, name) > 0) CollectExisting(check, name);
  }
  return check;
}

bool AskFixedImportCheck(const TFixedImportCheck& check) {
  if (!check.error.empty()) {
    UI().ShowMessage(TMsgKind::Error, check.error);
    return false;
  }
  if (check.existing.empty()) return true;
  std::string list = "\r";
  for (const std::string& name : check.existing) list += name + "\r";
  return UI().Ask(TMsgKind::Confirmation, ImportKeysTextFmt(5, list), TAskButtons::YesCancel) ==
         mrYes;
}

bool CheckKeysImport(const TMiniDB& db, const std::vector<TFixedImportRow>& rows) {
  return AskFixedImportCheck(PlanKeysCheck(db, rows));
}

void TellImportRefused(TMiniDB& db, const std::string& blocking) {
  if (blocking.empty() || blocking == "*")
    UI().ShowMessage(TMsgKind::Error, CoreText(27));
  else
    db.ShowExclusiveDenied(blocking);
}

TFixedImportOutcome ImportKeysTable(TMiniDB& db, const std::vector<TFixedImportRow>& rows,
                                    const TBulkProgress& progress) {
  TFixedImportOutcome out;
  db.Load();
  if (!CheckKeysImport(db, rows)) return out;
  TBulkWrite run(db);
  if (!run.Ok()) {
    TellImportRefused(db, run.Blocking());
    out.result = TFixedImportResult::Refused;
    return out;
  }
  run.SetProgress(progress);
  // Judged again on the fresh data, by the comparison the question used.
  TKeyIndex index(db);
  TSystemCache systems(db);
  const int64_t total = static_cast<int64_t>(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i % 8 == 0 && !run.Step(static_cast<int64_t>(i), total)) break;
    const TFixedImportRow& row = rows[i];
    const std::string& name = row.Cell(0);
    if (name.empty()) continue;
    bool known = true;
    const TKeySystemCode code = systems.Code(row.Cell(2), known);
    if (!known) {
      // Renamed or removed by another station while the question stood: no key is made
      // outside the system the list names.
      run.Rollback();
      UI().ShowMessage(TMsgKind::Error, ImportKeysTextFmt(2, row.Cell(2)));
      out.result = TFixedImportResult::Failed;
      out.created = 0;
      out.skipped = 0;
      return out;
    }
    if (index.Find(code, name) > 0) {
      ++out.skipped;
      continue;
    }
    const int32_t key = db.NewRecord(icKey);
    if (key <= 0) {
      run.Rollback();
      UI().ShowMessage(TMsgKind::Error, ImportKeysTextFmt(16, std::to_string(row.line)));
      out.result = TFixedImportResult::Failed;
      out.created = 0;
      return out;
    }
    db.SetField(key, fkName, name);
    if (!row.Cell(1).empty()) db.SetField(key, fkSecondName, row.Cell(1));
    if (code != ksNone) db.SetField(key, fkKeySystem, std::to_string(code));
    const int type = ParseKeyType(RefCell(row.Cell(3)));
    if (type > 0) db.SetField(key, fkKeyType, std::to_string(type));
    int32_t count = 0;
    ParseImportCount(row.Cell(4), count);
    db.SetField(key, fkStock, std::to_string(count));
    db.SetField(key, fkTotal, std::to_string(count));
    const std::string remark = ImportRemarkText(row.Cell(5));
    if (!remark.empty()) db.SetField(key, fkRemark, remark);
    index.Add(code, name, key);
    ++out.created;
  }
  if (run.Cancelled()) {
    run.Rollback();
    out.result = TFixedImportResult::Cancelled;
    out.created = 0;
    return out;
  }
  switch (run.Commit()) {
    case TBulkResult::Saved:
      out.result = TFixedImportResult::Done;
      break;
    case TBulkResult::Cancelled:
      out.result = TFixedImportResult::Cancelled;
      out.created = 0;
      break;
    default:
      out.result = TFixedImportResult::Failed;
      out.created = 0;
      break;
  }
  return out;
}
