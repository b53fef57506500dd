// The RTF reader on generated receipt-like documents of about 0.1 MB and 1 MB: paragraphs
// with changing fonts, sizes, colours, bold and italic, umlauts as \'hh, the euro sign as
// \uN, tab stops, line breaks, and a small table every 50 paragraphs.
//   Load:    LoadRtfIntoDocument into a fresh QTextDocument (what opening a template costs).
//   Parse:   the parser alone with a sink that only counts (the reader's share).
//   Baseline: QTextDocument::setPlainText of the same document's text (the cost of the
//            document model itself for that much text).
// The first load of each size is reported on its own ("first"), then warm repetitions.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <QGuiApplication>
#include <QTextDocument>

#include "basic/RtfParser.h"
#include "basic/widgets/QtGlue.h"
#include "output/RtfTextUnit.h"

namespace {

std::string Generate(std::size_t bytes) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Verdana;}{\\f1\\froman Times New "
      "Roman;}{\\f2\\fswiss Arial;}}{\\colortbl;\\red192\\green0\\blue0;\\red0\\green0\\blue128;}"
      "\r\n\\viewkind4\\uc1\r\n";
  for (int n = 0; rtf.size() < bytes; ++n) {
    const std::string i = std::to_string(n);
    rtf += "\\pard\\li567\\fi-283\\tx2268\\f0\\fs20 Schl\\'fcssel " + i + ":\\tab {\\b #Key#} f\\'fcr "
           "{\\i Geb\\'e4ude} " + i + ", T\\'fcr " + i + "\\line\\cf1 Preis 12,50 \\u8364?\\cf0  "
           "Der Empf\\'e4nger haftet f\\'fcr verlorene Schl\\'fcssel und daraus entstehende "
           "Sch\\'e4den.\\par\r\n\\pard\\qc\\f2\\fs24 {\\b Abschnitt " + i + "}\\par\r\n";
    if (n % 50 == 49)
      rtf += "\\trowd\\trgaph70\\cellx2835\\cellx5670\\cellx8505\\pard\\intbl\\f1 A " + i +
             "\\cell\\pard\\intbl\\qc B\\cell\\pard\\intbl\\qr C\\cell\\row\r\n";
  }
  return rtf + "\\pard Ende}";
}

const std::string& Document(int size) {
  static const std::string small = Generate(100 * 1024);
  static const std::string large = Generate(1024 * 1024);
  return size == 1 ? large : small;
}

void Load(benchmark::State& state) {
  const std::string& rtf = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto doc = std::make_unique<QTextDocument>();
    if (!LoadRtfIntoDocument(*doc, rtf)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(doc->characterCount());
    state.PauseTiming();  // freeing the document is no part of loading it
    doc.reset();
    state.ResumeTiming();
  }
  state.counters["bytes"] = static_cast<double>(rtf.size());
}

class TCounter : public IRtfSink {
 public:
  std::size_t units = 0;
  void Text(std::u16string_view text, const TRtfCharFormat&, const TRtfParaFormat&) override {
    units += text.size();
  }
  void ParagraphEnd(const TRtfParaFormat&, const TRtfCharFormat&) override { ++units; }
};

void Parse(benchmark::State& state) {
  const std::string& rtf = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TCounter counter;
    ParseRtf(rtf, counter);
    benchmark::DoNotOptimize(counter.units);
  }
}

void PlainTextBaseline(benchmark::State& state) {
  const std::string& rtf = Document(static_cast<int>(state.range(0)));
  QTextDocument source;
  LoadRtfIntoDocument(source, rtf);
  const QString text = source.toPlainText();
  for (auto _ : state) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setPlainText(text);
    benchmark::DoNotOptimize(doc->characterCount());
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
}

// Arg 0: 0.1 MB, 1: 1 MB.
BENCHMARK(Load)->Name("first/Load")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Load)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Parse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainTextBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
