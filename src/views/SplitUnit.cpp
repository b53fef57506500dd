#include "views/SplitUnit.h"

#include <algorithm>
#include <limits>

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

namespace {

// Leading and trailing codes 0..32 dropped.
std::string Trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= 32) ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(start, end - start);
}

}  // namespace

// =======================================================================================
// Texts

const TMLStringList* SplitFormTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("SplitForm", 0);
    t->Add255Obj("Kopie", 1);
    t->Add255Obj("Bitte pr\xFC" "fen Sie Ihre Eingaben.", 2);
    t->Add255Obj("Die Kopie in Zeile %1 konnte nicht angelegt werden.#13#Die Aufteilung wurde "
                 "dort beendet.",
                 3);
    t->Add255Obj("Angelegt wurden: %1", 4);
    t->Add255Obj("keine Kopie", 5);
    return t;
  }();
  return table;
}

std::string SplitText(int number) { return GetMLText(SplitFormTexts(), number); }

const TMLStringList* SplitRebookTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("SplitRebookForm", 0);
    t->Add255Obj("Der Zahlenwert muss 1 oder h\xF6her sein.", 1);
    t->Add255Obj("Es sind nur %1 St\xFC" "ck verf\xFC" "gbar.", 2);
    t->Add255Obj("Der Bestand wurde inzwischen an einem anderen Arbeitsplatz ge\xE4ndert.#13#"
                 "Die Umbuchung wurde nicht ausgef\xFChrt; die angezeigten Zahlen sind jetzt "
                 "aktuell.",
                 3);
    t->Add255Obj("verf\xFC" "gbar: %1", 4);
    return t;
  }();
  return table;
}

std::string SplitRebookText(int number) { return GetMLText(SplitRebookTexts(), number); }

const TMLStringList* InventoryTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("IventurForm", 0);
    t->Add255Obj("Bitte geben Sie eine ganze Zahl ab 0 ein.", 1);
    t->Add255Obj("Der Bestand wurde inzwischen an einem anderen Arbeitsplatz ge\xE4ndert "
                 "(jetzt %1).#13#Die Inventur wurde nicht gespeichert. Bitte best\xE4tigen Sie "
                 "sie erneut.",
                 2);
    t->Add255Obj("Der Schl\xFCssel ist nicht mehr vorhanden.", 3);
    t->Add255Obj("von insgesamt %1", 4);
    return t;
  }();
  return table;
}

std::string InventoryText(int number) { return GetMLText(InventoryTexts(), number); }

namespace {

constexpr std::uint32_t clInvalidField = 0xA0A0FF;  // light red: blocks the action

void SetFieldColor(QWidget* control, bool invalid) {
  QPalette palette = control->palette();
  palette.setColor(QPalette::Base, invalid ? ColorFromBgr(clInvalidField)
                                           : QApplication::palette().color(QPalette::Base));
  control->setPalette(palette);
}

void ReportBlocked(TMiniDB& db, const std::string& blocking) {
  if (blocking == "*")
    ShowLockFailed();
  else if (!blocking.empty())
    db.ShowLockedMessage(blocking, true);
}

// "name [name2]" as the mother panel shows it.
std::string Designation(TMiniDB& db, int32_t id) {
  return NameWithSecondName(db.ReadLineField(id, fkName), db.ReadLineField(id, fkSecondName));
}

QLabel* ValueLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  SetNoTranslate(label);
  return label;
}

}  // namespace

bool ParseCount(const std::string& text, int32_t& value) {
  const std::string trimmed = Trimmed(text);
  if (trimmed.empty() || trimmed.size() > 10) return false;
  int64_t number = 0;
  for (char c : trimmed) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(number);
  return true;
}

// =======================================================================================
// The split without widgets

