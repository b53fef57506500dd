#include "data/TransferUnit.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "basic/BasicsUnit.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "basic/Hex32Unit.h"
#include "basic/SLUnit.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/ItemsLock.h"
#include "data/LogFilesUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

// A workstation that books: its store and its history on the shared folder.
struct TBookingStation : TStation {
  THistory history{&registry};

  explicit TBookingStation(const std::string& key) : TStation(key) {}
  bool Open(const TTempDir& dir) {
    history.SetFolder(dir.Dir());
    return TStation::Open(dir);
  }
  TTransferResult Book(TTransferRecord& record) {
    THistoryScope scope(history);
    return BookTransfer(*db, record);
  }
};

// The fixture's records, created in this order on an empty store.
constexpr int32_t kKey = 1;
constexpr int32_t kPerson = 2;
constexpr int32_t kBunch = 3;
constexpr int32_t kCab1 = 4;  // its link to the key carries "ct" 5 and "tl" 8
constexpr int32_t kCab2 = 5;  // linked without numbers
constexpr int32_t kUser = 6;

constexpr TPackedDate kDay = (2024 << 16) | (3 << 8) | 4;  // 2024-03-04
const char* const kUserText = "c=1;i=6;n=Chef";

std::vector<std::string> ReadLines(const std::string& file) {
  std::vector<std::string> lines;
  LoadTextFile(file, lines);
  return lines;
}

bool SameRecord(const TTransferRecord& x, const TTransferRecord& y) {
  if (x.Keys.Count() != y.Keys.Count()) return false;
  for (int32_t i = 0; i < x.Keys.Count(); ++i)
    if (x.Keys.Get(i) != y.Keys.Get(i)) return false;
  return x.Kind == y.Kind && x.KeyId == y.KeyId && x.HoldingDate == y.HoldingDate &&
         x.HoldingReceiptNo == y.HoldingReceiptNo && x.TransferUserId == y.TransferUserId &&
         x.OldOwner == y.OldOwner && x.NewOwner == y.NewOwner && x.Date == y.Date &&
         x.TimeText == y.TimeText && x.Deadline == y.Deadline && x.Quantity == y.Quantity &&
         x.QuantityLimit == y.QuantityLimit && x.Sign == y.Sign && x.Remark == y.Remark &&
         x.ReceiptNo == y.ReceiptNo && x.Identifier == y.Identifier &&
         x.SignatureRef == y.SignatureRef && x.CabinetId == y.CabinetId &&
         x.ConfirmedStock == y.ConfirmedStock &&
         x.NegativeStockAllowed == y.NegativeStockAllowed;
}

struct Transfer : ::testing::Test {
  TUtcZone zone;
  TFixedClock clock{EncodeDateTime(2024, 3, 5, 10, 30, 0)};
  TClockScope clockScope{clock};
  TTempDir dir;
  TScopedRecorder ui;
  TBookingStation a{"A"};
  TBookingStation b{"B"};

  void SetUp() override {
    ASSERT_TRUE(a.Open(dir));
    ASSERT_EQ(a->NewNamedRecord(icKey, "Haupt 1", ""), kKey);
    ASSERT_EQ(a->NewNamedRecord(icPerson, "Anna", ""), kPerson);
    ASSERT_EQ(a->NewNamedRecord(icKeyBunch, "Bund", ""), kBunch);
    ASSERT_EQ(a->NewNamedRecord(icCabinet, "Schrank 1", ""), kCab1);
    ASSERT_EQ(a->NewNamedRecord(icCabinet, "Schrank 2", ""), kCab2);
    ASSERT_EQ(a->NewNamedRecord(icUser, "Chef", ""), kUser);
    a->SetField(kKey, fkStock, "5");
    a->SetField(kKey, fkTotal, "5");
    a->AddLinkBoth(kKey, kCab1, icCabinet, icKey);
    a->AddLinkBoth(kKey, kCab2, icCabinet, icKey);
    a->SetLinkValue(kKey, kCab1, fkCabinetStock, "5");
    a->SetLinkValue(kKey, kCab1, fkCabinetOwned, "8");
    ASSERT_TRUE(a->Commit());
    ASSERT_TRUE(b.Open(dir));
    a.history.SetUserText(kUserText);
    b.history.SetUserText(kUserText);
  }

  TTransferRecord Rec(TTransferKind kind, int32_t holder, int32_t cabinet, int32_t quantity) {
    TTransferRecord r;
    r.Kind = kind;
    r.KeyId = kKey;
    r.Keys.Add(kKey);
    r.Quantity = quantity;
    r.QuantityLimit = 999;
    r.Date = kDay;
    r.TransferUserId = kUser;
    r.CabinetId = cabinet;
    SetTransferOwners(*a.db, r, holder, cabinet);
    return r;
  }
  TTransferRecord ReturnOf(TTransferKind kind, int32_t holder, int32_t cabinet,
                           int32_t quantity, const std::string& receiptNo = "") {
    TTransferRecord r = Rec(kind, holder, cabinet, quantity);
    r.HoldingDate = "2024-03-04";
    r.HoldingReceiptNo = receiptNo;
    return r;
  }

