#include "views/FrameLimitsUnit.h"

#include <algorithm>
#include <map>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ListingFrameUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

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

const TMLStringList* FrameLimitsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameLimits", 0);
    t->Add255Obj("bis heute keine Frist\xFC" "berschreitung gefunden", 1);
    t->Add255Obj("bis in %1 Tagen keine Frist\xFC" "berschreitung gefunden", 2);
    t->Add255Obj("R\xFC" "ckgabefristen", 3);
    t->Add255Obj("bis heute", 4);
    t->Add255Obj("f\xFCr die n\xE4" "chsten %1 Tage", 5);
    return t;
  }();
  return table;
}

std::string LimitsText(int number) { return GetMLText(FrameLimitsTexts(), number); }

const TMLStringList* FristEdTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FristEdForm", 0);
    t->Add255Obj("Dieser Besitz ist nicht mehr vorhanden (inzwischen an einem anderen "
                 "Arbeitsplatz gebucht, z.B. zur\xFC" "ckgenommen).#13#Die \xC4nderungen wurden "
                 "nicht gespeichert.",
                 1);
    t->Add255Obj("Die \xC4nderungen konnten nicht gespeichert werden.", 2);
    return t;
  }();
  return table;
}

std::string FristEdText(int number) { return GetMLText(FristEdTexts(), number); }

namespace {

constexpr std::uint32_t clInvalidField = 0xA0A0FF;  // light red: blocks the action
constexpr std::uint32_t clWhite = 0xFFFFFF;

void SetFieldColor(QWidget* control, std::uint32_t bgr) {
  QPalette palette = control->palette();
  palette.setColor(QPalette::Base, ColorFromBgr(bgr));
  control->setPalette(palette);
}

// "YYYY-MM-DD" as stored.
bool IsIsoDateText(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// The deadline of a holding as a date; 0 when it is none.
TPackedDate DeadlineDate(const std::string& deadline) {
  return deadline.empty() ? 0 : StrToPackedDate(deadline);
}

// The part of a typed date before the first blank.
std::string DatePartOf(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  return trimmed.substr(0, trimmed.find(' '));
}

// Tells the user who blocks a write, once the write is over.
void ReportBlocked(TMiniDB& db, const std::string& blocking) {
  if (blocking == "*")
    ShowLockFailed();
  else if (!blocking.empty())
    db.ShowLockedMessage(blocking, true);
}

}  // namespace

// =======================================================================================
// The list without widgets

int LimitsDaysOfChoice(int index) {
  switch (index) {
    case 1: return 7;
    case 2: return 30;
    default: return 0;
  }
}

TPackedDate LimitsDateOf(int days) {
  TPackedDate date = TodayPacked();
  for (int i = 0; i < days; ++i) date = NextDay(date);
  return date;
}

THolderEntries CollectDueHoldings(TMiniDB& db, TPackedDate limit) {
  const std::string limitIso = PackedDateToIsoStr(limit);
  TItemList keys;
  db.ListClassValid(icKey, keys);
  THolderEntries due;
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const int32_t key = keys.Get(i);
    const std::string own = db.ReadLineField(key, fkHolders);
    // A deadline is the third field: a line without two "|" has none.
    if (own.empty() || own.find('|') == std::string::npos) continue;
    for (THolderEntry& entry : ParseHolderEntries(own, key, true)) {
      if (entry.Deadline.empty()) continue;
      const bool dueByLimit = IsIsoDateText(entry.Deadline)
                                  ? entry.Deadline <= limitIso
                                  : DeadlineDate(entry.Deadline) != 0 &&
                                        DeadlineDate(entry.Deadline) <= limit;
      if (dueByLimit) due.push_back(std::move(entry));
    }
  }
  SortHolderEntriesByDeadline(due);
  return due;
}

TLimitsCells LimitsCaptions() {
  return {KeyCaption(), CoreText(6), HolderCaption(), IssuedOnCaption(), CoreText(49),
          CoreText(10)};
}

std::string LimitsHolderText(TMiniDB& db, THolderRef holder) {
  std::string text;
  // A person with department and number in brackets; the class's own name function (which
  // the other lists share) stays as it is.
  if ((holder.kind == okPerson || holder.kind == okLost) && db.GetClass(holder.id) == icPerson) {
    text = NameWithContext(db, holder.id, kBracketRound);
    if (holder.kind == okLost && !text.empty()) text = CoreText(51) + " " + text;
  }
  return text.empty() ? HolderRefText(db, holder) : text;
}

