#include "platform/PrivateFile.h"

#include <cerrno>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PlatformFiles.h"

namespace {

// Upper case and digits only: the name lands on a command line, where no field key (they
// are lower case) shall ever show up by chance.
std::string RandomName() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device device;
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kChars)) - 2);
  std::string s(16, 'x');
  for (char& c : s) c = kChars[pick(device)];
  return s;
}

}  // namespace

int PfWritePrivateFile(const std::string& folder, const std::string& prefix,
                       const std::string& suffix, const std::string& data, std::string& name) {
  name.clear();
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base + prefix + RandomName() + suffix;
    int fd = -1;
    int e = PfCreateNew(candidate, 0600, fd);
    if (e == EEXIST) continue;
    if (e != 0) return e;
    e = PfFchmod(fd, 0600);
    if (e == 0) e = PfWriteAll(fd, data.data(), data.size());
    int closed = PfClose(fd);
    if (e == 0) e = closed;
    if (e != 0) {
      PfUnlink(candidate);
      return e;
    }
    name = candidate;
    return 0;
  }
  return EEXIST;
}

int PfTakePrivateFile(const std::string& path, std::size_t maxSize, std::string& data) {
  data.clear();
  // O_NOFOLLOW: a link planted under the name is refused, not followed.
  int fd = -1;
  int e = PfWithOsPath(path, [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    return fd < 0 ? (errno == ELOOP ? EPERM : (errno ? errno : EIO)) : 0;
  });
  if (e != 0) return e;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    e = errno ? errno : EIO;
    PfClose(fd);
    return e;
  }
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    PfClose(fd);
    return EPERM;
  }
  if (static_cast<unsigned long long>(st.st_size) > maxSize) {
    PfClose(fd);
    PfUnlink(path);
    return EFBIG;
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    std::size_t got = 0;
    e = PfRead(fd, buffer, sizeof buffer, got);
    if (e != 0 || got == 0) break;
    text.append(buffer, got);
    if (text.size() > maxSize) {
      e = EFBIG;
      break;
    }
  }
  PfClose(fd);
  // Used once, whatever came of the reading: the secret does not stay on disk.
  int removed = PfUnlink(path);
  if (e != 0) return e;
  data = std::move(text);
  return removed;
}
