// The locking-plan matrix: rows, sorts, key columns, the marks and the stored column choice.

#include "data/LockingPlanUnit.h"

#include <gtest/gtest.h>

#include "DomainFixture.h"
#include "data/LockingRelations.h"

namespace {

// System 3: doors "Tür 10" (cylinder Z10, pos "10") and "Tür 2" (cylinder Z2, pos "2",
// central "Z"), a door without cylinder "Tür 7" at building H, a cylinder without door
// "Z5" (pos "5", co-locking "M"); keys: master HS linked to Z10, group GS reaching Z2 and
// Z5 through group G, a single key ES on "Tür 7", a co-locking key KI ("k605" "I") on Z5,
// a general master key GHS without links, an unused master key HS2; system 4 holds a door
// and a key of its own.
class PlanModel : public ::testing::Test {
 protected:
  TTempDir dir;
  std::unique_ptr<TDomainStore> s;
  int32_t H, D10, D2, D7, Z10, Z2, Z5, G, HS, GS, ES, KI, GHS, HS2, D4, K4;

  void SetUp() override {
    ResetVocabulary();
    DropRelationCaches();
    s = std::make_unique<TDomainStore>(dir);
    TDomainStore& p = *s;
    ASSERT_TRUE(p.BeginBulk());
    H = p.Add(icBuilding, "Haus");
    D10 = p.Add(icDoor, "Tür 10", 3);
    D2 = p.Add(icDoor, "Tür 2", 3);
    D7 = p.Add(icDoor, "Tür 7", 3);
    Z10 = p.Add(icCylinder, "Z10", 3);
    Z2 = p.Add(icCylinder, "Z2", 3);
    Z5 = p.Add(icCylinder, "Z5", 3);
    (*p).SetField(Z10, "pos", "10");
    (*p).SetField(Z2, "pos", "2");
    (*p).SetField(Z5, "pos", "5");
    (*p).SetField(Z2, "k605", "Z");
    (*p).SetField(Z5, "k605", "M");
    (*p).SetField(Z2, "ctyp", "T1");
    p.Link(D10, Z10);
    p.Link(D2, Z2);
    p.Link(D7, H);
    G = p.Add(icGroup, "G", 3);
    p.Link(G, Z2);
    p.Link(G, Z5);
    HS = p.Add(icKey, "HS", 3, "4");
    GS = p.Add(icKey, "GS", 3, "2");
    ES = p.Add(icKey, "ES", 3, "1");
    KI = p.Add(icKey, "KI", 3, "3");
    GHS = p.Add(icKey, "GHS", 3, "5");
    HS2 = p.Add(icKey, "HS2", 3, "4");
    (*p).SetField(KI, "k605", "I");
    (*p).SetField(ES, fkTotal, "3");
    (*p).SetField(HS, "k603", "A1");
    p.Link(HS, Z10);
    p.Link(GS, G);
    p.Link(ES, D7);
    p.Link(KI, Z5);
    D4 = p.Add(icDoor, "Fremd", 4);
    K4 = p.Add(icKey, "Fremd", 4, "4");
    p.Link(K4, D4);
    ASSERT_TRUE(p.EndBulk());
  }
  TMiniDB& db() { return **s; }
  std::vector<int32_t> Cylinders(const TPlanGrid& g) {
    std::vector<int32_t> out;
    for (const auto& r : g.rows) out.push_back(r.cylinder ? r.cylinder : -r.door);
    return out;
  }
  std::vector<int32_t> Keys(const TPlanGrid& g) {
    std::vector<int32_t> out;
    for (const auto& k : g.keys) out.push_back(k.id);
    return out;
  }
  char Mark(const TPlanGrid& g, int32_t cylinderOrMinusDoor, int32_t key) {
    for (const auto& r : g.rows)
      if ((r.cylinder ? r.cylinder : -r.door) == cylinderOrMinusDoor) return r.MarkAt(g.KeyColumnOf(key));
    ADD_FAILURE() << "no row";
    return '?';
  }
};

TEST_F(PlanModel, RowsSortsAndBuildingFilter) {
  TPlanOptions o;
  o.system = 3;
  // By position, naturally: "2" before "5" before "10"; the door without position first.
  EXPECT_EQ(Cylinders(BuildPlanGrid(db(), o)), (std::vector<int32_t>{-D7, Z2, Z5, Z10}));
  o.byDoorName = true;  // the cylinder without door first, then "Tür 2", "Tür 7", "Tür 10"
  EXPECT_EQ(Cylinders(BuildPlanGrid(db(), o)), (std::vector<int32_t>{Z5, Z2, -D7, Z10}));
  o.building = H;  // only the doors at the building, no cylinder rows of their own
  EXPECT_EQ(Cylinders(BuildPlanGrid(db(), o)), (std::vector<int32_t>{-D7}));
  o = {};
  EXPECT_TRUE(BuildPlanGrid(db(), o).Empty());
  o.system = 7;
  EXPECT_TRUE(BuildPlanGrid(db(), o).Empty());
}

TEST_F(PlanModel, KeyColumnsByTypeAndUnusedColumns) {
  TPlanOptions o;
  o.system = 3;
  // The master types by name; the unused HS2 is dropped; ES and the other system's key never.
  EXPECT_EQ(Keys(BuildPlanGrid(db(), o)), (std::vector<int32_t>{GHS, GS, HS, KI}));
  o.singleKeys = true;
  EXPECT_EQ(Keys(BuildPlanGrid(db(), o)), (std::vector<int32_t>{GHS, GS, HS, KI, ES}));
  o.unusedKeys = true;
  TPlanGrid all = BuildPlanGrid(db(), o);
  EXPECT_EQ(Keys(all), (std::vector<int32_t>{GHS, GS, HS, HS2, KI, ES}));
  RemoveUnusedKeyColumns(all);
  EXPECT_EQ(Keys(all), (std::vector<int32_t>{GHS, GS, HS, KI, ES}));
  EXPECT_EQ(Mark(all, -D7, ES), 'X');  // the marks moved with their columns
  EXPECT_EQ(all.keys[2].ident, "A1");
}

TEST_F(PlanModel, MarkTable) {
  TPlanOptions o;
  o.system = 3;
  o.singleKeys = true;
  const TPlanGrid g = BuildPlanGrid(db(), o);
  struct Case { int32_t row, key; char mark; } cases[] = {
      {Z10, HS, 'X'}, {Z10, GS, 0},   {Z10, GHS, 'X'},  // a plain row
      {Z2, GS, 'Z'},  {Z2, GHS, 'X'}, {Z2, HS, 0},      // central: the row mark through a group
      {Z5, GS, 'X'},  {Z5, KI, 'M'},  {Z5, GHS, 'X'},   // M: only a key whose own letter is I
      {-D7, ES, 'X'}, {-D7, GHS, 'X'}, {-D7, KI, 0},    // door link, master without links
  };
  for (const Case& c : cases) EXPECT_EQ(Mark(g, c.row, c.key), c.mark) << c.row << "/" << c.key;
  // Every mark of a door row agrees with the relation queries (general masters aside).
  for (const TPlanRow& row : g.rows) {
    if (!row.fromDoor) continue;
    for (size_t k = 0; k < g.keys.size(); ++k) {
      if (g.keys[k].id == GHS) continue;
      TItemList doors;
      GetDoorsOfKey(db(), g.keys[k].id, doors);
      EXPECT_EQ(row.MarkAt(static_cast<int>(k)) != 0, doors.IndexOf(row.door) >= 0);
    }
  }
  EXPECT_EQ(g.rows[0].texts[pcSingleKey], "ES");
  EXPECT_EQ(g.rows[0].texts[pcKeyCount], "3");
  EXPECT_EQ(g.rows[1].texts[pcType], "T1");
}

TEST_F(PlanModel, ExportCellsCarryTheNamesOnlyThere) {
  TPlanOptions o;
  o.system = 3;
  TPlanGrid g = BuildPlanGrid(db(), o);
  TPlanView v = DecodePlanView("AC");
  std::array<std::string, kPlanColumnCount> captions{};
  captions[pcPosition] = "Pos";
  captions[pcCylinder] = "Zylinder";
  auto cells = PlanCells(g, v, captions, "Stk", "Anlage 3", "Haus");
  ASSERT_EQ(cells.size(), 3 + g.rows.size());
  EXPECT_EQ(cells[0][0], "Anlage 3");
  EXPECT_EQ(cells[1][0], "Haus");
  EXPECT_EQ(cells[2][0], " Pos");
  EXPECT_EQ(cells[2][1], " Zylinder");
  EXPECT_EQ(cells[0][2], "Stk");
  EXPECT_EQ(cells[1][3], "GHS");
  EXPECT_EQ(cells[4][1], "Z2");
  EXPECT_EQ(cells[4][4], "Z");  // GS on the central cylinder
  // The grid itself never holds them.
  for (const TPlanRow& row : g.rows)
    for (const std::string& t : row.texts) EXPECT_NE(t, "Anlage 3");
}

// A text wider than its cell is cut so that it fits, with a marker at its end: a list of
// single keys keeps its whole leading names and ends with ", ...", a room of words keeps
// whole words and ends with " ...", one word alone is cut inside. A list that fits, even to
// the pixel, stays whole; so does every text without a measure or of a column not shown.
TEST_F(PlanModel, TextsWiderThanTheirCellAreCutWithAMarker) {
  // Four pixels a character: a cell takes kPlanTextWidthMax / 4 = 73 of them.
  ASSERT_EQ(kPlanTextWidthMax, 292);
  const TPlanTextWidth width = [](const std::string& t) { return 4 * static_cast<int>(t.size()); };
  auto keyName = [](int n) { return "Einzel-Key-" + std::string(n < 10 ? "0" : "") + std::to_string(n); };
  const std::string longRoom =
      "Besprechungsraum der Gesch\xE4" "ftsleitung im dritten Obergeschoss im Nordfl\xFC" "gel";
  const std::string longWord = "Tor" + std::string(80, 'X');
  auto names = [&](int first, int count, const char* marker) {
    std::string list;
    for (int n = first; n < first + count; ++n) list += (list.empty() ? "" : ", ") + keyName(n);
    return list + marker;
  };
  // Case i has the single keys 10 * (i + 1) and on.
  struct Case {
    const char* what;
    int keys;           // single keys of 13 characters on the door
    bool longerLast;    // the last of them 14 characters long
    std::string room;
    std::string door;
    TPlanColumn column;
    std::string shown;
  } cases[] = {
      {"short list", 2, false, "", "T-kurz", pcSingleKey, names(10, 2, "")},
      {"exact fit", 5, false, "", "T-genau", pcSingleKey, names(20, 5, "")},  // 5 x 13 + 4 x 2
      {"a pixel over", 5, true, "", "T-drueber", pcSingleKey, names(30, 4, ", ...")},
      {"long list", 9, false, "", "T-lang", pcSingleKey, names(40, 4, ", ...")},
      {"room of words", 0, false, longRoom, "T-Raum", pcRoom,
       "3.017 Besprechungsraum der Gesch\xE4" "ftsleitung im dritten Obergeschoss ..."},
      {"one long word", 0, false, "", longWord, pcDoor, longWord.substr(0, 69) + " ..."},
  };
  TDomainStore& p = *s;
  ASSERT_TRUE(p.BeginBulk());
  std::vector<int32_t> doors;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const int32_t door = p.Add(icDoor, c.door, 3);
    doors.push_back(door);
    if (!c.room.empty()) {
      (*p).SetField(door, fkRoom, "3.017");
      (*p).SetField(door, fkRoomName, c.room);
    }
    for (int k = 0; k < c.keys; ++k) {
      std::string name = keyName(10 * (static_cast<int>(i) + 1) + k);
      if (c.longerLast && k == c.keys - 1) name += "b";
      p.Link(p.Add(icKey, name, 3, "1"), door);
    }
  }
  ASSERT_TRUE(p.EndBulk());

