// The texts of the history view, the change log and the search have their English entries
// in the shipped language file.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "basic/MultiLingua.h"
#include "data/ChangeLogRowsUnit.h"
#include "data/HistoryTableUnit.h"

TEST(ViewTexts, EveryGermanTextHasItsEnglishEntry) {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  ASSERT_TRUE(ml.LoadLanguageFile(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  std::vector<std::string> texts;
  for (const TMLStringList* table : {FrameHistoryTexts(), ChangeLogTexts()})
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0 && !table->Text(i).empty()) texts.push_back(table->Text(i));
  // Captions and texts of the dialogs, looked up by their German text.
  for (const char* text :
       {"Suchen", "nur Ausgaben und R\xFC" "cknahmen", "Schl\xFC" "ssel zeigen", "R\xFC" "cknahme",
        "Person zeigen", "\xC4nderungen", "Drucken", "Detailliertes Bearbeitungsprotokoll",
        "Datum und Zeit", " Bezeichnung", " Feld oder Aktion", " Inhalt", "Datensatz gel\xF6scht",
        "Verkn\xFCpf. ", "(leer)", "(entfernt)", " bisher", "Monat ", "alles", "anzeigen",
        "Datensatz aufrufen", "Schlie\xDF" "en", "erweiterte Suche  [Strg+F]", "Suchbegriff",
        "Abbrechen", "Fundstelle", " Objekt ausw\xE4hlen", "Alle ausw\xE4hlen"})
    texts.push_back(text);
  for (const std::string& text : texts) {
    int grade = mlgNone;
    ml.TranslateText(text, "DE", "EN", grade);
    EXPECT_NE(grade, mlgNone) << text;
  }
}
