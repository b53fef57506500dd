#pragma once
// The key cabinets view: the page that lists and edits key cabinets (records of class 8):
// name, hook count, grid size, remark, the users allowed to use a cabinet, and the keys
// kept in it with hook and count.
//
// Saving is one write over the cabinet and the users whose link changes: the name is
// checked against the other cabinets on the fresh data before a record is created, and
// the fields and the users' links are saved together or not at all. A cabinet that still
// holds keys cannot be deleted. Saving writes no history line.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/FrameMotherUnit.h"
#include "output/PrintSelectUnit.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;
class TListingGridFrame;
class TMLStringList;

const TMLStringList* FrameCabinetTexts();
std::string FrameCabinetText(int number);

// The count cell of a key in a cabinet: empty when neither the current count nor the
// maximum is set; else TAB + current + " / " + maximum + " ", a missing value shown as "?"
// and a one-character maximum preceded by two blanks.
std::string CabinetCountCell(const std::string& current, const std::string& maximum);

// One row of the keys grid.
struct TCabinetKeyRow {
  int32_t key = 0;
  std::string hook, name, count;
};
std::vector<TCabinetKeyRow> CabinetKeyRows(const TMiniDB& db, int32_t cabinet);
// The rows of the keys in `ids` (keys of the cabinet) whose hook or list name matches the
// search text (search-engine style; empty: all) and, unless `system` is 0x7FFFFFFF, whose
// locking system is `system`; sorted by hook.
std::vector<TCabinetKeyRow> CabinetKeyRows(const TMiniDB& db, int32_t cabinet,
                                           const std::vector<int32_t>& ids,
                                           const std::string& search, int32_t system);
// The keys grid shows hook, name and count; its fourth column stays empty and hidden.
constexpr int kCabinetKeysTextColumns = 3;
constexpr int kCabinetColumnMaxWidth = 300;
constexpr int kCabinetCellPadding = 16;
// Fills the keys grid with the rows: the key ID as each cell's data, column widths fitting
// their text up to 300 pixels.
void FillCabinetKeysGrid(QTableWidget* grid, const std::vector<TCabinetKeyRow>& rows);
// Column widths fitting title and cells, each at most 300 pixels; the empty fourth column
// takes no room.
void FitCabinetKeysColumns(QTableWidget* grid);

// The printout of the keys grid: one TAB line per row with a key (hook, the key's display
// name, its locking system, the count), the column captions first; only ticked columns.
std::vector<std::string> CabinetPrintLines(const TMiniDB& db, const QTableWidget* grid,
                                           const std::vector<TPrintField>& fields);

class TFrameCabinet : public TFrameMother {
 public:
  // The keys grid's titles in the language now in force.
  void TermsChanged() override;
  explicit TFrameCabinet(QWidget* owner);
  ~TFrameCabinet() override;

  int EditState = 0;  // 0 view, 1 editing, 2 new
  QLineEdit* NameEd;
  QLineEdit* PanelEd;
  QLineEdit* ColEd;
  QLineEdit* RowEd;
  QPlainTextEdit* RemMemo;
  QLabel* UsersLabel;
  QListWidget* UsersBox;
  TListingGridFrame* KeysListingGridFrame;
  // Prints the lines under the title; the program prints them as a grid, tests keep them.
  std::function<bool(const std::string&, const std::vector<std::string>&)> PrintLines;

  void InitLayout() override;
  void DiscardEdit() override;
  void EnterEditMode() override;
  void ClearDisplay() override;
  void ShowRecord(int32_t id) override;
  void RefreshView() override;
  bool StartEdit() override;
  bool CanDelete() override;
  void PrintMenu() override;
  bool PrintPage() override;
  void KeysListingGridFrameGridDblClick(int row);

  void NewBtnClick();
  bool SaveBtnClick();
  // Lists every user, the cabinet's ticked; changeable only with the full users right.
  void FillUsersBox(int32_t cabinet);
  std::vector<int32_t> CheckedUsers() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowViewMode();
  std::vector<TPrintField> printFields_;
  void SetFieldsEditable(bool editable);
};

void RegisterCabinetsView();
