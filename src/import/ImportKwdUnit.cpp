#include "import/ImportKwdUnit.h"

#include <algorithm>
#include <set>
#include <unordered_set>
#include <utility>

#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/SLUnit.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportJournalUnit.h"
#include "import/ImportKeysUnit.h"
#include "import/ImportText.h"

const TMLStringList* ImportKwdTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ImportKwd", 0);
    t->Add255Obj("Die KWD-Datei wird gepr\xFC" "ft.", 1);
    t->Add255Obj("Die KWD-Datei wird importiert.", 2);
    t->Add255Obj("Ladefehler!#13#Der Importvorgang konnte nicht gestartet werden.", 3);
    t->Add255Obj("Die KWD-Datei wurde nicht importiert.", 5);
    t->Add255Obj("uneindeutige Zylinder:", 6);
    t->Add255Obj("Anlage ohne ID", 7);
    t->Add255Obj("Keine neue Schlie\xDF" "anlage erzeugbar.", 8);
    t->Add255Obj("Unbekannte Satzart \"%1\" gefunden.#13#Bitte senden Sie Ihre KWD-Datei zur "
                 "Pr\xFC" "fung an Merivan.#13#Der Import wird trotzdem fortgesetzt.",
                 9);
    t->Add255Obj("SPos nicht gefunden: ", 10);
    t->Add255Obj(" ohne bekannte SPos: ", 11);
    t->Add255Obj("Schlie\xDF" "gruppe ohne Namen", 12);
    t->Add255Obj("internal Error in GetKwdField-Method", 13);
    t->Add255Obj("Abbrechen", 14);
    t->Add255Obj("KWD-Datei importieren", 15);
    t->Add255Obj("Schlie\xDF" "anlage: %1", 16);
    t->Add255Obj("Zylinder neu: %1", 17);
    t->Add255Obj("Zylinder vorhanden: %1", 18);
    t->Add255Obj("Schl\xFC" "ssel neu: %1", 19);
    t->Add255Obj("Schl\xFC" "ssel vorhanden: %1", 20);
    t->Add255Obj("Gruppen: %1", 21);
    t->Add255Obj("Soll die KWD-Datei jetzt importiert werden?", 22);
    t->Add255Obj("Die KWD-Datei wurde gepr\xFC" "ft.", 23);
    t->Add255Obj("(neu)", 24);
    t->Add255Obj("Hinweise:", 25);
    return t;
  }();
  return table;
}
std::string ImportKwdText(int number) { return GetMLText(ImportKwdTexts(), number); }
std::string ImportKwdTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(ImportKwdTexts(), number, argument);
}

// ---------------------------------------------------------------------------------------
// Records and fields

int32_t KwdFieldBase(char letter) {
  switch (letter) {
    case 'L': return 100;
    case 'D': return 200;
    case 'K': return 300;
    case 'C': return 600;
    case 'A': return 700;
    case 'F': return 1200;
    default: return 0;
  }
}

char KwdSeparator(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (line.size() >= 5 && line[0] == 'O' && line.compare(2, 3, "KWD") == 0) return line[1];
  return 0;
}

KwdRecord ParseKwdLine(const std::string& line, int32_t index, char separator) {
  KwdRecord r;
  r.letter = line.empty() ? 0 : line[0];
  r.line = index;
  r.base = KwdFieldBase(r.letter);
  r.fields[0] = std::string(1, r.letter);
  // Field 1 begins at the second character: "D;x" has an empty field 1 and "x" as field 2.
  std::string rest = line.size() > 1 ? line.substr(1) : std::string();
  for (int i = 1; i < kKwdFieldCount && !rest.empty(); ++i)
    r.fields[static_cast<size_t>(i)] = FetchCsvField(rest, separator);
  return r;
}

std::vector<KwdRecord> ParseKwdRecords(const std::vector<std::string>& lines, char separator) {
  std::vector<KwdRecord> records;
  records.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    records.push_back(ParseKwdLine(lines[i], static_cast<int32_t>(i), separator));
  }
  return records;
}

const std::string& KwdFieldRef(const KwdRecord& record, int32_t number) {
  static const std::string empty;
  const int64_t at = static_cast<int64_t>(number) - record.base;
  if (at < 0 || at >= kKwdFieldCount) return empty;
  return record.fields[static_cast<size_t>(at)];
}

