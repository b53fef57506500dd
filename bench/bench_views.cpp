// The record views' refills over a large store: 100,000 keys (a stock and total on each),
// 3,000 persons with department and number, 30,000 holdings with deadlines spread from 100
// days ago to 100 days ahead. Windows shown on Qt's offscreen platform, their events
// processed as the program does.
//
//   BM_FillLimitsGrid/0   the deadlines page, "bis heute" (runs after every booking)
//   BM_FillLimitsGrid/30  the same, "für die nächsten 30 Tage"
//   BM_StockKeystroke/0   stock list, "Schl": every key listed
//   BM_StockKeystroke/1   stock list, "4711": a handful listed
//   BM_FirstFill/0, /1    a deadlines page or stock list made afresh, shown, filled once
//
// Baseline (one line): the record listing keystroke of bench_listing over the same number
// of keys, the program's other full-store refill.

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
#include <QLineEdit>
#include <unistd.h>

#include "app/GlueStateUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/DateClock.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/ClientSessionUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "views/FrameLimitsUnit.h"
#include "views/KeyBoxUnit.h"

namespace {

constexpr int kKeys = 100000;
constexpr int kPersons = 3000;
constexpr int kHoldings = 30000;

std::string IsoDaysFromToday(int days) {
  TPackedDate date = TodayPacked();
  for (int i = 0; i < days; ++i) date = NextDay(date);
  for (int i = 0; i > days; --i) date = PrevDay(date);
  return PackedDateToIsoStr(date);
}

void WriteStore(const std::string& file) {
  std::mt19937 random(4711);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::vector<std::string> deadlines;
  for (int d = -100; d <= 100; ++d) deadlines.push_back(IsoDaysFromToday(d));
  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << kKeys + kPersons
      << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  for (int p = 1; p <= kPersons; ++p) {
    items = {"i=" + std::to_string(kKeys + p), "c=5",
             "n=" + ScrambleStr("Person " + std::to_string(p)),
             std::string(fkDepartment) + "=" + ScrambleStr("Abteilung " + std::to_string(p % 40)),
             std::string(fkPersonNumber) + "=" + ScrambleStr(std::to_string(10000 + p))};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int i = 1; i <= kKeys; ++i) {
    const std::string name = "Schluessel " + std::to_string(i) + " " + words[random() % 6] + " " +
                             std::to_string(random() % 100);
    const int total = 1 + static_cast<int>(random() % 5);
    items = {"i=" + std::to_string(i), "c=4", "n=" + ScrambleStr(name),
             "ks=" + ScrambleStr(std::to_string(1 + i % 4)),
             std::string(fkTotal) + "=" + ScrambleStr(std::to_string(total))};
    int held = 0;
    // Every third key of the first 90,000 is held by one person: 30,000 holdings.
    if (i % 3 == 0 && i <= 3 * kHoldings) {
      held = 1;
      const int person = kKeys + 1 + static_cast<int>(random() % kPersons);
      const std::string& deadline = deadlines[random() % deadlines.size()];
      items.push_back(std::string(fkHolders) + "=" +
                      ScrambleStr("E" + std::to_string(person) + "=1|2024-01-02|" + deadline +
                                  "|Bemerkung " + std::to_string(i) + "|"));
    }
    items.push_back(std::string(fkStock) + "=" + ScrambleStr(std::to_string(total - held)));
    out << BuildCommaText(items) << "\r\n";
  }
}

struct TBenchViews {
  std::filesystem::path dir;
  TMiniDB db;
  TQtUserInteraction ui;
  std::unique_ptr<TFrameLimits> limits;
  std::unique_ptr<TKeyBoxForm> stock;

  TBenchViews() {
    dir = std::filesystem::temp_directory_path() / ("bench_views_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    WriteStore((dir / "Data.ada").string());
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
    ClientSession().LendStore(&db);
    SetUserInteraction(&ui);
    limits = std::make_unique<TFrameLimits>();
    limits->resize(900, 600);
    limits->show();
    stock = std::make_unique<TKeyBoxForm>();
    stock->show();
    QApplication::processEvents();
  }
  ~TBenchViews() {
    stock.reset();
    limits.reset();
    SetUserInteraction(nullptr);
    ClientSession().LendStore(nullptr);
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

std::unique_ptr<TBenchViews> views;

TBenchViews& Views() {
  if (!views) views = std::make_unique<TBenchViews>();
  return *views;
}

void BM_FillLimitsGrid(benchmark::State& state) {
  TBenchViews& s = Views();
  const int days = static_cast<int>(state.range(0));
  int choice = 0;
  while (LimitsDaysOfChoice(choice) != days) ++choice;
  s.limits->LimitsDaysCombo->setCurrentIndex(choice);
  for (auto _ : state) {
    s.limits->FillLimitsGrid();
    QApplication::processEvents();
    benchmark::DoNotOptimize(s.limits->Model->rowCount());
  }
  state.counters["rows"] = s.limits->Model->rowCount();
}
BENCHMARK(BM_FillLimitsGrid)->Arg(0)->Arg(30)->Unit(benchmark::kMillisecond);

void BM_StockKeystroke(benchmark::State& state) {
  TBenchViews& s = Views();
  const char* term = state.range(0) == 0 ? "Schl" : "4711";
  for (auto _ : state) {
    state.PauseTiming();
    s.stock->SeekEd->blockSignals(true);
    s.stock->SeekEd->setText(QStringLiteral("#"));
    s.stock->SeekEd->blockSignals(false);
    state.ResumeTiming();
    s.stock->SeekEd->setText(QString::fromLatin1(term));  // the keystroke refills
    QApplication::processEvents();
    benchmark::DoNotOptimize(s.stock->Model->rowCount());
  }
  state.counters["rows"] = s.stock->Model->rowCount();
  state.SetLabel(term);
}
BENCHMARK(BM_StockKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// First use: a page and a stock list made afresh, shown and filled once (every key
// listed), as the user meets them after the login and on the first F6.
void BM_FirstFill(benchmark::State& state) {
  Views();
  const bool stockList = state.range(0) == 1;
  int rows = 0;
  for (auto _ : state) {
    if (stockList) {
      TKeyBoxForm form;
      form.show();
      form.FillGrid();
      QApplication::processEvents();
      rows = form.Model->rowCount();
    } else {
      TFrameLimits frame;
      frame.resize(900, 600);
      frame.show();
      frame.FillLimitsGrid();
      QApplication::processEvents();
      rows = frame.Model->rowCount();
    }
    benchmark::DoNotOptimize(rows);
  }
  state.counters["rows"] = rows;
  state.SetLabel(stockList ? "stock list" : "deadlines");
}
BENCHMARK(BM_FirstFill)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  views.reset();
  return 0;
}
