#pragma once
// Workbook files made by the tests themselves: a bare BIFF stream in the byte layout of the
// program's own spreadsheet export, a binary workbook in an OLE2 compound file, and zip
// archives (XML workbooks, OpenDocument sheets).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A bare BIFF stream as the program's spreadsheet export writes it: BOF (id 0x0809),
// DIMENSIONS, one old-form LABEL per text cell (row and column from 0), EOF.
struct TBiffLabel {
  int row;
  int col;
  std::string text;  // 1252
};
std::string MakeNativeXls(const std::vector<TBiffLabel>& labels);

// BIFF records for hand-made streams.
std::string BiffRecord(std::uint16_t id, const std::string& data);
std::string Le16(unsigned v);
std::string Le32(std::uint32_t v);
std::string LeDouble(double v);

// A cell of a BIFF8 worksheet in an OLE2 workbook.
struct TOleCell {
  int row;
  int col;
  enum Kind { Text, Number, Date } kind;
  std::string text;  // Text: UTF-8
  double number = 0;
};
// A BIFF8 workbook with one worksheet per entry (names ASCII), wrapped in a compound file.
std::string MakeOle2Xls(const std::vector<std::pair<std::string, std::vector<TOleCell>>>& sheets);

// A zip archive of the given entries (name, bytes); the first is stored, the rest deflated.
std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries);
