#pragma once
// The end-to-end driver's visit of the locking plan (TessaroAutomated.cpp): F7 opens the
// plan, the position column is switched on, a key is searched with "Gehe zu" and opened in
// the keys view with "Schlüssel aufrufen". Runs only when TESSARO_AUTOMATION_LOCKINGPLAN
// names the key ("id,name"); each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "views/FindFormUnit.h"
#include "views/PlanUnit.h"

// False when the scenario does not run.
inline bool RunPlanScenario(TTessaroForm& form,
                            const std::function<void(QWidget&, const std::string&)>& shot,
                            const std::function<void(const std::string&)>& say) {
  const char* chosen = std::getenv("TESSARO_AUTOMATION_LOCKINGPLAN");
  if (!chosen) return false;
  const std::string text = chosen;
  const int32_t key = std::atoi(text.c_str());
  const std::string name = text.substr(text.find(',') + 1);

  QueueDialogDriver([&](QDialog& dialog) {
    auto* plan = dynamic_cast<TPlanForm*>(&dialog);
    if (!plan) return;
    dialog.resize(1000, 640);
    say(plan->Plan().rows.empty()
            ? "plan refused: empty"
            : "plan shown, " + std::to_string(plan->Plan().rows.size()) + " rows, " +
                  std::to_string(plan->Plan().keys.size()) + " keys");
    shot(dialog, "plan");
    plan->ColumnItems[pcPosition]->trigger();
    say(plan->Grid->TextColumnCount() == 2 ? "position column on" : "position column refused");
    QueueDialogDriver([&](QDialog& find) {
      auto* search = dynamic_cast<TFindForm*>(&find);
      if (!search) return;
      search->SeekEd->setText(QString::fromStdString(name));
      search->SeekBtn->click();
      shot(find, "plan-search");
      search->GotoBtn->click();
    });
    plan->GotoSearchItem->trigger();
    say(plan->GotoKeyId == key ? "key found in the plan" : "key search refused");
    shot(dialog, "plan-key");
    plan->GotoKeyBtn->click();
  });
  const bool ran = form.RunMenuCommand("Plan1");
  IView* keys = ViewOf(pgKeys);
  say(ran && form.PageControl->currentIndex() == pgKeys && keys && keys->CurrentItemId() == key
          ? "key opened in its view"
          : "key open refused");
  shot(form, "plan-keys");
  return true;
}
