// Bulk runs: two workstations on one folder, a run of many changes that saves once at its
// end or forgets everything, in check mode, cancelled, and with a save that fails.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"

namespace {

struct BulkWrite : ::testing::Test {
  TUtcZone zone;
  TFixedClock clock{EncodeDateTime(2024, 3, 5, 10, 30, 0)};
  TClockScope clockScope{clock};
  TTempDir dir;
  TScopedRecorder ui;
  TStation a{"A"};
  TStation b{"B"};
  THistory history{&a.registry};
  THistoryScope historyScope{history};
  int32_t key = 0, door = 0, person = 0, cabinet = 0;

  void SetUp() override {
    ASSERT_TRUE(a.Open(dir));
    history.SetFolder(dir.Dir());
    key = a->NewNamedRecord(icKey, "Haupt 1", "");
    door = a->NewNamedRecord(icDoor, "Tor", "");
    person = a->NewNamedRecord(icPerson, "Anna", "");
    cabinet = a->NewNamedRecord(icCabinet, "Schrank", "");
    a->SetField(key, fkStock, "5");
    a->SetField(key, fkTotal, "5");
    a->AddLinkBoth(key, door, icDoor, icKey);
    a->AddLinkBoth(key, cabinet, icCabinet, icKey);
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
  }

  std::string File() const { return ReadAllBytes(dir.File("Data.ada")); }
  // The booking lines of the history.
  int Bookings() const {
    std::vector<std::string> lines;
    LoadTextFile(dir.File("Log2024.alg"), lines);
    int n = 0;
    for (const std::string& line : lines) n += line.find("a=Trans") != std::string::npos;
    return n;
  }
  // The booking lines of the history, each once: false when one stands there twice.
  bool NoBookingTwice() const {
    std::vector<std::string> lines;
    LoadTextFile(dir.File("Log2024.alg"), lines);
    std::set<std::string> seen;
    for (const std::string& line : lines)
      if (line.find("a=Trans") != std::string::npos && !seen.insert(line).second) return false;
    return true;
  }
  // One piece of the key issued to the person by `station` (inside a run or alone).
  void Issue(TStation& station) {
    TTransferRecord r;
    r.Kind = tkIssue;
    r.KeyId = key;
    r.Keys.Add(key);
    r.Quantity = 1;
    r.QuantityLimit = 99;
    r.NegativeStockAllowed = true;
    r.Date = PackDate(2024, 3, 5);
    SetTransferOwners(*station.db, r, person, cabinet);
    ASSERT_EQ(BookTransfer(*station.db, r), TTransferResult::Booked);
  }
  // The history year file cannot be written while a folder stands in its place.
  void BreakHistory() {
    std::filesystem::remove(dir.File("kept.alg"));
    if (std::filesystem::exists(dir.File("Log2024.alg")))
      std::filesystem::rename(dir.File("Log2024.alg"), dir.File("kept.alg"));
    std::filesystem::create_directory(dir.File("Log2024.alg"));
  }
  void MendHistory() {
    std::filesystem::remove(dir.File("Log2024.alg"));
    if (std::filesystem::exists(dir.File("kept.alg")))
      std::filesystem::rename(dir.File("kept.alg"), dir.File("Log2024.alg"));
  }
  // Many changes of every kind, one booking among them; nothing of it saves by itself.
  void ChangeMany() {
    for (int i = 0; i < 30; ++i) a->NewNamedRecord(icDoor, "Neu " + std::to_string(i), "");
    a->SetField(person, fkDepartment, "IT");
    ASSERT_TRUE(a->MarkDeleted(door));
    TTransferRecord r;
    r.Kind = tkIssue;
    r.KeyId = key;
    r.Keys.Add(key);
    r.Quantity = 1;
    r.QuantityLimit = 9;
    r.Date = PackDate(2024, 3, 5);
    SetTransferOwners(*a.db, r, person, cabinet);
    ASSERT_EQ(BookTransfer(*a.db, r), TTransferResult::Booked);
  }
  // What this station's memory holds equals what is on disk.
  void ExpectAsOnDisk(const std::string& file) {
    EXPECT_EQ(File(), file);
    EXPECT_FALSE(a->Modified);
    EXPECT_TRUE(a->IsValid(door));
    EXPECT_EQ(a->ReadLineField(person, fkDepartment), "");
    EXPECT_EQ(a->ReadLineField(key, fkStock), "5");
    EXPECT_EQ(a->LastID, cabinet);
    EXPECT_EQ(Bookings(), 0);
  }
};

TEST_F(BulkWrite, ARunSavesOnceAtItsEndAndWritesTheHistoryAfterTheSave) {
  const std::string file = File();
  {
    TBulkWrite run(*a.db);
    ASSERT_TRUE(run.Ok());
    ChangeMany();
    EXPECT_EQ(File(), file);           // no save until Commit
    EXPECT_EQ(Bookings(), 0);  // the booking's line waits for the save
    // The other station can neither change nor create records meanwhile.
    EXPECT_FALSE(TStoreWrite(*b.db, {person}).Ok());
    EXPECT_EQ(b->NewRecord(icDoor), 0);
    EXPECT_EQ(run.Commit(), TBulkResult::Saved);
  }
  EXPECT_EQ(Bookings(), 1);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->LastID, cabinet + 30);
  EXPECT_FALSE(reader->IsValid(door));
  EXPECT_EQ(reader->ReadLineField(person, fkDepartment), "IT");
  EXPECT_EQ(reader->ReadLineField(key, fkStock), "4");
  // Everything is given back: the other station writes again.
  TStoreWrite other(*b.db, {person});
  EXPECT_TRUE(other.Ok());
  EXPECT_TRUE(a->AutoSave);
}

