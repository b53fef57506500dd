// The print selection dialog, the preview and the list printout, on fake printers (their
// canvases record, so every page printed can be read back) or on none.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/DomainFixture.h"
#include "data/HolderUnit.h"
#include "data/LockingRelations.h"
#include "output/CsvOrExcelUnit.h"
#include "output/FakePrinterServices.h"
#include "output/PrintCanvasUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintSelectUnit.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

// Drives the dialog as the given form type; fails the test when it is another one.
template <typename TForm, typename F>
TDialogDriver As(F act) {
  return [act](QDialog& dialog) {
    auto* form = dynamic_cast<TForm*>(&dialog);
    ASSERT_NE(form, nullptr) << "unexpected dialog " << dialog.objectName().toStdString();
    act(*form);
  };
}

class PrintPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearPrintChoices();
    SetPrintFileOpener([this](const std::string& file) {
      opened.push_back(file);
      return true;
    });
    SetPreviewFlagStore([this](bool on) { stored.push_back(on); });
  }
  void TearDown() override {
    SetPrintFileOpener(nullptr);
    SetPreviewFlagStore(nullptr);
    ClearPrintChoices();
  }

  // A TAB print file of `rows` data rows under a header of three columns.
  std::string ListFile(int rows, const std::string& name = "list.txt") {
    std::string bytes = "Schl\xFCssel\tAnzahl\tOrt\r\n\x01" "020\r\n";
    for (int i = 1; i <= rows; ++i)
      bytes += "Key " + std::to_string(i) + "\t" + std::to_string(i) + "\tHalle " +
               std::to_string(i % 7) + "\r\n";
    const std::string file = tmp.File(name);
    WriteAllBytes(file, bytes);
    return file;
  }

  // The page headers' page numbers of a recorded job ("[n/total]").
  static std::vector<std::string> PageNumbers(const TRecordedJob& job) {
    std::vector<std::string> numbers;
    for (const TRecordedPage& page : job.pages)
      for (const TRecordedText& t : page.texts)
        if (t.y == 0 && t.text.find("   [") != std::string::npos)
          numbers.push_back(t.text.substr(t.text.find('[')));
    return numbers;
  }

  TTempDir tmp;
  TFakePrinterScope scope;
  TScopedRecorder ui;
  std::vector<std::string> opened;
  std::vector<bool> stored;
};

// ---------------------------------------------------------------------------------------
// The selection dialog.

TEST_F(PrintPreviewTest, SelectionWithoutOptionsOffersTheTwoStandardOnes) {
  TPrintFields fields{{"Bezeichnung", true}, {"Bemerkung", false}, {"T\xFCren", true}};
  struct TCase {
    int click;  // the option the user picks, -1 none (the preselected one stays)
    int code;
  } cases[] = {{-1, 1}, {0, 0}, {1, 1}};
  for (const TCase& c : cases) {
    std::vector<std::pair<int, bool>> seen;  // code, checked
    bool fieldsShown = false;
    QueueDialogDriver(As<TPrintSelectForm>([&](TPrintSelectForm& form) {
      for (QRadioButton* b : form.Options) seen.push_back({b->property("code").toInt(), b->isChecked()});
      if (c.click >= 0) form.Options[static_cast<size_t>(c.click)]->setChecked(true);
      fieldsShown = form.Box1->isVisible();
      if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"); shots && c.click < 0)
        form.grab().save(QString::fromLocal8Bit(shots) + "/print-select.png");
      form.FieldsCheckListBox->item(1)->setCheckState(Qt::Checked);
      form.FieldsCheckListBox->item(2)->setCheckState(Qt::Unchecked);
      form.OkBtn->click();
    }));
    int code = -1;
    EXPECT_TRUE(ExecutePrintSelect(fields, code));
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{0, false}, {1, true}}));
    EXPECT_TRUE(fieldsShown);
    EXPECT_EQ(fields, (TPrintFields{{"Bezeichnung", true}, {"Bemerkung", true}, {"T\xFCren", false}}));
    EXPECT_TRUE(PrintChoices().empty());
    EXPECT_TRUE(PrintSettings().printerChosenInRun);
  }

  // A view's own options; one without the column list hides it; none checked is no choice.
  ClearPrintChoices();
  AddPrintChoice("nur der angezeigte Schl\xFCssel", 0, false, false, true);
  // A caption as long as a holder's name with department is shown whole, not cut.
  AddPrintChoice("Liste aller Besitzer mit Abteilung, Personalnummer, Telefon und Raum", 2, true,
                 true, false);
  bool fieldsShown = true, firstEnabled = true;
  QueueDialogDriver(As<TPrintSelectForm>([&](TPrintSelectForm& form) {
    fieldsShown = form.Box1->isVisible();
    firstEnabled = form.Options[0]->isEnabled();
    for (QRadioButton* b : form.Options) {
      EXPECT_GE(b->width(), b->sizeHint().width());
      EXPECT_LE(b->geometry().right(), b->parentWidget()->contentsRect().right());
    }
    form.OkBtn->click();
  }));
  int code = -1;
  EXPECT_TRUE(ExecutePrintSelect(fields, code));
  EXPECT_EQ(code, 2);
  EXPECT_FALSE(fieldsShown);
  EXPECT_FALSE(firstEnabled);

  AddPrintChoice("Liste aller Besitzer", 2, true, false, false);
  QueueDialogDriver(As<TPrintSelectForm>([](TPrintSelectForm& form) { form.OkBtn->click(); }));
  EXPECT_FALSE(ExecutePrintSelect(fields, code));

  // Cancelled: false, and the options are gone all the same.
  AddPrintChoice("x", 3, true, true, false);
  QueueDialogDriver(ClickButtonDriver("Abbrechen"));
  EXPECT_FALSE(ExecutePrintSelect(fields, code));
  EXPECT_TRUE(PrintChoices().empty());
}

