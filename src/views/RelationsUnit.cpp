#include "views/RelationsUnit.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "app/GridExportUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/Cp1252.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/FieldCatalogueUnit.h"
#include "data/HolderUnit.h"
#include "data/ItemList.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

namespace {

std::vector<int32_t> Ids(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

// The cylinders by which the key opens the door: the door's cylinders the key locks, else
// the door's first cylinder (a door linked to the key itself, or one of a general master
// key's system), else none.
std::vector<int32_t> CylindersOfDoorFor(const TMiniDB& db, int32_t door,
                                        const std::vector<int32_t>& keyCylinders) {
  TItemList linked;
  db.ReadLinks(door, icCylinder, linked);
  std::vector<int32_t> locked;
  int32_t first = 0;
  for (int32_t cyl : Ids(linked)) {
    if (!db.IsValid(cyl) || db.GetClass(cyl) != icCylinder) continue;
    if (first == 0) first = cyl;
    if (std::find(keyCylinders.begin(), keyCylinders.end(), cyl) != keyCylinders.end() &&
        std::find(locked.begin(), locked.end(), cyl) == locked.end())
      locked.push_back(cyl);
  }
  if (locked.empty()) locked.push_back(first);
  return locked;
}

constexpr int kRelationClasses[] = {icKey, icPerson, icCylinder, icDoor};

}  // namespace

std::vector<TRelationRecord> BuildRelationRecords(const TMiniDB& db) {
  std::vector<TRelationRecord> records;
  TItemList keys;
  db.ListClassValid(icKey, keys);
  for (int32_t key : Ids(keys)) {
    TItemList held = GetHoldingPersons(db, key);
    held.RemoveDuplicates();
    std::vector<int32_t> persons;
    for (int32_t p : Ids(held))
      if (db.IsValid(p) && db.GetClass(p) == icPerson) persons.push_back(p);
    TItemList doors;
    GetDoorsOfKey(db, key, doors);
    TItemList cylinders;
    GetKeyGroupsAndCylinders(db, key, true, true, cylinders);
    const std::vector<int32_t> keyCylinders = Ids(cylinders);
    if (doors.Count() == 0) {
      if (persons.empty()) records.push_back({key, 0, 0, 0});
      for (int32_t p : persons) records.push_back({key, 0, 0, p});
      continue;
    }
    for (int32_t door : Ids(doors))
      for (int32_t cyl : CylindersOfDoorFor(db, door, keyCylinders)) {
        if (persons.empty()) records.push_back({key, cyl, door, 0});
        for (int32_t p : persons) records.push_back({key, cyl, door, p});
      }
  }
  return records;
}

int32_t RelationIdOf(const TRelationRecord& record, int cls) {
  switch (cls) {
    case icKey: return record.key;
    case icCylinder: return record.cylinder;
    case icDoor: return record.door;
    case icPerson: return record.person;
    default: return 0;
  }
}

std::vector<int> RelationClassOrder(int leaderClass) {
  switch (leaderClass) {
    case icCylinder: return {icCylinder, icDoor, icKey, icPerson};
    case icDoor: return {icDoor, icCylinder, icKey, icPerson};
    case icPerson: return {icPerson, icKey, icCylinder, icDoor};
    default: return {icKey, icPerson, icCylinder, icDoor};
  }
}

TRelationTable BuildRelationTable(TMiniDB& db, std::vector<TRelationRecord>& records,
                                  int leaderClass, const std::vector<TRelationColumn>& columns) {
  TRelationTable table;
  if (records.empty() || leaderClass == 0) return table;
  for (TRelationRecord& r : records) r.used = false;
  std::unordered_map<int32_t, std::vector<size_t>> byLeader;
  for (size_t i = 0; i < records.size(); ++i) {
    const int32_t id = RelationIdOf(records[i], leaderClass);
    if (id != 0) byLeader[id].push_back(i);
  }
  auto rowOf = [&](const TRelationRecord& r) {
    std::vector<std::string> cells;
    cells.reserve(columns.size());
    for (const TRelationColumn& c : columns)
      cells.push_back(FieldValueOfRecord(db, c.field, RelationIdOf(r, c.cls)));
    return cells;
  };
  // Rows already given under the current leading record, by their joined cells.
  std::unordered_set<std::string> seen;
  auto add = [&](int32_t leader, std::vector<std::string> cells) {
    std::string joined;
    for (const std::string& cell : cells) joined += cell + '\t';
    if (!seen.insert(joined).second) return;
    table.rows.push_back(std::move(cells));
    table.leaders.push_back(leader);
  };
  TItemList leaders;
  db.ListClassValid(leaderClass, leaders);
  std::vector<std::pair<std::string, int32_t>> ordered;
  for (int32_t id : Ids(leaders)) ordered.emplace_back(db.GetDisplayName(id), id);
  std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
    const int c = AnsiCompareText(a.first, b.first);
    return c != 0 ? c < 0 : a.second < b.second;
  });
  for (const auto& [name, id] : ordered) {
    const auto found = byLeader.find(id);
    if (found == byLeader.end()) continue;
    seen.clear();
    for (size_t i : found->second) {
      records[i].used = true;
      add(id, rowOf(records[i]));
    }
  }
  seen.clear();
  for (const TRelationRecord& r : records)
    if (!r.used) add(0, rowOf(r));
  return table;
}

