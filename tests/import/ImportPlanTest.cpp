// The spreadsheet locking-plan import on a small plan made by the test: doors, cylinders,
// single keys, group keys and groups with their links, the options, the lookups, and a
// failed or refused run that leaves the store exactly as it was.

#include "import/ImportPlanUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/Cp1252.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "import/ImportPlanRecogUnit.h"
#include "import/ImportTable.h"

namespace {

const TPlanWords& Words() {
  static const TPlanWords words = [] {
    TPlanWords w;
    EXPECT_TRUE(w.LoadFile(std::string(TESSARO_RESOURCE_DIR) + "/System/LockingPlan.lng", "DE"));
    return w;
  }();
  return words;
}

// Columns: A Pos, B building, C door, D Schließung, E/F lengths, G cylinder count, H single
// key, I its count, J the key table's headings, K-O group keys. Rows 1-4 the key table,
// row 5 the cylinder table's heading, rows 6-15 ten doors.
std::vector<std::string> PlanLines() {
  std::vector<std::string> lines = {
      "\t\t\t\t\t\t\t\t\tGruppenschl\xFCssel\tGS1\tGHS Haupt\t.\tB\xFCro\tGS2",
      "\t\t\t\t\t\t\t\t\tSchl\xFCssel-Typ\t\t\t\tM\tGS",
      "\t\t\t\t\t\t\t\t\tAnzahl Gruppenschl\xFCssel\t2\t1\t\t3\t1",
      "\t\t\t\t\t\t\t\t\tGruppe\tA",
      "Pos\tGeb\xE4ude\tT\xFCr\tSchlie\xDFung\tZylinder-L\xE4nge A\tZylinder-L\xE4nge B\t"
      "Zylinder-Anzahl\tEinzelschl\xFCssel\tSchl\xFCssel-Anzahl",
  };
  const char* marks[10][5] = {{"x", "", "", "", ""},     {"X", "", "", "", ""},
                              {"", "JA", "", "", ""},    {"", "TRUE", "", "", ""},
                              {"", "", "x", "", ""},     {"", "", "", "NEIN", ""},
                              {"", "", "", "?", ""},     {"", "", "", "x", ""},
                              {"", "", "", "", "x"},     {"", "", "", "", ""}};
  for (int i = 1; i <= 10; ++i) {
    const std::string n = std::to_string(i);
    std::string line = n + "\t" + (i <= 2 ? "Haus A" : "") + "\tT" + n + "\tS" + n + "\t" +
                       (i % 2 ? "30" : "") + "\t" + (i == 3 ? "" : "35") + "\t" +
                       (i == 10 ? "0" : "1") + "\t" + (i <= 2 ? "ES 1" : "") + "\t" +
                       (i <= 2 ? "2" : "") + "\t";
    for (const char* m : marks[i - 1]) line += std::string("\t") + m;
    lines.push_back(line);
  }
  return lines;
}

struct PlanImport : ::testing::Test {
  TUtcZone zone;
  TFixedClock clock{EncodeDateTime(2024, 3, 5, 10, 30, 0)};
  TClockScope clockScope{clock};
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  TStation b{"B"};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  TImportTable grid;
  TPlanRecognition rec;
  TPlanImportOptions options;
  int32_t houseA = 0;

  void SetUp() override {
    ASSERT_TRUE(a.Open(dir));
    history.SetFolder(dir.Dir());
    houseA = a->NewNamedRecord(icBuilding, "Haus A", "");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
    Load(PlanLines());
    options.keySystem = 2;
    options.journalFolder = dir.Dir() + "journal/";
  }
  void Load(const std::vector<std::string>& lines) {
    FillPlanGrid(grid, lines);
    ASSERT_TRUE(RecognisePlanTable(grid, TIndiDefList(), Words(), rec));
  }
  TPlanImportReport Run() { return RunPlanImportRows(*a.db, grid, rec, options); }
  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  int32_t Find(int cls, const std::string& name) { return a->FindByName(name, cls, 0); }
};

}  // namespace

