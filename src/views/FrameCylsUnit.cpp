#include "views/FrameCylsUnit.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/CommandNames.h"
#include "app/LinkingFrameUnit.h"
#include "app/ListFillUnit.h"
#include "app/MainFormUnit.h"
#include "app/MouseEventsUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/SLUnit.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/LockingRelations.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/RemarkTextUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/PrintUnit.h"
#include "views/FrameDoorsUnit.h"
#include "views/PinningFormUnit.h"
#include "views/KeyBoxUnit.h"
#include "views/TitledPrintUnit.h"

namespace {

constexpr const char* kPositionField = "pos";
constexpr const char* kTypeField = "ctyp";
constexpr const char* kFinishField = "ofl";
constexpr const char* kLockNumberField = "k603";
constexpr const char* kLockKindField = "k605";
constexpr const char* kPinningField = "cp";
// A daughter of a split record links to her mother with this kind.
constexpr int kMotherLinkKind = 10;

QLabel* FieldLabel(QWidget* parent, const std::string& caption) {
  auto* label = new QLabel(ToQString(caption), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QLineEdit* FieldEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

std::string RemarkFromMemo(const QPlainTextEdit* memo) {
  return RemarkToStored(FromQString(memo->toPlainText()));
}

void MemoFromRemark(QPlainTextEdit* memo, const std::string& remark) {
  memo->setPlainText(ToQString(RemarkToText(remark)));
}

bool IsCylinder(const TMiniDB& db, int32_t id) {
  return id > 0 && db.HasRecord(id) && db.IsValid(id) && db.GetClass(id) == icCylinder;
}

// The line of the holding: same holder, receipt number and first date; -1 when gone.
int ExactHoldingLine(const std::vector<std::string>& lines, const THolderEntry& entry) {
  const std::string prefix = HolderLinePrefix({entry.Kind, entry.HolderId}) + "=";
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].compare(0, prefix.size(), prefix) != 0) continue;
    const THolderFields fields = ParseHolderLine(HolderLineBody(lines[i]));
    if (fields[hfReceiptNo] == entry.ReceiptNo && fields[hfFirstDate] == entry.FirstDate)
      return static_cast<int>(i);
  }
  return -1;
}

TRetireOutcome Refused(TRetireResult result, const std::string& blocking = "") {
  TRetireOutcome outcome;
  outcome.result = result;
  outcome.blocking = blocking;
  return outcome;
}

}  // namespace

// =======================================================================================
// Texts

const TMLStringList* FrameCylsTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("FrameCyls", 0);
    t->Add255Obj("Dieser Zylinder wurde zwischenzeitlich gel\xF6scht#13#und kann nicht mehr "
                 "bearbeitet werden.",
                 1);
    t->Add255Obj("nur der angezeigte Zylinder", 2);
    t->Add255Obj("die in der Liste angezeigten Zylinder", 3);
    t->Add255Obj("Es gibt bereits einen Zylinder mit diesem Namen.", 4);
    t->Add255Obj("", 5);
    t->Add255Obj("Bitte schlie\xDF"
                 "en Sie zuvor die \xC4nderungen an der zugeh\xF6rigen T\xFCr ab.",
                 6);
    t->Add255Obj("Verbleib", 7);
    t->Add255Obj("Soll der markierte Eintrag entfernt werden?", 8);
    t->Add255Obj("Die Bestiftung ist eine Spezialfunktion f\xFCr Schl\xFCsseldienste.#13#Sie "
                 "muss bei Bedarf zun\xE4"
                 "chst in den Einstellungen aktiviert werden.",
                 9);
    t->Add255Obj("Folgende T\xFCren enthalten neben diesem Zylinder auch noch weitere Zylinder",
                 10);
    // Not in the original table: the next free numbers.
    t->Add255Obj("Die Bestiftung konnte nicht gespeichert werden.", 20);
    t->Add255Obj("Dieser Eintrag ist nicht mehr vorhanden.", 21);
    return t;
  }();
  return table;
}

std::string FrameCylsText(int number) { return GetMLText(FrameCylsTexts(), number); }

const TMLStringList* DefectCylTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("DefectCylUnit", 0);
    t->Add255Obj("Bitte w\xE4hlen Sie eine Aktion.", 1);
    t->Add255Obj("W\xE4hlen Sie als Anzahl eine Zahl ab 1 aufw\xE4rts.", 2);
    return t;
  }();
  return table;
}

std::string DefectCylText(int number) { return GetMLText(DefectCylTexts(), number); }

std::string CylinderListedName(const std::string& name, const std::string& name2) {
  return NameWithSecondName(Trim(name), Trim(name2));
}

std::vector<std::string> CylinderListLines(const TMiniDB& db, const std::vector<int32_t>& ids) {
  std::vector<std::string> lines;
  for (int32_t id : ids) {
    if (!IsCylinder(db, id)) continue;
    std::string name = db.GetDisplayName(id);
    if (db.ReadFirstLink(id, kMotherLinkKind) != 0) name = " \xBB " + name;
    const std::string total = GetTotalText(db, id);
    const std::string stock =
        total.empty() ? std::string()
                      : std::to_string(GetAvailableCount(db, id, false)) + " von " + total;
    lines.push_back(name + "\t" + ItemKeySystemName(db, id) + "\t" +
                    db.ReadLineField(id, kLockNumberField) + "\t" +
                    db.ReadLineField(id, kPositionField) + "\t" + db.ReadLineField(id, fkLength) +
                    "\t" + stock + "\t" + ItemRemarkLine(db, id));
  }
  return lines;
}

// =======================================================================================
// Retiring

