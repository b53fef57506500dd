#include "basic/widgets/BasicsGridUnit.h"

#include <algorithm>
#include <numeric>

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/widgets/QtGlue.h"

namespace {

const char* const kSortColumnProperty = "tessaroSortColumn";
const char* const kSortDescendingProperty = "tessaroSortDescending";
const char* const kHeaderSortProperty = "tessaroHeaderSort";

constexpr int kIdRole = Qt::UserRole;

TGridSortState LoadSortState(const QTableWidget* grid) {
  TGridSortState state;
  const QVariant col = grid->property(kSortColumnProperty);
  if (col.isValid()) state.column = col.toInt();
  state.descending = grid->property(kSortDescendingProperty).toBool();
  return state;
}

void StoreSortState(QTableWidget* grid, const TGridSortState& state) {
  grid->setProperty(kSortColumnProperty, state.column);
  grid->setProperty(kSortDescendingProperty, state.descending);
}

QTableWidgetItem* ItemForWrite(QTableWidget* grid, int col, int row) {
  QTableWidgetItem* item = grid->item(row - 1, col);
  if (!item) {
    item = new QTableWidgetItem;
    grid->setItem(row - 1, col, item);
  }
  return item;
}

}  // namespace

int GridColCount(const QTableWidget* grid) { return grid->columnCount(); }

void SetGridColCount(QTableWidget* grid, int cols) { grid->setColumnCount(std::max(cols, 0)); }

int GridRowCount(const QTableWidget* grid) { return grid->rowCount() + 1; }

void SetGridRowCount(QTableWidget* grid, int rows) { grid->setRowCount(std::max(rows, 1) - 1); }

std::string GridCell(const QTableWidget* grid, int col, int row) {
  if (col < 0 || col >= grid->columnCount() || row < 0 || row > grid->rowCount()) return "";
  const QTableWidgetItem* item =
      row == 0 ? grid->horizontalHeaderItem(col) : grid->item(row - 1, col);
  return item ? FromQString(item->text()) : std::string();
}

void SetGridCell(QTableWidget* grid, int col, int row, const std::string& text) {
  if (col < 0 || col >= grid->columnCount() || row < 0 || row > grid->rowCount()) return;
  if (row == 0) {
    QTableWidgetItem* header = grid->horizontalHeaderItem(col);
    if (!header) {
      header = new QTableWidgetItem;
      grid->setHorizontalHeaderItem(col, header);
    }
    header->setText(ToQString(text));
    return;
  }
  ItemForWrite(grid, col, row)->setText(ToQString(text));
}

std::int32_t GridRowId(const QTableWidget* grid, int row) {
  if (row < 1 || row > grid->rowCount() || grid->columnCount() == 0) return 0;
  const QTableWidgetItem* item = grid->item(row - 1, 0);
  return item ? static_cast<std::int32_t>(item->data(kIdRole).toInt()) : 0;
}

void SetGridRowId(QTableWidget* grid, int row, std::int32_t id) {
  if (row < 1 || row > grid->rowCount() || grid->columnCount() == 0) return;
  ItemForWrite(grid, 0, row)->setData(kIdRole, static_cast<qint32>(id));
}

void GridClear(QTableWidget* grid) {
  grid->clearContents();
  grid->setRowCount(1);
  grid->setProperty(kSortColumnProperty, QVariant());
  grid->setProperty(kSortDescendingProperty, QVariant());
  if (grid->selectionBehavior() == QAbstractItemView::SelectRows) {
    GridSelectRow(grid, 1);
  } else if (grid->columnCount() > 0) {
    grid->setCurrentCell(0, 0);
  }
}

int GridSelectedRow(const QTableWidget* grid) {
  const QList<QTableWidgetSelectionRange> ranges = grid->selectedRanges();
  if (ranges.isEmpty()) return 0;
  const int row = ranges.first().topRow();
  return (row >= 0 && row < grid->rowCount()) ? row + 1 : 0;
}

std::int32_t GridSelectedId(const QTableWidget* grid) {
  const int row = GridSelectedRow(grid);
  return row > 0 ? GridRowId(grid, row) : 0;
}

void GridClearSelection(QTableWidget* grid) {
  grid->clearSelection();
  grid->selectionModel()->clearCurrentIndex();
}

bool GridSelectRow(QTableWidget* grid, int row) {
  if (row < 1 || row > grid->rowCount() || grid->columnCount() == 0) return false;
  grid->clearSelection();
  grid->setCurrentCell(row - 1, 0, QItemSelectionModel::NoUpdate);
  grid->setRangeSelected(
      QTableWidgetSelectionRange(row - 1, 0, row - 1, grid->columnCount() - 1), true);
  grid->scrollToItem(ItemForWrite(grid, 0, row));
  return true;
}

