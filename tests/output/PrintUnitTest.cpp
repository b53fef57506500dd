// Receipts, templates and print texts: which template an event prints from, the settings
// behind the slots and the texts, the fill of a template, and the built-in pages on the
// recording canvas of the fake printers.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "data/ClientSessionUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/ParamsUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "data/DomainFixture.h"
#include "data/IniUnit.h"
#include "data/LockingRelations.h"
#include "data/MandantUnit.h"
#include "data/StockUnit.h"
#include "output/FakePrinterServices.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintProcsUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrintUnit.h"
#include "output/ReceiptWorkstation.h"
#include "output/WordDocumentUnit.h"
#include "platform/PlatformFileAccess.h"
#include "support/TestSupport.h"

namespace {

// A document that records what the fill gives it; FindText searches `text`.
class TRecordingDoc : public TTextDoc {
 public:
  std::string text;
  std::vector<TTextReplacement> filled;
  bool FindText(const std::string& t) override {
    return AnsiUpperCase(text).find(AnsiUpperCase(t)) != std::string::npos;
  }
  int ReplaceAll(const std::vector<TTextReplacement>& r) override {
    filled = r;
    return static_cast<int>(r.size());
  }
};

// A workstation: the program folder with its settings file, a client's data folder with
// its store, fake printers, a recorder for what is said.
class ReceiptTest : public TReceiptWorkstationTest {
 protected:
  void SetUp() override { OpenWorkstation(); }
  void TearDown() override { CloseWorkstation(); }

  std::string File(const std::string& name, const std::string& bytes = "{\\rtf1 x}") {
    const std::string file = prog.File(name);
    WriteAllBytes(file, bytes);
    return file;
  }

  // Print texts from a table instead of the settings files; `reads` counts the reads.
  void TextsFrom(std::map<std::pair<int, std::string>, std::string> values) {
    stored = std::move(values);
    SetPrintTextSources({[this](int level, const std::string& key) {
                           ++reads;
                           auto it = stored.find({level, key});
                           return it == stored.end() ? std::string() : it->second;
                         },
                         [this] { return nowMs; }});
  }

  // The texts of the last print job, page by page.
  std::vector<std::vector<TRecordedText>> Pages() {
    std::vector<std::vector<TRecordedText>> pages;
    if (printers.printers.jobs.empty()) return pages;
    for (const TRecordedPage& p : printers.printers.jobs.back()->pages) pages.push_back(p.texts);
    return pages;
  }
  std::vector<std::string> TextsAt(int x) {
    std::vector<std::string> texts;
    for (const auto& page : Pages())
      for (const TRecordedText& t : page)
        if (t.x == x) texts.push_back(t.text);
    return texts;
  }
  bool Printed(const std::string& text) {
    for (const auto& page : Pages())
      for (const TRecordedText& t : page)
        if (t.text == text) return true;
    return false;
  }

  TFakePrinterScope printers;
  TScopedRecorder ui;
  std::map<std::pair<int, std::string>, std::string> stored;
  int reads = 0;
  std::int64_t nowMs = 1000;
};

// ---------------------------------------------------------------------------------------
// Slots

TEST_F(ReceiptTest, EventChoosesItsTemplate) {
  EXPECT_EQ(TemplatesOfEvent(4), (TTemplateChoice{4, 3}));
  EXPECT_EQ(TemplatesOfEvent(5), (TTemplateChoice{3, 4}));
  EXPECT_EQ(TemplatesOfEvent(130), (TTemplateChoice{1, 0}));  // only the low 7 bits count

  const std::string issue = File("issue.rtf"), ret = File("return.rtf"), loss = File("loss.rtf"),
                    defect = File("defect.rtf"), cyl = File("cyl.rtf");
  struct TCase {
    const char* name;
    std::vector<std::string> files;  // slots 1..5
    std::vector<std::pair<int, std::string>> keyEvents;
    std::vector<std::pair<int, std::string>> cylinderEvents;
  } cases[] = {
      {"defect falls back to loss",
       {issue, ret, loss, "", cyl},
       {{2, issue}, {3, ret}, {4, loss}, {5, loss}, {6, ret}, {0, ""}, {1, ""}, {7, ""}, {130, issue}},
       {{4, cyl}, {5, cyl}, {2, ""}, {132, cyl}}},
      {"a deleted loss template falls back to defect",
       {"", "", prog.File("deleted.rtf"), defect, ""},
       {{5, defect}, {4, defect}, {6, ""}, {3, ""}, {2, ""}},
       {{4, ""}, {5, ""}}},
  };
  for (const TCase& c : cases) {
    for (int slot = 1; slot <= 5; ++slot) ASSERT_TRUE(SetTemplateFile(slot, c.files[slot - 1]));
    for (const auto& [event, file] : c.keyEvents)
      EXPECT_EQ(TemplateFileOfEvent(event), file) << c.name << ", event " << event;
    for (const auto& [event, file] : c.cylinderEvents)
      EXPECT_EQ(CylinderTemplateFile(event), file) << c.name << ", event " << event;
  }
  // The choice went into the data folder's settings.
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "FormTemplate4"), defect);
  EXPECT_FALSE(SetTemplateFile(6, issue));
}

