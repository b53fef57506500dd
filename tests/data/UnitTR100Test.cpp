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
      {67, "https://www.tessaro.example/"},
      {68, "info@tessaro.example"},
      {83, "geliefert;ausgegeben;zur\xFC" "ckgegeben;vernichtet;verloren;wiedergefunden"},
      {105, "Die unterst\xFCtzten Dateiformate variieren je nach Windows-System.\rBitte "
            "versuchen Sie eine BMP-Datei oder installieren Sie Microsoft GDI+"},
      {111, "Der neue Bestand wird negativ (kleiner Null).\rTrotzdem fortsetzen? (nicht "
            "empfohlen!)"},
      {137, "Keine Unterschrift gefunden."},
  };
  for (const auto& c : cases) EXPECT_EQ(CoreText(c.number), c.text) << c.number;
  for (int unused : {26, 34, 69, 139, -1}) EXPECT_EQ(CoreText(unused), "") << unused;
  int present = 0;
  for (int n = 1; n <= 137; ++n) present += CoreText(n).empty() ? 0 : 1;
  EXPECT_EQ(present, 134);
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

// ---------------------------------------------------------------------------------------
// On a store

#include "DomainFixture.h"

namespace {

class VocabularyStoreTest : public ::testing::Test {
 protected:
  TTempDir dir;
  void SetUp() override { ResetVocabulary(); }
  void TearDown() override { ResetVocabulary(); }
  static void SetNames(std::initializer_list<std::pair<int, const char*>> names) {
    for (auto& n : Vocabulary().keySystemNames) n.clear();
    for (const auto& [code, name] : names) ASSERT_TRUE(SetKeySystemName(code, name)) << name;
  }
  static std::vector<std::string> TableNames() {
    const auto& n = Vocabulary().keySystemNames;
    return std::vector<std::string>(n.begin() + 1, n.end());
  }
};

TEST_F(VocabularyStoreTest, KeysystemNamesRoundTrip) {
  TDomainStore a(dir);
  SetNames({{1, "Nord"}, {3, "Haus A"}, {4, "S\xFC" "d,West"}, {5, "-"}, {7, "\"Q\""},
            {40, "Letzte"}});
  ASSERT_TRUE(SaveKeySystemNames(*a));
  std::string header = a->GetHeaderValue(kKeySystemNamesHeader);
  EXPECT_EQ(header, "Nord,,\"Haus A\",\"S\xFC" "d,West\",-,,\"\"\"Q\"\"\"," + std::string(32, ',') +
                        "Letzte");
  std::vector<std::string> saved = TableNames();

  // Another workstation reads them from the file.
  TDomainStore b(dir, "Data", "tester@pc2");
  ResetVocabulary();
  LoadKeySystemNames(*b);
  std::vector<std::string> loaded = TableNames();
  saved[1] = "Anlage2";  // the gap of code 2 gets its default name
  EXPECT_EQ(loaded, saved);

  // A shorter list: codes beyond its end lose their names.
  SetNames({{1, "Eins"}});
  ASSERT_TRUE(SaveKeySystemNames(*b));
  EXPECT_EQ(b->GetHeaderValue(kKeySystemNamesHeader), "Eins");
  a->Load();
  LoadKeySystemNames(*a);
  EXPECT_EQ(KeySystemTableName(1), "Eins");
  EXPECT_EQ(KeySystemTableName(2), "Anlage2");
  EXPECT_EQ(KeySystemTableName(3), "Anlage3");
  EXPECT_EQ(KeySystemTableName(4), "");
  EXPECT_EQ(KeySystemTableName(40), "");
}

TEST_F(VocabularyStoreTest, OnlyCodesOneAndThreeKeepTheGap) {
  TDomainStore a(dir);
  SetNames({{1, "A"}, {3, "C"}});
  EXPECT_EQ(KeySystemNamesText(), "A,,C");
  SetNames({});
  EXPECT_EQ(KeySystemNamesText(), "-");
  SetNames({{1, "-"}});
  EXPECT_EQ(KeySystemNamesText(), "\"-\"");
  ASSERT_TRUE(SaveKeySystemNames(*a));
  ResetVocabulary();
  LoadKeySystemNames(*a);
  EXPECT_EQ(KeySystemTableName(1), "-");
}

TEST_F(VocabularyStoreTest, EachClientKeepsItsOwnNames) {
  TDomainStore first(dir, "Data-Erster");
  TDomainStore second(dir, "Data-Zweiter");
  SetNames({{1, "Nord"}, {9, "Neun"}});
  ASSERT_TRUE(SaveKeySystemNames(*first));
  LoadKeySystemNames(*second);  // the second client has no names of its own
  EXPECT_EQ(KeySystemTableName(1), "Anlage1");
  EXPECT_EQ(KeySystemTableName(9), "");
  ASSERT_TRUE(SaveKeySystemNames(*second));
  EXPECT_EQ(second->GetHeaderValue(kKeySystemNamesHeader), "Anlage1,Anlage2,Anlage3");
  LoadKeySystemNames(*first);
  EXPECT_EQ(KeySystemTableName(9), "Neun");
}

TEST_F(VocabularyStoreTest, OpeningDoesNotWriteTheMissingHeader) {
  {
    TDomainStore a(dir);
    a.Add(icDoor, "T1");
  }
  std::string before = ReadAllBytes(dir.File("Data.ada"));
  TDomainStore a(dir);
  LoadKeySystemNames(*a);
  EXPECT_EQ(KeySystemTableName(1), "Anlage1");
  EXPECT_FALSE(a->Modified);
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), before);
  ASSERT_TRUE(SaveKeySystemNames(*a));
  EXPECT_EQ(a->GetHeaderValue(kKeySystemNamesHeader), "Anlage1,Anlage2,Anlage3");
}

