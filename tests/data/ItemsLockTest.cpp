#include "data/ItemsLock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

using TIds = std::vector<std::string>;

// One simulated workstation on the shared folder: its own registry (its own descriptor on
// the ".wpf"), its own station key, and a sleeper that records the waits.
struct TWorkstation {
  TAccessProtectionRegistry registry;
  TAccessProtection* protection = nullptr;
  std::unique_ptr<TItemsLock> lock;
  std::vector<int> waits;
  std::function<void(int waitNumber)> duringWait;

  TWorkstation(const TTempDir& dir, const std::string& key) {
    registry.SetSleeper([this](int ms) {
      waits.push_back(ms);
      if (duringWait) duringWait(static_cast<int>(waits.size()));
    });
    GetAccessProtection(dir.File("Store.wpf"), protection, registry);
    lock = std::make_unique<TItemsLock>(dir.File("Store.wpi"), protection, key);
  }
  ~TWorkstation() {
    lock.reset();
    ReleaseAccessProtection(protection);
  }
  // Locks (or unlocks) the IDs; returns the blocking station, empty on success.
  std::string Set(int action, TIds ids) {
    std::string blocking;
    const bool ok = lock->SetDBAccess(action, ids, blocking);
    EXPECT_EQ(ok, blocking.empty());
    return blocking;
  }
};

struct TFileStamp {
  ino_t inode = 0;
  struct timespec mtime {};
};

// Sets the file's time far into the past so that any write would show.
TFileStamp AgeFile(const std::string& name) {
  const struct timespec times[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
  EXPECT_EQ(utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
  struct stat st {};
  EXPECT_EQ(stat(name.c_str(), &st), 0);
  return {st.st_ino, st.st_mtim};
}

bool Untouched(const std::string& name, const TFileStamp& stamp) {
  struct stat st {};
  if (stat(name.c_str(), &st) != 0) return false;
  return st.st_ino == stamp.inode && st.st_mtim.tv_sec == stamp.mtime.tv_sec &&
         st.st_mtim.tv_nsec == stamp.mtime.tv_nsec;
}

}  // namespace

TEST(ItemsLock, OtherStationsEntryAgainstRequestedIds) {
  struct Case {
    const char* otherEntry;
    TIds requested;
    bool blocked;
  };
  const Case cases[] = {
      {"1,123", {"12"}, false},  // whole items only, never parts of one
      {"1,123", {"123"}, true},
      {"1,123", {"7", "1"}, true},
      {" 4 , 5 ", {"5"}, true},  // items are trimmed
      {"all", {"7"}, true},
      {"ALL", {"7", "8"}, true},
      {"all", {"all"}, true},
      {"attend", {"7"}, false},
      {"attend", {"all"}, false},
      {"", {"all"}, false},
      {"9", {"all"}, true},  // "all" is refused while another station holds anything
      {"attend,9", {"all"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("other=") + c.otherEntry + " requested " + c.requested.front());
    TTempDir dir;
    const std::string otherLine = std::string("bob@pc2=") + c.otherEntry + "\r\n";
    WriteAllBytes(dir.File("Store.wpi"), otherLine);
    TStationLiveness bobRuns(dir.File("Store.wpi"), "bob@pc2");
    TWorkstation alice(dir, "alice@pc1");
    EXPECT_FALSE(alice.lock->InUseAtOpen());

    TIds ids = c.requested;
    std::string blocking;
    EXPECT_EQ(alice.lock->SetDBAccess(dbaLock, ids, blocking), !c.blocked);
    if (c.blocked) {
      EXPECT_EQ(blocking, "bob@pc2");
      EXPECT_TRUE(ids.empty());
      EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), otherLine);
      EXPECT_EQ(alice.lock->OwnEntry(), "");
    } else {
      EXPECT_EQ(blocking, "");
      EXPECT_EQ(ids, c.requested);
      std::string own;
      for (const auto& id : c.requested) own += (own.empty() ? "" : ",") + id;
      EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), otherLine + "alice@pc1=" + own + "\r\n");
      EXPECT_EQ(alice.lock->OwnEntry(), own);
    }
    EXPECT_FALSE(alice.protection->Locked());  // the reservation is returned either way
  }
}

