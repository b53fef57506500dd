#pragma once
// The end-to-end driver's visit of the key cabinets view (TessaroAutomated.cpp): a cabinet
// made with an allowed user ticked, renamed, then deleted; a cabinet that holds a key shown
// with its keys grid, and its deletion refused. Runs only when TESSARO_AUTOMATION_CABINETS
// names the user and the cabinet with a key ("user,cabinet"); each step says what it saw and
// takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QToolButton>

#include "app/ListingFrameUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "data/MiniDBUnit.h"
#include "views/FrameCabinetUnit.h"

// False when the scenario does not run.
inline bool RunCabinetsScenario(TTessaroForm& form,
                                const std::function<void(QWidget&, const std::string&)>& shot,
                                const std::function<void(const std::string&)>& say) {
  const char* given = std::getenv("TESSARO_AUTOMATION_CABINETS");
  if (!given) return false;
  const std::string ids = given;
  const int32_t user = std::atoi(ids.c_str());
  const int32_t full = std::atoi(ids.substr(ids.find(',') + 1).c_str());
  form.PageControl->setCurrentIndex(pgCabinets);
  IView* page = ViewOf(pgCabinets);
  auto* view = page ? dynamic_cast<TFrameCabinet*>(page->RecordFlow()) : nullptr;
  TMiniDB* db = GlueDB();
  if (!view || !db) {
    say("cabinets refused: no view");
    return true;
  }

  view->NewBtn->click();
  view->NameEd->setText(QStringLiteral("Schrank Ost"));
  view->PanelEd->setText(QStringLiteral("12"));
  view->ColEd->setText(QStringLiteral("4"));
  view->RowEd->setText(QStringLiteral("3"));
  bool ticked = false;
  for (int i = 0; i < view->UsersBox->count(); ++i)
    if (view->UsersBox->item(i)->data(Qt::UserRole).toInt() == user) {
      view->UsersBox->item(i)->setCheckState(Qt::Checked);
      ticked = view->UsersBox->isEnabled();
    }
  say(ticked ? "user ticked" : "user refused");
  view->SaveBtn->click();
  const int32_t cabinet = view->CurrentId;
  say(cabinet && !view->Editing ? "cabinet saved" : "cabinet refused");
  say(db->HasLink(cabinet, icUser, user) && db->HasLink(user, icCabinet, cabinet)
          ? "user linked"
          : "user link refused");
  shot(form, "cabinets");

  // Renamed.
  view->EdBtn->click();
  view->NameEd->setText(QStringLiteral("Schrank Ost 2"));
  view->SaveBtn->click();
  say(!view->Editing && db->GetName(cabinet) == "Schrank Ost 2" ? "cabinet renamed"
                                                                 : "cabinet rename refused");

  // The cabinet with a key: its grid, and no deleting.
  view->ShowRecord(full);
  say(view->KeysListingGridFrame->Grid->rowCount() == 1 ? "keys shown" : "keys refused");
  shot(form, "cabinet-keys");
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("OK")));
  view->KillBtn->click();
  say(db->IsValid(full) ? "full cabinet kept" : "full cabinet deleted: refused");

  // The new one deleted.
  view->ShowRecord(cabinet);
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  view->KillBtn->click();
  say(!db->IsValid(cabinet) ? "cabinet deleted" : "cabinet delete refused");
  return true;
}