std::vector<TLimitsCells> LimitsRowsOf(TMiniDB& db, const THolderEntries& entries) {
  std::vector<TLimitsCells> rows;
  rows.reserve(entries.size());
  // Many holdings share a holder: each holder's text is made once.
  std::map<std::pair<int, int32_t>, std::string> holderTexts;
  for (const THolderEntry& e : entries) {
    const auto holder = std::make_pair(static_cast<int>(e.Kind), e.HolderId);
    auto found = holderTexts.find(holder);
    if (found == holderTexts.end())
      found = holderTexts.emplace(holder, LimitsHolderText(db, {e.Kind, e.HolderId})).first;
    rows.push_back({db.GetDisplayName(e.KeyId), e.Count, found->second,
                    IsoDateToLocalStr(e.FirstDate), IsoDateToLocalStr(e.Deadline), e.Remark});
  }
  return rows;
}

// =======================================================================================
// The grid's model

TLimitsModel::TLimitsModel(QObject* parent) : QAbstractTableModel(parent) {}

int TLimitsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TLimitsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kLimitsColumns;
}

QVariant TLimitsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kLimitsColumns)
    return {};
  if (role == Qt::DisplayRole)
    return ToQString(rows_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())]);
  return {};
}

QVariant TLimitsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kLimitsColumns)
    return QAbstractTableModel::headerData(section, orientation, role);
  return ToQString(captions_[static_cast<size_t>(section)]);
}

