// The program as a user meets it, in a process of its own: started on a data folder with
// one client, the client chosen, a user logged in (an overdue key brings the deadlines page
// up), every page visited, a person made, renamed, given a photo and deleted, a user made
// with a password and rights, renamed and deleted, a key made with a cabinet row and a door,
// its total changed, another key deleted, a deadline moved, the stock list opened
// with F6, the form editor and the print settings opened, a list previewed, logged out and
// the window closed. Afterwards the store holds exactly what was done, the print settings
// are in the data folder's settings, the history holds the login and every change, and the
// automatic backup that was due exists.
#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "AutomatedRunSupport.h"
#include "LoginTestSupport.h"
#include "app/UnitTR100Win.h"
#include "basic/BasicsUnit.h"
#include "basic/DateClock.h"
#include "data/BinDatabase.h"
#include "data/HolderUnit.h"
#include "data/IniUnit.h"

#ifndef TESSARO_AUTOMATED_PROGRAM
#error "TESSARO_AUTOMATED_PROGRAM names the program with the test driver"
#endif

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<TPfFolderEntry> entries;
  PfListFolder(folder, entries);
  std::vector<std::string> names;
  for (const TPfFolderEntry& e : entries)
    if (e.kind == TPfKind::File) names.push_back(e.name);
  return names;
}

