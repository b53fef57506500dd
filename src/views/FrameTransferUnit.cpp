#include "views/FrameTransferUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/CommandNames.h"
#include "app/ListingFrameUnit.h"
#include "app/MainFormUnit.h"
#include "app/SigFormUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/HolderUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/AWebBrowserUnit.h"
#include "output/PadDriverUnit.h"
#include "output/PrintSelectUnit.h"
#include "output/PrintUnit.h"

namespace {

constexpr std::uint32_t clInvalid = 0xA0A0FF;   // light red: blocks the action
constexpr std::uint32_t clEditable = 0xD0FFFF;  // light yellow
constexpr std::uint32_t clWhite = 0xFFFFFF;
constexpr std::uint32_t clDisabledField = 0xD0D0D0;
constexpr std::uint32_t clIdle = 0xC0C0C0;
constexpr std::uint32_t clHighlight = 0x00FFFF;  // yellow: the pending action's panel
constexpr std::uint32_t clButtonPanel = 0xD0D0D0;

TFrameTransfer* gFrameTransfer = nullptr;

// A palette change makes the widget and its children polish and lay out again: it is
// made only when the colour changes (the reset after each booking runs through them all).
void SetBackground(QWidget* control, std::uint32_t bgr, QPalette::ColorRole role) {
  const QColor color = ColorFromBgr(bgr);
  if (control->palette().color(role) == color) return;
  QPalette palette = control->palette();
  palette.setColor(role, color);
  control->setPalette(palette);
}

void SetFieldColor(QWidget* field, std::uint32_t bgr) {
  auto* combo = qobject_cast<QComboBox*>(field);
  const QColor color = ColorFromBgr(bgr);
  if (field->palette().color(QPalette::Base) != color ||
      (combo && field->palette().color(QPalette::Button) != color)) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, color);
    if (combo) palette.setColor(QPalette::Button, color);
    field->setPalette(palette);
  }
  if (combo && combo->lineEdit()) SetBackground(combo->lineEdit(), bgr, QPalette::Base);
}

void SetBold(QWidget* control, bool bold) {
  if (control->font().bold() == bold) return;
  QFont font = control->font();
  font.setBold(bold);
  control->setFont(font);
}

void SetReadOnly(QWidget* field, bool readOnly) {
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->setReadOnly(readOnly);
  if (auto* combo = qobject_cast<QComboBox*>(field))
    if (combo->lineEdit()) combo->lineEdit()->setReadOnly(readOnly);
}

std::string TextOf(const QLineEdit* edit) { return FromQString(edit->text()); }
std::string TextOf(const QComboBox* combo) { return FromQString(combo->currentText()); }
void SetText(QLineEdit* edit, const std::string& text) { edit->setText(ToQString(text)); }

QLabel* Caption(const char* text, QWidget* parent) { return new QLabel(ToQString(text), parent); }

int32_t SelectedId(const QComboBox* list) {
  return list->currentIndex() < 0 ? 0 : GetComboId(list, 0);
}

}  // namespace

TFrameTransfer* FrameTransfer() { return gFrameTransfer; }

void TOwnerCombo::ClearList() {
  personsPending_ = false;
  if (count() > 0) clear();
}

void TOwnerCombo::ShowPerson(int32_t person) {
  ClearList();
  TMiniDB* db = GlueDB();
  if (person != 0 && db && db->GetClass(person) == icPerson)
    AddComboItem(this, db->GetDisplayName(person), person);
  // Nobody chosen is nobody: the first person of the list is not a choice.
  setCurrentIndex(count() > 0 ? 0 : -1);
  personsPending_ = true;
}

void TOwnerCombo::FillPersons() {
  if (!personsPending_) return;
  personsPending_ = false;
  const int32_t chosen = currentIndex() < 0 ? 0 : GetComboId(this, 0);
  FillComboWithType(this, icPerson, chosen);
  if (chosen == 0 || GetComboId(this, 0) != chosen) setCurrentIndex(-1);
}

void TOwnerCombo::showPopup() {
  FillPersons();
  QComboBox::showPopup();
}

TUpDown::TUpDown(QWidget* parent) : QFrame(parent) {
  UpBtn = new QToolButton(this);
  UpBtn->setObjectName("UpBtn");
  UpBtn->setArrowType(Qt::UpArrow);
  DownBtn = new QToolButton(this);
  DownBtn->setObjectName("DownBtn");
  DownBtn->setArrowType(Qt::DownArrow);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* b : {UpBtn, DownBtn}) {
    b->setFixedSize(16, 11);
    layout->addWidget(b);
  }
}

// =======================================================================================
// The frame

