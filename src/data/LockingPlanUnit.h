#pragma once
// The locking plan of one locking system as a matrix, without any window: one row per
// cylinder position (a cylinder with its door, or a door without cylinder), one column per
// key, and a mark where the key locks the row. The plan window (views/PlanUnit) draws it,
// the exports write it.
//
// The marks come from the relation queries (LockingRelations.h), so the plan shows exactly
// what every other place says about who opens what: a door row holds the keys of
// GetKeysOfDoor (direct door links, the door's cylinders, their groups and the groups
// above), a row found through its cylinder only the keys of GetKeysOfItem of the cylinder;
// a general master key marks every row.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "data/UnitTR100.h"

class TMiniDB;

// The optional text columns, in the order of the grid.
enum TPlanColumn : int {
  pcPosition = 0,   // A  "pos" of the cylinder, else of the door
  pcDoor,           // B  the door's name
  pcRoom,           // L  the door's room
  pcCylinder,       // C  the cylinder's name
  pcClosing,        // D  "k603" of the cylinder, else of the door
  pcCylinderCount,  // E  "ccnt" of the cylinder
  pcType,           // F  "ctyp" of the cylinder
  pcFinish,         // G  "ofl" of the cylinder
  pcLength,         // H  "len" of the cylinder, else of the door
  pcSingleKey,      // I  the single keys that open the row
  pcKeyCount,       // J  their pieces in total
};
inline constexpr int kPlanColumnCount = 11;
// The letter of each column in the stored choice, in grid order.
inline constexpr char kPlanColumnLetters[kPlanColumnCount + 1] = "ABLCDEFGHIJ";
// The letter that stands for "sorted by door name".
inline constexpr char kPlanByDoorLetter = 'K';

struct TPlanView {
  std::array<bool, kPlanColumnCount> shown{};
  bool byDoorName = false;
  bool operator==(const TPlanView&) const = default;
};
// The stored text: the letters of the shown columns in alphabetical order, K when sorted by
// door name. Reading it makes the choice consistent (NormalizePlanView).
std::string EncodePlanView(const TPlanView& view);
TPlanView DecodePlanView(const std::string& text);
// The key-count column only with the single-key column; the cylinder column when no
// column is left.
void NormalizePlanView(TPlanView& view);
// The user's stored choice ("PlanView" on the user record).
inline constexpr char kPlanViewField[] = "PlanView";
TPlanView ReadPlanView(const TMiniDB& db, int32_t user);
// Stores the choice on the user record through one TStoreWrite, only when it differs from
// the stored text. True when stored or unchanged; false (nothing changed) when refused.
bool SavePlanView(TMiniDB& db, int32_t user, const TPlanView& view);

// The marks.
inline constexpr char kMarkLocks = 'X';
inline constexpr char kMarkCoLockI = 'I';
inline constexpr char kMarkCoLockM = 'M';
inline constexpr char kMarkCentral = 'Z';

struct TPlanRow {
  int32_t cylinder = 0;
  int32_t door = 0;
  bool fromDoor = false;  // found through the door
  char rowMark = kMarkLocks;
  std::array<std::string, kPlanColumnCount> texts;
  // The marked key columns, ascending column index, each with its mark.
  std::vector<std::pair<int, char>> marks;
  // The mark in a key column, 0 when none.
  char MarkAt(int column) const;
};

struct TPlanKey {
  int32_t id = 0;
  std::string ident;  // header row 0: the key's closing ("k603")
  std::string name;   // header row 1
};

// A text column is as wide as its widest text plus 8 pixels, and at most 300 pixels: a text
// wider than kPlanTextWidthMax does not fit its cell.
inline constexpr int kPlanTextColumnMax = 300;
inline constexpr int kPlanTextWidthMax = kPlanTextColumnMax - 8;
// How wide a text is drawn, in pixels.
using TPlanTextWidth = std::function<int(const std::string&)>;
// `text` when it is at most `maxWidth` wide, else cut so that it fits with a marker at its
// end: a list of items joined by ", " keeps its whole leading items and ends with ", ...";
// otherwise whole leading words are kept and " ..." follows; a first item or word that
// alone does not fit is cut inside (" ...").
std::string FitPlanText(const std::string& text, int maxWidth, const TPlanTextWidth& width);

struct TPlanOptions {
  TKeySystemCode system = ksNone;
  int32_t building = 0;  // 0: all
  bool byDoorName = false;
  bool singleKeys = false;  // keys of types other than 2..6 get columns too
  bool unusedKeys = false;  // keep key columns without any mark
  // With a measure, the texts of the columns marked in `fitted` (the shown ones) are cut to
  // their cell (FitPlanText with kPlanTextWidthMax); without one every text stays whole.
  TPlanTextWidth textWidth;
  std::array<bool, kPlanColumnCount> fitted{};
};

struct TPlanGrid {
  std::vector<TPlanRow> rows;
  std::vector<TPlanKey> keys;
  // Neither a row nor a key column: the window shows the "nothing found" text instead.
  bool Empty() const { return rows.empty() && keys.empty(); }
  int KeyColumnOf(int32_t key) const;         // -1 when the key has no column
  int RowOfCylinder(int32_t cylinder) const;  // -1 when none
};

// Builds the plan (nothing for locking system 0). Reads without side effects.
TPlanGrid BuildPlanGrid(const TMiniDB& db, const TPlanOptions& options);
// Removes the key columns without any mark; the others move left, marks follow them.
void RemoveUnusedKeyColumns(TPlanGrid& grid);
// The key types that are always columns (group, main group, master, general master,
// upper group).
bool IsPlanMasterType(int keyType);

// The plan as cells for an export: three header rows, then the data rows; the shown text
// columns, one separator column (its caption in row 0), one column per key. The locking
// system's and the building's names go into the first cells of header rows 0 and 1 here
// only, never into the grid.
//
// Row by row, so that an export holds one row at a time: a plan of 30,000 rows and 4,321
// keys as strings all at once would take gigabytes.
class TPlanCellRows {
 public:
  // `grid` must outlive this object; the texts are copied.
  TPlanCellRows(const TPlanGrid& grid, const TPlanView& view,
                const std::array<std::string, kPlanColumnCount>& captions,
                const std::string& separatorCaption, const std::string& systemName,
                const std::string& buildingName);
  size_t Count() const { return 3 + grid_.rows.size(); }
  size_t Width() const { return first_ + grid_.keys.size(); }
  // The first key column (after the text columns and the separator).
  size_t FirstKeyColumn() const { return first_; }
  // Row `r` (0 .. Count()-1) into `cells`, which gets Width() cells; its strings are reused.
  void Row(size_t r, std::vector<std::string>& cells) const;

 private:
  const TPlanGrid& grid_;
  std::array<std::string, kPlanColumnCount> captions_;
  std::string separatorCaption_;
  std::string systemName_;
  std::string buildingName_;
  std::vector<int> textColumns_;
  size_t first_ = 0;
};
// All rows at once (small plans and tests).
std::vector<std::vector<std::string>> PlanCells(
    const TPlanGrid& grid, const TPlanView& view,
    const std::array<std::string, kPlanColumnCount>& captions, const std::string& separatorCaption,
    const std::string& systemName, const std::string& buildingName);
