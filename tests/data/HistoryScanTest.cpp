#include "data/HistoryScanUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "basic/DateClock.h"
#include "basic/SLUnit.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "platform/PlatformFiles.h"
#include "support/TestSupport.h"

namespace {

// A line found, with a copy of its text (the batch's store goes with the batch).
struct TFound {
  int year = 0;
  uint32_t index = 0;
  std::string line;
};

// One workstation's history on the shared folder.
struct TStation {
  TAccessProtectionRegistry registry;
  THistory history{&registry};
  explicit TStation(const TTempDir& dir) {
    registry.SetSleeper([](int) {});
    history.SetFolder(dir.Dir());
  }
};

struct THistoryScanTest : ::testing::Test {
  TUtcZone zone;
  TTempDir dir;
  TFixedClock clock{EncodeDateTime(2024, 6, 1, 12, 0, 0)};
  TClockScope clockScope{clock};
  TScopedRecorder ui;
  TStation station{dir};
  THistoryScope scope{station.history};

  std::string File(int year) { return dir.File("Log" + std::to_string(year) + ".alg"); }
  // Writes the lines as a year file at once (appending them one by one through the
  // reservation takes long).
  void WriteYear(int year, const std::vector<std::string>& lines) {
    std::string bytes = "\x01\r\n";
    for (const std::string& line : lines) bytes += line + "\r\n";
    WriteAllBytes(File(year), bytes);
  }
  static std::string Obj(int cls, int id) {
    return HistoryObjectText(cls, id, "N" + std::to_string(id));
  }
  std::vector<TFound> ScanAll(int cls, int32_t id, size_t block = 4096,
                                   THistoryScanResult* result = nullptr) {
    THistoryScan scan(HistoryScanFiles(station.history), cls, id);
    scan.SetBlockSize(block);
    std::atomic<bool> cancel{false};
    std::vector<TFound> all;
    THistoryScanResult r = scan.Run(cancel, [&](THistoryHitBatch& batch,
                                                const THistoryScanProgress&) {
      for (const THistoryHit& h : batch.hits) all.push_back({h.year, h.index, std::string(h.line)});
    });
    if (result) *result = r;
    return all;
  }
};

}  // namespace

// The scanner finds exactly the lines of HistorySearch, with their years and indexes, across
// block boundaries (a block of 4 KiB cuts many lines) and in years before the current one.
TEST_F(THistoryScanTest, FindsTheLinesOfHistorySearch) {
  std::vector<std::string> lines[2];
  for (int i = 0; i < 400; ++i) {
    const int key = i % 7 + 1;
    std::string line;
    switch (i % 4) {
      case 0: line = BuildCommaText({"a=New", "d=2023-01-01", "o=" + Obj(4, key)}); break;
      case 1: line = BuildCommaText({"a=Trans2", "d=2023-01-02", "o=" + Obj(4, key),
                                     "dest=" + Obj(5, 40 + key), "r=" + std::string(i, 'x')});
        break;
      case 2: line = BuildCommaText({"a=Inv", "d=2023-01-03", "o=" + Obj(5, key),
                                     "r=mentions c=4;i=" + std::to_string(key) + ";"});
        break;
      default: line = BuildCommaText({"a=Ren", "d=2023-01-04", "o=" + Obj(4, key * 10)}); break;
    }
    lines[i < 200 ? 0 : 1].push_back(line);
  }
  WriteYear(2023, lines[0]);
  WriteYear(2024, lines[1]);
  for (auto [cls, id] : std::vector<std::pair<int, int32_t>>{{4, 0}, {4, 3}, {4, 30}, {5, 41}, {1, 0}}) {
    TQStringList expected;
    HistorySearch(cls, id, expected);
    std::vector<TFound> hits = ScanAll(cls, id);
    ASSERT_EQ(hits.size(), static_cast<size_t>(expected.Count())) << cls << "/" << id;
    for (size_t k = 0; k < hits.size(); ++k) {
      EXPECT_EQ(hits[k].line, expected[k]);
      EXPECT_EQ(HistoryLineRef(hits[k].year, hits[k].index), expected.GetObject(k));
    }
  }
}

