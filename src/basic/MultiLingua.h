#pragma once
// Run-time translation of the program's German texts.
//
// Every user-visible text is written in German in the code. A language file (".lng") holds
// blocks of equivalent texts, one line per language ("DE=Schlüssel", "EN=Key"); the
// language system translates a German text, or a numbered entry, into the current language.
// Each unit keeps its numbered German messages in a message table (`TMLStringList`) and
// fetches them with `GetMLText` / `GetMLTextFmt`.
//
// Translations are held as UTF-16 (a Greek or Chinese file must survive); the German source
// texts of the code are 1252 bytes. Every lookup comes in two forms: the plain one returns
// 1252 bytes for the Qt-free layers (characters 1252 cannot hold become "?"), the one ending
// in W returns the UTF-16 text for the widget layer.
//
// The one process-wide system lives behind `MLSystem()`; a test installs its own with
// `TScopedMLSystem`.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// ---------------------------------------------------------------------------------------
// The system's language, from the locale.

struct TSystemLanguage {
  std::string language;   // lower-case ISO 639 code ("de", "en"); empty when unknown
  std::string territory;  // upper-case ISO 3166 code ("DE", "US"); empty when none
};

// "de_DE.UTF-8", "en_US@euro", "fr" -> language and territory; "C", "POSIX" and "" give none.
TSystemLanguage ParseLocaleName(const std::string& name);
// The first non-empty of LC_ALL, LC_MESSAGES, LANG, parsed. `getEnv` reads one variable
// (nullptr or absent: the process environment); tests pass their own.
TSystemLanguage ReadSystemLanguage(
    const std::function<const char*(const char*)>& getEnv = nullptr);

// ---------------------------------------------------------------------------------------
// Languages and entries.

// One language met in a file.
struct tLngInfo {
  std::string code;         // upper-case, 2 or 3 letters
  std::string alias;        // "EN" for "US", else the code itself
  std::string nativeName;   // 1252, from the built-in table by alias; empty when unknown
  std::string englishName;  // 1252, likewise
};

// A table of the languages whose names a system knows (1252 names).
struct TLanguageName {
  const char* code;
  const char* nativeName;
  const char* englishName;
};
using TLanguageNameTable = std::vector<TLanguageName>;
// The main program's table.
const TLanguageNameTable& ProgramLanguageNames();

// The names of a language in a table, chosen by its alias; false for a code not in it.
bool BuiltInLanguageNames(const std::string& alias, std::string& nativeName,
                          std::string& englishName,
                          const TLanguageNameTable& table = ProgramLanguageNames());

// One block of a language file: the same text in several languages.
struct tMLGroup {
  int32_t number = 0;                  // 0 = none
  std::vector<std::u16string> texts;   // by language position; missing positions are empty
  std::vector<std::u16string> rawLines;  // the file line per language, when kept
  std::u16string comment;              // the block's comment line ("// ID=7;")

  // The text in the language at `index`; empty for a position without text.
  const std::u16string& Text(int index) const;
};

// Match grades of `tMLSystem::TranslateText`.
constexpr int mlgNone = 0;      // not found: the text itself
constexpr int mlgFallback = 1;  // found, but only in the second or the source language
constexpr int mlgNoCase = 2;    // found without regard to case
constexpr int mlgAlias = 3;     // found exactly, text of the target's alias language
constexpr int mlgExact = 4;     // found exactly (or both languages are the same)

class tMLSystem {
 public:
  // Source and current language `sourceLanguage`, second language "EN", no entries,
  // switch counter 0. The system language defaults to the locale's.
  explicit tMLSystem(const std::string& sourceLanguage = "DE");
  explicit tMLSystem(const std::string& sourceLanguage, const TSystemLanguage& systemLanguage);
  tMLSystem(const tMLSystem&) = delete;
  tMLSystem& operator=(const tMLSystem&) = delete;

  // Languages (codes are upper-cased on the way in).
  const std::string& SourceLanguage() const { return source_; }
  const std::string& CurrentLanguage() const { return current_; }
  void SetCurrentLanguage(const std::string& code);
  const std::string& SecondLanguage() const { return second_; }
  void SetSecondLanguage(const std::string& code);
  const std::vector<tLngInfo>& Languages() const { return languages_; }
  // Position of a loaded language, -1 when no file line had that code.
  int LanguageIndex(const std::string& code) const;
  bool IsLanguageLoaded(const std::string& code) const { return LanguageIndex(code) >= 0; }
  // The alias of a code: "EN" for "US", else the code.
  static std::string AliasOf(const std::string& code);

