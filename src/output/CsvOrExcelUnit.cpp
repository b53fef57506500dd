#include "output/CsvOrExcelUnit.h"

#include <xlsxwriter.h>

#include <algorithm>

#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/UserInteraction.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr size_t kTextBufferSize = 256 * 1024;
constexpr unsigned kOwnerWrite = 0200;
constexpr int kMaxCellChars = 32767;   // what a workbook cell holds
constexpr int kMaxSheetRows = 1048576;
constexpr int kMaxSheetColumns = 16384;

}  // namespace

const TMLStringList* CsvOrExcelTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("CsvOrExcelUnit", 0);
    t->Add255Obj("Die Tabelle passt nicht in eine XLS-Datei: h\xF6" "chstens %1 Zeilen und "
                 "256 Spalten.#13#Bitte exportieren Sie als Excel (*.xlsx) oder CSV.",
                 1);
    t->Add255Obj("Eine Datei dieser Art kann das Programm nicht schreiben:#13#%1#13#Bitte "
                 "exportieren Sie als Excel (*.xlsx), Excel 97 (*.xls) oder CSV.",
                 2);
    return t;
  }();
  return table;
}

namespace {

std::string FileNameOnly(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The extension with its dot ("" when the name has none).
std::string ExtensionOf(const std::string& path) {
  const std::string name = FileNameOnly(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string WithExtension(const std::string& path, const std::string& ext) {
  const std::string old = ExtensionOf(path);
  return path.substr(0, path.size() - old.size()) + ext;
}

std::vector<std::string> SplitCells(const std::string& line, char separator) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    const size_t at = line.find(separator, start);
    if (at == std::string::npos) {
      cells.push_back(line.substr(start));
      return cells;
    }
    cells.push_back(line.substr(start, at - start));
    start = at + 1;
  }
}

void BlankLineBreaks(std::string& text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
}

// A cell as a text field that reads back as it was (see WriteCells).
std::string CsvField(const std::string& cell, char separator) {
  std::string text = cell;
  for (char& c : text)
    if (c == '\r' || c == '\n' || (c == '\t' && separator == '\t')) c = ' ';
  const bool quote = text.find(separator) != std::string::npos ||
                     text.find('"') != std::string::npos || (!text.empty() && text[0] == '\'');
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

// A cell as a text field that reads back as it was (see WriteCells), appended to `out`.
void AppendCsvField(std::string& out, const std::string& cell, char separator) {
  bool plain = cell.empty() || cell[0] != '\'';
  for (size_t i = 0; plain && i < cell.size(); ++i) {
    const char c = cell[i];
    plain = c != separator && c != '"' && c != '\r' && c != '\n' && c != '\t';
  }
  if (plain) {
    out += cell;  // the common cell: as it is, without a copy of its own
    return;
  }
  out += CsvField(cell, separator);
}

// A workbook cell's text: UTF-8, control characters as blanks, cut to what a cell holds.
std::string WorkbookText(const std::string& cell) {
  std::string text = cell.size() > static_cast<size_t>(kMaxCellChars)
                         ? cell.substr(0, static_cast<size_t>(kMaxCellChars))
                         : cell;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return Cp1252ToUtf8(text);
}

// ---------------------------------------------------------------------------------------
// Replacing the target.

// Where the new file goes: the target itself, or the file a link leads to.
bool ResolveTarget(const std::string& fileName, std::string& target, bool& existed,
                   unsigned& mode) {
  target = fileName;
  existed = false;
  mode = 0;
  TPfInfo info;
  if (PfLstat(target, info) != 0) return false;
  if (info.kind == TPfKind::Link) {
    std::string resolved;
    if (PfRealPath(target, resolved) == 0) target = resolved;
    if (PfStat(target, info) != 0) return false;
  }
  if (info.kind == TPfKind::Folder || info.kind == TPfKind::Other) return false;
  existed = info.kind == TPfKind::File;
  mode = info.mode;
  return true;
}

// Syncs the complete "~" file and renames it over the target.
bool ReplaceTarget(const std::string& temp, const std::string& target, bool existed,
                   unsigned mode) {
  int fd = -1;
  bool ok = PfOpenRead(temp, fd) == 0;
  if (ok) {
    if (existed) PfFchmod(fd, mode | kOwnerWrite);
    ok = PfFsync(fd) == 0;
    ok = PfClose(fd) == 0 && ok;
  }
  ok = ok && PfRename(temp, target) == 0;
  if (!ok) {
    PfUnlink(temp);
    return false;
  }
  PfFsyncFolder(FolderOf(target));
  return true;
}

}  // namespace

// =======================================================================================
// Kinds, filters, names

int SpreadsheetFileKind(const std::string& fileName) {
  const std::string ext = ExtensionOf(fileName);
  if (ext.empty()) return sfkOther;
  const std::string three = AnsiUpperCase(ext.substr(1, 3));
  if (three == "CSV" || three == "TXT") return sfkText;
  if (three == "XLS" || three == "DBF") return sfkSpreadsheet;
  if (three == "ODS") return sfkOds;
  return sfkOther;
}

std::string SpreadsheetOpenFilter(const std::string& title, const std::string& extraName,
                                  const std::string& extraMask) {
  std::string filter = title + " (.xls .ods .dbf .csv .txt)|*.xls;*.xlsx;*.ods;*.csv;*.txt;*.dbf;" +
                       extraMask + "|Excel (.xls)|*.xls;*.xlsx|OpenOffice (.ods)|*.ods|" +
                       "CSV (.csv .txt)|*.csv;*.txt";
  if (!extraName.empty()) filter += "|" + extraName + "|" + extraMask;
  return filter;
}

std::string ColumnLetters(int column) {
  if (column < 1 || column > 702) return {};
  const int n = column - 1;
  std::string letters;
  if (n / 26 > 0) letters += static_cast<char>('A' - 1 + n / 26);
  letters += static_cast<char>('A' + n % 26);
  return letters;
}

std::string CellName(int column, int row) {
  const std::string letters = ColumnLetters(column);
  return letters.empty() ? letters : letters + std::to_string(row);
}

// =======================================================================================
// TCsvOrExcel

TCsvOrExcel::~TCsvOrExcel() { Close(); }

bool TCsvOrExcel::Open(const std::string& fileName) {
  refusal_.clear();
  switch (SpreadsheetFileKind(fileName)) {
    case sfkText:
      return OpenCsv(fileName);
    case sfkSpreadsheet:
      return OpenExcel(fileName);
    default:
      return false;
  }
}

bool TCsvOrExcel::OpenCsv(const std::string& fileName) {
  Close();
  refusal_.clear();
  if (!Begin(fileName, &fd_)) return false;
  buffer_.reserve(kTextBufferSize);
  mode_ = cemText;
  return true;
}

bool TCsvOrExcel::OpenExcel(const std::string& fileName) {
  Close();
  refusal_.clear();
  if (fileName.empty()) return false;
  // The file written is the one the user named, never one beside it.
  const std::string ext = ExtensionOf(fileName);
  if (AnsiSameText(ext, ".xls")) {
    if (!Begin(fileName, &fd_)) return false;
    native_ = std::make_unique<TNativeXLS>();
    buffer_.reserve(kTextBufferSize);
    mode_ = cemNativeXls;
    return true;
  }
  if (!AnsiSameText(ext, ".xlsx")) {
    refusal_ = GetMLTextFmt(CsvOrExcelTexts(), 2, FileNameOnly(fileName));
    return false;
  }
  if (!Begin(fileName, nullptr)) return false;
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;  // rows go to disk as they come
  book_ = workbook_new_opt(PfOsPath(temp_).c_str(), &options);
  if (!book_) {
    PfUnlink(temp_);
    return false;
  }
  bold_ = workbook_add_format(book_);
  format_set_bold(bold_);
  turned_ = workbook_add_format(book_);
  format_set_rotation(turned_, 90);
  mode_ = cemWorkbook;
  if (!BeginWorksheet()) {
    Discard();
    return false;
  }
  return true;
}

// Common start: target resolved, folder made, "~" file created beside the target (kept open
// in `fd` when asked for).
bool TCsvOrExcel::Begin(const std::string& target, int* fd) {
  rows_ = 0;
  header_.clear();
  failed_ = false;
  sheetNumber_ = 0;
  lastRow_ = -1;
  widths_.clear();
  fileName_ = target;
  if (target.empty() || target.back() == '/') return false;
  if (PfMakeFolders(FolderOf(target)) != 0) return false;
  if (!ResolveTarget(target, target_, targetExisted_, targetMode_)) return false;
  int created = -1;
  const std::string suffix = ExtensionOf(target_);
  if (PfCreateUnique(FolderOf(target_), "~", suffix.empty() ? ".tmp" : suffix, temp_, created) != 0)
    return false;
  if (fd) *fd = created;
  else PfClose(created);
  return true;
}

bool TCsvOrExcel::WriteLine(const std::string& line) {
  if (mode_ == cemClosed || failed_) return false;
  std::string text = line;
  BlankLineBreaks(text);
  if (mode_ == cemWorkbook) return WriteRow(SplitCells(text, Separator));
  if (mode_ == cemNativeXls) return WriteNativeRow(SplitCells(text, Separator));
  if (RememberHeader && rows_ == 0) header_ = text;
  buffer_ += text;
  buffer_ += "\r\n";
  ++rows_;
  return buffer_.size() < kTextBufferSize || FlushText();
}

bool TCsvOrExcel::WriteCells(const std::vector<std::string>& cells) {
  if (mode_ == cemClosed || failed_) return false;
  if (mode_ == cemWorkbook) return WriteRow(cells);
  if (mode_ == cemNativeXls) return WriteNativeRow(cells);
  const size_t begin = buffer_.size();
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) buffer_ += Separator;
    AppendCsvField(buffer_, cells[i], Separator);
  }
  if (RememberHeader && rows_ == 0) header_ = buffer_.substr(begin);
  buffer_ += "\r\n";
  ++rows_;
  return buffer_.size() < kTextBufferSize || FlushText();
}

