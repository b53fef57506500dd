#include "views/RowGridUnit.h"

#include <algorithm>

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "basic/widgets/QtGlue.h"

TRowGridView::TRowGridView(QAbstractItemModel* model, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model) {
  header_ = new QHeaderView(Qt::Horizontal, this);
  header_->setModel(model);
  header_->setSectionsClickable(false);
  header_->setHighlightSections(false);
  header_->setStretchLastSection(true);
  selection_ = new QItemSelectionModel(model, this);
  rowHeight_ = fontMetrics().height() + 5;
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setBackgroundRole(QPalette::Base);
  auto changed = [this] {
    UpdateRanges();
    viewport()->update();
  };
  connect(model, &QAbstractItemModel::rowsInserted, this, changed);
  connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
  connect(model, &QAbstractItemModel::modelReset, this, [this, changed] {
    anchor_ = -1;
    changed();
  });
  connect(model, &QAbstractItemModel::layoutChanged, this, changed);
  connect(model, &QAbstractItemModel::dataChanged, this, [this] { viewport()->update(); });
  connect(header_, &QHeaderView::sectionResized, this, changed);
  connect(selection_, &QItemSelectionModel::selectionChanged, this,
          [this] { viewport()->update(); });
  PlaceHeader();
}

void TRowGridView::setColumnWidth(int column, int width) { header_->resizeSection(column, width); }
int TRowGridView::columnWidth(int column) const { return header_->sectionSize(column); }

void TRowGridView::PlaceHeader() {
  const int height = header_->sizeHint().height();
  setViewportMargins(0, height, 0, 0);
  const QRect area = viewport()->geometry();
  header_->setGeometry(area.left(), area.top() - height, area.width(), height);
}

void TRowGridView::UpdateRanges() {
  const int rows = model_->rowCount();
  const int visible = std::max(1, viewport()->height() / rowHeight_);
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setRange(0, std::max(0, rows - visible));
  const int width = header_->length();
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(20);
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
}

void TRowGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  PlaceHeader();
  UpdateRanges();
}

void TRowGridView::scrollContentsBy(int, int) {
  header_->setOffset(horizontalScrollBar()->value());
  viewport()->update();
}

int TRowGridView::FirstVisibleRow() const { return verticalScrollBar()->value(); }

