#include "app/ListFillUnit.h"

#include <algorithm>

#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/GlueStateUnit.h"
#include "app/ViewRegistryUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

namespace {

int ComboIndexOfObject(const QComboBox* combo, int32_t id) {
  for (int i = 0; i < combo->count(); ++i)
    if (ComboItemId(combo, i) == id) return i;
  return -1;
}

void FillComboFrom(QComboBox* combo, const TQStringList& list) {
  const QSignalBlocker block(combo);
  combo->clear();
  for (const TStringItem& item : list.Items())
    AddComboItem(combo, item.text, static_cast<int32_t>(item.object));
}

std::vector<int32_t> IdsOf(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

// Paints list rows: alternating colours, the part after a TAB right-aligned.
class TListRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QWidget* list = option.widget;
    QColor back = Qt::white;
    QColor fore = Qt::black;
    if (list && !list->isEnabled()) {
      back = list->palette().color(QPalette::Disabled, QPalette::Base);
      fore = list->palette().color(QPalette::Disabled, QPalette::Text);
    } else if (option.state & QStyle::State_Selected) {
      back = ColorFromBgr(0x800000);
      fore = Qt::white;
    } else if (index.row() % 2 == 1) {
      back = ColorFromBgr(0xF0FFE8);
    }
    painter->save();
    painter->fillRect(option.rect, back);
    painter->setPen(fore);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int tab = text.indexOf(QLatin1Char('\t'));
    const int rowHeight = option.fontMetrics.height() + 2;
    QRect rect = option.rect.adjusted(2, 0, -2, 0);
    rect.setHeight(std::min(rect.height(), rowHeight));
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    painter->drawText(rect, flags | Qt::AlignLeft, tab < 0 ? text : text.left(tab));
    if (tab >= 0)
      painter->drawText(rect, flags | Qt::AlignRight, text.mid(tab + 1, 126));
    painter->restore();
  }
};

}  // namespace

int32_t SelectedListId(const QListWidget* list) {
  return list->currentRow() >= 0 ? ListItemId(list, list->currentRow()) : 0;
}

void SelectListId(QListWidget* list, int32_t id) {
  for (int i = 0; i < list->count(); ++i) {
    if (ListItemId(list, i) == id) {
      list->setCurrentRow(i);
      return;
    }
  }
}

void BuildLockingSystemList() {
  TWinGlue& g = WinGlue();
  TMiniDB* db = GlueDB();
  TQStringList a;
  a.AddObject("-", ksNone);
  a.AddObject(WinText(2), ksBuildingBase);
  for (TKeySystemCode code = ksFirstNamed; code <= ksLastNamed; ++code) {
    const std::string name = KeySystemTableName(code);
    if (!name.empty()) a.AddObject(name, code);
  }
  if (IView* view = ViewOf(pgBuildings))
    if (QComboBox* combo = view->SystemCombo()) RefillComboKeepId(combo, a);
  a.Put(1, WinText(3));
  if (IView* view = ViewOf(pgDoors))
    if (QComboBox* combo = view->SystemCombo()) RefillComboKeepId(combo, a);
  a.Delete(0);
  a.Delete(0);

  TQStringList& shared = g.LockingSystems;
  shared.Clear();
  shared.SetSorted(true);
  shared.SetDuplicates(dupAccept);
  if (db) {
    TItemList buildings;
    db->ListClassValid(icBuilding, buildings);
    for (int32_t id : IdsOf(buildings))
      if (Trim(db->ReadLineField(id, fkKeySystem)) == "1001")
        shared.AddObject(db->GetDisplayName(id), ksBuildingBase + id);
  }
  shared.SetSorted(false);
  for (const TStringItem& item : a.Items()) shared.AddObject(item.text, item.object);
  shared.InsertObject(0, "-", ksNone);
  for (int page : {pgKeys, pgCylinders, pgGroups})
    if (IView* view = ViewOf(page))
      if (QComboBox* combo = view->SystemCombo()) RefillComboKeepId(combo, shared);

  TQStringList filter = shared;
  filter.Put(0, WinText(16));
  filter.InsertObject(0, WinText(17), ksAll);
  for (int page : {pgKeys, pgCylinders, pgGroups, pgCabinets})
    if (IView* view = ViewOf(page))
      if (QComboBox* combo = view->SystemFilterCombo()) RefillComboKeepId(combo, filter);
  g.LockingSystemsBuilt = true;
}

