// The record listing of a view as the user types into its search box: one keystroke is one
// refresh of a TListingFrame over a store of keys (class lists, filters, the search over
// every display name, the ordered list, the model reset, the suggestions of the search box),
// with the window's events processed as the program does (Qt offscreen platform).
//
// Terms (first argument):
//   0  "Schl"    matches every key (the whole list is ordered and shown)
//   1  "4711"    matches a handful
//   2  "Tor 12"  two terms, a few hundred matches
//   3  ""        empty search box: every key listed
// Keys in the store (second argument): 10,000, 100,000 or 200,000.
//
//   BM_Keystroke/t/n        a keystroke in a listing that has been typed in before: the
//                           term's last character typed (for the empty box: "S" deleted)
//   BM_FirstKeystroke/t/n   the first keystroke after the list's first fill: every iteration
//                           makes a new listing and fills it (the search box empty; for the
//                           empty term it held "4711"), untimed, then times the keystroke
//                           that changes the box to the term; the memory the process no
//                           longer uses is given back before (malloc_trim), so that the
//                           keystroke finds the heap as a program that just filled its
//                           first list does
//   BM_FirstFill/n          that first fill of a new listing, every key listed (the unused
//                           memory given back before, too); "heldPerKey" is what the
//                           filled listing holds on the heap, in bytes per key
//   BM_FillSearchList/t     the window glue's list filler alone (no listing, nothing kept),
//                           100,000 keys
//   BM_ModelFill            the listing's own share: 100,000 rows into the model and on
//                           screen
//
// The "faults" counter is the page faults of the process per timed keystroke.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <unistd.h>

#include "app/ListingFrameUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/ClientSessionUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"