  // The table the names of loaded languages come from (the program's by default). Set it
  // before loading; the table must outlive the system.
  void SetLanguageNameTable(const TLanguageNameTable& table) { names_ = &table; }

  const TSystemLanguage& SystemLanguage() const { return systemLanguage_; }
  void SetSystemLanguage(const TSystemLanguage& language) { systemLanguage_ = language; }

  // Entries, in file order.
  const std::vector<tMLGroup>& Entries() const { return entries_; }
  bool KeepRawLines() const { return keepRaw_; }

  // Reads a language file: UTF-16 LE with its byte-order mark, or 1252 text without a
  // mark; any other mark (UTF-8 among them) is refused. Loading replaces all entries and
  // languages; a file that cannot be read (missing, empty, refused) leaves the system as
  // it was. True when the file could be read.
  bool LoadLanguageFile(const std::string& fileName, bool keepRaw);
  // The same from lines already split (a leading U+FEFF on the first line is skipped).
  void LoadLanguageLines(const std::vector<std::u16string>& lines, bool keepRaw);
  void Clear();

  // Text by number: the first entry with the number, in the current language, else its
  // alias, the second language, "EN", the source language. Empty when unknown.
  // GetText leaves "#13#" alone; GetTextCR turns it into CR, GetTextCRLF into CR LF.
  std::u16string GetTextW(int32_t number) const;
  std::u16string GetTextCRW(int32_t number) const;
  std::u16string GetTextCRLFW(int32_t number) const;
  std::string GetText(int32_t number) const;
  std::string GetTextCR(int32_t number) const;
  std::string GetTextCRLF(int32_t number) const;

  // The text translated from one language into another, with its match grade (mlg...).
  // Accelerator "&" removed, leading blanks and trailing blanks, dots and colons kept
  // around the translation, only the part before a "|" translated.
  std::u16string TranslateText(const std::u16string& text, const std::string& fromCode,
                               const std::string& toCode, int& grade) const;
  std::string TranslateText(const std::string& text, const std::string& fromCode,
                            const std::string& toCode, int& grade) const;

  // The code for a language name as the language menu shows it ("Deutsch (German)");
  // an unknown name is taken as a code.
  std::string FindLanguage(const std::string& name) const;
  // "EN" becomes "US" when the system language is English of the US or Canada and a
  // language "US" is loaded; every other code is returned unchanged.
  std::string ResolveLangCode(const std::string& code) const;

  // The entries of the language menu: every loaded language whose code is its own alias
  // (so "US" is not listed), the source language only when asked; caption = native name
  // (the code when it has none) + " (" + English name + ")" when that differs; sorted by
  // caption. `index` is the language's position (the menu item's tag).
  struct TLanguageMenuEntry {
    std::string caption;  // 1252
    int index;
  };
  std::vector<TLanguageMenuEntry> LanguageMenuEntries(bool includeSource) const;

  // Language switch. The widget layer translates the open forms inside `translateForms`,
  // which runs after the second language is set and before the new language becomes
  // current. False, with nothing changed and `translateForms` not called, when there are no
  // entries or `newCode` is not loaded. The switch counter counts the successful switches.
  bool SwitchLanguage(const std::string& newCode, const std::string& secondCode,
                      const std::function<void()>& translateForms = nullptr);
  int SwitchCounter() const { return switchCounter_; }

 private:
  int LanguageIndexOrAdd(const std::string& code);
  void RebuildIndexes();
  const std::u16string* TextIn(const tMLGroup& g, const std::string& code) const;
  std::u16string TranslateCore(const std::u16string& core, int from, const std::string& to,
                               int& grade) const;

  std::string source_;
  std::string current_;
  std::string second_ = "EN";
  std::vector<tLngInfo> languages_;
  std::vector<tMLGroup> entries_;
  bool keepRaw_ = false;
  int switchCounter_ = 0;
  TSystemLanguage systemLanguage_;
  const TLanguageNameTable* names_ = &ProgramLanguageNames();

  // Lookups without scanning: the first entry of each number, and per language the first
  // entry of each text, exact and case-folded.
  std::unordered_map<int32_t, size_t> byNumber_;
  std::vector<std::unordered_map<std::u16string, size_t>> byText_;
  std::vector<std::unordered_map<std::u16string, size_t>> byFoldedText_;
};

