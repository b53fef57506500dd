#pragma once
// Grids and lists leaving the program: the rows of a grid as a text file or a workbook (the
// export dialog, through the spreadsheet output of output/CsvOrExcelUnit.h) or printed as
// lines.

#include <functional>
#include <string>
#include <vector>

class QAbstractItemModel;
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
// The same for a list shown through a model (a table view of many rows): the header
// captions first, then every row's display texts.
bool ExportListDialog(const QAbstractItemModel* model, QWidget* captionControl,
                      bool toSpreadsheet);
// The rows of a model as export lines, the header captions first.
bool ExportModelLines(const QAbstractItemModel* model, const TLineWriter& writer);
// The same for a table that is neither (a grid painted from its own rows): `rows` hands
// every line, the header first, to the writer (cells through ExportCell, joined by TAB)
// and says false when the writer refused one.
using TExportRows = std::function<bool(const TLineWriter& writer)>;
bool ExportListDialog(const TExportRows& rows, QWidget* captionControl, bool toSpreadsheet);
// Whether a table file of that name can be read: text tables and binary or XML workbooks
// (".xls", ".xlsx": the imports read them themselves) always, other spreadsheets (".ods",
// ".dbf") only through the office program (OfficeAvailable); otherwise, unless silent, the
// office message (text 6).
bool CheckOfficeAvailable(const std::string& fileName, bool silent);

// Writes the lines into a temporary file and hands it to the installed text printer
// (WinGlue().TextFilePrinter, installed by the composition root); false while none is.
bool PrintTextList(const std::vector<std::string>& lines);

// A list printout: the rows (the header captions first) as a TAB print file, handed to the
// list printing (PrintStringGrid: page totals, the preview when wanted, into a spreadsheet
// when the print selection asked for it) as a table titled `title`. A file that cannot be
// written shows core text 28, a failed print core text 29. The caller checks the right to
// print lists first.
bool PrintTableRows(const std::string& title, const std::vector<std::vector<std::string>>& rows);
// The TAB print file's text of those rows: cells without TAB, CR or LF, lines ended by CR LF.
std::vector<std::string> TabPrintLines(const std::vector<std::vector<std::string>>& rows);
