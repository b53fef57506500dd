#include "setup/SetupLanguageUnit.h"

#include <memory>
#include <vector>

#include "basic/Cp1252.h"
#include "basic/UnicodeFunUnit.h"
#include "basic/WideSLUnit.h"
#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupMainUnit.h"

namespace {

std::string& Kept() {
  static std::string kept;
  return kept;
}

}  // namespace

const TLanguageNameTable& SetupLanguageNames() {
  static const TLanguageNameTable table = {
      {"DE", "Deutsch", "German"},
      {"EN", "English", "English"},
      {"ES", "Espa\xF1ol", "Spanish"},
      {"EO", "Esperanto", "Esperanto"},
      {"FR", "Fran\xE7" "ais", "French"},
      {"HU", "Magyar", "Hungarian"},
      {"NL", "Nederlands", "Dutch"},
      {"TR", "T\xFCrk\xE7" "e", "Turkish"},
  };
  return table;
}

void LoadLanguageText(tMLSystem& system, const std::u16string& text, bool keepRaw) {
  std::vector<std::u16string> lines;
  SplitWideLines(text, lines);
  system.LoadLanguageLines(lines, keepRaw);
}

std::u16string GetLanguageText(const tMLSystem& system) {
  std::u16string text(1, u'\xFEFF');
  const std::u16string crlf = u"\r\n";
  for (const tMLGroup& g : system.Entries()) {
    std::u16string block;
    for (size_t i = 0; i < g.rawLines.size(); ++i)
      if (!g.rawLines[i].empty() && !g.Text(static_cast<int>(i)).empty())
        block += g.rawLines[i] + crlf;
    if (block.empty()) continue;
    if (!g.comment.empty()) text += g.comment + crlf;
    text += block + crlf;
  }
  return text;
}

bool LoadSetupLanguage(tMLSystem& system) {
  LoadSelfSections();
  std::string bytes;
  if (!ReadSection(kSectionLanguage, bytes) || bytes.empty()) return false;
  std::u16string text;
  if (!BytesToWideText(bytes, text)) return false;
  LoadLanguageText(system, text, true);
  SetKeptLanguageText(bytes);
  return true;
}

std::string LanguageFileNameFor(const std::string& file) { return ChangeFileExtension(file, ".lng"); }

bool LoadSetupTexts(tMLSystem& system, const std::string& ownFile) {
  LoadSelfSections();
  if (LoadSetupLanguage(system)) return true;
  if (ownFile.empty() || !system.LoadLanguageFile(LanguageFileNameFor(ownFile), true)) return false;
  SetKeptLanguageText(WideToUtf16LEBytes(GetLanguageText(system)));
  return true;
}

const std::string& KeptLanguageText() { return Kept(); }
void SetKeptLanguageText(std::string bytes) { Kept() = std::move(bytes); }

std::string WideToUtf16LEBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

std::u16string Utf16LEBytesToWideText(const std::string& bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
  return text;
}

std::string SetupTextTo1252(const std::u16string& text) {
  std::u16string mapped = text;
  for (char16_t& c : mapped) {
    switch (c) {
      case u'\u0150': c = u'\u00D5'; break;  // Ő -> Õ
      case u'\u0151': c = u'\u00F5'; break;  // ő -> õ
      case u'\u0170': c = u'\u00DB'; break;  // Ű -> Û
      case u'\u0171': c = u'\u00FB'; break;  // ű -> û
      default: break;
    }
  }
  return Utf16ToCp1252(mapped);
}

tMLSystem& InstallSetupLanguageSystem() {
  auto system = std::make_unique<tMLSystem>("DE");
  system->SetLanguageNameTable(SetupLanguageNames());
  tMLSystem& ref = *system;
  ReplaceMLSystem(std::move(system));
  return ref;
}