namespace {

const char* const kTerms[] = {"Schl", "4711", "Tor 12", ""};

// The text in the search box before the keystroke of a warm listing: the term without its
// last character; the empty box is reached by deleting "S".
std::string WarmBefore(const std::string& term) {
  return term.empty() ? "S" : term.substr(0, term.size() - 1);
}

// The text a new listing is first filled with: the empty box, or "4711" before the box is
// cleared.
std::string FirstBefore(const std::string& term) { return term.empty() ? "4711" : ""; }

void WriteStore(const std::string& file, int keys) {
  std::mt19937 random(4711);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << keys << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  for (int i = 1; i <= keys; ++i) {
    items.clear();
    items.push_back("i=" + std::to_string(i));
    items.push_back("c=4");
    const std::string name = "Schluessel " + std::to_string(i) + " " + words[random() % 6] + " " +
                             std::to_string(random() % 100);
    items.push_back("n=" + ScrambleStr(name));
    items.push_back("ks=" + ScrambleStr(std::to_string(1 + i % 4)));
    items.push_back("kt=" + ScrambleStr(std::to_string(1 + i % 3)));
    out << BuildCommaText(items) << "\r\n";
  }
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

std::unique_ptr<TListingFrame> NewListing() {
  auto listing = std::make_unique<TListingFrame>(nullptr);
  listing->Setup(icKey, icKeyBunch, 300, 700);
  listing->SeekCombo->show();
  listing->show();
  return listing;
}

// Sets the search box without a refresh, as code does.
void SetBoxQuietly(TListingFrame& listing, const std::string& text) {
  listing.SeekTag = 1;
  listing.SeekCombo->setEditText(QString::fromLatin1(text.c_str()));
  listing.SeekTag = 0;
}

// The keystroke: the text changes and the change refreshes the list; then the view lays
// out and paints what is on screen.
void Type(TListingFrame& listing, const std::string& text) {
  listing.SeekCombo->setEditText(QString::fromLatin1(text.c_str()));
  QApplication::processEvents();
}

struct TBenchStore {
  int keys;
  std::filesystem::path dir;
  TMiniDB db;
  std::unique_ptr<TListingFrame> listing;

  explicit TBenchStore(int count) : keys(count) {
    dir = std::filesystem::temp_directory_path() /
          ("bench_listing_" + std::to_string(::getpid()) + "_" + std::to_string(count));
    std::filesystem::create_directories(dir);
    WriteStore((dir / "Data.ada").string(), count);
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
  }
  ~TBenchStore() {
    listing.reset();
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// The stores by size, each with its listing, made on first use and gone before the
// application object; the one in use is the session's.
std::map<int, std::unique_ptr<TBenchStore>> stores;
std::unique_ptr<TQtUserInteraction> ui;

TBenchStore& Store(int keys) {
  std::unique_ptr<TBenchStore>& s = stores[keys];
  if (!s) s = std::make_unique<TBenchStore>(keys);
  if (!ui) {
    ui = std::make_unique<TQtUserInteraction>();
    SetUserInteraction(ui.get());
  }
  ClientSession().LendStore(&s->db);
  if (!s->listing) s->listing = NewListing();
  return *s;
}

void DropStores() {
  stores.clear();
  ClientSession().LendStore(nullptr);
  SetUserInteraction(nullptr);
  ui.reset();
}

void Describe(benchmark::State& state, const std::string& term, const TBenchStore& s, int rows,
              long faults) {
  state.counters["rows"] = rows;
  state.counters["records"] = static_cast<double>(s.db.LastID);
  state.counters["faults"] =
      benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
  state.SetLabel(term.empty() ? "(empty)" : term);
}

void BM_Keystroke(benchmark::State& state) {
  TBenchStore& s = Store(static_cast<int>(state.range(1)));
  const std::string term = kTerms[state.range(0)];
  TListingFrame& listing = *s.listing;
  long faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SetBoxQuietly(listing, "#");
    Type(listing, WarmBefore(term));
    const long before = MinorFaults();
    state.ResumeTiming();
    Type(listing, term);
    state.PauseTiming();
    faults += MinorFaults() - before;
    state.ResumeTiming();
    benchmark::DoNotOptimize(listing.Count());
  }
  Describe(state, term, s, listing.Count(), faults);
}

void BM_FirstKeystroke(benchmark::State& state) {
  TBenchStore& s = Store(static_cast<int>(state.range(1)));
  const std::string term = kTerms[state.range(0)];
  std::unique_ptr<TListingFrame> listing;
  long faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    listing.reset();
    listing = NewListing();
    SetBoxQuietly(*listing, FirstBefore(term));
    listing->Refresh();
    QApplication::processEvents();
    malloc_trim(0);
    const long before = MinorFaults();
    state.ResumeTiming();
    Type(*listing, term);
    state.PauseTiming();
    faults += MinorFaults() - before;
    state.ResumeTiming();
    benchmark::DoNotOptimize(listing->Count());
  }
  Describe(state, term, s, listing ? listing->Count() : 0, faults);
}

void SizesAndTerms(benchmark::internal::Benchmark* b) {
  b->ArgsProduct({{0, 1, 2, 3}, {10000, 100000, 200000}})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Keystroke)->Apply(SizesAndTerms);
BENCHMARK(BM_FirstKeystroke)->Apply(SizesAndTerms);

void BM_FirstFill(benchmark::State& state) {
  TBenchStore& s = Store(static_cast<int>(state.range(0)));
  std::unique_ptr<TListingFrame> listing;
  long faults = 0;
  double held = 0;
  for (auto _ : state) {
    state.PauseTiming();
    listing.reset();
    listing = NewListing();
    QApplication::processEvents();
    malloc_trim(0);
    const size_t heap = mallinfo2().uordblks;
    const long before = MinorFaults();
    state.ResumeTiming();
    listing->Refresh();
    QApplication::processEvents();
    state.PauseTiming();
    faults += MinorFaults() - before;
    held = static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heap);
    state.ResumeTiming();
  }
  Describe(state, "", s, listing ? listing->Count() : 0, faults);
  // What the filled listing holds on the heap (rows, and what it keeps for the search),
  // per key listed.
  state.counters["heldPerKey"] = held / s.keys;
}
BENCHMARK(BM_FirstFill)->Arg(10000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The window glue's list filler alone, called as a listing without a cache of its own
// calls it.
void BM_FillSearchList(benchmark::State& state) {
  TBenchStore& s = Store(100000);
  const char* term = kTerms[state.range(0)];
  TItemList ids;
  s.db.ListClassValid(icKey, ids);
  size_t rows = 0;
  for (auto _ : state) {
    TQStringList suggestions;
    const int counter = 0;
    std::unique_ptr<TQStringList> list =
        FillSearchList(icKey, ids, term, &suggestions, &counter, ksAll, 0, false);
    rows = list ? static_cast<size_t>(list->Count()) : 0;
    benchmark::DoNotOptimize(rows);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.SetLabel(*term ? term : "(empty)");
}
BENCHMARK(BM_FillSearchList)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The listing's own share when every key is listed: 100,000 rows into the model in one
// reset, and the view laying out and painting the rows on screen.
void BM_ModelFill(benchmark::State& state) {
  TBenchStore& s = Store(100000);
  std::vector<TListRow> rows;
  rows.reserve(static_cast<size_t>(s.keys));
  for (int i = 1; i <= s.keys; ++i) rows.push_back({s.db.GetValidDisplayName(i), i});
  for (auto _ : state) {
    s.listing->Model->SetRows(rows);
    QApplication::processEvents();
    benchmark::DoNotOptimize(s.listing->Count());
  }
  state.counters["rows"] = s.listing->Count();
}
BENCHMARK(BM_ModelFill)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DropStores();
  return 0;
}
