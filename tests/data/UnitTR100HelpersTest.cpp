// Helpers that views, lists and prints share: person placeholders, view options and sort
// keys, cabinet values, text normalisers, the lending overview and the pinning tree.

#include <gtest/gtest.h>

#include <algorithm>

#include "MiniDBTestSupport.h"
#include "basic/DateClock.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "data/HolderUnit.h"
#include "data/LockingRelations.h"
#include "data/RemarkTextUnit.h"
#include "data/UnitTR100.h"
#include "data/ViewOptionsUnit.h"

namespace {

struct CoreHelpers : ::testing::Test {
  TTempDir dir;
  TStation station{"A"};
  std::string savedFormat = DateFormatText();

  void SetUp() override {
    ASSERT_TRUE(station.Open(dir));
    ResetViewOptions();
    SetDateFormat("dd.MM.yyyy");
  }
  void TearDown() override {
    ResetViewOptions();
    SetDateFormat(savedFormat);
  }
  TMiniDB& db() { return *station.db; }
  int32_t Person(const std::string& name, const std::string& dept, const std::string& nr) {
    const int32_t id = db().NewNamedRecord(icPerson, name, "");
    db().SetField(id, fkDepartment, dept);
    db().SetField(id, fkPersonNumber, nr);
    return id;
  }
};

// ---------------------------------------------------------------------------------------

TEST_F(CoreHelpers, PersonPlaceholdersInOnePass) {
  const int32_t anna = Person("Anna", "IT", "42");
  const int32_t tricky = Person("Dept #PERSON:name# Number", "NAME", "");
  struct Case {
    int32_t person;
    std::string text, expected;
  } cases[] = {
      {anna, "#PERSON:name (dept)#", "Anna (IT)"},
      {anna, "Ich, #person:NAME#, Nr. #Person:Number#.", "Ich, Anna, Nr. 42."},
      {anna, "kein Feld", "kein Feld"},
      {anna, "#PERSON:#", ""},
      {anna, "a #PERSON:name# b #PERSON:name", "a Anna b #PERSON:name"},  // unterminated
      // Values that look like keywords or fields stay as the person's data has them.
      {tricky, "#PERSON:name/dept#", "Dept #PERSON:name# Number/NAME"},
      {0, "[#PERSON:name#]", "[]"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    FillFieldPlaceholders(db(), c.person, text);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

// ---------------------------------------------------------------------------------------

TEST_F(CoreHelpers, ViewSortEntries) {
  ApplyViewSortText("C=01");
  EXPECT_EQ(ViewOptions().variant[12], 1);
  EXPECT_FALSE(ViewOptions().naturalNames[12]);

  ApplyViewSortText("4=1\t3=11\t6=02\t0=11\t100=11\tzz=1\t5\t=1\tFF=1x");
  EXPECT_EQ(ViewOptions().variant[12], 0);  // cleared first
  EXPECT_TRUE(ViewOptions().naturalNames[4]);
  EXPECT_EQ(ViewOptions().variant[4], 0);
  EXPECT_TRUE(ViewOptions().naturalNames[3]);
  EXPECT_EQ(ViewOptions().variant[3], 1);
  EXPECT_FALSE(ViewOptions().naturalNames[6]);
  EXPECT_EQ(ViewOptions().variant[6], 2);
  EXPECT_TRUE(ViewOptions().naturalNames[255]);
  EXPECT_EQ(ViewOptions().variant[255], 0);
  EXPECT_FALSE(ViewOptions().naturalNames[0]);
  EXPECT_EQ(std::count(ViewOptions().naturalNames.begin(), ViewOptions().naturalNames.end(),
                       true),
            3);

  EXPECT_EQ(NameCaseOf(4, "K2"), "K0000002");
  EXPECT_EQ(NameCaseOf(5, "K2"), "K2");
  EXPECT_EQ(SelectItemFormatter(icDoor), TItemFormatter::Closing);
  EXPECT_EQ(SelectItemFormatter(icCylinder), TItemFormatter::Standard);  // variant 2
  EXPECT_EQ(SelectItemFormatter(icKey), TItemFormatter::Standard);
}

// The IDs in the order of their sort keys.
std::vector<int32_t> SortedBy(TMiniDB& db, std::vector<int32_t> ids) {
  std::stable_sort(ids.begin(), ids.end(), [&](int32_t a, int32_t b) {
    return CompareSortKeys(ItemSortKey(db, a), ItemSortKey(db, b)) < 0;
  });
  return ids;
}

TEST_F(CoreHelpers, KeySortKeys) {
  auto key = [&](const std::string& name, const std::string& type) {
    const int32_t id = db().NewNamedRecord(icKey, name, "");
    db().SetField(id, fkKeyType, type);
    return id;
  };
  const int32_t mother = key("X", "2");            // ID 1
  const int32_t single = key("A single", "1");
  const int32_t untyped = key("B untyped", "");
  const int32_t coLock = key("C co", "8");
  const int32_t coLockM = key("D co", "9");
  const int32_t master = key("Y master", "4");
  const int32_t lower = key("w lower", "3");
  std::vector<int32_t> sameName;
  for (int i = 0; i < 5; ++i) sameName.push_back(key("X", "2"));  // IDs 8..12
  const int32_t copy = db().DuplicateLinked(mother);
  ASSERT_GT(copy, 0);
  db().SetField(copy, fkName, "Kopie");
  ASSERT_EQ(db().GetClass10Link(copy), mother);

  SelectItemFormatter(icKey);
  std::vector<int32_t> all = {single, untyped, coLock, coLockM, master, copy, lower, mother};
  all.insert(all.end(), sameName.begin(), sameName.end());
  std::vector<int32_t> expected = {lower, mother, copy};  // names ignore case; the copy follows
  expected.insert(expected.end(), sameName.begin(), sameName.end());
  expected.insert(expected.end(), {master, single, untyped, coLock, coLockM});
  EXPECT_EQ(SortedBy(db(), all), expected);

  // Variant 2 puts the closing number first; the natural names option orders K2 before K10.
  ApplyViewSortText("4=12");
  const int32_t k10 = key("K10", "2"), k2 = key("K2", "2");
  db().SetField(k10, "k603", "1");
  db().SetField(k2, "k603", "1");
  db().SetField(master, "k603", "0");
  SelectItemFormatter(icKey);
  EXPECT_EQ(SortedBy(db(), {k10, k2, master}), (std::vector<int32_t>{master, k2, k10}));
}

TEST_F(CoreHelpers, ClosingSortKeys) {
  ApplyViewSortText("3=01\t6=01");
  auto item = [&](int cls, const std::string& name, const std::string& closing) {
    const int32_t id = db().NewNamedRecord(cls, name, "");
    if (!closing.empty()) db().SetField(id, "k603", closing);
    return id;
  };
  const int32_t c10 = item(icCylinder, "Z1", "10"), c9 = item(icCylinder, "Z2", "9");
  const int32_t d1 = item(icDoor, "T-b", "2"), d2 = item(icDoor, "T-a", "1");
  const int32_t d3 = item(icDoor, "T-c", ""), d4 = item(icDoor, "A ohne", "");
  db().AddLinkBoth(d1, c10, icCylinder, icDoor);
  db().AddLinkBoth(d2, c10, icCylinder, icDoor);
  db().AddLinkBoth(d3, c9, icCylinder, icDoor);
  ASSERT_EQ(SelectItemFormatter(icDoor), TItemFormatter::Closing);
  // By cylinder number 9 < 10 (natural), then door number; doors without numbers last.
  EXPECT_EQ(SortedBy(db(), {d4, d1, d2, d3}), (std::vector<int32_t>{d3, d2, d1, d4}));
  ASSERT_EQ(SelectItemFormatter(icCylinder), TItemFormatter::Closing);
  EXPECT_EQ(SortedBy(db(), {c10, c9}), (std::vector<int32_t>{c9, c10}));
}

// ---------------------------------------------------------------------------------------

TEST_F(CoreHelpers, CabinetValuesAndIdentifiers) {
  const int32_t key = db().NewNamedRecord(icKey, "K", "");
  const int32_t a = db().NewNamedRecord(icCabinet, "A", "");
  const int32_t b = db().NewNamedRecord(icCabinet, "B", "");
  db().SetField(key, "cabpos", "H7");
  db().AddLinkBoth(key, a, icCabinet, icKey);
  EXPECT_EQ(GetHookText(db(), key, a), "H7");  // the only cabinet: the key's own hook
  EXPECT_EQ(GetHookText(db(), key, b), "");
  db().AddLinkBoth(key, b, icCabinet, icKey);
  EXPECT_EQ(GetHookText(db(), key, a), "");     // two cabinets: no own hook
  db().SetLinkValue(key, a, "po", "12");
  EXPECT_EQ(GetHookText(db(), key, a), "12");

  int32_t tl = -1, ct = -1;
  db().SetLinkValue(key, a, fkCabinetOwned, "3");
  db().SetLinkValue(key, a, fkCabinetStock, "2");
  db().SetLinkValue(key, b, fkCabinetOwned, "4");
  EXPECT_EQ(SumCabinetTotals(db(), key, "7", "9", tl, ct), 0);  // b has no "ct"
  EXPECT_EQ(tl, 7);
  EXPECT_EQ(ct, 2);
  EXPECT_EQ(SumCabinetTotals(db(), key, "8", "9", tl, ct), kCabinetTotalsDiffer);
  db().SetLinkValue(key, b, fkCabinetStock, "1");
  EXPECT_EQ(SumCabinetTotals(db(), key, "8", "9", tl, ct),
            kCabinetTotalsDiffer | kCabinetStockDiffers);
  EXPECT_EQ(SumCabinetTotals(db(), key, "7", "3", tl, ct), 0);
  const int32_t loose = db().NewNamedRecord(icKey, "L", "");
  EXPECT_EQ(SumCabinetTotals(db(), loose, "5", "5", tl, ct), 0);  // no links, nothing to compare
  EXPECT_EQ(tl, 0);

  db().SetField(key, fkIssuedIdents, "E-1\x0B" "frei\tE-2\t\tE-3\x0B\t");
  TQStringList idents;
  idents.Add("old");
  EmbossNumbersOf(db(), key, idents);
  EXPECT_EQ(idents.GetLines(), (std::vector<std::string>{"E-1", "E-2", "E-3"}));
}

// ---------------------------------------------------------------------------------------

TEST_F(CoreHelpers, RedundantLinks) {
  auto item = [&](int cls, const std::string& name) { return db().NewNamedRecord(cls, name, ""); };
  const int32_t key = item(icKey, "K");
  const int32_t cylA = item(icCylinder, "ZA"), cylB = item(icCylinder, "ZB");
  const int32_t cylC = item(icCylinder, "ZC");
  const int32_t doorA = item(icDoor, "TA"), doorB = item(icDoor, "TB");
  const int32_t doorC = item(icDoor, "TC"), doorD = item(icDoor, "TD");
  const int32_t group = item(icGroup, "G"), sub = item(icGroup, "G2");
  db().AddLinkBoth(cylA, doorA, icDoor, icCylinder);
  db().AddLinkBoth(cylB, doorB, icDoor, icCylinder);
  db().AddLinkBoth(cylC, doorC, icDoor, icCylinder);
  db().AddLink(group, sub, icGroup);  // a group link lives on the parent
  db().AddLinkBoth(sub, cylB, icCylinder, icGroup);
  db().AddLinkBoth(group, cylC, icCylinder, icGroup);
  db().AddLinkBoth(key, group, icGroup, icKey);
  db().AddLinkBoth(key, cylA, icCylinder, icKey);
  db().AddLinkBoth(key, cylB, icCylinder, icKey);  // reached through the sub-group as well
  for (int32_t door : {doorA, doorB, doorC, doorD}) db().AddLinkBoth(key, door, icDoor, icKey);

  // Doors A (own cylinder), B and C (group cylinders) are reached anyway; D only directly.
  EXPECT_EQ(RemoveRedundantDoorLinks(db(), key), 3);
  TItemList doors;
  db().GetLinks(key, icDoor, doors);
  ASSERT_EQ(doors.Count(), 1);
  EXPECT_EQ(doors.Get(0), doorD);
  EXPECT_FALSE(db().HasLink(doorA, icKey, key));
  EXPECT_TRUE(db().HasLink(doorD, icKey, key));
  EXPECT_EQ(RemoveRedundantDoorLinks(db(), key), 0);

  // Cylinder B is reached through the groups, A is not.
  EXPECT_EQ(RemoveRedundantCylinderLinks(db(), key), 1);
  EXPECT_TRUE(db().HasLink(key, icCylinder, cylA));
  EXPECT_FALSE(db().HasLink(key, icCylinder, cylB));
  EXPECT_FALSE(db().HasLink(cylB, icKey, key));
  EXPECT_EQ(RemoveRedundantCylinderLinks(db(), key), 0);
}

// ---------------------------------------------------------------------------------------

TEST(CoreTextHelpers, Normalisers) {
  EXPECT_EQ(NormalizeSearchText("12-34 mm"), "12.34mm");
  EXPECT_EQ(NormalizeSearchText("\xC4rger_(1)\t"), "\xC4rger..1.");

  struct Case {
    std::string text, oldText, newText, expected;
  } cases[] = {
      {"a-b-c", "-", "+", "a+b+c"},
      {"aaa", "a", "aa", "aaa"},   // the new text holds the old one: unchanged
      {"abc", "", "x", "abc"},     // an empty old text: unchanged
      {"abab", "ab", "", ""},
      {"abc", "x", "y", "abc"},
      {"aaaa", "aa", "b", "bb"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    ReplaceAllText(text, c.oldText, c.newText);
    EXPECT_EQ(text, c.expected) << c.text << " " << c.oldText << " " << c.newText;
  }
}

TEST(CoreTextHelpers, DateTimeTexts) {
  const std::string saved = DateFormatText();
  SetDateFormat("dd.MM.yyyy");
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"2024-03-05 9:07", "05.03.2024 09:07"},
      {"5.3.2024 23:59:58", "05.03.2024 23:59"},
      {"5.3.2024", "05.03.2024 00:00"},
      {"5.3.2024 24:00", "5.3.2024 24:00"},    // no valid time
      {"5.3.2024 9:07:75", "5.3.2024 9:07:75"},
      {"31.2.2024 10:00", "31.2.2024 10:00"},  // no valid date
      {"5.3.2024abc", "5.3.2024abc"},
      {"heute 10:00", "heute 10:00"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeDateTimeText(c.text), c.expected) << c.text;
  SetDateFormat(saved);
}

TEST(CoreTextHelpers, RemarkLines) {
  struct Case {
    std::string remark, line, expected;
    bool added;
  } cases[] = {
      {"", "Plan 1", "\"Plan 1\"", true},
      {"\"Plan 1\"", "Plan 1", "\"Plan 1\"", false},
      {"a,\"Plan 1\",b", "Plan 1", "a,\"Plan 1\",b", false},
      {"\"Plan 10\"", "Plan 1", "\"Plan 10\",\"Plan 1\"", true},
      {"a", "b,c", "a,\"b,c\"", true},
      {"x", "", "x", false},
  };
  for (const Case& c : cases) {
    std::string remark = c.remark;
    EXPECT_EQ(AddRemarkLineTo(remark, c.line), c.added) << c.remark;
    EXPECT_EQ(remark, c.expected) << c.remark;
  }
}

TEST(CoreTextHelpers, SmallCodes) {
  const int codes[][2] = {{4, 2}, {5, 5}, {6, 4}, {7, 2}, {0, 0}, {3, 0}, {8, 0}, {-1, 0}};
  for (const auto& c : codes) EXPECT_EQ(ActionStateCode(c[0]), c[1]) << c[0];

  const int versions[][4] = {{0, 3, 1, 1},  {1, 4, 0, 2},  {1, 4, 10, 3}, {1, 4, 90, 4},
                             {2, 3, 51, 5}, {2, 4, 0, 6},  {2, 5, 0, 7},  {2, 5, 1, 8},
                             {2, 5, 2, 9},  {2, 6, 1, 10}, {2, 10, 0, 10}};
  for (const auto& v : versions)
    EXPECT_EQ(WindowsVersionCodeOf(v[0], v[1], v[2]), v[3]) << v[0] << " " << v[1] << "." << v[2];
  EXPECT_EQ(GetWindowsVersionCode(), 10);
}


// ---------------------------------------------------------------------------------------

TEST_F(CoreHelpers, PersonKeyList) {
  const int32_t anna = Person("Anna", "IT", "42");
  const int32_t bert = Person("Bert", "", "");
  const int32_t k1 = db().NewNamedRecord(icKey, "K1", "");
  const int32_t k2 = db().NewNamedRecord(icKey, "K2", "");
  const int32_t bunch = db().NewNamedRecord(icKeyBunch, "Bund", "");
  const int32_t cab = db().NewNamedRecord(icCabinet, "Schrank A", "");
  db().AddLinkBoth(k2, cab, icCabinet, icKey);
  db().SetLinkValue(k2, cab, "po", "H3");
  db().SetField(k2, "k603", "77");
  ResetVocabulary();
  ASSERT_TRUE(SetKeySystemName(2, "Nord"));
  db().SetField(k1, fkKeySystem, "2");
  auto book = [&](int32_t key, THolderRef who, int32_t delta, const std::string& ident) {
    ASSERT_TRUE(BookHolderChange(db(), key, false, who, delta, PackDate(2024, 3, 5),
                                 PackDate(2024, 12, 31), "", "", ident, "", "", 0));
  };
  book(k1, {okPerson, anna}, 2, "A-1");
  book(k2, {okPerson, anna}, 1, "B;2");
  book(k2, {okLost, anna}, 1, "LOST");  // a piece Anna lost is not hers to sign for
  book(k2, {okPerson, bert}, 1, "BERT");
  book(bunch, {okPerson, anna}, 1, "");
  // A link left over from a key she lost completely lists nothing either.
  const int32_t k3 = db().NewNamedRecord(icKey, "K3", "");
  book(k3, {okLost, anna}, 1, "");
  db().AddLinkBoth(k3, anna, icPerson, icKey);

  TQStringList rows = BuildPersonKeyList(db(), anna, {}, false);
  EXPECT_EQ(rows.GetLines(),
            (std::vector<std::string>{
                "Schl\xFCssel\tKennung\tSchlie\xDF" "anlage\tAnzahl\tAusgabe\tR\xFC" "ckgabefrist",
                "K1\tA-1\tNord\t2\t05.03.2024\t31.12.2024",
                "K2\tB,2\t\t1\t05.03.2024\t31.12.2024",
                "Bund\t\t\t1\t05.03.2024\t31.12.2024"}));

  rows = BuildPersonKeyList(db(), anna, {1, 7, 8, 9, 12, 0}, true);
  EXPECT_EQ(rows.GetLines(),
            (std::vector<std::string>{"Schl\xFCssel\tSchrank\tHaken\tSchlie\xDFung",
                                      "K1\t\t\t", "K2\tSchrank A\tH3\t77", "Bund\t\t\t",
                                      "", "____________\t_______\t_______\t_______",
                                      "", "____________\t_______\t_______\t_______",
                                      "", "____________\t_______\t_______\t_______"}));
  ResetVocabulary();
}

// ---------------------------------------------------------------------------------------

TEST(PinningTreeTest, TwoByTwoAndTheLimit) {
  TQStringList out;
  ASSERT_TRUE(PinningTree("12;34;", false, out));
  EXPECT_EQ(out.GetLines(), (std::vector<std::string>{"12", "16", "42", "46"}));

  out.Clear();
  ASSERT_TRUE(PinningTree("lead\t46\t12;34;", true, out));
  EXPECT_EQ(out.GetLines(), (std::vector<std::string>{"12", "16", "42", "46"}));

  // A row without a digit at a chamber ends the pass there; sums keep their last digit.
  out.Clear();
  ASSERT_TRUE(PinningTree("95;7X;", false, out));
  EXPECT_EQ(out.GetLines(), (std::vector<std::string>{"95", "65"}));

  // 9 rows by 7 chambers would be 9^7 lines: refused before anything is built.
  std::string big;
  for (int i = 0; i < 9; ++i) big += "1234567;";
  EXPECT_EQ(PinningTreeCount(big, false), 4782969);
  out.Clear();
  out.Add("kept");
  EXPECT_FALSE(PinningTree(big, false, out));
  EXPECT_EQ(out.GetLines(), (std::vector<std::string>{"kept"}));
}

}  // namespace

// A remark typed with a comma, quotes and two lines is stored as one comma text and reads
// back as typed; a value an older writer kept as plain text reads as that text.
TEST(RemarkText, OneEncodingOneDecoding) {
  struct Case {
    std::string typed, stored;
    std::vector<std::string> lines;
    std::string line;
  } cases[] = {
      {"Ersatz im Tresor", "\"Ersatz im Tresor\"", {"Ersatz im Tresor"}, "Ersatz im Tresor"},
      {"Zeile eins, mit Komma\r\nZeile \"zwei\"",
       "\"Zeile eins, mit Komma\",\"Zeile \"\"zwei\"\"\"",
       {"Zeile eins, mit Komma", "Zeile \"zwei\""},
       "Zeile eins, mit Komma Zeile \"zwei\""},
      {"a\nb\rc", "a,b,c", {"a", "b", "c"}, "a b c"},
      {"oben\n\n  unten ", "oben,,\"  unten \"", {"oben", "", "  unten "}, "oben unten"},
      {"", "", {}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RemarkToStored(c.typed), c.stored) << c.typed;
    EXPECT_EQ(RemarkLinesToStored(c.lines), c.stored) << c.typed;
    EXPECT_EQ(RemarkLines(c.stored), c.lines) << c.stored;
    EXPECT_EQ(RemarkToLine(c.stored), c.line) << c.stored;
  }
  EXPECT_EQ(RemarkToText(RemarkToStored("eins\r\nzwei")), "eins\nzwei");
  // Stores written before: plain text stays one line, its blanks kept.
  EXPECT_EQ(RemarkLines("eine Bemerkung"), (std::vector<std::string>{"eine Bemerkung"}));
  EXPECT_EQ(RemarkToLine("eine  Bemerkung"), "eine  Bemerkung");
  EXPECT_EQ(RemarkLines("Ersatz"), (std::vector<std::string>{"Ersatz"}));
  EXPECT_EQ(RemarkLines("Ersatz, Tresor"), (std::vector<std::string>{"Ersatz, Tresor"}));
  // A comma text written by hand, its items apart by blanks too, stays a comma text.
  EXPECT_EQ(RemarkToLine("erste Zeile,\"  zweite Zeile  \""), "erste Zeile zweite Zeile");
}
