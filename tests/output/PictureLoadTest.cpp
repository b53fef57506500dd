#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <gtest/gtest.h>
#include <zlib.h>

#include "output/PictureLoadUnit.h"
#include "support/TestSupport.h"

namespace {

constexpr int kWidth = 37;  // odd sizes catch row padding mistakes
constexpr int kHeight = 23;

QImage Pattern() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) image.setPixel(x, y, qRgb(x * 6, y * 10, 128));
  return image;
}

// Qt has no GIF writer: a small GIF written by hand. Every pixel is sent as a clear code
// followed by its colour code, so the LZW table never grows past the 3-bit codes.
std::string TinyGif(int width, int height) {
  auto le16 = [](std::string& s, int v) { s += char(v & 0xFF), s += char(v >> 8); };
  std::string gif = "GIF89a";
  le16(gif, width), le16(gif, height);
  gif += "\x81";  // global colour table of 4 entries
  gif += std::string("\0\0", 2);
  gif += std::string("\xFF\x00\x00" "\x00\xFF\x00" "\x00\x00\xFF" "\xFF\xFF\xFF", 12);
  gif += ",";
  le16(gif, 0), le16(gif, 0), le16(gif, width), le16(gif, height);
  gif += std::string("\0\x02", 2);  // no local table; minimum code size 2
  std::vector<std::uint8_t> data;
  std::uint32_t acc = 0;
  int bits = 0;
  auto put = [&](int code) {
    acc |= std::uint32_t(code) << bits;
    for (bits += 3; bits >= 8; bits -= 8, acc >>= 8) data.push_back(acc & 0xFF);
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(4), put((x + y) % 4);
  put(5);
  if (bits > 0) data.push_back(acc & 0xFF);
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    gif += char(n);
    gif.append(reinterpret_cast<const char*>(data.data() + at), n);
  }
  gif += std::string("\0;", 2);
  return gif;
}

std::string PngChunk(const std::string& type, const std::string& body) {
  std::string chunk;
  const std::uint32_t length = static_cast<std::uint32_t>(body.size());
  for (int s = 24; s >= 0; s -= 8) chunk += char(length >> s & 0xFF);
  const std::string typed = type + body;
  chunk += typed;
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())));
  for (int s = 24; s >= 0; s -= 8) chunk += char(crc >> s & 0xFF);
  return chunk;
}

// A well-formed PNG whose header claims 50000 x 40000 pixels (8 GB decoded).
std::string HugePng() {
  std::string ihdr;
  for (std::uint32_t v : {50000u, 40000u})
    for (int s = 24; s >= 0; s -= 8) ihdr += char(v >> s & 0xFF);
  ihdr += std::string("\x08\x02\0\0\0", 5);  // 8-bit RGB
  return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", ihdr) +
         PngChunk("IDAT", std::string("\x78\x9C\x03\0\0\0\0\x01", 8)) + PngChunk("IEND", "");
}

// A BMP header for 16000 x 16000 pixels at 24 bits (1 GB decoded), without the pixels.
std::string HugeBmp() {
  auto le = [](std::string& s, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += char(v >> (8 * i) & 0xFF);
  };
  std::string bmp = "BM";
  le(bmp, 54 + 16000u * 48000u, 4), le(bmp, 0, 4), le(bmp, 54, 4);
  le(bmp, 40, 4), le(bmp, 16000, 4), le(bmp, 16000, 4), le(bmp, 1, 2), le(bmp, 24, 2);
  le(bmp, 0, 4), le(bmp, 16000u * 48000u, 4), le(bmp, 2835, 4), le(bmp, 2835, 4);
  le(bmp, 0, 4), le(bmp, 0, 4);
  return bmp;
}

struct TFormat {
  const char* writer;  // Qt's name of the format
  const char* suffix;
  bool lossless;
};
void PrintTo(const TFormat& f, std::ostream* os) { *os << f.writer; }

class PictureLoadFormatTest : public ::testing::TestWithParam<TFormat> {
 protected:
  // The picture in this format; empty (and the test skipped) when Qt cannot write it.
  std::string Written() {
    const TFormat& f = GetParam();
    if (!QImageWriter::supportedImageFormats().contains(f.writer)) return {};
    const std::string file = tmp.File(std::string("written.") + f.suffix);
    if (!Pattern().save(QString::fromStdString(file), f.writer)) return {};
    return ReadAllBytes(file);
  }
  TTempDir tmp;
};

// Every picture comes out as Format_RGB888 at its own size, whatever its file format and
// whatever its file is called.
TEST_P(PictureLoadFormatTest, DecodesToA24BitImageOfTheRightSize) {
  const std::string bytes = Written();
  if (bytes.empty()) GTEST_SKIP() << "Qt has no writer for " << GetParam().writer;
  for (const char* name : {"picture.", "misnamed.dat"}) {
    const std::string file =
        tmp.File(std::string(name) + (name[0] == 'p' ? GetParam().suffix : ""));
    WriteAllBytes(file, bytes);
    TPictureLoadResult result;
    const std::optional<QImage> image = LoadPicture(file, 0, result);
    ASSERT_TRUE(image) << file;
    EXPECT_EQ(result, TPictureLoadResult::Loaded);
    EXPECT_EQ(image->format(), QImage::Format_RGB888);
    EXPECT_EQ(image->size(), QSize(kWidth, kHeight));
    if (GetParam().lossless) {
      EXPECT_EQ(image->pixel(5, 7), qRgb(30, 70, 128));
    }
  }
}

