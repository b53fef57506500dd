// The bulk tools and special functions on two stations: all or nothing through one bulk run,
// each tool's change plan against what applying it changes.

#include <gtest/gtest.h>

#include <cerrno>

#include "DoorsTestSupport.h"
#include "basic/MultiLingua.h"
#include "platform/PlatformFiles.h"
#include "views/KsToolFormUnit.h"
#include "views/SpecialDeleteUnit.h"

namespace {

struct TToolsWorld : TDoorsWorld {
  int32_t Rec(int cls, const std::string& name, TKeySystemCode ks = 0) {
    const int32_t id = Record(cls, name);
    if (ks != 0) Set(id, fkKeySystem, std::to_string(ks));
    return id;
  }
  std::string File() { return ReadAllBytes(dir.File("Data.ada")); }
  bool TimebackWritten() {
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Dir()))
      if (e.path().extension() == ".tbl") return true;
    return false;
  }
};

TEST(SpecialFunctions, KeySystemToolMovesTheFiveClassesAndLeavesBuildingSystemsAlone) {
  TToolsWorld w;
  const int32_t house = w.Rec(icBuilding, "Haus", 3);
  const int32_t own = w.Record(icBuilding, "Eigen");
  w.Set(own, fkKeySystem, std::to_string(ksBuildingBase + own));
  const int32_t door = w.Rec(icDoor, "T\xFCr", 3);
  const int32_t key = w.Rec(icKey, "S1", 3);
  const int32_t cyl = w.Rec(icCylinder, "Z1", 3);
  const int32_t group = w.Rec(icGroup, "G", 3);
  const int32_t person = w.Rec(icPerson, "Anna", 3);
  const int32_t other = w.Rec(icKey, "S2", 4);
  const int32_t ownDoor = w.Rec(icDoor, "Eigent\xFCr", ksBuildingBase + own);

  // The plan is exactly what applying changes.
  const std::vector<TFieldChange> plan = PlanKeySystemChange(*w.a.db, 3, 5);
  ASSERT_EQ(plan.size(), 5u);
  for (const TFieldChange& c : plan) EXPECT_EQ(c.from, "3");
  EXPECT_EQ(ChangeKeySystem(*w.a.db, 3, 5), 5);
  {
    TDoorsWorld::TDisk disk(w.dir);
    for (int32_t id : {house, door, key, cyl, group}) EXPECT_EQ(disk->ReadLineField(id, "ks"), "5");
    EXPECT_EQ(disk->ReadLineField(person, "ks"), "3");
    EXPECT_EQ(disk->ReadLineField(other, "ks"), "4");
    EXPECT_EQ(disk->ReadKeySystem(own), ksBuildingBase + own);
  }
  // To a building's own system: the buildings stay; from it: its building stays.
  EXPECT_EQ(ChangeKeySystem(*w.a.db, 5, ksBuildingBase + own), 4);
  EXPECT_EQ(w.a->ReadLineField(house, "ks"), "5");
  EXPECT_EQ(ChangeKeySystem(*w.a.db, ksBuildingBase + own, 0), 5);  // four moved back and the door
  EXPECT_EQ(w.a->ReadLineField(door, "ks"), "");  // 0 removes the field
  EXPECT_EQ(w.a->ReadLineField(ownDoor, "ks"), "");
  EXPECT_EQ(w.a->ReadKeySystem(own), ksBuildingBase + own);
  // Equal codes: nothing, not even a question.
  w.ui.questions.clear();
  EXPECT_FALSE(RunKsTool(*w.a.db, 4, 4));
  EXPECT_TRUE(w.ui.questions.empty());
  // Nothing of the old system: the question, then message 3.
  w.ui.answers = {mrYes};
  EXPECT_FALSE(RunKsTool(*w.a.db, 17, 4));
  EXPECT_NE(w.ui.AllText().find(KsToolText(3)), std::string::npos);
}

