#include "basic/TempFilesUnit.h"

#include <cstddef>

#include "basic/FileCtrl2.h"
#include "platform/PlatformFiles.h"

void TTempFileList::Add(const std::string& fileName) {
  if (fileName.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  names_.push_back(fileName);
}

void TTempFileList::DeleteNow(const std::string& fileName) {
  if (fileName.empty()) return;
  if (!DeleteFileForce(fileName)) Add(fileName);
}

bool TTempFileList::DeleteAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = names_.size(); i-- > 0;) {
    if (DeleteFileForce(names_[i])) names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  bool allGone = names_.empty();
  if (allGone) names_.shrink_to_fit();
  return allGone;
}

std::vector<std::string> TTempFileList::Names() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return names_;
}

TTempFileList& ProgramTempFiles() {
  // Destroyed at program end, which deletes what is still remembered.
  static TTempFileList list;
  return list;
}

std::string CreateTempFile() {
  std::string name;
  int fd = -1;
  if (PfCreateUnique(PfTempFolder() + "/", "~", ".tmp", name, fd) != 0) return std::string();
  PfClose(fd);
  return name;
}

void AddTempFile(const std::string& fileName) { ProgramTempFiles().Add(fileName); }

void DeleteTempFile(const std::string& fileName) { ProgramTempFiles().DeleteNow(fileName); }

bool DeleteTempFilesNow() { return ProgramTempFiles().DeleteAll(); }