  std::string HistoryFile() const { return dir.File("Log2024.alg"); }
  std::vector<std::string> HistoryLines() const { return ReadLines(HistoryFile()); }
  std::string StoreBytes() const { return ReadAllBytes(dir.File("Data.ada")); }
  // What another workstation reads from the file now.
  std::string OnDisk(int32_t id, const std::string& field) {
    TStation reader("R");
    EXPECT_TRUE(reader.Open(dir));
    return reader->GetField(id, field);
  }
  int32_t Invariant(TMiniDB& db, int32_t key) {
    return StrToIntZero(db.GetField(key, fkTotal)) -
           (StrToIntZero(db.GetField(key, fkStock)) + BookedCount(db, key));
  }
};

// ---------------------------------------------------------------------------------------
// One table over the kinds: counters, holder lines, cabinet counters, the history line.

struct TStep {
  TTransferKind kind;
  int32_t holder;
  int32_t cabinet;
  int32_t quantity;
  const char* receiptNo = "";  // of an issue, or of the holding booked out
};

struct TKindCase {
  const char* name;
  std::vector<TStep> before;
  TStep step;
  const char* cnt;
  const char* total;
  const char* own;
  const char* ct1;
  const char* tl1;
  const char* ct2;
  // The history line: a, d, src and dest holder IDs (0 = no item), cnt, stock, emb, r.
  const char* a;
  const char* d;
  int32_t src;
  int32_t dest;
  const char* stock;
  bool fullData;  // the step carries identifier "A-7", remark "Urlaub", time and deadline
};

const TKindCase kKindCases[] = {
    {"DeliveryToCabinetWithNumbers", {}, {tkDelivery, 0, kCab1, 3}, "8", "8", "", "8", "11",
     "", "a=Trans1", "d=2024-03-04", 0, 0, "stock=8 / 8", false},
    {"DeliveryToCabinetWithoutNumbers", {}, {tkDelivery, 0, kCab2, 3}, "8", "8", "", "5", "8",
     "", "a=Trans1", "d=2024-03-04", 0, 0, "stock=8 / 8", false},
    {"IssueToPersonWithAllData", {}, {tkIssue, kPerson, kCab1, 2, "0042"}, "3", "5",
     "E2=2|2024-03-04|2024-04-01|Urlaub|0042|A-7||09:15|4", "3", "8", "",
     "a=Trans2", "d=2024-03-04\xA0" "09:15", 0, kPerson, "stock=3 / 5", true},
    {"IssueToKeyBunchFromCabinetWithoutNumbers", {}, {tkIssue, kBunch, kCab2, 1}, "4", "5",
     "H3=1|2024-03-04|||||||5", "5", "8", "", "a=Trans2", "d=2024-03-04", 0, kBunch,
     "stock=4 / 5", false},
    {"ReturnOfTheWholeHolding", {{tkIssue, kPerson, kCab1, 2, "0042"}},
     {tkReturn, kPerson, kCab1, 2, "0042"}, "5", "5", "", "5", "8", "", "a=Trans3",
     "d=2024-03-04", kPerson, 0, "stock=5 / 5", false},
    {"PartialReturnKeepsTheHolding", {{tkIssue, kPerson, kCab1, 3, "0042"}},
     {tkReturn, kPerson, kCab1, 1, "0042"}, "3", "5", "E2=2|2024-03-04|||0042||||4", "3", "8",
     "", "a=Trans3", "d=2024-03-04", kPerson, 0, "stock=3 / 5", false},
    {"Defect", {}, {tkDefect, 0, kCab1, 1}, "4", "5", "G0=1|2024-03-04|||||||4", "4", "7", "",
     "a=Trans4", "d=2024-03-04", 0, 0, "stock=4 / 5", false},
    {"Loss", {{tkIssue, kPerson, kCab1, 1}}, {tkLoss, kPerson, 0, 1}, "4", "5",
     "F2=1|2024-03-04", "4", "8", "", "a=Trans5", "d=2024-03-04", kPerson, 0, "stock=4 / 5",
     false},
    {"Find", {{tkIssue, kPerson, kCab1, 1}, {tkLoss, kPerson, 0, 1}},
     {tkFind, kPerson, kCab1, 1}, "5", "5", "", "5", "8", "", "a=Trans6", "d=2024-03-04", 0, 0,
     "stock=5 / 5", false},
};

void PrintTo(const TKindCase& c, std::ostream* os) { *os << c.name; }

