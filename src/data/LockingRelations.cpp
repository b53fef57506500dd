#include "data/LockingRelations.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"

namespace {

bool SameAsciiKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The IDs of a link list ("3;17;5"): items that are not numbers above 0 are skipped.
void ParseLinkList(std::string_view text, std::vector<int32_t>& ids) {
  size_t start = 0;
  while (start < text.size()) {
    size_t semi = text.find(';', start);
    if (semi == std::string_view::npos) semi = text.size();
    int32_t id = 0;
    if (semi > start && TryStrToInt(std::string(text.substr(start, semi - start)), id) && id > 0)
      ids.push_back(id);
    start = semi + 1;
  }
}

// What the queries read of one record, parsed once.
struct TRec {
  TKeySystemCode ks = 0;  // "ks" when at least 1
  bool generalMaster = false;
  int32_t keyType = 0;    // "kt" as a number, 0 when none
  std::string name;       // "n"
  std::string number;     // "Nr"
  std::string length;     // "len"
  std::vector<std::pair<int, std::vector<int32_t>>> links;  // kind -> IDs, stored order

  const std::vector<int32_t>& Links(int kind) const {
    static const std::vector<int32_t> kNone;
    for (const auto& l : links)
      if (l.first == kind) return l.second;
    return kNone;
  }
};

// A set of IDs for one query: a byte per ID of the store.
class TIdSet {
 public:
  explicit TIdSet(size_t size) : marks_(size, 0) {}
  // True when the ID was not in the set yet (it is now).
  bool Insert(int32_t id) {
    if (id < 1) return false;
    if (static_cast<size_t>(id) >= marks_.size()) marks_.resize(static_cast<size_t>(id) + 1, 0);
    if (marks_[static_cast<size_t>(id)]) return false;
    marks_[static_cast<size_t>(id)] = 1;
    return true;
  }
  bool Contains(int32_t id) const {
    return id > 0 && static_cast<size_t>(id) < marks_.size() && marks_[static_cast<size_t>(id)];
  }

 private:
  std::vector<uint8_t> marks_;
};

// What identifies one state of a store's lines and names: the store's change counter
// (unique over every store of the process) and the generation of the vocabulary's names,
// which the display names are made of.
struct TStoreSignature {
  uint64_t changeCount = 0;
  uint64_t namesGeneration = 0;
  bool operator==(const TStoreSignature&) const = default;
};

TStoreSignature SignatureOf(const TMiniDB& db) {
  TStoreSignature s;
  s.changeCount = db.ChangeCount();
  s.namesGeneration = Vocabulary().namesGeneration;
  return s;
}

class TRelCache {
 public:
  TRelCache(const TMiniDB& db, const TStoreSignature& signature) : db_(db), signature_(signature) {}

  const TMiniDB& Db() { return db_; }
  const TStoreSignature& Signature() const { return signature_; }
  size_t IdSpace() const { return static_cast<size_t>(std::max<int32_t>(db_.LastID, 0)) + 1; }

  bool Is(int32_t id, int cls) const { return db_.IsValid(id) && db_.GetClass(id) == cls; }

  const TRec& Rec(int32_t id) {
    static const TRec kEmpty;
    if (id < 1 || !db_.HasRecord(id)) return kEmpty;
    if (recs_.size() <= static_cast<size_t>(id))
      recs_.resize(std::max(IdSpace(), static_cast<size_t>(id) + 1));
    auto& slot = recs_[static_cast<size_t>(id)];
    if (!slot) slot = Parse(id);
    return *slot;
  }

  const std::vector<int32_t>& Links(int32_t id, int kind) { return Rec(id).Links(kind); }

  const std::vector<int32_t>& ClassList(int cls, bool validOnly) {
    static const std::vector<int32_t> kNone;
    if (cls < 0 || cls > 255) return kNone;
    auto& slot = validOnly ? classValid_[cls] : classAll_[cls];
    if (!slot) {
      TItemList list;
      if (validOnly) db_.ListClassValid(cls, list);
      else db_.ListClass(cls, list);
      slot = std::make_unique<std::vector<int32_t>>(list.Items(), list.Items() + list.Count());
    }
    return *slot;
  }

