#include "views/DemoDataUnit.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/GlueStateUnit.h"
#include "app/PictureUnit.h"
#include "app/UnitTR100Win.h"
#include "app/WaitPanelUnit.h"
#include "basic/DateClock.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/SampleDataUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

namespace {

QPointer<TDemoDataForm>& FormSlot() {
  static QPointer<TDemoDataForm> form;
  return form;
}

// The page and the right of each class the generator makes.
int PageOfClass(int cls) {
  switch (cls) {
    case icDoor: return pgDoors;
    case icKey: return pgKeys;
    case icPerson: return pgPersons;
    case icCylinder: return pgCylinders;
  }
  return -1;
}
int RightOfClass(int cls) {
  switch (cls) {
    case icDoor: return rtDoors;
    case icPerson: return rtPersons;
  }
  return rtKeys;
}

// A seed of its own for every run.
uint64_t RunSeed() {
  static uint64_t runs = 0;
  return static_cast<uint64_t>(NowUTC() * 864000000.0) + 0x9E3779B97F4A7C15ull * ++runs;
}

}  // namespace

TDemoDataForm::TDemoDataForm(QWidget* parent) : QDialog(parent) {
  setObjectName("DemoDataForm");
  setWindowTitle(ToQString("Datens\xE4tze erzeugen"));
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  setAttribute(Qt::WA_DeleteOnClose, true);
  CreateGradientImage(this, 100, 0xBAD9E2, 0xE8F8FC);
  auto* grid = new QGridLayout(this);
  auto label = [&](const char* text, int row) {
    grid->addWidget(new QLabel(ToQString(text), this), row, 0);
  };
  auto edit = [&](const char* name, int row) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    grid->addWidget(e, row, 1);
    return e;
  };
  label("gew\xFCnschte Anzahl", 0);
  CntEd = edit("CntEd", 0);
  CntEd->setText("100");
  label("Nummerierung beginnt", 1);
  FirstEd = edit("FirstEd", 1);
  FirstEd->setText("1");
  label("Typ", 2);
  ClassBox = new QListWidget(this);
  ClassBox->setObjectName("ClassBox");
  grid->addWidget(ClassBox, 2, 1);
  label("Schlie\xDF"
        "anlage",
        3);
  KeysystemCombo = new QComboBox(this);
  KeysystemCombo->setObjectName("KeysystemCombo");
  grid->addWidget(KeysystemCombo, 3, 1);
  label("Geb\xE4ude", 4);
  HouseCombo = new QComboBox(this);
  HouseCombo->setObjectName("HouseCombo");
  HouseCombo->setToolTip(ToQString("nur T\xFCren am gew\xE4hlten Geb\xE4ude zeigen"));
  grid->addWidget(HouseCombo, 4, 1);
  label("Bemerkung", 5);
  RemEd = edit("RemEd", 5);
  label("Bezeichnung", 6);
  NameEd = edit("NameEd", 6);
  RandomLinksCheck =
      new QCheckBox(ToQString("per Zufall mit anderen Datens\xE4tzen verkn\xFCpfen"), this);
  RandomLinksCheck->setObjectName("RandomLinksCheck");
  grid->addWidget(RandomLinksCheck, 7, 0, 1, 2);
  auto* foot = new QHBoxLayout;
  OkBtn = new QPushButton(ToQString("Datens\xE4tze erzeugen"), this);
  OkBtn->setObjectName("OkBtn");
  EscBtn = new QPushButton(ToQString("Schlie\xDF"
                                     "en"),
                           this);
  EscBtn->setObjectName("EscBtn");
  foot->addStretch();
  foot->addWidget(OkBtn);
  foot->addWidget(EscBtn);
  grid->addLayout(foot, 8, 0, 1, 2);
  connect(ClassBox, &QListWidget::itemClicked, this, [this] { ClassBoxClick(); });
  connect(OkBtn, &QPushButton::clicked, this, [this] { GenerateRecords(); });
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::close);
  TranslateForm(this);
}

