#include "data/LogFilesUnit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "data/AccessProtection.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

// One workstation's global reservation on the data folder's lock file; waits only counted.
struct TLogStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* protection = nullptr;
  int waits = 0;  // milliseconds

  explicit TLogStation(const std::string& lockFile) {
    registry.SetSleeper([this](int ms) { waits += ms; });
    GetAccessProtection(lockFile, protection, registry);
  }
  ~TLogStation() { ReleaseAccessProtection(protection); }
};

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

}  // namespace

TEST(LogFiles, AppendCreatesFolderAndFileWithTheStartLine) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  std::string file = dir.File("TimeTravel/2024/2024-05.tbl");

  EXPECT_TRUE(AppendToLogFile(file, "", *a.protection));  // nothing to do
  EXPECT_EQ(GetFileSize64(file), -1);
  EXPECT_FALSE(AppendToLogFile("", "x\r\n", *a.protection));
  EXPECT_TRUE(AppendToLogFile(file, "one\r\n", *a.protection));
  EXPECT_TRUE(AppendToLogFile(file, "two\r\n", *a.protection));
  EXPECT_EQ(ReadAllBytes(file), "\x01\r\none\r\ntwo\r\n");
  EXPECT_FALSE(a.protection->Locked());  // the reservation was returned each time
}

TEST(LogFiles, AppendNeverGluesOntoATornLineAndTakesBackAFailedWrite) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  struct Case {
    const char* before;
    const char* after;
  } cases[] = {
      {"\x01\r\nok\r\nhalf", "\x01\r\nok\r\nhalf\r\nnew\r\n"},
      {"\x01\r\nok\r\nhalf\r", "\x01\r\nok\r\nhalf\r\nnew\r\n"},
      {"", "\x01\r\nnew\r\n"},  // left empty by a failed first write
  };
  for (const Case& c : cases) {
    std::string file = dir.File("Log.alg");
    WriteAllBytes(file, c.before);
    EXPECT_TRUE(AppendToLogFile(file, "new\r\n", *a.protection));
    EXPECT_EQ(ReadAllBytes(file), c.after) << c.before;
  }

  std::string file = dir.File("Log2.alg");
  WriteAllBytes(file, "\x01\r\nok\r\n");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Fsync ? EIO : 0; });
    EXPECT_FALSE(AppendToLogFile(file, "lost?\r\n", *a.protection));
  }
  EXPECT_EQ(ReadAllBytes(file), "\x01\r\nok\r\n");

  // A new file whose first write fails is not left behind.
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Write ? ENOSPC : 0; });
    EXPECT_FALSE(AppendToLogFile(dir.File("Log3.alg"), "x\r\n", *a.protection));
  }
  EXPECT_EQ(GetFileSize64(dir.File("Log3.alg")), -1);
}

TEST(LogFiles, AppendWithoutReservationWritesNothing) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf")), b(dir.File("Data.wpf"));
  int ticket = 0;
  ASSERT_TRUE(b.protection->Reserve(ticket));
  EXPECT_FALSE(AppendToLogFile(dir.File("Log2024.alg"), "x\r\n", *a.protection));
  EXPECT_EQ(GetFileSize64(dir.File("Log2024.alg")), -1);
  EXPECT_EQ(a.waits, TAccessProtection::kTotalWaitMs);
  b.protection->Release(ticket);
}

TEST(LogFiles, FileNamesOfPeriods) {
  TLogFile log;
  EXPECT_EQ(log.GetFileName("2024"), "");  // no folder: logging off
  EXPECT_FALSE(log.Add("2024", "x"));
  log.Init("/data", "Log", false, ".alg");
  EXPECT_EQ(log.GetFileName("2024"), "/data/Log2024.alg");
  log.Init("/data/TimeTravel/", "", true, ".tbl");
  EXPECT_EQ(log.GetFileName("2024-05"), "/data/TimeTravel/2024/2024-05.tbl");
}

