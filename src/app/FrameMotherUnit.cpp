#include "app/FrameMotherUnit.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "app/GlueStateUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/MsgDlgUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

namespace {

constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 50;
constexpr int kListingWidth = 250;

QToolButton* MakeButton(QWidget* bar, const char* caption, const char* hint, int index) {
  auto* button = new QToolButton(bar);
  button->setText(ToQString(caption));
  if (hint) button->setToolTip(ToQString(hint));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setGeometry(index * kButtonWidth, 0, kButtonWidth, kButtonHeight);
  return button;
}

bool ReadOnlyField(const QWidget* field) {
  if (auto* edit = qobject_cast<const QLineEdit*>(field)) return edit->isReadOnly();
  if (auto* edit = qobject_cast<const QTextEdit*>(field)) return edit->isReadOnly();
  if (auto* edit = qobject_cast<const QPlainTextEdit*>(field)) return edit->isReadOnly();
  return false;
}

bool IsTypedCharacter(char key) {
  return key == ' ' || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') ||
         (key >= 'a' && key <= 'z');
}

}  // namespace

TFrameMother::TFrameMother(QWidget* owner, uint8_t itemType, uint8_t rightIndex)
    : QFrame(owner), ItemType(itemType), RightIndex(rightIndex), Flow(*this), glueView_(*this) {
  setAutoFillBackground(true);
  QPalette framePalette = palette();
  framePalette.setColor(QPalette::Window, ColorFromBgr(clFrameBackground));
  setPalette(framePalette);
  QFont verdana(QStringLiteral("Verdana"));
  verdana.setPixelSize(13);
  setFont(verdana);

  ListPopup = new QMenu(this);
  Ed1 = ListPopup->addAction(ToQString("Eintrag \xE4ndern"));
  PrintList1 = ListPopup->addAction(ToQString("Liste drucken"));
  PrintList1->setVisible(false);
  FramePopup = new QMenu(this);

  BtnPanel = new QFrame(this);
  // Named so that the guided tour finds them on every page.
  BtnPanel->setObjectName("BtnPanel");
  BtnPanel->setAutoFillBackground(true);
  QPalette barPalette = BtnPanel->palette();
  barPalette.setColor(QPalette::Window, ColorFromBgr(clButtonBar));
  BtnPanel->setPalette(barPalette);
  NewBtn = MakeButton(BtnPanel, "Neu", nullptr, 0);
  EdBtn = MakeButton(BtnPanel, "\xC4ndern", "Bearbeiten", 1);
  CancelBtn = MakeButton(BtnPanel, "Abbruch", nullptr, 2);
  KillBtn = MakeButton(BtnPanel, "L\xF6schen", nullptr, 3);
  SaveBtn = MakeButton(BtnPanel, "Speichern", nullptr, 4);
  JournalBtn = MakeButton(BtnPanel, "Protokoll", "Logdatei ansehen", 5);
  TransferBtn = MakeButton(BtnPanel, "\xDC" "bergabe", "zur Schl\xFCsselausgabe \xFC" "bernehmen", 6);
  PrintBtn = MakeButton(BtnPanel, "Drucken", nullptr, 7);
  TransferBtn->setObjectName("TransferBtn");
  JournalBtn->hide();
  TransferBtn->hide();
  PrintBtn->hide();

  ListingFrame = new TListingFrame(this);
  ListingFrame->setObjectName("ListingFrame");
  ListingFrame->Setup(ItemType, 0, 0, 0);
  ListingFrame->SeekCombo->hide();
  ListingFrame->HouseCombo->hide();
  ListingFrame->FrameResize();
  ListingFrame->ListMenu = ListPopup;
  ListingFrame->OnClick = [this] { ListingFrameListBoxClick(); };

  EdPanel = new QScrollArea(this);
  EdPanel->setObjectName("EdPanel");
  EdPanel->setWidgetResizable(true);
  EdPanel->verticalScrollBar()->setTracking(true);
  EdPanel->setWidget(new QWidget);

  connect(EdBtn, &QToolButton::clicked, this, [this] { EdBtnClick(); });
  connect(CancelBtn, &QToolButton::clicked, this, [this] { CancelBtnClick(); });
  connect(KillBtn, &QToolButton::clicked, this, [this] { KillBtnClick(); });
  connect(PrintBtn, &QToolButton::clicked, this, [this] { PrintBtnClick(); });
  connect(Ed1, &QAction::triggered, this, [this] { Ed1Click(); });
  connect(PrintList1, &QAction::triggered, this, [this] { PrintList1Click(); });
  connect(ListPopup, &QMenu::aboutToShow, this, [this] { ListPopupPopup(); });

  // A record deleted here changes what other views show (links, counts); this view's own
  // list is refreshed as well when it is not registered with the glue.
  Flow.RefreshAll = [this] {
    RefreshAllFrames();
    if (PageOfView(&glueView_) < 0) ListingFrame->Refresh();
  };

  CollectSpeedButtons(BtnPanel, ButtonLayout);
  FieldList = std::make_unique<TFieldList>(ItemType, EdPanel);
  TranslateForm(this);
  resize(800, 500);
  FrameResize();
  InitLayout();
}

