#pragma once
// Recognition of a locking plan in a sheet: where the locking matrix (the crosses of group
// keys against cylinders) lies, which row heads the cylinder table and where its data
// begin, which column heads the key table and where the key columns begin, and which
// column or row holds each plan field. It reads nothing but the grid's cell texts; manual
// definitions win wherever they exist.
//
// The grid is a TImportTable as the plan dialog shows it: column 0 holds the row numbers,
// row 0 the column letters, the sheet's cells start at column 1, row 1.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "import/ImportPlanDefUnit.h"

class TImportTable;
class tMLSystem;

// The words the recognition looks for: per plan field its alternative headings (entries 1-22
// of "System/LockingPlan.lng") and a few single heading words, all in the program's language,
// upper-cased.
class TPlanWords {
 public:
  // No entries; the heading words are the German ones.
  TPlanWords() = default;
  // The words of a loaded recognition file in `language`.
  void LoadFrom(const tMLSystem& words, const std::string& language);
  // Reads "System/LockingPlan.lng" (or any file of that format); false when unreadable.
  bool LoadFile(const std::string& fileName, const std::string& language);

  // The alternatives of entry 1-22 (upper case).
  const std::vector<std::string>& Entry(int number) const;
  // A single heading word, by its German text ("T\xFCr", "Pos", ...), upper-cased.
  const std::string& Word(const std::string& german) const;

  // The entry of each plan field.
  static int ColumnFieldEntry(int field);
  static int RowFieldEntry(int field);

 private:
  std::array<std::vector<std::string>, 23> entries_;
  std::vector<std::pair<std::string, std::string>> words_;
};

// The entry text as alternatives: "|" separates them, each trimmed and upper-cased.
std::vector<std::string> SplitPlanAlternatives(const std::string& text);

struct TPlanMatrix {
  int32_t left = -1;  // -1 = no matrix
  int32_t top = -1;
  int32_t right = -1;
  int32_t bottom = -1;
  bool Exists() const { return left >= 0; }
};

// Everything the recognition found.
struct TPlanRecognition {
  int32_t headingRow = -1;    // of the cylinder table
  int32_t headingCol = -1;    // of the key table
  int32_t firstDataRow = -1;  // of the cylinder table
  int32_t firstKeyCol = -1;   // of the key table
  TPlanMatrix matrix;
  // LockMarkOf of every cell, by column and row (255 for columns 0 and 1).
  std::vector<uint8_t> marks;
  int32_t markRows = 0;
  std::array<int32_t, kPlanColumnFieldCount> colField;
  std::array<int32_t, kPlanRowFieldCount> rowField;
  // The heading cells found by the recognition (heading cell only).
  TIndiDefList autoTitles;

  TPlanRecognition() { Reset(); }
  // All field positions -1, the recognised headings cleared.
  void Reset();
  uint8_t MarkAt(int32_t col, int32_t row) const;
  int32_t Col(int field) const { return colField[field]; }
  int32_t Row(int field) const { return rowField[field]; }
};

// Fills the grid from TAB lines: row 0 the column letters, column 0 the row numbers, field k
// of line i at column k, row i (from 1); trailing characters up to code 32 dropped.
void FillPlanGrid(TImportTable& grid, const std::vector<std::string>& lines);
// "A".."Z", "AA".. for column 1, 2, ...
std::string PlanColumnLetters(int column);

// 0 no mark (empty, "FALSE", "NEIN", "NO"), 1 a mark (one of I M O U X Z, "TRUE", "JA",
// "YES"), 255 anything else. Case is ignored; of a longer text the first 7 characters count.
uint8_t LockMarkOf(const std::string& text);

struct TMarkRun {
  int32_t top = -1;
  int32_t bottom = -1;
  bool Counts() const { return top >= 0 && bottom > top; }
  int32_t Length() const { return bottom - top + 1; }
};
// The run of marks of one column: around its lowest mark 1, the rows of marks 0 and 1.
TMarkRun ScanMarkColumn(const TPlanRecognition& rec, int32_t col, int32_t lastRow);

// The marks of every cell, then FindLockMatrix.
void BuildMarkTable(const TImportTable& grid, TPlanRecognition& rec);
void FindLockMatrix(const TImportTable& grid, TPlanRecognition& rec);

int32_t FindCylinderHeadingRow(const TImportTable& grid, const TPlanMatrix& matrix,
                               const TPlanWords& words);
int32_t FindKeyHeadingColumn(const TImportTable& grid, const TPlanMatrix& matrix,
                             const TPlanWords& words);
// Upper case with control characters as blanks, blanks single, trimmed.
std::string NormalisePlanHeading(const std::string& text);
int32_t FindPlanFieldColumn(const TImportTable& grid, const TIndiDefList& defs,
                            TPlanRecognition& rec, int field, int32_t headingRow,
                            const std::vector<std::string>& alternatives);
int32_t FindPlanFieldRow(const TImportTable& grid, const TIndiDefList& defs,
                         TPlanRecognition& rec, int field, int32_t headingCol,
                         const std::vector<std::string>& alternatives);
bool RowHoldsGroupNumbers(const TImportTable& grid, int32_t firstCol, int32_t lastCol,
                          int32_t row);

// The layout: heading row and column, first data row and key column, every field. True
// when the cylinder table was found.
bool RecognisePlanLayout(const TImportTable& grid, const TIndiDefList& defs,
                         const TPlanWords& words, TPlanRecognition& rec);
// After the layout: trailing empty rows cut off the grid, and the final matrix.
void FinishPlanRecognition(TImportTable& grid, bool recognised, TPlanRecognition& rec);

// The whole recognition as the dialog runs it after each load and change of definitions:
// reset, marks, layout, cut and final matrix. True when the cylinder table was found.
bool RecognisePlanTable(TImportTable& grid, const TIndiDefList& defs, const TPlanWords& words,
                        TPlanRecognition& rec);
