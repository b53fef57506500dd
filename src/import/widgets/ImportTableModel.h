#pragma once
// The import table on the screen: a read-only model over a TImportTable. Row 0 holds the
// column captions and the table's fixed rows follow it like data; a marked data cell (taken
// by the last check or import) is painted light green.

#include <QAbstractTableModel>

#include "import/ImportTable.h"

class TImportTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The colour of a marked data cell ($E0FFE0 as a BGR value).
  static constexpr std::uint32_t kMarkedColor = 0xE0FFE0;
  // The role that gives a cell's mark (an int).
  static constexpr int MarkRole = Qt::UserRole + 1;

  explicit TImportTableModel(const TImportTable* table, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // After the table changed (loaded, captions or marks set): the views show it anew.
  void Refresh();

 private:
  const TImportTable* table_;
};
