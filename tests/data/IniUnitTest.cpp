#include "data/IniUnit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "basic/FileCtrl2.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"
#include "platform/PlatformFiles.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

namespace {

// One workstation: its own settings state, reservation registry and clock, on a data
// folder that several stations may share.
struct TStation {
  TMandantState state;
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  std::int64_t now = 0;
  int waits = 0;  // milliseconds

  TStation(const std::string& programDir, const std::string& dataDir) {
    registry.SetSleeper([this](int ms) { waits += ms; });
    // The first named instance becomes the registry's global reservation.
    GetAccessProtection(dataDir + "Data.wpf", lock, registry);
    state.Reservations = &registry;
    state.MonotonicMs = [this] { return now; };
    state.ProgramIniName = programDir + "Tessaro.ini";
    state.DataRoot = dataDir;
    state.DataPath = dataDir;
  }
  ~TStation() { ReleaseAccessProtection(lock); }
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.Path() / "prog");
    std::filesystem::create_directories(dir.Path() / "data");
    commandLine.Reset();
    a = std::make_unique<TStation>(ProgramDir(), DataDir());
    b = std::make_unique<TStation>(ProgramDir(), DataDir());
    scope = std::make_unique<TMandantStateScope>(a->state);
  }
  void TearDown() override {
    scope.reset();
    b.reset();
    a.reset();
  }

  std::string ProgramDir() const { return dir.Dir() + "prog/"; }
  std::string DataDir() const { return dir.Dir() + "data/"; }
  std::string ProgramIni() const { return ProgramDir() + "Tessaro.ini"; }
  std::string DataIni() const { return DataDir() + "Tessaro.ini"; }

  // Runs `work` as station B.
  template <class F>
  void AsB(F work) {
    TMandantStateScope asB(b->state);
    work();
  }

  TTempDir dir;
  TCommandLine commandLine;
  TCommandLineScope commandLineScope{commandLine};
  std::unique_ptr<TStation> a, b;
  std::unique_ptr<TMandantStateScope> scope;
};

}  // namespace

TEST_F(SettingsTest, FileNamesFollowProgramAndDataFolder) {
  EXPECT_EQ(SettingsFileName(0), ProgramIni());
  EXPECT_EQ(SettingsFileName(1), DataIni());
  a->state.DataPath = DataDir() + "client";  // the slash is added
  EXPECT_EQ(SettingsFileName(1), DataDir() + "client/Tessaro.ini");
  a->state.DataPath.clear();
  EXPECT_EQ(SettingsFileName(1), "");
  EXPECT_FALSE(WriteSetting(1, "BackupPath", "/b")) << "no data folder, nowhere to write";

  TMandantState fresh;
  TMandantStateScope freshScope(fresh);
  commandLine.Init({}, "/opt/tessaro/Tessaro.bin");
  EXPECT_EQ(SettingsFileName(0), "/opt/tessaro/Tessaro.ini");
  commandLine.Init({}, "/opt/other/Other");
  EXPECT_EQ(SettingsFileName(0), "/opt/tessaro/Tessaro.ini") << "fixed at first use";
}

TEST_F(SettingsTest, SwitchOverridesFileAndDataPathBelongsToLevelZero) {
  WriteAllBytes(ProgramIni(), "BackupPath=/from/file\r\nDataPath=/data/root\r\nLng=EN\r\n");
  WriteAllBytes(DataIni(), "DataPath=/wrong\r\nBackupInterval=7\r\n");
  commandLine.Init({"/backuppath:/from/switch"}, ProgramDir() + "Tessaro");

  EXPECT_EQ(ReadSettingStr(0, "BackupPath"), "/from/switch");
  EXPECT_EQ(ReadSettingStr(1, "BackupPath"), "/from/switch");
  EXPECT_EQ(ReadSettingStr(0, "lng"), "EN") << "names ignore case";
  EXPECT_EQ(ReadSettingStr(1, "BackupInterval"), "7");
  EXPECT_EQ(ReadSettingStr(1, "DataPath"), "/data/root");
  std::string value = "old";
  EXPECT_FALSE(ReadSetting(1, "Missing", value));
  EXPECT_EQ(value, "");

  ASSERT_TRUE(WriteSetting(1, "DataPath", "/new/root"));
  EXPECT_EQ(ReadAllBytes(DataIni()), "DataPath=/wrong\r\nBackupInterval=7\r\n");
  EXPECT_EQ(ReadAllBytes(ProgramIni()),
            "BackupPath=/from/file\r\nDataPath=/new/root\r\nLng=EN\r\n");
}

