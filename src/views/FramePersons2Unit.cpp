#include "views/FramePersons2Unit.h"

#include <algorithm>
#include <set>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/CommandNames.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/AppControlUnit.h"
#include "app/GridExportUnit.h"
#include "app/SigFormUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/TempFilesUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HistoryUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintUnit.h"
#include "views/PersonPhotoUnit.h"

// =======================================================================================
// Texts

const TMLStringList* FramePersonsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FramePersons", 0);
    t->Add255Obj("Diese Person wurde zwischenzeitlich gel\xF6scht#13#und kann nicht mehr "
                 "bearbeitet werden.", 1);
    t->Add255Obj("Ausgeben des Schl\xFCssels: %1", 2);
    t->Add255Obj("M\xF6" "chten Sie %1 Seiten drucken?", 3);
    t->Add255Obj("Schl\xFCssel (einzeilig)", 4);
    t->Add255Obj("Schl\xFCssel (mehrzeilig)", 5);
    t->Add255Obj("Schl\xFCssel (mehrzeilig mit Anlage)", 6);
    t->Add255Obj("nur die angezeigte Person", 7);
    t->Add255Obj("die in der Liste angezeigten Personen", 8);
    t->Add255Obj("Ausleihkontroll\xFC" "bersicht einzeln", 9);
    t->Add255Obj("Ausleihkontroll\xFC" "bersicht f\xFCr alle", 10);
    t->Add255Obj("Ausleihkontroll\xFC" "bersicht", 11);
    t->Add255Obj("Es gibt bereits eine Person mit diesem Namen.", 12);
    t->Add255Obj("", 14);
    t->Add255Obj("Die Person kann nicht gel\xF6scht werden#13#solange ihr Schl\xFCssel "
                 "zugeordnet sind.", 15);
    t->Add255Obj("", 16);
    t->Add255Obj("Ansicht: Abteilung: Name (Nummer)", 17);
    t->Add255Obj("Ansicht: Nummer: Name (Abteilung)", 18);
    t->Add255Obj("Ansicht: Name (Abteilung/Nummer)", 19);
    t->Add255Obj("Bitte speichern Sie den Mitarbeiter zun\xE4" "chst.#13#Anschlie\xDF" "end "
                 "k\xF6nnen Sie ein Foto hinzuf\xFCgen.", 20);
    t->Add255Obj("Kein Zugriff auf die Foto-Datenbank.", 21);
    t->Add255Obj("Die eingegebene Nummer wird bereits verwendet#13#bei Person: %1", 22);
    return t;
  }();
  return table;
}

