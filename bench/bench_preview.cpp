// PrintStringGrid of a key list of 1,000 and 10,000 rows (6 columns, as bench_print's) until
// the preview shows its first page: the page count (mode 0), every page drawn for the
// preview (mode 1 on the preview's printer), the window laid out and painted once (grabbed).
// No printer is installed, so the preview shows on the program's page (748 x 1090 at 96
// per inch), as it does on a workstation without a printer. The preview lays out the whole
// document before it shows a page, so this is also the whole document's time.
//   Baseline: a bare QPrintPreviewWidget in a dialog of the same size, its pages drawn with
//             QPainter::drawText at fixed places of a grid, 45 rows a page (no reading,
//             counting, measuring or cutting), shown and grabbed the same way.
// "first": the first run of each size in the process (fonts loaded, nothing measured yet);
// "new_list": warm, a list not printed before in the run (measured widths forgotten);
// "same_list_again": the same list printed again (its texts' widths known).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QVBoxLayout>

#include "basic/widgets/DialogRunner.h"
#include "basic/widgets/QtGlue.h"
#include "output/PrintCanvasUnit.h"
#include "output/PrintPreviewUnit.h"
#include "output/PrintSettingsUnit.h"
#include "output/PrinterServicesUnit.h"

namespace {

using TClock = std::chrono::steady_clock;

// A workstation without printers, whatever the machine has installed.
class TNoPrinters : public IPrinterServices {
 public:
  std::vector<TPrinterDevice> Printers() override { return {}; }
  std::string DefaultPrinter() override { return ""; }
  QPrinter* Device(const std::string&) override { return nullptr; }
};

struct TFolder {
  std::filesystem::path path;
  TFolder() {
    char templ[] = "/tmp/tessaro-bench-preview-XXXXXX";
    path = mkdtemp(templ);
  }
  ~TFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string File(const std::string& name) const { return (path / name).string(); }
};

TFolder& Folder() {
  static TFolder folder;
  return folder;
}

std::vector<std::vector<std::string>> Rows(int count) {
  std::vector<std::vector<std::string>> rows{
      {"Bezeichnung", "Schlie\xDF" "ung", "Schlie\xDF" "anlage", "Bestand", "Besitzer", "Bemerkung"}};
  for (int i = 1; i <= count; ++i) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05d", i);
    const std::string n = digits;
    rows.push_back({"Geb\xE4ude " + std::to_string(i % 40) + " T\xFCr " + n, "K-" + n,
                    "Anlage " + std::to_string(i % 12 + 1), std::to_string(i % 7) + "/9",
                    i % 3 ? "M\xFCller, Anna" : "Pforte Nord",
                    "Schl\xFCssel f\xFCr den Hausmeister, Ersatz " + n});
  }
  return rows;
}

const std::string& TabFile(int count) {
  static std::string files[2];
  std::string& name = files[count == 1000 ? 0 : 1];
  if (name.empty()) {
    name = Folder().File("liste" + std::to_string(count) + ".txt");
    std::string bytes;
    bool first = true;
    for (const auto& row : Rows(count)) {
      for (size_t c = 0; c < row.size(); ++c) bytes += (c ? "\t" : "") + row[c];
      bytes += "\r\n";
      if (first) bytes += "\x01" "000200\r\n";
      first = false;
    }
    FILE* f = std::fopen(name.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return name;
}

void PreviewShown(benchmark::State& state, bool again) {
  const std::string& file = TabFile(static_cast<int>(state.range(0)));
  int pages = 0;
  for (auto _ : state) {
    if (!again) ForgetMeasuredTextWidths();
    TClock::time_point shown;
    QueueDialogDriver([&](QDialog& dialog) {
      auto& form = dynamic_cast<TPrintPreviewForm&>(dialog);
      benchmark::DoNotOptimize(form.grab());
      shown = TClock::now();
      pages = form.PageCount();
    });
    const TClock::time_point start = TClock::now();
    if (!PrintStringGrid("Schl\xFCssel", file, 6)) state.SkipWithError("print");
    state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
  }
  state.counters["pages"] = pages;
}

void BaselinePreview(benchmark::State& state) {
  const auto rows = Rows(static_cast<int>(state.range(0)));
  std::vector<std::vector<QString>> cells;
  for (const auto& row : rows) {
    cells.emplace_back();
    for (const auto& cell : row) cells.back().push_back(ToQString(cell));
  }
  for (auto _ : state) {
    const TClock::time_point start = TClock::now();
    auto printer = NewFallbackPrinter(false, "");
    QDialog dialog;
    auto* preview = new QPrintPreviewWidget(printer.get(), &dialog);
    preview->setZoomMode(QPrintPreviewWidget::FitToWidth);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(preview);
    // The preview window's size.
    QSize size(1000, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      size = size.boundedTo(screen->availableGeometry().size() * 9 / 10).expandedTo(QSize(640, 480));
    dialog.resize(size);
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, [&](QPrinter* device) {
      QPainter painter(device);
      QFont font(QStringLiteral("DejaVu Sans"));
      font.setPointSize(8);
      painter.setFont(font);
      int line = 0;
      for (const auto& row : cells) {
        if (line == 45) {
          device->newPage();
          line = 0;
        }
        for (size_t c = 0; c < row.size(); ++c)
          painter.drawText(QPointF(20 + 120.0 * c, 60 + 22.0 * line), row[c]);
        ++line;
      }
    });
    dialog.show();
    benchmark::DoNotOptimize(dialog.grab());
    state.SetIterationTime(std::chrono::duration<double>(TClock::now() - start).count());
    dialog.hide();
  }
}

BENCHMARK_CAPTURE(PreviewShown, first, false)->Arg(1000)->Arg(10000)->Iterations(1)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PreviewShown, new_list, false)->Arg(1000)->Arg(10000)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PreviewShown, same_list_again, true)->Arg(1000)->Arg(10000)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BaselinePreview)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  TNoPrinters none;
  SetPrinterServices(&none);
  ResetPrintSettings();
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  SetPrinterServices(nullptr);
  return 0;
}
