#pragma once
// Byte-range holds on a shared file, for the small schemes the stations use to see each
// other: a running station marks itself alive, a waiting station marks that it waits. Each
// hold is an open-file-description lock (F_OFD_SETLK) on a range of the file, so
// - holds die with the process, however it dies, and are seen by other machines of the
//   share (NFS lock manager, SMB);
// - two objects conflict even inside one process, so one process can play two stations;
// - a range beyond the end of the file can be held: the file itself stays empty.
// The descriptor is close-on-exec. Use from one thread.

#include <cstdint>
#include <string>

class TRangeLockFile {
 public:
  TRangeLockFile() = default;
  ~TRangeLockFile();
  TRangeLockFile(const TRangeLockFile&) = delete;
  TRangeLockFile& operator=(const TRangeLockFile&) = delete;

  // Opens the file for reading and writing, creating it (empty, with the read and write
  // bits its folder grants) when missing. True when open; calling it again does nothing.
  bool Open(const std::string& fileName);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Takes (or changes to) a shared or exclusive hold on [offset, offset + length) without
  // waiting. False when another holder's lock conflicts or the lock cannot be had.
  bool TryHold(std::int64_t offset, std::int64_t length, bool exclusive);
  // Gives the range back. Harmless when nothing is held there.
  void Drop(std::int64_t offset, std::int64_t length);
  // True when some other holder holds a lock in the range that would conflict with an
  // exclusive (or, with exclusive false, a shared) hold. A file that is not open, or a
  // test that fails, counts as held: whoever asks must assume somebody is there.
  bool HeldByOther(std::int64_t offset, std::int64_t length, bool exclusive) const;

  // Draws the next number of a counter kept in the file's first four bytes (a missing or
  // short file counts from 0), under a hold of byte 0 that only lasts the draw. False when
  // the file cannot be read or written.
  bool DrawNumber(std::uint32_t& number);

 private:
  int fd_ = -1;
};

// Takes an exclusive hold on the whole file behind an open descriptor, for a file being
// written: while the writer lives, HeldByAnyone below sees it. False when it cannot.
bool HoldWholeFile(int fd);
// True when some process holds a lock on part of the file (or it cannot be told); false
// for a file nobody holds. A missing file is held by nobody.
bool FileHeldByAnyone(const std::string& fileName);
