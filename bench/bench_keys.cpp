// The keys view over the listing benchmark's 100,000 keys, with 5,000 doors of one locking
// system, a general master key of that system, and holdings, cabinet and door links on the
// first keys (Qt offscreen platform, the window's events processed as the program does).
//
//   BM_KeysPageOpen            the keys page opens: the view made by its factory on its
//                              page, the list filled, the first key shown with its links and
//                              its holders grid
//   BM_ShowMasterKey/detailed  ShowKey of the general master key: 0 the one line "alle von",
//                              1 with "GHS ausf\xFChrlich" every one of the 5,000 doors listed

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <unistd.h>

#include "app/UnitTR100Win.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/ClientSessionUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "views/FrameKeysUnit.h"

namespace {

constexpr int kKeys = 100000;
constexpr int kDoors = 5000;
constexpr int kPersons = 50;
constexpr int32_t kFirstDoor = kKeys + 1;
constexpr int32_t kMasterKey = kFirstDoor + kDoors;
constexpr int32_t kCabinet = kMasterKey + 1;
constexpr int32_t kFirstPerson = kCabinet + 1;
constexpr int32_t kLast = kFirstPerson + kPersons - 1;

std::string IdList(const std::vector<int32_t>& ids) {
  std::string text;
  for (int32_t id : ids) text += (text.empty() ? "" : ";") + std::to_string(id);
  return text;
}

// The listing benchmark's keys (names, systems 1 to 4, types 1 to 3); the first 20 keys fit
// a door each, hang in the cabinet and are held by persons.
void WriteStore(const std::string& file) {
  std::mt19937 random(4711);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << kLast << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  std::vector<std::vector<int32_t>> doorKeys(kDoors);
  std::vector<int32_t> cabinetKeys;
  std::vector<std::vector<int32_t>> personKeys(kPersons);
  for (int i = 1; i <= kKeys; ++i) {
    items.clear();
    items.push_back("i=" + std::to_string(i));
    items.push_back("c=4");
    const std::string name = "Schluessel " + std::to_string(i) + " " + words[random() % 6] + " " +
                             std::to_string(random() % 100);
    items.push_back("n=" + ScrambleStr(name));
    items.push_back("ks=" + ScrambleStr(std::to_string(1 + i % 4)));
    items.push_back("kt=" + ScrambleStr(std::to_string(1 + i % 3)));
    if (i <= 20) {
      const int32_t door = kFirstDoor + i;
      doorKeys[static_cast<size_t>(i)].push_back(i);
      cabinetKeys.push_back(i);
      std::string own;
      std::vector<int32_t> holders;
      for (int h = 0; h < 5; ++h) {
        const int p = (i + h) % kPersons;
        personKeys[static_cast<size_t>(p)].push_back(i);
        holders.push_back(kFirstPerson + p);
        own += (own.empty() ? "" : ";") + std::string("E") + std::to_string(kFirstPerson + p) +
               "=1|2024-0" + std::to_string(1 + h) + "-02||Bemerkung " + std::to_string(h) +
               "|000" + std::to_string(h);
      }
      items.push_back("total=" + ScrambleStr("9"));
      items.push_back("cnt=" + ScrambleStr("4"));
      items.push_back("own=" + ScrambleStr(own));
      items.push_back("l3=" + std::to_string(door));
      items.push_back("l5=" + IdList(holders));
      items.push_back("l8=" + std::to_string(kCabinet));
      items.push_back("o" + std::to_string(kCabinet) + "=" +
                      ScrambleStr("ct=4,tl=9,po=H" + std::to_string(i)));
    }
    out << BuildCommaText(items) << "\r\n";
  }
  for (int d = 0; d < kDoors; ++d) {
    items = {"i=" + std::to_string(kFirstDoor + d), "c=3",
             "n=" + ScrambleStr("Tuer " + std::to_string(d)), "ks=" + ScrambleStr("1")};
    if (!doorKeys[static_cast<size_t>(d)].empty())
      items.push_back("l4=" + IdList(doorKeys[static_cast<size_t>(d)]));
    out << BuildCommaText(items) << "\r\n";
  }
  items = {"i=" + std::to_string(kMasterKey),
           "c=4",
           "n=" + ScrambleStr("Zentralschluessel GHS"),
           "ks=" + ScrambleStr("1"),
           "kt=" + ScrambleStr("5"),
           "total=" + ScrambleStr("1"),
           "cnt=" + ScrambleStr("1")};
  out << BuildCommaText(items) << "\r\n";
  items = {"i=" + std::to_string(kCabinet), "c=8", "n=" + ScrambleStr("Hauptschrank"),
           "l4=" + IdList(cabinetKeys)};
  out << BuildCommaText(items) << "\r\n";
  for (int p = 0; p < kPersons; ++p) {
    items = {"i=" + std::to_string(kFirstPerson + p), "c=5",
             "n=" + ScrambleStr("Person " + std::to_string(p))};
    if (!personKeys[static_cast<size_t>(p)].empty())
      items.push_back("l4=" + IdList(personKeys[static_cast<size_t>(p)]));
    out << BuildCommaText(items) << "\r\n";
  }
}

// The store, the session and a page control as the main window's.
struct TKeysBench {
  std::filesystem::path dir;
  TMiniDB db;
  TQtUserInteraction ui;
  std::unique_ptr<QTabWidget> tabs;