bool TCsvOrExcel::WriteCellsTurned(const std::vector<std::string>& cells, size_t firstTurned) {
  if (mode_ == cemWorkbook && !failed_) return WriteRow(cells, firstTurned);
  return WriteCells(cells);
}

bool TCsvOrExcel::FlushText() {
  if (fd_ < 0 || failed_) return false;
  if (!buffer_.empty() && PfWriteAll(fd_, buffer_.data(), buffer_.size()) != 0) failed_ = true;
  buffer_.clear();
  return !failed_;
}

// One row of the old format. A row past its last row, or a cell past its last column, fails
// the whole book: cutting the table or wrapping its cells would hand the reader another
// table than the one exported.
bool TCsvOrExcel::WriteNativeRow(const std::vector<std::string>& cells) {
  size_t used = cells.size();
  while (used > 0 && cells[used - 1].empty()) --used;  // empty cells at the end are no cells
  if (used > static_cast<size_t>(kNativeXlsMaxColumns) ||
      (used > 0 && rows_ >= kNativeXlsMaxRows)) {
    failed_ = true;
    refusal_ = NativeXlsLimitText();
    return false;
  }
  if (RememberHeader && rows_ == 0) {
    header_.clear();
    for (size_t i = 0; i < cells.size(); ++i)
      header_ += (i ? std::string(1, Separator) : "") + cells[i];
  }
  for (size_t col = 0; col < used; ++col) {
    if (cells[col].empty()) {
      native_->SkipCell();
      continue;
    }
    std::string text = cells[col];
    for (char& c : text)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    native_->AddText(text);
  }
  native_->NewRow();
  ++rows_;
  return FlushNative(false);
}

