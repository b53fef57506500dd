#pragma once
// Grids and lists leaving the program: the rows of a grid as a text file or a workbook (the
// export dialog, through the spreadsheet output of output/CsvOrExcelUnit.h) or printed as
// lines.

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
// The grid as a TAB text file, written beside the target and put in its place when
// complete: a failed export leaves the old file. True when written.
bool ExportListToFile(const QTableWidget* grid, const std::string& fileName, bool selectionOnly);
// The export dialog; right 11 first. Offers text files (CSV) and workbooks ("Excel
// (*.xlsx)"), written without any office program. `toSpreadsheet` writes a workbook into
// the temporary folder and opens it with the desktop's program (ShellOpen) instead.
// `captionControl` (the sheet's title) is unused. True when a file was written.
bool ExportListDialog(const QTableWidget* grid, QWidget* captionControl, bool toSpreadsheet);
// Whether a table file of that name can be read: text tables and binary or XML workbooks
// (".xls", ".xlsx": the imports read them themselves) always, other spreadsheets (".ods",
// ".dbf") only through the office program (OfficeAvailable); otherwise, unless silent, the
// office message (text 6).
bool CheckOfficeAvailable(const std::string& fileName, bool silent);

// Writes the lines into a temporary file and hands it to the installed text printer
// (WinGlue().TextFilePrinter, installed by the composition root); false while none is.
bool PrintTextList(const std::vector<std::string>& lines);
