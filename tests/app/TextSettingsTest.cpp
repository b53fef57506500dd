// The print settings dialog, offscreen: memos saved into the data folder's settings, an
// unsaved memo keeping the dialog open on its page, the template choice and its checks,
// the columns of the stock-control sheet in the client's settings record.
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "data/ClientSessionUnit.h"
#include "LoginTestSupport.h"
#include "app/ManualUnit.h"
#include "basic/ParamsUnit.h"
#include "app/PrintFieldsFrameUnit.h"
#include "app/TextSettingsUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/IniUnit.h"
#include "data/StockUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "output/PdfTextSupport.h"
#include "output/WordDocumentUnit.h"
#include "output/WordProcessorStub.h"

namespace {

struct TCountingView : IView {
  int refreshes = 0;
  void RefreshView() override { ++refreshes; }
};

class TextSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetReceiptSettings();
    maker = std::make_unique<TStoreMaker>(env.Data());
    ClientSession().LendStore(&maker->db);
  }
  void TearDown() override {
    ClientSession().LendStore(nullptr);
    ResetReceiptSettings();
    SetWordProcessorProgram("", true);
  }
  std::unique_ptr<TTextSettingsForm> Open() {
    auto form = std::make_unique<TTextSettingsForm>();
    form->FormShow();
    form->show();
    return form;
  }
  static void Type(QPlainTextEdit* memo, const char* text) { memo->setPlainText(QString::fromUtf8(text)); }

  TLoginEnv env;
  std::unique_ptr<TStoreMaker> maker;
};

// A memo with an unsaved change keeps the dialog open on its page, the pad's text too; undo
// or save lets it close.
TEST_F(TextSettingsTest, UnsavedMemoKeepsTheDialogOpen) {
  struct TCase {
    TPrintText text;
    int message;
  } cases[] = {{TPrintText::LendControl1, 3},
               {TPrintText::LendControl2, 2},
               {TPrintText::Receipt, 4},
               {TPrintText::Pad, 16}};
  for (const TCase& c : cases) {
    auto form = Open();
    EXPECT_FALSE(form->SaveBtnOf(c.text)->isEnabled());
    const QString before = form->MemoOf(c.text)->toPlainText();
    EXPECT_EQ(FromQString(before).find('\r'), std::string::npos);
    EXPECT_FALSE(before.isEmpty());
    Type(form->MemoOf(c.text), "neu");
    EXPECT_TRUE(form->SaveBtnOf(c.text)->isEnabled());
    EXPECT_TRUE(form->UndoBtnOf(c.text)->isEnabled());
    env.ui.Clear();
    form->CloseBtn->click();
    EXPECT_TRUE(form->isVisible()) << c.message;
    ASSERT_EQ(env.ui.messages.size(), 1u);
    EXPECT_EQ(env.ui.messages[0].text, TextSettingsText(c.message) + "\r" + TextSettingsText(1));
    EXPECT_EQ(env.ui.messages[0].kind, TMsgKind::Warning) << c.message;
    QWidget* page = c.text == TPrintText::Pad ? form->PadTabSheet : form->OldTabSheet;
    EXPECT_EQ(form->MainPageControl->currentWidget(), page);
    if (c.text == TPrintText::Receipt) {
      EXPECT_EQ(form->OldPageControl->currentWidget(), form->ReceiptSheet);
    }
    if (c.text == TPrintText::LendControl1 || c.text == TPrintText::LendControl2) {
      EXPECT_EQ(form->OldPageControl->currentWidget(), form->LendControlSheet);
    }

    form->UndoBtnOf(c.text)->click();
    EXPECT_FALSE(form->SaveBtnOf(c.text)->isEnabled());
    EXPECT_EQ(form->MemoOf(c.text)->toPlainText(), before);
    form->CloseBtn->click();
    EXPECT_FALSE(form->isVisible()) << c.message;
  }
  // With several: the receipt's text is named last of the three.
  auto form = Open();
  Type(form->LendControl2Memo, "x");
  Type(form->ReceiptMemo, "y");
  env.ui.Clear();
  form->reject();
  EXPECT_EQ(env.ui.messages.at(0).text, TextSettingsText(4) + "\r" + TextSettingsText(1));
}

