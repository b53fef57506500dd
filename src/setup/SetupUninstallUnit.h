#pragma once
// The uninstaller. At the end of a full run the installer writes a copy of its program
// image as "uninstall" beside the installed program, with the language text and the
// compressed list of everything it created appended as sections, registers it in the
// registry stand-in and puts a menu entry ("Tessaro entfernen") beside the program's.
// Started under the name "uninstall", or with the argument "/uninst", the same program
// removes what the list names.
//
// The uninstall list (one entry a line): "UninstallKey=" + the registry key name, "Lng=",
// "DataPath=" and "Exec=" (the data folder and the installed program), then "file=" + full
// name per written file in the order of writing, then "dir=" + folder per folder the
// installer created, deepest first.
//
// The uninstaller keeps the user's data: files ending in ".ada", ".alg" or ".bdb" (any
// case), everything inside the data folder (the one installed, and the one the program's
// settings file names now), folders that still hold something, folders that existed
// before the installation, and the program's own registry key with its values.

#include <string>
#include <vector>

#include "basic/SLUnit.h"

inline constexpr const char* kUninstallerFileName = "uninstall";
// Below the scope's root (the user's; the machine's for root): one subkey per installation.
inline constexpr const char* kUninstallRegistryKey = "\\Software\\Uninstall";

// The uninst command: the bare uninstaller, the registry entry and the menu entry.
bool ExecuteUninstCommand(const TQStringList& cmd);
// Writes the uninstaller with the current list (replacing the bare one); false when there
// is no uninstaller name or image, or the write failed.
bool WriteUninstaller();
std::vector<std::string> BuildUninstallList();

// The uninstall list carried in a file's bytes; false when it has none or it is damaged.
bool ReadUninstallListFrom(const std::string& fileBytes, std::vector<std::string>& list);
// The running program's list; reports "uninstall information not found" when it has none.
std::vector<std::string> ReadUninstallList();

// ".ada", ".alg", ".bdb" in any case.
bool KeptOnUninstall(const std::string& fileName);
// The own file is named "uninstall" or an argument is "/uninst" (any case).
bool IsUninstallMode(const std::string& ownFile, const std::vector<std::string>& args);
// The value of "UninstallKey=" among the arguments.
std::string UninstallKeyArgument(const std::vector<std::string>& args);
// One key name below the uninstall key: more than 2 characters, no "/", "\", "..", control
// characters, and not ".".
bool ValidUninstallKeyName(const std::string& name);
// The folders whose contents an uninstall never deletes (see above), with trailing "/".
std::vector<std::string> ProtectedDataFolders(const TQStringList& listValues);

struct TUninstallResult {
  bool refused = false;    // the program runs: nothing was done
  bool listFound = false;  // the uninstall list was there
  std::vector<std::string> failed;  // files and folders that could not be deleted
  std::vector<std::string> keptData;  // installed files left in a data folder
  std::vector<std::string> dataFolders;  // the protected folders
};

// The removal. `args` are the program's arguments (for "UninstallKey").
TUninstallResult RunUninstall(const std::vector<std::string>& args);
