#pragma once
// String values under the program's own key of the settings registry (see
// platform/RegistryStore.h for where they are kept). The program key is set once at start-up
// by the data layer; until then every operation does nothing.

#include <string>

// Sets the key path (e.g. "\Software\Merivan\Tessaro"); "" switches the operations off.
void SetRegistryProgramKey(const std::string& keyPath);
const std::string& RegistryProgramKey();

// Writes a string value under the program key, the current user's or, with `machineWide`,
// the machine's. False when no program key is set or the value could not be written (the
// machine scope needs administrator rights); RegistryLastError() then says why.
bool RegWriteString(bool machineWide, const std::string& name, const std::string& value);
// The string value under the program key; empty when the key or the value is missing or
// the value is not a string (plain or expandable).
std::string RegReadString(bool machineWide, const std::string& name);

enum class TRegRoot { ClassesRoot, CurrentUser, LocalMachine };

// A string value of any key below a root ("" names the key's default value).
std::string RegReadKeyString(TRegRoot root, const std::string& keyPath, const std::string& name);
// The default value of a key of the class registry: the user's "Software\Classes" first,
// then the machine's.
std::string RegReadClassesRoot(const std::string& keyPath);

// Why the last failed RegWriteString failed.
const std::string& RegistryLastError();
