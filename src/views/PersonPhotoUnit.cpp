#include "views/PersonPhotoUnit.h"

#include <optional>

#include "app/PictureUnit.h"
#include "basic/Cp1252.h"
#include "data/BinDatabase.h"
#include "data/MiniDBUnit.h"
#include "output/PictureLoadUnit.h"
#include "platform/PlatformFiles.h"

namespace {

struct TPhotoStore {
  TBinDatabase store;
  std::string folder;  // the data folder it is open for
};

TPhotoStore& Photos() {
  static TPhotoStore photos;
  return photos;
}

bool FileExists(const std::string& fileName) {
  TPfInfo info;
  return PfStat(fileName, info) == 0 && info.kind == TPfKind::File;
}

bool ExtensionStartsWithJp(const std::string& fileName) {
  const size_t dot = fileName.find_last_of("./");
  if (dot == std::string::npos || fileName[dot] != '.') return false;
  return AnsiUpperCase(fileName.substr(dot, 3)) == ".JP";
}

}  // namespace

std::string PersonPhotoFileName(const TMiniDB& db) { return db.DataPath + kPersonPhotoFile; }

bool PhotoStoreFileExists(const TMiniDB& db) {
  return !db.DataPath.empty() && FileExists(PersonPhotoFileName(db));
}

TBinDatabase* PersonPhotoStore(TMiniDB& db, bool create) {
  TPhotoStore& photos = Photos();
  if (db.DataPath.empty()) return nullptr;
  if (photos.store.State() != bdbClosed && photos.folder == db.DataPath) return &photos.store;
  // Another client's data folder, or not open yet.
  ClosePhotoDatabase();
  if (!create && !PhotoStoreFileExists(db)) return nullptr;
  photos.store.SetReservation(db.AccessProtection);
  if (!photos.store.OpenSingle(PersonPhotoFileName(db))) return nullptr;
  photos.folder = db.DataPath;
  return &photos.store;
}

void ClosePhotoDatabase() {
  TPhotoStore& photos = Photos();
  photos.store.Close();
  photos.store.SetReservation(nullptr);
  photos.folder.clear();
}

std::string PhotoStoreFolder() {
  return Photos().store.State() == bdbClosed ? std::string() : Photos().folder;
}

std::string PhotoBytesAsJpeg(int32_t person, std::string bytes) {
  if (bytes.size() >= 10 && bytes.compare(6, 4, "JFIF") == 0) return bytes;
  ScrambleBytes(bytes.data(), bytes.size(), person);
  return bytes;
}

bool ReadPersonPhoto(TMiniDB& db, int32_t person, QImage& image) {
  if (person <= 0) return false;
  TBinDatabase* store = PersonPhotoStore(db, false);
  std::string bytes;
  if (!store || !store->Get(person, bytes) || bytes.empty()) return false;
  return LoadJpegStringToBitmap(PhotoBytesAsJpeg(person, std::move(bytes)), image);
}

bool HasPersonPhoto(TMiniDB& db, int32_t person) {
  TBinDatabase* store = person > 0 ? PersonPhotoStore(db, false) : nullptr;
  std::string bytes;
  return store && store->Get(person, bytes) && !bytes.empty();
}

bool LoadPhotoFile(const std::string& fileName, QImage& image) {
  if (ExtensionStartsWithJp(fileName) && LoadJpegFileToBitmap(fileName, image)) return true;
  TPictureLoadResult result;
  std::optional<QImage> picture = LoadPicture(fileName, 0, result);
  if (!picture || picture->isNull()) return false;
  image = std::move(*picture);
  return true;
}

int64_t PhotoSizeLimit(int width, int height) {
  return static_cast<int64_t>(0.4 * static_cast<double>(width) * height) + 1000;
}

bool EncodePersonPhoto(int32_t person, QImage image, std::string& bytes) {
  bytes.clear();
  if (image.isNull() || image.width() < 1 || image.height() < 1) return false;
  ScaleBitmapToBox(image, kPhotoMaxSide, kPhotoMaxSide);
  SaveBitmapAsJpegLimited(image, PhotoSizeLimit(image.width(), image.height()), bytes);
  if (bytes.empty()) return false;
  ScrambleBytes(bytes.data(), bytes.size(), person);
  return true;
}

TPhotoStoreResult StorePersonPhotoFile(TMiniDB& db, int32_t person, const std::string& fileName) {
  QImage image;
  std::string bytes;
  // Read before the store is touched: a file that is no picture changes nothing.
  if (!LoadPhotoFile(fileName, image) || !EncodePersonPhoto(person, image, bytes))
    return TPhotoStoreResult::Unreadable;
  TBinDatabase* store = PersonPhotoStore(db, true);
  if (!store) return TPhotoStoreResult::NoStore;
  int32_t id = person;
  if (!store->Put(id, 0, bytes) || !store->Flush()) return TPhotoStoreResult::NotWritten;
  return TPhotoStoreResult::Stored;
}

bool DeletePersonPhoto(TMiniDB& db, int32_t person) {
  TBinDatabase* store = person > 0 ? PersonPhotoStore(db, false) : nullptr;
  std::string bytes;
  // Get reads what another station stored meanwhile.
  if (!store || !store->Get(person, bytes)) return true;
  return store->Delete(person) && store->Flush();
}