TEST_F(VocabularyStoreTest, ANameNeverTurnsTheHeaderIntoARecord) {
  TScopedRecorder ui;
  TDomainStore a(dir);
  int32_t door = a.Add(icDoor, "T1");
  // Names that pass: the line stays a header line at the next reading.
  SetNames({{1, "i = 9"}, {2, "x=i=9"}, {3, "Ai=9"}, {4, "=i=9"}});
  ASSERT_TRUE(SaveKeySystemNames(*a));
  TDomainStore b(dir, "Data", "tester@pc2");
  EXPECT_EQ(b->LastID, door);
  EXPECT_FALSE(b->HasRecord(9));
  // A name slipped into the table unchecked is refused at saving, nothing is written.
  Vocabulary().keySystemNames[2] = "x i=9 y";
  std::string before = a->GetHeaderValue(kKeySystemNamesHeader);
  EXPECT_FALSE(SaveKeySystemNames(*a));
  EXPECT_EQ(a->GetHeaderValue(kKeySystemNamesHeader), before);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("x i=9 y"), std::string::npos);
}

TEST_F(VocabularyStoreTest, KeySystemNamesOfCodes) {
  TDomainStore s(dir);
  int32_t door = s.Add(icDoor, "T1");
  int32_t gone = s.Add(icBuilding, "Abriss");
  s.Add(icKey, "S1");
  int32_t b4 = s.Add(icBuilding, "Haupthaus", ksBuildingBase);
  ASSERT_EQ(b4, 4);
  s->SetField(b4, "n2", "Ost");
  s->Commit();
  ASSERT_TRUE(s->MarkDeleted(gone));
  InstallNameFuncs(*s);
  SetNames({{1, "Nord"}, {40, "Vierzig"}});
  EXPECT_EQ(KeySystemName(*s, 0), "");
  EXPECT_EQ(KeySystemName(*s, 1), "Nord");
  EXPECT_EQ(KeySystemName(*s, 40), "Vierzig");
  EXPECT_EQ(KeySystemName(*s, 41), "");
  EXPECT_EQ(KeySystemName(*s, 1000), "");
  EXPECT_EQ(KeySystemName(*s, 1001), "");
  EXPECT_EQ(KeySystemName(*s, 1005), "Haupthaus [Ost]");
  EXPECT_EQ(KeySystemName(*s, ksBuildingBase + door), "");  // not a building
  EXPECT_EQ(KeySystemName(*s, ksBuildingBase + gone), "");  // deleted
  EXPECT_EQ(KeySystemName(*s, ksBuildingBase + 999999), "");
  EXPECT_EQ(KeySystemName(*s, ksAll), "");
  EXPECT_EQ(KeySystemName(*s, -3), "");
  s->SetKeySystem(door, 1005);
  s->Commit();
  EXPECT_EQ(ItemKeySystemName(*s, door), "Haupthaus [Ost]");
}