std::string KwdField(const KwdRecord& record, int32_t number) {
  const int64_t at = static_cast<int64_t>(number) - record.base;
  if (at < 0 || at >= kKwdFieldCount) {
    UI().ShowMessage(TMsgKind::Error, ImportKwdText(13));
    return "";
  }
  return record.fields[static_cast<size_t>(at)];
}

// ---------------------------------------------------------------------------------------
// Positions

namespace {
// Position p of a record (field base + p).
const std::string& F(const KwdRecord& r, int p) {
  return r.fields[static_cast<size_t>(p)];
}
}  // namespace

TKwdPlan::TKwdPlan(std::vector<KwdRecord> records) : records_(std::move(records)) {
  for (size_t i = 0; i < records_.size(); ++i) {
    const KwdRecord& r = records_[i];
    if (r.letter == 'A') hasA_ = true;
    if (r.letter == 'A' || r.letter == 'C') byField1_.emplace(F(r, 1), i);
    if (r.letter == 'C' && (F(r, 1).empty() || F(r, 10) == "6")) cBy603_.emplace(F(r, 3), i);
    if (r.letter == 'F') {
      fBy1201_[F(r, 1)].push_back(i);
      fBy1202_[F(r, 2)].push_back(i);
    }
  }
}

KwdPosition TKwdPlan::Position(const std::string& text) const {
  KwdPosition p;
  if (text.empty()) return p;
  auto hit = cache_.find(text);
  if (hit != cache_.end()) return hit->second;
  auto a = byField1_.find(text);
  if (a != byField1_.end()) {
    const KwdRecord& r = records_[a->second];
    p = {true, F(r, 3), F(r, 5)};
  } else if (auto c = cBy603_.find(text); c != cBy603_.end()) {
    const KwdRecord& r = records_[c->second];
    p = {true, F(r, 3), F(r, 5)};
    if (Trim(p.kind).empty()) {
      const std::string& kind = F(r, 10);
      if (kind == "1")
        p.kind = "E";
      else if (kind == "2")
        p.kind = "I";
      else
        p.kind = kind == "6" && p.value == "GHS" ? "GHS" : "GS";
    }
  } else {
    unknownOrder_.push_back(text);
  }
  cache_.emplace(text, p);
  return p;
}

std::string TKwdPlan::MPositionOf(const std::string& text) const {
  auto it = fBy1201_.find(text);
  if (it == fBy1201_.end()) return "";
  for (size_t i : it->second) {
    const std::string& m = F(records_[i], 2);
    const KwdPosition p = Position(m);
    if (p.known && p.kind == "M") return m;
  }
  return "";
}

std::vector<std::string> TKwdPlan::KwdParentsOf(const std::string& value) const {
  std::vector<std::string> parents;
  auto it = fBy1202_.find(value);
  if (it == fBy1202_.end()) return parents;
  for (size_t i : it->second)
    if (!F(records_[i], 1).empty()) parents.push_back(F(records_[i], 1));
  return parents;
}

std::vector<std::string> TKwdPlan::KwdItemsOf(const std::string& value) const {
  std::vector<std::string> items;
  std::unordered_set<std::string> seen;
  auto add = [&](const std::string& item) {
    if (seen.insert(item).second) items.push_back(item);
  };
  auto it = fBy1201_.find(value);
  if (it == fBy1201_.end()) return items;
  for (size_t i : it->second) {
    const std::string& child = F(records_[i], 2);
    if (child.empty()) continue;
    if (child != value) {
      add(child);
    } else {
      for (const std::string& parent : KwdParentsOf(value)) add(parent);
    }
  }
  return items;
}

std::vector<std::string> TKwdPlan::AmbiguousPositions() const {
  std::unordered_map<std::string, int> counts;
  std::vector<std::string> order;
  for (const KwdRecord& r : records_) {
    if (r.letter != 'D') continue;
    if (++counts[F(r, 5)] == 2) order.push_back(F(r, 5));
  }
  return order;
}

// ---------------------------------------------------------------------------------------
// The plan's locking system

