#include "app/MainImagesUnit.h"

#include <string>
#include <vector>

#include <QImage>

#include "basic/ParamsUnit.h"
#include "platform/PlatformFiles.h"

namespace {

struct TMainImages {
  std::string folder;
  std::vector<QPixmap> tiles;
  int size = 0;
};

const TMainImages& Images() {
  static TMainImages images;
  const std::string folder = CommandLine().OriginExeDir;
  if (!images.tiles.empty() && images.folder == folder) return images;
  images = TMainImages{folder, {}, 0};
  QImage strip(QString::fromStdString(PfOsPath(folder + "Icons/MainImages.png")));
  if (strip.isNull() || strip.height() <= 0) return images;
  strip = strip.convertToFormat(QImage::Format_ARGB32);
  // White is the transparent colour of the list, as the glyphs are drawn on it.
  for (int y = 0; y < strip.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
    for (int x = 0; x < strip.width(); ++x)
      if ((line[x] & 0x00FFFFFF) == 0x00FFFFFF) line[x] = qRgba(255, 255, 255, 0);
  }
  images.size = strip.height();
  for (int x = 0; x + images.size <= strip.width(); x += images.size)
    images.tiles.push_back(QPixmap::fromImage(strip.copy(x, 0, images.size, images.size)));
  return images;
}

}  // namespace

QPixmap MainImage(int index) {
  const TMainImages& images = Images();
  if (index < 0 || index >= static_cast<int>(images.tiles.size())) return QPixmap();
  return images.tiles[static_cast<size_t>(index)];
}

int MainImageSize() { return Images().size; }
