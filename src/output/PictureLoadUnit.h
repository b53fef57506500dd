#pragma once
// Pictures for the views (photos of persons, floor plans): any file that one of the
// installed Qt image readers can decode becomes a plain 24-bit image
// (QImage::Format_RGB888, three bytes per pixel, rows ready for a JPEG encoder).
// The format is taken from the file's content, never from its extension.

#include <optional>
#include <string>

#include <QImage>

// Why a load gave no picture.
enum class TPictureLoadResult {
  Loaded,
  Missing,     // no such file, or not a regular file
  Unreadable,  // no reader knows the content, or it failed to decode
  Truncated,   // the file ends before the picture does
  TooLarge     // the decoded picture would exceed the allocation limit
};

// Largest picture we decode: the megabytes of the 32-bit image a reader decodes into
// (40 million pixels, the limit of the JPEG loader of the picture helpers). A hostile
// header could otherwise ask for gigabytes.
constexpr int kPictureAllocationLimitMB = 160;

// A new image with the picture, or none when the file is missing or cannot be decoded.
// Transparent areas come out white; a photo's orientation tag is applied. Never throws.
std::optional<QImage> LoadPictureAsBitmap(const std::string& fileName);

// The same with the reason and a limit of the caller's choosing (megabytes, as above;
// values below 1 mean the default).
std::optional<QImage> LoadPicture(const std::string& fileName, int allocationLimitMB,
                                  TPictureLoadResult& result);
