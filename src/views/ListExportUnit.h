#pragma once
// The list exports of the main window: every valid door, key or person as a TAB text file
// (Windows-1252, CR LF, one header line, no quoting), and the screenshot of the page area
// as a JPEG file that can be mailed.
//
// A file is written beside its target and takes its place only when complete, so a failed
// export leaves an earlier file as it was and no partial file behind.

#include <memory>
#include <string>
#include <vector>

// The unit's texts (the language test checks each has its English).
class TMLStringList;
const TMLStringList* ListExportTexts();

class TMiniDB;

// Texts: 15 "Export läuft ...", 16, 17 the file errors, 36 the mail question, 37 the
// subject, 38 the text of the screenshot mail.
std::string ListExportText(int number);

enum class TListExport { Doors, Keys, Persons };

// The header line, then one line per valid record of the class in the store's order; a
// record whose first field is empty is left out.
std::vector<std::string> ListExportLines(TMiniDB& db, TListExport kind);
// The list's name in the file name proposal: "Türen", the keys caption, the persons term.
std::string ListExportName(TListExport kind);
// The proposal: `current` when it holds the list's name, else that name + ".csv".
std::string ListExportProposal(const std::string& current, TListExport kind);

// Writes the export to `fileName`. 0 when written, else the number of the text that tells
// why (16 no file can be made under that name, 17 it could not be written).
int WriteListExport(TMiniDB& db, TListExport kind, const std::string& fileName);

// The menu commands: login and right 11 (messages shown), the save dialog, the wait text,
// the file; an error names the file.
// The window's save dialog of the list exports, opening in `folder` (the one chosen last).
class QFileDialog;
std::unique_ptr<QFileDialog> ExportSaveDialog(const std::string& folder);

void ExportDoors1Click();
void ExportKeys1Click();
void ExportPersons1Click();
void RunListExport(TListExport kind);
// The page area as a JPEG file of the user's choice, mailed on request.
void Screenshot1Click();
