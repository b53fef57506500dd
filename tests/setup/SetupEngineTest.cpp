#include "setup/SetupMainUnit.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "basic/FileCtrl2.h"
#include "platform/RegistryStore.h"
#include "setup/SetupTestSupport.h"

namespace {

std::string RegValue(TRegScope scope, const std::string& key, const std::string& name) {
  TRegValue v;
  return TRegistryStore().ReadValue(scope, key, name, v) ? v.data : "<missing>";
}

class SetupEngine : public ::testing::Test {
 protected:
  bool Run(const std::vector<std::string>& commands, const std::vector<TPayloadFile>& files = {},
           bool pathOnly = false) {
    home.UseInstaller(home.MakeInstaller(commands, files));
    return RunSetupCommands(pathOnly);
  }
  TSetupHome home;
  TScopedRecorder ui;
};

TEST_F(SetupEngine, AnUnknownActionFailsAtOnceAndIsLogged) {
  for (const std::string& bad : {std::string("action=bogus,x=1"), std::string("x=1")}) {
    home.Fresh();
    const TPayloadFile file{"PROGRAM"};
    EXPECT_FALSE(Run({bad, kPathLine, SaveLine("*PgmPath*Tessaro", file)}, {file}));
    EXPECT_EQ(SetupState().errorText, "Command failed: " + bad + "; ");
    EXPECT_FALSE(Exists(home.Pgm())) << "nothing after the failing command ran";
    const std::string log = ReadAllBytes(SetupLogFileName());
    EXPECT_EQ(log, bad + "\r\nErrors: Command failed: " + bad + "; \r\n");
    EXPECT_EQ(SetupLogFileName(), home.Home() + ".local/state/Tessaro/Setup.log");
    // Before the window exists, the error is shown too.
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "Command failed: " + bad);
  }
}

TEST_F(SetupEngine, SaveCommands) {
  const TPayloadFile raw{"raw bytes"}, packed{std::string(3000, 'z'), true};
  struct TCase {
    const char* what;
    std::vector<std::string> commands;  // after the path command
    std::vector<TPayloadFile> files;
    std::string error;                  // empty: succeeds
  };
  const std::string target = "*PgmPath*sub\\file.txt";
  const TCase cases[] = {
      {"raw", {SaveLine(target, raw)}, {raw}, ""},
      {"compressed", {SaveLine(target, packed)}, {packed}, ""},
      {"no file name", {"action=save,OrigLen=3"}, {}, "no file name"},
      {"OrigLen 0", {"action=save,Filename=" + target + ",OrigLen=0"}, {}, "OrigLen is 0 in "},
      {"ComprLen 0", {"action=save,Filename=" + target + ",OrigLen=9,ComprLen=0"}, {},
       "ComprLen is 0 in "},
      {"short data", {SaveLine(target, TPayloadFile{std::string(20, 'q')})}, {raw}, "data error in "},
      {"short compressed data",
       {"action=save,Filename=" + target + ",OrigLen=3000,ComprLen=99999"}, {packed},
       "data error in "},
      {"bad stream", {"action=save,Filename=" + target + ",OrigLen=9,ComprLen=9"}, {raw},
       "decompress error in "},
      {"stream of another size",
       {"action=save,Filename=" + target + ",OrigLen=2999,ComprLen=" +
        std::to_string(CompressBytes(packed.bytes).size())},
       {packed}, "decompress error in "},
      {"bad mode", {SaveLine(target, raw, ",Mode=9")}, {raw}, "bad Mode in "},
      {"relative name", {SaveLine("sub/file.txt", raw)}, {raw}, "not an absolute file name"},
  };
  for (const TCase& c : cases) {
    home.Fresh();
    std::vector<std::string> commands = {kPathLine};
    commands.insert(commands.end(), c.commands.begin(), c.commands.end());
    const bool ok = Run(commands, c.files);
    const std::string file = home.Pgm() + "sub/file.txt";
    if (c.error.empty()) {
      EXPECT_TRUE(ok) << c.what << ": " << SetupState().errorText;
      EXPECT_EQ(ReadAllBytes(file), c.files[0].bytes) << c.what;
      EXPECT_EQ(ModeOf(file), 0644u) << c.what;
      EXPECT_EQ(SetupState().writtenFiles.back(), file) << c.what;
    } else {
      EXPECT_FALSE(ok) << c.what;
      EXPECT_NE(SetupState().errorText.find(c.error), std::string::npos)
          << c.what << ": " << SetupState().errorText;
      EXPECT_FALSE(Exists(file)) << c.what;
    }
    std::filesystem::remove_all(home.Home() + ".local");
  }
}

