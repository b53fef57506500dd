// The groups and key cabinets views as a user meets them, each in a process of its own:
// logged in, a group made with a subgroup, a cylinder and a group key, renamed and deleted;
// a cabinet made with an allowed user, renamed and deleted, and a cabinet holding a key
// shown and kept. Afterwards the store holds exactly those records (deleted, unlinked), the
// records they touched are as before, and the history holds only the deletion.
#include <functional>
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

// One run of the program with the driver: the client "Acme GmbH" with the user Anna, the
// records `make` adds, the scenario's variable. What the run printed; the store's last ID
// before the run in `lastBefore`.
struct TRun {
  TLoginEnv env;
  std::string out, shots;
  int32_t lastBefore = 0;

  void Start(const std::function<std::string(TMiniDB&)>& make, const char* variable) {
    TMandantInfoRec client;
    client.Name = "Acme";
    client.Title = "Acme GmbH";
    ASSERT_TRUE(AddClient(client, 0));
    std::string value;
    {
      TStoreMaker maker(env.Data(), "Data-Acme");
      maker.User("Anna", "Secret");
      value = make(maker.db);
      maker.db.Commit();
      lastBefore = maker.db.LastID;
    }
    ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
    ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
    ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
    ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
    WriteAllBytes(env.Prog() + "Tessaro", "");
    shots = env.dir.Dir() + "shots/";
    ASSERT_EQ(PfMakeFolders(shots), 0);

    shots = AutomationShotsFolder(shots);
    const TAutomatedRun run = RunAutomatedProgram(env,
                                                  {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                   {"TESSARO_AUTOMATION_USER", "Anna"},
                                                   {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                   {variable, value},
                                                   {"TESSARO_AUTOMATION_SHOTS", shots}},
                                                  45000);
    ASSERT_TRUE(run.started);
    const bool finished = run.finished;
    out = run.out;
    const std::string& err = run.err;
    ASSERT_TRUE(finished) << out << err;
    EXPECT_EQ(run.exitCode, 0) << out << err;
    EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  }
  void ExpectSteps(const std::vector<const char*>& steps) const {
    for (const char* step : steps)
      EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out;
    EXPECT_NE(out.find("logged out"), std::string::npos) << out;
    EXPECT_NE(out.find("undriven dialogs 0"), std::string::npos) << out;
  }
  void ExpectShots(const std::vector<const char*>& names) const {
    for (const char* name : names) {
      QImage image;
      EXPECT_TRUE(image.load(QString::fromStdString(shots + name + ".png"))) << name;
      EXPECT_GT(image.width(), 100) << name;
    }
  }
  // The records the run made (the settings record aside).
  std::vector<int32_t> Made(TMiniDB& db) const {
    std::vector<int32_t> made;
    for (int32_t id = lastBefore + 1; id <= db.LastID; ++id)
      if (db.HasRecord(id) && db.GetClass(id) != clsSettings) made.push_back(id);
    return made;
  }
  std::string History() const {
    std::vector<TPfFolderEntry> entries;
    PfListFolder(env.Data(), entries);
    std::string history;
    for (const TPfFolderEntry& e : entries)
      if (e.name.rfind("Log", 0) == 0 && e.name.size() > 4 &&
          e.name.substr(e.name.size() - 4) == ".alg")
        history += ReadAllBytes(env.Data() + e.name);
    return history;
  }
  // Only the deletion of `id` of class `cls`: one "a=Del" line naming it, no other entry
  // but the logins and logouts.
  void ExpectOnlyDeletion(int32_t id, int cls) const {
    const std::string history = History();
    EXPECT_EQ(history.find("a=New"), std::string::npos) << history;
    EXPECT_EQ(history.find("a=Trans"), std::string::npos) << history;
    const size_t del = history.find("a=Del");
    ASSERT_NE(del, std::string::npos) << history;
    EXPECT_EQ(history.find("a=Del", del + 1), std::string::npos) << history;
    EXPECT_NE(history.find("o=c=" + std::to_string(cls) + ";i=" + std::to_string(id) + ";"),
              std::string::npos)
        << history;
  }
};

TEST(EndToEnd, Groups) {
  TRun run;
  int32_t subgroup = 0, cylinder = 0, key = 0;
  run.Start(
      [&](TMiniDB& db) {
        subgroup = db.NewNamedRecord(icGroup, "Gruppe Sued", "");
        cylinder = db.NewNamedRecord(icCylinder, "Z-1", "");
        key = db.NewNamedRecord(icKey, "S-1", "");
        for (int32_t id : {subgroup, cylinder, key}) db.SetField(id, fkKeySystem, "1");
        return std::to_string(subgroup) + "," + std::to_string(cylinder) + "," +
               std::to_string(key);
      },
      "TESSARO_AUTOMATION_GROUPS");
  run.ExpectSteps({"group links ticked", "group saved", "group links stored", "group renamed",
                   "group deleted"});
  run.ExpectShots({"groups-edit", "groups", "groups-deleted"});

  TStoreMaker check(run.env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  const std::vector<int32_t> made = run.Made(db);
  ASSERT_EQ(made.size(), 1u) << db.LastID;
  const int32_t group = made[0];
  EXPECT_EQ(db.GetClass(group), icGroup);
  EXPECT_FALSE(db.IsValid(group));
  EXPECT_EQ(db.GetName(group), "Gruppe Nord 2");
  EXPECT_EQ(db.GetField(group, fkKeySystem), "1");
  for (int kind : {int(icGroup), int(icCylinder), int(icKey)})
    EXPECT_EQ(db.GetLinkText(group, kind), "") << kind;
  for (int32_t id : {subgroup, cylinder, key}) {
    EXPECT_TRUE(db.IsValid(id)) << id;
    EXPECT_EQ(db.GetLinkText(id, icGroup), "") << id;
  }
  run.ExpectOnlyDeletion(group, icGroup);
}

TEST(EndToEnd, Cabinets) {
  TRun run;
  int32_t clerk = 0, full = 0, key = 0;
  run.Start(
      [&](TMiniDB& db) {
        clerk = db.NewNamedRecord(icUser, "Bert", "");
        full = db.NewNamedRecord(icCabinet, "Schrank West", "");
        key = db.NewNamedRecord(icKey, "W-1", "");
        db.AddLinkBoth(key, full, icCabinet, icKey);
        db.SetLinkValue(key, full, fkCabinetStock, "2");
        db.SetLinkValue(key, full, fkCabinetOwned, "3");
        return std::to_string(clerk) + "," + std::to_string(full);
      },
      "TESSARO_AUTOMATION_CABINETS");
  run.ExpectSteps({"user ticked", "cabinet saved", "user linked", "cabinet renamed", "keys shown",
                   "full cabinet kept", "cabinet deleted"});
  run.ExpectShots({"cabinets", "cabinet-keys"});

  TStoreMaker check(run.env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  const std::vector<int32_t> made = run.Made(db);
  ASSERT_EQ(made.size(), 1u) << db.LastID;
  const int32_t cabinet = made[0];
  EXPECT_EQ(db.GetClass(cabinet), icCabinet);
  EXPECT_FALSE(db.IsValid(cabinet));
  EXPECT_EQ(db.GetName(cabinet), "Schrank Ost 2");
  EXPECT_EQ(db.GetField(cabinet, "pan"), "12");
  EXPECT_EQ(db.GetField(cabinet, "col"), "4");
  EXPECT_EQ(db.GetField(cabinet, "row"), "3");
  EXPECT_EQ(db.GetLinkText(cabinet, icUser), "");
  EXPECT_EQ(db.GetLinkText(clerk, icCabinet), "");
  // The cabinet with the key as it was.
  EXPECT_TRUE(db.IsValid(full));
  EXPECT_EQ(db.GetName(full), "Schrank West");
  EXPECT_TRUE(db.HasLink(full, icKey, key));
  EXPECT_EQ(db.GetLinkValue(key, full, fkCabinetStock), "2");
  EXPECT_EQ(db.GetLinkValue(key, full, fkCabinetOwned), "3");
  run.ExpectOnlyDeletion(cabinet, icCabinet);
}

}  // namespace
