#pragma once
// Restarting the program through its start-up loader in another data folder.

#include <functional>
#include <string>
#include <vector>

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
