#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "data/MiniDBTestSupport.h"
#include "platform/PlatformFiles.h"

namespace {

// A second running copy under the same station key: the first copy's record locks stay
// exactly as they are, the second copy never writes and cannot lock.
TEST(MiniDBInUse, ASecondCopyUnderTheSameKeyKeepsTheFirstCopysLocks) {
  TTempDir dir;
  TStation first("alice@pc1");
  ASSERT_TRUE(first.Open(dir));
  const int32_t id = first->NewRecord(4);
  ASSERT_NE(id, 0);
  ASSERT_TRUE(first->LockItem(id, false, -1));
  const std::string locks = ReadAllBytes(dir.File("Data.wpi"));
  ASSERT_NE(locks.find("alice@pc1="), std::string::npos);
  EXPECT_FALSE(first->InUseAtOpen());

  {
    TStation second("alice@pc1");
    TScopedRecorder ui;
    ASSERT_TRUE(second.Open(dir));
    EXPECT_TRUE(second->InUseAtOpen());
    EXPECT_TRUE(second->NoSave);
    EXPECT_EQ(ReadAllBytes(dir.File("Data.wpi")), locks);
    EXPECT_FALSE(second->LockItem(id + 1, false, -1));
    std::string blocking;
    EXPECT_FALSE(second->ItemsLock->LockAll(blocking));
    EXPECT_EQ(blocking, "alice@pc1");
    EXPECT_FALSE(second->ItemsLock->UnlockMine());
    second->Close();
    EXPECT_EQ(ReadAllBytes(dir.File("Data.wpi")), locks);
  }
  // The first copy's lock still protects its record; its own unlock works as before.
  EXPECT_TRUE(first->UnlockItem(id));
  EXPECT_EQ(ReadAllBytes(dir.File("Data.wpi")).find("alice@pc1="), std::string::npos);

  // A station that finds nothing of its own opens normally.
  TStation third("alice@pc1");
  ASSERT_TRUE(third.Open(dir));
  EXPECT_FALSE(third->InUseAtOpen());
  EXPECT_FALSE(third->NoSave);
}

// A station killed while it held record locks and the next new ID: nothing of it blocks
// the others, and its own next start opens writable.
TEST(MiniDBInUse, AKilledStationsLocksAndClaimsBlockNobody) {
  TTempDir dir;
  int32_t record = 0;
  {
    TStation setup("alice@pc1");
    ASSERT_TRUE(setup.Open(dir));
    record = setup->NewRecord(4);
    ASSERT_NE(record, 0);
  }
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Never returns into the test framework.
    close(ready[0]);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    alarm(60);
    TStation bob("bob@pc2");
    std::vector<std::string> claim{std::to_string(record + 1)};
    std::string blocking;
    const bool held = bob.Open(dir) && bob->LockItem(record, false, -1) &&
                      bob->ItemsLock->SetDBAccess(dbaLock, claim, blocking);
    const char state = held ? 'L' : 'F';
    if (write(ready[1], &state, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char state = 0;
  ASSERT_EQ(read(ready[0], &state, 1), 1);
  close(ready[0]);
  ASSERT_EQ(state, 'L');

  TStation alice("alice@pc1");
  ASSERT_TRUE(alice.Open(dir));
  {
    TScopedRecorder ui;
    EXPECT_FALSE(alice->LockItem(record, false, -1)) << "bob runs and edits it";
  }
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);

  TScopedRecorder ui;
  EXPECT_EQ(alice->NewRecord(4), record + 1);
  EXPECT_TRUE(alice->LockItem(record, false, -1));
  EXPECT_TRUE(alice->UnlockItem(record));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ReadAllBytes(dir.File("Data.wpi")).find("bob@pc2"), std::string::npos);

  TStation bobAgain("bob@pc2");
  ASSERT_TRUE(bobAgain.Open(dir));
  EXPECT_FALSE(bobAgain->InUseAtOpen());
  EXPECT_FALSE(bobAgain->NoSave);
}

// A new record leaves nothing in the lock file, whatever happens to its save.
TEST(MiniDBInUse, ANewRecordLeavesNoClaimBehind) {
  TTempDir dir;
  TStation alice("alice@pc1");
  ASSERT_TRUE(alice.Open(dir));
  ASSERT_NE(alice->NewRecord(4), 0);
  {
    TScopedRecorder ui;
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    EXPECT_EQ(alice->NewRecord(4), 0);
  }
  EXPECT_EQ(ReadAllBytes(dir.File("Data.wpi")), "");
}

}  // namespace