TFrameTransfer::TFrameTransfer(QWidget* parent) : QFrame(parent) {
  setObjectName("FrameTransfer");
  setAutoFillBackground(true);
  SetBackground(this, clFrameBackground, QPalette::Window);

  // The action buttons, each on its panel.
  auto* actions = new QFrame(this);
  actions->setObjectName("ActionPanel");
  auto* actionLayout = new QVBoxLayout(actions);
  actionLayout->setContentsMargins(6, 6, 6, 6);
  auto makeAction = [&](QFrame*& panel, QPushButton*& button, const char* name,
                        const char* caption) {
    panel = new QFrame(actions);
    panel->setObjectName(QString::fromLatin1(name).replace("Btn", "Panel"));
    panel->setAutoFillBackground(true);
    SetBackground(panel, clButtonPanel, QPalette::Window);
    button = new QPushButton(ToQString(caption), panel);
    button->setObjectName(name);
    button->setMinimumWidth(130);
    auto* l = new QHBoxLayout(panel);
    l->setContentsMargins(4, 4, 4, 4);
    l->addWidget(button);
    actionLayout->addWidget(panel);
  };
  makeAction(IssuePanel, IssueBtn, "IssueBtn", "Ausgabe");
  makeAction(ReturnPanel, ReturnBtn, "ReturnBtn",
             "R\xFC"
             "cknahme");
  makeAction(LostPanel, LostBtn, "LostBtn", "Verlust");
  makeAction(FoundPanel, FoundBtn, "FoundBtn", "Wiedergefunden");
  makeAction(DamagedPanel, DamagedBtn, "DamagedBtn", "Defekt");
  makeAction(OrderPanel, OrderBtn, "OrderBtn", "Nachlieferung");
  actionLayout->addStretch(1);

  // The group box of the operation.
  TransferGroupBox = new QGroupBox(ToQString(" \xDC"
                                             "bergabe "),
                                   this);
  TransferGroupBox->setObjectName("TransferGroupBox");
  auto* grid = new QGridLayout(TransferGroupBox);
  grid->setColumnStretch(1, 1);
  int row = 0;
  auto line = [&](const char* name) {
    auto* e = new QLineEdit(TransferGroupBox);
    e->setObjectName(name);
    return e;
  };
  auto combo = [&](const char* name, bool editable) {
    auto* c = new QComboBox(TransferGroupBox);
    c->setObjectName(name);
    c->setEditable(editable);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(20);
    return c;
  };
  auto picker = [&](const char* name, const char* hint) {
    auto* b = new QToolButton(TransferGroupBox);
    b->setObjectName(name);
    b->setText("...");
    if (hint) b->setToolTip(ToQString(hint));
    return b;
  };
  TransferKeyNameEd = line("TransferKeyNameEd");
  grid->addWidget(Caption("Schl\xFCssel", TransferGroupBox), row, 0);
  grid->addWidget(TransferKeyNameEd, row++, 1, 1, 3);
  TransferKeyEmbossCombo = combo("TransferKeyEmbossCombo", true);
  TransferKeyEmbossCombo->setToolTip(ToQString("Einzelkennung, z.B. Laufnummer"));
  grid->addWidget(Caption("Kennung", TransferGroupBox), row, 0);
  grid->addWidget(TransferKeyEmbossCombo, row++, 1, 1, 3);
  auto ownerList = [&](const char* name) {
    auto* c = new TOwnerCombo(TransferGroupBox);
    c->setObjectName(name);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(20);
    return c;
  };
  TransferOldOwnerEd = ownerList("TransferOldOwnerEd");
  TransferGoOldOwnerBtn = picker("TransferGoOldOwnerBtn", nullptr);
  grid->addWidget(Caption("bisher Besitzer", TransferGroupBox), row, 0);
  grid->addWidget(TransferOldOwnerEd, row, 1, 1, 2);
  grid->addWidget(TransferGoOldOwnerBtn, row++, 3);
  TransferNewOwnerEd = ownerList("TransferNewOwnerEd");
  TransferGoNewOwnerBtn = picker("TransferGoNewOwnerBtn", "Person w\xE4hlen");
  grid->addWidget(Caption("neuer Besitzer", TransferGroupBox), row, 0);
  grid->addWidget(TransferNewOwnerEd, row, 1, 1, 2);
  grid->addWidget(TransferGoNewOwnerBtn, row++, 3);

  auto* dateRow = new QHBoxLayout();
  TransferDateEd = line("TransferDateEd");
  TransferDateEd->setFixedWidth(101);
  TransferDateUpDown = new TUpDown(TransferGroupBox);
  TransferDateUpDown->setObjectName("TransferDateUpDown");
  TransferLimitEd = line("TransferLimitEd");
  TransferLimitEd->setFixedWidth(101);
  TransferLimitEd->setToolTip(ToQString("R\xFC"
                                        "ckgabefrist / Erinnerungstermin"));
  TransferLimitUpDown = new TUpDown(TransferGroupBox);
  TransferLimitUpDown->setObjectName("TransferLimitUpDown");
  dateRow->addWidget(TransferDateEd);
  dateRow->addWidget(TransferDateUpDown);
  dateRow->addSpacing(16);
  dateRow->addWidget(Caption("Frist", TransferGroupBox));
  dateRow->addWidget(TransferLimitEd);
  dateRow->addWidget(TransferLimitUpDown);
  dateRow->addStretch(1);
  grid->addWidget(Caption("Datum", TransferGroupBox), row, 0);
  grid->addLayout(dateRow, row++, 1, 1, 3);

  TransferUserEd = line("TransferUserEd");
  TransferGoUserBtn = picker("TransferGoUserBtn", "Benutzer w\xE4hlen");
  grid->addWidget(Caption("Durchf\xFChrung", TransferGroupBox), row, 0);
  grid->addWidget(TransferUserEd, row, 1, 1, 2);
  grid->addWidget(TransferGoUserBtn, row++, 3);
  TransferRemEd = line("TransferRemEd");
  TransferRemEd->setMaxLength(kTransferRemarkLen);
  grid->addWidget(Caption("Bemerkung", TransferGroupBox), row, 0);
  grid->addWidget(TransferRemEd, row++, 1, 1, 3);

  auto* quantityRow = new QHBoxLayout();
  TransferQuantitySignLabel = new QLabel("+", TransferGroupBox);
  TransferQuantitySignLabel->setObjectName("TransferQuantitySignLabel");
  TransferAdjustQuantityEd = line("TransferAdjustQuantityEd");
  TransferAdjustQuantityEd->setFixedWidth(50);
  TransferQuantityUpDown = new TUpDown(TransferGroupBox);
  TransferQuantityUpDown->setObjectName("TransferQuantityUpDown");
  TransferOldQuantityEd = line("TransferOldQuantityEd");
  TransferOldQuantityEd->setFixedWidth(50);
  TransferNewQuantityEd = line("TransferNewQuantityEd");
  TransferNewQuantityEd->setFixedWidth(50);
  quantityRow->addWidget(TransferQuantitySignLabel);
  quantityRow->addWidget(TransferAdjustQuantityEd);
  quantityRow->addWidget(TransferQuantityUpDown);
  quantityRow->addSpacing(16);
  quantityRow->addWidget(Caption("alt", TransferGroupBox));
  quantityRow->addWidget(TransferOldQuantityEd);
  quantityRow->addWidget(Caption("neu", TransferGroupBox));
  quantityRow->addWidget(TransferNewQuantityEd);
  quantityRow->addStretch(1);
  grid->addWidget(Caption("Anzahl", TransferGroupBox), row, 0);
  grid->addLayout(quantityRow, row++, 1, 1, 3);

  auto* checks = new QHBoxLayout();
  PrintCheck = new QCheckBox(ToQString("Quittung"), TransferGroupBox);
  PrintCheck->setObjectName("PrintCheck");
  BestandCheck = new QCheckBox(ToQString("\xDC"
                                         "bersicht"),
                               TransferGroupBox);
  BestandCheck->setObjectName("BestandCheck");
  BestandCheck->setToolTip(ToQString("Ausleihkontroll\xFC"
                                     "bersicht"));
  getSignatureCheck = new QCheckBox(ToQString("Unterschriften-Pad"), TransferGroupBox);
  getSignatureCheck->setObjectName("getSignatureCheck");
  checks->addWidget(PrintCheck);
  checks->addWidget(BestandCheck);
  checks->addWidget(getSignatureCheck);
  checks->addStretch(1);
  grid->addLayout(checks, row++, 1, 1, 3);

  auto* buttons = new QHBoxLayout();
  TransferApplyBtn = new QPushButton(ToQString("Ausf\xFChren"), TransferGroupBox);
  TransferApplyBtn->setObjectName("TransferApplyBtn");
  TransferCancelBtn = new QPushButton(ToQString("Abbruch"), TransferGroupBox);
  TransferCancelBtn->setObjectName("TransferCancelBtn");
  buttons->addStretch(1);
  buttons->addWidget(TransferApplyBtn);
  buttons->addWidget(TransferCancelBtn);
  grid->addLayout(buttons, row++, 1, 1, 3);
  grid->setRowStretch(row, 1);

  HelpPanel = new QFrame(this);
  HelpPanel->setObjectName("HelpPanel");
  HelpPanel->setMinimumWidth(180);
  auto* helpLayout = new QVBoxLayout(HelpPanel);
  helpLayout->setContentsMargins(0, 0, 0, 0);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(actions);
  layout->addWidget(TransferGroupBox, 3);
  layout->addWidget(HelpPanel, 1);

  connect(IssueBtn, &QPushButton::clicked, this, [this] { IssueBtnClick(); });
  connect(OrderBtn, &QPushButton::clicked, this, [this] { OrderBtnClick(); });
  connect(DamagedBtn, &QPushButton::clicked, this, [this] { DamagedBtnClick(); });
  connect(ReturnBtn, &QPushButton::clicked, this, [this] { ReturnBtnClick(); });
  connect(LostBtn, &QPushButton::clicked, this, [this] { LostBtnClick(); });
  connect(FoundBtn, &QPushButton::clicked, this, [this] { FoundBtnClick(); });
  connect(TransferApplyBtn, &QPushButton::clicked, this, [this] { TransferApplyBtnClick(); });
  connect(TransferCancelBtn, &QPushButton::clicked, this, [this] { TransferCancelBtnClick(); });
  connect(TransferGoNewOwnerBtn, &QToolButton::clicked, this,
          [this] { TransferGoNewOwnerBtnClick(); });
  connect(TransferGoUserBtn, &QToolButton::clicked, this, [this] { TransferGoUserBtnClick(); });
  connect(TransferNewOwnerEd, &QComboBox::activated, this, [this] { TransferNewOwnerEdSelect(); });
  connect(TransferDateUpDown->UpBtn, &QToolButton::clicked, this,
          [this] { DateUpDownClick(true); });
  connect(TransferDateUpDown->DownBtn, &QToolButton::clicked, this,
          [this] { DateUpDownClick(false); });
  connect(TransferLimitUpDown->UpBtn, &QToolButton::clicked, this,
          [this] { LimitUpDownClick(true); });
  connect(TransferLimitUpDown->DownBtn, &QToolButton::clicked, this,
          [this] { LimitUpDownClick(false); });
  connect(TransferQuantityUpDown->UpBtn, &QToolButton::clicked, this,
          [this] { QuantityUpDownClick(true); });
  connect(TransferQuantityUpDown->DownBtn, &QToolButton::clicked, this,
          [this] { QuantityUpDownClick(false); });
  for (QLineEdit* e : {TransferDateEd, TransferLimitEd, TransferAdjustQuantityEd})
    connect(e, &QLineEdit::textChanged, this, [this] { CheckInputs(); });
  connect(TransferDateEd, &QLineEdit::editingFinished, this, [this] { TransferDateEdExit(); });
  connect(TransferLimitEd, &QLineEdit::editingFinished, this, [this] { TransferLimitEdExit(); });

  TranslateForm(this);
  ResetFrame();
  gFrameTransfer = this;
}

