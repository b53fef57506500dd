#include "import/ImportPlanRecogUnit.h"

#include <algorithm>

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"
#include "import/ImportTable.h"

namespace {

// The German heading words the searches translate.
const char* const kHeadingWords[] = {"T\xFCr", "Zylinder", "Raumbezeichnung", "Pos",
                                     "SLA",    "ZYA",      "Gruppenschl\xFCssel"};

bool Contains(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part) != std::string::npos;
}

// A row's or column's cells as one text: a leading blank, each cell followed by a blank,
// every "-" and "." removed.
std::string JoinCells(const TImportTable& grid, int32_t fixed, bool byRow, int32_t from,
                      int32_t to) {
  std::string joined = " ";
  for (int32_t i = from; i <= to; ++i) {
    const std::string& cell = byRow ? grid.Cell(i, fixed) : grid.Cell(fixed, i);
    for (char c : cell)
      if (c != '-' && c != '.') joined += c;
    joined += ' ';
  }
  return joined;
}

bool MatchesCandidate(const std::string& cell, const std::vector<std::string>& candidates) {
  if (cell.empty()) return false;
  const std::string norm = NormalisePlanHeading(cell);
  for (const std::string& c : candidates)
    if (norm == c) return true;
  return false;
}

std::vector<std::string> Candidates(const TIndiDefList& defs, int32_t kind, int field,
                                    const std::vector<std::string>& alternatives) {
  const std::u16string title = GetDefTitle(defs, kind, field);
  if (!title.empty()) return {NormalisePlanHeading(Utf16ToCp1252(title))};
  std::vector<std::string> out;
  for (const std::string& a : alternatives) {
    std::string n = NormalisePlanHeading(a);
    if (!n.empty()) out.push_back(std::move(n));
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Words.

std::vector<std::string> SplitPlanAlternatives(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find('|', start);
    std::string piece = Trim(text.substr(start, bar == std::string::npos ? bar : bar - start));
    if (!piece.empty()) out.push_back(AnsiUpperCase(piece));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

void TPlanWords::LoadFrom(const tMLSystem& words, const std::string& language) {
  for (int n = 1; n <= 22; ++n) entries_[n] = SplitPlanAlternatives(words.GetText(n));
  words_.clear();
  for (const char* german : kHeadingWords) {
    int grade = 0;
    std::string t = words.TranslateText(german, "DE", language, grade);
    if (t.empty()) t = german;
    words_.emplace_back(german, AnsiUpperCase(t));
  }
}

bool TPlanWords::LoadFile(const std::string& fileName, const std::string& language) {
  tMLSystem words("DE");
  if (!words.LoadLanguageFile(fileName, false)) return false;
  words.SetCurrentLanguage(language);
  LoadFrom(words, language);
  return true;
}

const std::vector<std::string>& TPlanWords::Entry(int number) const {
  static const std::vector<std::string> none;
  return number >= 1 && number <= 22 ? entries_[number] : none;
}

const std::string& TPlanWords::Word(const std::string& german) const {
  for (const auto& [g, w] : words_)
    if (g == german) return w;
  // Not loaded: the German word itself.
  static thread_local std::string upper;
  upper = AnsiUpperCase(german);
  return upper;
}

int TPlanWords::ColumnFieldEntry(int field) {
  static const int entries[kPlanColumnFieldCount] = {1,  10, 3,  4,  5,  6,  7,  2,  8,
                                                     9,  11, 12, 13, 14, 18, 15, 16, 17};
  return field >= 0 && field < kPlanColumnFieldCount ? entries[field] : 0;
}

int TPlanWords::RowFieldEntry(int field) {
  static const int entries[kPlanRowFieldCount] = {19, 20, 21, 22};
  return field >= 0 && field < kPlanRowFieldCount ? entries[field] : 0;
}

// ---------------------------------------------------------------------------------------
// State.

void TPlanRecognition::Reset() {
  colField.fill(-1);
  rowField.fill(-1);
  autoTitles.Clear();
}

uint8_t TPlanRecognition::MarkAt(int32_t col, int32_t row) const {
  if (col < 0 || row < 0 || row >= markRows) return 255;
  const size_t at = static_cast<size_t>(col) * static_cast<size_t>(markRows) +
                    static_cast<size_t>(row);
  return at < marks.size() ? marks[at] : 255;
}

// ---------------------------------------------------------------------------------------
// The grid.

std::string PlanColumnLetters(int column) {
  std::string s;
  while (column > 0) {
    --column;
    s.insert(s.begin(), static_cast<char>('A' + column % 26));
    column /= 26;
  }
  return s;
}

void FillPlanGrid(TImportTable& grid, const std::vector<std::string>& lines) {
  grid.Clear();
  grid.SetFixedRows(1);
  // The widest line first, so the table is sized once.
  std::vector<std::vector<std::string>> rows;
  rows.reserve(lines.size());
  int32_t cols = 6;
  for (const std::string& l : lines) {
    std::string line = l;
    std::vector<std::string> fields;
    while (!line.empty()) fields.push_back(TrimEnd(FetchCsvField(line, '\t')));
    cols = std::max<int32_t>(cols, static_cast<int32_t>(fields.size()) + 1);
    rows.push_back(std::move(fields));
  }
  grid.SetColCount(cols);
  grid.SetRowCount(static_cast<int>(rows.size()) + 1);
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t k = 0; k < rows[i].size(); ++k)
      if (!rows[i][k].empty())
        grid.SetCell(static_cast<int>(k) + 1, static_cast<int>(i) + 1, std::move(rows[i][k]));
  for (int c = 1; c < cols; ++c) grid.SetCell(c, 0, PlanColumnLetters(c));
  for (int r = 1; r < grid.RowCount(); ++r) grid.SetCell(0, r, std::to_string(r));
}

uint8_t LockMarkOf(const std::string& text) {
  if (text.empty()) return 0;
  if (text.size() == 1) {
    switch (UpCase1252(static_cast<unsigned char>(text[0]))) {
      case 'I': case 'M': case 'O': case 'U': case 'X': case 'Z':
        return 1;
      default:
        return 255;
    }
  }
  const std::string head = AnsiUpperCase(text.substr(0, 7));
  if (head == "FALSE" || head == "NEIN" || head == "NO") return 0;
  if (head == "TRUE" || head == "JA" || head == "YES") return 1;
  return 255;
}

// ---------------------------------------------------------------------------------------
// The matrix.

void BuildMarkTable(const TImportTable& grid, TPlanRecognition& rec) {
  const int32_t cols = grid.ColCount();
  const int32_t rows = grid.RowCount();
  rec.markRows = rows;
  rec.marks.assign(static_cast<size_t>(cols) * static_cast<size_t>(rows), 255);
  for (int32_t c = 2; c < cols; ++c)
    for (int32_t r = 0; r < rows; ++r)
      rec.marks[static_cast<size_t>(c) * rows + r] = LockMarkOf(grid.Cell(c, r));
  FindLockMatrix(grid, rec);
}

TMarkRun ScanMarkColumn(const TPlanRecognition& rec, int32_t col, int32_t lastRow) {
  TMarkRun run;
  int32_t r = lastRow;
  while (r >= 2 && rec.MarkAt(col, r) != 1) --r;
  if (r < 2) return run;
  auto plain = [&](int32_t row) { return rec.MarkAt(col, row) <= 1; };
  int32_t top = r;
  while (top - 1 >= 2 && plain(top - 1)) --top;
  int32_t bottom = r;
  while (bottom + 1 <= lastRow && plain(bottom + 1)) ++bottom;
  run.top = top;
  run.bottom = bottom;
  return run;
}

void FindLockMatrix(const TImportTable& grid, TPlanRecognition& rec) {
  rec.matrix = TPlanMatrix();
  const int32_t cols = grid.ColCount();
  const int32_t lastRow = grid.RowCount() - 1;
  if (grid.RowCount() < 4 || cols < 4) return;
  std::vector<TMarkRun> runs(static_cast<size_t>(cols));
  int64_t sum = 0;
  int64_t count = 0;
  for (int32_t c = 2; c < cols; ++c) {
    runs[c] = ScanMarkColumn(rec, c, lastRow);
    if (runs[c].Counts()) {
      sum += runs[c].Length();
      ++count;
    } else {
      runs[c] = TMarkRun();
    }
  }
  if (count == 0) return;
  const int64_t average = sum / count;
  int32_t right = -1;
  for (int32_t c = 2; c < cols; ++c) {
    if (runs[c].Counts() && runs[c].Length() < average) runs[c] = TMarkRun();
    if (runs[c].Counts()) right = c;
  }
  if (right < 0) return;
  int32_t left = right;
  int32_t top = 2;
  int32_t bottom = lastRow;
  for (int32_t c = right; c >= 2 && runs[c].Counts(); --c) {
    left = c;
    top = std::max(top, runs[c].top);
    bottom = std::min(bottom, runs[c].bottom);
  }
  // One column is no matrix, and neither is a block whose runs do not overlap.
  if (left == right || top > bottom) return;
  rec.matrix = {left, top, right, bottom};
}

// ---------------------------------------------------------------------------------------
// Headings.

int32_t FindCylinderHeadingRow(const TImportTable& grid, const TPlanMatrix& matrix,
                               const TPlanWords& words) {
  const int32_t lastCol = matrix.Exists() ? matrix.left - 1 : grid.ColCount() - 1;
  const std::string door = words.Word("T\xFCr");
  const std::string cyl = words.Word("Zylinder");
  const std::string room = words.Word("Raumbezeichnung");
  const std::string pos = " " + words.Word("Pos") + " ";
  const std::string sla = " " + words.Word("SLA") + " ";
  const std::string zya = " " + words.Word("ZYA") + " ";
  int32_t result = -1;
  int32_t fallback = -1;
  for (int32_t r = 1; r < grid.RowCount(); ++r) {
    const std::string joined = AnsiUpperCase(JoinCells(grid, r, true, 1, lastCol));
    if (fallback < 0 && (Contains(joined, door) || Contains(joined, cyl) || Contains(joined, room)))
      fallback = r;
    if ((Contains(joined, pos) || Contains(joined, " POSIT")) && fallback >= 0) {
      result = r;
    } else if (result >= 0 && r == result + 1 && Contains(joined, sla) && Contains(joined, zya)) {
      result = r;
      break;
    }
  }
  return result >= 0 ? result : fallback;
}

int32_t FindKeyHeadingColumn(const TImportTable& grid, const TPlanMatrix& matrix,
                             const TPlanWords& words) {
  int32_t lastCol = grid.ColCount() - 1;
  int32_t lastRow = grid.RowCount() - 1;
  if (matrix.Exists()) {
    lastCol = matrix.left - 1;
    lastRow = matrix.top - 1;
  }
  const std::string groupKey = words.Word("Gruppenschl\xFCssel");
  int32_t result = -1;
  int32_t fallback = -1;
  for (int32_t c = 1; c <= lastCol; ++c) {
    const std::string joined = JoinCells(grid, c, false, 1, lastRow);
    if (fallback < 0 && (Contains(joined, "F\xE4rbungen") || Contains(joined, "Verwender")))
      fallback = c;
    if (Contains(joined, "Nummerierung\x0b\xFC" "bergeordneter Schl\xFCssel >") ||
        (Contains(joined, " Abw Lieferadresse: ") && Contains(joined, " A1 ")))
      return c;
    const std::string upper = AnsiUpperCase(joined);
    if (Contains(upper, groupKey)) return c;
    if ((Contains(upper, " ANZ ") || Contains(upper, "ANZAHL")) &&
        (Contains(upper, "SCHL\xDCSSEL") || Contains(upper, "BEZEICHNUNG")))
      result = c;
  }
  return result >= 0 ? result : fallback;
}

std::string NormalisePlanHeading(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const char c = static_cast<unsigned char>(ch) < 32 ? ' ' : ch;
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return AnsiUpperCase(Trim(out));
}

int32_t FindPlanFieldColumn(const TImportTable& grid, const TIndiDefList& defs,
                            TPlanRecognition& rec, int field, int32_t headingRow,
                            const std::vector<std::string>& alternatives) {
  const int32_t manual = GetDefDataCol(defs, pdkColumn, field);
  if (manual > 0) return manual;
  const std::vector<std::string> candidates = Candidates(defs, pdkColumn, field, alternatives);
  for (int32_t row : {headingRow, headingRow - 1}) {
    if (row < 1 || row >= grid.RowCount()) continue;
    for (int32_t c = 1; c < grid.ColCount(); ++c) {
      if (MatchesCandidate(grid.Cell(c, row), candidates)) {
        AddTitleDef(rec.autoTitles, pdkColumn, c, row);
        return c;
      }
    }
  }
  return -1;
}

int32_t FindPlanFieldRow(const TImportTable& grid, const TIndiDefList& defs,
                         TPlanRecognition& rec, int field, int32_t headingCol,
                         const std::vector<std::string>& alternatives) {
  const int32_t manual = GetDefDataRow(defs, pdkRow, field);
  if (manual > 0) return manual;
  if (headingCol < 1) return -1;
  const std::vector<std::string> candidates = Candidates(defs, pdkRow, field, alternatives);
  for (int32_t c = std::min(headingCol, grid.ColCount() - 1); c >= 1; --c) {
    for (int32_t r = 1; r < grid.RowCount(); ++r) {
      if (MatchesCandidate(grid.Cell(c, r), candidates)) {
        AddTitleDef(rec.autoTitles, pdkRow, c, r);
        return r;
      }
    }
  }
  return -1;
}

bool RowHoldsGroupNumbers(const TImportTable& grid, int32_t firstCol, int32_t lastCol,
                          int32_t row) {
  bool sawA = false;
  for (int32_t c = std::max(firstCol, 0); c <= lastCol; ++c) {
    std::string cell = Trim(grid.Cell(c, row));
    if (cell.empty()) continue;
    if (cell[0] == 'A') {
      cell.erase(0, 1);
      sawA = true;
    }
    int32_t n = 0;
    if (cell.empty() || cell.find_first_not_of("0123456789") != std::string::npos ||
        !TryStrToInt(cell, n) || n < 1)
      return false;
  }
  return sawA;
}

// ---------------------------------------------------------------------------------------
// The layout.

bool RecognisePlanLayout(const TImportTable& grid, const TIndiDefList& defs,
                         const TPlanWords& words, TPlanRecognition& rec) {
  rec.headingRow = GetLastCylTitleRow(defs);
  if (rec.headingRow < 1) rec.headingRow = FindCylinderHeadingRow(grid, rec.matrix, words);
  rec.headingCol = GetLastKeyTitleCol(defs);
  if (rec.headingCol < 1) rec.headingCol = FindKeyHeadingColumn(grid, rec.matrix, words);
  rec.firstDataRow = GetFirstCylDataRow(defs);
  if (rec.firstDataRow < 1) rec.firstDataRow = rec.headingRow + 1;
  rec.firstKeyCol = GetFirstKeyDataCol(defs);
  if (rec.firstKeyCol < 1) rec.firstKeyCol = rec.headingCol + 1;
  if (rec.headingRow <= 0 && rec.firstDataRow <= 0) return false;

  static const int order[kPlanColumnFieldCount] = {
      pcfPosition, pcfCylinder,   pcfDoor,    pcfRoom,    pcfRoomNumber, pcfSingleKey,
      pcfKeyCount, pcfCylinderCount, pcfCylinderType, pcfSchliessung, pcfLengthA, pcfLengthB,
      pcfSurface,  pcfBuilding,   pcfFloor,   pcfKeyRemark, pcfCylinderRemark, pcfDoorRemark};
  for (int field : order)
    rec.colField[field] = FindPlanFieldColumn(grid, defs, rec, field, rec.headingRow,
                                              words.Entry(TPlanWords::ColumnFieldEntry(field)));
  auto& col = rec.colField;
  if (col[pcfDoor] < 0) col[pcfDoor] = col[pcfRoom];
  if (col[pcfSchliessung] < 0) col[pcfSchliessung] = col[pcfSingleKey];
  if (col[pcfRoom] < 0) col[pcfRoom] = col[pcfDoor];
  if (col[pcfKeyCount] > 0 && col[pcfSingleKey] < 0) {
    if (col[pcfSchliessung] >= 0)
      col[pcfSingleKey] = col[pcfSchliessung];
    else if (col[pcfCylinder] >= 0)
      col[pcfSingleKey] = col[pcfCylinder];
    else
      col[pcfSingleKey] = col[pcfDoor];
  }

  auto& row = rec.rowField;
  for (int field = 0; field < kPlanRowFieldCount; ++field) {
    row[field] = FindPlanFieldRow(grid, defs, rec, field, rec.headingCol,
                                  words.Entry(TPlanWords::RowFieldEntry(field)));
    if (field == prfGroupKey && row[field] < 0)
      row[field] = FindPlanFieldRow(grid, defs, rec, field, rec.headingCol,
                                    {AnsiUpperCase("F\xE4rbungen")});
  }
  if (row[prfGroupKey] < 0 && (row[prfKeyType] >= 0 || row[prfGroupKeyCount] >= 0))
    row[prfGroupKey] = row[prfGroup];
  if (row[prfGroupKey] > 0 && row[prfGroup] <= 0 &&
      RowHoldsGroupNumbers(grid, rec.firstKeyCol, grid.ColCount() - 1, row[prfGroupKey] + 1))
    row[prfGroup] = row[prfGroupKey] + 1;
  if (row[prfGroup] > 0 && rec.firstKeyCol > 0 &&
      grid.Cell(rec.firstKeyCol - 1, row[prfGroup]) == "A1")
    --rec.firstKeyCol;
  return true;
}

void FinishPlanRecognition(TImportTable& grid, bool recognised, TPlanRecognition& rec) {
  if (recognised && rec.firstDataRow >= 1) {
    const int32_t posCol = rec.colField[pcfPosition];
    for (int32_t r = grid.RowCount() - 1; r > rec.firstDataRow; --r) {
      bool filled = false;
      for (int32_t c = 1; c < grid.ColCount() && !filled; ++c)
        filled = c != posCol && !grid.Cell(c, r).empty();
      if (filled) {
        grid.SetRowCount(r + 1);
        break;
      }
    }
  }
  if (rec.firstKeyCol >= 1 && rec.firstDataRow >= 1)
    rec.matrix = {rec.firstKeyCol, rec.firstDataRow, grid.ColCount() - 1, grid.RowCount() - 1};
}

bool RecognisePlanTable(TImportTable& grid, const TIndiDefList& defs, const TPlanWords& words,
                        TPlanRecognition& rec) {
  rec.Reset();
  BuildMarkTable(grid, rec);
  const bool recognised = RecognisePlanLayout(grid, defs, words, rec);
  FinishPlanRecognition(grid, recognised, rec);
  return recognised;
}
