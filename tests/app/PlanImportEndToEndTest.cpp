// The spreadsheet locking-plan import as a user meets it, in a process of its own: logged
// in, the plan dialog opened from the menu, a plan file opened, its areas recognised and
// pictured, the options shown, the import run. Afterwards the store holds the plan's doors,
// cylinders, keys and groups with their links, read back by another store.
#include <filesystem>
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "data/IniUnit.h"
#include "data/LockingRelations.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, LockingPlanImport) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t user = 0, house = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    user = maker.User("Anna", "Secret");
    house = maker.db.NewNamedRecord(icBuilding, "Haus Nord", "");
    maker.db.Commit();
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  ASSERT_EQ(PfMakeFolders(env.Prog() + "System/"), 0);
  std::filesystem::copy_file(std::string(TESSARO_RESOURCE_DIR) + "/System/LockingPlan.lng",
                             env.Prog() + "System/LockingPlan.lng");
  // The plan as a locksmith's spreadsheet program writes it as text: the key table above,
  // the doors below, a cross where a key locks a cylinder.
  const std::string plan = env.dir.Dir() + "Plan.txt";
  std::string text = "\t\t\t\t\tGruppenschl\xFCssel\tGS 1\tGS 2\tHS\r\n"
                     "\t\t\t\t\tSchl\xFCssel-Typ\tGS\tGS\tGHS\r\n"
                     "\t\t\t\t\tAnzahl\t2\t3\t1\r\n"
                     "Pos.\tGeb\xE4ude\tT\xFCr\tSchlie\xDFung\tZylinder-Anzahl\r\n";
  for (int i = 1; i <= 10; ++i) {
    const std::string n = std::to_string(i);
    text += n + "\tHaus Nord\tRaum " + n + "\tS" + n + "\t1\t\t" + (i <= 5 ? "x" : "") + "\t" +
            (i > 5 ? "x" : "") + "\tx\r\n";
  }
  WriteAllBytes(plan, text);
  const std::string shots = env.dir.Dir() + "shots/";
  ASSERT_EQ(PfMakeFolders(shots), 0);

  const std::string shotFolder = AutomationShotsFolder(shots);
  const TAutomatedRun run = RunAutomatedProgram(env,
                                                {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                 {"TESSARO_AUTOMATION_USER", "Anna"},
                                                 {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                 {"TESSARO_AUTOMATION_PLANIMPORT", plan},
                                                 {"TESSARO_AUTOMATION_SHOTS", shotFolder}},
                                                45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step :
       {"plan dialog shown", "plan recognised", "plan cell definition shown", "plan options shown",
        "plan import noted", "plan imported", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot :
       {"planimport-step1", "planimport-define", "planimport-step2", "planimport-done"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shotFolder + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  // What the user imported: ten doors in the building, ten cylinders, three group keys; the
  // first group key locks the first five cylinders, the general master key none (no group).
  TStoreMaker check(env.Data(), "Data-Acme");
  TItemList doors, cylinders, keys;
  check.db.ListClassValid(icDoor, doors);
  check.db.ListClassValid(icCylinder, cylinders);
  check.db.ListClassValid(icKey, keys);
  EXPECT_EQ(doors.Count(), 10);
  EXPECT_EQ(cylinders.Count(), 10);
  EXPECT_EQ(keys.Count(), 3);
  const int32_t door = check.db.FindByName("Raum 3", icDoor, 0);
  ASSERT_NE(door, 0);
  EXPECT_EQ(GetBuildingOf(check.db, door), house);
  const int32_t cyl = check.db.FindByName("S3", icCylinder, 0);
  ASSERT_NE(cyl, 0);
  EXPECT_TRUE(check.db.HasLink(door, icCylinder, cyl));
  const int32_t gs1 = check.db.FindByName("GS 1", icKey, 0);
  const int32_t group = check.db.FindByName("GS 1", icGroup, 0);
  ASSERT_TRUE(gs1 && group);
  EXPECT_EQ(check.db.ReadLineField(gs1, fkTotal), "2");
  EXPECT_TRUE(check.db.HasLink(group, icCylinder, cyl));
  const int32_t hs = check.db.FindByName("HS", icKey, 0);
  ASSERT_NE(hs, 0);
  EXPECT_EQ(check.db.ReadLineField(hs, fkKeyType), "5");
  EXPECT_EQ(check.db.ReadLinkCount(hs, icCylinder), 0);
  (void)user;
}

}  // namespace