  // Valid general master keys by code, ascending IDs.
  const std::vector<int32_t>& MasterKeys(TKeySystemCode code) {
    static const std::vector<int32_t> kNone;
    if (!masterKeysBuilt_) {
      for (int32_t key : ClassList(icKey, true)) {
        const TRec& r = Rec(key);
        if (r.generalMaster) masterKeys_[r.ks].push_back(key);
      }
      masterKeysBuilt_ = true;
    }
    auto it = masterKeys_.find(code);
    return it == masterKeys_.end() ? kNone : it->second;
  }

  // The valid groups whose group links hold the group.
  const std::vector<int32_t>& Parents(int32_t group) {
    static const std::vector<int32_t> kNone;
    if (!parentsBuilt_) {
      for (int32_t parent : ClassList(icGroup, true)) {
        for (int32_t child : Links(parent, icGroup)) {
          if (child != parent && Is(child, icGroup)) {
            auto& list = parents_[child];
            if (std::find(list.begin(), list.end(), parent) == list.end()) list.push_back(parent);
          }
        }
      }
      parentsBuilt_ = true;
    }
    auto it = parents_.find(group);
    return it == parents_.end() ? kNone : it->second;
  }

  // The door's own code and its first cylinder's code (0 = none; the second is 0 when it
  // equals the first).
  std::pair<TKeySystemCode, TKeySystemCode> DoorCodes(int32_t door) {
    TKeySystemCode own = Rec(door).ks;
    TKeySystemCode cyl = 0;
    for (int32_t c : Links(door, icCylinder)) {
      if (db_.GetClass(c) == icCylinder) {
        cyl = Rec(c).ks;
        break;
      }
    }
    if (cyl == own) cyl = 0;
    return {own, cyl};
  }

  const std::vector<int32_t>& DoorsOfSystem(TKeySystemCode code) {
    static const std::vector<int32_t> kNone;
    if (!doorsBySystemBuilt_) {
      for (int32_t door : ClassList(icDoor, true)) {
        auto codes = DoorCodes(door);
        if (codes.first > 0) doorsBySystem_[codes.first].push_back(door);
        if (codes.second > 0) doorsBySystem_[codes.second].push_back(door);
      }
      doorsBySystemBuilt_ = true;
    }
    auto it = doorsBySystem_.find(code);
    return it == doorsBySystem_.end() ? kNone : it->second;
  }

  // Normalised names of the valid records of a class -> IDs ascending. Mode 0: the display
  // name before a TAB; 1: "n" with the code; 2: the store's name list with the code.
  const std::vector<int32_t>& ByName(int mode, int cls, TKeySystemCode code,
                                     const std::string& normalised);

 private:
  std::unique_ptr<TRec> Parse(int32_t id);