// The check of a write that holds the reservation throughout: the same conflicts as a
// lock, and the file is never written.
TEST(ItemsLock, CheckFreeFindsTheSameConflictsAndWritesNothing) {
  struct Case {
    const char* otherEntry;
    TIds requested;
    const char* blocking;
  };
  const Case cases[] = {
      {"1,123", {"12"}, ""},
      {"1,123", {"7", "123"}, "bob@pc2"},
      {" 4 , 5 ", {"5"}, "bob@pc2"},
      {"ALL", {"7"}, "bob@pc2"},
      {"attend", {"7"}, ""},
      {"alice@pc1=7", {"7"}, ""},  // this station's own entry never blocks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("other=") + c.otherEntry);
    TTempDir dir;
    const std::string entry = c.otherEntry;
    const std::string text =
        (entry.find('=') == std::string::npos ? "bob@pc2=" + entry : entry) + "\r\n";
    WriteAllBytes(dir.File("Store.wpi"), text);
    TStationLiveness bobRuns(dir.File("Store.wpi"), "bob@pc2");
    const TFileStamp stamp = AgeFile(dir.File("Store.wpi"));
    TWorkstation alice(dir, "alice@pc1");
    std::string blocking = "x";
    EXPECT_EQ(alice.lock->CheckFree(c.requested, blocking), std::string(c.blocking).empty());
    EXPECT_EQ(blocking, c.blocking);
    EXPECT_TRUE(Untouched(dir.File("Store.wpi"), stamp));
    EXPECT_FALSE(alice.protection->Locked());
  }
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1");
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("Store.wpi")));  // unreadable
  std::string blocking;
  EXPECT_FALSE(alice.lock->CheckFree({"7"}, blocking));
  EXPECT_EQ(blocking, kLockFileUnusable);
}

TEST(ItemsLock, IdsAlreadyHeldTouchNoFileAndNeedNoReservation) {
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1"), bob(dir, "bob@pc2");
  EXPECT_EQ(alice.Set(dbaLock, {"5", "6"}), "");
  const TFileStamp stamp = AgeFile(dir.File("Store.wpi"));

  int ticket = 0;
  ASSERT_TRUE(bob.protection->Reserve(ticket));  // would make any file access wait
  TIds ids{"6", "5"};
  std::string blocking;
  EXPECT_TRUE(alice.lock->SetDBAccess(dbaLock, ids, blocking));
  EXPECT_TRUE(ids.empty());  // nothing for the caller to remove later
  TIds notHeld{"8"};
  EXPECT_TRUE(alice.lock->SetDBAccess(dbaUnlock, notHeld, blocking));
  EXPECT_TRUE(notHeld.empty());
  EXPECT_TRUE(alice.waits.empty());
  EXPECT_TRUE(Untouched(dir.File("Store.wpi"), stamp));
  bob.protection->Release(ticket);

  // Only what this call added comes back: removing that keeps the earlier lock.
  ids = {"5", "7"};
  EXPECT_TRUE(alice.lock->SetDBAccess(dbaLock, ids, blocking));
  EXPECT_EQ(ids, (TIds{"7"}));
  EXPECT_TRUE(alice.lock->SetDBAccess(dbaUnlock, ids, blocking));
  EXPECT_EQ(alice.lock->OwnEntry(), "5,6");
  EXPECT_EQ(bob.Set(dbaLock, {"5"}), "alice@pc1");

  // The same through a string list.
  TQStringList lines{"6", "11"};
  EXPECT_TRUE(alice.lock->SetDBAccess(dbaLock, lines, blocking));
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_EQ(lines.Get(0), "11");
  EXPECT_EQ(alice.lock->OwnEntry(), "5,6,11");
  EXPECT_TRUE(alice.lock->SetDBAccess(dbaUnlock, lines, blocking));
  EXPECT_EQ(alice.lock->OwnEntry(), "5,6");
}

TEST(ItemsLock, RemovingTheLastIdRemovesTheLine) {
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1"), bob(dir, "bob@pc2");
  EXPECT_EQ(bob.Set(dbaLock, {"7"}), "");
  EXPECT_EQ(alice.Set(dbaLock, {"5", "6"}), "");
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=7\r\nalice@pc1=5,6\r\n");
  EXPECT_EQ(alice.Set(dbaUnlock, {"5"}), "");
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=7\r\nalice@pc1=6\r\n");
  EXPECT_EQ(alice.Set(dbaUnlock, {"6"}), "");
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=7\r\n");
  EXPECT_EQ(alice.lock->OwnEntry(), "");
  EXPECT_EQ(bob.Set(dbaUnlock, {"7"}), "");
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "");
}

