#include "data/RemarkTextUnit.h"

#include "basic/BasicsUnit.h"
#include "basic/SLUnit.h"

namespace {

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r') ++end;
    if (end < text.size() && text[end] == '\n') ++end;
    start = end;
  }
  return lines;
}

}  // namespace

std::string RemarkLinesToStored(const std::vector<std::string>& lines) {
  return lines.empty() ? std::string() : BuildCommaText(lines);
}

std::string RemarkToStored(const std::string& text) { return RemarkLinesToStored(TextLines(text)); }

std::vector<std::string> RemarkLines(const std::string& stored) {
  std::vector<std::string> lines;
  if (stored.empty()) return lines;
  ParseCommaText(stored, lines);
  // What a comma text writer would not have written, and that quotes nothing, was kept as
  // plain text ("eine Bemerkung" is no two lines).
  if (stored.find('"') == std::string::npos && BuildCommaText(lines) != stored)
    lines = TextLines(stored);
  return lines;
}

std::string RemarkToText(const std::string& stored) {
  std::string text;
  const std::vector<std::string> lines = RemarkLines(stored);
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

std::string RemarkToLine(const std::string& stored) {
  std::string out;
  for (const std::string& line : RemarkLines(stored)) {
    const std::string text = Trim(line);
    if (text.empty()) continue;
    if (!out.empty()) out += ' ';
    out += text;
  }
  return out;
}
