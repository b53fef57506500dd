#include "app/ListingFrameUnit.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTableWidget>

#include "app/ListFillUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/ViewOptionsUnit.h"

// =======================================================================================
// The model

TItemListModel::TItemListModel(QObject* parent) : QAbstractListModel(parent) {}

int TItemListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

QVariant TItemListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return {};
  const TListedRow& row = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(std::string(row.Text()));
    case Qt::UserRole:
      return QVariant(static_cast<qint32>(row.id));
    case Qt::CheckStateRole:
      if (!checkable_ || row.id == 0) return {};
      return checked_[static_cast<size_t>(index.row())] ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

Qt::ItemFlags TItemListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (checkable_ && IdAt(index.row()) != 0) result |= Qt::ItemIsUserCheckable;
  return result;
}

bool TItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || !checkable_) return false;
  if (IdAt(index.row()) == 0) return false;
  SetChecked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

void TItemListModel::SetRows(std::vector<TListRow> rows, std::vector<bool> checked) {
  // The rows point into the strings they came with, which stay put inside `owned`.
  auto owned = std::make_shared<std::vector<TListRow>>(std::move(rows));
  beginResetModel();
  rows_.clear();
  rows_.reserve(owned->size());
  for (const TListRow& row : *owned)
    rows_.push_back({row.text.data(), static_cast<uint32_t>(row.text.size()), row.id});
  texts_ = std::move(owned);
  checked_ = std::move(checked);
  checked_.resize(rows_.size(), false);
  endResetModel();
}

void TItemListModel::ShowRows(TSearchListRows& rows) {
  const size_t room = rows.rows.capacity();
  beginResetModel();
  rows_.swap(rows.rows);
  texts_.swap(rows.texts);
  checked_.assign(rows_.size(), false);
  endResetModel();
  // The buffer handed back has as much room as the one taken, written once, so that the
  // next fill does not meet memory the process never touched.
  if (rows.rows.capacity() < room) rows.rows.resize(room);
  rows.rows.clear();
  rows.texts.reset();
}

TListRow TItemListModel::Row(int row) const {
  const TListedRow& at = rows_[static_cast<size_t>(row)];
  return {std::string(at.Text()), at.id};
}

void TItemListModel::Clear() { SetRows({}); }

int32_t TItemListModel::IdAt(int row) const {
  return row >= 0 && row < Count() ? rows_[static_cast<size_t>(row)].id : 0;
}

int TItemListModel::RowOfId(int32_t id) const {
  for (int i = 0; i < Count(); ++i)
    if (rows_[static_cast<size_t>(i)].id == id) return i;
  return -1;
}

void TItemListModel::SetCheckable(bool on) {
  if (checkable_ == on) return;
  beginResetModel();
  checkable_ = on;
  endResetModel();
}

bool TItemListModel::Checked(int row) const {
  return checkable_ && row >= 0 && row < Count() && IdAt(row) != 0 &&
         checked_[static_cast<size_t>(row)];
}

void TItemListModel::SetChecked(int row, bool on) {
  if (row < 0 || row >= Count() || IdAt(row) == 0) return;
  if (checked_[static_cast<size_t>(row)] == on) return;
  checked_[static_cast<size_t>(row)] = on;
  const QModelIndex at = index(row);
  emit dataChanged(at, at, {Qt::CheckStateRole});
}

void TItemListModel::SetAllChecked(bool on) {
  if (rows_.empty()) return;
  for (size_t i = 0; i < rows_.size(); ++i) checked_[i] = on && rows_[i].id != 0;
  emit dataChanged(index(0), index(Count() - 1), {Qt::CheckStateRole});
}

// =======================================================================================
// Row drawing

namespace {

constexpr int kTextInset = 2;
constexpr int kRightPartGap = 8;
constexpr int kCheckBoxWidth = 18;

QRect CheckRect(const QRect& cell) {
  const int side = std::min(13, cell.height() - 2);
  return QRect(cell.left() + kTextInset, cell.top() + (cell.height() - side) / 2, side, side);
}

}  // namespace

TRecordRowDelegate::TRecordRowDelegate(QObject* parent, int rowHeight)
    : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

void TRecordRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  painter->save();
  const QRect cell = option.rect;
  const bool enabled = option.state & QStyle::State_Enabled;
  const bool selected = enabled && (option.state & QStyle::State_Selected);
  QColor background;
  QColor textColor = option.palette.color(QPalette::Text);
  if (!enabled) {
    background = option.palette.color(QPalette::Base);
    textColor = option.palette.color(QPalette::Disabled, QPalette::Text);
  } else if (selected) {
    background = ColorFromBgr(clListSelected);
    textColor = ColorFromBgr(clListSelectedText);
  } else {
    // A cell that marks its value (a stock below its minimum) keeps its own colour.
    const QVariant own = index.data(Qt::BackgroundRole);
    background = own.canConvert<QBrush>() && own.value<QBrush>().style() != Qt::NoBrush
                     ? own.value<QBrush>().color()
                     : ColorFromBgr(index.row() % 2 == 0 ? clListRowEven : clListRowOdd);
    textColor = Qt::black;
  }
  QRect band = cell;
  if (groupGaps_ && cell.height() > NormalHeight(option)) {
    band.setHeight(NormalHeight(option));
    painter->fillRect(cell, option.palette.color(QPalette::Base));
  }
  painter->fillRect(band, background);

  int left = cell.left() + kTextInset;
  const QVariant check = index.data(Qt::CheckStateRole);
  if (check.isValid()) {
    QStyleOptionButton box;
    box.rect = CheckRect(band);
    box.state = (check.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off) |
                (enabled ? QStyle::State_Enabled : QStyle::State_None);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (style) style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
    left += kCheckBoxWidth;
  }

  painter->setPen(textColor);
  painter->setFont(option.font);
  const QString text = index.data(Qt::DisplayRole).toString();
  const int tab = text.indexOf(QLatin1Char('\t'));
  const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
  QRect textRect(left, band.top(), band.right() - kTextInset - left + 1, band.height());
  if (tab < 0) {
    painter->drawText(textRect, flags | Qt::AlignLeft, text);
  } else {
    const QString head = text.left(tab);
    const QString tail = text.mid(tab + 1, kRightPartMaxChars);
    painter->drawText(textRect, flags | Qt::AlignLeft, head);
    const int headEnd = left + option.fontMetrics.horizontalAdvance(head) + kRightPartGap;
    QRect tailRect(headEnd, band.top(), band.right() - kTextInset - headEnd + 1, band.height());
    if (tailRect.width() > 0) painter->drawText(tailRect, flags | Qt::AlignRight, tail);
  }
  painter->restore();
}

int TRecordRowDelegate::NormalHeight(const QStyleOptionViewItem& option) const {
  return std::max(rowHeight_, option.fontMetrics.height() + 2);
}

bool TRecordRowDelegate::EndsGroup(const QModelIndex& index) {
  const QModelIndex next = index.siblingAtRow(index.row() + 1);
  if (!next.isValid()) return false;
  auto groupOf = [](const QModelIndex& at) {
    const QString text = at.data(Qt::DisplayRole).toString();
    const int tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : text.mid(tab + 1);
  };
  return groupOf(index) != groupOf(next);
}

QSize TRecordRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  const QSize base = QStyledItemDelegate::sizeHint(option, index);
  const int normal = NormalHeight(option);
  return QSize(base.width(), groupGaps_ && EndsGroup(index) ? normal / 4 * 7 : normal);
}

bool TRecordRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                     const QStyleOptionViewItem& option,
                                     const QModelIndex& index) {
  if (!(model->flags(index) & Qt::ItemIsUserCheckable)) return false;
  bool toggle = false;
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    toggle = mouse->button() == Qt::LeftButton &&
             mouse->position().toPoint().x() < option.rect.left() + kTextInset + kCheckBoxWidth;
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    toggle = key == Qt::Key_Space || key == Qt::Key_Select;
  }
  if (!toggle) return false;
  const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
  return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

// =======================================================================================
// The head

namespace {

constexpr int kComboGap = 12;

QLabel* MakeLabel(QWidget* parent, const char* text) {
  auto* label = new QLabel(ToQString(text), parent);
  label->adjustSize();
  return label;
}

QComboBox* MakeCombo(QWidget* parent, bool editable, const char* hint) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(editable);
  if (editable) {
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
  }
  combo->setToolTip(ToQString(hint));
  return combo;
}

}  // namespace

