// The locking-plan window over the plan of bench_relations (2,000 keys, 300 groups, 5,000
// cylinders, 5,000 doors), every record in one locking system, single and unused keys
// shown: 5,000 rows by 2,000 key columns, in a window of 1280 x 900 on the offscreen
// platform.
//
//   first_ms                the process's very first plan (nothing cached), once
//   BM_PlanFirstPaint/cold  the matrix built with every relation cache dropped (the first
//                           plan after the store was read), widths measured, first paint
//   BM_PlanFirstPaint/warm  the same with the caches of the previous run
//   BM_PlanRepaint/scroll   one page down or back (rows and key columns), one paint
//   BM_PlanRepaint/cross    the cross-hair moved to another row and key, one paint

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>

#include "PlanFixture.h"
#include "app/GlueStateUnit.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/ClientSessionUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UserRights.h"
#include "views/PlanUnit.h"

namespace {

struct TPlanBench {
  std::filesystem::path dir;
  TMiniDB db;
  TQtUserInteraction ui;
  std::unique_ptr<TPlanForm> form;

  TPlanBench() {
    dir = std::filesystem::temp_directory_path() / ("bench_plan_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    TPlan(1).Write((dir / "Data.ada").string());
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
    ClientSession().LendStore(&db);
    SetUserInteraction(&ui);
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    SetKeySystemName(1, "Anlage 1");
    form = std::make_unique<TPlanForm>(nullptr);
    form->resize(1280, 900);
    form->show();
    form->ESKeysCheck->setChecked(true);
    form->UnusedKeysCheck->setChecked(true);
    form->FillCombos();
    QApplication::processEvents();
    // The very first plan of the process: nothing cached, fonts not yet loaded.
    const auto start = std::chrono::steady_clock::now();
    form->BuildGrid();
    form->Grid->viewport()->repaint();
    firstMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  double firstMs = 0;
  ~TPlanBench() {
    form.reset();
    SetUserInteraction(nullptr);
    ClientSession().LendStore(nullptr);
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

std::unique_ptr<TPlanBench> bench;

TPlanBench& Bench() {
  if (!bench) bench = std::make_unique<TPlanBench>();
  return *bench;
}

void BM_PlanFirstPaint(benchmark::State& state) {
  TPlanBench& s = Bench();
  const bool cold = state.range(0) == 1;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      DropRelationCaches();
      state.ResumeTiming();
    }
    s.form->BuildGrid();
    s.form->Grid->viewport()->repaint();
    benchmark::DoNotOptimize(s.form->Grid->PaintedCells);
  }
  state.counters["rows"] = static_cast<double>(s.form->Plan().rows.size());
  state.counters["keys"] = static_cast<double>(s.form->Plan().keys.size());
  state.counters["cells"] = s.form->Grid->PaintedCells;
  state.counters["first_ms"] = s.firstMs;
  state.SetLabel(cold ? "cold" : "warm");
}
BENCHMARK(BM_PlanFirstPaint)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_PlanRepaint(benchmark::State& state) {
  TPlanBench& s = Bench();
  if (s.form->Plan().rows.empty()) s.form->BuildGrid();
  TPlanGridWidget& grid = *s.form->Grid;
  const bool cross = state.range(0) == 1;
  const int rows = static_cast<int>(s.form->Plan().rows.size());
  const int keys = static_cast<int>(s.form->Plan().keys.size());
  int step = 0;
  for (auto _ : state) {
    ++step;
    if (cross) {
      grid.Select((step * 7) % 40, (step * 3) % 50, false);
    } else {
      QScrollBar* down = grid.verticalScrollBar();
      QScrollBar* side = grid.horizontalScrollBar();
      down->setValue(step % 2 ? down->value() + down->pageStep()
                              : down->value() - down->pageStep() / 2);
      side->setValue(step % 2 ? side->value() + side->pageStep()
                              : side->value() - side->pageStep() / 2);
    }
    grid.viewport()->repaint();
    benchmark::DoNotOptimize(grid.PaintedCells);
  }
  state.counters["cells"] = grid.PaintedCells;
  state.counters["rows"] = rows;
  state.counters["keys"] = keys;
  state.SetLabel(cross ? "cross" : "scroll");
}
BENCHMARK(BM_PlanRepaint)->ArgName("cross")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench.reset();
  return 0;
}
