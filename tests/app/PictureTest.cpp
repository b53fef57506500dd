#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>

#include <jpeglib.h>

#include <QImage>
#include <gtest/gtest.h>

#include "app/PictureUnit.h"
#include "basic/FileCtrl2.h"
#include "support/TestSupport.h"

namespace {

// Deterministic noise: hard to compress, so every quality step changes the size.
QImage NoiseImage(int w, int h, unsigned seed = 7) {
  QImage img(w, h, QImage::Format_RGB888);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) img.scanLine(y)[x] = static_cast<uchar>(rng());
  return img;
}

QImage SolidImage(int w, int h, QRgb color) {
  QImage img(w, h, QImage::Format_RGB888);
  img.fill(QColor(color));
  return img;
}

// Every pixel a colour of its own, so turning shows where each pixel went.
QImage CoordImage(int w, int h) {
  QImage img(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 10, y * 10, 77));
  return img;
}

std::string Jpeg(const QImage& img, int quality) {
  std::string out;
  EXPECT_TRUE(SaveBitmapAsJpeg(img, quality, out));
  return out;
}

bool WriteBytes(const std::string& name, const std::string& bytes) {
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The offset of the SOF0 frame header's height field in a baseline JPEG.
std::size_t Sof0DimensionOffset(const std::string& jpeg) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF && static_cast<unsigned char>(jpeg[i + 1]) == 0xC0)
      return i + 5;
  return 0;
}

TEST(Jpeg, RoundTripKeepsSizeAndRoughColours) {
  const QImage img = SolidImage(40, 30, qRgb(200, 100, 50));
  QImage back;
  ASSERT_TRUE(LoadJpegStringToBitmap(Jpeg(img, 95), back));
  EXPECT_EQ(back.size(), QSize(40, 30));
  EXPECT_EQ(back.format(), QImage::Format_RGB888);
  const QColor c = back.pixelColor(20, 15);
  EXPECT_NEAR(c.red(), 200, 3);
  EXPECT_NEAR(c.green(), 100, 3);
  EXPECT_NEAR(c.blue(), 50, 3);
}

TEST(Jpeg, LimitedEncodingStepsDownToQualityElevenAndNoFurther) {
  const QImage img = NoiseImage(64, 64);
  std::vector<std::string> byQuality(101);
  for (int q = 95; q >= 11; q -= 2) byQuality[q] = Jpeg(img, q);
  for (int q = 95; q > 11; q -= 2) ASSERT_GT(byQuality[q].size(), byQuality[q - 2].size()) << q;
  // Quality 10 would be smaller still; the floor is 11 even when that is too large.
  ASSERT_LT(Jpeg(img, 9).size(), byQuality[11].size());

  struct Case {
    std::int64_t limit;
    int quality;
  } cases[] = {
      {0, 95},                                              // no limit: one pass
      {-5, 95},
      {std::int64_t(byQuality[95].size()), 95},             // fits at once
      {std::int64_t(byQuality[95].size()) - 1, 93},          // one step down
      {std::int64_t(byQuality[51].size()), 51},
      {std::int64_t(byQuality[51].size()) + 1, 51},
      {std::int64_t(byQuality[11].size()), 11},
      {1, 11},                                              // never fits: quality 11 stays
  };
  for (const Case& c : cases) {
    std::string out;
    SaveBitmapAsJpegLimited(img, c.limit, out);
    EXPECT_EQ(out, byQuality[c.quality]) << "limit " << c.limit << " expected quality " << c.quality;
  }
}

TEST(Jpeg, EmptyBitmapGivesNothingAndNoFile) {
  TTempDir dir;
  const std::string name = dir.File("empty.jpg");
  std::string out = "old";
  SaveBitmapAsJpegLimited(QImage(), 0, out);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(SaveBitmapAsJpegFile(QImage(), 0, name));
  EXPECT_EQ(GetFileSize64(name), -1);
}

