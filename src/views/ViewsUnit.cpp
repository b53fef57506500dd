#include "views/ViewsUnit.h"

#include "app/ViewRegistryUnit.h"
#include "views/FrameHistoryUnit.h"

void RegisterViews() {
  // One line per view, in page order:
  //   RegisterViewFactory(pgPersons, MakePersonsView);
  RegisterHistoryView();  // pgHistory
}
