#pragma once
// The binding to the signature pad's driver library. The library's folder is the registry
// value "driver" of the machine key "\SOFTWARE\StepOver\WTConfig" (platform/RegistryStore.h
// says where that lives); the file in it is "SOPad.so". The 35 entry points are bound by
// name once, and the library stays loaded for the run.
//
// Without the library (no value, no file, a load that fails) every signature request says
// that no pad is installed. Our own virtual pad (bin/Pad/SOPad.so) is such a library.

#include <cstdint>
#include <string>

#include "output/PadDriverApi.h"

inline constexpr const char* kPadRegistryKey = "\\SOFTWARE\\StepOver\\WTConfig";
inline constexpr const char* kPadRegistryValue = "driver";
inline constexpr const char* kPadLibraryFile = "SOPad.so";

// Driver status for the run; LoadPadLibrary also answers kPadNoLibrary, which is never a
// status.
inline constexpr int kPadNotLoaded = 0;
inline constexpr int kPadReady = 1;          // loaded, every entry point bound
inline constexpr int kPadNoLibrary = 2;      // no path, no file, or the load failed
inline constexpr int kPadIncomplete = 3;     // loaded, at least one entry point missing

// How a driver library is opened and its names looked up: the system's loader
// (platform/DynamicLibrary.h) unless a test installs a table of its own.
class IPadLibraryLoader {
 public:
  virtual ~IPadLibraryLoader() = default;
  // False, and why in `error`, when the library at `path` cannot be loaded.
  virtual bool Open(const std::string& path, std::string& error) = 0;
  // The address of `name` in the library opened last; null when it has none.
  virtual void* Symbol(const std::string& name) = 0;
};
// Installs `loader` (not owned); null restores the system's loader.
void SetPadLibraryLoader(IPadLibraryLoader* loader);

// The calls the program makes; all set when the status is kPadReady.
struct TPadDriver {
  TPadSetLang setLang = nullptr;
  TPadRegisterBigButtonHandler RegisterBigButtonHandler = nullptr;
  TPadRegisterSmallButtonHandler RegisterSmallButtonHandler = nullptr;
  TPadSetSignText SetSignText = nullptr;
  TPadClearBioData clearBioData = nullptr;
  TPadStartCapture startCapture = nullptr;
  TPadStopRead stopRead = nullptr;
  TPadGetBioDataArray getBioDataArray = nullptr;
  TPadGetBioDataArrayItem getBioDataArrayItem = nullptr;
  TPadFreeBioDataArray freeBioDataArray = nullptr;
};
const TPadDriver& PadDriver();

// The library's file from the registry: the value + "/SOPad.so"; "" without the value.
std::string PadLibraryPathFromRegistry();
// Loads the driver from `path` (empty: from the registry) and binds the 35 names in
// order. Returns the new status (kPadReady or kPadIncomplete), or kPadNoLibrary without a
// path, for a path to a missing file, or when the load fails; the status then stays.
int LoadPadLibrary(const std::string& path);
// True when the status is kPadReady, else when loading from the registry makes it so.
bool PadLibraryReady();
int PadDriverStatus();
// Why the last load failed (for the log).
const std::string& PadLibraryError();
// Back to "not loaded" with no calls bound (tests; the library itself stays loaded).
void ResetPadLibrary();
