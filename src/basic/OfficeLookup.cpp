#include "basic/OfficeLookup.h"

#include "basic/RegistryUnit.h"
#include "platform/PlatformFiles.h"
#include "platform/ProcessStart.h"

namespace {

struct TOfficeLookup {
  bool done = false;
  std::string program;
  bool spreadsheet = false;
};

TOfficeLookup& OfficeLookup() {
  static TOfficeLookup lookup;
  return lookup;
}

bool IsFile(const std::string& path) {
  TPfInfo info;
  return PfStat(path, info) == 0 && info.kind == TPfKind::File;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string ProgramOfRegistryPath(const std::string& path) {
  if (path.empty()) return {};
  TPfInfo info;
  if (PfStat(path, info) != 0) return {};
  if (info.kind == TPfKind::File) return path;
  if (info.kind != TPfKind::Folder) return {};
  std::string folder = path;
  if (folder.back() != '/') folder += '/';
  for (const char* name : {"soffice", "program/soffice"})
    if (IsFile(folder + name)) return folder + name;
  return {};
}

const TOfficeLookup& LookUpOffice() {
  TOfficeLookup& lookup = OfficeLookup();
  if (lookup.done) return lookup;
  lookup.done = true;
  for (int n = 0; n <= 5 && lookup.program.empty(); ++n)
    lookup.program = ProgramOfRegistryPath(RegReadKeyString(
        TRegRoot::LocalMachine, "\\SOFTWARE\\OpenOffice.org\\OpenOffice.org\\2." + std::to_string(n),
        "Path"));
  if (lookup.program.empty()) lookup.program = FindProgramOnPath("soffice");
  if (!lookup.program.empty()) {
    // "soffice" on PATH is usually a link into the suite's program folder.
    std::string real;
    if (PfRealPath(lookup.program, real) != 0) real = lookup.program;
    lookup.spreadsheet = IsFile(FolderOf(real) + "libsclo.so");
  }
  return lookup;
}

}  // namespace

bool GetOpenOfficePath() { return !LookUpOffice().program.empty(); }
bool OfficeAvailable() { return LookUpOffice().spreadsheet; }
std::string OfficeProgram() { return LookUpOffice().program; }
void ResetOfficeLookup() { OfficeLookup() = TOfficeLookup{}; }