TEST_F(SettingsTest, UnchangedValueLeavesTheFileUntouched) {
  // Bare LF line ends: any rewrite would show as CR LF.
  const std::string original = "A=1\nB=2\n";
  WriteAllBytes(DataIni(), original);
  EXPECT_TRUE(WriteSetting(1, "A", "1"));
  EXPECT_TRUE(WriteSetting(1, "a", "1"));
  EXPECT_TRUE(WriteSetting(1, "Missing", "")) << "removing what is not there";
  EXPECT_EQ(ReadAllBytes(DataIni()), original);

  EXPECT_TRUE(WriteSetting(1, "A", "3"));
  EXPECT_TRUE(WriteSetting(1, "C", "x=y"));
  EXPECT_EQ(ReadAllBytes(DataIni()), "A=3\r\nB=2\r\nC=x=y\r\n");
  EXPECT_EQ(ReadSettingStr(1, "C"), "x=y");
  EXPECT_TRUE(WriteSetting(1, "B", ""));
  EXPECT_EQ(ReadAllBytes(DataIni()), "A=3\r\nC=x=y\r\n");
}

TEST_F(SettingsTest, NothingWrittenInReadOnlyOrTimeTravelMode) {
  WriteAllBytes(ProgramIni(), "PersonsTerm=Leute\r\n");
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode == 0 ? "read-only" : "time travel");
    a->state.ReadOnlyMode = mode == 0;
    a->state.TimeTravelMode = mode == 1;
    EXPECT_TRUE(WriteSetting(1, "BackupPath", "/b"));
    EXPECT_TRUE(WriteSetting(0, "Lng", "EN"));
    EXPECT_TRUE(WriteUserSetting("PersonsTerm", "Personen"));
    EXPECT_FALSE(std::filesystem::exists(DataIni()));
    EXPECT_EQ(ReadAllBytes(ProgramIni()), "PersonsTerm=Leute\r\n");
  }
}

TEST_F(SettingsTest, WriteUserSettingMovesTheValueToTheDataFolder) {
  WriteAllBytes(ProgramIni(), "PersonsTerm=Leute\r\nLng=DE\r\n");
  ASSERT_TRUE(WriteUserSetting("PersonsTerm", "Personen"));
  EXPECT_EQ(ReadAllBytes(DataIni()), "PersonsTerm=Personen\r\n");
  EXPECT_EQ(ReadAllBytes(ProgramIni()), "Lng=DE\r\n");

  // Without a data folder the program-level value must stay.
  a->state.DataPath.clear();
  EXPECT_FALSE(WriteUserSetting("Lng", "EN"));
  EXPECT_EQ(ReadAllBytes(ProgramIni()), "Lng=DE\r\n");
}

TEST_F(SettingsTest, CachesExpireByTheInjectedClock) {
  WriteAllBytes(DataIni(), "A=1\r\n");
  EXPECT_EQ(ReadSettingStr(1, "A"), "1");
  WriteAllBytes(DataIni(), "A=2\r\n");
  a->now = 4999;
  EXPECT_EQ(ReadSettingStr(1, "A"), "1") << "still within 5 seconds";
  a->now = 5000;
  EXPECT_EQ(ReadSettingStr(1, "A"), "2");

  WriteAllBytes(DataIni(), "A=3\r\n");
  a->now = 4000;  // a clock that went back proves nothing about the cache's age
  EXPECT_EQ(ReadSettingStr(1, "A"), "3");

  // Another data folder is another file: its cache is never the old folder's.
  std::filesystem::create_directories(dir.Path() / "other");
  WriteAllBytes(dir.File("other/Tessaro.ini"), "A=other\r\n");
  a->state.DataPath = dir.Dir() + "other/";
  EXPECT_EQ(ReadSettingStr(1, "A"), "other");
}

TEST_F(SettingsTest, AnotherStationsRecentChangeSurvives) {
  WriteAllBytes(DataIni(), "BackupPath=/b\r\n");
  EXPECT_EQ(ReadSettingStr(1, "BackupPath"), "/b");  // A's cache is now fresh
  AsB([] { ASSERT_TRUE(WriteSetting(1, "PersonsTerm", "Mitarbeiter")); });
  ASSERT_TRUE(WriteSetting(1, "BackupInterval", "7"));  // within A's 5 seconds
  EXPECT_EQ(ReadAllBytes(DataIni()),
            "BackupPath=/b\r\nPersonsTerm=Mitarbeiter\r\nBackupInterval=7\r\n");
  EXPECT_EQ(ReadSettingStr(1, "PersonsTerm"), "Mitarbeiter");
}

