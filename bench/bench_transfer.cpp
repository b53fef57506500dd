// One key issue (ExecuteTransfer) against the physical work it cannot avoid: writing the
// whole store safely once (the same bytes to a "~" file, fsync, rename, fsync of the
// folder) and, with the history on, appending one synced line, measured in the same run on
// the same folder.
//
// Stores of 10,000 and 100,000 records: keys with stock counters and links to a cabinet,
// persons, doors. Each iteration issues one piece of another key to another person (1,000
// pairs in turn), so holder lines and link lists stay small. Counters: the ratio to the raw
// write, and how often a booking read the file again (it never should: nobody else wrote).
// The second argument 0 switches the history off, which shows what its line (one append
// with its own fsync) adds to the booking.
//
// With the widgets (BENCH_TRANSFER_VIEW): the same issue from the issue-and-return view's
// "Ausführen" until booked (no receipt, no overview, no pad; no other view registered),
// against ExecuteTransfer of the same booking in the same run. The view's booking also
// draws the operation's receipt number in that save.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "basic/FileCtrl2.h"
#include "basic/ValueString.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/MiniDBUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"

#ifdef BENCH_TRANSFER_VIEW
#include <QApplication>
#include <QCheckBox>

#include "app/UnitTR100Win.h"
#include "data/ClientSessionUnit.h"
#include "data/UserRights.h"
#include "views/FrameTransferUnit.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

constexpr int32_t kPairs = 1000;

struct TFixture {
  std::string folder;
  std::string file;
  int32_t records = 0;
  // IDs: 1 the cabinet, 2 .. 1 + kPairs keys, then kPairs persons, then doors.
  int32_t FirstKey() const { return 2; }
  int32_t FirstPerson() const { return 2 + kPairs; }
};

std::string Quote(const std::string& item) {
  std::string out;
  AppendCommaItem(out, item);
  return out;
}

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
  char tmpl[] = "/tmp/bench_transfer-XXXXXX";
  f.folder = std::string(mkdtemp(tmpl)) + "/";
  f.file = f.folder + "Data.ada";
  f.records = records;
  std::vector<std::string> lines = {"\x01", "LastID=" + std::to_string(records), "FileTitle=",
                                    "AppName=Tessaro", "AppOptions=",
                                    "KeysystemNames=Hauptanlage"};
  for (int32_t id = 1; id <= records; ++id) {
    std::string line = "i=" + std::to_string(id);
    auto field = [&](const std::string& key, const std::string& value) {
      line += "," + Quote(key + "=" + ScrambleStr(value));
    };
    if (id == 1) {
      line += ",c=8";
      field("n", "Hauptschrank");
    } else if (id < f.FirstPerson()) {
      line += ",c=4";
      field("n", "S " + std::to_string(id));
      field("ks", "1");
      field("cnt", "1000000");
      field("total", "1000000");
      line += ",l8=1," + Quote("o1=" + ScrambleStr("ct=1000000,tl=1000000"));
    } else if (id < f.FirstPerson() + kPairs) {
      line += ",c=5";
      field("n", "Person " + std::to_string(id));
      field("Abt", "Abteilung " + std::to_string(id % 20));
      field("Nr", std::to_string(10000 + id));
    } else {
      line += ",c=3";
      field("n", "Raum " + std::to_string(id));
      field("flr", std::to_string(id % 5));
      field("ks", "1");
    }
    field("GUID", "0000." + std::to_string(id));
    lines.push_back(std::move(line));
  }
  if (!SaveTextFileSafe(lines, f.file, false)) std::abort();
  return f;
}

// The reference: the store's bytes written safely to a file beside it.
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

// The reference for the history: one line of a booking's length appended and synced.
double RawAppend(const TFixture& f) {
  static const std::string line = "a=Trans2,d=2026-12-11,d2=2026-12-11 10:00,o=" +
                                  std::string(90, 'x') + "\r\n";
  const std::string target = f.folder + "raw.alg";
  auto t0 = Clock::now();
  int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
    std::abort();
  ::fsync(fd);
  ::close(fd);
  return Seconds(t0, Clock::now());
}

// A workstation on the fixture's folder: its store and its history there.
struct TBookingStation {
  TAccessProtectionRegistry registry;
  THistory history{&registry};
  THistoryScope historyScope{history};
  std::unique_ptr<TMiniDB> db = std::make_unique<TMiniDB>();

  explicit TBookingStation(const TFixture& f) {
    db->Registry = &registry;
    db->StationKey = "bench";
    if (!db->Open(f.folder, "Data", "Tessaro")) std::abort();
    history.SetFolder(f.folder);
  }
};

