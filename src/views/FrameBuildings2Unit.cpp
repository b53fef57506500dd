#include "views/FrameBuildings2Unit.h"

#include <algorithm>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/LinkingFrameUnit.h"
#include "app/MainFormUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintUnit.h"
#include "views/SpecialDeleteUnit.h"
#include "views/SystemComboUnit.h"
#include "views/TitledPrintUnit.h"

namespace {

constexpr const char* kAddressField = "Adr";
// The message of a building whose own locking system records still use; not in the
// original table, so it takes the next free number.
constexpr int kOwnSystemInUseText = 20;

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

TListEntryText PlainEntry(int32_t id) {
  TListEntryText entry;
  if (TMiniDB* db = GlueDB()) entry.text = PlainItemName(*db, id);
  entry.sortKey = AnsiUpperCase(entry.text);
  return entry;
}

}  // namespace

const TMLStringList* FrameBuildingsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameBuildings", 0);
    t->Add255Obj("Dieses Geb\xE4ude wurde zwischenzeitlich gel\xF6scht#13#und kann nicht mehr "
                 "bearbeitet werden.",
                 1);
    t->Add255Obj("Es gibt bereits ein Geb\xE4ude mit diesem Namen.", 2);
    t->Add255Obj("Es kann kein neues Geb\xE4ude angelegt werden.", 3);
    t->Add255Obj("Dieses Geb\xE4ude war bereits gel\xF6scht.", 4);
    t->Add255Obj("Das Geb\xE4ude kann nicht gel\xF6scht werden#13#solange T\xFCren zugeordnet "
                 "sind.",
                 5);
    t->Add255Obj("Geb\xE4ude \"%1\" wirklich l\xF6schen?", 6);
    t->Add255Obj("keine Daten zum Drucken", 7);
    t->Add255Obj("T\xFCren des ausgew\xE4hlten Geb\xE4udes", 8);
    t->Add255Obj("", 9);
    t->Add255Obj("T\xFCren am Geb\xE4ude %1", 10);
    t->Add255Obj("", 11);
    t->Add255Obj("Anschrift", 12);
    t->Add255Obj("", 13);
    t->Add255Obj("Bemerkung", 14);
    t->Add255Obj("nur das angezeigte Geb\xE4ude", 15);
    t->Add255Obj("T\xFCren und Schl\xFCssel zum Geb\xE4ude", 16);
    t->Add255Obj("die in der Liste angezeigten Geb\xE4ude", 17);
    t->Add255Obj("eigene Anlage", 18);
    t->Add255Obj("Bezeichnung eines neuen Stockwerks", 19);
    t->Add255Obj("Das Geb\xE4ude kann nicht gel\xF6scht werden#13#solange Datens\xE4tze seine "
                 "eigene Schlie\xDF"
                 "anlage verwenden.",
                 kOwnSystemInUseText);
    return t;
  }();
  return table;
}

std::string FrameBuildingsText(int number) { return GetMLText(FrameBuildingsTexts(), number); }
std::string FrameBuildingsTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(FrameBuildingsTexts(), number, argument);
}

std::string BuildingListedName(const std::string& name, const std::string& name2) {
  return NameWithSecondName(Trim(name), Trim(name2));
}

std::vector<int32_t> DoorsOfBuilding(const TMiniDB& db, int32_t building) {
  std::vector<int32_t> doors;
  if (building <= 0) return doors;
  TItemList linked;
  db.ReadLinks(building, icDoor, linked);
  for (int32_t i = 0; i < linked.Count(); ++i)
    if (db.GetClass(linked.Get(i)) == icDoor && db.IsValid(linked.Get(i)))
      AddUnique(doors, linked.Get(i));
  // A door whose building link names the building without the building's back link (an
  // older program, a broken import) is still in it.
  TItemList all;
  db.ListClassValid(icDoor, all);
  for (int32_t i = 0; i < all.Count(); ++i)
    if (db.ReadHasLink(all.Get(i), icBuilding, building)) AddUnique(doors, all.Get(i));
  return doors;
}