TEST(LogFiles, TimeStamps) {
  TFixedClock clock(EncodeDateTime(2024, 3, 5, 7, 8, 9, 600));
  TClockScope scope(clock);
  EXPECT_EQ(LogTimeStampOf(EncodeDateTime(2024, 3, 5, 7, 8, 9, 600)), "2024-03-05\xA0" "07:08:09");
  EXPECT_EQ(Hex32ToDouble(UtcTimeStamp()), clock.NowUTC());  // bit for bit
}

TEST(LogFiles, BufferedLogWritesAbove64KAndKeepsItsBufferWhileRefused) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf")), b(dir.File("Data.wpf"));
  TScopedRecorder ui;
  TLogFile log(&a.registry);
  log.Init(dir.Dir(), "Log", false, ".alg");
  log.SetBuffered(true);
  std::string file = log.GetFileName("2024");
  const std::string line(1000, 'x');  // 1002 characters with CR LF

  for (int i = 0; i < 65; ++i) ASSERT_TRUE(log.Add("2024", line));  // 65,130 characters
  EXPECT_EQ(GetFileSize64(file), -1);
  EXPECT_EQ(log.PendingPeriod(), "2024");
  ASSERT_TRUE(log.Add("2024", line));  // 66,132: written
  EXPECT_FALSE(log.HasPending());
  EXPECT_EQ(GetFileSize64(file), 3 + 66 * 1002);

  // Another station holds the reservation: nothing is written and nothing is lost.
  int ticket = 0;
  ASSERT_TRUE(b.protection->Reserve(ticket));
  for (int i = 0; i < 70; ++i) ASSERT_TRUE(log.Add("2024", line + std::to_string(i)));
  EXPECT_FALSE(log.Flush(false));
  EXPECT_EQ(GetFileSize64(file), 3 + 66 * 1002);
  EXPECT_EQ(log.PendingChars(), static_cast<size_t>(70 * 1002 + 10 + 60 * 2));
  EXPECT_EQ(ui.messages.size(), 1u);  // told once, not at every line

  b.protection->Release(ticket);
  EXPECT_TRUE(log.Flush(false));
  EXPECT_FALSE(log.HasPending());
  std::vector<std::string> lines;
  ASSERT_EQ(LoadTextFile(file, lines), ltfRead);
  ASSERT_EQ(lines.size(), 1u + 66 + 70);
  EXPECT_EQ(lines[66 + 1], line + "0");
  EXPECT_EQ(lines.back(), line + "69");
}

TEST(LogFiles, BufferedLogWritesTheOldPeriodWhenThePeriodChanges) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  TLogFile log(&a.registry);
  log.Init(dir.Dir(), "", true, ".tbl");
  log.SetBuffered(true);
  log.Add("2024-12", "december");
  EXPECT_EQ(GetFileSize64(log.GetFileName("2024-12")), -1);
  log.Add("2025-01", "january");
  EXPECT_EQ(ReadAllBytes(log.GetFileName("2024-12")), Lines({"\x01", "december"}));
  EXPECT_EQ(log.PendingPeriod(), "2025-01");
  log.Flush(true);
  EXPECT_EQ(ReadAllBytes(dir.File("2025/2025-01.tbl")), Lines({"\x01", "january"}));
}

TEST(LogFiles, AFailedDirectAppendIsReportedAndWrittenBeforeTheNextLine) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  TScopedRecorder ui;
  TLogFile log(&a.registry);
  log.Init(dir.Dir(), "Log", false, ".alg");
  std::string file = log.GetFileName("2024");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Write ? ENOSPC : 0; });
    EXPECT_TRUE(log.Add("2024", "first"));
    EXPECT_TRUE(log.Add("2024", "second"));
  }
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, TMsgKind::Error);
  EXPECT_NE(ui.messages[0].text.find(LogFilesText(lfWriteDelayed)), std::string::npos);
  EXPECT_NE(ui.messages[0].text.find(file), std::string::npos);
  EXPECT_EQ(GetFileSize64(file), -1);

  EXPECT_TRUE(log.Add("2024", "third\r\nwith a line break"));
  EXPECT_EQ(ReadAllBytes(file), Lines({"\x01", "first", "second", "third  with a line break"}));
  EXPECT_FALSE(log.HasPending());
}

