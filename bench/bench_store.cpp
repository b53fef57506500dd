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

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::string Rot(const std::string& s) { return ScrambleStr(s); }

// One generated store file per size, kept for the whole run.
struct TFixture {
  std::string folder;
  std::string file;
  int64_t size = 0;
  int32_t records = 0;
  std::string probeName;  // a person's name to look for
};

std::string Quote(const std::string& item) {
  std::string out;
  AppendCommaItem(out, item);
  return out;
}

// The generated folders go when the program ends.
struct TFixtures : std::map<int32_t, TFixture> {
  ~TFixtures() {
    std::error_code ec;
    for (auto& [n, f] : *this) std::filesystem::remove_all(f.folder, ec);
  }
};

TFixture& Fixture(int32_t records) {
  static TFixtures fixtures;
  auto it = fixtures.find(records);
  if (it != fixtures.end()) return it->second;
  TFixture& f = fixtures[records];
  char tmpl[] = "/tmp/bench_store-XXXXXX";
  f.folder = std::string(mkdtemp(tmpl)) + "/";
  f.file = f.folder + "Data.ada";
  f.records = records;

  std::mt19937 rng(records);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  // Shares of the mix: 2% buildings, 25% doors, 8% cylinders, 35% keys, 25% persons,
  // 5% groups.
  std::vector<int> classOf(records + 1);
  std::vector<std::vector<int32_t>> byClass(256);
  for (int32_t id = 1; id <= records; ++id) {
    int r = pick(0, 99);
    int cls = r < 2 ? 2 : r < 27 ? 3 : r < 35 ? 6 : r < 70 ? 4 : r < 95 ? 5 : 7;
    if (id == 1) cls = 12;
    classOf[id] = cls;
    byClass[cls].push_back(id);
  }
  auto any = [&](int cls) {
    const auto& v = byClass[cls];
    return v.empty() ? 0 : v[pick(0, static_cast<int32_t>(v.size()) - 1)];
  };
  // Links, made in both directions.
  std::vector<std::map<int, std::vector<int32_t>>> links(records + 1);
  auto link = [&](int32_t a, int32_t b) {
    if (a && b && a != b) {
      links[a][classOf[b]].push_back(b);
      links[b][classOf[a]].push_back(a);
    }
  };
  for (int32_t id = 1; id <= records; ++id) {
    switch (classOf[id]) {
      case 3: link(id, any(2)); link(id, any(6)); break;
      case 4:
        for (int n = pick(1, 4); n > 0; --n) link(id, any(3));
        if (pick(0, 2) == 0) link(id, any(7));
        link(id, any(5));
        break;
      default: break;
    }
  }
  std::vector<std::string> lines = {"\x01", "LastID=" + std::to_string(records), "FileTitle=",
                                    "AppName=Tessaro", "AppOptions=",
                                    "KeysystemNames=Hauptanlage,Nebenanlage"};
  const char* first[] = {"Anna", "Bernd", "Carla", "Dieter", "Eva", "Fritz", "G\xFCnter"};
  const char* last[] = {"M\xFCller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer"};
  for (int32_t id = 1; id <= records; ++id) {
    const int cls = classOf[id];
    std::string line = "i=" + std::to_string(id) + ",c=" + std::to_string(cls);
    auto field = [&](const std::string& key, const std::string& value) {
      line += "," + Quote(key + "=" + Rot(value));
    };
    switch (cls) {
      case 2: field("n", "Geb\xE4ude " + std::to_string(id)); field("Adr", "Hauptstra\xDF" "e 1"); break;
      case 3:
        field("n", "Raum " + std::to_string(pick(1, 999)) + "." + std::to_string(id));
        field("flr", std::to_string(pick(0, 5)));
        field("ks", std::to_string(pick(1, 3)));
        break;
      case 6: field("n", "Z" + std::to_string(id)); field("len", "30/35"); break;
      case 4: {
        field("n", "S " + std::to_string(id));
        field("ks", std::to_string(pick(1, 3)));
        field("cnt", std::to_string(pick(0, 5)));
        field("total", "5");
        std::string own;
        for (int n = pick(1, 3); n > 0; --n)
          own += "5:" + std::to_string(any(5)) + ";1;2024-0" + std::to_string(pick(1, 9)) +
                 "-1" + std::to_string(pick(0, 9)) + "\xA0" "08:15:00;;|";
        field("own", own);
        break;
      }
      case 5: {
        std::string name = std::string(first[pick(0, 6)]) + " " + std::to_string(id);
        field("n", name);
        field("n2", last[pick(0, 5)]);
        field("Abt", "Abteilung " + std::to_string(pick(1, 20)));
        field("Nr", std::to_string(10000 + id));
        if (f.probeName.empty() && id > records * 9 / 10) f.probeName = name;
        break;
      }
      case 7: field("n", "Gruppe " + std::to_string(id)); break;
      case 12: field("ini", "FormSeqNo=17,MandantName=Werk"); break;
    }
    for (const auto& [kind, ids] : links[id]) {
      std::string list;
      for (int32_t t : ids) list += (list.empty() ? "" : ";") + std::to_string(t);
      line += ",l" + std::to_string(kind) + "=" + list;
      if (kind == 5) line += "," + Quote("o" + std::to_string(ids[0]) + "=" + Rot("seit=2023-05-01"));
    }
    if (pick(0, 9) == 0) field("r", "Bemerkung zu Datensatz " + std::to_string(id));
    field("GUID", "0000." + std::to_string(id));
    lines.push_back(std::move(line));
  }
  if (!SaveTextFileSafe(lines, f.file, false)) std::abort();
  f.size = static_cast<int64_t>(std::filesystem::file_size(f.file));
  return f;
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
