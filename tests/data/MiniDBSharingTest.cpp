// Several workstations on one store file, and the faults the store must never make:
// losing a record, handing out an ID twice, breaking the file, running away on a damaged
// file, saving silently into nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MiniDBTestSupport.h"
#include "basic/FileCtrl2.h"
#include "basic/ValueString.h"
#include "platform/PlatformFiles.h"

namespace {

// Every valid record of a fresh reader: ID -> name.
std::map<int32_t, std::string> ReadBack(const TTempDir& dir) {
  TStation reader("reader");
  EXPECT_TRUE(reader.Open(dir));
  std::map<int32_t, std::string> records;
  TItemList all;
  reader->ListAll(all, true);
  for (int32_t i = 0; i < all.Count(); ++i)
    records[all.Get(i)] = reader->GetName(all.Get(i));
  // Each ID stands on exactly one line.
  std::set<int32_t> seen;
  std::vector<std::string> items;
  for (size_t n = 2; n < reader->Lines.size(); ++n) {
    TLineInfo info;
    ScanRecordLine(reader->Lines[n], items, info);
    if (info.id > 0) {
      EXPECT_TRUE(seen.insert(info.id).second) << "ID twice: " << info.id;
    }
  }
  return records;
}

// Holds the store's write reservation as a third station would.
struct TBlocker {
  TAccessProtectionRegistry registry;
  TAccessProtection* protection = nullptr;
  int ticket = -1;
  explicit TBlocker(const TTempDir& dir) {
    registry.SetSleeper([](int) {});
    GetAccessProtection(dir.File("Data.wpf"), protection, registry);
    EXPECT_TRUE(protection->Reserve(ticket));
  }
  ~TBlocker() {
    protection->Release(ticket);
    ReleaseAccessProtection(protection);
  }
};

}  // namespace

TEST(MiniDBSharing, OtherStationsRecordsSurviveAStore) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewNamedRecord(3, "Tor", "");
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(b.Open(dir));
  int32_t key = b->NewNamedRecord(4, "S1", "");
  ASSERT_TRUE(b->Commit());
  a->SetField(door, "r", "neu");  // A has not seen B's key yet
  ASSERT_TRUE(a->Commit());
  auto records = ReadBack(dir);
  EXPECT_EQ(records[door], "Tor");
  EXPECT_EQ(records[key], "S1");
  EXPECT_EQ(records.size(), 2u);
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

// Invariant 1: a reread keeps this station's changes that are not yet on disk.
TEST(MiniDBSharing, RereadKeepsUnsavedChanges) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewNamedRecord(3, "Tor", "");
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(b.Open(dir));

  a->AutoSave = false;
  a->SetField(door, "r", "unsaved remark");
  ASSERT_TRUE(a->StoreCurrent());  // in the lines, not on disk
  ASSERT_TRUE(a->Modified);
  int32_t key = b->NewNamedRecord(4, "S1", "");
  ASSERT_TRUE(b->Commit());

  EXPECT_EQ(a->Load(), ldRead);
  EXPECT_TRUE(a->Modified);
  EXPECT_EQ(a->GetRemark(door), "unsaved remark");
  EXPECT_EQ(a->GetName(key), "S1");
  a->AutoSave = true;
  ASSERT_TRUE(a->Commit());
  auto records = ReadBack(dir);
  EXPECT_EQ(records.size(), 2u);
  TStation c("C");
  ASSERT_TRUE(c.Open(dir));
  EXPECT_EQ(c->GetRemark(door), "unsaved remark");
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

// Invariant 1: a refused save is reported, survives another station's save and goes
// through at the next attempt.
TEST(MiniDBSharing, RefusedSaveFollowedByForeignSaveLosesNothing) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewNamedRecord(3, "Tor", "");
  ASSERT_TRUE(b.Open(dir));
  {
    TBlocker blocker(dir);
    a->SetField(door, "r", "A's remark");
    EXPECT_FALSE(a->Commit());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, MultiItemsDBText(1) + "\r" + dir.File("Data.ada"));
    EXPECT_TRUE(a->Modified);
  }
  int32_t key = b->NewNamedRecord(4, "S1", "");
  ASSERT_TRUE(b->Commit());
  ASSERT_TRUE(a->SaveIfModified());
  TStation c("C");
  ASSERT_TRUE(c.Open(dir));
  EXPECT_EQ(c->GetRemark(door), "A's remark");
  EXPECT_EQ(c->GetName(key), "S1");
}

