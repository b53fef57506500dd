#include "views/FrameGroupsUnit.h"

#include <algorithm>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/LinkingFrameUnit.h"
#include "app/ListFillUnit.h"
#include "app/MainFormUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

namespace {

// Not in the original table: the next free number.
constexpr int kCycleText = 20;

bool IsGroup(const TMiniDB& db, int32_t id) {
  return id > 0 && db.HasRecord(id) && db.IsValid(id) && db.GetClass(id) == icGroup;
}

}  // namespace

const TMLStringList* FrameGroupsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameGroups", 0);
    t->Add255Obj("Diese Gruppe wurde zwischenzeitlich gel\xF6scht#13#und kann nicht mehr "
                 "bearbeitet werden.",
                 1);
    t->Add255Obj("Es gibt bereits eine Gruppe mit diesem Namen.", 2);
    t->Add255Obj("Es kann keine neue Gruppe angelegt werden.", 3);
    t->Add255Obj("", 4);
    t->Add255Obj("", 5);
    t->Add255Obj("Bitte w\xE4hlen Sie zun\xE4"
                 "chst eine Schlie\xDF"
                 "anlage f\xFCr diese Gruppe.",
                 6);
    t->Add255Obj("Eine Gruppe kann nicht sich selbst oder einer ihrer \xFC"
                 "bergeordneten Gruppen untergeordnet werden.",
                 kCycleText);
    return t;
  }();
  return table;
}

std::string FrameGroupsText(int number) { return GetMLText(FrameGroupsTexts(), number); }

std::vector<int32_t> CyclingSubgroups(const TMiniDB& db, int32_t group,
                                      const std::vector<int32_t>& wanted) {
  std::vector<int32_t> cycling;
  if (group <= 0) return cycling;
  TItemList above;
  CollectParentGroups(db, group, above);
  for (int32_t id : wanted)
    if (id == group || above.IndexOf(id) >= 0) cycling.push_back(id);
  return cycling;
}

TFrameGroups::TFrameGroups(QWidget* owner) : TFrameMother(owner, icGroup, rtBuildings) {
  setObjectName("FrameGroups");
  ListingFrame->SeekCombo->show();
  ListingFrame->FrameResize();
  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  auto* fields = new QGridLayout;
  NameEd = new QLineEdit(panel);
  NameEd->setObjectName("NameEd");
  KeysystemCombo = new QComboBox(panel);
  KeysystemCombo->setObjectName("KeysystemCombo");
  RemMemo = new QPlainTextEdit(panel);
  RemMemo->setObjectName("RemMemo");
  RemMemo->setFixedHeight(54);
  fields->addWidget(new QLabel(ToQString(" Gruppe:"), panel), 0, 0);
  fields->addWidget(NameEd, 0, 1);
  fields->addWidget(new QLabel(ToQString("Schlie\xDF"
                                         "anlage:"),
                               panel),
                    1, 0);
  fields->addWidget(KeysystemCombo, 1, 1);
  fields->addWidget(new QLabel(ToQString("Bemerkung:"), panel), 2, 0, Qt::AlignTop);
  fields->addWidget(RemMemo, 2, 1);
  fields->setColumnStretch(1, 1);
  outer->addLayout(fields);
  LinkPageControl = new QTabWidget(panel);
  LinkPageControl->setObjectName("LinkPageControl");
  auto linkFrame = [this](uint8_t type, const char* name, const std::string& title) {
    TLinkingFrame* frame = NewLinkingFrame(nullptr, type, title, name);
    connect(frame->EdBtn, &QPushButton::clicked, this,
            [this, frame] { LinkFrameEdBtnClick(frame); });
    return frame;
  };
  LinkSubgroupsFrame = linkFrame(icGroup, "LinkSubgroupsFrame", "direkt untergeordnete Gruppen");
  LinkCylsFrame = linkFrame(icCylinder, "LinkCylsFrame", "direkt zugeh\xF6rige Zylinder");
  LinkKeysFrame =
      linkFrame(icKey, "LinkKeysFrame", "Schl\xFCssel, der diese gesamte Gruppe schlie\xDFt");
  LinkPageControl->addTab(LinkSubgroupsFrame, ToQString("Untergruppen"));
  LinkPageControl->addTab(LinkCylsFrame, ToQString("Zylinder"));
  outer->addWidget(LinkPageControl, 1);
  KeyPageControl = new QTabWidget(this);
  KeyPageControl->setObjectName("KeyPageControl");
  KeyPageControl->addTab(LinkKeysFrame, ToQString("Gruppenschl\xFCssel"));
  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  TranslateForm(this);
  InitLayout();
  ClearDisplay();
}

