#pragma once
// The end-to-end driver's visit of the buildings and doors views (TessaroAutomated.cpp): a
// building made and renamed; a door made in it with a typed cylinder, given a new category,
// edited, its floor plan added and shown; the door deleted, then the building. Runs only
// when TESSARO_AUTOMATION_PLAN names the picture the plan is made from; each step says what
// it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "views/CategFormUnit.h"
#include "views/FloorPlanUnit.h"
#include "views/FrameBuildings2Unit.h"
#include "views/FrameDoorsUnit.h"

// False when the scenario does not run.
inline bool RunBuildingsScenario(TTessaroForm& form,
                                 const std::function<void(QWidget&, const std::string&)>& shot,
                                 const std::function<void(const std::string&)>& say) {
  const char* planPicture = std::getenv("TESSARO_AUTOMATION_PLAN");
  if (!planPicture) return false;
  const std::string picture = planPicture;
  auto viewOf = [](int page) -> IRecordFlowView* {
    IView* view = ViewOf(page);
    return view ? view->RecordFlow() : nullptr;
  };
  auto* buildings = dynamic_cast<TFrameBuildings2*>(viewOf(pgBuildings));
  auto* doors = dynamic_cast<TFrameDoors*>(viewOf(pgDoors));
  if (!buildings || !doors) {
    say("buildings refused: no view");
    return true;
  }

  // A building, then renamed.
  form.PageControl->setCurrentIndex(pgBuildings);
  buildings->NewBtn->click();
  buildings->BuildingNameEd->setText(QStringLiteral("Haus S\u00FCd"));
  buildings->BuildingAdrEd->setText(QStringLiteral("Ringstra\u00DFe 5"));
  buildings->SaveBtn->click();
  const int32_t building = buildings->CurrentId;
  say(building && !buildings->Editing ? "building saved" : "building refused");
  buildings->EdBtn->click();
  buildings->BuildingNameEd->setText(QStringLiteral("Haus Ost"));
  buildings->SaveBtn->click();
  say(!buildings->Editing ? "building renamed" : "building rename refused");
  shot(form, "buildings");

  // A door in it with a typed cylinder of locking system 1.
  form.PageControl->setCurrentIndex(pgDoors);
  doors->NewBtn->click();
  doors->DoorNameEd->setText(QStringLiteral("Haupteingang"));
  SelectComboObject(doors->HouseCombo, building);
  doors->FloorEd->setText(QStringLiteral("EG"));
  doors->RoomNrEd->setText(QStringLiteral("001"));
  SelectComboId(1, doors->KeysystemCombo);
  doors->CylCombo->setEditText(QStringLiteral("Z-1"));
  doors->CylLenEd->setText(QStringLiteral("30/30"));
  doors->SaveBtn->click();
  const int32_t door = doors->CurrentId;
  say(door && !doors->Editing ? "door saved" : "door refused");

  // A new category, chosen for the door.
  bool categorised = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* categories = dynamic_cast<TCategForm*>(&dialog);
    if (!categories) return;
    categories->NewBtn->click();
    categories->NameEd->setText(QStringLiteral("Fluchtweg"));
    categories->SaveBtn->click();
    shot(dialog, "categories");
    categorised = !categories->Selected().empty();
    categories->OkBtn->click();
  });
  doors->Categ1->trigger();
  say(categorised ? "category set" : "category refused");

  // Edited.
  doors->EdBtn->click();
  doors->RoomEd->setText(QStringLiteral("Foyer"));
  doors->SaveBtn->click();
  say(!doors->Editing ? "door edited" : "door edit refused");

  // The floor plan: added from the picture and shown over the list.
  doors->FloorPlanBtn->click();
  QueueDialogDriver([picture](QDialog& dialog) {
    auto& chooser = dynamic_cast<QFileDialog&>(dialog);
    chooser.selectFile(QString::fromLocal8Bit(picture.c_str()));
    static_cast<QDialog&>(chooser).accept();
  });
  doors->FloorPlanFrame->AddPlan2->trigger();
  say(doors->FloorPlanFrame->HasPicture() ? "plan shown" : "plan refused");
  say(doors->FloorPlanBtn->text().endsWith(QChar(0x2022)) ? "plan marked" : "plan mark refused");
  shot(form, "floorplan");
  doors->FloorPlanBtn->click();
  doors->ShowDoor(door);
  shot(form, "doors");

  // The door deleted, then the building.
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  doors->KillBtn->click();
  TMiniDB* db = GlueDB();
  say(db && !db->IsValid(door) ? "door deleted" : "door delete refused");
  form.PageControl->setCurrentIndex(pgBuildings);
  buildings->ShowRecord(building);
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  buildings->KillBtn->click();
  say(db && !db->IsValid(building) ? "building deleted" : "building delete refused");
  return true;
}