TEST_F(PrintPreviewTest, SelectionTakesPrinterCopiesAndFlags) {
  struct TCase {
    const char* copies;
    int count;
  } cases[] = {{"0", 1}, {"x", 1}, {" 3 ", 3}, {"", 1}, {"-2", 1}};
  for (const TCase& c : cases) {
    int selectedAtStart = -1;
    QueueDialogDriver(As<TPrintSelectForm>([&](TPrintSelectForm& form) {
      selectedAtStart = form.PrintersCombo->currentIndex();
      form.PrintersCombo->setCurrentIndex(1);
      form.CopiesEd->setText(QString::fromLatin1(c.copies));
      form.PreviewCheck->setChecked(false);
      form.QuerCheck->setChecked(true);
      form.OkBtn->click();
    }));
    PrintSettings().printerName.clear();
    EXPECT_TRUE(PrintSelectSimple("Formular"));
    EXPECT_EQ(selectedAtStart, 0) << "the default printer";
    EXPECT_EQ(PrintSettings().printerName, "Lager");
    EXPECT_EQ(scope.printers.Device("Lager")->copyCount(), c.count) << c.copies;
    EXPECT_FALSE(PrintSettings().preview);
    EXPECT_TRUE(PrintSettings().landscape);
    PrintSettings().preview = true;
    PrintSettings().landscape = false;
  }

  // The combo: the chosen printer; nothing chosen yet, the default printer; a chosen one no
  // longer installed, the first whose name contains "Standard ", else the first. Printing
  // goes where the combo points.
  struct TComboCase {
    std::vector<std::string> names;
    std::string chosen, defaultName;
    int index;
  } combos[] = {{{"Empfang", "Standard Laser", "Lager"}, "Lager", "Empfang", 2},
                {{"Empfang", "Standard Laser", "Lager"}, "Weg", "Lager", 1},
                {{"Empfang", "Lager", "Standard Tinte"}, "Weg", "", 2},
                {{"Empfang", "Standard", "Lager"}, "Weg", "Lager", 0},
                {{"Empfang", "Standard Laser", "Lager"}, "", "Lager", 2},
                {{"Empfang", "Standard Laser", "Lager"}, "", "", 1},
                {{"Empfang", "Lager"}, "", "Weg", 0}};
  for (const TComboCase& c : combos) {
    scope.printers.names = c.names;
    SetPrinterServices(&scope.printers);
    PrintSettings().printerName = c.chosen;
    scope.printers.defaultName = c.defaultName;
    int index = -1;
    QueueDialogDriver(As<TPrintSelectForm>([&](TPrintSelectForm& form) {
      index = form.PrintersCombo->currentIndex();
      EXPECT_FALSE(form.Box1->isVisible());
    }));
    EXPECT_FALSE(PrintSelectSimple("Formular"));
    EXPECT_EQ(index, c.index) << c.chosen << "/" << c.defaultName;
    EXPECT_EQ(ChosenPrinter(), c.names[static_cast<size_t>(c.index)]);
  }
}

TEST_F(PrintPreviewTest, SelectionWithoutPrinters) {
  scope.printers.names.clear();
  SetPrinterServices(&scope.printers);  // asked again
  bool comboEnabled = true, copiesEnabled = true;
  std::string text;
  QueueDialogDriver(As<TPrintSelectForm>([&](TPrintSelectForm& form) {
    comboEnabled = form.PrintersCombo->isEnabled();
    copiesEnabled = form.CopiesEd->isEnabled();
    text = FromQString(form.PrintersCombo->currentText());
    form.CopiesEd->setText("0");
    form.OkBtn->click();
  }));
  EXPECT_TRUE(PrintSelectSimple("Formular"));
  EXPECT_FALSE(comboEnabled);
  EXPECT_FALSE(copiesEnabled);
  EXPECT_EQ(text, "kein Drucker verf\xFCgbar");
  EXPECT_EQ(PrintSettings().printerName, "");
}

