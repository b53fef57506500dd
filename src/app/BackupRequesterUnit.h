#pragma once
// The question before an automatic backup: "Möchten Sie jetzt ein Backup durchführen?",
// with the date of the last backup, a tick "do not ask again" and the backup settings
// frame behind "Einstellungen ...".

#include <QDialog>

struct TBackupSettings;
class TBackupFrame;

class QCheckBox;
class QLabel;
class QPushButton;

class TBackupRequesterForm : public QDialog {
  Q_OBJECT
 public:
  // `settings` (not owned) null: the program's, BackupSettings().
  explicit TBackupRequesterForm(QWidget* parent = nullptr, TBackupSettings* settings = nullptr);

  // Builds the controls; the frame starts hidden below the question.
  void FormCreate();
  // Shows the whole settings frame: the button is disabled, the tick hidden (set to the
  // opposite of "BackupRequester"), the frame's settings loaded.
  void SettingsBtnClick();
  // The question alone again, with the frame hidden: how each question starts.
  void ShowQuestionOnly();

  TBackupSettings& Settings() const { return *settings_; }

  QLabel* Label1 = nullptr;
  QCheckBox* NotAgainCheck = nullptr;
  QPushButton* YesBtn = nullptr;
  QPushButton* NoBtn = nullptr;
  QPushButton* SettingsBtn = nullptr;
  TBackupFrame* BackupFrame = nullptr;

 private:
  TBackupSettings* settings_;
};

// The one question dialog of the run, made on first use (for the program's settings).
TBackupRequesterForm* BackupRequesterForm();
// Frees it (at the end of the run, and between tests).
void FreeBackupRequesterForm();

// Shows the question modally and applies "do not ask again" (see
// ApplyBackupQuestionAnswer). Returns the dialog's result: mrYes (6), mrNo (7), or another
// value when it was closed otherwise.
int AskBeforeBackup();

// The hourglass cursor on (true) or back to the default (false) while a backup runs; what
// the main window gives TBackupEnvironment::Busy.
void BackupHourglass(bool on);
