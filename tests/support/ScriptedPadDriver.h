#pragma once
// A signature pad driver for the tests: the driver's entry points come from a table in
// this process, behind the program's own binding (output/PadDriverUnit.h). The registry
// stand-in names a temporary folder holding an (empty) "SOPad.so", so the binding finds a
// file as it would on a real machine; the loader then hands out the table instead of the
// system's loader. The script says what startCapture answers, which samples an accept
// delivers and which names are missing; the table records what the program sent.

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/AccessProtection.h"
#include "data/SigPadUnit.h"
#include "output/PadDriverUnit.h"
#include "platform/RegistryStore.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

struct TScriptedPad {
  // Script.
  int startResult = 1;
  TRawSamples samples;
  std::set<std::string> missing;
  // Runs inside startCapture (e.g. a pad button pressed later by the test).
  std::function<void()> onStart;

  // What the program did.
  std::string language;
  std::string application;
  std::map<int, std::string> lines;
  int clearCalls = 0, startCalls = 0, stopCalls = 0, freeCalls = 0;
  TPadButtonHandler big = nullptr;
  TPadButtonHandler small = nullptr;

  static TScriptedPad*& Current() {
    static TScriptedPad* pad = nullptr;
    return pad;
  }

  // The pad's buttons.
  void PressBig() {
    if (big) big();
  }
  void PressSmall() {
    if (small) small();
  }

  // ---- the entry points ----
  static void SetLang(const char* text) { Current()->language = text; }
  static void RegisterBig(TPadButtonHandler h) { Current()->big = h; }
  static void RegisterSmall(TPadButtonHandler h) { Current()->small = h; }
  static void SetSignText(int line, const char* text) { Current()->lines[line] = text; }
  static void ClearBioData() { ++Current()->clearCalls; }
  static int StartCapture(const char* app, int, int, int, int, const char*, int) {
    TScriptedPad& pad = *Current();
    pad.application = app;
    ++pad.startCalls;
    if (pad.onStart) pad.onStart();
    return pad.startResult;
  }
  static int StopRead(unsigned char* s1, unsigned char* s2) {
    ++Current()->stopCalls;
    std::memcpy(s1, "ABCDE", 5);
    std::memcpy(s2, "FGHIJK", 6);
    return 1;
  }
  static int GetBioDataArray(void** handle) {
    *handle = &Current()->samples;
    return static_cast<int>(Current()->samples.size());
  }
  static const unsigned char* GetBioDataArrayItem(void* handle, int index) {
    auto* samples = static_cast<TRawSamples*>(handle);
    if (index < 0 || static_cast<size_t>(index) >= samples->size()) return nullptr;
    return reinterpret_cast<const unsigned char*>(&(*samples)[static_cast<size_t>(index)]);
  }
  static void FreeBioDataArray(void*) { ++Current()->freeCalls; }
  static int Inert() { return 0; }
};

// The loader that hands out the table.
class TScriptedPadLoader : public IPadLibraryLoader {
 public:
  explicit TScriptedPadLoader(TScriptedPad& pad) : pad_(pad) {}
  int opens = 0;
  bool Open(const std::string&, std::string&) override {
    ++opens;
    return true;
  }
  void* Symbol(const std::string& name) override {
    if (pad_.missing.count(name)) return nullptr;
    static const std::map<std::string, void*> table = {
        {"setLang", reinterpret_cast<void*>(&TScriptedPad::SetLang)},
        {"RegisterBigButtonHandler", reinterpret_cast<void*>(&TScriptedPad::RegisterBig)},
        {"RegisterSmallButtonHandler", reinterpret_cast<void*>(&TScriptedPad::RegisterSmall)},
        {"SetSignText", reinterpret_cast<void*>(&TScriptedPad::SetSignText)},
        {"clearBioData", reinterpret_cast<void*>(&TScriptedPad::ClearBioData)},
        {"startCapture", reinterpret_cast<void*>(&TScriptedPad::StartCapture)},
        {"stopRead", reinterpret_cast<void*>(&TScriptedPad::StopRead)},
        {"getBioDataArray", reinterpret_cast<void*>(&TScriptedPad::GetBioDataArray)},
        {"getBioDataArrayItem", reinterpret_cast<void*>(&TScriptedPad::GetBioDataArrayItem)},
        {"freeBioDataArray", reinterpret_cast<void*>(&TScriptedPad::FreeBioDataArray)},
    };
    auto it = table.find(name);
    return it != table.end() ? it->second : reinterpret_cast<void*>(&TScriptedPad::Inert);
  }

 private:
  TScriptedPad& pad_;
};

// The registry names a folder with a "SOPad.so" file (`withFile`), the binding loads the
// table, and everything is undone afterwards.
class TScriptedPadScope {
 public:
  explicit TScriptedPadScope(bool withValue = true, bool withFile = true) : loader(pad) {
    TScriptedPad::Current() = &pad;
    ResetPadLibrary();
    SetPadLibraryLoader(&loader);
    if (withFile) WriteAllBytes(folder.File(kPadLibraryFile), "");
    if (withValue)
      TRegistryStore(registry.UserRoot(), registry.MachineRoot())
          .WriteString(TRegScope::Machine, kPadRegistryKey, kPadRegistryValue, folder.Dir());
  }
  ~TScriptedPadScope() {
    SetPadLibraryLoader(nullptr);
    ResetPadLibrary();
    TScriptedPad::Current() = nullptr;
  }
  TScriptedPadScope(const TScriptedPadScope&) = delete;
  TScriptedPadScope& operator=(const TScriptedPadScope&) = delete;

  TScriptedPad pad;
  TScriptedPadLoader loader;
  TRegistryTestRoot registry;
  TTempDir folder;
};

// A sample as a pad delivers it.
inline TFrames PadSample(int x, int y, int level, unsigned pressure, int strokeTag) {
  TFrames f;
  f.x = static_cast<std::uint16_t>(x);
  f.y = static_cast<std::uint16_t>(y);
  f.level = static_cast<std::uint8_t>(level);
  f.pressure = pressure;
  f.strokeTag = static_cast<std::uint8_t>(strokeTag);
  return f;
}

// The signatures and journal of a test's "Transactions" folder as one workstation sees
// them, with reservations of its own (the program's registry keeps the first lock file it
// saw for the whole run, which in a test program is some earlier test's folder).
struct TSigTestStore {
  TAccessProtectionRegistry registry;
  TAccessProtection* lock = nullptr;
  TSigDB sig;
  explicit TSigTestStore(const TTempDir& dir, const std::string& station = "tester@pc1")
      : sig(dir.Dir() + "Transactions/", &registry) {
    registry.SetSleeper([](int) {});
    GetAccessProtection(dir.File("Data.wpf"), lock, registry);
    sig.StationKey = station;
  }
  ~TSigTestStore() {
    sig.CloseJournal();
    ReleaseAccessProtection(lock);
  }
  TSigTestStore(const TSigTestStore&) = delete;
  TSigTestStore& operator=(const TSigTestStore&) = delete;
};