TFrameGroups::~TFrameGroups() = default;

void TFrameGroups::InitLayout() { TFrameMother::InitLayout(); }

void TFrameGroups::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  // The list half of the width with the group keys below it, each half of the height; the
  // fields with the subgroups and cylinders right of them.
  const int top = ListingFrame->y();
  const int below = std::max(0, height() - top);
  const int listWidth = std::min(width(), std::max(309 / 2, width() / 2));
  const int listHeight = below / 2;
  ListingFrame->setGeometry(0, top, listWidth, listHeight);
  KeyPageControl->setGeometry(0, top + listHeight, listWidth, below - listHeight);
  EdPanel->setGeometry(listWidth, top, std::max(0, width() - listWidth), below);
}

void TFrameGroups::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{NameEd, RemMemo})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  ApplyControlLook(KeysystemCombo, editable ? TControlLook::Editable : TControlLook::Disabled);
}

void TFrameGroups::ShowViewMode() {
  Editing = false;
  EditState = 0;
  ListingFrame->setEnabled(true);
  const bool shown = CurrentId != 0;
  NewBtn->show();
  EdBtn->setVisible(shown);
  KillBtn->setVisible(shown);
  SaveBtn->hide();
  CancelBtn->hide();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false);
  for (TLinkingFrame* frame : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame})
    frame->ShowList(false);
}

void TFrameGroups::DiscardEdit() { ShowViewMode(); }

void TFrameGroups::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  ListingFrame->setEnabled(false);
  for (QWidget* b : std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, PrintBtn}) b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
  KeysystemCombo->setEnabled(true);
  for (TLinkingFrame* frame : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame})
    frame->ShowList(true);
}

void TFrameGroups::ClearDisplay() {
  CurrentId = 0;
  ListingFrame->ClearSelection();
  NameEd->clear();
  RemMemo->clear();
  FillLockingSystemCombo(KeysystemCombo, true);
  SelectComboObject(KeysystemCombo, GetComboObjectId(ListingFrame->SysCombo, 0));
  if (KeysystemCombo->currentIndex() < 0) SelectComboObject(KeysystemCombo, ksNone);
  for (TLinkingFrame* frame : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame}) frame->Clear();
  ShowViewMode();
}

void TFrameGroups::ShowRecord(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!IsGroup(*db, id)) {
    if (CurrentId == id) ClearDisplay();
    return;
  }
  ListingFrame->SelectId(id);
  CurrentId = id;
  ShowViewMode();
  NameEd->setText(ToQString(db->ReadName(id)));
  FillLockingSystemCombo(KeysystemCombo, true);
  const int32_t system = db->ReadKeySystem(id);
  SelectComboObject(KeysystemCombo, system);
  if (KeysystemCombo->currentIndex() < 0) SelectComboObject(KeysystemCombo, ksNone);
  RemMemo->setPlainText(ToQString(RemarkToText(db->ReadLineField(id, fkRemark))));
  for (TLinkingFrame* frame : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame}) {
    frame->SetOwner(id, system);
    frame->LoadLinks();
    frame->ShowList(false);
  }
  // The tab with links comes first when the shown one has none.
  const bool subs = LinkSubgroupsFrame->LinkedIds.Count() > 0;
  const bool cyls = LinkCylsFrame->LinkedIds.Count() > 0;
  if (LinkPageControl->currentIndex() == 0 && !subs && cyls) LinkPageControl->setCurrentIndex(1);
  if (LinkPageControl->currentIndex() == 1 && !cyls && subs) LinkPageControl->setCurrentIndex(0);
}

void TFrameGroups::RefreshView() {
  TFrameMother::RefreshView();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFrameGroups::StartEdit() {
  if (CurrentId == 0 || Editing || RightDenied(rtBuildings)) return false;
  if (!LockCurrentForEdit(FrameGroupsText(1))) return false;
  ShowRecord(CurrentId);
  EditState = 1;
  EnterEditMode();
  FocusControlIfPossible(NameEd);
  return true;
}

void TFrameGroups::NewBtnClick() {
  if (Editing || RightDenied(rtBuildings)) return;
  ClearDisplay();
  ReloadAndRefresh();
  EditState = 2;
  EnterEditMode();
  if (lastSystem_ != 0) SelectComboObject(KeysystemCombo, lastSystem_);
  const int32_t system = GetComboObjectId(KeysystemCombo, 0);
  for (TLinkingFrame* frame : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame}) {
    frame->SetOwner(0, system);
    frame->FillHouseCombo();
    frame->HouseCombo->setCurrentIndex(-1);
  }
  FocusControlIfPossible(NameEd);
}

