#pragma once
// The composition root: the one place that knows every unit the program is built with. The
// libraries below never call upward; what they offer the main window joins here, in one
// readable list (ProgramRoot.cpp): the views of the pages, the work of menu commands and
// internal hooks, the printers, the imports. Then the main block runs.
//
// A new unit adds its line to that list and, for a menu command, takes the command out of
// the commands awaiting their unit; the command test checks that every installed command
// is a menu entry or an internal hook and that every menu entry has its work or awaits it
// on purpose.

#include <string>
#include <vector>

// Installs every unit into the main window's registries; once, before the window is made.
void InstallProgramUnits();

// The menu commands that stay disabled on purpose: the unit that does their work is not
// built yet (or, for hidden entries, none does). The window shows them greyed.
const std::vector<std::string>& CommandsAwaitingTheirUnit();

// The program: InstallProgramUnits, then the main block (TessaroMain). The exit code.
int RunTessaro(int argc, char** argv);
