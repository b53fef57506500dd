// The yearly transaction journal: class-13 records whose "SigBin" names a signature.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/SigDBUnit.h"
#include "data/UnitTR100.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// One simulated workstation: own reservation registry (on the data folder's lock file for
// the signature pairs), own station key for the journal's record locks.
struct TSigStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  int waits = 0;
  TSigDB sig;

  TSigStation(const TTempDir& dir, const std::string& folder, const std::string& key)
      : sig(folder, &registry) {
    registry.SetSleeper([this](int) { ++waits; });
    GetAccessProtection(dir.File("Data.wpf"), lock, registry);
    sig.StationKey = key;
  }
  ~TSigStation() {
    sig.CloseJournal();
    ReleaseAccessProtection(lock);
  }
};

std::vector<std::string> FolderListing(const fs::path& root) {
  std::vector<std::string> names;
  if (!fs::exists(root)) return names;
  for (const auto& e : fs::recursive_directory_iterator(root)) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SigJournalTest : public ::testing::Test {
 protected:
  TTempDir dir;
  std::string folder = dir.Dir() + "Transactions/";
  TSigStation a{dir, folder, "anna@pc1"};
  TSigStation b{dir, folder, "bernd@pc2"};
  TScopedRecorder ui;

  std::string Signature(TSigStation& s, const std::string& text) {
    std::string ref;
    EXPECT_TRUE(s.sig.SaveSignatureRecord("202612", text, "", ref, {{1, 2, 3, 1}}))
        << s.sig.LastError();
    return ref;
  }
};

}  // namespace

TEST_F(SigJournalTest, OpenJournalYear) {
  for (const char* year : {"", "202", "20261", "2o26", "../x"}) {
    EXPECT_FALSE(a.sig.OpenJournalYear(year)) << year;
  }
  EXPECT_FALSE(fs::exists(folder));
  ASSERT_TRUE(a.sig.OpenJournalYear("2026")) << a.sig.LastError();
  ASSERT_NE(a.sig.Journal(), nullptr);
  EXPECT_EQ(a.sig.JournalYear(), "2026");
  EXPECT_EQ(a.sig.Journal()->FileName, folder + "Transactions2026.ada");
  EXPECT_EQ(a.sig.Journal()->AppName, "Tessaro");
  TMiniDB* journal = a.sig.Journal();

  // The same year again is the same store, read again: another station's record shows.
  std::string ref;
  ASSERT_TRUE(b.sig.WriteJournalSignature("2026", 0, Signature(b, "B"), ref));
  ASSERT_TRUE(a.sig.OpenJournalYear("2026"));
  EXPECT_EQ(a.sig.Journal(), journal);
  EXPECT_EQ(a.sig.Journal()->GetClass(1), icTransaction);

  ASSERT_TRUE(a.sig.OpenJournalYear("2027"));
  EXPECT_EQ(a.sig.JournalYear(), "2027");
  EXPECT_FALSE(a.sig.OpenJournalYear("27"));
  EXPECT_EQ(a.sig.JournalYear(), "2027");
}

TEST_F(SigJournalTest, SignedTransactionsFromTwoStations) {
  const std::string sigA = Signature(a, "Unterschrift A\r\n\xC4");
  const std::string sigB = Signature(b, "Unterschrift B");
  std::string refA, refB;
  ASSERT_TRUE(a.sig.WriteJournalSignature("2026", 0, sigA, refA)) << a.sig.LastError();
  ASSERT_TRUE(b.sig.WriteJournalSignature("2026", 0, sigB, refB)) << b.sig.LastError();
  EXPECT_EQ(refA, "2026:1");
  EXPECT_EQ(refB, "2026:2");

  // Each station finds both, down to the pad text.
  for (TSigStation* s : {&a, &b}) {
    for (const auto& [journalRef, text] :
         {std::pair{refA, std::string("Unterschrift A\r\n\xC4")},
          std::pair{refB, std::string("Unterschrift B")}}) {
      std::string sigRef, t1, t2;
      TSignaturePoints pts;
      ASSERT_TRUE(s->sig.ReadJournalSignature(journalRef, sigRef)) << s->sig.LastError();
      ASSERT_TRUE(s->sig.LoadSignatureRecord(sigRef, t1, t2, pts));
      EXPECT_EQ(t1, text);
    }
  }
  // A fresh reader of the file sees class-13 records with their reference.
  TAccessProtectionRegistry registry;  // outlives the store
  TMiniDB reader;
  reader.Registry = &registry;
  ASSERT_TRUE(reader.Open(folder, "Transactions2026", "Tessaro"));
  EXPECT_EQ(reader.GetClass(1), icTransaction);
  EXPECT_EQ(reader.GetField(1, "SigBin"), sigA);
  EXPECT_EQ(reader.GetField(2, "SigBin"), sigB);

  // Signing again into an existing record replaces its reference; an ID that is no
  // journal record is refused.
  const std::string again = Signature(b, "neu");
  std::string ref;
  ASSERT_TRUE(b.sig.WriteJournalSignature("2026", 1, again, ref)) << b.sig.LastError();
  EXPECT_EQ(ref, "2026:1");
  std::string sigRef;
  ASSERT_TRUE(a.sig.ReadJournalSignature("2026:1", sigRef));
  EXPECT_EQ(sigRef, again);
  EXPECT_FALSE(b.sig.WriteJournalSignature("2026", 9, again, ref));
  EXPECT_TRUE(ref.empty());
  EXPECT_FALSE(b.sig.WriteJournalSignature("2026", 0, "kein Verweis", ref));
  EXPECT_TRUE(ref.empty());
}

