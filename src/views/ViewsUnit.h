#pragma once
// The views library: the record views of the main window's pages and their dialogs. Its one
// entry is RegisterViews(), which the composition root calls before the main window is
// made; each view's unit adds its line there (RegisterViewFactory for its page, the menu
// commands its dialogs serve through InstallMenuCommand).

// Registers every view of the library with the view registry (app/ViewRegistryUnit.h).
void RegisterViews();