std::vector<std::string> DoorsAndKeysLines(const TMiniDB& db, int32_t building) {
  std::vector<std::string> lines{ClassCaption(icDoor, false) + "\t" + KeyCaption()};
  std::vector<std::pair<std::string, int32_t>> doors;
  for (int32_t door : DoorsOfBuilding(db, building))
    doors.emplace_back(PlainItemName(db, door), door);
  std::sort(doors.begin(), doors.end(),
            [](const auto& a, const auto& b) { return AnsiCompareText(a.first, b.first) < 0; });
  for (const auto& [name, door] : doors) {
    TItemList keys;
    GetKeysOfDoor(db, door, true, false, keys);
    std::vector<std::string> names;
    for (int32_t i = 0; i < keys.Count(); ++i) names.push_back(db.GetDisplayName(keys.Get(i)));
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    std::string joined;
    for (const std::string& key : names) joined += (joined.empty() ? "" : ", ") + key;
    lines.push_back(name + "\t" + joined);
  }
  return lines;
}

std::vector<std::string> BuildingListLines(const TMiniDB& db, const std::vector<int32_t>& ids) {
  std::vector<std::string> lines{"Name\t" + FrameBuildingsText(12) + "\t" +
                                 "Schlie\xDF"
                                 "anlage\t" +
                                 FrameBuildingsText(14)};
  for (int32_t id : ids) {
    if (db.GetClass(id) != icBuilding || !db.IsValid(id)) continue;
    const std::string ks = Trim(db.ReadLineField(id, fkKeySystem));
    const std::string system =
        ks == "1001" ? FrameBuildingsText(18)
                     : (db.ReadKeySystem(id) > 0 ? KeySystemName(db, db.ReadKeySystem(id)) : "");
    lines.push_back(db.GetDisplayName(id) + "\t" + db.ReadLineField(id, kAddressField) + "\t" +
                    system + "\t" + ItemRemarkLine(db, id));
  }
  return lines;
}

// =======================================================================================
// The view

