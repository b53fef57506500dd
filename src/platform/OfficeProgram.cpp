#include "platform/OfficeProgram.h"

#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/OsText.h"

namespace {

std::mutex& Mutex() {
  static std::mutex m;
  return m;
}

std::optional<std::string>& Override() {
  static std::optional<std::string> path;
  return path;
}

bool IsExecutableFile(const std::string& osPath) {
  struct stat st {};
  return stat(osPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(osPath.c_str(), X_OK) == 0;
}

std::string LookUp() {
  if (const char* env = std::getenv("PATH")) {
    std::string path = env;
    size_t start = 0;
    for (;;) {
      const size_t end = path.find(':', start);
      std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!dir.empty()) {
        if (dir.back() != '/') dir += '/';
        for (const char* name : {"soffice", "libreoffice"})
          if (IsExecutableFile(dir + name)) return OsToAnsi(dir + name);
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  for (const char* pattern : {"/usr/lib/libreoffice/program/soffice",
                              "/opt/libreoffice*/program/soffice"}) {
    glob_t found{};
    if (glob(pattern, 0, nullptr, &found) == 0) {
      for (size_t i = found.gl_pathc; i-- > 0;)  // the newest version sorts last
        if (IsExecutableFile(found.gl_pathv[i])) {
          std::string result = OsToAnsi(found.gl_pathv[i]);
          globfree(&found);
          return result;
        }
    }
    globfree(&found);
  }
  return std::string();
}

}  // namespace

std::string OfficeProgramPath() {
  std::lock_guard<std::mutex> lock(Mutex());
  if (Override()) return *Override();
  static const std::string found = LookUp();
  return found;
}

void SetOfficeProgramPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(Mutex());
  Override() = path;
}

void ResetOfficeProgramPath() {
  std::lock_guard<std::mutex> lock(Mutex());
  Override().reset();
}
