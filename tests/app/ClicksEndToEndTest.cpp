// The windows used as a hand uses them, in a process of their own: the client chosen by a
// double click, the login typed, then only mouse clicks at what the windows show and key
// clicks into their fields (tests/automation/ClicksScenario.h). In every record view a click
// on the second row, on the only row of a search and a double click must show the record
// clicked; the main road (a person and a key made, the key issued to the person on the pad
// with a receipt, then taken back) must leave exactly that in the store, the history and
// the receipts. TESSARO_AUTOMATION_SHOTS (a folder): a picture of each step.
#include <algorithm>
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "basic/BasicsUnit.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "output/PadDriverUnit.h"
#include "output/PdfTextSupport.h"
#include "platform/RegistryStore.h"

#if !defined(TESSARO_AUTOMATED_PROGRAM) || !defined(TESSARO_PAD_DIR)
#error "the program with the test driver and the virtual pad are needed"
#endif

namespace {

// The client "Acme GmbH" with the user Anna, who sees every page and prints without asking;
// `make` adds the records of the run.
struct TClicksRun {
  TLoginEnv env;
  std::string out, shots, receipts;

  void Start(const std::string& mode, const std::function<void(TMiniDB&)>& make) {
    TMandantInfoRec client;
    client.Name = "Acme";
    client.Title = "Acme GmbH";
    ASSERT_TRUE(AddClient(client, 0));
    {
      TStoreMaker maker(env.Data(), "Data-Acme");
      const int32_t anna = maker.User("Anna", "Secret");
      maker.db.SetField(anna, "ViewTab", "111111");
      maker.db.SetField(anna, "PrintPreview", "0");
      maker.db.SetField(anna, "PrinterDialog", "0");
      make(maker.db);
      ASSERT_TRUE(maker.db.Commit());
    }
    ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
    ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "0"));
    const std::string forms = std::string(TESSARO_PROGRAM_DIR) + "/Formulare/";
    ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "FormTemplate1", forms + "Formular1 Ausgabe.rtf"));
    ASSERT_TRUE(
        WriteSetting(kSettingsDataLevel, "FormTemplate2", forms + "Formular2 Rueckgabe.rtf"));
    WriteAllBytes(env.Prog() + "Tessaro", "");
    ASSERT_TRUE(
        TRegistryStore(env.registryRoot.UserRoot(), env.registryRoot.MachineRoot())
            .WriteString(TRegScope::Machine, kPadRegistryKey, kPadRegistryValue, TESSARO_PAD_DIR));
    shots = env.dir.Dir() + "shots/";
    receipts = env.dir.Dir() + "receipts/";
    ASSERT_EQ(PfMakeFolders(shots), 0);
    ASSERT_EQ(PfMakeFolders(receipts), 0);
    shots = AutomationShotsFolder(shots);

    const TAutomatedRun run = RunAutomatedProgram(env,
                                                  {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                   {"TESSARO_AUTOMATION_USER", "Anna"},
                                                   {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                   {"TESSARO_AUTOMATION_CLICKS", mode},
                                                   {"TESSARO_AUTOMATION_RECEIPTS", receipts},
                                                   {"TESSARO_AUTOMATION_SHOTS", shots}},
                                                  90000);
    ASSERT_TRUE(run.started);
    out = run.out;
    ASSERT_TRUE(run.finished) << out << run.err;
    EXPECT_EQ(run.exitCode, 0) << out << run.err;
    EXPECT_EQ(out.find("refused"), std::string::npos) << out;
    for (const char* step : {"logged in as Anna", "logged out", "undriven dialogs 0"})
      EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out;
  }
  void ExpectSaid(const std::string& line) const {
    EXPECT_NE(out.find(line + "\n"), std::string::npos) << line << "\n" << out;
  }
};

