#include "import/ConcatCellsUnit.h"

#include "basic/BasicsUnit.h"
#include "import/ImportTable.h"

std::string JoinCells(const std::string& left, const std::string& right, TConcatStyle style) {
  const std::string a = Trim(left), b = Trim(right);
  switch (style) {
    case TConcatStyle::Blank: return Trim(a + " " + b);
    case TConcatStyle::Comma: return Trim(a + ", " + b);
    case TConcatStyle::Brackets: return Trim(a + " [" + b + "]");
  }
  return a;
}

int ConcatCells(TImportTable& table, int column, TConcatStyle style) {
  if (column < 0 || column + 1 >= table.ColCount()) return 0;
  int changed = 0;
  for (int row = 1; row < table.RowCount(); ++row) {
    const std::string right = Trim(table.Cell(column + 1, row));
    if (right.empty()) continue;
    table.SetCell(column, row, JoinCells(table.Cell(column, row), right, style));
    ++changed;
  }
  return changed;
}
