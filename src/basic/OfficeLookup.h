#pragma once
// The office program (LibreOffice), which the imports need to read the spreadsheets the
// program cannot read itself; writing needs none. Looked up once per run: a "Path" value
// under the registry key "\SOFTWARE\OpenOffice.org\OpenOffice.org\2.0" .. "2.5" of the
// machine (naming the program, or a folder holding "soffice" or "program/soffice"), else
// "soffice" on PATH. Without widgets, so the import layer asks the same lookup as the
// spreadsheet output (output/CsvOrExcelUnit.h).

#include <string>

// True when an office program was found.
bool GetOpenOfficePath();
// True when it can read spreadsheets: its spreadsheet part ("libsclo.so") lies beside it.
bool OfficeAvailable();
// The program found; empty when none.
std::string OfficeProgram();
// Forgets the lookup (tests; the next question looks again).
void ResetOfficeLookup();