TEST(Jpeg, FileAcceptanceLimits) {
  TTempDir dir;
  const std::string name = dir.File("photo.jpg");
  // A file of exactly `size` bytes that holds a valid JPEG (padding after EOI is ignored).
  auto padded = [](const std::string& jpeg, std::size_t size) {
    std::string bytes = jpeg;
    bytes.resize(std::max(size, jpeg.size()), '\0');
    return bytes;
  };
  const std::string small = Jpeg(SolidImage(8, 8, qRgb(1, 2, 3)), 50);
  ASSERT_LT(small.size(), 1000u);

  QImage bitmap;
  ASSERT_TRUE(WriteBytes(name, padded(small, 1023)));
  EXPECT_FALSE(LoadJpegFileToBitmap(name, bitmap)) << "below 1024 bytes";
  ASSERT_TRUE(WriteBytes(name, padded(small, 1024)));
  EXPECT_TRUE(LoadJpegFileToBitmap(name, bitmap));
  EXPECT_EQ(bitmap.size(), QSize(8, 8));
  ASSERT_TRUE(WriteBytes(name, padded(small, 4194304)));
  EXPECT_TRUE(LoadJpegFileToBitmap(name, bitmap));
  ASSERT_TRUE(WriteBytes(name, padded(small, 4194305)));
  EXPECT_FALSE(LoadJpegFileToBitmap(name, bitmap)) << "above 4 MiB";
  EXPECT_FALSE(LoadJpegFileToBitmap(dir.File("missing.jpg"), bitmap));

  // Written by us through the limited encoder and read back.
  const QImage photo = NoiseImage(50, 40);
  ASSERT_TRUE(SaveBitmapAsJpegFile(photo, 0, name));
  std::string onDisk;
  ASSERT_TRUE(ReadFileToString(name, onDisk));
  EXPECT_EQ(onDisk, Jpeg(photo, 95));
  ASSERT_TRUE(LoadJpegFileToBitmap(name, bitmap));
  EXPECT_EQ(bitmap.size(), QSize(50, 40));
}

TEST(Jpeg, AcceptsJpegWithoutJfifMarker) {
  // An Exif-style file: APP1 instead of the JFIF APP0 segment.
  std::string jpeg = Jpeg(SolidImage(16, 16, qRgb(9, 9, 9)), 80);
  ASSERT_EQ(jpeg.substr(6, 4), "JFIF");
  const std::size_t app0Length = (static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]);
  std::string exif = jpeg.substr(0, 2) + std::string("\xFF\xE1\x00\x08" "Exif\0\0", 10) +
                     jpeg.substr(4 + app0Length);
  QImage bitmap;
  ASSERT_TRUE(LoadJpegStringToBitmap(exif, bitmap));
  EXPECT_EQ(bitmap.size(), QSize(16, 16));
}

TEST(Jpeg, PixelLimitIsCheckedFromTheHeader) {
  const std::string jpeg = Jpeg(SolidImage(100, 50, qRgb(0, 0, 0)), 80);
  QImage bitmap;
  EXPECT_FALSE(LoadJpegStringToBitmap(jpeg, bitmap, 4999));
  EXPECT_TRUE(bitmap.isNull());
  EXPECT_TRUE(LoadJpegStringToBitmap(jpeg, bitmap, 5000));

  // A header that claims 60000 x 60000 pixels is refused before any pixel memory is taken.
  std::string huge = jpeg;
  const std::size_t at = Sof0DimensionOffset(huge);
  ASSERT_GT(at, 0u);
  const char dims[4] = {char(0xEA), char(0x60), char(0xEA), char(0x60)};
  huge.replace(at, 4, dims, 4);
  QImage kept = SolidImage(3, 3, qRgb(1, 1, 1));
  EXPECT_FALSE(LoadJpegStringToBitmap(huge, kept));
  EXPECT_EQ(kept.size(), QSize(3, 3)) << "a refused picture leaves the bitmap as it was";
}

