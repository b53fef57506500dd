// The record listing of a view as the user types into its search box: one keystroke is one
// refresh of a TListingFrame over 100,000 keys (class list, filters, the search over every
// display name, the sorted list, the model reset, the suggestions of the search box), with
// the window's events processed as the program does (Qt offscreen platform).
//
//   BM_Keystroke/0  "Schl"    matches every key (the whole list is sorted and shown)
//   BM_Keystroke/1  "4711"    matches a handful
//   BM_Keystroke/2  "Tor 12"  two terms, a few hundred matches
//   BM_Keystroke/3  ""        empty search box: every key listed
//   BM_FillSearchList/n       the window glue's list filler alone, same terms
//   BM_ModelFill              the listing's own share: 100,000 rows into the model and on screen

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

constexpr int kKeys = 100000;

const char* const kTerms[] = {"Schl", "4711", "Tor 12", ""};

void WriteStore(const std::string& file) {
  std::mt19937 random(4711);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << kKeys << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  for (int i = 1; i <= kKeys; ++i) {
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

struct TBenchListing {
  std::filesystem::path dir;
  TMiniDB db;
  TQtUserInteraction ui;
  TListingFrame listing{nullptr};

  TBenchListing() {
    dir = std::filesystem::temp_directory_path() /
          ("bench_listing_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    WriteStore((dir / "Data.ada").string());
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
    ClientSession().LendStore(&db);
    SetUserInteraction(&ui);
    listing.Setup(icKey, icKeyBunch, 300, 700);
    listing.SeekCombo->show();
    listing.show();
  }
  ~TBenchListing() {
    SetUserInteraction(nullptr);
    ClientSession().LendStore(nullptr);
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// Made on first use, gone before the application object.
std::unique_ptr<TBenchListing> listing;

TBenchListing& Listing() {
  if (!listing) listing = std::make_unique<TBenchListing>();
  return *listing;
}

void BM_Keystroke(benchmark::State& state) {
  TBenchListing& s = Listing();
  const char* term = kTerms[state.range(0)];
  for (auto _ : state) {
    state.PauseTiming();
    s.listing.SeekTag = 1;  // code sets the text: no refresh
    s.listing.SeekCombo->setEditText(QStringLiteral("#"));
    s.listing.SeekTag = 0;
    state.ResumeTiming();
    // The keystroke: the text changes and the change refreshes the list.
    if (*term) {
      s.listing.SeekCombo->setEditText(QString::fromLatin1(term));
    } else {
      s.listing.SeekTag = 1;
      s.listing.SeekCombo->setEditText(QString());
      s.listing.SeekTag = 0;
      s.listing.Refresh();
    }
    QApplication::processEvents();  // the view lays out and paints what is on screen
    benchmark::DoNotOptimize(s.listing.Count());
  }
  state.counters["rows"] = s.listing.Count();
  state.counters["records"] = static_cast<double>(s.db.LastID);
  state.SetLabel(*term ? term : "(empty)");
}
BENCHMARK(BM_Keystroke)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The share of the window glue's list filler (search, list texts, order, suggestions) in a
// keystroke, called as the listing calls it.
void BM_FillSearchList(benchmark::State& state) {
  TBenchListing& s = Listing();
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
  TBenchListing& s = Listing();
  std::vector<TListRow> rows;
  rows.reserve(kKeys);
  for (int i = 1; i <= kKeys; ++i) rows.push_back({s.db.GetValidDisplayName(i), i});
  for (auto _ : state) {
    s.listing.Model->SetRows(rows);
    QApplication::processEvents();
    benchmark::DoNotOptimize(s.listing.Count());
  }
  state.counters["rows"] = s.listing.Count();
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
  listing.reset();
  return 0;
}