TEST_F(PrintPreviewTest, PrintToFileNeedsATargetAndIsUsedOnce) {
  const std::string list = ListFile(3);
  const std::string target = tmp.File("Liste");  // the dialog adds ".xls"
  auto choose = [&](const std::string& file) {
    QueueDialogDriver(As<TPrintSelectForm>([](TPrintSelectForm& form) {
      form.ToFileCheck->setChecked(true);
      form.PreviewCheck->setChecked(false);
      form.OkBtn->click();
    }));
    QueueDialogDriver([file](QDialog& dialog) {
      auto* save = dynamic_cast<QFileDialog*>(&dialog);
      ASSERT_NE(save, nullptr);
      EXPECT_EQ(FromQString(save->windowTitle()), "In eine Datei drucken");
      EXPECT_EQ(save->defaultSuffix(), QStringLiteral("xls"));
      if (file.empty()) return;  // cancelled
      save->selectFile(ToQString(file));
      dialog.accept();  // QFileDialog's own accept: takes the typed name
    });
    // A list's selection (a form's "in Datei" writes a PDF file instead).
    ClearPrintChoices();
    AddPrintChoice("Liste", 0, true, true, false);
    TPrintFields none;
    int code = -1;
    return ExecutePrintSelect(none, code);
  };

  // A cancelled save dialog: no choice, and print-to-file stays off.
  EXPECT_FALSE(choose(""));
  EXPECT_FALSE(PrintSettings().printToFile);

  ASSERT_TRUE(choose(target));
  EXPECT_TRUE(PrintSettings().printToFile);
  EXPECT_TRUE(PrintStringGrid("Liste", list, 3));
  ASSERT_EQ(opened, std::vector<std::string>{target + ".xls"});
  EXPECT_TRUE(PrintSettings().targetFile.empty());
  const std::string book = ReadAllBytes(target + ".xls");
  EXPECT_EQ(book.substr(0, 2), std::string("\x09\x08", 2));
  EXPECT_NE(book.find("Halle 3"), std::string::npos);
  EXPECT_EQ(book.find(std::string("\x01" "020")), std::string::npos) << "format lines are no rows";
  EXPECT_TRUE(scope.printers.jobs.empty());

  // The next print without the dialog prints and leaves the file alone.
  EXPECT_FALSE(PrintSettings().printToFile);
  EXPECT_TRUE(PrintStringGrid("Liste", ListFile(5, "other.txt"), 3));
  EXPECT_EQ(scope.printers.jobs.size(), 1u);
  EXPECT_EQ(ReadAllBytes(target + ".xls"), book);
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(PrintPreviewTest, ExportRefusesWhatDoesNotFitAndKeepsTheOldFile) {
  const std::string target = tmp.File("alt.xls");
  WriteAllBytes(target, "old");
  std::string bytes;
  for (int i = 0; i <= kNativeXlsMaxRows; ++i) bytes += "r" + std::to_string(i) + "\r\n";
  const std::string tooLong = tmp.File("long.txt");
  WriteAllBytes(tooLong, bytes);
  const std::string tooWide = tmp.File("wide.txt");
  WriteAllBytes(tooWide, std::string(kNativeXlsMaxColumns, '\t') + "x\r\n");
  for (const std::string& file : {tooLong, tooWide}) {
    ui.Clear();
    std::string name = target;
    EXPECT_FALSE(ExportTabFileToXls(file, name));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("65535"), std::string::npos) << ui.messages[0].text;
    EXPECT_EQ(ReadAllBytes(target), "old");
  }
  // Exactly at the limits it is written.
  bytes.resize(bytes.rfind("r65535"));
  WriteAllBytes(tooLong, bytes);
  std::string name = target;
  EXPECT_TRUE(ExportTabFileToXls(tooLong, name));
  EXPECT_NE(ReadAllBytes(target), "old");
  // Nothing left behind but the two files and the tables.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(tmp.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"alt.xls", "long.txt", "wide.txt"}));
  // An unreadable list writes nothing.
  EXPECT_FALSE(ExportTabFileToXls(tmp.File("missing.txt"), name));
}

// ---------------------------------------------------------------------------------------
// PrintStringGrid.

