#pragma once
// One workstation for the login tests: its own data folder below a temporary folder, its
// own registry values, settings, history, reservations and command line, and a recorder of
// what is said to the user.

#include <memory>
#include <string>
#include <vector>

#include "app/BackupRequesterUnit.h"
#include "app/LoginUnit.h"
#include "app/TessaroMain.h"
#include "app/UnitTR100Win.h"
#include "basic/ParamsUnit.h"
#include "basic/RegistryUnit.h"
#include "data/AccessProtection.h"
#include "data/HistoryUnit.h"
#include "data/MandantUnit.h"
#include "data/MiniDBUnit.h"
#include "data/UnitTR100.h"
#include "data/UserRights.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

struct TLoginEnv {
  TTempDir dir;
  TRegistryTestRoot registryRoot;
  TAccessProtectionRegistry registry;
  TMandantState state;
  TMandantStateScope stateScope{state};
  THistory history{&registry};
  THistoryScope historyScope{history};
  TCommandLine commandLine;
  std::unique_ptr<TCommandLineScope> commandLineScope;
  TScopedRecorder ui;

  explicit TLoginEnv(const std::vector<std::string>& args = {}) {
    registry.SetSleeper([](int) {});
    state.Reservations = &registry;
    oldRegistryKey_ = RegistryProgramKey();
    SetRegistryProgramKey("\\Software\\Merivan\\Tessaro");
    PfMakeFolders(dir.Dir() + "prog/");
    PfMakeFolders(Data());
    state.ProgramIniName = dir.Dir() + "prog/Tessaro.ini";
    commandLine.Init(args, dir.Dir() + "prog/Tessaro");
    commandLineScope = std::make_unique<TCommandLineScope>(commandLine);
    ResetLoginState();
    ResetSession();
    ResetWinGlue();
    ResetApplicationTerminated();
    LoginState().Registry = &registry;
    LoginState().StationKey = "alice@pc1";
    state.DataRoot = Data();
    state.DataPath = Data();
  }
  ~TLoginEnv() {
    ResetLoginState();
    ResetSession();
    FreeBackupRequesterForm();
    ResetWinGlue();
    ResetApplicationTerminated();
    SetRegistryProgramKey(oldRegistryKey_);
  }
  std::string Data() const { return dir.Dir() + "data/"; }
  std::string Prog() const { return dir.Dir() + "prog/"; }

 private:
  std::string oldRegistryKey_;
};

// A store of the data folder as another program run leaves it: users made and saved.
struct TStoreMaker {
  TAccessProtectionRegistry registry;
  TMiniDB db;
  explicit TStoreMaker(const std::string& folder, const std::string& title = "Data") {
    registry.SetSleeper([](int) {});
    db.Registry = &registry;
    db.StationKey = "maker@pc9";
    db.Open(folder, title, "Tessaro");
  }
  int32_t User(const std::string& name, const std::string& password,
               const std::string& rights = "") {
    const int32_t id = db.NewNamedRecord(icUser, name, "");
    if (!password.empty()) db.SetField(id, "pw", password);
    if (!rights.empty()) db.SetField(id, fkRights, rights);
    db.Commit();
    return id;
  }
  std::string Rights(int32_t id, const std::string& digits) {
    TRightLevels levels{};
    for (size_t i = 0; i < digits.size() && i < levels.size(); ++i)
      levels[i] = static_cast<uint8_t>(digits[i] - '0');
    return EncodeUserRights(id, levels);
  }
  ~TStoreMaker() { db.Close(); }
};
