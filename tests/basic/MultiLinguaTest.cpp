#include "basic/MultiLingua.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "basic/Cp1252.h"
#include "support/TestSupport.h"

namespace {

// The test language file. Every block tests one rule of the format; the Greek and Chinese
// lines exist only in the UTF-16 form of the file.
std::vector<std::u16string> TestLines(bool withUnicodeLines) {
  std::vector<std::u16string> lines = {
      u"// Tessaro test texts",
      u"DE=Schlüssel",
      u"EN=Key",
      u"US=Key US",
      u"",
      u"",
      u"// ID=7;",
      u"DE=Tür",
      u"EN=Door",
      u"   ",
      u"de12 = Gebäude ",
      u"EN=Building",
      u"FR=Bâtiment",
      u"",
      u"DE0=Null",
      u"EN0=Zero",
      u"",
      u"DEUT=Vierbuchstaben",
      u"ENGL=Four letters",
      u"",
      u"DE=Achtung!.",
      u"EN=Attention!.",
      u"",
      u"DE=Fertig...",
      u"EN=Done:",
      u"EN=Finished",
      u"",
      u"ohne Gleichheitszeichen",
      u"DE=Datei",
      u"DE99999999999=Riesig",
      u"DEE12345678901234=Zu lang",
      u"EN=File",
      u"",
      u"DE13=",
      u"",
      u"// ID=20;",
      u"DE=Hallo#13#Welt",
      u"EN=Hello#13#world",
  };
  if (withUnicodeLines) {
    lines.push_back(u"EL=Γεια#13#κόσμε");
    lines.push_back(u"ZH=你好");
  }
  return lines;
}

std::u16string JoinCrLf(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const auto& l : lines) text += l + u"\r\n";
  return text;
}

std::string Utf16LeFile(const std::vector<std::u16string>& lines) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : JoinCrLf(lines)) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string Cp1252File(const std::vector<std::u16string>& lines) {
  return Utf16ToCp1252(JoinCrLf(lines));
}

// A system with the test file loaded, installed as the process-wide one.
struct LoadedSystem : TScopedMLSystem {
  explicit LoadedSystem(const TSystemLanguage& lang = {}) : TScopedMLSystem(lang) {
    System().LoadLanguageLines(TestLines(true), false);
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Language files

TEST(MultiLingua, LanguageFileBlocks) {
  TScopedMLSystem scope;
  tMLSystem& ml = scope.System();
  ml.LoadLanguageLines(TestLines(true), false);

  struct Case {
    std::u16string de, en;
    int32_t number;
  };
  const Case cases[] = {
      {u"Schlüssel", u"Key", 0},
      {u"Tür", u"Door", 7},              // comment "// ID=7;"
      {u"Gebäude", u"Building", 12},     // "DE12=": number in the code, code trimmed
      {u"Achtung.", u"Attention.", 0},   // "!." keeps the dot
      {u"Fertig", u"Finished", 0},       // dots stripped; the later EN line wins
      {u"Datei", u"File", 0},            // lines without "=" and overlong codes ignored
      {u"Hallo#13#Welt", u"Hello#13#world", 20},
  };
  ASSERT_EQ(ml.Entries().size(), std::size(cases));
  const int de = ml.LanguageIndex("DE"), en = ml.LanguageIndex("en");
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ml.Entries()[i].Text(de), cases[i].de);
    EXPECT_EQ(ml.Entries()[i].Text(en), cases[i].en);
    EXPECT_EQ(ml.Entries()[i].number, cases[i].number);
  }
  EXPECT_EQ(ml.Entries()[1].comment, u"// ID=7;");

  // Languages in order of first appearance; four-letter codes and "DE0" added none.
  std::vector<std::string> codes;
  for (const auto& l : ml.Languages()) codes.push_back(l.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"DE", "EN", "US", "FR", "EL", "ZH"}));
  EXPECT_EQ(ml.Languages()[2].alias, "EN");
  EXPECT_EQ(ml.Languages()[2].nativeName, "English");  // names by alias
  EXPECT_EQ(ml.Languages()[3].nativeName, "Fran\xE7" "ais");
  EXPECT_EQ(ml.GetText(13), "");  // "DE13=" without text set no number
}

