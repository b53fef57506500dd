#include "platform/WholeFile.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& fileName) {
  std::string::size_type slash = fileName.rfind('/');
  return slash == std::string::npos ? std::string("./") : fileName.substr(0, slash + 1);
}

std::string NameOf(const std::string& fileName) {
  std::string::size_type slash = fileName.rfind('/');
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

int FsyncRetrying(int fd) {
  int rc;
  do {
    rc = ::fsync(fd);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

TReadFileResult ReadWholeFile(const std::string& fileName, std::string& bytes) {
  bytes.clear();
  int fd;
  do {
    fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == ENOENT ? TReadFileResult::Missing : TReadFileResult::Error;
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      bytes.clear();
      return TReadFileResult::Error;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return TReadFileResult::Ok;
}

bool ReplaceWholeFile(const std::string& fileName, const std::string& bytes) {
  if (fileName.empty()) return false;
  const std::string folder = FolderOf(fileName);

  mode_t mode;
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  } else {
    mode = S_IRUSR | S_IWUSR;
    struct stat fst {};
    if (::stat(folder.c_str(), &fst) == 0) {
      if (fst.st_mode & S_IWGRP) mode |= S_IRGRP | S_IWGRP;
      if (fst.st_mode & S_IWOTH) mode |= S_IROTH | S_IWOTH;
    }
  }

  // "~" marks the program's temporary files; backups and listings skip them.
  std::string temp = folder + "~" + NameOf(fileName) + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && FsyncRetrying(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), fileName.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the new text is already complete either way.
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    FsyncRetrying(dir);
    ::close(dir);
  }
  return true;
}
