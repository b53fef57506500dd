// The table import's row engine on a small store: matching and creating records, the
// creation switches, handovers (also several per row), unlisted persons, the check pass,
// and that a run is all or nothing.

#include <gtest/gtest.h>

#include <functional>

#include <memory>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "data/ClientSessionUnit.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBTestSupport.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportJournalUnit.h"

namespace {

const std::string kFields = std::string(TESSARO_TEST_DATA) + "/../../resources/System/Fields.csv";

// Catalogue index of a field ID.
int32_t F(int fieldId) { return FieldIndexById(fieldId); }

struct ImportEngine : ::testing::Test {
  TUtcZone zone;
  TFixedClock clock{EncodeDateTime(2024, 3, 5, 10, 30, 0)};
  TClockScope clockScope{clock};
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  TStation b{"B"};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  int32_t house = 0, door = 0, key = 0, key2 = 0, anna = 0, bert = 0;

  void SetUp() override {
    ResetVocabulary();
    ResetFieldCatalogue();
    ASSERT_TRUE(LoadFieldCatalogue(false, kFields));
    ASSERT_TRUE(a.Open(dir));
    history.SetFolder(dir.Dir());
    house = a->NewNamedRecord(icBuilding, "Haus A", "");
    door = a->NewNamedRecord(icDoor, "Tor", "");
    a->AddLinkBoth(door, house, icBuilding, icDoor);
    key = a->NewNamedRecord(icKey, "S1", "");
    key2 = a->NewNamedRecord(icKey, "S2", "");
    for (int32_t k : {key, key2}) {
      a->SetField(k, fkStock, "5");
      a->SetField(k, fkTotal, "5");
    }
    anna = a->NewNamedRecord(icPerson, "Muster, Anna", "");
    bert = a->NewNamedRecord(icPerson, "Beispiel, Bert", "");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
  }
  void TearDown() override {
    ResetFieldCatalogue();
    ResetVocabulary();
  }

  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  // The store as another station reads it from disk.
  std::unique_ptr<TStation> Reader() {
    auto reader = std::make_unique<TStation>("R");
    EXPECT_TRUE(reader->Open(dir));
    return reader;
  }
  int Bookings() const {
    std::vector<std::string> lines;
    LoadTextFile(dir.File("Log2024.alg"), lines);
    int n = 0;
    for (const std::string& line : lines) n += line.find("a=Trans") != std::string::npos;
    return n;
  }

