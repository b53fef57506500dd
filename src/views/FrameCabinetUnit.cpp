#include "views/FrameCabinetUnit.h"

#include <algorithm>

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MainFormUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SearchLikeGoogleUnit.h"
#include "basic/UserInteraction.h"
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
#include "views/TitledPrintUnit.h"

namespace {

bool IsCabinet(const TMiniDB& db, int32_t id) {
  return id > 0 && db.HasRecord(id) && db.IsValid(id) && db.GetClass(id) == icCabinet;
}

std::vector<int32_t> Ids(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

}  // namespace

const TMLStringList* FrameCabinetTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameCabinet", 0);
    t->Add255Obj("Dieser Schl\xFCsselschrank wurde zwischenzeitlich gel\xF6scht#13#und kann "
                 "nicht mehr bearbeitet werden.",
                 1);
    t->Add255Obj("Es gibt bereits einen Schl\xFCsselschrank mit diesem Namen.", 2);
    t->Add255Obj("Es kann kein neuer Schl\xFCsselschrank angelegt werden.", 3);
    t->Add255Obj("Dieser Schrank ist noch mit Schl\xFCsseln verkn\xFCpft.", 4);
    t->Add255Obj("Anzahl aktuell / max.", 5);
    t->Add255Obj("Bitte w\xE4hlen Sie einen Schl\xFCsselschrank", 6);
    return t;
  }();
  return table;
}

std::string FrameCabinetText(int number) { return GetMLText(FrameCabinetTexts(), number); }

std::string CabinetCountCell(const std::string& current, const std::string& maximum) {
  if (current.empty() && maximum.empty()) return "";
  const std::string cur = current.empty() ? "?" : current;
  const std::string max = maximum.empty() ? "?" : maximum;
  return "\t" + cur + " / " + (max.size() == 1 ? "  " : "") + max + " ";
}

std::vector<TCabinetKeyRow> CabinetKeyRows(const TMiniDB& db, int32_t cabinet,
                                           const std::vector<int32_t>& ids,
                                           const std::string& search, int32_t system) {
  std::vector<TCabinetKeyRow> rows;
  TSearchLikeGoogle seek;
  const bool seeking = !Trim(search).empty();
  if (seeking) seek.SetSearchText(search);
  std::string scratch;
  rows.reserve(ids.size());
  for (int32_t key : ids) {
    if (!db.IsValid(key) || db.GetClass(key) != icKey) continue;
    if (system != ksAll && db.ReadKeySystem(key) != system) continue;
    TCabinetKeyRow row;
    row.key = key;
    std::string hook = " " + GetHookText(db, key, cabinet);
    while (!hook.empty() && hook.back() == ' ') hook.pop_back();
    row.hook = std::move(hook);
    row.name = " " + db.GetDisplayName(key);
    if (seeking && !seek.Matches(row.hook + " " + row.name, scratch)) continue;
    row.count = CabinetCountCell(db.ReadLinkValue(key, cabinet, fkCabinetStock),
                                 db.ReadLinkValue(key, cabinet, fkCabinetOwned));
    rows.push_back(std::move(row));
  }
  std::stable_sort(rows.begin(), rows.end(), [](const TCabinetKeyRow& a, const TCabinetKeyRow& b) {
    return AnsiCompareText(a.hook, b.hook) < 0;
  });
  return rows;
}

std::vector<TCabinetKeyRow> CabinetKeyRows(const TMiniDB& db, int32_t cabinet) {
  TItemList keys;
  db.ReadLinks(cabinet, icKey, keys);
  return CabinetKeyRows(db, cabinet, Ids(keys), "", ksAll);
}

void FitCabinetKeysColumns(QTableWidget* grid) {
  const QFontMetrics cells(grid->font());
  const QFontMetrics titles(grid->horizontalHeader()->font());
  for (int c = 0; c < kCabinetKeysTextColumns && c < grid->columnCount(); ++c) {
    const QTableWidgetItem* title = grid->horizontalHeaderItem(c);
    int width = title ? titles.horizontalAdvance(title->text()) + kCabinetCellPadding : 0;
    for (int r = 0; r < grid->rowCount() && width < kCabinetColumnMaxWidth; ++r)
      if (const QTableWidgetItem* item = grid->item(r, c))
        width = std::max(width, cells.horizontalAdvance(item->text()) + kCabinetCellPadding);
    grid->setColumnWidth(c, std::min(kCabinetColumnMaxWidth, width));
  }
  // The fourth column holds nothing to see; it must not show as an empty strip.
  for (int c = kCabinetKeysTextColumns; c < grid->columnCount(); ++c)
    grid->setColumnHidden(c, true);
}

