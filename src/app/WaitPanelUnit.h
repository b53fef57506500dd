#pragma once
// Long work on the screen: a wait panel with an optional progress bar and cancel button,
// centred on the window it covers, and the disabling of a window's controls meanwhile.
// The work loop processes pending events (UI().ProcessPendingEvents) and asks Cancelled().

#include <string>
#include <vector>

#include <QFrame>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

class TWaitPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TWaitPanel(QWidget* parent);

  // Maximum of the progress bar; below 1 counts as 0. The bar appears with the first
  // maximum above 0 and then stays.
  void SetMax(int n);
  // Below 1 counts as 0.
  void SetPosition(int n);
  int Max() const { return max_; }
  int Position() const { return position_; }
  bool Cancelled() const { return cancelled_; }

  // Adds the cancel button (once) under the text or the bar, centred, widening the panel so
  // that the button keeps 30 pixels to both edges.
  void AddCancelButton(const std::string& caption);

  QLabel* TextLabel() const { return label_; }
  QProgressBar* ProgressBar() const { return bar_; }
  QPushButton* CancelButton() const { return cancelButton_; }
  // Top of the progress bar: 30 below the text.
  int TextBottom() const { return textBottom_; }

 private:
  friend TWaitPanel* ShowWaitPanel(QWidget*, const std::string&, const std::string&);
  void PlaceCancelButton();
  void FitHeight();
  void CenterInParent();
  void CancelClicked();

  QLabel* label_ = nullptr;
  int textBottom_ = 30;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  int position_ = 0;
  int max_ = 0;
  bool cancelled_ = false;
};

// Creates a wait panel with the text on `parent`, centred and shown on top; with a non-empty
// `cancelCaption` it carries a cancel button. The parent owns the panel; delete it when done.
TWaitPanel* ShowWaitPanel(QWidget* parent, const std::string& text,
                          const std::string& cancelCaption = std::string());

// The controls DisableControls switched off, so that EnableControls switches on exactly those.
using TDisabledControls = std::vector<QPointer<QWidget>>;

// Walks the window's direct children: plain containers (QWidget, QFrame) are entered, every
// other enabled child is disabled and added to `list`. Wait panels are left alone, so their
// cancel button keeps working.
void DisableControls(QWidget* window, TDisabledControls& list);
TDisabledControls DisableControls(QWidget* window);
// Enables again every child of the window (containers entered) that is in `list`.
void EnableControls(QWidget* window, const TDisabledControls& list);
