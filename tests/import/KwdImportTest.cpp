// The KWD import: records and fields, locking positions, the check pass and the import
// pass on a store shared by two stations, linking, and what a repeated import does.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "data/ItemList.h"
#include "data/MiniDBTestSupport.h"
#include "data/UnitTR100.h"
#include "import/ImportKwdUnit.h"

namespace {

// A record line: the letter, then the fields 1.. joined by the separator (field 1 follows
// the letter directly).
std::string Rec(char letter, const std::map<int, std::string>& fields, char sep = ';') {
  int last = 0;
  for (const auto& [n, v] : fields) last = std::max(last, n);
  std::string line(1, letter);
  for (int i = 1; i <= last; ++i) {
    if (i > 1) line += sep;
    auto it = fields.find(i);
    if (it != fields.end()) line += it->second;
  }
  return line;
}

// The plan of the tests: two "A" groups, positions in "C" records, an "I" position that
// leads to an "M" group, cylinders and keys, each kind of record that is skipped.
std::vector<std::string> Plan(char sep = ';') {
  const std::string s(1, sep);
  return {
      "O" + s + "KWD" + s + "3",
      Rec('L', {{3, "P-4711"}}, sep),
      Rec('A', {{1, "G1"}, {2, "Haupt"}, {3, "GHS"}, {5, "GHS"}}, sep),
      Rec('A', {{1, "G2"}, {2, "Flur"}, {3, "2"}, {5, "GS"}}, sep),
      Rec('C', {{1, "Z10"}, {3, "10"}, {5, "E"}}, sep),
      Rec('C', {{1, "Z11"}, {3, "11"}}, sep),
      Rec('C', {{1, "I1"}, {3, "I1"}, {5, "I"}}, sep),
      Rec('C', {{1, "M1"}, {3, "M1"}, {5, "M"}}, sep),
      Rec('F', {{1, "G2"}, {2, "Z10"}}, sep),
      Rec('F', {{1, "G1"}, {2, "G1"}}, sep),  // points to itself
      Rec('F', {{1, "Z11"}, {2, "G1"}}, sep),
      Rec('F', {{1, "I1"}, {2, "M1"}}, sep),
      Rec('F', {{1, "M1"}, {2, "Z11"}}, sep),
      Rec('D', {{1, "T\xFCr 1"}, {5, "001"}, {6, "L=30/35,OF=MS,FZG,SK"}, {12, "2"}, {17, "Z10"}},
          sep),
      Rec('D', {{5, "002"}, {12, "1"}, {17, "Z11"}}, sep),
      Rec('D', {{1, "Alt"}, {5, "009"}, {15, "30"}, {17, "Z10"}}, sep),
      Rec('D', {{1, "T\xFCr 3"}, {5, "003"}, {17, "Z99"}}, sep),
      Rec('D', {{1, "T\xFCr 4"}, {2, "T\xFCr 4"}, {5, "004"}, {17, "G2"}}, sep),
      Rec('K', {{1, "S1"}, {4, "zweit"}, {12, "3"}, {17, "Z10"}}, sep),
      Rec('K', {{1, "S2"}, {12, "1"}, {17, "I1"}}, sep),
      Rec('K', {{7, "S3"}, {12, "1"}, {17, "G2"}}, sep),
      Rec('K', {{1, "S4"}, {17, "XX"}}, sep),
      Rec('X', {{1, "?"}}, sep),
  };
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

TEST(KwdRecords, FieldsSeparatorsAndBases) {
  const KwdRecord d = ParseKwdLine("D;x;\"a;b\"", 4, ';');
  EXPECT_EQ(d.letter, 'D');
  EXPECT_EQ(d.line, 4);
  EXPECT_EQ(KwdField(d, 200), "D");
  EXPECT_EQ(KwdField(d, 201), "");  // field 1 begins at the second character
  EXPECT_EQ(KwdField(d, 202), "x");
  EXPECT_EQ(KwdField(d, 203), "a;b");
  EXPECT_EQ(KwdField(ParseKwdLine("K12|34", 0, '|'), 301), "12");
  const struct {
    char letter;
    int32_t base;
  } bases[] = {{'L', 100}, {'D', 200}, {'K', 300}, {'C', 600}, {'A', 700}, {'F', 1200},
               {'B', 0},   {'O', 0},   {'Z', 0}};
  for (const auto& b : bases) EXPECT_EQ(KwdFieldBase(b.letter), b.base) << b.letter;
  // A number outside the record: a message and an empty text.
  TScopedRecorder ui;
  EXPECT_EQ(KwdField(d, 260), "");
  EXPECT_EQ(KwdField(d, 199), "");
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "internal Error in GetKwdField-Method");

  const struct {
    std::vector<std::string> lines;
    char sep;
  } seps[] = {{{"L;1", "O;KWD;1"}, ';'},
              {{"O|KWD|1"}, '|'},
              {{"OxKWD", "O;KWD"}, 'x'},
              {{"O;KW", "P;KWD", "o;KWD"}, 0}};
  for (const auto& s : seps) EXPECT_EQ(KwdSeparator(s.lines), s.sep);
}

TEST(KwdRecords, PositionsFromAAndCRecordsAndTheIToMWay) {
  const std::vector<std::string> lines = {
      Rec('A', {{1, "G"}, {3, "7"}, {5, "GS"}}),
      Rec('C', {{1, "G"}, {3, "8"}, {5, "E"}}),      // A comes first
      Rec('C', {{3, "P1"}, {10, "1"}}),              // no field 601: by its 603
      Rec('C', {{1, "x"}, {3, "P2"}, {10, "6"}}),    // 610 = 6: by its 603
      Rec('C', {{1, "y"}, {3, "P3"}, {10, "2"}}),    // neither: not by 603
      Rec('C', {{3, "GHS"}, {10, "6"}}),
      Rec('C', {{3, "P4"}, {10, "2"}}),
      Rec('C', {{1, "I7"}, {3, "I7"}, {5, "I"}}),
      Rec('C', {{1, "M7"}, {3, "M7"}, {5, "M"}}),
      Rec('F', {{1, "I7"}, {2, "G"}}),
      Rec('F', {{1, "I7"}, {2, "M7"}}),
  };
  const TKwdPlan plan(ParseKwdRecords(lines, ';'));
  const struct {
    const char* text;
    KwdPosition p;
  } cases[] = {
      {"G", {true, "7", "GS"}},     {"P1", {true, "P1", "E"}},  {"P2", {true, "P2", "GS"}},
      {"P3", {false, "", ""}},      {"GHS", {true, "GHS", "GHS"}}, {"P4", {true, "P4", "I"}},
      {"", {false, "", ""}},        {"I7", {true, "I7", "I"}},
  };
  for (const auto& c : cases) EXPECT_EQ(plan.Position(c.text), c.p) << c.text;
  EXPECT_EQ(plan.UnknownPositions(), std::vector<std::string>{"P3"});
  EXPECT_EQ(plan.MPositionOf("I7"), "M7");  // the first F record leads to a GS position
  EXPECT_EQ(plan.MPositionOf("G"), "");
}

struct KwdImport : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  TStation b{"B"};
  std::vector<std::vector<std::string>> shown;
  TKwdHooks hooks;

