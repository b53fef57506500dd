#include <cmath>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "output/FakePrinterServices.h"
#include "output/RtfEditorUnit.h"
#include "output/RtfTextUnit.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

constexpr int kYes = 1, kNo = 2, kCancel = 0;  // AskButtons' answers

// A driver for the save or open dialog: picks the file (or cancels when it is empty).
TDialogDriver FileDialogDriver(const std::string& file, bool readOnly = false) {
  return [file, readOnly](QDialog& d) {
    auto& dialog = dynamic_cast<QFileDialog&>(d);
    if (file.empty()) {
      dialog.reject();
      return;
    }
    if (readOnly)
      if (auto* check = dialog.findChild<QCheckBox*>("ReadOnlyCheck")) check->setChecked(true);
    dialog.selectFile(QString::fromStdString(file));
    static_cast<QDialog&>(dialog).accept();
  };
}

class RtfEditorTest : public ::testing::Test {
 protected:
  void Type(TRtfForm& form, const char* text) {
    form.Editor->setFocus();
    QTest::keyClicks(form.Editor, QString::fromLatin1(text));
  }
  TTempDir tmp;
  TScopedRecorder ui;
};

// The preview of a filled receipt: opened and closed without changes, nothing is asked.
TEST_F(RtfEditorTest, UnchangedPreviewAsksNothing) {
  bool seen = false;
  QueueDialogDriver([&](QDialog& d) {
    auto& form = dynamic_cast<TRtfForm&>(d);
    seen = true;
    EXPECT_EQ(FromQString(form.Editor->toPlainText()), "Quittung f\xFCr Frau M\xFCller");
    EXPECT_TRUE(form.FileName().empty());
    EXPECT_FALSE(form.Modified());
    EXPECT_EQ(FromQString(form.windowTitle()), "Ausdruck");
    form.close();
    EXPECT_FALSE(form.isVisible());
  });
  EditRtfFile("Ausdruck", "{\\rtf1 Quittung f\\'fcr Frau M\\'fcller}");
  EXPECT_TRUE(seen);
  EXPECT_TRUE(ui.questions.empty());
}

// "Ja" to the question on closing or on "Neu", and then no save (the dialog cancelled, the
// write refused): the window and the text stay.
TEST_F(RtfEditorTest, CancelledOrRefusedSaveKeepsWindowAndText) {
  const std::string target = tmp.File("Formular.rtf");
  QueueDialogDriver([&](QDialog& d) {
    auto& form = dynamic_cast<TRtfForm&>(d);
    Type(form, "Neuer Text");
    ASSERT_TRUE(form.Modified());

    ui.answers = {kYes};
    QueueDialogDriver(FileDialogDriver(""));  // the save dialog is cancelled
    form.close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(FromQString(form.Editor->toPlainText()), "Neuer Text");
    EXPECT_TRUE(form.Modified());

    // "Neu", "Ja", a name, and the write fails: the text stays, nothing is left behind.
    ui.answers = {kYes};
    QueueDialogDriver(FileDialogDriver(target));
    {
      TPfFaultScope fail([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EACCES : 0; });
      form.NewText();
    }
    EXPECT_EQ(FromQString(form.Editor->toPlainText()), "Neuer Text");
    EXPECT_TRUE(form.Modified());
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_NE(ui.AllText().find("konnte nicht gespeichert werden"), std::string::npos);

    // "Abbrechen" stays too; "Nein" closes and drops the text.
    ui.answers = {kCancel};
    form.close();
    EXPECT_TRUE(form.isVisible());
    ui.answers = {kNo};
    form.close();
    EXPECT_FALSE(form.isVisible());
  });
  EditRtfText("Formular-Editor", "", false);
  EXPECT_EQ(ui.questions.size(), 4u);
  EXPECT_NE(ui.questions[0].find("\xC4nderungen speichern in Formular-Editor?"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));  // no "~" file was left
}