TEST(PlanImportTexts, KeyTypesLengthsAndNames) {
  const struct {
    const char* text;
    int type;
  } types[] = {{"E", 1},  {"ES 12", 1}, {"GS", 2},  {"GHS Haupt", 5}, {"I", 8}, {"M", 9},
               {"gs", 0}, {"GS1", 0},   {" GS", 0}, {"", 0},          {"HS", 0}};
  for (const auto& t : types) EXPECT_EQ(KeyTypeFromPlanText(t.text), t.type) << t.text;

  const struct {
    bool hasA;
    const char* a;
    bool hasB;
    const char* b;
    const char* text;
  } lengths[] = {{true, "30", true, "35", "30 / 35"}, {true, "", true, "35", "- / 35"},
                 {true, "30", true, "", "30 / -"},    {true, "", true, "", ""},
                 {false, "", true, "35", "35"},       {true, "30", false, "", "30"},
                 {false, "", false, "", ""}};
  for (const auto& l : lengths)
    EXPECT_EQ(PlanLengthText(l.hasA, l.a, l.hasB, l.b), l.text) << l.a << "|" << l.b;

  EXPECT_EQ(PlanCylinderName(pnmSchliessungLength, "S1", "30 / 35", "T1", "Z"), "S1  30 / 35");
  EXPECT_EQ(PlanCylinderName(pnmSchliessungLength, "S1", "", "T1", "Z"), "S1");
  EXPECT_EQ(PlanCylinderName(pnmDoor, "S1", "30", "T1", "Z"), "T1");
  EXPECT_EQ(PlanCylinderName(pnmSchliessungDoor, "", "30", "T1", "Z"), "T1");
  EXPECT_EQ(PlanCylinderName(pnmCylinderColumn, "S1", "30", "T1", "Z"), "Z");
}

TEST_F(PlanImport, TenDoorPlan) {
  const TPlanImportReport report = Run();
  ASSERT_EQ(report.result, TPlanSheetResult::Done) << ui.AllText();
  EXPECT_NE(ui.AllText().find("Die Datei wurde verarbeitet."), std::string::npos);

  // Doors with their building, cylinders named by Schließung and length.
  const int32_t t1 = Find(icDoor, "T1");
  ASSERT_NE(t1, 0);
  EXPECT_EQ(GetBuildingOf(*a.db, t1), houseA);
  EXPECT_EQ(a->ReadLineField(t1, "pos"), "1");
  const int32_t c1 = Find(icCylinder, "S1  30 / 35");
  const int32_t c3 = Find(icCylinder, "S3  30 / -");
  const int32_t c2 = Find(icCylinder, "S2  - / 35");
  ASSERT_TRUE(c1 && c2 && c3);
  EXPECT_EQ(a->ReadLineField(c1, "ks"), "2");
  EXPECT_EQ(a->ReadLineField(c1, "ccnt"), "1");
  EXPECT_EQ(a->ReadLineField(c1, "k603"), "S1");
  EXPECT_TRUE(a->ReadHasLink(t1, icCylinder, c1));
  // The single key of two rows: one key, its counts added, linked with both cylinders.
  const int32_t es = Find(icKey, "ES 1");
  ASSERT_NE(es, 0);
  EXPECT_EQ(a->ReadLineField(es, "kt"), "1");
  EXPECT_EQ(a->ReadLineField(es, "total"), "4");
  EXPECT_TRUE(a->ReadHasLink(c1, icKey, es));
  EXPECT_TRUE(a->ReadHasLink(c2, icKey, es));

  // Group key with its group row: "GS1 - A", type 2, in group "A", which locks rows 1-2.
  const int32_t gs1 = Find(icKey, "GS1 - A");
  const int32_t groupA = Find(icGroup, "A");
  ASSERT_TRUE(gs1 && groupA);
  EXPECT_EQ(a->ReadLineField(gs1, "kt"), "2");
  EXPECT_EQ(a->ReadLineField(gs1, "total"), "2");
  EXPECT_EQ(a->ReadLineField(groupA, "k702"), "A");
  EXPECT_TRUE(a->ReadHasLink(groupA, icKey, gs1));
  EXPECT_TRUE(a->ReadHasLink(groupA, icCylinder, c1));
  EXPECT_TRUE(a->ReadHasLink(groupA, icCylinder, c2));
  EXPECT_FALSE(a->ReadHasLink(gs1, icCylinder, c1));
  // Type from the name ("GHS" = 5): without a group it locks no cylinder.
  const int32_t ghs = Find(icKey, "GHS Haupt");
  ASSERT_NE(ghs, 0);
  EXPECT_EQ(a->ReadLineField(ghs, "kt"), "5");
  EXPECT_EQ(a->ReadLinkCount(ghs, icCylinder), 0);
  // "." without a count is no key.
  EXPECT_EQ(Find(icKey, "."), 0);
  // Type from the type row; "NEIN" and "?" do not link, "x" does.
  const int32_t buero = Find(icKey, "B\xFCro");
  ASSERT_NE(buero, 0);
  EXPECT_EQ(a->ReadLineField(buero, "kt"), "9");
  TItemList locked;
  a->ReadLinks(buero, icCylinder, locked);
  ASSERT_EQ(locked.Count(), 1);
  EXPECT_EQ(a->ReadName(locked.Get(0)), "S8  - / 35");
  // Type 2 without a group row value: a group named like the key.
  const int32_t gs2 = Find(icKey, "GS2");
  const int32_t groupGs2 = Find(icGroup, "GS2");
  ASSERT_TRUE(gs2 && groupGs2);
  EXPECT_TRUE(a->ReadHasLink(groupGs2, icCylinder, Find(icCylinder, "S9  30 / 35")));
  // "JA" and "TRUE" are marks too, for the GHS column they just link nothing.
  EXPECT_FALSE(report.journalFile.empty());

  // Read back by another station.
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(es, "total"), "4");
  EXPECT_TRUE(reader->ReadHasLink(groupA, icCylinder, c1));
}

