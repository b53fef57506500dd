#pragma once
// Lets GoogleTest print Qt values in failure messages.

#include <ostream>

#include <QPoint>
#include <QString>
#include <QStringList>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << '(' << p.x() << ',' << p.y() << ')'; }