  void SetUp() override {
    ResetVocabulary();
    ASSERT_TRUE(a.Open(dir));
    ReadKeySystemNames(*a.db);
    ASSERT_TRUE(a->SetHeaderValue(kKeySystemNamesHeader, KeySystemNamesText()));
    ASSERT_TRUE(b.Open(dir));
    hooks.showSummary = [this](const std::vector<std::string>& lines) { shown.push_back(lines); };
  }
  void TearDown() override { ResetVocabulary(); }

  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  std::string WritePlan(const std::vector<std::string>& lines, const char* name = "plan.kwd") {
    WriteAllBytes(dir.File(name), Joined(lines));
    return dir.File(name);
  }
  TKwdResult Import(const std::string& file, std::deque<int> answers = {mrYes},
                    const std::string& journal = "") {
    ui.answers = std::move(answers);
    return ImportKwdFile(*a.db, file, hooks, journal);
  }
  std::vector<int32_t> Of(int cls) {
    TItemList list;
    a->ListClassValid(cls, list);
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < list.Count(); ++i) ids.push_back(list.Get(i));
    return ids;
  }
  int32_t Named(int cls, const std::string& name) {
    for (int32_t id : Of(cls))
      if (a->ReadLineField(id, fkName) == name) return id;
    return 0;
  }
};

