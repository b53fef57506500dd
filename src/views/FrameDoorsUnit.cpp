#include "views/FrameDoorsUnit.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ListingFrameUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/LockingRelations.h"
#include "data/RemarkTextUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintSelectUnit.h"
#include "views/CategFormUnit.h"
#include "views/FloorPlanUnit.h"
#include "views/KeyBoxUnit.h"
#include "views/SystemComboUnit.h"
#include "views/TitledPrintUnit.h"

namespace {

constexpr const char* kFloorField = "flr";
constexpr const char* kRoomNumberField = "romn";
constexpr const char* kRoomField = "rom";
constexpr const char* kPositionField = "pos";
constexpr const char* kCylinderNameField = "cyl";
constexpr const char* kLockNumberField = "k603";
constexpr size_t kPersonsCut = 100;

std::string RemarkFromMemo(const QPlainTextEdit* memo) {
  return RemarkToStored(FromQString(memo->toPlainText()));
}

void MemoFromRemark(QPlainTextEdit* memo, const std::string& remark) {
  memo->setPlainText(ToQString(RemarkToText(remark)));
}

QLabel* FieldLabel(QWidget* parent, const std::string& caption) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

void AddUnique(std::vector<int32_t>& ids, int32_t id) {
  if (id > 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
}

bool IsValidOf(const TMiniDB& db, int32_t id, int cls) {
  return id > 0 && db.GetClass(id) == cls && db.IsValid(id);
}

// The building's own system: its "ks" reads "1001".
bool HasOwnSystem(const TMiniDB& db, int32_t building) {
  return building > 0 && Trim(db.ReadLineField(building, fkKeySystem)) == "1001";
}

// The door's own "ks" as a code; 1001 + building codes stay as they are.
int32_t DoorSystemOf(const TMiniDB& db, int32_t door) {
  const std::vector<int32_t> cylinders = CylindersOfDoor(db, door);
  if (!cylinders.empty()) return db.ReadKeySystem(cylinders.front());
  return db.ReadKeySystem(door);
}

std::vector<int32_t> IdsOfList(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

// The keys grid's own look: white rows, the selected one dark blue ($6B2408) with white
// text; every cell one line, 2 pixels in from the left, except the count, which ends 8
// pixels before the cell's right edge. A name's context after a TAB stands at the right of
// the name column.
constexpr int kKeysTextInset = 2;
constexpr int kKeysCountInset = 8;
constexpr int kKeysContextGap = 8;
// What the third column leaves free at the grid's right.
constexpr int kKeysGridSpare = 26;
const QColor kKeysSelected(0x08, 0x24, 0x6B);

// A key's name split at its TAB: the context is drawn only when longer than one character.
struct TKeyNameParts {
  QString name;
  QString context;
};
TKeyNameParts SplitKeyName(const QString& text) {
  const int tab = text.indexOf(QLatin1Char('\t'));
  if (tab < 0) return {text, QString()};
  QString context = text.mid(tab + 1, kRightPartMaxChars);
  if (context.size() <= 1) context.clear();
  return {text.left(tab), context};
}

// The width a cell's text takes when drawn.
int KeysCellTextWidth(const QFontMetrics& fm, int col, const QString& text) {
  if (col != 0) return fm.horizontalAdvance(text);
  const TKeyNameParts parts = SplitKeyName(text);
  int width = fm.horizontalAdvance(parts.name);
  if (!parts.context.isEmpty()) width += kKeysContextGap + fm.horizontalAdvance(parts.context);
  return width;
}

class TKeysGridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    painter->save();
    const QRect cell = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(cell, selected ? kKeysSelected : QColor(Qt::white));
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    painter->setFont(option.font);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    const QString text = index.data(Qt::DisplayRole).toString();
    const int left = cell.left() + kKeysTextInset;
    if (index.column() == 1) {
      const QRect room(cell.left(), cell.top(), cell.width() - kKeysCountInset, cell.height());
      painter->drawText(room, flags | Qt::AlignRight, text);
    } else if (index.column() == 0) {
      const TKeyNameParts parts = SplitKeyName(text);
      painter->drawText(QRect(left, cell.top(), cell.right() - left + 1, cell.height()),
                        flags | Qt::AlignLeft, parts.name);
      if (!parts.context.isEmpty()) {
        const int from =
            left + option.fontMetrics.horizontalAdvance(parts.name) + kKeysContextGap;
        const QRect room(from, cell.top(), cell.right() - kKeysTextInset - from + 1,
                         cell.height());
        if (room.width() > 0) painter->drawText(room, flags | Qt::AlignRight, parts.context);
      }
    } else {
      painter->drawText(QRect(left, cell.top(), cell.right() - left + 1, cell.height()),
                        flags | Qt::AlignLeft, text);
    }
    painter->restore();
  }
};

// The titles of the keys grid: left-aligned like the rows, and white beside the last
// column as the rows are, not an empty grey title.
class TKeysGridHeader : public QHeaderView {
 public:
  explicit TKeysGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHighlightSections(false);
    setSectionsClickable(false);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QHeaderView::paintEvent(event);
    const int end = length() - offset();
    if (end >= viewport()->width()) return;
    QPainter painter(viewport());
    painter.fillRect(QRect(end, 0, viewport()->width() - end, viewport()->height()), Qt::white);
  }
};

}  // namespace

// =======================================================================================
// Texts

const TMLStringList* FrameDoorsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameDoors", 0);
    t->Add255Obj("passende Schl\xFCssel", 1);
    t->Add255Obj("zutrittsberechtigte Personen", 2);
    t->Add255Obj("Diese T\xFCr wurde zwischenzeitlich gel\xF6scht#13#und kann nicht mehr "
                 "bearbeitet werden.",
                 3);
    t->Add255Obj("nur die angezeigte T\xFCr", 4);
    t->Add255Obj("die in der Liste angezeigten T\xFCren", 5);
    t->Add255Obj("Es gibt bereits eine T\xFCr mit diesem Namen.", 6);
    t->Add255Obj("Diese T\xFCr war bereits gel\xF6scht.", 8);
    t->Add255Obj("T\xFCr \"%1\" wirklich l\xF6schen?", 9);
    t->Add255Obj("Bitte schlie\xDF"
                 "en Sie zuvor die \xC4nderungen am zugeh\xF6rigen Zylinder "
                 "ab.",
                 10);
    t->Add255Obj("Der neue Zylinder ist keiner Schlie\xDF"
                 "anlage zugeordnet.",
                 11);
    return t;
  }();
  return table;
}

std::string FrameDoorsText(int number) { return GetMLText(FrameDoorsTexts(), number); }
std::string FrameDoorsTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(FrameDoorsTexts(), number, argument);
}

// =======================================================================================
// Doors without widgets

