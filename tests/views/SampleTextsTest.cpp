// The texts of the record generator, the mass rename, the remembered records and the info dialog have their English entries in the
// shipped language file.
#include <string>

#include <gtest/gtest.h>

#include "basic/MultiLingua.h"

TEST(SampleTexts, EveryGermanTextHasItsEnglishEntry) {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  ASSERT_TRUE(
      ml.LoadLanguageFile(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  for (const char* text :
       {"Massenumbenennung",
        "Personen",
        "Vorname Nachname  >>  Nachname, Vorname",
        "Abbrechen",
        "Alle Datens\xE4tze (%1) jetzt umbenennen?",
        "Es wurden %1 neue Datens\xE4tze angelegt.",
        "%1 Datens\xE4tze gab es schon unter ihrem Namen: sie blieben unver\xE4ndert.",
        "Datens\xE4tze erzeugen",
        "gew\xFCnschte Anzahl",
        "Nummerierung beginnt",
        "Typ",
        "Schlie\xDF"
        "anlage",
        "Geb\xE4ude",
        "nur T\xFCren am gew\xE4hlten Geb\xE4ude zeigen",
        "Bemerkung",
        "Bezeichnung",
        "per Zufall mit anderen Datens\xE4tzen verkn\xFCpfen",
        "Schlie\xDF"
        "en",
        "Datens\xE4tze werden erzeugt",
        "eine Bemerkung",
        "Person",
        "Gemerkte Datens\xE4tze",
        "Aufrufen",
        "Hinzuf\xFCgen",
        "Entfernen",
        "gew\xE4hlten Datensatz anzeigen",
        "aktuellen Datensatz merken",
        "gew\xE4hlten Datensatz entfernen",
        "Mehrfachauswahl mit [Strg] + Mausklick",
        "Ausgabe",
        "Bund",
        "Bestellung",
        "Schl\xFCsselausgabe",
        "Von Schl\xFCssel \"%1\" ist kein freies Exemplar vorhanden.",
        "Es ist kein Schl\xFCssel markiert.",
        "Es werden nur die markierten Schl\xFCssel ausgegeben.",
        "Fortsetzen?",
        "Ausgabe an eine Person oder an gew\xE4hltes Schl\xFCsselbund?",
        "Info und Kontakt",
        "E-Mail-Adresse kopieren",
        "Adresse kopieren",
        "Programm Stand",
        "Tessaro Schl\xFCsselverwaltung",
        "Musterstra\xDF"
        "e 1",
        "00000 Musterstadt"}) {
    int grade = mlgNone;
    ml.TranslateText(text, "DE", "EN", grade);
    EXPECT_NE(grade, mlgNone) << text;
  }
}
