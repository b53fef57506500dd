#pragma once
// What the installer window decides without widgets: its texts, the check of the target
// folder, when to ask about administrator rights, the program's settings file, the
// obsolete files, the folder chooser's start and result, and the lock against a second
// installer.

#include <functional>
#include <string>
#include <vector>

#include "platform/FileLock.h"

class TMLStringList;

// The program the installer puts down and whose settings file it writes.
inline constexpr const char* kInstalledProgramName = "Tessaro";

// The window's texts (group "Unit1") and the program block's (group "MainDPR").
const TMLStringList* SetupFormTexts();
std::string SetupFormText(int number);
const TMLStringList* MainDprTexts();
std::string MainDprText(int number);

// What the persons are called, German, in the order offered (the first is the default).
const std::vector<std::string>& PersonsTerms();

// The target folder typed by the user: trimmed, absolute, without "." or ".." components,
// and neither "/" nor a folder directly below it. True with the folder (trailing "/").
bool CheckSetupFolder(const std::string& text, std::string& folder);
// The folder lies inside the user's home folder.
bool FolderInsideHome(const std::string& folder);
// The question about administrator rights is due: not root, and a target outside the home.
bool NeedsAdminQuestion(const std::string& folder);

// The folder chooser starts in the field's folder (else the programs folder); a folder that
// does not exist gives way to its parent, and that to the programs folder.
std::string ChooserStartFolder(const std::string& fieldText);
// The chosen folder with "Tessaro/" appended unless its own name holds "tessaro" (any
// case); trailing "/".
std::string ChosenTargetFolder(const std::string& chosen);

// The settings file of the installed program (its file with ".ini"): "Lng" always; when the
// file is new also "FormTemplate" + n for the receipt templates found in the program folder
// and "PersonsTerm" from `askPersonsTerm` (called only then; an empty answer writes
// nothing). Written through a temporary file and recorded for the uninstaller. False when
// the file exists but cannot be read, or cannot be written.
bool WriteProgramSettings(const std::string& program, const std::string& language,
                          const std::function<std::string()>& askPersonsTerm);
// Files of earlier versions that a newer layout replaced.
void RemoveObsoleteFiles(const std::string& pgmPath);

// Earlier versions were named "Merivan Tessaro" in the menu and on the desktop. Before the
// commands run, what they left is moved to today's names, so that the commands renew it
// instead of leaving a second entry beside it: in the own menu folder the entry
// "Merivan Tessaro.desktop" becomes "Tessaro.desktop", and when the own menu folder is a
// folder inside the menu, a folder "Merivan Tessaro" beside it takes its name; on the desktop
// "Merivan Tessaro.desktop" becomes "Tessaro.desktop". Nothing is moved over something
// that exists.
inline constexpr const char* kOlderProductName = "Merivan Tessaro";
void MoveOlderMenuAndDesktopEntries();
// After a successful run: the settings file, the obsolete files, and the uninstaller
// written again so that it removes the settings file too.
bool FinishInstallation(const std::function<std::string()>& askPersonsTerm);

// The lock one installer holds while it runs (a file lock beside the program's instance
// sockets; it goes with the process).
class TSetupInstanceLock {
 public:
  // `fileName` empty: the default place.
  explicit TSetupInstanceLock(std::string fileName = "");
  // False when another installer holds it.
  bool Acquire();
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
  TFileLock lock_;
};
// The default lock file: $TESSARO_INSTANCE_DIR, else $XDG_RUNTIME_DIR, else the temporary
// folder, + "TessaroSetup-<uid>.lock".
std::string SetupLockFileName();
