#include "app/BackupFrameUnit.h"

#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/BackupUnit.h"
#include "basic/DateClock.h"
#include "basic/widgets/QtGlue.h"

TBackupFrame::TBackupFrame(QWidget* parent, TBackupSettings* settings)
    : QFrame(parent), settings_(settings != nullptr ? settings : &BackupSettings()) {
  setObjectName("BackupFrame");
  GroupBox = new QGroupBox(ToQString(" Datensicherung (Backup) "), this);
  auto* whenLabel = new QLabel(ToQString("Wann durchf\xFC" "hren?"), GroupBox);
  SettingsBackupIntervallCombo = new QComboBox(GroupBox);
  SettingsBackupIntervallCombo->setObjectName("SettingsBackupIntervallCombo");
  SettingsBackupRequesterCheck =
      new QCheckBox(ToQString("Vor jeder Datensicherung den Benutzer fragen."), GroupBox);
  SettingsBackupRequesterCheck->setObjectName("SettingsBackupRequesterCheck");
  auto* lastLabel = new QLabel(ToQString("Sicherung zuletzt ausgef\xFC" "hrt am:"), GroupBox);
  SettingsBackupLastDateLabel = new QLabel(GroupBox);
  SettingsBackupLastDateLabel->setObjectName("SettingsBackupLastDateLabel");
  SettingsBackupSaveBtn = new QPushButton(ToQString("\xFC" "bernehmen"), GroupBox);
  SettingsBackupSaveBtn->setObjectName("SettingsBackupSaveBtn");
  SettingsBackupSaveBtn->setEnabled(false);

  auto* grid = new QGridLayout(GroupBox);
  grid->addWidget(whenLabel, 0, 0);
  grid->addWidget(SettingsBackupIntervallCombo, 0, 1);
  grid->addWidget(SettingsBackupRequesterCheck, 1, 0, 1, 2);
  grid->addWidget(lastLabel, 2, 0);
  grid->addWidget(SettingsBackupLastDateLabel, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SettingsBackupSaveBtn);
  grid->addLayout(buttons, 3, 0, 1, 2);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(GroupBox);

  connect(SettingsBackupIntervallCombo, &QComboBox::currentIndexChanged, this,
          [this] { SettingsBackupIntervallComboChange(); });
  connect(SettingsBackupRequesterCheck, &QCheckBox::clicked, this,
          [this] { SettingsBackupRequesterCheckClick(); });
  connect(SettingsBackupSaveBtn, &QPushButton::clicked, this,
          [this] { SettingsBackupSaveBtnClick(); });
}

void TBackupFrame::LoadSettings() {
  const std::string last = PackedDateToStr(settings_->LastDate);
  SettingsBackupLastDateLabel->setText(ToQString(last.empty() ? BackupFrameText(1) : last));
  if (SettingsBackupIntervallCombo->count() == 0) FillIntervalCombo();
  {
    const QSignalBlocker comboBlocker(SettingsBackupIntervallCombo);
    const QSignalBlocker checkBlocker(SettingsBackupRequesterCheck);
    const int index = settings_->Interval;
    SettingsBackupIntervallCombo->setCurrentIndex(
        index >= 0 && index < SettingsBackupIntervallCombo->count() ? index : -1);
    SettingsBackupRequesterCheck->setChecked(settings_->Requester);
  }
  SettingsBackupSaveBtn->setEnabled(false);
}

void TBackupFrame::FillIntervalCombo() {
  const bool saveEnabled = SettingsBackupSaveBtn->isEnabled();
  const QSignalBlocker blocker(SettingsBackupIntervallCombo);
  const int selected = SettingsBackupIntervallCombo->currentIndex();
  SettingsBackupIntervallCombo->clear();
  const std::string choices = BackupFrameText(2);
  std::size_t start = 0;
  while (start <= choices.size()) {
    std::size_t end = choices.find(';', start);
    if (end == std::string::npos) end = choices.size();
    SettingsBackupIntervallCombo->addItem(ToQString(choices.substr(start, end - start)));
    start = end + 1;
  }
  if (selected < SettingsBackupIntervallCombo->count())
    SettingsBackupIntervallCombo->setCurrentIndex(selected);
  SettingsBackupSaveBtn->setEnabled(saveEnabled);
}

void TBackupFrame::SettingsBackupIntervallComboChange() { SettingsBackupSaveBtn->setEnabled(true); }

void TBackupFrame::SettingsBackupRequesterCheckClick() { SettingsBackupSaveBtn->setEnabled(true); }

void TBackupFrame::SettingsBackupSaveBtnClick() {
  SettingsBackupSaveBtn->setEnabled(false);
  const int selected = SettingsBackupIntervallCombo->currentIndex();
  settings_->Interval = selected < 0 ? biDaily : selected;
  WriteBackupInterval(*settings_);
  settings_->Requester = SettingsBackupRequesterCheck->isChecked();
  WriteBackupRequester(*settings_);
}
