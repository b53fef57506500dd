// The shipped language file knows every German text of the keys view and its cabinet rows,
// and the view comes up in English with it.
#include <filesystem>
#include <string>
#include <vector>

#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/FramesTestSupport.h"
#include "basic/MultiLingua.h"
#include "basic/widgets/QtGlue.h"
#include "views/CabInFrameUnit.h"
#include "views/FrameKeysUnit.h"

namespace {

TEST(KeysLanguage, EveryTextOfTheKeysViewHasItsEnglishEntry) {
  TScopedMLSystem ml;
  const std::string file =
      (std::filesystem::path(TESSARO_RESOURCE_DIR) / "System" / "Tessaro.lng").string();
  ASSERT_TRUE(ml.System().LoadLanguageFile(file, false)) << file;
  std::vector<std::string> texts = {"Schl\xFCssel-Liste",
                                    "Ausgabe",
                                    "Schl\xFCssel ausgeben",
                                    "Schl\xFCssel:",
                                    "[Zusatzbezeichnung]",
                                    "Schlie\xDF"
                                    "anlage:",
                                    "Typ:",
                                    "Schlie\xDFung:",
                                    "Einschnitte",
                                    "verf\xFCgbar",
                                    "Anzahl:",
                                    "Schrank:",
                                    "Bemerkung:",
                                    "T\xFCren",
                                    "Schlie\xDFgruppen",
                                    "Zylinder",
                                    "Schl\xFCssel am Bund",
                                    "Schl\xFCssel passt zu den T\xFCren ...",
                                    "schlie\xDFt gesamte Gruppe ...",
                                    "schlie\xDFt einzelne Zylinder ...",
                                    "GHS ausf\xFChrlich",
                                    "Name suchen",
                                    "Person zeigen",
                                    "R\xFC"
                                    "cknahme",
                                    "Verlust",
                                    "Wiedergefunden",
                                    "Details bearbeiten ...",
                                    "Quittung drucken",
                                    "Verleihkontrolle drucken",
                                    "Unterschrift anzeigen",
                                    "Besitzerliste drucken",
                                    "Ausgabezeit anzeigen",
                                    "Schl\xFCssel zeigen",
                                    "vom Bund nehmen (R\xFC"
                                    "cknahme)",
                                    "Inventur ...",
                                    "als T\xFCr anlegen",
                                    "Datensatz-Splitting ...",
                                    "Splitting Umbuchung ...",
                                    "nur Schl\xFCsselbunde anzeigen"};
  for (const TMLStringList* table : {FrameKeysTexts(), CabInFrameTexts()}) {
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < table->Count(); ++i)
      if (table->Number(i) > 0 && !table->Text(i).empty()) texts.push_back(table->Text(i));
  }
  for (const std::string& text : texts) {
    int grade = 0;
    ml.System().TranslateText(text, "DE", "EN", grade);
    EXPECT_GE(grade, mlgExact) << text;
  }

  ml.System().SetCurrentLanguage("EN");
  EXPECT_EQ(FrameKeysTextFmt(23, "K1"), "Holders of key K1");
  EXPECT_EQ(CabInFrameText(7), "A cabinet has been chosen more than once.");
  TFrameKeys view(nullptr);
  EXPECT_EQ(view.KeyFoundBtn->text(), QStringLiteral("Found"));
  EXPECT_EQ(view.OfTotalLabel->text(), QStringLiteral("of a total of"));
}

}  // namespace
