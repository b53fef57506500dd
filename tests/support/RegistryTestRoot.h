#pragma once
// Points the registry store at a temporary folder for the lifetime of the object.

#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

class TRegistryTestRoot {
 public:
  TRegistryTestRoot() {
    if (const char* old = std::getenv("TESSARO_REGISTRY_ROOT")) {
      hadOld_ = true;
      old_ = old;
    }
    setenv("TESSARO_REGISTRY_ROOT", dir_.Path().c_str(), 1);
  }
  ~TRegistryTestRoot() {
    if (hadOld_)
      setenv("TESSARO_REGISTRY_ROOT", old_.c_str(), 1);
    else
      unsetenv("TESSARO_REGISTRY_ROOT");
  }
  TRegistryTestRoot(const TRegistryTestRoot&) = delete;
  TRegistryTestRoot& operator=(const TRegistryTestRoot&) = delete;

  const TTempDir& Dir() const { return dir_; }
  std::string UserRoot() const { return dir_.Dir() + "user/"; }
  std::string MachineRoot() const { return dir_.Dir() + "machine/"; }

 private:
  TTempDir dir_;
  bool hadOld_ = false;
  std::string old_;
};
