#include "setup/SetupMainUnit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "basic/FileCtrl2.h"
#include "data/StockUnit.h"
#include "platform/RegistryStore.h"
#include "setup/NTSecurity.h"
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
    EXPECT_EQ(ui.messages.back().caption, "Setup");
    EXPECT_EQ(ui.messages.back().kind, TMsgKind::Error);
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

  // A placeholder without a value is reported and the run goes on: the folder it would
  // name stays unset, the file it would name is not written but its data is consumed, so
  // the next file gets its own; the run's result is false.
  s.isAdmin = false;
  home.Fresh();
  const TPayloadFile f{"x"}, g{"second file"};
  EXPECT_FALSE(Run({"action=path,DataPath=*PgmPath*DemoData", SaveLine("*DataPath*a", f),
                    "action=icon,lnk=*MyStartMenu*T.lnk,file=*PgmPath*T",
                    "action=path,PgmPath=*Programs*Tessaro\\", SaveLine("*PgmPath*b", g)},
                   {f, g}));
  EXPECT_EQ(SetupState().errorText,
            "no def for *PgmPath*; no def for *DataPath*; no def for *MyStartMenu*; ");
  EXPECT_EQ(SetupState().dataPath, "");
  EXPECT_EQ(TreeOf(home.Home() + ".local/opt"),
            (std::vector<std::string>{"Tessaro/", "Tessaro/b"}));
  EXPECT_EQ(ReadAllBytes(home.Pgm() + "b"), "second file");
  EXPECT_EQ(SetupState().log.size(), 6u) << "every command ran, then the errors";
  EXPECT_EQ(ReadAllBytes(SetupLogFileName()).find("Command failed"), std::string::npos);
}

// Every folder Setup creates serves every local user: mode 0777 whatever the umask, the
// creator's group, and a default access list that gives what is made inside later full
// access for all as well. Folders that existed stay as they were and are not recorded.
TEST_F(SetupEngine, CreatedFoldersAreRecordedEachOnceAndOpenToEveryUser) {
  std::filesystem::create_directories(home.Home() + ".local");
  ASSERT_EQ(chmod((home.Home() + ".local").c_str(), 0700), 0);
  const TPayloadFile a{"a"}, b{"b"}, c{"c"}, d{"data"};
  const mode_t old = umask(077);
  const bool ok = Run({kPathLine, SaveLine("*PgmPath*sub/a", a), SaveLine("*PgmPath*sub/b", b),
                       SaveLine("*PgmPath*c", c), SaveLine("*DataPath*Data.ada", d)},
                      {a, b, c, d});
  umask(old);
  ASSERT_TRUE(ok) << SetupState().errorText;
  EXPECT_EQ(SetupState().createdFolders,
            (std::vector<std::string>{home.Home() + ".local/opt/", home.Pgm(),
                                      home.Pgm() + "DemoData/", home.Pgm() + "sub/"}));
  for (const std::string& folder : SetupState().createdFolders) {
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 07777, 0777u) << folder;
    EXPECT_EQ(st.st_gid, getegid()) << folder;
    EXPECT_EQ(DefaultAccessListText(folder), "u::rwx,g::rwx,o::rwx") << folder;
  }
  EXPECT_EQ(ModeOf(home.Home() + ".local"), 0700u) << "an existing folder is left alone";
  EXPECT_EQ(DefaultAccessListText(home.Home() + ".local"), "");
  // The program's files stay the installer's; the data is everybody's.
  EXPECT_EQ(ModeOf(home.Pgm() + "c"), 0644u);
  EXPECT_EQ(ModeOf(home.Pgm() + "DemoData/Data.ada"), 0666u);

  // What the program makes there later inherits the access, whatever its user's umask.
  const mode_t strict = umask(077);
  const std::string data = home.Pgm() + "DemoData/";
  const int fd = open((data + "Log.alg").c_str(), O_CREAT | O_WRONLY, 0666);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_EQ(mkdir((data + "Backup").c_str(), 0777), 0);
  umask(strict);
  EXPECT_EQ(ModeOf(data + "Log.alg"), 0666u);
  EXPECT_EQ(ModeOf(data + "Backup"), 0777u);
  EXPECT_EQ(DefaultAccessListText(data + "Backup"), "u::rwx,g::rwx,o::rwx");
}

