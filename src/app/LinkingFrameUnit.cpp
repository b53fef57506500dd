#include "app/LinkingFrameUnit.h"

#include <algorithm>
#include <unordered_set>

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>

#include "basic/MsgDlgUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/QtGlue.h"
#include "data/LockingRelations.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

TNameFuncSwitch::TNameFuncSwitch(TMiniDB& db, int cls, TNameFunc2 func)
    : db_(db), cls_(cls), saved_(cls >= 0 && cls < 256 ? db.NameFunc2[cls] : nullptr) {
  db_.SetNameFunc(cls_, func);
}

TNameFuncSwitch::~TNameFuncSwitch() { db_.SetNameFunc(cls_, saved_); }

std::string MarkedCaption(const std::string& caption, bool on) {
  std::string text = caption;
  if (!text.empty() && text.back() == '\x95') {
    text.pop_back();
    if (!text.empty() && text.back() == ' ') text.pop_back();
  }
  if (on) text += " \x95";
  return text;
}

namespace {

constexpr std::uint32_t clEditYellow = 0xD0FFFF;
constexpr int kLinkingRowHeight = 16;

std::vector<TListRow> RowsOf(const TQStringList& list) {
  std::vector<TListRow> rows;
  rows.reserve(static_cast<size_t>(list.Count()));
  for (const TStringItem& item : list.Items())
    rows.push_back({item.text, static_cast<int32_t>(item.object)});
  return rows;
}

QListView* MakeList(QWidget* parent, TItemListModel* model) {
  auto* list = new QListView(parent);
  list->setModel(model);
  list->setItemDelegate(new TRecordRowDelegate(list, kLinkingRowHeight));
  list->setUniformItemSizes(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return list;
}

void SetBaseColor(QWidget* control, const QColor& color) {
  QPalette palette = control->palette();
  palette.setColor(QPalette::Base, color);
  control->setPalette(palette);
}

int SelectedRowOf(const QListView* list) {
  const QModelIndexList rows = list->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

std::vector<int32_t> IdsOf(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

}  // namespace

TLinkingFrame::TLinkingFrame(QWidget* parent) : QFrame(parent) {
  TopPanel = new QFrame(this);
  TitleLabel = new QLabel(ToQString("passt zu T\xFCren ..."), TopPanel);
  TitleLabel->move(4, 6);
  TitleLabel2 = new QLabel(ToQString("in"), TopPanel);
  TitleLabel2->hide();
  HouseCombo = new QComboBox(TopPanel);
  HouseCombo->setToolTip(ToQString("nach Geb\xE4ude einschr\xE4nken: Geb\xE4ude ausw\xE4hlbar"));
  HouseCombo->hide();
  SeekCombo = new QComboBox(TopPanel);
  SeekCombo->setEditable(true);
  SeekCombo->setCompleter(nullptr);
  SeekCombo->setInsertPolicy(QComboBox::NoInsert);
  SeekCombo->hide();

  CheckModel = new TItemListModel(this);
  CheckModel->SetCheckable(true);
  CheckListBox = MakeList(this, CheckModel);
  CheckListBox->hide();
  SetBaseColor(CheckListBox, ColorFromBgr(clEditYellow));
  ListModel = new TItemListModel(this);
  Listbox = MakeList(this, ListModel);
  Listbox->setToolTip(ToQString("Doppelklick zeigt die markierte T\xFCr"));
  Listbox->setContextMenuPolicy(Qt::CustomContextMenu);
  Listbox->viewport()->installEventFilter(this);
  TopPanel->installEventFilter(this);

  SelectAllBtn = new QPushButton(ToQString("alle ausw\xE4hlen"), this);
  SelectNoneBtn = new QPushButton(ToQString("keinen ausw\xE4hlen"), this);
  SelectAllBtn->setEnabled(false);
  SelectNoneBtn->setEnabled(false);

  EdPanel = new QFrame(this);
  EdPanel->setAutoFillBackground(true);
  QPalette yellow = EdPanel->palette();
  yellow.setColor(QPalette::Window, ColorFromBgr(clEditYellow));
  EdPanel->setPalette(yellow);
  EdBtn = new QPushButton(ToQString("bearbeiten"), EdPanel);
  EdBtn->adjustSize();
  EdPanel->resize(EdBtn->width() + 8, EdBtn->height() + 8);
  EdBtn->move(4, 4);
  EdPanel->hide();

  Popup = new QMenu(this);
  Goto1 = Popup->addAction(ToQString("zur T\xFCr wechseln"));

  connect(SeekCombo, &QComboBox::editTextChanged, this, [this] { SeekComboChange(); });
  connect(HouseCombo, &QComboBox::activated, this, [this] { HouseComboSelect(); });
  connect(SelectAllBtn, &QPushButton::clicked, this, [this] { SelectAllBtnClick(); });
  connect(SelectNoneBtn, &QPushButton::clicked, this, [this] { SelectNoneBtnClick(); });
  connect(Listbox, &QListView::doubleClicked, this, [this] { ListboxDblClick(); });
  connect(CheckListBox, &QListView::doubleClicked, this, [this] { CheckListBoxDblClick(); });
  connect(Goto1, &QAction::triggered, this, [this] { Goto1Click(); });
  connect(Popup, &QMenu::aboutToShow, this, [this] { PopupPopup(); });
  connect(Listbox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { Popup->popup(Listbox->viewport()->mapToGlobal(at)); });
  FrameResize();
}

void TLinkingFrame::SetOwner(int32_t ownerId, int32_t contextId) {
  OwnerId = ownerId;
  ContextId = contextId;
}

bool TLinkingFrame::ShowGeneralMaster() {
  generalMaster_ = false;
  TMiniDB* db = GlueDB();
  if (!db || OwnerId == 0) return false;
  const TKeySystemCode code = GeneralMasterKeySystem(*db, OwnerId);
  if (code == 0) return false;
  generalMaster_ = true;
  LinkedIds.Clear();
  MarkTab(false);
  ListModel->SetRows({{"alle von " + KeySystemName(*db, code), 0}});
  return true;
}

void TLinkingFrame::LoadLinks() {
  if (ShowGeneralMaster()) return;
  LinkedIds.Clear();
  TMiniDB* db = GlueDB();
  if (!db) {
    ListModel->Clear();
    return;
  }
  db->ReadLinks(OwnerId, LinkedType, LinkedIds);
  std::unique_ptr<TQStringList> entries =
      FillSearchList(LinkedType, LinkedIds, "", nullptr, nullptr, ksAll, 1, false, Formatter);
  ListModel->SetRows(entries ? RowsOf(*entries) : std::vector<TListRow>{});
  if (TabMarking) MarkTab(LinkedIds.Count() > 0);
}

void TLinkingFrame::ShowList(bool editable) {
  CheckListBox->hide();
  CheckModel->Clear();
  SeekCombo->hide();
  HouseCombo->hide();
  TitleLabel2->hide();
  SelectAllBtn->setEnabled(false);
  SelectNoneBtn->setEnabled(false);
  Listbox->show();
  SetBaseColor(Listbox, editable ? ColorFromBgr(clEditYellow)
                                 : palette().color(QPalette::Base));
  EdPanel->setVisible(editable);
  FrameResize();
}

void TLinkingFrame::OpenCheckList() {
  ShowCheckList();
  if (OwnerId != 0)
    StartEdit(0);
  else
    FillCheckList();
}

void TLinkingFrame::ShowCheckList() {
  Listbox->hide();
  ListModel->Clear();
  CheckListBox->show();
  {
    const QSignalBlocker block(SeekCombo);
    SeekCombo->clear();
    SeekCombo->setEditText(QString());
  }
  SeekCombo->show();
  HouseCombo->setVisible(ShowHouseFilter);
  TitleLabel2->setVisible(ShowHouseFilter);
  SelectAllBtn->setEnabled(true);
  SelectNoneBtn->setEnabled(true);
  EdPanel->hide();
  FrameResize();
}

void TLinkingFrame::StartEdit(int32_t presetId) {
  if (ShowGeneralMaster()) {
    // Nothing to tick: the key opens its system's doors whatever it is linked to.
    ShowList(false);
    return;
  }
  LinkedIds.Clear();
  if (TMiniDB* db = GlueDB()) db->ReadLinks(OwnerId, LinkedType, LinkedIds);
  if (presetId != 0 && LinkedIds.IndexOf(presetId) < 0) LinkedIds.Add(presetId);
  FillCheckList();
}

void TLinkingFrame::FillCheckList() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  const int32_t building =
      HouseCombo->currentIndex() >= 0 ? ComboItemId(HouseCombo, HouseCombo->currentIndex()) : 0;
  // Within one building the plain names tell the records apart; the class's naming
  // function comes back however the fill ends.
  std::unique_ptr<TNameFuncSwitch> plainNames;
  if (building != 0) plainNames = std::make_unique<TNameFuncSwitch>(*db, LinkedType, nullptr);

  auto inBuilding = [&](int32_t id) {
    if (building == 0) return true;
    const int32_t at = GetBuildingOf(*db, id);
    return building == ksAll ? at == 0 : at == building;
  };
  const std::unordered_set<int32_t> linked(LinkedIds.Items(),
                                           LinkedIds.Items() + LinkedIds.Count());
  TItemList all, ticked, others;
  db->ListClassValid(LinkedType, all);
  for (int32_t id : IdsOf(all)) {
    if (!inBuilding(id)) continue;
    if (linked.count(id)) ticked.Add(id);
    else if (id != OwnerId) others.Add(id);
  }
  const std::string search = FromQString(SeekCombo->currentText());
  TQStringList suggestions;
  std::unique_ptr<TQStringList> first =
      FillSearchList(LinkedType, ticked, search, nullptr, nullptr, ksAll, 1, false, Formatter);
  std::unique_ptr<TQStringList> second =
      FillSearchList(LinkedType, others, search, &suggestions, nullptr,
                     ContextId != 0 ? ContextId : ksAll, 1, false, Formatter);
  std::vector<TListRow> rows = first ? RowsOf(*first) : std::vector<TListRow>{};
  std::vector<bool> checks(rows.size(), true);
  if (second) {
    for (TListRow& row : RowsOf(*second)) {
      rows.push_back(std::move(row));
      checks.push_back(false);
    }
  }
  const int32_t selected = CheckModel->IdAt(SelectedRowOf(CheckListBox));
  const bool wasEnabled = CheckListBox->isEnabled();
  CheckListBox->setEnabled(false);
  CheckModel->SetRows(std::move(rows), std::move(checks));
  const int row = CheckModel->RowOfId(selected);
  if (row >= 0) CheckListBox->setCurrentIndex(CheckModel->index(row));
  CheckListBox->setEnabled(wasEnabled);

  bool same = SeekCombo->count() == suggestions.Count();
  for (int i = 0; same && i < suggestions.Count(); ++i)
    same = FromQString(SeekCombo->itemText(i)) == suggestions[i];
  if (!same) {
    const QSignalBlocker block(SeekCombo);
    const QString text = SeekCombo->currentText();
    SeekCombo->clear();
    for (const TStringItem& item : suggestions.Items())
      AddComboItem(SeekCombo, item.text, static_cast<int32_t>(item.object));
    SeekCombo->setCurrentIndex(-1);
    SeekCombo->setEditText(text);
  }
  ++CheckFillCount;
}

void TLinkingFrame::SyncTicks() {
  for (int row = 0; row < CheckModel->Count(); ++row) {
    const int32_t id = CheckModel->IdAt(row);
    if (id == 0) continue;
    const bool ticked = CheckModel->Checked(row);
    const bool listed = LinkedIds.IndexOf(id) >= 0;
    if (ticked && !listed) LinkedIds.Add(id);
    if (!ticked && listed) {
      for (int32_t i = LinkedIds.Count() - 1; i >= 0; --i)
        if (LinkedIds.Get(i) == id) LinkedIds.Delete(i);
    }
  }
}

bool TLinkingFrame::CheckListShown() const { return !CheckListBox->isHidden(); }

void TLinkingFrame::SeekComboChange() {
  if (SeekCombo->isHidden() || !SeekCombo->isEnabled()) return;
  SyncTicks();
  FillCheckList();
}

void TLinkingFrame::HouseComboSelect() {
  SyncTicks();
  FillCheckList();
}

void TLinkingFrame::SelectAllBtnClick() { CheckModel->SetAllChecked(true); }

void TLinkingFrame::SelectNoneBtnClick() { CheckModel->SetAllChecked(false); }

void TLinkingFrame::GotoSelected(QListView* list) {
  auto* model = list == CheckListBox ? CheckModel : ListModel;
  const int32_t id = model->IdAt(SelectedRowOf(list));
  if (id != 0) GotoItem(id, true);
}

void TLinkingFrame::ListboxDblClick() { GotoSelected(Listbox); }

void TLinkingFrame::Goto1Click() { GotoSelected(Listbox); }

void TLinkingFrame::CheckListBoxDblClick() {
  // A door being edited keeps its page: jumping would leave its input behind.
  if (IView* doors = ViewOf(pgDoors); doors && doors->Editing()) return;
  GotoSelected(CheckListBox);
}

void TLinkingFrame::PopupPopup() { Goto1->setEnabled(SelectedRowOf(Listbox) >= 0); }

void TLinkingFrame::MarkTab(bool on) {
  QWidget* page = parentWidget();
  if (!page) return;
  for (QWidget* up = page->parentWidget(); up; up = up->parentWidget()) {
    auto* tabs = qobject_cast<QTabWidget*>(up);
    if (!tabs) continue;
    // The page is the frame itself when it was added as the tab, else the sheet holding it.
    int index = tabs->indexOf(page);
    if (index < 0) index = tabs->indexOf(this);
    if (index >= 0)
      tabs->setTabText(index, ToQString(MarkedCaption(FromQString(tabs->tabText(index)), on)));
    return;
  }
}

TLinkChange TLinkingFrame::PrepareLinks(int32_t id, int ownerClass) {
  TLinkChange change;
  TMiniDB* db = GlueDB();
  if (id == 0 || !db || !CheckListShown() || generalMaster_) return change;
  SyncTicks();

  TItemList groupList;
  db->GetGroupOf(id, groupList);
  change.owners = IdsOf(groupList);
  if (change.owners.empty()) change.owners.push_back(id);
  if (change.owners.size() > 1) {
    const std::string question = "Sollen die Verkn\xFCpfungen zu: " +
                                 ClassCaption(LinkedType, true) + "\r" +
                                 "auf alle Mutter-/Tochter-Datens\xE4tze \xFC" "bertragen werden?";
    if (AskYesNo(question) != mrYes) change.owners = {id};
  }
  change.kind = LinkedType;
  change.ownerClass = ownerClass;
  // Links between records of one class live on the parent only.
  change.oneSided = LinkFlag || change.kind == ownerClass;
  change.wanted = IdsOf(LinkedIds);
  return change;
}

bool TLinkingFrame::SaveLinks(int32_t id, int ownerClass) {
  if (id == 0) return false;
  if (!CheckListShown() || generalMaster_) return true;
  TMiniDB* db = GlueDB();
  if (!db) return false;
  const TLinkChange change = PrepareLinks(id, ownerClass);
  bool saved = false;
  std::string blocking;
  {
    TStoreWrite write(*db, LinkChangeRecords(*db, change));
    if (write.Ok() && ApplyLinkChange(write, *db, change)) saved = write.Commit();
    else if (!write.Ok() || !write.Blocking().empty())
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
  }
  if (blocking == "*") ShowLockFailed();
  else if (!blocking.empty()) db->ShowLockedMessage(blocking, true);
  return saved;
}

std::vector<int32_t> LinkChangeRecords(TMiniDB& db, const TLinkChange& change) {
  std::vector<int32_t> ids;
  auto add = [&ids](int32_t id) {
    if (id > 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  };
  for (int32_t owner : change.owners) {
    add(owner);
    TItemList present;
    db.GetLinks(owner, change.kind, present);
    for (int32_t i = 0; i < present.Count(); ++i) add(present.Get(i));
  }
  for (int32_t other : change.wanted) add(other);
  return ids;
}

bool ApplyLinkChange(TStoreWrite& write, TMiniDB& db, const TLinkChange& change) {
  if (change.owners.empty()) return true;
  // The present links as the fresh data has them: a record another station linked to an
  // owner meanwhile changes too, so it joins the write under the same check.
  if (!write.Include(LinkChangeRecords(db, change))) return false;
  const std::vector<int32_t>& wanted = change.wanted;
  for (int32_t owner : change.owners) {
    if (!db.HasRecord(owner)) continue;
    TItemList present;
    db.GetLinks(owner, change.kind, present);
    for (int32_t other : IdsOf(present)) {
      if (std::find(wanted.begin(), wanted.end(), other) != wanted.end()) continue;
      db.RemoveLink(owner, other, change.kind);
      if (!change.oneSided) db.RemoveLink(other, owner, change.ownerClass);
    }
    for (int32_t other : wanted) {
      if (other == owner || !db.IsValid(other)) continue;
      db.AddLink(owner, other, change.kind);
      if (!change.oneSided) db.AddLink(other, owner, change.ownerClass);
    }
  }
  return true;
}

void TLinkingFrame::Clear() {
  LinkedIds.Clear();
  generalMaster_ = false;
  CheckModel->Clear();
  ListModel->Clear();
  ShowList(false);
}

void TLinkingFrame::FillHouseCombo() {
  const QSignalBlocker block(HouseCombo);
  FillComboWithBuildings(HouseCombo, 0, ContextId);
  HouseCombo->insertItem(0, ToQString(CoreText(71)), QVariant(static_cast<qint32>(0)));
  HouseCombo->setCurrentIndex(0);
}

void TLinkingFrame::FrameResize() {
  // The titles take the room of their text, whatever a view or a translation set since.
  TitleLabel->adjustSize();
  TitleLabel2->adjustSize();
  const int w = width();
  int y = 2;
  const int seekLeft = TitleLabel->x() + TitleLabel->width() + 12;
  SeekCombo->setGeometry(seekLeft, y, std::max(0, w - seekLeft), SeekCombo->sizeHint().height());
  y = std::max(TitleLabel->y() + TitleLabel->height(),
               SeekCombo->isHidden() ? 0 : SeekCombo->y() + SeekCombo->height());
  if (!HouseCombo->isHidden()) {
    TitleLabel2->move(4, y + 2);
    const int left = TitleLabel2->x() + TitleLabel2->width() + 10;
    HouseCombo->setGeometry(left, y, std::max(0, w - 2 - left), HouseCombo->sizeHint().height());
    y += HouseCombo->height();
  }
  TopPanel->setGeometry(0, 0, w, y);
  y += 2;
  const int buttonsTop = height() - SelectAllBtn->sizeHint().height();
  SelectAllBtn->setGeometry(0, buttonsTop, w / 2, SelectAllBtn->sizeHint().height());
  SelectNoneBtn->setGeometry(w / 2, buttonsTop, w - w / 2, SelectNoneBtn->sizeHint().height());
  // Hidden select buttons (a frame that only lists) leave their room to the list.
  const bool buttons = !SelectAllBtn->isHidden() || !SelectNoneBtn->isHidden();
  const int listBottom = buttons ? buttonsTop - 4 : height();
  CheckListBox->setGeometry(0, y, w, std::max(0, listBottom - y));
  Listbox->setGeometry(CheckListBox->geometry());
  EdPanel->move(Listbox->x() + (Listbox->width() - EdPanel->width()) / 2,
                Listbox->y() + (Listbox->height() - EdPanel->height()) / 2);
  EdPanel->raise();
}

QSize TLinkingFrame::minimumSizeHint() const {
  const int half = std::max(SelectAllBtn->sizeHint().width(), SelectNoneBtn->sizeHint().width());
  return {2 * half, 80};
}

bool TLinkingFrame::event(QEvent* event) {
  // A caption changed (a translation, seen on show when it came while hidden): the frame
  // asks its parent's layout for the new room.
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
    updateGeometry();
    FrameResize();
  }
  return QFrame::event(event);
}

void TLinkingFrame::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FrameResize();
}

bool TLinkingFrame::eventFilter(QObject* watched, QEvent* event) {
  // The title's text changed.
  if (watched == TopPanel && event->type() == QEvent::LayoutRequest) FrameResize();
  if (watched == Listbox->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      const QModelIndex at = Listbox->indexAt(mouse->position().toPoint());
      if (at.isValid()) Listbox->setCurrentIndex(at);
      else Listbox->selectionModel()->clear();
    }
  }
  return QFrame::eventFilter(watched, event);
}

bool ApplyAllLinkChanges(TStoreWrite& write, TMiniDB& db, std::vector<TLinkChange>& changes,
                         int32_t newOwner) {
  for (TLinkChange& change : changes) {
    if (newOwner != 0) change.owners = {newOwner};
    if (!ApplyLinkChange(write, db, change)) return false;
  }
  return true;
}

TLinkingFrame* NewLinkingFrame(QWidget* parent, uint8_t linkedType, const std::string& title,
                               const char* objectName) {
  auto* frame = new TLinkingFrame(parent);
  if (objectName) frame->setObjectName(objectName);
  frame->LinkedType = linkedType;
  frame->TitleLabel->setText(ToQString(title));
  return frame;
}
