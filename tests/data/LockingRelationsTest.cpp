#include "data/LockingRelations.h"

#include <gtest/gtest.h>

#include <map>

#include "DomainFixture.h"

namespace {

// One locking plan with every way a key reaches a door:
//   systems 1 ("Nord") and 2, building B1 with a system of its own (1001 + B1);
//   groups GB -> GA -> GC (GB above GA above GC), a cycle GX <-> GY, a lone group GD;
//   a door whose code (2) differs from its cylinder's (1); a door with two cylinders;
//   general master keys of system 1 (also linked to a door of system 2), of system 2 and of
//   B1's system; a key of type 5 without a code (an ordinary key); a key of type "05";
//   a key bunch; a deleted door and a deleted key.
class LockingPlan : public ::testing::Test {
 protected:
  TTempDir dir;
  std::unique_ptr<TDomainStore> s;
  int32_t B1, B2, GA, GB, GC, GD, GX, GY;
  int32_t C1, C2, C3, C4, C5, C6, C7, C8, C9;
  int32_t D1, D2, D3, D4, D5, D6, D7, D8, D9, D10;
  int32_t K1, K2, K3, K4, K5, K6, K7, K8, K9, K10, K12, K13, KB1;
  int32_t P1, P2, P3;
  std::map<int32_t, std::string> names;

  void SetUp() override {
    ResetVocabulary();
    DropRelationCaches();
    s = std::make_unique<TDomainStore>(dir);
    TDomainStore& p = *s;
    ASSERT_TRUE(p.BeginBulk());
    B1 = p.Add(icBuilding, "Haupthaus", ksBuildingBase);
    B2 = p.Add(icBuilding, "Nebenhaus");
    const TKeySystemCode own = ksBuildingBase + B1;
    GA = p.Add(icGroup, "GA", 1);
    GB = p.Add(icGroup, "GB", 1);
    GC = p.Add(icGroup, "GC", 1);
    GD = p.Add(icGroup, "GD", 2);
    GX = p.Add(icGroup, "GX", 2);
    GY = p.Add(icGroup, "GY", 2);
    p.Child(GB, GA);
    p.Child(GA, GC);
    p.Child(GX, GY);
    p.Child(GY, GX);
    C1 = p.Add(icCylinder, "C1", 1);
    C2 = p.Add(icCylinder, "C2", 1);
    C3 = p.Add(icCylinder, "C3", 2);
    C4 = p.Add(icCylinder, "C4", 2);
    C5 = p.Add(icCylinder, "C5", own);
    C6 = p.Add(icCylinder, "C6", 1);
    C7 = p.Add(icCylinder, "C7", 2);
    C8 = p.Add(icCylinder, "C8", 1);
    C9 = p.Add(icCylinder, "C9", 2);
    p.Link(GA, C1);
    p.Link(GC, C2);
    p.Link(GB, C3);
    p.Link(GX, C4);
    p.Link(GY, C5);
    p.Link(GD, C9);
    D1 = p.Add(icDoor, "D1", 1);
    D2 = p.Add(icDoor, "D2", 1);
    D3 = p.Add(icDoor, "D3", 2);
    D4 = p.Add(icDoor, "D4", 2);
    D5 = p.Add(icDoor, "D5", own);
    D6 = p.Add(icDoor, "D6", 1);
    D7 = p.Add(icDoor, "D7", 2);  // its cylinder C8 is of system 1
    D8 = p.Add(icDoor, "D8");
    D9 = p.Add(icDoor, "D9");     // cylinders C7 (system 2) and C9
    D10 = p.Add(icDoor, "D10", 1);
    p.Link(D1, C1);
    p.Link(D2, C2);
    p.Link(D3, C3);
    p.Link(D4, C4);
    p.Link(D5, C5);
    p.Link(D6, C6);
    p.Link(D7, C8);
    p.Link(D9, C7);
    p.Link(D9, C9);
    p.Link(D1, B2);
    p.Link(D5, B1);
    K1 = p.Add(icKey, "K1", 1, "1");
    K2 = p.Add(icKey, "K2", 1, "2");
    K3 = p.Add(icKey, "K3", 1, "3");
    K4 = p.Add(icKey, "K4", 2, "2");
    K5 = p.Add(icKey, "K5", 0, "1");
    K6 = p.Add(icKey, "K6", 1, "5");
    K7 = p.Add(icKey, "K7", own, "5");
    K8 = p.Add(icKey, "K8", 0, "5");
    K9 = p.Add(icKey, "K9", 2, "2");
    K10 = p.Add(icKey, "K10", 2, "5");
    K12 = p.Add(icKey, "K12", 1, "05");
    K13 = p.Add(icKey, "K13", 1, "1");
    KB1 = p.Add(icKeyBunch, "Bund 1");
    p.Link(K1, C6);
    p.Link(K2, GA);
    p.Link(K3, GB);
    p.Link(K4, GX);
    p.Link(K5, D8);
    p.Link(K6, D3);
    p.Link(K6, GD);
    p.Link(K8, C7);
    p.Link(K9, GD);
    p.Link(K12, D8);
    p.Link(K13, D6);
    p.Link(KB1, K1);
    p.Link(KB1, K5);
    P1 = p.Add(icPerson, "P1");
    P2 = p.Add(icPerson, "P2");
    P3 = p.Add(icPerson, "P3");
    p.Link(P1, K2);
    p.Link(P2, KB1);
    p.Link(P3, K6);
    ASSERT_TRUE(p.EndBulk());
    ASSERT_TRUE(p->MarkDeleted(D10));
    ASSERT_TRUE(p->MarkDeleted(K13));
    InstallNameFuncs(*p);
  }
  void TearDown() override {
    DropRelationCaches();
    ResetVocabulary();
  }