TRetireOutcome BookCylinderRetirement(TMiniDB& db, int32_t cylinder, TOwnerKind kind, int32_t count,
                                      TPackedDate date, const std::string& remark) {
  int32_t settings = db.FindOrCreateSingleton(false);
  if (settings == 0) settings = db.FindOrCreateSingleton(true);
  if (settings == 0) return Refused(TRetireResult::NoReceiptNo);
  TStoreWrite write(db, {cylinder, settings});
  if (!write.Ok())
    return Refused(TRetireResult::Blocked, write.Blocking().empty() ? "*" : write.Blocking());
  if (!IsCylinder(db, cylinder)) return Refused(TRetireResult::Gone);
  // Counted up in memory: taken back with the booking unless both are saved.
  const std::string number = CountUpFormSeqNo(db, settings);
  if (number.empty()) return Refused(TRetireResult::NoReceiptNo);
  THolderBooking booking;
  booking.owner = {kind, 0};
  booking.delta = count;
  booking.date = date;
  booking.remark = CleanHolderFieldText(remark);
  booking.receiptNo = number;
  if (!BookHolderChange(db, cylinder, booking)) return Refused(TRetireResult::NotSaved);
  if (!write.Commit()) return Refused(TRetireResult::NotSaved);
  TRetireOutcome outcome;
  outcome.result = TRetireResult::Booked;
  outcome.receiptNo = number;
  return outcome;
}

TRetireOutcome UndoCylinderRetirement(TMiniDB& db, int32_t cylinder, const THolderEntry& entry) {
  TStoreWrite write(db, {cylinder});
  if (!write.Ok())
    return Refused(TRetireResult::Blocked, write.Blocking().empty() ? "*" : write.Blocking());
  if (!IsCylinder(db, cylinder)) return Refused(TRetireResult::Gone);
  const std::vector<std::string> lines = SplitHolderLines(db.GetField(cylinder, fkHolders));
  const int index = ExactHoldingLine(lines, entry);
  if (index < 0) return Refused(TRetireResult::HoldingGone);
  // The pieces of that line as stored now; the receipt number selects exactly it.
  int32_t count = 0;
  if (!TryStrToInt(ParseHolderLine(HolderLineBody(lines[index]))[hfCount], count) || count == 0)
    return Refused(TRetireResult::HoldingGone);
  if (!entry.ReceiptNo.empty() &&
      FindHolderLine(lines, HolderLinePrefix({entry.Kind, entry.HolderId}), "", entry.ReceiptNo) !=
          index)
    return Refused(TRetireResult::HoldingGone);
  THolderBooking booking;
  booking.find = true;
  booking.owner = {entry.Kind, entry.HolderId};
  booking.delta = -count;
  booking.date = StrToPackedDate(entry.FirstDate);
  booking.receiptNo = entry.ReceiptNo;
  booking.identifier = entry.Identifier;
  booking.signatureRef = entry.SignatureRef;
  if (entry.ReceiptNo.empty()) {
    // Without a number the first date selects: only when no earlier line shares it.
    const std::string prefix = HolderLinePrefix({entry.Kind, entry.HolderId});
    if (FindHolderLine(lines, prefix, entry.FirstDate, "") != index)
      return Refused(TRetireResult::HoldingGone);
  }
  if (!BookHolderChange(db, cylinder, booking)) return Refused(TRetireResult::NotSaved);
  if (SplitHolderLines(db.GetField(cylinder, fkHolders)).size() + 1 != lines.size())
    return Refused(TRetireResult::NotSaved);  // not committed: taken back
  if (!write.Commit()) return Refused(TRetireResult::NotSaved);
  TRetireOutcome outcome;
  outcome.result = TRetireResult::Booked;
  outcome.receiptNo = entry.ReceiptNo;
  return outcome;
}

int CheckDefectInput(const TDefectInput& input, TDefectChecked& checked) {
  if (input.action != 0 && input.action != 1) return 1;
  checked.kind = input.action == 0 ? okDefective : okLost;
  int32_t count = 0;
  if (!TryStrToInt(Trim(input.count), count)) count = 0;
  if (count < 1) return 2;
  checked.count = count;
  checked.date = StrToPackedDate(Trim(input.date));
  if (checked.date == 0) return 80;
  checked.remark = Trim(input.remark);
  return 0;
}

namespace {

void TellRetireRefused(TMiniDB& db, const TRetireOutcome& outcome) {
  switch (outcome.result) {
    case TRetireResult::Booked: break;
    case TRetireResult::Blocked:
      if (outcome.blocking == "*")
        ShowLockFailed();
      else
        db.ShowLockedMessage(outcome.blocking, true);
      break;
    case TRetireResult::NoReceiptNo: ShowError(TransferText(txNoReceiptNo)); break;
    case TRetireResult::Gone: ShowError(FrameCylsText(1)); break;
    case TRetireResult::HoldingGone: ShowError(FrameCylsText(21)); break;
    case TRetireResult::NotSaved: ShowError(TransferText(txSaveFailed)); break;
  }
}

// Prints the cylinder receipt; the print-form question first (cancel: nothing printed).
void PrintRetirementReceipt(TMiniDB& db, int event, int32_t cylinder, const std::string& count,
                            const std::string& receiptNo, const std::string& remark,
                            TPackedDate date) {
  if (AskPrintForm() && !PrintSelectSimple(CoreText(4))) return;
  TCylinderReceipt receipt;
  receipt.event = event;
  receipt.cylinder = cylinder;
  receipt.seqNumber = receiptNo;
  receipt.notes = remark;
  receipt.user = CurrentUserDisplayName();
  receipt.date = PackedDateToStr(date);
  receipt.cylinderCount = count;
  PrintCylinderReceipt(receipt, &db);
}

}  // namespace

