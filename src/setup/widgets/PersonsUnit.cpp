#include "setup/widgets/PersonsUnit.h"

#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "setup/SetupFormUnit.h"

TPersonsForm::TPersonsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("PersonsForm");
  setWindowTitle(ToQString("Schl\xFC" "sselbesitzer"));
  auto* line1 = new QLabel(ToQString("Wie m\xF6" "chten Sie die Personengruppe nennen,"), this);
  auto* line2 = new QLabel(ToQString("an die Sie Schl\xFC" "ssel ausgeben?"), this);
  TermList = new QListWidget(this);
  TermList->setObjectName("TermList");
  SetNoTranslate(TermList);
  OkBtn = new QPushButton(ToQString("OK"), this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setDefault(true);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(TermList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(line1);
  layout->addWidget(line2);
  layout->addWidget(TermList);
  layout->addWidget(OkBtn, 0, Qt::AlignHCenter);
  TermList->setFixedHeight(TermList->fontMetrics().height() * 7);
  setFixedWidth(320);
  TranslateForm(this);
}

void TPersonsForm::FillTerms() {
  TermList->clear();
  for (const std::string& term : PersonsTerms())
    TermList->addItem(QString::fromStdU16String(MLTranslateW(Cp1252ToUtf16(term))));
  TermList->setCurrentRow(0);
}

std::string TPersonsForm::SelectedTerm() const {
  const int row = TermList->currentRow();
  if (row < 0 || row >= static_cast<int>(PersonsTerms().size())) return "";
  return PersonsTerms()[row];
}

std::string AskPersonsTerm(QWidget* parent) {
  static QPointer<TPersonsForm> form;
  if (!form) form = new TPersonsForm(parent);
  TranslateForm(form);  // the language may have changed since it was made
  form->FillTerms();
  if (ExecModal(*form) != QDialog::Accepted) return "";
  return form->SelectedTerm();
}
