// Key transfers from several real processes on one data folder at the same time: every
// booking reported as done is in the file and in the history exactly once, the counters
// of every key still add up, and no record is lost.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/SLUnit.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/MiniDBTestSupport.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr int kProcesses = 4;
constexpr int kKeys = 4;
constexpr int32_t kFirstKey = 1;                  // keys 1..4
constexpr int32_t kPersons[] = {5, 6, 7};
constexpr int32_t kBunch = 8;
constexpr int32_t kCabinets[] = {9, 10};          // 9 with counters on its links
constexpr int32_t kRecords = 10;
constexpr int kStartStock = 6;

// Bookings per process (about 7 s for all four, also under the address sanitizer, on a
// loaded machine); TESSARO_SOAK_BOOKINGS overrides it.
int BookingsPerProcess() {
  if (const char* text = std::getenv("TESSARO_SOAK_BOOKINGS")) {
    const int n = StrToIntZero(text);
    if (n > 0) return n;
  }
  return 200;
}

// What a child reports per booking done: its tag (also the booking's remark, so the history
// line can be told apart), its kind and its quantity.
struct TDone {
  std::string tag;
  int kind = 0;
  int quantity = 0;
};

// One process: books at random what its own (sometimes stale) view of the store offers, as
// a user at a workstation would, and retries when the reservation is busy.
int RunStation(const TTempDir& dir, int p, int bookings) {
  TStation station("P" + std::to_string(p));
  // Real but short waits: the other processes really hold the reservation meanwhile.
  station.registry.SetSleeper([](int ms) { usleep(static_cast<useconds_t>(ms) * 10); });
  THistory history(&station.registry);
  THistoryScope scope(history);
  bool opened = false;
  for (int t = 0; !opened && t < 200; ++t) opened = station.Open(dir);
  if (!opened) return 10;
  history.SetFolder(dir.Dir());
  TMiniDB& db = *station.db;

  std::mt19937 random(4711 + p);
  auto pick = [&random](int n) { return static_cast<int>(random() % n); };
  std::ofstream done(dir.File("done-" + std::to_string(p) + ".txt"));
  int unexpected = 0;
  for (int i = 0; i < bookings; ++i) {
    if (pick(3) == 0) db.Load();  // the view refreshes now and then
    TTransferRecord r;
    r.Kind = static_cast<TTransferKind>(1 + pick(6));
    r.KeyId = kFirstKey + pick(kKeys);
    r.Quantity = 1 + pick(2);
    const int32_t holder = pick(4) == 0 ? kBunch : kPersons[pick(3)];
    const int32_t cabinet = kCabinets[pick(2)];
    SetTransferOwners(db, r, r.Kind == tkLoss ? kPersons[pick(3)] : holder, cabinet);
    r.CabinetId = cabinet;
    if (r.Kind == tkReturn || r.Kind == tkLoss || r.Kind == tkFind) {
      for (const THolderEntry& e : LoadHolderRecs(db, r.KeyId, false))
        if (e.Kind == r.OldOwner.kind && e.HolderId == r.OldOwner.id) {
          r.HoldingDate = e.FirstDate;
          r.HoldingReceiptNo = e.ReceiptNo;
          r.Quantity = 1 + pick(StrToIntZero(e.Count));
          break;
        }
    } else {
      r.ReceiptNo = std::to_string(p) + "-" + std::to_string(i);
    }
    if (pick(2) == 0) ConfirmNegativeStock(r, r.KeyId, StrToIntZero(db.GetField(r.KeyId, fkStock)));
    const std::string tag = "P" + std::to_string(p) + "-" + std::to_string(i);
    r.Remark = tag;
    const int kind = r.Kind;
    const int quantity = r.Quantity;
    TTransferResult result = TTransferResult::NoReservation;
    for (int t = 0; t < 100 && result == TTransferResult::NoReservation; ++t)
      result = BookTransfer(db, r);
    switch (result) {
      case TTransferResult::Booked:
        done << tag << '\t' << kind << '\t' << quantity << '\n';
        done.flush();
        break;
      case TTransferResult::NoReservation:  // gave up after many tries: not booked
      case TTransferResult::HoldingGone:    // another process booked it out first
      case TTransferResult::HoldingTooSmall:
      case TTransferResult::NegativeStock:
      case TTransferResult::StockChanged:
        break;
      default:
        ++unexpected;
        break;
    }
  }
  return unexpected == 0 ? 0 : 1;
}

