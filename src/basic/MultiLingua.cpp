#include "basic/BasicsUnit.h"
#include "basic/MultiLingua.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "basic/Cp1252.h"
#include "basic/WideSLUnit.h"

namespace {

// ---------------------------------------------------------------------------------------
// Small UTF-16 helpers.

bool IsBlank16(char16_t c) { return c <= u' '; }

std::u16string Trim16(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank16(s[b])) ++b;
  while (e > b && IsBlank16(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Upper case of one UTF-16 unit for matching without case: the 1252 letters through the
// program's own table (so that it agrees with AnsiCompareText), Greek and Cyrillic by their
// regular blocks. Nothing depends on the process locale.
char16_t Fold16(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  int b = UnicodeToCp1252(c);
  if (b >= 0) return static_cast<char16_t>(Cp1252ToUnicode(UpCase1252(static_cast<unsigned char>(b))));
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);  // α..ω
  if (c == 0x3C2) return 0x3A3;                                           // final ς
  if (c >= 0x3AC && c <= 0x3AF) {                                         // ά έ ή ί
    static const char16_t up[] = {0x386, 0x388, 0x389, 0x38A};
    return up[c - 0x3AC];
  }
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD) return 0x38E;
  if (c == 0x3CE) return 0x38F;
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);  // а..я
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);  // ѐ..џ
  return c;
}

std::u16string FoldText(const std::u16string& s) {
  std::u16string r(s);
  for (auto& c : r) c = Fold16(c);
  return r;
}

std::string UpperAscii(std::string s) {
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

bool IsTrailJunk(char16_t c) { return IsBlank16(c) || c == u'.' || c == u':'; }

// A decimal number of 1..9 digits that fits 32 bits; anything else (sign, other
// characters, overlong digit runs) is no number.
bool ParseDecimal(const std::u16string& s, int64_t& value) {
  if (s.empty() || s.size() > 10) return false;
  int64_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  if (v > std::numeric_limits<int32_t>::max()) return false;
  value = v;
  return true;
}

// The text as the file stores it: trimmed; trailing blanks, dots and colons removed while
// more than one character remains; "!." at the end becomes "." (the way to keep a dot).
std::u16string StoredText(const std::u16string& raw) {
  std::u16string t = Trim16(raw);
  if (t.size() >= 2 && t[t.size() - 2] == u'!' && t.back() == u'.') {
    t.erase(t.size() - 2, 1);
    return t;
  }
  while (t.size() > 1 && IsTrailJunk(t.back())) t.pop_back();
  return t;
}

// The entry number of a comment line: its text after the first three characters read as
// ";"-separated Name=Value items, the item "ID" with a positive number. 0 when none.
int32_t CommentId(const std::u16string& line) {
  if (line.size() <= 3) return 0;
  std::u16string rest = line.substr(3);
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = rest.find(u';', pos);
    if (end == std::u16string::npos) end = rest.size();
    std::u16string item = rest.substr(pos, end - pos);
    size_t eq = item.find(u'=');
    if (eq != std::u16string::npos && FoldText(Trim16(item.substr(0, eq))) == u"ID") {
      int64_t v = 0;
      if (ParseDecimal(Trim16(item.substr(eq + 1)), v) && v >= 1) return static_cast<int32_t>(v);
    }
    pos = end + 1;
  }
  return 0;
}

// A code of a text line: 2 or 3 letters A-Z, optionally followed by a number.
// Returns false for anything else; `number` is 0 when the code carries none and -1 when
// the number is below 1 (the line is then ignored too).
bool ParseLineCode(const std::u16string& rawCode, std::string& letters, int32_t& number) {
  std::u16string code = FoldText(Trim16(rawCode));
  if (code.empty() || code.size() > 15) return false;
  size_t n = 0;
  while (n < code.size() && code[n] >= u'A' && code[n] <= u'Z') ++n;
  if (n < 2 || n > 3) return false;
  letters.clear();
  for (size_t i = 0; i < n; ++i) letters += static_cast<char>(code[i]);
  number = 0;
  if (n == code.size()) return true;
  int64_t v = 0;
  if (!ParseDecimal(code.substr(n), v) || v < 1) return false;
  number = static_cast<int32_t>(v);
  return true;
}

