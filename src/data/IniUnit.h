#pragma once
// The settings stores. Three hold plain name=value lines:
//   level 0  the settings file beside the program: the program file with ".ini"
//   level 1  the file of the same name in the data folder in use, shared by every station
//   registry the value "ini" under the program's registry key, per user (or machine-wide)
// Each is read into a cache (TMandantState) that is used for 5 seconds, so another
// station's change is seen within 5 seconds. A command-line switch of a setting's name
// overrides the stored value. The key "DATAPATH" always belongs to level 0.
//
// Files are written only under the global write reservation, after reading them again
// inside it, and replaced through the safe save; a stored value that is already right
// leaves the file untouched. Nothing is written in read-only or time-travel mode.

#include <string>

#include "data/MandantUnit.h"

constexpr int kSettingsProgramLevel = 0;  // beside the program
constexpr int kSettingsDataLevel = 1;     // in the data folder

// The settings file of a level: level 0 fixes it at first use (the state's
// ProgramIniName, else the program file this process acts for with ".ini"); level 1 is the
// data folder in use + that file's name (empty without a data folder).
std::string SettingsFileName(int level);

// The switch of that name when given on the command line, else the stored value (empty
// when there is none). True when either gave a value.
bool ReadSetting(int level, const std::string& name, std::string& value);
// The same as a result.
std::string ReadSettingStr(int level, const std::string& name);

// Stores the value (an empty value removes the line). True when written or when the file
// already held that value; true without writing in read-only or time-travel mode and for
// an empty name. False without the reservation, when the file exists but cannot be read,
// when the write fails (the file then keeps its old text), for a name with "=" or a
// control character and for a value with a control character other than TAB.
bool WriteSetting(int level, const std::string& name, const std::string& value);

// WriteSetting at level 1; when that succeeds the name is removed from level 0, so the
// data folder's value is the one in force.
bool WriteUserSetting(const std::string& name, const std::string& value);

// The value in this user's registry text "ini" (empty when there is none).
bool ReadDataSetting(const std::string& name, std::string& value);
std::string ReadDataSettingStr(const std::string& name);

// Sets the value in this user's registry text "ini" and writes the whole text back when
// it changed. Nothing in read-only mode (true). False when the text could not be written.
bool WriteDataSetting(const std::string& name, const std::string& value);

// The registry text "ini" of this user or, with machineWide, of the machine, through the
// cache.
const TQStringList& RegistryIniLines(bool machineWide);
