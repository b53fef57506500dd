#include "import/ImportTable.h"

#include <utility>

void TImportTable::Resize(int cols, int rows) {
  cols = cols < 0 ? 0 : cols;
  rows = rows < 0 ? 0 : rows;
  if (cols == cols_) {
    // Rows only: the cells of the kept rows stay where they are.
    const std::size_t size = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    cells_.resize(size);
    marks_.resize(size);
    rows_ = rows;
    return;
  }
  std::vector<std::string> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
  std::vector<std::uint8_t> marks(cells.size());
  const int keepCols = cols < cols_ ? cols : cols_;
  const int keepRows = rows < rows_ ? rows : rows_;
  for (int r = 0; r < keepRows; ++r)
    for (int c = 0; c < keepCols; ++c) {
      const std::size_t to = static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) +
                             static_cast<std::size_t>(c);
      cells[to] = std::move(cells_[At(c, r)]);
      marks[to] = marks_[At(c, r)];
    }
  cells_.swap(cells);
  marks_.swap(marks);
  cols_ = cols;
  rows_ = rows;
  captionObjects_.resize(static_cast<std::size_t>(cols), 0);
}

void TImportTable::SetColCount(int cols) { Resize(cols, rows_); }

void TImportTable::SetRowCount(int rows) { Resize(cols_, rows); }

void TImportTable::Clear() {
  cells_.clear();
  marks_.clear();
  captionObjects_.clear();
  cols_ = 0;
  rows_ = 0;
  fixedRows_ = 1;
}

const std::string& TImportTable::Cell(int col, int row) const {
  static const std::string empty;
  return Inside(col, row) ? cells_[At(col, row)] : empty;
}

void TImportTable::SetCell(int col, int row, std::string text) {
  if (Inside(col, row)) cells_[At(col, row)] = std::move(text);
}

std::uint8_t TImportTable::Mark(int col, int row) const {
  return Inside(col, row) ? marks_[At(col, row)] : 0;
}

void TImportTable::SetMark(int col, int row, std::uint8_t mark) {
  if (Inside(col, row)) marks_[At(col, row)] = mark;
}

void TImportTable::ClearMarks() {
  for (auto& m : marks_) m = 0;
}

std::int32_t TImportTable::CaptionObject(int col) const {
  return col >= 0 && col < cols_ ? captionObjects_[static_cast<std::size_t>(col)] : 0;
}

void TImportTable::SetCaptionObject(int col, std::int32_t object) {
  if (col >= 0 && col < cols_) captionObjects_[static_cast<std::size_t>(col)] = object;
}