TEST(LogFiles, AFailedFinalFlushSaysTheLinesWillBeLost) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  TScopedRecorder ui;
  TLogFile log(&a.registry);
  log.Init(dir.Dir(), "Log", false, ".alg");
  log.SetBuffered(true);
  log.Add("2024", "line");
  TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Write ? EIO : 0; });
  EXPECT_FALSE(log.Flush(true));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, LogFilesText(lfWriteLost) + "\r" + log.GetFileName("2024"));
  EXPECT_TRUE(log.HasPending());  // still there for one more try
}

TEST(LogFiles, AReadFailureLeavesNoLinesButWritingGoesOn) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  TScopedRecorder ui;
  TLogFile log(&a.registry);
  log.Init(dir.Dir(), "Log", false, ".alg");
  std::string file = log.GetFileName("2024");
  WriteAllBytes(file, Lines({"\x01", "old"}));
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Read ? EIO : 0; });
    EXPECT_FALSE(log.LoadPeriod("2024"));
  }
  EXPECT_TRUE(log.LoadFailed());
  EXPECT_FALSE(log.Disabled());
  EXPECT_TRUE(log.Lines().empty());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, LogFilesText(lfLoadError) + "\r" + file);

  EXPECT_TRUE(log.Add("2024", "new"));
  EXPECT_TRUE(log.Add("2025", "next year"));
  EXPECT_EQ(ReadAllBytes(file), Lines({"\x01", "old", "new"}));
  EXPECT_EQ(ui.messages.size(), 1u);

  // The next load reads again and succeeds.
  EXPECT_TRUE(log.LoadPeriod("2024"));
  EXPECT_FALSE(log.LoadFailed());
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"\x01", "old", "new"}));
}

TEST(LogFiles, LoadPeriodReadsAgainWhenAnotherStationAppended) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf")), b(dir.File("Data.wpf"));
  TLogFile logA(&a.registry), logB(&b.registry);
  logA.Init(dir.Dir(), "Log", false, ".alg");
  logB.Init(dir.Dir(), "Log", false, ".alg");
  EXPECT_TRUE(logA.LoadPeriod("2024"));  // missing: no lines
  EXPECT_TRUE(logA.Lines().empty());
  logB.Add("2024", "from b");
  ASSERT_TRUE(logA.LoadPeriod("2024"));
  EXPECT_EQ(logA.Lines().size(), 2u);
  logA.Add("2024", "from a");  // also into the loaded lines
  EXPECT_EQ(logA.Lines().back(), "from a");
  logB.Add("2024", "b again");
  ASSERT_TRUE(logA.LoadPeriod("2024"));
  EXPECT_EQ(logA.Lines(), (std::vector<std::string>{"\x01", "from b", "from a", "b again"}));
}

TEST(LogFiles, DisabledLogWritesNothingAndInitEnablesAgain) {
  TTempDir dir;
  TLogStation a(dir.File("Data.wpf"));
  TLogFile log(&a.registry);
  log.Init(dir.Dir(), "Log", false, ".alg");
  log.SetBuffered(true);
  log.Add("2024", "buffered");
  log.SetDisabled(true);
  EXPECT_FALSE(log.Add("2024", "x"));
  EXPECT_TRUE(log.Flush(true));
  EXPECT_EQ(GetFileSize64(log.GetFileName("2024")), -1);
  log.Init(dir.Dir(), "Log", false, ".alg");
  EXPECT_FALSE(log.Disabled());
  EXPECT_TRUE(log.Add("2024", "y"));
  log.Flush(true);
  EXPECT_EQ(ReadAllBytes(log.GetFileName("2024")), Lines({"\x01", "y"}));
}