// Invariant 2: two stations creating records never share an ID.
TEST(MiniDBSharing, AlternatingCreatesAndEditsKeepEveryRecordOnce) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  ASSERT_TRUE(b.Open(dir));
  std::map<int32_t, std::string> expected;
  std::vector<int32_t> mineA, mineB;
  for (int round = 0; round < 12; ++round) {
    int32_t x = a->NewRecord(4);
    int32_t y = b->NewRecord(5);
    ASSERT_GT(x, 0);
    ASSERT_GT(y, 0);
    ASSERT_NE(x, y);
    a->SetField(x, "n", "A" + std::to_string(round));
    b->SetField(y, "n", "B" + std::to_string(round));
    expected[x] = "A" + std::to_string(round);
    expected[y] = "B" + std::to_string(round);
    mineA.push_back(x);
    mineB.push_back(y);
    // Edits of older records, alternating which station stores first.
    if (round % 2) {
      ASSERT_TRUE(b->Commit());
      a->SetField(mineA[round / 2], "n", "A-edit" + std::to_string(round));
      expected[mineA[round / 2]] = "A-edit" + std::to_string(round);
      ASSERT_TRUE(a->Commit());
    } else {
      ASSERT_TRUE(a->Commit());
      b->SetField(mineB[round / 2], "n", "B-edit" + std::to_string(round));
      expected[mineB[round / 2]] = "B-edit" + std::to_string(round);
      ASSERT_TRUE(b->Commit());
    }
  }
  EXPECT_EQ(ReadBack(dir), expected);
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

// Invariant 2: inside exclusive access new records stay in memory until the bulk save. No
// other station creates records meanwhile; and should a record under one of those IDs reach
// the file anyway (a station that ignored the lock file), it stays and ours moves to a free
// ID, its references in this station's unsaved lines with it.
TEST(MiniDBSharing, NewRecordUnderExclusiveAccessNeverTakesAForeignID) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  ASSERT_GT(a->NewNamedRecord(3, "base", ""), 0);
  ASSERT_TRUE(b.Open(dir));
  std::string blocking;
  ASSERT_TRUE(a->ItemsLock->LockAll(blocking));
  a->AutoSave = false;
  int32_t mine = a->NewNamedRecord(4, "bulk", "");
  int32_t linked = a->NewNamedRecord(5, "bulk person", "");
  a->AddLinkBoth(mine, linked, 5, 4);
  a->StoreCurrent();
  EXPECT_EQ(b->NewRecord(7), 0);  // refused while A holds the whole store
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("Arbeitsplatz A "), std::string::npos);
  ui.Clear();
  // A writer that ignores the lock file puts its own record under A's first new ID.
  std::string bytes = ReadAllBytes(dir.File("Data.ada"));
  bytes += "i=" + std::to_string(mine) + ",c=7,n=" + ScrambleStr("foreign") + "\r\n";
  WriteAllBytes(dir.File("Data.ada") + "~x", bytes);
  std::filesystem::rename(dir.File("Data.ada") + "~x", dir.File("Data.ada"));
  a->AutoSave = true;
  ASSERT_TRUE(a->Commit());
  a->ItemsLock->UnlockAll();
  ASSERT_EQ(a->MovedIDs.count(mine), 1u);
  EXPECT_EQ(a->MovedIDs.count(linked), 0u);  // its ID was free
  int32_t moved = a->MovedIDs[mine];
  int32_t movedLinked = linked;
  auto records = ReadBack(dir);
  EXPECT_EQ(records[mine], "foreign");
  EXPECT_EQ(records[moved], "bulk");
  EXPECT_EQ(records[movedLinked], "bulk person");
  EXPECT_EQ(records.size(), 4u);
  TStation c("C");
  ASSERT_TRUE(c.Open(dir));
  EXPECT_EQ(c->GetLinkText(moved, 5), std::to_string(movedLinked));
  EXPECT_EQ(c->GetLinkText(movedLinked, 4), std::to_string(moved));
  EXPECT_EQ(c->GetLinkText(mine, 5), "");
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