// An issue of one piece of the pair's key to the pair's person from the cabinet.
TTransferRecord IssueOfPair(const TFixture& f, TMiniDB& db, int32_t pair,
                            const std::string& receiptNo) {
  TTransferRecord r;
  r.Kind = tkIssue;
  r.KeyId = f.FirstKey() + pair;
  r.Keys.Add(r.KeyId);
  r.Quantity = 1;
  r.ReceiptNo = receiptNo;
  SetTransferOwners(db, r, f.FirstPerson() + pair, 1);
  r.CabinetId = 1;
  return r;
}

void BM_IssueBooking(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  TBookingStation station(f);
  TMiniDB* db = station.db.get();
  station.history.Enable(state.range(1) != 0);
  double booking = 0, raw = 0, rawAppend = 0;
  int64_t n = 0;
  const int32_t loadsBefore = db->LoadCount;
  for (auto _ : state) {
    const int32_t pair = static_cast<int32_t>(n % kPairs);
    TTransferRecord r = IssueOfPair(f, *db, pair, std::to_string(n));
    auto t0 = Clock::now();
    if (!ExecuteTransfer(*db, r)) std::abort();
    double t = Seconds(t0, Clock::now());
    state.SetIterationTime(t);
    booking += t;
    state.PauseTiming();
    std::string bytes;
    ReadFileToString(f.file, bytes);
    raw += RawWrite(f, bytes);
    if (state.range(1) != 0) rawAppend += RawAppend(f);
    state.ResumeTiming();
    ++n;
  }
  state.counters["raw_write_ms"] = raw / n * 1e3;
  state.counters["vs_raw_write"] = booking / raw;
  // Everything a booking cannot do without: the store's safe write and, with the history,
  // its line appended and synced.
  state.counters["vs_raw_ops"] = booking / (raw + rawAppend);
  state.counters["rereads"] = db->LoadCount - loadsBefore;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(f.file)) / 1e6;
}

#ifdef BENCH_TRANSFER_VIEW
void BM_ViewIssue(benchmark::State& state) {
  const TFixture& f = Fixture(static_cast<int32_t>(state.range(0)));
  TBookingStation station(f);
  TMiniDB* db = station.db.get();
  ResetViewRegistry();
  ResetSession();
  ClientSession().LendStore(db);
  Session().LoggedIn = true;
  Session().RightLevels.fill(rlYes);
  ResetTransferRec();
  double viewTime = 0, executeTime = 0;
  int64_t n = 0;
  {
    TFrameTransfer view(nullptr);
    RegisterView(pgIssueReturn, &view);
    const int32_t loadsBefore = db->LoadCount;
    for (auto _ : state) {
      const int32_t pair = static_cast<int32_t>(n % kPairs);
      const int32_t key = f.FirstKey() + pair, person = f.FirstPerson() + pair;
      TTransferStartRequest request;
      request.kind = tkIssue;
      request.holderId = person;
      request.keys = {key};
      if (!view.StartTransfer(request)) std::abort();
      view.PrintCheck->setChecked(false);
      view.BestandCheck->setChecked(false);
      view.getSignatureCheck->setChecked(false);
      // The same booking without the view, before or after it in turn, so neither finds
      // the caches the other warmed more often.
      auto execute = [&] {
        TTransferRecord r = IssueOfPair(f, *db, pair, "0001");
        const auto t0 = Clock::now();
        if (!ExecuteTransfer(*db, r)) std::abort();
        executeTime += Seconds(t0, Clock::now());
      };
      if (n % 2 == 1) execute();
      const auto t0 = Clock::now();
      if (!view.TransferApplyBtnClick()) std::abort();
      const double t = Seconds(t0, Clock::now());
      state.SetIterationTime(t);
      viewTime += t;
      if (n % 2 == 0) execute();
      ++n;
    }
    state.counters["execute_ms"] = executeTime / n * 1e3;
    state.counters["vs_execute"] = viewTime / executeTime;
    state.counters["rereads"] = db->LoadCount - loadsBefore;
    UnregisterView(pgIssueReturn, &view);
  }
  ResetTransferRec();
  ResetSession();
}
#endif

}  // namespace

BENCHMARK(BM_IssueBooking)
    ->ArgNames({"records", "history"})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

#ifdef BENCH_TRANSFER_VIEW
BENCHMARK(BM_ViewIssue)
    ->ArgNames({"records"})
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#endif

int main(int argc, char** argv) {
#ifdef BENCH_TRANSFER_VIEW
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
