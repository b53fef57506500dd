// Receipts on paper without any printer of the print system: the program's own printer
// list always holds the PDF file printer, and "in Datei" of a form writes a PDF file. Every
// printout here is read back with pdftotext.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "basic/Cp1252.h"
#include "basic/ParamsUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/ClientSessionUnit.h"
#include "data/DomainFixture.h"
#include "data/IniUnit.h"
#include "data/MandantUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/UnitTR100.h"
#include "output/FakePrinterServices.h"
#include "output/PdfTextSupport.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "output/ReceiptWorkstation.h"
#include "output/PrinterServicesUnit.h"
#include "platform/PlatformFileAccess.h"
#include "support/TestSupport.h"

namespace {

// A workstation without printers of its own: the print system's printers (none on a build
// machine) and the program's PDF file printer.
class ReceiptPdfTest : public TReceiptWorkstationTest {
 protected:
  void SetUp() override {
    if (!PdfToTextAvailable()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    previous = SetPrinterServices(nullptr);
    ResetPrintSettings();
    OpenWorkstation();
  }
  void TearDown() override {
    ClearDialogDrivers();
    CloseWorkstation();
    ResetPrintSettings();
    SetPrinterServices(previous);
  }

  // A person, a key with its door, building, cabinet hook and remark, the client's name and
  // branch: something for every placeholder.
  void MakeRecords() {
    const int32_t building = store->Add(icBuilding, "Haus Nord");
    const int32_t door = store->Add(icDoor, "Z 101");
    store->Link(door, building);
    key = store->Add(icKey, "Tor-7", 1, "3");
    db().SetField(key, "k603", "L-42");
    db().SetField(key, "r", RemarkToStored("Zeile eins, mit Komma\r\nZeile \"zwei\""));
    db().SetField(key, "cabpos", "H7");
    db().Commit();
    store->Link(key, door);
    person = store->Add(icPerson, "Anna Muster");
    db().SetField(person, "Abt", "Einkauf");
    db().SetField(person, "Nr", "0815");
    db().SetField(person, "r", RemarkToStored("Tresor, Fach 3\r\nnur \"werktags\""));
    cabinet = store->Add(icCabinet, "Schrank 1");
    store->Link(key, cabinet);
    cylinder = store->Add(icCylinder, "Z-Zyl 9", 1);
    db().SetField(cylinder, "k603", "C-9");
    const int32_t settings = db().FindOrCreateSingleton(true);
    db().SetField(settings, "MandantBranch", "Filiale 3");
    db().SetField(settings, "MandantName", "Acme");
    db().Commit();
  }
  TKeyReceipt Receipt(int event) {
    TKeyReceipt r;
    r.event = event;
    r.key = key;
    r.person = person;
    r.cabinet = cabinet;
    r.keyText = "Tor-7";
    r.system = "Anlage 1";
    r.date = "11.12.2026";
    r.user = "Bea";
    r.notes1 = ItemRemarkLine(db(), key);
    r.notes2 = "Ersatz im Tresor";
    r.keyCount = "1";
    r.label = "K-1";
    r.seqNumber = "0042";
    r.deadline = "31.12.2026";
    return r;
  }
  // An RTF file of the lines, each its own paragraph.
  std::string Template(const std::string& name, const std::vector<std::string>& lines) {
    std::string rtf = "{\\rtf1\\ansi ";
    for (const std::string& l : lines) rtf += l + "\\par\n";
    const std::string file = prog.File(name);
    WriteAllBytes(file, rtf + "}");
    return file;
  }

  IPrinterServices* previous = nullptr;
  TTempDir out;
  TScopedRecorder ui;
  int32_t key = 0, person = 0, cabinet = 0, cylinder = 0;
};

// The program's printer list ends with the PDF file printer, so there is always a printer:
// the selection dialog offers it enabled and never says that no printer is available.
TEST_F(ReceiptPdfTest, ThePrinterListAlwaysHoldsThePdfFile) {
  ASSERT_TRUE(PrinterInstalled());
  const std::vector<TPrinterDevice> printers = PrinterDevices();
  ASSERT_FALSE(printers.empty());
  EXPECT_EQ(printers.back().device, kPdfPrinterName);
  EXPECT_TRUE(PrinterExists("PDF-Datei"));
  PrintSettings().printerName = "PDF-Datei";
  EXPECT_EQ(ChosenPrinter(), "PDF-Datei");
  std::string shown;
  bool enabled = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TPrintSelectForm&>(dialog);
    shown = FromQString(form.PrintersCombo->currentText());
    enabled = form.PrintersCombo->isEnabled() && form.CopiesEd->isEnabled();
    for (int i = 0; i < form.PrintersCombo->count(); ++i)
      EXPECT_NE(FromQString(form.PrintersCombo->itemText(i)), PrintSelectText(3));
    QTest::mouseClick(form.EscBtn, Qt::LeftButton);
  });
  EXPECT_FALSE(PrintSelectSimple("Formular"));
  EXPECT_EQ(shown, "PDF-Datei");
  EXPECT_TRUE(enabled);
}

