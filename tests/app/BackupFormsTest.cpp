#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/BackupFrameUnit.h"
#include "app/BackupRequesterUnit.h"
#include "app/BackupUnit.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/ParamsUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/AccessProtection.h"
#include "data/MandantUnit.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// A data folder whose settings file the frame and the question write, and the program's
// backup settings set to a known state (and put back afterwards).
class BackupForms : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.SetSleeper([](int) {});
    state.DataRoot = dir.Dir();
    state.DataPath = dir.Dir();
    state.ProgramIniName = dir.Dir() + "prog/Tessaro.ini";
    state.Reservations = &registry;
    GetAccessProtection(dir.Dir() + "Data.wpf", lock, registry);
    saved = BackupSettings();
    BackupSettings() = TBackupSettings{};
    BackupSettings().Path = dir.Dir() + "backup/";
    BackupSettings().Interval = biWeekly;
    SetDateFormat("dd.MM.yyyy");
  }
  void TearDown() override {
    FreeBackupRequesterForm();
    BackupSettings() = saved;
    SetDateFormat(dateFormat);
    ReleaseAccessProtection(lock);
  }
  std::string IniText() const {
    const std::string ini = dir.Dir() + "Tessaro.ini";
    return fs::exists(ini) ? ReadAllBytes(ini) : std::string();
  }
  static QString Caption(int number) { return ToQString(MsgDlgSourceText(number)); }

  TTempDir dir;
  TCommandLine commandLine;
  TCommandLineScope commandLineScope{commandLine};
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  TMandantState state;
  TMandantStateScope stateScope{state};
  TScopedRecorder ui;
  TBackupSettings saved;
  std::string dateFormat = DateFormatText();
};

}  // namespace

TEST_F(BackupForms, FrameShowsTheSettingsAndTakesAChangeOnlyWithTheButton) {
  TBackupFrame frame;
  frame.LoadSettings();
  QComboBox* combo = frame.SettingsBackupIntervallCombo;
  ASSERT_EQ(combo->count(), 4);
  EXPECT_EQ(FromQString(combo->itemText(1)), "t\xE4glich (nach Benutzung)");
  EXPECT_EQ(combo->currentIndex(), biWeekly);
  EXPECT_TRUE(frame.SettingsBackupRequesterCheck->isChecked());
  EXPECT_EQ(FromQString(frame.SettingsBackupLastDateLabel->text()), "keine Angabe");
  EXPECT_FALSE(frame.SettingsBackupSaveBtn->isEnabled());

  combo->setCurrentIndex(biMonthly);
  EXPECT_TRUE(frame.SettingsBackupSaveBtn->isEnabled());
  frame.FillIntervalCombo();  // keeps the selection and the button's state
  EXPECT_EQ(combo->currentIndex(), biMonthly);
  EXPECT_TRUE(frame.SettingsBackupSaveBtn->isEnabled());
  frame.SettingsBackupRequesterCheck->click();
  EXPECT_EQ(BackupSettings().Interval, biWeekly) << "nothing taken before the button";

  frame.SettingsBackupSaveBtn->click();
  EXPECT_FALSE(frame.SettingsBackupSaveBtn->isEnabled());
  EXPECT_EQ(BackupSettings().Interval, biMonthly);
  EXPECT_FALSE(BackupSettings().Requester);
  EXPECT_EQ(IniText(), "BackupInterval=30\r\nBackupRequester=0\r\n");

  BackupSettings().LastDate = PackDate(2026, 12, 3);
  frame.LoadSettings();
  EXPECT_EQ(FromQString(frame.SettingsBackupLastDateLabel->text()), "03.12.2026");
  EXPECT_FALSE(frame.SettingsBackupRequesterCheck->isChecked());
  EXPECT_FALSE(frame.SettingsBackupSaveBtn->isEnabled());
}

