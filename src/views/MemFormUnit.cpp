#include "views/MemFormUnit.h"

#include <algorithm>

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "basic/widgets/ScreenPlaceUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

namespace {

std::vector<int32_t>& List() {
  static std::vector<int32_t> ids;
  return ids;
}

QPointer<TMemForm>& FormSlot() {
  static QPointer<TMemForm> form;
  return form;
}

int32_t IdOf(const QListWidgetItem* item) { return item->data(Qt::UserRole).toInt(); }

QPushButton* Button(QWidget* parent, const char* caption, const char* name, const char* hint) {
  auto* b = new QPushButton(ToQString(caption), parent);
  b->setObjectName(name);
  if (hint) b->setToolTip(ToQString(hint));
  return b;
}

}  // namespace

void MemorizeRecord(int32_t id) {
  std::vector<int32_t>& ids = List();
  if (id == 0 || std::find(ids.begin(), ids.end(), id) != ids.end()) return;
  ids.push_back(id);
  if (TMemForm* form = FormSlot().data()) form->Refresh();
}

const std::vector<int32_t>& RememberedRecords() { return List(); }

void ForgetRememberedRecords() {
  List().clear();
  if (TMemForm* form = FormSlot().data()) form->Refresh();
}

TMemForm::TMemForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("MemForm");
  setWindowTitle(ToQString("Gemerkte Datens\xE4tze"));
  setWindowOpacity(220 / 255.0);
  auto* outer = new QVBoxLayout(this);
  TopPanel = new QWidget(this);
  TopPanel->setObjectName("TopPanel");
  auto* top = new QHBoxLayout(TopPanel);
  GotoBtn = Button(TopPanel, "Aufrufen", "GotoBtn", "gew\xE4hlten Datensatz anzeigen");
  AddBtn = Button(TopPanel, "Hinzuf\xFCgen", "AddBtn", "aktuellen Datensatz merken");
  DelBtn = Button(TopPanel, "Entfernen", "DelBtn", "gew\xE4hlten Datensatz entfernen");
  top->addWidget(GotoBtn);
  top->addWidget(AddBtn);
  top->addWidget(DelBtn);
  outer->addWidget(TopPanel);
  Box = new QListWidget(this);
  Box->setObjectName("Box");
  Box->setSelectionMode(QAbstractItemView::ExtendedSelection);
  outer->addWidget(Box);
  FootPanel = new QWidget(this);
  FootPanel->setObjectName("FootPanel");
  auto* foot = new QVBoxLayout(FootPanel);
  Label1 = new QLabel(ToQString("Mehrfachauswahl mit [Strg] + Mausklick"), FootPanel);
  foot->addWidget(Label1);
  auto* buttons = new QHBoxLayout;
  AusgabeBtn = Button(FootPanel, "Ausgabe", "AusgabeBtn", "Schl\xFCsselausgabe");
  BundBtn = Button(FootPanel, "Bund", "BundBtn", nullptr);
  OrderBtn = Button(FootPanel, "Bestellung", "OrderBtn", nullptr);
  BundBtn->setEnabled(false);
  OrderBtn->setEnabled(false);
  buttons->addWidget(AusgabeBtn);
  buttons->addWidget(BundBtn);
  buttons->addWidget(OrderBtn);
  foot->addLayout(buttons);
  outer->addWidget(FootPanel);
  connect(GotoBtn, &QPushButton::clicked, this, [this] { GotoBtnClick(); });
  connect(AddBtn, &QPushButton::clicked, this, [this] { AddBtnClick(); });
  connect(DelBtn, &QPushButton::clicked, this, [this] { DelBtnClick(); });
  connect(AusgabeBtn, &QPushButton::clicked, this, [this] { AusgabeBtnClick(); });
  TranslateForm(this);
}