TEST(Jpeg, CorruptAndTruncatedDataGiveFalse) {
  const std::string jpeg = Jpeg(NoiseImage(64, 48), 90);
  std::string badHuffman = jpeg;
  // Overwrite the middle of the entropy-coded data with markers the decoder cannot take.
  for (std::size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 64; i += 2) {
    badHuffman[i] = char(0xFF);
    badHuffman[i + 1] = char(0xD9 - (i % 3));
  }
  std::string noHeaderTables = jpeg.substr(0, 2) + jpeg.substr(jpeg.size() / 2);
  const std::string cases[] = {
      jpeg.substr(0, jpeg.size() / 2),  // truncated in the scan
      jpeg.substr(0, 200),              // truncated in the headers
      jpeg.substr(0, 3),
      "",
      std::string("\xFF\xD8\xFF", 3) + std::string(500, 'x'),
      badHuffman,
      noHeaderTables,
      "GIF89a" + jpeg,                  // no SOI
  };
  int n = 0;
  for (const std::string& bytes : cases) {
    QImage bitmap = SolidImage(2, 2, qRgb(5, 5, 5));
    EXPECT_FALSE(LoadJpegStringToBitmap(bytes, bitmap)) << "case " << n;
    EXPECT_EQ(bitmap.size(), QSize(2, 2)) << "case " << n;
    ++n;
  }
  QImage bitmap;
  EXPECT_TRUE(LoadJpegStringToBitmap(jpeg, bitmap)) << "the intact original still loads";
}

TEST(Jpeg, CmykJpegDecodesToRgb) {
  // Written with libjpeg the way Adobe programs write CMYK (inverted, Adobe marker).
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 8;
  cinfo.image_height = 8;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  // Inverted CMYK for pure red: no cyan ink (255), full magenta and yellow (0), no black (255).
  unsigned char row[8 * 4];
  for (int x = 0; x < 8; ++x) {
    row[4 * x] = 255;
    row[4 * x + 1] = 0;
    row[4 * x + 2] = 0;
    row[4 * x + 3] = 255;
  }
  while (cinfo.next_scanline < 8) {
    JSAMPROW r = row;
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  const std::string bytes(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);

  QImage bitmap;
  ASSERT_TRUE(LoadJpegStringToBitmap(bytes, bitmap));
  const QColor c = bitmap.pixelColor(4, 4);
  EXPECT_GT(c.red(), 240);
  EXPECT_LT(c.green(), 15);
  EXPECT_LT(c.blue(), 15);
}

TEST(ScaleBitmapToBox, TableOfSizes) {
  struct Case {
    int w, h, boxW, boxH;
    bool changed;
    int newW, newH;
  } cases[] = {
      {100, 50, 200, 200, false, 100, 50},   // already fits
      {100, 50, 100, 50, false, 100, 50},
      {100, 50, 0, 50, false, 100, 50},      // no box: refused
      {100, 50, 50, 0, false, 100, 50},
      {100, 50, -3, 10, false, 100, 50},
      {400, 400, 100, 100, true, 100, 100},  // halved twice, no resampling
      {200, 100, 100, 100, true, 100, 50},   // f = 0.5: halved once
      {150, 150, 100, 100, true, 100, 100},
      {300, 200, 200, 200, true, 200, 133},  // 199.99 -> one less -> 200
      {1000, 800, 300, 300, true, 300, 240}, // to 600 x 480, then halved
      {1000, 1, 10, 10, true, 10, 1},        // a thin line keeps one pixel of height
      {1, 1000, 10, 10, true, 1, 10},
      {5, 3, 1, 1, true, 1, 1},
      {3, 1000, 1, 1, true, 1, 1},
      // 7 x 9 to fit 4 x 6 gives 4 x 5, and 5, one less than 6, becomes 6: halved 2 x 3.
      {7, 9, 2, 3, true, 2, 3},
  };
  for (const Case& c : cases) {
    QImage img = NoiseImage(c.w, c.h);
    const bool changed = ScaleBitmapToBox(img, c.boxW, c.boxH);
    EXPECT_EQ(changed, c.changed) << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH;
    EXPECT_EQ(img.size(), QSize(c.newW, c.newH)) << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH;
  }
  QImage empty;
  EXPECT_FALSE(ScaleBitmapToBox(empty, 10, 10));
}

TEST(ScaleBitmapToBox, HalvingRoundsThreeQuartersUp) {
  // One 2 x 2 block per case; the red channel carries the four values.
  struct Case {
    int a, b, c, d, expected;
  } cases[] = {
      {1, 1, 1, 0, 1},  // sum 3: remainder 3 rounds up
      {1, 1, 0, 0, 0},  // sum 2: a half rounds down
      {2, 2, 2, 1, 2},  // sum 7
      {2, 2, 1, 1, 1},  // sum 6
      {255, 255, 255, 255, 255},
  };
  for (const Case& c : cases) {
    QImage img(2, 2, QImage::Format_RGB888);
    img.setPixel(0, 0, qRgb(c.a, 0, 0));
    img.setPixel(1, 0, qRgb(c.b, 0, 0));
    img.setPixel(0, 1, qRgb(c.c, 0, 0));
    img.setPixel(1, 1, qRgb(c.d, 0, 0));
    ASSERT_TRUE(ScaleBitmapToBox(img, 1, 1));
    EXPECT_EQ(qRed(img.pixel(0, 0)), c.expected) << c.a << c.b << c.c << c.d;
  }
}

TEST(ScaleBitmapToBox, ConvertsTo24Bits) {
  QImage img(40, 40, QImage::Format_ARGB32);
  img.fill(qRgb(10, 20, 30));
  ASSERT_TRUE(ScaleBitmapToBox(img, 20, 20));
  EXPECT_EQ(img.format(), QImage::Format_RGB888);
  EXPECT_EQ(img.pixel(5, 5), qRgb(10, 20, 30));
}

TEST(Rotate, PixelMapsOnANonSquareImage) {
  const int w = 4, h = 3;
  const QImage src = CoordImage(w, h);
  QImage right = src;
  RotateBitmapRight(right);
  ASSERT_EQ(right.size(), QSize(h, w));
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < h; ++x) EXPECT_EQ(right.pixel(x, y), src.pixel(y, h - 1 - x)) << x << "," << y;
  // The top-left corner goes to the top-right.
  EXPECT_EQ(right.pixel(h - 1, 0), src.pixel(0, 0));

  QImage left = src;
  RotateBitmapLeft(left);
  ASSERT_EQ(left.size(), QSize(h, w));
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < h; ++x) EXPECT_EQ(left.pixel(x, y), src.pixel(w - 1 - y, x)) << x << "," << y;
  EXPECT_EQ(left.pixel(0, w - 1), src.pixel(0, 0));  // top-left to bottom-left

  RotateBitmapLeft(right);
  EXPECT_EQ(right, src);
}