void DoorNameWithBuilding(const TMiniDB& db, int32_t id, const TQStringList& /*fields*/,
                          uint8_t /*style*/, std::string& text) {
  const std::string name = PlainItemName(db, id);
  const int32_t building = db.ReadFirstLink(id, icBuilding);
  text = building > 0 && db.IsValid(building)
             ? DecorateWithBrackets(name, PlainItemName(db, building), kBracketRound)
             : name;
}

void DoorNameWithCylinder(const TMiniDB& db, int32_t id, const TQStringList& /*fields*/,
                          uint8_t /*style*/, std::string& text) {
  std::string context;
  const std::vector<int32_t> cylinders = CylindersOfDoor(db, id);
  const std::string cylinder = cylinders.empty() ? Trim(db.ReadLineField(id, kCylinderNameField))
                                                 : PlainItemName(db, cylinders.front());
  const int32_t system = DoorSystemOf(db, id);
  context = cylinder;
  if (system > 0) context += (context.empty() ? "" : ", ") + KeySystemName(db, system);
  text = DecorateWithBrackets(PlainItemName(db, id), context, kBracketRound);
}

std::vector<int32_t> CylindersOfDoor(const TMiniDB& db, int32_t door) {
  std::vector<int32_t> cylinders;
  TItemList linked;
  db.ReadLinks(door, icCylinder, linked);
  for (int32_t i = 0; i < linked.Count(); ++i)
    if (IsValidOf(db, linked.Get(i), icCylinder)) AddUnique(cylinders, linked.Get(i));
  return cylinders;
}

bool DoorHasSeveralCylinders(const TMiniDB& db, int32_t door) {
  return CylindersOfDoor(db, door).size() >= 2;
}

int32_t FindOtherDoorInBuilding(const TMiniDB& db, const std::string& name, int32_t building,
                                int32_t skip) {
  if (building > 0) return FindDoorByNameInBuilding(db, name, building, skip);
  const std::string wanted = NormalizeName(name);
  if (wanted.empty()) return 0;
  TItemList doors;
  db.ListClassValid(icDoor, doors);
  for (int32_t i = 0; i < doors.Count(); ++i) {
    const int32_t door = doors.Get(i);
    if (door == skip || db.ReadFirstLink(door, icBuilding) > 0) continue;
    if (NormalizeName(db.ReadName(door)) == wanted) return door;
  }
  return 0;
}

std::vector<TDoorKeyRow> DoorKeyRows(const TMiniDB& db, int32_t door) {
  std::vector<TDoorKeyRow> rows;
  TItemList keys;
  GetKeysOfDoor(db, door, true, true, keys);
  for (int32_t i = 0; i < keys.Count(); ++i) {
    TDoorKeyRow row;
    row.key = keys.Get(i);
    row.name = db.GetDisplayName(row.key);
    const std::string total = Trim(db.ReadLineField(row.key, fkTotal));
    row.count = Trim(db.ReadLineField(row.key, fkStock)) + " / " +
                (total.size() == 1 ? " " + total : total);
    TItemList persons;
    db.ReadLinks(row.key, icPerson, persons);
    for (int32_t j = 0; j < persons.Count(); ++j) {
      if (!IsValidOf(db, persons.Get(j), icPerson)) continue;
      if (row.persons.size() > kPersonsCut) {
        row.persons += " ...; ";
        break;
      }
      row.persons += (row.persons.empty() ? "" : "; ") + PlainItemName(db, persons.Get(j));
    }
    rows.push_back(std::move(row));
  }
  std::sort(rows.begin(), rows.end(), [](const TDoorKeyRow& a, const TDoorKeyRow& b) {
    return AnsiCompareText(a.name, b.name) < 0;
  });
  return rows;
}

// =======================================================================================
// The view