void TMemForm::Refresh() {
  std::vector<int32_t> selected;
  for (const QListWidgetItem* item : Box->selectedItems()) selected.push_back(IdOf(item));
  Box->clear();
  const TMiniDB* db = SessionDB();
  bool anyKey = false;
  for (int32_t id : List()) {
    const int cls = db ? db->GetClass(id) : 0;
    anyKey |= cls == icKey;
    std::string caption = cls ? ClassCaption(cls, false) : std::string();
    std::string text = caption.empty() ? std::string() : caption + ": ";
    text += (db ? db->GetDisplayName(id) : std::to_string(id)) + "\t";
    auto* item = new QListWidgetItem(ToQString(text), Box);
    item->setData(Qt::UserRole, id);
    if (std::find(selected.begin(), selected.end(), id) != selected.end()) item->setSelected(true);
  }
  DelBtn->setEnabled(!List().empty());
  GotoBtn->setEnabled(!List().empty());
  AusgabeBtn->setEnabled(anyKey);
}

void TMemForm::AddBtnClick() { MemorizeRecord(CurrentPageItemId()); }

void TMemForm::DelBtnClick() {
  std::vector<int32_t>& ids = List();
  for (const QListWidgetItem* item : Box->selectedItems())
    ids.erase(std::remove(ids.begin(), ids.end(), IdOf(item)), ids.end());
  Refresh();
}

void TMemForm::GotoBtnClick() {
  if (const QListWidgetItem* item = Box->currentItem()) GotoItem(IdOf(item), true);
}

bool TMemForm::AusgabeBtnClick() {
  TMiniDB* db = SessionDB();
  if (!db) return false;
  int listed = 0;
  std::vector<int32_t> keys;
  for (int i = 0; i < Box->count(); ++i) {
    const QListWidgetItem* item = Box->item(i);
    const int32_t id = IdOf(item);
    if (!db->IsValid(id) || db->GetClass(id) != icKey) continue;
    ++listed;
    if (!item->isSelected()) continue;
    if (StrToIntZero(db->ReadLineField(id, fkStock)) < 1) {
      std::string text = MLTranslate("Von Schl\xFCssel \"%1\" ist kein freies Exemplar vorhanden.");
      const size_t at = text.find("%1");
      if (at != std::string::npos) text.replace(at, 2, db->GetDisplayName(id));
      ShowError(text);
      return false;
    }
    keys.push_back(id);
  }
  if (keys.empty()) {
    ShowError(MLTranslate("Es ist kein Schl\xFCssel markiert."));
    return false;
  }
  if (listed > static_cast<int>(keys.size()) &&
      AskYesCancel(MLTranslate("Es werden nur die markierten Schl\xFCssel ausgegeben.") + "\r" +
                   MLTranslate("Fortsetzen?")) != mrYes)
    return false;
  TTransferStartRequest request;
  request.kind = 2;
  request.keys = keys;
  const int32_t shown = CurrentKeyId();
  if (shown != 0 && db->GetClass(shown) == icKeyBunch) {
    const int answer =
        AskButtons(MLTranslate("Ausgabe an eine Person oder an gew\xE4hltes Schl\xFCsselbund?"),
                   MLTranslate("Person"), MLTranslate("Bund"), false, "");
    if (answer == 0) return false;
    if (answer == 2) request.holderId = shown;
  }
  return StartTransfer(request);
}

void TMemForm::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) {
    Box->selectAll();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    if (QWidget* main = WinGlue().MainWindow.data()) main->activateWindow();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TMemForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    if (isActiveWindow()) {
      setWindowOpacity(240 / 255.0);
      TopPanel->show();
      FootPanel->show();
      Box->setEnabled(true);
    } else if (!List().empty()) {
      setWindowOpacity(180 / 255.0);
      TopPanel->hide();
      FootPanel->hide();
      Box->setEnabled(false);
    } else {
      hide();
    }
  }
  QWidget::changeEvent(event);
}

void ShowMemForm() {
  QPointer<TMemForm>& form = FormSlot();
  QWidget* main = WinGlue().MainWindow.data();
  if (!form) {
    form = new TMemForm(main);
    // Placed by its width, so that width must be the one its layout gives, not the size a
    // window has before it was ever shown.
    form->adjustSize();
    if (main) {
      const QRect frame = main->frameGeometry();
      form->move(frame.right() - form->width() - 2, frame.top() + 50);
    }
    KeepOnScreen(form);
    form->Refresh();
    form->show();
    // Shown, it may have a frame around those bounds.
    KeepOnScreen(form);
    return;
  }
  form->Refresh();
  form->show();
}

TMemForm* MemForm() { return FormSlot().data(); }