TEST_F(KwdImport, ThePlanBecomesCylindersKeysGroupsAndTheirLinks) {
  ASSERT_EQ(Import(WritePlan(Plan()), {mrYes}, dir.Dir() + "journal/"), TKwdResult::Imported);
  // The check's summary with its notes came before the import.
  ASSERT_EQ(ui.questions.size(), 1u);
  const std::string& q = ui.questions[0];
  EXPECT_NE(q.find("SPos nicht gefunden: Z99"), std::string::npos) << q;
  EXPECT_NE(q.find("Key \"S4\" ohne bekannte SPos: XX"), std::string::npos) << q;
  EXPECT_NE(q.find("Unbekannte Satzart \"X\" gefunden."), std::string::npos) << q;

  // The plan's system: the first free name (1-3 are named from the start).
  EXPECT_EQ(KeySystemTableName(4), "P-4711");
  TStation reader("R");
  ResetVocabulary();
  ASSERT_TRUE(reader.Open(dir));
  ReadKeySystemNames(*reader.db);
  EXPECT_EQ(KeySystemTableName(4), "P-4711");  // saved with the run

  const int32_t t1 = Named(icCylinder, "T\xFCr 1");
  const int32_t unnamed = Named(icCylinder, "Unbenannt1 11");
  const int32_t t4 = Named(icCylinder, "T\xFCr 4");
  ASSERT_GT(t1, 0);
  ASSERT_GT(unnamed, 0);
  ASSERT_GT(t4, 0);
  EXPECT_EQ(Of(icCylinder).size(), 3u);  // "30" and the unknown position skipped
  const std::map<std::string, std::string> t1Fields = {
      {"ks", "4"},   {"k201", "T\xFCr 1"}, {"k205", "001"}, {"k217", "Z10"},  {"k603", "10"},
      {"k605", "E"}, {"pos", "1"},          {"len", "30/35"}, {"ofl", "MS"}, {"ctyp", "FZG,SK"},
      {"ccnt", "2"}};
  for (const auto& [k, v] : t1Fields) EXPECT_EQ(reader->ReadLineField(t1, k), v) << k;
  EXPECT_EQ(reader->ReadLineField(unnamed, "k605"), "");
  EXPECT_EQ(reader->ReadLineField(t4, fkSecondName), "");  // same as name 1: dropped
  // Doors for named cylinders only.
  const int32_t d1 = Named(icDoor, "T\xFCr 1");
  ASSERT_GT(d1, 0);
  EXPECT_TRUE(a->ReadHasLink(d1, icCylinder, t1));
  EXPECT_TRUE(a->ReadHasLink(t1, icDoor, d1));
  EXPECT_EQ(a->ReadLineField(d1, "k205"), "001");
  EXPECT_EQ(a->ReadLinkCount(unnamed, icDoor), 0);
  EXPECT_EQ(Of(icDoor).size(), 2u);

  const int32_t s1 = Named(icKey, "S1"), s2 = Named(icKey, "S2"), s3 = Named(icKey, "S3");
  ASSERT_GT(s1 * s2 * s3, 0);
  EXPECT_EQ(Named(icKey, "S4"), 0);
  EXPECT_EQ(a->ReadLineField(s1, fkKeyType), "1");  // "E" read as "ES"
  EXPECT_EQ(a->ReadLineField(s1, fkTotal), "3");
  EXPECT_EQ(a->ReadLineField(s1, fkStock), "3");
  EXPECT_EQ(a->ReadLineField(s1, "k304"), "zweit");

  const int32_t g1 = Named(icGroup, "G1 Haupt"), g2 = Named(icGroup, "G2 Flur"),
                m1 = Named(icGroup, "M1");
  ASSERT_GT(g1 * g2 * m1, 0);
  EXPECT_EQ(a->ReadLineField(m1, "k605"), "M");
  // Linking: G2's F record names Z10; G1 points to itself, so the records pointing to G1
  // name its items (Z11); M1 names Z11; the key of I1 joins M1 through its F record; a key
  // without a group takes the cylinders of its position.
  EXPECT_TRUE(a->ReadHasLink(g2, icCylinder, t1));
  EXPECT_TRUE(a->ReadHasLink(t1, icGroup, g2));
  EXPECT_TRUE(a->ReadHasLink(g1, icCylinder, unnamed));
  EXPECT_TRUE(a->ReadHasLink(m1, icCylinder, unnamed));
  EXPECT_TRUE(a->ReadHasLink(s2, icGroup, m1));
  EXPECT_TRUE(a->ReadHasLink(m1, icKey, s2));
  EXPECT_TRUE(a->ReadHasLink(s3, icGroup, g2));
  EXPECT_TRUE(a->ReadHasLink(s1, icCylinder, t1));
  EXPECT_TRUE(a->ReadHasLink(t1, icKey, s1));
  EXPECT_EQ(a->ReadLinkCount(s1, icGroup), 0);

  // The summary: header first, the changed items sorted.
  ASSERT_EQ(shown.size(), 1u);
  const std::vector<std::string> summary = shown[0];
  ASSERT_GE(summary.size(), 2u);
  EXPECT_EQ(summary[0], "Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt");
  EXPECT_TRUE(std::is_sorted(summary.begin() + 1, summary.end()));
  EXPECT_NE(std::find(summary.begin(), summary.end(), "Key\tZ10\tS1\t3\t+3\t3"), summary.end());
  EXPECT_NE(std::find(summary.begin(), summary.end(), "Cyl\t001\tT\xFCr 1\t2\t+2\t2"),
            summary.end());

  // The same summary went into the journal folder as one new file.
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path() / "journal"))
    files.push_back(e.path().string());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(FileLines(files[0]), summary);

  // A second import finds everything: nothing new, no differences, the file unchanged.
  const std::string once = File();
  const size_t records = a->CountClass(icCylinder) + a->CountClass(icKey) + a->CountClass(icGroup) +
                         a->CountClass(icDoor) + a->CountClass(icKeySystem);
  ASSERT_EQ(Import(WritePlan(Plan())), TKwdResult::Imported);
  EXPECT_EQ(shown.size(), 1u);  // an empty summary is neither written nor shown
  EXPECT_EQ(static_cast<size_t>(a->CountClass(icCylinder) + a->CountClass(icKey) +
                                a->CountClass(icGroup) + a->CountClass(icDoor) +
                                a->CountClass(icKeySystem)),
            records);
  EXPECT_EQ(LastKwdSummary().size(), 1u);
  EXPECT_EQ(File().size(), once.size());
}

