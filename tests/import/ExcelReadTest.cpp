#include "import/ExcelReadUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "import/ImportTable.h"
#include "import/ImportText.h"
#include "import/ReadXls.h"
#include "import/ReadXlsx.h"
#include "import/OfficeScope.h"
#include "import/SheetFixtures.h"
#include "support/TestSupport.h"

namespace {

using Rows = std::vector<std::string>;

// German short dates for the test's lifetime.
class TDateFormatScope {
 public:
  explicit TDateFormatScope(const std::string& format) : old_(DateFormatText()) {
    SetDateFormat(format);
  }
  ~TDateFormatScope() { SetDateFormat(old_); }

 private:
  std::string old_;
};

// What an import makes of a spreadsheet file: the reader's TAB text, read back as rows and
// cut into TAB fields.
Rows ImportedRows(const std::string& file) {
  std::string text;
  std::string error;
  EXPECT_TRUE(ReadSpreadsheetFile(file, text, &error)) << file << ": " << error;
  if (text.empty()) return {};
  Rows rows;
  EXPECT_TRUE(ReadImportTextFile(text, rows));
  DeleteTempFile(text);
  CsvLinesToTabLines(rows);
  return rows;
}

class Readers : public ::testing::Test {
 protected:
  TTempDir dir;
  TDateFormatScope dates{"dd.MM.yyyy"};
};

}  // namespace

TEST_F(Readers, SheetCellsAreSparseAndComeBackExactlyThroughTheirText) {
  TSheetCells cells;
  cells.Set(3, 2, "c");
  cells.Set(1, 1, "a");
  cells.Set(2, 4, "x");
  cells.Set(2, 4, "");  // removes
  cells.Set(1, 1, "A");  // replaces
  cells.Set(1, 3, "Zeile 1\nZeile 2");
  cells.Set(2, 3, "'s-Hertogenbosch");
  cells.Set(3, 3, "\"zitiert\" und;so");
  cells.Set(4, 3, "a\tb");
  int rows = 0, cols = 0;
  cells.Size(rows, cols);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 4);
  EXPECT_EQ(cells.Get(1, 1), "A");
  EXPECT_EQ(cells.Get(2, 4), "");
  EXPECT_EQ(cells.Get(9, 9), "");
  EXPECT_EQ(cells.CellCount(), 6u);
  Rows lines = cells.AsTabLines();
  EXPECT_EQ(lines, (Rows{"A", "\t\tc",
                         "\"Zeile 1\nZeile 2\"\t\"'s-Hertogenbosch\"\t\"\"\"zitiert\"\" und;so\"\t\"a\tb\""}));
  // Through the import's text reader: exactly the cells (a break and a TAB in a cell
  // become blanks there).
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  Rows back = ReadImportText(text);
  CsvLinesToTabLines(back);
  EXPECT_EQ(back, (Rows{"A", "\t\tc", "Zeile 1 Zeile 2\t's-Hertogenbosch\t\"zitiert\" und;so\ta b"}));

  // A sheet of one column still keeps its ";" inside the cells.
  TSheetCells single;
  single.Set(1, 1, "Name");
  single.Set(1, 2, "M\xFCller; Hans");
  text.clear();
  for (const auto& l : single.AsTabLines()) text += l + "\r\n";
  back = ReadImportText(text);
  CsvLinesToTabLines(back);
  EXPECT_EQ(back, (Rows{"Name", "M\xFCller; Hans"}));
}

TEST_F(Readers, NumbersAndDates) {
  struct Case {
    double value;
    std::string text;
  };
  for (const Case& c : {Case{0, "0"}, Case{-0.0, "0"}, Case{42, "42"}, Case{-7, "-7"},
                        Case{12.5, "12.5"}, Case{0.1 + 0.2, "0.3"}, Case{1e15, "1e+15"},
                        Case{123456789012, "123456789012"}, Case{1.0 / 3, "0.333333333333333"}})
    EXPECT_EQ(FormatSheetNumber(c.value), c.text) << c.value;
  EXPECT_EQ(FormatSheetDateTime(45366, TSheetDateKind::Date), "15.03.2024");
  EXPECT_EQ(FormatSheetDateTime(45366.75, TSheetDateKind::DateTime), "15.03.2024 18:00");
  EXPECT_EQ(FormatSheetDateTime(45366.5 + 5.0 / 86400, TSheetDateKind::DateTime),
            "15.03.2024 12:00:05");
  EXPECT_EQ(FormatSheetDateTime(0.999999999, TSheetDateKind::DateTime), "31.12.1899 00:00");
  EXPECT_EQ(FormatSheetDateTime(0.25, TSheetDateKind::Time), "06:00");
  SetDateFormat("MM/dd/yyyy");
  EXPECT_EQ(FormatSheetDateTime(45366, TSheetDateKind::Date), "03/15/2024");
}