TEST(SpecialFunctions, ARunIsAllOrNothing) {
  TToolsWorld w;
  for (int i = 0; i < 70; ++i) w.Rec(icDoor, "T" + std::to_string(i), 3);
  const int32_t held = w.Rec(icKey, "S", 3);
  std::vector<int32_t> persons;
  for (int i = 0; i < 6; ++i) persons.push_back(w.Rec(icPerson, "P" + std::to_string(i)));
  const int32_t person = persons.back();
  const std::string file = w.File();
  const std::string history = w.HistoryText();

  // B holds a record: the run does not begin and names B.
  w.BHolds(held);
  w.ui.Clear();
  EXPECT_EQ(ChangeKeySystem(*w.a.db, 3, 5), kRefused);
  EXPECT_NE(w.ui.AllText().find("B"), std::string::npos);
  EXPECT_EQ(w.File(), file);
  ASSERT_TRUE(w.b->UnlockItem(held));

  // Cancelled halfway (after the first steps changed records); a save that fails: nothing on disk, nothing in memory, no history.
  EXPECT_EQ(ChangeKeySystem(*w.a.db, 3, 5, [](int64_t done, int64_t) { return done < 64; }),
            kCancelled);
  EXPECT_EQ(DeleteAllOfClass(*w.a.db, icPerson, true, nullptr,
                             [](int64_t done, int64_t) { return done < 4; }),
            kCancelled);
  {
    int renames = 0;
    TPfFaultScope fault(
        [&](TPfOp op, const std::string&) { return op == TPfOp::Rename && renames++ == 0 ? EIO : 0; });
    EXPECT_EQ(DeleteAllOfClass(*w.a.db, icPerson, true, nullptr), kRefused);
  }
  EXPECT_EQ(w.File(), file);
  EXPECT_EQ(w.HistoryText(), history);
  EXPECT_FALSE(w.TimebackWritten());
  EXPECT_EQ(w.a->ReadLineField(held, "ks"), "3");
  EXPECT_TRUE(w.a->IsValid(person));

  // Success: one save, the lock on all records given back, the history after it.
  EXPECT_EQ(DeleteAllOfClass(*w.a.db, icPerson, true, nullptr), 6);
  EXPECT_NE(w.HistoryText().find("a=Del"), std::string::npos);
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_FALSE(disk->IsValid(person));
  EXPECT_TRUE(TStoreWrite(*w.b.db, {held}).Ok());
}

TEST(SpecialFunctions, CabinetTool) {
  TToolsWorld w;
  const int32_t cab = w.Record(icCabinet, "Schrank");
  const int32_t old = w.Record(icCabinet, "Alt");
  const int32_t inCab = w.Rec(icKey, "drin", 3);
  const int32_t inOld = w.Rec(icKey, "alt", 3);
  const int32_t none = w.Rec(icKey, "frei", 3);
  const int32_t other = w.Rec(icKey, "fremd", 4);
  w.Link(inCab, cab);
  w.Link(inCab, old);
  w.a->SetLinkValue(inCab, cab, "ct", "2");
  w.Link(inOld, old);
  ASSERT_TRUE(w.a->Commit());

  // Without a cabinet: refused, no key loses its cabinets.
  const std::string file = w.File();
  EXPECT_EQ(AssignKeysToCabinet(*w.a.db, 3, 0, false), kRefused);
  EXPECT_EQ(w.File(), file);
  // Only orphans.
  EXPECT_EQ(PlanCabinetAssignment(*w.a.db, 3, cab, true),
            (std::vector<TCabinetChange>{{none, {}, true}}));
  EXPECT_EQ(AssignKeysToCabinet(*w.a.db, 3, cab, false), 3);
  TDoorsWorld::TDisk disk(w.dir);
  for (int32_t key : {inCab, inOld, none})
    EXPECT_EQ(TDoorsWorld::Links(*disk, key, icCabinet), std::vector<int32_t>{cab});
  EXPECT_EQ(disk->ReadLinkValue(inCab, cab, "ct"), "2");  // kept with its values
  EXPECT_TRUE(TDoorsWorld::Links(*disk, old, icKey).empty());
  EXPECT_TRUE(TDoorsWorld::Links(*disk, other, icCabinet).empty());
  // The same run again changes nothing and saves nothing, yet counts the three keys.
  const std::string assigned = w.File();
  EXPECT_EQ(AssignKeysToCabinet(*w.a.db, 3, cab, false), 3);
  EXPECT_EQ(w.File(), assigned);
}