void TLimitsModel::SetRows(std::vector<TLimitsCells> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void TLimitsModel::SetCaptions(const TLimitsCells& captions) {
  captions_ = captions;
  emit headerDataChanged(Qt::Horizontal, 0, kLimitsColumns - 1);
}

// =======================================================================================
// The view

namespace {
TFrameLimits* gFrameLimits = nullptr;
}

TFrameLimits* FrameLimits() { return gFrameLimits; }

TFrameLimits::TFrameLimits(QWidget* parent) : QFrame(parent) {
  setObjectName("FrameLimits");
  setAutoFillBackground(true);
  QPalette back = palette();
  back.setColor(QPalette::Window, ColorFromBgr(clFrameBackground));
  setPalette(back);

  TopPanel = new QFrame(this);
  TopPanel->setObjectName("TopPanel");
  DaysLabel = new QLabel(ToQString("zeige abgelaufene R\xFC" "ckgabefristen "), TopPanel);
  LimitsDaysCombo = new QComboBox(TopPanel);
  LimitsDaysCombo->setObjectName("LimitsDaysCombo");
  SeekBtn = new QPushButton(ToQString("Suchen"), TopPanel);
  SeekBtn->setObjectName("SeekBtn");
  PrintBtn = new QPushButton(ToQString("Drucken"), TopPanel);
  PrintBtn->setObjectName("PrintBtn");
  GotoKeyBtn = new QPushButton(ToQString("zum Schl\xFCssel wechseln"), TopPanel);
  GotoKeyBtn->setObjectName("GotoKeyBtn");
  GotoHolderBtn = new QPushButton(ToQString("zum Besitzer wechseln"), TopPanel);
  GotoHolderBtn->setObjectName("GotoHolderBtn");
  LimitsDaysCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* top = new QHBoxLayout(TopPanel);
  top->setContentsMargins(6, 4, 6, 4);
  top->addWidget(DaysLabel);
  top->addWidget(LimitsDaysCombo);
  top->addWidget(SeekBtn);
  top->addStretch(1);
  // The jumps and the print below the list: the head keeps room for its texts.
  FootPanel = new QFrame(this);
  FootPanel->setObjectName("FootPanel");
  GotoKeyBtn->setParent(FootPanel);
  GotoHolderBtn->setParent(FootPanel);
  PrintBtn->setParent(FootPanel);
  auto* foot = new QHBoxLayout(FootPanel);
  foot->setContentsMargins(6, 4, 6, 4);
  foot->addWidget(GotoKeyBtn);
  foot->addWidget(GotoHolderBtn);
  foot->addStretch(1);
  foot->addWidget(PrintBtn);
  for (QWidget* w : {static_cast<QWidget*>(DaysLabel), static_cast<QWidget*>(SeekBtn),
                     static_cast<QWidget*>(GotoKeyBtn), static_cast<QWidget*>(GotoHolderBtn),
                     static_cast<QWidget*>(PrintBtn)})
    w->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  Model = new TLimitsModel(this);
  Model->SetCaptions(LimitsCaptions());
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
  Grid->setContextMenuPolicy(Qt::CustomContextMenu);
  const int widths[kLimitsColumns - 1] = {220, 60, 220, 90, 90};
  for (int col = 0; col < kLimitsColumns - 1; ++col) Grid->setColumnWidth(col, widths[col]);

  NoResultPanel = new QLabel(Grid->viewport());
  NoResultPanel->setObjectName("NoResultPanel");
  NoResultPanel->setAlignment(Qt::AlignCenter);
  NoResultPanel->setAutoFillBackground(true);
  NoResultPanel->setFrameShape(QFrame::Box);
  NoResultPanel->hide();

  LimitsPopup = new QMenu(this);
  LimitsGotoKey1 = LimitsPopup->addAction(ToQString("zum Schl\xFCssel wechseln"));
  LimitsGotoKey1->setObjectName("LimitsGotoKey1");
  LimitsGotoMa1 = LimitsPopup->addAction(ToQString("zum Besitzer wechseln"));
  LimitsGotoMa1->setObjectName("LimitsGotoMa1");
  LimitsPopup->addSeparator();
  Frist1 = LimitsPopup->addAction(ToQString("Details bearbeiten ..."));
  Frist1->setObjectName("Frist1");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(TopPanel);
  layout->addWidget(Grid, 1);
  layout->addWidget(FootPanel);

  for (int i = 0; i < kLimitsDaysChoices; ++i) LimitsDaysCombo->addItem(QString());  // 0, 7, 30
  SetLimitsDaysTexts();
  LimitsDaysCombo->setCurrentIndex(0);

  connect(LimitsDaysCombo, &QComboBox::activated, this, [this] { FillLimitsGrid(); });
  connect(SeekBtn, &QPushButton::clicked, this, [this] { SeekBtnClick(); });
  connect(PrintBtn, &QPushButton::clicked, this, [this] { PrintLimits(); });
  connect(GotoKeyBtn, &QPushButton::clicked, this, [this] { LimitsGotoKey1Click(); });
  connect(GotoHolderBtn, &QPushButton::clicked, this, [this] { LimitsGotoMa1Click(); });
  connect(LimitsGotoKey1, &QAction::triggered, this, [this] { LimitsGotoKey1Click(); });
  connect(LimitsGotoMa1, &QAction::triggered, this, [this] { LimitsGotoMa1Click(); });
  connect(Frist1, &QAction::triggered, this, [this] { Frist1Click(); });
  connect(Grid, &QTableView::doubleClicked, this, [this] { LimitsGotoKey1Click(); });
  connect(Grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const QModelIndex index = Grid->indexAt(at);
    if (index.isValid()) SelectRow(index.row());
    UpdateButtons();
    LimitsPopup->popup(Grid->viewport()->mapToGlobal(at));
  });
  // A mouse press makes the row current before it selects it: the buttons follow the
  // selection too, so that they serve the row clicked.
  connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { UpdateButtons(); });
  connect(Grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { UpdateButtons(); });

  TranslateForm(this);
  UpdateButtons();
  gFrameLimits = this;
}

TFrameLimits::~TFrameLimits() {
  if (gFrameLimits == this) gFrameLimits = nullptr;
  for (int page = PageOfView(this); page >= 0; page = PageOfView(this)) UnregisterView(page, this);
}

void TFrameLimits::FillLimitsGrid() {
  if (filling_) return;
  TMiniDB* db = GlueDB();
  filling_ = true;
  Model->SetRows({});
  entries_.clear();
  NoResultPanel->hide();
  if (isVisible()) {
    // The search over every key takes a moment on a large store: say so first.
    NoResultPanel->setText(ToQString(CoreText(54)));
    PlaceNoResultPanel();
    NoResultPanel->show();
    NoResultPanel->repaint();
    UI().ProcessPendingEvents();
  }
  if (LimitsDaysCombo->currentIndex() < 0) LimitsDaysCombo->setCurrentIndex(0);
  const int days = LimitsDaysOfChoice(LimitsDaysCombo->currentIndex());
  const std::string noResult =
      days == 0 ? LimitsText(1) : GetMLTextFmt(FrameLimitsTexts(), 2, std::to_string(days));
  if (db) {
    entries_ = CollectDueHoldings(*db, LimitsDateOf(days));
    Model->SetCaptions(LimitsCaptions());
    Model->SetRows(LimitsRowsOf(*db, entries_));
  }
  if (entries_.empty()) {
    NoResultPanel->setText(ToQString(noResult));
    PlaceNoResultPanel();
    NoResultPanel->show();
  } else {
    NoResultPanel->hide();
    SelectRow(0);
  }
  UpdateButtons();
  ++FillCount;
  filling_ = false;
}

