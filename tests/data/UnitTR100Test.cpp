#include "data/UnitTR100.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

class VocabularyTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetVocabulary(); }
  void TearDown() override { ResetVocabulary(); }
};

TEST_F(VocabularyTest, CoreTextsKeepTheirBytes) {
  struct {
    int number;
    const char* text;
  } cases[] = {
      {0, "UnitTR100"},
      {1, "Schlie\xDF" "anlage"},
      {3, "T\xFCr"},
      {13, "Die Angabe \"%1\" ist kein bekanntes Geb\xE4ude."},
      {17, "Die Angabe \"%1\" ist kein bekannter Schl\xFCsseltyp (ES, GS, HGS, HS, GHS)."},
      {30, "bitte loggen Sie sich zun\xE4" "chst ein"},
      {32, "Bitte beenden Sie zuerst diese Eingabe\r(z.B. durch Speichern oder Abbrechen)."},
      {33, "Programm unvollst\xE4ndig - Fehler #%1 bitte beim Softwarehersteller melden!"},
      {42, "Sie haben keine Befugnis \xC4nderungen durchzuf\xFChren."},
      {64, "Bitte wenden Sie sich an einen der folgenden Benutzer:"},
      {65, "Sie haben keine Berechtigung f\xFCr diese \xDC" "bergabe."},
      {66, "Sie haben keine Berechtigung f\xFCr Ausdrucke oder Exporte."},
      {83, "geliefert;ausgegeben;zur\xFC" "ckgegeben;vernichtet;verloren;wiedergefunden"},
      {105, "Die unterst\xFCtzten Dateiformate variieren je nach Windows-System.\rBitte "
            "versuchen Sie eine BMP-Datei oder installieren Sie Microsoft GDI+"},
      {111, "Der neue Bestand wird negativ (kleiner Null).\rTrotzdem fortsetzen? (nicht "
            "empfohlen!)"},
      {137, "Keine Unterschrift gefunden."},
  };
  for (const auto& c : cases) EXPECT_EQ(CoreText(c.number), c.text) << c.number;
  for (int unused : {26, 34, 67, 68, 69, 139, -1}) EXPECT_EQ(CoreText(unused), "") << unused;
  int present = 0;
  for (int n = 1; n <= 137; ++n) present += CoreText(n).empty() ? 0 : 1;
  EXPECT_EQ(present, 132);
}

TEST_F(VocabularyTest, CoreTextFmtReplacesEveryPlaceholder) {
  EXPECT_EQ(CoreTextFmt(126, "12"), "Alle Datens\xE4tze (12) jetzt umbenennen?");
  EXPECT_EQ(CoreTextFmt(12, "\rA\r"),
            "Diese Namen existieren schon:\rA\rTrotzdem starten? (Doppelte werden \xFC"
            "bersprungen)");
}

TEST_F(VocabularyTest, ClassCaptions) {
  InitGlobalTexts("Kunde", "");
  const char* singular[19] = {
      "Class0", "Benutzer", "Geb\xE4ude", "T\xFCr", "Schl\xFCssel", "Kunde",
      "Zylinder", "Gruppe", "Schrank", "Schlie\xDF" "anlage", "Class10", "Class11",
      "Einstellungen", "Class13", "Class14", "Class15", "Class16", "Class17", "Class18"};
  const char* plural[19] = {
      "Class0", "Benutzer", "Geb\xE4ude", "T\xFCren", "Schl\xFCssel", "Kunde",
      "Zylinder", "Gruppen", "Schr\xE4nke", "Schlie\xDF" "anlage", "Class10", "Class11",
      "Einstellungen", "Class13", "Class14", "Class15", "Class16", "Class17", "Class18"};
  for (int cls = 0; cls <= 18; ++cls) {
    EXPECT_EQ(ClassCaption(cls, false), singular[cls]) << cls;
    EXPECT_EQ(ClassCaption(cls, true), plural[cls]) << cls;
  }
  ResetVocabulary();
  EXPECT_EQ(ClassCaption(icPerson, true), "Mitarbeiter");
  EXPECT_EQ(DepartmentTerm(), "Abteilung");
}

TEST_F(VocabularyTest, KeyTypeNames) {
  const char* abbrevs[10] = {"", "ES", "GS", "HGS", "HS", "GHS", "OGS", "GFS", "I", "M"};
  for (int t = 0; t < 10; ++t) EXPECT_EQ(KeyTypeAbbrevOf(t), abbrevs[t]) << t;
  EXPECT_EQ(KeyTypeAbbrevOf(-1), "");
  EXPECT_EQ(KeyTypeAbbrevOf(10), "");
  EXPECT_EQ(KeyTypeLongName(0), "");
  EXPECT_EQ(KeyTypeLongName(1), "Einzelschlie\xDFung");
  EXPECT_EQ(KeyTypeLongName(5), "Generalhauptschl\xFCssel");
  EXPECT_EQ(KeyTypeLongName(7), "Gefahrenschl\xFCssel");
  EXPECT_EQ(KeyTypeLongName(8), "Mitschlie\xDFung");
  EXPECT_EQ(KeyTypeLongName(9), "Mitschlie\xDFung");
  EXPECT_EQ(KeyTypeLongName(10), "");
}

