// PrintTextFile of a key list of 1,000 and 10,000 rows (6 columns, umlauts, a right-aligned
// column, numbers of five digits in both, so both tables fit at the same size) on a PDF
// QPrinter: the page of the program without a printer (96 per inch,
// 748 x 1090), drawn as the preview draws (mode 1): measuring passes, fitting, cutting,
// page headers and the PDF's own output.
//   Count:    the same run in mode 0 (measuring and page breaks only, what precedes every
//             preview and printout).
//   Baseline: the same cells drawn with QPainter::drawText at fixed places of a grid into
//             the same kind of printer, 45 rows a page (no reading, measuring or cutting).
// The first run of each size is reported on its own ("first"), then warm repetitions.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QPainter>
#include <QPrinter>

#include "basic/widgets/QtGlue.h"
#include "output/PrintCanvasUnit.h"
#include "output/PrintProcsUnit.h"

namespace {

struct TFolder {
  std::filesystem::path path;
  TFolder() {
    char templ[] = "/tmp/tessaro-bench-print-XXXXXX";
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
    // Five digits in both sizes: the widths, and so the font the table fits in, are the same.
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
    std::string bytes = "";
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

void Print(benchmark::State& state) {
  const std::string& file = TabFile(static_cast<int>(state.range(0)));
  const std::string pdf = Folder().File("liste.pdf");
  int pages = 0;
  for (auto _ : state) {
    auto printer = NewFallbackPrinter(false, pdf);
    TSimplePrint ps;
    ps.mode = kPrintModePreview;
    ps.previewPrinter = printer.get();
    ps.dateText = "01.02.2024 10:00";
    if (!PrintTextFile(ps, "Schl\xFCssel", file, 1.5, 6)) state.SkipWithError("print");
    pages = ps.pageNumber;
  }
  state.counters["pages"] = pages;
}

void Count(benchmark::State& state) {
  const std::string& file = TabFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TSimplePrint ps;
    ps.mode = kPrintModeCount;
    if (!PrintTextFile(ps, "Schl\xFCssel", file, 1.5, 6)) state.SkipWithError("count");
    benchmark::DoNotOptimize(ps.pageNumber);
  }
}

void DrawBaseline(benchmark::State& state) {
  const auto rows = Rows(static_cast<int>(state.range(0)));
  std::vector<std::vector<QString>> cells;
  for (const auto& row : rows) {
    cells.emplace_back();
    for (const auto& cell : row) cells.back().push_back(ToQString(cell));
  }
  const std::string pdf = Folder().File("raw.pdf");
  for (auto _ : state) {
    auto printer = NewFallbackPrinter(false, pdf);
    QPainter painter(printer.get());
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    painter.setFont(font);
    int line = 0;
    for (const auto& row : cells) {
      if (line == 45) {
        printer->newPage();
        line = 0;
      }
      for (size_t c = 0; c < row.size(); ++c)
        painter.drawText(QPointF(20 + 120.0 * c, 60 + 22.0 * line), row[c]);
      ++line;
    }
    painter.end();
  }
}

BENCHMARK(Print)->Name("first/Print")->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Print)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(Count)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawBaseline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