TEST(ClicksEndToEnd, EveryRecordViewShowsTheRowClickedSingleEntryAndDoubleClickToo) {
  // Three records of each view's class, named so that the list's order is the names'.
  struct TView {
    const char* name;
    int itemClass;
    std::vector<std::string> records;
  };
  const std::vector<TView> views = {{"keys", icKey, {"Garage", "Keller", "Tor"}},
                                    {"persons", icPerson, {"Albers", "Becker", "Conrad"}},
                                    {"users", icUser, {"Bodo", "Carla", "Dora"}},  // after Anna
                                    {"buildings", icBuilding, {"Nordbau", "Ostbau", "Westbau"}},
                                    {"doors", icDoor, {"Eingang", "Flur", "Halle"}},
                                    {"cylinders", icCylinder, {"Anker", "Bolzen", "Riegel"}},
                                    {"groups", icGroup, {"Technik", "Verwaltung", "Werkstatt"}},
                                    {"cabinets", icCabinet, {"Depot", "Kasten", "Tresor"}}};
  TClicksRun run;
  run.Start("views", [&](TMiniDB& db) {
    for (const TView& view : views)
      // Stored in reverse, so the list's order comes from its sort, not from the IDs.
      for (auto name = view.records.rbegin(); name != view.records.rend(); ++name) {
        const int32_t id = db.NewNamedRecord(view.itemClass, *name, "");
        if (view.itemClass == icUser) db.SetField(id, "pw", "x");
      }
  });
  for (const TView& view : views) {
    const std::string name = view.name;
    const bool users = view.itemClass == icUser;
    // The list's rows: the users' list starts with Anna.
    const std::string first = users ? "Anna" : view.records[0];
    const std::string second = users ? view.records[0] : view.records[1];
    const std::string third = users ? view.records[1] : view.records[2];
    run.ExpectSaid(name + " click shows " + second);
    run.ExpectSaid(name + " single shows " + third);
    run.ExpectSaid(name + " double shows " + first);
    QImage picture;
    EXPECT_TRUE(picture.load(QString::fromStdString(run.shots + "clicks-" + name + ".png")))
        << name;
  }
}

TEST(ClicksEndToEnd, TheMainRoadByHandIssuesAKeySignedWithAReceiptAndTakesItBack) {
  if (!PdfToTextAvailable())
    GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  TClicksRun run;
  int32_t other = 0, cabinet = 0;
  run.Start("road", [&](TMiniDB& db) {
    cabinet = db.NewNamedRecord(icCabinet, "Schrank 1", "");
    other = db.NewNamedRecord(icKey, "Altschluessel", "");
  });
  for (const char* step : {"person made", "key made", "key picked", "person picked",
                           "issue booked, receipt 0001", "holder shown", "return booked"})
    EXPECT_NE(run.out.find(step), std::string::npos) << step << "\n" << run.out;

  TStoreMaker check(run.env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  const int32_t person = db.FindByName("Erika Muster", icPerson, 0);
  const int32_t key = db.FindByName("Buero 12", icKey, 0);
  ASSERT_NE(person, 0);
  ASSERT_NE(key, 0);
  // Back in its cabinet, nobody holds it; the other key untouched.
  EXPECT_EQ(db.GetField(key, fkTotal), "2");
  EXPECT_EQ(db.GetField(key, fkHolders), "");
  EXPECT_TRUE(db.HasLink(key, icCabinet, cabinet));
  EXPECT_EQ(db.GetField(other, fkHolders), "");

  // One issue and one return in the history.
  std::string history;
  std::vector<TPfFolderEntry> entries;
  PfListFolder(run.env.Data(), entries);
  for (const TPfFolderEntry& e : entries)
    if (e.name.rfind("Log", 0) == 0 && e.name.size() > 4 &&
        e.name.substr(e.name.size() - 4) == ".alg")
      history += ReadAllBytes(run.env.Data() + e.name);
  auto count = [&](const std::string& part) {
    int n = 0;
    for (size_t at = history.find(part); at != std::string::npos; at = history.find(part, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("a=Trans2"), 1) << history;
  EXPECT_EQ(count("a=Trans3"), 1) << history;

  // The receipts: the issue's names the key, the person and its number; then the return's.
  // Printed through the program's own "PDF-Datei" into the files named in its question.
  const std::vector<std::string> pdfs = PdfFilesIn(run.receipts);
  ASSERT_EQ(pdfs, (std::vector<std::string>{"issue.pdf", "return.pdf"})) << run.out;
  const std::string issue = PdfText(run.receipts + pdfs[0]);
  EXPECT_NE(issue.find("Buero 12"), std::string::npos) << issue;
  EXPECT_NE(issue.find("Erika Muster"), std::string::npos) << issue;
  EXPECT_NE(issue.find("0001"), std::string::npos) << issue;
  const std::string back = PdfText(run.receipts + pdfs[1]);
  EXPECT_NE(back.find("Buero 12"), std::string::npos) << back;
  EXPECT_NE(back.find("0002"), std::string::npos) << back;
}

}  // namespace