TEST_F(PrintPreviewTest, WithAPrinterAndNoPreviewItPrintsAtOnceWithThePageTotal) {
  PrintSettings().preview = false;
  EXPECT_TRUE(PrintStringGrid("Schl\xFC" "ssel", ListFile(150), 3));  // no dialog: strict mode
  ASSERT_EQ(scope.printers.jobs.size(), 1u);
  const TRecordedJob& job = *scope.printers.jobs[0];
  EXPECT_TRUE(job.ended);
  EXPECT_EQ(job.title, "Schl\xFC" "ssel");
  const std::string total = std::to_string(job.pages.size());
  ASSERT_GE(job.pages.size(), 3u);
  std::vector<std::string> expected;
  for (std::size_t p = 1; p <= job.pages.size(); ++p)
    expected.push_back("[" + std::to_string(p) + "/" + total + "]");
  EXPECT_EQ(PageNumbers(job), expected);

  // Landscape from the settings reaches the printer.
  PrintSettings().landscape = true;
  EXPECT_TRUE(PrintStringGrid("Quer", ListFile(2), 3));
  EXPECT_TRUE(scope.printers.requests.back().landscape);

  // An unreadable table prints nothing.
  EXPECT_FALSE(PrintStringGrid("x", tmp.File("missing.txt"), 3));
  EXPECT_EQ(scope.printers.jobs.size(), 2u);
}

TEST_F(PrintPreviewTest, WithoutPrinterThePreviewShowsAndPrintingIsRefused) {
  scope.printers.names.clear();
  SetPrinterServices(&scope.printers);
  PrintSettings().preview = false;  // no printer: the preview shows all the same
  int pages = 0;
  std::string firstHeaderTotal;
  bool stillShown = false, closeFocused = false;
  QueueDialogDriver(As<TPrintPreviewForm>([&](TPrintPreviewForm& form) {
    pages = form.PageCount();
    closeFocused = form.CloseBtn->isDefault();
    form.PrintBtn->click();
    stillShown = form.isVisible();
    form.CloseBtn->click();
  }));
  EXPECT_TRUE(PrintStringGrid("Liste", ListFile(120), 3));
  EXPECT_GE(pages, 3);
  EXPECT_TRUE(closeFocused);
  EXPECT_TRUE(stillShown);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Es ist kein Drucker installiert.");
  EXPECT_TRUE(scope.printers.jobs.empty());
  EXPECT_TRUE(stored.empty());
}

TEST_F(PrintPreviewTest, PreviewPagesAreThePagesCounted) {
  // Without a printer the count and the preview lay out on the same page: the preview holds
  // as many pages as every header's total says.
  scope.printers.names.clear();
  SetPrinterServices(&scope.printers);
  const std::string list = ListFile(300);
  TSimplePrint count;
  ASSERT_TRUE(PrintTextFile(count, "Liste", list, 1.5, 3));
  int pages = 0;
  QueueDialogDriver(As<TPrintPreviewForm>([&](TPrintPreviewForm& form) { pages = form.PageCount(); }));
  EXPECT_TRUE(PrintStringGrid("Liste", list, 3));
  EXPECT_EQ(pages, count.pageNumber);
}

TEST_F(PrintPreviewTest, PrintingFromThePreviewTakesItsChoicesAndStoresTheFlag) {
  const std::string list = ListFile(40);
  // Closed: nothing printed, the flag as it was.
  QueueDialogDriver(As<TPrintPreviewForm>([](TPrintPreviewForm& form) {
    form.PreviewCheckBox->setChecked(false);
    form.CloseBtn->click();
  }));
  EXPECT_TRUE(PrintStringGrid("Liste", list, 3));
  EXPECT_TRUE(scope.printers.jobs.empty());
  EXPECT_TRUE(PrintSettings().preview);
  EXPECT_TRUE(stored.empty());

  // Unticked and printed: printed on the printer chosen there, with its copies; the flag
  // is off and stored for the user.
  bool flagShown = false, printFocused = false;
  QueueDialogDriver(As<TPrintPreviewForm>([&](TPrintPreviewForm& form) {
    flagShown = form.PreviewCheckBox->isChecked();
    printFocused = form.PrintBtn->isDefault();
    form.PreviewCheckBox->setChecked(false);
    form.PrintersCombo->setCurrentIndex(1);
    form.CopiesEd->setText("2");
    form.PrintBtn->click();
  }));
  EXPECT_TRUE(PrintStringGrid("Liste", list, 3));
  EXPECT_TRUE(flagShown);
  EXPECT_TRUE(printFocused);
  ASSERT_EQ(scope.printers.jobs.size(), 1u);
  EXPECT_EQ(scope.printers.requests.back().printer, "Lager");
  EXPECT_EQ(scope.printers.Device("Lager")->copyCount(), 2);
  EXPECT_EQ(PrintSettings().printerName, "Lager");
  EXPECT_FALSE(PrintSettings().preview);
  EXPECT_EQ(stored, std::vector<bool>{false});
  // The page total counted on the printer printed on.
  const TRecordedJob& job = *scope.printers.jobs[0];
  EXPECT_EQ(PageNumbers(job).back(),
            "[" + std::to_string(job.pages.size()) + "/" + std::to_string(job.pages.size()) + "]");

  // The next print goes without the preview.
  EXPECT_TRUE(PrintStringGrid("Liste", list, 3));
  EXPECT_EQ(scope.printers.jobs.size(), 2u);
}