TEST_F(SettingsTest, WriteWithoutReservationFailsAndChangesNothing) {
  WriteAllBytes(DataIni(), "A=1\r\n");
  int ticket = 0;
  ASSERT_TRUE(b->lock->Reserve(ticket));
  EXPECT_FALSE(WriteSetting(1, "A", "2"));
  EXPECT_EQ(a->waits, TAccessProtection::kTotalWaitMs);  // the whole wait, then refused
  b->lock->Release(ticket);
  EXPECT_EQ(ReadAllBytes(DataIni()), "A=1\r\n");
  EXPECT_TRUE(WriteSetting(1, "A", "2"));
}

TEST_F(SettingsTest, FailedWriteOrReadKeepsEverySetting) {
  const std::string original = "BackupPath=/b\r\nBackupInterval=7\r\nPersonsTerm=Leute\r\n";
  WriteAllBytes(DataIni(), original);
  for (TPfOp op : {TPfOp::Write, TPfOp::Rename, TPfOp::Read}) {
    SCOPED_TRACE(static_cast<int>(op));
    {
      TPfFaultScope fault([op](TPfOp o, const std::string&) { return o == op ? 5 : 0; });
      EXPECT_FALSE(WriteSetting(1, "BackupInterval", "9"));
    }
    EXPECT_EQ(ReadAllBytes(DataIni()), original);
    EXPECT_EQ(ReadSettingStr(1, "PersonsTerm"), "Leute");
  }
  std::vector<TListedFile> files;
  ListFiles(DataDir(), "*", files);
  ASSERT_EQ(files.size(), 3u) << "the settings file, the lock file and its queue, no leftovers";
}

TEST_F(SettingsTest, NamesAndValuesThatWouldBreakTheFileAreRefused) {
  WriteAllBytes(DataIni(), "A=1\r\n");
  EXPECT_FALSE(WriteSetting(1, "B=C", "1"));
  EXPECT_FALSE(WriteSetting(1, "B\r\nA", "1"));
  EXPECT_FALSE(WriteSetting(1, "B", "1\r\nA=2"));
  EXPECT_EQ(ReadAllBytes(DataIni()), "A=1\r\n");
  EXPECT_TRUE(WriteSetting(1, "B", "x\ty"));
  EXPECT_EQ(ReadSettingStr(1, "B"), "x\ty");
}

TEST_F(SettingsTest, PerUserRegistryText) {
  TRegistryTestRoot root;
  SetRegistryProgramKey("\\Software\\Merivan\\Tessaro");
  // Bare LF line ends: any rewrite would show as CR LF.
  ASSERT_TRUE(RegWriteString(false, "ini", "WindowState=1,2\nZoom=100\n"));
  ASSERT_TRUE(RegWriteString(true, "ini", "Zoom=75\r\n"));

  EXPECT_EQ(ReadDataSettingStr("windowstate"), "1,2");
  EXPECT_EQ(RegistryIniLines(true).Value("Zoom"), "75");
  EXPECT_TRUE(WriteDataSetting("Zoom", "100"));
  EXPECT_EQ(RegReadString(false, "ini"), "WindowState=1,2\nZoom=100\n") << "unchanged";

  // Another program of this user changes the text within our 5 seconds: its change stays.
  ASSERT_TRUE(RegWriteString(false, "ini", "WindowState=3,4\r\nZoom=100\r\n"));
  EXPECT_EQ(ReadDataSettingStr("WindowState"), "1,2") << "cached";
  EXPECT_TRUE(WriteDataSetting("Zoom", "120"));
  EXPECT_EQ(RegReadString(false, "ini"), "WindowState=3,4\r\nZoom=120\r\n");
  EXPECT_EQ(RegReadString(true, "ini"), "Zoom=75\r\n");

  ASSERT_TRUE(RegWriteString(false, "ini", "Zoom=50\r\n"));
  a->now = 5000;
  EXPECT_EQ(ReadDataSettingStr("Zoom"), "50") << "expired";

  a->state.ReadOnlyMode = true;
  EXPECT_TRUE(WriteDataSetting("Zoom", "10"));
  EXPECT_EQ(RegReadString(false, "ini"), "Zoom=50\r\n");
  a->state.ReadOnlyMode = false;

  SetRegistryProgramKey("");
  EXPECT_FALSE(WriteDataSetting("Zoom", "10")) << "no registry key: not written";
}