const std::u16string kEmpty16;
const std::string kEmpty;

}  // namespace

// ---------------------------------------------------------------------------------------
// System language

TSystemLanguage ParseLocaleName(const std::string& name) {
  TSystemLanguage r;
  std::string s = name;
  size_t cut = s.find_first_of(".@");
  if (cut != std::string::npos) s.erase(cut);
  if (s.empty() || s == "C" || s == "POSIX") return r;
  size_t us = s.find_first_of("_-");
  std::string lang = s.substr(0, us);
  std::string terr = us == std::string::npos ? std::string() : s.substr(us + 1);
  for (char c : lang)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return r;
  for (char c : terr)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) terr.clear();
  for (auto& c : lang) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
  r.language = lang;
  r.territory = UpperAscii(terr);
  return r;
}

TSystemLanguage ReadSystemLanguage(const std::function<const char*(const char*)>& getEnv) {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = getEnv ? getEnv(var) : std::getenv(var);
    if (v && *v) return ParseLocaleName(v);
  }
  return {};
}

const TLanguageNameTable& ProgramLanguageNames() {
  static const TLanguageNameTable table = {
      {"DE", "Deutsch", "German"},
      {"EN", "English", "English"},
      {"ES", "Espa\xF1ol", "Spanish"},
      {"EO", "Esperanto", "Esperanto"},
      {"EL", "Greek", "Greek"},
      {"FR", "Fran\xE7" "ais", "French"},
      {"HU", "Magyar", "Hungarian"},
      {"IT", "Italiano", "Italian"},
      {"NL", "Nederlands", "Dutch"},
      {"SQ", "Shqip", "Albanian"},
      {"TR", "T\xFCrk\xE7" "e", "Turkish"},
      {"ZH", "Chinese", "Chinese"},
  };
  return table;
}

bool BuiltInLanguageNames(const std::string& alias, std::string& nativeName,
                          std::string& englishName, const TLanguageNameTable& table) {
  for (const auto& n : table) {
    if (alias == n.code) {
      nativeName = n.nativeName;
      englishName = n.englishName;
      return true;
    }
  }
  nativeName.clear();
  englishName.clear();
  return false;
}

const std::u16string& tMLGroup::Text(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= texts.size()) return kEmpty16;
  return texts[index];
}

// ---------------------------------------------------------------------------------------
// tMLSystem

tMLSystem::tMLSystem(const std::string& sourceLanguage)
    : tMLSystem(sourceLanguage, ReadSystemLanguage()) {}

tMLSystem::tMLSystem(const std::string& sourceLanguage, const TSystemLanguage& systemLanguage)
    : source_(UpperAscii(Trim(sourceLanguage))),
      current_(source_),
      systemLanguage_(systemLanguage) {}

void tMLSystem::SetCurrentLanguage(const std::string& code) {
  current_ = UpperAscii(Trim(code));
}

void tMLSystem::SetSecondLanguage(const std::string& code) {
  second_ = UpperAscii(Trim(code));
}

std::string tMLSystem::AliasOf(const std::string& code) {
  std::string c = UpperAscii(code);
  return c == "US" ? std::string("EN") : c;
}

int tMLSystem::LanguageIndex(const std::string& code) const {
  std::string c = UpperAscii(Trim(code));
  for (size_t i = 0; i < languages_.size(); ++i)
    if (languages_[i].code == c) return static_cast<int>(i);
  return -1;
}

