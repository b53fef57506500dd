// Opening a client's data as the program does it, against reading the store file whole.
//
//   BM_StoreOpen            TMiniDB::Open alone (read, index, names)
//   BM_OpenAsProgram        what choosing the client does before the login page can be used:
//                           OpenDataStore (the store's open, the station's leftovers settled,
//                           the change log, the name functions and the display names, the
//                           locksmith store, the locking-system names and filter, the lists
//                           of systems and buildings, the settings record) and the login's
//                           user list (ListLoginUsers)
//   .../cold                the same as the first thing a fresh process does: each iteration
//                           starts this program again, which reads the file whole once (the
//                           reference, just as fresh) and then opens once
//   BM_LoginAfterSampleRun  the same open (OpenDataStore) of the sample client of 100,000
//                           records (GenerateSampleClient) right after its run, as the run
//                           left store and history (/after_run); the same store without its
//                           "PendingHistory" header line (/no_header, the reference); and with
//                           the header holding every booking line of the run, all of them in
//                           the history already, as a run killed before it could take them
//                           out leaves it (/full_header: the settle's one pass)
//
// The store is bench_store's generated one of 100,000 records with ten users added. Each
// iteration opens a fresh store object; the previous one is closed outside the timing. The
// first open of the data folder (the month's copy of the change log is made then) happens
// before any timing. Each benchmark reports the ratio to its reference as a counter.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/GlueStateUnit.h"
#include "app/LoginUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/ParamsUnit.h"
#include "data/ClientSessionUnit.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/SampleDataUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/UnitTR100.h"

#include "StoreGenerator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kRecords = 100000;
constexpr int kUsers = 10;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The program-wide state a station has when its login page asks for the client's data:
// settings, registry and program folder of its own inside the data folder.
struct TStation {
  std::string folder;  // the data folder, with a trailing "/"
  std::string prog;
  TCommandLine commandLine;
  std::unique_ptr<TCommandLineScope> commandLineScope;

  explicit TStation(const std::string& dataFolder) : folder(dataFolder) {
    prog = folder + "prog/";
    std::filesystem::create_directories(prog);
    setenv("TESSARO_REGISTRY_ROOT", (prog + "registry").c_str(), 1);
    commandLine.Init({}, prog + "Tessaro");
    commandLineScope = std::make_unique<TCommandLineScope>(commandLine);
    TMandantState& state = MandantState();
    state.ProgramIniName = prog + "Tessaro.ini";
    state.DataRoot = folder;
    state.DataPath = folder;
    ResetLoginState();
    ResetWinGlue();
  }
  ~TStation() {
    ResetLoginState();
    ResetWinGlue();
  }
};

// The generated store with users to log in as; made once per process.
const TFixture& OpenFixture() {
  static bool made = false;
  TFixture& f = Fixture(kRecords);
  if (!made) {
    made = true;
    TMiniDB db;
    if (!db.Open(f.folder, "Data", "Tessaro")) std::abort();
    for (int n = 1; n <= kUsers; ++n) {
      const int32_t id = db.NewNamedRecord(icUser, "Benutzer " + std::to_string(n), "");
      db.SetField(id, "pw", "GEHEIM");
    }
    if (!db.Commit()) std::abort();
    db.Close();
    f.size = static_cast<int64_t>(std::filesystem::file_size(f.file));
  }
  return f;
}

double RawRead(const std::string& file) {
  auto t0 = Clock::now();
  std::string bytes;
  if (!ReadFileToString(file, bytes)) std::abort();
  benchmark::DoNotOptimize(bytes.data());
  return Seconds(t0, Clock::now());
}

double StoreOpen(const TFixture& f) {
  auto t0 = Clock::now();
  TMiniDB db;
  if (!db.Open(f.folder, "Data", "Tessaro")) std::abort();
  double t = Seconds(t0, Clock::now());
  benchmark::DoNotOptimize(db.LastID);
  return t;
}