TEST_F(SetupEngine, ModesAndTheInstalledProgram) {
  const TPayloadFile doc{"readme"}, program{"ELF program"}, start{"ELF start"}, wide{"wide"},
      existing{"new text"}, after{"after"};
  std::filesystem::create_directories(home.Pgm());
  WriteAllBytes(home.Pgm() + "keep.txt", "user's text");
  ASSERT_TRUE(Run({kPathLine, SaveLine("*PgmPath*readme.txt", doc),
                   SaveLine("*PgmPath*Tessaro", program, ",Mode=755"),
                   SaveLine("*PgmPath*Start", start, ",Mode=0755"),
                   SaveLine("*PgmPath*wide", wide, ",Mode=777"),
                   "action=saveifnotexists,Filename=*PgmPath*keep.txt,OrigLen=8",
                   SaveLine("*PgmPath*after.txt", after)},
                  {doc, program, start, wide, existing, after}))
      << SetupState().errorText;
  EXPECT_EQ(ModeOf(home.Pgm() + "readme.txt"), 0644u);
  EXPECT_EQ(ModeOf(home.Pgm() + "Tessaro"), 0755u);
  EXPECT_EQ(ModeOf(home.Pgm() + "wide"), 0755u) << "never writable by group or others";
  EXPECT_EQ(SetupState().installedProgram, home.Pgm() + "Tessaro") << "the first with an execute bit";
  // saveifnotexists leaves the existing file alone and still consumes its data.
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "keep.txt"), "user's text");
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "after.txt"), "after");
  // The registry learns the installation.
  EXPECT_EQ(RegValue(TRegScope::User, "\\SOFTWARE\\Merivan\\Tessaro", "Exec"), home.Pgm() + "Tessaro");
  EXPECT_EQ(RegValue(TRegScope::User, "\\SOFTWARE\\Merivan\\Tessaro", "DataPath"),
            home.Pgm() + "DemoData/");
  EXPECT_EQ(RegValue(TRegScope::Machine, "\\SOFTWARE\\Merivan\\Tessaro", "Exec"), "<missing>");
}

TEST_F(SetupEngine, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const TPayloadFile program{"new program"};
  std::filesystem::create_directories(home.Pgm());
  WriteAllBytes(home.Pgm() + "Tessaro", "old program");
  for (TPfOp failing : {TPfOp::Write, TPfOp::Fsync, TPfOp::Rename}) {
    home.Fresh();
    TPfFaultScope fault([failing](TPfOp op, const std::string&) { return op == failing ? ENOSPC : 0; });
    EXPECT_FALSE(Run({kPathLine, SaveLine("*PgmPath*Tessaro", program, ",Mode=755")}, {program}));
    EXPECT_NE(SetupState().errorText.find("Write Error: " + home.Pgm() + "Tessaro"), std::string::npos);
    EXPECT_EQ(ReadAllBytes(home.Pgm() + "Tessaro"), "old program");
    EXPECT_EQ(TreeOf(home.Pgm()), (std::vector<std::string>{"Tessaro"}))
        << "no temporary file left, and no uninstaller without a payload to copy";
  }
}