TFrameDoors::TFrameDoors(QWidget* owner) : TFrameMother(owner, icDoor, rtDoors) {
  setObjectName("FrameDoors");
  ListingFrame->SeekCombo->show();
  ListingFrame->HouseCombo->show();
  ListingFrame->FrameResize();

  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(6);
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(6);
  fields->setVerticalSpacing(4);
  auto edit = [panel](const char* name) {
    auto* e = new QLineEdit(panel);
    e->setObjectName(name);
    return e;
  };
  DoorNameEd = edit("DoorNameEd");
  HouseCombo = new QComboBox(panel);
  HouseCombo->setObjectName("HouseCombo");
  FloorEd = edit("FloorEd");
  DoorPosEd = edit("DoorPosEd");
  RoomNrEd = edit("RoomNrEd");
  RoomEd = edit("RoomEd");
  DoorRemMemo = new QPlainTextEdit(panel);
  DoorRemMemo->setObjectName("DoorRemMemo");
  DoorRemMemo->setFixedHeight(44);
  KeysystemCombo = new QComboBox(panel);
  KeysystemCombo->setObjectName("KeysystemCombo");
  CylLabel = FieldLabel(panel, "Zylinder:");
  CylLabel->setObjectName("CylLabel");
  CylLabel->setCursor(Qt::PointingHandCursor);
  CylLabel->installEventFilter(this);
  CylCombo = new QComboBox(panel);
  CylCombo->setObjectName("CylCombo");
  CylCombo->setEditable(true);
  CylCombo->setInsertPolicy(QComboBox::NoInsert);
  CylCombo->installEventFilter(this);
  LockLabel = FieldLabel(panel, "Schlie\xDF"
                                "ung:");
  LockLabel->setObjectName("LockLabel");
  LockLabel->setCursor(Qt::PointingHandCursor);
  LockLabel->installEventFilter(this);
  CylLockEd = edit("CylLockEd");
  CylPosEd = edit("CylPosEd");
  CylLenEd = edit("CylLenEd");
  FloorPlanBtn = new QPushButton(ToQString("Grundriss"), panel);
  FloorPlanBtn->setObjectName("FloorPlanBtn");
  CategoriesLabel = new QLabel(panel);
  CategoriesLabel->setObjectName("CategoriesLabel");

  fields->addWidget(FieldLabel(panel, "T\xFCr:"), 0, 0);
  fields->addWidget(DoorNameEd, 0, 1, 1, 3);
  fields->addWidget(FieldLabel(panel, "Geb\xE4ude:"), 1, 0);
  fields->addWidget(HouseCombo, 1, 1, 1, 3);
  fields->addWidget(FieldLabel(panel, "Stockwerk:"), 2, 0);
  fields->addWidget(FloorEd, 2, 1);
  fields->addWidget(FloorPlanBtn, 2, 2, 1, 2);
  fields->addWidget(FieldLabel(panel, "Raum-Nr.:"), 3, 0);
  fields->addWidget(RoomNrEd, 3, 1);
  fields->addWidget(FieldLabel(panel, "Pos.:"), 3, 2);
  fields->addWidget(DoorPosEd, 3, 3);
  fields->addWidget(FieldLabel(panel, "Raum:"), 4, 0);
  fields->addWidget(RoomEd, 4, 1, 1, 3);
  fields->addWidget(FieldLabel(panel, "Bemerkung:"), 5, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(DoorRemMemo, 5, 1, 1, 3);
  fields->addWidget(FieldLabel(panel, "Schlie\xDF"
                                      "anlage:"),
                    6, 0);
  fields->addWidget(KeysystemCombo, 6, 1, 1, 3);
  fields->addWidget(CylLabel, 7, 0);
  fields->addWidget(CylCombo, 7, 1, 1, 3);
  fields->addWidget(LockLabel, 8, 0);
  fields->addWidget(CylLockEd, 8, 1);
  fields->addWidget(FieldLabel(panel, "Zyl-Pos.:"), 8, 2);
  fields->addWidget(CylPosEd, 8, 3);
  fields->addWidget(FieldLabel(panel, "L\xE4nge:"), 9, 0);
  fields->addWidget(CylLenEd, 9, 1);
  fields->addWidget(CategoriesLabel, 9, 2, 1, 2);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(3, 1);
  outer->addLayout(fields);

  MultiCylsGrid = new QTableWidget(panel);
  MultiCylsGrid->setObjectName("MultiCylsGrid");
  MultiCylsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  MultiCylsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  MultiCylsGrid->verticalHeader()->hide();
  MultiCylsGrid->setMaximumHeight(90);
  MultiCylsGrid->hide();
  outer->addWidget(MultiCylsGrid);

  KeysGrid = new QTableWidget(panel);
  KeysGrid->setObjectName("KeysGrid");
  KeysGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  KeysGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  KeysGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  KeysGrid->setHorizontalHeader(new TKeysGridHeader(KeysGrid));
  KeysGrid->verticalHeader()->hide();
  KeysGrid->verticalHeader()->setDefaultSectionSize(18);
  KeysGrid->setWordWrap(false);
  QPalette white = KeysGrid->palette();
  white.setColor(QPalette::Base, Qt::white);
  KeysGrid->setPalette(white);
  KeysGrid->setToolTip(ToQString("Doppelklick zeigt den markierten Schl\xFCssel"));
  KeysGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  KeysGrid->setMinimumHeight(90);
  KeysGrid->setItemDelegate(new TKeysGridDelegate(KeysGrid));
  // The third column follows the grid's width.
  KeysGrid->viewport()->installEventFilter(this);
  outer->addWidget(KeysGrid, 1);

  FloorPlanFrame = new TFloorPlanFrame(this);
  FloorPlanFrame->setObjectName("FloorPlanFrame");
  FloorPlanFrame->hide();
  FloorPlanFrame->OnChanged = [this] { UpdateFloorPlanCaption(); };
  FloorPlanFrame->OnClose = [this] {
    FloorPlanFrame->hide();
    ListingFrame->show();
  };

  // Menus.
  ListPopup->addSeparator();
  createAsKey1 = ListPopup->addAction(ToQString("gleichnamigen Schl\xFCssel anlegen ..."));
  OnlyDoorsWithMultiCyls1 =
      ListPopup->addAction(ToQString("nur T\xFCren mit mehreren Zylindern anzeigen"));
  OnlyDoorsWithMultiCyls1->setCheckable(true);
  ListnamePure1 = ListPopup->addAction(ToQString("Ansicht: nur T\xFCren-Name anzeigen"));
  ListnameWithBuilding1 = ListPopup->addAction(ToQString("Ansicht: mit Geb\xE4ude anzeigen"));
  ListnameWithKS1 = ListPopup->addAction(ToQString("Ansicht: mit Zylinder/Schlie\xDF"
                                                   "anlage anzeigen"));
  for (QAction* a : {ListnamePure1, ListnameWithBuilding1, ListnameWithKS1}) a->setCheckable(true);
  ListnamePure1->setChecked(true);
  Categ1 = ListPopup->addAction(ToQString("Klassifizierung ..."));
  Count1 = ListPopup->addAction(ToQString("Z\xE4hlung"));
  PrintList1->setVisible(true);
  DoorMatchingKeysPopup = new QMenu(this);
  DoorGotoKey1 = DoorMatchingKeysPopup->addAction(ToQString("zum Schl\xFCssel wechseln"));

  ChooseCategories = [](std::vector<int32_t>& ids) { return SelectCategory(icDoor, 0, 0, ids); };

  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CylCombo, &QComboBox::currentTextChanged, this, [this] { CylComboChange(); });
  connect(FloorPlanBtn, &QPushButton::clicked, this, [this] { FloorPlanBtnClick(); });
  connect(HouseCombo, &QComboBox::currentIndexChanged, this, [this] {
    if (!Editing) return;
    UpdateFloorPlanCaption();
  });
  connect(FloorEd, &QLineEdit::textChanged, this, [this] { UpdateFloorPlanCaption(); });
  connect(Categ1, &QAction::triggered, this, [this] { Categ1Click(); });
  connect(Count1, &QAction::triggered, this, [this] { Count1Click(); });
  connect(ListnamePure1, &QAction::triggered, this, [this] { SetListName(0); });
  connect(ListnameWithBuilding1, &QAction::triggered, this,
          [this](bool on) { SetListName(on ? 1 : 0); });
  connect(ListnameWithKS1, &QAction::triggered, this, [this](bool on) { SetListName(on ? 2 : 0); });
  connect(OnlyDoorsWithMultiCyls1, &QAction::triggered, this,
          [this](bool on) { SetOnlyMultiCyls(on); });
  connect(createAsKey1, &QAction::triggered, this, [this] {
    TMiniDB* db = GlueDB();
    if (!db || CurrentId == 0) return;
    ShowPage(pgKeys, true);
    // A key named like the door, for this door, in the door's system.
    ::NewKey(icKey, db->GetName(CurrentId), CurrentId, DoorSystemOf(*db, CurrentId));
  });
  connect(ListPopup, &QMenu::aboutToShow, this, [this] {
    const bool selected = ListingFrame->SelectedRow() >= 0;
    createAsKey1->setEnabled(selected && ViewOf(pgKeys) != nullptr);
    Categ1->setEnabled(CurrentId != 0 && !Editing);
    Count1->setText(ToQString(CoreTextFmt(102, std::to_string(ListingFrame->Count()))));
  });
  auto gotoKey = [this] {
    const int32_t key = GridSelectedId(KeysGrid);
    if (key != 0) GotoItem(key, true);
  };
  connect(KeysGrid, &QTableWidget::cellDoubleClicked, this, [gotoKey](int, int) { gotoKey(); });
  connect(DoorGotoKey1, &QAction::triggered, this, gotoKey);
  connect(KeysGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    IView* keys = ViewOf(pgKeys);
    DoorGotoKey1->setEnabled(GridSelectedId(KeysGrid) != 0 && keys && !keys->Editing());
    DoorMatchingKeysPopup->popup(KeysGrid->viewport()->mapToGlobal(at));
  });
  connect(MultiCylsGrid, &QTableWidget::cellDoubleClicked, this, [this](int, int) {
    const int32_t cylinder = GridSelectedId(MultiCylsGrid);
    if (cylinder != 0) GotoItem(cylinder, true);
  });
  for (QWidget* field : std::initializer_list<QWidget*>{DoorNameEd, FloorEd, DoorPosEd, RoomNrEd,
                                                        RoomEd, DoorRemMemo, CylPosEd, CylLenEd})
    field->installEventFilter(this);

  TranslateForm(this);
  InitLayout();
  ClearDisplay();
}