TEST_F(VocabularyStoreTest, ContextNamesPerClass) {
  TDomainStore s(dir);
  TMiniDB& db = *s;
  int32_t building = s.Add(icBuilding, "Haus", ksBuildingBase);
  int32_t door = s.Add(icDoor, "T1");
  s.Link(door, building);
  int32_t lone = s.Add(icDoor, "T2");
  int32_t key = s.Add(icKey, "S1", 1);
  db.SetField(key, "n2", "blau");
  db.Commit();
  int32_t cyl = s.Add(icCylinder, "Z1", ksBuildingBase + building);
  int32_t group = s.Add(icGroup, "G1", 2);
  int32_t person = s.Add(icPerson, "Meier");
  db.SetField(person, "Abt", "IT");
  db.SetField(person, "Nr", "7");
  db.Commit();
  int32_t onlyNumber = s.Add(icPerson, "Kurz");
  db.SetField(onlyNumber, "Nr", "8");
  db.Commit();
  int32_t bunch = s.Add(icKeyBunch, "Bund");
  db.SetField(bunch, "n2", "klein");
  db.Commit();
  SetNames({{1, "Nord"}});
  InstallNameFuncs(db);

  EXPECT_EQ(NameWithContext(db, door, '('), "T1 (Haus)");
  EXPECT_EQ(NameWithContext(db, door, '['), "T1 [Haus]");
  EXPECT_EQ(NameWithContext(db, door, 0), "T1");
  EXPECT_EQ(NameWithContext(db, lone, '('), "T2");
  EXPECT_EQ(NameWithContext(db, key, '('), "S1 [blau] (Nord)");
  EXPECT_EQ(NameWithContext(db, cyl, '('), "Z1 (Haus)");
  EXPECT_EQ(NameWithContext(db, group, '('), "G1");  // system 2 has no name
  EXPECT_EQ(NameWithContext(db, person, '('), "Meier (IT/7)");
  EXPECT_EQ(NameWithContext(db, person, '\t'), "Meier\tIT/7");
  EXPECT_EQ(NameWithContext(db, onlyNumber, '['), "Kurz [8]");
  EXPECT_EQ(NameWithContext(db, bunch, '('), "Bund [klein]");
  EXPECT_EQ(PlainItemName(db, key), "S1 [blau]");
  EXPECT_EQ(PlainItemName(db, door), "T1");
  // The cached display names: plain names, persons in their TAB form.
  EXPECT_EQ(db.GetDisplayName(key), "S1 [blau]");
  EXPECT_EQ(db.GetDisplayName(door), "T1");
  EXPECT_EQ(db.GetDisplayName(person), "Meier\tIT/7");
  // A name change reaches the cache.
  db.SetField(key, "n2", "");
  db.Commit();
  EXPECT_EQ(db.GetDisplayName(key), "S1");
}