int tMLSystem::LanguageIndexOrAdd(const std::string& code) {
  int i = LanguageIndex(code);
  if (i >= 0) return i;
  tLngInfo info;
  info.code = code;
  info.alias = AliasOf(code);
  BuiltInLanguageNames(info.alias, info.nativeName, info.englishName, *names_);
  languages_.push_back(info);
  return static_cast<int>(languages_.size()) - 1;
}

void tMLSystem::Clear() {
  languages_.clear();
  entries_.clear();
  RebuildIndexes();
}

void tMLSystem::LoadLanguageLines(const std::vector<std::u16string>& lines, bool keepRaw) {
  Clear();
  keepRaw_ = keepRaw;

  tMLGroup block;
  bool hasText = false;
  auto flush = [&] {
    if (hasText) entries_.push_back(std::move(block));
    block = tMLGroup();
    hasText = false;
  };

  for (size_t li = 0; li < lines.size(); ++li) {
    std::u16string line = lines[li];
    if (li == 0 && !line.empty() && line[0] == 0xFEFF) line.erase(0, 1);
    std::u16string trimmed = Trim16(line);
    if (trimmed.empty()) {
      flush();
      continue;
    }
    if (trimmed[0] == u'/') {
      block.comment = trimmed;
      if (int32_t id = CommentId(trimmed)) block.number = id;
      continue;
    }
    size_t eq = line.find(u'=');
    if (eq == std::u16string::npos) continue;
    std::string letters;
    int32_t number = 0;
    if (!ParseLineCode(line.substr(0, eq), letters, number)) continue;
    std::u16string text = StoredText(line.substr(eq + 1));
    // A line without text neither sets the number nor blanks an earlier line.
    if (text.empty()) continue;
    int lang = LanguageIndexOrAdd(letters);
    if (block.texts.size() <= static_cast<size_t>(lang)) block.texts.resize(lang + 1);
    block.texts[lang] = text;
    if (keepRaw) {
      if (block.rawLines.size() <= static_cast<size_t>(lang)) block.rawLines.resize(lang + 1);
      block.rawLines[lang] = line;
    }
    if (number > 0) block.number = number;
    hasText = true;
  }
  flush();
  RebuildIndexes();
}

void tMLSystem::RebuildIndexes() {
  byNumber_.clear();
  byText_.assign(languages_.size(), {});
  byFoldedText_.assign(languages_.size(), {});
  for (size_t e = 0; e < entries_.size(); ++e) {
    const tMLGroup& g = entries_[e];
    if (g.number != 0) byNumber_.emplace(g.number, e);  // the first entry of a number wins
    for (size_t l = 0; l < g.texts.size() && l < languages_.size(); ++l) {
      if (g.texts[l].empty()) continue;
      byText_[l].emplace(g.texts[l], e);
      byFoldedText_[l].emplace(FoldText(g.texts[l]), e);
    }
  }
}

const std::u16string* tMLSystem::TextIn(const tMLGroup& g, const std::string& code) const {
  int i = LanguageIndex(code);
  if (i < 0) return nullptr;
  const std::u16string& t = g.Text(i);
  return t.empty() ? nullptr : &t;
}

std::u16string tMLSystem::GetTextW(int32_t number) const {
  auto it = byNumber_.find(number);
  if (number == 0 || it == byNumber_.end()) return {};
  const tMLGroup& g = entries_[it->second];
  const std::string alias = AliasOf(current_);
  if (auto t = TextIn(g, current_)) return *t;
  if (alias != current_)
    if (auto t = TextIn(g, alias)) return *t;
  if (second_ != alias)
    if (auto t = TextIn(g, second_)) return *t;
  if (alias != "EN")
    if (auto t = TextIn(g, "EN")) return *t;
  if (auto t = TextIn(g, source_)) return *t;
  return {};
}

std::u16string tMLSystem::GetTextCRW(int32_t number) const {
  return ReplaceLineBreakMarks(GetTextW(number), u"\r");
}

