#include "basic/widgets/QtGlue.h"

#include "basic/Cp1252.h"

QString ToQString(const std::string& text) {
  const std::u16string u = Cp1252ToUtf16(text);
  return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size()));
}

std::string FromQString(const QString& text) {
  return Utf16ToCp1252(
      std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())));
}

QColor ColorFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

std::uint32_t BgrFromColor(const QColor& color) {
  return static_cast<std::uint32_t>(color.red()) | (static_cast<std::uint32_t>(color.green()) << 8) |
         (static_cast<std::uint32_t>(color.blue()) << 16);
}
