#pragma once
// Drawing a signature: packed pen points become anti-aliased, pressure-weighted strokes on
// a 24-bit picture in memory. The signature frame wraps the picture in its image; the fuzz
// target draws on it without any window.
//
// The drawing keeps one small state for the module (target picture, scale, last pen
// position), so one signature is drawn at a time, point by point.

#include <cstdint>
#include <vector>

#include "data/SigDBUnit.h"

// A picture of width x height pixels, each three bytes red, green, blue, rows one after
// the other without padding (what a 24-bit image with width * 3 bytes per line reads).
class TSigCanvas {
 public:
  // The largest side the canvas accepts; larger sizes are cut to it.
  static constexpr int kMaxSide = 4096;

  TSigCanvas() = default;
  TSigCanvas(int width, int height) { Resize(width, height); }

  // New size (negative counts as 0), all white.
  void Resize(int width, int height);
  void Fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  void Clear() { Fill(255, 255, 255); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BytesPerLine() const { return width_ * 3; }
  std::uint8_t* Bits() { return pixels_.data(); }
  const std::uint8_t* Bits() const { return pixels_.data(); }
  // The pixel's three bytes; null outside the picture.
  std::uint8_t* Pixel(int x, int y);
  const std::uint8_t* Pixel(int x, int y) const;
  // True when every pixel is white.
  bool IsWhite() const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

// Sets the drawing up for `canvas` (kept by address until the next call): origin
// (left - 57, top - 67), scale from `height` and `width`, the pad's box 0..width + 3740 by
// 0..height + 3100; the next point starts a stroke.
void BeginSignatureDrawing(TSigCanvas& canvas, int left, int top, int height, int width);
// Draws one point: its position scaled into the picture; a stroke start only moves the
// pen; otherwise a black line from the last pen position, its strength from the level
// (128 and above count as 127). A move of at most one pixel draws nothing and keeps the
// last position, so the next point draws from there.
void DrawSignaturePoint(int level, bool startsStroke, int y, int x);

// The whole signature on the whole canvas: white first, then every point in order.
void DrawSignature(TSigCanvas& canvas, const TSignaturePoints& points);

// One pixel takes the black pen of `level` with `coverage` (0..1): k = (level - 35) * 0.5 /
// 93 + 0.25, w = k * coverage, each colour becomes colour * (1 - w) + pen * w, rounded.
// Outside the picture nothing happens.
void BlendSignaturePixel(TSigCanvas& canvas, int x, int y, int level, double coverage);

// The picture size of the signature frame.
constexpr int kSigImageWidth = 400;
constexpr int kSigImageHeight = 200;

// The part of the pad's coordinates that a picture of width x height shows when drawn
// from (0, 0): what a pad maps its writing area onto.
struct TPadBox {
  double x0, y0, x1, y1;
};
inline TPadBox SignatureVisibleBox(int width, int height) {
  const double w = width > 0 ? width : 1, h = height > 0 ? height : 1;
  const double xRange = w + 3740, yRange = h + 3100;
  return {57 * xRange / w, 67 * yRange / h, (w / 1.54 + 57) * xRange / w,
          (h / 1.67 + 67) * yRange / h};
}
