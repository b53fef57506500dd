// The cylinders view as a user meets it, in a process of its own: logged in, a cylinder made
// with a door and a group and a typed pinning, retired as lost, the retirement undone, the
// cylinder deleted. Afterwards the store holds exactly that cylinder (deleted, unlinked),
// the settings record the one receipt number drawn, the locksmith store the pinning, and
// the history only the deletion.
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "data/IniUnit.h"
#include "data/StockUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, Cylinders) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t door = 0, group = 0, lastBefore = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    maker.User("Anna", "Secret");
    door = maker.db.NewNamedRecord(icDoor, "Tor 1", "");
    group = maker.db.NewNamedRecord(icGroup, "Gruppe A", "");
    maker.db.SetField(group, fkKeySystem, "1");
    maker.db.Commit();
    lastBefore = maker.db.LastID;
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  const std::string shots = env.dir.Dir() + "shots/";
  ASSERT_EQ(PfMakeFolders(shots), 0);

  const TAutomatedRun run = RunAutomatedProgram(
      env,
      {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
       {"TESSARO_AUTOMATION_USER", "Anna"},
       {"TESSARO_AUTOMATION_PASSWORD", "secret"},
       {"TESSARO_AUTOMATION_CYLINDERS", std::to_string(door) + "," + std::to_string(group)},
       {"TESSARO_AUTOMATION_SHOTS", shots}},
      45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step : {"locksmith on", "links ticked", "pinning typed", "cylinder saved",
                           "cylinder retired", "holding shown", "retirement undone",
                           "cylinder deleted", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot : {"cylinders", "pinning", "retire", "retired"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shots + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  TStoreMaker check(env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  std::vector<int32_t> made;
  for (int32_t id = lastBefore + 1; id <= db.LastID; ++id)
    if (db.HasRecord(id) && db.GetClass(id) != clsSettings) made.push_back(id);
  ASSERT_EQ(made.size(), 1u) << db.LastID;
  const int32_t cylinder = made[0];
  EXPECT_EQ(db.GetClass(cylinder), icCylinder);
  EXPECT_FALSE(db.IsValid(cylinder));
  EXPECT_EQ(db.GetName(cylinder), "Z-7");
  EXPECT_EQ(db.GetField(cylinder, fkKeySystem), "1");
  EXPECT_EQ(db.GetField(cylinder, "pos"), "A3");
  EXPECT_EQ(db.GetField(cylinder, fkCylinderCount), "4");
  EXPECT_EQ(db.GetField(cylinder, fkHolders), "") << "the retirement was undone";
  for (int kind : {int(icDoor), int(icGroup)})
    EXPECT_EQ(db.GetLinkText(cylinder, kind), "") << kind;
  EXPECT_EQ(db.GetLinkText(door, icCylinder), "");
  EXPECT_EQ(db.GetLinkText(group, icCylinder), "");
  const int32_t settings = db.FindOrCreateSingleton(false);
  ASSERT_GT(settings, 0);
  EXPECT_EQ(db.GetField(settings, "FormSeqNo"), "1") << "one number, for the retirement";

  // The pinning in the locksmith store, as typed.
  TStoreMaker locksmith(env.Data(), "Locksmith");
  std::string pinning;
  for (int32_t id = 1; id <= locksmith.db.LastID; ++id)
    if (locksmith.db.HasRecord(id) && locksmith.db.GetField(id, "id1") == std::to_string(cylinder))
      pinning = locksmith.db.GetField(id, "cp");
  EXPECT_EQ(pinning, "\t55\t35;2;");

  // The history: only the deletion.
  std::vector<TPfFolderEntry> entries;
  PfListFolder(env.Data(), entries);
  std::string history;
  for (const TPfFolderEntry& e : entries)
    if (e.name.rfind("Log", 0) == 0 && e.name.size() > 4 &&
        e.name.substr(e.name.size() - 4) == ".alg")
      history += ReadAllBytes(env.Data() + e.name);
  EXPECT_EQ(history.find("a=New"), std::string::npos) << history;
  EXPECT_NE(history.find("a=Del"), std::string::npos) << history;
  EXPECT_NE(history.find("o=c=6;i=" + std::to_string(cylinder) + ";"), std::string::npos)
      << history;
}

}  // namespace
