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
// The persons view over a second store of 100,000 records: 20,000 persons (each holding a
// key), 74,879 keys, 5,000 doors of one locking system, 100 key cabinets, 20 buildings, and
// one general master key of that system held by one person. The view sits on its page of a
// page control as the main window places it; a step is timed until what it changed is
// painted. Each takes first:1, the first run on a page control and view made afresh with
// the relation caches empty (one iteration), beside first:0, the warm runs.
//
//   BM_PersonsTabSwitch/refill:0  from another page to the persons page, the list as the
//                                 login's refresh filled it (the main window's tab switch)
//   BM_PersonsTabSwitch/refill:1  the same with the view refreshed on the page (list refilled)
//   BM_PersonsFill                the list's refill over the 20,000 persons, on screen
//   BM_PersonWithMasterKeyShown/detailed:0  the holder of the general master key shown from
//                                 the list: fields, holdings, "alle von Nord"
//   BM_PersonWithMasterKeyShown/detailed:1  the same with "GHS ausführlich" ticked: the
//                                 5,000 doors and their rooms listed
//   .../nocache:1                 the relation caches dropped before each show, as every
//                                 reload of the store drops them (another station saved)
//
// The doors view over a third store of 100,000 records: 30,000 doors of one locking system
// in 20 buildings, 50,000 keys, 19,979 persons, one general master key of that system, and
// one door that 499 keys open directly besides the master key:
//
//   BM_DoorsTabSwitch/refill:0    from another page to the doors page, the list as filled
//   BM_DoorsTabSwitch/refill:1    the same with the view refreshed on the page
//   BM_DoorsFill                  the list's refill over the 30,000 doors, on screen
//   BM_DoorWithMasterKeyShown     the door of 500 keys shown from the list (fields, keys
//                                 grid with stock and holders), until the grid is painted
//
// The cylinders, groups and key cabinets views over a fourth store of 100,000 records: 20,000
// cylinders (each in one group), 2,000 groups, 100 cabinets, 77,900 keys (each in a cabinet;
// one cabinet holds 3,000 of them with count and maximum on the link):
//
//   BM_LazyPageFirstShow/page:3,4,6  the page's view made by its factory on the page's first
//                                 showing, its list filled, until the list is painted
//                                 (first:1 the first in the process, the relation caches
//                                 empty; first:0 made afresh again, warm)
//   BM_LazyPageFill/page:3,4,6    the list's refill on the shown page: the listing's budget
//   BM_CabinetOf3000KeysShown     the cabinet of 3,000 keys shown after another cabinet,
//                                 until its keys grid is painted
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
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <unistd.h>

#include "app/GlueStateUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/DateClock.h"
#include "basic/SLUnit.h"
#include "basic/ValueString.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/ClientSessionUnit.h"
#include "data/LockingRelations.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "views/FrameCabinetUnit.h"
#include "views/FrameCylsUnit.h"
#include "views/FrameDoorsUnit.h"
#include "views/FrameGroupsUnit.h"
#include "views/FrameLimitsUnit.h"
#include "views/FramePersons2Unit.h"
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

// ---------------------------------------------------------------------------------------
// The persons view's store: 100,000 records, 20,000 of them persons.

constexpr int kPersonsBuildings = 20;
constexpr int kPersonsCabinets = 100;
constexpr int kPersonsDoors = 5000;
constexpr int kPersonsPersons = 20000;
constexpr int kPersonsRecords = 100000;
constexpr TKeySystemCode kMasterSystem = 3;
// IDs in the order the file holds them: buildings, cabinets, doors, the general master key,
// the other keys, the persons.
constexpr int32_t kFirstCabinet = kPersonsBuildings + 1;
constexpr int32_t kFirstDoor = kFirstCabinet + kPersonsCabinets;
constexpr int32_t kMasterKey = kFirstDoor + kPersonsDoors;
constexpr int32_t kFirstKey = kMasterKey + 1;
constexpr int32_t kFirstPerson = kPersonsRecords - kPersonsPersons + 1;
constexpr int32_t kMasterHolder = kFirstPerson + kPersonsPersons / 2;
constexpr int32_t kOtherPerson = kMasterHolder + 1;

int32_t BuildingOf(int32_t record) { return 1 + record % kPersonsBuildings; }
// Person p (0-based) holds key kFirstKey + 2p, which opens door kFirstDoor + p % doors.
int32_t KeyOfPerson(int32_t person) { return kFirstKey + 2 * (person - kFirstPerson); }
int32_t DoorOfKey(int32_t key) { return kFirstDoor + ((key - kFirstKey) / 2) % kPersonsDoors; }

std::string IdList(const std::vector<int32_t>& ids) {
  std::string text;
  for (int32_t id : ids) text += (text.empty() ? "" : ";") + std::to_string(id);
  return text;
}

