#include <string>
#include <vector>

#include <QPrinter>
#include <gtest/gtest.h>

#include "output/FakePrinterServices.h"
#include "output/PrintProcsUnit.h"
#include "support/TestSupport.h"

namespace {

// The recording canvas at 144 pixels per inch: a character is `points` pixels wide, a line
// 2.4 x points high (24 at 10 points; a table line adds a fifth: 28).
class PrintProcsTest : public ::testing::Test {
 protected:
  std::string TabFile(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& l : lines) bytes += l + "\r\n";
    const std::string name = tmp.File("list" + std::to_string(++files_) + ".txt");
    WriteAllBytes(name, bytes);
    return name;
  }

  // Prints the file as the list printout does, on the first fake printer; the job.
  const TRecordedJob& Print(const std::string& file, int columns, int leftMargin = 0) {
    TSimplePrint ps;
    ps.mode = kPrintModePrinter;
    ps.title = "Liste";
    ps.dateText = "01.02.2024 10:00";
    EXPECT_TRUE(PrintBegin(ps, "Liste"));
    EXPECT_TRUE(PrintTabTable(ps, file, columns, leftMargin));
    EXPECT_TRUE(PrintEnd(ps));
    return *scope.printers.jobs.back();
  }

  static std::vector<TRecordedText> Texts(const TRecordedJob& job, int page) {
    std::vector<TRecordedText> texts;
    for (const TRecordedText& t : job.pages[page].texts)
      if (t.y > 0) texts.push_back(t);  // without the page header
    return texts;
  }

  TTempDir tmp;
  TFakePrinterScope scope;

 private:
  int files_ = 0;
};

TEST_F(PrintProcsTest, TabFileRowsFormatsAndCells) {
  const std::string file = TabFile({"Name\tAnzahl\tOrt", "\x01" "02", "\x03ignored",
                                    "A1\t7", "B2\t12\tHalle\tbeyond"});
  const TRecordedJob& job = Print(file, 3);
  ASSERT_EQ(job.pages.size(), 1u);
  EXPECT_TRUE(job.ended);
  std::vector<std::string> seen;
  for (const TRecordedText& t : Texts(job, 0)) seen.push_back(t.text);
  EXPECT_EQ(seen, (std::vector<std::string>{"Name", "Anzahl", "Ort", "A1", "7", "B2", "12", "Halle"}));
  // The format line makes the second column right-aligned: "7" and "12" end where the
  // column ends.
  const auto texts = Texts(job, 0);
  EXPECT_EQ(texts[4].x + 10, texts[6].x + 20);
  // Page header: title top left, date and page number right-aligned.
  ASSERT_GE(job.pages[0].texts.size(), 2u);
  EXPECT_EQ(job.pages[0].texts[0].text, "Liste");
  EXPECT_EQ(job.pages[0].texts[1].text, "01.02.2024 10:00   [1]");
  EXPECT_EQ(job.pages[0].texts[1].x + 22 * 10, 1000);
}

// The table fits at 10 points and is centred; a wider one takes the first size that fits;
// one that fits at no size is printed at 6 points with averaged widths.
TEST_F(PrintProcsTest, FittingTheTableToThePage) {
  struct TCase {
    int longChars;   // the first row's cells
    int shortChars;  // five more rows' cells
    int size;
    int firstX;
  } cases[] = {
      {20, 20, 10, (1000 - 3 * 10 - 4 * 200) / 2},  // 4 x 200 pixels + 3 gaps: centred
      {30, 30, 8, (1000 - 3 * 8 - 4 * 240) / 2},    // 1200 at 10 pt, 1080 + 27 at 9, 984 at 8
      {100, 10, 6, 0},                              // 4 x 600 at 6 pt: never fits
  };
  for (const TCase& c : cases) {
    std::vector<std::string> lines{"a\tb\tc\td"};  // short: the data decides the widths
    const std::string longCell(c.longChars, 'x'), shortCell(c.shortChars, 'y');
    lines.push_back(longCell + "\t" + longCell + "\t" + longCell + "\t" + longCell);
    for (int i = 0; i < 5; ++i)
      lines.push_back(shortCell + "\t" + shortCell + "\t" + shortCell + "\t" + shortCell);
    const TRecordedJob& job = Print(TabFile(lines), 4);
    const auto texts = Texts(job, 0);
    ASSERT_EQ(texts.size(), 4u + 6 * 4);
    for (const TRecordedText& t : texts) EXPECT_EQ(t.font.size, c.size) << c.longChars;
    EXPECT_EQ(texts[0].x, c.firstX) << c.longChars;
    if (c.size == 6) {
      // Averaged widths (about 129 pixels) spread over the free space: 244 pixels a column;
      // the long cell is cut with a "." inside the column.
      EXPECT_EQ(texts[5].x, 250);
      EXPECT_EQ(texts[4].text, std::string(39, 'x') + ".");
      EXPECT_EQ(texts[8].text, shortCell);
    }
  }
}

