#pragma once
// The end-to-end driver's visit of the spreadsheet locking-plan import (TessaroAutomated.cpp):
// the menu command opens the dialog, the plan file of TESSARO_AUTOMATION_PLANIMPORT is opened
// through the file dialog, the recognised areas are pictured (step 1), "Fortsetzen" shows the
// options (step 2, pictured), and the import runs with the default options; the closing note
// is pictured and confirmed. Runs only when TESSARO_AUTOMATION_PLANIMPORT is set.

#include <cstdlib>
#include <functional>
#include <string>

#include <QDialog>
#include <QFileDialog>
#include <QPushButton>

#include "app/Unit1.h"
#include "basic/widgets/DialogRunner.h"
#include "import/widgets/ImportPlanFormUnit.h"

// False when the scenario does not run.
inline bool RunPlanImportScenario(TTessaroForm& form,
                                  const std::function<void(QWidget&, const std::string&)>& shot,
                                  const std::function<void(const std::string&)>& say) {
  const char* file = std::getenv("TESSARO_AUTOMATION_PLANIMPORT");
  if (!file) return false;
  bool shown = false, loaded = false, defined = false, options = false, noted = false,
       imported = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* plan = dynamic_cast<TImportPlanForm*>(&dialog);
    if (!plan) return;
    shown = dialog.isVisible();
    dialog.resize(1200, 760);
    QueueDialogDriver([&](QDialog& chooser) {
      auto* files = dynamic_cast<QFileDialog*>(&chooser);
      if (!files) return;
      files->selectFile(QString::fromLocal8Bit(file));
      static_cast<QDialog*>(files)->accept();
    });
    plan->OpenFileBtn->click();
    loaded = plan->Step() == 1 && plan->ImportBtn->isEnabled();
    shot(dialog, "planimport-step1");
    // A cell's definition looked at and left as it was.
    QueueDialogDriver([&](QDialog& define) {
      auto* cell = dynamic_cast<TImportPlanDefForm*>(&define);
      if (!cell) return;
      defined = cell->Box1->count() > 0 && cell->Box2->count() > 0;
      shot(define, "planimport-define");
      cell->CancelBtn->click();
    });
    ImportPlanDefineCell(plan->Grid(), 1, 4);
    plan->ContinueBtn->click();
    options = plan->Step() == 2 && plan->OptionsPanel->height() > 10;
    shot(dialog, "planimport-step2");
    QueueDialogDriver([&](QDialog& note) {
      noted = note.isVisible();
      shot(note, "planimport-done");
    });
    plan->ImportBtn->click();
    imported = dialog.result() == QDialog::Accepted;
  });
  form.RunMenuCommand("ImportPlan1");
  say(shown ? "plan dialog shown" : "plan dialog refused");
  say(loaded ? "plan recognised" : "plan recognition refused");
  say(defined ? "plan cell definition shown" : "plan cell definition refused");
  say(options ? "plan options shown" : "plan options refused");
  say(noted ? "plan import noted" : "plan import note refused");
  say(imported ? "plan imported" : "plan import refused");
  return true;
}