TFrameBuildings2::TFrameBuildings2(QWidget* owner) : TFrameMother(owner, icBuilding, rtBuildings) {
  setObjectName("FrameBuildings2");
  ListingFrame->SeekCombo->show();
  ListingFrame->FrameResize();
  JournalBtn->show();

  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(6);
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(6);
  fields->setVerticalSpacing(4);
  BuildingNameEd = new QLineEdit(panel);
  BuildingNameEd->setObjectName("BuildingNameEd");
  BuildingName2Ed = new QLineEdit(panel);
  BuildingName2Ed->setObjectName("BuildingName2Ed");
  BuildingAdrEd = new QLineEdit(panel);
  BuildingAdrEd->setObjectName("BuildingAdrEd");
  HouseKeysystemCombo = new QComboBox(panel);
  HouseKeysystemCombo->setObjectName("HouseKeysystemCombo");
  BuildingRemMemo = new QPlainTextEdit(panel);
  BuildingRemMemo->setObjectName("BuildingRemMemo");
  BuildingRemMemo->setFixedHeight(54);
  fields->addWidget(FieldLabel(panel, "Geb\xE4ude(teil):"), 0, 0);
  fields->addWidget(BuildingNameEd, 0, 1);
  fields->addWidget(FieldLabel(panel, "[Zusatzbezeichnung]:"), 1, 0);
  fields->addWidget(BuildingName2Ed, 1, 1);
  fields->addWidget(FieldLabel(panel, "Anschrift:"), 2, 0);
  fields->addWidget(BuildingAdrEd, 2, 1);
  fields->addWidget(FieldLabel(panel, "Schlie\xDF"
                                      "anlage:"),
                    3, 0);
  fields->addWidget(HouseKeysystemCombo, 3, 1);
  fields->addWidget(FieldLabel(panel, "Bemerkung:"), 4, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(BuildingRemMemo, 4, 1);
  fields->setColumnStretch(1, 1);
  outer->addLayout(fields);

  // The doors lie below the list, outside the scrolled fields.
  DoorsPageControl = new QTabWidget(this);
  DoorsPageControl->setObjectName("DoorsPageControl");
  DoorsLinkingFrame = new TLinkingFrame(nullptr);
  DoorsLinkingFrame->setObjectName("DoorsLinkingFrame");
  DoorsLinkingFrame->LinkedType = icDoor;
  DoorsLinkingFrame->TabMarking = false;
  DoorsLinkingFrame->TitleLabel->setText(ToQString("T\xFCren im gew\xE4hlten Geb\xE4ude(teil)"));
  DoorsLinkingFrame->Formatter = [](int32_t id, uint8_t) { return PlainEntry(id); };
  DoorsPageControl->addTab(DoorsLinkingFrame, ToQString(ClassCaption(icDoor, true)));
  FloorsTab = new QWidget;
  auto* floors = new QVBoxLayout(FloorsTab);
  NewFloorBtn = new QToolButton(FloorsTab);
  NewFloorBtn->setText(ToQString("Neu"));
  floors->addWidget(NewFloorBtn);
  floors->addStretch(1);
  DoorsPageControl->addTab(FloorsTab, ToQString("Stockwerke"));
  // The floors are not offered yet: their tab stays hidden.
  DoorsPageControl->setTabVisible(1, false);

  // The persons below the fields take all the height the fields leave.
  PersLinkingFrame = new TLinkingFrame(panel);
  PersLinkingFrame->setObjectName("PersLinkingFrame");
  PersLinkingFrame->LinkedType = icPerson;
  PersLinkingFrame->TabMarking = false;
  PersLinkingFrame->TitleLabel->setText(ToQString("zugeordnete Personen ..."));
  PersLinkingFrame->Goto1->setText(ToQString("zur Person wechseln"));
  outer->addWidget(PersLinkingFrame, 1);
  // Both frames only list (the links are made from the door and the person): nothing to
  // tick, so no select buttons and no room kept for them.
  for (TLinkingFrame* frame : {DoorsLinkingFrame, PersLinkingFrame}) {
    frame->SelectAllBtn->hide();
    frame->SelectNoneBtn->hide();
  }

  PrintList1->setVisible(true);

  AskFloorName = [] {
    std::string name;
    if (!InputText(FrameBuildingsText(19), name, true)) return std::string();
    return name;
  };
  PrintLines = [](const std::string& title, const std::vector<std::string>& lines) {
    return PrintTitledLines(title, lines);
  };

  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  connect(NewFloorBtn, &QToolButton::clicked, this, [this] { NewFloorBtnClick(); });
  connect(JournalBtn, &QToolButton::clicked, this, [this] {
    if (CurrentId != 0) ShowHistoryOf(CurrentId);
  });
  for (QWidget* field : std::initializer_list<QWidget*>{BuildingNameEd, BuildingName2Ed,
                                                        BuildingAdrEd, BuildingRemMemo})
    field->installEventFilter(this);

  TranslateForm(this);
  InitLayout();
  ClearDisplay();
}

TFrameBuildings2::~TFrameBuildings2() = default;

void TFrameBuildings2::InitLayout() { TFrameMother::InitLayout(); }

void TFrameBuildings2::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{BuildingNameEd, BuildingName2Ed,
                                                        BuildingAdrEd, BuildingRemMemo})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  ApplyControlLook(HouseKeysystemCombo, editable ? TControlLook::Editable : TControlLook::Disabled);
}

void TFrameBuildings2::ShowViewMode() {
  Editing = false;
  EditState = 0;
  ListingFrame->setEnabled(true);
  const bool shown = CurrentId != 0;
  NewBtn->show();
  EdBtn->setVisible(shown);
  KillBtn->setVisible(shown);
  JournalBtn->setVisible(shown);
  JournalBtn->setEnabled(ViewOf(pgHistory) != nullptr);
  PrintBtn->setVisible(shown || ListingFrame->Count() > 0);
  SaveBtn->hide();
  CancelBtn->hide();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false);
}

void TFrameBuildings2::DiscardEdit() { ShowViewMode(); }

void TFrameBuildings2::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  ListingFrame->setEnabled(false);
  for (QWidget* b : std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, JournalBtn, PrintBtn})
    b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
}

void TFrameBuildings2::ClearDisplay() {
  CurrentId = 0;
  ListingFrame->ClearSelection();
  BuildingNameEd->clear();
  BuildingName2Ed->clear();
  BuildingAdrEd->clear();
  BuildingRemMemo->clear();
  FillOwnSystemCombo(HouseKeysystemCombo, FrameBuildingsText(18));
  HouseKeysystemCombo->setCurrentIndex(-1);
  DoorsLinkingFrame->Clear();
  PersLinkingFrame->Clear();
  ShowViewMode();
}

