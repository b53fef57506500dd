// The bulk tools over the generated store of 100,000 records (StoreGenerator.h): each run
// on a fresh copy of the file, opened as a workstation opens it.
//
//   BM_ChangeKeySystem   every record of locking system 1 moved to 5 (one bulk run)
//   BM_DeleteAllPersons  every person without holdings deleted (one bulk run)
//
// The counter "saves" counts the store's saves per run (each renames a backup into place);
// one is the target.
//
// With the change log attached (as the program runs), on the sample client of 100,000
// records (GenerateSampleClient, made once per process), each against the raw safe write
// of the same store's lines in the same iteration:
//
//   BM_ChangeLogMoveKeySystem     the largest locking system (48,000 records) moved to another
//                                 code
//   BM_ChangeLogDeletePersons     every person without holdings deleted
//
// Counters: "changed", "fsyncs" (every fsync of the run), "raw_write_ms" and "vs_raw_write".
// "log:0" runs the same without the change log, for what the log itself costs.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "StoreGenerator.h"
#include "basic/FileCtrl2.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/SampleDataUnit.h"
#include "data/TimeTravelUnit.h"
#include "data/UnitTR100.h"
#include "platform/PlatformFiles.h"
#include "views/KsToolFormUnit.h"
#include "views/SpecialDeleteUnit.h"

