#include "output/PrintCanvasUnit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"

std::string PrintFontFamily(const std::string& name) {
  static std::map<std::string, std::string> chosen;
  static std::mutex mutex;
  const std::lock_guard<std::mutex> lock(mutex);
  const auto it = chosen.find(name);
  if (it != chosen.end()) return it->second;
  const QStringList families = QFontDatabase::families();
  auto installed = [&families](const char* family) {
    return families.contains(QString::fromLatin1(family), Qt::CaseInsensitive);
  };
  std::string family = name;
  // The metric-compatible free fonts: a layout measured for the one fits with the other.
  if (name == "Verdana" && !installed("Verdana") && installed("DejaVu Sans")) family = "DejaVu Sans";
  if (name == "Arial" && !installed("Arial") && installed("Liberation Sans")) family = "Liberation Sans";
  chosen[name] = family;
  return family;
}

// ---------------------------------------------------------------------------------------

namespace {

// The widths of texts measured per font and device resolution, for the run. A printout
// measures every cell of its table several times (each page count, the preview's drawing,
// the printout) and shaping the text is most of the cost, while a text's width in one font
// on one resolution never changes. Printing happens on the window's thread only.
constexpr std::size_t kMaxWidthsPerFont = 200000;

std::map<std::string, std::unordered_map<std::string, int>>& AllWidths() {
  static std::map<std::string, std::unordered_map<std::string, int>> widths;
  return widths;
}

std::unordered_map<std::string, int>& WidthsOf(const QFont& font, int resX, int resY) {
  auto& widths = AllWidths();
  const std::string key =
      font.key().toStdString() + "@" + std::to_string(resX) + "x" + std::to_string(resY);
  auto& table = widths[key];
  if (table.size() > kMaxWidthsPerFont) table.clear();
  return table;
}

}  // namespace

void ForgetMeasuredTextWidths() {
  for (auto& [font, table] : AllWidths()) table.clear();
}

TPainterCanvas::TPainterCanvas(QPrinter& printer, bool paint) : printer_(printer) {
  resX_ = printer.logicalDpiX() > 0 ? printer.logicalDpiX() : 96;
  resY_ = printer.logicalDpiY() > 0 ? printer.logicalDpiY() : 96;
  pageWidth_ = printer.width();
  pageHeight_ = printer.height();
  if (paint) {
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&printer)) painter_.reset();
  }
  SetFont(TPrintFont{});
}

TPainterCanvas::~TPainterCanvas() {
  if (painter_ && painter_->isActive()) painter_->end();
}

bool TPainterCanvas::Started() const { return painter_ != nullptr; }

void TPainterCanvas::SetPageSize(int width, int height) {
  pageWidth_ = width;
  pageHeight_ = height;
}

void TPainterCanvas::SetFont(const TPrintFont& font) {
  font_ = font;
  qfont_ = QFont(ToQString(PrintFontFamily(font.name)));
  qfont_.setPointSize(font.size > 0 ? font.size : 1);
  qfont_.setBold(font.bold);
  qfont_.setItalic(font.italic);
  qfont_.setUnderline(font.underline);
  height_ = -1;
  metrics_ = std::make_unique<QFontMetricsF>(qfont_, &printer_);
  widths_ = &WidthsOf(qfont_, resX_, resY_);
  if (painter_) painter_->setFont(qfont_);
}

int TPainterCanvas::TextWidth(const std::string& text) {
  if (text.empty()) return 0;
  const auto known = widths_->find(text);
  if (known != widths_->end()) return known->second;
  const int width = static_cast<int>(std::lround(metrics_->horizontalAdvance(ToQString(text))));
  widths_->emplace(text, width);
  return width;
}

int TPainterCanvas::TextHeight() {
  if (height_ < 0) {
    height_ = static_cast<int>(std::lround(metrics_->height()));
    ascent_ = static_cast<int>(std::lround(metrics_->ascent()));
  }
  return height_;
}

int TPainterCanvas::Ascent() {
  TextHeight();
  return ascent_;
}

void TPainterCanvas::DrawText(int x, int y, const std::string& text) {
  if (!painter_ || text.empty()) return;
  TextHeight();
  painter_->drawText(QPointF(x, y + ascent_), ToQString(text));
}

void TPainterCanvas::DrawLine(int x1, int y1, int x2, int y2) {
  if (painter_) painter_->drawLine(x1, y1, x2, y2);
}

void TPainterCanvas::DrawPicture(int x, int y, int width, int height, const QImage& picture) {
  if (painter_) painter_->drawImage(QRect(x, y, width, height), picture);
}

bool TPainterCanvas::NewPage() {
  if (!painter_) return true;
  return printer_.newPage();
}

bool TPainterCanvas::End() {
  if (!painter_) return true;
  const bool ok = painter_->end();
  painter_.reset();
  return ok && printer_.printerState() != QPrinter::Error;
}

