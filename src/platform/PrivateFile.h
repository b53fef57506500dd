#pragma once
// Files that carry a secret from this program to a process it starts (the login handed to
// a second instance): readable and writable by this user alone, read once and removed by
// the reader. Command lines are no place for a secret: every local user can read them.
// Paths are program texts (1252), converted as in PlatformFiles.h. Every operation returns
// 0 on success or an errno value.

#include <cstddef>
#include <string>

// Creates a new file folder + prefix + random part + suffix with mode 0600 (created
// exclusively, so an existing name or symbolic link is never written through), writes
// `data` and returns its name. On failure no file is left behind.
int PfWritePrivateFile(const std::string& folder, const std::string& prefix,
                       const std::string& suffix, const std::string& data, std::string& name);

// Reads a file written by PfWritePrivateFile and removes it. Anything else is refused with
// EPERM and left in place: a symbolic link, no regular file, a file of another user, a file
// that others may read or write. A file above `maxSize` bytes is refused with EFBIG (and
// removed, being ours). When only the removal fails, `data` is filled and its errno returned.
int PfTakePrivateFile(const std::string& path, std::size_t maxSize, std::string& data);