TEST_F(KwdImport, PipeSeparatorNoOLineAndAmbiguousPositions) {
  ASSERT_EQ(Import(WritePlan(Plan('|'))), TKwdResult::Imported);
  EXPECT_GT(Named(icCylinder, "T\xFCr 1"), 0);

  std::vector<std::string> noO = Plan();
  noO.erase(noO.begin());
  const std::string before = File();
  EXPECT_EQ(Import(WritePlan(noO)), TKwdResult::NotStarted);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Import(dir.File("missing.kwd")), TKwdResult::NotStarted);
  EXPECT_NE(ui.AllText().find("Ladefehler!"), std::string::npos);

  // Two "D" records on one position: every cylinder and key is new, and the check says why.
  std::vector<std::string> twice = Plan('|');
  twice.push_back(Rec('D', {{1, "Doppelt"}, {5, "001"}, {17, "Z10"}}, '|'));
  const size_t cylinders = Of(icCylinder).size(), keys = Of(icKey).size();
  ui.questions.clear();
  ASSERT_EQ(Import(WritePlan(twice)), TKwdResult::Imported);
  EXPECT_NE(ui.questions[0].find("uneindeutige Zylinder:\r001\r"), std::string::npos);
  EXPECT_EQ(Of(icCylinder).size(), cylinders + 4);
  EXPECT_EQ(Of(icKey).size(), keys + 3);
}