bool TRowGridView::AtBottom() const {
  return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

int TRowGridView::RowAt(int y) const {
  if (y < 0) return -1;
  const int row = FirstVisibleRow() + y / rowHeight_;
  return row < model_->rowCount() ? row : -1;
}

int TRowGridView::CurrentRow() const {
  const QModelIndex current = selection_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TRowGridView::EnsureVisible(int row) {
  const int visible = std::max(1, viewport()->height() / rowHeight_);
  QScrollBar* bar = verticalScrollBar();
  if (row < bar->value()) bar->setValue(row);
  else if (row >= bar->value() + visible) bar->setValue(row - visible + 1);
}

void TRowGridView::ScrollToBottom() {
  UpdateRanges();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TRowGridView::SelectRange(int from, int to, bool clear) {
  const int columns = std::max(1, model_->columnCount());
  const QItemSelection range(model_->index(std::min(from, to), 0),
                             model_->index(std::max(from, to), columns - 1));
  selection_->select(range, (clear ? QItemSelectionModel::ClearAndSelect
                                   : QItemSelectionModel::Select) |
                                QItemSelectionModel::Rows);
}

void TRowGridView::SelectRow(int row) {
  if (row < 0 || row >= model_->rowCount()) {
    selection_->clear();
    return;
  }
  anchor_ = row;
  SelectRange(row, row, true);
  selection_->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
  EnsureVisible(row);
}

void TRowGridView::ClickRow(int row, Qt::KeyboardModifiers modifiers) {
  if (row < 0) return;
  if ((modifiers & Qt::ShiftModifier) && anchor_ >= 0) {
    SelectRange(anchor_, row, !(modifiers & Qt::ControlModifier));
  } else if (modifiers & Qt::ControlModifier) {
    const int columns = std::max(1, model_->columnCount());
    selection_->select(QItemSelection(model_->index(row, 0), model_->index(row, columns - 1)),
                       QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    anchor_ = row;
  } else {
    anchor_ = row;
    SelectRange(row, row, true);
  }
  selection_->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
  EnsureVisible(row);
}

void TRowGridView::mousePressEvent(QMouseEvent* event) {
  const int row = RowAt(event->position().toPoint().y());
  if (event->button() == Qt::RightButton) {
    if (row >= 0 && !selection_->isRowSelected(row, QModelIndex())) ClickRow(row, Qt::NoModifier);
    if (OnContextMenu) OnContextMenu(event->globalPosition().toPoint());
    return;
  }
  if (event->button() == Qt::LeftButton) ClickRow(row, event->modifiers());
}

void TRowGridView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || anchor_ < 0) return;
  const int row = RowAt(std::clamp(event->position().toPoint().y(), 0, viewport()->height() - 1));
  if (row >= 0) ClickRow(row, Qt::ShiftModifier);
}

void TRowGridView::mouseDoubleClickEvent(QMouseEvent* event) {
  const int row = RowAt(event->position().toPoint().y());
  if (row >= 0 && OnDoubleClick) OnDoubleClick(row);
}

void TRowGridView::keyPressEvent(QKeyEvent* event) {
  const int rows = model_->rowCount();
  if (rows == 0) return QAbstractScrollArea::keyPressEvent(event);
  const int page = std::max(1, viewport()->height() / rowHeight_ - 1);
  int row = CurrentRow();
  switch (event->key()) {
    case Qt::Key_Up: row = std::max(0, row - 1); break;
    case Qt::Key_Down: row = std::min(rows - 1, row + 1); break;
    case Qt::Key_PageUp: row = std::max(0, row - page); break;
    case Qt::Key_PageDown: row = std::min(rows - 1, row + page); break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = rows - 1; break;
    default: return QAbstractScrollArea::keyPressEvent(event);
  }
  ClickRow(row, event->modifiers() & Qt::ShiftModifier);
}

void TRowGridView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int rows = model_->rowCount();
  const int columns = model_->columnCount();
  const int first = FirstVisibleRow();
  const int last = std::min(rows - 1, first + viewport()->height() / rowHeight_ + 1);
  const QPalette& palette = this->palette();
  const QColor gridLine(0xD8, 0xD8, 0xD8);
  for (int row = first; row <= last; ++row) {
    const int y = (row - first) * rowHeight_;
    const bool selected = selection_->isRowSelected(row, QModelIndex());
    for (int col = 0; col < columns; ++col) {
      const int x = header_->sectionViewportPosition(col);
      const int w = header_->sectionSize(col);
      if (x + w < 0 || x > viewport()->width()) continue;
      const QModelIndex index = model_->index(row, col);
      const QRect cell(x, y, w, rowHeight_);
      QColor background = row % 2 ? ColorFromBgr(0xF0FFE8) : QColor(Qt::white);
      const QVariant given = model_->data(index, Qt::BackgroundRole);
      if (given.canConvert<QBrush>()) background = given.value<QBrush>().color();
      painter.fillRect(cell, selected ? palette.color(QPalette::Highlight) : background);
      painter.setPen(gridLine);
      painter.drawLine(cell.topRight(), cell.bottomRight());
      painter.setPen(selected ? palette.color(QPalette::HighlightedText)
                              : palette.color(QPalette::Text));
      const QString text = model_->data(index, Qt::DisplayRole).toString();
      const QRect inner = cell.adjusted(3, 0, -3, 0);
      painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       painter.fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
    }
  }
  if (hasFocus() && CurrentRow() >= first && CurrentRow() <= last) {
    painter.setPen(QPen(palette.color(QPalette::Text), 1, Qt::DotLine));
    const int y = (CurrentRow() - first) * rowHeight_;
    painter.drawRect(QRect(0, y, std::min(header_->length(), viewport()->width()) - 1,
                           rowHeight_ - 1));
  }
}
