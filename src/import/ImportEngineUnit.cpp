#include "import/ImportEngineUnit.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HolderUnit.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportJournalUnit.h"

// =======================================================================================
// Texts

namespace {

struct TTextEntry {
  int number;
  const char* text;
};

const TTextEntry kEngineTexts[] = {
    {0, "ImportEngineUnit"},
    {ieErrorInRow, "Fehler in Zeile %1"},
    {ieKeySystemUnknown, "Schlie\xDF"
                         "anlage \"%1\" unbekannt"},
    {ieBuildingUnknown, "Geb\xE4ude \"%1\" unbekannt"},
    {ieCannotCreate, "%1 kann nicht angelegt werden."},
    {ieKeyNotFound, "Schl\xFCssel nicht gefunden."},
    {iePersonNotFound, "Person nicht gefunden."},
    {ieBadDate, "Kein oder fehlerhaftes Datum."},
    {ieReturnBeforeIssue, "Das R\xFC"
                          "cknahmedatum liegt vor dem Ausgabedatum."},
    {ieDoneNote,
     "Die Datei wurde verarbeitet.#13##13#Bitte vergleichen Sie den Import mit Ihren "
     "Unterlagen#13#auf Vollst\xE4ndigkeit und Richtigkeit.#13##13#Falls Ihnen Abweichungen "
     "auffallen, senden Sie Ihre Datei bitte#13#an Merivan, um den Import angleichen zu "
     "k\xF6nnen."},
    {ieLockedBy, "Der Import wurde nicht gestartet: %1 bearbeitet gerade Daten."},
    {ieNoReservation, "Kein Schreibzugriff m\xF6glich."},
    {ieBookingRefused, "Die \xDC"
                       "bergabe wurde nicht gebucht: %1"},
    {ieSaveFailed, "Die Daten konnten nicht gespeichert werden. Es wurde nichts importiert."},
    {ieCancelled, "Der Import wurde abgebrochen. Es wurde nichts importiert."},
    {ieIssue, "Ausgabe"},
    {ieReturn, "R\xFC"
               "cknahme"},
    {ieLoss, "Verlust"},
    {ieDefect, "Defekt"},
    {ieNoStoredPersonListed,
     "Keine der gespeicherten Personen steht in der Tabelle. Gespeicherte Personen werden "
     "so nicht gel\xF6scht; es wurde nichts importiert."},
};

std::string TextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(ImportEngineTexts(), number, argument);
}

}  // namespace

const TMLStringList* ImportEngineTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    for (const auto& e : kEngineTexts) t->Add255Obj(e.text, e.number);
    return t;
  }();
  return table;
}

std::string ImportEngineText(int number) { return GetMLText(ImportEngineTexts(), number); }

// =======================================================================================
// Per-run lookups

namespace {

constexpr char kExtIdKey[] = "extID";
constexpr char kFromImportKey[] = "fromImport";

// The scope a record of the class is looked for in: doors by building, keys, cylinders
// and groups by locking system, all others in one.
bool ScopedBySystem(int cls) { return cls == icKey || cls == icCylinder || cls == icGroup; }

std::string NameKey(int32_t scope, const std::string& a, const std::string& b) {
  std::string key = std::to_string(scope);
  key += '\x01';
  key += a;
  key += '\x01';
  key += b;
  return key;
}

}  // namespace

class TImportIndexes {
 public:
  explicit TImportIndexes(TMiniDB& db) : db_(db) {}

  int32_t FindByName(int cls, int32_t scope, const std::string& name, const std::string& name2) {
    TClassIndex& index = Of(cls);
    auto it = index.byName.find(NameKey(scope, name, name2));
    if (it == index.byName.end()) return 0;
    for (int32_t id : it->second)
      if (db_.IsValid(id) && db_.GetClass(id) == cls && InScope(cls, id, scope) &&
          db_.ReadName(id) == name && db_.ReadLineField(id, fkSecondName) == name2)
        return id;
    return 0;
  }

  int32_t FindByExtId(int cls, int32_t scope, const std::string& extId) {
    TClassIndex& index = Of(cls);
    auto it = index.byExt.find(NameKey(scope, extId, ""));
    if (it == index.byExt.end()) return 0;
    for (int32_t id : it->second)
      if (db_.GetClass(id) == cls && InScope(cls, id, scope) &&
          db_.ReadLineField(id, kExtIdKey) == extId)
        return id;
    return 0;
  }

  int32_t FindBuilding(const std::string& name) {
    if (!buildingsBuilt_) {
      buildingsBuilt_ = true;
      TItemList list;
      db_.ListClass(icBuilding, list);
      for (int32_t i = 0; i < list.Count(); ++i) AddBuilding(list.Get(i));
    }
    auto it = buildings_.find(AnsiUpperCase(Trim(name)));
    if (it == buildings_.end()) return 0;
    for (int32_t id : it->second)
      if (db_.IsValid(id) && db_.GetClass(id) == icBuilding &&
          AnsiUpperCase(Trim(db_.ReadName(id))) == AnsiUpperCase(Trim(name)))
        return id;
    return 0;
  }

  // The other side of a new record's link (`target` lists `id` under `kind`), written for
  // all new records of a target at once by PayLinks: adding them one by one would rewrite
  // a building's growing door list once per new door. Nothing during the run reads that
  // side of a new record's links; PayLinks runs before anything could.
  void OweLink(int32_t target, int kind, int32_t id) { owed_[{target, kind}].push_back(id); }
  void PayLinks() {
    for (auto& [where, ids] : owed_) db_.AddNewLinks(where.first, ids, where.second);
    owed_.clear();
  }