namespace {

std::string Trim(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

std::string FramePersonsText(int number) { return GetMLText(FramePersonsTexts(), number); }
std::string FramePersonsTextFmt(int number, const std::string& argument) {
  return GetMLTextFmt(FramePersonsTexts(), number, argument);
}

// =======================================================================================
// Display names of persons

namespace {

std::string PersonField(const TQStringList& fields, const char* key) {
  return UnscrambleStr(fields.ValueOf(key));
}

// Department and number joined by "/" (either alone when the other is empty).
std::string PersonContext(const TQStringList& fields) {
  const std::string dept = PersonField(fields, fkDepartment);
  const std::string number = PersonField(fields, fkPersonNumber);
  if (dept.empty()) return number;
  if (number.empty()) return dept;
  return dept + "/" + number;
}

// `first`: name (`last`), with "first: " in front when given.
std::string PrefixedName(const std::string& first, const std::string& name,
                         const std::string& last) {
  std::string text = first.empty() ? name : first + ": " + name;
  if (!last.empty()) text += " (" + last + ")";
  return text;
}

// The names in other styles (brackets, TAB) are those of every other list.
bool OtherStyle(const TQStringList& fields, uint8_t style, std::string& text) {
  if (style == static_cast<uint8_t>(kBracketRound) ||
      style == static_cast<uint8_t>(kBracketSquare)) {
    text = DecorateWithBrackets(PersonField(fields, fkName), PersonContext(fields),
                                static_cast<char>(style));
    return true;
  }
  if (style == static_cast<uint8_t>(kBracketNone)) {
    text = PersonField(fields, fkName);
    return true;
  }
  return false;
}

void NameDeptFirst(const TMiniDB& /*db*/, int32_t /*id*/, const TQStringList& fields,
                   uint8_t style, std::string& text) {
  if (style != 9 && OtherStyle(fields, style, text)) return;
  text = PrefixedName(PersonField(fields, fkDepartment), PersonField(fields, fkName),
                      PersonField(fields, fkPersonNumber));
}

void NameNumberFirst(const TMiniDB& /*db*/, int32_t /*id*/, const TQStringList& fields,
                     uint8_t style, std::string& text) {
  if (style != 9 && OtherStyle(fields, style, text)) return;
  text = PrefixedName(PersonField(fields, fkPersonNumber), PersonField(fields, fkName),
                      PersonField(fields, fkDepartment));
}

void NameWithContextFunc(const TMiniDB& /*db*/, int32_t /*id*/, const TQStringList& fields,
                         uint8_t style, std::string& text) {
  if (style != 9 && OtherStyle(fields, style, text)) return;
  text = DecorateWithBrackets(PersonField(fields, fkName), PersonContext(fields), kBracketRound);
}

}  // namespace

bool InstallPersonNameMode(TMiniDB& db, int mode) {
  switch (mode) {
    case kPersonNameDeptFirst: db.SetNameFunc(icPerson, NameDeptFirst); return true;
    case kPersonNameNumberFirst: db.SetNameFunc(icPerson, NameNumberFirst); return true;
    case kPersonNameWithContext: db.SetNameFunc(icPerson, NameWithContextFunc); return true;
    default: return false;
  }
}

// =======================================================================================
// Holdings and access, without widgets

namespace {

// The person's keys (l4) followed by their key bunches (l14).
std::vector<int32_t> PersonKeysAndBunches(TMiniDB& db, int32_t person) {
  std::vector<int32_t> items;
  for (int kind : {int(icKey), int(icKeyBunch)}) {
    TItemList linked;
    db.GetLinks(person, kind, linked);
    for (int32_t i = 0; i < linked.Count(); ++i) items.push_back(linked.Get(i));
  }
  return items;
}

}  // namespace

THolderEntries PersonHoldings(TMiniDB& db, int32_t person) {
  THolderEntries holdings;
  if (person <= 0) return holdings;
  // The walk of the lending overview (BuildPersonKeyList), so that row i + 1 of the
  // overview is holding i.
  for (int32_t item : PersonKeysAndBunches(db, person))
    for (THolderEntry& e : LoadHolderRecs(db, item, false))
      if (e.Kind == okPerson && e.HolderId == person) holdings.push_back(std::move(e));
  return holdings;
}

bool PersonHoldsKeys(TMiniDB& db, int32_t person) {
  if (person <= 0) return false;
  const std::string prefix = HolderLinePrefix({okPerson, person});
  for (int32_t item : PersonKeysAndBunches(db, person)) {
    const int cls = db.GetClass(item);
    if ((cls != icKey && cls != icKeyBunch) || !db.IsValid(item)) continue;
    if (HasHolderLine(SplitHolderLines(db.ReadLineField(item, fkHolders)), prefix)) return true;
  }
  return false;
}

TPersonAccess BuildPersonAccess(TMiniDB& db, int32_t person, bool detailed) {
  TPersonAccess access;
  if (person <= 0 || !db.HasRecord(person)) return access;
  const std::vector<int32_t> items = PersonKeysAndBunches(db, person);
  std::vector<TKeySystemCode> masterSystems;
  for (int32_t item : items) {
    const TKeySystemCode code = GeneralMasterKeySystem(db, item);
    if (code != 0 && std::find(masterSystems.begin(), masterSystems.end(), code) ==
                         masterSystems.end())
      masterSystems.push_back(code);
  }
  access.hasGeneralMaster = !masterSystems.empty();

  std::vector<int32_t> doors;
  std::set<int32_t> seen;
  for (int32_t item : items) {
    if (!detailed) {
      const TKeySystemCode code = StrToIntZero(Trim(db.ReadLineField(item, fkKeySystem)));
      if (std::find(masterSystems.begin(), masterSystems.end(), code) != masterSystems.end())
        continue;
    }
    TItemList opened;
    GetDoorsOpenedBy(db, item, opened);
    for (int32_t i = 0; i < opened.Count(); ++i)
      if (seen.insert(opened.Get(i)).second) doors.push_back(opened.Get(i));
  }

  std::vector<std::string> rooms;
  for (int32_t door : doors) {
    access.doors.emplace_back(NameWithContext(db, door, kBracketRound), door);
    std::string room = RoomText(db, door);
    if (room.empty()) room = db.GetDisplayName(door);
    rooms.push_back(room);
  }
  std::sort(rooms.begin(), rooms.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  for (const std::string& room : rooms)
    if (access.rooms.empty() || !AnsiSameText(access.rooms.back(), room))
      access.rooms.push_back(room);

  if (!detailed) {
    // One summary line per system on top, in the order the systems were found.
    for (auto it = masterSystems.rbegin(); it != masterSystems.rend(); ++it) {
      const std::string line = CoreText(19) + " " + KeySystemName(db, *it);
      access.doors.insert(access.doors.begin(), {line, 0});
      access.rooms.insert(access.rooms.begin(), line);
    }
  }
  return access;
}

// =======================================================================================
// The view

namespace {

constexpr int kListWidth = 309;
constexpr int kThumbSize = 32;

// A grey head and shoulders on white: the thumbnail of a person without a photo.
QPixmap NoPhotoPicture() {
  QPixmap picture(kThumbSize, kThumbSize);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xB0, 0xB0, 0xB0));
  painter.drawEllipse(QRectF(10, 4, 12, 13));
  painter.drawChord(QRectF(4, 18, 24, 26), 0, 180 * 16);
  return picture;
}

QToolButton* FootButton(QWidget* parent, const char* caption) {
  auto* button = new QToolButton(parent);
  button->setText(ToQString(caption));
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumHeight(24);
  return button;
}

QLabel* FieldLabel(QWidget* parent, const std::string& caption) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

// The rows of a grid as the holding grid shows them (row 0 the titles).
void FillGridFromTabLines(QTableWidget* grid, const TQStringList& lines) {
  std::vector<std::vector<std::string>> rows;
  int cols = 1;
  for (const TStringItem& item : lines.Items()) {
    std::vector<std::string> cells;
    std::string rest = item.text;
    for (;;) {
      const size_t tab = rest.find('\t');
      cells.push_back(rest.substr(0, tab));
      if (tab == std::string::npos) break;
      rest.erase(0, tab + 1);
    }
    cols = std::max(cols, static_cast<int>(cells.size()));
    rows.push_back(std::move(cells));
  }
  SetGridColCount(grid, cols);
  SetGridRowCount(grid, std::max<int>(2, static_cast<int>(rows.size())));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < cols; ++c)
      SetGridCell(grid, c, r,
                  c < static_cast<int>(rows[r].size()) ? rows[r][static_cast<size_t>(c)] : "");
  if (rows.size() < 2)
    for (int c = 0; c < cols; ++c) SetGridCell(grid, c, 1, "");
}

}  // namespace