TFrameTransfer::~TFrameTransfer() {
  if (gFrameTransfer == this) gFrameTransfer = nullptr;
  for (int page = PageOfView(this); page >= 0; page = PageOfView(this)) UnregisterView(page, this);
}

std::uint32_t TFrameTransfer::FieldColor(const QWidget* field) {
  return BgrFromColor(field->palette().color(QPalette::Base));
}

// ---------------------------------------------------------------------------------------
// Reset

void TFrameTransfer::ResetFrame() {
  checking_ = true;
  if (pickingPerson_)
    if (IView* persons = ViewOf(pgPersons)) persons->SetTransferPicking(false);
  if (pickingUser_)
    if (IView* users = ViewOf(pgUsers)) users->SetTransferPicking(false);
  pickingPerson_ = pickingUser_ = false;
  // One repaint at the end, and no signals from fields that are being emptied.
  TransferGroupBox->setUpdatesEnabled(false);
  TransferGroupBox->setTitle(ToQString(MLTranslate(" \xDC"
                                                   "bergabe ")));
  TransferGroupBox->setEnabled(false);
  for (QLineEdit* e :
       {TransferKeyNameEd, TransferDateEd, TransferLimitEd, TransferUserEd, TransferRemEd,
        TransferAdjustQuantityEd, TransferOldQuantityEd, TransferNewQuantityEd}) {
    const QSignalBlocker block(e);
    if (!e->text().isEmpty()) e->clear();
    e->setEnabled(false);
    SetFieldColor(e, clIdle);
  }
  TransferOldOwnerEd->ClearList();
  TransferNewOwnerEd->ClearList();
  for (QComboBox* c : std::initializer_list<QComboBox*>{TransferKeyEmbossCombo, TransferOldOwnerEd,
                                                        TransferNewOwnerEd}) {
    const QSignalBlocker block(c);
    if (c->count() > 0) c->clear();
    if (c->isEditable()) c->setEditText(QString());
    c->setEnabled(false);
    SetFieldColor(c, clIdle);
  }
  TransferQuantitySignLabel->setText("+");
  for (QFrame* panel : {IssuePanel, OrderPanel, FoundPanel, LostPanel, DamagedPanel, ReturnPanel}) {
    panel->show();
    SetBackground(panel, clButtonPanel, QPalette::Window);
  }
  for (QPushButton* b : {IssueBtn, OrderBtn, FoundBtn, LostBtn, DamagedBtn, ReturnBtn})
    SetBold(b, false);
  for (QWidget* w : std::initializer_list<QWidget*>{
           TransferGoOldOwnerBtn, TransferGoNewOwnerBtn, TransferGoUserBtn, TransferDateUpDown,
           TransferLimitUpDown, TransferQuantityUpDown, TransferCancelBtn, TransferApplyBtn})
    w->setEnabled(false);
  for (QCheckBox* c : {PrintCheck, BestandCheck, getSignatureCheck}) {
    c->setChecked(false);
    c->setEnabled(false);
  }
  TransferGroupBox->setUpdatesEnabled(true);
  checking_ = false;
}

