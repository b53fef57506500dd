// The key and door imports with their fixed columns: reading the file, the checks before
// the run, and the run itself on a store shared by two stations.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "data/ItemList.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "import/ImportDoorsUnit.h"
#include "import/ImportKeysUnit.h"
#include "import/ImportEngineUnit.h"

namespace {

using Rows = std::vector<TFixedImportRow>;

std::vector<std::string> Cells(const TFixedImportRow& row) { return row.cells; }

TEST(FixedImportParse, SeparatorsQuotesEmptyFirstFieldsAndSystemSuffixes) {
  const struct {
    const char* what;
    std::vector<std::string> lines;
    bool header;
    std::vector<std::vector<std::string>> rows;
  } cases[] = {
      {"';' until a line holds a TAB, TAB from there on",
       {"A;x;S1", "B\tb;c\tS2", "C;d\t"},
       false,
       {{"A", "x", "S1", "", "", ""}, {"B", "b;c", "S2", "", "", ""}, {"C;d", "", "", "", "", ""}}},
      {"the header line is no data",
       {"Bezeichnung;Bez2;Anlage", "K1;;S1"},
       true,
       {{"K1", "", "S1", "", "", ""}}},
      {"a quoted ';' is text, fields are trimmed",
       {"\"K;1\" ; zwei ;S1;GS;3;a<br>b"},
       false,
       {{"K;1", "zwei", "S1", "GS", "3", "a<br>b"}}},
      {"an empty first field skips the line",
       {";x;S1", "  ;y", "\tz", "K2"},
       false,
       {{"K2", "", "", "", "", ""}}},
      {"the system suffix goes in any case, only the row's own",
       {"Tor 1 (haupt);;Haupt", "Tor 2 (Neben);;Haupt", "(Haupt);;Haupt"},
       false,
       {{"Tor 1", "", "Haupt", "", "", ""},
        {"Tor 2 (Neben)", "", "Haupt", "", "", ""},
        {"(Haupt)", "", "Haupt", "", "", ""}}},  // the ending needs its blank
  };
  for (const auto& c : cases) {
    const Rows rows = ParseFixedColumnLines(c.lines, kKeysImportColumns, c.header, true);
    std::vector<std::vector<std::string>> got;
    for (const TFixedImportRow& row : rows) got.push_back(Cells(row));
    EXPECT_EQ(got, c.rows) << c.what;
  }
  // Lines count from the file's first line, header included.
  const Rows rows = ParseFixedColumnLines({"h", ";", "K"}, kKeysImportColumns, true, true);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].line, 3);
  // The door layout keeps a name that ends like a system.
  EXPECT_EQ(ParseFixedColumnLines({"T (S1);;S1"}, kDoorsImportColumns, false, false)[0].Cell(0),
            "T (S1)");
}

TEST(FixedImportParse, RemarksAndCounts) {
  EXPECT_EQ(ImportRemarkText("a<BR>b<br>"), "a,b");
  EXPECT_EQ(ImportRemarkText("eins zwei"), "\"eins zwei\"");
  EXPECT_EQ(ImportRemarkText(""), "");
  int32_t n = -1;
  EXPECT_TRUE(ParseImportCount("", n) && n == 0);
  EXPECT_TRUE(ParseImportCount("12", n) && n == 12);
  for (const char* bad : {"-1", "1.5", "x", "+3", "9999999999"})
    EXPECT_FALSE(ParseImportCount(bad, n)) << bad;
}

