#include "output/PadDriverUnit.h"

#include "basic/RegistryUnit.h"
#include "platform/DynamicLibrary.h"
#include "platform/PlatformFiles.h"

namespace {

class TSystemLoader : public IPadLibraryLoader {
 public:
  bool Open(const std::string& path, std::string& error) override {
    library_ = PfOpenLibrary(path, error);
    return library_ != nullptr;
  }
  void* Symbol(const std::string& name) override { return PfLibrarySymbol(library_, name); }

 private:
  void* library_ = nullptr;
};

TSystemLoader gSystemLoader;
IPadLibraryLoader* gLoader = &gSystemLoader;
int gStatus = kPadNotLoaded;
TPadDriver gDriver;
std::string gError;

bool IsFile(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

template <class T>
void Take(T& call, void* address) {
  call = reinterpret_cast<T>(address);
}

}  // namespace

void SetPadLibraryLoader(IPadLibraryLoader* loader) {
  gLoader = loader ? loader : &gSystemLoader;
}

const TPadDriver& PadDriver() { return gDriver; }

std::string PadLibraryPathFromRegistry() {
  std::string folder = RegReadKeyString(TRegRoot::LocalMachine, kPadRegistryKey, kPadRegistryValue);
  if (folder.empty()) return std::string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder != "/") folder += '/';
  return folder + kPadLibraryFile;
}

int LoadPadLibrary(const std::string& givenPath) {
  const std::string path = givenPath.empty() ? PadLibraryPathFromRegistry() : givenPath;
  if (path.empty()) {
    gError = "no pad driver configured";
    return kPadNoLibrary;
  }
  if (!IsFile(path)) {
    gError = "no pad driver at " + path;
    return kPadNoLibrary;
  }
  std::string error;
  if (!gLoader->Open(path, error)) {
    gError = error;
    return kPadNoLibrary;
  }
  gStatus = kPadReady;
  gDriver = TPadDriver();
  gError.clear();
  for (const char* name : kPadEntryPoints) {
    void* address = gLoader->Symbol(name);
    if (!address) {
      gStatus = kPadIncomplete;
      if (gError.empty()) gError = "the pad driver lacks ";
      else gError += ", ";
      gError += name;
      continue;
    }
    const std::string n = name;
    if (n == "setLang") Take(gDriver.setLang, address);
    else if (n == "RegisterBigButtonHandler") Take(gDriver.RegisterBigButtonHandler, address);
    else if (n == "RegisterSmallButtonHandler") Take(gDriver.RegisterSmallButtonHandler, address);
    else if (n == "SetSignText") Take(gDriver.SetSignText, address);
    else if (n == "clearBioData") Take(gDriver.clearBioData, address);
    else if (n == "startCapture") Take(gDriver.startCapture, address);
    else if (n == "stopRead") Take(gDriver.stopRead, address);
    else if (n == "getBioDataArray") Take(gDriver.getBioDataArray, address);
    else if (n == "getBioDataArrayItem") Take(gDriver.getBioDataArrayItem, address);
    else if (n == "freeBioDataArray") Take(gDriver.freeBioDataArray, address);
  }
  return gStatus;
}

bool PadLibraryReady() {
  if (gStatus == kPadReady) return true;
  return LoadPadLibrary(std::string()) == kPadReady;
}

int PadDriverStatus() { return gStatus; }

const std::string& PadLibraryError() { return gError; }

void ResetPadLibrary() {
  gStatus = kPadNotLoaded;
  gDriver = TPadDriver();
  gError.clear();
}
