#pragma once
// The print selection dialog ("Stammdaten drucken"): what a view's list printout prints.
// A view lists its options (ClearPrintChoices, AddPrintChoice: its own captions and codes),
// hands its column list to ExecutePrintSelect, writes the TAB print file for the chosen code
// and columns, and prints it with PrintStringGrid (output/PrintPreviewUnit.h). The dialog
// also takes the printer, the copies, the preview flag, landscape and "in Datei" (the next
// list print goes into a spreadsheet file) into the print settings.
//
// The options are module state, like the dialog's radio buttons were: a view clears them,
// adds its own, and ExecutePrintSelect removes them again in every case.

#include <string>
#include <vector>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

// One column of a list printout: its caption and whether it is printed.
struct TPrintField {
  std::string caption;
  bool checked = false;
  bool operator==(const TPrintField&) const = default;
};
using TPrintFields = std::vector<TPrintField>;

// The unit's texts: 1 "nur der angezeigte Datensatz", 2 "die in der Liste angezeigten
// Datensätze", 3 "kein Drucker verfügbar", 4 "In eine Datei drucken", 5 "Schlüssel am Bund:".
std::string PrintSelectText(int number);

// Removes every option; the next one is placed at the top again.
void ClearPrintChoices();
// An option: `code` 0..1023 is what ExecutePrintSelect reports when it is chosen;
// `showsFields` shows the column list while it is checked.
void AddPrintChoice(const std::string& caption, int code, bool enabled, bool checked,
                    bool showsFields);
// The options added since the last clearing (tests, the dialog).
struct TPrintChoice {
  std::string caption;
  int code = 0;
  bool enabled = true;
  bool checked = false;
  bool showsFields = false;
};
const std::vector<TPrintChoice>& PrintChoices();

// The dialog, modal through ExecModal. Without options since the last clearing it offers
// the two standard ones (code 0 text 1, code 1 text 2 preselected, both with the columns).
// True when confirmed with an option chosen and, with "in Datei", a target file chosen:
// `code` is the option's code, the fields' marks follow the column list, and the print
// settings take the preview flag, landscape, the printer with its copies and print-to-file
// with its target. A cancelled save dialog gives false and leaves print-to-file off. The
// options are removed afterwards in every case.
bool ExecutePrintSelect(TPrintFields& fields, int& code);
// The dialog with the one option `caption` (code 0, preselected) and no columns, before a
// form (a receipt, the stock-control sheet); true when confirmed (the printer, copies and
// flags taken as above). "in Datei" asks for a PDF file, which the next form printout
// writes (TakeFormTargetFile); a list printout never writes it.
bool PrintSelectSimple(const std::string& caption);
// The PDF file "in Datei" chose for the next form printout, given once; empty when none.
std::string TakeFormTargetFile();

// ---------------------------------------------------------------------------------------
// Shared by the selection dialog and the preview.

// Fills the combo with the installed printers (data: the printer's name) and selects the
// printer printouts go to (ChosenPrinter: the chosen one, else the default printer, else
// the first). Without printers the combo shows `noPrinterText` and it and the copies field
// are disabled.
void FillPrintersCombo(QComboBox* combo, QLineEdit* copies, const std::string& noPrinterText);
// Takes the combo's printer as the chosen printer of the print settings and the copies as
// its copy count: the trimmed text as a number, anything below 1 (or no number) becomes 1
// and the field shows "1". Nothing while the combo is disabled. The copies taken.
int TakePrinterChoice(QComboBox* combo, QLineEdit* copies);

// The dialog itself (made per call of ExecutePrintSelect).
class TPrintSelectForm : public QDialog {
 public:
  explicit TPrintSelectForm(QWidget* parent = nullptr);

  QGroupBox* WhatBox;
  QGroupBox* Box1;
  QListWidget* FieldsCheckListBox;
  QGroupBox* Box2;
  QComboBox* PrintersCombo;
  QPushButton* PrinterSettingsBtn;
  QLabel* Label1;
  QLineEdit* CopiesEd;
  QCheckBox* PreviewCheck;
  QCheckBox* QuerCheck;
  QCheckBox* ToFileCheck;
  QWidget* Box3;
  QPushButton* OkBtn;
  QPushButton* EscBtn;
  std::vector<QRadioButton*> Options;  // in the order of PrintChoices(), code in "code"

  // The save dialog of "in Datei" (through ExecModal); empty when cancelled.
  std::string AskTargetFile();
  // One radio button per option of PrintChoices(); `withFields`: there is a column list.
  void AddOptions(bool withFields);

 private:
  void UpdateFieldsBox();
  void Arrange();
  bool hasFields_ = false;
};

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* PrintSelectTexts();
