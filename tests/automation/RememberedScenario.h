#pragma once
// The end-to-end driver's visit of the tool windows of the main window (TessaroAutomated.cpp):
// 100 sample doors generated, two keys remembered and issued from the remembered list by
// "Ausgabe" to the person shown, the relations list, the navigation window to the doors page,
// the mass rename of persons with its question, every step of the guided tour, and the info
// dialog. Runs only when TESSARO_AUTOMATION_REMEMBERED names the person and the two keys
// ("person,key1,key2"); each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "app/CommandNames.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/TransferUnit.h"
#include "views/ContactUnit.h"
#include "views/DemoDataUnit.h"
#include "views/FrameTransferUnit.h"
#include "views/MemFormUnit.h"
#include "views/NaviUnit.h"
#include "views/RelationsUnit.h"
#include "views/RenameUnit.h"
#include "views/TourUnit.h"

// False when the scenario does not run.
inline bool RunRememberedScenario(TTessaroForm& form,
                                  const std::function<void(QWidget&, const std::string&)>& shot,
                                  const std::function<void(const std::string&)>& say) {
  const char* given = std::getenv("TESSARO_AUTOMATION_REMEMBERED");
  if (!given) return false;
  const std::string ids = given;
  const int32_t person = std::atoi(ids.c_str());
  const size_t second = ids.find(',') + 1;
  const int32_t key1 = std::atoi(ids.substr(second).c_str());
  const int32_t key2 = std::atoi(ids.substr(ids.find(',', second) + 1).c_str());
  TMiniDB* db = GlueDB();
  if (!db) {
    say("remembered refused: no store");
    return true;
  }
  // A message box: its text said, pictured, answered with the button.
  auto answer = [&](const std::string& name, const char* button) {
    return [&shot, &say, name, button](QDialog& dialog) {
      std::string text;
      for (const QLabel* label : dialog.findChildren<QLabel*>()) text += FromQString(label->text());
      say(name + " says: " + text);
      shot(dialog, name);
      if (QAbstractButton* b = FindDialogButton(dialog, QString::fromLatin1(button))) b->click();
    };
  };

  // 1. The record generator: 100 doors.
  form.RunMenuCommand(kMenuRandomDataDemo1);
  TDemoDataForm* generator = RecordGeneratorForm();
  if (!generator) {
    say("generator refused");
    return true;
  }
  for (int row = 0; row < generator->ClassBox->count(); ++row)
    if (generator->ClassBox->item(row)->data(Qt::UserRole).toInt() == icDoor)
      generator->ClassBox->setCurrentRow(row);
  generator->ClassBoxClick();
  generator->CntEd->setText(QStringLiteral("100"));
  generator->FirstEd->setText(QStringLiteral("1"));
  shot(*generator, "generator");
  QueueDialogDriver(answer("generator-done", "OK"));
  const int made = generator->GenerateRecords();
  say("doors generated " + std::to_string(made));
  generator->EscBtn->click();

  // 2. Two keys remembered from the keys page, both issued from the list.
  form.PageControl->setCurrentIndex(pgKeys);
  for (int32_t key : {key1, key2}) {
    if (IView* keys = ViewOf(pgKeys)) keys->ShowItem(key);
    form.RunMenuCommand(kMenuMem1);
  }
  TMemForm* mem = MemForm();
  if (!mem || mem->Box->count() != 2) {
    say("remember refused");
    return true;
  }
  say("remembered " + std::to_string(mem->Box->count()));
  mem->Box->selectAll();
  shot(*mem, "memform");
  if (IView* persons = ViewOf(pgPersons)) persons->ShowItem(person);
  if (!mem->AusgabeBtnClick()) {
    say("issue refused at start");
    return true;
  }
  TFrameTransfer* transfer = FrameTransfer();
  if (!transfer) {
    say("issue refused: no view");
    return true;
  }
  transfer->getSignatureCheck->setChecked(false);
  transfer->PrintCheck->setChecked(false);
  shot(form, "remembered-issue");
  transfer->TransferApplyBtn->click();
  say(!TransferRec().Pending() ? "remembered keys issued" : "issue refused");
  form.PageControl->setCurrentIndex(pgIssueReturn);
  shot(form, "remembered-issued");

  // 3. The relations list under keys, then under doors.
  int keyRows = -1;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* relations = dynamic_cast<TRelationsForm*>(&dialog);
    if (!relations) return;
    keyRows = 0;
    for (int32_t leader : relations->Model->Table().leaders) keyRows += leader == key1;
    shot(dialog, "relations");
    relations->LeaderCombo->setCurrentIndex(relations->LeaderCombo->findData(int(icDoor)));
    relations->FillGrid();
    shot(dialog, "relations-doors");
    say("relations rows " + std::to_string(relations->Model->rowCount()));
    relations->EscBtn->click();
  });
  form.RunMenuCommand(kMenuRelations1);
  say(keyRows >= 0 ? "relations of the first key " + std::to_string(keyRows)
                   : "relations refused");

  // 4. The navigation window to the doors page.
  form.PageControl->setCurrentIndex(pgKeys);
  QueueDialogDriver([&](QDialog& dialog) {
    auto* navi = dynamic_cast<TNaviForm*>(&dialog);
    if (!navi) return;
    shot(dialog, "navigation");
    navi->BtnDoors->click();
  });
  form.RunMenuCommand(kMenuNavigation1);
  say(form.PageControl->currentIndex() == pgDoors ? "navigated to doors"
                                                   : "navigation refused");
  shot(form, "navigated");

  // 5. The mass rename: the dialog with its preview of the new form, the question, the run.
  QueueDialogDriver([&](QDialog& dialog) {
    auto* rename = dynamic_cast<TRenameForm*>(&dialog);
    if (!rename) return;
    shot(dialog, "rename");
    QueueDialogDriver(answer("rename-question", "Ja"));
    rename->RenamePersonsBtn->click();
  });
  form.RunMenuCommand(kMenuMassRename1);
  say("person now " + db->GetName(person));
  form.PageControl->setCurrentIndex(pgPersons);
  shot(form, "renamed");

  // 6. The guided tour, every step.
  form.RunMenuCommand(kMenuDemoTourStart1);
  TTour* tour = Tour();
  if (!tour || !tour->Visible()) {
    say("tour refused");
    return true;
  }
  int steps = 0;
  for (int step = 0; step < kTourStepCount && tour->Visible(); ++step) {
    QCoreApplication::processEvents();
    shot(form, "tour-" + std::to_string(step));
    say("tour step " + std::to_string(tour->Step()) + ": " + tour->Lines().front() +
        (tour->MarksVisible() ? " [framed]" : ""));
    ++steps;
    tour->NextBtn()->click();
  }
  say("tour steps " + std::to_string(steps) + (tour->Visible() ? ", still shown" : ", ended"));

  // 7. The info dialog.
  bool info = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* contact = dynamic_cast<TContactForm*>(&dialog);
    if (!contact) return;
    info = true;
    shot(dialog, "info");
    contact->OkBtn->click();
  });
  form.RunMenuCommand(kMenuKontakt1);
  say(info ? "info shown" : "info refused");
  return true;
}