// A cut cell gets "." only after a letter (any byte from "A" up), and the dot fits in the
// column; a cell narrower than its first character and the dot prints nothing.
TEST_F(PrintProcsTest, CutCells) {
  // The last column is far too wide for the page: averaged widths at 6 points, 6 pixels a
  // character. The first column is 10 pixels wide, the second 37.
  const std::string wide = "\t" + std::string(400, 'w');
  const std::string file = TabFile({"K\tX\tLang", "a\t1234567890" + wide, "a\tAbcde fghij" + wide,
                                    "a\tSchl\xFCsselbund" + wide, "a\ta" + wide, "Zw\xF6lf\ta" + wide});
  const TRecordedJob& job = Print(file, 3);
  std::vector<std::string> first, second;
  for (const TRecordedText& t : Texts(job, 0)) {
    if (t.x == 0) first.push_back(t.text);
    if (t.x == 16) second.push_back(t.text);
  }
  EXPECT_EQ(first, (std::vector<std::string>{"K", "a", "a", "a", "a"}));  // "Zw\xF6lf": nothing
  EXPECT_EQ(second, (std::vector<std::string>{"X", "123456", "Abcde ", "Schl\xFC.", "a", "a"}));
}

TEST_F(PrintProcsTest, BoldHeaderOnEveryPageAndHeaderOnlyFile) {
  std::vector<std::string> lines{"Schl\xFCssel\tAnzahl"};
  for (int i = 0; i < 120; ++i) lines.push_back("Key " + std::to_string(i) + "\t" + std::to_string(i));
  const TRecordedJob& job = Print(TabFile(lines), 2);
  ASSERT_GE(job.pages.size(), 3u);
  int rows = 0;
  for (std::size_t p = 0; p < job.pages.size(); ++p) {
    const auto texts = Texts(job, static_cast<int>(p));
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "Schl\xFCssel");
    EXPECT_TRUE(texts[0].font.bold);
    EXPECT_TRUE(texts[1].font.bold);
    for (std::size_t i = 2; i < texts.size(); ++i) {
      EXPECT_FALSE(texts[i].font.bold);
      EXPECT_LT(texts[i].y + 28, 1400 + 1) << "a row reaches into the page's bottom";
    }
    rows += static_cast<int>(texts.size() - 2) / 2;
  }
  EXPECT_EQ(rows, 120);

  const TRecordedJob& only = Print(TabFile({"Name\tOrt"}), 2);
  ASSERT_EQ(only.pages.size(), 1u);
  EXPECT_EQ(Texts(only, 0).size(), 2u);
}

TEST_F(PrintProcsTest, TableRefusals) {
  TSimplePrint ps;
  ps.mode = kPrintModePrinter;
  ASSERT_TRUE(PrintBegin(ps, "Liste"));
  const std::string file = TabFile({"a\tb", "1\t2"});
  EXPECT_FALSE(PrintTabTable(ps, file, 0, 0));
  EXPECT_FALSE(PrintTabTable(ps, tmp.File("missing.txt"), 2, 0));
  // A column no row fills (average of nothing) prints like any other.
  EXPECT_TRUE(PrintTabTable(ps, file, 4, 0));
  PrintAbort(ps);
  EXPECT_TRUE(scope.printers.jobs.back()->aborted);
  EXPECT_EQ(Texts(*scope.printers.jobs.back(), 0).size(), 4u);
}

