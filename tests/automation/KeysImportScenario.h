#pragma once
// The end-to-end driver's visit of the imports (TessaroAutomated.cpp): a key list opened in
// the keys import dialog through its file dialog and imported, then a KWD plan imported
// through the menu, its check answered with yes and its change summary shown in the journal
// viewer. Runs only when TESSARO_AUTOMATION_IMPORTS names the folder holding "keys.csv"
// and "plan.kwd"; each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QTableWidget>

#include "app/CommandNames.h"
#include "app/Unit1.h"
#include "basic/widgets/DialogRunner.h"
#include "import/widgets/BookingForm.h"
#include "import/widgets/FixedImportForm.h"
#include "output/AWebBrowserUnit.h"

// A driver that picks `file` in a file dialog.
inline TDialogDriver PickFileDriver(const std::string& file) {
  return [file](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    if (!chooser) return;
    chooser->selectFile(QString::fromStdString(file));
    dialog.accept();  // QFileDialog::accept, through the public base
  };
}

// False when the scenario does not run.
inline bool RunKeysImportScenario(TTessaroForm& form,
                                  const std::function<void(QWidget&, const std::string&)>& shot,
                                  const std::function<void(const std::string&)>& say) {
  const char* folder = std::getenv("TESSARO_AUTOMATION_IMPORTS");
  if (!folder) return false;
  const std::string dir = folder;

  // The key list: opened through the dialog's file chooser, looked at, imported.
  QueueDialogDriver([&](QDialog& dialog) {
    auto* keys = dynamic_cast<TImportKeysForm*>(&dialog);
    if (!keys) return;
    QueueDialogDriver(PickFileDriver(dir + "keys.csv"));
    keys->OpenBtn->click();
    say(keys->Grid->rowCount() == 3 && keys->ImportBtn->isEnabled() ? "key list shown"
                                                                   : "key list refused");
    say(keys->HelpView->HasDocument() ? "help shown" : "help refused");
    shot(dialog, "keys-import");
    keys->ImportBtn->click();
  });
  form.RunMenuCommand(kMenuImportKeys1);
  say(ImportKeysForm() && !ImportKeysForm()->isVisible() && ImportKeysForm()->Rows().empty()
          ? "keys imported"
          : "keys import refused");

  // The door list's dialog: its columns and help looked at, closed without a file.
  QueueDialogDriver([&](QDialog& dialog) {
    auto* doors = dynamic_cast<TImportDoorsForm*>(&dialog);
    if (!doors) return;
    say(doors->Grid->columnCount() > 0 && doors->HelpView->HasDocument() &&
                !doors->ImportBtn->isEnabled()
            ? "door list dialog shown"
            : "door list dialog refused");
    shot(dialog, "doors-import");
    doors->EscBtn->click();
  });
  form.RunMenuCommand(kMenuImportDoors1);

  // The KWD plan: the file, the check's question, the closing note, the summary.
  QueueDialogDriver(PickFileDriver(dir + "plan.kwd"));
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("OK")));
  bool summaryShown = false;
  QueueDialogDriver([&](QDialog& dialog) {
    auto* booking = dynamic_cast<TBookingForm*>(&dialog);
    if (!booking) return;
    summaryShown = booking->Grid->rowCount() >= 2;
    booking->resize(900, 400);
    shot(dialog, "kwd-booking");
    dialog.accept();
  });
  form.RunMenuCommand(kMenuImportKWD1);
  say(summaryShown ? "kwd summary shown" : "kwd summary refused");
  return true;
}