void FillCabinetKeysGrid(QTableWidget* grid, const std::vector<TCabinetKeyRow>& rows) {
  grid->setUpdatesEnabled(false);
  grid->setSortingEnabled(false);
  grid->clearContents();
  grid->setRowCount(static_cast<int>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::string* cells[] = {&rows[r].hook, &rows[r].name, &rows[r].count};
    for (int c = 0; c < kCabinetKeysTextColumns; ++c) {
      auto* item = new QTableWidgetItem(ToQString(*cells[c]));
      item->setData(Qt::UserRole, rows[r].key);
      grid->setItem(static_cast<int>(r), c, item);
    }
  }
  FitCabinetKeysColumns(grid);
  grid->setUpdatesEnabled(true);
}

std::vector<std::string> CabinetPrintLines(const TMiniDB& db, const QTableWidget* grid,
                                           const std::vector<TPrintField>& fields) {
  std::vector<std::string> lines;
  std::string head;
  for (size_t i = 0; i < fields.size(); ++i) head += (i ? "\t" : "") + fields[i].caption;
  lines.push_back(KeepTickedColumns(head, fields));
  for (int row = 0; row < grid->rowCount(); ++row) {
    // Before the row's cells are read: the events may refill the grid.
    if (row % 16 == 15) UI().ProcessPendingEvents();
    const QTableWidgetItem* hook = grid->item(row, 0);
    const int32_t key = hook ? hook->data(Qt::UserRole).toInt() : 0;
    if (key <= 0 || !db.HasRecord(key)) continue;
    // The grid's count cell begins with the TAB that aligns it right on screen; in a TAB
    // line it would push the count into a column of its own.
    std::string count = grid->item(row, 2) ? FromQString(grid->item(row, 2)->text()) : "";
    if (!count.empty() && count[0] == '\t') count.erase(0, 1);
    lines.push_back(KeepTickedColumns(FromQString(hook->text()) + "\t" + db.GetDisplayName(key) +
                                          "\t" + ItemKeySystemName(db, key) + "\t" + count,
                                      fields));
  }
  return lines;
}

TFrameCabinet::TFrameCabinet(QWidget* owner) : TFrameMother(owner, icCabinet, rtBuildings) {
  setObjectName("FrameCabinet");
  ListingFrame->SeekCombo->show();
  ListingFrame->FrameResize();
  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  auto* fields = new QGridLayout;
  auto edit = [panel](const char* name) {
    auto* e = new QLineEdit(panel);
    e->setObjectName(name);
    return e;
  };
  NameEd = edit("NameEd");
  PanelEd = edit("PanelEd");
  ColEd = edit("ColEd");
  RowEd = edit("RowEd");
  RemMemo = new QPlainTextEdit(panel);
  RemMemo->setObjectName("RemMemo");
  RemMemo->setFixedHeight(54);
  fields->addWidget(new QLabel(ToQString(" Schrank:"), panel), 0, 0);
  fields->addWidget(NameEd, 0, 1, 1, 3);
  fields->addWidget(new QLabel(ToQString(" F\xE4"
                                         "cher-Anz.:"),
                               panel),
                    1, 0);
  fields->addWidget(PanelEd, 1, 1);
  fields->addWidget(new QLabel(ToQString("Spalten:"), panel), 2, 0);
  fields->addWidget(ColEd, 2, 1);
  fields->addWidget(new QLabel(ToQString("Reihen:"), panel), 2, 2);
  fields->addWidget(RowEd, 2, 3);
  fields->addWidget(new QLabel(ToQString("Bemerkung:"), panel), 3, 0, Qt::AlignTop);
  fields->addWidget(RemMemo, 3, 1, 1, 3);
  outer->addLayout(fields);
  // The allowed users sit below the list, the keys right of it below the fields.
  UsersLabel = new QLabel(ToQString("Benutzer mit Zugriffserlaubnis"), this);
  UsersLabel->setObjectName("UsersLabel");
  UsersLabel->setWordWrap(true);
  UsersBox = new QListWidget(this);
  UsersBox->setObjectName("UsersBox");
  auto* keysPages = new QTabWidget(panel);
  keysPages->setObjectName("KeysPageControl");
  KeysListingGridFrame = new TListingGridFrame(nullptr);
  KeysListingGridFrame->setObjectName("KeysListingGridFrame");
  KeysListingGridFrame->ItemType = icKey;
  KeysListingGridFrame->Grid->setColumnCount(4);
  KeysListingGridFrame->FrameResize();
  KeysListingGridFrame->Grid->installEventFilter(this);
  keysPages->addTab(KeysListingGridFrame, ToQString("Schl\xFCssel in diesem Schrank"));
  TermsChanged();
  KeysListingGridFrame->OnGetIds = [this](TItemList& ids) {
    if (TMiniDB* db = GlueDB(); db && KeysListingGridFrame->ContextId > 0)
      db->ReadLinks(KeysListingGridFrame->ContextId, icKey, ids);
  };
  KeysListingGridFrame->FillProc = [](QTableWidget* grid, int32_t cabinet, uint8_t,
                                      const int* counter, int32_t system, int, uint8_t,
                                      QComboBox* search, const TItemList& ids) {
    TMiniDB* db = GlueDB();
    if (!db || cabinet <= 0) return;
    const int mine = *counter;
    const std::vector<TCabinetKeyRow> rows = CabinetKeyRows(
        *db, cabinet, Ids(ids), search ? FromQString(search->currentText()) : std::string(),
        system);
    if (*counter == mine) FillCabinetKeysGrid(grid, rows);
  };
  connect(KeysListingGridFrame->Grid, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { KeysListingGridFrameGridDblClick(row); });
  outer->addWidget(keysPages, 1);
  PrintList1->setVisible(true);
  PrintLines = [](const std::string& title, const std::vector<std::string>& lines) {
    return PrintTitledLines(title, lines);
  };
  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  TranslateForm(this);
  InitLayout();
  ClearDisplay();
}