struct FixedImport : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  TStation b{"B"};
  int32_t haupt = 0, nord = 0;

  void SetUp() override {
    ResetVocabulary();
    ASSERT_TRUE(a.Open(dir));
    SetKeySystemName(1, "Haupt");
    SetKeySystemName(2, "Neben");
    ASSERT_TRUE(a->SetHeaderValue(kKeySystemNamesHeader, KeySystemNamesText()));
    haupt = a->NewNamedRecord(icBuilding, "Haupthaus", "");
    nord = a->NewNamedRecord(icBuilding, "Nordbau", "");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
  }
  void TearDown() override { ResetVocabulary(); }

  int32_t Key(const std::string& name, TKeySystemCode code) {
    TItemList keys;
    a->ListClassValid(icKey, keys);
    for (int32_t i = 0; i < keys.Count(); ++i)
      if (a->ReadLineField(keys.Get(i), fkName) == name && a->ReadKeySystem(keys.Get(i)) == code)
        return keys.Get(i);
    return 0;
  }
  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
};

TEST_F(FixedImport, KeyChecksStopWithTheirMessageOrListFourNamesThenDots) {
  for (const char* name : {"K1", "K2", "K3", "K4", "K5"}) {
    const int32_t k = a->NewNamedRecord(icKey, name, "");
    a->SetField(k, fkKeySystem, "1");
  }
  ASSERT_TRUE(a->Commit());
  const struct {
    const char* what;
    Rows rows;
    std::string error;
    std::vector<std::string> existing;
  } cases[] = {
      {"unknown system", {{1, {"X", "", "Fremd", "", "", ""}}},
       "Die Angabe \"Fremd\" ist keine bekannte Anlage.\rDer Import wird nicht gestartet.", {}},
      {"unknown key type", {{1, {"X", "", "Haupt", "XY", "", ""}}},
       "Die Angabe \"XY\" ist kein bekannter Schl\xFCsseltyp (ES, GS, HGS, HS, GHS).\rDer Import "
       "wird nicht gestartet.",
       {}},
      {"bad count", {{1, {"X", "", "", "", "-2", ""}}},
       "Die Angabe \"-2\" ist kein g\xFCltiger Wert f\xFCr die Anzahl.\rDer Import wird nicht "
       "gestartet.",
       {}},
      {"'-' is empty everywhere", {{1, {"X", "", "-", "-", "", ""}}}, "", {}},
      {"names compared normalised, in their own system only",
       {{1, {" k1 ", "", "haupt", "", "", ""}}, {2, {"K2", "", "Neben", "", "", ""}}},
       "",
       {" k1 "}},
      {"four names, then dots",
       {{1, {"K1", "", "Haupt"}}, {2, {"K2", "", "Haupt"}}, {3, {"K3", "", "Haupt"}},
        {4, {"K4", "", "Haupt"}}, {5, {"K5", "", "Haupt"}}, {6, {"K1", "", "Haupt"}}},
       "",
       {"K1", "K2", "K3", "K4", "..."}},
  };
  for (const auto& c : cases) {
    const TFixedImportCheck check = PlanKeysCheck(*a.db, c.rows);
    EXPECT_EQ(check.error, c.error) << c.what;
    EXPECT_EQ(check.existing, c.existing) << c.what;
  }
  // The question: the names one per line between line breaks.
  ui.answers = {mrCancel};
  EXPECT_FALSE(CheckKeysImport(*a.db, {{1, {"K1", "", "Haupt"}}}));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0],
            "Diese Namen existieren schon:\rK1\rTrotzdem starten? (Doppelte werden \xFC" "bersprungen)");
}