TEST_F(PrintProcsTest, WrappedTextAndPageBreaks) {
  TSimplePrint ps;
  ps.mode = kPrintModePrinter;
  ASSERT_TRUE(PrintBegin(ps, "Text"));
  const int left = 100, right = 100;  // 800 pixels: 80 characters at 10 points
  struct TCase {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {""}},
      {"-", {"-"}},
      {std::string(90, 'w'), {std::string(90, 'w')}},
      {"eins<br>zwei<BR><Br>drei", {"eins", "zwei", "", "drei"}},
      {std::string(70, 'a') + " " + std::string(20, 'b') + "-" + std::string(5, 'c'),
       {std::string(70, 'a') + " ", std::string(20, 'b') + "-" + std::string(5, 'c')}},
      {std::string(75, 'a') + "-" + std::string(10, 'b'), {std::string(75, 'a') + "-", std::string(10, 'b')}},
  };
  for (const TCase& c : cases) {
    const std::size_t before = scope.printers.jobs.back()->pages.back().texts.size();
    const int y = ps.y;
    EXPECT_EQ(PrintWrapped(ps, left, right, true, c.text), static_cast<int>(c.lines.size()));
    EXPECT_EQ(ps.y, y);
    EXPECT_EQ(PrintWrapped(ps, left, right, false, c.text), static_cast<int>(c.lines.size()));
    const auto& texts = scope.printers.jobs.back()->pages.back().texts;
    std::vector<std::string> printed;
    for (std::size_t i = before; i < texts.size(); ++i) printed.push_back(texts[i].text);
    EXPECT_EQ(printed, c.lines) << c.text;
  }
  // Near the page's bottom the next line goes on a new page, below its header.
  ps.y = 1400 - 30;
  EXPECT_EQ(PrintWrapped(ps, left, right, false, "a<br>b"), 2);
  const TRecordedJob& job = *scope.printers.jobs.back();
  EXPECT_EQ(job.pages.size(), 2u);
  EXPECT_EQ(ps.pageNumber, 2);
  EXPECT_EQ(job.pages[1].texts.back().text, "b");
  EXPECT_EQ(ps.y, 3 * 24 + 24);
  EXPECT_TRUE(PrintEnd(ps));
}

// Modes: without a printer mode 2 only counts; counting measures on the printer the run
// would print on, so the page total of the count is the printout's.
TEST_F(PrintProcsTest, ModesAndTheOneRun) {
  std::vector<std::string> lines{"Name\tNummer"};
  for (int i = 0; i < 200; ++i) lines.push_back("Schl\xFCssel " + std::to_string(i) + "\t" + std::to_string(i));
  const std::string file = TabFile(lines);

  TSimplePrint count;
  count.mode = kPrintModeCount;
  count.landscape = true;
  ASSERT_TRUE(PrintTextFile(count, "Liste", file, 1.5, 2));
  ASSERT_EQ(scope.printers.measures.size(), 1u);
  EXPECT_TRUE(scope.printers.requests.back().landscape);
  EXPECT_FALSE(scope.printers.requests.back().job);
  EXPECT_EQ(count.pageWidth, 1400);
  for (const TRecordedPage& p : scope.printers.measures.back()->pages) EXPECT_TRUE(p.texts.empty());

  TSimplePrint print;
  print.mode = kPrintModePrinter;
  print.landscape = true;
  print.extraHeaderText = std::to_string(count.pageNumber);
  ASSERT_TRUE(PrintTextFile(print, "Liste", file, 1.5, 2));
  const TRecordedJob& job = *scope.printers.jobs.back();
  EXPECT_EQ(static_cast<int>(job.pages.size()), count.pageNumber);
  EXPECT_EQ(job.title, "Liste");
  EXPECT_NE(job.pages.back().texts[1].text.find("[" + std::to_string(count.pageNumber) + "/" +
                                                 std::to_string(count.pageNumber) + "]"),
            std::string::npos);
  EXPECT_EQ(scope.printers.requests.back().printer, "Empfang");

  // The chosen printer, while installed; the margin of 1.5 cm at 144 per inch is 85 pixels.
  PrintSettings().printerName = "lager";
  TSimplePrint second;
  second.mode = kPrintModePrinter;
  ASSERT_TRUE(PrintBegin(second, "Zwei"));
  EXPECT_EQ(scope.printers.requests.back().printer, "Lager");
  // One run at a time.
  TSimplePrint third;
  third.mode = kPrintModePrinter;
  EXPECT_FALSE(PrintBegin(third, "Drei"));
  EXPECT_TRUE(PrintRunActive());
  // An ending program breaks the run off at the next page.
  SetPrintTerminationCheck([] { return true; });
  EXPECT_FALSE(PrintNewPage(second));
  SetPrintTerminationCheck(nullptr);
  PrintAbort(second);
  EXPECT_FALSE(PrintRunActive());
  EXPECT_TRUE(PrintBegin(third, "Drei"));
  // Closing the state closes its run.
  {
    TSimplePrint left;
    left.mode = kPrintModeCount;
    PrintEnd(third);
    EXPECT_TRUE(PrintBegin(left, "offen"));
  }
  EXPECT_FALSE(PrintRunActive());
}