void TFrameGroups::LinkFrameEdBtnClick(TLinkingFrame* frame) {
  if (!Editing) return;
  RefreshIfChanged();
  const int32_t system = GetComboObjectId(KeysystemCombo, 0);
  if (system <= 0) {
    ShowInfo(FrameGroupsText(6));
    return;
  }
  KeysystemCombo->setEnabled(false);
  for (TLinkingFrame* f : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame})
    f->SetOwner(CurrentId, system);
  frame->OpenCheckList();
}

bool TFrameGroups::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const std::string name = Trim(FromQString(NameEd->text()));
  if (name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(NameEd);
    return false;
  }
  const int32_t system = GetComboObjectId(KeysystemCombo, 0);
  const std::string remark = RemarkToStored(FromQString(RemMemo->toPlainText()));
  const bool isNew = EditState == 2 || CurrentId == 0;
  const int32_t existing = isNew ? 0 : CurrentId;
  std::vector<TLinkChange> changes;
  for (TLinkingFrame* frame : {LinkSubgroupsFrame, LinkCylsFrame, LinkKeysFrame}) {
    if (!frame->CheckListShown()) continue;
    TLinkChange change;
    if (!isNew) {
      change = frame->PrepareLinks(existing, icGroup);
    } else {
      frame->SyncTicks();
      change.kind = frame->LinkedType;
      change.ownerClass = icGroup;
      change.oneSided = frame->LinkFlag || change.kind == icGroup;
      for (int32_t i = 0; i < frame->LinkedIds.Count(); ++i)
        change.wanted.push_back(frame->LinkedIds.Get(i));
    }
    changes.push_back(std::move(change));
  }
  std::vector<int32_t> records;
  auto add = [&records](int32_t id) {
    if (id > 0 && std::find(records.begin(), records.end(), id) == records.end())
      records.push_back(id);
  };
  add(existing);
  for (const TLinkChange& change : changes)
    for (int32_t id : LinkChangeRecords(*db, change)) add(id);

  enum class TRefusal { None, Blocked, NameTaken, Cycle, Gone, NotCreated, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, records);
    auto blocked = [&] {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    };
    bool cycle = false;
    for (const TLinkChange& change : changes)
      if (change.kind == icGroup && !CyclingSubgroups(*db, existing, change.wanted).empty())
        cycle = true;
    if (!write.Ok()) {
      blocked();
    } else if (FindItemByNameInSystem(*db, icGroup, name, system, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else if (existing && !IsGroup(*db, existing)) {
      refusal = TRefusal::Gone;
    } else if (cycle) {
      refusal = TRefusal::Cycle;
    } else {
      if (isNew) {
        saved = db->NewRecord(icGroup);
        if (saved != 0 && !write.Include({saved})) saved = 0;
      }
      if (saved == 0) {
        refusal = TRefusal::NotCreated;
      } else {
        db->SetField(saved, fkName, name);
        db->SetField(saved, fkKeySystem, system > 0 ? std::to_string(system) : "");
        db->SetField(saved, fkRemark, remark);
        if (!ApplyAllLinkChanges(write, *db, changes, isNew ? saved : 0))
          blocked();
        else if (!write.Commit())
          refusal = TRefusal::NotSaved;
      }
    }
  }
  switch (refusal) {
    case TRefusal::None: break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::NameTaken: TellNameTaken(FrameGroupsText(2), NameEd); return false;
    case TRefusal::Cycle: ShowError(FrameGroupsText(kCycleText)); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameGroupsText(1)); return false;
    case TRefusal::NotCreated: ShowError(FrameGroupsText(3)); return false;
    case TRefusal::NotSaved: return false;
  }
  db->RefreshName(saved);
  if (existing) db->UnlockItem(existing);
  if (isNew) lastSystem_ = system;
  CurrentId = saved;
  ShowViewMode();
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowRecord(saved);
  FocusList();
  return true;
}

void RegisterGroupsView() {
  RegisterViewFactory(pgGroups, [](QWidget* page) {
    auto* view = new TFrameGroups(page);
    view->PlaceIn(page);
    RegisterView(pgGroups, &view->GlueView());
  });
}