// Invariant 3: no value can break a line or end the file.
TEST(MiniDBSharing, ControlCharactersInValuesBecomeBlanks) {
  TTempDir dir;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewRecord(3);
  const std::string bad = std::string("a\rb\nc", 5) + std::string(1, '\0') + "d\x1A" "e";
  a->SetField(id, "r", bad);
  a->SetField(id, "l9", bad);
  a->SetHeaderValue("AppOptions", "x\r\ny");
  // A raw record text with a quoted line break inside a (rotated) value.
  int32_t raw = 5;
  ASSERT_TRUE(a->PutRecordText(raw, "c=3,\"r=" + ScrambleStr("p\rq") + "\""));
  ASSERT_TRUE(a->Commit());
  std::vector<std::string> lines = FileLines(dir.File("Data.ada"));
  EXPECT_EQ(lines.size(), 7u);  // 5 header lines and 2 records
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  EXPECT_EQ(b->GetRemark(id), "a b c d e");
  EXPECT_EQ(b->GetField(id, "l9"), "a b c d e");
  EXPECT_EQ(b->GetHeaderValue("AppOptions"), "x  y");
  EXPECT_EQ(b->GetRemark(raw), "p q");
  EXPECT_EQ(b->LastID, 5);
}

// Invariant 4: a damaged ID cannot make the store allocate without bound.
TEST(MiniDBSharing, AbsurdIDsMakeTheFileWrongFormat) {
  const std::vector<std::vector<std::string>> files = {
      {"LastID=1", "i=1,c=3", "i=99999999,c=3"},
      {"LastID=1", "i=1,c=3", "i=5000000,c=3"},
      {"LastID=2000000000", "i=1,c=3"},
  };
  for (const auto& lines : files) {
    SCOPED_TRACE(lines.back());
    TTempDir dir;
    TScopedRecorder ui;
    WriteStore(dir, lines);
    std::string before = ReadAllBytes(dir.File("Data.ada"));
    TStation a("A");
    EXPECT_FALSE(a.Open(dir));
    EXPECT_TRUE(a->LoadErrorReadOnly);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, MultiItemsDBText(8) + "\r" + dir.File("Data.ada"));
    EXPECT_LT(a->IndexLine.capacity(), 1000u);
    EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), before);
  }
}

// Invariant 4: IDs beyond "LastID" raise it in one pass, however many there are.
TEST(MiniDBSharing, RaisingLastIDIsOnePass) {
  TTempDir dir;
  std::vector<std::string> lines = {"LastID=0"};
  const int count = 60000;
  for (int i = 1; i <= count; ++i) lines.push_back("i=" + std::to_string(i) + ",c=4");
  WriteStore(dir, lines);
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  EXPECT_EQ(a->LastID, count);
  EXPECT_EQ(a->GetHeaderValue("LastID"), std::to_string(count));
  EXPECT_EQ(a->LoadCount, 1);
}

// Invariant 5: a store with a read error reports every refused save; a new Open starts
// with clean flags.
TEST(MiniDBSharing, ReadErrorReportsEveryRefusedSave) {
  TTempDir dir;
  TScopedRecorder ui;
  WriteStore(dir, {"LastID=1", "i=1,c=3,n=" + ScrambleStr("Tor")});
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  const std::string good = ReadAllBytes(dir.File("Data.ada"));
  WriteAllBytes(dir.File("Data.ada"), "\x01\nbroken");
  EXPECT_EQ(a->Load(), ldReadError);
  ui.Clear();
  a->SetField(1, "r", "first try");
  EXPECT_FALSE(a->Commit());
  EXPECT_FALSE(a->SaveIfModified());
  ASSERT_EQ(ui.messages.size(), 2u);
  for (const auto& m : ui.messages)
    EXPECT_EQ(m.text, MultiItemsDBText(7) + "\r" + dir.File("Data.ada"));
  EXPECT_TRUE(a->Modified);
  EXPECT_EQ(ReadAllBytes(dir.File("Data.ada")), "\x01\nbroken");
  // The file is repaired; opening again judges it anew.
  WriteAllBytes(dir.File("Data.ada"), good);
  ui.Clear();
  ASSERT_TRUE(a.Open(dir));
  // Opening closes first, and the close still could not save: said once more.
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, MultiItemsDBText(7) + "\r" + dir.File("Data.ada"));
  ui.Clear();
  EXPECT_FALSE(a->LoadErrorReadOnly);
  EXPECT_FALSE(a->NoSave);
  a->SetField(1, "r", "second try");
  EXPECT_TRUE(a->Commit());
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

// Invariant 6: a file that vanished after it was read is not replaced by an empty store.
TEST(MiniDBSharing, VanishedFileMakesTheStoreReadOnly) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewNamedRecord(3, "Tor", "");
  ASSERT_TRUE(a->Commit());
  std::filesystem::rename(dir.File("Data.ada"), dir.File("moved.ada"));
  EXPECT_EQ(a->Load(), ldReadError);
  EXPECT_EQ(a->GetName(door), "Tor");  // the lines stay
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, MultiItemsDBText(7) + "\r" + dir.File("Data.ada"));
  a->SetField(door, "r", "x");
  EXPECT_FALSE(a->Commit());
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Data.ada")));
  EXPECT_EQ(a->NewRecord(3), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Data.ada")));
}