// ---------------------------------------------------------------------------------------

void TRelationsModel::SetTable(TRelationTable table, std::vector<std::string> titles) {
  beginResetModel();
  table_ = std::move(table);
  titles_ = std::move(titles);
  endResetModel();
}

int TRelationsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
}

int TRelationsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant TRelationsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  const auto& row = table_.rows[static_cast<size_t>(index.row())];
  const auto col = static_cast<size_t>(index.column());
  return col < row.size() ? ToQString(row[col]) : QVariant();
}

QVariant TRelationsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return section >= 0 && section < static_cast<int>(titles_.size())
             ? ToQString(titles_[static_cast<size_t>(section)])
             : QVariant();
}

// ---------------------------------------------------------------------------------------

namespace {

QPushButton* Button(QWidget* parent, const char* caption, const char* name, const char* hint) {
  auto* b = new QPushButton(ToQString(caption), parent);
  b->setObjectName(name);
  if (hint) b->setToolTip(ToQString(hint));
  return b;
}

// Column 0 selects the leading record's block; the right button the row under the mouse.
class TBlockClickFilter : public QObject {
 public:
  explicit TBlockClickFilter(TRelationsForm* form) : QObject(form), form_(form) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonPress) return QObject::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex at = form_->Grid->indexAt(mouse->position().toPoint());
    if (!at.isValid()) return false;
    if (mouse->button() == Qt::RightButton) {
      form_->Grid->selectRow(at.row());
      return true;
    }
    if (mouse->button() == Qt::LeftButton && at.column() == 0) {
      form_->SelectBlockOf(at.row());
      return true;
    }
    return false;
  }

 private:
  TRelationsForm* form_;
};

}  // namespace