  TKeysBench() {
    dir = std::filesystem::temp_directory_path() / ("bench_keys_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    WriteStore((dir / "Data.ada").string());
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
    ClientSession().LendStore(&db);
    SetUserInteraction(&ui);
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
    RegisterKeysView();
    tabs = std::make_unique<QTabWidget>();
    for (int page = 0; page < kPageCount; ++page) {
      auto* sheet = new QWidget;
      auto* layout = new QVBoxLayout(sheet);
      layout->setContentsMargins(0, 0, 0, 0);
      tabs->addTab(sheet, QStringLiteral("Seite %1").arg(page));
    }
    WinGlue().PageControl = tabs.get();
    tabs->setCurrentIndex(pgKeys);
    tabs->resize(1280, 900);
    tabs->show();
    QApplication::processEvents();
  }
  ~TKeysBench() {
    CloseView();
    tabs.reset();
    SetUserInteraction(nullptr);
    ClientSession().LendStore(nullptr);
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  TFrameKeys* View() {
    IView* view = ViewOf(pgKeys);
    return view ? dynamic_cast<TFrameKeys*>(view->RecordFlow()) : nullptr;
  }
  // The page as the main window makes it: the factory places and registers the view.
  TFrameKeys* OpenView() {
    ViewFactoryOf(pgKeys)(tabs->widget(pgKeys));
    BuildLockingSystemList();
    return View();
  }
  void CloseView() { delete View(); }
};

std::unique_ptr<TKeysBench> bench;

TKeysBench& Bench() {
  if (!bench) bench = std::make_unique<TKeysBench>();
  return *bench;
}

void BM_KeysPageOpen(benchmark::State& state) {
  TKeysBench& s = Bench();
  int rows = 0, holders = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.CloseView();
    QApplication::processEvents();
    state.ResumeTiming();
    TFrameKeys* view = s.OpenView();
    view->ListingFrame->Refresh();
    view->ListingFrame->SelectFirst();
    QApplication::processEvents();
    rows = view->ListingFrame->Count();
    holders = static_cast<int>(view->Holdings().size());
    benchmark::DoNotOptimize(view->CurrentId);
  }
  state.counters["rows"] = rows;
  state.counters["holders"] = holders;
}
BENCHMARK(BM_KeysPageOpen)->Unit(benchmark::kMillisecond);

void BM_ShowMasterKey(benchmark::State& state) {
  TKeysBench& s = Bench();
  TFrameKeys* view = s.View() ? s.View() : s.OpenView();
  view->GhsDoorsDetailedCheck->setChecked(state.range(0) != 0);
  for (auto _ : state) {
    view->ShowKey(kMasterKey);
    QApplication::processEvents();
    benchmark::DoNotOptimize(view->LinkDoorsFrame->ListModel->Count());
  }
  state.counters["doors"] = view->LinkDoorsFrame->ListModel->Count();
}
BENCHMARK(BM_ShowMasterKey)->ArgName("detailed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