TFrameCabinet::~TFrameCabinet() = default;

void TFrameCabinet::InitLayout() { TFrameMother::InitLayout(); }

void TFrameCabinet::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  // The list a fifth of the width and three fifths of the height, the allowed users below
  // it; the fields and the keys right of it.
  const int top = ListingFrame->y();
  const int below = std::max(0, height() - top);
  // 309 pixels at the smallest page width (789) and a fifth of what the page grows beyond.
  const int listWidth = std::min(width(), std::max(309 / 2, 309 + (width() - 789) / 5));
  const int listHeight = std::max(234 / 2, below * 3 / 5);
  ListingFrame->setGeometry(0, top, listWidth, std::min(below, listHeight));
  const int usersTop = ListingFrame->geometry().bottom() + 1;
  const int labelHeight = UsersLabel->heightForWidth(std::max(1, listWidth - 4)) + 4;
  UsersLabel->setGeometry(4, usersTop + 2, listWidth - 4, labelHeight);
  UsersBox->setGeometry(0, usersTop + labelHeight + 2, listWidth,
                        std::max(0, height() - usersTop - labelHeight - 2));
  EdPanel->setGeometry(listWidth, top, std::max(0, width() - listWidth), below);
}

bool TFrameCabinet::PrintPage() {
  PrintMenu();
  return true;
}

void TFrameCabinet::PrintMenu() {
  if (RightDenied(rtPrintLists)) return;
  TMiniDB* db = GlueDB();
  if (!db) return;
  if (CurrentId == 0) {
    ShowInfo(FrameCabinetText(6));
    return;
  }
  if (printFields_.empty())
    for (const std::string& caption : {std::string("Haken"), KeyCaption(),
                                       std::string("Schlie\xDF"
                                                   "anlage"),
                                       std::string("Anzahl")})
      printFields_.push_back({caption, true});
  ClearPrintChoices();
  const std::string title = MLTranslate("Schl\xFCsselschrank");
  AddPrintChoice(title, 0, true, true, true);
  int code = -1;
  if (!ExecutePrintSelect(printFields_, code)) return;
  PrintLines(title + " " + db->ReadName(CurrentId),
             CabinetPrintLines(*db, KeysListingGridFrame->Grid, printFields_));
}

void TFrameCabinet::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{NameEd, PanelEd, ColEd, RowEd, RemMemo})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  // The users only with the full users right.
  const bool users = editable && Session().RightLevels[rtUsers] == rlYes;
  UsersBox->setEnabled(users);
  ApplyControlLook(UsersBox, users ? TControlLook::Editable : TControlLook::ReadOnly);
  if (!users) UsersBox->clearSelection();
}

