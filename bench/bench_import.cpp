// The imports over the generated store of 100,000 records (StoreGenerator.h); each run on a
// fresh copy of the file, opened as a workstation opens it. One section per import.
//
// Table import (the row engine, RunTableImport):
//   BM_TableImport/10000, /100000   rows of 8 columns (door name, building, floor, room
//                                   number, room, position, remark, external ID) into the
//                                   store: half the rows name doors the store has (matched
//                                   in their building), half new doors; one bulk run.
//   Counters: rows, saves (the store's saves per run: one), mem_ratio = the run's peak
//   resident growth over (input bytes + store file bytes).
//
// Targets: 100,000 rows under 10 s, at most 11 times the 10,000 rows, mem_ratio under 3.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "StoreGenerator.h"
#include "data/AccessProtection.h"
#include "data/FieldCatalogueUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportEngineUnit.h"
#include "platform/PlatformFiles.h"

namespace {

// ---------------------------------------------------------------------------------------
// Shared pieces

struct TCopy {
  std::string folder;
  TAccessProtectionRegistry registry;
  TMiniDB db;
  explicit TCopy(const TFixture& f) {
    char tmpl[] = "/tmp/bench_import-XXXXXX";
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

// Resident memory in bytes: "VmRSS" now, or "VmHWM" (the peak since the last reset).
int64_t StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::atoll(line.c_str() + prefix.size());
  return 0;
}
// Starts a new peak (Linux: "5" into clear_refs resets VmHWM to the current RSS).
void ResetPeak() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
}

bool LoadCatalogue() {
  return LoadFieldCatalogue(false, std::string(TESSARO_RESOURCE_DIR) + "/System/Fields.csv");
}

// ---------------------------------------------------------------------------------------
// Table import

// Rows that name every other existing door (with its building) and new doors in between.
std::vector<std::vector<std::string>> DoorRows(TMiniDB& db, int count, int64_t& bytes) {
  std::vector<std::pair<std::string, std::string>> known;
  TItemList doors;
  db.ListClassValid(icDoor, doors);
  for (int32_t i = 0; i < doors.Count() && static_cast<int>(known.size()) < count / 2; ++i) {
    const int32_t d = doors.Get(i);
    const int32_t house = GetBuildingOf(db, d);
    if (!house || !db.ReadLineField(d, "n2").empty()) continue;
    known.emplace_back(db.ReadName(d), db.ReadName(house));
  }
  std::vector<std::vector<std::string>> rows;
  rows.reserve(static_cast<size_t>(count));
  bytes = 0;
  for (int i = 0; i < count; ++i) {
    std::string name, house;
    if (i % 2 == 0 && static_cast<size_t>(i / 2) < known.size()) {
      name = known[static_cast<size_t>(i / 2)].first;
      house = known[static_cast<size_t>(i / 2)].second;
    } else {
      name = "Import-T\xFCr " + std::to_string(i);
      house = "Import-Haus " + std::to_string(i % 40);
    }
    rows.push_back({name, house, std::to_string(i % 9), "R" + std::to_string(i % 700),
                    "Raum " + std::to_string(i % 300), "P" + std::to_string(i % 17),
                    "Zeile " + std::to_string(i) + "<BR>zweite Zeile", "X" + std::to_string(i)});
    for (const std::string& cell : rows.back()) bytes += static_cast<int64_t>(cell.size()) + 1;
  }
  return rows;
}

void BM_TableImport(benchmark::State& state) {
  if (!LoadCatalogue()) {
    state.SkipWithError("no field catalogue");
    return;
  }
  const TFixture& f = Fixture(100000);
  const int count = static_cast<int>(state.range(0));
  int saves = 0, done = 0;
  double ratio = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const int64_t before = StatusKb("VmRSS");
    ResetPeak();
    auto copy = std::make_unique<TCopy>(f);
    int64_t inputBytes = 0;
    TTableImportJob job;
    job.rows = DoorRows(copy->db, count, inputBytes);
    job.entries = {FieldIndexById(135), FieldIndexById(136), FieldIndexById(137),
                   FieldIndexById(138), FieldIndexById(139), FieldIndexById(140),
                   FieldIndexById(141), FieldIndexById(143)};
    job.contentClass = icDoor;
    job.batch = true;
    job.writeJournal = false;
    const std::string folder = copy->folder;
    saves = 0;
    state.ResumeTiming();
    {
      TPfFaultScope countSaves([&, folder](TPfOp op, const std::string& path) {
        const std::string tail = ".bak.tmp";
        if (op == TPfOp::Rename && path.rfind(folder, 0) == 0 && path.size() > tail.size() &&
            path.compare(path.size() - tail.size(), tail.size(), tail) == 0)
          ++saves;
        return 0;
      });
      const TTableImportResult r = RunTableImport(copy->db, job);
      if (!r.ok) state.SkipWithError(("import failed: " + r.error).c_str());
      done = r.rowsDone;
    }
    state.PauseTiming();
    const int64_t peakGrowth = (StatusKb("VmHWM") - before) * 1024;
    ratio = static_cast<double>(peakGrowth) / static_cast<double>(inputBytes + f.size);
    copy.reset();
    state.ResumeTiming();
  }
  state.counters["rows"] = done;
  state.counters["saves"] = saves;
  state.counters["mem_ratio"] = ratio;
}
BENCHMARK(BM_TableImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