  std::set<int32_t> DoorsOf(int32_t key) {
    TItemList list;
    GetDoorsOpenedBy(**s, key, list);
    EXPECT_FALSE(HasRepeats(list)) << key;
    return AsSet(list);
  }
  std::set<int32_t> KeysOf(int32_t door, bool bunches = false) {
    TItemList list;
    GetKeysOfDoor(**s, door, true, bunches, list);
    EXPECT_FALSE(HasRepeats(list)) << door;
    return AsSet(list);
  }
  std::vector<int32_t> AllKeys() {
    return {K1, K2, K3, K4, K5, K6, K7, K8, K9, K10, K12, KB1};
  }
  std::vector<int32_t> AllDoors() { return {D1, D2, D3, D4, D5, D6, D7, D8, D9}; }
};

TEST_F(LockingPlan, DoorsOfEveryKey) {
  const std::vector<std::pair<int32_t, std::set<int32_t>>> expected = {
      {K1, {D6}},
      {K2, {D1, D2}},           // GA and GC below it
      {K3, {D3, D1, D2}},       // GB, GA below it, GC below that
      {K4, {D4, D5}},           // the cycle ends
      {K5, {D8}},
      {K6, {D1, D2, D6, D7}},   // system 1 only; its links to D3 and GD do not count
      {K7, {D5}},               // the building's own system
      {K8, {D9}},               // type 5 without a code is an ordinary key
      {K9, {D9}},               // through the door's second cylinder
      {K10, {D3, D4, D7, D9}},  // D9 through its first cylinder's code
      {K12, {D8}},              // "05" is no general master key
      {KB1, {D6, D8}},
  };
  for (const auto& [key, doors] : expected) EXPECT_EQ(DoorsOf(key), doors) << key;
}

TEST_F(LockingPlan, KeysOfEveryDoor) {
  const std::vector<std::pair<int32_t, std::set<int32_t>>> expected = {
      {D1, {K2, K3, K6}}, {D2, {K2, K3, K6}}, {D3, {K3, K10}},     {D4, {K4, K10}},
      {D5, {K4, K7}},     {D6, {K1, K6}},     {D7, {K6, K10}},     {D8, {K5, K12}},
      {D9, {K8, K9, K10}},
  };
  for (const auto& [door, keys] : expected) EXPECT_EQ(KeysOf(door), keys) << door;
  std::set<int32_t> withBunch = {K1, K6, KB1};
  EXPECT_EQ(KeysOf(D6, true), withBunch);
  EXPECT_EQ(KeysOf(D10), std::set<int32_t>{});
}

TEST_F(LockingPlan, WhoOpensADoorIsTheInverseOfWhatAKeyOpens) {
  for (int32_t key : AllKeys()) {
    std::set<int32_t> doors = DoorsOf(key);
    for (int32_t door : AllDoors()) {
      bool opens = doors.count(door) > 0;
      bool listed = KeysOf(door, true).count(key) > 0;
      EXPECT_EQ(opens, listed) << "key " << key << " door " << door;
    }
  }
}

TEST_F(LockingPlan, HoldersOfDoorKeys) {
  TItemList holders;
  GetHoldersOfDoorKeys(**s, D1, holders);
  EXPECT_EQ(AsSet(holders), (std::set<int32_t>{P1, P3}));
  GetHoldersOfDoorKeys(**s, D6, holders);
  EXPECT_EQ(AsSet(holders), (std::set<int32_t>{P2, P3}));  // P2 through the bunch
  GetHoldersOfDoorKeys(**s, D4, holders);
  EXPECT_EQ(holders.Count(), 0);
}

TEST_F(LockingPlan, GroupTrees) {
  TMiniDB& db = **s;
  TItemList list;
  GetParentGroups(db, GA, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{GB});
  GetParentGroups(db, GB, list);
  EXPECT_EQ(list.Count(), 0);
  list.Clear();
  CollectParentGroups(db, GC, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{GA, GB}));
  list.Clear();
  CollectParentGroups(db, GX, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{GY});
  GetKeysOfGroupTree(db, GA, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{K2, K3}));
  GetKeysOfGroupTree(db, GY, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{K4});

  TItemList visited, cylinders;
  CollectGroupCylinders(db, GX, visited, cylinders);
  EXPECT_EQ(AsSet(visited), (std::set<int32_t>{GX, GY}));
  EXPECT_EQ(visited.Count(), 2);
  EXPECT_EQ(AsSet(cylinders), (std::set<int32_t>{C4, C5}));
  CollectGroupCylinders(db, GY, visited, cylinders);  // visited already: nothing more
  EXPECT_EQ(cylinders.Count(), 2);

  GetKeyGroupsAndCylinders(db, K3, true, true, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{C3, C1, C2}));
  GetKeyGroupsAndCylinders(db, K3, true, false, list);
  EXPECT_EQ(list.Count(), 0);
  GetKeyGroupsAndCylinders(db, K1, true, false, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{C6});

  TItemList expand;
  expand.Add(K3);
  ExpandGroupLinks(db, expand);
  EXPECT_EQ(AsSet(expand), (std::set<int32_t>{K3, GB, GA, GC}));
  EXPECT_FALSE(HasRepeats(expand));

  GetKeysOfItem(db, C1, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{K2, K3}));
  GetKeysOfItem(db, C4, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{K4});
}

