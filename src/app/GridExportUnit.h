#pragma once
// Grids and lists leaving the program: the rows of a grid as a text file (the export dialog)
// or printed as lines. The spreadsheet output joins here when it is built.

#include <functional>
#include <string>
#include <vector>

class QTableWidget;
class QWidget;

// One exported line per grid row; the flag is handed to the writer. False when a line was
// refused.
using TLineWriter = std::function<bool(const std::string& line, bool flag)>;
// A cell as one export field: TAB, CR and LF become blanks.
std::string ExportCell(const std::string& cell);
bool ExportGridLines(const QTableWidget* grid, const TLineWriter& writer, bool flag,
                     bool selectionOnly);
bool ExportListToFile(const QTableWidget* grid, const std::string& fileName, bool selectionOnly);
// The export dialog; right 11 first. Offers text files (CSV) only: the spreadsheet writer
// and the office program are not part of this build, so `toSpreadsheet` answers with the
// office message and `captionControl` (the sheet's title) is unused. True when a file was
// written.
bool ExportListDialog(const QTableWidget* grid, QWidget* captionControl, bool toSpreadsheet);
// The office program is not available here: text files only.
bool CheckOfficeAvailable(const std::string& fileName, bool silent);

// Writes the lines into a temporary file and hands it to the installed text printer
// (WinGlue().TextFilePrinter, installed by the composition root); false while none is.
bool PrintTextList(const std::vector<std::string>& lines);
