// The locking-plan matrix: the doors of every key and the keys of every door of a plan with
// 2,000 keys, 300 groups, 5,000 cylinders and 5,000 doors.
//
//   BM_Matrix/warm  the store unchanged between runs (the caches of the previous run stay)
//   BM_Matrix/cold  every cache dropped before each run (the first matrix after a load)
//   BM_Matrix/unsaved  the store holds an unsaved change (bulk work): the caches are checked
//                   against a fingerprint of all lines at each query
//   BM_PlanGrid     the plan window's matrix of each locking system with every key (single
//                   keys too); fails when a door row's mark disagrees with GetDoorsOfKey

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "data/ItemList.h"
#include "data/LockingPlanUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "PlanFixture.h"

namespace {

constexpr int kSystems = kPlanSystems;

struct TBenchStore {
  std::filesystem::path dir;
  TPlan plan;
  TMiniDB db;
  TBenchStore() {
    dir = std::filesystem::temp_directory_path() / ("bench_relations_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    plan.Write((dir / "Data.ada").string());
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
  }
  ~TBenchStore() {
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

TBenchStore& Store() {
  static TBenchStore store;
  return store;
}

int64_t Matrix(TMiniDB& db, const TPlan& plan) {
  int64_t cells = 0;
  TItemList list;
  for (int32_t key : plan.Keys()) {
    GetDoorsOfKey(db, key, list);
    cells += list.Count();
  }
  for (int32_t door : plan.Doors()) {
    GetKeysOfDoor(db, door, true, true, list);
    cells += list.Count();
  }
  return cells;
}

void BM_Matrix(benchmark::State& state) {
  TBenchStore& s = Store();
  bool cold = state.range(0) == 1;
  bool unsaved = state.range(0) == 2;
  if (unsaved) {
    s.db.AutoSave = false;
    s.db.SetField(s.plan.Keys().back(), "r", "ungespeichert");
  }
  int64_t cells = 0;
  for (auto _ : state) {
    if (cold) DropRelationCaches();
    cells = Matrix(s.db, s.plan);
    benchmark::DoNotOptimize(cells);
  }
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["records"] = static_cast<double>(s.db.LastID);
  state.SetLabel(cold ? "cold" : (unsaved ? "unsaved" : "warm"));
}
BENCHMARK(BM_Matrix)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Every key column's marks in door rows against the doors the key opens.
bool PlanAgrees(const TMiniDB& db, const TPlanGrid& grid) {
  TItemList doors;
  for (size_t k = 0; k < grid.keys.size(); ++k) {
    GetDoorsOfKey(db, grid.keys[k].id, doors);
    doors.Sort();
    for (const TPlanRow& row : grid.rows)
      if (row.fromDoor && (row.MarkAt(static_cast<int>(k)) != 0) != (doors.IndexOf(row.door) >= 0))
        return false;
  }
  return true;
}

void BM_PlanGrid(benchmark::State& state) {
  TBenchStore& s = Store();
  s.db.AutoSave = true;
  // Outside the timing: the marks agree with the relation queries.
  for (int ks = 1; ks <= kSystems; ++ks) {
    TPlanOptions options;
    options.system = ks;
    options.singleKeys = true;
    options.unusedKeys = true;
    if (!PlanAgrees(s.db, BuildPlanGrid(s.db, options))) {
      state.SkipWithError("a mark disagrees");
      return;
    }
  }
  int64_t cells = 0;
  for (auto _ : state) {
    cells = 0;
    for (int ks = 1; ks <= kSystems; ++ks) {
      TPlanOptions options;
      options.system = ks;
      options.singleKeys = true;
      options.unusedKeys = true;
      const TPlanGrid grid = BuildPlanGrid(s.db, options);
      for (const TPlanRow& row : grid.rows) cells += static_cast<int64_t>(row.marks.size());
      benchmark::DoNotOptimize(grid.rows.data());
    }
  }
  state.counters["marks"] = static_cast<double>(cells);
}
BENCHMARK(BM_PlanGrid)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