TEST_F(LockingPlan, MasterKeysAndSystems) {
  TMiniDB& db = **s;
  EXPECT_EQ(GeneralMasterKeySystem(db, K6), 1);
  EXPECT_EQ(GeneralMasterKeySystem(db, K7), ksBuildingBase + B1);
  EXPECT_EQ(GeneralMasterKeySystem(db, K8), 0);
  EXPECT_EQ(GeneralMasterKeySystem(db, K12), 0);
  EXPECT_EQ(GeneralMasterKeySystem(db, K2), 0);
  EXPECT_EQ(FindGeneralMasterKey(db, 1), K6);
  EXPECT_EQ(FindGeneralMasterKey(db, 2), K10);
  EXPECT_EQ(FindGeneralMasterKey(db, 0), 0);
  EXPECT_EQ(FindGeneralMasterKey(db, 3), 0);
  TItemList list;
  GetDoorsOfSystem(db, 1, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{D1, D2, D6, D7}));
  GetDoorsOfSystem(db, 0, list);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(LockingPlan, KeyListsOfItems) {
  TMiniDB& db = **s;
  TItemList list;
  GetKeysOf(db, D8, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{K5, K12}));
  GetGroupsOfKeysOf(db, P1, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{GA});
  GetCylindersOfKeysOf(db, KB1, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{C6});
  GetDoorsOfKeyRing(db, KB1, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{D6, D8}));

  SetKeySystemName(1, "Nord");
  EXPECT_EQ(KeysOfItemText(db, D8, false, false), "K12, K5");
  EXPECT_EQ(KeysOfItemText(db, D8, false, true), "K12 (Nord), K5");
  EXPECT_EQ(KeysOfItemText(db, C6, true, false), "K1");
  EXPECT_EQ(KeysOfItemText(db, K5, true, false), "Bund 1");
}