// Versions are normalised ("2.1" -> "02.10") and compared as text; the dated versions of
// the program ("2008-04") compare as they are.
TEST_F(SetupEngine, Versions) {
  struct TCase {
    const char* a;
    const char* b;
    int expected;
  };
  const TCase cases[] = {
      {"10.0", "2.1", 1},        {"2.1", "10.0", -1},
      {"2.10", "2.9", -1},       {"2.9", "2.10", 1},
      {" 2.1 ", "2.10", 0},      {"2009-01", "2008-04", 1},
      {"2008-04", "2008-04", 0}, {"2008-04", "2008-11", -1},
      {"123.4", "99.9", -1},  // as text: the scheme knows no three-digit major version
  };
  for (const TCase& c : cases)
    EXPECT_EQ(CompareSetupVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
  for (const auto& [version, normal] :
       std::vector<std::pair<const char*, const char*>>{{"2.1", "02.10"},
                                                        {"10.0", "10.00"},
                                                        {".5", "00.50"},
                                                        {"123.4", "123.4"},
                                                        {"2008-04", "2008-04"},
                                                        {" 1.0 ", "01.00"}})
    EXPECT_EQ(NormalizeSetupVersion(version), normal) << version;

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
      {"2.1", "10.0", true, true},         {"2.1", "10.0", false, false},
      {"10.0", "2.1", true, false},        {"2.9", "2.10", true, false},
      {"", "10.0", true, false},           {"2.1", "", true, false},
      {"2.1", "2010", true, false},        {"2008-04", "2009-01", true, true},
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

// The command list shipped gives the version in the scheme the program registers, so an
// older setup is told that the installed program is newer, and the same one is not.
TEST_F(SetupEngine, TheShippedVersionAgainstTheOneTheProgramRegisters) {
  std::vector<std::string> lines;
  ASSERT_EQ(LoadTextFile(TESSARO_SETUP_RESOURCES "/Setup.cmd", lines), ltfRead);
  std::string pathLine;
  for (const std::string& line : lines)
    if (line.rfind("action=path,", 0) == 0) pathLine = line;
  TQStringList cmd;
  cmd.SetCommaText(pathLine);
  const std::string shipped = cmd.Value("Version");
  EXPECT_EQ(shipped, kRegistryVersion);

  TRegistryStore store;
  const std::string key = "\\SOFTWARE\\Merivan\\Tessaro";
  SetupState().registryKey = "SOFTWARE\\Merivan\\Tessaro";
  WriteAllBytes(home.Home() + "Tessaro", "x");
  ASSERT_TRUE(store.WriteString(TRegScope::User, key, "Exec", home.Home() + "Tessaro"));
  ASSERT_TRUE(store.WriteString(TRegScope::User, key, "Ver", kRegistryVersion));
  SetupState().version = shipped;
  EXPECT_FALSE(NewerVersionInstalled());
  SetupState().version = "2007-11";
  EXPECT_TRUE(NewerVersionInstalled());
  SetupState().version = "2009-01";
  EXPECT_FALSE(NewerVersionInstalled());
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
    EXPECT_FALSE(Exists(home.Pgm() + ".directory")) << "no icon, no folder icon";
  }
  // With its icon there, the folder gets it through the ".directory" desktop entry, which
  // the uninstaller removes with the rest.
  home.Fresh();
  WriteAllBytes(home.Pgm() + "x.ico", "icon");
  ASSERT_TRUE(Run(commands)) << SetupState().errorText;
  EXPECT_EQ(ReadAllBytes(home.Pgm() + ".directory"),
            "[Desktop Entry]\nIcon=" + home.Pgm() + "x.ico\n");
  EXPECT_EQ(SetupState().writtenFiles.back(), home.Pgm() + ".directory");
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