double OpenAsProgram() {
  auto t0 = Clock::now();
  if (!OpenDataStore()) std::abort();
  const TLoginUserList users = ListLoginUsers(*SessionDB());
  double t = Seconds(t0, Clock::now());
  if (users.users.size() != static_cast<size_t>(kUsers)) std::abort();
  return t;
}

// ----- warm: one process opens again and again ------------------------------------------

void BM_StoreOpen(benchmark::State& state) {
  const TFixture& f = OpenFixture();
  double open = 0, raw = 0;
  for (auto _ : state) {
    double t = StoreOpen(f);
    state.SetIterationTime(t);
    open += t;
    state.PauseTiming();
    raw += RawRead(f.file);
    state.ResumeTiming();
  }
  state.counters["raw_read_ms"] = raw / static_cast<double>(state.iterations()) * 1e3;
  state.counters["vs_raw_read"] = open / raw;
}

void BM_OpenAsProgram(benchmark::State& state) {
  const TFixture& f = OpenFixture();
  TStation station(f.folder);
  OpenAsProgram();  // the folder's first open: the month's copy of the change log
  double open = 0, raw = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ResetLoginState();  // the previous client session closes its store
    state.ResumeTiming();
    double t = OpenAsProgram();
    state.SetIterationTime(t);
    open += t;
    state.PauseTiming();
    raw += RawRead(f.file);
    state.ResumeTiming();
  }
  state.counters["raw_read_ms"] = raw / static_cast<double>(state.iterations()) * 1e3;
  state.counters["vs_raw_read"] = open / raw;
}

// ----- cold: a fresh process each time --------------------------------------------------

// Runs this program as "--open-once <what> <folder>" and reads the reference's and the
// open's seconds from its output.
void RunOnce(const char* what, const std::string& folder, double& raw, double& open) {
  int out[2];
  if (pipe(out) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::vector<char*> argv = {self.data(), const_cast<char*>("--open-once"), const_cast<char*>(what),
                             const_cast<char*>(folder.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ) != 0) std::abort();
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(text.c_str(), "%lf %lf", &raw, &open) != 2)
    std::abort();
}

int OpenOnce(const std::string& what, const std::string& folder) {
  TFixture f;
  f.folder = folder;
  f.file = folder + "Data.ada";
  const double raw = RawRead(f.file);
  double open = 0;
  if (what == "store") {
    open = StoreOpen(f);
  } else {
    TStation station(folder);
    open = OpenAsProgram();
  }
  std::printf("%.9f %.9f\n", raw, open);
  return 0;
}

void OpenCold(benchmark::State& state, const char* what) {
  const TFixture& f = OpenFixture();
  {
    TStation station(f.folder);
    OpenAsProgram();  // the folder's first open: the month's copy of the change log
  }
  double open = 0, raw = 0;
  for (auto _ : state) {
    double r = 0, t = 0;
    RunOnce(what, f.folder, r, t);
    state.SetIterationTime(t);
    open += t;
    raw += r;
  }
  state.counters["raw_read_ms"] = raw / static_cast<double>(state.iterations()) * 1e3;
  state.counters["vs_raw_read"] = open / raw;
}

// ----- the sample client right after its run --------------------------------------------

// The sample client's folder (store and history as its run left them) and the store's
// three versions; made once per process.
struct TSampleRun {
  std::string folder;
  std::string afterRun, noHeader, fullHeader;
  size_t bookingLines = 0;
};

