// Holder lines in the store: booking into a key with its links, the readers, the texts of
// holders and the repair of the links between keys and holders.

#include <gtest/gtest.h>

#include "MiniDBTestSupport.h"
#include "basic/DateClock.h"
#include "basic/SLUnit.h"
#include "data/HolderUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

namespace {

std::vector<int32_t> Ids(const TItemList& list) {
  return std::vector<int32_t>(list.Items(), list.Items() + list.Count());
}

// A store with a key, two persons, a key bunch and a cabinet; the clock stands on
// 2024-06-10 at noon.
struct HolderStore : ::testing::Test {
  TTempDir dir;
  TStation station{"A"};
  TFixedClock clock{EncodeDateTime(2024, 6, 10, 12)};
  TClockScope clockScope{clock};
  int32_t key = 0, anna = 0, bert = 0, bunch = 0, cabinet = 0;

  void SetUp() override {
    ASSERT_TRUE(station.Open(dir));
    key = station->NewNamedRecord(4, "K100", "");
    anna = station->NewNamedRecord(5, "Anna", "");
    bert = station->NewNamedRecord(5, "Bert", "");
    bunch = station->NewNamedRecord(14, "Bund 1", "");
    cabinet = station->NewNamedRecord(8, "Schrank A", "");
  }
  TMiniDB& db() { return *station.db; }
  std::string Own() { return db().GetField(key, "own"); }
  bool Linked(int32_t holder, int holderClass) {
    return db().HasLink(key, holderClass, holder) && db().HasLink(holder, 4, key);
  }
  bool Unlinked(int32_t holder, int holderClass) {
    return !db().HasLink(key, holderClass, holder) && !db().HasLink(holder, 4, key);
  }
};

TEST_F(HolderStore, BookingKeepsLinesAndLinksInStep) {
  // Issue to Anna: a line dated today, linked both ways.
  EXPECT_TRUE(BookHolderChange(db(), key, false, {okPerson, anna}, 1, 0, 0, "", "0001", "",
                               "", "", 0));
  EXPECT_EQ(Own(), "E" + std::to_string(anna) + "=1|2024-06-10|||0001");
  EXPECT_TRUE(Linked(anna, 5));

  // A second issue under another receipt and one to a bunch.
  EXPECT_TRUE(BookHolderChange(db(), key, false, {okPerson, anna}, 2, PackDate(2024, 6, 11), 0,
                               "", "0002", "", "", "", 0));
  EXPECT_TRUE(BookHolderChange(db(), key, false, {okKeyBunch, bunch}, 1, 0, 0, "", "", "", "",
                               "", 0));
  EXPECT_TRUE(db().HasLink(key, 14, bunch));
  EXPECT_TRUE(db().HasLink(bunch, 4, key));

  // Returning the first holding leaves Anna linked through the second.
  EXPECT_TRUE(BookHolderChange(db(), key, true, {okPerson, anna}, -1, 0, 0, "", "0001", "",
                               "", "", 0));
  EXPECT_TRUE(Linked(anna, 5));
  // Returning the second one unlinks her; the bunch's line stays.
  EXPECT_TRUE(BookHolderChange(db(), key, true, {okPerson, anna}, -2, 0, 0, "", "0002", "",
                               "", "", 0));
  EXPECT_TRUE(Unlinked(anna, 5));
  EXPECT_EQ(Own(), "H" + std::to_string(bunch) + "=1|2024-06-10");

  // What was booked survives saving and reading the file again.
  ASSERT_TRUE(db().Commit());
  TStation other("B");
  ASSERT_TRUE(other.Open(dir));
  EXPECT_EQ(other->GetField(key, "own"), "H" + std::to_string(bunch) + "=1|2024-06-10");

  // A holder without a record gets its line, but no link that points nowhere.
  EXPECT_TRUE(BookHolderChange(db(), key, false, {okPerson, 4711}, 1, 0, 0, "", "", "", "",
                               "", 0));
  EXPECT_FALSE(db().HasLink(key, 5, 4711));
  EXPECT_TRUE(BookHolderChange(db(), key, true, {okPerson, 4711}, -1, 0, 0, "", "", "", "",
                               "", 0));

  // No key record, or a refused booking: nothing changes.
  EXPECT_FALSE(BookHolderChange(db(), 999, false, {okPerson, anna}, 1, 0, 0, "", "", "", "",
                                "", 0));
  EXPECT_FALSE(BookHolderChange(db(), key, false, {9, anna}, 1, 0, 0, "", "", "", "", "", 0));
  EXPECT_EQ(Own(), "H" + std::to_string(bunch) + "=1|2024-06-10");
}

TEST_F(HolderStore, BookingUnderAStoreWriteReachesTheOtherStation) {
  TStation other("B");
  ASSERT_TRUE(other.Open(dir));
  {
    TStoreWrite write(db(), {key, anna});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(db(), key, false, {okPerson, anna}, 2, PackDate(2024, 3, 5), 0,
                                 "Urlaub; bis Mai", "0007", "K|7", "", "", 0));
    ASSERT_TRUE(write.Commit());
  }
  other->Load();
  EXPECT_EQ(other->GetField(key, "own"),
            "E" + std::to_string(anna) + "=2|2024-03-05||Urlaub, bis Mai|0007|K/7");
  EXPECT_EQ(BookedCount(*other.db, key), 2);
  EXPECT_TRUE(other->HasLink(anna, 4, key));

