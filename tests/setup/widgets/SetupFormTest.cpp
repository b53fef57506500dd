// The installer's window on the offscreen platform, every dialog driven.
#include "setup/widgets/MvSetupForm1Unit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/InstanceChannel.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/StockUnit.h"
#include "platform/RegistryStore.h"
#include "setup/SetupFormUnit.h"
#include "setup/SetupTestSupport.h"
#include "setup/SetupUninstallUnit.h"
#include "setup/widgets/PersonsUnit.h"

#ifndef TESSARO_SETUP_RESOURCES
#error "TESSARO_SETUP_RESOURCES names resources/Setup"
#endif

namespace {

// The text a box showed (its longest label) and the button to press (empty: the default).
TDialogDriver Answer(std::string* shown, const std::string& button = "") {
  return [shown, button](QDialog& dialog) {
    if (shown) {
      shown->clear();
      for (QLabel* label : dialog.findChildren<QLabel*>())
        if (FromQString(label->text()).size() > shown->size()) *shown = FromQString(label->text());
    }
    if (!button.empty()) {
      if (QAbstractButton* b = FindDialogButton(dialog, ToQString(button))) b->click();
      return;
    }
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
      if (b->isDefault()) return b->click();
  };
}

// A message text as a box shows it.
std::string Shown(std::string text) {
  for (char& c : text)
    if (c == '\r') c = '\n';
  return text;
}

class SetupForm : public ::testing::Test {
 protected:
  SetupForm() : instance_("TESSARO_INSTANCE_DIR", instanceDir_.Path().c_str()), scope_(ui_) {
    ml_.System().SetLanguageNameTable(SetupLanguageNames());
    ml_.System().LoadLanguageFile(TESSARO_SETUP_RESOURCES "/Setup.lng", true);
  }

  std::unique_ptr<TMvSetupForm1> NewForm(const std::vector<std::string>& commands,
                                         const std::vector<TPayloadFile>& files = {},
                                         std::vector<std::string> args = {}) {
    home.Fresh();
    home.UseInstaller(home.MakeInstaller(commands, files));
    auto form = std::make_unique<TMvSetupForm1>(std::move(args));
    form->FormCreate();
    return form;
  }

  // Up to the folder question.
  std::unique_ptr<TMvSetupForm1> AtAskPanel(const std::vector<std::string>& commands,
                                            const std::vector<TPayloadFile>& files = {}) {
    auto form = NewForm(commands, files);
    EXPECT_EQ(form->CurrentPanel(), "LngPanel");
    form->LngOkBtnClick();
    EXPECT_EQ(form->CurrentPanel(), "AskPanel");
    form->FirstCheckTimer->stop();
    return form;
  }

