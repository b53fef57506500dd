#include "views/KeyBoxUnit.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/ListingFrameUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SearchLikeGoogleUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "data/ViewOptionsUnit.h"

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

const TMLStringList* KeyBoxTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("KeyBoxUnit", 0);
    t->Add255Obj("Typ", 1);
    t->Add255Obj("verf\xFC" "gbar", 2);
    t->Add255Obj("keine entsprechenden Schl\xFCssel gefunden", 3);
    t->Add255Obj("ohne Anlage", 4);
    t->Add255Obj("alle Anlagen", 5);
    t->Add255Obj("%1 Eintr\xE4ge gefunden.", 6);
    t->Add255Obj("Summe aller Exemplare: %1", 7);
    t->Add255Obj("keine entsprechenden Zylinder gefunden", 8);
    t->Add255Obj("Schlie\xDFung", 9);
    t->Add255Obj("nur verf\xFC" "gbare Schl\xFCssel anzeigen", 10);
    t->Add255Obj("nur verf\xFC" "gbare Zylinder anzeigen", 11);
    t->Add255Obj("Schl\xFCssel aufrufen", 12);
    t->Add255Obj("Zylinder aufrufen", 13);
    t->Add255Obj("L\xE4nge", 14);
    t->Add255Obj("Summe verf\xFC" "gbarer Exemplare: %1", 15);
    return t;
  }();
  return table;
}

std::string KeyBoxText(int number) { return GetMLText(KeyBoxTexts(), number); }

namespace {

std::string KeyBoxTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(KeyBoxTexts(), number, argument);
}

constexpr std::uint32_t clMinAlert = 0xE0E0FF;     // light red: below the minimum
constexpr std::uint32_t clFilterActive = 0x80FFFF;  // yellow: a filter in use
// How long a fill trusts the store it read last (days): 10 seconds.
constexpr double kReloadInterval = 10.0 / 86400.0;
// Fills let typing go on every so many records.
constexpr int32_t kBreatheEvery = 16384;

// The IDs of a link list field as stored.
std::unordered_set<int32_t> LinkedIds(TMiniDB& db, int32_t id, int kind) {
  std::vector<std::string> items;
  ValueListToStrings(db.ReadLineField(id, "l" + std::to_string(kind)), items);
  std::unordered_set<int32_t> ids;
  for (const std::string& item : items)
    if (const int32_t target = StrToIntZero(item); target > 0) ids.insert(target);
  return ids;
}

}  // namespace

// =======================================================================================
// The list without widgets

std::vector<std::string> StockListCaptions(int itemClass, bool minColumn) {
  const bool keys = itemClass != icCylinder;
  std::vector<std::string> captions = {keys ? KeyCaption() : CylinderCaption(), KeyBoxText(9),
                                       KeyBoxText(keys ? 1 : 14), CoreText(1), KeyBoxText(2)};
  if (keys && minColumn) captions.push_back("min. ");
  captions.push_back(CabinetCaption());
  captions.push_back(CoreText(10));
  return captions;
}