// A receipt on the PDF file printer asks for the file ("PdfSaveDialog"): the name typed
// there, with ".pdf" added when left out, holds the receipt; cancelling prints nothing.
TEST_F(ReceiptPdfTest, ThePdfPrinterAsksForItsFile) {
  MakeRecords();
  PrintSettings().printerName = "PDF-Datei";
  const std::string file = out.Dir() + "quittung";
  int asked = 0;
  QueueDialogDriver([&](QDialog& dialog) {
    ++asked;
    EXPECT_EQ(dialog.objectName(), QStringLiteral("PdfSaveDialog"));
    TypeFileName(dialog, file);
  });
  EXPECT_TRUE(PrintKeyReceipt(Receipt(2)));
  EXPECT_EQ(asked, 1);
  const std::string text = PdfText(file + ".pdf");
  EXPECT_NE(text.find("Quittung zur Schl\xFCsselausgabe"), std::string::npos) << text;
  EXPECT_NE(text.find("Tor-7"), std::string::npos) << text;
  EXPECT_NE(text.find("Anna Muster"), std::string::npos) << text;

  QueueDialogDriver([](QDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(PrintKeyReceipt(Receipt(3)));
  EXPECT_EQ(PendingDialogDrivers(), 0);
}

// Every placeholder of a key template, for each event from delivery to find, and of the
// cylinder template, on paper: "in Datei" of the form's print selection names the file,
// which the next form writes (once). Delivery has no template and prints nothing.
TEST_F(ReceiptPdfTest, EveryPlaceholderOnPaperForEveryEvent) {
  MakeRecords();
  const std::vector<std::string> keyLines = {"Key=#Key#",
                                             "Schluessel=#Schluessel#",
                                             "System=#System#",
                                             "Anlage=#Anlage#",
                                             "Date=#Date#",
                                             "Datum=#Datum#",
                                             "User=#User#",
                                             "Notes1=#Notes1#",
                                             "Bemerkung1=#Bemerkung1#",
                                             "Notes2=#Notes2#",
                                             "Bemerkung2=#Bemerkung2#",
                                             "Person=#Person#",
                                             "PersonDept=#PersonDept#",
                                             "PersonNumber=#PersonNumber#",
                                             "PersonNotes=#PersonNotes#",
                                             "KeyCount=#KeyCount#",
                                             "KeyType=#KeyType#",
                                             "LockNumber=#LockNumber#",
                                             "Cabinet=#Cabinet#",
                                             "Hook=#Hook#",
                                             "Subscriber=#Subscriber#",
                                             "ActionVerb=#ActionVerb#",
                                             "SeqNumber=#SeqNumber#",
                                             "Label=#Label#",
                                             "Deadline=#Deadline#",
                                             "Door=#Door#",
                                             "Building=#Building#",
                                             "Branch=#Branch#",
                                             "Doors=#Doors#"};
  for (int slot = 1; slot <= 4; ++slot) {
    std::vector<std::string> lines{"Slot=" + std::to_string(slot)};
    lines.insert(lines.end(), keyLines.begin(), keyLines.end());
    ASSERT_TRUE(SetTemplateFile(slot, Template("Vorlage" + std::to_string(slot) + ".rtf", lines)));
  }
  ASSERT_TRUE(SetTemplateFile(
      5, Template("Zylinder.rtf",
                  {"Slot=5", "Cylinder=#Cylinder#", "LockNumber=#LockNumber#", "System=#System#",
                   "Date=#Date#", "User=#User#", "Notes=#Notes#", "CylCount=#CylCount#",
                   "Subscriber=#Subscriber#", "ActionVerb=#ActionVerb#", "SeqNumber=#SeqNumber#",
                   "Branch=#Branch#"})));
  const std::map<std::string, std::string> common = {
      {"Key", "Tor-7"},
      {"Schluessel", "Tor-7"},
      {"System", "Anlage 1"},
      {"Anlage", "Anlage 1"},
      {"Date", "11.12.2026"},
      {"Datum", "11.12.2026"},
      {"User", "Bea"},
      {"Notes1", "Zeile eins, mit Komma Zeile \"zwei\""},
      {"Bemerkung1", "Zeile eins, mit Komma Zeile \"zwei\""},
      {"Notes2", "Ersatz im Tresor"},
      {"Bemerkung2", "Ersatz im Tresor"},
      {"Person", "Anna Muster"},
      {"PersonDept", "Einkauf"},
      {"PersonNumber", "0815"},
      {"PersonNotes", "Tresor, Fach 3 nur \"werktags\""},
      {"KeyCount", "1"},
      {"KeyType", KeyTypeLongName(3)},
      {"LockNumber", "L-42"},
      {"Cabinet", "Schrank 1"},
      {"Hook", "H7"},
      {"Subscriber", "Acme"},
      {"SeqNumber", "0042"},
      {"Label", "K-1"},
      {"Deadline", "31.12.2026"},
      {"Door", "Z 101 (Haus Nord)"},
      {"Building", "Haus Nord"},
      {"Branch", "Filiale 3"},
      {"Doors", "Z 101 (Haus Nord)"}};
  struct TCase {
    int event;
    int slot;  // 0: nothing printed
    const char* verb;
  } cases[] = {{1, 0, ""},
               {2, 1, "ausgegeben"},
               {3, 2,
                "zur\xFC"
                "ckgegeben"},
               {4, 4, "vernichtet"},
               {5, 3, "verloren"},
               {6, 2, "wiedergefunden"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.event);
    const std::string file = out.File("event" + std::to_string(c.event) + ".pdf");
    PrintSettings().formTargetFile = file;  // as "in Datei" of the form's print selection
    EXPECT_EQ(PrintKeyReceipt(Receipt(c.event)), c.slot != 0);
    EXPECT_EQ(PrintSettings().formTargetFile, "") << "used once";
    if (c.slot == 0) {
      EXPECT_FALSE(std::filesystem::exists(file));
      continue;
    }
    const std::string text = PdfText(file);
    EXPECT_EQ(text.find('#'), std::string::npos) << text;
    EXPECT_NE(text.find("Slot=" + std::to_string(c.slot)), std::string::npos) << text;
    std::map<std::string, std::string> values = common;
    values["ActionVerb"] = c.verb;
    for (const auto& [name, value] : values)
      EXPECT_NE(text.find(name + "=" + value), std::string::npos) << name << "\n" << text;
  }
  for (int event : {4, 5}) {
    SCOPED_TRACE(event);
    const std::string file = out.File("cylinder" + std::to_string(event) + ".pdf");
    PrintSettings().formTargetFile = file;
    TCylinderReceipt r;
    r.event = event;
    r.cylinder = cylinder;
    r.seqNumber = "0043";
    r.notes = "Schloss, \"klemmt\"";
    r.user = "Bea";
    r.date = "11.12.2026";
    r.cylinderCount = "2";
    EXPECT_TRUE(PrintCylinderReceipt(r));
    const std::string text = PdfText(file);
    EXPECT_EQ(text.find('#'), std::string::npos) << text;
    for (const std::string& part :
         {std::string("Slot=5"), std::string("Cylinder=") + db().GetDisplayName(cylinder),
          std::string("LockNumber=C-9"), std::string("Date=11.12.2026"), std::string("User=Bea"),
          std::string("Notes=Schloss, \"klemmt\""), std::string("CylCount=2"),
          std::string("Subscriber=Acme"),
          std::string("ActionVerb=") + (event == 4 ? "vernichtet" : "verloren"),
          std::string("SeqNumber=0043"), std::string("Branch=Filiale 3")})
      EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

// The four templates that ship with the program, filled and read back: the receipt number,
// the deadline and the remark reach paper.
TEST_F(ReceiptPdfTest, TheShippedTemplatesOnPaper) {
  MakeRecords();
  const std::string forms = std::string(TESSARO_RESOURCE_DIR) + "/Formulare/";
  ASSERT_TRUE(SetTemplateFile(1, forms + "Formular1 Ausgabe.rtf"));
  ASSERT_TRUE(SetTemplateFile(2, forms + "Formular2 Rueckgabe.rtf"));
  ASSERT_TRUE(SetTemplateFile(3, forms + "Formular3 Verlust, Vernichtung.rtf"));
  ASSERT_TRUE(SetTemplateFile(5, forms + "Formular5 Zylinder Verlust, Vernichtung.rtf"));
  for (int event : {2, 3, 5}) {
    SCOPED_TRACE(event);
    const std::string file = out.File("shipped" + std::to_string(event) + ".pdf");
    PrintSettings().formTargetFile = file;
    ASSERT_TRUE(PrintKeyReceipt(Receipt(event)));
    const std::string text = PdfText(file);
    EXPECT_EQ(text.find('#'), std::string::npos) << text;
    for (const char* part : {"Tor-7", "Anna Muster", "0042", "Ersatz im Tresor", "11.12.2026",
                             "Bea", "Acme", "Filiale 3", "K-1"})
      EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    if (event == 2) {
      EXPECT_NE(text.find("31.12.2026"), std::string::npos) << text;
    }
  }
  const std::string file = out.File("shipped-cylinder.pdf");
  PrintSettings().formTargetFile = file;
  TCylinderReceipt r;
  r.event = 5;
  r.cylinder = cylinder;
  r.seqNumber = "0044";
  r.notes = "im Keller verloren";
  r.user = "Bea";
  r.date = "11.12.2026";
  r.cylinderCount = "1";
  ASSERT_TRUE(PrintCylinderReceipt(r));
  const std::string text = PdfText(file);
  EXPECT_EQ(text.find('#'), std::string::npos) << text;
  for (const char* part : {"Z-Zyl 9", "0044", "im Keller verloren", "C-9", "Acme"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

// "in Datei" in the print selection of a form asks for a PDF file, which the next form
// writes; a list printed meanwhile goes to the printer and never into that file, and a
// list's own "in Datei" stays a spreadsheet that no form writes.
TEST_F(ReceiptPdfTest, AFormsFileIsAPdfAndNeverAListsTarget) {
  TFakePrinterScope printers;
  PrintSettings().preview = false;
  MakeRecords();
  const std::string pdf = out.Dir() + "formular";
  QueueDialogDriver([](QDialog& dialog) {
    auto& form = static_cast<TPrintSelectForm&>(dialog);
    QTest::mouseClick(form.ToFileCheck, Qt::LeftButton, {},
                      QPoint(6, form.ToFileCheck->height() / 2));
    QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  });
  QueueDialogDriver([&](QDialog& dialog) {
    EXPECT_EQ(dialog.objectName(), QStringLiteral("PdfSaveDialog"));
    TypeFileName(dialog, pdf);
  });
  ASSERT_TRUE(PrintSelectSimple("Formular"));
  EXPECT_EQ(PrintSettings().formTargetFile, pdf + ".pdf");
  EXPECT_FALSE(PrintSettings().printToFile);

  // A list now: printed on the printer, the form's file untouched.
  const std::string tab = out.File("liste.tab");
  WriteAllBytes(tab, "Name\tWert\r\nA\t1\r\n");
  ASSERT_TRUE(PrintStringGrid("Liste", tab, 2));
  EXPECT_EQ(printers.printers.jobs.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(pdf + ".pdf"));

  // The form writes the file, once; the next one goes to the printer again.
  ASSERT_TRUE(PrintKeyReceipt(Receipt(2)));
  EXPECT_EQ(printers.printers.jobs.size(), 1u);
  EXPECT_NE(PdfText(pdf + ".pdf").find("Quittung zur Schl\xFCsselausgabe"), std::string::npos);
  ASSERT_TRUE(PrintKeyReceipt(Receipt(2)));
  EXPECT_EQ(printers.printers.jobs.size(), 2u);

  // A list's "in Datei": its spreadsheet target, which a form does not use.
  QueueDialogDriver([](QDialog& dialog) {
    auto& form = static_cast<TPrintSelectForm&>(dialog);
    QTest::mouseClick(form.ToFileCheck, Qt::LeftButton, {},
                      QPoint(6, form.ToFileCheck->height() / 2));
    QTest::mouseClick(form.OkBtn, Qt::LeftButton);
  });
  const std::string xls = out.Dir() + "Tabelle.xls";
  QueueDialogDriver([&](QDialog& dialog) {
    EXPECT_EQ(dialog.objectName(), QStringLiteral("SaveDialog"));
    TypeFileName(dialog, xls);
  });
  TPrintFields fields{{"Name", true}};
  int code = -1;
  ASSERT_TRUE(ExecutePrintSelect(fields, code));
  EXPECT_TRUE(PrintSettings().printToFile);
  EXPECT_EQ(PrintSettings().formTargetFile, "");
  ASSERT_TRUE(PrintKeyReceipt(Receipt(2)));
  EXPECT_EQ(printers.printers.jobs.size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(xls));
}

}  // namespace
