#include "output/PictureLoadUnit.h"

#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include "platform/PlatformFiles.h"

namespace {

// Qt's JPEG reader treats a short file leniently: it supplies a fake end marker, fills the
// missing rows with grey and reports success. It asks its device for more bytes only when
// the data ends before the picture does, so a read that finds nothing left marks a
// truncated file.
class TEndWatchingFile : public QFile {
 public:
  using QFile::QFile;
  bool readPastEnd = false;

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 n = QFile::readData(data, maxSize);
    if (maxSize > 0 && n == 0) readPastEnd = true;
    return n;
  }
};

std::uint32_t Le16(const QByteArray& b, int at) {
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8;
}

std::uint32_t Le32(const QByteArray& b, int at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}

// Qt's BMP reader stops at the first missing row and reports success with the rest of
// the picture left undefined. Uncompressed pixel data has a size known from the header.
bool BmpPixelDataMissing(const QByteArray& head, qint64 fileSize) {
  if (head.size() < 34 || !head.startsWith("BM")) return false;
  const std::uint32_t offBits = Le32(head, 10);
  const std::uint32_t headerSize = Le32(head, 14);
  std::int64_t width, height;
  std::uint32_t bits, compression = 0;
  if (headerSize == 12) {  // the old core header
    width = Le16(head, 18);
    height = Le16(head, 20);
    bits = Le16(head, 24);
  } else if (headerSize >= 40) {
    width = static_cast<std::int32_t>(Le32(head, 18));
    height = static_cast<std::int32_t>(Le32(head, 22));
    bits = Le16(head, 28);
    compression = Le32(head, 30);
  } else {
    return false;
  }
  // 0 plain, 3 and 6 bit fields; run-length data has no fixed size.
  if (compression != 0 && compression != 3 && compression != 6) return false;
  const std::int64_t stride = ((std::llabs(width) * bits + 31) / 32) * 4;
  return fileSize < static_cast<std::int64_t>(offBits) + stride * std::llabs(height);
}

QImage To24Bit(const QImage& image) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB888);
  QImage canvas(image.size(), QImage::Format_RGB888);
  if (canvas.isNull()) return canvas;
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  painter.drawImage(0, 0, image);
  painter.end();
  return canvas;
}

std::optional<QImage> Load(const std::string& fileName, int limitMB, TPictureLoadResult& result) {
  result = TPictureLoadResult::Missing;
  // Through the platform layer, which finds a program path (1252) in whichever form its
  // file was stored under, as every other file of the program is found.
  TPfInfo info;
  if (fileName.empty() || PfStat(fileName, info) != 0 || info.kind != TPfKind::File)
    return std::nullopt;
  int fd = -1;
  if (PfOpenRead(fileName, fd) != 0) return std::nullopt;
  TEndWatchingFile file;
  if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
    PfClose(fd);
    return std::nullopt;
  }

  result = TPictureLoadResult::Unreadable;
  const QByteArray head = file.peek(64);
  QImageReader reader(&file);  // on a device the content alone decides the format
  reader.setAllocationLimit(limitMB);
  reader.setAutoTransform(true);
  if (!reader.canRead()) return std::nullopt;
  const QByteArray format = reader.format();

  // Refuse from the header, before any pixel memory is asked for. The reader's own
  // allocation limit covers formats that do not tell their size up front.
  const QSize size = reader.size();
  if (size.isValid()) {
    const std::int64_t bytes = std::int64_t(size.width()) * size.height() * 4;
    if (bytes > std::int64_t(limitMB) * 1024 * 1024) {
      result = TPictureLoadResult::TooLarge;
      return std::nullopt;
    }
  }
  if (format == "bmp" && BmpPixelDataMissing(head, file.size())) {
    result = TPictureLoadResult::Truncated;
    return std::nullopt;
  }

  file.readPastEnd = false;
  QImage image;
  if (!reader.read(&image) || image.isNull()) return std::nullopt;
  if (format == "jpeg" && file.readPastEnd) {
    result = TPictureLoadResult::Truncated;
    return std::nullopt;
  }
  image = To24Bit(image);
  if (image.isNull()) return std::nullopt;
  result = TPictureLoadResult::Loaded;
  return image;
}

}  // namespace

std::optional<QImage> LoadPicture(const std::string& fileName, int allocationLimitMB,
                                  TPictureLoadResult& result) {
  if (allocationLimitMB < 1) allocationLimitMB = kPictureAllocationLimitMB;
  try {
    return Load(fileName, allocationLimitMB, result);
  } catch (...) {  // out of memory inside Qt or the decoder: no picture, as for a bad file
    result = TPictureLoadResult::Unreadable;
    return std::nullopt;
  }
}

std::optional<QImage> LoadPictureAsBitmap(const std::string& fileName) {
  TPictureLoadResult result;
  return LoadPicture(fileName, kPictureAllocationLimitMB, result);
}
