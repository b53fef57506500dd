// The relations list: which rows each key gives (doors and holders, doors only, holders
// only, neither), the rows of records no leading record takes at the end, the cylinder of a
// row being one the key locks, and the window with its grid, blocks and export.
#include "views/RelationsUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>

#include "ViewsTestSupport.h"
#include "data/FieldCatalogueUnit.h"
#include "app/GridExportUnit.h"
#include "data/HolderUnit.h"

namespace {

struct TRelationsTest : TViewsTest {
  int32_t kBoth = 0, kDoors = 0, kHolders = 0, kNone = 0;
  int32_t d1 = 0, d2 = 0, c1 = 0, c2 = 0;
  int32_t p1 = 0, p2 = 0, p3 = 0;
  void SetUp() override {
    TViewsTest::SetUp();
    ResetFieldCatalogue();
    ASSERT_TRUE(LoadFieldCatalogue(false, TESSARO_RESOURCE_DIR "/System/Fields.csv"));
    kBoth = Record(icKey, "K Beide");
    kDoors = Record(icKey, "K Tueren");
    kHolders = Record(icKey, "K Besitzer");
    kNone = Record(icKey, "K Ohne");
    d1 = Record(icDoor, "Tuer 1");
    d2 = Record(icDoor, "Tuer 2");
    c1 = Record(icCylinder, "Zyl 1");
    c2 = Record(icCylinder, "Zyl 2");
    p1 = Record(icPerson, "Anna");
    p2 = Record(icPerson, "Bert");
    p3 = Record(icPerson, "Cora");
    Link(d1, c1);
    Link(d2, c2);
    for (int32_t c : {c1, c2}) {
      Link(kBoth, c);
      Link(kDoors, c);
    }
    for (int32_t p : {p1, p2, p3}) Hold(kBoth, p);
    for (int32_t p : {p1, p2}) Hold(kHolders, p);
    ASSERT_TRUE(db().Commit());
  }
  void TearDown() override {
    ResetFieldCatalogue();
    TViewsTest::TearDown();
  }
  void Link(int32_t a, int32_t b) { db().AddLinkBoth(a, b, db().GetClass(b), db().GetClass(a)); }
  void Hold(int32_t key, int32_t person) {
    ASSERT_TRUE(BookHolderChange(db(), key, false, THolderRef{okPerson, person}, 1, 0, 0, "",
                                 "", "", "", "", 0));
  }
  std::vector<TRelationRecord> Of(const std::vector<TRelationRecord>& all, int32_t key) {
    std::vector<TRelationRecord> mine;
    for (const TRelationRecord& r : all)
      if (r.key == key) mine.push_back(r);
    return mine;
  }
  // The name column of each of the four classes.
  std::vector<TRelationColumn> NameColumns(int leader) {
    std::vector<TRelationColumn> columns;
    for (int cls : RelationClassOrder(leader)) {
      TQStringList fields;
      ListFieldsOfClass(cls, false, false, fields, false);
      columns.push_back({cls, static_cast<int>(fields.GetObject(0))});
    }
    return columns;
  }
};

TEST_F(TRelationsTest, EachKeyGivesItsDoorAndHolderRecords) {
  const std::vector<TRelationRecord> all = BuildRelationRecords(db());
  // Two doors by three holders, door-major, each door with its cylinder.
  EXPECT_EQ(Of(all, kBoth), (std::vector<TRelationRecord>{{kBoth, c1, d1, p1},
                                                         {kBoth, c1, d1, p2},
                                                         {kBoth, c1, d1, p3},
                                                         {kBoth, c2, d2, p1},
                                                         {kBoth, c2, d2, p2},
                                                         {kBoth, c2, d2, p3}}));
  EXPECT_EQ(Of(all, kDoors),
            (std::vector<TRelationRecord>{{kDoors, c1, d1, 0}, {kDoors, c2, d2, 0}}));
  EXPECT_EQ(Of(all, kHolders),
            (std::vector<TRelationRecord>{{kHolders, 0, 0, p1}, {kHolders, 0, 0, p2}}));
  EXPECT_EQ(Of(all, kNone), (std::vector<TRelationRecord>{{kNone, 0, 0, 0}}));
  EXPECT_EQ(all.size(), 11u);
}

TEST_F(TRelationsTest, TheCylinderOfARowIsOneTheKeyLocks) {
  // A door with two cylinders: the key that locks the second is listed with the second; a
  // key linked to the door itself keeps the door's first; a key locking both gets both.
  const int32_t door = Record(icDoor, "Doppeltuer");
  const int32_t outer = Record(icCylinder, "Aussen");
  const int32_t inner = Record(icCylinder, "Innen");
  Link(door, outer);
  Link(door, inner);
  const int32_t kInner = Record(icKey, "Innen-Schluessel");
  const int32_t kDirect = Record(icKey, "Tuer-Schluessel");
  const int32_t kBothCyls = Record(icKey, "Beide-Schluessel");
  Link(kInner, inner);
  Link(kDirect, door);
  Link(kBothCyls, outer);
  Link(kBothCyls, inner);
  ASSERT_TRUE(db().Commit());
  const std::vector<TRelationRecord> all = BuildRelationRecords(db());
  EXPECT_EQ(Of(all, kInner), (std::vector<TRelationRecord>{{kInner, inner, door, 0}}));
  EXPECT_EQ(Of(all, kDirect), (std::vector<TRelationRecord>{{kDirect, outer, door, 0}}));
  EXPECT_EQ(Of(all, kBothCyls), (std::vector<TRelationRecord>{{kBothCyls, outer, door, 0},
                                                             {kBothCyls, inner, door, 0}}));
}

TEST_F(TRelationsTest, RowsPerLeaderWithoutRepeatsAndTheUnmatchedLast) {
  std::vector<TRelationRecord> records = BuildRelationRecords(db());
  // Under doors: each door's rows, then the keys without a door (holders only, neither).
  TRelationTable table = BuildRelationTable(db(), records, icDoor, NameColumns(icDoor));
  ASSERT_EQ(table.rows.size(), 2u * 4u + 3u);
  EXPECT_EQ(table.leaders.front(), d1);
  EXPECT_EQ(table.rows.front(),
            (std::vector<std::string>{"Tuer 1", "Zyl 1", "K Beide", "Anna"}));
  EXPECT_EQ(std::vector<int32_t>(table.leaders.end() - 3, table.leaders.end()),
            (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(table.rows.back(), (std::vector<std::string>{"", "", "K Ohne", ""}));
  for (size_t i = 0; i + 3 < table.rows.size(); ++i) EXPECT_NE(table.leaders[i], 0) << i;

  // Under keys with only the key's and the door's name: the three holders' rows of one door
  // are one row.
  std::vector<TRelationColumn> columns = NameColumns(icKey);
  columns = {columns[0], columns[3]};
  table = BuildRelationTable(db(), records, icKey, columns);
  std::vector<std::vector<std::string>> beide;
  for (size_t i = 0; i < table.rows.size(); ++i)
    if (table.leaders[i] == kBoth) beide.push_back(table.rows[i]);
  EXPECT_EQ(beide, (std::vector<std::vector<std::string>>{{"K Beide", "Tuer 1"},
                                                          {"K Beide", "Tuer 2"}}));
  // Every key leads its own rows: nothing is left over.
  EXPECT_EQ(std::count(table.leaders.begin(), table.leaders.end(), 0), 0);
  // No relation records, or no leading class: an empty table.
  std::vector<TRelationRecord> none;
  EXPECT_TRUE(BuildRelationTable(db(), none, icKey, columns).rows.empty());
  EXPECT_TRUE(BuildRelationTable(db(), records, 0, columns).rows.empty());
}

TEST_F(TRelationsTest, TheWindowListsBlocksAndKeepsTheGoToButtonsOff) {
  TRelationsForm form;
  form.FillOptions();
  form.StartBtnClick();
  ASSERT_EQ(form.LeaderCombo->count(), 4);
  EXPECT_EQ(form.LeaderClass(), icKey);
  // Under keys with one ticked field per list: six rows for the key with doors and holders.
  EXPECT_EQ(form.Model->columnCount(), 4);
  int beide = 0;
  for (int32_t leader : form.Model->Table().leaders) beide += leader == kBoth;
  EXPECT_EQ(beide, 6);
  // The first row's block is selected: the rows of the first key by name.
  EXPECT_EQ(form.Model->Table().leaders.front(), kBoth);
  EXPECT_EQ(form.Grid->selectionModel()->selectedRows().size(), 6);
  // A click in the first column selects the block of the row's key, one in another column
  // the row; the right button the row under the mouse.
  form.resize(900, 700);
  form.show();
  QWidget* cells = form.Grid->viewport();
  auto click = [&](int row, int column, Qt::MouseButton button) {
    const QRect at = form.Grid->visualRect(form.Model->index(row, column));
    QTest::mouseClick(cells, button, {}, at.center());
    return form.Grid->selectionModel()->selectedRows().size();
  };
  EXPECT_EQ(click(7, 0, Qt::LeftButton), 2);  // "K Besitzer": two holders
  EXPECT_EQ(click(0, 1, Qt::LeftButton), 1);
  EXPECT_EQ(click(2, 0, Qt::RightButton), 1);
  EXPECT_EQ(form.Grid->selectionModel()->selectedRows().front().row(), 2);
  // The export takes the header and every row.
  std::vector<std::string> lines;
  ASSERT_TRUE(ExportModelLines(form.Model, [&](const std::string& line, bool) {
    lines.push_back(line);
    return true;
  }));
  ASSERT_EQ(lines.size(), static_cast<size_t>(form.Model->rowCount()) + 1);
  EXPECT_EQ(lines[1], "K Beide\tAnna\tZyl 1\tTuer 1");
  // Hiding the holders' list drops its column; the leading list always stays.
  form.PersCheck->setChecked(false);
  form.KeysCheckBox->item(0)->setCheckState(Qt::Unchecked);
  form.FillGrid();
  EXPECT_EQ(form.Model->columnCount(), 3);
  EXPECT_EQ(form.KeysCheckBox->item(0)->checkState(), Qt::Checked);
  for (QPushButton* b : {form.GotoDoorBtn, form.GotoCylBtn, form.GotoKeyBtn})
    EXPECT_FALSE(b->isEnabled());
}

}  // namespace