TEST(SpecialFunctions, Deletions) {
  TToolsWorld w;
  const int32_t bare = w.Record(icPerson, "ohne");
  const int32_t withKey = w.Record(icPerson, "Schl\xFCssel");
  const int32_t withBunch = w.Record(icPerson, "Bund");
  const int32_t holder = w.Record(icPerson, "Halter");
  const int32_t key = w.Record(icKey, "S");
  const int32_t bunch = w.Record(icKeyBunch, "B");
  w.Link(withKey, key);
  w.Link(withBunch, bunch);
  // A holder line naming the person, without a link (as an old data set may have it).
  w.Set(key, fkHolders, "E" + std::to_string(holder) + "=1|2024-03-05");
  ASSERT_EQ(GetHoldingPersons(*w.a.db, key).Count(), 1);

  EXPECT_EQ(PlanPersonsWithoutKeys(*w.a.db), std::vector<int32_t>{bare});
  int kept = 0;
  EXPECT_EQ(PlanDeleteAll(*w.a.db, icPerson, &kept).size(), 3u);
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(DeletePersonsWithoutKeys(*w.a.db, true), 1);
  EXPECT_EQ(DeleteAllOfClass(*w.a.db, icPerson, true, &kept), 2);
  EXPECT_EQ(kept, 1);
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_TRUE(disk->IsValid(holder));
  for (int32_t p : {bare, withKey, withBunch}) EXPECT_FALSE(disk->IsValid(p));
  EXPECT_TRUE(TDoorsWorld::Links(*disk, key, icPerson).empty());  // both sides
  // One "a=Del" line per record, as a single deletion writes it.
  const std::string history = w.HistoryText();
  size_t lines = 0;
  for (size_t at = history.find("a=Del"); at != std::string::npos; at = history.find("a=Del", at + 1))
    ++lines;
  EXPECT_EQ(lines, 3u);
}

TEST(SpecialFunctions, CylinderExtraction) {
  TToolsWorld w;
  const int32_t d1 = w.Rec(icDoor, "T1", 3);
  const int32_t d2 = w.Rec(icDoor, "T2", 3);
  const int32_t d3 = w.Rec(icDoor, "T3", 3);
  const int32_t loose = w.Rec(icDoor, "ohne Anlage");
  const int32_t existing = w.Rec(icCylinder, "ALT", 3);
  w.Set(existing, fkLength, "30/30");
  w.Set(d1, "cyl", "Neu");
  w.Set(d1, fkLength, "35/35");
  w.Set(d1, "pos", "7");
  w.Set(d2, "cyl", "neu");  // the same cylinder
  w.Set(d3, "cyl", "Alt");
  w.Set(d3, fkLength, "40/40");  // says otherwise than the cylinder: kept
  w.Set(loose, "cyl", "X");

  EXPECT_EQ(ExtractCylindersFromDoors(*w.a.db, false, true), 3);
  EXPECT_EQ(ExtractCylindersFromDoors(*w.a.db, false, true), 3);
  EXPECT_EQ(ExtractCylindersFromDoors(*w.a.db, true, true), 1);
  EXPECT_EQ(ExtractCylindersFromDoors(*w.a.db, true, true), 0);
  TDoorsWorld::TDisk disk(w.dir);
  const int32_t made = disk->ReadFirstLink(d1, icCylinder);
  ASSERT_GT(made, 0);
  EXPECT_EQ(disk->ReadLineField(made, "n"), "Neu");
  EXPECT_EQ(disk->ReadLineField(made, fkLength), "35/35");
  EXPECT_EQ(disk->ReadLineField(made, "pos"), "7");
  EXPECT_EQ(disk->ReadFirstLink(d2, icCylinder), made);
  EXPECT_EQ(disk->ReadFirstLink(d3, icCylinder), existing);
  EXPECT_EQ(disk->ReadLineField(d1, "cyl") + disk->ReadLineField(d1, fkLength), "");
  EXPECT_EQ(disk->ReadLineField(d3, fkLength), "40/40");
  EXPECT_EQ(disk->ReadLineField(loose, "cyl"), "X");
  EXPECT_EQ(TDoorsWorld::All(*disk, icCylinder).size(), 2u);
}

