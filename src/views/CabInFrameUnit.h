#pragma once
// The cabinet rows of the keys view: in which key cabinets a key hangs, on which hook, how
// many of its pieces are there now ("ct") and how many belong there ("tl"). The values live
// on the key's links to its cabinets, not in fields of the key.
//
// Every row control carries a tag: (column kind << 24) + row number. Row 0 is always
// there; further rows are made at run time below it.
//
// The counts at a hook change with every issue and return booked to that cabinet, also
// while a user edits the key. So a row remembers what it showed, and saving writes a count
// only when the user changed it, and then as a change by the difference: a booking made
// meanwhile survives the save.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QFrame>

#include "data/ItemList.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class TMLStringList;
class TMiniDB;

// The message table "CabInFrame" (entry 0 the table's name).
const TMLStringList* CabInFrameTexts();
std::string CabInFrameText(int number);

// Column kinds of the row tags.
inline constexpr int kCabColCabinet = 1;
inline constexpr int kCabColCount = 2;
inline constexpr int kCabColTotal = 3;
inline constexpr int kCabColHook = 4;
inline constexpr int CabRowTag(int kind, int row) { return (kind << 24) + row; }

// One row as entered, with what it showed when it was loaded.
struct TCabRowInput {
  int32_t cabinet = 0;
  std::string count, total, hook;  // trimmed
  int32_t shownCabinet = 0;
  std::string shownCount, shownTotal;
};

// The check of the rows: the cabinets chosen in row order; false with the error text.
bool CheckCabinetRows(const std::vector<TCabRowInput>& rows, std::vector<int32_t>& cabinets,
                      std::string& error);
// Stores the rows for the key inside the caller's write (which holds the key, the cabinets
// it hangs in now and the chosen ones): the cabinet links become the chosen ones (back
// links in step); "po" is the row's text; "ct" and "tl" are written only when the user
// changed them, as the stored value plus the difference (the entered text when either
// side is no number, or for a cabinet the row did not show); the key's old "cabpos" goes.
// False with the error text when a row is wrong (nothing stored then).
bool StoreCabinetRows(TMiniDB& db, int32_t key, const std::vector<TCabRowInput>& rows,
                      std::string& error);

class TCabInFrame : public QFrame {
 public:
  explicit TCabInFrame(QWidget* parent);

  QComboBox* CabinetCombo;  // row 0
  QLineEdit* PosEd;
  QLineEdit* CntEd;
  QLineEdit* TotalEd;
  QMenu* PopupMenu1;
  QAction* MoreLines1;  // "neue Zeile / weiterer Schrank"

  bool Editing = false;
  int NextTop = 0;
  int FocusedRow = 0;
  int32_t KeyId = 0;
  // The height changed by the argument (new minus old).
  std::function<void(int delta)> OnSizeChanged;

  int RowCount() const { return static_cast<int>(rows_.size()); }
  QComboBox* Combo(int row) const { return rows_[static_cast<size_t>(row)].combo; }
  QLineEdit* Count(int row) const { return rows_[static_cast<size_t>(row)].count; }
  QLineEdit* Total(int row) const { return rows_[static_cast<size_t>(row)].total; }
  QLineEdit* Hook(int row) const { return rows_[static_cast<size_t>(row)].hook; }

  void Clear(bool notify);
  // The key's rows; the change in height.
  int LoadRows(int32_t key);
  void StartEdit();
  void EndEdit();
  void FillCabinetCombos();
  TItemList GetCabinetIds() const;
  int32_t SelectedCabinet() const;
  void PresetCabinet(int32_t cabinet);
  // The rows as entered.
  std::vector<TCabRowInput> Rows() const;
  // Check only, or store inside the caller's write (StoreCabinetRows); false with the error.
  bool SaveRows(TMiniDB& db, bool checkOnly, std::string& error);
  void ApplySettings();
  void MoreLines1Click();
  void PopupMenu1Popup();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TRow {
    QComboBox* combo = nullptr;
    QLineEdit* hook = nullptr;
    QLineEdit* count = nullptr;
    QLineEdit* total = nullptr;
    int32_t shownCabinet = 0;
    std::string shownCount, shownTotal;
  };
  void AddRow();
  void PlaceRow(TRow& row, int index, int top);
  void FillCombo(QComboBox* combo) const;
  void SetRowLook(const TRow& row) const;
  void SetHeightTo(int height);
  int ComboHeight() const;
  std::vector<TRow> rows_;
};