TFrameDoors::~TFrameDoors() = default;

void TFrameDoors::InitLayout() {
  TFrameMother::InitLayout();
  CylLabel->setToolTip(ToQString("zum Zylinder wechseln"));
  LockLabel->setToolTip(ToQString("Zylinder nach Schlie\xDF"
                                  "ung suchen"));
}

// ----- modes ------------------------------------------------------------------------------

void TFrameDoors::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{DoorNameEd, FloorEd, DoorPosEd, RoomNrEd,
                                                        RoomEd, DoorRemMemo, CylPosEd, CylLenEd})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  for (QWidget* combo : std::initializer_list<QWidget*>{HouseCombo, KeysystemCombo, CylCombo})
    ApplyControlLook(combo, editable ? TControlLook::Editable : TControlLook::Disabled);
  ApplyControlLook(CylLockEd, TControlLook::Disabled);
}

void TFrameDoors::ShowViewMode() {
  Editing = false;
  EditState = 0;
  ListingFrame->setEnabled(true);
  const bool shown = CurrentId != 0;
  NewBtn->show();
  EdBtn->setVisible(shown);
  KillBtn->setVisible(shown);
  PrintBtn->setVisible(shown || ListingFrame->Count() > 0);
  SaveBtn->hide();
  CancelBtn->hide();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false);
}

void TFrameDoors::DiscardEdit() {
  keyToLink_ = 0;
  ShowViewMode();
}

void TFrameDoors::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  ListingFrame->setEnabled(false);
  for (QWidget* b : std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, PrintBtn}) b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
}

void TFrameDoors::ClearDisplay() {
  CurrentId = 0;
  keyToLink_ = 0;
  ListingFrame->ClearSelection();
  const QSignalBlocker block(CylCombo);
  for (QLineEdit* e :
       {DoorNameEd, FloorEd, DoorPosEd, RoomNrEd, RoomEd, CylLockEd, CylPosEd, CylLenEd})
    e->clear();
  DoorRemMemo->clear();
  HouseCombo->clear();
  FillOwnSystemCombo(KeysystemCombo, WinText(3));
  KeysystemCombo->setCurrentIndex(-1);
  CylCombo->clear();
  CylCombo->setEditText(QString());
  CategoriesLabel->clear();
  KeysGrid->clear();
  KeysGrid->setRowCount(0);
  KeysGrid->setColumnCount(0);
  MultiCylsGrid->hide();
  FloorPlanFrame->hide();
  ListingFrame->show();
  FloorPlanBtn->setText(ToQString("Grundriss"));
  ShowViewMode();
}

void TFrameDoors::FillHouseCombo(int32_t selectId) {
  TItemList buildings;
  if (TMiniDB* db = GlueDB()) db->ListClassValid(icBuilding, buildings);
  FillListFromItemList(HouseCombo, buildings, true, selectId);
}

void TFrameDoors::ShowCylinderFields(int32_t cylinder) {
  TMiniDB* db = GlueDB();
  if (!db || cylinder == 0) {
    CylLockEd->clear();
    CylPosEd->clear();
    CylLenEd->clear();
    return;
  }
  CylLockEd->setText(ToQString(db->ReadLineField(cylinder, kLockNumberField)));
  CylPosEd->setText(ToQString(db->ReadLineField(cylinder, kPositionField)));
  CylLenEd->setText(ToQString(db->ReadLineField(cylinder, fkLength)));
}

void TFrameDoors::ShowDoor(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!IsValidOf(*db, id, icDoor)) {
    if (CurrentId == id) ClearDisplay();
    return;
  }
  if (db->ReadName(id).empty()) return;
  ListingFrame->SelectId(id);
  CurrentId = id;
  ShowViewMode();
  const QSignalBlocker block(CylCombo);
  DoorNameEd->setText(ToQString(db->ReadName(id)));
  FillHouseCombo(db->ReadFirstLink(id, icBuilding));
  FloorEd->setText(ToQString(db->ReadLineField(id, kFloorField)));
  RoomNrEd->setText(ToQString(db->ReadLineField(id, kRoomNumberField)));
  RoomEd->setText(ToQString(db->ReadLineField(id, kRoomField)));
  DoorPosEd->setText(ToQString(db->ReadLineField(id, kPositionField)));
  MemoFromRemark(DoorRemMemo, db->ReadLineField(id, fkRemark));

  const std::vector<int32_t> cylinders = CylindersOfDoor(*db, id);
  MultiCylsGrid->setVisible(cylinders.size() > 1);
  if (cylinders.size() > 1) {
    SetGridColCount(MultiCylsGrid, 2);
    SetGridRowCount(MultiCylsGrid, static_cast<int>(cylinders.size()) + 1);
    SetGridCell(MultiCylsGrid, 0, 0, " " + CylinderCaption());
    SetGridCell(MultiCylsGrid, 1, 0,
                " Schlie\xDF"
                "anlage");
    for (size_t i = 0; i < cylinders.size(); ++i) {
      const int row = static_cast<int>(i) + 1;
      SetGridCell(MultiCylsGrid, 0, row, db->GetDisplayName(cylinders[i]));
      SetGridCell(MultiCylsGrid, 1, row, KeySystemName(*db, db->ReadKeySystem(cylinders[i])));
      SetGridRowId(MultiCylsGrid, row, cylinders[i]);
    }
    GridSelectRow(MultiCylsGrid, 1);
  }
  FillOwnSystemCombo(KeysystemCombo, WinText(3));
  CylCombo->clear();
  if (!cylinders.empty()) {
    const int32_t cylinder = cylinders.front();
    const int32_t system = db->ReadKeySystem(cylinder);
    SelectComboId(system > ksBuildingBase ? ksBuildingBase : system, KeysystemCombo);
    AddComboItem(CylCombo, db->GetDisplayName(cylinder), cylinder);
    CylCombo->setCurrentIndex(0);
    ShowCylinderFields(cylinder);
  } else {
    const int32_t system = db->ReadKeySystem(id);
    SelectComboId(system > ksBuildingBase ? ksBuildingBase : system, KeysystemCombo);
    CylCombo->setEditText(ToQString(db->ReadLineField(id, kCylinderNameField)));
    CylLockEd->clear();
    CylLenEd->setText(ToQString(db->ReadLineField(id, fkLength)));
    CylPosEd->setText(ToQString(db->ReadLineField(id, kPositionField)));
  }
  // The categories.
  std::string categories;
  TItemList linked;
  db->ReadLinks(id, icCategory, linked);
  for (int32_t i = 0; i < linked.Count(); ++i)
    if (IsValidOf(*db, linked.Get(i), icCategory))
      categories += (categories.empty() ? "" : ", ") + db->GetDisplayName(linked.Get(i));
  CategoriesLabel->setText(ToQString(categories));
  ShowKeys();
  UpdateFloorPlanCaption();
}