  TTableImportJob Job(int cls, std::vector<int32_t> entries,
                      std::vector<std::vector<std::string>> rows) {
    TTableImportJob job;
    job.contentClass = cls;
    job.entries = std::move(entries);
    job.rows = std::move(rows);
    job.batch = true;
    job.dateFormat = "DD.MM.YYYY";
    job.journalFolder = dir.Dir() + "ImportJournal/";
    return job;
  }
};

TEST_F(ImportEngine, DoorsAreMatchedInTheirBuildingAndCreatedWithIt) {
  TTableImportJob job = Job(icDoor, {F(135), F(136), F(139)},
                            {{"Tor", "Haus A", "Eingang"}, {"Keller", "Haus B", "UG"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.saved);
  EXPECT_EQ(r.rowsDone, 2);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(door, "rom"), "Eingang");
  const int32_t houseB = FindBuildingByName(*reader.db, "Haus B");
  ASSERT_NE(houseB, 0);
  const int32_t cellar = FindDoorByNameInBuilding(*reader.db, "Keller", houseB, 0);
  ASSERT_NE(cellar, 0);
  EXPECT_EQ(reader->ReadLineField(cellar, "rom"), "UG");
  EXPECT_NE(r.journalFile, "");
}

TEST_F(ImportEngine, TheCheckPassChangesNothingOnDisk) {
  const std::string file = File();
  TTableImportJob job = Job(icDoor, {F(135), F(136)}, {{"Neu", "Haus C"}, {"Tor", "Haus A"}});
  job.dryRun = true;
  job.reuseDoors = true;
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(File(), file);
  EXPECT_FALSE(r.changes.empty());
  EXPECT_EQ(FindBuildingByName(*a.db, "Haus C"), 0);

  // A door without a building taken over for a building: in the check pass only reported.
  int32_t store = 0;
  {
    TBulkWrite run(*a.db);
    ASSERT_TRUE(run.Ok());
    store = a->NewNamedRecord(icDoor, "Lager", "");
    ASSERT_EQ(run.Commit(), TBulkResult::Saved);
  }
  const std::string withStore = File();
  TTableImportJob reuse = Job(icDoor, {F(135), F(136)}, {{"Lager", "Haus A"}});
  reuse.reuseDoors = true;
  reuse.dryRun = true;
  r = RunTableImport(*a.db, reuse);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(File(), withStore);
  EXPECT_FALSE(a->ReadHasLink(store, icBuilding, house));
  ASSERT_FALSE(r.changes.empty());
  EXPECT_EQ(r.changes[0].id, store);
  reuse.dryRun = false;
  r = RunTableImport(*a.db, reuse);
  ASSERT_TRUE(r.ok) << r.error;
  auto reader = Reader();
  EXPECT_TRUE((*reader)->ReadHasLink(store, icBuilding, house));
  EXPECT_EQ(FindDoorByNameInBuilding(*reader->db, "Lager", house, 0), store);
  EXPECT_EQ(reader->db->LastID, store);
}

TEST_F(ImportEngine, KeysMatchOnlyInTheirLockingSystem) {
  SetKeySystemName(1, "Nord");
  // F(146) name, F(149) locking system by name, F(152) total.
  TTableImportJob job =
      Job(icKey, {F(146), F(149), F(152)}, {{"S1", "", "7"}, {"S1", "nord", "3"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  auto reader = Reader();
  EXPECT_EQ((*reader)->ReadLineField(key, fkTotal), "7");
  const int32_t north = FindItemByNameInSystem(*reader->db, icKey, "S1", 1, 0);
  ASSERT_NE(north, 0);
  EXPECT_NE(north, key);
  EXPECT_EQ((*reader)->ReadLineField(north, fkTotal), "3");
  EXPECT_EQ((*reader)->ReadLineField(north, fkStock), "3");
}

// A row that fails ends the run, and nothing of it nor of the rows before is saved.
TEST_F(ImportEngine, AFailingRowSavesNothingAndNamesItsRowAndReason) {
  SetKeySystemName(1, "Nord");
  const struct {
    const char* what;
    int cls;
    std::vector<int32_t> entries;
    std::vector<std::vector<std::string>> rows;
    bool createBuildings, createDoors;
    int32_t building;
    const char* error;  // empty: the run goes through
  } cases[] = {
      {"unknown locking system",
       icKey,
       {F(146), F(149)},
       {{"K9", "Nord"}, {"K8", "Sued"}},
       true,
       true,
       0,
       "Schlie\xDF"
       "anlage \"Sued\" unbekannt"},
      {"building not to be made",
       icPerson,
       {F(166), F(171)},
       {{"Neu, Nina", "Haus A"}, {"Alt, Otto", "Haus Z"}},
       false,
       true,
       0,
       "Geb\xE4ude \"Haus Z\" unbekannt"},
      {"door not to be made",
       icCylinder,
       {F(111), F(125)},
       {{"Z1", "Tor"}, {"Z2", "Gibtsnicht"}},
       true,
       false,
       1,
       "T\xFCr kann nicht angelegt werden."},
      {"known door in the chosen building",
       icCylinder,
       {F(111), F(125)},
       {{"Z1", "Tor"}},
       true,
       false,
       1,
       ""},
      {"building made on demand",
       icPerson,
       {F(166), F(171)},
       {{"Alt, Otto", "Haus Z"}},
       true,
       true,
       0,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = File();
    TTableImportJob job = Job(c.cls, c.entries, c.rows);
    job.createBuildings = c.createBuildings;
    job.createDoors = c.createDoors;
    job.building = c.building ? house : 0;
    job.batch = false;
    ui.Clear();
    TTableImportResult r = RunTableImport(*a.db, job);
    if (*c.error) {
      EXPECT_FALSE(r.ok);
      EXPECT_FALSE(r.saved);
      EXPECT_EQ(r.errorRow, 2);
      EXPECT_EQ(r.error, c.error);
      EXPECT_EQ(File(), file);
      EXPECT_EQ(ui.AllText(), "Fehler in Zeile 2\r" + std::string(c.error));
      EXPECT_EQ(a->LastID, bert);
    } else {
      EXPECT_TRUE(r.ok) << r.error;
      EXPECT_NE(File(), file);
    }
  }
  auto reader = Reader();
  const int32_t cyl = FindItemByName(*reader->db, icCylinder, "Z1", 0);
  ASSERT_NE(cyl, 0);
  EXPECT_TRUE((*reader)->ReadHasLink(cyl, icDoor, door));
  EXPECT_TRUE((*reader)->ReadHasLink(door, icCylinder, cyl));
  const int32_t otto = FindItemByName(*reader->db, icPerson, "Alt, Otto", 0);
  ASSERT_NE(otto, 0);
  EXPECT_NE(GetBuildingOf(*reader->db, otto), 0);
}

// The row's error box comes once the run has given the store back: station B can save
// while the user reads it.
TEST_F(ImportEngine, ARowErrorIsShownOnceTheStoreIsFreeAgain) {
  struct TWatch : TRecordingInteraction {
    std::function<void()> onMessage;
    void ShowMessage(TMsgKind kind, const std::string& text) override {
      TRecordingInteraction::ShowMessage(kind, text);
      // Once: B's own messages come here too.
      if (auto run = std::move(onMessage)) run();
    }
  } watch;
  bool bSaved = false;
  watch.onMessage = [&] {
    ASSERT_TRUE(b->Load() < ldNoAccess);
    b->SetField(bert, "rem", "B");
    bSaved = b->Commit();
  };
  TTableImportJob job = Job(icKey, {F(146), F(149)}, {{"K9", "Sued"}});
  job.batch = false;
  TTableImportResult r;
  {
    TUserInteractionScope scope(watch);
    r = RunTableImport(*a.db, job);
  }
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(watch.messages.size(), 1u);
  EXPECT_TRUE(bSaved);
  EXPECT_EQ((*Reader())->ReadLineField(bert, "rem"), "B");
}

TEST_F(ImportEngine, ALockRefusalNamesTheStationAndACancelSavesNothing) {
  const std::string file = File();
  ASSERT_TRUE(b->LockItem(bert, false, 0));
  TTableImportJob job = Job(icPerson, {F(166), F(169)}, {{"Muster, Anna", "IT"}});
  job.batch = false;
  TTableImportResult r = RunTableImport(*a.db, job);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.blocking, "B");
  EXPECT_EQ(ui.AllText(), MultiItemsDBTextFmt(9, "B"));
  EXPECT_EQ(File(), file);
  ASSERT_TRUE(b->UnlockItem(bert));

  ui.Clear();
  TTableImportJob cancelled =
      Job(icPerson, {F(166), F(169)}, {{"Muster, Anna", "IT"}, {"Neu, Nina", "HR"}, {"X", "Y"}});
  cancelled.progress = [](int64_t done, int64_t) { return done < 2; };
  r = RunTableImport(*a.db, cancelled);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(File(), file);
  EXPECT_EQ(a->ReadLineField(anna, fkDepartment), "");
  EXPECT_EQ(a->LastID, bert);
}

TEST_F(ImportEngine, PersonNamesFromFirstNameAndSurname) {
  const struct {
    const char *first, *last, *name;
  } cases[] = {{"Anna", "Muster", "Muster, Anna"},
               {"Anna", "", "Anna"},
               {"", "Muster", "Muster"},
               {" Anna ", " ", "Anna"},
               {"", "", ""}};
  for (const auto& c : cases) EXPECT_EQ(ImportPersonName(c.first, c.last), c.name) << c.name;

  // F(167) surname, F(168) first name.
  TTableImportJob job = Job(icPerson, {F(167), F(168)}, {{"", "Carla"}, {"Muster", "Anna"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  auto reader = Reader();
  EXPECT_NE(FindItemByName(*reader->db, icPerson, "Carla", 0), 0);
  EXPECT_EQ(FindItemByName(*reader->db, icPerson, ", Carla", 0), 0);
  EXPECT_EQ(reader->db->LastID, bert + 1);  // Anna was found, not made again
}

// A row naming a record by its ID brings it back and renames it, also when the last
// column maps to another class.
TEST_F(ImportEngine, RevivalAndRenamingActOnTheContentClassRecord) {
  {
    TBulkWrite run(*a.db);
    ASSERT_TRUE(run.Ok());
    ASSERT_TRUE(a->MarkDeleted(door));
    ASSERT_EQ(run.Commit(), TBulkResult::Saved);
  }
  // F(142) door ID, F(135) name, F(136) building (its own class's slot).
  TTableImportJob job =
      Job(icDoor, {F(142), F(135), F(136)}, {{std::to_string(door), "Tor Nord", "Haus A"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  auto reader = Reader();
  EXPECT_TRUE((*reader)->IsValid(door));
  EXPECT_EQ((*reader)->ReadName(door), "Tor Nord");
  EXPECT_EQ(FindBuildingByName(*reader->db, "Haus A"), house);
}

TEST_F(ImportEngine, OnePersonWithThreeHandoversInOneRow) {
  // F(184) person, repetition, then per handover: key, issue date, count.
  TTableImportJob job = Job(
      kImportHandoverClass, {F(184), kImportRepeatEntry, F(191), F(181), F(1002)},
      {{"Muster, Anna", "S1", "01.02.2024", "1", "S2", "02.02.2024", "2", "S1", "03.02.2024", "1"},
       {"Beispiel, Bert", "S2", "04.02.2024"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rowsDone, 2);
  EXPECT_EQ(Bookings(), 4);
  auto reader = Reader();
  EXPECT_EQ((*reader)->ReadLineField(key, fkStock), "3");
  EXPECT_EQ((*reader)->ReadLineField(key2, fkStock), "2");
  const THolderEntries held = ParseHolderEntries((*reader)->ReadLineField(key, fkHolders), key);
  ASSERT_EQ(held.size(), 2u);
  EXPECT_EQ(held[0].HolderId, anna);
  EXPECT_EQ(reader->db->LastID, bert);  // nothing made

  // The same file again: every handover is already held, none is booked twice.
  r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Bookings(), 4);
  int skipped = 0;
  for (const TImportChange& c : r.changes) skipped += c.kind == TImportChangeKind::HandoverSkipped;
  EXPECT_EQ(skipped, 4);
  std::vector<std::string> journal;
  ASSERT_TRUE(ReadImportJournal(r.journalFile, journal));
  ASSERT_EQ(journal.size(), 5u);
  EXPECT_EQ(journal[0], kImportSummaryHeader);
}

// The last group of a row may be cut short: its missing cells are empty (count 1).
TEST_F(ImportEngine, ACutShortLastGroupIsRead) {
  TTableImportJob job =
      Job(kImportHandoverClass, {F(184), kImportRepeatEntry, F(191), F(181), F(1002)},
          {{"Muster, Anna", "S1", "01.02.2024", "2", "S2", "02.02.2024", "1", "S2", "03.02.2024"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Bookings(), 3);
  auto reader = Reader();
  EXPECT_EQ((*reader)->ReadLineField(key, fkStock), "3");
  EXPECT_EQ((*reader)->ReadLineField(key2, fkStock), "3");
}

// Handed out from the key's cabinet when it has one, and given back there.
TEST_F(ImportEngine, AHandoverTakesTheKeyFromItsCabinet) {
  int32_t cabinet = 0;
  {
    TBulkWrite run(*a.db);
    ASSERT_TRUE(run.Ok());
    cabinet = a->NewNamedRecord(icCabinet, "Schrank", "");
    a->AddLinkBoth(key2, cabinet, icCabinet, icKey);
    a->SetLinkValue(key2, cabinet, fkCabinetStock, "5");
    ASSERT_EQ(run.Commit(), TBulkResult::Saved);
  }
  TTableImportJob job =
      Job(kImportHandoverClass, {F(184), F(191), F(181), F(1002)},
          {{"Muster, Anna", "S2", "01.02.2024", "2"}, {"Muster, Anna", "S1", "01.02.2024", "1"}});
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  auto reader = Reader();
  EXPECT_EQ((*reader)->ReadLinkValue(key2, cabinet, fkCabinetStock), "3");
  EXPECT_EQ((*reader)->ReadLineField(key2, fkStock), "3");
  EXPECT_EQ((*reader)->ReadLineField(key, fkStock), "4");
}

TEST_F(ImportEngine, HandoverRowsCheckedAndBooked) {
  // F(184) person, F(191) key, F(181) issue, F(182) return, F(1002) count, F(1003) flag.
  const std::vector<int32_t> entries{F(184), F(191), F(181), F(182), F(1002), F(1003)};
  const struct {
    const char* what;
    std::vector<std::string> row;
    const char* error;
    const char* stock;
    int bookings;
  } cases[] = {
      {"issue and return", {"Muster, Anna", "S1", "01.02.2024", "05.02.2024", "2", ""}, "", "5", 2},
      {"count 0 books nothing", {"Muster, Anna", "S1", "01.02.2024", "", "0", ""}, "", "5", 0},
      {"issue then loss", {"Muster, Anna", "S1", "01.02.2024", "05.02.2024", "1", "8"}, "", "4", 2},
      {"no date", {"Muster, Anna", "S1", "", "", "1", ""}, "Kein oder fehlerhaftes Datum.", "5", 0},
      {"return before issue",
       {"Muster, Anna", "S1", "05.02.2024", "01.02.2024", "1", ""},
       "Das R\xFC"
       "cknahmedatum liegt vor dem Ausgabedatum.",
       "5",
       0},
      {"unknown person", {"", "S1", "01.02.2024", "", "1", ""}, "Person nicht gefunden.", "5", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int before = Bookings();
    const std::string file = File();
    TTableImportJob job = Job(kImportHandoverClass, entries, {c.row});
    TTableImportResult r = RunTableImport(*a.db, job);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.ok, !*c.error);
    if (*c.error) {
      EXPECT_EQ(File(), file);
    }
    EXPECT_EQ(Bookings() - before, c.bookings);
    EXPECT_EQ(Reader()->db->ReadLineField(key, fkStock), c.stock);
    // Each case starts from the stock of five.
    TStoreWrite w(*a.db, {key});
    ASSERT_TRUE(w.Ok());
    a->SetField(key, fkStock, "5");
    a->SetField(key, fkHolders, "");
    ASSERT_TRUE(w.Commit());
  }
}

TEST_F(ImportEngine, UnlistedPersonsGoOnlyAfterEveryRowWentThrough) {
  // Bert carries a mark an earlier, broken run left; Carla holds a key.
  const int32_t carla = a->NewNamedRecord(icPerson, "Carla", "");
  {
    TBulkWrite run(*a.db);
    ASSERT_TRUE(run.Ok());
    a->SetField(bert, "fromImport", "1");
    a->AddLinkBoth(carla, key, icKey, icPerson);
    ASSERT_EQ(run.Commit(), TBulkResult::Saved);
  }
  const std::string file = File();
  // A failing row: nobody goes.
  TTableImportJob failing =
      Job(icPerson, {F(166), F(171)}, {{"Muster, Anna", "Haus A"}, {"X", "Haus Q"}});
  failing.removeUnlistedPersons = true;
  failing.createBuildings = false;
  EXPECT_FALSE(RunTableImport(*a.db, failing).ok);
  EXPECT_EQ(File(), file);

  // The check pass tells who would go and deletes nobody.
  TTableImportJob job = Job(icPerson, {F(166)}, {{"Muster, Anna"}});
  job.removeUnlistedPersons = true;
  job.dryRun = true;
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(File(), file);
  std::vector<int32_t> gone;
  for (const TImportChange& c : r.changes)
    if (c.kind == TImportChangeKind::Delete) gone.push_back(c.id);
  EXPECT_EQ(gone, std::vector<int32_t>{bert});

  job.dryRun = false;
  r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  auto reader = Reader();
  EXPECT_TRUE((*reader)->IsValid(anna));
  EXPECT_FALSE((*reader)->IsValid(bert));
  EXPECT_TRUE((*reader)->IsValid(carla));
  EXPECT_EQ((*reader)->ReadLineField(anna, "fromImport"), "");
}

TEST_F(ImportEngine, AnEmptyListDeletesNobody) {
  const std::string file = File();
  TTableImportJob job = Job(icPerson, {F(166)}, {{""}, {" "}});
  job.removeUnlistedPersons = true;
  TTableImportResult r = RunTableImport(*a.db, job);
  EXPECT_TRUE(r.ok);
  auto reader = Reader();
  EXPECT_TRUE((*reader)->IsValid(anna));
  EXPECT_TRUE((*reader)->IsValid(bert));
}

TEST_F(ImportEngine, AListThatNamesNoStoredPersonDeletesNobodyAndImportsNothing) {
  // A file read with the wrong separator: each line lands whole in the name column, so
  // nobody stored is listed and every person without a key would go.
  const std::string file = File();
  for (bool dryRun : {true, false}) {
    SCOPED_TRACE(dryRun ? "check" : "import");
    TTableImportJob job =
        Job(icPerson, {F(166)}, {{"Muster, Anna;Einkauf"}, {"Berg, Udo;Lager"}});
    job.removeUnlistedPersons = true;
    job.dryRun = dryRun;
    const TTableImportResult r = RunTableImport(*a.db, job);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ImportEngineText(ieNoStoredPersonListed));
    EXPECT_EQ(File(), file);
  }
  auto reader = Reader();
  EXPECT_TRUE((*reader)->IsValid(anna));
  EXPECT_TRUE((*reader)->IsValid(bert));
  // Without the removal the same list is imported as it is.
  TTableImportJob plain = Job(icPerson, {F(166)}, {{"Berg, Udo;Lager"}});
  EXPECT_TRUE(RunTableImport(*a.db, plain).ok);
}

TEST_F(ImportEngine, TheRunMarksTheCellsItTookInTheTable) {
  TImportTable table;
  table.SetColCount(3);
  table.SetRowCount(3);
  table.SetFixedRows(1);
  table.SetCell(0, 1, "Tor");
  table.SetCell(1, 1, "Haus A");
  table.SetCell(2, 1, "Eingang");
  TTableImportJob job = Job(icDoor, {F(135), F(136), 0}, {});
  job.table = &table;
  TTableImportResult r = RunTableImport(*a.db, job);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(table.CaptionObject(1), F(136));
  EXPECT_EQ(table.Mark(0, 1), 1);
  EXPECT_EQ(table.Mark(0, 2), 0);  // an empty row is passed over
  EXPECT_EQ(r.rowsDone, 2);
}

TEST(ImportColumns, TheEntriesBehindTheRepetitionRepeat) {
  const int32_t R = kImportRepeatEntry;
  const struct {
    std::vector<int32_t> entries;
    int cols;
    std::vector<int32_t> objects;
  } cases[] = {
      {{1, 2}, 4, {1, 2, 0, 0}},
      {{1, R, 2, 3}, 7, {1, 2, 3, 2, 3, 2, 3}},
      {{1, R}, 3, {1, 0, 0}},
      {{}, 2, {0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(ImportColumnObjects(c.entries, c.cols), c.objects);
}

TEST(ImportNames, NameAndSecondNameInOneCell) {
  const struct {
    const char *cell, *name, *name2;
  } cases[] = {{"Tor [Nord]", "Tor", "Nord"},
               {"Tor", "Tor", ""},
               {"[x]", "[x]", ""},
               {" A  [ B ] ", "A", "B"}};
  for (const auto& c : cases) {
    std::string n, n2;
    SplitImportName12(c.cell, n, n2);
    EXPECT_EQ(n, c.name) << c.cell;
    EXPECT_EQ(n2, c.name2) << c.cell;
  }
}

}  // namespace
