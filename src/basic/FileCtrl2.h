#pragma once
// Line-oriented text files, the safe replacement of a file, file listing, path helpers and
// recursive deletion. A text file is a list of lines of 1252 bytes, each ended by CR LF on
// disk; in memory the lines carry no line ends. Nothing here shows a message or throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// LoadTextFile results.
constexpr int ltfRead = 0;
constexpr int ltfMissing = 1;
constexpr int ltfReadError = 2;

// Splits bytes into lines: CR LF, a lone CR and a lone LF each end one line. Text after the
// last line end becomes a last line. A 0x1A byte is data like any other, except as the very
// last byte of the input, where it is the old end-of-file mark and is dropped.
// Bytes may arrive in pieces of any size (a CR LF may be split between two pieces).
class TTextLineSplitter {
 public:
  explicit TTextLineSplitter(std::vector<std::string>& lines) : lines_(lines) {}
  void Feed(const char* data, std::size_t size);
  // Ends the input: the pending partial line, if any, becomes the last line.
  void Finish();

 private:
  std::vector<std::string>& lines_;
  std::string current_;
  bool afterCr_ = false;     // the previous byte ended a line with CR
  bool pendingEof_ = false;  // a 0x1A was seen last; dropped if nothing follows
};

// The lines of a whole byte text, as LoadTextFile reads them from a file.
std::vector<std::string> SplitTextLines(const std::string& bytes);

// Reads a text file. ltfRead: `lines` holds the file's lines (old content replaced).
// ltfMissing / ltfReadError (file cannot be opened): `lines` keeps what it held.
// ltfReadError during reading: `lines` holds the complete lines read so far.
// capacityHint: expected line count (storage is reserved when above 20).
int LoadTextFile(const std::string& fileName, std::vector<std::string>& lines,
                 std::size_t capacityHint = 0);

// Writes every line followed by CR LF. The new text is written beside the target and then
// takes the target's place, so a failed write never harms the old file. True when written.
bool SaveTextFile(const std::vector<std::string>& lines, const std::string& fileName);

// The way shared data files are replaced: a "~" temporary file in the target's folder is
// written and synced, the current target becomes fileName + ".bak" (when keepBackup is set;
// the older ".bak" is replaced by a rename, so one exists at every moment), the temporary
// file atomically replaces the target, and the folder is synced. The target exists at every
// moment; on failure it keeps the old text and the temporary file is removed. True when the
// target holds the new text: once the rename has happened that is so, and a folder sync
// that fails afterwards only lands the file among TakeUnsyncedSaves().
bool SaveTextFileSafe(const std::vector<std::string>& lines, const std::string& fileName,
                      bool keepBackup);
// The same for a text already joined (line ends included), written in one piece.
bool SaveBytesFileSafe(std::string_view bytes, const std::string& fileName, bool keepBackup);
// Why the last SaveTextFile, SaveTextFileSafe or SaveBytesFileSafe of this thread failed:
// the errno of making the temporary file beside the target (EACCES, EPERM: no rights to
// write in the folder; EROFS: a read-only disk), EIO for a later step, EINVAL for no name;
// 0 after one that worked.
int LastSafeSaveError();

// Copies `from` over `to` through a synced temporary file beside `to`, so that `to` is at
// every moment either its old content or the complete copy. False leaves `to` as it was.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// The files (target names) that safe writes or copies replaced since the last call but
// whose folder could not be synced afterwards: they hold the new text, but whether it
// survives a power cut is not certain. Whoever tells the user takes them.
std::vector<std::string> TakeUnsyncedSaves();

// Removes the leftovers of writes that never finished in a folder: files named "~*.tmp"
// whose last change lies at least maxAgeSeconds before nowSeconds (seconds since 1970; 0:
// whatever their age) and that no running writer holds. A running safe write holds its "~" file until it is in the
// target's place, and the backup it links under the same name + ".bak.tmp" counts as held
// with it. Returns how many were removed.
int SweepStaleTempFiles(const std::string& folder, double maxAgeSeconds, double nowSeconds);

// The whole file as bytes. False and empty text for a missing, empty or unreadable file
// and for files of 2 GiB or more.
bool ReadFileToString(const std::string& fileName, std::string& text);

// True when a file can be created and deleted in the folder.
bool IsFolderWritable(const std::string& folder);

// Size in bytes, -1 when there is no such file (a folder is no file).
std::int64_t GetFileSize64(const std::string& fileName);

struct TListedFile {
  std::string name;   // folder + file name
  std::int64_t size;  // full size (the old 32-bit listings capped this at 2147483647)
};

// Adds folder + name of each file in the folder whose name matches the mask ("*" and "?",
// case-insensitive; "*.*" matches every name), sorted by name. Folders are not listed;
// links to files are. `folder` carries a trailing "/" (added when missing).
void ListFiles(const std::string& folder, const std::string& mask,
               std::vector<TListedFile>& files);
// Adds the name (without folder) of each subfolder, sorted by name. Links to folders are
// not subfolders.
void ListSubfolders(const std::string& folder, std::vector<std::string>& names);
// The folder's matching files, then those of each subfolder, depth first.
void ListFilesRecursive(const std::string& folder, const std::string& mask,
                        std::vector<TListedFile>& files);

// Deletes the folder with everything below it, deepest first, the folder itself last.
// Symbolic links are deleted as links; what they point to is never touched. True when
// everything is gone (also when the folder did not exist).
bool DeleteFolderTree(const std::string& folder);

// True when the file is gone (also when it never existed); false for a folder.
bool DeleteFileForce(const std::string& fileName);

// Appends "/" to a non-empty path that lacks it.
void AddBackslash(std::string& path);
// The path without one trailing "/" or "\".
std::string DelTrailingSlash(const std::string& path);
// Prefixes a relative path with the base folder; absolute and empty paths stay.
void MakeAbsolutePath(const std::string& base, std::string& path);
// The text without control characters and without \ : / " < > [ ] | * ?, trimmed; never
// "." or ".." (those give an empty text).
std::string CleanFileName(const std::string& text);

// Folder numbers of the shell folders the program asks for.
constexpr int sfDesktop = 0;
constexpr int sfPersonal = 5;          // documents
constexpr int sfAppData = 26;          // per-user settings
constexpr int sfLocalAppData = 28;
constexpr int sfCommonAppData = 35;
// The path of that folder (no trailing "/"); empty for an unknown number.
std::string GetSpecialFolderPath(int shellFolder);