namespace {

struct TCopy {
  std::string folder;
  TAccessProtectionRegistry registry;
  TMiniDB db;
  explicit TCopy(const TFixture& f) {
    char tmpl[] = "/tmp/bench_bulk-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    std::filesystem::copy_file(f.file, folder + "Data.ada");
    registry.SetSleeper([](int) {});
    db.Registry = &registry;
    db.StationKey = "bench@pc1";
    db.Open(folder, "Data", "Tessaro");
  }
  ~TCopy() {
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

template <class Run>
void Measure(benchmark::State& state, Run run) {
  const TFixture& f = Fixture(100000);
  int saves = 0, changed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<TCopy>(f);
    const std::string folder = copy->folder;
    saves = 0;
    state.ResumeTiming();
    {
      TPfFaultScope count([&, folder](TPfOp op, const std::string& path) {
        // A store save renames its backup and then its new version; the lock file has none.
        const std::string tail = ".bak.tmp";
        if (op == TPfOp::Rename && path.rfind(folder, 0) == 0 && path.size() > tail.size() &&
            path.compare(path.size() - tail.size(), tail.size(), tail) == 0)
          ++saves;
        return 0;
      });
      changed = run(copy->db);
    }
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
  if (changed <= 0) state.SkipWithError("nothing changed");
  state.counters["changed"] = changed;
  state.counters["saves"] = saves;
}

void BM_ChangeKeySystem(benchmark::State& state) {
  Measure(state, [](TMiniDB& db) { return ChangeKeySystem(db, 1, 5); });
}
BENCHMARK(BM_ChangeKeySystem)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DeleteAllPersons(benchmark::State& state) {
  Measure(state, [](TMiniDB& db) { return DeleteAllOfClass(db, icPerson, true, nullptr); });
}
BENCHMARK(BM_DeleteAllPersons)->Unit(benchmark::kMillisecond)->Iterations(3);

// ----- with the change log, on the sample client ---------------------------------------

using Clock = std::chrono::steady_clock;

std::string ReadAllBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The sample client of 100,000 records as bytes, its largest locking system (48,000
// records) and the code it is moved to.
struct TSampleClient {
  std::string bytes;
  TKeySystemCode largest = 0, other = 0;
  int32_t largestCount = 0;
};

const TSampleClient& SampleClient() {
  static const TSampleClient client = [] {
    TSampleClient c;
    char tmpl[] = "/tmp/bench_bulk-XXXXXX";
    const std::string folder = std::string(mkdtemp(tmpl)) + "/";
    {
      TAccessProtectionRegistry registry;
      registry.SetSleeper([](int) {});
      TMiniDB db;
      db.Registry = &registry;
      db.StationKey = "bench";
      THistory history{&registry};
      history.SetFolder(folder);
      THistoryScope scope(history);
      if (!db.Open(folder, "Data", "Tessaro")) std::abort();
      if (GenerateSampleClient(db, 100000, 1).Result != TBulkResult::Saved) {
        std::fprintf(stderr, "the sample client was not made\n");
        std::abort();
      }
      std::map<TKeySystemCode, int32_t> counts;
      for (int32_t id = 1; id <= db.LastID; ++id)
        if (db.IsValid(id) && db.ReadKeySystem(id) > 0) ++counts[db.ReadKeySystem(id)];
      for (const auto& [code, n] : counts) {
        if (n > c.largestCount) {
          if (c.largest != 0) c.other = c.largest;
          c.largest = code;
          c.largestCount = n;
        } else if (c.other == 0) {
          c.other = code;
        }
      }
      db.Close();
    }
    c.bytes = ReadAllBytes(folder + "Data.ada");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    // A client of one locking system moves it to a code of its own.
    if (c.other == 0) c.other = c.largest + 1;
    if (c.largest == 0) {
      std::fprintf(stderr, "systems: largest %d (%d records), other %d\n", c.largest,
                   c.largestCount, c.other);
      std::abort();
    }
    return c;
  }();
  return client;
}

// A fresh copy of the sample client, opened with its change log hooked in and the month's
// copy made, as the login leaves it.
struct TLoggedCopy {
  std::string folder;
  TAccessProtectionRegistry registry;
  TMiniDB db;
  TTimebackLog log{&registry};
  TLoggedCopy(const std::string& bytes, bool logged) {
    char tmpl[] = "/tmp/bench_bulk-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    std::ofstream(folder + "Data.ada", std::ios::binary) << bytes;
    registry.SetSleeper([](int) {});
    db.Registry = &registry;
    db.StationKey = "bench@pc1";
    if (!db.Open(folder, "Data", "Tessaro")) std::abort();
    if (!logged) return;
    log.Setup(folder + "TimeTravel/");
    db.TimebackLog = &log;
    db.MonthlyCopy();
  }
  ~TLoggedCopy() {
    db.TimebackLog = nullptr;
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

template <class Run>
void MeasureLogged(benchmark::State& state, Run run) {
  const bool logged = state.range(0) != 0;
  const TSampleClient& client = SampleClient();
  int changed = 0, fsyncs = 0;
  double total = 0, raw = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<TLoggedCopy>(client.bytes, logged);
    fsyncs = 0;
    state.ResumeTiming();
    const auto t0 = Clock::now();
    {
      TPfFaultScope count([&](TPfOp op, const std::string&) {
        fsyncs += op == TPfOp::Fsync || op == TPfOp::FsyncFolder;
        return 0;
      });
      changed = run(copy->db);
    }
    total += std::chrono::duration<double>(Clock::now() - t0).count();
    state.PauseTiming();
    // The reference: the same store's lines written safely once, beside it.
    const auto r0 = Clock::now();
    if (!SaveTextFileSafe(copy->db.Lines, copy->folder + "Raw.ada", true)) std::abort();
    raw += std::chrono::duration<double>(Clock::now() - r0).count();
    copy.reset();
    state.ResumeTiming();
  }
  if (changed <= 0) state.SkipWithError("nothing changed");
  state.counters["changed"] = changed;
  state.counters["fsyncs"] = fsyncs;
  state.counters["raw_write_ms"] = raw / static_cast<double>(state.iterations()) * 1e3;
  state.counters["vs_raw_write"] = total / raw;
}

void BM_ChangeLogMoveKeySystem(benchmark::State& state) {
  const TSampleClient& client = SampleClient();
  MeasureLogged(state,
                [&](TMiniDB& db) { return ChangeKeySystem(db, client.largest, client.other); });
}
BENCHMARK(BM_ChangeLogMoveKeySystem)
    ->ArgName("log")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ChangeLogDeletePersons(benchmark::State& state) {
  MeasureLogged(state, [](TMiniDB& db) { return DeleteAllOfClass(db, icPerson, true, nullptr); });
}
BENCHMARK(BM_ChangeLogDeletePersons)
    ->ArgName("log")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