// Older settings name a template as "ReceiptDoc" + n with "Use" = 1: moved to
// "FormTemplate" + n at the same level. Relative names are names in the program folder.
TEST_F(ReceiptTest, LoadingMovesOlderKeysAndResolvesNames) {
  WriteAllBytes(Prog() + "Tessaro.ini",
                "ReceiptDoc2Use=1\r\nReceiptDoc2=Formulare/R.rtf\r\nReceiptDoc4Use=0\r\n"
                "ReceiptDoc4=ignored.rtf\r\nFormTemplate1=Formulare/A.rtf\r\n"
                "FormTemplate3=/abs/c.rtf\r\nFormTemplate5=Vorlagen\\Z.rtf\r\n");
  LoadTextSettings(kSettingsProgramLevel);
  EXPECT_EQ(TemplateSlot(1), Prog() + "Formulare/A.rtf");
  EXPECT_EQ(TemplateSlot(2), Prog() + "Formulare/R.rtf");
  EXPECT_EQ(TemplateSlot(3), "/abs/c.rtf");
  EXPECT_EQ(TemplateSlot(4), "");
  EXPECT_EQ(TemplateSlot(5), Prog() + "Vorlagen/Z.rtf");
  const std::string ini = ReadAllBytes(Prog() + "Tessaro.ini");
  EXPECT_NE(ini.find("FormTemplate2=Formulare/R.rtf\r\n"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("ReceiptDoc2"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ReceiptDoc4=ignored.rtf"), std::string::npos) << ini;

  // The data folder's older keys move within the data folder.
  WriteAllBytes(data.Dir() + "Tessaro.ini", "ReceiptDoc1Use=1\r\nReceiptDoc1=/client/a.rtf\r\n");
  state.InvalidateCaches();
  LoadTextSettings(kSettingsDataLevel);
  EXPECT_EQ(TemplateSlot(1), "/client/a.rtf");
  EXPECT_EQ(ReadAllBytes(data.Dir() + "Tessaro.ini"), "FormTemplate1=/client/a.rtf\r\n");
}

// Each opening of a client's data starts from the program folder's slots, and the data
// folder's values replace them; the texts of the previous client are not kept for 11
// seconds either.
TEST_F(ReceiptTest, SlotsAndTextsFollowTheClient) {
  TTempDir other;
  const std::string clientA = data.Dir(), clientB = other.Dir();
  WriteAllBytes(Prog() + "Tessaro.ini", "FormTemplate1=Formulare/Standard.rtf\r\n");
  WriteAllBytes(clientA + "Tessaro.ini",
                "FormTemplate1=/a/issue.rtf\r\nFormTemplate2=/a/return.rtf\r\nReceiptText=Haftung A\r\n");
  LoadTextSettings(kSettingsProgramLevel);
  EXPECT_EQ(TemplateSlot(1), Prog() + "Formulare/Standard.rtf");

  LoadTextSettings(kSettingsDataLevel);  // client A
  EXPECT_EQ(TemplateSlot(1), "/a/issue.rtf");  // the data folder's choice wins
  EXPECT_EQ(TemplateSlot(2), "/a/return.rtf");
  EXPECT_EQ(ReceiptText(), "Haftung A");

  state.DataPath = clientB;  // client B: nothing of its own
  state.InvalidateCaches();
  LoadTextSettings(kSettingsDataLevel);
  EXPECT_EQ(TemplateSlot(1), Prog() + "Formulare/Standard.rtf");
  EXPECT_EQ(TemplateSlot(2), "");
  EXPECT_EQ(ReceiptText(), DefaultPrintText(TPrintText::Receipt));
}

// ---------------------------------------------------------------------------------------
// Print texts

TEST_F(ReceiptTest, PrintTextsByLevelWithDefaults) {
  TextsFrom({{{1, "ReceiptText"}, "Daten<br>ordner"},
             {{0, "ReceiptText"}, ""},
             {{1, "LendControlText1"}, "oben"},
             {{0, "LendControlText1"}, "Programm<BR>oben"},
             {{1, "LendControlText2"}, "\xA0"},
             {{0, "PadText"}, "\xA0"}});
  EXPECT_EQ(ReceiptText(), "Daten<br>ordner");
  EXPECT_EQ(LendControlText1(), "Programm<BR>oben");  // the program folder's value wins
  EXPECT_EQ(LendControlText2(), "");                  // stored empty stays empty
  EXPECT_EQ(PadText(), "");
  EXPECT_EQ(StoredTextToMemo("Daten<br>ordner<Br>x"), "Daten\r\nordner\r\nx");
  EXPECT_EQ(StoredTextToMemo("\xA0"), "");

  stored.clear();
  nowMs += 11000;
  EXPECT_EQ(ReceiptText(), DefaultPrintText(TPrintText::Receipt));
  EXPECT_EQ(DefaultPrintText(TPrintText::Receipt),
            "Der Empf\xE4nger haftet f\xFCr verlorene Schl\xFCssel und daraus entstehende Sch\xE4" "den.");
  EXPECT_EQ(PadText().rfind("Tessaro Schl\xFCsselverwaltung<br><br>\xDC" "bergabe", 0), 0u);
  EXPECT_NE(PadText().find("<br>#Signature#<br>Ihre Unterschrift"), std::string::npos);
  EXPECT_EQ(LendControlText1().substr(0, 38), "#Person:Name#<br>#Person:Dept#<br><br>");
}

// Two uses within 10 seconds read the settings once; 11 seconds later they are read again.
TEST_F(ReceiptTest, TextsAreReadAtMostEvery11Seconds) {
  TextsFrom({{{1, "PadText"}, "eins"}});
  EXPECT_EQ(PadText(), "eins");
  const int once = reads;
  EXPECT_EQ(once, 8);  // four texts, two levels
  stored[{1, "PadText"}] = "zwei";
  nowMs += 10000;
  EXPECT_EQ(PadText(), "eins");
  EXPECT_EQ(ReceiptText(), DefaultPrintText(TPrintText::Receipt));
  EXPECT_EQ(reads, once);
  nowMs += 1000;
  EXPECT_EQ(PadText(), "zwei");
  EXPECT_EQ(reads, 2 * once);
}

TEST(PrintTexts, MemoToStoredText) {
  struct TCase {
    std::string memo, stored;
  } cases[] = {
      {"A\r\n\r\nB", "A<BR><BR>B"},
      {"A\n\rB", "A<BR>B"},
      {"A\n\r\n\rB", "A<BR><BR>B"},
      {"A\rB\nC", "A<BR>B<BR>C"},
      {"A\r\n\rB", "A<BR><BR>B"},
      {"  A  \r\n \r\n  ", "  A"},
      {"A \r\n B", "A <BR> B"},
      {"", "\xA0"},
      {" \r\n\n ", "\xA0"},
  };
  for (const TCase& c : cases) EXPECT_EQ(MemoToStoredText(c.memo), c.stored) << c.memo;
}

// ---------------------------------------------------------------------------------------
// The fill

TEST_F(ReceiptTest, KeyTemplateFill) {
  const int32_t building = store->Add(icBuilding, "Haus Nord");
  const int32_t door = store->Add(icDoor, "Z 101");
  store->Link(door, building);
  const int32_t key = store->Add(icKey, "S 7", 1, "3");
  db().SetField(key, "k603", "L-42");
  db().Commit();
  store->Link(key, door);
  const int32_t person = store->Add(icPerson, "Anna Muster");
  db().SetField(person, "Abt", "Einkauf");
  db().SetField(person, "Nr", "0815");
  db().SetField(person, "r", "Zeile eins\r\nZeile zwei");
  db().Commit();
  const int32_t cabinet = store->Add(icCabinet, "Schrank 1");

  TKeyReceipt r;
  r.event = 2;
  r.key = key;
  r.person = person;
  r.cabinet = cabinet;
  r.keyText = "S 7";
  r.system = "Anlage1";
  r.date = "01.02.2024";
  r.user = "Bea";
  r.notes1 = "#Person#";
  r.notes2 = "zwei";
  r.keyCount = "1";
  r.label = "K-1";
  r.deadline = "31.12.2024";
  TRecordingDoc doc;
  doc.text = "#Key# #Doors#";
  const std::vector<TTextReplacement> v = KeyTemplateValues(db(), r, doc);
  const std::vector<std::string> order = {
      "#Key#", "#Schluessel#", "#System#", "#Anlage#", "#Date#", "#Datum#", "#User#",
      "#Notes1#", "#Bemerkung1#", "#Notes2#", "#Bemerkung2#", "#Person#", "#PersonDept#",
      "#PersonNumber#", "#PersonNotes#", "#KeyCount#", "#KeyType#", "#LockNumber#",
      "#Cabinet#", "#Hook#", "#Subscriber#", "#ActionVerb#", "#SeqNumber#", "#Label#",
      "#Deadline#", "#Door#", "#Building#", "#Branch#", "#Doors#"};
  ASSERT_EQ(v.size(), order.size());
  std::map<std::string, TTextReplacement> byName;
  for (std::size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i].placeholder, order[i]);
    byName[v[i].placeholder] = v[i];
    const bool lines = order[i] == "#Key#" || order[i] == "#Schluessel#" || order[i] == "#Doors#";
    EXPECT_EQ(v[i].lines, lines) << order[i];
  }
  EXPECT_EQ(byName["#Person#"].value, "Anna Muster");
  EXPECT_EQ(byName["#PersonDept#"].value, "Einkauf");
  EXPECT_EQ(byName["#PersonNumber#"].value, "0815");
  EXPECT_EQ(byName["#PersonNotes#"].value, ItemRemarkLine(db(), person));
  EXPECT_EQ(byName["#PersonNotes#"].value.find('\r'), std::string::npos);
  EXPECT_EQ(byName["#Notes1#"].value, "#Person#");
  EXPECT_EQ(byName["#KeyType#"].value, KeyTypeLongName(3));
  EXPECT_EQ(byName["#LockNumber#"].value, "L-42");
  EXPECT_EQ(byName["#Cabinet#"].value, "Schrank 1");
  EXPECT_EQ(byName["#ActionVerb#"].value, "ausgegeben");
  EXPECT_EQ(byName["#SeqNumber#"].value, "______");
  EXPECT_EQ(byName["#Branch#"].value, "________");
  EXPECT_EQ(byName["#Door#"].value, "Z 101 (Haus Nord)");
  EXPECT_EQ(byName["#Doors#"].value, "Z 101 (Haus Nord)");
  EXPECT_EQ(byName["#Building#"].value, "Haus Nord");

  // A key without doors has no building; a branch and a number print as they are; several
  // keys, or a document without "#Doors#", leave "#Doors#" out.
  const int32_t settings = db().FindOrCreateSingleton(true);
  db().SetField(settings, "MandantBranch", "Filiale 3");
  db().SetField(settings, "MandantName", "Acme");
  db().Commit();
  r.key = store->Add(icKey, "leer");
  r.seqNumber = "0042";
  std::map<std::string, std::string> values;
  for (const TTextReplacement& t : KeyTemplateValues(db(), r, doc)) values[t.placeholder] = t.value;
  EXPECT_EQ(values["#Building#"], "-");
  EXPECT_EQ(values["#Door#"], "");
  EXPECT_EQ(values["#SeqNumber#"], "0042");
  EXPECT_EQ(values["#Branch#"], "Filiale 3");
  EXPECT_EQ(values["#Subscriber#"], "Acme");
  r.keyText = "S 7\rS 8";
  EXPECT_EQ(KeyTemplateValues(db(), r, doc).back().placeholder, "#Branch#");
  r.keyText = "S 7";
  doc.text = "#Key#";
  EXPECT_EQ(KeyTemplateValues(db(), r, doc).back().placeholder, "#Branch#");
}

TEST_F(ReceiptTest, DoorListOfAGeneralMasterKey) {
  SetKeySystemName(2, "Campus");
  const int32_t d1 = store->Add(icDoor, "Tor", 2);
  const int32_t d2 = store->Add(icDoor, "Archiv", 2);
  const int32_t ghs = store->Add(icKey, "GHS 1", 2, "5");
  const int32_t plain = store->Add(icKey, "S 1", 2, "1");
  store->Link(plain, d1);
  store->Link(plain, d2);
  EXPECT_EQ(KeyDoorList(db(), ghs), (std::vector<std::string>{"alle von Campus"}));
  EXPECT_EQ(KeyDoorList(db(), plain), (std::vector<std::string>{"Archiv", "Tor"}));
  EXPECT_TRUE(KeyDoorList(db(), 0).empty());
}

// The fill of a real document: one pass over the template's own text, so a value holding
// a placeholder prints as written; a line placeholder only at its first place.
TEST_F(ReceiptTest, TemplateFilledInOnePass) {
  const std::string file =
      File("t.rtf", "{\\rtf1 An: #Person# (#NOTES1#)\\par #Key#\\par #Key# #Door#/#Doors#\\par}");
  std::unique_ptr<TTextDoc> doc = OpenTextDoc(file);
  ASSERT_TRUE(doc);
  const int replaced = doc->ReplaceAll({{"#Key#", "S 1\rS 2", true},
                                        {"#Notes1#", "siehe #Person# und #Key#"},
                                        {"#Person#", "Anna"},
                                        {"#Door#", "T1"},
                                        {"#Doors#", "T1\r\nT2", true}});
  EXPECT_EQ(replaced, 5);
  const auto* rtf = dynamic_cast<TRTFDoc*>(doc.get());
  ASSERT_TRUE(rtf);
  EXPECT_EQ(FromQString(rtf->Document()->toPlainText()),
            "An: Anna (siehe #Person# und #Key#)\nS 1\nS 2\n#Key# T1/T1\nT2\n");
}

// ---------------------------------------------------------------------------------------
// Built-in pages (recording canvas: 10 pixels a character at 10 points, 24 a line; M = 80)

TEST_F(ReceiptTest, IssueReceiptKeysAndSuffixes) {
  const int32_t person = store->Add(icPerson, "Anna Muster");
  TKeyReceipt r;
  r.event = 2;
  r.person = person;
  r.date = "01.02.2024";
  r.user = "Bea";
  r.keyCount = "3";
  r.system = "Nord";

  r.keyText = "S 1";
  ASSERT_TRUE(PrintKeyReceipt(r));
  const int t = 80 + 12 * 10;
  std::vector<std::string> values = TextsAt(t);
  ASSERT_GE(values.size(), 4u);
  EXPECT_EQ(values[0], "S 1 (3 St\xFC" "ck)    Anlage: Nord");
  EXPECT_EQ(values[1], std::string(50, '_'));
  EXPECT_EQ(values[2], "01.02.2024      Schl\xFCsselwart/Bediener: Bea");
  EXPECT_EQ(values[3], "Anna Muster");
  EXPECT_TRUE(Printed("Quittung zur Schl\xFCsselausgabe"));
  EXPECT_TRUE(Printed("Bei R\xFC" "ckgabe des Schl\xFCssels:"));
  EXPECT_TRUE(Printed(PrintUnitText(6)));
  EXPECT_TRUE(Printed(DefaultPrintText(TPrintText::Receipt)));
  EXPECT_EQ(printers.printers.jobs.back()->title, "Tessaro Quittung");
  const auto pages = Pages();
  for (const TRecordedText& text : pages[0])
    if (text.text == "Quittung zur Schl\xFCsselausgabe") {
      EXPECT_EQ(text.font.name, "Arial");
      EXPECT_EQ(text.font.size, 16);
      EXPECT_TRUE(text.font.bold);
    }

  // Several keys: one per line at the value column, no count and no system.
  r.keyText = "S 1\rS 2\rS 3";
  ASSERT_TRUE(PrintKeyReceipt(r));
  values = TextsAt(t);
  EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + 4),
            (std::vector<std::string>{"S 1", "S 2", "S 3", std::string(50, '_')}));
}

