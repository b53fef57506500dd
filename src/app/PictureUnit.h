#pragma once
// Picture helpers of the views: photos of persons, floor plans, screenshots and the cheap
// gradient backgrounds. A "bitmap" is a QImage; every operation first turns it into 24 bits
// per pixel (QImage::Format_RGB888). JPEG goes through libjpeg directly, with our own error
// handling: corrupt data gives false, never an exit of the program.

#include <cstdint>
#include <string>

#include <QImage>
#include <QLabel>


// --- JPEG ---

// Pictures larger than this (width x height) are refused from the JPEG header, before any
// pixel memory is taken: a 4 MB file may claim 65500 x 65500 pixels.
constexpr std::int64_t kJpegMaxPixels = 40'000'000;

// Encodes at one quality (1..100); false (and `out` empty) for an empty bitmap or when the
// encoder fails.
bool SaveBitmapAsJpeg(const QImage& bitmap, int quality, std::string& out);

// Encodes at quality 95, 93, 91, ... 11 until the result is not larger than `sizeLimit`;
// a limit below 1 takes the first pass (95). When even quality 11 is too large, that last
// result stays. `out` is empty when the bitmap cannot be encoded.
void SaveBitmapAsJpegLimited(const QImage& bitmap, std::int64_t sizeLimit, std::string& out);

// The above, written to `fileName` (created or overwritten); false when nothing could be
// encoded or the file could not be written.
bool SaveBitmapAsJpegFile(const QImage& bitmap, std::int64_t sizeLimit, const std::string& fileName);

// Decodes any JPEG that libjpeg reads (starts with the SOI marker FF D8) at full size and
// best quality into an RGB bitmap. Refused: no SOI, more than `maxPixels` pixels, corrupt or
// truncated data. On false `bitmap` is unchanged.
bool LoadJpegStringToBitmap(const std::string& bytes, QImage& bitmap,
                            std::int64_t maxPixels = kJpegMaxPixels);

// Files of 1024 to 4194304 bytes only; then as LoadJpegStringToBitmap.
constexpr std::int64_t kJpegFileMinBytes = 1024;
constexpr std::int64_t kJpegFileMaxBytes = 4194304;
bool LoadJpegFileToBitmap(const std::string& fileName, QImage& bitmap,
                          std::int64_t maxPixels = kJpegMaxPixels);

// --- Scaling, turning, gradients ---

// Shrinks the bitmap (aspect kept) to fit a box of maxWidth x maxHeight. False, unchanged,
// when it already fits, is empty, or the box is smaller than 1 x 1. No side becomes 0.
bool ScaleBitmapToBox(QImage& bitmap, int maxWidth, int maxHeight);

// A quarter turn clockwise / counter-clockwise; width and height swap.
void RotateBitmapRight(QImage& bitmap);
void RotateBitmapLeft(QImage& bitmap);

// Rows of one colour each, running linearly (16.16 fixed point) from the top colour to the
// bottom colour (blue-green-red colour values). Nothing happens for a height of 0.
void FillGradient(QImage& bitmap, std::uint32_t topColor, std::uint32_t bottomColor);

// A gradient background: a 16-pixel-wide bitmap stretched over the whole of its parent, kept
// behind the parent's other children and following the parent's size.
class TGradientImage : public QLabel {
  Q_OBJECT
 public:
  TGradientImage(QWidget* parent, int height, std::uint32_t topColor, std::uint32_t bottomColor);
  const QImage& Bitmap() const { return bitmap_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QImage bitmap_;
};

TGradientImage* CreateGradientImage(QWidget* parent, int height, std::uint32_t topColor,
                                    std::uint32_t bottomColor);
