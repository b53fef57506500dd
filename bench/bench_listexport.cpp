// The list exports of the main window and the database export over the generated stores of
// 10,000 and 100,000 records (StoreGenerator.h):
//   BM_ListExport/<kind>/<records>  doors (0), keys (1), persons (2) written to a ".csv"
//   BM_DBExport/<records>/<flags>   the copy with no flag, without persons (16) and with
//                                   every flag (127), written once
//   BM_RawSafeWrite/<records>       baseline: the store's lines written once safely ("~",
//                                   fsync, rename), what the database export must do at least
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "basic/FileCtrl2.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
#include "views/DBExportUnit.h"
#include "views/ListExportUnit.h"

#include "StoreGenerator.h"

namespace {

TAccessProtectionRegistry& Registry() {
  static TAccessProtectionRegistry registry;
  return registry;
}

TMiniDB& Store(int32_t records) {
  static std::map<int32_t, std::unique_ptr<TMiniDB>> stores;
  auto& db = stores[records];
  if (!db) {
    const TFixture& f = Fixture(records);
    db = std::make_unique<TMiniDB>();
    db->Registry = &Registry();
    db->StationKey = "bench";
    if (!db->Open(f.folder, "Data", "Tessaro")) std::abort();
  }
  return *db;
}

void BM_ListExport(benchmark::State& state) {
  TMiniDB& db = Store(static_cast<int32_t>(state.range(1)));
  const auto kind = static_cast<TListExport>(state.range(0));
  const std::string file = Fixture(static_cast<int32_t>(state.range(1))).folder + "list.csv";
  for (auto _ : state)
    if (WriteListExport(db, kind, file) != 0) state.SkipWithError("export failed");
}
BENCHMARK(BM_ListExport)
    ->ArgsProduct({{0, 1, 2}, {10000, 100000}})
    ->Unit(benchmark::kMillisecond);

void BM_DBExport(benchmark::State& state) {
  TMiniDB& db = Store(static_cast<int32_t>(state.range(0)));
  const std::string file = Fixture(static_cast<int32_t>(state.range(0))).folder + "Copy.adaX";
  for (auto _ : state)
    if (!WriteDBExport(db, static_cast<int>(state.range(1)), file, "Support", "pw")) state.SkipWithError("export failed");
}
BENCHMARK(BM_DBExport)->ArgsProduct({{10000, 100000}, {0, 16, 127}})->Unit(benchmark::kMillisecond);

void BM_RawSafeWrite(benchmark::State& state) {
  TMiniDB& db = Store(static_cast<int32_t>(state.range(0)));
  const std::string file = Fixture(static_cast<int32_t>(state.range(0))).folder + "Raw.ada";
  for (auto _ : state)
    if (!SaveTextFileSafe(db.Lines, file, false)) state.SkipWithError("write failed");
}
BENCHMARK(BM_RawSafeWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