TEST_P(PictureLoadFormatTest, TruncatedFileGivesNone) {
  const std::string bytes = Written();
  if (bytes.empty()) GTEST_SKIP() << "Qt has no writer for " << GetParam().writer;
  const std::string file = tmp.File(std::string("cut.") + GetParam().suffix);
  for (std::size_t keep : {bytes.size() * 9 / 10, bytes.size() / 2, std::size_t(40)}) {
    WriteAllBytes(file, bytes.substr(0, keep));
    EXPECT_FALSE(LoadPictureAsBitmap(file)) << keep << " of " << bytes.size() << " bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureLoadFormatTest,
                         ::testing::Values(TFormat{"png", "png", true},
                                           TFormat{"jpeg", "jpg", false},
                                           TFormat{"bmp", "bmp", true},
                                           TFormat{"tiff", "tif", true}),
                         [](const auto& info) { return std::string(info.param.writer); });

TEST(PictureLoad, GifDecodesAndATruncatedGifGivesNone) {
  TTempDir tmp;
  const std::string gif = TinyGif(9, 5);
  const std::string file = tmp.File("tiny.gif");
  WriteAllBytes(file, gif);
  const std::optional<QImage> image = LoadPictureAsBitmap(file);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->format(), QImage::Format_RGB888);
  EXPECT_EQ(image->size(), QSize(9, 5));
  EXPECT_EQ(image->pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image->pixel(3, 0), qRgb(255, 255, 255));
  EXPECT_EQ(image->pixel(2, 4), qRgb(0, 0, 255));

  WriteAllBytes(file, gif.substr(0, gif.size() / 2));
  EXPECT_FALSE(LoadPictureAsBitmap(file));
}

// A program path is Windows-1252; the file may sit under the UTF-8 or the old byte form.
TEST(PictureLoad, FindsFilesUnderFoldersWithUmlauts) {
  TTempDir tmp;
  QByteArray png;
  QBuffer buffer(&png);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && Pattern().save(&buffer, "png"));
  for (const char* folderOnDisk : {"M\xC3\xBCller", "M\xFCller"}) {
    std::filesystem::remove_all(tmp.Path() / "M\xC3\xBCller");
    std::filesystem::remove_all(tmp.Path() / "M\xFCller");
    std::filesystem::create_directory(tmp.Path() / folderOnDisk);
    WriteAllBytes((tmp.Path() / folderOnDisk / "bild.png").string(), png.toStdString());
    const std::optional<QImage> image = LoadPictureAsBitmap(tmp.Dir() + "M\xFC" "ller/bild.png");
    ASSERT_TRUE(image) << folderOnDisk;
    EXPECT_EQ(image->size(), QSize(kWidth, kHeight));
  }
}

TEST(PictureLoad, MissingAndUnknownFilesGiveNone) {
  TTempDir tmp;
  WriteAllBytes(tmp.File("text.png"), "not a picture at all");
  WriteAllBytes(tmp.File("empty.jpg"), "");
  const struct {
    std::string file;
    TPictureLoadResult expected;
  } cases[] = {
      {"", TPictureLoadResult::Missing},
      {tmp.File("absent.png"), TPictureLoadResult::Missing},
      {tmp.Dir(), TPictureLoadResult::Missing},
      {tmp.File("text.png"), TPictureLoadResult::Unreadable},
      {tmp.File("empty.jpg"), TPictureLoadResult::Unreadable},
  };
  for (const auto& c : cases) {
    TPictureLoadResult result = TPictureLoadResult::Loaded;
    EXPECT_FALSE(LoadPicture(c.file, 0, result)) << c.file;
    EXPECT_EQ(result, c.expected) << c.file;
  }
}

// The refusal comes from the header alone: TooLarge is decided before anything is decoded.
TEST(PictureLoad, HeaderClaimingAHugeSizeIsRefusedBeforeDecoding) {
  TTempDir tmp;
  for (const auto& [name, bytes] : {std::pair{"huge.png", HugePng()}, {"huge.bmp", HugeBmp()}}) {
    const std::string file = tmp.File(name);
    WriteAllBytes(file, bytes);
    TPictureLoadResult result = TPictureLoadResult::Loaded;
    EXPECT_FALSE(LoadPicture(file, 0, result)) << name;
    EXPECT_EQ(result, TPictureLoadResult::TooLarge) << name;
  }
}

TEST(PictureLoad, AllocationLimitIsTheCallersChoice) {
  TTempDir tmp;
  const std::string file = tmp.File("wide.png");
  ASSERT_TRUE(QImage(1024, 512, QImage::Format_RGB32).save(QString::fromStdString(file)));
  TPictureLoadResult result;
  EXPECT_FALSE(LoadPicture(file, 1, result));  // 2 MB decoded
  EXPECT_EQ(result, TPictureLoadResult::TooLarge);
  EXPECT_TRUE(LoadPicture(file, 3, result));
}

TEST(PictureLoad, TransparentAreasBecomeWhite) {
  TTempDir tmp;
  QImage image(4, 4, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  image.setPixel(1, 1, qRgba(255, 0, 0, 255));
  const std::string file = tmp.File("alpha.png");
  ASSERT_TRUE(image.save(QString::fromStdString(file)));
  const std::optional<QImage> loaded = LoadPictureAsBitmap(file);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->format(), QImage::Format_RGB888);
  EXPECT_EQ(loaded->pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(loaded->pixel(1, 1), qRgb(255, 0, 0));
}

}  // namespace