  const TMiniDB& db_;
  TStoreSignature signature_;
  std::vector<std::unique_ptr<TRec>> recs_;
  std::array<std::unique_ptr<std::vector<int32_t>>, 256> classValid_;
  std::array<std::unique_ptr<std::vector<int32_t>>, 256> classAll_;
  bool masterKeysBuilt_ = false;
  std::unordered_map<TKeySystemCode, std::vector<int32_t>> masterKeys_;
  bool parentsBuilt_ = false;
  std::unordered_map<int32_t, std::vector<int32_t>> parents_;
  bool doorsBySystemBuilt_ = false;
  std::unordered_map<TKeySystemCode, std::vector<int32_t>> doorsBySystem_;
  std::map<std::pair<int, int>, std::unordered_map<std::string, std::vector<int32_t>>> names_;
  std::vector<std::string> scratch_;
};

std::unique_ptr<TRec> TRelCache::Parse(int32_t id) {
  auto rec = std::make_unique<TRec>();
  // Read the record as stored, or the record being edited with its unsaved fields; never
  // through SelectRecord, which would store and save the record being edited.
  scratch_.clear();
  if (id == db_.CurrentID) {
    for (int i = 0; i < db_.Current.Count(); ++i) scratch_.push_back(db_.Current.Get(i));
  } else {
    ParseCommaText(db_.Lines[static_cast<size_t>(db_.IndexLine[static_cast<size_t>(id)])],
                   scratch_);
  }
  bool haveKs = false, haveKt = false, haveN = false, haveNr = false, haveLen = false;
  std::string keyType;
  for (const std::string& item : scratch_) {
    size_t eq = item.find('=');
    if (eq == std::string::npos) continue;
    std::string_view key(item.data(), eq);
    std::string_view value(item.data() + eq + 1, item.size() - eq - 1);
    int kind = 0;
    if (IsLinkField(key, kind)) {
      bool seen = false;
      for (const auto& l : rec->links) seen = seen || l.first == kind;
      if (seen) continue;  // the first list of a kind counts, as for the store
      rec->links.emplace_back(kind, std::vector<int32_t>());
      ParseLinkList(value, rec->links.back().second);
    } else if (!haveKs && SameAsciiKey(key, "ks")) {
      haveKs = true;
      rec->ks = StrToPosInt(UnscrambleStr(std::string(value)));
    } else if (!haveKt && SameAsciiKey(key, "kt")) {
      haveKt = true;
      keyType = UnscrambleStr(std::string(value));
    } else if (!haveN && SameAsciiKey(key, "n")) {
      haveN = true;
      rec->name = UnscrambleStr(std::string(value));
    } else if (!haveNr && SameAsciiKey(key, "Nr")) {
      haveNr = true;
      rec->number = UnscrambleStr(std::string(value));
    } else if (!haveLen && SameAsciiKey(key, "len")) {
      haveLen = true;
      rec->length = UnscrambleStr(std::string(value));
    }
  }
  rec->keyType = StrToIntZero(keyType);
  rec->generalMaster = keyType == "5" && rec->ks > 0;
  return rec;
}

const std::vector<int32_t>& TRelCache::ByName(int mode, int cls, TKeySystemCode code,
                                              const std::string& normalised) {
  static const std::vector<int32_t> kNone;
  auto& map = names_[{mode, cls}];
  if (map.empty()) {
    for (int32_t id : ClassList(cls, true)) {
      std::string name;
      TKeySystemCode ks = 0;
      if (mode == 0) {
        name = db_.GetDisplayName(id);
        size_t tab = name.find('\t');
        if (tab != std::string::npos) name.resize(tab);
      } else {
        ks = Rec(id).ks;
        name = mode == 1 ? Rec(id).name
                         : (static_cast<size_t>(id) < db_.Names.size() ? db_.Names[id] : "");
      }
      std::string n = NormalizeName(name);
      if (n.empty()) continue;
      map[mode == 0 ? n : std::to_string(ks) + '\x01' + n].push_back(id);
    }
    if (map.empty()) map[std::string()];  // built, nothing found
  }
  auto it = map.find(mode == 0 ? normalised : std::to_string(code) + '\x01' + normalised);
  return it == map.end() ? kNone : it->second;
}

}  // namespace

class TRelationCaches::TImpl {
 public:
  std::unordered_map<const TMiniDB*, std::unique_ptr<TRelCache>> caches;
};

TRelationCaches::TRelationCaches() : impl_(std::make_unique<TImpl>()) {}
TRelationCaches::~TRelationCaches() = default;
void TRelationCaches::Clear() { impl_->caches.clear(); }
size_t TRelationCaches::Count() const { return impl_->caches.size(); }

