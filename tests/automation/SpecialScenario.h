#pragma once
// The end-to-end driver's visit of the special functions (TessaroAutomated.cpp): from the
// settings dialog's last page the special functions are opened; the group-key automation
// runs; the locking-system tool moves system 3 to system 5; the cabinet tool and the choice
// of a locking system are shown and closed unchanged. Runs only when
// TESSARO_AUTOMATION_SPECIAL is set; each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "app/Unit1.h"
#include "basic/widgets/BasicsWinUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "views/KsToolFormUnit.h"
#include "views/SettingsUnit.h"
#include "views/SpecialDeleteUnit.h"

// Chooses the entry whose object is `code`; false when there is none.
inline bool ChooseCode(QComboBox* combo, int32_t code) {
  for (int i = 0; i < combo->count(); ++i)
    if (ComboItemId(combo, i) == code) {
      combo->setCurrentIndex(i);
      return true;
    }
  return false;
}

// False when the scenario does not run.
inline bool RunSpecialScenario(TTessaroForm& form,
                               const std::function<void(QWidget&, const std::string&)>& shot,
                               const std::function<void(const std::string&)>& say) {
  if (!std::getenv("TESSARO_AUTOMATION_SPECIAL")) return false;
  bool settingsShown = false, specialShown = false, automated = false, toolShown = false;
  bool moved = false, cabinetShown = false, choiceShown = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* settings = dynamic_cast<TSettingsForm*>(&dialog);
    if (!settings) return;
    settingsShown = dialog.isVisible();
    settings->ListBox->setCurrentRow(3);
    shot(dialog, "settings-other");
    QueueDialogDriver([&](QDialog& inner) {
      auto* special = dynamic_cast<TSpecialDeleteForm*>(&inner);
      if (!special) return;
      specialShown = inner.isVisible();
      special->PageControl->setCurrentIndex(2);
      shot(inner, "special");
      // The group-key automation asks nothing; its result is a message.
      QueueDialogDriver([&](QDialog& message) {
        automated = true;
        shot(message, "special-result");
      });
      special->GSBtn->click();

      special->PageControl->setCurrentIndex(1);
      shot(inner, "special-assign");
      QueueDialogDriver([&](QDialog& d) {
        auto* tool = dynamic_cast<TKsToolForm*>(&d);
        if (!tool) return;
        toolShown = ChooseCode(tool->KsOldCombo, 3) && ChooseCode(tool->KsNewCombo, 5);
        shot(d, "kstool");
        QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
        QueueDialogDriver([&](QDialog& message) { shot(message, "kstool-result"); });
        tool->ChangeBtn->click();
        moved = d.result() == QDialog::Accepted;
      });
      special->ChangeKsBtn->click();
      QueueDialogDriver([&](QDialog& d) {
        if (!dynamic_cast<TCabinetToolForm*>(&d)) return;
        cabinetShown = d.isVisible();
        shot(d, "cabtool");
      });
      special->ChangeCabBtn->click();
      QueueDialogDriver([&](QDialog& d) {
        auto* choice = dynamic_cast<TKsSelForm*>(&d);
        if (!choice) return;
        choiceShown = ChooseCode(choice->KsCombo, 5);
        shot(d, "kssel");
        choice->CancelBtn->click();
      });
      special->MeldKeysBtn->click();
      special->CloseBtn->click();
    });
    settings->SettingsSpecialBtn->click();
    settings->CloseBtn->click();
  });
  form.RunMenuCommand("Settings1");
  say(settingsShown ? "settings shown" : "settings refused");
  say(specialShown ? "special functions shown" : "special functions refused");
  say(automated ? "group keys set" : "group keys refused");
  say(toolShown ? "systems chosen" : "systems refused");
  say(moved ? "system moved" : "system move refused");
  say(cabinetShown ? "cabinet tool shown" : "cabinet tool refused");
  say(choiceShown ? "system choice shown" : "system choice refused");
  return true;
}
