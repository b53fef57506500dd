#include "platform/PlatformFiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/OsText.h"

namespace {

std::mutex gHookMutex;
TPfFaultHook gHook;

int Fault(TPfOp op, const std::string& path) {
  TPfFaultHook hook;
  {
    std::lock_guard<std::mutex> lock(gHookMutex);
    if (!gHook) return 0;
    hook = gHook;  // called unlocked, so a hook may use these operations itself
  }
  return hook(op, path);
}

int Err() { return errno != 0 ? errno : EIO; }

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

bool Exists(const std::string& osPath) {
  struct stat st;
  return ::lstat(osPath.c_str(), &st) == 0;
}

// The system's bytes for a program path, component by component: a component's UTF-8 form
// where that exists, else its bytes as they are where those exist (a name some program wrote
// in 1252, which the listings hand over unchanged), else the UTF-8 form, which is also taken
// for everything below a component that exists in neither form. `legacy` tells whether any
// component kept its bytes.
std::string WalkOsPath(const std::string& path, bool& legacy) {
  legacy = false;
  std::string os;
  os.reserve(path.size() + path.size() / 4);
  bool searching = true;
  std::size_t pos = 0;
  for (;;) {
    std::size_t slash = path.find('/', pos);
    std::size_t end = slash == std::string::npos ? path.size() : slash;
    std::string part = path.substr(pos, end - pos);
    if (searching && !IsAscii(part)) {
      std::string utf8 = AnsiToOs(part);
      if (Exists(os + utf8)) {
        os += utf8;
      } else if (Exists(os + part)) {
        os += part;
        legacy = true;
      } else {
        os += utf8;
        searching = false;
      }
    } else {
      os += AnsiToOs(part);
    }
    if (slash == std::string::npos) break;
    os += '/';
    pos = slash + 1;
  }
  return os;
}

// Runs a system call on a path that is expected to exist: first on the path's UTF-8 form,
// and only when that is not found on the form WalkOsPath gives, if any component differs.
// `call` returns 0 or an errno value.
template <class Call>
int OnExisting(const std::string& path, Call&& call) {
  std::string os = AnsiToOs(path);
  int e = call(os);
  if (e == ENOENT && os != path) {
    bool legacy = false;
    std::string walked = WalkOsPath(path, legacy);
    if (legacy) e = call(walked);
  }
  return e;
}

TPfKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return TPfKind::File;
  if (S_ISDIR(mode)) return TPfKind::Folder;
  if (S_ISLNK(mode)) return TPfKind::Link;
  return TPfKind::Other;
}

void FillInfo(const struct stat& st, TPfInfo& info) {
  info.kind = KindOf(st.st_mode);
  info.size = static_cast<std::int64_t>(st.st_size);
  info.mode = static_cast<unsigned>(st.st_mode & 07777);
  info.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  info.inode = static_cast<std::uint64_t>(st.st_ino);
  info.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

int StatWith(const std::string& path, TPfInfo& info, bool follow) {
  info = TPfInfo{};
  struct stat st;
  int e = OnExisting(path, [&](const std::string& os) {
    int rc = follow ? ::stat(os.c_str(), &st) : ::lstat(os.c_str(), &st);
    return rc == 0 ? 0 : Err();
  });
  if (e != 0) return (e == ENOENT || e == ENOTDIR) ? 0 : e;  // Missing is an answer, not a failure
  FillInfo(st, info);
  return 0;
}

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string RandomPart() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 gen;
  thread_local pid_t seededIn = 0;
  // A forked child inherits the state: seeded again in each process, or parent and
  // children would try the same names one after the other.
  if (const pid_t pid = ::getpid(); pid != seededIn) {
    gen.seed(std::random_device{}() ^ static_cast<unsigned>(pid));
    seededIn = pid;
  }
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kChars)) - 2);
  std::string s(8, 'x');
  for (char& c : s) c = kChars[pick(gen)];
  return s;
}

