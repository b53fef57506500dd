#include "output/PrintSelectUnit.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrinterServicesUnit.h"

const TMLStringList* PrintSelectTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("PrintSelectUnit", 0);
    t->Add255Obj("nur der angezeigte Datensatz", 1);
    t->Add255Obj("die in der Liste angezeigten Datens\xE4tze", 2);
    t->Add255Obj("kein Drucker verf\xFCgbar", 3);
    t->Add255Obj("In eine Datei drucken", 4);
    t->Add255Obj("Schl\xFCssel am Bund:", 5);
    return t;
  }();
  return table;
}

namespace {

constexpr int kFirstOptionTop = 24;
constexpr int kOptionStep = 24;
constexpr int kOptionLeft = 12;
constexpr int kOptionWidth = 280;
constexpr int kCodeMask = 0x3FF;

struct TChoices {
  std::vector<TPrintChoice> list;
  int nextTop = kFirstOptionTop;
};

TChoices& Choices() {
  static TChoices choices;
  return choices;
}

}  // namespace

std::string PrintSelectText(int number) { return GetMLText(PrintSelectTexts(), number); }

void ClearPrintChoices() { Choices() = TChoices(); }

void AddPrintChoice(const std::string& caption, int code, bool enabled, bool checked,
                    bool showsFields) {
  Choices().list.push_back({caption, code & kCodeMask, enabled, checked, showsFields});
  Choices().nextTop += kOptionStep;
}

const std::vector<TPrintChoice>& PrintChoices() { return Choices().list; }

// ---------------------------------------------------------------------------------------

void FillPrintersCombo(QComboBox* combo, QLineEdit* copies, const std::string& noPrinterText) {
  combo->clear();
  const std::vector<TPrinterDevice> printers = PrinterDevices();
  const bool any = !printers.empty();
  combo->setEnabled(any);
  if (copies) copies->setEnabled(any);
  if (!any) {
    combo->addItem(ToQString(noPrinterText));
    return;
  }
  const std::string chosen = ChosenPrinter();
  int selected = 0;
  for (const TPrinterDevice& p : printers) {
    if (p.device == chosen) selected = combo->count();
    combo->addItem(ToQString(p.Caption()), ToQString(p.device));
  }
  combo->setCurrentIndex(selected);
}

int TakePrinterChoice(QComboBox* combo, QLineEdit* copies) {
  if (!combo->isEnabled()) return 1;
  std::string name;
  if (combo->currentIndex() >= 0) name = FromQString(combo->currentData().toString());
  if (!name.empty()) PrintSettings().printerName = name;
  int32_t count = 0;
  if (!copies || !TryStrToInt(FromQString(copies->text().trimmed()), count) || count < 1) {
    count = 1;
    if (copies) copies->setText(QStringLiteral("1"));
  }
  if (QPrinter* device = PrinterServices().Device(name.empty() ? ChosenPrinter() : name))
    device->setCopyCount(count);
  return count;
}

// ---------------------------------------------------------------------------------------

