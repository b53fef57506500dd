#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/BackupUnit.h"
#include "app/TessaroMain.h"
#include "basic/ParamsUnit.h"
#include "data/AccessProtection.h"
#include "data/MandantUnit.h"
#include "support/TestSupport.h"

namespace {

TEST(Restart, DataPathInsideTheProgramFolderIsStoredRelative) {
  struct Case {
    const char* folder;
    const char* stored;
  };
  const Case cases[] = {
      {"/opt/tessaro/DemoData/", "DemoData/"},
      {"/OPT/Tessaro/Data/", "Data/"},  // compared ignoring case
      {"/opt/tessaro/Kunden/M\xFC" "ller/", "Kunden/M\xFC" "ller/"},
      {"/srv/share/Tessaro/", "/srv/share/Tessaro/"},
      {"/opt/tessaroX/Data/", "/opt/tessaroX/Data/"},
      {"/opt/", "/opt/"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DataPathSettingFor(c.folder, "/opt/tessaro/"), c.stored) << c.folder;
  EXPECT_EQ(DataPathSettingFor("/srv/x/", ""), "/srv/x/");
}

TEST(Restart, CommandIsTheLoaderElseTheProgramItselfWithWaitAndMultistart) {
  const std::vector<std::string> switches = {"wait:2", "multistart"};
  std::vector<std::string> asked;
  auto present = [&](const std::string& f) {
    asked.push_back(f);
    return true;
  };
  TRestartCommand command = RestartCommand("/opt/my tessaro/", "/opt/my tessaro/Tessaro", present);
  EXPECT_EQ(asked, std::vector<std::string>{"/opt/my tessaro/Start"});
  EXPECT_EQ(command.program, "/opt/my tessaro/Start") << "a blank needs no quotes in a vector";
  EXPECT_EQ(command.args, switches);

  command = RestartCommand("/opt/tessaro/", "/opt/tessaro/Tessaro",
                           [](const std::string&) { return false; });
  EXPECT_EQ(command.program, "/opt/tessaro/Tessaro");
  EXPECT_EQ(command.args, switches);

  TTempDir dir;  // the real look-up: a folder named "Start" is no loader
  std::filesystem::create_directory(dir.Path() / "Start");
  EXPECT_EQ(RestartCommand(dir.Dir(), dir.Dir() + "Tessaro").program, dir.Dir() + "Tessaro");
  WriteAllBytes(dir.File("Start2"), "");
  std::filesystem::remove(dir.Path() / "Start");
  WriteAllBytes(dir.File("Start"), "");
  EXPECT_EQ(RestartCommand(dir.Dir(), dir.Dir() + "Tessaro").program, dir.Dir() + "Start");
}

// A program folder with its settings file, the program's command line and settings state,
// and a restart that records what it would start.
class SwitchDataPath : public ::testing::Test {
 protected:
  SwitchDataPath() {
    registry_.SetSleeper([](int) {});
    GetAccessProtection(dir_.Dir() + "Data.wpf", lock_, registry_);
    state_.Reservations = &registry_;
    state_.ProgramIniName = Ini();
    commandLine_.Init({"datapath=/somewhere/else/"}, dir_.Dir() + "Tessaro");
    hooks_.start = [this](const std::string& program, const std::vector<std::string>& args) {
      started_.push_back(program);
      startedArgs_ = args;
      return startWorks_;
    };
    hooks_.fileExists = [](const std::string&) { return true; };
    hooks_.terminate = [this] { ++terminated_; };
  }
  ~SwitchDataPath() override {
    BackupSettings() = savedBackup_;
    ReleaseAccessProtection(lock_);
  }

  std::string Ini() const { return dir_.Dir() + "Tessaro.ini"; }
  std::string IniText() const {
    return std::filesystem::exists(Ini()) ? ReadAllBytes(Ini()) : std::string("(none)");
  }

  TBackupSettings savedBackup_ = BackupSettings();
  TTempDir dir_;
  TAccessProtectionRegistry registry_;
  TAccessProtection* lock_ = nullptr;
  TMandantState state_;
  TMandantStateScope stateScope_{state_};
  TCommandLine commandLine_;
  TCommandLineScope commandLineScope_{commandLine_};
  TScopedRecorder ui_;
  TRestartHooks hooks_;
  bool startWorks_ = true;
  std::vector<std::string> started_;
  std::vector<std::string> startedArgs_;
  int terminated_ = 0;
};

TEST_F(SwitchDataPath, StoresTheFolderStartsTheLoaderAndEnds) {
  WriteAllBytes(Ini(), "Language=DE\r\nDataPath=Data/\r\n");
  BackupSettings().Interval = biWeekly;
  EXPECT_TRUE(SwitchDataPathAndRestart(dir_.Dir() + "DemoData/", hooks_));
  EXPECT_EQ(IniText(), "Language=DE\r\nDataPath=DemoData/\r\n");
  EXPECT_EQ(started_, std::vector<std::string>{dir_.Dir() + "Start"});
  EXPECT_EQ(startedArgs_, (std::vector<std::string>{"wait:2", "multistart"}))
      << "no switch of this run (its datapath) goes on";
  EXPECT_EQ(terminated_, 1);
  EXPECT_EQ(BackupSettings().Interval, biManual) << "no automatic backup at this closing";
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_GE(ui_.pendingEventCalls, 1);
}

TEST_F(SwitchDataPath, FailedWriteShowsTheMessageAndStartsNothing) {
  std::filesystem::create_directory(Ini());  // the settings file cannot be written
  EXPECT_FALSE(SwitchDataPathAndRestart("/srv/new/", hooks_));
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(terminated_, 0) << "this instance keeps running";
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].kind, TMsgKind::Error);
  EXPECT_EQ(ui_.messages[0].text, "Der Pfad konnte nicht \xFC" "bernommen werden.");
}

TEST_F(SwitchDataPath, ReadOnlyAndTimeTravelRunsWriteNothingAndSaySo) {
  WriteAllBytes(Ini(), "DataPath=Data/\r\n");
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    state_.ReadOnlyMode = mode == 0;
    state_.TimeTravelMode = mode == 1;
    ui_.Clear();
    // mode 2: an empty folder is no folder
    EXPECT_FALSE(SwitchDataPathAndRestart(mode == 2 ? "" : "/srv/new/", hooks_));
    EXPECT_EQ(ui_.messages.size(), 1u);
  }
  EXPECT_EQ(IniText(), "DataPath=Data/\r\n");
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(terminated_, 0);
}

TEST_F(SwitchDataPath, FailedStartKeepsTheRunAndTheOldSetting) {
  for (const std::string before : {"DataPath=Data/\r\n", ""}) {
    SCOPED_TRACE(before);
    WriteAllBytes(Ini(), before);
    ui_.Clear();
    startWorks_ = false;
    BackupSettings().Interval = biWeekly;
    EXPECT_FALSE(SwitchDataPathAndRestart("/srv/new/", hooks_));
    EXPECT_EQ(BackupSettings().Interval, biWeekly);
    EXPECT_EQ(IniText(), before) << "the setting names the folder this run still uses";
    EXPECT_EQ(terminated_, 0);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Der Pfad konnte nicht \xFC" "bernommen werden.");
  }
}

}  // namespace
