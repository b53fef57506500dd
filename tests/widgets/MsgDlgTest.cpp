#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "basic/MsgDlgUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtUserInteraction.h"
#include "QtPrint.h"

namespace {

QStringList VisibleButtons(QDialog& dialog) {
  QStringList captions;
  for (QPushButton* b : dialog.findChildren<QPushButton*>())
    if (b->isVisible()) captions << b->text();
  return captions;
}

class MsgDlgTest : public ::testing::Test {
 protected:
  TQtUserInteraction ui;
  TUserInteractionScope scope{ui};
};

TEST_F(MsgDlgTest, AskButtonsReturnsTheNumberOfTheCaption) {
  struct Case {
    const char *c1, *c2;
    bool cancel;
    const char *c3, *click;  // nullptr: closed without a button
    int result;
    int buttons;
  } cases[] = {
      {"Behalten", "Ersetzen", true, "Beide", "Behalten", 1, 4},
      {"Behalten", "Ersetzen", true, "Beide", "Ersetzen", 2, 4},
      {"Behalten", "Ersetzen", true, "Beide", "Beide", 3, 4},
      {"Behalten", "Ersetzen", true, "Beide", "Abbrechen", 0, 4},
      {"Behalten", "Ersetzen", true, "Beide", nullptr, 0, 4},
      {"", "Ersetzen", false, "Beide", "Beide", 3, 2},
      // Caption 1 alone and no Cancel: one button, 1 when pressed, 0 when closed.
      {"Weiter", "", false, "", "Weiter", 1, 1},
      {"Weiter", "", false, "", nullptr, 0, 1},
  };
  for (const Case& c : cases) {
    QStringList shown;
    QueueDialogDriver([&](QDialog& dialog) {
      shown = VisibleButtons(dialog);
      if (c.click) ClickButtonDriver(QString::fromLatin1(c.click))(dialog);
    });
    EXPECT_EQ(AskButtons("Was tun?", c.c1, c.c2, c.cancel, c.c3), c.result) << c.c1 << c.click;
    EXPECT_EQ(shown.size(), c.buttons) << shown.join(QLatin1Char(',')).toStdString();
  }
  // No button at all: nothing is shown.
  EXPECT_EQ(AskButtons("Was tun?", "", "", false, ""), 0);
}

TEST_F(MsgDlgTest, ScriptedAnswersReachTheQuestions) {
  struct Case {
    int (*ask)(const std::string&);
    const char* click;
    int result;
  } cases[] = {
      {AskYesNo, "&Ja", mrYes},         {AskYesNo, "Nein", mrNo},
      {AskYesNo, nullptr, mrNo},        {AskYesCancel, "Ja", mrYes},
      {AskYesCancel, "Abbrechen", mrCancel}, {AskYesCancel, nullptr, mrCancel},
      {AskErrorYesCancel, "Ja", mrYes}, {AskErrorYesCancel, nullptr, mrCancel},
  };
  for (const Case& c : cases) {
    QueueDialogDriver(c.click ? ClickButtonDriver(QString::fromLatin1(c.click)) : TDialogDriver());
    EXPECT_EQ(c.ask("Wirklich l\xF6schen?"), c.result) << c.click;
  }
}

TEST_F(MsgDlgTest, ReadOnlyInputNeverChangesTheValue) {
  std::string value = "Schl\xFC" "ssel 12";
  QStringList buttons;
  QueueDialogDriver([&](QDialog& dialog) {
    buttons = VisibleButtons(dialog);
    auto* edit = dialog.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->text(), QStringLiteral("Schlüssel 12"));
    QTest::keyClicks(edit, QStringLiteral("xyz"));
    ClickButtonDriver(QStringLiteral("OK"))(dialog);
  });
  EXPECT_TRUE(InputText("Nummer:", value, false));
  EXPECT_EQ(value, "Schl\xFC" "ssel 12");
  EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
}

