#include "import/ReadXlsx.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "basic/DateClock.h"
#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "import/ImportText.h"
#include "import/SheetFixtures.h"
#include "support/TestSupport.h"

namespace {

using Rows = std::vector<std::string>;
using Parts = std::vector<std::pair<std::string, std::string>>;

const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

std::string Sheet(const std::string& rows) {
  return std::string(kXmlHead) +
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<sheetData>" + rows + "</sheetData></worksheet>";
}

// A workbook as spreadsheet programs write it: content types, package relationships, the
// workbook with its relationships, shared strings, styles and the given worksheets.
Parts Workbook(const std::vector<std::pair<std::string, std::string>>& sheets,
               const std::string& strings, const std::string& workbookExtra = "") {
  std::string book = std::string(kXmlHead) +
                     "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                     "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
                     workbookExtra + "<sheets>";
  std::string rels = std::string(kXmlHead) +
                     "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  Parts parts;
  for (size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    book += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"worksheets/sheet" + n + ".xml\"/>";
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", Sheet(sheets[i].second));
  }
  book += "</sheets></workbook>";
  rels += "<Relationship Id=\"rS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
          "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>"
          "<Relationship Id=\"rY\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
          "relationships/styles\" Target=\"/xl/styles.xml\"/></Relationships>";
  const std::string styles =
      std::string(kXmlHead) +
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<numFmts count=\"4\"><numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\\ hh:mm\"/>"
      "<numFmt numFmtId=\"165\" formatCode=\"00000\"/>"
      "<numFmt numFmtId=\"166\" formatCode=\"[$-407]mmmm\\ yy;@\"/>"
      "<numFmt numFmtId=\"167\" formatCode=\"&quot;Nr. &quot;0.00\"/></numFmts>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
      "<cellXfs count=\"7\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
      "<xf numFmtId=\"165\"/><xf numFmtId=\"20\"/><xf numFmtId=\"166\"/><xf numFmtId=\"167\"/>"
      "</cellXfs></styleSheet>";
  Parts all = {
      {"[Content_Types].xml", std::string(kXmlHead) + "<Types/>"},
      {"_rels/.rels",
       std::string(kXmlHead) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
           "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", book},
      {"xl/_rels/workbook.xml.rels", rels},
      {"xl/styles.xml", styles},
  };
  if (!strings.empty())
    all.emplace_back("xl/sharedStrings.xml",
                     std::string(kXmlHead) +
                         "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                         strings + "</sst>");
  for (auto& p : parts) all.push_back(std::move(p));
  return all;
}

class Xlsx : public ::testing::Test {
 protected:
  Xlsx() : oldFormat_(DateFormatText()) { SetDateFormat("dd.MM.yyyy"); }
  ~Xlsx() override { SetDateFormat(oldFormat_); }

  std::string Write(const std::string& name, const Parts& parts) {
    const std::string file = dir.File(name);
    WriteAllBytes(file, MakeZip(parts));
    return file;
  }

  TTempDir dir;

 private:
  std::string oldFormat_;
};

Rows ImportedRows(const std::string& file) {
  std::string text;
  std::string error;
  EXPECT_TRUE(ReadSpreadsheetFile(file, text, &error)) << error;
  Rows rows;
  if (text.empty()) return rows;
  EXPECT_TRUE(ReadImportTextFile(text, rows));
  DeleteTempFile(text);
  CsvLinesToTabLines(rows);
  return rows;
}

const char* kStrings =
    "<si><t>Name</t></si><si><t>Nr</t></si>"
    "<si><r><t>M\xC3\xBC</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">ller </t></r>"
    "<rPh sb=\"0\" eb=\"1\"><t>phonetic</t></rPh></si>"
    "<si><t>Zeile 1\nZeile 2_x000D_</t></si>";

}  // namespace

TEST_F(Xlsx, InlineAndSharedStringsDatesNumbersAndUmlauts) {
  const std::string rows =
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
      "<c r=\"C1\" t=\"inlineStr\"><is><t>Datum</t></is></c></row>"
      "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>2</v></c>"
      "<c r=\"B2\" t=\"inlineStr\"><is><t>0815</t></is></c>"
      "<c r=\"C2\" s=\"1\"><v>45366</v></c><c r=\"D2\" s=\"2\"><v>45366.75</v></c>"
      "<c r=\"E2\" s=\"3\"><v>815</v></c><c r=\"F2\" s=\"4\"><v>0.5</v></c>"
      "<c r=\"G2\"><v>12.5</v></c><c r=\"H2\" t=\"b\"><v>1</v></c>"
      "<c r=\"I2\" t=\"e\"><v>#DIV/0!</v></c><c r=\"J2\" t=\"str\"><f>A1</f><v>Name</v></c>"
      "<c r=\"K2\" s=\"5\"><v>45366</v></c><c r=\"L2\" s=\"6\"><v>3</v></c></row>"
      "<row r=\"4\"><c t=\"inlineStr\"><is><r><t>\xE2\x82\xAC \xC5\xA0</t></r><r><t>\xE4\xB8\xAD</t></r>"
      "</is></c><c t=\"s\"><v>3</v></c><c r=\"E4\" t=\"inlineStr\"><is><t>'quoted'</t></is></c></row>";
  const std::string file = Write("Liste.xlsx", Workbook({{"Personen", rows}}, kStrings));
  EXPECT_EQ(ImportedRows(file),
            (Rows{"Name\tNr\tDatum",
                  "M\xFCller \t0815\t15.03.2024\t15.03.2024 18:00\t00815\t12:00\t12.5\t1\t#DIV/0!\t"
                  "Name\t15.03.2024\t3",
                  "", "\x80 \x8A?\tZeile 1 Zeile 2 \t\t\t'quoted'"}));

  // The cells themselves keep the break (the text reader makes it a blank).
  TReadXlsx reader;
  ASSERT_TRUE(reader.Open(file));
  EXPECT_EQ(reader.GetCell(2, 4), "Zeile 1\nZeile 2\r");
  EXPECT_EQ(reader.GetCell(1, 2), "M\xFCller ");
  EXPECT_EQ(reader.SheetNames(), Rows{"Personen"});
}

TEST_F(Xlsx, FirstChosenAndShownSheetAnd1904Dates) {
  const std::string file = Write(
      "Drei.xlsx",
      Workbook({{"Eins", "<row><c t=\"inlineStr\"><is><t>1</t></is></c><c s=\"1\"><v>0</v></c></row>"},
                {"Zwei", "<row r=\"3\"><c r=\"B3\" t=\"inlineStr\"><is><t>zwei</t></is></c></row>"},
                {"Dr\xC3\xBC", "<row><c t=\"inlineStr\"><is><t>drei</t></is></c></row>"}},
               "", "<workbookPr date1904=\"1\"/><bookViews><workbookView activeTab=\"1\"/></bookViews>"));
  TReadXlsx reader;
  ASSERT_TRUE(reader.Open(file)) << reader.ErrorText();
  EXPECT_EQ(reader.SheetNames(), (Rows{"Eins", "Zwei", "Dr\xFC"}));
  EXPECT_EQ(reader.CurrentSheet(), 1);
  EXPECT_EQ(reader.GetCell(1, 1), "1");
  EXPECT_EQ(reader.GetCell(2, 1), "01.01.1904");
  reader.SelectActiveSheet();
  EXPECT_EQ(reader.CurrentSheet(), 2);
  EXPECT_EQ(reader.GetCell(2, 3), "zwei");
  int rows = 0, cols = 0;
  reader.GetSize(rows, cols);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 2);
  EXPECT_TRUE(reader.SelectSheet(3));
  EXPECT_EQ(reader.GetCell(1, 1), "drei");
  EXPECT_FALSE(reader.SelectSheet(4));
  EXPECT_EQ(reader.GetCell(1, 1), "");
  EXPECT_TRUE(reader.SelectSheet(1));
  EXPECT_EQ(reader.GetCell(1, 1), "1");
}

