// The locking-system names and the client data of the settings dialog: what is refused,
// what comes back, and that a busy store changes nothing; key cuts switched on stay on
// after the next start.
#include <array>
#include <filesystem>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "ViewsTestSupport.h"
#include "app/LoginTestSupport.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"
#include "data/IniUnit.h"
#include "platform/PlatformFileAccess.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "app/ManualUnit.h"
#include "views/SettingsUnit.h"
#include "views/SpecialDeleteUnit.h"

#include <QAction>

namespace {

std::string WithCountText(std::string text, int count) {
  const size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(count));
  return text;
}

struct TSettingsDialogs : TViewsTest {
  TStation b{"B"};
  void SetUp() override {
    TViewsTest::SetUp();
    ASSERT_TRUE(b.Open(dir));
  }
  void TearDown() override {
    FreeSettingsForms();
    TViewsTest::TearDown();
  }
  std::array<std::string, 40> Names() {
    std::array<std::string, 40> names;
    for (int code = 1; code <= 40; ++code) names[code - 1] = KeySystemTableName(code);
    return names;
  }
  // What another station reads from the file.
  std::string HeaderOnDisk() {
    b->Load();
    return b->GetHeaderValue(kKeySystemNamesHeader);
  }
};

TEST_F(TSettingsDialogs, KeySystemNamesRefusedOrKept) {
  const int32_t key = Record(icKey, "K1");
  db().SetKeySystem(key, 2);
  ASSERT_TRUE(db().Commit());
  ReadKeySystemNames(db());
  std::array<std::string, 40> names = Names();
  names[0] = "Haupt";
  names[1] = "";  // system 2 is used by the key
  names[2] = "  Neben ";
  ASSERT_EQ(SaveKeySystemNamesFromDialog(db(), names), TKeySystemNamesResult::Saved);
  EXPECT_EQ(names[1], "Anlage2");
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.front().text, KeySystemsText(1).replace(KeySystemsText(1).find("%1"), 2,
                                                                "Anlage2"));
  EXPECT_EQ(KeySystemTableName(1), "Haupt");
  EXPECT_EQ(KeySystemTableName(3), "Neben");
  EXPECT_EQ(HeaderOnDisk().substr(0, 20), "Haupt,Anlage2,Neben");

  // Two names alike but for case: nothing taken.
  ui.messages.clear();
  names = Names();
  names[5] = "haupt";
  EXPECT_EQ(SaveKeySystemNamesFromDialog(db(), names), TKeySystemNamesResult::Duplicate);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, KeySystemsText(2));
  EXPECT_EQ(KeySystemTableName(6), "");
  EXPECT_EQ(HeaderOnDisk().find("haupt"), std::string::npos);
}

TEST_F(TSettingsDialogs, BusyReservationKeepsTheDialogOpenAndChangesNothing) {
  ReadKeySystemNames(db());
  ASSERT_TRUE(SaveKeySystemNames(db()));
  const std::string header = HeaderOnDisk();
  const std::string bytes = ReadAllBytes(db().FileName);
  int ticket = -1;
  ASSERT_TRUE(b->Reserve(ticket));

  TKeySystemsForm form;
  form.LoadNames();
  form.Edits[0]->setText("Neu");
  form.EditChange();
  form.SaveBtnClick();
  EXPECT_EQ(form.result(), 0);  // not accepted: the dialog stays
  EXPECT_TRUE(form.SaveBtn->isEnabled());
  EXPECT_EQ(KeySystemTableName(1), "Anlage1");
  b->Release(ticket);
  EXPECT_EQ(ReadAllBytes(db().FileName), bytes);
  EXPECT_EQ(HeaderOnDisk(), header);
  EXPECT_FALSE(ui.messages.empty());
}

