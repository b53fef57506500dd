// Stations killed at the worst moment and stations writing without a pause: a booking on
// disk always gets its one history line, and a station waiting for the reservation gets it.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr int32_t kKey = 1;
constexpr int32_t kPerson = 2;
constexpr int32_t kCabinet = 3;

// A station with its history on the shared folder.
struct TBooker : TStation {
  THistory history{&registry};
  explicit TBooker(const std::string& key) : TStation(key) {}
  bool Open(const TTempDir& dir) {
    history.SetFolder(dir.Dir());
    return TStation::Open(dir);
  }
  TTransferResult Issue(int32_t quantity) {
    THistoryScope scope(history);
    TTransferRecord r;
    r.Kind = tkIssue;
    r.KeyId = kKey;
    r.Keys.Add(kKey);
    r.Quantity = quantity;
    r.QuantityLimit = 999;
    r.NegativeStockAllowed = true;
    SetTransferOwners(*db, r, kPerson, kCabinet);
    return BookTransfer(*db, r);
  }
};

struct StoreUnderLoad : ::testing::Test {
  TTempDir dir;
  TScopedRecorder ui;

  void SetUp() override {
    TStation setup("setup");
    ASSERT_TRUE(setup.Open(dir));
    ASSERT_EQ(setup->NewNamedRecord(icKey, "Haupt 1", ""), kKey);
    ASSERT_EQ(setup->NewNamedRecord(icPerson, "Anna", ""), kPerson);
    ASSERT_EQ(setup->NewNamedRecord(icCabinet, "Schrank", ""), kCabinet);
    setup->SetField(kKey, fkStock, "1000");
    setup->SetField(kKey, fkTotal, "1000");
    setup->AddLinkBoth(kKey, kCabinet, icCabinet, icKey);
    ASSERT_TRUE(setup->Commit());
  }
  // The history's booking lines of every year file.
  std::vector<std::string> Bookings() const {
    std::vector<TListedFile> files;
    ListFiles(dir.Dir(), "*.alg", files);
    std::vector<std::string> found;
    for (const TListedFile& f : files) {
      std::vector<std::string> lines;
      LoadTextFile(f.name, lines);
      for (const std::string& line : lines)
        if (line.rfind("a=Trans", 0) == 0) found.push_back(line);
    }
    return found;
  }
  std::string Stock() {
    TStation reader("reader");
    EXPECT_TRUE(reader.Open(dir));
    return reader->GetField(kKey, fkStock);
  }
};

// Killed after the booking's save, before its history line: the next station that opens
// the store for writing appends the line, once, and later bookings do not double it.
TEST_F(StoreUnderLoad, AKillBetweenTheSaveAndTheHistoryLineLosesNoLine) {
  const std::string store = dir.File("Data.ada");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    alarm(60);
    TBooker victim("victim");
    if (!victim.Open(dir)) _exit(2);
    // The moment the history file is touched after the save, the station dies.
    TPfFaultScope kill([&](TPfOp op, const std::string& path) {
      if (op == TPfOp::Open && path.ends_with(".alg") &&
          ReadAllBytes(store).find("PendingHistory") != std::string::npos)
        _exit(9);
      return 0;
    });
    victim.Issue(3);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 9) << "the child must die between save and history";
  ASSERT_EQ(Stock(), "997");  // the booking is on disk
  EXPECT_TRUE(Bookings().empty());

  // What opening the store for writing does.
  TBooker next("next");
  ASSERT_TRUE(next.Open(dir));
  for (int round = 0; round < 2; ++round) {
    TStoreWrite write(*next.db, {});
    ASSERT_TRUE(write.Ok());
    THistoryScope scope(next.history);
    EXPECT_TRUE(SettlePendingHistory(*next.db));
  }
  ASSERT_EQ(Bookings().size(), 1u);
  EXPECT_NE(Bookings()[0].find("cnt=3"), std::string::npos);

  ASSERT_EQ(next.Issue(1), TTransferResult::Booked);
  ASSERT_EQ(Bookings().size(), 2u);
  EXPECT_NE(Bookings()[1].find("cnt=1"), std::string::npos);
}

// One process writes without a pause; another books again and again. Each of its
// bookings gets the reservation within the time a station waits, every time.
// A buffered history keeps its lines in memory for a while. The next booking finds the
// last one's lines missing from the file, but they wait in this station's own log: they
// are written once, not a second time by the check.
TEST_F(StoreUnderLoad, ALineWaitingInTheStationsLogIsNotWrittenTwice) {
  TBooker a("a");
  ASSERT_TRUE(a.Open(dir));
  a.history.SetBuffered(true);
  ASSERT_EQ(a.Issue(1), TTransferResult::Booked);
  ASSERT_EQ(a.Issue(2), TTransferResult::Booked);
  EXPECT_TRUE(Bookings().empty());  // both wait in memory
  ASSERT_TRUE(a.history.Log().Flush(true));
  ASSERT_EQ(Bookings().size(), 2u);
  EXPECT_NE(Bookings()[0].find("cnt=1"), std::string::npos);
  EXPECT_NE(Bookings()[1].find("cnt=2"), std::string::npos);

  // Unbuffered again: each booking's lines are in the file, and another station that
  // books in between is checked as before.
  a.history.SetBuffered(false);
  TBooker b("b");
  ASSERT_TRUE(b.Open(dir));
  ASSERT_EQ(a.Issue(3), TTransferResult::Booked);
  ASSERT_EQ(b.Issue(4), TTransferResult::Booked);
  ASSERT_EQ(a.Issue(5), TTransferResult::Booked);
  EXPECT_EQ(Bookings().size(), 5u);
}

TEST_F(StoreUnderLoad, AStationWritingWithoutAPauseStarvesNobody) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    alarm(120);
    TStation hog("hog");
    hog.registry.SetSleeper([](int ms) { usleep(static_cast<useconds_t>(ms) * 1000); });
    if (!hog.Open(dir)) _exit(2);
    const char go = 'G';
    if (write(ready[1], &go, 1) != 1) _exit(2);
    for (int n = 0;; ++n) {
      TStoreWrite write(*hog.db, {kPerson});
      if (!write.Ok()) continue;
      hog->SetField(kPerson, "r", std::to_string(n));
      write.Commit();
    }
  }
  close(ready[1]);
  char go = 0;
  ASSERT_EQ(read(ready[0], &go, 1), 1);
  close(ready[0]);

  TBooker booker("booker");
  booker.registry.SetSleeper([](int ms) { usleep(static_cast<useconds_t>(ms) * 1000); });
  ASSERT_TRUE(booker.Open(dir));
  int booked = 0;
  constexpr int kRounds = 300;
  for (int round = 0; round < kRounds; ++round)
    if (booker.Issue(1) == TTransferResult::Booked) ++booked;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(booked, kRounds);
  EXPECT_EQ(Stock(), std::to_string(1000 - kRounds));
  EXPECT_EQ(Bookings().size(), static_cast<size_t>(kRounds));
}

}  // namespace