TEST_F(Xlsx, HostileAndBrokenFilesAreRefused) {
  struct Case {
    Parts parts;
    const char* error;  // part of the reason
  };
  Parts doctype = Workbook({{"S", "<row><c t=\"inlineStr\"><is><t>1</t></is></c></row>"}}, "");
  doctype.back().second = std::string(kXmlHead) +
                          "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;\">]>"
                          "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&b;</t></is></c></row>"
                          "</sheetData></worksheet>";
  Parts malformed = Workbook({{"S", "<row><c><v>1</v></row>"}}, "");
  Parts farAway = Workbook({{"S", "<row><c r=\"XFE1\"><v>1</v></c></row>"}}, "");
  Parts noBook = {{"a.txt", "x"}};
  const Case cases[] = {
      {doctype, "declares a document type"},
      {malformed, "no well-formed XML"},
      {farAway, "out of range"},
      {noBook, "lacks its part xl/workbook.xml"},
  };
  int n = 0;
  for (const auto& c : cases) {
    TReadXlsx reader;
    EXPECT_FALSE(reader.Open(Write("bad" + std::to_string(++n) + ".xlsx", c.parts)));
    EXPECT_NE(reader.ErrorText().find(c.error), std::string::npos) << reader.ErrorText();
    EXPECT_FALSE(reader.IsOpen());
  }
  WriteAllBytes(dir.File("nozip.xlsx"), "PK\x03\x04 but nothing else");
  TReadXlsx reader;
  EXPECT_FALSE(reader.Open(dir.File("nozip.xlsx")));
}

TEST_F(Xlsx, SizeLimits) {
  // One shared string of 1000 bytes used in 100 cells: small on disk, 100 KB in memory.
  std::string rows = "<row>";
  for (int i = 0; i < 100; ++i) rows += "<c t=\"s\"><v>0</v></c>";
  rows += "</row>";
  const std::string file =
      Write("Bombe.xlsx", Workbook({{"S", rows}}, "<si><t>" + std::string(1000, 'x') + "</t></si>"));
  struct Case {
    TXlsxLimits limits;
    bool ok;
    const char* error;
  };
  const Case cases[] = {
      {TXlsxLimits{}, true, ""},
      {TXlsxLimits{1000, 1ull << 30, 1ull << 30, 1000}, false, "the file exceeds the size limit"},
      {TXlsxLimits{1ull << 30, 2000, 1ull << 30, 1000}, false, "exceeds the size limit"},
      {TXlsxLimits{1ull << 30, 1ull << 30, 50000, 1000}, false, "texts exceed the size limit"},
      {TXlsxLimits{1ull << 30, 1ull << 30, 1ull << 30, 99}, false, "more cells than the limit"},
  };
  for (const auto& c : cases) {
    TReadXlsx reader;
    reader.SetLimits(c.limits);
    EXPECT_EQ(reader.Open(file), c.ok) << c.error;
    EXPECT_NE(reader.ErrorText().find(c.error), std::string::npos) << reader.ErrorText();
  }
  // Empty strings cost memory too.
  std::string empties;
  for (int i = 0; i < 2000; ++i) empties += "<si/>";
  TReadXlsx reader;
  reader.SetLimits(TXlsxLimits{1ull << 30, 1ull << 30, 50000, 1000});
  EXPECT_FALSE(reader.Open(Write("Leer.xlsx", Workbook({{"S", "<row/>"}}, empties))));
  EXPECT_NE(reader.ErrorText().find("texts exceed the size limit"), std::string::npos);
}