namespace {

// The cache a query works on, kept while the store's lines and names stay the same.
TRelCache& CacheFor(const TMiniDB& db) {
  TStoreSignature signature = SignatureOf(db);
  auto& caches = RelationCaches().Impl().caches;
  auto it = caches.find(&db);
  if (it != caches.end() && it->second->Signature() == signature) return *it->second;
  // Forget the caches of stores that no longer exist before adding one.
  const auto& alive = TMiniDB::Instances();
  for (auto c = caches.begin(); c != caches.end();) {
    if (std::find(alive.begin(), alive.end(), c->first) == alive.end()) c = caches.erase(c);
    else ++c;
  }
  auto& slot = caches[&db];
  slot = std::make_unique<TRelCache>(db, signature);
  return *slot;
}

// Appends the valid records of the class among `ids` that are not in `seen` yet.
void AddValid(TRelCache& c, const std::vector<int32_t>& ids, int cls, TIdSet& seen,
              TItemList& out) {
  for (int32_t id : ids)
    if (c.Is(id, cls) && seen.Insert(id)) out.Add(id);
}

void Assign(TItemList& result, const std::vector<int32_t>& ids) {
  result.Clear();
  result.EnsureCapacity(static_cast<int32_t>(ids.size()));
  for (int32_t id : ids) result.Add(id);
}

// ----- the relations on one cache ------------------------------------------------------

// Cylinders of the groups from `start` downwards, each group visited once.
void GroupCylinders(TRelCache& c, int32_t start, TIdSet& visitedGroups, TIdSet& seenCyl,
                    TItemList* visitedOut, TItemList& cylinders) {
  std::vector<int32_t> stack{start};
  while (!stack.empty()) {
    int32_t group = stack.back();
    stack.pop_back();
    if (!c.Is(group, icGroup) || !visitedGroups.Insert(group)) continue;
    if (visitedOut) visitedOut->Add(group);
    AddValid(c, c.Links(group, icCylinder), icCylinder, seenCyl, cylinders);
    const auto& children = c.Links(group, icGroup);
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
  }
}

void KeyCylinders(TRelCache& c, int32_t key, bool withCylinders, bool withGroups,
                  TItemList& cylinders) {
  TIdSet seenCyl(c.IdSpace());
  if (withCylinders) AddValid(c, c.Links(key, icCylinder), icCylinder, seenCyl, cylinders);
  if (withGroups) {
    TIdSet visited(c.IdSpace());
    for (int32_t group : c.Links(key, icGroup))
      GroupCylinders(c, group, visited, seenCyl, nullptr, cylinders);
  }
}

TKeySystemCode GhsCode(TRelCache& c, int32_t key) {
  const TRec& r = c.Rec(key);
  return r.generalMaster ? r.ks : 0;
}

void DoorsOfKey(TRelCache& c, int32_t key, TIdSet& seen, TItemList& doors) {
  TKeySystemCode code = GhsCode(c, key);
  if (code != 0) {
    AddValid(c, c.DoorsOfSystem(code), icDoor, seen, doors);
    return;
  }
  AddValid(c, c.Links(key, icDoor), icDoor, seen, doors);
  TItemList cylinders;
  KeyCylinders(c, key, true, true, cylinders);
  for (int32_t i = 0; i < cylinders.Count(); ++i)
    AddValid(c, c.Links(cylinders.Get(i), icDoor), icDoor, seen, doors);
}

void DoorsOpenedBy(TRelCache& c, int32_t item, TIdSet& seen, TItemList& doors) {
  if (c.Db().GetClass(item) == icKeyBunch) {
    for (int32_t key : c.Links(item, icKey))
      if (c.Is(key, icKey)) DoorsOfKey(c, key, seen, doors);
  } else {
    DoorsOfKey(c, item, seen, doors);
  }
}

// The group and every group above it.
void GroupTree(TRelCache& c, int32_t group, TIdSet& visited, std::vector<int32_t>& tree) {
  std::vector<int32_t> stack{group};
  while (!stack.empty()) {
    int32_t g = stack.back();
    stack.pop_back();
    if (!c.Is(g, icGroup) || !visited.Insert(g)) continue;
    tree.push_back(g);
    for (int32_t parent : c.Parents(g)) stack.push_back(parent);
  }
}

void KeysOfItem(TRelCache& c, int32_t item, TIdSet& seen, TItemList& keys) {
  AddValid(c, c.Links(item, icKey), icKey, seen, keys);
  TIdSet visited(c.IdSpace());
  std::vector<int32_t> tree;
  for (int32_t group : c.Links(item, icGroup)) GroupTree(c, group, visited, tree);
  for (int32_t g : tree) AddValid(c, c.Links(g, icKey), icKey, seen, keys);
}

void KeysOfDoor(TRelCache& c, int32_t door, bool withGeneralMaster, bool withBunches,
                TItemList& result) {
  result.Clear();
  TIdSet seen(c.IdSpace());
  TItemList keys;
  AddValid(c, c.Links(door, icKey), icKey, seen, keys);
  // Every cylinder of the door counts: a key for any of them opens it.
  for (int32_t cyl : c.Links(door, icCylinder))
    if (c.Is(cyl, icCylinder)) KeysOfItem(c, cyl, seen, keys);
  TIdSet listed(c.IdSpace());
  for (int32_t i = 0; i < keys.Count(); ++i) {
    int32_t key = keys.Get(i);
    // A general master key opens the doors of its system and nothing else, whatever it
    // is linked to.
    if (withGeneralMaster && GhsCode(c, key) != 0) continue;
    if (listed.Insert(key)) result.Add(key);
  }
  if (withGeneralMaster && c.Is(door, icDoor)) {
    auto codes = c.DoorCodes(door);
    for (TKeySystemCode code : {codes.first, codes.second}) {
      if (code == 0) continue;
      for (int32_t key : c.MasterKeys(code))
        if (listed.Insert(key)) result.Add(key);
    }
  }
  if (withBunches) {
    int32_t count = result.Count();
    for (int32_t i = 0; i < count; ++i)
      AddValid(c, c.Links(result.Get(i), icKeyBunch), icKeyBunch, listed, result);
  }
}

// The cache of one public query.
class TCacheScope {
 public:
  explicit TCacheScope(const TMiniDB& db) : cache_(&CacheFor(db)) {}
  TRelCache& Cache() { return *cache_; }

