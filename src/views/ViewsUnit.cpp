#include "views/ViewsUnit.h"

#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/ViewRegistryUnit.h"
#include "views/FrameBuildings2Unit.h"
#include "views/FrameCylsUnit.h"
#include "views/FrameGroupsUnit.h"
#include "views/FrameCabinetUnit.h"
#include "views/FrameDoorsUnit.h"
#include "views/FrameHistoryUnit.h"
#include "views/FrameKeysUnit.h"
#include "views/FrameLimitsUnit.h"
#include "views/FrameTransferUnit.h"
#include "views/FramePersons2Unit.h"
#include "views/FrameUsersUnit.h"
#include "views/KeyBoxUnit.h"

void RegisterViews() {
  // One line per view, in page order:
  //   RegisterViewFactory(pgPersons, MakePersonsView);
  RegisterBuildingsView();  // pgBuildings
  RegisterDoorsView();      // pgDoors
  RegisterCylindersView();  // pgCylinders
  RegisterGroupsView();     // pgGroups
  RegisterCabinetsView();   // pgCabinets
  RegisterKeysView();     // pgKeys
  RegisterPersonsView();  // pgPersons
  RegisterTransferView();  // pgIssueReturn
  RegisterViewFactory(pgLimits, MakeLimitsView);
  RegisterHistoryView();  // pgHistory
  RegisterUsersView();    // pgUsers

  // The commands and hooks the views' dialogs serve.
  InstallMenuCommand(kHookLimitsCheck, [] { LimitsCheck(); });
  InstallMenuCommand(kMenuKeyBox1, [] { SelectFromStockList(); });
  AddKeysUserValuesHook();
}