// The records written so far go to the "~" file once enough of them have gathered.
bool TCsvOrExcel::FlushNative(bool all) {
  if (failed_) return false;
  if (!all && native_->Bytes().size() < kTextBufferSize) return true;
  native_->TakeBytes(buffer_);
  return FlushText();
}

bool TCsvOrExcel::WriteRow(const std::vector<std::string>& cells, size_t firstTurned) {
  if (lastRow_ + 1 >= kRowsPerWorksheet) {
    FinishWorksheet();
    if (!BeginWorksheet()) return false;
  }
  if (RememberHeader && rows_ == 0) {
    header_.clear();
    for (size_t i = 0; i < cells.size(); ++i) header_ += (i ? std::string(1, Separator) : "") + cells[i];
  }
  const int row = lastRow_ + 1;
  // The workbook's first row is the header: bold unless plain.
  lxw_format* format = (!plain_ && rows_ == 0 && sheetNumber_ == 1) ? bold_ : nullptr;
  for (size_t col = 0; col < cells.size(); ++col)
    if (col >= firstTurned ? !PutCell(row, static_cast<int>(col), cells[col], turned_, false)
                           : !PutCell(row, static_cast<int>(col), cells[col], format)) {
      failed_ = true;  // a row cut short would shift what the reader sees
      return false;
    }
  lastRow_ = row;
  ++rows_;
  return true;
}