TEST(MultiLingua, StoredTextRules) {
  TScopedMLSystem scope;
  struct Case {
    std::u16string line;
    std::u16string stored;
  };
  const Case cases[] = {
      {u"DE=Ende.", u"Ende"},        {u"DE=Ende!.", u"Ende."},
      {u"DE=Name: ", u"Name"},       {u"DE=Wie bitte?", u"Wie bitte?"},
      {u"DE=.", u"."},               {u"DE=a=b", u"a=b"},
      {u"  DE  =  x  ", u"x"},       {u"DE=Achtung!", u"Achtung!"},
  };
  for (const auto& c : cases) {
    scope.System().LoadLanguageLines({c.line}, false);
    ASSERT_EQ(scope.System().Entries().size(), 1u);
    EXPECT_EQ(scope.System().Entries()[0].Text(0), c.stored);
  }
}

TEST(MultiLingua, DefensiveParsing) {
  TScopedMLSystem scope;
  tMLSystem& ml = scope.System();
  // Nothing here is a text line; no entry, no language, no crash.
  ml.LoadLanguageLines({u"=", u"==", u"D=x", u"DE", u"DE-1=x", u"DE+5=x", u"DE2147483648=x",
                        u"DE1x=x", u"1DE=x", u"/", u"// ID=;", u"// ID=99999999999999;",
                        u"ÄÖ=x", std::u16string(1, u'\0') + u"=x"},
                       false);
  EXPECT_TRUE(ml.Entries().empty());
  // Three letters with the largest number are fine.
  ml.LoadLanguageLines({u"DEU2147483647=x"}, false);
  ASSERT_EQ(ml.Entries().size(), 1u);
  EXPECT_EQ(ml.Entries()[0].number, 2147483647);
}

TEST(MultiLingua, RawLinesKeptOnlyWhenAsked) {
  TScopedMLSystem scope;
  scope.System().LoadLanguageLines({u"// ID=3;", u"DE=Tür ", u"EN=Door"}, true);
  ASSERT_EQ(scope.System().Entries().size(), 1u);
  EXPECT_EQ(scope.System().Entries()[0].rawLines,
            (std::vector<std::u16string>{u"DE=Tür ", u"EN=Door"}));
  scope.System().LoadLanguageLines({u"DE=Tür", u"EN=Door"}, false);
  EXPECT_TRUE(scope.System().Entries()[0].rawLines.empty());
}

// ---------------------------------------------------------------------------------------
// Text by number

TEST(MultiLingua, GetTextFallbackChain) {
  TScopedMLSystem scope;
  tMLSystem& ml = scope.System();
  ml.LoadLanguageLines({u"// ID=1;", u"DE=de1", u"EN=en1", u"US=us1", u"FR=fr1", u"",
                        u"// ID=2;", u"DE=de2", u"EN=en2", u"",
                        u"// ID=3;", u"DE=de3", u"",
                        u"// ID=4;", u"DE=de4", u"FR=fr4", u"",
                        u"// ID=4;", u"DE=second entry with number 4"},
                       false);
  struct Case {
    const char* current;
    const char* second;
    int32_t number;
    const char* expected;
  };
  const Case cases[] = {
      {"US", "EN", 1, "us1"},  {"US", "EN", 2, "en2"},  // alias of US
      {"US", "EN", 3, "de3"},  {"FR", "EN", 2, "en2"},  // second language, source
      {"FR", "DE", 2, "de2"},                           // second language before EN
      {"FR", "DE", 4, "fr4"},  {"NL", "DE", 2, "de2"},  {"NL", "FR", 2, "en2"},  // then EN
      {"DE", "EN", 4, "de4"},                           // the first entry of a number
      {"DE", "EN", 5, ""},     {"DE", "EN", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.current) + "/" + c.second + "/" + std::to_string(c.number));
    ml.SetCurrentLanguage(c.current);
    ml.SetSecondLanguage(c.second);
    EXPECT_EQ(ml.GetText(c.number), c.expected);
  }
}