TListingHead::TListingHead(QWidget* parent) : QFrame(parent) {
  TopPanel = new QFrame(this);
  TopPanel->setFrameShape(QFrame::StyledPanel);
  CaptionLabel = MakeLabel(TopPanel, "Name");
  CaptionLabel->move(4, 6);
  InHouseLabel = MakeLabel(TopPanel, "in");
  InSysLabel = MakeLabel(TopPanel, "von");
  SeekCombo = MakeCombo(TopPanel, true, "Suchbegriff eingeben: Name oder Bestandteil suchen");
  SeekCombo->move(CaptionLabel->x() + CaptionLabel->width() + kComboGap, 2);
  HouseCombo = MakeCombo(TopPanel, false,
                         "nach Geb\xE4ude einschr\xE4nken: Geb\xE4ude ausw\xE4hlbar");
  SysCombo = MakeCombo(TopPanel, false,
                       "nach Schlie\xDF" "anlage einschr\xE4nken: Schlie\xDF" "anlage ausw\xE4hlbar");
  SysCombo->hide();
  InSysLabel->hide();

  ListingPopup = new QMenu(this);
  SeekBuildings1 = ListingPopup->addAction(ToQString("nach Geb\xE4ude einschr\xE4nken"));
  SeekBuildings1->setCheckable(true);
  SeekBuildings1->setVisible(false);
  connect(SeekBuildings1, &QAction::triggered, this, [this] { SeekBuildings1Click(); });
  connect(ListingPopup, &QMenu::aboutToShow, this, [this] { ListingPopupPopup(); });
  TopPanel->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(TopPanel, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ListingPopup->popup(TopPanel->mapToGlobal(at)); });

  // The grey text lies over the empty search box; a click on it goes to the box.
  PlaceholderPanel = new QLabel(TopPanel);
  PlaceholderPanel->setAutoFillBackground(true);
  QPalette palette = PlaceholderPanel->palette();
  palette.setColor(QPalette::Window, SeekCombo->palette().color(QPalette::Base));
  palette.setColor(QPalette::WindowText, ColorFromBgr(clPlaceholderText));
  PlaceholderPanel->setPalette(palette);
  PlaceholderPanel->move(PlaceholderPanel->x(), 4);
  PlaceholderPanel->resize(PlaceholderPanel->width(), std::max(1, SeekCombo->height() - 6));
  PlaceholderPanel->installEventFilter(this);

  connect(SeekCombo, &QComboBox::editTextChanged, this, [this] { SeekComboChange(); });
  connect(HouseCombo, &QComboBox::currentIndexChanged, this, [this] { HouseComboChange(); });
  connect(SysCombo, &QComboBox::currentIndexChanged, this, [this] { SysComboChange(); });
  UpdatePlaceholder();
}

void TListingHead::UpdatePlaceholder() {
  PlaceholderPanel->setText(ToQString("<" + MLTranslate("Suchbegriff") + ">"));
  ArrangePlaceholder();
}

void TListingHead::TermsChanged() {
  // The search box's first offer is "show all" (object 0); the others are names.
  if (SeekCombo->count() > 0 && ComboItemId(SeekCombo, 0) == 0) {
    const QSignalBlocker block(SeekCombo);
    SeekCombo->setItemText(0, ToQString(ShowAllText()));
  }
  UpdatePlaceholder();
}

void TListingHead::ArrangePlaceholder() {
  // The title takes the room of its text, whatever a view or a translation set since.
  for (QLabel* label : {CaptionLabel, InHouseLabel, InSysLabel}) label->adjustSize();
  const int x = CaptionLabel->x() + CaptionLabel->width() + kComboGap;
  if (SeekCombo->x() != x)
    for (QComboBox* combo : {SeekCombo, HouseCombo, SysCombo}) combo->move(x, combo->y());
  // The width runs from the box's present left edge, as the layout always did.
  const int w = std::max(0, width() - SeekCombo->x());
  for (QComboBox* combo : {SeekCombo, HouseCombo, SysCombo})
    combo->setGeometry(x, combo->y(), w, combo->height());
  // Half the box, or what its text needs up to the box's arrow.
  const int text = PlaceholderPanel->fontMetrics().horizontalAdvance(PlaceholderPanel->text()) + 4;
  const int arrow = SeekCombo->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
  const int panel = std::max(w / 2, std::min(text, w - 8 - arrow));
  PlaceholderPanel->setGeometry(x + 8, PlaceholderPanel->y(), panel, PlaceholderPanel->height());
  PlaceholderPanel->setVisible(!SeekCombo->isHidden() && SeekCombo->currentText().isEmpty());
  PlaceholderPanel->raise();
}

