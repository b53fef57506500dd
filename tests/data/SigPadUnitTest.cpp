// What the signature capture needs without a window: the pad text, the pad's character
// and language maps, packing and thinning of the samples, and signatures saved and read
// through the journal by two workstations.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "basic/DateClock.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
#include "data/SigPadUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// ---- pad text ----------------------------------------------------------------------------------

int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

TEST(SigPadText, Layout) {
  struct TCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
  };
  const std::vector<std::string> twenty(20, "");
  auto with = [](std::vector<std::string> head, std::vector<std::string> gap,
                 std::vector<std::string> tail) {
    head.insert(head.end(), gap.begin(), gap.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::vector<TCase> cases = {
      // Without the marker the text starts on display line 2 and no gap is inserted.
      {"no marker", "Kopf<br>Zeile  <BR><bR>Ende", {"", " Kopf", " Zeile", "", " Ende"}},
      // The marker first: display lines 1 to 22 empty, the text from line 23.
      {"marker first", "#Signature#<br>Danke", with({""}, twenty, {"", " Danke"})},
      // Any case, blanks around it; the last marker counts, an earlier one is just emptied.
      {"marker any case",
       "Oben<br>#signature#<br>Mitte<br>   #SIGNATURE#  <br>Unten",
       with({"", " Oben", "", " Mitte"}, std::vector<std::string>(17, ""), {"", " Unten"})},
      // Line ends in the configured text count as breaks; a marker at index 20 or later
      // stays where it is.
      {"late marker",
       "a\r\nb\nc\rd<br><br><br><br><br><br><br><br><br><br><br><br><br><br><br><br><br><br>"
       "<br><br>#Signature#",
       with({"", " a", " b", " c", " d"}, std::vector<std::string>(20, ""), {})},
      {"empty", "", {""}},
  };
  for (const TCase& c : cases) EXPECT_EQ(BuildPadTextLines(c.text, 0, "", ""), c.lines) << c.name;
}

TEST(SigPadText, LongLinesAreCutUntilEveryPieceFits) {
  // 45 characters: cut after the last blank within 38.
  const std::string line45 = "Bitte bestaetigen Sie den Erhalt der Karte 12";
  ASSERT_EQ(line45.size(), 45u);
  EXPECT_EQ(BuildPadTextLines(line45, 0, "", ""),
            (std::vector<std::string>{"", " Bitte bestaetigen Sie den Erhalt der", " Karte 12"}));
  // Without a blank the cut falls at 38 characters.
  const std::string solid(45, 'x');
  EXPECT_EQ(BuildPadTextLines(solid, 0, "", ""),
            (std::vector<std::string>{"", " " + std::string(38, 'x'), " " + std::string(7, 'x')}));

  // A key list of 120 characters: every remainder is cut again, nothing runs off the
  // display, and nothing is lost.
  std::string keys;
  for (int i = 1; keys.size() < 120; ++i) keys += (i > 1 ? ", " : "") + ("Schluessel-" + std::to_string(i));
  const std::vector<std::string> lines = BuildPadTextLines("Schl\xFCssel: #Key#", 12, keys, "");
  std::string joined;
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 39u) << line;  // 38 and the indent
    if (!line.empty()) {
      EXPECT_EQ(line[0], ' ');
      joined += line.substr(1) + " ";
    }
  }
  EXPECT_GE(lines.size(), 5u);
  std::string expected = "Schl\xFCssel: " + keys + " ";
  EXPECT_EQ(joined, expected);
}

TEST(SigPadText, Markers) {
  const std::vector<std::string> lines = BuildPadTextLines(
      DefaultPadText(), 2, "K 1, K 2", "Anna Muster");
  EXPECT_GE(IndexOf(lines, " \xDC" "bergabe, Anzahl der Schl\xFCssel: 2"), 0);
  EXPECT_GE(IndexOf(lines, " Schl\xFCssel: K 1, K 2"), 0);
  EXPECT_GE(IndexOf(lines, " Empf\xE4nger: Anna Muster"), 0);
  // The default text's marker line lands on display line 22 (index 21), the text after it
  // right below.
  EXPECT_EQ(lines[21], "");
  EXPECT_EQ(lines[22], " Ihre Unterschrift wird zusammen mit");
  // Replaced in one pass: a name holding a marker stays as it is.
  EXPECT_EQ(BuildPadTextLines("#Person#/#Key#", 1, "#Person#", "#KeyCount#"),
            (std::vector<std::string>{"", " #KeyCount#/#Person#"}));
  EXPECT_EQ(JoinPadTextLines({"", " a", ""}), "\r\n a\r\n");
}