class TransferKinds : public Transfer, public ::testing::WithParamInterface<TKindCase> {};

TEST_P(TransferKinds, BooksCountersHolderLinesCabinetsAndTheHistoryLine) {
  const TKindCase& c = GetParam();
  auto record = [this](const TStep& s, bool fullData) {
    TTransferRecord r = s.kind == tkIssue || s.kind == tkDelivery || s.kind == tkDefect
                            ? Rec(s.kind, s.holder, s.cabinet, s.quantity)
                            : ReturnOf(s.kind, s.holder, s.cabinet, s.quantity, s.receiptNo);
    if (s.kind == tkIssue) r.ReceiptNo = s.receiptNo;
    if (fullData) {
      r.Identifier = "A-7";
      r.Remark = "Urlaub";
      r.TimeText = "2024-03-04\xA0" "09:15";
      r.Deadline = (2024 << 16) | (4 << 8) | 1;
    }
    return r;
  };
  for (const TStep& s : c.before) {
    TTransferRecord r = record(s, false);
    ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  }
  TTransferRecord r = record(c.step, c.fullData);
  ASSERT_EQ(a.Book(r), TTransferResult::Booked) << ui.AllText();
  EXPECT_EQ(ui.messages.size(), 0u) << ui.AllText();

  EXPECT_EQ(OnDisk(kKey, fkStock), c.cnt);
  EXPECT_EQ(OnDisk(kKey, fkTotal), c.total);
  EXPECT_EQ(OnDisk(kKey, fkHolders), c.own);
  EXPECT_EQ(a->GetLinkValue(kKey, kCab1, fkCabinetStock), c.ct1);
  EXPECT_EQ(a->GetLinkValue(kKey, kCab1, fkCabinetOwned), c.tl1);
  EXPECT_EQ(a->GetLinkValue(kKey, kCab2, fkCabinetStock), c.ct2);
  EXPECT_EQ(a->GetLinkValue(kKey, kCab2, fkCabinetOwned), "");
  EXPECT_EQ(Invariant(*a.db, kKey), 0);

  std::vector<std::string> items{c.a, c.d, "d2=2024-03-05\xA0" "10:30:00",
                                 "o=" + HistoryObjectText(icKey, kKey, "Haupt 1")};
  auto objectOf = [](int32_t id) {
    return id == kPerson ? HistoryObjectText(icPerson, kPerson, "Anna")
                         : HistoryObjectText(icKeyBunch, kBunch, "Bund");
  };
  if (c.src) items.push_back("src=" + objectOf(c.src));
  if (c.dest) items.push_back("dest=" + objectOf(c.dest));
  items.push_back("u2=" + HistoryObjectText(icUser, kUser, "Chef"));
  items.push_back(std::string("u=") + kUserText);
  items.push_back("cnt=" + std::to_string(c.step.quantity));
  items.push_back(c.stock);
  if (c.fullData) {
    items.push_back("emb=A-7");
    items.push_back("r=Urlaub");
  }
  items.push_back("utc=" + DoubleToHex32(clock.NowUTC()));
  const std::vector<std::string> lines = HistoryLines();
  ASSERT_EQ(lines.size(), 2 + c.before.size());  // the 0x01 line, then one per booking
  EXPECT_EQ(lines.back(), BuildCommaText(items));
}

