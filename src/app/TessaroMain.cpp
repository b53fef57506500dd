#include "app/TessaroMain.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "app/BackupRequesterUnit.h"
#include "app/LoginUnit.h"
#include "app/MainFormUnit.h"
#include "app/SigFormUnit.h"
#include "app/Unit1.h"
#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "basic/DateClock.h"
#include "basic/Hex32Unit.h"
#include "basic/IndirectRunUnit.h"
#include "basic/MsgDlgUnit.h"
#include "basic/MultiLingua.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"
#include "basic/SLUnit.h"
#include "basic/TempFilesUnit.h"
#include "basic/UserInteraction.h"
#include "basic/widgets/InstanceChannel.h"
#include "basic/widgets/QtUserInteraction.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/IniUnit.h"
#include "data/MandantUnit.h"
#include "data/SigDBUnit.h"
#include "data/StockUnit.h"
#include "data/UserRights.h"
#include "output/PrintUnit.h"
#include "platform/PlatformFiles.h"
#include "platform/ProcessPriority.h"

namespace {

std::unique_ptr<TChannelListener> gInstanceMarker;

constexpr const char* kLanguageFile = "System/Tessaro.lng";
constexpr int kTimeTravelValueMax = 255;
// Time-travel dates from 1900-01-01 up to the end of 9999.
constexpr double kFirstTimeTravelDate = 2.0;
constexpr double kEndOfTimeTravelDates = 2958466.0;

// A termination signal (SIGTERM from a session's end, SIGINT from a terminal) ends the
// run through the same orderly shutdown as closing the window: the handler only writes a
// byte into a pipe, the event loop reads it.
class TTerminationSignals {
 public:
  TTerminationSignals() {
    if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
      fds_[0] = fds_[1] = -1;
      return;
    }
    writeFd_ = fds_[1];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      char buffer[16];
      while (read(fds_[0], buffer, sizeof buffer) > 0) {
      }
      TerminateApplication();
    });
    struct sigaction action {};
    action.sa_handler = &TTerminationSignals::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &oldTerm_);
    sigaction(SIGINT, &action, &oldInt_);
  }
  ~TTerminationSignals() {
    if (fds_[0] < 0) return;
    sigaction(SIGTERM, &oldTerm_, nullptr);
    sigaction(SIGINT, &oldInt_, nullptr);
    writeFd_ = -1;
    notifier_.reset();
    close(fds_[0]);
    close(fds_[1]);
  }
  TTerminationSignals(const TTerminationSignals&) = delete;
  TTerminationSignals& operator=(const TTerminationSignals&) = delete;

 private:
  static void OnSignal(int signal) {
    // The first signal asks for the orderly end. A program that did not end by the second
    // one hangs (or the user insists): the second ends it at once, as without a handler.
    if (received_.fetch_add(1) > 0) {
      struct sigaction fallback {};
      fallback.sa_handler = SIG_DFL;
      sigemptyset(&fallback.sa_mask);
      sigaction(signal, &fallback, nullptr);
      raise(signal);
      return;
    }
    const int saved = errno;
    const char byte = 1;
    if (writeFd_ >= 0) (void)!write(writeFd_, &byte, 1);
    errno = saved;
  }

  static inline volatile sig_atomic_t writeFd_ = -1;
  // Lock-free, so safe in a handler, and counted once when two threads get one each.
  static inline std::atomic<int> received_{0};
  int fds_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction oldTerm_ {};
  struct sigaction oldInt_ {};
};

// The unit initialisation of the data layer: the reservation registry, the clients' state
// and the history exist from here on; nobody is logged in and every right is denied; the
// settings registry key is set.
void InitDataLayer() {
  AccessProtections();
  MandantState();
  History();
  ResetSession();
  SetRegistryProgramKey(kProgramRegistryKey);
}

}  // namespace

// ---------------------------------------------------------------------------------------

