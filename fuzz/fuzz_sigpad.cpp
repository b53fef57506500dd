// Pad samples as a driver might deliver them, through everything the program does with
// them before they are stored: packing, the thinning of the dialog, and the drawing on a
// picture of any size (every pixel write must stay inside it). The same bytes also go
// through the pad text builder, whose lines must all fit the display.
// Input: byte 0 the picture's width (0..510 in steps of 2), byte 1 its height, byte 2 the
// pad text's key count, then 20-byte samples.
// fuzz-seconds: 10

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/SigDrawUnit.h"
#include "data/SigPadUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int width = data[0] * 2, height = data[1];
  const int keyCount = data[2];
  const uint8_t* bytes = data + 3;
  const size_t length = size - 3;

  TRawSamples samples(length / kFramesSize);
  if (!samples.empty()) std::memcpy(samples.data(), bytes, samples.size() * kFramesSize);

  TSignaturePoints points;
  PackSignaturePoints(samples, points);
  if (points.size() != samples.size()) std::abort();
  for (size_t i = 0; i < points.size(); ++i) {
    const TMiniFrames& p = points[i];
    if (p.x != samples[i].x || p.y != samples[i].y || p.level != samples[i].level) std::abort();
    // 254 and 255 only ever come from pressures above 255 * 8 + 7.
    if ((p.pressure | 1) == 255 && samples[i].pressure / 8 <= 255) std::abort();
  }
  if (!points.empty() && !points.front().StartsStroke()) std::abort();

  const size_t before = points.size();
  const size_t strokes = static_cast<size_t>(std::count_if(
      points.begin(), points.end(), [](const TMiniFrames& p) { return p.StartsStroke(); }));
  const TMiniFrames last = before ? points.back() : TMiniFrames();
  const int passes = ReduceForDisplay(points);
  if (passes < 1 || passes > kMaxReducePasses) std::abort();
  if (points.size() > before) std::abort();
  // Strokes are never lost or merged, and the last point stays.
  if (static_cast<size_t>(std::count_if(points.begin(), points.end(), [](const TMiniFrames& p) {
        return p.StartsStroke();
      })) != strokes)
    std::abort();
  if (before && !(points.back() == last)) std::abort();

  TSigCanvas canvas(width, height);
  DrawSignature(canvas, points);
  if (canvas.Width() != width || canvas.Height() != height) std::abort();

  // The same bytes as a configured pad text and as names.
  const std::string text(reinterpret_cast<const char*>(bytes), length);
  const size_t cut = text.size() / 2;
  for (const std::string& line : BuildPadTextLines(text.substr(0, cut), keyCount, text.substr(cut), "P"))
    if (line.size() > kPadLineWidth + 1u) std::abort();
  return 0;
}