TEST_F(LockingPlan, FindSingleKey) {
  TMiniDB& db = **s;
  TDomainStore& p = *s;
  int32_t door = p.Add(icDoor, "Einzel");
  int32_t a = p.Add(icKey, "A", 0, "1");
  int32_t group = p.Add(icKey, "G", 0, "2");
  int32_t b = p.Add(icKey, "B", 0, "");
  int32_t c = p.Add(icKey, "C", 0, "1");
  for (int32_t k : {group, a, b, c}) p.Link(door, k);
  int count = 0;
  EXPECT_EQ(FindSingleKey(db, door, count), a);
  EXPECT_EQ(count, 2);
  count = 0;
  EXPECT_EQ(FindSingleKey(db, C6, count), K1);
  EXPECT_EQ(count, 1);
  count = 0;
  EXPECT_EQ(FindSingleKey(db, D3, count), 0);
  EXPECT_EQ(count, 0);
}

TEST_F(LockingPlan, SystemAndBuildingLists) {
  TMiniDB& db = **s;
  TItemList list;
  GetItemsOfClassInSystem(db, icDoor, 1, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{D1, D2, D6}));
  GetAllItemsOfClassInSystem(db, icDoor, 1, list);
  EXPECT_EQ(AsSet(list), (std::set<int32_t>{D1, D2, D6, D10}));
  GetItemsOfClassInBuilding(db, icDoor, B1, list);
  EXPECT_EQ(AsSet(list), std::set<int32_t>{D5});
  EXPECT_EQ(GetBuildingOf(db, D1), B2);
  EXPECT_EQ(GetBuildingOf(db, D2), 0);
  EXPECT_TRUE(IsKeySystemUsed(db, 2));
  EXPECT_FALSE(IsKeySystemUsed(db, 7));
  TItemList some;
  some.Add(D1);
  some.Add(K4);
  EXPECT_TRUE(IsKeySystemUsed(db, 2, &some));
  EXPECT_FALSE(IsKeySystemUsed(db, ksBuildingBase + B1, &some));

  SetKeySystemName(1, "Nord");
  EXPECT_EQ(FillKeySystemsOfKey(db, K6), std::vector<std::string>{"alle von Nord"});
  EXPECT_EQ(FillKeySystemsOfKey(db, K3), (std::vector<std::string>{"D1 (Nebenhaus)", "D2", "D3"}));
  EXPECT_EQ(FillKeySystemsOfKey(db, K13), std::vector<std::string>{"-"});
  EXPECT_EQ(FirstKeySystemOfKey(db, K3), "D1 (Nebenhaus)");
  EXPECT_EQ(BuildingNameOfKey(db, K4), "Haupthaus");
  EXPECT_EQ(BuildingNameOfKey(db, K9), "-");
  EXPECT_EQ(FindItemInListByField(db, list, "n", "D5"), D5);
  EXPECT_EQ(FindItemInListByField(db, list, "n", "D1"), 0);
}

TEST_F(LockingPlan, SystemItemsAreMadeOnceUnderTheReservation) {
  TMiniDB& db = **s;
  SetKeySystemName(2, "S\xFC" "d");
  EXPECT_EQ(GetSystemItem(db, 2), 0);
  int32_t item = EnsureSystemItem(db, 2, "");
  ASSERT_NE(item, 0);
  EXPECT_EQ(db.GetClass(item), icKeySystem);
  EXPECT_EQ(db.GetName(item), "S\xFC" "d");
  EXPECT_EQ(db.GetKeySystem(item), 2);
  EXPECT_FALSE(db.Modified);
  EXPECT_EQ(EnsureSystemItem(db, 2, "anders"), item);
  EXPECT_EQ(GetSystemItem(db, 2), item);
  EXPECT_EQ(EnsureSystemItem(db, 0, "x"), 0);
  EXPECT_EQ(EnsureSystemItem(db, ksAll, "x"), 0);

  // A second workstation that made it meanwhile is found after the reread.
  TDomainStore other(dir, "Data", "tester@pc2");
  int32_t made = EnsureSystemItem(*other, 5, "F\xFCnf");
  ASSERT_NE(made, 0);
  EXPECT_EQ(EnsureSystemItem(db, 5, "anders"), made);
  EXPECT_EQ(db.GetName(made), "F\xFCnf");
}

