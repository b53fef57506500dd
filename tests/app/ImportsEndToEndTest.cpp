// The imports as a user meets them, in a process of its own: logged in, a key list opened
// in the keys import dialog and imported, a KWD plan imported through the menu with its
// change summary shown. Afterwards the store holds exactly the listed keys and the plan's
// records, and the client's journal folder the summary.
#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "data/IniUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

std::vector<int32_t> ValidOf(TMiniDB& db, int cls) {
  TItemList list;
  db.ListClassValid(cls, list);
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < list.Count(); ++i) ids.push_back(list.Get(i));
  return ids;
}

TEST(EndToEnd, KeyListAndKwdPlan) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    maker.User("Anna", "Secret");
    maker.db.Commit();
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  // The help page below the grid, as shipped.
  ASSERT_EQ(PfMakeFolders(env.Prog() + "Help/de/"), 0);
  for (const char* page : {"import-keys.html", "import-doors.html"})
    WriteAllBytes(env.Prog() + "Help/de/" + page,
                  ReadAllBytes(std::string(TESSARO_RESOURCE_DIR) + "/Help/de/" + page));
  // TESSARO_AUTOMATION_SHOTS (a folder) keeps the pictures for a look by eye.
  const char* keep = std::getenv("TESSARO_AUTOMATION_SHOTS");
  const std::string shots = keep ? std::string(keep) + "/" : env.dir.Dir() + "shots/";
  const std::string files = env.dir.Dir() + "files/";
  ASSERT_EQ(PfMakeFolders(shots), 0);
  ASSERT_EQ(PfMakeFolders(files), 0);
  WriteAllBytes(files + "keys.csv", "B\xFCro 1 (Anlage1);;Anlage1;GS;2;Flur<BR>links\r\n"
                                    "B\xFCro 2;zwei;Anlage1;ES;1\r\n"
                                    "Tresor\t\tAnlage2\tHS\t5\r\n");
  WriteAllBytes(files + "plan.kwd", "O;KWD;1\r\n"
                                    "L;;P-1\r\n"
                                    "CZ1;;1;;E\r\n"
                                    "DHaupteingang;;;;001;L=30/35;;;;;;2;;;;;Z1\r\n"
                                    "KSchl\xFC"
                                    "ssel A;;;;;;;;;;;3;;;;;Z1\r\n");

  const TAutomatedRun run = RunAutomatedProgram(env,
                                                {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                 {"TESSARO_AUTOMATION_USER", "Anna"},
                                                 {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                 {"TESSARO_AUTOMATION_IMPORTS", files},
                                                 {"TESSARO_AUTOMATION_SHOTS", shots}},
                                                45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step : {"key list shown", "help shown", "keys imported",
                           "door list dialog shown", "kwd summary shown", "logged out",
                           "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot : {"keys-import", "doors-import", "kwd-booking"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shots + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 300) << shot;
  }

  TStoreMaker check(env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  std::vector<std::string> keys;
  for (int32_t id : ValidOf(db, icKey))
    keys.push_back(db.GetName(id) + "|" + db.GetField(id, fkKeySystem) + "|" +
                   db.GetField(id, fkKeyType) + "|" + db.GetField(id, fkTotal));
  // The three listed keys (the system's name dropped from the first), and the plan's key in
  // the plan's own system, the first free of the names.
  EXPECT_EQ(keys, (std::vector<std::string>{"B\xFCro 1|1|2|2", "B\xFCro 2|1|1|1", "Tresor|2|4|5",
                                            "Schl\xFC"
                                            "ssel A|4|1|3"}));
  const std::vector<int32_t> cylinders = ValidOf(db, icCylinder);
  ASSERT_EQ(cylinders.size(), 1u);
  EXPECT_EQ(db.GetName(cylinders[0]), "Haupteingang");
  EXPECT_EQ(db.GetField(cylinders[0], fkLength), "30/35");
  EXPECT_EQ(db.GetField(cylinders[0], fkCylinderCount), "2");
  const std::vector<int32_t> doors = ValidOf(db, icDoor);
  ASSERT_EQ(doors.size(), 1u);
  EXPECT_TRUE(db.HasLink(doors[0], icCylinder, cylinders[0]));

  // The summary in the client's journal folder.
  std::vector<TPfFolderEntry> entries;
  ASSERT_EQ(PfListFolder(env.Data() + "ImportJournal-Acme/", entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  const std::string journal = ReadAllBytes(env.Data() + "ImportJournal-Acme/" + entries[0].name);
  EXPECT_EQ(journal.rfind("Typ\tPosition\tBezeichnung\tNeu\tBuchung\tGesamt\r\n", 0), 0u)
      << journal;
  EXPECT_NE(journal.find("Cyl\t001\tHaupteingang\t2\t+2\t2"), std::string::npos) << journal;
}

}  // namespace