std::string ReadAllBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAllBytes(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReplaceHeaderLine(const std::string& bytes, const std::string& line) {
  const std::string key = std::string("\r\n") + kPendingHistoryHeader + "=";
  const size_t at = bytes.find(key);
  if (at == std::string::npos) return line.empty() ? bytes : bytes + line + "\r\n";
  const size_t end = bytes.find("\r\n", at + 2);
  return bytes.substr(0, at + 2) + (line.empty() ? "" : line + "\r\n") + bytes.substr(end + 2);
}

const TSampleRun& SampleRun() {
  static const TSampleRun run = [] {
    TSampleRun r;
    char tmpl[] = "/tmp/bench_open-XXXXXX";
    r.folder = std::string(mkdtemp(tmpl)) + "/";
    {
      TAccessProtectionRegistry registry;
      registry.SetSleeper([](int) {});
      TMiniDB db;
      db.Registry = &registry;
      db.StationKey = "bench";
      THistory history{&registry};
      history.SetFolder(r.folder);
      THistoryScope scope(history);
      if (!db.Open(r.folder, "Data", "Tessaro")) std::abort();
      if (GenerateSampleClient(db, kRecords, 1).Result != TBulkResult::Saved) std::abort();
      db.Close();
    }
    r.afterRun = ReadAllBytes(r.folder + "Data.ada");
    r.noHeader = ReplaceHeaderLine(r.afterRun, "");
    // Every booking line of the run, as the store's header held them before the run took
    // them out (and as a run killed right after writing them leaves them).
    std::vector<THistoryLine> lines;
    std::vector<TListedFile> files;
    ListFiles(r.folder, "*.alg", files);
    for (const TListedFile& file : files) {
      const std::string name = file.name.substr(file.name.rfind('/') + 1);
      std::vector<std::string> text;
      LoadTextFile(file.name, text);
      for (const std::string& line : text)
        if (line.rfind("a=Trans", 0) == 0) lines.push_back({name.substr(3, 4), line});
    }
    r.bookingLines = lines.size();
    if (lines.empty()) std::abort();
    r.fullHeader = ReplaceHeaderLine(
        r.afterRun, std::string(kPendingHistoryHeader) + "=" + EncodePendingHistory(lines));
    return r;
  }();
  return run;
}

void LoginAfterSampleRun(benchmark::State& state, const std::string TSampleRun::*version) {
  const TSampleRun& run = SampleRun();
  TStation station(run.folder);
  WriteAllBytes(run.folder + "Data.ada", run.*version);
  if (!OpenDataStore()) std::abort();  // the folder's first open: the month's copy
  double open = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ResetLoginState();
    WriteAllBytes(run.folder + "Data.ada", run.*version);
    state.ResumeTiming();
    const auto t0 = Clock::now();
    if (!OpenDataStore()) std::abort();
    benchmark::DoNotOptimize(ListLoginUsers(*SessionDB()).users.size());
    const double t = Seconds(t0, Clock::now());
    state.SetIterationTime(t);
    open += t;
  }
  state.counters["header_lines"] =
      version == &TSampleRun::fullHeader ? static_cast<double>(run.bookingLines) : 0;
  state.counters["store_mb"] = static_cast<double>((run.*version).size()) / 1e6;
}

void BM_LoginAfterRun(benchmark::State& state) {
  LoginAfterSampleRun(state, &TSampleRun::afterRun);
}
void BM_LoginNoHeader(benchmark::State& state) {
  LoginAfterSampleRun(state, &TSampleRun::noHeader);
}
void BM_LoginFullHeader(benchmark::State& state) {
  LoginAfterSampleRun(state, &TSampleRun::fullHeader);
}

void BM_StoreOpenCold(benchmark::State& state) { OpenCold(state, "store"); }
void BM_OpenAsProgramCold(benchmark::State& state) { OpenCold(state, "program"); }

}  // namespace

BENCHMARK(BM_StoreOpen)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAsProgram)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreOpenCold)
    ->Name("BM_StoreOpen/cold")
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAsProgramCold)
    ->Name("BM_OpenAsProgram/cold")
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_LoginAfterRun)
    ->Name("BM_LoginAfterSampleRun/after_run")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginNoHeader)
    ->Name("BM_LoginAfterSampleRun/no_header")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoginFullHeader)
    ->Name("BM_LoginAfterSampleRun/full_header")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--open-once") return OpenOnce(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