void TListingHead::FrameResize() {
  int y = SeekCombo->y() + SeekCombo->height();
  if (!HouseCombo->isHidden()) {
    HouseCombo->move(HouseCombo->x(), y);
    InHouseLabel->move(4, y + 2);
    y += HouseCombo->height();
  }
  InHouseLabel->setVisible(!HouseCombo->isHidden());
  if (!SysCombo->isHidden()) {
    SysCombo->move(SysCombo->x(), y);
    InSysLabel->move(4, y + 2);
    y += SysCombo->height();
  }
  InSysLabel->setVisible(!SysCombo->isHidden());
  TopPanel->setGeometry(0, 0, width(), y + 2);
  if (QWidget* body = Body()) body->setGeometry(0, y + 2, width(), std::max(0, height() - y - 2));
  ArrangePlaceholder();
}

void TListingHead::SeekComboChange() {
  PlaceholderPanel->setVisible(!SeekCombo->isHidden() && SeekCombo->currentText().isEmpty());
  if (SeekCombo->isEnabled() && SeekTag == 0) Refresh();
}

void TListingHead::HouseComboChange() {
  if (HouseCombo->isEnabled()) Refresh();
}

void TListingHead::SysComboChange() {
  if (SysCombo->isEnabled()) Refresh();
}

void TListingHead::SeekBuildings1Click() {
  // A triggered checkable action has already toggled itself.
  if (!SeekBuildings1->isChecked()) {
    HouseCombo->setCurrentIndex(HouseCombo->count() > 0 ? 0 : -1);
    HouseCombo->hide();
  } else {
    HouseCombo->show();
  }
  FrameResize();
}

void TListingHead::ListingPopupPopup() {
  SeekBuildings1->setVisible(PopupFlag != 0);
  SeekBuildings1->setChecked(!HouseCombo->isHidden());
}

QComboBox* TListingHead::SearchBox() const {
  return SeekCombo->isHidden() ? nullptr : SeekCombo;
}

int32_t TListingHead::BuildingFilter() const {
  if (HouseCombo->isHidden() || HouseCombo->currentIndex() < 0) return 0;
  return ComboItemId(HouseCombo, HouseCombo->currentIndex());
}

int32_t TListingHead::SystemFilter() const {
  if (SysCombo->isHidden()) return ksAll;
  return GetComboObjectId(SysCombo, ksAll);
}

void TListingHead::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FrameResize();
}

bool TListingHead::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PlaceholderPanel && event->type() == QEvent::MouseButtonPress) {
    FocusControlIfPossible(SeekCombo);
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

void ApplyListingFilters(TMiniDB& db, TItemList& ids, int32_t buildingFilter,
                         const std::function<bool(int32_t)>& filter) {
  if (buildingFilter == 0 && !filter) return;
  TItemList kept;
  kept.SetCapacity(ids.Count());
  for (int32_t i = 0; i < ids.Count(); ++i) {
    const int32_t id = ids.Get(i);
    if (buildingFilter != 0) {
      const int32_t building = GetBuildingOf(db, id);
      if (buildingFilter == ksAll ? building != 0 : building != buildingFilter) continue;
    }
    if (filter && !filter(id)) continue;
    kept.Add(id);
  }
  ids = std::move(kept);
}

// =======================================================================================
// The listing

namespace {

// The search box offers the name beginnings shared by several records; its text stays.
void OfferSuggestions(QComboBox* combo, const TQStringList& suggestions) {
  const QSignalBlocker block(combo);
  const QString text = combo->currentText();
  combo->clear();
  for (const TStringItem& item : suggestions.Items())
    AddComboItem(combo, item.text, static_cast<int32_t>(item.object));
  combo->setCurrentIndex(-1);
  if (combo->isEditable()) combo->setEditText(text);
}

}  // namespace

TListingFrame::TListingFrame(QWidget* parent) : TListingHead(parent) {
  Model = new TItemListModel(this);
  ListBox = new QListView(this);
  ListBox->setModel(Model);
  ListBox->setItemDelegate(new TRecordRowDelegate(ListBox));
  ListBox->setUniformItemSizes(true);
  ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListBox->setContextMenuPolicy(Qt::CustomContextMenu);
  ListBox->viewport()->installEventFilter(this);
  // The click follows the selection, not the current row: a mouse press makes the row
  // current before it selects it, so a click read at the current-row change would show the
  // row selected before (and a row that was current already, such as the one row of a
  // single-entry list, would show nothing).
  connect(ListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!selecting_ && SelectedRow() >= 0 && OnClick) OnClick();
  });
  connect(ListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    (ListMenu ? ListMenu : ListingPopup)->popup(ListBox->viewport()->mapToGlobal(at));
  });
  FrameResize();
}

