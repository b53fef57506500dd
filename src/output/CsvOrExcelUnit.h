#pragma once
// Tables leaving the program: delimited text (CSV, TAB-separated by default), spreadsheet
// workbooks (".xlsx", written by libxlsxwriter without any office program) and the old
// binary spreadsheet format the program writes itself (`TNativeXLS`). `TCsvOrExcel` puts
// the first two behind one row-writing interface and chooses by the file's extension.
// The helpers around them (file kinds, open filters, cell names, the office program) serve
// the imports too.
//
// Every file is written under a "~" name in the target's folder and takes the target's
// place only when it is complete, so a failed export leaves the old file as it was.
// Nothing here shows a message except `WriteNativeXls`, which says why it refused.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "basic/OfficeLookup.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// ---------------------------------------------------------------------------------------
// File kinds, filters, cell names.

// By the (at most) three characters after the extension's dot, upper-cased: "CSV", "TXT"
// 1 (text); "XLS", "DBF" 2 (spreadsheet, ".xlsx" too); "ODS" 3; anything else 0.
int SpreadsheetFileKind(const std::string& fileName);
constexpr int sfkOther = 0;
constexpr int sfkText = 1;
constexpr int sfkSpreadsheet = 2;
constexpr int sfkOds = 3;

// The open-dialog filter of the imports: title + " (.xls .ods .dbf .csv .txt)|...", the
// Excel, OpenOffice and CSV choices, and with `extraName` a last choice of `extraMask`.
std::string SpreadsheetOpenFilter(const std::string& title, const std::string& extraName,
                                  const std::string& extraMask);
// "A".."Z", "AA".."ZZ" for the columns 1..702; "" outside.
std::string ColumnLetters(int column);
// Column letters + row number ("B7"); "" for a column outside 1..702.
std::string CellName(int column, int row);

// ---------------------------------------------------------------------------------------
// The office program: GetOpenOfficePath, OfficeAvailable, OfficeProgram (basic/OfficeLookup.h,
// without widgets, since the imports ask it too).

// ---------------------------------------------------------------------------------------
// Writer of CSV text or ".xlsx" workbooks.

class TNativeXLS;

constexpr int kRowsPerWorksheet = 60000;
constexpr int cemClosed = 0;
constexpr int cemText = 1;
constexpr int cemWorkbook = 2;
constexpr int cemNativeXls = 3;  // the old binary format (TNativeXLS), for names ".xls"

class TCsvOrExcel {
 public:
  TCsvOrExcel() = default;
  // Closes what is open (as Close).
  ~TCsvOrExcel();
  TCsvOrExcel(const TCsvOrExcel&) = delete;
  TCsvOrExcel& operator=(const TCsvOrExcel&) = delete;

  char Separator = '\t';
  // The first line written is kept (callers that need the column captions).
  bool RememberHeader = true;

  // By SpreadsheetFileKind: text opens CSV, spreadsheet opens a workbook; otherwise false.
  // The target's folder is made when missing. False leaves the writer closed (Refusal()
  // says why when the name's kind cannot be written).
  bool Open(const std::string& fileName);
  // A text file whatever the name's extension (a name the user chose as it is).
  bool OpenCsv(const std::string& fileName);
  // A workbook under exactly the name given: ".xlsx" a workbook of sheets of
  // kRowsPerWorksheet rows, ".xls" the old binary format (TNativeXLS), which holds one sheet
  // of at most kNativeXlsMaxRows rows and kNativeXlsMaxColumns columns: a row beyond those
  // fails the book (Refusal() says so and proposes ".xlsx"), it is never cut or wrapped.
  // Any other name (".dbf", ".xlsm", ...) is refused: the program writes no such file.
  // Cells are text: "0042" keeps its zeros.
  bool OpenExcel(const std::string& fileName);

  // One row of cells joined by the separator. CR and LF become blanks. False once a write
  // failed or when closed.
  bool WriteLine(const std::string& line);
  // One row of cells. In text files CR and LF (and TAB in TAB files) become blanks, and a
  // cell holding the separator or a quote, or starting with an apostrophe, is quoted with
  // inner quotes doubled, so every cell reads back as it was.
  bool WriteCells(const std::vector<std::string>& cells);
  // As WriteCells; in a workbook the cells from `firstTurned` on are turned by 90 degrees
  // (upright captions over narrow columns) and do not widen their columns.
  bool WriteCellsTurned(const std::vector<std::string>& cells, size_t firstTurned);
  // One cell of the current worksheet (".xlsx" workbooks only; column and row from 1). False
  // for a row before the last one written: written rows are on disk already.
  bool SetCell(int column, int row, const std::string& value);
  // The current worksheet; false when no workbook is open.
  bool GetWorksheet(lxw_worksheet*& sheet) const;
  // With `plain` the workbook gets no format (no bold header, no fitted widths).
  void SetMode(bool plain);