TEST_F(FixedImport, KeysAreMadeOnlyForMissingNamesWithTheirCountsAndTheQuestionNamesTheSkipped) {
  const int32_t old = a->NewNamedRecord(icKey, "Tor", "");
  a->SetField(old, fkKeySystem, "1");
  a->SetField(old, fkTotal, "7");
  ASSERT_TRUE(a->Commit());
  const Rows rows = ParseFixedColumnLines(
      {"TOR  ;;Haupt;GS;2", "Tor;zwei;Neben;HS;4;a<BR>b", "Neu (Haupt);;Haupt;ES;3", "Neu;;Haupt;;9"},
      kKeysImportColumns, false, true);
  ui.answers = {mrYes};
  const TFixedImportOutcome out = ImportKeysTable(*a.db, rows);
  EXPECT_EQ(out.result, TFixedImportResult::Done);
  EXPECT_EQ(out.created, 2);
  EXPECT_EQ(out.skipped, 2);  // the existing key, and the file's own repeated name
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("\rTOR\r"), std::string::npos);

  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(old, fkTotal), "7");  // untouched
  a->Load();
  const int32_t other = Key("Tor", 2), neu = Key("Neu", 1);
  ASSERT_GT(other, 0);
  ASSERT_GT(neu, 0);
  EXPECT_EQ(reader->ReadLineField(other, fkSecondName), "zwei");
  EXPECT_EQ(reader->ReadLineField(other, fkKeyType), "4");
  EXPECT_EQ(reader->ReadLineField(other, fkStock), "4");
  EXPECT_EQ(reader->ReadLineField(other, fkTotal), "4");
  EXPECT_EQ(reader->ReadLineField(other, fkRemark), "a,b");
  EXPECT_EQ(reader->ReadLineField(neu, fkKeyType), "1");
  EXPECT_EQ(reader->ReadLineField(neu, fkStock), "3");
}

TEST_F(FixedImport, ARunHoldsTheWholeStoreAndCancelOrAFailedRecordSavesNothing) {
  const Rows rows = ParseFixedColumnLines({"K1;;Haupt", "K2;;Haupt", "K3"}, kKeysImportColumns,
                                          false, true);
  // Another station holding a record refuses the run, naming it.
  const int32_t held = a->NewNamedRecord(icPerson, "P", "");
  ASSERT_TRUE(a->Commit());
  b->Load();
  ASSERT_TRUE(b->LockItem(held, false, 0));
  const std::string before = File();
  EXPECT_EQ(ImportKeysTable(*a.db, rows).result, TFixedImportResult::Refused);
  EXPECT_NE(ui.AllText().find("B"), std::string::npos);
  EXPECT_EQ(File(), before);
  ASSERT_TRUE(b->UnlockItem(held));

  // While it runs, the other station saves nothing.
  bool otherRefused = false;
  TFixedImportOutcome out = ImportKeysTable(*a.db, rows, [&](int64_t, int64_t) {
    otherRefused = !TStoreWrite(*b.db, {held}).Ok();
    return true;
  });
  EXPECT_EQ(out.result, TFixedImportResult::Done);
  EXPECT_TRUE(otherRefused);

  // Cancelled: nothing saved.
  const std::string done = File();
  out = ImportKeysTable(*a.db, ParseFixedColumnLines({"X1", "X2"}, kKeysImportColumns, false, true),
                        [](int64_t, int64_t) { return false; });
  EXPECT_EQ(out.result, TFixedImportResult::Cancelled);
  EXPECT_EQ(File(), done);
  EXPECT_EQ(Key("X1", 0), 0);
}