TFramePersons2::TFramePersons2(QWidget* owner) : TFrameMother(owner, icPerson, rtPersons) {
  setObjectName("FramePersons2");
  ListingFrame->SeekCombo->show();
  ListingFrame->FrameResize();
  JournalBtn->show();

  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(6);

  // The fields and the photo thumbnail.
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(6);
  fields->setVerticalSpacing(4);
  MaNameEd = new QLineEdit(panel);
  MaNameEd->setObjectName("MaNameEd");
  DeptStaticText = FieldLabel(panel, " " + DepartmentTerm() + ":");
  DeptStaticText->setObjectName("DeptStaticText");
  MaAbtEd = new QLineEdit(panel);
  MaAbtEd->setObjectName("MaAbtEd");
  MaNrEd = new QLineEdit(panel);
  MaNrEd->setObjectName("MaNrEd");
  HouseCombo = new QComboBox(panel);
  HouseCombo->setObjectName("HouseCombo");
  MaRemMemo = new QPlainTextEdit(panel);
  MaRemMemo->setObjectName("MaRemMemo");
  MaRemMemo->setFixedHeight(54);
  PhotoThumb = new QLabel(panel);
  PhotoThumb->setObjectName("PhotoThumb");
  PhotoThumb->setFixedSize(kThumbSize + 2, kThumbSize + 2);
  PhotoThumb->setFrameShape(QFrame::Box);
  PhotoThumb->setAlignment(Qt::AlignCenter);
  PhotoThumb->setCursor(Qt::PointingHandCursor);
  PhotoThumb->installEventFilter(this);
  fields->addWidget(FieldLabel(panel, "Name:"), 0, 0);
  fields->addWidget(MaNameEd, 0, 1);
  fields->addWidget(PhotoThumb, 0, 2, 2, 1, Qt::AlignTop | Qt::AlignRight);
  fields->addWidget(DeptStaticText, 1, 0);
  fields->addWidget(MaAbtEd, 1, 1);
  fields->addWidget(FieldLabel(panel, "Nr.:"), 2, 0);
  fields->addWidget(MaNrEd, 2, 1);
  fields->addWidget(FieldLabel(panel, BuildingCaption() + ":"), 3, 0);
  fields->addWidget(HouseCombo, 3, 1);
  fields->addWidget(FieldLabel(panel, "Bemerkung:"), 4, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(MaRemMemo, 4, 1, 1, 2);
  fields->setColumnStretch(1, 1);
  outer->addLayout(fields);

  // The holdings.
  KeyGrid = new QTableWidget(panel);
  KeyGrid->setObjectName("KeyGrid");
  KeyGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  KeyGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  KeyGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  KeyGrid->setAlternatingRowColors(true);
  KeyGrid->verticalHeader()->hide();
  KeyGrid->verticalHeader()->setDefaultSectionSize(18);
  KeyGrid->setWordWrap(false);
  KeyGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  KeyGrid->setMinimumHeight(90);
  InstallGridHeaderSort(KeyGrid);
  {
    QPalette grid = KeyGrid->palette();
    grid.setColor(QPalette::AlternateBase, ColorFromBgr(clListRowOdd));
    KeyGrid->setPalette(grid);
  }
  outer->addWidget(KeyGrid, 3);

  KeysFootPanel = new QFrame(panel);
  KeysFootPanel->setObjectName("KeysFootPanel");
  auto* foot = new QHBoxLayout(KeysFootPanel);
  foot->setContentsMargins(0, 0, 0, 0);
  GotoKeyBtn = FootButton(KeysFootPanel, "Schl\xFCssel zeigen");
  ReturnBtn = FootButton(KeysFootPanel, "R\xFC" "cknahme");
  LostBtn = FootButton(KeysFootPanel, "Verlust");
  IssueBtn = FootButton(KeysFootPanel, "Ausgabe");
  IssueBtn->setToolTip(ToQString("Schl\xFCssel ausgeben"));
  GotoKeyBtn->setObjectName("GotoKeyBtn");
  ReturnBtn->setObjectName("ReturnBtn");
  LostBtn->setObjectName("LostBtn");
  IssueBtn->setObjectName("IssueBtn");
  foot->addWidget(GotoKeyBtn);
  foot->addWidget(ReturnBtn);
  foot->addWidget(LostBtn);
  foot->addStretch(1);
  foot->addWidget(IssueBtn);
  outer->addWidget(KeysFootPanel);

  // The doors and rooms.
  ZugangPageControl = new QTabWidget(panel);
  ZugangPageControl->setObjectName("ZugangPageControl");
  auto* doorsTab = new QWidget;
  auto* doorsLayout = new QVBoxLayout(doorsTab);
  doorsLayout->setContentsMargins(2, 2, 2, 2);
  GhsDoorsDetailedCheck = new QCheckBox(ToQString("GHS ausf\xFChrlich"), doorsTab);
  GhsDoorsDetailedCheck->setObjectName("GhsDoorsDetailedCheck");
  GhsDoorsDetailedCheck->hide();
  MaMatchingDoorsListBox = new QListWidget(doorsTab);
  MaMatchingDoorsListBox->setObjectName("MaMatchingDoorsListBox");
  MaMatchingDoorsListBox->setContextMenuPolicy(Qt::CustomContextMenu);
  InstallListRowPainter(MaMatchingDoorsListBox);
  doorsLayout->addWidget(GhsDoorsDetailedCheck);
  doorsLayout->addWidget(MaMatchingDoorsListBox);
  RoomsListBox = new QListWidget;
  RoomsListBox->setObjectName("RoomsListBox");
  InstallListRowPainter(RoomsListBox);
  ZugangPageControl->addTab(doorsTab, ToQString(ClassCaption(icDoor, true)));
  ZugangPageControl->addTab(RoomsListBox, ToQString("R\xE4ume"));
  ZugangPageControl->setCurrentIndex(0);
  outer->addWidget(ZugangPageControl, 2);

  // The large photo, in the list's place.
  PhotoPanel = new QFrame(this);
  PhotoPanel->setObjectName("PhotoPanel");
  PhotoPanel->setAutoFillBackground(true);
  PhotoPanel->hide();
  PhotoPanel->installEventFilter(this);
  Photo = new QLabel(PhotoPanel);
  Photo->setObjectName("Photo");
  Photo->setScaledContents(true);
  Photo->installEventFilter(this);

  // Menus.
  PhotoPopup = new QMenu(this);
  AddPhoto1 = PhotoPopup->addAction(ToQString("Foto hinzuf\xFCgen/\xE4ndern"));
  DelPhoto1 = PhotoPopup->addAction(ToQString("Foto entfernen"));
  IssuePopup = new QMenu(this);
  IssueKey1 = IssuePopup->addAction(QString());
  SelectOtherKey1 = IssuePopup->addAction(ToQString("anderen Schl\xFCssel ausw\xE4hlen"));
  MaMatchingKeysPopup = new QMenu(this);
  MaGotoKey1 = MaMatchingKeysPopup->addAction(ToQString("zum Schl\xFCssel wechseln"));
  EdKeyDetails1 = MaMatchingKeysPopup->addAction(ToQString("Details bearbeiten ..."));
  LendControl1 = MaMatchingKeysPopup->addAction(ToQString("Verleihkontrolle drucken"));
  KeysView1 = MaMatchingKeysPopup->addAction(ToQString("Ansicht ..."));
  ShowSig1 = MaMatchingKeysPopup->addAction(ToQString("Unterschrift anzeigen"));
  SignForAll1 = MaMatchingKeysPopup->addAction(
      ToQString("neue Unterschrift f\xFCr alle Schl\xFCssel einholen ..."));
  DoorsPopup = new QMenu(this);
  MaGotoDoor1 = DoorsPopup->addAction(ToQString("zur T\xFCr wechseln"));
  ListPopup->addSeparator();
  MaView_AbtNameNr = ListPopup->addAction(QString());
  MaView_NrNameAbt = ListPopup->addAction(QString());
  MaView_NameAbtNr = ListPopup->addAction(QString());
  for (QAction* a : {MaView_AbtNameNr, MaView_NrNameAbt, MaView_NameAbtNr}) a->setCheckable(true);
  Count1 = ListPopup->addAction(ToQString("Z\xE4hlung"));
  PrintList1->setVisible(true);

  ChoosePhotoFile = [this]() -> std::string {
    QFileDialog dialog(this, ToQString("Foto hinzuf\xFCgen/\xE4ndern"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Bilder (*.jpg *.jpeg *.png *.bmp *.gif *.tif *.tiff)"),
                           QStringLiteral("* (*)")});
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return FromQString(dialog.selectedFiles().front());
  };

  // Handlers.
  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  connect(JournalBtn, &QToolButton::clicked, this, [this] {
    if (CurrentId != 0) ShowHistoryOf(CurrentId);
  });
  connect(TransferBtn, &QToolButton::clicked, this, [] { ShowPage(pgIssueReturn, true); });
  connect(KeyGrid, &QTableWidget::itemSelectionChanged, this, [this] { KeyGridClick(); });
  connect(KeyGrid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (row >= 0 && SelectedHolding()) GotoKeyBtnClick();
  });
  connect(KeyGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdatePopups();
    MaMatchingKeysPopup->popup(KeyGrid->viewport()->mapToGlobal(at));
  });
  connect(GotoKeyBtn, &QToolButton::clicked, this, [this] { GotoKeyBtnClick(); });
  connect(ReturnBtn, &QToolButton::clicked, this, [this] { ReturnBtnClick(); });
  connect(LostBtn, &QToolButton::clicked, this, [this] { LostBtnClick(); });
  connect(IssueBtn, &QToolButton::clicked, this, [this] {
    UpdatePopups();
    IssuePopup->popup(IssueBtn->mapToGlobal(QPoint(0, IssueBtn->height())));
  });
  connect(IssueKey1, &QAction::triggered, this, [this] { IssueKey1Click(); });
  connect(SelectOtherKey1, &QAction::triggered, this, [] { ShowPage(pgKeys, true); });
  connect(MaGotoKey1, &QAction::triggered, this, [this] { GotoKeyBtnClick(); });
  connect(EdKeyDetails1, &QAction::triggered, this, [this] { EdKeyDetails1Click(); });
  connect(KeysView1, &QAction::triggered, this, [] {
    if (RightDenied(rtPrintConfig)) return;
    if (const TMenuCommand& settings = MenuCommandOf(kMenuSettingsText1)) settings();
  });
  connect(ShowSig1, &QAction::triggered, this, [this] { ShowSig1Click(); });
  connect(LendControl1, &QAction::triggered, this, [this] { LendControl1Click(); });
  connect(GhsDoorsDetailedCheck, &QCheckBox::clicked, this, [this] { ShowAccess(); });
  connect(MaMatchingDoorsListBox, &QListWidget::itemDoubleClicked, this,
          [this] { MaGotoDoor1Click(); });
  connect(MaMatchingDoorsListBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) {
            MaGotoDoor1->setEnabled(SelectedListId(MaMatchingDoorsListBox) != 0);
            DoorsPopup->popup(MaMatchingDoorsListBox->viewport()->mapToGlobal(at));
          });
  connect(MaGotoDoor1, &QAction::triggered, this, [this] { MaGotoDoor1Click(); });
  connect(AddPhoto1, &QAction::triggered, this, [this] { AddPhoto1Click(); });
  connect(DelPhoto1, &QAction::triggered, this, [this] { DelPhoto1Click(); });
  connect(PhotoPopup, &QMenu::aboutToShow, this, [this] { UpdatePopups(); });
  connect(MaView_AbtNameNr, &QAction::triggered, this,
          [this] { SetListNameMode(kPersonNameDeptFirst, true); });
  connect(MaView_NrNameAbt, &QAction::triggered, this,
          [this] { SetListNameMode(kPersonNameNumberFirst, true); });
  connect(MaView_NameAbtNr, &QAction::triggered, this,
          [this] { SetListNameMode(kPersonNameWithContext, true); });
  connect(Count1, &QAction::triggered, this, [this] { Count1Click(); });
  connect(ListPopup, &QMenu::aboutToShow, this, [this] {
    Count1->setText(ToQString(CoreTextFmt(102, std::to_string(ListingFrame->Count()))));
  });
  connect(ListingFrame->ListBox, &QListView::doubleClicked, this, [this] { ListDoubleClick(); });
  for (QWidget* field : std::initializer_list<QWidget*>{MaNameEd, MaAbtEd, MaNrEd, MaRemMemo})
    field->installEventFilter(this);

  PhotoThumbNoImg = NoPhotoPicture();
  PhotoThumb->setPixmap(PhotoThumbNoImg);
  TranslateForm(this);
  ApplySettings();
  SetListNameMode(kPersonNameDeptFirst, false);
  InitLayout();
  ClearDisplay();
}