TEST_F(Readers, SpreadsheetToGridFillsTheImportTable) {
  TImportTable table;
  table.SetColCount(2);
  table.SetRowCount(5);
  table.SetCell(0, 0, "Caption");
  table.SetCell(1, 3, "old");
  table.SetMark(1, 3, 1);
  table.SetCaptionObject(1, 77);
  SpreadsheetToGrid({"a\tb\tc", "", "\t\tz"}, table, 0, true, 1);
  EXPECT_EQ(table.ColCount(), 3);
  EXPECT_EQ(table.RowCount(), 4);
  EXPECT_EQ(table.Cell(0, 0), "Caption");
  EXPECT_EQ(table.Cell(0, 1), " a");
  EXPECT_EQ(table.Cell(2, 1), " c");
  EXPECT_EQ(table.Cell(1, 2), "");
  EXPECT_EQ(table.Cell(0, 3), "");
  EXPECT_EQ(table.Cell(1, 3), "");  // the old cell was emptied
  EXPECT_EQ(table.Mark(1, 3), 0);
  EXPECT_EQ(table.Cell(2, 3), " z");
  EXPECT_EQ(table.CaptionObject(1), 77);
  EXPECT_EQ(table.Cell(5, 5), "");

  // From a column on: the cells left of it stay.
  SpreadsheetToGrid({"x"}, table, 2, false, 1);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(0, 1), " a");
  EXPECT_EQ(table.Cell(2, 1), "x");
  table.Clear();
  EXPECT_EQ(table.ColCount(), 0);
  EXPECT_EQ(table.FixedRows(), 1);
}

TEST_F(Readers, TheReaderIsChosenByTheFirstBytesAmongSpreadsheetExtensions) {
  WriteAllBytes(dir.File("native.xls"), MakeNativeXls({{0, 0, "a"}}));
  WriteAllBytes(dir.File("ole.xls"), MakeOle2Xls({{"S", {{0, 0, TOleCell::Text, "a"}}}}));
  WriteAllBytes(dir.File("book.xlsx"), MakeZip({{"a.txt", "x"}}));
  WriteAllBytes(dir.File("zip-named.xls"), MakeZip({{"a.txt", "x"}}));
  WriteAllBytes(dir.File("sheet.ods"), MakeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}}));
  WriteAllBytes(dir.File("page.xls"), "<html><table><tr><td>1</td></tr></table></html>");
  WriteAllBytes(dir.File("data.dbf"), std::string("\x03\x7C\x01\x01", 4));
  WriteAllBytes(dir.File("ole.csv"), MakeOle2Xls({{"S", {{0, 0, TOleCell::Text, "a"}}}}));
  struct Case {
    const char* file;
    TTableReaderKind kind;
  };
  for (const Case& c : {Case{"native.xls", TTableReaderKind::Xls}, Case{"ole.xls", TTableReaderKind::Xls},
                        Case{"book.xlsx", TTableReaderKind::Xlsx},
                        Case{"zip-named.xls", TTableReaderKind::Xlsx},
                        Case{"sheet.ods", TTableReaderKind::Office},
                        Case{"page.xls", TTableReaderKind::Office},
                        Case{"data.dbf", TTableReaderKind::Office},
                        Case{"ole.csv", TTableReaderKind::None}, Case{"a.txt", TTableReaderKind::None}})
    EXPECT_EQ(TableReaderKindOf(dir.File(c.file)), c.kind) << c.file;

  EXPECT_EQ(CreateTableReader(), nullptr);
  EXPECT_EQ(ExcelReadText(1), "Es wurde kein ge\xF6" "ffnetes Tabellen-Fenster gefunden.");
  EXPECT_EQ(CreateFileReader(""), nullptr);
  EXPECT_EQ(CreateFileReader(dir.File("missing.xls")), nullptr);
  EXPECT_EQ(CreateFileReader(dir.File("ole.csv")), nullptr);
  std::string text = "old";
  EXPECT_FALSE(ReadSpreadsheetFile(dir.File("ole.csv"), text));
  EXPECT_EQ(text, "");

  TOfficeScope none(nullptr);
  EXPECT_TRUE(SpreadsheetReadable("a.xls"));
  EXPECT_TRUE(SpreadsheetReadable("a.XLSX"));
  EXPECT_TRUE(SpreadsheetReadable("a.csv"));
  EXPECT_FALSE(SpreadsheetReadable("a.ods"));
  EXPECT_FALSE(SpreadsheetReadable("a.dbf"));
  // Without the office program a web page named ".xls" cannot be read, and says why.
  std::string error;
  EXPECT_EQ(CreateFileReader(dir.File("page.xls"), &error), nullptr);
  EXPECT_NE(error.find("LibreOffice"), std::string::npos);
}