bool TFrameLimits::HasOverdue() const {
  const std::string today = PackedDateToIsoStr(TodayPacked());
  for (const THolderEntry& e : entries_) {
    const bool overdue = IsIsoDateText(e.Deadline)
                             ? e.Deadline <= today
                             : DeadlineDate(e.Deadline) != 0 &&
                                   DeadlineDate(e.Deadline) <= TodayPacked();
    if (overdue) return true;
  }
  return false;
}

bool TFrameLimits::PrintLimits() {
  if (RightDenied(rtPrintLists)) return false;
  std::vector<std::vector<std::string>> rows;
  const TLimitsCells captions = LimitsCaptions();
  rows.emplace_back(captions.begin(), captions.end());
  for (const TLimitsCells& row : Model->Rows()) rows.emplace_back(row.begin(), row.end());
  return PrintTableRows(LimitsText(3), rows);
}

int TFrameLimits::SelectedRow() const {
  const QModelIndex current = Grid->selectionModel()->currentIndex();
  if (!current.isValid() || !Grid->selectionModel()->isRowSelected(current.row(), {}))
    return -1;
  return current.row() < static_cast<int>(entries_.size()) ? current.row() : -1;
}

void TFrameLimits::SelectRow(int row) {
  if (row < 0 || row >= Model->rowCount()) {
    Grid->clearSelection();
    return;
  }
  Grid->setCurrentIndex(Model->index(row, 0));
  Grid->selectRow(row);
}

const THolderEntry* TFrameLimits::SelectedEntry() const {
  const int row = SelectedRow();
  return row < 0 ? nullptr : &entries_[static_cast<size_t>(row)];
}

int32_t TFrameLimits::CurrentItemId() const {
  const THolderEntry* entry = SelectedEntry();
  return entry ? entry->KeyId : 0;
}

void TFrameLimits::LimitsGotoKey1Click() {
  if (const THolderEntry* entry = SelectedEntry()) GotoItem(entry->KeyId, true);
}

void TFrameLimits::LimitsGotoMa1Click() {
  const THolderEntry* entry = SelectedEntry();
  if (entry && (entry->Kind == okPerson || entry->Kind == okLost) && entry->HolderId > 0)
    GotoItem(entry->HolderId, true);
}

void TFrameLimits::Frist1Click() {
  const THolderEntry* selected = SelectedEntry();
  TMiniDB* db = GlueDB();
  if (!selected || !db) return;
  if (CheckPendingInput()) return;
  const THolderEntry entry = *selected;
  if (RightDeniedFor(rtIssue, entry.KeyId)) return;
  // As the keys view does: the key is this station's while the editor is open.
  if (!db->LockItem(entry.KeyId, true, 0)) return;
  db->Load();
  ExecuteFristEd(entry);
  db->UnlockItem(entry.KeyId);
  FillLimitsGrid();
}

void TFrameLimits::TermsChanged() {
  Model->SetCaptions(LimitsCaptions());
  SetLimitsDaysTexts();
}

void TFrameLimits::SetLimitsDaysTexts() {
  for (int i = 0; i < LimitsDaysCombo->count(); ++i) {
    const int days = LimitsDaysOfChoice(i);
    LimitsDaysCombo->setItemText(
        i, ToQString(days == 0 ? LimitsText(4)
                               : GetMLTextFmt(FrameLimitsTexts(), 5, std::to_string(days))));
  }
}

void TFrameLimits::HideNoResultPanel() { NoResultPanel->hide(); }