bool BuildStockList(TMiniDB& db, const TStockFilter& filter, TStockList& list,
                    const std::function<bool()>& cancelled) {
  list = TStockList();
  const int cls = filter.itemClass == icCylinder ? icCylinder : icKey;
  const bool cylinders = cls == icCylinder;
  TItemList ids;
  db.ListClassValid(cls, ids);

  TSearchLikeGoogle name;
  name.SetSearchText(filter.search);
  // Closing numbers and lengths are compared without their punctuation ("12-34" = "12.34").
  TSearchLikeGoogle closing;
  closing.Transform = NormalizeSearchText;
  closing.SetSearchText(filter.closing);
  TSearchLikeGoogle length;
  length.Transform = NormalizeSearchText;
  length.SetSearchText(cylinders ? filter.length : std::string());
  std::unordered_set<int32_t> inGroup;
  if (filter.group != 0) inGroup = LinkedIds(db, filter.group, cls);

  struct TSortEntry {
    std::string key;
    TStockRow row;
  };
  std::vector<TSortEntry> kept;
  kept.reserve(static_cast<size_t>(ids.Count()));
  std::string scratch;
  for (int32_t i = 0; i < ids.Count(); ++i) {
    if (cancelled && i % kBreatheEvery == kBreatheEvery - 1 && cancelled()) return false;
    const int32_t id = ids.Get(i);
    const std::string& display = db.DisplayNameOf(id);
    if (name.Count > 0 && !name.Matches(display, scratch)) continue;
    if (closing.Count > 0 && !closing.Matches(db.ReadLineField(id, "k603"))) continue;
    if (length.Count > 0 && !length.Matches(db.ReadLineField(id, fkLength))) continue;
    if (filter.system != ksAll &&
        StrToPosInt(db.ReadLineField(id, fkKeySystem)) != filter.system)
      continue;
    if (filter.group != 0 && inGroup.count(id) == 0) continue;
    TStockRow row;
    row.id = id;
    row.stock = GetStockOf(db, id, cls);
    if (filter.onlyAvailable && row.stock < 1) continue;
    if (filter.onlySubMin && !CheckMinStock(db, id, true)) continue;
    // A cylinder's stock is computed from GetTotalCount (1 without a total): its total is
    // that same number, never the empty field read as 0.
    row.total = cylinders ? GetTotalCount(db, id) : StrToIntZero(TotalTextOf(db, id));
    if (!cylinders && filter.minColumn) {
      int32_t minimum = 0;
      row.belowMin = TryStrToInt(db.ReadLineField(id, fkMinimum), minimum) && minimum >= 0 &&
                     minimum > row.stock;
    }
    kept.push_back({AnsiUpperCase(NameCaseOf(cls, display)), row});
  }
  std::stable_sort(kept.begin(), kept.end(), [](const TSortEntry& a, const TSortEntry& b) {
    return a.key < b.key;
  });
  list.rows.reserve(kept.size());
  for (const TSortEntry& entry : kept) {
    list.totalSum += entry.row.total;
    if (entry.row.stock > 0) list.availableSum += entry.row.stock;
    list.rows.push_back(entry.row);
  }
  return true;
}

std::string AvailabilityText(const TStockRow& row) {
  return std::to_string(row.stock) + VonText() + std::to_string(row.total);
}

std::vector<std::string> StockCells(TMiniDB& db, const TStockRow& row, int itemClass,
                                    bool minColumn) {
  const bool keys = itemClass != icCylinder;
  const int32_t id = row.id;
  std::vector<std::string> cells;
  cells.reserve(8);
  cells.push_back(db.GetDisplayName(id));
  cells.push_back(db.ReadLineField(id, "k603"));
  cells.push_back(keys ? KeyTypeAbbrevOf(StrToIntZero(db.ReadLineField(id, fkKeyType)))
                       : db.ReadLineField(id, fkLength));
  cells.push_back(KeySystemName(db, StrToPosInt(db.ReadLineField(id, fkKeySystem))));
  cells.push_back(AvailabilityText(row));
  if (keys && minColumn) cells.push_back(db.ReadLineField(id, fkMinimum));
  const int32_t cabinet = db.ReadFirstLink(id, icCabinet);
  cells.push_back(cabinet > 0 ? db.GetDisplayName(cabinet) : std::string());
  cells.push_back(RemarkToLine(db.ReadLineField(id, fkRemark)));
  return cells;
}

std::string StockFootText(const TStockList& list) {
  return KeyBoxTextFmt(6, std::to_string(list.rows.size())) + " " +
         KeyBoxTextFmt(7, std::to_string(list.totalSum)) + ", " +
         KeyBoxTextFmt(15, std::to_string(list.availableSum));
}

std::uint32_t AvailabilityColor(int32_t stock) {
  if (stock > 0) return clStockPositive;
  if (stock < 0) return clStockNegative;
  return 0;
}

// =======================================================================================
// The model

TStockListModel::TStockListModel(QObject* parent) : QAbstractTableModel(parent) {
  captions_ = StockListCaptions(itemClass_, minColumn_);
}

int TStockListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.rows.size());
}

int TStockListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

const std::vector<std::string>& TStockListModel::CellsOf(int row) const {
  if (row != cachedRow_) {
    cached_ = StockCells(*db_, list_.rows[static_cast<size_t>(row)], itemClass_, minColumn_);
    cachedRow_ = row;
  }
  return cached_;
}

