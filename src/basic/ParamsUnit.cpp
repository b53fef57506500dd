#include "basic/ParamsUnit.h"

#include "basic/BasicsUnit.h"
#include "basic/Cp1252.h"
#include "platform/OsText.h"
#include "platform/PlatformFiles.h"
#include "platform/ProcessStart.h"

namespace {

bool IsSwitchLead(char c) { return c == '-' || c == '/' || c == '\\'; }

std::string WithoutSwitchLead(const std::string& s) {
  return !s.empty() && IsSwitchLead(s[0]) ? CutLeft(s, 1) : s;
}

// Entry "name:value" / "name=value" / "name": the earlier of ":" and "=" ends the name.
void SplitEntry(const std::string& entry, std::string& name, std::string& value) {
  std::string s = WithoutSwitchLead(entry);
  size_t end = s.find_first_of(":=");
  if (end == std::string::npos) {
    name = s;
    value.clear();
  } else {
    name = s.substr(0, end);
    value = s.substr(end + 1);
  }
}

// The folder part of a path, with its trailing "/"; empty when there is none.
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

TCommandLine& DefaultState() {
  static TCommandLine state = [] {
    TCommandLine s;
    s.Reset();
    return s;
  }();
  return state;
}

TCommandLine* installed = nullptr;

}  // namespace

int FindParamIn(const std::vector<std::string>& list, const std::string& name, std::string* value) {
  if (value) value->clear();
  std::string wanted = AnsiUpperCase(WithoutSwitchLead(name));
  if (wanted.empty()) return 0;
  std::string entryName, entryValue;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].empty()) continue;
    SplitEntry(list[i], entryName, entryValue);
    if (AnsiUpperCase(entryName) == wanted) {
      if (value) *value = entryValue;
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

void TCommandLine::Init(std::vector<std::string> args, const std::string& runningExeName) {
  ParamList = std::move(args);
  RunningExeName = runningExeName;
  OriginExeName = runningExeName;
  ActAsOriginExeGiven = false;
  ActAsOriginExeMissing = false;

  std::string acting = GetParam("ActAsOriginExe");
  if (!acting.empty()) {
    ActAsOriginExeGiven = true;
    // Made absolute now: programs we start run in another working folder.
    std::string path = PfAbsolutePath(acting);
    TPfInfo info;
    if (!path.empty() && PfStat(path, info) == 0 && info.kind == TPfKind::File) {
      OriginExeName = path;
    } else {
      ActAsOriginExeMissing = true;
    }
  }
  OriginExeDir = FolderOf(OriginExeName);
}

void TCommandLine::Reset() { Init({}, RunningExecutablePath()); }

int TCommandLine::FindParam(const std::string& name, std::string* value) const {
  return FindParamIn(ParamList, name, value);
}

std::string TCommandLine::GetParam(const std::string& name) const {
  std::string value;
  FindParam(name, &value);
  return value;
}

bool TCommandLine::DeleteParam(const std::string& name) {
  int index = FindParam(name);
  if (index == 0) return false;
  ParamList[static_cast<size_t>(index) - 1].clear();
  return true;
}

TCommandLine& CommandLine() { return installed ? *installed : DefaultState(); }

void InitCommandLine(int argc, const char* const* argv) {
  // The system hands over UTF-8; the program's texts are 1252.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(argv[i] ? OsToAnsi(argv[i]) : std::string());
  std::string running = RunningExecutablePath();  // already a program path
  if (running.empty() && argc > 0 && argv[0]) running = PfAbsolutePath(OsToAnsi(argv[0]));
  CommandLine().Init(std::move(args), running);
}

TCommandLineScope::TCommandLineScope(TCommandLine& state) : previous_(installed) {
  installed = &state;
}

TCommandLineScope::~TCommandLineScope() { installed = previous_; }

int FindParam(const std::string& name, std::string* value) {
  return CommandLine().FindParam(name, value);
}

std::string GetParam(const std::string& name) { return CommandLine().GetParam(name); }

bool DeleteParam(const std::string& name) { return CommandLine().DeleteParam(name); }

const std::vector<std::string>& ParamList() { return CommandLine().ParamList; }

std::string GetProgramFolder() {
  std::string program = RunningExecutablePath();
  if (program.empty()) program = PfAbsolutePath("Tessaro");  // the working folder, at least
  program = PfAbsolutePath(program);
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string("/") : program.substr(0, slash + 1);
}