TEST_F(BulkWrite, ACheckPassACancelAFailedSaveAndAnEndWithoutCommitForgetTheRun) {
  const std::string file = File();
  const struct {
    const char* what;
    TBulkMode mode;
    bool cancel;
    bool failSave;
    bool commit;
    TBulkResult result;
  } cases[] = {
      {"check pass", TBulkMode::Check, false, false, true, TBulkResult::Checked},
      {"cancel", TBulkMode::Write, true, false, true, TBulkResult::Cancelled},
      {"failed save", TBulkMode::Write, false, true, true, TBulkResult::Failed},
      {"no commit", TBulkMode::Write, false, false, false, TBulkResult::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    {
      TBulkWrite run(*a.db, c.mode);
      ASSERT_TRUE(run.Ok());
      EXPECT_EQ(run.CheckOnly(), c.mode == TBulkMode::Check);
      run.SetProgress([&](int64_t done, int64_t) { return !(c.cancel && done == 2); });
      for (int64_t i = 0; i < 5 && run.Step(i, 5); ++i) {
        if (i == 0) ChangeMany();
      }
      EXPECT_EQ(run.Cancelled(), c.cancel);
      if (c.commit) {
        // The store file cannot take the new version: its rename, the first of the
        // save, fails.
        int renames = 0;
        TPfFaultScope fault([&](TPfOp op, const std::string&) {
          return c.failSave && op == TPfOp::Rename && renames++ == 0 ? EIO : 0;
        });
        EXPECT_EQ(run.Commit(), c.result);
      }
    }
    ExpectAsOnDisk(file);
    // The lock on all records is gone with the run.
    EXPECT_TRUE(TStoreWrite(*b.db, {person}).Ok());
  }
}

TEST_F(BulkWrite, ACancelledRunThatKeepsWhatIsDoneSavesIt) {
  TBulkWrite run(*a.db);
  ASSERT_TRUE(run.Ok());
  run.KeepDoneOnCancel(true);
  run.SetProgress([](int64_t done, int64_t) { return done < 3; });
  int64_t made = 0;
  for (int64_t i = 0; run.Step(i, 10); ++i, ++made) a->NewNamedRecord(icDoor, "Neu", "");
  EXPECT_EQ(made, 3);
  EXPECT_EQ(run.Commit(), TBulkResult::Saved);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->LastID, cabinet + 3);
}

TEST_F(BulkWrite, ARunDoesNotBeginWhileAnotherStationHoldsARecordAndNamesIt) {
  ASSERT_TRUE(b->LockItem(person, false, 0));
  TBulkWrite run(*a.db);
  EXPECT_FALSE(run.Ok());
  EXPECT_EQ(run.Blocking(), "B");
  EXPECT_EQ(run.Commit(), TBulkResult::Failed);
  ASSERT_TRUE(b->UnlockItem(person));
  // This station's own unsaved change is saved first, so that forgetting a run cannot
  // lose it.
  a->SetField(person, fkRemark, "vorher");
  {
    TBulkWrite again(*a.db, TBulkMode::Check);
    ASSERT_TRUE(again.Ok());
    a->SetField(person, fkRemark, "im Lauf");
  }
  EXPECT_EQ(a->ReadLineField(person, fkRemark), "vorher");
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->ReadLineField(person, fkRemark), "vorher");
}