TSplitCheck CheckSplitRows(std::vector<TSplitRow>& rows, const std::string& motherName,
                           const std::string& motherName2, int32_t motherStock) {
  TSplitCheck check;
  check.rowInvalid.assign(rows.size(), false);
  for (size_t i = 0; i < rows.size(); ++i) {
    TSplitRow& row = rows[i];
    if (Trimmed(row.quantity).empty()) continue;
    int32_t quantity = 0;
    if (!ParseCount(row.quantity, quantity)) {
      check.rowInvalid[i] = true;
      check.valid = false;
      continue;
    }
    if (quantity == 0) continue;
    check.sum += quantity;
    if (Trimmed(row.name).empty()) {
      row.name = motherName;
      if (Trimmed(row.name2).empty()) row.name2 = motherName2;
    }
  }
  check.newStock = int64_t{motherStock} - check.sum;
  if (check.newStock < 0) check.valid = false;
  return check;
}

TSplitRun RunSplit(TMiniDB& db, int32_t mother, const std::vector<TSplitRow>& rows) {
  TSplitRun run;
  std::vector<TSplitPart> parts;
  std::vector<int> partRows;
  for (size_t i = 0; i < rows.size(); ++i) {
    const TSplitRow& row = rows[i];
    int32_t quantity = 0;
    if (Trimmed(row.name).empty() || !ParseCount(row.quantity, quantity)) continue;
    parts.push_back({Trimmed(row.name), Trimmed(row.name2), quantity});
    partRows.push_back(static_cast<int>(i));
  }
  int refused = -1;
  run.daughters = SplitStockRecords(db, mother, parts, refused);
  if (refused >= 0) {
    run.refusedRow = partRows[static_cast<size_t>(refused)];
    run.daughters.clear();
    return run;
  }
  run.madeRows = partRows;
  return run;
}

// =======================================================================================
// The inventory without widgets

TInventorySave SaveInventory(TMiniDB& db, int32_t key, const std::string& shownStock,
                             int32_t count, const std::string& remark, std::string& freshStock,
                             std::string& blocking) {
  blocking.clear();
  std::string stockText;
  std::string name;
  {
    TStoreWrite write(db, {key});
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
      return TInventorySave::Refused;
    }
    if (db.GetClass(key) != icKey || !db.IsValid(key)) return TInventorySave::Gone;
    // Counted against what the dialog showed: a booking at another station since then
    // makes the count wrong, so the user confirms again against the new stock.
    freshStock = db.ReadLineField(key, fkStock);
    if (freshStock != shownStock) return TInventorySave::StockChanged;
    db.SetField(key, fkStock, std::to_string(count));
    if (!write.Commit()) return TInventorySave::Refused;
    stockText = std::to_string(count) + " / " + db.ReadLineField(key, fkTotal);
    name = db.GetDisplayName(key);
  }
  History().Inv(icKey, key, name, stockText, remark);
  freshStock = std::to_string(count);
  return TInventorySave::Saved;
}

// =======================================================================================
// The split dialog