// ---------------------------------------------------------------------------------------
// The process-wide system.

// The process-wide system; created on first use (source and current language "DE").
tMLSystem& MLSystem();
// The process-wide system, or nullptr after ReplaceMLSystem(nullptr).
tMLSystem* MLSystemOrNull();
// Installs `system` as the process-wide one and returns the previous one.
std::unique_ptr<tMLSystem> ReplaceMLSystem(std::unique_ptr<tMLSystem> system);

// Installs a fresh system for a scope (tests) and puts the previous one back.
class TScopedMLSystem {
 public:
  explicit TScopedMLSystem(const TSystemLanguage& systemLanguage = {});
  ~TScopedMLSystem();
  TScopedMLSystem(const TScopedMLSystem&) = delete;
  TScopedMLSystem& operator=(const TScopedMLSystem&) = delete;
  tMLSystem& System() { return *system_; }

 private:
  tMLSystem* system_;
  std::unique_ptr<tMLSystem> previous_;
};

// Loads a file into the process-wide system (creating it when needed).
bool LoadLanguageFile(const std::string& fileName, bool keepRaw);
// The process-wide system's ResolveLangCode; the code itself when there is no system.
std::string ResolveLangCode(const std::string& code);

// ---------------------------------------------------------------------------------------
// Message tables.

// A unit's numbered German default texts. Keyed by number: two numbers may carry the same
// German text. The first entry a unit adds is its own name under number 0.
//
// A unit builds its table on first use and fetches through it:
//   const TMLStringList* CoreTexts() {
//     static const TMLStringList* table = [] {
//       TMLStringList* t = NewMLStringList();
//       t->Add255Obj("UnitTR100", 0);
//       t->Add255Obj("Schlie\xDF" "anlage", 1);
//       t->Add255Obj("Die Angabe \"%1\" ist kein bekanntes Geb\xE4" "ude.", 13);
//       return t;
//     }();
//     return table;
//   }
//   std::string CoreText(int32_t n) { return GetMLText(CoreTexts(), n); }
//   std::string CoreTextFmt(int32_t n, const std::string& a) {
//     return GetMLTextFmt(CoreTexts(), n, a);
//   }
class TMLStringList {
 public:
  // Adds a German text (1252, cut to 255 characters) under `number`. False, and nothing
  // changed, when the number is already present.
  bool Add255Obj(const std::string& text, int32_t number);
  int Count() const { return static_cast<int>(items_.size()); }
  // Entry by position (in the order added): its number and German text.
  int32_t Number(int index) const;
  const std::string& Text(int index) const;
  // The German text of a number; nullptr when the table has none.
  const std::string* Find(int32_t number) const;
  // Entry 0: the unit's name.
  std::string UnitName() const;

 private:
  struct Item {
    int32_t number;
    std::string text;
  };
  std::vector<Item> items_;
  std::unordered_map<int32_t, size_t> byNumber_;
};

// A new, empty table, kept in the global list for the life of the program.
TMLStringList* NewMLStringList();
// Every table made by NewMLStringList, in the order made.
std::vector<const TMLStringList*> MLStringLists();

// The text of `number` in `table` translated into the current language, "#13#" turned into
// CR. Empty for an unknown number or a null table; the German text when no system exists.
std::string GetMLText(const TMLStringList* table, int32_t number);
std::u16string GetMLTextW(const TMLStringList* table, int32_t number);
// GetMLText with every "%1" replaced by `argument` in one pass (a "%1" inside the argument
// stays as it is).
std::string GetMLTextFmt(const TMLStringList* table, int32_t number,
                         const std::string& argument);
std::u16string GetMLTextFmtW(const TMLStringList* table, int32_t number,
                             const std::u16string& argument);

// GetTextCR of the process-wide system; empty when there is none.
std::string MLGetText(int32_t number);
std::u16string MLGetTextW(int32_t number);
// A German text translated into the current language; the text itself when no system
// exists or nothing matches.
std::string MLTranslate(const std::string& text);
std::u16string MLTranslateW(const std::u16string& text);

// Every "#13#" replaced by `lineBreak`.
std::u16string ReplaceLineBreakMarks(const std::u16string& text, const std::u16string& lineBreak);
// Every occurrence of `pattern` replaced by `with` in one pass over `text`.
std::u16string ReplaceAllOnce(const std::u16string& text, const std::u16string& pattern,
                              const std::u16string& with);