TEST(MultiLingua, LineBreakMarks) {
  LoadedSystem s;
  s.System().SetCurrentLanguage("EN");
  EXPECT_EQ(s.System().GetText(20), "Hello#13#world");
  EXPECT_EQ(s.System().GetTextCR(20), "Hello\rworld");
  EXPECT_EQ(s.System().GetTextCRLF(20), "Hello\r\nworld");
  EXPECT_EQ(MLGetText(20), "Hello\rworld");
  s.System().SetCurrentLanguage("EL");
  EXPECT_EQ(s.System().GetTextCRW(20), u"Γεια\rκόσμε");  // Unicode survives
}

// ---------------------------------------------------------------------------------------
// Translating texts

TEST(MultiLingua, TranslateTextTable) {
  LoadedSystem s;
  s.System().SetSecondLanguage("EN");
  struct Case {
    std::u16string text;
    const char* from;
    const char* to;
    std::u16string expected;
    int grade;
  };
  const Case cases[] = {
      {u"Tür", "DE", "EN", u"Door", mlgExact},
      {u"Tür:", "DE", "EN", u"Door:", mlgExact},           // colon suffix kept
      {u"  Fertig ...", "DE", "EN", u"  Finished ...", mlgExact},
      {u"&Datei", "DE", "EN", u"File", mlgExact},          // accelerator removed
      {u"Da&tei", "DE", "EN", u"File", mlgExact},
      {u"DATEI", "DE", "EN", u"File", mlgNoCase},          // without case
      {u"schlüssel", "DE", "EN", u"Key", mlgNoCase},
      {u"SCHLÜSSEL", "DE", "EN", u"Key", mlgNoCase},       // Ü folds to ü
      {u"Datei|Öffnet eine Datei", "DE", "EN", u"File|Öffnet eine Datei", mlgExact},
      {u"|Datei", "DE", "EN", u"|Datei", mlgNone},         // hint only: stays whole
      {u"Unbekannt:", "DE", "EN", u"Unbekannt:", mlgNone},
      {u"", "DE", "EN", u"", mlgNone},
      {u"Schlüssel", "DE", "US", u"Key US", mlgExact},
      {u"Tür", "DE", "US", u"Door", mlgAlias},             // through EN
      {u"tür", "DE", "US", u"Door", mlgNoCase},
      {u"Gebäude", "DE", "FR", u"Bâtiment", mlgExact},
      {u"Tür", "DE", "FR", u"Door", mlgFallback},          // second language
      {u"Tür", "DE", "NL", u"Tür", mlgNone},               // NL not loaded
      {u"Tür", "DE", "DE", u"Tür", mlgExact},
      {u"Door", "EN", "DE", u"Tür", mlgExact},
      {u"Hallo#13#Welt", "DE", "ZH", u"你好", mlgExact},
      {u"Datei", "DE", "ZH", u"File", mlgFallback},
      {u"Hallo#13#Welt", "DE", "EL", u"Γεια#13#κόσμε", mlgExact},
      {u"γεια#13#ΚΌΣΜΕ", "EL", "DE", u"Hallo#13#Welt", mlgNoCase},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToCp1252(c.text) + " " + c.from + "->" + c.to);
    int grade = -1;
    EXPECT_EQ(s.System().TranslateText(c.text, c.from, c.to, grade), c.expected);
    EXPECT_EQ(grade, c.grade);
  }
  // The 1252 form gives the same, in 1252 bytes.
  int grade = -1;
  EXPECT_EQ(s.System().TranslateText(std::string("Geb\xE4" "ude:"), "DE", "FR", grade),
            "B\xE2timent:");
}

TEST(MultiLingua, MLTranslateUsesTheCurrentLanguage) {
  LoadedSystem s;
  EXPECT_EQ(MLTranslate("T\xFCr"), "T\xFCr");  // current language DE
  s.System().SetCurrentLanguage("EN");
  EXPECT_EQ(MLTranslate("T\xFCr"), "Door");
  s.System().SetCurrentLanguage("EL");
  EXPECT_EQ(MLTranslateW(u"Hallo#13#Welt"), u"Γεια#13#κόσμε");
  EXPECT_EQ(MLTranslate("Hallo#13#Welt"), "????#13#?????");  // 1252 cannot hold Greek
  auto previous = ReplaceMLSystem(nullptr);
  EXPECT_EQ(MLTranslate("T\xFCr"), "T\xFCr");  // no system: the text itself
  ReplaceMLSystem(std::move(previous));
}