// Saving over an existing file asks; "Nein" leaves the file as it was, "Ja" replaces it.
TEST_F(RtfEditorTest, OverwriteOnlyOnYes) {
  const std::string target = tmp.File("Vorlage.rtf");
  WriteAllBytes(target, "{\\rtf1 alt}");
  TRtfForm form;
  form.LoadRtf("{\\rtf1 neu}");
  Type(form, "X");
  ui.answers = {kNo};
  QueueDialogDriver(FileDialogDriver(target));
  EXPECT_FALSE(form.SaveAs());
  EXPECT_EQ(ReadAllBytes(target), "{\\rtf1 alt}");
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_NE(ui.questions[0].find("\xDC" "berschreiben von " + target), std::string::npos);

  ui.answers = {kYes};
  QueueDialogDriver(FileDialogDriver(target));
  EXPECT_TRUE(form.SaveAs());
  EXPECT_FALSE(form.Modified());
  EXPECT_EQ(form.FileName(), target);
  EXPECT_EQ(FromQString(form.windowTitle()), "Editor - Vorlage.rtf");
  QTextDocument back;
  ASSERT_TRUE(LoadRtfIntoDocument(back, ReadAllBytes(target)));
  EXPECT_EQ(back.toPlainText(), QStringLiteral("Xneu"));
}

// Opening through the dialog, with its read-only choice; the name is forgotten when the
// caller does not keep it.
TEST_F(RtfEditorTest, OpenFilesAndNames) {
  const std::string file = tmp.File("Text.rtf");
  WriteAllBytes(file, "{\\rtf1\\ansi\\pard\\qc {\\b fett} normal\\par zweite}");
  TRtfForm form;
  QueueDialogDriver(FileDialogDriver(file, true));
  form.OpenWithDialog();
  EXPECT_EQ(form.FileName(), file);
  EXPECT_TRUE(form.Editor->isReadOnly());
  EXPECT_FALSE(form.Modified());
  // The controls follow the selection: the first paragraph is centred, its first word bold.
  QTextCursor c = form.Editor->textCursor();
  c.setPosition(2);
  form.Editor->setTextCursor(c);
  EXPECT_TRUE(form.BoldButton->isChecked());
  EXPECT_TRUE(form.CenterButton->isChecked());
  EXPECT_FALSE(form.RightButton->isChecked());
  EXPECT_EQ(form.StatusText(), "Spalte: 3, Zeile: 1");
  c.movePosition(QTextCursor::End);
  form.Editor->setTextCursor(c);
  EXPECT_FALSE(form.BoldButton->isChecked());
  EXPECT_EQ(form.StatusText(), "Spalte: 7, Zeile: 2");
  // Cut and copy only with a selection.
  EXPECT_FALSE(form.CutButton->isEnabled());
  c.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
  form.Editor->setTextCursor(c);
  EXPECT_TRUE(form.CopyButton->isEnabled());

  bool untitled = false;
  QueueDialogDriver([&](QDialog& d) {
    auto& f = dynamic_cast<TRtfForm&>(d);
    untitled = f.FileName().empty() && f.Editor->toPlainText().contains("zweite");
  });
  EditRtfText("Text", file, false);
  EXPECT_TRUE(untitled);
  EXPECT_TRUE(ui.questions.empty());
}

