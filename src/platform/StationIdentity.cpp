#include "platform/StationIdentity.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/OsText.h"

std::string CurrentLoginName() {
  const uid_t uid = ::geteuid();
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_name && found->pw_name[0]) {
    return OsToAnsi(found->pw_name);
  }
  for (const char* var : {"USER", "LOGNAME"}) {
    const char* value = std::getenv(var);
    if (value && value[0]) return OsToAnsi(value);
  }
  return "uid" + std::to_string(uid);
}

std::string CurrentHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return std::string();
  return OsToAnsi(name);
}