void TFrameBuildings2::ShowRecord(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!db->HasRecord(id) || !db->IsValid(id) || db->GetClass(id) != icBuilding) {
    if (CurrentId == id) ClearDisplay();
    return;
  }
  if (db->ReadName(id).empty()) return;
  ListingFrame->SelectId(id);
  CurrentId = id;
  ShowViewMode();
  BuildingNameEd->setText(ToQString(db->ReadName(id)));
  BuildingName2Ed->setText(ToQString(db->ReadLineField(id, fkSecondName)));
  BuildingAdrEd->setText(ToQString(db->ReadLineField(id, kAddressField)));
  FillOwnSystemCombo(HouseKeysystemCombo, FrameBuildingsText(18));
  const std::string ks = Trim(db->ReadLineField(id, fkKeySystem));
  SelectComboId(ks == "1001" ? ksBuildingBase : db->ReadKeySystem(id), HouseKeysystemCombo);
  MemoFromRemark(BuildingRemMemo, db->ReadLineField(id, fkRemark));
  for (TLinkingFrame* frame : {DoorsLinkingFrame, PersLinkingFrame}) {
    frame->SetOwner(id, 0);
    frame->LoadLinks();
    frame->ShowList(false);
  }
}

void TFrameBuildings2::RefreshView() {
  TFrameMother::RefreshView();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFrameBuildings2::StartEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing) return false;
  if (RightDenied(rtBuildings)) return false;
  if (!LockCurrentForEdit(FrameBuildingsText(1))) return false;
  ShowRecord(CurrentId);
  EditState = 1;
  EnterEditMode();
  FocusControlIfPossible(BuildingNameEd);
  return true;
}

void TFrameBuildings2::NewBtnClick() {
  if (Editing || RightDenied(rtBuildings)) return;
  ClearDisplay();
  ListingFrame->ClearSelection();
  ReloadAndRefresh();
  FillOwnSystemCombo(HouseKeysystemCombo, FrameBuildingsText(18));
  HouseKeysystemCombo->setCurrentIndex(0);
  EditState = 2;
  EnterEditMode();
  FocusControlIfPossible(BuildingNameEd);
}

