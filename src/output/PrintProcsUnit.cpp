#include "output/PrintProcsUnit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPageLayout>
#include <QPrinter>

#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "output/PrinterServicesUnit.h"
#include "platform/PlatformFiles.h"

namespace {

bool gRunActive = false;
std::function<bool()> gTerminated;

constexpr std::size_t kReadBuffer = 32 * 1024;

// The rows of a TAB print file, read through a buffer of 32 KB and read again for every
// pass instead of being held in memory.
class TTabFileReader {
 public:
  ~TTabFileReader() {
    if (fd_ >= 0) PfClose(fd_);
  }
  bool Open(const std::string& fileName) {
    TPfInfo info;
    if (fileName.empty() || PfStat(fileName, info) != 0 || info.kind != TPfKind::File) return false;
    return PfOpenRead(fileName, fd_) == 0;
  }
  void Rewind() {
    offset_ = 0;
    lines_.clear();
    next_ = 0;
    eof_ = false;
    splitter_ = std::make_unique<TTextLineSplitter>(lines_);
  }
  // The next line; false at the end or on a read error (error() tells).
  bool Next(std::string& line) {
    while (next_ >= lines_.size()) {
      if (eof_) return false;
      lines_.clear();
      next_ = 0;
      std::size_t got = 0;
      if (PfReadAt(fd_, buffer_.data(), buffer_.size(), offset_, got) != 0) {
        error_ = true;
        return false;
      }
      offset_ += static_cast<std::int64_t>(got);
      if (got == 0) {
        splitter_->Finish();
        eof_ = true;
      } else {
        splitter_->Feed(buffer_.data(), got);
      }
    }
    line.swap(lines_[next_++]);
    return true;
  }
  bool error() const { return error_; }

