#include "data/SigDBUnit.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// One simulated workstation: its own reservation registry on the data folder's lock file,
// so two of them conflict as two computers do; waits are only counted.
struct TStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  std::vector<int> waits;
  TSigDB sig;

  TStation(const TTempDir& dir, const std::string& folder) : sig(folder, &registry) {
    registry.SetSleeper([this](int ms) { waits.push_back(ms); });
    GetAccessProtection(dir.File("Data.wpf"), lock, registry);
  }
  ~TStation() { ReleaseAccessProtection(lock); }
};

std::vector<std::string> FolderListing(const fs::path& root) {
  std::vector<std::string> names;
  if (!fs::exists(root)) return names;
  for (const auto& e : fs::recursive_directory_iterator(root)) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

TSignaturePoints SamplePoints() {
  return {{0, 0, 0, 1}, {1, 2, 3, 252}, {0xFFFF, 0x8001, 255, 253}, {300, 400, 7, 0x80}};
}

struct TSigCase {
  const char* name;
  std::string text1;
  std::string text2;
  TSignaturePoints points;
};

class SigDBTest : public ::testing::Test {
 protected:
  TTempDir dir;
  std::string folder = dir.Dir() + "Transactions-Nord/";
  TStation station{dir, folder};
  TScopedRecorder ui;
};

}  // namespace

// The byte layout of a record is what stored signatures and every later reader rely on.
TEST(SigRecordLayout, BlocksAndEndMark) {
  std::string record;
  ASSERT_TRUE(BuildSignatureRecord("AB", "", {{0x0102, 0x0304, 5, 1}}, record));
  const std::string expected("\x02\0\0\0"
                             "AB"
                             "\0\0\0\0"
                             "\x06\0\0\0"
                             "\x02\x01\x04\x03\x05\x01"
                             "\0\0\0\0",
                             24);
  EXPECT_EQ(record, expected);
}

TEST(SigRecordLayout, ParseRules) {
  auto u32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                       static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
  };
  struct TCase {
    const char* name;
    std::string bytes;
    bool ok;
    std::string text1, text2;
    std::size_t points;
  } cases[] = {
      {"empty record", "", true, "", "", 0},
      {"no end mark", u32(1) + "a" + u32(1) + "b", true, "a", "b", 0},
      {"later blocks skipped", u32(1) + "a" + u32(0) + u32(0) + u32(2) + "zz" + u32(0), true, "a",
       "", 0},
      {"points length div 6", u32(0) + u32(0) + u32(7) + std::string(7, 'p'), true, "", "", 1},
      {"negative length", u32(0x80000000u) + "a", false, "", "", 0},
      {"length beyond the bytes", u32(5) + "abcd", false, "", "", 0},
      {"stray bytes", u32(1) + "a" + "\x01\x02", false, "", "", 0},
  };
  for (const TCase& c : cases) {
    std::string t1 = "old", t2 = "old";
    TSignaturePoints pts{{1, 1, 1, 1}};
    EXPECT_EQ(ParseSignatureRecord(c.bytes.data(), c.bytes.size(), t1, t2, pts), c.ok) << c.name;
    EXPECT_EQ(t1, c.text1) << c.name;
    EXPECT_EQ(t2, c.text2) << c.name;
    EXPECT_EQ(pts.size(), c.points) << c.name;
  }
}