// The configured text is the installed source's (the receipts' "PadText"), else the default.
TEST(SigPadText, ConfiguredTextFromItsSource) {
  EXPECT_EQ(ConfiguredPadText(), DefaultPadText());
  SetPadTextSource([] { return std::string("Bitte<br>#Signature#"); });
  EXPECT_EQ(ConfiguredPadText(), "Bitte<br>#Signature#");
  SetPadTextSource(nullptr);
  EXPECT_EQ(ConfiguredPadText(), DefaultPadText());
}

TEST(SigPadText, CharacterAndLanguageMaps) {
  EXPECT_EQ(MapPadLine("\xFC\xDC\xE4\xC4\xF6\xD6\xEB\xCB\xDF\x92\xF3 aZ\xE9"),
            "\x81\x9A\x84\x8E\x94\x99\x94\xD3\x7F\xEF\xA2 aZ\xE9");
  // The pad reads 0x94 as "ö": "ë" comes back as "ö" (the map as it always was).
  EXPECT_EQ(UnmapPadLine(MapPadLine("Gr\xFC\xDF" "e an Zo\xEB")), "Gr\xFC\xDF" "e an Zo\xF6");

  const std::vector<std::pair<std::string, std::string>> languages = {
      {"DE", "D"}, {" de ", "D"}, {"FR", "F"}, {"es", "ES"}, {"PL", "PL"}, {"NL", "NL"},
      {"EN", "GB"}, {"", "GB"}, {"HU", "GB"}, {"DEU", "GB"}};
  for (const auto& [code, pad] : languages) EXPECT_EQ(PadLanguageOf(code), pad) << code;
}

// ---- packing and thinning ----------------------------------------------------------------------

TFrames Sample(int x, int y, int level, unsigned pressure, int tag) {
  TFrames f;
  f.x = static_cast<std::uint16_t>(x);
  f.y = static_cast<std::uint16_t>(y);
  f.level = static_cast<std::uint8_t>(level);
  f.pressure = pressure;
  f.strokeTag = static_cast<std::uint8_t>(tag);
  return f;
}

TEST(SigPadPoints, SampleLayout) {
  // As the driver's bytes lie in memory.
  unsigned char bytes[20] = {0x34, 0x12, 0x78, 0x56, 99, 1, 2, 3, 4, 5, 6, 7, 1, 8, 9, 10,
                             0xF8, 0x07, 0, 0};
  TFrames f;
  static_assert(sizeof f == sizeof bytes);
  std::memcpy(&f, bytes, sizeof f);
  EXPECT_EQ(f.x, 0x1234);
  EXPECT_EQ(f.y, 0x5678);
  EXPECT_EQ(f.level, 99);
  EXPECT_EQ(f.strokeTag, 1);
  EXPECT_EQ(f.pressure, 2040u);
}

TEST(SigPadPoints, Pack) {
  struct TCase {
    unsigned pressure;
    int tagBefore, tag;  // tagBefore -1: first sample
    std::uint8_t packed;
  };
  const std::vector<TCase> cases = {
      {2040, 0, 0, 252},   // 255 -> 253, bit cleared
      {2040, 0, 1, 253},   // stroke start
      {4000, 0, 0, 254},   // above 255 -> 255, bit cleared
      {4000, 1, 0, 255},   // stroke start
      {2032, 0, 0, 252},   // 254 -> 253
      {2024, 0, 0, 252},   // 253
      {2016, 0, 0, 252},   // 252 stays
      {15, 0, 0, 0},       // 1, bit cleared
      {800, -1, 0, 101},   // the first sample always starts a stroke
  };
  for (const TCase& c : cases) {
    TRawSamples samples;
    if (c.tagBefore >= 0) samples.push_back(Sample(1, 1, 1, 0, c.tagBefore));
    samples.push_back(Sample(300, 400, 77, c.pressure, c.tag));
    TSignaturePoints points;
    PackSignaturePoints(samples, points);
    ASSERT_EQ(points.size(), samples.size());
    const TMiniFrames& p = points.back();
    EXPECT_EQ(p.pressure, c.packed) << c.pressure << " " << c.tag;
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 400);
    EXPECT_EQ(p.level, 77);
  }
  // One sample: one point with the stroke bit.
  TSignaturePoints one;
  PackSignaturePoints({Sample(5, 6, 7, 0, 0)}, one);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_TRUE(one[0].StartsStroke());
  PackSignaturePoints({}, one);
  EXPECT_TRUE(one.empty());
}

