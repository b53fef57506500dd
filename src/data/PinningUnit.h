#pragma once
// The pinning of a cylinder as text and as a grid of cells: which pin sits in which chamber,
// one row of rotor pins and up to eight rows of build-up pins, with a sum per chamber.
//
// The text has three TAB-separated fields: a leading field every editor passes through
// unchanged, the sums (one character per chamber, a blank for none, trailing blanks off),
// and the rows, each followed by ";" (row 1 the rotor pins, then the build-up layers from
// the rotor outward; a blank for an empty cell, trailing blanks off, empty rows left out).
//
// Cells are positional: character i of a stored row is chamber i and a blank an empty cell,
// so a row " 5 3" keeps its pins in chambers 2 and 4 through a load and a save.

#include <array>
#include <string>
#include <vector>

inline constexpr int kPinChambers = 7;
inline constexpr int kPinRows = 9;

struct TPinningGrid {
  std::string lead;  // the leading field, passed through
  // cells[row][chamber]; '\0' is an empty cell.
  std::array<std::array<char, kPinChambers>, kPinRows> cells{};
  char& At(int row, int chamber) { return cells[row][chamber]; }
  char At(int row, int chamber) const { return cells[row][chamber]; }
};

// The three fields of a pinning text; missing ones are empty.
void SplitPinningText(const std::string& text, std::string& lead, std::string& sums,
                      std::string& rows);
// The grid of a stored text: the leading field kept, the stored sums ignored, at most 9
// rows of at most 7 cells; blanks and control characters are empty cells.
TPinningGrid LoadPinningGrid(const std::string& text);
// A chamber's sum as shown: "" without a digit, "?" when a cell holds anything but a digit,
// "X", "-" or "/" or when the digits add up to more than 10, else the sum's last digit
// (10 shows "0").
std::string PinningChamberSum(const TPinningGrid& grid, int chamber);
// The sums field and the rows field of the grid.
std::string PinningSums(const TPinningGrid& grid);
std::string PinningRows(const TPinningGrid& grid);
// lead + TAB + sums + TAB + rows.
std::string BuildPinningText(const TPinningGrid& grid);
// A cell of rows 2 to 9 is shown when it or the cell of the row before holds a pin (so the
// next layer can be typed); the rotor row always.
bool PinningCellVisible(const TPinningGrid& grid, int row, int chamber);
// What a typed character becomes in a cell: lower case turned upper, digits, "-", "/", "?"
// and "A" to "Z" kept; anything else '\0' (the cell is emptied).
char FilterPinningChar(char c);

// One painted line of the read-only pinning display.
struct TPinningLine {
  std::string caption;  // "Summe", "Aufbaustifte", "Rotorstifte", or "-" without rows
  std::string value;
};
// The lines painted for a stored text, top to bottom: "Summe", the build-up rows from the
// outermost inward, "Rotorstifte"; a text without rows paints the single line "-". Rows
// without stored sums are painted all the same (with an empty sum line).
std::vector<TPinningLine> PinningLines(const std::string& text);
// The painted height of so many lines: 16 pixels each and 16 more.
int PinningHeight(int lines);