TQStringList BuildingFilterChoices() {
  TQStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  if (TMiniDB* db = GlueDB()) {
    TItemList buildings;
    db->ListClassValid(icBuilding, buildings);
    for (int32_t id : IdsOf(buildings)) list.AddObject(db->GetDisplayName(id), id);
  }
  list.SetSorted(false);
  list.InsertObject(0, CoreText(71), 0);
  list.InsertObject(1, CoreText(72), ksAll);
  return list;
}

void RefillBuildingFilter(QComboBox* combo, const TQStringList& choices) {
  if (!combo) return;
  const bool chosen = combo->currentIndex() >= 0;
  RefillComboKeepId(combo, choices);
  // Here the all-code means "without building": a first fill lists every building.
  if (!chosen) SelectComboById(combo, 0);
}

void BuildBuildingList() {
  TQStringList& list = WinGlue().Buildings;
  list = BuildingFilterChoices();
  for (int page : {pgDoors, pgPersons})
    if (IView* view = ViewOf(page)) RefillBuildingFilter(view->BuildingFilterCombo(), list);
}

const TQStringList& LockingSystemList() { return WinGlue().LockingSystems; }
const TQStringList& BuildingList() { return WinGlue().Buildings; }

namespace {

// Sorted names of the valid records (and of `selectId` always).
TQStringList SortedNames(const TItemList& ids, int32_t selectId) {
  TQStringList names;
  names.SetSorted(true);
  names.SetDuplicates(dupAccept);
  TMiniDB* db = GlueDB();
  if (!db) return names;
  for (int32_t id : IdsOf(ids))
    if (db->IsValid(id) || (id == selectId && db->HasRecord(id)))
      names.AddObject(db->GetDisplayName(id), id);
  return names;
}

}  // namespace

void FillListFromItemList(QComboBox* combo, const TItemList& ids, bool withDash,
                          int32_t selectId) {
  if (!combo) return;
  if (selectId == ksAll) selectId = GetComboId(combo, 0);
  TQStringList names = SortedNames(ids, selectId);
  names.SetSorted(false);
  if (withDash) names.InsertObject(0, "-", 0);
  FillComboFrom(combo, names);
  const int index = ComboIndexOfObject(combo, selectId);
  combo->setCurrentIndex(index >= 0 ? index : (combo->count() > 0 ? 0 : -1));
}

void FillListFromItemList(QListWidget* list, const TItemList& ids, bool withDash,
                          int32_t selectId) {
  if (!list) return;
  if (selectId == ksAll) selectId = SelectedListId(list);
  TQStringList names = SortedNames(ids, selectId);
  const QSignalBlocker block(list);
  list->clear();
  if (withDash) AddListItem(list, "-", 0);
  for (const TStringItem& item : names.Items())
    AddListItem(list, item.text, static_cast<int32_t>(item.object));
  list->setCurrentRow(list->count() > 0 ? 0 : -1);
  SelectListId(list, selectId);
}

void FillComboWithType(QComboBox* combo, int itemClass, int32_t selectId) {
  TItemList ids;
  if (TMiniDB* db = GlueDB()) db->ListClass(itemClass, ids);
  FillListFromItemList(combo, ids, false, selectId);
}

void FillComboWithBuildings(QComboBox* combo, int32_t selectId, int32_t keySystem) {
  TItemList ids;
  if (TMiniDB* db = GlueDB()) {
    TItemList all;
    db->ListClass(icBuilding, all);
    for (int32_t id : IdsOf(all)) {
      if (keySystem != 0) {
        int32_t code = db->ReadKeySystem(id);
        if (code == ksBuildingBase) code = ksBuildingBase + id;
        if (code != keySystem) continue;
      }
      ids.Add(id);
    }
  }
  FillListFromItemList(combo, ids, false, selectId);
}