// A save writes the data folder's settings and removes the program folder's key; line
// breaks become "<BR>", an emptied memo 0xA0, which reopens as a blank memo.
TEST_F(TextSettingsTest, SaveWritesTheDataFolderOnly) {
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "ReceiptText", "aus dem Programmordner"));
  auto form = Open();
  EXPECT_EQ(FromQString(form->ReceiptMemo->toPlainText()), "aus dem Programmordner");
  Type(form->ReceiptMemo, "A\n\nB  \n");
  form->ReceiptSaveBtn->click();
  EXPECT_FALSE(form->ReceiptSaveBtn->isEnabled());
  EXPECT_FALSE(form->ReceiptUndoBtn->isEnabled());
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "ReceiptText"), "A<BR><BR>B");
  EXPECT_EQ(ReadAllBytes(env.Prog() + "Tessaro.ini").find("ReceiptText"), std::string::npos);
  EXPECT_EQ(ReceiptText(), "A<BR><BR>B");

  Type(form->PadMemo, "");
  form->PadSaveBtn->click();
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "PadText"), "\xA0");
  form->CloseBtn->click();
  EXPECT_FALSE(form->isVisible());

  ResetReceiptSettings();
  auto again = Open();
  EXPECT_EQ(FromQString(again->PadMemo->toPlainText()), "");
  EXPECT_EQ(FromQString(again->ReceiptMemo->toPlainText()), "A\n\nB");
}

// A save that could not be written says so and leaves the change unsaved, so closing still
// warns instead of losing it.
TEST_F(TextSettingsTest, FailedSaveStaysUnsaved) {
  auto form = Open();
  Type(form->ReceiptMemo, "neu");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    form->ReceiptSaveBtn->click();
  }
  EXPECT_EQ(env.ui.AllText(), CoreText(134));
  EXPECT_TRUE(form->ReceiptSaveBtn->isEnabled());
  EXPECT_EQ(ReceiptText(), DefaultPrintText(TPrintText::Receipt));
  env.ui.Clear();
  form->CloseBtn->click();
  EXPECT_TRUE(form->isVisible());
  form->ReceiptSaveBtn->click();
  EXPECT_EQ(ReceiptText(), "neu");
  form->CloseBtn->click();
  EXPECT_FALSE(form->isVisible());
}

// "durchsuchen": ".rtf" and ".txt" must exist, ".doc"/".dot" must open in the word
// processor, anything else is refused with text 5. A typed name is stored on closing as
// it is.
TEST_F(TextSettingsTest, TemplateChoice) {
  SetWordProcessorProgram("");
  const std::string rtf = env.dir.File("Ausgabe.rtf");
  const std::string pdf = env.dir.File("Ausgabe.pdf");
  const std::string doc = env.dir.File("Ausgabe.doc");
  WriteAllBytes(rtf, "{\\rtf1 #Key#}");
  WriteAllBytes(pdf, "%PDF");
  WriteAllBytes(doc, "no word");
  auto form = Open();
  auto choose = [&](int slot, const std::string& file) {
    QueueDialogDriver([file](QDialog& dialog) {
      auto& chooser = static_cast<QFileDialog&>(dialog);
      EXPECT_EQ(chooser.objectName(), QStringLiteral("WordOpenDialog"));
      chooser.selectFile(ToQString(file));
      dialog.accept();
    });
    form->ChooseBtn[static_cast<std::size_t>(slot - 1)]->click();
    EXPECT_TRUE(form->ChooseBtn[static_cast<std::size_t>(slot - 1)]->isEnabled());
  };
  choose(1, pdf);
  choose(2, doc);
  EXPECT_EQ(env.ui.AllText(), TextSettingsText(5) + "\n" + TextSettingsText(5));
  EXPECT_EQ(FromQString(form->Ed[0]->text()), "");
  EXPECT_EQ(TemplateSlot(1), "");
  EXPECT_EQ(TemplateSlot(2), "");
  choose(1, rtf);
  EXPECT_EQ(FromQString(form->Ed[0]->text()), rtf);
  EXPECT_EQ(TemplateSlot(1), rtf);
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "FormTemplate1"), rtf);

  form->Ed[4]->setText(QStringLiteral("  /nirgends/Zylinder.doc "));
  form->CloseBtn->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(TemplateSlot(5), "/nirgends/Zylinder.doc");
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "FormTemplate5"), "/nirgends/Zylinder.doc");
}

