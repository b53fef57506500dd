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
//
// KWD plans and key lists, each into a fresh empty store, the file written beforehand:
//   BM_KwdImport/10000, /100000     a KWD plan of N records (check pass, question answered
//                                   yes, import pass with the follow-up linking, one save):
//                                   1/20 positions ("C"), 1/200 groups ("A"), 1/20 group
//                                   items ("F"), 1/2 cylinders ("D"), the rest keys ("K")
//   BM_KeysImport/10000, /100000    a key list of N rows (check, question, one bulk run)
// Targets: 100,000 records under 10 s, at most 11 times the 10,000 figure.
// Locking plans (ImportPlanRecogUnit, ImportPlanUnit, ImportXmlUnit):
//   BM_PlanRecognise   a sheet of 2,000 door rows and 300 group-key columns: the whole
//                      recognition (marks, matrix, headings, fields), as after every change.
//   BM_PlanImport      that sheet imported into the store: 2,000 doors, cylinders and single
//                      keys, 300 group keys, about 20,000 crosses; one bulk run.
//   BM_XmlImport/10000, /100000   a "dorider" plan of that many elements (a third each
//                      cylinders, keys and lockings), check pass and import pass.
// Targets: recognition under 200 ms, the sheet's import under 5 s, the XML plans at most
// 11 times apart and 100,000 elements under 10 s.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "StoreGenerator.h"
#include "basic/UserInteraction.h"
#include "data/AccessProtection.h"
#include "data/FieldCatalogueUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "basic/MultiLingua.h"
#include "import/ImportEngineUnit.h"
#include "import/ImportKwdUnit.h"
#include "import/ImportKeysUnit.h"
#include "import/ImportPlanRecogUnit.h"
#include "import/ImportPlanUnit.h"
#include "import/ImportTable.h"
#include "import/ImportXmlUnit.h"
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

// ---------------------------------------------------------------------------------------
// KWD plans and key lists into an empty store

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

