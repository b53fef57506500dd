#include "basic/RegistryUnit.h"

#include "platform/RegistryStore.h"

namespace {

std::string gProgramKey;
std::string gLastError;

std::string ReadString(TRegScope scope, const std::string& keyPath, const std::string& name) {
  // A fresh store each time: its roots follow the environment, which tests redirect.
  TRegValue value;
  if (!TRegistryStore().ReadValue(scope, keyPath, name, value)) return "";
  if (value.type != TRegType::String && value.type != TRegType::ExpandString) return "";
  return value.data;
}

}  // namespace

void SetRegistryProgramKey(const std::string& keyPath) { gProgramKey = keyPath; }

const std::string& RegistryProgramKey() { return gProgramKey; }

bool RegWriteString(bool machineWide, const std::string& name, const std::string& value) {
  gLastError.clear();
  if (gProgramKey.empty()) {
    gLastError = "no program key set";
    return false;
  }
  TRegistryStore store;
  if (!store.WriteString(machineWide ? TRegScope::Machine : TRegScope::User, gProgramKey, name,
                         value)) {
    gLastError = store.LastError();
    return false;
  }
  return true;
}

std::string RegReadString(bool machineWide, const std::string& name) {
  if (gProgramKey.empty()) return "";
  return ReadString(machineWide ? TRegScope::Machine : TRegScope::User, gProgramKey, name);
}

std::string RegReadKeyString(TRegRoot root, const std::string& keyPath, const std::string& name) {
  switch (root) {
    case TRegRoot::CurrentUser: return ReadString(TRegScope::User, keyPath, name);
    case TRegRoot::LocalMachine: return ReadString(TRegScope::Machine, keyPath, name);
    case TRegRoot::ClassesRoot: {
      const std::string classes = "Software/Classes/" + keyPath;
      TRegValue value;
      TRegistryStore store;
      for (TRegScope scope : {TRegScope::User, TRegScope::Machine}) {
        if (store.ReadValue(scope, classes, name, value))
          return (value.type == TRegType::Other) ? "" : value.data;
      }
      return "";
    }
  }
  return "";
}

std::string RegReadClassesRoot(const std::string& keyPath) {
  return RegReadKeyString(TRegRoot::ClassesRoot, keyPath, "");
}

const std::string& RegistryLastError() { return gLastError; }
