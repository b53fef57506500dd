// The unattended run of a profile through the real row engine on a small store.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "basic/DateClock.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HistoryUnit.h"
#include "data/ItemList.h"
#include "data/MandantUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "import/ImportProfileUnit.h"
#include "import/ImportTable.h"

namespace {

struct ImportProfileRun : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  int32_t anna = 0, bert = 0, carl = 0, key = 0;

  void SetUp() override {
    ResetFieldCatalogue();
    ASSERT_TRUE(
        LoadFieldCatalogue(false, std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv"));
    ASSERT_TRUE(a.Open(dir));
    history.SetFolder(dir.Dir());
    anna = a->NewNamedRecord(icPerson, "Muster, Anna", "");
    bert = a->NewNamedRecord(icPerson, "Beispiel, Bert", "");
    carl = a->NewNamedRecord(icPerson, "Halter, Carl", "");
    key = a->NewNamedRecord(icKey, "S1", "");
    a->AddLinkBoth(key, carl, icPerson, icKey);
    ASSERT_TRUE(a->Commit());
    SessionReads(*a.db);
    Session().LoggedIn = true;
    LogFileNames().ErrorLogFile = dir.File("errors.log");
    LogFileNames().SuccessLogFile = dir.File("ok.log");
    // The import journal goes into the client's data folder.
    oldRoot = MandantState().DataRoot;
    MandantState().DataRoot = dir.Dir();
  }
  std::string oldRoot;
  void TearDown() override {
    MandantState().DataRoot = oldRoot;
    Session().LoggedIn = false;
    ResetSession();
    LogFileNames().ErrorLogFile.clear();
    LogFileNames().SuccessLogFile.clear();
    ResetFieldCatalogue();
  }
  std::string Names() {
    TItemList persons;
    a->ListClassValid(icPerson, persons);
    std::string out;
    for (int32_t i = 0; i < persons.Count(); ++i)
      out += a->ReadLineField(persons.Get(i), fkName) + "|";
    return out;
  }
};

// A file whose rows end in LF only still lists every person: the run removes only the
// person it does not list, and keeps the one who holds a key.
TEST_F(ImportProfileRun, RemovingUnlistedPersonsFromAnLfOnlyFileKeepsTheListedOnes) {
  WriteAllBytes(dir.File("staff.csv"), "Name;Abt\nMuster, Anna;Einkauf\nNeu, Nora;Lager\n");
  WriteAllBytes(dir.File("staff.ipo"),
                "DataFileName=staff.csv\r\nContainsColumnHeader=1\r\nDateFormat=DD.MM.YYYY\r\n"
                "PrimaryContentClass=5\r\nRemoveUnlistedPersons=1\r\nKeySystemID=0\r\n"
                "BuildingID=0\r\nFields=166;169;\r\n");
  ASSERT_TRUE(RunProfileImport(dir.File("staff.ipo"), true))
      << ReadAllBytes(dir.File("errors.log"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_NE(ReadAllBytes(dir.File("ok.log")).find("Import successful"), std::string::npos);
  EXPECT_EQ(ReadAllBytes(dir.File("errors.log")), "");
  EXPECT_TRUE(a->IsValid(anna));
  EXPECT_FALSE(a->IsValid(bert));
  EXPECT_TRUE(a->IsValid(carl)) << "a person holding a key stays";
  EXPECT_EQ(a->ReadLineField(anna, "Abt"), "Einkauf");
  EXPECT_NE(Names().find("Neu, Nora|"), std::string::npos) << Names();
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("ImportJournal"))) << "the run's journal";
}

TEST_F(ImportProfileRun, ABadRowFailsTheRunAndTheStoreStaysAsItWas) {
  const std::string before = ReadAllBytes(dir.File("Data.ada"));
  WriteAllBytes(dir.File("keys.csv"), "S9;Unbekannt\r\n");
  // A key row whose locking system does not exist.
  WriteAllBytes(dir.File("keys.ipo"),
                "DataFileName=keys.csv\r\nContainsColumnHeader=0\r\nPrimaryContentClass=15\r\n"
                "Fields=191;195;\r\n");
  EXPECT_FALSE(RunProfileImport(dir.File("keys.ipo"), true));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_NE(ReadAllBytes(dir.File("errors.log")).find("Import failed"), std::string::npos);
  EXPECT_EQ(ReadAllBytes(dir.File("ok.log")), "");
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), before);
}

TEST_F(ImportProfileRun, ACancelledRunSavesNothing) {
  const std::string before = ReadAllBytes(dir.File("Data.ada"));
  WriteAllBytes(dir.File("staff.csv"), "Neu, Nora\r\nNeu, Olaf\r\n");
  TImportSettings settings;
  settings.contentClass = icPerson;
  settings.headlines = false;
  settings.columns = ImportColumnsOfFields("166;");
  TImportTable table;
  ASSERT_TRUE(LoadTableFile(table, dir.File("staff.csv"), true, false, settings.columns));
  int calls = 0;
  EXPECT_FALSE(RunImportEngine(table, settings, false, true, [&](int64_t, int64_t total) {
    EXPECT_EQ(total, 2);
    return ++calls < 2;  // cancelled at the second row
  }));
  EXPECT_GE(calls, 2);
  EXPECT_TRUE(LastImportResult().cancelled);
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), before);
  EXPECT_EQ(Names().find("Neu,"), std::string::npos) << Names();
}

}  // namespace