TPrintSelectForm::TPrintSelectForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PrintSelectForm"));
  setWindowTitle(ToQString("Stammdaten drucken"));

  WhatBox = new QGroupBox(ToQString(" Welche Datens\xE4tze drucken? "), this);
  WhatBox->setObjectName(QStringLiteral("WhatBox"));

  Box1 = new QGroupBox(ToQString(" Zu druckende Felder "), this);
  Box1->setObjectName(QStringLiteral("Box1"));
  FieldsCheckListBox = new QListWidget(Box1);
  FieldsCheckListBox->setObjectName(QStringLiteral("FieldsCheckListBox"));
  auto* fieldsLayout = new QVBoxLayout(Box1);
  fieldsLayout->addWidget(FieldsCheckListBox);

  Box2 = new QGroupBox(this);
  Box2->setObjectName(QStringLiteral("Box2"));
  PrintersCombo = new QComboBox(Box2);
  PrintersCombo->setObjectName(QStringLiteral("PrintersCombo"));
  PrinterSettingsBtn = new QPushButton(ToQString("Eigenschaften"), Box2);
  PrinterSettingsBtn->setObjectName(QStringLiteral("PrinterSettingsBtn"));
  Label1 = new QLabel(ToQString("Kopien"), Box2);
  CopiesEd = new QLineEdit(QStringLiteral("1"), Box2);
  CopiesEd->setObjectName(QStringLiteral("CopiesEd"));
  CopiesEd->setMaximumWidth(50);
  PreviewCheck = new QCheckBox(ToQString("Druckvorschau anzeigen"), Box2);
  PreviewCheck->setObjectName(QStringLiteral("PreviewCheck"));
  QuerCheck = new QCheckBox(ToQString("Quer"), Box2);
  QuerCheck->setObjectName(QStringLiteral("QuerCheck"));
  ToFileCheck = new QCheckBox(ToQString("in Datei"), Box2);
  ToFileCheck->setObjectName(QStringLiteral("ToFileCheck"));
  auto* grid = new QGridLayout(Box2);
  grid->addWidget(PrintersCombo, 0, 0, 1, 3);
  grid->addWidget(PrinterSettingsBtn, 0, 3);
  grid->addWidget(Label1, 1, 0);
  grid->addWidget(CopiesEd, 1, 1);
  auto* checks = new QHBoxLayout;
  checks->addWidget(PreviewCheck);
  checks->addWidget(QuerCheck);
  checks->addWidget(ToFileCheck);
  checks->addStretch(1);
  grid->addLayout(checks, 2, 0, 1, 4);
  grid->setColumnStretch(2, 1);

  Box3 = new QWidget(this);
  Box3->setObjectName(QStringLiteral("Box3"));
  OkBtn = new QPushButton(ToQString("OK"), Box3);
  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setDefault(true);
  EscBtn = new QPushButton(ToQString("Abbrechen"), Box3);
  EscBtn->setObjectName(QStringLiteral("EscBtn"));
  auto* buttons = new QHBoxLayout(Box3);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addStretch(1);
  buttons->addWidget(OkBtn);
  buttons->addWidget(EscBtn);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(16);
  layout->addWidget(WhatBox);
  layout->addWidget(Box1, 1);
  layout->addWidget(Box2);
  layout->addWidget(Box3);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(PrinterSettingsBtn, &QPushButton::clicked, this, [this] {
    if (PrintersCombo->isEnabled()) ShowPrinterProperties(this, PrintersCombo->currentIndex());
  });

  FillPrintersCombo(PrintersCombo, CopiesEd, PrintSelectText(3));
  PreviewCheck->setChecked(PrintSettings().preview);
  QuerCheck->setChecked(PrintSettings().landscape);
  TranslateForm(this);
}

void TPrintSelectForm::AddOptions(bool withFields) {
  hasFields_ = withFields;
  int width = kOptionWidth;
  for (const TPrintChoice& choice : PrintChoices()) {
    auto* button = new QRadioButton(ToQString(choice.caption), WhatBox);
    button->setObjectName(QStringLiteral("Option%1").arg(choice.code));
    button->setProperty("code", choice.code);
    button->setProperty("showsFields", choice.showsFields);
    // A caption wider than the usual width (a holder's name) widens the box, never cut.
    width = std::max(width, button->sizeHint().width());
    button->move(kOptionLeft, kFirstOptionTop + kOptionStep * static_cast<int>(Options.size()));
    button->setEnabled(choice.enabled);
    button->setChecked(choice.checked);
    // The captions are the views' own texts, translated by them.
    SetNoTranslate(button);
    connect(button, &QRadioButton::toggled, this, [this] { UpdateFieldsBox(); });
    Options.push_back(button);
  }
  for (QRadioButton* b : Options) b->resize(width, kOptionStep - 2);
  WhatBox->setFixedSize(kOptionLeft * 2 + width,
                        kFirstOptionTop + kOptionStep * static_cast<int>(Options.size()) + 4);
  UpdateFieldsBox();
}

