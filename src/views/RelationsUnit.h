#pragma once
// The relations list ("Liste der Beziehungen/Verknüpfungen"): every key with the persons who
// hold it, the doors it opens and the cylinder by which it opens each door, as one table
// grouped by keys, persons, cylinders or doors, with the columns chosen from the field
// catalogue, exported as a text file or a workbook.
//
// The relation records are built once per opening of the window; the table is refilled from
// them whenever the grouping or the columns change.

#include <cstdint>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableView;
class TMiniDB;

// One relation: a key, a cylinder it locks, the door of that cylinder and a person who holds
// the key; 0 where there is none.
struct TRelationRecord {
  int32_t key = 0;
  int32_t cylinder = 0;
  int32_t door = 0;
  int32_t person = 0;
  bool used = false;  // given a row under a record of the leading class
  bool operator==(const TRelationRecord& o) const {
    return key == o.key && cylinder == o.cylinder && door == o.door && person == o.person;
  }
};

// For every valid key in store order: with holders and doors one record per door, cylinder
// and holder (door-major); with doors only one per door and cylinder; with holders only one
// per holder; with neither one with the key alone. The cylinder of a door is each of the
// door's cylinders that the key locks (directly or through its groups); a door the key opens
// otherwise (linked directly, or as general master key) keeps its first cylinder.
std::vector<TRelationRecord> BuildRelationRecords(const TMiniDB& db);

// The ID of `cls` (3 door, 4 key, 5 person, 6 cylinder) in the record; 0 for other classes.
int32_t RelationIdOf(const TRelationRecord& record, int cls);

// One column of the table: the catalogue entry and the class whose record it reads.
struct TRelationColumn {
  int cls = 0;
  int field = 0;  // index into the field catalogue
};

// The filled table: one row of cell texts per line, and the leading record of each row (0
// for the rows of relation records whose leading ID matched no record).
struct TRelationTable {
  std::vector<std::vector<std::string>> rows;
  std::vector<int32_t> leaders;
};

// The rows under the leading class: its valid records in the order of their display names,
// each followed by the rows of its relation records (a row equal in every cell to an earlier
// row of the same record is left out); then the relation records no leading record took.
// Marks the records used.
TRelationTable BuildRelationTable(TMiniDB& db, std::vector<TRelationRecord>& records,
                                  int leaderClass, const std::vector<TRelationColumn>& columns);

// The order of the four field lists under each leading class.
std::vector<int> RelationClassOrder(int leaderClass);

class TRelationsModel : public QAbstractTableModel {
 public:
  explicit TRelationsModel(QObject* parent) : QAbstractTableModel(parent) {}
  void SetTable(TRelationTable table, std::vector<std::string> titles);
  const TRelationTable& Table() const { return table_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  TRelationTable table_;
  std::vector<std::string> titles_;
};

class TRelationsForm : public QDialog {
 public:
  explicit TRelationsForm(QWidget* parent = nullptr);

  QWidget* TopPanel;
  QLabel* Label2;
  QComboBox* LeaderCombo;
  QPushButton* StartBtn;
  QCheckBox* KeysCheck;
  QCheckBox* PersCheck;
  QCheckBox* CylsCheck;
  QCheckBox* DoorsCheck;
  QListWidget* KeysCheckBox;
  QListWidget* PersCheckBox;
  QListWidget* CylsCheckBox;
  QListWidget* DoorsCheckBox;
  QSplitter* Splitter;
  QTableView* Grid;
  TRelationsModel* Model;
  QWidget* FootPanel;
  QPushButton* ExportBtn;
  QPushButton* ExcelBtn;
  QPushButton* EscBtn;
  QPushButton* GotoDoorBtn;  // no function in this system: disabled
  QPushButton* GotoCylBtn;   // no function in this system: disabled
  QPushButton* GotoKeyBtn;   // no function in this system: disabled

  // The leading class and the field lists (each only when still empty).
  void FillOptions();
  // Builds the relation records when there are none yet and fills the grid.
  void StartBtnClick();
  void FillGrid();
  bool ExportBtnClick();
  bool ExcelBtnClick();
  // A click in column 0 selects the block of rows of that row's leading record.
  void SelectBlockOf(int row);
  // The field list of the class (3, 4, 5, 6); its check box.
  QListWidget* FieldListOf(int cls) const;
  QCheckBox* CheckOf(int cls) const;
  int LeaderClass() const;
  const std::vector<TRelationRecord>& Records() const { return records_; }

 private:
  std::vector<TRelationRecord> records_;
  bool built_ = false;
};

// Loads the field catalogue (a missing file is told), opens the window modally, frees the
// relation records. False when the catalogue could not be read.
bool ShowRelations();
