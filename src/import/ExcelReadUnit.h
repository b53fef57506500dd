#pragma once
// Spreadsheet files for the imports. A reader opens a workbook, reads one sheet into
// memory and stores it as a temporary TAB text, which the imports then read like any text
// table. The program reads the binary (".xls") and the XML (".xlsx") workbook formats
// itself; every other format (".ods", ".dbf", ...) goes through the optional office suite,
// run headless in a profile of its own (ReadOOo.h). A reader never changes the file it
// reads, and never touches an office program the user has open: there is no attaching to a
// sheet on the screen.
//
// Cells hold 1252 text as the sheet shows it: text cells exactly (so "0815" keeps its
// zero), numbers without a thousands separator and with "." as the decimal point, dates in
// the user's short date format, times as "hh:mm" (":ss" when the seconds are not 0).
// Columns and rows count from 1.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TImportTable;

// The cells of one sheet, kept sparse: a stray cell far down and to the right costs one
// entry, not a full grid.
class TSheetCells {
 public:
  void Clear();
  // Sets or replaces a cell; an empty text removes it.
  void Set(int col, int row, std::string text);
  const std::string& Get(int col, int row) const;
  // The last row and column that hold a cell; 0 and 0 when there is none.
  void Size(int& rows, int& cols) const;
  std::size_t CellCount() const;
  // One line per row from row 1 to the last row that holds a cell (1252, no line end),
  // its cells from column 1 joined by TAB up to its last cell. A cell is written in double quotes
  // (a quote inside doubled) when it holds a TAB, a line break or ";", or starts with a
  // quote character, so that the table readers give back exactly the cell.
  std::vector<std::string> AsTabLines() const;

 private:
  struct TCell {
    std::uint32_t row;
    std::uint32_t col;
    std::string text;
  };
  void Sort() const;
  mutable std::vector<TCell> cells_;
  mutable bool sorted_ = true;
};

// Numbers and dates as the readers write them into cells.
std::string FormatSheetNumber(double value);
enum class TSheetDateKind { Date, Time, DateTime };
// `serial`: days since 1899-12-30 with the time of day as the fraction.
std::string FormatSheetDateTime(double serial, TSheetDateKind kind);

// The base of the readers: open state, file name, current sheet.
class TReadTable {
 public:
  virtual ~TReadTable() = default;
  // With a file: opens it and reads its first sheet. Without (empty name): attaches to the
  // workbook on the screen, which this program never does (false).
  virtual bool Open(const std::string& fileName);
  // Releases what is open; state and file name are cleared.
  virtual void Close();
  // Closes the workbook, then Close. A reader never writes to the file it read, so there
  // is nothing to save.
  virtual void CloseFile(bool saveChanges);
  // Makes sheet n (from 1) the current one; false (and no current sheet) when there is no
  // such sheet.
  virtual bool SelectSheet(int n);
  // The sheet the workbook shows first.
  virtual void SelectActiveSheet();
  virtual std::string GetCell(int col, int row);
  // Changes the cell in memory only.
  virtual void SetCell(int col, int row, const std::string& text);
  virtual void GetSize(int& rows, int& cols);
  // Stores the current sheet as TAB text (UTF-8 with its mark, CR LF; TSheetCells::AsTabLines)
  // over `fileName`. False when nothing is open or the file cannot be written.
  virtual bool SaveAsText(const std::string& fileName);

  const std::string& FileName() const { return fileName_; }
  bool IsOpen() const { return state_ == 2; }
  int CurrentSheet() const { return sheet_; }
  // Why the last Open or SelectSheet failed, for the error log (English, not shown).
  const std::string& ErrorText() const { return error_; }

 protected:
  std::string fileName_;
  int state_ = 0;  // 0 closed, 2 open
  int sheet_ = 0;  // 0 = none
  std::string error_;
};

// A reader whose sheet lies in memory as TSheetCells.
class TReadCells : public TReadTable {
 public:
  void Close() override;
  std::string GetCell(int col, int row) override;
  void SetCell(int col, int row, const std::string& text) override;
  void GetSize(int& rows, int& cols) override;
  bool SaveAsText(const std::string& fileName) override;
  const TSheetCells& Cells() const { return cells_; }

 protected:
  bool Fail(const std::string& why);
  TSheetCells cells_;
};

// Up to `count` first bytes of a file (fewer when it is shorter; empty when unreadable).
std::string ReadFirstBytes(const std::string& fileName, std::size_t count);

// Which reader a file needs.
enum class TTableReaderKind {
  None,           // not a spreadsheet (a text table, or an unknown kind)
  Xls,            // binary workbook: OLE2 compound file or a bare BIFF stream (TReadXls)
  Xlsx,           // XML workbook in a zip archive (TReadXlsx)
  Office,         // anything else of a spreadsheet's extension: the office suite (TReadOOo)
  NoSpreadsheet,  // a workbook's name on bytes of no workbook: nobody reads it
};
// Only files whose extension begins with "XLS", "DBF" or "ODS" (any case) are spreadsheets.
// Among them the first bytes decide, and the office suite takes what the program cannot
// recognise itself (an ".xls" that is really a web page, say). An ".xls" or ".xlsx" whose
// bytes are neither a binary nor an XML workbook nor markup is NoSpreadsheet: the office
// suite would import its bytes as text.
TTableReaderKind TableReaderKindOf(const std::string& fileName);

// A reader attached to the sheet open on the screen: always none (this program does not
// reach into a running office program). The callers show ExcelReadText(1).
std::unique_ptr<TReadTable> CreateTableReader();
// A reader with the file opened; none for an empty name (CreateTableReader), a missing
// file, a file that is no spreadsheet, and a file its reader cannot open. Why it gave none
// goes to `error` (English, for the error log) when one is passed.
std::unique_ptr<TReadTable> CreateFileReader(const std::string& fileName,
                                             std::string* error = nullptr);

// Converts a spreadsheet file into a new temporary TAB text file (in the system's
// temporary folder, "~" prefix), whose name goes to `textFileName`. False, with an empty
// name and no file left behind, when the file cannot be read (why: in `error`).
bool ReadSpreadsheetFile(const std::string& fileName, std::string& textFileName,
                         std::string* error = nullptr);

// True when the program can read the file's kind now: text tables and the binary and XML
// workbooks always, other spreadsheets only with the office suite installed
// (OfficeAvailable).
bool SpreadsheetReadable(const std::string& fileName);

// Copies TAB-separated lines into the table from column `firstCol` and row `firstRow`:
// the area from there on is emptied first, columns are added as needed, the row count
// becomes the number of lines plus `firstRow`, and only non-empty values are set, each
// with one blank in front when `blankPrefix` is set.
void SpreadsheetToGrid(const std::vector<std::string>& lines, TImportTable& table,
                       int firstCol, bool blankPrefix, int firstRow);

// The unit's messages: 1 "Es wurde kein geöffnetes Tabellen-Fenster gefunden."
std::string ExcelReadText(int number);

class TMLStringList;
// The unit's message table (its German texts by number), made on first use.
const TMLStringList* ExcelReadTexts();
