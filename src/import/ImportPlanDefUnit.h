#pragma once
// Manual definitions of a locking plan's areas. Where the plan import's recognition fails,
// the user marks a cell of the sheet as the heading of a plan field or as the field's first
// data cell; those marks live in a TIndiDefList and in a definitions file (".pis") in the
// data folder, so that the next plan of the same locksmith is recognised at once.
//
// A plan field is a column field (kind 1: a column of the cylinder table, as the door name)
// or a row field (kind 2: a row of the key table, as the group key's name) and its index in
// that kind's list.

#include <cstdint>
#include <string>
#include <vector>

class TImportTable;
class TMLStringList;

// The unit's texts: the field captions, the define-cell dialog and the cell hints.
const TMLStringList* ImportPlanDefTexts();
std::string ImportPlanDefText(int number);

// Kinds of plan fields.
constexpr int32_t pdkColumn = 1;
constexpr int32_t pdkRow = 2;

// The column fields, in the order of their list.
enum TPlanColumnField : int {
  pcfPosition = 0,
  pcfSchliessung,
  pcfDoor,
  pcfRoom,
  pcfRoomNumber,
  pcfSingleKey,
  pcfKeyCount,
  pcfCylinder,
  pcfCylinderCount,
  pcfCylinderType,
  pcfLengthA,
  pcfLengthB,
  pcfSurface,
  pcfBuilding,
  pcfFloor,
  pcfKeyRemark,
  pcfCylinderRemark,
  pcfDoorRemark,
  kPlanColumnFieldCount
};
// The row fields.
enum TPlanRowField : int {
  prfGroupKey = 0,
  prfKeyType,
  prfGroupKeyCount,
  prfGroup,
  kPlanRowFieldCount
};

// The captions of the fields in the current language. The cylinder and the building caption
// are the program's singular terms for them (empty: "Zylinder", "Geb\xE4ude").
std::vector<std::string> PlanColumnFieldCaptions(const std::string& cylinderCaption = "",
                                                 const std::string& buildingCaption = "");
std::vector<std::string> PlanRowFieldCaptions();

// One manual definition: a field's heading text and cells. -1 = no such cell.
struct IndiDef {
  int32_t kind = 0;
  int32_t index = 0;
  std::u16string title;  // the heading's text, kept wide: a sheet may hold any character
  int32_t dataCol = -1;
  int32_t dataRow = -1;
  int32_t titleCol = -1;
  int32_t titleRow = -1;
  bool operator==(const IndiDef&) const = default;
};

class TIndiDefList {
 public:
  std::vector<IndiDef> Items;
  bool Modified = false;
  std::string Path;   // "P": the definitions file last loaded or saved
  std::string Table;  // "E": the table file last loaded

  void Clear() { Items.clear(); }
  int Count() const { return static_cast<int>(Items.size()); }
  // The definition of a field, nullptr when none.
  IndiDef* Find(int32_t kind, int32_t index);
  const IndiDef* Find(int32_t kind, int32_t index) const;
  // The definition of a field, appended (no cells, no heading) when missing.
  IndiDef& Obtain(int32_t kind, int32_t index);
};

// The default name of the definitions file in the data folder.
inline constexpr char kPlanDefsFileName[] = "PlanImportSettings.pis";

// The greatest cell column or row a definition may name: the import table holds at most
// ten million cells, so no table the import reads has a cell beyond.
inline constexpr int32_t kPlanDefMaxCell = 10'000'000;

// Reads a definitions file into `list` (cleared first). True when it was read and its "A"
// line names the format "LPIS"; otherwise the list is left empty. A field defined twice
// keeps the definition of its last line. A definition whose kind, field index or cells
// are not numbers or lie outside their range (kind 1 or 2, an index of that kind's list,
// cells -1 to kPlanDefMaxCell) is dropped; a missing number reads as 0.
bool LoadIndiDefs(TIndiDefList& list, const std::string& fileName);
// Writes the list (safe save). True when written.
bool SaveIndiDefs(const TIndiDefList& list, const std::string& fileName);
// After the dialog: writes the list only when it was changed and the program may write;
// clears the modified flag once written. True when nothing is left unwritten.
bool SaveIndiDefsWhenModified(TIndiDefList& list, const std::string& fileName, bool readOnly);

// The heading text as the file holds it: every character outside the 1252 code page, every
// control character and "&" itself written as "&#" + decimal code + ";".
std::string EncodeDefTitle(const std::u16string& title);
// The way back: "&#" + 1 to 65535 + ";" becomes that character, anything else stays text.
std::u16string DecodeDefTitle(const std::string& text);

// Appends a definition of that kind, field index 0, with only the heading cell set (the
// recognition keeps the headings it found this way).
void AddTitleDef(TIndiDefList& list, int32_t kind, int32_t col, int32_t row);

// Lookups; -1 or empty when nothing fits.
int32_t GetDefDataCol(const TIndiDefList& list, int32_t kind, int32_t index);
int32_t GetDefDataRow(const TIndiDefList& list, int32_t kind, int32_t index);
std::u16string GetDefTitle(const TIndiDefList& list, int32_t kind, int32_t index);
int32_t GetFirstCylDataRow(const TIndiDefList& list);
int32_t GetFirstKeyDataCol(const TIndiDefList& list);
int32_t GetLastCylTitleRow(const TIndiDefList& list);
int32_t GetLastKeyTitleCol(const TIndiDefList& list);
int32_t GetCellDefKind(const TIndiDefList& list, int32_t col, int32_t row);
std::string GetCellDefHint(const TIndiDefList& list, int32_t col, int32_t row);

// What the define-cell dialog's OK does with the choice for a cell of the plan grid.
enum class TCellDefChoice { Heading, FirstData, Nothing };
// Clears the cell from every definition (dropping definitions left with no heading text
// and no data column), then, unless `choice` is Nothing, makes it the heading (the cell's
// trimmed text; an empty cell sets nothing) or the first data cell of the field (kind,
// index). Any change sets the list's modified flag.
void ApplyCellDefinition(TIndiDefList& list, const TImportTable& grid, int32_t col, int32_t row,
                         TCellDefChoice choice, int32_t kind, int32_t index);