QVariant TStockListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !db_ || index.row() >= rowCount() || index.column() >= columnCount())
    return {};
  const TStockRow& row = list_.rows[static_cast<size_t>(index.row())];
  const int availableColumn = 4;
  const int minColumn = itemClass_ != icCylinder && minColumn_ ? 5 : -1;
  if (role == Qt::DisplayRole)
    return ToQString(CellsOf(index.row())[static_cast<size_t>(index.column())]);
  if (role == Qt::BackgroundRole) {
    if (index.column() == availableColumn && AvailabilityColor(row.stock) != 0)
      return QBrush(ColorFromBgr(AvailabilityColor(row.stock)));
    if (index.column() == minColumn && row.belowMin) return QBrush(ColorFromBgr(clMinAlert));
  }
  return {};
}

QVariant TStockListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= columnCount())
    return QAbstractTableModel::headerData(section, orientation, role);
  return ToQString(captions_[static_cast<size_t>(section)]);
}

void TStockListModel::SetList(TMiniDB* db, int itemClass, bool minColumn, TStockList list) {
  beginResetModel();
  db_ = db;
  itemClass_ = itemClass;
  minColumn_ = minColumn;
  captions_ = StockListCaptions(itemClass, minColumn);
  list_ = std::move(list);
  cachedRow_ = -1;
  endResetModel();
}

int32_t TStockListModel::IdAt(int row) const {
  return row >= 0 && row < rowCount() ? list_.rows[static_cast<size_t>(row)].id : 0;
}

int TStockListModel::RowOfId(int32_t id) const {
  for (size_t i = 0; i < list_.rows.size(); ++i)
    if (list_.rows[i].id == id) return static_cast<int>(i);
  return -1;
}

std::vector<std::vector<std::string>> TStockListModel::AllRows() const {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(list_.rows.size() + 1);
  rows.push_back(captions_);
  if (!db_) return rows;
  for (const TStockRow& row : list_.rows)
    rows.push_back(StockCells(*db_, row, itemClass_, minColumn_));
  return rows;
}

// =======================================================================================
// The dialog

namespace {

QLabel* Caption(const char* text, QWidget* parent) { return new QLabel(ToQString(text), parent); }

}  // namespace

bool MinimumStockUsed(TMiniDB& db) {
  int32_t settings = db.SingletonID;
  if (settings <= 0 || db.GetClass(settings) != icSettings) {
    TItemList list;
    db.ListClass(icSettings, list);
    settings = list.Count() > 0 ? list.Get(0) : 0;
  }
  return settings != 0 && !db.ReadLineField(settings, "MinStkKeys").empty();
}

