#include "data/AccessProtection.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <numeric>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TestSupport.h"

namespace {

// One simulated workstation: its own registry (so its own descriptor on the lock file)
// and a sleeper that only records the waits, optionally acting during one of them.
struct TStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* protection = nullptr;
  std::vector<int> waits;
  std::function<void(int waitNumber)> duringWait;

  explicit TStation(const std::string& lockFile) {
    registry.SetSleeper([this](int ms) {
      waits.push_back(ms);
      if (duringWait) duringWait(static_cast<int>(waits.size()));
    });
    GetAccessProtection(lockFile, protection, registry);
  }
  ~TStation() { ReleaseAccessProtection(protection); }
  int Waited() const { return std::accumulate(waits.begin(), waits.end(), 0); }
};

}  // namespace

TEST(AccessProtection, NestedTicketsKeepTheLockUntilTheLastRelease) {
  TTempDir dir;
  TStation a(dir.File("Store.wpf")), b(dir.File("Store.wpf"));
  int t1 = 0, t2 = 0, tb = 0;
  ASSERT_TRUE(a.protection->Reserve(t1));
  ASSERT_TRUE(a.protection->Reserve(t2));
  EXPECT_GT(t1, 0);
  EXPECT_GT(t2, 0);
  EXPECT_NE(t1, t2);
  EXPECT_TRUE(a.waits.empty());

  // The second station is refused after the whole wait of 1.2 s.
  EXPECT_FALSE(b.protection->Reserve(tb));
  EXPECT_EQ(tb, 0);
  EXPECT_EQ(b.Waited(), TAccessProtection::kTotalWaitMs);

  a.protection->Release(t1);
  a.protection->Release(t1);  // twice: ignored
  a.protection->Release(-1);  // negative: ignored
  a.protection->Release(0);
  a.protection->Release(t2 + 1000);  // never handed out
  EXPECT_TRUE(a.protection->Locked());
  EXPECT_EQ(a.protection->TicketCount(), 1);
  b.waits.clear();
  EXPECT_FALSE(b.protection->Reserve(tb));

  a.protection->Release(t2);
  EXPECT_FALSE(a.protection->Locked());
  b.waits.clear();
  EXPECT_TRUE(b.protection->Reserve(tb));
  EXPECT_GT(tb, 0);
  EXPECT_TRUE(b.waits.empty());  // at once
  b.protection->Release(tb);
}

TEST(AccessProtection, TheLastAttemptIsMadeAtTheEndOfTheWait) {
  TTempDir dir;
  TStation a(dir.File("Store.wpf")), b(dir.File("Store.wpf"));
  int ta = 0, tb = 0;
  ASSERT_TRUE(a.protection->Reserve(ta));
  b.duringWait = [&](int) {
    if (b.Waited() == TAccessProtection::kTotalWaitMs) a.protection->Release(ta);
  };
  EXPECT_TRUE(b.protection->Reserve(tb));
  EXPECT_EQ(b.Waited(), TAccessProtection::kTotalWaitMs);
  b.protection->Release(tb);
}

TEST(AccessProtection, AReservationTakenByEventsDuringTheWaitIsShared) {
  // The program's own events run while it waits; when one of them reserves the same
  // store, the waiting call must join that reservation instead of colliding with it.
  TTempDir dir;
  TStation a(dir.File("Store.wpf")), b(dir.File("Store.wpf"));
  int ta = 0, inner = 0, outer = 0;
  ASSERT_TRUE(a.protection->Reserve(ta));
  b.duringWait = [&](int n) {
    if (n != 1) return;
    a.protection->Release(ta);
    ASSERT_TRUE(b.protection->Reserve(inner));
  };
  EXPECT_TRUE(b.protection->Reserve(outer));
  EXPECT_NE(inner, outer);
  EXPECT_EQ(b.protection->TicketCount(), 2);
  b.protection->Release(inner);
  EXPECT_TRUE(b.protection->Locked());
  b.protection->Release(outer);
  EXPECT_FALSE(b.protection->Locked());
}

