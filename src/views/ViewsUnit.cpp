#include "views/ViewsUnit.h"

#include "app/ViewRegistryUnit.h"

void RegisterViews() {
  // One line per view, in page order:
  //   RegisterViewFactory(pgPersons, MakePersonsView);
}
