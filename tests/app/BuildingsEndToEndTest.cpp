// The buildings and doors views as a user meets them, in a process of their own: logged in,
// a building made and renamed, a door made in it with a typed cylinder and a new category,
// edited, its floor plan added and shown, the door deleted and then the building. Afterwards
// the store holds exactly those records, fields and links, the plan file is in the data
// folder and the history holds each change of the building and the two deletions.
#include <cstdio>
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "app/PictureUnit.h"
#include "data/IniUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, BuildingsAndDoors) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t lastBefore = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    maker.User("Anna", "Secret");
    maker.db.Commit();
    lastBefore = maker.db.LastID;
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  // A daily backup without a question, as in the other run.
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  const std::string picture = env.dir.Dir() + "plan.png";
  {
    QImage plan(600, 400, QImage::Format_RGB888);
    plan.fill(Qt::white);
    for (int x = 0; x < plan.width(); ++x)
      for (int y : {20, 200, 380}) plan.setPixel(x, y, qRgb(0, 0, 0));
    ASSERT_TRUE(plan.save(QString::fromStdString(picture), "PNG"));
  }
  const std::string shots = env.dir.Dir() + "shots/";
  ASSERT_EQ(PfMakeFolders(shots), 0);

  const TAutomatedRun run = RunAutomatedProgram(env,
                                                {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                 {"TESSARO_AUTOMATION_USER", "Anna"},
                                                 {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                 {"TESSARO_AUTOMATION_PLAN", picture},
                                                 {"TESSARO_AUTOMATION_SHOTS", shots}},
                                                45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step : {"building saved", "building renamed", "door saved", "category set",
                           "door edited", "plan shown", "plan marked", "door deleted",
                           "building deleted", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot : {"buildings", "doors", "floorplan", "categories"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shots + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  // The store: exactly the building, the door, the cylinder and the category.
  TStoreMaker check(env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  std::vector<int32_t> made;
  for (int32_t id = lastBefore + 1; id <= db.LastID; ++id)
    if (db.HasRecord(id)) made.push_back(id);
  ASSERT_EQ(made.size(), 4u) << db.LastID;
  const int32_t building = made[0], door = made[1], cylinder = made[2], category = made[3];
  EXPECT_EQ(db.GetClass(building), icBuilding);
  EXPECT_FALSE(db.IsValid(building));
  EXPECT_EQ(db.GetName(building), "Haus Ost");
  EXPECT_EQ(db.GetField(building, "Adr"), "Ringstra\xDF"
                                          "e 5");
  EXPECT_EQ(db.GetLinkText(building, icDoor), "");
  EXPECT_EQ(db.GetClass(door), icDoor);
  EXPECT_FALSE(db.IsValid(door));
  EXPECT_EQ(db.GetName(door), "Haupteingang");
  EXPECT_EQ(db.GetField(door, "flr"), "EG");
  EXPECT_EQ(db.GetField(door, "romn"), "001");
  EXPECT_EQ(db.GetField(door, "rom"), "Foyer");
  for (const char* key : {"ks", "cyl", "len"}) EXPECT_EQ(db.GetField(door, key), "") << key;
  for (int kind : {int(icBuilding), int(icCylinder), int(icCategory)})
    EXPECT_EQ(db.GetLinkText(door, kind), "") << kind;
  EXPECT_EQ(db.GetClass(cylinder), icCylinder);
  EXPECT_TRUE(db.IsValid(cylinder));
  EXPECT_EQ(db.GetName(cylinder), "Z-1");
  EXPECT_EQ(db.GetField(cylinder, fkKeySystem), "1");
  EXPECT_EQ(db.GetField(cylinder, fkLength), "30/30");
  EXPECT_EQ(db.GetLinkText(cylinder, icDoor), "");
  EXPECT_EQ(db.GetClass(category), icCategory);
  EXPECT_EQ(db.GetName(category), "Fluchtweg");
  EXPECT_EQ(db.GetLinkText(category, icDoor), "");

  // The plan, as the loader shows it.
  // "Images/Floorplan/", the building in four hexadecimal digits, "-", "EG" in hexadecimal.
  char owner[16];
  std::snprintf(owner, sizeof owner, "%04X", static_cast<unsigned>(building));
  QImage plan;
  EXPECT_TRUE(LoadJpegFileToBitmap(env.Data() + "Images/Floorplan/" + owner + "-4547.jpg", plan));
  EXPECT_EQ(plan.width(), 600);

  // The history: the building made, renamed, deleted; the door's deletion; nothing else.
  std::vector<TPfFolderEntry> entries;
  PfListFolder(env.Data(), entries);
  std::string history;
  for (const TPfFolderEntry& e : entries)
    if (e.name.rfind("Log", 0) == 0 && e.name.size() > 4 &&
        e.name.substr(e.name.size() - 4) == ".alg")
      history += ReadAllBytes(env.Data() + e.name);
  auto count = [&history](const std::string& what) {
    int n = 0;
    for (size_t at = history.find(what); at != std::string::npos; at = history.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("a=New"), 1) << history;
  EXPECT_EQ(count("a=Ren"), 1) << history;
  EXPECT_EQ(count("a=Del"), 2) << history;
  // The lines name the records: the building's three and the door's deletion.
  EXPECT_EQ(count("o=c=2;i=" + std::to_string(building) + ";"), 3) << history;
  EXPECT_EQ(count("o=c=3;i=" + std::to_string(door) + ";"), 1) << history;
}

}  // namespace
