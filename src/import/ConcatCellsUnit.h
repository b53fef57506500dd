#pragma once
// Joining two neighbouring columns of the loaded import table: the chosen column's cell
// becomes the join of itself and the cell to its right, in every line of the table whose
// right cell is not empty; the right-hand cell stays, so the columns and their mapping do
// not change. Only the captions' row 0 is left alone: the file's own header line is joined
// like the data, so switching the headline setting afterwards shows the same table.

#include <string>

class TImportTable;

enum class TConcatStyle {
  Blank,     // "Spalte1 Spalte2"
  Comma,     // "Spalte1, Spalte2"
  Brackets,  // "Spalte1 [Spalte2]"
};

// The trimmed join of two cells.
std::string JoinCells(const std::string& left, const std::string& right, TConcatStyle style);
// Joins column `column` (0 = "A") with the one to its right in every row below the
// captions; the number of rows changed. Nothing happens for a column without a right
// neighbour.
int ConcatCells(TImportTable& table, int column, TConcatStyle style);
