#pragma once
// The detailed change log ("Detailliertes Bearbeitungsprotokoll"): month by month every
// stored change of records, field by field, rebuilt from the month's copy and change log
// (data/ChangeLogRowsUnit.h) in a store of its own that is never saved. Opens for all
// records (the menu command "ChangeLog1") or for the record of the history view; a record
// chosen in it opens in its view afterwards.

#include <cstdint>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>

#include "data/ChangeLogRowsUnit.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The grid's rows with their colours: entries alternate white and light green, the column
// pairs 0/1, 4/5, 8/9, 12/13 a step darker.
class TChangeLogModel : public QAbstractTableModel {
 public:
  explicit TChangeLogModel(QObject* parent) : QAbstractTableModel(parent) {}
  void SetRows(std::vector<TChangeLogRow> rows, int columns);
  const std::vector<TChangeLogRow>& Rows() const { return rows_; }
  int Columns() const { return columns_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The background of a cell as a colour value (blue-green-red).
  static uint32_t CellColor(bool shaded, int column);

 private:
  std::vector<TChangeLogRow> rows_;
  std::vector<std::string> titles_;
  int columns_ = 4;
};

class TChangeLogForm : public QDialog {
 public:
  explicit TChangeLogForm(QWidget* parent);

  QLabel* MonthLabel;
  QPushButton* MonthDownBtn;
  QPushButton* MonthUpBtn;
  QComboBox* TypeCombo;
  QComboBox* KeysystemCombo;
  QCheckBox* AvailableCheck;
  QLineEdit* ClosingEd;
  QPushButton* SeekBtn;
  QPushButton* ExportBtn;
  QPushButton* ExcelBtn;
  QPushButton* GotoBtn;
  QPushButton* CloseBtn;
  QTableView* Grid;
  TChangeLogModel* Model;
  QLabel* EmptyLabel;  // message 3 in the grid's place

  // The moment shown (UTC): now at opening, a month's last moment after month steps.
  double Moment = 0;
  // Only this record's changes (the history view's record); 0 = all.
  int32_t RecordId = 0;
  // The record chosen with the open button or a double click; 0 without.
  int32_t ChosenId = 0;

  void MonthUpDownClick(int delta);
  void SeekBtnClick() { Rebuild(); }
  void GridClick();
  void GridDblClick();
  void ExportBtnClick(bool toSpreadsheet);
  void TypeComboChange();
  // Frees the old entries, rebuilds the month and fills the grid.
  void Rebuild();
  // The grid again from the kept entries with the current filters.
  void FillGrid();
  TChangeLogFilter Filter() const;
  // The record of the selected row, when it still exists to be shown; 0 otherwise.
  int32_t SelectedRecord() const;
  // The record the selected row's entry names, whether it still exists or not; 0 without.
  int32_t SelectedEntryRecord() const;
  const TChangeList& Changes() const { return changes_; }

 private:
  void FillKeysystems();
  TChangeList changes_;
  double lastFill_ = -1;  // when the grid was last filled (UTC), for the store's reread
};

// Opens the change log for all records; a record chosen there is shown in its view.
void ShowChangeLog();
// The same for one record's changes.
void ShowChangeLogOf(int32_t id);