const TMLStringList* TessaroMainTexts() {
  static const TMLStringList* table = [] {
    TMLStringList* t = NewMLStringList();
    t->Add255Obj("Tessaro", 0);
    t->Add255Obj("Der Zeitpunkt f\xFC" "r die Zeitreise ist ung\xFC" "ltig:#13#%1", 1);
    t->Add255Obj("Tessaro l\xE4uft bereits auf dieser Anzeige (%1) und wurde nach vorn geholt.", 2);
    return t;
  }();
  return table;
}

std::string TessaroMainText(int number) { return GetMLText(TessaroMainTexts(), number); }

int WaitAtStart(const TWaitHooks& hooks) {
  std::string value;
  if (FindParam("wait", &value) == 0) return 0;
  int seconds = StrToIntZero(value);
  if (seconds < 1) return 0;
  if (seconds > kMaxWaitSeconds) seconds = kMaxWaitSeconds;
  const int steps = seconds * (1000 / kWaitStepMs);
  auto terminated = hooks.terminated ? hooks.terminated : [] { return ApplicationTerminated(); };
  int taken = 0;
  while (taken < steps && !terminated()) {
    if (hooks.sleep)
      hooks.sleep(kWaitStepMs);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(kWaitStepMs));
    if (hooks.processEvents)
      hooks.processEvents();
    else if (QCoreApplication::instance())
      QCoreApplication::processEvents();
    ++taken;
  }
  return taken;
}

// ---------------------------------------------------------------------------------------

TInstanceCheck CheckSingleInstance(IInstanceChannel& channel, bool multistart) {
  TInstanceCheck check;
  // Creating the marker can still fail when another instance started at the same moment;
  // that one then counts as the running one.
  if (!channel.MarkerExists() && channel.CreateMarker()) {
    check.markerCreated = true;
    return check;
  }
  if (multistart) return check;
  check.answer = channel.NotifyRunning();
  check.exitNow = check.answer != 0;
  return check;
}

TLocalInstanceChannel::TLocalInstanceChannel(std::string channelName)
    : channelName_(std::move(channelName)) {}

TLocalInstanceChannel::~TLocalInstanceChannel() = default;

bool TLocalInstanceChannel::MarkerExists() { return ChannelListenerExists(channelName_); }

bool TLocalInstanceChannel::CreateMarker() {
  auto marker = std::make_unique<TChannelListener>(channelName_);
  if (!marker->Listen()) return false;
  marker_ = std::move(marker);
  return true;
}

int TLocalInstanceChannel::NotifyRunning() {
  return SendChannelCode(channelName_, kCopyDataActivate);
}

std::unique_ptr<TChannelListener> TLocalInstanceChannel::TakeMarker() {
  return std::move(marker_);
}

// ---------------------------------------------------------------------------------------

std::string LoadProgramLanguage(const std::string& programDir, const std::string& programFile) {
  const std::string first = programDir + kLanguageFile;
  if (LoadLanguageFile(first, false)) return first;
  if (programFile.empty()) return std::string();
  const std::size_t slash = programFile.find_last_of('/');
  const std::size_t dot = programFile.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string second = (hasExt ? programFile.substr(0, dot) : programFile) + ".lng";
  if (LoadLanguageFile(second, false)) return second;
  return std::string();
}

bool ParseTimeTravelDate(const std::string& value, double& dateTime) {
  dateTime = 0;
  const double parsed = Hex32ToDouble(value.substr(0, kTimeTravelValueMax));
  // Hex32ToDouble gives 0 for what it cannot read; a pattern it can read may still be no
  // date-time (NaN, infinity, the tiny values of stray digits, dates before 1900).
  if (!std::isfinite(parsed) || parsed < kFirstTimeTravelDate || parsed >= kEndOfTimeTravelDates)
    return false;
  dateTime = parsed;
  return true;
}

