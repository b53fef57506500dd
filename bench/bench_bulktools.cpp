// The bulk tools over the generated store of 100,000 records (StoreGenerator.h): each run
// on a fresh copy of the file, opened as a workstation opens it.
//
//   BM_ChangeKeySystem   every record of locking system 1 moved to 5 (one bulk run)
//   BM_DeleteAllPersons  every person without holdings deleted (one bulk run)
//
// The counter "saves" counts the store's saves per run (each renames a backup into place);
// one is the target.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "StoreGenerator.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
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

}  // namespace

BENCHMARK_MAIN();