TEST(ItemsLock, TheFileIsReplacedAsAWholeUnderTheReservation) {
  TTempDir dir;
  WriteAllBytes(dir.File("Store.wpi"), "bob@pc2=7\r\n");
  TStationLiveness bobRuns(dir.File("Store.wpi"), "bob@pc2");
  TWorkstation alice(dir, "alice@pc1");
  struct stat before {};
  ASSERT_EQ(stat(dir.File("Store.wpi").c_str(), &before), 0);
  EXPECT_EQ(alice.Set(dbaLock, {"5"}), "");
  struct stat after {};
  ASSERT_EQ(stat(dir.File("Store.wpi").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file, never the old one rewritten
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  // The reservation and its queue, the record locks and their liveness marks; no
  // temporary file left.
  EXPECT_EQ(files, 4);

  // A replacement that fails at its last step leaves the old file complete and the
  // station's entry as it was.
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    TIds ids{"6"};
    std::string blocking;
    EXPECT_FALSE(alice.lock->SetDBAccess(dbaLock, ids, blocking));
    EXPECT_EQ(blocking, "*");
    EXPECT_TRUE(ids.empty());
    ids = {"5"};
    EXPECT_FALSE(alice.lock->SetDBAccess(dbaUnlock, ids, blocking));
  }
  EXPECT_EQ(alice.lock->OwnEntry(), "5");
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=7\r\nalice@pc1=5\r\n");
  EXPECT_FALSE(alice.protection->Locked());
}

TEST(ItemsLock, LockAllNestsAndKeepsAllUntilTheLastUnlockAll) {
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1"), bob(dir, "bob@pc2");
  std::string blocking;
  ASSERT_TRUE(alice.lock->LockAll(blocking));
  ASSERT_TRUE(alice.lock->LockAll(blocking));
  EXPECT_EQ(alice.lock->AllLevel(), 2);
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "alice@pc1=all\r\n");

  // Under "all" this station needs no single locks; every other station is refused.
  EXPECT_EQ(alice.Set(dbaLock, {"9"}), "");
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "alice@pc1=all\r\n");
  EXPECT_EQ(bob.Set(dbaLock, {"9"}), "alice@pc1");
  EXPECT_FALSE(bob.lock->LockAll(blocking));
  EXPECT_EQ(blocking, "alice@pc1");
  EXPECT_EQ(bob.lock->AllLevel(), 0);

  EXPECT_TRUE(alice.lock->UnlockAll());
  EXPECT_EQ(alice.lock->AllLevel(), 1);
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "alice@pc1=all\r\n");
  EXPECT_TRUE(alice.lock->UnlockAll());
  EXPECT_EQ(alice.lock->AllLevel(), 0);
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "");
  EXPECT_EQ(bob.Set(dbaLock, {"9"}), "");
}

TEST(ItemsLock, LockAllIsRefusedWhileAnotherStationHoldsIds) {
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1"), bob(dir, "bob@pc2");
  EXPECT_EQ(bob.Set(dbaLock, {"3"}), "");
  std::string blocking;
  EXPECT_FALSE(alice.lock->LockAll(blocking));
  EXPECT_EQ(blocking, "bob@pc2");
  EXPECT_EQ(alice.lock->AllLevel(), 0);
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=3\r\n");

  EXPECT_EQ(bob.Set(dbaUnlock, {"3"}), "");
  WriteAllBytes(dir.File("Store.wpi"), "carol@pc3=attend\r\n");  // holds nothing
  TStationLiveness carolRuns(dir.File("Store.wpi"), "carol@pc3");
  EXPECT_TRUE(alice.lock->LockAll(blocking));
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "carol@pc3=attend\r\nalice@pc1=all\r\n");
}

TEST(ItemsLock, LockAllCannotSlipBetweenTheCheckAndTheWrite) {
  // Bob holds the reservation; while Alice waits for it, Bob locks a record and lets go.
  // Alice's "all" must see Bob's record: the check happens under the reservation.
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1"), bob(dir, "bob@pc2");
  int bobTicket = 0;
  ASSERT_TRUE(bob.protection->Reserve(bobTicket));
  alice.duringWait = [&](int n) {
    if (n != 1) return;
    EXPECT_EQ(bob.Set(dbaLock, {"5"}), "");
    bob.protection->Release(bobTicket);
  };
  std::string blocking;
  EXPECT_FALSE(alice.lock->LockAll(blocking));
  EXPECT_EQ(blocking, "bob@pc2");
  EXPECT_EQ(alice.waits.size(), 1u);
  EXPECT_EQ(alice.lock->AllLevel(), 0);
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=5\r\n");
}

