#include "app/GridExportUnit.h"

#include <algorithm>

#include <QAbstractItemModel>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QTableWidget>

#include "app/DesktopLinksUnit.h"
#include "app/GlueStateUnit.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/FileCtrl2.h"
#include "basic/MsgDlgUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/widgets/BasicsGridUnit.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "output/CsvOrExcelUnit.h"
#include <QPrinter>

#include "output/PrintPreviewUnit.h"
#include "output/PrintProcsUnit.h"
#include "platform/PlatformFiles.h"

std::string ExportCell(const std::string& cell) {
  std::string out = cell;
  for (char& c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

bool ExportGridLines(const QTableWidget* grid, const TLineWriter& writer, bool flag,
                     bool selectionOnly) {
  if (!grid || !writer) return false;
  std::vector<int> rows;
  if (selectionOnly && grid->selectionModel()) {
    for (const QModelIndex& index : grid->selectionModel()->selectedIndexes())
      rows.push_back(index.row() + 1);  // grid rows count the header as row 0
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  }
  if (rows.empty())
    for (int row = 0; row < GridRowCount(grid); ++row) rows.push_back(row);
  const int cols = GridColCount(grid);
  for (int row : rows) {
    std::string line;
    for (int col = 0; col < cols; ++col) {
      if (col > 0) line += '\t';
      line += ExportCell(GridCell(grid, col, row));
    }
    if (!writer(line, flag)) return false;
  }
  return true;
}

bool ExportModelLines(const QAbstractItemModel* model, const TLineWriter& writer) {
  if (!model || !writer) return false;
  const int cols = model->columnCount();
  std::string line;
  for (int col = 0; col < cols; ++col) {
    if (col > 0) line += '\t';
    line += ExportCell(FromQString(model->headerData(col, Qt::Horizontal).toString()));
  }
  if (!writer(line, false)) return false;
  for (int row = 0; row < model->rowCount(); ++row) {
    line.clear();
    for (int col = 0; col < cols; ++col) {
      if (col > 0) line += '\t';
      line += ExportCell(FromQString(model->index(row, col).data(Qt::DisplayRole).toString()));
    }
    if (!writer(line, false)) return false;
  }
  return true;
}

namespace {

// The list's lines as cells into an open writer (cells hold no TAB: ExportCell).
bool WriteLines(const TExportRows& source, TCsvOrExcel& out) {
  return source([&out](const std::string& line, bool) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      cells.push_back(line.substr(start, tab - start));
    cells.push_back(line.substr(start));
    return out.WriteCells(cells);
  });
}

TExportRows GridSource(const QTableWidget* grid, bool selectionOnly) {
  return [grid, selectionOnly](const TLineWriter& writer) {
    return ExportGridLines(grid, writer, false, selectionOnly);
  };
}

// Into a workbook in the temporary folder, shown by the desktop's spreadsheet program.
bool ExportToSpreadsheet(const TExportRows& source) {
  std::string file;
  int fd = -1;
  if (PfCreateUnique(PfTempFolder() + "/", "~Export", ".xlsx", file, fd) != 0) return false;
  PfClose(fd);
  AddTempFile(file);  // the spreadsheet program may keep it open until we end
  TCsvOrExcel out;
  const bool written = out.OpenExcel(file) && WriteLines(source, out) && out.Close();
  if (!written) {
    out.Discard();
    return false;
  }
  if (!ShellOpen(file)) ShowError(WinText(6));
  return true;
}

}  // namespace

bool ExportListToFile(const QTableWidget* grid, const std::string& fileName,
                      bool selectionOnly) {
  TCsvOrExcel out;
  if (!out.OpenCsv(fileName)) return false;
  if (WriteLines(GridSource(grid, selectionOnly), out)) return out.Close();
  out.Discard();  // the old file stays as it was
  return false;
}

namespace {

// ".xls", ".xlsx" and their kin (not ".dbf"): workbooks the imports read themselves.
bool IsWorkbookFile(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return AnsiUpperCase(fileName.substr(dot + 1, 3)) == "XLS";
}

}  // namespace

bool CheckOfficeAvailable(const std::string& fileName, bool silent) {
  const int kind = SpreadsheetFileKind(fileName);
  if (kind == sfkText || IsWorkbookFile(fileName)) return true;
  // Other spreadsheets are read through the office program; writing one needs none.
  if ((kind == sfkSpreadsheet || kind == sfkOds) && OfficeAvailable()) return true;
  if (!silent) ShowError(WinText(6));
  return false;
}

namespace {

bool ExportListDialogOf(const TExportRows& source, bool toSpreadsheet) {
  if (RightDenied(rtPrintLists)) return false;
  TWinGlue& g = WinGlue();
  if (toSpreadsheet) {
    if (ExportToSpreadsheet(source)) return true;
    ShowError(CoreText(74));
    return false;
  }
  QFileDialog dialog(g.MainWindow.data(), ToQString(WinText(9)));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  const QString textFilter = QStringLiteral("Text / CSV (*.csv)");
  const QString excelFilter = QStringLiteral("Excel (*.xlsx)");
  dialog.setNameFilters({textFilter, excelFilter});
  dialog.selectFile(ToQString(g.ExportFileName.empty() ? WinText(9) : g.ExportFileName));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  std::string file = FromQString(dialog.selectedFiles().first());
  // A name without extension gets the one of the chosen type.
  const size_t slash = file.find_last_of('/');
  if (file.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos)
    file += dialog.selectedNameFilter() == excelFilter ? ".xlsx" : ".csv";
  std::string proposal = file.substr(file.find_last_of('/') + 1);
  for (const char* ext : {".csv", ".xlsx", ".xls"}) {
    const std::string e = ext;
    if (proposal.size() > e.size() &&
        AnsiSameText(proposal.substr(proposal.size() - e.size()), e)) {
      proposal.resize(proposal.size() - e.size());
      break;
    }
  }
  g.ExportFileName = proposal;
  TCsvOrExcel out;
  // A spreadsheet name gets a workbook of exactly that name (".xls" the old format, which
  // refuses a table beyond its limits); any other name the text the user asked for.
  const bool opened = SpreadsheetFileKind(file) == sfkSpreadsheet ? out.OpenExcel(file)
                                                                  : out.OpenCsv(file);
  if (opened && WriteLines(source, out) && out.Close()) return true;
  const std::string refusal = out.Refusal();
  out.Discard();
  ShowError(refusal.empty() ? CoreText(74) : refusal);
  return false;
}

}  // namespace

bool ExportListDialog(const QTableWidget* grid, QWidget* captionControl, bool toSpreadsheet) {
  (void)captionControl;
  return ExportListDialogOf(GridSource(grid, false), toSpreadsheet);
}

bool ExportListDialog(const QAbstractItemModel* model, QWidget* captionControl,
                      bool toSpreadsheet) {
  (void)captionControl;
  return ExportListDialogOf(
      [model](const TLineWriter& writer) { return ExportModelLines(model, writer); },
      toSpreadsheet);
}

bool ExportListDialog(const TExportRows& rows, QWidget* captionControl, bool toSpreadsheet) {
  (void)captionControl;
  return ExportListDialogOf(rows, toSpreadsheet);
}

bool PrintTextList(const std::vector<std::string>& lines) {
  const auto& printer = WinGlue().TextFilePrinter;
  if (!printer) return false;
  const std::string file = CreateTempFile();
  if (file.empty()) return false;
  bool printed = SaveTextFile(lines, file) && printer(file);
  DeleteTempFile(file);
  return printed;
}

std::vector<std::string> TabPrintLines(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> lines;
  lines.reserve(rows.size());
  for (const std::vector<std::string>& row : rows) {
    std::string line;
    for (size_t col = 0; col < row.size(); ++col) {
      if (col > 0) line += '\t';
      line += ExportCell(row[col]);
    }
    // A row that starts with a control byte would be read as a format line: a blank first.
    if (!line.empty() && static_cast<unsigned char>(line[0]) >= 1 &&
        static_cast<unsigned char>(line[0]) <= 8)
      line.insert(0, 1, ' ');
    lines.push_back(std::move(line));
  }
  return lines;
}

bool PrintTableRows(const std::string& title, const std::vector<std::vector<std::string>>& rows) {
  const std::string file = CreateTempFile();
  if (file.empty() || !SaveTextFile(TabPrintLines(rows), file)) {
    if (!file.empty()) DeleteTempFile(file);
    ShowError(CoreText(28));
    return false;
  }
  const int columns = rows.empty() ? 0 : static_cast<int>(rows.front().size());
  const bool printed = PrintStringGrid(title, file, columns);
  DeleteTempFile(file);
  if (!printed) ShowError(CoreText(29));
  return printed;
}
