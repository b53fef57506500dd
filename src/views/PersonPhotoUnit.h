#pragma once
// The photos of the persons: one JPEG per person in the photo store of the client's data
// folder, "Images/Persons.bdb" (the single-file form of TBinDatabase; record ID = the
// person's ID, both tags 0). A photo is stored at most 390 x 390 pixels, its JPEG at most
// 0.4 bytes per pixel plus 1000 bytes, scrambled with the person's ID (ScrambleBytes); a
// record whose bytes 7 to 10 read "JFIF" was stored before scrambling and is read as it is.
//
// The store belongs to the client whose data is open: it is opened on first use for the
// store's data folder, closed when the client's data is closed (ClosePhotoDatabase, run at
// logout and at the end of the program), and opened afresh when the data folder differs
// from the one it was opened for. Otherwise a second client would be shown the first
// client's photos, and saving a photo would write into the first client's file.
//
// Every changing call of the store takes the client's write reservation, so two stations
// adding photos at once each keep theirs.

#include <cstdint>
#include <string>

#include <QImage>

class TBinDatabase;
class TMiniDB;

inline constexpr const char* kPersonPhotoFile = "Images/Persons.bdb";
inline constexpr int kPhotoMaxSide = 390;

// The photo store file of the store's data folder.
std::string PersonPhotoFileName(const TMiniDB& db);
bool PhotoStoreFileExists(const TMiniDB& db);
// The photo store of the store's data folder, open; null when it cannot be opened. Without
// `create` a missing file is not made (null then).
TBinDatabase* PersonPhotoStore(TMiniDB& db, bool create);
// Closes the photo store (the client's data is closed).
void ClosePhotoDatabase();
// The data folder the photo store is open for; empty while closed.
std::string PhotoStoreFolder();

// The stored bytes as a JPEG: unscrambled with the person's ID unless bytes 7 to 10 are
// "JFIF" (a photo stored before scrambling).
std::string PhotoBytesAsJpeg(int32_t person, std::string bytes);
// The person's photo; false (image unchanged) when there is no store, no record or no JPEG.
bool ReadPersonPhoto(TMiniDB& db, int32_t person, QImage& image);
bool HasPersonPhoto(TMiniDB& db, int32_t person);

// A picture file as an image: a name whose extension begins with ".jp" through the JPEG
// loader first; any other file, or a JPEG that did not load, through the picture loader
// (with its size limit). False when neither reads it.
bool LoadPhotoFile(const std::string& fileName, QImage& image);
// The bytes to store for the image: scaled to fit 390 x 390, a JPEG within the size limit,
// scrambled with the person's ID. False for an empty image.
bool EncodePersonPhoto(int32_t person, QImage image, std::string& bytes);
// The size limit of a stored JPEG for a picture of that size.
int64_t PhotoSizeLimit(int width, int height);

enum class TPhotoStoreResult {
  Stored,
  Unreadable,  // the file is no picture: nothing changed
  NoStore,     // the photo store cannot be opened
  NotWritten,  // the store refused the write (reservation, disk): nothing changed
};
// Reads the picture file and stores it as the person's photo.
TPhotoStoreResult StorePersonPhotoFile(TMiniDB& db, int32_t person, const std::string& fileName);
// Removes the person's photo when the photo store exists; true when none is left.
bool DeletePersonPhoto(TMiniDB& db, int32_t person);