INSTANTIATE_TEST_SUITE_P(EachKind, TransferKinds, ::testing::ValuesIn(kKindCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// States of the record.

TEST_F(Transfer, ABookingClearsTheRecordButItsKeyList) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
  r.Keys.Add(kKey + 100);
  ConfirmNegativeStock(r, kKey, 5);
  ASSERT_TRUE(ExecuteTransfer(*a.db, r));
  EXPECT_FALSE(r.Pending());
  EXPECT_EQ(r.KeyId, 0);
  EXPECT_EQ(r.Quantity, 0);
  EXPECT_EQ(r.NewOwner, THolderRef());
  EXPECT_TRUE(r.ConfirmedStock.empty());
  ASSERT_EQ(r.Keys.Count(), 2);
  EXPECT_EQ(r.Keys.Get(1), kKey + 100);
}

TEST_F(Transfer, TheProgramsRecordIsBookedOnTheSessionsStoreAndCanBeReset) {
  ResetSession();
  ClientSession().LendStore(a.db.get());
  THistoryScope scope(a.history);
  TransferRec() = Rec(tkIssue, kPerson, kCab1, 1);
  EXPECT_TRUE(ExecuteTransfer());
  EXPECT_FALSE(TransferRec().Pending());
  EXPECT_EQ(TransferRec().Keys.Count(), 1);
  ResetTransferRec();
  EXPECT_EQ(TransferRec().Keys.Count(), 0);
  ResetSession();
  EXPECT_EQ(a->GetField(kKey, fkStock), "4");
}

TEST_F(Transfer, AnAssignedCopyOwnsItsKeyList) {
  TTransferRecord source = Rec(tkIssue, kPerson, kCab1, 2);
  source.Keys.Add(7);
  TTransferRecord copy;
  copy.Keys.Add(99);
  AssignTransfer(source, copy);
  EXPECT_TRUE(SameRecord(source, copy));
  source.Keys.Clear();
  source.Keys.Add(42);
  ASSERT_EQ(copy.Keys.Count(), 2);
  EXPECT_EQ(copy.Keys.Get(0), kKey);
  EXPECT_EQ(copy.Keys.Get(1), 7);
}

TEST_F(Transfer, OwnerPairsFollowTheKind) {
  struct TPair {
    TTransferKind kind;
    int32_t holder;
    THolderRef oldOwner, newOwner;
    int32_t sign;
  };
  const TPair pairs[] = {
      {tkDelivery, kPerson, {okSupplier, 0}, {okCabinet, kCab1}, 1},
      {tkIssue, kPerson, {okCabinet, kCab1}, {okPerson, kPerson}, -1},
      {tkIssue, kBunch, {okCabinet, kCab1}, {okKeyBunch, kBunch}, -1},
      {tkReturn, kBunch, {okKeyBunch, kBunch}, {okCabinet, kCab1}, 1},
      {tkReturn, kPerson, {okPerson, kPerson}, {okCabinet, kCab1}, 1},
      {tkDefect, kPerson, {okCabinet, kCab1}, {okDefective, 0}, -1},
      {tkLoss, kPerson, {okPerson, kPerson}, {okLost, kPerson}, -1},
      {tkFind, kPerson, {okLost, kPerson}, {okCabinet, kCab1}, 1},
  };
  for (const TPair& p : pairs) {
    TTransferRecord r;
    r.Kind = p.kind;
    SetTransferOwners(*a.db, r, p.holder, kCab1);
    EXPECT_EQ(r.OldOwner, p.oldOwner) << int(p.kind);
    EXPECT_EQ(r.NewOwner, p.newOwner) << int(p.kind);
    EXPECT_EQ(r.Sign, p.sign) << int(p.kind);
    EXPECT_TRUE(TransferOwnersFit(r)) << int(p.kind);
  }
}

// ---------------------------------------------------------------------------------------
// The invariant total == cnt + BookedCount over random sequences of the six kinds.

TEST_F(Transfer, StockPlusBookedPiecesStayTheTotalOverRandomSequences) {
  std::mt19937 random(20241210);
  auto pick = [&random](int n) { return static_cast<int>(random() % n); };
  const int32_t holders[] = {kPerson, kBunch};
  const int32_t cabinets[] = {0, kCab1, kCab2};
  int booked = 0;
  for (int i = 0; i < 300; ++i) {
    const TTransferKind kind = static_cast<TTransferKind>(1 + pick(6));
    const int32_t quantity = 1 + pick(3);
    TTransferRecord r = Rec(kind, holders[pick(2)], cabinets[pick(3)], quantity);
    if (kind == tkLoss) SetTransferOwners(*a.db, r, kPerson, 0);
    if (kind == tkReturn || kind == tkLoss || kind == tkFind) {
      // Mostly a holding that exists; sometimes one that does not.
      const THolderEntries entries = LoadHolderRecs(*a.db, kKey, false);
      for (const THolderEntry& e : entries)
        if (e.Kind == r.OldOwner.kind && e.HolderId == r.OldOwner.id && pick(4) != 0) {
          r.HoldingDate = e.FirstDate;
          r.HoldingReceiptNo = e.ReceiptNo;
          r.Quantity = 1 + pick(StrToIntZero(e.Count) + 1);  // sometimes one too many
          break;
        }
    } else {
      r.ReceiptNo = std::to_string(1000 + i);
    }
    if (pick(2) == 0) ConfirmNegativeStock(r, kKey, StrToIntZero(a->GetField(kKey, fkStock)));
    const std::string before = a->GetRecordText(kKey);
    const TTransferResult result = a.Book(r);
    if (result == TTransferResult::Booked) {
      ++booked;
    } else {
      EXPECT_EQ(a->GetRecordText(kKey), before) << "step " << i;
    }
    ASSERT_EQ(Invariant(*a.db, kKey), 0) << "step " << i << " kind " << int(kind);
    for (const THolderEntry& e : LoadHolderRecs(*a.db, kKey, false))
      ASSERT_GT(StrToIntZero(e.Count), 0) << "step " << i;
  }
  EXPECT_GT(booked, 150);
  TStation reader("R");
  ASSERT_TRUE(reader.Open(dir));
  EXPECT_EQ(Invariant(*reader.db, kKey), 0);
  EXPECT_EQ(HistoryLines().size(), static_cast<size_t>(booked) + 1);
}

// ---------------------------------------------------------------------------------------
// Refusals: nothing changes, no history, the record stays pending, the user is told.

struct TRefusalCheck {
  Transfer& t;
  std::string store;
  std::string history;
  explicit TRefusalCheck(Transfer& test)
      : t(test), store(test.StoreBytes()), history(ReadAllBytes(test.HistoryFile())) {}
  void Expect(TTransferResult expected, TTransferRecord r, const std::string& message) {
    const TTransferRecord before = r;
    t.ui.Clear();
    EXPECT_EQ(t.a.Book(r), expected);
    EXPECT_TRUE(SameRecord(r, before));
    EXPECT_EQ(t.StoreBytes(), store);
    EXPECT_EQ(ReadAllBytes(t.HistoryFile()), history);
    ASSERT_EQ(t.ui.messages.size(), 1u) << t.ui.AllText();
    EXPECT_NE(t.ui.messages[0].text.find(message), std::string::npos) << t.ui.AllText();
  }
};

TEST_F(Transfer, RefusedWithoutTheReservation) {
  int ticket = 0;
  ASSERT_TRUE(b->Reserve(ticket));
  TRefusalCheck(*this).Expect(TTransferResult::NoReservation, Rec(tkIssue, kPerson, kCab1, 1),
                              CoreText(27));
  b->Release(ticket);
}

TEST_F(Transfer, RefusedWhileAnotherStationLocksARecordAndNamesIt) {
  std::vector<std::string> ids{std::to_string(kPerson)};
  std::string blocking;
  ASSERT_TRUE(b->ItemsLock->SetDBAccess(dbaLock, ids, blocking));
  TRefusalCheck(*this).Expect(TTransferResult::Locked, Rec(tkIssue, kPerson, kCab1, 1),
                              MultiItemsDBTextFmt(5, "B"));
  EXPECT_EQ(a->ItemsLock->OwnEntry(), "");  // the key's lock was given back
}

TEST_F(Transfer, RefusedWhenTheLockFileCannotBeUsed) {
  ASSERT_TRUE(DeleteFileForce(dir.File("Data.wpi")));
  ASSERT_EQ(PfMakeFolders(dir.File("Data.wpi")), 0);
  TRefusalCheck(*this).Expect(TTransferResult::Locked, Rec(tkIssue, kPerson, kCab1, 1),
                              MultiItemsDBText(4));
}

TEST_F(Transfer, ADoubleReturnIsRefusedAndCountsNothingTwice) {
  TTransferRecord issue = Rec(tkIssue, kPerson, kCab1, 2);
  issue.ReceiptNo = "0042";
  ASSERT_EQ(a.Book(issue), TTransferResult::Booked);
  ASSERT_EQ(b->Load(), ldRead);  // B shows the holding too
  TTransferRecord atB = ReturnOf(tkReturn, kPerson, kCab1, 2, "0042");
  ASSERT_EQ(a.Book(atB), TTransferResult::Booked);  // returned at A first
  ASSERT_EQ(OnDisk(kKey, fkStock), "5");
  const std::string store = StoreBytes();
  const size_t lines = HistoryLines().size();
  ui.Clear();
  TTransferRecord again = ReturnOf(tkReturn, kPerson, kCab1, 2, "0042");
  EXPECT_EQ(b.Book(again), TTransferResult::HoldingGone);
  EXPECT_TRUE(again.Pending());
  EXPECT_EQ(StoreBytes(), store);
  EXPECT_EQ(HistoryLines().size(), lines);
  EXPECT_EQ(b->GetField(kKey, fkStock), "5");
  EXPECT_EQ(b->GetField(kKey, fkHolders), "");
  EXPECT_EQ(b->GetLinkValue(kKey, kCab1, fkCabinetStock), "5");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("Haupt 1"), std::string::npos);
}