// A bulk issue of 80 keys: two pages, every key on the signed receipt, the page total in
// every header.
TEST_F(ReceiptTest, EightyKeysGoOverTwoPages) {
  TKeyReceipt r;
  r.event = 2;
  r.date = "01.02.2024";
  for (int i = 1; i <= 80; ++i) r.keyText += (i > 1 ? "\r" : "") + ("Key " + std::to_string(i));
  ASSERT_TRUE(PrintKeyReceipt(r));
  ASSERT_EQ(Pages().size(), 2u);
  std::set<std::string> keys;
  for (const std::string& text : TextsAt(200))
    if (text.rfind("Key ", 0) == 0) keys.insert(text);
  EXPECT_EQ(keys.size(), 80u);
  EXPECT_TRUE(Printed(PrintUnitText(7)));
  EXPECT_TRUE(Printed(PrintUnitText(8)));
  int headers = 0;
  for (const auto& page : Pages())
    for (const TRecordedText& text : page)
      if (text.text.find("/2]") != std::string::npos) ++headers;
  EXPECT_EQ(headers, 2);
}

TEST_F(ReceiptTest, ReturnReceiptOneKeyPerLine) {
  TextsFrom({{{1, "ReceiptText"}, "\xA0"}});
  const int32_t person = store->Add(icPerson, "Otto Bote");
  TKeyReceipt r;
  r.event = 3;
  r.person = person;
  r.date = "02.02.2024";
  r.keyText = "S 1\rS 2";
  r.keyCount = "2";
  r.system = "Nord";
  ASSERT_TRUE(PrintKeyReceipt(r));
  const std::vector<std::string> values = TextsAt(80 + 14 * 10);
  ASSERT_GE(values.size(), 5u);
  EXPECT_EQ(values[0], "S 1");
  EXPECT_EQ(values[1], "S 2 (2 St\xFC" "ck)    Anlage: Nord");
  EXPECT_EQ(values[3], "02.02.2024");
  EXPECT_EQ(values[4], "Otto Bote");
  EXPECT_TRUE(Printed("R\xFC" "ckgabe-Quittung"));
  EXPECT_TRUE(Printed("\xDC" "berbringer:"));
  EXPECT_TRUE(Printed(PrintUnitText(13)));
  EXPECT_FALSE(Printed(DefaultPrintText(TPrintText::Receipt)));
}

