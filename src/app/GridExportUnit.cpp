#include "app/GridExportUnit.h"

#include <algorithm>

#include <QFileDialog>
#include <QItemSelectionModel>
#include <QTableWidget>

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

bool ExportListToFile(const QTableWidget* grid, const std::string& fileName,
                      bool selectionOnly) {
  std::vector<std::string> lines;
  ExportGridLines(
      grid,
      [&lines](const std::string& line, bool) {
        lines.push_back(line);
        return true;
      },
      false, selectionOnly);
  if (SaveTextFile(lines, fileName)) return true;
  DeleteFileForce(fileName);
  return false;
}

bool CheckOfficeAvailable(const std::string& fileName, bool silent) {
  const std::string lower = AnsiLowerCase(fileName);
  auto endsWith = [&lower](const char* ext) {
    const std::string e = ext;
    return lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
  };
  if (endsWith(".csv") || endsWith(".txt") || endsWith(".tab")) return true;
  if (!silent) ShowError(WinText(6));
  return false;
}

bool ExportListDialog(const QTableWidget* grid, QWidget* captionControl, bool toSpreadsheet) {
  (void)captionControl;
  if (RightDenied(rtPrintLists)) return false;
  TWinGlue& g = WinGlue();
  // Straight into a spreadsheet needs the office program, which this build does not use.
  if (toSpreadsheet) {
    CheckOfficeAvailable("x.xls", false);
    return false;
  }
  QFileDialog dialog(g.MainWindow.data(), ToQString(WinText(9)));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QStringLiteral("Text / CSV (*.csv)")});
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.selectFile(ToQString(g.ExportFileName.empty() ? WinText(9) : g.ExportFileName));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const std::string file = FromQString(dialog.selectedFiles().first());
  std::string proposal = file.substr(file.find_last_of('/') + 1);
  for (const char* ext : {".csv", ".xls"}) {
    const std::string e = ext;
    if (proposal.size() > e.size() &&
        AnsiSameText(proposal.substr(proposal.size() - e.size()), e))
      proposal.resize(proposal.size() - e.size());
  }
  g.ExportFileName = proposal;
  if (!CheckOfficeAvailable(file, false)) return false;
  if (ExportListToFile(grid, file, false)) return true;
  ShowError(CoreText(74));
  return false;
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