// The ruler: markers stand at the paragraph's indents; a dropped marker sets the indent of
// the selected paragraphs in whole points, trunc(pixels x 3/4) from the ruler's gutter.
TEST_F(RtfEditorTest, RulerDrop) {
  TRtfForm form;
  form.show();
  form.LoadRtf("{\\rtf1 \\pard\\li1440\\fi-720 eins\\par zwei}");
  QWidget* first = form.findChild<QWidget*>("FirstInd");
  QWidget* left = form.findChild<QWidget*>("LeftInd");
  QWidget* right = form.findChild<QWidget*>("RightInd");
  ASSERT_TRUE(first && left && right);
  // 1440 twips = 96 pixels; the first line 720 twips = 48 pixels less; gutter 6.
  EXPECT_EQ(left->x() + left->width() / 2, 96 + 6);
  EXPECT_EQ(first->x() + first->width() / 2, 48 + 6);

  form.RulerDrop(1, 6 + 101);  // 101 pixels: 75.75 points
  EXPECT_DOUBLE_EQ(form.ParagraphIndents().left, 75);
  EXPECT_DOUBLE_EQ(form.ParagraphIndents().first, 36);  // unchanged: 48 pixels
  form.RulerDrop(0, 6 + 10);
  EXPECT_DOUBLE_EQ(form.ParagraphIndents().first, 7);  // trunc(7.5)
  EXPECT_DOUBLE_EQ(form.ParagraphIndents().left, 7 + (75 - 36));
  form.RulerDrop(2, form.findChild<QWidget*>("Ruler")->width() - 6 - 50);
  EXPECT_DOUBLE_EQ(form.ParagraphIndents().right, 37);  // trunc(37.5)

  // A drag with the mouse ends in the same drop.
  auto send = [](QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  const QPoint grip(left->width() / 2, 3);
  send(left, QEvent::MouseButtonPress, grip, Qt::LeftButton);
  send(left, QEvent::MouseMove, grip + QPoint(40, 0), Qt::LeftButton);
  send(left, QEvent::MouseButtonRelease, grip + QPoint(40, 0), Qt::NoButton);
  const int centre = left->x() + left->width() / 2;
  EXPECT_DOUBLE_EQ(form.ParagraphIndents().left, std::trunc((centre - 6) * 3.0 / 4.0));
  EXPECT_TRUE(form.Modified());
}

TEST_F(RtfEditorTest, PrintNeedsAPrinter) {
  TFakePrinterScope printers;
  TRtfForm form;
  form.SetBaseCaption("Formular");
  form.LoadRtf("{\\rtf1 Seite}");
  EXPECT_TRUE(form.PrintText());
  EXPECT_EQ(ReadAllBytes(printers.printers.PdfOf("Empfang")).substr(0, 5), "%PDF-");

  printers.printers.names.clear();
  SetPrinterServices(&printers.printers);
  EXPECT_FALSE(form.PrintText());
  EXPECT_NE(ui.AllText().find("Es ist kein Drucker installiert."), std::string::npos);
}

}  // namespace

namespace {

// The shipped language file knows every text the editor and the text documents show.
TEST(RtfEditorLanguage, EnglishEntries) {
  TScopedMLSystem ml;
  const std::string file = (std::filesystem::path(TESSARO_TEST_DATA).parent_path().parent_path() /
                            "resources" / "System" / "Tessaro.lng").string();
  ASSERT_TRUE(ml.System().LoadLanguageFile(file, false)) << file;
  RtfEditorText(1);  // the table exists
  std::vector<std::string> texts{"Ausdruck", "Formular-Editor",
                                 "Die Word-Vorlage wird gelesen, bitte warten ..."};
  for (const TMLStringList* table : MLStringLists())
    if (table->UnitName() == "TRtfForm")
      for (int i = 0; i < table->Count(); ++i)
        if (table->Number(i) > 0) texts.push_back(table->Text(i));
  for (const std::string& text : texts) {
    int grade = 0;
    ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_GE(grade, mlgExact) << text;
  }
  ml.System().SetCurrentLanguage("EN");
  TRtfForm form;
  EXPECT_EQ(form.findChild<QMenu*>("FileMenu")->title(), QStringLiteral("File"));
  EXPECT_EQ(form.FileSaveAsItem->text(), QStringLiteral("Save as ..."));
  EXPECT_EQ(form.BoldButton->toolTip(), QStringLiteral("Bold"));
  EXPECT_EQ(form.StatusText(), "Column: 1, Line: 1");
}

}  // namespace