// The record is made and filled under one reservation: while another station holds the
// journal, nothing is created at all, and no reference is handed out.
TEST_F(SigJournalTest, WriteWaitsForTheWholeReservation) {
  std::string first;
  ASSERT_TRUE(a.sig.WriteJournalSignature("2026", 0, Signature(a, "A"), first));
  const std::string file = folder + "Transactions2026.ada";
  const std::string before = ReadAllBytes(file);
  const std::string sig = Signature(b, "B");
  ASSERT_TRUE(b.sig.OpenJournalYear("2026"));
  {
    TAccessProtectionRegistry other;
    other.SetSleeper([](int) {});
    TAccessProtection* journalLock = nullptr;
    GetAccessProtection(folder + "Transactions2026.wpf", journalLock, other);
    TReservation held(*journalLock);
    ASSERT_TRUE(held.Held());
    std::string ref = "old";
    EXPECT_FALSE(b.sig.WriteJournalSignature("2026", 0, sig, ref));
    EXPECT_TRUE(ref.empty());
    held.Release();
    ReleaseAccessProtection(journalLock);
  }
  EXPECT_EQ(ReadAllBytes(file), before);
  std::string ref;
  ASSERT_TRUE(b.sig.WriteJournalSignature("2026", 0, sig, ref)) << b.sig.LastError();
  EXPECT_EQ(ref, "2026:2");
}

// Between the record's creation (written at once, so its ID is taken) and the save of its
// reference, the journal's reservation is never let go, so no station can read a record
// without "SigBin": every save of the write runs inside the reservation the write took
// first, on top of the save's own ticket.
TEST_F(SigJournalTest, TheRecordIsMadeAndFilledUnderOneReservation) {
  struct TWatch : TRecordLogHook {
    TMiniDB* journal = nullptr;
    std::vector<int> ticketsAtSave;
    double ChangeTime() override { return 46000.0; }
    std::string CopyNeeded(double) override {
      ticketsAtSave.push_back(journal->AccessProtection->TicketCount());
      return {};
    }
    void CopyWritten(double) override {}
    void ChangeSaved(int32_t, const std::string&, double) override {}
  } watch;
  ASSERT_TRUE(a.sig.OpenJournalYear("2026"));
  watch.journal = a.sig.Journal();
  a.sig.Journal()->TimebackLog = &watch;
  std::string ref;
  ASSERT_TRUE(a.sig.WriteJournalSignature("2026", 0, Signature(a, "A"), ref));
  a.sig.Journal()->TimebackLog = nullptr;
  ASSERT_EQ(watch.ticketsAtSave.size(), 2u);  // the new record, then its reference
  for (int tickets : watch.ticketsAtSave) EXPECT_GE(tickets, 2);
}

TEST_F(SigJournalTest, ReadingAJournalReferenceCreatesNothing) {
  for (const char* ref : {"", "2026", "2026:", "2026:0", "2026:-1", "2026:x", "26:1", "2026-1",
                          "../1:1", "2026:1:2", "2026:1 "}) {
    std::string sigRef = "old";
    EXPECT_FALSE(a.sig.ReadJournalSignature(ref, sigRef)) << ref;
    EXPECT_TRUE(sigRef.empty()) << ref;
  }
  std::string sigRef;
  EXPECT_FALSE(a.sig.ReadJournalSignature("2031:1", sigRef));
  EXPECT_FALSE(fs::exists(folder));

  std::string ref;
  ASSERT_TRUE(a.sig.WriteJournalSignature("2026", 0, Signature(a, "A"), ref));
  a.sig.CloseJournal();
  const auto before = FolderListing(dir.Path());
  EXPECT_FALSE(a.sig.ReadJournalSignature("2025:1", sigRef));
  EXPECT_FALSE(a.sig.ReadJournalSignature("2026:7", sigRef));
  EXPECT_EQ(FolderListing(dir.Path()), before);
}

TEST(SigFolder, TheClientsTransactionsFolder) {
  TTempDir dir;
  TMandantState state;
  state.DataRoot = dir.Dir();
  TMandantStateScope scope{state};
  TMandantInfoRec nord;
  nord.Name = "Nord";
  EXPECT_EQ(SignatureFolder(nullptr), dir.Dir() + "Transactions/");
  EXPECT_EQ(SignatureFolder(&nord), dir.Dir() + "Transactions-Nord/");

  TAccessProtectionRegistry registry;
  TSigDB sig(SignatureFolder(&nord), &registry);
  std::string sigRef, journalRef;
  ASSERT_TRUE(sig.SaveSignatureRecord("200805", "Text", "", sigRef, {}));
  ASSERT_TRUE(sig.WriteJournalSignature("2008", 0, sigRef, journalRef));
  sig.CloseJournal();
  for (const char* name : {"Sig200805.hbi", "Sig200805.hbd", "Transactions2008.ada"}) {
    EXPECT_TRUE(fs::exists(dir.Dir() + "Transactions-Nord/" + name)) << name;
  }
}