TEST_F(Transfer, AHoldingIsBookedOutOnlyByItsOwnReceiptOrDateAndOnlyWhatItHolds) {
  TTransferRecord first = Rec(tkIssue, kPerson, kCab1, 1);
  first.ReceiptNo = "0001";
  ASSERT_EQ(a.Book(first), TTransferResult::Booked);
  TTransferRecord second = Rec(tkIssue, kPerson, kCab1, 2);
  second.ReceiptNo = "0002";
  ASSERT_EQ(a.Book(second), TTransferResult::Booked);
  TRefusalCheck check(*this);
  // Another receipt of the same person is not this holding.
  check.Expect(TTransferResult::HoldingGone, ReturnOf(tkReturn, kPerson, kCab1, 1, "0003"),
               "Haupt 1");
  TTransferRecord otherDay = ReturnOf(tkLoss, kPerson, 0, 1);
  otherDay.HoldingDate = "2024-02-01";
  check.Expect(TTransferResult::HoldingGone, otherDay, "Haupt 1");
  check.Expect(TTransferResult::HoldingTooSmall, ReturnOf(tkReturn, kPerson, kCab1, 2, "0001"),
               "1 St\xFC" "ck");
  check.Expect(TTransferResult::HoldingGone, ReturnOf(tkFind, kPerson, kCab1, 1), "Haupt 1");
}