TFramePersons2::~TFramePersons2() = default;

void TFramePersons2::InitLayout() {
  TFrameMother::InitLayout();
  PlacePhotoPanel();
}

void TFramePersons2::UpdateCaptions() { ApplySettings(); }

void TFramePersons2::ApplySettings() {
  ListingFrame->PlaceholderPanel->setText(ToQString("<" + PersonTerm() + ">"));
  DeptStaticText->setText(ToQString(" " + DepartmentTerm() + ":"));
  auto withDept = [](int number) {
    std::string text = FramePersonsText(number);
    ReplaceAllText(text, CoreText(62), DepartmentTerm());
    return ToQString(text);
  };
  MaView_AbtNameNr->setText(withDept(17));
  MaView_NrNameAbt->setText(withDept(18));
  MaView_NameAbtNr->setText(withDept(19));
}

void TFramePersons2::SetListNameMode(int mode, bool store) {
  if (mode < kPersonNameDeptFirst || mode > kPersonNameWithContext) return;
  nameMode_ = mode;
  MaView_AbtNameNr->setChecked(mode == kPersonNameDeptFirst);
  MaView_NrNameAbt->setChecked(mode == kPersonNameNumberFirst);
  MaView_NameAbtNr->setChecked(mode == kPersonNameWithContext);
  TMiniDB* db = GlueDB();
  if (!db) return;
  InstallPersonNameMode(*db, mode);
  if (!store) return;
  const int32_t user = Session().CurrentUserId;
  if (user > 0 && !MandantState().ReadOnlyMode) {
    TStoreWrite write(*db, {user});
    if (write.Ok() && db->GetClass(user) == icUser) {
      db->SetField(user, "PersonName", std::to_string(mode));
      write.Commit();
    }
  }
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
}

