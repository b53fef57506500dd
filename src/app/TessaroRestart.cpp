#include "app/TessaroRestart.h"

#include "app/AppControlUnit.h"
#include "app/BackupUnit.h"
#include "app/UnitTR100Win.h"
#include "basic/IndirectRunUnit.h"
#include "basic/ParamsUnit.h"
#include "basic/SLUnit.h"
#include "basic/UserInteraction.h"
#include "data/IniUnit.h"
#include "data/MandantUnit.h"
#include "platform/PlatformFiles.h"

namespace {

constexpr const char* kDataPathKey = "DataPath";

// The value of a program-level setting as its file holds it (a command-line switch of the
// same name does not count here).
std::string StoredProgramSetting(const std::string& name) {
  TQStringList lines;
  if (!lines.LoadFromFile(SettingsFileName(kSettingsProgramLevel))) return std::string();
  return lines.Value(name);
}

bool ProgramFileExists(const std::string& file) {
  TPfInfo info;
  return PfStat(file, info) == 0 && info.kind == TPfKind::File;
}

}  // namespace

std::string DataPathSettingFor(const std::string& folder, const std::string& programDir) {
  if (!programDir.empty() && folder.size() >= programDir.size() &&
      AnsiSameText(folder.substr(0, programDir.size()), programDir))
    return folder.substr(programDir.size());
  return folder;
}

TRestartCommand RestartCommand(const std::string& programDir, const std::string& programFile,
                               const std::function<bool(const std::string&)>& fileExists) {
  TRestartCommand command;
  const std::string loader = programDir + kLoaderFileName;
  const bool loaderThere = fileExists ? fileExists(loader) : ProgramFileExists(loader);
  command.program = loaderThere ? loader : programFile;
  command.args = {"wait:2", "multistart"};
  return command;
}

bool SwitchDataPathAndRestart(const std::string& folder, const TRestartHooks& hooks) {
  const TMandantState& state = MandantState();
  // Read-only and time-travel runs write no setting (and WriteSetting says "done" there):
  // the new instance would come up in the old folder.
  if (folder.empty() || state.ReadOnlyMode || state.TimeTravelMode) {
    ShowRestartFailed();
    return false;
  }
  const std::string programDir = OriginExeDir();
  const std::string previous = StoredProgramSetting(kDataPathKey);
  if (!WriteSetting(kSettingsProgramLevel, kDataPathKey, DataPathSettingFor(folder, programDir))) {
    ShowRestartFailed();
    return false;
  }
  const TRestartCommand command = RestartCommand(programDir, OriginExeName(), hooks.fileExists);
  UI().ProcessPendingEvents();
  const bool started = hooks.start ? hooks.start(command.program, command.args)
                                   : RunProgram(command.program, command.args, false);
  if (!started) {
    // This instance goes on in its folder; the setting must say so again, or the next
    // start would open a folder nobody chose to run on.
    WriteSetting(kSettingsProgramLevel, kDataPathKey, previous);
    ShowRestartFailed();
    return false;
  }
  // The closing of this run makes no automatic backup: the new instance is already coming up.
  BackupSettings().Interval = biManual;
  if (hooks.terminate)
    hooks.terminate();
  else
    TerminateApplication();
  return true;
}