TEST_F(Transfer, RefusedForADeletedKeyOrAVanishedHolder) {
  {
    TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
    ASSERT_TRUE(b->MarkDeleted(kPerson));
    TRefusalCheck(*this).Expect(TTransferResult::OwnerGone, r, "Anna");
  }
  ASSERT_TRUE(b->MarkDeleted(kKey));
  TRefusalCheck(*this).Expect(TTransferResult::KeyGone, Rec(tkDelivery, 0, kCab1, 1),
                              "Haupt 1");
}

// While the user reads why a booking was refused, the other stations can work.
TEST_F(Transfer, RefusalsAreShownAfterTheReservationIsFree) {
  struct TProbe : TRecordingInteraction {
    TStation* other = nullptr;
    int freeAtMessage = 0;
    void ShowMessage(TMsgKind kind, const std::string& text) override {
      int ticket = 0;
      if (other->db->Reserve(ticket)) {
        ++freeAtMessage;
        other->db->Release(ticket);
      }
      TRecordingInteraction::ShowMessage(kind, text);
    }
  } probe;
  probe.other = &b;
  TUserInteractionScope scope(probe);
  std::vector<std::string> ids{std::to_string(kPerson)};
  std::string blocking;
  ASSERT_TRUE(b->ItemsLock->SetDBAccess(dbaLock, ids, blocking));
  TTransferRecord locked = Rec(tkIssue, kPerson, kCab1, 1);
  EXPECT_EQ(a.Book(locked), TTransferResult::Locked);
  TTransferRecord gone = ReturnOf(tkReturn, kBunch, kCab1, 1);
  EXPECT_EQ(a.Book(gone), TTransferResult::HoldingGone);
  EXPECT_EQ(probe.messages.size(), 2u);
  EXPECT_EQ(probe.freeAtMessage, 2);
}

TEST_F(Transfer, RefusedForAQuantityBelowOneWhateverTheSign) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 0);
  r.Sign = 0;
  TRefusalCheck check(*this);
  check.Expect(TTransferResult::BadQuantity, r, TransferText(txBadQuantity).substr(0, 10));
  r.Quantity = -3;
  check.Expect(TTransferResult::BadQuantity, r, "-3");
}

TEST_F(Transfer, TheSignComesFromTheKind) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 2);
  r.Sign = 0;
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  r = Rec(tkIssue, kPerson, kCab1, 1);
  r.Sign = +1;
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  EXPECT_EQ(OnDisk(kKey, fkStock), "2");
  EXPECT_EQ(BookedCount(*a.db, kKey), 3);
}

TEST_F(Transfer, KindsOutsideOneToSixAreInternalErrors) {
  TRefusalCheck check(*this);
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
  r.Kind = tkNone;
  check.Expect(TTransferResult::BadKind, r, CoreTextFmt(33, "2"));
  r.Kind = 7;
  check.Expect(TTransferResult::BadKind, r, CoreTextFmt(33, "3"));
  r = Rec(tkIssue, kPerson, kCab1, 1);
  r.NewOwner = {okSupplier, 0};
  check.Expect(TTransferResult::BadOwners, r, CoreTextFmt(33, "4"));
}

// ---------------------------------------------------------------------------------------
// Negative stock only when agreed to for the stock as it is.

TEST_F(Transfer, NegativeStockNeedsAnAgreementForTheStockAsItIsNow) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 7);
  TRefusalCheck(*this).Expect(TTransferResult::NegativeStock, r,
                              TransferText(txNegativeStock).substr(0, 20));
  ConfirmNegativeStock(r, kKey, 5);
  // Meanwhile another station issues one piece.
  TTransferRecord atB = Rec(tkIssue, kPerson, kCab1, 1);
  ASSERT_EQ(b.Book(atB), TTransferResult::Booked);
  TRefusalCheck(*this).Expect(TTransferResult::StockChanged, r, "jetzt 4");
  ConfirmNegativeStock(r, kKey, 4);  // asked again
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  EXPECT_EQ(OnDisk(kKey, fkStock), "-3");
  EXPECT_EQ(Invariant(*a.db, kKey), 0);
  // Unattended runs settle it once.
  TTransferRecord defect = Rec(tkDefect, 0, kCab1, 1);
  defect.NegativeStockAllowed = true;
  EXPECT_EQ(a.Book(defect), TTransferResult::Booked);
  // Raising a negative stock needs nobody's agreement.
  TTransferRecord delivery = Rec(tkDelivery, 0, kCab1, 1);
  EXPECT_EQ(a.Book(delivery), TTransferResult::Booked);
  EXPECT_EQ(OnDisk(kKey, fkStock), "-3");
}

