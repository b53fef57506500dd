// The locking plan as a user meets it, in a process of its own: logged in, F7, the position
// column switched on, a key searched with "Gehe zu" and opened in the keys view, logged out.
// Afterwards the user record holds the new column choice ("PlanView") and nothing else of
// the store changed.
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
#include "data/LockingPlanUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, LockingPlan) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t user = 0, key = 0, lastBefore = 0;
  std::vector<std::pair<int32_t, std::string>> records;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    user = maker.User("Anna", "Secret");
    TMiniDB& db = maker.db;
    auto add = [&db](int cls, const std::string& name, const std::string& type = "") {
      const int32_t id = db.NewNamedRecord(cls, name, "");
      db.SetField(id, fkKeySystem, "1");
      if (!type.empty()) db.SetField(id, "kt", type);
      return id;
    };
    std::vector<int32_t> cylinders;
    for (int i = 1; i <= 12; ++i) {
      const int32_t door = add(icDoor, "Tor " + std::to_string(i));
      const int32_t cylinder = add(icCylinder, "Z " + std::to_string(i));
      db.SetField(cylinder, "pos", std::to_string(i));
      db.AddLinkBoth(door, cylinder, icCylinder, icDoor);
      cylinders.push_back(cylinder);
    }
    db.SetField(cylinders[2], "k605", "Z");
    for (int k = 1; k <= 8; ++k) {
      const int32_t id = add(icKey, "Haupt " + std::to_string(k), k == 1 ? "5" : "4");
      db.SetField(id, "k603", "H" + std::to_string(k));
      for (size_t c = 0; c < cylinders.size(); ++c)
        if ((c + static_cast<size_t>(k)) % 3 == 0)
          db.AddLinkBoth(id, cylinders[c], icCylinder, icKey);
    }
    key = add(icKey, "Bereichsschl\xFCssel", "2");
    db.AddLinkBoth(key, cylinders[4], icCylinder, icKey);
    db.AddLinkBoth(key, cylinders[5], icCylinder, icKey);
    db.Commit();
    lastBefore = db.LastID;
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "0"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  // The pictures stay where TESSARO_AUTOMATION_SHOTS says, for a look by eye.
  const char* outer = std::getenv("TESSARO_AUTOMATION_SHOTS");
  const std::string shots = outer ? std::string(outer) + "/" : env.dir.Dir() + "shots/";
  ASSERT_EQ(PfMakeFolders(shots), 0);

  const TAutomatedRun run =
      RunAutomatedProgram(env,
                          {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                           {"TESSARO_AUTOMATION_USER", "Anna"},
                           {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                           {"TESSARO_AUTOMATION_LOCKINGPLAN", std::to_string(key) + ",Bereichs"},
                           {"TESSARO_AUTOMATION_SHOTS", shots}},
                          45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step :
       {"plan shown, 12 rows, 9 keys", "position column on", "key found in the plan",
        "key opened in its view", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot : {"plan", "plan-search", "plan-key", "plan-keys"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shots + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  // The column choice on the user: position and cylinder; no record made.
  TStoreMaker check(env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  EXPECT_EQ(db.GetField(user, kPlanViewField), "AC");
  for (int32_t id = lastBefore + 1; id <= db.LastID; ++id)
    EXPECT_TRUE(!db.HasRecord(id) || db.GetClass(id) == clsSettings) << id;
}

}  // namespace
