#include "platform/PlatformFileAccess.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PlatformFiles.h"

namespace {

int Err() { return errno != 0 ? errno : EIO; }

int SeekTo(int fd, std::int64_t offset) {
  if (offset < 0) return EINVAL;
  return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? Err() : 0;
}

void FillStamp(const struct stat& st, TPfFileStamp& stamp) {
  stamp.exists = true;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.mtimeSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  stamp.mtimeNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
}

}  // namespace

int PfFileStamp(const std::string& path, TPfFileStamp& stamp) {
  stamp = TPfFileStamp{};
  struct stat st;
  int e = PfWithOsPath(path, [&](const std::string& os) {
    return ::stat(os.c_str(), &st) == 0 ? 0 : Err();
  });
  if (e != 0) return (e == ENOENT || e == ENOTDIR) ? 0 : e;
  FillStamp(st, stamp);
  return 0;
}

int PfFdStamp(int fd, TPfFileStamp& stamp) {
  stamp = TPfFileStamp{};
  struct stat st;
  if (::fstat(fd, &st) != 0) return Err();
  FillStamp(st, stamp);
  return 0;
}

int PfOpenReadWrite(const std::string& path, bool create, int& fd) {
  auto tryOpen = [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    return fd < 0 ? Err() : 0;
  };
  // A file that may be created is looked up first, so that one of the legacy spelling is
  // opened rather than a second one made beside it.
  if (int e = create ? tryOpen(PfOsPath(path)) : PfWithOsPath(path, tryOpen)) return e;
  struct stat st;
  int e = ::fstat(fd, &st) != 0 ? Err() : S_ISDIR(st.st_mode) ? EISDIR
                                          : !S_ISREG(st.st_mode) ? EINVAL : 0;
  if (e != 0) {
    ::close(fd);
    fd = -1;
  }
  return e;
}

int PfReadAt(int fd, std::int64_t offset, char* buffer, std::size_t size) {
  if (int e = SeekTo(fd, offset)) return e;
  std::size_t done = 0;
  while (done < size) {
    std::size_t got = 0;
    if (int e = PfRead(fd, buffer + done, size - done, got)) return e;
    if (got == 0) return EIO;
    done += got;
  }
  return 0;
}

int PfWriteAt(int fd, std::int64_t offset, const char* data, std::size_t size) {
  if (int e = SeekTo(fd, offset)) return e;
  return PfWriteAll(fd, data, size);
}

int PfMakeFolders(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return 0;
  TPfInfo info;
  if (int e = PfStat(path, info)) return e;
  if (info.kind != TPfKind::Missing) return info.kind == TPfKind::Folder ? 0 : ENOTDIR;
  const std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (int e = PfMakeFolders(path.substr(0, slash))) return e;
  }
  if (::mkdir(PfOsPath(path).c_str(), 0777) != 0 && errno != EEXIST) return Err();
  return 0;
}