// ---------------------------------------------------------------------------------------
// Saving.

TEST_F(Transfer, ADateOfZeroWithoutTimeBooksToday) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
  r.Date = 0;
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  EXPECT_EQ(OnDisk(kKey, fkHolders), "E2=1|2024-03-05|||||||4");
  TQStringList items;
  items.SetCommaText(HistoryLines().back());
  EXPECT_EQ(items.Value("d"), "2024-03-05");
}

// Counts the saves of a store: the change log is asked for its time once per save.
struct TSaveCounter : TRecordLogHook {
  int saves = 0;
  double ChangeTime() override {
    ++saves;
    return 45000;
  }
  std::string CopyNeeded(double) override { return ""; }
  void CopyWritten(double) override {}
  void ChangeSaved(int32_t, const std::string&, double) override {}
};

TEST_F(Transfer, ABookingSavesOnceAndDoesNotRereadAnUnchangedFile) {
  TSaveCounter counter;
  a->TimebackLog = &counter;
  const int32_t loads = a->LoadCount;
  TTransferRecord loss = Rec(tkIssue, kPerson, kCab1, 1);
  ASSERT_EQ(a.Book(loss), TTransferResult::Booked);
  EXPECT_EQ(counter.saves, 1);  // key, person and cabinet counters in one save
  EXPECT_EQ(a->LoadCount, loads);
  loss = ReturnOf(tkLoss, kPerson, 0, 1);  // two holder bookings
  ASSERT_EQ(a.Book(loss), TTransferResult::Booked);
  EXPECT_EQ(counter.saves, 2);
  a->TimebackLog = nullptr;
}

TEST_F(Transfer, AFailedSaveBooksNothingAndTellsTheUser) {
  const std::string store = StoreBytes();
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 2);
  {
    // Only the store's replacement fails (its new text starts with the 0x01 line).
    TPfFaultScope fault([](TPfOp op, const std::string& path) {
      return op == TPfOp::Rename && ReadAllBytes(path).rfind("\x01", 0) == 0 ? EIO : 0;
    });
    EXPECT_EQ(a.Book(r), TTransferResult::SaveFailed);
  }
  EXPECT_TRUE(r.Pending());
  EXPECT_EQ(StoreBytes(), store);
  EXPECT_LT(GetFileSize64(HistoryFile()), 0);
  EXPECT_EQ(a->GetField(kKey, fkStock), "5");
  EXPECT_EQ(a->GetField(kKey, fkHolders), "");
  EXPECT_EQ(a->ItemsLock->OwnEntry(), "");
  EXPECT_NE(ui.AllText().find(TransferText(txSaveFailed)), std::string::npos);
  // The next booking of another station is not undone by this station's next save.
  TTransferRecord atB = Rec(tkDelivery, 0, kCab1, 1);
  ASSERT_EQ(b.Book(atB), TTransferResult::Booked);
  TTransferRecord atA = Rec(tkIssue, kPerson, kCab1, 2);
  ASSERT_EQ(a.Book(atA), TTransferResult::Booked);
  EXPECT_EQ(OnDisk(kKey, fkStock), "4");
  EXPECT_EQ(OnDisk(kKey, fkTotal), "6");
  // The refused booking left no line to be written later: the history holds the two.
  EXPECT_EQ(HistoryLines().size(), 3u);
  {
    TStoreWrite settle(*b.db, {});
    THistoryScope scope(b.history);
    EXPECT_TRUE(SettlePendingHistory(*b.db));
  }
  EXPECT_EQ(HistoryLines().size(), 3u);
}

// Once the new file has taken the old one's place the booking has happened, even when
// the folder cannot be synced afterwards: booked, with its history line, and the user is
// told only that the disk has not confirmed it.
TEST_F(Transfer, AFolderSyncFailingAfterTheRenameStillBooks) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 2);
  {
    TPfFaultScope fault([](TPfOp op, const std::string&) {
      return op == TPfOp::FsyncFolder ? EIO : 0;
    });
    EXPECT_EQ(a.Book(r), TTransferResult::Booked);
  }
  EXPECT_FALSE(r.Pending());
  EXPECT_EQ(a->GetField(kKey, fkStock), "3");
  EXPECT_EQ(OnDisk(kKey, fkStock), "3");
  ASSERT_EQ(HistoryLines().size(), 2u);
  EXPECT_EQ(HistoryLines()[1].rfind("a=Trans2,", 0), 0u);
  const std::string said = ui.AllText();
  EXPECT_EQ(said.find(TransferText(txSaveFailed)), std::string::npos);
  EXPECT_NE(said.find(MultiItemsDBText(10).substr(0, 30)), std::string::npos) << said;
  EXPECT_NE(said.find(dir.File("Data.ada")), std::string::npos) << said;
}

