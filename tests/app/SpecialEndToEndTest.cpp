// The special functions as a user meets them, in a process of its own: logged in, the
// settings dialog's last page, the special functions opened from it, the group-key
// automation run, locking system 3 moved to 5 with the locking-system tool, the cabinet tool
// and the choice of a locking system looked at and closed. Afterwards the store holds
// exactly those changes and nothing else.
#include <filesystem>
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "LoginTestSupport.h"
#include "data/IniUnit.h"
#include "data/StockUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, SpecialFunctions) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t user = 0, key = 0, other = 0, group = 0, door = 0, cabinet = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    user = maker.User("Anna", "Secret");
    ASSERT_TRUE(maker.db.SetHeaderValue(kKeySystemNamesHeader, "A1,A2,Nord,Ost,S\xFC" "d"));
    key = maker.db.NewNamedRecord(icKey, "S 1", "");
    other = maker.db.NewNamedRecord(icKey, "S 2", "");
    group = maker.db.NewNamedRecord(icGroup, "Gruppe A", "");
    door = maker.db.NewNamedRecord(icDoor, "Tor 1", "");
    cabinet = maker.db.NewNamedRecord(icCabinet, "Schrank", "");
    for (int32_t id : {key, group, door}) maker.db.SetField(id, fkKeySystem, "3");
    maker.db.SetField(other, fkKeySystem, "4");
    maker.db.AddLinkBoth(key, group, icGroup, icKey);
    maker.db.Commit();
  }
  const std::string before = env.dir.Dir() + "before/";
  ASSERT_EQ(PfMakeFolders(before), 0);
  std::filesystem::copy_file(env.Data() + "Data-Acme.ada", before + "Data-Acme.ada");
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  const std::string shots = env.dir.Dir() + "shots/";
  ASSERT_EQ(PfMakeFolders(shots), 0);

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("TESSARO_INSTANCE_DIR", QString::fromStdString(env.dir.Dir()));
  environment.insert("TESSARO_AUTOMATION_CLIENT", "Acme GmbH");
  environment.insert("TESSARO_AUTOMATION_USER", "Anna");
  environment.insert("TESSARO_AUTOMATION_PASSWORD", "secret");
  environment.insert("TESSARO_AUTOMATION_SPECIAL", "1");
  if (!qEnvironmentVariableIsSet("TESSARO_AUTOMATION_SHOTS"))
    environment.insert("TESSARO_AUTOMATION_SHOTS", QString::fromStdString(shots));
  const std::string shotFolder =
      environment.value("TESSARO_AUTOMATION_SHOTS").toStdString() + "/";
  program.setProcessEnvironment(environment);
  program.start(TESSARO_AUTOMATED_PROGRAM,
                {QString::fromStdString("ActAsOriginExe:" + env.Prog() + "Tessaro")});
  ASSERT_TRUE(program.waitForStarted(10000));
  const bool finished = program.waitForFinished(45000);
  if (!finished) program.kill();
  const std::string out = program.readAllStandardOutput().toStdString();
  const std::string err = program.readAllStandardError().toStdString();
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(program.exitCode(), 0) << out << err;
  for (const char* step : {"settings shown", "special functions shown", "group keys set",
                           "systems chosen", "system moved", "cabinet tool shown",
                           "system choice shown", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot : {"settings-other", "special", "special-result", "special-assign",
                           "kstool", "kstool-result", "cabtool", "kssel"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shotFolder + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  // What the user did, applied by hand to the store as it was before: the same records.
  TStoreMaker expected(before, "Data-Acme");
  expected.db.SetField(key, fkKeyType, "2");
  for (int32_t id : {key, group, door}) expected.db.SetField(id, fkKeySystem, "5");
  TStoreMaker check(env.Data(), "Data-Acme");
  ASSERT_EQ(check.db.LastID, expected.db.LastID);
  for (int32_t id = 1; id <= check.db.LastID; ++id) {
    // The login writes the user's own values; the settings record is the program's.
    if (id == user || check.db.GetClass(id) == clsSettings) continue;
    EXPECT_EQ(check.db.GetRecordText(id), expected.db.GetRecordText(id)) << id;
  }
  EXPECT_EQ(check.db.ReadLineField(other, fkKeySystem), "4");
  EXPECT_EQ(check.db.GetLinkText(cabinet, icKey), "");
}

}  // namespace
