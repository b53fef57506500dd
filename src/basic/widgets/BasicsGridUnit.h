#pragma once
// String grids whose rows carry record IDs, over a QTableWidget. Grid coordinates count the
// header as row 0 (the fixed row, shown as the table's horizontal header); data rows are
// 1 .. GridRowCount()-1 and the record ID of a row is the object of its column 0.

#include <cstdint>
#include <string>
#include <vector>

class QTableWidget;

int GridColCount(const QTableWidget* grid);
void SetGridColCount(QTableWidget* grid, int cols);
// Rows including the header row.
int GridRowCount(const QTableWidget* grid);
// Rows including the header row; at least 1.
void SetGridRowCount(QTableWidget* grid, int rows);
std::string GridCell(const QTableWidget* grid, int col, int row);
void SetGridCell(QTableWidget* grid, int col, int row, const std::string& text);
// 0 for the header row, a missing row or a row without an ID.
std::int32_t GridRowId(const QTableWidget* grid, int row);
void SetGridRowId(QTableWidget* grid, int row, std::int32_t id);

// Removes every data row's contents and leaves one empty data row with ID 0, selected
// (the whole row when the grid selects rows). Forgets the remembered sort direction.
void GridClear(QTableWidget* grid);
// The selected data row (grid coordinates), 0 when nothing is selected.
int GridSelectedRow(const QTableWidget* grid);
// The ID of the selected data row, 0 when nothing is selected.
std::int32_t GridSelectedId(const QTableWidget* grid);
void GridClearSelection(QTableWidget* grid);
// Selects the data row across all columns and scrolls it into view; false for the header
// or a missing row.
bool GridSelectRow(QTableWidget* grid, int row);
// Copies counts, header, cells and IDs into `target`, which is created (without parent,
// owned by the caller) when null.
void GridCopy(const QTableWidget* source, QTableWidget*& target);

// Sorts the data rows by one column: ascending on the first click; a further click on the
// same column sorts descending while the rows are still in the order the last click left,
// and the click after that ascending again. Cells and IDs move with their row, the selected
// row stays selected. A column outside the grid is ignored.
void GridSortByColumn(QTableWidget* grid, int col);
// Makes header clicks sort (GridSortByColumn). Turns off the table's own sorting.
void InstallGridHeaderSort(QTableWidget* grid);

// Every column as wide as its widest text (header included, at most `maxWidth`) plus 8
// pixels; with `fill`, what is left of the visible width after all columns, 2 pixels per
// column and 20 more, is given to the last column.
void GridAutoColWidths(QTableWidget* grid, bool fill, int maxWidth);

// --- The sort itself, without widgets ---

// The order of rows (indexes into `cells`) sorted by natural key (K2 before K10), ignoring
// case. Rows with equal keys keep their order, in both directions; empty cells come last,
// in both directions.
std::vector<int> GridSortOrder(const std::vector<std::string>& cells, bool descending);

// What the last header click on a grid did.
struct TGridSortState {
  int column = -1;
  bool descending = false;
};
// The direction of a click on `column` whose data rows hold `cells`; updates `state`.
bool NextSortDescending(TGridSortState& state, int column, const std::vector<std::string>& cells);
