#include "basic/IndirectRunUnit.h"

#include "basic/ParamsUnit.h"
#include "platform/ProcessStart.h"

std::string RunningExeName() { return CommandLine().RunningExeName; }
std::string OriginExeName() { return CommandLine().OriginExeName; }
std::string OriginExeDir() { return CommandLine().OriginExeDir; }

void AppendCmdParam(std::string& commandLine, const std::string& argument) {
  commandLine += ' ';
  if (argument.find(' ') != std::string::npos) {
    commandLine += '"' + argument + '"';
  } else {
    commandLine += argument;
  }
}

std::vector<std::string> SplitCmdParams(const std::string& params) {
  std::vector<std::string> args;
  std::string current;
  bool inArg = false;  // also true for an argument that is only "" so far
  bool quoted = false;
  for (char c : params) {
    if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArg) args.push_back(current);
      current.clear();
      inArg = false;
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) args.push_back(current);
  return args;
}

bool RunProgram(const std::string& programFile, const std::vector<std::string>& params, bool wait,
                int* exitCode) {
  if (exitCode) *exitCode = -1;
  if (programFile.empty()) return false;
  TProcessStartOptions options;
  size_t slash = programFile.rfind('/');
  options.workDir = slash == std::string::npos ? std::string() : programFile.substr(0, slash + 1);
  options.wait = wait;
  options.detach = !wait;
  TProcessStartResult result = StartProcess(programFile, params, options);
  if (exitCode && wait) *exitCode = result.exitCode;
  return result.started;
}

std::vector<std::string> SecondInstanceArgs(const std::vector<std::string>& params,
                                            const std::string& runningExe,
                                            const std::string& originExe) {
  std::vector<std::string> args = params;
  if (runningExe != originExe) args.push_back("ActAsOriginExe=" + originExe);
  // Looked up as a switch: a path or value that merely contains the word must not keep the
  // new instance from running beside us.
  if (FindParamIn(args, "multistart") == 0) args.push_back("multistart");
  return args;
}

bool StartSecondInstance(const std::vector<std::string>& params) {
  const TCommandLine& state = CommandLine();
  return RunProgram(state.RunningExeName,
                    SecondInstanceArgs(params, state.RunningExeName, state.OriginExeName), false);
}

bool StartSecondInstance(const std::string& params) {
  return StartSecondInstance(SplitCmdParams(params));
}
