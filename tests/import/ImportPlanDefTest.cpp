#include "import/ImportPlanDefUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "import/ImportPlanRecogUnit.h"
#include "import/ImportTable.h"

TEST(PlanDefinitions, FileRoundTrip) {
  TTempDir dir;
  TIndiDefList list;
  list.Path = "/data/defs.pis";
  list.Table = "/data/Plan.xls";
  // A heading beyond the code page, a literal "&#65;" and control characters survive;
  // -1 stands for "no cell".
  list.Items.push_back({pdkColumn, pcfDoor, u"T\u00FCr \u0416 &#65; a\u000Bb", 2, -1, 2, 4});
  list.Items.push_back({pdkRow, prfGroup, u"", -1, -1, 7, 1});
  ASSERT_TRUE(SaveIndiDefs(list, dir.File("a.pis")));
  const std::string bytes = ReadAllBytes(dir.File("a.pis"));
  EXPECT_EQ(bytes.substr(0, 13), "\x01\r\nA\tLPIS\r\nP\t");
  EXPECT_NE(bytes.find("T\xFCr &#1046; &#38;#65; a&#11;b\t2\t-1\t2\t4\r\n"), std::string::npos);

  TIndiDefList back;
  ASSERT_TRUE(LoadIndiDefs(back, dir.File("a.pis")));
  EXPECT_EQ(back.Items, list.Items);
  EXPECT_EQ(back.Path, list.Path);
  EXPECT_EQ(back.Table, list.Table);
}

TEST(PlanDefinitions, ReadingOddFiles) {
  TTempDir dir;
  const struct {
    const char* name;
    std::string text;
    bool ok;
    int count;
  } cases[] = {
      {"no format line", "\x01\r\nC\t1\t2\tT\t1\t1\t1\t1\r\n", false, 0},
      {"another format", "A\tXYZ\r\nC\t1\t2\tT\t1\t1\t1\t1\r\n", false, 0},
      {"repeated field keeps the last", "A\tLPIS\r\nC\t1\t2\told\t1\t1\t1\t1\r\nC\t1\t2\tnew\t3\r\n",
       true, 1},
      {"unknown lines skipped", "AB\tLPIS\r\nA\tLPIS\r\nX\tq\r\n\r\n", true, 0},
  };
  for (const auto& c : cases) {
    WriteAllBytes(dir.File("f.pis"), c.text);
    TIndiDefList list;
    list.Items.push_back({});
    EXPECT_EQ(LoadIndiDefs(list, dir.File("f.pis")), c.ok) << c.name;
    EXPECT_EQ(list.Count(), c.count) << c.name;
  }
  TIndiDefList list;
  WriteAllBytes(dir.File("f.pis"), cases[2].text);
  ASSERT_TRUE(LoadIndiDefs(list, dir.File("f.pis")));
  EXPECT_EQ(list.Items[0].title, u"new");
  EXPECT_EQ(list.Items[0].dataCol, 3);
  EXPECT_EQ(list.Items[0].dataRow, 0);  // missing numbers read as 0
  EXPECT_FALSE(LoadIndiDefs(list, dir.File("missing.pis")));

  // Codes outside 1..65535 stay text.
  EXPECT_EQ(DecodeDefTitle("&#0;&#65536;&#65;&#x41;&#;"), u"&#0;&#65536;A&#x41;&#;");
}

TEST(PlanDefinitions, NumbersOutOfRangeDropTheirDefinition) {
  TTempDir dir;
  const struct {
    const char* name;
    const char* line;
    bool kept;
  } cases[] = {
      {"every number in range", "C\t1\t17\tT\t-1\t0\t10000000\t10000000", true},
      {"a row field's last index", "C\t2\t3\tT\t4\t5\t6\t7", true},
      {"missing numbers are 0", "C\t2\t0\tT", true},
      {"heading column past every table", "C\t1\t2\tT\t-1\t-1\t2147483647\t3", false},
      {"heading row past every table", "C\t2\t0\tT\t-1\t-1\t3\t10000001", false},
      {"data column below -1", "C\t1\t2\tT\t-2\t3\t-1\t-1", false},
      {"data row beyond 32 bits", "C\t1\t2\tT\t3\t99999999999\t-1\t-1", false},
      {"kind 0", "C\t0\t2\tT\t3\t3\t-1\t-1", false},
      {"kind 3", "C\t3\t0\tT\t3\t3\t-1\t-1", false},
      {"column field index 18", "C\t1\t18\tT\t3\t3\t-1\t-1", false},
      {"row field index 4", "C\t2\t4\tT\t3\t3\t-1\t-1", false},
      {"negative field index", "C\t1\t-1\tT\t3\t3\t-1\t-1", false},
      {"junk instead of a number", "C\tzwei\t1\tT\t3\t3\t-1\t-1", false},
      {"junk in a cell", "C\t1\t1\tT\t3x\t3\t-1\t-1", false},
  };
  for (const auto& c : cases) {
    // A good definition of another field around it stays whatever happens to the line.
    WriteAllBytes(dir.File("f.pis"),
                  std::string("\x01\r\nA\tLPIS\r\nC\t1\t0\tPos\t1\t4\t1\t3\r\n") + c.line + "\r\n");
    TIndiDefList list;
    EXPECT_TRUE(LoadIndiDefs(list, dir.File("f.pis"))) << c.name;
    EXPECT_EQ(list.Count(), c.kept ? 2 : 1) << c.name;
    ASSERT_GE(list.Count(), 1) << c.name;
    EXPECT_EQ(list.Items[0], (IndiDef{pdkColumn, pcfPosition, u"Pos", 1, 4, 1, 3})) << c.name;

    // What was dropped is not written back.
    ASSERT_TRUE(SaveIndiDefs(list, dir.File("back.pis"))) << c.name;
    EXPECT_EQ(ReadAllBytes(dir.File("back.pis")).find("\tT\t") != std::string::npos, c.kept)
        << c.name;
  }

  // A heading column that would overflow never reaches the recognition of the layout.
  WriteAllBytes(dir.File("f.pis"), "A\tLPIS\r\nC\t2\t0\tGS\t-1\t-1\t2147483647\t1\r\n");
  TIndiDefList list;
  ASSERT_TRUE(LoadIndiDefs(list, dir.File("f.pis")));
  EXPECT_EQ(GetLastKeyTitleCol(list), -1);
}