  TTempDir instanceDir_;
  TEnvScope instance_;
  TSetupHome home;
  TScopedMLSystem ml_;
  TQtUserInteraction ui_;
  TUserInteractionScope scope_;
  const TPayloadFile program_{"ELF program"};
  std::vector<std::string> Installation() const {
    return {kPathLine, SaveLine("*PgmPath*Tessaro", program_, ",Mode=755"),
            "action=uninst,name=Tessaro", "action=exec,params=aftersetup"};
  }
};

TEST_F(SetupForm, TheFolderCheckRefusesAndNothingIsWritten) {
  auto form = AtAskPanel(Installation(), {program_});
  EXPECT_EQ(FromQString(form->PgmPathEd->text()), home.Pgm());
  EXPECT_EQ(FromQString(form->NameVersionLabel->text()), "Tessaro (Version 1.0)");
  for (const char* text : {"/", "/opt", "/home/", "Tessaro", "/opt/../x", "  "}) {
    form->PgmPathEd->setText(text);
    std::string shown;
    QueueDialogDriver(Answer(&shown));
    form->StartBtnClick();
    EXPECT_EQ(shown, Shown(SetupFormText(4))) << text;
    EXPECT_EQ(form->CurrentPanel(), "AskPanel") << text;
    EXPECT_FALSE(form->Finished());
  }
  EXPECT_EQ(FromQString(form->PgmPathEd->text()), home.Pgm()) << "an empty field is filled again";
  EXPECT_EQ(TreeOf(home.Home()), std::vector<std::string>{});
}

TEST_F(SetupForm, TheChooserAppendsTheProgramsFolder) {
  auto form = AtAskPanel(Installation(), {program_});
  std::filesystem::create_directories(home.Home() + "Apps");
  std::filesystem::create_directories(home.Home() + "MyTessaro");
  struct TCase {
    std::string field, result;
  };
  const TCase cases[] = {{home.Home() + "Apps/", home.Home() + "Apps/Tessaro/"},
                         {home.Home() + "MyTessaro/", home.Home() + "MyTessaro/"}};
  for (const TCase& c : cases) {
    form->PgmPathEd->setText(ToQString(c.field));
    std::string title;
    QueueDialogDriver([&title](QDialog& dialog) {
      title = FromQString(dialog.windowTitle());
      dialog.accept();
    });
    form->ChooseBtnClick();
    EXPECT_EQ(title, SetupFormText(14));
    EXPECT_EQ(FromQString(form->PgmPathEd->text()), c.result);
  }
  // Cancelled: the field stays.
  QueueDialogDriver([](QDialog& dialog) { dialog.reject(); });
  form->ChooseBtnClick();
  EXPECT_EQ(FromQString(form->PgmPathEd->text()), home.Home() + "MyTessaro/");
}

TEST_F(SetupForm, InstallWritesTheSettingsFileAndStartsTheProgram) {
  {
    auto form = AtAskPanel(Installation(), {program_});
    std::string persons, done;
    QueueDialogDriver([&persons](QDialog& dialog) {
      auto& form = dynamic_cast<TPersonsForm&>(dialog);
      EXPECT_EQ(form.TermList->count(), 5);
      EXPECT_EQ(form.TermList->currentRow(), 0);
      form.TermList->setCurrentRow(1);
      persons = FromQString(form.TermList->currentItem()->text());
      form.OkBtn->click();
    });
    QueueDialogDriver(Answer(&done));
    form->StartBtnClick();
    EXPECT_EQ(persons, "Mieter");
    EXPECT_EQ(done, Shown(SetupFormText(9)));
    EXPECT_TRUE(form->Finished());
    EXPECT_EQ(form->ExitCode(), 0);
    EXPECT_EQ(ReadAllBytes(home.Pgm() + "Tessaro.ini"), "Lng=DE\r\nPersonsTerm=Mieter\r\n");
    ASSERT_EQ(home.started.size(), 1u);
    EXPECT_EQ(home.started[0].program, home.Pgm() + "Tessaro");
    EXPECT_EQ(home.started[0].args, std::vector<std::string>{"aftersetup"});
    std::vector<std::string> list;
    ASSERT_TRUE(ReadUninstallListFrom(ReadAllBytes(home.Pgm() + "uninstall"), list));
    EXPECT_EQ(list.back().rfind("dir=", 0), 0u);
    EXPECT_NE(std::find(list.begin(), list.end(), "file=" + home.Pgm() + "Tessaro.ini"), list.end())
        << "the settings file joins the list";
  }
  // Again in English over the existing settings: only "Lng" changes, nobody is asked.
  WriteAllBytes(home.Pgm() + "Tessaro.ini", "Lng=DE\r\nPersonsTerm=Mieter\r\nDataPath=/srv/x/\r\n");
  auto form = NewForm(Installation(), {program_});
  form->LngRadioClick("EN");
  EXPECT_TRUE(form->LngEnglishRadio->isChecked());
  form->LngOkBtnClick();
  form->FirstCheckTimer->stop();
  std::string done;
  QueueDialogDriver(Answer(&done));
  form->StartBtnClick();
  EXPECT_EQ(done, "The installation was successful.\nThe program is started now.");
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "Tessaro.ini"), "Lng=EN\r\nPersonsTerm=Mieter\r\nDataPath=/srv/x/\r\n");
}

TEST_F(SetupForm, AProgramInUseIsNeitherReplacedNorDeleted) {
  auto form = AtAskPanel(Installation(), {program_});
  std::filesystem::create_directories(home.Pgm());
  WriteAllBytes(home.Pgm() + "Tessaro", "the running program");
  TChannelListener running(kInstanceChannelName);
  ASSERT_TRUE(running.Listen());
  std::string shown;
  QueueDialogDriver(Answer(&shown));
  form->StartBtnClick();
  EXPECT_EQ(shown, Shown(SetupFormText(6)));
  EXPECT_EQ(form->CurrentPanel(), "AskPanel");
  EXPECT_EQ(TreeOf(home.Pgm()), std::vector<std::string>{"Tessaro"});
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "Tessaro"), "the running program");
}

TEST_F(SetupForm, OutsideTheHomeTheUserIsAskedFirst) {
  TTempDir elsewhere;
  auto form = AtAskPanel(Installation(), {program_});
  form->PgmPathEd->setText(ToQString(elsewhere.Dir() + "Tessaro/"));
  std::string shown;
  QueueDialogDriver(Answer(&shown, "Abbrechen"));
  form->StartBtnClick();
  EXPECT_EQ(shown, Shown(SetupFormText(5)));
  EXPECT_TRUE(form->Finished());
  EXPECT_EQ(TreeOf(elsewhere.Dir()), std::vector<std::string>{});
}

TEST_F(SetupForm, ANewerInstalledVersionIsAskedAbout) {
  std::vector<std::string> commands = Installation();
  // An older setup against what the program registers when it runs.
  commands[0] = "action=path,Registry=Merivan\\Tessaro,Version=2007-11,PgmPath=*Programs*Tessaro/";
  TRegistryStore store;
  WriteAllBytes(home.Home() + "Tessaro", "x");
  ASSERT_TRUE(
      store.WriteString(TRegScope::User, "\\SOFTWARE\\Merivan\\Tessaro", "Ver", kRegistryVersion));
  ASSERT_TRUE(store.WriteString(TRegScope::User, "\\SOFTWARE\\Merivan\\Tessaro", "Exec",
                                home.Home() + "Tessaro"));
  auto form = AtAskPanel(commands, {program_});
  std::string shown;
  QueueDialogDriver(Answer(&shown, "Nein"));
  form->FirstCheckTimerTimer();
  EXPECT_EQ(shown, Shown(SetupFormText(12)));
  EXPECT_TRUE(form->Finished());
}

