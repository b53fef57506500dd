#pragma once
// Which program file we run from and which one we act for, and starting programs: other
// programs and a second instance of this one (beside the running one, e.g. on an older
// state of the data). Programs get an argument vector and are never run through a shell;
// their working folder is their own folder.

#include <string>
#include <vector>

// From the process-wide start state (ParamsUnit).
std::string RunningExeName();
std::string OriginExeName();
std::string OriginExeDir();  // with a trailing "/"

// Appends a blank and `argument` to `commandLine`, the argument in double quotes when it
// holds a blank. SplitCmdParams gives such an argument back whole.
void AppendCmdParam(std::string& commandLine, const std::string& argument);

// Splits a parameter text into arguments without a shell: blanks separate, double quotes
// group (and are dropped); nothing else is special. A pair of quotes with nothing between
// them is an empty argument. A text cannot carry an argument that holds a double quote:
// pass argument vectors where that matters.
std::vector<std::string> SplitCmdParams(const std::string& params);

// Starts `programFile` with `params` as its arguments in the program file's folder. With
// `wait`, returns after the program ended (`exitCode`, when given, receives its exit code);
// without, the program runs on independently of us. True when the program was started;
// false when it could not be, and nothing is shown (callers decide).
bool RunProgram(const std::string& programFile, const std::vector<std::string>& params,
                bool wait, int* exitCode = nullptr);

// The arguments for a second instance: `params`, then "ActAsOriginExe=" + `originExe` when
// that differs from `runningExe` (exact text comparison), then "multistart" unless a switch
// of that name is already among the arguments.
std::vector<std::string> SecondInstanceArgs(const std::vector<std::string>& params,
                                            const std::string& runningExe,
                                            const std::string& originExe);

// Starts RunningExeName again with SecondInstanceArgs, without waiting; true when started.
bool StartSecondInstance(const std::vector<std::string>& params);
// The same for a parameter text built with AppendCmdParam (split by SplitCmdParams).
bool StartSecondInstance(const std::string& params);
