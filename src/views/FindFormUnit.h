#pragma once
// The extended search ("erweiterte Suche  [Strg+F]") and the object picker (" Objekt
// auswählen"), two small modal dialogs.
//
// TFindForm is made once and kept, so the last hits are there again when it opens next
// time; its search is data/RecordSearchUnit.h's. TObjectSelWin is made for each use. Both
// run through ExecModal; their hit and name lists are model/view tables (a search may
// find tens of thousands of records).

#include <cstdint>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>

#include "basic/SLUnit.h"
#include "data/RecordSearchUnit.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The rows of a table of texts with a record ID per row (column 0's object).
class TIdTableModel : public QAbstractTableModel {
 public:
  TIdTableModel(QObject* parent, std::vector<std::string> titles);
  void SetRows(std::vector<std::vector<std::string>> rows, std::vector<int32_t> ids);
  int32_t IdOf(int row) const;
  const std::vector<std::vector<std::string>>& Rows() const { return rows_; }
  const std::vector<std::string>& Titles() const { return titles_; }
  void SetTitles(std::vector<std::string> titles);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<std::string> titles_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<int32_t> ids_;
};

class TFindForm : public QDialog {
 public:
  explicit TFindForm(QWidget* parent);

  QWidget* HeadPanel;
  QLabel* Label1;
  QLineEdit* SeekEd;
  QPushButton* SeekBtn;
  QPushButton* EscBtn;
  QTableView* Grid;
  TIdTableModel* Hits;
  QWidget* FootPanel;
  QPushButton* GotoBtn;

  void SeekBtnClick();
  void SeekEdChange();
  // While the search term has the focus, Enter searches; elsewhere it does not.
  void SeekEdEnter();
  void SeekEdExit();
  void GridClick();
  void GridDblClick();
  void GotoBtnClick() { done(1); }
  // The record of the selected hit row; 0 without.
  int32_t SelectedId() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Opens the search; the record of the hit chosen with "anzeigen", else 0. A kept hit whose
// record is no longer valid once the store is read again (another station deleted it) is
// not returned: the search runs again and the dialog shows the fresh hits.
int32_t ShowFindForm();
// The kept dialog, null before the first search (tests).
TFindForm* FindFormInstance();
void FreeFindForm();

class TObjectSelWin : public QDialog {
 public:
  explicit TObjectSelWin(QWidget* parent);

  QTableView* Grid;
  TIdTableModel* Names;
  QPushButton* OkBtn;
  QPushButton* AllBtn;
  QPushButton* ESCBtn;

  void GridClick();
  void GridDblClick();
  int32_t SelectedId() const;
};

// The records of `list` (names with their IDs as objects) to choose from: the chosen ID,
// -1 for "Alle auswählen", 0 when cancelled. An empty list gives 0 without a dialog.
int32_t ShowObjectSelection(const TQStringList& list);

// The work of the menu command "Seek1": the search, then the chosen record in its view.
void RunSeekCommand();