void TFrameLimits::UpdateButtons() {
  const bool rows = !entries_.empty();
  const THolderEntry* entry = SelectedEntry();
  const bool holder =
      entry && (entry->Kind == okPerson || entry->Kind == okLost) && entry->HolderId > 0;
  PrintBtn->setEnabled(rows);
  GotoKeyBtn->setEnabled(rows && entry);
  GotoHolderBtn->setEnabled(rows && holder);
  LimitsGotoKey1->setEnabled(rows && entry);
  LimitsGotoMa1->setEnabled(rows && holder);
  Frist1->setEnabled(rows && entry);
}

void TFrameLimits::PlaceNoResultPanel() {
  const QRect area = Grid->viewport()->rect();
  const int w = std::min(area.width() - 20, std::max(360, NoResultPanel->sizeHint().width() + 40));
  const int h = NoResultPanel->sizeHint().height() + 24;
  NoResultPanel->setGeometry((area.width() - w) / 2, std::max(10, area.height() / 3 - h / 2), w,
                             h);
}

void TFrameLimits::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  if (skipShowFill_) {
    skipShowFill_ = false;
    return;
  }
  if (GlueDB() && Session().LoggedIn) FillLimitsGrid();
}

void TFrameLimits::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (NoResultPanel->isVisible()) PlaceNoResultPanel();
}

void MakeLimitsView(QWidget* page) {
  auto* view = new TFrameLimits(page);
  QLayout* layout = page->layout();
  if (!layout) {
    layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
  }
  layout->addWidget(view);
  RegisterView(pgLimits, view);
}

bool LimitsCheck() {
  TFrameLimits* view = FrameLimits();
  if (!view) return false;
  view->FillLimitsGrid();
  if (!view->HasOverdue()) {
    view->HideNoResultPanel();
    return false;
  }
  // The list was just filled: showing the page need not fill it again.
  view->skipShowFill_ = !view->isVisible();
  ShowPage(pgLimits, true);
  view->skipShowFill_ = false;
  return true;
}

// =======================================================================================
// The holding editor

THoldingEdit HoldingEditOf(const THolderEntry& entry, const std::string& deadlineText,
                           const std::string& remark, const std::string& identifier) {
  THoldingEdit edit;
  const std::string datePart = DatePartOf(deadlineText);
  if (datePart.empty()) {
    edit.deadlineChanged = !entry.Deadline.empty();
    edit.deadline = -1;
  } else if (const TPackedDate date = StrToPackedDate(datePart); date != 0) {
    edit.deadlineChanged = PackedDateToIsoStr(date) != entry.Deadline;
    edit.deadline = date;
  }
  if (remark != entry.Remark) {
    edit.remarkChanged = true;
    edit.remark = remark;
  }
  const std::string trimmedId = Trimmed(identifier);
  if (trimmedId != entry.Identifier) {
    edit.identifierChanged = true;
    edit.identifier = trimmedId;
  }
  return edit;
}

namespace {

// The line of the holding as the key's lines hold it now: the line BookHolderChange takes
// for its receipt number (or, without one, its first date), and only when it is that
// holding's line. -1 when the holding is gone.
int HoldingLineIndex(const std::vector<std::string>& lines, const THolderEntry& entry) {
  const std::string prefix = HolderLinePrefix({entry.Kind, entry.HolderId});
  const int index = FindHolderLine(lines, prefix, entry.FirstDate, entry.ReceiptNo);
  if (index < 0) return -1;
  const THolderFields fields = ParseHolderLine(HolderLineBody(lines[static_cast<size_t>(index)]));
  if (fields[hfReceiptNo] != entry.ReceiptNo) return -1;
  if (entry.ReceiptNo.empty() && fields[hfFirstDate] != entry.FirstDate) return -1;
  return index;
}

}  // namespace

bool FindHolding(TMiniDB& db, const THolderEntry& entry, THolderEntry& found) {
  if (db.GetClass(entry.KeyId) != icKey || !db.IsValid(entry.KeyId)) return false;
  const std::vector<std::string> lines = SplitHolderLines(db.ReadLineField(entry.KeyId, fkHolders));
  const int index = HoldingLineIndex(lines, entry);
  if (index < 0) return false;
  return ParseHolderEntry(lines[static_cast<size_t>(index)], entry.KeyId, found, false);
}

