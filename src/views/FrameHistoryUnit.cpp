#include "views/FrameHistoryUnit.h"

#include <algorithm>

#include <QBrush>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "views/ChangeLogUnit.h"
#include "views/FindFormUnit.h"

namespace {

// The type selector's classes, in its order.
constexpr int kTypeClasses[] = {icKey, icPerson, icUser};

std::string TrimmedText(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// The load message of the history, once for all year files a reading could not read.
void ShowLoadFailures(const std::vector<THistoryYearFile>& failed) {
  if (failed.empty()) return;
  std::string text = HistoryText(1);
  for (const THistoryYearFile& f : failed) text += "\r" + f.fileName;
  ShowError(text);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// THistoryTableModel

THistoryTableModel::THistoryTableModel(QObject* parent)
    : QAbstractTableModel(parent), titles_(HistoryColumnTitles()) {}

void THistoryTableModel::Clear() {
  beginResetModel();
  chunks_.clear();
  starts_.clear();
  stores_.clear();
  count_ = 0;
  names_.clear();
  cachedRow_ = -1;
  titles_ = HistoryColumnTitles();
  endResetModel();
}

void THistoryTableModel::ForgetNames() {
  names_.clear();
  cachedRow_ = -1;
}

void THistoryTableModel::Retitle() {
  titles_ = HistoryColumnTitles();
  ForgetNames();
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  if (count_ > 0) emit dataChanged(index(0, 0), index(count_ - 1, columnCount() - 1));
}

void THistoryTableModel::Append(THistoryRowBatch& batch) {
  if (!batch.rows.empty()) {
    const int added = static_cast<int>(batch.rows.size());
    beginInsertRows(QModelIndex(), count_, count_ + added - 1);
    starts_.push_back(count_);
    chunks_.push_back(std::move(batch.rows));
    if (batch.store) stores_.push_back(std::move(batch.store));
    count_ += added;
    endInsertRows();
  }
  int low = -1, high = -1;
  for (const auto& [row, other] : batch.pairs) {
    THistoryRow* r = MutableRow(row);
    if (!r) continue;
    r->pair = other;
    if (row == cachedRow_) cachedRow_ = -1;
    low = low < 0 ? row : std::min(low, row);
    high = std::max(high, row);
  }
  if (low >= 0) emit dataChanged(index(low, 6), index(high, 6), {Qt::DisplayRole});
}

THistoryRow* THistoryTableModel::MutableRow(int row) {
  if (row < 0 || row >= count_) return nullptr;
  const size_t chunk =
      static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), row) - starts_.begin()) - 1;
  return &chunks_[chunk][static_cast<size_t>(row - starts_[chunk])];
}

const THistoryRow* THistoryTableModel::Row(int row) const {
  return const_cast<THistoryTableModel*>(this)->MutableRow(row);
}

std::string THistoryTableModel::CellText(int row, int column) const {
  if (row != cachedRow_) {
    const THistoryRow* r = Row(row);
    if (!r) return std::string();
    const THistoryRow* paired = r->pair >= 0 ? Row(r->pair) : nullptr;
    cachedCells_ = HistoryRowTexts(*r, paired, [this](int32_t id, int cls, std::string& name) {
      const uint64_t key = (static_cast<uint64_t>(static_cast<uint32_t>(cls)) << 32) |
                           static_cast<uint32_t>(id);
      auto it = names_.find(key);
      if (it == names_.end()) {
        std::string found;
        TMiniDB* db = GlueDB();
        if (!db || !HistoryStoreName(*db, id, cls, found)) found = std::string(1, '\0');
        it = names_.emplace(key, std::move(found)).first;
      }
      if (it->second.size() == 1 && it->second[0] == '\0') return false;  // no such record
      name = it->second;
      return true;
    });
    cachedRow_ = row;
  }
  return column >= 0 && column < kHistoryColumnCount ? cachedCells_[static_cast<size_t>(column)]
                                                     : std::string();
}

int THistoryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count_;
}

int THistoryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kHistoryColumnCount;
}