bool ApplyTimeTravelSwitch() {
  const std::string value = GetParam("timetravel");
  if (value.empty()) return true;
  double date = 0;
  if (!ParseTimeTravelDate(value, date)) {
    // Read as 0 the data would be shown as of 1899; nothing of that run could be trusted.
    NotifyLoader();
    ShowError(GetMLTextFmt(TessaroMainTexts(), 1, value.substr(0, kTimeTravelValueMax)));
    return false;
  }
  TMandantState& state = MandantState();
  state.TimeTravelMode = true;
  state.TimeTravelDate = date;
  // Read-only mode denies every right as well.
  state.ReadOnlyMode = true;
  return true;
}

// ---------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------

TChannelListener* InstanceMarker() { return gInstanceMarker.get(); }

void SetInstanceMarker(std::unique_ptr<TChannelListener> marker) {
  gInstanceMarker = std::move(marker);
}

void ShutdownProgram() {
  // The record store (saved and its record locks dropped), the locksmith store and the
  // journal of the year; the window usually freed them already, and freeing twice does
  // nothing.
  // A capture still running is stopped before anything it could write to goes away.
  ShutdownSignatureCapture();
  ResetLoginState();
  LocksmithStore().Close();
  SignatureDB().CloseJournal();
  HistoryFlush();
  // Only the instance that set the marker holds it; a further instance never takes the
  // marker away from the one that still runs.
  gInstanceMarker.reset();
  DeleteTempFilesNow();
}

int TessaroMain(int argc, char** argv) {
  // Unit initialisation, bottom-up. The arguments are taken before the application object
  // takes out the ones it knows itself.
  InitCommandLine(argc, argv);
  SetDateFormat(SystemShortDateFormat());
  MLSystem();
  InitDataLayer();

  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(true);
  TQtUserInteraction interaction;
  SetUserInteraction(&interaction);
  TTerminationSignals terminationSignals;

  WaitAtStart();

  TLocalInstanceChannel channel(kInstanceChannelName);
  const TInstanceCheck check = CheckSingleInstance(channel, FindParam("multistart") > 0);
  if (check.exitNow) {
    // Without a word a start that hands over looks like one that failed.
    const std::string display = SessionDisplay();
    std::fprintf(
        stderr, "%s\n",
        Cp1252ToUtf8(GetMLTextFmt(TessaroMainTexts(), 2, display.empty() ? "-" : display)).c_str());
    // Started through the loader, this start would otherwise leave its splash standing
    // until the loader's time-out.
    NotifyLoader();
    SetUserInteraction(nullptr);
    return 0;
  }
  SetInstanceMarker(channel.TakeMarker());

  // Raising the priority needs a privilege on Linux; without it the program runs as it was
  // started.
  SetProcessPriority(TProcessPriority::High);

  LoadProgramLanguage(OriginExeDir(), OriginExeName());

  int exitCode = 0;
  std::unique_ptr<TTessaroForm> form;
  if (!ApplyTimeTravelSwitch()) {
    exitCode = 1;
  } else {
    QApplication::setApplicationName("Tessaro");
    // The receipt templates named beside the program; a client's own follow when its data
    // is opened.
    LoadTextSettings(kSettingsProgramLevel);
    form = std::make_unique<TTessaroForm>();
    interaction.SetMainWindow(form.get());
    // From here on the window answers a second start.
    if (TChannelListener* marker = InstanceMarker())
      marker->SetReceiver([window = form.get()](int code) { return window->WMCopyData(code); });
    form->show();
    form->LoaderEndTimer->start();
    if (!ApplicationTerminated()) exitCode = application.exec();
    if (TChannelListener* marker = InstanceMarker()) marker->SetReceiver(nullptr);
  }
  ShutdownProgram();
  interaction.SetMainWindow(nullptr);
  form.reset();
  // Windows kept for the whole run go before the application object they belong to.
  FreeBackupRequesterForm();
  SetUserInteraction(nullptr);
  return exitCode;
}
