#include "import/ReadXls.h"

#include <freexl.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr char kOle2Signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

std::uint16_t U16(const std::string& b, size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t U32(const std::string& b, size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

double F64(const std::string& b, size_t at) {
  std::uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | static_cast<unsigned char>(b[at + k]);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// An RK number: a 30-bit integer or the top 30 bits of a double, possibly divided by 100.
double RkValue(std::uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 1) ? v / 100.0 : v;
}

std::string ErrorCodeText(unsigned code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    default: return "#N/A";
  }
}

// A string of a BIFF8 record: `count` characters after a flags byte at `at` (bit 0: two
// bytes a character; bit 3: rich text, a run count follows; bit 2: extra data, its size
// follows). Characters beyond the record are dropped.
std::string Biff8String(const std::string& rec, size_t at, size_t count) {
  if (at >= rec.size()) return std::string();
  const unsigned flags = static_cast<unsigned char>(rec[at++]);
  if (flags & 0x08) at += 2;
  if (flags & 0x04) at += 4;
  std::string out;
  if (flags & 0x01) {
    for (size_t k = 0; k < count && at + 1 < rec.size(); ++k, at += 2) {
      const int b = UnicodeToCp1252(U16(rec, at));
      out += b < 0 ? '?' : static_cast<char>(b);
    }
  } else {
    for (size_t k = 0; k < count && at < rec.size(); ++k) out += rec[at++];
  }
  return out;
}

std::string Bytes(const std::string& rec, size_t at, size_t count) {
  if (at >= rec.size()) return std::string();
  return rec.substr(at, count);
}

}  // namespace

bool LooksLikeXlsFile(const std::string& firstBytes) {
  if (firstBytes.size() >= 8 && firstBytes.compare(0, 8, kOle2Signature, 8) == 0) return true;
  if (firstBytes.size() < 4) return false;
  const std::uint16_t id = U16(firstBytes, 0);
  const std::uint16_t len = U16(firstBytes, 2);
  return (id == 0x0009 || id == 0x0209 || id == 0x0409 || id == 0x0809) && len >= 4 && len <= 20;
}

