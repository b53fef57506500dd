// The imports' menu commands as the composition root installs them, and the door import
// followed by the cylinder extraction it hands in.

#include <gtest/gtest.h>

#include <algorithm>

#include "data/ItemList.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "import/ImportDoorsUnit.h"
#include "program/ProgramRoot.h"
#include "app/CommandNames.h"
#include "views/SpecialDeleteUnit.h"

namespace {

TEST(ImportCommands, TheKeyDoorKwdAndJournalCommandsNoLongerAwaitTheirUnit) {
  const std::vector<std::string>& awaiting = CommandsAwaitingTheirUnit();
  for (const char* name :
       {kMenuImportKeys1, kMenuImportDoors1, kMenuImportKWD1, kMenuImportShowBooking1})
    EXPECT_EQ(std::count(awaiting.begin(), awaiting.end(), name), 0) << name;
}

TEST(ImportCommands, ImportedDoorsGetTheirCylindersAfterTheSave) {
  TUtcZone zone;
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A");
  ResetVocabulary();
  ASSERT_TRUE(a.Open(dir));
  ReadKeySystemNames(*a.db);  // "Anlage1" ...
  const int32_t house = a->NewNamedRecord(icBuilding, "Haus", "");
  ASSERT_TRUE(a->Commit());
  const std::vector<TFixedImportRow> rows = ParseFixedColumnLines(
      {"T1;Haus;Anlage1;P1;Z-1;30/30", "T2;Haus;Anlage1;;Z-1", "T3;Haus"},
      kDoorsImportColumns, false, false);
  const TFixedImportOutcome out =
      ImportDoorsTable(*a.db, rows, {}, [&] { ExtractCylindersFromDoors(*a.db, true, true); });
  ASSERT_EQ(out.result, TFixedImportResult::Done);
  EXPECT_EQ(out.created, 3);

  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  TItemList cylinders;
  reader->ListClassValid(icCylinder, cylinders);
  ASSERT_EQ(cylinders.Count(), 1);  // one cylinder "Z-1" for both doors
  const int32_t cyl = cylinders.Get(0);
  EXPECT_EQ(reader->ReadLineField(cyl, fkName), "Z-1");
  EXPECT_EQ(reader->ReadLinkCount(cyl, icDoor), 2);
  TItemList doors;
  reader->ReadLinks(house, icDoor, doors);
  EXPECT_EQ(doors.Count(), 3);
  ResetVocabulary();
}

}  // namespace