TEST(EndToEnd, ChooseClientLogInVisitPagesLogOutClose) {
  TLoginEnv env;
  const std::string backup = env.dir.Dir() + "backup/";
  // The client and its store with one user who left a record to show at the last logout.
  TMandantInfoRec client;
  client.Name = "Acme";
  client.Title = "Acme GmbH";
  ASSERT_TRUE(AddClient(client, 0));
  int32_t anna = 0;
  int32_t gate = 0, paul = 0;
  int recordsBefore = 0;
  {
    TStoreMaker maker(env.Data(), "Data-Acme");
    anna = maker.User("Anna", "Secret");
    maker.db.NewNamedRecord(icBuilding, "Haus Nord", "");
    maker.db.SetField(anna, "LastItems", std::to_string(anna) + ";");
    maker.db.Commit();
    // Paul has held the gate key since last week; it was due back yesterday.
    paul = maker.db.NewNamedRecord(icPerson, "Paul", "");
    gate = maker.db.NewNamedRecord(icKey, "Haupttor", "");
    maker.db.SetField(gate, fkStock, "2");
    maker.db.SetField(gate, fkTotal, "3");
    maker.db.SetField(gate, fkHolders,
                      "E" + std::to_string(paul) + "=1|2024-01-02|" +
                          PackedDateToIsoStr(PrevDay(TodayPacked())) + "||0001");
    maker.db.AddLinkBoth(gate, paul, icPerson, icKey);
    // For the keys view: a cabinet, a door, and an old key nobody holds.
    maker.db.NewNamedRecord(icCabinet, "Schrank 1", "");
    maker.db.NewNamedRecord(icDoor, "Eingang", "");
    maker.db.NewNamedRecord(icKey, "Altschluessel", "");
    maker.db.Commit();
    TItemList users;
    maker.db.ListClassValid(icUser, users);
    recordsBefore = users.Count();
  }
  // The program finds the data root in its settings file; the data folder's settings ask
  // for a daily backup without a question.
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "0"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupPath", backup));
  WriteAllBytes(env.Prog() + "Tessaro", "");

  // The photo the persons view is given.
  const std::string photo = env.dir.Dir() + "photo.png";
  {
    QImage picture(640, 480, QImage::Format_RGB888);
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x)
        picture.setPixel(x, y, qRgb(x * 255 / 640, y * 255 / 480, 140));
    ASSERT_TRUE(picture.save(QString::fromStdString(photo), "PNG"));
  }
  const TAutomatedRun run = RunAutomatedProgram(env,
                                                {{"TESSARO_AUTOMATION_CLIENT", "Acme GmbH"},
                                                 {"TESSARO_AUTOMATION_USER", "Anna"},
                                                 {"TESSARO_AUTOMATION_PASSWORD", "secret"},
                                                 {"TESSARO_AUTOMATION_PHOTO", photo}},
                                                45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
  EXPECT_EQ(run.exitCode, 0) << out << err;

  EXPECT_NE(out.find("client Acme GmbH"), std::string::npos) << out;
  EXPECT_NE(out.find("logged in as Anna"), std::string::npos) << out;
  EXPECT_NE(out.find("landed on page 9"), std::string::npos) << out;
  EXPECT_NE(out.find("deadlines listed 1"), std::string::npos) << out;
  EXPECT_NE(out.find("deadline moved"), std::string::npos) << out;
  // The gate key and the key made in the keys view, which comes first by its name.
  EXPECT_NE(out.find("stock list rows 2 first "), std::string::npos) << out;
  for (int page : {pgBuildings, pgDoors, pgGroups, pgKeys, pgPersons, pgIssueReturn, pgLimits,
                   pgHistory, pgUsers, pgHelp})
    EXPECT_NE(out.find("page " + std::to_string(page) + " shown"), std::string::npos) << out;
  for (const char* step : {"person saved", "person renamed", "photo stored", "person deleted",
                           "user saved", "rights saved", "user renamed", "user deleted",
                           "key saved", "key total changed", "key deleted"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out;
  EXPECT_NE(out.find("editor shown"), std::string::npos) << out;
  EXPECT_TRUE(out.find("preview shown, ") != std::string::npos ||
              out.find("preview off: list not printed") != std::string::npos)
      << out;
  EXPECT_NE(out.find("print settings shown"), std::string::npos) << out;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;
  EXPECT_NE(out.find("logged out"), std::string::npos) << out;
  EXPECT_NE(out.find("undriven dialogs 0"), std::string::npos) << out << err;

  // The store: the user is there, the record to show was emptied at logout.
  {
    TStoreMaker check(env.Data(), "Data-Acme");
    TItemList users;
    check.db.ListClassValid(icUser, users);
    EXPECT_EQ(users.Count(), recordsBefore);
    EXPECT_EQ(check.db.GetField(anna, "LastItems"), "");
    EXPECT_EQ(check.db.GetDisplayName(anna), "Anna");
    // The deadline and remark the user gave, nothing else of the holding changed.
    EXPECT_EQ(check.db.GetField(gate, fkHolders),
              "E" + std::to_string(paul) + "=1|2024-01-02|2099-12-31|verl\xE4ngert|0001");
    EXPECT_EQ(check.db.GetField(gate, fkStock), "2");

    // The person: saved with its fields and building, renamed, deleted with its links.
    TItemList all;
    check.db.ListClass(icPerson, all);
    ASSERT_EQ(all.Count(), 2);  // Paul, who holds the gate key, and the new one
    const int32_t person = all.Get(0) == paul ? all.Get(1) : all.Get(0);
    EXPECT_FALSE(check.db.IsValid(person));
    EXPECT_EQ(check.db.GetName(person), "Erika Mustermann");
    EXPECT_EQ(check.db.GetField(person, fkDepartment), "Technik");
    EXPECT_EQ(check.db.GetField(person, fkPersonNumber), "42");
    EXPECT_EQ(check.db.GetLinkText(person, icBuilding), "");
    const int32_t house = check.db.FindByName("Haus Nord", icBuilding, 0);
    ASSERT_NE(house, 0);
    EXPECT_EQ(check.db.GetLinkText(house, icPerson), "");
    // Its photo went with it; the photo store is the client's.
    TBinDatabase photos;
    ASSERT_TRUE(photos.OpenSingle(env.Data() + "Images/Persons.bdb"));
    std::string bytes;
    EXPECT_FALSE(photos.Get(person, bytes));

    // The key: made with 3 pieces in its cabinet, then 5; fits the door on both sides.
    const int32_t key = check.db.FindByName("Buero 12", icKey, 0);
    ASSERT_NE(key, 0);
    EXPECT_NE(out.find("stock list rows 2 first " + std::to_string(key)), std::string::npos);
    EXPECT_NE(gate, key);
    const int32_t cabinet = check.db.FindByName("Schrank 1", icCabinet, 0);
    const int32_t door = check.db.FindByName("Eingang", icDoor, 0);
    EXPECT_EQ(check.db.GetField(key, fkTotal), "5");
    EXPECT_EQ(check.db.GetField(key, fkStock), "5");
    EXPECT_EQ(check.db.GetField(key, fkKeySystem), "1001");
    EXPECT_EQ(check.db.GetField(key, fkHolders), "");
    EXPECT_EQ(check.db.GetLinkText(key, icCabinet), std::to_string(cabinet));
    EXPECT_TRUE(check.db.HasLink(cabinet, icKey, key));
    EXPECT_EQ(check.db.GetLinkValue(key, cabinet, fkCabinetStock), "5");
    EXPECT_EQ(check.db.GetLinkValue(key, cabinet, fkCabinetOwned), "5");
    EXPECT_EQ(check.db.GetLinkValue(key, cabinet, "po"), "H1");
    EXPECT_EQ(check.db.GetLinkText(key, icDoor), std::to_string(door));
    EXPECT_TRUE(check.db.HasLink(door, icKey, key));
    TItemList keys;
    check.db.ListClass(icKey, keys);
    EXPECT_EQ(keys.Count(), 3);  // the gate, the old key (deleted) and the new one
    const int32_t old = check.db.FindByName("Altschluessel", icKey, 0);
    EXPECT_FALSE(check.db.IsValid(old));

    // The user: the password as the login compares it, every right but the printouts.
    TItemList allUsers;
    check.db.ListClass(icUser, allUsers);
    ASSERT_EQ(allUsers.Count(), 2);
    const int32_t berta = allUsers.Get(1);
    EXPECT_FALSE(check.db.IsValid(berta));
    EXPECT_EQ(check.db.GetName(berta), "Berta B");
    EXPECT_EQ(check.db.GetField(berta, "nice"), "Berta Beispiel");
    EXPECT_EQ(check.db.GetField(berta, "pw"), "KENNWORT");
    TRightLevels levels{};
    levels.fill(rlYes);
    levels[rtPrintConfig] = rlNo;
    EXPECT_EQ(check.db.GetField(berta, fkRights), EncodeUserRights(berta, levels));
    EXPECT_FALSE(check.db.GetField(berta, "GUID").empty());
  }
  // The print settings went into the data folder's settings file: the receipt's text as
  // saved, the template as typed.
  {
    const std::string ini = ReadAllBytes(env.Data() + "Tessaro.ini");
    EXPECT_NE(ini.find("ReceiptText=Automatisch<BR>getestet\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("FormTemplate2=Formulare/Formular2 Rueckgabe.rtf\r\n"), std::string::npos)
        << ini;
  }
  // The history holds the login and every change of the person and the user.
  std::string history;
  for (const std::string& name : FilesIn(env.Data()))
    if (name.rfind("Log", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".alg")
      history += ReadAllBytes(env.Data() + name);
  EXPECT_NE(history.find("Login"), std::string::npos);
  auto count = [&history](const std::string& what) {
    int n = 0;
    for (size_t at = history.find(what); at != std::string::npos; at = history.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("a=New"), 3) << history;
  EXPECT_EQ(count("a=Ren"), 2) << history;
  EXPECT_EQ(count("a=Del"), 3) << history;
  EXPECT_EQ(count("a=Total"), 1) << history;
  EXPECT_NE(history.find("cnt=+2"), std::string::npos) << history;
  EXPECT_NE(history.find("stock=5 / 5"), std::string::npos) << history;
  EXPECT_NE(history.find("3 / 3"), std::string::npos) << history;
  // The store changed in this run and no backup was made before: one now.
  bool backupMade = false;
  for (const std::string& name : FilesIn(backup))
    backupMade =
        backupMade || (name.rfind("Data-Acme ", 0) == 0 && name.substr(name.size() - 4) == ".ada");
  EXPECT_TRUE(backupMade) << out;
}

// A new user on the first run, started as the start script starts the program (the data
// folder named by the settings file, no "datapath" switch): the login page says how to log
// in, the sandbox is made and entered through the client choice, a person made in it never
// reaches the original data, leaving deletes the sandbox folder and its client entry, and
// the language menu switches to English and back.
TEST(EndToEnd, FirstRunSandboxRoundTripAndLanguage) {
  TLoginEnv env;
  ASSERT_TRUE(WriteSetting(kSettingsProgramLevel, "DataPath", env.Data()));
  // A daily backup with its question: declined at each logout, and its window must not
  // outlive the program's end.
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupInterval", "1"));
  ASSERT_TRUE(WriteSetting(kSettingsDataLevel, "BackupRequester", "1"));
  WriteAllBytes(env.Prog() + "Tessaro", "");
  PfMakeFolders(env.Prog() + "System/");
  PfMakeFolders(env.Prog() + "Help/de/firstrun/");
  WriteAllBytes(env.Prog() + "Help/de/firstrun/index.html",
                ReadAllBytes(std::string(TESSARO_RESOURCE_DIR) + "/Help/de/firstrun/index.html"));
  WriteAllBytes(env.Prog() + "System/Tessaro.lng",
                ReadAllBytes(std::string(TESSARO_RESOURCE_DIR) + "/System/Tessaro.lng"));

  const TAutomatedRun run =
      RunAutomatedProgram(env, {{"TESSARO_AUTOMATION_SCENARIO", "sandbox"}}, 45000);
  ASSERT_TRUE(run.started);
  const bool finished = run.finished;
  const std::string& out = run.out;
  const std::string& err = run.err;
  ASSERT_TRUE(finished) << out << err;
  EXPECT_EQ(run.exitCode, 0) << out << err;
  for (const char* step :
       {"first login hint shown", "logged in", "sandbox made", "in the sandbox",
        "sandbox person saved", "sandbox left", "original data untouched", "language English: Keys",
        "language German: Schl\xFC"
        "ssel",
        "logged out", "undriven dialogs 0"})
    EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out << err;
  EXPECT_EQ(out.find("refused"), std::string::npos) << out;

  // The original store has no person; no sandbox folder or client entry is left.
  {
    TStoreMaker check(env.Data());
    TItemList persons;
    check.db.ListClass(icPerson, persons);
    EXPECT_EQ(persons.Count(), 0);
  }
  std::vector<TPfFolderEntry> entries;
  PfListFolder(env.Data(), entries);
  for (const TPfFolderEntry& e : entries) EXPECT_NE(e.name.rfind("Sandbox ", 0), 0u) << e.name;
  TMandantList clients;
  LoadClientRegisters(clients);
  for (const TMandantInfoRec& c : clients) EXPECT_FALSE(c.Active) << c.Title;
}

}  // namespace
