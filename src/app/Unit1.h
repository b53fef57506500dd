#pragma once
// The main window of the program. It receives the messages of other processes of the
// program (a second start asks it to come to the front) and owns the two one-shot timers
// that finish the start-up: LoaderEndTimer tells the start-up loader to close its splash
// window, GuiStartTimer shows the first page.

#include <QMainWindow>

class QTimer;

// The message code a second start sends so that the running window comes to the front.
constexpr int kCopyDataActivate = 2;
// The message code the window sends to the start-up loader: ready, close the splash.
constexpr int kCopyDataLoaderReady = 1;

class TTessaroForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTessaroForm(QWidget* parent = nullptr);
  ~TTessaroForm() override;

  // A message from another process of the program. Always answers 1; code 2 restores the
  // window from the minimised state and brings it to the front; other codes are otherwise
  // ignored.
  int WMCopyData(int code);
  // How often code 2 arrived (for the log and the tests).
  int ActivationCount() const { return activations_; }

  // 100 ms, one-shot, off until the main block enables it right after creating the window.
  QTimer* LoaderEndTimer;
  // 50 ms, one-shot, enabled at the end of the window's creation.
  QTimer* GuiStartTimer;

  // Each first stops its own timer.
  void LoaderEndTimerTimer();
  void GuiStartTimerTimer();

 private:
  int activations_ = 0;
};

// The one main window of the run; null before it is created and after it is gone.
TTessaroForm* TessaroForm();
