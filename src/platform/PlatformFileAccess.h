#pragma once
// Random access to shared binary files and the identity of a file as another workstation
// may have changed it. Every operation returns 0 on success or an errno value. Paths are
// program texts (1252), converted as in PlatformFiles.h.
//
// Reads and writes go through PfRead / PfWriteAll (PlatformFiles.h), so a TPfFaultScope
// reaches them too (TPfOp::Read, TPfOp::Write).

#include <cstddef>
#include <cstdint>
#include <string>

// What tells one version of a file from another: a replacement by rename gives a new inode,
// a write in place a new size or modification time. Compared as a whole.
struct TPfFileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeSeconds = 0;
  std::int64_t mtimeNanoseconds = 0;

  bool operator==(const TPfFileStamp&) const = default;
};

// The stamp of what the path leads to; a missing file is a stamp with exists false.
int PfFileStamp(const std::string& path, TPfFileStamp& stamp);
// The stamp of an open file: exactly the version that descriptor reads.
int PfFdStamp(int fd, TPfFileStamp& stamp);

// Opens a file for reading and writing, created empty (umask applies) when missing.
int PfOpenReadWrite(const std::string& path, bool create, int& fd);
// Reads exactly size bytes at offset; a file that ends before gives EIO (short).
int PfReadAt(int fd, std::int64_t offset, char* buffer, std::size_t size);
// Writes all bytes at offset (the file grows as needed).
int PfWriteAt(int fd, std::int64_t offset, const char* data, std::size_t size);

// Creates the folder and every missing folder above it (mode 0777, umask applies).
int PfMakeFolders(const std::string& folder);