TEST_F(PrintPreviewTest, PreviewOfAThousandRows) {
  // The preview of a list without a printer, pictured for a look by eye
  // (TESSARO_AUTOMATION_SHOTS: a folder).
  scope.printers.names.clear();
  SetPrinterServices(&scope.printers);
  std::string bytes = "Bezeichnung\tSchlie\xDF" "ung\tSchlie\xDF" "anlage\tBestand\tBesitzer\tBemerkung\r\n"
                      "\x01" "000200\r\n";
  for (int i = 1; i <= 1000; ++i)
    bytes += "Geb\xE4ude " + std::to_string(i % 40) + " T\xFCr " + std::to_string(i) + "\tK-" +
             std::to_string(10000 + i) + "\tAnlage " + std::to_string(i % 12 + 1) + "\t" +
             std::to_string(i % 7) + " von 9\t" + (i % 3 ? "M\xFCller, Anna" : "Pforte Nord") +
             "\tSchl\xFCssel f\xFC" "r den Hausmeister\r\n";
  const std::string list = tmp.File("keys.txt");
  WriteAllBytes(list, bytes);
  int pages = 0;
  QueueDialogDriver(As<TPrintPreviewForm>([&](TPrintPreviewForm& form) {
    pages = form.PageCount();
    if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS"))
      form.grab().save(QString::fromLocal8Bit(shots) + "/print-preview.png");
  }));
  EXPECT_TRUE(PrintStringGrid("Schl\xFC" "ssel", list, 6));
  EXPECT_GE(pages, 10);
}

// ---------------------------------------------------------------------------------------
// The preview's pages: pictures shrunk to the box and laid out one below the other.

QImage GreyRow(std::initializer_list<int> values) {
  QImage row(static_cast<int>(values.size()), 1, QImage::Format_RGB888);
  int x = 0;
  for (int v : values) row.setPixel(x++, 0, qRgb(v, v, v));
  return row;
}

std::vector<int> GreysOf(const QImage& image, int y = 0) {
  std::vector<int> greys;
  for (int x = 0; x < image.width(); ++x) greys.push_back(qRed(image.pixel(x, y)));
  return greys;
}

TEST(PreviewPictures, HalvingAveragesAndResamplingCopiesOrAverages) {
  QImage block(2, 2, QImage::Format_RGB888);
  block.setPixel(0, 0, qRgb(0, 10, 200));
  block.setPixel(1, 0, qRgb(100, 10, 200));
  block.setPixel(0, 1, qRgb(200, 30, 0));
  block.setPixel(1, 1, qRgb(40, 30, 0));
  const QImage half = HalvePagePicture(block);
  ASSERT_EQ(half.size(), QSize(1, 1));
  EXPECT_EQ(half.pixel(0, 0), qRgb(85, 20, 100));
  // A pixel at most one past the one before is copied, one further is averaged with its
  // left neighbour: 4 -> 2 steps by 2; 5 -> 4 steps by 1.25 (0, 1, 3, 4 rounded).
  EXPECT_EQ(GreysOf(ResamplePagePicture(GreyRow({0, 60, 120, 180}), 2, 1)),
            (std::vector<int>{0, 90}));
  EXPECT_EQ(GreysOf(ResamplePagePicture(GreyRow({10, 20, 30, 40, 50}), 4, 1)),
            (std::vector<int>{10, 20, 35, 50}));
  // Rows the same way: two source rows averaged.
  QImage column(1, 4, QImage::Format_RGB888);
  for (int y = 0; y < 4; ++y) column.setPixel(0, y, qRgb(y * 60, y * 60, y * 60));
  const QImage shorter = ResamplePagePicture(column, 1, 2);
  EXPECT_EQ(qRed(shorter.pixel(0, 0)), 0);
  EXPECT_EQ(qRed(shorter.pixel(0, 1)), 90);
}