// Invariant 7: no back link survives an unlink or a deletion, mother and daughter included.
TEST(MiniDBSharing, UnlinkAllLeavesNoDanglingBackLink) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A");
  ASSERT_TRUE(a.Open(dir));
  int32_t mother = a->NewNamedRecord(4, "K", "");
  int32_t d1 = a->DuplicateLinked(mother);
  int32_t d2 = a->DuplicateLinked(mother);
  int32_t door = a->NewRecord(3);
  int32_t person = a->NewRecord(5);
  a->AddLinkBoth(mother, door, 3, 4);
  a->AddLinkBoth(d1, door, 3, 4);
  a->AddLinkBoth(d1, person, 5, 4);
  a->SetLinkValue(person, d1, "seit", "2020");
  a->AddLinkBoth(person, d2, 4, 99);  // a back kind that follows no rule
  ASSERT_TRUE(a->Commit());

  ASSERT_TRUE(a->MarkDeleted(d1));
  EXPECT_EQ(a->GetLinkText(mother, 11), std::to_string(d2));
  EXPECT_FALSE(a->HasLink(door, 4, d1));
  EXPECT_FALSE(a->HasLink(person, 4, d1));
  EXPECT_EQ(a->GetField(person, "o" + std::to_string(d1)), "");
  EXPECT_FALSE(a->IsValid(d1));

  ASSERT_TRUE(a->UnlinkAll(mother));
  EXPECT_EQ(a->GetLinkText(d2, 10), "");
  EXPECT_EQ(a->GetLinkText(door, 4), "");
  ASSERT_TRUE(a->UnlinkAll(d2));
  EXPECT_EQ(a->GetLinkText(person, 4), "");
  EXPECT_FALSE(a->Modified);
  EXPECT_EQ(a->ItemsLock->OwnEntry(), "");
  EXPECT_TRUE(ui.messages.empty()) << ui.AllText();
}

TEST(MiniDBSharing, UnlinkRefusedWhileAnotherStationHoldsARecord) {
  TTempDir dir;
  TScopedRecorder ui;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  int32_t door = a->NewRecord(3), key = a->NewRecord(4);
  a->AddLinkBoth(door, key, 4, 3);
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(b.Open(dir));
  ASSERT_TRUE(b->LockItem(key, false, -1));
  EXPECT_FALSE(a->MarkDeleted(door));
  EXPECT_TRUE(a->IsValid(door));
  EXPECT_EQ(a->GetLinkText(door, 4), std::to_string(key));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("Arbeitsplatz B "), std::string::npos);
}

// Change detection sees a save even when time and size stay the same.
TEST(MiniDBSharing, ChangeDetectionDoesNotRelyOnTheClockAlone) {
  TTempDir dir;
  TStation a("A"), b("B");
  ASSERT_TRUE(a.Open(dir));
  int32_t id = a->NewNamedRecord(3, "AAAA", "");
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(b.Open(dir));
  TFileStamp before = GetFileStamp(dir.File("Data.ada"));
  b->SetField(id, "n", "BBBB");  // same length
  ASSERT_TRUE(b->Commit());
  // Put the old time back, as a coarse clock would have shown it.
  struct timespec times[2] = {{before.mtimeNs / 1000000000, before.mtimeNs % 1000000000},
                              {before.mtimeNs / 1000000000, before.mtimeNs % 1000000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.File("Data.ada").c_str(), times, 0), 0);
  TFileStamp after = GetFileStamp(dir.File("Data.ada"));
  EXPECT_EQ(after.mtimeNs, before.mtimeNs);
  EXPECT_EQ(after.size, before.size);
  EXPECT_EQ(a->Load(), ldRead);
  EXPECT_EQ(a->GetName(id), "BBBB");
  EXPECT_EQ(a->Load(), ldUnchanged);
}

