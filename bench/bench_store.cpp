// The record store against the physical work it cannot avoid: opening a store (read, index,
// names) against reading the file's bytes, a one-field save against writing the same bytes
// safely (fsync + rename), plus the list and search operations, and the memory an open
// store holds against its file size.
//
// Stores of 10,000 and 100,000 records with a realistic mix: buildings, doors with
// cylinders, keys with holder lines, persons, groups, links in both directions with link
// values. Each benchmark reports the ratio to its reference as a counter.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include "basic/FileCtrl2.h"
#include "basic/ValueString.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"

#include "StoreGenerator.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

TAccessProtectionRegistry& Registry() {
  static TAccessProtectionRegistry registry;
  return registry;
}

std::unique_ptr<TMiniDB> OpenStore(const TFixture& f) {
  auto db = std::make_unique<TMiniDB>();
  db->Registry = &Registry();
  db->StationKey = "bench";
  if (!db->Open(f.folder, "Data", "Tessaro")) std::abort();
  return db;
}

// The reference for opening: the file's bytes into memory.
double RawRead(const TFixture& f) {
  auto t0 = Clock::now();
  std::string bytes;
  if (!ReadFileToString(f.file, bytes)) std::abort();
  benchmark::DoNotOptimize(bytes.data());
  return Seconds(t0, Clock::now());
}

// The reference for saving: the same bytes written to a temporary file in the folder,
// synced, renamed over a copy of the store.
double RawWrite(const TFixture& f, const std::string& bytes) {
  const std::string target = f.folder + "raw.ada";
  const std::string temp = f.folder + "~raw";
  auto t0 = Clock::now();
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::fsync(fd);
  ::close(fd);
  if (::rename(temp.c_str(), target.c_str()) != 0) std::abort();
  int dir = ::open(f.folder.c_str(), O_RDONLY | O_DIRECTORY);
  ::fsync(dir);
  ::close(dir);
  return Seconds(t0, Clock::now());
}

size_t HeapInUse() {
  struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

void BM_Memory(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  double held = 0;
  for (auto _ : state) {
    malloc_trim(0);
    size_t before = HeapInUse();
    auto db = OpenStore(f);
    held = static_cast<double>(HeapInUse() - before);
    benchmark::DoNotOptimize(db.get());
  }
  const double budget = 2.0 * static_cast<double>(f.size) + 64.0 * f.records;
  state.counters["file_MB"] = static_cast<double>(f.size) / 1e6;
  state.counters["held_MB"] = held / 1e6;
  state.counters["budget_MB"] = budget / 1e6;
  state.counters["mem_ratio"] = held / budget;
}

void BM_Open(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  double open = 0, raw = 0;
  int64_t n = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    auto db = OpenStore(f);
    double t = Seconds(t0, Clock::now());
    state.SetIterationTime(t);
    open += t;
    state.PauseTiming();
    db.reset();
    raw += RawRead(f);
    state.ResumeTiming();
    ++n;
  }
  state.counters["raw_read_ms"] = raw / n * 1e3;
  state.counters["vs_raw_read"] = open / raw;
}

// The share of opening that is the text-file reader alone (the lines, no index).
void BM_ReadLines(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  double read = 0, raw = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    std::vector<std::string> lines;
    if (LoadTextFile(f.file, lines, 0) != ltfRead) std::abort();
    double t = Seconds(t0, Clock::now());
    state.SetIterationTime(t);
    read += t;
    state.PauseTiming();
    lines = {};
    raw += RawRead(f);
    state.ResumeTiming();
  }
  state.counters["vs_raw_read"] = read / raw;
}

void BM_SaveOneField(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  auto db = OpenStore(f);
  const std::string bytes = [&] {
    std::string b;
    ReadFileToString(f.file, b);
    return b;
  }();
  db->AutoSave = false;
  double save = 0, raw = 0;
  int64_t n = 0;
  int32_t id = f.records / 2;
  for (auto _ : state) {
    auto t0 = Clock::now();
    db->SetField(id, "r", "Bemerkung " + std::to_string(n));
    db->StoreCurrent();
    if (!db->SaveIfModified()) std::abort();
    double t = Seconds(t0, Clock::now());
    state.SetIterationTime(t);
    save += t;
    state.PauseTiming();
    raw += RawWrite(f, bytes);
    state.ResumeTiming();
    ++n;
  }
  state.counters["raw_write_ms"] = raw / n * 1e3;
  state.counters["vs_raw_write"] = save / raw;
}

void BM_ListClass(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  auto db = OpenStore(f);
  TItemList list;
  for (auto _ : state) {
    db->ListClass(4, list);
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["found"] = list.Count();
}

void BM_FindByName(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  auto db = OpenStore(f);
  int32_t found = 0;
  for (auto _ : state) {
    found = db->FindByName(f.probeName, 5, 0);
    benchmark::DoNotOptimize(found);
  }
  if (found == 0) state.SkipWithError("probe name not found");
}

}  // namespace

BENCHMARK(BM_Memory)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLines)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOneField)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListClass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindByName)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