// Damage may claim any size: the reader stops at its cap instead of allocating what a
// stream promises, and neither a cut stream nor bytes behind it pass.
TEST(SigRecordLayout, DecompressionIsBoundedAndExact) {
  std::string big(kMaxSignatureRecordSize + 1, '\0'), packed;
  uLongf length = compressBound(static_cast<uLong>(big.size()));
  packed.resize(length);
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &length,
                      reinterpret_cast<const Bytef*>(big.data()), big.size(), 9),
            Z_OK);
  packed.resize(length);
  std::string out;
  EXPECT_FALSE(DecompressSignatureRecord(packed.data(), packed.size(), out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(DecompressSignatureRecord(packed.data(), packed.size(), out, big.size()));
  EXPECT_EQ(out.size(), big.size());

  std::string record, small;
  ASSERT_TRUE(BuildSignatureRecord("text", "x", SamplePoints(), record));
  ASSERT_TRUE(CompressSignatureRecord(record, small));
  EXPECT_TRUE(DecompressSignatureRecord(small.data(), small.size(), out));
  EXPECT_EQ(out, record);
  EXPECT_FALSE(DecompressSignatureRecord(small.data(), small.size() - 1, out));
  const std::string trailing = small + "X";
  EXPECT_FALSE(DecompressSignatureRecord(trailing.data(), trailing.size(), out));
}

TEST(SigReference, Form) {
  TSHA1Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(0xA0 + i);
  const std::string ref = MakeSignatureReference("200805", 17, digest);
  EXPECT_EQ(ref, "200805:17:a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3");
  TSignatureRef parsed;
  ASSERT_TRUE(ParseSignatureReference(ref, parsed));
  EXPECT_EQ(parsed.period, "200805");
  EXPECT_EQ(parsed.id, 17);
  EXPECT_EQ(parsed.digest, digest);
}

TEST_F(SigDBTest, RoundTrip) {
  const TSigCase cases[] = {
      {"texts with CR LF and high bytes",
       "Schl\xFC" "ssel 4711\r\nEmpf\xE4" "nger: M\xFC" "ller\r\n",
       "\x80\x9F\xA0\xFF", SamplePoints()},
      {"no points", "Nur Text", "", {}},
      {"all empty", "", "", {}},
      {"one stroke point", "", "zweiter Text", {{10, 20, 1, 1}}},
  };
  std::vector<std::string> refs;
  for (const TSigCase& c : cases) {
    std::string ref = "old";
    ASSERT_TRUE(station.sig.SaveSignatureRecord("202612", c.text1, c.text2, ref, c.points))
        << c.name << ": " << station.sig.LastError();
    refs.push_back(ref);
    std::string t1, t2;
    TSignaturePoints pts;
    ASSERT_TRUE(station.sig.LoadSignatureRecord(ref, t1, t2, pts)) << c.name << ": "
                                                                   << station.sig.LastError();
    EXPECT_EQ(t1, c.text1) << c.name;
    EXPECT_EQ(t2, c.text2) << c.name;
    EXPECT_EQ(pts, c.points) << c.name;
    if (!pts.empty()) {
      EXPECT_TRUE(pts.front().StartsStroke()) << c.name;
    }
  }
  EXPECT_EQ(refs[0].substr(0, 9), "202612:1:");
  EXPECT_EQ(refs[1].substr(0, 9), "202612:2:");
  EXPECT_EQ(refs[0].size(), 9u + 40u);
  // The month's pair, and the pad text is not readable in it.
  EXPECT_TRUE(fs::exists(folder + "Sig202612.hbi"));
  const std::string data = ReadAllBytes(folder + "Sig202612.hbd");
  EXPECT_EQ(data.find("Empf"), std::string::npos);
  EXPECT_EQ(data.find("Nur Text"), std::string::npos);
}

TEST_F(SigDBTest, OneChangedByteInTheDataFileFailsTheRead) {
  std::string ref;
  ASSERT_TRUE(station.sig.SaveSignatureRecord("202612", "Pad-Text\r\nZeile 2", "", ref,
                                              SamplePoints()));
  const std::string file = folder + "Sig202612.hbd";
  const std::string original = ReadAllBytes(file);
  ASSERT_GT(original.size(), 2u);
  for (std::size_t pos : {std::size_t{0}, original.size() / 2, original.size() - 1}) {
    std::string damaged = original;
    damaged[pos] = static_cast<char>(damaged[pos] ^ 0x01);
    WriteAllBytes(file, damaged);
    std::string t1 = "x", t2 = "x";
    TSignaturePoints pts{{1, 2, 3, 4}};
    EXPECT_FALSE(station.sig.LoadSignatureRecord(ref, t1, t2, pts)) << "byte " << pos;
    EXPECT_TRUE(t1.empty() && t2.empty() && pts.empty()) << "byte " << pos;
  }
  WriteAllBytes(file, original);
  std::string t1, t2;
  TSignaturePoints pts;
  EXPECT_TRUE(station.sig.LoadSignatureRecord(ref, t1, t2, pts));
  // A reference whose digest names other bytes fails the same way.
  std::string other = ref;
  other.back() = other.back() == '0' ? '1' : '0';
  EXPECT_FALSE(station.sig.LoadSignatureRecord(other, t1, t2, pts));
}

TEST_F(SigDBTest, MalformedReferenceFailsAndCreatesNothing) {
  const std::string hex(40, 'a');
  const char* refs[] = {
      "",
      "202612",
      "202612:1",
      "2026:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "2026120:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "../../x:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "/tmp/x:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "20261a:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:0:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:-1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:+1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612: 1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:0x1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:2147483648:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",     // 39 digits
      "202612:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",   // 41 digits
      "202612:1:gaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
      "202612:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa:",
      "202612:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa ",
      // Well formed, but no store of that month: still nothing may appear.
      "202611:1:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
  };
  for (const char* ref : refs) {
    std::string t1 = "x", t2 = "x";
    TSignaturePoints pts{{1, 2, 3, 4}};
    EXPECT_FALSE(station.sig.LoadSignatureRecord(ref, t1, t2, pts)) << ref;
    EXPECT_TRUE(t1.empty() && t2.empty() && pts.empty()) << ref;
    EXPECT_FALSE(fs::exists(folder)) << ref;
  }
  // With a store of another month present, reading leaves the folder as it was.
  std::string saved;
  ASSERT_TRUE(station.sig.SaveSignatureRecord("202612", "a", "b", saved, {}));
  const auto before = FolderListing(dir.Path());
  for (const char* ref : refs) {
    std::string t1, t2;
    TSignaturePoints pts;
    EXPECT_FALSE(station.sig.LoadSignatureRecord(ref, t1, t2, pts)) << ref;
  }
  EXPECT_EQ(FolderListing(dir.Path()), before);
  EXPECT_TRUE(ui.messages.empty());
}

// The period names the file: only "yyyymm" is written, so every reference handed out reads
// back.
TEST_F(SigDBTest, SaveRefusesOtherPeriodsAndUnopenableStores) {
  for (const char* period : {"2026", "20261", "2026123", "20261a", "../../", ""}) {
    std::string ref = "old";
    EXPECT_FALSE(station.sig.SaveSignatureRecord(period, "a", "", ref, {})) << period;
    EXPECT_TRUE(ref.empty()) << period;
  }
  EXPECT_FALSE(fs::exists(folder));

  WriteAllBytes(dir.File("plainfile"), "x");
  TSigDB blocked(dir.File("plainfile") + "/", &station.registry);
  std::string ref = "old";
  EXPECT_FALSE(blocked.SaveSignatureRecord("202612", "a", "", ref, SamplePoints()));
  EXPECT_TRUE(ref.empty());
}

// A record that did not reach the disk gets no reference: a transaction must never keep a
// reference to a signature that is not there.
TEST_F(SigDBTest, FailedWritesGiveNoReference) {
  std::string first;
  ASSERT_TRUE(station.sig.SaveSignatureRecord("202612", "erste", "", first, {}));
  for (TPfOp failing : {TPfOp::Write, TPfOp::Fsync, TPfOp::Rename}) {
    std::string ref = "old";
    {
      TPfFaultScope fault(
          [failing](TPfOp op, const std::string&) { return op == failing ? 5 : 0; });
      EXPECT_FALSE(station.sig.SaveSignatureRecord("202612", "zweite", "", ref, SamplePoints()))
          << static_cast<int>(failing);
    }
    EXPECT_TRUE(ref.empty()) << static_cast<int>(failing);
  }
  // The month's store is as it was: the first record reads, the next save takes ID 2.
  std::string t1, t2, ref;
  TSignaturePoints pts;
  EXPECT_TRUE(station.sig.LoadSignatureRecord(first, t1, t2, pts));
  EXPECT_EQ(t1, "erste");
  ASSERT_TRUE(station.sig.SaveSignatureRecord("202612", "zweite", "", ref, {}));
  EXPECT_EQ(ref.substr(0, 9), "202612:2:");
}

TEST(SigDBStations, TwoStationsSavingInOneMonthBothKeepTheirSignatures) {
  TTempDir dir;
  const std::string folder = dir.Dir() + "Transactions/";
  TStation a(dir, folder), b(dir, folder);
  struct TSaved {
    std::string ref, text;
  };
  std::vector<TSaved> saved;
  for (int round = 0; round < 3; ++round) {
    for (TStation* s : {&a, &b}) {
      TSaved one;
      one.text = std::string(s == &a ? "A" : "B") + std::to_string(round);
      ASSERT_TRUE(s->sig.SaveSignatureRecord("202612", one.text, "", one.ref,
                                             {{static_cast<std::uint16_t>(round), 0, 0, 1}}))
          << s->sig.LastError();
      saved.push_back(one);
    }
  }
  for (std::size_t i = 0; i < saved.size(); ++i) {
    EXPECT_EQ(saved[i].ref.substr(0, 7 + std::to_string(i + 1).size() + 1),
              "202612:" + std::to_string(i + 1) + ":");
    for (TStation* s : {&a, &b}) {
      std::string t1, t2;
      TSignaturePoints pts;
      ASSERT_TRUE(s->sig.LoadSignatureRecord(saved[i].ref, t1, t2, pts)) << saved[i].ref;
      EXPECT_EQ(t1, saved[i].text);
    }
  }

  // While the other station holds the reservation nothing is stored and no reference is
  // handed out; afterwards the save goes through.
  {
    TReservation held(b.registry.Default());
    ASSERT_TRUE(held.Held());
    std::string ref = "old";
    EXPECT_FALSE(a.sig.SaveSignatureRecord("202612", "late", "", ref, {}));
    EXPECT_TRUE(ref.empty());
    EXPECT_EQ(std::accumulate(a.waits.begin(), a.waits.end(), 0), TAccessProtection::kTotalWaitMs);
  }
  std::string ref;
  ASSERT_TRUE(a.sig.SaveSignatureRecord("202612", "late", "", ref, {}));
  EXPECT_EQ(ref.substr(0, 9), "202612:7:");
}
