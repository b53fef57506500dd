#include "data/PinningUnit.h"

namespace {

std::vector<std::string> SplitRows(const std::string& rows) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < rows.size()) {
    const size_t semi = rows.find(';', at);
    if (semi == std::string::npos) {
      out.push_back(rows.substr(at));
      break;
    }
    out.push_back(rows.substr(at, semi - at));
    at = semi + 1;
  }
  return out;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

void SplitPinningText(const std::string& text, std::string& lead, std::string& sums,
                      std::string& rows) {
  lead.clear();
  sums.clear();
  rows.clear();
  const size_t first = text.find('\t');
  lead = text.substr(0, first);
  if (first == std::string::npos) return;
  const size_t second = text.find('\t', first + 1);
  sums = text.substr(first + 1, second == std::string::npos ? second : second - first - 1);
  if (second != std::string::npos) rows = text.substr(second + 1);
}

TPinningGrid LoadPinningGrid(const std::string& text) {
  TPinningGrid grid;
  std::string sums, rows;
  SplitPinningText(text, grid.lead, sums, rows);
  const std::vector<std::string> lines = SplitRows(rows);
  for (size_t row = 0; row < lines.size() && row < size_t(kPinRows); ++row)
    for (size_t chamber = 0; chamber < lines[row].size() && chamber < size_t(kPinChambers);
         ++chamber) {
      const unsigned char c = static_cast<unsigned char>(lines[row][chamber]);
      grid.cells[row][chamber] = c <= ' ' ? '\0' : static_cast<char>(c);
    }
  return grid;
}

std::string PinningChamberSum(const TPinningGrid& grid, int chamber) {
  int sum = 0;
  bool digit = false;
  for (int row = 0; row < kPinRows; ++row) {
    const char c = grid.At(row, chamber);
    if (c == '\0') continue;
    if (c >= '0' && c <= '9') {
      sum += c - '0';
      digit = true;
    } else if (c != 'X' && c != 'x' && c != '-' && c != '/') {
      return "?";
    }
  }
  if (!digit) return "";
  if (sum > 10) return "?";
  return std::string(1, char('0' + sum % 10));
}

std::string PinningSums(const TPinningGrid& grid) {
  std::string sums;
  for (int chamber = 0; chamber < kPinChambers; ++chamber) {
    const std::string sum = PinningChamberSum(grid, chamber);
    sums += sum.empty() ? " " : sum;
  }
  return TrimRight(sums);
}

std::string PinningRows(const TPinningGrid& grid) {
  std::string rows;
  for (int row = 0; row < kPinRows; ++row) {
    std::string line;
    for (int chamber = 0; chamber < kPinChambers; ++chamber) {
      const char c = grid.At(row, chamber);
      line += c == '\0' ? ' ' : c;
    }
    line = TrimRight(line);
    if (!line.empty()) rows += line + ";";
  }
  return rows;
}

std::string BuildPinningText(const TPinningGrid& grid) {
  return grid.lead + "\t" + PinningSums(grid) + "\t" + PinningRows(grid);
}

bool PinningCellVisible(const TPinningGrid& grid, int row, int chamber) {
  if (row == 0) return true;
  return grid.At(row, chamber) != '\0' || grid.At(row - 1, chamber) != '\0';
}

char FilterPinningChar(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '-' || c == '/' || c == '?')
    return c;
  return '\0';
}

std::vector<TPinningLine> PinningLines(const std::string& text) {
  std::string lead, sums, rows;
  SplitPinningText(text, lead, sums, rows);
  std::vector<std::string> list = SplitRows(rows);
  while (!list.empty() && list.back().empty()) list.pop_back();
  if (list.empty()) return {{"-", ""}};
  std::vector<TPinningLine> lines{{"Summe", sums}};
  for (size_t i = list.size() - 1; i >= 1; --i) lines.push_back({"Aufbaustifte", list[i]});
  lines.push_back({"Rotorstifte", list[0]});
  return lines;
}

int PinningHeight(int lines) { return 16 * lines + 16; }
