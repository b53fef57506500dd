#include "views/ChangeLogUnit.h"

#include <QBrush>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

// ---------------------------------------------------------------------------------------
// TChangeLogModel

void TChangeLogModel::SetRows(std::vector<TChangeLogRow> rows, int columns) {
  beginResetModel();
  rows_ = std::move(rows);
  columns_ = std::max(columns, 4);
  titles_ = ChangeLogColumnTitles(columns_);
  endResetModel();
}

int TChangeLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TChangeLogModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

uint32_t TChangeLogModel::CellColor(bool shaded, int column) {
  uint32_t color = shaded ? 0xE0FFE0 : 0xFFFFFF;
  // The column pairs stand out: 0/1, 4/5, 8/9, 12/13.
  if (column <= 13 && column % 4 < 2) color -= 0x100000;
  return color;
}

QVariant TChangeLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  const TChangeLogRow& row = rows_[static_cast<size_t>(index.row())];
  const size_t col = static_cast<size_t>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return col < row.cells.size() ? ToQString(row.cells[col]) : QString();
    case Qt::BackgroundRole:
      return QBrush(ColorFromBgr(CellColor(row.shaded, index.column())));
    case Qt::ForegroundRole:
      return QBrush(Qt::black);
    default:
      return QVariant();
  }
}

QVariant TChangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      static_cast<size_t>(section) >= titles_.size())
    return QVariant();
  return ToQString(titles_[static_cast<size_t>(section)]);
}

// ---------------------------------------------------------------------------------------
// TChangeLogForm

namespace {

// The type filter's classes after "alles".
constexpr int kTypeClasses[] = {icKey, icDoor, icCylinder, icPerson, icUser};

std::string LocalTimeText(double utc) {
  const qint64 ms = static_cast<qint64>((utc - 25569.0) * 86400000.0 + (utc >= 25569 ? 0.5 : -0.5));
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toLocalTime();
  return FromQString(local.toString(QStringLiteral("yyyy-MM-dd  hh:mm")));
}

}  // namespace