 private:
  int fd_ = -1;
  std::int64_t offset_ = 0;
  std::vector<char> buffer_ = std::vector<char>(kReadBuffer);
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  bool eof_ = false;
  bool error_ = false;
  std::unique_ptr<TTextLineSplitter> splitter_;
};

void SplitCells(const std::string& line, int columns, std::vector<std::string>& cells) {
  cells.assign(static_cast<std::size_t>(columns), std::string());
  std::size_t start = 0;
  for (int c = 0; c < columns; ++c) {
    const std::size_t tab = line.find('\t', start);
    cells[c] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
}

// 0x01: column formats; 0x02..0x08: ignored; anything else a row.
bool IsFormatLine(const std::string& line) { return !line.empty() && line[0] == '\x01'; }
bool IsIgnoredLine(const std::string& line) {
  return !line.empty() && line[0] >= '\x02' && line[0] <= '\x08';
}

void Draw(TSimplePrint& ps, int x, int y, const std::string& text) {
  if (ps.mode != kPrintModeCount) ps.canvas->DrawText(x, y, text);
}

void PageHeader(TSimplePrint& ps) {
  Draw(ps, 0, 0, ps.title);
  if (!ps.noHeader) {
    std::string s = ps.dateText + "   [" + std::to_string(ps.pageNumber);
    if (!ps.extraHeaderText.empty()) s += "/" + ps.extraHeaderText;
    s += "]";
    Draw(ps, ps.pageWidth - ps.canvas->TextWidth(s), 0, s);
    ps.y = 2 * ps.lineHeight;
  }
  ps.y += ps.lineHeight;
}

bool StartPage(TSimplePrint& ps, bool first) {
  if (!first && !ps.canvas->NewPage()) return false;
  if (first) PrintSetDefaultFont(ps);
  ++ps.pageNumber;
  ps.y = 0;
  PageHeader(ps);
  // Keep the window painted; the user cannot start anything meanwhile.
  if (QCoreApplication::instance())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return true;
}

void Release(TSimplePrint& ps) {
  ps.canvas = nullptr;
  ps.ownCanvas.reset();
  ps.ownPrinter.reset();
  ps.documentStarted = false;
  if (ps.holdsRun) gRunActive = false;
  ps.holdsRun = false;
}

// A canvas that measures on the printer's device, or on the page of the fallback printer
// when no printer is installed.
std::unique_ptr<IPrintCanvas> MeasuringCanvas(TSimplePrint& ps) {
  if (!JobFile().empty()) {
    // The job goes into a PDF file: its pages are counted on that file's page.
    ps.ownPrinter = NewPdfPrinter("");
    ps.ownPrinter->setPageOrientation(ps.landscape ? QPageLayout::Landscape
                                                   : QPageLayout::Portrait);
    return std::make_unique<TPainterCanvas>(*ps.ownPrinter, false);
  }
  if (PrinterInstalled()) {
    auto canvas = PrinterServices().NewCanvas(ChosenPrinter(), ps.landscape, ps.title, false);
    if (canvas) return canvas;
  }
  ps.ownPrinter = NewFallbackPrinter(ps.landscape, "");
  auto canvas = std::make_unique<TPainterCanvas>(*ps.ownPrinter, false);
  canvas->SetPageSize(ps.landscape ? kFallbackPageHeight : kFallbackPageWidth,
                      ps.landscape ? kFallbackPageWidth : kFallbackPageHeight);
  return canvas;
}

// The longest prefix of the text that is at most `width` wide.
std::size_t FittingLength(IPrintCanvas& canvas, const std::string& text, int width, int fullWidth) {
  std::size_t n = fullWidth > 0 ? text.size() * static_cast<std::size_t>(std::max(width, 0)) /
                                      static_cast<std::size_t>(fullWidth)
                                : 0;
  n = std::min(n, text.size());
  while (n > 0 && canvas.TextWidth(text.substr(0, n)) > width) --n;
  while (n < text.size() && canvas.TextWidth(text.substr(0, n + 1)) <= width) ++n;
  return n;
}

// A cell at its column: cut to the width (a cut after a letter shows "." within the width),
// right-aligned cells end at the column's right edge.
void PrintCell(TSimplePrint& ps, const std::string& text, int x, int width, bool right) {
  if (ps.mode == kPrintModeCount || text.empty()) return;
  IPrintCanvas& canvas = *ps.canvas;
  std::string s = text;
  int w = canvas.TextWidth(s);
  if (w > width) {
    s.resize(FittingLength(canvas, s, width, w));
    if (!s.empty() && static_cast<unsigned char>(s.back()) >= 'A') {
      while (!s.empty() && canvas.TextWidth(s + ".") > width) s.pop_back();
      if (!s.empty() && static_cast<unsigned char>(s.back()) >= 'A') s += '.';
    }
    w = canvas.TextWidth(s);
  }
  if (s.empty()) return;
  Draw(ps, right ? x + width - w : x, ps.y, s);
}

}  // namespace

TSimplePrint::~TSimplePrint() {
  if (holdsRun) PrintAbort(*this);
}

void SetPrintTerminationCheck(std::function<bool()> terminated) { gTerminated = std::move(terminated); }

bool PrintTerminationRequested() { return gTerminated && gTerminated(); }

bool PrintRunActive() { return gRunActive; }

void PrintSetDefaultFont(TSimplePrint& ps) {
  if (!ps.canvas) return;
  ps.canvas->SetFont(TPrintFont{});
  ps.lineHeight = ps.canvas->TextHeight();
}

bool PrintBegin(TSimplePrint& ps, const std::string& jobTitle) {
  if (ps.holdsRun) PrintAbort(ps);
  if (gRunActive) return false;
  if (ps.mode == kPrintModePrinter && !ps.target && !PrinterInstalled() && JobFile().empty())
    ps.mode = kPrintModeCount;
  ps.pageNumber = 0;
  ps.y = 0;

  IPrintCanvas* canvas = nullptr;
  if (ps.mode != kPrintModeCount && ps.target) {
    canvas = ps.target;
    ps.documentStarted = true;
  } else if (ps.mode == kPrintModePrinter) {
    ps.ownCanvas = NewJobCanvas(ChosenPrinter(), ps.landscape, jobTitle);
    if (!ps.ownCanvas) return false;
    canvas = ps.ownCanvas.get();
    ps.documentStarted = true;
  } else if (ps.mode == kPrintModePreview && ps.previewPrinter) {
    ps.previewPages.clear();
    const bool fallback = !PrinterInstalled();
    ps.ownCanvas = std::make_unique<TPreviewPageCanvas>(
        *ps.previewPrinter,
        fallback ? (ps.landscape ? kFallbackPageHeight : kFallbackPageWidth) : 0,
        fallback ? (ps.landscape ? kFallbackPageWidth : kFallbackPageHeight) : 0);
    canvas = ps.ownCanvas.get();
    ps.documentStarted = true;
  } else {
    ps.ownCanvas = MeasuringCanvas(ps);
    canvas = ps.ownCanvas.get();
  }
  ps.canvas = canvas;
  ps.pageWidth = canvas->PageWidth();
  ps.pageHeight = canvas->PageHeight();
  ps.resolutionX = canvas->ResolutionX();
  ps.resolutionY = canvas->ResolutionY();
  gRunActive = true;
  ps.holdsRun = true;
  if (!StartPage(ps, true)) {
    PrintAbort(ps);
    return false;
  }
  return true;
}

bool PrintNewPage(TSimplePrint& ps) {
  if (!ps.canvas) return false;
  if (PrintTerminationRequested()) return false;
  return StartPage(ps, false);
}

bool PrintEnd(TSimplePrint& ps) {
  bool ok = true;
  if (ps.documentStarted && ps.canvas) ok = ps.canvas->End();
  // The preview's pages stay with the run's state until the preview takes them.
  if (auto* pages = dynamic_cast<TPreviewPageCanvas*>(ps.ownCanvas.get()))
    ps.previewPages = pages->TakePages();
  Release(ps);
  return ok;
}

void PrintAbort(TSimplePrint& ps) {
  if (ps.documentStarted && ps.canvas) ps.canvas->Abort();
  Release(ps);
}

bool PrintLine(TSimplePrint& ps, int x, const std::string& text) {
  if (!ps.canvas) return false;
  if (ps.y + ps.lineHeight >= ps.pageHeight && !PrintNewPage(ps)) return false;
  Draw(ps, x, ps.y, text);
  ps.y += ps.lineHeight;
  return true;
}

int PrintWrapped(TSimplePrint& ps, int leftX, int rightMargin, bool countOnly,
                 const std::string& text) {
  if (!ps.canvas) return 0;
  IPrintCanvas& canvas = *ps.canvas;
  const int available = ps.pageWidth - leftX - rightMargin;
  int lines = 0;
  auto putLine = [&](const std::string& line) {
    ++lines;
    if (!countOnly) PrintLine(ps, leftX, line);
  };
  const std::string upper = AnsiUpperCase(text);
  std::size_t start = 0;
  for (;;) {
    const std::size_t br = upper.find("<BR>", start);
    std::string paragraph =
        text.substr(start, br == std::string::npos ? std::string::npos : br - start);
    while (paragraph.size() > 1 && canvas.TextWidth(paragraph) > available) {
      bool cut = false;
      for (std::size_t i = paragraph.size() - 2; i >= 1; --i) {
        if (paragraph[i] != ' ' && paragraph[i] != '-') continue;
        const std::string prefix = paragraph.substr(0, i + 1);
        if (canvas.TextWidth(prefix) <= available) {
          putLine(prefix);
          paragraph.erase(0, i + 1);
          cut = true;
          break;
        }
      }
      if (!cut) break;
    }
    putLine(paragraph);
    if (br == std::string::npos) break;
    start = br + 4;
  }
  return lines;
}

bool PrintTabTable(TSimplePrint& ps, const std::string& fileName, int columns, int leftMargin) {
  if (columns < 1 || !ps.canvas) return false;
  TTabFileReader reader;
  if (!reader.Open(fileName)) return false;
  IPrintCanvas& canvas = *ps.canvas;
  const std::size_t n = static_cast<std::size_t>(columns);

  // Measure, shrinking the font until the table fits or it reaches 6 points.
  TPrintFont font = canvas.Font();
  std::vector<int> maxima(n), averages(n);
  int gap = 0, lineHeight = 0;
  std::int64_t free = 0;
  std::string line;
  std::vector<std::string> cells;
  for (;;) {
    canvas.SetFont(font);
    gap = canvas.TextWidth("X");
    const int textHeight = canvas.TextHeight();
    lineHeight = textHeight + textHeight / 5;
    std::vector<std::int64_t> sums(n, 0), counts(n, 0);
    std::fill(maxima.begin(), maxima.end(), 0);
    reader.Rewind();
    bool header = true;
    while (reader.Next(line)) {
      if (IsFormatLine(line) || IsIgnoredLine(line)) continue;
      SplitCells(line, columns, cells);
      for (std::size_t c = 0; c < n; ++c) {
        if (cells[c].empty()) continue;
        int w = canvas.TextWidth(cells[c]);
        if (header) w += w / 5;  // the header is printed bold
        maxima[c] = std::max(maxima[c], w);
        sums[c] += w;
        ++counts[c];
      }
      header = false;
    }
    if (reader.error()) return false;
    std::int64_t sumMax = 0;
    for (std::size_t c = 0; c < n; ++c) {
      averages[c] = counts[c] ? static_cast<int>(sums[c] / counts[c]) : 0;
      if (averages[c] > maxima[c] / 10 * 7) averages[c] = maxima[c];
      sumMax += maxima[c];
    }
    free = ps.pageWidth - leftMargin - static_cast<std::int64_t>(n - 1) * gap - sumMax;
    if (free >= 0 || font.size < 7) break;
    --font.size;
  }

  // Column widths and positions.
  std::vector<int> widths(n), xs(n);
  int start = 0;
  if (free >= 0) {
    widths = maxima;
    start = static_cast<int>(free / 2);
  } else {
    widths = averages;
    std::int64_t rest = ps.pageWidth - leftMargin - static_cast<std::int64_t>(n - 1) * gap;
    for (int w : averages) rest -= w;
    rest = std::max<std::int64_t>(rest, 0);
    std::int64_t added;
    do {
      const std::int64_t share = rest / static_cast<std::int64_t>(2 * n);
      added = 0;
      for (std::size_t c = 0; c < n; ++c) {
        if (widths[c] >= maxima[c]) continue;
        const std::int64_t add = std::min<std::int64_t>(share, maxima[c] - widths[c]);
        widths[c] += static_cast<int>(add);
        rest -= add;
        added += add;
      }
    } while (static_cast<std::int64_t>(2 * n) < rest && added > 0);
  }
  for (std::size_t c = 0, x = static_cast<std::size_t>(start); c < n; ++c) {
    xs[c] = leftMargin + static_cast<int>(x);
    x += static_cast<std::size_t>(widths[c] + gap);
  }

  // Print.
  ps.lineHeight = lineHeight;
  std::vector<bool> right(n, false);
  std::vector<std::string> header;
  bool haveHeader = false;
  auto printRow = [&](const std::vector<std::string>& row, bool bold) {
    if (bold) {
      TPrintFont b = font;
      b.bold = true;
      canvas.SetFont(b);
    }
    for (std::size_t c = 0; c < n; ++c) PrintCell(ps, row[c], xs[c], widths[c], right[c]);
    if (bold) canvas.SetFont(font);
  };
  auto printHeader = [&] {
    printRow(header, true);
    ps.y += lineHeight + lineHeight / 2;
  };
  reader.Rewind();
  while (reader.Next(line)) {
    if (IsIgnoredLine(line)) continue;
    if (IsFormatLine(line)) {
      for (std::size_t c = 0; c < n; ++c) right[c] = c + 1 < line.size() && line[c + 1] == '2';
      continue;
    }
    SplitCells(line, columns, cells);
    if (!haveHeader) {
      header = cells;
      haveHeader = true;
      if (ps.y + lineHeight >= ps.pageHeight && !PrintNewPage(ps)) return false;
      printHeader();
      continue;
    }
    if (ps.y + lineHeight >= ps.pageHeight) {
      if (!PrintNewPage(ps)) return false;
      printHeader();
    }
    printRow(cells, false);
    ps.y += lineHeight;
  }
  return !reader.error();
}

bool PrintTextFile(TSimplePrint& ps, const std::string& title, const std::string& fileName,
                   double leftCm, int columns) {
  ps.title = title.substr(0, 127);
  if (ps.dateText.empty()) {
    const TDateTimeParts t = DecodeDateTime(NowLocal());
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute);
    ps.dateText = text;
  }
  if (!PrintBegin(ps, ps.title)) return false;
  const int margin = static_cast<int>(leftCm / 2.54 * ps.resolutionX);
  if (!PrintTabTable(ps, fileName, columns, margin)) {
    PrintAbort(ps);
    return false;
  }
  return PrintEnd(ps);
}