  // A write that is not committed leaves neither a line nor a link.
  {
    TStoreWrite write(db(), {key, bert});
    ASSERT_TRUE(write.Ok());
    ASSERT_TRUE(BookHolderChange(db(), key, false, {okPerson, bert}, 1, 0, 0, "", "", "", "",
                                 "", 0));
  }
  EXPECT_EQ(BookedCount(db(), key), 2);
  EXPECT_FALSE(db().HasLink(bert, 4, key));
}

TEST_F(HolderStore, ReadersOfTheLines) {
  const std::string a = std::to_string(anna), b = std::to_string(bert);
  db().SetField(key, "own",
                "E" + a + "=2|2024-03-01||||k-1;"
                "B0=9|2024-01-01;"           // supplier: not booked out
                "C" + std::to_string(cabinet) + "=4|2024-01-01||||K-9;"  // stock: not booked
                "F" + b + "=1|2024-02-01||||LOST-1;"
                "G0=1|2024-02-02;"
                "H" + std::to_string(bunch) + "=3|2024-02-03;"
                "E" + b + "=1|2024-01-15||||LONG-IDENTIFIER-1234;"
                "E" + a + "=1|2024-01-20||||K-2");
  EXPECT_EQ(BookedCount(db(), key), 2 + 1 + 1 + 3 + 1 + 1);
  EXPECT_EQ(BookedCount(db(), 0), 0);

  const THolderEntries entries = LoadHolderRecs(db(), key);
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[0].FirstDate, "2024-01-01");

  // Persons in date order, repeats kept.
  EXPECT_EQ(Ids(GetHoldingPersons(db(), key)), (std::vector<int32_t>{bert, anna, anna}));

  EXPECT_TRUE(IdentifierAlreadyIssued(db(), key, "K-1"));  // case ignored
  EXPECT_TRUE(IdentifierAlreadyIssued(db(), key, "k-9"));
  EXPECT_TRUE(IdentifierAlreadyIssued(db(), key, "long-identifier-1234"));
  EXPECT_FALSE(IdentifierAlreadyIssued(db(), key, "LONG-IDENTIFIER"));  // uncut comparison
  EXPECT_FALSE(IdentifierAlreadyIssued(db(), key, ""));
  EXPECT_FALSE(IdentifierAlreadyIssued(db(), 0, "K-1"));

  // The first holding of a holder by date; the identifier is not cut.
  EXPECT_EQ(IdentifierOfHolder(db(), key, anna), "K-2");
  EXPECT_EQ(IdentifierOfHolder(db(), key, bert), "LONG-IDENTIFIER-1234");
  EXPECT_EQ(IdentifierOfHolder(db(), key, 4242), "");

  TQStringList list;
  list.Add("K-9");
  AddIdentifiersOfKey(db(), key, list);
  EXPECT_EQ(list.GetLines(), (std::vector<std::string>{"K-9", "k-1", "LOST-1",
                                                        "LONG-IDENTIFIER-1234", "K-2"}));
}