// Another station appends while this one scans: the line being written (no CR LF yet) is
// not shown torn, the new line is on disk, and the history of this station goes on
// writing (the view neither took the reservation nor touched its log).
TEST_F(THistoryScanTest, AnotherStationAppendsDuringTheScan) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200; ++i)
    lines.push_back(BuildCommaText({"a=New", "d=2024-01-01", "o=" + Obj(4, 1),
                                    "r=" + std::string(60, 'a' + i % 26)}));
  WriteYear(2024, lines);
  // An append in progress: the start of a line, without its line end.
  const std::string torn = BuildCommaText({"a=Del", "d=2024-01-02", "o=" + Obj(4, 1)});
  {
    int fd = -1;
    ASSERT_EQ(PfOpenAppend(File(2024), fd), 0);
    ASSERT_EQ(PfWriteAll(fd, torn.data(), torn.size() - 3), 0);
    PfClose(fd);
  }
  TStation other(dir);
  THistoryScan scan(HistoryScanFiles(station.history), 4, 1);
  scan.SetBlockSize(4096);
  std::atomic<bool> cancel{false};
  std::vector<TFound> all;
  int batches = 0;
  scan.Run(cancel, [&](THistoryHitBatch& batch, const THistoryScanProgress&) {
    if (batches++ == 0) {
      // The other station completes its line and adds one more.
      int fd = -1;
      ASSERT_EQ(PfOpenAppend(File(2024), fd), 0);
      const std::string rest = torn.substr(torn.size() - 3) + "\r\n";
      ASSERT_EQ(PfWriteAll(fd, rest.data(), rest.size()), 0);
      PfClose(fd);
      EXPECT_TRUE(other.history.Add("2024", BuildCommaText({"a=Inv", "d=2024-01-03",
                                                            "o=" + Obj(4, 1)})));
    }
    for (const THistoryHit& h : batch.hits) all.push_back({h.year, h.index, std::string(h.line)});
  });
  EXPECT_GT(batches, 2);
  for (const TFound& h : all) {
    EXPECT_NE(h.line, torn.substr(0, torn.size() - 3));
    EXPECT_EQ(h.line.find('\r'), std::string::npos);
  }
  // What the scan saw is whole lines; the lines appended meanwhile are on disk and show
  // at the next scan.
  const std::vector<TFound> again = ScanAll(4, 1);
  ASSERT_EQ(again.size(), 202u);
  EXPECT_EQ(again[200].line, torn);
  EXPECT_NE(again[201].line.find("a=Inv"), std::string::npos);
  EXPECT_TRUE(History().Enabled());
  EXPECT_TRUE(HistoryNew(4, 1, "N1", "1"));
  EXPECT_EQ(ScanAll(4, 1).size(), 203u);
}

// A cancel stops the scan within the block it was set in.
TEST_F(THistoryScanTest, CancelStopsWithinTheBlock) {
  WriteYear(2024, std::vector<std::string>(
                     2000, BuildCommaText({"a=New", "d=2024-01-01", "o=" + Obj(4, 1)})));
  THistoryScan scan(HistoryScanFiles(station.history), 4, 0);
  scan.SetBlockSize(4096);
  std::atomic<bool> cancel{false};
  size_t found = 0;
  int afterCancel = 0;
  THistoryScanResult r = scan.Run(cancel, [&](THistoryHitBatch& batch,
                                              const THistoryScanProgress& p) {
    if (cancel) ++afterCancel;
    found += batch.hits.size();
    if (found > 100) cancel = true;
    EXPECT_LE(p.bytesDone, p.bytesTotal);
  });
  EXPECT_TRUE(r.cancelled);
  EXPECT_LT(found, 200u);
  EXPECT_LE(afterCancel, 1);  // the closing batch only
}

// One year that cannot be read: the others are read, the failure is reported once with
// the file, and nothing of the history's writing is disabled.
TEST_F(THistoryScanTest, AnUnreadableYearLeavesTheOthers) {
  HistoryAdd("2022", BuildCommaText({"a=New", "d=2022-01-01", "o=" + Obj(4, 1)}));
  HistoryAdd("2023", BuildCommaText({"a=New", "d=2023-01-01", "o=" + Obj(4, 1)}));
  HistoryAdd("2024", BuildCommaText({"a=Del", "d=2024-01-01", "o=" + Obj(4, 1)}));
  const std::string bad = File(2023);
  TPfFaultScope fault([&](TPfOp op, const std::string& path) {
    return op == TPfOp::Open && path == bad ? EACCES : 0;
  });
  THistoryScanResult r;
  std::vector<TFound> hits = ScanAll(4, 1, 4096, &r);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].year, 2022);
  EXPECT_EQ(hits[1].year, 2024);
  ASSERT_EQ(r.failed.size(), 1u);
  EXPECT_EQ(r.failed[0].year, 2023);
  EXPECT_TRUE(ui.messages.empty());  // the view says it, once
  EXPECT_TRUE(History().Enabled());
  EXPECT_TRUE(HistoryNew(4, 1, "N1", ""));
}

