#include "views/FindFormUnit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

// ---------------------------------------------------------------------------------------
// TIdTableModel

TIdTableModel::TIdTableModel(QObject* parent, std::vector<std::string> titles)
    : QAbstractTableModel(parent), titles_(std::move(titles)) {}

void TIdTableModel::SetRows(std::vector<std::vector<std::string>> rows,
                            std::vector<int32_t> ids) {
  beginResetModel();
  rows_ = std::move(rows);
  ids_ = std::move(ids);
  endResetModel();
}

void TIdTableModel::SetTitles(std::vector<std::string> titles) {
  titles_ = std::move(titles);
  emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(titles_.size()) - 1);
}

int32_t TIdTableModel::IdOf(int row) const {
  return row >= 0 && static_cast<size_t>(row) < ids_.size() ? ids_[row] : 0;
}

int TIdTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TIdTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant TIdTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
  const auto& row = rows_[static_cast<size_t>(index.row())];
  const size_t col = static_cast<size_t>(index.column());
  return col < row.size() ? ToQString(row[col]) : QString();
}

QVariant TIdTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      static_cast<size_t>(section) >= titles_.size())
    return QVariant();
  return ToQString(titles_[static_cast<size_t>(section)]);
}

namespace {

QTableView* NewGrid(QWidget* parent, QAbstractItemModel* model) {
  auto* grid = new QTableView(parent);
  grid->setModel(model);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(22);
  grid->horizontalHeader()->setHighlightSections(false);
  grid->setWordWrap(false);
  return grid;
}

int SelectedRow(const QTableView* grid) {
  const QItemSelectionModel* selection = grid->selectionModel();
  if (!selection) return -1;
  const QModelIndexList rows = selection->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TFindForm

TFindForm::TFindForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FindForm");
  setWindowTitle(ToQString("erweiterte Suche  [Strg+F]"));
  // Wide enough that the excerpt column, what is left beside the type and the name, shows
  // a whole excerpt (the term and 30 characters around it).
  resize(720, 420);
  auto* layout = new QVBoxLayout(this);
  HeadPanel = new QWidget(this);
  auto* head = new QHBoxLayout(HeadPanel);
  head->setContentsMargins(0, 0, 0, 0);
  Label1 = new QLabel(ToQString("Suchbegriff"), HeadPanel);
  SeekEd = new QLineEdit(HeadPanel);
  SeekEd->setObjectName("SeekEd");
  SeekBtn = new QPushButton(ToQString("Suchen"), HeadPanel);
  SeekBtn->setObjectName("SeekBtn");
  SeekBtn->setEnabled(false);
  EscBtn = new QPushButton(ToQString("Abbrechen"), HeadPanel);
  EscBtn->setObjectName("EscBtn");
  head->addWidget(Label1);
  head->addWidget(SeekEd, 1);
  head->addWidget(SeekBtn);
  head->addWidget(EscBtn);
  layout->addWidget(HeadPanel);
  Hits = new TIdTableModel(this, {" Typ", " Name", " Fundstelle"});
  Grid = NewGrid(this, Hits);
  Grid->setObjectName("Grid");
  Grid->setColumnWidth(0, 84);
  Grid->setColumnWidth(1, 209);
  Grid->setColumnWidth(2, 84);
  layout->addWidget(Grid, 1);
  FootPanel = new QWidget(this);
  auto* foot = new QHBoxLayout(FootPanel);
  foot->setContentsMargins(0, 0, 0, 0);
  foot->addStretch(1);
  GotoBtn = new QPushButton(ToQString("anzeigen"), FootPanel);
  GotoBtn->setObjectName("GotoBtn");
  GotoBtn->setEnabled(false);
  foot->addWidget(GotoBtn);
  layout->addWidget(FootPanel);

  SeekEd->installEventFilter(this);
  QObject::connect(SeekEd, &QLineEdit::textChanged, this, [this] { SeekEdChange(); });
  QObject::connect(SeekEd, &QLineEdit::returnPressed, this, [this] {
    if (SeekBtn->isEnabled()) SeekBtnClick();
  });
  QObject::connect(SeekBtn, &QPushButton::clicked, this, [this] { SeekBtnClick(); });
  QObject::connect(EscBtn, &QPushButton::clicked, this, [this] { done(2); });
  QObject::connect(GotoBtn, &QPushButton::clicked, this, [this] { GotoBtnClick(); });
  QObject::connect(Grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   [this] { GridClick(); });
  QObject::connect(Grid, &QTableView::doubleClicked, this, [this] { GridDblClick(); });
  TranslateForm(this);
}

void TFindForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Hits->SetTitles({" " + MLTranslate("Typ"), " " + MLTranslate("Name"),
                   " " + MLTranslate("Fundstelle")});
  Grid->setColumnWidth(2, std::max(40, Grid->width() - Grid->columnWidth(0) -
                                           Grid->columnWidth(1) - 26));
  SeekEd->setFocus();
}

bool TFindForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == SeekEd && event->type() == QEvent::FocusIn) SeekEdEnter();
  if (watched == SeekEd && event->type() == QEvent::FocusOut) SeekEdExit();
  return QDialog::eventFilter(watched, event);
}

void TFindForm::SeekEdEnter() { SeekBtn->setDefault(true); }

void TFindForm::SeekEdExit() { SeekBtn->setDefault(false); }

void TFindForm::SeekEdChange() {
  std::string text = FromQString(SeekEd->text());
  SeekBtn->setEnabled(!FindTermOf(text).empty());
}

int32_t TFindForm::SelectedId() const { return Hits->IdOf(SelectedRow(Grid)); }

void TFindForm::GridClick() { GotoBtn->setEnabled(SelectedId() > 0); }

void TFindForm::GridDblClick() {
  if (GotoBtn->isEnabled()) done(1);
}