TKeyBoxForm::TKeyBoxForm(QWidget* parent) : QDialog(parent) {
  setObjectName("KeyBoxForm");
  setWindowTitle(ToQString(" Schl\xFCssel- und Zylinderbest\xE4nde"));
  setSizeGripEnabled(true);

  auto* kindBox = new QGroupBox(this);
  KeysRadio = new QRadioButton(ToQString("Schl\xFCssel"), kindBox);
  KeysRadio->setObjectName("KeysRadio");
  CylsRadio = new QRadioButton(ToQString("Zylinder"), kindBox);
  CylsRadio->setObjectName("CylsRadio");
  KeysRadio->setChecked(true);
  auto* kindLayout = new QVBoxLayout(kindBox);
  kindLayout->addWidget(KeysRadio);
  kindLayout->addWidget(CylsRadio);

  SeekEd = new QLineEdit(this);
  SeekEd->setObjectName("SeekEd");
  SeekEd->setPlaceholderText(ToQString("Name"));
  SeekLockEd = new QLineEdit(this);
  SeekLockEd->setObjectName("SeekLockEd");
  SeekLenLabel = new QLabel(ToQString(KeyBoxText(14)), this);
  SeekLenEd = new QLineEdit(this);
  SeekLenEd->setObjectName("SeekLenEd");
  KSCombo = new QComboBox(this);
  KSCombo->setObjectName("KSCombo");
  GroupCombo = new QComboBox(this);
  GroupCombo->setObjectName("GroupCombo");
  onlyAvailableCheck = new QCheckBox(ToQString(KeyBoxText(10)), this);
  onlyAvailableCheck->setObjectName("onlyAvailableCheck");
  onlySubMinCheck = new QCheckBox(ToQString("nur Schl\xFCssel unter Mindestbestand"), this);
  onlySubMinCheck->setObjectName("onlySubMinCheck");

  auto* filters = new QGridLayout;
  filters->addWidget(Caption("Suche:", this), 0, 0);
  filters->addWidget(SeekEd, 0, 1);
  filters->addWidget(new QLabel(ToQString(KeyBoxText(9)), this), 0, 2);
  filters->addWidget(SeekLockEd, 0, 3);
  filters->addWidget(SeekLenLabel, 0, 4);
  filters->addWidget(SeekLenEd, 0, 5);
  filters->addWidget(new QLabel(ToQString(CoreText(1)), this), 1, 0);
  filters->addWidget(KSCombo, 1, 1);
  filters->addWidget(new QLabel(ToQString(CoreText(130)), this), 1, 2);
  filters->addWidget(GroupCombo, 1, 3, 1, 3);
  filters->addWidget(onlyAvailableCheck, 2, 0, 1, 3);
  filters->addWidget(onlySubMinCheck, 2, 3, 1, 3);
  filters->setColumnStretch(1, 2);
  filters->setColumnStretch(3, 1);
  auto* head = new QHBoxLayout;
  head->addWidget(kindBox);
  head->addLayout(filters, 1);

  Model = new TStockListModel(this);
  Grid = new QTableView(this);
  Grid->setObjectName("Grid");
  Grid->setModel(Model);
  Grid->setItemDelegate(new TRecordRowDelegate(Grid));
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setShowGrid(false);
  Grid->setWordWrap(false);
  Grid->verticalHeader()->hide();
  Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 4);
  Grid->horizontalHeader()->setStretchLastSection(true);
  Grid->horizontalHeader()->setHighlightSections(false);
  Grid->setMinimumSize(760, 320);

  NoResultPanel = new QLabel(Grid->viewport());
  NoResultPanel->setObjectName("NoResultPanel");
  NoResultPanel->setAlignment(Qt::AlignCenter);
  NoResultPanel->setAutoFillBackground(true);
  NoResultPanel->setFrameShape(QFrame::Box);
  NoResultPanel->hide();

  FootLabel = new QLabel(this);
  FootLabel->setObjectName("FootLabel");
  SetNoTranslate(FootLabel);
  GotoBtn = new QPushButton(ToQString(KeyBoxText(12)), this);
  GotoBtn->setObjectName("GotoBtn");
  PrintBtn = new QPushButton(ToQString("Drucken"), this);
  PrintBtn->setObjectName("PrintBtn");
  ExportBtn = new QPushButton(ToQString("Exportieren"), this);
  ExportBtn->setObjectName("ExportBtn");
  ExcelBtn = new QPushButton(ToQString("Excel"), this);
  ExcelBtn->setObjectName("ExcelBtn");
  CloseBtn = new QPushButton(ToQString("Schlie\xDF" "en"), this);
  CloseBtn->setObjectName("CloseBtn");
  // The sums get a line of their own: in English or with large counts they would push the
  // buttons together.
  auto* foot = new QHBoxLayout;
  foot->addStretch(1);
  foot->addWidget(GotoBtn);
  foot->addWidget(PrintBtn);
  foot->addWidget(ExportBtn);
  foot->addWidget(ExcelBtn);
  foot->addWidget(CloseBtn);

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(head);
  outer->addWidget(Grid, 1);
  outer->addWidget(FootLabel);
  outer->addLayout(foot);
  resize(900, 560);

  for (QLineEdit* edit : {SeekEd, SeekLockEd, SeekLenEd})
    connect(edit, &QLineEdit::textChanged, this, [this] {
      if (!presetting_) FillGrid();
    });
  for (QComboBox* combo : {KSCombo, GroupCombo})
    connect(combo, &QComboBox::currentIndexChanged, this, [this] {
      if (!presetting_) FillGrid();
    });
  for (QCheckBox* check : {onlyAvailableCheck, onlySubMinCheck})
    connect(check, &QCheckBox::toggled, this, [this] {
      if (!presetting_) FillGrid();
    });
  connect(KeysRadio, &QRadioButton::toggled, this, [this] {
    if (!presetting_) {
      KindChanged();
      FillGrid();
    }
  });
  connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { GridClick(); });
  connect(Grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) GotoBtnClick();
  });
  connect(GotoBtn, &QPushButton::clicked, this, [this] { GotoBtnClick(); });
  connect(PrintBtn, &QPushButton::clicked, this, [this] { PrintBtnClick(); });
  connect(ExportBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(); });
  connect(ExcelBtn, &QPushButton::clicked, this, [this] { ExcelBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, [this] { reject(); });

  TranslateForm(this);
  presetting_ = true;
  FillCombos();
  KindChanged();
  presetting_ = false;
}

