#pragma once
// The record generator "Datensätze erzeugen": numbered sample doors, keys, cylinders or
// persons, optionally linked at random and issued (engine: data/SampleDataUnit.h). The
// window stays open beside the main window; each run checks login and rights again.

#include <cstdint>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class TDemoDataForm : public QDialog {
 public:
  explicit TDemoDataForm(QWidget* parent = nullptr);

  QLineEdit* CntEd;
  QLineEdit* FirstEd;
  QListWidget* ClassBox;
  QComboBox* KeysystemCombo;
  QComboBox* HouseCombo;
  QLineEdit* RemEd;
  QLineEdit* NameEd;
  QCheckBox* RandomLinksCheck;
  QPushButton* OkBtn;
  QPushButton* EscBtn;

  // Fills the combos and the class list (the class of the current page chosen).
  void Fill(bool sample);
  // The class chosen in ClassBox (0 none).
  int ChosenClass() const;
  void ClassBoxClick();
  // One run (see data/SampleDataUnit.h); the number of new records, -1 when none ran.
  int GenerateRecords();
};

// Creates the window or brings it back, filled; shown without waiting.
void ShowRecordGenerator(bool sample);
// The window, null while there is none.
TDemoDataForm* RecordGeneratorForm();
// Closes the window (logout, another client's data).
void CloseRecordGenerator();