void TFindForm::SeekBtnClick() {
  SeekBtn->setEnabled(false);
  GotoBtn->setEnabled(false);
  Hits->SetRows({}, {});
  UI().ProcessPendingEvents();
  TMiniDB* db = GlueDB();
  if (db) db->Load();
  const std::string term = FindTermOf(FromQString(SeekEd->text()));
  if (db && !term.empty()) {
    std::vector<TFindHit> hits = FindRecords(*db, term);
    std::vector<std::vector<std::string>> rows;
    std::vector<int32_t> ids;
    rows.reserve(hits.size());
    ids.reserve(hits.size());
    for (TFindHit& hit : hits) {
      rows.push_back({" " + hit.classWord, " " + hit.name, " " + hit.excerpt});
      ids.push_back(hit.id);
    }
    Hits->SetRows(std::move(rows), std::move(ids));
  }
  SeekEd->selectAll();
  if (Hits->rowCount() > 0) {
    Grid->selectRow(0);
    Grid->setFocus();
    GotoBtn->setEnabled(Hits->IdOf(0) > 0);
  } else {
    SeekEd->setFocus();
  }
  SeekEdChange();
}

namespace {

TFindForm*& KeptFindForm() {
  static TFindForm* form = nullptr;
  return form;
}

}  // namespace

TFindForm* FindFormInstance() { return KeptFindForm(); }

void FreeFindForm() {
  delete KeptFindForm();
  KeptFindForm() = nullptr;
}

int32_t ShowFindForm() {
  TFindForm*& form = KeptFindForm();
  if (!form) {
    form = new TFindForm(WinGlue().MainWindow.data());
    // Kept until the program ends; a main window made anew takes no stale dialog along.
    QObject::connect(form, &QObject::destroyed, [] { KeptFindForm() = nullptr; });
  }
  form->SeekEd->setFocus();
  for (;;) {
    const int result = ExecModal(*form);
    const int32_t id = result == 1 ? form->SelectedId() : 0;
    if (id <= 0) return 0;
    // The hits may be from an earlier opening: another station may have deleted the
    // record since. Only a record that is still there is shown.
    TMiniDB* db = GlueDB();
    if (!db) return 0;
    db->Load();
    if (db->IsValid(id)) return id;
    form->SeekBtnClick();
  }
}

void RunSeekCommand() {
  const int32_t id = ShowFindForm();
  ReloadAndRefresh();
  if (id > 0) GotoItem(id, true);
}

// ---------------------------------------------------------------------------------------
// TObjectSelWin

TObjectSelWin::TObjectSelWin(QWidget* parent) : QDialog(parent) {
  setObjectName("ObjectSelWin");
  setWindowTitle(ToQString(" Objekt ausw\xE4hlen"));
  resize(380, 420);
  auto* layout = new QVBoxLayout(this);
  Names = new TIdTableModel(this, {" ID", " " + MLTranslate("Name")});
  Grid = NewGrid(this, Names);
  Grid->setObjectName("Grid");
  Grid->setColumnWidth(0, 168);
  Grid->setColumnWidth(1, std::max(176, width() - 40 - Grid->columnWidth(0) - 30));
  layout->addWidget(Grid, 1);
  auto* buttons = new QHBoxLayout();
  OkBtn = new QPushButton(ToQString("OK"), this);
  OkBtn->setObjectName("OkBtn");
  AllBtn = new QPushButton(ToQString("Alle ausw\xE4hlen"), this);
  AllBtn->setObjectName("AllBtn");
  ESCBtn = new QPushButton(ToQString("Abbrechen"), this);
  ESCBtn->setObjectName("ESCBtn");
  buttons->addWidget(OkBtn);
  buttons->addWidget(AllBtn);
  buttons->addStretch(1);
  buttons->addWidget(ESCBtn);
  layout->addLayout(buttons);
  for (QPushButton* b : {OkBtn, AllBtn, ESCBtn}) b->setAutoDefault(false);
  QObject::connect(OkBtn, &QPushButton::clicked, this, [this] { done(1); });
  QObject::connect(AllBtn, &QPushButton::clicked, this, [this] { done(5); });
  QObject::connect(ESCBtn, &QPushButton::clicked, this, [this] { done(2); });
  QObject::connect(Grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   [this] { GridClick(); });
  QObject::connect(Grid, &QTableView::doubleClicked, this, [this] { GridDblClick(); });
  TranslateForm(this);
}

int32_t TObjectSelWin::SelectedId() const { return Names->IdOf(SelectedRow(Grid)); }

void TObjectSelWin::GridClick() {
  const bool row = SelectedRow(Grid) >= 0;
  OkBtn->setEnabled(row);
  OkBtn->setDefault(row);
}

void TObjectSelWin::GridDblClick() {
  if (SelectedRow(Grid) >= 0) done(1);
}

int32_t ShowObjectSelection(const TQStringList& list) {
  if (list.Count() == 0) return 0;
  TObjectSelWin win(WinGlue().MainWindow.data());
  std::vector<std::vector<std::string>> rows;
  std::vector<int32_t> ids;
  for (int i = 0; i < list.Count(); ++i) {
    const int32_t id = static_cast<int32_t>(list.GetObject(i));
    rows.push_back({PickerIdText(id), " " + list[i]});
    ids.push_back(id);
  }
  win.Names->SetRows(std::move(rows), std::move(ids));
  win.OkBtn->setEnabled(false);
  win.OkBtn->setDefault(false);
  win.Grid->setFocus();
  // Centred on the desktop, not on the window that asked.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    win.move(screen->availableGeometry().center() - win.rect().center());
  const int result = ExecModal(win);
  if (result == 5) return -1;
  if (result == 1) return win.SelectedId();
  return 0;
}
