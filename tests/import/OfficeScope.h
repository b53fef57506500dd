#pragma once
// The office program as the tests ask for it, not as this machine has it: no registry
// entry, and on PATH either nothing or a stand-in "soffice" (a shell script) with the
// suite's spreadsheet part beside it. The lookup is forgotten on entry and on exit.

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "basic/OfficeLookup.h"
#include "support/RegistryTestRoot.h"
#include "support/TestSupport.h"

class TOfficeScope {
 public:
  // `script`: the stand-in's text; nullptr for no office program at all.
  explicit TOfficeScope(const char* script) {
    if (const char* p = std::getenv("PATH")) oldPath_ = p;
    std::string path = bin_.Path().string();
    if (script) {
      WriteAllBytes(bin_.File("soffice"), script);
      chmod(bin_.File("soffice").c_str(), 0755);
      WriteAllBytes(bin_.File("libsclo.so"), "");
      path += ":" + oldPath_;  // the stand-in's own tools (cp, sleep, ...)
    }
    setenv("PATH", path.c_str(), 1);
    ResetOfficeLookup();
  }
  ~TOfficeScope() {
    setenv("PATH", oldPath_.c_str(), 1);
    ResetOfficeLookup();
  }
  TOfficeScope(const TOfficeScope&) = delete;
  TOfficeScope& operator=(const TOfficeScope&) = delete;

  // The folder of the stand-in (where it may leave notes).
  std::string Folder() const { return bin_.Dir(); }

 private:
  TRegistryTestRoot registry_;
  TTempDir bin_;
  std::string oldPath_;
};
