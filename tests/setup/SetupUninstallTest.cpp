#include "setup/SetupUninstallUnit.h"

#include <gtest/gtest.h>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "platform/RegistryStore.h"
#include "setup/SetupFormUnit.h"
#include "setup/SetupTestSupport.h"

namespace {

const std::string kProgramKey = "\\SOFTWARE\\Merivan\\Tessaro";

class SetupUninstall : public ::testing::Test {
 protected:
  SetupUninstall() {
    clock.Set(EncodeDateTime(2024, 5, 6, 7, 8, 9));
  }

  // One installation as the window runs it: path, files, uninst command, settings file.
  void Install(const std::vector<std::string>& extra = {},
               const std::vector<TPayloadFile>& extraFiles = {}) {
    home.Fresh();
    const TPayloadFile program{"ELF program"}, help{"<html>"}, data{"sample store"};
    std::vector<std::string> commands = {kPathLine,
                                         SaveLine("*PgmPath*Tessaro", program, ",Mode=755"),
                                         SaveLine("*PgmPath*Help\\de\\index.html", help),
                                         SaveLine("*DataPath*Sample.ADA", data),
                                         "action=icon,lnk=*MyStartMenu*Tessaro.lnk,file=*PgmPath*Tessaro"};
    commands.insert(commands.end(), extra.begin(), extra.end());
    commands.push_back("action=uninst,name=Tessaro,Publisher=Merivan");
    std::vector<TPayloadFile> files = {program, help, data};
    files.insert(files.end(), extraFiles.begin(), extraFiles.end());
    home.UseInstaller(home.MakeInstaller(commands, files));
    ASSERT_TRUE(RunSetupCommands(false)) << SetupState().errorText;
    ASSERT_TRUE(FinishInstallation([] { return std::string("Mieter"); }));
  }

  // The installed uninstaller as the running program, in a new process.
  TUninstallResult Uninstall(const std::vector<std::string>& args = {}) {
    home.Fresh();
    SetSelfFileName(home.Pgm() + "uninstall");
    return RunUninstall(args);
  }

  std::vector<std::string> ListOf(const std::string& uninstaller) {
    std::vector<std::string> list;
    EXPECT_TRUE(ReadUninstallListFrom(ReadAllBytes(uninstaller), list));
    return list;
  }

  std::string KeyName() const { return "Tessaro 2024-05-06 07.08.09"; }
  std::string UninstallKey() const { return std::string(kUninstallRegistryKey) + "\\" + KeyName(); }

