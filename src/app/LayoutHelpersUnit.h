#pragma once
// Placing and sizing controls: captions fitted to their width, text controls centred or
// stretched over another control, button bars, controls shifted down, the window font.

#include <string>
#include <vector>

class QTabWidget;
class QWidget;

// Sets the text and lowers the font from 10 to at least 8 points until it fits.
void FitCaptionFont(QWidget* control, const std::string& text);
void FitCaptionFont2(QWidget* control);
void CenterTextControl(QWidget* control, const std::string& text, const QWidget* reference);
void StretchTextControl(QWidget* control, const QWidget* reference);
// The panel first, then its buttons by position.
void CollectSpeedButtons(QWidget* panel, std::vector<QWidget*>& list);
void ArrangeButtons(const std::vector<QWidget*>& list);
void CenterInForm(QWidget* control);
void ShiftControlsBelow(QWidget* parent, int top, int distance);
bool IsVerdanaInstalled();
// The tabs of `tabs` narrow their padding (down to a few pixels beside the text) while all
// visible tabs would not fit its width otherwise, so no tab hides behind scroll arrows.
void FitTabsToWidth(QTabWidget* tabs);