TEST_F(FixedImport, DoorsAreLinkedBothWaysExistingOnesStayAndTheHookRunsAfterTheSave) {
  const int32_t old = a->NewNamedRecord(icDoor, "Eingang", "");
  a->SetField(old, "pos", "alt");
  a->AddLinkBoth(old, haupt, icBuilding, icDoor);
  ASSERT_TRUE(a->Commit());
  const Rows check = ParseFixedColumnLines({"X;Unbekannt"}, kDoorsImportColumns, false, false);
  EXPECT_EQ(PlanDoorsCheck(*a.db, check).error,
            "Die Angabe \"Unbekannt\" ist kein bekanntes Geb\xE4ude.\rDer Import wird nicht gestartet.");
  EXPECT_EQ(PlanDoorsCheck(*a.db, ParseFixedColumnLines({"X;-;Fremd"}, kDoorsImportColumns, false,
                                                          false))
                .error,
            "Die Angabe \"Fremd\" ist kein bekanntes Schlie\xDFsystem.\rDer Import wird nicht gestartet.");

  const Rows rows = ParseFixedColumnLines(
      {"Eingang;haupthaus;Haupt;neu;Z1;30/30;r1;EG;1", "Eingang;Nordbau;Haupt;p;Z1;30/35;;1.OG;12",
       "Keller;-;-;k"},
      kDoorsImportColumns, false, false);
  ui.answers = {mrYes};
  bool hookSawSaved = false;
  const TFixedImportOutcome out = ImportDoorsTable(*a.db, rows, {}, [&] {
    TStation reader("R");
    hookSawSaved = reader.Open(dir) && reader->CountClass(icDoor) == 3;
  });
  EXPECT_EQ(out.result, TFixedImportResult::Done);
  EXPECT_EQ(out.created, 2);
  EXPECT_TRUE(hookSawSaved);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("\rEingang\r"), std::string::npos);
  EXPECT_EQ(a->ReadLineField(old, "pos"), "alt");
  EXPECT_EQ(a->ReadLineField(old, "cyl"), "");
  TItemList nordDoors;
  a->ReadLinks(nord, icDoor, nordDoors);
  ASSERT_EQ(nordDoors.Count(), 1);
  const int32_t door = nordDoors.Get(0);
  EXPECT_TRUE(a->ReadHasLink(door, icBuilding, nord));
  EXPECT_EQ(a->ReadLineField(door, fkKeySystem), "1");
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"pos", "p"}, {"cyl", "Z1"}, {"len", "30/35"}, {"flr", "1.OG"}, {"rom", "12"}})
    EXPECT_EQ(a->ReadLineField(door, key), value) << key;
  EXPECT_EQ(a->ReadLinkCount(haupt, icDoor), 1);
}

// Answers Yes to the question about existing names, after running `meanwhile` (what another
// station does while the question stands).
struct TAnswerAfter : TRecordingInteraction {
  std::function<void()> meanwhile;
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    if (meanwhile) meanwhile();
    TRecordingInteraction::Ask(kind, text, buttons);
    return mrYes;
  }
};

// While the question stands, station B deletes the building a row names (for keys: the
// building that is their locking system). The run fails with the check's message and saves
// nothing, rather than making doors outside any building or keys outside any system.
TEST_F(FixedImport, AReferenceRemovedElsewhereDuringTheQuestionFailsTheRunSavingNothing) {
  const int32_t west = a->NewNamedRecord(icBuilding, "Westbau", "");
  a->SetField(west, fkKeySystem, "1001");
  const int32_t door = a->NewNamedRecord(icDoor, "Eingang", "");
  a->AddLinkBoth(door, nord, icBuilding, icDoor);
  const int32_t key = a->NewNamedRecord(icKey, "S0", "");
  a->SetField(key, fkKeySystem, std::to_string(ksBuildingBase + west));
  ASSERT_TRUE(a->Commit());
  const struct {
    bool doors;
    std::vector<std::string> lines;
    int32_t removed;
    const char* message;
  } cases[] = {
      {true, {"Eingang;Nordbau", "Flur;Nordbau"}, nord,
       "Die Angabe \"Nordbau\" ist kein bekanntes Geb\xE4ude."},
      {false, {"S0;;Westbau", "S1;;Westbau"}, west, "Die Angabe \"Westbau\" ist keine bekannte Anlage."},
  };
  for (const auto& c : cases) {
    std::string afterB;
    TAnswerAfter answer;
    answer.meanwhile = [&] {
      ASSERT_TRUE(b->Load() < ldNoAccess);
      ASSERT_TRUE(b->MarkDeleted(c.removed));
      ASSERT_TRUE(b->Commit());
      afterB = File();
    };
    TFixedImportOutcome out;
    {
      TUserInteractionScope scope(answer);
      out = c.doors ? ImportDoorsTable(*a.db, ParseFixedColumnLines(c.lines, kDoorsImportColumns,
                                                                    false, false),
                                       {}, {})
                    : ImportKeysTable(*a.db, ParseFixedColumnLines(c.lines, kKeysImportColumns,
                                                                   false, false),
                                      {});
    }
    EXPECT_EQ(answer.questions.size(), 1u) << c.message;
    EXPECT_EQ(out.result, TFixedImportResult::Failed) << c.message;
    EXPECT_EQ(out.created, 0) << c.message;
    EXPECT_NE(answer.AllText().find(c.message), std::string::npos) << answer.AllText();
    EXPECT_EQ(a->CountClass(icDoor), 1) << c.message;
    EXPECT_EQ(a->CountClass(icKey), 1) << c.message;
    EXPECT_EQ(File(), afterB) << c.message;
  }
}

