#include <QHeaderView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "basic/widgets/BasicsGridUnit.h"

namespace {

std::vector<int> Apply(const std::vector<int>& order, const std::vector<int>& ids) {
  std::vector<int> out;
  for (int i : order) out.push_back(ids[static_cast<size_t>(i)]);
  return out;
}

std::vector<std::string> Apply(const std::vector<int>& order, const std::vector<std::string>& cells) {
  std::vector<std::string> out;
  for (int i : order) out.push_back(cells[static_cast<size_t>(i)]);
  return out;
}

TEST(GridSort, NaturalOrderWithEmptyCellsLastAndStableTies) {
  // "\xDC" (Ü) upper-cases above the old empty-cell key; "Zentrale" is the usual last name.
  const std::vector<std::string> cells = {"K10", "", "K2", "Zentrale", "k2", "\xDC" "bergabe", "", "K3"};
  const std::vector<int> ids = {10, 90, 20, 50, 21, 60, 91, 30};
  EXPECT_EQ(Apply(GridSortOrder(cells, false), ids),
            (std::vector<int>{20, 21, 30, 10, 50, 60, 90, 91}));
  // Descending: ties keep their order, empty cells stay at the end.
  EXPECT_EQ(Apply(GridSortOrder(cells, true), ids),
            (std::vector<int>{60, 50, 10, 30, 20, 21, 90, 91}));
}

TEST(GridSort, RepeatedClicksToggleEvenOnEqualValues) {
  struct Case {
    std::vector<std::string> cells;
  } cases[] = {{{"K10", "K2", "K3", ""}}, {{"A", "A", "A"}}, {{"B", "A", "B", "A"}}};
  for (const Case& c : cases) {
    TGridSortState state;
    std::vector<std::string> rows = c.cells;
    bool expected[] = {false, true, false, true};
    for (bool want : expected) {
      const bool descending = NextSortDescending(state, 1, rows);
      EXPECT_EQ(descending, want) << rows.size();
      rows = Apply(GridSortOrder(rows, descending), rows);
    }
  }
  // Another column, or rows refilled in another order, start ascending again.
  TGridSortState state;
  EXPECT_FALSE(NextSortDescending(state, 1, {"A", "B"}));
  EXPECT_FALSE(NextSortDescending(state, 2, {"A", "B"}));
  EXPECT_FALSE(NextSortDescending(state, 2, {"B", "A"}));
}

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    SetGridColCount(&grid, 3);
    SetGridRowCount(&grid, 5);
    const char* rows[][3] = {{"Name", "Raum", "Nr"}, {"Tor", "K10", "1"}, {"Keller", "K2", "2"},
                             {"Halle", "", "3"}, {"Dach", "K3", "4"}};
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 3; ++c) SetGridCell(&grid, c, r, rows[r][c]);
    for (int r = 1; r < 5; ++r) SetGridRowId(&grid, r, 100 + r);
  }
  std::vector<std::string> Column(int c) {
    std::vector<std::string> out;
    for (int r = 1; r < GridRowCount(&grid); ++r) out.push_back(GridCell(&grid, c, r));
    return out;
  }
  std::vector<int> Ids() {
    std::vector<int> out;
    for (int r = 1; r < GridRowCount(&grid); ++r) out.push_back(GridRowId(&grid, r));
    return out;
  }
  QTableWidget grid;
};

TEST_F(GridTest, SortMovesCellsAndIdsAndKeepsTheSelectedRecord) {
  ASSERT_TRUE(GridSelectRow(&grid, 2));  // Keller, ID 102
  GridSortByColumn(&grid, 1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"K2", "K3", "K10", ""}));
  EXPECT_EQ(Column(0), (std::vector<std::string>{"Keller", "Dach", "Tor", "Halle"}));
  EXPECT_EQ(Ids(), (std::vector<int>{102, 104, 101, 103}));
  EXPECT_EQ(GridSelectedId(&grid), 102);
  EXPECT_EQ(GridCell(&grid, 1, 0), "Raum");

  GridSortByColumn(&grid, 1);
  EXPECT_EQ(Ids(), (std::vector<int>{101, 104, 102, 103}));
  EXPECT_EQ(GridSelectedId(&grid), 102);
  GridSortByColumn(&grid, 7);  // outside: nothing happens
  EXPECT_EQ(Ids(), (std::vector<int>{101, 104, 102, 103}));
}

