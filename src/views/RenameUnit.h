#pragma once
// Mass rename of persons: "Vorname Nachname" becomes "Nachname, Vorname" for every person
// at once, as one bulk write (all records locked, one save or none).

#include <string>

#include <QDialog>

class QLabel;
class QPushButton;
class TMiniDB;

// The new name of a person, or false when the name stays: the name is trimmed first; one
// without a blank, or with a comma, stays. The split is at the first blank: the text
// before it is the first name, the rest (trimmed) the last name.
bool RenamedPersonName(const std::string& name, std::string& renamed);

// Renames every valid person of `db` (see RenamedPersonName) in one bulk write, with a
// history line "a=Ren" per person after the save. Needs the right to change persons.
// Unless `quiet`, a view with unsaved input stops the run and every refusal is told.
// The number of renamed persons, or -1 when nothing could be done.
int MassRenamePersons(TMiniDB& db, bool quiet);
// The same on the open client's store.
int MassRenamePersons(bool quiet);

class TRenameForm : public QDialog {
 public:
  explicit TRenameForm(QWidget* parent = nullptr);

  QLabel* Label1;
  QPushButton* RenamePersonsBtn;
  QPushButton* EscBtn;

  // Asks, renames; closes with OK when at least one person was renamed.
  void RenamePersonsBtnClick();
};

// Shows the dialog modally; true when persons were renamed.
bool ShowRenameForm();
