#include "platform/RangeLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/PlatformFiles.h"

namespace {

struct flock Range(short type, std::int64_t offset, std::int64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = length;
  fl.l_pid = 0;  // required for open-file-description locks
  return fl;
}

int SetLock(int fd, struct flock& fl) {
  int rc;
  do {
    rc = ::fcntl(fd, F_OFD_SETLK, &fl);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

TRangeLockFile::~TRangeLockFile() { Close(); }

bool TRangeLockFile::Open(const std::string& fileName) {
  if (fd_ >= 0) return true;
  if (fileName.empty()) return false;
  bool created = false;
  fd_ = OpenSharedFile(PfOsPath(fileName), created);
  return fd_ >= 0;
}

void TRangeLockFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TRangeLockFile::TryHold(std::int64_t offset, std::int64_t length, bool exclusive) {
  if (fd_ < 0) return false;
  struct flock fl = Range(exclusive ? F_WRLCK : F_RDLCK, offset, length);
  return SetLock(fd_, fl) == 0;
}

void TRangeLockFile::Drop(std::int64_t offset, std::int64_t length) {
  if (fd_ < 0) return;
  struct flock fl = Range(F_UNLCK, offset, length);
  SetLock(fd_, fl);
}

bool TRangeLockFile::HeldByOther(std::int64_t offset, std::int64_t length,
                                 bool exclusive) const {
  if (fd_ < 0) return true;
  struct flock fl = Range(exclusive ? F_WRLCK : F_RDLCK, offset, length);
  if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return true;
  return fl.l_type != F_UNLCK;
}

bool TRangeLockFile::DrawNumber(std::uint32_t& number) {
  number = 0;
  if (fd_ < 0) return false;
  struct flock fl = Range(F_WRLCK, 0, 1);
  int rc;
  do {
    rc = ::fcntl(fd_, F_OFD_SETLKW, &fl);  // held for a read and a write only
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  unsigned char bytes[4] = {0, 0, 0, 0};
  const ssize_t got = ::pread(fd_, bytes, sizeof bytes, 0);
  bool ok = got >= 0;
  if (ok && got == static_cast<ssize_t>(sizeof bytes))
    number = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
  if (ok) {
    const std::uint32_t next = number + 1;
    const unsigned char out[4] = {static_cast<unsigned char>(next), static_cast<unsigned char>(next >> 8),
                                  static_cast<unsigned char>(next >> 16),
                                  static_cast<unsigned char>(next >> 24)};
    ok = ::pwrite(fd_, out, sizeof out, 0) == static_cast<ssize_t>(sizeof out);
  }
  fl = Range(F_UNLCK, 0, 1);
  SetLock(fd_, fl);
  return ok;
}

bool HoldWholeFile(int fd) {
  struct flock fl = Range(F_WRLCK, 0, 0);
  return SetLock(fd, fl) == 0;
}

bool FileHeldByAnyone(const std::string& fileName) {
  const std::string osName = PfOsPath(fileName);
  int fd;
  do {
    fd = ::open(osName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno != ENOENT;
  // A shared test conflicts with any exclusive hold, which is what a writer takes.
  struct flock fl = Range(F_RDLCK, 0, 0);
  const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type != F_UNLCK;
  ::close(fd);
  return held;
}