TEST_F(HolderStore, HolderRefTexts) {
  InitHolderKindNames();
  const int32_t gone = 4711;
  struct Case {
    THolderRef ref;
    std::string text;
  } cases[] = {
      {{okPerson, anna}, "Anna"},
      {{okKeyBunch, bunch}, "Bund 1"},
      {{okLost, anna}, "verloren von Anna"},
      {{okLost, 0}, "verloren"},
      {{okLost, gone}, "verloren"},
      {{okUnknown, 0}, "unbekannt"},
      {{okSupplier, 0}, "Hersteller"},
      {{okCabinet, cabinet}, "Schl\xFCsselschrank"},  // the kind, not the cabinet's name
      {{okStock, 0}, "Schl\xFCsselschrank"},
      {{okDefective, 0}, "Defekt"},
      {{8, 1}, "Type Error"},
      {{9, anna}, "Type Error"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HolderRefText(db(), c.ref), c.text) << int(c.ref.kind) << " " << c.ref.id;
  EXPECT_EQ(HolderKindNames()[okPerson], "Besitzer");
  EXPECT_EQ(HolderKindNames()[okLost], "Verlust");
  EXPECT_EQ(HolderKindNames()[okKeyBunch], "Schl\xFCsselbund");
  SetHolderKindName(okPerson, std::string(40, 'x'));
  EXPECT_EQ(HolderKindNames()[okPerson], std::string(31, 'x'));
  InitHolderKindNames();
}

TEST_F(HolderStore, SyncHolderLinksRepairsOneSidedLinks) {
  const int32_t carl = db().NewNamedRecord(5, "Carl", "");
  const std::string a = std::to_string(anna), b = std::to_string(bert);
  db().SetField(key, "own",
                "E" + a + "=1|2024-01-01;E" + a + "=1|2024-01-02;"  // one holder, two lines
                "E" + b + "=1|2024-01-01;"
                "H" + std::to_string(bunch) + "=1|2024-01-01;"
                "E4711=1|2024-01-01");                          // no such record
  db().AddLink(key, anna, 5);  // only the key's side
  db().AddLink(bert, key, 4);  // only the person's side
  db().AddLinkBoth(key, bunch, 14, 4);  // complete already
  db().AddLinkBoth(key, carl, 5, 4);    // linked, holds nothing

  ASSERT_TRUE(db().HasLink(key, 5, anna));
  ASSERT_TRUE(db().HasLink(bert, 4, key));
  EXPECT_EQ(SyncHolderLinks(db(), key), 3);  // Anna, Bert, Carl
  EXPECT_TRUE(Linked(anna, 5));
  EXPECT_TRUE(Linked(bert, 5));
  EXPECT_TRUE(Linked(bunch, 14));
  EXPECT_TRUE(Unlinked(carl, 5));
  EXPECT_FALSE(db().HasLink(key, 5, 4711));
  EXPECT_EQ(SyncHolderLinks(db(), key), 0);  // nothing left to mend

  // Over a class: the user interface gets its turn before every eighth record.
  for (int i = 0; i < 9; ++i) db().NewNamedRecord(4, "S" + std::to_string(i), "");
  const int32_t key2 = db().NewNamedRecord(4, "K200", "");
  db().SetField(key2, "own", "E" + b + "=1|2024-01-01");
  TScopedRecorder recorder;
  EXPECT_EQ(SyncAllHolderLinks(db()), 1);
  EXPECT_TRUE(db().HasLink(key2, 5, bert));
  EXPECT_EQ(recorder.pendingEventCalls, 2 + 1);  // 11 keys, 1 bunch
}

}  // namespace
