// The imports that bring whole plans and lists into an empty store, each run on a fresh
// store opened as a workstation opens it, the file written beforehand:
//
//   BM_KwdImport/N   a KWD plan of N records (check pass, question answered yes, import
//                    pass with the follow-up linking, one save): 1/20 positions ("C"),
//                    1/200 groups ("A"), 1/20 group items ("F"), 1/2 cylinders ("D"), the
//                    rest keys ("K")
//   BM_KeysImport/N  a key list of N rows (check, question, one bulk run, one save)
//
// Targets: 100,000 records below 10 s, and at most 11 times the 10,000 figure.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "basic/UserInteraction.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "import/ImportKeysUnit.h"
#include "import/ImportKwdUnit.h"
#include "import/ImportText.h"

namespace {

// Says yes to every question, shows nothing.
class TYes : public IUserInteraction {
 public:
  void ShowMessage(TMsgKind, const std::string&) override {}
  int Ask(TMsgKind, const std::string&, TAskButtons) override { return mrYes; }
  int AskButtons(const std::string&, const std::string&, const std::string&, bool,
                 const std::string&) override {
    return 1;
  }
  bool InputText(const std::string&, std::string&, bool) override { return false; }
  void ProcessPendingEvents() override {}
};

struct TStore {
  std::string folder;
  TAccessProtectionRegistry registry;
  TMiniDB db;
  TStore() {
    char tmpl[] = "/tmp/bench_import-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    registry.SetSleeper([](int) {});
    db.Registry = &registry;
    db.StationKey = "bench@pc1";
    db.Open(folder, "Data", "Tessaro");
    ResetVocabulary();
    ReadKeySystemNames(db);
  }
  ~TStore() {
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

std::string Line(char letter, const std::vector<std::pair<int, std::string>>& fields) {
  int last = 0;
  for (const auto& f : fields) last = std::max(last, f.first);
  std::vector<std::string> cells(static_cast<size_t>(last));
  for (const auto& f : fields) cells[static_cast<size_t>(f.first - 1)] = f.second;
  std::string line(1, letter);
  for (size_t i = 0; i < cells.size(); ++i) line += (i ? ";" : "") + cells[i];
  return line;
}

std::string WriteKwdPlan(const std::string& folder, int n) {
  const int positions = std::max(1, n / 20), groups = std::max(1, n / 200);
  std::vector<std::string> lines = {"O;KWD;1", Line('L', {{3, "PLAN-" + std::to_string(n)}})};
  for (int g = 0; g < groups; ++g)
    lines.push_back(Line('A', {{1, "G" + std::to_string(g)}, {2, "Gruppe"}, {3, "GS"}, {5, "GS"}}));
  for (int p = 0; p < positions; ++p) {
    const std::string z = "Z" + std::to_string(p);
    lines.push_back(Line('C', {{1, z}, {3, std::to_string(p)}, {5, p % 7 ? "GS" : "E"}}));
    lines.push_back(Line('F', {{1, "G" + std::to_string(p % groups)}, {2, z}}));
  }
  const int cylinders = n / 2;
  for (int i = 0; i < cylinders; ++i) {
    char pos[16];
    std::snprintf(pos, sizeof pos, "%07d", i);
    lines.push_back(Line('D', {{1, "Tuer " + std::to_string(i)},
                               {5, pos},
                               {6, "L=30/35,OF=MS"},
                               {12, "1"},
                               {17, "Z" + std::to_string(i % positions)}}));
  }
  const int keys = n - static_cast<int>(lines.size());
  for (int i = 0; i < keys; ++i) {
    const std::string target =
        i % 5 == 0 ? "G" + std::to_string(i % groups) : "Z" + std::to_string(i % positions);
    lines.push_back(Line('K', {{1, "S" + std::to_string(i)}, {12, "2"}, {17, target}}));
  }
  const std::string file = folder + "plan.kwd";
  std::ofstream out(file, std::ios::binary);
  for (const std::string& l : lines) out << l << "\r\n";
  return file;
}

void BM_KwdImport(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TYes yes;
  TUserInteractionScope scope(yes);
  size_t cylinders = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto store = std::make_unique<TStore>();
    const std::string file = WriteKwdPlan(store->folder, n);
    state.ResumeTiming();
    const TKwdResult result = ImportKwdFile(store->db, file, {}, "");
    state.PauseTiming();
    if (result != TKwdResult::Imported) state.SkipWithError("not imported");
    cylinders = static_cast<size_t>(store->db.CountClass(icCylinder));
    store.reset();
    state.ResumeTiming();
  }
  state.counters["cylinders"] = static_cast<double>(cylinders);
}
BENCHMARK(BM_KwdImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KeysImport(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TYes yes;
  TUserInteractionScope scope(yes);
  std::vector<std::string> lines;
  for (int i = 0; i < n; ++i)
    lines.push_back("Schluessel " + std::to_string(i) + ";;Anlage1;GS;" + std::to_string(i % 5) +
                    ";Bemerkung<BR>zweite Zeile");
  for (auto _ : state) {
    state.PauseTiming();
    auto store = std::make_unique<TStore>();
    state.ResumeTiming();
    const std::vector<TFixedImportRow> rows =
        ParseFixedColumnLines(lines, kKeysImportColumns, false, true);
    const TFixedImportOutcome out = ImportKeysTable(store->db, rows);
    state.PauseTiming();
    if (out.result != TFixedImportResult::Done || out.created != n)
      state.SkipWithError("not imported");
    store.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_KeysImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
