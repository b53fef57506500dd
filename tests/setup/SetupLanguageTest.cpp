#include "setup/SetupLanguageUnit.h"

#include <gtest/gtest.h>

#include "basic/Cp1252.h"
#include "basic/MsgDlgUnit.h"
#include "setup/SetupFormUnit.h"
#include "setup/SetupTestSupport.h"
#include "setup/SetupUninstallUnit.h"

#ifndef TESSARO_SETUP_RESOURCES
#error "TESSARO_SETUP_RESOURCES names resources/Setup"
#endif

namespace {

const std::string kShippedFile = TESSARO_SETUP_RESOURCES "/Setup.lng";

// The shipped file as the section carries it: UTF-16 LE with its mark (as it is kept).
std::string ShippedSection() {
  const std::string bytes = ReadAllBytes(kShippedFile);
  if (bytes.rfind("\xFF\xFE", 0) == 0) return bytes;
  return WideToUtf16LEBytes(u"\xFEFF" + Cp1252ToUtf16(bytes));
}

class SetupLanguage : public ::testing::Test {
 protected:
  SetupLanguage() { ml.System().SetLanguageNameTable(SetupLanguageNames()); }
  TSetupHome home;
  TScopedMLSystem ml;
};

TEST_F(SetupLanguage, SectionToLanguageTextAndBackGivesTheSameTexts) {
  home.UseInstaller(home.MakeInstaller({"action=exec"}, {}, ShippedSection()));
  ASSERT_TRUE(LoadSetupLanguage(ml.System()));
  EXPECT_EQ(KeptLanguageText(), ShippedSection());
  const std::u16string text = GetLanguageText(ml.System());
  tMLSystem again("DE");
  LoadLanguageText(again, text, true);
  ASSERT_EQ(again.Entries().size(), ml.System().Entries().size());
  ASSERT_GT(again.Entries().size(), 30u);
  for (size_t i = 0; i < again.Entries().size(); ++i) {
    EXPECT_EQ(again.Entries()[i].texts, ml.System().Entries()[i].texts) << i;
    EXPECT_EQ(again.Entries()[i].comment, ml.System().Entries()[i].comment) << i;
  }
  EXPECT_EQ(GetLanguageText(again), text) << "a second round changes nothing";
}

TEST_F(SetupLanguage, GermanOnlyTextsGiveOneBlockPerEntry) {
  LoadLanguageText(ml.System(),
                   u"\xFEFF// ID=7;\r\nDE=Eins.\r\n\r\n\r\nDE=Zwei\r\nXX\r\nDE=\r\n\r\n// alone\r\n",
                   true);
  EXPECT_EQ(GetLanguageText(ml.System()), u"\xFEFF// ID=7;\r\nDE=Eins.\r\n\r\nDE=Zwei\r\n\r\n");
}

TEST_F(SetupLanguage, TheInstallersOwnTableOfNames) {
  LoadLanguageText(ml.System(), u"DE=a\r\nHU=b\r\nEL=c\r\nIT=d\r\nUS=e\r\n", true);
  const auto& langs = ml.System().Languages();
  ASSERT_EQ(langs.size(), 5u);
  EXPECT_EQ(langs[1].nativeName, "Magyar");
  EXPECT_EQ(langs[2].nativeName, "") << "Greek is not among the installer's names";
  EXPECT_EQ(langs[3].nativeName, "");
  EXPECT_EQ(langs[4].englishName, "English");
  tMLSystem program("DE");
  LoadLanguageText(program, u"EL=c\r\n", true);
  EXPECT_EQ(program.Languages()[0].nativeName, "Greek") << "the program's table is untouched";
}

TEST_F(SetupLanguage, WithoutASectionTheFileBesideTheInstallerIsUsedAndKept) {
  const std::string installer = home.UseInstaller(home.MakeInstaller({"action=exec"}));
  WriteAllBytes(installer + ".lng", "DE=Abbrechen\r\nEN=Cancel\r\n");
  EXPECT_EQ(LanguageFileNameFor(installer), installer + ".lng");
  EXPECT_EQ(LanguageFileNameFor("/a.b/Setup.exe"), "/a.b/Setup.lng");
  ASSERT_TRUE(LoadSetupTexts(ml.System(), installer));
  EXPECT_EQ(KeptLanguageText(), WideToUtf16LEBytes(u"\xFEFF" "DE=Abbrechen\r\nEN=Cancel\r\n\r\n"));
  EXPECT_TRUE(ml.System().IsLanguageLoaded("EN"));

  // The uninstaller it writes carries them.
  TScopedRecorder ui;
  home.UseInstaller(home.MakeInstaller({kPathLine, "action=uninst,name=Tessaro"}));
  ASSERT_TRUE(RunSetupCommands(false)) << SetupState().errorText;
  const std::string uninstaller = ReadAllBytes(home.Pgm() + "uninstall");
  std::string section;
  ASSERT_TRUE(SectionData(uninstaller, ParseSectionFile(uninstaller), kSectionLanguage, section));
  EXPECT_EQ(section, KeptLanguageText());
}

// Every text the installer shows has its English and its Hungarian entry; the Hungarian is
// its own text, not a copy of the German or the English.
TEST_F(SetupLanguage, EveryGermanTextHasItsEnglishAndHungarianEntry) {
  ASSERT_TRUE(ml.System().LoadLanguageFile(kShippedFile, true));
  std::vector<std::string> german;
  for (const TMLStringList* table : {SetupFormTexts(), MainDprTexts(), SetupMainTexts()})
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) != 0) german.push_back(table->Text(i));
  for (const std::string& term : PersonsTerms()) german.push_back(term);
  for (int n : {mdtInformation, mdtError, mdtConfirmation, mdtOk, mdtCancel, mdtYes, mdtNo})
    german.push_back(MsgDlgSourceText(n));
  for (const std::string& text : german) {
    if (text == "Tessaro" || text == "OK") continue;  // the same in every language
    int grade = 0;
    const std::string english = ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_EQ(grade, mlgExact) << text;
    const std::u16string hungarian =
        ml.System().TranslateText(Cp1252ToUtf16(text), "DE", "HU", grade);
    EXPECT_EQ(grade, mlgExact) << "no Hungarian for " << text;
    EXPECT_NE(hungarian, Cp1252ToUtf16(text)) << text;
    EXPECT_NE(hungarian, Cp1252ToUtf16(english)) << text;
  }
  // Every block of the file carries the three languages.
  for (const tMLGroup& g : ml.System().Entries())
    for (const char* code : {"DE", "EN", "HU"})
      EXPECT_FALSE(g.Text(ml.System().LanguageIndex(code)).empty())
          << code << " missing for " << Utf16ToCp1252(g.Text(ml.System().LanguageIndex("DE")));
}

// The window's texts are Unicode; the installer's messages are 1252 texts, in which the
// Hungarian double acute letters are written as they always were there.
TEST_F(SetupLanguage, HungarianMessagesIn1252) {
  ASSERT_TRUE(ml.System().LoadLanguageFile(kShippedFile, true));
  ml.System().SetCurrentLanguage("HU");
  EXPECT_EQ(SetupFormText(8), "A telep\xEDt\xE9s sikeresen befejez\xF5"
                              "d\xF6tt.");
  EXPECT_EQ(MainDprText(1), "Kett\xF5s ind\xEDt\xE1s: egy m\xE1sik telep\xEDt\xF5 m\xE1r fut.");
  EXPECT_EQ(SetupMainTextFmt(1, "Tessaro"), "Tessaro elt\xE1vol\xEDt\xE1sa");
  EXPECT_EQ(SetupTextTo1252(u"\u0150\u0151\u0170\u0171\u00E9\u20AC\u0416"),
            "\xD5\xF5\xDB\xFB\xE9\x80?");
}

}  // namespace
