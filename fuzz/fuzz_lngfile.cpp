// Arbitrary UTF-16 text through the language-file parser and the lookups: nothing may
// crash or loop, every entry carries a text, and translating a text that a file line gave
// finds an entry.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "basic/MultiLingua.h"
#include "basic/WideSLUnit.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  std::vector<std::u16string> lines;
  SplitWideLines(text, lines);

  tMLSystem ml("DE", TSystemLanguage{"en", "US"});
  ml.LoadLanguageLines(lines, (size & 1) != 0);
  for (const auto& g : ml.Entries()) {
    bool any = false;
    for (const auto& t : g.texts) any = any || !t.empty();
    Check(any);
  }
  for (const auto& l : ml.Languages()) {
    ml.SetCurrentLanguage(l.code);
    for (const auto& g : ml.Entries()) {
      ml.GetTextCRLFW(g.number);
      int grade = -1;
      const std::u16string& source = g.Text(0);
      ml.TranslateText(source, ml.Languages()[0].code, l.code, grade);
      Check(grade >= mlgNone && grade <= mlgExact);
      // A German text of the file is always found again, at least as a fallback (unless
      // it is one that translating would cut: hints, accelerators, a kept trailing dot).
      if (ml.Languages()[0].code == "DE" && !source.empty() &&
          source.find_first_of(u"|&") == std::u16string::npos && source.back() != u'.' &&
          source.back() != u':')
        Check(grade >= mlgFallback);
    }
    ml.FindLanguage(std::string(l.nativeName));
  }
  for (const auto& line : lines) {
    int grade = -1;
    ml.TranslateText(line, "DE", "EN", grade);
    Check(ml.TranslateText(std::u16string(), "DE", "EN", grade).empty());
  }
  return 0;
}