  // Completes the file and puts it in the target's place. False when any write failed
  // (the target keeps its old content then). True when nothing was open.
  bool Close();
  // Drops what was written; the target stays as it was.
  void Discard();

  int Mode() const { return mode_; }
  // Why the last Open refused the name or why the book failed, for the user: the table
  // does not fit an ".xls" (NativeXlsLimitText), or the kind cannot be written. Empty for
  // other failures (a folder or file that cannot be made or written).
  const std::string& Refusal() const { return refusal_; }
  // The target (after OpenExcel with ".xlsx").
  const std::string& FileName() const { return fileName_; }
  int64_t RowCount() const { return rows_; }
  const std::string& Header() const { return header_; }
  int WorksheetNumber() const { return sheetNumber_; }

 private:
  bool Begin(const std::string& target, int* fd);
  bool FlushText();
  bool WriteRow(const std::vector<std::string>& cells, size_t firstTurned = SIZE_MAX);
  bool BeginWorksheet();
  void FinishWorksheet();
  bool PutCell(int row0, int col0, const std::string& value, lxw_format* format,
               bool measure = true);
  bool WriteNativeRow(const std::vector<std::string>& cells);
  bool FlushNative(bool all);
  bool Finish(bool keep);

  int mode_ = cemClosed;
  std::string fileName_;
  std::string target_;   // the file replaced at the end (a link's target)
  std::string temp_;     // the "~" file written meanwhile
  unsigned targetMode_ = 0;
  bool targetExisted_ = false;
  int64_t rows_ = 0;
  std::string header_;
  bool failed_ = false;
  bool plain_ = false;
  std::string refusal_;
  // text
  int fd_ = -1;
  std::string buffer_;
  // workbook
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* bold_ = nullptr;
  lxw_format* turned_ = nullptr;
  int sheetNumber_ = 0;
  int lastRow_ = -1;  // the last row used in the current sheet, 0-based
  std::vector<int> widths_;  // longest text per column of the current sheet
  // native ".xls": the records go to the "~" file (`fd_`) as they come
  std::unique_ptr<TNativeXLS> native_;
};

// ---------------------------------------------------------------------------------------
// The old binary spreadsheet format, written without any office program: a BOF and a
// DIMENSIONS record, one LABEL record per text cell, an EOF record.

constexpr int kNativeXlsMaxRows = 65535;
constexpr int kNativeXlsMaxColumns = 256;

class TNativeXLS {
 public:
  // Version 0..3 (3 by default) chooses the BOF and DIMENSIONS records.
  explicit TNativeXLS(int version = 3);

  // Attributes of the next cells.
  int FontIndex = 0;     // 0..3
  int CursorMode = 4;    // after a cell: 1 up, 2 down, 3 left, 4 right
  bool Shaded = false;
  int Border = 0;        // bits 0..3
  int Alignment = 0;     // 0..5
  bool Hidden = false;
  bool Locked = true;

  // A text cell (1252, at most 255 characters kept) at the cursor, then the cursor moves.
  // A cell past row 65535 or column 256 is not written and marks the book overflowed.
  void AddText(const std::string& text);
  // Next row, column 1.
  void NewRow();
  // A cell left empty: the cursor moves as after a cell, nothing is written.
  void SkipCell();
  // Ends the book: the EOF record (once).
  void EndBook();
  // Hands the records written so far to `out` (appended) and forgets them, so that a book
  // written to a file as it grows holds little in memory. Bytes() then holds the rest.
  void TakeBytes(std::string& out);
  // Ends the book (EOF) and writes it; a name without ".xls" gets it (FileName() tells).
  // False without a name, for an overflowed book, or on a write error (the old file stays).
  bool SaveToFile(const std::string& fileName);

  int Version() const { return version_; }
  int Row() const { return row_; }
  int Column() const { return column_; }
  bool Overflowed() const { return overflowed_; }
  const std::string& Bytes() const { return stream_; }
  const std::string& FileName() const { return fileName_; }

 private:
  void Put16(int value);
  void MoveCursor();

  std::string stream_;
  int version_ = 3;
  int state_ = 1;  // 1 open, 2 closed (EOF written)
  std::string fileName_;
  int row_ = 1;
  int column_ = 1;
  bool overflowed_ = false;
};

// The refusal of a book that does not fit the old format (names the limits).
std::string NativeXlsLimitText();
// Lines of cells joined by `separator` into a native book saved as `fileName` (which gets
// ".xls"). A table beyond the limits is refused with NativeXlsLimitText() and nothing is
// written. False when refused or not written.
bool WriteNativeXls(const std::vector<std::string>& lines, char separator, std::string& fileName);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* CsvOrExcelTexts();