TDefectCylForm::TDefectCylForm(QWidget* parent) : QDialog(parent) {
  setObjectName("DefectCylForm");
  setWindowTitle(ToQString("Zylinder ausmustern"));
  auto* grid = new QGridLayout(this);
  CylNameLabel = new QLabel(this);
  CylNameLabel->setObjectName("CylNameLabel");
  ActionCombo = new QComboBox(this);
  ActionCombo->setObjectName("ActionCombo");
  ActionCombo->addItem(ToQString("Defekt/Vernichtung"));
  ActionCombo->addItem(ToQString("Verlust"));
  DateEd = FieldEdit(this, "DateEd");
  DateUp = new QToolButton(this);
  DateUp->setArrowType(Qt::UpArrow);
  DateDown = new QToolButton(this);
  DateDown->setArrowType(Qt::DownArrow);
  CntEd = FieldEdit(this, "CntEd");
  RemEd = FieldEdit(this, "RemEd");
  PrintCheck = new QCheckBox(ToQString("Beleg drucken"), this);
  PrintCheck->setObjectName("PrintCheck");
  SaveBtn = new QPushButton(ToQString("\xDC"
                                      "bernehmen"),
                            this);
  CancelBtn = new QPushButton(ToQString("Abbrechen"), this);
  grid->addWidget(CylNameLabel, 0, 0, 1, 4);
  grid->addWidget(FieldLabel(this, "Aktion:"), 1, 0);
  grid->addWidget(ActionCombo, 1, 1, 1, 3);
  grid->addWidget(FieldLabel(this, "Datum:"), 2, 0);
  grid->addWidget(DateEd, 2, 1);
  grid->addWidget(DateUp, 2, 2);
  grid->addWidget(DateDown, 2, 3);
  grid->addWidget(FieldLabel(this, "Anzahl:"), 3, 0);
  grid->addWidget(CntEd, 3, 1);
  grid->addWidget(FieldLabel(this, "Bemerkung:"), 4, 0);
  grid->addWidget(RemEd, 4, 1, 1, 3);
  grid->addWidget(PrintCheck, 5, 1, 1, 3);
  grid->addWidget(SaveBtn, 6, 1);
  grid->addWidget(CancelBtn, 6, 2, 1, 2);
  connect(DateUp, &QToolButton::clicked, this, [this] { DateUpDownClick(true); });
  connect(DateDown, &QToolButton::clicked, this, [this] { DateUpDownClick(false); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });
  TranslateForm(this);
}

void TDefectCylForm::DateUpDownClick(bool up) {
  std::string text = Trim(FromQString(DateEd->text()));
  const size_t blank = text.find(' ');
  if (blank != std::string::npos) text.resize(blank);
  TPackedDate date = StrToPackedDate(text);
  if (date == 0) date = TodayPacked();
  DateEd->setText(ToQString(PackedDateToStr(up ? NextDay(date) : PrevDay(date))));
}

void TDefectCylForm::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db) return;
  TDefectInput input;
  input.action = ActionCombo->currentIndex();
  input.count = FromQString(CntEd->text());
  input.date = FromQString(DateEd->text());
  input.remark = FromQString(RemEd->text());
  TDefectChecked checked;
  switch (CheckDefectInput(input, checked)) {
    case 0: break;
    case 1: ShowInfo(DefectCylText(1)); return;
    case 2: ShowError(DefectCylText(2)); return;
    default: ShowError(CoreText(80)); return;
  }
  const TRetireOutcome outcome = BookCylinderRetirement(
      *db, CylinderId, checked.kind, checked.count, checked.date, checked.remark);
  if (outcome.result != TRetireResult::Booked) {
    TellRetireRefused(*db, outcome);
    return;
  }
  if (PrintCheck->isChecked())
    PrintRetirementReceipt(*db, checked.kind == okDefective ? 4 : 5, CylinderId,
                           std::to_string(checked.count), outcome.receiptNo, checked.remark,
                           checked.date);
  accept();
}

bool ExecuteDefectCyl(int32_t cylinder) {
  TMiniDB* db = GlueDB();
  if (!db || !IsCylinder(*db, cylinder)) return false;
  static TDefectCylForm* form = nullptr;
  if (!form) form = new TDefectCylForm(nullptr);
  form->CylinderId = cylinder;
  form->CylNameLabel->setText(ToQString(db->GetDisplayName(cylinder)));
  form->CntEd->setText(QStringLiteral("1"));
  form->ActionCombo->setCurrentIndex(-1);
  form->DateEd->setText(ToQString(PackedDateToStr(TodayPacked())));
  form->RemEd->clear();
  form->CntEd->setFocus();
  return ExecModal(*form) == QDialog::Accepted;
}

// =======================================================================================
// The view

