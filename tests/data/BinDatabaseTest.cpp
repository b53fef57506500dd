#include "data/BinDatabase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

// One simulated workstation: its own reservation registry on the folder's lock file, so
// two of them conflict as two computers do; waits are only counted.
struct TStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  std::vector<int> waits;

  explicit TStation(const TTempDir& dir) {
    registry.SetSleeper([this](int ms) { waits.push_back(ms); });
    GetAccessProtection(dir.File("Tessaro.wpf"), lock, registry);
  }
  ~TStation() { ReleaseAccessProtection(lock); }
  TAccessProtection* Reservation() { return &registry.Default(); }
};

enum class TForm { Pair, PairInMemory, Single };

std::string FormName(TForm form) {
  switch (form) {
    case TForm::Pair: return "Pair";
    case TForm::PairInMemory: return "PairInMemory";
    case TForm::Single: return "Single";
  }
  return "";
}

class BinDatabaseForms : public ::testing::TestWithParam<TForm> {
 protected:
  TTempDir dir;
  TStation station{dir};

  std::string Base() const { return dir.Dir() + "Sub/Sig200805"; }
  std::string Single() const { return dir.Dir() + "Images/Persons.bdb"; }

  bool Open(TBinDatabase& db) {
    switch (GetParam()) {
      case TForm::Pair: return db.OpenPair(Base(), false);
      case TForm::PairInMemory: return db.OpenPair(Base(), true);
      case TForm::Single: return db.OpenSingle(Single());
    }
    return false;
  }
  // A closed and reopened store on the same files.
  void Reopen(TBinDatabase& db) {
    ASSERT_TRUE(db.Close());
    ASSERT_TRUE(Open(db)) << db.LastError();
  }
  std::int32_t PutNew(TBinDatabase& db, const std::string& bytes, std::uint32_t tag1 = 0,
                      std::uint32_t tag2 = 0) {
    std::int32_t id = 0;
    EXPECT_TRUE(db.Put(id, tag1, bytes, tag2)) << db.LastError();
    return id;
  }
  std::string GetOf(TBinDatabase& db, std::int32_t id) {
    std::string bytes;
    EXPECT_TRUE(db.Get(id, bytes)) << "ID " << id;
    return bytes;
  }
};

std::vector<std::pair<std::int32_t, std::int32_t>> Layout(const TBinDatabase& db) {
  std::vector<std::pair<std::int32_t, std::int32_t>> out;  // {id, size} in index order
  for (const TBinDbEntry& e : db.Entries()) out.push_back({e.id, e.size});
  return out;
}

}  // namespace

TEST_P(BinDatabaseForms, RecordsSurviveCloseAndReopen) {
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(Open(db)) << db.LastError();
  EXPECT_EQ(db.State(), GetParam() == TForm::Single ? bdbSingle : bdbPair);
  const std::string binary("a\0b\xFF\r\n", 6);
  EXPECT_EQ(PutNew(db, binary, 7, 8), 1);
  EXPECT_EQ(PutNew(db, "second"), 2);
  std::int32_t chosen = 10;
  ASSERT_TRUE(db.Put(chosen, 1, "tenth"));
  EXPECT_EQ(chosen, 10);
  EXPECT_EQ(PutNew(db, "next"), 11);

  Reopen(db);
  EXPECT_EQ(db.MaxID(), 11);
  EXPECT_EQ(GetOf(db, 1), binary);
  EXPECT_EQ(GetOf(db, 2), "second");
  EXPECT_EQ(GetOf(db, 10), "tenth");
  ASSERT_NE(db.Find(1), nullptr);
  EXPECT_EQ(db.Find(1)->tag1, 7u);
  EXPECT_EQ(db.Find(1)->tag2, 8u);

  std::string bytes = "stale";
  EXPECT_FALSE(db.Get(0, bytes));
  EXPECT_FALSE(db.Get(3, bytes));
  EXPECT_TRUE(bytes.empty());

  // Delete: true below 1, false when unknown; size 0 deletes too.
  EXPECT_TRUE(db.Delete(0));
  EXPECT_FALSE(db.Delete(3));
  EXPECT_TRUE(db.Delete(2));
  std::int32_t ten = 10;
  EXPECT_TRUE(db.Put(ten, 0, 0, "x"));
  Reopen(db);
  EXPECT_FALSE(db.Get(2, bytes));
  EXPECT_FALSE(db.Get(10, bytes));
  EXPECT_EQ(GetOf(db, 11), "next");

  ASSERT_TRUE(db.Close());
  EXPECT_FALSE(db.Get(1, bytes));
  std::int32_t id = 0;
  EXPECT_FALSE(db.Put(id, 0, "closed"));
  EXPECT_FALSE(db.Delete(1));
}