QVariant THistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(CellText(index.row(), index.column()));
    case Qt::BackgroundRole:
      return QBrush(ColorFromBgr(index.row() % 2 ? 0xF0FFE8 : 0xFFFFFF));
    default:
      return QVariant();
  }
}

QVariant THistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      static_cast<size_t>(section) >= titles_.size())
    return QVariant();
  return ToQString(titles_[static_cast<size_t>(section)]);
}

void TDropDownCombo::showPopup() {
  if (OnDropDown) OnDropDown();
  QComboBox::showPopup();
}

// ---------------------------------------------------------------------------------------
// TFrameHistory

TFrameHistory::TFrameHistory(QWidget* owner) : QFrame(owner) {
  setObjectName("FrameHistory");
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  TypeCombo = new QComboBox(this);
  TypeCombo->setObjectName("TypeCombo");
  TypeCombo->addItem(ToQString(KeyCaption()));
  TypeCombo->addItem(ToQString(PersonTerm()));
  TypeCombo->addItem(ToQString(UserCaption()));
  TypeCombo->setCurrentIndex(-1);
  HistNameCombo = new TDropDownCombo(this);
  HistNameCombo->setObjectName("HistNameCombo");
  HistNameCombo->setEditable(true);
  HistNameCombo->setInsertPolicy(QComboBox::NoInsert);
  HistNameCombo->setMinimumWidth(220);
  HistNameCombo->OnDropDown = [this] { HistNameComboDropDown(); };
  auto* kennLabel = new QLabel(ToQString(CoreText(115) + ":"), this);
  KennCombo = new TDropDownCombo(this);
  KennCombo->setObjectName("KennCombo");
  KennCombo->setEditable(true);
  KennCombo->setInsertPolicy(QComboBox::NoInsert);
  KennCombo->setMinimumWidth(90);
  KennCombo->OnDropDown = [this] { KennComboDropDown(); };
  SeekBtn = new QPushButton(ToQString("Suchen"), this);
  SeekBtn->setObjectName("SeekBtn");
  TransferOnlyCheck = new QCheckBox(ToQString("nur Ausgaben und R\xFC" "cknahmen"), this);
  TransferOnlyCheck->setObjectName("TransferOnlyCheck");
  top->addWidget(TypeCombo);
  top->addWidget(HistNameCombo, 1);
  top->addWidget(kennLabel);
  top->addWidget(KennCombo);
  top->addWidget(SeekBtn);
  top->addWidget(TransferOnlyCheck);
  layout->addLayout(top);

  auto* captionRow = new QHBoxLayout();
  CaptionLabel = new QLabel(this);
  CaptionLabel->setObjectName("CaptionLabel");
  QFont bold = CaptionLabel->font();
  bold.setBold(true);
  CaptionLabel->setFont(bold);
  SetNoTranslate(CaptionLabel);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  // A label of fixed size asks no new layout when its text changes: a layout over a grid of
  // a million rows costs the event loop dearly, and the progress changes the text often.
  StatusLabel->setFixedSize(440, StatusLabel->sizeHint().height());
  StatusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetNoTranslate(StatusLabel);
  captionRow->addWidget(CaptionLabel, 1);
  captionRow->addWidget(StatusLabel);
  layout->addLayout(captionRow);

  Model = new THistoryTableModel(this);
  HistoryGrid = new TRowGridView(Model, this);
  HistoryGrid->setObjectName("HistoryGrid");
  QPalette palette = HistoryGrid->palette();
  palette.setColor(QPalette::Highlight, ColorFromBgr(0xC56A31));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  HistoryGrid->setPalette(palette);
  NoEntriesLabel = new QLabel(ToQString(FrameHistoryText(7)), HistoryGrid->viewport());
  NoEntriesLabel->setObjectName("NoEntriesLabel");
  NoEntriesLabel->setAlignment(Qt::AlignCenter);
  NoEntriesLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
  NoEntriesLabel->hide();
  HistoryGrid->viewport()->installEventFilter(this);
  {
    // Wide enough for the title and a typical cell; names get room of their own.
    const char* samples[kHistoryColumnCount] = {
        "00.00.0000 00:00", "zur\xFC" "ckgegeben (99 St\xFC" "ck)", "", "0000", "", "000 / 000",
        "R\xFC" "ck. 00.00.0000 00:00", "", ""};
    const int names[kHistoryColumnCount] = {0, 0, 160, 0, 140, 0, 0, 100, 160};
    const QFontMetrics cells(HistoryGrid->font());
    const QFontMetrics heads(HistoryGrid->horizontalHeader()->font());
    const std::vector<std::string> titles = HistoryColumnTitles();
    for (int c = 0; c < kHistoryColumnCount; ++c)
      HistoryGrid->setColumnWidth(
          c, std::max({names[c], cells.horizontalAdvance(ToQString(samples[c])) + 14,
                       heads.horizontalAdvance(ToQString(titles[c])) + 22}));
  }
  layout->addWidget(HistoryGrid, 1);

  TipPanel = new QFrame(HistoryGrid);
  TipPanel->setObjectName("TipPanel");
  TipPanel->setFrameShape(QFrame::Box);
  TipPanel->setStyleSheet(QStringLiteral("QFrame#TipPanel { background: #FFFFE1; }"));
  auto* tipLayout = new QVBoxLayout(TipPanel);
  TipLabel = new QLabel(ToQString(FrameHistoryText(27)), TipPanel);
  TipLabel->setWordWrap(true);
  tipLayout->addWidget(TipLabel);
  TipPanel->setGeometry(40, 50, 420, 80);
  TipPanel->installEventFilter(this);

  auto* buttons = new QHBoxLayout();
  auto button = [&](const char* name, const std::string& caption) {
    auto* b = new QPushButton(ToQString(caption), this);
    b->setObjectName(name);
    b->setEnabled(false);
    buttons->addWidget(b);
    return b;
  };
  GotoKeyBtn = button("GotoKeyBtn", "Schl\xFCssel zeigen");
  ReturnBtn = button("ReturnBtn", "R\xFC" "cknahme");
  GotoPersonBtn = button("GotoPersonBtn", "Person zeigen");
  TimebackBtn = button("TimebackBtn", CoreText(107));
  ChangeLogBtn = button("ChangeLogBtn", "\xC4nderungen");
  buttons->addStretch(1);
  HistoryPrintBtn = button("HistoryPrintBtn", "Drucken");
  ExportBtn = button("ExportBtn", "Export");
  ExcelBtn = button("ExcelBtn", "Excel");
  ChangeLogBtn->setEnabled(true);
  for (QPushButton* b : {HistoryPrintBtn, ExportBtn, ExcelBtn}) b->setEnabled(true);
  layout->addLayout(buttons);

  GridPopup = new QMenu(this);
  QAction* delete1 = GridPopup->addAction(ToQString(FrameHistoryText(17)));
  delete1->setObjectName("Delete1");

  QObject::connect(SeekBtn, &QPushButton::clicked, this, [this] { SeekBtnClick(); });
  QObject::connect(TransferOnlyCheck, &QCheckBox::toggled, this, [this] {
    if (shown_) StartLoading();
  });
  QObject::connect(HistoryGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                   [this] { HistoryGridClick(); });
  QObject::connect(HistoryGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   [this] { HistoryGridClick(); });
  // A right-button press has selected the row under the mouse.
  HistoryGrid->OnContextMenu = [this](const QPoint& at) {
    TipPanelClick();
    GridPopup->popup(at);
  };
  QObject::connect(delete1, &QAction::triggered, this, [this] { Delete1Click(); });
  QObject::connect(GotoKeyBtn, &QPushButton::clicked, this, [this] { GotoKeyBtnClick(); });
  QObject::connect(ReturnBtn, &QPushButton::clicked, this, [this] { ReturnBtnClick(); });
  QObject::connect(GotoPersonBtn, &QPushButton::clicked, this, [this] { GotoPersonBtnClick(); });
  QObject::connect(TimebackBtn, &QPushButton::clicked, this, [this] { TimebackBtnClick(); });
  QObject::connect(ChangeLogBtn, &QPushButton::clicked, this, [this] { ChangeLogBtnClick(); });
  QObject::connect(HistoryPrintBtn, &QPushButton::clicked, this, [this] { HistoryPrintBtnClick(); });
  QObject::connect(ExportBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(false); });
  QObject::connect(ExcelBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(true); });
  TranslateForm(this);
}