THoldingSave SaveHoldingEdit(TMiniDB& db, const THolderEntry& entry, const THoldingEdit& edit,
                             std::string& blocking) {
  blocking.clear();
  const int32_t key = entry.KeyId;
  TStoreWrite write(db, {key});
  if (!write.Ok()) {
    blocking = write.Blocking().empty() ? "*" : write.Blocking();
    return THoldingSave::Refused;
  }
  // Judged on the file as it is now: another station may have booked the holding out.
  if (db.GetClass(key) != icKey || !db.IsValid(key)) return THoldingSave::Gone;
  const std::vector<std::string> lines = SplitHolderLines(db.ReadLineField(key, fkHolders));
  if (HoldingLineIndex(lines, entry) < 0) return THoldingSave::Gone;
  // A holder whose link to the key went missing gets it back with the booking: then its
  // record changes too and joins the write.
  const int holderClass = HolderClassOfKind(entry.Kind);
  if (holderClass != 0 && entry.HolderId > 0 && db.HasRecord(entry.HolderId) &&
      !(db.HasLink(key, holderClass, entry.HolderId) &&
        db.HasLink(entry.HolderId, db.GetClass(key), key)) &&
      !write.Include({entry.HolderId})) {
    blocking = write.Blocking();
    return THoldingSave::Refused;
  }
  THolderBooking booking;
  booking.find = true;
  booking.owner = {entry.Kind, entry.HolderId};
  booking.delta = 0;
  booking.date = StrToPackedDate(entry.FirstDate);
  booking.receiptNo = entry.ReceiptNo;
  if (edit.deadlineChanged) booking.deadline = edit.deadline;
  if (edit.remarkChanged) booking.remark = std::string(1, '\xFF') + edit.remark;
  if (edit.identifierChanged)
    booking.identifier = edit.identifier.empty() ? std::string(1, '\xFF') : edit.identifier;
  if (!BookHolderChange(db, key, booking)) return THoldingSave::Gone;
  if (!write.Commit()) return THoldingSave::Refused;
  return THoldingSave::Saved;
}