TEST_P(BinDatabaseForms, SameSizeReplacementKeepsItsOffset) {
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(Open(db));
  std::int32_t a = PutNew(db, "AAAA"), b = PutNew(db, "BBBBBB");
  const std::int32_t offsetA = db.Find(a)->offset;
  ASSERT_TRUE(db.Put(a, 5, "aaaa", 6));
  Reopen(db);
  EXPECT_EQ(db.Find(a)->offset, offsetA);
  EXPECT_EQ(db.Find(a)->tag1, 5u);
  EXPECT_EQ(db.Find(a)->tag2, 6u);
  EXPECT_EQ(GetOf(db, a), "aaaa");

  // Another size leaves a gap where the record stood.
  ASSERT_TRUE(db.Put(a, 0, "longer than before"));
  Reopen(db);
  EXPECT_NE(db.Find(a)->offset, offsetA);
  EXPECT_EQ(GetOf(db, a), "longer than before");
  EXPECT_EQ(GetOf(db, b), "BBBBBB");
  EXPECT_EQ(db.Entries().front().id, 0);
  EXPECT_EQ(db.Entries().front().size, 4);
}

TEST_P(BinDatabaseForms, FreeSpaceIsReusedExactlyOrBySplittingTheLastLargerGap) {
  struct TCase {
    std::vector<int> gaps;  // sizes of the two gaps, in index order
    std::vector<std::pair<std::int32_t, std::int32_t>> after;  // {id, size}
  };
  // Records g1, 5, g2, 5 with the gaps deleted, then a new record of 10 bytes (ID 5).
  const std::vector<TCase> cases = {
      {{10, 30}, {{5, 10}, {2, 5}, {0, 30}, {4, 5}}},           // the exact gap
      {{30, 10}, {{0, 30}, {2, 5}, {5, 10}, {4, 5}}},           // exact, though later
      {{20, 30}, {{0, 20}, {2, 5}, {5, 10}, {0, 20}, {4, 5}}},  // the later larger one split
      {{30, 20}, {{0, 30}, {2, 5}, {5, 10}, {0, 10}, {4, 5}}},  // the later one, though smaller
      {{5, 5}, {{0, 5}, {2, 5}, {0, 5}, {4, 5}, {5, 10}}},      // nothing fits: appended
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.gaps[0]) + "/" + std::to_string(c.gaps[1]));
    TTempDir caseDir;
    TBinDatabase db(station.Reservation());
    ASSERT_TRUE(GetParam() == TForm::Single ? db.OpenSingle(caseDir.File("s.bdb"))
                                            : db.OpenPair(caseDir.File("p"),
                                                          GetParam() == TForm::PairInMemory));
    PutNew(db, std::string(c.gaps[0], 'g'));
    PutNew(db, "22222");
    PutNew(db, std::string(c.gaps[1], 'h'));
    PutNew(db, "44444");
    ASSERT_TRUE(db.Delete(1));
    ASSERT_TRUE(db.Delete(3));
    ASSERT_TRUE(db.Close());
    ASSERT_TRUE(GetParam() == TForm::Single ? db.OpenSingle(caseDir.File("s.bdb"))
                                            : db.OpenPair(caseDir.File("p"),
                                                          GetParam() == TForm::PairInMemory));
    EXPECT_EQ(db.MaxID(), 4);
    EXPECT_EQ(PutNew(db, "0123456789"), 5);
    EXPECT_EQ(Layout(db), c.after);
    ASSERT_TRUE(db.Close());
    ASSERT_TRUE(GetParam() == TForm::Single ? db.OpenSingle(caseDir.File("s.bdb"))
                                            : db.OpenPair(caseDir.File("p"),
                                                          GetParam() == TForm::PairInMemory));
    EXPECT_EQ(Layout(db), c.after);
    EXPECT_EQ(GetOf(db, 5), "0123456789");
    EXPECT_EQ(GetOf(db, 2), "22222");
    EXPECT_EQ(GetOf(db, 4), "44444");
  }
}

