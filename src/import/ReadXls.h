#pragma once
// Binary workbooks (".xls"). A workbook in an OLE2 compound file, as spreadsheet programs
// have saved since the mid-nineties, is read with libfreexl; a bare BIFF stream (what older
// spreadsheet programs saved, and what the program's own spreadsheet export writes) goes
// through a small reader of ours for its cell records, so the program reads its own exports
// back.

#include <string>

#include "import/ExcelReadUnit.h"

// True when the first bytes of a file are those of a binary workbook: the OLE2 signature,
// or a BIFF BOF record (id 0x0009, 0x0209, 0x0409 or 0x0809 with a plausible length).
bool LooksLikeXlsFile(const std::string& firstBytes);

// The cells of the first sheet of a bare BIFF stream (labels, numbers, integers, RK and
// MULRK numbers, formula results, booleans and errors; texts as 1252). False, with a reason
// in `error`, for a stream that does not start with a BOF record or is cut short.
bool ReadBiffStream(const std::string& bytes, TSheetCells& cells, std::string& error);

class TReadXls : public TReadCells {
 public:
  ~TReadXls() override;
  bool Open(const std::string& fileName) override;
  void Close() override;
  // OLE2 workbooks: any of their worksheets; a bare stream has one sheet.
  bool SelectSheet(int n) override;
  // The first sheet: the library does not tell which one the workbook shows.
  void SelectActiveSheet() override;

 private:
  bool LoadSheet(int n);
  const void* handle_ = nullptr;  // libfreexl's workbook, for OLE2 files
  unsigned sheetCount_ = 0;
};