void TListingFrame::Setup(uint8_t itemType, uint8_t itemType2, int width, int height) {
  ItemType = itemType;
  ItemType2 = itemType2;
  if (width > 0) resize(width, this->height());
  if (height > 0) resize(this->width(), height);
}

void TListingFrame::Refresh() {
  const int mine = ++RefreshCounter;
  QComboBox* search = SearchBox();
  TMiniDB* db = GlueDB();
  if (!db) return;
  TItemList& ids = ids_;
  db->ListClassValid(ItemType, ids);
  if (ItemType2 != 0) {
    db->ListClassValid(ItemType2, secondIds_);
    ids.EnsureCapacity(ids.Count() + secondIds_.Count());
    ids.AddList(secondIds_);
  }
  ApplyListingFilters(*db, ids, BuildingFilter(), Filter);
  const int32_t systemFilter = SystemFilter();
  UI().ProcessPendingEvents();
  if (RefreshCounter != mine) return;  // a newer refresh filled the list meanwhile

  const int32_t selected = SelectedId();
  // The list's own setting, not the effective one: a refresh while the view is disabled
  // (editing) must not leave the list disabled once the view is enabled again.
  const bool wasEnabled = !ListBox->testAttribute(Qt::WA_ForceDisabled);
  const QPalette own = ListBox->palette();
  QPalette waiting = own;
  waiting.setColor(QPalette::Base, palette().color(QPalette::Window));
  ListBox->setEnabled(false);
  ListBox->setPalette(waiting);
  TQStringList suggestions;
  const bool filled = FillSearchRows(listCache_, ItemType, ids,
                                     search ? FromQString(search->currentText()) : std::string(),
                                     search ? &suggestions : nullptr, &RefreshCounter, systemFilter,
                                     ListOption, false, Formatter, spareRows_);
  ListBox->setPalette(own);
  ListBox->setEnabled(wasEnabled);
  if (!filled || RefreshCounter != mine) return;
  {
    selecting_ = true;
    ApplyGroupGaps();
    Model->ShowRows(spareRows_);
    const int row = Model->RowOfId(selected);
    if (row >= 0) ListBox->setCurrentIndex(Model->index(row));
    selecting_ = false;
  }
  if (search) OfferSuggestions(search, suggestions);
  ++FillCount;
}

void TListingFrame::FrameResize() { TListingHead::FrameResize(); }

void TListingFrame::SetGroupGaps(bool on) {
  groupGaps_ = on;
  ApplyGroupGaps();
}

void TListingFrame::ApplyGroupGaps() {
  const bool byClosing = (ItemType == icKey || ItemType == icCylinder) &&
                         ViewOptions().variant[static_cast<size_t>(ItemType)] == 2;
  const bool on = groupGaps_ || byClosing;
  auto* rows = dynamic_cast<TRecordRowDelegate*>(ListBox->itemDelegate());
  if (!rows || rows->GroupGaps() == on) return;
  rows->SetGroupGaps(on);
  // Rows of different heights: the view asks every row for its height.
  ListBox->setUniformItemSizes(!on);
  ListBox->doItemsLayout();
}

void TListingFrame::SelectFirst() {
  if (SelectedRow() < 0 && Count() > 0) SelectRow(0, true);
}