TEST(ItemsLock, RefusalsWithoutReservationOrUsableFile) {
  TTempDir dir;
  TWorkstation alice(dir, "alice@pc1"), bob(dir, "bob@pc2");
  EXPECT_EQ(alice.Set(dbaLock, {"1"}), "");

  int ticket = 0;
  ASSERT_TRUE(bob.protection->Reserve(ticket));
  TIds ids{"2"};
  std::string blocking;
  EXPECT_FALSE(alice.lock->SetDBAccess(dbaLock, ids, blocking));
  EXPECT_EQ(blocking, "*");
  EXPECT_TRUE(ids.empty());  // nothing to remove later
  EXPECT_EQ(std::accumulate(alice.waits.begin(), alice.waits.end(), 0),
            TAccessProtection::kTotalWaitMs);
  ids = {"1"};
  EXPECT_FALSE(alice.lock->SetDBAccess(dbaUnlock, ids, blocking));
  EXPECT_EQ(blocking, "*");
  EXPECT_EQ(ids, (TIds{"1"}));  // kept, so the caller can try again
  EXPECT_FALSE(alice.lock->UnlockMine());
  EXPECT_EQ(alice.lock->OwnEntry(), "1");
  bob.protection->Release(ticket);

  ids = {"3"};
  EXPECT_FALSE(alice.lock->SetDBAccess(3, ids, blocking));
  EXPECT_EQ(blocking, "[invalid action for setDBAccess]");
  EXPECT_TRUE(ids.empty());

  // An ID text must not be able to write lines of its own.
  const std::string before = ReadAllBytes(dir.File("Store.wpi"));
  for (const char* bad : {"5\r\nbob@pc2=all", "5,6", "x=all"}) {
    ids = {"4", bad};
    EXPECT_FALSE(alice.lock->SetDBAccess(dbaLock, ids, blocking));
    EXPECT_EQ(blocking, "[invalid ID for setDBAccess]");
  }
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), before);

  // A lock file that cannot be read: three attempts, two waits, and "*".
  std::filesystem::remove(dir.File("Store.wpi"));
  std::filesystem::create_directory(dir.File("Store.wpi"));
  alice.waits.clear();
  EXPECT_EQ(alice.Set(dbaLock, {"8"}), "*");
  EXPECT_EQ(alice.waits, (std::vector<int>{300, 300}));
  std::string station;
  EXPECT_TRUE(bob.lock->OtherStationActive(station));  // unknown counts as taken
  EXPECT_EQ(station, "*");
  std::filesystem::remove(dir.File("Store.wpi"));
}

TEST(ItemsLock, OtherStationActiveNamesTheFirstStationHoldingAnything) {
  struct Case {
    const char* file;
    const char* expected;
  };
  const Case cases[] = {
      {"", ""},
      {"alice@pc1=5\r\n", ""},  // this station itself
      {"ALICE@PC1=5\r\n", ""},  // its key in other case
      {"carol=attend\r\ndave=\r\nno line\r\n", ""},
      {"carol=attend\r\n  bob@pc2 = 4 \r\ndave=all\r\n", "bob@pc2"},
      {"dave=all\nbob=1", "dave"},  // lone LF and no final line end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TTempDir dir;
    WriteAllBytes(dir.File("Store.wpi"), c.file);
    TStationLiveness others[] = {{dir.File("Store.wpi"), "bob@pc2"},
                                 {dir.File("Store.wpi"), "bob"},
                                 {dir.File("Store.wpi"), "carol"},
                                 {dir.File("Store.wpi"), "dave"}};
    TWorkstation alice(dir, "alice@pc1");
    EXPECT_EQ(alice.lock->OtherStationActive(), c.expected);
    alice.lock.reset();  // removes alice's own line, keeps the others
  }
}