TChangeLogForm::TChangeLogForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ChangeLogForm");
  setWindowTitle(ToQString("Detailliertes Bearbeitungsprotokoll"));
  resize(1000, 600);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  MonthDownBtn = new QPushButton(QStringLiteral("\u25C0"), this);
  MonthDownBtn->setObjectName("MonthDownBtn");
  MonthLabel = new QLabel(this);
  MonthLabel->setObjectName("MonthLabel");
  SetNoTranslate(MonthLabel);
  MonthUpBtn = new QPushButton(QStringLiteral("\u25B6"), this);
  MonthUpBtn->setObjectName("MonthUpBtn");
  for (QPushButton* b : {MonthDownBtn, MonthUpBtn}) b->setFixedWidth(28);
  TypeCombo = new QComboBox(this);
  TypeCombo->setObjectName("TypeCombo");
  TypeCombo->addItem(ToQString(MLTranslate("alles")), 0);
  for (int cls : kTypeClasses) TypeCombo->addItem(ToQString(ClassCaption(cls, true)), cls);
  KeysystemCombo = new QComboBox(this);
  KeysystemCombo->setObjectName("KeysystemCombo");
  AvailableCheck = new QCheckBox(ToQString(ChangeLogText(2)), this);
  AvailableCheck->setObjectName("AvailableCheck");
  auto* closingLabel = new QLabel(ToQString(ChangeLogText(9) + ":"), this);
  ClosingEd = new QLineEdit(this);
  ClosingEd->setObjectName("ClosingEd");
  ClosingEd->setMaximumWidth(90);
  SeekBtn = new QPushButton(ToQString("anzeigen"), this);
  SeekBtn->setObjectName("SeekBtn");
  top->addWidget(MonthDownBtn);
  top->addWidget(MonthLabel);
  top->addWidget(MonthUpBtn);
  top->addSpacing(12);
  top->addWidget(TypeCombo);
  top->addWidget(KeysystemCombo);
  top->addWidget(AvailableCheck);
  top->addWidget(closingLabel);
  top->addWidget(ClosingEd);
  top->addWidget(SeekBtn);
  top->addStretch(1);
  layout->addLayout(top);

  Model = new TChangeLogModel(this);
  Grid = new QTableView(this);
  Grid->setObjectName("Grid");
  Grid->setModel(Model);
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setWordWrap(false);
  Grid->verticalHeader()->hide();
  Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  Grid->verticalHeader()->setDefaultSectionSize(20);
  Grid->horizontalHeader()->setDefaultSectionSize(110);
  Grid->setStyleSheet(QStringLiteral("QTableView::item { padding-left: 2px; }"));
  layout->addWidget(Grid, 1);
  EmptyLabel = new QLabel(ToQString(ChangeLogText(3)), Grid);
  EmptyLabel->setObjectName("EmptyLabel");
  EmptyLabel->move(20, 40);
  EmptyLabel->adjustSize();
  EmptyLabel->hide();

  auto* foot = new QHBoxLayout();
  ExportBtn = new QPushButton(ToQString("Export"), this);
  ExportBtn->setObjectName("ExportBtn");
  ExcelBtn = new QPushButton(ToQString("Excel"), this);
  ExcelBtn->setObjectName("ExcelBtn");
  GotoBtn = new QPushButton(ToQString("Datensatz aufrufen"), this);
  GotoBtn->setObjectName("GotoBtn");
  GotoBtn->setEnabled(false);
  CloseBtn = new QPushButton(ToQString("Schlie\xDF" "en"), this);
  CloseBtn->setObjectName("CloseBtn");
  foot->addWidget(ExportBtn);
  foot->addWidget(ExcelBtn);
  foot->addStretch(1);
  foot->addWidget(GotoBtn);
  foot->addWidget(CloseBtn);
  layout->addLayout(foot);
  for (QPushButton* b : {MonthDownBtn, MonthUpBtn, SeekBtn, ExportBtn, ExcelBtn, GotoBtn, CloseBtn})
    b->setAutoDefault(false);

  QObject::connect(MonthDownBtn, &QPushButton::clicked, this, [this] { MonthUpDownClick(-1); });
  QObject::connect(MonthUpBtn, &QPushButton::clicked, this, [this] { MonthUpDownClick(1); });
  QObject::connect(SeekBtn, &QPushButton::clicked, this, [this] { SeekBtnClick(); });
  QObject::connect(TypeCombo, &QComboBox::currentIndexChanged, this, [this] { TypeComboChange(); });
  QObject::connect(ExportBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(false); });
  QObject::connect(ExcelBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(true); });
  QObject::connect(GotoBtn, &QPushButton::clicked, this, [this] {
    ChosenId = SelectedRecord();
    if (ChosenId > 0) accept();
  });
  QObject::connect(CloseBtn, &QPushButton::clicked, this, [this] { reject(); });
  QObject::connect(Grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   [this] { GridClick(); });
  QObject::connect(Grid, &QTableView::doubleClicked, this, [this] { GridDblClick(); });

  FillKeysystems();
  TypeComboChange();
  Moment = NowUTC();
  TranslateForm(this);
}

void TChangeLogForm::FillKeysystems() {
  const QVariant previous = KeysystemCombo->currentData();
  KeysystemCombo->clear();
  bool any = false;
  for (int code = ksFirstNamed; code <= ksLastNamed; ++code) {
    const std::string name = KeySystemTableName(code);
    if (name.empty()) continue;
    KeysystemCombo->addItem(ToQString(name), code);
    any = true;
  }
  if (!any) KeysystemCombo->addItem(QStringLiteral("-"), -1);
  KeysystemCombo->addItem(ToQString(ChangeLogText(4)), 0);
  KeysystemCombo->addItem(ToQString(ChangeLogText(5)), static_cast<int>(ksAll));
  const int at = previous.isValid() ? KeysystemCombo->findData(previous) : -1;
  KeysystemCombo->setCurrentIndex(at >= 0 ? at : KeysystemCombo->count() - 1);
}

void TChangeLogForm::TypeComboChange() {
  const int cls = TypeCombo->currentData().toInt();
  AvailableCheck->setText(ToQString(cls == icKey        ? ChangeLogText(10)
                                    : cls == icCylinder ? ChangeLogText(11)
                                                        : ChangeLogText(2)));
  GotoBtn->setText(ToQString(cls == icKey        ? ChangeLogText(12)
                             : cls == icCylinder ? ChangeLogText(13)
                                                 : MLTranslate("Datensatz aufrufen")));
}

TChangeLogFilter TChangeLogForm::Filter() const {
  TChangeLogFilter filter;
  filter.cls = TypeCombo->currentData().toInt();
  const int code = KeysystemCombo->currentData().toInt();
  filter.keySystem = code < 0 ? ksAll : code;
  filter.availableOnly = AvailableCheck->isChecked();
  filter.closing = FromQString(ClosingEd->text());
  filter.recordId = RecordId;
  return filter;
}

