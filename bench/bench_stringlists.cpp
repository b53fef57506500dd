// Reading record lines: the record store parses every line of its file through the comma
// text of TQStringList when it loads, 100,000 lines for a large client. This shows the
// parse stays linear and cheap; there is no target.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "basic/SLUnit.h"

namespace {

// Lines shaped like stored records: plain ID, class and links, rotated values that now
// and then need quotes, a time stamp with its no-break space.
std::vector<std::string> MakeRecordLines(int count) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(count));
  for (int id = 1; id <= count; ++id) {
    std::string line = "i=" + std::to_string(id) + ",c=" + std::to_string(1 + id % 9);
    if (id % 50 == 0) line += ",v=0";
    line += ",n=Qhfdi" + std::to_string(id * 7) + "Mbx";
    if (id % 3 == 0) line += ",\"n2=Hnmf Wr\xE4" "ger, Tps " + std::to_string(id) + "\"";
    line += ",r=Sfnbsl\xFC" "ohf";
    line += ",l4=" + std::to_string(id + 1) + ";" + std::to_string(id + 2) + ";" +
            std::to_string(id + 3);
    line += ",ks=" + std::to_string(id % 40);
    line += ",GUID=" + std::to_string(100000 + id) + ".40E6B2C1D2E3F405";
    if (id % 4 == 0) line += ",\"ini=\"\"a=1\"\",b=2\"";
    line += ",d=2026-03-04\xA0" "12:34:56";
    lines.push_back(std::move(line));
  }
  return lines;
}

void BM_SetCommaText(benchmark::State& state) {
  const auto lines = MakeRecordLines(static_cast<int>(state.range(0)));
  TQStringList current;
  size_t bytes = 0;
  for (const auto& l : lines) bytes += l.size();
  for (auto _ : state) {
    int items = 0;
    for (const auto& l : lines) {
      current.SetCommaText(l);
      items += current.Count();
    }
    benchmark::DoNotOptimize(items);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SetCommaText)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_ParseCommaText(benchmark::State& state) {
  const auto lines = MakeRecordLines(static_cast<int>(state.range(0)));
  std::vector<std::string> items;
  for (auto _ : state) {
    size_t n = 0;
    for (const auto& l : lines) {
      ParseCommaText(l, items);
      n += items.size();
    }
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseCommaText)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_GetCommaText(benchmark::State& state) {
  const auto lines = MakeRecordLines(static_cast<int>(state.range(0)));
  std::vector<TQStringList> records(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) records[i].SetCommaText(lines[i]);
  for (auto _ : state) {
    size_t n = 0;
    for (const auto& r : records) n += r.GetCommaText().size();
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GetCommaText)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ValueOfChar(benchmark::State& state) {
  TQStringList rec;
  rec.SetCommaText(MakeRecordLines(12)[11]);
  for (auto _ : state) benchmark::DoNotOptimize(rec.ValueOfChar('n'));
}
BENCHMARK(BM_ValueOfChar);

}  // namespace

BENCHMARK_MAIN();