  TPlanOptions o;
  o.system = 3;
  const TPlanGrid whole = BuildPlanGrid(db(), o);
  o.textWidth = width;
  o.fitted.fill(true);
  const TPlanGrid fitted = BuildPlanGrid(db(), o);
  o.fitted.fill(false);
  o.fitted[pcPosition] = true;
  const TPlanGrid notShown = BuildPlanGrid(db(), o);
  auto rowOf = [](const TPlanGrid& g, int32_t door) -> const TPlanRow& {
    for (const TPlanRow& row : g.rows)
      if (row.door == door) return row;
    static const TPlanRow none;
    ADD_FAILURE() << "no row of " << door;
    return none;
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string full = rowOf(whole, doors[i]).texts[c.column];
    EXPECT_EQ(rowOf(fitted, doors[i]).texts[c.column], c.shown) << c.what;
    EXPECT_LE(width(c.shown), kPlanTextWidthMax) << c.what;
    // Whole without a measure, and in a column not shown.
    EXPECT_EQ(rowOf(notShown, doors[i]).texts[c.column], full) << c.what;
    if (c.shown.ends_with("...")) {
      EXPECT_GT(width(full), kPlanTextWidthMax) << c.what;
    } else {
      EXPECT_EQ(full, c.shown) << c.what;
    }
  }
  // The exact fit is exactly as wide as the cell.
  EXPECT_EQ(width(cases[1].shown), kPlanTextWidthMax);
}

TEST_F(PlanModel, StoredColumnChoice) {
  struct Case { std::string in, out; } cases[] = {
      {"", "C"}, {"J", "C"}, {"IJ", "IJ"}, {"lba", "ABL"}, {"KD", "DK"}, {"ABCDEFGHIJLK", "ABCDEFGHIJLK"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodePlanView(DecodePlanView(c.in)), c.out) << c.in;

  const int32_t user = s->Add(icUser, "anna");
  TPlanView v = DecodePlanView("AB");
  ASSERT_TRUE(SavePlanView(db(), user, v));
  EXPECT_EQ(db().ReadLineField(user, kPlanViewField), "AB");
  TDomainStore other(dir, "Data", "other@pc2");
  EXPECT_EQ(ReadPlanView(*other, user), v);
  // Unchanged: nothing is written, even while another station holds the user.
  ASSERT_TRUE(other->LockItem(user, false, 0));
  EXPECT_TRUE(SavePlanView(db(), user, v));
  v.byDoorName = true;
  EXPECT_FALSE(SavePlanView(db(), user, v));
  EXPECT_EQ(db().ReadLineField(user, kPlanViewField), "AB");
}

}  // namespace
