// Time travel: the month's change log and copy written around a station's saves, the replay
// of a month, the change entries of the change log viewer, and the start of a time-travel
// instance with its login hand-over.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "MiniDBTestSupport.h"
#include "basic/DateClock.h"
#include "basic/Hex32Unit.h"
#include "basic/ValueString.h"
#include "data/TimeTravelUnit.h"
#include "platform/PlatformFiles.h"

namespace {

const double kMarch10 = EncodeDateTime(2026, 3, 10, 12, 0, 0);
const double kApril2 = EncodeDateTime(2026, 4, 2, 8, 30, 0);
const double kMinute = 1.0 / 1440;

// A workstation whose store logs its changes, on a pinned clock. The store closes (and
// may still log) before the log goes.
struct TLoggingStation {
  TFixedClock clock{kMarch10};
  TClockScope clockScope{clock};
  TStation station{"A"};
  TTimebackLog log{&station.registry};
  std::string folder;

  explicit TLoggingStation(const TTempDir& dir) : folder(dir.Dir() + "TimeTravel/") {
    log.Setup(folder);
    log.CurrentUserID = [] { return 7; };
  }
  ~TLoggingStation() { station->Close(); }
  // Opens the store; `hook` makes it log (what the login does in normal operation).
  bool Open(const TTempDir& dir, bool hook = true) {
    if (!station.Open(dir)) return false;
    if (hook) {
      station->TimebackLog = &log;
      station->MonthlyCopy();
    }
    return true;
  }
  TMiniDB* operator->() { return station.db.get(); }
  std::string Tbl(const std::string& period) const {
    return folder + period.substr(0, 4) + "/" + period + ".tbl";
  }
  std::string Copy(const std::string& period) const {
    return folder + period.substr(0, 4) + "/" + period + ".ada";
  }
};

bool Exists(const std::string& file) { return std::filesystem::exists(file); }

std::string StoreHeader(int32_t lastID) { return "LastID=" + std::to_string(lastID); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Logging

// The change log's lines of one record, after the start line.
std::vector<std::string> LoggedLinesOf(const std::string& tbl, int32_t id) {
  std::vector<std::string> found;
  const std::vector<std::string> lines = FileLines(tbl);
  for (size_t i = 1; i < lines.size(); ++i) {
    const size_t semi = lines[i].find(';');
    const size_t second = lines[i].find(';', semi + 1);
    if (semi != std::string::npos && second != std::string::npos &&
        lines[i].substr(semi + 1, second - semi - 1) == std::to_string(id))
      found.push_back(lines[i]);
  }
  return found;
}

// A save of many records puts their change-log lines in one piece; a station killed at any
// step of that save leaves, once the next station has opened the store for writing, a log
// that holds each change the store saved exactly once and none it did not save. A piece
// cut short (killed while it was written) is completed the same way.
TEST(TimeTravelLog, AKillAtAnyStepOfASaveLeavesALogThatMatchesTheStore) {
  constexpr int kRecords = 3;
  for (int step = 1;; ++step) {
    SCOPED_TRACE(step);
    TTempDir dir;
    std::vector<int32_t> ids;
    {
      TLoggingStation setup(dir);
      ASSERT_TRUE(setup.Open(dir));
      for (int i = 0; i < kRecords; ++i) ids.push_back(setup->NewNamedRecord(4, "S", ""));
      ASSERT_TRUE(setup->Commit());
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TLoggingStation k(dir);
      if (!k.Open(dir)) _exit(2);
      k->AutoSave = false;
      for (int32_t id : ids) {
        k->SetField(id, "r", "neu");
        k->StoreCurrent();
      }
      int ops = 0;
      TPfFaultScope kill([&](TPfOp, const std::string&) {
        if (++ops == step) _exit(9);
        return 0;
      });
      _exit(k->SaveIfModified() ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 9) << WEXITSTATUS(status);
    const bool completed = WEXITSTATUS(status) == 0;

    TScopedRecorder ui;
    TLoggingStation next(dir);
    ASSERT_TRUE(next.Open(dir));  // what the login does: settles what the killed one left
    const std::string tbl = next.Tbl("2026-03");
    const auto check = [&] {
      const bool saved = next->ReadLineField(ids[0], "r") == "neu";
      for (int32_t id : ids) {
        EXPECT_EQ(next->ReadLineField(id, "r") == "neu", saved);  // one save: all or none
        const std::vector<std::string> lines = LoggedLinesOf(tbl, id);
        ASSERT_EQ(lines.size(), saved ? 2u : 1u) << ::testing::PrintToString(lines);
        EXPECT_TRUE(lines.back().ends_with("\t" + next->GetRecordText(id))) << lines.back();
      }
    };
    check();
    if (!completed) continue;

    // The whole save went through. Its piece cut short, as a kill while it is written
    // leaves it: the next station to open completes it, byte for byte.
    const std::string whole = ReadAllBytes(tbl);
    std::filesystem::resize_file(tbl, whole.size() - 40);
    {
      TLoggingStation later(dir);
      ASSERT_TRUE(later.Open(dir));
    }
    EXPECT_EQ(ReadAllBytes(tbl), whole);
    check();
    break;
  }
}

TEST(TimeTravelLog, FirstChangeOfAMonthMakesLogAndCopyTheSecondOnlyAppends) {
  TTempDir dir;
  TLoggingStation a(dir);
  ASSERT_TRUE(a.Open(dir, false));
  const int32_t id = a->NewNamedRecord(4, "Alt", "");
  ASSERT_TRUE(a->Commit());
  const std::string before = ReadAllBytes(dir.File("Data.ada"));

  a->TimebackLog = &a.log;  // hooked after the store already held the record
  a->SetField(id, "n", "Neu");
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(Exists(a.Tbl("2026-03")));
  ASSERT_TRUE(Exists(a.Copy("2026-03")));
  // The copy is the store before the month's first change, not after it.
  EXPECT_EQ(ReadAllBytes(a.Copy("2026-03")), before);
  const std::string line1 = DoubleToHex32(kMarch10) + ";" + std::to_string(id) + ";7\t" +
                            a->GetRecordText(id);
  EXPECT_EQ(FileLines(a.Tbl("2026-03")), (std::vector<std::string>{"\x01", line1}));

  a.clock.Advance(kMinute);
  a->SetField(id, "r", "Bemerkung");
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(ReadAllBytes(a.Copy("2026-03")), before);
  auto lines = FileLines(a.Tbl("2026-03"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], DoubleToHex32(kMarch10 + kMinute) + ";" + std::to_string(id) + ";7\t" +
                          a->GetRecordText(id));

  // A new month starts with a new copy (the store as March left it) and a new log.
  const std::string endOfMarch = ReadAllBytes(dir.File("Data.ada"));
  a.clock.Set(kApril2);
  a->SetField(id, "n", "April");
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(ReadAllBytes(a.Copy("2026-04")), endOfMarch);
  EXPECT_EQ(FileLines(a.Tbl("2026-04")).size(), 2u);
  EXPECT_EQ(FileLines(a.Tbl("2026-03")).size(), 3u);
}

TEST(TimeTravelLog, MonthlyCopyAtStartUpOnlyWhenMissing) {
  TTempDir dir;
  WriteStore(dir, {StoreHeader(1), "FileTitle=", "AppName=Tessaro", "AppOptions=",
                   "i=1,c=4,n=" + ScrambleStr("Alt")});
  const std::string file = ReadAllBytes(dir.File("Data.ada"));
  TLoggingStation a(dir);
  ASSERT_TRUE(a.Open(dir));
  EXPECT_EQ(ReadAllBytes(a.Copy("2026-03")), file);
  EXPECT_FALSE(Exists(a.Tbl("2026-03")));  // no change yet

  WriteAllBytes(a.Copy("2026-03"), "kept");
  TTimebackLog other(&a.station.registry);
  other.Setup(a.folder);
  a->TimebackLog = &other;
  EXPECT_TRUE(a->MonthlyCopy());
  EXPECT_EQ(ReadAllBytes(a.Copy("2026-03")), "kept");
  EXPECT_EQ(other.CopiedPeriod, "2026-03");
  a->TimebackLog = &a.log;
}

TEST(TimeTravelLog, ChangeIsLoggedOnlyOnceItsSaveSucceeded) {
  TTempDir dir;
  TScopedRecorder ui;
  TLoggingStation a(dir);
  ASSERT_TRUE(a.Open(dir));
  const int32_t id = a->NewNamedRecord(4, "Alt", "");
  ASSERT_TRUE(a->Commit());
  const size_t logged = FileLines(a.Tbl("2026-03")).size();
  ASSERT_EQ(logged, 2u);

  {
    // The store's save cannot put its new file in place.
    const std::string storeTemp = dir.Dir() + "~";
    TPfFaultScope fault([&](TPfOp op, const std::string& path) {
      return op == TPfOp::Rename && path.rfind(storeTemp, 0) == 0 ? EIO : 0;
    });
    a->SetField(id, "n", "Verloren");
    EXPECT_FALSE(a->Commit());
  }
  EXPECT_FALSE(ui.messages.empty());
  EXPECT_EQ(FileLines(a.Tbl("2026-03")).size(), logged);

  // The next save that works logs it, with the time of that save.
  a.clock.Advance(kMinute);
  ASSERT_TRUE(a->SaveIfModified());
  auto lines = FileLines(a.Tbl("2026-03"));
  ASSERT_EQ(lines.size(), logged + 1);
  EXPECT_EQ(lines.back(), DoubleToHex32(kMarch10 + kMinute) + ";" + std::to_string(id) +
                              ";7\t" + a->GetRecordText(id));

  // Bulk work: stored changes wait for the one save; a record stored twice is logged once.
  a->AutoSave = false;
  const int32_t other = a->NewNamedRecord(4, "Zwei", "");
  a->SetField(id, "r", "eins");
  a->SetField(other, "r", "zwei");
  a->SetField(id, "r", "drei");
  a->StoreCurrent();
  EXPECT_EQ(FileLines(a.Tbl("2026-03")).size(), logged + 1);
  ASSERT_TRUE(a->SaveIfModified());
  lines = FileLines(a.Tbl("2026-03"));
  ASSERT_EQ(lines.size(), logged + 3);
  EXPECT_NE(lines[logged + 1].find(";" + std::to_string(other) + ";"), std::string::npos);
  EXPECT_NE(lines[logged + 2].find(ScrambleStr("drei")), std::string::npos);
}

TEST(TimeTravelLog, TimeTravelBeforeTheMonthsFirstChangeDoesNotShowIt) {
  TTempDir dir;
  TLoggingStation a(dir);
  ASSERT_TRUE(a.Open(dir, false));
  const int32_t id = a->NewNamedRecord(4, "Alt", "");
  ASSERT_TRUE(a->Commit());
  a->TimebackLog = &a.log;
  a->MonthlyCopy();
  a.clock.Advance(kMinute);
  a->SetField(id, "n", "Neu");
  ASSERT_TRUE(a->Commit());

  for (auto [limit, name] : {std::pair{kMarch10, "Alt"}, std::pair{kMarch10 + kMinute, "Neu"}}) {
    TStation past("B");
    ASSERT_TRUE(past->OpenFile(a.Copy("2026-03"), "Tessaro"));
    ASSERT_TRUE(past->ReplayChanges(true, nullptr, nullptr, limit));
    EXPECT_EQ(past->GetName(id), name);
  }
}

// ---------------------------------------------------------------------------------------
// Replay

namespace {

struct TLogLine {
  std::optional<int> minutes;  // after kMarch10; none: an unreadable time
  int32_t id;
  int32_t user;
  std::string name;
};

// A month copy holding record 1 "Alt" and its log, then the store opened on the copy.
struct TReplayFixture {
  TTempDir dir;
  TStation store{"R"};
  std::string copyBytes;

  explicit TReplayFixture(const std::vector<TLogLine>& log) {
    WriteStore(dir, {StoreHeader(1), "FileTitle=", "AppName=Tessaro", "AppOptions=",
                     "i=1,c=4,n=" + ScrambleStr("Alt")},
               "2026-03.ada");
    copyBytes = ReadAllBytes(dir.File("2026-03.ada"));
    std::string bytes = "\x01\r\n";
    for (const TLogLine& l : log) {
      std::string time = l.minutes ? DoubleToHex32(kMarch10 + *l.minutes * kMinute) : "XYZ!";
      bytes += time + ";" + std::to_string(l.id) + ";" + std::to_string(l.user) + "\t" +
               "i=" + std::to_string(l.id) + ",c=4,n=" + ScrambleStr(l.name) + "\r\n";
    }
    WriteAllBytes(dir.File("2026-03.tbl"), bytes);
    store->OpenFile(dir.File("2026-03.ada"), "Tessaro");
  }
};

// `count` lines at `minutes` for record 2.
std::vector<TLogLine> Many(int count, int minutes) {
  return std::vector<TLogLine>(static_cast<size_t>(count), TLogLine{minutes, 2, 1, "spaet"});
}

std::vector<TLogLine> Join(std::initializer_list<std::vector<TLogLine>> parts) {
  std::vector<TLogLine> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace

TEST(TimeTravelReplay, ReplayTable) {
  struct TCase {
    const char* what;
    std::vector<TLogLine> log;
    int limitMinutes;
    std::string name1;       // record 1 afterwards
    int32_t user;            // user of the last line taken (-1: untouched)
    size_t entries;
  };
  const TLogLine early{-5, 1, 3, "frueh"};  // another station's clock, behind
  const TCase cases[] = {
      {"limit before every line: nothing applied", Many(150, 10), 0, "Alt", -1, 0},
      {"two lines for one record: the later one in the file wins",
       {{1, 1, 4, "eins"}, {2, 1, 5, "zwei"}, {20, 1, 6, "spaeter"}}, 10, "zwei", 5, 2},
      {"an earlier line among the 100 after the limit is applied",
       Join({Many(1, 10), Many(98, 11), {early}}), 5, "frueh", 3, 1},
      {"the replay ends 100 lines after the first late line",
       Join({Many(1, 10), Many(99, 11), {early}}), 5, "Alt", -1, 0},
      {"an unreadable time does not count toward the 100",
       Join({Many(1, 10), Many(98, 11), {{std::nullopt, 1, 9, "kaputt"}}, {early}}), 5,
       "frueh", 3, 1},
      {"IDs beyond what a store file may hold are ignored",
       {{1, (1 << 26) + 1, 1, "x"}, {1, 1000000 + 7, 1, "y"}, {1, -4, 1, "z"},
        {2, 1, 2, "gut"}},
       10, "gut", 2, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TReplayFixture f(c.log);
    int32_t user = -1;
    TChangeList changes;
    ASSERT_TRUE(f.store->ReplayChanges(true, &user, &changes, kMarch10 + c.limitMinutes * kMinute));
    EXPECT_EQ(f.store->GetName(1), c.name1);
    EXPECT_EQ(user, c.user);
    EXPECT_EQ(changes.size(), c.entries);
    EXPECT_LE(f.store->LastID, 2);
    // The replayed state is never written over the month's copy.
    f.store->Close();
    EXPECT_EQ(ReadAllBytes(f.dir.File("2026-03.ada")), f.copyBytes);
  }
}

TEST(TimeTravelReplay, MissingLogLeavesTheCopyAsItIs) {
  TReplayFixture f({});
  std::filesystem::remove(f.dir.File("2026-03.tbl"));
  EXPECT_FALSE(f.store->ReplayChanges(true, nullptr, nullptr, kApril2));
  EXPECT_EQ(f.store->GetName(1), "Alt");
}

TEST(TimeTravelReplay, ChangeEntries) {
  TTempDir dir;
  TStation s("S");
  ASSERT_TRUE(s.Open(dir));
  const std::string ks17 = ScrambleStr("17");
  ASSERT_NE(ks17, "17");  // stored rotated: the number read from the raw text would be wrong
  ASSERT_TRUE(s->PutRecordText(5, "c=4,n=" + ScrambleStr("A") + ",r=" + ScrambleStr("x") +
                                      ",k=same,ks=" + ScrambleStr("3")));
  TChangeList changes;
  s->AddChangeEntry(changes, 5, 9,
                    "i=5,c=4,n=" + ScrambleStr("B") + ",k=same,ks=" + ks17 + ",z=neu", 123.5);
  s->AddChangeEntry(changes, 6, 0, "i=6,c=7,n=" + ScrambleStr("Neu"), 124.0);
  ASSERT_EQ(changes.size(), 2u);

  const TChangeEntry& e = changes[0];
  EXPECT_EQ(e.id, 5);
  EXPECT_EQ(e.userID, 9);
  EXPECT_EQ(e.cls, 4);
  EXPECT_EQ(e.keySystem, 17);
  EXPECT_EQ(e.time, 123.5);
  TQStringList items;
  items.SetCommaText(e.text);
  EXPECT_EQ(items.Value("n"), ScrambleStr("B"));
  EXPECT_EQ(items.Value("n_old"), ScrambleStr("A"));
  EXPECT_EQ(items.Value("r"), "(entfernt)");
  EXPECT_EQ(items.Value("r_old"), ScrambleStr("x"));
  EXPECT_EQ(items.Value("ks"), ks17);
  EXPECT_EQ(items.Value("ks_old"), ScrambleStr("3"));
  EXPECT_EQ(items.Value("z"), "neu");
  EXPECT_EQ(items.IndexOfName("k"), -1);   // unchanged: dropped
  EXPECT_EQ(items.IndexOfName("i"), -1);
  EXPECT_EQ(items.IndexOfName("c"), -1);
  EXPECT_EQ(items.Count(), 7);

  // A record the store does not hold yet: every field is new.
  EXPECT_EQ(changes[1].cls, 7);
  EXPECT_EQ(changes[1].text, "n=" + ScrambleStr("Neu"));
}

// ---------------------------------------------------------------------------------------
// Starting a time-travel instance

TEST(TimeTravelStart, ArgumentsCarryNoLogin) {
  const double date = kMarch10;
  EXPECT_EQ(TimeTravelArgs(date, "/d/TimeTravel/2026/2026-03.ada", "/d/Daten mit Blank/",
                           "4;9;", "/tmp/~login-x.tmp"),
            (std::vector<std::string>{"window=small", "timetravel=" + DoubleToHex32(date),
                                      "datafile=/d/TimeTravel/2026/2026-03.ada",
                                      "datapath=/d/Daten mit Blank/", "currentItems=4;9;",
                                      "autoLoginFile=/tmp/~login-x.tmp"}));
  EXPECT_EQ(TimeTravelArgs(date, "c.ada", "/d/", "", ""),
            (std::vector<std::string>{"window=small", "timetravel=" + DoubleToHex32(date),
                                      "datafile=c.ada", "datapath=/d/"}));
}

TEST(TimeTravelStart, LoginGoesThroughAPrivateHandOverFile) {
  TTempDir dir;
  TTempDir handOver;
  TLoggingStation a(dir);
  ASSERT_TRUE(a.Open(dir));
  const int32_t user = a->NewNamedRecord(1, "MEIER", "");
  a->SetField(user, "pw", "GEHEIM");
  ASSERT_TRUE(a->Commit());
  const std::string record = a->GetRecordText(user);

  std::vector<std::string> args;
  int starts = 0;
  TTimeTravelStart how;
  how.userID = user;
  how.handOverFolder = handOver.Dir();
  how.start = [&](const std::vector<std::string>& given) {
    args = given;
    ++starts;
    return true;
  };
  ASSERT_EQ(StartTimeTravel(*a.station.db, "4;", kMarch10, how), tbOk);
  ASSERT_EQ(starts, 1);
  std::string file;
  for (const std::string& arg : args) {
    EXPECT_EQ(arg.find("pw="), std::string::npos) << arg;
    EXPECT_EQ(arg.find(ScrambleStr("GEHEIM")), std::string::npos) << arg;
    EXPECT_EQ(arg.find(StrToHexStr(record)), std::string::npos) << arg;
    if (arg.rfind("autoLoginFile=", 0) == 0) file = arg.substr(14);
  }
  EXPECT_EQ(args[2], "datafile=" + a.Copy("2026-03"));
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file.rfind(handOver.Dir(), 0), 0u);

  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::string value;
  ASSERT_TRUE(TakeLoginHandOver(file, value));
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(value, AutoLoginValue(user, record));
  std::string payload = value.substr(value.find(";;") + 2);
  ASSERT_TRUE(DecodeNumberedStr(user, payload, false));
  EXPECT_EQ(payload, record);
  EXPECT_FALSE(TakeLoginHandOver(file, value));  // used once

  // A start that fails leaves no hand-over file behind.
  how.start = [](const std::vector<std::string>&) { return false; };
  EXPECT_EQ(StartTimeTravel(*a.station.db, "", kMarch10, how), tbNotStarted);
  EXPECT_TRUE(std::filesystem::is_empty(handOver.Path()));
}

TEST(TimeTravelStart, NothingStartsWithoutLogOrCopy) {
  TTempDir dir;
  TLoggingStation a(dir);
  ASSERT_TRUE(a.Open(dir));
  int starts = 0;
  TTimeTravelStart how;
  how.start = [&](const std::vector<std::string>&) { return ++starts, true; };
  std::string name;
  EXPECT_EQ(GetTimebackFile(*a.station.db, name, kMarch10), tbOk);
  EXPECT_EQ(name, a.Copy("2026-03"));
  EXPECT_EQ(StartTimeTravel(*a.station.db, "", kApril2, how), tbNoCopy);
  EXPECT_EQ(GetTimebackFile(*a.station.db, name, kApril2), tbNoCopy);
  EXPECT_EQ(name, "");
  a->TimebackLog = nullptr;
  EXPECT_EQ(StartTimeTravel(*a.station.db, "", kMarch10, how), tbNoLog);
  EXPECT_EQ(starts, 0);
}

TEST(TimeTravelStart, HandOverReaderRefusesFilesOthersCouldRead) {
  TTempDir dir;
  const std::string open = dir.File("open.tmp");
  WriteAllBytes(open, "1;;x");
  ::chmod(open.c_str(), 0644);
  std::string value;
  EXPECT_FALSE(TakeLoginHandOver(open, value));
  EXPECT_TRUE(Exists(open));  // not ours to remove

  std::string mine;
  ASSERT_TRUE(WriteLoginHandOver(dir.Dir(), "1;;x", mine));
  const std::string link = dir.File("link.tmp");
  std::filesystem::create_symlink(mine, link);
  EXPECT_FALSE(TakeLoginHandOver(link, value));
  EXPECT_TRUE(Exists(mine));
  EXPECT_TRUE(TakeLoginHandOver(mine, value));
  EXPECT_EQ(value, "1;;x");
}

TEST(TimeTravelLog, ClientFolder) {
  TTempDir dir;
  TMandantState state;
  state.DataRoot = dir.Dir();
  TMandantStateScope scope(state);
  TMandantInfoRec nord;
  nord.Name = "Nord";
  nord.DataFolder = "nord";
  EXPECT_EQ(TimeTravelFolder(nullptr), dir.Dir() + "TimeTravel/");
  EXPECT_EQ(TimeTravelFolder(&nord), dir.Dir() + "nord/TimeTravel-Nord/");

  TLoggingStation a(dir);
  a.log.SetupFor(&nord);
  ASSERT_TRUE(a.Open(dir));
  a->NewNamedRecord(4, "Alt", "");
  ASSERT_TRUE(a->Commit());
  EXPECT_TRUE(Exists(dir.Dir() + "nord/TimeTravel-Nord/2026/2026-03.tbl"));
  EXPECT_TRUE(Exists(dir.Dir() + "nord/TimeTravel-Nord/2026/2026-03.ada"));
}
