#pragma once
// XML workbooks (".xlsx"): a zip archive read with libzip, its parts parsed with expat.
// Shared and inline strings, number formats (dates, times, zero-padded numbers), the 1904
// date system, the first, the chosen or the shown worksheet. A part that declares a
// document type is refused (no entity of a file can grow beyond its bytes), and sizes are
// limited, so a small hostile file cannot take the memory of the workstation.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "import/ExcelReadUnit.h"

struct TXlsxLimits {
  std::uint64_t fileBytes = 256ull << 20;   // the archive itself
  std::uint64_t partBytes = 512ull << 20;   // one part, unpacked
  std::uint64_t textBytes = 256ull << 20;   // all strings and cells together, in memory
  std::uint64_t cells = 5'000'000;          // cells of one sheet
};

class TReadXlsx : public TReadCells {
 public:
  TReadXlsx();
  ~TReadXlsx() override;
  bool Open(const std::string& fileName) override;
  void Close() override;
  // Worksheet n (from 1) in the workbook's order; chart sheets do not count.
  bool SelectSheet(int n) override;
  // The worksheet the workbook shows when opened.
  void SelectActiveSheet() override;

  // The worksheets' names (1252), in order.
  std::vector<std::string> SheetNames() const;
  void SetLimits(const TXlsxLimits& limits) { limits_ = limits; }

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  TXlsxLimits limits_;
};
