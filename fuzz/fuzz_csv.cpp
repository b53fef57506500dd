// Arbitrary bytes through the CSV field reader and the CSV-to-TAB rewrite: neither may
// crash, loop or lose its place, and whatever a careful writer quotes must read back.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "basic/ValueString.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string> SplitAt(const std::string& text, char at) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t p = text.find(at, start);
    parts.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) break;
    start = p + 1;
  }
  return parts;
}

std::string Quoted(const std::string& field, char sep) {
  // A field that starts with either quote character would open quoting: it is quoted.
  if (!field.empty() && field.find(sep) == std::string::npos && field[0] != '"' &&
      field[0] != '\'')
    return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char seps[] = {';', '\t', ',', '"'};
  const char sep = seps[data[0] & 3];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // Raw bytes as one line: every call consumes something, and a field is never longer
  // than what it consumed.
  std::string line = text;
  while (!line.empty()) {
    const size_t before = line.size();
    const std::string field = FetchCsvField(line, sep);
    Check(line.size() < before);
    Check(field.size() <= before - line.size());
  }

  // Fields written the way a spreadsheet program quotes them read back unchanged.
  if (sep != '"') {
    const std::vector<std::string> fields = SplitAt(text, '\n');
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i) joined += sep;
      joined += Quoted(fields[i], sep);
    }
    std::vector<std::string> back;
    while (!joined.empty()) back.push_back(FetchCsvField(joined, sep));
    Check(back == fields);
  }

  // The rewrite keeps one line per line and produces no line breaks of its own.
  std::vector<std::string> lines = SplitAt(text, '\n');
  const size_t count = lines.size();
  CsvLinesToTabLines(lines);
  Check(lines.size() == count);
  for (const auto& l : lines) Check(l.size() <= text.size());
  return 0;
}