TEST_F(VocabularyTest, ParseKeyType) {
  struct {
    const char* text;
    int type;
  } cases[] = {
      {"ghs", 5},
      {"  HGS ", 3},
      {"es", 1},
      {"OGS", 6},
      {"gfs", 7},
      {"Hauptschl\xFCssel Nord", 4},
      {"hauptschl\xFCssel", 4},  // lower-case umlaut upper-cased through our table
      {"Generalhauptschl\xFCssel", 5},
      {"Einzelschl\xFCssel", 1},
      {"GF-Gruppenschl\xFCssel", 7},
      {"Gruppenschl\xFCssel", 2},
      {"GS 12", 2},
      {"Schrank", 0},
      {"", 0},
      {"   ", 0},
      {"I", 0},  // too short for an abbreviation, and no long name
      {"Mitschlie\xDFung", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseKeyType(c.text), c.type) << c.text;
}

TEST_F(VocabularyTest, ActionNames) {
  EXPECT_EQ(TransferActionName(1), "geliefert");
  EXPECT_EQ(TransferActionName(3), "zur\xFC" "ckgegeben");
  EXPECT_EQ(TransferActionName(6), "wiedergefunden");
  EXPECT_EQ(TransferActionName(0), "");
  EXPECT_EQ(TransferActionName(7), "");
  EXPECT_EQ(ActionName(0), "-");
  EXPECT_EQ(ActionName(3), "R\xFC" "cknahme");
  EXPECT_EQ(ActionName(6), "Wiedergefunden");
  EXPECT_EQ(ActionName(7), "");
}

TEST_F(VocabularyTest, TextHelpers) {
  EXPECT_EQ(JoinLines("  erste Zeile \r\n\r\n zweite\rdritte  \n"), "erste Zeile zweite dritte");
  EXPECT_EQ(JoinLines(""), "");
  EXPECT_EQ(NameWithSecondName("K1", ""), "K1");
  EXPECT_EQ(NameWithSecondName("K1", "Nord"), "K1 [Nord]");
  EXPECT_EQ(DecorateWithBrackets("T1", "Haus", '('), "T1 (Haus)");
  EXPECT_EQ(DecorateWithBrackets("T1", "Haus", '['), "T1 [Haus]");
  EXPECT_EQ(DecorateWithBrackets("T1", "Haus", 0), "T1");
  EXPECT_EQ(DecorateWithBrackets("T1", "", '('), "T1");
  EXPECT_EQ(DecorateWithBrackets("Meier", "IT/7", '\t'), "Meier\tIT/7");
  EXPECT_EQ(VonText(), " von ");
  EXPECT_EQ(ShowAllTextUpper(), "ALLE ANZEIGEN");
}

TEST_F(VocabularyTest, DefaultSystemNamesFillOnlyGaps) {
  ASSERT_TRUE(SetKeySystemName(2, "Nord"));
  InitGlobalTexts();
  EXPECT_EQ(KeySystemTableName(1), "Anlage1");
  EXPECT_EQ(KeySystemTableName(2), "Nord");
  EXPECT_EQ(KeySystemTableName(3), "Anlage3");
  EXPECT_EQ(KeySystemTableName(4), "");
  EXPECT_EQ(KeySystemTableName(0), "");
  EXPECT_EQ(KeySystemTableName(41), "");
  EXPECT_EQ(KeySystemTableName(-5), "");
}

TEST_F(VocabularyTest, NamesThatWouldMakeARecordLineAreRefused) {
  TScopedRecorder ui;
  for (const char* bad : {"i=9", "I=12", "Haus i=9", "x,i=3", "\"i=1\"", "a\ti=2"}) {
    EXPECT_FALSE(KeySystemNameAcceptable(bad)) << bad;
    EXPECT_FALSE(SetKeySystemName(5, bad)) << bad;
  }
  EXPECT_EQ(ui.messages.size(), 6u);
  EXPECT_EQ(ui.messages[0].kind, TMsgKind::Error);
  EXPECT_NE(ui.messages[0].text.find("\"i=9\""), std::string::npos);
  EXPECT_EQ(KeySystemTableName(5), "");
  for (const char* good : {"Haus i", "Ai=9", "i = 9", "Nord, S\xFC" "d", "-", "x=i"}) {
    EXPECT_TRUE(KeySystemNameAcceptable(good)) << good;
  }
}

TEST_F(VocabularyTest, SystemNamesAreCleanedAndCut) {
  ASSERT_TRUE(SetKeySystemName(40, "Ein sehr langer Anlagenname\r\n"));
  EXPECT_EQ(KeySystemTableName(40), "Ein sehr langer");
  ASSERT_TRUE(SetKeySystemName(7, "A\rB"));
  EXPECT_EQ(KeySystemTableName(7), "A B");
  EXPECT_FALSE(SetKeySystemName(41, "X"));
  EXPECT_FALSE(SetKeySystemName(0, "X"));
}

}  // namespace
