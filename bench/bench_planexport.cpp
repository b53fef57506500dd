// The locking-plan export at the generated client (GenerateSampleClient of 10,000 and
// 100,000 records, one locking system): the whole plan with unused keys, without and with
// the single keys ("Einzelschlüssel"), written row by row as CSV text and as an ".xlsx"
// workbook (libxlsxwriter's constant-memory mode) exactly as the plan window writes it
// (WritePlanRows into a TCsvOrExcel).
//
// Counters: rows and key columns of the plan, the file's size, and `peak_MB`: how far the
// process's resident memory rose above where it stood before the export (malloc_trim first,
// then the kernel's high-water mark reset through /proc/self/clear_refs and read back from
// VmHWM afterwards). The plan itself (BuildPlanGrid) is built before and not counted.
//
// BM_PlanExportWholeMatrix is the way it was written before: every cell of the plan as a
// string at once (PlanCells), then the rows; run at 10,000 records only, since at 100,000 it
// needs gigabytes.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "data/AccessProtection.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/LockingPlanUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/SampleDataUnit.h"
#include "data/UnitTR100.h"
#include "output/CsvOrExcelUnit.h"
#include "views/PlanUnit.h"

namespace {

// kB of a line of /proc/self/status ("VmRSS", "VmHWM").
long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  return -1;
}

// The resident memory now, with the high-water mark set back to it.
long ResetPeakKb() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS");
}

// A generated client, made once per size and kept for the run.
struct TClient {
  std::string folder;
  TAccessProtectionRegistry registry;
  std::unique_ptr<TMiniDB> db = std::make_unique<TMiniDB>();
  THistory history{&registry};
  std::unique_ptr<THistoryScope> scope;

  explicit TClient(int32_t records) {
    char tmpl[] = "/tmp/bench_planexport-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    registry.SetSleeper([](int) {});
    db->Registry = &registry;
    db->StationKey = "bench";
    if (!db->Open(folder, "Data", "Tessaro")) std::abort();
    history.SetFolder(folder);
    scope = std::make_unique<THistoryScope>(history);
    if (GenerateSampleClient(*db, records, 1).Result != TBulkResult::Saved) std::abort();
    InstallNameFuncs(*db);
    SetKeySystemName(1, "Anlage 1");
  }
  ~TClient() {
    scope.reset();
    db.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  TPlanGrid Plan(bool singleKeys) {
    ClientSession().LendStore(db.get());
    TPlanOptions options;
    options.system = 1;
    options.singleKeys = singleKeys;
    options.unusedKeys = true;
    return BuildPlanGrid(*db, options);
  }
};

TClient& Client(int32_t records) {
  static std::map<int32_t, std::unique_ptr<TClient>> clients;
  auto& client = clients[records];
  if (!client) {
    clients.clear();  // one client at a time: the larger one is big enough
    clients[records] = std::make_unique<TClient>(records);
  }
  return *clients[records];
}

TPlanView AllColumns() {
  TPlanView view;
  view.shown.fill(true);
  return view;
}

const std::array<std::string, kPlanColumnCount> kCaptions = {
    "Pos", "T\xFCr", "Raum",       "Zylinder", "Schlie\xDFung",
    "ZYA", "Typ",    "F\xE4rbung", "L\xE4nge", "Einzelschl\xFCssel",
    "SLA"};

void Report(benchmark::State& state, const TPlanGrid& plan, const std::string& file, long peakKb) {
  state.counters["rows"] = static_cast<double>(plan.rows.size());
  state.counters["keys"] = static_cast<double>(plan.keys.size());
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
}

// Args: records, workbook (0 CSV, 1 ".xlsx"), single keys (0, 1).
void BM_PlanExport(benchmark::State& state) {
  TClient& client = Client(static_cast<int32_t>(state.range(0)));
  const bool workbook = state.range(1) == 1;
  const TPlanGrid plan = client.Plan(state.range(2) == 1);
  const TPlanView view = AllColumns();
  const std::string file = client.folder + (workbook ? "Plan.xlsx" : "Plan.csv");
  long peak = 0;
  for (auto _ : state) {
    const long before = ResetPeakKb();
    const TPlanCellRows rows(plan, view, kCaptions, "Stk", "Anlage 1", "-");
    TCsvOrExcel out;
    if (!(workbook ? out.OpenExcel(file) : out.OpenCsv(file)) || !WritePlanRows(rows, out) ||
        !out.Close())
      std::abort();
    peak = std::max(peak, StatusKb("VmHWM") - before);
  }
  Report(state, plan, file, peak);
  state.SetLabel(std::string(workbook ? "xlsx" : "csv") + (state.range(2) ? " single keys" : ""));
}
BENCHMARK(BM_PlanExport)
    ->ArgNames({"records", "xlsx", "single"})
    ->ArgsProduct({{10000, 100000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The former export: the whole matrix as strings, then written.
void BM_PlanExportWholeMatrix(benchmark::State& state) {
  TClient& client = Client(static_cast<int32_t>(state.range(0)));
  const bool workbook = state.range(1) == 1;
  const TPlanGrid plan = client.Plan(state.range(2) == 1);
  const TPlanView view = AllColumns();
  const std::string file = client.folder + (workbook ? "Plan.xlsx" : "Plan.csv");
  long peak = 0;
  for (auto _ : state) {
    const long before = ResetPeakKb();
    const auto cells = PlanCells(plan, view, kCaptions, "Stk", "Anlage 1", "-");
    TCsvOrExcel out;
    if (!(workbook ? out.OpenExcel(file) : out.OpenCsv(file))) std::abort();
    const size_t firstKey = kPlanColumnCount + 1;
    for (size_t r = 0; r < cells.size(); ++r)
      if (!(r < 2 ? out.WriteCellsTurned(cells[r], firstKey) : out.WriteCells(cells[r])))
        std::abort();
    if (!out.Close()) std::abort();
    peak = std::max(peak, StatusKb("VmHWM") - before);
  }
  Report(state, plan, file, peak);
  state.SetLabel(std::string(workbook ? "xlsx" : "csv") + (state.range(2) ? " single keys" : ""));
}
BENCHMARK(BM_PlanExportWholeMatrix)
    ->ArgNames({"records", "xlsx", "single"})
    ->ArgsProduct({{10000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