int TKeyBoxForm::ItemClass() const { return CylsRadio->isChecked() ? icCylinder : icKey; }

TStockFilter TKeyBoxForm::Filter() const {
  TStockFilter f;
  f.itemClass = ItemClass();
  f.search = FromQString(SeekEd->text());
  f.closing = FromQString(SeekLockEd->text());
  f.length = f.itemClass == icCylinder ? FromQString(SeekLenEd->text()) : std::string();
  f.system = GetComboId(KSCombo, ksAll);
  f.group = GetComboId(GroupCombo, 0);
  f.onlyAvailable = onlyAvailableCheck->isChecked();
  // Offered only where the client keeps minimum stocks; the dialog may not be on screen
  // yet (the fill before it shows), so what counts is whether the box was hidden.
  f.onlySubMin =
      f.itemClass == icKey && !onlySubMinCheck->isHidden() && onlySubMinCheck->isChecked();
  TMiniDB* db = GlueDB();
  f.minColumn = f.itemClass == icKey && db && MinimumStockUsed(*db);
  return f;
}

void TKeyBoxForm::FillCombos() {
  TMiniDB* db = GlueDB();
  const int32_t system = GetComboId(KSCombo, ksAll);
  const int32_t group = GetComboId(GroupCombo, 0);
  KSCombo->clear();
  AddComboItem(KSCombo, KeyBoxText(5), ksAll);
  AddComboItem(KSCombo, KeyBoxText(4), ksNone);
  if (db) {
    if (!WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
    for (const TStringItem& item : LockingSystemList().Items())
      if (item.object != ksNone && item.object != ksAll)
        AddComboItem(KSCombo, item.text, static_cast<int32_t>(item.object));
  }
  SetComboIdOrIndex(KSCombo, system, 0);
  GroupCombo->clear();
  AddComboItem(GroupCombo, "-", 0);
  if (db) {
    TQStringList groups;
    db->FillStringsByClass(groups, icGroup);
    groups.Sort();
    for (const TStringItem& item : groups.Items())
      AddComboItem(GroupCombo, item.text, static_cast<int32_t>(item.object));
  }
  SetComboIdOrIndex(GroupCombo, group, 0);
}

void TKeyBoxForm::KindChanged() {
  const bool cylinders = ItemClass() == icCylinder;
  SeekLenLabel->setVisible(cylinders);
  SeekLenEd->setVisible(cylinders);
  onlyAvailableCheck->setText(ToQString(KeyBoxText(cylinders ? 11 : 10)));
  GotoBtn->setText(ToQString(KeyBoxText(cylinders ? 13 : 12)));
  TMiniDB* db = GlueDB();
  onlySubMinCheck->setVisible(!cylinders && db && MinimumStockUsed(*db));
}

void TKeyBoxForm::MarkFilters() {
  auto mark = [this](QWidget* control, bool active) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, active ? ColorFromBgr(clFilterActive)
                                            : this->palette().color(QPalette::Base));
    control->setPalette(palette);
  };
  for (QLineEdit* edit : {SeekEd, SeekLockEd, SeekLenEd}) mark(edit, !edit->text().isEmpty());
  mark(GroupCombo, GetComboId(GroupCombo, 0) != 0);
}

void TKeyBoxForm::ReloadIfDue() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  const double now = Clock().NowUTC();
  if (LastReload >= 0 && now - LastReload <= kReloadInterval) return;
  LastReload = now;
  db->Load();  // reads only a file that changed
}