// ---------------------------------------------------------------------------------------
// Starting

bool TFrameTransfer::StartTransfer(const TTransferStartRequest& request) {
  TMiniDB* db = GlueDB();
  if (!db) return false;
  TTransferStartInput input;
  input.kind = static_cast<TTransferKind>(request.kind);
  input.holderId = request.holderId;
  input.cabinetId = request.cabinetId;
  input.holdingDate = request.holdingDate;
  input.holdingReceiptNo = request.holdingReceiptNo;
  input.identifier = request.identifier;
  input.quantityLimit = request.quantityLimit;
  input.keys = request.keys;
  if (IView* keys = ViewOf(pgKeys)) {
    input.keysViewKey = keys->CurrentItemId();
    input.keysViewEditing = keys->Editing();
  }
  if (IView* persons = ViewOf(pgPersons)) input.personsViewPerson = persons->CurrentItemId();
  if (IView* users = ViewOf(pgUsers)) input.usersViewUser = users->CurrentItemId();
  if (TransferRec().Pending()) ShowPage(pgIssueReturn, true);
  int32_t offered = 1;
  const TTransferStart started = PrepareTransferStart(*db, TransferRec(), input, offered);
  switch (started) {
    case TTransferStart::Started: break;
    case TTransferStart::NoKeysShowKeys:
    case TTransferStart::KeysEditing: ShowPage(pgKeys, true); return false;
    default: return false;
  }
  TTransferRecord& rec = TransferRec();
  checking_ = true;
  HighlightAction(rec.Kind);
  TransferQuantitySignLabel->setText(rec.Sign < 1 ? "-" : "+");
  const int32_t single = rec.Keys.Count() == 1 ? rec.Keys.Get(0) : 0;
  FillOwnerList(TransferOldOwnerEd, rec.OldOwner, single);
  FillOwnerList(TransferNewOwnerEd, rec.NewOwner, single);
  if (single != 0) {
    SetText(TransferKeyNameEd, CopyLeft(db->GetDisplayName(single), 40));
    SetText(TransferOldQuantityEd, StockTextOf(*db, single, icKey));
  } else {
    SetText(TransferKeyNameEd, std::to_string(rec.Keys.Count()) + " " + KeysCaption());
    TransferOldQuantityEd->clear();
  }
  TransferKeyEmbossCombo->clear();
  TransferKeyEmbossCombo->setEditText(ToQString(request.identifier));
  SetText(TransferAdjustQuantityEd, std::to_string(offered));
  ShowUser(rec.TransferUserId);
  SetText(TransferDateEd, FrameTransferText(ftNow));
  TransferLimitEd->clear();
  TransferRemEd->clear();
  ApplyPendingStates();

  // Receipt, overview and signature.
  const bool bunch = rec.OldOwner.kind == okKeyBunch || rec.NewOwner.kind == okKeyBunch;
  const bool receipt = !bunch && (rec.Kind == tkIssue || rec.Kind == tkReturn ||
                                  !TemplateFileOfEvent(rec.Kind).empty());
  // The installation's "SigPad" "0" switches the pad off even where its driver is there.
  const bool pad = ProgramValues().SigPadWanted && PadLibraryReady();
  getSignatureCheck->setEnabled(pad);
  getSignatureCheck->setChecked(false);
  PrintCheck->setEnabled(receipt);
  PrintCheck->setChecked(receipt && !getSignatureCheck->isChecked() && rememberReceipt_);
  const bool overview = rec.Kind == tkIssue || rec.Kind == tkReturn || rec.Kind == tkLoss;
  BestandCheck->setEnabled(overview);
  BestandCheck->setChecked(overview && rememberOverview_);
  checking_ = false;
  CheckInputs();
  if (ActivePage() != pgIssueReturn) ShowPage(pgIssueReturn, true);
  FocusControlIfPossible(TransferKeyEmbossCombo);
  return true;
}

