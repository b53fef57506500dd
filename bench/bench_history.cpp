// The history view's reading against the raw read of the files, and the extended search.
//
// A generated history of 1,000,000 lines in three year files over 100,000 records (keys,
// persons, users): new records, issues and returns with identifiers, counts, renames. The
// view's work for one key and for all keys (scan, parse, filter, pair: what its worker does)
// is measured to its first batch and to the end, with the memory its rows hold; the
// reference is reading the files' bytes in the same blocks. Then the view itself in the
// event loop (first rows, complete, the longest stall, the heap of its grid), the name
// collection of the view's search (first and kept), and the extended search (Ctrl+F) over a
// store of 100,000 records.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "data/ClientSessionUnit.h"
#include "data/AccessProtection.h"
#include "data/HistoryTableUnit.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/RecordSearchUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"
#include "basic/DateClock.h"
#include "data/UserRights.h"
#include "views/FrameHistoryUnit.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

constexpr int32_t kRecords = 100000;
constexpr int kLines = 1000000;
// IDs: 1..50,000 keys, 50,001..95,000 persons, 95,001..95,050 users, the rest other records.
constexpr int32_t kFirstPerson = 50001, kFirstUser = 95001;

struct TFixture {
  std::string folder;
  std::vector<THistoryYearFile> files;
  uint64_t bytes = 0;
  std::string store;  // the store of the search
  ~TFixture() {
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
};

std::string Name(int32_t id) {
  static const char* last[] = {"M\xFCller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer"};
  if (id < kFirstPerson) return "S-" + std::to_string(id) + " B\xFCro";
  if (id < kFirstUser) return std::string(last[id % 6]) + ", " + std::to_string(id);
  return "USER" + std::to_string(id);
}

TFixture& Fixture() {
  static TFixture f;
  if (!f.folder.empty()) return f;
  char tmpl[] = "/tmp/bench_history-XXXXXX";
  f.folder = std::string(mkdtemp(tmpl)) + "/";
  std::mt19937 rng(42);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  const int years[] = {2022, 2023, 2024};
  std::vector<int> held(kFirstPerson, 0);  // who holds each key (0 = nobody)
  for (int y = 0; y < 3; ++y) {
    std::string bytes = "\x01\r\n";
    const int n = kLines / 3 + (y == 2 ? kLines % 3 : 0);
    for (int i = 0; i < n; ++i) {
      char d[32];
      std::snprintf(d, sizeof d, "%04d-%02d-%02d\xA0%02d:%02d:%02d", years[y], 1 + i * 12 / n,
                    1 + i % 28, 7 + i % 11, i % 60, (i * 7) % 60);
      const int32_t key = pick(1, kFirstPerson - 1);
      const int32_t user = pick(kFirstUser, kFirstUser + 49);
      std::vector<std::string> items;
      const int r = pick(0, 99);
      const std::string o = "o=" + HistoryObjectText(icKey, key, Name(key));
      const std::string u = "u=" + HistoryObjectText(icUser, user, Name(user));
      if (r < 5) {
        items = {"a=New", std::string("d=") + d, o, u, "stock=5", "utc=0J2ABCDE0000"};
      } else if (r < 8) {
        items = {"a=Ren", std::string("d=") + d, o, "oldName=" + Name(key) + " alt", u,
                 "utc=0J2ABCDE0000"};
      } else if (r < 10) {
        items = {"a=Inv", std::string("d=") + d, o, u, "stock=4", "r=gez\xE4hlt",
                 "utc=0J2ABCDE0000"};
      } else if (held[key] == 0) {
        const int32_t person = pick(kFirstPerson, kFirstUser - 1);
        held[key] = person;
        items = {"a=Trans2", std::string("d=") + d, std::string("d2=") + d, o,
                 "dest=" + HistoryObjectText(icPerson, person, Name(person)), u,
                 "stock=3 / 5", "emb=" + std::to_string(key % 97), "r=Ausgabe laut Antrag",
                 "utc=0J2ABCDE0000"};
      } else {
        const int32_t person = held[key];
        held[key] = 0;
        items = {"a=Trans3", std::string("d=") + d, std::string("d2=") + d, o,
                 "src=" + HistoryObjectText(icPerson, person, Name(person)), u, "cnt=1",
                 "stock=4 / 5", "emb=" + std::to_string(key % 97), "utc=0J2ABCDE0000"};
      }
      bytes += BuildCommaText(items) + "\r\n";
    }
    THistoryYearFile file{years[y], f.folder + "Log" + std::to_string(years[y]) + ".alg"};
    int fd = -1;
    PfCreateNew(file.fileName, 0644, fd);
    PfWriteAll(fd, bytes.data(), bytes.size());
    PfClose(fd);
    f.bytes += bytes.size();
    f.files.push_back(file);
  }
  // The search's store: the records of the history, with the fields the search reads.
  std::string store = "\x01\r\nLastID=" + std::to_string(kRecords) + "\r\nAppName=Tessaro\r\n";
  for (int32_t id = 1; id <= kRecords; ++id) {
    int cls = id < kFirstPerson ? icKey : id < kFirstUser ? icPerson : id < kFirstUser + 50
                                                                        ? icUser
                                                                        : (id % 3 ? icDoor
                                                                                  : icCylinder);
    std::vector<std::string> items = {"i=" + std::to_string(id), "c=" + std::to_string(cls),
                                      "n=" + ScrambleStr(Name(id))};
    if (cls == icKey) items.push_back("kt=" + ScrambleStr(std::to_string(1 + id % 8)));
    if (cls == icPerson) {
      items.push_back("Abt=" + ScrambleStr("Abteilung " + std::to_string(id % 40)));
      items.push_back("Nr=" + ScrambleStr(std::to_string(100000 + id)));
    }
    if (cls == icDoor) {
      items.push_back("rom=" + ScrambleStr("Raum " + std::to_string(id % 900)));
      items.push_back("flr=" + ScrambleStr(std::to_string(id % 7) + ". OG"));
    }
    if (cls == icCylinder) items.push_back("len=" + ScrambleStr("30/35"));
    items.push_back("r=" + ScrambleStr("Bemerkung zum Datensatz " + std::to_string(id)));
    store += BuildCommaText(items) + "\r\n";
  }
  f.store = f.folder + "Data.ada";
  int fd = -1;
  PfCreateNew(f.store, 0644, fd);
  PfWriteAll(fd, store.data(), store.size());
  PfClose(fd);
  return f;
}

size_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// The reference: the files' bytes read in the scan's blocks.
void BM_RawRead(benchmark::State& state) {
  TFixture& f = Fixture();
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    uint64_t total = 0;
    for (const THistoryYearFile& file : f.files) {
      int fd = -1;
      PfOpenRead(file.fileName, fd);
      size_t got = 0;
      int64_t at = 0;
      while (PfReadAt(fd, buffer.data(), buffer.size(), at, got) == 0 && got > 0) {
        at += static_cast<int64_t>(got);
        total += got;
      }
      PfClose(fd);
    }
    benchmark::DoNotOptimize(total);
  }
  state.counters["MB"] = static_cast<double>(f.bytes) / 1e6;
}
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);

