#include "import/ImportPlanRecogUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/ImportTable.h"

namespace {

std::string Res(const std::string& name) { return std::string(TESSARO_RESOURCE_DIR) + "/" + name; }

const TPlanWords& GermanWords() {
  static const TPlanWords words = [] {
    TPlanWords w;
    EXPECT_TRUE(w.LoadFile(Res("System/LockingPlan.lng"), "DE"));
    return w;
  }();
  return words;
}

TImportTable Sheet(const std::vector<std::string>& lines) {
  TImportTable grid;
  FillPlanGrid(grid, lines);
  return grid;
}

// A plan as locksmiths deliver it: the key table above the keys' columns, the cylinder
// table below its heading row, a cross where a key locks a cylinder.
std::vector<std::string> PlanLines(int dataRows = 10) {
  std::vector<std::string> lines = {
      "\t\t\t\t\tGruppenschl\xFCssel\tGS1\tGS2\tHS",
      "\t\t\t\t\tSchl\xFCssel-Typ\tGS\tGS\tHS",
      "\t\t\t\t\tAnzahl\t2\t3\t1",
      "Pos.\tT\xFCr\tRaum\tSchlie\xDFung\tZylinder-Anzahl",
  };
  for (int i = 1; i <= dataRows; ++i) {
    const std::string n = std::to_string(i);
    lines.push_back(n + "\tT" + n + "\tR" + n + "\tS" + n + "\t1\t\t" + (i % 2 || i == dataRows ? "x" : "") +
                    "\t" + (i % 3 && i != dataRows ? "" : "X") + "\t" + "x");
  }
  return lines;
}

}  // namespace

TEST(PlanRecognition, LockMarks) {
  const struct {
    const char* text;
    int mark;
  } cases[] = {{"", 0},        {"x", 1},     {"X", 1},     {"i", 1},      {"M", 1},
               {"o", 1},       {"U", 1},     {"z", 1},     {"JA", 1},     {"ja", 1},
               {"TRUE", 1},    {"Yes", 1},   {"NEIN", 0},  {"no", 0},     {"FALSE", 0},
               {"?", 255},     {"a", 255},   {"1", 255},   {"JAJAJAJA", 255},
               {"TRUE-ish", 255}, {"Schl\xFCssel", 255}};
  for (const auto& c : cases) EXPECT_EQ(LockMarkOf(c.text), c.mark) << c.text;
}

TEST(PlanRecognition, FillPlanGridLettersNumbersAndTrimmedCells) {
  TImportTable grid = Sheet({"a\tb  \t\tz", "x"});
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.ColCount(), 6);  // never fewer than 6 columns
  EXPECT_EQ(grid.Cell(1, 0), "A");
  EXPECT_EQ(grid.Cell(4, 0), "D");
  EXPECT_EQ(grid.Cell(0, 2), "2");
  EXPECT_EQ(grid.Cell(2, 1), "b");
  EXPECT_EQ(grid.Cell(4, 1), "z");
  EXPECT_EQ(PlanColumnLetters(27), "AA");
}

TEST(PlanRecognition, LockMatrixFromMarkRuns) {
  const struct {
    const char* name;
    std::vector<std::string> lines;
    TPlanMatrix expected;
  } cases[] = {
      {"two adjacent runs",
       {"h\th\th\th\th", "a\t\tx\t\tq", "b\t\t\tx\tq", "c\t\tx\tx\tq", "d\t\tx\tx\tq"},
       {3, 2, 4, 5}},
      {"one column of marks",
       {"h\th\th\th\th", "a\t\tx\tq\tq", "b\t\tx\tq\tq", "c\t\tx\tq\tq"},
       {-1, -1, -1, -1}},
      {"a question mark ends a run",
       {"h\th\th\th", "a\tx\tx\tx", "b\t?\tx\tx", "c\tx\tx\tx", "d\tx\tx\tx"},
       {3, 2, 4, 5}},
      {"short runs dropped",
       {"h\th\th\th\th", "a\tq\tx\tx\tq", "b\tq\tx\tx\tq", "c\tq\tx\tx\tx", "d\tq\tx\tx\tx"},
       {3, 2, 4, 5}},
      {"disjoint runs give none",
       {"h\th\th\th", "a\tq\tx\tq", "b\tq\tx\tq", "c\tq\tq\tx", "d\tq\tq\tx"},
       {-1, -1, -1, -1}},
      {"too small", {"x\tx", "x\tx"}, {-1, -1, -1, -1}},
  };
  for (const auto& c : cases) {
    TImportTable grid = Sheet(c.lines);
    TPlanRecognition rec;
    BuildMarkTable(grid, rec);
    EXPECT_EQ(rec.matrix.left, c.expected.left) << c.name;
    EXPECT_EQ(rec.matrix.top, c.expected.top) << c.name;
    EXPECT_EQ(rec.matrix.right, c.expected.right) << c.name;
    EXPECT_EQ(rec.matrix.bottom, c.expected.bottom) << c.name;
  }
  // The question mark's column: the run is the part below it, too short to count.
  TImportTable grid = Sheet(cases[2].lines);
  TPlanRecognition rec;
  BuildMarkTable(grid, rec);
  const TMarkRun run = ScanMarkColumn(rec, 2, grid.RowCount() - 1);
  EXPECT_EQ(run.top, 4);
  EXPECT_EQ(run.bottom, 5);
}

