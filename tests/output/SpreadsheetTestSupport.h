#pragma once
// Reading back what the spreadsheet writers wrote: the entries of a ".xlsx" (a zip file)
// and the CSV text the office program makes of a workbook.

#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Every entry of a zip file by name (stored or deflated); empty when the file is no zip.
inline std::map<std::string, std::string> ZipEntries(const std::string& zip) {
  std::map<std::string, std::string> entries;
  auto u16 = [&zip](size_t at) {
    return at + 2 <= zip.size() ? static_cast<uint32_t>(static_cast<uint8_t>(zip[at]) |
                                                        static_cast<uint8_t>(zip[at + 1]) << 8)
                                : 0u;
  };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos) return entries;
  const uint32_t count = u16(end + 10);
  size_t at = u32(end + 16);
  for (uint32_t i = 0; i < count && u32(at) == 0x02014b50; ++i) {
    const uint32_t method = u16(at + 10);
    const uint32_t packed = u32(at + 20);
    const uint32_t size = u32(at + 24);
    const uint32_t nameLength = u16(at + 28);
    const size_t next = at + 46 + nameLength + u16(at + 30) + u16(at + 32);
    const std::string name = zip.substr(at + 46, nameLength);
    const size_t local = u32(at + 42);
    const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
    std::string out(size, '\0');
    if (method == 0) {
      out = zip.substr(data, size);
    } else {
      z_stream z{};
      inflateInit2(&z, -15);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
      z.avail_in = packed;
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = size;
      inflate(&z, Z_FINISH);
      inflateEnd(&z);
    }
    entries[name] = out;
    at = next;
  }
  return entries;
}

// The rows of a CSV text as the office program writes it (TAB, quote '"', LF or CR LF),
// each without its empty cells at the end.
inline std::vector<std::vector<std::string>> ParseOfficeCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false;
  bool any = false;
  auto endRow = [&] {
    row.push_back(cell);
    cell.clear();
    while (!row.empty() && row.back().empty()) row.pop_back();
    rows.push_back(row);
    row.clear();
    any = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
      continue;
    }
    any = true;
    if (c == '"') quoted = true;
    else if (c == '\t') row.push_back(std::move(cell)), cell.clear();
    else if (c == '\r') continue;
    else if (c == '\n') endRow();
    else cell += c;
  }
  if (any || !cell.empty()) endRow();
  return rows;
}
