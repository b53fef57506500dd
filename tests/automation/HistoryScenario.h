#pragma once
// The end-to-end driver's visit of the history (TessaroAutomated.cpp): the history of a
// booked key on its page, the change log opened from it, the extended search (Ctrl+F) to a
// hit, and the picker of the history's search by name with "Alle auswählen". Runs only when
// TESSARO_AUTOMATION_HISTORY names the key; each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QAction>
#include <QDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "views/ChangeLogUnit.h"
#include "views/FindFormUnit.h"
#include "views/FrameHistoryUnit.h"

inline void RunHistoryScenario(TTessaroForm& form,
                               const std::function<void(QWidget&, const std::string&)>& shot,
                               const std::function<void(const std::string&)>& say) {
  const char* keyName = std::getenv("TESSARO_AUTOMATION_HISTORY");
  const char* term = std::getenv("TESSARO_AUTOMATION_SEARCH");
  TMiniDB* db = GlueDB();
  if (!keyName || !db) return;
  const int32_t key = db->FindByName(keyName, icKey, 0);
  // The key's history on its page, as its "Protokoll" button shows it.
  ShowHistoryOf(key);
  TFrameHistory* frame = HistoryFrame();
  if (!frame) {
    say("history refused");
    return;
  }
  frame->WaitComplete();
  shot(form, "history");
  say("history of " + frame->ShownCaption() + " rows " + std::to_string(frame->Model->rowCount()) +
      " page " + std::to_string(ActivePage()));
  for (int row = 0; row < frame->Model->rowCount(); ++row) {
    std::string line = "history row";
    for (int col = 0; col < kHistoryColumnCount; ++col) line += " [" + frame->Model->CellText(row, col) + "]";
    say(line);
  }

  // The change log of the key, from the view.
  QueueDialogDriver([&](QDialog& dialog) {
    auto& log = static_cast<TChangeLogForm&>(dialog);
    dialog.resize(1100, 420);
    shot(dialog, "changelog");
    say("changelog of " + std::to_string(log.RecordId) + " rows " +
        std::to_string(log.Model->rowCount()));
    for (const TChangeLogRow& row : log.Model->Rows()) {
      std::string line = "changelog row";
      for (const std::string& cell : row.cells) line += " [" + cell + "]";
      say(line);
    }
    log.CloseBtn->click();
  });
  frame->ChangeLogBtnClick();

  // Ctrl+F: the search to a hit.
  QAction* seek = form.MenuItem("Seek1");
  say("seek shortcut " + (seek ? seek->shortcut().toString().toStdString() : std::string("-")));
  int32_t chosen = 0;
  QueueDialogDriver([&](QDialog& dialog) {
    auto& find = static_cast<TFindForm&>(dialog);
    find.SeekEd->setText(ToQString(term ? term : ""));
    find.SeekBtn->click();
    shot(dialog, "search");
    say("search hits " + std::to_string(find.Hits->rowCount()));
    chosen = find.SelectedId();
    find.GotoBtn->click();
  });
  if (seek) seek->trigger();
  say("search chose " + (chosen > 0 ? db->GetDisplayName(chosen) : std::string("nothing")));

  // The history's search by name: several keys, the picker, all of them.
  ShowPage(pgHistory, true);
  frame->TypeCombo->setCurrentIndex(0);
  frame->HistNameCombo->setEditText(ToQString(std::string(keyName).substr(0, 3)));
  QueueDialogDriver([&](QDialog& dialog) {
    auto& picker = static_cast<TObjectSelWin&>(dialog);
    picker.Grid->selectRow(0);
    shot(dialog, "picker");
    say("picker rows " + std::to_string(picker.Names->rowCount()));
    picker.AllBtn->click();
  });
  frame->SeekBtnClick();
  frame->WaitComplete();
  shot(form, "history-all");
  say("history of all keys rows " + std::to_string(frame->Model->rowCount()) + " id " +
      std::to_string(frame->ShownId()));
}