TEST_F(PrintProcsTest, WithoutPrinterTheFallbackPage) {
  scope.printers.names.clear();
  SetPrinterServices(&scope.printers);  // asked again
  EXPECT_FALSE(PrinterInstalled());
  EXPECT_FALSE(PrinterExists("Empfang"));
  TSimplePrint ps;
  ps.mode = kPrintModePrinter;
  ASSERT_TRUE(PrintBegin(ps, "Liste"));
  EXPECT_EQ(ps.mode, kPrintModeCount);
  EXPECT_EQ(ps.pageWidth, 748);
  EXPECT_EQ(ps.pageHeight, 1090);
  EXPECT_EQ(ps.resolutionX, 96);
  EXPECT_GT(ps.lineHeight, 10);
  EXPECT_TRUE(PrintEnd(ps));
  EXPECT_TRUE(scope.printers.jobs.empty());

  // The preview's printer without a printer is such a page too; it really draws, into a
  // picture of the page at 96 pixels per inch.
  auto printer = NewFallbackPrinter(false, "");
  TSimplePrint preview;
  preview.mode = kPrintModePreview;
  preview.previewPrinter = printer.get();
  ASSERT_TRUE(PrintTextFile(preview, "Vorschau", TabFile({"a\tb", "Schl\xFCssel\t1"}), 1.5, 2));
  EXPECT_EQ(preview.pageWidth, 748);
  ASSERT_EQ(preview.previewPages.size(), 1u);
  const QImage& page = preview.previewPages[0];
  EXPECT_EQ(page.size(), QSize(748, 1090));
  int dark = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) dark += qGray(page.pixel(x, y)) < 128;
  EXPECT_GT(dark, 50) << "the page holds text";
}

TEST_F(PrintProcsTest, PrinterListAndProperties) {
  EXPECT_TRUE(PrinterInstalled());
  EXPECT_TRUE(PrinterExists("LAGER"));
  EXPECT_FALSE(PrinterExists("Keller"));
  EXPECT_FALSE(PrinterExists(""));
  const auto devices = PrinterDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[1].Caption(), "Lager");
  EXPECT_EQ((TPrinterDevice{"d", "P", "LPT1"}).Caption(), "P at LPT1");
  PrintSettings().printerName = "Lager";
  EXPECT_TRUE(ShowPrinterProperties(nullptr, 0));
  EXPECT_FALSE(ShowPrinterProperties(nullptr, 2));
  EXPECT_EQ(scope.printers.edited, std::vector<std::string>{"Empfang"});
  EXPECT_EQ(PrintSettings().printerName, "Lager");
  EXPECT_EQ(ChosenPrinter(), "Lager");
  PrintSettings().printerName = "weg";
  EXPECT_EQ(ChosenPrinter(), "Empfang");
}

}  // namespace
