#pragma once
// A grid of rows of one height over a table model, for tables of a million rows that grow
// while they are shown (the history view). A QTableView keeps one header section per row
// and walks them all whenever rows are added or a layout is asked for, which at a million
// rows holds the event loop for tens of milliseconds each time; this grid keeps nothing
// per row: it paints the rows in sight, keeps its scroll range from the row count, and
// its selection in a QItemSelectionModel of whole rows (ranges, not rows one by one).
//
// Columns are the sections of a horizontal QHeaderView on top (widths set there). Rows
// alternate white and light green unless the model gives a background; selected rows are
// drawn in the palette's highlight.

#include <functional>

#include <QAbstractScrollArea>

class QAbstractItemModel;
class QHeaderView;
class QItemSelectionModel;

class TRowGridView : public QAbstractScrollArea {
 public:
  TRowGridView(QAbstractItemModel* model, QWidget* parent);

  QAbstractItemModel* model() const { return model_; }
  QItemSelectionModel* selectionModel() const { return selection_; }
  QHeaderView* horizontalHeader() const { return header_; }
  void setColumnWidth(int column, int width);
  int columnWidth(int column) const;
  int RowHeight() const { return rowHeight_; }

  // The current row, -1 without.
  int CurrentRow() const;
  // Selects only this row and makes it current and visible.
  void SelectRow(int row);
  void ScrollToBottom();
  void EnsureVisible(int row);
  // The row at a point of the viewport, -1 below the last.
  int RowAt(int y) const;
  // The first row in sight.
  int FirstVisibleRow() const;
  // Whether the last row is in sight.
  bool AtBottom() const;

  // A right-button press (after the row under the mouse was selected): the point on the
  // screen.
  std::function<void(const QPoint& global)> OnContextMenu;
  std::function<void(int row)> OnDoubleClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateRanges();
  void PlaceHeader();
  // Selects `row` as a click with `modifiers` does (Ctrl toggles, Shift extends).
  void ClickRow(int row, Qt::KeyboardModifiers modifiers);
  void SelectRange(int from, int to, bool clear);

  QAbstractItemModel* model_;
  QHeaderView* header_;
  QItemSelectionModel* selection_;
  int rowHeight_ = 20;
  int anchor_ = -1;
};