// A page wider than the box is made as wide as the box asks: directly above half the size,
// through halvings (which average every pixel) below it; one that fits stays as it is.
TEST(PreviewPictures, ShrinkingToTheWidthTheBoxAsks) {
  struct TCase {
    int width, height;
    bool shrunk;
  } cases[] = {{700, 100, false}, {860, 120, false}, {1700, 240, true},
               {1720, 240, true}, {3600, 500, true}, {7200, 1000, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.width);
    // Black and white columns: whatever averages them ends grey.
    QImage page(c.width, c.height, QImage::Format_RGB888);
    for (int y = 0; y < c.height; ++y) {
      uchar* line = page.scanLine(y);
      for (int x = 0; x < c.width; ++x)
        line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = x % 2 ? 255 : 0;
    }
    const int height = static_cast<int>(std::ceil(static_cast<double>(c.height) * 860 / c.width));
    const QImage shown =
        ShrinkPagePicture(page, std::min(860, c.width), std::min(height, c.height));
    if (!c.shrunk) {
      EXPECT_EQ(shown.size(), page.size());
      continue;
    }
    EXPECT_EQ(shown.width(), 860);
    EXPECT_NEAR(shown.height(), height, 1);
    EXPECT_EQ(shown.format(), QImage::Format_RGB888);
    if (c.width >= 1720) {
      // Halved first: no column of the stripes survives as black or white.
      for (int grey : GreysOf(shown, 1)) {
        EXPECT_GT(grey, 60);
        EXPECT_LT(grey, 195);
      }
    }
  }
}

// The pages one below the other from 10 pixels down, 20 apart, centred in the box; wider
// than the box less 40 pixels (never less than 600) they are shrunk to that. Pictured at one,
// two and many pages for a look (TESSARO_AUTOMATION_SHOTS: a folder).
TEST_F(PrintPreviewTest, PagesLieCentredOneBelowTheOther) {
  struct TCase {
    const char* name;
    int pages, pageWidth, pageHeight, windowWidth;
  } cases[] = {{"one", 1, 748, 1090, 1000},   {"two", 2, 748, 1090, 1000},
               {"many", 12, 748, 1090, 1000}, {"wide", 2, 1700, 2400, 1000},
               {"narrow", 3, 748, 1090, 660}, {"landscape", 2, 1090, 748, 1000}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    AddPreviewPages(
        [&c](QPrinter*) {
          std::vector<QImage> pages;
          for (int i = 1; i <= c.pages; ++i) {
            QImage page(c.pageWidth, c.pageHeight, QImage::Format_RGB888);
            page.fill(Qt::white);
            QPainter painter(&page);
            painter.setPen(QPen(Qt::black, 3));
            painter.drawRect(10, 10, c.pageWidth - 20, c.pageHeight - 20);
            QFont font = painter.font();
            font.setPixelSize(c.pageWidth / 12);
            painter.setFont(font);
            painter.drawText(QRect(0, 0, c.pageWidth, c.pageHeight), Qt::AlignCenter,
                             QStringLiteral("Seite %1").arg(i));
            pages.push_back(page);
          }
          return pages;
        },
        false);
    int checked = 0;
    QueueDialogDriver(As<TPrintPreviewForm>([&](TPrintPreviewForm& form) {
      form.resize(c.windowWidth, 700);
      for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
      ASSERT_EQ(form.PageCount(), c.pages);
      ASSERT_EQ(static_cast<int>(form.PageImages.size()), c.pages);
      const int box = form.ScrollBox->viewport()->width();
      const int target = std::max(box - 40, 600);
      const int width = std::min(c.pageWidth, target);
      int y = 10;
      for (QLabel* image : form.PageImages) {
        EXPECT_EQ(image->width(), width);
        EXPECT_NEAR(image->height(), static_cast<double>(c.pageHeight) * width / c.pageWidth, 1);
        EXPECT_EQ(image->x(), width > box ? 0 : (box - width) / 2);
        EXPECT_EQ(image->y(), y);
        y += image->height() + 20;
        ++checked;
      }
      EXPECT_EQ(form.FootDistanceImage->y(), y);
      EXPECT_GE(form.ScrollBox->widget()->height(), y);
      // The pages in view have their pictures, far ones get theirs when scrolled to.
      EXPECT_FALSE(form.PageImages.front()->pixmap().isNull());
      if (c.pages > 6) {
        EXPECT_TRUE(form.PageImages.back()->pixmap().isNull());
      }
      form.ScrollBox->verticalScrollBar()->setValue(form.ScrollBox->verticalScrollBar()->maximum());
      EXPECT_FALSE(form.PageImages.back()->pixmap().isNull());
      EXPECT_NEAR(form.PageImages.back()->pixmap().width(), width, 1);
      if (const char* shots = std::getenv("TESSARO_AUTOMATION_SHOTS")) {
        form.ScrollBox->verticalScrollBar()->setValue(0);
        form.grab().save(QString::fromLocal8Bit(shots) + "/preview-" + c.name + ".png");
      }
      QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
    }));
    bool flag = true;
    EXPECT_FALSE(ShowPrintPreview(flag));
    EXPECT_EQ(checked, c.pages);
  }
}

