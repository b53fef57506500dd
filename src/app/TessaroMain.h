#pragma once
// The program's main block: the fixed order in which the one process of Tessaro comes up,
// refuses a second start, loads its language, applies the time-travel switch, creates the
// main window and runs the message loop; the order of the shutdown after it.
//
// Ending the application and the messages between the program's processes are
// AppControlUnit's, the restart through the loader TessaroRestart's: the window and the
// login call them without this unit, which makes the window. What the program is built
// with (views, commands, printers, imports) is installed by the composition root
// (program/ProgramRoot.h) before this main block runs.
//
// Single thread. Every wait keeps the event queue served.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppControlUnit.h"
#include "app/TessaroRestart.h"

class TChannelListener;
class TMLStringList;

// The unit's message table (group "Tessaro").
const TMLStringList* TessaroMainTexts();
std::string TessaroMainText(int number);

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
