#include "platform/FileLock.h"

#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PlatformFiles.h"

namespace {

int OpenRetrying(const char* name, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(name, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The read and write bits a new file should carry: those the folder grants for writing.
// A file the creator alone could open for writing would lock every other user out for good.
// `fileName` is in the system's bytes.
mode_t ModeForNewFile(const std::string& fileName) {
  std::string::size_type slash = fileName.rfind('/');
  std::string folder = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return 0644;
  mode_t mode = S_IRUSR | S_IWUSR;
  if (st.st_mode & S_IWGRP) mode |= S_IRGRP | S_IWGRP;
  if (st.st_mode & S_IWOTH) mode |= S_IROTH | S_IWOTH;
  return mode;
}

}  // namespace

int OpenSharedFile(const std::string& osName, bool& created) {
  created = false;
  for (int round = 0; round < 3; ++round) {
    const mode_t wanted = ModeForNewFile(osName);
    int fd = OpenRetrying(osName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                          wanted);
    if (fd >= 0) {
      created = true;
      // The umask may have taken bits the folder grants; give them back.
      struct stat st {};
      if (::fstat(fd, &st) == 0 && (st.st_mode & 0777) != wanted) ::fchmod(fd, wanted);
      return fd;
    }
    if (errno != EEXIST) return -1;
    fd = OpenRetrying(osName.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY, 0);
    if (fd >= 0 || errno != ENOENT) return fd;
    // Deleted between the two opens: create it afresh.
  }
  errno = EAGAIN;
  return -1;
}

TFileLock::~TFileLock() { Unlock(); }

TFileLock::TFileLock(TFileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lastError_(other.lastError_) {}

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept {
  if (this != &other) {
    Unlock();
    fd_ = std::exchange(other.fd_, -1);
    lastError_ = other.lastError_;
  }
  return *this;
}

TFileLockResult TFileLock::TryLock(const std::string& fileName) {
  if (fd_ >= 0) return TFileLockResult::Locked;
  if (fileName.empty()) {
    lastError_ = ENOENT;
    return TFileLockResult::Failed;
  }
  // The name in the system's bytes (an existing file of the legacy spelling is the one
  // that is locked).
  const std::string osName = PfOsPath(fileName);
  // Another workstation may delete or replace the file between our open and our lock;
  // a lock on an unlinked file protects nothing, so such a hold is given up and retried.
  for (int round = 0; round < 3; ++round) {
    bool created = false;
    const int fd = OpenSharedFile(osName, created);
    if (fd < 0) {
      lastError_ = errno;
      return TFileLockResult::Failed;
    }

    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;  // the whole file, however long it grows
    fl.l_pid = 0;  // required for open-file-description locks
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
      int err = errno;
      ::close(fd);
      lastError_ = err;
      return (err == EAGAIN || err == EACCES) ? TFileLockResult::Busy : TFileLockResult::Failed;
    }

    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::stat(osName.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      fd_ = fd;
      lastError_ = 0;
      return TFileLockResult::Locked;
    }
    ::close(fd);
  }
  lastError_ = EAGAIN;
  return TFileLockResult::Busy;
}

void TFileLock::Unlock() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}