TSplitForm::TSplitForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SplitForm");
  setWindowTitle(ToQString("Datensatz-Splitting"));
  auto* motherBox = new QGroupBox(ToQString(" Zusammenfassungseintrag (Mutter) "), this);
  MotherNameLabel = ValueLabel(motherBox, "MotherNameLabel");
  MotherTotalLabel = ValueLabel(motherBox, "MotherTotalLabel");
  MotherStockLabel = ValueLabel(motherBox, "MotherStockLabel");
  auto* motherGrid = new QGridLayout(motherBox);
  motherGrid->setHorizontalSpacing(12);
  motherGrid->addWidget(new QLabel(ToQString("Bezeichnung"), motherBox), 0, 0);
  motherGrid->addWidget(MotherNameLabel, 0, 1, 1, 3);
  motherGrid->addWidget(new QLabel(ToQString("Gesamt"), motherBox), 1, 0);
  motherGrid->addWidget(MotherTotalLabel, 1, 1);
  motherGrid->addWidget(new QLabel(ToQString("verf\xFC" "gbar"), motherBox), 1, 2);
  motherGrid->addWidget(MotherStockLabel, 1, 3);
  motherGrid->setColumnStretch(3, 1);

  Grid = new QTableWidget(kRows, 4, this);
  Grid->setObjectName("Grid");
  Grid->setHorizontalHeaderLabels({ToQString(""), ToQString(CoreText(2)),
                                   ToQString(CoreText(2) + " 2"), ToQString(CoreText(6))});
  Grid->verticalHeader()->hide();
  Grid->horizontalHeader()->setStretchLastSection(true);
  Grid->setColumnWidth(0, 70);
  Grid->setColumnWidth(1, 180);
  Grid->setColumnWidth(2, 140);
  for (int row = 0; row < kRows; ++row) {
    auto* caption = new QTableWidgetItem(ToQString(SplitText(1) + " " + std::to_string(row + 1)));
    caption->setFlags(Qt::ItemIsEnabled);
    Grid->setItem(row, 0, caption);
    for (int col = 1; col < 4; ++col) Grid->setItem(row, col, new QTableWidgetItem());
  }
  Grid->setMinimumSize(520, Grid->verticalHeader()->defaultSectionSize() * (kRows + 1) + 8);

  NewStockLabel = ValueLabel(this, "NewStockLabel");
  NewStockLabel->setAutoFillBackground(true);
  NewStockLabel->setMinimumWidth(60);
  SaveBtn = new QPushButton(ToQString("\xDC" "bernehmen"), this);
  SaveBtn->setObjectName("SaveBtn");
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");
  auto* foot = new QHBoxLayout;
  foot->addWidget(new QLabel(ToQString("verf\xFC" "gbar neu"), this));
  foot->addWidget(NewStockLabel);
  foot->addStretch(1);
  foot->addWidget(SaveBtn);
  foot->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(motherBox);
  outer->addWidget(Grid, 1);
  outer->addLayout(foot);

  connect(Grid, &QTableWidget::cellChanged, this, [this] { CheckInput(); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TSplitForm::Load(TMiniDB& db, int32_t mother) {
  db_ = &db;
  mother_ = mother;
  run_ = {};
  ShowMother();
  CheckInput();
}

void TSplitForm::ShowMother() {
  MotherNameLabel->setText(ToQString(Designation(*db_, mother_)));
  MotherTotalLabel->setText(ToQString(db_->ReadLineField(mother_, fkTotal)));
  MotherStockLabel->setText(ToQString(db_->ReadLineField(mother_, fkStock)));
}

std::vector<TSplitRow> TSplitForm::Rows() const {
  std::vector<TSplitRow> rows(kRows);
  for (int row = 0; row < kRows; ++row) {
    rows[row].name = FromQString(Grid->item(row, 1)->text());
    rows[row].name2 = FromQString(Grid->item(row, 2)->text());
    rows[row].quantity = FromQString(Grid->item(row, 3)->text());
  }
  return rows;
}

bool TSplitForm::CheckInput() {
  if (checking_ || !db_) return false;
  checking_ = true;
  std::vector<TSplitRow> rows = Rows();
  const TSplitCheck check =
      CheckSplitRows(rows, db_->ReadLineField(mother_, fkName),
                     db_->ReadLineField(mother_, fkSecondName), GetStockOf(*db_, mother_));
  for (int row = 0; row < kRows; ++row) {
    // The names a row takes over from the mother are shown where they will be stored.
    if (FromQString(Grid->item(row, 1)->text()) != rows[row].name)
      Grid->item(row, 1)->setText(ToQString(rows[row].name));
    if (FromQString(Grid->item(row, 2)->text()) != rows[row].name2)
      Grid->item(row, 2)->setText(ToQString(rows[row].name2));
    Grid->item(row, 3)->setBackground(check.rowInvalid[row] ? QBrush(ColorFromBgr(clInvalidField))
                                                            : QBrush());
  }
  NewStockLabel->setText(ToQString(std::to_string(check.newStock)));
  QPalette palette = NewStockLabel->palette();
  palette.setColor(QPalette::Window, check.newStock < 0 ? ColorFromBgr(clInvalidField)
                                                        : this->palette().color(QPalette::Window));
  NewStockLabel->setPalette(palette);
  checking_ = false;
  return check.valid;
}

void TSplitForm::SaveBtnClick() {
  if (!db_) return;
  if (!CheckInput()) {
    ShowError(SplitText(2));
    return;
  }
  ShowWaitDefault();
  TSplitRun run = RunSplit(*db_, mother_, Rows());
  HideWaitText();
  run_.madeRows.insert(run_.madeRows.end(), run.madeRows.begin(), run.madeRows.end());
  run_.daughters.insert(run_.daughters.end(), run.daughters.begin(), run.daughters.end());
  run_.refusedRow = run.refusedRow;
  if (run.refusedRow >= 0) {
    std::string made;
    for (int row : run.madeRows) {
      if (!made.empty()) made += ", ";
      made += SplitText(1) + " " + std::to_string(row + 1);
    }
    ShowError(GetMLTextFmt(SplitFormTexts(), 3, std::to_string(run.refusedRow + 1)) + "\r" +
              GetMLTextFmt(SplitFormTexts(), 4, made.empty() ? SplitText(5) : made));
  }
  // Rows made are on disk: the dialog must not make them again.
  if (!run.madeRows.empty()) {
    accept();
    return;
  }
  if (run.refusedRow < 0) {
    reject();  // no row made a copy
    return;
  }
  // Nothing was made: the numbers may have changed, the input stays for another try.
  ShowMother();
  CheckInput();
}

bool ExecuteSplit(int32_t key) {
  TMiniDB* db = GlueDB();
  if (!db || !db->HasRecord(key)) return false;
  if (db->ReadFirstLink(key, lkMother) != 0) {
    ShowError(CoreText(78));
    return false;
  }
  if (!db->LockItem(key, true, 0)) return false;
  db->Load();
  TSplitForm form(WinGlue().MainWindow.data());
  form.Load(*db, key);
  ExecModal(form);
  db->UnlockItem(key);
  return !form.Run().madeRows.empty();
}

// =======================================================================================
// The rebook dialog

TSplitRebookForm::TSplitRebookForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SplitRebookForm");
  setWindowTitle(ToQString("Splitting Umbuchung"));
  auto* box = new QGroupBox(this);
  MotherNameLabel = ValueLabel(box, "MotherNameLabel");
  MotherCountLabel = ValueLabel(box, "MotherCountLabel");
  MotherTotalLabel = ValueLabel(box, "MotherTotalLabel");
  DaughterNameLabel = ValueLabel(box, "DaughterNameLabel");
  DaughterCountLabel = ValueLabel(box, "DaughterCountLabel");
  DaughterTotalLabel = ValueLabel(box, "DaughterTotalLabel");
  auto* grid = new QGridLayout(box);
  grid->setHorizontalSpacing(16);
  grid->addWidget(new QLabel(ToQString("Anzahl"), box), 0, 1);
  grid->addWidget(new QLabel(ToQString("von"), box), 0, 2);
  grid->addWidget(MotherNameLabel, 1, 0);
  grid->addWidget(MotherCountLabel, 1, 1);
  grid->addWidget(MotherTotalLabel, 1, 2);
  grid->addWidget(DaughterNameLabel, 2, 0);
  grid->addWidget(DaughterCountLabel, 2, 1);
  grid->addWidget(DaughterTotalLabel, 2, 2);
  grid->setColumnStretch(0, 1);
  grid->setColumnMinimumWidth(1, 60);
  grid->setColumnMinimumWidth(2, 60);

  M2DRadio = new QRadioButton(ToQString("von Mutter auf Tochter \xFC" "bertragen"), this);
  M2DRadio->setObjectName("M2DRadio");
  D2MRadio = new QRadioButton(ToQString("von Tochter auf Mutter zur\xFC" "ckbuchen"), this);
  D2MRadio->setObjectName("D2MRadio");
  M2DRadio->setChecked(true);
  AvailableLabel = ValueLabel(this, "AvailableLabel");
  CountEd = new QLineEdit(this);
  CountEd->setObjectName("CountEd");
  CountEd->setMaximumWidth(80);
  DoBtn = new QPushButton(ToQString("Durchf\xFChren"), this);
  DoBtn->setObjectName("DoBtn");
  DoBtn->setDefault(true);
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");

  auto* count = new QHBoxLayout;
  count->addWidget(new QLabel(ToQString(CoreText(6) + ":"), this));
  count->addWidget(CountEd);
  count->addWidget(AvailableLabel, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(DoBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(box);
  outer->addWidget(M2DRadio);
  outer->addWidget(D2MRadio);
  outer->addLayout(count);
  outer->addLayout(buttons);

  connect(M2DRadio, &QRadioButton::toggled, this, [this] { ShowNumbers(); });
  connect(DoBtn, &QPushButton::clicked, this, [this] { DoBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TSplitRebookForm::Load(TMiniDB& db, int32_t daughter, int32_t mother) {
  db_ = &db;
  daughter_ = daughter;
  mother_ = mother;
  ShowNumbers();
}

void TSplitRebookForm::ShowNumbers() {
  if (!db_) return;
  shown_[0] = db_->ReadLineField(mother_, fkStock);
  shown_[1] = db_->ReadLineField(mother_, fkTotal);
  shown_[2] = db_->ReadLineField(daughter_, fkStock);
  shown_[3] = db_->ReadLineField(daughter_, fkTotal);
  MotherNameLabel->setText(ToQString(db_->GetDisplayName(mother_)));
  MotherCountLabel->setText(ToQString(shown_[0]));
  MotherTotalLabel->setText(ToQString(shown_[1]));
  DaughterNameLabel->setText(ToQString(db_->GetDisplayName(daughter_)));
  DaughterCountLabel->setText(ToQString(shown_[2]));
  DaughterTotalLabel->setText(ToQString(shown_[3]));
  AvailableLabel->setText(
      ToQString(GetMLTextFmt(SplitRebookTexts(), 4, std::to_string(SourceStock()))));
}

int32_t TSplitRebookForm::SourceStock() const {
  return StrToIntZero(M2DRadio->isChecked() ? shown_[0] : shown_[2]);
}

void TSplitRebookForm::DoBtnClick() {
  if (!db_) return;
  int32_t count = 0;
  if (!ParseCount(FromQString(CountEd->text()), count) || count < 1) {
    ShowError(SplitRebookText(1));
    return;
  }
  const int32_t available = SourceStock();
  if (count > available) {
    ShowError(GetMLTextFmt(SplitRebookTexts(), 2, std::to_string(std::max(available, 0))));
    return;
  }
  const std::string before[4] = {shown_[0], shown_[1], shown_[2], shown_[3]};
  DoBtn->setEnabled(false);
  const bool moved = MoveCountToCopy(*db_, daughter_, M2DRadio->isChecked() ? count : -count);
  DoBtn->setEnabled(true);
  if (moved) {
    accept();
    return;
  }
  // Refused: either a record was held elsewhere (said already), or the numbers moved on.
  ShowNumbers();
  const bool changed = db_->ReadFirstLink(daughter_, lkMother) != mother_ ||
                       !std::equal(std::begin(before), std::end(before), std::begin(shown_));
  if (changed) ShowError(SplitRebookText(3));
}

bool ExecuteSplitRebook(int32_t daughter) {
  TMiniDB* db = GlueDB();
  if (!db || !db->HasRecord(daughter)) return false;
  const int32_t mother = db->ReadFirstLink(daughter, lkMother);
  if (mother == 0 || mother == daughter || !db->HasRecord(mother)) return false;
  TSplitRebookForm form(WinGlue().MainWindow.data());
  form.Load(*db, daughter, mother);
  return ExecModal(form) == QDialog::Accepted;
}

// =======================================================================================
// The inventory dialog

TIventurForm::TIventurForm(QWidget* parent) : QDialog(parent) {
  setObjectName("IventurForm");
  setWindowTitle(ToQString("verf\xFC" "gbarer Bestand laut Inventur"));
  NameLabel = ValueLabel(this, "NameLabel");
  QFont bold = NameLabel->font();
  bold.setBold(true);
  NameLabel->setFont(bold);
  CountEd = new QLineEdit(this);
  CountEd->setObjectName("CountEd");
  CountEd->setMaximumWidth(80);
  TotalLabel = ValueLabel(this, "TotalLabel");
  RemEd = new QLineEdit(this);
  RemEd->setObjectName("RemEd");
  RemEd->setMinimumWidth(320);
  SaveBtn = new QPushButton(ToQString("\xDC" "bernehmen"), this);
  SaveBtn->setObjectName("SaveBtn");
  SaveBtn->setDefault(true);
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");

  auto* count = new QHBoxLayout;
  count->addWidget(new QLabel(ToQString("Verf\xFC" "gbare Menge:"), this));
  count->addWidget(CountEd);
  count->addWidget(new QLabel(ToQString("St\xFC" "ck"), this));
  count->addWidget(TotalLabel);
  count->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(SaveBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(NameLabel);
  outer->addLayout(count);
  outer->addWidget(new QLabel(ToQString("Bemerkung (f\xFCr das Protokoll)"), this));
  outer->addWidget(RemEd);
  outer->addLayout(buttons);

  connect(CountEd, &QLineEdit::textChanged, this, [this] { CountEdChange(); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TIventurForm::Load(TMiniDB& db, int32_t key) {
  db_ = &db;
  key_ = key;
  NameLabel->setText(ToQString(CopyLeft(db.GetDisplayName(key), 40)));
  ShowStock(db.ReadLineField(key, fkStock));
  SaveBtn->setEnabled(false);
  CountEd->setFocus();
  CountEd->selectAll();
}

void TIventurForm::ShowStock(const std::string& stock) {
  shownStock_ = stock;
  loading_ = true;
  CountEd->setText(ToQString(stock));
  loading_ = false;
  TotalLabel->setText(
      ToQString(GetMLTextFmt(InventoryTexts(), 4, db_->ReadLineField(key_, fkTotal))));
  SetFieldColor(CountEd, CountInvalid());
}

bool TIventurForm::CountInvalid() const {
  int32_t count = 0;
  return !ParseCount(FromQString(CountEd->text()), count);
}

void TIventurForm::CountEdChange() {
  SetFieldColor(CountEd, CountInvalid());
  if (!loading_) SaveBtn->setEnabled(true);
}

void TIventurForm::SaveBtnClick() {
  if (!db_) return;
  int32_t count = 0;
  if (!ParseCount(FromQString(CountEd->text()), count)) {
    ShowError(InventoryText(1));
    CountEd->setFocus();
    return;
  }
  std::string fresh;
  std::string blocking;
  const std::string remark = FromQString(RemEd->text());
  switch (SaveInventory(*db_, key_, shownStock_, count, remark, fresh, blocking)) {
    case TInventorySave::Saved:
      accept();
      return;
    case TInventorySave::StockChanged: {
      // The count stays as typed; the stock it is compared with is the new one.
      const QString typed = CountEd->text();
      ShowStock(fresh);
      loading_ = true;
      CountEd->setText(typed);
      loading_ = false;
      SetFieldColor(CountEd, CountInvalid());
      ShowError(GetMLTextFmt(InventoryTexts(), 2, fresh.empty() ? "0" : fresh));
      return;
    }
    case TInventorySave::Gone:
      ShowError(InventoryText(3));
      reject();
      return;
    case TInventorySave::Refused:
      ReportBlocked(*db_, blocking);
      return;
  }
}

bool ExecuteInventory(int32_t key) {
  TMiniDB* db = GlueDB();
  if (!db || db->GetClass(key) != icKey || !db->IsValid(key)) return false;
  TIventurForm form(WinGlue().MainWindow.data());
  form.Load(*db, key);
  return ExecModal(form) == QDialog::Accepted;
}