TEST(PlanRecognition, CylinderHeadingRow) {
  const struct {
    const char* name;
    std::vector<std::string> lines;
    int row;
  } cases[] = {
      {"Pos. with a dot", {"Plan", "Pos.\tT\xFCr\tRaum", "1\tA\tB"}, 2},
      {"position word", {"Plan", "x", "Position\tZylinder", "1\tA"}, 3},
      {"SLA and ZYA below", {"Pos\tT\xFC" "r", "\tSLA\tZYA", "1\t2\t3"}, 2},
      {"SLA and ZYA not directly below", {"Pos\tT\xFC" "r", "", "\tSLA\tZYA"}, 1},
      {"door word only", {"Plan", "Raumbezeichnung\tx", "1\t2"}, 2},
      {"position before any door word", {"Pos\tx", "T\xFCr\ty", "Pos\ty"}, 3},
      {"nothing", {"a\tb", "c\td"}, -1},
  };
  for (const auto& c : cases) {
    TImportTable grid = Sheet(c.lines);
    EXPECT_EQ(FindCylinderHeadingRow(grid, TPlanMatrix(), GermanWords()), c.row) << c.name;
  }
}

TEST(PlanRecognition, KeyHeadingColumn) {
  const struct {
    const char* name;
    std::vector<std::string> lines;
    int col;
  } cases[] = {
      {"group key word", {"\tx\tGruppenschl\xFCssel", "\t\tAnzahl"}, 3},
      {"count and name, last wins", {"Anzahl\tAnz\tq", "Schl\xFCssel\tBezeichnung\tq"}, 2},
      {"colouring fallback", {"F\xE4rbungen\tq", "q\tq"}, 1},
      {"delivery address and A1", {"q\tAbw. Lieferadresse:", "q\tA1"}, 2},
      {"nothing", {"a\tb", "c\td"}, -1},
  };
  for (const auto& c : cases) {
    TImportTable grid = Sheet(c.lines);
    EXPECT_EQ(FindKeyHeadingColumn(grid, TPlanMatrix(), GermanWords()), c.col) << c.name;
  }
}

TEST(PlanRecognition, FieldColumns) {
  // Row 2 is the heading row; row 1 above it holds a heading of its own.
  TImportTable grid = Sheet({"\t\t\t\tStockwerk",
                             "T\xFC" "rbezeichnung\tAnzahl\x0bZylinder\tSchlie\xDFung\tq\t",
                             "1\t2\t3\t4\t5"});
  TIndiDefList defs;
  TPlanRecognition rec;
  const TPlanWords& w = GermanWords();
  auto col = [&](int field) {
    return FindPlanFieldColumn(grid, defs, rec, field, 2,
                               w.Entry(TPlanWords::ColumnFieldEntry(field)));
  };
  EXPECT_EQ(col(pcfDoor), 1);           // an alternative of the entry
  EXPECT_EQ(col(pcfCylinderCount), 2);  // a break inside the cell is a blank
  EXPECT_EQ(col(pcfSchliessung), 3);
  EXPECT_EQ(col(pcfFloor), 5);          // found in the row above
  EXPECT_EQ(col(pcfSurface), -1);
  EXPECT_EQ(GetCellDefKind(rec.autoTitles, 1, 2), pdkColumn);
  EXPECT_EQ(GetCellDefKind(rec.autoTitles, 5, 1), pdkColumn);

  // A manual data cell wins; a manual heading replaces the entry's alternatives.
  defs.Obtain(pdkColumn, pcfSurface).dataCol = 4;
  EXPECT_EQ(col(pcfSurface), 4);
  defs.Obtain(pdkColumn, pcfDoor).title = u"q";
  EXPECT_EQ(col(pcfDoor), 4);
}

TEST(PlanRecognition, FieldRowsSearchLeftOfTheHeadingColumn) {
  TImportTable grid = Sheet({"Gruppe\t\tGruppenschl\xFCssel\tGS1", "\t\tSchl\xFCsseltyp\tGS"});
  TIndiDefList defs;
  TPlanRecognition rec;
  const TPlanWords& w = GermanWords();
  auto row = [&](int field) {
    return FindPlanFieldRow(grid, defs, rec, field, 3, w.Entry(TPlanWords::RowFieldEntry(field)));
  };
  EXPECT_EQ(row(prfGroupKey), 1);
  EXPECT_EQ(row(prfKeyType), 2);
  EXPECT_EQ(row(prfGroup), 1);  // column 1, left of the heading column
  EXPECT_EQ(row(prfGroupKeyCount), -1);
  EXPECT_EQ(FindPlanFieldRow(grid, defs, rec, prfGroup, -1, {"GRUPPE"}), -1);
}

