#include "setup/NTSecurity.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>

#include "platform/OsText.h"

namespace {

constexpr const char* kEveryoneFullAccess = "u::rwx,g::rwx,o::rwx";

}  // namespace

bool GrantUsersFullAccess(const std::string& folder) {
  const std::string path = AnsiToOs(folder);
  // Explicitly, not through the umask: mkdir's mode is cut by it.
  if (::chmod(path.c_str(), 0777) != 0) return false;
  acl_t acl = acl_from_text(kEveryoneFullAccess);
  if (!acl) return false;
  const bool ok = acl_set_file(path.c_str(), ACL_TYPE_DEFAULT, acl) == 0;
  acl_free(acl);
  return ok;
}

std::string DefaultAccessListText(const std::string& folder) {
  acl_t acl = acl_get_file(AnsiToOs(folder).c_str(), ACL_TYPE_DEFAULT);
  if (!acl) return "";
  std::string text;
  if (char* t = acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE)) {
    text = t;
    acl_free(t);
  }
  acl_free(acl);
  return text;
}
