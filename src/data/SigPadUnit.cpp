#include "data/SigPadUnit.h"

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/MultiLingua.h"
#include "basic/ValueString.h"

namespace {

bool IsBlank(char c) { return c == ' '; }

std::string TrimTrailingBlanks(std::string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

// Every "<BR>" (any case) and every line end (CR LF, CR, LF) ends a line.
std::vector<std::string> SplitPadLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c == '<' && i + 3 < text.size() && (text[i + 1] == 'B' || text[i + 1] == 'b') &&
        (text[i + 2] == 'R' || text[i + 2] == 'r') && text[i + 3] == '>') {
      lines.push_back(line);
      line.clear();
      i += 4;
      continue;
    }
    line += c;
    ++i;
  }
  // A text ending in a break has no empty line after it, as a list's text would read.
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string ReplaceMarkers(const std::string& text, const std::string& keyCount,
                           const std::string& keyNames, const std::string& personName) {
  static const std::string kKeyCount = "#KeyCount#", kKey = "#Key#", kPerson = "#Person#";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '#') {
      if (text.compare(i, kKeyCount.size(), kKeyCount) == 0) {
        out += keyCount;
        i += kKeyCount.size();
        continue;
      }
      if (text.compare(i, kKey.size(), kKey) == 0) {
        out += keyNames;
        i += kKey.size();
        continue;
      }
      if (text.compare(i, kPerson.size(), kPerson) == 0) {
        out += personName;
        i += kPerson.size();
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

}  // namespace

// ---- raw samples ---------------------------------------------------------------------------

void PackSignaturePoints(const TRawSamples& samples, TSignaturePoints& points) {
  points.clear();
  points.reserve(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    const TFrames& s = samples[i];
    std::uint32_t p = s.pressure / 8;
    if (p == 254 || p == 255) p = 253;
    else if (p > 255) p = 255;
    std::uint8_t pressure = static_cast<std::uint8_t>(p & 0xFE);
    if (i == 0 || s.strokeTag != samples[i - 1].strokeTag) pressure |= 1;
    points.push_back({s.x, s.y, s.level, pressure});
  }
}

void ReduceSignaturePoints(TSignaturePoints& points) {
  const size_t n = points.size();
  size_t kept = 0;
  int counter = 0;
  for (size_t i = 0; i < n; ++i) {
    ++counter;
    if (i + 1 == n || points[i].StartsStroke() || points[i + 1].StartsStroke()) counter = 0;
    if (counter < 2) {
      points[kept++] = points[i];
    } else {
      counter = 0;
    }
  }
  points.resize(kept);
}

int ReduceForDisplay(TSignaturePoints& points) {
  int passes = 0;
  do {
    ReduceSignaturePoints(points);
    ++passes;
  } while (points.size() >= kReduceWhileAtLeast && passes < kMaxReducePasses);
  return passes;
}

// ---- the pad's display ---------------------------------------------------------------------

std::string DefaultPadText() {
  return MLTranslate("Tessaro Schl\xFCsselverwaltung") + "<br><br>" +
         MLTranslate("\xDC" "bergabe, Anzahl der Schl\xFCssel: #KeyCount#<br><br>Schl\xFCssel: "
                     "#Key#<br><br>Empf\xE4nger: #Person#") +
         "<br><br>" +
         MLTranslate("Bitte best\xE4tigen Sie den Erhalt und zugeh\xF6rige Bedingungen.") +
         "<br>#Signature#<br>" +
         MLTranslate("Ihre Unterschrift wird zusammen mit dem Vorgang verschl\xFCsselt "
                     "gespeichert.");
}

namespace {

TPadTextSource& PadTextSource() {
  static TPadTextSource source;
  return source;
}

}  // namespace

std::string ConfiguredPadText() {
  const TPadTextSource& source = PadTextSource();
  return source ? source() : DefaultPadText();
}

void SetPadTextSource(TPadTextSource source) { PadTextSource() = std::move(source); }

std::vector<std::string> BuildPadTextLines(const std::string& padText, int keyCount,
                                           const std::string& keyNames,
                                           const std::string& personName) {
  std::vector<std::string> lines =
      SplitPadLines(ReplaceMarkers(padText, std::to_string(keyCount), keyNames, personName));

  // Long lines are cut after their last blank within reach, and so is every remainder, so
  // that no text runs off the display.
  std::vector<std::string> cut;
  cut.reserve(lines.size());
  for (std::string& line : lines) {
    while (static_cast<int>(line.size()) > kPadLineWidth)
      cut.push_back(SplitAtBreakChars(line, kPadLineWidth, " ", ""));
    cut.push_back(line);
  }
  lines.swap(cut);

  int signatureLine = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    line = TrimTrailingBlanks(line);
    if (line.empty()) continue;
    if (AnsiLowerCase(Trim(line)) == "#signature#") {
      line.clear();
      signatureLine = static_cast<int>(i);
    } else {
      line.insert(0, 1, ' ');
    }
  }
  if (signatureLine >= 0 && signatureLine < kPadSignatureLine)
    lines.insert(lines.begin() + signatureLine, kPadSignatureLine - signatureLine, std::string());
  lines.insert(lines.begin(), std::string());
  return lines;
}

std::string JoinPadTextLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

std::string PadLanguageOf(const std::string& languageCode) {
  const std::string code = AnsiUpperCase(Trim(languageCode));
  if (code == "DE") return "D";
  if (code == "FR") return "F";
  if (code == "ES" || code == "PL" || code == "NL") return code;
  return "GB";
}

// ---- saving and reading through the journal -------------------------------------------------

std::string StoreSignature(TSigDB& db, const std::string& period, const std::string& journalRef,
                           const std::string& padText, const TSignaturePoints& points) {
  const std::string year = journalRef.size() >= 4 ? journalRef.substr(0, 4) : period.substr(0, 4);
  const std::int32_t recordId = journalRef.size() > 5 ? StrToIntZero(journalRef.substr(5)) : 0;
  // A reference that names no valid year or record must not become a new journal record
  // somewhere else: the caller asked for that one.
  if (!IsJournalYear(year) || recordId < 0) return std::string();
  std::string signatureRef;
  if (!db.SaveSignatureRecord(period, padText, std::string(), signatureRef, points) ||
      signatureRef.empty())
    return std::string();
  std::string result;
  if (!db.WriteJournalSignature(year, recordId, signatureRef, result)) return std::string();
  return result;
}

bool LoadJournalSignature(TSigDB& db, const std::string& journalRef, std::string& padText,
                          TSignaturePoints& points) {
  padText.clear();
  points.clear();
  std::string signatureRef, secondText;
  if (!db.ReadJournalSignature(journalRef, signatureRef)) return false;
  return db.LoadSignatureRecord(signatureRef, padText, secondText, points);
}