bool ReadBiffStream(const std::string& bytes, TSheetCells& cells, std::string& error) {
  cells.Clear();
  if (!LooksLikeXlsFile(bytes) || bytes.compare(0, 8, kOle2Signature, 8) == 0) {
    error = "no BIFF stream";
    return false;
  }
  const std::uint16_t bofId = U16(bytes, 0);
  const bool biff2 = bofId == 0x0009;
  const bool biff8 = bofId == 0x0809 && U16(bytes, 2) >= 2 && bytes.size() >= 6 &&
                     U16(bytes, 4) == 0x0600;
  size_t pos = 0;
  int depth = 0;  // BOF ... EOF blocks (a chart inside a sheet has its own)
  bool inGlobals = false;  // a workbook's global part precedes its first sheet
  int pendingCol = 0, pendingRow = 0;  // a formula whose text result follows
  while (pos + 4 <= bytes.size()) {
    const std::uint16_t id = U16(bytes, pos);
    const std::uint16_t len = U16(bytes, pos + 2);
    if (pos + 4 + len > bytes.size()) {
      error = "the file is cut short";
      cells.Clear();
      return false;
    }
    const std::string rec = bytes.substr(pos + 4, len);
    pos += 4 + len;
    if (id == 0x0009 || id == 0x0209 || id == 0x0409 || id == 0x0809) {
      if (++depth == 1 && rec.size() >= 4) {
        const std::uint16_t type = U16(rec, 2);
        inGlobals = type == 0x0005 || type == 0x0100;
      }
      continue;
    }
    if (id == 0x000A) {
      if (--depth <= 0) {
        if (!inGlobals) return true;
        depth = 0;
        inGlobals = false;
      }
      continue;
    }
    if (depth != 1 || inGlobals) continue;
    if (id == 0x0007 || id == 0x0207) {  // the text result of the formula just before
      if (pendingRow > 0) {
        std::string text;
        if (id == 0x0007 && !rec.empty())
          text = Bytes(rec, 1, static_cast<unsigned char>(rec[0]));
        else if (rec.size() >= 2)
          text = biff8 ? Biff8String(rec, 2, U16(rec, 0)) : Bytes(rec, 2, U16(rec, 0));
        cells.Set(pendingCol, pendingRow, std::move(text));
      }
      pendingRow = 0;
      continue;
    }
    pendingRow = 0;
    // Every cell record starts with the zero-based row and column.
    if (rec.size() < 4) continue;
    const int row = U16(rec, 0) + 1;
    const int col = U16(rec, 2) + 1;
    switch (id) {
      case 0x0004:  // LABEL, old form: 3 attribute bytes, 8-bit length
        if (rec.size() >= 8)
          cells.Set(col, row, Bytes(rec, 8, static_cast<unsigned char>(rec[7])));
        break;
      case 0x0204:  // LABEL: cell format, 16-bit length
      case 0x00D6:  // RSTRING: the same, with formatting runs behind the text
        if (rec.size() >= 8) {
          const size_t count = U16(rec, 6);
          cells.Set(col, row, biff8 ? Biff8String(rec, 8, count) : Bytes(rec, 8, count));
        }
        break;
      case 0x0003:  // NUMBER, old form
        if (rec.size() >= 15) cells.Set(col, row, FormatSheetNumber(F64(rec, 7)));
        break;
      case 0x0203:  // NUMBER
        if (rec.size() >= 14) cells.Set(col, row, FormatSheetNumber(F64(rec, 6)));
        break;
      case 0x0002:  // INTEGER, old form
        if (rec.size() >= 9) cells.Set(col, row, std::to_string(U16(rec, 7)));
        break;
      case 0x027E:  // RK
        if (rec.size() >= 10) cells.Set(col, row, FormatSheetNumber(RkValue(U32(rec, 6))));
        break;
      case 0x00BD:  // MULRK: several RK cells of one row
        for (size_t at = 4, c = static_cast<size_t>(col); at + 6 <= rec.size() - 2; at += 6, ++c)
          cells.Set(static_cast<int>(c), row, FormatSheetNumber(RkValue(U32(rec, at + 2))));
        break;
      case 0x0005:  // BOOLERR, old form
      case 0x0205: {
        const size_t at = id == 0x0005 ? 7 : 6;
        if (rec.size() >= at + 2) {
          const unsigned value = static_cast<unsigned char>(rec[at]);
          cells.Set(col, row, rec[at + 1] ? ErrorCodeText(value) : std::string(value ? "1" : "0"));
        }
        break;
      }
      case 0x0006:  // FORMULA (old form in BIFF2 streams)
      case 0x0206:
      case 0x0406: {
        const size_t at = (id == 0x0006 && biff2) ? 7 : 6;
        if (rec.size() < at + 8) break;
        if (U16(rec, at + 6) != 0xFFFF) {
          cells.Set(col, row, FormatSheetNumber(F64(rec, at)));
          break;
        }
        const unsigned kind = static_cast<unsigned char>(rec[at]);
        if (kind == 0) {
          pendingRow = row;
          pendingCol = col;
        } else if (kind == 1) {
          cells.Set(col, row, rec[at + 2] ? "1" : "0");
        } else if (kind == 2) {
          cells.Set(col, row, ErrorCodeText(static_cast<unsigned char>(rec[at + 2])));
        }
        break;
      }
      default:
        break;
    }
  }
  error = "the file is cut short";
  cells.Clear();
  return false;
}

TReadXls::~TReadXls() { Close(); }

void TReadXls::Close() {
  if (handle_) freexl_close(handle_);
  handle_ = nullptr;
  sheetCount_ = 0;
  TReadCells::Close();
}

