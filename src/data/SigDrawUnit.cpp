#include "data/SigDrawUnit.h"

#include <algorithm>
#include <cmath>

// ---- the canvas ------------------------------------------------------------------------------

void TSigCanvas::Resize(int width, int height) {
  width_ = std::clamp(width, 0, kMaxSide);
  height_ = std::clamp(height, 0, kMaxSide);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3, 255);
}

void TSigCanvas::Fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  if (red == green && green == blue) {
    std::fill(pixels_.begin(), pixels_.end(), red);
    return;
  }
  for (size_t i = 0; i + 2 < pixels_.size(); i += 3) {
    pixels_[i] = red;
    pixels_[i + 1] = green;
    pixels_[i + 2] = blue;
  }
}

std::uint8_t* TSigCanvas::Pixel(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  return pixels_.data() + (static_cast<size_t>(y) * static_cast<size_t>(width_) + x) * 3;
}

const std::uint8_t* TSigCanvas::Pixel(int x, int y) const {
  return const_cast<TSigCanvas*>(this)->Pixel(x, y);
}

bool TSigCanvas::IsWhite() const {
  return std::all_of(pixels_.begin(), pixels_.end(), [](std::uint8_t b) { return b == 255; });
}

void BlendSignaturePixel(TSigCanvas& canvas, int x, int y, int level, double coverage) {
  std::uint8_t* pixel = canvas.Pixel(x, y);
  if (!pixel || !(coverage > 0)) return;
  const double k = (level - 35) * 0.5 / 93 + 0.25;
  const double w = k * std::min(coverage, 1.0);
  constexpr double kPen = 0;  // black
  for (int i = 0; i < 3; ++i) {
    const double value = pixel[i] * (1 - w) + kPen * w;
    pixel[i] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
  }
}

// ---- the drawing state -----------------------------------------------------------------------

namespace {

struct TDrawingState {
  TSigCanvas* canvas = nullptr;
  double ox = 0, oy = 0, sw = 0, sh = 0;
  // The pad's box; doubles, so no picture size can overflow it.
  double xMin = 0, yMin = 0, xMax = 1, yMax = 1;
  double lastX = 0, lastY = 0;
  bool firstPoint = true;
  int lastColour = -1;
};

TDrawingState gState;

// The point at (fx, fy) spread over the four pixels it touches, weighted by how close it
// lies to each (bilinear), so a stroke is anti-aliased.
void PlotPoint(double fx, double fy, int level) {
  TSigCanvas& canvas = *gState.canvas;
  // Positions are compared as doubles first: far-off ones never reach an integer cast.
  if (!(fx > -1.0 && fy > -1.0 && fx < canvas.Width() && fy < canvas.Height())) return;
  const double bx = std::floor(fx), by = std::floor(fy);
  const double ax = fx - bx, ay = fy - by;
  const int x = static_cast<int>(bx), y = static_cast<int>(by);
  BlendSignaturePixel(canvas, x, y, level, (1 - ax) * (1 - ay));
  BlendSignaturePixel(canvas, x + 1, y, level, ax * (1 - ay));
  BlendSignaturePixel(canvas, x, y + 1, level, (1 - ax) * ay);
  BlendSignaturePixel(canvas, x + 1, y + 1, level, ax * ay);
}

// The step indices i (1..steps) whose position start + i * unit lies within [min, max].
void ClipSteps(double start, double unit, double min, double max, double& lo, double& hi) {
  if (unit == 0) {
    if (start < min || start > max) hi = 0;
    return;
  }
  double a = (min - start) / unit, b = (max - start) / unit;
  if (a > b) std::swap(a, b);
  lo = std::max(lo, std::ceil(a));
  hi = std::min(hi, std::floor(b));
}

void LineTo(double x1, double y1, int level) {
  const double x0 = gState.lastX, y0 = gState.lastY;
  const double dx = x1 - x0, dy = y1 - y0;
  const double d2 = dx * dx + dy * dy;
  if (!(d2 > 1)) return;
  const double d = std::sqrt(d2);
  const double ux = dx / d, uy = dy / d;
  // Only the steps that land on the picture (with a margin for the four pixels of a point
  // and the second, shifted plot) are walked: a line far outside costs nothing, whatever
  // its length.
  const TSigCanvas& canvas = *gState.canvas;
  double lo = 1, hi = std::trunc(d);
  ClipSteps(x0, ux, -2.0, canvas.Width() + 2.0, lo, hi);
  ClipSteps(y0, uy, -2.0, canvas.Height() + 2.0, lo, hi);
  for (double i = lo; i <= hi; ++i) {
    const double x = x0 + i * ux, y = y0 + i * uy;
    // Twice, the second shifted half a pixel up and right: a line one pixel wide would
    // look thin and broken at this scale.
    PlotPoint(x, y, level);
    PlotPoint(x + 0.5, y - 0.5, level);
  }
  gState.lastX = x1;
  gState.lastY = y1;
}

}  // namespace

void BeginSignatureDrawing(TSigCanvas& canvas, int left, int top, int height, int width) {
  gState = TDrawingState();
  gState.canvas = &canvas;
  gState.ox = left - 57.0;
  gState.oy = top - 67.0;
  gState.sw = width;
  gState.sh = height;
  gState.xMin = 0;
  gState.yMin = 0;
  gState.xMax = width + 3740.0;
  gState.yMax = height + 3100.0;
  // A zero-sized box would divide by zero: such a picture shows nothing anyway.
  if (gState.xMax <= gState.xMin) gState.xMax = gState.xMin + 1;
  if (gState.yMax <= gState.yMin) gState.yMax = gState.yMin + 1;
}

void DrawSignaturePoint(int level, bool startsStroke, int y, int x) {
  if (!gState.canvas) return;
  const double px =
      ((x - gState.xMin) * gState.sw / (gState.xMax - gState.xMin) + gState.ox) * 1.54;
  const double py =
      ((y - gState.yMin) * gState.sh / (gState.yMax - gState.yMin) + gState.oy) * 1.67;
  // The first point of a drawing has nothing to join, whatever its stroke bit says.
  if (startsStroke || gState.firstPoint) {
    gState.lastX = px;
    gState.lastY = py;
    gState.firstPoint = false;
  }
  const int pen = std::min(level, 127);
  gState.lastColour = pen;
  LineTo(px, py, pen);
}

void DrawSignature(TSigCanvas& canvas, const TSignaturePoints& points) {
  canvas.Clear();
  BeginSignatureDrawing(canvas, 0, 0, canvas.Height(), canvas.Width());
  for (const TMiniFrames& p : points) DrawSignaturePoint(p.level, p.StartsStroke(), p.y, p.x);
}