// The issue receipt with an empty stored receipt text prints a blank paragraph, not the
// default.
TEST_F(ReceiptTest, EmptyReceiptTextStaysEmpty) {
  TextsFrom({{{1, "ReceiptText"}, "\xA0"}});
  TKeyReceipt r;
  r.event = 2;
  r.keyText = "S 1";
  ASSERT_TRUE(PrintKeyReceipt(r));
  EXPECT_FALSE(Printed(DefaultPrintText(TPrintText::Receipt)));
  EXPECT_TRUE(Printed("Bei R\xFC" "ckgabe des Schl\xFCssels:"));
}

// Events without a built-in page print nothing when no template is set.
TEST_F(ReceiptTest, NoTemplateNoPageForOtherEvents) {
  for (int event : {0, 1, 4, 5, 6}) {
    TKeyReceipt r;
    r.event = event;
    r.keyText = "S 1";
    EXPECT_FALSE(PrintKeyReceipt(r)) << event;
  }
  EXPECT_TRUE(printers.printers.jobs.empty());
  TCylinderReceipt c;
  c.event = 4;
  EXPECT_FALSE(PrintCylinderReceipt(c));
  EXPECT_EQ(ui.AllText(), PrintUnitText(14) + "\r");
}

// A template that exists but cannot be opened asks; Cancel prints nothing, Yes prints the
// built-in page. A template that opens prints on the chosen printer while it is listed,
// else on the default one.
TEST_F(ReceiptTest, TemplatePrintAndFallback) {
  SetWordProcessorProgram("");
  const std::string word = File("Ausgabe.doc", "not a word file");
  ASSERT_TRUE(SetTemplateFile(kSlotIssue, word));
  TKeyReceipt r;
  r.event = 2;
  r.keyText = "S 1";
  EXPECT_FALSE(PrintKeyReceipt(r));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], PrintUnitText(15) + "\r" + word + "\r\r" + PrintUnitText(16));
  EXPECT_TRUE(printers.printers.jobs.empty());
  ui.answers.push_back(mrYes);
  EXPECT_TRUE(PrintKeyReceipt(r));
  EXPECT_EQ(printers.printers.jobs.size(), 1u);
  SetWordProcessorProgram("", true);

  ASSERT_TRUE(SetTemplateFile(kSlotIssue, File("Ausgabe.rtf", "{\\rtf1 Schl\\'fcssel: #Key#\\par}")));
  PrintSettings().printerName = "Lager";
  EXPECT_TRUE(PrintKeyReceipt(r));
  EXPECT_GT(ReadAllBytes(printers.printers.PdfOf("Lager")).size(), 0u);
  PrintSettings().printerName = "Weg";
  EXPECT_TRUE(PrintKeyReceipt(r));
  EXPECT_GT(ReadAllBytes(printers.printers.PdfOf("Empfang")).size(), 0u);
  EXPECT_EQ(printers.printers.jobs.size(), 1u);  // no built-in page meanwhile
}

