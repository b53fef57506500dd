// The shipped language file knows every German text of the buildings and doors views, the
// floor plans and the category dialog.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "basic/MultiLingua.h"
#include "views/FloorPlanUnit.h"
#include "views/FrameBuildings2Unit.h"
#include "views/FrameDoorsUnit.h"

TEST(DoorsLanguage, EveryTextHasItsEnglishEntry) {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  ASSERT_TRUE(
      ml.LoadLanguageFile(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  std::vector<std::string> texts;
  for (const TMLStringList* table : {FrameBuildingsTexts(), FrameDoorsTexts(), FloorPlanTexts()})
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0 && !table->Text(i).empty()) texts.push_back(table->Text(i));
  for (const char* text : {"Geb\xE4ude(teil):",
                           "[Zusatzbezeichnung]:",
                           "Anschrift:",
                           "Schlie\xDF"
                           "anlage:",
                           "Bemerkung:",
                           "T\xFCren im gew\xE4hlten Geb\xE4ude(teil)",
                           "zugeordnete Personen ...",
                           "T\xFCr:",
                           "Geb\xE4ude:",
                           "Stockwerk:",
                           "Raum-Nr.:",
                           "Raum:",
                           "Zylinder:",
                           "Schlie\xDF"
                           "ung:",
                           "Zyl-Pos.:",
                           "L\xE4nge:",
                           "Grundriss",
                           "nur T\xFCren mit mehreren Zylindern anzeigen",
                           "Klassifizierung ...",
                           "Klassifizierung / Kategorisierung",
                           "Auswahl \xFC"
                           "bernehmen",
                           "Bitte geben Sie einen Namen ein",
                           "Grundriss hinzuf\xFCgen/\xE4ndern",
                           "Verkn\xFCpfung zu externer Datei einrichten",
                           "Drehung 90\xB0 rechts",
                           "Kein Grundriss vorhanden.",
                           "\xDC"
                           "ber \"Datei\" kann ein Grundriss hinzugef\xFCgt werden."})
    texts.push_back(text);
  for (const std::string& text : texts) {
    int grade = mlgNone;
    ml.TranslateText(text, "DE", "EN", grade);
    EXPECT_NE(grade, mlgNone) << text;
  }
}
