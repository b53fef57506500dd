// Lists, relation queries, searches and printouts read the store without side effects:
// while a record is being edited (changed, not yet stored, automatic saving on), none of
// them stores or saves it, and the file stays byte for byte what it was.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DomainFixture.h"
#include "data/HolderUnit.h"
#include "data/LockingRelations.h"
#include "data/SearchListUnit.h"
#include "data/StockUnit.h"
#include "data/ViewOptionsUnit.h"

TEST(ReadsWithoutSideEffects, ListsRelationsSearchesAndPrintoutsNeverStoreTheRecordBeingEdited) {
  TTempDir dir;
  TDomainStore s(dir);
  TMiniDB& db = *s;
  InstallNameFuncs(db);
  const int32_t building = s.Add(icBuilding, "Haus A");
  const int32_t door = s.Add(icDoor, "Tor 1");
  const int32_t cylinder = s.Add(icCylinder, "Z 1", 1);
  const int32_t key = s.Add(icKey, "Schl 1", 1, "2");
  const int32_t copy = s.Add(icKey, "Schl 1 Kopie", 1, "2");
  const int32_t cabinet = s.Add(icCabinet, "Schrank");
  const int32_t person = s.Add(icPerson, "Anna");
  s.Link(door, building);
  s.Link(door, cylinder);
  s.Link(key, cylinder);
  s.Link(key, person);
  s.Link(key, cabinet);
  db.AddLinkBoth(copy, key, lkMother, lkDaughters);
  db.SetField(key, fkHolders, "E" + std::to_string(person) + "=1|2024-03-05");
  db.SetField(door, "k603", "12");
  db.SetField(person, fkDepartment, "IT");
  ASSERT_TRUE(db.Commit());

  // The person is being edited: a field changed, not stored, automatic saving on.
  db.AutoSave = true;
  db.SetField(person, fkPersonNumber, "4711");
  ASSERT_TRUE(db.CurrentModified);
  const std::string before = ReadAllBytes(db.FileName);
  const uint64_t changes = db.ChangeCount();

  TItemList keys, doors, all;
  db.ListClassValid(icKey, keys);
  db.ListClassValid(icDoor, doors);
  db.ListAll(all, true);
  TQStringList suggestions;
  const std::vector<std::pair<const char*, std::function<void()>>> reads = {
      {"key list", [&] { FillSearchList(db, icKey, keys, "", &suggestions, {}, ksAll, 0, false); }},
      {"key list searched",
       [&] { FillSearchList(db, icKey, keys, "Schl", &suggestions, {}, 1, 0, false); }},
      {"list with the standard formatter",
       [&] {
         FillSearchList(db, icKey, keys, "", nullptr, {}, ksAll, 0, false,
                        [&](int32_t id, uint8_t) { return StandardListEntry(db, id); });
       }},
      {"doors by closing numbers",
       [&] {
         ApplyViewSortText("3=01");
         FillSearchList(db, icDoor, doors, "", nullptr, {}, ksAll, 0, false);
         ApplyViewSortText("");
       }},
      {"every record", [&] { FillSearchList(db, 0, all, "a", nullptr, {}, ksAll, 0, true); }},
      {"relations",
       [&] {
         TItemList result;
         GetDoorsOfKey(db, key, result);
         GetKeysOfDoor(db, door, true, true, result);
         GetHoldersOfDoorKeys(db, door, result);
         KeysOfItemText(db, person, true, true);
         GetBuildingOf(db, door);
         FindItemByName(db, icPerson, "Anna", 0);
       }},
      {"printouts",
       [&] {
         BuildPersonKeyList(db, person, {1, 2, 3, 4, 5, 6, 7, 8, 9}, true);
         std::string text = "#PERSON:NAME DEPT NUMBER#";
         FillFieldPlaceholders(db, person, text);
         NameWithContext(db, door, kBracketRound);
         NameWithContext(db, person, kBracketTab);
         RoomText(db, door);
         GetHookText(db, key, cabinet);
         StockTextOf(db, key);
         LoadHolderRecs(db, key);
         int32_t total = 0, stock = 0;
         SumCabinetTotals(db, key, "1", "1", total, stock);
       }},
  };
  for (const auto& [what, read] : reads) {
    read();
    EXPECT_EQ(ReadAllBytes(db.FileName), before) << what;
    EXPECT_EQ(db.CurrentID, person) << what;
    EXPECT_TRUE(db.CurrentModified) << what;
    EXPECT_EQ(db.ChangeCount(), changes) << what;
  }
  // The edit itself is intact and is saved when the view stores it.
  EXPECT_EQ(db.ReadLineField(person, fkPersonNumber), "4711");
  ASSERT_TRUE(db.Commit());
  EXPECT_NE(ReadAllBytes(db.FileName), before);
}