TEST_F(BackupForms, NotAgainAndNoSwitchTheAutomaticBackupOff) {
  std::string label;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& form = static_cast<TBackupRequesterForm&>(dialog);
    label = FromQString(form.Label1->text());
    EXPECT_FALSE(form.NotAgainCheck->isChecked());
    form.NotAgainCheck->setChecked(true);
    ClickButtonDriver(Caption(mdtNo))(dialog);
  });
  EXPECT_EQ(AskBeforeBackup(), mrNo);
  EXPECT_EQ(label, "Es wurde noch keine Datensicherung erstellt.");
  EXPECT_FALSE(BackupSettings().Requester);
  EXPECT_EQ(BackupSettings().Interval, biManual);
  EXPECT_EQ(IniText(), "BackupRequester=0\r\nBackupInterval=0\r\n");
  EXPECT_EQ(ui.AllText(), "Das automatische Backup wurde abgeschaltet!");
}

TEST_F(BackupForms, QuestionAnswersWithoutTheTickOrClosedChangeNothing) {
  BackupSettings().LastDate = PackDate(2026, 12, 3);
  std::string label;
  QueueDialogDriver([&](QDialog& dialog) {
    label = FromQString(static_cast<TBackupRequesterForm&>(dialog).Label1->text());
    ClickButtonDriver(Caption(mdtYes))(dialog);
  });
  EXPECT_EQ(AskBeforeBackup(), mrYes);
  EXPECT_EQ(label, "Die letzte Datensicherung ist vom 03.12.2026.");

  // Ticked, but closed without an answer.
  QueueDialogDriver([](QDialog& dialog) {
    static_cast<TBackupRequesterForm&>(dialog).NotAgainCheck->setChecked(true);
  });
  EXPECT_NE(AskBeforeBackup(), mrYes);
  EXPECT_TRUE(BackupSettings().Requester);
  EXPECT_EQ(BackupSettings().Interval, biWeekly);
  EXPECT_EQ(IniText(), "");
  EXPECT_EQ(ui.AllText(), "");
}

TEST_F(BackupForms, SettingsButtonShowsTheFrameForThisQuestionOnly) {
  QueueDialogDriver([](QDialog& dialog) {
    auto& form = static_cast<TBackupRequesterForm&>(dialog);
    EXPECT_FALSE(form.BackupFrame->isVisible());
    const int questionHeight = form.height();
    form.SettingsBtn->click();
    EXPECT_FALSE(form.SettingsBtn->isEnabled());
    EXPECT_FALSE(form.NotAgainCheck->isVisible());
    EXPECT_FALSE(form.NotAgainCheck->isChecked()) << "the opposite of asking";
    EXPECT_TRUE(form.BackupFrame->isVisible());
    EXPECT_GT(form.height(), questionHeight);
    EXPECT_EQ(FromQString(form.BackupFrame->GroupBox->title()), " Einstellungen ");
    EXPECT_EQ(form.BackupFrame->SettingsBackupIntervallCombo->currentIndex(), biWeekly);
    ClickButtonDriver(Caption(mdtYes))(dialog);
  });
  EXPECT_EQ(AskBeforeBackup(), mrYes);
  EXPECT_TRUE(BackupSettings().Requester);

  QueueDialogDriver([](QDialog& dialog) {
    auto& form = static_cast<TBackupRequesterForm&>(dialog);
    EXPECT_FALSE(form.BackupFrame->isVisible());
    EXPECT_TRUE(form.NotAgainCheck->isVisible());
    EXPECT_TRUE(form.SettingsBtn->isEnabled());
    ClickButtonDriver(Caption(mdtNo))(dialog);
  });
  EXPECT_EQ(AskBeforeBackup(), mrNo);
  EXPECT_EQ(BackupSettings().Interval, biWeekly);
}

TEST_F(BackupForms, HourglassIsTakenBackAfterTheBackup) {
  BackupHourglass(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  BackupHourglass(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