TEST_F(TSettingsDialogs, RunningNumberMustBeOneOrMore) {
  struct TCase {
    const char* typed;
    bool saved;
    const char* stored;
  };
  for (const TCase& c : {TCase{"0", false, ""}, TCase{"abc", false, ""}, TCase{"-3", false, ""},
                         TCase{"1", true, "0"}, TCase{" 42 ", true, "41"}}) {
    ui.messages.clear();
    EXPECT_EQ(SaveMandantValues(db(), {" Werk Nord ", "7", c.typed}), c.saved) << c.typed;
    const int32_t settings = db().FindOrCreateSingleton(false);
    if (!c.saved) {
      ASSERT_EQ(ui.messages.size(), 1u) << c.typed;
      EXPECT_EQ(ui.messages[0].text, MandantText(1));
      continue;
    }
    EXPECT_TRUE(ui.messages.empty()) << c.typed;
    b->Load();
    const int32_t onDisk = b->FindOrCreateSingleton(false);
    ASSERT_NE(onDisk, 0);
    EXPECT_EQ(b->GetField(onDisk, "FormSeqNo"), c.stored);
    EXPECT_EQ(b->GetField(onDisk, "MandantName"), "Werk Nord");
    EXPECT_EQ(b->GetField(onDisk, "MandantBranch"), "7");
    EXPECT_EQ(settings, onDisk);
  }
  // The dialog shows what was saved, the next number first.
  TMandantValues shown;
  ASSERT_TRUE(LoadMandantValues(db(), shown));
  EXPECT_EQ(shown.name, "Werk Nord");
  EXPECT_EQ(shown.nextSeqNo, "0042");
}

TEST_F(TSettingsDialogs, ClientDataWhileAnotherStationHoldsTheReservationOpensNoDialog) {
  ASSERT_TRUE(SaveMandantValues(db(), {"Werk Nord", "7", "5"}));
  const std::string bytes = ReadAllBytes(db().FileName);
  int ticket = -1;
  ASSERT_TRUE(b->Reserve(ticket));
  // Were the dialog shown, the user would find it empty, station B would be done meanwhile
  // and "Speichern" would store the empty fields.
  bool shown = false;
  QueueDialogDriver([&](QDialog& dialog) {
    shown = true;
    b->Release(ticket);
    ticket = -1;
    if (auto* mandant = dynamic_cast<TMandantForm*>(&dialog))
      QTest::mouseClick(mandant->SaveBtn, Qt::LeftButton);
  });
  TSettingsForm form;
  form.FillLists();
  form.LoadValues();
  form.show();
  QTest::mouseClick(form.MandantBtn, Qt::LeftButton);
  EXPECT_FALSE(shown);
  EXPECT_EQ(PendingDialogDrivers(), 1);
  ClearDialogDrivers();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, CoreText(27));
  EXPECT_FALSE(ExecuteMandantDialog());  // the same once more, through the call itself
  EXPECT_EQ(ui.messages.size(), 2u);
  if (ticket >= 0) b->Release(ticket);
  form.hide();
  EXPECT_EQ(ReadAllBytes(db().FileName), bytes);
  b->Load();
  const int32_t settings = b->FindOrCreateSingleton(false);
  EXPECT_EQ(b->GetField(settings, "MandantName"), "Werk Nord");
  EXPECT_EQ(b->GetField(settings, "MandantBranch"), "7");
}