void TFrameTransfer::HighlightAction(TTransferKind kind) {
  const std::pair<QFrame*, QPushButton*> actions[] = {
      {nullptr, nullptr},       {OrderPanel, OrderBtn},     {IssuePanel, IssueBtn},
      {ReturnPanel, ReturnBtn}, {DamagedPanel, DamagedBtn}, {LostPanel, LostBtn},
      {FoundPanel, FoundBtn}};
  for (int k = tkDelivery; k <= tkLastKind; ++k) {
    auto [panel, button] = actions[k];
    const bool active = k == kind;
    SetBackground(panel, active ? clHighlight : clButtonPanel, QPalette::Window);
    SetBold(button, active);
  }
  std::string caption(1, ' ');
  caption += TransferKindCaption(kind);
  caption += ' ';
  TransferGroupBox->setTitle(ToQString(caption));
}

void TFrameTransfer::FillOwnerList(TOwnerCombo* list, THolderRef ref, int32_t singleKey) {
  TMiniDB* db = GlueDB();
  list->ClearList();
  if (!db || ref.kind == okUnknown) return;
  switch (ref.kind) {
    case okCabinet:
    case okStock: {
      TItemList cabinets;
      if (singleKey != 0) {
        TItemList links;
        db->ReadLinks(singleKey, icCabinet, links);
        for (int32_t i = 0; i < links.Count(); ++i)
          if (db->GetClass(links.Get(i)) == icCabinet && db->IsValid(links.Get(i)))
            cabinets.Add(links.Get(i));
      }
      if (cabinets.Count() == 0) {
        AddComboItem(list, HolderKindNames()[okCabinet], ref.id);
        list->setCurrentIndex(0);
        return;
      }
      int32_t select = ref.id;
      if (select == 0 && cabinets.Count() == 1) select = cabinets.Get(0);
      FillListFromItemList(list, cabinets, true, select);
      return;
    }
    case okPerson: list->ShowPerson(ref.id); return;
    default:
      AddComboItem(list, HolderKindNames()[ref.kind], ref.id);
      list->setCurrentIndex(0);
      return;
  }
}

void TFrameTransfer::ApplyPendingStates() {
  const TTransferRecord& rec = TransferRec();
  TransferGroupBox->setEnabled(true);
  for (QWidget* w : std::initializer_list<QWidget*>{
           TransferKeyNameEd, TransferKeyEmbossCombo, TransferOldOwnerEd, TransferNewOwnerEd,
           TransferDateEd, TransferLimitEd, TransferUserEd, TransferRemEd, TransferAdjustQuantityEd,
           TransferOldQuantityEd, TransferNewQuantityEd})
    w->setEnabled(true);
  auto readOnly = [](QWidget* w) {
    SetReadOnly(w, true);
    SetFieldColor(w, clWhite);
  };
  auto editable = [](QWidget* w) {
    SetReadOnly(w, false);
    SetFieldColor(w, clEditable);
  };
  readOnly(TransferKeyNameEd);
  if (rec.Kind == tkIssue)
    editable(TransferKeyEmbossCombo);
  else
    readOnly(TransferKeyEmbossCombo);
  const bool oldOwnerChoice = rec.Kind == tkIssue || rec.Kind == tkDefect;
  TransferOldOwnerEd->setEnabled(oldOwnerChoice);
  SetFieldColor(TransferOldOwnerEd, oldOwnerChoice ? clEditable : clWhite);
  TransferNewOwnerEd->setEnabled(true);
  SetFieldColor(TransferNewOwnerEd, clEditable);
  editable(TransferDateEd);
  editable(TransferRemEd);
  editable(TransferAdjustQuantityEd);
  // Several keys book one piece each: the quantity stays 1.
  if (rec.Keys.Count() > 1) {
    TransferAdjustQuantityEd->setEnabled(false);
    SetFieldColor(TransferAdjustQuantityEd, clDisabledField);
  }
  const bool deadline = rec.Kind == tkIssue || rec.Kind == tkLoss;
  TransferLimitEd->setEnabled(deadline);
  TransferLimitUpDown->setEnabled(deadline);
  if (deadline)
    editable(TransferLimitEd);
  else
    SetFieldColor(TransferLimitEd, clDisabledField);
  readOnly(TransferUserEd);
  readOnly(TransferOldQuantityEd);
  readOnly(TransferNewQuantityEd);
  TransferDateUpDown->setEnabled(true);
  TransferCancelBtn->setEnabled(true);
  TransferApplyBtn->setEnabled(!running_);
  TransferQuantityUpDown->setEnabled(TransferAdjustQuantityEd->isEnabled() &&
                                     !TransferAdjustQuantityEd->isReadOnly());
  TransferGoOldOwnerBtn->setEnabled(false);
  TransferGoUserBtn->setEnabled(ViewOf(pgUsers) != nullptr);
  const bool personTarget = rec.NewOwner.kind == okPerson;
  TransferGoNewOwnerBtn->setEnabled(personTarget && ViewOf(pgPersons) != nullptr);
  if (personTarget && SelectedId(TransferNewOwnerEd) == 0)
    SetFieldColor(TransferNewOwnerEd, clInvalid);
  // A stock target with several cabinets and none chosen is marked; it never blocks.
  if ((rec.NewOwner.kind == okCabinet || rec.NewOwner.kind == okStock) && rec.NewOwner.id == 0 &&
      TransferNewOwnerEd->count() > 1 && TransferNewOwnerEd->currentIndex() <= 0)
    SetFieldColor(TransferNewOwnerEd, clInvalid);
}