// The columns of the stock-control sheet go into the client's settings record, and the
// views are refreshed.
TEST_F(TextSettingsTest, SheetColumnsIntoTheSettingsRecord) {
  TCountingView keys;
  RegisterView(pgKeys, &keys);
  auto form = Open();
  TPrintFieldsFrame* frame = form->LendControlFieldsFrame;
  ASSERT_EQ(frame->Count(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(frame->Ticked(i), i < 6) << i;
  EXPECT_EQ(FromQString(frame->Box->item(8)->text()), PersonKeyListCaption(9));
  frame->SetTicked(1, false);
  frame->SetTicked(8, true);
  frame->SaveBtn->setEnabled(true);
  frame->SaveBtn->click();
  EXPECT_FALSE(frame->SaveBtn->isEnabled());
  EXPECT_GT(keys.refreshes, 0);
  const std::vector<int32_t> codes = ParsePrintFieldList(GetLendCtrlPrintFields(maker->db));
  EXPECT_EQ(codes, (std::vector<int32_t>{1, 3, 4, 5, 6, 9}));
  // Another station reads it from the file.
  TStoreMaker other(env.Data());
  EXPECT_EQ(ParsePrintFieldList(GetLendCtrlPrintFields(other.db)), codes);
  UnregisterView(pgKeys, &keys);
  form->CloseBtn->click();
}

// "Anleitung als PDF-Datei" opens the manual; without one it says so.
TEST_F(TextSettingsTest, ManualFromTheHelpMenu) {
  std::vector<std::string> opened;
  SetDocumentOpener([&](const std::string& file) {
    opened.push_back(file);
    return true;
  });
  auto form = Open();
  QAction* manual = form->findChild<QAction*>("Manual1");
  ASSERT_NE(manual, nullptr);
  manual->trigger();
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(env.ui.AllText(), CoreText(43) + "\r" + GetProgramFolder() + CoreText(44));
  SetDocumentOpener(nullptr);
  form->CloseBtn->click();
}

TEST_F(TextSettingsTest, ShowTextSettingsOpensItsPage) {
  for (int page : {0, 4}) {
    QWidget* shown = nullptr;
    QWidget* tables = nullptr;
    QueueDialogDriver([&](QDialog& dialog) {
      auto& form = static_cast<TTextSettingsForm&>(dialog);
      shown = form.MainPageControl->currentWidget();
      tables = form.TablesSheet;
      EXPECT_EQ(form.Ed[0]->text(), QString());
    });
    ShowTextSettings(page);
    EXPECT_EQ(shown == tables, page == 4);
  }
}

}  // namespace

namespace {

// A ".doc" or ".dot" chosen with "durchsuchen" must be a Word document: 2,000 random bytes
// are refused with text 5 even where the word processor would read them as text, and are
// not taken.
TEST_F(TextSettingsTest, RandomBytesAreNoWordTemplate) {
  TTempDir tools;
  SetWordProcessorProgram(AcceptingWordProcessor(tools));
  std::string noise(2000, '\0');
  unsigned state = 7;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  noise[0] = 'x';
  const std::string doc = env.dir.File("Zufall.doc");
  WriteAllBytes(doc, noise);
  auto form = Open();
  const int conversions = WordConversionCount();
  bool asked = false;
  QueueDialogDriver([doc, &asked](QDialog& dialog) {
    asked = true;
    TypeFileName(dialog, doc);
  });
  QTest::mouseClick(form->ChooseBtn[0], Qt::LeftButton);
  EXPECT_TRUE(asked);
  EXPECT_EQ(env.ui.AllText(), TextSettingsText(5));
  EXPECT_EQ(FromQString(form->Ed[0]->text()), "");
  EXPECT_EQ(TemplateSlot(1), "");
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "FormTemplate1"), "");
  EXPECT_EQ(WordConversionCount(), conversions);
}

// Opening a client's data takes that client's templates and texts; the next client's
// opening drops them again. The login takes the user's "PrinterDialog".
TEST(ReceiptsOfTheClient, FollowEachOpening) {
  TLoginEnv env;
  ResetReceiptSettings();
  const std::string a = env.Data() + "a/", b = env.Data() + "b/";
  PfMakeFolders(a);
  PfMakeFolders(b);
  WriteAllBytes(env.Prog() + "Tessaro.ini", "FormTemplate1=Formulare/Formular1 Ausgabe.rtf\r\n");
  WriteAllBytes(a + "Tessaro.ini", "FormTemplate1=/a/Ausgabe.rtf\r\nReceiptText=Text A\r\n");
  LoadTextSettings(kSettingsProgramLevel);

  env.state.DataPath = a;
  ASSERT_TRUE(OpenDataStore());
  EXPECT_EQ(TemplateSlot(1), "/a/Ausgabe.rtf");
  EXPECT_EQ(ReceiptText(), "Text A");
  const int32_t user = SessionDB()->NewNamedRecord(icUser, "Bea", "");
  SessionDB()->SetField(user, "PrinterDialog", "2");
  SessionDB()->Commit();
  Session().CurrentUserId = user;
  LoadUserValues();
  EXPECT_EQ(PrintSettings().printerDialog, 2);

  env.state.DataPath = b;
  ASSERT_TRUE(OpenDataStore());
  EXPECT_EQ(TemplateSlot(1), env.Prog() + "Formulare/Formular1 Ausgabe.rtf");
  EXPECT_EQ(ReceiptText(), DefaultPrintText(TPrintText::Receipt));
  ResetReceiptSettings();
  ResetPrintSettings();
}

