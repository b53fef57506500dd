#pragma once
// The settings dialog and its small dialogs: the folder dialog, the editor of the 40
// locking-system names and the client data (name, branch, running number of forms).
//
// The dialogs are made on first use and kept for the run. Settings go through the settings
// files (data/IniUnit.h); nothing is written while the open client is a sandbox copy. The
// data folder itself is only ever switched by a restart of the program, never moved or
// touched here.

#include <array>
#include <cstdint>
#include <set>
#include <string>

#include <QDialog>

// The unit's texts (the language test checks each has its English).
class TMLStringList;
const TMLStringList* SettingsTexts();
const TMLStringList* DirSelTexts();
const TMLStringList* KeySystemsTexts();
const TMLStringList* MandantTexts();

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class TBackupFrame;
class TMiniDB;

// Texts of the settings dialog (1 "Angaben" ... 23), of the folder dialog, of the names
// dialog and of the client data dialog.
std::string SettingsText(int number);
std::string DirSelText(int number);
std::string KeySystemsText(int number);
std::string MandantText(int number);

// ---------------------------------------------------------------------------------------
// Without widgets.

// The codes 1..40 that a valid record of the store carries in "ks".
std::set<int> KeySystemsInUse(const TMiniDB& db);

// What became of the names of the dialog.
enum class TKeySystemNamesResult {
  Saved,
  Duplicate,  // two names alike (ignoring case): text 2, nothing taken
  NotSaved,   // the reservation or the save failed: the table and the header as they were
};
// Takes the 40 names (index 0 is code 1): trimmed; an emptied name of a system in use gets
// its stored name back in `names` with the message text 1; two alike (ignoring case) give
// text 2 and end it. Otherwise, under the reservation, the store is read again and the
// names go into the table and the header in one save. A refused reservation or save leaves
// the table and the header as they were.
TKeySystemNamesResult SaveKeySystemNamesFromDialog(TMiniDB& db,
                                                   std::array<std::string, 40>& names);

// The client data: "MandantName", "MandantBranch" and the next running number.
struct TMandantValues {
  std::string name;
  std::string branch;
  std::string nextSeqNo;
};
// Reads the values under the store's reservation; false (lock-failed message given, the
// values empty) when the reservation cannot be had.
bool LoadMandantValues(TMiniDB& db, TMandantValues& values);
// Refuses (text 1) a running number that is no whole number of 1 or more; otherwise stores
// the trimmed values with "FormSeqNo" = number - 1 in one write. True when saved.
bool SaveMandantValues(TMiniDB& db, const TMandantValues& values);

// The flag written for the settings dialog's choices: nothing while the open client is a
// sandbox copy (true then, as the read-only mode does).
bool WriteDialogSetting(int level, const std::string& name, const std::string& value);

// ---------------------------------------------------------------------------------------
// The dialogs.

class TDirSelForm : public QDialog {
 public:
  explicit TDirSelForm(QWidget* parent = nullptr);
  QLineEdit* DirEd;
  QPushButton* SeekBtn;
  QPushButton* OkBtn;
  QPushButton* CancelBtn;
  void OkBtnClick();
  void SeekBtnClick();
};

class TKeySystemsForm : public QDialog {
 public:
  explicit TKeySystemsForm(QWidget* parent = nullptr);
  std::array<QLineEdit*, 40> Edits{};
  QPushButton* SaveBtn;
  QPushButton* CancelBtn;
  void LoadNames();
  void EditChange();
  void SaveBtnClick();
};

class TMandantForm : public QDialog {
 public:
  explicit TMandantForm(QWidget* parent = nullptr);
  QLineEdit* TitleEd;
  QLineEdit* BranchEd;
  QLineEdit* SeqNrEd;
  QPushButton* SaveBtn;
  QPushButton* CancelBtn;
  void SaveBtnClick();
};

class TSettingsForm : public QDialog {
 public:
  explicit TSettingsForm(QWidget* parent = nullptr);

  QListWidget* ListBox;
  QStackedWidget* Pages;
  // Page "Grundlegende Angaben".
  QComboBox* PersonsTermCombo;
  QComboBox* PersonsDeptTermCombo;
  QPushButton* PersonsTermTakeBtn;
  QPushButton* KeySystemsBtn;
  QPushButton* MandantBtn;
  QCheckBox* MinStoreKeysCheck;
  // Page "Dateien".
  QLineEdit* DataDirEd;
  QPushButton* DataDirOpenBtn;
  QPushButton* DataDirEditBtn;
  QLineEdit* BackupDirEd;
  QPushButton* BackupDirOpenBtn;
  QPushButton* BackupDirEditBtn;
  TBackupFrame* BackupFrame;
  // Page "Drucken".
  QComboBox* SettingsPrinterdialogCombo;
  QCheckBox* SettingPrintPreviewCheckbox;
  QPushButton* SettingPrinterSaveBtn;
  QPushButton* SettingsTextBtn;
  // Page "Sonstiges".
  QCheckBox* WebLinksCheck;
  QCheckBox* RandomUsernameCheck;
  QCheckBox* SigPadCheck;
  QCheckBox* KeyCutCheck;
  QLineEdit* autoLoginEd;
  QPushButton* SettingsSpecialBtn;
  QPushButton* Patch1Btn;
  QPushButton* Patch2Btn;
  QPushButton* CloseBtn;
  QAction* Help1;

  void FillLists();
  void LoadValues();
  void ListBoxClick();
  void DataDirOpenBtnClick();
  void BackupDirOpenBtnClick();
  void DataDirEditBtnClick();
  void BackupDirEditBtnClick();
  void SettingsPrinterdialogComboChange();
  void SettingPrintPreviewCheckboxClick();
  void SettingPrinterSaveBtnClick();
  void SettingsTextBtnClick();
  void PersonsTermComboChange();
  void PersonsTermTakeBtnClick();
  void KeySystemsBtnClick();
  void MandantBtnClick();
  void WebLinksCheckClick();
  void RandomUsernameCheckClick();
  void SigPadCheckClick();
  void Patch1BtnClick();
  // Each person keeps only its first building, as one bulk run; text 20 and 23, or 21.
  void Patch2BtnClick();
  void SettingsSpecialBtnClick();
  // F1 and the Help menu: the manual.
  void Help1Click();
  // The close button (and Escape).
  void SettingsHidePanelBtnClick();
  // The store is read again; the locksmith store and the minimum-stock flag follow their
  // checks; a change refreshes every view.
  void FormClose();

 protected:
  void done(int result) override;

 private:
  bool loading_ = false;
  int page_ = 0;
};

// The settings dialog (the caller tested the right).
void ShowSettingsDialog();
// The store file chosen in the open dialog, when it is another than the open one: the
// program restarts on its folder. True when the restart was started.
bool ChangeDataDirectory();
// The folder dialog; the trimmed path, or empty when cancelled.
std::string AskDirectoryPath(const std::string& caption, const std::string& path);
// True when the names were saved.
bool ExecuteKeySystemsDialog();
// True when the client data was saved.
bool ExecuteMandantDialog();
// Forgets the dialogs made so far (tests).
void FreeSettingsForms();