void TFramePersons2::SetTransferPicking(bool on) {
  picking_ = on;
  if (!Editing) ShowViewMode();
}

// ----- modes ------------------------------------------------------------------------------

void TFramePersons2::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{MaNameEd, MaAbtEd, MaNrEd, MaRemMemo})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  ApplyControlLook(HouseCombo, editable ? TControlLook::Editable : TControlLook::Disabled);
}

void TFramePersons2::ShowViewMode() {
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
  TransferBtn->setVisible(shown && picking_);
  SaveBtn->hide();
  CancelBtn->hide();
  IssueBtn->setEnabled(shown && ViewOf(pgKeys) != nullptr);
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(false);
}

void TFramePersons2::DiscardEdit() { ShowViewMode(); }

void TFramePersons2::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  HidePhoto();
  ListingFrame->setEnabled(false);
  for (QWidget* b : std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, JournalBtn,
                                                   TransferBtn, PrintBtn})
    b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
}

void TFramePersons2::ClearDisplay() {
  CurrentId = 0;
  oldNumber_.clear();
  ListingFrame->ClearSelection();
  MaNameEd->clear();
  MaAbtEd->clear();
  MaNrEd->clear();
  MaRemMemo->clear();
  HouseCombo->clear();
  holdings_.clear();
  KeyGrid->clear();
  KeyGrid->setRowCount(0);
  KeyGrid->setColumnCount(0);
  MaMatchingDoorsListBox->clear();
  RoomsListBox->clear();
  GhsDoorsDetailedCheck->hide();
  EnableHoldingActions();
  ShowPhoto(false);
  ShowViewMode();
}

void TFramePersons2::FillHouseCombo(int32_t selectId) {
  TItemList buildings;
  if (TMiniDB* db = GlueDB()) db->ListClassValid(icBuilding, buildings);
  FillListFromItemList(HouseCombo, buildings, true, selectId);
}

void TFramePersons2::ShowRecord(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!db->HasRecord(id) || !db->IsValid(id) || db->GetClass(id) != icPerson) {
    // A person deleted meanwhile leaves nothing on screen to act on.
    if (CurrentId == id) ClearDisplay();
    return;
  }
  if (db->GetName(id).empty()) return;
  ListingFrame->SelectId(id);
  CurrentId = id;
  ShowViewMode();
  MaNameEd->setText(ToQString(db->GetName(id)));
  FitCaptionFont(MaNameEd, db->GetName(id));
  MaAbtEd->setText(ToQString(db->ReadLineField(id, fkDepartment)));
  MaNrEd->setText(ToQString(db->ReadLineField(id, fkPersonNumber)));
  oldNumber_ = db->ReadLineField(id, fkPersonNumber);
  MaRemMemo->setPlainText(ToQString(RemarkToText(db->ReadLineField(id, fkRemark))));
  FillHouseCombo(db->ReadFirstLink(id, icBuilding));
  ShowKeys();
  ShowAccess();
  ShowPhoto(PhotoPanel->isVisible());
}

void TFramePersons2::RefreshView() {
  TFrameMother::RefreshView();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFramePersons2::StartEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing) return false;
  if (RightDenied(rtPersons)) return false;
  if (!LockCurrentForEdit(FramePersonsText(1), false)) return false;
  ShowRecord(CurrentId);
  EditState = 1;
  EnterEditMode();
  FocusControlIfPossible(MaNameEd);
  return true;
}

void TFramePersons2::NewBtnClick() {
  if (Editing || RightDenied(rtPersons)) return;
  ClearDisplay();
  ListingFrame->ClearSelection();
  ReloadAndRefresh();
  FillHouseCombo(0);
  EditState = 2;
  EnterEditMode();
  FocusControlIfPossible(MaNameEd);
}