// ---------------------------------------------------------------------------------------
// Rows of multi-line cells.

TEST_F(PrintPreviewTest, StringsToTabTextAndLines) {
  struct TCase {
    std::vector<std::string> rows;
    std::vector<std::string> cell;
    std::vector<std::string> result;
    std::string text;
  } cases[] = {
      {{"a\tb"}, {"x", "y", "z"}, {"a\tb\tx", "\t\ty", "\t\tz"}, "a\tb\tx\r\n\t\ty\r\n\t\tz"},
      {{"a\tb"}, {}, {"a\tb\t-"}, "a\tb\t-"},
      {{"a", "\t1", "\t2"}, {"x"}, {"a\tx", "\t1\t", "\t2\t"}, "a\tx\r\n\t1\r\n\t2"},
      {{"a\tb\t"}, {"x", "y"}, {"a\tb\t\tx", "\t\t\ty"}, "a\tb\t\tx\r\n\t\t\ty"},
  };
  for (TCase& c : cases) {
    std::vector<std::string> rows = c.rows;
    StringsToTabText(rows, c.cell);
    EXPECT_EQ(rows, c.result);
    std::string text = "old";
    StringsToLines(rows, text);
    EXPECT_EQ(text, c.text);
  }
  // Two columns in a row: the second continues beside the first's lines.
  std::vector<std::string> rows{"K1"};
  StringsToTabText(rows, {"Anna", "Bert"});
  StringsToTabText(rows, {"T\xFCr 1"});
  EXPECT_EQ(rows, (std::vector<std::string>{"K1\tAnna\tT\xFCr 1", "\tBert\t"}));
}

// ---------------------------------------------------------------------------------------
// The key list.

class KeyListTest : public PrintPreviewTest {
 protected:
  void SetUp() override {
    PrintPreviewTest::SetUp();
    ResetVocabulary();
    DropRelationCaches();
    ASSERT_TRUE(SetKeySystemName(1, "Anlage A"));
    store = std::make_unique<TDomainStore>(dir);
    TDomainStore& s = *store;
    door1 = s.Add(icDoor, "Zentrale", 1);
    door2 = s.Add(icDoor, "Archiv", 1);
    key = s.Add(icKey, "K100", 1, "1");
    s->SetField(key, "k603", "4711");
    s->SetField(key, fkStock, "2");
    s->SetField(key, fkTotal, "5");
    s->SetField(key, fkRemark, "Ersatz im Tresor");
    s.Link(key, door1);
    s.Link(key, door2);
    master = s.Add(icKey, "GHS", 1, "5");
    master2 = s.Add(icKey, "Kopie", 1, "1");
    anna = s.Add(icPerson, "Anna");
    bunch = s.Add(icKeyBunch, "Bund 1");
    s->LinkClass10(master2, key);
    ASSERT_TRUE(BookHolderChange(*s, key, false, {okPerson, anna}, 2, 0, 0, "", "", "A-7", "", "", 0));
    ASSERT_TRUE(BookHolderChange(*s, key, false, {okKeyBunch, bunch}, 1, 0, 0, "", "", "B-1", "", "", 0));
    ASSERT_TRUE(s->Commit());
  }
  void TearDown() override {
    store.reset();
    ResetVocabulary();
    PrintPreviewTest::TearDown();
  }
  TTempDir dir;
  std::unique_ptr<TDomainStore> store;
  int32_t door1 = 0, door2 = 0, key = 0, master = 0, master2 = 0, anna = 0, bunch = 0;
};