TFristEdForm::TFristEdForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FristEdForm");
  setWindowTitle(ToQString("Eigenschaften Schl\xFCsselbesitz"));
  KeyLabel = new QLabel(this);
  KeyLabel->setObjectName("KeyLabel");
  SetNoTranslate(KeyLabel);
  HolderLabel = new QLabel(this);
  HolderLabel->setObjectName("HolderLabel");
  SetNoTranslate(HolderLabel);
  FristEd = new QLineEdit(this);
  FristEd->setObjectName("FristEd");
  FristUpBtn = new QToolButton(this);
  FristUpBtn->setArrowType(Qt::UpArrow);
  FristUpBtn->setObjectName("FristUpBtn");
  FristDownBtn = new QToolButton(this);
  FristDownBtn->setArrowType(Qt::DownArrow);
  FristDownBtn->setObjectName("FristDownBtn");
  for (QToolButton* b : {FristUpBtn, FristDownBtn}) b->setFixedSize(18, 12);
  RemEd = new QLineEdit(this);
  RemEd->setObjectName("RemEd");
  EmbossEd = new QLineEdit(this);
  EmbossEd->setObjectName("EmbossEd");
  EmbossEd->setToolTip(
      ToQString("individuelle Kennung des einzelnen Schl\xFCssels, z.B. Gravur"));
  SaveBtn = new QPushButton(ToQString("\xDC" "bernehmen"), this);
  SaveBtn->setObjectName("SaveBtn");
  SaveBtn->setDefault(true);
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  CancelBtn->setObjectName("CancelBtn");

  auto* upDown = new QVBoxLayout;
  upDown->setSpacing(0);
  upDown->addWidget(FristUpBtn);
  upDown->addWidget(FristDownBtn);
  auto* frist = new QHBoxLayout;
  frist->setSpacing(1);
  frist->addWidget(FristEd);
  frist->addLayout(upDown);
  frist->addStretch(1);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(ToQString(KeyCaption() + ":"), this), 0, 0);
  grid->addWidget(KeyLabel, 0, 1);
  grid->addWidget(new QLabel(ToQString(HolderCaption() + ":"), this), 1, 0);
  grid->addWidget(HolderLabel, 1, 1);
  grid->addWidget(new QLabel(ToQString(CoreText(49) + ":"), this), 2, 0);
  grid->addLayout(frist, 2, 1);
  grid->addWidget(new QLabel(ToQString(CoreText(10) + ":"), this), 3, 0);
  grid->addWidget(RemEd, 3, 1);
  grid->addWidget(new QLabel(ToQString("Kennung:"), this), 4, 0);
  grid->addWidget(EmbossEd, 4, 1);
  grid->setColumnMinimumWidth(1, 320);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(SaveBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(grid);
  outer->addSpacing(8);
  outer->addLayout(buttons);

  connect(FristEd, &QLineEdit::textChanged, this, [this] { FristEdChange(); });
  FristEd->installEventFilter(this);
  connect(FristUpBtn, &QToolButton::clicked, this, [this] { FristUpDownClick(true); });
  connect(FristDownBtn, &QToolButton::clicked, this, [this] { FristUpDownClick(false); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TFristEdForm::Load(TMiniDB& db, const THolderEntry& entry) {
  db_ = &db;
  entry_ = entry;
  Outcome = TOutcome::None;
  KeyLabel->setText(ToQString(CopyLeft(db.GetDisplayName(entry.KeyId), 40)));
  HolderLabel->setText(ToQString(LimitsHolderText(db, {entry.Kind, entry.HolderId})));
  FristEd->setText(ToQString(IsoDateToLocalStr(entry.Deadline)));
  RemEd->setText(ToQString(entry.Remark));
  EmbossEd->setText(ToQString(entry.Identifier));
  FristEdChange();
  EmbossEd->setFocus();
}

bool TFristEdForm::DeadlineInvalid() const {
  const std::string datePart = DatePartOf(FromQString(FristEd->text()));
  return !datePart.empty() && StrToPackedDate(datePart) == 0;
}

void TFristEdForm::FristEdChange() {
  SetFieldColor(FristEd, DeadlineInvalid() ? clInvalidField : clWhite);
}

void TFristEdForm::FristEdExit() {
  const std::string text = FromQString(FristEd->text());
  const std::string datePart = DatePartOf(text);
  if (datePart.empty() || StrToPackedDate(datePart) == 0) return;
  // The date in the user's format; a time behind it does not belong to a deadline.
  FristEd->setText(ToQString(DatePartOf(NormalizeDateTimeText(datePart))));
}

void TFristEdForm::FristUpDownClick(bool up) {
  TPackedDate date = StrToPackedDate(DatePartOf(FromQString(FristEd->text())));
  if (date == 0) date = TodayPacked();
  date = up ? NextDay(date) : PrevDay(date);
  FristEd->setText(ToQString(PackedDateToStr(date)));
}

void TFristEdForm::SaveBtnClick() {
  if (!db_) return;
  if (DeadlineInvalid()) {
    ShowError(CoreText(80));
    FristEd->setFocus();
    return;
  }
  FristEdExit();
  const THoldingEdit edit = HoldingEditOf(entry_, FromQString(FristEd->text()),
                                          FromQString(RemEd->text()), FromQString(EmbossEd->text()));
  if (!edit.Any()) {
    Outcome = TOutcome::Unchanged;
    accept();
    return;
  }
  std::string blocking;
  switch (SaveHoldingEdit(*db_, entry_, edit, blocking)) {
    case THoldingSave::Saved:
      Outcome = TOutcome::Saved;
      accept();
      return;
    case THoldingSave::Gone:
      Outcome = TOutcome::Gone;
      ShowError(FristEdText(1));
      reject();
      return;
    case THoldingSave::Refused:
      Outcome = TOutcome::Refused;
      if (blocking.empty())
        ShowError(FristEdText(2));
      else
        ReportBlocked(*db_, blocking);
      return;
  }
}

bool TFristEdForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FristEd && event->type() == QEvent::FocusOut) FristEdExit();
  return QDialog::eventFilter(watched, event);
}

bool ExecuteFristEd(const THolderEntry& entry) {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  THolderEntry full;
  bool saved = false;
  bool gone = false;
  // The entry of a list cuts the remark; the editor shows and keeps the whole one.
  if (!FindHolding(*db, entry, full)) {
    ShowError(FristEdText(1));
    gone = true;
  } else {
    TFristEdForm form(WinGlue().MainWindow.data());
    form.Load(*db, full);
    ExecModal(form);
    saved = form.Outcome == TFristEdForm::TOutcome::Saved;
    gone = form.Outcome == TFristEdForm::TOutcome::Gone;
  }
  if ((saved || gone) && FrameLimits()) FrameLimits()->FillLimitsGrid();
  return saved;
}