TEST_F(SetupEngine, ADamagedFileStreamFailsBeforeAnyWrite) {
  const TPayloadFile first{"first"}, second{"second"};
  std::string bytes = home.MakeInstaller(
      {kPathLine, SaveLine("*PgmPath*a", first), SaveLine("*PgmPath*b", second)}, {first, second});
  // A payload whose file stream does not decompress, with a sound check over it.
  std::vector<TSectionSpec> sections = {
      {kSectionCommands,
       CompressBytes(std::string(kPathLine) + "\r\n" + SaveLine("*PgmPath*a", first) + "\r\n")},
      {kSectionFiles, "not a zlib stream"}};
  home.UseInstaller(TSetupHome::Image() + BuildSectionArea(sections));
  EXPECT_FALSE(RunSetupCommands(false));
  EXPECT_EQ(SetupState().errorText, "setup files damaged; ");
  EXPECT_EQ(TreeOf(home.Home()), std::vector<std::string>{}) << "nothing written, no log";

  // A payload that fails its check: refused, nothing written, not even the log.
  home.Fresh();
  bytes[bytes.size() - 20] ^= 0x10;
  home.UseInstaller(bytes);
  EXPECT_FALSE(RunSetupCommands(true));
  EXPECT_EQ(SetupState().errorText.rfind("setup information damaged", 0), 0u) << SetupState().errorText;
  EXPECT_EQ(TreeOf(home.Home()), std::vector<std::string>{});

  home.Fresh();
  home.UseInstaller(TSetupHome::Image());
  EXPECT_FALSE(RunSetupCommands(true));
  EXPECT_EQ(SetupState().errorText, "setup information not found; ");
  home.Fresh();
  home.UseInstaller(TSetupHome::Image() + BuildSectionArea({{kSectionFiles, "x"}}));
  EXPECT_FALSE(RunSetupCommands(true));
  EXPECT_EQ(SetupState().errorText, "setup commands not found; ");
}

