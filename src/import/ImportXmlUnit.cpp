#include "import/ImportXmlUnit.h"

#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportJournalUnit.h"
#include "import/ImportPlanUnit.h"
#include "import/XmlUnit.h"

const TMLStringList* ImportXmlTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportXml", 0);
    t->Add255Obj("Die XML-Datei wird gepr\xFC" "ft.", 1);
    t->Add255Obj("Ladefehler!#13#Der Importvorgang konnte nicht gestartet werden.", 2);
    t->Add255Obj("Bitte senden Sie Ihre XML-Datei zur Pr\xFC" "fung an Merivan.", 3);
    t->Add255Obj("Die XML-Datei wurde nicht importiert.", 4);
    t->Add255Obj("Die XML-Datei wird importiert.", 5);
    t->Add255Obj("Die XML-Datei wurde unvollst\xE4ndig importiert.", 6);
    t->Add255Obj("Die XML-Datei enth\xE4lt keine Zylinder, Schl\xFCssel oder Schlie\xDF"
                 "ungen, die importiert werden konnten.",
                 7);
    t->Add255Obj("XML-Schlie\xDFplan importieren", 8);
    return t;
  }();
  return table;
}

std::string ImportXmlText(int number) { return GetMLText(ImportXmlTexts(), number); }

int GetXmlDialect(const TMerivanXmlNode* documentElement) {
  if (!documentElement) return xdUnknown;
  const std::string& name = documentElement->XmlNodeName();
  if (name == "dorider") return xdDorider;
  if (name == "ExportByZerUdaravu") return xdZerUdaravu;
  return xdUnknown;
}

int TXmlElementNames::GroupKeyType() const { return StrToIntZero(e[13]); }

const TXmlElementNames& XmlElementNames(int dialect) {
  static const TXmlElementNames none;
  static const TXmlElementNames dorider{
      {"",
       "Zylinder", "Schliessung", "Sortierung", "SchluesselNummer", "Zylinderanzahl",
       "Bemerkung_1", "SchluesselNummer", "TuerNr", "Raumbezeichnung", "Schluessel",
       "Gruppenschluessel", "Einzelschluessel", "2", "SchluesselNummer", "Anzahl",
       "Funktion", "Funktion", "SchluesselNummer_Aus", "SchluesselNummer_In", "1"}};
  static const TXmlElementNames zerUdaravu{
      {"",
       "Cylinders", "Cylinder", "PositionNumber", "ShortDescription", "Pieces",
       "", "", "DoorDescription", "RoomDescription", "Keys",
       "Key", "", "0", "ShortDescription", "Pieces",
       "Locks", "Lock", "KeyPositionNumber", "CylinderPositionNumber", ""}};
  switch (dialect) {
    case xdDorider: return dorider;
    case xdZerUdaravu: return zerUdaravu;
    default: return none;
  }
}

namespace {

// The child's text; an empty entry is never found.
std::string ChildText(const TMerivanXmlNode* node, const std::string& name) {
  return name.empty() ? std::string() : Trim(node->XmlChildText(name));
}

std::vector<TMerivanXmlNode*> Elements(const TMerivanXmlNode* doc, const std::string& list,
                                       const std::string& item) {
  if (list.empty() || item.empty()) return {};
  const TMerivanXmlNode* first = doc->XmlFirstChildByName(list);
  return first ? first->XmlChildrenByName(item) : std::vector<TMerivanXmlNode*>();
}

// One pass: the names of the locking system's cylinders and keys and of all doors, looked
// up by their upper-case names through indexes built once, so a plan of many thousand
// elements does not walk the store per element.
class TXmlPass {
 public:
  TXmlPass(TMiniDB& db, const TXmlElementNames& names, bool check, int32_t code)
      : db_(db), n_(names), check_(check), code_(code) {
    Index(icCylinder, cylinders_);
    Index(icKey, keys_);
    TItemList doors;
    db_.ListClassValid(icDoor, doors);
    for (int32_t i = 0; i < doors.Count(); ++i)
      doors_[AnsiUpperCase(db_.ReadName(doors.Get(i)))].push_back(doors.Get(i));
  }

  const std::set<int32_t>& Created() const { return created_; }