// With the preview on, the receipt is shown in the program's preview first and printed only
// when the user prints from it, on the printer chosen there; the flag unticked there is
// stored for the user and the next receipt goes without the preview.
TEST_F(ReceiptTest, PreviewBeforePrinting) {
  std::vector<bool> stored;
  SetPreviewFlagStore([&stored](bool on) { stored.push_back(on); });
  PrintSettings().preview = true;
  TKeyReceipt r;
  r.event = 2;
  r.keyText = "S 1";
  for (bool print : {false, true}) {
    int pages = -1;
    QueueDialogDriver([&](QDialog& dialog) {
      auto* form = dynamic_cast<TPrintPreviewForm*>(&dialog);
      ASSERT_NE(form, nullptr) << dialog.objectName().toStdString();
      pages = form->PageCount();
      if (!print) {
        form->CloseBtn->click();
        return;
      }
      form->PreviewCheckBox->setChecked(false);
      form->PrintersCombo->setCurrentIndex(1);
      form->PrintBtn->click();
    });
    EXPECT_TRUE(PrintKeyReceipt(r));
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(printers.printers.jobs.size(), print ? 1u : 0u);
  }
  EXPECT_EQ(printers.printers.requests.back().printer, "Lager");
  EXPECT_TRUE(Printed(PrintUnitText(7)));
  EXPECT_EQ(stored, std::vector<bool>{false});
  EXPECT_FALSE(PrintSettings().preview);
  EXPECT_TRUE(PrintKeyReceipt(r));  // no dialog queued: none may show
  EXPECT_EQ(printers.printers.jobs.size(), 2u);
  SetPreviewFlagStore(nullptr);
}

