#include "import/SheetFixtures.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

std::string Le16(unsigned v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string Le32(std::uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

std::string LeDouble(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  std::string out;
  for (int k = 0; k < 8; ++k) out += static_cast<char>((bits >> (8 * k)) & 0xFF);
  return out;
}

std::string BiffRecord(std::uint16_t id, const std::string& data) {
  return Le16(id) + Le16(static_cast<unsigned>(data.size())) + data;
}

std::string MakeNativeXls(const std::vector<TBiffLabel>& labels) {
  std::string out = BiffRecord(0x0809, Le16(0x0200) + Le16(0x0010) + Le16(0));
  out += BiffRecord(0x0200, Le16(0) + Le16(0xFFFF) + Le16(0) + Le16(256) + Le16(0));
  for (const auto& l : labels) {
    const std::string text = l.text.substr(0, 255);
    out += BiffRecord(0x0004, Le16(static_cast<unsigned>(l.row)) + Le16(static_cast<unsigned>(l.col)) +
                                  std::string("\x40\x00\x00", 3) +
                                  static_cast<char>(text.size()) + text);
  }
  out += BiffRecord(0x000A, "");
  return out;
}

namespace {

// UTF-8 to UTF-16 LE code units (the Basic Multilingual Plane is enough here).
std::u16string Utf16Of(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    char16_t u;
    if (c < 0x80) {
      u = c;
      i += 1;
    } else if ((c & 0xE0) == 0xC0) {
      u = static_cast<char16_t>((c & 0x1F) << 6 | (utf8[i + 1] & 0x3F));
      i += 2;
    } else {
      u = static_cast<char16_t>((c & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F));
      i += 3;
    }
    out += u;
  }
  return out;
}

// A BIFF8 string: 16-bit length, flags 1 (two bytes a character), the characters.
std::string Biff8Text(const std::string& utf8, bool lengthIs8Bit = false) {
  const std::u16string u = Utf16Of(utf8);
  std::string out = lengthIs8Bit ? std::string(1, static_cast<char>(u.size()))
                                 : Le16(static_cast<unsigned>(u.size()));
  out += '\x01';
  for (char16_t c : u) out += Le16(c);
  return out;
}

std::string Xf(unsigned format) {
  // font 0, number format, cell XF (not a style), then 14 bytes of alignment and borders.
  return BiffRecord(0x00E0, Le16(0) + Le16(format) + Le16(0x0001) + std::string(14, '\0'));
}

std::string MakeBiff8Workbook(const std::vector<std::pair<std::string, std::vector<TOleCell>>>& sheets) {
  const std::string bof = Le16(0x0600) + Le16(0x0005) + Le16(0x0DBB) + Le16(0x07CC) + Le32(0) + Le32(6);
  std::string globals = BiffRecord(0x0809, bof);
  globals += BiffRecord(0x0042, Le16(1200));
  globals += BiffRecord(0x0022, Le16(0));
  for (int i = 0; i < 16; ++i) globals += Xf(0);  // 0..15
  globals += Xf(14);                               // 16: a date
  std::vector<std::string> strings;
  for (const auto& s : sheets)
    for (const auto& c : s.second)
      if (c.kind == TOleCell::Text) strings.push_back(c.text);
  std::string sst = Le32(static_cast<std::uint32_t>(strings.size())) +
                    Le32(static_cast<std::uint32_t>(strings.size()));
  for (const auto& s : strings) sst += Biff8Text(s);
  globals += BiffRecord(0x00FC, sst);

  std::vector<std::string> bodies;
  size_t stringIndex = 0;
  for (const auto& s : sheets) {
    int lastRow = 0, lastCol = 0;
    for (const auto& c : s.second) {
      lastRow = std::max(lastRow, c.row + 1);
      lastCol = std::max(lastCol, c.col + 1);
    }
    std::string body = BiffRecord(0x0809, Le16(0x0600) + Le16(0x0010) + Le16(0x0DBB) +
                                              Le16(0x07CC) + Le32(0) + Le32(6));
    body += BiffRecord(0x0200, Le32(0) + Le32(static_cast<std::uint32_t>(lastRow)) + Le16(0) +
                                   Le16(static_cast<unsigned>(lastCol)) + Le16(0));
    for (const auto& c : s.second) {
      const std::string at = Le16(static_cast<unsigned>(c.row)) + Le16(static_cast<unsigned>(c.col));
      switch (c.kind) {
        case TOleCell::Text:
          body += BiffRecord(0x00FD, at + Le16(15) + Le32(static_cast<std::uint32_t>(stringIndex++)));
          break;
        case TOleCell::Number: body += BiffRecord(0x0203, at + Le16(15) + LeDouble(c.number)); break;
        case TOleCell::Date: body += BiffRecord(0x0203, at + Le16(16) + LeDouble(c.number)); break;
      }
    }
    body += BiffRecord(0x000A, "");
    bodies.push_back(body);
  }
  // The sheet list names each sheet's offset in the stream.
  size_t boundSize = 0;
  for (const auto& s : sheets) boundSize += 4 + 4 + 2 + 2 + 2 * s.first.size();
  size_t offset = globals.size() + boundSize + 4;  // + EOF
  std::string bound;
  for (size_t i = 0; i < sheets.size(); ++i) {
    bound += BiffRecord(0x0085, Le32(static_cast<std::uint32_t>(offset)) + std::string(2, '\0') +
                                    Biff8Text(sheets[i].first, true));
    offset += bodies[i].size();
  }
  std::string stream = globals + bound + BiffRecord(0x000A, "");
  for (const auto& b : bodies) stream += b;
  return stream;
}

}  // namespace

std::string MakeOle2Xls(const std::vector<std::pair<std::string, std::vector<TOleCell>>>& sheets) {
  std::string stream = MakeBiff8Workbook(sheets);
  const size_t size = stream.size();
  // Streams below 4096 bytes would live in the mini stream; pad so the regular sectors
  // hold it (the padding lies behind the stream's size and is never read).
  const size_t sectors = (std::max<size_t>(size, 4096) + 511) / 512;
  stream.resize(sectors * 512, '\0');

  constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFat = 0xFFFFFFFD;
  std::string header = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  header += std::string(16, '\0');
  header += Le16(0x003E) + Le16(0x0003) + Le16(0xFFFE) + Le16(9) + Le16(6) + std::string(6, '\0');
  header += Le32(0) + Le32(1) + Le32(1) + Le32(0) + Le32(4096) + Le32(kEnd) + Le32(0) + Le32(kEnd) +
            Le32(0);
  header += Le32(0);  // the FAT is sector 0
  for (int i = 1; i < 109; ++i) header += Le32(kFree);

  std::string fat = Le32(kFat) + Le32(kEnd);  // sector 0: FAT, 1: directory
  for (size_t s = 0; s < sectors; ++s)
    fat += Le32(s + 1 == sectors ? kEnd : static_cast<std::uint32_t>(s + 3));
  while (fat.size() < 512) fat += Le32(kFree);

  auto entry = [](const std::string& name, int type, std::uint32_t child, std::uint32_t start,
                  std::uint32_t streamSize) {
    std::string e;
    for (char c : name) e += Le16(static_cast<unsigned char>(c));
    e += Le16(0);
    e.resize(64, '\0');
    e += Le16(static_cast<unsigned>(2 * (name.size() + 1)));
    e += static_cast<char>(type);
    e += '\x01';  // black
    e += Le32(0xFFFFFFFF) + Le32(0xFFFFFFFF) + Le32(child);
    e += std::string(16 + 4 + 16, '\0');
    e += Le32(start) + Le32(streamSize) + Le32(0);
    return e;
  };
  std::string dir = entry("Root Entry", 5, 1, kEnd, 0);
  dir += entry("Workbook", 2, 0xFFFFFFFF, 2, static_cast<std::uint32_t>(size));
  while (dir.size() < 512) {
    std::string empty(64, '\0');
    empty += Le16(0) + std::string(1, '\0') + std::string(1, '\0');
    empty += Le32(0xFFFFFFFF) + Le32(0xFFFFFFFF) + Le32(0xFFFFFFFF);
    empty += std::string(16 + 4 + 16, '\0') + Le32(0) + Le32(0) + Le32(0);
    dir += empty;
  }
  return header + fat + dir + stream;
}

std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!target) throw std::runtime_error("zip source");
  zip_t* zip = zip_open_from_source(target, ZIP_TRUNCATE, &error);
  if (!zip) throw std::runtime_error("zip open");
  zip_source_keep(target);
  bool first = true;
  for (const auto& [name, bytes] : entries) {
    zip_source_t* src = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
    const zip_int64_t index = zip_file_add(zip, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("zip add");
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index),
                             first ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    first = false;
  }
  if (zip_close(zip) != 0) throw std::runtime_error("zip close");
  zip_source_open(target);
  zip_source_seek(target, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(target);
  zip_source_seek(target, 0, SEEK_SET);
  std::string out(static_cast<size_t>(size), '\0');
  zip_source_read(target, out.data(), out.size());
  zip_source_close(target);
  zip_source_free(target);
  return out;
}