// A scan runs on a worker thread while this thread writes the history.
TEST_F(THistoryScanTest, RunsOnAWorkerThread) {
  std::vector<std::string> lines;
  for (int i = 0; i < 500; ++i)
    lines.push_back(BuildCommaText({"a=New", "d=2024-01-01", "o=" + Obj(4, i % 5 + 1)}));
  WriteYear(2024, lines);
  THistoryScan scan(HistoryScanFiles(station.history), 4, 2);
  std::atomic<bool> cancel{false};
  size_t found = 0;
  std::thread worker([&] {
    scan.Run(cancel, [&](THistoryHitBatch& batch, const THistoryScanProgress&) {
      found += batch.hits.size();
    });
  });
  for (int i = 0; i < 50; ++i) HistoryNew(4, 2, "N2", "");
  worker.join();
  EXPECT_GE(found, 100u);
  EXPECT_LE(found, 150u);
}

// Lines far beyond the packed references' limit keep their index.
TEST_F(THistoryScanTest, IndexesBeyondTheReferenceLimit) {
  std::string bytes = "\x01\r\n";
  const std::string filler = "a=Login,d=2024-01-01\r\n";
  bytes.reserve(600000 * filler.size());
  for (int i = 0; i < 600000; ++i) bytes += filler;
  bytes += BuildCommaText({"a=New", "d=2024-01-02", "o=" + Obj(4, 9)}) + "\r\n";
  WriteAllBytes(File(2024), bytes);
  std::vector<TFound> hits = ScanAll(4, 9, 1 << 20);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].index, 600001u);
  EXPECT_EQ(HistoryLineRef(2024, hits[0].index), 0);  // the packed form cannot hold it
}

// The name collection gives what HistoryCollectNames gives and keeps it until a file
// changes; an append is read from where the last reading ended.
TEST_F(THistoryScanTest, NameCacheFollowsTheFiles) {
  auto named = [](int cls, int id, const std::string& name) {
    return HistoryObjectText(cls, id, name);
  };
  HistoryAdd("2023", BuildCommaText({"a=New", "d=2023-01-01", "o=" + named(5, 7, "Meier"),
                                     "u=" + named(1, 2, "ADMIN")}));
  HistoryAdd("2024", BuildCommaText({"a=Trans2", "d=2024-01-01", "o=" + named(4, 3, "K1"),
                                     "dest=" + named(5, 8, "Maier"), "u=" + named(1, 2, "ADMIN"),
                                     "u2=" + named(1, 4, "Hausmeister")}));
  HistoryAdd("2024", BuildCommaText({"a=Login", "d=2024-01-02", "o=" + named(1, 0, "NoName")}));
  THistoryNameCache cache;
  const std::vector<THistoryYearFile> files = HistoryScanFiles(station.history);
  auto same = [&](int cls, const std::string& filter) {
    TQStringList expected, got;
    HistoryCollectNames(cls, filter, expected);
    EXPECT_TRUE(cache.CollectNames(files, cls, filter, got));
    ASSERT_EQ(got.Count(), expected.Count()) << cls << " " << filter;
    for (int i = 0; i < got.Count(); ++i) {
      EXPECT_EQ(got[i], expected[i]);
      EXPECT_EQ(got.GetObject(i), expected.GetObject(i));
    }
  };
  for (auto [cls, filter] : std::vector<std::pair<int, std::string>>{
           {5, ""}, {5, "ei"}, {1, ""}, {1, "haus"}, {4, ""}, {4, "x"}})
    same(cls, filter);
  const int reads = cache.FullReads();
  same(5, "");
  EXPECT_EQ(cache.FullReads(), reads);  // nothing changed: nothing read
  HistoryAdd("2024", BuildCommaText({"a=New", "d=2024-01-03", "o=" + named(5, 9, "Schulz")}));
  same(5, "");
  EXPECT_EQ(cache.FullReads(), reads);  // only the appended lines were read
  TQStringList got;
  cache.CollectNames(files, 5, "schulz", got);
  ASSERT_EQ(got.Count(), 1);
  EXPECT_EQ(got.GetObject(0), 9);
  // A file replaced as a whole is read again from its start, also when it is longer (and
  // may have the inode of the old one).
  PfUnlink(File(2023));
  WriteAllBytes(File(2023), "\x01\r\n" + BuildCommaText({"a=New", "d=2023-02-01",
                                                        "o=" + named(5, 11, "Neu"),
                                                        "r=" + std::string(300, 'x')}) +
                                "\r\n");
  same(5, "");
  EXPECT_GT(cache.FullReads(), reads);
}
