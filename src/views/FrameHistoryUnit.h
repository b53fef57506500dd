#pragma once
// The history view ("Protokoll", page 10): every history line of one record (or of all
// records of a class), oldest first, the newest scrolled into view; from a row the user
// goes to the key or the person, starts a return, travels back in time to the moment of the
// line, or opens the detailed change log. History lines are never changed or deleted.
//
// The lines are read on a worker thread (THistoryRowLoader): the year files in blocks,
// beside the stations that append to them, without the reservation and without the
// history log of this station, so viewing never delays or stops the writing of history.
// Rows arrive in batches and are appended to the grid's model while the page stays
// responsive; a new record shown, or the view going away, stops the worker within a
// block. Names of records come from the store for the rows that are drawn.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFrame>

#include "app/UnitTR100Win.h"
#include "data/HistoryScanUnit.h"
#include "data/HistoryTableUnit.h"
#include "views/RowGridUnit.h"

class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

// The rows of the grid: compact rows, cell texts made when drawn. The rows stay in the
// pieces the worker made them in (with the text of their lines), so appending a batch moves
// a few pointers and the memory was touched on the worker, not here.
class THistoryTableModel : public QAbstractTableModel {
 public:
  explicit THistoryTableModel(QObject* parent);
  void Clear();
  void Append(THistoryRowBatch& batch);
  const THistoryRow* Row(int row) const;
  // The text of a cell (names from the store, kept while the rows are shown).
  std::string CellText(int row, int column) const;
  // Forget the names read (the store changed).
  void ForgetNames();
  // The column titles again in the current language.
  void Retitle();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  THistoryRow* MutableRow(int row);
  std::vector<std::vector<THistoryRow>> chunks_;
  std::vector<int> starts_;  // the table index of each chunk's first row
  std::vector<std::shared_ptr<THistoryLineStore>> stores_;
  int count_ = 0;
  std::vector<std::string> titles_;
  mutable std::unordered_map<uint64_t, std::string> names_;
  // The cells of the row drawn last: a row is drawn cell by cell, its line read once.
  mutable int cachedRow_ = -1;
  mutable std::vector<std::string> cachedCells_;
};

// A combo box that tells before its list drops down.
class TDropDownCombo : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;
  void showPopup() override;
};

class TFrameHistory : public QFrame, public IView {
 public:
  explicit TFrameHistory(QWidget* owner);
  ~TFrameHistory() override;

  QComboBox* TypeCombo;          // key, persons term, user
  TDropDownCombo* HistNameCombo;
  TDropDownCombo* KennCombo;
  QPushButton* SeekBtn;
  QCheckBox* TransferOnlyCheck;
  QLabel* CaptionLabel;
  QLabel* StatusLabel;           // "Suche läuft ...", the count, message 7
  QFrame* TipPanel;
  QLabel* TipLabel;
  TRowGridView* HistoryGrid;
  QLabel* NoEntriesLabel;  // message 7 in the grid's place
  THistoryTableModel* Model;
  QPushButton* GotoKeyBtn;
  QPushButton* ReturnBtn;
  QPushButton* GotoPersonBtn;
  QPushButton* TimebackBtn;
  QPushButton* ChangeLogBtn;
  QPushButton* HistoryPrintBtn;
  QPushButton* ExportBtn;
  QPushButton* ExcelBtn;
  QMenu* GridPopup;

  // The shown record: class, ID (0 = all records of the class), caption, name.
  int ShownClass() const { return cls_; }
  int32_t ShownId() const { return id_; }
  const std::string& ShownCaption() const { return caption_; }
  // The grid is complete (the worker has handed over its last batch).
  bool Complete() const { return complete_; }
  // Runs the event loop until the grid is complete (tests, the print and the export).
  void WaitComplete();

  void ShowHistoryOf(int cls, int32_t id, const std::string& caption, const std::string& name);
  void SeekBtnClick();
  void HistNameComboDropDown();
  void KennComboDropDown();
  void HistoryGridClick();
  void GotoKeyBtnClick();
  void ReturnBtnClick();
  void GotoPersonBtnClick();
  void TimebackBtnClick();
  void ChangeLogBtnClick();
  void HistoryPrintBtnClick();
  void ExportBtnClick(bool toSpreadsheet);
  void Delete1Click();
  void TipPanelClick();
  // The selected row (the current one of the selection), null without.
  const THistoryRow* SelectedRow() const;

  // IView
  void ShowHistoryOf(int32_t id) override;
  void RefreshView() override;
  // The language or the terms changed: column titles and the kinds of the choice.
  void TermsChanged() override;
  void ClearView() override;
  bool Print() override {
    HistoryPrintBtnClick();
    return true;
  }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The names of the class's objects in the history (THistoryNameCache), read on a thread.
  void CollectNames(int cls, const std::string& filter, TQStringList& list,
                    std::vector<THistoryYearFile>* failed);
  void StartLoading();
  void StopWorker();
  void OnBatch(int generation, THistoryRowBatch& batch);
  void UpdateStatus();
  THistoryFilter CurrentFilter() const;
  // The table as lines (the header first); only the selected rows when asked.
  std::vector<std::string> TableLines(bool selectedOnly) const;
  // The same as cells, for the printout.
  std::vector<std::vector<std::string>> TableRows(bool selectedOnly) const;
  // The table's rows in order; only the selected ones when asked.
  std::vector<int> RowsOf(bool selectedOnly) const;

  int cls_ = 0;
  int32_t id_ = 0;
  bool shown_ = false;     // a record (or a class) is shown
  bool stale_ = false;     // the data changed while the page was hidden
  bool complete_ = true;
  std::string caption_, name_;
  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  int generation_ = 0;
  THistoryNameCache names_;
};

// Registers the view for the history page.
void RegisterHistoryView();
// The page's view, null before the main window made it (tests).
TFrameHistory* HistoryFrame();