TEST(Gradient, RowsRunFromTopToBottomColour) {
  QImage img(3, 4, QImage::Format_ARGB32);
  // Colour values are blue-green-red: top red 0, green 0, blue 255; bottom red 255.
  FillGradient(img, 0xFF0000, 0x0000FF);
  ASSERT_EQ(img.format(), QImage::Format_RGB888);
  // Step 255 * 65536 / 4 per row: red 0, 63, 127, 191; blue 255, 191, 127, 63.
  const int red[] = {0, 63, 127, 191};
  const int blue[] = {255, 191, 127, 63};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(qRed(img.pixel(x, y)), red[y]) << y;
      EXPECT_EQ(qGreen(img.pixel(x, y)), 0) << y;
      EXPECT_EQ(qBlue(img.pixel(x, y)), blue[y]) << y;
    }
  QImage flat(5, 0, QImage::Format_RGB888);
  FillGradient(flat, 0, 0xFFFFFF);  // no rows: nothing happens
  EXPECT_EQ(flat.height(), 0);
}

TEST(Gradient, ImageCoversItsParent) {
  QWidget parent;
  parent.resize(300, 200);
  parent.show();
  TGradientImage* image = CreateGradientImage(&parent, 100, 0xE2D9BA, 0xFCF8E8);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 300, 200));
  EXPECT_EQ(image->Bitmap().size(), QSize(16, 100));
  EXPECT_EQ(image->Bitmap().pixel(0, 0), qRgb(0xBA, 0xD9, 0xE2));
  parent.resize(500, 120);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 500, 120));
}

}  // namespace