// A run's lines leave the store's "PendingHistory" in the same run once they are in the
// history: left there, every later open would look for each of them in the year file.
TEST_F(BulkWrite, TheLinesOfARunLeaveTheStoresHeaderOnceTheyAreInTheHistory) {
  {
    TBulkWrite run(*a.db);
    ASSERT_TRUE(run.Ok());
    for (int i = 0; i < 3; ++i) Issue(a);
    EXPECT_EQ(run.Commit(), TBulkResult::Saved);
  }
  EXPECT_EQ(Bookings(), 3);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(reader->GetHeaderValue(kPendingHistoryHeader), "");
  EXPECT_EQ(reader->ReadLineField(key, fkStock), "2");
}

// Lines that could not reach the history stay in the store until a station writes them:
// the next station that writes appends each once, and the station that still holds them
// in memory does not write them a second time. Two saves in a row keep the first one's
// lines too.
TEST_F(BulkWrite, LinesThatMissedTheHistoryAreWrittenOnceByTheNextStation) {
  THistory historyB{&b.registry};
  historyB.SetFolder(dir.Dir());
  for (const bool bulk : {true, false}) {
    SCOPED_TRACE(bulk ? "a bulk run" : "two single writes");
    const int before = Bookings();
    BreakHistory();
    if (bulk) {
      TBulkWrite run(*a.db);
      ASSERT_TRUE(run.Ok());
      Issue(a);
      Issue(a);
      EXPECT_EQ(run.Commit(), TBulkResult::Saved);
    } else {
      Issue(a);
      Issue(a);
    }
    EXPECT_TRUE(history.Log().HasPending());
    MendHistory();
    EXPECT_EQ(Bookings(), before);
    {
      // What a station opening the store for writing does, then a booking of its own.
      THistoryScope scope(historyB);
      TStoreWrite write(*b.db, {});
      ASSERT_TRUE(write.Ok());
      EXPECT_TRUE(SettlePendingHistory(*b.db));
    }
    EXPECT_EQ(Bookings(), before + 2);
    {
      THistoryScope scope(historyB);
      Issue(b);
    }
    EXPECT_EQ(Bookings(), before + 3);
    // Station A writes what it still holds: nothing it would double.
    EXPECT_TRUE(history.Flush());
    Issue(a);
    EXPECT_EQ(Bookings(), before + 4);
    EXPECT_TRUE(NoBookingTwice());
  }
}

// History lines that the history file would not take when the store closes (a booking's,
// and one written without a store write) are kept in the store, and the user is told so;
// the next station writes them, and nothing is said to be lost.
TEST_F(BulkWrite, HistoryLinesTheFileWouldNotTakeAreKeptByTheStoreAtClose) {
  BreakHistory();
  Issue(a);
  HistoryNew(icDoor, door, "Tor", "");
  ui.Clear();
  EXPECT_TRUE(KeepWaitingHistory(*a.db));
  EXPECT_NE(ui.AllText().find("Die Datenbank bewahrt sie auf"), std::string::npos) << ui.AllText();
  EXPECT_FALSE(history.Log().HasPending());
  history.Log().Flush(true);
  EXPECT_EQ(ui.AllText().find("verloren"), std::string::npos) << ui.AllText();
  MendHistory();

  THistory historyB{&b.registry};
  historyB.SetFolder(dir.Dir());
  THistoryScope scope(historyB);
  TStoreWrite write(*b.db, {});
  ASSERT_TRUE(write.Ok());
  EXPECT_TRUE(SettlePendingHistory(*b.db));
  EXPECT_EQ(Bookings(), 1);
  std::vector<std::string> lines;
  LoadTextFile(dir.File("Log2024.alg"), lines);
  int news = 0;
  for (const std::string& line : lines) news += line.rfind("a=New", 0) == 0;
  EXPECT_EQ(news, 1);
}

}  // namespace