TEST_F(TSettingsDialogs, SandboxWritesNoSettingAndTheDialogShowsTheUsersOwnValues) {
  state.Reservations = &a.registry;
  state.ProgramIniName = dir.File("Tessaro.ini");
  state.DataPath = dir.Dir() + "data/";
  ASSERT_EQ(PfMakeFolders(state.DataPath), 0);
  const std::string dataIni = state.DataPath + "Tessaro.ini";
  state.SandboxMode = true;
  EXPECT_TRUE(WriteDialogSetting(kSettingsDataLevel, "WebLinks", "0"));
  EXPECT_FALSE(std::filesystem::exists(dataIni));
  state.SandboxMode = false;
  EXPECT_TRUE(WriteDialogSetting(kSettingsDataLevel, "AltBlocking", "1"));
  EXPECT_NE(ReadAllBytes(dataIni).find("AltBlocking=1"), std::string::npos);

  const int32_t user = Record(icUser, "ANNA");
  db().SetField(user, "pw", "GEHEIM");
  Record(icUser, "BERT");
  ASSERT_TRUE(db().Commit());
  Session().CurrentUserId = user;
  state.InvalidateCaches();
  TSettingsForm form;
  form.FillLists();
  form.LoadValues();
  EXPECT_EQ(FromQString(form.autoLoginEd->text()),
            "autoLogin=" + std::to_string(user) + ";" + EncodeNumberedStr(user, "GEHEIM", true));
  EXPECT_TRUE(form.RandomUsernameCheck->isChecked());
  EXPECT_FALSE(form.SigPadCheck->isEnabled());
  EXPECT_EQ(form.ListBox->count(), 4);
  EXPECT_EQ(form.SettingsPrinterdialogCombo->count(), 3);
}

TEST_F(TSettingsDialogs, ChoosingTheOpenStoreChangesNothingAndASandboxIsRefused) {
  const std::string before = ReadAllBytes(db().FileName);
  QueueDialogDriver([&](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(chooser, nullptr);
    // Chosen as the dialog hands it on (its own checks would ask the desktop).
    chooser->selectFile(ToQString(db().FileName));
    EXPECT_EQ(FromQString(chooser->selectedFiles().value(0)), db().FileName);
    dialog.done(QDialog::Accepted);
  });
  EXPECT_FALSE(ChangeDataDirectory());
  EXPECT_EQ(PendingDialogDrivers(), 0);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ReadAllBytes(db().FileName), before);
  state.SandboxMode = true;
  EXPECT_FALSE(ChangeDataDirectory());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, CoreText(75));
}

TEST_F(TSettingsDialogs, Patch2LeavesEachPersonItsFirstBuildingInOneRun) {
  const int32_t h1 = Record(icBuilding, "H1");
  const int32_t h2 = Record(icBuilding, "H2");
  const int32_t h3 = Record(icBuilding, "H3");
  const int32_t anna = Record(icPerson, "Anna");
  const int32_t bert = Record(icPerson, "Bert");
  for (int32_t h : {h1, h2, h3}) db().AddLinkBoth(anna, h, icBuilding, icPerson);
  db().AddLinkBoth(bert, h2, icBuilding, icPerson);
  ASSERT_TRUE(db().Commit());
  const std::string file = ReadAllBytes(db().FileName);
  TSettingsForm form;
  form.FillLists();
  form.LoadValues();

  // B holds a record: refused naming B, the file as it was.
  ASSERT_TRUE(b->LockItem(bert, false, 0));
  form.Patch2BtnClick();
  EXPECT_NE(ui.AllText().find("B"), std::string::npos);
  EXPECT_EQ(ReadAllBytes(db().FileName), file);
  EXPECT_TRUE(form.isEnabled());
  ASSERT_TRUE(b->UnlockItem(bert));

  ui.Clear();
  form.Patch2BtnClick();
  EXPECT_EQ(ui.AllText(), SettingsText(20) + "\r" + WithCountText(SettingsText(23), 2));
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLinkCount(anna, icBuilding), 1);
  EXPECT_TRUE(reader->ReadHasLink(anna, icBuilding, h1));
  EXPECT_FALSE(reader->ReadHasLink(h3, icPerson, anna));
  EXPECT_TRUE(reader->ReadHasLink(bert, icBuilding, h2));
  ui.Clear();
  form.Patch2BtnClick();
  EXPECT_EQ(ui.AllText(), SettingsText(21));
}

