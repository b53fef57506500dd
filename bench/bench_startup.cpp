// From the start of the program to a usable login window, as a user waits for it: a fresh
// process of the program (the end-to-end driver's build, which says "ready" once the login
// page is shown, OK is enabled and the users are listed) on a data folder named by the
// settings file beside it, as an installed program finds it.
//
// Baseline, measured in the same run: a fresh process that starts, reads the store file
// whole and ends (this benchmark program itself, started with "--read-store FILE").
// Stores: one with a single user, and the store benchmarks' generated 100,000 records with
// that user added.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StoreGenerator.h"
#include "data/AccessProtection.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A data folder with its store and one user, and a program folder naming it.
struct TStartFolder {
  std::string data, program, store;
};

TStartFolder& StartFolder(int32_t records) {
  static std::map<int32_t, TStartFolder> folders;
  auto it = folders.find(records);
  if (it != folders.end()) return it->second;
  TStartFolder& f = folders[records];
  std::string dataFolder;
  if (records > 0) {
    dataFolder = Fixture(records).folder;
  } else {
    char tmpl[] = "/tmp/bench_startup-XXXXXX";
    dataFolder = std::string(mkdtemp(tmpl)) + "/";
  }
  f.data = dataFolder;
  f.store = dataFolder + "Data.ada";
  {
    TAccessProtectionRegistry registry;
    TMiniDB db;
    db.Registry = &registry;
    db.StationKey = "bench";
    if (!db.Open(dataFolder, "Data", "Tessaro")) std::abort();
    db.NewNamedRecord(icUser, "Anna", "");
    if (!db.Commit()) std::abort();
    db.Close();
  }
  f.program = dataFolder + "program/";
  std::filesystem::create_directories(f.program);
  std::ofstream(f.program + "Tessaro").put('\n');
  std::ofstream(f.program + "Tessaro.ini") << "DataPath=" << dataFolder << "\r\n";
  return f;
}

// Starts `argv` with `env` added to this process's environment; the read end of its
// standard output in `out`.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int& out) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envText(env);
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) std::abort();
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  out = pipeFds[0];
  return pid;
}

// Seconds until the process says `line` (or ends, when `line` is empty); then it is ended.
double RunUntil(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::string& line) {
  const auto t0 = Clock::now();
  int out = -1;
  const pid_t pid = Spawn(argv, env, out);
  std::string seen;
  char buffer[256];
  bool said = line.empty();
  while (!said) {
    const ssize_t n = read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    said = seen.find(line + "\n") != std::string::npos;
  }
  if (line.empty()) {
    while (read(out, buffer, sizeof buffer) > 0) {
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  close(out);
  if (!line.empty()) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!said) {
    std::fprintf(stderr, "the program ended without \"%s\": %s\n", line.c_str(), seen.c_str());
    std::abort();
  }
  return seconds;
}

void BM_StartToLogin(benchmark::State& state) {
#ifndef TESSARO_AUTOMATED_PROGRAM
  state.SkipWithError("built without the end-to-end driver's program");
#else
  const TStartFolder& f = StartFolder(static_cast<int32_t>(state.range(0)));
  const std::string instances = f.data + "instances/";
  const std::string registry = f.data + "registry/";
  std::filesystem::create_directories(instances);
  const std::vector<std::string> env = {
      "QT_QPA_PLATFORM=offscreen", "TESSARO_AUTOMATION_SCENARIO=startup",
      "TESSARO_INSTANCE_DIR=" + instances, "TESSARO_REGISTRY_ROOT=" + registry};
  const std::vector<std::string> program = {TESSARO_AUTOMATED_PROGRAM,
                                            "ActAsOriginExe:" + f.program + "Tessaro"};
  const std::vector<std::string> reader = {"/proc/self/exe", "--read-store", f.store};
  double start = 0, raw = 0;
  int64_t n = 0;
  for (auto _ : state) {
    const double t = RunUntil(program, env, "ready");
    state.SetIterationTime(t);
    start += t;
    state.PauseTiming();
    raw += RunUntil(reader, {}, "");
    state.ResumeTiming();
    ++n;
  }
  state.counters["raw_read_ms"] = raw / static_cast<double>(n) * 1e3;
  state.counters["vs_raw_read"] = start / raw;
  state.counters["store_MB"] = static_cast<double>(std::filesystem::file_size(f.store)) / 1e6;
#endif
}

}  // namespace

BENCHMARK(BM_StartToLogin)
    ->ArgName("records")
    ->Arg(0)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // The baseline's process: the store file read whole, nothing else.
  if (argc == 3 && std::string(argv[1]) == "--read-store") {
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.empty() ? 1 : 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