// ---------------------------------------------------------------------------------------
// Message tables

TEST(MultiLingua, MessageTablesAreKeyedByNumber) {
  LoadedSystem s;
  TMLStringList* table = NewMLStringList();
  table->Add255Obj("UnitTest", 0);
  table->Add255Obj("T\xFCr", 3);
  table->Add255Obj("T\xFCr", 4);  // a second number with the same German text
  table->Add255Obj("Hallo#13#Welt", 5);
  table->Add255Obj("Ohne \xDC" "bersetzung", 6);
  EXPECT_FALSE(table->Add255Obj("Andere", 3));  // a number is kept once
  EXPECT_EQ(table->UnitName(), "UnitTest");
  EXPECT_EQ(table->Count(), 5);
  EXPECT_EQ(MLStringLists().back(), table);

  struct Case {
    const char* current;
    int32_t number;
    const char* expected;
  };
  const Case cases[] = {
      {"DE", 3, "T\xFCr"},   {"DE", 4, "T\xFCr"},    {"DE", 5, "Hallo\rWelt"},
      {"EN", 3, "Door"},     {"EN", 4, "Door"},      {"EN", 5, "Hello\rworld"},
      {"EN", 6, "Ohne \xDC" "bersetzung"},           {"EN", 99, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.current) + std::to_string(c.number));
    s.System().SetCurrentLanguage(c.current);
    EXPECT_EQ(GetMLText(table, c.number), c.expected);
  }
  EXPECT_EQ(GetMLText(nullptr, 3), "");
  s.System().SetCurrentLanguage("EL");
  EXPECT_EQ(GetMLTextW(table, 5), u"Γεια\rκόσμε");

  TMLStringList longText;
  longText.Add255Obj(std::string(300, 'x'), 1);
  EXPECT_EQ(longText.Find(1)->size(), 255u);
}

