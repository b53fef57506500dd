#include "views/TitledPrintUnit.h"

#include "basic/FileCtrl2.h"
#include "basic/TempFilesUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSelectUnit.h"

std::string KeepTickedColumns(const std::string& line, const std::vector<TPrintField>& fields) {
  std::string kept;
  size_t at = 0, column = 0;
  bool first = true;
  for (;;) {
    const size_t tab = line.find('\t', at);
    const std::string cell = line.substr(at, tab == std::string::npos ? tab : tab - at);
    if (column < fields.size() && fields[column].checked) {
      kept += (first ? "" : "\t") + cell;
      first = false;
    }
    if (tab == std::string::npos) break;
    at = tab + 1;
    ++column;
  }
  return kept;
}

bool PrintTitledLines(const std::string& title, const std::vector<std::string>& lines) {
  if (lines.empty()) return false;
  const std::string file = CreateTempFile();
  if (file.empty()) return false;
  const bool printed =
      SaveTextFile(lines, file) && PrintStringGrid(title, file, TabFileColumnCount(file));
  DeleteTempFile(file);
  return printed;
}
