// The history in the real program, in a process of its own: a key booked out to a person,
// its history on the history page, the detailed change log opened from it, Ctrl+F to a hit
// and the picker of the history's search by name. Afterwards the files hold exactly what
// was there plus the login: viewing writes nothing.
#include <string>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "data/HistoryUnit.h"
#include "data/IniUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/TransferUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

std::string Output(const std::string& out, const std::string& start) {
  const size_t at = out.find(start);
  if (at == std::string::npos) return std::string();
  return out.substr(at, out.find('\n', at) - at);
}

TEST(HistoryEndToEnd, HistoryChangeLogSearchAndPicker) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  env.history.SetFolder(env.Data());
  env.history.SetPrefix(HistoryPrefixFor(client.Name));
  int32_t key = 0, person = 0;
  std::string copyName;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    TTimebackLog log(&maker.registry);
    log.SetupFor(&client);
    maker.db.TimebackLog = &log;
    maker.db.MonthlyCopy();
    const int32_t anna = maker.User("Anna", "Secret");
    log.CurrentUserID = [anna] { return anna; };
    env.history.SetUserText(HistoryObjectText(icUser, anna, "Anna"));
    key = maker.db.NewNamedRecord(icKey, "Tresor 1", "");
    const int32_t key2 = maker.db.NewNamedRecord(icKey, "Tresor 2", "");
    maker.db.SetField(key, fkStock, "2");
    maker.db.SetField(key, fkTotal, "2");
    person = maker.db.NewNamedRecord(icPerson, "Meier", "");
    ASSERT_TRUE(maker.db.Commit());
    HistoryNew(icKey, key, "Tresor 1", "2 / 2");
    HistoryNew(icKey, key2, "Tresor 2", "0 / 0");
    // The issue of one piece to the person, as the issue view books it.
    TTransferRecord issue;
    issue.Kind = tkIssue;
    issue.KeyId = key;
    issue.OldOwner = {okCabinet, 0};
    issue.NewOwner = {okPerson, person};
    issue.Quantity = 1;
    issue.Identifier = "7";
    ASSERT_EQ(BookTransfer(maker.db, issue), TTransferResult::Booked);
    maker.db.TimebackLog = nullptr;
    copyName = log.MonthFile(NowUTC());
  }
  env.history.SetUserText("");
  const std::string historyFile = env.history.FileNameOf(env.history.CurrentYear());
  const std::string historyBefore = ReadAllBytes(historyFile);
  const std::string copyBefore = ReadAllBytes(copyName);
  ASSERT_FALSE(copyBefore.empty());
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "0"));
  WriteAllBytes(env.Prog() + "Tessaro", "");

  const TAutomatedRun run = RunAutomatedProgram(env,
                                                {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                 {"TESSARO_AUTOMATION_USER", "Anna"},
                                                 {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                 {"TESSARO_AUTOMATION_HISTORY", "Tresor 1"},
                                                 {"TESSARO_AUTOMATION_SEARCH", "mei"}},
                                                60000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;

  EXPECT_EQ(Output(out, "history of "),
            "history of " + ClassCaption(icKey, false) + " Tresor 1 rows 2 page 10")
      << out;
  EXPECT_NE(out.find("history row ["), std::string::npos);
  // The issue: its action, the person, the identifier, the stock after it, the user.
  const std::string issueRow = out.substr(out.find(TransferActionName(2)) - 40, 200);
  EXPECT_NE(issueRow.find("[7] [Meier] [1 / 2]"), std::string::npos) << out;
  EXPECT_NE(issueRow.find("[Anna]"), std::string::npos) << out;
  // The change log of the key: created with its name, its counts, the issue with the old
  // stock below it.
  EXPECT_EQ(Output(out, "changelog of "), "changelog of " + std::to_string(key) + " rows 4") << out;
  EXPECT_NE(out.find("[ Tresor 1]"), std::string::npos) << out;
  EXPECT_NE(out.find("[Ausgabe/R\xFC"
                     "cknahme] []"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("changelog row [] [] [] [] [ bisher] [ 2]"), std::string::npos) << out;
  EXPECT_NE(out.find("seek shortcut Ctrl+F"), std::string::npos) << out;
  EXPECT_NE(out.find("search hits 1"), std::string::npos) << out;
  EXPECT_NE(out.find("search chose Meier"), std::string::npos) << out;
  EXPECT_NE(out.find("picker rows 2"), std::string::npos) << out;
  EXPECT_NE(out.find("history of all keys rows 3 id 0"), std::string::npos) << out;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  EXPECT_NE(out.find("undriven dialogs 0"), std::string::npos) << out << err;

  // Viewing wrote nothing: the history gained the login only, the month's copy and the
  // store's records are as they were.
  const std::string historyAfter = ReadAllBytes(historyFile);
  ASSERT_EQ(historyAfter.compare(0, historyBefore.size(), historyBefore), 0);
  const std::string added = historyAfter.substr(historyBefore.size());
  EXPECT_EQ(added.rfind("a=Login", 0), 0u) << added;
  EXPECT_EQ(added.find("\r\n"), added.size() - 2) << added;
  EXPECT_EQ(ReadAllBytes(copyName), copyBefore);
  TStoreMaker check(env.Data(), "Data-Acme");
  EXPECT_EQ(check.db.GetField(key, fkStock), "1");
  EXPECT_EQ(check.db.GetField(key, fkHolders).substr(0, 1 + std::to_string(person).size() + 2),
            "E" + std::to_string(person) + "=1");
}

}  // namespace