TFrameCyls::TFrameCyls(QWidget* owner) : TFrameMother(owner, icCylinder, rtBuildings) {
  setObjectName("FrameCyls");
  ListingFrame->CaptionLabel->setText(ToQString("Zylinder-Liste"));
  ListingFrame->SeekCombo->show();
  ListingFrame->FrameResize();

  QWidget* panel = EdPanel->widget();
  auto* outer = new QVBoxLayout(panel);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->setSpacing(6);
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(6);
  fields->setVerticalSpacing(4);
  NameEd = FieldEdit(panel, "NameEd");
  Name2Ed = FieldEdit(panel, "Name2Ed");
  KeysystemCombo = new QComboBox(panel);
  KeysystemCombo->setObjectName("KeysystemCombo");
  PosEd = FieldEdit(panel, "PosEd");
  CylLenEd = FieldEdit(panel, "CylLenEd");
  CylTypeEd = FieldEdit(panel, "CylTypeEd");
  OFlEd = FieldEdit(panel, "OFlEd");
  LockNrEd = FieldEdit(panel, "LockNrEd");
  LockTypCombo = new QComboBox(panel);
  LockTypCombo->setObjectName("LockTypCombo");
  CountEd = FieldEdit(panel, "CountEd");
  TotalEd = FieldEdit(panel, "TotalEd");
  RemMemo = new QPlainTextEdit(panel);
  RemMemo->setObjectName("RemMemo");
  RemMemo->setFixedHeight(54);
  LockLabel = FieldLabel(panel, "Schlie\xDF"
                                "ung:");
  LenLabel = FieldLabel(panel, "L\xE4nge:");
  LenLabel->setToolTip(ToQString("Zylinderl\xE4nge A / B"));
  PinsLabel = FieldLabel(panel, "Bestiftung:");
  PinsLabel->setObjectName("PinsLabel");
  PinsLabel->setToolTip(ToQString("Zylinderf\xFCllung"));
  PinsFrame = new TPinningFrame(panel);
  auto* colorLabel = FieldLabel(panel, "F\xE4rbung:");
  colorLabel->setToolTip(ToQString("Oberfl\xE4"
                                   "che"));
  auto* kindLabel = FieldLabel(panel, "Art:");
  kindLabel->setToolTip(ToQString("Schlie\xDF"
                                  "art"));
  auto* countLabel = FieldLabel(panel, "Anzahl:");
  countLabel->setToolTip(ToQString("Bestand / Gesamtmenge"));
  int row = 0;
  fields->addWidget(FieldLabel(panel, "Zylinder:"), row, 0);
  fields->addWidget(NameEd, row, 1);
  fields->addWidget(Name2Ed, row++, 2, 1, 2);
  fields->addWidget(FieldLabel(panel, "Schlie\xDF"
                                      "anlage:"),
                    row, 0);
  fields->addWidget(KeysystemCombo, row, 1);
  fields->addWidget(FieldLabel(panel, "Position:"), row, 2);
  fields->addWidget(PosEd, row++, 3);
  fields->addWidget(LenLabel, row, 0);
  fields->addWidget(CylLenEd, row, 1);
  fields->addWidget(FieldLabel(panel, "Typ:"), row, 2);
  fields->addWidget(CylTypeEd, row++, 3);
  fields->addWidget(LockLabel, row, 0);
  fields->addWidget(LockNrEd, row, 1);
  fields->addWidget(kindLabel, row, 2);
  fields->addWidget(LockTypCombo, row++, 3);
  fields->addWidget(colorLabel, row, 0);
  fields->addWidget(OFlEd, row++, 1);
  fields->addWidget(countLabel, row, 0);
  {
    auto* stock = new QHBoxLayout;
    stock->addWidget(CountEd);
    stock->addWidget(new QLabel(ToQString(" verf\xFC"
                                          "gbar     von insgesamt"),
                                panel));
    stock->addWidget(TotalEd);
    stock->addWidget(new QLabel(ToQString("St\xFC"
                                          "ck"),
                                panel));
    fields->addLayout(stock, row++, 1, 1, 3);
  }
  fields->addWidget(PinsLabel, row, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(PinsFrame, row++, 1, 1, 3);
  fields->addWidget(FieldLabel(panel, "Bemerkung:"), row, 0, Qt::AlignRight | Qt::AlignTop);
  fields->addWidget(RemMemo, row++, 1, 1, 3);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(3, 1);
  outer->addLayout(fields);

  LinkPageControl = new QTabWidget(panel);
  LinkPageControl->setObjectName("LinkPageControl");
  auto linkFrame = [this](uint8_t type, const char* name, const std::string& title) {
    TLinkingFrame* frame = NewLinkingFrame(nullptr, type, title, name);
    connect(frame->EdBtn, &QPushButton::clicked, this,
            [this, frame] { LinkFrameEdBtnClick(frame); });
    return frame;
  };
  LinkDoorsFrame = linkFrame(icDoor, "LinkDoorsFrame", "ist in T\xFCren ...");
  LinkDoorsFrame->ShowHouseFilter = true;
  LinkGroupsFrame = linkFrame(icGroup, "LinkGroupsFrame", "geh\xF6rt zur Gruppe");
  LinkGroupsFrame->Goto1->setText(ToQString("zur Gruppe wechseln"));
  LinkKeysFrame =
      linkFrame(icKey, "LinkKeysFrame", "wird geschlossen von Gruppen und folgenden Schl\xFCsseln");
  LinkPageControl->addTab(LinkDoorsFrame, ToQString("T\xFCren"));
  LinkPageControl->addTab(LinkGroupsFrame, ToQString("Schlie\xDFgruppen"));
  LinkPageControl->addTab(LinkKeysFrame, ToQString(ClassCaption(icKey, true)));
  LinkPageControl->setCurrentIndex(0);
  outer->addWidget(LinkPageControl, 2);

  OwnersGrid = new QTableWidget(panel);
  OwnersGrid->setObjectName("OwnersGrid");
  OwnersGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  OwnersGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  OwnersGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  OwnersGrid->verticalHeader()->hide();
  OwnersGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  OwnersGrid->setMinimumHeight(70);
  outer->addWidget(OwnersGrid, 1);
  OwnersPopup = new QMenu(this);
  defectCyls1 = OwnersPopup->addAction(ToQString("Zylinder ausmustern ..."));
  PrintReceipt1 = OwnersPopup->addAction(ToQString("Beleg drucken"));
  NotDamaged1 = OwnersPopup->addAction(ToQString("Defekt/Verlust widerrufen"));

  ViewCylKS1 = ListPopup->addAction(ToQString("Ansicht: Zylinder und Schlie\xDF"
                                              "anlage"));
  ViewCylLock1 = ListPopup->addAction(ToQString("Ansicht: Zylinder und Schlie\xDF"
                                                "ung"));
  Count1 = ListPopup->addAction(ToQString("Z\xE4hlung"));
  ViewCylKS1->setCheckable(true);
  ViewCylLock1->setCheckable(true);
  PrintList1->setVisible(true);

  PrintLines = [](const std::string& title, const std::vector<std::string>& lines) {
    return PrintTitledLines(title, lines);
  };
  EditPinning = [](int32_t cylinder, const std::string& text, std::string& result) {
    return ExecutePinning(cylinder, text, result);
  };
  LocksmithOn = [] { return LocksmithStore().IsOpen(); };
  OpenStockList = [](int32_t system, const std::string& search) {
    ShowStockList(icCylinder, system, 0, "", search);
    return SelectFromStockList();
  };

  connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
  connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
  connect(OwnersGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    defectCyls1->setEnabled(CurrentId != 0);
    PrintReceipt1->setEnabled(SelectedHolding() >= 0);
    NotDamaged1->setEnabled(SelectedHolding() >= 0);
    OwnersPopup->popup(OwnersGrid->viewport()->mapToGlobal(at));
  });
  connect(defectCyls1, &QAction::triggered, this, [this] { defectCyls1Click(); });
  connect(PrintReceipt1, &QAction::triggered, this, [this] { PrintReceipt1Click(); });
  connect(NotDamaged1, &QAction::triggered, this, [this] { NotDamaged1Click(); });
  connect(ViewCylKS1, &QAction::triggered, this, [this] { ShowCylName(0, true, true); });
  connect(ViewCylLock1, &QAction::triggered, this, [this] { ShowCylName(1, true, true); });
  connect(Count1, &QAction::triggered, this, [this] { Count1Click(); });
  connect(ListPopup, &QMenu::aboutToShow, this, [this] {
    Count1->setText(ToQString(CoreTextFmt(102, std::to_string(ListingFrame->Count()))));
  });
  for (QLabel* label : {PinsLabel, LockLabel, LenLabel}) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
  }
  PinsFrame->OnHeightChanged = [panel] { panel->adjustSize(); };
  for (QWidget* field : std::initializer_list<QWidget*>{NameEd, Name2Ed, PosEd, CylLenEd, CylTypeEd,
                                                        OFlEd, LockNrEd, TotalEd, RemMemo})
    field->installEventFilter(this);

  {
    std::string mode;
    if (TMiniDB* db = GlueDB())
      if (Session().CurrentUserId > 0) mode = db->ReadLineField(Session().CurrentUserId, "CylName");
    ShowCylName(!mode.empty() && mode[0] == '1' ? 1 : 0, false, false);
  }
  TranslateForm(this);
  UpdateCaptions();
  InitLayout();
  ClearDisplay();
}