void TFrameDoors::ShowKeys() {
  TMiniDB* db = GlueDB();
  const QSignalBlocker block(KeysGrid);
  std::vector<TDoorKeyRow> rows;
  if (db && CurrentId != 0) rows = DoorKeyRows(*db, CurrentId);
  SetGridColCount(KeysGrid, 3);
  const int extra = keyToLink_ != 0 ? 1 : 0;
  SetGridRowCount(KeysGrid, std::max<int>(2, static_cast<int>(rows.size()) + 1 + extra));
  SetGridCell(KeysGrid, 0, 0, " " + FrameDoorsText(1));
  SetGridCell(KeysGrid, 1, 0, " Bestand");
  SetGridCell(KeysGrid, 2, 0, " " + FrameDoorsText(2));
  for (int c = 0; c < 3; ++c) SetGridCell(KeysGrid, c, 1, "");
  if (extra && db) {
    SetGridCell(KeysGrid, 0, 1, " " + db->GetDisplayName(keyToLink_));
    SetGridRowId(KeysGrid, 1, keyToLink_);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i) + 1 + extra;
    SetGridCell(KeysGrid, 0, row, " " + rows[i].name);
    SetGridCell(KeysGrid, 1, row, " " + rows[i].count);
    SetGridCell(KeysGrid, 2, row, " " + rows[i].persons);
    SetGridRowId(KeysGrid, row, rows[i].key);
  }
  GridClearSelection(KeysGrid);
  FitKeysColumns();
}

void TFrameDoors::FitKeysColumns() {
  if (KeysGrid->columnCount() != 3) return;
  const QFontMetrics fm(KeysGrid->font());
  const int spare = fm.horizontalAdvance(QLatin1Char('X'));
  for (int col = 0; col < 2; ++col) {
    int widest = 0;
    for (int row = 0; row < GridRowCount(KeysGrid); ++row)
      widest = std::max(widest, KeysCellTextWidth(fm, col, ToQString(GridCell(KeysGrid, col, row))));
    KeysGrid->setColumnWidth(col, widest + spare);
  }
  StretchKeysPersonsColumn();
}

void TFrameDoors::StretchKeysPersonsColumn() {
  if (KeysGrid->columnCount() != 3) return;
  const int spare = QFontMetrics(KeysGrid->font()).horizontalAdvance(QLatin1Char('X'));
  const int used = KeysGrid->columnWidth(0) + KeysGrid->columnWidth(1);
  KeysGrid->setColumnWidth(2, std::max(spare, KeysGrid->viewport()->width() - kKeysGridSpare - used));
}

void TFrameDoors::UpdateFloorPlanCaption() {
  TMiniDB* db = GlueDB();
  const int32_t building = GetComboId(HouseCombo, 0);
  const bool exists =
      db && building > 0 &&
      FloorPlanExists(*db, MandantState().DataPath, building, FromQString(FloorEd->text()));
  FloorPlanBtn->setText(ToQString(exists ? std::string("Grundriss \x95") : "Grundriss"));
}

void TFrameDoors::RefreshView() {
  TFrameMother::RefreshView();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFrameDoors::CanEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || RightDenied(rtDoors)) return false;
  // A cylinder being edited in the cylinders view decides the door's system and length:
  // the door waits until that edit is done.
  if (IView* cylinders = ViewOf(pgCylinders)) {
    const std::vector<int32_t> own = CylindersOfDoor(*db, CurrentId);
    if (cylinders->Editing() &&
        std::find(own.begin(), own.end(), cylinders->CurrentItemId()) != own.end()) {
      ShowInfo(FrameDoorsText(10));
      return false;
    }
  }
  return true;
}

bool TFrameDoors::StartEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing || !CanEdit()) return false;
  if (!LockOnFreshData(*db, CurrentId)) return false;
  RefreshIfChanged();
  if (!IsValidOf(*db, CurrentId, icDoor)) {
    db->UnlockItem(CurrentId);
    ShowError(FrameDoorsText(3));
    ClearDisplay();
    return false;
  }
  ShowDoor(CurrentId);
  EditState = 1;
  EnterEditMode();
  // With a cylinder record the cylinder decides the system.
  if (!CylindersOfDoor(*db, CurrentId).empty())
    ApplyControlLook(KeysystemCombo, TControlLook::Disabled);
  FocusControlIfPossible(DoorNameEd);
  return true;
}

std::string TFrameDoors::DeleteQuestion(const std::string& name) {
  return FrameDoorsTextFmt(9, name);
}

void TFrameDoors::NewBtnClick() { NewDoor("", 0, 0); }

bool TFrameDoors::NewDoor(const std::string& name, int32_t system, int32_t key) {
  if (Editing || RightDenied(rtDoors)) return false;
  ClearDisplay();
  ListingFrame->ClearSelection();
  ReloadAndRefresh();
  FillHouseCombo(lastBuilding_);
  int32_t code = system != 0 ? system : lastSystem_;
  if (code > ksBuildingBase) SelectComboObject(HouseCombo, code - ksBuildingBase);
  FillOwnSystemCombo(KeysystemCombo, WinText(3));
  SelectComboId(code > ksBuildingBase ? ksBuildingBase : code, KeysystemCombo);
  EditState = 2;
  EnterEditMode();
  DoorNameEd->setText(ToQString(name));
  keyToLink_ = key;
  if (key != 0) ShowKeys();
  FocusControlIfPossible(DoorNameEd);
  return true;
}

// ----- cylinders --------------------------------------------------------------------------

void TFrameDoors::FillCylCombo() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  const int32_t building = GetComboId(HouseCombo, 0);
  int32_t system = GetComboId(KeysystemCombo, 0);
  if (system == ksBuildingBase) system = ksBuildingBase + building;
  if (system == 0 && HasOwnSystem(*db, building)) system = ksBuildingBase + building;
  std::vector<std::pair<std::string, int32_t>> entries;
  TItemList cylinders;
  GetItemsOfClassInSystem(*db, icCylinder, system, cylinders);
  for (int32_t i = 0; i < cylinders.Count(); ++i)
    entries.emplace_back(db->GetDisplayName(cylinders.Get(i)), cylinders.Get(i));
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return AnsiCompareText(a.first, b.first) < 0; });
  const QString typed = CylCombo->currentText();
  const int32_t chosen =
      CylCombo->currentIndex() >= 0 && CylCombo->itemText(CylCombo->currentIndex()) == typed
          ? ComboItemId(CylCombo, CylCombo->currentIndex())
          : 0;
  const QSignalBlocker block(CylCombo);
  CylCombo->clear();
  AddComboItem(CylCombo, "-", 0);
  for (const auto& [text, id] : entries) AddComboItem(CylCombo, text, id);
  int index = -1;
  for (int i = 0; i < CylCombo->count() && chosen != 0; ++i)
    if (ComboItemId(CylCombo, i) == chosen) index = i;
  CylCombo->setCurrentIndex(index);
  if (index < 0) CylCombo->setEditText(typed);
}

