#pragma once
// The office suite that converts spreadsheet files the program cannot read itself
// (".ods", ".dbf", ...): LibreOffice's "soffice", run headless. It is optional; where it is
// missing, only the formats the program reads on its own can be imported.

#include <string>

// Path of the "soffice" program (1252), empty when none is installed. Looked for once per
// run: the folders of PATH, then LibreOffice's usual install folders.
std::string OfficeProgramPath();
inline bool OfficeProgramAvailable() { return !OfficeProgramPath().empty(); }

// Replaces the looked-up path until ResetOfficeProgramPath (tests: "" = not installed, or
// a stand-in program).
void SetOfficeProgramPath(const std::string& path);
void ResetOfficeProgramPath();
