#include "views/PinningFormUnit.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>

#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"

QFont PinningFont() {
  const QString family = QFontDatabase::families().contains(QStringLiteral("Courier New"))
                             ? QStringLiteral("Courier New")
                             : QStringLiteral("DejaVu Sans Mono");
  QFont font(family, 11);
  font.setStyleHint(QFont::Monospace);
  return font;
}

TPinningFrame::TPinningFrame(QWidget* parent) : QFrame(parent) {
  setObjectName("PinsFrame");
  setFixedHeight(PinningHeight(1));
}

void TPinningFrame::ShowPinning(int32_t /*cylinder*/, const std::string& text) {
  for (QLabel* label : Captions) delete label;
  for (QLabel* label : Values) delete label;
  Captions.clear();
  Values.clear();
  std::string sums, rows;
  SplitPinningText(text, Lead, sums, rows);
  const std::vector<TPinningLine> lines = PinningLines(text);
  const QFont font = PinningFont();
  int top = 4;
  for (const TPinningLine& line : lines) {
    auto* caption =
        new QLabel(ToQString(line.caption == "-" ? line.caption : MLTranslate(line.caption)), this);
    caption->move(4, top);
    caption->show();
    auto* value = new QLabel(ToQString(line.value), this);
    value->setFont(font);
    value->move(100, top);
    value->show();
    Captions.push_back(caption);
    Values.push_back(value);
    top += 16;
  }
  const int height = PinningHeight(static_cast<int>(lines.size()));
  if (height != this->height()) {
    setFixedHeight(height);
    if (OnHeightChanged) OnHeightChanged();
  }
}

TPinningForm::TPinningForm(QWidget* parent) : QDialog(parent) {
  setObjectName("PinningForm");
  setWindowTitle(ToQString("Zylinderf\xFCllung"));
  resize(360, 420);
  auto* sum = new QLabel(ToQString("Summe"), this);
  sum->move(8, 12);
  auto* rotor = new QLabel(ToQString("Rotorstifte"), this);
  rotor->move(8, 36);
  auto* layers = new QLabel(ToQString("Aufbaustifte"), this);
  layers->move(8, 60);
  const QFont font = PinningFont();
  for (int chamber = 0; chamber < kPinChambers; ++chamber) {
    SumLabels[chamber] = new QLabel(this);
    SumLabels[chamber]->setFont(font);
    SumLabels[chamber]->setGeometry(101 + 16 * chamber, 12, 14, 18);
    for (int row = 0; row < kPinRows; ++row) {
      auto* cell = new QLineEdit(this);
      cell->setObjectName(QStringLiteral("Cell%1_%2").arg(row).arg(chamber));
      cell->setMaxLength(1);
      cell->setFont(font);
      cell->setGeometry(98 + 16 * chamber, 36 + 24 * row, 14, 20);
      connect(cell, &QLineEdit::textChanged, this,
              [this, row, chamber] { CellChanged(row, chamber); });
      Cells[row][chamber] = cell;
    }
  }
  auto* cuts = new QLabel(ToQString("Schl\xFCsseleinschnitte"), this);
  cuts->move(8, 36 + 24 * kPinRows);
  CutsMemo = new QPlainTextEdit(this);
  CutsMemo->setObjectName("CutsMemo");
  CutsMemo->setReadOnly(true);
  CutsMemo->setGeometry(8, 56 + 24 * kPinRows, 240, 110);
  RefreshBtn = new QPushButton(ToQString("Aktualisieren"), this);
  RefreshBtn->setGeometry(256, 56 + 24 * kPinRows, 96, 24);
  SaveBtn = new QPushButton(ToQString("OK"), this);
  SaveBtn->setGeometry(256, 90 + 24 * kPinRows, 96, 24);
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  EscBtn->setGeometry(256, 120 + 24 * kPinRows, 96, 24);
  resize(360, 180 + 24 * kPinRows);
  connect(RefreshBtn, &QPushButton::clicked, this, [this] { RefreshBtnClick(); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { accept(); });
  connect(EscBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TPinningForm::Load(int32_t cylinder, const std::string& text) {
  CylinderId = cylinder;
  InputActive = false;
  const TPinningGrid grid = LoadPinningGrid(text);
  lead_ = grid.lead;
  for (int row = 0; row < kPinRows; ++row)
    for (int chamber = 0; chamber < kPinChambers; ++chamber) {
      const char c = grid.At(row, chamber);
      Cells[row][chamber]->setText(c ? ToQString(std::string(1, c)) : QString());
    }
  UpdateLook();
  InputActive = true;
  RefreshBtnClick();
}

TPinningGrid TPinningForm::Grid() const {
  TPinningGrid grid;
  grid.lead = lead_;
  for (int row = 0; row < kPinRows; ++row)
    for (int chamber = 0; chamber < kPinChambers; ++chamber) {
      const std::string text = FromQString(Cells[row][chamber]->text());
      grid.At(row, chamber) = text.empty() ? '\0' : FilterPinningChar(text[0]);
    }
  return grid;
}

std::string TPinningForm::Result() const { return BuildPinningText(Grid()); }

void TPinningForm::UpdateLook() {
  const TPinningGrid grid = Grid();
  for (int chamber = 0; chamber < kPinChambers; ++chamber) {
    SumLabels[chamber]->setText(ToQString(PinningChamberSum(grid, chamber)));
    for (int row = 0; row < kPinRows; ++row)
      Cells[row][chamber]->setVisible(PinningCellVisible(grid, row, chamber));
  }
}

void TPinningForm::CellChanged(int row, int chamber) {
  if (!InputActive) return;
  QLineEdit* cell = Cells[row][chamber];
  const std::string text = FromQString(cell->text());
  if (text.empty()) {
    UpdateLook();
    return;
  }
  const char kept = FilterPinningChar(text[0]);
  InputActive = false;
  cell->setText(kept ? ToQString(std::string(1, kept)) : QString());
  InputActive = true;
  if (!kept) return;
  CutsMemo->clear();
  UpdateLook();
  if (chamber + 1 < kPinChambers && Cells[row][chamber + 1]->isVisibleTo(this))
    Cells[row][chamber + 1]->setFocus();
}

void TPinningForm::RefreshBtnClick() {
  const TPinningGrid grid = Grid();
  const std::string rows = PinningRows(grid);
  TQStringList out;
  if (!PinningTree(rows, false, out)) {
    CutsMemo->clear();
    ShowInfo(MLTranslate("Zu viele Kombinationen"));
    return;
  }
  std::string text;
  for (int i = 0; i < out.Count(); ++i) text += (i ? "\n" : "") + out.Get(i);
  CutsMemo->setPlainText(ToQString(text));
}

bool ExecutePinning(int32_t cylinder, const std::string& text, std::string& result) {
  result.clear();
  static TPinningForm* form = nullptr;
  if (!form) form = new TPinningForm(nullptr);
  form->Load(cylinder, text);
  if (ExecModal(*form) != QDialog::Accepted) return false;
  result = form->Result();
  return true;
}