void TDemoDataForm::Fill(bool sample) {
  FillLockingSystemCombo(KeysystemCombo, false);
  if (KeysystemCombo->count() == 0) KeysystemCombo->addItem("-", 0);
  if (KeysystemCombo->currentIndex() < 0) KeysystemCombo->setCurrentIndex(0);
  FillComboWithBuildings(HouseCombo, GetComboObjectId(HouseCombo, 0), 0);
  const int chosen = ChosenClass() ? ChosenClass() : CurrentItemType();
  ClassBox->clear();
  const std::pair<std::string, int> classes[] = {{ClassCaption(icKey, true), icKey},
                                                 {ClassCaption(icCylinder, true), icCylinder},
                                                 {ClassCaption(icDoor, true), icDoor},
                                                 {MLTranslate("Personen"), icPerson}};
  for (const auto& [caption, cls] : classes) {
    auto* item = new QListWidgetItem(ToQString(caption), ClassBox);
    item->setData(Qt::UserRole, cls);
    if (cls == chosen) ClassBox->setCurrentItem(item);
  }
  if (!ClassBox->currentItem()) ClassBox->setCurrentRow(2);
  if (sample && RemEd->text().trimmed().isEmpty()) RemEd->setText(ToQString("eine Bemerkung"));
}

int TDemoDataForm::ChosenClass() const {
  const QListWidgetItem* item = ClassBox->currentItem();
  return item ? item->data(Qt::UserRole).toInt() : 0;
}

void TDemoDataForm::ClassBoxClick() {
  const int cls = ChosenClass();
  if (cls == 0) return;
  NameEd->setText(ToQString(cls == icPerson ? MLTranslate("Person") : ClassCaption(cls, false)));
  if (PageOfClass(cls) >= 0) ShowPage(PageOfClass(cls), false);
}

int TDemoDataForm::GenerateRecords() {
  // The login or the rights may have changed since the window opened.
  TMiniDB* db = SessionDB();
  if (!Session().LoggedIn || !db) {
    close();
    return -1;
  }
  const int cls = ChosenClass();
  if (cls == 0 || RightDenied(RightOfClass(cls))) return -1;
  std::string countText = FromQString(CntEd->text());
  std::string firstText = FromQString(FirstEd->text());
  TSampleRequest request;
  request.Class = cls;
  const TSampleInputCheck check =
      CheckSampleInput(countText, firstText, request.Count, request.First);
  CntEd->setText(ToQString(countText));
  FirstEd->setText(ToQString(firstText));
  if (check != TSampleInputCheck::Ok) return -1;
  request.Prefix = Trim(FromQString(NameEd->text()));
  if (!request.Prefix.empty()) request.Prefix += " ";
  request.Remark = Trim(FromQString(RemEd->text()));
  request.KeySystem = GetComboObjectId(KeysystemCombo, 0);
  request.Building = GetComboObjectId(HouseCombo, 0);
  request.RandomLinks = RandomLinksCheck->isChecked();
  request.UserId = Session().CurrentUserId;

  TDisabledControls disabled = DisableControls(this);
  // The panel stands on this window: placed on the main window it would lie under this one,
  // which stays on top, and its "Abbrechen" could not be reached.
  TWaitPanel* wait =
      ShowWaitPanel(this, MLTranslate("Datens\xE4tze werden erzeugt"), MLTranslate("Abbrechen"));
  wait->SetMax(request.Count - 1);
  if (width() < wait->width() || height() < wait->height())
    resize(std::max(width(), wait->width()), std::max(height(), wait->height()));
  wait->move((width() - wait->width()) / 2, (height() - wait->height()) / 2);
  wait->raise();
  const TSampleOutcome out =
      GenerateSampleRecords(*db, request, RunSeed(), [wait](int64_t done, int64_t) {
        if (done % 16 == 0) {
          wait->SetPosition(static_cast<int>(done));
          UI().ProcessPendingEvents();
        }
        return !wait->Cancelled();
      });
  delete wait;
  EnableControls(this, disabled);
  if (!out.Began) {
    TellBulkRefused(*db, out.Blocking);
    return -1;
  }
  if (out.Result != TBulkResult::Saved) return -1;
  if (PageOfClass(cls) >= 0) ShowPage(PageOfClass(cls), false);
  RefreshAllFrames();
  ShowInfo(SampleDoneText(out.Created, out.Reused));
  return out.Created;
}

void ShowRecordGenerator(bool sample) {
  QPointer<TDemoDataForm>& form = FormSlot();
  if (!form) form = new TDemoDataForm(WinGlue().MainWindow ? WinGlue().MainWindow.data() : nullptr);
  form->Fill(sample);
  form->show();
  form->raise();
}

TDemoDataForm* RecordGeneratorForm() { return FormSlot().data(); }

void CloseRecordGenerator() { delete FormSlot().data(); }