void TChangeLogForm::MonthUpDownClick(int delta) {
  Moment = ChangeLogMonthStep(Moment, delta);
  Rebuild();
}

void TChangeLogForm::Rebuild() {
  changes_.clear();
  MonthLabel->setText(ToQString(ChangeLogMonthCaption(Moment)));
  if (TMiniDB* db = GlueDB()) RebuildChangeLogMonth(*db, Moment, changes_);
  FillGrid();
}

void TChangeLogForm::FillGrid() {
  TMiniDB* db = GlueDB();
  const int32_t selectedEntry = [&] {
    const QModelIndexList rows = Grid->selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    return Model->Rows()[static_cast<size_t>(rows.first().row())].entry;
  }();
  // Names and the filters "verfügbar" and "Schließung" read the client's store as it is
  // now; a store not read for a while is read first.
  const double now = NowUTC();
  if (db && (lastFill_ < 0 || now - lastFill_ > 10.0 / 86400)) db->Load();
  lastFill_ = now;
  std::vector<TChangeLogRow> rows;
  int columns = 4;
  if (db) BuildChangeLogRows(changes_, Filter(), *db, LocalTimeText, rows, columns);
  Model->SetRows(std::move(rows), columns);
  Grid->resizeColumnsToContents();
  for (int c = 0; c < Model->columnCount(); ++c)
    Grid->setColumnWidth(c, std::min(std::max(Grid->columnWidth(c), 60), 260));
  EmptyLabel->setVisible(Model->rowCount() == 0);
  for (int r = 0; r < Model->rowCount(); ++r)
    if (Model->Rows()[static_cast<size_t>(r)].entry == selectedEntry && selectedEntry >= 0) {
      Grid->selectRow(r);
      break;
    }
  GridClick();
}

int32_t TChangeLogForm::SelectedEntryRecord() const {
  const QModelIndexList rows = Grid->selectionModel()->selectedRows();
  if (rows.isEmpty()) return 0;
  const int32_t entry = Model->Rows()[static_cast<size_t>(rows.first().row())].entry;
  if (entry < 0 || static_cast<size_t>(entry) >= changes_.size()) return 0;
  return changes_[static_cast<size_t>(entry)].id;
}

int32_t TChangeLogForm::SelectedRecord() const {
  // The log keeps the changes of records deleted since: those have no page to show.
  const int32_t id = SelectedEntryRecord();
  const TMiniDB* db = GlueDB();
  return id > 0 && db && db->IsValid(id) ? id : 0;
}

void TChangeLogForm::GridClick() {
  const bool gone = SelectedEntryRecord() > 0 && SelectedRecord() == 0;
  GotoBtn->setEnabled(SelectedRecord() > 0);
  GotoBtn->setToolTip(gone ? ToQString(ChangeLogText(14)) : QString());
}

void TChangeLogForm::GridDblClick() {
  ChosenId = SelectedRecord();
  if (ChosenId > 0)
    accept();
  else if (SelectedEntryRecord() > 0)
    ShowInfo(ChangeLogText(14));
}

void TChangeLogForm::ExportBtnClick(bool toSpreadsheet) {
  const TChangeLogModel* model = Model;
  ExportListDialog(
      [model](const TLineWriter& writer) {
        const int columns = model->Columns();
        std::string header;
        const std::vector<std::string> titles = ChangeLogColumnTitles(columns);
        for (int c = 0; c < columns; ++c) header += (c ? "\t" : "") + ExportCell(titles[c]);
        if (!writer(header, false)) return false;
        for (const TChangeLogRow& row : model->Rows()) {
          std::string line;
          for (int c = 0; c < columns; ++c) {
            if (c) line += '\t';
            if (static_cast<size_t>(c) < row.cells.size()) line += ExportCell(row.cells[c]);
          }
          if (!writer(line, false)) return false;
        }
        return true;
      },
      nullptr, toSpreadsheet);
}

namespace {

void RunChangeLog(int32_t record) {
  TChangeLogForm form(WinGlue().MainWindow.data());
  form.RecordId = record;
  if (TMiniDB* db = GlueDB(); db && record > 0)
    form.setWindowTitle(form.windowTitle() + ToQString(": " + db->GetDisplayName(record)));
  ShowWaitText(CoreText(45));
  form.Rebuild();
  HideWaitText();
  if (ExecModal(form) == QDialog::Accepted && form.ChosenId > 0) GotoItem(form.ChosenId, true);
}

}  // namespace

void ShowChangeLog() { RunChangeLog(0); }
void ShowChangeLogOf(int32_t id) { RunChangeLog(id); }