void TFrameTransfer::ShowUser(int32_t user) {
  TMiniDB* db = GlueDB();
  SetText(TransferUserEd, user != 0 && db ? db->GetDisplayName(user) : std::string());
}

// ---------------------------------------------------------------------------------------
// Live checks and up-downs

void TFrameTransfer::CheckInputs() {
  if (checking_ || !TransferGroupBox->isEnabled()) return;
  checking_ = true;
  const TTransferRecord& rec = TransferRec();
  if (TransferDateEd->isEnabled() && !TransferDateEd->isReadOnly()) {
    const std::string text = TextOf(TransferDateEd);
    SetFieldColor(TransferDateEd, TransferDateTextValid(text) ? clEditable : clInvalid);
    const bool narrow = text.size() < 12;
    TransferDateEd->setFixedWidth(narrow ? 101 : 124);
    TransferDateUpDown->setVisible(narrow);
  }
  if (TransferLimitEd->isEnabled() && !TransferLimitEd->isReadOnly())
    SetFieldColor(TransferLimitEd,
                  TransferDeadlineTextValid(TextOf(TransferLimitEd)) ? clEditable : clInvalid);
  if (TransferAdjustQuantityEd->isEnabled() || rec.Keys.Count() > 1) {
    const int32_t limit = rec.QuantityLimit > 0 ? rec.QuantityLimit : kTransferNoLimit;
    const std::string typed = Trim(TextOf(TransferAdjustQuantityEd));
    const int32_t quantity = ClampTransferQuantity(StrToIntZero(typed), limit);
    if (typed != std::to_string(quantity) && !typed.empty())
      SetText(TransferAdjustQuantityEd, std::to_string(quantity));
    bool negative = false;
    const std::string old = TextOf(TransferOldQuantityEd);
    if (rec.Keys.Count() > 1) {
      // Each key has its own stock: the question before booking names those below 0.
      TransferNewQuantityEd->clear();
    } else {
      SetText(TransferNewQuantityEd, TransferNewStockText(rec, old, quantity, negative));
    }
    SetFieldColor(TransferNewQuantityEd, negative ? clInvalid : clWhite);
  }
  checking_ = false;
}

void TFrameTransfer::DateUpDownClick(bool up) {
  SetText(TransferDateEd, StepTransferDateText(TextOf(TransferDateEd), up, false));
}

void TFrameTransfer::LimitUpDownClick(bool up) {
  SetText(TransferLimitEd, StepTransferDateText(TextOf(TransferLimitEd), up, true));
}

void TFrameTransfer::QuantityUpDownClick(bool up) {
  const TTransferRecord& rec = TransferRec();
  const int32_t limit = rec.QuantityLimit > 0 ? rec.QuantityLimit : kTransferNoLimit;
  const int32_t now = StrToIntZero(Trim(TextOf(TransferAdjustQuantityEd)));
  SetText(TransferAdjustQuantityEd,
          std::to_string(ClampTransferQuantity(now + (up ? 1 : -1), limit)));
}

void TFrameTransfer::TransferDateEdExit() {
  if (!TransferDateEd->isEnabled()) return;
  const std::string text = TextOf(TransferDateEd);
  const std::string normal = NormalizeDateTimeText(text);
  if (normal != text) SetText(TransferDateEd, normal);
}

void TFrameTransfer::TransferLimitEdExit() {
  if (!TransferLimitEd->isEnabled()) return;
  const std::string text = TextOf(TransferLimitEd);
  const std::string normal = NormalizeDeadlineText(text);
  if (normal != text) SetText(TransferLimitEd, normal);
}

void TFrameTransfer::TransferNewOwnerEdSelect() {
  if (FieldColor(TransferNewOwnerEd) == clInvalid && SelectedId(TransferNewOwnerEd) != 0)
    SetFieldColor(TransferNewOwnerEd, clEditable);
}

// ---------------------------------------------------------------------------------------
// Buttons

void TFrameTransfer::StartFromButton(TTransferKind kind, const char* document) {
  ShowTransferDocument(document);
  TTransferStartRequest request;
  request.kind = kind;
  StartTransfer(request);
}

// Returns, losses and finds book out of one holding: they start from the holder list.
void TFrameTransfer::AskStartFromKeys(TTransferKind kind, const char* document) {
  ShowTransferDocument(document);
  ShowInfo(FrameTransferTextFmt(ftStartFromKeys, TransferKindCaption(kind)));
}