  bool ImportXmlCylinder(const TMerivanXmlNode* el) {
    const std::string name = ChildText(el, n_.e[4]);
    const int32_t pieces = StrToIntZero(ChildText(el, n_.e[5]));
    if (name.empty() || pieces == 0) return false;
    int32_t cyl = Find(cylinders_, name);
    if (check_) return true;
    if (!cyl) cyl = Create(icCylinder, name, cylinders_);
    const std::string type = ChildText(el, n_.e[6]);
    if (!type.empty()) db_.SetField(cyl, "ctyp", type);
    AddImported(cyl, pieces);
    const std::string keyName = ChildText(el, n_.e[7]);
    if (!keyName.empty()) {
      int32_t key = Find(keys_, keyName);
      if (!key) key = Create(icKey, keyName, keys_);
      db_.AddLinkBoth(cyl, key, icKey, icCylinder);
    }
    const std::string room = ChildText(el, n_.e[9]);
    std::string doorName = ChildText(el, n_.e[8]);
    if (doorName.empty()) doorName = room;
    if (doorName.empty()) return true;
    int32_t door = FindDoor(doorName);
    if (!door) {
      door = db_.NewNamedRecord(icDoor, doorName, "");
      doors_[AnsiUpperCase(doorName)].push_back(door);
      if (!room.empty()) db_.SetField(door, fkRoom, room);
      const int32_t pos = StrToIntZero(ChildText(el, n_.e[3]));
      if (pos > 0) db_.SetField(door, "pos", std::to_string(pos));
    }
    db_.AddLinkBoth(door, cyl, icCylinder, icDoor);
    return true;
  }

  bool ImportXmlKey(const TMerivanXmlNode* el, int keyType) {
    const std::string name = ChildText(el, n_.e[14]);
    const int32_t pieces = StrToIntZero(ChildText(el, n_.e[15]));
    if (name.empty() || pieces == 0) return false;
    int32_t key = Find(keys_, name);
    if (check_) return true;
    if (!key) key = Create(icKey, name, keys_);
    if (keyType > 0) db_.SetField(key, fkKeyType, std::to_string(keyType));
    AddImported(key, pieces);
    return true;
  }

  bool ImportXmlLock(const TMerivanXmlNode* el) {
    const std::string keyName = ChildText(el, n_.e[18]);
    const std::string ref = ChildText(el, n_.e[19]);
    if (keyName.empty() || ref.empty()) return false;
    int32_t cyl = 0;
    if (n_.LockViaKey()) {
      const int32_t via = Find(keys_, ref);
      if (via) cyl = db_.ReadFirstLink(via, icCylinder);
      if (!cyl) return false;
    } else {
      cyl = Find(cylinders_, ref);
    }
    // The check pass creates nothing: a missing cylinder or key waits for the import.
    if (check_) return true;
    if (!cyl) cyl = Create(icCylinder, ref, cylinders_);
    int32_t key = Find(keys_, keyName);
    if (!key) key = Create(icKey, keyName, keys_);
    db_.AddLinkBoth(key, cyl, icCylinder, icKey);
    return true;
  }

 private:
  using TNameIndex = std::unordered_map<std::string, int32_t>;

  void Index(int cls, TNameIndex& index) {
    TItemList items;
    db_.ListClassValid(cls, items);
    for (int32_t i = 0; i < items.Count(); ++i) {
      const int32_t id = items.Get(i);
      if (db_.ReadKeySystem(id) == code_) index.emplace(AnsiUpperCase(db_.ReadName(id)), id);
    }
  }

  int32_t Find(const TNameIndex& index, const std::string& name) const {
    auto it = index.find(AnsiUpperCase(name));
    return it == index.end() ? 0 : it->second;
  }

  int32_t Create(int cls, const std::string& name, TNameIndex& index) {
    const int32_t id = db_.NewNamedRecord(cls, name, "");
    created_.insert(id);
    db_.SetField(id, fkKeySystem, std::to_string(code_));
    index.emplace(AnsiUpperCase(name), id);
    return id;
  }

  // The doors carry no building here: a door of that name without a building.
  int32_t FindDoor(const std::string& name) const {
    auto it = doors_.find(AnsiUpperCase(name));
    if (it == doors_.end()) return 0;
    for (int32_t door : it->second)
      if (db_.IsValid(door) && GetBuildingOf(db_, door) == 0) return door;
    return 0;
  }

  void AddImported(int32_t id, int32_t pieces) {
    const int32_t before = StrToIntZero(db_.ReadLineField(id, "imptotal"));
    db_.SetField(id, "imptotal", std::to_string(before + pieces));
  }