struct TEmptyStore {
  std::string folder;
  TAccessProtectionRegistry registry;
  TMiniDB db;
  TEmptyStore() {
    char tmpl[] = "/tmp/bench_import-XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    registry.SetSleeper([](int) {});
    db.Registry = &registry;
    db.StationKey = "bench@pc1";
    db.Open(folder, "Data", "Tessaro");
    ResetVocabulary();
    ReadKeySystemNames(db);
  }
  ~TEmptyStore() {
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
    auto store = std::make_unique<TEmptyStore>();
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
    auto store = std::make_unique<TEmptyStore>();
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
// Locking plans

// The recognition words of the shipped file's German entries that the sheet uses.
const TPlanWords& PlanWords() {
  static const TPlanWords words = [] {
    tMLSystem ml("DE");
    ml.LoadLanguageLines({u"DE1=Position|Pos", u"", u"DE3=T\u00FCr", u"", u"DE4=Raum", u"",
                          u"DE6=Einzelschl\u00FCssel", u"", u"DE8=Zylinder-Anzahl", u"",
                          u"DE10=Schlie\u00DFung", u"", u"DE19=Gruppenschl\u00FCssel", u"",
                          u"DE20=Schl\u00FCssel-Typ", u"", u"DE21=Anzahl", u"", u"DE22=Gruppe"},
                         false);
    TPlanWords w;
    w.LoadFrom(ml, "DE");
    return w;
  }();
  return words;
}

// 4 key-table rows above the cylinder table's heading, then the door rows; the crosses of
// each key column lie on every 100th row from an offset of its own.
std::vector<std::string> PlanSheet(int rows, int keys) {
  std::vector<std::string> lines(5);
  const std::string lead = "\t\t\t\t\t\t";
  lines[0] = lead + "Gruppenschl\xFCssel";
  lines[1] = lead + "Schl\xFCssel-Typ";
  lines[2] = lead + "Anzahl";
  lines[3] = lead + "Gruppe";
  lines[4] = "Pos\tT\xFCr\tRaum\tSchlie\xDFung\tZylinder-Anzahl\tEinzelschl\xFCssel";
  for (int k = 0; k < keys; ++k) {
    lines[0] += "\tGS " + std::to_string(k);
    lines[1] += "\tGS";
    lines[2] += "\t" + std::to_string(1 + k % 3);
    lines[3] += "\tG" + std::to_string(k % 30);
  }
  for (int r = 0; r < rows; ++r) {
    const std::string n = std::to_string(r + 1);
    std::string line = n + "\tPlan-T\xFCr " + n + "\tRaum " + n + "\tS" + n + "\t1\tES " + n +
                       "\t";
    for (int k = 0; k < keys; ++k) line += (r % 100 == k % 100 || r == rows - 1) ? "\tx" : "\t";
    lines.push_back(line);
  }
  return lines;
}

void BM_PlanRecognise(benchmark::State& state) {
  TImportTable sheet;
  FillPlanGrid(sheet, PlanSheet(2000, 300));
  TIndiDefList defs;
  bool found = false;
  for (auto _ : state) {
    state.PauseTiming();
    TImportTable grid = sheet;
    TPlanRecognition rec;
    state.ResumeTiming();
    found = RecognisePlanTable(grid, defs, PlanWords(), rec);
    benchmark::DoNotOptimize(rec.matrix.right);
  }
  if (!found) state.SkipWithError("plan not recognised");
}
BENCHMARK(BM_PlanRecognise)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PlanImport(benchmark::State& state) {
  const TFixture& f = Fixture(100000);
  TImportTable grid;
  FillPlanGrid(grid, PlanSheet(2000, 300));
  TPlanRecognition rec;
  if (!RecognisePlanTable(grid, TIndiDefList(), PlanWords(), rec)) {
    state.SkipWithError("plan not recognised");
    return;
  }
  TPlanImportOptions options;
  options.writeJournal = false;
  int cylinders = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<TCopy>(f);
    state.ResumeTiming();
    const TPlanImportReport r = RunPlanImportRows(copy->db, grid, rec, options);
    if (r.result != TPlanSheetResult::Done) {
      state.SkipWithError(("import failed: " + std::to_string(static_cast<int>(r.result)) +
                           " " + r.error).c_str());
      break;
    }
    cylinders = r.cylinders;
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
  state.counters["cylinders"] = cylinders;
}
BENCHMARK(BM_PlanImport)->Unit(benchmark::kMillisecond)->Iterations(2);

std::string DoriderPlan(int elements) {
  const int n = elements / 3;
  std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<dorider>\r\n<Zylinder>\r\n";
  for (int i = 0; i < n; ++i)
    xml += "<Schliessung><Sortierung>" + std::to_string(i + 1) +
           "</Sortierung><SchluesselNummer>XZ " + std::to_string(i) +
           "</SchluesselNummer><Zylinderanzahl>1</Zylinderanzahl><TuerNr>XT " +
           std::to_string(i) + "</TuerNr></Schliessung>\r\n";
  xml += "</Zylinder>\r\n<Schluessel>\r\n";
  for (int i = 0; i < n; ++i)
    xml += "<Gruppenschluessel><SchluesselNummer>XG " + std::to_string(i) +
           "</SchluesselNummer><Anzahl>2</Anzahl></Gruppenschluessel>\r\n";
  xml += "</Schluessel>\r\n<Funktion>\r\n";
  for (int i = 0; i < n; ++i)
    xml += "<Funktion><SchluesselNummer_Aus>XG " + std::to_string(i) +
           "</SchluesselNummer_Aus><SchluesselNummer_In>XZ " + std::to_string((i * 7) % n) +
           "</SchluesselNummer_In></Funktion>\r\n";
  return xml + "</Funktion>\r\n</dorider>\r\n";
}

void BM_XmlImport(benchmark::State& state) {
  const TFixture& f = Fixture(100000);
  const std::string xml = DoriderPlan(static_cast<int>(state.range(0)));
  const std::string journal;
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<TCopy>(f);
    state.ResumeTiming();
    if (!ImportXmlBytes(copy->db, xml, 1, nullptr, nullptr, nullptr)) {
      state.SkipWithError("import failed");
      break;
    }
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
  state.counters["elements"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_XmlImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
