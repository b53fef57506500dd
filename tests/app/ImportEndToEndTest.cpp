// The table import as a user meets it, in a process of its own: logged in, the import
// opened from the menu with a table of persons this test writes, the columns mapped, the
// room joined onto the department, checked (a picture of the green marks), imported, logged
// out. Afterwards the store holds the persons it held before and exactly the imported ones.
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
#include "data/ItemList.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

TEST(EndToEnd, TableImport) {
  TLoginEnv env;
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t lastBefore = 0, kept = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    maker.User("Anna", "Secret");
    kept = maker.db.NewNamedRecord(icPerson, "Alt, Otto", "");
    maker.db.Commit();
    lastBefore = maker.db.LastID;
  }
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "0"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  // Rows ending in LF only, a name with an umlaut (UTF-8), a quoted field; the third column,
  // the room, is joined onto the department where it is filled.
  const std::string table = env.dir.File("Personal.csv");
  WriteAllBytes(table, "Name;Abteilung;Raum\n"
                       "\"M\xC3\xBCller, Jana\";Einkauf;B 3\n"
                       "Berg, Udo;Lager;\n"
                       "Kern, Eva;\"Technik; Wartung\";R 12\n");
  const std::string shots = AutomationShotsFolder(env.dir.Dir() + "shots/");
  ASSERT_EQ(PfMakeFolders(shots), 0);

  const TAutomatedRun run = RunAutomatedProgram(env,
                                                {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                 {"TESSARO_AUTOMATION_USER", "Anna"},
                                                 {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                 {"TESSARO_AUTOMATION_IMPORT", table},
                                                 {"TESSARO_AUTOMATION_SHOTS", shots}},
                                                45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step : {"import mapped", "import loaded", "import joined", "import checked",
                           "import done", "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  for (const char* shot : {"import-loaded", "import-join", "import-checked"}) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(shots + shot + ".png"))) << shot;
    EXPECT_GT(image.width(), 100) << shot;
  }

  TStoreMaker check(env.Data(), "Data-Acme");
  TMiniDB& db = check.db;
  EXPECT_TRUE(db.IsValid(kept));
  std::vector<std::string> made;
  for (int32_t id = lastBefore + 1; id <= db.LastID; ++id)
    if (db.HasRecord(id) && db.GetClass(id) == icPerson)
      made.push_back(db.GetName(id) + "/" + db.GetField(id, "Abt"));
  EXPECT_EQ(made, (std::vector<std::string>{"M\xFCller, Jana/Einkauf [B 3]", "Berg, Udo/Lager",
                                            "Kern, Eva/Technik; Wartung [R 12]"}));
  TItemList persons;
  db.ListClassValid(icPerson, persons);
  EXPECT_EQ(persons.Count(), 4);
}

}  // namespace