TEST_F(SetupForm, ADamagedInstallerSaysSoAndEnds) {
  std::string bytes = home.MakeInstaller(Installation(), {program_});
  bytes[bytes.size() - 30] ^= 1;
  home.UseInstaller(bytes);
  TMvSetupForm1 form({});
  std::string shown;
  QueueDialogDriver(Answer(&shown));
  form.FormCreate();
  EXPECT_TRUE(form.Finished());
  EXPECT_EQ(form.ExitCode(), 1);
  EXPECT_EQ(shown.rfind(Shown(SetupFormText(7)), 0), 0u) << shown;
  EXPECT_NE(shown.find("setup information damaged"), std::string::npos) << shown;
  EXPECT_EQ(TreeOf(home.Home()), std::vector<std::string>{});
}

TEST_F(SetupForm, TheUninstallerWaitsForTheProgramToEnd) {
  home.UseInstaller(home.MakeInstaller(Installation(), {program_}));
  ASSERT_TRUE(RunSetupCommands(false)) << SetupState().errorText;
  const std::string uninstaller = home.Pgm() + "uninstall";
  home.Fresh();
  SetSelfFileName(uninstaller);
  TMvSetupForm1 form({"/uninst"});
  form.FormCreate();
  ASSERT_EQ(form.CurrentPanel(), "UninstAskPanel");
  EXPECT_EQ(FromQString(form.SetupTaskLabel->text()), SetupFormText(3));
  {
    TChannelListener running(kInstanceChannelName);
    ASSERT_TRUE(running.Listen());
    std::string shown;
    QueueDialogDriver(Answer(&shown));
    form.UninstStartBtnClick();
    EXPECT_EQ(shown, Shown(SetupMainTextFmt(2, "Tessaro")));
    EXPECT_EQ(form.CurrentPanel(), "UninstAskPanel");
    EXPECT_TRUE(Exists(uninstaller));
  }
  form.UninstStartBtnClick();
  EXPECT_TRUE(form.Finished());
  EXPECT_EQ(form.ExitCode(), 0);
  EXPECT_FALSE(Exists(home.Pgm()));
}

TEST_F(SetupForm, EveryTextOfTheWindowIsTranslated) {
  std::vector<std::string> commands = Installation();
  auto form = NewForm(commands, {program_}, {});
  auto texts = [&form] {
    std::vector<std::string> all;
    for (QLabel* w : form->findChildren<QLabel*>()) all.push_back(FromQString(w->text()));
    for (QAbstractButton* w : form->findChildren<QAbstractButton*>())
      all.push_back(FromQString(w->text()));
    return all;
  };
  const std::vector<std::string> german = texts();
  form->LngRadioClick("EN");
  const std::vector<std::string> english = texts();
  ASSERT_EQ(german.size(), english.size());
  for (size_t i = 0; i < german.size(); ++i) {
    const std::string& g = german[i];
    if (g.empty() || g == "OK" || g == "Tessaro" || g == "Deutsch" || g == "English" ||
        g == "Magyar" || g.rfind("Bitte w", 0) == 0 || g.rfind("Please", 0) == 0)
      continue;
    EXPECT_NE(english[i], g) << "no English for \"" << g << "\"";
  }
  EXPECT_TRUE(form->LngHURadio->isEnabled()) << "the Hungarian texts are carried";
  form->LngHURadio->click();
  EXPECT_TRUE(form->LngHURadio->isChecked());
  const std::vector<std::string> hungarian = texts();
  ASSERT_EQ(german.size(), hungarian.size());
  for (size_t i = 0; i < german.size(); ++i) {
    const std::string& g = german[i];
    if (g.empty() || g == "OK" || g == "Tessaro" || g == "Deutsch" || g == "English" ||
        g == "Magyar" || g.rfind("Bitte w", 0) == 0 || g.rfind("Please", 0) == 0)
      continue;
    EXPECT_NE(hungarian[i], g) << "no Hungarian for \"" << g << "\"";
    EXPECT_NE(hungarian[i], english[i]) << "no Hungarian for \"" << g << "\"";
  }
  // The window shows the Hungarian letters that 1252 lacks.
  bool doubleAcute = false;
  for (QLabel* w : form->findChildren<QLabel*>())
    if (w->text().contains(QChar(0x0151))) doubleAcute = true;
  EXPECT_TRUE(doubleAcute);
  form->LngRadioClick("DE");
  EXPECT_EQ(texts(), german);
  EXPECT_TRUE(form->LngGermanRadio->isChecked());
}

}  // namespace