TFrameCyls::~TFrameCyls() = default;

void TFrameCyls::InitLayout() { TFrameMother::InitLayout(); }

void TFrameCyls::UpdateCaptions() {
  OwnersGrid->setColumnCount(4);
  OwnersGrid->setHorizontalHeaderLabels(
      {ToQString(FrameCylsText(7)), ToQString(MLTranslate("Anzahl")),
       ToQString(MLTranslate("Datum")), ToQString(MLTranslate("Bemerkung"))});
  const QFontMetrics fm(OwnersGrid->font());
  OwnersGrid->setColumnWidth(0, 170);
  OwnersGrid->setColumnWidth(1, fm.horizontalAdvance(ToQString(MLTranslate("Anzahl") + "X")) + 8);
  OwnersGrid->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("2003-99-99X")) + 8);
  OwnersGrid->setColumnWidth(3, 200);
  LinkPageControl->setTabText(
      2, ToQString(MarkedCaption(ClassCaption(icKey, true), LinkKeysFrame->LinkedIds.Count() > 0)));
}

void TFrameCyls::ShowCylName(int mode, bool store, bool refresh) {
  if (mode != 0 && mode != 1) return;
  ViewCylKS1->setChecked(mode == 0);
  ViewCylLock1->setChecked(mode == 1);
  ListingFrame->ListOption = static_cast<uint8_t>(mode);
  TMiniDB* db = GlueDB();
  if (!db) return;
  if (store) {
    const int32_t user = Session().CurrentUserId;
    if (user > 0 && !MandantState().ReadOnlyMode) {
      TStoreWrite write(*db, {user});
      if (write.Ok() && db->GetClass(user) == icUser) {
        db->SetField(user, "CylName", std::to_string(mode));
        write.Commit();
      }
    }
  }
  if (refresh) {
    RefreshAllFrames();
    if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  }
}

bool TFrameCyls::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PinsLabel && event->type() == QEvent::MouseButtonRelease) {
    PinsLabelClick();
    return true;
  }
  if ((watched == LockLabel || watched == LenLabel) &&
      event->type() == QEvent::MouseButtonRelease) {
    LockLabelClick(watched == LenLabel);
    return true;
  }
  return TFrameMother::eventFilter(watched, event);
}

void TFrameCyls::SetFieldsEditable(bool editable) {
  for (QWidget* field : std::initializer_list<QWidget*>{NameEd, Name2Ed, PosEd, CylLenEd, CylTypeEd,
                                                        OFlEd, LockNrEd, TotalEd, RemMemo})
    ApplyControlLook(field, editable ? TControlLook::Editable : TControlLook::ReadOnly);
  ApplyControlLook(CountEd, TControlLook::Disabled);
  for (QWidget* combo : std::initializer_list<QWidget*>{KeysystemCombo, LockTypCombo})
    ApplyControlLook(combo, editable ? TControlLook::Editable : TControlLook::Disabled);
}

void TFrameCyls::ShowViewMode() {
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
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame})
    frame->ShowList(false);
}

void TFrameCyls::DiscardEdit() {
  ShowViewMode();
  PinningText.clear();
}

void TFrameCyls::EnterEditMode() {
  Editing = true;
  if (EditState == 0) EditState = 1;
  ListingFrame->setEnabled(false);
  for (QWidget* b : std::initializer_list<QWidget*>{NewBtn, EdBtn, KillBtn, PrintBtn}) b->hide();
  SaveBtn->show();
  CancelBtn->show();
  ArrangeButtons(ButtonLayout);
  SetFieldsEditable(true);
  KeysystemCombo->setEnabled(true);
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame})
    frame->ShowList(true);
}

void TFrameCyls::FillLockTypCombo(const std::string& stored) {
  LockTypCombo->clear();
  for (const char* kind : {"", "E", "I", "M", "Z"}) LockTypCombo->addItem(ToQString(kind));
  // Codes stored as they are, in every language.
  SetNoTranslate(LockTypCombo);
  int index = LockTypCombo->findText(ToQString(stored));
  if (index < 0) {
    LockTypCombo->addItem(ToQString(stored));
    index = LockTypCombo->count() - 1;
  }
  LockTypCombo->setCurrentIndex(index);
}

