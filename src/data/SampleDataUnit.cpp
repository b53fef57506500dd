#include "data/SampleDataUnit.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <vector>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "data/HistoryUnit.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"

uint64_t TSampleRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int32_t TSampleRandom::Below(int32_t n) {
  if (n < 1) return 0;
  return static_cast<int32_t>(((Next() >> 32) * static_cast<uint64_t>(n)) >> 32);
}

TSampleInputCheck CheckSampleInput(std::string& countText, std::string& firstText, int32_t& count,
                                   int32_t& first) {
  const std::string typed = Trim(countText);
  count = StrToIntZero(typed);
  // A number too large for an integer is still a number above the limit.
  const bool digits = !typed.empty() && typed.find_first_not_of("0123456789") == std::string::npos;
  if (digits && typed.find_first_not_of('0') != std::string::npos &&
      typed.size() - typed.find_first_not_of('0') > 9)
    count = kSampleMaxCount + 1;
  if (count > kSampleMaxCount) {
    count = kSampleMaxCount;
    countText = std::to_string(kSampleMaxCount);
  }
  if (count < 1) {
    countText = "1";
    return TSampleInputCheck::CountTooSmall;
  }
  first = StrToIntZero(Trim(firstText));
  if (first < 1) {
    firstText = "1";
    return TSampleInputCheck::FirstTooSmall;
  }
  return TSampleInputCheck::Ok;
}

namespace {
// `text` with its first "%1" replaced by `value`.
std::string WithArgument(std::string text, const std::string& value) {
  const size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, value);
  return text;
}
}  // namespace

std::string SampleDoneText(int32_t created, int32_t reused) {
  std::string text = MLTranslate("Es wurden %1 neue Datens\xE4tze angelegt.");
  text = WithArgument(text, std::to_string(created));
  if (reused > 0) {
    std::string more =
        MLTranslate("%1 Datens\xE4tze gab es schon unter ihrem Namen: sie blieben unver\xE4ndert.");
    text += " " + WithArgument(more, std::to_string(reused));
  }
  return text;
}

void TellBulkRefused(TMiniDB& db, const std::string& blocking) {
  if (blocking.empty() || blocking == "*")
    db.ShowLockedMessage("*", true);
  else
    db.ShowExclusiveDenied(blocking);
}

namespace {

// The six departments of sample persons.
const char* const kDepartments[] = {"Verwaltung", "Technik", "Vertrieb",
                                    "Einkauf",    "Lager",   "Hausmeisterei"};

// Which existing record a new one of a name would be: one index per class and run, so the
// look-up stays constant whatever the store's size.
class TNameIndex {
 public:
  TNameIndex(const TMiniDB& db, int cls, bool bySystem) : bySystem_(bySystem) {
    TItemList list;
    db.ListClassValid(cls, list);
    index_.reserve(static_cast<size_t>(list.Count()) * 2);
    for (int32_t i = 0; i < list.Count(); ++i) {
      const int32_t id = list.Get(i);
      index_.emplace(KeyOf(db.ReadName(id), bySystem ? db.ReadKeySystem(id) : 0), id);
    }
  }
  int32_t Find(const std::string& name, int32_t system) const {
    auto it = index_.find(KeyOf(name, bySystem_ ? system : 0));
    return it == index_.end() ? 0 : it->second;
  }
  void Add(const std::string& name, int32_t system, int32_t id) {
    index_.emplace(KeyOf(name, bySystem_ ? system : 0), id);
  }

