// Message lookups against a language file of realistic size: a lookup must not grow with
// the number of entries (the main file holds a few thousand blocks).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "basic/MultiLingua.h"

namespace {

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void LoadEntries(tMLSystem& ml, int count) {
  std::vector<std::u16string> lines;
  for (int i = 1; i <= count; ++i) {
    lines.push_back(Wide("// ID=" + std::to_string(i) + ";"));
    lines.push_back(Wide("DE=Deutscher Text Nummer " + std::to_string(i)));
    lines.push_back(Wide("EN=English text number " + std::to_string(i)));
    lines.push_back(u"");
  }
  ml.LoadLanguageLines(lines, false);
  ml.SetCurrentLanguage("EN");
}

void BM_GetMLText(benchmark::State& state) {
  TScopedMLSystem scope;
  LoadEntries(scope.System(), static_cast<int>(state.range(0)));
  TMLStringList table;
  table.Add255Obj("UnitBench", 0);
  table.Add255Obj("Deutscher Text Nummer " + std::to_string(state.range(0)) + ":", 1);
  for (auto _ : state) benchmark::DoNotOptimize(GetMLText(&table, 1));
}
BENCHMARK(BM_GetMLText)->Arg(100)->Arg(10000);

void BM_GetTextByNumber(benchmark::State& state) {
  TScopedMLSystem scope;
  LoadEntries(scope.System(), static_cast<int>(state.range(0)));
  const int32_t last = static_cast<int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(scope.System().GetTextCR(last));
}
BENCHMARK(BM_GetTextByNumber)->Arg(100)->Arg(10000);

void BM_TranslateWithoutCase(benchmark::State& state) {
  TScopedMLSystem scope;
  LoadEntries(scope.System(), static_cast<int>(state.range(0)));
  const std::string text = "DEUTSCHER TEXT NUMMER " + std::to_string(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(MLTranslate(text));
}
BENCHMARK(BM_TranslateWithoutCase)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
