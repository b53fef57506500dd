#pragma once
// The widget boundary: every widget converts the program's Windows-1252 texts and its
// blue-green-red colour values here, and nowhere else.

#include <cstdint>
#include <string>

#include <QColor>
#include <QString>

QString ToQString(const std::string& text);
// Characters that Windows-1252 cannot hold become "?".
std::string FromQString(const QString& text);

// A colour value of the program (0x00BBGGRR: blue in the high byte, red in the low byte).
QColor ColorFromBgr(std::uint32_t bgr);
std::uint32_t BgrFromColor(const QColor& color);