TEST_P(BinDatabaseForms, AdjacentGapsAreMergedWhenReopened) {
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(Open(db));
  for (int size : {3, 7, 11, 13}) PutNew(db, std::string(size, 'x'));
  ASSERT_TRUE(db.Delete(2));
  ASSERT_TRUE(db.Delete(3));
  Reopen(db);
  EXPECT_EQ(Layout(db),
            (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 3}, {0, 18}, {4, 13}}));
  // The joint gap takes a record that fits neither gap alone.
  EXPECT_EQ(PutNew(db, std::string(15, 'y')), 5);
  EXPECT_EQ(db.Find(5)->offset, 3);
  // A deleted last record leaves a free end; a record larger than it goes behind it.
  ASSERT_TRUE(db.Delete(4));
  Reopen(db);
  EXPECT_EQ(Layout(db),
            (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 3}, {5, 15}, {0, 16}}));
  EXPECT_EQ(PutNew(db, std::string(20, 'z')), 6);
  EXPECT_EQ(db.Find(6)->offset, 34);
  Reopen(db);
  EXPECT_EQ(GetOf(db, 6), std::string(20, 'z'));
  EXPECT_EQ(GetOf(db, 5), std::string(15, 'y'));
}

TEST_P(BinDatabaseForms, TwoStationsOnOneStoreKeepBothTheirRecords) {
  TStation other(dir);
  TBinDatabase a(station.Reservation()), b(other.Reservation());
  ASSERT_TRUE(Open(a));
  ASSERT_TRUE(Open(b));
  // Both opened the empty store; each change sees what the other wrote meanwhile.
  EXPECT_EQ(PutNew(a, "from A one"), 1);
  EXPECT_EQ(PutNew(b, "from B one"), 2);
  EXPECT_EQ(PutNew(a, "from A two"), 3);
  EXPECT_EQ(PutNew(b, "B2"), 4);
  EXPECT_NE(a.Find(1)->offset, a.Find(2)->offset);
  // A reads B's record without reopening.
  EXPECT_EQ(GetOf(a, 4), "B2");
  // B rewrites A's record in place (same size, same tags); A must not keep the old bytes.
  std::int32_t one = 1;
  ASSERT_TRUE(b.Put(one, 0, "FROM A ONE"));
  EXPECT_EQ(GetOf(a, 1), "FROM A ONE");
  ASSERT_TRUE(a.Delete(3));
  EXPECT_EQ(PutNew(b, "from B three"), 5);
  ASSERT_TRUE(a.Close());
  ASSERT_TRUE(b.Close());

  TBinDatabase check(station.Reservation());
  ASSERT_TRUE(Open(check));
  EXPECT_EQ(GetOf(check, 1), "FROM A ONE");
  EXPECT_EQ(GetOf(check, 2), "from B one");
  EXPECT_EQ(GetOf(check, 4), "B2");
  EXPECT_EQ(GetOf(check, 5), "from B three");
  std::string bytes;
  EXPECT_FALSE(check.Get(3, bytes));
  EXPECT_TRUE(station.waits.empty());
  EXPECT_TRUE(other.waits.empty());
}

TEST_P(BinDatabaseForms, ChangesWaitForTheOtherStationsReservation) {
  TStation other(dir);
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(Open(db));
  PutNew(db, "kept");
  const std::string before = ReadAllBytes(GetParam() == TForm::Single ? Single()
                                                                      : Base() + ".hbi");
  int ticket = 0;
  ASSERT_TRUE(other.Reservation()->Reserve(ticket));
  std::int32_t id = 0;
  EXPECT_FALSE(db.Put(id, 0, "refused"));
  EXPECT_EQ(id, 0);
  EXPECT_FALSE(db.Delete(1));
  // Two calls, each waiting the whole time.
  EXPECT_EQ(std::accumulate(station.waits.begin(), station.waits.end(), 0),
            2 * TAccessProtection::kTotalWaitMs);
  EXPECT_EQ(ReadAllBytes(GetParam() == TForm::Single ? Single() : Base() + ".hbi"), before);
  other.Reservation()->Release(ticket);
  EXPECT_EQ(GetOf(db, 1), "kept");
  EXPECT_EQ(PutNew(db, "now"), 2);
}

