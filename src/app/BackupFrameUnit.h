#pragma once
// The backup settings frame: when automatic backups are made, whether the user is asked
// first, and when the last one was made. Shown in the settings dialog and inside the
// question before an automatic backup. A change is taken only with "übernehmen".

#include <QFrame>

struct TBackupSettings;

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

class TBackupFrame : public QFrame {
  Q_OBJECT
 public:
  // `settings` (not owned) null: the program's, BackupSettings().
  explicit TBackupFrame(QWidget* parent = nullptr, TBackupSettings* settings = nullptr);

  // Shows the settings: the last date (or "keine Angabe"), the interval, the question
  // check; the save button disabled.
  void LoadSettings();
  // The four interval choices, keeping the selection and the save button's state.
  void FillIntervalCombo();
  // A change of the list or the check enables the save button.
  void SettingsBackupIntervallComboChange();
  void SettingsBackupRequesterCheckClick();
  // Takes the interval (daily when nothing is selected) and the check and writes both.
  void SettingsBackupSaveBtnClick();

  TBackupSettings& Settings() const { return *settings_; }

  QGroupBox* GroupBox = nullptr;
  QComboBox* SettingsBackupIntervallCombo = nullptr;
  QCheckBox* SettingsBackupRequesterCheck = nullptr;
  QLabel* SettingsBackupLastDateLabel = nullptr;
  QPushButton* SettingsBackupSaveBtn = nullptr;

 private:
  TBackupSettings* settings_;
};