TEST_F(VocabularyStoreTest, KeySystemFilter) {
  TDomainStore s(dir);
  TMiniDB& db = *s;
  int32_t own = s.Add(icBuilding, "Haus", ksBuildingBase);
  s.Add(icBuilding, "Schuppen");
  s.Add(icDoor, "T1", 1);
  s.Add(icDoor, "T2", 1);
  s.Add(icKey, "S1", 3);
  s.Add(icKey, "S2", 5);     // system without a name
  s.Add(icDoor, "T3", 2);
  s.Add(icKey, "S3", ksBuildingBase + own);
  s.Add(icKey, "S4", 4);  // the same text as system 1, which a door used first
  SetNames({{1, "nord"}, {2, "Mitte"}, {3, "Anbau"}, {4, "NORD"}});
  InstallNameFuncs(db);
  FillKeySystemFilter(db);
  std::vector<std::pair<std::string, int32_t>> got;
  for (const auto& e : KeySystemFilter()) got.emplace_back(e.text, e.code);
  std::vector<std::pair<std::string, int32_t>> expected = {
      {"alle von Anbau", 3},
      {"alle von Haus", ksBuildingBase + own},
      {"alle von Mitte", 2},
      {"alle von nord", 1},
  };
  EXPECT_EQ(got, expected);
}

TEST_F(VocabularyStoreTest, NamesChangedByAnotherStationShowAfterTheReread) {
  TDomainStore a(dir);
  int32_t person = a.Add(icPerson, "Meier");
  a->SetField(person, "Abt", "IT");
  a->Commit();
  int32_t key = a.Add(icKey, "S1", 2);
  InstallNameFuncs(*a);
  LoadKeySystemNames(*a);
  auto filter = [] {
    std::vector<std::string> texts;
    for (const auto& e : KeySystemFilter()) texts.push_back(e.text);
    return texts;
  };
  EXPECT_EQ(a->GetDisplayName(person), "Meier\tIT");
  EXPECT_EQ(filter(), std::vector<std::string>{"alle von Anlage2"});

  // The other station changes what the names are made of, not the person's name itself.
  {
    TDomainStore b(dir, "Data", "tester@pc2");
    b->SetField(person, "Abt", "HR");
    b->SetField(key, "n2", "rot");
    ASSERT_TRUE(b->Commit());
    ASSERT_TRUE(b->SetHeaderValue(kKeySystemNamesHeader, "Anlage1,Mitte"));
  }
  EXPECT_EQ(a->Load(), ldRead);
  EXPECT_EQ(a->GetDisplayName(person), "Meier\tHR");
  EXPECT_EQ(a->GetDisplayName(key), "S1 [rot]");
  LoadKeySystemNames(*a);
  EXPECT_EQ(a->GetDisplayName(person), "Meier\tHR");
  EXPECT_EQ(filter(), std::vector<std::string>{"alle von Mitte"});
}

TEST_F(VocabularyStoreTest, ItemTexts) {
  TDomainStore s(dir);
  TMiniDB& db = *s;
  int32_t door = s.Add(icDoor, "T1");
  db.SetField(door, "rom", "1.04");
  db.SetField(door, "romn", "Labor");
  db.SetField(door, "r", "  Zeile eins ");
  db.Commit();
  int32_t key = s.Add(icKey, "S", 0, "5");
  int32_t odd = s.Add(icKey, "S", 0, "-3");
  int32_t big = s.Add(icKey, "S", 0, "12");
  EXPECT_EQ(RoomText(db, door), "1.04 Labor");
  db.SetField(door, "rom", "");
  EXPECT_EQ(RoomText(db, door), "Labor");
  EXPECT_EQ(ItemRemarkLine(db, door), "Zeile eins");
  EXPECT_EQ(KeyTypeAbbrev(db, key), "GHS");
  EXPECT_EQ(KeyTypeAbbrev(db, odd), "");
  EXPECT_EQ(KeyTypeAbbrev(db, big), "");
  EXPECT_EQ(KeyTypeAbbrev(db, door), "");
}

}  // namespace