  // A record was made, renamed or linked: it is found under what it holds now.
  void Update(int32_t id) {
    const int cls = db_.GetClass(id);
    if (cls <= 0 || cls > 255) return;
    if (cls == icBuilding && buildingsBuilt_) AddBuilding(id);
    if (index_[cls]) Add(*index_[cls], cls, id);
  }

 private:
  struct TClassIndex {
    std::unordered_map<std::string, std::vector<int32_t>> byName;
    std::unordered_map<std::string, std::vector<int32_t>> byExt;
  };

  static void Insert(std::vector<int32_t>& ids, int32_t id) {
    auto at = std::lower_bound(ids.begin(), ids.end(), id);
    if (at == ids.end() || *at != id) ids.insert(at, id);
  }

  void AddBuilding(int32_t id) { Insert(buildings_[AnsiUpperCase(Trim(db_.ReadName(id)))], id); }

  std::vector<int32_t> Scopes(int cls, int32_t id) const {
    if (cls == icDoor) {
      TItemList houses;
      db_.ReadLinks(id, icBuilding, houses);
      std::vector<int32_t> scopes;
      for (int32_t i = 0; i < houses.Count(); ++i) scopes.push_back(houses.Get(i));
      if (scopes.empty()) scopes.push_back(0);
      return scopes;
    }
    if (ScopedBySystem(cls)) return {db_.ReadKeySystem(id)};
    return {0};
  }

  bool InScope(int cls, int32_t id, int32_t scope) const {
    if (cls == icDoor) {
      if (scope == 0) return db_.ReadLinkCount(id, icBuilding) == 0;
      return db_.ReadHasLink(id, icBuilding, scope);
    }
    if (ScopedBySystem(cls)) return db_.ReadKeySystem(id) == scope;
    return true;
  }

  void Add(TClassIndex& index, int cls, int32_t id) {
    static const std::string_view keys[] = {fkName, fkSecondName, kExtIdKey};
    std::string values[3];
    db_.ReadLineFields(id, keys, values, 3);
    for (int32_t scope : Scopes(cls, id)) {
      Insert(index.byName[NameKey(scope, values[0], values[1])], id);
      if (!values[2].empty()) Insert(index.byExt[NameKey(scope, values[2], "")], id);
    }
  }

  TClassIndex& Of(int cls) {
    if (!index_[cls]) {
      index_[cls] = std::make_unique<TClassIndex>();
      TItemList list;
      db_.ListClass(cls, list);
      index_[cls]->byName.reserve(static_cast<size_t>(list.Count()) * 2);
      for (int32_t i = 0; i < list.Count(); ++i) Add(*index_[cls], cls, list.Get(i));
    }
    return *index_[cls];
  }

  TMiniDB& db_;
  std::array<std::unique_ptr<TClassIndex>, 256> index_;
  bool buildingsBuilt_ = false;
  std::unordered_map<std::string, std::vector<int32_t>> buildings_;
  std::map<std::pair<int32_t, int>, std::vector<int32_t>> owed_;
};

// =======================================================================================
// Helpers

namespace {

// Holds an index for functions called without one.
struct TIndexGuard {
  std::unique_ptr<TImportIndexes> own;
  TImportIndexes& Get(TImportRun& run) {
    if (run.indexes) return *run.indexes;
    if (!own) own = std::make_unique<TImportIndexes>(run.db);
    return *own;
  }
};

void Note(TImportRun& run, TImportChangeKind kind, int cls, int32_t id, const std::string& name,
          const std::string& detail = "") {
  if (run.changes) run.changes->push_back({kind, run.row, cls, id, name, detail});
}

void Journal(TImportRun& run, const std::string& type, const std::string& name,
             const std::string& fresh, const std::string& diff, const std::string& total) {
  if (!run.journal) return;
  run.journal->push_back(type + "\t\t" + name + '\t' + fresh + '\t' + diff + '\t' + total);
}

// A single link of `kind` from `id` to `target` (and back): other links of that kind go.
void SetSingleLink(TMiniDB& db, int32_t id, int32_t target, int kind, int kindBack) {
  TItemList old;
  db.ReadLinks(id, kind, old);
  for (int32_t i = 0; i < old.Count(); ++i)
    if (old.Get(i) != target) db.RemoveLinkBoth(id, old.Get(i), kind, kindBack);
  if (!db.ReadHasLink(id, kind, target)) db.AddLink(id, target, kind);
  if (!db.ReadHasLink(target, kindBack, id)) db.AddLink(target, id, kindBack);
}

// The locking system of that name (named systems 1..40, compared trimmed in upper case).
int32_t FindKeySystemByName(const TMiniDB& db, const std::string& name) {
  const std::string wanted = AnsiUpperCase(Trim(name));
  if (wanted.empty()) return 0;
  for (TKeySystemCode code = ksFirstNamed; code <= ksLastNamed; ++code) {
    const std::string n = KeySystemName(db, code);
    if (!n.empty() && AnsiUpperCase(Trim(n)) == wanted) return code;
  }
  return 0;
}

std::string CutTo(const std::string& text, int length) { return CopyLeft(text, length); }

// Records what the booking tells the user instead of showing it: the row's error names it.
class TCaptureInteraction : public IUserInteraction {
 public:
  std::string text;
  void ShowMessage(TMsgKind, const std::string& t) override {
    if (!text.empty()) text += "\r";
    text += t;
  }
  int Ask(TMsgKind, const std::string&, TAskButtons) override { return mrCancel; }
  int AskButtons(const std::string&, const std::string&, const std::string&, bool,
                 const std::string&) override {
    return 0;
  }
  bool InputText(const std::string&, std::string&, bool) override { return false; }
  void ProcessPendingEvents() override {}
};

}  // namespace

