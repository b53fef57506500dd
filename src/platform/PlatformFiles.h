#pragma once
// Thin POSIX file operations for the file units above: durable writes, atomic replacement,
// hard links and removal that never follows a symbolic link. Every operation returns 0 on
// success or an errno value; nothing throws.
//
// Tests reach the failure paths through a fault hook (TPfFaultScope): before an operation
// touches the system it asks the hook, and a non-zero answer makes it fail with that errno.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class TPfOp {
  Open,          // PfOpenRead, PfCreateNew (path: the file)
  Read,          // PfRead (path: empty)
  Write,         // PfWriteAll (path: empty)
  Fsync,         // PfFsync (path: empty)
  FsyncFolder,   // PfFsyncFolder (path: the folder)
  Rename,        // PfRename (path: the source)
  Link,          // PfLink (path: the source)
  Unlink,        // PfUnlink (path: the file)
  Chmod,         // PfChmod (path: the file)
  RemoveTree,    // each removal inside PfRemoveTree (path: the entry)
  Truncate,      // PfTruncate (path: empty)
  MakeFolder,    // PfMakeFolder (path: the folder)
  RemoveFolder,  // PfRemoveFolder (path: the folder)
};

// The path is the program's (1252), as the caller gave it.
// Returns 0 to let the operation run, or the errno it shall fail with.
using TPfFaultHook = std::function<int(TPfOp op, const std::string& path)>;

// Installs a fault hook for its lifetime (restores the previous one afterwards).
class TPfFaultScope {
 public:
  explicit TPfFaultScope(TPfFaultHook hook);
  ~TPfFaultScope();
  TPfFaultScope(const TPfFaultScope&) = delete;
  TPfFaultScope& operator=(const TPfFaultScope&) = delete;

 private:
  TPfFaultHook previous_;
};

enum class TPfKind { Missing, File, Folder, Link, Other };

struct TPfInfo {
  TPfKind kind = TPfKind::Missing;
  std::int64_t size = 0;
  unsigned mode = 0;  // permission bits
  std::int64_t mtimeNs = 0;  // last write, nanoseconds since 1970
  std::uint64_t inode = 0;   // with mtimeNs and size: tells one version of a file from another
  std::int64_t ctimeNs = 0;  // last change of the file or its names (a new hard link counts)
};

// What the path itself is; a symbolic link is reported as Link, never followed.
int PfLstat(const std::string& path, TPfInfo& info);
// What the path leads to, following symbolic links.
int PfStat(const std::string& path, TPfInfo& info);

int PfOpenRead(const std::string& path, int& fd);
// Creates a new file (fails with EEXIST when one is there); mode as open(2), umask applies.
int PfCreateNew(const std::string& path, unsigned mode, int& fd);
// Opens an existing file for reading and appending: every write goes to the end.
int PfOpenAppend(const std::string& path, int& fd);
// Creates a new empty file folder + prefix + random + suffix and returns its name.
int PfCreateUnique(const std::string& folder, const std::string& prefix,
                   const std::string& suffix, std::string& name, int& fd);
// Reads up to size bytes; got 0 means end of file.
int PfRead(int fd, char* buffer, std::size_t size, std::size_t& got);
// Writes all bytes (repeats partial writes).
int PfWriteAll(int fd, const char* data, std::size_t size);
// Reads up to size bytes at offset without moving the file position; got 0 at the end.
int PfReadAt(int fd, char* buffer, std::size_t size, std::int64_t offset, std::size_t& got);
// Cuts (or extends) the file to size bytes.
int PfTruncate(int fd, std::int64_t size);
int PfFsync(int fd);
int PfFchmod(int fd, unsigned mode);
int PfClose(int fd);
int PfFstatSize(int fd, std::int64_t& size);

// Makes a rename or a new name inside the folder durable.
int PfFsyncFolder(const std::string& folder);
// Atomically replaces `to` (a file) with `from`.
int PfRename(const std::string& from, const std::string& to);
int PfLink(const std::string& from, const std::string& to);
// Removes the name; a symbolic link is removed itself, never its target.
int PfUnlink(const std::string& path);
int PfChmod(const std::string& path, unsigned mode);
// The path with symbolic links resolved.
int PfRealPath(const std::string& path, std::string& resolved);

struct TPfFolderEntry {
  std::string name;
  TPfKind kind = TPfKind::Other;  // of the entry itself (links are not followed)
  TPfKind target = TPfKind::Other;  // of what a link leads to; same as kind otherwise
  std::int64_t size = 0;  // of the file, or of a link's target file
};

// Every entry of the folder except "." and "..", in the order the system gives them.
int PfListFolder(const std::string& folder, std::vector<TPfFolderEntry>& entries);

// Creates one folder with `mode` (the umask applies); EEXIST when the name exists.
int PfMakeFolder(const std::string& folder, unsigned mode);
// Removes an empty folder (ENOTEMPTY or EEXIST when it holds something).
int PfRemoveFolder(const std::string& folder);

// Removes the folder and everything below it, deepest first. Symbolic links are removed as
// links; nothing outside the tree is touched, even when the root itself is a link (then
// nothing is removed and ENOTDIR is returned). A missing root is success. The run goes on
// past failures and returns the first one.
int PfRemoveTree(const std::string& folder);

// The system's folder for temporary files, without a trailing "/".
std::string PfTempFolder();
// Creates a new private folder (mode 0700) "<prefix>XXXXXX" in the temporary folder;
// `folder` gets its path with a trailing "/".
int PfCreateTempFolder(const std::string& prefix, std::string& folder);

// A relative path prefixed with the working folder; an absolute or empty one as it is.
// Empty when the working folder cannot be had.
std::string PfAbsolutePath(const std::string& path);

// For the other units of this layer that call the system themselves.
// The system's bytes for a program path: the UTF-8 form, except components that exist only
// in their legacy form. Costs a look-up per component that is not ASCII; meant for names
// that are created, renamed to or locked.
std::string PfOsPath(const std::string& path);
// Runs `call` (0 or an errno value) on the system's bytes of a path that should exist: the
// UTF-8 form, and only when that is not found, the legacy form, if there is one.
int PfWithOsPath(const std::string& path,
                 const std::function<int(const std::string& osPath)>& call);
