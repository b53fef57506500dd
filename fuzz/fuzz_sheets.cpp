// The program's own readers of sheet bytes: the BIFF cell records of a bare binary
// workbook and the office program's TAB text. Neither may crash or loop; what they read
// must come back unchanged through the TAB text the imports read.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "basic/Cp1252.h"
#include "import/ExcelReadUnit.h"
#include "import/ReadOOo.h"
#include "import/ReadXls.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The cells' TAB text, as UTF-8 like the office program writes it, reads back as the same
// cells.
void CheckRoundTrip(const TSheetCells& cells) {
  std::string text;
  for (const auto& line : cells.AsTabLines()) text += line + "\r\n";
  TSheetCells back;
  ParseOfficeText(Cp1252ToUtf8(text), back);
  Check(back.AsTabLines() == cells.AsTabLines());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TSheetCells cells;
  std::string error;
  if (ReadBiffStream(bytes, cells, error)) {
    int rows = 0, cols = 0;
    cells.Size(rows, cols);
    Check(rows <= 65536 && cols <= 65536);
    CheckRoundTrip(cells);
  } else {
    Check(cells.CellCount() == 0 && !error.empty());
  }
  ParseOfficeText(bytes, cells);
  CheckRoundTrip(cells);
  return 0;
}
