#pragma once
// The database export: a copy of the open record store for somebody else (support, say),
// with the persons anonymised or removed, the users removed, or a new login added, and
// handed to the mail program on request.
//
// The copy is made from the store's lines in memory: the open store, its file and its lock
// files are never touched, and the target is written once (a "~" file in its folder,
// synced, then renamed), so a failed export leaves no partial file.

#include <string>
#include <vector>

#include <QDialog>

// The unit's texts (the language test checks each has its English).
class TMLStringList;
const TMLStringList* DBExportTexts();

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TMiniDB;

// Unit texts: 1 "Eine Datei namens %1 existiert bereits.", 2, 4.
std::string DBExportText(int number);

enum : int {
  dbxPersonNames = 1,   // "Person" + running number in the persons' class order
  dbxPersonDept = 2,    // "Abt" removed
  dbxPersonNr = 4,      // "Nr" removed
  dbxPersonRemark = 8,  // "r" removed
  dbxNoPersons = 16,    // persons deleted, keys without holder lines
  dbxNoUsers = 32,      // users deleted
  dbxNewUser = 64,      // a new user record with the given name and password
};

// The file as the export writes it: the store's lines, each ended by CR LF, empty lines left
// out (the 0x01 line first, "LastID" up to date). A person or user that is removed keeps
// only "i", "c" and "v=0": no name, no number, no link. Removing persons also takes every
// link to a person and every holder line away. Any flag drops the header of pending history
// lines, which names records.
std::string DBExportBytes(TMiniDB& db, int flags, const std::string& userName,
                          const std::string& password);
// The target for a chosen name: ".adaX" with flags, ".ada" without.
std::string DBExportTarget(const std::string& chosen, int flags);
// Pending edits of the store are saved first. False (target absent) when it could not be
// written.
bool WriteDBExport(TMiniDB& db, int flags, const std::string& target,
                   const std::string& userName, const std::string& password);

class TDBExportForm : public QDialog {
 public:
  explicit TDBExportForm(QWidget* parent = nullptr);

  QRadioButton* WithPersonsRadio;
  QRadioButton* WOPersonsRadio;
  QRadioButton* AnoPersonsRadio;
  QCheckBox* AnoDeptCheck;
  QCheckBox* AnoNrCheck;
  QCheckBox* AnoRemCheck;
  QCheckBox* AnoNamesCheck;
  QCheckBox* DelUsersCheck;
  QCheckBox* NewUserCheck;
  QLineEdit* UserEd;
  QLineEdit* PWEd;
  QCheckBox* SendMailCheck;
  QLabel* StaticText;
  QPushButton* SaveBtn;
  QPushButton* CancelBtn;

  // The flags of the dialog's choices; with nothing to anonymise the persons are taken as
  // they are ("inklusive Personen" selected again).
  int Flags();
  void RadioClick();
  void UserEdExit();
  // The save dialog, then the export. True when written.
  bool SaveBtnClick();
  // The chosen file name of the save dialog (tests set it instead of the dialog).
  std::string ChooseFile();
};

void ShowDBExport();