std::string HolderField(int32_t person, const std::string& remark) {
  return std::string(fkHolders) + "=" +
         ScrambleStr("E" + std::to_string(person) + "=1|2024-01-02||" + remark + "|");
}

void WritePersonsStore(const std::string& file) {
  std::mt19937 random(815);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::vector<std::vector<int32_t>> buildingDoors(kPersonsBuildings + 1);
  std::vector<std::vector<int32_t>> buildingPersons(kPersonsBuildings + 1);
  std::vector<std::vector<int32_t>> doorKeys(kPersonsDoors);
  for (int32_t d = kFirstDoor; d < kMasterKey; ++d) buildingDoors[BuildingOf(d)].push_back(d);
  for (int32_t p = kFirstPerson; p <= kPersonsRecords; ++p) {
    buildingPersons[BuildingOf(p)].push_back(p);
    doorKeys[DoorOfKey(KeyOfPerson(p)) - kFirstDoor].push_back(KeyOfPerson(p));
  }

  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << kPersonsRecords
      << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  for (int32_t b = 1; b <= kPersonsBuildings; ++b) {
    items = {"i=" + std::to_string(b), "c=2", "n=" + ScrambleStr("Haus " + std::to_string(b)),
             "l3=" + IdList(buildingDoors[b]), "l5=" + IdList(buildingPersons[b])};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t c = kFirstCabinet; c < kFirstDoor; ++c) {
    items = {"i=" + std::to_string(c), "c=8",
             "n=" + ScrambleStr("Schrank " + std::to_string(c - kFirstCabinet + 1))};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t d = kFirstDoor; d < kMasterKey; ++d) {
    const int n = d - kFirstDoor + 1;
    items = {"i=" + std::to_string(d),
             "c=3",
             "n=" + ScrambleStr("Tuer " + std::to_string(n) + " " + words[random() % 6]),
             std::string(fkKeySystem) + "=" + ScrambleStr(std::to_string(kMasterSystem)),
             std::string(fkRoom) + "=" + ScrambleStr(std::to_string(100 + n / 2)),
             "l2=" + std::to_string(BuildingOf(d)),
             "l4=" + IdList(doorKeys[d - kFirstDoor])};
    out << BuildCommaText(items) << "\r\n";
  }
  items = {"i=" + std::to_string(kMasterKey),
           "c=4",
           "n=" + ScrambleStr("GHS Nord"),
           std::string(fkKeyType) + "=" + ScrambleStr("5"),
           std::string(fkKeySystem) + "=" + ScrambleStr(std::to_string(kMasterSystem)),
           std::string(fkTotal) + "=" + ScrambleStr("1"),
           std::string(fkStock) + "=" + ScrambleStr("0"),
           HolderField(kMasterHolder, "Generalschluessel"),
           "l5=" + std::to_string(kMasterHolder)};
  out << BuildCommaText(items) << "\r\n";
  for (int32_t k = kFirstKey; k < kFirstPerson; ++k) {
    const std::string name = "Schluessel " + std::to_string(k) + " " + words[random() % 6] + " " +
                             std::to_string(random() % 100);
    const int total = 1 + static_cast<int>(random() % 5);
    // Every second key of the first 40,000 is held by a person of its own.
    const int32_t holder = (k - kFirstKey) % 2 == 0 && (k - kFirstKey) / 2 < kPersonsPersons
                               ? kFirstPerson + (k - kFirstKey) / 2
                               : 0;
    items = {"i=" + std::to_string(k), "c=4", "n=" + ScrambleStr(name),
             // System 3 is the master key's; the held keys open their doors by a link.
             std::string(fkKeySystem) + "=" + ScrambleStr(holder ? "1" : std::to_string(1 + k % 4)),
             std::string(fkTotal) + "=" + ScrambleStr(std::to_string(total)),
             std::string(fkStock) + "=" + ScrambleStr(std::to_string(total - (holder ? 1 : 0)))};
    if (holder) {
      items.push_back(HolderField(holder, "Bemerkung " + std::to_string(k)));
      items.push_back("l3=" + std::to_string(DoorOfKey(k)));
      items.push_back("l5=" + std::to_string(holder));
    }
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t p = kFirstPerson; p <= kPersonsRecords; ++p) {
    const int n = p - kFirstPerson + 1;
    std::string keys = std::to_string(KeyOfPerson(p));
    if (p == kMasterHolder) keys += ";" + std::to_string(kMasterKey);
    items = {"i=" + std::to_string(p),
             "c=5",
             "n=" + ScrambleStr("Person " + std::to_string(n)),
             std::string(fkDepartment) + "=" + ScrambleStr("Abteilung " + std::to_string(n % 40)),
             std::string(fkPersonNumber) + "=" + ScrambleStr(std::to_string(10000 + n)),
             "l2=" + std::to_string(BuildingOf(p)),
             "l4=" + keys};
    out << BuildCommaText(items) << "\r\n";
  }
}