// The program started from the build folder has the template slots an installation gets
// from Setup: each shipped "Formulare/Formular<n> ..." in slot n of the settings beside it,
// so a receipt fills the shipped template (number, deadline, remark) instead of the built-in
// page.
TEST(ReceiptsOfTheBuildFolder, HaveTheTemplateSlotsOfAnInstallation) {
  TLoginEnv env;
  const std::string bin = std::string(TESSARO_PROGRAM_DIR) + "/";
  const std::string ini = ReadAllBytes(bin + "Tessaro.ini");
  struct TSlot {
    int slot;
    int event;
    const char* file;
  } shipped[] = {{1, 2, "Formular1 Ausgabe.rtf"},
               {2, 3, "Formular2 Rueckgabe.rtf"},
               {3, 5, "Formular3 Verlust, Vernichtung.rtf"},
               {5, 0, "Formular5 Zylinder Verlust, Vernichtung.rtf"}};
  for (const TSlot& s : shipped) {
    EXPECT_NE(ini.find("FormTemplate" + std::to_string(s.slot) + "=Formulare/" + s.file + "\r\n"),
              std::string::npos)
        << s.file << "\n" << ini;
    EXPECT_TRUE(std::filesystem::exists(bin + "Formulare/" + s.file)) << s.file;
  }
  // Read as the program reads them at its start beside that file.
  TCommandLine program;
  program.Init({}, bin + "Tessaro");
  TCommandLineScope programScope(program);
  env.state.ProgramIniName = bin + "Tessaro.ini";
  ResetReceiptSettings();
  LoadTextSettings(kSettingsProgramLevel);
  for (const TSlot& s : shipped) {
    EXPECT_EQ(TemplateSlot(s.slot), bin + "Formulare/" + s.file);
    if (s.event) {
      EXPECT_EQ(TemplateFileOfEvent(s.event), bin + "Formulare/" + s.file);
    }
  }
  EXPECT_EQ(CylinderTemplateFile(5), bin + "Formulare/Formular5 Zylinder Verlust, Vernichtung.rtf");
  ResetReceiptSettings();
}

}  // namespace

namespace {

// The shipped language file knows every text of the receipts and of the dialog.
TEST(TextSettingsLanguage, EnglishEntries) {
  TScopedMLSystem ml;
  const std::string file = std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng";
  ASSERT_TRUE(ml.System().LoadLanguageFile(file, false)) << file;
  std::vector<std::string> texts;
  for (const TMLStringList* table : {PrintUnitTexts(), TextSettingsTexts()})
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0) texts.push_back(table->Text(i));
  TTextSettingsForm form;
  texts.push_back(FromQString(form.windowTitle()));
  for (QWidget* w : form.findChildren<QWidget*>()) {
    if (auto* l = qobject_cast<QLabel*>(w)) texts.push_back(FromQString(l->text()));
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts.push_back(FromQString(b->text()));
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts.push_back(FromQString(g->title()));
    if (auto* t = qobject_cast<QTabWidget*>(w))
      for (int i = 0; i < t->count(); ++i) texts.push_back(FromQString(t->tabText(i)));
    if (auto* m = qobject_cast<QMenu*>(w)) texts.push_back(FromQString(m->title()));
  }
  for (QAction* a : form.findChildren<QAction*>())
    if (!a->text().isEmpty()) texts.push_back(FromQString(a->text()));
  for (const QString& line : form.LegendMemo->toPlainText().split('\n'))
    if (!line.isEmpty()) texts.push_back(FromQString(line));
  int checked = 0;
  for (const std::string& text : texts) {
    if (text.empty() || text == "Zu druckende Felder" || text.find_first_not_of(" ") == std::string::npos)
      continue;
    if (text == "Speichern" || text.size() < 2) continue;  // the fields frame's own
    int grade = 0;
    ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_GE(grade, mlgExact) << text;
    ++checked;
  }
  EXPECT_GT(checked, 60);
  ml.System().SetCurrentLanguage("EN");
  TTextSettingsForm english;
  EXPECT_EQ(english.windowTitle(), QStringLiteral("Configure printouts"));
  EXPECT_EQ(english.ReceiptSaveBtn->text(), QStringLiteral("apply"));
  EXPECT_EQ(PrintUnitText(2), "Receipt for the issue of keys");
  EXPECT_EQ(PrintUnitText(6), "Date" + std::string(16, ' ') + "Signature of the recipient");
}

}  // namespace