TEST_F(MsgDlgTest, EditableInputTakesTheTextOnlyOnOk) {
  for (const char* click : {"OK", "Abbrechen"}) {
    std::string value = "alt";
    QString title;
    QueueDialogDriver([&](QDialog& dialog) {
      title = dialog.windowTitle();
      auto* edit = dialog.findChild<QLineEdit*>();
      ASSERT_NE(edit, nullptr);
      edit->selectAll();
      edit->insert(QStringLiteral("Tür 4"));  // keyClicks knows only ASCII
      ClickButtonDriver(QString::fromLatin1(click))(dialog);
    });
    const bool ok = InputText("Name:", value, true);
    EXPECT_EQ(title, QStringLiteral("Eingabe"));
    EXPECT_EQ(ok, std::string(click) == "OK");
    EXPECT_EQ(value, ok ? "T\xFCr 4" : "alt");
  }
}

TEST_F(MsgDlgTest, MessagesArePlainTextCentredOnTheMainWindow) {
  QMainWindow main;
  main.setGeometry(100, 100, 800, 600);
  main.show();
  ui.SetMainWindow(&main);
  QString title, text;
  QPoint offset;
  QueueDialogDriver([&](QDialog& dialog) {
    title = dialog.windowTitle();
    for (QLabel* l : dialog.findChildren<QLabel*>())
      if (!l->text().isEmpty()) text = l->text();
    offset = dialog.geometry().center() - main.geometry().center();
    ClickButtonDriver(QStringLiteral("OK"))(dialog);
  });
  ShowError("<b>Datei</b> fehlt:\r\nM\xFC" "ller.ada");
  EXPECT_EQ(title, QStringLiteral("Fehler"));
  EXPECT_EQ(text, QStringLiteral("<b>Datei</b> fehlt:\nMüller.ada"));
  EXPECT_LE(offset.manhattanLength(), 4);
}

// A box while a window of the program stays on top (the record generator) stays on top
// itself: under that window it would block every click unseen.
TEST_F(MsgDlgTest, ABoxStaysOnTopWhileAWindowOfTheProgramDoes) {
  QMainWindow main;
  main.setGeometry(100, 100, 800, 600);
  main.show();
  ui.SetMainWindow(&main);
  QDialog onTop(&main);
  onTop.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  for (bool shown : {false, true}) {
    onTop.setVisible(shown);
    bool boxOnTop = !shown;
    QueueDialogDriver([&](QDialog& dialog) {
      boxOnTop = dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      ClickButtonDriver(QStringLiteral("OK"))(dialog);
    });
    ShowInfo("Es wurden 5 neue Datens\xE4tze angelegt.");
    EXPECT_EQ(boxOnTop, shown);
  }
}

// Lines the caller broke itself are not broken again; a very long one still wraps.
TEST_F(MsgDlgTest, ABoxIsAsWideAsItsLongestLine) {
  const QString line = QStringLiteral("Im Datenordner fehlt die Datenbank-Datei, es liegt dort eine Kopie");
  for (const QString& text : {line + "\n" + line, line.repeated(4)}) {
    int labelWidth = 0, lineWidth = 0;
    bool wraps = false;
    QueueDialogDriver([&](QDialog& dialog) {
      for (QLabel* l : dialog.findChildren<QLabel*>())
        if (!l->text().isEmpty()) {
          labelWidth = l->width();
          lineWidth = l->fontMetrics().horizontalAdvance(line);
          wraps = l->wordWrap();
        }
      ClickButtonDriver(QStringLiteral("OK"))(dialog);
    });
    ShowInfo(FromQString(text));
    EXPECT_EQ(wraps, text.size() > 2 * line.size() + 1);
    if (!wraps) {
      EXPECT_GE(labelWidth, lineWidth);
    }
  }
}

TEST(QtGlue, TextsAndColoursCrossTheBoundary) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(FromQString(ToQString(all)), all);
  EXPECT_EQ(ToQString("\x80"), QString(QChar(0x20AC)));
  EXPECT_EQ(FromQString(QStringLiteral("Ω")), "?");
  EXPECT_EQ(ColorFromBgr(0xD0FFFF), QColor(0xFF, 0xFF, 0xD0));
  EXPECT_EQ(BgrFromColor(QColor(0x31, 0x6A, 0xC5)), 0xC56A31u);
}

}  // namespace
