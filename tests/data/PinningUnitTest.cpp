// The pinning text and its grid of cells.
#include <gtest/gtest.h>

#include "data/PinningUnit.h"

namespace {

TPinningGrid Grid(std::initializer_list<const char*> rows) {
  TPinningGrid grid;
  int row = 0;
  for (const char* text : rows) {
    for (int chamber = 0; text[chamber] && chamber < kPinChambers; ++chamber)
      grid.At(row, chamber) = text[chamber] == ' ' ? '\0' : text[chamber];
    ++row;
  }
  return grid;
}

TEST(Pinning, LoadAndSaveKeepTheLeadingFieldAndEveryPinsChamber) {
  struct TCase {
    const char* stored;
    const char* saved;
  } cases[] = {
      // Blanks are empty cells: the pins of " 5 3" stay in chambers 2 and 4.
      {"lead\t\t 5 3;", "lead\t 5 3\t 5 3;"},
      // Trailing blanks of a row and of the sums go.
      {"x\t1\t12   ;3   ;", "x\t42\t12;3;"},
      // An empty middle row disappears: the later rows move up one place.
      {"\t\t1;;2;", "\t3\t1;2;"},
      // An 8th character and a 10th row are beyond the grid.
      {"\t\t12345678;", "\t1234567\t1234567;"},
      {"\t\t1;1;1;1;1;1;1;1;1;1;", "\t9\t1;1;1;1;1;1;1;1;1;"},
      // Stored sums are recomputed; a text without rows keeps only its leading field.
      {"L\t99\t", "L\t\t"},
      {"", "\t\t"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(BuildPinningText(LoadPinningGrid(c.stored)), c.saved) << c.stored;
}

TEST(Pinning, ChamberSums) {
  struct TCase {
    std::initializer_list<const char*> rows;
    const char* sum;
  } cases[] = {
      {{"5", "5"}, "0"}, {{"3", "X"}, "3"}, {{"A"}, "?"},           {{"6", "6"}, "?"},
      {{"X", "-"}, ""},  {{"", ""}, ""},    {{"2", "/", "3"}, "5"}, {{"1", "?"}, "?"},
  };
  for (const TCase& c : cases) EXPECT_EQ(PinningChamberSum(Grid(c.rows), 0), c.sum);
  EXPECT_EQ(PinningSums(Grid({"5 A", "5"})), "0 ?");
}

TEST(Pinning, InputFilterAndVisibility) {
  struct TCase {
    char typed, kept;
  } cases[] = {{'a', 'A'}, {'x', 'X'}, {'7', '7'}, {'-', '-'},  {'/', '/'}, {'?', '?'},
               {'Z', 'Z'}, {'+', 0},   {' ', 0},   {'\xE4', 0}, {';', 0},   {'\t', 0}};
  for (const TCase& c : cases) EXPECT_EQ(FilterPinningChar(c.typed), c.kept) << c.typed;

  const TPinningGrid grid = Grid({"1 ", "", "2"});
  EXPECT_TRUE(PinningCellVisible(grid, 0, 1)) << "the rotor row always";
  EXPECT_TRUE(PinningCellVisible(grid, 1, 0)) << "the layer above a pin";
  EXPECT_FALSE(PinningCellVisible(grid, 1, 1));
  EXPECT_TRUE(PinningCellVisible(grid, 2, 0)) << "a cell holding a pin";
  EXPECT_FALSE(PinningCellVisible(grid, 3, 1));
}

TEST(Pinning, PaintedLinesAndHeights) {
  struct TCase {
    const char* text;
    std::vector<TPinningLine> lines;
  } cases[] = {
      {"", {{"-", ""}}},
      {"a\t12\t", {{"-", ""}}},
      {"a\t42\t12;3;", {{"Summe", "42"}, {"Aufbaustifte", "3"}, {"Rotorstifte", "12"}}},
      // Rows without sums are painted all the same.
      {"\t\t1;2;3;",
       {{"Summe", ""}, {"Aufbaustifte", "3"}, {"Aufbaustifte", "2"}, {"Rotorstifte", "1"}}},
  };
  for (const TCase& c : cases) {
    const std::vector<TPinningLine> lines = PinningLines(c.text);
    ASSERT_EQ(lines.size(), c.lines.size()) << c.text;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].caption, c.lines[i].caption) << c.text;
      EXPECT_EQ(lines[i].value, c.lines[i].value) << c.text;
    }
  }
  EXPECT_EQ(PinningHeight(1), 32);
  EXPECT_EQ(PinningHeight(4), 80);
}

}  // namespace