TRelationsForm::TRelationsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("RelationsForm");
  setWindowTitle(ToQString("Liste der Beziehungen/Verkn\xFCpfungen"));
  auto* outer = new QVBoxLayout(this);
  Splitter = new QSplitter(Qt::Vertical, this);
  Splitter->setObjectName("Splitter");
  outer->addWidget(Splitter);
  TopPanel = new QWidget(Splitter);
  TopPanel->setObjectName("TopPanel");
  auto* top = new QVBoxLayout(TopPanel);
  auto* leaderRow = new QHBoxLayout;
  Label2 = new QLabel(ToQString("Ansicht/Sortierung nach"), TopPanel);
  Label2->setObjectName("Label2");
  LeaderCombo = new QComboBox(TopPanel);
  LeaderCombo->setObjectName("LeaderCombo");
  // Filled with captions already in the user's language.
  SetNoTranslate(LeaderCombo);
  LeaderCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  StartBtn = Button(TopPanel, "Auflisten", "StartBtn", nullptr);
  leaderRow->addWidget(Label2);
  leaderRow->addWidget(LeaderCombo);
  leaderRow->addWidget(StartBtn);
  leaderRow->addStretch();
  top->addLayout(leaderRow);
  auto* lists = new QHBoxLayout;
  auto column = [&](QCheckBox*& check, QListWidget*& list, const char* caption,
                    const char* checkName, const char* listName) {
    auto* box = new QVBoxLayout;
    check = new QCheckBox(ToQString(caption), TopPanel);
    check->setObjectName(checkName);
    check->setChecked(true);
    list = new QListWidget(TopPanel);
    list->setObjectName(listName);
    // The catalogue's captions, as its file gives them.
    SetNoTranslate(list);
    box->addWidget(check);
    box->addWidget(list);
    lists->addLayout(box);
    connect(check, &QCheckBox::toggled, list, &QWidget::setVisible);
  };
  column(KeysCheck, KeysCheckBox, "Schl\xFCssel", "KeysCheck", "KeysCheckBox");
  column(PersCheck, PersCheckBox, "Besitzer", "PersCheck", "PersCheckBox");
  column(CylsCheck, CylsCheckBox, "Zylinder", "CylsCheck", "CylsCheckBox");
  column(DoorsCheck, DoorsCheckBox, "T\xFCren", "DoorsCheck", "DoorsCheckBox");
  top->addLayout(lists);
  Grid = new QTableView(Splitter);
  Grid->setObjectName("Grid");
  Model = new TRelationsModel(Grid);
  Grid->setModel(Model);
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->viewport()->installEventFilter(new TBlockClickFilter(this));
  Splitter->setStretchFactor(1, 1);
  FootPanel = new QWidget(this);
  FootPanel->setObjectName("FootPanel");
  auto* foot = new QHBoxLayout(FootPanel);
  GotoDoorBtn = Button(FootPanel, "T\xFCr", "GotoDoorBtn", nullptr);
  GotoCylBtn = Button(FootPanel, "Zylinder", "GotoCylBtn", nullptr);
  GotoKeyBtn = Button(FootPanel, "Schl\xFCssel", "GotoKeyBtn", nullptr);
  for (QPushButton* b : {GotoDoorBtn, GotoCylBtn, GotoKeyBtn}) {
    b->setEnabled(false);
    foot->addWidget(b);
  }
  foot->addStretch();
  ExportBtn = Button(FootPanel, "Exportieren", "ExportBtn", "Exportieren als CSV");
  ExcelBtn = Button(FootPanel, "Excel", "ExcelBtn", "Exportieren nach Excel");
  EscBtn = Button(FootPanel, "Schlie\xDF"
                             "en",
                  "EscBtn", nullptr);
  foot->addWidget(ExportBtn);
  foot->addWidget(ExcelBtn);
  foot->addWidget(EscBtn);
  outer->addWidget(FootPanel);
  connect(StartBtn, &QPushButton::clicked, this, [this] { StartBtnClick(); });
  connect(ExportBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(); });
  connect(ExcelBtn, &QPushButton::clicked, this, [this] { ExcelBtnClick(); });
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(LeaderCombo, &QComboBox::activated, this, [this] { FillGrid(); });
  TranslateForm(this);
  resize(1000, 700);
}

QListWidget* TRelationsForm::FieldListOf(int cls) const {
  switch (cls) {
    case icKey: return KeysCheckBox;
    case icPerson: return PersCheckBox;
    case icCylinder: return CylsCheckBox;
    case icDoor: return DoorsCheckBox;
    default: return nullptr;
  }
}

QCheckBox* TRelationsForm::CheckOf(int cls) const {
  switch (cls) {
    case icKey: return KeysCheck;
    case icPerson: return PersCheck;
    case icCylinder: return CylsCheck;
    case icDoor: return DoorsCheck;
    default: return nullptr;
  }
}

int TRelationsForm::LeaderClass() const {
  return LeaderCombo->currentIndex() < 0 ? 0 : LeaderCombo->currentData().toInt();
}