TEST_F(KeyListTest, RowsOfTheKeyList) {
  TMiniDB& db = **store;
  TPrintFields fields = PrintKeyList();
  ASSERT_EQ(fields.size(), static_cast<size_t>(klColumnCount));
  std::vector<bool> marks;
  for (const TPrintField& f : fields) marks.push_back(f.checked);
  EXPECT_EQ(marks, (std::vector<bool>{true, true, true, false, true, false, true, false}));
  for (TPrintField& f : fields) f.checked = true;
  const std::string system = ItemKeySystemName(db, key);
  EXPECT_EQ(system, "Anlage A");
  const std::vector<std::string> rows = KeyListRows(db, {key, master, master2, 999}, 0, fields);
  const std::string header = "Bezeichnung\tSchlie\xDF" "ung\tSchlie\xDF" "anlage\tSchl\xFCsseltyp\t"
                             "Bestand\tBemerkung\t" + HolderCaption() + "\tT\xFCren";
  const std::vector<std::string> expected{
      header,
      "K100\t4711\t" + system + "\t" + KeyTypeAbbrevOf(1) + "\t2 von 5\tErsatz im Tresor\t"
          "Anna (2 St\xFC" "ck)\tArchiv",
      "\t\t\t\t\t\tBund 1\tZentrale",
      "GHS\t\t" + system + "\t" + KeyTypeAbbrevOf(5) + "\t\t\t-\talle von " + system,
      " \xBB Kopie\t\t" + system + "\t" + KeyTypeAbbrevOf(1) + "\t\t\t-\t-",
  };
  EXPECT_EQ(rows, expected);

  // A bunch printout: no stock and no holders; the name carries the identifier on the bunch.
  const std::vector<std::string> bunchRows = KeyListRows(db, {key}, bunch, PrintKeyList());
  EXPECT_EQ(bunchRows, (std::vector<std::string>{"Bezeichnung\tSchlie\xDF" "ung\tSchlie\xDF" "anlage",
                                                 "K100 (B-1)\t4711\t" + system}));
}

TEST_F(KeyListTest, PrintRecordsToFilePrintsTheMarkedColumns) {
  TMiniDB& db = **store;
  ClientSession().LendStore(&db);
  PrintSettings().preview = false;
  EXPECT_TRUE(PrintRecordsToFile({key}, 0));
  ASSERT_EQ(scope.printers.jobs.size(), 1u);
  std::vector<std::string> cells;
  for (const TRecordedText& t : scope.printers.jobs[0]->pages[0].texts)
    if (t.y > 0) cells.push_back(t.text);
  EXPECT_EQ(cells, (std::vector<std::string>{"Bezeichnung", "Schlie\xDF" "ung", "Schlie\xDF" "anlage",
                                             "Bestand", HolderCaption(), "K100", "4711",
                                             ItemKeySystemName(db, key), "2 von 5",
                                             "Anna (2 St\xFC" "ck)", "Bund 1"}));
  EXPECT_EQ(scope.printers.jobs[0]->title, KeysCaption());

  EXPECT_TRUE(PrintRecordsToFile({key}, bunch));
  EXPECT_EQ(scope.printers.jobs[1]->title, "Schl\xFCssel am Bund: Bund 1");

  // A failed print says so.
  const TPrintFields marks = PrintKeyList();
  for (TPrintField& f : PrintKeyList()) f.checked = false;
  EXPECT_FALSE(PrintRecordsToFile({key}, 0));
  EXPECT_EQ(ui.AllText(), "Fehler beim Drucken");
  PrintKeyList() = marks;
  ClientSession().LendStore(nullptr);
}

}  // namespace

namespace {

// The shipped language file knows every text the selection dialog, the preview and the
// spreadsheet and catalogue messages show.
TEST(PrintListLanguage, EnglishEntries) {
  TScopedMLSystem ml;
  const std::string file = std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng";
  ASSERT_TRUE(ml.System().LoadLanguageFile(file, false)) << file;
  PrintSelectText(1);  // the tables exist
  PrintPreviewText(1);
  NativeXlsLimitText();
  std::vector<std::string> texts{"Falsche Datei-Version."};
  for (const TMLStringList* table : MLStringLists())
    if (table->UnitName() == "PrintSelectUnit" || table->UnitName() == "PrintPreviewUnit" ||
        table->UnitName() == "CsvOrExcelUnit")
      for (int i = 0; i < table->Count(); ++i)
        if (table->Number(i) > 0) texts.push_back(table->Text(i));
  TPrintSelectForm select;
  const std::unique_ptr<QPrinter> printer = NewFallbackPrinter(false, "");
  TPrintPreviewForm preview(printer.get(), nullptr);
  for (QDialog* form : std::initializer_list<QDialog*>{&select, &preview}) {
    texts.push_back(FromQString(form->windowTitle()));
    for (QWidget* w : form->findChildren<QWidget*>()) {
      texts.push_back(FromQString(w->toolTip()));
      if (auto* b = qobject_cast<QAbstractButton*>(w)) texts.push_back(FromQString(b->text()));
      if (auto* l = qobject_cast<QLabel*>(w)) texts.push_back(FromQString(l->text()));
      if (auto* g = qobject_cast<QGroupBox*>(w)) texts.push_back(FromQString(g->title()));
    }
  }
  int checked = 0;
  for (std::string text : texts) {
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.size() < 3 || text == "OK") continue;
    int grade = 0;
    ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_GE(grade, mlgExact) << text;
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