TEST_F(PlanImport, CountsReplacedZeroIgnoredAndNamingModes) {
  options.addCounts = false;
  options.ignoreZero = true;
  options.namingMode = pnmDoor;
  ASSERT_EQ(Run().result, TPlanSheetResult::Done);
  EXPECT_EQ(a->ReadLineField(Find(icKey, "ES 1"), "total"), "2");
  EXPECT_NE(Find(icCylinder, "T1"), 0);
  EXPECT_EQ(Find(icCylinder, "T10"), 0);  // count 0
  EXPECT_EQ(Find(icDoor, "T10"), 0);

  // Imported again: nothing doubles, the same records are found.
  const int32_t last = a->LastID;
  ASSERT_EQ(Run().result, TPlanSheetResult::Done);
  EXPECT_EQ(a->LastID, last);
  EXPECT_EQ(a->ReadLineField(Find(icKey, "GS1 - A"), "total"), "2");

  // The cylinder column's mode needs that column.
  options.namingMode = pnmCylinderColumn;
  ui.Clear();
  EXPECT_EQ(Run().result, TPlanSheetResult::MissingColumn);
  EXPECT_NE(ui.AllText().find("Es fehlt eine Spalte"), std::string::npos);
}

TEST_F(PlanImport, AnErrorInARowLeavesTheStoreAsItWas) {
  // Two doors without a building share position 5: seeking by position stops in row 5.
  a->SetField(a->NewNamedRecord(icDoor, "Alt 1", ""), "pos", "5");
  a->SetField(a->NewNamedRecord(icDoor, "Alt 2", ""), "pos", "5");
  ASSERT_TRUE(a->Commit());
  const std::string before = File();
  options.seekByPosition = true;
  options.reportNew = true;
  const TPlanImportReport report = Run();
  EXPECT_EQ(report.result, TPlanSheetResult::Failed);
  EXPECT_NE(ui.AllText().find("Mehrere bereits vorhandene T\xFCren mit gleicher Position 5"),
            std::string::npos);
  EXPECT_NE(ui.AllText().find("nichts gespeichert"), std::string::npos);
  EXPECT_EQ(ui.AllText().find("verarbeitet"), std::string::npos);
  EXPECT_EQ(ui.AllText().find("Neue T\xFCr angelegt"), std::string::npos);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Find(icDoor, "T1"), 0);
}

TEST_F(PlanImport, DoorLookup) {
  const int32_t loose = a->NewNamedRecord(icDoor, "Tor", "");
  a->SetField(loose, "pos", "7");
  const int32_t inA = a->NewNamedRecord(icDoor, "tor", "");
  a->SetField(inA, "pos", "7");
  a->AddLinkBoth(inA, houseA, icBuilding, icDoor);
  const int32_t houseB = a->NewNamedRecord(icBuilding, "Haus B", "");
  const int32_t inB = a->NewNamedRecord(icDoor, "Tor", "");
  a->SetField(inB, "pos", "7");
  a->AddLinkBoth(inB, houseB, icBuilding, icDoor);
  ASSERT_TRUE(a->Commit());
  const int32_t houseC = a->NewNamedRecord(icBuilding, "Haus C", "");

  const struct {
    const char* text;
    bool byPos;
    int32_t building;
    int32_t door;
  } cases[] = {
      {"TOR", false, houseA, inA},   {"Tor", false, 0, loose},     {"Tor", false, houseC, loose},
      {"7", true, houseA, inA},      {"7", true, houseB, inB},     {"7", true, 0, loose},
      {"8", true, houseA, 0},        {"Tür", false, houseA, 0},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(FindPlanDoor(*a.db, c.text, c.byPos, c.building, error), c.door) << c.text;
    EXPECT_EQ(error, "") << c.text;
  }
  // Doors of other buildings share the position without making it a duplicate; two in the
  // lookup's building do.
  const int32_t second = a->NewNamedRecord(icDoor, "Tor 2", "");
  a->SetField(second, "pos", "7");
  a->AddLinkBoth(second, houseA, icBuilding, icDoor);
  std::string error;
  EXPECT_EQ(FindPlanDoor(*a.db, "7", true, houseA, error), 0);
  EXPECT_NE(error.find("gleicher Position 7"), std::string::npos);
  error.clear();
  EXPECT_EQ(FindPlanDoor(*a.db, "7", true, houseB, error), inB);
  EXPECT_EQ(error, "");
}