void TRelationsForm::FillOptions() {
  if (LeaderCombo->count() == 0) {
    LeaderCombo->addItem(ToQString(ClassCaption(icKey, true)), icKey);
    LeaderCombo->addItem(ToQString(PersonTerm()), icPerson);
    LeaderCombo->addItem(ToQString(ClassCaption(icCylinder, true)), icCylinder);
    LeaderCombo->addItem(ToQString(ClassCaption(icDoor, true)), icDoor);
    LeaderCombo->setCurrentIndex(0);
  }
  for (int cls : kRelationClasses) {
    QListWidget* list = FieldListOf(cls);
    if (list->count() > 0) continue;
    TQStringList fields;
    ListFieldsOfClass(cls, false, false, fields, false);
    for (int i = 0; i < fields.Count(); ++i) {
      auto* item = new QListWidgetItem(ToQString(fields[i]), list);
      item->setData(Qt::UserRole, static_cast<int>(fields.GetObject(i)));
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(i == 0 ? Qt::Checked : Qt::Unchecked);
    }
  }
}

void TRelationsForm::StartBtnClick() {
  StartBtn->setEnabled(false);
  if (!built_) {
    if (TMiniDB* db = GlueDB()) records_ = BuildRelationRecords(*db);
    built_ = true;
  }
  FillGrid();
  StartBtn->setEnabled(true);
}

void TRelationsForm::FillGrid() {
  TMiniDB* db = GlueDB();
  const int leader = LeaderClass();
  if (!db || records_.empty() || leader == 0) {
    Model->SetTable({}, {});
    return;
  }
  std::vector<TRelationColumn> columns;
  std::vector<std::string> titles;
  for (int cls : RelationClassOrder(leader)) {
    const bool leading = cls == leader;
    if (!leading && !CheckOf(cls)->isChecked()) continue;
    QListWidget* list = FieldListOf(cls);
    bool any = false;
    for (int i = 0; i < list->count(); ++i) any |= list->item(i)->checkState() == Qt::Checked;
    if (leading && !any && list->count() > 0) list->item(0)->setCheckState(Qt::Checked);
    for (int i = 0; i < list->count(); ++i) {
      const QListWidgetItem* item = list->item(i);
      if (item->checkState() != Qt::Checked) continue;
      const int field = item->data(Qt::UserRole).toInt();
      columns.push_back({cls, field});
      std::string title;
      FieldCaption(field, false, title);
      titles.push_back(title);
    }
  }
  Model->SetTable(BuildRelationTable(*db, records_, leader, columns), std::move(titles));
  Grid->resizeColumnsToContents();
  for (int c = 0; c < Model->columnCount(); ++c)
    if (Grid->columnWidth(c) > 300) Grid->setColumnWidth(c, 300);
  if (Model->rowCount() > 0) SelectBlockOf(0);
}

void TRelationsForm::SelectBlockOf(int row) {
  const std::vector<int32_t>& leaders = Model->Table().leaders;
  if (row < 0 || row >= static_cast<int>(leaders.size())) return;
  const int32_t leader = leaders[static_cast<size_t>(row)];
  int first = row, last = row;
  while (first > 0 && leaders[static_cast<size_t>(first - 1)] == leader) --first;
  while (last + 1 < static_cast<int>(leaders.size()) &&
         leaders[static_cast<size_t>(last + 1)] == leader)
    ++last;
  QItemSelectionModel* selection = Grid->selectionModel();
  selection->clearSelection();
  selection->select(QItemSelection(Model->index(first, 0),
                                   Model->index(last, std::max(0, Model->columnCount() - 1))),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  selection->setCurrentIndex(Model->index(row, 0), QItemSelectionModel::NoUpdate);
}

bool TRelationsForm::ExportBtnClick() { return ExportListDialog(Model, this, false); }

bool TRelationsForm::ExcelBtnClick() { return ExportListDialog(Model, this, true); }

bool ShowRelations() {
  if (!LoadFieldCatalogue(false)) return false;
  TRelationsForm form(WinGlue().MainWindow.data());
  form.setWindowState(Qt::WindowMaximized);
  form.FillOptions();
  form.StartBtnClick();
  ExecModal(form);
  return true;
}