bool TFramePersons2::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const std::string name = Trim(FromQString(MaNameEd->text()));
  if (name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(MaNameEd);
    return false;
  }
  const std::string dept = Trim(FromQString(MaAbtEd->text()));
  const std::string number = Trim(FromQString(MaNrEd->text()));
  const std::string remark = RemarkToStored(FromQString(MaRemMemo->toPlainText()));
  const int32_t building = GetComboObjectId(HouseCombo, 0);
  const bool isNew = EditState == 2 || CurrentId == 0;

  // The views show the data as it is now; questions and messages come outside the write.
  ReloadAndRefresh();
  const int32_t existing = isNew ? 0 : CurrentId;
  const int32_t oldBuilding = existing ? db->ReadFirstLink(existing, icBuilding) : 0;
  std::vector<int32_t> records;
  for (int32_t id : {existing, oldBuilding, building})
    if (id > 0 && std::find(records.begin(), records.end(), id) == records.end())
      records.push_back(id);

  enum class TRefusal { None, Blocked, NameTaken, Gone, NotCreated, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  std::string oldName;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, records);
    if (!write.Ok()) {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else if (db->FindByName(name, icPerson, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else if (existing && (!db->HasRecord(existing) || !db->IsValid(existing) ||
                            db->GetClass(existing) != icPerson)) {
      refusal = TRefusal::Gone;
    } else {
      // Every check passed: only now may a record be created (it is written at once to
      // claim its ID), so a refused save leaves none behind.
      if (isNew) {
        saved = db->NewRecord(icPerson);
        if (saved != 0 && !write.Include({saved})) saved = 0;
      } else {
        oldName = db->GetName(existing);
      }
      if (saved == 0) {
        refusal = TRefusal::NotCreated;
      } else {
        db->SetField(saved, fkName, name);
        db->SetField(saved, fkRemark, remark);
        db->SetField(saved, fkDepartment, dept);
        db->SetField(saved, fkPersonNumber, number);
        const int32_t linked = db->ReadFirstLink(saved, icBuilding);
        // A building deleted meanwhile is not linked.
        const int32_t target = building > 0 && db->GetClass(building) == icBuilding &&
                                       db->IsValid(building)
                                   ? building
                                   : 0;
        if (linked != target) {
          TItemList old;
          db->GetLinks(saved, icBuilding, old);
          for (int32_t i = 0; i < old.Count(); ++i)
            db->RemoveLinkBoth(saved, old.Get(i), icBuilding, icPerson);
          if (target > 0) db->AddLinkBoth(saved, target, icBuilding, icPerson);
        }
        if (!write.Commit()) refusal = TRefusal::NotSaved;
      }
    }
  }
  switch (refusal) {
    case TRefusal::None:
      break;
    case TRefusal::Blocked: TellSaveBlocked(blocking); return false;
    case TRefusal::NameTaken: TellNameTaken(FramePersonsText(12), MaNameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FramePersonsText(1), false); return false;
    case TRefusal::NotCreated:
    case TRefusal::NotSaved:
      return false;
  }

  if (isNew)
    HistoryNew(icPerson, saved, name, "");
  else if (oldName != name)
    HistoryRen(icPerson, saved, name, oldName);
  const std::string previousNumber = oldNumber_;
  if (existing) db->UnlockItem(existing);
  db->RefreshName(saved);
  CurrentId = saved;
  ShowViewMode();
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowRecord(saved);
  if (isNew)
    if (IView* transfer = ViewOf(pgIssueReturn)) transfer->RefreshView();
  FocusList();
  if (!number.empty() && AnsiUpperCase(number) != AnsiUpperCase(previousNumber)) {
    const int32_t other = FindPersonByNumber(*db, number, saved);
    if (other != 0) ShowInfo(FramePersonsTextFmt(22, db->GetName(other)));
  }
  return true;
}

bool TFramePersons2::CanDelete() {
  TMiniDB* db = GlueDB();
  // The store's holder lines decide, not the grid: a holding booked by another station
  // since the grid was filled counts.
  if (db && PersonHoldsKeys(*db, CurrentId)) {
    ShowError(FramePersonsText(15));
    return false;
  }
  return true;
}

void TFramePersons2::AfterDelete(int32_t id, bool deleted) {
  if (!deleted) return;
  if (TMiniDB* db = GlueDB())
    if (PhotoStoreFileExists(*db)) DeletePersonPhoto(*db, id);
}

// ----- holdings ---------------------------------------------------------------------------

void TFramePersons2::ShowKeys() {
  TMiniDB* db = GlueDB();
  holdings_.clear();
  if (!db || CurrentId == 0) {
    KeyGrid->clear();
    KeyGrid->setRowCount(0);
    EnableHoldingActions();
    return;
  }
  std::vector<int> codes;
  for (int32_t code : ParsePrintFieldList(GetLendCtrlPrintFields(*db)))
    codes.push_back(static_cast<int>(code & ~kPrintFieldMarker));
  TQStringList lines = BuildPersonKeyList(*db, CurrentId, codes, false);
  holdings_ = PersonHoldings(*db, CurrentId);
  if (lines.Count() > 0) {
    std::string titles = lines.Get(0);
    ReplaceAllText(titles, CoreText(94), CoreText(115));
    ReplaceAllText(titles, CoreText(1), CoreText(56));
    ReplaceAllText(titles, CoreText(6), CoreText(114));
    ReplaceAllText(titles, CoreText(109), CoreText(49));
    lines.Put(0, titles);
  }
  {
    const QSignalBlocker block(KeyGrid);
    FillGridFromTabLines(KeyGrid, lines);
    const bool rowsMatch = lines.Count() - 1 == static_cast<int>(holdings_.size());
    for (int row = 1; row < GridRowCount(KeyGrid); ++row)
      SetGridRowId(KeyGrid, row,
                   rowsMatch && row <= static_cast<int>(holdings_.size()) ? row : 0);
    GridClearSelection(KeyGrid);
  }
  GridAutoColWidths(KeyGrid, false, 300);
  EnableHoldingActions();
}

const THolderEntry* TFramePersons2::SelectedHolding() const {
  const int32_t index = GridSelectedId(KeyGrid);
  if (index < 1 || index > static_cast<int32_t>(holdings_.size())) return nullptr;
  return &holdings_[static_cast<size_t>(index - 1)];
}

void TFramePersons2::EnableHoldingActions() {
  const bool held = SelectedHolding() != nullptr;
  GotoKeyBtn->setEnabled(held && ViewOf(pgKeys) != nullptr);
  ReturnBtn->setEnabled(held && ViewOf(pgIssueReturn) != nullptr);
  LostBtn->setEnabled(held && ViewOf(pgIssueReturn) != nullptr);
}

void TFramePersons2::UpdatePopups() {
  const THolderEntry* held = SelectedHolding();
  TMiniDB* db = GlueDB();
  MaGotoKey1->setEnabled(held && ViewOf(pgKeys) != nullptr);
  EdKeyDetails1->setEnabled(held && ViewOf(pgLimits) != nullptr);
  ShowSig1->setEnabled(held != nullptr);
  LendControl1->setEnabled(CurrentId != 0);
  KeysView1->setEnabled(static_cast<bool>(MenuCommandOf(kMenuSettingsText1)));
  SignForAll1->setEnabled(false);
  AddPhoto1->setEnabled(CurrentId != 0 || EditState == 2);
  DelPhoto1->setEnabled(CurrentId != 0 && db && HasPersonPhoto(*db, CurrentId));
  IView* keys = ViewOf(pgKeys);
  const int32_t key = keys ? keys->CurrentItemId() : 0;
  IssueKey1->setText(ToQString(
      FramePersonsTextFmt(2, key && db ? db->GetDisplayName(key) : std::string())));
  IssueKey1->setEnabled(key != 0);
  SelectOtherKey1->setEnabled(keys != nullptr);
}

void TFramePersons2::KeyGridClick() { EnableHoldingActions(); }

void TFramePersons2::GotoKeyBtnClick() {
  const THolderEntry* held = SelectedHolding();
  if (!held || CurrentId == 0) return;
  SelectKeyHolder(held->KeyId, CurrentId, 0, held->ReceiptNo, held->FirstDate);
}

void TFramePersons2::StartHoldingTransfer(int kind) {
  const THolderEntry* held = SelectedHolding();
  if (!held || CurrentId == 0) return;
  if (RightDenied(kind == 3 ? rtReturn : rtLossFind)) return;
  IView* keys = ViewOf(pgKeys);
  if (keys && keys->Editing() && keys->CurrentItemId() == held->KeyId) {
    ShowError(CoreText(100));
    return;
  }
  // The holding's pieces are the limit of what may be booked out of it; a count that is
  // no number would book without any limit.
  int32_t count = 0;
  if (!TryStrToInt(Trim(held->Count), count) || count < 1) {
    ShowError(CoreTextFmt(18, held->Count));
    return;
  }
  ShowTransferDocument(kind == 3 ? "return.html" : "lost.html");
  TTransferStartRequest request;
  request.kind = kind;
  request.holderId = CurrentId;
  request.cabinetId = kind == 3 ? held->CabinetId : 0;
  request.holdingDate = held->FirstDate;
  request.holdingReceiptNo = held->ReceiptNo;
  request.identifier = held->Identifier;
  request.quantityLimit = count;
  request.keys = {held->KeyId};
  StartTransfer(request);
}

void TFramePersons2::EdKeyDetails1Click() {
  const THolderEntry* selected = SelectedHolding();
  TMiniDB* db = GlueDB();
  if (!selected || !db || RightDenied(rtIssue)) return;
  const THolderEntry held = *selected;
  int ticket = -1;
  if (!db->Reserve(ticket)) {
    ShowLockFailed();
    return;
  }
  db->Load();
  if (!db->LockItem(held.KeyId, true, ticket)) return;  // blocker shown
  db->Release(ticket);
  EditHolding(held);
  db->UnlockItem(held.KeyId);
  ShowRecord(CurrentId);
}

void TFramePersons2::ShowSig1Click() {
  const THolderEntry* held = SelectedHolding();
  if (!held) return;
  if (held->SignatureRef.empty() || !ShowSignature(held->SignatureRef)) ShowInfo(CoreText(137));
}

void TFramePersons2::IssueKey1Click() {
  IView* keys = ViewOf(pgKeys);
  if (keys && keys->CurrentItemId() != 0) KeysViewCall('T', keys->CurrentItemId());
}

// ----- access -----------------------------------------------------------------------------

void TFramePersons2::ShowAccess() {
  MaMatchingDoorsListBox->clear();
  RoomsListBox->clear();
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0) {
    GhsDoorsDetailedCheck->hide();
    return;
  }
  const TPersonAccess access =
      BuildPersonAccess(*db, CurrentId, GhsDoorsDetailedCheck->isChecked());
  GhsDoorsDetailedCheck->setVisible(access.hasGeneralMaster);
  MaMatchingDoorsListBox->setUpdatesEnabled(false);
  for (const auto& [text, door] : access.doors) AddListItem(MaMatchingDoorsListBox, text, door);
  MaMatchingDoorsListBox->setUpdatesEnabled(true);
  for (const std::string& room : access.rooms) AddListItem(RoomsListBox, room, 0);
}