TEST(PlanRecognition, RowHoldsGroupNumbers) {
  const struct {
    std::vector<std::string> cells;
    bool holds;
  } cases[] = {{{"A1", "2", "A3"}, true}, {{"1", "2"}, false},  {{"A1", "x"}, false},
               {{"A0"}, false},           {{"", "A2"}, true},   {{"A"}, false},
               {{"A1", "-2"}, false},     {{}, false}};
  for (const auto& c : cases) {
    std::string line = "q";
    for (const std::string& cell : c.cells) line += "\t" + cell;
    TImportTable grid = Sheet({line});
    EXPECT_EQ(RowHoldsGroupNumbers(grid, 2, grid.ColCount() - 1, 1), c.holds) << line;
  }
}

TEST(PlanRecognition, WholePlan) {
  std::vector<std::string> lines = PlanLines();
  lines.push_back("11");  // only a position: cut off
  lines.push_back("");
  TImportTable grid = Sheet(lines);
  TIndiDefList defs;
  TPlanRecognition rec;
  ASSERT_TRUE(RecognisePlanTable(grid, defs, GermanWords(), rec));
  EXPECT_EQ(rec.headingRow, 4);
  EXPECT_EQ(rec.headingCol, 6);
  EXPECT_EQ(rec.firstDataRow, 5);
  EXPECT_EQ(rec.firstKeyCol, 7);
  EXPECT_EQ(rec.Col(pcfPosition), 1);
  EXPECT_EQ(rec.Col(pcfDoor), 2);
  EXPECT_EQ(rec.Col(pcfRoom), 3);
  EXPECT_EQ(rec.Col(pcfSchliessung), 4);
  EXPECT_EQ(rec.Col(pcfCylinderCount), 5);
  EXPECT_EQ(rec.Col(pcfSingleKey), -1);
  EXPECT_EQ(rec.Row(prfGroupKey), 1);
  EXPECT_EQ(rec.Row(prfKeyType), 2);
  EXPECT_EQ(rec.Row(prfGroupKeyCount), 3);
  EXPECT_EQ(rec.Row(prfGroup), -1);
  EXPECT_EQ(grid.RowCount(), 15);  // the position-only and empty rows are cut
  EXPECT_EQ(rec.matrix.left, 7);
  EXPECT_EQ(rec.matrix.top, 5);
  EXPECT_EQ(rec.matrix.right, 9);
  EXPECT_EQ(rec.matrix.bottom, 14);
}

TEST(PlanRecognition, ManualDefinitionsAndGroupRow) {
  // Group numbers below the group-key row become the group row; "A1" left of the first key
  // column moves it one to the left.
  TImportTable grid = Sheet({"\t\t\tGruppenschl\xFCssel\tGS1\tGS2",
                             "\t\t\tA1\tA2\t3",
                             "Pos\tT\xFCr\tx",
                             "1\tT1\tx\t\tx\tx",
                             "2\tT2\tx\t\tx\tx"});
  TIndiDefList defs;
  TPlanRecognition rec;
  ASSERT_TRUE(RecognisePlanTable(grid, defs, GermanWords(), rec));
  EXPECT_EQ(rec.Row(prfGroupKey), 1);
  EXPECT_EQ(rec.Row(prfGroup), 2);
  EXPECT_EQ(rec.firstKeyCol, 4);

  // A manual heading of the cylinder table replaces the search; a data cell sets the first
  // data row; a heading-only key definition does not hide a key data column.
  IndiDef& heading = defs.Obtain(pdkColumn, pcfDoor);
  heading.title = u"x";
  heading.titleCol = 3;
  heading.titleRow = 3;
  defs.Obtain(pdkColumn, pcfPosition).dataRow = 5;
  defs.Obtain(pdkRow, prfGroup).titleCol = 4;
  defs.Obtain(pdkRow, prfKeyType).dataCol = 6;
  ASSERT_TRUE(RecognisePlanTable(grid, defs, GermanWords(), rec));
  EXPECT_EQ(rec.headingRow, 3);
  EXPECT_EQ(rec.firstDataRow, 5);
  EXPECT_EQ(rec.Col(pcfDoor), 3);
  EXPECT_EQ(rec.headingCol, 4);
  EXPECT_EQ(rec.firstKeyCol, 6);
}

TEST(PlanRecognition, ShippedWordsInEnglish) {
  TPlanWords w;
  ASSERT_TRUE(w.LoadFile(Res("System/LockingPlan.lng"), "EN"));
  EXPECT_EQ(w.Word("T\xFCr"), "DOOR");
  EXPECT_EQ(w.Word("SLA"), "SLA");
  for (int n = 1; n <= 22; ++n) EXPECT_FALSE(w.Entry(n).empty()) << n;
  EXPECT_EQ(GermanWords().Entry(3).front(), "T\xDCR");
  EXPECT_EQ(SplitPlanAlternatives(" a | stra\xDF" "e ||b"),
            (std::vector<std::string>{"A", "STRA\xDF" "E", "B"}));
}
