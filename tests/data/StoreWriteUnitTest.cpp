#include "data/StoreWriteUnit.h"

#include <gtest/gtest.h>

#include <functional>

#include "data/ItemsLock.h"
#include "data/MiniDBTestSupport.h"
#include "platform/PlatformFiles.h"

namespace {

struct StoreWrite : ::testing::Test {
  TTempDir dir;
  TStation a{"A"};
  TStation b{"B"};
  int32_t door = 0;
  int32_t key = 0;

  void SetUp() override {
    ASSERT_TRUE(a.Open(dir));
    door = a->NewNamedRecord(3, "Door", "");
    key = a->NewNamedRecord(4, "Key", "");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
  }
  std::string OnDisk(int32_t id, const std::string& field) {
    TStation reader("R");
    EXPECT_TRUE(reader.Open(dir));
    return reader->GetField(id, field);
  }
};

TEST_F(StoreWrite, ACommittedChangeIsOnDiskAndEverythingIsGivenBack) {
  {
    TStoreWrite write(*a.db, {door, key});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "one");
    a->SetField(key, "r", "two");
    ASSERT_TRUE(write.Commit());
  }
  EXPECT_EQ(OnDisk(door, "r"), "one");
  EXPECT_EQ(OnDisk(key, "r"), "two");
  // Locks and reservation are free again: the other station can write the same records.
  TStoreWrite other(*b.db, {door});
  EXPECT_TRUE(other.Ok());
  EXPECT_TRUE(a->AutoSave);
}

// The records stay this station's through the held reservation: the lock file is not
// written, so a change costs one safe write of the store and no more.
TEST_F(StoreWrite, AWriteLeavesTheLockFileAlone) {
  ASSERT_TRUE(a->LockItem(door, false, 0));  // an edit lock in a view
  const TFileStamp before = GetFileStamp(dir.File("Data.wpi"));
  {
    TStoreWrite write(*a.db, {door, key});
    ASSERT_TRUE(write.Ok());
    a->SetField(key, "r", "changed");
    ASSERT_TRUE(write.Commit());
  }
  EXPECT_EQ(GetFileStamp(dir.File("Data.wpi")), before);
  EXPECT_EQ(a->ItemsLock->OwnEntry(), std::to_string(door));
}

TEST_F(StoreWrite, ARecordLockedElsewhereRefusesAndNamesTheStation) {
  // A edits the key in a view; B's booking on the key must not go through.
  ASSERT_TRUE(a->LockItem(key, false, 0));
  const TFileStamp before = GetFileStamp(dir.File("Data.ada"));
  {
    TStoreWrite write(*b.db, {door, key});
    EXPECT_FALSE(write.Ok());
    EXPECT_EQ(write.Blocking(), "A");
  }
  EXPECT_EQ(GetFileStamp(dir.File("Data.ada")), before);
  // The refused write took no lock of its own: the door is free.
  TStoreWrite other(*a.db, {door});
  EXPECT_TRUE(other.Ok());
}

// A record found only on the fresh data joins the write under the same checks: refused while
// another station holds it, taken back with the others when the write is not committed.
TEST_F(StoreWrite, ARecordTakenInLaterIsCheckedAndTakenBackWithTheOthers) {
  ASSERT_TRUE(b->LockItem(key, false, 0));
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "changed");
    EXPECT_FALSE(write.Include({key}));
    EXPECT_EQ(write.Blocking(), "B");
  }
  EXPECT_EQ(a->GetField(door, "r"), "");
  ASSERT_TRUE(b->UnlockItem(key));
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "changed");
    ASSERT_TRUE(write.Include({key, door, key}));
    a->SetField(key, "r", "changed");
  }
  EXPECT_EQ(a->GetField(door, "r"), "");
  EXPECT_EQ(a->GetField(key, "r"), "");
  EXPECT_EQ(OnDisk(key, "r"), "");
}

TEST_F(StoreWrite, AHeldReservationRefusesWithAStar) {
  int ticket = 0;
  ASSERT_TRUE(a->Reserve(ticket));
  {
    TStoreWrite write(*b.db, {door});
    EXPECT_FALSE(write.Ok());
    EXPECT_FALSE(write.Reserved());
    EXPECT_EQ(write.Blocking(), "*");
  }
  a->Release(ticket);
}

TEST_F(StoreWrite, AWriteThatIsNotCommittedLeavesNothingBehind) {
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "abandoned");
  }
  EXPECT_EQ(a->GetField(door, "r"), "");
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(OnDisk(door, "r"), "");
}

TEST_F(StoreWrite, AFailedSaveTakesTheChangeBackInMemoryToo) {
  TScopedRecorder ui;
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "not saved");
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    EXPECT_FALSE(write.Commit());
  }
  EXPECT_EQ(a->GetField(door, "r"), "");
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(OnDisk(door, "r"), "");
}

// After a failed save the record is back to the file's line and no longer this station's
// change: once its lock is gone another station changes it, and this station's next save
// (of another record) must not put the old line back over that change.
TEST_F(StoreWrite, AFailedSaveLeavesNoOldLineToOverwriteTheNextStationsChange) {
  TScopedRecorder ui;
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "not saved");
    TPfFaultScope fault([](TPfOp op, const std::string&) { return op == TPfOp::Rename ? EIO : 0; });
    EXPECT_FALSE(write.Commit());
  }
  {
    TStoreWrite write(*b.db, {door});
    ASSERT_TRUE(write.Ok());
    b->SetField(door, "r", "by B");
    ASSERT_TRUE(write.Commit());
  }
  {
    TStoreWrite write(*a.db, {key});
    ASSERT_TRUE(write.Ok());
    a->SetField(key, "r", "by A");
    ASSERT_TRUE(write.Commit());
  }
  EXPECT_EQ(OnDisk(door, "r"), "by B");
  EXPECT_EQ(OnDisk(key, "r"), "by A");
}