TEST_F(TSettingsDialogs, SpecialFunctionsAndTheManualOpenFromTheDialog) {
  TSettingsForm form;
  form.FillLists();
  form.LoadValues();
  EXPECT_TRUE(form.SettingsSpecialBtn->isEnabled());
  bool special = false;
  QueueDialogDriver([&](QDialog& d) { special = dynamic_cast<TSpecialDeleteForm*>(&d) != nullptr; });
  form.SettingsSpecialBtn->click();
  EXPECT_TRUE(special);

  std::vector<std::string> opened;
  SetDocumentOpener([&](const std::string& f) {
    opened.push_back(f);
    return true;
  });
  ASSERT_TRUE(form.Help1->shortcut() == QKeySequence(Qt::Key_F1));
  form.Help1->trigger();
  SetDocumentOpener(nullptr);
  // The manual beside the program is opened, or the message names the file looked for.
  EXPECT_EQ(opened.size() + ui.messages.size(), 1u);
}

TEST_F(TSettingsDialogs, EveryGermanTextHasItsEnglishEntry) {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  ASSERT_TRUE(
      ml.LoadLanguageFile(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  std::vector<std::string> texts;
  for (int n : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23})
    texts.push_back(SettingsText(n));
  texts.push_back(DirSelText(1));
  texts.push_back(KeySystemsText(1));
  texts.push_back(KeySystemsText(2));
  texts.push_back(MandantText(1));
  for (const std::string& text : texts) {
    int grade = mlgNone;
    std::string german = text;
    for (size_t at; (at = german.find('\r')) != std::string::npos;) german.replace(at, 1, "#13#");
    ml.TranslateText(german, "DE", "EN", grade);
    EXPECT_NE(grade, mlgNone) << text;
  }
}

// A click on the box's indicator, as a hand gives it.
void ClickCheckBox(QCheckBox* box) {
  QStyleOptionButton option;
  option.initFrom(box);
  const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
  QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

TEST(SettingsKeyCuts, SwitchedOnTheyAreOnAfterTheNextStartAndLogin) {
  TLoginEnv env;
  {
    TStoreMaker maker(env.Data());
    maker.User("Alice", "A");
  }
  // Each start of the program: nothing of the run before, the store opened, Alice logged in.
  auto startAndLogin = [&] {
    FreeSettingsForms();
    ResetLoginState();
    ResetSession();
    ResetWinGlue();
    LoginState().Registry = &env.registry;
    LoginState().StationKey = "alice@pc1";
    ASSERT_TRUE(OpenDataStore());
    CompleteLogin(CheckLogin(*SessionDB(), "Alice", "a"), "Alice");
    AfterLogin();
  };
  // The settings opened on the page "Sonstiges", the box clicked when asked, then closed.
  auto settings = [](bool click) {
    bool ticked = false;
    QueueDialogDriver([&](QDialog& dialog) {
      auto& form = dynamic_cast<TSettingsForm&>(dialog);
      QListWidget* list = form.ListBox;
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(3)).center());
      EXPECT_TRUE(form.KeyCutCheck->isVisible());
      ticked = form.KeyCutCheck->isChecked();
      if (click) ClickCheckBox(form.KeyCutCheck);
      QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
    });
    ShowSettingsDialog();
    EXPECT_EQ(PendingDialogDrivers(), 0);
    return ticked;
  };
  auto lmDbUse = [&] {
    TStoreMaker disk(env.Data());
    return disk.db.GetField(disk.db.FindOrCreateSingleton(false), "LmDbUse");
  };

  startAndLogin();
  EXPECT_FALSE(settings(true));
  EXPECT_TRUE(LocksmithStore().IsOpen());
  EXPECT_TRUE(std::filesystem::exists(env.Data() + "Locksmith.ada"));  // at once
  EXPECT_EQ(lmDbUse(), "1");

  startAndLogin();
  EXPECT_TRUE(LocksmithStore().IsOpen());
  EXPECT_TRUE(settings(false));  // shown ticked, and closing keeps it
  EXPECT_EQ(lmDbUse(), "1");
  startAndLogin();
  EXPECT_TRUE(settings(false));
  FreeSettingsForms();
  EXPECT_TRUE(env.ui.messages.empty()) << env.ui.AllText();
}

}  // namespace
