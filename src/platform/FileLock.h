#pragma once
// An exclusive hold on a file that other workstations respect: our stand-in for opening a
// file without sharing. The hold is a write lock on the whole file taken through an open
// file description (F_OFD_SETLK), which gives exactly the semantics the program relies on:
// - two holders conflict even inside one process, as long as each opened the file itself,
//   so one process can play two workstations;
// - the kernel drops the lock when the holder closes the file or dies, however it dies;
// - the lock is seen by other machines on NFS (through its lock manager) and SMB mounts.
// The descriptor is opened close-on-exec, so a started program never inherits the hold.
// A process that forks while holding shares the hold with its child; don't.

#include <string>

// Opens a file that every user who may write in its folder shares, for reading and writing
// (close-on-exec, never truncated); a missing one is created with the read and write bits
// the folder grants for writing. `osName` is in the system's bytes. The descriptor, or -1
// with errno set; `created` tells whether this call made the file.
int OpenSharedFile(const std::string& osName, bool& created);

enum class TFileLockResult {
  Locked,  // this object holds the file now
  Busy,    // somebody else holds it
  Failed,  // the file could not be opened or locked at all (see LastError)
};

class TFileLock {
 public:
  TFileLock() = default;
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  TFileLock(TFileLock&& other) noexcept;
  TFileLock& operator=(TFileLock&& other) noexcept;

  // Opens the file for reading and writing, creating it when missing and never truncating
  // it, and takes the lock without waiting. A new file gets the read and write bits of its
  // folder, so every user who may write in the folder can take the lock later.
  // Calling it while already holding a file returns Locked and changes nothing.
  TFileLockResult TryLock(const std::string& fileName);
  // Closes the file, which ends the hold. Harmless when nothing is held.
  void Unlock();

  bool Locked() const { return fd_ >= 0; }
  // The open descriptor, -1 when nothing is held.
  int Handle() const { return fd_; }
  // errno of the last Busy or Failed result, 0 after success.
  int LastError() const { return lastError_; }

 private:
  int fd_ = -1;
  int lastError_ = 0;
};
