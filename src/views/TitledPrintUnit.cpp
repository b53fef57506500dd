#include "views/TitledPrintUnit.h"

#include "basic/FileCtrl2.h"
#include "basic/TempFilesUnit.h"
#include "output/PrintPreviewUnit.h"

bool PrintTitledLines(const std::string& title, const std::vector<std::string>& lines) {
  if (lines.empty()) return false;
  const std::string file = CreateTempFile();
  if (file.empty()) return false;
  const bool printed =
      SaveTextFile(lines, file) && PrintStringGrid(title, file, TabFileColumnCount(file));
  DeleteTempFile(file);
  return printed;
}