TEST_P(BinDatabaseForms, AFailedWriteLeavesTheStoreAsOnDisk) {
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(Open(db));
  PutNew(db, "first");
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) {
      return op == TPfOp::Rename || op == TPfOp::Write ? 28 /* ENOSPC */ : 0;
    });
    std::int32_t id = 0;
    EXPECT_FALSE(db.Put(id, 0, "lost"));
    EXPECT_EQ(id, 0);
    EXPECT_FALSE(db.LastError().empty());
    EXPECT_FALSE(db.Delete(1));
  }
  std::string bytes;
  EXPECT_FALSE(db.Get(2, bytes));
  EXPECT_EQ(GetOf(db, 1), "first");
  EXPECT_EQ(db.MaxID(), 1);
  EXPECT_EQ(PutNew(db, "second"), 2);
  Reopen(db);
  EXPECT_EQ(GetOf(db, 1), "first");
  EXPECT_EQ(GetOf(db, 2), "second");
  std::vector<TPfFolderEntry> entries;
  PfListFolder(GetParam() == TForm::Single ? dir.Dir() + "Images" : dir.Dir() + "Sub", entries);
  for (const TPfFolderEntry& e : entries) EXPECT_NE(e.name[0], '~') << e.name;
}

INSTANTIATE_TEST_SUITE_P(Forms, BinDatabaseForms,
                         ::testing::Values(TForm::Pair, TForm::PairInMemory, TForm::Single),
                         [](const auto& info) { return FormName(info.param); });

namespace {

std::string Entry(std::int32_t id, std::int32_t offset, std::int32_t size) {
  return EncodeBinDbIndex({TBinDbEntry{id, 0, 0, offset, size}});
}

}  // namespace

TEST(BinDatabase, PairFilesHoldExactlyTheEntriesAndTheData) {
  TTempDir dir;
  TStation station(dir);
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(db.OpenPair(dir.Dir() + "Transactions/Sig200805", false));
  std::int32_t id = 0;
  ASSERT_TRUE(db.Put(id, 0x01020304u, "abc", 0xA0B0C0D0u));
  ASSERT_TRUE(db.Put(id = 0, 0, "de"));
  EXPECT_EQ(ReadAllBytes(dir.Dir() + "Transactions/Sig200805.hbd"), "abcde");
  EXPECT_EQ(ReadAllBytes(dir.Dir() + "Transactions/Sig200805.hbi"),
            std::string("\x01\0\0\0\x04\x03\x02\x01\xD0\xC0\xB0\xA0\0\0\0\0\x03\0\0\0"
                        "\x02\0\0\0\0\0\0\0\0\0\0\0\x03\0\0\0\x02\0\0\0",
                        40));
}

TEST(BinDatabase, AnEmptySingleFileGetsItsHeaderAtTheFirstFlush) {
  TTempDir dir;
  TStation station(dir);
  WriteAllBytes(dir.File("Persons.bdb"), "");
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(db.OpenSingle(dir.File("Persons.bdb")));
  EXPECT_TRUE(db.Entries().empty());
  EXPECT_TRUE(db.Flush());
  EXPECT_EQ(ReadAllBytes(dir.File("Persons.bdb")), std::string(16, '\0'));
  std::int32_t id = 0;
  ASSERT_TRUE(db.Put(id, 0, "JPEG"));
  EXPECT_EQ(ReadAllBytes(dir.File("Persons.bdb")),
            std::string("\x14\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0", 16) + Entry(1, 0, 4) + "JPEG");
}

