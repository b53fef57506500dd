#pragma once
// The dialog that joins two neighbouring columns of the loaded import table.

#include <QDialog>

#include "import/ConcatCellsUnit.h"

class QComboBox;
class QPushButton;
class QRadioButton;
class TImportTable;

class TConcatCellsForm : public QDialog {
 public:
  explicit TConcatCellsForm(QWidget* parent = nullptr);

  QComboBox* ColumnCombo;  // "A" to "Y"
  QRadioButton* BlankStyle;
  QRadioButton* CommaStyle;
  QRadioButton* BracketStyle;
  QPushButton* OkBtn;
  QPushButton* EscBtn;

  int Column() const;
  TConcatStyle Style() const;
};

// Shows the dialog above `parent` (the main window when none) and joins on OK; false without
// a table or when cancelled. The caller refreshes the grid and its captions afterwards.
bool ShowConcatCells(TImportTable* table, QWidget* parent = nullptr);
