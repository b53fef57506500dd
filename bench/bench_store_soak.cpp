// Soak: several workstations write one shared store at the same time, without a pause, for
// a given time. Each station is a process of its own (fork) with the program's reservation
// registry and its own station key, and loops a mix of the writes a busy counter makes:
// a field of a door changed and saved, a new person, a key delivered, issued or returned.
// Every operation is one write under the write reservation, taken before the operation
// begins (the operation's own reservations nest inside it), so the time of that Reserve
// call is the time the station waited for the reservation.
//
// What one run reports: operations per second of all stations together, the longest
// reservation wait (refused attempts included: the user waited that long for "no"),
// operations refused for lack of the reservation, the operations of the slowest and the
// fastest station and their ratio (the label lists every station's operations); besides,
// the longest wait that ended with the reservation held. What counts as fair: no operation
// refused, no wait of 1.5 s or more, the slowest station at least half as many operations
// as the fastest.
//
// The figures are checked against the file afterwards: every new record a station was told
// was saved is there with its name, no ID stands on two lines, the last value each station
// saved into its own field of a door is the door's value, and the key counters add up.
//
// TESSARO_SOAK_SECONDS (default 60) and TESSARO_SOAK_STATIONS (default 8) set the run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "basic/BasicsUnit.h"
#include "basic/FileCtrl2.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "basic/ValueString.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/HolderUnit.h"
#include "data/MiniDBUnit.h"
#include "data/StoreWriteUnit.h"
#include "data/TransferUnit.h"
#include "data/UnitTR100.h"