TFrameHistory::~TFrameHistory() {
  StopWorker();
  UnregisterView(pgHistory, this);
}

void TFrameHistory::StopWorker() {
  if (cancel_) cancel_->store(true);
  if (worker_.joinable()) worker_.join();
  cancel_.reset();
}

void TFrameHistory::WaitComplete() {
  while (!complete_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

THistoryFilter TFrameHistory::CurrentFilter() const {
  THistoryFilter filter;
  filter.transfersOnly = TransferOnlyCheck->isChecked();
  if (cls_ == icKey) filter.identifier = TrimmedText(FromQString(KennCombo->currentText()));
  return filter;
}

void TFrameHistory::ShowHistoryOf(int cls, int32_t id, const std::string& caption,
                                  const std::string& name) {
  TipPanel->hide();
  cls_ = cls;
  id_ = id;
  caption_ = CopyLeft(caption, 63);
  name_ = name;
  shown_ = true;
  const auto* type = std::find(std::begin(kTypeClasses), std::end(kTypeClasses), cls);
  TypeCombo->setCurrentIndex(type == std::end(kTypeClasses)
                                 ? -1
                                 : static_cast<int>(type - std::begin(kTypeClasses)));
  HistNameCombo->setEditText(ToQString(name));
  CaptionLabel->setText(ToQString(caption_));
  StartLoading();
}

void TFrameHistory::ShowHistoryOf(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || !db->HasRecord(id)) return;
  const int cls = db->GetClass(id);
  const std::string name = db->GetDisplayName(id);
  KennCombo->setEditText(QString());
  ShowPage(pgHistory, true);
  ShowHistoryOf(cls, id, ClassCaption(cls, false) + " " + name, name);
}

void TFrameHistory::StartLoading() {
  StopWorker();
  stale_ = false;
  Model->Clear();
  complete_ = false;
  const int generation = ++generation_;
  StatusLabel->setText(ToQString(CoreText(54)));
  NoEntriesLabel->hide();
  HistoryGridClick();
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  // What the worker needs is taken here, on this thread: it touches nothing else.
  THistoryRowLoader loader(HistoryScanFiles(History()), cls_, id_, CurrentFilter());
  std::shared_ptr<std::atomic<bool>> cancel = cancel_;
  worker_ = std::thread([this, generation, cancel, loader = std::move(loader)]() mutable {
    loader.Run(*cancel, [&](THistoryRowBatch&& batch) {
      auto shared = std::make_shared<THistoryRowBatch>(std::move(batch));
      QMetaObject::invokeMethod(
          this, [this, generation, shared] { OnBatch(generation, *shared); },
          Qt::QueuedConnection);
    });
  });
}

void TFrameHistory::OnBatch(int generation, THistoryRowBatch& batch) {
  if (generation != generation_) return;  // a batch of a reading given up
  const bool atEnd = HistoryGrid->AtBottom();
  Model->Append(batch);
  if (atEnd) HistoryGrid->ScrollToBottom();
  if (!batch.last) {
    const uint64_t total = std::max<uint64_t>(batch.progress.bytesTotal, 1);
    StatusLabel->setText(ToQString(CoreText(54) + " " +
                                   std::to_string(batch.progress.bytesDone * 100 / total) + "%"));
    return;
  }
  complete_ = true;
  const int rows = Model->rowCount();
  if (rows > 0) {
    HistoryGrid->ScrollToBottom();
    HistoryGrid->SelectRow(rows - 1);
  }
  UpdateStatus();
  HistoryGridClick();
  // Said once per reading, after the rows of the other years are there.
  ShowLoadFailures(batch.result.failed);
}

void TFrameHistory::UpdateStatus() {
  const int rows = Model->rowCount();
  // A record whose history is read completely and holds no line says so where the rows
  // would be, not only in the small status text.
  NoEntriesLabel->setText(ToQString(FrameHistoryText(7)));
  NoEntriesLabel->setGeometry(HistoryGrid->viewport()->rect());
  NoEntriesLabel->setVisible(rows == 0 && complete_ && id_ != 0);
  StatusLabel->setText(rows == 0 ? ToQString(FrameHistoryText(7))
                                 : ToQString(CoreTextFmt(102, std::to_string(rows))));
}

const THistoryRow* TFrameHistory::SelectedRow() const {
  const int current = HistoryGrid->CurrentRow();
  if (current >= 0 && HistoryGrid->selectionModel()->isRowSelected(current, QModelIndex()))
    return Model->Row(current);
  const QModelIndexList rows = HistoryGrid->selectionModel()->selectedRows();
  return rows.isEmpty() ? nullptr : Model->Row(rows.last().row());
}

void TFrameHistory::HistoryGridClick() {
  const THistoryRow* row = SelectedRow();
  TMiniDB* db = GlueDB();
  THistoryButtons b;
  if (row && db) b = HistoryRowButtons(*row, *db, MandantState().TimeTravelMode);
  // Going to a key or a person needs their views; until they exist the buttons stay off.
  GotoKeyBtn->setEnabled(b.gotoKey && ViewOf(pgKeys) != nullptr);
  ReturnBtn->setEnabled(b.giveBack && ViewOf(pgKeys) != nullptr);
  GotoPersonBtn->setEnabled(b.gotoPerson && ViewOf(pgPersons) != nullptr);
  TimebackBtn->setEnabled(b.timeTravel);
}

void TFrameHistory::TipPanelClick() { TipPanel->hide(); }

void TFrameHistory::SeekBtnClick() {
  const int type = TypeCombo->currentIndex();
  if (type < 0) {
    ShowInfo(FrameHistoryText(11));
    TypeCombo->showPopup();
    return;
  }
  const int cls = kTypeClasses[type];
  const std::string name = TrimmedText(FromQString(HistNameCombo->currentText()));
  StatusLabel->setText(ToQString(CoreText(54)));
  UI().ProcessPendingEvents();
  TQStringList found, list;
  std::vector<THistoryYearFile> failed;
  CollectNames(cls, name, found, &failed);
  ShowLoadFailures(failed);
  // Names without a record behind them ("NoName") cannot be shown by their ID.
  for (int i = 0; i < found.Count(); ++i)
    if (found.GetObject(i) > 0) list.AddObject(found[i], found.GetObject(i));
  if (list.Count() == 0) {
    UpdateStatus();
    ShowInfo(FrameHistoryText(12));
    return;
  }
  int32_t id = static_cast<int32_t>(list.GetObject(0));
  std::string shown = list[0];
  if (list.Count() > 1) {
    id = ShowObjectSelection(list);
    if (id == 0) {
      UpdateStatus();
      return;
    }
    if (id < 0) {
      // "Alle auswählen": the history of every record of the class.
      id = 0;
      shown = name;
    } else {
      shown = list[list.IndexOfObject(id)];
    }
  }
  const std::string caption = id == 0 ? ClassCaption(cls, true) + ", " + FrameHistoryText(14)
                                      : ClassCaption(cls, false) + " " + shown;
  ShowHistoryOf(cls, id, caption, shown);
}

void TFrameHistory::CollectNames(int cls, const std::string& filter, TQStringList& list,
                                 std::vector<THistoryYearFile>* failed) {
  // The first collection reads every line of the class, seconds on a long history: on a
  // thread of its own while the window goes on answering (this view waits, disabled).
  std::vector<THistoryYearFile> files = HistoryScanFiles(History());
  std::atomic<bool> done{false};
  setEnabled(false);
  std::thread collector([&] {
    names_.CollectNames(files, cls, filter, list, failed);
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
  collector.join();
  setEnabled(true);
}

void TFrameHistory::HistNameComboDropDown() {
  const int type = TypeCombo->currentIndex();
  TMiniDB* db = GlueDB();
  const QString typed = HistNameCombo->currentText();
  HistNameCombo->clear();
  if (type >= 0 && db) {
    TQStringList names;
    db->FillStringsByClass(names, kTypeClasses[type]);
    std::vector<std::string> sorted;
    for (int i = 0; i < names.Count(); ++i) sorted.push_back(names[i]);
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string& n : sorted) HistNameCombo->addItem(ToQString(n));
  }
  HistNameCombo->setEditText(typed);
  if (HistNameCombo->lineEdit()) HistNameCombo->lineEdit()->selectAll();
}

void TFrameHistory::KennComboDropDown() {
  const QString typed = KennCombo->currentText();
  KennCombo->clear();
  const int type = TypeCombo->currentIndex();
  const int cls = type >= 0 ? kTypeClasses[type] : cls_;
  const std::string name = TrimmedText(FromQString(HistNameCombo->currentText()));
  TMiniDB* db = GlueDB();
  if ((cls == icKey || cls == icCylinder) && !name.empty() && db) {
    TQStringList found;
    CollectNames(cls, name, found, nullptr);
    if (found.Count() == 1 && found.GetObject(0) > 0) {
      TQStringList idents;
      EmbossNumbersOf(*db, static_cast<int32_t>(found.GetObject(0)), idents);
      for (int i = 0; i < idents.Count(); ++i) KennCombo->addItem(ToQString(idents[i]));
    }
  }
  KennCombo->setEditText(typed);
}

namespace {

// The keys view cannot show a key while it edits another one.
bool KeysViewCanShow(int32_t key) {
  IView* keys = ViewOf(pgKeys);
  if (!keys) return false;
  if (keys->Editing() && keys->CurrentItemId() != key) {
    ShowError(FrameHistoryText(25));
    return false;
  }
  return true;
}

}  // namespace

void TFrameHistory::GotoKeyBtnClick() {
  const THistoryRow* row = SelectedRow();
  if (!row || row->objCls != icKey) return;
  const int32_t key = row->objId;
  if (KeysViewCanShow(key)) GotoItem(key, true);
}

void TFrameHistory::ReturnBtnClick() {
  const THistoryRow* row = SelectedRow();
  TMiniDB* db = GlueDB();
  if (!row || !db || row->objCls != icKey) return;
  const int32_t key = row->objId, holder = row->sideId;
  if (!HistoryRowButtons(*row, *db, false).giveBack) {
    ShowInfo(FrameHistoryText(26));
    return;
  }
  if (!KeysViewCanShow(key)) return;
  GotoItem(key, true);
  KeysViewCall(kKeysCallReturn, holder);
}

void TFrameHistory::GotoPersonBtnClick() {
  const THistoryRow* row = SelectedRow();
  const int32_t person = row ? HistoryRowPerson(*row) : 0;
  if (person > 0) GotoItem(person, true);
}

void TFrameHistory::TimebackBtnClick() {
  const THistoryRow* row = SelectedRow();
  TMiniDB* db = GlueDB();
  if (!row || !db) return;
  const double utc = HistoryRowUtc(*row);
  if (utc == 0) {
    ShowInfo(CoreText(106));
    return;
  }
  TTimeTravelStart how;
  how.userID = Session().CurrentUserId;
  const int result = StartTimeTravel(*db, HistoryRowItems(*row), utc, how);
  if (result == tbNoLog || result == tbNoCopy) ShowInfo(CoreText(106));
  else if (result == tbNotStarted) ShowRestartFailed();
}

void TFrameHistory::ChangeLogBtnClick() {
  TipPanelClick();
  ShowChangeLogOf(id_);
}

std::vector<std::vector<std::string>> TFrameHistory::TableRows(bool selectedOnly) const {
  std::vector<std::vector<std::string>> table;
  table.push_back(HistoryColumnTitles());
  for (int row : RowsOf(selectedOnly)) {
    std::vector<std::string> cells(kHistoryColumnCount);
    for (int c = 0; c < kHistoryColumnCount; ++c) cells[c] = Model->CellText(row, c);
    table.push_back(std::move(cells));
  }
  return table;
}

std::vector<int> TFrameHistory::RowsOf(bool selectedOnly) const {
  std::vector<int> rows;
  if (selectedOnly) {
    for (const QModelIndex& index : HistoryGrid->selectionModel()->selectedRows())
      rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
  } else {
    rows.resize(static_cast<size_t>(Model->rowCount()));
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
  }
  return rows;
}

std::vector<std::string> TFrameHistory::TableLines(bool selectedOnly) const {
  std::vector<std::string> lines;
  std::string header;
  const std::vector<std::string> titles = HistoryColumnTitles();
  for (int c = 0; c < kHistoryColumnCount; ++c) header += (c ? "\t" : "") + ExportCell(titles[c]);
  lines.push_back(header);
  for (int row : RowsOf(selectedOnly)) {
    std::string line;
    for (int c = 0; c < kHistoryColumnCount; ++c)
      line += (c ? "\t" : "") + ExportCell(Model->CellText(row, c));
    lines.push_back(std::move(line));
  }
  return lines;
}

void TFrameHistory::HistoryPrintBtnClick() {
  if (RightDenied(rtPrintLists)) return;
  WaitComplete();
  if (Model->rowCount() == 0) {
    ShowInfo(FrameHistoryText(8));
    return;
  }
  TMiniDB* db = GlueDB();
  const std::string closing = db && id_ > 0 ? db->ReadLineField(id_, "k603") : std::string();
  const std::string title = HistoryPrintTitle(cls_, id_, name_, closing);
  const int choice = AskButtons(title, FrameHistoryText(14), FrameHistoryText(15), true, "");
  if (choice == 0) return;
  if (choice == 2 && HistoryGrid->selectionModel()->selectedRows().isEmpty()) {
    ShowInfo(FrameHistoryText(20));
    return;
  }
  PrintTableRows(title, TableRows(choice == 2));
}

void TFrameHistory::ExportBtnClick(bool toSpreadsheet) {
  WaitComplete();
  ExportListDialog(
      [this](const TLineWriter& writer) {
        for (const std::string& line : TableLines(false))
          if (!writer(line, false)) return false;
        return true;
      },
      nullptr, toSpreadsheet);
}

void TFrameHistory::Delete1Click() { ShowInfo(HistoryDeleteInfo()); }

void TFrameHistory::RefreshView() {
  Model->ForgetNames();
  if (!shown_) return;
  if (isVisible()) StartLoading();
  else stale_ = true;
}

void TFrameHistory::TermsChanged() {
  Model->Retitle();
  for (int i = 0; i < TypeCombo->count() && i < static_cast<int>(std::size(kTypeClasses)); ++i)
    TypeCombo->setItemText(i, ToQString(ClassCaption(kTypeClasses[i], false)));
}

void TFrameHistory::ClearView() {
  StopWorker();
  ++generation_;
  Model->Clear();
  complete_ = true;
  shown_ = false;
  cls_ = 0;
  id_ = 0;
  caption_.clear();
  name_.clear();
  CaptionLabel->clear();
  StatusLabel->clear();
  NoEntriesLabel->hide();
  TipPanel->show();
  HistoryGridClick();
}

void TFrameHistory::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  if (stale_ && shown_) StartLoading();
}

bool TFrameHistory::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TipPanel && event->type() == QEvent::MouseButtonPress) TipPanelClick();
  if (watched == HistoryGrid->viewport() && event->type() == QEvent::Resize)
    NoEntriesLabel->setGeometry(HistoryGrid->viewport()->rect());
  return QFrame::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------

TFrameHistory* HistoryFrame() { return dynamic_cast<TFrameHistory*>(ViewOf(pgHistory)); }

void RegisterHistoryView() {
  RegisterViewFactory(pgHistory, [](QWidget* page) {
    auto* frame = new TFrameHistory(page);
    auto* layout = page->layout() ? page->layout() : new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    RegisterView(pgHistory, frame);
  });
}