void TFrameCyls::ClearDisplay() {
  CurrentId = 0;
  ListingFrame->ClearSelection();
  for (QLineEdit* edit :
       {NameEd, Name2Ed, PosEd, CylLenEd, CylTypeEd, OFlEd, LockNrEd, CountEd, TotalEd})
    edit->clear();
  RemMemo->clear();
  FillLockingSystemCombo(KeysystemCombo, true);
  // The system the list is filtered by, else none.
  SelectComboObject(KeysystemCombo, GetComboObjectId(ListingFrame->SysCombo, 0));
  if (KeysystemCombo->currentIndex() < 0) SelectComboObject(KeysystemCombo, ksNone);
  FillLockTypCombo("");
  PinningText.clear();
  PinsFrame->ShowPinning(0, "");
  Holdings.clear();
  FillOwnersGrid();
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame}) frame->Clear();
  ShowViewMode();
}

void TFrameCyls::FillOwnersGrid() {
  TMiniDB* db = GlueDB();
  OwnersGrid->setRowCount(static_cast<int>(Holdings.size()));
  for (size_t i = 0; i < Holdings.size(); ++i) {
    const THolderEntry& e = Holdings[i];
    const std::string cells[] = {db ? HolderRefText(*db, {e.Kind, e.HolderId}) : std::string(),
                                 e.Count, IsoDateToLocalStr(e.FirstDate), e.Remark};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(ToQString(cells[column]));
      item->setData(Qt::UserRole, static_cast<int>(i));
      OwnersGrid->setItem(static_cast<int>(i), column, item);
    }
  }
}

int TFrameCyls::SelectedHolding() const {
  const int row = OwnersGrid->currentRow();
  if (row < 0 || OwnersGrid->selectedItems().isEmpty()) return -1;
  QTableWidgetItem* item = OwnersGrid->item(row, 0);
  const int index = item ? item->data(Qt::UserRole).toInt() : -1;
  return index >= 0 && index < static_cast<int>(Holdings.size()) ? index : -1;
}

void TFrameCyls::ShowRecord(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id <= 0) return;
  if (!IsCylinder(*db, id)) {
    if (CurrentId == id) ClearDisplay();
    return;
  }
  if (db->ReadName(id).empty()) return;
  ListingFrame->SelectId(id);
  CurrentId = id;
  ShowViewMode();
  NameEd->setText(ToQString(db->ReadName(id)));
  Name2Ed->setText(ToQString(db->ReadLineField(id, fkSecondName)));
  FillLockingSystemCombo(KeysystemCombo, true);
  const int32_t system = db->ReadKeySystem(id);
  SelectComboObject(KeysystemCombo, system);
  if (KeysystemCombo->currentIndex() < 0) SelectComboObject(KeysystemCombo, ksNone);
  PosEd->setText(ToQString(db->ReadLineField(id, kPositionField)));
  CylLenEd->setText(ToQString(db->ReadLineField(id, fkLength)));
  CylTypeEd->setText(ToQString(db->ReadLineField(id, kTypeField)));
  OFlEd->setText(ToQString(db->ReadLineField(id, kFinishField)));
  LockNrEd->setText(ToQString(db->ReadLineField(id, kLockNumberField)));
  FillLockTypCombo(db->ReadLineField(id, kLockKindField));
  PinsFrame->ShowPinning(id, LocksmithField(*db, id, kPinningField));
  const std::string total = GetTotalText(*db, id);
  TotalEd->setText(ToQString(total));
  CountEd->setText(total.empty() ? QString() : QString::number(GetAvailableCount(*db, id, false)));
  MemoFromRemark(RemMemo, db->ReadLineField(id, fkRemark));
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame}) {
    frame->SetOwner(id, frame == LinkDoorsFrame ? 0 : system);
    frame->LoadLinks();
    frame->ShowList(false);
    frame->FillHouseCombo();
  }
  Holdings = LoadHolderRecs(*db, id, false);
  FillOwnersGrid();
  UpdateCaptions();
}

void TFrameCyls::RefreshView() {
  TFrameMother::RefreshView();
  if (!Editing && CurrentId == 0) ShowViewMode();
}

bool TFrameCyls::CanEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || RightDenied(rtBuildings)) return false;
  // The door edited in the doors view decides about its cylinders: this one waits.
  if (IView* doors = ViewOf(pgDoors)) {
    if (doors->Editing() && doors->CurrentItemId() != 0) {
      const std::vector<int32_t> cylinders = CylindersOfDoor(*db, doors->CurrentItemId());
      if (std::find(cylinders.begin(), cylinders.end(), CurrentId) != cylinders.end()) {
        ShowInfo(FrameCylsText(6));
        return false;
      }
    }
  }
  return true;
}

bool TFrameCyls::StartEdit() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || Editing || !CanEdit()) return false;
  if (!LockCurrentForEdit(FrameCylsText(1))) return false;
  ShowRecord(CurrentId);
  PinningText = LocksmithField(*db, CurrentId, kPinningField);
  EditState = 1;
  EnterEditMode();
  FocusControlIfPossible(NameEd);
  return true;
}

void TFrameCyls::NewBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || Editing || RightDenied(RightIndex)) return;
  ClearDisplay();
  ListingFrame->ClearSelection();
  ReloadAndRefresh();
  EditState = 2;
  EnterEditMode();
  // A new cylinder starts without pinning: nothing of the one shown before rides along.
  PinningText.clear();
  PinsFrame->ShowPinning(0, "");
  FillLockingSystemCombo(KeysystemCombo, true);
  if (lastSystem_ != 0) SelectComboObject(KeysystemCombo, lastSystem_);
  const int32_t system = GetComboObjectId(KeysystemCombo, 0);
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame}) {
    frame->SetOwner(0, frame == LinkDoorsFrame ? 0 : system);
    frame->FillHouseCombo();
    frame->HouseCombo->setCurrentIndex(-1);
    frame->ShowList(true);
  }
  FocusControlIfPossible(NameEd);
}

