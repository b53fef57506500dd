#pragma once
// The end-to-end driver's visit of the cylinders view (TessaroAutomated.cpp): a cylinder
// made with a door and a group ticked and a pinning typed into the dialog, retired as lost,
// the retirement undone, then deleted. Runs only when TESSARO_AUTOMATION_CYLINDERS names
// the door and the group to link ("door,group"); each step says what it saw and takes a
// picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTableWidget>
#include <QToolButton>

#include "app/LinkingFrameUnit.h"
#include "app/ListFillUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "views/FrameCylsUnit.h"
#include "views/PinningFormUnit.h"

// False when the scenario does not run.
inline bool RunCylindersScenario(TTessaroForm& form,
                                 const std::function<void(QWidget&, const std::string&)>& shot,
                                 const std::function<void(const std::string&)>& say) {
  const char* linked = std::getenv("TESSARO_AUTOMATION_CYLINDERS");
  if (!linked) return false;
  const std::string ids = linked;
  const int32_t door = std::atoi(ids.c_str());
  const int32_t group = std::atoi(ids.substr(ids.find(',') + 1).c_str());
  form.PageControl->setCurrentIndex(pgCylinders);
  IView* page = ViewOf(pgCylinders);
  auto* view = page ? dynamic_cast<TFrameCyls*>(page->RecordFlow()) : nullptr;
  TMiniDB* db = GlueDB();
  if (!view || !db) {
    say("cylinders refused: no view");
    return true;
  }
  // The locksmith functions switched on for the pinning.
  say(LocksmithStore().Open(*db, true) ? "locksmith on" : "locksmith refused");

  view->NewBtn->click();
  view->NameEd->setText(QStringLiteral("Z-7"));
  view->PosEd->setText(QStringLiteral("A3"));
  view->TotalEd->setText(QStringLiteral("4"));
  SelectComboObject(view->KeysystemCombo, 1);
  auto tick = [](TLinkingFrame* frame, int32_t id) {
    frame->EdBtn->click();
    const int row = frame->CheckModel->RowOfId(id);
    if (row >= 0) frame->CheckModel->SetChecked(row, true);
    return row >= 0;
  };
  view->LinkPageControl->setCurrentIndex(0);
  const bool doorTicked = tick(view->LinkDoorsFrame, door);
  view->LinkPageControl->setCurrentIndex(1);
  const bool groupTicked = tick(view->LinkGroupsFrame, group);
  say(doorTicked && groupTicked ? "links ticked" : "links refused");
  QueueDialogDriver([&shot](QDialog& dialog) {
    auto* pins = dynamic_cast<TPinningForm*>(&dialog);
    if (!pins) return;
    pins->Cells[0][0]->setText(QStringLiteral("3"));
    pins->Cells[0][1]->setText(QStringLiteral("5"));
    pins->Cells[1][0]->setText(QStringLiteral("2"));
    shot(dialog, "pinning");
    pins->SaveBtn->click();
  });
  say(view->PinsLabelClick() ? "pinning typed" : "pinning refused");
  view->SaveBtn->click();
  const int32_t cylinder = view->CurrentId;
  say(cylinder && !view->Editing ? "cylinder saved" : "cylinder refused");
  shot(form, "cylinders");

  // Retired as lost, with a remark, then undone.
  QueueDialogDriver([&shot](QDialog& dialog) {
    auto* retire = dynamic_cast<TDefectCylForm*>(&dialog);
    if (!retire) return;
    retire->ActionCombo->setCurrentIndex(1);
    retire->CntEd->setText(QStringLiteral("1"));
    retire->RemEd->setText(QStringLiteral("verlegt"));
    shot(dialog, "retire");
    retire->SaveBtn->click();
  });
  say(view->defectCyls1Click() ? "cylinder retired" : "retire refused");
  say(view->OwnersGrid->rowCount() == 1 ? "holding shown" : "holding refused");
  shot(form, "retired");
  view->OwnersGrid->selectRow(0);
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  say(view->NotDamaged1Click() ? "retirement undone" : "undo refused");

  // Deleted.
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  view->KillBtn->click();
  say(!db->IsValid(cylinder) ? "cylinder deleted" : "cylinder delete refused");
  return true;
}
