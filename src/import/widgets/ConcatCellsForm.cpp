#include "import/widgets/ConcatCellsForm.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "import/ImportTable.h"

TConcatCellsForm::TConcatCellsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ConcatCellsForm");
  setWindowTitle(ToQString("Tabellenzellen verbinden"));
  auto* outer = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(ToQString("Spalte"), this);
  label->setObjectName("ColumnLabel");
  row->addWidget(label);
  ColumnCombo = new QComboBox(this);
  ColumnCombo->setObjectName("ColumnCombo");
  for (char c = 'A'; c <= 'Y'; ++c) ColumnCombo->addItem(QString(QChar(c)));
  ColumnCombo->setCurrentIndex(0);
  row->addWidget(ColumnCombo);
  row->addStretch();
  outer->addLayout(row);
  BlankStyle = new QRadioButton(ToQString("Spalte1 Spalte2"), this);
  BlankStyle->setObjectName("BlankStyle");
  CommaStyle = new QRadioButton(ToQString("Spalte1, Spalte2"), this);
  CommaStyle->setObjectName("CommaStyle");
  BracketStyle = new QRadioButton(ToQString("Spalte1 [Spalte2]"), this);
  BracketStyle->setObjectName("BracketStyle");
  BracketStyle->setChecked(true);
  outer->addWidget(BlankStyle);
  outer->addWidget(CommaStyle);
  outer->addWidget(BracketStyle);
  auto* foot = new QHBoxLayout;
  foot->addStretch();
  OkBtn = new QPushButton(ToQString("Verbinden"), this);
  OkBtn->setObjectName("OkBtn");
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  EscBtn->setObjectName("EscBtn");
  foot->addWidget(OkBtn);
  foot->addWidget(EscBtn);
  outer->addLayout(foot);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

int TConcatCellsForm::Column() const { return ColumnCombo->currentIndex(); }

TConcatStyle TConcatCellsForm::Style() const {
  if (BlankStyle->isChecked()) return TConcatStyle::Blank;
  if (CommaStyle->isChecked()) return TConcatStyle::Comma;
  return TConcatStyle::Brackets;
}

bool ShowConcatCells(TImportTable* table, QWidget* parent) {
  if (!table) return false;
  TConcatCellsForm form(parent ? parent : WinGlue().MainWindow.data());
  if (ExecModal(form) != QDialog::Accepted) return false;
  ConcatCells(*table, form.Column(), form.Style());
  return true;
}