bool TCsvOrExcel::PutCell(int row0, int col0, const std::string& value, lxw_format* format,
                          bool measure) {
  if (col0 >= kMaxSheetColumns || row0 >= kMaxSheetRows) return false;
  if (value.empty()) return true;
  const std::string text = WorkbookText(value);
  if (worksheet_write_string(sheet_, static_cast<lxw_row_t>(row0), static_cast<lxw_col_t>(col0),
                             text.c_str(), format) != LXW_NO_ERROR)
    return false;
  if (!measure) return true;
  if (static_cast<size_t>(col0) >= widths_.size()) widths_.resize(static_cast<size_t>(col0) + 1, 0);
  const int length = static_cast<int>(std::min<size_t>(value.size(), 255));
  widths_[static_cast<size_t>(col0)] = std::max(widths_[static_cast<size_t>(col0)], length);
  return true;
}

bool TCsvOrExcel::SetCell(int column, int row, const std::string& value) {
  if (mode_ != cemWorkbook || failed_ || column < 1 || row < 1) return false;
  // Rows before the last one are on disk already (the workbook is written as it grows).
  if (row - 1 < lastRow_) return false;
  if (!PutCell(row - 1, column - 1, value, nullptr)) return false;
  if (row - 1 > lastRow_) {
    rows_ += row - 1 - lastRow_;
    lastRow_ = row - 1;
  }
  return true;
}

bool TCsvOrExcel::GetWorksheet(lxw_worksheet*& sheet) const {
  if (mode_ != cemWorkbook || !sheet_) return false;
  sheet = sheet_;
  return true;
}

void TCsvOrExcel::SetMode(bool plain) { plain_ = plain; }

bool TCsvOrExcel::BeginWorksheet() {
  ++sheetNumber_;
  const std::string name = "Tabelle" + std::to_string(sheetNumber_);
  sheet_ = workbook_add_worksheet(book_, name.c_str());
  lastRow_ = -1;
  widths_.clear();
  if (!sheet_) failed_ = true;
  return sheet_ != nullptr;
}

// Fitted widths: the longest text of each column, within reason.
void TCsvOrExcel::FinishWorksheet() {
  if (!sheet_ || plain_) return;
  for (size_t col = 0; col < widths_.size(); ++col) {
    if (widths_[col] == 0) continue;
    const double width = std::clamp(widths_[col] * 1.1 + 2.0, 6.0, 80.0);
    worksheet_set_column(sheet_, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), width,
                         nullptr);
  }
}

bool TCsvOrExcel::Finish(bool keep) {
  bool ok = !failed_;
  if (mode_ == cemText) {
    if (keep) ok = FlushText() && ok;
    ok = PfClose(fd_) == 0 && ok;
    fd_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
  } else if (mode_ == cemNativeXls) {
    if (keep) {
      native_->EndBook();
      ok = FlushNative(true) && ok;
    }
    ok = PfClose(fd_) == 0 && ok;
    fd_ = -1;
    native_.reset();
    buffer_.clear();
    buffer_.shrink_to_fit();
  } else if (mode_ == cemWorkbook) {
    if (keep) FinishWorksheet();
    ok = workbook_close(book_) == LXW_NO_ERROR && ok;
    book_ = nullptr;
    sheet_ = nullptr;
    bold_ = nullptr;
    turned_ = nullptr;
  }
  mode_ = cemClosed;
  if (keep && ok) return ReplaceTarget(temp_, target_, targetExisted_, targetMode_);
  PfUnlink(temp_);
  return false;
}

bool TCsvOrExcel::Close() {
  if (mode_ == cemClosed) return true;
  return Finish(true);
}

void TCsvOrExcel::Discard() {
  if (mode_ != cemClosed) Finish(false);
}

// =======================================================================================
// TNativeXLS

TNativeXLS::TNativeXLS(int version) : version_(std::clamp(version, 0, 3)) {
  static const int kBofIds[] = {0x0009, 0x0209, 0x0409, 0x0809};
  Put16(kBofIds[version_]);
  Put16(version_ == 0 ? 4 : 6);
  Put16(0x0200);
  Put16(0x0010);
  if (version_ > 0) Put16(0);
  // DIMENSIONS: first row, last row, first column, last column.
  Put16(version_ == 0 ? 0x0000 : 0x0200);
  Put16(version_ == 0 ? 8 : 10);
  Put16(0);
  Put16(0xFFFF);
  Put16(0);
  Put16(256);
  if (version_ > 0) Put16(0);
}