void TPainterCanvas::Abort() {
  if (!painter_) return;
  printer_.abort();
  if (painter_->isActive()) painter_->end();
  painter_.reset();
}

std::unique_ptr<QPrinter> NewFallbackPrinter(bool landscape, const std::string& fileName) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setResolution(96);
  printer->setFullPage(true);
  const QPageSize size(QSizeF(kFallbackPageWidth / 96.0, kFallbackPageHeight / 96.0),
                       QPageSize::Inch, QStringLiteral("Tessaro"), QPageSize::ExactMatch);
  printer->setPageLayout(QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0)));
  if (!fileName.empty()) printer->setOutputFileName(QFile::decodeName(QByteArray::fromStdString(PfOsPath(fileName))));
  return printer;
}

// ---------------------------------------------------------------------------------------

TPreviewPageCanvas::TPreviewPageCanvas(QPrinter& printer, int pageWidth, int pageHeight)
    : measure_(printer, false) {
  if (pageWidth > 0 && pageHeight > 0) measure_.SetPageSize(pageWidth, pageHeight);
  StartPicture();
}

TPreviewPageCanvas::~TPreviewPageCanvas() {
  if (painter_ && painter_->isActive()) painter_->end();
}

void TPreviewPageCanvas::StartPicture() {
  if (painter_ && painter_->isActive()) painter_->end();
  const double sx = 96.0 / std::max(ResolutionX(), 1);
  const double sy = 96.0 / std::max(ResolutionY(), 1);
  QImage page(std::max(1, static_cast<int>(std::lround(PageWidth() * sx))),
              std::max(1, static_cast<int>(std::lround(PageHeight() * sy))), QImage::Format_RGB888);
  page.fill(Qt::white);
  // Fonts in points take the printer's size in pixels; the painter scales them to the
  // picture's 96 per inch with everything else.
  page.setDotsPerMeterX(static_cast<int>(std::lround(ResolutionX() / 0.0254)));
  page.setDotsPerMeterY(static_cast<int>(std::lround(ResolutionY() / 0.0254)));
  pages_.push_back(std::move(page));
  painter_ = std::make_unique<QPainter>(&pages_.back());
  painter_->setRenderHint(QPainter::Antialiasing);
  painter_->setRenderHint(QPainter::TextAntialiasing);
  painter_->scale(sx, sy);
  painter_->setPen(Qt::black);
  painter_->setFont(measure_.QtFont());
}

void TPreviewPageCanvas::SetFont(const TPrintFont& font) {
  measure_.SetFont(font);
  if (painter_) painter_->setFont(measure_.QtFont());
}

void TPreviewPageCanvas::DrawText(int x, int y, const std::string& text) {
  if (!painter_ || text.empty()) return;
  painter_->drawText(QPointF(x, y + measure_.Ascent()), ToQString(text));
}

void TPreviewPageCanvas::DrawLine(int x1, int y1, int x2, int y2) {
  if (painter_) painter_->drawLine(x1, y1, x2, y2);
}

void TPreviewPageCanvas::DrawPicture(int x, int y, int width, int height, const QImage& picture) {
  if (painter_) painter_->drawImage(QRect(x, y, width, height), picture);
}

bool TPreviewPageCanvas::NewPage() {
  if (!painter_) return false;
  StartPicture();
  return true;
}

bool TPreviewPageCanvas::End() {
  if (painter_ && painter_->isActive()) painter_->end();
  painter_.reset();
  return true;
}

void TPreviewPageCanvas::Abort() {
  End();
  pages_.clear();
}

std::vector<QImage> TPreviewPageCanvas::TakePages() {
  End();
  return std::move(pages_);
}

// ---------------------------------------------------------------------------------------

TRecordingCanvas::TRecordingCanvas(TRecordedJob& job, int pageWidth, int pageHeight,
                                   int resolution)
    : job_(job), pageWidth_(pageWidth), pageHeight_(pageHeight), res_(resolution) {
  job_.pages.emplace_back();
}

int TRecordingCanvas::TextWidth(const std::string& text) {
  return static_cast<int>(std::lround(text.size() * font_.size * res_ / 144.0));
}

int TRecordingCanvas::TextHeight() {
  return static_cast<int>(std::lround(font_.size * res_ * 1.2 / 72.0));
}

void TRecordingCanvas::DrawText(int x, int y, const std::string& text) {
  job_.pages.back().texts.push_back({x, y, text, font_});
}

void TRecordingCanvas::DrawLine(int, int, int, int) { ++job_.pages.back().lines; }

void TRecordingCanvas::DrawPicture(int, int, int, int, const QImage&) {
  ++job_.pages.back().pictures;
}

bool TRecordingCanvas::NewPage() {
  job_.pages.emplace_back();
  return true;
}

bool TRecordingCanvas::End() {
  job_.ended = true;
  return true;
}

void TRecordingCanvas::Abort() { job_.aborted = true; }
