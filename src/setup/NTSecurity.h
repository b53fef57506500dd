#pragma once
// The folders the installer creates serve every account of the machine: whoever installed
// the program, any local user may create, change and delete what any other made there,
// also in files and folders that come into being later.
//
// The means is an access list for all local users rather than a group: not every system
// puts new accounts into one common group, while "others" always means every local
// account. A folder gets the mode 0777 (no sticky bit, so one user may delete another's
// file) and the default access list "u::rwx,g::rwx,o::rwx", which every file and folder
// made inside it inherits in place of the creator's umask: a program that creates its file
// with 0666 gives it read and write for all, a new folder again 0777 with the same default.

#include <string>

// Grants every local account full access to `folder` and to what is made in it later.
// True when the mode and the default access list were set (false on a file system
// without access lists: the mode is set all the same).
bool GrantUsersFullAccess(const std::string& folder);

// The folder's default access list in its short text form ("u::rwx,g::rwx,o::rwx"); empty
// when it has none or it cannot be read.
std::string DefaultAccessListText(const std::string& folder);