TEST(ItemsLock, OpeningFindsLeftoversAndUnlockMineRemovesThem) {
  TTempDir dir;
  WriteAllBytes(dir.File("Store.wpi"), "Alice@PC1=4,5\r\nbob@pc2=7\r\n");
  TStationLiveness bobRuns(dir.File("Store.wpi"), "bob@pc2");
  {
    TStationLiveness otherCopyRuns(dir.File("Store.wpi"), "Alice@PC1");
    TWorkstation alice(dir, "alice@pc1");
    EXPECT_TRUE(alice.lock->InUseAtOpen());
    EXPECT_EQ(alice.lock->OwnEntry(), "4,5");
    EXPECT_EQ(alice.Set(dbaLock, {"5"}), "");  // its own already
    EXPECT_EQ(alice.protection->RefCount(), 3);  // registry default, store, record locks
    EXPECT_TRUE(alice.lock->UnlockMine());
    EXPECT_EQ(alice.lock->OwnEntry(), "");
    EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=7\r\n");

    EXPECT_EQ(alice.Set(dbaLock, {"9"}), "");
    std::string blocking;
    EXPECT_FALSE(alice.lock->LockAll(blocking));  // bob holds 7
    alice.lock.reset();  // closing the store removes what it still holds
    EXPECT_EQ(alice.protection->RefCount(), 2);
    EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "bob@pc2=7\r\n");
  }
  TWorkstation alice(dir, "alice@pc1");
  EXPECT_FALSE(alice.lock->InUseAtOpen());
}

// An entry whose station no longer runs holds nothing: the next station that meets it
// under the reservation removes it; a running station's entry is respected.
TEST(ItemsLock, EntriesOfStationsThatAreGoneAreRemovedByTheNextStation) {
  for (const bool bobRuns : {false, true}) {
    SCOPED_TRACE(bobRuns ? "bob runs" : "bob is gone");
    TTempDir dir;
    WriteAllBytes(dir.File("Store.wpi"), "bob@pc2=7,all\r\n");
    TStationLiveness bob;
    if (bobRuns) {
      ASSERT_TRUE(bob.Hold(dir.File("Store.wpi"), "bob@pc2"));
    }
    TWorkstation carol(dir, "carol@pc3");
    EXPECT_EQ(carol.lock->OtherStationActive(), bobRuns ? "bob@pc2" : "");
    std::string blocking;
    EXPECT_EQ(carol.lock->CheckFree({"7"}, blocking), !bobRuns);
    EXPECT_EQ(carol.Set(dbaLock, {"7"}), bobRuns ? "bob@pc2" : "");
    EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")),
              bobRuns ? "bob@pc2=7,all\r\n" : "carol@pc3=7\r\n");
  }
}

// A station reopening under its own key finds its own entry: left by a run that has ended
// it is its own to clear; with another copy running under the key it stays that copy's.
TEST(ItemsLock, OwnEntryCountsAsInUseOnlyWhileAnotherCopyRuns) {
  TTempDir dir;
  WriteAllBytes(dir.File("Store.wpi"), "alice@pc1=4\r\n");
  {
    TWorkstation first(dir, "alice@pc1");
    EXPECT_FALSE(first.lock->InUseAtOpen());
    TWorkstation second(dir, "ALICE@pc1");
    EXPECT_TRUE(second.lock->InUseAtOpen());  // the first still runs
  }
  EXPECT_EQ(ReadAllBytes(dir.File("Store.wpi")), "");  // the first cleared it at its end
}

TEST(StationName, KeyFromUserAndHost) {
  struct Case {
    const char* user;
    const char* host;
    const char* key;
  };
  const Case cases[] = {
      {"alice", "pc1", "alice@pc1"},
      {"KASSE", "kasse", "KASSE"},  // equal ignoring case: the user alone
      {"m\xFC" "ller", "M\xDC" "LLER", "m\xFC" "ller"},
      {"al=ice", "p,c\r\n1", "alice@pc1"},  // characters that would break the lock file
      {"alice", "", "alice"},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeStationKey(c.user, c.host), c.key) << c.user;

  // Local time in 2 ms steps: (day * 86400 + h * 3600 + m * 60 + s) * 500 + ms / 2.
  EXPECT_EQ(MakeRunNumber(0, 0, 0, 0, 1), "0");
  EXPECT_EQ(MakeRunNumber(1, 0, 0, 0, 0), "2932E00");          // 86400 * 500
  EXPECT_EQ(MakeRunNumber(31, 23, 59, 59, 999), "5265BFFF");

  InitStationName(false);
  const std::string plain = StationName();
  EXPECT_FALSE(plain.empty());
  EXPECT_EQ(plain.find_first_of("=,\r\n"), std::string::npos);
  InitStationName(true);
  const std::string withRun = StationName();
  ASSERT_EQ(withRun.rfind(plain + "@@", 0), 0u);
  EXPECT_EQ(withRun.find_first_not_of("0123456789ABCDEF", plain.size() + 2), std::string::npos);
  InitStationName(true);
  EXPECT_EQ(StationName(), withRun);  // the run number is the program's start, not now
  InitStationName(false);
}