// Two real processes creating and editing records on one folder at the same time.
TEST(MiniDBSharing, TwoProcessesCreatingAtTheSameTime) {
  TTempDir dir;
  {
    TStation a("setup");
    ASSERT_TRUE(a.Open(dir));
    ASSERT_GT(a->NewNamedRecord(12, "settings", ""), 0);
  }
  const int perProcess = 40;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      {
        TStation s(p == 0 ? "P0" : "P1");
        // Short real waits: the other process really holds the reservation meanwhile.
        // A refused step is reported and tried again, as a user would.
        s.registry.SetSleeper([](int ms) { usleep(ms * 50); });
        bool opened = false;
        for (int t = 0; !opened && t < 200; ++t) opened = s.Open(dir);
        if (!opened) _exit(10);
        for (int i = 0; i < perProcess; ++i) {
          int32_t id = 0;
          for (int t = 0; id == 0 && t < 200; ++t) id = s->NewRecord(4);
          if (id == 0) {
            ++failures;
            continue;
          }
          s->SetField(id, "n", "P" + std::to_string(p) + "-" + std::to_string(i));
          bool saved = s->Commit();
          for (int t = 0; !saved && t < 200; ++t) saved = s->SaveIfModified();
          if (!saved) ++failures;
        }
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children[p] = pid;
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  auto records = ReadBack(dir);
  std::set<std::string> names;
  for (const auto& [id, name] : records) names.insert(name);
  EXPECT_EQ(records.size(), 2u * perProcess + 1);
  for (int p = 0; p < 2; ++p)
    for (int i = 0; i < perProcess; ++i)
      EXPECT_TRUE(names.count("P" + std::to_string(p) + "-" + std::to_string(i)))
          << p << "-" << i;
}

namespace {

// The "~" files of the data folder, by name.
std::vector<std::string> TildeFilesOf(const TTempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir())) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] == '~') names.push_back(name);
  }
  return names;
}

// Saves killed at every one of their steps in turn, again and again: the next open for writing
// leaves no "~" file that nobody holds, however young (a killed save's backup name shares
// its disk entry with the store's backup, so its age says nothing). A save that a second
// station runs while leftovers are swept keeps its files and loses nothing.
TEST(StoreLeftovers, KilledSavesLeaveNothingAfterTheNextOpenAndARunningSaveKeepsItsFiles) {
  // Each step of a save about ten times over (a kill costs a fork).
  constexpr int kKills = 100;
  TTempDir dir;
  int32_t record = 0;
  {
    TStation a("A");
    ASSERT_TRUE(a.Open(dir));
    record = a->NewNamedRecord(4, "K0", "");
    ASSERT_TRUE(a->Commit());
    a->SetField(record, "r", "backup exists");
    ASSERT_TRUE(a->Commit());
  }
  // Each save writes the store file as a station's save does (safe write with backup).
  const std::string store = dir.File("Data.ada");
  const std::vector<std::string> lines = FileLines(store);
  int kills = 0;
  for (int step = 1; kills < kKills; ++step) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int ops = 0;
      TPfFaultScope kill([&](TPfOp, const std::string&) {
        if (++ops == step) _exit(9);
        return 0;
      });
      _exit(SaveTextFileSafe(lines, store, true) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "step " << step;
    ASSERT_NE(WEXITSTATUS(status), 3) << "step " << step;
    if (WEXITSTATUS(status) == 9)
      ++kills;
    else
      step = 0;  // the whole save went through: kill it at its first step again
  }
  EXPECT_FALSE(TildeFilesOf(dir).empty());

  // Station B saves; while its new file and its backup's temporary name exist, leftovers
  // are swept as another station's open does it.
  TStation b("B");
  ASSERT_TRUE(b.Open(dir));
  EXPECT_TRUE(TildeFilesOf(dir).empty()) << ::testing::PrintToString(TildeFilesOf(dir));
  b->SetField(record, "r", "saved by B");
  bool swept = false, inside = false;
  std::vector<std::string> seen;
  {
    TPfFaultScope sweep([&](TPfOp op, const std::string& path) {
      if (inside || op != TPfOp::Rename || path.find(".bak.tmp") == std::string::npos) return 0;
      inside = true;
      seen = TildeFilesOf(dir);
      SweepStaleTempFiles(dir.Dir(), 0, static_cast<double>(time(nullptr)) + 3600);
      swept = true;
      inside = false;
      return 0;
    });
    EXPECT_TRUE(b->Commit());
  }
  EXPECT_TRUE(swept);
  EXPECT_EQ(seen.size(), 2u) << ::testing::PrintToString(seen);
  TStation c("C");
  ASSERT_TRUE(c.Open(dir));
  EXPECT_EQ(c->ReadLineField(record, "r"), "saved by B");
  EXPECT_TRUE(TildeFilesOf(dir).empty()) << ::testing::PrintToString(TildeFilesOf(dir));
}

}  // namespace