// =======================================================================================
// Names

std::string ImportRemarkText(const std::string& cell) {
  std::vector<std::string> lines;
  const std::string upper = AnsiUpperCase(cell);
  size_t start = 0;
  for (;;) {
    const size_t at = upper.find("<BR>", start);
    if (at == std::string::npos) {
      lines.push_back(cell.substr(start));
      break;
    }
    lines.push_back(cell.substr(start, at - start));
    start = at + 4;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return RemarkLinesToStored(lines);
}

std::string ImportPersonName(const std::string& firstName, const std::string& surname) {
  const std::string first = Trim(firstName);
  const std::string last = Trim(surname);
  if (last.empty()) return first;
  if (first.empty()) return last;
  return last + ", " + first;
}

void SplitImportName12(const std::string& cell, std::string& name, std::string& name2) {
  const std::string text = Trim(cell);
  name2.clear();
  const size_t open = text.rfind('[');
  if (!text.empty() && text.back() == ']' && open != std::string::npos && open > 0) {
    name = Trim(text.substr(0, open));
    name2 = Trim(text.substr(open + 1, text.size() - open - 2));
    return;
  }
  name = text;
}

bool ImportRowHasData(const TImportSlot& slot) {
  return !slot.name.empty() || !slot.extId.empty() || slot.givenId != 0;
}

std::vector<int32_t> ImportColumnObjects(const std::vector<int32_t>& entries, int colCount) {
  std::vector<int32_t> objects(static_cast<size_t>(std::max(colCount, 0)), 0);
  int repeat = -1;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == kImportRepeatEntry) {
      repeat = static_cast<int>(i);
      break;
    }
  size_t e = 0;
  for (int c = 0; c < colCount; ++c) {
    if (e < entries.size() && static_cast<int>(e) == repeat) ++e;
    if (e >= entries.size()) {
      if (repeat < 0 || repeat + 1 >= static_cast<int>(entries.size())) break;
      e = static_cast<size_t>(repeat) + 1;
    }
    objects[static_cast<size_t>(c)] = entries[e++];
  }
  return objects;
}

// =======================================================================================
// Matching, creating, writing

int32_t ImportMatchRecord(TImportRun& run, TImportSlot& slot) {
  if (slot.id) return slot.id;
  TMiniDB& db = run.db;
  const int cls = slot.cls;
  if (slot.givenId < 0) return 0;
  if (slot.givenId > 0 && db.HasRecord(slot.givenId) && db.GetClass(slot.givenId) == cls) {
    slot.id = slot.givenId;
    return slot.id;
  }
  TIndexGuard guard;
  TImportIndexes& indexes = guard.Get(run);
  const int32_t scope = cls == icDoor ? slot.building : (ScopedBySystem(cls) ? slot.keySystem : 0);
  int32_t found = 0;
  if (!slot.extId.empty()) found = indexes.FindByExtId(cls, scope, slot.extId);
  if (!found && !slot.name.empty()) found = indexes.FindByName(cls, scope, slot.name, slot.name2);
  if (!found && cls == icDoor && run.job.reuseDoors && slot.building != 0) {
    if (!slot.extId.empty()) found = indexes.FindByExtId(cls, 0, slot.extId);
    if (!found && !slot.name.empty()) found = indexes.FindByName(cls, 0, slot.name, slot.name2);
    if (found) {
      SetSingleLink(db, found, slot.building, icBuilding, icDoor);
      indexes.Update(found);
      Note(run, TImportChangeKind::Update, cls, found, slot.name);
    }
  }
  slot.id = found;
  return found;
}

int32_t ImportStoreRecord(TImportRun& run, TImportSlot& slot) {
  const int cls = slot.cls;
  if (cls <= 0 || cls == kImportHandoverClass || slot.name.empty() || slot.id) return slot.id;
  TMiniDB& db = run.db;
  const int32_t id = db.NewNamedRecord(cls, slot.name, slot.name2);
  if (!id) return 0;
  if (ScopedBySystem(cls) && slot.keySystem != 0) db.SetKeySystem(id, slot.keySystem);
  TIndexGuard guard;
  if ((cls == icDoor || cls == icPerson) && slot.building != 0 &&
      db.GetClass(slot.building) == icBuilding) {
    db.AddLink(id, slot.building, icBuilding);
    if (run.indexes)
      run.indexes->OweLink(slot.building, cls, id);
    else
      db.AddLink(slot.building, id, cls);
  }
  if (!slot.extId.empty()) db.SetField(id, kExtIdKey, slot.extId);
  guard.Get(run).Update(id);
  slot.id = id;
  Note(run, TImportChangeKind::Create, cls, id, slot.name);
  Journal(run, ClassCaption(cls, false), slot.name, "Neu", "", "");
  return id;
}