 private:
  TRelCache* cache_;
};

#define WITH_CACHE(db)      \
  TCacheScope cacheScope(db); \
  TRelCache& c = cacheScope.Cache()

}  // namespace

// =======================================================================================
// Doors and keys

TKeySystemCode GeneralMasterKeySystem(const TMiniDB& db, int32_t key) {
  WITH_CACHE(db);
  return GhsCode(c, key);
}

int32_t FindGeneralMasterKey(const TMiniDB& db, TKeySystemCode code) {
  if (code == 0) return 0;
  WITH_CACHE(db);
  const auto& keys = c.MasterKeys(code);
  return keys.empty() ? 0 : keys.front();
}

void GetGeneralMasterKeys(const TMiniDB& db, TKeySystemCode code, TItemList& result) {
  result.Clear();
  if (code == 0) return;
  WITH_CACHE(db);
  Assign(result, c.MasterKeys(code));
}

void GetDoorsOfSystem(const TMiniDB& db, TKeySystemCode code, TItemList& result) {
  result.Clear();
  if (code == 0) return;
  WITH_CACHE(db);
  Assign(result, c.DoorsOfSystem(code));
}

void GetDoorsOfKey(const TMiniDB& db, int32_t key, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  DoorsOfKey(c, key, seen, result);
}

void GetKeyGroupsAndCylinders(const TMiniDB& db, int32_t key, bool withCylinders, bool withGroups,
                              TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  KeyCylinders(c, key, withCylinders, withGroups, result);
}

void CollectGroupCylinders(const TMiniDB& db, int32_t group, TItemList& visited, TItemList& result) {
  WITH_CACHE(db);
  TIdSet visitedSet(c.IdSpace());
  for (int32_t i = 0; i < visited.Count(); ++i) visitedSet.Insert(visited.Get(i));
  TIdSet seenCyl(c.IdSpace());
  for (int32_t i = 0; i < result.Count(); ++i) seenCyl.Insert(result.Get(i));
  GroupCylinders(c, group, visitedSet, seenCyl, &visited, result);
}

void GetDoorsOfKeyRing(const TMiniDB& db, int32_t bunch, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  for (int32_t key : c.Links(bunch, icKey))
    if (c.Is(key, icKey)) DoorsOfKey(c, key, seen, result);
}

void GetDoorsOpenedBy(const TMiniDB& db, int32_t item, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  DoorsOpenedBy(c, item, seen, result);
}

void GetKeysOf(const TMiniDB& db, int32_t item, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  AddValid(c, c.Links(item, icKey), icKey, seen, result);
}

void GetGroupsOfKeysOf(const TMiniDB& db, int32_t item, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  for (int32_t key : c.Links(item, icKey))
    if (c.Is(key, icKey)) AddValid(c, c.Links(key, icGroup), icGroup, seen, result);
}

void GetCylindersOfKeysOf(const TMiniDB& db, int32_t item, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  for (int32_t key : c.Links(item, icKey))
    if (c.Is(key, icKey)) AddValid(c, c.Links(key, icCylinder), icCylinder, seen, result);
}

void GetParentGroups(const TMiniDB& db, int32_t group, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  Assign(result, c.Parents(group));
}

void CollectParentGroups(const TMiniDB& db, int32_t group, TItemList& result) {
  WITH_CACHE(db);
  TIdSet visited(c.IdSpace());
  std::vector<int32_t> tree;
  GroupTree(c, group, visited, tree);
  for (int32_t g : tree)
    if (g != group && result.IndexOf(g) < 0) result.Add(g);
}

void GetKeysOfGroupTree(const TMiniDB& db, int32_t group, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet visited(c.IdSpace());
  std::vector<int32_t> tree;
  GroupTree(c, group, visited, tree);
  TIdSet seen(c.IdSpace());
  for (int32_t g : tree) AddValid(c, c.Links(g, icKey), icKey, seen, result);
}

