// The settings and the exports as a user meets them, in a process of their own: each
// settings page pictured, the client data and a locking-system name changed, web links off;
// the three list exports, the screenshot and the database export, the last two handed to a
// stand-in mail program. Afterwards the files hold exactly what was chosen.
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "basic/ValueString.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"
#include "data/StockUnit.h"
#include "data/StoreWriteUnit.h"
#include "platform/RegistryStore.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, SettingsAndExports) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t person = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    maker.User("Anna", "Secret");
    TMiniDB& db = maker.db;
    const int32_t building = db.NewNamedRecord(icBuilding,
                                               "Haus S\xFC"
                                               "d",
                                               "");
    const int32_t door = db.NewNamedRecord(icDoor, "Eingang", "");
    db.AddLinkBoth(door, building, icBuilding, icDoor);
    db.SetField(door, "pos", "EG");
    const int32_t key = db.NewNamedRecord(icKey, "S1", "");
    db.SetField(key, fkTotal, "2");
    db.SetField(key, fkStock, "1");
    person = db.NewNamedRecord(icPerson, "Erika M\xFCller", "");
    db.SetField(person, fkDepartment, "Technik");
    db.Commit();
    TStoreWrite write(db, {key, person});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(db, key, false, THolderRef{okPerson, person}, 1, 0, 0, "", "", "",
                                 "", "", 0));
    ASSERT_TRUE(write.Commit());
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", env.dir.Dir() + "backup/"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  const std::string shots = env.dir.Dir() + "shots/";
  const std::string out = env.dir.Dir() + "out/";
  const std::string bin = env.dir.Dir() + "bin/";
  for (const std::string& folder : {shots, out, bin}) ASSERT_EQ(PfMakeFolders(folder), 0);
  // The stand-in mail program records each call's arguments.
  WriteAllBytes(bin + "xdg-email",
                "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"" + out +
                    "mail.txt\"\nexit 0\n");
  chmod((bin + "xdg-email").c_str(), 0755);

  const TAutomatedRun run =
      RunAutomatedProgram(env,
                          {{"PATH", bin + ":" + qEnvironmentVariable("PATH").toStdString()},
                           {"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                           {"TESSARO_AUTOMATION_USER", "Anna"},
                           {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                           {"TESSARO_AUTOMATION_EXPORTS", env.dir.Dir() + "out"},
                           {"TESSARO_AUTOMATION_SHOTS", shots}},
                          60000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& said = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << said << err;
  EXPECT_EQ(run.exitCode, 0) << said << err;
  for (const char* step :
       {"settings shown", "client data saved", "names saved", "ExportDoors1 written",
        "ExportKeys1 written", "ExportPersons1 written", "screenshot mailed", "database exported",
        "logged out", "undriven dialogs 0"})
    EXPECT_NE(said.find(step), std::string::npos) << step << "\n" << said << err;
  EXPECT_EQ(said.find("refused"), std::string::npos) << said;
  for (const char* shot :
       {"settings0", "settings1", "settings2", "settings3", "mandant", "keysystems", "dbexport"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shots + shot + ".png"))) << shot;
  }

  // The exports, byte for byte.
  EXPECT_EQ(ReadAllBytes(out + "ExportDoors1.csv"),
            "T\xFCr\tGeb\xE4ude\tSchlie\xDF"
            "anlage\tPosition\tZylinder\tZyl.-L\xE4nge\tBemerkung\r\n"
            "Eingang\tHaus S\xFC"
            "d\t\tEG\t\t\t\r\n");
  EXPECT_EQ(ReadAllBytes(out + "ExportKeys1.csv"),
            "Schl\xFCssel\tSchlie\xDF"
            "anlage\tSchl\xFCsseltyp\tverf\xFCgbar\tgesamt\tBemerkung\r\n"
            "S1\t\t\t1\t2\t\r\n");
  EXPECT_EQ(ReadAllBytes(out + "ExportPersons1.csv"),
            "Name\tAbteilung\tNr.\tBemerkung\tSchl\xFCssel\r\n"
            "Erika M\xFCller\tTechnik\t\t\tS1\r\n");
  QImage screen;
  EXPECT_TRUE(screen.load(QString::fromStdString(out + "screen.jpg")));
  const std::string exported = ReadAllBytes(out + "Export.adaX");
  EXPECT_FALSE(exported.empty());
  for (const std::string& gone :
       {std::string("Erika M\xFC"
                    "ller"),
        std::string("Technik"), std::string("Anna"), std::string("SECRET")})
    EXPECT_TRUE(exported.find(gone) == std::string::npos &&
                exported.find(ScrambleStr(gone)) == std::string::npos)
        << gone;
  const std::string mail = ReadAllBytes(out + "mail.txt");
  EXPECT_NE(mail.find("--attach\n" + out + "screen.jpg\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("--subject\nBildschirmfoto vom Tessaro\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("--attach\n" + out + "Export.adaX\n"), std::string::npos) << mail;

  // The settings: web links off in the data folder; the client data and the name stored.
  MandantState().InvalidateCaches();
  EXPECT_EQ(ReadSettingStr(kSettingsDataLevel, "WebLinks"), "0");
  TStoreMaker check(env.Data(), "Data-Acme");
  const int32_t settings = check.db.FindOrCreateSingleton(false);
  ASSERT_NE(settings, 0);
  EXPECT_EQ(check.db.GetField(settings, "MandantName"), "Werk Nord");
  EXPECT_EQ(check.db.GetField(settings, "MandantBranch"), "7");
  EXPECT_EQ(check.db.GetField(settings, "FormSeqNo"), "99");
  EXPECT_EQ(check.db.GetHeaderValue("KeysystemNames").rfind("Haupt,", 0), 0u);
  // The live store still holds the person the export left out.
  EXPECT_TRUE(check.db.IsValid(person));

  TRegValue version;
  ASSERT_TRUE(TRegistryStore().ReadValue(TRegScope::User, kProgramRegistryKey, "Ver", version));
  EXPECT_EQ(version.data, "2008-04");
}

}  // namespace