bool TReadXls::Open(const std::string& fileName) {
  Close();
  error_.clear();
  const std::string head = ReadFirstBytes(fileName, 8);
  if (!LooksLikeXlsFile(head)) return Fail("not a binary workbook");
  if (head != std::string(kOle2Signature, 8)) {
    std::string bytes;
    if (!ReadFileToString(fileName, bytes)) return Fail("the file cannot be read");
    if (!ReadBiffStream(bytes, cells_, error_)) return Fail(error_);
    fileName_ = fileName;
    state_ = 2;
    sheet_ = 1;
    sheetCount_ = 1;
    return true;
  }
  const void* handle = nullptr;
  int rc = FREEXL_OK;
  PfWithOsPath(fileName, [&](const std::string& osPath) {
    rc = freexl_open(osPath.c_str(), &handle);
    return rc == FREEXL_FILE_NOT_FOUND ? ENOENT : 0;
  });
  if (rc != FREEXL_OK || !handle) {
    if (handle) freexl_close(handle);
    return Fail("the workbook cannot be read (libfreexl " + std::to_string(rc) + ")");
  }
  handle_ = handle;
  unsigned info = 0;
  if (freexl_get_info(handle_, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
      info == FREEXL_BIFF_OBFUSCATED)
    return Fail("the workbook is protected by a password");
  if (freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &sheetCount_) != FREEXL_OK ||
      sheetCount_ == 0)
    return Fail("the workbook has no sheet");
  fileName_ = fileName;
  state_ = 2;
  if (!LoadSheet(1)) return Fail(error_);
  return true;
}

bool TReadXls::SelectSheet(int n) {
  if (!IsOpen()) return false;
  if (n < 1 || static_cast<unsigned>(n) > sheetCount_) {
    cells_.Clear();
    sheet_ = 0;
    return false;
  }
  if (!handle_) {  // a bare stream has its one sheet in memory, or reads it again
    if (sheet_ == 1) return true;
    std::string bytes;
    if (!ReadFileToString(fileName_, bytes) || !ReadBiffStream(bytes, cells_, error_)) return false;
    sheet_ = 1;
    return true;
  }
  return LoadSheet(n);
}

void TReadXls::SelectActiveSheet() { SelectSheet(1); }

namespace {

// "YYYY-MM-DD", "YYYY-MM-DD hh:mm:ss" or "hh:mm:ss" as libfreexl gives dates and times.
std::string FreexlDateText(const char* text, int type) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (type == FREEXL_CELL_TIME) {
    if (std::sscanf(text, "%d:%d:%d", &h, &mi, &s) < 2) return text;
    return FormatSheetDateTime((h * 3600 + mi * 60 + s) / 86400.0, TSheetDateKind::Time);
  }
  const int got = std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  if (got < 3 || PackDate(y, mo, d) == 0) return text;
  const double serial = EncodeDateTime(y, mo, d, h, mi, s);
  return FormatSheetDateTime(serial, type == FREEXL_CELL_DATE ? TSheetDateKind::Date
                                                              : TSheetDateKind::DateTime);
}

}  // namespace

bool TReadXls::LoadSheet(int n) {
  cells_.Clear();
  sheet_ = 0;
  if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(n - 1)) != FREEXL_OK) {
    error_ = "the sheet cannot be read";
    return false;
  }
  unsigned rows = 0;
  unsigned short cols = 0;
  if (freexl_worksheet_dimensions(handle_, &rows, &cols) != FREEXL_OK) {
    error_ = "the sheet cannot be read";
    return false;
  }
  for (unsigned r = 0; r < rows; ++r)
    for (unsigned short c = 0; c < cols; ++c) {
      FreeXL_CellValue v;
      if (freexl_get_cell_value(handle_, r, c, &v) != FREEXL_OK) continue;
      std::string text;
      switch (v.type) {
        case FREEXL_CELL_INT: text = std::to_string(v.value.int_value); break;
        case FREEXL_CELL_DOUBLE: text = FormatSheetNumber(v.value.double_value); break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT: text = Utf8ToCp1252(v.value.text_value); break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME: text = FreexlDateText(v.value.text_value, v.type); break;
        default: break;
      }
      cells_.Set(c + 1, static_cast<int>(r) + 1, std::move(text));
    }
  sheet_ = n;
  return true;
}