void ExpandGroupLinks(const TMiniDB& db, TItemList& list) {
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  for (int32_t i = 0; i < list.Count(); ++i) seen.Insert(list.Get(i));
  for (int32_t i = 0; i < list.Count(); ++i)
    AddValid(c, c.Links(list.Get(i), icGroup), icGroup, seen, list);
}

void GetKeysOfItem(const TMiniDB& db, int32_t item, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  KeysOfItem(c, item, seen, result);
}

void GetKeysOfDoor(const TMiniDB& db, int32_t door, bool withGeneralMaster, bool withBunches,
                   TItemList& result) {
  WITH_CACHE(db);
  KeysOfDoor(c, door, withGeneralMaster, withBunches, result);
}

void GetHoldersOfDoorKeys(const TMiniDB& db, int32_t door, TItemList& result) {
  result.Clear();
  WITH_CACHE(db);
  TItemList keys;
  KeysOfDoor(c, door, true, true, keys);
  TIdSet seen(c.IdSpace());
  for (int32_t i = 0; i < keys.Count(); ++i)
    AddValid(c, c.Links(keys.Get(i), icPerson), icPerson, seen, result);
}

int32_t FindSingleKey(const TMiniDB& db, int32_t item, int& count) {
  WITH_CACHE(db);
  int32_t first = 0;
  int found = 0;
  for (int32_t key : c.Links(item, icKey)) {
    if (!c.Is(key, icKey) || c.Rec(key).keyType >= 2) continue;
    if (first == 0) first = key;
    ++count;
    if (++found >= 2) break;
  }
  return first;
}

std::vector<std::string> KeysOfItemList(const TMiniDB& db, int32_t item, bool withBunches,
                                        bool withSystem) {
  std::vector<int32_t> ids;
  {
    WITH_CACHE(db);
    TIdSet seen(c.IdSpace());
    TItemList list;
    AddValid(c, c.Links(item, icKey), icKey, seen, list);
    if (withBunches) AddValid(c, c.Links(item, icKeyBunch), icKeyBunch, seen, list);
    ids.assign(list.Items(), list.Items() + list.Count());
  }
  std::vector<std::string> names;
  for (int32_t id : ids) {
    std::string name = db.GetValidDisplayName(id);
    if (withSystem) name = DecorateWithBrackets(name, ItemKeySystemName(db, id), kBracketRound);
    names.push_back(name);
  }
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return AnsiCompareText(a, b) < 0;
  });
  return names;
}