void TFrameTransfer::IssueBtnClick() { StartFromButton(tkIssue, "issue.html"); }
void TFrameTransfer::OrderBtnClick() { StartFromButton(tkDelivery, "order.html"); }
void TFrameTransfer::DamagedBtnClick() { StartFromButton(tkDefect, "defect.html"); }
void TFrameTransfer::ReturnBtnClick() { AskStartFromKeys(tkReturn, "return.html"); }
void TFrameTransfer::LostBtnClick() { AskStartFromKeys(tkLoss, "lost.html"); }
void TFrameTransfer::FoundBtnClick() { AskStartFromKeys(tkFind, "found.html"); }

void TFrameTransfer::TransferCancelBtnClick() {
  if (running_ || !TransferRec().Pending()) return;
  if (UI().Ask(TMsgKind::Confirmation, FrameTransferText(ftReallyCancel), TAskButtons::YesNo) !=
      mrYes)
    return;
  ResetFrame();
  TransferRec().Kind = tkNone;
}

void TFrameTransfer::TransferGoNewOwnerBtnClick() {
  IView* persons = ViewOf(pgPersons);
  if (!persons) return;
  pickingPerson_ = true;
  persons->SetTransferPicking(true);
  ShowPage(pgPersons, true);
}

void TFrameTransfer::TransferGoUserBtnClick() {
  IView* users = ViewOf(pgUsers);
  if (!users) return;
  pickingUser_ = true;
  users->SetTransferPicking(true);
  ShowPage(pgUsers, true);
}

void TFrameTransfer::TransferSheetShow() {
  if (HelpBrowser) return;
  HelpBrowser = new TAWebBrowser(HelpPanel);
  HelpBrowser->setObjectName("HelpBrowser");
  HelpPanel->layout()->addWidget(HelpBrowser);
}

void TFrameTransfer::TransferSheetEnter() {
  TTransferRecord& rec = TransferRec();
  if (pickingPerson_) {
    IView* persons = ViewOf(pgPersons);
    const int32_t person = persons ? persons->CurrentItemId() : 0;
    if (person != 0) {
      pickingPerson_ = false;
      persons->SetTransferPicking(false);
      if (rec.Pending() && rec.NewOwner.kind == okPerson) {
        rec.NewOwner.id = person;
        if (TransferNewOwnerEd->PersonsPending())
          TransferNewOwnerEd->ShowPerson(person);
        else
          SelectComboIdIfPresent(TransferNewOwnerEd, person);
        if (SelectedId(TransferNewOwnerEd) == person) SetFieldColor(TransferNewOwnerEd, clEditable);
      }
    }
  }
  if (pickingUser_) {
    IView* users = ViewOf(pgUsers);
    const int32_t user = users ? users->CurrentItemId() : 0;
    if (user != 0) {
      pickingUser_ = false;
      users->SetTransferPicking(false);
      if (rec.Pending()) {
        rec.TransferUserId = user;
        ShowUser(user);
      }
    }
  }
}

void TFrameTransfer::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  TransferSheetShow();
}

// ---------------------------------------------------------------------------------------
// "Ausführen"

bool TFrameTransfer::TransferApplyBtnClick() {
  TMiniDB* db = GlueDB();
  if (running_ || !db || !TransferRec().Pending()) return false;
  // Events processed while the booking runs (the pad, the print dialogs, the wait text)
  // must not start a second run.
  running_ = true;
  TransferApplyBtn->setEnabled(false);
  struct TRunEnd {
    TFrameTransfer* frame;
    ~TRunEnd() {
      frame->running_ = false;
      if (TransferRec().Pending() && frame->TransferGroupBox->isEnabled())
        frame->TransferApplyBtn->setEnabled(true);
    }
  } runEnd{this};

  TTransferRecord& rec = TransferRec();
  TTransferApplyInput input;
  input.oldOwnerId = SelectedId(TransferOldOwnerEd);
  input.newOwnerId = SelectedId(TransferNewOwnerEd);
  input.identifier = TextOf(TransferKeyEmbossCombo);
  input.dateText = TextOf(TransferDateEd);
  input.deadlineText = TextOf(TransferLimitEd);
  input.remark = TextOf(TransferRemEd);
  input.quantityText = TextOf(TransferAdjustQuantityEd);
  input.dateMarked = FieldColor(TransferDateEd) == clInvalid;
  input.deadlineMarked = TransferLimitEd->isEnabled() && FieldColor(TransferLimitEd) == clInvalid;
  if (!TransferLimitEd->isEnabled()) input.deadlineText.clear();
  if (!PrepareTransferApply(*db, rec, input)) return false;

  rememberReceipt_ = PrintCheck->isChecked();
  rememberOverview_ = BestandCheck->isChecked();

  if (getSignatureCheck->isChecked()) {
    if (!RequestSignature(rec)) return false;
    std::string ref;
    if (!SaveSignature("", ref) || ref.empty()) {
      ShowError(CoreText(136));
      return false;
    }
    rec.SignatureRef = ref;
  }

  const TTransferOperation op = BookTransferOperation(*db, rec);
  if (op.booked.empty()) {
    // Refused (another station held the key, or its stock moved meanwhile): the form
    // stays, showing the stock as it is now, so the next try starts from the truth.
    db->Load();
    RefreshView();
    return false;
  }
  AfterBooking(op);
  return true;
}