void TFrameCabinet::ShowViewMode() {
  Editing = false;
  EditState = 0;
  ListingFrame->setEnabled(true);
  const bool shown = CurrentId != 0;
  NewBtn->show();
  EdBtn->setVisible(shown);
  KillBtn->setVisible(shown);
  PrintBtn->setVisible(shown);
  SaveBtn->hide();
  CancelBtn->hide();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false);
}

void TFrameCabinet::DiscardEdit() { ShowViewMode(); }

void TFrameCabinet::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  ListingFrame->setEnabled(false);
  for (QWidget* b : std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, PrintBtn}) b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
}

void TFrameCabinet::ClearDisplay() {
  CurrentId = 0;
  ListingFrame->ClearSelection();
  for (QLineEdit* e : {NameEd, PanelEd, ColEd, RowEd}) e->clear();
  RemMemo->clear();
  UsersBox->clear();
  KeysListingGridFrame->ClearSelection();
  ShowViewMode();
}

void TFrameCabinet::FillUsersBox(int32_t cabinet) {
  UsersBox->clear();
  TMiniDB* db = GlueDB();
  if (!db) return;
  TItemList linked;
  if (cabinet) db->ReadLinks(cabinet, icUser, linked);
  TItemList users;
  db->ListClassValid(icUser, users);
  for (int32_t user : Ids(users)) {
    auto* item = new QListWidgetItem(ToQString(db->GetDisplayName(user)), UsersBox);
    item->setData(Qt::UserRole, user);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(linked.IndexOf(user) >= 0 ? Qt::Checked : Qt::Unchecked);
  }
}

std::vector<int32_t> TFrameCabinet::CheckedUsers() const {
  std::vector<int32_t> users;
  for (int i = 0; i < UsersBox->count(); ++i)
    if (UsersBox->item(i)->checkState() == Qt::Checked)
      users.push_back(UsersBox->item(i)->data(Qt::UserRole).toInt());
  return users;
}

void TFrameCabinet::ShowRecord(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!IsCabinet(*db, id)) {
    if (CurrentId == id) ClearDisplay();
    return;
  }
  ListingFrame->SelectId(id);
  CurrentId = id;
  ShowViewMode();
  NameEd->setText(ToQString(db->ReadName(id)));
  PanelEd->setText(ToQString(db->ReadLineField(id, "pan")));
  ColEd->setText(ToQString(db->ReadLineField(id, "col")));
  RowEd->setText(ToQString(db->ReadLineField(id, "row")));
  RemMemo->setPlainText(ToQString(RemarkToText(db->ReadLineField(id, fkRemark))));
  FillUsersBox(id);
  KeysListingGridFrame->ContextId = id;
  KeysListingGridFrame->Fill();
}

void TFrameCabinet::KeysListingGridFrameGridDblClick(int row) {
  const QTableWidgetItem* item = KeysListingGridFrame->Grid->item(row, 0);
  const int32_t key = item ? item->data(Qt::UserRole).toInt() : 0;
  if (key > 0) GotoItem(key, true);
}

