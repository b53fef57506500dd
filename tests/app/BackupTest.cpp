#include "app/BackupUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/ParamsUnit.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StockUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Records whether this workstation held the reservation at the moment a message was shown
// or a question asked: nobody may be kept waiting on a modal box.
class TLockProbe : public TRecordingInteraction {
 public:
  TAccessProtectionRegistry* registry = nullptr;
  int shownWhileHeld = 0;
  int busy = 0;  // hourglass on minus off
  int shownWhileBusy = 0;

  void ShowMessage(TMsgKind kind, const std::string& text) override {
    Probe();
    TRecordingInteraction::ShowMessage(kind, text);
  }
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override {
    Probe();
    return TRecordingInteraction::Ask(kind, text, buttons);
  }
  void Probe() {
    if (registry->Default().Locked()) ++shownWhileHeld;
    if (busy != 0) ++shownWhileBusy;
  }
};

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.Path() / "data");
    fs::create_directories(dir.Path() / "prog");
    registry.SetSleeper([](int) {});
    state.DataRoot = DataDir();
    state.DataPath = DataDir();
    state.ProgramIniName = dir.Dir() + "prog/Tessaro.ini";
    state.Reservations = &registry;
    state.MonotonicMs = [this] { return ms; };
    history.SetFolder(DataDir());
    probe.registry = &registry;
    db.Registry = &registry;
    db.StationKey = "A";
    ASSERT_TRUE(db.Open(DataDir(), "Data", "Tessaro"));

    settings.Path = BackupDir();
    env.DB = &db;
    env.Settings = &settings;
    env.DataPath = DataDir();
    env.ClockSource = &clock;
    env.Busy = [this](bool on) { probe.busy += on ? 1 : -1; };
    env.Ask = [this] {
      ++asked;
      probe.Probe();
      return answer;
    };
  }

  std::string DataDir() const { return dir.Dir() + "data/"; }
  std::string BackupDir() const { return dir.Dir() + "backup/"; }
  std::string DataIni() const { return DataDir() + "Tessaro.ini"; }
  std::string IniText() const {
    return fs::exists(DataIni()) ? ReadAllBytes(DataIni()) : std::string();
  }
  // A change saved by this station.
  void SaveChange(const std::string& value = "1") { ASSERT_TRUE(db.SetHeaderValue("Probe", value)); }
  std::vector<std::string> BackupFiles() const {
    std::vector<std::string> names;
    if (fs::exists(BackupDir()))
      for (const auto& entry : fs::directory_iterator(BackupDir()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  void SetToday(int y, int m, int d) { clock.Set(EncodeDateTime(y, m, d, 14, 5, 33)); }

  TUtcZone zone;
  TTempDir dir;
  TCommandLine commandLine;
  TCommandLineScope commandLineScope{commandLine};
  TAccessProtectionRegistry registry;
  TMandantState state;
  TMandantStateScope stateScope{state};
  std::int64_t ms = 0;
  THistory history{&registry};
  THistoryScope historyScope{history};
  TFixedClock clock{EncodeDateTime(2026, 12, 10, 14, 5, 33)};
  TClockScope clockScope{clock};
  TLockProbe probe;
  TUserInteractionScope uiScope{probe};
  TMiniDB db;
  TBackupSettings settings;
  TBackupEnvironment env;
  int asked = 0;
  int answer = mrYes;
};

}  // namespace

TEST(BackupDue, TableOfIntervalsAndDates) {
  struct Case {
    int days;
    TPackedDate last, today;
    bool due;
  } cases[] = {
      {1, PackDate(2026, 12, 9), PackDate(2026, 12, 10), true},     // daily, yesterday
      {1, PackDate(2026, 12, 10), PackDate(2026, 12, 10), false},   // daily, today
      {1, PackDate(2026, 12, 31), PackDate(2027, 1, 1), true},      // over New Year
      {7, PackDate(2026, 12, 4), PackDate(2026, 12, 10), false},    // weekly, 6 days ago
      {7, PackDate(2026, 12, 3), PackDate(2026, 12, 10), true},     // weekly, 7 days ago
      {7, PackDate(2026, 2, 25), PackDate(2026, 3, 4), true},       // across February
      {30, PackDate(2026, 11, 30), PackDate(2026, 12, 1), true},    // monthly, new month
      {30, PackDate(2026, 10, 31), PackDate(2026, 11, 1), true},    // from the 31st
      {30, PackDate(2026, 12, 1), PackDate(2026, 12, 31), false},   // same month
      {30, PackDate(2025, 12, 20), PackDate(2026, 12, 1), true},    // same month, other year
      {1, 0, PackDate(2026, 12, 10), true},                         // never made
      {0, 0, PackDate(2026, 12, 10), false},                        // manual
      {0, PackDate(2020, 1, 1), PackDate(2026, 12, 10), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsBackupDue(c.days, c.last, c.today), c.due)
        << c.days << " days, last " << PackedDateToIsoStr(c.last) << ", today "
        << PackedDateToIsoStr(c.today);
}

TEST(BackupSettingsText, StoredValuesAndDates) {
  const std::pair<const char*, int> intervals[] = {
      {"0", biManual}, {"1", biDaily}, {"7", biWeekly}, {"30", biMonthly},
      {"14", biDaily}, {"", biDaily}, {"x", biDaily}};
  for (const auto& [text, index] : intervals) EXPECT_EQ(BackupIntervalFromDays(text), index) << text;
  EXPECT_EQ(BackupDateFromText("2026-12-10"), PackDate(2026, 12, 10));
  for (const char* bad : {"", "#", "10.12.2026", "2026-02-30", "2026-13-01", "2026-1-10"})
    EXPECT_EQ(BackupDateFromText(bad), 0) << bad;
}

TEST_F(BackupTest, ReadingAClientsSettingsStartsFromTheDefaults) {
  WriteAllBytes(DataIni(),
                "BackupPath=/elsewhere\r\nBackupInterval=30\r\nBackupRequester=0\r\n"
                "BackupLastDate=2026-01-02\r\n");
  TBackupSettings read;
  ReadBackupSettings(read, dir.Dir() + "prog/");
  EXPECT_EQ(read.Path, "/elsewhere/");
  EXPECT_EQ(read.Interval, biMonthly);
  EXPECT_FALSE(read.Requester);
  EXPECT_EQ(read.LastDate, PackDate(2026, 1, 2));

  // The next client has none of these keys: nothing of the first client may remain.
  fs::create_directories(dir.Path() / "other");
  state.DataPath = dir.Dir() + "other/";
  state.InvalidateCaches();
  ReadBackupSettings(read, dir.Dir() + "prog");
  EXPECT_EQ(read.Path, dir.Dir() + "prog/Backup/");
  EXPECT_EQ(read.Interval, biDaily);
  EXPECT_TRUE(read.Requester);
  EXPECT_EQ(read.LastDate, 0);
}

// A clean build deletes the build folder: backups of a program run from one go beside the
// data instead.
TEST_F(BackupTest, ProgramInABuildFolderKeepsItsBackupsBesideTheData) {
  fs::create_directories(dir.Path() / "build" / "release" / "bin");
  WriteAllBytes(dir.Dir() + "build/release/CMakeCache.txt", "");
  EXPECT_TRUE(InsideBuildFolder(dir.Dir() + "build/release/bin/"));
  EXPECT_TRUE(InsideBuildFolder(dir.Dir() + "build/release"));
  EXPECT_FALSE(InsideBuildFolder(dir.Dir() + "prog/"));
  TBackupSettings read;
  ReadBackupSettings(read, dir.Dir() + "build/release/bin/");
  EXPECT_EQ(read.Path, state.DataPath + "Backup/");
  ReadBackupSettings(read, dir.Dir() + "prog/");
  EXPECT_EQ(read.Path, dir.Dir() + "prog/Backup/");
}

TEST_F(BackupTest, AutomaticBackupFollowsIntervalLastDateAndSaves) {
  struct Case {
    const char* what;
    int interval;
    TPackedDate last;
    bool saved;
    bool requester;
    int answer;
    bool made;
  } cases[] = {
      {"daily, yesterday", biDaily, PackDate(2026, 12, 9), true, true, mrYes, true},
      {"daily, today", biDaily, PackDate(2026, 12, 10), true, true, mrYes, false},
      {"weekly, 6 days", biWeekly, PackDate(2026, 12, 4), true, true, mrYes, false},
      {"weekly, 7 days", biWeekly, PackDate(2026, 12, 3), true, false, mrNo, true},
      {"monthly, last month", biMonthly, PackDate(2026, 11, 30), true, true, mrYes, true},
      {"nothing saved", biDaily, 0, false, true, mrYes, false},
      {"manual", biManual, 0, true, true, mrYes, false},
      {"answered No", biDaily, 0, true, true, mrNo, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(db.Open(DataDir(), "Data", "Tessaro"));  // a fresh opening: nothing saved
    fs::remove_all(BackupDir());
    settings.Interval = c.interval;
    settings.LastDate = c.last;
    settings.Requester = c.requester;
    answer = c.answer;
    asked = 0;
    if (c.saved) SaveChange(c.what);
    EXPECT_EQ(AutoBackupCheck(env), c.made);
    EXPECT_EQ(!BackupFiles().empty(), c.made);
    const bool shouldAsk = c.requester && c.saved && c.interval != biManual &&
                           IsBackupDue(BackupIntervalDays(c.interval), c.last,
                                       PackDate(2026, 12, 10));
    EXPECT_EQ(asked, shouldAsk ? 1 : 0);
    EXPECT_EQ(settings.LastDate, c.made ? PackDate(2026, 12, 10) : c.last);
  }
  EXPECT_NE(IniText().find("BackupLastDate=2026-12-10\r\n"), std::string::npos);
  EXPECT_EQ(probe.shownWhileHeld, 0) << "the question came while the reservation was held";
}

TEST_F(BackupTest, NoBackupInSpecialModes) {
  SaveChange();
  settings.LastDate = 0;
  for (int mode = 0; mode < 4; ++mode) {
    TBackupEnvironment e = env;
    e.SandboxMode = mode == 0;
    e.TimeTravelMode = mode == 1;
    e.ReadOnlyMode = mode == 2;
    db.NoSave = mode == 3;
    EXPECT_FALSE(AutoBackupCheck(e)) << mode;
    if (mode != 2) {
      EXPECT_FALSE(BackupDatabase(e, BackupDir(), true)) << mode;
    }
  }
  db.NoSave = false;
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(BackupFiles().empty());
  env.SandboxMode = true;
  EXPECT_FALSE(BackupNow1Click(env));
  EXPECT_EQ(probe.AllText(), CoreText(75));
}

TEST_F(BackupTest, BackupsOfOneMinuteKeepEachOtherAndCopyTheHistory) {
  ASSERT_TRUE(history.New(4, 7, "Key 7", ""));
  std::vector<std::string> contents;
  for (int i = 0; i < 4; ++i) {
    SaveChange(std::to_string(i));
    std::string made;
    ASSERT_TRUE(BackupDatabase(env, BackupDir(), true, &made)) << i;
    contents.push_back(ReadAllBytes(made));
    EXPECT_EQ(contents.back(), ReadAllBytes(db.FileName));
  }
  EXPECT_EQ(BackupFiles(), (std::vector<std::string>{
                               "Data 2026-12-10 14.05.33 (2).ada", "Data 2026-12-10 14.05.33.ada",
                               "Data 2026-12-10 14.05.ada", "Data 2026-12-10.ada", "Log2026.alg"}));
  for (int i = 1; i < 4; ++i) EXPECT_NE(contents[i], contents[i - 1]);
  EXPECT_EQ(ReadAllBytes(BackupDir() + "Log2026.alg"), ReadAllBytes(history.FileNameOf(2026)));
  EXPECT_EQ(settings.LastDate, PackDate(2026, 12, 10));
  EXPECT_TRUE(probe.messages.empty()) << probe.AllText();

  // Another client's store carries its name; the menu command names the folder.
  TMiniDB client;
  client.Registry = &registry;
  ASSERT_TRUE(client.Open(DataDir(), "Data-Nord", "Tessaro"));
  ASSERT_TRUE(client.SetHeaderValue("Probe", "n"));
  env.DB = &client;
  ASSERT_TRUE(BackupNow1Click(env));
  EXPECT_TRUE(fs::exists(BackupDir() + "Data-Nord 2026-12-10.ada"));
  EXPECT_EQ(probe.AllText(), BackupMainText(9) + "\r" + BackupDir());
}

TEST_F(BackupTest, ABackupFolderEqualToTheDataFolderMeansItsBackupSubfolder) {
  SaveChange();
  EXPECT_EQ(EffectiveBackupFolder("/Data/Client", "/data/client/"), "/data/client/Backup/");
  EXPECT_EQ(EffectiveBackupFolder("", "/data/"), "/data/Backup/");
  EXPECT_EQ(EffectiveBackupFolder("/b", "/data/"), "/b/");
  ASSERT_TRUE(BackupDatabase(env, DataDir(), false));
  EXPECT_TRUE(fs::exists(DataDir() + "Backup/Data 2026-12-10.ada"));
  EXPECT_EQ(settings.LastDate, 0) << "recorded only when asked to";
}

TEST_F(BackupTest, FailuresAreToldOnceAndLeaveNoPartialFileAndTheDateUnchanged) {
  SaveChange();
  settings.LastDate = PackDate(2026, 12, 1);
  ASSERT_TRUE(WriteBackupLastDate(settings));
  const std::string iniBefore = IniText();

  struct Case {
    const char* what;
    std::function<int(TPfOp, const std::string&)> fault;
    std::string message;
  } cases[] = {
      {"write of the copy fails",
       [](TPfOp op, const std::string&) { return op == TPfOp::Write ? 28 : 0; },
       BackupMainText(8)},
      {"rename of the copy fails",
       [this](TPfOp op, const std::string& path) {
         return op == TPfOp::Rename && path.rfind(BackupDir(), 0) == 0 ? 5 : 0;
       },
       BackupMainText(8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    probe.Clear();
    {
      TPfFaultScope fault(c.fault);
      EXPECT_FALSE(BackupDatabase(env, BackupDir(), true));
    }
    EXPECT_EQ(probe.AllText(), c.message);
    EXPECT_TRUE(BackupFiles().empty()) << BackupFiles().front();
    EXPECT_EQ(settings.LastDate, PackDate(2026, 12, 1));
    EXPECT_EQ(IniText(), iniBefore);
  }

  // A folder that cannot be made.
  probe.Clear();
  WriteAllBytes(dir.File("plain"), "x");
  const std::string below = dir.Dir() + "plain/sub/";
  EXPECT_FALSE(BackupDatabase(env, below, true));
  EXPECT_EQ(probe.AllText(), BackupMainText(7) + "\r" + below);

  // The reservation held by another workstation.
  probe.Clear();
  TAccessProtectionRegistry other;
  other.SetSleeper([](int) {});
  TAccessProtection* held = nullptr;
  GetAccessProtection(DataDir() + "Data.wpf", held, other);
  int ticket = 0;
  ASSERT_TRUE(held->Reserve(ticket));
  int lockFailed = 0;
  env.LockFailed = [&] { ++lockFailed; };
  EXPECT_FALSE(BackupDatabase(env, BackupDir(), true));
  EXPECT_EQ(lockFailed, 1);
  env.LockFailed = nullptr;
  EXPECT_FALSE(BackupDatabase(env, BackupDir(), true));
  EXPECT_EQ(probe.AllText(), CoreText(27));
  held->Release(ticket);
  ReleaseAccessProtection(held);

  EXPECT_TRUE(BackupFiles().empty());
  EXPECT_EQ(settings.LastDate, PackDate(2026, 12, 1));
  EXPECT_EQ(IniText(), iniBefore);
  EXPECT_EQ(probe.shownWhileHeld, 0) << "a message was shown while the reservation was held";
  EXPECT_EQ(probe.shownWhileBusy, 0) << "a message was shown under the hourglass";
  EXPECT_EQ(probe.busy, 0) << "the hourglass stayed on";
}

TEST_F(BackupTest, NotAgainSwitchesAskingOffAndWithNoTheAutomaticBackupToo) {
  struct Case {
    int answer;
    bool notAgain;
    bool requester;
    int interval;
    const char* ini;
    bool told;
  } cases[] = {
      {mrNo, true, false, biManual, "BackupRequester=0\r\nBackupInterval=0\r\n", true},
      {mrYes, true, false, biWeekly, "BackupRequester=0\r\n", false},
      {mrNo, false, true, biWeekly, "", false},
      {mrCancel, true, true, biWeekly, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.answer) + (c.notAgain ? " ticked" : ""));
    fs::remove(DataIni());
    state.InvalidateCaches();
    probe.Clear();
    settings.Requester = true;
    settings.Interval = biWeekly;
    ApplyBackupQuestionAnswer(settings, c.answer, c.notAgain);
    EXPECT_EQ(settings.Requester, c.requester);
    EXPECT_EQ(settings.Interval, c.interval);
    EXPECT_EQ(IniText(), c.ini);
    EXPECT_EQ(probe.AllText(), c.told ? BackupQuestionText(4) : "");
  }
}