void TFrameTransfer::AfterBooking(const TTransferOperation& op) {
  TMiniDB* db = GlueDB();
  const TTransferRecord& done = op.done;
  const bool receipt = PrintCheck->isChecked();
  const bool overview = BestandCheck->isChecked();
  if (op.Complete()) {
    ResetFrame();
  } else {
    // The keys not booked stay pending with every entry: the key field names them.
    const TTransferRecord& rest = TransferRec();
    const int32_t single = rest.Keys.Count() == 1 ? rest.Keys.Get(0) : 0;
    checking_ = true;
    SetText(TransferKeyNameEd, single != 0 && db
                                   ? CopyLeft(db->GetDisplayName(single), 40)
                                   : std::to_string(rest.Keys.Count()) + " " + KeysCaption());
    if (single != 0 && db) SetText(TransferOldQuantityEd, StockTextOf(*db, single, icKey));
    checking_ = false;
    CheckInputs();
  }
  const int32_t last = op.booked.back();
  if (done.Keys.Count() == 1)
    if (IView* keys = ViewOf(pgKeys); keys && !keys->Editing()) keys->ShowItem(last);
  RefreshAllFrames();
  if (op.Complete()) ShowPage(pgKeys, false);
  if (IView* limits = ViewOf(pgLimits)) limits->RefreshView();
  if (!db) return;

  // The receipt is made out to the new holder of an issue, else to the one handing back.
  const int32_t holder = TransferReceiptHolder(done);
  bool go = true;
  if (receipt) {
    if (AskPrintForm() && !PrintSelectSimple(FrameTransferText(ftForm))) go = false;
    if (go) {
      TKeyReceipt r;
      r.event = done.Kind;
      r.key = done.Keys.Get(0);
      r.person = TransferReceiptPerson(done);
      r.cabinet = done.CabinetId;
      r.keyText = op.keyText;
      r.system = op.systemText;
      r.keyCount = std::to_string(done.Quantity);
      r.date = PackedDateToStr(done.Date);
      r.deadline = PackedDateToStr(done.Deadline);
      r.user = CurrentUserDisplayName();
      r.notes1 = ItemRemarkLine(*db, last);
      r.notes2 = done.Remark;
      r.seqNumber = done.ReceiptNo;
      r.label = done.Identifier;
      ShowWaitDefault();
      PrintKeyReceipt(r, db);
      HideWaitText();
    }
  }
  if (go && overview && holder != 0 && db->GetClass(holder) == icPerson) {
    if (AskPrintForm() && !PrintSelectSimple(FrameTransferText(ftForm))) go = false;
    if (go) {
      ShowWaitDefault();
      PrintLendControlSheet(holder, true, db);
      HideWaitText();
    }
  }
  // The minimum-stock notice comes whatever became of the printouts.
  if (const int32_t settings = db->FindOrCreateSingleton(false);
      settings != 0 && !db->ReadLineField(settings, "MinStkKeys").empty()) {
    const std::string notice = MinimumStockNotice(*db, done.Keys);
    if (!notice.empty()) ShowInfo(notice);
  }
}

// ---------------------------------------------------------------------------------------
// The view contract

void TFrameTransfer::RefreshView() {
  // The form shows what the user typed; only the key's stock follows the store.
  TMiniDB* db = GlueDB();
  const TTransferRecord& rec = TransferRec();
  if (!db || !rec.Pending() || rec.Keys.Count() != 1 || !TransferGroupBox->isEnabled()) return;
  checking_ = true;
  SetText(TransferOldQuantityEd, StockTextOf(*db, rec.Keys.Get(0), icKey));
  checking_ = false;
  CheckInputs();
}

void TFrameTransfer::AddToTransfer(int32_t id) {
  TMiniDB* db = GlueDB();
  if (!db || id == 0) return;
  TTransferStartRequest request;
  request.kind = tkIssue;
  if (db->GetClass(id) == icKey)
    request.keys = {id};
  else if (db->GetClass(id) == icPerson || db->GetClass(id) == icKeyBunch)
    request.holderId = id;
  else
    return;
  StartTransfer(request);
}

void TFrameTransfer::ShowDocument(const std::string& url) {
  TransferSheetShow();
  HelpBrowser->Navigiere(url);
}

void TFrameTransfer::TermsChanged() {
  if (!TransferRec().Pending() || !TransferGroupBox->isEnabled()) return;
  const TTransferRecord& rec = TransferRec();
  const int32_t single = rec.Keys.Count() == 1 ? rec.Keys.Get(0) : 0;
  const int32_t oldId = SelectedId(TransferOldOwnerEd), newId = SelectedId(TransferNewOwnerEd);
  FillOwnerList(TransferOldOwnerEd, {rec.OldOwner.kind, oldId ? oldId : rec.OldOwner.id}, single);
  FillOwnerList(TransferNewOwnerEd, {rec.NewOwner.kind, newId ? newId : rec.NewOwner.id}, single);
}

bool TFrameTransfer::Editing() const { return false; }

// =======================================================================================
// Installation

void MakeTransferView(QWidget* page) {
  auto* view = new TFrameTransfer(page);
  QLayout* layout = page->layout();
  if (!layout) {
    layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
  }
  layout->addWidget(view);
  RegisterView(pgIssueReturn, view);
}

void RegisterTransferView() {
  RegisterViewFactory(pgIssueReturn, MakeTransferView);
  InstallMenuCommand(kHookTransferSheetShow, [] {
    if (TFrameTransfer* view = FrameTransfer()) view->TransferSheetShow();
  });
  InstallMenuCommand(kHookTransferSheetEnter, [] {
    if (TFrameTransfer* view = FrameTransfer()) view->TransferSheetEnter();
  });
}
