// The imports read back what the program's own exports write: the native ".xls" of every
// format version and the ".xlsx" workbooks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "import/ExcelReadUnit.h"
#include "import/ImportText.h"
#include "output/CsvOrExcelUnit.h"
#include "support/TestSupport.h"

namespace {

using Rows = std::vector<std::string>;

const std::vector<Rows> kTable = {
    {"Name", "Nr", "Ort"},
    {"M\xFCller, J\xFCrgen", "0815", "Stra\xDF" "e 1; Hof"},
    {"'s-Hertogenbosch", "\"Zitat\" vorn", "\x80 \x8A\x9A\x9F"},
    {"", "", "nur hinten"},
};

Rows Expected() {
  Rows lines;
  for (const auto& row : kTable) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) line += (i ? "\t" : "") + row[i];
    lines.push_back(line);
  }
  return lines;
}

Rows ImportedRows(const std::string& file) {
  std::string text;
  std::string error;
  EXPECT_TRUE(ReadSpreadsheetFile(file, text, &error)) << file << ": " << error;
  Rows rows;
  if (text.empty()) return rows;
  EXPECT_TRUE(ReadImportTextFile(text, rows));
  DeleteTempFile(text);
  CsvLinesToTabLines(rows);
  return rows;
}

}  // namespace

TEST(OwnExportsReadBack, NativeXlsOfEveryVersion) {
  TTempDir dir;
  for (int version = 0; version <= 3; ++version) {
    TNativeXLS xls(version);
    for (const auto& row : kTable) {
      for (const auto& cell : row) xls.AddText(cell);
      xls.NewRow();
    }
    const std::string file = dir.File("Liste" + std::to_string(version) + ".xls");
    ASSERT_TRUE(xls.SaveToFile(file));
    EXPECT_EQ(ImportedRows(file), Expected()) << "version " << version;
  }
}

TEST(OwnExportsReadBack, XlsxWorkbooks) {
  TTempDir dir;
  TCsvOrExcel book;
  ASSERT_TRUE(book.Open(dir.File("Liste.xlsx")));
  for (const auto& row : kTable) ASSERT_TRUE(book.WriteCells(row));
  ASSERT_TRUE(book.Close());
  EXPECT_EQ(ImportedRows(dir.File("Liste.xlsx")), Expected());
}

// A list or plan exported under an ".xls" name is the old binary format under that very
// name, and the program's own reader gives back every cell.
TEST(OwnExportsReadBack, XlsNamesThroughTheRowWriter) {
  TTempDir dir;
  WriteAllBytes(dir.File("Liste.xlsx"), "nebenan");
  TCsvOrExcel book;
  ASSERT_TRUE(book.OpenExcel(dir.File("Liste.xls")));
  for (const auto& row : kTable) ASSERT_TRUE(book.WriteCells(row));
  ASSERT_TRUE(book.Close());
  EXPECT_EQ(TableReaderKindOf(dir.File("Liste.xls")), TTableReaderKind::Xls);
  EXPECT_EQ(ImportedRows(dir.File("Liste.xls")), Expected());
  EXPECT_EQ(ReadAllBytes(dir.File("Liste.xlsx")), "nebenan");
}