TEST(BinDatabase, DamagedIndexesAreRefusedAndLeftAsTheyAre) {
  struct TCase {
    const char* what;
    std::string index;
    std::string data;
  };
  const std::string ok = Entry(1, 0, 4) + Entry(2, 4, 4);
  const std::vector<TCase> pairCases = {
      {"length not a multiple of 20", ok + "x", "12345678"},
      {"beyond the data", ok, "1234567"},
      {"overlap", Entry(1, 0, 5) + Entry(2, 4, 4), "12345678"},
      {"out of order", Entry(2, 4, 4) + Entry(1, 0, 4), "12345678"},
      {"negative size", Entry(1, 0, -4), "12345678"},
      {"negative offset", Entry(1, -4, 4), "12345678"},
      {"negative ID", Entry(-1, 0, 4), "12345678"},
      {"ID twice", Entry(1, 0, 4) + Entry(1, 4, 4), "12345678"},
      {"offset near the limit", Entry(1, 0x7FFFFFFE, 4), "12345678"},
  };
  for (const TCase& c : pairCases) {
    for (bool inMemory : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (inMemory ? " (in memory)" : ""));
      TTempDir dir;
      TStation station(dir);
      WriteAllBytes(dir.File("S.hbi"), c.index);
      WriteAllBytes(dir.File("S.hbd"), c.data);
      TBinDatabase db(station.Reservation());
      EXPECT_FALSE(db.OpenPair(dir.File("S"), inMemory));
      EXPECT_EQ(db.State(), bdbClosed);
      EXPECT_FALSE(db.LastError().empty());
      std::string bytes;
      std::int32_t id = 0;
      EXPECT_FALSE(db.Get(1, bytes));
      EXPECT_FALSE(db.Put(id, 0, "new"));
      EXPECT_TRUE(db.Close());
      EXPECT_EQ(ReadAllBytes(dir.File("S.hbi")), c.index);
      EXPECT_EQ(ReadAllBytes(dir.File("S.hbd")), c.data);
    }
  }

  auto header = [](std::uint32_t indexLength, std::uint32_t dataLength) {
    std::string h;
    for (std::uint32_t v : {indexLength, dataLength, 0u, 0u}) {
      for (int k = 0; k < 4; ++k) h += static_cast<char>((v >> (8 * k)) & 0xFF);
    }
    return h;
  };
  const std::vector<TCase> singleCases = {
      {"header cut short", std::string(15, '\0'), ""},
      {"data length too long", header(40, 9) + ok + "12345678", ""},
      {"data length too short", header(40, 7) + ok + "12345678", ""},
      {"index length not a multiple of 20", header(41, 8) + ok + "x12345678", ""},
      {"index length past the end", header(0xFFFFFFF0u, 8) + ok + "12345678", ""},
      {"entry beyond the data", header(40, 7) + ok + "1234567", ""},
  };
  for (const TCase& c : singleCases) {
    SCOPED_TRACE(c.what);
    TTempDir dir;
    TStation station(dir);
    WriteAllBytes(dir.File("P.bdb"), c.index);
    TBinDatabase db(station.Reservation());
    EXPECT_FALSE(db.OpenSingle(dir.File("P.bdb")));
    EXPECT_EQ(db.State(), bdbClosed);
    std::string bytes;
    EXPECT_FALSE(db.Get(1, bytes));
    EXPECT_TRUE(db.Close());
    EXPECT_EQ(ReadAllBytes(dir.File("P.bdb")), c.index);
  }
}

TEST(BinDatabase, AStoreDamagedByAnotherStationIsClosedNotOverwritten) {
  TTempDir dir;
  TStation station(dir);
  TBinDatabase db(station.Reservation());
  ASSERT_TRUE(db.OpenPair(dir.File("S"), false));
  std::int32_t id = 0;
  ASSERT_TRUE(db.Put(id, 0, "abcd"));
  const std::string damaged = Entry(1, 0, 400) + Entry(2, 400, 4);
  WriteAllBytes(dir.File("S.hbi"), damaged);
  std::string bytes;
  EXPECT_FALSE(db.Put(id = 0, 0, "more"));
  EXPECT_EQ(db.State(), bdbClosed);
  EXPECT_FALSE(db.Get(1, bytes));
  EXPECT_EQ(ReadAllBytes(dir.File("S.hbi")), damaged);
}