TEST(AccessProtection, InstancesReferencesAndTheDefault) {
  TTempDir dir;
  TAccessProtectionRegistry registry;
  TAccessProtection& unnamed = registry.Default();
  int ticket = -7;
  EXPECT_TRUE(unnamed.Reserve(ticket));  // no file: the result without file
  EXPECT_EQ(ticket, 0);
  unnamed.SetResultWithoutFile(false);
  EXPECT_FALSE(unnamed.Reserve(ticket));
  unnamed.SetResultWithoutFile(true);

  // The first instance with a file name becomes the global reservation for good.
  TAccessProtection* store = nullptr;
  GetAccessProtection(dir.File("Store.wpf"), store, registry);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(&registry.Default(), store);
  EXPECT_EQ(store->RefCount(), 2);

  TAccessProtection* same = nullptr;
  GetAccessProtection(dir.File("Store.wpf"), same, registry);
  EXPECT_EQ(same, store);
  EXPECT_EQ(store->RefCount(), 3);
  GetAccessProtection(dir.File("Store.wpf"), same, registry);  // same name: kept as is
  EXPECT_EQ(store->RefCount(), 3);

  // Another name: the old reference is returned, a new instance made.
  TAccessProtection* other = same;
  GetAccessProtection(dir.File("Locksmith.wpf"), other, registry);
  EXPECT_NE(other, store);
  EXPECT_EQ(store->RefCount(), 2);
  EXPECT_EQ(other->RefCount(), 1);
  EXPECT_EQ(&registry.Default(), store);
  EXPECT_EQ(registry.InstanceCount(), 3);
  // Names are not folded: on this system "store.wpf" is another file.
  TAccessProtection* lower = nullptr;
  GetAccessProtection(dir.File("store.wpf"), lower, registry);
  EXPECT_NE(lower, store);

  ReleaseAccessProtection(lower);
  EXPECT_EQ(lower, nullptr);
  ReleaseAccessProtection(other);  // last reference: freed
  EXPECT_EQ(registry.InstanceCount(), 2);
  ReleaseAccessProtection(same);
  ReleaseAccessProtection(store);
  EXPECT_EQ(registry.InstanceCount(), 2);  // the default stays
  EXPECT_EQ(registry.Default().FileName(), dir.File("Store.wpf"));
}

TEST(AccessProtection, TicketsComeFromOneCounterAcrossInstances) {
  TTempDir dir;
  TAccessProtectionRegistry registry;
  TAccessProtection* a = registry.Acquire(dir.File("A.wpf"));
  TAccessProtection* b = registry.Acquire(dir.File("B.wpf"));
  int ta = 0, tb = 0;
  ASSERT_TRUE(a->Reserve(ta));
  ASSERT_TRUE(b->Reserve(tb));
  EXPECT_EQ(tb, ta + 1);
  a->Release(tb);  // another instance's ticket: ignored
  EXPECT_TRUE(a->Locked());
  a->Release(ta);
  b->Release(tb);
  EXPECT_FALSE(a->Locked());
  EXPECT_FALSE(b->Locked());
  registry.Release(a);
  registry.Release(b);
}

// Two real processes: the kernel ends a dead holder's reservation at once.
TEST(AccessProtectionProcesses, AKilledHolderFreesTheReservationAtOnce) {
  TTempDir dir;
  const std::string lockFile = dir.File("Store.wpf");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child never returns into the test framework.
    close(ready[0]);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    alarm(60);
    TAccessProtectionRegistry registry;
    int ticket = 0;
    const char state = registry.Acquire(lockFile)->Reserve(ticket) ? 'L' : 'F';
    if (write(ready[1], &state, 1) != 1) _exit(2);
    for (;;) pause();
    _exit(0);
  }
  close(ready[1]);
  char state = 0;
  ASSERT_EQ(read(ready[0], &state, 1), 1);
  close(ready[0]);
  ASSERT_EQ(state, 'L');

  TStation station(lockFile);
  int ticket = 0;
  EXPECT_FALSE(station.protection->Reserve(ticket));
  EXPECT_EQ(station.Waited(), TAccessProtection::kTotalWaitMs);

  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));

  station.waits.clear();
  EXPECT_TRUE(station.protection->Reserve(ticket));
  EXPECT_TRUE(station.waits.empty());
  station.protection->Release(ticket);
}

TEST(AccessProtection, TheProgramsWaitKeepsTheWindowAlive) {
  TScopedRecorder ui;
  DefaultSleeper(0);
  EXPECT_GE(ui.pendingEventCalls, 1);
}