namespace {

using Clock = std::chrono::steady_clock;

// A small client's store: one cabinet, keys with stock and a link to the cabinet, persons,
// doors (about 0.3 MB, so one safe save costs what it costs at a customer's, not nothing).
constexpr int32_t kCabinet = 1;
constexpr int32_t kKeys = 500;
constexpr int32_t kPersons = 1500;
constexpr int32_t kDoors = 3000;
constexpr int32_t kFirstKey = 2;
constexpr int32_t kFirstPerson = kFirstKey + kKeys;
constexpr int32_t kFirstDoor = kFirstPerson + kPersons;
constexpr int32_t kRecords = kFirstDoor + kDoors - 1;
constexpr int64_t kStartStock = 1000000;

int EnvInt(const char* name, int fallback) {
  if (const char* text = std::getenv(name)) {
    const int n = StrToIntZero(text);
    if (n > 0) return n;
  }
  return fallback;
}

std::string Quote(const std::string& item) {
  std::string out;
  AppendCommaItem(out, item);
  return out;
}

bool WriteStore(const std::string& file) {
  std::vector<std::string> lines = {"\x01",        "LastID=" + std::to_string(kRecords),
                                    "FileTitle=",  "AppName=Tessaro",
                                    "AppOptions=", "KeysystemNames=Hauptanlage"};
  const std::string stock = std::to_string(kStartStock);
  for (int32_t id = 1; id <= kRecords; ++id) {
    std::string line = "i=" + std::to_string(id);
    auto field = [&](const std::string& key, const std::string& value) {
      line += "," + Quote(key + "=" + ScrambleStr(value));
    };
    if (id == kCabinet) {
      line += ",c=8";
      field("n", "Hauptschrank");
    } else if (id < kFirstPerson) {
      line += ",c=4";
      field("n", "S " + std::to_string(id));
      field("ks", "1");
      field(fkStock, stock);
      field(fkTotal, stock);
      line += ",l8=1," + Quote("o1=" + ScrambleStr("ct=" + stock + ",tl=" + stock));
    } else if (id < kFirstDoor) {
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
  return SaveTextFileSafe(lines, file, false);
}

// Messages are counted, never shown; questions get their safe answer.
class TCountingUI : public IUserInteraction {
 public:
  int messages = 0;
  void ShowMessage(TMsgKind, const std::string&) override { ++messages; }
  int Ask(TMsgKind, const std::string&, TAskButtons) override {
    ++messages;
    return mrNo;
  }
  int AskButtons(const std::string&, const std::string&, const std::string&, bool,
                 const std::string&) override {
    ++messages;
    return 0;
  }
  bool InputText(const std::string&, std::string&, bool) override { return false; }
  void ProcessPendingEvents() override {}
};

// One station's figures, as its result file carries them.
struct TFigures {
  int64_t ops = 0;        // operations done (saved)
  int64_t refused = 0;    // no reservation within Reserve's attempts
  int64_t failed = 0;     // reservation held, operation not done (locked, refused, save)
  int64_t messages = 0;   // messages the store and the booking wanted to show
  int64_t waitMaxNs = 0;  // longest Reserve call, refused ones included
  int64_t heldMaxNs = 0;  // longest Reserve call that got the reservation
  int64_t waitSumNs = 0;
  int64_t waitSlept = 0;  // Reserve calls that had to wait at least once (>= 250 ms)
  int64_t holdSumNs = 0;  // time the operations held the reservation
  int64_t activeNs = 0;   // from the start signal to the end of the last operation
  int64_t delivered = 0;  // pieces delivered by bookings done
};

std::string EditField(int station) { return "soak" + std::to_string(station); }

std::string ResultFile(const std::string& folder, int station) {
  return folder + "result-" + std::to_string(station) + ".txt";
}

// One workstation: waits for the start signal, then writes until the time is up. Runs in
// the child process only; returns its exit code.
int RunStation(const std::string& folder, int station, double seconds, int readyFd, int goFd) {
  TCountingUI ui;
  TUserInteractionScope uiScope(ui);
  TMiniDB db;
  db.StationKey = "Soak" + std::to_string(station);
  bool opened = false;
  for (int t = 0; !opened && t < 100; ++t) opened = db.Open(folder, "Data", "Tessaro");
  if (!opened) return 10;
  THistory history;
  THistoryScope historyScope(history);
  history.SetFolder(folder);

  char byte = 1;
  if (write(readyFd, &byte, 1) != 1) return 11;
  close(readyFd);
  if (read(goFd, &byte, 1) < 0) return 12;  // EOF: the parent let everybody go
  close(goFd);

  std::mt19937 random(4711 + station);
  auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  TFigures f;
  std::vector<std::pair<int32_t, std::string>> created;  // ID and tag of each new person
  std::map<int32_t, std::string> lastEdit;               // door -> value saved last into EditField
  const std::string field = EditField(station);
  const Clock::time_point start = Clock::now();
  const Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Clock::time_point last = start;
  for (int64_t n = 0; Clock::now() < end; ++n) {
    const int what = pick(10);
    const std::string tag = "P" + std::to_string(station) + "-" + std::to_string(n);
    int ticket = -1;
    const Clock::time_point t0 = Clock::now();
    const bool held = db.Reserve(ticket);
    const Clock::time_point t1 = Clock::now();
    const int64_t waited = std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count();
    f.waitMaxNs = std::max(f.waitMaxNs, waited);
    f.waitSumNs += waited;
    if (waited >= 250000000) ++f.waitSlept;
    if (held) f.heldMaxNs = std::max(f.heldMaxNs, waited);
    if (!held) {
      ++f.refused;
      last = Clock::now();
      continue;
    }
    bool done = false;
    if (what < 4) {
      // A remark-like field of a door, as an edit view saves it.
      const int32_t door = kFirstDoor + pick(kDoors);
      TStoreWrite write(db, {door});
      if (write.Ok()) {
        db.SetField(door, field, tag);
        done = write.Commit();
      }
      if (done) lastEdit[door] = tag;
    } else if (what < 6) {
      const int32_t id = db.NewNamedRecord(icPerson, "Soak " + tag, "");
      done = id > 0 && db.Commit();
      if (done) created.emplace_back(id, tag);
    } else {
      TTransferRecord r;
      r.KeyId = kFirstKey + pick(kKeys);
      r.Kind = what == 6 ? tkDelivery : tkIssue;
      const int32_t person = kFirstPerson + pick(kPersons);
      if (what == 9) {
        // A return of a holding the key has now (the booking rereads under this same
        // reservation, so the holding is still there when it books).
        db.Load();
        for (const THolderEntry& e : LoadHolderRecs(db, r.KeyId, false))
          if (e.Kind == okPerson) {
            r.Kind = tkReturn;
            SetTransferOwners(db, r, e.HolderId, kCabinet);
            r.HoldingDate = e.FirstDate;
            r.HoldingReceiptNo = e.ReceiptNo;
            break;
          }
      }
      if (r.Kind != tkReturn) {
        SetTransferOwners(db, r, r.Kind == tkDelivery ? 0 : person, kCabinet);
        r.ReceiptNo = tag;
      }
      r.CabinetId = kCabinet;
      r.Quantity = r.Kind == tkDelivery ? 1 + pick(3) : 1;
      r.Remark = tag;
      const int32_t quantity = r.Quantity;
      const bool delivery = r.Kind == tkDelivery;
      done = BookTransfer(db, r) == TTransferResult::Booked;
      if (done && delivery) f.delivered += quantity;
    }
    db.Release(ticket);
    last = Clock::now();
    f.holdSumNs += std::chrono::duration_cast<std::chrono::nanoseconds>(last - t1).count();
    if (done)
      ++f.ops;
    else
      ++f.failed;
  }
  f.activeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(last - start).count();
  f.messages = ui.messages;

  std::ofstream out(ResultFile(folder, station), std::ios::binary);
  out << f.ops << ' ' << f.refused << ' ' << f.failed << ' ' << f.messages << ' ' << f.waitMaxNs
      << ' ' << f.heldMaxNs << ' ' << f.waitSumNs << ' ' << f.waitSlept << ' ' << f.holdSumNs << ' '
      << f.activeNs << ' ' << f.delivered << "\r\n";
  for (const auto& [id, tag] : created) out << "c " << id << ' ' << tag << "\r\n";
  for (const auto& [door, value] : lastEdit) out << "e " << door << ' ' << value << "\r\n";
  out.close();
  if (!out) return 13;
  db.Close();
  return 0;
}

struct TStationResult {
  TFigures f;
  std::vector<std::pair<int32_t, std::string>> created;  // ID and tag of each new person
  std::map<int32_t, std::string> lastEdit;
};

bool ReadResult(const std::string& file, TStationResult& r) {
  std::ifstream in(file, std::ios::binary);
  TFigures& f = r.f;
  if (!(in >> f.ops >> f.refused >> f.failed >> f.messages >> f.waitMaxNs >> f.heldMaxNs >>
        f.waitSumNs >> f.waitSlept >> f.holdSumNs >> f.activeNs >> f.delivered))
    return false;
  std::string kind, value;
  int32_t id = 0;
  while (in >> kind) {
    if (kind == "c" && in >> id >> value)
      r.created.emplace_back(id, value);
    else if (kind == "e" && in >> id >> value)
      r.lastEdit[id] = value;
    else
      return false;
  }
  return true;
}

// Reads the store back as a fresh workstation would and compares it with what the
// stations were told. Empty when everything is there; else what is wrong.
std::string CheckStore(const std::string& folder, const std::vector<TStationResult>& results,
                       int32_t& records) {
  TAccessProtectionRegistry registry;
  registry.SetSleeper([](int) {});
  TMiniDB db;
  db.Registry = &registry;
  db.StationKey = "SoakCheck";
  db.NoSave = true;
  if (!db.Open(folder, "Data", "Tessaro")) return "the store does not open again";
  TItemList all;
  db.ListAll(all, false);
  records = all.Count();
  std::set<int32_t> seen;
  std::vector<std::string> scratch;
  for (size_t n = 1; n < db.Lines.size(); ++n) {
    TLineInfo info;
    ScanRecordLine(db.Lines[n], scratch, info);
    if (info.id > 0 && !seen.insert(info.id).second)
      return "ID " + std::to_string(info.id) + " stands on two lines";
  }
  int64_t created = 0, delivered = 0;
  for (size_t s = 0; s < results.size(); ++s) {
    created += static_cast<int64_t>(results[s].created.size());
    delivered += results[s].f.delivered;
    for (const auto& [id, tag] : results[s].created)
      if (db.GetClass(id) != icPerson || db.ReadName(id) != "Soak " + tag)
        return "new record " + std::to_string(id) + " (" + tag + ") is missing or changed";
    const std::string field = EditField(static_cast<int>(s));
    for (const auto& [door, value] : results[s].lastEdit)
      if (db.ReadLineField(door, field) != value)
        return "door " + std::to_string(door) + " lost the edit " + value;
  }
  if (records != kRecords + created)
    return std::to_string(records) + " records, expected " + std::to_string(kRecords + created);
  int64_t totals = 0;
  for (int32_t key = kFirstKey; key < kFirstPerson; ++key) {
    const int64_t total = StrToIntZero(db.ReadLineField(key, fkTotal));
    const int64_t stock = StrToIntZero(db.ReadLineField(key, fkStock));
    if (total != stock + BookedCount(db, key))
      return "key " + std::to_string(key) + ": total, stock and holdings disagree";
    totals += total;
  }
  if (totals != kKeys * kStartStock + delivered) return "the key totals miss deliveries";
  return "";
}

void BM_StoreSoak(benchmark::State& state) {
  const int stations = EnvInt("TESSARO_SOAK_STATIONS", 8);
  const double seconds = EnvInt("TESSARO_SOAK_SECONDS", 60);
  for (auto _ : state) {
    char tmpl[] = "/tmp/bench_store_soak-XXXXXX";
    if (!mkdtemp(tmpl)) {
      state.SkipWithError("no temporary folder");
      return;
    }
    const std::string folder = std::string(tmpl) + "/";
    struct TRemove {
      std::string folder;
      ~TRemove() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
      }
    } remove{folder};
    if (!WriteStore(folder + "Data.ada")) {
      state.SkipWithError("the store could not be written");
      return;
    }

    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) {
      state.SkipWithError("no pipe");
      return;
    }
    std::fflush(nullptr);  // nothing buffered may be written twice
    std::vector<pid_t> children;
    for (int s = 0; s < stations; ++s) {
      const pid_t pid = fork();
      if (pid == 0) {
        // The child never returns into the benchmark library.
        close(ready[0]);
        close(go[1]);
        int code = 20;
        try {
          code = RunStation(folder, s, seconds, ready[1], go[0]);
        } catch (...) {
          code = 21;
        }
        _exit(code);
      }
      if (pid < 0) break;
      children.push_back(pid);
    }
    close(ready[1]);
    close(go[0]);
    // Everybody has opened the store before the clock starts.
    int readyCount = 0;
    char byte;
    while (readyCount < static_cast<int>(children.size()) && read(ready[0], &byte, 1) == 1)
      ++readyCount;
    close(ready[0]);
    close(go[1]);  // the start signal
    std::string error;
    if (static_cast<int>(children.size()) != stations) error = "fork failed";
    for (size_t s = 0; s < children.size(); ++s) {
      int status = 0;
      if (waitpid(children[s], &status, 0) != children[s] || !WIFEXITED(status) ||
          WEXITSTATUS(status) != 0)
        error = "station " + std::to_string(s) + " ended with " +
                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }

    std::vector<TStationResult> results(stations);
    for (int s = 0; s < stations; ++s)
      if (!ReadResult(ResultFile(folder, s), results[s])) {
        state.SkipWithError(("no figures from station " + std::to_string(s)).c_str());
        return;
      }
    int32_t records = 0;
    error = CheckStore(folder, results, records);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }

    TFigures sum;
    int64_t slowest = INT64_MAX, fastest = 0;
    std::string perStation;
    for (const TStationResult& r : results) {
      perStation += (perStation.empty() ? "" : "/") + std::to_string(r.f.ops);
      sum.heldMaxNs = std::max(sum.heldMaxNs, r.f.heldMaxNs);
      sum.ops += r.f.ops;
      sum.refused += r.f.refused;
      sum.failed += r.f.failed;
      sum.messages += r.f.messages;
      sum.waitMaxNs = std::max(sum.waitMaxNs, r.f.waitMaxNs);
      sum.waitSumNs += r.f.waitSumNs;
      sum.waitSlept += r.f.waitSlept;
      sum.holdSumNs += r.f.holdSumNs;
      sum.activeNs = std::max(sum.activeNs, r.f.activeNs);
      slowest = std::min(slowest, r.f.ops);
      fastest = std::max(fastest, r.f.ops);
    }
    const double active = static_cast<double>(sum.activeNs) * 1e-9;
    const int64_t attempts = sum.ops + sum.refused + sum.failed;
    state.SetIterationTime(active);
    state.counters["stations"] = stations;
    state.counters["ops_per_s"] = static_cast<double>(sum.ops) / active;
    state.counters["max_wait_ms"] = static_cast<double>(sum.waitMaxNs) * 1e-6;
    state.counters["max_wait_held_ms"] = static_cast<double>(sum.heldMaxNs) * 1e-6;
    state.counters["mean_wait_ms"] = static_cast<double>(sum.waitSumNs) * 1e-6 /
                                     static_cast<double>(std::max<int64_t>(attempts, 1));
    state.counters["waited_300ms"] = static_cast<double>(sum.waitSlept);
    state.counters["mean_hold_ms"] =
        static_cast<double>(sum.holdSumNs) * 1e-6 /
        static_cast<double>(std::max<int64_t>(sum.ops + sum.failed, 1));
    state.counters["refused"] = static_cast<double>(sum.refused);
    state.counters["failed"] = static_cast<double>(sum.failed);
    state.counters["messages"] = static_cast<double>(sum.messages);
    state.counters["slowest_ops"] = static_cast<double>(slowest);
    state.counters["fastest_ops"] = static_cast<double>(fastest);
    state.counters["slow_to_fast"] =
        fastest > 0 ? static_cast<double>(slowest) / static_cast<double>(fastest) : 0;
    state.counters["records"] = records;
    state.SetLabel("wait = the Reserve call before each operation; ops per station " + perStation);
  }
}

}  // namespace

BENCHMARK(BM_StoreSoak)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
