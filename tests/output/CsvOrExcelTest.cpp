#include "output/CsvOrExcelUnit.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "basic/MultiLingua.h"
#include "output/SpreadsheetTestSupport.h"
#include "platform/PlatformFiles.h"
#include "platform/RegistryStore.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

namespace {

std::string Le16(int v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string Record(int id, const std::string& data) {
  return Le16(id) + Le16(static_cast<int>(data.size())) + data;
}
const std::string kEof = Record(0x000A, "");

std::vector<std::string> FolderNames(const TTempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------------------------------
// Kinds, filters, names

TEST(SpreadsheetNames, KindsLettersCellsAndFilter) {
  struct TKind {
    const char* name;
    int kind;
  };
  const TKind kinds[] = {{"a.csv", 1},        {"A.TXT", 1},   {"liste.Xls", 2}, {"b.xlsx", 2},
                         {"c.dbf", 2},        {"d.ods", 3},   {"e.odt", 0},     {"f", 0},
                         {"g.cs", 0},         {"", 0},        {"ordner.csv/h", 0},
                         {"/x/Liste.2024.txt", 1}};
  for (const TKind& k : kinds) EXPECT_EQ(SpreadsheetFileKind(k.name), k.kind) << k.name;

  struct TLetters {
    int column;
    const char* letters;
  };
  const TLetters letters[] = {{1, "A"},   {26, "Z"},   {27, "AA"}, {52, "AZ"}, {53, "BA"},
                              {702, "ZZ"}, {703, ""}, {0, ""},    {-5, ""},   {100000, ""}};
  for (const TLetters& l : letters) EXPECT_EQ(ColumnLetters(l.column), l.letters) << l.column;
  EXPECT_EQ(CellName(2, 7), "B7");
  EXPECT_EQ(CellName(28, 65535), "AB65535");
  EXPECT_EQ(CellName(703, 1), "");

  EXPECT_EQ(SpreadsheetOpenFilter("Tabelle", "", ""),
            "Tabelle (.xls .ods .dbf .csv .txt)|*.xls;*.xlsx;*.ods;*.csv;*.txt;*.dbf;|"
            "Excel (.xls)|*.xls;*.xlsx|OpenOffice (.ods)|*.ods|CSV (.csv .txt)|*.csv;*.txt");
  EXPECT_EQ(SpreadsheetOpenFilter("Import", "XML", "*.xml"),
            "Import (.xls .ods .dbf .csv .txt)|*.xls;*.xlsx;*.ods;*.csv;*.txt;*.dbf;*.xml|"
            "Excel (.xls)|*.xls;*.xlsx|OpenOffice (.ods)|*.ods|CSV (.csv .txt)|*.csv;*.txt|"
            "XML|*.xml");
}

// ---------------------------------------------------------------------------------------
// The native writer

TEST(NativeXls, EmptyBooksOfEveryVersion) {
  const std::string bof6 = Le16(0x0200) + Le16(0x0010) + Le16(0);
  const std::string dim10 = Le16(0) + Le16(0xFFFF) + Le16(0) + Le16(256) + Le16(0);
  const std::string expected[] = {
      Record(0x0009, Le16(0x0200) + Le16(0x0010)) +
          Record(0x0000, Le16(0) + Le16(0xFFFF) + Le16(0) + Le16(256)) + kEof,
      Record(0x0209, bof6) + Record(0x0200, dim10) + kEof,
      Record(0x0409, bof6) + Record(0x0200, dim10) + kEof,
      Record(0x0809, bof6) + Record(0x0200, dim10) + kEof,
  };
  TTempDir dir;
  for (int version = 0; version < 4; ++version) {
    SCOPED_TRACE(version);
    TNativeXLS book(version);
    const std::string file = dir.File("leer" + std::to_string(version) + ".xls");
    ASSERT_TRUE(book.SaveToFile(file));
    EXPECT_EQ(ReadAllBytes(file), expected[version]);
    EXPECT_EQ(book.Bytes(), expected[version]);
  }
  EXPECT_EQ(TNativeXLS().Version(), 3);
  EXPECT_EQ(FolderNames(dir).size(), 4u);  // no "~" file left
}

TEST(NativeXls, CellsAreLabelsOfAtMost255Characters) {
  TNativeXLS book;
  const size_t header = book.Bytes().size();
  book.AddText("Schl\xFCssel");
  const std::string label = Record(0x0004, Le16(0) + Le16(0) + std::string("\x40\x00\x00", 3) +
                                               "\x09" "Schl\xFCssel");
  EXPECT_EQ(book.Bytes().substr(header), label);
  EXPECT_EQ(book.Row(), 1);
  EXPECT_EQ(book.Column(), 2);

  const std::string longText(300, 'x');
  book.AddText(longText);
  const std::string cut = book.Bytes().substr(header + label.size());
  ASSERT_EQ(cut.size(), 4u + 263u);
  EXPECT_EQ(cut.substr(0, 4), Le16(0x0004) + Le16(263));
  EXPECT_EQ(static_cast<uint8_t>(cut[4 + 7]), 255);  // text length byte
  EXPECT_EQ(cut.substr(4 + 8), std::string(255, 'x'));
  EXPECT_EQ(cut.substr(4, 4), Le16(0) + Le16(1));  // row 0, column 1

  book.NewRow();
  EXPECT_EQ(book.Row(), 2);
  EXPECT_EQ(book.Column(), 1);
}

TEST(NativeXls, AttributeBytes) {
  struct TCase {
    bool hidden, locked;
    int font;
    bool shaded;
    int border, alignment;
    const char* bytes;
  };
  const TCase cases[] = {
      {false, true, 0, false, 0, 0, "\x40\x00\x00"},
      {true, false, 0, false, 0, 0, "\x80\x00\x00"},
      {true, true, 3, false, 0, 0, "\xC0\xC0\x00"},
      {false, false, 1, true, 0, 0, "\x00\x40\x80"},
      {false, false, 2, false, 1, 1, "\x00\x80\x21"},
      {false, false, 0, false, 2, 2, "\x00\x00\x43"},
      {false, false, 0, false, 4, 3, "\x00\x00\x0A"},
      {false, false, 0, false, 8, 4, "\x00\x00\x14"},
      {false, false, 0, true, 15, 5, "\x00\x00\xFF"},
  };
  for (const TCase& c : cases) {
    TNativeXLS book;
    book.Hidden = c.hidden;
    book.Locked = c.locked;
    book.FontIndex = c.font;
    book.Shaded = c.shaded;
    book.Border = c.border;
    book.Alignment = c.alignment;
    const size_t header = book.Bytes().size();
    book.AddText("a");
    EXPECT_EQ(book.Bytes().substr(header + 8, 3), std::string(c.bytes, 3))
        << c.font << " " << c.border << " " << c.alignment;
  }
}

TEST(NativeXls, CursorMovesAndStopsAtTheEdges) {
  struct TCase {
    int mode;
    int row, column;  // where the cell is written (reached by moves from A1)
    int nextRow, nextColumn;
  };
  // Reaching a position: rows by NewRow, columns by cells in mode 4.
  const TCase cases[] = {
      {4, 1, 1, 1, 2},        {4, 3, 255, 3, 256},    {4, 3, 256, 3, 257},
      {3, 2, 5, 2, 4},        {3, 2, 1, 1, 256},      {2, 7, 3, 8, 3},
      {2, 65535, 3, 1, 4},    {1, 7, 3, 6, 3},        {1, 1, 3, 65535, 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << ": " << c.row << "/" << c.column);
    TNativeXLS book;
    book.Hidden = true;  // the filler cells are never looked at
    for (int r = 1; r < c.row; ++r) book.NewRow();
    for (int col = 1; col < c.column; ++col) book.AddText("");
    ASSERT_EQ(book.Row(), c.row);
    ASSERT_EQ(book.Column(), c.column);
    book.CursorMode = c.mode;
    book.AddText("z");
    EXPECT_EQ(book.Row(), c.nextRow);
    EXPECT_EQ(book.Column(), c.nextColumn);
    EXPECT_FALSE(book.Overflowed());
    const std::string last = book.Bytes().substr(book.Bytes().size() - 13);
    EXPECT_EQ(last.substr(4, 4), Le16(c.row - 1) + Le16(c.column - 1));
  }
}

TEST(NativeXls, BooksBeyondTheLimitsAreRefusedWhole) {
  TTempDir dir;
  const std::string file = dir.File("liste.xls");
  WriteAllBytes(file, "alt");

  // 256 cells fit a row; the 257th would have wrapped into the next row.
  TNativeXLS wide;
  for (int col = 1; col <= 256; ++col) wide.AddText("c");
  EXPECT_FALSE(wide.Overflowed());
  const std::string before = wide.Bytes();
  wide.AddText("zu viel");
  EXPECT_TRUE(wide.Overflowed());
  EXPECT_EQ(wide.Bytes(), before);
  EXPECT_FALSE(wide.SaveToFile(file));

  // 65535 rows fit; a cell in row 65536 would have overwritten row 65535.
  TNativeXLS tall;
  for (int row = 1; row < 65535; ++row) tall.NewRow();
  tall.AddText("letzte");
  tall.NewRow();
  EXPECT_FALSE(tall.Overflowed());  // a row begun but left empty harms nothing
  tall.AddText("zu viel");
  EXPECT_TRUE(tall.Overflowed());
  EXPECT_FALSE(tall.SaveToFile(file));
  EXPECT_EQ(ReadAllBytes(file), "alt");

  // The export says which limit it hit and writes nothing.
  TScopedRecorder ui;
  std::vector<std::string> lines(65536, "a\tb");
  std::string name = file;
  EXPECT_FALSE(WriteNativeXls(lines, '\t', name));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, NativeXlsLimitText());
  EXPECT_NE(ui.messages[0].text.find("65535"), std::string::npos);
  EXPECT_NE(ui.messages[0].text.find("256"), std::string::npos);
  EXPECT_EQ(ReadAllBytes(file), "alt");
  lines.pop_back();
  EXPECT_TRUE(WriteNativeXls(lines, '\t', name));
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(FolderNames(dir), std::vector<std::string>{"liste.xls"});
}

TEST(NativeXls, TargetGetsXlsAndAFailedSaveKeepsTheOldFile) {
  TTempDir dir;
  TNativeXLS book;
  book.AddText("neu");
  EXPECT_FALSE(book.SaveToFile(""));
  WriteAllBytes(dir.File("liste.xls"), "alt");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    EXPECT_FALSE(book.SaveToFile(dir.File("liste.csv")));
  }
  EXPECT_EQ(book.FileName(), dir.File("liste.xls"));
  EXPECT_EQ(ReadAllBytes(dir.File("liste.xls")), "alt");
  EXPECT_EQ(FolderNames(dir), std::vector<std::string>{"liste.xls"});
  const std::string bytes = book.Bytes();
  ASSERT_TRUE(book.SaveToFile(dir.File("liste.csv")));  // the stream stayed intact
  EXPECT_EQ(ReadAllBytes(dir.File("liste.xls")), bytes);
  ASSERT_TRUE(book.SaveToFile(dir.File("Liste.XLS")));
  EXPECT_EQ(book.FileName(), dir.File("Liste.XLS"));
  ASSERT_TRUE(book.SaveToFile(dir.File("ohne")));
  EXPECT_EQ(book.FileName(), dir.File("ohne.xls"));
  EXPECT_EQ(bytes.substr(bytes.size() - 4), kEof);  // one EOF, however often saved
  EXPECT_EQ(ReadAllBytes(dir.File("ohne.xls")), bytes);
}

// ---------------------------------------------------------------------------------------
// CSV

TEST(CsvWriter, CellsReadBackAsTheyWere) {
  struct TCase {
    char separator;
    const char* cell;
    const char* written;
  };
  const TCase cases[] = {
      {'\t', "plain", "plain"},
      {'\t', "zwei\r\nZeilen", "zwei  Zeilen"},
      {'\t', "mit\tTab", "mit Tab"},
      {'\t', "a;b", "a;b"},
      {'\t', "sagt \"hallo\"", "\"sagt \"\"hallo\"\"\""},
      {'\t', "'0042", "\"'0042\""},
      {'\t', "0042", "0042"},
      {';', "a;b", "\"a;b\""},
      {';', "mit\tTab", "mit\tTab"},
      {',', "1,5", "\"1,5\""},
      {'\t', "", ""},
  };
  TTempDir dir;
  for (const TCase& c : cases) {
    TCsvOrExcel csv;
    csv.Separator = c.separator;
    ASSERT_TRUE(csv.Open(dir.File("t.csv")));
    ASSERT_TRUE(csv.WriteCells({c.cell, "x"}));
    ASSERT_TRUE(csv.Close());
    EXPECT_EQ(ReadAllBytes(dir.File("t.csv")),
              std::string(c.written) + c.separator + "x\r\n")
        << c.cell;
  }
}

TEST(CsvWriter, WritesUnderATildeNameAndReplacesTheTargetWhenComplete) {
  TTempDir dir;
  const std::string file = dir.File("neu/Liste.csv");  // the folder is made
  TCsvOrExcel csv;
  ASSERT_TRUE(csv.Open(file));
  EXPECT_EQ(csv.Mode(), cemText);
  EXPECT_TRUE(csv.WriteLine("Name\tNr"));
  EXPECT_TRUE(csv.WriteLine("T\xFCr\r\n1\t2"));
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() / "neu"), {}), 1);
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path() / "neu")->path().filename().string()[0], '~');
  EXPECT_EQ(csv.Header(), "Name\tNr");
  EXPECT_EQ(csv.RowCount(), 2);
  ASSERT_TRUE(csv.Close());
  EXPECT_EQ(csv.Mode(), cemClosed);
  EXPECT_EQ(ReadAllBytes(file), "Name\tNr\r\nT\xFCr  1\t2\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() / "neu"), {}), 1);
  EXPECT_TRUE(csv.Close());
  EXPECT_FALSE(csv.WriteLine("zu"));

  // A write error is reported by Close, and the old file stays.
  {
    TCsvOrExcel failing;
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Write ? ENOSPC : 0; });
    ASSERT_TRUE(failing.Open(file));
    EXPECT_TRUE(failing.WriteLine("kommt nie an"));  // still in the buffer
    EXPECT_FALSE(failing.Close());
  }
  EXPECT_EQ(ReadAllBytes(file), "Name\tNr\r\nT\xFCr  1\t2\r\n");
  {
    TCsvOrExcel dropped;
    ASSERT_TRUE(dropped.Open(file));
    dropped.WriteLine("halb");
    dropped.Discard();
  }
  EXPECT_EQ(ReadAllBytes(file), "Name\tNr\r\nT\xFCr  1\t2\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() / "neu"), {}), 1);

  // Big exports pass the buffer many times; the file ends up whole.
  {
    TCsvOrExcel big;
    ASSERT_TRUE(big.Open(file));
    for (int i = 0; i < 50000; ++i) ASSERT_TRUE(big.WriteLine("Zeile " + std::to_string(i)));
  }  // closing by the destructor
  const std::string bytes = ReadAllBytes(file);
  EXPECT_EQ(bytes.substr(0, 9), "Zeile 0\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 13), "Zeile 49999\r\n");

  TCsvOrExcel other;
  EXPECT_FALSE(other.Open(dir.File("liste.odt")));
  EXPECT_FALSE(other.Open(dir.File("liste.ods")));
  WriteAllBytes(dir.File("datei"), "x");
  EXPECT_FALSE(other.Open(dir.File("datei/liste.csv")));  // the folder cannot be made
  EXPECT_EQ(other.Mode(), cemClosed);
}

TEST(CsvWriter, ReplacesTheFileALinkLeadsTo) {
  TTempDir dir;
  WriteAllBytes(dir.File("echt.csv"), "alt");
  chmod(dir.File("echt.csv").c_str(), 0640);
  std::filesystem::create_symlink(dir.File("echt.csv"), dir.File("link.csv"));
  TCsvOrExcel csv;
  ASSERT_TRUE(csv.Open(dir.File("link.csv")));
  csv.WriteLine("neu");
  ASSERT_TRUE(csv.Close());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.csv")));
  EXPECT_EQ(ReadAllBytes(dir.File("echt.csv")), "neu\r\n");
  struct stat info {};
  stat(dir.File("echt.csv").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// ---------------------------------------------------------------------------------------
// Workbooks

TEST(XlsxWriter, WritesTextCellsInSheetsOfSixtyThousandRows) {
  TTempDir dir;
  WriteAllBytes(dir.File("liste.xlsx"), "alt");
  TCsvOrExcel book;
  ASSERT_TRUE(book.Open(dir.File("liste.xlsx")));
  EXPECT_EQ(book.Mode(), cemWorkbook);
  EXPECT_EQ(book.FileName(), dir.File("liste.xlsx"));
  lxw_worksheet* sheet = nullptr;
  EXPECT_TRUE(book.GetWorksheet(sheet));
  EXPECT_NE(sheet, nullptr);
  ASSERT_TRUE(book.WriteLine("Name\tNr\tBemerkung"));
  ASSERT_TRUE(book.WriteCells({"M\xFCller", "0042", "sagt \"ja\"\x01"}));
  EXPECT_EQ(ReadAllBytes(dir.File("liste.xlsx")), "alt");  // nothing replaced yet
  EXPECT_TRUE(book.SetCell(4, 2, "sp\xE4t"));  // the last row is still open
  EXPECT_TRUE(book.SetCell(2, 4, "weiter"));
  EXPECT_FALSE(book.SetCell(1, 3, "zur\xFC" "ck"));  // row 3 lies before row 4
  for (int row = 5; row <= 60001; ++row) ASSERT_TRUE(book.WriteLine("r" + std::to_string(row)));
  EXPECT_EQ(book.WorksheetNumber(), 2);
  EXPECT_EQ(book.Header(), "Name\tNr\tBemerkung");
  ASSERT_TRUE(book.Close());
  EXPECT_FALSE(book.GetWorksheet(sheet));

  const auto entries = ZipEntries(ReadAllBytes(dir.File("liste.xlsx")));
  ASSERT_TRUE(entries.count("xl/worksheets/sheet1.xml"));
  ASSERT_TRUE(entries.count("xl/worksheets/sheet2.xml"));
  EXPECT_FALSE(entries.count("xl/worksheets/sheet3.xml"));
  const std::string& first = entries.at("xl/worksheets/sheet1.xml");
  const std::string& second = entries.at("xl/worksheets/sheet2.xml");
  EXPECT_NE(first.find("<c r=\"A1\" s=\"1\" t=\"inlineStr\"><is><t>Name</t>"), std::string::npos);
  EXPECT_NE(first.find("<t>M\xC3\xBCller</t>"), std::string::npos);  // UTF-8
  EXPECT_NE(first.find("<c r=\"B2\" t=\"inlineStr\"><is><t>0042</t>"), std::string::npos);
  EXPECT_NE(first.find("<t xml:space=\"preserve\">sagt \"ja\" </t>"), std::string::npos);
  EXPECT_NE(first.find("<c r=\"D2\" t=\"inlineStr\"><is><t>sp\xC3\xA4t</t>"), std::string::npos);
  EXPECT_EQ(first.find("zur\xC3\xBC" "ck"), std::string::npos);
  EXPECT_NE(first.find("<row r=\"60000\""), std::string::npos);
  EXPECT_EQ(first.find("<row r=\"60001\""), std::string::npos);
  EXPECT_NE(first.find("<cols>"), std::string::npos);  // fitted widths
  EXPECT_NE(second.find("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>r60001</t>"),
            std::string::npos);
  EXPECT_NE(entries.at("xl/workbook.xml").find("name=\"Tabelle2\""), std::string::npos);
  EXPECT_EQ(FolderNames(dir), std::vector<std::string>{"liste.xlsx"});
}

TEST(XlsxWriter, PlainBooksFailedBooksAndNamesOfNoWritableKind) {
  TTempDir dir;
  TCsvOrExcel book;
  // The program writes no dBase file nor any other kind of that name: refused, said why,
  // and nothing written in its place (an ".xlsx" beside it least of all).
  WriteAllBytes(dir.File("a.xlsx"), "alt");
  for (const char* name : {"a.dbf", "a.xlsm", "a.DBF"}) {
    EXPECT_FALSE(book.OpenExcel(dir.File(name))) << name;
    EXPECT_EQ(book.Refusal(), GetMLTextFmt(CsvOrExcelTexts(), 2, name)) << name;
    EXPECT_FALSE(book.Open(dir.File(name))) << name;
    EXPECT_FALSE(book.Refusal().empty()) << name;
  }
  EXPECT_EQ(FolderNames(dir), std::vector<std::string>{"a.xlsx"});
  EXPECT_EQ(ReadAllBytes(dir.File("a.xlsx")), "alt");
  ASSERT_TRUE(book.OpenExcel(dir.File("a.xlsx")));
  EXPECT_EQ(book.Refusal(), "");
  EXPECT_EQ(book.FileName(), dir.File("a.xlsx"));
  book.SetMode(true);
  book.WriteLine("Kopf\tzwei");
  ASSERT_TRUE(book.Close());
  const std::string sheet = ZipEntries(ReadAllBytes(dir.File("a.xlsx")))["xl/worksheets/sheet1.xml"];
  EXPECT_NE(sheet.find("<c r=\"A1\" t=\"inlineStr\"><is><t>Kopf</t>"), std::string::npos);
  EXPECT_EQ(sheet.find("<cols>"), std::string::npos);

  EXPECT_FALSE(book.OpenExcel(""));
  EXPECT_FALSE(book.SetCell(1, 1, "x"));  // closed
  TCsvOrExcel text;
  ASSERT_TRUE(text.Open(dir.File("b.csv")));
  EXPECT_FALSE(text.SetCell(1, 1, "x"));  // no cells in text files
  lxw_worksheet* none = nullptr;
  EXPECT_FALSE(text.GetWorksheet(none));
  text.Discard();

  // A book that cannot be completed leaves the old file.
  WriteAllBytes(dir.File("a.xlsx"), "alt");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    ASSERT_TRUE(book.OpenExcel(dir.File("a.xlsx")));
    book.WriteLine("neu");
    EXPECT_FALSE(book.Close());
  }
  EXPECT_EQ(ReadAllBytes(dir.File("a.xlsx")), "alt");
  EXPECT_EQ(FolderNames(dir), std::vector<std::string>{"a.xlsx"});
}

// An ".xls" name gets the old binary format under exactly that name: an ".xlsx" beside it
// stays as it was, and a table beyond the format's limits is refused whole with the text
// that proposes ".xlsx", never cut or wrapped.
TEST(XlsWriter, XlsNamesGetTheOldFormatUnderThatNameOrARefusal) {
  TTempDir dir;
  WriteAllBytes(dir.File("liste.xlsx"), "nebenan");
  WriteAllBytes(dir.File("Liste.XLS"), "alt");
  TCsvOrExcel book;
  ASSERT_TRUE(book.Open(dir.File("Liste.XLS")));
  EXPECT_EQ(book.Mode(), cemNativeXls);
  EXPECT_EQ(book.FileName(), dir.File("Liste.XLS"));
  ASSERT_TRUE(book.WriteLine("Name\tNr"));
  ASSERT_TRUE(book.WriteCells({"M\xFCller", "", "0042\r\n", "", ""}));  // empty cells: no record
  EXPECT_FALSE(book.SetCell(1, 3, "x"));                  // the old format is written row by row
  EXPECT_EQ(ReadAllBytes(dir.File("Liste.XLS")), "alt");  // nothing replaced yet
  ASSERT_TRUE(book.Close());
  TNativeXLS expected;
  expected.AddText("Name");
  expected.AddText("Nr");
  expected.NewRow();
  expected.AddText("M\xFCller");
  expected.SkipCell();
  expected.AddText("0042  ");
  expected.NewRow();
  expected.EndBook();
  EXPECT_EQ(ReadAllBytes(dir.File("Liste.XLS")), expected.Bytes());
  EXPECT_EQ(ReadAllBytes(dir.File("liste.xlsx")), "nebenan");
  EXPECT_EQ(FolderNames(dir), (std::vector<std::string>{"Liste.XLS", "liste.xlsx"}));

  // Larger than 256 KB: written as it grows, the same bytes.
  TNativeXLS big;
  ASSERT_TRUE(book.OpenExcel(dir.File("gross.xls")));
  for (int row = 0; row < 20000; ++row) {
    const std::vector<std::string> cells = {"Zeile " + std::to_string(row), "0815", "\x80"};
    ASSERT_TRUE(book.WriteCells(cells));
    for (const auto& cell : cells) big.AddText(cell);
    big.NewRow();
  }
  ASSERT_TRUE(book.Close());
  big.EndBook();
  EXPECT_EQ(ReadAllBytes(dir.File("gross.xls")), big.Bytes());

  // 256 cells fit a row, 257 do not; 65535 rows fit, row 65536 does not.
  const struct {
    const char* name;
    int rows;
    int columns;
    bool fits;
  } cases[] = {{"256 Spalten", 2, 256, true},
               {"257 Spalten", 2, 257, false},
               {"65535 Zeilen", 65535, 1, true},
               {"65536 Zeilen", 65536, 1, false}};
  for (const auto& c : cases) {
    WriteAllBytes(dir.File("grenze.xls"), "alt");
    ASSERT_TRUE(book.OpenExcel(dir.File("grenze.xls"))) << c.name;
    bool written = true;
    for (int row = 0; row < c.rows && written; ++row)
      written = book.WriteCells(std::vector<std::string>(static_cast<size_t>(c.columns), "x"));
    // Trailing empty cells are no cells: a row of 256 and some empty ones fits.
    if (written && c.rows < 65535) written = book.WriteCells({"a", "", ""});
    EXPECT_EQ(book.Close(), c.fits) << c.name;
    if (c.fits) {
      EXPECT_EQ(book.Refusal(), "") << c.name;
      EXPECT_NE(ReadAllBytes(dir.File("grenze.xls")), "alt") << c.name;
    } else {
      EXPECT_EQ(book.Refusal(), NativeXlsLimitText()) << c.name;
      EXPECT_NE(book.Refusal().find("xlsx"), std::string::npos) << c.name;
      EXPECT_EQ(ReadAllBytes(dir.File("grenze.xls")), "alt") << c.name;
    }
  }
  EXPECT_EQ(FolderNames(dir),
            (std::vector<std::string>{"Liste.XLS", "grenze.xls", "gross.xls", "liste.xlsx"}));
}

// ---------------------------------------------------------------------------------------
// The office program

TEST(OfficeLookup, RegistryPathFirstThenPathOnceARun) {
  TRegistryTestRoot registry;
  TTempDir dir;
  const std::string suite = dir.File("suite") + "/";
  std::filesystem::create_directories(suite + "program");
  WriteAllBytes(suite + "program/soffice", "#!/bin/sh\n");
  chmod((suite + "program/soffice").c_str(), 0755);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", dir.File("nichts").c_str(), 1);

  ResetOfficeLookup();
  EXPECT_FALSE(GetOpenOfficePath());
  EXPECT_FALSE(OfficeAvailable());
  EXPECT_EQ(OfficeProgram(), "");

  // Registered under the machine's key: the suite's folder; without its spreadsheet part
  // it can not read spreadsheets. The answer stays for the run.
  TRegistryStore store(registry.UserRoot(), registry.MachineRoot());
  ASSERT_TRUE(store.WriteString(TRegScope::Machine, "\\SOFTWARE\\OpenOffice.org\\OpenOffice.org\\2.3",
                                "Path", suite));
  EXPECT_FALSE(GetOpenOfficePath());
  ResetOfficeLookup();
  EXPECT_TRUE(GetOpenOfficePath());
  EXPECT_EQ(OfficeProgram(), suite + "program/soffice");
  EXPECT_FALSE(OfficeAvailable());
  WriteAllBytes(suite + "program/libsclo.so", "");
  ResetOfficeLookup();
  EXPECT_TRUE(OfficeAvailable());

  // Not registered: "soffice" on PATH, a link into the suite's folder.
  ASSERT_TRUE(store.WriteString(TRegScope::Machine, "\\SOFTWARE\\OpenOffice.org\\OpenOffice.org\\2.3",
                                "Path", dir.File("weg")));
  std::filesystem::create_directories(dir.Path() / "bin");
  std::filesystem::create_symlink(suite + "program/soffice", dir.File("bin/soffice"));
  setenv("PATH", dir.File("bin").c_str(), 1);
  ResetOfficeLookup();
  EXPECT_EQ(OfficeProgram(), dir.File("bin/soffice"));
  EXPECT_TRUE(OfficeAvailable());

  setenv("PATH", savedPath.c_str(), 1);
  ResetOfficeLookup();
}

}  // namespace