std::u16string tMLSystem::GetTextCRLFW(int32_t number) const {
  return ReplaceLineBreakMarks(GetTextW(number), u"\r\n");
}

std::string tMLSystem::GetText(int32_t number) const { return Utf16ToCp1252(GetTextW(number)); }
std::string tMLSystem::GetTextCR(int32_t number) const { return Utf16ToCp1252(GetTextCRW(number)); }
std::string tMLSystem::GetTextCRLF(int32_t number) const {
  return Utf16ToCp1252(GetTextCRLFW(number));
}

std::u16string tMLSystem::TranslateCore(const std::u16string& core, int from,
                                        const std::string& to, int& grade) const {
  const std::string toAlias = AliasOf(to);
  // Pass 1: the first entry whose text in the source language is the core, exactly.
  auto exact = byText_[from].find(core);
  if (exact != byText_[from].end()) {
    const tMLGroup& g = entries_[exact->second];
    if (auto t = TextIn(g, to)) {
      grade = mlgExact;
      return *t;
    }
    if (toAlias != to)
      if (auto t = TextIn(g, toAlias)) {
        grade = mlgAlias;
        return *t;
      }
  }
  // Pass 2: the same without regard to case, with the fallback languages.
  auto folded = byFoldedText_[from].find(FoldText(core));
  if (folded != byFoldedText_[from].end()) {
    const tMLGroup& g = entries_[folded->second];
    if (auto t = TextIn(g, to)) {
      grade = mlgNoCase;
      return *t;
    }
    if (toAlias != to)
      if (auto t = TextIn(g, toAlias)) {
        grade = mlgNoCase;
        return *t;
      }
    if (auto t = TextIn(g, second_)) {
      grade = mlgFallback;
      return *t;
    }
    if (auto t = TextIn(g, source_)) {
      grade = mlgFallback;
      return *t;
    }
  }
  grade = mlgNone;
  return core;
}

std::u16string tMLSystem::TranslateText(const std::u16string& text, const std::string& fromCode,
                                        const std::string& toCode, int& grade) const {
  grade = mlgNone;
  if (text.empty()) return {};
  const int from = LanguageIndex(fromCode);
  if (from < 0 || LanguageIndex(toCode) < 0) return text;
  const std::string to = UpperAscii(Trim(toCode));
  if (from == LanguageIndex(to)) {
    grade = mlgExact;
    return text;
  }

  // A hint "short|long" is translated before the "|" only; one that starts with "|" stays.
  std::u16string head = text, tail;
  size_t bar = text.find(u'|');
  if (bar == 0) return text;
  if (bar != std::u16string::npos) {
    head = text.substr(0, bar);
    tail = text.substr(bar);
  }

  // The menu accelerator: the first "&" before a visible character; it is not put back.
  for (size_t i = 0; i + 1 < head.size(); ++i) {
    if (head[i] == u'&' && head[i + 1] > u' ') {
      head.erase(i, 1);
      break;
    }
  }

  size_t b = 0;
  while (b < head.size() && IsBlank16(head[b])) ++b;
  std::u16string prefix = head.substr(0, b);
  std::u16string rest = head.substr(b);
  size_t e = rest.size();
  while (e > 1 && IsTrailJunk(rest[e - 1])) --e;
  std::u16string suffix = rest.substr(e);
  std::u16string core = Trim16(rest.substr(0, e));

  std::u16string translated = core.empty() ? core : TranslateCore(core, from, to, grade);
  return prefix + translated + suffix + tail;
}

std::string tMLSystem::TranslateText(const std::string& text, const std::string& fromCode,
                                     const std::string& toCode, int& grade) const {
  return Utf16ToCp1252(TranslateText(Cp1252ToUtf16(text), fromCode, toCode, grade));
}