TEST_F(SetupEngine, Placeholders) {
  std::filesystem::create_directories(home.Home() + ".config");
  WriteAllBytes(home.Home() + ".config/user-dirs.dirs",
                "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  TSetupState& s = SetupState();
  struct TCase {
    const char* path;
    const char* expanded;  // relative to home; nullptr: fails
    const char* error;
  };
  const TCase unset[] = {
      {"*PgmPath*x", nullptr, "no def for *PgmPath*"},
      {"*DataPath*x", nullptr, "no def for *DataPath*"},
      {"*MyStartMenu*x", nullptr, "no def for *MyStartMenu*"},
      {"*Programs*Tessaro\\", ".local/opt/Tessaro/", ""},
      {"*Desktop*\\Tessaro.lnk", "Schreibtisch/Tessaro.lnk", ""},
      {"*StartMenu*", ".local/share/applications/", ""},
      {"*Other*x", nullptr, "no def for *Other*"},
  };
  for (const TCase& c : unset) {
    s.errorText.clear();
    std::string out = "unchanged";
    const bool ok = ExpandSetupPath(c.path, out);
    EXPECT_EQ(ok, c.expanded != nullptr) << c.path;
    if (ok)
      EXPECT_EQ(out, home.Home() + c.expanded) << c.path;
    else
      EXPECT_EQ(s.errorText, std::string(c.error) + "; ") << c.path;
  }
  s.pgmPath = "/opt/T/";
  s.dataPath = "/srv/data/";
  std::string out;
  ASSERT_TRUE(ExpandSetupPath("*PgmPath*\\\\System\\x", out)) << s.errorText;
  EXPECT_EQ(out, "/opt/T/System/x");
  // Each placeholder is replaced once; one left over would name a wrong place.
  EXPECT_FALSE(ExpandSetupPath("*PgmPath*x*PgmPath*", out));
  ASSERT_TRUE(ExpandSetupPath("*DataPath*//a//b", out));
  EXPECT_EQ(out, "/srv/data/a/b");

  // Root installs for everybody.
  s.isAdmin = true;
  ASSERT_TRUE(ExpandSetupPath("*Programs*Tessaro/", out));
  EXPECT_EQ(out, "/opt/Tessaro/");
  ASSERT_TRUE(ExpandSetupPath("*StartMenu*", out));
  EXPECT_EQ(out, "/usr/local/share/applications/");

  // A path command whose folder names an unset placeholder fails, and nothing is written.
  s.isAdmin = false;
  home.Fresh();
  const TPayloadFile f{"x"};
  EXPECT_FALSE(Run({"action=path,DataPath=*PgmPath*DemoData", SaveLine("*DataPath*a", f)}, {f}));
  EXPECT_NE(SetupState().errorText.find("no def for *PgmPath*"), std::string::npos);
  EXPECT_EQ(TreeOf(home.Home() + ".local/opt"), std::vector<std::string>{});
}

TEST_F(SetupEngine, OnlyCreatedFoldersAreRecordedEachOnceAndNoneIsOpenToOthers) {
  std::filesystem::create_directories(home.Home() + ".local");
  const mode_t old = umask(0);  // the folder mode, not the umask, keeps others out
  const TPayloadFile a{"a"}, b{"b"}, c{"c"};
  const bool ok = Run({kPathLine, SaveLine("*PgmPath*sub/a", a), SaveLine("*PgmPath*sub/b", b),
                       SaveLine("*PgmPath*c", c)},
                      {a, b, c});
  umask(old);
  ASSERT_TRUE(ok) << SetupState().errorText;
  EXPECT_EQ(SetupState().createdFolders,
            (std::vector<std::string>{home.Home() + ".local/opt/", home.Pgm(), home.Pgm() + "sub/"}));
  for (const std::string& folder : SetupState().createdFolders)
    EXPECT_EQ(ModeOf(folder), 0755u) << folder;
}

TEST_F(SetupEngine, Versions) {
  struct TCase {
    const char* a;
    const char* b;
    int expected;
  };
  const TCase cases[] = {
      {"2.10", "2.9", 1}, {"2.9", "2.10", -1}, {"10.0", "2.1", 1}, {"2009-01", "2008-04", 1},
      {"2008-04", "2008-04", 0}, {"1.0", "1", 0}, {"1.0.1", "1.0", 1}, {"0010", "9", 1},
      {"99999999999999999999.1", "99999999999999999999.0", 1},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(CompareSetupVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;

  TRegistryStore store;
  const std::string key = "\\SOFTWARE\\Merivan\\Tessaro";
  TSetupState& s = SetupState();
  s.registryKey = "SOFTWARE\\Merivan\\Tessaro";
  const std::string exec = home.Home() + "Tessaro";
  struct TInstalled {
    const char* mine;
    const char* installed;
    bool execExists;
    bool newer;
  };
  const TInstalled installed[] = {
      {"2.9", "2.10", true, true},   {"2.10", "2.9", true, false}, {"2.1", "10.0", true, true},
      {"2.1", "10.0", false, false}, {"", "10.0", true, false},    {"2.1", "", true, false},
      {"2.1", "2010", true, false},  {"2008-04", "2009-01", true, true},
      {"2008-04", "2009.01", true, false},
  };
  for (const TInstalled& c : installed) {
    s.version = c.mine;
    ASSERT_TRUE(store.WriteString(TRegScope::User, key, "Ver", c.installed));
    ASSERT_TRUE(store.WriteString(TRegScope::User, key, "Exec", exec));
    if (c.execExists) WriteAllBytes(exec, "x");
    else std::filesystem::remove(exec);
    EXPECT_EQ(NewerVersionInstalled(), c.newer) << c.mine << " / " << c.installed;
  }
}

TEST_F(SetupEngine, MenuAndDesktopEntries) {
  std::filesystem::create_directories(home.Pgm());
  const std::vector<std::string> commands = {
      kPathLine, "action=icon,lnk=*MyStartMenu*Tessaro.lnk,file=*PgmPath*Start,icon=*PgmPath*T.png",
      BuildCommaText({"action=icon", "lnk=*Desktop*Tessaro.LNK", "file=*PgmPath*Start",
                      "param=\"a b\" $x"}),
      "action=desktopini,path=*PgmPath*,icon=*PgmPath*x.ico"};
  for (bool desktop : {false, true}) {
    home.Fresh();
    SetupState().desktopLink = desktop;
    ASSERT_TRUE(Run(commands)) << SetupState().errorText;
    const std::string menu = home.Home() + ".local/share/applications/Tessaro.desktop";
    const std::string onDesktop = home.Home() + "Desktop/Tessaro.desktop";
    EXPECT_EQ(ReadAllBytes(menu),
              "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Tessaro\nExec=\"" + home.Pgm() +
                  "Start\"\nPath=" + home.Pgm() + "\nIcon=" + home.Pgm() +
                  "T.png\nTerminal=false\n");
    EXPECT_EQ(ModeOf(menu), 0644u);
    EXPECT_EQ(Exists(onDesktop), desktop);
    if (desktop) {
      EXPECT_NE(ReadAllBytes(onDesktop).find("Exec=\"" + home.Pgm() + "Start\" \"a b\" \"\\\\$x\"\n"),
                std::string::npos)
          << ReadAllBytes(onDesktop);
      EXPECT_EQ(ModeOf(onDesktop), 0755u) << "a launcher on the desktop may be started";
    }
    EXPECT_FALSE(Exists(home.Pgm() + "Desktop.ini"));
  }
  // Quoting in Exec: inside quotes a backslash escape, then string escaping doubles it.
  EXPECT_EQ(DesktopExecArgument("/opt/my prog/T"), "\"/opt/my prog/T\"");
  EXPECT_EQ(DesktopExecArgument("a\"b`c$d\\e%f"), "\"a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%f\"");
}

TEST_F(SetupEngine, TheProgramStartsFromAnArgumentList) {
  const TPayloadFile program{"ELF"};
  ASSERT_TRUE(Run({kPathLine, SaveLine("*PgmPath*Tessaro", program, ",Mode=755"),
                   BuildCommaText({"action=exec",
                                   "params=\"aftersetup \"\"x\"\" ; rm -rf ~\" second"})},
                  {program}));
  ASSERT_TRUE(StartInstalledProgram());
  ASSERT_EQ(home.started.size(), 1u);
  EXPECT_EQ(home.started[0].program, home.Pgm() + "Tessaro");
  EXPECT_EQ(home.started[0].args,
            (std::vector<std::string>{"aftersetup \"x\" ; rm -rf ~", "second"}));
  EXPECT_TRUE(home.started[0].options.detach);
  EXPECT_EQ(home.started[0].options.workDir, home.Pgm());
  EXPECT_EQ(SplitProgramParams("  a  \"\" b"), (std::vector<std::string>{"a", "", "b"}));
}

TEST_F(SetupEngine, AnEarlierInstallationGivesTheFolders) {
  TRegistryStore store;
  const std::string key = "\\SOFTWARE\\Merivan\\Tessaro";
  const std::string earlier = home.Home() + "apps/Tessaro/";
  std::filesystem::create_directories(earlier);
  ASSERT_TRUE(store.WriteString(TRegScope::User, key, "Exec", earlier + "Tessaro"));
  ASSERT_TRUE(store.WriteString(TRegScope::User, key, "DataPath", "/srv/tessaro"));
  // A program started from a build folder registers itself too: no installation of ours.
  ASSERT_TRUE(Run({kPathLine}, {}, true));
  EXPECT_EQ(SetupState().pgmPath, home.Pgm());
  EXPECT_EQ(SetupState().dataPath, home.Pgm() + "DemoData/");

  home.Fresh();
  WriteAllBytes(earlier + "uninstall", "ours");
  ASSERT_TRUE(Run({kPathLine}, {}, true));
  EXPECT_EQ(SetupState().pgmPath, earlier);
  EXPECT_EQ(SetupState().dataPath, "/srv/tessaro/");
  EXPECT_TRUE(SetupState().dataPathFromRegistry);
  EXPECT_EQ(SetupState().language, "DE");
  EXPECT_EQ(SetupState().version, "1.0");
}

}  // namespace