// Counts the paint events of a widget: a step is timed until what it changed is on screen.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  ~TPaintCounter() override {
    if (widget_) widget_->removeEventFilter(this);
  }
  int Paints() const { return paints_; }
  // Processes the window's events until the widget was painted after `before` paints;
  // false when it never is (hidden, or nothing asked for a paint).
  bool ProcessUntilPainted(int before) const {
    QElapsedTimer waited;
    waited.start();
    QApplication::processEvents();
    while (paints_ == before) {
      if (waited.elapsed() > 10000) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::Paint) ++paints_;
    return false;
  }

 private:
  QPointer<QWidget> widget_;
  int paints_ = 0;
};

// A page control as the main window's: one empty page per page of the window, the keys
// page current, shown at 1280 x 900 and painted; the glue's page control.
std::unique_ptr<QTabWidget> NewPageControl() {
  auto tabs = std::make_unique<QTabWidget>();
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
  return tabs;
}

// A store the writer makes in a folder of its own, opened, lent to the session, a user
// logged in with every right and the locking system `system` named "Nord".
struct TLoggedInStore {
  std::filesystem::path dir;
  TMiniDB db;
  TQtUserInteraction ui;

  TLoggedInStore(const std::string& name, void (*write)(const std::string&),
                 TKeySystemCode system) {
    dir = std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    write((dir / "Data.ada").string());
    db.Open(dir.string() + "/", "Data", "Tessaro");
    InstallNameFuncs(db);
    ClientSession().LendStore(&db);
    SetUserInteraction(&ui);
    SetKeySystemName(system, "Nord");
    Session().LoggedIn = true;
    Session().RightLevels.fill(rlYes);
  }
  ~TLoggedInStore() {
    Session().LoggedIn = false;
    SetUserInteraction(nullptr);
    ClientSession().LendStore(nullptr);
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// A page control as the main window's, with the persons view on its page, made by the
// view's factory as the main window makes it.
struct TPersonsPages {
  std::unique_ptr<QTabWidget> tabs;
  TFramePersons2* view = nullptr;
  std::unique_ptr<TPaintCounter> listPaints;
  std::unique_ptr<TPaintCounter> doorPaints;

  TPersonsPages() {
    tabs = NewPageControl();
    ViewFactoryOf(pgPersons)(tabs->widget(pgPersons));
    view = dynamic_cast<TFramePersons2*>(ViewOf(pgPersons)->RecordFlow());
    listPaints = std::make_unique<TPaintCounter>(view->ListingFrame->ListBox->viewport());
    doorPaints = std::make_unique<TPaintCounter>(view->MaMatchingDoorsListBox->viewport());
    QApplication::processEvents();
  }
  ~TPersonsPages() {
    listPaints.reset();
    doorPaints.reset();
    tabs.reset();  // the view goes with its page and leaves the registry
    WinGlue().PageControl = nullptr;
  }
  // As the login's refresh of all views: the list filled while another page is shown.
  void RefreshAsAtLogin() { ViewOf(pgPersons)->RefreshView(); }
  // Another page current and painted: where a tab switch starts.
  void LeavePage() {
    tabs->setCurrentIndex(pgKeys);
    QApplication::processEvents();
  }
  // The persons page current, as a click on its tab makes it, and its list painted; from
  // another page also when it is current already (a benchmark runs more than once).
  bool SwitchToPage() {
    if (tabs->currentIndex() == pgPersons) LeavePage();
    const int before = listPaints->Paints();
    tabs->setCurrentIndex(pgPersons);
    return listPaints->ProcessUntilPainted(before);
  }
};

struct TBenchPersons : TLoggedInStore {
  std::unique_ptr<TPersonsPages> pages;

  TBenchPersons() : TLoggedInStore("bench_persons_", WritePersonsStore, kMasterSystem) {
    RegisterPersonsView();
    NewPages();
  }
  ~TBenchPersons() { pages.reset(); }
  // A page control and view made afresh, its list filled as at the login (or left empty),
  // another page shown; the relation caches empty, as after opening the store.
  void NewPages(bool filled = true) {
    pages.reset();
    pages = std::make_unique<TPersonsPages>();
    if (filled) pages->RefreshAsAtLogin();
    QApplication::processEvents();
    DropRelationCaches();
  }
};

std::unique_ptr<TBenchViews> views;
std::unique_ptr<TBenchPersons> persons;

TBenchPersons& Persons() {
  if (!persons) {
    views.reset();
    persons = std::make_unique<TBenchPersons>();
  }
  return *persons;
}

// One store is open at a time: the session lends only one.
TBenchViews& Views() {
  if (!views) {
    persons.reset();
    views = std::make_unique<TBenchViews>();
  }
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

// ---------------------------------------------------------------------------------------
// The persons view. first:1 makes the page control and view afresh (the list filled as at
// the login, the relation caches empty) and times one run; first:0 the warm runs.

// From another page to the persons page (a person shown), until the list is painted;
// refill:1 with the view's refresh on the page, as when the store changed meanwhile.
void BM_PersonsTabSwitch(benchmark::State& state) {
  TBenchPersons& s = Persons();
  const bool refill = state.range(0) == 1;
  const bool first = state.range(1) == 1;
  if (first) s.NewPages();
  TPersonsPages& p = *s.pages;
  // Shown on the hidden page: the first run is the page's first showing.
  p.view->ShowRecord(kOtherPerson);
  if (first) DropRelationCaches();
  for (auto _ : state) {
    state.PauseTiming();
    p.LeavePage();
    state.ResumeTiming();
    int before = p.listPaints->Paints();
    p.tabs->setCurrentIndex(pgPersons);  // as a click on the page's tab
    if (refill) {
      // The refresh paints the list greyed while it fills; the filled list comes after.
      ViewOf(pgPersons)->RefreshView();
      before = p.listPaints->Paints();
    }
    if (!p.listPaints->ProcessUntilPainted(before)) {
      state.SkipWithError("the list is never painted");
      break;
    }
  }
  state.counters["rows"] = p.view->ListingFrame->Count();
}
BENCHMARK(BM_PersonsTabSwitch)
    ->ArgNames({"refill", "first"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PersonsTabSwitch)
    ->ArgNames({"refill", "first"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The list's refill on the shown page (every person listed), until it is painted: the
// figure beside the record listing's keystroke budget.
void BM_PersonsFill(benchmark::State& state) {
  TBenchPersons& s = Persons();
  if (state.range(0) == 1) s.NewPages(false);
  TPersonsPages& p = *s.pages;
  if (!p.SwitchToPage()) return state.SkipWithError("the list is never painted");
  for (auto _ : state) {
    p.view->ListingFrame->Refresh();
    if (!p.listPaints->ProcessUntilPainted(p.listPaints->Paints())) {
      state.SkipWithError("the list is never painted");
      break;
    }
  }
  state.counters["rows"] = p.view->ListingFrame->Count();
  if (p.view->ListingFrame->Count() != kPersonsPersons) state.SkipWithError("persons missing");
}
BENCHMARK(BM_PersonsFill)->ArgName("first")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PersonsFill)->ArgName("first")->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// The holder of the general master key shown as a click in the list shows a person (after
// another person), until the doors list is painted. detailed:1 with "GHS ausführlich"
// ticked; nocache:1 with the relation caches dropped before each show.
void BM_PersonWithMasterKeyShown(benchmark::State& state) {
  TBenchPersons& s = Persons();
  const bool detailed = state.range(0) == 1;
  const bool nocache = state.range(1) == 1;
  if (state.range(2) == 1) s.NewPages();
  TPersonsPages& p = *s.pages;
  if (!p.SwitchToPage()) return state.SkipWithError("the list is never painted");
  p.view->GhsDoorsDetailedCheck->setChecked(detailed);
  for (auto _ : state) {
    state.PauseTiming();
    p.view->ShowRecord(kOtherPerson);
    const bool otherShown = p.doorPaints->ProcessUntilPainted(p.doorPaints->Paints());
    if (nocache) DropRelationCaches();
    state.ResumeTiming();
    const int before = p.doorPaints->Paints();
    p.view->ShowRecord(kMasterHolder);
    if (!otherShown || !p.doorPaints->ProcessUntilPainted(before)) {
      state.SkipWithError("the doors are never painted");
      break;
    }
  }
  QListWidget* doors = p.view->MaMatchingDoorsListBox;
  state.counters["doors"] = doors->count();
  state.counters["holdings"] = static_cast<double>(p.view->Holdings().size());
  const bool summed =
      doors->count() > 0 && doors->item(0)->text() == QStringLiteral("alle von Nord");
  if (detailed ? doors->count() != kPersonsDoors : !summed)
    state.SkipWithError("the master key's doors are not shown as they should be");
}
BENCHMARK(BM_PersonWithMasterKeyShown)
    ->ArgNames({"detailed", "nocache", "first"})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->Args({1, 1, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PersonWithMasterKeyShown)
    ->ArgNames({"detailed", "nocache", "first"})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------
// The doors view's store: 100,000 records, 30,000 of them doors.

constexpr int kDoorsBuildings = 20;
constexpr int kDoorsDoors = 30000;
constexpr int kDoorsKeys = 50000;
constexpr int kDoorsRecords = 100000;
constexpr int kDoorsOfBusyDoor = 499;
constexpr int32_t kDoorsFirstDoor = kDoorsBuildings + 1;
constexpr int32_t kDoorsMasterKey = kDoorsFirstDoor + kDoorsDoors;
constexpr int32_t kDoorsFirstKey = kDoorsMasterKey + 1;
constexpr int32_t kDoorsFirstPerson = kDoorsFirstKey + kDoorsKeys;
constexpr int32_t kBusyDoor = kDoorsFirstDoor + kDoorsDoors / 2;
constexpr int32_t kQuietDoor = kBusyDoor + 1;

void WriteDoorsStore(const std::string& file) {
  std::mt19937 random(4711);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::vector<std::vector<int32_t>> buildingDoors(kDoorsBuildings + 1);
  for (int32_t d = kDoorsFirstDoor; d < kDoorsMasterKey; ++d)
    buildingDoors[1 + d % kDoorsBuildings].push_back(d);
  std::vector<int32_t> busyKeys;
  for (int i = 0; i < kDoorsOfBusyDoor; ++i) busyKeys.push_back(kDoorsFirstKey + i);

  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << kDoorsRecords
      << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  for (int32_t b = 1; b <= kDoorsBuildings; ++b) {
    items = {"i=" + std::to_string(b), "c=2", "n=" + ScrambleStr("Haus " + std::to_string(b)),
             "l3=" + IdList(buildingDoors[b])};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t d = kDoorsFirstDoor; d < kDoorsMasterKey; ++d) {
    const int n = d - kDoorsFirstDoor + 1;
    items = {"i=" + std::to_string(d), "c=3",
             "n=" + ScrambleStr("Tuer " + std::to_string(n) + " " + words[random() % 6]),
             std::string(fkKeySystem) + "=" + ScrambleStr(std::to_string(kMasterSystem)),
             "flr=" + ScrambleStr(std::to_string(n % 5)),
             "l2=" + std::to_string(1 + d % kDoorsBuildings)};
    if (d == kBusyDoor) items.push_back("l4=" + IdList(busyKeys));
    out << BuildCommaText(items) << "\r\n";
  }
  items = {"i=" + std::to_string(kDoorsMasterKey), "c=4", "n=" + ScrambleStr("GHS Nord"),
           std::string(fkKeyType) + "=" + ScrambleStr("5"),
           std::string(fkKeySystem) + "=" + ScrambleStr(std::to_string(kMasterSystem)),
           std::string(fkTotal) + "=" + ScrambleStr("1"),
           std::string(fkStock) + "=" + ScrambleStr("1")};
  out << BuildCommaText(items) << "\r\n";
  for (int32_t k = kDoorsFirstKey; k < kDoorsFirstPerson; ++k) {
    const int n = k - kDoorsFirstKey;
    const int total = 1 + static_cast<int>(random() % 5);
    items = {"i=" + std::to_string(k), "c=4",
             "n=" + ScrambleStr("Schluessel " + std::to_string(n) + " " + words[random() % 6]),
             std::string(fkKeySystem) + "=" + ScrambleStr("1"),
             std::string(fkTotal) + "=" + ScrambleStr(std::to_string(total)),
             std::string(fkStock) + "=" + ScrambleStr(std::to_string(total - 1))};
    if (n < kDoorsOfBusyDoor) items.push_back("l3=" + std::to_string(kBusyDoor));
    if (kDoorsFirstPerson + n <= kDoorsRecords) items.push_back("l5=" + std::to_string(kDoorsFirstPerson + n));
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t p = kDoorsFirstPerson; p <= kDoorsRecords; ++p) {
    items = {"i=" + std::to_string(p), "c=5",
             "n=" + ScrambleStr("Person " + std::to_string(p - kDoorsFirstPerson + 1)),
             "l4=" + std::to_string(kDoorsFirstKey + (p - kDoorsFirstPerson))};
    out << BuildCommaText(items) << "\r\n";
  }
}

// A page control with the doors view on its page, made by the view's factory.
struct TDoorsPages {
  std::unique_ptr<QTabWidget> tabs;
  TFrameDoors* view = nullptr;
  std::unique_ptr<TPaintCounter> listPaints;
  std::unique_ptr<TPaintCounter> keyPaints;

  TDoorsPages() {
    tabs = NewPageControl();
    ViewFactoryOf(pgDoors)(tabs->widget(pgDoors));
    view = dynamic_cast<TFrameDoors*>(ViewOf(pgDoors)->RecordFlow());
    listPaints = std::make_unique<TPaintCounter>(view->ListingFrame->ListBox->viewport());
    keyPaints = std::make_unique<TPaintCounter>(view->KeysGrid->viewport());
    QApplication::processEvents();
  }
  ~TDoorsPages() {
    listPaints.reset();
    keyPaints.reset();
    tabs.reset();
    WinGlue().PageControl = nullptr;
  }
  void LeavePage() {
    tabs->setCurrentIndex(pgKeys);
    QApplication::processEvents();
  }
  bool SwitchToPage() {
    if (tabs->currentIndex() == pgDoors) LeavePage();
    const int before = listPaints->Paints();
    tabs->setCurrentIndex(pgDoors);
    return listPaints->ProcessUntilPainted(before);
  }
};

struct TBenchDoors : TLoggedInStore {
  std::unique_ptr<TDoorsPages> pages;

  TBenchDoors() : TLoggedInStore("bench_doors_", WriteDoorsStore, kMasterSystem) {
    RegisterDoorsView();
    pages = std::make_unique<TDoorsPages>();
    ViewOf(pgDoors)->RefreshView();
    QApplication::processEvents();
    DropRelationCaches();
  }
  ~TBenchDoors() { pages.reset(); }
};

std::unique_ptr<TBenchDoors> doors;

TBenchDoors& Doors() {
  if (!doors) {
    views.reset();
    persons.reset();
    doors = std::make_unique<TBenchDoors>();
  }
  return *doors;
}

void BM_DoorsTabSwitch(benchmark::State& state) {
  TBenchDoors& s = Doors();
  const bool refill = state.range(0) == 1;
  TDoorsPages& p = *s.pages;
  p.view->ShowDoor(kQuietDoor);
  for (auto _ : state) {
    state.PauseTiming();
    p.LeavePage();
    state.ResumeTiming();
    int before = p.listPaints->Paints();
    p.tabs->setCurrentIndex(pgDoors);
    if (refill) {
      ViewOf(pgDoors)->RefreshView();
      before = p.listPaints->Paints();
    }
    if (!p.listPaints->ProcessUntilPainted(before)) {
      state.SkipWithError("the list is never painted");
      break;
    }
  }
  state.counters["rows"] = p.view->ListingFrame->Count();
}
BENCHMARK(BM_DoorsTabSwitch)->ArgName("refill")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DoorsFill(benchmark::State& state) {
  TBenchDoors& s = Doors();
  TDoorsPages& p = *s.pages;
  if (!p.SwitchToPage()) return state.SkipWithError("the list is never painted");
  for (auto _ : state) {
    p.view->ListingFrame->Refresh();
    if (!p.listPaints->ProcessUntilPainted(p.listPaints->Paints())) {
      state.SkipWithError("the list is never painted");
      break;
    }
  }
  state.counters["rows"] = p.view->ListingFrame->Count();
  if (p.view->ListingFrame->Count() != kDoorsDoors) state.SkipWithError("doors missing");
}
BENCHMARK(BM_DoorsFill)->Unit(benchmark::kMillisecond);

// The door of 500 keys (499 linked, the general master key of its system) shown after
// another door, until the keys grid is painted; nocache:1 drops the relation caches first.
void BM_DoorWithMasterKeyShown(benchmark::State& state) {
  TBenchDoors& s = Doors();
  const bool nocache = state.range(0) == 1;
  TDoorsPages& p = *s.pages;
  if (!p.SwitchToPage()) return state.SkipWithError("the list is never painted");
  for (auto _ : state) {
    state.PauseTiming();
    p.view->ShowDoor(kQuietDoor);
    const bool otherShown = p.keyPaints->ProcessUntilPainted(p.keyPaints->Paints());
    if (nocache) DropRelationCaches();
    state.ResumeTiming();
    const int before = p.keyPaints->Paints();
    p.view->ShowDoor(kBusyDoor);
    if (!otherShown || !p.keyPaints->ProcessUntilPainted(before)) {
      state.SkipWithError("the keys are never painted");
      break;
    }
  }
  state.counters["keys"] = p.view->KeysGrid->rowCount();
  if (p.view->KeysGrid->rowCount() != kDoorsOfBusyDoor + 1)
    state.SkipWithError("the door's keys are not all shown");
}
BENCHMARK(BM_DoorWithMasterKeyShown)->ArgName("nocache")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------
// The cylinders, groups and key cabinets views.

constexpr int kLazyRecords = 100000;
constexpr int kLazyCylinders = 20000;
constexpr int kLazyGroups = 2000;
constexpr int kLazyCabinets = 100;
constexpr int kBigCabinetKeys = 3000;
constexpr int32_t kLazyFirstGroup = 1;
constexpr int32_t kLazyFirstCabinet = kLazyFirstGroup + kLazyGroups;
constexpr int32_t kLazyFirstCylinder = kLazyFirstCabinet + kLazyCabinets;
constexpr int32_t kLazyFirstKey = kLazyFirstCylinder + kLazyCylinders;
constexpr int32_t kBigCabinet = kLazyFirstCabinet;
constexpr int32_t kSmallCabinet = kBigCabinet + 1;

// The cabinet of key k: the first 3,000 keys in the big one, the others spread over the rest.
int32_t CabinetOfKey(int32_t key) {
  const int n = key - kLazyFirstKey;
  return n < kBigCabinetKeys ? kBigCabinet : kSmallCabinet + n % (kLazyCabinets - 1);
}

void WriteLazyViewsStore(const std::string& file) {
  std::mt19937 random(815);
  const char* const words[] = {"Tor", "Keller", "Buero", "Lager", "Halle", "Werkstatt"};
  std::vector<std::vector<int32_t>> groupCylinders(kLazyGroups), cabinetKeys(kLazyCabinets);
  for (int32_t c = kLazyFirstCylinder; c < kLazyFirstKey; ++c)
    groupCylinders[(c - kLazyFirstCylinder) % kLazyGroups].push_back(c);
  for (int32_t k = kLazyFirstKey; k <= kLazyRecords; ++k)
    cabinetKeys[CabinetOfKey(k) - kLazyFirstCabinet].push_back(k);
  std::ofstream out(file, std::ios::binary);
  out << "\x01\r\nLastID=" << kLazyRecords
      << "\r\nFileTitle=\r\nAppName=Tessaro\r\nAppOptions=\r\n";
  std::vector<std::string> items;
  const std::string system = std::string(fkKeySystem) + "=" + ScrambleStr("1");
  for (int g = 0; g < kLazyGroups; ++g) {
    items = {"i=" + std::to_string(kLazyFirstGroup + g), "c=7",
             "n=" + ScrambleStr("Gruppe " + std::to_string(g + 1)), system,
             "l6=" + IdList(groupCylinders[g])};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int b = 0; b < kLazyCabinets; ++b) {
    items = {"i=" + std::to_string(kLazyFirstCabinet + b), "c=8",
             "n=" + ScrambleStr("Schrank " + std::to_string(b + 1)), "pan=" + ScrambleStr("3000"),
             "l4=" + IdList(cabinetKeys[b])};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t c = kLazyFirstCylinder; c < kLazyFirstKey; ++c) {
    const int n = c - kLazyFirstCylinder;
    items = {"i=" + std::to_string(c), "c=6",
             "n=" + ScrambleStr("Zyl " + std::to_string(n + 1) + " " + words[random() % 6]),
             system, std::string(fkCylinderCount) + "=" + ScrambleStr("2"),
             "k603=" + ScrambleStr("S" + std::to_string(n % 500)),
             "l7=" + std::to_string(kLazyFirstGroup + n % kLazyGroups)};
    out << BuildCommaText(items) << "\r\n";
  }
  for (int32_t k = kLazyFirstKey; k <= kLazyRecords; ++k) {
    const int n = k - kLazyFirstKey;
    items = {"i=" + std::to_string(k), "c=4",
             "n=" + ScrambleStr("Schluessel " + std::to_string(n + 1) + " " + words[random() % 6]),
             system, std::string(fkTotal) + "=" + ScrambleStr("3"),
             std::string(fkStock) + "=" + ScrambleStr("2"), "l8=" + std::to_string(CabinetOfKey(k)),
             "cabpos=" + ScrambleStr(std::to_string(1 + n % 3000))};
    out << BuildCommaText(items) << "\r\n";
  }
}

// A page control as the main window's, its pages empty: the lazy views are made on a
// page's first showing.
struct TLazyPages {
  std::unique_ptr<QTabWidget> tabs;

  TLazyPages() { tabs = NewPageControl(); }
  ~TLazyPages() {
    tabs.reset();  // the views go with their pages and leave the registry
    WinGlue().PageControl = nullptr;
  }
  TFrameMother* View(int page) const {
    IView* view = ViewOf(page);
    return view ? dynamic_cast<TFrameMother*>(view->RecordFlow()) : nullptr;
  }
  // The page's first showing as the main window makes it: the view made by its factory,
  // the page current, the list filled (the refresh of the views at the showing); true when
  // the list was painted.
  bool FirstShow(int page, std::unique_ptr<TPaintCounter>& paints) {
    ViewFactoryOf(page)(tabs->widget(page));
    TFrameMother* view = View(page);
    if (!view) return false;
    paints = std::make_unique<TPaintCounter>(view->ListingFrame->ListBox->viewport());
    tabs->setCurrentIndex(page);
    ViewOf(page)->RefreshView();
    return paints->ProcessUntilPainted(0);
  }
};

struct TBenchLazyViews : TLoggedInStore {
  std::unique_ptr<TLazyPages> pages;

  TBenchLazyViews() : TLoggedInStore("bench_lazy_", WriteLazyViewsStore, 1) {
    // The counts of the big cabinet's keys, on the link to it.
    for (int32_t k = kLazyFirstKey; k < kLazyFirstKey + kBigCabinetKeys; ++k) {
      db.SetLinkValue(k, kBigCabinet, fkCabinetStock, std::to_string(k % 4));
      db.SetLinkValue(k, kBigCabinet, fkCabinetOwned, std::to_string(4 + k % 9));
    }
    RegisterCylindersView();
    RegisterGroupsView();
    RegisterCabinetsView();
    NewPages();
  }
  ~TBenchLazyViews() { pages.reset(); }
  // A page control without the lazy views, the relation caches empty.
  void NewPages() {
    pages.reset();
    pages = std::make_unique<TLazyPages>();
    DropRelationCaches();
  }
};

std::unique_ptr<TBenchLazyViews> lazyViews;

// Registered last, so it runs after the other stores are done with.
TBenchLazyViews& LazyViews() {
  if (!lazyViews) {
    views.reset();
    persons.reset();
    doors.reset();
    lazyViews = std::make_unique<TBenchLazyViews>();
  }
  return *lazyViews;
}

int ListedOf(int page) {
  return page == pgCylinders ? kLazyCylinders : page == pgGroups ? kLazyGroups : kLazyCabinets;
}

// The page's view made on its first showing and its list filled and painted.
void BM_LazyPageFirstShow(benchmark::State& state) {
  TBenchLazyViews& s = LazyViews();
  const int page = static_cast<int>(state.range(0));
  std::unique_ptr<TPaintCounter> paints;
  for (auto _ : state) {
    state.PauseTiming();
    paints.reset();
    s.NewPages();
    state.ResumeTiming();
    if (!s.pages->FirstShow(page, paints)) {
      state.SkipWithError("the list is never painted");
      break;
    }
  }
  TFrameMother* view = s.pages->View(page);
  state.counters["rows"] = view ? view->ListingFrame->Count() : 0;
  if (!view || view->ListingFrame->Count() != ListedOf(page)) state.SkipWithError("rows missing");
  paints.reset();
}
BENCHMARK(BM_LazyPageFirstShow)
    ->ArgNames({"page", "first"})
    ->Args({pgCylinders, 1})
    ->Args({pgGroups, 1})
    ->Args({pgCabinets, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LazyPageFirstShow)
    ->ArgNames({"page", "first"})
    ->Args({pgCylinders, 0})
    ->Args({pgGroups, 0})
    ->Args({pgCabinets, 0})
    ->Unit(benchmark::kMillisecond);

// The list's refill on the shown page, until it is painted.
void BM_LazyPageFill(benchmark::State& state) {
  TBenchLazyViews& s = LazyViews();
  const int page = static_cast<int>(state.range(0));
  std::unique_ptr<TPaintCounter> paints;
  s.NewPages();
  if (!s.pages->FirstShow(page, paints)) return state.SkipWithError("the list is never painted");
  TFrameMother* view = s.pages->View(page);
  for (auto _ : state) {
    view->ListingFrame->Refresh();
    if (!paints->ProcessUntilPainted(paints->Paints())) {
      state.SkipWithError("the list is never painted");
      break;
    }
  }
  state.counters["rows"] = view->ListingFrame->Count();
  if (view->ListingFrame->Count() != ListedOf(page)) state.SkipWithError("rows missing");
  paints.reset();
}
BENCHMARK(BM_LazyPageFill)
    ->ArgName("page")
    ->Arg(pgCylinders)
    ->Arg(pgGroups)
    ->Arg(pgCabinets)
    ->Unit(benchmark::kMillisecond);

// The cabinet of 3,000 keys shown after a small one, until its keys grid is painted.
void BM_CabinetOf3000KeysShown(benchmark::State& state) {
  TBenchLazyViews& s = LazyViews();
  std::unique_ptr<TPaintCounter> paints;
  s.NewPages();
  if (!s.pages->FirstShow(pgCabinets, paints)) return state.SkipWithError("never painted");
  auto* view = dynamic_cast<TFrameCabinet*>(s.pages->View(pgCabinets));
  QTableWidget* grid = view->KeysListingGridFrame->Grid;
  TPaintCounter gridPaints(grid->viewport());
  for (auto _ : state) {
    state.PauseTiming();
    view->ShowRecord(kSmallCabinet);
    const bool otherShown = gridPaints.ProcessUntilPainted(gridPaints.Paints());
    state.ResumeTiming();
    const int before = gridPaints.Paints();
    view->ShowRecord(kBigCabinet);
    if (!otherShown || !gridPaints.ProcessUntilPainted(before)) {
      state.SkipWithError("the keys are never painted");
      break;
    }
  }
  state.counters["keys"] = grid->rowCount();
  if (grid->rowCount() != kBigCabinetKeys) state.SkipWithError("keys missing");
  paints.reset();
}
BENCHMARK(BM_CabinetOf3000KeysShown)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  views.reset();
  persons.reset();
  doors.reset();
  lazyViews.reset();
  return 0;
}