void TNativeXLS::Put16(int value) {
  stream_ += static_cast<char>(value & 0xFF);
  stream_ += static_cast<char>((value >> 8) & 0xFF);
}

void TNativeXLS::AddText(const std::string& text) {
  if (state_ != 1) return;
  // Past the format's last row or column: moving on would overwrite the last row or wrap
  // the cell into the next row, so the book is marked and refused when saved.
  if (row_ < 1 || row_ > kNativeXlsMaxRows || column_ < 1 || column_ > kNativeXlsMaxColumns) {
    overflowed_ = true;
    return;
  }
  const size_t length = std::min<size_t>(text.size(), 255);
  Put16(0x0004);
  Put16(static_cast<int>(length) + 8);
  Put16(row_ - 1);
  Put16(column_ - 1);
  stream_ += static_cast<char>((Hidden ? 0x80 : 0) | (Locked ? 0x40 : 0));
  stream_ += static_cast<char>((std::clamp(FontIndex, 0, 3) << 6) & 0xC0);
  static const int kAlign[] = {0, 1, 3, 2, 4, 7};
  int third = (Shaded ? 0x80 : 0) | kAlign[std::clamp(Alignment, 0, 5)];
  if (Border & 1) third |= 0x20;
  if (Border & 2) third |= 0x40;
  if (Border & 4) third |= 0x08;
  if (Border & 8) third |= 0x10;
  stream_ += static_cast<char>(third);
  stream_ += static_cast<char>(length);
  stream_.append(text, 0, length);
  MoveCursor();
}

void TNativeXLS::MoveCursor() {
  switch (CursorMode) {
    case 1:  // up; from row 1 to the last row of the previous column
      if (--row_ < 1) {
        row_ = kNativeXlsMaxRows;
        --column_;
      }
      break;
    case 2:  // down; after the last row to row 1 of the next column
      if (++row_ > kNativeXlsMaxRows) {
        row_ = 1;
        ++column_;
      }
      break;
    case 3:  // left; from column 1 to the last column of the previous row
      if (--column_ < 1) {
        column_ = kNativeXlsMaxColumns;
        --row_;
      }
      break;
    default:  // right; past the last column the next cell overflows, it never wraps
      ++column_;
      break;
  }
}

void TNativeXLS::SkipCell() {
  if (state_ != 1) return;
  MoveCursor();
}

void TNativeXLS::EndBook() {
  if (state_ != 1) return;
  Put16(0x000A);
  Put16(0);
  state_ = 2;
}

void TNativeXLS::TakeBytes(std::string& out) {
  out += stream_;
  stream_.clear();
}

void TNativeXLS::NewRow() {
  ++row_;  // past the last row the next cell overflows instead of overwriting that row
  column_ = 1;
}

bool TNativeXLS::SaveToFile(const std::string& fileName) {
  if (fileName.empty() || overflowed_) return false;
  EndBook();
  fileName_ = AnsiSameText(ExtensionOf(fileName), ".xls") ? fileName : WithExtension(fileName, ".xls");
  std::string target;
  bool existed = false;
  unsigned mode = 0;
  if (!ResolveTarget(fileName_, target, existed, mode)) return false;
  std::string temp;
  int fd = -1;
  if (PfCreateUnique(FolderOf(target), "~", ".xls", temp, fd) != 0) return false;
  bool ok = PfWriteAll(fd, stream_.data(), stream_.size()) == 0;
  ok = PfClose(fd) == 0 && ok;
  if (!ok) {
    PfUnlink(temp);
    return false;
  }
  return ReplaceTarget(temp, target, existed, mode);
}

std::string NativeXlsLimitText() {
  return GetMLTextFmt(CsvOrExcelTexts(), 1, std::to_string(kNativeXlsMaxRows));
}

bool WriteNativeXls(const std::vector<std::string>& lines, char separator, std::string& fileName) {
  TNativeXLS book;
  for (const std::string& line : lines) {
    for (const std::string& cell : SplitCells(line, separator)) book.AddText(cell);
    book.NewRow();
  }
  if (book.Overflowed()) {
    UI().ShowMessage(TMsgKind::Error, NativeXlsLimitText());
    return false;
  }
  if (!book.SaveToFile(fileName)) return false;
  fileName = book.FileName();
  return true;
}