bool ApplyImportField(TImportRun& run, int32_t id, const TFieldEntry& entry,
                      const std::string& cell, TImportSlots& slots) {
  TMiniDB& db = run.db;
  if (id <= 0 || !db.HasRecord(id)) return false;
  const std::string& key = entry.dbKey;
  if (key.empty()) return false;
  if (key.front() != '(') {
    db.SetField(id, key, cell);
    if (key == fkName || key == fkSecondName || key == kExtIdKey) {
      TIndexGuard guard;
      guard.Get(run).Update(id);
    }
    return true;
  }
  if (key == "(n12)") {
    std::string n, n2;
    SplitImportName12(cell, n, n2);
    db.SetField(id, fkName, n);
    db.SetField(id, fkSecondName, n2);
    TIndexGuard guard;
    guard.Get(run).Update(id);
    return true;
  }
  if (key == "(r)") {
    db.SetField(id, fkRemark, ImportRemarkText(cell));
    return true;
  }
  if (key == "(total)") {
    db.SetField(id, fkTotal, cell);
    if (db.GetClass(id) == icKey) db.SetFieldIfEmpty(id, fkStock, cell);
    return true;
  }
  if (key == "(kt)") {
    const int type = ParseKeyType(cell);
    if (type < 1) return false;
    db.SetField(id, fkKeyType, std::to_string(type));
    return true;
  }
  if (key == "(LonelyRef)" || key == "(MultiRef)") {
    const int32_t own = slots[entry.cls].id;
    if (own <= 0 || own == id || !entry.refClass) return false;
    if (key == "(LonelyRef)") {
      SetSingleLink(db, own, id, entry.refClass, entry.cls);
    } else {
      if (!db.ReadHasLink(own, entry.refClass, id)) db.AddLink(own, id, entry.refClass);
      if (!db.ReadHasLink(id, entry.cls, own)) db.AddLink(id, own, entry.cls);
    }
    return true;
  }
  return false;
}

// =======================================================================================
// Handovers

namespace {

// Books one handover on its own record; false with the reason the booking gave.
bool Book(TImportRun& run, TTransferKind kind, int32_t key, int32_t person, TPackedDate date,
          TPackedDate issueDate, int32_t count, const TQStringList& values, std::string& error) {
  TMiniDB& db = run.db;
  TTransferRecord rec;
  rec.Kind = kind;
  rec.KeyId = key;
  rec.Keys.Add(key);
  const int32_t cabinet = db.ReadFirstLink(key, icCabinet);
  SetTransferOwners(db, rec, person, db.GetClass(cabinet) == icCabinet ? cabinet : 0);
  if (kind == tkLoss) rec.NewOwner = {okLost, person};
  rec.Date = date;
  if (kind != tkIssue && kind != tkDefect && issueDate)
    rec.HoldingDate = PackedDateToIsoStr(issueDate);
  rec.Quantity = count;
  rec.QuantityLimit = count;
  rec.Remark = CutTo(values.Value("rem"), kTransferRemarkLen);
  rec.Identifier = CutTo(values.Value("keyemboss"), kTransferIdentifierLen);
  if (kind == tkIssue) rec.ReceiptNo = CutTo(values.Value("beleg"), kTransferReceiptNoLen);
  rec.NegativeStockAllowed = true;
  TCaptureInteraction capture;
  TTransferResult result;
  {
    TUserInteractionScope scope(capture);
    result = BookTransfer(db, rec);
  }
  if (result != TTransferResult::Booked) {
    error = TextFmt(ieBookingRefused, capture.text);
    return false;
  }
  static const int names[] = {0, 0, ieIssue, ieReturn, ieDefect, ieLoss, 0};
  const std::string name = db.ReadName(key);
  const int32_t sign = TransferSign(kind);
  Note(run, TImportChangeKind::Handover, icKey, key, name,
       ImportEngineText(names[kind]) + " " + std::to_string(count));
  Journal(run, ClassCaption(icKey, false), name, "", (sign < 0 ? "-" : "+") + std::to_string(count),
          db.ReadLineField(key, fkStock));
  return true;
}

// The person already holds this very handover (the same key, date, count and marking):
// the row was imported before.
bool HoldsHandover(const TMiniDB& db, int32_t key, int32_t person, TPackedDate date, int32_t count,
                   const std::string& identifier) {
  const THolderEntries entries = ParseHolderEntries(db.ReadLineField(key, fkHolders), key);
  const std::string iso = PackedDateToIsoStr(date);
  const std::string ident = Trim(CopyLeft(identifier, kTransferIdentifierLen));
  for (const THolderEntry& e : entries)
    if (e.Kind == okPerson && e.HolderId == person && e.FirstDate == iso &&
        StrToIntZero(e.Count) == count && Trim(e.Identifier) == ident)
      return true;
  return false;
}

}  // namespace

bool ImportHandoverRow(TImportRun& run, const TQStringList& values, TImportSlots& slots,
                       std::string& error) {
  if (values.Count() == 0) return true;
  int32_t count = 1;
  if (values.IndexOfName("transcnt") >= 0) {
    count = StrToIntZero(values.Value("transcnt"));
    if (count < 1) return true;
  }
  const int32_t key = slots[icKey].id;
  const int32_t person = slots[icPerson].id;
  if (key <= 0 || run.db.GetClass(key) != icKey) {
    error = ImportEngineText(ieKeyNotFound);
    return false;
  }
  if (person <= 0 || run.db.GetClass(person) != icPerson) {
    error = ImportEngineText(iePersonNotFound);
    return false;
  }
  TPackedDate issue = StrToPackedDate(Trim(values.Value("transdate")));
  TPackedDate back = StrToPackedDate(Trim(values.Value("backdate")));
  FixCentury(issue);
  FixCentury(back);
  if (!issue && !back) {
    error = ImportEngineText(ieBadDate);
    return false;
  }
  if (issue && back && back < issue) {
    error = ImportEngineText(ieReturnBeforeIssue);
    return false;
  }
  const int flag = StrToIntZero(values.Value("BigKeyFlag"));
  if (issue) {
    if (HoldsHandover(run.db, key, person, issue, count, values.Value("keyemboss"))) {
      const std::string name = run.db.ReadName(key);
      Note(run, TImportChangeKind::HandoverSkipped, icKey, key, name,
           ImportEngineText(ieIssue) + " " + std::to_string(count));
      Journal(run, ClassCaption(icKey, false), name, "doppelt", "", "");
    } else if (!Book(run, tkIssue, key, person, issue, 0, count, values, error)) {
      return false;
    }
  }
  if (back) {
    const TTransferKind kind = flag == 8 ? tkLoss : tkReturn;
    if (!Book(run, kind, key, person, back, issue, count, values, error)) return false;
    if (flag == 4 && !Book(run, tkDefect, key, person, back, issue, count, values, error))
      return false;
  }
  return true;
}