// Names of a folder's entries except "." and ".."; read completely before anything is removed.
int ReadNames(int dirfd, std::vector<std::string>& names) {
  int copy = ::dup(dirfd);
  if (copy < 0) return Err();
  DIR* dir = ::fdopendir(copy);
  if (!dir) {
    int e = Err();
    ::close(copy);
    return e;
  }
  errno = 0;
  // The names stay in the system's bytes: they are used with the folder's descriptor.
  while (struct dirent* ent = ::readdir(dir)) {
    std::string name = ent->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  int e = errno;
  ::closedir(dir);
  return e;
}

// Removes one entry of an open folder; a write-protected folder is made writable once.
int RemoveAt(int dirfd, const std::string& name, const std::string& path, bool folder) {
  if (int f = Fault(TPfOp::RemoveTree, path)) return f;
  int flags = folder ? AT_REMOVEDIR : 0;
  if (::unlinkat(dirfd, name.c_str(), flags) == 0) return 0;
  int e = Err();
  struct stat st;
  if ((e == EACCES || e == EPERM) && ::fstat(dirfd, &st) == 0 &&
      (st.st_mode & (S_IWUSR | S_IXUSR)) != (S_IWUSR | S_IXUSR) &&
      ::fchmod(dirfd, (st.st_mode & 07777) | S_IWUSR | S_IXUSR) == 0 &&
      ::unlinkat(dirfd, name.c_str(), flags) == 0) {
    return 0;
  }
  return e;
}

// `path` is the folder's program path (what the fault hook is told); the names are the
// system's.
int RemoveContents(int dirfd, const std::string& path) {
  std::vector<std::string> names;
  int first = ReadNames(dirfd, names);
  for (const std::string& name : names) {
    std::string child = path + "/" + OsToAnsi(name);
    struct stat st;
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT && first == 0) first = Err();
      continue;
    }
    int e = 0;
    if (S_ISDIR(st.st_mode)) {
      // O_NOFOLLOW: should the entry have been swapped for a link meanwhile, open fails
      // instead of walking out of the tree.
      int sub = ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) {
        e = Err();
      } else {
        e = RemoveContents(sub, child);
        ::close(sub);
        int r = RemoveAt(dirfd, name, child, true);
        if (e == 0) e = r;
      }
    } else {
      e = RemoveAt(dirfd, name, child, false);
    }
    if (e != 0 && first == 0) first = e;
  }
  return first;
}

}  // namespace

TPfFaultScope::TPfFaultScope(TPfFaultHook hook) {
  std::lock_guard<std::mutex> lock(gHookMutex);
  previous_ = std::move(gHook);
  gHook = std::move(hook);
}

TPfFaultScope::~TPfFaultScope() {
  std::lock_guard<std::mutex> lock(gHookMutex);
  gHook = std::move(previous_);
}

int PfLstat(const std::string& path, TPfInfo& info) { return StatWith(path, info, false); }
int PfStat(const std::string& path, TPfInfo& info) { return StatWith(path, info, true); }

int PfOpenRead(const std::string& path, int& fd) {
  fd = -1;
  if (int f = Fault(TPfOp::Open, path)) return f;
  return OnExisting(path, [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? Err() : 0;
  });
}

int PfCreateNew(const std::string& path, unsigned mode, int& fd) {
  fd = -1;
  if (int f = Fault(TPfOp::Open, path)) return f;
  fd = ::open(PfOsPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
              static_cast<mode_t>(mode));
  return fd < 0 ? Err() : 0;
}

int PfOpenAppend(const std::string& path, int& fd) {
  fd = -1;
  if (int f = Fault(TPfOp::Open, path)) return f;
  return OnExisting(path, [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    return fd < 0 ? Err() : 0;
  });
}

int PfCreateUnique(const std::string& folder, const std::string& prefix,
                   const std::string& suffix, std::string& name, int& fd) {
  name.clear();
  fd = -1;
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base + prefix + RandomPart() + suffix;
    int e = PfCreateNew(candidate, 0666, fd);
    if (e == 0) {
      name = candidate;
      return 0;
    }
    if (e != EEXIST) return e;
  }
  return EEXIST;
}

int PfRead(int fd, char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  if (int f = Fault(TPfOp::Read, std::string())) return f;
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return Err();
  }
}

int PfReadAt(int fd, char* buffer, std::size_t size, std::int64_t offset, std::size_t& got) {
  got = 0;
  if (int f = Fault(TPfOp::Read, std::string())) return f;
  for (;;) {
    ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return Err();
  }
}

int PfTruncate(int fd, std::int64_t size) {
  if (int f = Fault(TPfOp::Truncate, std::string())) return f;
  for (;;) {
    if (::ftruncate(fd, static_cast<off_t>(size)) == 0) return 0;
    if (errno != EINTR) return Err();
  }
}