TEST(MultiLingua, GetMLTextFmtReplacesInOnePass) {
  TScopedMLSystem s;
  TMLStringList table;
  table.Add255Obj("Die Angabe \"%1\" ist kein Geb\xE4" "ude (%1).", 13);
  table.Add255Obj("ohne Platzhalter", 14);
  struct Case {
    int32_t number;
    std::string argument;
    std::string expected;
  };
  const Case cases[] = {
      {13, "X", "Die Angabe \"X\" ist kein Geb\xE4" "ude (X)."},  // every %1
      {13, "%1%1", "Die Angabe \"%1%1\" ist kein Geb\xE4" "ude (%1%1)."},
      {13, "", "Die Angabe \"\" ist kein Geb\xE4" "ude ()."},
      {14, "%1", "ohne Platzhalter"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetMLTextFmt(&table, c.number, c.argument), c.expected);
}

TEST(MultiLingua, WithoutLanguageFileTheProgramSpeaksGerman) {
  TScopedMLSystem s;
  TTempDir dir;
  EXPECT_FALSE(LoadLanguageFile(dir.File("System/Tessaro.lng"), false));
  TMLStringList table;
  table.Add255Obj("Kein Schreibzugriff m\xF6glich.", 27);
  EXPECT_EQ(GetMLText(&table, 27), "Kein Schreibzugriff m\xF6glich.");
  s.System().SetCurrentLanguage("EN");
  EXPECT_EQ(GetMLText(&table, 27), "Kein Schreibzugriff m\xF6glich.");
  EXPECT_EQ(MLGetText(27), "");
}

// ---------------------------------------------------------------------------------------
// Languages, locale, switching

TEST(MultiLingua, LocaleNames) {
  struct Case {
    const char* name;
    const char* language;
    const char* territory;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "de", "DE"}, {"en_US", "en", "US"}, {"en_CA.ISO-8859-1@euro", "en", "CA"},
      {"fr", "fr", ""},            {"C", "", ""},         {"POSIX", "", ""},
      {"", "", ""},                {"C.UTF-8", "", ""},   {"pt-BR", "pt", "BR"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSystemLanguage l = ParseLocaleName(c.name);
    EXPECT_EQ(l.language, c.language);
    EXPECT_EQ(l.territory, c.territory);
  }

  std::map<std::string, std::string> env;
  auto getEnv = [&](const char* n) -> const char* {
    auto it = env.find(n);
    return it == env.end() ? nullptr : it->second.c_str();
  };
  env = {{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", ""}};
  EXPECT_EQ(ReadSystemLanguage(getEnv).language, "de");
  env["LC_MESSAGES"] = "fr_FR";
  EXPECT_EQ(ReadSystemLanguage(getEnv).language, "fr");
  env["LC_ALL"] = "en_US.UTF-8";
  EXPECT_EQ(ReadSystemLanguage(getEnv).territory, "US");
}

TEST(MultiLingua, ResolveLangCode) {
  struct Case {
    TSystemLanguage system;
    bool usLoaded;
    const char* code;
    const char* expected;
  };
  const Case cases[] = {
      {{"en", "US"}, true, "EN", "US"},  {{"en", "CA"}, true, "EN", "US"},
      {{"en", "GB"}, true, "EN", "EN"},  {{"de", "US"}, true, "EN", "EN"},
      {{"en", "US"}, false, "EN", "EN"}, {{"en", "US"}, true, "FR", "FR"},
  };
  for (const auto& c : cases) {
    TScopedMLSystem s(c.system);
    s.System().LoadLanguageLines(c.usLoaded ? std::vector<std::u16string>{u"DE=a", u"US=b"}
                                            : std::vector<std::u16string>{u"DE=a", u"EN=b"},
                                 false);
    EXPECT_EQ(ResolveLangCode(c.code), c.expected);
  }
}

TEST(MultiLingua, FindLanguage) {
  LoadedSystem s;
  struct Case {
    const char* name;
    const char* code;
  };
  const Case cases[] = {
      {"Deutsch (German)", "DE"}, {"deutsch", "DE"},   {"FRAN\xC7" "AIS", "FR"},
      {"English", "EN"},  // EN and US both carry the name
      {"Greek", "EL"},            {" zh ", "ZH"},      {"Klingon", "KLINGON"},
  };
  for (const auto& c : cases) EXPECT_EQ(s.System().FindLanguage(c.name), c.code) << c.name;
}

TEST(MultiLingua, LanguageMenuEntries) {
  LoadedSystem s;
  s.System().LoadLanguageLines({u"DE=a", u"EN=b", u"US=c", u"FR=d", u"XX=e", u"EL=f"}, false);
  auto captions = [&](bool withSource) {
    std::vector<std::string> r;
    for (const auto& e : s.System().LanguageMenuEntries(withSource))
      r.push_back(e.caption + "/" + s.System().Languages()[e.index].code);
    return r;
  };
  EXPECT_EQ(captions(false), (std::vector<std::string>{"English/EN", "Fran\xE7" "ais (French)/FR",
                                                       "Greek/EL", "XX/XX"}));
  EXPECT_EQ(captions(true).front(), "Deutsch (German)/DE");
  // The captions name their languages again.
  for (const auto& e : s.System().LanguageMenuEntries(true))
    EXPECT_EQ(s.System().FindLanguage(e.caption), s.System().Languages()[e.index].code);
}

TEST(MultiLingua, SwitchLanguage) {
  LoadedSystem s;
  tMLSystem& ml = s.System();
  int calls = 0;
  EXPECT_FALSE(ml.SwitchLanguage("NL", "FR", [&] { ++calls; }));  // no file had NL
  EXPECT_EQ(ml.CurrentLanguage(), "DE");
  EXPECT_EQ(ml.SecondLanguage(), "EN");
  EXPECT_EQ(ml.SwitchCounter(), 0);

  std::string currentDuringForms, secondDuringForms;
  EXPECT_TRUE(ml.SwitchLanguage("FR", "DE", [&] {
    ++calls;
    currentDuringForms = ml.CurrentLanguage();
    secondDuringForms = ml.SecondLanguage();
  }));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(currentDuringForms, "DE");  // the forms are translated from the old language
  EXPECT_EQ(secondDuringForms, "DE");
  EXPECT_EQ(ml.CurrentLanguage(), "FR");
  EXPECT_TRUE(ml.SwitchLanguage("EN", ""));
  EXPECT_EQ(ml.SecondLanguage(), "DE");  // no second code: unchanged
  EXPECT_EQ(ml.SwitchCounter(), 2);

  TScopedMLSystem empty;  // no entries: nothing to switch
  EXPECT_FALSE(empty.System().SwitchLanguage("DE", ""));
}

TEST(MultiLingua, ScopedSystemRestoresThePrevious) {
  tMLSystem* outer = &MLSystem();
  {
    TScopedMLSystem s;
    EXPECT_EQ(&MLSystem(), &s.System());
    EXPECT_NE(&MLSystem(), outer);
  }
  EXPECT_EQ(&MLSystem(), outer);
  EXPECT_EQ(MLSystem().SourceLanguage(), "DE");
  EXPECT_EQ(MLSystem().SecondLanguage(), "EN");
}

// ---------------------------------------------------------------------------------------
// Reading files

TEST(MultiLingua, ReadsUtf16AndCp1252Files) {
  TTempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    bool unicodeLines;
  };
  const Case cases[] = {
      {"utf16.lng", Utf16LeFile(TestLines(true)), true},
      {"ansi.lng", Cp1252File(TestLines(false)), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAllBytes(dir.File(c.name), c.bytes);
    TScopedMLSystem s;
    ASSERT_TRUE(LoadLanguageFile(dir.File(c.name), false));
    tMLSystem& ml = s.System();
    EXPECT_EQ(ml.Entries().size(), 7u);
    ml.SetCurrentLanguage("US");
    EXPECT_EQ(ml.GetText(7), "Door");  // through the alias
    ml.SetCurrentLanguage("FR");
    EXPECT_EQ(ml.GetText(12), "B\xE2timent");
    EXPECT_EQ(ml.GetText(20), "Hello#13#world");  // second language
    EXPECT_EQ(ml.IsLanguageLoaded("EL"), c.unicodeLines);
    ml.SetCurrentLanguage("EL");
    EXPECT_EQ(ml.GetTextW(20), c.unicodeLines ? u"Γεια#13#κόσμε" : u"Hello#13#world");
    TMLStringList table;
    table.Add255Obj("Schl\xFCssel", 1);
    ml.SetCurrentLanguage("US");
    EXPECT_EQ(GetMLText(&table, 1), "Key US");
  }
}

TEST(MultiLingua, RefusedFilesLeaveTheTextsAlone) {
  TTempDir dir;
  LoadedSystem s;
  const size_t before = s.System().Entries().size();
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"utf8.lng", "\xEF\xBB\xBF" "DE=T\xC3\xBCr\r\nEN=Door\r\n"},  // UTF-8 mark: refused
      {"utf16be.lng", std::string("\xFE\xFF\0D\0E\0=\0x", 10)},
      {"empty.lng", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAllBytes(dir.File(c.name), c.bytes);
    EXPECT_FALSE(s.System().LoadLanguageFile(dir.File(c.name), false));
    EXPECT_EQ(s.System().Entries().size(), before);
  }
  EXPECT_FALSE(s.System().LoadLanguageFile(dir.File("missing.lng"), false));
  EXPECT_EQ(s.System().Entries().size(), before);
}

TEST(MultiLingua, FixtureFileInTheRepository) {
  TScopedMLSystem s;
  // Built lexically: tests/data need not exist in a fresh checkout.
  const auto file = std::filesystem::path(TESSARO_TEST_DATA).parent_path() / "fixtures" / "lng" /
                    "English.lng";
  ASSERT_TRUE(LoadLanguageFile(file.string(), false));
  s.System().SetCurrentLanguage("EN");
  EXPECT_EQ(MLTranslate("Schl\xFCssel"), "Key");
  EXPECT_EQ(MLTranslate("Kein Schreibzugriff m\xF6glich."), "No write access.");
}