void TPrintSelectForm::UpdateFieldsBox() {
  bool show = false;
  for (QRadioButton* b : Options)
    if (b->isChecked()) show = b->property("showsFields").toBool();
  Box1->setVisible(hasFields_ && show);
}

std::string TPrintSelectForm::AskTargetFile() {
  QFileDialog dialog(this, ToQString(PrintSelectText(4)));
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("xls"));
  dialog.setNameFilter(QStringLiteral("Excel (*.xls)"));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  return FromQString(dialog.selectedFiles().first());
}

// ---------------------------------------------------------------------------------------

namespace {

// The dialog for a list (`form` false: "in Datei" writes a spreadsheet) or for a form (a
// receipt or sheet: "in Datei" writes a PDF file).
bool RunPrintSelect(TPrintFields& fields, int& code, bool form) {
  if (Choices().nextTop < kFirstOptionTop + 1) {
    AddPrintChoice(PrintSelectText(1), 0, true, false, true);
    AddPrintChoice(PrintSelectText(2), 1, true, true, true);
  }
  TPrintSelectForm dialog;
  for (const TPrintField& f : fields) {
    auto* item = new QListWidgetItem(ToQString(f.caption), dialog.FieldsCheckListBox);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(f.checked ? Qt::Checked : Qt::Unchecked);
  }
  if (!fields.empty()) {
    // As high as its entries, up to 12 rows; more scroll.
    QListWidget* list = dialog.FieldsCheckListBox;
    const int rows = std::min(list->count(), 12);
    list->setFixedHeight(rows * list->sizeHintForRow(0) + 2 * list->frameWidth() + 4);
  }
  dialog.AddOptions(!fields.empty());
  ClearPrintChoices();

  if (ExecModal(dialog) != QDialog::Accepted) return false;

  TPrintSettings& settings = PrintSettings();
  settings.printerChosenInRun = true;
  settings.preview = dialog.PreviewCheck->isChecked();
  settings.landscape = dialog.QuerCheck->isChecked();
  TakePrinterChoice(dialog.PrintersCombo, dialog.CopiesEd);
  for (int i = 0; i < dialog.FieldsCheckListBox->count() && i < static_cast<int>(fields.size());
       ++i)
    fields[static_cast<size_t>(i)].checked =
        dialog.FieldsCheckListBox->item(i)->checkState() == Qt::Checked;

  bool chosen = false;
  for (QRadioButton* b : dialog.Options) {
    if (!b->isChecked()) continue;
    code = b->property("code").toInt() & kCodeMask;
    chosen = true;
  }
  // A target from an earlier choice is never used again: only this dialog's choice counts,
  // and a form's PDF file is never a list's spreadsheet.
  settings.printToFile = false;
  settings.targetFile.clear();
  settings.formTargetFile.clear();
  if (!chosen) return false;
  if (dialog.ToFileCheck->isChecked()) {
    const std::string target = form ? AskPdfFileName("") : dialog.AskTargetFile();
    if (target.empty()) return false;
    if (form) {
      settings.formTargetFile = target;
    } else {
      settings.printToFile = true;
      settings.targetFile = target;
    }
  }
  return true;
}

}  // namespace

bool ExecutePrintSelect(TPrintFields& fields, int& code) {
  return RunPrintSelect(fields, code, false);
}

bool PrintSelectSimple(const std::string& caption) {
  ClearPrintChoices();
  AddPrintChoice(caption, 0, true, true, false);
  TPrintFields none;
  int code = 0;
  return RunPrintSelect(none, code, true);
}

std::string TakeFormTargetFile() {
  std::string file = std::move(PrintSettings().formTargetFile);
  PrintSettings().formTargetFile.clear();
  return file;
}
