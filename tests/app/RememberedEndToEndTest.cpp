// The tool windows of the main window as a user meets them, in a process of its own: logged
// in, 100 sample doors generated, two keys remembered and issued from the remembered list to
// a person, the relations list, the navigation window to the doors page, the mass rename,
// every step of the guided tour, the info dialog, logged out. Afterwards the store holds the
// 100 doors, the two issues and the renamed person and nothing else new, and the history
// holds exactly those changes.
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(EndToEnd, RememberedRecordsRelationsNavigationRenameTourAndInfo) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t anna = 0, erika = 0, tor = 0, werkstatt = 0, door = 0, lastBefore = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    anna = maker.User("Anna", "Secret");
    maker.db.NewNamedRecord(icBuilding, "Haus Nord", "");
    erika = maker.db.NewNamedRecord(icPerson, "Erika Muster", "");
    const int32_t cabinet = maker.db.NewNamedRecord(icCabinet, "Schrank 1", "");
    tor = maker.db.NewNamedRecord(icKey, "Haupttor", "");
    werkstatt = maker.db.NewNamedRecord(icKey, "Werkstatt", "");
    maker.db.SetField(tor, fkStock, "2");
    maker.db.SetField(tor, fkTotal, "2");
    maker.db.SetField(werkstatt, fkStock, "1");
    maker.db.SetField(werkstatt, fkTotal, "1");
    for (int32_t key : {tor, werkstatt}) maker.db.AddLinkBoth(key, cabinet, icCabinet, icKey);
    door = maker.db.NewNamedRecord(icDoor, "Eingang", "");
    const int32_t cylinder = maker.db.NewNamedRecord(icCylinder, "Z-Eingang", "");
    maker.db.AddLinkBoth(door, cylinder, icCylinder, icDoor);
    maker.db.AddLinkBoth(tor, cylinder, icCylinder, icKey);
    ASSERT_TRUE(maker.db.Commit());
    lastBefore = maker.db.LastID;
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "0"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  const std::string shots = env.dir.Dir() + "shots/";
  ASSERT_EQ(PfMakeFolders(shots), 0);

  const std::string shotDir = AutomationShotsFolder(shots);
  const TAutomatedRun run = RunAutomatedProgram(
      env,
      {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
       {"TESSARO_AUTOMATION_USER", "Anna"},
       {"TESSARO_AUTOMATION_PASSWORD", "secret"},
       {"TESSARO_AUTOMATION_REMEMBERED",
        std::to_string(erika) + "," + std::to_string(tor) + "," + std::to_string(werkstatt)},
       {"TESSARO_AUTOMATION_SHOTS", shotDir}},
      90000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step :
       {"doors generated 100", "generator-done says: Es wurden 100 neue Datens", "remembered 2",
        "remembered keys issued", "relations of the first key 1", "navigated to doors",
        "rename-question says: Alle Datens", "person now Muster, Erika", "tour steps 14, ended",
        "info shown", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (int step = 0; step < 14; ++step)
    EXPECT_NE(out.find("tour step " + std::to_string(step) + ": "), std::string::npos) << step;
  std::vector<std::string> pictures = {
      "generator",       "generator-done",  "memform",    "remembered-issue", "remembered-issued",
      "relations",       "relations-doors", "navigation", "navigated",        "rename",
      "rename-question", "renamed",         "info"};
  for (int step = 0; step < 14; ++step) pictures.push_back("tour-" + std::to_string(step));
  for (const std::string& shot : pictures) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shotDir + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  TStoreMaker check(env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  // New: the 100 doors and nothing else.
  std::vector<int32_t> made;
  for (int32_t id = lastBefore + 1; id <= db.LastID; ++id)
    if (db.HasRecord(id) && db.GetClass(id) != clsSettings) made.push_back(id);
  ASSERT_EQ(made.size(), 100u) << db.LastID;
  for (size_t i = 0; i < made.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(db.GetClass(made[i]), icDoor);
    EXPECT_TRUE(db.IsValid(made[i]));
    EXPECT_EQ(db.GetName(made[i]), "T\xFCr " + std::to_string(i + 1));
    EXPECT_EQ(db.GetField(made[i], "romn"), std::to_string(i + 1));
    // Stored as every remark is: one line that reads back whole.
    EXPECT_EQ(db.GetField(made[i], "r"), "\"eine Bemerkung\"");
  }
  // Both keys issued once to the person.
  EXPECT_EQ(db.GetField(tor, fkStock), "1");
  EXPECT_EQ(db.GetField(werkstatt, fkStock), "0");
  for (int32_t key : {tor, werkstatt}) {
    EXPECT_EQ(db.GetField(key, fkTotal), key == tor ? "2" : "1");
    const THolderEntries held = LoadHolderRecs(db, key, false);
    ASSERT_EQ(held.size(), 1u) << db.GetField(key, fkHolders);
    EXPECT_EQ(held[0].Kind, okPerson);
    EXPECT_EQ(held[0].HolderId, erika);
    EXPECT_EQ(held[0].Count, "1");
  }
  // The person renamed; the pages shown were not changed, so nothing stored for the user.
  EXPECT_EQ(db.GetName(erika), "Muster, Erika");
  EXPECT_EQ(db.GetName(door), "Eingang");
  EXPECT_EQ(db.GetField(anna, "ViewTab"), "");

  // The history: the 100 new doors, the two issues, the rename; no other change.
  std::vector<TPfFolderEntry> entries;
  PfListFolder(env.Data(), entries);
  std::string history;
  for (const TPfFolderEntry& e : entries)
    if (e.name.rfind("Log", 0) == 0 && e.name.size() > 4 &&
        e.name.substr(e.name.size() - 4) == ".alg")
      history += ReadAllBytes(env.Data() + e.name);
  EXPECT_EQ(Count(history, "a=New"), 100) << history;
  EXPECT_EQ(Count(history, "a=Trans2"), 2) << history;
  EXPECT_EQ(Count(history, "a=Trans"), 2) << history;
  EXPECT_EQ(Count(history, "a=Ren"), 1) << history;
  EXPECT_NE(history.find("i=" + std::to_string(erika) + ";"), std::string::npos) << history;
  for (const char* other : {"a=Del", "a=Chg", "a=Edit"})
    EXPECT_EQ(Count(history, other), 0) << other << "\n" << history;
}

}  // namespace