// =======================================================================================
// The run

namespace {

// The cells of the run, from a table or from plain rows.
struct TRowSource {
  TImportTable* table = nullptr;
  const std::vector<std::vector<std::string>>* rows = nullptr;
  std::vector<int32_t> objects;  // per column
  int first = 0;
  int count = 0;
  int cols = 0;

  const std::string& Cell(int col, int row) const {
    static const std::string empty;
    if (table) return table->Cell(col, row);
    // Plain rows count from 1, as a grid below its caption row.
    if (row < 1 || row > static_cast<int>(rows->size())) return empty;
    const auto& r = (*rows)[static_cast<size_t>(row - 1)];
    return col >= 0 && col < static_cast<int>(r.size()) ? r[static_cast<size_t>(col)] : empty;
  }
  void Mark(int col, int row) const {
    if (table) table->SetMark(col, row, 1);
  }
  int32_t Object(int col) const {
    return col >= 0 && col < static_cast<int>(objects.size()) ? objects[static_cast<size_t>(col)]
                                                              : 0;
  }
};

// Restores the parsing format when the run ends.
struct TDateFormatScope {
  std::string old = DateFormatText();
  bool set = false;
  explicit TDateFormatScope(const std::string& format) {
    if (!format.empty()) {
      SetDateFormat(format);
      set = true;
    }
  }
  ~TDateFormatScope() {
    if (set) SetDateFormat(old);
  }
};

// The date-format names the dialog offers ("DD.MM.YYYY") as the formats the parser takes.
std::string ParsingFormat(const std::string& choice) {
  std::string f;
  for (char c : choice) {
    if (c == 'D')
      f += 'd';
    else if (c == 'Y')
      f += 'y';
    else
      f += c;
  }
  return f;
}

struct TRowContext {
  const TRowSource& src;
  int row = 0;
  int windowFirst = -1;  // excluded columns [windowFirst .. windowLast]; -1 = none
  int windowLast = -2;
  int lastCol = 0;
};

bool InWindow(const TRowContext& c, int col) { return col >= c.windowFirst && col <= c.windowLast; }

bool ImportTableRow(TImportRun& run, const TRowContext& c, TImportSlots& slots,
                    TImportValues& values, std::string& error) {
  TMiniDB& db = run.db;
  const TTableImportJob& job = run.job;
  const std::vector<TFieldEntry>& catalogue = FieldCatalogue();
  auto entryOf = [&](int col) -> const TFieldEntry* {
    const int32_t object = c.src.Object(col);
    if (object <= 0 || object == kImportRepeatEntry ||
        object >= static_cast<int32_t>(catalogue.size()))
      return nullptr;
    return &catalogue[static_cast<size_t>(object)];
  };

  bool any = false;
  for (int col = 0; col <= c.lastCol && !any; ++col)
    if (!InWindow(c, col) && entryOf(col) && !Trim(c.src.Cell(col, c.row)).empty()) any = true;
  if (!any) return true;

  for (auto& v : values)
    if (!v.Empty()) v.Clear();
  for (int i = 0; i < 256; ++i) {
    TImportSlot& s = slots[static_cast<size_t>(i)];
    s = TImportSlot();
    s.cls = static_cast<uint8_t>(i);
    s.keySystem = job.keySystem;
    s.building = job.building;
  }
  TIndexGuard guard;
  TImportIndexes& indexes = guard.Get(run);

  std::vector<uint8_t> marked(static_cast<size_t>(c.lastCol + 1), 0);
  // First pass: what the row says about the records.
  for (int col = 0; col <= c.lastCol; ++col) {
    if (InWindow(c, col)) continue;
    const TFieldEntry* e = entryOf(col);
    if (!e) continue;
    const std::string cell = Trim(c.src.Cell(col, c.row));
    const int slotCls = e->refClass ? e->refClass : e->cls;
    TImportSlot& slot = slots[static_cast<size_t>(slotCls)];
    const std::string& key = e->dbKey;
    if (key == "(DbID)") {
      slot.givenId = StrToIntZero(cell);
      marked[static_cast<size_t>(col)] = 1;
    } else if (key == kExtIdKey) {
      slot.extId = CopyLeft(cell, kImportExtIdMaxLen);
      marked[static_cast<size_t>(col)] = 1;
    } else if (key == "(ks)") {
      marked[static_cast<size_t>(col)] = 1;
      if (cell.empty()) continue;
      const int32_t code = FindKeySystemByName(db, cell);
      if (!code) {
        error = TextFmt(ieKeySystemUnknown, cell);
        return false;
      }
      for (auto& s : slots) s.keySystem = code;
    } else if (e->refClass == icBuilding && key == "(LonelyRef)") {
      marked[static_cast<size_t>(col)] = 1;
      if (cell.empty()) continue;
      int32_t house = indexes.FindBuilding(cell);
      if (!house && run.mayCreate[icBuilding]) {
        house = db.NewNamedRecord(icBuilding, cell, "");
        if (house) {
          indexes.Update(house);
          Note(run, TImportChangeKind::Create, icBuilding, house, cell);
          Journal(run, ClassCaption(icBuilding, false), cell, "Neu", "", "");
        }
      }
      if (!house) {
        error = TextFmt(ieBuildingUnknown, cell);
        return false;
      }
      for (auto& s : slots) s.building = house;
    } else {
      if (e->refClass && AnsiUpperCase(CopyLeft(e->check, 5)) == "NAME:") {
        const std::string target = e->check.substr(5);
        TImportSlot& ref = slots[e->refClass];
        if (target == "(n12)")
          SplitImportName12(cell, ref.name, ref.name2);
        else
          ref.name = cell;
        ref.name = CopyLeft(ref.name, kImportNameMaxLen);
        ref.name2 = CopyLeft(ref.name2, kImportNameMaxLen);
      }
      if (e->isVirtual) {
        values[static_cast<size_t>(slotCls)].SetValue(key, cell);
        marked[static_cast<size_t>(col)] = 1;
        continue;
      }
      if (key == fkName) {
        slot.name = CopyLeft(cell, kImportNameMaxLen);
        marked[static_cast<size_t>(col)] = 1;
      } else if (key == fkSecondName) {
        slot.name2 = CopyLeft(cell, kImportNameMaxLen);
        marked[static_cast<size_t>(col)] = 1;
      } else if (key == "(n12)") {
        SplitImportName12(cell, slot.name, slot.name2);
        slot.name = CopyLeft(slot.name, kImportNameMaxLen);
        slot.name2 = CopyLeft(slot.name2, kImportNameMaxLen);
        marked[static_cast<size_t>(col)] = 1;
      }
    }
  }

  // The person's name from first name and surname.
  const TQStringList& personValues = values[icPerson];
  if (personValues.IndexOfName("persname1") >= 0 || personValues.IndexOfName("persname2") >= 0) {
    const std::string name =
        ImportPersonName(personValues.Value("persname1"), personValues.Value("persname2"));
    if (!name.empty()) slots[icPerson].name = CopyLeft(name, kImportNameMaxLen);
  }

  // Records the row refers to that must exist already.
  for (int cls = 1; cls < 256; ++cls) {
    if (cls == job.contentClass || cls == kImportHandoverClass) continue;
    TImportSlot& s = slots[static_cast<size_t>(cls)];
    if (!ImportRowHasData(s) || run.mayCreate[static_cast<size_t>(cls)]) continue;
    if (!ImportMatchRecord(run, s)) {
      error = TextFmt(ieCannotCreate, ClassCaption(cls, false));
      return false;
    }
  }
  // Find or make the records.
  for (int cls = 1; cls < 256; ++cls) {
    if (cls == kImportHandoverClass) continue;
    TImportSlot& s = slots[static_cast<size_t>(cls)];
    if (!ImportRowHasData(s)) continue;
    const bool known = ImportMatchRecord(run, s) != 0;
    if (known) {
      if (cls == job.contentClass) Note(run, TImportChangeKind::Update, cls, s.id, s.name);
    } else if (!ImportStoreRecord(run, s) && !s.name.empty()) {
      // A record that could not be made is no row that went through.
      error = TextFmt(ieCannotCreate, ClassCaption(cls, false));
      return false;
    }
  }

  // Second pass: the other cells as fields and links.
  for (int col = 0; col <= c.lastCol; ++col) {
    if (InWindow(c, col) || marked[static_cast<size_t>(col)]) continue;
    const TFieldEntry* e = entryOf(col);
    if (!e || e->readonly || e->isVirtual) continue;
    const int slotCls = e->refClass ? e->refClass : e->cls;
    const int32_t id = slots[static_cast<size_t>(slotCls)].id;
    if (id) ApplyImportField(run, id, *e, Trim(c.src.Cell(col, c.row)), slots);
  }

  // Revival and renaming of a record the row named by ID: the content class's record.
  if (job.contentClass > 0 && job.contentClass < 256) {
    TImportSlot& s = slots[static_cast<size_t>(job.contentClass)];
    if (s.id && (s.givenId > 0 || !s.extId.empty())) {
      bool changed = false;
      if (!db.IsValid(s.id)) {
        db.DeleteField(s.id, "v");
        changed = true;
      }
      if (!s.name.empty() && db.ReadName(s.id) != s.name) {
        db.SetField(s.id, fkName, s.name);
        changed = true;
      }
      if (!s.name2.empty() && db.ReadLineField(s.id, fkSecondName) != s.name2) {
        db.SetField(s.id, fkSecondName, s.name2);
        changed = true;
      }
      if (changed) indexes.Update(s.id);
    }
  }

  // Persons: the building of the row, the mark of being listed.
  if (job.contentClass == icPerson) {
    const int32_t person = slots[icPerson].id;
    if (person) {
      const int32_t house = slots[icPerson].building;
      if (job.building == 0 && house != 0 && db.GetClass(house) == icBuilding)
        SetSingleLink(db, person, house, icBuilding, icPerson);
      if (job.removeUnlistedPersons) db.SetField(person, kFromImportKey, "1");
    }
  }

  if (!ImportHandoverRow(run, values[kImportHandoverClass], slots, error)) return false;

  for (int col = 0; col <= c.lastCol; ++col)
    if (!InWindow(c, col)) c.src.Mark(col, c.row);
  return true;
}

enum class TUnlistedRemoval { NoneListed, Refused, Done };

// Deletes the valid persons the run did not list and that hold no key. Nothing is deleted
// when the run listed nobody, nor when it listed no person stored before it: a file read
// with the wrong separator or columns names nobody who is there, and would otherwise
// replace the whole staff.
TUnlistedRemoval RemoveUnlistedPersons(TImportRun& run) {
  TMiniDB& db = run.db;
  TItemList persons;
  db.ListClass(icPerson, persons);
  std::vector<int32_t> unlisted;
  int listed = 0, listedStored = 0;
  for (int32_t i = 0; i < persons.Count(); ++i) {
    const int32_t p = persons.Get(i);
    if (!db.ReadLineField(p, kFromImportKey).empty()) {
      db.DeleteField(p, kFromImportKey);
      ++listed;
      if (p <= run.lastIdBefore) ++listedStored;
    } else if (db.IsValid(p) && db.ReadLinkCount(p, icKey) == 0) {
      unlisted.push_back(p);
    }
  }
  if (listed == 0) return TUnlistedRemoval::NoneListed;
  if (listedStored == 0 && !unlisted.empty()) return TUnlistedRemoval::Refused;
  run.row = 0;
  for (int32_t p : unlisted) {
    const std::string name = db.ReadName(p);
    if (!db.MarkDeleted(p)) continue;
    Note(run, TImportChangeKind::Delete, icPerson, p, name);
    Journal(run, ClassCaption(icPerson, false), name, "", "-1", "");
  }
  return TUnlistedRemoval::Done;
}

void ShowRowError(const TTableImportJob& job, int row, const std::string& reason) {
  if (job.batch) return;
  ShowError(TextFmt(ieErrorInRow, std::to_string(row)) + "\r" + reason);
}

}  // namespace