// ---------------------------------------------------------------------------------------
// The stock-control sheet

TEST_F(ReceiptTest, SheetPrintsEveryColumnOfTheTable) {
  const int32_t person = store->Add(icPerson, "Anna Muster");
  db().SetField(person, "Abt", "Einkauf");
  db().Commit();
  for (int columns : {3, 9}) {
    std::string header, row;
    for (int c = 1; c <= columns; ++c) {
      header += (c > 1 ? "\t" : "") + ("H" + std::to_string(c));
      row += (c > 1 ? "\t" : "") + ("v" + std::to_string(c));
    }
    const std::string file = prog.File("sheet" + std::to_string(columns) + ".txt");
    WriteAllBytes(file, header + "\r\n" + row + "\r\n");
    ASSERT_TRUE(PrintPersonSheet(person, file, false));
    std::set<std::string> seen;
    for (const auto& page : Pages())
      for (const TRecordedText& t : page) seen.insert(t.text);
    for (int c = 1; c <= columns; ++c) {
      EXPECT_TRUE(seen.count("H" + std::to_string(c))) << columns << " " << c;
      EXPECT_TRUE(seen.count("v" + std::to_string(c))) << columns << " " << c;
    }
    // "#Person:Name#<br>#Person:Dept#" of the top text: the name without the list's context.
    EXPECT_TRUE(seen.count("Anna Muster")) << columns;
    EXPECT_TRUE(seen.count("Einkauf")) << columns;
    EXPECT_EQ(printers.printers.jobs.back()->title, "Tessaro Bestandskontrolle");
  }
  const std::size_t jobs = printers.printers.jobs.size();
  EXPECT_FALSE(PrintPersonSheet(person, prog.File("missing.txt"), false));
  EXPECT_EQ(printers.printers.jobs.size(), jobs);
}

