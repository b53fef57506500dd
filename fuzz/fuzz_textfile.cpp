// Text-file reading on arbitrary bytes: the file reader, the one-piece splitter and a
// splitter fed in random pieces must agree, and writing the lines back must read the same.
// The file reader feeds the same splitter, so the pieces stand in for its reads; only
// about one input in 32 also goes through a real file (in memory-backed storage), which
// keeps the other runs free of disk access.
// fuzz-seconds: 10

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "basic/FileCtrl2.h"
#include "platform/PlatformFiles.h"

namespace {

// One scratch file per process, where syncs of a save cost nothing; removed at exit.
struct TScratchFile {
  std::string name;
  TScratchFile() {
    const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : PfTempFolder();
    name = folder + "/fuzz_textfile." + std::to_string(::getpid()) + ".txt";
  }
  ~TScratchFile() { PfUnlink(name); }
};

const std::string& ScratchFile() {
  static TScratchFile file;
  return file.name;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// About one input in 32, picked by a hash of all its bytes. Picked by a fixed byte, the
// inputs kept for what the file runs reach would pass that byte on to their mutations,
// and most runs would end up on the disk again; a hash draws anew for every mutation.
bool FileRun(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return (hash & 31) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> whole = SplitTextLines(bytes);

  // Pieces of sizes taken from the input itself, so CR LF pairs and 0x1A bytes land on
  // piece boundaries.
  std::vector<std::string> pieces;
  TTextLineSplitter splitter(pieces);
  std::size_t pos = 0, step = 0;
  while (pos < size) {
    std::size_t n = 1 + (data[step++ % size] % 7);
    if (n > size - pos) n = size - pos;
    splitter.Feed(bytes.data() + pos, n);
    pos += n;
  }
  splitter.Finish();
  Check(pieces == whole);

  for (const std::string& line : whole) {
    Check(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
  }

  std::string joined;
  for (const std::string& line : whole) joined += line + "\r\n";
  Check(SplitTextLines(joined) == whole);

  if (!FileRun(data, size)) return 0;
  const std::string& file = ScratchFile();
  std::vector<std::string> loaded;
  Check(SaveTextFile({bytes}, file));  // one "line" holding every byte, line ends included
  Check(LoadTextFile(file, loaded) == ltfRead);
  std::vector<std::string> expected = SplitTextLines(bytes + "\r\n");
  Check(loaded == expected);
  return 0;
}
