// The table import's row engine on a small store: matching and creating records, the
// creation switches, handovers (also several per row), unlisted persons, the check pass,
// and that a run is all or nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBTestSupport.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportJournalUnit.h"

namespace {

const std::string kFields =
    std::string(TESSARO_TEST_DATA) + "/../../resources/System/Fields.csv";

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
  int32_t house = 0, door = 0, key = 0, anna = 0, bert = 0;

  void SetUp() override {
    ResetFieldCatalogue();
    ASSERT_TRUE(LoadFieldCatalogue(false, kFields));
    ASSERT_TRUE(a.Open(dir));
    history.SetFolder(dir.Dir());
    house = a->NewNamedRecord(icBuilding, "Haus A", "");
    door = a->NewNamedRecord(icDoor, "Tor", "");
    a->AddLinkBoth(door, house, icBuilding, icDoor);
    key = a->NewNamedRecord(icKey, "S1", "");
    a->SetField(key, fkStock, "5");
    a->SetField(key, fkTotal, "5");
    anna = a->NewNamedRecord(icPerson, "Muster, Anna", "");
    bert = a->NewNamedRecord(icPerson, "Beispiel, Bert", "");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
  }
  void TearDown() override { ResetFieldCatalogue(); }

  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }

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
}

}  // namespace