int PfWriteAll(int fd, const char* data, std::size_t size) {
  if (int f = Fault(TPfOp::Write, std::string())) return f;
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Err();
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int PfFsync(int fd) {
  if (int f = Fault(TPfOp::Fsync, std::string())) return f;
  return ::fsync(fd) == 0 ? 0 : Err();
}

int PfFchmod(int fd, unsigned mode) {
  if (int f = Fault(TPfOp::Chmod, std::string())) return f;
  return ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : Err();
}

int PfClose(int fd) {
  if (fd < 0) return 0;
  // Linux releases the descriptor even when close reports an error; never retry.
  return ::close(fd) == 0 ? 0 : Err();
}

int PfFstatSize(int fd, std::int64_t& size) {
  size = 0;
  struct stat st;
  if (::fstat(fd, &st) != 0) return Err();
  if (S_ISDIR(st.st_mode)) return EISDIR;
  size = static_cast<std::int64_t>(st.st_size);
  return 0;
}

int PfFsyncFolder(const std::string& folder) {
  std::string path = folder.empty() ? std::string(".") : folder;
  if (int f = Fault(TPfOp::FsyncFolder, path)) return f;
  int fd = -1;
  int e = OnExisting(path, [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? Err() : 0;
  });
  if (e != 0) return e;
  e = ::fsync(fd) == 0 ? 0 : Err();
  ::close(fd);
  // Some file systems (network shares among them) cannot sync a folder at all; that is
  // no failure of ours.
  if (e == EINVAL || e == ENOTSUP || e == EROFS) e = 0;
  return e;
}

int PfRename(const std::string& from, const std::string& to) {
  if (int f = Fault(TPfOp::Rename, from)) return f;
  // The new name takes the place of a file that exists under its legacy spelling, rather
  // than appearing beside it.
  const std::string osTo = PfOsPath(to);
  return OnExisting(from, [&](const std::string& os) {
    return ::rename(os.c_str(), osTo.c_str()) == 0 ? 0 : Err();
  });
}

int PfLink(const std::string& from, const std::string& to) {
  if (int f = Fault(TPfOp::Link, from)) return f;
  const std::string osTo = PfOsPath(to);
  return OnExisting(from, [&](const std::string& os) {
    return ::link(os.c_str(), osTo.c_str()) == 0 ? 0 : Err();
  });
}

int PfUnlink(const std::string& path) {
  if (int f = Fault(TPfOp::Unlink, path)) return f;
  return OnExisting(path, [&](const std::string& os) {
    return ::unlink(os.c_str()) == 0 ? 0 : Err();
  });
}

int PfChmod(const std::string& path, unsigned mode) {
  if (int f = Fault(TPfOp::Chmod, path)) return f;
  return OnExisting(path, [&](const std::string& os) {
    return ::chmod(os.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : Err();
  });
}

int PfRealPath(const std::string& path, std::string& resolved) {
  resolved.clear();
  return OnExisting(path, [&](const std::string& os) {
    char* r = ::realpath(os.c_str(), nullptr);
    if (!r) return Err();
    resolved = OsToAnsi(r);
    std::free(r);
    return 0;
  });
}

int PfListFolder(const std::string& folder, std::vector<TPfFolderEntry>& entries) {
  std::string path = folder.empty() ? std::string(".") : StripTrailingSlashes(folder);
  int fd = -1;
  int e = OnExisting(path, [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? Err() : 0;
  });
  if (e != 0) return e;
  std::vector<std::string> names;
  e = ReadNames(fd, names);
  for (const std::string& name : names) {
    TPfFolderEntry entry;
    entry.name = OsToAnsi(name);
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    entry.kind = entry.target = KindOf(st.st_mode);
    entry.size = static_cast<std::int64_t>(st.st_size);
    if (entry.kind == TPfKind::Link) {
      if (::fstatat(fd, name.c_str(), &st, 0) == 0) {
        entry.target = KindOf(st.st_mode);
        entry.size = static_cast<std::int64_t>(st.st_size);
      } else {
        entry.target = TPfKind::Missing;
        entry.size = 0;
      }
    }
    entries.push_back(std::move(entry));
  }
  ::close(fd);
  return e;
}

int PfMakeFolder(const std::string& folder, unsigned mode) {
  const std::string path = StripTrailingSlashes(folder);
  if (int f = Fault(TPfOp::MakeFolder, path)) return f;
  return ::mkdir(PfOsPath(path).c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : Err();
}

int PfRemoveFolder(const std::string& folder) {
  const std::string path = StripTrailingSlashes(folder);
  if (int f = Fault(TPfOp::RemoveFolder, path)) return f;
  return OnExisting(path, [&](const std::string& os) {
    return ::rmdir(os.c_str()) == 0 ? 0 : Err();
  });
}

int PfRemoveTree(const std::string& folder) {
  std::string path = StripTrailingSlashes(folder);
  if (path.empty() || path == "/") return EINVAL;
  int fd = -1;
  std::string osPath;
  int e = OnExisting(path, [&](const std::string& os) {
    fd = ::open(os.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Err();
    osPath = os;
    return 0;
  });
  if (e != 0) {
    if (e == ENOENT) return 0;
    return e == ELOOP ? ENOTDIR : e;
  }
  int first = RemoveContents(fd, path);
  ::close(fd);
  if (int f = Fault(TPfOp::RemoveTree, path)) return first ? first : f;
  if (::rmdir(osPath.c_str()) != 0 && first == 0) first = Err();
  return first;
}

std::string PfTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string path = (env && *env) ? OsToAnsi(env) : "/tmp";
  return StripTrailingSlashes(path);
}

int PfCreateTempFolder(const std::string& prefix, std::string& folder) {
  folder.clear();
  std::string pattern = PfOsPath(PfTempFolder() + "/" + prefix) + "XXXXXX";
  if (!mkdtemp(pattern.data())) return errno;
  folder = OsToAnsi(pattern) + "/";
  return 0;
}

int PfWithOsPath(const std::string& path,
                 const std::function<int(const std::string& osPath)>& call) {
  return OnExisting(path, call);
}

std::string PfOsPath(const std::string& path) {
  if (IsAscii(path)) return path;
  bool legacy = false;
  return WalkOsPath(path, legacy);
}

std::string PfAbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::string buffer(256, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() >= 65536) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  std::string cwd = OsToAnsi(buffer.c_str());
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + path;
}
