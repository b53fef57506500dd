// Keys changing hands in the real program, in a process of its own: a person and two keys
// in a cabinet; both keys issued to the person (signed on our virtual pad, the receipt
// printed to PDF), the first returned (its receipt printed), the second reported lost
// (its receipt printed from the loss template). Afterwards the store, the history and the
// printed receipts (read back with pdftotext) hold exactly that.
// TESSARO_AUTOMATION_SHOTS (a folder): a picture of the page at each step.
#include <cstdio>
#include <string>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "basic/BasicsUnit.h"
#include "basic/DateClock.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "output/PadDriverUnit.h"
#include "output/PdfTextSupport.h"
#include "platform/RegistryStore.h"

#if !defined(TESSARO_AUTOMATED_PROGRAM) || !defined(TESSARO_PAD_DIR)
#error "the program with the test driver and the virtual pad are needed"
#endif

namespace {

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(TransferEndToEnd, IssueTwoKeysSignedWithReceiptReturnOneReportTheOtherLost) {
  if (!PdfToTextAvailable())
    GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  TLoginEnv env;
  const std::string receipts = env.dir.Dir() + "receipts/";
  PfMakeFolders(receipts);
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t erika = 0, cabinet = 0, tor = 0, tuer = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    const int32_t anna = maker.User("Anna", "Secret");
    // Printed straight to the printer, without asking for it first.
    maker.db.SetField(anna, "PrintPreview", "0");
    maker.db.SetField(anna, "PrinterDialog", "0");
    erika = maker.db.NewNamedRecord(icPerson, "Erika Muster", "");
    cabinet = maker.db.NewNamedRecord(icCabinet, "Schrank 1", "");
    tor = maker.db.NewNamedRecord(icKey, "Haupttor", "");
    tuer = maker.db.NewNamedRecord(icKey, "Werkstatt", "");
    for (int32_t key : {tor, tuer}) {
      maker.db.SetField(key, fkStock, "2");
      maker.db.SetField(key, fkTotal, "2");
      maker.db.AddLinkBoth(key, cabinet, icCabinet, icKey);
    }
    ASSERT_TRUE(maker.db.Commit());
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  // The receipts come from the shipped templates (issue, return, loss).
  const std::string forms = std::string(TESSARO_PROGRAM_DIR) + "/Formulare/";
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "FormTemplate1", forms + "Formular1 Ausgabe.rtf"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "FormTemplate2", forms + "Formular2 Rueckgabe.rtf"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "FormTemplate3",
                           forms + "Formular3 Verlust, Vernichtung.rtf"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "0"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  // The program finds our virtual pad where the pad's installation would name it.
  ASSERT_TRUE(
      TRegistryStore(env.registryRoot.UserRoot(), env.registryRoot.MachineRoot())
          .WriteString(TRegScope::Machine, kPadRegistryKey, kPadRegistryValue, TESSARO_PAD_DIR));

  const TAutomatedRun run = RunAutomatedProgram(
      env,
      {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
       {"TESSARO_AUTOMATION_USER", "Anna"},
       {"TESSARO_AUTOMATION_PASSWORD", "secret"},
       {"TESSARO_AUTOMATION_TRANSFER",
        std::to_string(erika) + "," + std::to_string(tor) + "," + std::to_string(tuer)},
       {"TESSARO_AUTOMATION_RECEIPTS", receipts}},
      60000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step : {"pad ready", "issue booked", "return booked", "loss receipt offered",
                           "loss booked", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  // Both keys' holdings carried the operation's receipt number and the same signature.
  std::string signature;
  for (int32_t key : {tor, tuer}) {
    const std::string said = "issued " + std::to_string(key) + " receipt 0001 signature ";
    const size_t at = out.find(said);
    ASSERT_NE(at, std::string::npos) << out;
    const std::string ref = out.substr(at + said.size(), out.find('\n', at) - at - said.size());
    EXPECT_FALSE(ref.empty()) << out;
    if (signature.empty()) signature = ref;
    EXPECT_EQ(ref, signature);
  }

  // The store: the returned key is back in stock, the lost one is held as lost.
  const std::string today = PackedDateToIsoStr(TodayPacked());
  {
    TStoreMaker check(env.Data(), "Data-Acme");
    EXPECT_EQ(check.db.GetField(tor, fkStock), "2");
    EXPECT_EQ(check.db.GetField(tor, fkTotal), "2");
    EXPECT_EQ(check.db.GetField(tor, fkHolders), "");
    EXPECT_EQ(check.db.GetField(tuer, fkStock), "1");
    EXPECT_EQ(check.db.GetField(tuer, fkTotal), "2");
    const THolderEntries held = LoadHolderRecs(check.db, tuer, false);
    ASSERT_EQ(held.size(), 1u) << check.db.GetField(tuer, fkHolders);
    EXPECT_EQ(held[0].Kind, okLost);
    EXPECT_EQ(held[0].HolderId, erika);
    EXPECT_EQ(held[0].Count, "1");
    EXPECT_EQ(held[0].FirstDate, today);
    EXPECT_EQ(held[0].ReceiptNo, "0003");
    const int32_t settings = check.db.FindOrCreateSingleton(false);
    EXPECT_EQ(check.db.GetField(settings, "FormSeqNo"), "3");
  }
  // The history: two issues, one return, one loss.
  std::string history;
  std::vector<TPfFolderEntry> entries;
  PfListFolder(env.Data(), entries);
  for (const TPfFolderEntry& e : entries)
    if (e.name.rfind("Log", 0) == 0 && e.name.size() > 4 &&
        e.name.substr(e.name.size() - 4) == ".alg")
      history += ReadAllBytes(env.Data() + e.name);
  EXPECT_EQ(Count(history, "a=Trans2"), 2) << history;
  EXPECT_EQ(Count(history, "a=Trans3"), 1) << history;
  EXPECT_EQ(Count(history, "a=Trans5"), 1) << history;

  // The receipts: one per operation, in order. The issue's names both keys and its number.
  const std::vector<std::string> pdfs = PdfFilesIn(receipts);
  ASSERT_EQ(pdfs.size(), 3u) << out;
  const std::string issue = PdfText(receipts + pdfs[0]);
  EXPECT_NE(issue.find("Haupttor"), std::string::npos) << issue;
  EXPECT_NE(issue.find("Werkstatt"), std::string::npos) << issue;
  EXPECT_NE(issue.find("0001"), std::string::npos) << issue;
  EXPECT_NE(issue.find("Erika Muster"), std::string::npos) << issue;
  const std::string back = PdfText(receipts + pdfs[1]);
  EXPECT_NE(back.find("Haupttor"), std::string::npos) << back;
  EXPECT_EQ(back.find("Werkstatt"), std::string::npos) << back;
  EXPECT_NE(back.find("0002"), std::string::npos) << back;
  const std::string lost = PdfText(receipts + pdfs[2]);
  EXPECT_NE(lost.find("Werkstatt"), std::string::npos) << lost;
  EXPECT_NE(lost.find("0003"), std::string::npos) << lost;
}

}  // namespace
