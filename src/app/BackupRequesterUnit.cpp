#include "app/BackupRequesterUnit.h"

#include <memory>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/BackupFrameUnit.h"
#include "app/BackupUnit.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"

TBackupRequesterForm::TBackupRequesterForm(QWidget* parent, TBackupSettings* settings)
    : QDialog(parent), settings_(settings != nullptr ? settings : &BackupSettings()) {
  FormCreate();
}

void TBackupRequesterForm::FormCreate() {
  setObjectName("BackupRequesterForm");
  setWindowTitle(ToQString("Sicherungskopie durchf\xFC" "hren?"));

  auto* icon = new QLabel(this);
  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(size));
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  auto* question = new QLabel(ToQString("M\xF6" "chten Sie jetzt ein Backup durchf\xFC" "hren?"), this);
  NotAgainCheck = new QCheckBox(ToQString("Diese Frage bitte nicht wieder anzeigen."), this);
  NotAgainCheck->setObjectName("NotAgainCheck");
  YesBtn = new QPushButton(ToQString(MsgDlgSourceText(mdtYes)), this);
  YesBtn->setDefault(true);
  NoBtn = new QPushButton(ToQString(MsgDlgSourceText(mdtNo)), this);
  SettingsBtn = new QPushButton(ToQString("Einstellungen ..."), this);
  SettingsBtn->setObjectName("SettingsBtn");
  BackupFrame = new TBackupFrame(this, settings_);
  BackupFrame->GroupBox->setTitle(ToQString(" " + BackupQuestionText(1) + " "));

  auto* texts = new QVBoxLayout;
  texts->addWidget(Label1);
  texts->addWidget(question);
  texts->addWidget(NotAgainCheck);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(YesBtn);
  buttons->addWidget(NoBtn);
  buttons->addStretch();
  buttons->addWidget(SettingsBtn);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top);
  outer->addLayout(buttons);
  outer->addWidget(BackupFrame);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  connect(YesBtn, &QPushButton::clicked, this, [this] { done(mrYes); });
  connect(NoBtn, &QPushButton::clicked, this, [this] { done(mrNo); });
  connect(SettingsBtn, &QPushButton::clicked, this, [this] { SettingsBtnClick(); });

  TranslateForm(this);
  ShowQuestionOnly();
}

void TBackupRequesterForm::ShowQuestionOnly() {
  BackupFrame->hide();
  SettingsBtn->setEnabled(true);
  NotAgainCheck->show();
  adjustSize();
}

void TBackupRequesterForm::SettingsBtnClick() {
  SettingsBtn->setEnabled(false);
  NotAgainCheck->setChecked(!settings_->Requester);
  NotAgainCheck->hide();
  BackupFrame->FillIntervalCombo();
  BackupFrame->LoadSettings();
  BackupFrame->show();
  adjustSize();
}

namespace {

std::unique_ptr<TBackupRequesterForm>& FormHolder() {
  static std::unique_ptr<TBackupRequesterForm> form;
  return form;
}

}  // namespace

TBackupRequesterForm* BackupRequesterForm() {
  std::unique_ptr<TBackupRequesterForm>& form = FormHolder();
  if (!form) form = std::make_unique<TBackupRequesterForm>();
  return form.get();
}

void FreeBackupRequesterForm() { FormHolder().reset(); }

int AskBeforeBackup() {
  TBackupRequesterForm* form = BackupRequesterForm();
  TBackupSettings& settings = form->Settings();
  // Each question starts as the question alone, whatever the previous one showed.
  form->ShowQuestionOnly();
  const std::string last = PackedDateToStr(settings.LastDate);
  form->Label1->setText(ToQString(last.empty() ? BackupQuestionText(2)
                                               : BackupQuestionTextFmt(3, last)));
  form->NotAgainCheck->setChecked(!settings.Requester);
  const int result = ExecModal(*form);
  ApplyBackupQuestionAnswer(settings, result, form->NotAgainCheck->isChecked());
  return result;
}

void BackupHourglass(bool on) {
  if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}
