#include "platform/FileLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.h"

TEST(FileLock, TwoHoldersInOneProcessConflictUntilTheFirstLetsGo) {
  TTempDir dir;
  const std::string name = dir.File("Store.wpf");
  TFileLock first, second;
  ASSERT_EQ(first.TryLock(name), TFileLockResult::Locked);
  EXPECT_EQ(first.TryLock(name), TFileLockResult::Locked);  // already held: no change
  EXPECT_EQ(second.TryLock(name), TFileLockResult::Busy);
  EXPECT_FALSE(second.Locked());
  EXPECT_EQ(second.Handle(), -1);

  first.Unlock();
  EXPECT_FALSE(first.Locked());
  EXPECT_EQ(second.TryLock(name), TFileLockResult::Locked);

  TFileLock moved(std::move(second));  // the hold travels with the object
  EXPECT_TRUE(moved.Locked());
  EXPECT_EQ(first.TryLock(name), TFileLockResult::Busy);
}

TEST(FileLock, KeepsTheFileContentAndFailsWithoutFolder) {
  TTempDir dir;
  const std::string name = dir.File("Store.wpf");
  WriteAllBytes(name, "left by another version");
  {
    TFileLock lock;
    ASSERT_EQ(lock.TryLock(name), TFileLockResult::Locked);
  }
  EXPECT_EQ(ReadAllBytes(name), "left by another version");

  TFileLock lock;
  EXPECT_EQ(lock.TryLock(dir.File("missing/Store.wpf")), TFileLockResult::Failed);
  EXPECT_NE(lock.LastError(), 0);
  EXPECT_EQ(lock.TryLock(""), TFileLockResult::Failed);
}

TEST(FileLock, NewFileIsWritableForEveryoneWhoMayWriteInTheFolder) {
  TTempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0770), 0);
  const std::string name = dir.File("Store.wpf");
  TFileLock lock;
  ASSERT_EQ(lock.TryLock(name), TFileLockResult::Locked);
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
}