void TFramePersons2::MaGotoDoor1Click() {
  const int32_t door = SelectedListId(MaMatchingDoorsListBox);
  if (door != 0) GotoItem(door, true);
}

void TFramePersons2::Count1Click() {
  ShowInfo(CoreTextFmt(102, std::to_string(ListingFrame->Count())));
}

void TFramePersons2::ListDoubleClick() {
  if (!TransferBtn->isHidden()) ShowPage(pgIssueReturn, true);
}

// ----- photos -----------------------------------------------------------------------------

void TFramePersons2::PlacePhotoPanel() {
  PhotoPanel->setGeometry(ListingFrame->geometry());
  if (!Photo->pixmap().isNull()) {
    // Centred in the panel, at most the panel less 20 pixels each way, aspect kept.
    QSize size = Photo->pixmap().size();
    size.scale(std::max(1, PhotoPanel->width() - 20), std::max(1, PhotoPanel->height() - 20),
               Qt::KeepAspectRatio);
    if (size.width() > Photo->pixmap().width()) size = Photo->pixmap().size();
    Photo->setGeometry((PhotoPanel->width() - size.width()) / 2,
                       (PhotoPanel->height() - size.height()) / 2, size.width(),
                       size.height());
  }
}

void TFramePersons2::HidePhoto() {
  PhotoPanel->hide();
  ListingFrame->show();
}

void TFramePersons2::ShowPhoto(bool large) {
  PhotoThumb->clear();
  QImage image;
  TMiniDB* db = GlueDB();
  if (CurrentId == 0 || !db || !ReadPersonPhoto(*db, CurrentId, image)) {
    HidePhoto();
    Photo->clear();
    PhotoThumb->setPixmap(PhotoThumbNoImg);
    return;
  }
  const QPixmap pixmap = QPixmap::fromImage(image);
  PhotoThumb->setPixmap(
      pixmap.scaled(kThumbSize, kThumbSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  if (!large) return;
  Photo->setPixmap(pixmap);
  PlacePhotoPanel();
  PhotoPanel->show();
  PhotoPanel->raise();
  ListingFrame->hide();
}

void TFramePersons2::PhotoThumbClick() {
  if (PhotoPanel->isVisible()) {
    HidePhoto();
    return;
  }
  ShowPhoto(true);
  if (!PhotoPanel->isVisible()) {
    UpdatePopups();
    PhotoPopup->popup(QCursor::pos());
  }
}

void TFramePersons2::AddPhoto1Click() {
  TMiniDB* db = GlueDB();
  if (!db || RightDenied(rtPersons)) return;
  if (CurrentId == 0 || EditState == 2) {
    ShowInfo(FramePersonsText(20));
    return;
  }
  if (!PersonPhotoStore(*db, true)) {
    ShowError(FramePersonsText(21));
    return;
  }
  ShowPhoto(true);
  const std::string file = ChoosePhotoFile ? ChoosePhotoFile() : std::string();
  if (file.empty()) return;
  switch (StorePersonPhotoFile(*db, CurrentId, file)) {
    case TPhotoStoreResult::Stored:
      ShowPhoto(true);
      break;
    case TPhotoStoreResult::Unreadable:
      ShowError(CoreText(104) + "\r\r" + CoreText(105));
      break;
    case TPhotoStoreResult::NoStore:
    case TPhotoStoreResult::NotWritten:
      ShowError(FramePersonsText(21));
      break;
  }
}

void TFramePersons2::DelPhoto1Click() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || RightDenied(rtPersons) || !PhotoStoreFileExists(*db)) return;
  HidePhoto();
  if (!DeletePersonPhoto(*db, CurrentId)) ShowError(FramePersonsText(21));
  ShowPhoto(false);
}

// ----- printing ---------------------------------------------------------------------------

// ----- printing ---------------------------------------------------------------------------

std::vector<int32_t> TFramePersons2::ListedPersons() const {
  std::vector<int32_t> persons;
  for (int row = 0; row < ListingFrame->Count(); ++row)
    if (const int32_t id = ListingFrame->IdAt(row); id != 0) persons.push_back(id);
  return persons;
}