TEST(SpecialFunctions, ClosingConversionsAndAutomations) {
  TToolsWorld w;
  const int32_t d1 = w.Rec(icDoor, "T1", 3);
  const int32_t d2 = w.Rec(icDoor, "T2", 3);
  const int32_t d3 = w.Rec(icDoor, "T3", 3);
  const int32_t z12 = w.Rec(icCylinder, "Z12", 3);  // on two doors
  const int32_t z3 = w.Rec(icCylinder, "Z3", 3);
  w.Link(z12, d1);
  w.Link(z12, d2);
  w.Link(z3, d3);
  const int32_t both = w.Rec(icKey, "beide", 3);  // opens both doors of Z12
  const int32_t one = w.Rec(icKey, "eine", 3);    // opens only one door of Z12
  w.Link(both, d1);
  w.Link(both, d2);
  w.Link(one, d1);
  w.Link(one, d3);

  std::vector<int32_t> keys;
  const auto plan = PlanKeyDoorsToCylinders(*w.a.db, &keys);
  EXPECT_EQ(keys, (std::vector<int32_t>{both, one}));
  EXPECT_EQ(ConvertKeyDoorsToCylinders(*w.a.db, true), 2);
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(TDoorsWorld::Links(*disk, both, icCylinder), std::vector<int32_t>{z12});
  EXPECT_TRUE(TDoorsWorld::Links(*disk, both, icDoor).empty());
  EXPECT_EQ(TDoorsWorld::Links(*disk, one, icCylinder), std::vector<int32_t>{z3});
  EXPECT_EQ(TDoorsWorld::Links(*disk, one, icDoor), std::vector<int32_t>{d1});  // Z12 would open T2
  size_t applied = 0;
  for (const auto& c : plan) applied += c.add ? 1 : 0;
  EXPECT_EQ(applied, 2u);

  // Automations: a single key finds its cylinder by name, another finds none.
  const int32_t es = w.Rec(icKey, "Z3", 3);
  const int32_t lone = w.Rec(icKey, "niemand", 3);
  w.Set(lone, fkKeyType, "1");
  EXPECT_EQ(SingleKeyAutomation(*w.a.db, true), 1);
  EXPECT_EQ(w.a->ReadLineField(es, fkKeyType), "1");
  EXPECT_TRUE(w.a->ReadHasLink(es, icCylinder, z3));
  EXPECT_EQ(w.a->ReadLinkText(lone, icCylinder), "");
  const int32_t gs = w.Rec(icKey, "zwei", 3);
  w.Link(gs, z3);
  w.Link(gs, z12);
  EXPECT_EQ(GroupKeyAutomation(*w.a.db, true), 1);
  EXPECT_EQ(w.a->ReadLineField(gs, fkKeyType), "2");
}

// The conversion and both automations move their bar every 8th key visited, and a cancel
// there leaves the file as it was.
TEST(SpecialFunctions, KeyRunsShowProgressEveryEighthKeyAndCanBeCancelled) {
  TToolsWorld w;
  for (int i = 0; i < 20; ++i) {
    const int32_t key = w.Rec(icKey, "K" + std::to_string(i), 3);
    const int32_t z = w.Rec(icCylinder, "K" + std::to_string(i), 3);
    if (i % 2) w.Link(key, z);  // every other key has its cylinder already
  }
  const std::string file = w.File();
  using TRun = std::function<int(const TBulkProgress&)>;
  const std::pair<const char*, TRun> runs[] = {
      {"key doors",
       [&](const TBulkProgress& p) { return ConvertKeyDoorsToCylinders(*w.a.db, true, p); }},
      {"single keys",
       [&](const TBulkProgress& p) { return SingleKeyAutomation(*w.a.db, true, p); }},
      {"group keys", [&](const TBulkProgress& p) { return GroupKeyAutomation(*w.a.db, true, p); }},
  };
  for (const auto& [name, run] : runs) {
    std::vector<int64_t> seen;
    EXPECT_EQ(run([&](int64_t done, int64_t total) {
                EXPECT_EQ(total, 20) << name;
                seen.push_back(done);
                return done < 8;
              }),
              kCancelled)
        << name;
    EXPECT_EQ(seen, (std::vector<int64_t>{0, 8})) << name;
    EXPECT_EQ(w.File(), file) << name;
  }
}

TEST(SpecialFunctions, MergesAndSingleLinks) {
  TToolsWorld w;
  const int32_t d1 = w.Rec(icDoor, "T1", 3);
  const int32_t d2 = w.Rec(icDoor, "T2", 3);
  const int32_t k = w.Rec(icKey, "S", 3);
  const int32_t c1 = w.Rec(icCylinder, "a", 3);
  const int32_t c2 = w.Rec(icCylinder, "b", 3);
  for (int32_t c : {c1, c2}) {
    w.Set(c, "k603", "100");
    w.Set(c, fkCylinderCount, "2");
    w.Link(c, k);
  }
  w.Link(c1, d1);
  w.Link(c2, d2);
  EXPECT_EQ(MergeCylinders(*w.a.db, 3, true), 1);
  EXPECT_FALSE(w.a->IsValid(c2));
  EXPECT_EQ(w.a->ReadLineField(c1, fkCylinderCount), "4");
  EXPECT_EQ(w.a->ReadLineField(c1, "n"), "100");
  EXPECT_TRUE(w.a->ReadHasLink(c1, icDoor, d2));  // the absorbed one's door moved over
  TItemList doors;
  GetDoorsOfKey(*w.a.db, k, doors);
  EXPECT_EQ(doors.Count(), 2);

  // Keys: only a non-empty closing, never a mother; each absorbed once.
  std::vector<int32_t> keys;
  for (const char* closing : {"7", "7", "7", "", ""}) {
    const int32_t key = w.Rec(icKey, "K", 4);
    w.Set(key, "k603", closing);
    w.Set(key, fkTotal, "1");
    w.Set(key, fkStock, "1");
    keys.push_back(key);
  }
  EXPECT_EQ(MergeKeys(*w.a.db, 4, true), 2);
  EXPECT_EQ(w.a->ReadLineField(keys[0], fkTotal), "3");
  EXPECT_TRUE(w.a->IsValid(keys[3]) && w.a->IsValid(keys[4]));

  // Single links: each person keeps its first building.
  const int32_t h1 = w.Record(icBuilding, "H1");
  const int32_t h2 = w.Record(icBuilding, "H2");
  const int32_t p = w.Record(icPerson, "P");
  w.Link(p, h1);
  w.Link(p, h2);
  EXPECT_EQ(ConvertLinks(*w.a.db, icPerson, icBuilding, false), 2);
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_EQ(TDoorsWorld::Links(*disk, p, icBuilding), std::vector<int32_t>{h1});
  EXPECT_TRUE(TDoorsWorld::Links(*disk, h2, icPerson).empty());
  EXPECT_EQ(TDoorsWorld::Links(*disk, h1, icPerson), std::vector<int32_t>{p});
}