TEST_F(KwdImport, ThePlansSystemIsReusedTakesTheFirstFreeNameOrFailsWhenAllAreUsed) {
  // Reuse: the system record carrying the plan's ID.
  SetKeySystemName(7, "Alt");
  ASSERT_TRUE(a->SetHeaderValue(kKeySystemNamesHeader, KeySystemNamesText()));
  const int32_t sys = a->NewNamedRecord(icKeySystem, "Alt", "");
  a->SetField(sys, fkKeySystem, "7");
  a->SetField(sys, "k103", "P-4711");
  ASSERT_TRUE(a->Commit());
  bool exists = false;
  EXPECT_EQ(FindKwdSystem(*a.db, "P-4711", exists), 7);
  EXPECT_TRUE(exists);
  EXPECT_EQ(FindKwdSystem(*a.db, "P-1", exists), 4);
  EXPECT_FALSE(exists);
  ASSERT_EQ(Import(WritePlan(Plan())), TKwdResult::Imported);
  EXPECT_EQ(a->ReadKeySystem(Named(icCylinder, "T\xFCr 1")), 7);
  EXPECT_EQ(KeySystemTableName(4), "");

  // All 40 used: the check pass fails, nothing changes.
  for (TKeySystemCode code = 1; code <= 40; ++code)
    if (KeySystemTableName(code).empty()) SetKeySystemName(code, "S" + std::to_string(code));
  ASSERT_TRUE(a->SetHeaderValue(kKeySystemNamesHeader, KeySystemNamesText()));
  std::vector<std::string> other = Plan();
  other[1] = Rec('L', {{3, "P-9"}});
  const std::string before = File();
  EXPECT_EQ(Import(WritePlan(other)), TKwdResult::CheckFailed);
  EXPECT_NE(ui.AllText().find("Keine neue Schlie\xDF" "anlage erzeugbar."), std::string::npos);
  EXPECT_EQ(File(), before);
  // No plan ID.
  other[1] = "L";
  EXPECT_EQ(Import(WritePlan(other)), TKwdResult::CheckFailed);
  EXPECT_NE(ui.AllText().find("Anlage ohne ID"), std::string::npos);
}

TEST_F(KwdImport, CheckPassDeclineCancelAndAnotherStationLeaveTheStoreAsItWas) {
  const int32_t person = a->NewNamedRecord(icPerson, "P", "");
  ASSERT_TRUE(a->Commit());
  const std::string before = File();
  const std::string file = WritePlan(Plan());

  // The check pass alone, the user says no: nothing written, the names table as before.
  EXPECT_EQ(Import(file, {mrCancel}), TKwdResult::Declined);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(KeySystemTableName(4), "");
  EXPECT_NE(ui.questions[0].find("Zylinder neu: 3"), std::string::npos);
  EXPECT_NE(ui.questions[0].find("Schlie\xDF" "anlage: P-4711 (neu)"), std::string::npos);

  // Cancelled during the import pass.
  int calls = 0;
  bool checking = true;
  hooks.status = [&](const std::string& text) { checking = text.find("gepr") != std::string::npos; };
  hooks.progress = [&](int64_t, int64_t) { return checking || ++calls < 2; };
  EXPECT_EQ(Import(file), TKwdResult::Cancelled);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Of(icCylinder).size(), 0u);
  EXPECT_EQ(KeySystemTableName(4), "");
  hooks.progress = {};

  // Another station holds a record: refused, naming it, nothing changed.
  b->Load();
  ASSERT_TRUE(b->LockItem(person, false, 0));
  EXPECT_EQ(Import(file), TKwdResult::Refused);
  EXPECT_NE(ui.messages.back().text.find("B"), std::string::npos);
  EXPECT_EQ(File(), before);
}