TEST_F(PlanImport, EmptyPositionFallsBackToTheName) {
  // Two cylinders without a position would be duplicates of an empty position.
  const int32_t c1 = a->NewNamedRecord(icCylinder, "S1  30 / 35", "");
  a->SetField(c1, "ks", "2");
  a->SetField(c1, "len", "30 / 35");
  a->SetField(a->NewNamedRecord(icCylinder, "Z", ""), "ks", "2");
  ASSERT_TRUE(a->Commit());
  std::vector<std::string> lines = PlanLines();
  lines[5] = "\t" + lines[5].substr(lines[5].find('\t') + 1);  // row 1 without position
  Load(lines);
  options.seekByPosition = true;
  ASSERT_EQ(Run().result, TPlanSheetResult::Done) << ui.AllText();
  EXPECT_TRUE(a->ReadHasLink(Find(icDoor, "T1"), icCylinder, c1));
}

TEST_F(PlanImport, UnknownBuildingsAreAskedBeforeTheRun) {
  std::vector<std::string> lines = PlanLines();
  for (int row : {7, 8}) lines[row].replace(lines[row].find('\t'), 1, "\tHaus N");
  Load(lines);
  const std::string before = File();
  ui.answers = {mrCancel};
  EXPECT_EQ(Run().result, TPlanSheetResult::Refused);
  EXPECT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(File(), before);

  // Yes: asked once for both rows, created in the run; new records listed in one note.
  ui.Clear();
  ui.questions.clear();
  ui.answers = {mrYes};
  options.reportNew = true;
  ASSERT_EQ(Run().result, TPlanSheetResult::Done);
  EXPECT_EQ(ui.questions.size(), 1u);
  const int32_t house = Find(icBuilding, "Haus N");
  ASSERT_NE(house, 0);
  EXPECT_EQ(GetBuildingOf(*a.db, Find(icDoor, "T3")), house);
  EXPECT_EQ(GetBuildingOf(*a.db, Find(icDoor, "T4")), house);
  ASSERT_GE(ui.messages.size(), 2u);
  const std::string notes = ui.messages[0].text;
  EXPECT_NE(notes.find("Neue T\xFCr angelegt:\rT1"), std::string::npos);
  EXPECT_NE(notes.find("Neuer Zylinder angelegt:\rS10  - / 35"), std::string::npos);
}

TEST_F(PlanImport, RefusedWhileAnotherStationHoldsARecord) {
  ASSERT_TRUE(b->LockItem(houseA, false, 0));
  const std::string before = File();
  EXPECT_EQ(Run().result, TPlanSheetResult::Refused);
  EXPECT_EQ(ui.messages.at(0).text, MultiItemsDBTextFmt(9, "B"));
  EXPECT_EQ(File(), before);
}

TEST_F(PlanImport, GroupsFoundByCodeOrNameDeletedOnesToo) {
  const int32_t old = a->NewNamedRecord(icGroup, "a", "");
  a->SetField(old, "ks", "2");
  ASSERT_TRUE(a->MarkDeleted(old));
  const int32_t other = a->NewNamedRecord(icGroup, "Andere", "");
  a->SetField(other, "ks", "2");
  a->SetField(other, "k702", "X1");
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(FindOrCreatePlanGroup(*a.db, 2, "A"), old);
  EXPECT_TRUE(a->IsValid(old));
  EXPECT_EQ(FindOrCreatePlanGroup(*a.db, 2, "X1"), other);
  const int32_t created = FindOrCreatePlanGroup(*a.db, 3, "A");
  EXPECT_NE(created, old);
  EXPECT_EQ(a->ReadLineField(created, "k702"), "A");
  EXPECT_EQ(FindPlanKeyByName(*a.db, 2, ""), 0);
}