void FillLockingSystemCombo(QComboBox* combo, bool withDash) {
  if (!combo) return;
  if (!WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
  TQStringList list = WinGlue().LockingSystems;
  if (!withDash && list.Count() > 1) list.Delete(0);
  if (list.Empty()) list.AddObject("-", 0);
  RefillComboKeepId(combo, list);
}

void SelectComboObject(QComboBox* combo, int32_t id) {
  if (!combo) return;
  int index = ComboIndexOfObject(combo, id);
  if (index < 0 && id > 1000) index = ComboIndexOfObject(combo, ksBuildingBase);
  combo->setCurrentIndex(index);
}

int32_t GetComboObjectId(const QComboBox* combo, int32_t defaultId) {
  if (!combo) return defaultId;
  if (combo->currentIndex() < 0)
    return combo->count() > 0 && ComboItemId(combo, 0) == ksAll ? ksAll : 0;
  const int32_t id = ComboItemId(combo, combo->currentIndex());
  return id == ksBuildingBase ? defaultId : id;
}

void RefillComboKeepId(QComboBox* combo, const TQStringList& list) {
  if (!combo || list.Empty()) return;
  const bool hadSelection = combo->currentIndex() >= 0;
  const int32_t previous = GetComboId(combo, 0);
  FillComboFrom(combo, list);
  if (hadSelection) {
    SelectComboById(combo, previous);
  } else {
    const int all = ComboIndexOfObject(combo, ksAll);
    combo->setCurrentIndex(all >= 0 ? all : 0);
  }
}

void SelectComboById(QComboBox* combo, int32_t id) {
  if (!combo) return;
  const int index = ComboIndexOfObject(combo, id);
  combo->setCurrentIndex(index >= 0 ? index : (combo->count() > 0 ? 0 : -1));
}

int32_t FindLockingSystemByName(const std::string& name) {
  if (!WinGlue().LockingSystemsBuilt) BuildLockingSystemList();
  const std::string wanted = AnsiUpperCase(Trim(name));
  if (wanted.empty()) return 0;
  for (const TStringItem& item : WinGlue().LockingSystems.Items())
    if (AnsiUpperCase(Trim(item.text)) == wanted) return static_cast<int32_t>(item.object);
  return 0;
}

void FillItemTypeCombo(QComboBox* combo) {
  if (!combo) return;
  const QSignalBlocker block(combo);
  combo->clear();
  AddComboItem(combo, KeyCaption(), 0x40000001);
  AddComboItem(combo, CoreText(120), 9);
  AddComboItem(combo, CoreText(94), 0x40000002);
  AddComboItem(combo, CoreText(1), 0x40000003);
  AddComboItem(combo, CoreText(6), 0x40000004);
  AddComboItem(combo, IssuedOnCaption(), 0x40000005);
  AddComboItem(combo, CoreText(109), 0x40000006);
  AddComboItem(combo, CabinetCaption(), 7);
  AddComboItem(combo, CoreText(99), 8);
}

int32_t ListItemId(const QListWidget* list, int row) {
  if (!list || row < 0 || row >= list->count()) return 0;
  return static_cast<int32_t>(list->item(row)->data(Qt::UserRole).toInt());
}

void AddListItem(QListWidget* list, const std::string& text, int32_t id) {
  auto* item = new QListWidgetItem(ToQString(text));
  item->setData(Qt::UserRole, QVariant(static_cast<qint32>(id)));
  list->addItem(item);
}

void SyncCheckedItems(const QListWidget* list, TItemList& ids) {
  if (!list) return;
  for (int row = 0; row < list->count(); ++row) {
    const int32_t id = ListItemId(list, row);
    if (id == 0) continue;
    const bool checked = list->item(row)->checkState() == Qt::Checked;
    const int32_t index = ids.IndexOf(id);
    if (checked && index < 0) ids.Add(id);
    if (!checked && index >= 0) {
      for (int32_t i = ids.Count() - 1; i >= 0; --i)
        if (ids.Get(i) == id) ids.Delete(i);
    }
  }
}

void InstallListRowPainter(QListWidget* list) {
  if (list) list->setItemDelegate(new TListRowDelegate(list));
}