TSignaturePoints Strokes(const std::vector<int>& lengths) {
  TSignaturePoints points;
  int n = 0;
  for (int length : lengths)
    for (int i = 0; i < length; ++i, ++n)
      points.push_back({static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n), 50,
                        static_cast<std::uint8_t>(i == 0 ? 101 : 100)});
  return points;
}

TEST(SigPadPoints, ReduceKeepsStrokeEnds) {
  TSignaturePoints points = Strokes({2000});
  ReduceSignaturePoints(points);
  EXPECT_NEAR(static_cast<double>(points.size()), 1000.0, 2.0);
  EXPECT_EQ(points.front().x, 0);
  EXPECT_EQ(points[1].x, 1);
  EXPECT_EQ(points.back().x, 1999);

  // Every stroke keeps its first, second and last point and the point before the next
  // stroke; strokes never merge.
  TSignaturePoints three = Strokes({1, 2, 7, 5});
  ReduceSignaturePoints(three);
  std::vector<int> xs;
  for (const TMiniFrames& p : three) xs.push_back(p.x);
  EXPECT_EQ(xs, (std::vector<int>{0, 1, 2, 3, 4, 6, 8, 9, 10, 11, 13, 14}));
  EXPECT_EQ(std::count_if(three.begin(), three.end(),
                          [](const TMiniFrames& p) { return p.StartsStroke(); }),
            4);

  TSignaturePoints empty;
  ReduceSignaturePoints(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(SigPadPoints, ReducePasses) {
  struct TCase {
    int points, passes;
    size_t below;
  };
  // Stop at the first count below 680, or after 4 passes.
  const std::vector<TCase> cases = {{2000, 2, 680}, {1000, 1, 680}, {500, 1, 680},
                                    {16000, 4, 1100}, {0, 1, 1}};
  for (const TCase& c : cases) {
    TSignaturePoints points = Strokes({c.points});
    if (c.points == 0) points.clear();
    EXPECT_EQ(ReduceForDisplay(points), c.passes) << c.points;
    EXPECT_LT(points.size(), c.below) << c.points;
  }
}

// ---- saving and reading through the journal ----------------------------------------------------

// One workstation: its own reservations on the data folder's lock file, its own station
// key for the journal's record locks.
struct TSigStation {
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  TSigDB sig;
  TSigStation(const TTempDir& dir, const std::string& folder, const std::string& key,
              TSleeper sleeper = [](int) {})
      : sig(folder, &registry) {
    registry.SetSleeper(sleeper);
    GetAccessProtection(dir.File("Data.wpf"), lock, registry);
    sig.StationKey = key;
  }
  ~TSigStation() {
    sig.CloseJournal();
    ReleaseAccessProtection(lock);
  }
};

std::vector<std::string> Listing(const fs::path& root) {
  std::vector<std::string> names;
  if (!fs::exists(root)) return names;
  for (const auto& e : fs::recursive_directory_iterator(root)) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct SigPadStoreTest : ::testing::Test {
  TTempDir dir;
  std::string folder = dir.Dir() + "Transactions/";
  TScopedRecorder ui;
  TSignaturePoints points = {{100, 200, 60, 101}, {110, 210, 70, 100}, {300, 300, 80, 101}};
  std::string text = "\r\n Schl\xFCssel: K1\r\n";
};

TEST_F(SigPadStoreTest, SaveAndShow) {
  TSigStation a(dir, folder, "anna@pc1");
  const std::string ref = StoreSignature(a.sig, "202605", "", text, points);
  ASSERT_EQ(ref.substr(0, 5), "2026:") << a.sig.LastError();
  std::string readText;
  TSignaturePoints readPoints;
  ASSERT_TRUE(LoadJournalSignature(a.sig, ref, readText, readPoints)) << a.sig.LastError();
  EXPECT_EQ(readText, text);
  EXPECT_EQ(readPoints, points);

  // A given journal record is used again; its year comes from the reference.
  EXPECT_EQ(StoreSignature(a.sig, "202701", ref, "zwei", points), ref);
  ASSERT_TRUE(LoadJournalSignature(a.sig, ref, readText, readPoints));
  EXPECT_EQ(readText, "zwei");
}

TEST_F(SigPadStoreTest, FailedWritesGiveNoReference) {
  TSigStation a(dir, folder, "anna@pc1");
  // Another workstation holds the journal of the year: the signature record is stored,
  // but no journal record can carry it, so there is no reference and no booking refers to
  // nothing.
  {
    TSigStation b(dir, folder, "bernd@pc2");
    ASSERT_TRUE(b.sig.OpenJournalYear("2026")) << b.sig.LastError();
    int ticket = 0;
    ASSERT_TRUE(b.sig.Journal()->AccessProtection->Reserve(ticket));
    EXPECT_EQ(StoreSignature(a.sig, "202605", "", text, points), "");
    EXPECT_NE(a.sig.LastError().find("journal"), std::string::npos) << a.sig.LastError();
    b.sig.Journal()->AccessProtection->Release(ticket);
  }
  // A journal reference that names no journal record, or no valid year.
  const std::string good = StoreSignature(a.sig, "202605", "", text, points);
  ASSERT_FALSE(good.empty()) << a.sig.LastError();
  for (const char* journalRef : {"2026:999", "20x6:1", "2026:-3"})
    EXPECT_EQ(StoreSignature(a.sig, "202605", journalRef, text, points), "") << journalRef;
  // The month of the record must be "yyyymm".
  EXPECT_EQ(StoreSignature(a.sig, "2026", "", text, points), "");
}

TEST_F(SigPadStoreTest, MalformedReferencesCreateNothing) {
  TSigStation a(dir, folder, "anna@pc1");
  std::string readText = "x";
  TSignaturePoints readPoints = points;
  for (const char* journalRef : {"", "2026", "2026:", "2026:x", "20261", "2026-1", "202:12",
                                 "2026:1", "../x:1", "2026:1:2"}) {
    EXPECT_FALSE(LoadJournalSignature(a.sig, journalRef, readText, readPoints)) << journalRef;
    EXPECT_EQ(readText, "");
    EXPECT_TRUE(readPoints.empty());
  }
  EXPECT_TRUE(Listing(dir.Path()).empty() ||
              Listing(dir.Path()) == std::vector<std::string>{dir.File("Data.wpf")})
      << Listing(dir.Path()).size();
  EXPECT_FALSE(fs::exists(folder));
}

// Two workstations in two processes sign at the same time into the same month and year:
// every reference names its own signature.
TEST_F(SigPadStoreTest, TwoStationsSigningAtOnce) {
  const int perStation = 12;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      {
        TSigStation s(dir, folder, p == 0 ? "anna@pc1" : "bernd@pc2",
                      [](int ms) { usleep(ms * 50); });
        std::ofstream out(dir.File("refs" + std::to_string(p)));
        for (int i = 0; i < perStation; ++i) {
          const std::string mine = "station " + std::to_string(p) + " sig " + std::to_string(i);
          std::string ref;
          for (int t = 0; ref.empty() && t < 50; ++t)
            ref = StoreSignature(s.sig, "202605", "", mine, points);
          if (ref.empty()) ++failures;
          out << ref << "\t" << mine << "\n";
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
  TSigStation reader(dir, folder, "carla@pc3");
  std::set<std::string> refs;
  for (int p = 0; p < 2; ++p) {
    std::ifstream in(dir.File("refs" + std::to_string(p)));
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
      const size_t tab = line.find('\t');
      ASSERT_NE(tab, std::string::npos);
      const std::string ref = line.substr(0, tab), mine = line.substr(tab + 1);
      refs.insert(ref);
      std::string readText;
      TSignaturePoints readPoints;
      ASSERT_TRUE(LoadJournalSignature(reader.sig, ref, readText, readPoints)) << ref;
      EXPECT_EQ(readText, mine);
      EXPECT_EQ(readPoints, points);
      ++count;
    }
    EXPECT_EQ(count, perStation);
  }
  EXPECT_EQ(refs.size(), 2u * perStation);
}

}  // namespace
