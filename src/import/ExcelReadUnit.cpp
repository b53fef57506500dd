#include "import/ExcelReadUnit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/MultiLingua.h"
#include "basic/OfficeLookup.h"
#include "basic/TempFilesUnit.h"
#include "import/ImportTable.h"
#include "import/ReadOOo.h"
#include "import/ReadXls.h"
#include "import/ReadXlsx.h"
#include "platform/PlatformFiles.h"

const TMLStringList* ExcelReadTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("ExcelReadUnit", 0);
    t->Add255Obj("Es wurde kein ge\xF6" "ffnetes Tabellen-Fenster gefunden.", 1);
    return t;
  }();
  return table;
}

namespace {

bool NeedsQuotes(const std::string& text) {
  if (text.empty()) return false;
  if (text[0] == '"' || text[0] == '\'') return true;
  return text.find_first_of("\t\r\n;") != std::string::npos;
}

std::string TwoDigits(int v) {
  std::string s(2, '0');
  s[0] = static_cast<char>('0' + v / 10 % 10);
  s[1] = static_cast<char>('0' + v % 10);
  return s;
}

// The first three letters of the extension, upper case.
std::string Extension3(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return AnsiUpperCase(fileName.substr(dot + 1, 3));
}

}  // namespace

std::string ReadFirstBytes(const std::string& fileName, size_t count) {
  int fd = -1;
  if (PfOpenRead(fileName, fd) != 0) return "";
  std::string bytes(count, '\0');
  size_t have = 0;
  while (have < count) {
    size_t got = 0;
    if (PfRead(fd, bytes.data() + have, count - have, got) != 0 || got == 0) break;
    have += got;
  }
  PfClose(fd);
  bytes.resize(have);
  return bytes;
}

// ---------------------------------------------------------------------------------------
// TSheetCells

void TSheetCells::Clear() {
  cells_.clear();
  sorted_ = true;
}

