#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtUserInteraction.h"
#include "support/TestSupport.h"
#include "QtPrint.h"

namespace {

QString Q(const char16_t* s) { return QString::fromStdU16String(s); }

// A language file as the program ships it: UTF-16 LE with its mark, CR LF.
void WriteLanguageFile(const std::string& file, const std::vector<std::u16string>& lines) {
  std::u16string text = u"\xFEFF";
  for (const auto& l : lines) text += l + u"\r\n";
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  WriteAllBytes(file, bytes);
}

const char16_t* const kGreekKey = u"\u039A\u03BB\u03B5\u03B9\u03B4\u03AF";  // "Kleidi"
const char16_t* const kGreekError = u"\u03A3\u03C6\u03AC\u03BB\u03BC\u03B1";

class MultiLinguaForms : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteLanguageFile(dir.File("Tessaro.lng"),
                      {u"// ID=1;", u"DE=Schl\u00FCssel", u"EN=Key", std::u16string(u"EL=") + kGreekKey,
                       u"", u"DE=Schl\u00FCssel bearbeiten", u"EN=Edit key", u"",
                       u"DE=Aktiv", u"EN=Active on every workstation of the site", u"",
                       u"DE=Nummer des Schl\u00FCssels", u"EN=Number of the key", u"",
                       u"DE=Optionen", u"EN=Options", u"", u"DE=Allgemein", u"EN=General", u"",
                       u"DE=Speichern", u"EN=Save", u"", u"DE=Gruppe", u"EN=Group", u"",
                       u"DE=Sprache", u"EN=Language", u"",
                       u"DE=Wirklich l\u00F6schen?", u"EN=Really delete?", u"",
                       u"DE=Zeile eins#13#Zeile zwei", u"EN=Line one#13#Line two", u"",
                       u"DE=Fehler", u"EN=Error", std::u16string(u"EL=") + kGreekError, u"",
                       u"DE=Ja", u"EN=Yes", u"", u"DE=Nein", u"EN=No"});
    ASSERT_TRUE(LoadLanguageFile(dir.File("Tessaro.lng"), false));
  }

  TTempDir dir;
  TScopedMLSystem ml;
};

// A small form as a view builds it: captions in German, and fields holding what the user typed.
struct TSmallForm {
  QWidget window;
  QLabel* label = new QLabel(QStringLiteral("&") + ToQString("Schl\xFC" "ssel:"), &window);
  QLabel* untranslated = new QLabel(QStringLiteral("&Sonstiges"), &window);
  QCheckBox* check = new QCheckBox(QStringLiteral("Aktiv"), &window);
  QLineEdit* edit = new QLineEdit(&window);
  QTextEdit* memo = new QTextEdit(&window);
  QGroupBox* group = new QGroupBox(QStringLiteral("Optionen"), &window);
  QTabWidget* tabs = new QTabWidget(&window);
  QMenuBar* bar = new QMenuBar(&window);
  QAction* save = nullptr;
  QString longText;

  TSmallForm() {
    window.setWindowTitle(ToQString("Schl\xFC" "ssel bearbeiten"));
    check->setGeometry(10, 40, 50, 20);  // placed by hand, as wide as the German caption
    edit->setText(ToQString("Schl\xFC" "ssel"));  // typed by the user, and also in the file
    edit->setToolTip(ToQString("Nummer des Schl\xFC" "ssels"));
    for (int i = 0; i < 1000; ++i) longText += QStringLiteral("Aktiv\nSpeichern\n");
    memo->setPlainText(longText);
    tabs->addTab(new QWidget, QStringLiteral("Allgemein"));
    save = bar->addMenu(QStringLiteral("Gruppe"))->addAction(QStringLiteral("&Speichern"));
  }
};

