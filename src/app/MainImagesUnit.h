#pragma once
// The program's main image list: our own glyphs, one square tile each, side by side in the
// strip "Icons/MainImages.png" beside the program (drawn by scripts/make-glyphs.py). A tile
// is found by its index; white shows as transparent. Without the file every glyph is empty
// and the controls show their captions alone.

#include <QPixmap>

enum TMainImage {
  miBuilding = 0,
  miCylinder = 1,
  miGroup = 2,
  miDoor = 3,
  miKey = 4,
  miCabinet = 5,
  miPerson = 6,
  miTransfer = 7,
  miLimits = 8,
  miHistory = 9,
  miUser = 10,
};
inline constexpr int kMainImageCount = 11;

// The tile of that index; a null pixmap when the index or the file is missing. Read once
// per program folder.
QPixmap MainImage(int index);
// The side of one tile in pixels (the strip's height); 0 without the file.
int MainImageSize();