TTableImportResult RunTableImport(TMiniDB& db, TTableImportJob& job) {
  TTableImportResult result;
  TRowSource src;
  if (job.table) {
    job.table->ClearMarks();
    src.table = job.table;
    src.cols = job.table->ColCount();
    src.first = job.table->FixedRows();
    src.count = std::max(0, job.table->RowCount() - src.first);
    if (!job.entries.empty()) {
      src.objects = ImportColumnObjects(job.entries, src.cols);
      for (int c = 0; c < src.cols; ++c)
        job.table->SetCaptionObject(c, src.objects[static_cast<size_t>(c)]);
    } else {
      for (int c = 0; c < src.cols; ++c) src.objects.push_back(job.table->CaptionObject(c));
    }
  } else {
    src.rows = &job.rows;
    src.first = 1;
    src.count = static_cast<int>(job.rows.size());
    int cols = static_cast<int>(job.columns.size());
    for (const auto& r : job.rows) cols = std::max(cols, static_cast<int>(r.size()));
    src.cols = cols;
    src.objects = job.entries.empty() ? job.columns : ImportColumnObjects(job.entries, cols);
  }
  if (job.contentClass <= 0 || job.contentClass > 255) return result;

  // The repetition layout: the columns before the repetition entry, then group after group.
  const int n = static_cast<int>(job.entries.size());
  int r = -1;
  for (int i = 0; i < n; ++i)
    if (job.entries[static_cast<size_t>(i)] == kImportRepeatEntry) {
      r = i;
      break;
    }
  const bool repeat = r >= 0 && r < n - 1;
  const int width = repeat ? n - r - 1 : 0;
  // A last group cut short still counts: its missing cells are empty.
  const int passes = repeat ? std::max(1, (src.cols - r + width - 1) / width) : 1;

  TDateFormatScope dateFormat(ParsingFormat(job.dateFormat));

  TBulkWrite run(db, job.dryRun ? TBulkMode::Check : TBulkMode::Write);
  if (!run.Ok()) {
    result.blocking = run.Blocking();
    if (!job.batch) {
      if (result.blocking.empty() || result.blocking == kLockFileUnusable)
        ShowError(ImportEngineText(ieNoReservation));
      else
        db.ShowExclusiveDenied(result.blocking);
    }
    result.error = result.blocking.empty() || result.blocking == kLockFileUnusable
                       ? ImportEngineText(ieNoReservation)
                       : TextFmt(ieLockedBy, result.blocking);
    return result;
  }
  if (job.progress) run.SetProgress(job.progress);

  TImportIndexes indexes(db);
  TImportRun ctx{db, job, &indexes, {}, &result.changes, &result.journal, 0, db.LastID};
  for (int cls : {icDoor, icKey, icPerson, icCylinder, icGroup, icCabinet}) ctx.mayCreate[cls] = 1;
  ctx.mayCreate[icBuilding] = job.createBuildings ? 1 : 0;
  ctx.mayCreate[icDoor] = job.createDoors ? 1 : 0;

  const bool removing = job.contentClass == icPerson && job.removeUnlistedPersons;
  if (removing) {
    // Marks a broken earlier run left behind would count those persons as listed.
    TItemList persons;
    db.ListClass(icPerson, persons);
    for (int32_t i = 0; i < persons.Count(); ++i)
      if (!db.ReadLineField(persons.Get(i), kFromImportKey).empty())
        db.DeleteField(persons.Get(i), kFromImportKey);
  }

  auto slots = std::make_unique<TImportSlots>();
  auto values = std::make_unique<TImportValues>();
  bool failed = false;
  for (int i = 0; i < src.count && !failed; ++i) {
    if (!run.Step(i, src.count)) break;
    const int row = src.first + i;
    ctx.row = row;
    for (int k = 0; k < passes; ++k) {
      TRowContext c{src, row};
      if (repeat) {
        c.windowFirst = r;
        c.windowLast = r - 1 + k * width;
        c.lastCol = r - 1 + (k + 1) * width;
        if (k > 0) {
          // A group with nothing in it is no handover.
          bool any = false;
          for (int col = c.windowLast + 1; col <= c.lastCol && !any; ++col)
            any = !Trim(src.Cell(col, row)).empty();
          if (!any) continue;
        }
      } else {
        c.lastCol = src.cols - 1;
      }
      std::string error;
      if (!ImportTableRow(ctx, c, *slots, *values, error)) {
        result.errorRow = row;
        result.error = error;
        failed = true;
        break;
      }
    }
    if (!failed) ++result.rowsDone;
  }
  if (!failed && run.Cancelled()) {
    result.cancelled = true;
    result.error = ImportEngineText(ieCancelled);
  }
  if (failed || result.cancelled) {
    run.Rollback();
    if (failed) ShowRowError(job, result.errorRow, result.error);
    return result;
  }

  indexes.PayLinks();
  const TUnlistedRemoval removal =
      removing ? RemoveUnlistedPersons(ctx) : TUnlistedRemoval::Done;
  if (removal == TUnlistedRemoval::NoneListed && !job.dryRun)
    LogError("Import file contains no data", "");
  if (removal == TUnlistedRemoval::Refused) {
    run.Rollback();
    result.error = ImportEngineText(ieNoStoredPersonListed);
    if (!job.batch) ShowError(result.error);
    return result;
  }

  const TBulkResult saved = run.Commit();
  if (saved == TBulkResult::Checked) {
    result.ok = true;
    return result;
  }
  if (saved != TBulkResult::Saved) {
    result.error = ImportEngineText(ieSaveFailed);
    if (!job.batch) ShowError(result.error);
    return result;
  }
  result.ok = true;
  result.saved = true;
  if (job.writeJournal && !result.journal.empty())
    result.journalFile = WriteImportJournal(result.journal, job.journalFolder);
  return result;
}