void TSheetCells::Sort() const {
  if (sorted_) return;
  // Stable, so that of two entries for one cell the later one (the last set) wins.
  std::stable_sort(cells_.begin(), cells_.end(), [](const TCell& a, const TCell& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  std::vector<TCell> unique;
  unique.reserve(cells_.size());
  for (auto& c : cells_) {
    if (!unique.empty() && unique.back().row == c.row && unique.back().col == c.col)
      unique.back() = std::move(c);
    else
      unique.push_back(std::move(c));
  }
  unique.erase(std::remove_if(unique.begin(), unique.end(),
                              [](const TCell& c) { return c.text.empty(); }),
               unique.end());
  cells_.swap(unique);
  sorted_ = true;
}

void TSheetCells::Set(int col, int row, std::string text) {
  if (col < 1 || row < 1) return;
  const TCell cell{static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(col),
                   std::move(text)};
  if (sorted_ && !cells_.empty()) {
    const TCell& last = cells_.back();
    if (last.row > cell.row || (last.row == cell.row && last.col >= cell.col)) sorted_ = false;
  }
  if (sorted_ && cell.text.empty()) return;
  cells_.push_back(std::move(cell));
}

const std::string& TSheetCells::Get(int col, int row) const {
  static const std::string empty;
  if (col < 1 || row < 1) return empty;
  Sort();
  const auto key = std::make_pair(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(col));
  auto it = std::lower_bound(cells_.begin(), cells_.end(), key, [](const TCell& c, const auto& k) {
    return c.row != k.first ? c.row < k.first : c.col < k.second;
  });
  if (it == cells_.end() || it->row != key.first || it->col != key.second) return empty;
  return it->text;
}

void TSheetCells::Size(int& rows, int& cols) const {
  Sort();
  rows = 0;
  cols = 0;
  for (const auto& c : cells_) {
    rows = std::max(rows, static_cast<int>(c.row));
    cols = std::max(cols, static_cast<int>(c.col));
  }
}

std::size_t TSheetCells::CellCount() const {
  Sort();
  return cells_.size();
}

std::vector<std::string> TSheetCells::AsTabLines() const {
  Sort();
  std::vector<std::string> lines;
  if (cells_.empty()) return lines;
  lines.resize(cells_.back().row);
  size_t i = 0;
  while (i < cells_.size()) {
    const std::uint32_t row = cells_[i].row;
    std::string& line = lines[row - 1];
    std::uint32_t col = 1;
    for (; i < cells_.size() && cells_[i].row == row; ++i) {
      const TCell& c = cells_[i];
      line.append(c.col - col, '\t');
      col = c.col;
      if (!NeedsQuotes(c.text)) {
        line += c.text;
        continue;
      }
      line += '"';
      for (char ch : c.text) {
        if (ch == '"') line += '"';
        line += ch;
      }
      line += '"';
    }
  }
  return lines;
}

// ---------------------------------------------------------------------------------------
// Numbers and dates

std::string FormatSheetNumber(double value) {
  if (!std::isfinite(value)) return "";
  if (value == 0) return "0";  // also -0
  char buffer[64];
  // Integers as they are; everything else with the 15 digits a sheet keeps, so that the
  // binary fraction's noise (0.30000000000000004) does not show. Never the locale's comma.
  if (std::fabs(value) < 1e15 && value == std::floor(value)) {
    auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    return std::string(buffer, r.ptr);
  }
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, r.ptr);
}

std::string FormatSheetDateTime(double serial, TSheetDateKind kind) {
  if (!std::isfinite(serial) || serial < 0 || serial > 2958465.99999) return FormatSheetNumber(serial);
  // Round to the second first, so that 23:59:59.9999 becomes the next day, not 24:00.
  long long seconds = std::llround(serial * 86400.0);
  const long long days = seconds / 86400;
  seconds %= 86400;
  std::string time = TwoDigits(static_cast<int>(seconds / 3600)) + ":" +
                     TwoDigits(static_cast<int>(seconds / 60 % 60));
  if (seconds % 60 != 0) time += ":" + TwoDigits(static_cast<int>(seconds % 60));
  if (kind == TSheetDateKind::Time) return time;
  const std::string date = PackedDateToStr(DateTimeToPacked(static_cast<double>(days)));
  if (kind == TSheetDateKind::Date || date.empty()) return date;
  return date + " " + time;
}

// ---------------------------------------------------------------------------------------
// TReadTable

bool TReadTable::Open(const std::string&) {
  Close();
  return false;
}

void TReadTable::Close() {
  state_ = 0;
  sheet_ = 0;
  fileName_.clear();
}

void TReadTable::CloseFile(bool) { Close(); }

bool TReadTable::SelectSheet(int) { return false; }

void TReadTable::SelectActiveSheet() {}

std::string TReadTable::GetCell(int, int) { return std::string(); }

void TReadTable::SetCell(int, int, const std::string&) {}

void TReadTable::GetSize(int& rows, int& cols) {
  rows = 0;
  cols = 0;
}

bool TReadTable::SaveAsText(const std::string&) { return false; }

// ---------------------------------------------------------------------------------------
// TReadCells

void TReadCells::Close() {
  cells_.Clear();
  TReadTable::Close();
}

std::string TReadCells::GetCell(int col, int row) { return cells_.Get(col, row); }

void TReadCells::SetCell(int col, int row, const std::string& text) {
  if (IsOpen()) cells_.Set(col, row, text);
}

void TReadCells::GetSize(int& rows, int& cols) { cells_.Size(rows, cols); }

bool TReadCells::SaveAsText(const std::string& fileName) {
  if (!IsOpen() || fileName.empty()) return false;
  std::vector<std::string> lines = cells_.AsTabLines();
  for (auto& line : lines) line = Cp1252ToUtf8(line);
  // The mark makes the text unmistakably UTF-8 for whoever reads it back; a sheet without
  // cells is an empty file.
  if (!lines.empty()) lines.front().insert(0, "\xEF\xBB\xBF");
  return SaveTextFile(lines, fileName);
}

bool TReadCells::Fail(const std::string& why) {
  Close();
  error_ = why;
  return false;
}

// ---------------------------------------------------------------------------------------
// Choosing and using readers

namespace {

// Text that begins with a tag: a web page or an XML spreadsheet saved under a workbook's
// name, which the office suite reads as a table. UTF-8 (with or without its mark) or
// UTF-16 with its mark; the bytes seen must all be text.
bool LooksLikeMarkup(const std::string& head) {
  std::string text;
  if (head.compare(0, 2, "\xFF\xFE") == 0 || head.compare(0, 2, "\xFE\xFF") == 0) {
    const bool little = head[0] == '\xFF';
    for (size_t i = 2; i + 1 < head.size(); i += 2) {
      // Markup starts with plain characters: their high byte is 0.
      if (head[little ? i + 1 : i] != '\0') return false;
      text += head[little ? i : i + 1];
    }
  } else {
    text = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? head.substr(3) : head;
  }
  for (unsigned char c : text)
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
  const size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string::npos && text[first] == '<';
}

}  // namespace

TTableReaderKind TableReaderKindOf(const std::string& fileName) {
  const std::string ext = Extension3(fileName);
  if (ext != "XLS" && ext != "DBF" && ext != "ODS") return TTableReaderKind::None;
  const std::string head = ReadFirstBytes(fileName, 80);
  if (LooksLikeXlsFile(head)) return TTableReaderKind::Xls;
  if (head.size() >= 4 && head.compare(0, 4, "PK\x03\x04") == 0) {
    // An OpenDocument file names its kind in a first, uncompressed entry "mimetype".
    if (head.size() >= 38 && head.compare(30, 8, "mimetype") == 0) return TTableReaderKind::Office;
    return TTableReaderKind::Xlsx;
  }
  // A workbook's name on bytes that are neither workbook format nor markup: the office
  // suite would read them as text and hand back rows of garbage as a table.
  if (ext == "XLS" && !LooksLikeMarkup(head)) return TTableReaderKind::NoSpreadsheet;
  return TTableReaderKind::Office;
}

std::unique_ptr<TReadTable> CreateTableReader() { return nullptr; }

std::unique_ptr<TReadTable> CreateFileReader(const std::string& fileName, std::string* error) {
  std::string ignored;
  std::string& why = error ? *error : ignored;
  why.clear();
  if (fileName.empty()) {
    why = "no file";
    return CreateTableReader();
  }
  TPfInfo info;
  if (PfStat(fileName, info) != 0) {
    why = "file not found";
    return nullptr;
  }
  std::unique_ptr<TReadTable> reader;
  switch (TableReaderKindOf(fileName)) {
    case TTableReaderKind::None:
    case TTableReaderKind::NoSpreadsheet: why = "not a spreadsheet file"; return nullptr;
    case TTableReaderKind::Xls: reader = std::make_unique<TReadXls>(); break;
    case TTableReaderKind::Xlsx: reader = std::make_unique<TReadXlsx>(); break;
    case TTableReaderKind::Office: reader = std::make_unique<TReadOOo>(); break;
  }
  if (!reader->Open(fileName)) {
    why = reader->ErrorText();
    return nullptr;
  }
  return reader;
}

bool ReadSpreadsheetFile(const std::string& fileName, std::string& textFileName,
                         std::string* error) {
  textFileName.clear();
  std::unique_ptr<TReadTable> reader = CreateFileReader(fileName, error);
  if (!reader) return false;
  const std::string temp = CreateTempFile();
  const bool saved = !temp.empty() && reader->SaveAsText(temp);
  reader->CloseFile(false);
  if (!saved) {
    if (!temp.empty()) DeleteTempFile(temp);
    if (error) *error = "the sheet could not be stored as text";
    return false;
  }
  textFileName = temp;
  return true;
}

bool SpreadsheetReadable(const std::string& fileName) {
  const std::string ext = Extension3(fileName);
  if (ext == "DBF" || ext == "ODS") return OfficeAvailable();
  return true;
}

void SpreadsheetToGrid(const std::vector<std::string>& lines, TImportTable& table, int firstCol,
                       bool blankPrefix, int firstRow) {
  firstCol = std::max(firstCol, 0);
  firstRow = std::max(firstRow, 0);
  int fields = 0;
  for (const auto& line : lines)
    fields = std::max(fields, static_cast<int>(std::count(line.begin(), line.end(), '\t')) + 1);
  if (lines.empty()) fields = 0;
  // The area from the first row on is emptied; the cells left of it stay.
  const int keepRows = std::min(table.RowCount(), firstRow + static_cast<int>(lines.size()));
  for (int r = firstRow; r < keepRows; ++r)
    for (int c = firstCol; c < table.ColCount(); ++c) {
      table.SetCell(c, r, std::string());
      table.SetMark(c, r, 0);
    }
  if (table.ColCount() < firstCol + fields) table.SetColCount(firstCol + fields);
  table.SetRowCount(firstRow + static_cast<int>(lines.size()));
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const int row = firstRow + static_cast<int>(i);
    int col = firstCol;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      const size_t end = tab == std::string::npos ? line.size() : tab;
      if (end > start) {
        std::string value = blankPrefix ? " " : "";
        value.append(line, start, end - start);
        table.SetCell(col, row, std::move(value));
      }
      if (tab == std::string::npos) break;
      start = tab + 1;
      ++col;
    }
  }
}

std::string ExcelReadText(int number) { return GetMLText(ExcelReadTexts(), number); }