TEST(SpecialFunctions, MergedKeysKeepEveryPieceInEachCabinet) {
  TToolsWorld w;
  const int32_t north = w.Record(icCabinet, "Nord");
  const int32_t south = w.Record(icCabinet, "Sued");
  std::vector<int32_t> keys;
  for (int i = 0; i < 3; ++i) {
    const int32_t key = w.Rec(icKey, "K" + std::to_string(i), 5);
    w.Set(key, "k603", "9");
    w.Set(key, fkTotal, "4");
    w.Set(key, fkStock, "4");
    w.Link(key, north);
    w.Link(key, south);
    keys.push_back(key);
  }
  // cabinet, key, count at the hook, total at the hook, hook number
  struct TRow {
    int32_t cabinet;
    size_t key;
    const char *ct, *tl, *po;
  };
  const std::vector<TRow> rows = {{north, 0, "2", "3", "12"}, {north, 1, "1", "1", ""},
                                  {north, 2, "", "", "13"},   {south, 0, "", "", ""},
                                  {south, 1, "2", "3", "7"},  {south, 2, "1", "", ""}};
  for (const TRow& r : rows) {
    w.a->SetLinkValue(keys[r.key], r.cabinet, fkCabinetStock, r.ct);
    w.a->SetLinkValue(keys[r.key], r.cabinet, fkCabinetOwned, r.tl);
    w.a->SetLinkValue(keys[r.key], r.cabinet, "po", r.po);
  }
  ASSERT_TRUE(w.a->Commit());

  EXPECT_EQ(MergeKeys(*w.a.db, 5, true), 2);
  // What another station reads: the survivor holds every piece where it hung.
  TDoorsWorld::TDisk disk(w.dir);
  EXPECT_FALSE(disk->IsValid(keys[1]) || disk->IsValid(keys[2]));
  EXPECT_EQ(disk->ReadLineField(keys[0], fkTotal), "12");
  struct TExpected {
    int32_t cabinet;
    const char *ct, *tl, *po;
  };
  for (const TExpected& e : {TExpected{north, "3", "4", "12"}, TExpected{south, "3", "3", "7"}}) {
    EXPECT_EQ(disk->ReadLinkValue(keys[0], e.cabinet, fkCabinetStock), e.ct) << e.cabinet;
    EXPECT_EQ(disk->ReadLinkValue(keys[0], e.cabinet, fkCabinetOwned), e.tl) << e.cabinet;
    EXPECT_EQ(disk->ReadLinkValue(keys[0], e.cabinet, "po"), e.po) << e.cabinet;
    EXPECT_EQ(TDoorsWorld::Links(*disk, e.cabinet, icKey), std::vector<int32_t>{keys[0]});
  }
}

TEST(SpecialFunctions, EveryTextHasItsEnglishEntry) {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  ASSERT_TRUE(
      ml.LoadLanguageFile(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  for (const TMLStringList* table : {KsToolTexts(), CabinetToolTexts(), SpecialDeleteTexts()})
    for (int i = 0; i < table->Count(); ++i) {
      if (table->Number(i) <= 0 || table->Text(i).empty()) continue;
      int grade = mlgNone;
      ml.TranslateText(table->Text(i), "DE", "EN", grade);
      EXPECT_NE(grade, mlgNone) << table->Text(i);
    }
}

}  // namespace