TEST_F(LockingPlan, NameFinders) {
  TMiniDB& db = **s;
  TDomainStore& p = *s;
  int32_t person = p.Add(icPerson, "  Hans   M\xFCller ");
  db.SetField(person, "Nr", "ab12");
  db.SetField(person, "Abt", "IT");
  db.Commit();
  int32_t cyl = p.Add(icCylinder, "Zyl  Nord", 1);
  db.SetField(cyl, "len", "30/35");
  db.Commit();

  EXPECT_EQ(NormalizeName("  hans   m\xFC" "ller "), NormalizeName("HANS M\xDC" "LLER"));
  EXPECT_EQ(NormalizeName("a    b"), "A B");
  EXPECT_EQ(FindItemByName(db, icPerson, "hans m\xFC" "ller", 0), person);
  EXPECT_EQ(FindItemByName(db, icPerson, "hans m\xFC" "ller", person), 0);
  EXPECT_EQ(FindItemByName(db, icDoor, "d10", 0), 0);  // deleted
  EXPECT_EQ(FindItemByName(db, icDoor, "", 0), 0);
  EXPECT_EQ(FindItemByNameInSystem(db, icCylinder, "zyl nord", 1, 0), cyl);
  EXPECT_EQ(FindItemByNameInSystem(db, icCylinder, "zyl nord", 2, 0), 0);
  EXPECT_EQ(FindListedItemByNameInSystem(db, icGroup, "ga", 1, 0), GA);
  EXPECT_EQ(FindDoorByNameInBuilding(db, " d5", B1, 0), D5);
  EXPECT_EQ(FindDoorByNameInBuilding(db, "d5", B2, 0), 0);
  EXPECT_EQ(FindCylinderByNameAndLength(db, 1, "ZYL NORD", "30/35"), cyl);
  EXPECT_EQ(FindCylinderByNameAndLength(db, 1, "ZYL NORD", "30/40"), 0);
  EXPECT_EQ(FindPersonByNumber(db, " AB12", 0), person);
  EXPECT_EQ(FindPersonByNumber(db, "AB12", person), 0);
  EXPECT_EQ(FindPersonByNumber(db, "", 0), 0);
  EXPECT_EQ(FindBuildingByName(db, "haupthaus "), B1);
  EXPECT_EQ(FindBuildingByName(db, "Villa"), 0);
}

// The caches follow every change of the store: a new link, a deletion, a save of another
// workstation, and a change not yet saved.
TEST_F(LockingPlan, AnswersFollowChanges) {
  TMiniDB& db = **s;
  TDomainStore& p = *s;
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K4, K10}));
  p.Link(K1, C4);
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K4, K10, K1}));
  EXPECT_EQ(DoorsOf(K1), (std::set<int32_t>{D6, D4}));
  ASSERT_TRUE(db.MarkDeleted(K4));
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K10, K1}));

  // Unsaved: the store's lines changed but nothing was written yet.
  db.AutoSave = false;
  db.AddLinkBoth(K9, D4, icDoor, icKey);
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K10, K1, K9}));
  db.SetField(K10, "kt", "2");
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K1, K9}));
  // A change to one record, then another record made current unchanged.
  db.AddLink(K9, D3, icDoor);
  db.GetField(K1, "n");
  EXPECT_EQ(DoorsOf(K9), (std::set<int32_t>{D9, D4, D3}));
  db.AutoSave = true;
  ASSERT_TRUE(db.Commit());
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K1, K9}));

  // Another workstation links a key; this one sees it after its reread.
  TDomainStore other(dir, "Data", "tester@pc2");
  other.Link(K5, D4);
  db.Load();
  EXPECT_EQ(KeysOf(D4), (std::set<int32_t>{K1, K9, K5}));
  EXPECT_EQ(FindItemByName(db, icKey, "Neu", 0), 0);
  int32_t added = other.Add(icKey, "Neu");
  db.Load();
  EXPECT_EQ(FindItemByName(db, icKey, "neu", 0), added);
}

}  // namespace