// Changes of this station that were unsaved when the write began stay its changes.
TEST_F(StoreWrite, ATakenBackWriteKeepsEarlierUnsavedChanges) {
  a->AutoSave = false;
  a->SetField(door, "n2", "earlier");
  a->SelectRecord(key);  // the earlier change is now in the lines, not yet saved
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    a->SetField(door, "r", "taken back");
  }
  a->AutoSave = true;
  EXPECT_TRUE(a->HasUnsavedChange(door));
  ASSERT_TRUE(a->Commit());
  EXPECT_EQ(OnDisk(door, "n2"), "earlier");
  EXPECT_EQ(OnDisk(door, "r"), "");
}

TEST_F(StoreWrite, TheOtherStationsChangeIsReadBeforeTheChange) {
  b->SetField(key, "r", "from B");
  ASSERT_TRUE(b->Commit());
  {
    TStoreWrite write(*a.db, {key});
    ASSERT_TRUE(write.Ok());
    EXPECT_EQ(a->GetField(key, "r"), "from B");
    a->SetField(key, "n2", "x");
    ASSERT_TRUE(write.Commit());
  }
  EXPECT_EQ(OnDisk(key, "r"), "from B");
  EXPECT_EQ(OnDisk(key, "n2"), "x");
}

TEST_F(StoreWrite, LocksHeldBeforeTheWriteSurviveIt) {
  ASSERT_TRUE(a->LockItem(door, false, 0));
  {
    TStoreWrite write(*a.db, {door, key});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(write.Commit());
  }
  TStoreWrite other(*b.db, {door});
  EXPECT_FALSE(other.Ok());
  EXPECT_EQ(other.Blocking(), "A");
}

TEST_F(StoreWrite, InBulkModeNothingIsSavedUntilTheBulkRunSaves) {
  std::string blocking;
  ASSERT_TRUE(a->ItemsLock->LockAll(blocking));
  const TFileStamp before = GetFileStamp(dir.File("Data.ada"));
  {
    TStoreWrite write(*a.db, {door});
    ASSERT_TRUE(write.Ok());
    EXPECT_TRUE(write.Bulk());
    a->SetField(door, "r", "bulk");
    ASSERT_TRUE(write.Commit());
  }
  EXPECT_EQ(GetFileStamp(dir.File("Data.ada")), before);
  a->AutoSave = true;
  ASSERT_TRUE(a->SaveIfModified());
  EXPECT_EQ(OnDisk(door, "r"), "bulk");
  a->ItemsLock->UnlockAll();
}

}  // namespace

// Deleting (which unlinks the record from every record it is linked to), relinking and
// setting links inside a write save nothing of their own: the write saves them once, or
// takes back every record they reached, also those the write did not name.
TEST_F(StoreWrite, MultiRecordOperationsInsideAWriteSaveOnlyWithItsCommit) {
  const int32_t cylinder = a->NewNamedRecord(6, "Cyl", "");
  const int32_t person = a->NewNamedRecord(5, "Anna", "");
  a->AddLinkBoth(key, door, 3, 4);
  a->AddLinkBoth(key, cylinder, 6, 4);
  a->AddLinkBoth(key, person, 5, 4);
  ASSERT_TRUE(a->Commit());
  const std::string file = ReadAllBytes(dir.File("Data.ada"));
  const std::string doorLine = a->GetRecordText(door);
  TItemList doors;
  doors.Add(door);
  const struct {
    const char* what;
    std::function<bool()> change;
  } cases[] = {
      {"MarkDeleted", [&] { return a->MarkDeleted(key); }},
      {"ReplaceLink", [&] { return a->ReplaceLink(person, door, 0, 3, 5); }},
      {"SetLinks", [&] { std::string b; return a->SetLinks(cylinder, 6, b, false, doors, 3); }},
  };
  for (const auto& c : cases) {
    {
      TStoreWrite write(*a.db, {key});
      ASSERT_TRUE(write.Ok()) << c.what;
      ASSERT_TRUE(c.change()) << c.what;
      EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), file) << c.what;
      // Not committed: every record is back, the linked ones included.
    }
    EXPECT_EQ(a->GetRecordText(door), doorLine) << c.what;
    EXPECT_FALSE(a->Modified) << c.what;
    EXPECT_TRUE(a->IsValid(key)) << c.what;
    EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), file) << c.what;
  }
  {
    TStoreWrite write(*a.db, {key});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(a->MarkDeleted(key));
    EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), file);
    ASSERT_TRUE(write.Commit());
  }
  EXPECT_EQ(OnDisk(key, "v"), "0");
  EXPECT_EQ(OnDisk(door, "l4"), "");
  EXPECT_EQ(OnDisk(person, "l4"), "");

  // A linked record another station edits refuses the deletion inside the write and
  // names that station; nothing is changed.
  const int32_t key2 = a->NewNamedRecord(4, "Key 2", "");
  a->AddLinkBoth(key2, person, 5, 4);
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(b->LockItem(person, false, 0));
  TScopedRecorder ui;
  {
    TStoreWrite write(*a.db, {key2});
    ASSERT_TRUE(write.Ok());
    EXPECT_FALSE(a->MarkDeleted(key2));
  }
  EXPECT_NE(ui.AllText().find("am Arbeitsplatz B "), std::string::npos) << ui.AllText();
  EXPECT_EQ(OnDisk(key2, "l5"), std::to_string(person));
  EXPECT_TRUE(a->IsValid(key2));
}
