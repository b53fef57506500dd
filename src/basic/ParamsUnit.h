#pragma once
// The program's command-line switches, asked for by name.
//
// A switch is one argument: an optional leading "-", "/" or "\", the name, then ":" or "="
// and the value. The earlier of the first ":" and the first "=" ends the name; the value
// keeps its case and may hold further ":" or "=". Names compare case-insensitively. So
// -wait:5, /WAIT=5, \wait:5 and wait=5 are all the switch "wait" with the value "5".
//
// The program-wide start state (the arguments, the running program file and the program
// file this process acts for) lives in one TCommandLine object. Start-up fills the
// process-wide one; a test installs its own with TCommandLineScope or resets it.

#include <string>
#include <vector>

// Looks `name` up in `list` by the switch syntax above: the 1-based index of the first
// matching entry, 0 when none matches. `value` (may be null) receives that entry's value,
// or is emptied when nothing matches. An empty name, or one that is nothing but a leading
// "-", "/" or "\", never matches. Empty entries are skipped.
int FindParamIn(const std::vector<std::string>& list, const std::string& name,
                std::string* value = nullptr);

class TCommandLine {
 public:
  // Arguments 1..n in order, as the system handed them over. Entries are never removed,
  // only emptied, so an index once found stays valid.
  std::vector<std::string> ParamList;
  // Full path of the program file this process runs from.
  std::string RunningExeName;
  // Full path of the program file this process acts for: the value of "ActAsOriginExe"
  // when that names an existing file, otherwise RunningExeName.
  std::string OriginExeName;
  // The folder of OriginExeName, with a trailing "/".
  std::string OriginExeDir;
  // Started with a non-empty "ActAsOriginExe" value.
  bool ActAsOriginExeGiven = false;
  // ... and that value named no existing file.
  bool ActAsOriginExeMissing = false;

  // Fills everything from the arguments after the program name and the running program
  // file, and resolves the program file this process acts for.
  void Init(std::vector<std::string> args, const std::string& runningExeName);
  // No arguments; the running program file of this process.
  void Reset();

  int FindParam(const std::string& name, std::string* value = nullptr) const;
  // The switch's value; empty when the switch is absent or has no value.
  std::string GetParam(const std::string& name) const;
  // Empties the first matching entry; false when there is none.
  bool DeleteParam(const std::string& name);
};

// The process-wide start state (never null). Until start-up calls InitCommandLine it has
// no arguments and knows the running program file.
TCommandLine& CommandLine();
// Start-up: the arguments of main() and the running program file (from the system).
void InitCommandLine(int argc, const char* const* argv);

// Installs `state` (not owned) as the process-wide start state for the lifetime of the
// scope, then restores the previous one.
class TCommandLineScope {
 public:
  explicit TCommandLineScope(TCommandLine& state);
  ~TCommandLineScope();
  TCommandLineScope(const TCommandLineScope&) = delete;
  TCommandLineScope& operator=(const TCommandLineScope&) = delete;

 private:
  TCommandLine* previous_;
};

// The same look-ups on the process-wide state.
int FindParam(const std::string& name, std::string* value = nullptr);
std::string GetParam(const std::string& name);
bool DeleteParam(const std::string& name);

// The arguments of the process-wide state.
const std::vector<std::string>& ParamList();

// The folder of the running program, absolute, with a trailing "/".
std::string GetProgramFolder();