// A bottom text longer than a page goes on over the next pages, every line printed.
TEST_F(ReceiptTest, LongBottomTextContinuesOnNextPage) {
  std::string bottom;
  for (int i = 1; i <= 90; ++i) bottom += (i > 1 ? "<br>" : "") + ("Zeile " + std::to_string(i));
  TextsFrom({{{1, "LendControlText2"}, bottom}});
  const std::string file = prog.File("sheet.txt");
  WriteAllBytes(file, "Schl\xFCssel\tAnzahl\r\nS 1\t1\r\n");
  ASSERT_TRUE(PrintPersonSheet(0, file, false));
  std::set<std::string> lines;
  for (const auto& page : Pages())
    for (const TRecordedText& t : page)
      if (t.text.rfind("Zeile ", 0) == 0) lines.insert(t.text);
  EXPECT_EQ(lines.size(), 90u);
  EXPECT_GE(Pages().size(), 3u);
}

// The sheet of a person's holdings with the client's column choice.
TEST_F(ReceiptTest, LendControlSheetOfAPerson) {
  const int32_t person = store->Add(icPerson, "Anna Muster");
  const int32_t settings = db().FindOrCreateSingleton(true);
  db().SetField(settings, "PrtFieldsLendCtrl", BuildPrintFieldList({1, 9, 3}));
  db().Commit();
  ASSERT_TRUE(PrintLendControlSheet(person, false));
  std::set<std::string> seen;
  for (const auto& page : Pages())
    for (const TRecordedText& t : page) seen.insert(t.text);
  EXPECT_TRUE(seen.count(KeyCaption()));
  EXPECT_TRUE(seen.count(CoreText(120)));
  EXPECT_TRUE(seen.count(CoreText(1)));
  EXPECT_FALSE(seen.count(CoreText(6)));
}

