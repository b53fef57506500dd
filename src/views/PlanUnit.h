#pragma once
// The locking-plan window (" Schließplan", F7): the matrix of data/LockingPlanUnit.h drawn
// by a grid of our own that paints only the cells in sight (the text columns and the three
// header rows stay put while the keys and rows scroll), key names turned upright, a
// cross-hair through the selected row and key. The window can hand a door, cylinder or key
// back to the main window, and writes the matrix as CSV text or a workbook.
//
// The window is made once and kept; the user's choice of columns and sort is read from the
// user record ("PlanView") before it opens and stored after it closes, only when changed.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QAbstractScrollArea>
#include <QDialog>

#include "basic/MultiLingua.h"
#include "data/LockingPlanUnit.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class TCsvOrExcel;

// The unit's texts (group "PlanUnit").
const TMLStringList* PlanTexts();
std::string PlanText(int number);

// The window's go-to results: the door, the cylinder, the key of the selection.
inline constexpr int kPlanGotoDoor = 1;
inline constexpr int kPlanGotoCylinder = 4;
inline constexpr int kPlanGotoKey = 6;

// The matrix as a painted grid. Grid coordinates: columns are the shown text columns, the
// separator column, then one column per key; rows are the three header rows, then one per
// plan row.
class TPlanGridWidget : public QAbstractScrollArea {
 public:
  explicit TPlanGridWidget(QWidget* parent);

  // The plan to show (kept by the caller) with its text columns; measures the widths once.
  void SetPlan(const TPlanGrid* plan, const TPlanView& view,
               const std::array<std::string, kPlanColumnCount>& captions,
               const std::string& separatorCaption);
  // Widths again after columns were removed from the kept plan.
  void Remeasure();

  int TextColumnCount() const { return static_cast<int>(textColumns_.size()); }
  int FixedColumnCount() const { return TextColumnCount() + 1; }
  int ColumnCount() const;
  int RowCount() const;
  int KeyOfColumn(int column) const;  // key index of a grid column, -1 outside the keys
  int RowOfGridRow(int row) const;    // plan row of a grid row, -1 in the header
  // What a cell shows as text (header texts, row texts, marks); "" for empty cells.
  std::string CellText(int column, int row) const;
  // The background a cell is painted with (blue-green-red), as the painting decides it.
  uint32_t CellColor(int column, int row) const;
  int ColumnWidth(int column) const;
  int RowHeight(int row) const;

  // The selection: a plan row and a key index, -1 when none. Moves the grid to show it.
  int SelectedRow = -1;
  int SelectedKey = -1;
  void Select(int row, int key, bool scrollTo);
  // The cell at a point of the viewport (grid coordinates); false outside the cells.
  bool CellAt(const QPoint& point, int& column, int& row) const;
  // The cell's rectangle in the viewport as painted now (scrolled part moved).
  QRect CellRect(int column, int row) const;

  // After a click or a right click that changed the selection.
  std::function<void()> OnClick;
  std::function<void(const QPoint& global)> OnContextMenu;

  // Cells drawn by the last paint (only those in sight), for the tests and the benchmark.
  int PaintedCells = 0;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  int FixedWidth() const;
  int HeaderHeight() const;
  int FirstKeyAt(int x) const;  // key index at a content x of the key area

  const TPlanGrid* plan_ = nullptr;
  std::vector<int> textColumns_;  // plan column of each shown text column
  std::array<std::string, kPlanColumnCount> captions_;
  std::string separatorCaption_;
  std::vector<int> fixedWidths_;  // text columns and the separator
  std::vector<int> keyLeft_;      // content x of each key column, one more at the end
  int keyWidth_ = 20;
  int rowHeight_ = 18;
  std::array<int, 3> headerHeights_{};
};

class TPlanForm : public QDialog {
 public:
  explicit TPlanForm(QWidget* parent);

