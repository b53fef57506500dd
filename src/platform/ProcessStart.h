#pragma once
// Starting other programs on Linux. A program gets its arguments as a vector and is run
// directly, never through a shell, so no blank, quote, "$" or ";" in an argument is ever
// interpreted. Nothing of the program's own code is used here. Paths and arguments are
// program texts (1252); the new program gets them as UTF-8.

#include <sys/types.h>

#include <string>
#include <vector>

struct TProcessStartOptions {
  // Working folder of the new program; empty keeps ours.
  std::string workDir;
  // Block until the program has ended (no time limit).
  bool wait = false;
  // The program runs on in a session of its own, so that it outlives us and is never left
  // as a zombie of ours. Has no effect together with `wait`.
  bool detach = false;
  // The program and everything it starts form a process group of their own (its id is the
  // program's), so that KillProcessGroup can end all of them.
  bool newProcessGroup = false;
  // The program's standard output and error go to /dev/null.
  bool quiet = false;
};

struct TProcessStartResult {
  // True once the program file was executed; false when it could not be started.
  bool started = false;
  // errno of the step that failed when not started (chdir, exec, fork, ...).
  int error = 0;
  // Neither waited for nor detached: the child's id, which the caller must collect with
  // WaitForProcess. Otherwise 0.
  pid_t pid = 0;
  // After a wait: the exit code, or 128 + the signal number when a signal ended it.
  int exitCode = -1;
};

// Runs `program` (a path; a relative one counts from our working folder) with `args` as
// its arguments 1..n; its argument 0 is `program`. File descriptors other than 0, 1 and 2
// are not passed on; the signal mask is cleared for the new program.
TProcessStartResult StartProcess(const std::string& program, const std::vector<std::string>& args,
                                 const TProcessStartOptions& options = {});

// Waits without time limit for a child that StartProcess returned; its exit code as in
// TProcessStartResult::exitCode, -1 when `pid` is not a child of ours.
int WaitForProcess(pid_t pid);

// Waits at most `milliseconds` for a child that StartProcess returned. True when it ended
// (its exit code in `exitCode`, as in TProcessStartResult::exitCode); false when it still
// runs after that time (or `pid` is not a child of ours: `exitCode` -1).
bool WaitForProcessFor(pid_t pid, int milliseconds, int& exitCode);

// Ends a child started with `newProcessGroup` together with every process of its group
// (SIGKILL) and collects the child. Only for children of ours.
void KillProcessGroup(pid_t pid);

// Full path of the program file this process runs from (1252); empty when the system does
// not tell it.
std::string RunningExecutablePath();

// The first executable file `name` in the folders of PATH (1252), as the shell would find
// it; empty when there is none. A name with a "/" is not looked up.
std::string FindProgramOnPath(const std::string& name);