// The view's worker for one key (ID) or for all keys (0): time to the first batch, to the
// end, and the heap its rows hold against the files' size.
void BM_HistoryRows(benchmark::State& state) {
  TFixture& f = Fixture();
  const int32_t id = static_cast<int32_t>(state.range(0));
  double firstMs = 0, endMs = 0, ratio = 0;
  size_t rows = 0;
  bool first = true;
  for (auto _ : state) {
    const size_t heapBefore = HeapInUse();
    std::vector<std::vector<THistoryRow>> table;  // as the view keeps them: the worker's pieces
    std::vector<std::shared_ptr<THistoryLineStore>> stores;
    size_t count = 0;
    const auto start = Clock::now();
    double firstBatch = -1;
    THistoryRowLoader loader(f.files, icKey, id, {});
    std::atomic<bool> cancel{false};
    loader.Run(cancel, [&](THistoryRowBatch&& batch) {
      if (firstBatch < 0 && !batch.rows.empty()) firstBatch = Ms(start, Clock::now());
      count += batch.rows.size();
      if (batch.store) stores.push_back(std::move(batch.store));
      if (!batch.rows.empty()) table.push_back(std::move(batch.rows));
      benchmark::DoNotOptimize(batch.pairs.size());
    });
    const double total = Ms(start, Clock::now());
    if (first) {
      state.counters["first_run_ms"] = total;
      first = false;
    }
    firstMs = firstBatch;
    endMs = total;
    ratio = static_cast<double>(HeapInUse() - heapBefore) / static_cast<double>(f.bytes);
    rows = count;
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["first_rows_ms"] = firstMs;
  state.counters["complete_ms"] = endMs;
  state.counters["heap_per_file_byte"] = ratio;
}
BENCHMARK(BM_HistoryRows)->Arg(4711)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

// The names of the view's search: read first, then kept while the files stay.
void BM_CollectNames(benchmark::State& state) {
  TFixture& f = Fixture();
  THistoryNameCache cache;
  TQStringList list;
  auto start = Clock::now();
  cache.CollectNames(f.files, icPerson, "", list);
  state.counters["first_ms"] = Ms(start, Clock::now());
  state.counters["names"] = list.Count();
  for (auto _ : state) {
    cache.CollectNames(f.files, icPerson, "meyer", list);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_CollectNames)->Unit(benchmark::kMillisecond);

// Ctrl+F over 100,000 records: a term with few hits and one with many.
void BM_FindRecords(benchmark::State& state) {
  TFixture& f = Fixture();
  TAccessProtectionRegistry registry;
  TMiniDB db;
  db.Registry = &registry;
  db.StationKey = "bench@pc";
  db.OpenFile(f.store, "Tessaro");
  InstallNameFuncs(db);
  const std::string term = state.range(0) == 0 ? "s-4711 " : "raum 1";
  size_t hits = 0;
  for (auto _ : state) {
    std::vector<TFindHit> found = FindRecords(db, FindTermOf(term));
    hits = found.size();
  }
  state.counters["hits"] = static_cast<double>(hits);
  db.NoSave = true;
  db.Close();
}
BENCHMARK(BM_FindRecords)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Parts of the worker alone: the scan of the lines, and scan, parse, filter and pairing.
void BM_WorkerParts(benchmark::State& state) {
  TFixture& f = Fixture();
  const bool rows = state.range(0) == 1;
  for (auto _ : state) {
    std::atomic<bool> cancel{false};
    size_t n = 0;
    if (rows) {
      THistoryRowLoader loader(f.files, icKey, 0, {});
      loader.Run(cancel, [&](THistoryRowBatch&& b) { n += b.rows.size(); });
    } else {
      THistoryScan scan(f.files, icKey, 0);
      scan.Run(cancel, [&](THistoryHitBatch& batch, const THistoryScanProgress&) {
        n += batch.hits.size();
      });
    }
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_WorkerParts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// The longest time the event loop spent on one event (its handlers, our code among them):
// what the user feels as the window not answering; beside it the processor time the thread
// spent in it (on a busy machine the difference is time spent waiting for a processor).
class TTimedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  double longestMs = 0;     // wall time
  double longestCpuMs = 0;  // the thread's processor time in it
  bool notify(QObject* receiver, QEvent* event) override {
    if (depth_++ > 0) {
      const bool r = QApplication::notify(receiver, event);
      --depth_;
      return r;
    }
    const auto start = std::chrono::steady_clock::now();
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    const bool r = QApplication::notify(receiver, event);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    const double cpu = (c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    longestMs = std::max(longestMs, ms);
    longestCpuMs = std::max(longestCpuMs, cpu);
    --depth_;
    return r;
  }

 private:
  int depth_ = 0;
};

namespace {

// The view itself, in the program's event loop: ShowHistoryOf for one key and for all
// keys, from the call to the first rows on screen and to the complete grid, the longest
// time the event loop did not answer meanwhile (a timer asks every 2 ms; on a busy machine
// this includes the time the thread waited for a processor), the longest single event (our
// handlers), and the heap the grid holds against the files' size. The store of the search gives the names.
void BM_HistoryView(benchmark::State& state) {
  TFixture& f = Fixture();
  static TAccessProtectionRegistry registry;
  static TMiniDB* db = [] {
    auto* store = new TMiniDB;
    store->Registry = &registry;
    store->StationKey = "bench@pc";
    store->OpenFile(Fixture().store, "Tessaro");
    InstallNameFuncs(*store);
    return store;
  }();
  static TFixedClock clock(EncodeDateTime(2024, 12, 1, 12, 0, 0));
  static TClockScope clockScope(clock);
  static THistory history(&registry);
  static THistoryScope historyScope(history);
  history.SetFolder(f.folder);
  ClientSession().LendStore(db);
  Session().LoggedIn = true;
  Session().RightLevels.fill(rlYes);
  QWidget page;
  page.resize(1100, 700);
  auto* frame = new TFrameHistory(&page);
  auto* layout = new QVBoxLayout(&page);
  layout->addWidget(frame);
  page.show();
  QCoreApplication::processEvents();
  const int32_t id = static_cast<int32_t>(state.range(0));
  double firstMs = 0, endMs = 0, stallMs = 0, longestMs = 0, longestCpuMs = 0, ratio = 0;
  int rows = 0;
  bool firstRun = true;
  for (auto _ : state) {
    frame->ClearView();
    QCoreApplication::processEvents();
    const size_t heapBefore = HeapInUse();
    double first = -1, maxGap = 0;
    const auto start = Clock::now();
    auto lastTick = start;
    QMetaObject::Connection seen =
        QObject::connect(frame->Model, &QAbstractItemModel::rowsInserted, [&] {
          if (first < 0) first = Ms(start, Clock::now());
        });
    auto* timed = static_cast<TTimedApplication*>(QCoreApplication::instance());
    timed->longestMs = 0;
    timed->longestCpuMs = 0;
    frame->ShowHistoryOf(icKey, id, "Schl\xFCssel", id ? Name(id) : std::string());
    const double call = Ms(start, Clock::now());  // the call itself holds the loop too
    maxGap = call;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const auto now = Clock::now();
      maxGap = std::max(maxGap, Ms(lastTick, now));
      lastTick = now;
      if (frame->Complete()) loop.quit();
    });
    lastTick = Clock::now();
    tick.start();
    loop.exec();
    const double total = Ms(start, Clock::now());
    const double longest = std::max(call, timed->longestMs);
    const double longestCpu = timed->longestCpuMs;
    QObject::disconnect(seen);
    if (firstRun) {
      state.counters["first_run_complete_ms"] = total;
      state.counters["first_run_first_rows_ms"] = first;
      state.counters["first_run_stall_ms"] = maxGap;
      state.counters["first_run_longest_event_ms"] = longest;
      state.counters["first_run_longest_event_cpu_ms"] = longestCpu;
      firstRun = false;
    }
    firstMs = first;
    endMs = total;
    stallMs = maxGap;
    longestMs = longest;
    longestCpuMs = longestCpu;
    rows = frame->Model->rowCount();
    ratio = static_cast<double>(HeapInUse() - heapBefore) / static_cast<double>(f.bytes);
  }
  state.counters["rows"] = rows;
  state.counters["first_rows_ms"] = firstMs;
  state.counters["complete_ms"] = endMs;
  state.counters["max_stall_ms"] = stallMs;
  state.counters["longest_event_ms"] = longestMs;
  state.counters["longest_event_cpu_ms"] = longestCpuMs;
  state.counters["heap_per_file_byte"] = ratio;
  frame->ClearView();
}
BENCHMARK(BM_HistoryView)->Arg(4711)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TTimedApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
