#pragma once
// Temporary files: new unique names in the system's temporary folder, and a list of files
// that are deleted when the program ends (files still open by another program, for
// example a spreadsheet that shows an export, cannot always be deleted at once).

#include <mutex>
#include <string>
#include <vector>

// A list of files to delete later. The program has one (below); tests may keep their own.
class TTempFileList {
 public:
  TTempFileList() = default;
  ~TTempFileList() { DeleteAll(); }
  TTempFileList(const TTempFileList&) = delete;
  TTempFileList& operator=(const TTempFileList&) = delete;

  // Remembers the name (empty names are ignored).
  void Add(const std::string& fileName);
  // Deletes the file now; when that fails, remembers it.
  void DeleteNow(const std::string& fileName);
  // Deletes every remembered file, the last remembered first; names whose deletion worked
  // are forgotten, the others stay. True when none is left.
  bool DeleteAll();
  std::vector<std::string> Names() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
};

// The program's own list; its files are deleted at program end (also when
// DeleteTempFilesNow was never called).
TTempFileList& ProgramTempFiles();

// Name of a new empty file "~..." in the system's temporary folder; empty on failure.
std::string CreateTempFile();
// Remember for deletion at program end (empty names are ignored).
void AddTempFile(const std::string& fileName);
// Delete now, or at program end when that fails.
void DeleteTempFile(const std::string& fileName);
// What the program does at its end; true when every remembered file is gone.
bool DeleteTempFilesNow();