TEST_F(Readers, TheProgramsOwnSpreadsheetExportReadsBack) {
  std::string longText(300, 'x');
  WriteAllBytes(dir.File("Export.xls"),
                MakeNativeXls({{0, 0, "Name"}, {0, 1, "Nr"}, {0, 2, "Datum"},
                               {1, 0, "M\xFCller, J\xFCrgen"}, {1, 1, "0815"}, {1, 2, "15.03.2024"},
                               {2, 0, "\x80 \x8A\x9A"}, {2, 2, longText}, {4, 1, "'s-Hertogenbosch"}}));
  EXPECT_EQ(ImportedRows(dir.File("Export.xls")),
            (Rows{"Name\tNr\tDatum", "M\xFCller, J\xFCrgen\t0815\t15.03.2024",
                  "\x80 \x8A\x9A\t\t" + std::string(255, 'x'), "", "\t's-Hertogenbosch"}));
  // An export without cells reads as an empty sheet.
  WriteAllBytes(dir.File("Leer.xls"), MakeNativeXls({}));
  EXPECT_EQ(ImportedRows(dir.File("Leer.xls")), Rows{});
}

TEST_F(Readers, BareBiffStreamsOfOlderProgramsAndCutFiles) {
  // The cell records of the old formats, in a BIFF2 stream.
  std::string stream = BiffRecord(0x0009, Le16(0x0002) + Le16(0x0010));
  const std::string attr("\0\0\0", 3);
  auto at = [](int row, int col) { return Le16(static_cast<unsigned>(row)) + Le16(static_cast<unsigned>(col)); };
  stream += BiffRecord(0x0003, at(0, 0) + attr + LeDouble(12.5));                // NUMBER
  stream += BiffRecord(0x0002, at(0, 1) + attr + Le16(815));                     // INTEGER
  stream += BiffRecord(0x0005, at(0, 2) + attr + std::string("\x01\x00", 2));    // TRUE
  stream += BiffRecord(0x0005, at(0, 3) + attr + std::string("\x07\x01", 2));    // #DIV/0!
  stream += BiffRecord(0x0006, at(1, 0) + attr + LeDouble(3) + std::string(3, '\0'));  // formula 3
  stream += BiffRecord(0x0006, at(1, 1) + attr + std::string("\0\0\0\0\0\0\xFF\xFF", 8) +
                                   std::string(3, '\0'));
  stream += BiffRecord(0x0007, std::string("\x05") + "Summe");                  // its text
  stream += BiffRecord(0x027E, at(2, 0) + Le16(0) + Le32((1234u << 2) | 3));      // RK 12.34
  stream += BiffRecord(0x00BD, at(2, 1) + Le16(0) + Le32((7u << 2) | 2) + Le16(0) +
                                   Le32((8u << 2) | 2) + Le16(2));                // MULRK 7, 8
  stream += BiffRecord(0x0204, at(3, 0) + Le16(0) + Le16(3) + "abc");             // LABEL
  stream += BiffRecord(0x000A, "");
  TSheetCells cells;
  std::string error;
  ASSERT_TRUE(ReadBiffStream(stream, cells, error)) << error;
  EXPECT_EQ(cells.AsTabLines(), (Rows{"12.5\t815\t1\t#DIV/0!", "3\tSumme", "12.34\t7\t8", "abc"}));

  // A workbook stream of the later format: its global part first, then the sheet, whose
  // texts are Unicode strings.
  const std::string bof8 = Le16(0x0600) + Le16(0x0005) + Le32(0) + Le32(0) + Le32(6);
  const std::string sheetBof8 = Le16(0x0600) + Le16(0x0010) + Le32(0) + Le32(0) + Le32(6);
  std::string book = BiffRecord(0x0809, bof8) + BiffRecord(0x0042, Le16(1200)) +
                     BiffRecord(0x000A, "") + BiffRecord(0x0809, sheetBof8) +
                     BiffRecord(0x0204, at(0, 1) + Le16(0) + Le16(2) + "\x01" + Le16(0xFC) + Le16(0x20AC)) +
                     BiffRecord(0x0204, at(1, 0) + Le16(0) + Le16(3) + std::string(1, '\0') + "abc") +
                     BiffRecord(0x000A, "");
  ASSERT_TRUE(ReadBiffStream(book, cells, error)) << error;
  EXPECT_EQ(cells.AsTabLines(), (Rows{"\t\xFC\x80", "abc"}));

  // Cut short: refused, nothing half read.
  EXPECT_FALSE(ReadBiffStream(stream.substr(0, stream.size() - 6), cells, error));
  EXPECT_EQ(cells.CellCount(), 0u);
  WriteAllBytes(dir.File("cut.xls"), stream.substr(0, stream.size() - 6));
  EXPECT_EQ(CreateFileReader(dir.File("cut.xls"), &error), nullptr);
  EXPECT_EQ(error, "the file is cut short");
}