 private:
  static std::string KeyOf(const std::string& name, int32_t system) {
    return std::to_string(system) + '\x01' + AnsiUpperCase(Trim(name));
  }
  bool bySystem_;
  std::unordered_map<std::string, int32_t> index_;
};

// A new record's history line, written once the run's save succeeded.
struct TNewLine {
  int cls;
  int32_t id;
  std::string name;
  std::string stock;
};

// Writes the "a=New" lines of a run after its save (the run writes them in large pieces).
void QueueNewLines(TBulkWrite& run, std::vector<TNewLine>&& lines) {
  if (lines.empty()) return;
  run.AfterSave([lines = std::move(lines)] {
    THistory& history = History();
    for (const TNewLine& l : lines) history.New(l.cls, l.id, l.name, l.stock);
  });
}

// Issues one piece of `key` to `person` as a booking of its own inside the run.
bool IssueOne(TMiniDB& db, int32_t key, int32_t person, int32_t user) {
  TTransferRecord r;
  r.Kind = tkIssue;
  r.KeyId = key;
  r.Keys.Add(key);
  r.Quantity = 1;
  r.QuantityLimit = 999;
  r.TransferUserId = user;
  SetTransferOwners(db, r, person, 0);
  return BookTransfer(db, r) == TTransferResult::Booked;
}

// Keys with pieces in stock, kept up to date as pieces are issued.
class TAvailableKeys {
 public:
  TAvailableKeys(const TMiniDB& db, const std::vector<int32_t>& keys) {
    for (int32_t key : keys)
      if (StrToIntZero(db.ReadLineField(key, fkStock)) > 0) keys_.push_back(key);
  }
  // Each available key, in order, with a chance of `percent` in 100; at most `most` keys
  // issued to `person`.
  int32_t IssueTo(TMiniDB& db, TSampleRandom& rnd, int32_t person, int32_t user, int32_t percent,
                  int32_t most) {
    int32_t issued = 0;
    for (size_t i = 0; i < keys_.size() && issued < most;) {
      const int32_t key = keys_[i];
      if (!rnd.Chance(percent)) {
        ++i;
        continue;
      }
      if (IssueOne(db, key, person, user)) ++issued;
      if (StrToIntZero(db.ReadLineField(key, fkStock)) > 0)
        ++i;
      else
        keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return issued;
  }

 private:
  std::vector<int32_t> keys_;
};

// Up to `most` distinct targets drawn from `from` in at most `draws` draws, linked both ways.
void LinkRandom(TMiniDB& db, TSampleRandom& rnd, int32_t id, int cls,
                const std::vector<int32_t>& from, int targetCls, int most, int draws) {
  int linked = 0;
  for (int d = 0; d < draws && linked < most && !from.empty(); ++d) {
    const int32_t target = from[static_cast<size_t>(rnd.Below(static_cast<int32_t>(from.size())))];
    if (db.ReadHasLink(id, targetCls, target)) continue;
    db.AddLinkBoth(id, target, targetCls, cls);
    ++linked;
  }
}

}  // namespace

TSampleOutcome GenerateSampleRecords(TMiniDB& db, const TSampleRequest& request, uint64_t seed,
                                     const TBulkProgress& progress) {
  TSampleOutcome out;
  const int cls = request.Class;
  if (cls != icDoor && cls != icKey && cls != icPerson && cls != icCylinder) return out;
  TBulkWrite run(db);
  if (!run.Ok()) {
    out.Blocking = run.Blocking();
    return out;
  }
  out.Began = true;
  run.KeepDoneOnCancel(true);
  if (progress) run.SetProgress(progress);
  TSampleRandom rnd(seed);

  const int32_t system = request.KeySystem;
  const bool bySystem = cls == icKey || cls == icCylinder;
  TNameIndex names(db, cls, bySystem);

  // The candidates of random links: cylinders and keys of the locking system, doors of
  // the building.
  std::vector<int32_t> cylinders, keys, doors;
  if (request.RandomLinks) {
    TItemList list;
    db.ListClassValid(icCylinder, list);
    for (int32_t i = 0; i < list.Count(); ++i)
      if (db.ReadKeySystem(list.Get(i)) == system) cylinders.push_back(list.Get(i));
    db.ListClassValid(icKey, list);
    for (int32_t i = 0; i < list.Count(); ++i)
      if (db.ReadKeySystem(list.Get(i)) == system) keys.push_back(list.Get(i));
    if (request.Building > 0) {
      db.ReadLinks(request.Building, icDoor, list);
      for (int32_t i = 0; i < list.Count(); ++i)
        if (db.IsValid(list.Get(i)) && db.GetClass(list.Get(i)) == icDoor)
          doors.push_back(list.Get(i));
    }
  }
  TAvailableKeys available(db, keys);
  const bool building = request.Building > 0 && db.IsValid(request.Building) &&
                        db.GetClass(request.Building) == icBuilding;

  std::vector<TNewLine> lines;
  for (int32_t i = 0; i < request.Count; ++i) {
    if (!run.Step(i, request.Count)) break;
    const std::string number = std::to_string(static_cast<int64_t>(request.First) + i);
    const std::string name = request.Prefix + number;
    if (names.Find(name, system) != 0) {
      ++out.Reused;
      continue;
    }
    const int32_t id = db.NewRecord(cls);
    if (id == 0) {
      run.Rollback();
      out.Result = TBulkResult::Failed;
      out.Created = 0;
      return out;
    }
    db.SetField(id, fkName, name);
    // Stored as every remark is, so "eine Bemerkung" reads back as one line.
    db.SetFieldIfGiven(id, fkRemark, RemarkToStored(request.Remark));
    names.Add(name, system, id);
    std::string stock;
    switch (cls) {
      case icDoor:
        if (building) db.AddLinkBoth(id, request.Building, icBuilding, icDoor);
        db.SetField(id, fkRoomName, number);
        db.SetField(id, fkRoom, "Raum " + number);
        if (request.RandomLinks && !cylinders.empty())
          LinkRandom(db, rnd, id, icDoor, cylinders, icCylinder, 1, 1);
        break;
      case icKey: {
        if (system > 0) db.SetKeySystem(id, system);
        db.SetField(id, fkKeyType, std::to_string(ktSingle));
        db.SetField(id, "k603", number);
        const int32_t pieces = rnd.Range(2, 5);
        stock = std::to_string(pieces);
        db.SetField(id, fkStock, stock);
        db.SetField(id, fkTotal, stock);
        if (request.RandomLinks) LinkRandom(db, rnd, id, icKey, cylinders, icCylinder, 5, 21);
        break;
      }
      case icCylinder:
        if (system > 0) db.SetKeySystem(id, system);
        db.SetField(id, "k603", number);
        db.SetField(id, "pos", number);
        if (request.RandomLinks) {
          LinkRandom(db, rnd, id, icCylinder, keys, icKey, 5, 21);
          for (int32_t door : doors)
            if (db.ReadLinkCount(door, icCylinder) == 0 && rnd.Chance(30))
              db.AddLinkBoth(id, door, icDoor, icCylinder);
        }
        break;
      case icPerson:
        if (building) db.AddLinkBoth(id, request.Building, icBuilding, icPerson);
        if (request.RandomLinks) {
          db.SetField(id, fkDepartment, kDepartments[rnd.Below(6)]);
          db.SetField(id, fkPersonNumber, std::to_string(rnd.Range(1000, 9999)));
        }
        break;
    }
    lines.push_back({cls, id, name, stock});
    ++out.Created;
    if (cls == icPerson && request.RandomLinks)
      out.Issued += available.IssueTo(db, rnd, id, request.UserId, 31, 2);
  }
  out.Cancelled = run.Cancelled();
  QueueNewLines(run, std::move(lines));
  db.Modified = true;
  out.Result = run.Commit();
  if (out.Result != TBulkResult::Saved) {
    out.Created = 0;
    out.Issued = 0;
  }
  return out;
}

// ---------------------------------------------------------------------------------------
// The sample client.

namespace {

const char* const kFirstNames[] = {"Anna",   "Ben",   "Clara", "David", "Eva",    "Felix",
                                   "Greta",  "Hanna", "Ivo",   "Jana",  "Karl",   "Lena",
                                   "Moritz", "Nina",  "Otto",  "Paula", "Quirin", "Rosa"};
const char* const kLastNames[] = {"Schmidt",  "M\xFCller", "Weber",   "Wagner",    "Becker",
                                  "Hoffmann", "Koch",      "Richter", "Klein",     "Wolf",
                                  "Neumann",  "Schwarz",   "Braun",   "Zimmermann"};
const char* const kHouseNames[] = {"Verwaltung", "Werkstatt", "Lager",     "Labor",
                                   "Halle",      "Schule",    "Turnhalle", "Wohnheim"};

template <size_t N>
const char* Pick(TSampleRandom& rnd, const char* const (&names)[N]) {
  return names[rnd.Below(static_cast<int32_t>(N))];
}

// How many records of each kind a client of `records` records gets.
struct TClientShape {
  int32_t buildings, doors, groups, keys, cabinets, persons;
};

TClientShape ShapeOf(int32_t records) {
  // Per 100 records: 1 building, 30 doors and 30 cylinders, 2 groups, 16 keys, 20 persons,
  // a cabinet per 1,000 (at least one of each).
  TClientShape s;
  s.buildings = std::max<int32_t>(1, records / 100);
  s.cabinets = std::max<int32_t>(1, records / 1000);
  s.groups = std::max<int32_t>(1, records / 50);
  s.doors = std::max<int32_t>(1, records * 30 / 100);
  s.keys = std::max<int32_t>(1, records * 16 / 100);
  const int32_t used = s.buildings + s.cabinets + s.groups + 2 * s.doors + s.keys;
  s.persons = std::max<int32_t>(1, records - used);
  return s;
}

}  // namespace

TSampleOutcome GenerateSampleClient(TMiniDB& db, int32_t records, uint64_t seed,
                                    const TBulkProgress& progress) {
  TSampleOutcome out;
  if (records < 1) return out;
  TBulkWrite run(db);
  if (!run.Ok()) {
    out.Blocking = run.Blocking();
    return out;
  }
  out.Began = true;
  if (progress) run.SetProgress(progress);
  TSampleRandom rnd(seed);
  const TClientShape shape = ShapeOf(records);
  const int32_t system = 1;
  int64_t done = 0;
  std::vector<TNewLine> lines;
  bool failed = false;
  auto make = [&](int cls, const std::string& name) -> int32_t {
    if (failed || !run.Step(done++, records)) return 0;
    const int32_t id = db.NewRecord(cls);
    if (id == 0) {
      failed = true;
      return 0;
    }
    db.SetField(id, fkName, name);
    lines.push_back({cls, id, name, {}});
    ++out.Created;
    return id;
  };

  std::vector<int32_t> buildings, doors, cylinders, groups, keys, cabinets, persons;
  for (int32_t i = 0; i < shape.buildings; ++i) {
    const int32_t id =
        make(icBuilding, std::string(Pick(rnd, kHouseNames)) + " " + std::to_string(i + 1));
    if (id == 0) break;
    buildings.push_back(id);
  }
  // Doors, each with its cylinder, spread over the buildings.
  for (int32_t i = 0; i < shape.doors && !failed; ++i) {
    const int32_t house = buildings[static_cast<size_t>(i) % buildings.size()];
    const std::string room = std::to_string(100 + i);
    const int32_t door = make(icDoor, "T\xFCr " + room);
    if (door == 0) break;
    db.SetField(door, fkRoom, "Raum " + room);
    db.AddLinkBoth(door, house, icBuilding, icDoor);
    doors.push_back(door);
    const int32_t cyl = make(icCylinder, "Z " + room);
    if (cyl == 0) break;
    db.SetKeySystem(cyl, system);
    db.SetField(cyl, "pos", std::to_string(i + 1));
    db.AddLinkBoth(cyl, door, icDoor, icCylinder);
    cylinders.push_back(cyl);
  }
  // The group tree: each group below an earlier one, the first at the top.
  for (int32_t i = 0; i < shape.groups && !failed; ++i) {
    const int32_t group = make(icGroup, "Gruppe " + std::to_string(i + 1));
    if (group == 0) break;
    db.SetKeySystem(group, system);
    if (!groups.empty()) db.AddLink(groups[static_cast<size_t>(rnd.Below(i))], group, icGroup);
    groups.push_back(group);
  }
  // Each group locks a run of cylinders.
  for (size_t g = 0; g < groups.size() && !cylinders.empty(); ++g) {
    const int32_t n = rnd.Range(1, 4);
    for (int32_t k = 0; k < n; ++k) {
      const int32_t cyl =
          cylinders[static_cast<size_t>(rnd.Below(static_cast<int32_t>(cylinders.size())))];
      if (!db.ReadHasLink(groups[g], icCylinder, cyl))
        db.AddLinkBoth(groups[g], cyl, icCylinder, icGroup);
    }
  }
  for (int32_t i = 0; i < shape.cabinets && !failed; ++i) {
    const int32_t id = make(icCabinet, "Schrank " + std::to_string(i + 1));
    if (id == 0) break;
    cabinets.push_back(id);
  }
  // Keys: one general master key, a master key per 50 keys, group keys and single keys.
  for (int32_t i = 0; i < shape.keys && !failed; ++i) {
    int type = ktSingle;
    if (i == 0)
      type = ktGeneralMaster;
    else if (i % 50 == 1)
      type = ktMaster;
    else if (i % 4 == 2 && !groups.empty())
      type = ktGroup;
    const int32_t key = make(icKey, "S " + std::to_string(i + 1));
    if (key == 0) break;
    db.SetKeySystem(key, system);
    db.SetField(key, fkKeyType, std::to_string(type));
    db.SetField(key, "k603", std::to_string(i + 1));
    const int32_t pieces = type == ktGeneralMaster ? 1 : rnd.Range(2, 5);
    db.SetField(key, fkStock, std::to_string(pieces));
    db.SetField(key, fkTotal, std::to_string(pieces));
    lines.back().stock = std::to_string(pieces);
    if (type == ktMaster && !groups.empty()) {
      db.AddLinkBoth(key, groups.front(), icGroup, icKey);
    } else if (type == ktGroup) {
      db.AddLinkBoth(key,
                     groups[static_cast<size_t>(rnd.Below(static_cast<int32_t>(groups.size())))],
                     icGroup, icKey);
    } else if (type == ktSingle && !cylinders.empty()) {
      db.AddLinkBoth(
          key, cylinders[static_cast<size_t>(rnd.Below(static_cast<int32_t>(cylinders.size())))],
          icCylinder, icKey);
    }
    if (!cabinets.empty())
      db.AddLinkBoth(key, cabinets[static_cast<size_t>(i) % cabinets.size()], icCabinet, icKey);
    keys.push_back(key);
  }
  // Persons in departments with numbers, living in a building; some hold keys.
  TAvailableKeys available(db, keys);
  for (int32_t i = 0; i < shape.persons && !failed; ++i) {
    const std::string name = std::string(Pick(rnd, kLastNames)) + ", " + Pick(rnd, kFirstNames) +
                             " " + std::to_string(i + 1);
    const int32_t person = make(icPerson, name);
    if (person == 0) break;
    db.SetField(person, fkDepartment, kDepartments[rnd.Below(6)]);
    db.SetField(person, fkPersonNumber, std::to_string(10000 + i));
    db.AddLinkBoth(person, buildings[static_cast<size_t>(i) % buildings.size()], icBuilding,
                   icPerson);
    if (rnd.Chance(40)) out.Issued += available.IssueTo(db, rnd, person, 0, 31, 2);
  }
  if (failed) {
    run.Rollback();
    out.Created = out.Issued = 0;
    out.Result = TBulkResult::Failed;
    return out;
  }
  out.Cancelled = run.Cancelled();
  QueueNewLines(run, std::move(lines));
  db.Modified = true;
  out.Result = run.Commit();
  if (out.Result != TBulkResult::Saved) out.Created = out.Issued = 0;
  return out;
}
