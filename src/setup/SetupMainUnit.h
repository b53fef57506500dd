#pragma once
// The installer's engine. What the installer does is not coded here but listed in the
// command list it carries ("Section:Setup.cmd"): one command a line, a comma text of
// Name=Value pairs with an "action". The engine expands the placeholders, writes the files
// carried in "Section:Setup.bin", creates menu and desktop entries and the uninstall entry,
// records what it created for the uninstaller and collects errors into a log. It runs
// twice: first only the "path" commands (the window needs the target folders before it
// asks), then completely.
//
// Linux stand-ins for what the command list names:
//   *Programs*   ~/.local/opt/ (/opt/ for root)
//   *Desktop*    the user's desktop folder (XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop/)
//   *StartMenu*  $XDG_DATA_HOME/applications/ (~/.local/share/applications/; for root
//                /usr/local/share/applications/)
//   "\" in a path is read as "/"; a shortcut is a ".desktop" file; "desktopini" writes the
//   folder's ".directory" (its icon for the KDE file managers); the registry is TRegistryStore (platform/RegistryStore.h); the log goes to
//   $XDG_STATE_HOME/Tessaro/Setup.log (~/.local/state/Tessaro/Setup.log).
//
// Safety of what is written:
//   - a file is written to a temporary name in its folder, synced and renamed over the
//     target, so a failed write never leaves a truncated program;
//   - a file's mode comes from its "Mode" (octal, default 644) without the write bits of
//     group and others, except below the data folder, where every user may write (0666);
//     a folder Setup creates gives every local user full access (GrantUsersFullAccess,
//     setup/NTSecurity.h), and folders that existed are never touched nor recorded;
//   - a placeholder without a value is reported (the run's result is then false) and the
//     command goes on without what it names: a folder stays unset, a file or entry is not
//     written (its data is consumed all the same); a path that is not absolute fails its
//     command;
//   - the installed program is started from an argument list, never through a shell.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "basic/SLUnit.h"
#include "platform/ProcessStart.h"

class TMLStringList;

// The folder icon file that "desktopini" writes.
inline constexpr const char* kFolderIconFileName = ".directory";

// Run state of the installer, process-wide (ResetSetupState empties it).
struct TSetupState {
  std::string registryKey;  // "SOFTWARE\" + the path command's Registry value
  std::string version;
  std::string language;     // at most 3 characters
  bool languageChosen = false;  // by the window; a path command no longer sets it
  std::string pgmPath;      // each with a trailing "/"
  std::string dataPath;
  std::string myStartMenu;
  // The data folder came from the registry (an earlier installation), not from the
  // command list's default for the program folder.
  bool dataPathFromRegistry = false;
  std::string installedProgram;  // the first file written with an execute bit
  std::string programParams;
  bool desktopLink = true;
  std::string errorText;    // every error message followed by "; "
  std::vector<std::string> writtenFiles;    // in the order of writing
  std::vector<std::string> createdFolders;  // sorted, without duplicates
  std::vector<std::string> knownFolders;    // existing folders already looked at
  TQStringList uninstallValues;             // "UninstallKey", ...
  std::string uninstallerName;
  // Entries of an earlier installation in the same place (its uninstaller's list), joined
  // into this one's so that its uninstall still removes what the earlier one created.
  std::vector<std::string> earlierFiles;
  std::vector<std::string> earlierFolders;
  std::vector<std::string> log;
  bool mainWindowExists = false;

  // The file data of "Section:Setup.bin" and how much of it the save commands consumed.
  std::string fileData;
  size_t fileDataPos = 0;

  // Root: the machine-wide stand-ins and registry scope. Set from IsAdmin() at reset.
  bool isAdmin = false;
  // Tessaro runs for this user (its instance channel answers); the uninstaller refuses
  // then. Set by the window; without it nothing is taken to run.
  std::function<bool()> programRunning;
  // How the installed program is started (tests replace it).
  std::function<TProcessStartResult(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const TProcessStartOptions& options)>
      startProcess;
};

TSetupState& SetupState();
void ResetSetupState();

// The unit's texts (group "SetupMainUnit"): the uninstaller's menu entry and messages.
const TMLStringList* SetupMainTexts();
std::string SetupMainText(int number);
std::string SetupMainTextFmt(int number, const std::string& argument);

// Effective user 0.
bool IsAdmin();

// Reports an error: added to the error text (with "; ") and, while the window does not
// exist yet, shown as an error message captioned "Setup".
void ShowSetupError(const std::string& message);

// Runs the command list: with `pathOnly` only the "path" commands. The first failing
// command ends the run. A full run writes the uninstaller afterwards (also after a
// failure: what was written must be removable) and the registry values "Exec" and
// "DataPath". True when no error occurred. A payload that is missing or refused fails
// before anything is written.
bool RunSetupCommands(bool pathOnly);

// One command line (exposed for tests; RunSetupCommands calls it).
bool ExecuteSetupCommand(const std::string& line);

// Replaces the placeholders (each at its first occurrence), reads "\" as "/" and reduces
// doubled slashes. False, with the error reported, when a placeholder has no value or an
// unknown "*Name*" remains.
bool ExpandSetupPath(const std::string& path, std::string& expanded);
// The folders the placeholders stand for (with a trailing "/"); empty when unknown.
std::string ProgramsFolder();
std::string DesktopFolder();
std::string StartMenuFolder();
// Where the log goes.
std::string SetupLogFileName();

// Makes the folder of `path` (cut back to its last "/") with its missing parents, gives each
// one it created full access for every local user (GrantUsersFullAccess) and records it.
// True when the folder exists.
bool MakeSetupDir(const std::string& path);
// Writes a file through a temporary name and a rename, making its folder first; records it.
bool WriteSetupFile(const std::string& fileName, const std::string& bytes, unsigned mode);
// Records a written file (once).
void RecordWrittenFile(const std::string& fileName);

// The file name with its extension (if any) exchanged for `extension` (".ini").
std::string ChangeFileExtension(const std::string& file, const std::string& extension);

// The registry value under the program key: the user's first, then the machine's.
std::string SetupRegRead(const std::string& name);
// Writes it for the user (and, as root, machine-wide too).
bool SetupRegWrite(const std::string& name, const std::string& value);

// An earlier installation with a newer version is registered (see the .cpp for the rules).
bool NewerVersionInstalled();
// A version as it is compared: trimmed; one with a "." gets "0" in front until the "."
// is its third character, then "0" appended up to 5 characters ("2.1" -> "02.10",
// "10.0" -> "10.00"); one without (the dated "2008-04") stays as it is.
std::string NormalizeSetupVersion(const std::string& version);
// The normalised versions compared as text: >0 when a is newer than b.
int CompareSetupVersions(const std::string& a, const std::string& b);

// The parameters of the exec command as an argument list: blanks separate, double quotes
// group (a doubled quote inside stands for one).
std::vector<std::string> SplitProgramParams(const std::string& params);
// Starts the installed program (after a successful full run); false when there is none or
// it did not start.
bool StartInstalledProgram();

// The text of a ".desktop" entry: type application, the given name, the program with its
// arguments quoted in Exec, the working folder and the icon (UTF-8).
std::string DesktopEntryText(const std::string& name, const std::string& program,
                             const std::vector<std::string>& args, const std::string& icon);
// One argument of a ".desktop" Exec line, quoted.
std::string DesktopExecArgument(const std::string& arg);