// =======================================================================================
// Shared procedures

void ApplyImportedKeyTotals(TMiniDB& db) {
  TItemList keys;
  db.ListClass(icKey, keys);
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    const std::string imported = db.ReadLineField(key, "imptotal");
    if (!imported.empty()) {
      db.DeleteField(key, "imptotal");
      const std::string total = db.ReadLineField(key, fkTotal);
      if (imported != total) {
        const int32_t diff = StrToIntZero(imported) - StrToIntZero(total);
        db.SetField(key, fkTotal, imported);
        const std::string stock = db.ReadLineField(key, fkStock);
        if (!stock.empty()) db.SetField(key, fkStock, std::to_string(StrToIntZero(stock) + diff));
      }
    }
    if (db.ReadLineField(key, fkStock).empty()) {
      const std::string total = db.ReadLineField(key, fkTotal);
      if (!total.empty()) db.SetField(key, fkStock, total);
    }
  }
}

void ApplyImportedCylinderTotals(TMiniDB& db) {
  TItemList cylinders;
  db.ListClass(icCylinder, cylinders);
  for (int32_t i = 0; i < cylinders.Count(); ++i) {
    const int32_t cyl = cylinders.Get(i);
    const std::string imported = db.ReadLineField(cyl, "imptotal");
    if (imported.empty()) continue;
    db.DeleteField(cyl, "imptotal");
    db.DeleteField(cyl, fkTotal);
    db.SetField(cyl, "ccnt", imported);
  }
}