TEST_F(ReceiptTest, AskPrintFormByUserSettingAndRun) {
  struct TCase {
    int dialog;
    bool chosen;
    bool ask;
  } cases[] = {{0, false, false}, {0, true, false}, {1, false, true},
               {1, true, false},  {2, false, true}, {2, true, true}};
  for (const TCase& c : cases) {
    PrintSettings().printerDialog = c.dialog;
    PrintSettings().printerChosenInRun = c.chosen;
    EXPECT_EQ(AskPrintForm(), c.ask) << c.dialog << c.chosen;
  }
}

// The locker-key receipt: the identifier as key and label, count "1", the user and date.
TEST_F(ReceiptTest, LockerReceipt) {
  const int32_t person = store->Add(icPerson, "Anna Muster");
  ASSERT_TRUE(PrintLockerReceipt(2, person, "Bea", EncodeDateTime(2024, 2, 1, 10, 30), "1", "0815"));
  const std::vector<std::string> values = TextsAt(200);
  ASSERT_GE(values.size(), 4u);
  EXPECT_EQ(values[0], "0815");
  EXPECT_EQ(values[2], PackedDateToStr(PackDate(2024, 2, 1)) + "      Schl\xFCsselwart/Bediener: Bea");
  EXPECT_EQ(values[3], "Anna Muster");
}

}  // namespace

namespace {

// The templates that ship beside the program open, and every placeholder in them is one
// the fill knows: nothing between "#" signs is left after a receipt of one key.
TEST_F(ReceiptTest, ShippedTemplatesFillCompletely) {
  const std::string folder = std::string(TESSARO_RESOURCE_DIR) + "/Formulare/";
  const int32_t key = store->Add(icKey, "S 1", 1, "1");
  const int32_t person = store->Add(icPerson, "Anna Muster");
  struct TCase {
    const char* file;
    bool cylinder;
  } cases[] = {{"Formular1 Ausgabe.rtf", false},
               {"Formular2 Rueckgabe.rtf", false},
               {"Formular3 Verlust, Vernichtung.rtf", false},
               {"Formular5 Zylinder Verlust, Vernichtung.rtf", true}};
  for (const TCase& c : cases) {
    std::unique_ptr<TTextDoc> doc = OpenTextDoc(folder + c.file);
    ASSERT_TRUE(doc) << c.file;
    const auto* rtf = dynamic_cast<TRTFDoc*>(doc.get());
    ASSERT_TRUE(rtf);
    const std::string before = FromQString(rtf->Document()->toPlainText());
    EXPECT_NE(before.find('#'), std::string::npos) << c.file;
    if (c.cylinder) {
      TCylinderReceipt r;
      r.event = 5;
      r.cylinder = store->Add(icCylinder, "Z 1");
      doc->ReplaceAll(CylinderTemplateValues(db(), r));
    } else {
      TKeyReceipt r;
      r.event = 2;
      r.key = key;
      r.person = person;
      r.keyText = "S 1";
      doc->ReplaceAll(KeyTemplateValues(db(), r, *doc));
    }
    const std::string after = FromQString(rtf->Document()->toPlainText());
    EXPECT_EQ(after.find('#'), std::string::npos) << c.file << ":\n" << after;
  }
}

}  // namespace
