// Drawing a signature on the in-memory picture.

#include <gtest/gtest.h>

#include <vector>

#include "data/SigDrawUnit.h"

namespace {

TMiniFrames P(int x, int y, bool start, int level = 100) {
  return {static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y),
          static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(start ? 201 : 200)};
}

TSigCanvas Drawn(const TSignaturePoints& points, int width = kSigImageWidth,
                 int height = kSigImageHeight) {
  TSigCanvas canvas(width, height);
  DrawSignature(canvas, points);
  return canvas;
}

bool SameBits(const TSigCanvas& a, const TSigCanvas& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::equal(a.Bits(), a.Bits() + a.BytesPerLine() * a.Height(), b.Bits());
}

int Red(const TSigCanvas& canvas, int x, int y) { return canvas.Pixel(x, y)[0]; }

TEST(SigDraw, EmptyIsWhite) {
  TSigCanvas canvas(kSigImageWidth, kSigImageHeight);
  canvas.Fill(0, 0, 0);
  DrawSignature(canvas, {});
  EXPECT_TRUE(canvas.IsWhite());
  // A single point only places the pen.
  EXPECT_TRUE(Drawn({P(2000, 2000, true)}).IsWhite());
}

TEST(SigDraw, ClosePointsDrawNothingAndTheNextDrawsFromTheFirst) {
  // One pad unit is about a seventh of a pixel.
  EXPECT_TRUE(Drawn({P(2000, 1500, true), P(2001, 1501, false)}).IsWhite());
  const TSigCanvas skipped =
      Drawn({P(2000, 1500, true), P(2001, 1501, false), P(2600, 1800, false)});
  const TSigCanvas direct = Drawn({P(2000, 1500, true), P(2600, 1800, false)});
  EXPECT_FALSE(direct.IsWhite());
  EXPECT_TRUE(SameBits(skipped, direct));
}

TEST(SigDraw, StrokeStartNeverJoinsThePreviousStroke) {
  // Two short strokes far apart on one line; between them the picture stays white, unless
  // the second one does not start a stroke.
  const TSignaturePoints apart = {P(1000, 1500, true), P(1300, 1500, false),
                                  P(3000, 1500, true), P(3200, 1500, false)};
  TSignaturePoints joined = apart;
  joined[2].pressure &= 0xFE;
  const TSigCanvas a = Drawn(apart), j = Drawn(joined);
  // Pixel row of y = 1500 and the column half-way between the strokes.
  const int y = static_cast<int>((1500.0 * kSigImageHeight / (kSigImageHeight + 3100) - 67) * 1.67);
  const int x = static_cast<int>((2150.0 * kSigImageWidth / (kSigImageWidth + 3740) - 57) * 1.54);
  for (int dy = -1; dy <= 1; ++dy) {
    EXPECT_EQ(Red(a, x, y + dy), 255) << dy;
  }
  EXPECT_LT(std::min({Red(j, x, y - 1), Red(j, x, y), Red(j, x, y + 1)}), 200);
}

TEST(SigDraw, LevelsAbove127DrawAs127) {
  auto stroke = [](int level) {
    return Drawn({P(1000, 1200, true, level), P(2500, 2000, false, level),
                  P(3000, 1300, false, level)});
  };
  const TSigCanvas at127 = stroke(127);
  EXPECT_TRUE(SameBits(stroke(200), at127));
  EXPECT_TRUE(SameBits(stroke(128), at127));
  EXPECT_FALSE(SameBits(stroke(126), at127));
}

TEST(SigDraw, OnePixelBlend) {
  struct TCase {
    int level;
    double coverage;
    int before, after;
  };
  // k = (level - 35) * 0.5 / 93 + 0.25; colour * (1 - k * coverage), rounded.
  const std::vector<TCase> cases = {
      {35, 1.0, 255, 191},   // 255 * 0.75 = 191.25
      {35, 1.0, 191, 143},   // a second plot darkens further: 143.25
      {128, 1.0, 255, 64},   // 63.75
      {127, 1.0, 255, 65},   // 65.12
      {35, 0.5, 255, 223},   // 223.125
      {81, 1.0, 100, 50},    // k = 0.5 exactly
      {35, 0.0, 255, 255},   // no coverage, no change
  };
  for (const TCase& c : cases) {
    TSigCanvas canvas(3, 3);
    canvas.Fill(static_cast<std::uint8_t>(c.before), static_cast<std::uint8_t>(c.before),
                static_cast<std::uint8_t>(c.before));
    BlendSignaturePixel(canvas, 1, 1, c.level, c.coverage);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(canvas.Pixel(1, 1)[i], c.after) << c.level << " " << c.coverage;
    EXPECT_EQ(canvas.Pixel(0, 0)[0], c.before);
  }
  // Outside the picture nothing is written.
  TSigCanvas canvas(2, 2);
  for (int xy : {-1, 2, 1 << 30}) BlendSignaturePixel(canvas, xy, 0, 100, 1.0);
  EXPECT_TRUE(canvas.IsWhite());
}

TEST(SigDraw, ExtremeCoordinatesStayInsideThePicture) {
  // Every corner of the pad's range, joined in every order, on pictures of every shape;
  // the sanitizers watch every pixel write.
  const TSignaturePoints corners = {P(0, 0, true),          P(65535, 65535, false),
                                    P(0, 65535, false),     P(65535, 0, false),
                                    P(0, 0, false),         P(65535, 65535, true),
                                    P(32768, 0, false),     P(0, 32768, false)};
  for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {3, 2}, {1, 300},
                                                      {kSigImageWidth, kSigImageHeight}}) {
    const TSigCanvas canvas = Drawn(corners, w, h);
    EXPECT_EQ(canvas.Width(), w);
    EXPECT_EQ(canvas.Height(), h);
  }
  EXPECT_FALSE(Drawn(corners).IsWhite());

  // A drawing set up for a larger picture than the canvas, and for sizes far out of range.
  TSigCanvas small(5, 5);
  for (auto [w, h] : std::vector<std::pair<int, int>>{{4000, 3000}, {-5000, -3200}, {0, 0},
                                                      {2147483647, 2147483647}}) {
    BeginSignatureDrawing(small, 0, 0, h, w);
    for (const TMiniFrames& p : corners) DrawSignaturePoint(p.level, p.StartsStroke(), p.y, p.x);
  }
  // Negative sizes count as empty pictures.
  EXPECT_EQ(TSigCanvas(-3, 7).Width(), 0);
}

}  // namespace