TEST_F(GridTest, HeaderClickSorts) {
  InstallGridHeaderSort(&grid);
  InstallGridHeaderSort(&grid);  // a second install adds no second sort per click
  grid.resize(400, 300);
  grid.show();
  QHeaderView* header = grid.horizontalHeader();
  const QPoint nameHeader(header->sectionViewportPosition(0) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"Dach", "Halle", "Keller", "Tor"}));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"Tor", "Keller", "Halle", "Dach"}));
}

TEST_F(GridTest, ClearLeavesOneEmptySelectedRowWithIdZero) {
  GridSortByColumn(&grid, 0);
  GridClear(&grid);
  EXPECT_EQ(GridRowCount(&grid), 2);
  EXPECT_EQ(GridCell(&grid, 0, 1), "");
  EXPECT_EQ(GridRowId(&grid, 1), 0);
  EXPECT_EQ(GridSelectedRow(&grid), 1);
  EXPECT_EQ(GridSelectedId(&grid), 0);
  EXPECT_EQ(GridCell(&grid, 0, 0), "Name");
  // The remembered direction went with the rows: the next click sorts ascending.
  SetGridRowCount(&grid, 3);
  SetGridCell(&grid, 0, 1, "A");
  SetGridCell(&grid, 0, 2, "B");
  GridSortByColumn(&grid, 0);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"A", "B"}));
}

TEST_F(GridTest, SelectionOfRows) {
  EXPECT_FALSE(GridSelectRow(&grid, 0));
  EXPECT_FALSE(GridSelectRow(&grid, 5));
  EXPECT_EQ(GridSelectedId(&grid), 0);
  ASSERT_TRUE(GridSelectRow(&grid, 4));
  EXPECT_EQ(GridSelectedId(&grid), 104);
  EXPECT_EQ(grid.selectedRanges().first().columnCount(), 3);
  GridClearSelection(&grid);
  EXPECT_EQ(GridSelectedRow(&grid), 0);
  EXPECT_EQ(GridSelectedId(&grid), 0);
}

TEST_F(GridTest, CopyCreatesTheTargetWithEverything) {
  QTableWidget* copy = nullptr;
  GridCopy(&grid, copy);
  ASSERT_NE(copy, nullptr);
  std::unique_ptr<QTableWidget> owner(copy);
  ASSERT_EQ(GridRowCount(copy), GridRowCount(&grid));
  ASSERT_EQ(GridColCount(copy), GridColCount(&grid));
  for (int r = 0; r < GridRowCount(&grid); ++r) {
    EXPECT_EQ(GridRowId(copy, r), GridRowId(&grid, r));
    for (int c = 0; c < GridColCount(&grid); ++c) EXPECT_EQ(GridCell(copy, c, r), GridCell(&grid, c, r));
  }
  SetGridCell(copy, 0, 1, "changed");
  EXPECT_EQ(GridCell(&grid, 0, 1), "Tor");
}

TEST_F(GridTest, AutoColumnWidths) {
  SetGridCell(&grid, 2, 1, std::string(200, 'W'));
  grid.resize(2000, 300);
  GridAutoColWidths(&grid, false, 150);
  const QFontMetrics fm(grid.font());
  int widest = 0;
  for (const char* text : {"Name", "Tor", "Keller", "Halle", "Dach"})
    widest = std::max(widest, fm.horizontalAdvance(QString::fromLatin1(text)));
  EXPECT_EQ(grid.columnWidth(0), widest + 8);
  EXPECT_EQ(grid.columnWidth(2), 150 + 8);
  GridAutoColWidths(&grid, true, 150);
  const int total = grid.columnWidth(0) + grid.columnWidth(1) + grid.columnWidth(2);
  EXPECT_EQ(total + 2 * 3 + 20, grid.viewport()->width());
}

}  // namespace