void TKeyBoxForm::FillGrid() {
  const int mine = ++RefreshCounter;
  // Typing goes on while the list fills: only the newest fill shows.
  UI().ProcessPendingEvents();
  if (RefreshCounter != mine) return;
  TMiniDB* db = GlueDB();
  ReloadIfDue();
  MarkFilters();
  const TStockFilter filter = Filter();
  const int32_t selected = SelectedId();
  TStockList list;
  if (db) {
    const bool complete = BuildStockList(*db, filter, list, [this, mine] {
      UI().ProcessPendingEvents();
      return RefreshCounter != mine;
    });
    if (!complete || RefreshCounter != mine) return;
  }
  const bool cylinders = filter.itemClass == icCylinder;
  Model->SetList(db, filter.itemClass, filter.minColumn, std::move(list));
  Grid->setColumnWidth(0, 200);
  for (int col = 1; col < Model->columnCount() - 2; ++col) Grid->setColumnWidth(col, 90);
  if (filter.minColumn) Grid->setColumnWidth(5, 50);
  Grid->setColumnWidth(Model->columnCount() - 2, 110);
  FootLabel->setText(ToQString(StockFootText(Model->List())));
  if (Model->rowCount() == 0) {
    NoResultPanel->setText(ToQString(KeyBoxText(cylinders ? 8 : 3)));
    const QRect area = Grid->viewport()->rect();
    const int w = std::max(320, NoResultPanel->sizeHint().width() + 40);
    NoResultPanel->setGeometry((area.width() - w) / 2, 40, w,
                               NoResultPanel->sizeHint().height() + 24);
    NoResultPanel->show();
  } else {
    NoResultPanel->hide();
    const int row = Model->RowOfId(selected);
    SelectId(Model->IdAt(row >= 0 ? row : 0));
  }
  GridClick();
  ++FillCount;
}

void TKeyBoxForm::Preset(int itemClass, int32_t system, int32_t group,
                         const std::string& closing, const std::string& search) {
  presetting_ = true;
  FillCombos();
  (itemClass == icCylinder ? CylsRadio : KeysRadio)->setChecked(true);
  KindChanged();
  SetComboIdOrIndex(KSCombo, system, 0);
  SetComboIdOrIndex(GroupCombo, group, 0);
  auto preset = [](QLineEdit* edit, const std::string& text) {
    if (text == "\"\"")
      edit->clear();
    else if (!text.empty())
      edit->setText(ToQString(text));
  };
  preset(SeekLockEd, closing);
  preset(SeekEd, search);
  presetting_ = false;
}

void TKeyBoxForm::RefreshCombos() {
  presetting_ = true;
  FillCombos();
  KindChanged();
  presetting_ = false;
}

int32_t TKeyBoxForm::SelectedId() const {
  const QModelIndex current = Grid->selectionModel()->currentIndex();
  return current.isValid() ? Model->IdAt(current.row()) : 0;
}

void TKeyBoxForm::SelectId(int32_t id) {
  const int row = Model->RowOfId(id);
  if (row < 0) {
    Grid->clearSelection();
    return;
  }
  Grid->setCurrentIndex(Model->index(row, 0));
  Grid->selectRow(row);
}

void TKeyBoxForm::GridClick() {
  const bool record = SelectedId() != 0;
  GotoBtn->setEnabled(record);
  const bool rows = Model->rowCount() > 0;
  PrintBtn->setEnabled(rows);
  ExportBtn->setEnabled(rows);
  ExcelBtn->setEnabled(rows);
}

void TKeyBoxForm::GotoBtnClick() {
  if (SelectedId() != 0) accept();
}

bool TKeyBoxForm::PrintBtnClick() {
  if (RightDenied(rtPrintLists)) return false;
  return PrintTableRows(Trimmed(FromQString(windowTitle())), Model->AllRows());
}

bool TKeyBoxForm::ExportBtnClick() { return ExportListDialog(Model, this, false); }

bool TKeyBoxForm::ExcelBtnClick() { return ExportListDialog(Model, this, true); }

namespace {
QPointer<TKeyBoxForm> gKeyBoxForm;
}

TKeyBoxForm& KeyBoxForm() {
  if (!gKeyBoxForm) {
    gKeyBoxForm = new TKeyBoxForm(WinGlue().MainWindow.data());
    // A form without the main window as its parent goes before the application does.
    if (!WinGlue().MainWindow) qAddPostRoutine(FreeKeyBoxForm);
  }
  return *gKeyBoxForm;
}

void FreeKeyBoxForm() { delete gKeyBoxForm.data(); }

void ShowStockList(int itemClass, int32_t system, int32_t group, const std::string& closing,
                   const std::string& search) {
  KeyBoxForm().Preset(itemClass, system, group, closing, search);
}

int32_t SelectFromStockList() {
  TKeyBoxForm& form = KeyBoxForm();
  form.LastReload = -1;
  form.RefreshCombos();
  form.FillGrid();
  const int result = ExecModal(form);
  const int32_t chosen = form.SelectedId();
  ReloadAndRefresh();
  if (result != QDialog::Accepted || chosen == 0) return 0;
  GotoItem(chosen, true);
  return chosen;
}
