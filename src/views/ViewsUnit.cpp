#include "views/ViewsUnit.h"

#include "app/ViewRegistryUnit.h"
#include "views/FramePersons2Unit.h"
#include "views/FrameUsersUnit.h"

void RegisterViews() {
  // One line per view, in page order:
  //   RegisterViewFactory(pgPersons, MakePersonsView);
  RegisterPersonsView();  // pgPersons
  RegisterUsersView();    // pgUsers
}
