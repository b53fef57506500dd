#include "import/widgets/ImportTableModel.h"

#include <QTableView>
#include <gtest/gtest.h>

#include "basic/widgets/QtGlue.h"
#include "import/ExcelReadUnit.h"

TEST(ImportTableModel, ShowsCellsAndPaintsMarkedDataCells) {
  TImportTable table;
  table.SetRowCount(1);
  table.SetColCount(2);
  table.SetCell(0, 0, " Name");
  table.SetCell(1, 0, " (ignorieren)");
  SpreadsheetToGrid({"Name\tNr", "M\xFCller\t0815"}, table, 0, true, 1);
  table.SetFixedRows(2);
  table.SetMark(0, 2, 1);
  table.SetMark(0, 1, 1);  // a fixed row stays unpainted

  TImportTableModel model(&table);
  QTableView view;
  view.setModel(&model);
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(model.data(model.index(2, 0)).toString(), QString::fromUtf8(" M\xC3\xBCller"));
  EXPECT_EQ(model.data(model.index(2, 1)).toString(), QString(" 0815"));
  EXPECT_EQ(model.data(model.index(2, 0), Qt::BackgroundRole).value<QColor>(),
            ColorFromBgr(TImportTableModel::kMarkedColor));
  EXPECT_EQ(model.data(model.index(2, 0), Qt::BackgroundRole).value<QColor>(), QColor(0xE0, 0xFF, 0xE0));
  EXPECT_FALSE(model.data(model.index(1, 0), Qt::BackgroundRole).isValid());
  EXPECT_FALSE(model.data(model.index(2, 1), Qt::BackgroundRole).isValid());
  EXPECT_EQ(model.data(model.index(1, 0), TImportTableModel::MarkRole).toInt(), 1);
  EXPECT_FALSE(model.flags(model.index(2, 0)) & Qt::ItemIsEditable);

  table.ClearMarks();
  SpreadsheetToGrid({"a"}, table, 0, true, 1);
  model.Refresh();
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_FALSE(model.data(model.index(1, 0), Qt::BackgroundRole).isValid());
}