TEST_F(FixedImport, ADoorThatCannotBeMadeFailsTheRunNamingItsLine) {
  const Rows rows = ParseFixedColumnLines({"T1;Haupthaus", "T2;Haupthaus"}, kDoorsImportColumns,
                                          false, false);
  const std::string before = File();
  bool hookRan = false;
  const TFixedImportOutcome out = ImportDoorsTable(
      *a.db, rows,
      [&](int64_t, int64_t) {
        a->LastID = kMaxRecordID;  // no further ID can be handed out
        return true;
      },
      [&] { hookRan = true; });
  EXPECT_EQ(out.result, TFixedImportResult::Failed);
  EXPECT_FALSE(hookRan);
  EXPECT_EQ(File(), before);
  EXPECT_NE(ui.AllText().find("Zeile 1 "), std::string::npos);
  EXPECT_EQ(a->CountClass(icDoor), 0);
}

}  // namespace

#include "import/ConcatCellsUnit.h"
#include "import/ImportTable.h"

namespace {

TEST(ConcatCells, ThreeStylesEveryDataRowTheRightCellStays) {
  const struct {
    TConcatStyle style;
    const char* joined;
  } cases[] = {{TConcatStyle::Blank, "Tor 1 Nord"},
               {TConcatStyle::Comma, "Tor 1, Nord"},
               {TConcatStyle::Brackets, "Tor 1 [Nord]"}};
  for (const auto& c : cases) {
    TImportTable table;
    table.SetColCount(3);
    table.SetRowCount(4);
    table.SetCell(0, 0, "Caption");
    table.SetCell(1, 0, "B");
    for (int row = 1; row < 4; ++row) table.SetCell(0, row, " Tor " + std::to_string(row) + " ");
    table.SetCell(1, 1, " Nord ");
    table.SetCell(1, 3, "Süd");
    EXPECT_EQ(ConcatCells(table, 0, c.style), 2);
    EXPECT_EQ(table.Cell(0, 0), "Caption");  // the captions' row stays
    EXPECT_EQ(table.Cell(0, 1), c.joined);
    EXPECT_EQ(table.Cell(0, 2), " Tor 2 ");  // empty right cell: unchanged
    EXPECT_EQ(table.Cell(1, 1), " Nord ");
    EXPECT_EQ(ConcatCells(table, 2, c.style), 0);  // no right neighbour
  }
}

// The file's own header line is a line of the table like the others: joined too, so the
// headline setting may change afterwards. Only the captions' row is never touched.
TEST(ConcatCells, TheFilesHeaderLineIsJoinedTheCaptionsNot) {
  TImportTable table;
  table.SetColCount(2);
  table.SetRowCount(3);
  table.SetFixedRows(2);
  table.SetCell(0, 0, " (undefiniert)");
  table.SetCell(1, 0, " (undefiniert)");
  table.SetCell(0, 1, " Name");
  table.SetCell(1, 1, " Abteilung");
  table.SetCell(0, 2, " Berg");
  table.SetCell(1, 2, " Lager");
  EXPECT_EQ(ConcatCells(table, 0, TConcatStyle::Blank), 2);
  EXPECT_EQ(table.Cell(0, 0), " (undefiniert)");
  EXPECT_EQ(table.Cell(0, 1), "Name Abteilung");
  EXPECT_EQ(table.Cell(0, 2), "Berg Lager");
}

}  // namespace
