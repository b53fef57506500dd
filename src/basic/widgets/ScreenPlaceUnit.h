#pragma once
// Windows where the user can see them: the work area of a window's screen, and the moves
// that keep a window on it. The window's frame counts where it is known (a shown window
// with a window manager); before that the window's own bounds are its frame.

#include <QRect>

class QWidget;

// The available area of the screen the window is on, else of the primary screen; empty
// without a screen.
QRect WorkAreaOf(const QWidget* window);
// The outer bounds of a window of `frame` size moved (and, when larger, made smaller) so
// that they lie on `area`.
QRect FitOnArea(const QRect& frame, const QRect& area);
// Moves the window so that its frame lies on its screen's work area; a window larger than
// the area is made smaller.
void KeepOnScreen(QWidget* window);