std::string tMLSystem::FindLanguage(const std::string& name) const {
  std::string key = name;
  size_t paren = key.find('(');
  if (paren != std::string::npos) key.erase(paren);
  key = AnsiUpperCase(Trim(key));
  int matches = 0;
  std::string found;
  for (const auto& l : languages_) {
    if (l.nativeName.empty() || AnsiUpperCase(l.nativeName) != key) continue;
    if (++matches == 1) {
      found = l.code;
    } else {
      return l.alias;  // "English" names both EN and US: take the alias
    }
  }
  if (matches) return found;
  return UpperAscii(key);
}

std::vector<tMLSystem::TLanguageMenuEntry> tMLSystem::LanguageMenuEntries(
    bool includeSource) const {
  std::vector<TLanguageMenuEntry> r;
  for (size_t i = 0; i < languages_.size(); ++i) {
    const tLngInfo& l = languages_[i];
    if (l.code != l.alias || (!includeSource && l.code == source_)) continue;
    std::string caption = l.nativeName.empty() ? l.code : l.nativeName;
    if (!l.englishName.empty() && l.englishName != caption) caption += " (" + l.englishName + ")";
    r.push_back({caption, static_cast<int>(i)});
  }
  std::stable_sort(r.begin(), r.end(), [](const auto& a, const auto& b) {
    return AnsiCompareText(a.caption, b.caption) < 0;
  });
  return r;
}

std::string tMLSystem::ResolveLangCode(const std::string& code) const {
  if (UpperAscii(Trim(code)) == "EN" && systemLanguage_.language == "en" &&
      (systemLanguage_.territory == "US" || systemLanguage_.territory == "CA") &&
      IsLanguageLoaded("US"))
    return "US";
  return code;
}

bool tMLSystem::SwitchLanguage(const std::string& newCode, const std::string& secondCode,
                               const std::function<void()>& translateForms) {
  if (entries_.empty() || !IsLanguageLoaded(newCode)) return false;
  if (!Trim(secondCode).empty()) SetSecondLanguage(secondCode);
  if (translateForms) translateForms();
  SetCurrentLanguage(newCode);
  ++switchCounter_;
  return true;
}

// ---------------------------------------------------------------------------------------
// The process-wide system and the message tables.

namespace {

struct TGlobals {
  std::unique_ptr<tMLSystem> system = std::make_unique<tMLSystem>("DE");
  std::vector<std::unique_ptr<TMLStringList>> tables;
  std::mutex tablesLock;  // units build their tables on first use, from any thread
};

TGlobals& Globals() {
  static TGlobals g;
  return g;
}

}  // namespace

tMLSystem& MLSystem() {
  auto& g = Globals();
  if (!g.system) g.system = std::make_unique<tMLSystem>("DE");
  return *g.system;
}

tMLSystem* MLSystemOrNull() { return Globals().system.get(); }

std::unique_ptr<tMLSystem> ReplaceMLSystem(std::unique_ptr<tMLSystem> system) {
  std::unique_ptr<tMLSystem> previous = std::move(Globals().system);
  Globals().system = std::move(system);
  return previous;
}

TScopedMLSystem::TScopedMLSystem(const TSystemLanguage& systemLanguage) {
  auto fresh = std::make_unique<tMLSystem>("DE", systemLanguage);
  system_ = fresh.get();
  previous_ = ReplaceMLSystem(std::move(fresh));
}

TScopedMLSystem::~TScopedMLSystem() { ReplaceMLSystem(std::move(previous_)); }

bool LoadLanguageFile(const std::string& fileName, bool keepRaw) {
  return MLSystem().LoadLanguageFile(fileName, keepRaw);
}

std::string ResolveLangCode(const std::string& code) {
  const tMLSystem* s = MLSystemOrNull();
  return s ? s->ResolveLangCode(code) : code;
}

bool TMLStringList::Add255Obj(const std::string& text, int32_t number) {
  if (byNumber_.count(number)) return false;
  byNumber_.emplace(number, items_.size());
  items_.push_back({number, text.substr(0, 255)});
  return true;
}

