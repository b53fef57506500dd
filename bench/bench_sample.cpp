// Sample data and mass rename, each one bulk write: a sample client of 10,000 and 100,000
// records (GenerateSampleClient), the record generator's largest run (20,000 persons with
// random links, keys issued from stock), and the mass rename of 100,000 persons.
//
// Each iteration starts from a fresh folder (the client) or a fresh copy of its store (the
// generator, the rename). Counter "saves": the renames of the run against those of a bulk
// run that saves one change once (the lock on all records and the store's safe save each
// rename a file), so 1 means exactly one save.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "basic/FileCtrl2.h"
#include "data/AccessProtection.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/SampleDataUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/PlatformFiles.h"
#include "views/RenameUnit.h"

namespace {

std::string ReadAllBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAllBytes(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// One station on a folder of its own, with its history there; the folder goes with it.
struct TBenchStore {
  std::string folder;
  TAccessProtectionRegistry registry;
  std::unique_ptr<TMiniDB> db = std::make_unique<TMiniDB>();
  THistory history{&registry};
  std::unique_ptr<THistoryScope> scope;

  explicit TBenchStore(const std::string& storeBytes = {}) {
    char tmpl[] = "/tmp/bench_sample-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    if (!storeBytes.empty()) WriteAllBytes(folder + "Data.ada", storeBytes);
    registry.SetSleeper([](int) {});
    db->Registry = &registry;
    db->StationKey = "bench";
    if (!db->Open(folder, "Data", "Tessaro")) std::abort();
    history.SetFolder(folder);
    scope = std::make_unique<THistoryScope>(history);
  }
  ~TBenchStore() {
    scope.reset();
    db.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

// Renames of files while `work` runs.
template <class F>
int Renames(F work) {
  int renames = 0;
  TPfFaultScope count([&](TPfOp op, const std::string&) {
    renames += op == TPfOp::Rename;
    return 0;
  });
  work();
  return renames;
}

int OneSaveRenames() {
  static const int renames = [] {
    TBenchStore s;
    const int32_t id = s.db->NewNamedRecord(icDoor, "T", "");
    s.db->Commit();
    return Renames([&] {
      TBulkWrite run(*s.db);
      s.db->SetField(id, fkRemark, "x");
      run.Commit();
    });
  }();
  return renames;
}

void BM_SampleClient(benchmark::State& state) {
  const int32_t records = static_cast<int32_t>(state.range(0));
  int renames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      TBenchStore s;
      state.ResumeTiming();
      renames = Renames([&] {
        if (GenerateSampleClient(*s.db, records, 1).Result != TBulkResult::Saved) std::abort();
      });
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["saves"] = static_cast<double>(renames) / OneSaveRenames();
}
BENCHMARK(BM_SampleClient)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Generator20000Persons(benchmark::State& state) {
  std::string base;
  int32_t house = 0;
  {
    TBenchStore s;
    GenerateSampleClient(*s.db, 2000, 1);
    house = s.db->FindByName("Verwaltung 1", icBuilding, 0);
    base = ReadAllBytes(s.folder + "Data.ada");
  }
  TSampleRequest request;
  request.Class = icPerson;
  request.Count = kSampleMaxCount;
  request.Prefix = "Neu ";
  request.KeySystem = 1;
  request.Building = house;
  request.RandomLinks = true;
  int renames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      TBenchStore s(base);
      state.ResumeTiming();
      renames = Renames([&] {
        if (GenerateSampleRecords(*s.db, request, 2).Result != TBulkResult::Saved) std::abort();
      });
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["saves"] = static_cast<double>(renames) / OneSaveRenames();
}
BENCHMARK(BM_Generator20000Persons)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MassRename100000(benchmark::State& state) {
  std::string base;
  {
    TBenchStore s;
    TBulkWrite run(*s.db);
    for (int32_t i = 0; i < 100000; ++i)
      s.db->SetField(s.db->NewRecord(icPerson), fkName, "Anna Maria Schmidt " + std::to_string(i));
    run.Commit();
    base = ReadAllBytes(s.folder + "Data.ada");
  }
  Session().LoggedIn = true;
  Session().RightLevels.fill(rlYes);
  int renames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      TBenchStore s(base);
      state.ResumeTiming();
      renames = Renames([&] {
        if (MassRenamePersons(*s.db, true) != 100000) std::abort();
      });
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["saves"] = static_cast<double>(renames) / OneSaveRenames();
}
BENCHMARK(BM_MassRename100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
