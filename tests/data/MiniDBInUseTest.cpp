#include <gtest/gtest.h>

#include "data/MiniDBTestSupport.h"

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

}  // namespace