TEST_F(MultiLinguaForms, SwitchTranslatesCaptionsOnlyAndComesBack) {
  TSmallForm f;
  f.window.show();
  const int counter = ml.System().SwitchCounter();

  ASSERT_TRUE(SwitchLanguage("DE", "EN", ""));
  EXPECT_EQ(ml.System().CurrentLanguage(), "EN");
  EXPECT_EQ(ml.System().SwitchCounter(), counter + 1);
  EXPECT_EQ(f.window.windowTitle(), "Edit key");
  EXPECT_EQ(f.label->text(), "Key:");
  EXPECT_EQ(f.untranslated->text(), "&Sonstiges");  // no entry: accelerator kept
  EXPECT_EQ(f.check->text(), "Active on every workstation of the site");
  EXPECT_GE(f.check->width(), f.check->fontMetrics().horizontalAdvance(f.check->text()) + 22);
  EXPECT_GE(f.check->width(), f.check->sizeHint().width());
  EXPECT_EQ(f.edit->text(), ToQString("Schl\xFC" "ssel"));
  EXPECT_EQ(f.edit->toolTip(), "Number of the key");
  EXPECT_EQ(f.memo->toPlainText(), f.longText);
  EXPECT_EQ(f.group->title(), "Options");
  EXPECT_EQ(f.tabs->tabText(0), "General");
  EXPECT_EQ(f.save->text(), "Save");
  EXPECT_EQ(f.bar->actions().at(0)->text(), "Group");

  // Greek shows as Greek; texts without a Greek line fall back to the second language.
  ASSERT_TRUE(SwitchLanguage("EN", "EL", ""));
  EXPECT_EQ(f.label->text(), Q(kGreekKey) + ":");
  EXPECT_EQ(f.check->text(), "Active on every workstation of the site");

  ASSERT_TRUE(SwitchLanguage("EL", "DE", ""));
  EXPECT_EQ(f.window.windowTitle(), ToQString("Schl\xFC" "ssel bearbeiten"));
  EXPECT_EQ(f.label->text(), ToQString("&Schl\xFC" "ssel:"));
  EXPECT_EQ(f.untranslated->text(), "&Sonstiges");
  EXPECT_EQ(f.check->text(), "Aktiv");
  EXPECT_EQ(f.edit->text(), ToQString("Schl\xFC" "ssel"));
  EXPECT_EQ(f.edit->toolTip(), ToQString("Nummer des Schl\xFC" "ssels"));
  EXPECT_EQ(f.memo->toPlainText(), f.longText);
  EXPECT_EQ(f.group->title(), "Optionen");
  EXPECT_EQ(f.tabs->tabText(0), "Allgemein");
  EXPECT_EQ(f.save->text(), "&Speichern");
  EXPECT_EQ(f.bar->actions().at(0)->text(), "Gruppe");

  // An unknown language changes nothing.
  EXPECT_FALSE(SwitchLanguage("DE", "FR", ""));
  EXPECT_EQ(ml.System().CurrentLanguage(), "DE");
  EXPECT_EQ(f.check->text(), "Aktiv");
}

TEST_F(MultiLinguaForms, TextsSetByCodeAreTakenAsNew) {
  TSmallForm f;
  QLabel* shown = new QLabel(&f.window);  // shows a record: never translated
  shown->setText(ToQString("Schl\xFC" "ssel"));
  SetNoTranslate(shown);
  ASSERT_TRUE(SwitchLanguage("DE", "EN", ""));
  EXPECT_EQ(shown->text(), ToQString("Schl\xFC" "ssel"));

  // After the switch the view puts its own texts in: one German, one already translated.
  f.label->setText(QStringLiteral("Gruppe"));
  f.untranslated->setText(QStringLiteral("Key"));
  ASSERT_TRUE(SwitchLanguage("EN", "DE", ""));
  EXPECT_EQ(f.label->text(), "Gruppe");  // not the remembered "&Schlüssel:"
  EXPECT_EQ(f.untranslated->text(), ToQString("Schl\xFC" "ssel"));
  ASSERT_TRUE(SwitchLanguage("DE", "EN", ""));
  EXPECT_EQ(f.label->text(), "Group");
  EXPECT_EQ(f.untranslated->text(), "Key");
  EXPECT_EQ(shown->text(), ToQString("Schl\xFC" "ssel"));

  // A window built while English is current is translated from German when it is made.
  TSmallForm late;
  TranslateForm(&late.window);
  EXPECT_EQ(late.label->text(), "Key:");
  EXPECT_EQ(late.edit->text(), ToQString("Schl\xFC" "ssel"));
  EXPECT_EQ(late.memo->toPlainText(), late.longText);
}

