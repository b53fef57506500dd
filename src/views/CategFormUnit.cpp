#include "views/CategFormUnit.h"

#include <algorithm>

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

namespace {
constexpr int kHeight = 360;
constexpr int kHeightNew = 570;
}  // namespace

TCategForm::TCategForm(QWidget* parent) : QDialog(parent) {
  setObjectName("CategForm");
  setWindowTitle(ToQString("Klassifizierung / Kategorisierung"));
  auto* outer = new QVBoxLayout(this);
  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel(ToQString("Anzeigen f\xFCr"), this));
  ShowForLabel = new QLabel(ToQString(ClassCaption(icDoor, true)), this);
  head->addWidget(ShowForLabel, 1);
  outer->addLayout(head);
  outer->addWidget(new QLabel(ToQString("Bezeichnung"), this));
  Box = new QListWidget(this);
  Box->setObjectName("Box");
  Box->setSelectionMode(QAbstractItemView::MultiSelection);
  Box->setContextMenuPolicy(Qt::CustomContextMenu);
  outer->addWidget(Box, 1);
  BoxPopup = new QMenu(this);
  SelNone1 = BoxPopup->addAction(ToQString("keinen ausw\xE4hlen"));
  auto* buttons = new QHBoxLayout;
  OkBtn = new QPushButton(ToQString("Auswahl \xFC"
                                    "bernehmen"),
                          this);
  EdBtn = new QPushButton(ToQString("Bearbeiten"), this);
  NewBtn = new QPushButton(ToQString("Neu"), this);
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  for (QPushButton* b : {OkBtn, EdBtn, NewBtn, EscBtn}) buttons->addWidget(b);
  EdBtn->hide();
  outer->addLayout(buttons);
  // A new category is typed in a panel of its own below the buttons: for which records it
  // will be offered, then its name.
  NewPanel = new QWidget(this);
  NewPanel->setObjectName("NewPanel");
  auto* edit = new QGridLayout(NewPanel);
  edit->setContentsMargins(0, 0, 0, 0);
  edit->addWidget(new QLabel(ToQString("Verf\xFCgbar f\xFCr"), NewPanel), 0, 0);
  AvailableForLabel = new QLabel(ToQString(ClassCaption(icDoor, true)), NewPanel);
  SetNoTranslate(AvailableForLabel);
  edit->addWidget(AvailableForLabel, 0, 1, 1, 3);
  NameEd = new QLineEdit(NewPanel);
  NameEd->setObjectName("NameEd");
  SaveBtn = new QPushButton(ToQString("Speichern"), NewPanel);
  Esc2Btn = new QPushButton(ToQString("Abbrechen"), NewPanel);
  edit->addWidget(NameEd, 1, 0, 1, 2);
  edit->addWidget(SaveBtn, 1, 2);
  edit->addWidget(Esc2Btn, 1, 3);
  outer->addWidget(NewPanel);
  NewPanel->hide();
  resize(420, kHeight);

  connect(Box, &QListWidget::itemClicked, this, [this] { OkBtn->setEnabled(true); });
  connect(Box, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { BoxPopup->popup(Box->viewport()->mapToGlobal(at)); });
  connect(SelNone1, &QAction::triggered, this, [this] { Box->clearSelection(); });
  connect(OkBtn, &QPushButton::clicked, this, [this] { accept(); });
  connect(EscBtn, &QPushButton::clicked, this, [this] { reject(); });
  connect(NewBtn, &QPushButton::clicked, this, [this] { NewBtnClick(); });
  connect(NameEd, &QLineEdit::textChanged, this, [this] { SaveBtn->setEnabled(true); });
  connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  connect(Esc2Btn, &QPushButton::clicked, this, [this] { Esc2BtnClick(); });
  TranslateForm(this);
}

void TCategForm::Open(const std::vector<int32_t>& ids) {
  Box->clear();
  OkBtn->setEnabled(false);
  TMiniDB* db = GlueDB();
  if (!db) return;
  TItemList all;
  db->ListClassValid(icCategory, all);
  std::vector<std::pair<std::string, int32_t>> entries;
  for (int32_t i = 0; i < all.Count(); ++i)
    entries.emplace_back(db->GetDisplayName(all.Get(i)), all.Get(i));
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return AnsiCompareText(a.first, b.first) < 0; });
  for (const auto& [text, id] : entries) {
    AddListItem(Box, text, id);
    if (std::find(ids.begin(), ids.end(), id) != ids.end())
      Box->item(Box->count() - 1)->setSelected(true);
  }
}

std::vector<int32_t> TCategForm::Selected() const {
  std::vector<int32_t> ids;
  for (int row = 0; row < Box->count(); ++row)
    if (Box->item(row)->isSelected()) ids.push_back(ListItemId(Box, row));
  return ids;
}

void TCategForm::NewBtnClick() {
  resize(width(), kHeightNew);
  NewPanel->show();
  NameEd->clear();
  SaveBtn->setEnabled(false);
  NameEd->setFocus();
}

void TCategForm::Esc2BtnClick() {
  NewPanel->hide();
  resize(width(), kHeight);
}

int32_t TCategForm::SaveBtnClick() {
  const std::string name = Trim(FromQString(NameEd->text()));
  if (name.empty()) {
    ShowInfo("Bitte geben Sie einen Namen ein");
    return 0;
  }
  TMiniDB* db = GlueDB();
  if (!db) return 0;
  int32_t id = 0;
  std::string blocking;
  {
    TStoreWrite write(*db, {});
    if (!write.Ok()) {
      blocking = write.Blocking().empty() ? "*" : write.Blocking();
    } else {
      id = db->NewRecord(icCategory);
      if (id != 0 && write.Include({id})) {
        db->SetField(id, fkName, name);
        if (!write.Commit()) id = 0;
      } else {
        id = 0;
      }
    }
  }
  if (blocking == "*")
    ShowLockFailed();
  else if (!blocking.empty())
    db->ShowLockedMessage(blocking, true);
  if (id == 0) return 0;
  db->RefreshName(id);
  AddListItem(Box, db->GetDisplayName(id), id);
  Box->item(Box->count() - 1)->setSelected(true);
  OkBtn->setEnabled(true);
  Esc2BtnClick();
  return id;
}

bool SelectCategory(int /*itemType*/, int /*flag*/, int32_t /*owner*/, std::vector<int32_t>& ids) {
  // Made once and kept, as the list of categories changes rarely.
  static QPointer<TCategForm> form;
  if (!form) form = new TCategForm(WinGlue().MainWindow.data());
  form->Open(ids);
  if (ExecModal(*form) != QDialog::Accepted) return false;
  ids = form->Selected();
  return true;
}