TKeySystemCode FindKwdSystem(const TMiniDB& db, const std::string& planId, bool& exists) {
  exists = false;
  TItemList systems;
  db.ListClass(icKeySystem, systems);
  for (int32_t i = 0; i < systems.Count(); ++i) {
    const int32_t id = systems.Get(i);
    if (db.ReadLineField(id, "k103") != planId) continue;
    const TKeySystemCode code = db.ReadKeySystem(id);
    if (code >= ksFirstNamed && code <= ksLastNamed) {
      exists = true;
      return code;
    }
  }
  for (TKeySystemCode code = ksFirstNamed; code <= ksLastNamed; ++code)
    if (Trim(KeySystemTableName(code)).empty()) return code;
  return ksNone;
}

// ---------------------------------------------------------------------------------------
// One pass

namespace {

// Sets a field only when it changes, so a repeated import leaves records as they are.
void Put(TMiniDB& db, int32_t id, const char* key, const std::string& value) {
  if (db.ReadLineField(id, key) == value) return;
  if (value.empty())
    db.DeleteField(id, key);
  else
    db.SetField(id, key, value);
}

void Revive(TMiniDB& db, int32_t id) {
  if (!db.IsValid(id)) db.DeleteField(id, "v");
}

// The digits of a position without leading zeros.
std::string PositionDigits(const std::string& text) {
  std::string digits;
  for (char ch : text)
    if (ch >= '0' && ch <= '9') digits += ch;
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return digits.empty() ? "" : "0";
  return digits.substr(first);
}

struct TOptions {
  std::string length, surface, type;
};
TOptions ParseOptions(const std::string& text) {
  TOptions o;
  std::vector<std::string> rest;
  // Read in place: a field of countless commas must not be shifted once per item.
  size_t at = 0;
  while (at < text.size()) {
    const std::string item = FetchCsvFieldAt(text, at, ',');
    const size_t eq = item.find('=');
    const std::string name = Trim(eq == std::string::npos ? item : item.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
    if (name == "L")
      o.length = value;
    else if (name == "OF")
      o.surface = value;
    else if (!Trim(item).empty())
      rest.push_back(item);
  }
  for (size_t i = 0; i < rest.size(); ++i) o.type += (i ? "," : "") + rest[i];
  return o;
}

// A key's type from its position's kind: "E" is a single lock.
int KwdKeyType(const std::string& kind) {
  return ParseKeyType(kind == "E" ? std::string("ES") : kind);
}

// Records of the plan's system, deleted ones included, by a field value (first in ID
// order), and the valid ones by name.
struct TFieldIndex {
  std::unordered_map<std::string, int32_t> first;
  void Add(const std::string& value, int32_t id) { first.emplace(value, id); }
  int32_t Find(const std::string& value) const {
    auto it = first.find(value);
    return it == first.end() ? 0 : it->second;
  }
};

class TKwdPass {
 public:
  TKwdPass(TMiniDB& db, TBulkWrite& run, const TKwdPlan& plan, TKwdPassReport& report)
      : db_(db), run_(run), plan_(plan), report_(report), check_(run.CheckOnly()) {}

  bool Run();

 private:
  bool MakeSystem();
  void IndexRecords();
  bool Cylinder(const KwdRecord& r);
  bool Key(const KwdRecord& r);
  bool Group(const KwdRecord& r);
  bool StoreGroup(const std::string& k701, const std::string& name, const std::string& value,
                  const std::string& kind);
  int32_t FindKwdGroup(const std::string& text, bool nameRule) const;
  using TCylindersBy217 = std::unordered_map<std::string, std::vector<int32_t>>;
  void LinkAll();
  void LinkGroupWithCylinders(int32_t group, const std::string& item,
                              const TCylindersBy217& cylinders);
  void LinkKeyWithCylinders(int32_t key, const std::string& value,
                            const TCylindersBy217& cylinders);
  void Note(const std::string& message) { report_.messages.push_back(message); }
  std::vector<int32_t> SystemRecords(int cls, bool validOnly) const;

  TMiniDB& db_;
  TBulkWrite& run_;
  const TKwdPlan& plan_;
  TKwdPassReport& report_;
  const bool check_;
  bool lookup_ = true;
  TKeySystemCode system_ = ksNone;
  int unnamed_ = 0;
  std::set<char> unknownLetters_;
  // Per run: cylinders by "k205" + TAB + name, keys by name + TAB + "k317", doors by
  // "k205" and by name, groups by "k701" and the valid ones without it by name.
  std::unordered_map<std::string, int32_t> cylinders_, keys_;
  std::unordered_map<std::string, int32_t> doorsByPos_, doorsByName_;
  std::unordered_map<std::string, int32_t> groupsBy701_, groupsByName_;
  std::unordered_set<int32_t> doorsWithPos_;
};

std::vector<int32_t> TKwdPass::SystemRecords(int cls, bool validOnly) const {
  TItemList list;
  if (validOnly)
    db_.ListClassValid(cls, list);
  else
    db_.ListClass(cls, list);
  std::vector<int32_t> ids;
  ids.reserve(static_cast<size_t>(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i)
    if (db_.ReadKeySystem(list.Get(i)) == system_) ids.push_back(list.Get(i));
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool TKwdPass::MakeSystem() {
  const KwdRecord* l = nullptr;
  for (const KwdRecord& r : plan_.Records())
    if (r.letter == 'L') {
      l = &r;
      break;
    }
  const std::string planId = l ? F(*l, 3) : std::string();
  if (planId.empty()) {
    report_.error = ImportKwdText(7);
    return false;
  }
  // The names as the file holds them now: another station may have named a system since
  // they were read (while the check's question stood, say), and the names header is
  // written whole below.
  ReadKeySystemNames(db_);
  bool exists = false;
  system_ = FindKwdSystem(db_, planId, exists);
  if (system_ == ksNone) {
    report_.error = ImportKwdText(8);
    return false;
  }
  report_.system = system_;
  report_.systemName = exists ? KeySystemTableName(system_) : planId;
  if (exists) return true;
  // Made inside the run: a check pass or a run that is not saved forgets it again.
  report_.systemMade = true;
  // Said after the run, with the pass's error, not as a box while the store is held.
  const std::string clean = CleanKeySystemName(planId);
  if (!KeySystemNameAcceptable(clean)) {
    report_.error = CoreTextFmt(ctKeySystemNameRefused, clean);
    return false;
  }
  if (!SetKeySystemName(system_, planId)) {
    report_.error = ImportKwdText(8);
    return false;
  }
  db_.SetHeaderValueUnsaved(kKeySystemNamesHeader, KeySystemNamesText());
  const int32_t id = db_.NewRecord(icKeySystem);
  if (id <= 0) {
    report_.error = ImportKwdText(8);
    return false;
  }
  db_.SetField(id, fkName, planId);
  db_.SetField(id, fkKeySystem, std::to_string(system_));
  db_.SetField(id, "k103", planId);
  return true;
}

void TKwdPass::IndexRecords() {
  for (int32_t id : SystemRecords(icCylinder, false))
    cylinders_.emplace(db_.ReadLineField(id, "k205") + '\t' + db_.ReadLineField(id, fkName), id);
  for (int32_t id : SystemRecords(icKey, false))
    keys_.emplace(db_.ReadLineField(id, fkName) + '\t' + db_.ReadLineField(id, "k317"), id);
  for (int32_t id : SystemRecords(icDoor, false)) {
    const std::string pos = db_.ReadLineField(id, "k205");
    if (!pos.empty()) {
      doorsByPos_.emplace(pos, id);
      doorsWithPos_.insert(id);
    } else if (db_.IsValid(id)) {
      doorsByName_.emplace(db_.GetDisplayName(id), id);
    }
  }
  for (int32_t id : SystemRecords(icGroup, false)) {
    const std::string k701 = db_.ReadLineField(id, "k701");
    if (!k701.empty())
      groupsBy701_.emplace(k701, id);
    else if (db_.IsValid(id))
      groupsByName_.emplace(db_.ReadLineField(id, fkName), id);
  }
}

bool TKwdPass::Cylinder(const KwdRecord& r) {
  if (F(r, 15) == "30") return true;
  std::string name1 = F(r, 1), name2 = F(r, 2);
  const int32_t count = StrToIntZero(F(r, 12));
  if (name1.empty() && name2.empty() && count == 0) return true;
  const std::string& pos = F(r, 5);
  const std::string& options = !F(r, 6).empty() ? F(r, 6) : F(r, 58);
  const KwdPosition p = plan_.Position(F(r, 17));
  if (!p.known) return true;
  if (name2 == name1) name2.clear();
  if (name1.empty()) std::swap(name1, name2);
  if (name1.empty()) {
    name1 = "Unbenannt" + std::to_string(++unnamed_);
    if (!p.value.empty()) name1 += " " + p.value;
  }
  int32_t cyl = 0;
  if (lookup_) {
    auto it = cylinders_.find(pos + '\t' + name1);
    if (it != cylinders_.end()) cyl = it->second;
  }
  (cyl ? report_.oldCylinders : report_.newCylinders)++;
  if (check_) return true;
  const bool made = cyl == 0;
  if (made) {
    cyl = db_.NewNamedRecord(icCylinder, name1, name2);
    if (cyl <= 0) return false;
    db_.SetField(cyl, fkKeySystem, std::to_string(system_));
    if (lookup_) cylinders_.emplace(pos + '\t' + name1, cyl);
    if (!F(r, 1).empty() || !F(r, 2).empty()) {
      const std::string display = name2.empty() ? name1 : name1 + " [" + name2 + "]";
      int32_t door = 0;
      if (auto d = doorsByPos_.find(pos); !pos.empty() && d != doorsByPos_.end())
        door = d->second;
      else if (auto n = doorsByName_.find(display); n != doorsByName_.end())
        door = n->second;
      if (door == 0) {
        door = db_.NewNamedRecord(icDoor, display, "");
        if (door <= 0) return false;
        db_.SetField(door, "k205", pos);
        // In the plan's system, so the next import of the plan finds it again.
        db_.SetField(door, fkKeySystem, std::to_string(system_));
        if (!pos.empty()) doorsByPos_.emplace(pos, door);
      }
      Revive(db_, door);
      db_.AddLinkBoth(cyl, door, icDoor, icCylinder);
    }
  }
  TQStringList entry;
  ImportRowQuery(entry, icCylinder, name1, pos);
  if (made) SetAbsCount(entry, std::to_string(count));
  Revive(db_, cyl);
  Put(db_, cyl, "k201", F(r, 1));
  Put(db_, cyl, "k202", F(r, 2));
  Put(db_, cyl, "k205", pos);
  Put(db_, cyl, "k217", F(r, 17));
  Put(db_, cyl, "k603", p.value);
  Put(db_, cyl, "k605", Trim(p.kind));
  Put(db_, cyl, "pos", PositionDigits(pos));
  const TOptions o = ParseOptions(options);
  Put(db_, cyl, fkLength, o.length);
  Put(db_, cyl, "ofl", o.surface);
  Put(db_, cyl, "ctyp", o.type);
  if (count != 0 || !db_.ReadLineField(cyl, fkCylinderCount).empty())
    ApplyCountChange(db_, cyl, std::to_string(count), fkCylinderCount, entry, "");
  MarkImportant(entry, report_.important);
  return true;
}

bool TKwdPass::Key(const KwdRecord& r) {
  std::string name = Trim(F(r, 1));
  if (name.empty()) name = Trim(F(r, 7));
  if (F(r, 14) == "30" || name.empty()) return true;
  const std::string& pos = F(r, 17);
  const int32_t count = StrToIntZero(F(r, 12));
  const KwdPosition p = plan_.Position(pos);
  if (!p.known) {
    Note("Key \"" + name + "\"" + ImportKwdText(11) + pos);
    return true;
  }
  int32_t key = 0;
  if (lookup_) {
    auto it = keys_.find(name + '\t' + pos);
    if (it != keys_.end()) key = it->second;
  }
  (key ? report_.oldKeys : report_.newKeys)++;
  if (check_) return true;
  const bool made = key == 0;
  if (made) {
    key = db_.NewNamedRecord(icKey, name, "");
    if (key <= 0) return false;
    db_.SetField(key, fkKeySystem, std::to_string(system_));
    if (lookup_) keys_.emplace(name + '\t' + pos, key);
  }
  Revive(db_, key);
  Put(db_, key, "k301", F(r, 1));
  Put(db_, key, "k304", F(r, 4));
  Put(db_, key, "k317", pos);
  Put(db_, key, "k603", p.value);
  Put(db_, key, "k605", Trim(p.kind));
  const int type = KwdKeyType(p.kind);
  if (type > 0) Put(db_, key, fkKeyType, std::to_string(type));
  TQStringList entry;
  ImportRowQuery(entry, icKey, name, pos);
  if (made) SetAbsCount(entry, std::to_string(count));
  ApplyCountChange(db_, key, std::to_string(count), fkTotal, entry, fkStock);
  MarkImportant(entry, report_.important);
  return true;
}

int32_t TKwdPass::FindKwdGroup(const std::string& text, bool nameRule) const {
  if (auto it = groupsBy701_.find(text); it != groupsBy701_.end()) return it->second;
  if (!nameRule) return 0;
  auto it = groupsByName_.find(text);
  return it == groupsByName_.end() ? 0 : it->second;
}

bool TKwdPass::StoreGroup(const std::string& k701, const std::string& name,
                          const std::string& value, const std::string& kind) {
  ++report_.groups;
  if (check_) return true;
  int32_t group = FindKwdGroup(k701, true);
  if (group == 0) {
    group = db_.NewNamedRecord(icGroup, name, "");
    if (group <= 0) return false;
    db_.SetField(group, fkKeySystem, std::to_string(system_));
  }
  Revive(db_, group);
  if (!k701.empty()) {
    // Now known by its value: the name rule no longer reaches it.
    auto byName = groupsByName_.find(db_.ReadLineField(group, fkName));
    if (byName != groupsByName_.end() && byName->second == group) groupsByName_.erase(byName);
    groupsBy701_.emplace(k701, group);
  }
  Put(db_, group, "k701", k701);
  Put(db_, group, "k702", name);
  Put(db_, group, "k603", value);
  Put(db_, group, "k605", kind);
  return true;
}

bool TKwdPass::Group(const KwdRecord& r) {
  if (r.letter == 'A') {
    const std::string name = Trim((F(r, 1).empty() ? std::string() : F(r, 1) + " ") + F(r, 2));
    if (name.empty()) {
      report_.error = ImportKwdText(12);
      return false;
    }
    return StoreGroup(F(r, 1), name, F(r, 3), F(r, 5));
  }
  if (r.letter == 'F') {
    const KwdPosition p = plan_.Position(F(r, 1));
    if (!p.known || p.kind != "M") return true;
    return StoreGroup(F(r, 1), F(r, 1), p.value, "M");
  }
  if (r.letter == 'C') {
    if (F(r, 10) != "6") return true;
    const std::string& v = F(r, 3);
    return StoreGroup(v, v, v, v == "GHS" ? "GHS" : "GS");
  }
  return true;
}

void TKwdPass::LinkAll() {
  // Only records this plan made valid take part: a deleted record stays as it was.
  TCylindersBy217 cylindersBy217;
  for (int32_t id : SystemRecords(icCylinder, true)) {
    const std::string k217 = db_.ReadLineField(id, "k217");
    if (!k217.empty()) cylindersBy217[k217].push_back(id);
  }
  const std::vector<int32_t> groups = SystemRecords(icGroup, true);
  const int64_t groupCount = static_cast<int64_t>(groups.size());
  for (size_t i = 0; i < groups.size(); ++i) {
    const int32_t group = groups[i];
    const std::string value = db_.ReadLineField(group, "k701");
    if (value.empty()) continue;
    for (const std::string& item : plan_.KwdItemsOf(value))
      LinkGroupWithCylinders(group, item, cylindersBy217);
    run_.Step(static_cast<int64_t>(i), groupCount);
  }
  const std::vector<int32_t> keys = SystemRecords(icKey, true);
  const int64_t keyCount = static_cast<int64_t>(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const int32_t key = keys[i];
    if (i % 4 == 0) run_.Step(static_cast<int64_t>(i), keyCount);
    const std::string value = db_.ReadLineField(key, "k317");
    if (value.empty()) continue;
    int32_t group = FindKwdGroup(value, false);
    if (group == 0) {
      const KwdPosition p = plan_.Position(value);
      if (p.known && p.kind == "I") {
        const std::string m = plan_.MPositionOf(value);
        if (!m.empty()) group = FindKwdGroup(m, false);
      }
    }
    if (group > 0 && db_.IsValid(group)) {
      db_.AddLinkBoth(key, group, icGroup, icKey);
      continue;
    }
    LinkKeyWithCylinders(key, value, cylindersBy217);
  }
}

void TKwdPass::LinkGroupWithCylinders(int32_t group, const std::string& item,
                                      const TCylindersBy217& cylinders) {
  auto it = cylinders.find(item);
  if (it == cylinders.end()) return;
  for (int32_t cyl : it->second) db_.AddLinkBoth(group, cyl, icCylinder, icGroup);
}

void TKwdPass::LinkKeyWithCylinders(int32_t key, const std::string& value,
                                    const TCylindersBy217& cylinders) {
  auto it = cylinders.find(value);
  if (it == cylinders.end()) return;
  for (int32_t cyl : it->second) db_.AddLinkBoth(key, cyl, icCylinder, icKey);
}

bool TKwdPass::Run() {
  report_.important.Clear();
  report_.ambiguous = plan_.AmbiguousPositions();
  lookup_ = report_.ambiguous.empty();
  if (!MakeSystem()) return false;
  IndexRecords();
  const std::vector<KwdRecord>& records = plan_.Records();
  const int64_t total = static_cast<int64_t>(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (i % 8 == 0 && !run_.Step(static_cast<int64_t>(i), total)) return false;
    const KwdRecord& r = records[i];
    bool ok = true;
    switch (r.letter) {
      case 'A':
      case 'F':
        ok = Group(r);
        break;
      case 'D':
        ok = Cylinder(r);
        break;
      case 'K':
        ok = Key(r);
        break;
      case 'C':
      case 'L':
      case 'O':
        break;
      default:
        if (check_ && unknownLetters_.insert(r.letter).second)
          Note(ImportKwdTextFmt(9, std::string(1, r.letter)));
        break;
    }
    if (!ok) return false;
  }
  if (!plan_.HasA())
    for (const KwdRecord& r : records)
      if (r.letter == 'C' && !Group(r)) return false;
  if (!check_) LinkAll();
  return !run_.Cancelled();
}

}  // namespace

bool RunKwdPass(TMiniDB& db, TBulkWrite& run, const TKwdPlan& plan, TKwdPassReport& report) {
  TKwdPass pass(db, run, plan, report);
  const bool ok = pass.Run();
  for (const std::string& text : plan.UnknownPositions())
    report.messages.push_back(ImportKwdText(10) + text);
  return ok;
}

std::string KwdCheckSummary(const TKwdPassReport& report) {
  std::string text = ImportKwdText(23) + "\r\r";
  text += ImportKwdTextFmt(16, report.systemName) +
          (report.systemMade ? " " + ImportKwdText(24) : std::string()) + "\r";
  text += ImportKwdTextFmt(17, std::to_string(report.newCylinders)) + "\r";
  text += ImportKwdTextFmt(18, std::to_string(report.oldCylinders)) + "\r";
  text += ImportKwdTextFmt(19, std::to_string(report.newKeys)) + "\r";
  text += ImportKwdTextFmt(20, std::to_string(report.oldKeys)) + "\r";
  text += ImportKwdTextFmt(21, std::to_string(report.groups)) + "\r";
  if (!report.ambiguous.empty()) {
    text += "\r" + ImportKwdText(6) + "\r";
    for (size_t i = 0; i < report.ambiguous.size() && i < 20; ++i)
      text += report.ambiguous[i] + "\r";
    if (report.ambiguous.size() > 20) text += "...\r";
  }
  if (!report.messages.empty()) {
    text += "\r" + ImportKwdText(25) + "\r";
    std::unordered_set<std::string> seen;
    int shown = 0;
    for (const std::string& m : report.messages) {
      if (!seen.insert(m).second) continue;
      if (++shown > 20) {
        text += "...\r";
        break;
      }
      text += m + "\r";
    }
  }
  return text + "\r" + ImportKwdText(22);
}

namespace {

// The messages of a pass, shown once the store is free again: each text once, at most 30.
void ShowCollected(const std::vector<std::string>& messages) {
  if (messages.empty()) return;
  std::vector<std::string> unique;
  std::unordered_set<std::string> seen;
  for (const std::string& m : messages)
    if (seen.insert(m).second) unique.push_back(m);
  std::string text;
  for (size_t i = 0; i < unique.size() && i < 30; ++i) text += unique[i] + "\r";
  if (unique.size() > 30) text += "...\r";
  text.pop_back();
  UI().ShowMessage(TMsgKind::Info, text);
}

std::vector<std::string> g_lastSummary;

}  // namespace

const std::vector<std::string>& LastKwdSummary() { return g_lastSummary; }

TKwdResult ImportKwdFile(TMiniDB& db, const std::string& fileName, const TKwdHooks& hooks,
                         const std::string& journalFolder) {
  g_lastSummary.clear();
  std::vector<std::string> lines;
  if (!ReadImportTextFile(fileName, lines)) {
    UI().ShowMessage(TMsgKind::Error, ImportKwdText(3));
    return TKwdResult::NotStarted;
  }
  const char separator = KwdSeparator(lines);
  if (separator == 0) {
    UI().ShowMessage(TMsgKind::Error, ImportKwdText(5));
    return TKwdResult::NotStarted;
  }
  const TKwdPlan plan(ParseKwdRecords(lines, separator));
  auto status = [&](int text) {
    if (hooks.status) hooks.status(ImportKwdText(text));
  };
  // Whatever a run that is not saved changed in the names table goes with it.
  auto forgetNames = [&] { ReadKeySystemNames(db); };

  // Check pass: everything in memory, taken back when the run ends.
  status(1);
  TKwdPassReport check;
  bool checked = false, checkCancelled = false;
  {
    TBulkWrite run(db, TBulkMode::Check);
    if (!run.Ok()) {
      TellImportRefused(db, run.Blocking());
      return TKwdResult::Refused;
    }
    run.SetProgress(hooks.progress);
    checked = RunKwdPass(db, run, plan, check);
    checkCancelled = run.Cancelled();
    run.Rollback();
  }
  // The run has given the store back: what it found is told now.
  forgetNames();
  if (checkCancelled) {
    ShowCollected(check.messages);
    return TKwdResult::Cancelled;
  }
  if (!checked) {
    ShowCollected(check.messages);
    UI().ShowMessage(TMsgKind::Error, (check.error.empty() ? "" : check.error + "\r") +
                                          ImportKwdText(5));
    return TKwdResult::CheckFailed;
  }
  if (UI().Ask(TMsgKind::Confirmation, KwdCheckSummary(check), TAskButtons::YesCancel) != mrYes)
    return TKwdResult::Declined;

  // Import pass.
  status(2);
  TKwdPassReport report;
  TBulkResult saved = TBulkResult::Failed;
  bool cancelled = false;
  {
    TBulkWrite run(db);
    if (!run.Ok()) {
      TellImportRefused(db, run.Blocking());
      return TKwdResult::Refused;
    }
    run.SetProgress(hooks.progress);
    const bool ok = RunKwdPass(db, run, plan, report);
    cancelled = run.Cancelled();
    if (ok && !cancelled) {
      saved = run.Commit();
      cancelled = saved == TBulkResult::Cancelled;
    } else {
      run.Rollback();
    }
  }
  if (saved != TBulkResult::Saved) {
    forgetNames();
    ShowCollected(report.messages);
    if (!cancelled)
      UI().ShowMessage(TMsgKind::Error, (report.error.empty() ? "" : report.error + "\r") +
                                            ImportKwdText(5));
    return cancelled ? TKwdResult::Cancelled : TKwdResult::Failed;
  }
  db.RefreshAllNames();
  g_lastSummary = ImportSummaryTable(report.important);
  // The pass's notes were in the check's summary already.
  ShowImportDoneNote();
  if (g_lastSummary.size() > 1) {
    if (!journalFolder.empty()) WriteImportJournal(g_lastSummary, journalFolder);
    if (hooks.showSummary) hooks.showSummary(g_lastSummary);
  }
  return TKwdResult::Imported;
}