bool TFrameBuildings2::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const std::string name = Trim(FromQString(BuildingNameEd->text()));
  if (name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(BuildingNameEd);
    return false;
  }
  const std::string name2 = Trim(FromQString(BuildingName2Ed->text()));
  const std::string address = Trim(FromQString(BuildingAdrEd->text()));
  const std::string remark = RemarkFromMemo(BuildingRemMemo);
  // The own-system entry carries 1001: the building's own code is 1001 + its ID.
  const int32_t system = GetComboId(HouseKeysystemCombo, 0);
  const std::string listed = BuildingListedName(name, name2);
  const bool isNew = EditState == 2 || CurrentId == 0;
  const int32_t existing = isNew ? 0 : CurrentId;

  ReloadAndRefresh();
  enum class TRefusal { None, Blocked, NameTaken, Gone, NotCreated, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  std::string oldName;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, existing ? std::vector<int32_t>{existing} : std::vector<int32_t>{});
    if (!write.Ok()) {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (FindItemByName(*db, icBuilding, listed, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else if (existing && (!db->HasRecord(existing) || !db->IsValid(existing) ||
                            db->GetClass(existing) != icBuilding)) {
      refusal = TRefusal::Gone;
    } else {
      if (isNew) {
        saved = db->NewRecord(icBuilding);
        if (saved != 0 && !write.Include({saved})) saved = 0;
      } else {
        oldName = db->GetDisplayName(existing);
      }
      if (saved == 0) {
        refusal = TRefusal::NotCreated;
      } else {
        db->SetField(saved, fkName, name);
        db->SetField(saved, fkSecondName, name2);
        db->SetField(saved, fkKeySystem, system > 0 ? std::to_string(system) : "");
        db->SetField(saved, kAddressField, address);
        db->SetField(saved, fkRemark, remark);
        if (!write.Commit()) refusal = TRefusal::NotSaved;
      }
    }
  }
  switch (refusal) {
    case TRefusal::None: break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::NameTaken: TellNameTaken(FrameBuildingsText(2), BuildingNameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameBuildingsText(1)); return false;
    case TRefusal::NotCreated: ShowError(FrameBuildingsText(3)); return false;
    case TRefusal::NotSaved: return false;
  }

  db->RefreshName(saved);
  const std::string newName = db->GetDisplayName(saved);
  if (isNew)
    HistoryNew(icBuilding, saved, newName, "");
  else if (oldName != newName)
    HistoryRen(icBuilding, saved, newName, oldName);
  if (existing) db->UnlockItem(existing);
  CurrentId = saved;
  ShowViewMode();
  // Building names are part of the names of doors and persons, and a building with a
  // system of its own is one of the systems.
  db->RefreshAllNames();
  FillKeySystemFilter(*db);
  BuildLockingSystemList();
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowRecord(saved);
  FocusList();
  return true;
}

bool TFrameBuildings2::CanDelete() {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  // The store decides, not the link frame: a door another station put into the building
  // since the frame was filled counts.
  if (!DoorsOfBuilding(*db, CurrentId).empty()) {
    ShowError(FrameBuildingsText(5));
    return false;
  }
  if (IsKeySystemUsed(*db, ksBuildingBase + CurrentId)) {
    ShowError(FrameBuildingsText(kOwnSystemInUseText));
    return false;
  }
  return !CheckPendingInput();
}

bool TFrameBuildings2::BeforeDelete(TStoreWrite& write, int32_t id) {
  // Persons whose building link names the building without its back link lose it too.
  TMiniDB* db = GlueDB();
  if (!db) return false;
  TItemList persons;
  db->ListClassValid(icPerson, persons);
  std::vector<int32_t> holders;
  for (int32_t i = 0; i < persons.Count(); ++i)
    if (db->ReadHasLink(persons.Get(i), icBuilding, id)) holders.push_back(persons.Get(i));
  if (holders.empty()) return true;
  if (!write.Include(holders)) return false;
  for (int32_t person : holders) db->RemoveLinkBoth(person, id, icBuilding, icPerson);
  return true;
}

void TFrameBuildings2::AfterDelete(int32_t /*id*/, bool deleted) {
  if (!deleted) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  // Links of other records to buildings that are gone: persons first, then doors.
  RemoveDanglingBuildingLinks(*db, icPerson, true);
  RemoveDanglingBuildingLinks(*db, icDoor, true);
  db->RefreshAllNames();
  FillKeySystemFilter(*db);
  BuildLockingSystemList();
}

std::string TFrameBuildings2::DeleteQuestion(const std::string& name) {
  return FrameBuildingsTextFmt(6, name);
}

bool TFrameBuildings2::NewFloorBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) return false;
  const std::string floor = Trim(AskFloorName ? AskFloorName() : std::string());
  if (floor.empty()) return false;
  const int32_t building = CurrentId;
  bool made = false;
  std::string blocking;
  {
    TStoreWrite write(*db, {building});
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (db->IsValid(building)) {
      // Floor names are unique per building: two buildings may each have an "EG".
      bool taken = false;
      TItemList floors;
      db->ReadLinks(building, icFloor, floors);
      for (int32_t i = 0; i < floors.Count() && !taken; ++i)
        taken = db->GetClass(floors.Get(i)) == icFloor && db->IsValid(floors.Get(i)) &&
                NormalizeName(db->ReadName(floors.Get(i))) == NormalizeName(floor);
      if (!taken) {
        const int32_t id = db->NewRecord(icFloor);
        if (id != 0 && write.Include({id})) {
          db->SetField(id, fkName, floor);
          db->AddLinkBoth(id, building, icBuilding, icFloor);
          made = write.Commit();
        }
      }
    }
  }
  if (blocking == "*")
    ShowLockFailed();
  else if (!blocking.empty())
    db->ShowLockedMessage(blocking, true);
  RefreshAllFrames();
  return made;
}

// ----- printing ---------------------------------------------------------------------------