TEST_F(KwdImport, ANewCylinderJoinsItsExistingDoorAndADeletedDoorComesBack) {
  // The plan's system exists with a deleted door on position 001 and a door named "Tür 4".
  SetKeySystemName(4, "P-4711");
  ASSERT_TRUE(a->SetHeaderValue(kKeySystemNamesHeader, KeySystemNamesText()));
  const int32_t sys = a->NewNamedRecord(icKeySystem, "P-4711", "");
  a->SetField(sys, fkKeySystem, "4");
  a->SetField(sys, "k103", "P-4711");
  const int32_t gone = a->NewNamedRecord(icDoor, "Eingang", "");
  a->SetField(gone, fkKeySystem, "4");
  a->SetField(gone, "k205", "001");
  a->SetField(gone, "v", "0");
  const int32_t byName = a->NewNamedRecord(icDoor, "T\xFCr 4", "");
  a->SetField(byName, fkKeySystem, "4");
  // A deleted cylinder of the plan's position that the file does not name again.
  const int32_t oldCyl = a->NewNamedRecord(icCylinder, "Alt", "");
  a->SetField(oldCyl, fkKeySystem, "4");
  a->SetField(oldCyl, "k217", "Z10");
  a->SetField(oldCyl, "v", "0");
  ASSERT_TRUE(a->Commit());
  ASSERT_FALSE(a->IsValid(gone));

  ASSERT_EQ(Import(WritePlan(Plan())), TKwdResult::Imported);
  const int32_t t1 = Named(icCylinder, "T\xFCr 1"), t4 = Named(icCylinder, "T\xFCr 4");
  EXPECT_TRUE(a->IsValid(gone));
  EXPECT_TRUE(a->ReadHasLink(gone, icCylinder, t1));
  EXPECT_TRUE(a->ReadHasLink(t1, icDoor, gone));
  EXPECT_TRUE(a->ReadHasLink(byName, icCylinder, t4));
  EXPECT_EQ(Of(icDoor).size(), 2u);  // no door made
  // Linking takes valid records only: the deleted cylinder stays alone.
  EXPECT_FALSE(a->IsValid(oldCyl));
  EXPECT_EQ(a->GetLinkText(oldCyl, icKey), "");
  EXPECT_EQ(a->GetLinkText(oldCyl, icGroup), "");
  EXPECT_TRUE(a->ReadHasLink(Named(icKey, "S1"), icCylinder, t1));
}

TEST_F(KwdImport, AFailingHandlerSavesNothing) {
  std::vector<std::string> lines = Plan();
  lines.push_back(Rec('A', {{3, "9"}}));  // a group without a name
  const std::string before = File();
  EXPECT_EQ(Import(WritePlan(lines)), TKwdResult::CheckFailed);
  EXPECT_NE(ui.AllText().find("Schlie\xDF" "gruppe ohne Namen"), std::string::npos);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(KeySystemTableName(4), "");
}

}  // namespace

namespace {

TEST_F(KwdImport, AChangedCountIsBookedAsItsDifference) {
  ASSERT_EQ(Import(WritePlan(Plan())), TKwdResult::Imported);
  const int32_t s1 = Named(icKey, "S1");
  a->SetField(s1, fkStock, "1");  // two of three handed out meanwhile
  ASSERT_TRUE(a->Commit());
  std::vector<std::string> lines = Plan();
  for (std::string& l : lines)
    if (l.rfind("KS1;", 0) == 0) l = Rec('K', {{1, "S1"}, {4, "zweit"}, {12, "5"}, {17, "Z10"}});
  shown.clear();
  ASSERT_EQ(Import(WritePlan(lines)), TKwdResult::Imported);
  EXPECT_EQ(a->ReadLineField(s1, fkTotal), "5");
  EXPECT_EQ(a->ReadLineField(s1, fkStock), "3");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], (std::vector<std::string>{"Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt",
                                                "Key\tZ10\tS1\t\t+2\t5"}));
}

}  // namespace

