#include "platform/RangeLock.h"

#include <cerrno>

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

// The read and write bits the folder grants for writing: a file only its creator could
// open would shut every other user out of the scheme.
mode_t ModeForNewFile(const std::string& osName) {
  const std::string::size_type slash = osName.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : osName.substr(0, slash + 1);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return 0644;
  mode_t mode = S_IRUSR | S_IWUSR;
  if (st.st_mode & S_IWGRP) mode |= S_IRGRP | S_IWGRP;
  if (st.st_mode & S_IWOTH) mode |= S_IROTH | S_IWOTH;
  return mode;
}

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
  const std::string osName = PfOsPath(fileName);
  const mode_t mode = ModeForNewFile(osName);
  int fd = OpenRetrying(osName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, mode);
  if (fd < 0) return false;
  struct stat st {};
  // The umask may have taken bits the folder grants; give them back (only our own file).
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0777) != mode &&
      st.st_size == 0)
    ::fchmod(fd, mode);
  fd_ = fd;
  return true;
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
  int fd = OpenRetrying(osName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
  if (fd < 0) return errno != ENOENT;
  // A shared test conflicts with any exclusive hold, which is what a writer takes.
  struct flock fl = Range(F_RDLCK, 0, 0);
  const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type != F_UNLCK;
  ::close(fd);
  return held;
}
