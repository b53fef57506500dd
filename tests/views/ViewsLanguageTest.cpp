// The shipped language file knows every German text the deadlines page, the holding editor,
// the split dialogs and the stock list show, and the windows come up in English with it.
#include <filesystem>
#include <string>
#include <vector>

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "basic/MultiLingua.h"
#include "views/FrameLimitsUnit.h"
#include "views/KeyBoxUnit.h"
#include "views/SplitUnit.h"

namespace {

TEST(ViewsLanguage, EveryTextOfTheStockViewsHasItsEnglishEntry) {
  TScopedMLSystem ml;
  const std::string file =
      (std::filesystem::path(TESSARO_RESOURCE_DIR) / "System" / "Tessaro.lng").string();
  ASSERT_TRUE(ml.System().LoadLanguageFile(file, false)) << file;
  std::vector<std::string> texts = {
      "zeige abgelaufene R\xFC" "ckgabefristen ", "Suchen", "Drucken",
      "zum Schl\xFC" "ssel wechseln", "zum Besitzer wechseln", "Details bearbeiten ...",
      "Eigenschaften Schl\xFC" "sselbesitz", "\xDC" "bernehmen", "Abbrechen", "Kennung:",
      "Datensatz-Splitting", " Zusammenfassungseintrag (Mutter) ", "Bezeichnung", "Gesamt",
      "verf\xFC" "gbar neu", "Splitting Umbuchung", "Anzahl", "von",
      "von Mutter auf Tochter \xFC" "bertragen", "von Tochter auf Mutter zur\xFC" "ckbuchen",
      "Durchf\xFC" "hren", "verf\xFC" "gbarer Bestand laut Inventur", "Verf\xFC" "gbare Menge:",
      "St\xFC" "ck", "Bemerkung (f\xFC" "r das Protokoll)", " Schl\xFC" "ssel- und Zylinderbest\xE4" "nde",
      "Zylinder", "nur Schl\xFC" "ssel unter Mindestbestand", "Suche:", "Exportieren",
      "Schlie\xDF" "en"};
  for (const TMLStringList* table : {FrameLimitsTexts(), FristEdTexts(), SplitFormTexts(),
                                     SplitRebookTexts(), InventoryTexts(), KeyBoxTexts()}) {
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0) texts.push_back(table->Text(i));
  }
  for (const std::string& text : texts) {
    int grade = 0;
    ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_GE(grade, mlgExact) << text;
  }

  ml.System().SetCurrentLanguage("EN");
  TKeyBoxForm stock;
  EXPECT_EQ(stock.GotoBtn->text(), QStringLiteral("Open key"));
  EXPECT_EQ(stock.CloseBtn->text(), QStringLiteral("Close"));
  TFristEdForm editor;
  EXPECT_EQ(editor.SaveBtn->text(), QStringLiteral("Apply"));
  EXPECT_EQ(GetMLTextFmt(KeyBoxTexts(), 6, "3"), "3 entries found.");
}

}  // namespace
