#pragma once
// The end-to-end driver's visit of the groups view (TessaroAutomated.cpp): a group of
// locking system 1 made with a subgroup, a cylinder and a group key ticked, renamed, then
// deleted. Runs only when TESSARO_AUTOMATION_GROUPS names the subgroup, the cylinder and the
// key ("subgroup,cylinder,key"); each step says what it saw and takes a picture.

#include <cstdlib>
#include <functional>
#include <string>

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>

#include "app/LinkingFrameUnit.h"
#include "app/ListFillUnit.h"
#include "app/Unit1.h"
#include "app/UnitTR100Win.h"
#include "basic/widgets/DialogRunner.h"
#include "data/MiniDBUnit.h"
#include "views/FrameGroupsUnit.h"

// False when the scenario does not run.
inline bool RunGroupsScenario(TTessaroForm& form,
                              const std::function<void(QWidget&, const std::string&)>& shot,
                              const std::function<void(const std::string&)>& say) {
  const char* linked = std::getenv("TESSARO_AUTOMATION_GROUPS");
  if (!linked) return false;
  int32_t ids[3] = {0, 0, 0};
  {
    const std::string text = linked;
    size_t at = 0;
    for (int32_t& id : ids) {
      id = std::atoi(text.c_str() + at);
      at = text.find(',', at);
      at = at == std::string::npos ? text.size() : at + 1;
    }
  }
  const int32_t subgroup = ids[0], cylinder = ids[1], key = ids[2];
  form.PageControl->setCurrentIndex(pgGroups);
  IView* page = ViewOf(pgGroups);
  auto* view = page ? dynamic_cast<TFrameGroups*>(page->RecordFlow()) : nullptr;
  TMiniDB* db = GlueDB();
  if (!view || !db) {
    say("groups refused: no view");
    return true;
  }

  view->NewBtn->click();
  view->NameEd->setText(QStringLiteral("Gruppe Nord"));
  SelectComboObject(view->KeysystemCombo, 1);
  auto tick = [](TLinkingFrame* frame, int32_t id) {
    frame->EdBtn->click();
    const int row = frame->CheckModel->RowOfId(id);
    if (row >= 0) frame->CheckModel->SetChecked(row, true);
    return row >= 0;
  };
  view->LinkPageControl->setCurrentIndex(0);
  const bool sub = tick(view->LinkSubgroupsFrame, subgroup);
  view->LinkPageControl->setCurrentIndex(1);
  const bool cyl = tick(view->LinkCylsFrame, cylinder);
  const bool keyTicked = tick(view->LinkKeysFrame, key);
  say(sub && cyl && keyTicked ? "group links ticked" : "group links refused");
  shot(form, "groups-edit");
  view->SaveBtn->click();
  const int32_t group = view->CurrentId;
  say(group && !view->Editing ? "group saved" : "group refused");
  // The subgroup is stored on the parent only.
  const bool stored = db->HasLink(group, icGroup, subgroup) &&
                      !db->HasLink(subgroup, icGroup, group) &&
                      db->HasLink(group, icCylinder, cylinder) &&
                      db->HasLink(cylinder, icGroup, group) && db->HasLink(group, icKey, key) &&
                      db->HasLink(key, icGroup, group);
  say(stored ? "group links stored" : "group links refused");
  shot(form, "groups");

  // Renamed.
  view->EdBtn->click();
  view->NameEd->setText(QStringLiteral("Gruppe Nord 2"));
  view->SaveBtn->click();
  say(!view->Editing && db->GetName(group) == "Gruppe Nord 2" ? "group renamed"
                                                               : "group rename refused");

  // Deleted, with its links.
  QueueDialogDriver(ClickButtonDriver(QStringLiteral("Ja")));
  view->KillBtn->click();
  say(!db->IsValid(group) ? "group deleted" : "group delete refused");
  shot(form, "groups-deleted");
  return true;
}