TPrintFields& TFramePersons2::PrintColumns() {
  if (printColumns_.empty())
    printColumns_ = {{"Name", true},          {DepartmentTerm(), true},
                     {"Nr.", true},           {"Bemerkung", true},
                     {FramePersonsText(4), true}, {FramePersonsText(5), false},
                     {FramePersonsText(6), false}};
  return printColumns_;
}

void TFramePersons2::PrintMenu() {
  TMiniDB* db = GlueDB();
  if (!db || RightDenied(rtPrintLists)) return;
  ClearPrintChoices();
  AddPrintChoice(FramePersonsText(7), 0, CurrentId != 0, false, true);
  AddPrintChoice(FramePersonsText(8), 1, true, true, true);
  AddPrintChoice(FramePersonsText(9), 2, CurrentId != 0, false, false);
  AddPrintChoice(FramePersonsText(10), 3, ListingFrame->Count() > 0, false, false);
  int code = -1;
  if (!ExecutePrintSelect(PrintColumns(), code)) return;
  switch (code) {
    case 0:
      if (CurrentId) PrintPersonList({CurrentId});
      break;
    case 1: PrintPersonList(ListedPersons()); break;
    case 2:
      if (CurrentId) PrintLendControlSheet(CurrentId, true);
      break;
    case 3: PrintLendControlAll(); break;
    default: break;
  }
}

bool TFramePersons2::PrintPage() {
  PrintMenu();
  return true;
}

bool TFramePersons2::PrintPersonList(const std::vector<int32_t>& persons) {
  TMiniDB* db = GlueDB();
  const TPrintFields& columns = PrintColumns();
  if (!db || std::none_of(columns.begin(), columns.end(),
                          [](const TPrintField& f) { return f.checked; }))
    return false;
  // One key column at most: the fullest one ticked.
  int keyColumn = 0;
  for (int c : {6, 5, 4})
    if (keyColumn == 0 && columns[static_cast<size_t>(c)].checked) keyColumn = c;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> titles;
  for (int c = 0; c < 4; ++c)
    if (columns[static_cast<size_t>(c)].checked) titles.push_back(columns[static_cast<size_t>(c)].caption);
  if (keyColumn) titles.push_back(columns[static_cast<size_t>(keyColumn)].caption);
  rows.push_back(titles);
  for (const int32_t person : persons) {
    std::string remark = RemarkToLine(db->GetField(person, fkRemark));
    for (char& ch : remark)
      if (ch == '\t') ch = ' ';
    const std::string values[4] = {db->GetName(person), db->GetField(person, fkDepartment),
                                   db->GetField(person, fkPersonNumber), remark};
    std::vector<std::string> keyNames;
    for (const THolderEntry& h : PersonHoldings(*db, person)) {
      std::string name = db->GetDisplayName(h.KeyId);
      if (keyColumn == 6) {
        const int32_t system = db->ReadKeySystem(h.KeyId);
        if (system != 0) name += " (" + KeySystemName(*db, system) + ")";
      }
      keyNames.push_back(name);
    }
    std::vector<std::string> row;
    for (int c = 0; c < 4; ++c)
      if (columns[static_cast<size_t>(c)].checked) row.push_back(values[c]);
    if (keyColumn == 4) {
      std::string joined;
      for (const std::string& k : keyNames) joined += (joined.empty() ? "" : ", ") + k;
      row.push_back(joined);
    } else if (keyColumn != 0) {
      row.push_back(keyNames.empty() ? std::string() : keyNames.front());
    }
    rows.push_back(row);
    // "mehrzeilig": each further key on a line of its own below the person.
    if (keyColumn == 5 || keyColumn == 6)
      for (size_t k = 1; k < keyNames.size(); ++k) {
        std::vector<std::string> line(row.size());
        line.back() = keyNames[k];
        rows.push_back(std::move(line));
      }
  }
  const std::string file = CreateTempFile();
  if (file.empty() || !SaveTextFile(TabPrintLines(rows), file)) {
    if (!file.empty()) DeleteTempFile(file);
    ShowError(CoreText(28));
    return false;
  }
  ShowWaitDefault();
  const bool printed = PrintStringGrid(PersonTerm(), file, static_cast<int>(titles.size()));
  HideWaitText();
  DeleteTempFile(file);
  if (!printed && !ApplicationTerminated()) ShowInfo(CoreText(29));
  return printed;
}

void TFramePersons2::LendControl1Click() {
  if (CurrentId == 0 || RightDenied(rtPrintLists)) return;
  if (AskPrintForm() && !PrintSelectSimple(FramePersonsText(11))) return;
  PrintLendControlSheet(CurrentId, true);
}

bool TFramePersons2::PrintLendControlAll() {
  const std::vector<int32_t> persons = ListedPersons();
  if (persons.empty()) return false;
  if (persons.size() > 3 &&
      UI().Ask(TMsgKind::Confirmation, FramePersonsTextFmt(3, std::to_string(persons.size())),
               TAskButtons::YesCancel) != mrYes)
    return false;
  for (const int32_t person : persons)
    if (!PrintLendControlSheet(person, false) || ApplicationTerminated()) return false;
  return true;
}

// ----- events -----------------------------------------------------------------------------

void TFramePersons2::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  const int top = ListingFrame->y();
  const int listWidth = std::min(kListWidth, width() / 2);
  ListingFrame->setGeometry(0, top, listWidth, ListingFrame->height());
  EdPanel->setGeometry(listWidth, top, std::max(0, width() - listWidth), EdPanel->height());
  PlacePhotoPanel();
}

bool TFramePersons2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == PhotoThumb) {
      PhotoThumbClick();
      return true;
    }
    if (watched == Photo || watched == PhotoPanel) {
      HidePhoto();
      return true;
    }
  }
  return TFrameMother::eventFilter(watched, event);
}

// =======================================================================================
// Registration

void RegisterPersonsView() {
  RegisterViewFactory(pgPersons, [](QWidget* page) {
    auto* view = new TFramePersons2(page);
    view->PlaceIn(page);
    RegisterView(pgPersons, &view->GlueView());
  });
  InstallMenuCommand(kHookClientClosed, [] { ClosePhotoDatabase(); });
  InstallMenuCommand(kHookUserValues, [] {
    IView* page = ViewOf(pgPersons);
    if (auto* view = page ? dynamic_cast<TFramePersons2*>(page->RecordFlow()) : nullptr)
      view->SetListNameMode(LoginState().UserValues.personNameMode, false);
  });
}
