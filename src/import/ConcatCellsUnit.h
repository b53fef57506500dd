#pragma once
// Joining two neighbouring columns of the loaded import table: the chosen column's cell
// becomes the join of itself and the cell to its right, in every data row whose right cell
// is not empty; the right-hand cell stays.

#include <string>

class TImportTable;

enum class TConcatStyle {
  Blank,     // "Spalte1 Spalte2"
  Comma,     // "Spalte1, Spalte2"
  Brackets,  // "Spalte1 [Spalte2]"
};

// The trimmed join of two cells.
std::string JoinCells(const std::string& left, const std::string& right, TConcatStyle style);
// Joins column `column` (0 = "A") with the one to its right in every data row; the number
// of rows changed. Nothing happens for a column without a right neighbour.
int ConcatCells(TImportTable& table, int column, TConcatStyle style);