int TListingFrame::Count() const { return Model->Count(); }
int32_t TListingFrame::IdAt(int row) const { return Model->IdAt(row); }

int TListingFrame::SelectedRow() const {
  const QModelIndexList rows = ListBox->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

int32_t TListingFrame::SelectedId() const { return Model->IdAt(SelectedRow()); }

void TListingFrame::SelectId(int32_t id) { SelectRow(Model->RowOfId(id), false); }

void TListingFrame::ClearSelection() { SelectRow(-1, false); }

void TListingFrame::SelectRow(int row, bool click) {
  selecting_ = true;
  if (row < 0) {
    ListBox->selectionModel()->clear();
  } else {
    ListBox->setCurrentIndex(Model->index(row));
    ListBox->scrollTo(Model->index(row));
  }
  selecting_ = false;
  if (click && row >= 0 && OnClick) OnClick();
}

QWidget* TListingFrame::Body() const { return ListBox; }

bool TListingFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      // The record under the mouse is shown before the pop-up opens, so the pop-up's
      // commands act on it; on empty space nothing stays selected.
      const QModelIndex at = ListBox->indexAt(mouse->position().toPoint());
      if (at.isValid()) SelectRow(at.row(), true);
      else ClearSelection();
      return false;
    }
  }
  return TListingHead::eventFilter(watched, event);
}

// =======================================================================================
// The grid listing

TListingGridFrame::TListingGridFrame(QWidget* parent) : TListingHead(parent) {
  Grid = new QTableWidget(this);
  Grid->setColumnCount(3);
  Grid->verticalHeader()->hide();
  Grid->verticalHeader()->setDefaultSectionSize(20);
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setShowGrid(true);
  Grid->setItemDelegate(new TRecordRowDelegate(Grid, 20));
  Grid->horizontalHeader()->setSectionsMovable(false);
  Grid->setContextMenuPolicy(Qt::CustomContextMenu);
  InstallGridHeaderSort(Grid);
  Grid->viewport()->installEventFilter(this);
  connect(Grid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ListingPopup->popup(Grid->viewport()->mapToGlobal(at)); });
  EmptyGrid();
  FrameResize();
}

void TListingGridFrame::EmptyGrid() {
  GridClear(Grid);
  // The one empty row is no record: nothing looks chosen.
  GridClearSelection(Grid);
}

bool TListingGridFrame::FillHouseCombo() {
  const int32_t before = BuildingFilter();
  const QSignalBlocker block(HouseCombo);
  RefillBuildingFilter(HouseCombo, BuildingFilterChoices());
  return BuildingFilter() != before;
}

void TListingGridFrame::Fill() {
  const int mine = ++RefreshCounter;
  QComboBox* search = SearchBox();
  TItemList ids;
  if (OnGetIds) OnGetIds(ids);
  if (TMiniDB* db = GlueDB()) ApplyListingFilters(*db, ids, BuildingFilter(), nullptr);
  const int32_t systemFilter = SystemFilter();
  UI().ProcessPendingEvents();
  if (RefreshCounter != mine || !FillProc) return;
  FillProc(Grid, ContextId, ItemType, &RefreshCounter, systemFilter, 1, ListOption, search, ids);
  ++FillCount;
}

void TListingGridFrame::ClearSelection() {
  ContextId = 0;
  EmptyGrid();
}

QWidget* TListingGridFrame::Body() const { return Grid; }

bool TListingGridFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Grid->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      const int row = Grid->rowAt(mouse->position().toPoint().y());
      if (row >= 0) GridSelectRow(Grid, row + 1);
      return false;
    }
  }
  return TListingHead::eventFilter(watched, event);
}

// =======================================================================================
// Field lists

namespace {
std::vector<TFieldList*>& AllFieldLists() {
  static std::vector<TFieldList*> lists;
  return lists;
}
}  // namespace

TFieldList::TFieldList(uint8_t itemClass, QWidget* owner) : ItemClass(itemClass), Owner(owner) {
  AllFieldLists().push_back(this);
}

TFieldList::~TFieldList() {
  auto& lists = AllFieldLists();
  lists.erase(std::remove(lists.begin(), lists.end(), this), lists.end());
}

const std::vector<TFieldList*>& FieldLists() { return AllFieldLists(); }