TEST_F(MultiLinguaForms, LanguageMenuChecksTheCurrentOneAndSwitches) {
  QWidget window;
  QMenuBar bar(&window);
  QMenu* menu = bar.addMenu(QStringLiteral("Sprache"));
  QLabel* label = new QLabel(ToQString("Schl\xFC" "ssel"), &window);

  FillLanguageMenu(menu, false, nullptr);
  QStringList captions;
  for (QAction* a : menu->actions()) captions << a->text();
  EXPECT_EQ(captions, QStringList({"English", "Greek"}));
  for (QAction* a : menu->actions()) EXPECT_TRUE(a->isCheckable() && !a->isChecked());

  FillLanguageMenu(menu, true, nullptr);  // refilled, not added to
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "Deutsch (German)");
  EXPECT_TRUE(actions[0]->isChecked());
  EXPECT_FALSE(actions[1]->isChecked());

  actions[1]->trigger();
  EXPECT_EQ(ml.System().CurrentLanguage(), "EN");
  EXPECT_EQ(label->text(), "Key");
  EXPECT_EQ(menu->title(), "Language");
  EXPECT_EQ(actions[1]->text(), "English");  // a language's name is not translated
  EXPECT_FALSE(actions[0]->isChecked());
  EXPECT_TRUE(actions[1]->isChecked());

  // With a handler, the handler decides; the checks follow the language in force.
  std::string chosen;
  FillLanguageMenu(menu, true, [&](const std::string& code) { chosen = code; });
  menu->actions()[2]->trigger();
  EXPECT_EQ(chosen, "EL");
  EXPECT_EQ(ml.System().CurrentLanguage(), "EN");
  EXPECT_TRUE(menu->actions()[1]->isChecked());
  EXPECT_FALSE(menu->actions()[2]->isChecked());
}

TEST_F(MultiLinguaForms, MessageBoxesAreTranslatedThroughTheHook) {
  TQtUserInteraction ui;
  TUserInteractionScope scope{ui};
  struct Seen {
    QString title, text;
    QStringList buttons;
  };
  auto record = [](Seen& seen, const QString& click) {
    QueueDialogDriver([&seen, click](QDialog& d) {
      seen.title = d.windowTitle();
      for (QLabel* l : d.findChildren<QLabel*>())
        if (!l->text().isEmpty()) seen.text = l->text();
      for (QPushButton* b : d.findChildren<QPushButton*>()) seen.buttons << b->text();
      if (!click.isEmpty()) ClickButtonDriver(click)(d);
    });
  };

  ml.System().SetCurrentLanguage("EN");
  Seen ask;
  record(ask, QStringLiteral("Yes"));
  EXPECT_EQ(AskYesNo("Wirklich l\xF6schen?"), mrYes);
  EXPECT_EQ(ask.text, "Really delete?");
  EXPECT_EQ(ask.buttons, QStringList({"Yes", "No"}));

  struct Case {
    std::string text;
    QString shown;
  } cases[] = {
      {"Zeile eins\rZeile zwei", "Line one\nLine two"},
      {"Zeile eins\r\nZeile zwei", "Line one\nLine two"},
      {"Firma M&M GmbH:", "Firma M&M GmbH:"},  // no entry: shown exactly as given
  };
  for (const Case& c : cases) {
    Seen error;
    record(error, QString());
    ShowError(c.text);
    EXPECT_EQ(error.title, "Error");
    EXPECT_EQ(error.text, c.shown) << c.text;
  }

  // Unicode all the way to the box.
  ml.System().SetCurrentLanguage("EL");
  Seen greek;
  record(greek, QString());
  ShowError("Schl\xFC" "ssel");
  EXPECT_EQ(greek.title, Q(kGreekError));
  EXPECT_EQ(greek.text, Q(kGreekKey));

  // The hook on its own.
  TMsgDlgTexts texts{u"Fehler", u"Schl\u00FCssel", {u"&Ja", u"Weiter"}};
  TranslateMsgDlg(texts);
  EXPECT_EQ(texts.title, kGreekError);
  EXPECT_EQ(texts.text, kGreekKey);
  EXPECT_EQ(texts.buttons, (std::vector<std::u16string>{u"Yes", u"Weiter"}));
}

TEST_F(MultiLinguaForms, CaptionAndHintSplitAtTheFirstLineBreak) {
  QLabel caption, hint;
  struct Case {
    std::u16string text;
    QString caption, hint;
  } cases[] = {
      {u"  Titel \r Erkl\u00E4rung eins\rzwei  ", "Titel", Q(u"Erkl\u00E4rung eins\nzwei")},
      {u"Titel\r\nErkl\u00E4rung", "Titel", Q(u"Erkl\u00E4rung")},
      {u"Nur ein Titel ", "Nur ein Titel", ""},
      {kGreekKey, Q(kGreekKey), ""},
  };
  for (const Case& c : cases) {
    SetCaptionAndHint(c.text, &caption, &hint);
    EXPECT_EQ(caption.text(), c.caption);
    EXPECT_EQ(hint.text(), c.hint);
  }
  SetCaptionAndHint(std::string("Schl\xFC" "ssel\rText"), &caption, nullptr);
  EXPECT_EQ(caption.text(), ToQString("Schl\xFC" "ssel"));
}

}  // namespace
