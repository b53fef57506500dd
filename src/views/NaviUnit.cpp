#include "views/NaviUnit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/MainImagesUnit.h"
#include "app/ManualUnit.h"
#include "app/PictureUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/MultiLinguaForms.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "views/SettingsUnit.h"

namespace {

bool RightAllows(int right) { return right < 0 || Session().RightLevels[right] >= rlYes; }

}  // namespace

TNaviForm::TNaviForm(QWidget* parent) : QDialog(parent) {
  setObjectName("NaviForm");
  setWindowTitle(ToQString("Navigation [F9]"));
  CreateGradientImage(this, 100, 0xBAD9E2, 0xE8F8FC);
  auto* outer = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  outer->addLayout(grid);
  int row = 0;
  auto add = [&](QPushButton*& button, const char* caption, const char* name, int cls, int glyph,
                 QCheckBox** check, const char* checkName, int page, int right) {
    button = new QPushButton(ToQString(caption), this);
    button->setObjectName(name);
    button->setProperty("tag", cls);
    button->setProperty("glyph", glyph);
    const QPixmap image = MainImage(glyph);
    if (!image.isNull()) {
      button->setIcon(QIcon(image));
      button->setIconSize(image.size());
    }
    grid->addWidget(button, row, 0);
    if (check) {
      *check = new QCheckBox(ToQString("Karteikarte ein-/ausblenden"), this);
      (*check)->setObjectName(checkName);
      grid->addWidget(*check, row, 1);
      checks_.push_back({*check, page, right});
    }
    ++row;
    if (cls != icKeySystem)
      connect(button, &QPushButton::clicked, this, [this, cls] { BtnClick(cls); });
  };
  add(BtnKeys, "Schl\xFCssel", "BtnKeys", icKey, miKey, nullptr, nullptr, 0, -1);
  add(BtnCyls, "Zylinder", "BtnCyls", icCylinder, miCylinder, &CheckCyls, "CheckCyls", pgCylinders,
      rtDoors);
  add(BtnDoors, "T\xFCren", "BtnDoors", icDoor, miDoor, &CheckDoors, "CheckDoors", pgDoors,
      rtDoors);
  add(BtnHouses, "Geb\xE4ude", "BtnHouses", icBuilding, miBuilding, &CheckHouses, "CheckHouses",
      pgBuildings, rtBuildings);
  add(BtnGroups, "Gruppen", "BtnGroups", icGroup, miGroup, &CheckGroups, "CheckGroups", pgGroups,
      -1);
  add(BtnPersons, "Personen", "BtnPersons", icPerson, miPerson, nullptr, nullptr, 0, -1);
  add(BtnCabs, "Schr\xE4nke", "BtnCabs", icCabinet, miCabinet, &CheckCabs, "CheckCabs", pgCabinets,
      rtKeys);
  add(BtnUsers, "Benutzer", "BtnUsers", icUser, miUser, &CheckUsers, "CheckUsers", pgUsers, -1);
  // The locking systems share the groups' glyph.
  add(BtnSystems, "Anlagen", "BtnSystems", icKeySystem, miGroup, nullptr, nullptr, 0, -1);
  auto* foot = new QHBoxLayout;
  PlanBtn = new QPushButton(ToQString("Schlie\xDFplan [F7]"), this);
  PlanBtn->setObjectName("PlanBtn");
  HelpBtn = new QPushButton(ToQString("Hilfe (PDF)"), this);
  HelpBtn->setObjectName("HelpBtn");
  EscBtn = new QPushButton(ToQString("Abbrechen"), this);
  EscBtn->setObjectName("EscBtn");
  foot->addWidget(PlanBtn);
  foot->addWidget(HelpBtn);
  foot->addStretch();
  foot->addWidget(EscBtn);
  outer->addLayout(foot);
  connect(BtnSystems, &QPushButton::clicked, this, [this] { BtnSystemsClick(); });
  connect(PlanBtn, &QPushButton::clicked, this, [this] { PlanBtnClick(); });
  connect(HelpBtn, &QPushButton::clicked, this, [this] { HelpBtnClick(); });
  connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
  TranslateForm(this);
}

void TNaviForm::ReadPages() {
  for (const TPageCheck& c : checks_) {
    c.check->setChecked(PageTabVisible(c.page));
    // Without the right a page can be hidden but not shown again.
    c.check->setEnabled(RightAllows(c.right) || c.check->isChecked());
  }
}

bool TNaviForm::ApplyPages() {
  bool changed = false;
  for (const TPageCheck& c : checks_) {
    const bool want = c.check->isChecked() && RightAllows(c.right);
    if (want == PageTabVisible(c.page)) continue;
    HidePage(c.page, want);
    changed = true;
  }
  if (!changed) return false;
  SaveViewTabs();
  ApplyViewTabs();
  return true;
}

void TNaviForm::BtnClick(int cls) {
  Result = cls;
  if (Result > 0) accept();
}

void TNaviForm::PlanBtnClick() {
  Result = kNaviPlanResult;
  accept();
}

void TNaviForm::BtnSystemsClick() { ExecuteKeySystemsDialog(); }

void TNaviForm::HelpBtnClick() {
  OpenManual();
  reject();
}

void TNaviForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F9) {
    reject();
    return;
  }
  if (event->key() == Qt::Key_F1) {
    HelpBtnClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

int ShowNaviForm() {
  TNaviForm form(WinGlue().MainWindow.data());
  form.ReadPages();
  if (ExecModal(form) != QDialog::Accepted) return 0;
  form.ApplyPages();
  return form.Result;
}

void RunNavigation() {
  const int result = ShowNaviForm();
  if (result == kNaviPlanResult) {
    // The locking plan's own command, with whatever it checks first.
    if (const TMenuCommand& plan = MenuCommandOf(kMenuPlan1)) plan();
    return;
  }
  const int page = ItemTypeToPage(result);
  if (page > 0) ShowPage(page, true);
}