void GridCopy(const QTableWidget* source, QTableWidget*& target) {
  if (!target) target = new QTableWidget;
  target->clear();
  target->setColumnCount(source->columnCount());
  target->setRowCount(source->rowCount());
  target->setSelectionBehavior(source->selectionBehavior());
  target->setSelectionMode(source->selectionMode());
  for (int c = 0; c < source->columnCount(); ++c) {
    if (const QTableWidgetItem* header = source->horizontalHeaderItem(c))
      target->setHorizontalHeaderItem(c, header->clone());
    for (int r = 0; r < source->rowCount(); ++r) {
      if (const QTableWidgetItem* item = source->item(r, c)) target->setItem(r, c, item->clone());
    }
  }
}

std::vector<int> GridSortOrder(const std::vector<std::string>& cells, bool descending) {
  std::vector<std::string> keys;
  keys.reserve(cells.size());
  for (const std::string& cell : cells) keys.push_back(NaturalSortKey(cell));
  std::vector<int> order(cells.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const bool emptyA = cells[a].empty();
    const bool emptyB = cells[b].empty();
    if (emptyA || emptyB) return !emptyA && emptyB;
    const int cmp = AnsiCompareText(keys[a], keys[b]);
    return descending ? cmp > 0 : cmp < 0;
  });
  return order;
}

bool NextSortDescending(TGridSortState& state, int column, const std::vector<std::string>& cells) {
  bool descending = false;
  if (state.column == column && !state.descending) {
    // Descending only while the rows still stand as the last click left them: a grid
    // refilled since then is sorted ascending first.
    const std::vector<int> order = GridSortOrder(cells, false);
    descending = std::is_sorted(order.begin(), order.end());
  }
  state.column = column;
  state.descending = descending;
  return descending;
}

void GridSortByColumn(QTableWidget* grid, int col) {
  if (!grid || col < 0 || col >= grid->columnCount()) return;
  const int rows = grid->rowCount();
  const int cols = grid->columnCount();
  std::vector<std::string> cells;
  cells.reserve(static_cast<size_t>(rows));
  for (int r = 1; r <= rows; ++r) cells.push_back(GridCell(grid, col, r));

  TGridSortState state = LoadSortState(grid);
  const bool descending = NextSortDescending(state, col, cells);
  StoreSortState(grid, state);
  const std::vector<int> order = GridSortOrder(cells, descending);

  const int selected = GridSelectedRow(grid);
  std::vector<std::vector<QTableWidgetItem*>> taken(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    taken[r].resize(static_cast<size_t>(cols));
    for (int c = 0; c < cols; ++c) taken[r][c] = grid->takeItem(r, c);
  }
  int newSelected = 0;
  for (int r = 0; r < rows; ++r) {
    const int from = order[static_cast<size_t>(r)];
    for (int c = 0; c < cols; ++c) {
      if (taken[from][c]) grid->setItem(r, c, taken[from][c]);
    }
    if (from + 1 == selected) newSelected = r + 1;
  }
  if (newSelected > 0) GridSelectRow(grid, newSelected);
}

void InstallGridHeaderSort(QTableWidget* grid) {
  if (grid->property(kHeaderSortProperty).toBool()) return;
  grid->setProperty(kHeaderSortProperty, true);
  grid->setSortingEnabled(false);
  grid->horizontalHeader()->setSectionsClickable(true);
  QObject::connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, grid,
                   [grid](int col) { GridSortByColumn(grid, col); });
}

void GridAutoColWidths(QTableWidget* grid, bool fill, int maxWidth) {
  const QFontMetrics metrics(grid->font());
  const int cols = grid->columnCount();
  int total = 0;
  for (int c = 0; c < cols; ++c) {
    int widest = 0;
    for (int r = 0; r <= grid->rowCount(); ++r) {
      const QTableWidgetItem* item = r == 0 ? grid->horizontalHeaderItem(c) : grid->item(r - 1, c);
      if (item) widest = std::max(widest, metrics.horizontalAdvance(item->text()));
    }
    const int width = std::min(widest, maxWidth) + 8;
    grid->setColumnWidth(c, width);
    total += width;
  }
  if (fill && cols > 0) {
    const int rest = grid->viewport()->width() - total - 2 * cols - 20;
    if (rest > 0) grid->setColumnWidth(cols - 1, grid->columnWidth(cols - 1) + rest);
  }
}