std::string KeysOfItemText(const TMiniDB& db, int32_t item, bool withBunches, bool withSystem) {
  std::string text;
  for (const std::string& name : KeysOfItemList(db, item, withBunches, withSystem)) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

// =======================================================================================
// Filters and lookups

namespace {

void ItemsOfClassInSystem(const TMiniDB& db, int cls, TKeySystemCode code, bool validOnly,
                          TItemList& result) {
  result.Clear();
  if (cls < 0 || cls > 255) return;
  WITH_CACHE(db);
  for (int32_t id : c.ClassList(cls, validOnly))
    if (c.Rec(id).ks == code) result.Add(id);
}

void ItemsOfClassInBuilding(const TMiniDB& db, int cls, int32_t building, bool validOnly,
                            TItemList& result) {
  result.Clear();
  if (cls < 0 || cls > 255 || building < 1) return;
  WITH_CACHE(db);
  TIdSet seen(c.IdSpace());
  for (int32_t id : c.Links(building, cls)) {
    if (db.GetClass(id) != cls || (validOnly && !db.IsValid(id))) continue;
    if (seen.Insert(id)) result.Add(id);
  }
}

}  // namespace

void GetAllItemsOfClassInSystem(const TMiniDB& db, int cls, TKeySystemCode code, TItemList& result) {
  ItemsOfClassInSystem(db, cls, code, false, result);
}

void GetItemsOfClassInSystem(const TMiniDB& db, int cls, TKeySystemCode code, TItemList& result) {
  ItemsOfClassInSystem(db, cls, code, true, result);
}

void GetAllItemsOfClassInBuilding(const TMiniDB& db, int cls, int32_t building, TItemList& result) {
  ItemsOfClassInBuilding(db, cls, building, false, result);
}

void GetItemsOfClassInBuilding(const TMiniDB& db, int cls, int32_t building, TItemList& result) {
  ItemsOfClassInBuilding(db, cls, building, true, result);
}

int32_t GetBuildingOf(const TMiniDB& db, int32_t item) {
  WITH_CACHE(db);
  for (int32_t id : c.Links(item, icBuilding))
    if (db.GetClass(id) == icBuilding) return id;
  return 0;
}

int32_t GetSystemItem(const TMiniDB& db, TKeySystemCode code) {
  if (code == 0) return 0;
  WITH_CACHE(db);
  for (int32_t id : c.ClassList(icKeySystem, true))
    if (c.Rec(id).ks == code) return id;
  return 0;
}

int32_t EnsureSystemItem(TMiniDB& db, TKeySystemCode code, const std::string& name) {
  if (code <= 0 || code == ksAll) return 0;
  if (int32_t id = GetSystemItem(db, code)) return id;
  const std::string given = Trim(name);
  const std::string itemName = given.empty() ? KeySystemName(db, code) : given;
  TStoreWrite write(db, {});
  if (!write.Ok()) {
    UI().ShowMessage(TMsgKind::Error, CoreText(27));
    return 0;
  }
  // Another workstation may have made it meanwhile: the write has read the store again.
  if (int32_t id = GetSystemItem(db, code)) return id;
  int32_t id = db.NewRecord(icKeySystem);
  if (id == 0) return 0;
  db.SetField(id, fkName, itemName);
  db.SetKeySystem(id, code);
  return write.Commit() ? id : 0;
}

bool IsKeySystemUsed(const TMiniDB& db, TKeySystemCode code, const TItemList* list) {
  if (code == 0) return false;
  WITH_CACHE(db);
  if (list) {
    for (int32_t i = 0; i < list->Count(); ++i) {
      int32_t id = list->Get(i);
      if (db.GetClass(id) != icKeySystem && c.Rec(id).ks == code) return true;
    }
    return false;
  }
  TItemList all;
  db.ListAll(all, false);
  for (int32_t i = 0; i < all.Count(); ++i) {
    int32_t id = all.Get(i);
    if (db.GetClass(id) != icKeySystem && c.Rec(id).ks == code) return true;
  }
  return false;
}

std::vector<std::string> FillKeySystemsOfKey(const TMiniDB& db, int32_t key) {
  std::vector<std::string> out;
  TKeySystemCode code = GeneralMasterKeySystem(db, key);
  if (code != 0) {
    out.push_back(CoreText(19) + " " + KeySystemName(db, code));
    return out;
  }
  TItemList doors;
  GetDoorsOpenedBy(db, key, doors);
  for (int32_t i = 0; i < doors.Count(); ++i)
    out.push_back(NameWithContext(db, doors.Get(i), kBracketRound));
  std::sort(out.begin(), out.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  out.erase(std::unique(out.begin(), out.end(),
                        [](const std::string& a, const std::string& b) {
                          return AnsiCompareText(a, b) == 0;
                        }),
            out.end());
  if (out.empty()) out.push_back("-");
  return out;
}

std::string FirstKeySystemOfKey(const TMiniDB& db, int32_t key) {
  return FillKeySystemsOfKey(db, key).front();
}

std::string BuildingNameOfKey(const TMiniDB& db, int32_t key) {
  TItemList doors;
  GetDoorsOpenedBy(db, key, doors);
  for (int32_t i = 0; i < doors.Count(); ++i) {
    int32_t building = GetBuildingOf(db, doors.Get(i));
    if (building != 0) return db.GetDisplayName(building);
  }
  return "-";
}

int32_t FindItemInListByField(const TMiniDB& db, const TItemList& list, const std::string& field,
                              const std::string& value) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    int32_t id = list.Get(i);
    if (db.HasRecord(id) && db.ReadLineField(id, field) == value) return id;
  }
  return 0;
}

// =======================================================================================
// Name finders

std::string NormalizeName(const std::string& text) {
  std::string upper = AnsiUpperCase(Trim(text));
  std::string out;
  out.reserve(upper.size());
  for (char ch : upper) {
    if (ch == ' ' && !out.empty() && out.back() == ' ') continue;
    out += ch;
  }
  return out;
}

namespace {

int32_t FirstOtherThan(const std::vector<int32_t>& ids, int32_t skip) {
  for (int32_t id : ids)
    if (id != skip) return id;
  return 0;
}

}  // namespace

