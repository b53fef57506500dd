#include "import/ImportJournalUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "basic/DateClock.h"
#include "basic/FileCtrl2.h"
#include "data/MandantUnit.h"
#include "import/ImportEngineUnit.h"
#include "platform/PlatformFileAccess.h"
#include "platform/PlatformFiles.h"

namespace {

std::string StampText(double time) {
  const TDateTimeParts p = DecodeDateTime(time);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d.%02d.%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return text;
}

std::string Candidate(const std::string& folder, const std::string& stamp, int n) {
  if (n <= 1) return folder + stamp + ".csv";
  return folder + stamp + " (" + std::to_string(n) + ").csv";
}

bool IsAbsoluteJournalFolder(const std::string& folder) {
  return !folder.empty() && folder.front() == '/';
}

bool Exists(const std::string& path) {
  TPfInfo info;
  return PfLstat(path, info) == 0 && info.kind != TPfKind::Missing;
}

}  // namespace

std::string ImportJournalFolder() {
  const TMandantState& state = MandantState();
  // Without a data folder the journal has no home: a relative path would put it into
  // whatever folder the program was started from.
  if (!IsAbsoluteJournalFolder(
          MandantDataFolder(state.HasCurrentMandant ? &state.CurrentMandant : nullptr)))
    return "";
  std::string path;
  MandantDataPath(state.HasCurrentMandant ? &state.CurrentMandant : nullptr, "ImportJournal", path);
  return path;
}

std::string ImportJournalFileName(const std::string& folder, double time) {
  const std::string stamp = StampText(time);
  for (int n = 1;; ++n) {
    std::string name = Candidate(folder, stamp, n);
    if (!Exists(name)) return name;
  }
}

std::string WriteImportJournal(const std::vector<std::string>& lines, const std::string& folder) {
  std::string dir = folder.empty() ? ImportJournalFolder() : folder;
  // Only ever into a folder named in full, never relative to the working folder.
  if (!IsAbsoluteJournalFolder(dir)) return "";
  if (dir.back() != '/') dir += '/';
  if (PfMakeFolders(dir) != 0) return "";

  std::vector<std::string> body;
  body.reserve(lines.size() + 1);
  for (const std::string& line : lines)
    if (line != kImportSummaryHeader) body.push_back(line);
  std::sort(body.begin(), body.end());
  body.insert(body.begin(), kImportSummaryHeader);

  // The name is claimed by creating the file exclusively, so two runs in one second (on
  // this station or another) never write into one file.
  const std::string stamp = StampText(NowLocal());
  for (int n = 1; n < 1000; ++n) {
    const std::string name = Candidate(dir, stamp, n);
    int fd = -1;
    const int rc = PfCreateNew(name, 0666, fd);
    if (rc == EEXIST) continue;
    if (rc != 0) return "";
    PfClose(fd);
    if (!SaveTextFileSafe(body, name, false)) {
      PfUnlink(name);
      return "";
    }
    return name;
  }
  return "";
}

bool ReadImportJournal(const std::string& fileName, std::vector<std::string>& lines) {
  std::vector<std::string> read;
  if (LoadTextFile(fileName, read) != ltfRead) return false;
  lines = std::move(read);
  return true;
}
