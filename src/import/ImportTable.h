#pragma once
// The table an import shows and works on, without widgets: text cells by column and row,
// a mark per cell (which cells the last check or import took), and per column the object
// of its caption (row 0 holds the captions). A Qt model of src/import/widgets shows it.
// Columns and rows count from 0, as in a grid.

#include <cstdint>
#include <string>
#include <vector>

class TImportTable {
 public:
  int ColCount() const { return cols_; }
  int RowCount() const { return rows_; }
  // New cells are empty and unmarked; cells outside the new size are dropped.
  void SetColCount(int cols);
  void SetRowCount(int rows);
  // No cells, no captions' objects, one fixed row.
  void Clear();

  // The text of a cell; empty outside the table.
  const std::string& Cell(int col, int row) const;
  // Sets a cell inside the table; outside it nothing happens.
  void SetCell(int col, int row, std::string text);

  // 0 = not taken, 1 = taken by the last check or import; 0 outside the table.
  std::uint8_t Mark(int col, int row) const;
  void SetMark(int col, int row, std::uint8_t mark);
  void ClearMarks();

  // The object of column `col`'s caption (0 when none or outside).
  std::int32_t CaptionObject(int col) const;
  void SetCaptionObject(int col, std::int32_t object);

  // Rows on top that are not data: the captions, and the file's own header line when it
  // has one.
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int rows) { fixedRows_ = rows < 0 ? 0 : rows; }

 private:
  void Resize(int cols, int rows);
  bool Inside(int col, int row) const {
    return col >= 0 && row >= 0 && col < cols_ && row < rows_;
  }
  std::size_t At(int col, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(col);
  }

  int cols_ = 0;
  int rows_ = 0;
  int fixedRows_ = 1;
  std::vector<std::string> cells_;  // row by row
  std::vector<std::uint8_t> marks_;
  std::vector<std::int32_t> captionObjects_;
};
