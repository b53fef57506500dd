// The installer's reading of its own file on arbitrary bytes: a payload that is accepted
// must keep its promises (sections inside the file, the beginning mark first, the check
// last, and built again from its parts it gives the same bytes), one without the check is
// read by searching its markers, and unpacking a section
// or an uninstall list never reads or grows beyond its limits.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "setup/SelfLoadSectionsUnit.h"
#include "setup/SetupUninstallUnit.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Half the runs carry a sound payload around the input, so the walk gets deep.
  for (const std::string& candidate :
       {bytes, std::string("IMAGE") + BuildSectionArea({{kSectionCommands, bytes}, {kSectionUninstall, bytes}})}) {
    const TSectionFile file = ParseSectionFile(candidate);
    if (file.status == TSectionsStatus::Unchecked) {
      // A payload without the check: its sections are searched, within the file.
      Check(file.error.empty() && file.imageSize < candidate.size());
      std::string section, unpacked;
      if (SectionData(candidate, file, kSectionCommands, section))
        Check(!DecompressBytes(section, 4096, unpacked) || unpacked.size() <= 4096);
      std::vector<std::string> list;
      ReadUninstallListFrom(candidate, list);
      continue;
    }
    if (file.status != TSectionsStatus::Sound) {
      Check(file.status == TSectionsStatus::NoSections || !file.error.empty());
      continue;
    }
    Check(file.sections.size() >= 2);
    Check(file.sections.front().name == kSectionBeginningMark);
    Check(file.sections.back().name == kSectionCheck);
    std::vector<TSectionSpec> parts;
    for (size_t i = 0; i < file.sections.size(); ++i) {
      const TSectionEntry& e = file.sections[i];
      Check(e.offset <= candidate.size() && e.length <= candidate.size() - e.offset);
      if (i > 0 && i + 1 < file.sections.size())
        parts.push_back({e.name, candidate.substr(e.offset, e.length)});
    }
    Check(candidate.substr(0, file.imageSize) + BuildSectionArea(parts) == candidate);
    std::string section, unpacked;
    if (SectionData(candidate, file, kSectionCommands, section))
      Check(!DecompressBytes(section, 4096, unpacked) || unpacked.size() <= 4096);
    std::vector<std::string> list;
    ReadUninstallListFrom(candidate, list);
  }
  return 0;
}