int32_t TMLStringList::Number(int index) const {
  if (index < 0 || index >= Count()) return 0;
  return items_[index].number;
}

const std::string& TMLStringList::Text(int index) const {
  if (index < 0 || index >= Count()) return kEmpty;
  return items_[index].text;
}

const std::string* TMLStringList::Find(int32_t number) const {
  auto it = byNumber_.find(number);
  return it == byNumber_.end() ? nullptr : &items_[it->second].text;
}

std::string TMLStringList::UnitName() const {
  const std::string* s = Find(0);
  return s ? *s : std::string();
}

TMLStringList* NewMLStringList() {
  auto& g = Globals();
  std::lock_guard<std::mutex> lock(g.tablesLock);
  g.tables.push_back(std::make_unique<TMLStringList>());
  return g.tables.back().get();
}

std::vector<const TMLStringList*> MLStringLists() {
  auto& g = Globals();
  std::lock_guard<std::mutex> lock(g.tablesLock);
  std::vector<const TMLStringList*> r;
  for (const auto& t : g.tables) r.push_back(t.get());
  return r;
}

std::u16string ReplaceAllOnce(const std::u16string& text, const std::u16string& pattern,
                              const std::u16string& with) {
  if (pattern.empty()) return text;
  std::u16string r;
  size_t pos = 0;
  for (;;) {
    size_t hit = text.find(pattern, pos);
    if (hit == std::u16string::npos) break;
    r.append(text, pos, hit - pos);
    r += with;
    pos = hit + pattern.size();
  }
  r.append(text, pos, std::u16string::npos);
  return r;
}

std::u16string ReplaceLineBreakMarks(const std::u16string& text, const std::u16string& lineBreak) {
  return ReplaceAllOnce(text, u"#13#", lineBreak);
}

std::u16string MLTranslateW(const std::u16string& text) {
  const tMLSystem* s = MLSystemOrNull();
  if (!s) return text;
  int grade = mlgNone;
  return s->TranslateText(text, s->SourceLanguage(), s->CurrentLanguage(), grade);
}

std::string MLTranslate(const std::string& text) {
  const tMLSystem* s = MLSystemOrNull();
  if (!s) return text;
  int grade = mlgNone;
  return s->TranslateText(text, s->SourceLanguage(), s->CurrentLanguage(), grade);
}

std::u16string GetMLTextW(const TMLStringList* table, int32_t number) {
  const std::string* german = table ? table->Find(number) : nullptr;
  if (!german) return {};
  return ReplaceLineBreakMarks(MLTranslateW(Cp1252ToUtf16(*german)), u"\r");
}

std::string GetMLText(const TMLStringList* table, int32_t number) {
  return Utf16ToCp1252(GetMLTextW(table, number));
}

std::u16string GetMLTextFmtW(const TMLStringList* table, int32_t number,
                             const std::u16string& argument) {
  return ReplaceAllOnce(GetMLTextW(table, number), u"%1", argument);
}

std::string GetMLTextFmt(const TMLStringList* table, int32_t number,
                         const std::string& argument) {
  return Utf16ToCp1252(GetMLTextFmtW(table, number, Cp1252ToUtf16(argument)));
}

std::u16string MLGetTextW(int32_t number) {
  const tMLSystem* s = MLSystemOrNull();
  return s ? s->GetTextCRW(number) : std::u16string();
}

std::string MLGetText(int32_t number) { return Utf16ToCp1252(MLGetTextW(number)); }

bool tMLSystem::LoadLanguageFile(const std::string& fileName, bool keepRaw) {
  TWStringList file;
  if (!file.LoadFromFile(fileName)) return false;
  std::vector<std::u16string> lines;
  lines.reserve(file.Count());
  for (int i = 0; i < file.Count(); ++i) lines.push_back(file.GetWide(i));
  LoadLanguageLines(lines, keepRaw);
  return true;
}