  std::set<int32_t> created_;
  TMiniDB& db_;
  const TXmlElementNames& n_;
  bool check_;
  int32_t code_;
  TNameIndex cylinders_;
  TNameIndex keys_;
  std::unordered_map<std::string, std::vector<int32_t>> doors_;
};

}  // namespace

bool RunXmlImport(TMiniDB& db, const TMerivanXmlNode* doc, bool check, int32_t code,
                  TXmlImportCount& count, const TBulkProgress& progress,
                  const std::string* journalFolder) {
  count = TXmlImportCount();
  TBulkWrite run(db, check ? TBulkMode::Check : TBulkMode::Write);
  if (!run.Ok()) {
    if (run.Blocking().empty() || run.Blocking() == "*")
      ShowError(CoreText(27));
    else
      db.ShowExclusiveDenied(run.Blocking());
    return false;
  }
  run.SetProgress(progress);
  const TXmlElementNames& n = XmlElementNames(GetXmlDialect(doc));
  const auto cylinders = Elements(doc, n.e[1], n.e[2]);
  const auto singles = Elements(doc, n.e[10], n.e[12]);
  const auto groups = Elements(doc, n.e[10], n.e[11]);
  const auto locks = Elements(doc, n.e[16], n.e[17]);
  const int64_t total =
      static_cast<int64_t>(cylinders.size() + singles.size() + groups.size() + locks.size());
  int64_t done = 0;
  auto step = [&] { return ++done % 64 != 0 || run.Step(done, total); };

  TXmlPass pass(db, n, check, code);
  bool going = true;
  for (const TMerivanXmlNode* el : cylinders)
    if (!(going = going && step())) break;
    else if (pass.ImportXmlCylinder(el)) ++count.cylinders;
  for (const TMerivanXmlNode* el : singles)
    if (!(going = going && step())) break;
    else if (pass.ImportXmlKey(el, 1)) ++count.keys;
  for (const TMerivanXmlNode* el : groups)
    if (!(going = going && step())) break;
    else if (pass.ImportXmlKey(el, n.GroupKeyType())) ++count.keys;
  for (const TMerivanXmlNode* el : locks)
    if (!(going = going && step())) break;
    else if (pass.ImportXmlLock(el)) ++count.locks;
  if (!going) {
    run.Rollback();
    return false;
  }
  TImportImportantList journal;
  if (!check) {
    JournalImportedTotals(db, pass.Created(), journal);
    ApplyImportedKeyTotals(db);
    ApplyImportedCylinderTotals(db);
  }
  const TBulkResult result = run.Commit();
  if (result == TBulkResult::Saved && journalFolder && !journal.Empty())
    WriteImportJournal(ImportSummaryTable(journal), *journalFolder);
  return result == TBulkResult::Saved || result == TBulkResult::Checked;
}

bool ImportXmlBytes(TMiniDB& db, const std::string& bytes, int32_t code,
                    const std::function<void(const std::string&)>& setStatus,
                    const TBulkProgress& progress, const std::string* journalFolder) {
  auto status = [&](int number) {
    if (setStatus) setStatus(ImportXmlText(number));
  };
  // The declaration begins within the first 8 characters (a byte-order mark may stand
  // before it, in UTF-16 too).
  auto within8 = [&](const std::string& mark) {
    const size_t at = std::string_view(bytes).substr(0, 32).find(mark);
    return at != std::string::npos && at < 8;
  };
  if (!within8("<?xml") && !within8(std::string("<\0?\0x\0m\0l\0", 10)) &&
      !within8(std::string("\0<\0?\0x\0m\0l", 10))) {
    ShowError(ImportXmlText(2));
    return false;
  }
  TMerivanXmlFile xml;
  if (!xml.XmlParseText(bytes)) {
    ShowError(ImportXmlText(2));
    return false;
  }
  const TMerivanXmlNode* doc = xml.XmlDocumentElement();
  if (GetXmlDialect(doc) == xdUnknown) {
    ShowError(ImportXmlText(3));
    return false;
  }
  status(1);
  TXmlImportCount count;
  if (!RunXmlImport(db, doc, true, code, count, progress)) {
    ShowError(ImportXmlText(4));
    return false;
  }
  if (count.Total() == 0) {
    ShowInfo(ImportXmlText(7));
    return false;
  }
  status(5);
  if (!RunXmlImport(db, doc, false, code, count, progress, journalFolder)) {
    ShowError(ImportXmlText(6));
    return false;
  }
  db.RefreshAllNames();
  ShowImportDoneNote();
  return true;
}