void TFrameCabinet::RefreshView() {
  // A building added, renamed or deleted elsewhere shows in the keys grid's filter.
  const bool filterChanged = KeysListingGridFrame->FillHouseCombo();
  TFrameMother::RefreshView();
  // Showing the record fills the grid; while editing it is not shown again.
  if (Editing && filterChanged) KeysListingGridFrame->Fill();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFrameCabinet::eventFilter(QObject* watched, QEvent* event) {
  if (watched == KeysListingGridFrame->Grid && event->type() == QEvent::Resize)
    FitCabinetKeysColumns(KeysListingGridFrame->Grid);
  return TFrameMother::eventFilter(watched, event);
}

bool TFrameCabinet::StartEdit() {
  if (CurrentId == 0 || Editing || RightDenied(rtBuildings)) return false;
  if (!LockCurrentForEdit(FrameCabinetText(1))) return false;
  ShowRecord(CurrentId);
  EditState = 1;
  EnterEditMode();
  FocusControlIfPossible(NameEd);
  return true;
}

void TFrameCabinet::NewBtnClick() {
  if (Editing || RightDenied(rtBuildings)) return;
  ClearDisplay();
  ReloadAndRefresh();
  FillUsersBox(0);
  EditState = 2;
  EnterEditMode();
  FocusControlIfPossible(NameEd);
}

bool TFrameCabinet::CanDelete() {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  if (db->ReadLinkCount(CurrentId, icKey) > 0) {
    ShowError(FrameCabinetText(4));
    return false;
  }
  return true;
}

bool TFrameCabinet::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const std::string name = Trim(FromQString(NameEd->text()));
  if (name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(NameEd);
    return false;
  }
  const std::string remark = RemarkToStored(FromQString(RemMemo->toPlainText()));
  const bool isNew = EditState == 2 || CurrentId == 0;
  const int32_t existing = isNew ? 0 : CurrentId;
  const bool usersChange = Session().RightLevels[rtUsers] == rlYes;
  const std::vector<int32_t> wanted = CheckedUsers();
  std::vector<int32_t> records{};
  auto add = [&records](int32_t id) {
    if (id > 0 && std::find(records.begin(), records.end(), id) == records.end())
      records.push_back(id);
  };
  add(existing);
  if (usersChange) {
    for (int32_t user : wanted) add(user);
    if (existing) {
      TItemList now;
      db->ReadLinks(existing, icUser, now);
      for (int32_t user : Ids(now)) add(user);
    }
  }
  enum class TRefusal { None, Blocked, NameTaken, Gone, NotCreated, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, records);
    if (!write.Ok()) {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (FindItemByName(*db, icCabinet, name, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else if (existing && !IsCabinet(*db, existing)) {
      refusal = TRefusal::Gone;
    } else {
      if (isNew) {
        saved = db->NewRecord(icCabinet);
        if (saved != 0 && !write.Include({saved})) saved = 0;
      }
      if (saved == 0) {
        refusal = TRefusal::NotCreated;
      } else {
        db->SetField(saved, fkName, name);
        db->SetField(saved, "pan", Trim(FromQString(PanelEd->text())));
        db->SetField(saved, "col", Trim(FromQString(ColEd->text())));
        db->SetField(saved, "row", Trim(FromQString(RowEd->text())));
        db->SetField(saved, fkRemark, remark);
        bool ok = true;
        if (usersChange) {
          // The users linked on the fresh data join the write under the same check.
          TItemList now;
          db->GetLinks(saved, icUser, now);
          if (!write.Include(Ids(now))) {
            ok = false;
          } else {
            for (int32_t user : Ids(now))
              if (std::find(wanted.begin(), wanted.end(), user) == wanted.end())
                db->RemoveLinkBoth(saved, user, icUser, icCabinet);
            for (int32_t user : wanted)
              if (db->IsValid(user) && now.IndexOf(user) < 0)
                db->AddLinkBoth(saved, user, icUser, icCabinet);
          }
        }
        if (!ok) {
          refusal = TRefusal::Blocked;
          blocking = write.Blocking().empty() ? "*" : write.Blocking();
        } else if (!write.Commit()) {
          refusal = TRefusal::NotSaved;
        }
      }
    }
  }
  switch (refusal) {
    case TRefusal::None: break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::NameTaken: TellNameTaken(FrameCabinetText(2), NameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameCabinetText(1)); return false;
    case TRefusal::NotCreated: ShowError(FrameCabinetText(3)); return false;
    case TRefusal::NotSaved: return false;
  }
  db->RefreshName(saved);
  if (existing) db->UnlockItem(existing);
  CurrentId = saved;
  ShowViewMode();
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowRecord(saved);
  FocusList();
  return true;
}

void RegisterCabinetsView() {
  RegisterViewFactory(pgCabinets, [](QWidget* page) {
    auto* view = new TFrameCabinet(page);
    view->PlaceIn(page);
    RegisterView(pgCabinets, &view->GlueView());
  });
}

void TFrameCabinet::TermsChanged() {
  KeysListingGridFrame->TermsChanged();
  // "alle Gebäude" and "ohne Gebäude-Zuordnung" in the language now in force.
  if (KeysListingGridFrame->FillHouseCombo()) KeysListingGridFrame->Fill();
  QTableWidget* grid = KeysListingGridFrame->Grid;
  grid->setHorizontalHeaderLabels({ToQString(" " + MLTranslate("Haken")),
                                   ToQString(" " + KeyCaption()),
                                   ToQString(" " + FrameCabinetText(5)), QString()});
  // Each title shows whole, however narrow the rows.
  FitCabinetKeysColumns(grid);
}