TFrameMother::~TFrameMother() {
  for (int page = PageOfView(&glueView_); page >= 0; page = PageOfView(&glueView_)) {
    UnregisterPageCommands(page, &glueView_);
    UnregisterView(page, &glueView_);
  }
}

void TFrameMother::InitLayout() {
  Sizing = FrameSizingRec{};
  FrameSizingSetDesign(Sizing, width(), height());
}

void TFrameMother::RefreshView() {
  ListingFrame->Refresh();
  if (!Editing) ShowRecord(CurrentId);
}

int32_t TFrameMother::Duplicate() { return Flow.Duplicate(); }

void TFrameMother::PlaceIn(QWidget* parent) {
  setParent(parent);
  setGeometry(parent ? parent->rect() : rect());
  if (parent) parent->installEventFilter(this);
  show();
}

void TFrameMother::FrameResize() {
  BtnPanel->setGeometry(0, 0, width(), kButtonHeight);
  const int top = kButtonHeight;
  const int listWidth = std::min(kListingWidth, width() / 3);
  ListingFrame->setGeometry(0, top, listWidth, std::max(0, height() - top));
  EdPanel->setGeometry(listWidth, top, std::max(0, width() - listWidth),
                       std::max(0, height() - top));
  ArrangeButtons(ButtonLayout);
  FrameSizingResize(Sizing, width(), height());
}

void TFrameMother::ListingFrameListBoxClick() {
  const int32_t id = ListingFrame->SelectedId();
  if (ListingFrame->SelectedRow() >= 0) ShowRecord(id);
}

void TFrameMother::ListPopupPopup() {
  Ed1->setEnabled(ListingFrame->SelectedRow() >= 0);
  PrintList1->setEnabled(ListingFrame->Count() > 0);
}

void TFrameMother::TellSaveBlocked(const std::string& blocking) {
  TMiniDB* db = GlueDB();
  if (blocking == "*" || !db)
    ShowLockFailed();
  else
    db->ShowLockedMessage(blocking, true);
}

void TFrameMother::TellNameTaken(const std::string& text, QWidget* nameField) {
  ShowError(text + "\r" + CoreText(119));
  FocusControlIfPossible(nameField);
}

void TFrameMother::TellRecordGone(int32_t id, const std::string& text, bool asError) {
  if (TMiniDB* db = GlueDB()) db->UnlockItem(id);
  if (asError)
    ShowError(text);
  else
    ShowInfo(text);
  ClearDisplay();
  RefreshAllFrames();
}

bool TFrameMother::LockCurrentForEdit(const std::string& goneText, bool goneAsError) {
  TMiniDB* db = GlueDB();
  if (!db || !LockOnFreshData(*db, CurrentId)) return false;
  RefreshIfChanged();
  if (db->HasRecord(CurrentId) && db->IsValid(CurrentId)) return true;
  db->UnlockItem(CurrentId);
  if (goneAsError)
    ShowError(goneText);
  else
    ShowInfo(goneText);
  ClearDisplay();
  return false;
}

void TFrameMother::Hide1Click() {
  QWidget* page = parentWidget();
  QTabWidget* tabs = WinGlue().PageControl.data();
  if (!page || !tabs || tabs->indexOf(page) < 0) return;
  HidePage(tabs->indexOf(page), false);
  SaveViewTabs();
}

bool TFrameMother::EdKeyPress(QWidget* sender, char key) {
  if (Editing || !sender || !IsTypedCharacter(key) || !ReadOnlyField(sender)) return false;
  ShowNotInEditMode();
  return true;
}

void TFrameMother::FocusList() { FocusControlIfPossible(ListingFrame->ListBox); }

QToolButton* TFrameMother::ButtonOf(char letter) const {
  switch (letter) {
    case 'N': return NewBtn;
    case 'E': return EdBtn;
    case 'S': return SaveBtn;
    default: return nullptr;
  }
}

bool TFrameMother::ButtonReady(char letter) const {
  QToolButton* button = ButtonOf(letter);
  return button && !button->isHidden() && button->isEnabled();
}

void TFrameMother::ClickButton(char letter) {
  if (QToolButton* button = ButtonOf(letter)) button->click();
}

void TFrameMother::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FrameResize();
}

bool TFrameMother::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
  } else if (event->type() == QEvent::KeyPress) {
    auto* field = qobject_cast<QWidget*>(watched);
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (field && text.size() == 1 && text[0].unicode() < 0x80 &&
        EdKeyPress(field, static_cast<char>(text[0].unicode())))
      return true;
  }
  return QFrame::eventFilter(watched, event);
}

void TFrameMother::TGlueView::ShowItem(int32_t id) {
  frame_.ListingFrame->SelectId(id);
  frame_.ShowRecord(id);
}

bool TFrameMother::TGlueView::CancelEdit() {
  if (!frame_.Editing) return false;
  frame_.CancelBtnClick();
  return true;
}
