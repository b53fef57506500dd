#include "views/ViewsUnit.h"

#include "app/CommandNames.h"
#include "app/MainFormUnit.h"
#include "app/ViewRegistryUnit.h"
#include "views/FrameHistoryUnit.h"
#include "views/FrameLimitsUnit.h"
#include "views/KeyBoxUnit.h"

void RegisterViews() {
  // One line per view, in page order:
  //   RegisterViewFactory(pgPersons, MakePersonsView);
  RegisterViewFactory(pgLimits, MakeLimitsView);
  RegisterHistoryView();  // pgHistory

  // The commands and hooks the views' dialogs serve.
  InstallMenuCommand(kHookLimitsCheck, [] { LimitsCheck(); });
  InstallMenuCommand(kMenuKeyBox1, [] { SelectFromStockList(); });
}