void TFrameDoors::CylComboChange() {
  if (!Editing) return;
  const int index = CylCombo->currentIndex();
  const int32_t id = index >= 0 && CylCombo->itemText(index) == CylCombo->currentText()
                         ? ComboItemId(CylCombo, index)
                         : 0;
  if (id != 0) {
    ApplyControlLook(KeysystemCombo, TControlLook::Disabled);
    if (TMiniDB* db = GlueDB()) {
      const int32_t system = db->ReadKeySystem(id);
      SelectComboId(system > ksBuildingBase ? ksBuildingBase : system, KeysystemCombo);
    }
    ShowCylinderFields(id);
  } else {
    ApplyControlLook(KeysystemCombo, TControlLook::Editable);
    ShowCylinderFields(0);
  }
}

// ----- saving -----------------------------------------------------------------------------

TDoorInputs TFrameDoors::ReadInputs() {
  TDoorInputs in;
  TMiniDB* db = GlueDB();
  in.name = Trim(FromQString(DoorNameEd->text()));
  in.floor = Trim(FromQString(FloorEd->text()));
  in.roomNumber = Trim(FromQString(RoomNrEd->text()));
  in.room = Trim(FromQString(RoomEd->text()));
  in.position = Trim(FromQString(DoorPosEd->text()));
  in.remark = RemarkFromMemo(DoorRemMemo);
  in.building = GetComboId(HouseCombo, 0);
  if (in.building < 0) in.building = 0;
  in.system = GetComboId(KeysystemCombo, 0);
  if (in.system == ksBuildingBase) in.system = ksBuildingBase + in.building;
  in.cylinderName = Trim(FromQString(CylCombo->currentText()));
  if (in.cylinderName == "-") in.cylinderName.clear();
  in.lockNumber = Trim(FromQString(CylLockEd->text()));
  in.cylinderLength = Trim(FromQString(CylLenEd->text()));
  in.cylinderPosition = Trim(FromQString(CylPosEd->text()));
  if (!db || in.cylinderName.empty()) return in;
  // A cylinder chosen in the list is that cylinder, whatever its length now says.
  const int index = CylCombo->currentIndex();
  if (index >= 0 && CylCombo->itemText(index) == CylCombo->currentText() &&
      IsValidOf(*db, ComboItemId(CylCombo, index), icCylinder)) {
    in.cylinderId = ComboItemId(CylCombo, index);
    in.cylinderChosen = true;
    return in;
  }
  TKeySystemCode code = in.system;
  if (code == 0 && HasOwnSystem(*db, in.building)) code = ksBuildingBase + in.building;
  in.cylinderId = FindCylinderByNameAndLength(*db, code, in.cylinderName, in.cylinderLength);
  return in;
}

