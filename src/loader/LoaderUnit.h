#pragma once
// The start-up loader "Start": a small program beside Tessaro that shows a splash window at
// once, starts Tessaro from its own folder with the arguments it was given, and closes the
// splash when Tessaro says it is ready (code 1 on the loader's channel) or after a time-out.
// The program restarts itself through it, with "wait:2 multistart".

#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

class QLabel;
class TChannelListener;

// How long the splash stays at most when no ready signal comes.
constexpr int kLoaderTimeoutMs = 30000;
// The program the loader starts, in the loader's own folder.
inline constexpr const char* kLoaderTargetName = "Tessaro";

// The splash window; while it is open it listens on the loader's channel.
class TTessaroLoaderForm : public QWidget {
  Q_OBJECT
 public:
  explicit TTessaroLoaderForm(int timeoutMs = kLoaderTimeoutMs, QWidget* parent = nullptr);
  ~TTessaroLoaderForm() override;

  // Listens on the loader's channel. False when another loader listens already (this one
  // then closes only by its time-out).
  bool Listen();
  // A message from the program: answers 1; code 1 closes the splash.
  int WMCopyData(int code);
  // Shows the splash and starts the time-out.
  void Start();
  bool Finished() const { return finished_; }
  // Finished by the time-out, not by the program's signal.
  bool TimedOut() const { return timedOut_; }
  QTimer& TimeoutTimer() { return timeout_; }

 signals:
  void finished();

 private:
  void Finish();

  std::unique_ptr<TChannelListener> listener_;
  QTimer timeout_;
  QLabel* label_;
  bool finished_ = false;
  bool timedOut_ = false;
};

// The program to start for a loader at `loaderFile`: its folder + "Tessaro".
std::string LoaderTargetProgram(const std::string& loaderFile);

// The loader: splash, start of the program with the loader's own arguments, wait for its
// signal. Exit codes: 0 the program signalled that it is ready, 1 it could not be started
// (after a message), 2 it started but did not signal within the time-out.
int LoaderMain(int argc, char** argv);