// A cylinder's options field of a million items (a broken or hostile plan) is read in one
// go: the import finishes and keeps the items it knows.
TEST_F(KwdImport, AnOptionsFieldOfCountlessItemsIsReadInOneGo) {
  std::string options = "L=30/35,OF=MS";
  options.reserve(options.size() + 2'000'000);
  for (int i = 0; i < 1'000'000; ++i) options += ",x";
  std::vector<std::string> lines = Plan();
  for (std::string& line : lines)
    if (line.rfind("D;T\xFCr 1;", 0) == 0)
      line = Rec('D', {{1, "T\xFCr 1"}, {5, "001"}, {6, options}, {12, "2"}, {17, "Z10"}});
  ASSERT_EQ(Import(WritePlan(lines)), TKwdResult::Imported);
  const int32_t t1 = Named(icCylinder, "T\xFCr 1");
  ASSERT_GT(t1, 0);
  EXPECT_EQ(a->ReadLineField(t1, fkLength), "30/35");
  EXPECT_EQ(a->ReadLineField(t1, "ofl"), "MS");
}

namespace {
// Answers Yes, after running `meanwhile` (what another station does while the question
// stands).
struct TAnswerAfter : TRecordingInteraction {
  std::function<void()> meanwhile;
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    if (meanwhile) meanwhile();
    TRecordingInteraction::Ask(kind, text, buttons);
    return mrYes;
  }
};
}  // namespace

// While the user reads the check's summary, station B names the locking system the check
// had found free. The import takes the next free one and leaves B's name as it is.
TEST_F(KwdImport, ASystemNamedElsewhereDuringTheQuestionIsNeitherTakenNorRenamed) {
  const std::string names = a->GetHeaderValue(kKeySystemNamesHeader);
  TAnswerAfter answer;
  answer.meanwhile = [&] {
    ASSERT_TRUE(b->Load() < ldNoAccess);
    ASSERT_TRUE(b->SetHeaderValue(kKeySystemNamesHeader, names + ",Fremd"));
  };
  TKwdResult result;
  {
    TUserInteractionScope scope(answer);
    result = ImportKwdFile(*a.db, WritePlan(Plan()), hooks, "");
  }
  ASSERT_EQ(result, TKwdResult::Imported);
  TStation reader("R");
  ResetVocabulary();
  ASSERT_TRUE(reader.Open(dir));
  ReadKeySystemNames(*reader.db);
  EXPECT_EQ(KeySystemTableName(4), "Fremd");
  EXPECT_EQ(KeySystemTableName(5), "P-4711");
  const int32_t t1 = Named(icCylinder, "T\xFCr 1");
  ASSERT_GT(t1, 0);
  EXPECT_EQ(a->ReadKeySystem(t1), 5);
}

// A plan ID the names table cannot take fails the check, and the reason is shown once the
// store is free again, not as a box while the run holds it.
TEST_F(KwdImport, AnUnacceptablePlanIdIsToldAfterTheRunNotWhileTheStoreIsHeld) {
  struct TWatch : TRecordingInteraction {
    TMiniDB* db = nullptr;
    int whileHeld = 0;
    void ShowMessage(TMsgKind kind, const std::string& text) override {
      if (db->ActiveBulk) ++whileHeld;
      TRecordingInteraction::ShowMessage(kind, text);
    }
  } watch;
  watch.db = a.db.get();
  std::vector<std::string> lines = Plan();
  lines[1] = Rec('L', {{3, "i=5"}});
  const std::string before = File();
  TKwdResult result;
  {
    TUserInteractionScope scope(watch);
    result = ImportKwdFile(*a.db, WritePlan(lines), hooks, "");
  }
  EXPECT_EQ(result, TKwdResult::CheckFailed);
  EXPECT_EQ(watch.whileHeld, 0);
  EXPECT_NE(watch.AllText().find("i=5"), std::string::npos) << watch.AllText();
  EXPECT_EQ(File(), before);
}