bool TFrameDoors::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  if (Trim(FromQString(DoorNameEd->text())).empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(DoorNameEd);
    return false;
  }
  // The views show the data as it is now; the questions come before the write.
  ReloadAndRefresh();
  TDoorInputs in = ReadInputs();
  const bool isNew = EditState == 2 || CurrentId == 0;
  const int32_t existing = isNew ? 0 : CurrentId;
  if (FindOtherDoorInBuilding(*db, in.name, in.building, existing) != 0) {
    ShowError(FrameDoorsText(6) + "\r" + CoreText(119));
    FocusControlIfPossible(DoorNameEd);
    return false;
  }
  if (in.system == ksBuildingBase) {
    ShowError(CoreText(37));
    FocusControlIfPossible(KeysystemCombo);
    return false;
  }
  const bool ownSystem = HasOwnSystem(*db, in.building);
  if (ownSystem && in.system == 0 && AskYesNo(CoreText(38)) == mrYes)
    in.system = ksBuildingBase + in.building;
  if (in.system >= ksBuildingBase && !ownSystem) {
    const int32_t buildingSystem = in.building > 0 ? db->ReadKeySystem(in.building) : 0;
    in.system = buildingSystem > 0 && buildingSystem < ksBuildingBase ? buildingSystem : 0;
    ShowInfo(CoreText(41) + "\r" +
             (in.system > 0 ? CoreTextFmt(40, KeySystemName(*db, in.system)) : CoreText(39)));
  }
  const bool severalCylinders = !MultiCylsGrid->isHidden();
  // A typed name of no cylinder of that system and length makes one.
  const bool newCylinder = !severalCylinders && in.cylinderId == 0 && !in.cylinderName.empty();
  if (newCylinder && in.system == 0) ShowInfo(FrameDoorsText(11));

  std::vector<int32_t> records;
  AddUnique(records, existing);
  if (existing) {
    TItemList old;
    db->ReadLinks(existing, icBuilding, old);
    for (int32_t id : IdsOfList(old)) AddUnique(records, id);
    if (!severalCylinders) {
      db->ReadLinks(existing, icCylinder, old);
      for (int32_t id : IdsOfList(old)) AddUnique(records, id);
    }
  }
  AddUnique(records, in.building);
  if (!severalCylinders) AddUnique(records, in.cylinderId);
  AddUnique(records, keyToLink_);

  enum class TRefusal { None, Blocked, NameTaken, Gone, NotCreated, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, records);
    if (!write.Ok()) {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (existing && !IsValidOf(*db, existing, icDoor)) {
      refusal = TRefusal::Gone;
    } else if (FindOtherDoorInBuilding(*db, in.name, in.building, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else {
      // A building or cylinder deleted meanwhile is not linked.
      const int32_t building = IsValidOf(*db, in.building, icBuilding) ? in.building : 0;
      const int32_t chosen = IsValidOf(*db, in.cylinderId, icCylinder) ? in.cylinderId : 0;
      if (isNew) {
        saved = db->NewRecord(icDoor);
        if (saved != 0 && !write.Include({saved})) saved = 0;
      }
      int32_t cylinder = chosen;
      if (saved != 0 && !severalCylinders && cylinder == 0 && !in.cylinderName.empty()) {
        cylinder = db->NewRecord(icCylinder);
        if (cylinder != 0 && !write.Include({cylinder})) cylinder = 0;
        if (cylinder == 0) saved = 0;
      }
      if (saved == 0) {
        refusal = TRefusal::NotCreated;
      } else {
        // The one building.
        TItemList old;
        db->ReadLinks(saved, icBuilding, old);
        for (int32_t id : IdsOfList(old))
          if (id != building) db->RemoveLinkBoth(saved, id, icBuilding, icDoor);
        if (building > 0 && !db->ReadHasLink(saved, icBuilding, building))
          db->AddLinkBoth(saved, building, icBuilding, icDoor);
        db->SetField(saved, fkName, in.name);
        db->SetField(saved, kFloorField, in.floor);
        db->SetField(saved, kRoomNumberField, in.roomNumber);
        db->SetField(saved, kRoomField, in.room);
        db->SetField(saved, kPositionField, in.position);
        db->SetField(saved, fkKeySystem, in.system > 0 ? std::to_string(in.system) : "");
        db->SetField(saved, fkRemark, in.remark);
        if (!severalCylinders) {
          if (cylinder != 0 && cylinder != chosen) {
            db->SetField(cylinder, fkName, in.cylinderName);
            if (in.system > 0) db->SetField(cylinder, fkKeySystem, std::to_string(in.system));
          }
          // Exactly the chosen cylinder, or none.
          db->ReadLinks(saved, icCylinder, old);
          for (int32_t id : IdsOfList(old))
            if (id != cylinder) db->RemoveLinkBoth(saved, id, icCylinder, icDoor);
          if (cylinder != 0 && !db->ReadHasLink(saved, icCylinder, cylinder))
            db->AddLinkBoth(saved, cylinder, icCylinder, icDoor);
          if (cylinder != 0) {
            db->SetField(cylinder, fkLength, in.cylinderLength);
            db->SetField(cylinder, kPositionField, in.cylinderPosition);
            db->SetField(saved, fkKeySystem, "");
            db->SetField(saved, kCylinderNameField, "");
            db->SetField(saved, fkLength, "");
          } else {
            db->SetField(saved, kCylinderNameField, in.cylinderName);
            db->SetField(saved, fkLength, in.cylinderLength);
          }
        }
        if (keyToLink_ != 0 && IsValidOf(*db, keyToLink_, icKey) &&
            !db->ReadHasLink(keyToLink_, icDoor, saved))
          db->AddLinkBoth(keyToLink_, saved, icDoor, icKey);
        if (!write.Commit()) refusal = TRefusal::NotSaved;
      }
    }
  }
  switch (refusal) {
    case TRefusal::None: break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::NameTaken: TellNameTaken(FrameDoorsText(6), DoorNameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameDoorsText(3)); return false;
    case TRefusal::NotCreated:
    case TRefusal::NotSaved: return false;
  }

  if (isNew) {
    lastBuilding_ = in.building;
    lastSystem_ = in.system;
  }
  keyToLink_ = 0;
  if (existing) db->UnlockItem(existing);
  db->RefreshName(saved);
  CurrentId = saved;
  ShowViewMode();
  FillKeySystemFilter(*db);
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowDoor(saved);
  FocusList();
  return true;
}

// ----- categories -------------------------------------------------------------------------

void TFrameDoors::Categ1Click() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing || RightDenied(rtDoors)) return;
  const int32_t door = CurrentId;
  TItemList linked;
  db->ReadLinks(door, icCategory, linked);
  std::vector<int32_t> chosen = IdsOfList(linked);
  if (!ChooseCategories || !ChooseCategories(chosen)) return;
  std::vector<int32_t> records{door};
  for (int32_t id : IdsOfList(linked)) AddUnique(records, id);
  for (int32_t id : chosen) AddUnique(records, id);
  std::string blocking;
  {
    TStoreWrite write(*db, records);
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (IsValidOf(*db, door, icDoor)) {
      // The fresh links: a category another station added meanwhile is replaced as well.
      TItemList now;
      db->ReadLinks(door, icCategory, now);
      std::vector<int32_t> current = IdsOfList(now);
      if (!write.Include(current)) {
        blocking = write.Blocking();
      } else {
        for (int32_t id : current)
          if (std::find(chosen.begin(), chosen.end(), id) == chosen.end())
            db->RemoveLinkBoth(door, id, icCategory, icDoor);
        for (int32_t id : chosen)
          if (IsValidOf(*db, id, icCategory) && !db->ReadHasLink(door, icCategory, id))
            db->AddLinkBoth(door, id, icCategory, icDoor);
        write.Commit();
      }
    }
  }
  if (blocking == "*")
    ShowLockFailed();
  else if (!blocking.empty())
    db->ShowLockedMessage(blocking, true);
  ShowDoor(door);
}

// ----- list -------------------------------------------------------------------------------

void TFrameDoors::SetListName(int variant) {
  listVariant_ = variant;
  ListnamePure1->setChecked(variant == 0);
  ListnameWithBuilding1->setChecked(variant == 1);
  ListnameWithKS1->setChecked(variant == 2);
  TMiniDB* db = GlueDB();
  if (!db) return;
  db->SetNameFunc(icDoor, variant == 1   ? DoorNameWithBuilding
                          : variant == 2 ? DoorNameWithCylinder
                                         : nullptr);
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
}

void TFrameDoors::SetOnlyMultiCyls(bool on) {
  OnlyDoorsWithMultiCyls1->setChecked(on);
  if (on)
    ListingFrame->Filter = [](int32_t id) {
      TMiniDB* db = GlueDB();
      return db && DoorHasSeveralCylinders(*db, id);
    };
  else
    ListingFrame->Filter = nullptr;
  ListingFrame->Refresh();
}

void TFrameDoors::Count1Click() {
  ShowInfo(CoreTextFmt(102, std::to_string(ListingFrame->Count())));
}

// ----- floor plan -------------------------------------------------------------------------

void TFrameDoors::PlaceFloorPlan() { FloorPlanFrame->setGeometry(ListingFrame->geometry()); }

void TFrameDoors::FloorPlanBtnClick() {
  if (FloorPlanFrame->isVisible()) {
    FloorPlanFrame->hide();
    ListingFrame->show();
    return;
  }
  const int32_t building = GetComboId(HouseCombo, 0);
  if (building <= 0) return;
  PlaceFloorPlan();
  FloorPlanFrame->show();
  FloorPlanFrame->raise();
  ListingFrame->hide();
  FloorPlanFrame->ShowPlan(building, FromQString(FloorEd->text()), this);
}

// ----- printing ---------------------------------------------------------------------------