void ImportRowQuery(TQStringList& entry, int cls, const std::string& name,
                    const std::string& position) {
  entry.Clear();
  if (cls == icKey)
    entry.Add("Class=Key");
  else if (cls == icCylinder)
    entry.Add("Class=Cyl");
  if (!position.empty()) entry.Add("k205=" + position);
  if (!name.empty()) entry.Add("Name=" + name);
}

void SetAbsCount(TQStringList& entry, const std::string& count) {
  entry.SetValue("New", count.empty() ? std::string("Neu") : count);
  entry.SetValue("AbsCnt", count);
  entry.SetValue("Important", "1");
}

bool ApplyCountChange(TMiniDB& db, int32_t id, const std::string& value, const std::string& field,
                      TQStringList& entry, const std::string& secondField) {
  if (id <= 0 || field.empty() || value.empty() || !db.HasRecord(id)) {
    ShowError("Internal Error: ChangeCount()");
    return false;
  }
  const std::string old = db.ReadLineField(id, field);
  db.SetField(id, field, value);
  const int32_t diff = StrToIntZero(value) - StrToIntZero(old);
  if (diff != 0 && !secondField.empty()) {
    const int32_t second = StrToIntZero(db.ReadLineField(id, secondField));
    db.SetField(id, secondField, std::to_string(second + diff));
  }
  entry.SetValue("AbsCnt", value);
  if (diff != 0) {
    entry.SetValue("CntDiff", std::to_string(diff));
    entry.SetValue("Important", "1");
  }
  return true;
}

bool MarkImportant(TQStringList& entry, TImportImportantList& list) {
  if (entry.Value("Important").empty()) return false;
  entry.SetValue("Important", "");
  list.Add(entry.GetCommaText());
  return true;
}

std::vector<std::string> ImportSummaryTable(const TImportImportantList& list) {
  std::vector<std::string> lines;
  lines.reserve(list.Lines().size() + 1);
  for (const std::string& comma : list.Lines()) {
    TQStringList e;
    e.SetCommaText(comma);
    std::string diff = e.Value("CntDiff");
    if (!diff.empty() && diff.front() != '-') diff = "+" + diff;
    lines.push_back(e.Value("Class") + '\t' + e.Value("k205") + '\t' + e.Value("Name") + '\t' +
                    e.Value("New") + '\t' + diff + '\t' + e.Value("AbsCnt"));
  }
  std::sort(lines.begin(), lines.end());
  lines.insert(lines.begin(), kImportSummaryHeader);
  return lines;
}

void ShowImportDoneNote() { ShowInfo(ImportEngineText(ieDoneNote)); }