TEST(PlanDefinitions, SavedOnlyWhenModifiedAndWritable) {
  TTempDir dir;
  const std::string file = dir.File(kPlanDefsFileName);
  TIndiDefList list;
  list.Items.push_back({pdkColumn, 1, u"S", 1, 1, -1, -1});
  EXPECT_TRUE(SaveIndiDefsWhenModified(list, file, false));
  EXPECT_FALSE(std::filesystem::exists(file));
  list.Modified = true;
  EXPECT_FALSE(SaveIndiDefsWhenModified(list, file, true));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(SaveIndiDefsWhenModified(list, file, false));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_FALSE(list.Modified);
}

TEST(PlanDefinitions, Lookups) {
  TIndiDefList list;
  list.Items.push_back({pdkColumn, pcfDoor, u"T", 0, 5, 1, 3});
  list.Items.push_back({pdkColumn, pcfRoom, u"", 2, 4, 2, 2});
  list.Items.push_back({pdkRow, prfGroup, u"G", -1, -1, 9, 1});  // heading only
  list.Items.push_back({pdkRow, prfKeyType, u"", 12, 2, -1, -1});
  EXPECT_EQ(GetDefDataCol(list, pdkColumn, pcfDoor), -1);  // column 0 is none
  EXPECT_EQ(GetDefDataRow(list, pdkColumn, pcfDoor), 5);
  EXPECT_EQ(GetDefTitle(list, pdkRow, prfGroup), u"G");
  EXPECT_EQ(GetFirstCylDataRow(list), 4);
  EXPECT_EQ(GetFirstKeyDataCol(list), 12);
  EXPECT_EQ(GetLastCylTitleRow(list), 3);
  EXPECT_EQ(GetLastKeyTitleCol(list), 9);
  EXPECT_EQ(GetCellDefKind(list, 9, 1), pdkRow);
  EXPECT_EQ(GetCellDefKind(list, 2, 4), pdkColumn);
  EXPECT_EQ(GetCellDefKind(list, 3, 3), 0);
  EXPECT_EQ(GetCellDefHint(list, 2, 2), "manuelle Definition: \xDC" "berschrift\n");
}

TEST(PlanDefinitions, DefiningACell) {
  TImportTable grid;
  FillPlanGrid(grid, {" Raum \tq", "1\t2"});
  TIndiDefList list;
  ApplyCellDefinition(list, grid, 1, 1, TCellDefChoice::Heading, pdkColumn, pcfRoom);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items[0].title, u"Raum");
  EXPECT_TRUE(list.Modified);

  // The same cell as data of another field: taken from the first, which keeps its heading.
  list.Modified = false;
  ApplyCellDefinition(list, grid, 1, 2, TCellDefChoice::FirstData, pdkColumn, pcfDoor);
  ApplyCellDefinition(list, grid, 1, 2, TCellDefChoice::FirstData, pdkRow, prfGroup);
  ASSERT_EQ(list.Count(), 2);  // the door's definition had nothing left and is gone
  EXPECT_EQ(list.Items[1].kind, pdkRow);
  EXPECT_EQ(list.Items[1].dataCol, 1);
  EXPECT_TRUE(list.Modified);

  // "nothing important" only clears; an empty cell gives no heading.
  ApplyCellDefinition(list, grid, 1, 2, TCellDefChoice::Nothing, 0, 0);
  ApplyCellDefinition(list, grid, 5, 5, TCellDefChoice::Heading, pdkColumn, pcfFloor);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items[0].index, pcfRoom);
}