TEST_F(Readers, BinaryWorkbooksInACompoundFile) {
  WriteAllBytes(dir.File("Liste.xls"),
                MakeOle2Xls({{"Personen",
                              {{0, 0, TOleCell::Text, "Name"}, {0, 1, TOleCell::Text, "Nr"},
                               {0, 2, TOleCell::Text, "Seit"}, {0, 3, TOleCell::Text, "Betrag"},
                               {1, 0, TOleCell::Text, "M\xC3\xBCller \xE2\x82\xAC \xE4\xB8\xAD"},
                               {1, 1, TOleCell::Text, "0815"}, {1, 2, TOleCell::Date, "", 45366},
                               {1, 3, TOleCell::Number, "", 12.5}, {2, 3, TOleCell::Number, "", 42}}},
                             {"Zweite", {{0, 0, TOleCell::Text, "zwei"}}}}));
  EXPECT_EQ(ImportedRows(dir.File("Liste.xls")),
            (Rows{"Name\tNr\tSeit\tBetrag", "M\xFCller \x80 ?\t0815\t15.03.2024\t12.5", "\t\t\t42"}));

  auto reader = CreateFileReader(dir.File("Liste.xls"));
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->CurrentSheet(), 1);
  int rows = 0, cols = 0;
  reader->GetSize(rows, cols);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 4);
  EXPECT_TRUE(reader->SelectSheet(2));
  EXPECT_EQ(reader->GetCell(1, 1), "zwei");
  EXPECT_FALSE(reader->SelectSheet(3));
  EXPECT_EQ(reader->CurrentSheet(), 0);
  EXPECT_EQ(reader->GetCell(1, 1), "");
  reader->SelectActiveSheet();
  EXPECT_EQ(reader->GetCell(1, 1), "Name");
  reader->SetCell(5, 5, "0815");
  EXPECT_EQ(reader->GetCell(5, 5), "0815");
  reader->CloseFile(false);
  EXPECT_FALSE(reader->IsOpen());

  // A damaged compound file is refused.
  std::string broken = MakeOle2Xls({{"S", {{0, 0, TOleCell::Text, "a"}}}});
  broken[48] = '\x7F';  // the directory sector points nowhere
  WriteAllBytes(dir.File("broken.xls"), broken);
  EXPECT_EQ(CreateFileReader(dir.File("broken.xls")), nullptr);
}