TEST(BinDatabase, DecodeAndMergeDirectly) {
  std::vector<TBinDbEntry> entries;
  std::string error;
  EXPECT_TRUE(DecodeBinDbIndex("", 0, 0, entries, &error));
  const std::string index = Entry(1, 0, 2) + Entry(0, 2, 3) + Entry(0, 5, 4) + Entry(0, 9, 1) +
                            Entry(2, 10, 1) + Entry(0, 12, 1) + Entry(0, 13, 1);
  ASSERT_TRUE(DecodeBinDbIndex(index.data(), index.size(), 14, entries, &error)) << error;
  MergeFreeBinDbEntries(entries);
  // Back-to-back gaps join; the gap at 11 (no entry) keeps the last two free ones apart
  // from the record, but they join each other.
  std::vector<std::pair<std::int32_t, std::int32_t>> layout;
  for (const TBinDbEntry& e : entries) layout.push_back({e.offset, e.size});
  EXPECT_EQ(layout, (std::vector<std::pair<std::int32_t, std::int32_t>>{
                        {0, 2}, {2, 8}, {10, 1}, {12, 2}}));
  EXPECT_EQ(EncodeBinDbIndex(entries).size(), 4 * kBinDbEntrySize);

  std::string data;
  EXPECT_TRUE(DecodeBinDbSingle("", entries, data));
  EXPECT_TRUE(entries.empty());
  const std::string single = EncodeBinDbSingle({TBinDbEntry{3, 1, 2, 0, 2}}, "xy");
  ASSERT_TRUE(DecodeBinDbSingle(single, entries, data));
  EXPECT_EQ(entries, (std::vector<TBinDbEntry>{TBinDbEntry{3, 1, 2, 0, 2}}));
  EXPECT_EQ(data, "xy");
}

TEST(BinDatabase, ExtensionsAreLimitedToSevenCharacters) {
  TTempDir dir;
  TStation station(dir);
  TBinDatabase db(station.Reservation());
  EXPECT_FALSE(db.SetIndexExt(".toolong"));
  EXPECT_EQ(db.IndexExt(), ".hbi");
  EXPECT_TRUE(db.SetIndexExt(".idx"));
  EXPECT_TRUE(db.SetDataExt(".dat"));
  ASSERT_TRUE(db.OpenPair(dir.File("X"), false));
  TPfInfo info;
  PfStat(dir.File("X.idx"), info);
  EXPECT_EQ(info.kind, TPfKind::File);
  PfStat(dir.File("X.dat"), info);
  EXPECT_EQ(info.kind, TPfKind::File);
}

TEST(BinDatabase, ScramblingFollowsTheStreamPositionAndUndoesItself) {
  // Key A forwards from p mod 3, key B backwards from p mod 2.
  char buffer[4] = {0, 0, 0, 0};
  ScrambleBytesWith(buffer, 4, 4, "abc", "xy");
  EXPECT_EQ(buffer[0], 'b' ^ 'x');
  EXPECT_EQ(buffer[1], 'c' ^ 'y');
  EXPECT_EQ(buffer[2], 'a' ^ 'x');
  EXPECT_EQ(buffer[3], 'b' ^ 'y');

  // An empty key leaves its part out instead of dividing by zero.
  char one[2] = {0, 0};
  ScrambleBytesWith(one, 2, 7, "", "xy");
  EXPECT_EQ(one[0], 'y');
  EXPECT_EQ(one[1], 'x');
  ScrambleBytesWith(one, 2, 7, "", "");
  EXPECT_EQ(one[0], 'y');
  ScrambleBytesWith(one, 2, -1, "abc", "xy");  // negative positions do not index outside

  // The program's keys: 20 and 6 bytes, so the key stream repeats every 60 bytes.
  std::string stream(240, '\0');
  ScrambleBytes(stream.data(), stream.size(), 12345);
  for (std::size_t k = 0; k + 60 < stream.size(); ++k) EXPECT_EQ(stream[k], stream[k + 60]);
  for (std::size_t period : {12u, 20u, 30u}) {
    EXPECT_NE(stream.substr(0, 60), stream.substr(period, 60)) << period;
  }
  std::string photo("\xFF\xD8\xFF\xE0\0\x10JFIF tail", 15);
  const std::string plain = photo;
  ScrambleBytes(photo.data(), photo.size(), 42);
  EXPECT_NE(photo, plain);
  ScrambleBytes(photo.data(), photo.size(), 42);
  EXPECT_EQ(photo, plain);
}
