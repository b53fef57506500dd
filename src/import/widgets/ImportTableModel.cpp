#include "import/widgets/ImportTableModel.h"

#include "basic/widgets/QtGlue.h"

TImportTableModel::TImportTableModel(const TImportTable* table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

int TImportTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !table_ ? 0 : table_->RowCount();
}

int TImportTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || !table_ ? 0 : table_->ColCount();
}

QVariant TImportTableModel::data(const QModelIndex& index, int role) const {
  if (!table_ || !index.isValid()) return QVariant();
  const int col = index.column(), row = index.row();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return ToQString(table_->Cell(col, row));
    case MarkRole:
      return static_cast<int>(table_->Mark(col, row));
    case Qt::BackgroundRole:
      if (row >= table_->FixedRows() && table_->Mark(col, row) != 0)
        return ColorFromBgr(kMarkedColor);
      return QVariant();
    case Qt::TextAlignmentRole:
      return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return QVariant();
  }
}

Qt::ItemFlags TImportTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TImportTableModel::Refresh() {
  beginResetModel();
  endResetModel();
}
