#include "basic/widgets/ScreenPlaceUnit.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QRect WorkAreaOf(const QWidget* window) {
  QScreen* screen = window ? window->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

QRect FitOnArea(const QRect& frame, const QRect& area) {
  if (area.isEmpty()) return frame;
  QRect r = frame;
  r.setWidth(std::min(r.width(), area.width()));
  r.setHeight(std::min(r.height(), area.height()));
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.top() < area.top()) r.moveTop(area.top());
  return r;
}

void KeepOnScreen(QWidget* window) {
  if (!window) return;
  const QRect frame = window->frameGeometry();
  const QRect fitted = FitOnArea(frame, WorkAreaOf(window));
  if (fitted == frame) return;
  // The frame's border and title bar around the window's own bounds.
  const QSize margins = frame.size() - window->geometry().size();
  if (fitted.size() != frame.size()) window->resize(fitted.size() - margins);
  window->move(fitted.topLeft());
}