int32_t FindItemByName(const TMiniDB& db, int cls, const std::string& name, int32_t skip) {
  std::string n = NormalizeName(name);
  if (n.empty() || cls < 0 || cls > 255) return 0;
  WITH_CACHE(db);
  return FirstOtherThan(c.ByName(0, cls, 0, n), skip);
}

int32_t FindItemByNameInSystem(const TMiniDB& db, int cls, const std::string& name,
                               TKeySystemCode code, int32_t skip) {
  std::string n = NormalizeName(name);
  if (n.empty() || cls < 0 || cls > 255) return 0;
  WITH_CACHE(db);
  return FirstOtherThan(c.ByName(1, cls, code, n), skip);
}

int32_t FindListedItemByNameInSystem(const TMiniDB& db, int cls, const std::string& name,
                                     TKeySystemCode code, int32_t skip) {
  std::string n = NormalizeName(name);
  if (n.empty() || cls < 0 || cls > 255) return 0;
  WITH_CACHE(db);
  return FirstOtherThan(c.ByName(2, cls, code, n), skip);
}

int32_t FindDoorByNameInBuilding(const TMiniDB& db, const std::string& name, int32_t building,
                                 int32_t skip) {
  std::string n = NormalizeName(name);
  if (n.empty() || building < 1) return 0;
  WITH_CACHE(db);
  for (int32_t door : c.Links(building, icDoor)) {
    if (door == skip || !c.Is(door, icDoor)) continue;
    if (NormalizeName(c.Rec(door).name) == n) return door;
  }
  return 0;
}

int32_t FindCylinderByNameAndLength(const TMiniDB& db, TKeySystemCode code, const std::string& name,
                                    const std::string& length) {
  std::string n = NormalizeName(name);
  if (n.empty()) return 0;
  std::string len = Trim(length);
  WITH_CACHE(db);
  for (int32_t id : c.ByName(1, icCylinder, code, n))
    if (Trim(c.Rec(id).length) == len) return id;
  return 0;
}

int32_t FindPersonByNumber(const TMiniDB& db, const std::string& number, int32_t skip) {
  std::string wanted = AnsiUpperCase(Trim(number));
  if (wanted.empty()) return 0;
  WITH_CACHE(db);
  for (int32_t id : c.ClassList(icPerson, true))
    if (id != skip && AnsiUpperCase(Trim(c.Rec(id).number)) == wanted) return id;
  return 0;
}

int32_t FindBuildingByName(const TMiniDB& db, const std::string& name) {
  std::string wanted = AnsiUpperCase(Trim(name));
  if (wanted.empty()) return 0;
  WITH_CACHE(db);
  for (int32_t id : c.ClassList(icBuilding, true))
    if (AnsiUpperCase(Trim(c.Rec(id).name)) == wanted) return id;
  return 0;
}

int RemoveRedundantDoorLinks(TMiniDB& db, int32_t key) {
  if (!db.HasRecord(key)) return 0;
  TItemList cylinders, reached, doors;
  GetKeyGroupsAndCylinders(db, key, true, true, cylinders);
  for (int32_t i = 0; i < cylinders.Count(); ++i) {
    db.GetLinks(cylinders.Get(i), icDoor, doors);
    reached.AddList(doors);
  }
  db.GetLinks(key, icDoor, doors);
  const int keyClass = db.GetClass(key);
  int removed = 0;
  for (int32_t i = 0; i < doors.Count(); ++i) {
    if (reached.IndexOf(doors.Get(i)) < 0) continue;
    db.RemoveLinkBoth(key, doors.Get(i), icDoor, keyClass);
    ++removed;
  }
  return removed;
}

int RemoveRedundantCylinderLinks(TMiniDB& db, int32_t item) {
  if (!db.HasRecord(item)) return 0;
  TItemList groups, visited, reached, cylinders;
  db.GetLinks(item, icGroup, groups);
  for (int32_t i = 0; i < groups.Count(); ++i)
    CollectGroupCylinders(db, groups.Get(i), visited, reached);
  db.GetLinks(item, icCylinder, cylinders);
  const int itemClass = db.GetClass(item);
  int removed = 0;
  for (int32_t i = 0; i < cylinders.Count(); ++i) {
    if (reached.IndexOf(cylinders.Get(i)) < 0) continue;
    db.RemoveLinkBoth(item, cylinders.Get(i), icCylinder, itemClass);
    ++removed;
  }
  return removed;
}

// ---------------------------------------------------------------------------------------

void DropRelationCaches() { RelationCaches().Clear(); }