  TFixedClock clock{0};
  TClockScope clockScope{clock};
  TUtcZone utc;
  TSetupHome home;
  TScopedRecorder ui;
};

TEST_F(SetupUninstall, TheListNamesWhatWasWrittenAndCreated) {
  Install();
  const std::string pgm = home.Pgm(), local = home.Home() + ".local/";
  const std::string menu = local + "share/applications/";
  EXPECT_EQ(ListOf(pgm + "uninstall"),
            (std::vector<std::string>{
                "UninstallKey=" + KeyName(), "Lng=DE", "DataPath=" + pgm + "DemoData/",
                "Exec=" + pgm + "Tessaro", "file=" + pgm + "Tessaro", "file=" + pgm + "Help/de/index.html",
                "file=" + pgm + "DemoData/Sample.ADA", "file=" + menu + "Tessaro.desktop",
                "file=" + pgm + "uninstall", "file=" + menu + "Tessaro-uninstall.desktop",
                "file=" + pgm + "Tessaro.ini", "dir=" + menu, "dir=" + local + "share/",
                "dir=" + pgm + "Help/de/", "dir=" + pgm + "Help/", "dir=" + pgm + "DemoData/",
                "dir=" + pgm, "dir=" + local + "opt/", "dir=" + local}));
  // The uninstaller is the installer's image with its own sections.
  const std::string uninstaller = ReadAllBytes(pgm + "uninstall");
  EXPECT_EQ(uninstaller.substr(0, TSetupHome::Image().size()), TSetupHome::Image());
  EXPECT_EQ(ParseSectionFile(uninstaller).status, TSectionsStatus::Sound);
  EXPECT_EQ(ModeOf(pgm + "uninstall"), 0755u);
  EXPECT_EQ(ReadAllBytes(pgm + "Tessaro.ini"), "Lng=DE\r\nPersonsTerm=Mieter\r\n");

  TRegistryStore store;
  TRegValue v;
  ASSERT_TRUE(store.ReadValue(TRegScope::User, UninstallKey(), "UninstallString", v));
  EXPECT_EQ(v.data, pgm + "uninstall /uninst \"UninstallKey=" + KeyName() + "\"");
  ASSERT_TRUE(store.ReadValue(TRegScope::User, UninstallKey(), "DisplayName", v));
  EXPECT_EQ(v.data, "Tessaro (Installation 06.05.2024)");
  EXPECT_TRUE(store.ReadValue(TRegScope::User, UninstallKey(), "Publisher", v));
  for (const char* name : {"NoModify", "NoRepair"}) {
    ASSERT_TRUE(store.ReadValue(TRegScope::User, UninstallKey(), name, v)) << name;
    EXPECT_EQ(v.type, TRegType::Integer) << name;
    EXPECT_EQ(v.data, "1") << name;
  }
  EXPECT_NE(ReadAllBytes(menu + "Tessaro-uninstall.desktop")
                .find("Name=Tessaro entfernen\nExec=\"" + pgm + "uninstall\" \"/uninst\" \"UninstallKey=" +
                      KeyName() + "\"\n"),
            std::string::npos);
}

TEST_F(SetupUninstall, RemovesWhatItMadeAndKeepsData) {
  // The user's own things: a folder that existed before, a file in the program folder.
  std::filesystem::create_directories(home.Home() + ".local/state");
  Install();
  const std::string pgm = home.Pgm();
  WriteAllBytes(pgm + "DemoData/Data.ada", "the user's records");
  WriteAllBytes(pgm + "DemoData/Data.wpi", "locks");
  WriteAllBytes(pgm + "Log2024.ALG", "history");
  WriteAllBytes(pgm + "Persons.bdb", "persons");
  TRegistryStore store;
  ASSERT_TRUE(store.WriteString(TRegScope::User, kProgramKey, "LastUser", "ANNA"));

  const TUninstallResult result = Uninstall();
  EXPECT_TRUE(result.listFound);
  EXPECT_TRUE(result.failed.empty());
  EXPECT_EQ(TreeOf(home.Home()),
            (std::vector<std::string>{".local/", ".local/opt/", ".local/opt/Tessaro/",
                                      ".local/opt/Tessaro/DemoData/",
                                      ".local/opt/Tessaro/DemoData/Data.ada",
                                      ".local/opt/Tessaro/DemoData/Data.wpi",
                                      ".local/opt/Tessaro/DemoData/Sample.ADA",
                                      ".local/opt/Tessaro/Log2024.ALG",
                                      ".local/opt/Tessaro/Persons.bdb", ".local/state/"}));
  // The entry is gone, the program's key and values stay.
  EXPECT_TRUE(store.ReadKey(TRegScope::User, UninstallKey()).empty());
  EXPECT_TRUE(store.ListSubkeys(TRegScope::User, "\\Software").size() == 1);
  TRegValue v;
  EXPECT_TRUE(store.ReadValue(TRegScope::User, kProgramKey, "Exec", v));
  EXPECT_TRUE(store.ReadValue(TRegScope::User, kProgramKey, "LastUser", v));
}

TEST_F(SetupUninstall, NothingInsideTheDataFolderIsDeleted) {
  // The installer put a template into the data folder; the program was later pointed at
  // another data folder through its settings file.
  const TPayloadFile tpl{"template"}, other{"other"};
  Install({SaveLine("*DataPath*Vorlage.rtf", tpl), SaveLine("*PgmPath*Daten/Liste.txt", other)},
          {tpl, other});
  WriteAllBytes(home.Pgm() + "Tessaro.ini", "Lng=DE\r\nDataPath=Daten\\\r\n");
  const TUninstallResult result = Uninstall();
  EXPECT_TRUE(Exists(home.Pgm() + "DemoData/Vorlage.rtf"));
  EXPECT_TRUE(Exists(home.Pgm() + "Daten/Liste.txt"));
  EXPECT_EQ(result.dataFolders,
            (std::vector<std::string>{home.Pgm() + "DemoData/", home.Pgm() + "Daten/"}));
  EXPECT_EQ(result.keptData, (std::vector<std::string>{home.Pgm() + "Daten/Liste.txt",
                                                       home.Pgm() + "DemoData/Vorlage.rtf"}));
  EXPECT_FALSE(Exists(home.Pgm() + "Tessaro"));
  EXPECT_FALSE(Exists(home.Pgm() + "Tessaro.ini"));
}

TEST_F(SetupUninstall, FailedDeletionsAreListed) {
  Install();
  const std::string help = home.Pgm() + "Help/de/index.html";
  TPfFaultScope fault([&help](TPfOp op, const std::string& path) {
    return op == TPfOp::Unlink && path == help ? EACCES : 0;
  });
  const TUninstallResult result = Uninstall();
  EXPECT_EQ(result.failed, std::vector<std::string>{help});
  EXPECT_TRUE(Exists(help));
  EXPECT_FALSE(Exists(home.Pgm() + "Tessaro"));
}

TEST_F(SetupUninstall, ListWithoutFoldersDeletesFilesOnly) {
  // Every folder existed before: none is recorded, none goes.
  std::filesystem::create_directories(home.Pgm() + "Help/de");
  std::filesystem::create_directories(home.Pgm() + "DemoData");
  std::filesystem::create_directories(home.Home() + ".local/share/applications");
  Install();
  for (const std::string& line : ListOf(home.Pgm() + "uninstall"))
    EXPECT_NE(line.rfind("dir=", 0), 0u) << line;
  Uninstall();
  EXPECT_EQ(TreeOf(home.Pgm()),
            (std::vector<std::string>{"DemoData/", "DemoData/Sample.ADA", "Help/", "Help/de/"}));
  EXPECT_TRUE(Exists(home.Home() + ".local/share/applications"));
}

TEST_F(SetupUninstall, InstallingTwiceLeavesOneEntryAndTheFirstInstallationsFolders) {
  Install();
  clock.Advance(1.0);
  Install();
  TRegistryStore store;
  EXPECT_EQ(store.ListSubkeys(TRegScope::User, kUninstallRegistryKey),
            std::vector<std::string>{KeyName()}) << "the first installation's name";
  // A stale entry of the same place goes; one of another place stays.
  ASSERT_TRUE(store.WriteString(TRegScope::User, std::string(kUninstallRegistryKey) + "\\Tessaro 2020-01-01 00.00.00",
                                "UninstallString", home.Pgm() + "uninstall /uninst"));
  ASSERT_TRUE(store.WriteString(TRegScope::User, std::string(kUninstallRegistryKey) + "\\Tessaro 2021-01-01 00.00.00",
                                "UninstallString", "/opt/Tessaro/uninstall /uninst"));
  Install();
  // The first entry of this place found is kept.
  EXPECT_EQ(store.ListSubkeys(TRegScope::User, kUninstallRegistryKey),
            (std::vector<std::string>{"Tessaro 2020-01-01 00.00.00", "Tessaro 2021-01-01 00.00.00"}));
  // The second run created no folder, yet its uninstall removes the first run's.
  EXPECT_TRUE(SetupState().createdFolders.empty());
  Uninstall();
  EXPECT_EQ(TreeOf(home.Home()),
            (std::vector<std::string>{".local/", ".local/opt/", ".local/opt/Tessaro/",
                                      ".local/opt/Tessaro/DemoData/",
                                      ".local/opt/Tessaro/DemoData/Sample.ADA"}));
  EXPECT_EQ(store.ListSubkeys(TRegScope::User, kUninstallRegistryKey),
            std::vector<std::string>{"Tessaro 2021-01-01 00.00.00"});
}

TEST_F(SetupUninstall, KeyNamesFromOutsideAreTakenOnlyAsOneName) {
  TRegistryStore store;
  const std::string base = kUninstallRegistryKey;
  const std::string sibling = base + "\\Other 2020-01-01 00.00.00";
  for (const std::string& name :
       {std::string(""), std::string("ab"), std::string("."), std::string(".."),
        std::string("..\\..\\Merivan"), std::string("x/../../Merivan"), std::string("a\\b"),
        std::string("Other 2020..01"), std::string("Tab\there")}) {
    ASSERT_TRUE(store.WriteString(TRegScope::User, sibling, "DisplayName", "other"));
    ASSERT_TRUE(store.WriteString(TRegScope::User, kProgramKey, "Exec", "x"));
    Uninstall({"/uninst", "UninstallKey=" + name});
    EXPECT_FALSE(store.ReadKey(TRegScope::User, sibling).empty()) << name;
    EXPECT_FALSE(store.ReadKey(TRegScope::User, kProgramKey).empty()) << name;
    EXPECT_FALSE(ValidUninstallKeyName(name)) << name;
  }
  // Without its list the uninstaller deletes the key it was named, and nothing else.
  ui.Clear();
  const TUninstallResult result = Uninstall({"/uninst", "UninstallKey=Other 2020-01-01 00.00.00"});
  EXPECT_FALSE(result.listFound);
  EXPECT_TRUE(store.ReadKey(TRegScope::User, sibling).empty());
  EXPECT_EQ(SetupState().errorText, "uninstall information not found; ");
  EXPECT_FALSE(store.ReadKey(TRegScope::User, kProgramKey).empty());
}

TEST_F(SetupUninstall, RefusesWhileTheProgramRuns) {
  Install();
  const std::vector<std::string> before = TreeOf(home.Home());
  home.Fresh();
  SetSelfFileName(home.Pgm() + "uninstall");
  SetupState().programRunning = [] { return true; };
  const TUninstallResult result = RunUninstall({"/uninst", "UninstallKey=" + KeyName()});
  EXPECT_TRUE(result.refused);
  EXPECT_EQ(TreeOf(home.Home()), before);
  EXPECT_FALSE(TRegistryStore().ReadKey(TRegScope::User, UninstallKey()).empty());
}

TEST_F(SetupUninstall, UninstallMode) {
  struct TCase {
    const char* file;
    std::vector<std::string> args;
    bool uninstall;
  };
  const TCase cases[] = {
      {"/opt/Tessaro/uninstall", {}, true},
      {"/opt/Tessaro/UNINSTALL", {}, true},
      {"/tmp/Setup", {"/UNINST"}, true},
      {"/tmp/Setup", {"x", "/uninst", "UninstallKey=A B"}, true},
      {"/tmp/Setup", {}, false},
      {"/tmp/uninstall.sh", {"-uninst"}, false},
  };
  for (const TCase& c : cases) EXPECT_EQ(IsUninstallMode(c.file, c.args), c.uninstall) << c.file;
  EXPECT_EQ(UninstallKeyArgument({"/uninst", "UninstallKey=Tessaro 2024-05-06 07.08.09"}),
            "Tessaro 2024-05-06 07.08.09");
  for (const char* name : {"x.ADA", "y.alg", "Persons.Bdb"}) EXPECT_TRUE(KeptOnUninstall(name)) << name;
  for (const char* name : {"x.adaX", "ada", "x.ini", ".ada"}) EXPECT_FALSE(KeptOnUninstall(name)) << name;
}

TEST_F(SetupUninstall, TheSettingsFileChangesOnlyItsLanguageWhenItExists) {
  Install();
  WriteAllBytes(home.Pgm() + "Tessaro.ini", "DataPath=/srv/data/\r\nLng=DE\r\nPersonsTerm=Kunden\r\n");
  SetupState().language = "EN";
  bool asked = false;
  ASSERT_TRUE(WriteProgramSettings(home.Pgm() + "Tessaro", "EN", [&asked] {
    asked = true;
    return std::string("Mieter");
  }));
  EXPECT_FALSE(asked);
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "Tessaro.ini"),
            "DataPath=/srv/data/\r\nLng=EN\r\nPersonsTerm=Kunden\r\n");

  // A new one names the receipt templates found beside the program.
  std::filesystem::create_directories(home.Pgm() + "Formulare");
  std::filesystem::create_directories(home.Pgm() + "Templates");
  for (const char* f : {"Formulare/Formular1 Ausgabe.rtf", "Formulare/Formular5 Zylinder Verlust, Vernichtung.rtf",
                        "Templates/Form1 Issuance.rtf", "Templates/Form3 Lost, Destruction.rtf"})
    WriteAllBytes(home.Pgm() + f, "{\\rtf1}");
  std::filesystem::remove(home.Pgm() + "Tessaro.ini");
  ASSERT_TRUE(WriteProgramSettings(home.Pgm() + "Tessaro", "DE", [] { return std::string(); }));
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "Tessaro.ini"),
            "Lng=DE\r\nFormTemplate1=Templates/Form1 Issuance.rtf\r\n"
            "FormTemplate5=Formulare/Formular5 Zylinder Verlust, Vernichtung.rtf\r\n"
            "FormTemplate3=Templates/Form3 Lost, Destruction.rtf\r\n");
}

}  // namespace
