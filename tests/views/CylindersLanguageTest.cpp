// The shipped language file knows every German text of the cylinders view, its retiring
// form and the pinning.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "basic/MultiLingua.h"
#include "views/FrameCabinetUnit.h"
#include "views/FrameCylsUnit.h"
#include "views/FrameGroupsUnit.h"

TEST(CylindersLanguage, EveryTextHasItsEnglishEntry) {
  TScopedMLSystem scoped;
  tMLSystem& ml = scoped.System();
  ASSERT_TRUE(
      ml.LoadLanguageFile(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng", false));
  std::vector<std::string> texts;
  for (const TMLStringList* table :
       {FrameCylsTexts(), DefectCylTexts(), FrameGroupsTexts(), FrameCabinetTexts()})
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0 && !table->Text(i).empty()) texts.push_back(table->Text(i));
  for (const char* text : {"Zylinder ausmustern",
                           "Zylinder ausmustern ...",
                           "Defekt/Vernichtung",
                           "Verlust",
                           "Beleg drucken",
                           "\xDC"
                           "bernehmen",
                           "Defekt/Verlust widerrufen",
                           "Ansicht: Zylinder und Schlie\xDF"
                           "anlage",
                           "Ansicht: Zylinder und Schlie\xDF"
                           "ung",
                           "Position:",
                           "Typ:",
                           "F\xE4rbung:",
                           "Art:",
                           "Bestiftung:",
                           "Zylinderf\xFCllung",
                           "Zylinderl\xE4nge A / B",
                           "Bestand / Gesamtmenge",
                           " verf\xFC"
                           "gbar     von insgesamt",
                           "St\xFC"
                           "ck",
                           "ist in T\xFCren ...",
                           "geh\xF6rt zur Gruppe",
                           "zur Gruppe wechseln",
                           "wird geschlossen von Gruppen und folgenden Schl\xFCsseln",
                           "Summe",
                           "Rotorstifte",
                           "Aufbaustifte",
                           "Schl\xFCsseleinschnitte",
                           "Aktualisieren",
                           "Zu viele Kombinationen",
                           "Zyl.-L\xE4nge",
                           "Bestand",
                           "Besitzer"})
    texts.push_back(text);
  for (const std::string& text : texts) {
    int grade = mlgNone;
    ml.TranslateText(text, "DE", "EN", grade);
    EXPECT_NE(grade, mlgNone) << text;
  }
}