TEST_F(Transfer, AnEditLockOfThisStationSurvivesABooking) {
  ASSERT_TRUE(a->LockItem(kPerson, true, 0));
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  EXPECT_EQ(a->ItemsLock->OwnEntry(), std::to_string(kPerson));
}

TEST_F(Transfer, InBulkModeTheBookingNeitherRereadsNorSaves) {
  std::string blocking;
  ASSERT_TRUE(a->ItemsLock->LockAll(blocking));
  a->AutoSave = false;
  a.history.SetBuffered(true);
  const TFileStamp stamp = GetFileStamp(dir.File("Data.ada"));
  const int32_t loads = a->LoadCount;
  for (int i = 0; i < 3; ++i) {
    TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
    ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  }
  EXPECT_EQ(GetFileStamp(dir.File("Data.ada")), stamp);
  EXPECT_EQ(a->LoadCount, loads);
  EXPECT_EQ(a->GetField(kKey, fkStock), "2");
  EXPECT_EQ(OnDisk(kKey, fkStock), "5");
  // The bulk run saves once at its end.
  a->AutoSave = true;
  ASSERT_TRUE(a->Commit());
  ASSERT_TRUE(a->ItemsLock->UnlockAll());
  a.history.SetBuffered(false);
  ASSERT_TRUE(a.history.Flush());
  EXPECT_EQ(OnDisk(kKey, fkStock), "2");
  EXPECT_EQ(HistoryLines().size(), 4u);
}

// ---------------------------------------------------------------------------------------
// Cabinet counters and identifiers.

TEST_F(Transfer, CabinetCountersChangeOnlyNumbersOnLinksToCabinets) {
  a->SetLinkValue(kKey, kCab2, fkCabinetStock, "x");
  AddCabinetCount(*a.db, kKey, kCab1, -2);
  AddCabinetTotal(*a.db, kKey, kCab1, 3);
  AddCabinetCount(*a.db, kKey, kCab2, 1);   // not a number: left alone
  AddCabinetTotal(*a.db, kKey, kCab2, 1);   // no value: none created
  AddCabinetCount(*a.db, kKey, kPerson, 1); // no cabinet
  EXPECT_EQ(a->GetLinkValue(kKey, kCab1, fkCabinetStock), "3");
  EXPECT_EQ(a->GetLinkValue(kKey, kCab1, fkCabinetOwned), "11");
  EXPECT_EQ(a->GetLinkValue(kKey, kCab2, fkCabinetStock), "x");
  EXPECT_EQ(a->GetLinkValue(kKey, kCab2, fkCabinetOwned), "");
  EXPECT_EQ(a->GetLinkValue(kKey, kPerson, fkCabinetStock), "");
}

TEST_F(Transfer, IdentifiersAreListedOnceAndTakeExtraTextsWhenGiven) {
  struct TCase {
    const char* stored;
    const char* identifier;
    const char* extra;
    const char* expected;
  };
  const TCase cases[] = {
      {"", "A-7", "", "A-7\x0B\t"},
      {"A-7\x0B\t", "A-7", "", "A-7\x0B\t"},                  // listed: unchanged
      {" A-7 \x0Bold\tB\t", "A-7", "new", "A-7\x0Bnew\tB\t"},  // trimmed match rewritten
      {"B\t", "a-7", "", "B\ta-7\x0B\t"},                      // case counts
      {"B", "C", "x", "B\tC\x0Bx\t"},                         // an unended last entry
      {"B\t", "", "x", "B\t"},                                  // no identifier: nothing
  };
  for (const TCase& c : cases) {
    a->SetField(kKey, fkIssuedIdents, c.stored);
    AddEmbossNumbers(*a.db, kKey, c.identifier, c.extra);
    EXPECT_EQ(a->GetField(kKey, fkIssuedIdents), c.expected) << c.stored << "|" << c.identifier;
  }
  AddEmbossNumbers(*a.db, 0, "A", "");  // key 0: nothing
}

TEST_F(Transfer, AnIssueAddsItsIdentifierToTheKeysList) {
  TTransferRecord r = Rec(tkIssue, kPerson, kCab1, 1);
  r.Identifier = "17";
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  r = Rec(tkIssue, kBunch, kCab1, 1);
  r.Identifier = "17";
  ASSERT_EQ(a.Book(r), TTransferResult::Booked);
  EXPECT_EQ(OnDisk(kKey, fkIssuedIdents), "17\x0B\t");
}

}  // namespace
