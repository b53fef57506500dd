#pragma once
// The program's main block: the fixed order in which the one process of Tessaro comes up,
// refuses a second start, loads its language, applies the time-travel switch, creates the
// main window and runs the message loop; the order of the shutdown after it; and the
// messages between the program's processes (a second start asks the running window to come
// to the front; the window tells the start-up loader to close its splash) and the restart
// through the loader.
//
// Single thread. Every wait keeps the event queue served.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TChannelListener;
class TMLStringList;

// The unit's message table (group "Tessaro").
const TMLStringList* TessaroMainTexts();
std::string TessaroMainText(int number);

// ---------------------------------------------------------------------------------------
// Terminating.

// True once the application was told to end (TerminateApplication or a termination signal).
bool ApplicationTerminated();
// Tells the application to end: the message loop ends, or is not entered.
void TerminateApplication();
// Back to "not told" (tests).
void ResetApplicationTerminated();

// ---------------------------------------------------------------------------------------
// The switch "wait".

// What the wait needs of the world; empty members take the real thing.
struct TWaitHooks {
  std::function<void(int milliseconds)> sleep;  // real: sleeps
  std::function<void()> processEvents;          // real: the event queue is served
  std::function<bool()> terminated;             // real: ApplicationTerminated
};
constexpr int kWaitStepMs = 250;
constexpr int kMaxWaitSeconds = 10;

// The switch "wait" (whole seconds; 0 when it is not a number), cut to at most 10: that
// many seconds in steps of 250 ms, each a sleep and then the pending events. Ends early at
// the step after the application was told to end. No switch or a value below 1: no wait.
// Returns the number of steps taken.
int WaitAtStart(const TWaitHooks& hooks = {});

// ---------------------------------------------------------------------------------------
// Single instance.

// What the single-instance test needs of the channel between the program's processes.
class IInstanceChannel {
 public:
  virtual ~IInstanceChannel() = default;
  // Another instance marks the workstation as running the program.
  virtual bool MarkerExists() = 0;
  // Marks it for this instance; false when another instance did so first.
  virtual bool CreateMarker() = 0;
  // Code 2 to the running instance's window; its answer, 0 when no window answered.
  virtual int NotifyRunning() = 0;
};

struct TInstanceCheck {
  bool exitNow = false;        // a running window was told to come to the front: end, code 0
  bool markerCreated = false;  // this instance set the marker (and alone removes it)
  int answer = 0;              // the running window's answer
};

// No marker: this instance sets it and starts. A marker (also one set by another instance
// a moment ago): with "multistart" this one starts beside it, otherwise the running window
// is told to come to the front; when it answers, this instance ends, when none answers
// (the other one is still starting, or has no window), this one starts without a marker.
TInstanceCheck CheckSingleInstance(IInstanceChannel& channel, bool multistart);

// The channel of the program's own processes (a local socket, see InstanceChannel.h).
class TLocalInstanceChannel : public IInstanceChannel {
 public:
  explicit TLocalInstanceChannel(std::string channelName);
  ~TLocalInstanceChannel() override;
  bool MarkerExists() override;
  bool CreateMarker() override;
  int NotifyRunning() override;
  // The marker this instance set (null when none); the caller keeps it for the run.
  std::unique_ptr<TChannelListener> TakeMarker();

 private:
  std::string channelName_;
  std::unique_ptr<TChannelListener> marker_;
};

// Sends code 2 to the running instance's window and returns its answer (0: none answered).
int NotifyRunningInstance();
// Sends code 1 to the start-up loader when one runs and returns its answer; 0 and nothing
// done when none runs. Sending it more than once is harmless.
int NotifyLoader();

// ---------------------------------------------------------------------------------------
// Language and time travel.

// "System/Tessaro.lng" in the program folder, else the program file with ".lng" in place of
// its extension. The name of the file loaded; empty when neither could be read (the
// built-in German texts stay).
std::string LoadProgramLanguage(const std::string& programDir, const std::string& programFile);

// The switch "timetravel": with a non-empty value, time-travel mode and read-only mode are
// switched on and the value (base-32 digits of the date-time's bit pattern, at most 255
// characters) becomes the time-travel date. A value that does not name a date-time of the
// years 1900 to 9999 is refused with a message: false, and no mode is switched on. True
// otherwise (also without the switch).
bool ApplyTimeTravelSwitch();

// The time-travel date of a switch value; false when it names no date-time of the years
// 1900 to 9999.
bool ParseTimeTravelDate(const std::string& value, double& dateTime);

// ---------------------------------------------------------------------------------------
// Restart through the loader.

// The loader's file name beside the program.
inline constexpr const char* kLoaderFileName = "Start";

// The folder as the setting "DataPath" stores it: without the program folder in front when
// it lies inside it (compared ignoring case over the program folder's length), else as is.
std::string DataPathSettingFor(const std::string& folder, const std::string& programDir);

struct TRestartCommand {
  std::string program;
  std::vector<std::string> args;
};
// The loader beside the program, or the program file itself when the loader is missing,
// with "wait:2" and "multistart" (no switch of the running instance is passed on).
TRestartCommand RestartCommand(const std::string& programDir, const std::string& programFile,
                               const std::function<bool(const std::string&)>& fileExists = {});

// What the restart needs of the world; empty members take the real thing.
struct TRestartHooks {
  // Starts the program without waiting; true when it started.
  std::function<bool(const std::string& program, const std::vector<std::string>& args)> start;
  std::function<bool(const std::string& file)> fileExists;
  // Tells the application to end.
  std::function<void()> terminate;
};

// Stores a new data folder as the program-level setting "DataPath" and restarts the program
// through the loader, then tells this instance to end (its closing makes no automatic
// backup). When the setting cannot be written
// (also in read-only or time-travel mode, where nothing is written) or the new process does
// not start, the message of ShowRestartFailed is shown, the setting keeps its old value and
// this instance keeps running: false then.
bool SwitchDataPathAndRestart(const std::string& folder, const TRestartHooks& hooks = {});

// ---------------------------------------------------------------------------------------
// The main block.

// The program: start-up, message loop, shutdown. Returns the exit code.
int TessaroMain(int argc, char** argv);

// The shutdown after the message loop, each part once (a second call does nothing more):
// the locksmith store and the year's journal are closed, buffered history lines written, the instance marker removed
// when this instance set it, and temporary files whose deletion failed earlier deleted.
void ShutdownProgram();

// The marker this instance holds for the run (null when it set none).
TChannelListener* InstanceMarker();
// Installs the marker for the run (start-up; tests).
void SetInstanceMarker(std::unique_ptr<TChannelListener> marker);
