#pragma once
// Whole-file reading and replacement for small shared files that several workstations
// read at any moment. A replacement never exposes a half-written file: the new bytes go to
// a temporary file in the same folder, reach the disk, and are then renamed over the old
// file in one step, so a reader sees either the old or the new text, and a crash (of the
// program, the machine or the network) leaves one of the two complete.

#include <string>

enum class TReadFileResult { Ok, Missing, Error };

// The whole file as bytes. Missing when there is no such file; Error (and empty bytes) when
// it exists but cannot be read completely.
TReadFileResult ReadWholeFile(const std::string& fileName, std::string& bytes);

// Replaces the file's content by `bytes` as described above. An existing file keeps its
// permission bits; a new one gets the read and write bits its folder grants for writing.
// False when the file could not be replaced: then the old file is unchanged and no
// temporary file is left behind.
bool ReplaceWholeFile(const std::string& fileName, const std::string& bytes);