std::vector<TDone> ReadDone(const TTempDir& dir, int p) {
  std::vector<TDone> list;
  std::ifstream in(dir.File("done-" + std::to_string(p) + ".txt"));
  TDone d;
  while (in >> d.tag >> d.kind >> d.quantity) list.push_back(d);
  return list;
}

// The remarks ("r") of every transfer line of every history file in the folder.
std::multiset<std::string> HistoryTags(const TTempDir& dir) {
  std::multiset<std::string> tags;
  std::vector<TPfFolderEntry> entries;
  EXPECT_EQ(PfListFolder(dir.Dir(), entries), 0);
  for (const TPfFolderEntry& entry : entries) {
    if (entry.name.size() < 4 || entry.name.substr(entry.name.size() - 4) != ".alg") continue;
    std::vector<std::string> lines;
    LoadTextFile(dir.File(entry.name), lines);
    for (const std::string& line : lines) {
      TQStringList items;
      items.SetCommaText(line);
      if (items.Value("a").rfind("Trans", 0) == 0) tags.insert(items.Value("r"));
    }
  }
  return tags;
}

TEST(TransferSoak, FourProcessesBookingAtOnceKeepEveryCountAndEveryLine) {
  const int bookings = BookingsPerProcess();
  TTempDir dir;
  {
    TStation setup("setup");
    ASSERT_TRUE(setup.Open(dir));
    for (int k = 0; k < kKeys; ++k) {
      const int32_t key = setup->NewNamedRecord(icKey, "Key " + std::to_string(k), "");
      ASSERT_EQ(key, kFirstKey + k);
      setup->SetField(key, fkStock, std::to_string(kStartStock));
      setup->SetField(key, fkTotal, std::to_string(kStartStock));
    }
    for (int32_t person : kPersons)
      ASSERT_EQ(setup->NewNamedRecord(icPerson, "Person " + std::to_string(person), ""), person);
    ASSERT_EQ(setup->NewNamedRecord(icKeyBunch, "Bund", ""), kBunch);
    for (int32_t cabinet : kCabinets)
      ASSERT_EQ(setup->NewNamedRecord(icCabinet, "Schrank " + std::to_string(cabinet), ""),
                cabinet);
    for (int k = 0; k < kKeys; ++k) {
      setup->AddLinkBoth(kFirstKey + k, kCabinets[0], icCabinet, icKey);
      setup->SetLinkValue(kFirstKey + k, kCabinets[0], fkCabinetStock, "100");
      setup->SetLinkValue(kFirstKey + k, kCabinets[0], fkCabinetOwned, "100");
    }
    ASSERT_TRUE(setup->Commit());
  }

  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(RunStation(dir, p, bookings));
    children[p] = pid;
  }
  for (int p = 0; p < kProcesses; ++p) {
    int status = 0;
    ASSERT_EQ(waitpid(children[p], &status, 0), children[p]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "process " << p;
  }

  std::multiset<std::string> reported;
  int delivered = 0;
  for (int p = 0; p < kProcesses; ++p)
    for (const TDone& d : ReadDone(dir, p)) {
      reported.insert(d.tag);
      if (d.kind == tkDelivery) delivered += d.quantity;
    }
  EXPECT_GT(reported.size(), static_cast<size_t>(kProcesses * bookings / 4));
  // Exactly one history line per booking reported as done, and none for any other.
  EXPECT_EQ(HistoryTags(dir), reported);

  TStation reader("reader");
  ASSERT_TRUE(reader.Open(dir));
  TItemList all;
  reader->ListAll(all, false);
  EXPECT_EQ(all.Count(), kRecords);
  int totals = 0;
  for (int k = 0; k < kKeys; ++k) {
    const int32_t key = kFirstKey + k;
    SCOPED_TRACE("key " + std::to_string(key));
    EXPECT_EQ(reader->GetName(key), "Key " + std::to_string(k));
    const int32_t total = StrToIntZero(reader->GetField(key, fkTotal));
    const int32_t stock = StrToIntZero(reader->GetField(key, fkStock));
    EXPECT_EQ(total, stock + BookedCount(*reader.db, key));
    for (const THolderEntry& e : LoadHolderRecs(*reader.db, key, false))
      EXPECT_GT(StrToIntZero(e.Count), 0) << reader->GetField(key, fkHolders);
    totals += total;
  }
  EXPECT_EQ(totals, kKeys * kStartStock + delivered);
}

}  // namespace