  QMenuBar* MainMenu;
  QAction* ExportCsvItem;
  QAction* ExportExcelItem;
  QAction* CloseItem;
  std::array<QAction*, kPlanColumnCount> ColumnItems{};
  QAction* SortPositionItem;
  QAction* SortDoorItem;
  QAction* GotoCoLockItem;
  QAction* GotoCentralItem;
  QAction* GotoSearchItem;
  QMenu* PopupMenu;
  QAction* RemoveLockItem;
  QAction* PopDoorItem;
  QAction* PopCylItem;
  QAction* PopKeyItem;

  QComboBox* KeysystemCombo;
  QComboBox* HouseCombo;
  QCheckBox* UnusedKeysCheck;
  QCheckBox* ESKeysCheck;
  TPlanGridWidget* Grid;
  QLabel* noResultsPanel;
  QPushButton* EscBtn;
  QPushButton* ExportBtn;
  QPushButton* ExcelBtn;
  QPushButton* GotoDoorBtn;
  QPushButton* GotoCylBtn;
  QPushButton* GotoKeyBtn;

  // The columns and the sort shown; read from and stored to the user record around a run.
  TPlanView View;
  // The matrix shown.
  const TPlanGrid& Plan() const { return plan_; }
  // The IDs behind the go-to buttons (0: disabled).
  int32_t GotoDoorId = 0;
  int32_t GotoCylId = 0;
  int32_t GotoKeyId = 0;

  // The locking systems in use and all buildings, keeping the choice where it still exists.
  void FillCombos();
  // Builds the matrix for the chosen system and building and shows it (or the panel).
  void BuildGrid();
  // After a click: the go-to buttons and items follow the selection.
  void GridClick();
  void ToggleColumn(int column);
  void SetSortByDoor(bool byDoor);
  void UnusedKeysClick();
  // "Gehe zu".
  void GotoCoLockClick();
  void GotoCentralClick();
  void GotoSearchClick();
  // Right 11 first; the save dialog (a workbook for ".xls"/".xlsx" names, written under
  // exactly the name chosen), or with
  // `toSpreadsheet` a workbook in the temporary folder opened by the desktop.
  bool ExportBtnClick(bool toSpreadsheet);
  // The cells as exported, with the system's and the building's names.
  std::vector<std::vector<std::string>> ExportCells() const;
  // Writes them row by row: text, or a workbook with the key headers turned (".xlsx", or
  // ".xls" when the plan fits that format). False when writing failed (the target keeps its
  // old content); `refusal` then gets the text for the user when the name's kind or the
  // format's limits refused the plan (TCsvOrExcel::Refusal), else stays empty.
  bool ExportTo(const std::string& fileName, bool workbook, std::string* refusal = nullptr) const;
  // The file name proposed for an export: the plan's caption and the building (the system
  // when the building list shows "-"), safe for a file name.
  std::string ExportProposal() const;
  // The ID the modal result stands for (0 for none).
  int32_t ResultId(int result) const;

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceNoResultsPanel();
  void ShowGridOrPanel();
  std::array<std::string, kPlanColumnCount> Captions() const;
  bool filling_ = false;
  TPlanGrid plan_;
};

// The plan's cells row by row into an open writer, the key headers of rows 0 and 1 turned
// in a workbook; only one row is held at a time. False at the first row refused (the
// writer's Refusal() may say why).
bool WritePlanRows(const TPlanCellRows& rows, TCsvOrExcel& out);

// Reads the user's column choice, shows the window (made once) with a fresh matrix, stores
// the choice afterwards; the ID of the door, cylinder or key chosen with a go-to command, 0
// otherwise.
int32_t ShowLockingPlan();
// The menu command "Plan1": the window, then the store read again (views refreshed when it
// changed) and the chosen record shown in its view.
void RunPlanCommand();
// The kept window, null before the first use (tests).
TPlanForm* PlanFormInstance();
void FreePlanForm();
