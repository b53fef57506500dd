// The files the writers make, read by the office program: a native ".xls" and a workbook of
// 61,000 rows are turned back into CSV by one call of LibreOffice (one call: each start
// costs seconds), and every cell must come back as it was written.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "basic/Cp1252.h"
#include "output/CsvOrExcelUnit.h"
#include "output/SpreadsheetTestSupport.h"
#include "platform/ProcessStart.h"
#include "support/TestSupport.h"

namespace {

using TTable = std::vector<std::vector<std::string>>;

// Cells that tempt a reader to change them: zeros in front, quotes, separators, umlauts and
// the characters where 1252 and Latin-1 differ, blanks at the ends, an apostrophe first.
std::vector<std::string> RowCells(int row) {
  const std::string n = std::to_string(row);
  return {"Zeile " + n,
          "0042",
          "M\xFCller \"Hans\"",
          row % 3 == 0 ? "" : "\x80 " + n,
          "a;b,c",
          "'Apostroph",
          "  Leer  ",
          "Stra\xDF" "e \x9A\x8A\x9F"};
}

TTable Trimmed(TTable table) {
  for (auto& row : table)
    while (!row.empty() && row.back().empty()) row.pop_back();
  return table;
}

TTable ReadCsvAs1252(const std::string& file) {
  TTable rows = ParseOfficeCsv(ReadAllBytes(file));
  for (auto& row : rows)
    for (auto& cell : row) cell = Utf8ToCp1252(cell);
  return rows;
}

TEST(SpreadsheetRoundTrip, TheOfficeProgramReadsEveryCellBack) {
  ResetOfficeLookup();
  const std::string office = OfficeProgram();
  ResetOfficeLookup();
  if (office.empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed; round trip skipped";

  TTempDir dir;
  TTable native;
  for (int row = 1; row <= 40; ++row) native.push_back(RowCells(row));
  native.push_back({"", "", "L\xFC" "cke davor"});
  native.push_back({std::string(300, 'x') /* cut to 255 */});
  TNativeXLS xls;
  for (const auto& row : native) {
    for (const auto& cell : row) xls.AddText(cell);
    xls.NewRow();
  }
  ASSERT_TRUE(xls.SaveToFile(dir.File("nativ.xls")));
  native.back()[0].resize(255);

  TTable big;
  big.push_back({"Name", "Nr", "Person", "Betrag", "Liste", "Text", "Blanks", "Ort"});
  for (int row = 1; row < 61000; ++row) big.push_back(RowCells(row));
  TCsvOrExcel book;
  ASSERT_TRUE(book.Open(dir.File("gross.xlsx")));
  for (const auto& row : big) ASSERT_TRUE(book.WriteCells(row));
  ASSERT_TRUE(book.Close());
  ASSERT_EQ(book.FileName(), dir.File("gross.xlsx"));

  // An export the user named ".xls": the old format, row by row through the same writer.
  TTable exported(native.begin(), native.end() - 1);
  ASSERT_TRUE(book.Open(dir.File("export.xls")));
  ASSERT_EQ(book.Mode(), cemNativeXls);
  for (const auto& row : exported) ASSERT_TRUE(book.WriteCells(row));
  ASSERT_TRUE(book.Close());

  std::filesystem::create_directories(dir.Path() / "out");
  const TProcessStartResult run = StartProcess(
      office,
      {"--headless", "--norestore", "-env:UserInstallation=file://" + dir.File("profile"),
       "--convert-to",
       "csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,false,false,false,-1", "--outdir",
       dir.File("out"), dir.File("nativ.xls"), dir.File("gross.xlsx"), dir.File("export.xls")},
      {.workDir = dir.Dir(), .wait = true});
  ASSERT_TRUE(run.started);
  ASSERT_EQ(run.exitCode, 0);

  // One CSV file per sheet: "<book>-<sheet>.csv".
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "out"))
    files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0].substr(0, 7), "export-");
  EXPECT_EQ(files[1], "gross-Tabelle1.csv");
  EXPECT_EQ(files[2], "gross-Tabelle2.csv");
  EXPECT_EQ(files[3].substr(0, 6), "nativ-");

  EXPECT_EQ(ReadCsvAs1252(dir.File("out/" + files[3])), Trimmed(native));
  EXPECT_EQ(ReadCsvAs1252(dir.File("out/" + files[0])), Trimmed(exported));
  TTable back = ReadCsvAs1252(dir.File("out/gross-Tabelle1.csv"));
  ASSERT_EQ(back.size(), 60000u);
  const TTable second = ReadCsvAs1252(dir.File("out/gross-Tabelle2.csv"));
  ASSERT_EQ(second.size(), 1000u);
  back.insert(back.end(), second.begin(), second.end());
  const TTable expected = Trimmed(big);
  for (size_t row = 0; row < expected.size(); ++row)
    ASSERT_EQ(back[row], expected[row]) << "row " << row + 1;
}

}  // namespace