std::vector<std::string> TFrameDoors::DoorListLines(const TMiniDB& db,
                                                    const std::vector<int32_t>& ids,
                                                    const std::vector<std::string>& columns) {
  auto has = [&columns](const char* caption) {
    return std::find(columns.begin(), columns.end(), caption) != columns.end();
  };
  std::vector<std::string> lines;
  std::string header;
  static const char* const kColumns[] = {"T\xFCr",
                                         "Raum-Nr.",
                                         "Raum",
                                         "Geb\xE4ude",
                                         "Stockwerk",
                                         "Schlie\xDF"
                                         "anlage",
                                         "Position",
                                         "Zylinder",
                                         "Zyl.-L\xE4nge",
                                         "Bemerkung"};
  for (const char* c : kColumns)
    if (has(c)) header += (header.empty() ? "" : "\t") + std::string(c);
  if (header.empty() && !has("Schl\xFCssel")) return lines;
  lines.push_back(header);
  int done = 0;
  for (int32_t door : ids) {
    // A long list keeps the window painted.
    if (++done % 32 == 0) UI().ProcessPendingEvents();
    if (!IsValidOf(db, door, icDoor)) continue;
    const std::vector<int32_t> cylinders = CylindersOfDoor(db, door);
    const int32_t cylinder = cylinders.empty() ? 0 : cylinders.front();
    const int32_t building = db.ReadFirstLink(door, icBuilding);
    const int32_t system = DoorSystemOf(db, door);
    const std::string cells[] = {
        db.GetDisplayName(door),
        db.ReadLineField(door, kRoomNumberField),
        db.ReadLineField(door, kRoomField),
        building > 0 ? db.GetDisplayName(building) : "",
        db.ReadLineField(door, kFloorField),
        system > 0 ? KeySystemName(db, system) : "",
        cylinder ? db.ReadLineField(cylinder, kPositionField)
                 : db.ReadLineField(door, kPositionField),
        cylinder ? db.GetDisplayName(cylinder) : db.ReadLineField(door, kCylinderNameField),
        cylinder ? db.ReadLineField(cylinder, fkLength) : db.ReadLineField(door, fkLength),
        ItemRemarkLine(db, door)};
    std::string line;
    bool first = true;
    for (size_t i = 0; i < std::size(kColumns); ++i)
      if (has(kColumns[i])) {
        line += (first ? "" : "\t") + cells[i];
        first = false;
      }
    lines.push_back(line);
    if (has("Schl\xFCssel"))
      for (const TDoorKeyRow& row : DoorKeyRows(db, door)) {
        std::string keyLine = "\t" + row.name;
        if (!has("Besitzer")) {
          lines.push_back(keyLine);
          continue;
        }
        // Every holder by name (up to 40 characters), the first beside the key, the others
        // on lines of their own below it.
        TItemList persons;
        db.ReadLinks(row.key, icPerson, persons);
        bool first = true;
        for (int32_t j = 0; j < persons.Count(); ++j) {
          if (!IsValidOf(db, persons.Get(j), icPerson)) continue;
          const std::string name = PlainItemName(db, persons.Get(j)).substr(0, 40);
          lines.push_back((first ? keyLine : "\t") + "\t" + name);
          first = false;
        }
        if (first) lines.push_back(keyLine + "\t");
      }
  }
  return lines;
}

void TFrameDoors::PrintMenu() {
  if (RightDenied(rtPrintLists)) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  // The columns are chosen once a run; the dialog keeps the ticks.
  if (printFields_.empty())
    for (const auto& [caption, ticked] :
         std::vector<std::pair<const char*, bool>>{{"T\xFCr", true},
                                                   {"Raum-Nr.", true},
                                                   {"Raum", false},
                                                   {"Geb\xE4ude", true},
                                                   {"Stockwerk", false},
                                                   {"Schlie\xDF"
                                                    "anlage",
                                                    false},
                                                   {"Position", false},
                                                   {"Zylinder", false},
                                                   {"Zyl.-L\xE4nge", false},
                                                   {"Bemerkung", false},
                                                   {"Schl\xFCssel", true},
                                                   {"Besitzer", false}})
      printFields_.push_back({caption, ticked});
  ClearPrintChoices();
  AddPrintChoice(FrameDoorsText(4), 0, CurrentId != 0, false, true);
  AddPrintChoice(FrameDoorsText(5), 1, true, true, true);
  int code = -1;
  if (!ExecutePrintSelect(printFields_, code)) return;
  std::vector<std::string> columns;
  for (const TPrintField& field : printFields_)
    if (field.checked) columns.push_back(field.caption);
  if (columns.empty()) return;
  std::vector<int32_t> ids;
  if (code == 0)
    ids.push_back(CurrentId);
  else
    for (int row = 0; row < ListingFrame->Count(); ++row) AddUnique(ids, ListingFrame->IdAt(row));
  const std::vector<std::string> lines = DoorListLines(*db, ids, columns);
  if (lines.size() > 1) PrintTitledLines("T\xFCren", lines);
}

bool TFrameDoors::PrintPage() {
  PrintMenu();
  return true;
}

// ----- events -----------------------------------------------------------------------------

void TFrameDoors::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  const int top = ListingFrame->y();
  const int listWidth = std::max(150, width() / 2);
  ListingFrame->setGeometry(0, top, std::min(listWidth, width()), ListingFrame->height());
  EdPanel->setGeometry(ListingFrame->width(), top, std::max(0, width() - ListingFrame->width()),
                       EdPanel->height());
  PlaceFloorPlan();
}

void TFrameDoors::CylLabelClick() {
  if (Trim(FromQString(CylCombo->currentText())).empty()) {
    ShowPage(pgCylinders, true);
    return;
  }
  const int32_t cylinder = ReadInputs().cylinderId;
  if (cylinder != 0) GotoItem(cylinder, true);
}

void TFrameDoors::LockLabelClick() {
  ShowStockList(icCylinder, ksAll, 0, "", Trim(FromQString(CylLockEd->text())));
  SelectFromStockList();
}

bool TFrameDoors::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == CylLabel) {
      CylLabelClick();
      return true;
    }
    if (watched == LockLabel) {
      LockLabelClick();
      return true;
    }
  }
  if (watched == CylCombo && event->type() == QEvent::FocusIn && Editing) FillCylCombo();
  // Only the persons column depends on the grid's width; the others on the rows.
  if (watched == KeysGrid->viewport() && event->type() == QEvent::Resize)
    StretchKeysPersonsColumn();
  return TFrameMother::eventFilter(watched, event);
}

// =======================================================================================
// Registration

void RegisterDoorsView() {
  RegisterViewFactory(pgDoors, [](QWidget* page) {
    auto* view = new TFrameDoors(page);
    view->PlaceIn(page);
    RegisterView(pgDoors, &view->GlueView());
  });
}

void TFrameDoors::TermsChanged() { FillOwnSystemCombo(KeysystemCombo, WinText(3)); }

void TFrameDoors::ViewCall(int command, int32_t id) {
  TMiniDB* db = GlueDB();
  if (command != kCmdNew || !db || !IsValidOf(*db, id, icKey)) return;
  // A door for a key: named as the key, in its system (the building's own when it has none),
  // the key linked to it when the door is saved.
  const std::string name = Trim(db->GetName(id) + " " + db->GetField(id, fkSecondName));
  const int32_t system = db->ReadKeySystem(id);
  NewDoor(name, system != 0 ? system : ksBuildingBase, id);
}