bool TFrameBuildings2::PrintDoorsAndKeys() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) {
    ShowInfo(FrameBuildingsText(7));
    return false;
  }
  if (RightDenied(rtPrintLists)) return false;
  // Its printer is offered first where the user wants that; it prints as a list, so "in
  // Datei" writes a spreadsheet.
  if (AskPrintForm()) {
    ClearPrintChoices();
    AddPrintChoice(FrameBuildingsText(8), 0, true, true, false);
    TPrintFields none;
    int code = 0;
    if (!ExecutePrintSelect(none, code)) return false;
  }
  std::string name = db->GetDisplayName(CurrentId);
  if (name.size() > 40) name.resize(40);
  return PrintLines &&
         PrintLines(FrameBuildingsTextFmt(10, name), DoorsAndKeysLines(*db, CurrentId));
}

bool TFrameBuildings2::PrintBuildings(bool onlyShown) {
  TMiniDB* db = GlueDB();
  if (!db || RightDenied(rtPrintLists)) return false;
  std::vector<int32_t> ids;
  if (onlyShown) {
    if (CurrentId != 0) ids.push_back(CurrentId);
  } else {
    for (int row = 0; row < ListingFrame->Count(); ++row) AddUnique(ids, ListingFrame->IdAt(row));
  }
  std::vector<std::string> lines = BuildingListLines(*db, ids);
  // Only the ticked columns (all while none were chosen yet).
  if (!printFields_.empty()) {
    for (std::string& line : lines) {
      std::string kept;
      size_t column = 0, at = 0;
      bool first = true;
      for (;;) {
        const size_t tab = line.find('\t', at);
        const std::string cell = line.substr(at, tab == std::string::npos ? tab : tab - at);
        if (column < printFields_.size() && printFields_[column].checked) {
          kept += (first ? "" : "\t") + cell;
          first = false;
        }
        if (tab == std::string::npos) break;
        at = tab + 1;
        ++column;
      }
      line = kept;
    }
  }
  if (lines.size() < 2) {
    ShowInfo(FrameBuildingsText(7));
    return false;
  }
  return PrintLines && PrintLines(BuildingsCaption(), lines);
}

void TFrameBuildings2::PrintMenu() {
  if (RightDenied(rtPrintLists)) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  if (printFields_.empty())
    for (const char* caption : {"Name", "Anschrift",
                                "Schlie\xDF"
                                "anlage",
                                "Bemerkung"})
      printFields_.push_back({caption, true});
  ClearPrintChoices();
  AddPrintChoice(FrameBuildingsText(15), 0, CurrentId != 0, false, true);
  AddPrintChoice(FrameBuildingsText(16), 2,
                 CurrentId != 0 && !DoorsOfBuilding(*db, CurrentId).empty(), false, false);
  AddPrintChoice(FrameBuildingsText(17), 1, true, true, true);
  int code = -1;
  if (!ExecutePrintSelect(printFields_, code)) return;
  if (code == 2) {
    PrintDoorsAndKeys();
    return;
  }
  PrintBuildings(code == 0);
}

bool TFrameBuildings2::PrintPage() {
  PrintMenu();
  return true;
}

void TFrameBuildings2::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  // The list 309 pixels wide on the smallest page (789) and half of what the page grows
  // beyond, half of the height below the buttons; the doors below it down to the bottom;
  // the fields with the persons at its right, the whole height.
  const int top = ListingFrame->y();
  const int below = std::max(0, height() - top);
  const int listWidth = std::min(width(), std::max(309 / 2, 309 + (width() - 789) / 2));
  const int listHeight = std::min(below, std::max(234 / 2, below / 2));
  ListingFrame->setGeometry(0, top, listWidth, listHeight);
  DoorsPageControl->setGeometry(0, top + listHeight, listWidth, below - listHeight);
  EdPanel->setGeometry(listWidth, top, std::max(0, width() - listWidth), below);
}

// =======================================================================================
// Registration

void RegisterBuildingsView() {
  RegisterViewFactory(pgBuildings, [](QWidget* page) {
    auto* view = new TFrameBuildings2(page);
    view->PlaceIn(page);
    RegisterView(pgBuildings, &view->GlueView());
  });
}

void TFrameBuildings2::TermsChanged() { FillOwnSystemCombo(HouseKeysystemCombo, FrameBuildingsText(18)); }