void TFrameCyls::LinkFrameEdBtnClick(TLinkingFrame* frame) {
  if (!Editing) return;
  RefreshIfChanged();
  KeysystemCombo->setEnabled(false);
  const int32_t system = GetComboObjectId(KeysystemCombo, 0);
  for (TLinkingFrame* f : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame})
    f->SetOwner(CurrentId, f == LinkDoorsFrame ? 0 : system);
  frame->OpenCheckList();
}

TCylInputs TFrameCyls::ReadInputs() const {
  TCylInputs in;
  in.name = Trim(FromQString(NameEd->text()));
  in.name2 = Trim(FromQString(Name2Ed->text()));
  in.position = Trim(FromQString(PosEd->text()));
  in.length = Trim(FromQString(CylLenEd->text()));
  in.type = Trim(FromQString(CylTypeEd->text()));
  in.finish = Trim(FromQString(OFlEd->text()));
  in.lockNumber = Trim(FromQString(LockNrEd->text()));
  in.lockKind = FromQString(LockTypCombo->currentText());
  in.total = Trim(FromQString(TotalEd->text()));
  in.remark = RemarkFromMemo(RemMemo);
  in.system = GetComboObjectId(KeysystemCombo, 0);
  return in;
}

bool TFrameCyls::SaveBtnClick() {
  TMiniDB* db = GlueDB();
  if (!db || !Editing) return false;
  const TCylInputs in = ReadInputs();
  if (in.name.empty()) {
    ShowError(CoreText(31));
    FocusControlIfPossible(NameEd);
    return false;
  }
  const bool isNew = EditState == 2 || CurrentId == 0;
  const int32_t existing = isNew ? 0 : CurrentId;
  const bool doorsEdited = LinkDoorsFrame->CheckListShown();

  // The ticks of the link frames: their questions come before the write.
  std::vector<TLinkChange> changes;
  for (TLinkingFrame* frame : {LinkDoorsFrame, LinkGroupsFrame, LinkKeysFrame}) {
    if (!frame->CheckListShown()) continue;
    TLinkChange change;
    if (!isNew) {
      change = frame->PrepareLinks(existing, icCylinder);
    } else {
      frame->SyncTicks();
      change.kind = frame->LinkedType;
      change.ownerClass = icCylinder;
      change.oneSided = frame->LinkFlag;
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

  const std::string listed = CylinderListedName(in.name, in.name2);
  enum class TRefusal { None, Blocked, NameTaken, Gone, NotSaved };
  TRefusal refusal = TRefusal::None;
  std::string blocking;
  int32_t saved = existing;
  {
    TStoreWrite write(*db, records);
    auto blocked = [&] {
      refusal = TRefusal::Blocked;
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    };
    if (!write.Ok()) {
      blocked();
    } else if (FindListedItemByNameInSystem(*db, icCylinder, listed, in.system, existing) != 0) {
      refusal = TRefusal::NameTaken;
    } else if (existing && !IsCylinder(*db, existing)) {
      refusal = TRefusal::Gone;
    } else {
      if (isNew) {
        saved = db->NewRecord(icCylinder);
        if (saved != 0 && !write.Include({saved})) saved = 0;
      }
      if (saved == 0) {
        refusal = TRefusal::NotSaved;
      } else {
        db->SetField(saved, fkName, in.name);
        db->SetField(saved, fkKeySystem, in.system > 0 ? std::to_string(in.system) : "");
        db->SetField(saved, fkSecondName, in.name2);
        db->SetField(saved, fkLength, in.length);
        db->SetField(saved, kPositionField, in.position);
        db->SetField(saved, kTypeField, in.type);
        db->SetField(saved, kFinishField, in.finish);
        db->SetField(saved, kLockNumberField, in.lockNumber);
        db->SetField(saved, kLockKindField, in.lockKind);
        db->SetField(saved, fkCylinderCount, in.total);
        db->SetField(saved, fkTotal, "");
        db->SetField(saved, fkRemark, in.remark);
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
    case TRefusal::NameTaken: TellNameTaken(FrameCylsText(4), NameEd); return false;
    case TRefusal::Gone: TellRecordGone(existing, FrameCylsText(1)); return false;
    case TRefusal::NotSaved: return false;
  }

  // The pinning lives in the locksmith store: written after the cylinder is on disk.
  bool pinningSaved = true;
  if (PinningText != LocksmithField(*db, saved, kPinningField))
    pinningSaved = SetLocksmithField(*db, saved, kPinningField, PinningText);
  db->RefreshName(saved);
  if (existing) db->UnlockItem(existing);
  if (isNew) lastSystem_ = in.system;
  CurrentId = saved;
  const std::string editedPinning = PinningText;
  ShowViewMode();
  FillKeySystemFilter(*db);
  RefreshAllFrames();
  if (PageOfView(&GlueView()) < 0) ListingFrame->Refresh();
  ShowRecord(saved);
  if (!pinningSaved) {
    // The cylinder is saved; the pinning edit stays for another try.
    ShowError(FrameCylsText(20));
    if (LockCurrentForEdit(FrameCylsText(1))) {
      PinningText = editedPinning;
      PinsFrame->ShowPinning(saved, PinningText);
      EditState = 1;
      EnterEditMode();
    }
    return true;
  }
  if (doorsEdited) {
    std::string doors;
    TItemList linked;
    db->ReadLinks(saved, icDoor, linked);
    for (int32_t i = 0; i < linked.Count(); ++i)
      if (db->IsValid(linked.Get(i)) && DoorHasSeveralCylinders(*db, linked.Get(i)))
        doors += "\r" + db->GetDisplayName(linked.Get(i));
    if (!doors.empty()) ShowInfo(FrameCylsText(10) + "\r" + doors);
  }
  FocusList();
  return true;
}

bool TFrameCyls::PinsLabelClick() {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  if (!LocksmithOn || !LocksmithOn()) {
    ShowInfo(FrameCylsText(9));
    return false;
  }
  if (!Editing && !StartEdit()) return false;
  std::string result;
  if (!EditPinning || !EditPinning(CurrentId, PinningText, result)) return false;
  PinningText = result;
  PinsFrame->ShowPinning(CurrentId, PinningText);
  return true;
}

bool TFrameCyls::defectCyls1Click() {
  TMiniDB* db = GlueDB();
  if (!db || CurrentId == 0 || RightDenied(rtBuildings)) return false;
  if (Editing) {
    ShowInfo(CoreText(32));
    return false;
  }
  const int32_t id = CurrentId;
  const bool booked = ExecuteDefectCyl(id);
  ShowRecord(id);
  return booked;
}

bool TFrameCyls::NotDamaged1Click() {
  TMiniDB* db = GlueDB();
  const int index = SelectedHolding();
  if (!db || CurrentId == 0 || index < 0 || Editing || RightDenied(rtBuildings)) return false;
  if (AskYesCancel(FrameCylsText(8)) != mrYes) return false;
  const int32_t id = CurrentId;
  const TRetireOutcome outcome = UndoCylinderRetirement(*db, id, Holdings[index]);
  if (outcome.result != TRetireResult::Booked) TellRetireRefused(*db, outcome);
  RefreshAllFrames();
  ShowRecord(id);
  return outcome.result == TRetireResult::Booked;
}

bool TFrameCyls::PrintReceipt1Click() {
  TMiniDB* db = GlueDB();
  const int index = SelectedHolding();
  if (!db || CurrentId == 0 || index < 0) return false;
  const THolderEntry& e = Holdings[index];
  const int event = ActionStateCode(e.Kind);
  if (event != 4 && event != 5) return false;
  PrintRetirementReceipt(*db, event, CurrentId, e.Count, e.ReceiptNo, e.Remark,
                         StrToPackedDate(e.FirstDate));
  return true;
}

// ----- stock list and count ---------------------------------------------------------------

int32_t TFrameCyls::LockLabelClick(bool withLength) {
  if (!OpenStockList) return 0;
  int32_t system = GetComboObjectId(KeysystemCombo, 0);
  if (system <= 0 && CurrentId == 0) system = ksAll;
  std::string search = "\"" + Trim(FromQString(LockNrEd->text())) + "\"";
  if (withLength) search += " \"" + Trim(FromQString(CylLenEd->text())) + "\"";
  return OpenStockList(system, search);
}

void TFrameCyls::Count1Click() {
  ShowInfo(CoreTextFmt(102, std::to_string(ListingFrame->Count())));
}

// ----- printing ---------------------------------------------------------------------------

bool TFrameCyls::PrintCylinders(bool onlyShown) {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  std::vector<int32_t> ids;
  if (onlyShown) {
    if (CurrentId != 0) ids.push_back(CurrentId);
  } else {
    for (int row = 0; row < ListingFrame->Count(); ++row) {
      const int32_t id = ListingFrame->IdAt(row);
      if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
  }
  std::vector<std::string> lines = CylinderListLines(*db, ids);
  // The header, then only the ticked columns; the key and holder columns no line fills.
  std::vector<std::string> header;
  for (const TPrintField& f : printFields_) header.push_back(f.caption);
  std::vector<std::string> out;
  std::string head;
  for (size_t i = 0; i < header.size(); ++i) head += (i ? "\t" : "") + header[i];
  out.push_back(KeepTickedColumns(head, printFields_));
  for (const std::string& line : lines) out.push_back(KeepTickedColumns(line + "\t\t", printFields_));
  return PrintLines && PrintLines(ClassCaption(icCylinder, true), out);
}

void TFrameCyls::PrintMenu() {
  if (RightDenied(rtPrintLists)) return;
  if (printFields_.empty()) {
    const std::pair<const char*, bool> columns[] = {{"Zylinder", true},
                                                    {"Schlie\xDF"
                                                     "anlage",
                                                     true},
                                                    {"Schlie\xDF"
                                                     "ung",
                                                     true},
                                                    {"Position", false},
                                                    {"Zyl.-L\xE4nge", false},
                                                    {"Bestand", true},
                                                    {"Bemerkung", false},
                                                    {"Schl\xFCssel", false},
                                                    {"Besitzer", false}};
    for (const auto& [caption, checked] : columns) printFields_.push_back({caption, checked});
  }
  ClearPrintChoices();
  AddPrintChoice(FrameCylsText(2), 0, CurrentId != 0, false, true);
  AddPrintChoice(FrameCylsText(3), 1, true, true, true);
  int code = -1;
  if (!ExecutePrintSelect(printFields_, code)) return;
  PrintCylinders(code == 0);
}

bool TFrameCyls::PrintPage() {
  PrintMenu();
  return true;
}

void TFrameCyls::resizeEvent(QResizeEvent* event) {
  TFrameMother::resizeEvent(event);
  const int top = ListingFrame->y();
  const int listWidth = std::max(309 / 2, width() / 2);
  ListingFrame->setGeometry(0, top, std::min(listWidth, width()), ListingFrame->height());
  EdPanel->setGeometry(ListingFrame->width(), top, std::max(0, width() - ListingFrame->width()),
                       EdPanel->height());
}

// =======================================================================================
// Registration

void RegisterCylindersView() {
  RegisterViewFactory(pgCylinders, [](QWidget* page) {
    auto* view = new TFrameCyls(page);
    view->PlaceIn(page);
    RegisterView(pgCylinders, &view->GlueView());
  });
  InstallMenuCommand(kMenuDefectCyl1, [] {
    IView* page = ViewOf(pgCylinders);
    if (auto* view = page ? dynamic_cast<TFrameCyls*>(page->RecordFlow()) : nullptr)
      view->defectCyls1Click();
  });
}

void TFrameCyls::TermsChanged() { UpdateCaptions(); }
